// CHAP configuration of the iSCSI initiator: the ConfigureCHAP and DeleteCHAP
// actions of every Authentication group (initiator, target and send-target
// portal login options), which store the values in the group and in the
// owner's persistence file, and for a target the renewal of the persistent
// logins of its closed or failed sessions.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_CHAP_CONFIG_H
#define HLVD_MGMT_AW_VEXO_BACKEND_CHAP_CONFIG_H

#include "mgmt/vexo/core/hm_types.h"

// Context: the Authentication group. Parameters: AuthenticationMethod,
// InitiatorCHAPName, InitiatorSecret, TargetCHAPName, TargetSecret, CHAPParam
// (empty: "Required"). 0, or 1 with the last status set (also when a
// target's persistent logins could not be renewed).
VEXO_status_t do_ConfigureCHAP(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Stores method "None", empty names and secrets and level "Prohibited".
// 0, or 1 when a write or a target's renewal failed.
VEXO_status_t do_DeleteCHAP(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// Renews the persistent logins of the Target's "Closed" and "Login Failed"
// sessions with its current login options and CHAP values (on Trelmont the
// boot entries of boot sessions are removed and added again); open sessions
// are left alone. 0, or 1 (also for a Target without sessions).
int VEXO_update_session_authentication(node *target);
// The renewal after a change of the Target's login options: true when it
// has no sessions or they were renewed; false with a failing status left.
bool vexo_renew_target_sessions(node *target);

#endif
