// The simulated FC HBA functions, through the diagnostics library stand-in's
// calls, as the engine reaches them.
#include <cstring>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "kpl.h"
#include "sim/command_log.h"
#include "sim/fault_plan.h"
#include "support/sim_host.h"

namespace {

using json = nlohmann::json;

// Boards of the default machine: the SLI-3 HBA's two ports, then Varrow FC's.
const int kSli3 = 0;
const int kVarrow = 2;

uint32_t get32(const uint8_t *p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void put32(uint8_t *p, uint32_t v)
{
    std::memcpy(p, &v, 4);
}

uint16_t mbox_status(const uint8_t *m)
{
    uint16_t v;
    std::memcpy(&v, m + 2, 2);
    return v;
}

// One mailbox the way the engine sends it on the board's path.
int issue(int board, uint8_t *mbox)
{
    if (board >= kVarrow)
        return KPL_IssueMboxWithRetryV2(board, mbox, 64, 1, 100);
    return KPL_IssueMboxWithRetry(board, mbox, 32, 128, 2, 100);
}

int dump_memory(int board, uint32_t address, uint32_t words, uint8_t *mbox)
{
    std::memset(mbox, 0, 384);
    mbox[0] = 0x02;
    mbox[1] = 0x17;
    mbox[4] = 1;
    put32(mbox + 12, address);
    put32(mbox + 16, words);
    return issue(board, mbox);
}

// An embedded SLI_CONFIG command with a request of `req_len` bytes.
void sli_config(uint8_t *buf, int subsystem, int opcode, uint32_t req_len, int version = 0)
{
    std::memset(buf, 0, 384);
    buf[1] = 0x9B;
    buf[4] = 1;
    put32(buf + 8, 232);
    buf[24] = static_cast<uint8_t>(opcode);
    buf[25] = static_cast<uint8_t>(subsystem);
    put32(buf + 32, req_len);
    buf[36] = static_cast<uint8_t>(version);
}

std::vector<json> fc_entries(const std::string &root)
{
    std::vector<json> out;
    for (const json &e : hlvdsim::log_read(root))
        if (e.value("kind", "") == "fc")
            out.push_back(e);
    return out;
}

TEST(FcSim, RevisionReadCarriesJedecAndFirmwareName)
{
    hlvdtest::SimHost host;
    struct Case {
        int board;
        uint32_t jedec;
        const char *name;
        bool reversed;
    } cases[] = {
        {kSli3, 0x0577, "2.01A12", true},
        {kVarrow, 0x1004, "11.4.204.20", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.board);
        uint8_t mbox[384] = {};
        mbox[1] = 0x11;
        put32(mbox + 4, 0x88000000);
        ASSERT_EQ(0, issue(c.board, mbox));
        EXPECT_EQ(0, mbox_status(mbox));
        EXPECT_EQ(c.jedec, (get32(mbox + 8) >> 12) & 0xFFFF);
        EXPECT_EQ(c.jedec, (get32(mbox + 12) >> 12) & 0xFFFF);
        char name[17] = {};
        for (int i = 0; i < 16; ++i)
            name[i] = static_cast<char>(mbox[36 + (c.reversed ? (i ^ 3) : i)]);
        EXPECT_STREQ(c.name, name);
    }
}

TEST(FcSim, MemoryDumpAnswersLoadListsSramAndJedecWord)
{
    hlvdtest::SimHost host;
    uint8_t mbox[384];
    ASSERT_EQ(0, dump_memory(kSli3, 1928, 2, mbox));
    EXPECT_EQ(2u, get32(mbox + 16));
    EXPECT_EQ(0x7FFFCu, get32(mbox + 20));
    ASSERT_EQ(0, dump_memory(kSli3, 0x80001C, 1, mbox));
    EXPECT_EQ(0x0577u, (get32(mbox + 20) >> 12) & 0xFFFF);
    // The flash list: the head points at an entry whose image sits at 0x20000.
    ASSERT_EQ(0, dump_memory(kSli3, 1948, 1, mbox));
    uint32_t entry = get32(mbox + 20);
    ASSERT_NE(1948u, entry);
    ASSERT_EQ(0, dump_memory(kSli3, entry, 6, mbox));
    EXPECT_EQ(0x20000u, get32(mbox + 28) & 0xFFFFF);
    EXPECT_EQ(11u, get32(mbox + 36) >> 24) << "SLI-3 firmware image";
    // A word count past the 128-byte mailbox is cut to what fits (27 words).
    ASSERT_EQ(0, dump_memory(kSli3, 1928, 40, mbox));
    EXPECT_EQ(27u, get32(mbox + 16));
}

TEST(FcSim, IeeeAddressRegionHoldsTheWwpn)
{
    hlvdtest::SimHost host;
    struct Case {
        int board;
        int region;
        uint8_t last;
    } cases[] = {{kSli3, 16, 0x50}, {kSli3 + 1, 16, 0x51}, {kVarrow, 32, 0x60}, {kVarrow + 1, 32, 0x61}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.board);
        uint8_t buf[16] = {};
        uint32_t count = 8;
        ASSERT_EQ(0, KPL_IssueDumpMBox(c.board, 2, 0, c.region, 0, buf, &count));
        ASSERT_EQ(8u, count);
        EXPECT_EQ(0x10, buf[0]);
        EXPECT_EQ(c.last, buf[7]);
    }
}

// Planned faults, by board, call, mailbox byte, sub-command and SLI_CONFIG
// opcode: each fires once on its match only, and the command log tells.
TEST(FcSim, PlannedFaultsAnswerWhatWasPlanned)
{
    hlvdtest::SimHost host;
    struct Case {
        const char *what;
        json fault;
        int board;
        int subsystem, opcode; // SLI_CONFIG, or -1: a READ_REV
        int result;
        uint16_t mbox;
        uint8_t status, additional;
    } cases[] = {
        {"mailbox status", {{"match", {{"board", kSli3}, {"mbox", 0x11}}}, {"kind", "kpl"}, {"mbox_status", 0x1234}},
         kSli3, -1, -1, 2, 0x1234, 0, 0},
        {"library failure, status word 0", {{"match", {{"call", "IssueMboxWithRetry"}}}, {"kind", "kpl"},
         {"result", -1}}, kSli3, -1, -1, -1, 0, 0, 0},
        {"result 254", {{"match", {{"board", kVarrow}, {"mbox", 0x11}}}, {"kind", "kpl"}, {"result", 254}},
         kVarrow, -1, -1, 254, 0, 0, 0},
        {"SLI_CONFIG status", {{"match", {{"opcode", 0x42}, {"subsystem", 1}}}, {"kind", "kpl"},
         {"mbox_status", 1}, {"status", 1}, {"additional_status", 0xA7}}, kVarrow, 1, 0x42, 2, 1, 1, 0xA7},
        {"temperature unavailable", {{"match", {{"opcode", 0x3A}}}, {"kind", "kpl"}, {"result", 3},
         {"mbox_status", 0xFA}}, kVarrow, 1, 0x3A, 3, 0xFA, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        hlvdsim::fault_clear(host.root());
        hlvdsim::log_clear(host.root());
        std::string err;
        ASSERT_GT(hlvdsim::fault_add_json(host.root(), c.fault, &err), 0) << err;
        // Another board's command is not touched by a board's fault.
        uint8_t other[384] = {};
        other[1] = 0x11;
        if (c.fault["match"].contains("board")) {
            EXPECT_EQ(0, issue(c.board == kSli3 ? kVarrow : kSli3, other));
        }
        for (int round = 0; round < 2; ++round) {
            uint8_t buf[384];
            if (c.opcode < 0) {
                std::memset(buf, 0, sizeof buf);
                buf[1] = 0x11;
            } else {
                sli_config(buf, c.subsystem, c.opcode, 16);
            }
            int r = issue(c.board, buf);
            if (round == 1) {
                EXPECT_EQ(0, r) << "a fault fires once";
                continue;
            }
            EXPECT_EQ(c.result, r);
            EXPECT_EQ(c.mbox, mbox_status(buf));
            if (c.opcode >= 0) {
                EXPECT_EQ(c.status, buf[28]);
                EXPECT_EQ(c.additional, buf[29]);
            }
        }
        std::vector<json> log = fc_entries(host.root());
        ASSERT_FALSE(log.empty());
        bool faulted = false;
        for (const json &e : log)
            if (e.contains("fault") && e["board"] == c.board && e["result"] == c.result)
                faulted = true;
        EXPECT_TRUE(faulted) << json(log).dump();
    }
}

// What a command changes is kept for the next process.
TEST(FcSim, StatePersistsAcrossProcesses)
{
    hlvdtest::SimHost host;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        uint32_t response = 0;
        uint8_t vpd[16] = {0x82, 4, 0, 'T', 'E', 'S', 'T', 0x78};
        bool ok = KPL_IssueUpdateCfgMBox(kSli3, 2, 14, sizeof vpd, vpd, &response) == 0 &&
                  KPL_SetPersistLinkDown(kVarrow, 1) == 0 && KPL_ResetAdapter(kVarrow, 1) == 0;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    uint8_t buf[64] = {};
    uint32_t count = sizeof buf;
    ASSERT_EQ(0, KPL_IssueDumpMBox(kSli3, 2, 0, 14, 0, buf, &count));
    EXPECT_EQ(16u, count) << "the region has the length written";
    EXPECT_EQ(0, std::memcmp(buf + 3, "TEST", 4));
    uint16_t down = 0;
    ASSERT_EQ(0, KPL_GetPersistLinkDown(kVarrow, &down));
    EXPECT_EQ(1, down);
    KPL_LINK_INFO info;
    ASSERT_EQ(0, KPL_GetLinkInfo(kVarrow, &info));
    EXPECT_EQ(7, info.linkState) << "reset with persistent link-down keeps the link down";
    ASSERT_EQ(0, KPL_GetLinkInfo(kVarrow + 1, &info));
    EXPECT_EQ(6, info.linkState) << "the other port is untouched";
}

// Erasing a region (LOAD_SM over its flash address) leaves it to be
// re-created before it takes data, on both the library's and the mailbox path.
TEST(FcSim, ErasedRegionMustBeRecreated)
{
    hlvdtest::SimHost host;
    uint8_t data[60] = {1, 2, 3, 4};
    uint32_t response = 0;
    ASSERT_EQ(0, KPL_IssueUpdateCfgMBox(kSli3, 2, 4, sizeof data, data, &response));
    uint8_t mbox[384] = {};
    mbox[1] = 0x01;
    put32(mbox + 4, 0x1234562A);
    put32(mbox + 8, 0x70000 + 4 * 4096); // region 4 of a flash whose first image is at 0x20000
    put32(mbox + 12, 4);
    put32(mbox + 16, 20);
    ASSERT_EQ(0, issue(kSli3, mbox));

    EXPECT_EQ(2, KPL_IssueUpdateCfgMBox(kSli3, 2, 4, sizeof data, data, &response));
    EXPECT_EQ(0xFFF5u, response);
    std::memset(mbox, 0, sizeof mbox);
    mbox[1] = 0x1B;
    mbox[4] = 0x12;
    mbox[8] = 4;
    mbox[10] = 4;
    put32(mbox + 16, 4);
    EXPECT_NE(0, issue(kSli3, mbox));
    EXPECT_EQ(0xFFF5, mbox_status(mbox));

    ASSERT_EQ(0, KPL_IssueUpdateCfgMBox(kSli3, 1, 4, 0, data, &response));
    ASSERT_EQ(0, KPL_IssueUpdateCfgMBox(kSli3, 2, 4, sizeof data, data, &response));
    uint8_t back[64] = {};
    uint32_t count = sizeof back;
    ASSERT_EQ(0, KPL_IssueDumpMBox(kSli3, 2, 0, 4, 0, back, &count));
    EXPECT_EQ(60u, count);
    EXPECT_EQ(0, std::memcmp(back, data, sizeof data));
}

// Replies stay within the room the caller gave, whatever the state holds.
TEST(FcSim, RepliesAreBoundedByTheCallersRoom)
{
    hlvdtest::SimHost host;
    // Region dump through the SLI-2/3 mailbox: 108 bytes of data at most.
    uint8_t mbox[384];
    std::memset(mbox, 0xEE, sizeof mbox);
    std::memset(mbox, 0, 128);
    mbox[1] = 0x17;
    mbox[4] = 0x12;
    mbox[8] = 14;
    put32(mbox + 16, 250);
    ASSERT_EQ(0, issue(kSli3, mbox));
    EXPECT_LE(get32(mbox + 16), 108u);
    EXPECT_EQ(0xEE, mbox[128]) << "nothing written past the 32 words";

    // Separate-buffer dump: the data buffer's room decides.
    uint8_t data[40];
    std::memset(data, 0xEE, sizeof data);
    std::memset(mbox, 0, sizeof mbox);
    mbox[1] = 0x17;
    mbox[4] = 0x32;
    mbox[8] = 14;
    put32(mbox + 16, 250);
    ASSERT_EQ(0, KPL_IssueMboxWithRetryEx(kSli3, mbox, data, 5, 8, 8, 3, 100));
    EXPECT_EQ(32u, get32(mbox + 16));
    EXPECT_EQ(0xEE, data[32]);

    // SLI_CONFIG, non-embedded with a payload smaller than the answer: the
    // response length says what came, the actual length what there was.
    std::vector<uint8_t> big(256 + 100 + 16, 0xEE);
    std::memset(big.data(), 0, 256 + 100);
    big[1] = 0x9B;
    big[4] = 1 << 3;
    put32(&big[8], 100);
    put32(&big[24 + 8], 100);
    big[256] = 0x79;
    big[257] = 1;
    ASSERT_EQ(0, KPL_IssueMboxWithRetryV2(kVarrow, big.data(), (256 + 100) / 4, 1, 100));
    EXPECT_EQ(84u, get32(&big[256 + 8]));
    EXPECT_GT(get32(&big[256 + 12]), 84u);
    EXPECT_EQ(0xEE, big[356]);

    // The FRU comes in 128-byte pieces up to 1536 bytes, then nothing.
    uint32_t total = 0;
    for (uint32_t off = 0; off <= 1536; off += 128) {
        uint8_t buf[384];
        sli_config(buf, 0x13, 3, 8);
        put32(buf + 40, 128);
        put32(buf + 44, off);
        ASSERT_EQ(0, issue(kVarrow, buf));
        total += get32(buf + 32);
        EXPECT_EQ(off < 1536 ? 128u : 0u, get32(buf + 32)) << off;
    }
    EXPECT_EQ(1536u, total);

    // A planned short reply: a piece that brings no data.
    std::string err;
    ASSERT_GT(hlvdsim::fault_add_json(host.root(),
                                      {{"match", {{"board", kVarrow}, {"subsystem", 0x13}, {"opcode", 3}}},
                                       {"kind", "kpl-short"}, {"length", 0}},
                                      &err),
              0)
        << err;
    uint8_t buf[384];
    sli_config(buf, 0x13, 3, 8);
    put32(buf + 40, 128);
    ASSERT_EQ(0, issue(kVarrow, buf));
    EXPECT_EQ(0u, get32(buf + 32));
    EXPECT_EQ(128u, get32(buf + 36)) << "the actual length stays the full one";
}

// SLI_CONFIG reaches SLI-4 functions whose driver has the extended mailbox;
// an unknown command never answers success.
TEST(FcSim, SliConfigNeedsTheExtendedMailboxAndUnknownCommandsFail)
{
    std::string machine = hlvdtest::read_file(hlvdtest::source_path("sim/machines/default.json"));
    json doc = json::parse(machine);
    for (json &a : doc["adapters"])
        if (a["name"] == "fc-sli4")
            a["functions"][1]["kpl"] = {{"features", 0x400}};
    hlvdtest::SimHost host(doc.dump());
    struct Case {
        const char *what;
        int board;
        int subsystem, opcode, mbox;
        bool ok;
    } cases[] = {
        {"boot configuration", kVarrow, 1, 0x42, 0x9B, true},
        {"without feature 0x1000", kVarrow + 1, 1, 0x42, 0x9B, false},
        {"unknown opcode", kVarrow, 1, 0x01, 0x9B, false},
        {"unknown mailbox command", kVarrow, -1, -1, 0x77, false},
        {"unknown mailbox command on SLI-3", kSli3, -1, -1, 0x77, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        uint8_t buf[384];
        sli_config(buf, c.subsystem, c.opcode, 0);
        buf[1] = static_cast<uint8_t>(c.mbox);
        int r = issue(c.board, buf);
        if (c.ok) {
            EXPECT_EQ(0, r);
            EXPECT_EQ(0, mbox_status(buf));
            EXPECT_EQ(0, buf[28]);
            EXPECT_EQ(1, buf[40]) << "the stored boot byte";
        } else {
            EXPECT_NE(0, r);
            EXPECT_NE(0, mbox_status(buf));
        }
    }
}

} // namespace
