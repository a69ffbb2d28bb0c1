// What an adapter runs after its next reboot or power cycle: the profile
// (ProfileManagement), the link configuration (LinkReconfiguration) and the
// highest PCI function number (ARI, ConfiguredProfile). Each action sends one
// firmware command through the adapter's first iSCSI, else NIC, function and
// then rebuilds the configured ports, which also rewrites the adapter's lines
// of the configured-profile file.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_PROFILE_ACTIONS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_PROFILE_ACTIONS_H

#include "mgmt/vexo/core/hm_types.h"

// ProfileManagement. SetProfileId: ProfileId (1 to 255; 256 does not fit
// the firmware's field and is refused with 6). 0 with status 280.
VEXO_status_t do_SetProfileId(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Factory profile (Trelmont only); on the OEM's adapters the NIC region
// MACs are put back and the FCoE WWN region erased. 0, or 1 with the
// erase's status when the erase fails (the profile change stays).
VEXO_status_t do_SetFactoryDefaults(node *context, node *action_node,
                                    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// LinkReconfiguration. 0 without status on success.
VEXO_status_t do_SetLinkConfigID(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_SetLinkConfigFactoryDefaults(node *context, node *action_node,
                                              char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// ConfiguredLinkConfigID (read only): re-read on every get.
VEXO_status_t handle_ConfiguredLinkConfigID(node *property, char *value, int type);

// ConfiguredProfile. SetMaxFunctionNumber: FunctionNumber 7 or 15, or none
// for the factory value; refused with 316 unless SettableMaxFunctionNumber
// last read "Yes". 0 with status 280.
VEXO_status_t do_SetMaxFunctionNumber(node *context, node *action_node,
                                      char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// The ARI properties (read only), each read afresh from the firmware; "N/A"
// where the adapter or its firmware has no ARI settings.
VEXO_status_t handle_IPLMaxFunctionNumber(node *property, char *value, int type);
VEXO_status_t handle_SettableMaxFunctionNumber(node *property, char *value, int type);
VEXO_status_t handle_MaxFunctionNumber(node *property, char *value, int type);

#endif
