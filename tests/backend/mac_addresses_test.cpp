// MAC address properties of NIC and iSCSI functions through the management
// API on simulated adapters of every generation: the current MAC, the
// configured MAC read from the profile configuration (or the legacy record
// on AW2), its writes, their refusals and the firmware's failures.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/mac_addresses.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/command_log.h"
#include "sim/fault_plan.h"
#include "sim/flash_model.h"
#include "support/sim_host.h"
#include "vmkmgmt.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

// Configured MACs differ from the factory ones where "permanent_mac" is
// given. The AW3 NIC function 0 has virtual functions, so its configuration
// also lists a virtual-function template for it (with a zero MAC).
const char kMacs[] = R"({
  "adapters": [
    { "name": "aw2", "family": "converged", "generation": "AW2", "serial": "AW2MAC01",
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.1" },
      "functions": [
        { "bus": 3, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 0,
          "mac": "00:00:C9:A2:00:10" },
        { "bus": 3, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 1,
          "mac": "00:00:C9:A2:00:11", "permanent_mac": "02:00:C9:A2:01:11" } ] },
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3MAC01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "mac": "00:00:C9:B3:00:20", "permanent_mac": "02:00:C9:B3:01:20", "vfs": 2 },
        { "bus": 4, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 1,
          "mac": "00:00:C9:B3:00:21" },
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22", "permanent_mac": "02:00:C9:B3:01:22" } ] },
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLMAC01",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:30", "permanent_mac": "02:00:C9:C4:01:30" } ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWMAC01",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "mac": "00:00:C9:D5:00:40" } ] }
  ]
})";

// Path of the function group on PCI bus `bus`, function `fn`, of `kind`
// ("NICPhysicalHBA" or "iSCSIPhysicalHBA"); empty when there is none.
std::string function_path(unsigned bus, unsigned fn, const char *kind)
{
    char want_bus[16], want_fn[16];
    std::snprintf(want_bus, sizeof want_bus, "0x%x", bus);
    std::snprintf(want_fn, sizeof want_fn, "0x%x", fn);
    for (int a = 0; a < 8; ++a) {
        for (int f = 0; f < 8; ++f) {
            std::string path = "Arcwright" + std::to_string(a) + "/" + kind + std::to_string(f);
            if (tag_at(path, VEXO_NODE_GROUP) < 0)
                continue;
            if (value_at(path + "/PCI/BusNumber") == want_bus && value_at(path + "/PCI/FunctionNumber") == want_fn)
                return path;
        }
    }
    return "";
}

std::string nic(unsigned bus, unsigned fn)
{
    return function_path(bus, fn, "NICPhysicalHBA");
}

std::string iscsi_config(unsigned bus, unsigned fn)
{
    std::string p = function_path(bus, fn, "iSCSIPhysicalHBA");
    return p.empty() ? p : p + "/Network/NICConfiguration";
}

uint32_t le32(const std::vector<uint8_t> &b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

uint16_t le16(const std::vector<uint8_t> &b, size_t at)
{
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

class MacAddresses : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        clear_log(host_.root());
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
        EXPECT_EQ(0, vmk_MgmtUserOpenHandleCount());
    }
    // Firmware commands of one adapter since the last clear.
    std::vector<nlohmann::json> commands_of(const std::string &adapter)
    {
        std::vector<nlohmann::json> out;
        for (const nlohmann::json &e : fw_entries(host_.root()))
            if (e.value("adapter", "") == adapter)
                out.push_back(e);
        return out;
    }
    std::vector<std::pair<int, int>> opcodes_of(const std::string &adapter)
    {
        std::vector<std::pair<int, int>> out;
        for (const nlohmann::json &e : commands_of(adapter))
            out.emplace_back(e.value("opcode", -1), e.value("version", -1));
        return out;
    }

    SimHost host_{kMacs};
    int start_ = 0;
};

