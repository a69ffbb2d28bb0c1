// DCBX settings of the ports of simulated Trelmont (version-1 DCBX records),
// AW3 (version 0 only) and Varrow adapters: what the groups show from the
// administrator, operational and peer records, what an administrator write
// sends, the priority-group and application-entry actions with their
// refusals, the application refreshers on a sparse firmware list, QCN, and
// the LLDP and DCBX port variables.
#include <algorithm>
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
#include "sim/machine.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

// Adapter order: Trelmont (DCBX version 1, QCN), AW3 (DCBX version 0 only),
// Varrow. The Trelmont's port 0 has a sparse administrator application list:
// entry 1 is unused, so ApplicationTLV1 shows entry 2.
const char kMachine[] = R"({
  "host": { "release": "VMware ESXi 6.7.0 build-8169922" },
  "adapters": [
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLDC0001", "dcbx_v1": true,
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "ports": [
        { "name": "A",
          "dcbx": {
            "administrator": { "dcbx_state": 3, "pg_state": 7, "pfc_state": 3, "appl_state": 7, "qcn_state": 5,
                               "num_pgs": 8, "pfc": [3], "bandwidth": [50, 0, 20, 0, 0, 0, 0, 0],
                               "pg_ids": [0, 0, 0, 2, 15, 15, 15, 15], "cnpv": "0x08", "ready": "0x0c",
                               "apps": [ { "protocol": "0x8906", "selector": 0, "priorities": [3] },
                                         { "protocol": "0x8914", "selector": 0, "priorities": [4], "valid": 0 },
                                         { "protocol": 3260, "selector": 1, "priorities": [4, 5] } ] },
            "operational": { "dcbx_state": 3, "pg_state": 9, "pfc_state": 8, "appl_state": 9, "qcn_state": "0x40000000",
                             "pfc": [3], "cnpv": 8, "ready": 12 },
            "peer": { "pg_state": "0x80000006", "pfc_state": "0x80000007", "appl_state": 2, "qcn_state": 1,
                      "pfc": [3, 4], "cnpv": 8, "ready": 8 } },
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
            "stats": { "tx": 11, "rx": 12, "dropped": 2, "unrecognized": 3, "org": 4 } },
          "qos_modes": [1] },
        { "name": "B", "qos_modes": [1, 2] }
      ],
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:30" },
        { "bus": 5, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 1,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:31" }
      ] },
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3DC0001",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "ports": [
        { "name": "P",
          "dcbx": { "administrator": [ { "protocol": "0x8906", "selector": 0, "priorities": [3] } ] } } ],
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:20" }
      ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWDC0001",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "ports": [ { "name": "V", "dcbx_mib": { "tx": 4242, "rx": 17, "dropped": 1, "operating_version": 2 } } ],
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE222", "mac": "00:00:C9:D5:00:40" }
      ] }
  ]
})";

const int kTrelmont = 0;
const int kAw3 = 1;

struct Outcome {
    VEXO_status_t result;
    VEXO_status_t status;
};

class Dcbx : public ::testing::Test {
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

    std::string port(const char *serial, int n = 0)
    {
        return adapter_path(serial) + "/PortDiscoveryAndConfiguration" + std::to_string(n);
    }
    std::string dcbx(const char *serial = "TRLDC0001") { return port(serial) + "/DCBX"; }

    Outcome set(const std::string &path, const std::string &value)
    {
        Outcome o;
        o.result = set_at(path, value);
        o.status = last_status().first;
        return o;
    }

    // Runs an action; a null parameter is left out.
    Outcome action(const std::string &group, const char *name, std::vector<const char *> given)
    {
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params); // not given
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

    std::vector<int> instances(const std::string &group, const char *base)
    {
        int list[64] = {};
        int count = -1;
        EXPECT_EQ(VEXO_STATUS_SUCCESS,
                  VEXO_get_valid_instances(tag_at(group, VEXO_NODE_GROUP), const_cast<char *>(base), list, &count));
        return std::vector<int>(list, list + (count > 0 ? count : 0));
    }

    // The administrator record the simulated firmware holds after a write
    // (version-1 layout); empty when nothing was written.
    std::vector<int> admin_record(int adapter, int port_number = 0)
    {
        hlvdsim::Machine m;
        std::string err;
        EXPECT_TRUE(hlvdsim::load_machine(root(), m, &err)) << err;
        const nlohmann::json &a = m.doc.at("adapters").at(adapter);
        std::string key = std::to_string(port_number);
        if (!a.contains("fw_state") || !a["fw_state"].contains("dcbx") || !a["fw_state"]["dcbx"].contains(key) ||
            !a["fw_state"]["dcbx"][key].contains("administrator"))
            return {};
        return a["fw_state"]["dcbx"][key]["administrator"].get<std::vector<int>>();
    }

