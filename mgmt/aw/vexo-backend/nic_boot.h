// Network boot of a NIC function (boot state and method, the boot VLAN),
// the VEPA forwarding mode of its embedded switch, whether RoCE runs on it,
// and its MTU. Every value is read from the firmware or the NIC driver on
// each get.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_NIC_BOOT_H
#define HLVD_MGMT_AW_VEXO_BACKEND_NIC_BOOT_H

#include "mgmt/vexo/core/hm_types.h"

// NetworkBootConfiguration group of a NICPhysicalHBA.
VEXO_status_t handle_AvailableNetworkBootMethods(node *property, char *value, int type);
// NetworkBootMethod and NetworkBootState.
VEXO_status_t handle_networkboot_config(node *property, char *value, int type);
// VLANId and VLANPriority of the boot VLAN.
VEXO_status_t handle_vlan_properties(node *property, char *value, int type);
// SetNetworkBoot(NetworkBootState, NetworkBootMethod).
VEXO_status_t do_SetNetworkBoot(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// ConfigureVLAN(VLANId, Priority).
VEXO_status_t do_NICPhysicalHBA_NetworkBootConfiguration_ConfigureVLAN(node *context, node *action,
                                                                       char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// Properties of the NICPhysicalHBA itself (type 1 write, else read).
VEXO_status_t handle_VEPAState(node *property, char *value, int type);
VEXO_status_t handle_IsRoCEEnabled(node *property, char *value, int type);
VEXO_status_t handle_nic_MTUSize(node *property, char *value, int type);

#endif
