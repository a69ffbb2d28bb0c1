// Finding targets instead of typing them in: send-target portals of a
// LogicalHBA's Discovery group and the SendTargets exchange through them, and
// the iSNS servers the firmware itself uses (an iSCSI function's iSNS group).
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_DISCOVERY_H
#define HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_DISCOVERY_H

#include <cstddef>
#include <cstdint>

#include "mgmt/vexo/core/hm_types.h"

// One SendTargets exchange buffer, request and answer.
#define VEXO_SENDTARGETS_BUFFER_SIZE 64000
// iSNS port when none is given.
#define VEXO_ISNS_DEFAULT_PORT 3205

// A parsed SendTargets answer is firmware bytes: keeps of its `target_count`
// only the entries that lie wholly inside `len` bytes, writes that count back
// and ends every kept target name inside its field. The count kept.
uint32_t vexo_bound_sendtargets_answer(uint8_t *answer, size_t len);

// Discovery through one SendTargetPortal (`context`); params[0] an optional
// target name. 0, or non-zero with the last status telling why.
VEXO_status_t discover_targets(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// The whole refresh of a LogicalHBA: the saved and firmware targets, then
// discovery through every send-target portal of its Discovery group.
VEXO_status_t refresh_targets(node *lhba, unsigned int domainid, unsigned int phba_port, node *context, node *action,
                              char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// Actions of the Discovery group, its SendTargetPortal and the iSNS group.
VEXO_status_t do_AddSendTargetPortal(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_DeleteSendTargetPortal(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_RefreshAvailableTargets(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_DiscoverTargets(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_ConfigureiSNSServer(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_DeleteiSNSServer(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_DiscoveryiSNSThruDHCP(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// iSNSEnabled of the iSNS group.
VEXO_status_t handle_discoveryparams(node *property, char *value, int type);

#endif