    // The DCBX commands of the log as "subsystem/opcode/version".
    std::vector<std::string> dcbx_commands()
    {
        std::vector<std::string> out;
        for (const nlohmann::json &e : fw_entries(root())) {
            int s = e.value("subsystem", -1);
            if (s == 15 || s == 16)
                out.push_back(std::to_string(s) + "/" + std::to_string(e.value("opcode", -1)) + "/v" +
                              std::to_string(e.value("version", -1)));
        }
        return out;
    }

    std::unique_ptr<SimHost> host_;
    int counter_ = 0;
};

const int kAppOffset = 72;
const int kAppSize = 16;

// ---------------------------------------------------------------------------
// What the groups show.

TEST_F(Dcbx, GroupsShowTheirRecordVariant)
{
    struct Case {
        const char *path; // below DCBX of the Trelmont's port 0
        const char *expected;
    };
    const Case cases[] = {
        {"DCBXPortVars/DCBXState", "Disabled"}, // operational dcbx_state 3 is not 1
        {"PFC/AdministratorPFCSetting/Enabled", "Yes"},
        {"PFC/AdministratorPFCSetting/Advertise", "Yes"},
        {"PFC/AdministratorPFCSetting/Willing", "No"},
        {"PFC/AdministratorPFCSetting/PriorityBitMap", "0x08"},
        {"PFC/PeerPFCSetting/Error", "Yes"},
        {"PFC/PeerPFCSetting/Willing", "Yes"},
        {"PFC/PeerPFCSetting/PriorityBitMap", "0x18"},
        {"PFC/OperationalPFCSettings/OperationalMode", "False"},
        {"PFC/OperationalPFCSettings/Synced", "Yes"},
        {"PFC/OperationalPFCSettings/PriorityBitMap", "N/A"}, // bit 0 clear
        {"PriorityGroups/AdministratorPGSetting/NumPGSupported", "8"},
        {"PriorityGroups/AdministratorPGSetting/PG15PriorityMemberShip", "0xf0"},
        {"PriorityGroups/PeerPGSetting/Error", "Yes"},
        {"PriorityGroups/PeerPGSetting/Enabled", "No"},
        {"PriorityGroups/OperationalPGSettings/OperationalMode", "True"},
        {"PriorityGroups/OperationalPGSettings/Synced", "Yes"},
        {"PriorityGroups/AdministratorPGSetting/PG0/PriorityMembership", "0x07"},
        {"PriorityGroups/AdministratorPGSetting/PG0/Bandwidth", "50"},
        {"PriorityGroups/AdministratorPGSetting/PG2/PriorityMembership", "0x08"},
        {"PriorityGroups/AdministratorPGSetting/PG2/Bandwidth", "20"},
        {"ApplicationTLVGroups/AdministratorTLVSetting/Willing", "Yes"},
        {"ApplicationTLVGroups/PeerTLVSetting/Advertise", "Yes"},
        {"ApplicationTLVGroups/PeerTLVSetting/Error", "No"},
        {"ApplicationTLVGroups/OperationalTLVSettings/OperationalMode", "True"},
        {"ApplicationTLVGroups/AdministratorTLVSetting/ApplicationTLV0/ProtocolID", "0x8906"},
        {"ApplicationTLVGroups/AdministratorTLVSetting/ApplicationTLV0/ProtocolSelector", "0"},
        {"ApplicationTLVGroups/AdministratorTLVSetting/ApplicationTLV0/OUI", "0x1b21"},
        {"ApplicationTLVGroups/AdministratorTLVSetting/ApplicationTLV0/PriorityBitMap", "0x08"},
        // The sparse list: instance 1 shows entry 2.
        {"ApplicationTLVGroups/AdministratorTLVSetting/ApplicationTLV1/ProtocolID", "0xcbc"},
        {"ApplicationTLVGroups/AdministratorTLVSetting/ApplicationTLV1/ProtocolSelector", "1"},
        {"ApplicationTLVGroups/AdministratorTLVSetting/ApplicationTLV1/PriorityBitMap", "0x30"},
        {"QCN/AdministratorQCNSetting/Enabled", "Yes"},
        {"QCN/AdministratorQCNSetting/Willing", "Yes"},
        {"QCN/AdministratorQCNSetting/CNPVBitMap", "0x8"},
        {"QCN/PeerQCNSetting/ReadyBitMap", "0x8"},
        {"QCN/OperationalQCNSettings/OperationalMode", "N/A"}, // bit 30
        {"QCN/OperationalQCNSettings/ReadyBitMap", "0xc"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, value_at(dcbx() + "/" + c.path)) << c.path;
}

TEST_F(Dcbx, OperationalPgModeIsNotAvailableInQosModeZeroOrTwo)
{
    struct Case {
        int port;
        const char *modes; // qos modes the firmware reports for the link
        const char *expected;
    };
    // Port 0 reports mode 1; port 1 a mode-2 descriptor after a mode-1 one.
    const Case cases[] = {{0, "1", "True"}, {1, "1,2", "N/A"}};
    for (const Case &c : cases)
        EXPECT_EQ(c.expected,
                  value_at(port("TRLDC0001", c.port) + "/DCBX/PriorityGroups/OperationalPGSettings/OperationalMode"))
            << c.modes;
}

// ---------------------------------------------------------------------------
// Administrator writes.

TEST_F(Dcbx, AdministratorWritesChangeOneFieldOfTheRecord)
{
    struct Case {
        const char *path;
        const char *value;
        int offset; // byte of the administrator record that changes
        int expected;
    };
    const Case cases[] = {
        {"DCBXPortVars/DCBXState", "Disabled", 0, 0},   // all bits cleared, not just bit 0
        {"DCBXPortVars/DCBXState", "Enabled", 0, 1},    // bit 0 set
        {"PFC/AdministratorPFCSetting/Willing", "Yes", 8, 0x7},
        {"PFC/AdministratorPFCSetting/Enabled", "No", 8, 0x6},
        {"PriorityGroups/AdministratorPGSetting/Advertise", "No", 4, 0x5},
        {"ApplicationTLVGroups/AdministratorTLVSetting/Willing", "No", 16, 0x3},
        {"PFC/AdministratorPFCSetting/PriorityBitMap", "0x81", 64, 1},
        {"PFC/AdministratorPFCSetting/PriorityBitMap", "0x81", 64 + 3, 0},
        {"PFC/AdministratorPFCSetting/PriorityBitMap", "0x81", 64 + 7, 1},
        {"PFC/AdministratorPFCSetting/PriorityBitMap", "010", 64 + 3, 1}, // octal 8
        {"PriorityGroups/AdministratorPGSetting/PG15PriorityMemberShip", "0x3", 32, 15},
        {"PriorityGroups/AdministratorPGSetting/PG15PriorityMemberShip", "0x3", 32 + 4 * 3, 2},
        // Nothing joins group 15, but the record is still written.
        {"PriorityGroups/AdministratorPGSetting/PG15PriorityMemberShip", "0x0", 32 + 4 * 3, 2},
        // An entry's priorities go to the entry the node shows: entry 2.
        {"ApplicationTLVGroups/AdministratorTLVSetting/ApplicationTLV1/PriorityBitMap", "0x1",
         kAppOffset + 2 * kAppSize + 8, 1},
        {"ApplicationTLVGroups/AdministratorTLVSetting/ApplicationTLV1/PriorityBitMap", "0x1",
         kAppOffset + 2 * kAppSize + 8 + 4, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.path) + " = " + c.value);
        clear_log(root());
        Outcome o = set(dcbx() + "/" + c.path, c.value);
        ASSERT_EQ(VEXO_STATUS_SUCCESS, o.result);
        std::vector<int> rec = admin_record(kTrelmont);
        ASSERT_GT(rec.size(), size_t(c.offset));
        EXPECT_EQ(c.expected, rec[c.offset]);
        // The read and the whole write, version 0; the congestion and
        // logical-link words go as 0.
        EXPECT_EQ((std::vector<std::string>{"16/1/v0", "16/2/v0"}), dcbx_commands());
        EXPECT_EQ(0, rec[12]);
        EXPECT_EQ(0, rec[20]);
    }
}

