// FC image files: the PRG header read, the file checksum and its kind, the
// boot image's device id check, and the version readers of PRG, AIF and
// grouped files, on files from the project's generators.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "flash/fc_image_files.h"
#include "hba/adapter_family.h"
#include "hba/config_regions.h"
#include "images/image_fixture.h"
#include "sim/grp_generator.h"
#include "sim/prg_generator.h"

namespace
{

using imgtest::ScratchDir;

const uint32_t kReadError = 0xFFF90001u;
const uint32_t kEndOfFile = 0xFFF90002u;
const uint32_t kIncorrectAdapter = 0xFFF70001u;

std::string write_prg(const ScratchDir &dir, const hlvdsim::PrgRecipe &r, const char *name = "image.prg")
{
    std::string path = dir.file(name);
    std::string err;
    EXPECT_TRUE(hlvdsim::write_prg(r, path, &err)) << err;
    return path;
}

hlvdsim::PrgRecipe boot_recipe(int id, uint16_t device)
{
    hlvdsim::PrgRecipe r;
    r.type = hlvdsim::kPrgTypeBoot;
    r.id = id;
    r.deviceId = device;
    return r;
}

void put_be(std::vector<uint8_t> &b, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8)
        b.push_back(static_cast<uint8_t>(v >> s));
}

uint32_t fold_closing(const std::vector<uint8_t> &b)
{
    uint32_t c = 0xAAAAAAAAu;
    for (size_t i = 0; i + 4 <= b.size(); i += 4) {
        uint32_t w = uint32_t(b[i]) << 24 | uint32_t(b[i + 1]) << 16 | uint32_t(b[i + 2]) << 8 | b[i + 3];
        c = ((c << 1) | (c >> 31)) ^ w;
    }
    return (c << 1) | (c >> 31);
}

struct AifImage {
    uint32_t kind;
    uint32_t progId;
    uint32_t bodyLen;
};

// An AIF file; with checksum words each image ends with one, the last
// making the fold of the whole file 0.
std::vector<uint8_t> build_aif(const std::vector<AifImage> &images, bool checksumWords)
{
    std::vector<uint8_t> b;
    for (size_t n = 0; n < images.size(); ++n) {
        const AifImage &im = images[n];
        for (uint32_t w = 0; w < 32; ++w)
            put_be(b, w == 0 ? NOP_IMAGE_TYPE : w == 2 ? im.kind : w == 5 ? im.bodyLen : w == 14 ? im.progId : 0);
        for (uint32_t i = 0; i < im.bodyLen; ++i)
            b.push_back(static_cast<uint8_t>(i * 3 + n));
        if (checksumWords)
            put_be(b, n + 1 == images.size() ? fold_closing(b) : 0);
    }
    return b;
}

FILE *open_bytes(const ScratchDir &dir, const std::vector<uint8_t> &bytes)
{
    imgtest::write_bytes(dir.file("bytes.bin"), bytes);
    return std::fopen(dir.file("bytes.bin").c_str(), "rb");
}

} // namespace

TEST(FcImageFiles, ChecksumKindComesFromTheWholeTextAfterTheFirstDot)
{
    const struct {
        const char *path;
        int kind;
    } cases[] = {{"image.aif", 2}, {"IMAGE.AIF", 2}, {"image.Aif", 1}, {"image.all", 1},
                 {"image", 1},     {"dir.d/image.aif", 1}, {"image.aif.bak", 1}, {nullptr, 1}};
    for (const auto &c : cases)
        EXPECT_EQ(c.kind, GetFileChecksumType(c.path)) << (c.path ? c.path : "(null)");
}

