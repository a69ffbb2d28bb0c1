// The AIF image and .ALL set generator: header words, strides, checksum
// kinds, the AWC id word, the DWC PRG list, key blocks where the product
// looks for them, faults, refusals and the make-aif command line; files are
// read back with the product's own readers.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "flash/fc_image_files.h"
#include "hba/download_security.h"
#include "images/image_fixture.h"
#include "sim/aif_generator.h"

namespace
{

using hlvdsim::AifRecipe;
using imgtest::ScratchDir;

const uint32_t kNotAuthenticated = 0xFFEB0000u;

uint32_t be32(const std::vector<uint8_t> &b, size_t at)
{
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

std::vector<uint8_t> build(const std::vector<AifRecipe> &recipes, bool set = false)
{
    std::vector<uint8_t> b;
    std::string err;
    EXPECT_TRUE(set ? hlvdsim::build_aif_set(recipes, b, &err) : hlvdsim::build_aif(recipes, b, &err)) << err;
    return b;
}

std::string write(const ScratchDir &dir, const std::vector<uint8_t> &bytes, const char *name = "image.all")
{
    imgtest::write_bytes(dir.file(name), bytes);
    return dir.file(name);
}

// The product's fold of `words` words from `offset` (0 when intact).
uint32_t fold(const std::string &path, long offset, uint32_t words)
{
    FILE *f = std::fopen(path.c_str(), "rb");
    EXPECT_NE(f, nullptr);
    if (!f)
        return 1;
    EXPECT_EQ(0, std::fseek(f, offset, SEEK_SET));
    uint32_t sum = ValidateFileChecksum(f, words - 1);
    std::fclose(f);
    return sum;
}

AifRecipe recipe(hlvdsim::AifKind kind, int checksumKind = 1)
{
    AifRecipe r = hlvdsim::aif_default_recipe(kind);
    r.checksumKind = checksumKind;
    return r;
}

TEST(AifGenerator, HeaderWordsSizesAndChecksumByKind)
{
    hlvdsim::PrgRecipe sli3;
    hlvdsim::PrgRecipe boot;
    boot.type = hlvdsim::kPrgTypeBoot;
    const uint32_t dwcData = 4 + sli3.size + 4;
    struct Case {
        hlvdsim::AifKind kind;
        int checksumKind;
        uint32_t kindWord, area, data, word14;
    } cases[] = {
        {hlvdsim::AIF_KIND_AWC, 1, 0xE1A01001u, 1, 1024, hlvdsim::kAifDefaultAwcVersion},
        {hlvdsim::AIF_KIND_AWC, 2, 0xE1A01001u, 1, 1024, hlvdsim::kAifDefaultAwcVersion},
        {hlvdsim::AIF_KIND_DWC, 1, 0xE1A02002u, 2, dwcData, 0x0BBE2113u},
        {hlvdsim::AIF_KIND_DWC, 2, 0xE1A02002u, 2, dwcData, 0x0BBE2113u},
        {hlvdsim::AIF_KIND_BWC, 1, 0xE1A03003u, 3, boot.size, 0x035E2113u},
        {hlvdsim::AIF_KIND_FWC, 1, 0xE1A04004u, 4, 1024, 0x0F9C0000u},
        {hlvdsim::AIF_KIND_FWC, 2, 0xE1A04004u, 4, 1024, 0x0F9C0000u},
    };
    ScratchDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.kind) + " kind " + std::to_string(c.checksumKind));
        std::vector<uint8_t> b = build({recipe(c.kind, c.checksumKind)});
        const uint32_t trailer = c.checksumKind == 1 ? 4 : 0;
        ASSERT_EQ(b.size(), 128 + c.data + trailer);
        EXPECT_EQ(be32(b, 0), NOP_IMAGE_TYPE);
        EXPECT_EQ(be32(b, 8), c.kindWord);
        EXPECT_EQ(be32(b, 16), c.area);
        EXPECT_EQ(be32(b, 20), c.data);
        EXPECT_EQ(be32(b, 24), 0u);
        EXPECT_EQ(be32(b, 40), 0x20000u);
        EXPECT_EQ(be32(b, 44), 0x10000u);
        EXPECT_EQ(be32(b, 56), c.word14);
        if (trailer) {
            EXPECT_EQ(0u, fold(write(dir, b), 0, static_cast<uint32_t>(b.size() / 4)));
        }
    }

    AifRecipe r = recipe(hlvdsim::AIF_KIND_FWC);
    r.areaType = 9;
    r.base = 0x40000;
    r.eraseLength = 0x30000;
    r.word14 = 0x0F120000;
    r.dataSize = 0x10004;
    std::vector<uint8_t> b = build({r});
    EXPECT_EQ(be32(b, 16), 9u);
    EXPECT_EQ(be32(b, 40), 0x40000u);
    EXPECT_EQ(be32(b, 44), 0x30000u);
    EXPECT_EQ(be32(b, 56), 0x0F120000u);
    r.eraseLength = -1;
    EXPECT_EQ(be32(build({r}), 44), 0x20000u); // rounded up to 64 KiB
}

