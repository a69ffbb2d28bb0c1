// The diagnostic actions against simulated adapters: loopback modes of the
// ports, the network loopback test and its result properties, the
// host-to-DDR DMA test and the transceiver page dump.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "backend_fixture.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

// A Trelmont with NIC functions on ports 0 to 3, an AW3 without PHY
// loopback on ports 0 and 1, and a Varrow.
const char kMachine[] = R"({
  "adapters": [
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLDG0001",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:30" },
        { "bus": 5, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 1,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:31" },
        { "bus": 5, "function": 2, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 2,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:32" },
        { "bus": 5, "function": 3, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 3,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:33" } ] },
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3DG0001", "functionalities": 0,
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:20" },
        { "bus": 4, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 1,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:21" } ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWDG0001",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE222", "mac": "00:00:C9:D5:00:40" } ] }
  ]
})";

enum { kTrelmont = 0, kAw3 = 1, kVarrow = 2 };
const char *const kSerials[] = {"TRLDG0001", "AW3DG0001", "VRWDG0001"};
const char *const kResults[] = {"TotalTestCycles",   "TotalCompleteCycles", "TotalErrorCycles",  "SendErrorCount",
                                "ReceiveErrorCount", "DataMiscompareCount", "TotalCompleteCount"};

// Byte `i` of a logged command's payload (the log keeps the first 64).
int payload_byte(const nlohmann::json &entry, size_t i)
{
    std::string hex = entry.value("payload", "");
    return hex.size() < 2 * i + 2 ? -1 : static_cast<int>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
}

class Diagnostics : public ::testing::Test {
protected:
    void SetUp() override
    {
        host_ = std::make_unique<SimHost>(kMachine);
        counter_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
    }
    void TearDown() override
    {
        while (vexo_client_count > 0)
            EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(counter_, vexo_counter) << "counted memory left behind";
    }
    const std::string &root() const { return host_->root(); }

    std::string diag(int which) { return adapter_path(kSerials[which]) + "/Diagnostics"; }
    std::string port(int which, int i) { return adapter_path(kSerials[which]) + "/PortDiscoveryAndConfiguration" + std::to_string(i); }

    std::pair<int, int> act(const std::string &group_path, const char *name, std::vector<const char *> given)
    {
        node_tag_t group = tag_at(group_path, VEXO_NODE_GROUP);
        node_tag_t a = tag_at(group_path + "/" + name, VEXO_NODE_ACTION);
        EXPECT_GE(group, 0);
        EXPECT_GE(a, 0);
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0, sizeof params);
        for (size_t i = 0; i < given.size(); ++i)
            std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", given[i]);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
        VEXO_status_t r = VEXO_do_action(group, a, params, tags.data());
        return {static_cast<int>(r), static_cast<int>(last_status().first)};
    }
    std::pair<int, int> enter(int which, const char *s, const char *d, const char *type)
    {
        return act(diag(which), "EnterLoopBackMode", {s, d, type});
    }
    std::pair<int, int> leave(int which, const char *s, const char *d)
    {
        return act(diag(which), "ExitLoopBackMode", {s, d});
    }

    std::vector<std::string> results(int which)
    {
        std::vector<std::string> out;
        for (const char *r : kResults)
            out.push_back(value_at(diag(which) + "/" + r));
        return out;
    }

    std::vector<nlohmann::json> sent(int subsystem, int opcode)
    {
        std::vector<nlohmann::json> out;
        for (const nlohmann::json &e : fw_entries(root()))
            if (e.value("subsystem", -1) == subsystem && e.value("opcode", -1) == opcode)
                out.push_back(e);
        return out;
    }

    std::unique_ptr<SimHost> host_;
    int counter_ = 0;
};

TEST_F(Diagnostics, LoopbackTestResults)
{
    const struct {
        int loops, transferred, received, ticks;
        std::vector<std::string> expected;
    } rows[] = {
        {100, 98, 97, 50, {"50", "47", "2", "2", "3", "3", "95"}},
        {10, 10, 10, 0, {"1", "1", "0", "0", "0", "0", "10"}},
        {4, 0, 0, 7, {"7", "-7", "14", "4", "4", "4", "-4"}},
    };
    ASSERT_EQ(std::make_pair(0, 0), enter(kTrelmont, "1", "1", "MacLoopBack"));
    for (const auto &r : rows) {
        SCOPED_TRACE(r.loops);
        set_adapter_field(root(), kTrelmont, "loopback_test",
                          {{"transferred", r.transferred}, {"received", r.received}, {"ticks", r.ticks}});
        clear_log(root());
        std::string loops = std::to_string(r.loops);
        EXPECT_EQ(0, act(diag(kTrelmont), "NetworkLoopBackTest",
                         {"1122334455667788", "1500", loops.c_str(), "1", "1", "MacLoopBack"})
                         .first);
        EXPECT_EQ(r.expected, results(kTrelmont));
        auto t = sent(11, 18);
        ASSERT_EQ(1u, t.size());
        EXPECT_EQ(1, t[0]["port"]);
        EXPECT_EQ(r.loops, payload_byte(t[0], 4) | payload_byte(t[0], 5) << 8);
        EXPECT_EQ(0x88, payload_byte(t[0], 8)) << "pattern least significant byte first";
        EXPECT_EQ(0x11, payload_byte(t[0], 15));
        EXPECT_EQ(1500, payload_byte(t[0], 24) | payload_byte(t[0], 25) << 8);
    }
}

