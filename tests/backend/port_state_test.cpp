// Port state, transmit throttle, beacon and flow control of the port groups
// against simulated adapters of every generation: what each generation
// shows, what a write sends (and when it sends nothing), the statuses of
// the refusals and failures, and the beacon switch-off when the last client
// leaves.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/port_state.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "backend_fixture.h"
#include "sim/machine.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

// Adapters in this order: AW2 running FCoE, AW3 (its port 1 cannot beacon),
// Trelmont, Varrow; each with NIC functions on ports 0 and 1.
const char kMachine[] = R"({
  "host": { "release": "VMware ESXi 6.7.0 build-8169922" },
  "adapters": [
    { "name": "aw2", "family": "converged", "generation": "AW2", "serial": "AW2PS0001", "personality": "FCoE",
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.1" },
      "functions": [
        { "bus": 3, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE602", "mac": "00:00:C9:A2:00:10" },
        { "bus": 3, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 1,
          "subvendor": "0x10DF", "subdevice": "0xE602", "mac": "00:00:C9:A2:00:11" }
      ] },
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3PS0001",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "ports": [ { "rx_flow_control": 0 }, { "beacon": "unsupported" } ],
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:20" },
        { "bus": 4, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 1,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:21" }
      ] },
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLPS0001", "capabilities": 41,
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:30" },
        { "bus": 5, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 1,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:31" }
      ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWPS0001",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE222", "mac": "00:00:C9:D5:00:40" },
        { "bus": 6, "function": 1, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 1,
          "subvendor": "0x10DF", "subdevice": "0xE222", "mac": "00:00:C9:D5:00:41" }
      ] }
  ]
})";

enum { kAw2 = 0, kAw3 = 1, kTrelmont = 2, kVarrow = 3 };
const char *const kSerials[] = {"AW2PS0001", "AW3PS0001", "TRLPS0001", "VRWPS0001"};

struct Outcome {
    VEXO_status_t result;
    VEXO_status_t status;
    std::string text;
};

// The first payload word of a logged command (its hex dump is little-endian).
uint32_t payload_word(const nlohmann::json &entry)
{
    std::string hex = entry.value("payload", "");
    uint32_t v = 0;
    for (int i = 0; i < 4 && hex.size() >= static_cast<size_t>(2 * i + 2); ++i)
        v |= static_cast<uint32_t>(std::stoul(hex.substr(static_cast<size_t>(2 * i), 2), nullptr, 16)) << (8 * i);
    return v;
}

class PortState : public ::testing::Test {
protected:
    void SetUp() override
    {
        host_ = std::make_unique<SimHost>(kMachine);
        counter_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        // The AW2 adapter runs FCoE; the start does not read personalities yet.
        node *pers = get_node(tag_at(adapter(kAw2) + "/Personality", VEXO_NODE_GROUP));
        ASSERT_NE(nullptr, pers);
        ASSERT_EQ(VEXO_STATUS_SUCCESS, set_prop_val(pers, "CurrentPersonality", "FCoE"));
    }
    void TearDown() override
    {
        while (vexo_client_count > 0)
            EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(counter_, vexo_counter) << "counted memory left behind";
    }
    const std::string &root() const { return host_->root(); }

    std::string adapter(int which)
    {
        std::string name = adapter_path(kSerials[which]);
        EXPECT_FALSE(name.empty()) << kSerials[which];
        return name;
    }
    std::string port(int which, int instance)
    {
        return adapter(which) + "/PortDiscoveryAndConfiguration" + std::to_string(instance);
    }

    Outcome set(const std::string &path, const std::string &value)
    {
        Outcome o;
        o.result = set_at(path, value);
        auto last = last_status();
        o.status = last.first;
        o.text = last.second;
        return o;
    }

