// The iSCSI initiator's targets, portals, sessions and connections as tree
// nodes below a LogicalHBA: their builders, lookups, the firmware session
// record that refreshes a session and its connection, and the handlers of
// the session, connection and target alias properties.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_OBJECTS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_OBJECTS_H

#include <cstdint>

#include "mgmt/aw/vexo-backend/vexo_ioctl_records.h"
#include "mgmt/vexo/core/hm_types.h"

// Byte layout of the firmware's session record (GET_A_SESSION_PARAMS).
#define ISCSI_SESSION_RECORD_SIZE 1164
#define ISCSI_SESSION_CONN_LIST 492 // first MGMT_CONN_INFO
#define ISCSI_CONN_INFO_SIZE 672
#define ISCSI_IP_ADDRESS_TEXT 40 // room ipaddr_to_string needs

// Builders: the new group, or null. `context`, `action` and `params` become
// the group's persistence record.
node *setup_target(node *lhba, const char *name, node *context, node *action,
                   char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE], int target_type);
node *setup_portal(node *target, const char *ip, const char *port, const char *portal_tag, node *context,
                   node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// `negotiated_options` (20-byte session login options, may be null) and
// `is_boot_session` are accepted for the callers; see the .cpp.
node *setup_session(node *target, int aw_port_number, int session_handle, int is_boot_session,
                    const void *negotiated_options, node *context, node *action,
                    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE], const char *portal_tag);
node *setup_connection(node *session, int connection_handle, const void *negotiated_options, node *context,
                       node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// Lookups: the node found, or null.
node *find_target(node *lhba, const char *name);
node *find_target_portal(node *target, const char *ip, const char *port);
// 0 with the instance number of the portal found, 1 when there is none.
int validate_target_portal(node *target, int *instance, const char *ip, const char *port);
node *find_session(node *target, const char *ip, const char *port);
node *get_matchnode_by_propvalue(node *parent, const char *group_name, const char *prop_name, const char *value);

// The SessionStatus text of a session record's status bits.
const char *session_status_text(uint32_t status);

// Text of the 16 address bytes by address type into `text` (40 bytes).
void ipaddr_to_string(const uint8_t *address_bytes, char *text, int ip_type);

// A counted 1164-byte session record for `session_handle`, released by the
// caller with vexo_dfree; null with status 85 when the firmware refuses it.
GET_A_SESSION_PARAMS *VEXO_get_session_params(int session_handle, int aw_port_number, unsigned int domainid,
                                              unsigned int phba_port);
// Refreshes the Session's and its Connection's properties; 0 or non-zero.
int get_session_attribs(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *session);
// Writes the Connection properties of `session` from a session record; 0 or 1.
int VEXO_update_connection_props(const GET_A_SESSION_PARAMS *session_info, node *session);

// Copies values between two login-option groups; `type` 0 to 3. 0 or 1.
int copy_login_options(node *dest_options, node *src_options, int type);

VEXO_status_t handle_session_properties(node *property, char *value, int type);
VEXO_status_t handle_connection_properties(node *property, char *value, int type);
VEXO_status_t handle_TargetAlias(node *property, char *value, int type);
VEXO_status_t group_Session(node *session);
VEXO_status_t group_LUN(node *lun);

#endif
