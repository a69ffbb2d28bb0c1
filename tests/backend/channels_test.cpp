// Channels of a port and the adapter's channel management on simulated
// adapters: the channel properties read from and written to the profile
// configuration, the multichannel modes that decide which configuration and
// whether a write is immediate, the QoS and channel-management actions, and
// what a channel without a descriptor does (reads keep the cached value,
// writes send nothing).
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/channel_management.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

// AW3 (adapter 0): port 0 holds NIC 0x0, iSCSI 0x2 and FCoE 0x3, port 1
// holds NIC 0x1 whose bandwidths are 0; both ports run NPAR. Trelmont
// (adapter 1): NIC 0x0 and iSCSI 0x1 on port 0 in NPAR. AW2 (adapter 2).
const char kMachine[] = R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3CH1", "capabilities": 89,
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "ports": [ { "mc_type": 5 }, { "mc_type": 5 } ],
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "mac": "00:00:C9:B3:00:20", "vlan_id": 100, "bw_min": 10, "bw_max": 60, "channel_id": 7,
          "vnic_name": "vnic-a" },
        { "bus": 4, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 1,
          "mac": "00:00:C9:B3:00:21", "vlan_id": 5 },
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22", "bw_min": 20, "bw_max": 50, "lld": true },
        { "bus": 4, "function": 3, "kind": "fcoe", "vendor": "0x19A2", "device_id": "0x0714", "port": 0,
          "mac": "00:00:C9:B3:00:23", "bw_min": 30, "bw_max": 70 }
      ] },
    { "name": "trl", "family": "converged", "generation": "Trelmont", "serial": "TRLCH1",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "max_pf_count": 4, "active_profile": 5, "capabilities": 520,
      "profiles": [ { "id": 5, "description": "NIC iSCSI", "caps": ["nic", "iscsi"] } ],
      "ports": [ { "mc_type": 5 } ],
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:30", "vlan_id": 12, "bw_min": 25, "bw_max": 75 },
        { "bus": 5, "function": 1, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0722", "port": 0,
          "mac": "00:00:C9:C4:00:31", "bw_min": 15, "bw_max": 40 }
      ] },
    { "name": "aw2", "family": "converged", "generation": "AW2", "serial": "AW2CH1", "capabilities": 41,
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.1" },
      "functions": [
        { "bus": 3, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 0,
          "mac": "00:00:C9:A2:00:10" } ] }
  ]
})";

const int kAw3 = 0;
const int kTrl = 1;

// The outcome of a write or an action: its result and the last status.
struct Outcome {
    VEXO_status_t result;
    VEXO_status_t status;
};

// A little-endian word of a logged command's payload (its hex dump holds
// the first 64 bytes).
uint32_t payload_word(const nlohmann::json &entry, size_t offset)
{
    std::string hex = entry.value("payload", "");
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) {
        size_t at = (offset + i) * 2;
        if (at + 2 > hex.size())
            return 0xDEADBEEF;
        v |= static_cast<uint32_t>(std::stoul(hex.substr(at, 2), nullptr, 16)) << (8 * i);
    }
    return v;
}

// Fields of a one-descriptor write: the descriptor starts at byte 8.
const size_t kDesc = 8;
const uint32_t kImmediate = 1u << 30;
const uint32_t kVlanValid = 1u << 26;
const uint32_t kLldValid = 1u << 23;
const uint32_t kMacValid = 1u << 25;
const uint32_t kLld = 1u << 9;

class Channels : public ::testing::Test {
protected:
    void SetUp() override
    {
        host_.reset(); // the old host goes first: its destructor clears the sysroot setting
        host_ = std::make_unique<SimHost>(kMachine);
        counter_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        aw3_ = adapter_path("AW3CH1");
        trl_ = adapter_path("TRLCH1");
        aw2_ = adapter_path("AW2CH1");
        ASSERT_FALSE(aw3_.empty());
        ASSERT_FALSE(trl_.empty());
        ASSERT_FALSE(aw2_.empty());
    }
    void TearDown() override
    {
        while (vexo_client_count > 0)
            EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(counter_, vexo_counter) << "counted memory left behind";
    }
    const std::string &root() const { return host_->root(); }

