// Replacing a file so that readers see either the old or the new contents:
// the data goes to a temporary file in the same directory, is flushed to
// disk and renamed over the original.
#ifndef HLVD_OS_ATOMIC_FILE_H
#define HLVD_OS_ATOMIC_FILE_H

#include <cstddef>

// 0, or the errno of the step that failed; on failure the original file is
// untouched and no temporary file is left behind. An existing original that
// the caller may not write is refused (EACCES) as an in-place write would be.
int replace_file_atomically(const char *path, const void *data, size_t size, unsigned int mode);

#endif
