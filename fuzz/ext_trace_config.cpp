// The extended trace configuration block as the trace handlers walk it
// (`ext_trace_mode_record`): whatever the module and mode counts say, the
// walk stays within the block and every record it finds lies inside it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mgmt/aw/vexo-backend/ext_trace.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl_records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > EXT_FAT_BLOCK_SIZE)
        return 0;
    // An exact-size copy, so that a read past the block is caught.
    std::vector<uint8_t> block(data, data + size);
    uint8_t *begin = block.data();
    const uint32_t n = static_cast<uint32_t>(block.size());
    for (int module = 0; module <= 64; ++module)
        for (int mode = 0; mode <= 5; ++mode) {
            uint8_t *r = ext_trace_mode_record(begin, n, module, mode);
            if (r && (r < begin || r + sizeof(EXT_FAT_MODE) > begin + n))
                __builtin_trap();
        }
    return 0;
}
