// The simulated NIC and iSCSI drivers' side of the records they exchange with
// user space: the management request record and the data records of their
// callbacks, the legacy device ioctls and the firmware command header. These
// are the drivers' own definitions; the product declares its view separately.
#ifndef HLVD_SIM_DRIVER_RECORDS_H
#define HLVD_SIM_DRIVER_RECORDS_H

#include <cstdint>

namespace hlvdsim {

// Signatures the drivers register with the kernel-management library.
const char kNicSignatureName[] = "ovnnetMgmtToKernel";
const char kNicSignatureVendor[] = "orvane";
const char kIscsiSignatureName[] = "com.vmware.ovniscsi.ima";
const char kIscsiSignatureVendor[] = "orvane";
const uint32_t kSignatureVersion = 0x1000000;

// Callback ids of the NIC driver.
enum NicCallback : uint32_t {
    NIC_CB_GET_PRIV_STATS = 16,
    NIC_CB_ENUMERATE_SBDF = 17,
    NIC_CB_PASSTHROUGH = 18,
    NIC_CB_DRV_INFO = 19,
    NIC_CB_CIM_GET_LINK_STATE = 20,
    NIC_CB_CIM_GET_LINK_STATUS = 21,
    NIC_CB_CIM_GET_DRVR_INFO = 22,
    NIC_CB_CIM_GET_WOL = 23,
    NIC_CB_CIM_GET_COALESCE_PARAMS = 24,
    NIC_CB_CIM_GET_PERM_MAC = 25,
    NIC_CB_CIM_GET_STAT_COUNT = 26,
    NIC_CB_CIM_GET_STAT_STRINGS = 27,
    NIC_CB_CIM_GET_STATS = 28,
    NIC_CB_GET_FAT_DUMP_SIZE = 29,
    NIC_CB_GET_FAT_DUMP = 30,
    NIC_CB_GET_SET_DBG_MASK = 31,
    NIC_CB_ENUMERATE_SBDF_V1 = 32,
    NIC_CB_VARROW_READ_PCI_CFG = 33,
    NIC_CB_GET_PRIV_STATS_V1 = 34,
    NIC_CB_MAX = 35,
};

enum IscsiCallback : uint32_t {
    ISCSI_CB_PASSTHROUGH = 16,
    ISCSI_CB_ENUMERATE_SBDF = 17,
    ISCSI_CB_MAX = 18,
};

// Direction of a callback's data parameter.
enum DataDirection : int { DATA_IN = 1, DATA_OUT = 2, DATA_INOUT = 3 };

struct CallbackShape {
    uint32_t id;
    uint32_t data_size;
    int direction;
};

// The callback sets as the drivers register them (id, data size, direction).
const CallbackShape kNicCallbacks[] = {
    {16, 12288, DATA_OUT}, {17, 1540, DATA_OUT},  {18, 65536, DATA_INOUT}, {19, 785, DATA_OUT},
    {20, 4, DATA_OUT},     {21, 167, DATA_OUT},   {22, 192, DATA_OUT},     {23, 24, DATA_OUT},
    {24, 16, DATA_OUT},    {25, 6, DATA_OUT},     {26, 4, DATA_OUT},       {27, 50404, DATA_OUT},
    {28, 9604, DATA_OUT},  {29, 4, DATA_OUT},     {30, 64008, DATA_INOUT}, {31, 4, DATA_INOUT},
    {32, 38404, DATA_OUT}, {33, 264, DATA_INOUT}, {34, 32768, DATA_OUT},
};
const CallbackShape kIscsiCallbacks[] = {
    {16, 65536, DATA_INOUT},
    {17, 6148, DATA_INOUT},
};

#pragma pack(push, 1)

// First parameter of every management callback, in and out.
struct MgmtRequest {
    char pci_name[16]; // NUL-terminated PCI name of the target function
    uint32_t op;       // firmware opcode of a pass-through, else 0
    uint32_t length;   // size of the data parameter
    uint32_t status;   // written by the driver: 0 = completed
};

struct SbdfEntry {
    char pci_name[16];
    char name[32]; // uplink name (NIC) or host adapter name (iSCSI)
};

const uint32_t kNicSbdfEntries = 32;
const uint32_t kNicSbdfV1Entries = 800;
const uint32_t kIscsiSbdfEntries = 128;

struct NicSbdf {
    SbdfEntry entries[kNicSbdfEntries];
    uint32_t num_elements;
};
struct NicSbdfV1 {
    SbdfEntry entries[kNicSbdfV1Entries];
    uint32_t num_elements;
};
struct IscsiSbdf {
    SbdfEntry entries[kIscsiSbdfEntries];
    uint32_t num_elements;
};

struct NicVfInfo {
    uint8_t mac[6];
    uint16_t vlan_id;
    uint16_t qos_link_speed;
    uint8_t link_status;
    uint8_t spare;
};

struct NicDrvInfo {
    uint8_t number_vfs;
    NicVfInfo vf_info[64];
    uint8_t link_down_reason;
    uint8_t logical_link_status;
    uint16_t mtu;
    uint32_t rsvd[3];
};

struct NicReadPciCfg {
    uint32_t offset;
    uint32_t data_length;
    uint8_t pci_data[256];
};

// Legacy NIC device records.
struct ChipInfo {
    uint8_t bus_number;
    uint8_t device_number;
    uint8_t num_pfs;
    uint8_t pf[8];
};
struct ChipList {
    uint8_t num_chips;
    ChipInfo chips[8];
};

struct LegacyVfInfo {
    uint8_t mac[6];
    uint16_t vlan_id;
    uint16_t qos;
    uint8_t link_status;
    uint8_t spare;
    uint32_t vf_id;
};
struct LegacyDrvInfo {
    uint32_t max_bps;
    uint8_t vlan_pri_label;
    uint8_t link_down_reason;
    uint16_t rsvd;
    uint16_t mtu;
    uint8_t spare0[2];
    uint8_t number_vfs;
    uint8_t spare1[3];
    LegacyVfInfo vf[60];
};
struct LegacyCharInfo {
    uint8_t bus_number;
    uint8_t device_number;
    uint8_t pf_num;
    uint8_t spare;
    LegacyDrvInfo dinfo;
};
struct LegacyReadCfg {
    uint8_t bus_number;
    uint8_t device_number;
    uint8_t pf_num;
    uint32_t offset;
    uint32_t data_length;
    uint32_t pci_data; // 32-bit address of the caller's result area
};

// Firmware command header as the firmware reads and writes it.
struct FwRequestHeader {
    uint8_t opcode;
    uint8_t subsystem;
    uint8_t port_number;
    uint8_t domain;
    uint32_t timeout;
    uint32_t request_length;
    uint8_t version;
    uint8_t rsvd0;
    uint16_t pf_vh; // bits 0-9: PCI function + 1, bits 10-15: reserved
};
struct FwResponseHeader {
    uint8_t opcode;
    uint8_t subsystem;
    uint8_t rsvd0;
    uint8_t domain;
    uint8_t status;
    uint16_t additional_status;
    uint8_t rsvd1;
    uint32_t response_length;
    uint32_t actual_response_length;
};

#pragma pack(pop)

static_assert(sizeof(MgmtRequest) == 28, "management request record");
static_assert(sizeof(NicSbdf) == 1540, "NIC enumeration list");
static_assert(sizeof(NicSbdfV1) == 38404, "NIC enumeration list v1");
static_assert(sizeof(IscsiSbdf) == 6148, "iSCSI enumeration list");
static_assert(sizeof(NicDrvInfo) == 785, "NIC driver information");
static_assert(sizeof(NicReadPciCfg) == 264, "PCI configuration read");
static_assert(sizeof(ChipList) == 89, "legacy chip list");
static_assert(sizeof(LegacyCharInfo) == 980, "legacy driver information");
static_assert(sizeof(LegacyReadCfg) == 15, "legacy PCI configuration read");
static_assert(sizeof(FwRequestHeader) == 16 && sizeof(FwResponseHeader) == 16, "command header");

// Legacy character devices, below the host's root.
const char kLegacyDeviceDir[] = "/vmfs/devices/char/vmkdriver/";
const char kLegacyIscsiPrefix[] = "aw2iscsi_";
const char kLegacyNicName[] = "aw_esx_nic";

const unsigned long kIscsiIoctlPassthrough = 0x4580;
const unsigned long kIscsiIoctlHostName = 1;
const unsigned long kNicIoctlDriverInfo = 4;
const unsigned long kNicIoctlChipList = 6;
const unsigned long kNicIoctlVfInfo = 7;
const unsigned long kNicIoctlReadPciCfg = 8;

// Size of the pass-through data area of the callbacks.
const uint32_t kPassthroughSize = 65536;

} // namespace hlvdsim

#endif