TEST_F(MacAddresses, EachGenerationShowsItsCurrentAndConfiguredMac)
{
    const struct {
        const char *adapter;
        std::string group;
        const char *current;
        const char *configured;
        std::pair<int, int> read; // opcode and version of the configured-MAC read
    } rows[] = {
        {"aw2", nic(3, 0), "00-00-c9-a2-00-10", "00-00-c9-a2-00-10", {81, 0}},
        {"aw2", nic(3, 1), "00-00-c9-a2-00-11", "02-00-c9-a2-01-11", {81, 0}},
        // The virtual-function template listed before it is not the function.
        {"aw3", nic(4, 0), "00-00-c9-b3-00-20", "02-00-c9-b3-01-20", {164, 1}},
        {"aw3", nic(4, 1), "00-00-c9-b3-00-21", "00-00-c9-b3-00-21", {164, 1}},
        {"aw3", iscsi_config(4, 2), "00-00-c9-b3-00-22", "02-00-c9-b3-01-22", {164, 1}},
        {"trelmont", nic(5, 0), "00-00-c9-c4-00-30", "02-00-c9-c4-01-30", {164, 1}},
        {"varrow", nic(6, 0), "00-00-c9-d5-00-40", "00-00-c9-d5-00-40", {164, 1}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.group);
        ASSERT_FALSE(r.group.empty());
        clear_log(host_.root());
        EXPECT_EQ(r.configured, value_at(r.group + "/PermanentMACAddress"));
        EXPECT_EQ((std::vector<std::pair<int, int>>{r.read}), opcodes_of(r.adapter));
        EXPECT_EQ(r.current, value_at(r.group + "/MACAddress"));
    }
    // The profile read asks for the configured configuration, not a census.
    clear_log(host_.root());
    value_at(nic(5, 0) + "/PermanentMACAddress");
    std::vector<nlohmann::json> sent = commands_of("trelmont");
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(0u, le32(hex_bytes(sent[0].value("payload", "")), 0));
    EXPECT_EQ(22620, sent[0].value("request_length", 0));
}

TEST_F(MacAddresses, ConfiguredMacWrittenToANicFunction)
{
    std::string fn = nic(4, 0);
    ASSERT_FALSE(fn.empty());
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(fn + "/PermanentMACAddress", "0A:1B:2C:3D:4E:5F"));
    EXPECT_EQ(VEXO_STATUS_CONFIG_STATE_CHANGED, last_status().first);

    // The active configuration is read, then one descriptor is written.
    std::vector<nlohmann::json> sent = commands_of("aw3");
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ(164, sent[0].value("opcode", 0));
    EXPECT_EQ(2u << 8, le32(hex_bytes(sent[0].value("payload", "")), 0));
    EXPECT_EQ(165, sent[1].value("opcode", 0));
    EXPECT_EQ(1, sent[1].value("version", 0));
    EXPECT_EQ(184, sent[1].value("request_length", 0));
    std::vector<uint8_t> p = hex_bytes(sent[1].value("payload", ""));
    ASSERT_EQ(64u, p.size());
    EXPECT_EQ(0u, le32(p, 0)); // profile 0, no ISAP descriptor
    EXPECT_EQ(1u, le32(p, 4));
    const size_t d = 8; // the descriptor
    uint32_t word0 = le32(p, d);
    EXPECT_EQ(0x51u, word0 & 0xFF);
    EXPECT_EQ(88u, (word0 >> 8) & 0xFF);
    EXPECT_TRUE(word0 & (1u << 25)) << "mac_addr_valid";
    EXPECT_FALSE(word0 & (1u << 27)) << "a virtual-function template was written";
    EXPECT_FALSE(word0 & (3u << 30)) << "immediate or no_save";
    EXPECT_EQ(0u, (le32(p, d + 4) >> 16) & 0x3FF);
    EXPECT_EQ((std::vector<uint8_t>{0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F}),
              std::vector<uint8_t>(p.begin() + d + 10, p.begin() + d + 16));
    for (size_t count : {8, 18, 20, 28, 32, 38})
        EXPECT_EQ(0xFFFF, le16(p, d + count)) << "count at " << count;
    EXPECT_EQ(0u, le16(p, d + 16)) << "mq_count is kept as read";
    EXPECT_EQ(0u, le32(p, d + 44) & 0x3F) << "link_number";
    EXPECT_EQ(0xFFFFFFFFu, le32(p, d + 48));
    EXPECT_EQ(0xFFFFFFFFu, le32(p, d + 52));

    // The cached value is the written MAC at once, and the configuration
    // holds it for the next read; the current MAC is unchanged until reboot.
    node *prop = get_node(tag_at(fn + "/PermanentMACAddress", VEXO_NODE_PROPERTY));
    ASSERT_NE(nullptr, prop);
    EXPECT_STREQ("0a-1b-2c-3d-4e-5f", prop->u.prop->val);
    EXPECT_EQ("0a-1b-2c-3d-4e-5f", value_at(fn + "/PermanentMACAddress"));
    EXPECT_EQ("00-00-c9-b3-00-20", value_at(fn + "/MACAddress"));
    EXPECT_EQ("00-00-c9-b3-00-21", value_at(nic(4, 1) + "/PermanentMACAddress"));
}

