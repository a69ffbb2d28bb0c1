// Per-port settings of a converged adapter's PortDiscoveryAndConfiguration
// group, each backed by its own firmware commands: whether the port is
// enabled (PortState), the transmit reaction to PFC pause frames for FCoE
// traffic (TXThrottle), the locating beacon (BeaconState and the Beacon
// action) and Ethernet flow control in each direction (TxFlowControl,
// RxFlowControl).
//
// Commands go to the port's function slot, domain and physical port, with
// the driver that serves that physical port; the flow-control query and
// write of opcode 205 always go through the NIC driver.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_PORT_STATE_H
#define HLVD_MGMT_AW_VEXO_BACKEND_PORT_STATE_H

#include "mgmt/vexo/core/hm_types.h"

// Property handlers: type 0 reads into `value` (256 bytes), type 1 applies
// the validated text in `value`. 0, or 1 with the last status set.
VEXO_status_t handle_PortState(node *property, char *value, int type);
VEXO_status_t handle_TXThrottle(node *property, char *value, int type);
// Read only: `type` is not looked at.
VEXO_status_t handle_BeaconState(node *property, char *value, int type);
// Serves TxFlowControl and RxFlowControl. A write answers the command's
// status (0 success).
VEXO_status_t handle_flow_control_properties(node *property, char *value, int type);

// Beacon on a port group: params[0] BeaconDuration, params[1]
// StatusDuration (empty when not given), params[2] BeaconState. Switching
// off an empty duration is written as "0" into its parameter text.
VEXO_status_t do_Beacon(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

extern "C" {
// Stores TxFlowControl and RxFlowControl of a port group ("Enabled" for a
// 16-bit value of 1, else "Disabled"); the OR of the two stores.
int VEXO_update_flow_control_props(node *port, unsigned int tx_flow_control, unsigned int rx_flow_control);
// Re-sends the port's current flow-control settings with the locking of
// multichannel mode `mc_type` ("NPAR" locks). 0, 1, or the command's status.
int VEXO_reset_flow_control_properties(node *port, const char *mc_type);
}

#endif