TEST(FcImageFiles, ChecksumFoldsFromThePositionAndRestoresIt)
{
    ScratchDir dir;
    const struct {
        std::vector<uint8_t> bytes;
        long start;
        uint32_t count;
        bool intact;
    } cases[] = {
        {{0x55, 0x55, 0x55, 0x55}, 0, 0, true},
        {{0, 0, 0, 0}, 0, 0, false},
        {{9, 9, 0x55, 0x55, 0x55, 0x55}, 2, 0, true},
        // A region reaching past the end of the file never passes, whatever
        // the words read would fold to.
        {{0x55, 0x55, 0x55, 0x55}, 0, 1, false},
        {{0x55, 0x55, 0x55, 0x55, 0x00}, 0, 1, false},
    };
    for (const auto &c : cases) {
        FILE *f = open_bytes(dir, c.bytes);
        ASSERT_TRUE(f);
        ASSERT_EQ(0, std::fseek(f, c.start, SEEK_SET));
        uint32_t sum = ValidateFileChecksum(f, c.count);
        EXPECT_EQ(c.intact, sum == 0) << std::hex << sum;
        EXPECT_EQ(c.start, std::ftell(f));
        std::fclose(f);
    }
}

TEST(FcImageFiles, PrgHeaderReadTurnsEveryWordToHostOrder)
{
    ScratchDir dir;
    std::vector<uint8_t> bytes(48);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i + 1);
    for (size_t len : {size_t(0), size_t(47), size_t(48)}) {
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(len));
        FILE *f = open_bytes(dir, part);
        ASSERT_TRUE(f);
        uint8_t header[48];
        DOWNLOAD_STATUS st = ReadPRGImageHeader(f, header);
        if (len < 48) {
            EXPECT_EQ(kEndOfFile, static_cast<uint32_t>(st)) << len;
        } else {
            EXPECT_EQ(DOWNLOAD_OK, st);
            for (size_t i = 0; i < 48; ++i)
                EXPECT_EQ(bytes[i], header[i ^ 3]) << i;
            EXPECT_EQ(48, std::ftell(f));
        }
        EXPECT_EQ(1, ReadPRGImageHeader(f, nullptr));
        std::fclose(f);
    }
    EXPECT_EQ(1, ReadPRGImageHeader(nullptr, bytes.data()));
}

TEST(FcImageFiles, GeneratedPrgImagesCarryTheirFieldsAndChecksums)
{
    ScratchDir dir;
    const struct {
        unsigned faults;
        bool headerIntact, fileIntact;
        size_t size;
    } cases[] = {
        {0, true, true, 1000},
        {hlvdsim::PRG_FAULT_HEADER_CHECKSUM, false, true, 1000},
        {hlvdsim::PRG_FAULT_FILE_CHECKSUM, true, false, 1000},
        {hlvdsim::PRG_FAULT_EXTRA_BYTE, true, true, 1001},
        {hlvdsim::PRG_FAULT_SHORT, true, false, 996},
    };
    for (const auto &c : cases) {
        hlvdsim::PrgRecipe r;
        r.faults = c.faults;
        std::string path = write_prg(dir, r);
        EXPECT_EQ(c.size, imgtest::read_bytes(path).size());
        FILE *f = std::fopen(path.c_str(), "rb");
        ASSERT_TRUE(f);
        PRG_HEADER h;
        ASSERT_EQ(DOWNLOAD_OK, ReadPRGImageHeader(f, &h));
        EXPECT_EQ(1000u, h.length);
        EXPECT_EQ(0x0BBE2113u, h.programId[0]);
        EXPECT_EQ(c.headerIntact, ValidateChecksum(&h.programId[0], &h.checksum) == 0) << c.faults;
        ASSERT_EQ(0, std::fseek(f, 0, SEEK_SET));
        EXPECT_EQ(c.fileIntact, ValidateFileChecksum(f, h.length / 4 - 1) == 0) << c.faults;
        std::fclose(f);
    }
}

