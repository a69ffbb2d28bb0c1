// Replacing a file so that readers see either the old or the new contents:
// the data goes to a temporary file in the same directory, is flushed to
// disk and renamed over the original.
//
// A symlink is followed first (a link in a sticky, world-writable directory
// only when it belongs to us or to the directory's owner, as the kernel does
// for an open), so the link stays and its target gets the new contents. The
// temporary file is ".<name>.tmp.<12 random letters or digits>" beside the
// real file, created exclusively and without following links, and locked
// (flock) by its writer until the rename. A write first removes the regular
// files named that way for the same file whose lock is free: their writer
// is gone.
#ifndef HLVD_OS_ATOMIC_FILE_H
#define HLVD_OS_ATOMIC_FILE_H

#include <cstddef>

// Flags of replace_file_atomically.
enum : unsigned int {
    // A new file gets exactly `mode`, whatever the umask.
    ATOMIC_FILE_EXACT_MODE = 1u,
};

// 0, or the errno of the step that failed; on failure the original file is
// untouched and no temporary file is left behind. An existing original that
// the caller may not write is refused (EACCES) as an in-place write would be;
// so is one that is not a regular file (EISDIR for a directory, EINVAL for
// anything else), which a rename would replace. An existing file keeps its
// mode and, where permitted, its owner and group; a new one gets `mode`
// under the umask (exactly, with ATOMIC_FILE_EXACT_MODE). When `written` is
// given it receives the number of bytes that reached the temporary file.
int replace_file_atomically(const char *path, const void *data, size_t size, unsigned int mode,
                            unsigned int flags = 0, size_t *written = nullptr);

#endif