TEST(AifGenerator, AwcCarriesItsVersionAndTheIdWordAt624)
{
    struct Case {
        int id;
        int64_t version;
        uint32_t idWord, versionWord;
    } cases[] = {
        {-1, -1, 0x00BE0000u, hlvdsim::kAifDefaultAwcVersion},
        {0x42, 0x01020304, 0x00420000u, 0x01020304u},
    };
    ScratchDir dir;
    for (const Case &c : cases) {
        AifRecipe r = recipe(hlvdsim::AIF_KIND_AWC);
        r.id = c.id;
        r.word14 = c.version;
        std::vector<uint8_t> b = build({r}, true);
        EXPECT_EQ(be32(b, 624), c.idWord);
        EXPECT_EQ(be32(b, 128), c.versionWord);
        EXPECT_EQ(be32(b, 56), c.versionWord);
        // A set of one image ends with a final word of 0.
        ASSERT_EQ(b.size(), 128 + 1024 + 4 + 4u);
        EXPECT_EQ(be32(b, b.size() - 4), 0u);
        CLUImage rec;
        std::memset(&rec, 0, sizeof rec);
        EXPECT_EQ(DOWNLOAD_OK, getALLBuildVersion(write(dir, b).c_str(), &rec));
    }
}

TEST(AifGenerator, DwcHoldsItsPrgsFrom132AndAnEndMark)
{
    hlvdsim::PrgRecipe sli3;
    sli3.id = 0xBE;
    hlvdsim::PrgRecipe boot;
    boot.type = hlvdsim::kPrgTypeBoot;
    boot.size = 600;
    struct Case {
        const char *what;
        std::vector<hlvdsim::PrgRecipe> prgs;
        unsigned faults;
        bool endMark;
    } cases[] = {
        {"one", {sli3}, 0, true},
        {"two", {sli3, boot}, 0, true},
        {"boot first", {boot, sli3}, 0, true},
        {"no end mark", {sli3}, hlvdsim::AIF_FAULT_NO_END_MARK, false},
    };
    ScratchDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        AifRecipe r = recipe(hlvdsim::AIF_KIND_DWC);
        r.prgs = c.prgs;
        r.faults = c.faults;
        std::vector<uint8_t> b = build({r});
        const std::string path = write(dir, b, "image.dwc");
        EXPECT_EQ(be32(b, 56), hlvdsim::prg_program_id(c.prgs[0]));
        EXPECT_EQ(be32(b, 128), 0u);
        FILE *f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        long at = hlvdsim::kAifDwcPrgOffset;
        for (const hlvdsim::PrgRecipe &p : c.prgs) {
            ASSERT_EQ(0, std::fseek(f, at, SEEK_SET));
            uint32_t h[PRG_HEADER_SIZE / 4];
            ASSERT_EQ(DOWNLOAD_OK, ReadPRGImageHeader(f, h));
            EXPECT_EQ(h[0], p.size);
            EXPECT_EQ(h[1], hlvdsim::prg_program_id(p));
            EXPECT_EQ(0, std::fseek(f, at, SEEK_SET));
            EXPECT_EQ(0u, ValidateFileChecksum(f, p.size / 4 - 1));
            at += static_cast<long>(p.size);
        }
        std::fclose(f);
        EXPECT_EQ(be32(b, static_cast<size_t>(at)) == hlvdsim::kAifPrgListEnd, c.endMark);
        EXPECT_EQ(be32(b, 20), static_cast<uint32_t>(at + (c.endMark ? 4 : 0) - 128));
        EXPECT_EQ(0u, fold(path, 0, static_cast<uint32_t>(b.size() / 4)));
    }
}

