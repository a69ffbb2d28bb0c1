// SR-IOV virtual functions of a NIC function (NICLogicalHBA), the vNIC
// groups of NIC and iSCSI functions and the NIC logical link state, on
// simulated adapters. VF writes run the simulator's stand-in for the host's
// "ip" command; the command log shows what it was given.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/nodes_nic.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/virtual_functions.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "backend_fixture.h"
#include "sim/command_log.h"
#include "sim/fault_plan.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using json = nlohmann::json;
using namespace backendtest;

namespace {

const char kAw3[] = "AW3VF0001";
const char kVrw[] = "VRWVF0001";

json nic(int bus, int fn, int port, const char *mac)
{
    return {{"bus", bus}, {"function", fn}, {"kind", "nic"}, {"vendor", "0x19A2"}, {"device_id", "0x0710"},
            {"port", port}, {"mac", mac}};
}

// AW3: NIC 0 (vmnic4) with 4 VFs, VF 1 down, VF 2 on VLAN 10 at rate 25
// (250 Mb/s), and a vNIC; NIC 1 without VFs or vNIC; an iSCSI function with
// a vNIC. Varrow: one NIC function.
json machine()
{
    json n0 = nic(4, 0, 0, "00:00:C9:B3:00:20");
    n0["ifname"] = "vmnic4";
    n0["vfs"] = 4;
    n0["vf_table"] = {json::object(), {{"link", 0}}, {{"vlan", 10}, {"rate", 25}, {"mac", "02:00:00:00:00:22"}}};
    n0["vnic_name"] = "VN-NIC0";
    n0["vnic"] = {{"vlan_id", 100}, {"vlan_priority", 3}, {"qos_min", 10}, {"qos_max", 50}};
    json is = {{"bus", 4}, {"function", 2}, {"kind", "iscsi"}, {"vendor", "0x19A2"}, {"device_id", "0x0712"},
               {"port", 0}, {"mac", "00:00:C9:B3:00:22"}, {"vnic_name", "VN-ISCSI"},
               {"vnic", {{"vlan_id", 200}, {"qos_min", 20}, {"qos_max", 40}}}};
    json aw3 = {{"name", "aw3"}, {"family", "converged"}, {"generation", "AW3"}, {"serial", kAw3},
                {"firmware", {{"active", "10.2.370.15"}, {"flash", "10.2.370.15"}, {"boot", "10.2.370.1"}}},
                {"functions", {n0, nic(4, 1, 1, "00:00:C9:B3:00:21"), is}}};
    json v0 = nic(6, 0, 0, "00:00:C9:D5:00:40");
    v0["vendor"] = "0x10DF";
    v0["device_id"] = "0xE228";
    v0["vnic_name"] = "VN-VRW";
    json vrw = {{"name", "vrw"}, {"family", "converged"}, {"generation", "Varrow"}, {"serial", kVrw},
                {"firmware", {{"active", "11.4.204.20"}, {"flash", "11.4.204.20"}, {"boot", "11.4.204.1"}}},
                {"functions", {v0}}};
    return {{"adapters", {aw3, vrw}}};
}

class VirtualFunctions : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char *path = std::getenv("PATH");
        saved_path_ = path ? path : "";
        std::string ours = hlvdtest::binary_path("host-bin") + ":" + saved_path_;
        setenv("PATH", ours.c_str(), 1);
        host_ = std::make_unique<SimHost>(machine().dump());
        ASSERT_EQ(0, VEXO_init());
    }
    void TearDown() override
    {
        while (vexo_client_count > 0)
            EXPECT_EQ(0, VEXO_exit());
        setenv("PATH", saved_path_.c_str(), 1);
    }
    const std::string &root() const { return host_->root(); }
    std::string nic0() { return adapter_path(kAw3) + "/NICPhysicalHBA0"; }
    std::string nic1() { return adapter_path(kAw3) + "/NICPhysicalHBA1"; }
    std::string vf(int n) { return nic0() + "/NICLogicalHBA" + std::to_string(n); }
    void refresh(const std::string &group) { ASSERT_EQ(0, VEXO_refresh_group(tag_at(group, VEXO_NODE_GROUP))); }
    // What the "ip" stand-in was run with, in order.
    std::vector<json> host_runs()
    {
        std::vector<json> out;
        for (const json &e : hlvdsim::log_read(root()))
            if (e.value("kind", "") == "host")
                out.push_back(e);
        return out;
    }
    bool sent(int opcode)
    {
        for (const auto &c : fw_commands(root()))
            if (c.first == 1 && c.second == opcode)
                return true;
        return false;
    }
    void plan_ip_failure()
    {
        std::string err;
        ASSERT_GT(hlvdsim::fault_add_json(root(), {{"match", {{"path", "ip"}}}, {"kind", "status"}, {"status", 2},
                                                   {"when", "always"}},
                                          &err),
                  0)
            << err;
    }

    std::string saved_path_;
    std::unique_ptr<SimHost> host_;
};