TEST(FcImageFiles, SignedPrgKeyBlockLiesWhereTheKeyPositionSays)
{
    ScratchDir dir;
    hlvdsim::PrgRecipe r;
    r.kekId = "key-one";
    std::vector<uint8_t> b;
    ASSERT_TRUE(hlvdsim::build_prg(r, b, nullptr));
    imgtest::write_bytes(dir.file("s.prg"), b);
    FILE *f = std::fopen(dir.file("s.prg").c_str(), "rb");
    ASSERT_TRUE(f);
    PRG_HEADER h;
    ASSERT_EQ(DOWNLOAD_OK, ReadPRGImageHeader(f, &h));
    EXPECT_EQ(0x10u, h.flags & 0xFF);
    ASSERT_GE(h.keyPosition, 268u);
    const size_t block = 48 + h.keyPosition - 268;
    ASSERT_LE(block + 264, b.size());
    EXPECT_NE(0, b[block] | b[block + 1] | b[block + 2] | b[block + 3]);
    EXPECT_EQ(std::string("key-one"), std::string(reinterpret_cast<const char *>(&b[block + 112])));
    ASSERT_EQ(0, std::fseek(f, 0, SEEK_SET));
    EXPECT_EQ(0u, ValidateFileChecksum(f, h.length / 4 - 1));
    std::fclose(f);
}

TEST(FcImageFiles, BootImageDeviceIdCheck)
{
    ScratchDir dir;
    const struct {
        const char *what;
        uint16_t device;
        uint32_t expected;
        bool breakRom;
        size_t cut; // 0: whole file
        uint32_t result;
    } cases[] = {
        {"built for 0xF180", 0xF180, 0xF180, false, 0, 0},
        {"built for another id", 0xFE00, 0xF180, false, 0, kIncorrectAdapter},
        {"another expected id", 0xF180, 0xF100, false, 0, kIncorrectAdapter},
        {"no ROM signature", 0xF180, 0xF180, true, 0, 1},
        {"file ends in the data structure", 0xF180, 0xF180, false, 48 + 0x1C + 10, kEndOfFile},
    };
    for (const auto &c : cases) {
        std::vector<uint8_t> b;
        ASSERT_TRUE(hlvdsim::build_prg(boot_recipe(121, c.device), b, nullptr));
        if (c.breakRom)
            b[48 + 3] = 0; // ROM byte 0 is stored at file byte 3
        if (c.cut)
            b.resize(c.cut);
        FILE *f = open_bytes(dir, b);
        ASSERT_TRUE(f);
        ASSERT_EQ(0, std::fseek(f, 48, SEEK_SET));
        EXPECT_EQ(c.result, static_cast<uint32_t>(ValidateHollinBootProgId(f, c.expected))) << c.what;
        EXPECT_EQ(48, std::ftell(f)) << c.what;
        std::fclose(f);
    }
    // Another expected id is refused before anything is read.
    EXPECT_EQ(kIncorrectAdapter, static_cast<uint32_t>(ValidateHollinBootProgId(nullptr, 0xF100)));

    std::vector<uint8_t> b;
    ASSERT_TRUE(hlvdsim::build_prg(boot_recipe(121, 0xF180), b, nullptr));
    FILE *f = open_bytes(dir, b);
    ASSERT_TRUE(f);
    ASSERT_EQ(0, std::fseek(f, 48, SEEK_SET));
    uint8_t pci[28];
    ASSERT_EQ(DOWNLOAD_OK, ReadBootImagePciHeader2(f, pci));
    EXPECT_EQ(0, std::memcmp(pci, "PCIR", 4));
    EXPECT_EQ(0xF180, pci[6] | pci[7] << 8);
    std::fclose(f);
}

TEST(FcImageFiles, EncodedRevisionText)
{
    const struct {
        uint32_t word;
        const char *text;
    } cases[] = {{0x0BBE2113, "210A3"}, {0x0000F0FF, "1503X15"}, {0, "000N0"}, {0x0300A3A5, "1032B5"}};
    for (const auto &c : cases) {
        uint8_t bytes[4];
        std::memcpy(bytes, &c.word, 4);
        char text[16];
        EXPECT_EQ(0, getEncodedRev(bytes, text, sizeof text));
        EXPECT_STREQ(c.text, text);
    }
    uint8_t bytes[4] = {0xFF, 0xF0, 0, 0};
    char small[4];
    EXPECT_EQ(1, getEncodedRev(bytes, small, sizeof small));
    EXPECT_STREQ("", small);
}

