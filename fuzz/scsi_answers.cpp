// What a target answers to REPORT LUNS and to the unit serial number
// INQUIRY page, as the LUN enumeration and the serial reader take them: the
// entries taken lie within the answer whatever its list length says, and
// the serial number within the kept page.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "mgmt/aw/vexo-backend/iscsi_luns.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // An exact-size copy, so that a read past the answer is caught.
    std::vector<uint8_t> answer(data, data + size);
    const uint32_t count = report_luns_entry_count(answer.data(), static_cast<uint32_t>(answer.size()));
    if (count > 255 || (count && 8 + 8ULL * count > answer.size()))
        __builtin_trap();

    uint8_t page[255] = {};
    std::memcpy(page, data, size < sizeof page ? size : sizeof page);
    char serial[255];
    const size_t n = lsn_serial_text(page, serial);
    if (n > 251 || serial[n] != '\0')
        __builtin_trap();
    return 0;
}
