// Driver queries that are not firmware commands: the NIC driver's
// information (SR-IOV virtual functions, link-down reason, MTU), PCI
// configuration bytes, and the host adapter name of an iSCSI function.
// Each has a callback form (drivers with management callbacks) and a legacy
// form (ioctl on the driver's character device).
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_LINUX_DRIVER_QUERIES_H
#define HLVD_MGMT_AW_VEXO_BACKEND_LINUX_DRIVER_QUERIES_H

#include <cstdint>

#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"

// Legacy NIC device requests.
#define VEXO_NIC_IOCTL_DRIVER_INFO 4
#define VEXO_NIC_IOCTL_VF_INFO 7
#define VEXO_NIC_IOCTL_READ_PCI_CFG 8
// Legacy iSCSI device request for the host adapter name.
#define VEXO_ISCSI_IOCTL_HOST_NAME 1

// Virtual functions a driver record can describe.
#define OVNNET_MAX_VFS 64
#define AW_MAX_VFS 60

// Text of VEXO_get_varrow_pci_data (terminator included).
#define VEXO_PCI_TEXT_SIZE 600

#pragma pack(push, 1)
struct ovnnet_mgmtVfInfo {
    uint8_t mac[6];
    uint16_t vlan_id;
    uint16_t qos_link_speed;
    uint8_t link_status;
    uint8_t rsvd;
};

// Answer of the NIC driver's information callback.
struct ovnnet_mgmtDrvInfo {
    uint8_t number_vfs;
    ovnnet_mgmtVfInfo vfInfo[OVNNET_MAX_VFS];
    uint8_t link_down_reason;
    uint8_t logical_link_status;
    uint16_t mtu;
    uint32_t rsvd1;
    uint32_t rsvd2;
    uint32_t rsvd3;
};

// PCI configuration read of the NIC driver's callback, in and out.
struct ovnnet_mgmtVarrowReadCfg {
    uint32_t offset;
    uint32_t data_length; // asked; the driver writes the bytes delivered
    uint8_t pci_data[256];
};

struct bus_dev_fn_info {
    uint8_t bus_number;
    uint8_t device_number;
    uint8_t pf_num;
};

struct vf_info {
    uint8_t mac[6];
    uint16_t vlan_id;
    uint16_t qos;
    uint8_t link_status;
    uint8_t rsvd;
    uint32_t vf_id;
};

struct aw_vf_table {
    uint8_t number_vfs;
    uint8_t rsvd[3];
    vf_info vinfo[AW_MAX_VFS];
};

// Driver information of the legacy NIC device.
struct aw_drvinfo {
    uint32_t MaxBps;
    uint8_t vlan_pri_label;
    uint8_t link_down_reason;
    uint16_t rsvd;
    uint16_t mtu;
    uint8_t rsvd1[2];
    aw_vf_table vf_table;
};

struct aw_char_info {
    bus_dev_fn_info bdf_info;
    uint8_t rsvd;
    aw_drvinfo dinfo;
};

// PCI configuration read of the legacy NIC device; the result lands at a
// 32-bit address in the caller's memory.
struct varrow_read_cfg {
    bus_dev_fn_info bdf_info;
    uint32_t offset;
    uint32_t data_length;
    uint32_t pci_data;
};
#pragma pack(pop)

static_assert(sizeof(ovnnet_mgmtDrvInfo) == OVNNET_DRVINFO_SIZE, "ovnnet_mgmtDrvInfo is 785 bytes");
static_assert(sizeof(ovnnet_mgmtVarrowReadCfg) == OVNNET_READ_CFG_SIZE, "ovnnet_mgmtVarrowReadCfg is 264 bytes");
static_assert(sizeof(aw_drvinfo) == 976, "aw_drvinfo is 976 bytes");
static_assert(sizeof(aw_char_info) == 980, "aw_char_info is 980 bytes");
static_assert(sizeof(varrow_read_cfg) == 15, "varrow_read_cfg is 15 bytes");

extern "C" {
// Driver information of NIC slot aw_port_number through callback 19; 0 or 1.
int VEXO_ovnnet_vf_callback(int aw_port_number, ovnnet_mgmtDrvInfo *info);
// `cnt` configuration bytes from `register_offset` through callback 33 into
// `pci_data` (room for 256 bytes); 0 or 1.
int VEXO_read_pci_cfg_callback(int aw_port_number, int register_offset, int cnt, uint32_t *pci_data);
// The same bytes as "%02x " text, 16 to a line, into a 600-byte buffer; 0 or 1.
int VEXO_get_varrow_pci_data(int aw_port_number, int register_offset, int cnt, char *final_pci_data);
// 0 when the network interface belongs to a usable physical function, else 1.
int VEXO_check_valid_interface(char *ifname);
}

// Legacy NIC device: VF table (ioctl 7) and driver information (ioctl 4) of
// a slot. 0, 1, or the non-zero result of the re-enumeration.
int ioctl_get_virt_f_info(int aw_port_number, aw_drvinfo *info, int *nic_lhba_count);
int ioctl_get_mtu(int aw_port_number, aw_drvinfo *info);
// The 32-bit word at configuration offset 164 of a slot (ioctl 8).
int ioctl_varrow_read_pci_conf(int aw_port_number, int domainid, int phba_port, int *value);
// Host adapter name of iSCSI slot aw_port_number into `interface_name`
// (at least 32 bytes); 0 or 1.
int ioctl_get_vmhba_name(int aw_port_number, char *interface_name);
// Nothing to prepare on this platform; 0.
int os_prepare_device_for_removal(char *vendor_name, char *modelnumber);

#endif