TEST(AifGenerator, KeyBlocksLieWhereTheProductLooks)
{
    const char *known = gADL_KEK_Data[1].idText;
    struct Case {
        hlvdsim::AifKind kind;
        const char *kek;
        uint32_t result;
    } cases[] = {
        {hlvdsim::AIF_KIND_AWC, known, 0},
        {hlvdsim::AIF_KIND_AWC, "", kNotAuthenticated},
        {hlvdsim::AIF_KIND_AWC, "UNKNOWN KEY", kNotAuthenticated},
        {hlvdsim::AIF_KIND_FWC, known, 0},
        {hlvdsim::AIF_KIND_FWC, "", kNotAuthenticated},
        {hlvdsim::AIF_KIND_DWC, known, 0},
        {hlvdsim::AIF_KIND_DWC, "", kNotAuthenticated},
    };
    ScratchDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.kind) + " '" + c.kek + "'");
        AifRecipe r = recipe(c.kind);
        r.kekId = c.kek;
        std::vector<uint8_t> b = build({r});
        FILE *f = std::fopen(write(dir, b).c_str(), "rb");
        ASSERT_NE(f, nullptr);
        uint8_t header[AIF_HEADER_SIZE];
        for (size_t w = 0; w < AIF_HEADER_SIZE / 4; ++w) {
            uint32_t v = be32(b, w * 4);
            std::memcpy(header + w * 4, &v, 4);
        }
        uint8_t signedImage = 0;
        uint32_t got = 0;
        if (c.kind == hlvdsim::AIF_KIND_AWC) {
            ASSERT_EQ(0, std::fseek(f, AIF_HEADER_SIZE, SEEK_SET));
            got = IsAuthenticated_AWC(f, header, &signedImage);
        } else if (c.kind == hlvdsim::AIF_KIND_FWC) {
            ASSERT_EQ(0, std::fseek(f, AIF_HEADER_SIZE, SEEK_SET));
            got = IsAuthenticated_FWC(f, &signedImage);
        } else {
            ASSERT_EQ(0, std::fseek(f, hlvdsim::kAifDwcPrgOffset, SEEK_SET));
            uint8_t prg[PRG_HEADER_SIZE];
            ASSERT_EQ(DOWNLOAD_OK, ReadPRGImageHeader(f, prg));
            got = IsAuthenticated_PRG(f, prg, &signedImage, 0);
        }
        EXPECT_EQ(got, c.result);
        std::fclose(f);
        // AWC and FWC carry the key flag in header word 3 and data word 3.
        if (c.kind != hlvdsim::AIF_KIND_DWC) {
            const uint32_t flag = *c.kek ? 0x10u : 0u;
            EXPECT_EQ(be32(b, 12), flag);
            EXPECT_EQ(be32(b, 128 + 12), flag);
        }
    }
}

