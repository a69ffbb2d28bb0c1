// LLDP local and peer configuration, LLDP counters, and the DCBX port
// variables, counters and mode of the ports of simulated Trelmont and Varrow
// adapters: what they show, what a write sends (and when it sends nothing),
// the statuses of failed commands, and what a virtual function is told.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "backend_fixture.h"
#include "sim/machine.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

const char kMachine[] = R"({
  "host": { "release": "VMware ESXi 6.7.0 build-8169922" },
  "adapters": [
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLLD0001",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "ports": [
        { "name": "A",
          "dcbx_mib": { "operating_version": 1, "max_version": 2, "sequence": 7, "ack": 6, "peer_sequence": 5,
                        "peer_ack": 4, "app_sequence": 3, "pg_sequence": 2, "pfc_sequence": 1, "tx": 100,
                        "rx": 90, "dropped": 3 },
          "dcbx_mode": 0,
          "lldp": {
            "local": { "admin_status": 3, "port_description_tx": 1, "system_name_tx": 0,
                       "system_description_tx": 1, "system_capabilities_tx": 1, "async_notification": 1,
                       "chassis_id": "00:00:c9:c4:00:30", "chassis_id_type": 4, "port_id": "eth0",
                       "port_id_type": 5, "ttl": 120, "system_name": "host1", "system_capabilities": "0x80" },
            "peer": { "chassis_id": "switch-7", "chassis_id_type": 4, "port_id": "00:11:22:33:44:55",
                      "port_id_type": 3, "ttl": 90, "system_name": "sw7", "system_description": "core switch",
                      "port_description": "Te1/0/7", "system_capabilities": "0x14" },
            "stats": { "tx": 11, "rx": 12, "dropped": 2, "unrecognized": 3, "org": 4 } } },
        { "name": "B", "dcbx_mode": 7, "lldp": { "peer": { "chassis_id_type": 9, "port_id_type": 0 } } }
      ],
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:30" },
        { "bus": 5, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 1,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:31" }
      ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWLD0001",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "ports": [ { "name": "V", "dcbx_mib": { "tx": 4242, "rx": 17, "dropped": 1, "operating_version": 2,
                                              "sequence": 9, "pfc_sequence": 8 } } ],
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE222", "mac": "00:00:C9:D5:00:40" }
      ] }
  ]
})";

const int kTrelmont = 0;

struct Outcome {
    VEXO_status_t result;
    VEXO_status_t status;
};

class Lldp : public ::testing::Test {
protected:
    void SetUp() override
    {
        host_ = std::make_unique<SimHost>(kMachine);
        counter_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        clear_log(root());
    }
    void TearDown() override
    {
        while (vexo_client_count > 0)
            EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(counter_, vexo_counter) << "counted memory left behind";
    }
    const std::string &root() const { return host_->root(); }

    std::string port(const char *serial = "TRLLD0001", int n = 0)
    {
        return adapter_path(serial) + "/PortDiscoveryAndConfiguration" + std::to_string(n);
    }

    Outcome set(const std::string &path, const std::string &value)
    {
        Outcome o;
        o.result = set_at(path, value);
        o.status = last_status().first;
        return o;
    }

    // The LLDP and DCBX commands of the log: "subsystem/opcode" and the
    // first payload bytes in hexadecimal.
    std::vector<std::pair<std::string, std::string>> sent()
    {
        std::vector<std::pair<std::string, std::string>> out;
        for (const nlohmann::json &e : fw_entries(root())) {
            int s = e.value("subsystem", -1);
            if (s == 15 || s == 16)
                out.emplace_back(std::to_string(s) + "/" + std::to_string(e.value("opcode", -1)),
                                 e.value("payload", std::string()).substr(0, 16));
        }
        return out;
    }

    // What the simulated firmware keeps of the port's LLDP switches.
    std::vector<int> lldp_local(int port_number = 0)
    {
        hlvdsim::Machine m;
        std::string err;
        EXPECT_TRUE(hlvdsim::load_machine(root(), m, &err)) << err;
        const nlohmann::json &a = m.doc.at("adapters").at(kTrelmont);
        std::string key = std::to_string(port_number);
        if (!a.contains("fw_state") || !a["fw_state"].contains("dcbx") || !a["fw_state"]["dcbx"].contains(key) ||
            !a["fw_state"]["dcbx"][key].contains("lldp_local"))
            return {};
        return a["fw_state"]["dcbx"][key]["lldp_local"].get<std::vector<int>>();
    }

