// Readers that turn firmware answers about the network side of an iSCSI
// function into property values of its Network/NICConfiguration group.
//
// Only the MAC reader is here so far; the frame-size and port-speed reader
// (VEXO_get_iscsi_ntwk_params, behind handle_NICprop) and the logical link
// state reader come with the iSCSI network configuration, and their handlers
// are listed in pending_handlers.h until then.
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
}

#endif
