#include "mgmt/vexo/linux/vexod_lock.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <limits.h>
#include <unistd.h>

#include "mgmt/vexo/core/debug.h"
#include "os/host_env.h"
#include "os/lock_file.h"

namespace {

// The locks this process holds, each with the open file that carries its
// flock; it releases no other.
struct HeldLock {
    char key[VEXO_LOCK_KEY_SIZE]; // empty: free slot
    int fd;
};
int init_lock_fd = -1;
HeldLock held_locks[VEXO_MAX_HELD_LOCKS];

enum TakeResult { TAKEN, HELD_ELSEWHERE, REFUSED };

// One try: makes the file, or takes over a file no live process holds.
TakeResult try_take(const char *host_file, int *out)
{
    bool taken_over = false;
    switch (lock_file_try(host_file, 0644, out, &taken_over)) {
    case LOCK_FILE_TAKEN:
        if (taken_over)
            pdebug(VEXO_LOG_CORE, VEXO_LOG_DEBUG, "vexo lock: %s was left by a holder that is gone; taken over\n",
                   host_file);
        return TAKEN;
    case LOCK_FILE_HELD:
        return HELD_ELSEWHERE;
    case LOCK_FILE_CANNOT_OPEN:
        // ELOOP: a symlink stands at the name; it is not followed.
        pdebug(VEXO_LOG_CORE, VEXO_LOG_ERROR, "vexo lock: cannot open %s: %s\n", host_file, std::strerror(errno));
        return REFUSED;
    case LOCK_FILE_FOREIGN:
        pdebug(VEXO_LOG_CORE, VEXO_LOG_ERROR, "vexo lock: %s is not a plain file of this user; not used\n",
               host_file);
        return REFUSED;
    case LOCK_FILE_CANNOT_LOCK:
        pdebug(VEXO_LOG_CORE, VEXO_LOG_ERROR, "vexo lock: cannot lock %s: %s\n", host_file, std::strerror(errno));
        return REFUSED;
    }
    return REFUSED;
}

// Takes the lock file, waiting once when a live process holds it.
int take(const char *path, int *out)
{
    char host_file[PATH_MAX];
    if (host_path(path, host_file, sizeof host_file) != 0)
        return 1;
    TakeResult r = try_take(host_file, out);
    if (r == HELD_ELSEWHERE) {
        host_sleep_s(VEXO_LOCK_WAIT_SECONDS);
        r = try_take(host_file, out);
    }
    if (r == HELD_ELSEWHERE)
        pdebug(VEXO_LOG_CORE, VEXO_LOG_DEBUG, "vexo lock: %s is held by another process\n", host_file);
    return r == TAKEN ? 0 : 1;
}

// Removes the file while its flock is still ours, then lets go of it. 0 when
// the name still stood for our file and is gone now.
int drop(const char *path, int fd)
{
    char host_file[PATH_MAX];
    if (host_path(path, host_file, sizeof host_file) != 0) {
        close(fd);
        return 1;
    }
    return lock_file_release(host_file, fd);
}

// The lock file path of a key; false for a key that cannot name one.
bool asic_path(const char *key, char path[VEXO_LOCK_KEY_SIZE])
{
    if (!key || key[0] == '\0' || std::strchr(key, '/'))
        return false;
    int n = snprintf(path, VEXO_LOCK_KEY_SIZE, VEXO_ASIC_LOCK_FORMAT, key);
    return n > 0 && n < VEXO_LOCK_KEY_SIZE;
}

int held_slot(const char *key)
{
    for (int i = 0; i < VEXO_MAX_HELD_LOCKS; ++i)
        if (held_locks[i].key[0] != '\0' && std::strcmp(held_locks[i].key, key) == 0)
            return i;
    return -1;
}

int free_slot()
{
    for (int i = 0; i < VEXO_MAX_HELD_LOCKS; ++i)
        if (held_locks[i].key[0] == '\0')
            return i;
    return -1;
}

} // namespace

int vexo_init_acquire_lock()
{
    if (init_lock_fd >= 0)
        return 1;
    int fd = -1;
    if (take(VEXO_INIT_LOCK_FILE, &fd) != 0)
        return 1;
    init_lock_fd = fd;
    return 0;
}

int vexo_init_release_lock()
{
    if (init_lock_fd < 0)
        return 1;
    int fd = init_lock_fd;
    init_lock_fd = -1;
    return drop(VEXO_INIT_LOCK_FILE, fd);
}

int vexo_acquire_lock(const char *key)
{
    char path[VEXO_LOCK_KEY_SIZE];
    if (!asic_path(key, path) || held_slot(key) >= 0)
        return 1;
    int slot = free_slot();
    if (slot < 0)
        return 1;
    int fd = -1;
    if (take(path, &fd) != 0)
        return 1;
    snprintf(held_locks[slot].key, VEXO_LOCK_KEY_SIZE, "%s", key);
    held_locks[slot].fd = fd;
    return 0;
}

int vexo_release_lock(const char *key)
{
    char path[VEXO_LOCK_KEY_SIZE];
    if (!asic_path(key, path))
        return 1;
    int slot = held_slot(key);
    if (slot < 0)
        return 1;
    held_locks[slot].key[0] = '\0';
    int fd = held_locks[slot].fd;
    held_locks[slot].fd = -1;
    return drop(path, fd);
}

int vexo_lock_init(int, const char[][VEXO_LOCK_KEY_SIZE])
{
    return 0;
}

int vexo_lock_free(int)
{
    return 0;
}
