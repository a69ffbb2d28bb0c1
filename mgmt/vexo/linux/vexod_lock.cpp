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
    LockFileHold hold;
};
LockFileHold init_lock = {-1, 0, 0};
HeldLock held_locks[VEXO_MAX_HELD_LOCKS];

enum TakeResult { TAKEN, HELD_ELSEWHERE, REFUSED };

// One try: makes the file, or takes over a file no live process holds.
TakeResult try_take(const char *host_file, LockFileHold *out)
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
int take(const char *path, LockFileHold *out)
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
int drop(const char *path, const LockFileHold &hold)
{
    char host_file[PATH_MAX];
    if (host_path(path, host_file, sizeof host_file) != 0) {
        close(hold.fd);
        return 1;
    }
    return lock_file_release(host_file, hold);
}

// The lock file path of a key (VEXO_ASIC_LOCK_FORMAT); false for a key that
// cannot name one. Put together without a format call: every property read
// takes and releases a lock.
bool asic_path(const char *key, char path[VEXO_LOCK_KEY_SIZE])
{
    static const char kHead[] = "/tmp/VEXO_ASIC_";
    static const char kTail[] = ".txt";
    if (!key || key[0] == '\0')
        return false;
    const size_t head = sizeof kHead - 1, tail = sizeof kTail;
    const size_t n = strnlen(key, VEXO_LOCK_KEY_SIZE);
    if (n + head + tail > VEXO_LOCK_KEY_SIZE || std::memchr(key, '/', n))
        return false;
    std::memcpy(path, kHead, head);
    std::memcpy(path + head, key, n);
    std::memcpy(path + head + n, kTail, tail);
    return true;
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
    if (init_lock.fd >= 0)
        return 1;
    LockFileHold hold;
    if (take(VEXO_INIT_LOCK_FILE, &hold) != 0)
        return 1;
    init_lock = hold;
    return 0;
}

int vexo_init_release_lock()
{
    if (init_lock.fd < 0)
        return 1;
    LockFileHold hold = init_lock;
    init_lock.fd = -1;
    return drop(VEXO_INIT_LOCK_FILE, hold);
}

int vexo_acquire_lock(const char *key)
{
    char path[VEXO_LOCK_KEY_SIZE];
    if (!asic_path(key, path) || held_slot(key) >= 0)
        return 1;
    int slot = free_slot();
    if (slot < 0)
        return 1;
    LockFileHold hold;
    if (take(path, &hold) != 0)
        return 1;
    // asic_path measured the key: it fits with room to spare.
    std::memcpy(held_locks[slot].key, key, std::strlen(key) + 1);
    held_locks[slot].hold = hold;
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
    LockFileHold hold = held_locks[slot].hold;
    held_locks[slot].hold.fd = -1;
    return drop(path, hold);
}

int vexo_lock_init(int, const char[][VEXO_LOCK_KEY_SIZE])
{
    return 0;
}

int vexo_lock_free(int)
{
    return 0;
}
