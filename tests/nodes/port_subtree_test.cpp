// The port builder makes the whole port subtree in one call, and the
// repeated groups below a port count their instances per port of every
// adapter, up to the last port of the last adapter.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/aw/vexo-backend/nodes_port.h"
#include "mgmt/vexo/core/hm.h"
#include "node_table_check.h"

using namespace nodestest;

namespace {

using builder = node *(*)(node *, node *, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

using PortSubtree = NodeTreeTest;

TEST_F(PortSubtree, OneCallBuildsTheWholePort)
{
    node *adapter = initialize_Arcwright(get_node(0), nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, adapter);
    int before = registered_nodes();
    node *port = initialize_PortDiscoveryAndConfiguration(adapter, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, port);
    EXPECT_EQ(183, registered_nodes() - before);

    NodeCounts counts;
    counts.groups = 1; // the port group itself
    for (const OwnNode &o : own_nodes(port)) {
        counts.groups += o.n->node_type == VEXO_NODE_GROUP;
        counts.properties += o.n->node_type == VEXO_NODE_PROPERTY;
        counts.actions += o.n->node_type == VEXO_NODE_ACTION;
    }
    EXPECT_EQ(26, counts.groups);
    EXPECT_EQ(148, counts.properties);
    EXPECT_EQ(9, counts.actions);

    EXPECT_EQ((std::vector<std::string>{"PortNumber", "PortName", "PortState", "PhysicalLinkStatus", "PHYType",
                                        "InterfaceType", "BeaconState", "TXThrottle", "ChannelManagement",
                                        "BaseT10G", "FCoEWWPN", "Mode", "ConfiguredSpeed", "DACCableLength",
                                        "ANSpeedsSupported", "ForceSpeedsSupported", "TxFlowControl",
                                        "RxFlowControl", "FCoELinkSpeed", "Beacon", "SetPortSpeed",
                                        "DumpTransceiverData", "ErasePortandDiscoveryConfiguration", "LLDP",
                                        "DCBX"}),
              child_names(port));
    EXPECT_TRUE(child_names(fixed_group(port, "ChannelManagement")).empty());
}

struct BelowPort {
    const char *settings; // the parent group, as a path below the port
    builder build;
    int max;
};

const BelowPort kBelowPort[] = {
    {"ChannelManagement", initialize_Channel, 16},
    {"DCBX/PriorityGroups/AdministratorPGSetting", initialize_AdministratorPGSetting_PG, 8},
    {"DCBX/PriorityGroups/PeerPGSetting", initialize_PeerPGSetting_PG, 8},
    {"DCBX/PriorityGroups/OperationalPGSettings", initialize_OperationalPGSettings_PG, 8},
    {"DCBX/ApplicationTLVGroups/AdministratorTLVSetting", initialize_AdministratorTLVSetting_ApplicationTLV, 15},
    {"DCBX/ApplicationTLVGroups/PeerTLVSetting", initialize_PeerTLVSetting_ApplicationTLV, 15},
    {"DCBX/ApplicationTLVGroups/OperationalTLVSettings", initialize_OperationalTLVSettings_ApplicationTLV, 15},
};

// Fills every port of the first and the last adapter: each port holds its
// own full set of instances, and one more is refused.
TEST_F(PortSubtree, EveryPortOfEveryAdapterCountsItsOwnInstances)
{
    node *adapters[ARCWRIGHT_MAX_INSTANCES] = {};
    for (node *&a : adapters) {
        a = initialize_Arcwright(get_node(0), nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, a);
    }
    for (node *adapter : {adapters[0], adapters[ARCWRIGHT_MAX_INSTANCES - 1]}) {
        node *ports[PORTDISCOVERYANDCONFIGURATION_MAX_INSTANCES];
        for (node *&p : ports) {
            p = initialize_PortDiscoveryAndConfiguration(adapter, nullptr, nullptr, nullptr);
            ASSERT_NE(nullptr, p);
        }
        EXPECT_EQ(nullptr, initialize_PortDiscoveryAndConfiguration(adapter, nullptr, nullptr, nullptr));
        for (node *port : ports) {
            for (const BelowPort &c : kBelowPort) {
                node *parent = fixed_group(port, c.settings);
                ASSERT_NE(nullptr, parent) << c.settings;
                for (int i = 0; i < c.max; ++i) {
                    node *g = c.build(parent, nullptr, nullptr, nullptr);
                    ASSERT_NE(nullptr, g) << adapter->node_name << " " << port->node_name << " " << c.settings;
                    EXPECT_EQ(i, g->u.grp->multi_instance->instance);
                }
                EXPECT_EQ(nullptr, c.build(parent, nullptr, nullptr, nullptr)) << c.settings;
            }
        }
    }
}

} // namespace