    std::string cm(const std::string &adapter, int port) const
    {
        return adapter + "/PortDiscoveryAndConfiguration" + std::to_string(port) + "/ChannelManagement";
    }
    // The Channel of `adapter`'s port whose FunctionNumber is `function`.
    std::string channel(const std::string &adapter, int port, const std::string &function)
    {
        for (int i = 0; i < 16; ++i) {
            std::string c = cm(adapter, port) + "/Channel" + std::to_string(i);
            if (value_at(c + "/FunctionNumber") == function)
                return c;
        }
        ADD_FAILURE() << "no channel " << function << " on port " << port;
        return "none";
    }

    // A new start on the same machine (the profile tree is built at start).
    void restart()
    {
        while (vexo_client_count > 0)
            ASSERT_EQ(0, VEXO_exit());
        ASSERT_EQ(0, VEXO_init());
    }

    Outcome set(const std::string &path, const std::string &value)
    {
        Outcome o;
        o.result = set_at(path, value);
        o.status = last_status().first;
        return o;
    }

    Outcome action(const std::string &group, const char *name, std::vector<const char *> given)
    {
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params);
        for (size_t i = 0; i < given.size(); ++i)
            if (given[i])
                std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", given[i]);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        Outcome o;
        o.result = VEXO_do_action(tag_at(group, VEXO_NODE_GROUP), tag_at(group + "/" + name, VEXO_NODE_ACTION),
                                  params, tags.data());
        o.status = last_status().first;
        return o;
    }
    Outcome qos(const std::string &channel_path, const char *min, const char *max)
    {
        return action(channel_path, "ConfigureQoS", {min, max});
    }

    // The profile writes (1/165) of the command log.
    std::vector<nlohmann::json> writes()
    {
        std::vector<nlohmann::json> out;
        for (const nlohmann::json &e : fw_entries(root()))
            if (e.value("subsystem", -1) == 1 && e.value("opcode", -1) == 165)
                out.push_back(e);
        return out;
    }

    // The running and configured multichannel type of every port of an
    // adapter, as the firmware keeps them.
    void set_modes(int adapter, int current, int configured)
    {
        set_adapter_field(root(), adapter, "ports",
                          nlohmann::json::array({{{"mc_type", current}}, {{"mc_type", current}}}));
        if (configured != current) {
            std::string cmg = (adapter == kAw3 ? aw3_ : trl_) + "/ChannelManagement";
            const char *name = configured == 4 ? "vNIC1" : (configured == 6 ? "UFP" : "NPAR");
            ASSERT_EQ(VEXO_STATUS_SUCCESS, action(cmg, "ConfigureChannelManagement", {"Enabled", name}).result);
        }
    }

    std::unique_ptr<SimHost> host_;
    int counter_ = 0;
    std::string aw3_, trl_, aw2_;
};

TEST_F(Channels, ChannelPropertiesReadFromTheProfile)
{
    const struct {
        const char *adapter;
        int port;
        const char *function, *type, *state, *lpvid, *outer, *min, *max;
    } rows[] = {
        // NPAR: outer VLAN ids are not shown; LPVID only on NIC channels.
        {"AW3CH1", 0, "0x0", "NIC", "Enabled", "100", "N/A", "10", "60"},
        {"AW3CH1", 0, "0x2", "iSCSI", "Disabled", "N/A", "N/A", "20", "50"},
        {"AW3CH1", 0, "0x3", "FCOE", "Enabled", "N/A", "N/A", "30", "70"},
        {"AW3CH1", 1, "0x1", "NIC", "Enabled", "5", "N/A", "0", "0"},
        {"TRLCH1", 0, "0x0", "NIC", "Enabled", "12", "N/A", "25", "75"},
        {"TRLCH1", 0, "0x1", "iSCSI", "Enabled", "N/A", "N/A", "15", "40"},
    };
    for (const auto &r : rows) {
        std::string c = channel(adapter_path(r.adapter), r.port, r.function);
        SCOPED_TRACE(c);
        EXPECT_EQ(r.type, value_at(c + "/Type"));
        EXPECT_EQ(r.state, value_at(c + "/LogicalLinkState"));
        EXPECT_EQ(r.lpvid, value_at(c + "/LPVID"));
        EXPECT_EQ(r.outer, value_at(c + "/OuterVLANID"));
        EXPECT_EQ(r.min, value_at(c + "/MinBandWidth"));
        EXPECT_EQ(r.max, value_at(c + "/MaxBandWidth"));
    }
}