    std::unique_ptr<SimHost> host_;
    int counter_ = 0;
};

TEST_F(Lldp, PropertiesShowTheFirmwareRecords)
{
    struct Case {
        std::string path; // below the Trelmont's port 0, or a full path
        const char *expected;
    };
    const std::string local = "LLDP/LocalConfiguration/";
    const std::string peer = "LLDP/PeerConfiguration/";
    const Case cases[] = {
        {local + "TxState", "Enabled"},
        {local + "RxState", "Enabled"},
        {local + "SystemNameTLV", "Disabled"},
        {local + "PortDescriptionTLV", "Enabled"},
        {local + "ChassisId", "00:00:c9:c4:00:30"},
        {local + "ChassisType", "MAC Address"},
        {local + "PortType", "Interface Name"},
        {local + "SystemCapabilities", "Station"},
        {local + "TTL", "120"},
        {peer + "ChassisType", "MAC Address"},
        {peer + "PortType", "MAC Address"},
        {peer + "SystemCapabilities", "Bridge"}, // bridge and router: the lowest bit
        {peer + "PortDescription", "Te1/0/7"},
        {peer + "SystemDescription", "core switch"},
        {peer + "TTL", "90"},
        {"LLDP/LLDPStatistics/TxPacketCount", "11"},
        {"LLDP/LLDPStatistics/UnrecognizedTLVs", "3"},
        {"LLDP/LLDPStatistics/OrganizationalTLVCount", "4"},
        {"DCBX/DCBXPortVars/OperatingVersion", "1"},
        {"DCBX/DCBXPortVars/MaxVersion", "2"},
        {"DCBX/DCBXPortVars/PeerSequenceNumber", "5"},
        {"DCBX/DCBXPortVars/PFCFeatureSequenceNumber", "1"},
        {"DCBX/DCBXPortVars/AppFeatureSequenceNumber", "3"},
        {"DCBX/DCBXStatistics/TxPacketCount", "100"},
        {"DCBX/DCBXStatistics/NumPacketsDropped", "3"},
        {"DCBX/DCBXPortVars/DCBXMode", "CEE"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, value_at(port() + "/" + c.path)) << c.path;

    // Subtypes outside the tables.
    EXPECT_EQ("Unknown", value_at(port("TRLLD0001", 1) + "/LLDP/PeerConfiguration/ChassisType"));
    EXPECT_EQ("Unknown", value_at(port("TRLLD0001", 1) + "/LLDP/PeerConfiguration/PortType"));
    // The Varrow record has no reserved words: its transmit count is word 8.
    EXPECT_EQ("4242", value_at(port("VRWLD0001") + "/DCBX/DCBXStatistics/TxPacketCount"));
    EXPECT_EQ("8", value_at(port("VRWLD0001") + "/DCBX/DCBXPortVars/PFCFeatureSequenceNumber"));
    EXPECT_EQ("9", value_at(port("VRWLD0001") + "/DCBX/DCBXPortVars/SequenceNumber"));
}

TEST_F(Lldp, LocalSwitchWritesOneBit)
{
    const std::string local = port() + "/LLDP/LocalConfiguration/";
    // Already enabled: nothing is written.
    Outcome o = set(local + "TxState", "Enabled");
    EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result);
    for (const auto &c : sent())
        EXPECT_NE("15/2", c.first);
    EXPECT_TRUE(lldp_local().empty());

    clear_log(root());
    o = set(local + "RxState", "Disabled");
    ASSERT_EQ(VEXO_STATUS_SUCCESS, o.result);
    // Only bit 1 clears; the TLV switches go as read, the notification byte as 0.
    EXPECT_EQ((std::vector<int>{1, 1, 0, 1, 1, 0, 0, 0}), lldp_local());
    auto c = sent();
    ASSERT_FALSE(c.empty());
    EXPECT_EQ("15/2", c.back().first);
    EXPECT_EQ("Disabled", value_at(local + "RxState"));

    o = set(local + "SystemNameTLV", "Enabled");
    ASSERT_EQ(VEXO_STATUS_SUCCESS, o.result);
    EXPECT_EQ((std::vector<int>{1, 1, 1, 1, 1, 0, 0, 0}), lldp_local());
}

