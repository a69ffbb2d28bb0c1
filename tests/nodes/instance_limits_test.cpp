// Instance limits of the adapter, NIC-function and iSCSI-function groups and
// of the repeated groups the back end adds below an adapter: the instance
// past the limit is refused and leaves the tree unchanged, a deleted
// instance number is given to the next instance, and every parent counts
// its instances on its own.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/aw/vexo-backend/nodes_iscsi.h"
#include "mgmt/aw/vexo-backend/nodes_ncsi_logs.h"
#include "mgmt/aw/vexo-backend/nodes_nic.h"
#include "mgmt/aw/vexo-backend/nodes_port.h"
#include "mgmt/aw/vexo-backend/nodes_profile.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "node_table_check.h"

using namespace nodestest;

namespace {

using builder = node *(*)(node *, node *, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

node *root()
{
    return get_node(0);
}

node *first_adapter()
{
    node *a = get_first_instance(root(), "Arcwright");
    return a ? a : initialize_Arcwright(root(), nullptr, nullptr, nullptr);
}

node *first_nic()
{
    return initialize_NICPhysicalHBA(first_adapter(), nullptr, nullptr, nullptr);
}

node *first_iscsi()
{
    return initialize_iSCSIPhysicalHBA(first_adapter(), nullptr, nullptr, nullptr);
}

node *first_port()
{
    node *p = get_first_instance(first_adapter(), "PortDiscoveryAndConfiguration");
    return p ? p : initialize_PortDiscoveryAndConfiguration(first_adapter(), nullptr, nullptr, nullptr);
}

node *below_adapter(const char *path)
{
    return fixed_group(first_adapter(), path);
}

node *below_port(const char *path)
{
    return fixed_group(first_port(), path);
}

struct LimitCase {
    const char *group;
    builder build;
    node *(*parent)(); // makes the parent the instances go under
    int max;
    const char *label; // test name where the group name repeats; null: the group name
};

const LimitCase kLimitCases[] = {
    {"Arcwright", initialize_Arcwright, root, 16, nullptr},
    {"NICPhysicalHBA", initialize_NICPhysicalHBA, first_adapter, 32, nullptr},
    {"NICLogicalHBA", initialize_NICLogicalHBA, first_nic, 64, nullptr},
    {"iSCSIPhysicalHBA", initialize_iSCSIPhysicalHBA, first_adapter, 8, nullptr},
    {"RouteTableEntry", initialize_RouteTableEntry,
     [] { return fixed_group(first_iscsi(), "Network/TCPIPConfiguration/RouteTable"); }, 1024, nullptr},
    {"ARPTableEntry", initialize_ARPTableEntry,
     [] { return fixed_group(first_iscsi(), "Network/TCPIPConfiguration/ARPTable"); }, 64, nullptr},
    {"iSNSServer", initialize_iSNSServer, [] { return fixed_group(first_iscsi(), "iSNS"); }, 4, nullptr},
    // The port subtree.
    {"PortDiscoveryAndConfiguration", initialize_PortDiscoveryAndConfiguration, first_adapter, 4, nullptr},
    {"Channel", initialize_Channel, [] { return below_port("ChannelManagement"); }, 16, nullptr},
    {"PG", initialize_AdministratorPGSetting_PG,
     [] { return below_port("DCBX/PriorityGroups/AdministratorPGSetting"); }, 8, "AdministratorPG"},
    {"PG", initialize_PeerPGSetting_PG, [] { return below_port("DCBX/PriorityGroups/PeerPGSetting"); }, 8, "PeerPG"},
    {"PG", initialize_OperationalPGSettings_PG,
     [] { return below_port("DCBX/PriorityGroups/OperationalPGSettings"); }, 8, "OperationalPG"},
    {"ApplicationTLV", initialize_AdministratorTLVSetting_ApplicationTLV,
     [] { return below_port("DCBX/ApplicationTLVGroups/AdministratorTLVSetting"); }, 15, "AdministratorApplicationTLV"},
    {"ApplicationTLV", initialize_PeerTLVSetting_ApplicationTLV,
     [] { return below_port("DCBX/ApplicationTLVGroups/PeerTLVSetting"); }, 15, "PeerApplicationTLV"},
    {"ApplicationTLV", initialize_OperationalTLVSettings_ApplicationTLV,
     [] { return below_port("DCBX/ApplicationTLVGroups/OperationalTLVSettings"); }, 15, "OperationalApplicationTLV"},
    // Profiles and link configurations.
    {"LinkConfig", initialize_LinkConfig, [] { return below_adapter("LinkReconfiguration"); }, 32, nullptr},
    {"Profile", initialize_Profile, [] { return below_adapter("ProfileManagement"); }, 100, nullptr},
    {"Protocol", initialize_Profile_Protocol,
     [] { return initialize_Profile(below_adapter("ProfileManagement"), nullptr, nullptr, nullptr); }, 8, nullptr},
    {"Port", initialize_ActiveProfile_Port,
     [] { return below_adapter("ProfileManagement/ActiveProfile"); }, 4, "ActiveProfilePort"},
    {"Function", initialize_ActiveProfile_Port_Function,
     [] {
         return initialize_ActiveProfile_Port(below_adapter("ProfileManagement/ActiveProfile"), nullptr, nullptr,
                                              nullptr);
     },
     64, "ActiveProfileFunction"},
    {"Port", initialize_ConfiguredProfile_Port,
     [] { return below_adapter("ProfileManagement/ConfiguredProfile"); }, 4, "ConfiguredProfilePort"},
    {"Function", initialize_ConfiguredProfile_Port_Function,
     [] {
         return initialize_ConfiguredProfile_Port(below_adapter("ProfileManagement/ConfiguredProfile"), nullptr,
                                                  nullptr, nullptr);
     },
     64, "ConfiguredProfileFunction"},
    // NC-SI, trace modules, event log.
    {"NCSIStaticConfiguration", initialize_NCSIStaticConfiguration, [] { return below_adapter("NCSI"); }, 1, nullptr},
    {"NCSIDynamicConfiguration", initialize_NCSIDynamicConfiguration, [] { return below_adapter("NCSI"); }, 1, nullptr},
    {"ExtFATModule", initialize_ExtFATModule, [] { return below_adapter("ExtFATData"); }, 64, nullptr},
    {"ExtFATMode", initialize_ExtFATMode,
     [] { return initialize_ExtFATModule(below_adapter("ExtFATData"), nullptr, nullptr, nullptr); }, 2, nullptr},
    {"EventLogEntry", initialize_EventLogEntry, [] { return below_adapter("EventLog"); }, 1024, nullptr},
};

class InstanceLimits : public NodeTreeTest, public ::testing::WithParamInterface<LimitCase> {};

std::vector<int> instance_numbers(node *parent, const char *group)
{
    std::vector<int> numbers(1024);
    int count = 0;
    char name[VEXO_MAX_NAME_SIZE];
    std::snprintf(name, sizeof name, "%s", group);
    if (VEXO_get_valid_instances(parent->node_tag, name, numbers.data(), &count) != VEXO_STATUS_SUCCESS)
        return {-1};
    numbers.resize(static_cast<size_t>(count));
    return numbers;
}

TEST_P(InstanceLimits, OnePastTheLimitIsRefusedAndAFreedNumberIsReused)
{
    const LimitCase &c = GetParam();
    node *parent = c.parent();
    ASSERT_NE(nullptr, parent);

    std::vector<node *> built;
    for (int i = 0; i < c.max; ++i) {
        node *g = c.build(parent, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, g) << c.group << " " << i;
        ASSERT_EQ(i, g->u.grp->multi_instance->instance);
        built.push_back(g);
    }
    std::vector<int> all(static_cast<size_t>(c.max));
    for (int i = 0; i < c.max; ++i)
        all[static_cast<size_t>(i)] = i;
    EXPECT_EQ(all, instance_numbers(parent, c.group));

    // One more: refused, nothing registered, nothing allocated.
    int nodes = registered_nodes();
    int memory = vexo_counter;
    EXPECT_EQ(nullptr, c.build(parent, nullptr, nullptr, nullptr));
    EXPECT_EQ(nodes, registered_nodes());
    EXPECT_EQ(memory, vexo_counter);

    // A freed number goes to the next instance, in its old place.
    int k = c.max / 2;
    node *before = built[static_cast<size_t>(k)]->prev_sibling;
    node *after = built[static_cast<size_t>(k)]->next_sibling;
    ASSERT_EQ(VEXO_STATUS_SUCCESS, delete_node(built[static_cast<size_t>(k)]));
    node *again = c.build(parent, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(k, again->u.grp->multi_instance->instance);
    EXPECT_EQ(before, again->prev_sibling);
    EXPECT_EQ(after, again->next_sibling);
    EXPECT_EQ(all, instance_numbers(parent, c.group));
    EXPECT_EQ(nullptr, c.build(parent, nullptr, nullptr, nullptr));
}

INSTANTIATE_TEST_SUITE_P(Groups, InstanceLimits, ::testing::ValuesIn(kLimitCases),
                         [](const ::testing::TestParamInfo<LimitCase> &info) {
                             return std::string(info.param.label ? info.param.label : info.param.group);
                         });

TEST_F(NodeTreeTest, EveryParentNumbersItsOwnInstances)
{
    // Two adapters, two functions each: every function and every group
    // inside it starts again at 0, and filling one parent leaves the
    // others free.
    node *a0 = initialize_Arcwright(root(), nullptr, nullptr, nullptr);
    node *a1 = initialize_Arcwright(root(), nullptr, nullptr, nullptr);
    ASSERT_TRUE(a0 && a1);
    for (node *a : {a0, a1}) {
        for (int f = 0; f < 2; ++f) {
            node *nic = initialize_NICPhysicalHBA(a, nullptr, nullptr, nullptr);
            node *iscsi = initialize_iSCSIPhysicalHBA(a, nullptr, nullptr, nullptr);
            ASSERT_TRUE(nic && iscsi);
            EXPECT_EQ(f, nic->u.grp->multi_instance->instance);
            EXPECT_EQ(f, iscsi->u.grp->multi_instance->instance);
            node *vf = initialize_NICLogicalHBA(nic, nullptr, nullptr, nullptr);
            node *route = initialize_RouteTableEntry(fixed_group(iscsi, "Network/TCPIPConfiguration/RouteTable"),
                                                     nullptr, nullptr, nullptr);
            node *arp = initialize_ARPTableEntry(fixed_group(iscsi, "Network/TCPIPConfiguration/ARPTable"), nullptr,
                                                 nullptr, nullptr);
            node *server = initialize_iSNSServer(fixed_group(iscsi, "iSNS"), nullptr, nullptr, nullptr);
            ASSERT_TRUE(vf && route && arp && server);
            for (node *g : {vf, route, arp, server})
                EXPECT_EQ(0, g->u.grp->multi_instance->instance) << g->node_name;
        }
    }

    node *nic = get_first_instance(a0, "NICPhysicalHBA");
    for (int i = 1; i < 64; ++i)
        ASSERT_NE(nullptr, initialize_NICLogicalHBA(nic, nullptr, nullptr, nullptr));
    EXPECT_EQ(nullptr, initialize_NICLogicalHBA(nic, nullptr, nullptr, nullptr));
    node *other = initialize_NICLogicalHBA(get_first_instance(a1, "NICPhysicalHBA"), nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, other);
    EXPECT_EQ(1, other->u.grp->multi_instance->instance);
}

TEST_F(NodeTreeTest, TheLastAdapterAndFunctionsHaveRoomToo)
{
    // The highest numbers of every ancestor select the last slice of each
    // bit field: Arcwright15 / NICPhysicalHBA31 / NICLogicalHBA and
    // Arcwright15 / iSCSIPhysicalHBA7 / routes, ARP entries, iSNS servers.
    node *last = nullptr;
    for (int i = 0; i < 16; ++i)
        ASSERT_NE(nullptr, last = initialize_Arcwright(root(), nullptr, nullptr, nullptr));
    node *nic = nullptr;
    for (int i = 0; i < 32; ++i)
        ASSERT_NE(nullptr, nic = initialize_NICPhysicalHBA(last, nullptr, nullptr, nullptr));
    node *iscsi = nullptr;
    for (int i = 0; i < 8; ++i)
        ASSERT_NE(nullptr, iscsi = initialize_iSCSIPhysicalHBA(last, nullptr, nullptr, nullptr));
    ASSERT_EQ(31, nic->u.grp->multi_instance->instance);
    ASSERT_EQ(7, iscsi->u.grp->multi_instance->instance);

    struct Fill {
        builder build;
        node *parent;
        int max;
    };
    const Fill fills[] = {
        {initialize_NICLogicalHBA, nic, 64},
        {initialize_RouteTableEntry, fixed_group(iscsi, "Network/TCPIPConfiguration/RouteTable"), 1024},
        {initialize_ARPTableEntry, fixed_group(iscsi, "Network/TCPIPConfiguration/ARPTable"), 64},
        {initialize_iSNSServer, fixed_group(iscsi, "iSNS"), 4},
    };
    for (const Fill &f : fills) {
        ASSERT_NE(nullptr, f.parent);
        for (int i = 0; i < f.max; ++i) {
            node *g = f.build(f.parent, nullptr, nullptr, nullptr);
            ASSERT_NE(nullptr, g) << f.parent->node_name << " " << i;
            EXPECT_EQ(i, g->u.grp->multi_instance->instance);
        }
        EXPECT_EQ(nullptr, f.build(f.parent, nullptr, nullptr, nullptr)) << f.parent->node_name;
    }
}

TEST_F(NodeTreeTest, TheLastPortsProfilesAndModulesHaveRoomToo)
{
    // Under Arcwright15 the adapter-level groups use the last slice of their
    // bit fields; under its last port, profile and module so do the groups
    // one level further down.
    node *last = nullptr;
    for (int i = 0; i < 16; ++i)
        ASSERT_NE(nullptr, last = initialize_Arcwright(root(), nullptr, nullptr, nullptr));
    node *port = nullptr;
    for (int i = 0; i < 4; ++i)
        ASSERT_NE(nullptr, port = initialize_PortDiscoveryAndConfiguration(last, nullptr, nullptr, nullptr));
    node *profile = nullptr;
    for (int i = 0; i < 100; ++i)
        ASSERT_NE(nullptr, profile = initialize_Profile(fixed_group(last, "ProfileManagement"), nullptr, nullptr,
                                                        nullptr));
    node *active = nullptr;
    node *configured = nullptr;
    for (int i = 0; i < 4; ++i) {
        ASSERT_NE(nullptr, active = initialize_ActiveProfile_Port(fixed_group(last, "ProfileManagement/ActiveProfile"),
                                                                  nullptr, nullptr, nullptr));
        ASSERT_NE(nullptr, configured = initialize_ConfiguredProfile_Port(
                               fixed_group(last, "ProfileManagement/ConfiguredProfile"), nullptr, nullptr, nullptr));
    }
    node *module = nullptr;
    for (int i = 0; i < 64; ++i)
        ASSERT_NE(nullptr, module = initialize_ExtFATModule(fixed_group(last, "ExtFATData"), nullptr, nullptr,
                                                            nullptr));
    ASSERT_EQ(3, port->u.grp->multi_instance->instance);
    ASSERT_EQ(99, profile->u.grp->multi_instance->instance);
    ASSERT_EQ(63, module->u.grp->multi_instance->instance);

    struct Fill {
        builder build;
        node *parent;
        int max;
    };
    const Fill fills[] = {
        {initialize_Channel, fixed_group(port, "ChannelManagement"), 16},
        {initialize_AdministratorPGSetting_PG, fixed_group(port, "DCBX/PriorityGroups/AdministratorPGSetting"), 8},
        {initialize_PeerPGSetting_PG, fixed_group(port, "DCBX/PriorityGroups/PeerPGSetting"), 8},
        {initialize_OperationalPGSettings_PG, fixed_group(port, "DCBX/PriorityGroups/OperationalPGSettings"), 8},
        {initialize_AdministratorTLVSetting_ApplicationTLV,
         fixed_group(port, "DCBX/ApplicationTLVGroups/AdministratorTLVSetting"), 15},
        {initialize_PeerTLVSetting_ApplicationTLV, fixed_group(port, "DCBX/ApplicationTLVGroups/PeerTLVSetting"), 15},
        {initialize_OperationalTLVSettings_ApplicationTLV,
         fixed_group(port, "DCBX/ApplicationTLVGroups/OperationalTLVSettings"), 15},
        {initialize_LinkConfig, fixed_group(last, "LinkReconfiguration"), 32},
        {initialize_Profile_Protocol, profile, 8},
        {initialize_ActiveProfile_Port_Function, active, 64},
        {initialize_ConfiguredProfile_Port_Function, configured, 64},
        {initialize_NCSIStaticConfiguration, fixed_group(last, "NCSI"), 1},
        {initialize_NCSIDynamicConfiguration, fixed_group(last, "NCSI"), 1},
        {initialize_ExtFATMode, module, 2},
        {initialize_EventLogEntry, fixed_group(last, "EventLog"), 1024},
    };
    for (const Fill &f : fills) {
        ASSERT_NE(nullptr, f.parent);
        for (int i = 0; i < f.max; ++i) {
            node *g = f.build(f.parent, nullptr, nullptr, nullptr);
            ASSERT_NE(nullptr, g) << f.parent->node_name << " " << i;
            EXPECT_EQ(i, g->u.grp->multi_instance->instance);
        }
        EXPECT_EQ(nullptr, f.build(f.parent, nullptr, nullptr, nullptr)) << f.parent->node_name;
    }
}

TEST_F(NodeTreeTest, SameNamedGroupsOnDifferentPathsCountApart)
{
    // The Port and Function groups of the active and configured profiles,
    // and the PG and ApplicationTLV groups of the three settings sets of
    // one port, each number their instances on their own: filling one
    // leaves its namesakes free.
    node *adapter = initialize_Arcwright(root(), nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, adapter);
    node *port = initialize_PortDiscoveryAndConfiguration(adapter, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, port);
    node *active = fixed_group(adapter, "ProfileManagement/ActiveProfile");
    node *configured = fixed_group(adapter, "ProfileManagement/ConfiguredProfile");
    ASSERT_TRUE(active && configured);

    for (int i = 0; i < 4; ++i)
        ASSERT_NE(nullptr, initialize_ActiveProfile_Port(active, nullptr, nullptr, nullptr));
    node *cport = initialize_ConfiguredProfile_Port(configured, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, cport);
    EXPECT_EQ(0, cport->u.grp->multi_instance->instance);
    node *aport = get_first_instance(active, "Port");
    for (int i = 0; i < 64; ++i)
        ASSERT_NE(nullptr, initialize_ActiveProfile_Port_Function(aport, nullptr, nullptr, nullptr));
    node *cfn = initialize_ConfiguredProfile_Port_Function(cport, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, cfn);
    EXPECT_EQ(0, cfn->u.grp->multi_instance->instance);

    const char *pgs[] = {"AdministratorPGSetting", "OperationalPGSettings", "PeerPGSetting"};
    const builder pg_builders[] = {initialize_AdministratorPGSetting_PG, initialize_OperationalPGSettings_PG,
                                   initialize_PeerPGSetting_PG};
    const char *tlvs[] = {"AdministratorTLVSetting", "OperationalTLVSettings", "PeerTLVSetting"};
    const builder tlv_builders[] = {initialize_AdministratorTLVSetting_ApplicationTLV,
                                    initialize_OperationalTLVSettings_ApplicationTLV,
                                    initialize_PeerTLVSetting_ApplicationTLV};
    for (int k = 0; k < 3; ++k) {
        node *pg = fixed_group(port, (std::string("DCBX/PriorityGroups/") + pgs[k]).c_str());
        node *tlv = fixed_group(port, (std::string("DCBX/ApplicationTLVGroups/") + tlvs[k]).c_str());
        ASSERT_TRUE(pg && tlv);
        for (int i = 0; i < 8; ++i) {
            node *g = pg_builders[k](pg, nullptr, nullptr, nullptr);
            ASSERT_NE(nullptr, g) << pgs[k] << " " << i;
            EXPECT_EQ(i, g->u.grp->multi_instance->instance);
        }
        for (int i = 0; i < 15; ++i) {
            node *g = tlv_builders[k](tlv, nullptr, nullptr, nullptr);
            ASSERT_NE(nullptr, g) << tlvs[k] << " " << i;
            EXPECT_EQ(i, g->u.grp->multi_instance->instance);
        }
    }
}

} // namespace