TEST_F(MacAddresses, ConfiguredMacWrittenToAnIscsiFunctionShowsAtTheNextRead)
{
    std::string group = iscsi_config(4, 2);
    ASSERT_FALSE(group.empty());
    ASSERT_EQ("02-00-c9-b3-01-22", value_at(group + "/PermanentMACAddress"));
    clear_log(host_.root());
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(group + "/PermanentMACAddress", "02-00-c9-b3-02-22"));
    EXPECT_EQ(VEXO_STATUS_CONFIG_STATE_CHANGED, last_status().first);
    std::vector<nlohmann::json> sent = commands_of("aw3");
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ("iscsi", sent[1].value("driver", ""));
    std::vector<uint8_t> p = hex_bytes(sent[1].value("payload", ""));
    EXPECT_EQ(0x52u, p[8]);
    EXPECT_EQ(2u, (le32(p, 12) >> 16) & 0x3FF);
    EXPECT_EQ(0xFFFFFFFFu, le32(p, 8 + 36));
    EXPECT_EQ(0xFFFFFFFFu, le32(p, 8 + 40));
    node *prop = get_node(tag_at(group + "/PermanentMACAddress", VEXO_NODE_PROPERTY));
    ASSERT_NE(nullptr, prop);
    EXPECT_STREQ("02-00-c9-b3-01-22", prop->u.prop->val);
    EXPECT_EQ("02-00-c9-b3-02-22", value_at(group + "/PermanentMACAddress"));
}

TEST_F(MacAddresses, ConfiguredMacWrittenOnAw2GoesThroughTheLegacyRecord)
{
    std::string fn = nic(3, 1);
    ASSERT_FALSE(fn.empty());
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(fn + "/PermanentMACAddress", "02-00-c9-a2-02-11"));
    EXPECT_EQ(VEXO_STATUS_CONFIG_STATE_CHANGED, last_status().first);
    EXPECT_EQ((std::vector<std::pair<int, int>>{{81, 0}, {82, 0}}), opcodes_of("aw2"));
    EXPECT_EQ("02-00-c9-a2-02-11", value_at(fn + "/PermanentMACAddress"));
    EXPECT_EQ("00-00-c9-a2-00-10", value_at(nic(3, 0) + "/PermanentMACAddress"));
}

TEST_F(MacAddresses, RefusedWritesSendNothing)
{
    const struct {
        std::string property;
        const char *value;
        VEXO_status_t status;
    } rows[] = {
        {nic(4, 0) + "/MACAddress", "00:11:22:33:44:55", VEXO_STATUS_SET_NOT_SUPPORTED},
        {nic(4, 0) + "/PermanentMACAddress", "00:11:22:33:44::5", VEXO_STATUS_API_INVALID_VALUE},
        {nic(3, 1) + "/PermanentMACAddress", "00:11:22:33:44.55", VEXO_STATUS_API_INVALID_VALUE},
        {iscsi_config(4, 2) + "/PermanentMACAddress", "0011:22:33:44:555", VEXO_STATUS_API_INVALID_VALUE},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.property + " = " + r.value);
        clear_log(host_.root());
        EXPECT_EQ(VEXO_STATUS_FAILURE, set_at(r.property, r.value));
        EXPECT_EQ(r.status, last_status().first);
        EXPECT_TRUE(fw_entries(host_.root()).empty());
    }
}

