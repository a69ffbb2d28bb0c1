// The absolute download: the image family map, the image kind of a file,
// the compatibility check of each AIF image, and whole downloads of
// generated AIF images and .ALL sets on simulated SLI-3 HBAs, directly and
// through the front end's executeDownload.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "adapters/adapter_table.h"
#include "fc_fixture.h"
#include "flash/fc_image_files.h"
#include "hba/absolute_download.h"
#include "hba/boot_images.h"
#include "hba/config_regions.h"
#include "hba/mbox_commands.h"
#include "hba/wakeup_parms.h"
#include "sim/aif_generator.h"
#include "sim/fc_hba.h"
#include "sim/prg_generator.h"

namespace {

using fctest::json;
using hlvdsim::AifRecipe;
using Bytes = std::vector<uint8_t>;

const DOWNLOAD_STATUS kReadError = DownloadStatusOf(INVALID_IMAGE_ERROR, ERROR_READING_FILE);
const DOWNLOAD_STATUS kIncorrect = DownloadStatusOf(INCOMPAT_IMAGE_ERROR, INCORRECT_ADPT);

AifRecipe recipe(hlvdsim::AifKind kind, int id = -1)
{
    AifRecipe r = hlvdsim::aif_default_recipe(kind);
    // DWC and BWC images take the id of their PRG.
    if (id >= 0 && r.prgs.empty())
        r.id = id;
    for (hlvdsim::PrgRecipe &p : r.prgs)
        if (id >= 0)
            p.id = id;
    return r;
}

Bytes image(const std::vector<AifRecipe> &recipes, bool allSet = false)
{
    Bytes out;
    std::string err;
    const bool ok = allSet ? hlvdsim::build_aif_set(recipes, out, &err) : hlvdsim::build_aif(recipes, out, &err);
    EXPECT_TRUE(ok) << err;
    return out;
}

std::string write_image(const std::string &path, const Bytes &b)
{
    hlvdtest::write_file(path, std::string(b.begin(), b.end()));
    return path;
}

void header_of(const Bytes &b, size_t at, uint32_t *header)
{
    for (uint32_t i = 0; i < AIF_WORDS; ++i) {
        const size_t o = at + 4 * i;
        header[i] = o + 4 <= b.size() ? static_cast<uint32_t>(b[o]) << 24 | static_cast<uint32_t>(b[o + 1]) << 16 |
                                            static_cast<uint32_t>(b[o + 2]) << 8 | b[o + 3]
                                      : 0;
    }
}

// An FC HBA function of this device id and JEDEC id, with V3 program-type
// rules in its VPD when given.
json hba(unsigned device, const char *jedec, const char *v3 = nullptr, const json &extra = json::object())
{
    json a = fctest::fc_hba("a", 0x10, 1, device, "SLI3");
    json fc = {{"jedec", jedec}};
    if (v3)
        fc["vpd"] = {{"keywords", {{"PN", "P1"}, {"SN", "S1"}, {"V3", v3}}}};
    for (auto it = extra.begin(); it != extra.end(); ++it)
        fc[it.key()] = it.value();
    a["functions"][0]["fc"] = fc;
    return a;
}

std::vector<json> mailbox(const fctest::FcHost &host, int code)
{
    std::vector<json> out;
    for (const json &e : host.calls("IssueMboxWithRetry"))
        if (e.value("mbox", 0) == code)
            out.push_back(e);
    return out;
}

} // namespace

