// Identity and firmware state of a converged adapter and the PCI, port and
// protocol properties of its functions, from the controller attributes; and
// the property handlers that refresh or compute the adapter-level values on
// every read (firmware versions and status, temperature, controller status,
// reboot pending).
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_CNTR_ATTRIBS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_CNTR_ATTRIBS_H

#include "mgmt/aw/vexo-backend/vexo_ioctl_records.h"
#include "mgmt/vexo/core/hm_types.h"

// The FirmwareStatus text of an hba_status value.
const char *firmware_status_text(uint8_t hba_status);
// The Capabilities text of a supported_modes value into `out` (256 bytes).
void capabilities_text(uint32_t supported_modes, char *out);

extern "C" {
// Zero-fills `attrs` and reads the controller attributes of a function; 0,
// or 1 with last status 109.
int VEXO_get_cntr_attribs(int aw_port_number, unsigned int phba_port, unsigned int domain, int driver_type,
                          MGMT_CONTROLLER_ATTRIBUTES *attrs);
// Adapter-level properties from a record of VEXO_get_cntr_attribs.
int VEXO_update_cntr_attribs(node *adapter, MGMT_CONTROLLER_ATTRIBUTES *attrs, int ioctl_status);
// PCI, port and protocol properties of a function (driver kind 1 iSCSI,
// 2 NIC) and its Driver group.
int VEXO_update_driver_attribs(int aw_port_number, node *phba, int driver_type, MGMT_CONTROLLER_ATTRIBUTES *attrs,
                               int ioctl_status);
// Sets the switch type to 0 when the firmware configuration asks for it; 0.
int VEXO_update_switch_type(node *adapter, int aw_port_number, unsigned int domain, unsigned int phba_port);
}

// Property handlers (type ignored).
VEXO_status_t handle_aw_controller_properties(node *property, char *value, int type);
VEXO_status_t handle_aw_controller_additional_properties(node *property, char *value, int type);
VEXO_status_t handle_aw_temperature(node *property, char *value, int type);
VEXO_status_t handle_ControllerStatus(node *property, char *value, int type);
VEXO_status_t handle_RebootRequired(node *property, char *value, int type);

#endif
