// Configuration region reads and the region commands, on the boards of a
// small simulated host; the command log shows the pieces that were sent.
#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "adapters/adapter_table.h"
#include "fc_fixture.h"
#include "hba/config_regions.h"
#include "hba/mbox_transport.h"

namespace {

using fctest::json;

std::vector<uint8_t> wwpn_bytes(unsigned bus, unsigned fn)
{
    return {0x10, 0x00, 0x00, 0x00, 0xC9, 0xA5, static_cast<uint8_t>(bus), static_cast<uint8_t>(fn)};
}

// A VPD region of 300 patterned bytes, long enough for three pieces.
std::vector<uint8_t> vpd_bytes()
{
    std::vector<uint8_t> v(300);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = static_cast<uint8_t>(i * 5 + 1);
    return v;
}

std::string machine_with_vpd()
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t b : vpd_bytes()) {
        hex += digits[b >> 4];
        hex += digits[b & 0xF];
    }
    json hba = fctest::sli3_hba("a", 0x10);
    hba["functions"][0]["fc"] = {{"regions",
                                  {{"14", {{"data", hex}, {"recreate", false}}},
                                   {"16", {{"data", "10000000c9a51000"}, {"recreate", false}}}}}};
    return fctest::machine({hba});
}

std::vector<json> dumps(const fctest::FcHost &host)
{
    std::vector<json> out;
    for (const json &e : host.calls("IssueMboxWithRetry"))
        if (e.value("mbox", 0) == 0x17)
            out.push_back(e);
    return out;
}

TEST(FcRegions, IeeeAddressOnBothMailboxPaths)
{
    fctest::FcHost host(fctest::machine({fctest::sli3_hba("a", 0x10), fctest::varrow_fc_hba("b", 0x20)}));
    ASSERT_TRUE(host.built());
    for (unsigned bus : {0x10u, 0x20u}) {
        SCOPED_TRACE(bus);
        const int b = host.board(bus);
        host.clear_log();
        uint8_t buf[8] = {};
        uint32_t count = sizeof buf;
        ASSERT_EQ(0, DumpConfigRegion(b, CONFIG_REGION_IEEE, 0, &count, buf));
        EXPECT_EQ(8u, count);
        EXPECT_EQ(wwpn_bytes(bus, 0), std::vector<uint8_t>(buf, buf + 8));
        if (isSLI4(b)) {
            // One library dump of region 32, no mailbox.
            auto calls = host.calls("IssueDumpMBox");
            ASSERT_EQ(1u, calls.size());
            EXPECT_EQ(32, calls[0]["args"][1].get<int>()) << calls[0].dump();
            EXPECT_TRUE(dumps(host).empty());
        } else {
            auto sent = dumps(host);
            ASSERT_EQ(1u, sent.size());
            EXPECT_EQ(16, sent[0].value("region", 0));
            EXPECT_EQ(2, sent[0].value("sub", 0));
        }

        uint32_t read = 99;
        uint8_t again[8] = {};
        ASSERT_EQ(0, DumpConfigurationData(b, again, CONFIG_REGION_IEEE, 2, 0, &read));
        EXPECT_EQ(8u, read);
        EXPECT_EQ(0, std::memcmp(buf, again, 8));
    }
}

// Discovery reads region 16 for every FC-side entry: the WWPN as it stands on
// SLI-2/3 functions, each word's bytes reversed on SLI-4 ones.
TEST(FcRegions, AdapterListHoldsTheWwpns)
{
    fctest::FcHost host(fctest::machine({fctest::sli3_hba("a", 0x10, 2), fctest::varrow_fc_hba("b", 0x20)}));
    ASSERT_TRUE(host.built());
    struct Case {
        unsigned bus, fn;
        bool swapped;
    } cases[] = {{0x10, 0, false}, {0x10, 1, false}, {0x20, 0, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.bus << "/" << c.fn);
        std::vector<uint8_t> want = wwpn_bytes(c.bus, c.fn);
        if (c.swapped)
            want = {want[3], want[2], want[1], want[0], want[7], want[6], want[5], want[4]};
        uint8_t have[8];
        std::memcpy(have, gAdapters[host.board(c.bus, c.fn)].ieeeAddress, sizeof have);
        EXPECT_EQ(want, std::vector<uint8_t>(have, have + 8));
    }
}

