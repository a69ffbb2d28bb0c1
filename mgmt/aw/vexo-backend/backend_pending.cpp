#include "mgmt/aw/vexo-backend/backend_pending.h"

// ===========================================================================
// STILL TO COME IN THE TRANSPORT'S NEIGHBOURHOOD
//
// Defined here until the back-end lifecycle (start, stop, re-enumeration)
// replaces them:
//   - refresh_vexo_hierarchy: the tables are filled only by a back-end start,
//     which does not exist yet, so nothing is re-enumerated and the count is
//     reported unchanged (0);
//   - VEXO_check_for_corrupted_database: no persistence file is checked or
//     removed.
//
// Not built yet, with the back-end start (driver queries of the same
// drivers): VEXO_ovnnet_vf_callback, VEXO_read_pci_cfg_callback,
// VEXO_get_varrow_pci_data, ioctl_get_virt_f_info, ioctl_get_mtu,
// ioctl_varrow_read_pci_conf, ioctl_get_vmhba_name, VEXO_check_valid_interface,
// os_prepare_device_for_removal. The simulated drivers already answer their
// callbacks and legacy ioctls.
//
// Not built on purpose: the OS layer's routines for a general Linux host
// (VEXO_firmware_download, get_flash_name, find_os_distribution,
// VEXO_get_nic_driver_type, VEXO_get_all_iscsi_devices,
// VEXO_backend_client_nic_bdf) have no caller on this host and work only
// through host tools run by a shell.
//
// vm_flag is defined here until the VF probe comes with the function
// enumeration; nothing sets it yet.
//
// Firmware commands the simulated adapter models so far: the kCommands table
// of sim/converged_adapter.cpp; any other answers "not supported".
// ===========================================================================

uint8_t vm_flag = 0;

int refresh_vexo_hierarchy()
{
    return 0;
}

extern "C" int VEXO_check_for_corrupted_database()
{
    return 0;
}
