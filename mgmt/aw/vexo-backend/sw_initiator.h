// Operations of a host software iSCSI initiator, beside the adapter's own
// firmware initiator. A handler that could use either reads
// OPEN_ISCSI_DRIVER_LOADED before the step and calls one of these when it is
// set. Nothing ever sets it here: the software initiator is never loaded, so
// the firmware path is always taken and these operations do nothing and
// report success (or return no node).
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_SW_INITIATOR_H
#define HLVD_MGMT_AW_VEXO_BACKEND_SW_INITIATOR_H

#include <cstdint>

// OPEN_ISCSI_DRIVER_LOADED: 0 at load and never written; non-zero would
// select the operations below. It lives with the driver flags of the
// function queries.
#include "mgmt/aw/vexo-backend/function_attribs.h"
#include "mgmt/vexo/core/hm_types.h"

VEXO_status_t VEXO_add_open_iscsi_target(char *target_name, char *ip_address, int port, int portal_group_tag,
                                         node *lhba);
VEXO_status_t VEXO_delete_open_iscsi_target(char *target_name, node *lhba, int ip_version);
VEXO_status_t VEXO_convert_mac(char *mac, char *out);
VEXO_status_t VEXO_get_iscsi_iface(node *lhba, char *iface, char *iface_name, int ip_type);
VEXO_status_t VEXO_delete_open_iscsi_tpg(char *target_name, char *ip_address, int port, node *lhba);
VEXO_status_t VEXO_op_iscsi_login(char *ip_address, int port, node *lhba, node *target);
VEXO_status_t VEXO_discover_op_targets(node *send_target_portal);
VEXO_status_t VEXO_list_op_iscsi_targets(node *lhba, int target_type);
VEXO_status_t VEXO_list_op_sessions_luns(node *lhba);
node *VEXO_op_setup_connection(node *session, node *context, node *lhba, char *ip_address, int port, node *action,
                               char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
node *VEXO_op_setup_session(node *target, node *context, node *lhba, char *ip_address, int port, node *action,
                            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t VEXO_op_iscsi_logout(node *session, node *lhba);
VEXO_status_t VEXO_op_get_all_luns(node *session, node *target, int flag);
VEXO_status_t VEXO_op_configure_chap(node *lhba, node *parent, int chap_mode,
                                     char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t VEXO_op_delete_chap(node *lhba, node *parent, int chap_mode);
VEXO_status_t VEXO_get_BlockSize(node *lun);
VEXO_status_t VEXO_get_LUNSize(node *lun);
VEXO_status_t delete_op_iscsi_STP(node *send_target_portal);
VEXO_status_t VEXO_op_add_sendtaregtportal(char *ip_address, int port, node *lhba);
VEXO_status_t VEXO_op_get_lun_props(node *lun);
VEXO_status_t VEXO_discover_isns_targets(node *isns_server, node *lhba);
VEXO_status_t delete_op_iscsi_isns(node *isns_server);
VEXO_status_t VEXO_op_add_isns(char *ip_address, int port, node *lhba);
VEXO_status_t VEXO_get_all_op_isns(node *iscsi_function);
VEXO_status_t VEXO_op_iscsi_check_session(char *ip_address, char *target_name, int port, char *iface_name);
VEXO_status_t VEXO_op_get_session_attribs(node *session, node *connection, char *ip_address, int port,
                                          char *iface_name, char *file_name);
VEXO_status_t VEXO_op_get_session_details(node *target, node *session, node *connection, node *lhba,
                                          char *ip_address, int port);
VEXO_status_t VEXO_op_set_session_connection_login_options(node *session_login_options,
                                                           node *connection_login_options, char *ip_address, int port,
                                                           char *iface_name, char *file_name, int boot_flag);
VEXO_status_t VEXO_op_set_intr_name(node *property, char *value);
VEXO_status_t VEXO_op_refresh_session_attribs(node *session);
VEXO_status_t VEXO_op_get_isid(node *target, node *lhba, char *ip_address, int port, uint32_t *isid_qualifier);

#endif