TEST_F(MacAddresses, FirmwareFailuresAreFailures)
{
    const struct {
        int opcode;
        std::string property;
        const char *write; // null: a read
        VEXO_status_t status;
    } rows[] = {
        {164, nic(4, 1) + "/PermanentMACAddress", nullptr, VEXO_STATUS_GET_PROFILE_CONFIG_FAILED},
        {164, nic(4, 1) + "/PermanentMACAddress", "00:11:22:33:44:55", VEXO_STATUS_GET_PROFILE_CONFIG_FAILED},
        {165, nic(4, 1) + "/PermanentMACAddress", "00:11:22:33:44:55", VEXO_STATUS_SET_LAST_MAC},
        {81, nic(3, 0) + "/PermanentMACAddress", nullptr, VEXO_STATUS_GET_LAST_MAC},
        {82, nic(3, 0) + "/PermanentMACAddress", "00:11:22:33:44:55", VEXO_STATUS_SET_LAST_MAC},
        {1, nic(5, 0) + "/MACAddress", nullptr, VEXO_STATUS_CURRENT_MAC_QUERY},
        {1, iscsi_config(4, 2) + "/MACAddress", nullptr, VEXO_STATUS_NOT_SUPPORTED},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.property + " opcode " + std::to_string(r.opcode));
        hlvdsim::fault_clear(host_.root());
        // A status the firmware gives for a command it does not know.
        plan_status(host_.root(), 1, r.opcode, 66);
        VEXO_status_t result = r.write ? set_at(r.property, r.write) : VEXO_STATUS_SUCCESS;
        if (!r.write)
            EXPECT_EQ("error 1", value_at(r.property));
        else
            EXPECT_EQ(VEXO_STATUS_FAILURE, result);
        EXPECT_EQ(r.status, last_status().first) << last_status().second;
    }
    // Written values were not taken.
    hlvdsim::fault_clear(host_.root());
    EXPECT_EQ("00-00-c9-b3-00-21", value_at(nic(4, 1) + "/PermanentMACAddress"));
    EXPECT_EQ("00-00-c9-a2-00-10", value_at(nic(3, 0) + "/PermanentMACAddress"));
}

// A configuration answer that announces more descriptors than it carries
// ends the walk inside the buffer and fails the read.
TEST_F(MacAddresses, ShortProfileAnswerFailsTheRead)
{
    std::string fn = nic(4, 1);
    hlvdsim::FaultSpec f;
    f.subsystem = 1;
    f.opcode = 164;
    f.kind = "short";
    f.length = 4 + 88; // the count and the first descriptor
    f.always = true;
    std::string err;
    ASSERT_GT(hlvdsim::fault_add(host_.root(), f, &err), 0) << err;
    EXPECT_EQ("error 1", value_at(fn + "/PermanentMACAddress"));
    EXPECT_EQ(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED, last_status().first);
    EXPECT_EQ(VEXO_STATUS_FAILURE, set_at(fn + "/PermanentMACAddress", "00:11:22:33:44:55"));
    EXPECT_EQ(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED, last_status().first);
    for (const nlohmann::json &e : fw_entries(host_.root()))
        EXPECT_NE(165, e.value("opcode", 0));
}

// Factory MACs come from the type-9 MAC query on AW2 and AW3 (functions 0
// to 7 only) and from the MAC list on Trelmont and Varrow.
const char kFactory[] = R"({
  "adapters": [
    { "name": "aw2", "family": "converged", "generation": "AW2", "serial": "AW2FD001",
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.1" },
      "functions": [
        { "bus": 3, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 0,
          "mac": "00:00:C9:A2:00:11" },
        { "bus": 3, "function": 9, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 1,
          "mac": "00:00:C9:A2:00:19" } ] },
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3FD001",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "mac": "00:00:C9:B3:00:20", "permanent_mac": "02:00:C9:B3:01:20" },
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22", "permanent_mac": "02:00:C9:B3:01:22" },
        { "bus": 4, "function": 3, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 1,
          "mac": "00:00:C9:B3:00:23" } ] },
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLFD001",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:30", "permanent_mac": "02:00:C9:C4:01:30" },
        { "bus": 5, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0722", "port": 0,
          "mac": "00:00:C9:C4:00:32" } ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWFD001",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "functions": [
        { "bus": 6, "function": 1, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 1,
          "mac": "00:00:C9:D5:00:41" } ] }
  ]
})";

class FactoryMacs : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }
    // Runs ResetMACAddress of `group`; the action's result.
    VEXO_status_t reset(const std::string &group)
    {
        node_tag_t g = tag_at(group, VEXO_NODE_GROUP);
        node_tag_t act = tag_at(group + "/ResetMACAddress", VEXO_NODE_ACTION);
        EXPECT_GE(g, 0) << group;
        EXPECT_GE(act, 0) << group;
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params);
        return VEXO_do_action(g, act, params, nullptr);
    }
    // The MAC queries sent since the last clear, as their type bytes.
    std::vector<int> mac_query_types()
    {
        std::vector<int> out;
        for (const nlohmann::json &e : fw_entries(host_.root()))
            if (e.value("subsystem", 0) == 1 && e.value("opcode", 0) == 1)
                out.push_back(hex_bytes(e.value("payload", ""))[0]);
        return out;
    }

    SimHost host_{kFactory};
    int start_ = 0;
};

