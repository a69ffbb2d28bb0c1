// UFI image files as the management library reads them before it flashes:
// the generation check, the gen-2 header and directory check and region
// reads, and the gen-3/gen-4 directory search behind the image headers.
// The parts that talk to an adapter run in the flash_action target.
#include <cstdint>
#include <cstring>
#include <string>

#include "mgmt/aw/vexo-backend/firmware_flash.h"
#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/vexo/core/debug.h"
#include "support/fuzz_util.h"
#include "support/vexo_quiet_log.h"

namespace
{

std::string gDir;

// The gen-2 regions the flash reads: file offset after the header, length.
const uint32_t kAw2Regions[][2] = {
    {0x100000, 0x140000}, {0x240000, 0x140000}, {0x380000, 0x140000}, {0x4C0000, 0x140000},
    {0x0, 0x40000},       {0x700000, 0x40000},  {0x80000, 0x40000},   {0x780000, 0x40000},
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    gDir = hlvdfuzz::scratch_dir("mgmt-ufi");
    hlvdfuzz::vexo_log_to_null();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const int counted = vexo_counter;
    const std::string path = gDir + "/image.ufi";
    hlvdfuzz::write_file(path, data, size);

    uint32_t sub = 0;
    VEXO_get_ufi_type(path.c_str(), &sub, AW_TYPE_AW2);
    VEXO_get_ufi_type(path.c_str(), &sub, AW_TYPE_AW3);

    static AW2_FILE_HEADER_T header;
    static AW2_FLASHDIR_TYPE aw2dir;
    if (ChkForValidUFI(path.c_str(), &header, &aw2dir) == 0) {
        for (const auto &r : kAw2Regions) {
            uint8_t *region = nullptr;
            if (ProcessFlashFirmwareCmd(path.c_str(), r[0], r[1], &region) == 0)
                vexo_dfree(region);
        }
    }

    FILE *fp = VEXO_file_open(path.c_str(), "rb");
    if (fp) {
        FILE_HEADER_T h;
        std::memset(&h, 0, sizeof h);
        if (std::fread(&h, 1, sizeof h, fp) == sizeof h) {
            static FLASHDIR_TYPE dir;
            uint64_t header_size = UFI_HEADER_SIZE + uint64_t(UFI_IMAGE_HEADER_SIZE) * h.FH_NumOfImgs;
            if (get_flash_dir_aw3(header_size, fp, &dir) == 0) {
                for (const flash_comp &c : flash_types) {
                    int index = 0;
                    is_comp_in_ufi(&dir, static_cast<uint32_t>(c.img_type), &index);
                }
            }
        }
        VEXO_file_close(fp);
    }
    hlvdfuzz::check_vexo_counter(counted);
    return 0;
}