TEST(AifGenerator, SetsStrideByReadOnlySizeAndEndWithTheFileChecksum)
{
    struct Case {
        const char *what;
        int checksumKind;
        uint32_t firstRw;
    } cases[] = {
        {"kind 1", 1, 0},
        {"kind 2", 2, 0},
        {"read-write bytes under the next image", 1, 64},
        {"read-write bytes, kind 2", 2, 64},
    };
    ScratchDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<AifRecipe> set = {recipe(hlvdsim::AIF_KIND_AWC, c.checksumKind),
                                      recipe(hlvdsim::AIF_KIND_DWC, c.checksumKind),
                                      recipe(hlvdsim::AIF_KIND_BWC, c.checksumKind)};
        set[0].rwSize = c.firstRw;
        std::vector<uint8_t> b = build(set);
        const std::string path = write(dir, b);
        const uint32_t trailer = c.checksumKind == 1 ? 4 : 0;
        uint32_t at = 0;
        for (size_t i = 0; i < set.size(); ++i) {
            SCOPED_TRACE(i);
            ASSERT_LE(at + 128u, b.size());
            EXPECT_EQ(be32(b, at), NOP_IMAGE_TYPE);
            EXPECT_EQ(be32(b, at + 8), hlvdsim::aif_kind_word(set[i].kind));
            const uint32_t ro = be32(b, at + 20), rw = be32(b, at + 24);
            // An image whose read-write bytes lie under the next one keeps
            // no intact checksum; the others do.
            if (trailer && rw == 0) {
                EXPECT_EQ(0u, fold(path, at, (128 + ro + trailer) / 4));
            }
            at += 128 + trailer + ro;
        }
        EXPECT_EQ(b.size(), at + trailer);
        if (trailer) {
            EXPECT_EQ(0u, fold(path, 0, (at + 4) / 4));
        }
    }
}

TEST(AifGenerator, FaultsBreakOneThingEach)
{
    const uint32_t data = 1024;
    struct Case {
        unsigned faults;
        bool set;
        bool imageIntact, fileIntact;
        uint32_t word0, word2;
        size_t size;
    } cases[] = {
        {0, true, true, true, NOP_IMAGE_TYPE, AIF_FWC_IMAGE, 128 + data + 8},
        {hlvdsim::AIF_FAULT_CHECKSUM, true, false, true, NOP_IMAGE_TYPE, AIF_FWC_IMAGE, 128 + data + 8},
        {hlvdsim::AIF_FAULT_FILE_CHECKSUM, true, true, false, NOP_IMAGE_TYPE, AIF_FWC_IMAGE, 128 + data + 8},
        {hlvdsim::AIF_FAULT_SHORT, true, false, false, NOP_IMAGE_TYPE, AIF_FWC_IMAGE, 128 + data},
        {hlvdsim::AIF_FAULT_SHORT, false, false, false, NOP_IMAGE_TYPE, AIF_FWC_IMAGE, 128 + data},
        {hlvdsim::AIF_FAULT_NOT_AIF, true, true, true, NOP_IMAGE_TYPE | 1, AIF_FWC_IMAGE, 128 + data + 8},
        {hlvdsim::AIF_FAULT_BAD_KIND, true, true, true, NOP_IMAGE_TYPE, 0xE1A05005u, 128 + data + 8},
        {hlvdsim::AIF_FAULT_CHECKSUM | hlvdsim::AIF_FAULT_FILE_CHECKSUM, true, false, false, NOP_IMAGE_TYPE,
         AIF_FWC_IMAGE, 128 + data + 8},
    };
    ScratchDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.faults);
        AifRecipe r = recipe(hlvdsim::AIF_KIND_FWC);
        r.faults = c.faults;
        std::vector<uint8_t> b = build({r}, c.set);
        ASSERT_EQ(b.size(), c.size);
        const std::string path = write(dir, b);
        EXPECT_EQ(be32(b, 0), c.word0);
        EXPECT_EQ(be32(b, 8), c.word2);
        EXPECT_EQ(c.imageIntact, fold(path, 0, (128 + data + 4) / 4) == 0);
        if (c.set) {
            EXPECT_EQ(c.fileIntact, fold(path, 0, (128 + data + 8) / 4) == 0);
        }
    }

    // The product's version reader refuses what the faults break.
    struct Reader {
        unsigned faults;
        DOWNLOAD_STATUS result;
    } readers[] = {
        {0, DOWNLOAD_OK},
        {hlvdsim::AIF_FAULT_CHECKSUM, BAD_CHECKSUM_ERROR},
        {hlvdsim::AIF_FAULT_NOT_AIF, INCOMPAT_IMAGE_ERROR},
        {hlvdsim::AIF_FAULT_BAD_KIND, INCOMPAT_IMAGE_ERROR},
    };
    for (const Reader &c : readers) {
        AifRecipe r = recipe(hlvdsim::AIF_KIND_AWC);
        r.faults = c.faults;
        CLUImage rec;
        std::memset(&rec, 0, sizeof rec);
        EXPECT_EQ(c.result, getALLBuildVersion(write(dir, build({r}, true)).c_str(), &rec)) << c.faults;
    }
}

