// DCBX settings of a port bound to the management tree: the property
// handlers of the PFC, priority-group, application and QCN groups and of
// DCBXState, the refreshers that rebuild the ApplicationTLV entries of the
// three application groups, and the actions that change priority groups and
// add or delete application entries.
//
// An ApplicationTLV node keeps the index of the firmware entry it shows
// (firmware lists may be sparse, and nodes take the lowest free instance
// numbers), so that a read or a delete reaches that entry.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_DCBX_FEATURES_H
#define HLVD_MGMT_AW_VEXO_BACKEND_DCBX_FEATURES_H

#include "mgmt/vexo/core/hm_types.h"

// Property handlers: type 0 reads into `value` (256 bytes), type 1 applies
// the validated text in `value`. 0, 1, or a routine's status.
VEXO_status_t handle_DCBXState(node *property, char *value, int type);
VEXO_status_t handle_pfc_feature_vars(node *property, char *value, int type);
VEXO_status_t handle_pg_feature_vars(node *property, char *value, int type);
VEXO_status_t handle_app_feature_vars(node *property, char *value, int type);
VEXO_status_t handle_pg15_membership(node *property, char *value, int type);
// Read only: `type` is not looked at.
VEXO_status_t handle_bwg_props(node *property, char *value, int type);
VEXO_status_t handle_apptlv_feature_vars(node *property, char *value, int type);
VEXO_status_t handle_update_qcn_props(node *property, char *value, int type);

// Refreshers of the ApplicationTLV entries of one settings group.
VEXO_status_t group_AdministratorTLVSetting(node *group);
VEXO_status_t group_PeerTLVSetting(node *group);
VEXO_status_t group_OperationalTLVSettings(node *group);

// On a PG below AdministratorPGSetting: params[0] PriorityMembership,
// params[1] Bandwidth.
VEXO_status_t do_ConfigurePGSettings(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// On AdministratorTLVSetting: params[0] ProtocolSelector, [1] ProtocolID,
// [2] PriorityBitMap, [3] OUI (empty: 0x001B21).
VEXO_status_t do_AddApplicationTLV(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// On AdministratorTLVSetting: params[0] the instance number of the entry.
VEXO_status_t do_DeleteApplicationTLV(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// Keeps firmware entry `index` with a freshly built ApplicationTLV node; 0,
// or 1 when the record cannot be allocated.
int dcbx_keep_entry_index(node *tlv, int index);
// Releases the kept entry indexes of every ApplicationTLV of a port group,
// or of all ports of an adapter, before those nodes go.
void dcbx_release_port_entry_indexes(node *port);
void dcbx_release_entry_indexes(node *adapter);

extern "C" {
// The version-0 form of adding (flag 1) or deleting (flag 0, the entry of
// `app_tlv`) an application entry, for firmware without the version-1
// record. 0, 1, or the command's status.
int VEXO_get_dcbx_cfg_v0(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE], node *app_tlv,
                         int prior_bit, int local_oui, int driver_type, int flag);
}

#endif
