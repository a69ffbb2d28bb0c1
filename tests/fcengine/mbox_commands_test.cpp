// Mailbox builders on the simulated SLI-3 and Varrow FC HBAs, through the
// adapter table an exported call builds: what reaches the adapter, what comes
// back, and how failures are reported.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "adapters/adapter_table.h"
#include "adapters/converged_discovery.h"
#include "fc_fixture.h"
#include "flash/neighbour_services.h"
#include "hba/mbox_commands.h"

namespace {

using fctest::FcHost;
using fctest::json;

// One SLI-3 function at bus 0x10, one Varrow FC function at bus 0x20.
std::string two_hbas()
{
    return fctest::machine({fctest::sli3_hba("sli3", 0x10), fctest::varrow_fc_hba("varrow", 0x20)});
}

json last(const std::vector<json> &entries)
{
    return entries.empty() ? json::object() : entries.back();
}

TEST(MboxCommands, RevisionReadTakesThePathOfTheBoard)
{
    FcHost host(two_hbas());
    int sli3 = host.board(0x10), varrow = host.board(0x20);
    host.clear_log();

    uint8_t mbox[384];
    std::memset(mbox, 0xCC, sizeof mbox);
    ASSERT_EQ(0u, ReadRev(sli3, mbox));
    json e = last(host.calls("IssueMboxWithRetry"));
    EXPECT_EQ(0x11, e.value("mbox", -1));
    EXPECT_EQ(json::array({32, 128}), e["args"]);
    uint32_t w8;
    std::memcpy(&w8, mbox + 8, 4);
    EXPECT_EQ(0x0577u, (w8 >> 12) & 0xFFFF);
    // SLI-2/3 firmware hands the name over word-swapped.
    uint8_t name[16];
    SwapBytes(mbox + READ_REV_NAME_OFFSET, name, sizeof name);
    EXPECT_EQ("2.01A12", std::string(reinterpret_cast<char *>(name)));
    EXPECT_EQ(0, mbox[200]) << "the whole buffer is the command's";

    ASSERT_EQ(0u, ReadRev4(varrow, mbox));
    e = last(host.calls("IssueMboxWithRetryV2"));
    EXPECT_EQ(0x11, e.value("mbox", -1));
    EXPECT_EQ(64, e["args"][0]);
    EXPECT_EQ("11.4.204.20", std::string(reinterpret_cast<char *>(mbox + READ_REV_NAME_OFFSET), 11));
}

// Every builder shape with a library that fails but leaves the status word 0:
// the failure reaches the caller, never a 0.
TEST(MboxCommands, LibraryFailureWithStatusZeroFailsEveryBuilder)
{
    FcHost host(two_hbas());
    int sli3 = host.board(0x10), varrow = host.board(0x20);
    uint8_t buf[384];
    uint32_t words[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    uint32_t a = 0, b = 0;
    struct Case {
        const char *name;
        int board;
        uint8_t command;
        uint32_t expected; // 0 = the library's result itself
        std::function<uint32_t(int)> call;
    };
    const Case cases[] = {
        {"ReadRev", sli3, 0x11, 0, [&](int x) { return ReadRev(x, buf); }},
        {"ReadRev4", varrow, 0x11, 0, [&](int x) { return ReadRev4(x, buf); }},
        {"WriteUla", sli3, 0x98, 0, [&](int x) { return WriteUla(x, words); }},
        {"ReadNvparms", sli3, 0x02, MBOX_FAILED, [&](int x) { return ReadNvparms(x, buf); }},
        {"InitLink", sli3, 0x05, MBOX_FAILED, [&](int x) { return InitLink(x, words); }},
        {"ConfigLink", sli3, 0x07, MBOX_FAILED, [&](int x) { return ConfigLink(x, words); }},
        {"ConfigRing", varrow, 0x09, MBOX_FAILED,
         [&](int x) { return ConfigRing(x, reinterpret_cast<uint8_t *>(words)); }},
        {"ReadConfig", sli3, 0x0B, MBOX_FAILED, [&](int x) { return ReadConfig(x, buf); }},
        {"ReadStatus", sli3, 0x0E, MBOX_FAILED, [&](int x) { return ReadStatus(x, buf, 1); }},
        {"DumpMemory", varrow, 0x17, MBOX_FAILED, [&](int x) { return DumpMemory(x, buf, 1928, 2); }},
        {"ReadJedecID", sli3, 0x17, MBOX_FAILED, [&](int x) { return ReadJedecID(x); }},
        {"GetMaxSramSize", sli3, 0x17, MBOX_FAILED, [&](int x) { return GetMaxSramSize(x, &a, &b); }},
        {"Restart", sli3, 0x1A, MBOX_FAILED, [&](int x) { return Restart(x, 1, 0); }},
        {"DeleteLoadEntry", sli3, 0x1D, MBOX_FAILED, [&](int x) { return DeleteLoadEntry(x, words); }},
        {"ReadUla", varrow, 0x98, MBOX_FAILED, [&](int x) { return ReadUla(x, words); }},
    };
    const int results[] = {-1, 2, 3, 254};
    for (const Case &c : cases) {
        for (int r : results) {
            host.clear_faults();
            const char *call = c.board == varrow ? "IssueMboxWithRetryV2" : "IssueMboxWithRetry";
            host.plan({{"match", {{"board", c.board}, {"call", call}, {"mbox", c.command}}},
                       {"kind", "kpl"},
                       {"result", r},
                       {"when", "always"}});
            gErrorData = ERROR_DATA{0xEE, 0xEEEE};
            uint32_t got = c.call(c.board);
            EXPECT_EQ(c.expected ? c.expected : static_cast<uint32_t>(r), got) << c.name << " result " << r;
            EXPECT_EQ(c.command, gErrorData.command) << c.name;
            EXPECT_EQ(0, gErrorData.status) << c.name;
        }
    }
}

TEST(MboxCommands, MemoryDumpAsksForWholeWordsWithinTheMailbox)
{
    FcHost host(two_hbas());
    int sli3 = host.board(0x10);
    struct {
        uint32_t address, count, asked_address, asked_words;
    } cases[] = {{1931, 1, 1928, 1}, {1928, 0, 1928, 0}, {1928, 2, 1928, 2}, {1024, 40, 1024, 27}};
    for (const auto &c : cases) {
        host.clear_log();
        uint8_t dst[200];
        std::memset(dst, 0xAB, sizeof dst);
        ASSERT_EQ(0u, DumpMemory(sli3, dst, c.address, c.count));
        json e = last(host.calls("IssueMboxWithRetry"));
        EXPECT_EQ(0x17, e.value("mbox", -1));
        EXPECT_EQ(c.asked_address, e.value("address", 0u)) << c.address;
        EXPECT_EQ(c.asked_words, e.value("words", 0u)) << c.count;
        // Nothing behind the words asked for is written.
        EXPECT_EQ(0xAB, dst[c.asked_words * 4]) << c.count;
    }
    uint32_t first = 0, second = 0;
    ASSERT_EQ(0u, GetMaxSramSize(sli3, &first, &second));
    uint8_t w[4];
    ASSERT_EQ(0u, DumpMemory(sli3, w, SRAM_SIZE_ADDRESS, 1));
    uint32_t direct;
    std::memcpy(&direct, w, 4);
    EXPECT_EQ(direct, first);
    EXPECT_EQ(0x0577u, (ReadJedecID(sli3) >> 12) & 0xFFFF);
}

TEST(MboxCommands, FfvNameNeedsTheExtendedMailbox)
{
    json slim = fctest::varrow_fc_hba("slim", 0x30);
    slim["functions"][0]["kpl"] = {{"features", 0x400}}; // SLI-4 without 0x1000
    FcHost host(fctest::machine({fctest::sli3_hba("sli3", 0x10), fctest::varrow_fc_hba("varrow", 0x20), slim}));
    int varrow = host.board(0x20);

    char name[32];
    ASSERT_EQ(0u, VendorManageFFV_Write(varrow, "FLEETNAME"));
    std::memset(name, 0x55, sizeof name);
    ASSERT_EQ(0u, VendorManageFFV_Read(varrow, name));
    EXPECT_STREQ("FLEETNAME", name);

    // A name of more than 32 characters is cut to the field.
    ASSERT_EQ(0u, VendorManageFFV_Write(varrow, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"));
    ASSERT_EQ(0u, VendorManageFFV_Read(varrow, name));
    EXPECT_EQ("ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", std::string(name, 32));

    for (int board : {host.board(0x10), host.board(0x30)}) {
        host.clear_log();
        std::memset(name, 0x55, sizeof name);
        EXPECT_EQ(FFV_READ_FAILED, VendorManageFFV_Read(board, name));
        EXPECT_EQ(FFV_WRITE_FAILED, VendorManageFFV_Write(board, "X"));
        EXPECT_EQ(0x55, static_cast<uint8_t>(name[0]));
        EXPECT_TRUE(host.calls("IssueMboxWithRetryV2").empty());
        EXPECT_TRUE(host.calls("IssueMboxWithRetry").empty());
    }

    // The bootstrap mailbox itself does not ask for the feature.
    uint8_t rev[384];
    EXPECT_EQ(0u, ReadRev4(host.board(0x30), rev));

    // A failing reply status fails the write.
    host.plan({{"match", {{"board", varrow}, {"mbox", 0x9B}, {"opcode", 2}}},
               {"kind", "kpl"},
               {"result", 0},
               {"status", 1},
               {"additional_status", 0x10}});
    EXPECT_EQ(FFV_WRITE_FAILED, VendorManageFFV_Write(varrow, "OTHER"));

    gVEXO = 0;
    EXPECT_EQ(72u, VendorManageFFV_ReadViaVEXO(varrow, name));
    EXPECT_EQ(72u, VendorManageFFV_WriteViaVEXO(varrow, "X"));
}

TEST(MboxCommands, RestartLeavesTheBoardOnLineAlsoWhenItFails)
{
    FcHost host(two_hbas());
    int sli3 = host.board(0x10);
    for (bool fail : {false, true}) {
        host.clear_log();
        host.clear_faults();
        if (fail)
            host.plan({{"match", {{"board", sli3}, {"mbox", 0x1A}}}, {"kind", "kpl"}, {"mbox_status", 3}});
        EXPECT_EQ(fail ? MBOX_FAILED : 0u, Restart(sli3, 1, 1));
        std::vector<json> env = host.calls("SetBrdEnv");
        ASSERT_EQ(2u, env.size());
        EXPECT_EQ(json::array({2}), env[0]["args"]);
        EXPECT_EQ(json::array({1}), env[1]["args"]);
    }
    EXPECT_EQ(0u, GetAdapterState(sli3));

    // An adapter of family 0xF180 keeps its environment: the restart goes
    // out alone.
    host.clear_faults();
    host.clear_log();
    gAdapters[sli3].jedecId = 0x1004;
    gAdapters[sli3].deviceId = 0xF180;
    EXPECT_EQ(0u, Restart(sli3, 1, 1));
    EXPECT_TRUE(host.calls("SetBrdEnv").empty());
    EXPECT_EQ(1u, host.calls("IssueMboxWithRetry").size());
}

} // namespace