TEST_F(Diagnostics, LoopbackTestRefusals)
{
    const struct {
        const char *what;
        std::vector<const char *> params;
        int status;
    } rows[] = {
        {"MAC at its largest byte count", {"0ff", "4056", "5", "0", "0", "MacLoopBack"}, 0},
        {"MAC past its largest byte count", {"0ff", "4057", "5", "0", "0", "MacLoopBack"}, 167},
        {"pattern with a non-hex digit", {"12G4", "1500", "5", "0", "0", "MacLoopBack"}, 78},
        {"one-port mode across two ports", {"0ff", "1500", "5", "0", "1", "OnePortLoopBack"}, 67},
        {"two-port mode on one port", {"0ff", "1500", "5", "0", "0", "TwoPortLoopBack"}, 68},
        {"a source port with trailing text", {"0ff", "1500", "5", "0x", "0", "MacLoopBack"}, 6},
    };
    ASSERT_EQ(0, enter(kTrelmont, "0", "0", "MacLoopBack").first);
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(r.status, act(diag(kTrelmont), "NetworkLoopBackTest", r.params).second);
    }
}

TEST_F(Diagnostics, TestWithoutTheModeResetsTheResults)
{
    ASSERT_EQ(0, enter(kTrelmont, "0", "0", "MacLoopBack").first);
    set_adapter_field(root(), kTrelmont, "loopback_test", {{"ticks", 9}});
    ASSERT_EQ(0, act(diag(kTrelmont), "NetworkLoopBackTest", {"0ff", "1500", "5", "0", "0", "MacLoopBack"}).first);
    EXPECT_EQ("9", results(kTrelmont)[0]);
    EXPECT_EQ(std::make_pair(1, 155),
              act(diag(kTrelmont), "NetworkLoopBackTest", {"0ff", "1500", "5", "2", "2", "MacLoopBack"}));
    EXPECT_EQ(std::vector<std::string>(7, "0"), results(kTrelmont));

    // A failure status in the answer leaves the properties as they were.
    set_adapter_field(root(), kTrelmont, "loopback_test", {{"ticks", 9}, {"status", 4}});
    EXPECT_EQ(std::make_pair(1, 251),
              act(diag(kTrelmont), "NetworkLoopBackTest", {"0ff", "1500", "5", "0", "0", "MacLoopBack"}));
    EXPECT_EQ(std::vector<std::string>(7, "0"), results(kTrelmont));
}

TEST_F(Diagnostics, EnterAndExitLoopbackMode)
{
    EXPECT_EQ(std::make_pair(1, 171), leave(kTrelmont, "0", "0")) << "no mode set";
    EXPECT_EQ(std::make_pair(1, 67), enter(kTrelmont, "0", "1", "MacLoopBack"));
    EXPECT_EQ(std::make_pair(1, 68), enter(kTrelmont, "1", "1", "TwoPortLoopBack"));
    EXPECT_EQ(std::make_pair(0, 0), enter(kTrelmont, "0", "1", "TwoPortLoopBack"));
    EXPECT_EQ(std::make_pair(1, 172), enter(kTrelmont, "0", "1", "TwoPortLoopBack"));
    EXPECT_EQ(std::make_pair(1, 68), leave(kTrelmont, "0", "0")) << "two-port mode needs two ports";
    EXPECT_EQ(std::make_pair(0, 0), leave(kTrelmont, "0", "1"));
    EXPECT_EQ(std::make_pair(1, 171), leave(kTrelmont, "0", "1"));
    auto sets = sent(11, 19);
    ASSERT_EQ(2u, sets.size());
    EXPECT_EQ((std::vector<int>{0, 1, 3, 1}), (std::vector<int>{payload_byte(sets[0], 0), payload_byte(sets[0], 1),
                                                                payload_byte(sets[0], 2), payload_byte(sets[0], 3)}));
    EXPECT_EQ((std::vector<int>{0, 1, 255, 0}), (std::vector<int>{payload_byte(sets[1], 0), payload_byte(sets[1], 1),
                                                                  payload_byte(sets[1], 2), payload_byte(sets[1], 3)}));
}

TEST_F(Diagnostics, EnterRefusals)
{
    EXPECT_EQ(std::make_pair(1, 168), enter(kAw3, "0", "0", "PhyLoopBack")) << "the controller has no PHY loopback";
    EXPECT_EQ(std::make_pair(0, 0), enter(kTrelmont, "2", "2", "PhyLoopBack"));
    EXPECT_EQ(std::make_pair(1, 231), enter(kAw3, "3", "3", "MacLoopBack"));
    EXPECT_EQ("There is no PhysicalHBA for the given SourcePortNumber.", last_status().second);
    EXPECT_EQ(std::make_pair(1, 231), leave(kAw3, "0", "2"));
    EXPECT_EQ("There is no PhysicalHBA for thie given DestinationPortNumber.", last_status().second);
    set_adapter_field(root(), kAw3, "loopback_mode", 0);
    EXPECT_EQ(std::make_pair(1, 172), enter(kAw3, "0", "0", "MacLoopBack")) << "the port already reports mode 0";
    vm_flag = 1;
    EXPECT_EQ(std::make_pair(1, 256), enter(kTrelmont, "0", "0", "MacLoopBack"));
    vm_flag = 0;
}

