// The staged configured profile of a converged adapter: its lines in the
// configured-profile file, read and rewritten field by field for one
// adapter or function, and the property handlers of the ConfiguredProfile
// group, its ports and their functions.
//
// A set is staged, not sent: the file line and the property's cached value
// hold it until SaveProfile. When the file has no line for the key the
// cached value alone holds it.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_CONFIGURED_PROFILE_H
#define HLVD_MGMT_AW_VEXO_BACKEND_CONFIGURED_PROFILE_H

#include "mgmt/aw/vexo-backend/persistence_files.h"
#include "mgmt/vexo/core/hm_types.h"

// Fields of a configured-profile line.
#define VEXO_CPROF_SERIAL 0
#define VEXO_CPROF_BUS 1
#define VEXO_CPROF_PROFILE_ID 2
#define VEXO_CPROF_MC_TYPE 3
#define VEXO_CPROF_FUNCTION 4
#define VEXO_CPROF_PROTOCOL 5
#define VEXO_CPROF_SRIOV 6

extern "C" {
// The line of the adapter (fun_num null, comp_flag 0) or of one of its
// functions (comp_flag 1) into `cprofile_props`; 0 found, 1 not found or
// not readable (key unreadable, file missing).
int VEXO_get_config_prof_prop(node *adapter, const char *fun_num, char (*cprofile_props)[VEXO_FIELD_SIZE],
                              int comp_flag);
// Replaces field `prop_num` of every matching line of the adapter by
// `value`. 0 also when no line matched; 1 when the key cannot be read, the
// file is missing, the value cannot stand in a field (last status
// VEXO_STATUS_INVALID_VALUE) or the rewrite fails.
int VEXO_set_config_prof_prop(node *adapter, const char *fun_num, const char *value, int comp_flag, int prop_num);
}

// ProfileId of ConfiguredProfile.
VEXO_status_t handle_ConfiguredProfile_ProfileId(node *property, char *value, int type);
// MCType of a configured Port.
VEXO_status_t handle_ConfiguredProfile_Port_MCType(node *property, char *value, int type);
// Protocol of a configured Function.
VEXO_status_t handle_ConfiguredProfile_Port_Function_Protocol(node *property, char *value, int type);
// SRIOVState of a configured Function.
VEXO_status_t handle_CProf_SRIOVState(node *property, char *value, int type);

#endif