TEST(AifGenerator, RefusesRecipesItCannotBuild)
{
    struct Case {
        const char *what;
        void (*edit)(std::vector<AifRecipe> &);
    } cases[] = {
        {"no image", [](std::vector<AifRecipe> &s) { s.clear(); }},
        {"checksum kind 3", [](std::vector<AifRecipe> &s) { s[0].checksumKind = 3; }},
        {"id 256", [](std::vector<AifRecipe> &s) { s[0].id = 256; }},
        {"data over 4 MiB", [](std::vector<AifRecipe> &s) { s[0].dataSize = (4 << 20) + 4; }},
        {"read-write larger than the data", [](std::vector<AifRecipe> &s) { s[0].rwSize = 2048; }},
        {"sizes not adding up", [](std::vector<AifRecipe> &s) { s[0].roSize = 512; s[0].dataSize = 1024; }},
        {"odd read-only size", [](std::vector<AifRecipe> &s) { s[0].dataSize = 1022; }},
        {"key block over the id word", [](std::vector<AifRecipe> &s) { s[0].kekId = "K"; s[0].dataSize = 600; }},
        {"key block before word 3", [](std::vector<AifRecipe> &s) { s[0].kekId = "K"; s[0].dataSize = 280; }},
        {"key id of 152 characters", [](std::vector<AifRecipe> &s) { s[0].kekId.assign(152, 'K'); }},
        {"PRGs in an AWC", [](std::vector<AifRecipe> &s) { s[0].prgs.resize(1); }},
        {"two boot PRGs", [](std::vector<AifRecipe> &s) { s[0] = recipe(hlvdsim::AIF_KIND_BWC); s[0].prgs.resize(2); }},
        {"id on a DWC", [](std::vector<AifRecipe> &s) { s[0] = recipe(hlvdsim::AIF_KIND_DWC); s[0].id = 1; }},
        {"huge PRG", [](std::vector<AifRecipe> &s) { s[0] = recipe(hlvdsim::AIF_KIND_DWC); s[0].prgs[0].size = 0xFFFFFFF0u; }},
        {"FWC too small for its key", [](std::vector<AifRecipe> &s) { s[0] = recipe(hlvdsim::AIF_KIND_FWC); s[0].kekId = "K"; s[0].dataSize = 300; }},
        {"checksum fault without checksum", [](std::vector<AifRecipe> &s) { s[0].checksumKind = 2; s[0].faults = hlvdsim::AIF_FAULT_CHECKSUM; }},
        {"file-checksum fault on one image", [](std::vector<AifRecipe> &s) { s[0].faults = hlvdsim::AIF_FAULT_FILE_CHECKSUM; }},
        {"no-end-mark on an AWC", [](std::vector<AifRecipe> &s) { s[0].faults = hlvdsim::AIF_FAULT_NO_END_MARK; }},
        {"mixed checksum kinds", [](std::vector<AifRecipe> &s) { s.push_back(recipe(hlvdsim::AIF_KIND_BWC, 2)); }},
        {"set over 16 MiB", [](std::vector<AifRecipe> &s) { s[0].dataSize = 4 << 20; s.assign(4, s[0]); }},
    };
    for (const Case &c : cases) {
        std::vector<AifRecipe> set = {recipe(hlvdsim::AIF_KIND_AWC)};
        c.edit(set);
        std::vector<uint8_t> b;
        std::string err;
        EXPECT_FALSE(hlvdsim::build_aif(set, b, &err)) << c.what;
        EXPECT_FALSE(err.empty()) << c.what;
    }
}

