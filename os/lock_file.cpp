#include "os/lock_file.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Turns of one try when the file goes away or is replaced between the open
// and the flock; each such turn means another process made progress.
const int kMaxTakeTries = 8;

bool same_file(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// flock without waiting: LOCK_FILE_TAKEN, else what to answer with fd
// closed (*again: interrupted, try once more).
LockFileResult lock_now(int fd, bool *again)
{
    *again = false;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return LOCK_FILE_TAKEN;
    int e = errno;
    close(fd);
    if (e == EINTR) {
        *again = true;
        return LOCK_FILE_HELD;
    }
    errno = e;
    return e == EWOULDBLOCK ? LOCK_FILE_HELD : LOCK_FILE_CANNOT_LOCK;
}

} // namespace

LockFileResult lock_file_try(const char *path, mode_t mode, LockFileHold *hold, bool *taken_over)
{
    const int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    bool again = false;
    for (int attempt = 0; attempt < kMaxTakeTries; ++attempt) {
        int fd = open(path, flags | O_CREAT | O_EXCL, mode);
        if (fd >= 0) {
            // Ours by making: a plain file of this user with one name. Only
            // a taker that found it before our flock (taking it for a dead
            // holder's) can have removed the name meanwhile; then the flock
            // is on a file no longer named.
            LockFileResult r = lock_now(fd, &again);
            if (again)
                continue;
            if (r != LOCK_FILE_TAKEN)
                return r;
            struct stat made;
            if (fstat(fd, &made) != 0 || made.st_nlink == 0) {
                close(fd);
                continue;
            }
            *hold = LockFileHold{fd, made.st_dev, made.st_ino};
            *taken_over = false;
            return LOCK_FILE_TAKEN;
        }
        if (errno != EEXIST)
            return LOCK_FILE_CANNOT_OPEN;
        fd = open(path, flags);
        if (fd < 0 && errno == ENOENT)
            continue; // released meanwhile
        if (fd < 0)
            return LOCK_FILE_CANNOT_OPEN;
        struct stat opened;
        const bool known = fstat(fd, &opened) == 0;
        if (known && opened.st_nlink == 0) {
            close(fd); // released and removed after our open
            continue;
        }
        if (!known || !S_ISREG(opened.st_mode) || opened.st_uid != geteuid() || opened.st_nlink != 1) {
            close(fd);
            return LOCK_FILE_FOREIGN;
        }
        LockFileResult r = lock_now(fd, &again);
        if (again)
            continue;
        if (r != LOCK_FILE_TAKEN)
            return r;
        // The name may have been released and made anew before our flock:
        // only the file the name still stands for is the lock.
        struct stat named;
        if (lstat(path, &named) != 0 || !same_file(opened, named)) {
            close(fd);
            continue;
        }
        *hold = LockFileHold{fd, opened.st_dev, opened.st_ino};
        *taken_over = true;
        return LOCK_FILE_TAKEN;
    }
    return LOCK_FILE_HELD;
}

int lock_file_release(const char *path, const LockFileHold &hold)
{
    int rc = 1;
    struct stat named;
    if (lstat(path, &named) == 0 && named.st_dev == hold.dev && named.st_ino == hold.ino && unlink(path) == 0)
        rc = 0;
    close(hold.fd);
    return rc;
}
