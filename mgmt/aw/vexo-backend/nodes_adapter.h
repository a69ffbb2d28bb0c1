// Builder of the adapter group: one Arcwright instance per converged
// adapter, directly below ROOT, with its twelve fixed subgroups.
//
// Repeated groups below an adapter, and where their builders live:
//   NICPhysicalHBA, NICLogicalHBA                   nodes_nic.h
//   iSCSIPhysicalHBA, RouteTableEntry,
//   ARPTableEntry, iSNSServer                       nodes_iscsi.h
//   LogicalHBA, SendTargetPortal                    nodes_initiator.h
//   Target, TargetPortal, Session, Connection, LUN  nodes_target.h
//   LinkConfig, Profile, Protocol, and Port and
//   Function below ActiveProfile/ConfiguredProfile  nodes_profile.h
//   NCSIStaticConfiguration,
//   NCSIDynamicConfiguration, ExtFATModule,
//   ExtFATMode, EventLogEntry                       nodes_ncsi_logs.h
//   PortDiscoveryAndConfiguration, Channel, PG,
//   ApplicationTLV                                  nodes_port.h
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_NODES_ADAPTER_H
#define HLVD_MGMT_AW_VEXO_BACKEND_NODES_ADAPTER_H

#include "mgmt/vexo/core/hm_types.h"

// Adapter groups below ROOT at most.
#define ARCWRIGHT_MAX_INSTANCES 16

// Builds the lowest free Arcwright instance under `parent_node` (ROOT) with
// all its fixed content; the back end passes no context, action or params.
// Answers the group, or null when 16 adapters exist or the build failed.
node *initialize_Arcwright(node *parent_node, node *context, node *action,
                           char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

#endif