    // Runs Beacon on a port group; a null parameter is left out.
    Outcome beacon(const std::string &port_path, const char *duration, const char *status_duration,
                   const char *state)
    {
        node_tag_t group = tag_at(port_path, VEXO_NODE_GROUP);
        node_tag_t act = tag_at(port_path + "/Beacon", VEXO_NODE_ACTION);
        EXPECT_GE(group, 0);
        EXPECT_GE(act, 0);
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params);
        const char *given[] = {duration, status_duration, state};
        for (int i = 0; i < 3; ++i)
            if (given[i])
                std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", given[i]);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        Outcome o;
        o.result = VEXO_do_action(group, act, params, tags.data());
        auto last = last_status();
        o.status = last.first;
        o.text = last.second;
        return o;
    }

    std::vector<nlohmann::json> sent(int opcode)
    {
        std::vector<nlohmann::json> out;
        for (const nlohmann::json &e : fw_entries(root()))
            if (e.value("subsystem", -1) == 1 && e.value("opcode", -1) == opcode)
                out.push_back(e);
        return out;
    }

    // What the simulated firmware keeps for a port.
    nlohmann::json fw_port(int which, int port_number)
    {
        hlvdsim::Machine m;
        std::string err;
        EXPECT_TRUE(hlvdsim::load_machine(root(), m, &err)) << err;
        const nlohmann::json &a = m.doc.at("adapters").at(which);
        std::string key = std::to_string(port_number);
        if (a.contains("fw_state") && a["fw_state"].contains("port_state") &&
            a["fw_state"]["port_state"].contains(key))
            return a["fw_state"]["port_state"][key];
        return nlohmann::json::object();
    }

    std::unique_ptr<SimHost> host_;
    int counter_ = 0;
};

TEST_F(PortState, ReadAndChangeOnEveryGeneration)
{
    // Varrow names the link in the request (version 1, bits 16-21); the
    // others send the plain word through the header's port.
    const struct {
        int adapter;
        int version;
        uint32_t disable_word;
    } rows[] = {
        {kAw2, 0, 0},
        {kAw3, 0, 0},
        {kTrelmont, 0, 0},
        {kVarrow, 1, 1u << 16},
    };
    for (const auto &r : rows) {
        std::string p = port(r.adapter, 1) + "/PortState";
        SCOPED_TRACE(p);
        EXPECT_EQ("Enabled", value_at(p));
        clear_log(root());
        Outcome o = set(p, "Disabled");
        EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result);
        // The current state is read first, then the change is written.
        auto reads = sent(71), writes = sent(62);
        ASSERT_EQ(1u, reads.size());
        ASSERT_EQ(1u, writes.size());
        EXPECT_EQ(r.version, writes[0]["version"]);
        EXPECT_EQ(r.version, reads[0]["version"]);
        EXPECT_EQ(1, writes[0]["port"]);
        EXPECT_EQ(r.disable_word, payload_word(writes[0]));
        EXPECT_EQ(false, fw_port(r.adapter, 1).value("enabled", true));
        EXPECT_EQ("Disabled", value_at(p));
        EXPECT_EQ(VEXO_STATUS_SUCCESS, set(p, "Enabled").result);
        EXPECT_EQ("Enabled", value_at(p));
        // The other port is untouched.
        EXPECT_EQ("Enabled", value_at(port(r.adapter, 0) + "/PortState"));
    }
}

TEST_F(PortState, SettingTheCurrentStateSendsNothing)
{
    for (int a : {kAw3, kVarrow}) {
        std::string p = port(a, 0) + "/PortState";
        clear_log(root());
        EXPECT_EQ(VEXO_STATUS_SUCCESS, set(p, "Enabled").result) << p;
        EXPECT_EQ(1u, sent(71).size()) << p;
        EXPECT_TRUE(sent(62).empty()) << p;
    }
}

TEST_F(PortState, FailedCommandsAreFailuresWithTheirStatus)
{
    std::string p = port(kAw3, 0) + "/PortState";
    plan_status(root(), 1, 62, 2, 75);
    Outcome o = set(p, "Disabled");
    EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
    EXPECT_EQ(VEXO_STATUS_SET_PORT_STATE, o.status);
    EXPECT_EQ("Enabled", value_at(p));

    plan_status(root(), 1, 71, 2, 75);
    EXPECT_EQ("error 1", value_at(p));
    EXPECT_EQ(VEXO_STATUS_GET_PORT_STATE, last_status().first);
    // A set whose read of the current state fails sends nothing.
    clear_log(root());
    o = set(p, "Disabled");
    EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
    EXPECT_EQ(VEXO_STATUS_GET_PORT_STATE, o.status);
    EXPECT_TRUE(sent(62).empty());
}