TEST(AifGenerator, CommandLineBuildsImagesAndSets)
{
    std::vector<AifRecipe> recipes;
    bool allSet = true;
    std::string out, err;
    ASSERT_TRUE(hlvdsim::aif_recipe_from_args({"-o", "x.dwc", "--kind", "dwc", "--id", "0x42"}, recipes, allSet, out,
                                              &err))
        << err;
    EXPECT_EQ(out, "x.dwc");
    EXPECT_FALSE(allSet);
    ASSERT_EQ(recipes.size(), 1u);
    ASSERT_EQ(recipes[0].prgs.size(), 1u);
    EXPECT_EQ(recipes[0].prgs[0].id, 0x42);
    EXPECT_EQ(recipes[0].prgs[0].type, hlvdsim::kPrgTypeSli3);

    ASSERT_TRUE(hlvdsim::aif_recipe_from_args(
        {"--all", "--kind", "awc", "--version", "0x01020304", "--ro", "1000", "--rw", "24", "--area", "7", "--base",
         "0x40000", "--erase", "0x20000", "--kek", "KEY", "--fault", "checksum", "--image", "--kind", "dwc", "--prg",
         "11:0xBE:3.10", "--prg", "3:0x5E", "--fault", "no-end-mark", "--image", "--kind", "bwc", "--checksum-kind",
         "2", "-o", "y.all"},
        recipes, allSet, out, &err))
        << err;
    EXPECT_TRUE(allSet);
    ASSERT_EQ(recipes.size(), 3u);
    EXPECT_EQ(recipes[0].word14, 0x01020304);
    EXPECT_EQ(recipes[0].roSize, 1000);
    EXPECT_EQ(recipes[0].rwSize, 24u);
    EXPECT_EQ(recipes[0].areaType, 7);
    EXPECT_EQ(recipes[0].base, 0x40000u);
    EXPECT_EQ(recipes[0].eraseLength, 0x20000);
    EXPECT_EQ(recipes[0].kekId, "KEY");
    EXPECT_EQ(recipes[0].faults, unsigned(hlvdsim::AIF_FAULT_CHECKSUM));
    ASSERT_EQ(recipes[1].prgs.size(), 2u);
    EXPECT_EQ(recipes[1].prgs[0].version, "3.10");
    EXPECT_EQ(recipes[1].prgs[1].type, hlvdsim::kPrgTypeBoot);
    EXPECT_EQ(recipes[1].faults, unsigned(hlvdsim::AIF_FAULT_NO_END_MARK));
    ASSERT_EQ(recipes[2].prgs.size(), 1u);
    EXPECT_EQ(recipes[2].prgs[0].type, hlvdsim::kPrgTypeBoot);
    EXPECT_EQ(recipes[2].checksumKind, 2);

    const std::vector<std::vector<std::string>> bad = {
        {"--kind", "awc"},
        {"--kind", "xwc", "-o", "x"},
        {"--area", "256", "-o", "x"},
        {"--id", "-1", "-o", "x"},
        {"--base", "0x100000000", "-o", "x"},
        {"--ro", "0x400004", "-o", "x"},
        {"--rw", "12abc", "-o", "x"},
        {"--checksum-kind", "3", "-o", "x"},
        {"--prg", "11", "-o", "x"},
        {"--prg", "11:256", "-o", "x"},
        {"--prg", "x:1", "-o", "x"},
        {"--fault", "melted", "-o", "x"},
        {"--bogus", "1", "-o", "x"},
        {"-o"},
    };
    for (const auto &args : bad) {
        std::string joined;
        for (const std::string &a : args)
            joined += a + " ";
        err.clear();
        EXPECT_FALSE(hlvdsim::aif_recipe_from_args(args, recipes, allSet, out, &err)) << joined;
        EXPECT_FALSE(err.empty()) << joined;
    }

    // Parsed but not buildable: an id beside explicit PRGs.
    ASSERT_TRUE(hlvdsim::aif_recipe_from_args({"--kind", "dwc", "--prg", "11:1", "--id", "2", "-o", "z"}, recipes,
                                              allSet, out, &err));
    ScratchDir dir;
    EXPECT_FALSE(hlvdsim::write_aif(recipes, allSet, dir.file("z"), &err));
}

} // namespace