TEST_F(Dcbx, MalformedBitMapsAreRefusedWithoutAWrite)
{
    for (const char *value : {"-1", "9z", "0x"}) {
        SCOPED_TRACE(value);
        clear_log(root());
        Outcome o = set(dcbx() + "/PFC/AdministratorPFCSetting/PriorityBitMap", value);
        EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
        EXPECT_EQ(VEXO_STATUS_INVALID_VALUE, o.status);
        EXPECT_EQ("Invalid Value.", last_status().second);
        EXPECT_EQ((std::vector<std::string>{"16/1/v0"}), dcbx_commands());
    }
    EXPECT_TRUE(admin_record(kTrelmont).empty());
}

TEST_F(Dcbx, FailedReadsAndWritesKeepTheirStatuses)
{
    struct Case {
        int opcode;         // the DCBX command that fails
        VEXO_status_t last; // the last status it leaves
    };
    const Case cases[] = {{1, VEXO_STATUS_GET_DCBX_FAILED}, {2, VEXO_STATUS_SET_DCBX_FAILED}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.opcode);
        plan_status(root(), 16, c.opcode, 2, 75, false);
        Outcome o = set(dcbx() + "/PFC/AdministratorPFCSetting/Willing", "Yes");
        EXPECT_NE(VEXO_STATUS_SUCCESS, o.result);
        EXPECT_EQ(c.last, o.status);
        EXPECT_EQ("No", value_at(dcbx() + "/PFC/AdministratorPFCSetting/Willing"));
    }
}

