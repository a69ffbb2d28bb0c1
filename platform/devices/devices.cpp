// The drivers' legacy character devices on a simulated host. A user-space
// build cannot create them, so this library, loaded with LD_PRELOAD, takes
// open, ioctl and close of the device paths below the simulated host's root
// (<HLVD_SYSROOT>/vmfs/devices/char/vmkdriver/...) and answers them from the
// simulated drivers; every other path and descriptor goes to the C library.
//
// An opened device is a real descriptor (of /dev/null), so fcntl, dup and
// close behave as on any file; ioctl on it reaches the simulated driver.

// Both the plain and the 64-bit entry points are defined here, so the C
// library's headers must not rename the one into the other.
#undef _FILE_OFFSET_BITS

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <string>

#include <dlfcn.h>
#include <fcntl.h>

#include "sim/driver_records.h"
#include "sim/drivers.h"
#include "sim/sim_cost.h"

namespace
{

typedef int (*open_fn)(const char *, int, ...);
typedef int (*openat_fn)(int, const char *, int, ...);
typedef int (*close_fn)(int);
typedef int (*ioctl_fn)(int, unsigned long, ...);

template <typename F> F next(const char *name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

std::mutex &table_mutex()
{
    static std::mutex m;
    return m;
}

// Open device descriptors and the device each stands for.
std::map<int, std::string> &table()
{
    static std::map<int, std::string> t;
    return t;
}

std::string sysroot()
{
    const char *root = std::getenv("HLVD_SYSROOT");
    std::string s = root ? root : "";
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

// The device name when `path` is a legacy device path of the simulated host.
bool device_name(const char *path, std::string *name)
{
    if (!path)
        return false;
    std::string root = sysroot();
    if (root.empty())
        return false;
    std::string prefix = root + hlvdsim::kLegacyDeviceDir;
    if (std::strncmp(path, prefix.c_str(), prefix.size()) != 0)
        return false;
    *name = path + prefix.size();
    return !name->empty() && name->find('/') == std::string::npos;
}

// The simulator behind the devices may throw (an unreadable state, memory);
// the caller of open or ioctl gets an error, never an exception.
bool device_exists(const std::string &name)
{
    hlvdsim::SimCostScope cost;
    try {
        return hlvdsim::legacy_device_exists(sysroot(), name);
    } catch (const std::exception &) {
        return false;
    }
}

int device_ioctl(const std::string &name, unsigned long request, void *arg)
{
    hlvdsim::SimCostScope cost;
    try {
        int err = 0;
        int rc = hlvdsim::legacy_ioctl(sysroot(), name, request, arg, &err);
        if (rc != 0)
            errno = err;
        return rc;
    } catch (const std::exception &) {
        errno = EIO;
        return -1;
    }
}

int open_device(const std::string &name, int flags)
{
    if (!device_exists(name)) {
        errno = ENOENT;
        return -1;
    }
    static open_fn real = next<open_fn>("open");
    int fd = real("/dev/null", O_RDWR | (flags & O_CLOEXEC));
    if (fd < 0)
        return -1;
    std::lock_guard<std::mutex> lock(table_mutex());
    table()[fd] = name;
    return fd;
}

bool lookup(int fd, std::string *name)
{
    std::lock_guard<std::mutex> lock(table_mutex());
    auto it = table().find(fd);
    if (it == table().end())
        return false;
    *name = it->second;
    return true;
}

mode_t mode_arg(int flags, va_list ap)
{
    if (flags & (O_CREAT | O_TMPFILE))
        return static_cast<mode_t>(va_arg(ap, int));
    return 0;
}

} // namespace

extern "C" {

int open(const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    mode_t mode = mode_arg(flags, ap);
    va_end(ap);
    std::string name;
    if (device_name(path, &name))
        return open_device(name, flags);
    static open_fn real = next<open_fn>("open");
    return real(path, flags, mode);
}

int open64(const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    mode_t mode = mode_arg(flags, ap);
    va_end(ap);
    std::string name;
    if (device_name(path, &name))
        return open_device(name, flags);
    static open_fn real = next<open_fn>("open64");
    return real(path, flags, mode);
}

int __open_2(const char *path, int flags)
{
    return open(path, flags);
}

int __open64_2(const char *path, int flags)
{
    return open64(path, flags);
}

int openat(int dirfd, const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    mode_t mode = mode_arg(flags, ap);
    va_end(ap);
    std::string name;
    if (device_name(path, &name))
        return open_device(name, flags);
    static openat_fn real = next<openat_fn>("openat");
    return real(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    mode_t mode = mode_arg(flags, ap);
    va_end(ap);
    std::string name;
    if (device_name(path, &name))
        return open_device(name, flags);
    static openat_fn real = next<openat_fn>("openat64");
    return real(dirfd, path, flags, mode);
}

int close(int fd)
{
    {
        std::lock_guard<std::mutex> lock(table_mutex());
        table().erase(fd);
    }
    static close_fn real = next<close_fn>("close");
    return real(fd);
}

int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    std::string name;
    if (lookup(fd, &name))
        return device_ioctl(name, request, arg);
    static ioctl_fn real = next<ioctl_fn>("ioctl");
    return real(fd, request, arg);
}

} // extern "C"
