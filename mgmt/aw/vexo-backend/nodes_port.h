// Builders of the port side of an adapter: PortDiscoveryAndConfiguration, one
// per physical port below its Arcwright group, built whole with its fixed
// ChannelManagement, BaseT10G, LLDP and DCBX subtrees; Channel, one per PCI
// function sharing the port; and the repeated groups of the DCBX settings:
// PG below each priority-group settings group and ApplicationTLV below each
// application-TLV settings group.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_NODES_PORT_H
#define HLVD_MGMT_AW_VEXO_BACKEND_NODES_PORT_H

#include "mgmt/vexo/core/hm_types.h"

// Instances under one parent at most.
#define PORTDISCOVERYANDCONFIGURATION_MAX_INSTANCES 4
#define CHANNEL_MAX_INSTANCES 16
#define PG_MAX_INSTANCES 8
#define APPLICATIONTLV_MAX_INSTANCES 15

// Each answers the new group, or null when its parent already holds the
// maximum number of instances or the build failed.

// parent_node: an Arcwright instance.
node *initialize_PortDiscoveryAndConfiguration(node *parent_node, node *context, node *action,
                                               char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// parent_node: a port's ChannelManagement group.
node *initialize_Channel(node *parent_node, node *context, node *action,
                         char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// parent_node: the settings group the name gives, below DCBX/PriorityGroups.
node *initialize_AdministratorPGSetting_PG(node *parent_node, node *context, node *action,
                                           char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
node *initialize_PeerPGSetting_PG(node *parent_node, node *context, node *action,
                                  char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
node *initialize_OperationalPGSettings_PG(node *parent_node, node *context, node *action,
                                          char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// parent_node: the settings group the name gives, below DCBX/ApplicationTLVGroups.
node *initialize_AdministratorTLVSetting_ApplicationTLV(node *parent_node, node *context, node *action,
                                                        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
node *initialize_PeerTLVSetting_ApplicationTLV(node *parent_node, node *context, node *action,
                                               char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
node *initialize_OperationalTLVSettings_ApplicationTLV(node *parent_node, node *context, node *action,
                                                       char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

#endif
