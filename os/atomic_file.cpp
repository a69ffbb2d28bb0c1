#include "os/atomic_file.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

const char kTmpTag[] = ".tmp.";
const size_t kRandomChars = 12;
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
const int kMaxLinks = 40;
const int kMaxTries = 100;

struct Target {
    std::string dir;  // real directory, absolute
    std::string name; // entry in it
};

std::string dir_of(const std::string &p)
{
    size_t s = p.rfind('/');
    if (s == std::string::npos)
        return ".";
    return s == 0 ? "/" : p.substr(0, s);
}

std::string base_of(const std::string &p)
{
    size_t s = p.rfind('/');
    return s == std::string::npos ? p : p.substr(s + 1);
}

bool same_inode(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// As the kernel's protected symlinks: a link planted in a sticky,
// world-writable directory by someone else is not followed.
bool may_follow(const std::string &link, const struct stat &lst)
{
    struct stat dst;
    if (stat(dir_of(link).c_str(), &dst) != 0)
        return false;
    if ((dst.st_mode & (S_ISVTX | S_IWOTH)) != (S_ISVTX | S_IWOTH))
        return true;
    return lst.st_uid == geteuid() || lst.st_uid == dst.st_uid;
}

// The real directory and name the data goes to: the final target of a
// symlink chain, or the path itself.
int resolve(const char *path, Target *t)
{
    std::string cur = path;
    for (int hops = 0;; ++hops) {
        struct stat lst;
        if (lstat(cur.c_str(), &lst) != 0) {
            if (errno != ENOENT)
                return errno;
            break; // a new file
        }
        if (!S_ISLNK(lst.st_mode)) {
            if (!S_ISREG(lst.st_mode))
                return S_ISDIR(lst.st_mode) ? EISDIR : EINVAL;
            break;
        }
        if (hops == kMaxLinks)
            return ELOOP;
        if (!may_follow(cur, lst))
            return EACCES;
        char buf[PATH_MAX];
        ssize_t n = readlink(cur.c_str(), buf, sizeof buf);
        if (n < 0)
            return errno;
        if (static_cast<size_t>(n) >= sizeof buf)
            return ENAMETOOLONG;
        std::string to(buf, static_cast<size_t>(n));
        cur = to[0] == '/' ? to : dir_of(cur) + "/" + to;
    }
    t->name = base_of(cur);
    if (t->name.empty() || t->name == "." || t->name == "..")
        return EISDIR;
    char real[PATH_MAX];
    if (!realpath(dir_of(cur).c_str(), real))
        return errno;
    t->dir = real;
    return 0;
}

std::string tmp_prefix(const std::string &name)
{
    return "." + name + kTmpTag;
}

bool is_our_temporary(const char *entry, const std::string &prefix)
{
    size_t len = std::strlen(entry);
    if (len != prefix.size() + kRandomChars || prefix.compare(0, prefix.size(), entry, prefix.size()) != 0)
        return false;
    for (size_t i = prefix.size(); i < len; ++i)
        if (!std::strchr(kAlphabet, entry[i]))
            return false;
    return true;
}

// Removes the temporaries of `name` left by writers that are gone: a live
// writer holds the lock on its temporary until the rename.
void remove_stale(int dirfd, const std::string &name)
{
    int listfd = openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listfd < 0)
        return;
    DIR *d = fdopendir(listfd);
    if (!d) {
        close(listfd);
        return;
    }
    const std::string prefix = tmp_prefix(name);
    while (dirent *e = readdir(d)) {
        if (!is_our_temporary(e->d_name, prefix))
            continue;
        int fd = openat(dirfd, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat held, named;
        if (fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            fstatat(dirfd, e->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && same_inode(held, named))
            unlinkat(dirfd, e->d_name, 0);
        close(fd);
    }
    closedir(d);
}

void random_chars(char *out, int attempt)
{
    unsigned char bytes[kRandomChars];
    if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        // No entropy to be had: the name still only has to be unlikely, as
        // the exclusive create settles a clash.
        struct timespec ts;
        clock_gettime(CLOCK_MONOTONIC, &ts);
        uint64_t x = static_cast<uint64_t>(ts.tv_nsec) ^ (static_cast<uint64_t>(ts.tv_sec) << 30) ^
                     (static_cast<uint64_t>(getpid()) << 20) ^ static_cast<uint64_t>(attempt) ^
                     reinterpret_cast<uintptr_t>(&ts);
        for (unsigned char &b : bytes) {
            x += 0x9E3779B97F4A7C15ull;
            uint64_t z = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            b = static_cast<unsigned char>(z ^ (z >> 31));
        }
    }
    for (size_t i = 0; i < kRandomChars; ++i)
        out[i] = kAlphabet[bytes[i] % (sizeof kAlphabet - 1)];
}

// Creates and locks a fresh temporary beside `name`; its name goes to *tmp.
int make_temporary(int dirfd, const std::string &name, mode_t mode, std::string *tmp, int *out)
{
    const std::string prefix = tmp_prefix(name);
    if (prefix.size() + kRandomChars > NAME_MAX)
        return ENAMETOOLONG;
    for (int attempt = 0; attempt < kMaxTries; ++attempt) {
        char rnd[kRandomChars];
        random_chars(rnd, attempt);
        std::string n = prefix + std::string(rnd, kRandomChars);
        int fd = openat(dirfd, n.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        // Ours once locked and still under its name: a cleaner may have
        // locked it in the moment between (it then removes it).
        int rc = flock(fd, LOCK_EX | LOCK_NB);
        if (rc != 0 && errno == EWOULDBLOCK) {
            close(fd);
            continue;
        }
        // Without flock on this file system no cleaner can take it either.
        struct stat held, named;
        if (fstat(fd, &held) == 0 && fstatat(dirfd, n.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            same_inode(held, named)) {
            *tmp = n;
            *out = fd;
            return 0;
        }
        close(fd);
    }
    return EEXIST;
}

// The old file's owner, group and mode on the temporary. Ownership is kept
// where permitted; set-id bits only go with the ownership they belong to.
int copy_attributes(int fd, const struct stat &old)
{
    struct stat now;
    if (fstat(fd, &now) != 0)
        return errno;
    if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
        if (fchown(fd, old.st_uid, old.st_gid) != 0 && old.st_gid != now.st_gid)
            (void)fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        if (fstat(fd, &now) != 0)
            return errno;
    }
    mode_t mode = old.st_mode & 07777;
    if (now.st_uid != old.st_uid)
        mode &= ~static_cast<mode_t>(S_ISUID);
    if (now.st_gid != old.st_gid)
        mode &= ~static_cast<mode_t>(S_ISGID);
    return fchmod(fd, mode) == 0 ? 0 : errno;
}

int write_all(int fd, const void *data, size_t size, size_t *done)
{
    const char *p = static_cast<const char *>(data);
    while (*done < size) {
        ssize_t n = write(fd, p + *done, size - *done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        *done += static_cast<size_t>(n);
    }
    return 0;
}

} // namespace

int replace_file_atomically(const char *path, const void *data, size_t size, unsigned int mode,
                            unsigned int flags, size_t *written)
{
    size_t done = 0;
    if (written)
        *written = 0;
    if (!path || !path[0] || (!data && size != 0))
        return EINVAL;
    Target t;
    int err = resolve(path, &t);
    if (err != 0)
        return err;
    int dirfd = open(t.dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd < 0)
        return errno;

    struct stat old;
    bool exists = fstatat(dirfd, t.name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT)
        err = errno;
    else if (exists && !S_ISREG(old.st_mode))
        err = S_ISDIR(old.st_mode) ? EISDIR : EINVAL;
    else if (exists && faccessat(dirfd, t.name.c_str(), W_OK, 0) != 0)
        err = EACCES;
    if (err != 0) {
        close(dirfd);
        return err;
    }

    remove_stale(dirfd, t.name);

    std::string tmp;
    int fd = -1;
    // An existing file's contents are only for its readers: the temporary
    // stays private until it has the old file's owner and mode.
    err = make_temporary(dirfd, t.name, exists ? 0600 : static_cast<mode_t>(mode & 07777), &tmp, &fd);
    if (err != 0) {
        close(dirfd);
        return err;
    }
    if (exists)
        err = copy_attributes(fd, old);
    else if (flags & ATOMIC_FILE_EXACT_MODE)
        err = fchmod(fd, static_cast<mode_t>(mode & 07777)) == 0 ? 0 : errno;
    if (err == 0)
        err = write_all(fd, data, size, &done);
    if (written)
        *written = done;
    if (err == 0 && fsync(fd) != 0)
        err = errno;
    // The lock is held until the name is gone, so no cleaner takes it.
    if (err == 0 && renameat(dirfd, tmp.c_str(), dirfd, t.name.c_str()) != 0)
        err = errno;
    if (err == 0)
        (void)fsync(dirfd);
    else
        unlinkat(dirfd, tmp.c_str(), 0);
    // After fsync a failing close loses nothing, and the rename is done.
    close(fd);
    close(dirfd);
    return err;
}