// Pieces of at most 108 bytes; a short piece ends the read; a misaligned
// offset asks for a word more and copies from inside it.
TEST(FcRegions, PiecesOfTheVpdRegion)
{
    fctest::FcHost host(machine_with_vpd());
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    const std::vector<uint8_t> whole = vpd_bytes();
    const uint32_t size = static_cast<uint32_t>(whole.size());

    // Each piece: the aligned offset it asks from and the bytes that came back.
    struct Piece {
        uint32_t offset, bytes;
    };
    struct Case {
        uint32_t offset, wanted, expected;
        std::vector<Piece> pieces;
    } cases[] = {
        {0, 0, 0, {}},
        {0, 108, 108, {{0, 108}}},
        {0, 216, 216, {{0, 108}, {108, 108}}},
        {0, 1024, size, {{0, 108}, {108, 108}, {216, 84}}},
        {8, 100, 100, {{8, 100}}},
        {6, 8, 8, {{4, 12}}},
        {size - 8, 104, 8, {{size - 8, 8}}},
        // Misaligned at the end: only what the adapter returned past the
        // misalignment is region data.
        {size - 6, 8, 6, {{size - 8, 8}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "offset " << c.offset << " wanted " << c.wanted);
        host.clear_log();
        std::vector<uint8_t> buf(c.wanted + 4, 0xEE);
        uint32_t n = c.wanted;
        ASSERT_EQ(0, DumpConfigRegion(b, CONFIG_REGION_VPD, c.offset, &n, buf.data()));
        EXPECT_EQ(c.expected, n);
        EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + n, whole.begin() + c.offset));
        EXPECT_EQ(0xEE, buf[n]);
        auto sent = dumps(host);
        ASSERT_EQ(c.pieces.size(), sent.size());
        for (size_t i = 0; i < sent.size(); ++i) {
            EXPECT_EQ(c.pieces[i].offset, sent[i].value("offset", 0u));
            EXPECT_EQ(c.pieces[i].bytes, sent[i].value("bytes", 0u));
        }
    }
}

TEST(FcRegions, FailedPieceKeepsTheCount)
{
    fctest::FcHost host(machine_with_vpd());
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    host.plan({{"match", {{"board", b}, {"mbox", 0x17}}}, {"kind", "kpl"}, {"mbox_status", 0x1234}, {"from", 2}});
    std::vector<uint8_t> buf(216);
    uint32_t count = 216;
    EXPECT_EQ(0x1234, DumpConfigRegion(b, CONFIG_REGION_VPD, 0, &count, buf.data()));
    EXPECT_EQ(216u, count);

    host.clear_faults();
    host.plan({{"match", {{"board", b}, {"mbox", 0x17}}}, {"kind", "kpl"}, {"mbox_status", 0x1234}});
    uint32_t read = 99;
    EXPECT_EQ(0x1234, DumpConfigurationData(b, buf.data(), CONFIG_REGION_VPD, 2, 0, &read));
    EXPECT_EQ(0u, read);

    // A library failure that leaves the status word 0 is still a failure.
    host.clear_faults();
    host.plan({{"match", {{"board", b}, {"mbox", 0x17}}}, {"kind", "kpl"}, {"result", -1}});
    count = 8;
    EXPECT_NE(0, DumpConfigRegion(b, CONFIG_REGION_IEEE, 0, &count, buf.data()));
    EXPECT_EQ(8u, count);
}

