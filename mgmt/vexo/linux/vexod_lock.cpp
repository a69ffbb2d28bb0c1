#include "mgmt/vexo/linux/vexod_lock.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include "os/host_env.h"

namespace {

// Which locks this process made; it releases no other.
bool init_lock_held = false;
char held_keys[VEXO_MAX_HELD_LOCKS][VEXO_LOCK_KEY_SIZE];

enum CreateResult { CREATED, EXISTS, CANNOT };

CreateResult create_exclusive(const char *host_file)
{
    int fd = open(host_file, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
        close(fd);
        return CREATED;
    }
    return errno == EEXIST ? EXISTS : CANNOT;
}

// Makes the lock file, waiting once when another process holds it.
int take(const char *path)
{
    char host_file[PATH_MAX];
    if (host_path(path, host_file, sizeof host_file) != 0)
        return 1;
    CreateResult r = create_exclusive(host_file);
    if (r == EXISTS) {
        host_sleep_s(VEXO_LOCK_WAIT_SECONDS);
        r = create_exclusive(host_file);
    }
    return r == CREATED ? 0 : 1;
}

// 0 when the file was there and is gone now.
int drop(const char *path)
{
    char host_file[PATH_MAX];
    if (host_path(path, host_file, sizeof host_file) != 0)
        return 1;
    return unlink(host_file) == 0 ? 0 : 1;
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
        if (held_keys[i][0] != '\0' && std::strcmp(held_keys[i], key) == 0)
            return i;
    return -1;
}

int free_slot()
{
    for (int i = 0; i < VEXO_MAX_HELD_LOCKS; ++i)
        if (held_keys[i][0] == '\0')
            return i;
    return -1;
}

} // namespace

int vexo_init_acquire_lock()
{
    if (init_lock_held)
        return 1;
    if (take(VEXO_INIT_LOCK_FILE) != 0)
        return 1;
    init_lock_held = true;
    return 0;
}

int vexo_init_release_lock()
{
    if (!init_lock_held)
        return 1;
    init_lock_held = false;
    return drop(VEXO_INIT_LOCK_FILE);
}

int vexo_acquire_lock(const char *key)
{
    char path[VEXO_LOCK_KEY_SIZE];
    if (!asic_path(key, path) || held_slot(key) >= 0)
        return 1;
    int slot = free_slot();
    if (slot < 0)
        return 1;
    if (take(path) != 0)
        return 1;
    snprintf(held_keys[slot], VEXO_LOCK_KEY_SIZE, "%s", key);
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
    held_keys[slot][0] = '\0';
    return drop(path);
}

int vexo_lock_init(int, const char[][VEXO_LOCK_KEY_SIZE])
{
    return 0;
}

int vexo_lock_free(int)
{
    return 0;
}
