// Link and speed of a converged adapter's physical port (its
// PortDiscoveryAndConfiguration group) and of the functions that use it:
// whether the link is up, the FCoE port name and the FCoE share of the
// link, the speed setting (Mode, ConfiguredSpeed, DACCableLength) and its
// change (SetPortSpeed), and the speed, logical link and active port that
// a NIC function or an iSCSI function's NICConfiguration shows.
//
// Everything is read from the firmware at each request. Port commands go to
// the port's function slot, domain and physical port, with the driver that
// serves that physical port.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_PORT_SPEED_H
#define HLVD_MGMT_AW_VEXO_BACKEND_PORT_SPEED_H

#include "mgmt/vexo/core/hm_types.h"

// Read-only property handlers: `value` (256 bytes) receives the answer,
// `type` is not looked at. 0, or non-zero with the last status set.
VEXO_status_t handle_PhysicalLinkStatus(node *property, char *value, int type);
VEXO_status_t handle_FCoEWWPN(node *property, char *value, int type);
VEXO_status_t handle_FCoELinkSpeed(node *property, char *value, int type);
// Serves Mode, ConfiguredSpeed and DACCableLength of a port.
VEXO_status_t handle_get_link_speed_properties(node *property, char *value, int type);
// PortSpeed of a NICPhysicalHBA or of an iSCSI function's NICConfiguration.
VEXO_status_t handle_portspeed(node *property, char *value, int type);
// LogicalLinkStatus and ActivePort of an iSCSI function's NICConfiguration.
VEXO_status_t handle_logical_link_status(node *property, char *value, int type);
VEXO_status_t handle_activeport(node *property, char *value, int type);

// SetPortSpeed on a port group: params[0] Speed (empty when left out),
// params[1] Mode, params[2] DACCableLength (empty when left out).
VEXO_status_t do_SetPortSpeed(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

extern "C" {
// Stores PortSpeed of `group`: a NICPhysicalHBA with driver_type 2, an
// iSCSI function's NICConfiguration with driver_type 1. `family` is the
// adapter's ASIC family. 0 or 1.
int get_portspeed(node *group, int port_number, unsigned int domain, unsigned int physical_port, int driver_type,
                  int family);
}

#endif