TEST_F(Diagnostics, AdapterWithoutLoopback)
{
    set_adapter_field(root(), kTrelmont, "loopback_mode", 254);
    while (vexo_client_count > 0)
        ASSERT_EQ(0, VEXO_exit());
    ASSERT_EQ(0, VEXO_init());
    EXPECT_EQ("False", value_at(diag(kTrelmont) + "/IsLoopbackSupported"));
    EXPECT_EQ(std::make_pair(1, 324), enter(kTrelmont, "0", "0", "MacLoopBack"));
    EXPECT_EQ(std::make_pair(1, 324), leave(kTrelmont, "0", "0"));
}

TEST_F(Diagnostics, DmaTest)
{
    clear_log(root());
    EXPECT_EQ(0, act(diag(kTrelmont), "HostToDDRDMATest", {"1122334455667788", "100", "3"}).first);
    auto dma = sent(11, 17);
    ASSERT_EQ(3u, dma.size());
    EXPECT_EQ(96, payload_byte(dma[0], 8)) << "whole 8-byte patterns only";
    const int expected[] = {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11, 0x88};
    for (size_t i = 0; i < 9; ++i)
        EXPECT_EQ(expected[i], payload_byte(dma[0], 16 + i)) << i;
    std::vector<std::string> r = results(kTrelmont);
    EXPECT_EQ((std::vector<std::string>{"0", "0", "3"}), (std::vector<std::string>{r[3], r[4], r[6]}));

    const struct {
        nlohmann::json dma;
        const char *send_errors, *receive_errors, *complete;
    } rows[] = {
        {{{"corrupt", true}}, "0", "3", "0"},
        {{{"send_error", 1}}, "3", "0", "0"},
    };
    for (const auto &row : rows) {
        set_adapter_field(root(), kTrelmont, "dma_test", row.dma);
        EXPECT_EQ(0, act(diag(kTrelmont), "HostToDDRDMATest", {"0ff", "64", "3"}).first);
        r = results(kTrelmont);
        EXPECT_EQ(row.send_errors, r[3]);
        EXPECT_EQ(row.receive_errors, r[4]);
        EXPECT_EQ(row.receive_errors, r[5]);
        EXPECT_EQ(row.complete, r[6]);
    }
}

TEST_F(Diagnostics, DmaRefusals)
{
    EXPECT_EQ(std::make_pair(1, 259), act(diag(kVarrow), "HostToDDRDMATest", {"0ff", "64", "1"}));
    EXPECT_EQ(std::make_pair(1, 78), act(diag(kTrelmont), "HostToDDRDMATest", {"xyz", "64", "1"}));
    ASSERT_EQ(0, act(diag(kTrelmont), "HostToDDRDMATest", {"0ff", "64", "2"}).first);
    EXPECT_EQ("2", results(kTrelmont)[6]);
    plan_status(root(), 11, 17, 2, 0);
    EXPECT_EQ(std::make_pair(1, 63), act(diag(kTrelmont), "HostToDDRDMATest", {"0ff", "64", "2"}));
    EXPECT_EQ(std::vector<std::string>(7, "0"), results(kTrelmont));
}

TEST_F(Diagnostics, TransceiverDump)
{
    const struct {
        const char *address;
        int page;
    } rows[] = {{"A0", 0xA0}, {"a0", 0xA0}, {"A2", 0xA2}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.address);
        clear_log(root());
        EXPECT_EQ(std::make_pair(0, 60), act(port(kTrelmont, 2), "DumpTransceiverData", {r.address}));
        auto q = sent(1, 73);
        ASSERT_EQ(1u, q.size());
        EXPECT_EQ(r.page, payload_byte(q[0], 0));
        EXPECT_EQ(2, payload_byte(q[0], 4)) << "the port's physical port";
        char first[32];
        std::snprintf(first, sizeof first, "%02x020000 %02x020001 ", r.page, r.page);
        std::string text = last_status().second;
        EXPECT_EQ(0u, text.find(first)) << text;
        EXPECT_EQ(64u * 9 + 3, text.size());
        EXPECT_EQ('\n', text[16 * 9]);
        EXPECT_EQ('\n', text[32 * 9 + 1]);
        EXPECT_EQ('\n', text[48 * 9 + 2]);
    }
    set_adapter_field(root(), kTrelmont, "transceiver", "unsupported");
    EXPECT_EQ(std::make_pair(1, 191), act(port(kTrelmont, 0), "DumpTransceiverData", {"A0"}));
    plan_status(root(), 1, 73, 2, 0);
    EXPECT_EQ(std::make_pair(1, 64), act(port(kTrelmont, 0), "DumpTransceiverData", {"A0"}));
}

} // namespace