TEST(FcImageFiles, TypeCodeTables)
{
    typedef int (*Lookup)(int, char *, size_t);
    const struct {
        const char *what;
        Lookup lookup;
        int id;
        int result;
        const char *code;
    } cases[] = {
        {"boot kind 4", getBootCodeType, 28, 1, ""},
        {"boot kind 0", getBootCodeType, 32, 1, ""},
        {"boot kind 7, group 4", getBootCodeType, 39, 1, ""},
        {"boot group 15", getBootCodeType, 121, 0, "QB"},
        {"boot group 11, kind 6", getBootCodeType, 94, 0, "LP"},
        {"boot group 30, kind 7", getBootCodeType, 247, 0, "ZU"},
        {"boot outside", getBootCodeType, 256, 1, ""},
        {"SLI-2 id 18", getSLI_2_ImageType, 18, 0, ""},
        {"SLI-2 id 41", getSLI_2_ImageType, 41, 0, "DF"},
        {"SLI-3 id 41", getSLI_3_ImageType, 41, 0, "DS"},
        {"SLI-3 id 235", getSLI_3_ImageType, 235, 0, "JS"},
        {"SLI-3 unlisted", getSLI_3_ImageType, 19, 1, ""},
    };
    for (const auto &c : cases) {
        char code[8] = "junk";
        EXPECT_EQ(c.result, c.lookup(c.id, code, sizeof code)) << c.what;
        EXPECT_STREQ(c.code, code) << c.what;
    }
    int bootCodes = 0, sliIds = 0, differ = 0;
    for (int id = 0; id < 256; ++id) {
        char a[8], b[8], d[8];
        bootCodes += getBootCodeType(id, a, sizeof a) == 0;
        const int two = getSLI_2_ImageType(id, b, sizeof b), three = getSLI_3_ImageType(id, d, sizeof d);
        EXPECT_EQ(two, three) << id;
        sliIds += two == 0;
        differ += two == 0 && std::strcmp(b, d) != 0;
    }
    EXPECT_EQ(99, bootCodes);
    EXPECT_EQ(36, sliIds);
    EXPECT_EQ(2, differ);
}

TEST(FcImageFiles, PrgVersionReader)
{
    ScratchDir dir;
    const struct {
        const char *what;
        hlvdsim::PrgRecipe recipe;
        size_t cut;
        uint32_t result;
        const char *type, *version;
    } cases[] = {
        {"boot of group 15", boot_recipe(121, 0xFE00), 0, 0, "QB", "QB210A3"},
        {"Hollin boot", boot_recipe(121, 0xF180), 0, 0, "AB", "AB210A3"},
        {"boot of group 11", boot_recipe(94, 0xF180), 0, 0, "LP", "LP210A3"},
        {"firmware id without a boot code", hlvdsim::PrgRecipe(), 0, 0xFFF70000u, "", ""},
        {"47 bytes", boot_recipe(121, 0xFE00), 47, kEndOfFile, "", ""},
    };
    for (const auto &c : cases) {
        std::vector<uint8_t> b;
        ASSERT_TRUE(hlvdsim::build_prg(c.recipe, b, nullptr));
        if (c.cut)
            b.resize(c.cut);
        imgtest::write_bytes(dir.file("v.prg"), b);
        CLUImage rec;
        std::memset(&rec, 0, sizeof rec);
        EXPECT_EQ(c.result, static_cast<uint32_t>(getPRGBuildVersion(dir.file("v.prg").c_str(), &rec))) << c.what;
        EXPECT_STREQ(c.type, rec.legacyType) << c.what;
        EXPECT_STREQ(c.version, rec.decodedVersion) << c.what;
        if (c.result == 0) {
            EXPECT_EQ(c.recipe.id, rec.legacyImageId);
            EXPECT_EQ(3, rec.legacyImageType);
            EXPECT_EQ(0x13, rec.legacyEncodedRev[0]);
            EXPECT_EQ(0x21, rec.legacyEncodedRev[1]);
        }
    }
    CLUImage rec;
    std::memset(&rec, 0, sizeof rec);
    EXPECT_EQ(OPEN_FILE_ERROR, getPRGBuildVersion(dir.file("missing.prg").c_str(), &rec));
    imgtest::write_bytes(dir.file("a.prg"), build_aif({{AIF_BWC_IMAGE, 0, 8}}, true));
    EXPECT_EQ(INCOMPAT_IMAGE_ERROR, getPRGBuildVersion(dir.file("a.prg").c_str(), &rec));
}

