// Builders of the repeated groups of link configurations and profiles:
// LinkConfig below LinkReconfiguration; Profile with its Protocol children
// below ProfileManagement; Port with its Function children below
// ActiveProfile and, with other properties, below ConfiguredProfile.
// The fixed groups they hang under are built with the adapter group.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_NODES_PROFILE_H
#define HLVD_MGMT_AW_VEXO_BACKEND_NODES_PROFILE_H

#include "mgmt/vexo/core/hm_types.h"

// Instances under one parent at most.
#define LINKCONFIG_MAX_INSTANCES 32
#define PROFILE_MAX_INSTANCES 100
#define PROFILE_PROTOCOL_MAX_INSTANCES 8
#define PROFILE_PORT_MAX_INSTANCES 4
#define PROFILE_PORT_FUNCTION_MAX_INSTANCES 64

// Each answers the new group, or null when its parent already holds the
// maximum number of instances or the build failed.
// Parent: an adapter's LinkReconfiguration group.
node *initialize_LinkConfig(node *parent_node, node *context, node *action,
                            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Parent: an adapter's ProfileManagement group.
node *initialize_Profile(node *parent_node, node *context, node *action,
                         char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Parent: a Profile instance.
node *initialize_Profile_Protocol(node *parent_node, node *context, node *action,
                                  char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Parent: ProfileManagement/ActiveProfile.
node *initialize_ActiveProfile_Port(node *parent_node, node *context, node *action,
                                    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Parent: a Port instance below ActiveProfile.
node *initialize_ActiveProfile_Port_Function(node *parent_node, node *context, node *action,
                                             char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Parent: ProfileManagement/ConfiguredProfile.
node *initialize_ConfiguredProfile_Port(node *parent_node, node *context, node *action,
                                        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Parent: a Port instance below ConfiguredProfile.
node *initialize_ConfiguredProfile_Port_Function(node *parent_node, node *context, node *action,
                                                 char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

#endif