TEST_F(Lldp, DcbxModeWriteNeedsAReboot)
{
    const std::string mode = port() + "/DCBX/DCBXPortVars/DCBXMode";
    Outcome o = set(mode, "CIN");
    ASSERT_EQ(VEXO_STATUS_SUCCESS, o.result);
    EXPECT_EQ(VEXO_STATUS_DCBX_CHANGED_REBOOT, o.status);
    auto c = sent();
    ASSERT_EQ(2u, c.size());
    EXPECT_EQ("16/4", c[0].first);
    EXPECT_EQ("16/5", c[1].first);
    EXPECT_EQ("00010000", c[1].second); // the mode in byte 1
    EXPECT_EQ("CIN", value_at(mode));

    // The same value again: the read only.
    clear_log(root());
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set(mode, "cin").result);
    ASSERT_EQ(1u, sent().size());

    // A code outside the list leaves the cached value.
    EXPECT_EQ("Auto-IEEE", value_at(port("TRLLD0001", 1) + "/DCBX/DCBXPortVars/DCBXMode"));
}

TEST_F(Lldp, FailedCommandsKeepTheirStatuses)
{
    struct Case {
        int subsystem, opcode;
        std::string path;
        const char *value; // null: a read
        VEXO_status_t last;
    };
    const Case cases[] = {
        {15, 1, "LLDP/PeerConfiguration/TTL", nullptr, VEXO_STATUS_GET_LLDP_FAILED},
        {15, 2, "LLDP/LocalConfiguration/TxState", "Disabled", VEXO_STATUS_SET_LLDP_FAILED},
        {15, 3, "LLDP/LLDPStatistics/RxPacketCount", nullptr, VEXO_STATUS_GET_LLDP_STATS_FAILED},
        {16, 3, "DCBX/DCBXStatistics/RxPacketCount", nullptr, VEXO_STATUS_GET_DCBX_MIB_FAILED},
        {16, 4, "DCBX/DCBXPortVars/DCBXMode", nullptr, VEXO_STATUS_GET_DCBX_MODE_FAILED},
        {16, 5, "DCBX/DCBXPortVars/DCBXMode", "Auto-CEE", VEXO_STATUS_SET_DCBX_MODE_FAILED},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        plan_status(root(), c.subsystem, c.opcode, 2, 0, false);
        if (c.value) {
            Outcome o = set(port() + "/" + c.path, c.value);
            EXPECT_NE(VEXO_STATUS_SUCCESS, o.result);
            EXPECT_EQ(c.last, o.status);
        } else {
            EXPECT_EQ("error", value_at(port() + "/" + c.path).substr(0, 5));
            EXPECT_EQ(c.last, last_status().first);
        }
    }
    // Nothing failed was cached.
    EXPECT_EQ("Enabled", value_at(port() + "/LLDP/LocalConfiguration/TxState"));
    EXPECT_EQ("CEE", value_at(port() + "/DCBX/DCBXPortVars/DCBXMode"));
}

TEST(LldpOnVirtualFunction, ReadsAreRefusedButApplicationEntriesStillRead)
{
    SimHost host(R"({
      "adapters": [
        { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLLDVF1",
          "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
          "ports": [ { "name": "A", "dcbx": { "administrator": [ { "protocol": "0x8906", "priorities": [3] } ] } } ],
          "functions": [
            { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
              "mac": "00:00:C9:C4:00:30", "vf": 1 } ] } ] })");
    int start = vexo_counter;
    ASSERT_EQ(0, VEXO_init());
    const std::string p = adapter_path("TRLLDVF1") + "/PortDiscoveryAndConfiguration0";
    if (tag_at(p, VEXO_NODE_GROUP) != -1) {
        const char *refused[] = {"LLDP/LocalConfiguration/TxState", "LLDP/LLDPStatistics/TxPacketCount",
                                 "DCBX/DCBXPortVars/DCBXMode", "DCBX/DCBXStatistics/TxPacketCount",
                                 "DCBX/PFC/AdministratorPFCSetting/Enabled"};
        for (const char *path : refused) {
            clear_log(host.root());
            EXPECT_EQ("error 1", value_at(p + "/" + path)) << path;
            EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM, last_status().first) << path;
            EXPECT_TRUE(fw_entries(host.root()).empty()) << path;
        }
        std::string tlv = p + "/DCBX/ApplicationTLVGroups/AdministratorTLVSetting/ApplicationTLV0/ProtocolID";
        ASSERT_NE(-1, tag_at(tlv, VEXO_NODE_PROPERTY));
        EXPECT_EQ("0x8906", value_at(tlv));
    } else {
        ADD_FAILURE() << "no port group on a virtual function";
    }
    EXPECT_EQ(0, VEXO_exit());
    EXPECT_EQ(start, vexo_counter);
}

} // namespace
