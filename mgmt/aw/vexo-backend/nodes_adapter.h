// Builder of the adapter group: one Arcwright instance per converged
// adapter, directly below ROOT, with its twelve fixed subgroups.
//
// Repeated groups below an adapter, and where their builders live:
//   NICPhysicalHBA, NICLogicalHBA                   nodes_nic.h
//   iSCSIPhysicalHBA, RouteTableEntry,
//   ARPTableEntry, iSNSServer                       nodes_iscsi.h
// Builders not written yet (the fixed groups they hang under already exist):
//   LinkConfig (LinkReconfiguration); Profile, Protocol (ProfileManagement);
//   Port and Function below ActiveProfile and below ConfiguredProfile;
//   the NCSI configurations, ExtFATModule and EventLogEntry;
//   PortDiscoveryAndConfiguration with its LLDP and DCBX groups (with it,
//   the skip of FcoeLinkByBusAndSerial in tests/discovery/fc_linking_test.cpp
//   goes: an FCoE function linked by bus and serial needs controller ports);
//   LogicalHBA (below iSCSIPhysicalHBA) with its targets, sessions and LUNs.
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
