// Targets and their portals added and deleted by hand: the tree nodes, the
// saved targets file and the adapter's persistent logins kept in step.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_TARGETS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_TARGETS_H

#include "mgmt/vexo/core/hm_types.h"

// Context: the LogicalHBA. TargetName, IPAddress, PortNumber (3260 when
// empty), BootTarget, BootTargetPriority. A portal already saved answers 0
// and adds nothing.
VEXO_status_t do_AddTarget(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Context: the LogicalHBA. InstanceNumber of the Target; refused while a
// session of it is live. Removes its saved lines and persistent logins.
VEXO_status_t do_DeleteTarget(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Context: a Target. IPAddress, PortNumber (3260 when empty).
VEXO_status_t do_AddTargetPortal(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Context: a Target. InstanceNumber of the TargetPortal; refused while a
// session to it is live. Removes its saved lines and persistent logins.
VEXO_status_t do_DeleteTargetPortal(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

#endif