// The channel cases: each row sets the machine up, acts, and checks.
TEST_F(Channels, ChannelCases)
{
    struct Row {
        const char *name;
        std::function<void()> run;
    };
    const Row rows[] = {
        {"a channel without a descriptor keeps its cached values and its writes send nothing",
         [&] {
             std::string c = channel(aw3_, 0, "0x0");
             ASSERT_EQ("60", value_at(c + "/MaxBandWidth"));
             // Function 0 turns into an iSCSI function: no NIC descriptor
             // is left for the channel.
             nlohmann::json fns = nlohmann::json::parse(kMachine)["adapters"][kAw3]["functions"];
             fns[0]["kind"] = "iscsi";
             set_adapter_field(root(), kAw3, "functions", fns);
             EXPECT_EQ("60", value_at(c + "/MaxBandWidth"));
             EXPECT_EQ("100", value_at(c + "/LPVID"));
             clear_log(root());
             Outcome lpvid = set(c + "/LPVID", "300");
             EXPECT_NE(VEXO_STATUS_SUCCESS, lpvid.result);
             EXPECT_EQ(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED, lpvid.status);
             Outcome link = set(c + "/LogicalLinkState", "Disabled");
             EXPECT_NE(VEXO_STATUS_SUCCESS, link.result);
             EXPECT_EQ(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED, link.status);
             Outcome q = qos(c, "10", "20");
             EXPECT_EQ(VEXO_STATUS_FAILURE, q.result);
             EXPECT_EQ(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED, q.status);
             EXPECT_TRUE(writes().empty());
             EXPECT_EQ("100", value_at(c + "/LPVID"));
             EXPECT_EQ("Enabled", value_at(c + "/LogicalLinkState"));
         }},
        {"disabling a NIC channel's link re-sends its LPVID, immediately under a running mode",
         [&] {
             std::string c = channel(aw3_, 0, "0x0");
             clear_log(root());
             Outcome o = set(c + "/LogicalLinkState", "Disabled");
             ASSERT_EQ(VEXO_STATUS_SUCCESS, o.result);
             auto w = writes();
             ASSERT_EQ(1u, w.size());
             uint32_t word0 = payload_word(w[0], kDesc);
             EXPECT_EQ(0x5851u, word0 & 0xFFFF);
             EXPECT_EQ(kLldValid | kVlanValid | kImmediate, word0 & (kLldValid | kVlanValid | kImmediate | kMacValid));
             EXPECT_EQ(100u, payload_word(w[0], kDesc + 36) & 0xFFFF);
             uint32_t link = payload_word(w[0], kDesc + 44);
             EXPECT_EQ(kLld, link & kLld);
             EXPECT_EQ(0xFu, link >> 28) << "channel_id_type";
             EXPECT_EQ(0xFFFFFFFFu, payload_word(w[0], kDesc + 48)) << "bandwidths kept";
             EXPECT_EQ("Disabled", value_at(c + "/LogicalLinkState"));
             EXPECT_EQ("100", value_at(c + "/LPVID"));
         }},
        {"an LPVID write on a NIC channel whose bandwidths read 0 disables its link",
         [&] {
             std::string c = channel(aw3_, 1, "0x1");
             clear_log(root());
             ASSERT_EQ(VEXO_STATUS_SUCCESS, set(c + "/LPVID", "300").result);
             auto w = writes();
             ASSERT_EQ(1u, w.size());
             EXPECT_EQ(kLldValid | kVlanValid, payload_word(w[0], kDesc) & (kLldValid | kVlanValid));
             EXPECT_EQ(300u, payload_word(w[0], kDesc + 36) & 0xFFFF);
             EXPECT_EQ(1u, payload_word(w[0], kDesc + 44) & 0x3F) << "link_number is the channel's port";
             EXPECT_EQ(kLld, payload_word(w[0], kDesc + 44) & kLld);
             EXPECT_EQ("300", value_at(c + "/LPVID"));
             EXPECT_EQ("Disabled", value_at(c + "/LogicalLinkState"));
         }},
        {"an LPVID write on a NIC channel with bandwidth keeps its link up",
         [&] {
             std::string c = channel(trl_, 0, "0x0");
             ASSERT_EQ(VEXO_STATUS_SUCCESS, set(c + "/LPVID", "42").result);
             EXPECT_EQ("42", value_at(c + "/LPVID"));
             EXPECT_EQ("Enabled", value_at(c + "/LogicalLinkState"));
         }},
        {"LPVID of iSCSI and FCoE channels reads N/A and cannot be set",
         [&] {
             for (const char *f : {"0x2", "0x3"}) {
                 std::string c = channel(aw3_, 0, f);
                 EXPECT_EQ("N/A", value_at(c + "/LPVID"));
                 clear_log(root());
                 Outcome o = set(c + "/LPVID", "300");
                 EXPECT_NE(VEXO_STATUS_SUCCESS, o.result);
                 EXPECT_EQ(VEXO_STATUS_CONF_LPVID_NOT_SUPPORTTED, o.status);
                 EXPECT_TRUE(writes().empty());
             }
         }},
        {"iSCSI and FCoE link states are written and read back",
         [&] {
             const struct {
                 const char *function, *value;
             } cases[] = {{"0x2", "Enabled"}, {"0x3", "Disabled"}};
             for (const auto &k : cases) {
                 std::string c = channel(aw3_, 0, k.function);
                 ASSERT_EQ(VEXO_STATUS_SUCCESS, set(c + "/LogicalLinkState", k.value).result) << k.function;
                 EXPECT_EQ(k.value, value_at(c + "/LogicalLinkState")) << k.function;
             }
         }},
        {"LPVID 0 and 1 are refused outside vNIC1",
         [&] {
             std::string c = channel(aw3_, 0, "0x0");
             clear_log(root());
             for (const char *v : {"0", "1"}) {
                 Outcome o = set(c + "/LPVID", v);
                 EXPECT_NE(VEXO_STATUS_SUCCESS, o.result);
                 EXPECT_EQ(VEXO_STATUS_INVALID_LPVID_RANGE, o.status);
             }
             EXPECT_TRUE(writes().empty());
             EXPECT_EQ(VEXO_STATUS_SUCCESS, set(c + "/LPVID", "2").result);
         }},
        {"under a configured UFP mode LPVID reads N/A and the outer VLAN comes from the active profile",
         [&] {
             set_modes(kAw3, 6, 6);
             std::string c = channel(aw3_, 0, "0x0");
             EXPECT_EQ("N/A", value_at(c + "/LPVID"));
             EXPECT_EQ("7", value_at(c + "/OuterVLANID"));
             EXPECT_EQ("N/A", value_at(channel(aw3_, 0, "0x2") + "/OuterVLANID"));
             EXPECT_NE(VEXO_STATUS_SUCCESS, set(c + "/LPVID", "300").result);
             EXPECT_EQ("vnic-a", value_at(c + "/vNICName"));
             EXPECT_EQ("", value_at(channel(aw3_, 0, "0x2") + "/vNICName"));
             EXPECT_EQ("", value_at(channel(aw3_, 0, "0x3") + "/vNICName"));
         }},
        {"without a running mode channel writes are not immediate, and without a configured one refused",
         [&] {
             set_modes(kAw3, 1, 1);
             std::string c = channel(aw3_, 0, "0x0");
             clear_log(root());
             ASSERT_EQ(VEXO_STATUS_SUCCESS, set(c + "/LogicalLinkState", "Disabled").result);
             auto w = writes();
             ASSERT_EQ(1u, w.size());
             EXPECT_EQ(0u, payload_word(w[0], kDesc) & kImmediate);
             Outcome o = set(c + "/LPVID", "300");
             EXPECT_NE(VEXO_STATUS_SUCCESS, o.result);
             EXPECT_EQ(VEXO_STATUS_SETTING_CHANNEL_PARAM_NOT_SUPPORTED, o.status);
         }},
        {"a Trelmont port waiting for a reboot writes without immediate",
         [&] {
             std::string c = channel(trl_, 0, "0x1");
             set_adapter_field(root(), kTrl, "reset_needed", 1);
             clear_log(root());
             ASSERT_EQ(VEXO_STATUS_SUCCESS, set(c + "/LogicalLinkState", "Disabled").result);
             auto w = writes();
             ASSERT_EQ(1u, w.size());
             EXPECT_EQ(0u, payload_word(w[0], kDesc) & kImmediate);
             EXPECT_EQ(0x5852u, payload_word(w[0], kDesc) & 0xFFFF);
             EXPECT_EQ("Disabled", value_at(c + "/LogicalLinkState"));
         }},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        // Each case on a fresh machine.
        TearDown();
        SetUp();
        r.run();
    }
}

