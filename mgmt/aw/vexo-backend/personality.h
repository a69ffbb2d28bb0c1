// The personality of a converged adapter: which protocol its storage
// functions run now (read once at back-end start, from the profile
// configuration or, on older firmware, from the legacy records), which they
// run after the next reboot, and the change of it.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_PERSONALITY_H
#define HLVD_MGMT_AW_VEXO_BACKEND_PERSONALITY_H

#include <cstdint>

#include "mgmt/vexo/core/hm_types.h"
#include "mgmt/vexo/core/vexo_status.h"

// Entries of the storage-function list.
#define VEXO_STORAGE_FUNCTIONS_MAX 8
// Modes of the storage-function list.
#define STORAGE_LIST_ENABLED 0 // enabled storage functions only
#define STORAGE_LIST_ALL 1     // every storage function

extern "C" {
// Lists the storage functions (mission roles iSCSI or FCoE) of the active
// profile configuration: their PCI function numbers into `storage_f` and
// their pf_type codes (1 for a disabled one) into `storage_fun_type`, both
// of VEXO_STORAGE_FUNCTIONS_MAX entries, and their count. 0; 1 with last
// status 16; 213 or 288 (no last status) when the firmware has no usable
// profile configuration.
VEXO_status_t VEXO_get_storage_functions(int aw_port_number, unsigned int domain, unsigned int phba_port,
                                         node *adapter, int *storage_fun_cnt, int *storage_f,
                                         int *storage_fun_type, uint8_t type);
// Set CurrentPersonality of the `personality` group. The first answers 213
// or 288 when the firmware has no profile configuration; the caller then
// asks the second.
VEXO_status_t VEXO_get_adapter_current_personality(int aw_port_number, unsigned int domain, unsigned int phba_port,
                                                   node *adapter, node *personality);
VEXO_status_t VEXO_get_legacy_adapter_current_personality(int aw_port_number, unsigned int domain,
                                                          unsigned int phba_port, node *adapter, node *personality);
// Write the personality ("NIC", "iSCSI", "FCoE", any case) of the storage
// functions for the next boot. The first answers 213 (no last status) when
// the firmware has no profile configuration; the caller then uses the
// second.
VEXO_status_t VEXO_set_adapter_personality(int aw_port_number, unsigned int domain, unsigned int phba_port,
                                           node *adapter, const char *personality);
VEXO_status_t VEXO_set_legacy_adapter_personality(int aw_port_number, unsigned int domain, unsigned int phba_port,
                                                  node *adapter, const char *personality);
}

// ConfiguredPersonality of an adapter's Personality group (read only).
VEXO_status_t handle_ConfiguredPersonality(node *property, char *value, int type);
// SetPersonality of an adapter's Personality group.
VEXO_status_t do_SetPersonality(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

#endif
