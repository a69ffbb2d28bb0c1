// A lock between processes that is a file in a shared directory: the holder
// keeps an flock on the file through an open file for as long as it holds
// it, so a file left by a holder that died is recognised (nobody has its
// flock) and taken over. The holder removes the name before it lets go, and
// a taker checks that the name still stands for the file it locked.
//
// A name that is not a plain file of this user with one name (a symlink, a
// directory, a FIFO, another user's file, a hard link) is never followed or
// used.
#ifndef HLVD_OS_LOCK_FILE_H
#define HLVD_OS_LOCK_FILE_H

#include <sys/types.h>

enum LockFileResult {
    LOCK_FILE_TAKEN,
    LOCK_FILE_HELD,        // a live process holds it
    LOCK_FILE_CANNOT_OPEN, // errno tells why (ELOOP: a symlink at the name)
    LOCK_FILE_FOREIGN,     // not a plain file of this user with one name
    LOCK_FILE_CANNOT_LOCK, // errno tells why
};

// A lock file held: the open file carrying the flock, and which file it is,
// so the release removes the name only while it still stands for it.
struct LockFileHold {
    int fd;
    dev_t dev;
    ino_t ino;
};

// One try, without waiting. On LOCK_FILE_TAKEN *hold holds the lock and
// *taken_over says whether the file was there already (left by a holder
// that is gone); a new file gets `mode`.
LockFileResult lock_file_try(const char *path, mode_t mode, LockFileHold *hold, bool *taken_over);

// Removes the name while the flock is still ours, then closes the file. 0
// when the name stood for our file and is gone now.
int lock_file_release(const char *path, const LockFileHold &hold);

#endif
