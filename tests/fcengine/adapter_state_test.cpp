// Adapter state services on the boards of a small simulated host: board
// temperature, enabling a port kept down (resets counted in the command log),
// factory defaults, the event-log dump and the version comparison.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "adapters/adapter_table.h"
#include "adapters/converged_discovery.h"
#include "fc_fixture.h"
#include "hba/adapter_state.h"
#include "hba/download_entry.h"
#include "hba/mbox_transport.h"
#include "mal/mal_dump_glue.h"

namespace {

using fctest::json;

void give_family(int board, uint16_t jedec, uint16_t device)
{
    gAdapters[board].jedecId = jedec;
    gAdapters[board].deviceId = device;
}

TEST(FcState, BoardTemperature)
{
    json sli3 = fctest::sli3_hba("a", 0x10);
    sli3["temperature"] = 0x2A1B0C;
    json sli3_none = fctest::sli3_hba("b", 0x20);
    sli3_none["temperature"] = nullptr;
    json varrow = fctest::varrow_fc_hba("c", 0x30);
    varrow["temperature"] = 0x33;
    json varrow_none = fctest::varrow_fc_hba("d", 0x40);
    varrow_none["temperature"] = nullptr;
    fctest::FcHost host(fctest::machine({sli3, sli3_none, varrow, varrow_none}));
    ASSERT_TRUE(host.built());
    struct Case {
        unsigned bus;
        int result;
        uint32_t temperature;
    } cases[] = {{0x10, 0, 0x2A1B0C}, {0x20, 231, 0xFFFFFF}, {0x30, 0, 0x33}, {0x40, 231, 0xFFFFFF}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bus);
        const int b = host.board(c.bus);
        give_family(b, 0x1004, 0xF100);
        host.clear_log();
        uint32_t t = 7;
        EXPECT_EQ(c.result, CLU_GetBoardTemp(b, &t));
        EXPECT_EQ(c.temperature, t);
        const bool ext = IsIssueMboxV2ExtSupported(b);
        auto sent = host.calls(ext ? "IssueMboxWithRetryV2" : "IssueMboxWithRetry");
        ASSERT_EQ(1u, sent.size());
        EXPECT_EQ(0x17, sent[0].value("mbox", 0));
        EXPECT_EQ(4, sent[0].value("sub", 0));
    }

    // Other failures read as 0 so that the VPD read goes on.
    const int b = host.board(0x10);
    host.plan({{"match", {{"board", b}, {"mbox", 0x17}}}, {"kind", "kpl"}, {"mbox_status", 0x10}});
    uint32_t t = 7;
    EXPECT_EQ(0, CLU_GetBoardTemp(b, &t));
    EXPECT_EQ(0u, t);
    EXPECT_EQ(0x17, gErrorData.command);
    EXPECT_EQ(0x10, gErrorData.status);

    // A family that has no temperature gets no command.
    give_family(b, 0x20, 0xF700);
    host.clear_log();
    t = 7;
    EXPECT_EQ(0, CLU_GetBoardTemp(b, &t));
    EXPECT_EQ(0u, t);
    EXPECT_TRUE(host.calls("IssueMboxWithRetry").empty());
    EXPECT_EQ(1, CLU_GetBoardTemp(b, nullptr));
}

json link_down_hba(int configured, int state, long features = 0x400)
{
    json hba = fctest::sli3_hba("a", 0x10);
    hba["functions"][0]["fc"] = {{"persist_link_down", configured}, {"link_state", state}};
    hba["functions"][0]["kpl"] = {{"features", features}};
    return hba;
}