// The reply never brings more into the caller's buffer than the piece asks.
TEST(FcRegions, ShortReplyEndsTheRead)
{
    fctest::FcHost host(fctest::machine({fctest::sli3_hba("a", 0x10)}));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    host.plan({{"match", {{"board", b}, {"mbox", 0x17}}}, {"kind", "kpl-short"}, {"length", 60}});
    std::vector<uint8_t> buf(216, 0xEE);
    uint32_t count = 104;
    ASSERT_EQ(0, DumpConfigRegion(b, CONFIG_REGION_VPD, 0, &count, buf.data()));
    EXPECT_EQ(60u, count);
    EXPECT_EQ(0xEE, buf[104]);
}

// The rebuild takes the region base from the first flash load-list entry.
TEST(FcRegions, ReconstructRegionBase)
{
    struct Case {
        uint32_t layout;
        uint32_t result;
        uint32_t loadAddress; // 0: no LOAD_SM sent
    } cases[] = {
        {0x20000, 0, 0x70000 + 14 * 4096},
        {0xA40004, 0, 0x1E0000 + 14 * 4096},
        {0x30000, RECONSTRUCT_UNKNOWN_LAYOUT, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.layout);
        json hba = fctest::sli3_hba("a", 0x10);
        hba["functions"][0]["fc"] = {{"memory", {{"1948", 0x1000}, {"4096", 1948}, {"4104", c.layout}}}};
        fctest::FcHost host(fctest::machine({hba}));
        ASSERT_TRUE(host.built());
        const int b = host.board(0x10);
        host.clear_log();
        EXPECT_EQ(c.result, ReconstructRegion(b, CONFIG_REGION_VPD, 256));
        auto sent = host.calls("IssueMboxWithRetry");
        ASSERT_GE(sent.size(), 2u);
        EXPECT_EQ(1948u, sent[0].value("address", 0u));
        EXPECT_EQ(1u, sent[0].value("words", 0u));
        EXPECT_EQ(0x1000u, sent[1].value("address", 0u));
        EXPECT_EQ(6u, sent[1].value("words", 0u));
        if (!c.loadAddress) {
            EXPECT_EQ(2u, sent.size());
            continue;
        }
        ASSERT_EQ(5u, sent.size());
        EXPECT_EQ(0x01, sent[2].value("mbox", 0));
        EXPECT_EQ(c.loadAddress, sent[2].value("address", 0u));
        EXPECT_EQ(0x1B, sent[3].value("mbox", 0));
        EXPECT_EQ(3, sent[3].value("type", 0));
        EXPECT_EQ(0x1B, sent[4].value("mbox", 0));
        EXPECT_EQ(1, sent[4].value("type", 0));
        EXPECT_EQ(CONFIG_REGION_VPD, sent[4].value("region", 0));
        EXPECT_EQ(256, sent[4].value("length", 0));
    }
}

TEST(FcRegions, ReconstructRegionStopsAtTheFailingStep)
{
    fctest::FcHost host(fctest::machine({fctest::sli3_hba("a", 0x10)}));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    host.clear_log();
    host.plan({{"match", {{"board", b}, {"mbox", 0x1B}, {"sub", 3}}}, {"kind", "kpl"}, {"mbox_status", 0x33}});
    EXPECT_EQ(0x33u, ReconstructRegion(b, CONFIG_REGION_VPD, 256));
    auto sent = host.calls("IssueMboxWithRetry");
    ASSERT_EQ(4u, sent.size());
    EXPECT_EQ(0x1B, gErrorData.command);
    EXPECT_EQ(0x33, gErrorData.status);
}

