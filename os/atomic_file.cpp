#include "os/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int replace_file_atomically(const char *path, const void *data, size_t size, unsigned int mode)
{
    if (!path || !path[0])
        return EINVAL;
    if (access(path, F_OK) == 0 && access(path, W_OK) != 0)
        return EACCES;

    std::string tmp = std::string(path) + ".tmp." + std::to_string(static_cast<long>(getpid()));
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, static_cast<mode_t>(mode));
    if (fd < 0)
        return errno;

    const char *p = static_cast<const char *>(data);
    size_t done = 0;
    int err = 0;
    while (done < size) {
        ssize_t n = write(fd, p + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            err = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (err == 0 && fsync(fd) != 0)
        err = errno;
    if (close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && rename(tmp.c_str(), path) != 0)
        err = errno;
    if (err != 0)
        unlink(tmp.c_str());
    return err;
}