TEST_F(VirtualFunctions, RefreshLeavesOneInstancePerVfWhateverExistedBefore)
{
    node *fn = get_node(tag_at(nic0(), VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, fn);
    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
    for (int i = 0; i < 6; ++i)
        initialize_NICLogicalHBA(fn, nullptr, nullptr, params);
    ASSERT_GE(tag_at(vf(5), VEXO_NODE_GROUP), 0);
    refresh(nic0());
    for (int i = 0; i < 4; ++i)
        EXPECT_GE(tag_at(vf(i), VEXO_NODE_GROUP), 0) << i;
    EXPECT_EQ(-1, tag_at(vf(4), VEXO_NODE_GROUP));
    EXPECT_EQ(-1, tag_at(vf(5), VEXO_NODE_GROUP));
    // A function without VFs gets none; a refresh again gives the same.
    refresh(nic1());
    EXPECT_EQ(-1, tag_at(nic1() + "/NICLogicalHBA0", VEXO_NODE_GROUP));
    refresh(nic0());
    EXPECT_GE(tag_at(vf(3), VEXO_NODE_GROUP), 0);
    EXPECT_EQ(-1, tag_at(vf(4), VEXO_NODE_GROUP));
}

TEST_F(VirtualFunctions, VfValuesComeFromTheDriverRecord)
{
    refresh(nic0());
    const struct {
        int vf;
        const char *prop, *value;
    } rows[] = {
        {2, "TxRate", "250"},          // units of 10 Mb/s
        {2, "VLANID", "10"},
        {2, "MACAddress", "02:00:00:00:00:22"},
        {2, "LinkStatus", "Up"},
        {1, "LinkStatus", "Down"},
        {0, "MACAddress", "00:00:c9:33:00:00"}, // derived from the function's, lower case
        {3, "VLANID", "0"},
        {3, "TxRate", "0"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(std::to_string(r.vf) + " " + r.prop);
        EXPECT_EQ(r.value, value_at(vf(r.vf) + "/" + r.prop));
    }
    EXPECT_TRUE(host_runs().empty());
}

TEST_F(VirtualFunctions, TxRateWriteRunsIpWithTheVlanAndReadsBack)
{
    refresh(nic0());
    clear_log(root());
    ASSERT_EQ(0, set_at(vf(2) + "/TxRate", "500"));
    std::vector<json> runs = host_runs();
    ASSERT_EQ(1u, runs.size());
    EXPECT_EQ(json({"link", "set", "vmnic4", "vf", "2", "vlan", "10", "rate", "500"}), runs[0]["args"]);
    EXPECT_EQ(0, runs[0]["exit"]);
    EXPECT_EQ("500", value_at(vf(2) + "/TxRate"));
    EXPECT_EQ("10", value_at(vf(2) + "/VLANID"));

    // The other writes, with the words of their commands.
    clear_log(root());
    ASSERT_EQ(0, set_at(vf(1) + "/VLANID", "4094"));
    ASSERT_EQ(0, set_at(vf(1) + "/MACAddress", "02:aa:bb:cc:dd:01"));
    runs = host_runs();
    ASSERT_EQ(2u, runs.size());
    EXPECT_EQ(json({"link", "set", "vmnic4", "vf", "1", "vlan", "4094"}), runs[0]["args"]);
    EXPECT_EQ(json({"link", "set", "vmnic4", "vf", "1", "mac", "02:aa:bb:cc:dd:01"}), runs[1]["args"]);
    EXPECT_EQ("4094", value_at(vf(1) + "/VLANID"));
    EXPECT_EQ("02:aa:bb:cc:dd:01", value_at(vf(1) + "/MACAddress"));
}

TEST_F(VirtualFunctions, RefusedWritesRunNothing)
{
    refresh(nic0());
    const struct {
        const char *prop, *value;
    } rows[] = {
        {"VLANID", "4095"},
        {"VLANID", "-1"},
        {"VLANID", "1;reboot"},
        {"VLANID", ""},
        {"MACAddress", "02:aa:bb:cc:dd"},
        {"MACAddress", "02:aa:bb:cc:dd:zz"},
        {"MACAddress", "02-aa-bb-cc-dd-01"},
        {"TxRate", "0"},
        {"TxRate", "10001"},
        {"TxRate", "5 0"},
    };
    property_function handlers[] = {handle_niclogicalhba_vlanid, handle_niclogicalhba_macaddress,
                                    handle_niclogicalhba_txrate};
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.prop) + " " + r.value);
        // Through the API (whose own checks may refuse first) and straight
        // into the handler, whose checks answer 17.
        clear_log(root());
        EXPECT_NE(0, set_at(vf(2) + "/" + r.prop, r.value));
        node *prop = get_node(tag_at(vf(2) + "/" + r.prop, VEXO_NODE_PROPERTY));
        ASSERT_NE(nullptr, prop);
        property_function h = r.prop[0] == 'V' ? handlers[0] : r.prop[0] == 'M' ? handlers[1] : handlers[2];
        char value[VEXO_VALUE_SIZE] = {};
        std::snprintf(value, sizeof value, "%s", r.value);
        EXPECT_NE(0, h(prop, value, 1));
        EXPECT_EQ(17, last_status().first);
        EXPECT_TRUE(host_runs().empty());
    }
    EXPECT_EQ("10", value_at(vf(2) + "/VLANID"));
}