// A library failure that leaves the status word 0 fails every region command.
TEST(FcRegions, LibraryFailureWithStatusZeroFailsEachCommand)
{
    fctest::FcHost host(fctest::machine({fctest::sli3_hba("a", 0x10)}));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    host.plan({{"match", {{"board", b}}}, {"kind", "kpl"}, {"result", -1}, {"when", "always"}});
    MBOX_CMD mbox;
    uint8_t buf[8];
    uint32_t read = 5;
    EXPECT_NE(0u, ReadNvramParams(b, &mbox));
    EXPECT_EQ(0xFFFF0000u, InitializeRegion(b, CONFIG_REGION_VPD, 256));
    EXPECT_NE(0u, CleanupRegionConfig(b));
    EXPECT_NE(0u, ReconstructRegion(b, CONFIG_REGION_VPD, 256));
    EXPECT_NE(0, DumpConfigurationData(b, buf, CONFIG_REGION_IEEE, 2, 0, &read));
    EXPECT_EQ(0u, read);
    EXPECT_EQ(1, CLU_ReadConfigRegion(b, CONFIG_REGION_IEEE, 8, &read, buf));
}

TEST(FcRegions, GenericDumpBoundsAndCodes)
{
    fctest::FcHost host(fctest::machine({fctest::sli3_hba("a", 0x10)}));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    std::vector<uint8_t> buf(1100, 0xEE);
    uint32_t read = 0;
    ASSERT_EQ(0, CLU_ReadConfigRegion(b, CONFIG_REGION_IEEE, 8, &read, buf.data()));
    EXPECT_EQ(8u, read);
    EXPECT_EQ(wwpn_bytes(0x10, 0), std::vector<uint8_t>(buf.begin(), buf.begin() + 8));
    EXPECT_EQ(0xEE, buf[8]);

    // More than the 1000-byte data buffer is never asked for.
    host.clear_log();
    read = 0;
    ASSERT_EQ(0, CLU_ReadConfigRegion(b, CONFIG_REGION_VPD, 1096, &read, buf.data()));
    EXPECT_LE(read, 1000u);
    auto sent = host.calls("IssueMboxWithRetryEx");
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(250, sent[0]["args"][1].get<int>());

    struct Case {
        int result, status, expected;
    } cases[] = {{2, 0xFFF7, 217}, {-1, 0xFFFD, 217}, {2, 0xE0, 2}, {2, 0x10, 1}, {-1, 0, 1}, {254, 0xFFF7, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.result << " 0x" << std::hex << c.status);
        host.clear_faults();
        host.plan({{"match", {{"board", b}, {"call", "IssueMboxWithRetryEx"}}},
                   {"kind", "kpl"},
                   {"result", c.result},
                   {"mbox_status", c.status}});
        EXPECT_EQ(c.expected, CLU_GenericDumpV2(b, DUMP_TYPE_REGION, CONFIG_REGION_VPD, 8, &read, buf.data()));
    }
}

TEST(FcRegions, ByteOrderAndChecksum)
{
    const uint8_t src[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    uint8_t dst[11];
    std::memset(dst, 0xEE, sizeof dst);
    SwapBytes(src, dst, sizeof src);
    const uint8_t want[] = {4, 3, 2, 1, 8, 7, 6, 5, 9, 10, 0xEE};
    EXPECT_EQ(0, std::memcmp(want, dst, sizeof want)) << "a partial last word stays in place, nothing beyond";

    uint8_t in_place[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    SwapBytes0(in_place, sizeof in_place);
    EXPECT_EQ(0, std::memcmp(want, in_place, 8));

    // One word folds as rotl(rotl(0xAAAAAAAA) ^ w); a header whose last word
    // is chosen to cancel the fold gives 0.
    uint32_t one = 0x12345678;
    uint32_t c = ((0xAAAAAAAAu << 1) | (0xAAAAAAAAu >> 31)) ^ one;
    EXPECT_EQ((c << 1) | (c >> 31), ValidateChecksum(&one, &one));
    uint32_t words[11] = {0x01000000, 0x2, 0x3, 0x4, 0x5, 0x6, 0x7, 0x8, 0x9, 0xA, 0};
    uint32_t fold = 0xAAAAAAAAu;
    for (int i = 0; i < 10; ++i)
        fold = ((fold << 1) | (fold >> 31)) ^ words[i];
    words[10] = (fold << 1) | (fold >> 31);
    EXPECT_EQ(0u, ValidateChecksum(&words[0], &words[10]));
}

} // namespace
