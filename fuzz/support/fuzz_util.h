// Small helpers shared by the fuzz targets: scratch directories and files.
#ifndef HLVD_FUZZ_SUPPORT_FUZZ_UTIL_H
#define HLVD_FUZZ_SUPPORT_FUZZ_UTIL_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace hlvdfuzz
{

// A fresh directory below $TMPDIR (or /tmp), removed with its contents when
// the process exits normally. Aborts when none can be made: a target without
// its scratch space would test nothing.
std::string scratch_dir(const char *tag);

// Writes the bytes to `path`, replacing the file; aborts on failure.
void write_file(const std::string &path, const uint8_t *data, size_t size);

// Makes every directory of `path`.
void make_dirs(const std::string &path);

// The text of the simulator's default machine description; aborts when it
// cannot be read.
std::string default_machine_text();

} // namespace hlvdfuzz

#endif
