// Builders of the repeated groups that the back end hangs below three fixed
// subgroups of an adapter: the NC-SI static and dynamic configurations
// (NCSI), the firmware trace modules with their two logging modes
// (ExtFATData), and the firmware's event-log entries (EventLog).
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_NODES_NCSI_LOGS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_NODES_NCSI_LOGS_H

#include "mgmt/vexo/core/hm_types.h"

// Instances under one parent at most.
#define NCSICONFIGURATION_MAX_INSTANCES 1
#define EXTFATMODULE_MAX_INSTANCES 64
#define EXTFATMODE_MAX_INSTANCES 2
#define EVENTLOGENTRY_MAX_INSTANCES 1024

// Each answers the new group, or null when its parent already holds the
// maximum number of instances or the build failed.
// Parent: an adapter's NCSI group.
node *initialize_NCSIStaticConfiguration(node *parent_node, node *context, node *action,
                                         char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
node *initialize_NCSIDynamicConfiguration(node *parent_node, node *context, node *action,
                                          char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Parent: an adapter's ExtFATData group.
node *initialize_ExtFATModule(node *parent_node, node *context, node *action,
                              char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Parent: an ExtFATModule instance.
node *initialize_ExtFATMode(node *parent_node, node *context, node *action,
                            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Parent: an adapter's EventLog group.
node *initialize_EventLogEntry(node *parent_node, node *context, node *action,
                               char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

#endif
