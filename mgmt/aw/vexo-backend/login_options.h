// Login options of the iSCSI initiator: the firmware's login-options record
// filled from a login-option group before a login, a returned record shown
// in the session, connection and target groups, and the handlers of the
// three editable groups (InitiatorLoginOptions of a LogicalHBA,
// TargetLoginOptions of a Target, SendTargetPortalLoginOptions of a
// send-target portal) whose values live in the persistence files: a read
// loads the owner's line, a write rewrites it.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_LOGIN_OPTIONS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_LOGIN_OPTIONS_H

#include "mgmt/aw/vexo-backend/persistence_files.h"
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

// Calls `each(fields, ctx)` for every non-empty line of a persistence file
// with its first `field_count` fields (cleared before each split); a false
// answer stops the walk. Readers take no lock: every writer replaces the
// file whole. 0, or 1 when the file is missing (`missing` set) or cannot be
// read.
typedef bool (*vexo_saved_line_fn)(const char (*fields)[VEXO_FIELD_SIZE], void *ctx);
int vexo_walk_saved_lines(const char *path, int field_count, bool *missing, vexo_saved_line_fn each, void *ctx);

extern "C" {
// Load the twelve values of the owner's line into the group and its
// Authentication group; `prop_name` is not used. 0, or 1 (see each handler).
int VEXO_get_initiator_loginoptions(node *logical_hba, node *intr_loginoptions, node *auth_node,
                                    const char *prop_name);
int VEXO_get_target_loginoptions(node *target, node *target_loginoptions, node *auth_node, const char *prop_name);
int VEXO_get_stploginoptions(node *send_target_portal, node *sendtarget_loginoptions, node *auth_node,
                             const char *prop_name);
// Rewrite the owner's line(s) with the field `prop_name` set to `value` (no
// consistency check: that is the handlers'). 0 after a completed rewrite, 1
// when the file is missing or cannot be rewritten.
int VEXO_set_initiator_loginoptions(node *logical_hba, node *intr_loginoptions, node *auth_node,
                                    const char *prop_name, const char *value);
int VEXO_set_target_loginoptions(node *target, node *target_loginoptions, node *auth_node, const char *prop_name,
                                 const char *value);
int VEXO_set_stploginoptions(node *send_target_portal, node *sendtarget_loginoptions, node *auth_node,
                             const char *prop_name, const char *value);
}

// Property handlers of the three groups and their Authentication groups.
VEXO_status_t handle_initiator_loginoptions(node *property, char *value, int type);
VEXO_status_t handle_authentication_initiator_loginoptions(node *property, char *value, int type);
VEXO_status_t handle_target_loginoptions(node *property, char *value, int type);
VEXO_status_t handle_authentication_target_loginopts(node *property, char *value, int type);
VEXO_status_t handle_stploginoptions(node *property, char *value, int type);
VEXO_status_t handle_authentication_stploginoptions(node *property, char *value, int type);

#endif
