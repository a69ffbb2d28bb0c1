// Link-layer discovery of a physical port (LLDP local and peer configuration
// and counters) and the DCBX protocol variables, mode and counters of its
// DCBX group. Commands go to the port's function slot, domain and physical
// port, with the driver that serves that physical port.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_LLDP_H
#define HLVD_MGMT_AW_VEXO_BACKEND_LLDP_H

#include "mgmt/vexo/core/hm_types.h"

// Reads the LLDP configuration `group` shows (LocalConfiguration: local,
// else peer) into its properties. 0, 1 (a missing level or a failed store),
// or the command's status (last status 105).
int get_lldp_props(int aw_port_number, unsigned int phba_port, unsigned int domain, node *group);
// Reads the DCBX MIB of port group `port` into DCBXPortVars and
// DCBXStatistics. 0, 1, or the command's status (last status 108).
int get_port_vars(int aw_port_number, unsigned int phba_port, unsigned int domain, node *port);

// Property handlers: type 0 reads into `value` (256 bytes), type 1 applies
// the validated text in `value`.
VEXO_status_t handle_LLDP_properties(node *property, char *value, int type);
VEXO_status_t handle_DCBXMode(node *property, char *value, int type);
// Read only: `type` is not looked at.
VEXO_status_t handle_lldp_stats_props(node *property, char *value, int type);
VEXO_status_t handle_dcbx_port_vars(node *property, char *value, int type);
VEXO_status_t handle_dcbx_stats_props(node *property, char *value, int type);

#endif