TEST(FcImageFiles, AllVersionReader)
{
    ScratchDir dir;
    const uint32_t sli3 = 0x0B292113, sli2 = 0x07292113; // id 41
    const struct {
        const char *what;
        std::vector<AifImage> images;
        int damage; // 0 none, 1 last byte, 2 first word, 3 body length past the end
        uint32_t result;
        const char *version;
    } cases[] = {
        {"AWC, DWC, BWC", {{AIF_AWC_IMAGE, 0, 600}, {AIF_DWC_IMAGE, sli3, 64}, {AIF_BWC_IMAGE, 0, 16}}, 0, 0, "DS210A3"},
        {"SLI-2 DWC", {{AIF_DWC_IMAGE, sli2, 64}}, 0, 0, "DF210A3"},
        {"id 18 reads as empty", {{AIF_DWC_IMAGE, 0x0B122113, 8}}, 0, 0, ""},
        {"bad checksum", {{AIF_DWC_IMAGE, sli3, 64}}, 1, 0xFFF80000u, "DS210A3"},
        {"not an AIF file", {{AIF_DWC_IMAGE, sli3, 64}}, 2, 0xFFF70000u, ""},
        {"image past the end", {{AIF_DWC_IMAGE, sli3, 64}}, 3, kReadError, "DS210A3"},
        {"unknown image type", {{AIF_DWC_IMAGE, 0x06292113, 8}}, 0, 0xFFF70000u, ""},
        {"unlisted id", {{AIF_DWC_IMAGE, 0x0B132113, 8}}, 0, 0xFFF70000u, ""},
        {"unknown kind", {{0xE1A05005u, 0, 8}}, 0, 0xFFF70000u, ""},
    };
    for (const auto &c : cases) {
        std::vector<uint8_t> b = build_aif(c.images, true);
        if (c.damage == 1)
            b.back() ^= 1;
        if (c.damage == 2)
            b[0] = 0;
        if (c.damage == 3)
            b[23] = 0xFF;
        imgtest::write_bytes(dir.file("image.all"), b);
        CLUImage rec;
        std::memset(&rec, 0, sizeof rec);
        EXPECT_EQ(c.result, static_cast<uint32_t>(getALLBuildVersion(dir.file("image.all").c_str(), &rec))) << c.what;
        EXPECT_STREQ(c.version, rec.decodedVersion) << c.what;
    }
    CLUImage rec;
    std::memset(&rec, 0, sizeof rec);
    EXPECT_EQ(OPEN_FILE_ERROR, getALLBuildVersion(dir.file("missing.all").c_str(), &rec));
}

TEST(FcImageFiles, AifFileCarriesNoChecksumWords)
{
    ScratchDir dir;
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    ASSERT_EQ(0, chdir(dir.path().c_str()));
    imgtest::write_bytes("image.aif", build_aif({{AIF_DWC_IMAGE, 0x0B292113, 64}, {AIF_BWC_IMAGE, 0, 16}}, false));
    CLUImage rec;
    std::memset(&rec, 0, sizeof rec);
    EXPECT_EQ(DOWNLOAD_OK, getALLBuildVersion("image.aif", &rec));
    EXPECT_STREQ("DS210A3", rec.decodedVersion);
    ASSERT_EQ(0, chdir(cwd));
}

