// One adapter with iSCSI functions (with routes, ARP entries and iSNS
// servers) and NIC functions (with virtual functions), built through the
// builders the back end calls, compared with the expected tables.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/aw/vexo-backend/nodes_iscsi.h"
#include "mgmt/aw/vexo-backend/nodes_nic.h"
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

std::vector<std::string> names_of_rows(const ExpectedTable &t)
{
    std::vector<std::string> names;
    for (const ExpectedNode &e : parse_table(t))
        if (e.depth == 0)
            names.push_back(e.name);
    return names;
}

std::vector<std::string> plus(std::vector<std::string> head, const std::vector<std::string> &tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

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

} // namespace