TEST(FcState, EnableAdapterPort)
{
    struct Case {
        const char *name;
        int configured, state;
        long features;
        json fault;
        int result;
        size_t resets;
        size_t sets;
    } cases[] = {
        {"down persistently", 1, 7, 0x400, nullptr, 0, 1, 1},
        {"configured, link merely down", 1, 2, 0x400, nullptr, 0, 2, 1},
        {"not configured", 0, 2, 0x400, nullptr, 0, 0, 0},
        {"unknown state 0", 1, 0, 0x400, nullptr, 91, 0, 0},
        {"unknown state 8", 1, 8, 0x400, nullptr, 91, 0, 0},
        {"feature missing", 1, 2, 0, nullptr, 91, 1, 0},
        {"read fails", 1, 2, 0x400, {{"match", {{"call", "GetPersistLinkDown"}}}, {"kind", "kpl"}, {"result", 3}},
         91, 0, 0},
        {"set unsupported", 1, 7, 0x400, {{"match", {{"call", "SetPersistLinkDown"}}}, {"kind", "kpl"}, {"result", 4}},
         109, 0, 1},
        {"set fails 3", 1, 7, 0x400, {{"match", {{"call", "SetPersistLinkDown"}}}, {"kind", "kpl"}, {"result", 3}},
         3, 0, 1},
        {"set fails otherwise", 1, 7, 0x400,
         {{"match", {{"call", "SetPersistLinkDown"}}}, {"kind", "kpl"}, {"result", 9}}, 12, 0, 1},
        {"reset after fails", 1, 7, 0x400, {{"match", {{"call", "ResetAdapter"}}}, {"kind", "kpl"}, {"result", 1}},
         1, 1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fctest::FcHost host(fctest::machine({link_down_hba(c.configured, c.state, c.features)}));
        ASSERT_TRUE(host.built());
        const int b = host.board(0x10);
        host.clear_log();
        if (!c.fault.is_null())
            host.plan(c.fault);
        EXPECT_EQ(c.result, CLU_EnableAdapterPort(b));
        EXPECT_EQ(c.resets, host.calls("ResetAdapter").size());
        EXPECT_EQ(c.sets, host.calls("SetPersistLinkDown").size());
        if (c.result == 0 && c.sets) {
            uint8_t configured = 9;
            EXPECT_EQ(0, CLU_GetPersistLinkDownCfg(b, &configured));
            EXPECT_EQ(0, configured);
        }
    }
}

TEST(FcState, PersistLinkDownAndLinkState)
{
    fctest::FcHost host(fctest::machine({link_down_hba(1, 7)}));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    uint8_t configured = 0, state = 0;
    EXPECT_EQ(0, CLU_GetPersistLinkDownCfg(b, &configured));
    EXPECT_EQ(1, configured);
    EXPECT_EQ(0, CLU_GetLinkInfo(b, &state));
    EXPECT_EQ(7, state);
    struct Case {
        int library, result;
    } cases[] = {{2, 2}, {3, 3}, {4, 109}, {-1, 1}};
    for (const Case &c : cases) {
        host.clear_faults();
        host.plan({{"match", {{"call", "GetPersistLinkDown"}}}, {"kind", "kpl"}, {"result", c.library}});
        EXPECT_EQ(c.result, CLU_GetPersistLinkDownCfg(b, &configured)) << c.library;
    }
    host.plan({{"match", {{"call", "GetLinkInfo"}}}, {"kind", "kpl"}, {"result", 2}});
    EXPECT_EQ(1, CLU_GetLinkInfo(b, &state));
}

TEST(FcState, FactoryDefaults)
{
    fctest::FcHost host(fctest::machine({fctest::varrow_fc_hba("v", 0x20), fctest::sli3_hba("a", 0x10)}));
    ASSERT_TRUE(host.built());
    const int v = host.board(0x20);
    ASSERT_TRUE(IsIssueMboxV2ExtSupported(v));
    struct Case {
        const char *name;
        json fault;
        int result;
    } cases[] = {
        {"adapter takes it", nullptr, 80},
        {"other additional status", {{"kind", "kpl"}, {"status", 0x2C}, {"additional_status", 1}}, 91},
        {"other status", {{"kind", "kpl"}, {"status", 0x01}, {"additional_status", 0}}, 91},
        {"library failure", {{"kind", "kpl"}, {"result", -1}}, 91},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        host.clear_faults();
        host.clear_log();
        if (!c.fault.is_null()) {
            json f = c.fault;
            f["match"] = {{"board", v}, {"mbox", 0x9B}, {"opcode", 169}};
            host.plan(f);
        }
        EXPECT_EQ(c.result, setFactoryDefaultsSLI4(v));
        auto sent = host.calls("IssueMboxWithRetryV2");
        ASSERT_EQ(1u, sent.size());
        EXPECT_EQ(0x9B, sent[0].value("mbox", 0));
        if (c.fault.is_null()) {
            EXPECT_EQ(169, sent[0].value("opcode", 0));
            EXPECT_EQ(1, sent[0].value("subsystem", 0));
            EXPECT_EQ(1, sent[0].value("version", 0));
        }
    }

    // Without the extended mailbox nothing is sent.
    host.clear_log();
    EXPECT_EQ(91, setFactoryDefaultsSLI4(host.board(0x10)));
    EXPECT_TRUE(host.calls("IssueMboxWithRetryV2").empty());
    EXPECT_TRUE(host.calls("IssueMboxWithRetry").empty());
}

TEST(FcState, DumpNeedsTheManagementLibrary)
{
    fctest::FcHost host(fctest::machine({fctest::sli3_hba("a", 0x10)}));
    ASSERT_TRUE(host.built());
    gVEXO = 0;
    WIN_Error = 0;
    EXPECT_EQ(72, Dump(host.board(0x10), 0, 0, 0));
    EXPECT_EQ(72, WIN_Error);
}

TEST(FcState, PendingDumpWriterNeverAnswersZero)
{
    EXPECT_EQ(4, GenerateEfdDump(1, 0, nullptr, 0));
    EXPECT_NE(0, GenerateEfdDump(1, 0, "/tmp/x.efd", 0));
}

// The default machine's converged functions: the dump reaches the client
// layer's pending operation, which never answers 0; a working directory too
// long for the path is refused, not cut.
TEST(FcState, DumpPathOfAConvergedFunction)
{
    fctest::FcHost host;
    ASSERT_TRUE(host.built());
    ASSERT_EQ(1, gVEXO);
    int board = -1;
    for (uint32_t i = 0; i < gTotalHBAs && board < 0; ++i)
        if (isHBATypeArcwright(static_cast<int32_t>(i)))
            board = static_cast<int>(i);
    ASSERT_GE(board, 0);

    char saved[4096];
    ASSERT_NE(nullptr, getcwd(saved, sizeof saved));
    const int pending = Dump(board, 0, 0, 0);
    EXPECT_NE(0, pending);
    EXPECT_NE(72, pending);

    std::string deep = host.root();
    while (deep.size() < 140) {
        deep += "/dddddddddddddddddddd";
        ASSERT_EQ(0, mkdir(deep.c_str(), 0700));
    }
    ASSERT_EQ(0, chdir(deep.c_str()));
    EXPECT_EQ(4, Dump(board, 0, 0, 0));
    ASSERT_EQ(0, chdir(saved));
}

TEST(FcState, VersionTextsCompareAsNumbers)
{
    struct Case {
        const char *a, *b;
        int result;
    } cases[] = {
        {"2.01.3.4", "2.1.3.4", 1}, {"2.1.3.4", "2.1.3.5", 0}, {"2.1.3", "2.1.3.4", 4},
        {"2.1.3.4", "2.1", 4},      {nullptr, "2.1.3.4", 4},   {"10.2.3.4.5", "10.2.3.4", 1},
    };
    for (const Case &c : cases) {
        std::string a = c.a ? c.a : "", b = c.b ? c.b : "";
        EXPECT_EQ(c.result, isActiveFwEqualToFwOnFlash(c.a, c.b)) << a << " / " << b;
        // The caller's texts are left as they were.
        if (c.a) {
            EXPECT_EQ(a, c.a);
        }
        EXPECT_EQ(b, c.b);
    }
}

TEST(FcState, HostName)
{
    char name[64];
    ASSERT_EQ(0, GetHostName(name, sizeof name));
    EXPECT_GT(std::strlen(name), 0u);
    char small[4];
    ASSERT_EQ(0, GetHostName(small, sizeof small));
    EXPECT_EQ(std::string(name).substr(0, 3), std::string(small));
    char big[65];
    EXPECT_EQ(4, GetHostName(big, sizeof big));
}

} // namespace
