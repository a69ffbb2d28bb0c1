// The exported front end: the eight calls a host's update framework makes,
// the process-wide lock and the scoped helpers of the call lifecycle.
#ifndef HLVD_FLASH_OVNFLASHLIB_H
#define HLVD_FLASH_OVNFLASHLIB_H

#include <cstdint>
#include <string>
#include <vector>

#include <pthread.h>

#include "flash/adapter_info.h"


extern "C" {
int oem_do_discovery_with_files(const char *discovery_file, const char *image_file_path);
int oem_do_flash_with_file(const char *discovery_file, const char *firmware_file);
int oem_do_full_flash_PCI(const char *firmware_file, int force, int segment, int bus, int device, int function);
int oem_get_full_flash_dump_PCI(const char *dump_file, int ignored, int segment, int bus, int device,
                                int function);
int oem_get_adapter_info(ven_adapter_info *info, int *nEntries, const char *firmware_file_path);
int oem_flash_lib_version(char *buffer, int size);
const char *oem_text_for_error_code(int code);
int oem_get_debug_info(const char *log_file);
}

extern pthread_mutex_t libOvnFlashMutex;

// Owns a mutex for the life of the library: initialises it on construction
// (at load, as a static object) and destroys it at unload.
class MutexConstructor {
public:
    explicit MutexConstructor(pthread_mutex_t &mutex) : mutex_(&mutex) { pthread_mutex_init(mutex_, nullptr); }
    ~MutexConstructor() { pthread_mutex_destroy(mutex_); }
    MutexConstructor(const MutexConstructor &) = delete;
    MutexConstructor &operator=(const MutexConstructor &) = delete;

private:
    pthread_mutex_t *mutex_;
};

// Holds a mutex for the life of a scope.
class AutoMutex {
public:
    explicit AutoMutex(pthread_mutex_t &mutex) : mutex_(&mutex) { pthread_mutex_lock(mutex_); }
    ~AutoMutex() { pthread_mutex_unlock(mutex_); }
    AutoMutex(const AutoMutex &) = delete;
    AutoMutex &operator=(const AutoMutex &) = delete;

private:
    pthread_mutex_t *mutex_;
};

// Runs a clean-up when the scope ends, also when an exception leaves it.
template <typename F> class AutoDestroy {
public:
    explicit AutoDestroy(F f) : f_(f) {}
    ~AutoDestroy() { f_(); }
    AutoDestroy(const AutoDestroy &) = delete;
    AutoDestroy &operator=(const AutoDestroy &) = delete;

private:
    F f_;
};

class DiscoveredDevice;

// The discovery walk: appends to `retained` the devices of `all` that go into
// the discovery file (one device per converged or Varrow FC adapter, its
// function 0). A device that cannot be found or read again is left out and
// the walk goes on. 0, or 10001 when memory runs out.
int SelectDiscoveredDevices(std::vector<DiscoveredDevice> &all, std::vector<DiscoveredDevice> &retained);

// The state of one flash-with-file walk.
struct FlashWalk {
    std::string firmwarePath;            // trimmed
    bool directoryMode = false;          // the path names a directory of images
    std::vector<std::string> imageNames; // directory mode: its non-directory entries
    int status = 0;                      // the folded result
    bool attempted = false;              // an item was handed to the flash decision
};

// The flash-with-file walk over the devices read from the discovery file:
// flashes the items that ask for it, writes their results into the list and
// folds them into walk.status. A device that cannot be located or read
// folds its code in and the walk goes on; the other functions of a
// converged or Varrow FC adapter copy the results of the first one listed.
void FlashListedDevices(std::vector<DiscoveredDevice> &devices, FlashWalk &walk);

// Folds one item's result into the overall status: a failure (3 and above)
// replaces it, 1 outranks success, 2 never shows.
int FoldFlashStatus(int overall, int result);

// An item's action as the walk reads it: lower case, surrounding white space
// removed.
void NormaliseAction(std::string &action);

// Lists the names of the non-directory entries of a directory, in the order
// the directory yields them. 0, or the error number when it cannot be opened.
int EnumerateDirectory(const char *path, std::vector<std::string> &names);

#endif
