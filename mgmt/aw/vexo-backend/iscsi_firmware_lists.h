// The firmware's lists of an iSCSI function mirrored into the tree: its open
// sessions, the targets it knows, the first iSNS server of its discovery
// parameters and the parsed answer of a SendTargets discovery; the refresh
// callbacks of the Target and iSNS groups, and the first load of a
// LogicalHBA at back-end start.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_FIRMWARE_LISTS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_FIRMWARE_LISTS_H

#include <cstddef>
#include <cstdint>

#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/vexo/core/hm_types.h"

// Byte layout of the target record (MGMT_TARGET_INFO).
#define ISCSI_TARGET_NAME 4
#define ISCSI_TARGET_NAME_SIZE 224
#define ISCSI_TARGET_ALIAS 228
#define ISCSI_TARGET_ALIAS_SIZE 32
#define ISCSI_TARGET_PG_COUNT 260
#define ISCSI_TARGET_PG_LIST 264
#define ISCSI_PORTAL_GROUP_SIZE 552
#define ISCSI_PORTAL_ENTRY_SIZE 548
#define ISCSI_TARGET_QUERY_SIZE 816
// The target-id list is read into one buffer of this size.
#define ISCSI_TARGET_ID_BUFFER 64000
// A SendTargets entry: count, name, then address entries of 32 bytes.
#define ISCSI_ST_ENTRY_HEAD 228
#define ISCSI_ST_ADDRESS_SIZE 32

// One portal as read from a firmware record: address text, port and tag.
struct fw_portal {
    char ip[ISCSI_IP_ADDRESS_TEXT];
    uint16_t port;
    uint32_t tag;
};

// Calls `each` for portal k of group j of a target record of `length` bytes,
// the groups 552 bytes apart; a portal the record does not hold ends the
// walk. A false answer stops it. The number of portals visited.
typedef bool (*fw_portal_fn)(const fw_portal *portal, void *ctx);
int vexo_walk_target_portals(const uint8_t *record, size_t length, fw_portal_fn each, void *ctx);

// Calls `each` for each of the first `max_targets` entries of a parsed
// SendTargets answer of `length` bytes (-1: no limit) with the name (cut
// to 223 characters) and the address entries that lie within the answer
// (`address_count` of them from `addresses`); an entry that does not fit
// ends the walk. A false answer stops it. The number of entries visited.
typedef bool (*fw_send_target_fn)(const char *name, uint32_t declared_count, const uint8_t *addresses,
                                  uint32_t address_count, void *ctx);
int vexo_walk_send_targets(const uint8_t *data, size_t length, int max_targets, fw_send_target_fn each, void *ctx);
// The portal of one SendTargets address entry.
void vexo_send_target_portal(const uint8_t *address_entry, fw_portal *portal);

int get_all_sessions(node *lhba, int aw_port_number, unsigned int domainid, unsigned int phba_port, node *context,
                     node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
int VEXO_check_for_duplicate_session(node *target, int aw_port_number, unsigned int domainid, unsigned int phba_port,
                                     char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE], int *found, node **session,
                                     node **connection);
node *VEXO_get_boot_target(node *lhba, node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE],
                           const GET_A_SESSION_PARAMS *session_info);
int get_all_targets(node *lhba, int aw_port_number, unsigned int domainid, unsigned int phba_port,
                    int perform_discovery, node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// "True" or "False" (at most 34 characters) into `text` from the first
// active session of the target; `text` untouched when there is none. 0 or 1.
int VEXO_get_tgt_persistent_val(node *lhba, const char *target_name, char *text);
int get_all_isns(node *iscsi_function, int aw_port_number, unsigned int domainid, unsigned int phba_port,
                 node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// `parsed_data` holds `length` bytes of the parsed SendTargets answer;
// nothing past them is read.
int BuildTargetInfoList(const void *parsed_data, size_t length, node *lhba, node *context, node *action,
                        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
int setup_iscsi(node *lhba, const char *enabled_text, node *context, node *action,
                char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

VEXO_status_t group_Target(node *target);
VEXO_status_t group_iSNS(node *iSNS_group);

#endif
