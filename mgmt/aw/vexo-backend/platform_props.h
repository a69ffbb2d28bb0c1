// Property handlers of the adapter's platform and OEM values: the AW3
// advanced mode (boot configuration), the FleetView state, the secure
// jumper, and the PCI segment of an iSCSI function.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_PLATFORM_PROPS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_PLATFORM_PROPS_H

#include "mgmt/vexo/core/hm_types.h"

// Feature number of the FleetView query.
#define VEXO_FEATURE_FLEETVIEW 20

VEXO_status_t handle_AdvancedMode(node *property, char *value, int type);
// The three below ignore the request type (read-only values).
VEXO_status_t handle_FleetView(node *property, char *value, int type);
VEXO_status_t handle_IsSecureJumperEnabled(node *property, char *value, int type);
VEXO_status_t handle_DomainNumber(node *property, char *value, int type);

#endif