// ---------------------------------------------------------------------------
// QCN.

TEST_F(Dcbx, QcnOnlyOnTrelmont)
{
    EXPECT_EQ("error 1", value_at(dcbx("AW3DC0001") + "/QCN/AdministratorQCNSetting/Enabled"));
    EXPECT_EQ(VEXO_STATUS_QCN_NOT_SUPPORTED, last_status().first);
    Outcome o = set(dcbx("VRWDC0001") + "/QCN/AdministratorQCNSetting/Willing", "No");
    EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
    EXPECT_EQ(VEXO_STATUS_QCN_NOT_SUPPORTED, o.status);

    clear_log(root());
    o = set(dcbx() + "/QCN/AdministratorQCNSetting/Willing", "No");
    ASSERT_EQ(VEXO_STATUS_SUCCESS, o.result);
    EXPECT_EQ((std::vector<std::string>{"16/1/v1", "16/2/v1"}), dcbx_commands());
    std::vector<int> rec = admin_record(kTrelmont);
    ASSERT_EQ(368u, rec.size());
    EXPECT_EQ(1, rec[12]);     // qcn_state: bit 2 cleared
    EXPECT_EQ(0x08, rec[312]); // the priorities as read
    EXPECT_EQ("No", value_at(dcbx() + "/QCN/AdministratorQCNSetting/Willing"));
}

// ---------------------------------------------------------------------------
// Priority groups.

