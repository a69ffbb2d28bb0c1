// Readers that turn firmware answers about the network side of an iSCSI
// function into property values of its Network/NICConfiguration group.
// The logical link state reader serves NIC functions as well, through the
// NIC driver's information callback.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_NETWORK_READERS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_NETWORK_READERS_H

#include "mgmt/vexo/core/hm_types.h"

extern "C" {
// Sends the MAC query (type 0, permanent 1) through the iSCSI driver and
// stores the answer into MACAddress of `nic` when `property` is named
// "MACAddress" (any case), else into its PermanentMACAddress. 1 when a node
// is missing or the query fails, else the result of the store.
int VEXO_get_iscsi_ntwk_mac(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *nic,
                            node *property);
// MaxMTUSize and PortMaxSpeed of `nic` from the first port of the NIC
// parameters (iSCSI driver). A speed code without a text leaves PortMaxSpeed
// as it was. 1 when `nic` is missing or the command fails (status 93), else
// the ORed results of the stores.
int VEXO_get_iscsi_ntwk_params(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *nic);
// LogicalLinkStatus of `group` ("Up" for 1, "Down" for 0, any other state
// leaves it): driver_type 1 from the version-1 link status through the iSCSI
// driver (failure: status 227), 2 from the NIC driver's information record;
// any other driver type does nothing and answers 0. `chip` is not used.
int get_logical_link_status(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *group,
                            int driver_type, int chip);
}

// MaxMTUSize and PortMaxSpeed of an iSCSI function's NICConfiguration.
VEXO_status_t handle_NICprop(node *property, char *value, int type);

#endif
