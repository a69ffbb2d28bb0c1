// Lock files between processes using the management library: the start lock,
// held while a process starts the library, and one lock per adapter, held
// for each property read or write, group refresh or action on it. A lock is
// an empty file; it is made with O_CREAT|O_EXCL|O_NOFOLLOW, so only one
// process can make it, and a process removes only the file it holds.
//
// The holder keeps the file open with an flock on it for as long as it holds
// the lock. The kernel drops that flock when the holder dies, however it
// dies, so a file nobody has an flock on is left by a dead holder: it is
// taken over in place (the flock decides the one taker) and never turns a
// call away. A name that is not a plain file of this user (a planted
// symlink, a directory, another user's file) is never followed or used: the
// lock is not taken.
//
// Results: 0 taken (released), 1 busy after one wait of 3 seconds, or not
// taken (nothing of ours to release).
#ifndef HLVD_MGMT_VEXO_LINUX_VEXOD_LOCK_H
#define HLVD_MGMT_VEXO_LINUX_VEXOD_LOCK_H

#define VEXO_INIT_LOCK_FILE "/tmp/vexo_lock_init.txt"
#define VEXO_ASIC_LOCK_FORMAT "/tmp/VEXO_ASIC_%s.txt"
// Lock keys and lock file paths (before the sysroot) fit this buffer.
#define VEXO_LOCK_KEY_SIZE 256
#define VEXO_LOCK_WAIT_SECONDS 3
// Adapter locks one process can hold at a time.
#define VEXO_MAX_HELD_LOCKS 16

int vexo_init_acquire_lock();
int vexo_init_release_lock();
// An empty key, a key with '/' or one whose path does not fit gives 1.
int vexo_acquire_lock(const char *key);
int vexo_release_lock(const char *key);
// Called with the enumerated keys at start and at every stop; nothing to
// prepare or free: 0.
int vexo_lock_init(int adapter_count, const char keys[][VEXO_LOCK_KEY_SIZE]);
int vexo_lock_free(int adapter_count);

#endif