TEST_F(FactoryMacs, EveryFunctionShowsItsFactoryMacAfterStart)
{
    const struct {
        std::string group;
        const char *factory;
    } rows[] = {
        {nic(3, 1), "00-00-c9-a2-00-11"},
        // No entry of the type-9 answer stands for function 9.
        {nic(3, 9), "00:00:00:00:00:00"},
        {nic(4, 0), "00-00-c9-b3-00-20"},
        {iscsi_config(4, 2), "00-00-c9-b3-00-22"},
        {nic(4, 3), "00-00-c9-b3-00-23"},
        {nic(5, 0), "00-00-c9-c4-00-30"},
        {iscsi_config(5, 2), "00-00-c9-c4-00-32"},
        {nic(6, 1), "00-00-c9-d5-00-41"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.group);
        ASSERT_FALSE(r.group.empty());
        EXPECT_EQ(r.factory, value_at(r.group + "/FactoryDefaultMACAddress"));
    }
}

TEST_F(FactoryMacs, Aw3FunctionThreeTakesItsEntryOfTheTypeNineAnswer)
{
    // Only the type-9 answer's entry 3 (bytes 34 to 39) carries this MAC:
    // the function's own current MAC is made to differ.
    set_adapter_field(host_.root(), 1, "fw_state", {{"mac", {{"0000:04:00.3", "0a:0b:0c:0d:0e:0f"}}}});
    ASSERT_EQ(0, VEXO_exit());
    clear_log(host_.root());
    ASSERT_EQ(0, VEXO_init());
    EXPECT_EQ("00-00-c9-b3-00-23", value_at(nic(4, 3) + "/FactoryDefaultMACAddress"));
    bool type9 = false;
    for (const nlohmann::json &e : fw_entries(host_.root()))
        if (e.value("adapter", "") == "aw3" && e.value("opcode", 0) == 1 && e.value("subsystem", 0) == 1)
            type9 = type9 || hex_bytes(e.value("payload", ""))[0] == 9;
    EXPECT_TRUE(type9);
}

TEST_F(FactoryMacs, FailedQueryLeavesTheValueAndTheStartGoesOn)
{
    ASSERT_EQ(0, VEXO_exit());
    plan_status(host_.root(), 1, 147, 66);
    plan_status(host_.root(), 1, 1, 66);
    ASSERT_EQ(0, VEXO_init());
    EXPECT_EQ("00:00:00:00:00:00", value_at(nic(5, 0) + "/FactoryDefaultMACAddress"));
    EXPECT_EQ("00:00:00:00:00:00", value_at(nic(4, 0) + "/FactoryDefaultMACAddress"));
    hlvdsim::fault_clear(host_.root());
}

TEST_F(FactoryMacs, ResetMacAddressWritesTheFactoryMacAsTheConfiguredMac)
{
    const struct {
        const char *adapter;
        std::string group;
        const char *factory;
        std::vector<std::pair<int, int>> sent; // opcode, version
    } rows[] = {
        {"aw3", nic(4, 0), "00-00-c9-b3-00-20", {{1, 0}, {164, 1}, {165, 1}}},
        {"aw3", iscsi_config(4, 2), "00-00-c9-b3-00-22", {{1, 0}, {164, 1}, {165, 1}}},
        // The type-9 query on every family.
        {"trelmont", nic(5, 0), "00-00-c9-c4-00-30", {{1, 0}, {164, 1}, {165, 1}}},
        {"aw2", nic(3, 1), "00-00-c9-a2-00-11", {{1, 0}, {81, 0}, {82, 0}}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.group);
        ASSERT_FALSE(r.group.empty());
        ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(r.group + "/PermanentMACAddress", "02-11-22-33-44-55"));
        clear_log(host_.root());
        EXPECT_EQ(VEXO_STATUS_SUCCESS, reset(r.group));
        EXPECT_EQ(VEXO_STATUS_CONFIG_STATE_CHANGED, last_status().first);
        std::vector<std::pair<int, int>> sent;
        for (const nlohmann::json &e : fw_entries(host_.root()))
            if (e.value("adapter", "") == r.adapter)
                sent.emplace_back(e.value("opcode", -1), e.value("version", -1));
        EXPECT_EQ(r.sent, sent);
        EXPECT_EQ((std::vector<int>{9}), mac_query_types());
        node *prop = get_node(tag_at(r.group + "/PermanentMACAddress", VEXO_NODE_PROPERTY));
        ASSERT_NE(nullptr, prop);
        EXPECT_STREQ(r.factory, prop->u.prop->val);
    }
    // The configured MACs outlive a reboot of the adapters.
    ASSERT_EQ(0, VEXO_exit());
    std::string err;
    ASSERT_TRUE(hlvdsim::reboot_adapters(host_.root(), "", nullptr, &err)) << err;
    ASSERT_EQ(0, VEXO_init());
    for (const auto &r : rows)
        EXPECT_EQ(r.factory, value_at(r.group + "/PermanentMACAddress")) << r.group;
}

