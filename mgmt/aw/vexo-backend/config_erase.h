// Returning an adapter's stored configuration to its factory state: the
// erases of the iSCSI, NIC and port-and-discovery flash regions, the factory
// profile restore, and the iSCSI clean-up that keeps the tree, the host's
// persistence files and the firmware in step before the iSCSI region goes.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_CONFIG_ERASE_H
#define HLVD_MGMT_AW_VEXO_BACKEND_CONFIG_ERASE_H

#include "mgmt/vexo/core/hm_types.h"

// Passes the route deletion makes before it gives up on entries the
// firmware keeps.
#define VEXO_ROUTE_DELETE_PASSES 4

extern "C" {
// Erases the NIC configuration region of the NIC function owning `n`
// (no SR-IOV check): 0 (status 184), 55 (status 239) or the command's
// status (status 188).
int VEXO_EraseNICConfiguration(node *n);
// Deletes every route of the iSCSI function's route table; 0, or 1 also
// when entries are still there after VEXO_ROUTE_DELETE_PASSES passes.
int VEXO_delete_available_routes(node *iscsi_phba);
}

// Context: an iSCSIPhysicalHBA. Clears the iSCSI configuration of every
// iSCSI function of the adapter, then erases the iSCSI region once.
VEXO_status_t do_EraseConfiguration(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Context: the adapter. Every erase, whatever fails; the first failure is
// the answer.
VEXO_status_t do_EraseAllConfiguration(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Context: a PortDiscoveryAndConfiguration group.
VEXO_status_t do_ErasePortandDiscoveryConfiguration(node *context, node *action,
                                                    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Context: a NICPhysicalHBA.
VEXO_status_t do_EraseNICConfiguration(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Context: the adapter. Parameter: ProfileId (empty: the whole configuration).
VEXO_status_t do_ResetFactoryDefaults(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Context: an iSCSI function's Network/NICConfiguration.
VEXO_status_t do_RefreshNICConfig(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

#endif
