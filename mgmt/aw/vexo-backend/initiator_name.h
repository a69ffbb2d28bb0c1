// The initiator name, alias and iSCSI rate limits of a LogicalHBA, all held
// by the adapter's firmware (the host keeps no copy), and the reader of the
// firmware's discovery parameters behind iSNSEnabled.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_INITIATOR_NAME_H
#define HLVD_MGMT_AW_VEXO_BACKEND_INITIATOR_NAME_H

#include "mgmt/vexo/core/hm_types.h"

extern "C" {
// Reads name and alias (version-1 command first, version 0 when the
// firmware does not know it) into InitiatoriSCSIName and InitiatorAlias of
// the property's parent group. 0; 1 without a parent or when a store fails;
// the command's result when the read fails (status 110).
int get_name_params(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *property);
// Writes a new name (property InitiatoriSCSIName) or alias (InitiatorAlias),
// keeping the other as the firmware holds it. 0; 1; or the failing
// command's result (status 110 for the read, 111 for the version-0 write).
int VEXO_set_initatorIQN_alias(node *property, char *value);
// Reads MaxBytesPerSecond and MaxIosPerSecond into group `qos`. 0; the
// command's result when it fails (status 114); else the ORed store results.
int get_qos_params(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *qos);
// Reads the discovery parameters and sets iSNSEnabled of group `isns`.
// 0; 1 without a group; the command's result when it fails (status 80);
// else the store's result.
int get_discovery_params(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *isns);
}

// Property handlers of the InitiatoriSCSIName and iSCSIQoS groups.
VEXO_status_t handle_name_params(node *property, char *value, int type);
VEXO_status_t handle_MaxBytesPerSecond(node *property, char *value, int type);
VEXO_status_t handle_MaxIosPerSecond(node *property, char *value, int type);

#endif
