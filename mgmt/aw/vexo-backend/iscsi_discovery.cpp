#include "mgmt/aw/vexo-backend/iscsi_discovery.h"

#include <algorithm>

namespace {

// SEND_TARGETS_PARSED_DATA entries.
const size_t kEntryHead = 228, kAddrEntry = 32, kNameField = 224;

uint32_t rd32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void wr32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

} // namespace

uint32_t vexo_bound_sendtargets_answer(uint8_t *answer, size_t len)
{
    if (!answer || len < 4)
        return 0;
    uint32_t claimed = rd32(answer);
    uint32_t kept = 0;
    size_t at = 4;
    while (kept < claimed && len - at >= kEntryHead) {
        uint32_t addrs = rd32(answer + at);
        size_t room = (len - at - kEntryHead) / kAddrEntry;
        if (addrs > room || (addrs == 0 && room == 0))
            break;
        answer[at + 4 + kNameField - 1] = 0;
        at += kEntryHead + kAddrEntry * std::max<size_t>(addrs, 1);
        ++kept;
    }
    wr32(answer, kept);
    return kept;
}