// The channel-management and QoS cases.
TEST_F(Channels, ChannelManagementAndQosCases)
{
    struct Row {
        const char *name;
        std::function<void()> run;
    };
    const Row rows[] = {
        {"equal bandwidths pass; a minimum above the maximum is refused",
         [&] {
             std::string c = channel(aw3_, 0, "0x0");
             clear_log(root());
             Outcome bad = qos(c, "50", "40");
             EXPECT_EQ(VEXO_STATUS_FAILURE, bad.result);
             EXPECT_EQ(VEXO_STATUS_MIN_BW_GRT_THAN_MAX_BW, bad.status);
             EXPECT_TRUE(writes().empty());
             ASSERT_EQ(VEXO_STATUS_SUCCESS, qos(c, "40", "40").result);
             auto w = writes();
             ASSERT_EQ(1u, w.size());
             uint32_t word0 = payload_word(w[0], kDesc);
             EXPECT_EQ(kVlanValid | kImmediate, word0 & (kVlanValid | kImmediate | kMacValid | (1u << 28)));
             EXPECT_EQ(100u, payload_word(w[0], kDesc + 36) & 0xFFFF);
             EXPECT_EQ(40u, payload_word(w[0], kDesc + 48));
             EXPECT_EQ(40u, payload_word(w[0], kDesc + 52));
             EXPECT_EQ("40", value_at(c + "/MinBandWidth"));
             EXPECT_EQ("40", value_at(c + "/MaxBandWidth"));
         }},
        {"iSCSI, FCoE and Trelmont bandwidths are written and read back",
         [&] {
             const struct {
                 std::string adapter;
                 const char *function, *min, *max;
             } cases[] = {{aw3_, "0x2", "5", "95"}, {aw3_, "0x3", "0", "100"}, {trl_, "0x1", "33", "66"}};
             for (const auto &k : cases) {
                 std::string c = channel(k.adapter, 0, k.function);
                 ASSERT_EQ(VEXO_STATUS_SUCCESS, qos(c, k.min, k.max).result) << c;
                 EXPECT_EQ(k.min, value_at(c + "/MinBandWidth")) << c;
                 EXPECT_EQ(k.max, value_at(c + "/MaxBandWidth")) << c;
             }
         }},
        {"a configured vNIC1 or UFP mode answers 285 as the result",
         [&] {
             for (int mode : {4, 6}) {
                 TearDown();
                 SetUp();
                 set_modes(kAw3, 5, mode);
                 clear_log(root());
                 Outcome o = qos(channel(aw3_, 0, "0x0"), "10", "20");
                 EXPECT_EQ(VEXO_STATUS_CONF_CHANNEL_PARAM_NOT_SUPPORTTED, o.result) << mode;
                 EXPECT_EQ(VEXO_STATUS_CONF_CHANNEL_PARAM_NOT_SUPPORTTED, o.status) << mode;
                 EXPECT_TRUE(writes().empty());
             }
         }},
        {"no configured mode refuses QoS",
         [&] {
             set_modes(kTrl, 1, 1);
             restart();
             Outcome o = qos(channel(trl_, 0, "0x0"), "10", "20");
             EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
             EXPECT_EQ(VEXO_STATUS_SETTING_CHANNEL_PARAM_NOT_SUPPORTED, o.status);
         }},
        {"disabling channel management writes mc_type 1 whatever ChannelType says",
         [&] {
             clear_log(root());
             Outcome o = action(aw3_ + "/ChannelManagement", "ConfigureChannelManagement", {"Disabled", "UFP"});
             ASSERT_EQ(VEXO_STATUS_SUCCESS, o.result);
             EXPECT_EQ(VEXO_STATUS_MULTI_CHANNEL_STATE_CHANGE, o.status);
             auto w = writes();
             ASSERT_EQ(1u, w.size());
             EXPECT_EQ(0x5855u, payload_word(w[0], kDesc));
             EXPECT_EQ(0x100u, payload_word(w[0], kDesc + 4));
             EXPECT_EQ("N/A", value_at(aw3_ + "/ChannelManagement/ConfiguredManagementType"));
             EXPECT_EQ("NPAR", value_at(aw3_ + "/ChannelManagement/CurrentManagementType"));
             // The channels were rebuilt.
             EXPECT_EQ("0x0", value_at(cm(aw3_, 0) + "/Channel0/FunctionNumber"));
         }},
        {"enabling a supported mode configures it; the type is needed and compared case-sensitively",
         [&] {
             std::string g = aw3_ + "/ChannelManagement";
             clear_log(root());
             const struct {
                 const char *type;
                 VEXO_status_t status;
             } refused[] = {{nullptr, VEXO_STATUS_CHANNEL_TYPE_REQURIED},
                            {"vnic1", VEXO_STATUS_MCTYPES_NOT_SUPPORTED},
                            {"vNIC2", VEXO_STATUS_MCTYPES_NOT_SUPPORTED}};
             for (const auto &k : refused) {
                 Outcome o = action(g, "ConfigureChannelManagement", {"Enabled", k.type});
                 EXPECT_EQ(VEXO_STATUS_FAILURE, o.result) << (k.type ? k.type : "(none)");
                 EXPECT_EQ(k.status, o.status) << (k.type ? k.type : "(none)");
             }
             EXPECT_TRUE(writes().empty());
             ASSERT_EQ(VEXO_STATUS_SUCCESS, action(g, "ConfigureChannelManagement", {"Enabled", "UFP"}).result);
             EXPECT_EQ(0x600u, payload_word(writes().at(0), kDesc + 4));
             EXPECT_EQ("UFP", value_at(g + "/ConfiguredManagementType"));
             EXPECT_EQ("NPAR", value_at(g + "/CurrentManagementType"));
         }},
        {"only the AW3 switches channel management; the others read N/A",
         [&] {
             for (const std::string &a : {trl_, aw2_}) {
                 std::string g = a + "/ChannelManagement";
                 Outcome o = action(g, "ConfigureChannelManagement", {"Enabled", "NPAR"});
                 EXPECT_EQ(VEXO_STATUS_FAILURE, o.result) << a;
                 EXPECT_EQ(VEXO_STATUS_MULTI_CHANNEL_NOT_SUPPORTED, o.status) << a;
                 EXPECT_EQ("N/A", value_at(g + "/CurrentManagementType")) << a;
                 EXPECT_EQ("N/A", value_at(g + "/ConfiguredManagementType")) << a;
             }
             EXPECT_EQ("N/A", value_at(aw2_ + "/ChannelManagement/SupportedMCTypes"));
         }},
        {"supported modes follow the capability bits",
         [&] {
             const struct {
                 int caps;
                 const char *text;
             } cases[] = {{89, "ZMR,NPAR,vNIC1,UFP"}, {0x21, "vNIC2"}, {0x29, "vNIC2,NPAR"}, {0, "N/A"}};
             for (const auto &k : cases) {
                 set_adapter_field(root(), kAw3, "capabilities", k.caps);
                 EXPECT_EQ(k.text, value_at(aw3_ + "/ChannelManagement/SupportedMCTypes")) << k.caps;
             }
             // No supported mode: no mode either.
             EXPECT_EQ("N/A", value_at(aw3_ + "/ChannelManagement/CurrentManagementType"));
         }},
        {"a port mode code above the known ones leaves the mode as it was",
         [&] {
             std::string p = aw3_ + "/ChannelManagement/CurrentManagementType";
             ASSERT_EQ("NPAR", value_at(p));
             for (int code : {8, 10}) {
                 set_adapter_field(root(), kAw3, "ports",
                                   nlohmann::json::array({{{"mc_type", code}}, {{"mc_type", code}}}));
                 EXPECT_EQ("NPAR", value_at(p)) << code;
             }
             set_adapter_field(root(), kAw3, "ports", nlohmann::json::array({{{"mc_type", 3}}, {{"mc_type", 3}}}));
             EXPECT_EQ("N/A", value_at(p));
         }},
        {"a failed write is a failure with 283 and changes nothing",
         [&] {
             std::string c = channel(aw3_, 0, "0x2");
             plan_status(root(), 1, 165, 2, 0);
             Outcome o = qos(c, "10", "20");
             EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
             EXPECT_EQ(VEXO_STATUS_SET_PROFILE_CONFIG_FAILED, o.status);
             EXPECT_EQ("20", value_at(c + "/MinBandWidth"));
         }},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        TearDown();
        SetUp();
        r.run();
    }
}

TEST_F(Channels, RefreshRebuildsThePortsChannels)
{
    std::string g = cm(aw3_, 0);
    nlohmann::json fns = nlohmann::json::parse(kMachine)["adapters"][kAw3]["functions"];
    fns[3]["port"] = 1; // the FCoE function moves to port 1
    set_adapter_field(root(), kAw3, "functions", fns);
    ASSERT_EQ(VEXO_STATUS_SUCCESS, VEXO_refresh_group(tag_at(g, VEXO_NODE_GROUP)));
    std::vector<std::string> functions;
    for (int i = 0; i < 16; ++i) {
        std::string f = value_at(g + "/Channel" + std::to_string(i) + "/FunctionNumber");
        if (f != "missing")
            functions.push_back(f);
    }
    EXPECT_EQ((std::vector<std::string>{"0x0", "0x2"}), functions);
}

} // namespace
