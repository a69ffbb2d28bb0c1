#include "mgmt/aw/vexo-backend/sw_initiator.h"

VEXO_status_t VEXO_add_open_iscsi_target(char *, char *, int, int, node *)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_delete_open_iscsi_target(char *, node *, int)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_convert_mac(char *, char *)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_get_iscsi_iface(node *, char *, char *, int)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_delete_open_iscsi_tpg(char *, char *, int, node *)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_op_iscsi_login(char *, int, node *, node *)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_discover_op_targets(node *)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_list_op_iscsi_targets(node *, int)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_list_op_sessions_luns(node *)
{
    return VEXO_STATUS_SUCCESS;
}

node *VEXO_op_setup_connection(node *, node *, node *, char *, int, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return nullptr;
}

node *VEXO_op_setup_session(node *, node *, node *, char *, int, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return nullptr;
}

VEXO_status_t VEXO_op_iscsi_logout(node *, node *)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_op_get_all_luns(node *, node *, int)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_op_configure_chap(node *, node *, int, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_op_delete_chap(node *, node *, int)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_get_BlockSize(node *)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_get_LUNSize(node *)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t delete_op_iscsi_STP(node *)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_op_add_sendtaregtportal(char *, int, node *)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_op_get_lun_props(node *)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_discover_isns_targets(node *, node *)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t delete_op_iscsi_isns(node *)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_op_add_isns(char *, int, node *)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_get_all_op_isns(node *)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_op_iscsi_check_session(char *, char *, int, char *)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_op_get_session_attribs(node *, node *, char *, int, char *, char *)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_op_get_session_details(node *, node *, node *, node *, char *, int)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_op_set_session_connection_login_options(node *, node *, char *, int, char *, char *, int)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_op_set_intr_name(node *, char *)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_op_refresh_session_attribs(node *)
{
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_op_get_isid(node *, node *, char *, int, uint32_t *)
{
    return VEXO_STATUS_SUCCESS;
}
