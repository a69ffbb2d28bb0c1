// The absolute download of an AIF image file on a simulated host: the first
// input byte chooses the file kind (low two bits: .ALL, DWC, BWC, FWC) and
// the checksum kind (bit 2), the rest is the image file. The file is walked
// by StartAbsDownload2MbWithFeedback on the default machine's SLI-3 HBA,
// and by the readers the download uses (GetAbsImageType, GetImageType, the
// DWC PRG walks). Sizes, strides and PRG lengths come from the file only.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "adapters/adapter_table.h"
#include "flash/adapter_list.h"
#include "flash/fc_image_files.h"
#include "hba/absolute_download.h"
#include "hba/boot_images.h"
#include "sim/command_log.h"
#include "sim/machine.h"
#include "support/fuzz_util.h"

namespace
{

std::string gRoot;
std::string gImage;
int gBoard = -1;
bool gPercentOutOfRange = false;

[[noreturn]] void die(const char *why)
{
    std::fprintf(stderr, "aif_download: %s\n", why);
    std::abort();
}

void on_percent(int percent)
{
    if (percent < 0 || percent > 100)
        gPercentOutOfRange = true;
}

void on_text(const char *text)
{
    if (!text)
        die("null step text");
}

const int32_t kKinds[] = {ALLext, DWCext, BWCext, FWCext};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    std::string scratch = hlvdfuzz::scratch_dir("aif");
    gRoot = scratch + "/host";
    std::string err;
    if (!hlvdsim::create_host(gRoot, hlvdsim::default_machine_path(), &err))
        die("cannot create simulated host");
    setenv("HLVD_SYSROOT", gRoot.c_str(), 1);
    setenv("HLVD_NO_SLEEP", "1", 1);
    gImage = scratch + "/image.aif";
    if (CreateAdapterList() != 0)
        die("no adapter table");
    for (uint32_t i = 0; gAdapters && i < gAdapterCount; ++i)
        if (gAdapters[i].deviceId == 0xFE00)
            gBoard = static_cast<int>(i);
    if (gBoard < 0)
        die("no SLI-3 HBA in the default machine");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int32_t kind = kKinds[data[0] & 3];
    const int checksumKind = (data[0] & 4) ? 2 : 1;
    hlvdfuzz::write_file(gImage, data + 1, size - 1);
    FILE *f = std::fopen(gImage.c_str(), "rb");
    if (!f)
        die("cannot open the image");

    // Readers that promise to put the position back.
    if (std::fseek(f, 3, SEEK_SET) != 0)
        die("seek");
    const uint32_t type = GetImageType(f);
    if (type != 1 && type != 2 && type != 0xFFF90001u)
        die("GetImageType answer");
    if (type != 0xFFF90001u && std::ftell(f) != 3)
        die("GetImageType moved the file");
    uint8_t marked = 0;
    (void)GetAbsImageType(f, &marked);

    uint32_t header[AIF_WORDS] = {};
    std::rewind(f);
    uint8_t raw[AIF_HEADER_SIZE];
    if (std::fread(raw, 1, sizeof raw, f) == sizeof raw)
        for (uint32_t i = 0; i < AIF_WORDS; ++i)
            header[i] = static_cast<uint32_t>(raw[4 * i]) << 24 | static_cast<uint32_t>(raw[4 * i + 1]) << 16 |
                        static_cast<uint32_t>(raw[4 * i + 2]) << 8 | raw[4 * i + 3];
    (void)ValidateBootBIOS(gBoard, 0, header, f);

    std::rewind(f);
    hlvdsim::log_clear(gRoot);
    uint8_t signedImage = 0;
    gPercentOutOfRange = false;
    (void)StartAbsDownload2MbWithFeedback(gBoard, kind, f, checksumKind, &signedImage, on_text, on_percent);
    std::fclose(f);
    if (gPercentOutOfRange)
        die("a percentage out of 0..100");
    return 0;
}
