// Discovery of the NIC and iSCSI functions the drivers serve: the driver
// tables of vexo_glob are filled through the drivers' enumeration callbacks,
// or, where a driver registers none, from its legacy character devices
// (one per iSCSI function; one NIC device listing the chips) and the host's
// configuration file for the NIC interface names.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_LINUX_DRIVER_DISCOVERY_H
#define HLVD_MGMT_AW_VEXO_BACKEND_LINUX_DRIVER_DISCOVERY_H

#include <cstdint>

#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"

#define VEXO_LEGACY_ISCSI_DEVICE "/vmfs/devices/char/vmkdriver/aw2iscsi_"
#define VEXO_LEGACY_NIC_DEVICE "/vmfs/devices/char/vmkdriver/aw_esx_nic"
#define VEXO_ESX_CONF "/etc/vmware/esx.conf"

// Legacy NIC device requests.
#define VEXO_NIC_IOCTL_CHIP_LIST 6

#pragma pack(push, 1)
struct ovnnet_mgmtSbdfEntry {
    char pciDeviceName[VEXO_PCI_NAME_SIZE];
    char uplinkName[32];
};
struct ovnnet_mgmtSbdf {
    ovnnet_mgmtSbdfEntry entries[32];
    uint32_t num_elements;
};
struct ovnnet_mgmtSbdfV1 {
    ovnnet_mgmtSbdfEntry entries[800];
    uint32_t num_elements;
};
struct ovniscsi_mgmtSbdfEntry {
    char pciDevName[VEXO_PCI_NAME_SIZE];
    char vmhbaName[32];
};
struct ovniscsi_mgmtSbdf {
    ovniscsi_mgmtSbdfEntry entries[128];
    uint32_t numElements;
};

// Chip list of the legacy NIC device.
struct chip_info {
    uint8_t bus_number;
    uint8_t device_number;
    uint8_t num_pfs;
    uint8_t pinfo[8]; // PCI function numbers
};
struct enumerate_chip {
    uint8_t num_chips;
    chip_info chips[8];
};
#pragma pack(pop)

static_assert(sizeof(ovnnet_mgmtSbdf) == OVNNET_SBDF_SIZE, "ovnnet_mgmtSbdf is 1540 bytes");
static_assert(sizeof(ovnnet_mgmtSbdfV1) == OVNNET_SBDF_V1_SIZE, "ovnnet_mgmtSbdfV1 is 38404 bytes");
static_assert(sizeof(ovniscsi_mgmtSbdf) == OVNISCSI_SBDF_SIZE, "ovniscsi_mgmtSbdf is 6148 bytes");
static_assert(sizeof(enumerate_chip) == 89, "enumerate_chip is 89 bytes");

// Fills the iSCSI table and its handles (max_hba slots, at most 128); the
// number of iSCSI functions found.
int os_get_port_instances(os_handle_t *os_handles_array, int max_hba);
// Fills the NIC table and its handles; the number of NIC functions found.
int os_get_nic_port_instances(os_handle_t *os_handles_array, int max_hba);
// Closes every open handle below max_hba and sets its slot to -1.
void os_put_port_instances(os_handle_t *os_handles_array, int max_hba);
void os_put_nic_port_instances(os_handle_t *os_handles_array, int max_hba);

extern "C" {
// The drivers' enumeration callbacks: the number of functions listed (at
// most what the list and the table hold), 0 on failure.
int VEXO_enumerate_ovn_nics(int nic_count);
int VEXO_enumerate_ovniscsi();
// Names of NIC slots ovnnet_count to nic_count - 1 from the host
// configuration file; nic_count, or 0 when the file cannot be opened.
int VEXO_get_interface_names(int nic_count, int ovnnet_count);
}

// Legacy NIC list: slots from ovnnet_count on get the chips' functions;
// ovnnet_count plus the number listed, 0 on failure.
int enumerate_aw_nics(int ovnnet_count);
// Chip list through the legacy NIC device of slot aw_port_number - 1; 1 when
// the request fails, else the device's answer (0).
int ioctl_get_chipinfo(int aw_port_number, enumerate_chip *chips);

// Parses "segment:bus:device.function" (hexadecimal) into `out`; a missing
// part leaves its field unchanged.
void vexo_parse_pci_name(const char *name, pci_data *out);

#endif
