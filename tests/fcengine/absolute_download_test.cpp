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
#include "flash/debug_log.h"
#include "flash/flash_adapter.h"
#include "flash/oem_status.h"
#include "fc_fixture.h"
#include "flash/fc_image_files.h"
#include "hba/absolute_download.h"
#include "hba/boot_images.h"
#include "hba/config_regions.h"
#include "hba/download_security.h"
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
        {"FWC off the signed family", FWCext, image({recipe(hlvdsim::AIF_KIND_FWC)}), kIncorrect},
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

namespace {

// The default machine, its SLI-3 HBA's first function given these state keys.
std::string default_machine(const json &fc = json::object())
{
    json m = json::parse(hlvdtest::read_file(hlvdtest::source_path("sim/machines/default.json")));
    for (json &a : m["adapters"])
        if (a["name"] == "fc-sli3")
            for (auto it = fc.begin(); it != fc.end(); ++it)
                a["functions"][0]["fc"][it.key()] = it.value();
    return m.dump();
}

// The images the default machine's VPD style (T0B:4C,T03:49) takes.
std::vector<AifRecipe> default_set()
{
    return {recipe(hlvdsim::AIF_KIND_AWC), recipe(hlvdsim::AIF_KIND_DWC, 0x4C), recipe(hlvdsim::AIF_KIND_BWC, 0x49)};
}

// The fragments appear in this order in the text.
void expect_in_order(const std::string &text, const std::vector<std::string> &fragments)
{
    size_t at = 0;
    for (const std::string &f : fragments) {
        size_t found = text.find(f, at);
        ASSERT_NE(std::string::npos, found) << "missing after offset " << at << ": " << f << "\n" << text;
        at = found + f.size();
    }
}

std::vector<uint32_t> region4(const fctest::FcHost &host, int board)
{
    WAKEUP_PARMS r;
    std::memset(&r, 0, sizeof r);
    EXPECT_EQ(0, ReadWakeupParms(board, reinterpret_cast<uint8_t *>(&r)));
    (void)host;
    return std::vector<uint32_t>(r.words, r.words + WAKEUP_PARMS_WORDS);
}

} // namespace

TEST(FcAbsolute, AllSetThroughExecuteDownload)
{
    fctest::FcHost host(default_machine());
    ASSERT_TRUE(host.built());
    const int b = host.board(7, 0);
    const std::string path = write_image(host.root() + "/set.all", image(default_set(), true));
    const std::string log = host.root() + "/debug.log";
    CloseLogFileHandle();
    ASSERT_EQ(0, EnableLogging(log.c_str()));
    host.clear_log();
    EXPECT_EQ(0, executeDownload(b, path.c_str()));
    CloseLogFileHandle();

    std::vector<std::string> steps = {"Opening File"};
    for (int n = 1; n <= 3; ++n)
        for (const char *t : {"Reading AIF Header #", "Validating Checksum", "Checksum OK", "Erasing Flash ROM Sectors",
                              "0% complete 100% complete", "Loading Image", "0% complete ", "99% complete ",
                              "100% complete", "Image Successfully Downloaded"})
            steps.push_back(t == std::string("Reading AIF Header #") ? t + std::to_string(n) : t);
    steps.push_back("Updating Wakeup Parameters");
    const std::string text = hlvdtest::read_file(log);
    expect_in_order(text, steps);
    EXPECT_EQ(text.find("Updating Wakeup Parameters"), text.rfind("Updating Wakeup Parameters"));

    // Each area loaded once; the record's last write comes after the last
    // load (the BWC's expansion-ROM load writes it once on its way).
    std::vector<int> areas;
    int lastLoad = -1, lastWrite = -1, i = 0;
    for (const json &e : host.calls("IssueMboxWithRetry")) {
        if (e.value("mbox", 0) == MBX_LOAD_AREA) {
            lastLoad = i;
            if (e.value("sub", 0) == LOAD_AREA_LAST_PIECE)
                areas.push_back(e.value("area", 0));
        }
        if (e.value("mbox", 0) == MBX_UPDATE_CFG)
            lastWrite = i;
        ++i;
    }
    EXPECT_EQ((std::vector<int>{1, 2, 3}), areas);
    EXPECT_GT(lastWrite, lastLoad);
    // The DWC's SLI-3 firmware is named in the record.
    EXPECT_EQ(0x0B4C0000u, region4(host, b)[WAKEUP_SLOT_SLI3] & 0xFFFF0000u);
}

TEST(FcAbsolute, StuckEraseFailsTheDownload)
{
    fctest::FcHost host(default_machine({{"load_area", {{"erase_steps", -1}}}}));
    ASSERT_TRUE(host.built());
    const int b = host.board(7, 0);
    const std::string path = write_image(host.root() + "/set.all", image(default_set(), true));
    host.clear_log();
    EXPECT_EQ(10012, executeDownload(b, path.c_str()));
    EXPECT_EQ(LOAD_AREA_MAX_ERASES, mailbox(host, MBX_LOAD_AREA).size());
    EXPECT_TRUE(mailbox(host, MBX_UPDATE_CFG).empty());
}

