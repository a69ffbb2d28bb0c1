// Firmware command transport of the management back end: the table of
// driver handles and PCI names (vexo_glob), the management signatures and
// request record of the NIC driver (ovnnet) and the iSCSI driver (ovniscsi),
// and the one send routine VEXO_IssueIOCTL, which fills the request header
// and hands a command buffer to the driver that serves the addressed adapter
// function: through the driver's pass-through callback, or, for an iSCSI
// function whose driver registers none, an ioctl on its character device.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_LINUX_VEXO_TRANSPORT_H
#define HLVD_MGMT_AW_VEXO_BACKEND_LINUX_VEXO_TRANSPORT_H

#include <cstdint>

#include "mgmt/aw/vexo-backend/ioctl_header.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "vmkmgmt.h"

// An open descriptor of a driver device; -1 for none.
typedef int os_handle_t;

#define VEXO_MAX_HBA 128          // function slots per driver table
#define VEXO_MAX_ADAPTER_SLOTS 16 // adapter instances of the bitmaps
#define VEXO_MAX_PORTS 4
#define VEXO_IFNAME_SIZE 256
#define VEXO_PCI_NAME_SIZE 16

// Driver kinds.
#define VEXO_DRIVER_ISCSI 1
#define VEXO_DRIVER_NIC 2

// Bits of a slot's driver_type byte.
#define VEXO_DRV_LEGACY_IFNAME 1 // NIC: the legacy path found its interface name
#define VEXO_DRV_CALLBACK 2      // reached through the driver's management callbacks

// Whole command buffer (header and payload) on the callback paths.
#define VEXO_PASSTHROUGH_SIZE 65536

// Legacy iSCSI device ioctl passing a command buffer.
#define VEXO_ISCSI_IOCTL_PASSTHROUGH 0x4580

struct pci_data {
    uint8_t bus_number;
    uint8_t device_number;
    uint8_t pf_num; // PCI function number
    uint8_t rsvd;
    uint16_t domain_number; // PCI segment
    uint16_t pci_device_id; // not filled on this platform
};

struct logical_hba_info {
    uint8_t valid_lhba;
    uint8_t rsvd[3];
};

struct VEXO_g_nic {
    int32_t valid_hba;                    // NIC functions found at start-up
    os_handle_t os_handles[VEXO_MAX_HBA]; // slot 0: the legacy NIC device
    char ifnames[VEXO_MAX_HBA][VEXO_IFNAME_SIZE];
    uint8_t driver_type[VEXO_MAX_HBA];
    char pci_dev_name[VEXO_MAX_HBA][VEXO_PCI_NAME_SIZE];
    char ndis_ifnames[VEXO_MAX_HBA][VEXO_IFNAME_SIZE];       // unused on this platform
    char driver_node_path[VEXO_MAX_HBA][VEXO_PCI_NAME_SIZE]; // unused on this platform
    uint8_t rsvd[3];
    pci_data pci_info[VEXO_MAX_HBA];
    logical_hba_info lhba[VEXO_MAX_HBA];
};

struct VEXO_g_iscsi {
    int32_t valid_hba;                    // iSCSI functions found at start-up
    os_handle_t os_handles[VEXO_MAX_HBA]; // legacy devices from slot 0 up
    char vmhba[VEXO_MAX_HBA][VEXO_IFNAME_SIZE];
    char pci_dev_name[VEXO_MAX_HBA][VEXO_PCI_NAME_SIZE];
    uint8_t driver_type[VEXO_MAX_HBA];
    uint8_t rsvd0;
    pci_data pci_info[VEXO_MAX_HBA];
};

struct vexo_global {
    uint8_t port_bitmap[VEXO_MAX_ADAPTER_SLOTS][VEXO_MAX_PORTS];
    uint8_t protocols_bitmap[VEXO_MAX_ADAPTER_SLOTS];
    int8_t pf_number;      // > 0: PCI function + 1 for the request headers
    uint8_t ioctl_version; // 1: request headers carry version 1
    uint8_t rsvd0[2];
    VEXO_g_nic nic;
    VEXO_g_iscsi iscsi;
};

// The back end's one table, zero-filled at load.
extern vexo_global vexo_glob;

#pragma pack(push, 1)
// First parameter of every management callback, in and out.
struct ovnnet_mgmtReq {
    char pciDeviceName[VEXO_PCI_NAME_SIZE]; // empty for enumeration
    uint32_t op;                            // opcode of a pass-through, else 0
    uint32_t length;                        // size of the data parameter
    uint32_t status;                        // written by the driver: 0 = completed
};
struct ovniscsi_mgmtReq {
    char pciDevName[VEXO_PCI_NAME_SIZE];
    uint32_t op;
    uint32_t length;
    uint32_t status;
};
#pragma pack(pop)
static_assert(sizeof(ovnnet_mgmtReq) == 28, "NIC request record is 28 bytes");
static_assert(sizeof(ovniscsi_mgmtReq) == 28, "iSCSI request record is 28 bytes");