TEST_F(Dcbx, ConfigurePgSettingsChecksTheBandwidthBeforeAnyChange)
{
    const std::string admin = dcbx() + "/PriorityGroups/AdministratorPGSetting";
    // PG 0 holds 0x07 at 50, PG 2 holds 20: 40 more make 110.
    Outcome o = action(admin + "/PG1", "ConfigurePGSettings", {"0x03", "40"});
    EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
    EXPECT_EQ(VEXO_STATUS_CANNOT_SET_BWG, o.status);
    for (const std::string &e : dcbx_commands())
        EXPECT_NE("16/2/v0", e);
    EXPECT_TRUE(admin_record(kTrelmont).empty());
    node *pg0 = get_node(tag_at(admin + "/PG0", VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, pg0);
    node *pg0_membership = internal_get_node(pg0, "PriorityMembership", VEXO_NODE_PROPERTY);
    ASSERT_NE(nullptr, pg0_membership);
    EXPECT_STREQ("0x07", pg0_membership->u.prop->val);

    // Without a limit the same change goes through.
    clear_log(root());
    o = action(admin + "/PG1", "ConfigurePGSettings", {"0x03", "255"});
    ASSERT_EQ(VEXO_STATUS_SUCCESS, o.result);
    // The other PGs are read first; one write ends the action.
    std::vector<std::string> sent = dcbx_commands();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ("16/2/v0", sent.back());
    EXPECT_EQ(1, std::count(sent.begin(), sent.end(), "16/2/v0"));
    std::vector<int> rec = admin_record(kTrelmont);
    ASSERT_FALSE(rec.empty());
    EXPECT_EQ(255, rec[24 + 1]); // PG 1's share
    const int groups[8] = {1, 1, 0, 2, 15, 15, 15, 15};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(groups[i], rec[32 + 4 * i]) << "priority " << i;
    EXPECT_STREQ("0x04", pg0_membership->u.prop->val);
    // Unclaimed priorities are in group 15.
    EXPECT_EQ("0xf0", value_at(admin + "/PG15PriorityMemberShip"));
    EXPECT_EQ("0x03", value_at(admin + "/PG1/PriorityMembership"));
}

TEST_F(Dcbx, ConfigurePgSettingsRefusesAMalformedMembership)
{
    const std::string admin = dcbx() + "/PriorityGroups/AdministratorPGSetting";
    Outcome o = action(admin + "/PG1", "ConfigurePGSettings", {"3x", "10"});
    EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
    EXPECT_EQ(VEXO_STATUS_INVALID_VALUE, o.status);
    EXPECT_TRUE(dcbx_commands().empty());
}

TEST_F(Dcbx, Pg15MembershipOnlyOnTrelmont)
{
    EXPECT_EQ("N/A", value_at(dcbx("AW3DC0001") + "/PriorityGroups/AdministratorPGSetting/PG15PriorityMemberShip"));
    EXPECT_EQ("0xf0", value_at(dcbx() + "/PriorityGroups/AdministratorPGSetting/PG15PriorityMemberShip"));
}

// ---------------------------------------------------------------------------
// Application entries.

TEST_F(Dcbx, RefreshThenDeleteOnASparseListRemovesTheEntryTheNodeShows)
{
    const std::string admin = dcbx() + "/ApplicationTLVGroups/AdministratorTLVSetting";
    ASSERT_EQ(VEXO_STATUS_SUCCESS, VEXO_refresh_group(tag_at(admin, VEXO_NODE_GROUP)));
    EXPECT_EQ((std::vector<int>{0, 1}), instances(admin, "ApplicationTLV"));
    EXPECT_EQ("0xcbc", value_at(admin + "/ApplicationTLV1/ProtocolID"));

    clear_log(root());
    Outcome o = action(admin, "DeleteApplicationTLV", {"1"});
    ASSERT_EQ(VEXO_STATUS_SUCCESS, o.result);
    EXPECT_EQ((std::vector<std::string>{"16/1/v1", "16/2/v1"}), dcbx_commands());
    std::vector<int> rec = admin_record(kTrelmont);
    ASSERT_EQ(368u, rec.size());
    EXPECT_EQ(1, rec[kAppOffset + 0 * kAppSize + 3]); // entry 0 stays
    EXPECT_EQ(0, rec[kAppOffset + 2 * kAppSize + 3]); // entry 2 is gone
    EXPECT_EQ(1, rec[2]);                             // one valid entry left
    EXPECT_EQ((std::vector<int>{0}), instances(admin, "ApplicationTLV"));
    EXPECT_EQ("0x8906", value_at(admin + "/ApplicationTLV0/ProtocolID"));

    // A new entry takes the free firmware entry 1 and the free instance 1;
    // it keeps the QCN priorities as read.
    clear_log(root());
    o = action(admin, "AddApplicationTLV", {"1", "860", "0x6", nullptr});
    ASSERT_EQ(VEXO_STATUS_SUCCESS, o.result);
    rec = admin_record(kTrelmont);
    EXPECT_EQ(1, rec[kAppOffset + 1 * kAppSize + 3]);
    EXPECT_EQ(860, rec[kAppOffset + kAppSize] | rec[kAppOffset + kAppSize + 1] << 8);
    EXPECT_EQ(0x08, rec[312]);
    EXPECT_EQ((std::vector<int>{0, 1}), instances(admin, "ApplicationTLV"));
    EXPECT_EQ("0x35c", value_at(admin + "/ApplicationTLV1/ProtocolID"));
    EXPECT_EQ("0x1b21", value_at(admin + "/ApplicationTLV1/OUI"));
    EXPECT_EQ("0x06", value_at(admin + "/ApplicationTLV1/PriorityBitMap"));
    // Deleting it clears entry 1, not entry 0.
    o = action(admin, "DeleteApplicationTLV", {"1"});
    ASSERT_EQ(VEXO_STATUS_SUCCESS, o.result);
    rec = admin_record(kTrelmont);
    EXPECT_EQ(0, rec[kAppOffset + 1 * kAppSize + 3]);
    EXPECT_EQ(1, rec[kAppOffset + 3]);
}

TEST_F(Dcbx, ApplicationEntryRefusals)
{
    const std::string admin = dcbx() + "/ApplicationTLVGroups/AdministratorTLVSetting";
    struct Case {
        const char *name;
        std::vector<const char *> params;
        VEXO_status_t status;
        const char *text; // empty: not checked
    };
    const Case cases[] = {
        {"DeleteApplicationTLV", {"7"}, VEXO_STATUS_INVALID_INSTANCE_NUM, ""},
        {"AddApplicationTLV", {"0", "35078", "-2", nullptr}, VEXO_STATUS_INVALID_VALUE, "PriorityBitMap: Invalid Value."},
        {"AddApplicationTLV", {"0", "35078", "0x8", "1b21"}, VEXO_STATUS_INVALID_VALUE, "OUI: Invalid Value."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        clear_log(root());
        Outcome o = action(admin, c.name, c.params);
        EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
        EXPECT_EQ(c.status, o.status);
        if (c.text[0]) {
            EXPECT_EQ(c.text, last_status().second);
        }
        EXPECT_TRUE(dcbx_commands().empty());
    }
}

TEST_F(Dcbx, AFullListRefusesAnAdd)
{
    const std::string admin = dcbx() + "/ApplicationTLVGroups/AdministratorTLVSetting";
    for (int i = 0; i < 13; ++i)
        ASSERT_EQ(VEXO_STATUS_SUCCESS, action(admin, "AddApplicationTLV", {"1", "1000", "1", nullptr}).result) << i;
    EXPECT_EQ(15u, instances(admin, "ApplicationTLV").size());
    clear_log(root());
    Outcome o = action(admin, "AddApplicationTLV", {"1", "1001", "1", nullptr});
    EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
    EXPECT_EQ(VEXO_STATUS_CANNOT_ADD_TLV, o.status);
    EXPECT_EQ((std::vector<std::string>{"16/1/v1"}), dcbx_commands());
}

TEST_F(Dcbx, VersionZeroFirmwareTakesAddAndDeleteThroughTheOldRecord)
{
    const std::string admin = dcbx("AW3DC0001") + "/ApplicationTLVGroups/AdministratorTLVSetting";
    Outcome o = action(admin, "AddApplicationTLV", {"0", "0x8914", "0x10", nullptr});
    ASSERT_EQ(VEXO_STATUS_SUCCESS, o.result);
    EXPECT_EQ((std::vector<std::string>{"16/1/v1", "16/1/v0", "16/2/v0"}), dcbx_commands());
    std::vector<int> rec = admin_record(kAw3);
    ASSERT_FALSE(rec.empty());
    EXPECT_EQ(1, rec[kAppOffset + kAppSize + 3]);
    EXPECT_EQ(2, rec[2]);
    EXPECT_EQ("0x8914", value_at(admin + "/ApplicationTLV1/ProtocolID"));
    EXPECT_EQ("0x1b21", value_at(admin + "/ApplicationTLV1/OUI"));

    clear_log(root());
    o = action(admin, "DeleteApplicationTLV", {"0"});
    ASSERT_EQ(VEXO_STATUS_SUCCESS, o.result);
    EXPECT_EQ((std::vector<std::string>{"16/1/v1", "16/1/v0", "16/2/v0"}), dcbx_commands());
    rec = admin_record(kAw3);
    EXPECT_EQ(0, rec[kAppOffset + 3]);
    EXPECT_EQ(1, rec[kAppOffset + kAppSize + 3]);
    EXPECT_EQ((std::vector<int>{1}), instances(admin, "ApplicationTLV"));
}

TEST_F(Dcbx, RefreshersRebuildFromTheirVariant)
{
    const std::string groups = dcbx() + "/ApplicationTLVGroups";
    struct Case {
        const char *group;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"AdministratorTLVSetting", {0, 1}},
        {"PeerTLVSetting", {}},
        {"OperationalTLVSettings", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.group);
        ASSERT_EQ(VEXO_STATUS_SUCCESS, VEXO_refresh_group(tag_at(groups + "/" + c.group, VEXO_NODE_GROUP)));
        EXPECT_EQ(c.expected, instances(groups + "/" + c.group, "ApplicationTLV"));
    }
    plan_status(root(), 16, 1, 2, 75, false);
    VEXO_refresh_group(tag_at(groups + "/AdministratorTLVSetting", VEXO_NODE_GROUP));
    EXPECT_EQ(VEXO_STATUS_GET_DCBX_FAILED, last_status().first);
    // A failed read leaves the entries as they were.
    EXPECT_EQ((std::vector<int>{0, 1}), instances(groups + "/AdministratorTLVSetting", "ApplicationTLV"));
}

} // namespace
