// Builders of the iSCSI side of an adapter: iSCSIPhysicalHBA, one per iSCSI
// PCI function below its Arcwright group, and the three small repeated
// groups inside it (routes, ARP entries, iSNS servers).
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_NODES_ISCSI_H
#define HLVD_MGMT_AW_VEXO_BACKEND_NODES_ISCSI_H

#include "mgmt/vexo/core/hm_types.h"

// Instances under one parent at most.
#define ISCSIPHYSICALHBA_MAX_INSTANCES 8
#define ROUTETABLEENTRY_MAX_INSTANCES 1024
#define ARPTABLEENTRY_MAX_INSTANCES 64
#define ISNSSERVER_MAX_INSTANCES 4

// Each answers the new group, or null when its parent already holds the
// maximum number of instances or the build failed.
// Parent: an adapter's Arcwright group.
node *initialize_iSCSIPhysicalHBA(node *parent_node, node *context, node *action,
                                  char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Parent: the function's Network/TCPIPConfiguration/RouteTable group.
node *initialize_RouteTableEntry(node *parent_node, node *context, node *action,
                                 char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Parent: the function's Network/TCPIPConfiguration/ARPTable group.
node *initialize_ARPTableEntry(node *parent_node, node *context, node *action,
                               char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Parent: the function's iSNS group.
node *initialize_iSNSServer(node *parent_node, node *context, node *action,
                            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

#endif
