// Instance limits of the adapter, NIC-function and iSCSI-function groups:
// the instance past the limit is refused and leaves the tree unchanged, a
// deleted instance number is given to the next instance, and every parent
// counts its instances on its own.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/aw/vexo-backend/nodes_iscsi.h"
#include "mgmt/aw/vexo-backend/nodes_nic.h"
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

struct LimitCase {
    const char *group;
    builder build;
    node *(*parent)(); // makes the parent the instances go under
    int max;
};

const LimitCase kLimitCases[] = {
    {"Arcwright", initialize_Arcwright, root, 16},
    {"NICPhysicalHBA", initialize_NICPhysicalHBA, first_adapter, 32},
    {"NICLogicalHBA", initialize_NICLogicalHBA, first_nic, 64},
    {"iSCSIPhysicalHBA", initialize_iSCSIPhysicalHBA, first_adapter, 8},
    {"RouteTableEntry", initialize_RouteTableEntry,
     [] { return fixed_group(first_iscsi(), "Network/TCPIPConfiguration/RouteTable"); }, 1024},
    {"ARPTableEntry", initialize_ARPTableEntry,
     [] { return fixed_group(first_iscsi(), "Network/TCPIPConfiguration/ARPTable"); }, 64},
    {"iSNSServer", initialize_iSNSServer, [] { return fixed_group(first_iscsi(), "iSNS"); }, 4},
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
    node *before = built[static_cast<size_t>(k - 1)];
    node *after = built[static_cast<size_t>(k + 1 < c.max ? k + 1 : k - 1)];
    ASSERT_EQ(VEXO_STATUS_SUCCESS, delete_node(built[static_cast<size_t>(k)]));
    node *again = c.build(parent, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(k, again->u.grp->multi_instance->instance);
    EXPECT_EQ(before, again->prev_sibling);
    if (k + 1 < c.max) {
        EXPECT_EQ(after, again->next_sibling);
    }
    EXPECT_EQ(all, instance_numbers(parent, c.group));
    EXPECT_EQ(nullptr, c.build(parent, nullptr, nullptr, nullptr));
}

INSTANTIATE_TEST_SUITE_P(Groups, InstanceLimits, ::testing::ValuesIn(kLimitCases),
                         [](const ::testing::TestParamInfo<LimitCase> &info) { return std::string(info.param.group); });

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

} // namespace
