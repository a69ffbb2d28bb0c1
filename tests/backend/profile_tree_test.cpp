// The profile tree that the start builds from a converged adapter's
// firmware: offered profiles with their protocols, the active and the
// configured profile with ports and functions, the configured-profile file
// lines and the link configurations; older generations build none.
#include <string>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/profile_tree.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

// Trelmont: port 0 holds NIC 0x0 with RoCE, iSCSI 0x2 and NIC 0x3; port 1
// holds NIC 0x1, switched off. Profile 20 is listed by the firmware too.
const char kTree[] = R"({
  "adapters": [
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLTREE1",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "max_pf_count": 6, "active_profile": 5,
      "pf_counts": { "nic": 2, "iscsi": 1, "fcoe": 0, "roce": 1, "storage": 1 },
      "profiles": [
        { "id": 20, "description": "Internal" },
        { "id": 5, "description": "NIC RoCE", "caps": ["nic", "roce"], "counts": { "nic": 3, "roce": 2 } },
        { "id": 6, "description": "RoCE only", "caps": ["roce"], "counts": { "roce": 4 } },
        { "id": 7, "description": "Storage", "caps": ["iscsi", "fcoe"], "counts": { "iscsi": 1, "fcoe": 2 } } ],
      "ari": { "max_pf_id": 15, "active_max_pf_id": 2 },
      "link_configs": [ { "id": 3, "description": "2x25G" }, { "id": 4, "description": "4x10G" } ],
      "ports": [ { "mc_type": 9 }, { "mc_type": 5 } ],
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:30", "roce": 1 },
        { "bus": 5, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 1,
          "mac": "00:00:C9:C4:00:31", "pf_state": 0 },
        { "bus": 5, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0722", "port": 0,
          "mac": "00:00:C9:C4:00:32", "mission_roles": 6, "presentation_chg": true },
        { "bus": 5, "function": 3, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:33" } ] },
    { "name": "aw2", "family": "converged", "generation": "AW2", "serial": "AW2TREE1",
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.1" },
      "functions": [
        { "bus": 3, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 0,
          "mac": "00:00:C9:A2:00:10" } ] },
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3TREE1",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "profiles": [ { "id": 5, "description": "NIC", "caps": ["nic"] } ],
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "mac": "00:00:C9:B3:00:20" } ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWTREE1",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "mac": "00:00:C9:D5:00:40" } ] }
  ]
})";

bool exists(const std::string &path)
{
    return tag_at(path, VEXO_NODE_GROUP) != -1;
}

class ProfileTree : public ::testing::Test {
protected:
    void start()
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        started_ = true;
        t_ = adapter_path("TRLTREE1");
        ASSERT_FALSE(t_.empty());
    }
    void TearDown() override
    {
        if (!started_)
            return;
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }
    std::string pm(const std::string &rest) { return value_at(t_ + "/ProfileManagement/" + rest); }

    SimHost host_{kTree};
    std::string t_;
    int start_ = 0;
    bool started_ = false;
};

TEST_F(ProfileTree, OfferedProfilesAndTheirProtocols)
{
    start();
    // Profile 20 is passed over; RoCE after NIC joins it, RoCE alone stands.
    struct Row {
        const char *profile, *id, *description, *protocol0, *count0, *protocol1, *count1;
    } rows[] = {
        {"Profile0", "5", "NIC RoCE", "NIC+RoCE", "6", nullptr, nullptr},
        {"Profile1", "6", "RoCE only", "RoCE", "8", nullptr, nullptr},
        {"Profile2", "7", "Storage", "iSCSI", "2", "FCoE", "4"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.profile);
        std::string p = std::string(r.profile) + "/";
        EXPECT_EQ(r.id, pm(p + "ProfileId"));
        EXPECT_EQ(r.description, pm(p + "ProfileDescription"));
        EXPECT_EQ(r.protocol0, pm(p + "Protocol0/ProtocolName"));
        EXPECT_EQ(r.count0, pm(p + "Protocol0/FunctionCount"));
        if (r.protocol1) {
            EXPECT_EQ(r.protocol1, pm(p + "Protocol1/ProtocolName"));
            EXPECT_EQ(r.count1, pm(p + "Protocol1/FunctionCount"));
        } else {
            EXPECT_FALSE(exists(t_ + "/ProfileManagement/" + p + "Protocol1"));
        }
    }
    EXPECT_FALSE(exists(t_ + "/ProfileManagement/Profile3"));
}