TEST_F(FactoryMacs, ResetMacAddressFailures)
{
    // A function the type-9 answer has no entry for.
    clear_log(host_.root());
    EXPECT_EQ(VEXO_STATUS_FAILURE, reset(nic(3, 9)));
    EXPECT_EQ(VEXO_STATUS_MAC_QUERY_SEEPROM, last_status().first);
    for (const nlohmann::json &e : fw_entries(host_.root()))
        EXPECT_NE(82, e.value("opcode", 0)) << "a configured MAC was written";

    const struct {
        int opcode;
        std::string group;
        VEXO_status_t status;
    } rows[] = {
        {1, nic(4, 0), VEXO_STATUS_MAC_QUERY_SEEPROM},
        {1, iscsi_config(4, 2), VEXO_STATUS_MAC_QUERY_SEEPROM},
        {165, nic(4, 0), VEXO_STATUS_SET_LAST_MAC},
        {82, nic(3, 1), VEXO_STATUS_SET_LAST_MAC},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.group + " opcode " + std::to_string(r.opcode));
        std::string before = value_at(r.group + "/PermanentMACAddress");
        hlvdsim::fault_clear(host_.root());
        plan_status(host_.root(), 1, r.opcode, 66);
        EXPECT_EQ(VEXO_STATUS_FAILURE, reset(r.group));
        EXPECT_EQ(r.status, last_status().first);
        hlvdsim::fault_clear(host_.root());
        EXPECT_EQ(before, value_at(r.group + "/PermanentMACAddress"));
    }
}

TEST_F(FactoryMacs, VolatileMacReadWrittenAndUnchangedWriteSendsNothing)
{
    std::string boot = nic(5, 0) + "/NetworkBootConfiguration/VolatileMACAddress";
    EXPECT_EQ("00-00-c9-c4-00-30", value_at(boot));

    clear_log(host_.root());
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(boot, "02:AA:BB:CC:DD:EE"));
    std::vector<nlohmann::json> sent = fw_entries(host_.root());
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(21, sent[0].value("subsystem", 0));
    EXPECT_EQ(4, sent[0].value("opcode", 0));
    EXPECT_EQ("nic", sent[0].value("driver", ""));
    std::vector<uint8_t> p = hex_bytes(sent[0].value("payload", ""));
    EXPECT_EQ(0x80000001u, le32(p, 0));
    EXPECT_EQ((std::vector<uint8_t>{0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE}), std::vector<uint8_t>(p.begin() + 4, p.begin() + 10));
    for (size_t i = 10; i < 48; ++i)
        EXPECT_EQ(0, p[i]) << "byte " << i;
    EXPECT_EQ("02-aa-bb-cc-dd-ee", value_at(boot));

    // The text it already has, in another case: nothing is sent.
    clear_log(host_.root());
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set_at(boot, "02-AA-BB-CC-DD-EE"));
    EXPECT_TRUE(fw_entries(host_.root()).empty());
}

TEST_F(FactoryMacs, VolatileMacRefusals)
{
    const struct {
        std::string property;
        const char *value;
        int fail_opcode; // 0: none planned
        VEXO_status_t status;
        bool sends;
    } rows[] = {
        {nic(3, 1) + "/NetworkBootConfiguration/VolatileMACAddress", "02:00:00:00:00:01", 0,
         VEXO_STATUS_OPERATION_NOT_SUPPORTED, false},
        {nic(4, 0) + "/NetworkBootConfiguration/VolatileMACAddress", "02:00:00:00:00::1", 0,
         VEXO_STATUS_API_INVALID_VALUE, false},
        {nic(4, 0) + "/NetworkBootConfiguration/VolatileMACAddress", "02:00:00:00:00:01", 4,
         VEXO_STATUS_SET_VOLATILE_MAC_FAILED, true},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.property);
        hlvdsim::fault_clear(host_.root());
        if (r.fail_opcode)
            plan_status(host_.root(), 21, r.fail_opcode, 66);
        clear_log(host_.root());
        EXPECT_EQ(VEXO_STATUS_FAILURE, set_at(r.property, r.value));
        EXPECT_EQ(r.status, last_status().first);
        EXPECT_EQ(r.sends, !fw_entries(host_.root()).empty());
    }
    hlvdsim::fault_clear(host_.root());
    // A failed read is a failure, not a stale answer.
    plan_status(host_.root(), 21, 4, 66);
    EXPECT_EQ("error 1", value_at(nic(4, 0) + "/NetworkBootConfiguration/VolatileMACAddress"));
    hlvdsim::fault_clear(host_.root());
}

