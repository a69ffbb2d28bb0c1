// Builders of the NIC side of an adapter: NICPhysicalHBA, one per NIC PCI
// function below its Arcwright group, and NICLogicalHBA, one per SR-IOV
// virtual function below its NICPhysicalHBA.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_NODES_NIC_H
#define HLVD_MGMT_AW_VEXO_BACKEND_NODES_NIC_H

#include "mgmt/vexo/core/hm_types.h"

// Instances under one parent at most.
#define NICPHYSICALHBA_MAX_INSTANCES 32
#define NICLOGICALHBA_MAX_INSTANCES 64

// Each answers the new group, or null when its parent already holds the
// maximum number of instances or the build failed.
node *initialize_NICPhysicalHBA(node *parent_node, node *context, node *action,
                                char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
node *initialize_NICLogicalHBA(node *parent_node, node *context, node *action,
                               char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

#endif
