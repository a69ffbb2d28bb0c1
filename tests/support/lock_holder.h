// A lock file as a live holder of the management library keeps it: the file
// with an flock on it, through an open file of its own, so it is another
// holder even to this process. A file written without one is left by a dead
// holder and is taken over.
#ifndef HLVD_TESTS_LOCK_HOLDER_H
#define HLVD_TESTS_LOCK_HOLDER_H

#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace hlvdtest {

struct LockHolder {
    int fd = -1;
    std::string path;
    explicit LockHolder(const std::string &p) : path(p)
    {
        fd = open(p.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        EXPECT_GE(fd, 0) << p;
        EXPECT_EQ(0, flock(fd, LOCK_EX | LOCK_NB));
    }
    ~LockHolder() { gone(); }
    LockHolder(const LockHolder &) = delete;
    LockHolder &operator=(const LockHolder &) = delete;
    // Lets go the way a holder's release does: the file goes, then the flock.
    void gone()
    {
        if (fd < 0)
            return;
        unlink(path.c_str());
        close(fd);
        fd = -1;
    }
};

} // namespace hlvdtest

#endif
