// Grouped FC image files (".grp") as the download entry checks them before
// the object flash: the header checks of both kinds and the verifications
// built on them, read from a file holding the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hba/sli4_objects.h"
#include "support/fuzz_util.h"

namespace
{

std::string gDir;

uint32_t be32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
           p[3];
}

// The answer a header check must give for these bytes.
int expected(const uint8_t *data, size_t size, uint32_t magic, uint16_t signature)
{
    if (size < GRP_HEADER_SIZE)
        return RM_STATUS_ERROR_SHORT_FWIMAGE;
    return be32(data + 4) == magic && (be32(data + 8) >> 16) == signature ? 0 : 1;
}

void check(const char *what, int got, int want)
{
    if (got != want) {
        std::fprintf(stderr, "%s answers %d, expected %d\n", what, got, want);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    gDir = hlvdfuzz::scratch_dir("grp");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string path = gDir + "/image.grp";
    hlvdfuzz::write_file(path, data, size);

    _GRP_HEADER header;
    int plain = VerifyGRP_InitHeader(&header, path.c_str());
    check("VerifyGRP_InitHeader", plain, expected(data, size, GRP_MAGIC, GRP_SIGNATURE));
    if (size >= GRP_HEADER_SIZE && (header.magic != be32(data + 4) || header.signature != be32(data + 8) ||
                                    std::memcmp(header.buildText, data + 12, sizeof header.buildText) != 0)) {
        std::fprintf(stderr, "the header read differs from the file's first 140 bytes\n");
        std::abort();
    }
    int gen6 = VerifyGRP_G6_InitHeader(&header, path.c_str());
    check("VerifyGRP_G6_InitHeader", gen6, expected(data, size, GRP_G6_MAGIC, GRP_G6_SIGNATURE));
    check("FFS_VerifyFirmwareV2", FFS_VerifyFirmwareV2(path.c_str()), plain == 0 ? 0 : RM_STATUS_ERROR_INCOMP_IMAGE);
    check("FFS_VerifyFirmwareG6", FFS_VerifyFirmwareG6(path.c_str()), gen6 == 0 ? 0 : RM_STATUS_ERROR_INCOMP_IMAGE);
    return 0;
}
