// Port groups built at back-end start from the simulated firmware: the port
// properties, the DCBX priority-group and application-TLV instances, the
// channels of a port, what a failed DCBX read leaves out, and the release
// of the node handles the port groups share with their functions.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/port_discovery.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "backend_fixture.h"
#include "sim/fault_plan.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

// An AW3 adapter with functions on ports 0 and 2 only (port 0: a NIC
// function with virtual functions, hence a VF-template descriptor, and an
// iSCSI function; port 2: a NIC function), a Trelmont adapter with a RoCE
// function, a Varrow and an AW2 adapter.
const char kPorts[] = R"({
  "host": { "release": "VMware ESXi 6.7.0 build-8169922" },
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3PD0001",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "ports": [
        { "name": "P",
          "phy": { "interface_type": 13, "extended": "0xFEEC", "auto_speeds": "0x0C", "fixed_speeds": 0 },
          "dcbx": { "administrator": [ { "protocol": "0x8906", "selector": 0, "priorities": [0, 3] } ],
                    "operational": [ { "protocol": "0x8914", "selector": 0, "priorities": [3], "valid": 0 },
                                     { "protocol": 3260, "selector": 1, "priorities": [4], "oui": "0x1b21" } ],
                    "peer": [] } },
        { "name": "X" },
        { "name": "Q",
          "phy": { "interface_type": 14, "extended": "0xFEEC", "auto_speeds": "0x0C", "fixed_speeds": "0x08" } }
      ],
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:20", "vfs": 2,
          "vlan_id": 100, "lld": true, "bw_min": 10, "bw_max": 60 },
        { "bus": 4, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 2,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:21" },
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:22", "bw_min": 20, "bw_max": 50 }
      ] },
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLPD0001",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:30" },
        { "bus": 5, "function": 2, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:32", "roce": true },
        { "bus": 5, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 1,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:31", "pf_state": 0 }
      ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWPD0001",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE222", "mac": "00:00:C9:D5:00:40" }
      ] },
    { "name": "aw2", "family": "converged", "generation": "AW2", "serial": "AW2PD0001",
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.1" },
      "phy": { "extended": "0xFEEC", "auto_speeds": "0x0C" },
      "ports": [ { "name": "M" }, { "name": "N" } ],
      "functions": [
        { "bus": 3, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE602", "mac": "00:00:C9:A2:00:10" },
        { "bus": 3, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 1,
          "subvendor": "0x10DF", "subdevice": "0xE602", "mac": "00:00:C9:A2:00:11" }
      ] }
  ]
})";

class PortDiscovery : public ::testing::Test {
protected:
    void start(const char *machine = kPorts)
    {
        host_ = std::make_unique<SimHost>(machine);
        counter_ = vexo_counter;
    }
    void TearDown() override
    {
        while (vexo_client_count > 0)
            EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(counter_, vexo_counter) << "counted memory left behind";
    }
    const std::string &root() const { return host_->root(); }

    // "ArcwrightN" of the adapter with this serial number.
    std::string adapter(const std::string &serial)
    {
        std::string name = adapter_path(serial);
        if (!name.empty())
            return name;
        ADD_FAILURE() << "no adapter " << serial;
        return "none";
    }

    std::vector<int> instances(const std::string &group, const char *base)
    {
        node_tag_t tag = tag_at(group, VEXO_NODE_GROUP);
        EXPECT_NE(-1, tag) << group;
        int list[64] = {};
        int count = -1;
        EXPECT_EQ(VEXO_STATUS_SUCCESS, VEXO_get_valid_instances(tag, const_cast<char *>(base), list, &count));
        return std::vector<int>(list, list + (count > 0 ? count : 0));
    }

    std::unique_ptr<SimHost> host_;
    int counter_ = 0;
};