TEST_F(PortState, TxThrottleOnAw2RunningFcoe)
{
    std::string p = port(kAw2, 0) + "/TXThrottle";
    EXPECT_EQ("2", value_at(p));
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set(p, "1").result);
    ASSERT_EQ(1u, sent(132).size());
    EXPECT_EQ(1u, payload_word(sent(132)[0]));
    EXPECT_EQ("1", value_at(p));

    // Equal to the current value: nothing is written.
    clear_log(root());
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set(p, "1").result);
    EXPECT_TRUE(sent(132).empty());

    for (const char *bad : {"3", "0", "1x", "-1"}) {
        clear_log(root());
        Outcome o = set(p, bad);
        EXPECT_EQ(VEXO_STATUS_FAILURE, o.result) << bad;
        EXPECT_EQ(VEXO_STATUS_INVALID_VALUE, o.status) << bad;
        EXPECT_EQ("Invalid Value. Valid values are 1 or 2.", o.text) << bad;
        EXPECT_TRUE(sent(132).empty()) << bad;
    }

    plan_status(root(), 1, 132, 2, 75);
    Outcome o = set(p, "2");
    EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
    EXPECT_EQ(VEXO_STATUS_SET_TX_THROTTEL, o.status);
    plan_status(root(), 1, 133, 2, 75);
    EXPECT_EQ("error 1", value_at(p));
    EXPECT_EQ(VEXO_STATUS_GET_TX_THROTTEL, last_status().first);
}

TEST_F(PortState, TxThrottleElsewhere)
{
    // Another personality on AW2 shows N/A and refuses a change.
    node *pers = get_node(tag_at(adapter(kAw2) + "/Personality", VEXO_NODE_GROUP));
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_prop_val(pers, "CurrentPersonality", "NIC"));
    const struct {
        int adapter;
        VEXO_status_t status; // of a write of "1"
        bool sends;
    } rows[] = {
        {kAw2, VEXO_STATUS_CANNOT_SET_TX_THROTTEL, false},
        {kAw3, VEXO_STATUS_CANNOT_SET_TX_THROTTEL, false},
        {kTrelmont, VEXO_STATUS_CANNOT_SET_TX_THROTTEL, false},
        // Varrow writes although it shows N/A; its firmware refuses.
        {kVarrow, VEXO_STATUS_SET_TX_THROTTEL, true},
    };
    for (const auto &r : rows) {
        std::string p = port(r.adapter, 0) + "/TXThrottle";
        SCOPED_TRACE(p);
        clear_log(root());
        EXPECT_EQ("N/A", value_at(p));
        EXPECT_TRUE(sent(133).empty());
        Outcome o = set(p, "1");
        EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
        EXPECT_EQ(r.status, o.status);
        EXPECT_EQ(r.sends ? 1u : 0u, sent(132).size());
    }
}

TEST_F(PortState, BeaconOnAndOff)
{
    std::string p = port(kAw3, 0);
    EXPECT_EQ("Disabled", value_at(p + "/BeaconState"));

    // Switching on needs both durations.
    for (const auto &missing : {std::make_pair("10", (const char *)nullptr), std::make_pair((const char *)nullptr, "5")}) {
        clear_log(root());
        Outcome o = beacon(p, missing.first, missing.second, "Enabled");
        EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
        EXPECT_EQ(VEXO_STATUS_MISSING_PARAMETER, o.status);
        EXPECT_TRUE(sent(69).empty());
    }

    // Already off: nothing is sent, a notice with result 0.
    clear_log(root());
    Outcome o = beacon(p, nullptr, nullptr, "Disabled");
    EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result);
    EXPECT_EQ(VEXO_STATUS_BEACON_ALREADY_DISABLED, o.status);
    EXPECT_TRUE(sent(69).empty());

    clear_log(root());
    o = beacon(p, "10", "5", "Enabled");
    EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result);
    ASSERT_EQ(1u, sent(69).size());
    // port_num 0, beacon_state 1, durations 10 and 5.
    EXPECT_EQ(0x050A0100u, payload_word(sent(69)[0]));
    EXPECT_EQ("Enabled", value_at(p + "/BeaconState"));

    // The firmware's "already active" comes back as its own status.
    o = beacon(p, "10", "5", "Enabled");
    EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
    EXPECT_EQ(VEXO_STATUS_BEACON_OPERATION_ALREADY_ACTIVE, o.status);

    // Off without durations sends durations 0.
    clear_log(root());
    o = beacon(p, nullptr, nullptr, "Disabled");
    EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result);
    ASSERT_EQ(1u, sent(69).size());
    EXPECT_EQ(0u, payload_word(sent(69)[0]));
    EXPECT_EQ("Disabled", value_at(p + "/BeaconState"));
}