// Callbacks of the NIC driver.
enum OVNNET_MGMT_CB_TYPES {
    OVNNET_CB_GET_PRIV_STATS = 16,
    OVNNET_CB_ENUMERATE_SBDF = 17,
    OVNNET_CB_PASSTHROUGH = 18,
    OVNNET_CB_DRV_INFO = 19,
    OVNNET_CB_CIM_GET_LINK_STATE = 20,
    OVNNET_CB_CIM_GET_LINK_STATUS = 21,
    OVNNET_CB_CIM_GET_DRVR_INFO = 22,
    OVNNET_CB_CIM_GET_WOL = 23,
    OVNNET_CB_CIM_GET_COALESCE_PARAMS = 24,
    OVNNET_CB_CIM_GET_PERM_MAC = 25,
    OVNNET_CB_CIM_GET_STAT_COUNT = 26,
    OVNNET_CB_CIM_GET_STAT_STRINGS = 27,
    OVNNET_CB_CIM_GET_STATS = 28,
    OVNNET_CB_GET_FAT_DUMP_SIZE = 29,
    OVNNET_CB_GET_FAT_DUMP = 30,
    OVNNET_CB_GET_SET_DBG_MASK = 31,
    OVNNET_CB_ENUMERATE_SBDF_V1 = 32,
    OVNNET_CB_VARROW_READ_PCI_CFG = 33,
    OVNNET_CB_GET_PRIV_STATS_V1 = 34,
    OVNNET_CB_MAX = 35,
};

// Callbacks of the iSCSI driver.
enum OVNISCSI_MGMT_CB_TYPES {
    OVNISCSI_CB_PASSTHROUGH = 16,
    OVNISCSI_CB_ENUMERATE_SBDF = 17,
    OVNISCSI_CB_MAX = 18,
};

#define OVNNET_CALLBACK_COUNT (OVNNET_CB_MAX - OVNNET_CB_GET_PRIV_STATS)
#define OVNISCSI_CALLBACK_COUNT (OVNISCSI_CB_MAX - OVNISCSI_CB_PASSTHROUGH)

// Data parameter sizes of the driver records.
#define OVNNET_SBDF_SIZE 1540     // ovnnet_mgmtSbdf
#define OVNNET_SBDF_V1_SIZE 38404 // ovnnet_mgmtSbdfV1
#define OVNNET_DRVINFO_SIZE 785   // ovnnet_mgmtDrvInfo
#define OVNNET_READ_CFG_SIZE 264  // ovnnet_mgmtVarrowReadCfg
#define OVNISCSI_SBDF_SIZE 6148   // ovniscsi_mgmtSbdf

extern vmk_MgmtCallbackInfo ovnnet_mgmtCallbacks[OVNNET_CALLBACK_COUNT];
extern vmk_MgmtCallbackInfo ovniscsi_mgmtCallbacks[OVNISCSI_CALLBACK_COUNT];

// Management signatures. mgmtSig serves every NIC driver call; the other two
// NIC records have no user.
extern vmk_MgmtApiSignature mgmtSig;
extern vmk_MgmtApiSignature defaultMgmtSig;
extern vmk_MgmtApiSignature ovnnetKeyValSig;
extern vmk_MgmtApiSignature ovniscsiMgmtSig;

extern "C" {
// Sends one command buffer (payload already at byte 16) to the driver that
// serves function `aw_port_number` of the `driver_type` table. 0: the
// driver answered, the response header holds the firmware's verdict;
// 1: the NIC function table changed and the tree was rebuilt, nothing sent;
// 295: the legacy ioctl failed with EIO; 116: any other failure to deliver
// (the buffer is then not answered and must not be read). Failures other
// than 1 set the last status.
VEXO_status_t VEXO_IssueIOCTL(os_handle_t oshandle, uint8_t PageCode, uint8_t SubSystemCode, uint32_t PageLength,
                              void *IoctlBuffer, uint8_t domainId, uint8_t phba_port, uint32_t driver_type,
                              int aw_port_number);

// One command buffer of PageLength bytes (header included) through the NIC
// or iSCSI driver's pass-through callback; 0 when the driver completed it
// (answer copied back), 1 otherwise.
int VEXO_ovnnet_callback(int aw_port_number, uint8_t PageCode, uint32_t PageLength, void *IoctlBuffer);
int VEXO_ovniscsi_callback(int aw_port_number, uint8_t PageCode, uint32_t PageLength, void *IoctlBuffer);
}

// True when `aw_port_number` names a slot of the driver tables.
bool vexo_valid_port_number(int aw_port_number);

#endif
