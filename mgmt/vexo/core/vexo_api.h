// The public management API. Clients start the library with VEXO_init, walk
// the hierarchy by tags from the root (tag 0), read and write property
// values, refresh groups and run actions, then stop with VEXO_exit once per
// VEXO_init. Every call answers a VEXO_status_t; most reset the last status
// first, so that VEXO_get_last_status tells the outcome of the latest call.
//
// Property reads and writes, group refreshes and actions hold the lock file
// of the adapter they touch; busy after one wait they answer 14.
// The API is not safe for concurrent use inside one process.
#ifndef HLVD_MGMT_VEXO_CORE_VEXO_API_H
#define HLVD_MGMT_VEXO_CORE_VEXO_API_H

#include "mgmt/vexo/core/hm_types.h"

// Selection types of VEXO_get_child_tags.
#define VEXO_CHILD_NONE 0
#define VEXO_CHILD_GROUPS 1
#define VEXO_CHILD_PROPERTIES 2
#define VEXO_CHILD_ACTIONS 3
#define VEXO_CHILD_LINKS 4 // selects nothing: links count as what they stand for
#define VEXO_CHILD_READONLY 5
#define VEXO_CHILD_WRITABLE 6
#define VEXO_CHILD_WRITABLE_LISTED 7

// Started clients of this process.
extern int vexo_client_count;

extern "C" {
// 0 when the hierarchy stands and at least one adapter was listed; 1
// otherwise; 14 when the start lock stayed busy.
VEXO_status_t VEXO_init(void);
VEXO_status_t VEXO_exit(void);

// Runs an action on a context group with six parameter texts (first byte
// 0xFF: not given). `vexo_new_tags`, when given, has room for 4097 tags and
// receives the tags of the groups built by the action, in build order, after
// its first entry is set to 0. Answers the handler's status; 1 or 14 when the
// action did not run.
VEXO_status_t VEXO_do_action(node_tag_t context_group_tag, node_tag_t action,
                             char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE], node_tag_t *vexo_new_tags);
// Runs the group's refresh handler; 0 whatever it answered, 14 when busy.
VEXO_status_t VEXO_refresh_group(node_tag_t group_tag);

VEXO_status_t VEXO_get_node_tag(node_tag_t parent, char *name, node_tag_t *tag, int type);
// `name` holds 35 bytes.
VEXO_status_t VEXO_get_node_name(node_tag_t tag, char *name, int type);
VEXO_status_t VEXO_get_parent_tag(node_tag_t child, node_tag_t *parent);
// `ctags` must have room for every child of the group (and, for actions,
// ROOT's scope-1 actions). A non-zero *count on entry is that room: a group
// with more children fills it, sets *count to the number needed and fails.
VEXO_status_t VEXO_get_child_tags(node_tag_t tag, node_tag_t *ctags, unsigned int *count, int type);

// `val` is a terminated text; `len` may not exceed 256. The handler receives
// the validated text (an IPv6 address in its 39-character form).
VEXO_status_t VEXO_set_property_val(node_tag_t parent, node_tag_t tag, char *val, int len);
// `len` (1 to 256) is the size of `val`; the value is cut to fit it.
VEXO_status_t VEXO_get_property_val(node_tag_t parent, node_tag_t tag, char *val, int len);

VEXO_status_t VEXO_get_node_description(node_tag_t tag, VEXO_node_info *node_info);
VEXO_status_t VEXO_get_param_info(node_tag_t tag, VEXO_param_info *param_info);
// `instance_array` must hold the group type's maximum number of instances.
VEXO_status_t VEXO_get_valid_instances(node_tag_t parent, char *name, int *instance_array, int *count);
VEXO_status_t VEXO_get_persistent_nodes(node_tag_t *gtags, int *count);
VEXO_status_t VEXO_get_persistence_info(node_tag_t node, VEXO_persistency_info *pinfo);
// `status_string` holds 600 bytes.
VEXO_status_t VEXO_get_last_status(VEXO_status_t *status_code, char *status_string);
}

#endif