TEST(FcAbsolute, ImageTypeOfAFile)
{
    const std::string dir = hlvdtest::make_temp_dir("abs");
    Bytes prg;
    hlvdsim::PrgRecipe pr;
    ASSERT_TRUE(hlvdsim::build_prg(pr, prg, nullptr));
    struct Case {
        const char *name;
        Bytes bytes;
        uint32_t want;
    } cases[] = {
        {"AIF image", image({recipe(hlvdsim::AIF_KIND_AWC)}), 1},
        {"PRG image", prg, 2},
        {"three bytes", Bytes{0xE1, 0xA0, 0x00}, static_cast<uint32_t>(kReadError)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FILE *f = std::fopen(write_image(dir + "/f", c.bytes).c_str(), "rb");
        ASSERT_NE(nullptr, f);
        ASSERT_EQ(0, std::fseek(f, 2, SEEK_SET));
        EXPECT_EQ(c.want, GetImageType(f));
        EXPECT_EQ(2, std::ftell(f));
        std::fclose(f);
    }
    hlvdtest::remove_tree(dir);
}

TEST(FcAbsolute, ImageFamilyMap)
{
    const std::string dir = hlvdtest::make_temp_dir("abs");
    struct Case {
        int id;
        uint32_t family;
        uint8_t marked; // 0: not marked
    } cases[] = {
        {0xBE, 0xFE00, 0}, {0xBF, 0xFE00, 0xBF}, {0x31, 0xFD00, 0x31}, {0x40, 0xF100, 0x40},
        {0x41, 0xF100, 0x41}, {0x20, 0xF980, 0}, {0x56, 0xF180, 0}, {0x14, 0xF0E1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        FILE *f = std::fopen(write_image(dir + "/f.aif", image({recipe(hlvdsim::AIF_KIND_AWC, c.id)})).c_str(), "rb");
        ASSERT_NE(nullptr, f);
        uint8_t marked = 0;
        EXPECT_EQ(c.family, GetAbsImageType(f, &marked));
        EXPECT_EQ(c.marked, marked);
        EXPECT_EQ(c.family, GetAbsImageType(f, nullptr));
        std::fclose(f);
    }
    // An id outside the map gives the whole word; a file too short, a read error.
    Bytes b = image({recipe(hlvdsim::AIF_KIND_AWC, 0xEE)});
    FILE *f = std::fopen(write_image(dir + "/g.aif", b).c_str(), "rb");
    ASSERT_NE(nullptr, f);
    const uint32_t word = static_cast<uint32_t>(b[624]) << 24 | static_cast<uint32_t>(b[625]) << 16 |
                          static_cast<uint32_t>(b[626]) << 8 | b[627];
    EXPECT_EQ(0xEEu, (word >> 16) & 0xFF);
    EXPECT_EQ(word, GetAbsImageType(f, nullptr));
    std::fclose(f);
    b.resize(626);
    f = std::fopen(write_image(dir + "/h.aif", b).c_str(), "rb");
    EXPECT_EQ(static_cast<uint32_t>(kReadError), GetAbsImageType(f, nullptr));
    std::fclose(f);
    hlvdtest::remove_tree(dir);
}

// Whether one image fits the adapter, by kind, family and VPD style.
TEST(FcAbsolute, CheckOfOneImage)
{
    using hlvdsim::AIF_KIND_AWC;
    using hlvdsim::AIF_KIND_BWC;
    using hlvdsim::AIF_KIND_DWC;
    using hlvdsim::AIF_KIND_FWC;
    AifRecipe sli2 = recipe(AIF_KIND_DWC);
    sli2.prgs[0].type = 7;
    sli2.prgs[0].id = 0x7D; // not in T7-35
    AifRecipe sli2Listed = sli2;
    sli2Listed.prgs[0].id = 0x24; // T7-35
    AifRecipe signedFwc = recipe(AIF_KIND_FWC);
    signedFwc.kekId = "key-1";
    struct Case {
        const char *name;
        json adapter;
        bool ibm;
        AifRecipe image;
        DOWNLOAD_STATUS want;
    } cases[] = {
        {"AWC of the adapter's family", hba(0xFE00, "0x0577"), false, recipe(AIF_KIND_AWC), DOWNLOAD_OK},
        {"AWC of another family", hba(0xFE00, "0x0577"), false, recipe(AIF_KIND_AWC, 0x20), kIncorrect},
        {"AWC allowed by the VPD style", hba(0xFE00, "0x0577", "TFF:20"), false, recipe(AIF_KIND_AWC, 0x20),
         DOWNLOAD_OK},
        {"AWC on 0xFE04 needs the marked id", hba(0xFE04, "0x0577"), false, recipe(AIF_KIND_AWC, 0xBE), kIncorrect},
        {"AWC on 0xFE04 with the marked id", hba(0xFE04, "0x0577"), false, recipe(AIF_KIND_AWC, 0xBF), DOWNLOAD_OK},
        {"DWC, VPD style matches", hba(0xFE00, "0x0577", "T0B:BE"), false, recipe(AIF_KIND_DWC), DOWNLOAD_OK},
        {"DWC, VPD style does not match", hba(0xFE00, "0x0577", "T0B:4C"), false, recipe(AIF_KIND_DWC), kIncorrect},
        {"DWC, no match but IBM: tables", hba(0xFE00, "0x0577", "T0B:4C"), true, recipe(AIF_KIND_DWC), DOWNLOAD_OK},
        {"DWC SLI-2 id not listed", hba(0xFE00, "0x0577"), false, sli2, kIncorrect},
        {"DWC SLI-2 id listed", hba(0xFE00, "0x0577"), false, sli2Listed, DOWNLOAD_OK},
        {"DWC SLI-3 on 0xF180 not in TB-40", hba(0xF180, "0x1004"), false, recipe(AIF_KIND_DWC), kIncorrect},
        {"BWC in the boot table", hba(0xFE00, "0x0577"), false, recipe(AIF_KIND_BWC), DOWNLOAD_OK},
        {"BWC, VPD style decides", hba(0xFE00, "0x0577", "T03:49"), false, recipe(AIF_KIND_BWC), kIncorrect},
        {"BWC not in the boot table", hba(0xFE00, "0x0577"), false, recipe(AIF_KIND_BWC, 0x49), kIncorrect},
        {"FWC without VPD style off 0xF180", hba(0xFE00, "0x0577"), false, recipe(AIF_KIND_FWC), kIncorrect},
        {"FWC allowed by VPD style", hba(0xFE00, "0x0577", "T0F:9C"), false, recipe(AIF_KIND_FWC), DOWNLOAD_OK},
        {"FWC on 0xF180 unsigned", hba(0xF180, "0x1004"), false, recipe(AIF_KIND_FWC), NOT_AUTHENTICATED_ERROR},
        {"FWC on 0xF180 signed", hba(0xF180, "0x1004"), false, signedFwc, DOWNLOAD_OK},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fctest::FcHost host(fctest::machine({c.adapter}));
        ASSERT_TRUE(host.built());
        const int b = host.board(0x10);
        gAdapters[b].ibmPSeries = c.ibm ? 1 : 0;
        const Bytes bytes = image({c.image});
        uint32_t header[AIF_WORDS];
        header_of(bytes, 0, header);
        FILE *f = std::fopen(write_image(host.root() + "/one.aif", bytes).c_str(), "rb");
        ASSERT_NE(nullptr, f);
        EXPECT_EQ(c.want, CheckAbsImageFile(b, f, header));
        std::fclose(f);
    }
}

// Refusals of the check pass: nothing is loaded and no wakeup record written.
TEST(FcAbsolute, FilesRefusedBeforeLoading)
{
    using hlvdsim::AIF_KIND_AWC;
    using hlvdsim::AIF_KIND_BWC;
    using hlvdsim::AIF_KIND_DWC;
    AifRecipe badFinal = recipe(AIF_KIND_BWC);
    badFinal.faults = hlvdsim::AIF_FAULT_FILE_CHECKSUM;
    AifRecipe notAif = recipe(AIF_KIND_BWC);
    notAif.faults = hlvdsim::AIF_FAULT_NOT_AIF;
    AifRecipe shortFile = recipe(AIF_KIND_BWC);
    shortFile.faults = hlvdsim::AIF_FAULT_SHORT;
    AifRecipe foreign = recipe(AIF_KIND_DWC, 0x4C);
    foreign.prgs[0].type = 7;
    struct Case {
        const char *name;
        int32_t kind;
        Bytes bytes;
        DOWNLOAD_STATUS want;
    } cases[] = {
        {".ALL with a bad final checksum", ALLext,
         image({recipe(AIF_KIND_AWC), recipe(AIF_KIND_DWC), badFinal}, true), BAD_CHECKSUM_ERROR},
        {".ALL whose third image has no mark", ALLext,
         image({recipe(AIF_KIND_AWC), recipe(AIF_KIND_DWC), notAif}, true), kReadError},
        {".ALL ending inside its last image", ALLext,
         image({recipe(AIF_KIND_AWC), recipe(AIF_KIND_DWC), shortFile}, true), kReadError},
        // Every image of a DWC file is checked, not only the first.
        {"DWC file whose second image does not fit", DWCext, image({recipe(AIF_KIND_DWC), foreign}, true),
         kIncorrect},
        {"no whole image", DWCext, Bytes{0xE1, 0xA0, 0x00, 0x00}, kReadError},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fctest::FcHost host(fctest::machine({hba(0xFE00, "0x0577")}));
        ASSERT_TRUE(host.built());
        const int b = host.board(0x10);
        FILE *f = std::fopen(write_image(host.root() + "/f", c.bytes).c_str(), "rb");
        ASSERT_NE(nullptr, f);
        host.clear_log();
        uint8_t signedImage = 0;
        EXPECT_EQ(c.want, StartAbsDownload2MbWithFeedback(b, c.kind, f, 1, &signedImage, nullptr, nullptr));
        std::fclose(f);
        for (int code : {MBX_LOAD_AREA, MBX_UPDATE_CFG, MBX_LOAD_EXP_ROM})
            EXPECT_TRUE(mailbox(host, code).empty()) << code;
    }
}
