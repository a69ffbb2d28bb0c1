// The back end's text files in the configuration directory: the three iSCSI
// files (saved targets, send-target portals, initiator login options) and the
// configured-profile file.
//
// A line is comma-separated fields ended by a newline; fields are neither
// quoted nor escaped, so a value holding a comma or a line break is refused
// before it reaches a file. Every change goes through one of two writers that
// take the same whole-file lock on the file itself: an append, or a rewrite
// that replaces the file by a fresh temporary file renamed over it, so a
// reader or a crash sees the old or the new file and an append is never lost
// between a rewrite's read and its rename.
//
// Paths given here are the host's fixed paths; host_path() is applied inside.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_PERSISTENCE_FILES_H
#define HLVD_MGMT_AW_VEXO_BACKEND_PERSISTENCE_FILES_H

#include <cstdio>

#include "mgmt/vexo/core/hm_types.h"

#define VEXO_SAVED_LOGOPTS_FILE "/etc/config/TAQ/vexo/intr_logopts.txt"
#define VEXO_CONFIG_PROFILE_FILE "/etc/config/TAQ/vexo/config_prof.txt"

// Fields of a line of each file.
#define VEXO_SAVETGT_FIELDS 22
#define VEXO_SAVESTP_FIELDS 18
#define VEXO_LOGOPTS_FIELDS 15
#define VEXO_CPROF_FIELDS 7

// One parsed field; a longer field is cut to 255 characters.
#define VEXO_FIELD_SIZE 256
// Longest line the start-up check accepts, without its newline.
#define VEXO_MAX_LINE_LEN 1023
// Longest field of a configured-profile line as parsed.
#define VEXO_CPROF_FIELD_LEN 34

// file_type of VEXO_remove_entry_from_file.
#define VEXO_FILE_SAVED_PORTALS 1
#define VEXO_FILE_SAVED_TARGET 0
#define VEXO_FILE_SAVED_LHBA 2
// isid of VEXO_remove_entry_from_file: any ISID qualifier.
#define VEXO_ANY_ISID 0xFFFFF

// What a rewrite does with one line.
#define VEXO_LINE_KEEP 0
#define VEXO_LINE_DROP 1
#define VEXO_LINE_CHANGE 2 // written again from its (edited) fields

// Called once per line of a rewrite with the line (without its newline) and
// its first `field_count` fields (cleared before the split); may edit the
// fields and answer VEXO_LINE_CHANGE.
typedef int (*vexo_line_editor)(const char *line, char (*fields)[VEXO_FIELD_SIZE], int field_count, void *ctx);

extern "C" {
// The whole file from its start, NUL-terminated, in counted memory (free with
// vexo_dfree); `size` gets its length and `line_count` its newlines. None for
// a missing stream, an empty file or a failed read or allocation; `size` and
// `line_count` are then untouched.
char *VEXO_get_file_data(FILE *fp, int *size, int *line_count);

// Splits `str` at commas into `line_token_count` fields of `login_options_props`
// and compares the first `count` with `loginopts_prop` ignoring case: 0 when
// all are equal, 1 at the first that differs. Fields the line lacks are left
// as they were.
int VEXO_get_iscsi_data_from_file(const char *str, char (*loginopts_prop)[VEXO_FIELD_SIZE],
                                  char (*login_options_props)[VEXO_FIELD_SIZE], int line_token_count, int count);

// Removes the lines of `lhba_node` that match on whole fields: type 1 the
// send-target portal (ip, port), type 0 the target's lines (name, ip, port and,
// unless isid is VEXO_ANY_ISID, the ISID qualifier), type 2 every saved target
// line of the LogicalHBA. 0, or 1 when nothing could be rewritten.
int VEXO_remove_entry_from_file(node *lhba_node, const char *target_name, const char *ipaddress, const char *port_num,
                                int isid, int file_type);

// Parses a configured-profile line into its seven fields (each cut to 34
// characters) and compares its key: serial, bus and function number with
// comp_flag 1, serial and bus with 0 (ignoring case). 0 when it matches.
int VEXO_compare_cprofile_data(const char *line, const char *serial_num, const char *bus_num, const char *fun_num,
                               char (*cprofile_props)[VEXO_FIELD_SIZE], int comp_flag);
// Removes every line of one adapter; 0, or 1 when the file is missing or
// cannot be rewritten.
int VEXO_delete_cfg_prof_from_file(const char *serial_num, const char *bus_num);
}

// "Arcwright%d,iSCSIPhysicalHBA%d,LogicalHBA%d" of the LogicalHBA's ancestors,
// as three fields; 1 when the node has no such ancestors.
int vexo_lhba_instance_key(node *lhba, char (*key)[VEXO_FIELD_SIZE]);

// True when a value may stand in a field: no comma and no line break.
bool vexo_field_storable(const char *value);

// Appends the line joined from `fields`. Refused (result 1, last status
// VEXO_STATUS_INVALID_VALUE) when a field holds a comma or line break; 1 too
// when the file cannot be opened or locked. An iSCSI file is left with mode
// 0600, the configured-profile file with 0644.
int vexo_append_persistence_line(const char *path, const char *const *fields, int count);

// Rewrites a file line by line through `editor`. Lines are taken from the
// whole file (empty lines are dropped); a changed line whose fields are not
// storable refuses the whole rewrite (last status VEXO_STATUS_INVALID_VALUE).
// When `extra` is given its text (whole lines) is added at the end. A missing
// file gives 1 unless `create` is set. 0, or 1 with the file unchanged.
int vexo_rewrite_persistence_file(const char *path, int field_count, vexo_line_editor editor, void *ctx,
                                  const char *extra = nullptr, bool create = false);

// The configured-profile line of an adapter (fun_num null, comp_flag 0) or
// of one function (comp_flag 1), chosen as the profile handlers need it: a
// function's second NIC or NIC+RoCE line is preferred. 0 found, 1 not.
int vexo_find_cprofile_line(const char *serial_num, const char *bus_num, const char *fun_num,
                            char (*cprofile_props)[VEXO_FIELD_SIZE], int comp_flag);
// Replaces field `prop_num` (0 to 6) of every matching line; 0 (also when no
// line matched), 1 when the file is missing, the value not storable or the
// rewrite fails.
int vexo_set_cprofile_field(const char *serial_num, const char *bus_num, const char *fun_num, const char *value,
                            int comp_flag, int prop_num);
// Replaces an adapter's lines by `lines` (whole lines, each ended by a
// newline), put after the other adapters' lines; a line that stands twice is
// written once. Creates the file when missing. 0, or 1.
int vexo_replace_cprofile_lines(const char *serial_num, const char *bus_num, const char *lines);

// Enabled of a LogicalHBA: the cached value; a set of "False" (any case) is
// refused with last status VEXO_STATUS_CANNOT_DISABLE, any other value is
// stored as by handle_internal_property.
VEXO_status_t handle_iSCSIPhysicalHBA_LogicalHBA_Enabled(node *property, char *value, int type);

// Mode of a file of this layer: 0600 for the iSCSI files (they hold CHAP
// secrets), 0644 for others.
unsigned int vexo_persistence_mode(const char *path);

// Drops the lines of one iSCSI file that are not sound (comma count, key
// names, length), each logged; `commas` is the file's comma count. The number
// of lines dropped, or -1 when the file could not be rewritten.
int vexo_drop_bad_lines(const char *path, int commas);

#endif
