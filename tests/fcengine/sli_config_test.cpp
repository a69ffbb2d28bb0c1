// SLI_CONFIG commands on the simulated Varrow FC HBA: replies bounded by the
// caller's room, the refusals that send nothing, and the reads that loop.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fc_fixture.h"
#include "hba/sli_config.h"

namespace {

using fctest::FcHost;
using fctest::json;

std::string hex_descriptor(uint8_t type, uint8_t byte23)
{
    std::string d(144, '0');
    const char *digits = "0123456789abcdef";
    d[0] = digits[type >> 4];
    d[1] = digits[type & 15];
    d[46] = digits[byte23 >> 4];
    d[47] = digits[byte23 & 15];
    return d;
}

// A Varrow FC function at bus 0x20 (and an SLI-3 one at 0x10) whose profile
// holds the given descriptors.
std::string machine_with_profile(const json &profile)
{
    json varrow = fctest::varrow_fc_hba("varrow", 0x20);
    if (!profile.is_null())
        varrow["functions"][0]["fc"] = {{"sli", {{"profile", profile}}}};
    return fctest::machine({fctest::sli3_hba("sli3", 0x10), varrow});
}

std::vector<json> sli_commands(const FcHost &host, int opcode)
{
    std::vector<json> out;
    for (const json &e : host.calls("IssueMboxWithRetryV2"))
        if (e.value("mbox", -1) == 0x9B && e.value("opcode", -1) == opcode)
            out.push_back(e);
    return out;
}

TEST(SliConfig, FruIsReadIn128ByteSteps)
{
    FcHost host(machine_with_profile(json()));
    int varrow = host.board(0x20);
    host.clear_log();

    std::vector<uint8_t> fru(2000, 0xEE);
    uint32_t len = static_cast<uint32_t>(fru.size());
    ASSERT_EQ(0, SC_GetFRUVPD(varrow, fru.data(), &len));
    EXPECT_EQ(1536u, len);
    std::vector<json> sent = sli_commands(host, 3);
    ASSERT_EQ(12u, sent.size());
    for (const json &e : sent)
        EXPECT_EQ(0x13, e.value("subsystem", -1));
    EXPECT_EQ((100 * 7 + 3) & 0xFF, fru[100]);
    EXPECT_EQ(0xEE, fru[1536]);

    // Room for less than the EEPROM: refused before the step that would not fit.
    len = 1000;
    EXPECT_EQ(191, SC_GetFRUVPD(varrow, fru.data(), &len));
    EXPECT_EQ(1000u, len);

    // A reply without data ends the read instead of asking forever.
    host.plan({{"match", {{"board", varrow}, {"mbox", 0x9B}, {"opcode", 3}}},
               {"kind", "kpl-short"},
               {"length", 0},
               {"from", 3}});
    len = 1536;
    EXPECT_EQ(1, SC_GetFRUVPD(varrow, fru.data(), &len));

    // Library result 2 ends it at once with 2.
    host.clear_faults();
    host.plan({{"match", {{"board", varrow}, {"mbox", 0x9B}, {"opcode", 3}}}, {"kind", "kpl"}, {"result", 2}});
    EXPECT_EQ(2, SC_GetFRUVPD(varrow, fru.data(), &len));
}

TEST(SliConfig, ProfileDescriptorsAreBoundedByTheCallersRoom)
{
    json five = json::array();
    for (int i = 0; i < 5; ++i)
        five.push_back(hex_descriptor(static_cast<uint8_t>(0x50 + i), 0));
    FcHost host(machine_with_profile(five));
    int varrow = host.board(0x20);

    uint8_t array[3 * 72];
    std::memset(array, 0xEE, sizeof array);
    uint32_t count = 2;
    EXPECT_EQ(7, SC_CommonGetProfileConfig_V0(varrow, 0, 0, 0, array, &count));
    EXPECT_EQ(5u, count);
    EXPECT_EQ(0x50, array[0]);
    EXPECT_EQ(0x51, array[72]);
    EXPECT_EQ(0xEE, array[144]) << "copied past the caller's two descriptors";

    uint8_t all[5 * 72];
    count = 5;
    EXPECT_EQ(0, SC_CommonGetProfileConfig_V0(varrow, 0, 0, 0, all, &count));
    EXPECT_EQ(5u, count);
    EXPECT_EQ(0x54, all[4 * 72]);

    count = 0;
    EXPECT_EQ(4, SC_CommonGetProfileConfig_V0(varrow, 0, 0, 0, all, &count));
    // Writing: more than the embedded area holds is refused without sending.
    host.clear_log();
    EXPECT_EQ(2, SC_CommonSetProfileConfig_V0(varrow, 0, 0, all, 3));
    EXPECT_EQ(2, SC_CommonSetProfileConfig_V0(varrow, 0, 0, all, 4));
    EXPECT_EQ(4, SC_CommonSetProfileConfig_V0(varrow, 0, 0, nullptr, 1));
    EXPECT_TRUE(sli_commands(host, 0xA5).empty());
    EXPECT_EQ(0, SC_CommonSetProfileConfig_V0(varrow, 0, 0, all, 2));
    EXPECT_EQ(1u, sli_commands(host, 0xA5).size());
}

TEST(SliConfig, ExpansionRomPresentationThroughTheTypeFortyDescriptor)
{
    struct Case {
        const char *what;
        json profile; // null: the simulator's own (xrom 1, changeable)
        int get_code;
        int presented, fixed; // -1: untouched
        int set_code;
        bool written;
    } cases[] = {
        {"changeable, hidden", json(), 0, 0, 0, 0, true},
        {"no type 0x40", json::array({hex_descriptor(0x50, 0x60)}), 0, -1, -1, 2, false},
        {"fixed", json::array({hex_descriptor(0x40, 0x40)}), 0, 0, 1, 2, false},
        {"xrom 0", json::array({hex_descriptor(0x40, 0x20)}), 109, 0, 0, 2, false},
        {"behind three others",
         json::array({hex_descriptor(0x50, 0), hex_descriptor(0x51, 0), hex_descriptor(0x52, 0),
                      hex_descriptor(0x40, 0xA0)}),
         0, 1, 0, 0, true},
    };
    for (const Case &c : cases) {
        FcHost host(machine_with_profile(c.profile));
        int varrow = host.board(0x20);
        uint8_t presented = 0x77, fixed = 0x77;
        EXPECT_EQ(c.get_code, SC_GetXROMPresentation(varrow, &presented, &fixed)) << c.what;
        EXPECT_EQ(c.presented < 0 ? 0x77 : c.presented, presented) << c.what;
        EXPECT_EQ(c.fixed < 0 ? 0x77 : c.fixed, fixed) << c.what;
        host.clear_log();
        EXPECT_EQ(c.set_code, SC_SetXROMPresentation(varrow, 1)) << c.what;
        EXPECT_EQ(c.written ? 1u : 0u, sli_commands(host, 0xA5).size()) << c.what;
        if (c.written) {
            ASSERT_EQ(0, SC_GetXROMPresentation(varrow, &presented, &fixed)) << c.what;
            EXPECT_EQ(1, presented) << c.what;
            EXPECT_EQ(1, fixed) << c.what << ": the change bit is cleared";
        }
    }
}

TEST(SliConfig, RefusalsSendNothing)
{
    FcHost host(machine_with_profile(json()));
    int varrow = host.board(0x20), sli3 = host.board(0x10);
    host.clear_log();
    std::vector<uint8_t> buf(1100, 0);
    uint32_t got = 77;
    EXPECT_EQ(29, SC_GetVPD_V0(varrow, buf.data(), 1023, &got));
    EXPECT_EQ(29, SC_GetVPD_V1(varrow, 0, buf.data(), 1023, &got));
    EXPECT_EQ(2, SC_GetVPD_V0(sli3, buf.data(), 1024, &got));
    EXPECT_EQ(4, SC_CommonSetFeature(varrow, 1, 209, buf.data()));
    uint8_t attrs[496] = {};
    EXPECT_EQ(2, SC_PerformCommonGetCntlAddlAttributes(sli3, attrs));
    char fw[64];
    EXPECT_EQ(2, SLI_CFG_GetFwVersion(sli3, fw));
    char name[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(1, SLI_CFG_GetPortName(sli3, name));
    EXPECT_EQ(-1, SLI_CFG_GetPortNumber(sli3));
    EXPECT_TRUE(host.calls("IssueMboxWithRetryV2").empty());
    EXPECT_TRUE(host.calls("IssueMboxWithRetry").empty());
    EXPECT_EQ(77u, got);

    EXPECT_EQ(0, SC_CommonSetFeature(varrow, 1, 208, buf.data()));
    EXPECT_EQ(0, SC_GetVPD_V0(varrow, buf.data(), 1024, &got));
    EXPECT_EQ(1024u, got);
}

TEST(SliConfig, RepliesFillTheCallersRecords)
{
    json varrow = fctest::varrow_fc_hba("varrow", 0x20);
    varrow["functions"][0]["fc"] = {
        {"sli",
         {{"attributes",
           {{"fc_universal_bios_version", "11.4.204.20 extra"},
            {"fc_x86_bios_version", std::string(40, 'x')},
            {"fc_efi_bios_version", "efi"},
            {"fc_fcode_version", ""},
            {"ipl_file_name", "IPLNAME0123456789"}}},
          {"fw_versions", json::array({"11.4.204.20", std::string(40, 'b')})},
          {"boot_config", 5}}}};
    FcHost host(fctest::machine({varrow}));
    int b = host.board(0x20);

    uint8_t attrs[496];
    std::memset(attrs, 0, sizeof attrs);
    std::memset(attrs, 0x11, 352);
    ASSERT_EQ(0, SC_PerformCommonGetCntlAddlAttributes(b, attrs));
    EXPECT_EQ(0x11, attrs[351]);
    EXPECT_EQ("11.4.204.20", std::string(reinterpret_cast<char *>(attrs + 352)));
    EXPECT_EQ(std::string(31, 'x'), std::string(reinterpret_cast<char *>(attrs + 384), 31));
    EXPECT_EQ(0, attrs[384 + 31]);
    EXPECT_EQ("efi", std::string(reinterpret_cast<char *>(attrs + 416)));
    EXPECT_EQ("IPLNAME012345678", std::string(reinterpret_cast<char *>(attrs + 480), 16));

    uint8_t boot = 0;
    ASSERT_EQ(0, SC_PerformCommonGetBootConfig(b, &boot));
    EXPECT_EQ(5, boot);
    ASSERT_EQ(0, SC_PerformCommonSetBootConfig(b, 9));
    ASSERT_EQ(0, SC_PerformCommonGetBootConfig(b, &boot));
    EXPECT_EQ(9, boot);

    char first[32], second[32];
    ASSERT_EQ(0, CLU_SLI_CFG_GetFwVersion(b, first, second));
    EXPECT_STREQ("11.4.204.20", first);
    EXPECT_EQ(std::string(31, 'b'), std::string(second));

    uint32_t phy[7] = {};
    ASSERT_EQ(0, SC_GetPhyConfig(b, phy));
    EXPECT_EQ(2u, phy[0]);
    EXPECT_EQ(0x3Cu, phy[5]);

    DPORT_RESULTS results;
    std::memset(&results, 0x99, sizeof results);
    ASSERT_EQ(0, SC_Perform_FcoeGetDPortResults(b, &results));
    EXPECT_EQ(0x99, results.callerArea[47]);
    EXPECT_EQ(3, results.entryCount);
    EXPECT_EQ(1, results.entries[0]);
    EXPECT_EQ(36, results.entries[35]);
    EXPECT_EQ(0x99, results.entries[36]);
}

// Reply statuses through a real command: the rule's edge cases.
TEST(SliConfig, ReplyStatusesGiveTheRulesCodes)
{
    FcHost host(machine_with_profile(json()));
    int b = host.board(0x20);
    struct {
        int result, mbox_status, status, add, code;
    } cases[] = {
        {2, 0x4001, 1, 0x67, 0}, {0, 0, 3, 0x67, 0}, {0, 0, 3, 0x10, 148},
        {2, 1, 1, 0xA7, 15},     {3, 0, 0, 0, 28},   {-1, 0, 0, 0, 28},
    };
    for (const auto &c : cases) {
        host.clear_faults();
        host.plan({{"match", {{"board", b}, {"mbox", 0x9B}, {"opcode", 0x43}}},
                   {"kind", "kpl"},
                   {"result", c.result},
                   {"mbox_status", c.mbox_status},
                   {"status", c.status},
                   {"additional_status", c.add}});
        EXPECT_EQ(c.code, SC_PerformCommonSetBootConfig(b, 1)) << c.result << "/" << c.status << "/" << c.add;
    }
}

TEST(SliConfig, FcoeCommandsAskThePortFirst)
{
    json varrow = fctest::varrow_fc_hba("varrow", 0x20);
    varrow["functions"][0]["fc"] = {{"sli", {{"port_number", 5}}}};
    FcHost host(fctest::machine({varrow}));
    int b = host.board(0x20);
    for (bool fail : {false, true}) {
        host.clear_faults();
        host.clear_log();
        if (fail)
            host.plan({{"match", {{"board", b}, {"mbox", 0x9B}, {"opcode", 0x3A}}},
                       {"kind", "kpl"},
                       {"status", 1},
                       {"when", "always"}});
        EXPECT_EQ(fail ? -1 : 5, SLI_CFG_GetPortNumber(b));
        EXPECT_EQ(0, SC_Perform_FcoeSetLinkDiagState(b, 0x5));
        EXPECT_EQ(0, SC_Perform_FcoeSetDPortMode(b, 0, 1));
        DPORT_RESULTS results;
        std::memset(&results, 0, sizeof results);
        EXPECT_EQ(0, SC_Perform_FcoeGetDPortResults(b, &results));
        // A command stopped by a fault is logged without its opcode; a port
        // that could not be asked is sent as all ones.
        std::vector<int> opcodes, ports;
        for (const json &e : host.calls("IssueMboxWithRetryV2")) {
            opcodes.push_back(e.contains("fault") ? -1 : e.value("opcode", 0));
            if (e.contains("port"))
                ports.push_back(e["port"].get<int>());
        }
        const int ask = fail ? -1 : 0x3A;
        EXPECT_EQ((std::vector<int>{ask, ask, 0x22, ask, 0x27, ask, 0x28}), opcodes);
        const int port = fail ? 0x3F : 5;
        EXPECT_EQ((std::vector<int>{port, port, port}), ports);
    }
}

} // namespace
