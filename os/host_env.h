// The two seams between the product and the machine it runs on.
//
// HLVD_SYSROOT: every fixed absolute host path the product uses is resolved
// through host_path(), which puts it below that directory when the variable is
// set. Nothing else in the product reads the variable.
//
// HLVD_NO_SLEEP=1: every wait of the product goes through host_sleep_ms() and
// returns at once. The call sites and the number of waits stay the same.
#ifndef HLVD_OS_HOST_ENV_H
#define HLVD_OS_HOST_ENV_H

#include <cstddef>
#include <string>

// Writes the host path for `path` (absolute, e.g. "/tmp/x") into `out`.
// Returns 0, or -1 when the result does not fit `out_size` (nothing is cut;
// `out` then holds an empty text).
int host_path(const char *path, char *out, size_t out_size);

// The same without a size limit.
std::string host_path(const std::string &path);

// Sleeps unless HLVD_NO_SLEEP=1.
void host_sleep_ms(unsigned int ms);
void host_sleep_s(unsigned int seconds);

#endif