TEST(FcImageFiles, GroupedVersionReader)
{
    ScratchDir dir;
    const struct {
        const char *what;
        bool gen6;
        unsigned faults;
        const char *name;
        RM_STATUS result;
        CLUImageType type;
        const char *version;
    } cases[] = {
        {"plain", false, 0, "image.grp", RM_STATUS_OK, GRP_IMAGE, "11.2.156.27"},
        {"gen-6", true, 0, "image.GRP", RM_STATUS_OK, GRP_G6_IMAGE, "11.2.156.27"},
        {"bad magic", false, hlvdsim::GRP_FAULT_BAD_MAGIC, "image.grp", RM_STATUS_ERROR, NO_IMAGE_TYPE, "0.0.0.0"},
        {"short", false, hlvdsim::GRP_FAULT_SHORT, "image.grp", RM_STATUS_ERROR_SHORT_FWIMAGE, NO_IMAGE_TYPE,
         "0.0.0.0"},
        {"not a grouped name", false, 0, "image.bin", RM_STATUS_ERROR_INCOMP_IMAGE, NO_IMAGE_TYPE, "0.0.0.0"},
    };
    for (const auto &c : cases) {
        hlvdsim::GrpRecipe r;
        r.version = "11.2.156.27";
        r.gen6 = c.gen6;
        r.faults = c.faults;
        std::string err;
        ASSERT_TRUE(hlvdsim::write_grp(r, dir.file(c.name), &err)) << err;
        CLUImage rec;
        std::memset(&rec, 0, sizeof rec);
        EXPECT_EQ(c.result, getGRPBuildVersion(dir.file(c.name).c_str(), &rec)) << c.what;
        EXPECT_EQ(c.type, rec.imageType) << c.what;
        EXPECT_STREQ(c.version, rec.decodedVersion) << c.what;
        EXPECT_STREQ("N/A", rec.legacyType) << c.what;
    }
    CLUImage rec;
    EXPECT_EQ(RM_STATUS_ERROR_READING_RESOURCE, getGRPBuildVersion(dir.file("missing.grp").c_str(), &rec));
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, getGRPBuildVersion(nullptr, &rec));
}

TEST(FcImageFiles, GroupedBuildTextGivesItsLeadingDigitsAndDots)
{
    const struct {
        std::string text; // 128 characters: no terminator within the field
        size_t room;
        RM_STATUS result;
        const char *version;
    } cases[] = {
        {"2.1.300.4a-rc", 64, RM_STATUS_OK, "2.1.300.4"},
        {"beta", 64, RM_STATUS_OK, ""},
        {std::string(128, '1'), 64, RM_STATUS_ERROR, ""},
        {std::string(127, '1'), 64, RM_STATUS_ERROR, ""},
        {"12.34", 6, RM_STATUS_OK, "12.34"},
        {"12.345", 6, RM_STATUS_ERROR, ""},
    };
    for (const auto &c : cases) {
        _GRP_HEADER h;
        std::memset(&h, 0, sizeof h);
        std::memcpy(h.buildText, c.text.data(), c.text.size());
        char version[64] = "junk";
        EXPECT_EQ(c.result, GetVarrowBuildString(version, c.room, &h)) << c.text;
        EXPECT_STREQ(c.version, version) << c.text;
    }
}

TEST(FcImageFiles, MakePrgArguments)
{
    const struct {
        std::vector<std::string> args;
        bool ok;
    } cases[] = {
        {{"-o", "x.prg"}, true},
        {{"--type", "3", "--id", "121", "--device-id", "0xF180", "--kek", "k", "--size", "420", "-o", "x"}, true},
        {{"--fault", "short", "--fault", "extra-byte", "-o", "x"}, true},
        {{"--fault", "nope", "-o", "x"}, false},
        {{"--id", "256", "-o", "x"}, false},
        {{"--size", "-4", "-o", "x"}, false},
        {{"--type", "3"}, false},
        {{"-o"}, false},
    };
    for (const auto &c : cases) {
        hlvdsim::PrgRecipe r;
        std::string out, err;
        EXPECT_EQ(c.ok, hlvdsim::prg_recipe_from_args(c.args, r, out, &err)) << err;
    }
    // Sizes that leave no room for the pieces, or not whole words, are refused.
    for (uint32_t size : {136u, 402u}) {
        hlvdsim::PrgRecipe r;
        r.size = size;
        r.kekId = size == 402u ? "k" : "";
        std::vector<uint8_t> b;
        EXPECT_FALSE(hlvdsim::build_prg(r, b, nullptr)) << size;
    }
}