// A Trelmont with a configured profile: port 0 holds functions 0x0 and 0x2,
// port 1 function 0x1.
const char kProfile[] = R"({
  "adapters": [
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLVM001",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "max_pf_count": 4, "active_profile": 5,
      "profiles": [ { "id": 5, "description": "NIC", "caps": ["nic"], "counts": { "nic": 3 } } ],
      "ports": [ { "mc_type": 9 }, { "mc_type": 9 } ],
      "functions": [
        { "bus": 7, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE820", "mac": "00:00:C9:E1:00:50" },
        { "bus": 7, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 1,
          "subvendor": "0x10DF", "subdevice": "0xE820", "mac": "00:00:C9:E1:00:51" },
        { "bus": 7, "function": 2, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE820", "mac": "00:00:C9:E1:00:52" } ] }
  ]
})";

// A NIC region: the 16-byte header counting `tlvs`, then the TLVs.
std::vector<uint8_t> region(const std::vector<uint8_t> &tlvs, uint32_t length)
{
    std::vector<uint8_t> r(16, 0);
    r[4] = static_cast<uint8_t>(length);
    r[5] = static_cast<uint8_t>(length >> 8);
    r.insert(r.end(), tlvs.begin(), tlvs.end());
    return r;
}

std::vector<uint8_t> mac_tlv(uint8_t type, uint8_t status, std::vector<uint8_t> mac)
{
    std::vector<uint8_t> t{type, 7, 0, status};
    t.insert(t.end(), mac.begin(), mac.end());
    return t;
}

std::vector<uint8_t> cat(std::vector<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> out;
    for (const auto &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

class VirtualMacReset : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        adapter_ = adapter_path("TRLVM001");
        ASSERT_FALSE(adapter_.empty());
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }
    std::string fn(int port, int inst)
    {
        return adapter_ + "/ProfileManagement/ConfiguredProfile/Port" + std::to_string(port) + "/Function" +
               std::to_string(inst);
    }
    void put(const std::string &name, const std::vector<uint8_t> &data)
    {
        ASSERT_TRUE(hlvdsim::object_put(host_.root(), "trelmont", name, data));
    }
    std::vector<uint8_t> get(const std::string &name)
    {
        std::vector<uint8_t> out;
        hlvdsim::object_contents(host_.root(), "trelmont", name, out);
        return out;
    }
    int reset(char flag)
    {
        node *a = get_node(tag_at(adapter_, VEXO_NODE_GROUP));
        EXPECT_NE(nullptr, a);
        return VEXO_reset_virt_mac(a, flag);
    }

    SimHost host_{kProfile};
    std::string adapter_;
    int start_ = 0;
};

TEST_F(VirtualMacReset, ConfiguredFunctionMacComesFromTheMacListOfThatFunction)
{
    clear_log(host_.root());
    ASSERT_TRUE(tag_at(fn(0, 1), VEXO_NODE_GROUP) >= 0);
    std::string number = value_at(fn(0, 1) + "/FunctionNumber");
    EXPECT_EQ("00-00-c9-e1-00-52", value_at(fn(0, 1) + "/MACAddress")) << "FunctionNumber " << number;
    std::vector<nlohmann::json> sent = fw_entries(host_.root());
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(147, sent[0].value("opcode", 0));
    EXPECT_EQ(3, sent[0].value("pf", 0)) << "function number plus one";
    std::vector<uint8_t> p = hex_bytes(sent[0].value("payload", ""));
    EXPECT_EQ(9, p[0]);
    EXPECT_EQ(1, p[1]);

    hlvdsim::fault_clear(host_.root());
    plan_status(host_.root(), 1, 147, 66);
    EXPECT_EQ("error 1", value_at(fn(0, 1) + "/MACAddress"));
    EXPECT_EQ(VEXO_STATUS_MAC_QUERY, last_status().first);
    hlvdsim::fault_clear(host_.root());
}

TEST_F(VirtualMacReset, RegionMacsTakeTheFunctionMac)
{
    // Refresh the functions' MACAddress values.
    ASSERT_EQ("00-00-c9-e1-00-50", value_at(fn(0, 0) + "/MACAddress"));
    ASSERT_EQ("00-00-c9-e1-00-52", value_at(fn(0, 1) + "/MACAddress"));
    ASSERT_EQ("00-00-c9-e1-00-51", value_at(fn(1, 0) + "/MACAddress"));
    const std::vector<uint8_t> other{0x10, 2, 0, 0xAB, 0xCD};
    // Port 0, partition 1: a stale NIC MAC, another TLV, an iSCSI MAC that
    // already matches.
    put("/nicdata/Port0/Partition1/Region1",
        region(cat({mac_tlv(0x20, 0, {2, 9, 9, 9, 9, 9}), other, mac_tlv(0x21, 0, {0, 0, 0xC9, 0xE1, 0, 0x50})}),
               10 + 5 + 10));
    // Port 0, partition 2: an FCoE MAC; port 1 partition 1 an empty region.
    put("/nicdata/Port0/Partition2/Region1", region(mac_tlv(0x22, 0, {2, 8, 8, 8, 8, 8}), 10));
    put("/nicdata/Port1/Partition1/Region1", region({}, 0));

    clear_log(host_.root());
    EXPECT_EQ(0, reset(0));
    EXPECT_EQ(region(cat({mac_tlv(0x20, 1, {0, 0, 0xC9, 0xE1, 0, 0x50}), other,
                          mac_tlv(0x21, 0, {0, 0, 0xC9, 0xE1, 0, 0x50})}),
                     25),
              get("/nicdata/Port0/Partition1/Region1"));
    EXPECT_EQ(region(mac_tlv(0x22, 1, {0, 0, 0xC9, 0xE1, 0, 0x52}), 10), get("/nicdata/Port0/Partition2/Region1"));
    // Two regions written back; the empty one only read.
    int reads = 0, writes = 0;
    for (const nlohmann::json &e : fw_entries(host_.root())) {
        reads += e.value("opcode", 0) == 171;
        writes += e.value("opcode", 0) == 172;
        EXPECT_EQ("nic", e.value("driver", ""));
    }
    EXPECT_EQ(3, reads);
    EXPECT_EQ(2, writes);
}

TEST_F(VirtualMacReset, VirtualModeLeavesTheFirstFunctionOfEachPort)
{
    value_at(fn(0, 0) + "/MACAddress");
    value_at(fn(0, 1) + "/MACAddress");
    std::vector<uint8_t> stale = region(mac_tlv(0x20, 0, {2, 9, 9, 9, 9, 9}), 10);
    put("/nicdata/Port0/Partition1/Region1", stale);
    put("/nicdata/Port0/Partition2/Region1", stale);
    EXPECT_EQ(0, reset(1));
    EXPECT_EQ(stale, get("/nicdata/Port0/Partition1/Region1"));
    EXPECT_EQ(region(mac_tlv(0x20, 1, {0, 0, 0xC9, 0xE1, 0, 0x52}), 10), get("/nicdata/Port0/Partition2/Region1"));
}

TEST_F(VirtualMacReset, TlvLengthsStayInsideTheRegion)
{
    value_at(fn(0, 0) + "/MACAddress");
    // The header counts more bytes than the object holds, and the last TLV
    // claims more than is left: the walk stops inside the copy, and a region
    // whose header overstates it is not written back.
    std::vector<uint8_t> overstated = region(cat({mac_tlv(0x20, 0, {2, 9, 9, 9, 9, 9}), {0x21, 0xFF, 0xFF, 0}}), 400);
    put("/nicdata/Port0/Partition1/Region1", overstated);
    EXPECT_EQ(1, reset(0)) << "the refused write of the last region written";
    EXPECT_EQ(overstated, get("/nicdata/Port0/Partition1/Region1"));
    // A short MAC TLV at the end of a sound region is left alone.
    std::vector<uint8_t> cut = region({0x20, 2, 0, 0, 9}, 5);
    put("/nicdata/Port0/Partition1/Region1", cut);
    reset(0);
    EXPECT_EQ(cut, get("/nicdata/Port0/Partition1/Region1"));
}

TEST_F(VirtualMacReset, FailedWriteGivesOne)
{
    value_at(fn(0, 1) + "/MACAddress");
    put("/nicdata/Port0/Partition2/Region1", region(mac_tlv(0x20, 0, {2, 9, 9, 9, 9, 9}), 10));
    plan_status(host_.root(), 1, 172, 66);
    EXPECT_EQ(1, reset(1));
    hlvdsim::fault_clear(host_.root());
    EXPECT_EQ(0, reset(1));
}

} // namespace
