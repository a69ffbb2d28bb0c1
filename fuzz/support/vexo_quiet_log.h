// The management library's debug log pointed at /dev/null at its most
// verbose level, so every message's formatting runs without filling a disk.
#ifndef HLVD_FUZZ_SUPPORT_VEXO_QUIET_LOG_H
#define HLVD_FUZZ_SUPPORT_VEXO_QUIET_LOG_H

#include <cstdio>
#include <cstdlib>

#include "mgmt/vexo/core/debug.h"

namespace hlvdfuzz
{

inline void vexo_log_to_null()
{
    vexo_log_fp = std::fopen("/dev/null", "a");
    if (!vexo_log_fp)
        std::abort();
    vexo_debug_level = VEXO_LOG_DEBUG;
}

// Counted memory of the management library must be given back by every call.
inline void check_vexo_counter(int before)
{
    if (vexo_counter != before) {
        std::fprintf(stderr, "counted memory: %d blocks before, %d after\n", before, vexo_counter);
        std::abort();
    }
}

} // namespace hlvdfuzz

#endif
