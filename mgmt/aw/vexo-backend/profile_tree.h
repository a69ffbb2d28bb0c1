// The profile tree of an adapter, built from its firmware at back-end start:
// the profiles it offers, the active and the configured profile with their
// ports and functions, and the link configurations.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_PROFILE_TREE_H
#define HLVD_MGMT_AW_VEXO_BACKEND_PROFILE_TREE_H

#include "mgmt/vexo/core/hm_types.h"

extern "C" {
// Each takes an Arcwright group; 0 done, 1 failed or not applicable.
int VEXO_list_available_profiles(node *adapter);
int VEXO_get_profile_capacities(int profile_id, node *profile, node *adapter);
int VEXO_get_active_profiles(node *adapter);
// Also rewrites the adapter's lines of the configured-profile file.
int VEXO_get_configured_profiles(node *adapter);
// With low byte of `flag` 1 only the two link-configuration IDs are read.
int VEXO_get_link_reconfig_details(node *adapter, int flag);
}

// Key of an adapter's lines in the configured-profile file: its
// SerialNumber and the PCI BusNumber of its first iSCSI, else NIC, function
// (256 bytes each). 0, or 1 when either cannot be read.
int vexo_cprofile_key(node *adapter, char *serial, char *bus);

// AvailableProtocols of a configured Function (read only).
VEXO_status_t handle_AvailableProtocols(node *property, char *value, int type);

#endif
