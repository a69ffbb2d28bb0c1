// The initiator subtree built down to its deepest group in the last slice of
// every bit field, and a session deleted together with its connection.
#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/aw/vexo-backend/nodes_iscsi.h"
#include "mgmt/aw/vexo-backend/nodes_target.h"
#include "mgmt/vexo/core/hm.h"
#include "node_table_check.h"

using namespace nodestest;

namespace {

using builder = node *(*)(node *, node *, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// Builds `count` instances under `parent`, checking their numbers; answers the last.
node *fill(builder b, node *parent, int count)
{
    node *last = nullptr;
    for (int i = 0; i < count; ++i) {
        last = b(parent, nullptr, nullptr, nullptr);
        if (!last || last->u.grp->multi_instance->instance != i) {
            ADD_FAILURE() << "instance " << i << " under " << parent->node_name;
            return nullptr;
        }
    }
    return last;
}

int instance_of(node *g)
{
    return g->u.grp->multi_instance->instance;
}

TEST_F(NodeTreeTest, InitiatorGroupsHaveRoomBelowTheHighestNumberedParents)
{
    // Arcwright15 / iSCSIPhysicalHBA7 / LogicalHBA0 / Target255 / Session63
    // selects the last slice of every bit field on the way.
    node *adapter = fill(initialize_Arcwright, get_node(0), 16);
    ASSERT_NE(nullptr, adapter);
    node *iscsi = fill(initialize_iSCSIPhysicalHBA, adapter, 8);
    ASSERT_NE(nullptr, iscsi);
    node *lhba = fill(initialize_LogicalHBA, iscsi, 1);
    ASSERT_NE(nullptr, lhba);
    EXPECT_EQ(nullptr, initialize_LogicalHBA(iscsi, nullptr, nullptr, nullptr));

    node *discovery = fixed_group(lhba, "Discovery");
    ASSERT_NE(nullptr, discovery);
    ASSERT_NE(nullptr, fill(initialize_SendTargetPortal, discovery, 128));
    EXPECT_EQ(nullptr, initialize_SendTargetPortal(discovery, nullptr, nullptr, nullptr));

    node *target = fill(initialize_Target, lhba, 256);
    ASSERT_NE(nullptr, target);
    EXPECT_EQ(nullptr, initialize_Target(lhba, nullptr, nullptr, nullptr));

    const struct {
        builder build;
        int max;
    } below_target[] = {{initialize_TargetPortal, 64}, {initialize_Session, 64}, {initialize_LUN, 256}};
    for (const auto &c : below_target) {
        ASSERT_NE(nullptr, fill(c.build, target, c.max));
        EXPECT_EQ(nullptr, c.build(target, nullptr, nullptr, nullptr));
    }

    node *last_session = internal_get_node(target, "Session63", VEXO_NODE_GROUP);
    ASSERT_NE(nullptr, last_session);
    ASSERT_EQ(63, instance_of(last_session));
    node *conn = initialize_Connection(last_session, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, conn);
    EXPECT_EQ(0, instance_of(conn));
    EXPECT_EQ(nullptr, initialize_Connection(last_session, nullptr, nullptr, nullptr));
}

TEST_F(NodeTreeTest, DeletedSessionsTakeTheirConnectionsAlong)
{
    node *adapter = initialize_Arcwright(get_node(0), nullptr, nullptr, nullptr);
    node *iscsi = adapter ? initialize_iSCSIPhysicalHBA(adapter, nullptr, nullptr, nullptr) : nullptr;
    node *lhba = iscsi ? initialize_LogicalHBA(iscsi, nullptr, nullptr, nullptr) : nullptr;
    node *target = lhba ? initialize_Target(lhba, nullptr, nullptr, nullptr) : nullptr;
    ASSERT_NE(nullptr, target);

    int before = registered_nodes();
    for (int i = 0; i < 2; ++i) {
        node *s = initialize_Session(target, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, s);
        ASSERT_NE(nullptr, initialize_Connection(s, nullptr, nullptr, nullptr));
    }
    ASSERT_EQ(VEXO_STATUS_SUCCESS, purge_nodes_within(target, "Session"));
    EXPECT_EQ(before, registered_nodes());
    EXPECT_EQ(nullptr, get_first_instance(target, "Session"));

    // Numbers of both groups are free again.
    node *s = initialize_Session(target, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(0, instance_of(s));
    node *conn = initialize_Connection(s, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, conn);
    EXPECT_EQ(0, instance_of(conn));
}

} // namespace
