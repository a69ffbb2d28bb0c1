// Login options of the iSCSI initiator: the firmware's login-options record
// filled from a login-option group before a login, a returned record shown
// in the session, connection and target groups, and the handlers of the
// three editable groups (InitiatorLoginOptions of a LogicalHBA,
// TargetLoginOptions of a Target, SendTargetPortalLoginOptions of a
// send-target portal) whose values live in the persistence files: a read
// loads the owner's line, a write rewrites it.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_LOGIN_OPTIONS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_LOGIN_OPTIONS_H

#include "mgmt/aw/vexo-backend/vexo_ioctl_records.h"
#include "mgmt/vexo/core/hm_types.h"

// Session flag bits of MGMT_SESSION_LOGIN_OPTIONS.
#define LOGIN_FLAG_INITIAL_R2T 0x01
#define LOGIN_FLAG_IMMEDIATE_DATA 0x02
#define LOGIN_FLAG_DATA_PDU_IN_ORDER 0x04
#define LOGIN_FLAG_DATA_SEQUENCE_IN_ORDER 0x08

// The one default record; callers copy it before changing anything.
const MGMT_LOGIN_OPTIONS *get_default_login_options();

// Fills `p` from the login-option group `loginparam_node` (it must have an
// Authentication child): type 0 and 2 the CHAP part, the digests and the
// InitialR2T/ImmediateData flags; 3 the CHAP part only; 1 nothing. Any other
// type, a missing group or Authentication child: 1 with `p` unchanged. A
// saved secret that is not of a form CHAP configuration accepts is refused
// with its status (6 or 8, also the last status) before anything is filled;
// a flag that cannot be read answers that read's status.
VEXO_status_t get_login_options(node *loginparam_node, MGMT_LOGIN_OPTIONS *p, int loginopt_type);
// The CHAP part when `chap_param` is 1 (secrets checked as above), then the
// InitialR2T and ImmediateData flags.
VEXO_status_t update_chap_details(node *loginparam_node, MGMT_LOGIN_OPTIONS *p, int chap_param);
// The header (data) digest byte: 1 when the parameter is 1 and the group's
// HeaderDigest (DataDigest) is "CRC32C", else 0.
VEXO_status_t update_header_digest_details(node *loginparam_node, MGMT_LOGIN_OPTIONS *p, int header_param);
VEXO_status_t update_data_digest_details(node *loginparam_node, MGMT_LOGIN_OPTIONS *p, int data_param);

// A returned record into the tree. `login_node` is the negotiated-options
// group itself, or the Session (Connection) that holds it. 0, or 1 when the
// group is missing or a property cannot be set.
VEXO_status_t set_session_login_options(node *login_node, const MGMT_LOGIN_OPTIONS *p);
VEXO_status_t set_connection_login_options(node *login_node, const MGMT_LOGIN_OPTIONS *p);
// Digests into TargetLoginOptions of a Target, else SessionLoginOptions of a
// Session, and the method and CHAP texts into its Authentication group.
VEXO_status_t setup_initiator_target_loginopts(node *parent, const MGMT_LOGIN_OPTIONS *p);

#endif
