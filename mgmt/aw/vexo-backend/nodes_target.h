// Builders of the groups below an iSCSI initiator: the targets it knows,
// and per target its portals, sessions (each with one connection) and the
// LUNs its sessions report.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_NODES_TARGET_H
#define HLVD_MGMT_AW_VEXO_BACKEND_NODES_TARGET_H

#include "mgmt/vexo/core/hm_types.h"

// Instances under one parent at most.
#define TARGET_MAX_INSTANCES 256
#define TARGETPORTAL_MAX_INSTANCES 64
#define SESSION_MAX_INSTANCES 64
#define CONNECTION_MAX_INSTANCES 1
#define LUN_MAX_INSTANCES 256

// Each answers the new group, or null when its parent already holds the
// maximum number of instances or the build failed.
// Parent: a LogicalHBA.
node *initialize_Target(node *parent_node, node *context, node *action,
                        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Parent: a Target.
node *initialize_TargetPortal(node *parent_node, node *context, node *action,
                              char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Parent: a Target.
node *initialize_Session(node *parent_node, node *context, node *action,
                         char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Parent: a Session.
node *initialize_Connection(node *parent_node, node *context, node *action,
                            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Parent: a Target.
node *initialize_LUN(node *parent_node, node *context, node *action,
                     char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

#endif
