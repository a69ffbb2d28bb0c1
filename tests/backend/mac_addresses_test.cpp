// MAC address properties of NIC and iSCSI functions through the management
// API on simulated adapters of every generation: the current MAC, the
// configured MAC read from the profile configuration (or the legacy record
// on AW2), its writes, their refusals and the firmware's failures.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/command_log.h"
#include "sim/fault_plan.h"
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

std::vector<uint8_t> bytes_of(const std::string &hex)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
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
    EXPECT_EQ(0u, le32(bytes_of(sent[0].value("payload", "")), 0));
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
    EXPECT_EQ(2u << 8, le32(bytes_of(sent[0].value("payload", "")), 0));
    EXPECT_EQ(165, sent[1].value("opcode", 0));
    EXPECT_EQ(1, sent[1].value("version", 0));
    EXPECT_EQ(184, sent[1].value("request_length", 0));
    std::vector<uint8_t> p = bytes_of(sent[1].value("payload", ""));
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
    std::vector<uint8_t> p = bytes_of(sent[1].value("payload", ""));
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

} // namespace
