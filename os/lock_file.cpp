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

} // namespace

LockFileResult lock_file_try(const char *path, mode_t mode, int *out, bool *taken_over)
{
    const int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    for (int attempt = 0; attempt < kMaxTakeTries; ++attempt) {
        bool made = true;
        int fd = open(path, flags | O_CREAT | O_EXCL, mode);
        if (fd < 0 && errno == EEXIST) {
            made = false;
            fd = open(path, flags);
            if (fd < 0 && errno == ENOENT)
                continue; // released meanwhile
        }
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
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int e = errno;
            close(fd);
            if (e == EWOULDBLOCK)
                return LOCK_FILE_HELD;
            if (e == EINTR)
                continue;
            errno = e;
            return LOCK_FILE_CANNOT_LOCK;
        }
        // The name may have been released and made anew before our flock:
        // only the file the name still stands for is the lock.
        struct stat named;
        if (lstat(path, &named) != 0 || !same_file(opened, named)) {
            close(fd);
            continue;
        }
        *out = fd;
        *taken_over = !made;
        return LOCK_FILE_TAKEN;
    }
    return LOCK_FILE_HELD;
}

int lock_file_release(const char *path, int fd)
{
    int rc = 1;
    struct stat held, named;
    if (fstat(fd, &held) == 0 && lstat(path, &named) == 0 && same_file(held, named) && unlink(path) == 0)
        rc = 0;
    close(fd);
    return rc;
}