TEST_F(ProfileTree, ActiveAndConfiguredFunctions)
{
    start();
    EXPECT_EQ("5", pm("ActiveProfile/ProfileId"));
    // mc_type 9 has no text: the port keeps its default.
    EXPECT_EQ("None", pm("ActiveProfile/Port0/MCType"));
    EXPECT_EQ("NPAR", pm("ActiveProfile/Port1/MCType"));
    EXPECT_EQ("2", pm("ActiveProfile/Port0/MaxNICPFCount"));
    EXPECT_EQ("1", pm("ActiveProfile/Port0/MaxStoragePFCount"));

    struct Row {
        const char *function, *protocol, *number, *mac, *state, *sriov;
    } active[] = {
        {"Port0/Function0", "NIC+RoCE", "0x0", "00-00-c9-c4-00-30", nullptr, nullptr},
        {"Port0/Function1", "iSCSI", "0x2", "00-00-c9-c4-00-32", nullptr, nullptr},
        {"Port1/Function0", "None", "0x1", "00-00-c9-c4-00-31", nullptr, nullptr},
    },
      configured[] = {
          {"Port0/Function0", "NIC+RoCE", "0x0", nullptr, "Enabled", "Disabled"},
          {"Port0/Function1", "iSCSI", "0x2", nullptr, "Enabled", "N/A"},
          {"Port0/Function2", "NIC", "0x3", nullptr, "Enabled", "Disabled"},
          {"Port1/Function0", "NIC", "0x1", nullptr, "Disabled", "Disabled"},
      };
    for (const Row &r : active) {
        SCOPED_TRACE(std::string("active ") + r.function);
        std::string f = std::string("ActiveProfile/") + r.function + "/";
        EXPECT_EQ(r.protocol, pm(f + "Protocol"));
        EXPECT_EQ(r.number, pm(f + "FunctionNumber"));
        EXPECT_EQ(r.mac, pm(f + "MACAddress"));
    }
    // The active walk stops at the first function above the ARI limit 2.
    EXPECT_FALSE(exists(t_ + "/ProfileManagement/ActiveProfile/Port0/Function2"));

    EXPECT_EQ("5", pm("ConfiguredProfile/ProfileId"));
    for (const Row &r : configured) {
        SCOPED_TRACE(std::string("configured ") + r.function);
        std::string f = std::string("ConfiguredProfile/") + r.function + "/";
        EXPECT_EQ(r.protocol, pm(f + "Protocol"));
        EXPECT_EQ(r.number, pm(f + "FunctionNumber"));
        EXPECT_EQ(r.state, pm(f + "State"));
        EXPECT_EQ(r.sriov, pm(f + "SRIOVState"));
    }
    // Mission roles iSCSI and FCoE, and the function can be switched off.
    EXPECT_EQ("iSCSI,FCoE,None", pm("ConfiguredProfile/Port0/Function1/AvailableProtocols"));
}

TEST_F(ProfileTree, ConfiguredProfileFileHoldsTheAdaptersLines)
{
    start();
    std::string bus = value_at(t_ + "/iSCSIPhysicalHBA0/PCI/BusNumber");
    ASSERT_EQ(std::string::npos, bus.find("error"));
    std::string k = "TRLTREE1," + bus + ",5,";
    std::string want = k + ",0x0,NIC,Disabled\n" + k + ",0x0,NIC+RoCE,Disabled\n" + k + ",0x2,iSCSI,N/A\n" + k +
                       ",0x3,NIC,Disabled\n" + k + "NPAR,0x1,NIC,Disabled\n";
    EXPECT_EQ(want, hlvdtest::read_file(host_.path("/etc/config/TAQ/vexo/config_prof.txt")));

    // A rebuild whose firmware read fails reports it and leaves no stale lines.
    node *adapter = get_node(tag_at(t_, VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, adapter);
    plan_status(host_.root(), 1, 164, 1);
    EXPECT_EQ(1, VEXO_get_configured_profiles(adapter));
    EXPECT_EQ(std::string::npos,
              hlvdtest::read_file(host_.path("/etc/config/TAQ/vexo/config_prof.txt")).find("TRLTREE1"));
}

TEST_F(ProfileTree, FailedAriReadListsEveryActiveFunction)
{
    plan_status(host_.root(), 1, 94, 1);
    start();
    EXPECT_EQ("0x3", pm("ActiveProfile/Port0/Function2/FunctionNumber"));
}

TEST_F(ProfileTree, LinkConfigurations)
{
    start();
    EXPECT_EQ("N/A", value_at(t_ + "/LinkReconfiguration/ActiveLinkConfigID"));
    EXPECT_EQ("N/A", value_at(t_ + "/LinkReconfiguration/ConfiguredLinkConfigID"));
    EXPECT_EQ("3", value_at(t_ + "/LinkReconfiguration/LinkConfig0/LinkConfigID"));
    EXPECT_EQ("2x25G", value_at(t_ + "/LinkReconfiguration/LinkConfig0/LinkConfigDescription"));
    EXPECT_EQ("4", value_at(t_ + "/LinkReconfiguration/LinkConfig1/LinkConfigID"));
    EXPECT_FALSE(exists(t_ + "/LinkReconfiguration/LinkConfig2"));
    // A refresh with flag 1 reads the IDs only.
    node *adapter = get_node(tag_at(t_, VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, adapter);
    EXPECT_EQ(0, VEXO_get_link_reconfig_details(adapter, 1));
    EXPECT_FALSE(exists(t_ + "/LinkReconfiguration/LinkConfig2"));
}

TEST_F(ProfileTree, OlderGenerationsBuildNoProfiles)
{
    start();
    for (const char *serial : {"AW2TREE1", "AW3TREE1", "VRWTREE1"}) {
        SCOPED_TRACE(serial);
        std::string a = adapter_path(serial);
        ASSERT_FALSE(a.empty());
        EXPECT_FALSE(exists(a + "/ProfileManagement/Profile0"));
        EXPECT_FALSE(exists(a + "/ProfileManagement/ActiveProfile/Port0"));
        EXPECT_FALSE(exists(a + "/ProfileManagement/ConfiguredProfile/Port0"));
        EXPECT_FALSE(exists(a + "/LinkReconfiguration/LinkConfig0"));
    }
}

} // namespace
