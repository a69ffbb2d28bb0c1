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
// qualifier) leaves file and target alone. 0; 1 when a value or group it
// needs is missing or the line cannot be appended (the target's options are
// then left as they were).
int VEXO_add_target_into_file(node *lhba_node, node *target_node, const char *target_name, const char *ipaddress,
                              const char *port_num, node *stp, const char *tgt_persistent);

// 1 when a saved line of the LogicalHBA (instances of `be`, `iscsi_phba`,
// `lhba`) matches on whole fields, letter case ignored: file type 0 the saved
// targets file by name, address and port (an empty port matches any) and,
// unless `isid` is VEXO_ANY_ISID, the ISID qualifier; file type 1 the
// send-target portals file by address and port. 0 otherwise, also for a
// missing or unreadable file.
int VEXO_check_for_duplicate_tgt(node *be, node *iscsi_phba, node *lhba, const char *target_name,
                                 const char *ipaddress, const char *portnum, int file_type, int isid);
// 0 when the send-target portals file has the portal (address and port) for
// the adapter and function of `be` and `iscsi_phba` (LogicalHBA0); 1 when it
// has not, the file is missing or a node is not given.
int VEXO_sync_stp_with_file(node *be, node *iscsi_phba, node *lhba, node *stp, const char *ipaddress,
                            const char *port);
}

// 1 when a SendTargetPortal of `discovery` has that IPAddress and PortNumber
// (letter case ignored); 0 otherwise or when a value cannot be read.
int check_for_stp_in_VEXO(node *discovery, const char *ipaddress, const char *portnum);

// Makes the SendTargetPortal nodes of a Discovery group equal to the saved
// send-target portals of its LogicalHBA: nodes without a line go, lines
// without a node build one. A missing file has no lines; a file that cannot
// be read changes nothing and answers 1, as do a missing group and a portal
// whose values cannot be read.
VEXO_status_t group_Discovery(node *grp);

// Deletes the Targets whose name has no saved line and the TargetPortals
// whose portal has none. No file changes nothing (0); a file that cannot be
// read or a name that cannot be read deletes nothing and answers 1.
int VEXO_sync_targets_with_file(node *logical_hba);
// Builds the Targets and TargetPortals the saved lines name and the tree
// lacks; a line that creates a Target with an ISID qualifier logs it in
// through the Target's Login action (result not used). 0, or 1 when a node
// cannot be built or the file cannot be read.
int add_target_from_file(node *logical_hba);

// Deletes a Target with its sessions, connections and LUNs, releasing their
// handle records; the status of the deletion.
VEXO_status_t delete_target_node(node *target);

// TargetType of `target` from the first saved line of its LogicalHBA and
// name; no file or no line leaves it. 0, or 1 when the name cannot be read
// or the file cannot be read.
int get_target_type(node *target);
// TargetType: a get reads it through get_target_type; a set does nothing.
VEXO_status_t handle_target_type(node *property, char *value, int type);

#endif