// Whole downloads on an SLI-3 HBA of family 0xFE00 without VPD style.
TEST(FcAbsolute, Downloads)
{
    using hlvdsim::AIF_KIND_AWC;
    using hlvdsim::AIF_KIND_BWC;
    using hlvdsim::AIF_KIND_DWC;
    AifRecipe tiny = recipe(AIF_KIND_BWC);
    tiny.prgs.clear();
    tiny.dataSize = 100;
    tiny.word14 = 0x035E2113;
    AifRecipe second = recipe(AIF_KIND_DWC);
    second.prgs[0].type = 2;
    second.prgs[0].id = 0xC9; // a stub of T2-32
    struct Case {
        const char *name;
        json state;
        int32_t kind;
        Bytes bytes;
        DOWNLOAD_STATUS want;
        std::vector<int> areas; // area of each completed load
    } cases[] = {
        {"an image of 108 bytes or less", json::object(), BWCext, image({tiny}), LOAD_PROGRESS_ERROR, {}},
        {"next address mismatched", {{"load_area", {{"bad_address_at", 2}}}}, BWCext, image({recipe(AIF_KIND_BWC)}),
         LOAD_PROGRESS_ERROR, {}},
        {"DWC file of two images", json::object(), DWCext, image({recipe(AIF_KIND_DWC), second}, true), DOWNLOAD_OK,
         {2, 2}},
        {"BWC file", json::object(), BWCext, image({recipe(AIF_KIND_BWC)}), DOWNLOAD_OK, {3}},
        {".ALL set", json::object(), ALLext,
         image({recipe(AIF_KIND_AWC), recipe(AIF_KIND_DWC), recipe(AIF_KIND_BWC)}, true), DOWNLOAD_OK, {1, 2, 3}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fctest::FcHost host(fctest::machine({hba(0xFE00, "0x0577", nullptr, c.state)}));
        ASSERT_TRUE(host.built());
        const int b = host.board(0x10);
        FILE *f = std::fopen(write_image(host.root() + "/f", c.bytes).c_str(), "rb");
        ASSERT_NE(nullptr, f);
        host.clear_log();
        uint8_t signedImage = 0;
        EXPECT_EQ(c.want, StartAbsDownload2MbWithFeedback(b, c.kind, f, 1, &signedImage, nullptr, nullptr));
        std::fclose(f);
        std::vector<int> areas;
        for (const json &e : mailbox(host, MBX_LOAD_AREA))
            if (e.value("sub", 0) == LOAD_AREA_LAST_PIECE)
                areas.push_back(e.value("area", 0));
        EXPECT_EQ(c.areas, areas);
        if (c.want != DOWNLOAD_OK) {
            EXPECT_TRUE(mailbox(host, MBX_UPDATE_CFG).empty());
        }
    }
}

// A BWC file names its boot image in both boot slots and loads no ROM.
TEST(FcAbsolute, BwcFileSetsBothBootSlots)
{
    fctest::FcHost host(fctest::machine({hba(0xFE00, "0x0577")}));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    const Bytes bytes = image({recipe(hlvdsim::AIF_KIND_BWC)});
    uint32_t header[AIF_WORDS];
    header_of(bytes, 0, header);
    FILE *f = std::fopen(write_image(host.root() + "/f.bwc", bytes).c_str(), "rb");
    host.clear_log();
    uint8_t signedImage = 0;
    EXPECT_EQ(DOWNLOAD_OK, StartAbsDownload2MbWithFeedback(b, BWCext, f, 1, &signedImage, nullptr, nullptr));
    std::fclose(f);
    const std::vector<uint32_t> w = region4(host, b);
    EXPECT_EQ(header[AIF_ID_WORD], w[WAKEUP_SLOT_BOOT]);
    EXPECT_EQ(header[AIF_ID_WORD], w[WAKEUP_SLOT_EXP_ROM]);
    EXPECT_EQ(0u, w[WAKEUP_SLOT_BOOT + 1]);
    EXPECT_EQ(0u, w[WAKEUP_SLOT_EXP_ROM + 1]);
    EXPECT_TRUE(mailbox(host, MBX_LOAD_EXP_ROM).empty());
    EXPECT_EQ(1u, mailbox(host, MBX_UPDATE_CFG).size());
}

// An .ALL set's operational code already running (same version word, image
// family pairing the adapter's) is skipped; the other images load.
TEST(FcAbsolute, RunningOperationalCodeIsSkipped)
{
    fctest::FcHost host(fctest::machine({hba(0xFE00, "0x0577")}));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    const std::string path = write_image(
        host.root() + "/set.all",
        image({recipe(hlvdsim::AIF_KIND_AWC), recipe(hlvdsim::AIF_KIND_DWC), recipe(hlvdsim::AIF_KIND_BWC)}, true));
    std::vector<std::vector<int>> loads;
    for (int round = 0; round < 2; ++round) {
        FILE *f = std::fopen(path.c_str(), "rb");
        host.clear_log();
        uint8_t signedImage = 0;
        EXPECT_EQ(DOWNLOAD_OK, StartAbsDownload2MbWithFeedback(b, ALLext, f, 1, &signedImage, nullptr, nullptr));
        std::fclose(f);
        std::vector<int> areas;
        for (const json &e : mailbox(host, MBX_LOAD_AREA))
            if (e.value("sub", 0) == LOAD_AREA_LAST_PIECE)
                areas.push_back(e.value("area", 0));
        loads.push_back(areas);
    }
    EXPECT_EQ((std::vector<int>{1, 2, 3}), loads[0]);
    EXPECT_EQ((std::vector<int>{2, 3}), loads[1]);
}

// On the signed family a DWC's record starts from the adapter's own, not
// from the zeroed copy the walk begins with.
TEST(FcAbsolute, SignedFamilyDwcKeepsTheAdaptersRecord)
{
    const char *key = gADL_KEK_Data[0].idText;
    json a = fctest::fc_hba("s", 0x10, 1, 0xF180, "SLI3");
    // Slots the zeroed copy would lose: stub, word 2, SLI-2.
    const json wakeup = {0x02110001, 1, 0x77, 0x03110001, 1, 0, 0, 0x07110001, 1, 0x0B610001, 0, 0, 0, 0x03110001, 1};
    a["functions"][0]["fc"] = {{"jedec", "0x1004"}, {"kek", key}, {"wakeup", wakeup}};
    fctest::FcHost host(fctest::machine({a}));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    const std::vector<uint32_t> before = region4(host, b);
    ASSERT_EQ(0x77u, before[2]);
    AifRecipe r = recipe(hlvdsim::AIF_KIND_DWC, 0x61); // TB-40
    r.prgs[0].kekId = key;
    FILE *f = std::fopen(write_image(host.root() + "/f.dwc", image({r})).c_str(), "rb");
    uint8_t signedImage = 0;
    EXPECT_EQ(DOWNLOAD_OK, StartAbsDownload2MbWithFeedback(b, DWCext, f, 1, &signedImage, nullptr, nullptr));
    std::fclose(f);
    std::vector<uint32_t> want = before;
    want[WAKEUP_SLOT_SLI3] = hlvdsim::prg_program_id(r.prgs[0]);
    want[WAKEUP_SLOT_SLI3 + 1] = r.prgs[0].progId1;
    EXPECT_EQ(want, region4(host, b));
}

// The older single-image path: the image base rule, the families it leaves
// to SLI-2 firmware, and a LOAD_SM refused by the adapter.
TEST(FcAbsolute, OlderSingleImagePath)
{
    struct Case {
        const char *name;
        json adapter;
        uint32_t base;
        int id;
        DOWNLOAD_STATUS want;
        const char *text;
    } cases[] = {
        {"base refused", hba(0xF700, "0x0020"), 0x10000, 0x12, DownloadStatusOf(INVALID_IMAGE_ERROR, INVALID_IMAGE_BASE),
         nullptr},
        {"high base on 0xF098 only", hba(0xF700, "0x0020"), 0x40000, 0x12,
         DownloadStatusOf(INVALID_IMAGE_ERROR, INVALID_IMAGE_BASE), nullptr},
        {"0xF098 is not SLI-2", hba(0xF098, "0x0038"), 0x40000, 0x22, static_cast<DOWNLOAD_STATUS>(NOT_IN_SLI2),
         "Not in SLI-2: Do NOT proceed"},
        {"AWC of another family", hba(0xF700, "0x0020"), 0x20000, 0x16, kIncorrect, nullptr},
        {"LOAD_SM refused", hba(0xF700, "0x0020"), 0x20000, 0x12, WAKEUP_PARMS_ERROR, nullptr},
    };
    static std::vector<std::string> texts;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fctest::FcHost host(fctest::machine({c.adapter}));
        ASSERT_TRUE(host.built());
        const int b = host.board(0x10);
        AifRecipe r = recipe(hlvdsim::AIF_KIND_AWC, c.id);
        r.base = c.base;
        FILE *f = std::fopen(write_image(host.root() + "/f.aif", image({r})).c_str(), "rb");
        texts.clear();
        EXPECT_EQ(c.want, StartAbsDownloadWithFeedback(
                              b, f, 1, [](const char *t) { texts.push_back(t); }, nullptr));
        std::fclose(f);
        EXPECT_EQ(c.text ? std::vector<std::string>{c.text} : std::vector<std::string>{}, texts);
    }
}
