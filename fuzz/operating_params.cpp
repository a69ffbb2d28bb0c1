// The operating-parameters answer as the operational priority-group mode
// reads it: the descriptor walk must stay within the answer whatever the
// count and lengths say, and give the same result for the same bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mgmt/aw/vexo-backend/dcbx_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // An exact-size copy, so that a read past the answer is caught.
    std::vector<uint8_t> answer(data, data + size);
    bool first = dcbx_operating_qos_not_available(answer.data(), answer.size());
    if (first != dcbx_operating_qos_not_available(answer.data(), answer.size()))
        __builtin_trap();
    return 0;
}
