// CHAP configuration of the iSCSI initiator: the ConfigureCHAP and DeleteCHAP
// actions of every Authentication group (initiator, target and send-target
// portal login options), which store the values in the group and in the
// owner's persistence file. The renewal of a target's closed sessions'
// persistent logins is not built yet.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_CHAP_CONFIG_H
#define HLVD_MGMT_AW_VEXO_BACKEND_CHAP_CONFIG_H

#include "mgmt/vexo/core/hm_types.h"

// Context: the Authentication group. Parameters: AuthenticationMethod,
// InitiatorCHAPName, InitiatorSecret, TargetCHAPName, TargetSecret, CHAPParam
// (empty: "Required"). 0, or 1 with the last status set.
VEXO_status_t do_ConfigureCHAP(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Stores method "None", empty names and secrets and level "Prohibited".
// 0, or 1 when a write failed.
VEXO_status_t do_DeleteCHAP(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

#endif