TEST_F(PortDiscovery, PortsNamesInterfaceTypesAndSpeeds)
{
    start();
    ASSERT_EQ(0, VEXO_init());
    std::string aw3 = adapter("AW3PD0001");
    // Ports 0 and 2 have functions; they are instances 0 and 1.
    EXPECT_EQ((std::vector<int>{0, 1}), instances(aw3, "PortDiscoveryAndConfiguration"));
    const struct {
        const char *port;
        const char *number, *name, *interface, *an, *force;
    } rows[] = {
        {"PortDiscoveryAndConfiguration0", "0", "P", "Not Supported", "1Gb,10Gb", "0"},
        {"PortDiscoveryAndConfiguration1", "2", "Q", "N/A", "1Gb,10Gb", "10Gb"},
    };
    for (const auto &r : rows) {
        std::string p = aw3 + "/" + r.port;
        SCOPED_TRACE(p);
        EXPECT_EQ(r.number, value_at(p + "/PortNumber"));
        EXPECT_EQ(r.name, value_at(p + "/PortName"));
        EXPECT_EQ(r.interface, value_at(p + "/InterfaceType"));
        EXPECT_EQ(r.an, value_at(p + "/ANSpeedsSupported"));
        EXPECT_EQ(r.force, value_at(p + "/ForceSpeedsSupported"));
    }
    // Without valid speed masks both lists read N/A; the default PHY is SFP+.
    std::string trl = adapter("TRLPD0001") + "/PortDiscoveryAndConfiguration0";
    EXPECT_EQ("SFP_PLUS_10GB_TYPE", value_at(trl + "/InterfaceType"));
    EXPECT_EQ("N/A", value_at(trl + "/ANSpeedsSupported"));
    EXPECT_EQ("0", value_at(trl + "/PortName"));
    // AW2 names its ports through the version-0 command and shows no speeds,
    // whatever its PHY answers.
    std::string aw2 = adapter("AW2PD0001");
    EXPECT_EQ("N", value_at(aw2 + "/PortDiscoveryAndConfiguration1/PortName"));
    EXPECT_EQ("N/A", value_at(aw2 + "/PortDiscoveryAndConfiguration0/ANSpeedsSupported"));
    EXPECT_EQ("N/A", value_at(aw2 + "/PortDiscoveryAndConfiguration0/ForceSpeedsSupported"));

    // The port group answers its commands through the function's slot.
    node *port = get_node(tag_at(aw3 + "/PortDiscoveryAndConfiguration1", VEXO_NODE_GROUP));
    node *nic = get_node(tag_at(aw3 + "/NICPhysicalHBA1", VEXO_NODE_GROUP));
    ASSERT_TRUE(port && nic);
    EXPECT_EQ(nic->u.grp->handle, port->u.grp->handle);
}

TEST(PortSpeedList, MaskBitsInOrder)
{
    const struct {
        uint16_t mask;
        const char *text;
    } rows[] = {{0x0C, "1Gb,10Gb"}, {0, "0"}, {0x3F, "10Mb,100Mb,1Gb,10Gb,20Gb,40Gb"}, {0xFFC0, "0"}, {0x21, "10Mb,40Gb"}};
    for (const auto &r : rows) {
        char out[VEXO_VALUE_SIZE];
        port_speed_list(r.mask, out);
        EXPECT_STREQ(r.text, out) << r.mask;
    }
}