TEST_F(VirtualFunctions, UnsafeInterfaceNameRunsNothing)
{
    refresh(nic0());
    node *fn = get_node(tag_at(nic0(), VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, fn);
    for (const char *name : {"vm nic4", "vmnic4;id", "-vmnic4", "averyveryverylongname0", ""}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(0, set_prop_val(fn, "IfName", "%s", name));
        clear_log(root());
        EXPECT_NE(0, set_at(vf(2) + "/VLANID", "20"));
        EXPECT_EQ(17, last_status().first);
        EXPECT_TRUE(host_runs().empty());
    }
}

TEST_F(VirtualFunctions, FailingIpCommandFailsTheWrite)
{
    refresh(nic0());
    plan_ip_failure();
    clear_log(root());
    EXPECT_NE(0, set_at(vf(2) + "/TxRate", "500"));
    EXPECT_EQ(17, last_status().first);
    std::vector<json> runs = host_runs();
    ASSERT_EQ(1u, runs.size());
    EXPECT_EQ(2, runs[0]["exit"]);
    EXPECT_EQ("250", value_at(vf(2) + "/TxRate"));
    EXPECT_NE(0, set_at(vf(2) + "/VLANID", "30"));
    EXPECT_EQ("10", value_at(vf(2) + "/VLANID"));
}

TEST_F(VirtualFunctions, UnreadableDriverInformationFailsTheRead)
{
    refresh(nic0());
    std::string err;
    ASSERT_GT(hlvdsim::fault_add_json(root(), {{"match", {{"callback", 19}}}, {"kind", "transport"},
                                               {"how", "driver"}, {"when", "always"}},
                                      &err),
              0)
        << err;
    for (const char *prop : {"TxRate", "VLANID", "MACAddress", "LinkStatus"})
        EXPECT_NE(std::string::npos, value_at(vf(2) + "/" + prop).find("error")) << prop;
    clear_log(root());
    EXPECT_NE(0, set_at(vf(2) + "/TxRate", "500"));
    EXPECT_TRUE(host_runs().empty());
}

TEST_F(VirtualFunctions, VnicGroupsReadNameAndStatistics)
{
    const std::string iscsi = adapter_path(kAw3) + "/iSCSIPhysicalHBA0/Network/NICConfiguration/vNIC";
    const struct {
        std::string group;
        const char *enabled, *name, *vlan, *min, *max;
    } rows[] = {
        // Enabled reads "true" in lower case and still counts as enabled.
        {nic0() + "/vNIC", "true", "VN-NIC0", "100", "10", "50"},
        {nic1() + "/vNIC", "False", "", "", "", ""},
        {iscsi, "true", "VN-ISCSI", "200", "20", "40"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.group);
        EXPECT_EQ(r.enabled, value_at(r.group + "/vNICEnabled"));
        EXPECT_EQ(r.name, value_at(r.group + "/vNICName"));
        EXPECT_EQ(r.vlan, value_at(r.group + "/OuterVLANID"));
        EXPECT_EQ(r.min, value_at(r.group + "/MinBandwidth"));
        EXPECT_EQ(r.max, value_at(r.group + "/MaxBandwidth"));
    }
}

TEST_F(VirtualFunctions, VnicFailures)
{
    const std::string group = nic0() + "/vNIC";
    // Firmware that does not know the name query: not enabled, and the
    // statistics are empty without a statistics query.
    plan_status(root(), 1, 120, 2, 30);
    clear_log(root());
    EXPECT_EQ("False", value_at(group + "/vNICEnabled"));
    EXPECT_EQ("", value_at(group + "/vNICName"));
    EXPECT_EQ("", value_at(group + "/OuterVLANID"));
    EXPECT_EQ("", value_at(group + "/MaxBandwidth"));
    EXPECT_FALSE(sent(64));

    hlvdsim::fault_clear(root());
    plan_status(root(), 1, 120, 2, 0);
    EXPECT_EQ("error 1", value_at(group + "/vNICName"));
    EXPECT_EQ(186, last_status().first);
    // The NIC statistics fail with the name; the iSCSI ones go on as empty.
    EXPECT_EQ("error 1", value_at(group + "/OuterVLANID"));
    const std::string iscsi = adapter_path(kAw3) + "/iSCSIPhysicalHBA0/Network/NICConfiguration/vNIC";
    EXPECT_EQ("", value_at(iscsi + "/OuterVLANID"));

    hlvdsim::fault_clear(root());
    plan_status(root(), 1, 64, 2, 0);
    EXPECT_EQ("error 1", value_at(group + "/MinBandwidth"));
    EXPECT_EQ(185, last_status().first);

    hlvdsim::fault_clear(root());
    clear_log(root());
    EXPECT_EQ("error 1", value_at(adapter_path(kVrw) + "/NICPhysicalHBA0/vNIC/vNICEnabled"));
    EXPECT_EQ(259, last_status().first);
    EXPECT_FALSE(sent(120));
}

TEST_F(VirtualFunctions, NicLogicalLinkStatusReadsTheDriverRecord)
{
    EXPECT_EQ("Up", value_at(nic0() + "/LogicalLinkStatus"));
    std::string err;
    ASSERT_GT(hlvdsim::fault_add_json(root(), {{"match", {{"callback", 19}}}, {"kind", "transport"},
                                               {"how", "driver"}}, &err),
              0)
        << err;
    EXPECT_EQ("error 1", value_at(nic0() + "/LogicalLinkStatus"));
}

TEST(VfCommand, WordsAreCheckedBeforeAnythingRuns)
{
    const struct {
        const char *ifname;
        int vf;
        std::vector<std::string> words;
        bool ok;
    } rows[] = {
        {"vmnic4", 2, {"vlan", "10", "rate", "500"}, true},
        {"eth0.100", 63, {"mac", "02:aa:bb:cc:dd:01"}, true},
        {"en_p1-2", 0, {"vlan", "0"}, true},
        {"vmnic4", 64, {"vlan", "0"}, false},
        {"vmnic4", -1, {"vlan", "0"}, false},
        {"vm/nic", 0, {"vlan", "0"}, false},
        {"vmnic4", 0, {"vlan", "-1"}, false},
        {"vmnic4", 0, {"vlan", ""}, false},
        {"vmnic4", 0, {"mac", "$(id)"}, false},
        {"abcdefghijklmnop", 0, {"vlan", "0"}, false},
    };
    for (const auto &r : rows)
        EXPECT_EQ(r.ok, vf_command_valid(r.ifname, r.vf, r.words)) << r.ifname << " " << r.vf;
}

} // namespace