TEST_F(PortState, BeaconStatusesOfTheFirmware)
{
    // A port that cannot beacon.
    std::string p = port(kAw3, 1);
    EXPECT_EQ("Not Supported", value_at(p + "/BeaconState"));
    clear_log(root());
    Outcome o = beacon(p, "1", "1", "Enabled");
    EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
    EXPECT_EQ(VEXO_STATUS_BEACON_NOT_SUPPORTED, o.status);
    EXPECT_TRUE(sent(69).empty());

    // Failed reads and writes.
    std::string q = port(kTrelmont, 0);
    plan_status(root(), 1, 69, 2, 75);
    o = beacon(q, "1", "1", "Enabled");
    EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
    EXPECT_EQ(VEXO_STATUS_SET_BEACON_FAILED, o.status);
    plan_status(root(), 1, 70, 2, 75);
    EXPECT_EQ("error 1", value_at(q + "/BeaconState"));
    EXPECT_EQ(VEXO_STATUS_GET_BEACON_FAILED, last_status().first);
    o = beacon(q, nullptr, nullptr, "Disabled");
    EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
}

TEST_F(PortState, LastClientSwitchesEnabledBeaconsOff)
{
    std::string on = port(kVarrow, 1);
    ASSERT_EQ(VEXO_STATUS_SUCCESS, beacon(on, "30", "30", "Enabled").result);
    EXPECT_EQ("on", fw_port(kVarrow, 1).value("beacon", ""));
    // Nothing while clients remain.
    clear_log(root());
    EXPECT_EQ(0, backend_client_exit(1));
    EXPECT_TRUE(sent(69).empty());
    EXPECT_EQ(0, backend_client_exit(0));
    EXPECT_EQ("off", fw_port(kVarrow, 1).value("beacon", ""));
    // One write, to the port that was on, with durations 0.
    auto writes = sent(69);
    ASSERT_EQ(1u, writes.size());
    EXPECT_EQ(1u, payload_word(writes[0]));
}

TEST_F(PortState, FlowControlByGeneration)
{
    // AW3 reads through opcode 37 and cannot be set.
    std::string aw3 = port(kAw3, 0);
    EXPECT_EQ("Enabled", value_at(aw3 + "/TxFlowControl"));
    EXPECT_EQ("Disabled", value_at(aw3 + "/RxFlowControl"));
    EXPECT_FALSE(sent(37).empty());
    clear_log(root());
    Outcome o = set(aw3 + "/RxFlowControl", "Enabled");
    EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
    EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED, o.status);
    EXPECT_TRUE(sent(205).empty());

    // AW2 and Varrow have no setting: N/A, and a write is refused unsent.
    for (int a : {kAw2, kVarrow}) {
        std::string p = port(a, 0);
        clear_log(root());
        EXPECT_EQ("N/A", value_at(p + "/TxFlowControl")) << p;
        EXPECT_EQ("N/A", value_at(p + "/RxFlowControl")) << p;
        o = set(p + "/TxFlowControl", "Disabled");
        EXPECT_EQ(VEXO_STATUS_FAILURE, o.result) << p;
        EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED, o.status) << p;
        EXPECT_TRUE(fw_entries(root()).empty()) << p;
    }

    // A failed query is a failure.
    plan_status(root(), 1, 205, 2, 75);
    EXPECT_EQ("error 1", value_at(port(kTrelmont, 0) + "/TxFlowControl"));
}