TEST_F(PortDiscovery, PriorityGroupsAndApplicationTlvs)
{
    start();
    ASSERT_EQ(0, VEXO_init());
    std::string p = adapter("AW3PD0001") + "/PortDiscoveryAndConfiguration0/DCBX";
    for (const char *pg : {"AdministratorPGSetting", "OperationalPGSettings", "PeerPGSetting"})
        EXPECT_EQ(8u, instances(p + "/PriorityGroups/" + pg, "PG").size()) << pg;

    std::string admin = p + "/ApplicationTLVGroups/AdministratorTLVSetting";
    ASSERT_EQ((std::vector<int>{0}), instances(admin, "ApplicationTLV"));
    EXPECT_EQ("0x09", value_at(admin + "/ApplicationTLV0/PriorityBitMap"));
    EXPECT_EQ("0x8906", value_at(admin + "/ApplicationTLV0/ProtocolID"));
    EXPECT_EQ("0", value_at(admin + "/ApplicationTLV0/ProtocolSelector"));
    EXPECT_EQ("0x1b21", value_at(admin + "/ApplicationTLV0/OUI"));
    // Saved like an entry the user added: the action and its decimal parameters.
    node *tlv = get_node(tag_at(admin + "/ApplicationTLV0", VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, tlv);
    const persistency &rec = tlv->u.grp->persistency_info;
    ASSERT_NE(nullptr, rec.action);
    EXPECT_STREQ("AddApplicationTLV", rec.action->node_name);
    EXPECT_EQ(get_node(tag_at(admin, VEXO_NODE_GROUP)), rec.context);
    EXPECT_STREQ("0", rec.params[0]);
    EXPECT_STREQ("35078", rec.params[1]);
    EXPECT_STREQ("9", rec.params[2]);
    EXPECT_STREQ("6945", rec.params[3]);

    // Only valid entries count; operational and peer entries have no record.
    std::string oper = p + "/ApplicationTLVGroups/OperationalTLVSettings";
    ASSERT_EQ((std::vector<int>{0}), instances(oper, "ApplicationTLV"));
    EXPECT_EQ("0xcbc", value_at(oper + "/ApplicationTLV0/ProtocolID"));
    EXPECT_EQ("1", value_at(oper + "/ApplicationTLV0/ProtocolSelector"));
    EXPECT_EQ("0x10", value_at(oper + "/ApplicationTLV0/PriorityBitMap"));
    tlv = get_node(tag_at(oper + "/ApplicationTLV0", VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, tlv);
    EXPECT_EQ(nullptr, tlv->u.grp->persistency_info.action);
    EXPECT_TRUE(instances(p + "/ApplicationTLVGroups/PeerTLVSetting", "ApplicationTLV").empty());
}

TEST_F(PortDiscovery, ChannelsOfEachPort)
{
    start();
    ASSERT_EQ(0, VEXO_init());
    std::string aw3 = adapter("AW3PD0001");
    // Port 0: the NIC function (its VF template makes none) and the iSCSI
    // function; port 2's function is on another link.
    std::string cm0 = aw3 + "/PortDiscoveryAndConfiguration0/ChannelManagement";
    ASSERT_EQ((std::vector<int>{0, 1}), instances(cm0, "Channel"));
    const struct {
        const char *channel, *function, *type, *state, *mac, *lpvid, *min, *max;
    } rows[] = {
        {"/Channel0", "0x0", "NIC", "Disabled", "00-00-c9-b3-00-20", "100", "10", "60"},
        {"/Channel1", "0x2", "iSCSI", "Enabled", "00-00-c9-b3-00-22", "N/A", "20", "50"},
    };
    for (const auto &r : rows) {
        std::string c = cm0 + r.channel;
        SCOPED_TRACE(c);
        EXPECT_EQ(r.function, value_at(c + "/FunctionNumber"));
        EXPECT_EQ(r.type, value_at(c + "/Type"));
        EXPECT_EQ(r.state, value_at(c + "/LogicalLinkState"));
        EXPECT_EQ(r.mac, value_at(c + "/MACAddress"));
        EXPECT_EQ(r.lpvid, value_at(c + "/LPVID"));
        EXPECT_EQ(r.min, value_at(c + "/MinBandWidth"));
        EXPECT_EQ(r.max, value_at(c + "/MaxBandWidth"));
    }
    std::string cm2 = aw3 + "/PortDiscoveryAndConfiguration1/ChannelManagement";
    ASSERT_EQ((std::vector<int>{0}), instances(cm2, "Channel"));
    EXPECT_EQ("0x1", value_at(cm2 + "/Channel0/FunctionNumber"));

    // The RDMA descriptor marks its own function's NIC channel only; a
    // function whose PCIe state is not 1 gets no channel.
    std::string trl = adapter("TRLPD0001");
    std::string tcm = trl + "/PortDiscoveryAndConfiguration0/ChannelManagement";
    ASSERT_EQ((std::vector<int>{0, 1}), instances(tcm, "Channel"));
    EXPECT_EQ("NIC", value_at(tcm + "/Channel0/Type"));
    EXPECT_EQ("0x2", value_at(tcm + "/Channel1/FunctionNumber"));
    EXPECT_EQ("NIC+RoCE", value_at(tcm + "/Channel1/Type"));
    EXPECT_TRUE(instances(trl + "/PortDiscoveryAndConfiguration1/ChannelManagement", "Channel").empty());

    // Varrow has no channels.
    EXPECT_TRUE(instances(adapter("VRWPD0001") + "/PortDiscoveryAndConfiguration0/ChannelManagement", "Channel")
                    .empty());
}

TEST_F(PortDiscovery, DcbxReadThreeTimesPerPortAndAFailureSkipsOnlyThatPort)
{
    start();
    // Every DCBX read through the iSCSI function, which serves the AW3's port 0.
    hlvdsim::FaultSpec f;
    f.pci = "0000:04:00.2";
    f.subsystem = 16;
    f.opcode = 1;
    f.kind = "status";
    f.status = 2;
    f.always = true;
    std::string err;
    ASSERT_GT(hlvdsim::fault_add(root(), f, &err), 0) << err;
    ASSERT_EQ(0, VEXO_init());

    // Each port is read for the administrator, operational and peer sets
    // in that order; the failing port stops at its first read.
    std::map<std::string, std::vector<std::string>> reads;
    for (const nlohmann::json &e : fw_entries(root()))
        if (e.value("subsystem", -1) == 16 && e.value("opcode", -1) == 1)
            reads[e.value("adapter", "") + "/" + std::to_string(e.value("port", -1))].push_back(
                e.value("payload", "").substr(0, 2));
    const std::vector<std::string> three = {"00", "01", "02"};
    EXPECT_EQ(std::vector<std::string>{"00"}, reads["aw3/0"]);
    EXPECT_EQ(three, reads["aw3/2"]);
    EXPECT_EQ(three, reads["trelmont/0"]);
    EXPECT_EQ(three, reads["trelmont/1"]);
    EXPECT_EQ(three, reads["varrow/0"]);
    EXPECT_EQ(three, reads["aw2/0"]);
    EXPECT_EQ(three, reads["aw2/1"]);

    std::string aw3 = adapter("AW3PD0001");
    std::string p0 = aw3 + "/PortDiscoveryAndConfiguration0";
    EXPECT_EQ("P", value_at(p0 + "/PortName"));
    EXPECT_EQ(8u, instances(p0 + "/DCBX/PriorityGroups/AdministratorPGSetting", "PG").size());
    EXPECT_TRUE(instances(p0 + "/DCBX/ApplicationTLVGroups/AdministratorTLVSetting", "ApplicationTLV").empty());
    EXPECT_TRUE(instances(p0 + "/ChannelManagement", "Channel").empty());
    EXPECT_EQ(1u, instances(aw3 + "/PortDiscoveryAndConfiguration1/ChannelManagement", "Channel").size());
}

// The port groups hold their functions' handles: stopping, deleting the
// port groups and rebuilding the tree each free every handle once.
TEST_F(PortDiscovery, SharedHandlesAreFreedOnce)
{
    start();
    ASSERT_EQ(0, VEXO_init());
    node *aw3 = get_node(tag_at(adapter("AW3PD0001"), VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, aw3);
    EXPECT_EQ(VEXO_STATUS_SUCCESS, purge_nodes_within(aw3, "PortDiscoveryAndConfiguration"));
    EXPECT_EQ(nullptr, get_first_instance(aw3, "PortDiscoveryAndConfiguration"));
    // The functions still answer through their handles.
    EXPECT_EQ("AW3PD0001", value_at(adapter("AW3PD0001") + "/SerialNumber"));
    EXPECT_NE(-1, get_port_number(get_node(tag_at(adapter("AW3PD0001") + "/NICPhysicalHBA0", VEXO_NODE_GROUP))));

    // A lost NIC function rebuilds the whole tree at the next call.
    set_function_driver(root(), 1, 2, "none");
    EXPECT_EQ(1, refresh_vexo_hierarchy());
    EXPECT_EQ("TRLPD0001", value_at(adapter("TRLPD0001") + "/SerialNumber"));
    EXPECT_FALSE(backend_tree_stale());
    EXPECT_EQ("0", value_at(adapter("TRLPD0001") + "/PortDiscoveryAndConfiguration0/PortNumber"));
    EXPECT_EQ(0, VEXO_exit());
    EXPECT_EQ(counter_, vexo_counter);
}

} // namespace
