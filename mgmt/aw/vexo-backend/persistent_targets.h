// Saved targets: the target-portal line of a target written into the saved
// targets file, and a Target's TargetType read back from it.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_PERSISTENT_TARGETS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_PERSISTENT_TARGETS_H

#include "mgmt/vexo/core/hm_types.h"

extern "C" {
// Appends the target-portal line of `target_node` for the portal (name, IP
// address, port) with the login options of the send-target portal that
// discovered it (a Discovered target: `stp`, else the Discovery group's
// portal of that IP address) or else of the initiator, and copies those
// options into the target's TargetLoginOptions groups. `tgt_persistent` is
// the line's last field. A line for that portal already saved (of any ISID
// qualifier) leaves file and target alone. 0, also when the line cannot be
// appended; 1 when a value or group it needs is missing.
int VEXO_add_target_into_file(node *lhba_node, node *target_node, const char *target_name, const char *ipaddress,
                              const char *port_num, node *stp, const char *tgt_persistent);
}

// TargetType of `target` from the first saved line of its LogicalHBA and
// name; no file or no line leaves it. 0, or 1 when the name cannot be read
// or the file cannot be read.
int get_target_type(node *target);
// TargetType: a get reads it through get_target_type; a set does nothing.
VEXO_status_t handle_target_type(node *property, char *value, int type);

#endif
