// FC image files besides UFI, read from a file holding the input: the PRG
// header, the file checksum, the boot image's expansion ROM and device id
// check, and the version readers of PRG, AIF (".all" and ".aif") and grouped
// files.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "flash/fc_image_files.h"
#include "support/fuzz_util.h"

namespace
{

std::string gDir;
std::string gHome;

void fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// Every text of the record ends within its field.
void check_record(const CLUImage &r)
{
    if (strnlen(r.legacyType, sizeof r.legacyType) == sizeof r.legacyType ||
        strnlen(r.decodedVersion, sizeof r.decodedVersion) == sizeof r.decodedVersion ||
        strnlen(r.sortedVersion, sizeof r.sortedVersion) == sizeof r.sortedVersion)
        fail("a record text runs past its field");
}

void check_in(const char *what, uint32_t got, std::initializer_list<uint32_t> allowed)
{
    for (uint32_t a : allowed)
        if (got == a)
            return;
    std::fprintf(stderr, "%s answers %08X\n", what, got);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    gDir = hlvdfuzz::scratch_dir("fcimage");
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd))
        fail("cannot take the working directory");
    gHome = cwd;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Relative names inside the scratch directory, so that the checksum
    // kind follows the file's own name and not a dot in the directory's;
    // the working directory is given back for the fuzzer's own paths.
    if (chdir(gDir.c_str()) != 0)
        fail("cannot enter the scratch directory");
    const char *names[] = {"image.prg", "image.all", "image.aif", "image.grp"};
    for (const char *name : names)
        hlvdfuzz::write_file(name, data, size);

    FILE *f = std::fopen("image.prg", "rb");
    if (!f)
        fail("cannot open the input");
    uint32_t header[PRG_HEADER_SIZE / 4];
    DOWNLOAD_STATUS st = ReadPRGImageHeader(f, header);
    check_in("ReadPRGImageHeader", static_cast<uint32_t>(st), {0, 0xFFF90002u});
    if (st == DOWNLOAD_OK) {
        uint32_t sum = ValidateFileChecksum(f, header[0] / 4);
        if (std::ftell(f) != 48)
            fail("the checksum moved the file position");
        if (sum == 0 && static_cast<uint64_t>(header[0] / 4 + 1) * 4 + 48 > size)
            fail("a region past the end of the file summed to 0");
        uint8_t pci[BOOT_PCI_HEADER_SIZE];
        check_in("ReadBootImagePciHeader2", static_cast<uint32_t>(ReadBootImagePciHeader2(f, pci)),
                 {0, 1, 0xFFF90002u});
        std::clearerr(f);
        if (std::fseek(f, 48, SEEK_SET) != 0)
            fail("cannot seek back");
        check_in("ValidateHollinBootProgId", static_cast<uint32_t>(ValidateHollinBootProgId(f, HOLLIN_DEVICE_ID)),
                 {0, 1, 0xFFF70001u, 0xFFF90002u});
        if (std::ftell(f) != 48)
            fail("the boot check moved the file position");
    }
    std::fclose(f);

    CLUImage rec;
    std::memset(&rec, 0, sizeof rec);
    check_in("getPRGBuildVersion", static_cast<uint32_t>(getPRGBuildVersion("image.prg", &rec)),
             {0, 0xFFF90000u, 0xFFF90002u, 0xFFF70000u});
    check_record(rec);
    for (const char *name : {"image.all", "image.aif"}) {
        std::memset(&rec, 0, sizeof rec);
        check_in("getALLBuildVersion", static_cast<uint32_t>(getALLBuildVersion(name, &rec)),
                 {0, 0xFFF90000u, 0xFFF90001u, 0xFFF80000u, 0xFFF70000u});
        check_record(rec);
    }
    std::memset(&rec, 0, sizeof rec);
    check_in("getGRPBuildVersion", static_cast<uint32_t>(getGRPBuildVersion("image.grp", &rec)), {0, 1, 197});
    check_record(rec);
    if (chdir(gHome.c_str()) != 0)
        fail("cannot go back to the working directory");
    return 0;
}
