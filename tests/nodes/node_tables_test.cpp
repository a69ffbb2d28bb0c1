// One adapter with iSCSI functions (with routes, ARP entries and iSNS
// servers), NIC functions (with virtual functions), and the repeated groups
// the back end adds below it (profiles, NC-SI, trace modules, event log,
// ports with channels, priority groups and application entries), built
// through the builders the back end calls, compared with the expected tables.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/aw/vexo-backend/nodes_iscsi.h"
#include "mgmt/aw/vexo-backend/nodes_ncsi_logs.h"
#include "mgmt/aw/vexo-backend/nodes_nic.h"
#include "mgmt/aw/vexo-backend/nodes_port.h"
#include "mgmt/aw/vexo-backend/nodes_profile.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "node_table_check.h"

using namespace nodestest;

namespace {

using builder = node *(*)(node *, node *, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

class NodeTables : public NodeTreeTest {
protected:
    // Builds one instance and checks how many nodes the call registered.
    node *build(builder b, node *parent, int expected_nodes)
    {
        int before = registered_nodes();
        node *g = b(parent, nullptr, nullptr, nullptr);
        EXPECT_NE(nullptr, g);
        EXPECT_EQ(expected_nodes, registered_nodes() - before) << (g ? g->node_name : "?");
        return g;
    }

    // Tags rise along the builder's own nodes: they were made depth-first in
    // table order, the instance group first.
    void expect_creation_order(node *instance)
    {
        node_tag_t last = instance->node_tag;
        for (const OwnNode &o : own_nodes(instance)) {
            EXPECT_GT(o.n->node_tag, last) << instance->node_name << ": " << o.n->node_name << " out of order";
            last = o.n->node_tag;
        }
    }

    std::string value_of(node *group, const char *property)
    {
        char buf[VEXO_VALUE_SIZE] = "";
        node *p = internal_get_node(group, property, VEXO_NODE_PROPERTY);
        if (!p || VEXO_get_property_val(group->node_tag, p->node_tag, buf, sizeof buf) != VEXO_STATUS_SUCCESS)
            return "error";
        return buf;
    }
};

// Node counts of one instance of each group, its own group included.
struct CountCase {
    const ExpectedTable *table;
    NodeCounts counts;
};

TEST(NodeTableData, CountsPerInstance)
{
    // Twelve subgroups of the adapter plus ActiveProfile and ConfiguredProfile;
    // six of a NIC function; eleven of an iSCSI function.
    const CountCase cases[] = {
        {&kArcwrightTable, {15, 83, 26}},     {&kNICPhysicalHBATable, {7, 49, 5}},
        {&kNICLogicalHBATable, {1, 4, 0}},    {&kiSCSIPhysicalHBATable, {12, 53, 24}},
        {&kRouteTableEntryTable, {1, 3, 0}},  {&kARPTableEntryTable, {1, 2, 0}},
        {&kiSNSServerTable, {1, 2, 0}},
        // The port subtree: the port itself, BaseT10G and the LLDP and DCBX
        // subtrees, every one of its nodes built in one call.
        {&kPortDiscoveryAndConfigurationTable, {26, 148, 9}},
        {&kChannelTable, {1, 9, 1}},
        {&kAdministratorPGTable, {1, 2, 1}},
        {&kPeerPGTable, {1, 2, 0}},
        {&kOperationalPGTable, {1, 2, 0}},
        {&kAdministratorApplicationTLVTable, {1, 4, 0}},
        {&kPeerApplicationTLVTable, {1, 4, 0}},
        {&kOperationalApplicationTLVTable, {1, 4, 0}},
        {&kLinkConfigTable, {1, 2, 0}},
        {&kProfileTable, {1, 2, 0}},
        {&kProfileProtocolTable, {1, 2, 0}},
        {&kActiveProfilePortTable, {1, 6, 0}},
        {&kActiveProfilePortFunctionTable, {1, 4, 0}},
        {&kConfiguredProfilePortTable, {1, 1, 0}},
        {&kConfiguredProfilePortFunctionTable, {1, 6, 0}},
        {&kNCSIStaticConfigurationTable, {1, 6, 0}},
        {&kNCSIDynamicConfigurationTable, {1, 5, 0}},
        {&kExtFATModuleTable, {1, 2, 0}},
        {&kExtFATModeTable, {1, 4, 0}},
        {&kEventLogEntryTable, {1, 5, 0}},
    };
    for (const CountCase &c : cases) {
        NodeCounts n = count_rows(parse_table(*c.table));
        EXPECT_EQ(c.counts.groups, n.groups) << c.table->group;
        EXPECT_EQ(c.counts.properties, n.properties) << c.table->group;
        EXPECT_EQ(c.counts.actions, n.actions) << c.table->group;
    }
}

TEST_F(NodeTables, OneAdapterMatchesTheTablesNodeByNode)
{
    const int adapter_nodes = count_rows(parse_table(kArcwrightTable)).total();
    const int nic_nodes = count_rows(parse_table(kNICPhysicalHBATable)).total();
    const int vf_nodes = count_rows(parse_table(kNICLogicalHBATable)).total();
    const int iscsi_nodes = count_rows(parse_table(kiSCSIPhysicalHBATable)).total();
    const int route_nodes = count_rows(parse_table(kRouteTableEntryTable)).total();
    const int arp_nodes = count_rows(parse_table(kARPTableEntryTable)).total();
    const int isns_nodes = count_rows(parse_table(kiSNSServerTable)).total();
    ASSERT_EQ(124, adapter_nodes);
    ASSERT_EQ(61, nic_nodes);
    ASSERT_EQ(89, iscsi_nodes);

    // In the back end's order: the adapter, its iSCSI functions, then its
    // NIC functions, each followed by what hangs below it.
    node *adapter = build(initialize_Arcwright, get_node(0), adapter_nodes);
    ASSERT_NE(nullptr, adapter);
    std::vector<node *> iscsi;
    std::vector<node *> routes;
    std::vector<node *> arps;
    std::vector<node *> servers;
    for (int f = 0; f < 2; ++f) {
        node *fn = build(initialize_iSCSIPhysicalHBA, adapter, iscsi_nodes);
        ASSERT_NE(nullptr, fn);
        iscsi.push_back(fn);
        node *route_table = fixed_group(fn, "Network/TCPIPConfiguration/RouteTable");
        node *arp_table = fixed_group(fn, "Network/TCPIPConfiguration/ARPTable");
        node *isns = fixed_group(fn, "iSNS");
        ASSERT_TRUE(route_table && arp_table && isns);
        for (int i = 0; i < 3; ++i)
            routes.push_back(build(initialize_RouteTableEntry, route_table, route_nodes));
        for (int i = 0; i < 2; ++i)
            arps.push_back(build(initialize_ARPTableEntry, arp_table, arp_nodes));
        servers.push_back(build(initialize_iSNSServer, isns, isns_nodes));
    }
    std::vector<node *> nics;
    std::vector<node *> vfs;
    for (int f = 0; f < 2; ++f) {
        node *fn = build(initialize_NICPhysicalHBA, adapter, nic_nodes);
        ASSERT_NE(nullptr, fn);
        nics.push_back(fn);
        for (int i = 0; i < 3; ++i)
            vfs.push_back(build(initialize_NICLogicalHBA, fn, vf_nodes));
    }
    ASSERT_FALSE(HasFatalFailure());

    // Node by node, every instance against its table.
    Bindings bindings;
    expect_instance_matches(adapter, kArcwrightTable, &bindings);
    for (node *n : iscsi)
        expect_instance_matches(n, kiSCSIPhysicalHBATable, &bindings);
    for (node *n : routes)
        expect_instance_matches(n, kRouteTableEntryTable, &bindings);
    for (node *n : arps)
        expect_instance_matches(n, kARPTableEntryTable, &bindings);
    for (node *n : servers)
        expect_instance_matches(n, kiSNSServerTable, &bindings);
    for (node *n : nics)
        expect_instance_matches(n, kNICPhysicalHBATable, &bindings);
    for (node *n : vfs)
        expect_instance_matches(n, kNICLogicalHBATable, &bindings);
    expect_bindings_consistent(bindings);

    // Creation order inside every instance.
    for (const std::vector<node *> *set : {&iscsi, &routes, &arps, &servers, &nics, &vfs})
        for (node *n : *set)
            expect_creation_order(n);
    expect_creation_order(adapter);

    // Where the repeated instances hang: after the fixed children of their
    // parent, in instance order, numbered from 0 under every parent.
    EXPECT_EQ(plus(names_of_rows(kArcwrightTable),
                   {"iSCSIPhysicalHBA0", "iSCSIPhysicalHBA1", "NICPhysicalHBA0", "NICPhysicalHBA1"}),
              child_names(adapter));
    for (node *fn : nics)
        EXPECT_EQ(plus(names_of_rows(kNICPhysicalHBATable), {"NICLogicalHBA0", "NICLogicalHBA1", "NICLogicalHBA2"}),
                  child_names(fn));
    for (node *fn : iscsi) {
        EXPECT_EQ(std::vector<std::string>({"AddRouteTableEntry", "DeleteRouteTableEntry", "RefreshRouteTableEntry",
                                            "RouteTableEntry0", "RouteTableEntry1", "RouteTableEntry2"}),
                  child_names(fixed_group(fn, "Network/TCPIPConfiguration/RouteTable")));
        EXPECT_EQ(std::vector<std::string>({"AddARPTableEntry", "DeleteARPTableEntry", "RefreshARPTableEntry",
                                            "ARPTableEntry0", "ARPTableEntry1"}),
                  child_names(fixed_group(fn, "Network/TCPIPConfiguration/ARPTable")));
        EXPECT_EQ(std::vector<std::string>(
                      {"iSNSEnabled", "DiscoveryiSNSThruDHCP", "ConfigureiSNSServer", "DeleteiSNSServer", "iSNSServer0"}),
                  child_names(fixed_group(fn, "iSNS")));
    }

    // Clients reach the nodes by display name, in any letter case.
    char name[VEXO_VALUE_SIZE] = "arcwright0";
    node_tag_t tag = -1;
    ASSERT_EQ(VEXO_STATUS_SUCCESS, VEXO_get_node_tag(0, name, &tag, VEXO_NODE_GROUP));
    EXPECT_EQ(adapter->node_tag, tag);
    std::strcpy(name, "NICPHYSICALHBA1");
    ASSERT_EQ(VEXO_STATUS_SUCCESS, VEXO_get_node_tag(adapter->node_tag, name, &tag, VEXO_NODE_GROUP));
    EXPECT_EQ(nics[1]->node_tag, tag);

    // Before the back end writes them, the placeholders stand; the adapter's
    // lock key is its SerialNumber.
    EXPECT_EQ("1", value_of(adapter, "ModelNumber"));
    EXPECT_EQ("1", value_of(adapter, "SerialNumber"));
    EXPECT_EQ("0", value_of(adapter, "Manufacturer"));
    EXPECT_EQ("0", value_of(adapter, "Description"));
    EXPECT_EQ("Unknown", value_of(adapter, "Capabilities"));
    char key[VEXO_SERIAL_NUM_SIZE];
    ASSERT_EQ(0, VEXO_get_asic_serial_number(vfs[5], key));
    EXPECT_STREQ("1", key);
}

TEST_F(NodeTables, ActionRecordsAreSharedByInstancesAndDistinctPerAction)
{
    node *a0 = initialize_Arcwright(get_node(0), nullptr, nullptr, nullptr);
    node *a1 = initialize_Arcwright(get_node(0), nullptr, nullptr, nullptr);
    ASSERT_TRUE(a0 && a1);
    node *first[] = {a0, initialize_NICPhysicalHBA(a0, nullptr, nullptr, nullptr),
                     initialize_iSCSIPhysicalHBA(a0, nullptr, nullptr, nullptr)};
    node *second[] = {a1, initialize_NICPhysicalHBA(a1, nullptr, nullptr, nullptr),
                      initialize_iSCSIPhysicalHBA(a0, nullptr, nullptr, nullptr)};
    std::vector<const action *> records;
    for (size_t k = 0; k < 3; ++k) {
        ASSERT_TRUE(first[k] && second[k]);
        std::vector<OwnNode> x = own_nodes(first[k]);
        std::vector<OwnNode> y = own_nodes(second[k]);
        ASSERT_EQ(x.size(), y.size());
        for (size_t i = 0; i < x.size(); ++i) {
            if (x[i].n->node_type != VEXO_NODE_ACTION)
                continue;
            EXPECT_EQ(x[i].n->u.act, y[i].n->u.act) << x[i].n->node_name;
            records.push_back(x[i].n->u.act);
        }
    }
    EXPECT_EQ(26u + 5u + 24u, records.size());
    for (size_t i = 0; i < records.size(); ++i)
        for (size_t j = i + 1; j < records.size(); ++j)
            EXPECT_NE(records[i], records[j]) << "actions " << i << " and " << j << " share a record";
}

TEST_F(NodeTables, BuildersKeepTheCreatingActionInTheCreationRecord)
{
    // An iSNS server is made with the iSNS group as context and the
    // ConfigureiSNSServer action, and so carries a creation number.
    node *adapter = initialize_Arcwright(get_node(0), nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, adapter);
    node *fn = initialize_iSCSIPhysicalHBA(adapter, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, fn);
    node *isns = fixed_group(fn, "iSNS");
    node *configure = internal_get_node(isns, "ConfigureiSNSServer", VEXO_NODE_ACTION);
    ASSERT_TRUE(isns && configure);
    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {"10.1.2.3", "3205"};
    uint32_t priority = persistency_priority;
    node *server = initialize_iSNSServer(isns, isns, configure, params);
    ASSERT_NE(nullptr, server);

    VEXO_persistency_info info;
    std::memset(&info, 0, sizeof info);
    ASSERT_EQ(VEXO_STATUS_SUCCESS, VEXO_get_persistence_info(server->node_tag, &info));
    EXPECT_EQ(configure->node_tag, info.action);
    EXPECT_EQ(isns->node_tag, info.context);
    EXPECT_STREQ("10.1.2.3", info.params[0]);
    EXPECT_STREQ("3205", info.params[1]);
    EXPECT_EQ(priority, server->u.grp->persistency_info.priority);
    EXPECT_EQ(priority + 1, persistency_priority);

    // The function itself, built by enumeration, has none.
    EXPECT_EQ(VEXO_STATUS_FAILURE, VEXO_get_persistence_info(fn->node_tag, &info));
}

// A repeated group built under a parent a number of times, and the table
// every instance must match.
struct Placement {
    const ExpectedTable *table;
    builder build;
    node *parent;
    int count;
};

TEST_F(NodeTables, TheRepeatedGroupsBelowAnAdapterMatchTheTablesNodeByNode)
{
    node *adapter = build(initialize_Arcwright, get_node(0), count_rows(parse_table(kArcwrightTable)).total());
    ASSERT_NE(nullptr, adapter);
    const int port_nodes = count_rows(parse_table(kPortDiscoveryAndConfigurationTable)).total();
    ASSERT_EQ(183, port_nodes);

    std::vector<std::pair<const ExpectedTable *, node *>> built;
    auto place = [&](const Placement &p) {
        std::vector<node *> made;
        EXPECT_NE(nullptr, p.parent) << p.table->group;
        if (!p.parent)
            return made;
        const int nodes = count_rows(parse_table(*p.table)).total();
        for (int i = 0; i < p.count; ++i) {
            node *g = build(p.build, p.parent, nodes);
            if (!g)
                break;
            EXPECT_EQ(i, g->u.grp->multi_instance->instance) << p.table->group;
            built.emplace_back(p.table, g);
            made.push_back(g);
        }
        return made;
    };

    // Profiles and link configurations, in the back end's order.
    place({&kLinkConfigTable, initialize_LinkConfig, fixed_group(adapter, "LinkReconfiguration"), 2});
    std::vector<node *> profiles =
        place({&kProfileTable, initialize_Profile, fixed_group(adapter, "ProfileManagement"), 2});
    ASSERT_EQ(2u, profiles.size());
    place({&kProfileProtocolTable, initialize_Profile_Protocol, profiles[1], 2});
    std::vector<node *> active = place({&kActiveProfilePortTable, initialize_ActiveProfile_Port,
                                        fixed_group(adapter, "ProfileManagement/ActiveProfile"), 2});
    ASSERT_EQ(2u, active.size());
    place({&kActiveProfilePortFunctionTable, initialize_ActiveProfile_Port_Function, active[0], 2});
    std::vector<node *> configured = place({&kConfiguredProfilePortTable, initialize_ConfiguredProfile_Port,
                                            fixed_group(adapter, "ProfileManagement/ConfiguredProfile"), 2});
    ASSERT_EQ(2u, configured.size());
    place({&kConfiguredProfilePortFunctionTable, initialize_ConfiguredProfile_Port_Function, configured[1], 2});

    // NC-SI, trace modules with their two modes, event-log entries.
    place({&kNCSIStaticConfigurationTable, initialize_NCSIStaticConfiguration, fixed_group(adapter, "NCSI"), 1});
    place({&kNCSIDynamicConfigurationTable, initialize_NCSIDynamicConfiguration, fixed_group(adapter, "NCSI"), 1});
    for (node *module :
         place({&kExtFATModuleTable, initialize_ExtFATModule, fixed_group(adapter, "ExtFATData"), 2}))
        place({&kExtFATModeTable, initialize_ExtFATMode, module, 2});
    place({&kEventLogEntryTable, initialize_EventLogEntry, fixed_group(adapter, "EventLog"), 3});

    // Ports, each followed by its priority groups, application entries
    // (administrator, operational, peer) and channels.
    std::vector<node *> ports = place({&kPortDiscoveryAndConfigurationTable,
                                       initialize_PortDiscoveryAndConfiguration, adapter, 2});
    ASSERT_EQ(2u, ports.size());
    for (node *port : ports) {
        const char *pg = "DCBX/PriorityGroups/";
        const char *tlv = "DCBX/ApplicationTLVGroups/";
        place({&kAdministratorPGTable, initialize_AdministratorPGSetting_PG,
               fixed_group(port, (std::string(pg) + "AdministratorPGSetting").c_str()), 8});
        place({&kOperationalPGTable, initialize_OperationalPGSettings_PG,
               fixed_group(port, (std::string(pg) + "OperationalPGSettings").c_str()), 8});
        place({&kPeerPGTable, initialize_PeerPGSetting_PG,
               fixed_group(port, (std::string(pg) + "PeerPGSetting").c_str()), 8});
        place({&kAdministratorApplicationTLVTable, initialize_AdministratorTLVSetting_ApplicationTLV,
               fixed_group(port, (std::string(tlv) + "AdministratorTLVSetting").c_str()), 2});
        place({&kOperationalApplicationTLVTable, initialize_OperationalTLVSettings_ApplicationTLV,
               fixed_group(port, (std::string(tlv) + "OperationalTLVSettings").c_str()), 2});
        place({&kPeerApplicationTLVTable, initialize_PeerTLVSetting_ApplicationTLV,
               fixed_group(port, (std::string(tlv) + "PeerTLVSetting").c_str()), 2});
        place({&kChannelTable, initialize_Channel, fixed_group(port, "ChannelManagement"), 2});
    }
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(2u + 2 + 2 + 2 + 2 + 2 + 2 + 1 + 1 + 2 + 4 + 3 + 2 + 2 * (24 + 6 + 2), built.size());

    // Node by node; the adapter's own table joins the bindings so that a
    // handler it shares with these groups is bound alike everywhere.
    Bindings bindings;
    expect_instance_matches(adapter, kArcwrightTable, &bindings);
    for (const auto &b : built) {
        SCOPED_TRACE(std::string(b.second->parent->node_name) + "/" + b.second->node_name);
        expect_instance_matches(b.second, *b.first, &bindings);
        expect_creation_order(b.second);
    }
    expect_bindings_consistent(bindings);

    // Where the instances hang: after the fixed children of their parent.
    EXPECT_EQ(plus(names_of_rows(kArcwrightTable),
                   {"PortDiscoveryAndConfiguration0", "PortDiscoveryAndConfiguration1"}),
              child_names(adapter));
    EXPECT_EQ(std::vector<std::string>({"ActiveLinkConfigID", "ConfiguredLinkConfigID",
                                        "SetLinkConfigFactoryDefaults", "SetLinkConfigID", "LinkConfig0",
                                        "LinkConfig1"}),
              child_names(fixed_group(adapter, "LinkReconfiguration")));
    EXPECT_EQ(std::vector<std::string>({"RebootRequired", "MaxFunctionsPerPort", "ActiveProfile",
                                        "ConfiguredProfile", "SetProfileId", "SaveProfile", "SetFactoryDefaults",
                                        "Profile0", "Profile1"}),
              child_names(fixed_group(adapter, "ProfileManagement")));
    EXPECT_EQ(std::vector<std::string>({"ProfileId", "Port0", "Port1"}),
              child_names(fixed_group(adapter, "ProfileManagement/ActiveProfile")));
    EXPECT_EQ(std::vector<std::string>({"NCSIVersion", "NCSISupport", "NCSIAWHandShake", "NCSIStaticConfiguration0",
                                        "NCSIDynamicConfiguration0"}),
              child_names(fixed_group(adapter, "NCSI")));
    EXPECT_EQ(std::vector<std::string>({"Mode", "PortMask", "PCIFunctionMask", "TraceLevel"}),
              child_names(get_first_instance(get_first_instance(fixed_group(adapter, "ExtFATData"), "ExtFATModule"),
                                             "ExtFATMode")));
    for (node *port : ports) {
        EXPECT_EQ(std::vector<std::string>({"Channel0", "Channel1"}),
                  child_names(fixed_group(port, "ChannelManagement")));
        EXPECT_EQ(std::vector<std::string>({"Advertise", "Enabled", "Willing", "AddApplicationTLV",
                                            "DeleteApplicationTLV", "ApplicationTLV0", "ApplicationTLV1"}),
                  child_names(fixed_group(port, "DCBX/ApplicationTLVGroups/AdministratorTLVSetting")));
        EXPECT_EQ(std::vector<std::string>({"PG15PriorityMemberShip", "Error", "OperationalMode", "Synced",
                                            "NumPGSupported", "PG0", "PG1", "PG2", "PG3", "PG4", "PG5", "PG6",
                                            "PG7"}),
                  child_names(fixed_group(port, "DCBX/PriorityGroups/OperationalPGSettings")));
    }

    // The single NC-SI instances and same-named groups on different paths
    // are reached by their display names.
    node_tag_t tag = -1;
    char name[VEXO_VALUE_SIZE] = "NCSIDynamicConfiguration0";
    ASSERT_EQ(VEXO_STATUS_SUCCESS,
              VEXO_get_node_tag(fixed_group(adapter, "NCSI")->node_tag, name, &tag, VEXO_NODE_GROUP));
    EXPECT_STREQ("NCSIDynamicConfiguration", get_node(tag)->node_name);
    std::strcpy(name, "Port1");
    ASSERT_EQ(VEXO_STATUS_SUCCESS,
              VEXO_get_node_tag(fixed_group(adapter, "ProfileManagement/ConfiguredProfile")->node_tag, name, &tag,
                                VEXO_NODE_GROUP));
    EXPECT_EQ(configured[1]->node_tag, tag);
}

TEST_F(NodeTables, PortActionRecordsAreSharedByInstancesAndDistinctPerAction)
{
    // Two ports on two adapters, each with a channel and an administrator
    // priority group.
    node *a[2];
    node *port[2];
    node *channel[2];
    node *pg[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_NE(nullptr, a[i] = initialize_Arcwright(get_node(0), nullptr, nullptr, nullptr));
        ASSERT_NE(nullptr, port[i] = initialize_PortDiscoveryAndConfiguration(a[i], nullptr, nullptr, nullptr));
        channel[i] = initialize_Channel(fixed_group(port[i], "ChannelManagement"), nullptr, nullptr, nullptr);
        pg[i] = initialize_AdministratorPGSetting_PG(
            fixed_group(port[i], "DCBX/PriorityGroups/AdministratorPGSetting"), nullptr, nullptr, nullptr);
        ASSERT_TRUE(channel[i] && pg[i]);
    }
    std::vector<const action *> records;
    node *first[] = {port[0], channel[0], pg[0]};
    node *second[] = {port[1], channel[1], pg[1]};
    for (size_t k = 0; k < 3; ++k) {
        std::vector<OwnNode> x = own_nodes(first[k]);
        std::vector<OwnNode> y = own_nodes(second[k]);
        ASSERT_EQ(x.size(), y.size());
        for (size_t i = 0; i < x.size(); ++i) {
            if (x[i].n->node_type != VEXO_NODE_ACTION)
                continue;
            EXPECT_EQ(x[i].n->u.act, y[i].n->u.act) << x[i].n->node_name;
            records.push_back(x[i].n->u.act);
        }
    }
    EXPECT_EQ(9u + 1u + 1u, records.size());
    for (size_t i = 0; i < records.size(); ++i)
        for (size_t j = i + 1; j < records.size(); ++j)
            EXPECT_NE(records[i], records[j]) << "actions " << i << " and " << j << " share a record";
}

} // namespace
