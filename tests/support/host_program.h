// Runs the host program hlvdhost as a host would, for tests that check
// what it prints.
#ifndef HLVD_TESTS_SUPPORT_HOST_PROGRAM_H
#define HLVD_TESTS_SUPPORT_HOST_PROGRAM_H

#include <string>
#include <vector>

namespace hlvdtest {

// Runs the built hlvdhost with `args` (under qemu-i386 in the 32-bit
// build); answers its standard output, with its exit status in `status`
// (-1 when it could not run or did not exit).
std::string run_hlvdhost(const std::vector<std::string> &args, int &status);

} // namespace hlvdtest

#endif
