// Relative (PRG) downloads on a simulated host: the checks before the erase,
// the DOWN_LOAD commands sent with their progress, the retries of the
// download entry, files of several PRGs and the clean-up of superseded
// flash images.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fc_fixture.h"
#include "flash/device_properties.h"
#include "flash/flash_adapter.h"
#include "flashfront/flashfront_fixture.h"
#include "hba/config_regions.h"
#include "hba/download_security.h"
#include "hba/load_lists.h"
#include "hba/mbox_commands.h"
#include "hba/relative_download.h"
#include "sim/fc_hba.h"
#include "sim/prg_generator.h"

namespace {

using fctest::json;
using hlvdsim::PrgRecipe;

const DOWNLOAD_STATUS kReadError = DownloadStatusOf(INVALID_IMAGE_ERROR, ERROR_READING_FILE);
const DOWNLOAD_STATUS kShort = DownloadStatusOf(INVALID_IMAGE_ERROR, SHORT_IMAGE);
const DOWNLOAD_STATUS kLong = DownloadStatusOf(INVALID_IMAGE_ERROR, LONG_IMAGE);
const DOWNLOAD_STATUS kWrongAdapter = DownloadStatusOf(INCOMPAT_IMAGE_ERROR, INCORRECT_ADPT);

// The id the default machine's SLI-3 HBA takes: its VPD names it.
const uint8_t kSli3Id = 0x4C;

std::vector<std::string> texts;
std::vector<int> percents;
void on_text(const char *t)
{
    texts.push_back(t);
}
void on_percent(int p)
{
    percents.push_back(p);
}

PrgRecipe sli3(uint32_t size = 1000)
{
    PrgRecipe r;
    r.id = kSli3Id;
    r.size = size;
    return r;
}

std::vector<uint8_t> bytes_of(const PrgRecipe &r)
{
    std::vector<uint8_t> out;
    std::string err;
    EXPECT_TRUE(hlvdsim::build_prg(r, out, &err)) << err;
    return out;
}

FILE *file_of(const std::vector<uint8_t> &bytes)
{
    FILE *f = std::tmpfile();
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    return f;
}

void put_be(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

uint32_t rotl1(uint32_t v)
{
    return v << 1 | v >> 31;
}

// A PRG image of `size` bytes made here (the generator makes none below 140):
// the header fold and the file fold come out 0; `lengthWord` is word 0.
std::vector<uint8_t> prg(uint32_t size, uint32_t id0, uint32_t id1, uint32_t lengthWord)
{
    std::vector<uint32_t> w(size / 4, 0);
    w[0] = lengthWord;
    w[1] = id0;
    w[2] = id1;
    for (size_t i = 12; i < w.size(); ++i)
        w[i] = static_cast<uint32_t>(i * 0x01010101u);
    uint32_t c = 0xAAAAAAAAu;
    for (size_t i = 1; i < 11; ++i)
        c = rotl1(c) ^ w[i];
    w[11] = rotl1(c);
    c = 0xAAAAAAAAu;
    for (size_t i = 0; i + 1 < w.size(); ++i)
        c = rotl1(c) ^ w[i];
    w.back() = rotl1(c);
    std::vector<uint8_t> b(size, 0x5A);
    for (size_t i = 0; i < w.size(); ++i)
        put_be(b, 4 * i, w[i]);
    return b;
}

std::vector<uint8_t> prg(uint32_t size, uint32_t id1 = 0)
{
    return prg(size, 0x0BBE2113u, id1, size);
}

void append(std::vector<uint8_t> &to, const std::vector<uint8_t> &more)
{
    to.insert(to.end(), more.begin(), more.end());
}

// Pieces of the data commands: bytes and flag byte.
std::vector<std::pair<uint32_t, uint32_t>> pieces(const std::vector<json> &downLoads)
{
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (const json &e : downLoads)
        if (e.value("flag", 0u) != DOWN_LOAD_ERASE)
            out.emplace_back(e.value("bytes", 0u), e.value("flag", 0u));
    return out;
}

// The mailbox commands of one code in the log.
std::vector<json> of_mbox(const fctest::FcHost &host, int mbox)
{
    std::vector<json> out;
    for (const json &e : host.log())
        if (e.value("mbox", -1) == mbox)
            out.push_back(e);
    return out;
}

std::vector<json> down_loads(const fctest::FcHost &host)
{
    return of_mbox(host, MBX_DOWN_LOAD);
}

DOWNLOAD_STATUS download(int board, FILE *f, uint16_t dwc = 0, uint8_t *wakeup = nullptr)
{
    uint8_t parms[60] = {};
    uint8_t signedImage = 0;
    return StartRelativeDownloadWithFeedback(board, 2, 1, f, wakeup ? wakeup : parms, dwc, &signedImage, on_text,
                                             on_percent);
}

class RelativeDownload : public ::testing::Test {
protected:
    fctest::FcHost host;
    int board = -1;
    void SetUp() override
    {
        ASSERT_TRUE(host.built());
        board = host.board(7, 0);
        host.clear_log();
        texts.clear();
        percents.clear();
    }
};

// Images the engine refuses before it erases anything.
TEST_F(RelativeDownload, RefusedBeforeTheErase)
{
    auto with_length = [](uint32_t length) {
        std::vector<uint8_t> b = bytes_of(sli3());
        put_be(b, 0, length);
        return b;
    };
    auto recipe = [](unsigned faults, int id = kSli3Id) {
        PrgRecipe r = sli3();
        r.faults = faults;
        r.id = id;
        return bytes_of(r);
    };
    struct Case {
        const char *what;
        std::vector<uint8_t> image;
        DOWNLOAD_STATUS result;
        size_t texts; // step texts reported
    } cases[] = {
        {"header checksum", recipe(hlvdsim::PRG_FAULT_HEADER_CHECKSUM), BAD_CHECKSUM_ERROR, 1},
        {"file checksum", recipe(hlvdsim::PRG_FAULT_FILE_CHECKSUM), BAD_CHECKSUM_ERROR, 2},
        {"one byte more", recipe(hlvdsim::PRG_FAULT_EXTRA_BYTE), kLong, 1},
        {"short", recipe(hlvdsim::PRG_FAULT_SHORT), kShort, 1},
        {"id the adapter does not take", recipe(0, 0x77), kWrongAdapter, 1},
        {"length 0", with_length(0), kReadError, 1},
        {"length below the header", with_length(47), kReadError, 1},
        {"end mark", with_length(0xFFFFFFFFu), kReadError, 1},
        {"length beyond any file", with_length(0x7FFFFFFFu), kShort, 1},
        {"empty file", {}, kShort, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        texts.clear();
        FILE *f = file_of(c.image);
        EXPECT_EQ(c.result, download(board, f));
        std::fclose(f);
        EXPECT_EQ(c.texts, texts.size());
        EXPECT_TRUE(percents.empty());
    }
    EXPECT_TRUE(down_loads(host).empty());
}

// An adapter that keeps refusing the signature: the entry tries four times,
// clearing the image's type from the flash load list before each retry.
TEST_F(RelativeDownload, EntryRetriesASignatureRefusal)
{
    std::string path = host.root() + "/fw.prg";
    std::string err;
    ASSERT_TRUE(hlvdsim::write_prg(sli3(), path, &err)) << err;
    host.plan({{"match", {{"mbox", MBX_DOWN_LOAD}}}, {"kind", "kpl"}, {"mbox_status", 3851}, {"when", "always"}});
    EXPECT_EQ(SECURITY_CHECK_ERROR, UpdateEmbertipFirmwareWithFeedback(board, path.c_str(), nullptr, nullptr));
    // Erase, then the load-list walk and its deletes, three times over.
    std::vector<int> order;
    for (const json &e : host.log()) {
        int m = e.value("mbox", -1);
        if (m == MBX_DOWN_LOAD || m == MBX_DEL_LD_ENTRY)
            order.push_back(m);
    }
    // The default machine's one SLI-3 image goes with the first retry.
    EXPECT_EQ((std::vector<int>{MBX_DOWN_LOAD, MBX_DEL_LD_ENTRY, MBX_DOWN_LOAD, MBX_DOWN_LOAD, MBX_DOWN_LOAD}), order);
    LOAD_LIST list;
    ASSERT_EQ(0u, ReadFlashLoadList(board, &list));
    ASSERT_EQ(1u, list.count);
    EXPECT_EQ(0x03495190u, list.entries[0].programId[0]) << "the boot code stays";
}

// An SLI-3 HBA whose VPD names no program types: the family's table decides.
class PlainHba : public ::testing::Test {
protected:
    fctest::FcHost host{fctest::machine({fctest::sli3_hba("a", 0x10)})};
    int board = -1;
    void SetUp() override
    {
        ASSERT_TRUE(host.built());
        board = host.board(0x10);
        host.clear_log();
        texts.clear();
        percents.clear();
        NumPRGs_inDWC = 0;
    }
    std::vector<uint32_t> wakeup() const
    {
        uint32_t w[15] = {};
        EXPECT_EQ(0, ReadWakeupParms(board, reinterpret_cast<uint8_t *>(w)));
        return std::vector<uint32_t>(w, w + 15);
    }
};

TEST_F(PlainHba, PiecesOfAnImage)
{
    std::vector<uint8_t> trailing = prg(108);
    trailing.push_back(0x77);
    struct Case {
        const char *what;
        std::vector<uint8_t> file;
        uint16_t dwc;
        std::vector<std::pair<uint32_t, uint32_t>> pieces;
    } cases[] = {
        {"108 bytes", prg(108), 0, {{108, 0x0B}}},
        {"109 bytes", prg(109), 0, {{108, 0x0A}, {1, 0x0B}}},
        {"DWC-via-PRG mode", prg(109), 1, {{108, 0x8A}, {1, 0x8B}}},
        {"DWC-via-PRG mode takes bytes behind the image", trailing, 1, {{108, 0x8B}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        host.clear_log();
        FILE *f = file_of(c.file);
        EXPECT_EQ(DOWNLOAD_OK, download(board, f, c.dwc));
        std::fclose(f);
        std::vector<json> sent = down_loads(host);
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(DOWN_LOAD_ERASE, sent[0].value("flag", 0u));
        uint32_t total = 0;
        for (const auto &p : c.pieces)
            total += p.first;
        EXPECT_EQ(total, sent[0].value("bytes", 0u)) << "the erase names the image length";
        EXPECT_EQ(c.pieces, pieces(sent));
        // Only a single download names its image in the wakeup parameters.
        EXPECT_EQ(c.dwc ? 0u : 1u, of_mbox(host, MBX_UPDATE_CFG).size());
    }
    EXPECT_EQ(0x0BBE2113u, wakeup()[9]);
}

TEST_F(PlainHba, EraseWithoutRoomLeavesTheFileAtTheImage)
{
    std::vector<uint8_t> file(100, 0xCC);
    append(file, prg(200));
    FILE *f = file_of(file);
    host.plan({{"match", {{"mbox", MBX_DOWN_LOAD}}}, {"kind", "kpl"}, {"mbox_status", 241}});
    std::fseek(f, 100, SEEK_SET);
    EXPECT_EQ(241, download(board, f, 1));
    EXPECT_EQ(100, std::ftell(f));
    // The retry the caller makes then goes through.
    EXPECT_EQ(DOWNLOAD_OK, download(board, f, 1));
    std::fclose(f);
    EXPECT_EQ(4u, down_loads(host).size()) << "the refused erase, then erase and two pieces";
}

TEST_F(PlainHba, PercentagesOfAThousandBytes)
{
    FILE *f = file_of(prg(1000));
    EXPECT_EQ(DOWNLOAD_OK, download(board, f));
    std::fclose(f);
    EXPECT_EQ((std::vector<int>{0, 10, 21, 32, 43, 53, 64, 75, 86, 97, 99, 100}), percents);
    EXPECT_EQ((std::vector<std::string>{"Reading Header", "Validating Checksum", "Erasing Sector(s) In Flash ROM",
                                        "Loading Image", "Updating Wakeup Parameters",
                                        "Image Successfully Downloaded"}),
              texts);
}

// Ids by VPD style: a V3 text that names the id lets it pass though the
// family's table lacks it; one that does not refuses it.
TEST(RelativeDownloadVpd, StyleDecidesOverTheTable)
{
    json hba = fctest::sli3_hba("a", 0x10);
    hba["functions"][0]["fc"] = {{"vpd", {{"keywords", {{"V3", "T0B:77"}}}}}};
    fctest::FcHost host(fctest::machine({hba}));
    const int board = host.board(0x10);
    struct Case {
        uint32_t id0;
        DOWNLOAD_STATUS result;
    } cases[] = {
        {0x0B772113u, DOWNLOAD_OK},
        {0x0BBE2113u, kWrongAdapter}, // the table's own id
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id0);
        FILE *f = file_of(prg(200, c.id0, 0, 200));
        EXPECT_EQ(c.result, download(board, f));
        std::fclose(f);
    }
}

// A file of PRGs in DWC-via-PRG mode.
TEST_F(PlainHba, WalkOfPrgs)
{
    for (bool bitmap : {true, false}) {
        SCOPED_TRACE(bitmap);
        host.clear_log();
        std::vector<uint8_t> file;
        if (bitmap) {
            file.resize(4);
            put_be(file, 0, 0x8000FFFFu);
        }
        for (uint32_t i = 0; i < 11; ++i)
            append(file, prg(152 + 4 * i, i + 1));
        file.insert(file.end(), 4, 0xFF);
        FILE *f = file_of(file);
        WAKEUP_PARMS copy;
        std::memset(&copy, 0, sizeof copy);
        uint8_t signedImage = 0;
        EXPECT_EQ(DOWNLOAD_OK, ProcessDWCviaPRGs(board, f, 0, &copy, &signedImage, nullptr, nullptr));
        std::fclose(f);
        ASSERT_EQ(10u, NumPRGs_inDWC);
        for (uint32_t i = 0; i < 10; ++i) {
            EXPECT_EQ(0x0BBE2113u, DWC_PRGsList[i][0]);
            EXPECT_EQ(i + 1, DWC_PRGsList[i][1]);
        }
        // Every PRG went, each marked, and the adapter's wakeup record stayed.
        std::vector<json> sent = down_loads(host);
        uint32_t erases = 0;
        for (const json &e : sent)
            if (e.value("flag", 0u) == DOWN_LOAD_ERASE)
                ++erases;
            else
                EXPECT_EQ(DOWN_LOAD_DWC, e.value("flag", 0u) & DOWN_LOAD_DWC);
        EXPECT_EQ(11u, erases);
        EXPECT_TRUE(of_mbox(host, MBX_UPDATE_CFG).empty());
        EXPECT_EQ(11u, copy.words[10]) << "the copy names the last PRG";
    }
}

TEST_F(PlainHba, WalkRetriesAnEraseWithoutRoomOnce)
{
    std::vector<uint8_t> file = prg(200, 1);
    append(file, prg(200, 2));
    struct Case {
        const char *what;
        json when;
        DOWNLOAD_STATUS result;
        size_t deletes;
    } cases[] = {
        {"once", json(nullptr), DOWNLOAD_OK, 1},
        {"again", "always", NO_FLASH_AVAILABLE_ERROR, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        host.clear_faults();
        host.clear_log();
        json fault = {{"match", {{"mbox", MBX_DOWN_LOAD}}}, {"kind", "kpl"}, {"mbox_status", 241}};
        if (!c.when.is_null())
            fault["when"] = c.when;
        host.plan(fault);
        FILE *f = file_of(file);
        WAKEUP_PARMS copy = {};
        uint8_t signedImage = 0;
        EXPECT_EQ(c.result, ProcessDWCviaPRGs(board, f, 0, &copy, &signedImage, nullptr, nullptr));
        std::fclose(f);
        // The SLI-3 image of the flash list went before the second try.
        EXPECT_EQ(c.deletes, of_mbox(host, MBX_DEL_LD_ENTRY).size());
    }
}

// Length words the walk cannot follow.
TEST_F(PlainHba, WalkRefusesLengthsOutsideTheFile)
{
    std::vector<uint8_t> below = prg(200, 1);
    append(below, prg(200, 0x0BBE2113u, 2, 40));
    std::vector<uint8_t> past = prg(200, 1);
    append(past, prg(200, 0x0BBE2113u, 2, 204));
    std::vector<uint8_t> zero = prg(200, 0x0BBE2113u, 1, 0);
    struct Case {
        const char *what;
        std::vector<uint8_t> file;
        uint32_t downloaded;
    } cases[] = {
        {"length below the header", below, 1},
        {"PRG past the file", past, 1},
        {"length 0", zero, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        host.clear_log();
        FILE *f = file_of(c.file);
        WAKEUP_PARMS copy = {};
        uint8_t signedImage = 0;
        EXPECT_EQ(kReadError, ProcessDWCviaPRGs(board, f, 0, &copy, &signedImage, nullptr, nullptr));
        std::fclose(f);
        EXPECT_EQ(c.downloaded, NumPRGs_inDWC);
        EXPECT_EQ(c.downloaded, down_loads(host).size() / 3);
    }
}

// The flash list against the PRGs just downloaded.
TEST(RelativeDownloadCleanUp, SupersededImagesAreDeleted)
{
    json hba = fctest::sli3_hba("a", 0x10);
    hba["functions"][0]["fc"] = {{"images",
                                  {{{"id0", 0x0B010000u}, {"id1", 1}},   // same type, other id: deleted
                                   {{"id0", 0x0B020000u}, {"id1", 2}},   // the id downloaded: kept
                                   {{"id0", 0x03010000u}, {"id1", 3}},   // a type not downloaded: kept
                                   {{"id0", 0x02010000u}, {"id1", 4}},   // deleted
                                   {{"id0", 0xFFFFFFFFu}, {"id1", 5}}}}}; // a free slot
    fctest::FcHost host(fctest::machine({hba}));
    const int board = host.board(0x10);
    NumPRGs_inDWC = 3;
    const uint32_t list[3][2] = {{0x07010000u, 9}, {0x0B020000u, 2}, {0x02020000u, 4}};
    std::memcpy(DWC_PRGsList, list, sizeof list);
    host.clear_log();
    EXPECT_EQ(DOWNLOAD_OK, CleanFlash(board));
    LOAD_LIST after;
    ASSERT_EQ(0u, ReadFlashLoadList(board, &after));
    std::vector<uint32_t> left;
    for (uint32_t i = 0; i < after.count; ++i)
        left.push_back(after.entries[i].programId[0]);
    EXPECT_EQ((std::vector<uint32_t>{0x0B020000u, 0x03010000u, 0xFFFFFFFFu}), left);

    // Without the wakeup parameters nothing is looked at.
    host.plan({{"match", {{"mbox", MBX_DUMP}, {"sub", DUMP_TYPE_REGION}}},
               {"kind", "kpl"},
               {"mbox_status", 0x33},
               {"when", "always"}});
    host.clear_log();
    EXPECT_EQ(WAKEUP_PARMS_ERROR, CleanFlash(board));
    EXPECT_TRUE(of_mbox(host, MBX_DEL_LD_ENTRY).empty());
}

// The default machine with its SLI-3 HBA's link down.
std::string link_down_machine()
{
    json m = json::parse(hlvdtest::read_file(hlvdtest::source_path("sim/machines/default.json")));
    for (json &a : m["adapters"])
        if (a["name"] == "fc-sli3")
            a["functions"][0]["fc"]["link_state"] = 1;
    return m.dump();
}

// A PRG file through the front end's download, from the debug log's steps to
// the reset that follows.
TEST(RelativeDownloadEndToEnd, SliThreeFirmwareThroughTheFrontEnd)
{
    fctest::FcHost host(link_down_machine());
    ASSERT_TRUE(host.built());
    const int board = host.board(7, 0);
    const std::string path = host.root() + "/fw.prg";
    std::string err;
    ASSERT_TRUE(hlvdsim::write_prg(sli3(), path, &err)) << err;
    DiscoveredDevice before;
    ASSERT_EQ(0, GetDiscoveredAdapterProperty(static_cast<uint32_t>(board), before));
    fronttest::DebugLog log(host.host().path("/debug.log"));
    host.clear_log();
    EXPECT_EQ(0, executeDownload(board, path.c_str()));

    std::string text = log.text();
    size_t at = 0;
    for (const char *step : {"Opening File", "Reading Header", "Validating Checksum", "Erasing Sector(s) In Flash ROM",
                             "Loading Image0% complete 10% complete 21% complete 32% complete 43% complete "
                             "53% complete 64% complete 75% complete 86% complete 97% complete 99% complete "
                             "100% complete",
                             "Updating Wakeup Parameters", "Image Successfully Downloaded"}) {
        size_t found = text.find(step, at);
        EXPECT_NE(std::string::npos, found) << step << " in\n" << text;
        if (found != std::string::npos)
            at = found;
    }

    std::vector<json> sent = down_loads(host);
    ASSERT_EQ(11u, sent.size());
    EXPECT_EQ(DOWN_LOAD_ERASE, sent[0].value("flag", 0u));
    EXPECT_EQ(1000u, sent[0].value("bytes", 0u));
    std::vector<std::pair<uint32_t, uint32_t>> want(9, {108, 0x0A});
    want.emplace_back(28, 0x0B);
    EXPECT_EQ(want, pieces(sent));
    // The wakeup record names the image, the loopback step ran for the link
    // that was down, and the adapter was reset.
    uint32_t w[15] = {};
    ASSERT_EQ(0, ReadWakeupParms(board, reinterpret_cast<uint8_t *>(w)));
    EXPECT_EQ(hlvdsim::prg_program_id(sli3()), w[9]);
    EXPECT_EQ(1u, of_mbox(host, MBX_UPDATE_CFG).size());
    EXPECT_EQ(1u, host.calls("ConfigLoopback").size());
    std::vector<json> resets = host.calls("ResetAdapter");
    ASSERT_EQ(1u, resets.size());
    EXPECT_EQ(json::array({1}), resets[0]["args"]);

    // The reset started the new image: the next discovery shows it.
    ASSERT_TRUE(host.rebuild());
    DiscoveredDevice after;
    ASSERT_EQ(0, GetDiscoveredAdapterProperty(static_cast<uint32_t>(host.board(7, 0)), after));
    EXPECT_NE(before.firmware.active_version, after.firmware.active_version);
    EXPECT_EQ("2.10", after.firmware.active_version);
}

// The entry's security answers, as the front end reports them.
TEST_F(RelativeDownload, SecurityRefusalsThroughTheFrontEnd)
{
    const std::string path = host.root() + "/fw.prg";
    std::string err;
    ASSERT_TRUE(hlvdsim::write_prg(sli3(), path, &err)) << err;
    for (int status : {3851, 3841}) {
        SCOPED_TRACE(status);
        host.clear_faults();
        host.plan({{"match", {{"mbox", MBX_DOWN_LOAD}}}, {"kind", "kpl"}, {"mbox_status", status}, {"when", "always"}});
        EXPECT_EQ(10012, executeDownload(board, path.c_str()));
    }
}

const char *key_id(int i)
{
    return gADL_KEK_Data[i].idText;
}

// Signed downloads on a device 0xF180 function holding `key` (-1: no
// security sub-commands).
TEST(RelativeDownloadSigned, KeyStepBeforeTheDownload)
{
    struct Case {
        int held;
        int image;
        DOWNLOAD_STATUS result;
        std::vector<int> sets;
        bool downloaded;
    } cases[] = {
        {0, 2, DOWNLOAD_OK, {1, 2}, true},
        {2, 2, DOWNLOAD_OK, {}, true},
        {1, 0, KEY_UPDATE_FAILED, {}, false},
        // No key support: the download goes on, and the zeroize after it fails.
        {-1, 2, static_cast<DOWNLOAD_STATUS>(ZEROIZE_FAILED), {}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.held) + " image " + std::to_string(c.image));
        json hba = fctest::fc_hba("s", 0x10, 1, 0xF180, "SLI3");
        hba["functions"][0]["fc"] = {{"jedec", 0x1004}, {"kek", c.held < 0 ? json(nullptr) : json(key_id(c.held))}};
        fctest::FcHost host(fctest::machine({hba}));
        const int board = host.board(0x10);
        PrgRecipe r = sli3();
        r.id = 0x61;
        r.kekId = key_id(c.image);
        const std::string path = host.root() + "/signed.prg";
        std::string err;
        ASSERT_TRUE(hlvdsim::write_prg(r, path, &err)) << err;
        host.clear_log();
        EXPECT_EQ(c.result, UpdateEmbertipFirmwareWithFeedback(board, path.c_str(), nullptr, nullptr));
        std::vector<std::string> sets, want;
        for (const json &e : of_mbox(host, MBX_SECURITY))
            if (e.value("sub", 0) == SECURITY_SET_KEK)
                sets.push_back(e.value("kek", ""));
        for (int k : c.sets)
            want.push_back(key_id(k));
        EXPECT_EQ(want, sets);
        EXPECT_EQ(c.downloaded, !down_loads(host).empty());
        if (c.result == KEY_UPDATE_FAILED) {
            host.rebuild();
            EXPECT_EQ(10012, executeDownload(host.board(0x10), path.c_str()));
        }
    }
}

} // namespace

// A boot PRG on an adapter of the 2 MB family: the boot and expansion-ROM
// slots both take the image, the adapter loads it into its expansion ROM
// before the record is written, and the next discovery shows the boot code.
TEST(RelativeDownloadEndToEnd, BootCodeOnATwoMegabyteAdapter)
{
    fctest::FcHost host;
    ASSERT_TRUE(host.built());
    const int board = host.board(7, 0);
    PrgRecipe boot;
    boot.type = hlvdsim::kPrgTypeBoot;
    boot.id = 0x49; // the boot id the default machine's VPD style names
    boot.rev = 0x6130;
    boot.size = 600;
    const std::string path = host.root() + "/boot.prg";
    std::string err;
    ASSERT_TRUE(hlvdsim::write_prg(boot, path, &err)) << err;
    DiscoveredDevice before;
    ASSERT_EQ(0, GetDiscoveredAdapterProperty(static_cast<uint32_t>(board), before));
    host.clear_log();

    EXPECT_EQ(DOWNLOAD_OK, UpdateEmbertipFirmwareWithFeedback(board, path.c_str(), nullptr, nullptr));
    const uint32_t id = hlvdsim::prg_program_id(boot);
    uint32_t w[15] = {};
    ASSERT_EQ(0, ReadWakeupParms(board, reinterpret_cast<uint8_t *>(w)));
    EXPECT_EQ(id, w[3]);
    EXPECT_EQ(id, w[13]);
    // Expansion-ROM load first (it writes the record it loaded), then the
    // record write of the download.
    std::vector<int> order;
    for (const json &e : host.log()) {
        const int m = e.value("mbox", -1);
        if (m == 0x9C || m == MBX_UPDATE_CFG)
            order.push_back(m);
    }
    ASSERT_GE(order.size(), 2u);
    EXPECT_EQ(0x9C, order.front());
    EXPECT_EQ(MBX_UPDATE_CFG, order.back());

    ASSERT_TRUE(host.rebuild());
    DiscoveredDevice after;
    ASSERT_EQ(0, GetDiscoveredAdapterProperty(static_cast<uint32_t>(host.board(7, 0)), after));
    EXPECT_NE(before.bootCode.active_version, after.bootCode.active_version);
}
