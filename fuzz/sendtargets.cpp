// A parsed SendTargets answer as discovery takes it before building targets
// (`vexo_bound_sendtargets_answer`): every entry kept lies within the answer
// whatever its target count and address counts say, and every kept target
// name ends within its field.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "mgmt/aw/vexo-backend/iscsi_discovery.h"

namespace {

uint32_t le32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // An exact-size copy, so that a read or write past the answer is caught.
    std::vector<uint8_t> answer(data, data + size);
    const uint32_t kept = vexo_bound_sendtargets_answer(answer.data(), answer.size());
    if (size < 4) {
        if (kept != 0)
            __builtin_trap();
        return 0;
    }
    if (kept > le32(data) || le32(answer.data()) != kept)
        __builtin_trap();
    size_t at = 4;
    for (uint32_t i = 0; i < kept; ++i) {
        if (answer.size() - at < 228)
            __builtin_trap();
        const uint32_t addrs = le32(&answer[at]);
        if (std::memchr(&answer[at + 4], 0, 224) == nullptr)
            __builtin_trap();
        const size_t entry = 228 + 32 * static_cast<size_t>(addrs ? addrs : 1);
        if (addrs > answer.size() || entry > answer.size() - at)
            __builtin_trap();
        at += entry;
    }
    return 0;
}
