// Targets and their portals deleted by hand: the tree nodes, the
// saved targets file and the adapter's persistent logins kept in step.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_TARGETS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_TARGETS_H

#include "mgmt/vexo/core/hm_types.h"

// Context: the LogicalHBA. InstanceNumber of the Target; refused while a
// session of it is live. Removes its saved lines and persistent logins.
VEXO_status_t do_DeleteTarget(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Context: a Target. InstanceNumber of the TargetPortal; refused while a
// session to it is live. Removes its saved lines and persistent logins.
VEXO_status_t do_DeleteTargetPortal(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

#endif
