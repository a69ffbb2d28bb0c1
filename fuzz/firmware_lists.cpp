// The firmware's target record and parsed SendTargets answer as the iSCSI
// list readers walk them (first byte: which, and the target limit): every
// portal and entry visited lies within the answer whatever its counts say,
// and its texts end within their buffers.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "mgmt/aw/vexo-backend/iscsi_firmware_lists.h"

namespace
{

bool check_portal(const fw_portal *p, void *)
{
    if (strnlen(p->ip, sizeof p->ip) == sizeof p->ip)
        __builtin_trap();
    return true;
}

bool check_entry(const char *name, uint32_t, const uint8_t *addresses, uint32_t count, void *ctx)
{
    const std::vector<uint8_t> *answer = static_cast<const std::vector<uint8_t> *>(ctx);
    if (strnlen(name, ISCSI_TARGET_NAME_SIZE) == ISCSI_TARGET_NAME_SIZE)
        __builtin_trap();
    const uint8_t *end = answer->data() + answer->size();
    if (count && (addresses < answer->data() || addresses + static_cast<size_t>(count) * ISCSI_ST_ADDRESS_SIZE > end))
        __builtin_trap();
    for (uint32_t k = 0; k < count; ++k) {
        fw_portal p;
        vexo_send_target_portal(addresses + static_cast<size_t>(k) * ISCSI_ST_ADDRESS_SIZE, &p);
        check_portal(&p, nullptr);
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // An exact-size copy, so that a read past the answer is caught.
    std::vector<uint8_t> answer(data + 1, data + size);
    if (data[0] & 1) {
        static const int kLimits[] = {-1, 0, 128};
        vexo_walk_send_targets(answer.data(), answer.size(), kLimits[(data[0] >> 1) % 3], check_entry, &answer);
    } else {
        vexo_walk_target_portals(answer.data(), answer.size(), check_portal, nullptr);
    }
    return 0;
}
