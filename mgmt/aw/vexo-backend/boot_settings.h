// How the iSCSI boot BIOS starts the host beyond the boot sessions: the
// function's iSCSI BIOS switch, its MPIO setting in iSCSI region 2, the boot
// LUN of a boot session and boot-target discovery through DHCP.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_BOOT_SETTINGS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_BOOT_SETTINGS_H

#include "mgmt/vexo/core/hm_types.h"

// Switches DHCP boot-target discovery of the function's port on
// ("Enabled") or off; switching it off logs out the boot sessions of
// `lhba` and deletes the Targets that held only boot sessions. 0 or 1.
int VEXO_perform_DiscoverBootTargetsThruDHCP(node *discovery, node *lhba, int aw_port_number, unsigned int domainId,
                                             unsigned int phba_port, const char *value);

VEXO_status_t handle_iSCSIBIOSEnable(node *property, char *value, int type);
VEXO_status_t handle_MPIOEnabled(node *property, char *value, int type);
VEXO_status_t handle_BootLUN(node *property, char *value, int type);
VEXO_status_t handle_DiscoverBootTargetThruDHCP(node *property, char *value, int type);

#endif