TEST_F(PortState, FlowControlWriteKeepsTheOtherDirectionAndLocksUnderNpar)
{
    const std::string mc_type = adapter(kTrelmont) + "/ProfileManagement/ConfiguredProfile/Port0/MCType";
    // Port 1 is written; port 0's configured mode decides the locking.
    std::string p = port(kTrelmont, 1);
    const struct {
        const char *mode;
        const char *property, *value;
        uint32_t word; // tx 0-3, rx 4-7, lock 8, active 9, mode 11-12, port 24-29
    } rows[] = {
        {"NPAR", "RxFlowControl", "Disabled", 0x01 | 1u << 8 | 1u << 9 | 1u << 11 | 1u << 24},
        {"None", "TxFlowControl", "Disabled", 0x00 | 1u << 11 | 1u << 24},
        {"NPAR", "RxFlowControl", "Enabled", 0x10 | 1u << 8 | 1u << 9 | 1u << 11 | 1u << 24},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.mode);
        // Staged the way a user stages it, so the mode is read back from the
        // configured-profile file.
        ASSERT_EQ(VEXO_STATUS_SUCCESS, set(mc_type, r.mode).result);
        clear_log(root());
        EXPECT_EQ(VEXO_STATUS_SUCCESS, set(p + "/" + r.property, r.value).result);
        // The query for the other direction goes first, then the write.
        auto cmds = sent(205);
        ASSERT_EQ(2u, cmds.size());
        EXPECT_EQ(1u << 24, payload_word(cmds[0]));
        EXPECT_EQ(r.word, payload_word(cmds[1]));
        EXPECT_EQ("nic", cmds[1]["driver"]);
        EXPECT_EQ(r.value, value_at(p + "/" + r.property));
    }
    nlohmann::json fw = fw_port(kTrelmont, 1);
    EXPECT_EQ(1, fw.value("lock", -1));
    EXPECT_EQ(1, fw.value("active", -1));

    // The write's failure is the result, without a status of its own.
    plan_status(root(), 1, 205, 2, 75, false);
    plan_status(root(), 1, 205, 2, 75, false);
    EXPECT_NE(VEXO_STATUS_SUCCESS, set(p + "/RxFlowControl", "Disabled").result);
}

TEST_F(PortState, ResetResendsCurrentSettingsWithTheGivenMode)
{
    node *p = get_node(tag_at(port(kTrelmont, 0), VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, p);
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set(port(kTrelmont, 0) + "/TxFlowControl", "Disabled").result);
    clear_log(root());
    EXPECT_EQ(0, VEXO_reset_flow_control_properties(p, "NPAR"));
    auto cmds = sent(205);
    ASSERT_FALSE(cmds.empty());
    // tx off, rx on as read now, locked for NPAR, port 0.
    EXPECT_EQ(0x10u | 1u << 8 | 1u << 9 | 1u << 11, payload_word(cmds.back()));
    EXPECT_EQ(1, VEXO_reset_flow_control_properties(nullptr, "NPAR"));
    EXPECT_EQ(1, VEXO_reset_flow_control_properties(p, nullptr));
}

TEST(FlowControlProps, StoresSixteenBitValues)
{
    SimHost host(kMachine);
    int counter = vexo_counter;
    ASSERT_EQ(0, VEXO_init());
    std::string path = adapter_path("TRLPS0001") + "/PortDiscoveryAndConfiguration0";
    node *p = get_node(tag_at(path, VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, p);
    const struct {
        unsigned tx, rx;
        const char *tx_text, *rx_text;
    } rows[] = {{1, 0, "Enabled", "Disabled"}, {0x10001, 2, "Enabled", "Disabled"}, {0, 1, "Disabled", "Enabled"}};
    for (const auto &r : rows) {
        EXPECT_EQ(0, VEXO_update_flow_control_props(p, r.tx, r.rx));
        char v[VEXO_VALUE_SIZE];
        node *tx = internal_get_node(p, "TxFlowControl", VEXO_NODE_PROPERTY);
        node *rx = internal_get_node(p, "RxFlowControl", VEXO_NODE_PROPERTY);
        ASSERT_TRUE(tx && rx);
        std::snprintf(v, sizeof v, "%s", tx->u.prop->val);
        EXPECT_STREQ(r.tx_text, v) << r.tx;
        std::snprintf(v, sizeof v, "%s", rx->u.prop->val);
        EXPECT_STREQ(r.rx_text, v) << r.rx;
    }
    EXPECT_EQ(1, VEXO_update_flow_control_props(nullptr, 1, 1));
    EXPECT_EQ(0, VEXO_exit());
    EXPECT_EQ(counter, vexo_counter);
}

} // namespace
