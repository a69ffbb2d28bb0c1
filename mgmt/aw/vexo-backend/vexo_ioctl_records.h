// Payload records of the firmware commands, one per command record the
// catalogue names, each of the size the command sends.
//
// Records whose fields the back end reads or fills so far are laid out field
// by field. The others are sized byte areas: their fields are laid out by the
// features that fill and read them, which replace the byte area with the
// fields when they come (the list below the laid-out records). Records of
// commands whose payload length the caller gives are only declared here.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_VEXO_IOCTL_RECORDS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_VEXO_IOCTL_RECORDS_H

#include <cstddef>
#include <cstdint>

#include "mgmt/aw/vexo-backend/ioctl_header.h"

#pragma pack(push, 1)

// ---------------------------------------------------------------------------
// Laid-out records.

// Flash read, write and erase (opcodes 6 and 7). The declared record is 20
// bytes; callers allocate 20 + n bytes and put n data bytes at byte 16.
typedef struct _FLASHROM_PARAMS {
    uint32_t op_code;          // 1 flash, 2 save, 3 erase, 4 read back
    uint32_t op_type;          // flash region (MGMT_FLASHROM_OPTYPE)
    uint32_t data_buffer_size; // data bytes in this command
    uint32_t offset;
    uint8_t data_buffer[4];
} FLASHROM_PARAMS;

// FLASHROM_PARAMS op codes.
#define FLASHROM_OPER_FLASH 1
#define FLASHROM_OPER_SAVE 2
#define FLASHROM_OPER_ERASE 3
#define FLASHROM_OPER_REPORT 4

// Flash regions of the flash commands.
enum MGMT_FLASHROM_OPTYPE {
    ENUM_MGMT_FLASHROM_OPTYPE_CODE_iSCSI_FW_ACTIVE = 0,
    ENUM_MGMT_FLASHROM_OPTYPE_CODE_REDBOOT = 1,
    ENUM_MGMT_FLASHROM_OPTYPE_CODE_BIOS = 2,
    ENUM_MGMT_FLASHROM_OPTYPE_CODE_PXE_BIOS = 3,
    ENUM_MGMT_FLASHROM_OPTYPE_CODE_CTRLS = 4,
    ENUM_MGMT_FLASHROM_OPTYPE_CFG_IPSEC = 5,
    ENUM_MGMT_FLASHROM_OPTYPE_CFG_INI = 6,
    ENUM_MGMT_FLASHROM_OPTYPE_ROM_OFFSET_SPECIFIED = 7,
    ENUM_MGMT_FLASHROM_OPTYPE_CODE_FCOE_BIOS = 8,
    ENUM_MGMT_FLASHROM_OPTYPE_CODE_iSCSI_FW_BACKUP = 9,
    ENUM_MGMT_FLASHROM_OPTYPE_CODE_FCOE_FW_ACTIVE = 10,
    ENUM_MGMT_FLASHROM_OPTYPE_CODE_FCOE_FW_BACKUP = 11,
    ENUM_MGMT_FLASHROM_OPTYPE_CODE_CTRLP = 12,
    ENUM_MGMT_FLASHROM_OPTYPE_CODE_NCSI_FW = 13,
    ENUM_MGMT_FLASHROM_OPTYPE_CFG_NIC = 14,
    ENUM_MGMT_FLASHROM_OPTYPE_CFG_DCBX = 15,
    ENUM_MGMT_FLASHROM_OPTYPE_CFG_PXE_BIOS = 16,
    ENUM_MGMT_FLASHROM_OPTYPE_CODE_iBFT = 17,
    ENUM_MGMT_FLASHROM_OPTYPE_REDBOOT_DIR = 18,
    ENUM_MGMT_FLASHROM_OPTYPE_REDBOOT_CONFIG = 19,
    ENUM_MGMT_FLASHROM_OPTYPE_HL_LUA_SCRIPTS = 20,
    ENUM_MGMT_FLASHROM_OPTYPE_PHY_FW = 21,
    ENUM_MGMT_FLASHROM_OPTYPE_ISM_AND_VECTORS = 22,
    ENUM_MGMT_FLASHROM_OPTYPE_UFI_DIRECTORY = 23,
    ENUM_MGMT_FLASHROM_OPTYPE_FAT = 24,
    ENUM_MGMT_FLASHROM_OPTYPE_EXTENDED_FAT = 25,
    ENUM_MGMT_FLASHROM_OPTYPE_SERDES_FW = 26,
    ENUM_MGMT_FLASHROM_OPTYPE_CFG_FCOE_WWNS = 27,
    ENUM_MGMT_FLASHROM_OPTYPE_CFG_ALL = 28,
};

// The controller attributes record of the adapter, inside the answer.
typedef struct _MGMT_HBA_ATTRIBUTES {
    uint8_t rsvd0[32];
    char manufacturer_name[32];
    uint32_t supported_modes;
    uint8_t rsvd1[12];
    uint8_t ncsi_version_string[12]; // AW2: five 16-bit numbers; later generations: text
    uint32_t default_extended_timeout;
    char controller_model_number[32];
    char controller_description[64];
    char controller_serial_number[32];
    uint8_t rsvd2[32];
    char firmware_version_string[32];
    char bios_version_string[32];
    char redboot_version_string[32];
    char driver_version_string[32];
    char fw_on_flash_version_string[32];
    uint8_t rsvd3[4];
    uint16_t max_cdblength;
    uint8_t rsvd4[18];
    uint16_t default_link_down_timeout;
    uint8_t iscsi_ver_min_max; // low 4 bits: minimum, high 4 bits: maximum
    uint8_t max_domains_supported;
    uint8_t rsvd5;
    uint8_t hba_status;
    uint8_t rsvd6;
    uint8_t phy_port;
    uint8_t rsvd7[52];
} MGMT_HBA_ATTRIBUTES;

// Answer of the controller-attributes command (opcode 32).
typedef struct _MGMT_CONTROLLER_ATTRIBUTES {
    MGMT_HBA_ATTRIBUTES hba_attribs;
    uint16_t pci_vendor_id;
    uint16_t pci_device_id;
    uint16_t pci_sub_vendor_id;
    uint16_t pci_sub_system_id;
    uint8_t pci_bus_number;
    uint8_t pci_device_number;
    uint8_t pci_function_number;
    uint8_t rsvd[29];
} MGMT_CONTROLLER_ATTRIBUTES;

typedef struct _MAC_ADDRESS_FORMAT {
    uint16_t SizeOfStructure;
    uint8_t MACAddress[6];
} MAC_ADDRESS_FORMAT;

// MAC query (opcode 1): request and answer views of the same 72 bytes.
typedef union _NTWK_MAC_QUERY_PARAMS {
    struct {
        uint8_t type;      // 9: factory MACs of the adapter's functions 0 to 7
        uint8_t permanent;
        uint16_t if_id;
        uint32_t pmac_id;
    } request;
    struct {
        MAC_ADDRESS_FORMAT mac;
        MAC_ADDRESS_FORMAT seeprom_mac[8];
    } response;
} NTWK_MAC_QUERY_PARAMS;

// MAC list (opcode 147), 532 bytes.
typedef union _NTWK_GET_MAC_LIST_PARAMS {
    struct {
        uint8_t mac_type;
        uint8_t permanent_override;
        uint16_t if_id;
        uint32_t mac_id;
    } request;
    struct {
        MAC_ADDRESS_FORMAT fd_mac_address; // factory default MAC of the function
        MAC_ADDRESS_FORMAT macid_mac_address;
        uint8_t num_tpo_mac;
        uint8_t num_ppo_mac;
        uint8_t max_sz_mac_list;
        uint8_t rsvd0;
        MAC_ADDRESS_FORMAT po_mac_address[64];
    } response;
} NTWK_GET_MAC_LIST_PARAMS;

// Configuration signature (opcodes 78 and 79), 132 bytes.
typedef union _IOCTL_COMMON_SET_CONFIG_SIGNATURE_PARAMS {
    struct {
        uint32_t config_change_source;
        uint8_t platform_unique_signature[128];
    } request;
    struct {
        uint32_t rsvd0;
    } response;
} IOCTL_COMMON_SET_CONFIG_SIGNATURE_PARAMS;

typedef union _IOCTL_COMMON_GET_CONFIG_SIGNATURE_PARAMS {
    struct {
        uint32_t rsvd0;
    } request;
    struct {
        uint32_t config_change_source;
        uint8_t platform_unique_signature[128];
    } response;
} IOCTL_COMMON_GET_CONFIG_SIGNATURE_PARAMS;

// Firmware trace log (opcode 68). The declared record is 20 bytes; a read
// of n bytes uses n + 20.
typedef union _IOCTL_COMMON_MANAGE_FAT_PARAMS {
    struct {
        uint32_t fat_operation; // 1 query, 0 read
        uint32_t read_log_offset;
        uint32_t read_log_length;
        uint32_t data_buffer_size;
        uint8_t data_buffer[4];
    } request;
    struct {
        uint32_t log_size;
        uint32_t read_log_length;
        uint32_t rsvd0[2];
        uint8_t data_buffer[4];
    } response;
} IOCTL_COMMON_MANAGE_FAT_PARAMS;

// Flow control (opcodes 37 and 205): the record carries a command header in
// front of its parameters; only the parameters are sent.
typedef struct _IOCTL_COMMON_GET_FLOW_CONTROL {
    IOCTL_HEADER hdr;
    union {
        struct {
            uint32_t rsvd0;
        } request;
        struct {
            uint16_t tx_flow_control; // 1 enabled
            uint16_t rx_flow_control;
        } response;
    } params;
} IOCTL_COMMON_GET_FLOW_CONTROL;

typedef struct _IOCTL_COMMON_MANAGE_FLOW_CONTROL {
    IOCTL_HEADER hdr;
    uint8_t params[8]; // MANAGE_FLOW_CTRL_IN / _OUT_PARAMETERS
} IOCTL_COMMON_MANAGE_FLOW_CONTROL;

// Firmware configuration (opcode 58), 156 bytes.
typedef struct _AW_FW_CFG {
    uint32_t aw_config_number;
    uint32_t asic_revision; // low byte used
    uint32_t phys_port;
    uint32_t function_mode;
    uint8_t ulp[2][52];
    uint32_t function_caps;
    uint32_t queues[8]; // queue bases and counts
} AW_FW_CFG;

// Whole command buffers of the personality commands (opcodes 113 and 114).
typedef struct _IOCTL_COMMON_GET_AVAILABLE_PERSONALITIES {
    IOCTL_HEADER hdr;
    uint8_t params[512];
} IOCTL_COMMON_GET_AVAILABLE_PERSONALITIES;

// Header and a payload of the length the caller gives.
struct IOCTL_COMMON_GET_CONFIGURED_PERSONALITY {
    IOCTL_HEADER hdr;
    uint8_t params[1];
};

// Boot configuration (opcodes 66 and 67), 8 bytes.
typedef union _IOCTL_COMMON_GET_BOOT_CONFIG_PARAMS {
    struct {
        uint32_t rsvd0;
        uint32_t rsvd1;
    } request;
    struct {
        uint8_t boot_status;
        uint8_t bios_instance;
        uint8_t native_mode; // AW3 advanced mode
        uint8_t boot_method;
        uint32_t future;
    } response;
} IOCTL_COMMON_GET_BOOT_CONFIG_PARAMS;

typedef union _IOCTL_COMMON_SET_BOOT_CONFIG_PARAMS {
    struct {
        uint8_t boot_status;
        uint8_t bios_instance;
        uint8_t native_mode;
        uint8_t boot_method;
        uint32_t future;
    } request;
    struct {
        uint32_t rsvd0;
        uint32_t rsvd1;
    } response;
} IOCTL_COMMON_SET_BOOT_CONFIG_PARAMS;

// PCI configuration read (opcode 72), 264 bytes. The answer holds the
// function's configuration space from byte 0 of the space.
typedef union _IOCTL_COMMON_READ_PCI_CONFIG_SPACE_PARAMS {
    struct {
        uint32_t offset;
        uint32_t data_length;
        uint8_t rsvd[256];
    } request;
    struct {
        uint32_t offset;
        uint32_t data_length;
        uint32_t pci_data[64];
    } response;
} IOCTL_COMMON_READ_PCI_CONFIG_SPACE_PARAMS;

// OEM attributes (opcode 76), 44 bytes.
typedef union _IOCTL_COMMON_GET_OEM_ATTRIBUTES_PARAMS {
    struct {
        uint32_t rsvd0;
        uint8_t rsvd1[40];
    } request;
    struct {
        uint8_t orvane_serial_number[12];
        uint8_t oem_serial_number[24];
        uint32_t oem_personality_mgmt_word;
        uint8_t oem_current_personality;
        uint8_t rsrvd[3];
    } response;
} IOCTL_COMMON_GET_OEM_ATTRIBUTES_PARAMS;

// Reset needed (opcode 84), 4 bytes.
typedef union _GET_RESET_NEEDED_PARAMS {
    struct {
        uint32_t rsvd0;
    } request;
    struct {
        uint8_t change_status; // non-zero: a change waits for a reset
        uint8_t rsvd0[3];
    } response;
} GET_RESET_NEEDED_PARAMS;

// VPD of a function (opcode 91); sent in a 1032-byte buffer.
typedef union _COMMON_GET_VPD_DATA_PARAMS {
    struct {
        uint16_t function_num;
        uint8_t function_type; // 0 NIC, 1 iSCSI
        uint8_t vf;
        uint32_t rsvd0;
    } request;
    struct {
        uint8_t vpd_data[1032];
    } response;
} COMMON_GET_VPD_DATA_PARAMS;

// The Varrow form of the same command (version 1 header).
typedef union _VARROW_COMMON_GET_VPD_DATA_PARAMS_V1 {
    struct {
        uint32_t rsvd0;
    } request;
    struct {
        uint8_t vpd_data[1032];
    } response;
} VARROW_COMMON_GET_VPD_DATA_PARAMS_V1;

// Additional controller attributes (opcode 121), 612 bytes. Texts are
// terminated when shorter than their field.
typedef union _GET_CNTL_ADDITIONAL_ATTRIBUTES_PARAMS {
    struct {
        uint32_t rsvd0;
        uint8_t rsvd1[608];
    } request;
    struct {
        uint16_t ipl_file_number;
        uint8_t ipl_file_version;
        uint8_t rsvd0;
        uint8_t on_die_temperature; // degrees Celsius; 0: not available
        uint8_t rsvd1[3];
        uint32_t driver_advanced_features_supported;
        uint32_t rsvd2[4];
        char fcoe_universal_bios_version[32];
        char fcoe_x86_bios_version[32];
        char fcoe_efi_bios_version[32];
        char fcoe_fcode_version[32];
        char uefi_bios_version[32];
        char uefi_nic_version[32];
        char uefi_fcode_version[32];
        char uefi_iscsi_version[32];
        char iscsi_x86_bios_version[32];
        char pxe_x86_bios_version[32];
        uint8_t fcoe_default_wwpn[8];
        char ext_phy_version[32];
        char fc_universal_bios_version[32];
        char fc_x86_bios_version[32];
        char fc_efi_bios_version[32];
        char fc_fcode_version[32];
        char ext_phy_crc_label[8];
        char ipl_file_name[16];
        uint8_t rsvd3[72];
    } response;
} GET_CNTL_ADDITIONAL_ATTRIBUTES_PARAMS;

// Switch type (opcode 124), 8 bytes.
typedef struct _IOCTL_COMMON_SET_SWITCH_TYPE_PARAMS {
    uint32_t switch_type;
    uint32_t rsvd0;
} IOCTL_COMMON_SET_SWITCH_TYPE_PARAMS;

// Adapter features (opcode 191), 16 bytes. Feature 20 answers the FleetView
// state in bit 0 of the first parameter word.
typedef struct _SET_FEATURES_PARAMS {
    uint32_t feature;
    uint32_t params_length;
    uint32_t params[2];
} SET_FEATURES_PARAMS;

// Loopback mode of a port (subsystem 11, opcode 20), 4 bytes.
typedef union _IOCTL_LOWLEVEL_GET_LOOPBACK_MODE_PARAMS {
    struct {
        uint8_t port_num;
        uint8_t rsvd0[3];
    } request;
    struct {
        uint8_t loopback_mode; // 254: loopback not supported
        uint8_t rsvd0[3];
    } response;
} IOCTL_LOWLEVEL_GET_LOOPBACK_MODE_PARAMS;

// Core-dump properties (subsystem 11, opcode 21), 20 bytes.
typedef union _IOCTL_LOWLEVEL_GET_COREDUMP_PROPERTIES_PARAMS {
    struct {
        uint32_t rsvd0;
        uint8_t rsvd1[16];
    } request;
    struct {
        uint8_t low_version;
        uint8_t high_version;
        uint8_t chip_state; // 0 alive, 1 dead
        uint8_t rsvd0;
        uint32_t sli_intf;
        uint32_t sli_asic_id;
        uint32_t rsvd1;
        uint32_t max_components;
    } response;
} IOCTL_LOWLEVEL_GET_COREDUMP_PROPERTIES_PARAMS;

// 10GBASE-T statistics (subsystem 18, opcode 8). Both versions answer the
// same words up to EMI10GEventCtr.
typedef struct _BASET_STATS_WORDS {
    uint32_t status;
    uint32_t temperature;
    uint32_t PairASNR;
    uint32_t PairBSNR;
    uint32_t PairCSNR;
    uint32_t PairDSNR;
    uint32_t LinkTimeHi;
    uint32_t LinkTimeLo;
    uint32_t PairAAvgMSE;
    uint32_t PairBAvgMSE;
    uint32_t PairCAvgMSE;
    uint32_t PairDAvgMSE;
    uint32_t LDPCFrameErrsHi;
    uint32_t LDPCFrameErrsLo;
    uint32_t PHYCRC8ErrsHi;
    uint32_t PHYCRC8ErrsLo;
    uint32_t MDIPLLEventCtr;
    uint32_t MDI10GUptimeCtr;
    uint32_t EMI10GEventCtr;
} BASET_STATS_WORDS;

// Version 0, 84 bytes.
typedef union _GET_10GBASET_STATS_PARAMS {
    struct {
        uint32_t phy_addr;
        uint8_t rsvd[80];
    } request;
    struct {
        BASET_STATS_WORDS w;
        uint32_t PHYFrameCtr;
        uint32_t MDICRC8Ctr;
    } response;
} GET_10GBASET_STATS_PARAMS;

// Version 1, 112 bytes: a 64-bit frame counter and a counter clear.
typedef union _GET_10GBASET_STATS_PARAMS_V1 {
    struct {
        uint32_t phy_addr;
        uint32_t CTR : 1; // clear the counters after reading
        uint32_t rsvd0 : 31;
        uint32_t rsvd1[2];
        uint8_t rsvd2[96];
    } request;
    struct {
        BASET_STATS_WORDS w;
        uint32_t PHYFrameCtrLo;
        uint32_t MDICRC8Ctr;
        uint32_t PHYFrameCtrHi;
        uint32_t rsvd0[6];
    } response;
} GET_10GBASET_STATS_PARAMS_V1;

// 10GBASE-T PHY self test (subsystem 18, opcode 9), 555 bytes.
typedef union _RUN_10GBASET_SELFTEST_PARAMS {
    struct {
        uint32_t phy_addr;
        uint32_t testtype; // 1 noise, 2 non-linear, 5 cross-talk
        uint32_t srccable; // 0 to 3: pair A to D
        uint32_t tgtcable; // cross-talk only
        uint8_t rsvd[539];
    } request;
    struct {
        uint32_t result;
        uint16_t elements_vs1[259];
        uint8_t tone_vs1[33];
    } response;
} RUN_10GBASET_SELFTEST_PARAMS;

// 10GBASE-T NVP value write (subsystem 18, opcode 10), 8 bytes.
typedef union _SET_10GBASET_NVPVALUE_PARAMS {
    struct {
        uint32_t phy_addr;
        uint32_t nvpvalue;
    } request;
    struct {
        uint32_t rsvd0;
        uint32_t rsvd1;
    } response;
} SET_10GBASET_NVPVALUE_PARAMS;

// Cable test of the four pairs (subsystem 18, opcode 11), 24 bytes.
typedef union _RUN_TDR_PARAMS {
    struct {
        uint32_t phy_addr;
        uint8_t rsvd[20];
    } request;
    struct {
        uint32_t PairStatus; // a 4-bit result per pair, pair A lowest
        uint32_t PairALen;
        uint32_t PairBLen;
        uint32_t PairCLen;
        uint32_t PairDLen;
        uint32_t NVPUsed;
    } response;
} RUN_TDR_PARAMS;

// 10GBASE-T NVP value read (subsystem 18, opcode 12), 4 bytes.
typedef union _GET_10GBASET_NVPVALUE_PARAMS {
    struct {
        uint32_t phy_addr;
    } request;
    struct {
        uint32_t nvpvalue;
    } response;
} GET_10GBASET_NVPVALUE_PARAMS;

// FRU EEPROM read (subsystem 19, opcode 3); sent in a 1024-byte buffer.
typedef union _READ_FRU_EEPROM_PARAMS {
    struct {
        uint32_t Transfer_size;
        uint32_t EEPROM_offset;
    } request;
    struct {
        uint8_t EEPROM_data[1024];
    } response;
} READ_FRU_EEPROM_PARAMS;

// Object write and read, version 1 (opcodes 172 and 171): one chunk of a
// named adapter object. Sent with their whole size as the payload length.
#define VARROW_OBJECT_NAME_SIZE 104
#define VARROW_OBJECT_CHUNK 32768
#define VARROW_WRITE_EOF 0x80000000u    // write_length word: the chunk ends the object
#define VARROW_WRITE_NOC 0x40000000u
#define VARROW_OBJECT_LENGTH_MASK 0x00FFFFFFu
#define VARROW_READ_EOF 0x80000000u     // eof word of the read answer
struct VARROW_IOCTL_COMMON_WRITE_OBJECT_PARAMS_V1 {
    union {
        struct {
            uint32_t write_length; // bits 0-23 the chunk's bytes; VARROW_WRITE_NOC, VARROW_WRITE_EOF
            uint32_t write_offset; // of the chunk within the object
            char object_name[VARROW_OBJECT_NAME_SIZE];
        } request;
        struct {
            uint32_t actual_write_length;
            uint8_t change_status; // nonzero: the new firmware needs a reset to become active
            uint8_t rsvd[3];
        } response;
    } params;
    uint8_t data_buffer[VARROW_OBJECT_CHUNK];
};
struct VARROW_IOCTL_COMMON_READ_OBJECT_PARAMS_V1 {
    union {
        struct {
            uint32_t read_length; // bits 0-23; 0 asks for the object's size
            uint32_t read_offset;
            char object_name[VARROW_OBJECT_NAME_SIZE];
        } request;
        struct {
            uint32_t actual_read_length;
            uint32_t eof; // VARROW_READ_EOF
            uint8_t read_data[32868];
        } response;
    } params;
};

// Port state (opcode 71 read, opcode 62 write), 4 bytes.
typedef union _IOCTL_COMMON_GET_PORT_STATUS_PARAMS {
    struct {
        uint32_t rsvd0;
    } request;
    struct {
        uint32_t port_status; // 1 enabled
    } response;
} IOCTL_COMMON_GET_PORT_STATUS_PARAMS;

typedef union _IOCTL_COMMON_ENABLE_DISABLE_PORT_PARAMS {
    struct {
        uint32_t port_status; // 1 enable, 0 disable
    } request;
    struct {
        uint32_t rsvd0;
    } response;
} IOCTL_COMMON_ENABLE_DISABLE_PORT_PARAMS;

// The Varrow forms (request version 1) name the link in the request.
typedef union _VARROW_IOCTL_COMMON_GET_PORT_STATUS_PARAMS {
    struct {
        uint32_t rsvd0 : 16;
        uint32_t linkNumber : 6;
        uint32_t linkType : 2; // 0
        uint32_t rsvd4_0 : 8;
    } request;
    struct {
        uint32_t port_status : 1; // 1 enabled
        uint32_t rsvd0 : 31;
    } response;
} VARROW_IOCTL_COMMON_GET_PORT_STATUS_PARAMS;

typedef union _VARROW_IOCTL_COMMON_SET_PORT_STATUS_PARAMS {
    struct {
        uint32_t linkEnable : 1;
        uint32_t rsvd0 : 15;
        uint32_t linkNumber : 6;
        uint32_t linkType : 2; // 0
        uint32_t rsvd4_0 : 8;
    } request;
    struct {
        uint32_t rsvd0;
    } response;
} VARROW_IOCTL_COMMON_SET_PORT_STATUS_PARAMS;

// Transmit throttle (opcode 133 read, opcode 132 write), 4 bytes.
typedef union _GET_TX_THROTTLE_PARAMS {
    struct {
        uint32_t rsvd0;
    } request;
    struct {
        uint32_t tx_throttle;
    } response;
} GET_TX_THROTTLE_PARAMS;

typedef union _SET_TX_THROTTLE_PARAMS {
    struct {
        uint32_t tx_throttle; // 1 slow, 2 fast reaction to PFC pause
    } request;
    struct {
        uint32_t rsvd0;
    } response;
} SET_TX_THROTTLE_PARAMS;

// Beacon (opcode 70 read, opcode 69 write), 4 bytes.
typedef union _IOCTL_COMMON_GET_BEACON_STATE_PARAMS {
    struct {
        uint8_t port_num;
        uint8_t rsvd0[3];
    } request;
    struct {
        uint8_t beacon_state; // 1 on
        uint8_t rsvd0[3];
    } response;
} IOCTL_COMMON_GET_BEACON_STATE_PARAMS;

typedef union _IOCTL_COMMON_ENABLE_DISABLE_BEACON_PARAMS {
    struct {
        uint8_t port_num;
        uint8_t beacon_state; // 1 on, 0 off
        uint8_t beacon_duration;
        uint8_t status_duration;
    } request;
    struct {
        uint32_t rsvd0;
    } response;
} IOCTL_COMMON_ENABLE_DISABLE_BEACON_PARAMS;

// The parameters of a flow-control query or write (opcode 205), carried in
// IOCTL_COMMON_MANAGE_FLOW_CONTROL's params.
#define FLOW_CTRL_MODE_QUERY 0
#define FLOW_CTRL_MODE_SET 1
typedef struct _MANAGE_FLOW_CTRL_IN_PARAMETERS {
    uint32_t tx_flow_control : 4; // 1 enabled
    uint32_t rx_flow_control : 4;
    uint32_t lock : 1;   // 1 under NPAR
    uint32_t active : 1; // 1 under NPAR
    uint32_t immediate : 1;
    uint32_t mode : 2;
    uint32_t rsvd0 : 11;
    uint32_t port_number : 6;
    uint32_t port_type : 2; // 0
    uint32_t rsvd1;
} MANAGE_FLOW_CTRL_IN_PARAMETERS;

typedef struct _MANAGE_FLOW_CTRL_OUT_PARAMETERS {
    uint32_t tx_flow_control : 4;
    uint32_t rx_flow_control : 4;
    uint32_t lock : 1;
    uint32_t active : 1;
    uint32_t rsvd0 : 14;
    uint32_t port_number : 6;
    uint32_t port_type : 2;
    uint32_t rsvd1;
} MANAGE_FLOW_CTRL_OUT_PARAMETERS;

// ---------------------------------------------------------------------------
// Sized byte areas, laid out by the features that use them.
struct NTWK_MAC_SET_PARAMS {
    uint8_t data[12];
};
struct LINK_STATUS_QUERY_PARAMS {
    uint8_t data[12];
};
struct LINK_STATUS_QUERY_PARAMS_V1 {
    uint8_t data[12];
};
struct GET_QOS_PARAMS {
    uint8_t data[32];
};
struct SET_QOS_PARAMS {
    uint8_t data[36];
};
struct ENABLE_DISABLE_DOMAINS_PARAMS {
    uint8_t data[4];
};
struct GET_DOMAIN_CONFIG_PARAMS {
    uint8_t data[4];
};
struct SET_LINK_SPEED_PARAMS_V1 {
    uint8_t data[8];
};
struct IOCTL_COMMON_GET_PHYSICAL_FUNCTION_CONFIG_PARAMS {
    uint8_t data[24];
};
struct IOCTL_COMMON_READ_TRANSRECEIVER_DATA_PARAMS {
    uint8_t data[264];
};
struct VEXO_IOCTL_COMMON_READ_TRANSRECEIVER_DATA_PARAMS {
    uint8_t data[264];
};
struct IOCTL_COMMON_GET_PORT_NAME_PARAMS {
    uint8_t data[4];
};
struct IOCTL_COMMON_GET_PORT_NAME_PARAMS_V1 {
    uint8_t data[4];
};
struct IOCTL_COMMON_GET_PCI_FUNCTION_MAPPING_PARAMS {
    uint8_t data[68];
};
struct IOCTL_COMMON_GET_NCSI_CONFIGURATION_PARAMS {
    uint8_t data[72];
};
struct IOCTL_COMMON_SET_NCSI_DYNAMIC_CONFIGURATION_PARAMS {
    uint8_t data[32];
};
struct GET_ARI_SETTINGS_PARAMS {
    uint8_t data[4];
};
struct SET_ARI_SETTINGS {
    uint8_t data[4];
};
struct GET_PHY_DETAILS_PARAMS {
    uint8_t data[24];
};
struct IOCTL_COMMON_GET_FUNCTION_NAME_INFO_PARAMS {
    uint8_t data[92];
};
struct IOCTL_COMMON_GET_CAPABILITY_PARAMS {
    uint8_t data[12];
};
struct ARM_LOG_CREATE_SNAPSHOT_PARAMS {
    uint8_t data[4];
};
struct GET_LINK_SPEED_PARAMS {
    uint8_t data[4];
};
struct GET_HSW_CONFIG_PARAMS {
    uint8_t data[16];
};
struct SET_HSW_CONFIG_PARAMS {
    uint8_t data[20];
};
struct GET_ACTIVE_PROFILE_PARAMS {
    uint8_t data[4];
};
struct SET_ACTIVE_PROFILE_PARAMS {
    uint8_t data[4];
};
struct SET_FACTORY_PROFILE_CONFIG_PARAMS {
    uint8_t data[4];
};
struct SET_FACTORY_PROFILE_CONFIG_PARAMS_V1 {
    uint8_t data[4];
};
struct SET_RECONFIG_LINK_ID_PARAMS {
    uint8_t data[4];
};
struct PING_PARAMS {
    uint8_t data[24];
};
struct EDIT_ARP_TABLE_PARAMS {
    uint8_t data[48];
};
struct EDIT_ROUTE_TABLE_PARAMS {
    uint8_t data[72];
};
struct VLAN_SET_PARAMS_IN {
    uint8_t data[8];
};
struct CONFIGURE_STATELESS_IP_ADDR_PARAMS_IN {
    uint8_t data[16];
};
struct RELEASE_STATELESS_IP_ADDR_PARAMS_IN {
    uint8_t data[8];
};
struct GET_DEFAULT_ROUTE_PARAMS {
    uint8_t data[24];
};
struct MODIFY_DEFAULT_ROUTE_PARAMS_IN {
    uint8_t data[28];
};
struct DISCOVERY_PARAMS {
    uint8_t data[888];
};
struct GET_ISCSI_NODE_ATTRIB_PARAMS {
    uint8_t data[760];
};
struct READ_EVENT_LOG_PARAMS {
    uint8_t data[72];
};
struct ISCSI_HBA_NAME_PARAMS {
    uint8_t data[260];
};
struct GET_A_SESSION_PARAMS {
    uint8_t data[1164];
};
struct GET_SESSION_CONFIGURATION_PARAMS {
    uint8_t data[276];
};
struct SET_SESSION_CONFIGURATION_PARAMS {
    uint8_t data[280];
};
struct LOGIN_TARGET_PARAMS {
    uint8_t data[1420];
};
struct LOGOUT_TARGET_PARAMS {
    uint8_t data[4];
};
struct QUERY_A_PERSISTENT_LOGIN_PARAMS {
    uint8_t data[900];
};
struct ADD_PERSISTENT_LOGIN_PARAMS {
    uint8_t data[1420];
};
struct DELETE_PERSISTENT_LOGIN_PARAMS_IN {
    uint8_t data[480];
};
struct GET_ALL_SESSION_ID_PARAMS {
    uint8_t data[12];
};
struct GET_ALL_DISCOVERED_TARGET_ID_PARAMS {
    uint8_t data[12];
};
struct REPORT_A_TARGET_PARAMS {
    uint8_t data[816];
};
struct ISCSI_SEND_TARGETS_PARAMS {
    uint8_t data[264];
};
struct MIB_INITIATOR_INSTANCE_STATISTICS {
    uint8_t data[264];
};
struct MIB_INTR_LOGIN_STATISTICS {
    uint8_t data[520];
};
struct GET_SESSION_ATTRIBUTES_PARAMS {
    uint8_t data[1284];
};
struct GET_BOOT_TARGET_OUT {
    uint8_t data[8];
};
struct SET_BOOT_TARGET_IN {
    uint8_t data[528];
};
struct GET_BOOT_LUN {
    uint8_t data[8];
};
struct SET_BOOT_LUN_IN {
    uint8_t data[12];
};
struct BIOS_PARAMS {
    uint8_t data[20];
};
struct MGMT_PCIE_INFO {
    uint8_t data[4];
};
struct IOCTL_LOWLEVEL_HOST_DDR_DMA_PARAMS {
    uint8_t data[8208];
};
struct IOCTL_LOWLEVEL_LOOPBACK_TEST_PARAMS {
    uint8_t data[28];
};
struct IOCTL_LOWLEVEL_SET_LOOPBACK_MODE_PARAMS {
    uint8_t data[4];
};
struct IOCTL_LOWLEVEL_GET_COREDUMP_COMPONENT_PROPERTIES_PARAMS {
    uint8_t data[8];
};
struct IOCTL_LOWLEVEL_GET_COREDUMP_SEGMENT_PROPERTIES_PARAMS {
    uint8_t data[16];
};
// LLDP configuration read (15/1): the request is the parameter type, the
// answer is written over it.
struct LLDP_GET_LLDP_CFG_PARAMS_OUT {
    uint8_t port_config_admin_status; // bit 0 transmit, bit 1 receive
    uint8_t port_description_tx_status;
    uint8_t system_name_tx_status;
    uint8_t system_description_tx_status;
    uint8_t system_capabilities_tx_status;
    uint8_t lldp_async_notification_status;
    uint8_t rsvd0[2];
    char chassis_id[256];
    uint32_t chassis_id_type;
    char port_id[256];
    uint32_t port_id_type;
    uint32_t ttl;
    char system_name[256];
    char system_description[256];
    char port_name[256];
    char port_description[256];
    uint32_t system_capabilities;
    uint8_t mgmt_ip_addr[16];
};
struct LLDP_GET_LLDP_CFG_PARAMS {
    union {
        uint8_t data[1576];
        uint32_t parameter_type; // 0 local, 1 peer
        LLDP_GET_LLDP_CFG_PARAMS_OUT response;
    };
};
// LLDP configuration write (15/2): the first eight bytes of the read.
struct LLDP_SET_LLDP_CFG_PARAMS {
    union {
        uint8_t data[8];
        struct {
            uint8_t port_config_admin_status;
            uint8_t port_description_tx_status;
            uint8_t system_name_tx_status;
            uint8_t system_description_tx_status;
            uint8_t system_capabilities_tx_status;
            uint8_t lldp_async_notification_status;
            uint8_t rsvd0[2];
        } request;
    };
};
struct LLDP_GET_LLDP_STATS_OUT {
    uint32_t num_tx_packets;
    uint32_t num_rx_packets;
    uint32_t num_error_packets;
    uint32_t num_packets_dropped;
    uint32_t num_tlvs_unrecognised;
    uint32_t num_agedout_total;
    uint32_t num_org_tlvs;
    uint32_t num_unrecog_org_tlvs;
    uint32_t rsvd0[4];
};
struct LLDP_GET_LLDP_STATS {
    union {
        uint8_t data[48];
        LLDP_GET_LLDP_STATS_OUT response;
    };
};

// DCBX configuration (16/1 read, 16/2 write), versions 0 and 1.
struct DCBX_PG_SETTINGS {
    uint8_t bwg_id; // priority group of the priority; 15 = group 15
    uint8_t not_used_1;
    uint8_t not_used_2;
    uint8_t not_used_3;
};
struct DCBX_PRIORITY_IN_BWG {
    uint8_t bwg_percentage[8]; // share of groups 0..7; 255 = no limit
    DCBX_PG_SETTINGS pg_up_settings[8]; // one per user priority
};
struct DCBX_PFC_SETTINGS {
    uint8_t pfc_settings[8]; // 1 = PFC on for the priority
};
#define DCBX_APP_ENTRIES 15
struct DCBX_APP_SETTINGS {
    uint16_t app_protocol_id;
    uint8_t protocol_selector; // 0 EtherType, 1 TCP port
    uint8_t valid;             // 1 = entry in use
    uint32_t oui;
    uint8_t user_priority[8]; // 1 = the priority carries the application
};
struct DCBX_GET_DCBX_CFG_PARAMS_OUT {
    uint8_t dcbx_state;
    uint8_t dcbx_operational_params_valid;
    uint8_t num_app_entries_valid;
    uint8_t num_pgs_supported;
    uint32_t pg_state;
    uint32_t pfc_state;
    uint32_t bcn_state; // qcn_state in version 1
    uint32_t appl_state;
    uint32_t logical_link_state;
    DCBX_PRIORITY_IN_BWG priority_in_bwg;
    DCBX_PFC_SETTINGS pfc;
    DCBX_APP_SETTINGS app_settings[DCBX_APP_ENTRIES];
};
struct DCBX_SET_DCBX_CFG_PARAMS_IN {
    uint8_t dcbx_state;
    uint8_t num_app_entries_valid;
    uint8_t unused[2];
    uint32_t pg_state;
    uint32_t pfc_state;
    uint32_t bcn_state; // qcn_state in version 1
    uint32_t appl_state;
    uint32_t logical_link_state;
    DCBX_PRIORITY_IN_BWG priority_in_bwg;
    DCBX_PFC_SETTINGS pfc;
    DCBX_APP_SETTINGS app_settings[DCBX_APP_ENTRIES];
};
struct DCBX_GET_DCBX_CFG_PARAMS_V1_OUT {
    DCBX_GET_DCBX_CFG_PARAMS_OUT base;
    uint8_t qcn_cnpv_bv; // priorities configured for congestion notification
    uint8_t rsvd0[3];
    uint8_t qcn_ready_priority_bv; // priorities available for it
    uint8_t rsvd1[3];
    uint32_t rsvd2[12];
};
struct DCBX_SET_DCBX_CFG_PARAMS_V1_IN {
    DCBX_SET_DCBX_CFG_PARAMS_IN base;
    uint8_t qcn_cnpv_bv;
    uint8_t rsvd0[3];
    uint32_t qcn_rsvd;
    uint32_t rsvd1[12];
};
struct DCBX_GET_DCBX_CFG_PARAMS {
    union {
        uint8_t data[312];
        uint8_t parameter_type; // 0 administrator, 1 operational, 2 peer
        DCBX_GET_DCBX_CFG_PARAMS_OUT response;
    };
};
struct DCBX_GET_DCBX_CFG_PARAMS_V1 {
    union {
        uint8_t data[368];
        uint8_t parameter_type;
        DCBX_GET_DCBX_CFG_PARAMS_V1_OUT response;
    };
};
struct DCBX_SET_DCBX_CFG_PARAMS {
    union {
        uint8_t data[312];
        DCBX_SET_DCBX_CFG_PARAMS_IN request;
    };
};
struct DCBX_SET_DCBX_CFG_PARAMS_V1 {
    union {
        uint8_t data[368];
        DCBX_SET_DCBX_CFG_PARAMS_V1_IN request;
    };
};

// DCBX MIB (16/3): 108 bytes, 60 without reserved words on Varrow.
struct DCBX_PORT_VARS {
    uint8_t port_number;
    uint8_t port_enable;
    uint8_t port_operating_version;
    uint8_t port_max_version;
    uint32_t sequence_number;
    uint32_t ack_number;
    uint32_t Peer_sequence_number;
    uint32_t peer_ack_number;
    uint32_t rsvd0[4];
};
struct DCBX_FEATURE_VARS {
    uint32_t app_feature_sequence_number;
    uint32_t pg_feature_sequence_number;
    uint32_t pfc_feature_sequence_number;
    uint32_t rsvd0[4];
};
struct DCBX_STATISTICS {
    uint32_t num_tx_packets;
    uint32_t num_rx_packets;
    uint32_t num_error_packets;
    uint32_t num_packets_dropped;
    uint32_t num_packets_pocessed;
    uint32_t num_local_params_changed;
    uint32_t num_remote_params_changed;
    uint32_t rsvd0[4];
};
struct GET_DCBX_MIB_INFO_PARAMS_OUT {
    DCBX_PORT_VARS port_vars;
    DCBX_FEATURE_VARS feature_vars;
    DCBX_STATISTICS stats;
};
struct GET_DCBX_MIB_INFO_PARAMS {
    union {
        uint8_t data[108];
        GET_DCBX_MIB_INFO_PARAMS_OUT response;
    };
};
struct VARROW_IOCTL_GET_DCBX_MIB_INFO_PARAMS_OUT {
    uint8_t port_number;
    uint8_t port_enable;
    uint8_t port_operating_version;
    uint8_t port_max_version;
    uint32_t sequence_number;
    uint32_t ack_number;
    uint32_t Peer_sequence_number;
    uint32_t peer_ack_number;
    uint32_t app_feature_sequence_number;
    uint32_t pg_feature_sequence_number;
    uint32_t pfc_feature_sequence_number;
    uint32_t num_tx_packets;
    uint32_t num_rx_packets;
    uint32_t num_error_packets;
    uint32_t num_packets_dropped;
    uint32_t num_packets_pocessed;
    uint32_t num_local_params_changed;
    uint32_t num_remote_params_changed;
};
struct VARROW_IOCTL_GET_DCBX_MIB_INFO_PARAMS {
    union {
        uint8_t data[60];
        VARROW_IOCTL_GET_DCBX_MIB_INFO_PARAMS_OUT response;
    };
};

// DCBX mode (16/4 read, 16/5 write): 0 CEE, 1 CIN, 2 Auto-CEE, 3 Auto-IEEE.
struct DCBX_GET_DCBX_MODE_PARAMS {
    union {
        uint8_t data[4];
        uint8_t dcbx_mode;
    };
};
struct DCBX_SET_DCBX_MODE_PARAMS {
    union {
        uint8_t data[4];
        struct {
            uint8_t rsvd0;
            uint8_t dcbx_mode;
        } request;
    };
};
struct MANAGE_FFV_PARAMS {
    uint8_t data[36];
};
struct OEM_EXEC_CFG_CMD_PARAMS {
    uint8_t data[48];
};

// Records of commands whose payload length the caller gives.
struct EXT_FAT_READ_STRING_TABLE;
struct EXT_FAT_RETRIEVE_SNAPSHOT_PARAMS;
struct GET_ALL_IF_ID_PARAMS;
struct GET_ALL_PLOGIN_TGTID_PORTAL_PARAMS_OUT;
struct GET_ARP_TABLE_PARAMS;
struct GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS;
struct GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1;
struct GET_COMMON_PROFILE_CONFIG_PARAMS;
struct GET_EXT_FAT_CAPABILITES_PARAMS;
struct GET_IF_INFO_PARAMS;
struct GET_IF_INFO_PARAMS_V1;
struct GET_OPERATING_PARAMS;
// Its request and answer (the caller's buffer holds both in turn).
#define OPERATING_PARAMS_BUFFER_SIZE 2080
struct GET_OPERATING_PARAMS_REQ {
    uint8_t op_query_type;
    uint8_t rsvd0[3];
    uint32_t link; // link_num bits 0-5, link_type bits 6-7
    uint32_t rsvd2[6];
};
struct GET_OPERATING_PARAMS_RESP {
    uint16_t op_desc_cnt;
    uint16_t rsvd0;
    uint32_t rsvd1[3];
    // descriptors from here
};
struct OP_PARM_ELEMENT_DESC {
    uint8_t type;
    uint8_t rsvd0;
    uint16_t len; // descriptor length in bytes
    uint32_t link; // link_num bits 0-5, link_type bits 6-7, qos_mode bits 8-10
};
struct GET_PROFILE_CAPACITIES_PARAMS;
struct GET_PROFILE_CONFIG_PARAMS;
struct GET_PROFILE_LIST_PARAMS;
struct GET_RECONFIG_LINK_INFO_PARAMS;
struct GET_ROUTE_TABLE_PARAMS;
struct IOCTL_LOWLEVEL_GET_COREDUMP_SEGMENT_PARAMS;
struct ISCSI_IP_ADDR_RECORD_PARAMS;
struct ISCSI_RETRIEVE_PARSED_TARGET_INFO_PARAMS;
struct NIC_CONFIG_PARAMS;
struct READ_OBJECT_PARAMS;
struct SCSI_PASS_THRU_PARAMS;
struct SET_AW_CONFIGURATION_AND_RESOURCES_PARAMS;
struct SET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1;
struct SET_COMMON_PROFILE_CONFIG_PARAMS;
struct SET_EXT_FAT_CAPABILITES_PARAMS;
struct SET_PROFILE_CONFIG_PARAMS;
struct WRITE_OBJECT_PARAMS;

#pragma pack(pop)
static_assert(sizeof(NTWK_MAC_SET_PARAMS) == 12, "NTWK_MAC_SET_PARAMS is 12 bytes");
static_assert(sizeof(LINK_STATUS_QUERY_PARAMS) == 12, "LINK_STATUS_QUERY_PARAMS is 12 bytes");
static_assert(sizeof(LINK_STATUS_QUERY_PARAMS_V1) == 12, "LINK_STATUS_QUERY_PARAMS_V1 is 12 bytes");
static_assert(sizeof(GET_QOS_PARAMS) == 32, "GET_QOS_PARAMS is 32 bytes");
static_assert(sizeof(SET_QOS_PARAMS) == 36, "SET_QOS_PARAMS is 36 bytes");
static_assert(sizeof(ENABLE_DISABLE_DOMAINS_PARAMS) == 4, "ENABLE_DISABLE_DOMAINS_PARAMS is 4 bytes");
static_assert(sizeof(GET_DOMAIN_CONFIG_PARAMS) == 4, "GET_DOMAIN_CONFIG_PARAMS is 4 bytes");
static_assert(sizeof(SET_LINK_SPEED_PARAMS_V1) == 8, "SET_LINK_SPEED_PARAMS_V1 is 8 bytes");
static_assert(sizeof(IOCTL_COMMON_ENABLE_DISABLE_PORT_PARAMS) == 4, "IOCTL_COMMON_ENABLE_DISABLE_PORT_PARAMS is 4 bytes");
static_assert(sizeof(VARROW_IOCTL_COMMON_SET_PORT_STATUS_PARAMS) == 4, "VARROW_IOCTL_COMMON_SET_PORT_STATUS_PARAMS is 4 bytes");
static_assert(sizeof(IOCTL_COMMON_GET_PHYSICAL_FUNCTION_CONFIG_PARAMS) == 24, "IOCTL_COMMON_GET_PHYSICAL_FUNCTION_CONFIG_PARAMS is 24 bytes");
static_assert(sizeof(IOCTL_COMMON_GET_BOOT_CONFIG_PARAMS) == 8, "IOCTL_COMMON_GET_BOOT_CONFIG_PARAMS is 8 bytes");
static_assert(sizeof(IOCTL_COMMON_SET_BOOT_CONFIG_PARAMS) == 8, "IOCTL_COMMON_SET_BOOT_CONFIG_PARAMS is 8 bytes");
static_assert(sizeof(IOCTL_COMMON_ENABLE_DISABLE_BEACON_PARAMS) == 4, "IOCTL_COMMON_ENABLE_DISABLE_BEACON_PARAMS is 4 bytes");
static_assert(sizeof(IOCTL_COMMON_GET_BEACON_STATE_PARAMS) == 4, "IOCTL_COMMON_GET_BEACON_STATE_PARAMS is 4 bytes");
static_assert(sizeof(IOCTL_COMMON_GET_PORT_STATUS_PARAMS) == 4, "IOCTL_COMMON_GET_PORT_STATUS_PARAMS is 4 bytes");
static_assert(sizeof(VARROW_IOCTL_COMMON_GET_PORT_STATUS_PARAMS) == 4, "VARROW_IOCTL_COMMON_GET_PORT_STATUS_PARAMS is 4 bytes");
static_assert(sizeof(IOCTL_COMMON_READ_PCI_CONFIG_SPACE_PARAMS) == 264, "IOCTL_COMMON_READ_PCI_CONFIG_SPACE_PARAMS is 264 bytes");
static_assert(sizeof(IOCTL_COMMON_READ_TRANSRECEIVER_DATA_PARAMS) == 264, "IOCTL_COMMON_READ_TRANSRECEIVER_DATA_PARAMS is 264 bytes");
static_assert(sizeof(VEXO_IOCTL_COMMON_READ_TRANSRECEIVER_DATA_PARAMS) == 264, "VEXO_IOCTL_COMMON_READ_TRANSRECEIVER_DATA_PARAMS is 264 bytes");
static_assert(sizeof(IOCTL_COMMON_GET_OEM_ATTRIBUTES_PARAMS) == 44, "IOCTL_COMMON_GET_OEM_ATTRIBUTES_PARAMS is 44 bytes");
static_assert(sizeof(IOCTL_COMMON_GET_PORT_NAME_PARAMS) == 4, "IOCTL_COMMON_GET_PORT_NAME_PARAMS is 4 bytes");
static_assert(sizeof(IOCTL_COMMON_GET_PORT_NAME_PARAMS_V1) == 4, "IOCTL_COMMON_GET_PORT_NAME_PARAMS_V1 is 4 bytes");
static_assert(sizeof(IOCTL_COMMON_GET_PCI_FUNCTION_MAPPING_PARAMS) == 68, "IOCTL_COMMON_GET_PCI_FUNCTION_MAPPING_PARAMS is 68 bytes");
static_assert(sizeof(GET_RESET_NEEDED_PARAMS) == 4, "GET_RESET_NEEDED_PARAMS is 4 bytes");
static_assert(sizeof(IOCTL_COMMON_GET_NCSI_CONFIGURATION_PARAMS) == 72, "IOCTL_COMMON_GET_NCSI_CONFIGURATION_PARAMS is 72 bytes");
static_assert(sizeof(IOCTL_COMMON_SET_NCSI_DYNAMIC_CONFIGURATION_PARAMS) == 32, "IOCTL_COMMON_SET_NCSI_DYNAMIC_CONFIGURATION_PARAMS is 32 bytes");
static_assert(sizeof(GET_ARI_SETTINGS_PARAMS) == 4, "GET_ARI_SETTINGS_PARAMS is 4 bytes");
static_assert(sizeof(SET_ARI_SETTINGS) == 4, "SET_ARI_SETTINGS is 4 bytes");
static_assert(sizeof(GET_PHY_DETAILS_PARAMS) == 24, "GET_PHY_DETAILS_PARAMS is 24 bytes");
static_assert(sizeof(IOCTL_COMMON_GET_FUNCTION_NAME_INFO_PARAMS) == 92, "IOCTL_COMMON_GET_FUNCTION_NAME_INFO_PARAMS is 92 bytes");
static_assert(sizeof(GET_CNTL_ADDITIONAL_ATTRIBUTES_PARAMS) == 612, "GET_CNTL_ADDITIONAL_ATTRIBUTES_PARAMS is 612 bytes");
static_assert(sizeof(IOCTL_COMMON_GET_CAPABILITY_PARAMS) == 12, "IOCTL_COMMON_GET_CAPABILITY_PARAMS is 12 bytes");
static_assert(sizeof(IOCTL_COMMON_SET_SWITCH_TYPE_PARAMS) == 8, "IOCTL_COMMON_SET_SWITCH_TYPE_PARAMS is 8 bytes");
static_assert(sizeof(ARM_LOG_CREATE_SNAPSHOT_PARAMS) == 4, "ARM_LOG_CREATE_SNAPSHOT_PARAMS is 4 bytes");
static_assert(sizeof(SET_TX_THROTTLE_PARAMS) == 4, "SET_TX_THROTTLE_PARAMS is 4 bytes");
static_assert(sizeof(GET_TX_THROTTLE_PARAMS) == 4, "GET_TX_THROTTLE_PARAMS is 4 bytes");
static_assert(sizeof(GET_LINK_SPEED_PARAMS) == 4, "GET_LINK_SPEED_PARAMS is 4 bytes");
static_assert(sizeof(GET_HSW_CONFIG_PARAMS) == 16, "GET_HSW_CONFIG_PARAMS is 16 bytes");
static_assert(sizeof(SET_HSW_CONFIG_PARAMS) == 20, "SET_HSW_CONFIG_PARAMS is 20 bytes");
static_assert(sizeof(GET_ACTIVE_PROFILE_PARAMS) == 4, "GET_ACTIVE_PROFILE_PARAMS is 4 bytes");
static_assert(sizeof(SET_ACTIVE_PROFILE_PARAMS) == 4, "SET_ACTIVE_PROFILE_PARAMS is 4 bytes");
static_assert(sizeof(SET_FACTORY_PROFILE_CONFIG_PARAMS) == 4, "SET_FACTORY_PROFILE_CONFIG_PARAMS is 4 bytes");
static_assert(sizeof(SET_FACTORY_PROFILE_CONFIG_PARAMS_V1) == 4, "SET_FACTORY_PROFILE_CONFIG_PARAMS_V1 is 4 bytes");
static_assert(sizeof(SET_FEATURES_PARAMS) == 16, "SET_FEATURES_PARAMS is 16 bytes");
static_assert(sizeof(SET_RECONFIG_LINK_ID_PARAMS) == 4, "SET_RECONFIG_LINK_ID_PARAMS is 4 bytes");
static_assert(sizeof(PING_PARAMS) == 24, "PING_PARAMS is 24 bytes");
static_assert(sizeof(EDIT_ARP_TABLE_PARAMS) == 48, "EDIT_ARP_TABLE_PARAMS is 48 bytes");
static_assert(sizeof(EDIT_ROUTE_TABLE_PARAMS) == 72, "EDIT_ROUTE_TABLE_PARAMS is 72 bytes");
static_assert(sizeof(VLAN_SET_PARAMS_IN) == 8, "VLAN_SET_PARAMS_IN is 8 bytes");
static_assert(sizeof(CONFIGURE_STATELESS_IP_ADDR_PARAMS_IN) == 16, "CONFIGURE_STATELESS_IP_ADDR_PARAMS_IN is 16 bytes");
static_assert(sizeof(RELEASE_STATELESS_IP_ADDR_PARAMS_IN) == 8, "RELEASE_STATELESS_IP_ADDR_PARAMS_IN is 8 bytes");
static_assert(sizeof(GET_DEFAULT_ROUTE_PARAMS) == 24, "GET_DEFAULT_ROUTE_PARAMS is 24 bytes");
static_assert(sizeof(MODIFY_DEFAULT_ROUTE_PARAMS_IN) == 28, "MODIFY_DEFAULT_ROUTE_PARAMS_IN is 28 bytes");
static_assert(sizeof(DISCOVERY_PARAMS) == 888, "DISCOVERY_PARAMS is 888 bytes");
static_assert(sizeof(GET_ISCSI_NODE_ATTRIB_PARAMS) == 760, "GET_ISCSI_NODE_ATTRIB_PARAMS is 760 bytes");
static_assert(sizeof(READ_EVENT_LOG_PARAMS) == 72, "READ_EVENT_LOG_PARAMS is 72 bytes");
static_assert(sizeof(ISCSI_HBA_NAME_PARAMS) == 260, "ISCSI_HBA_NAME_PARAMS is 260 bytes");
static_assert(sizeof(GET_A_SESSION_PARAMS) == 1164, "GET_A_SESSION_PARAMS is 1164 bytes");
static_assert(sizeof(GET_SESSION_CONFIGURATION_PARAMS) == 276, "GET_SESSION_CONFIGURATION_PARAMS is 276 bytes");
static_assert(sizeof(SET_SESSION_CONFIGURATION_PARAMS) == 280, "SET_SESSION_CONFIGURATION_PARAMS is 280 bytes");
static_assert(sizeof(LOGIN_TARGET_PARAMS) == 1420, "LOGIN_TARGET_PARAMS is 1420 bytes");
static_assert(sizeof(LOGOUT_TARGET_PARAMS) == 4, "LOGOUT_TARGET_PARAMS is 4 bytes");
static_assert(sizeof(QUERY_A_PERSISTENT_LOGIN_PARAMS) == 900, "QUERY_A_PERSISTENT_LOGIN_PARAMS is 900 bytes");
static_assert(sizeof(ADD_PERSISTENT_LOGIN_PARAMS) == 1420, "ADD_PERSISTENT_LOGIN_PARAMS is 1420 bytes");
static_assert(sizeof(DELETE_PERSISTENT_LOGIN_PARAMS_IN) == 480, "DELETE_PERSISTENT_LOGIN_PARAMS_IN is 480 bytes");
static_assert(sizeof(GET_ALL_SESSION_ID_PARAMS) == 12, "GET_ALL_SESSION_ID_PARAMS is 12 bytes");
static_assert(sizeof(GET_ALL_DISCOVERED_TARGET_ID_PARAMS) == 12, "GET_ALL_DISCOVERED_TARGET_ID_PARAMS is 12 bytes");
static_assert(sizeof(REPORT_A_TARGET_PARAMS) == 816, "REPORT_A_TARGET_PARAMS is 816 bytes");
static_assert(sizeof(ISCSI_SEND_TARGETS_PARAMS) == 264, "ISCSI_SEND_TARGETS_PARAMS is 264 bytes");
static_assert(sizeof(MIB_INITIATOR_INSTANCE_STATISTICS) == 264, "MIB_INITIATOR_INSTANCE_STATISTICS is 264 bytes");
static_assert(sizeof(MIB_INTR_LOGIN_STATISTICS) == 520, "MIB_INTR_LOGIN_STATISTICS is 520 bytes");
static_assert(sizeof(GET_SESSION_ATTRIBUTES_PARAMS) == 1284, "GET_SESSION_ATTRIBUTES_PARAMS is 1284 bytes");
static_assert(sizeof(GET_BOOT_TARGET_OUT) == 8, "GET_BOOT_TARGET_OUT is 8 bytes");
static_assert(sizeof(SET_BOOT_TARGET_IN) == 528, "SET_BOOT_TARGET_IN is 528 bytes");
static_assert(sizeof(GET_BOOT_LUN) == 8, "GET_BOOT_LUN is 8 bytes");
static_assert(sizeof(SET_BOOT_LUN_IN) == 12, "SET_BOOT_LUN_IN is 12 bytes");
static_assert(sizeof(BIOS_PARAMS) == 20, "BIOS_PARAMS is 20 bytes");
static_assert(sizeof(MGMT_PCIE_INFO) == 4, "MGMT_PCIE_INFO is 4 bytes");
static_assert(sizeof(IOCTL_LOWLEVEL_HOST_DDR_DMA_PARAMS) == 8208, "IOCTL_LOWLEVEL_HOST_DDR_DMA_PARAMS is 8208 bytes");
static_assert(sizeof(IOCTL_LOWLEVEL_LOOPBACK_TEST_PARAMS) == 28, "IOCTL_LOWLEVEL_LOOPBACK_TEST_PARAMS is 28 bytes");
static_assert(sizeof(IOCTL_LOWLEVEL_SET_LOOPBACK_MODE_PARAMS) == 4, "IOCTL_LOWLEVEL_SET_LOOPBACK_MODE_PARAMS is 4 bytes");
static_assert(sizeof(IOCTL_LOWLEVEL_GET_LOOPBACK_MODE_PARAMS) == 4, "IOCTL_LOWLEVEL_GET_LOOPBACK_MODE_PARAMS is 4 bytes");
static_assert(sizeof(IOCTL_LOWLEVEL_GET_COREDUMP_PROPERTIES_PARAMS) == 20, "IOCTL_LOWLEVEL_GET_COREDUMP_PROPERTIES_PARAMS is 20 bytes");
static_assert(sizeof(IOCTL_LOWLEVEL_GET_COREDUMP_COMPONENT_PROPERTIES_PARAMS) == 8, "IOCTL_LOWLEVEL_GET_COREDUMP_COMPONENT_PROPERTIES_PARAMS is 8 bytes");
static_assert(sizeof(IOCTL_LOWLEVEL_GET_COREDUMP_SEGMENT_PROPERTIES_PARAMS) == 16, "IOCTL_LOWLEVEL_GET_COREDUMP_SEGMENT_PROPERTIES_PARAMS is 16 bytes");
static_assert(sizeof(LLDP_GET_LLDP_CFG_PARAMS) == 1576, "LLDP_GET_LLDP_CFG_PARAMS is 1576 bytes");
static_assert(sizeof(LLDP_SET_LLDP_CFG_PARAMS) == 8, "LLDP_SET_LLDP_CFG_PARAMS is 8 bytes");
static_assert(sizeof(LLDP_GET_LLDP_STATS) == 48, "LLDP_GET_LLDP_STATS is 48 bytes");
static_assert(sizeof(DCBX_GET_DCBX_CFG_PARAMS) == 312, "DCBX_GET_DCBX_CFG_PARAMS is 312 bytes");
static_assert(sizeof(DCBX_GET_DCBX_CFG_PARAMS_V1) == 368, "DCBX_GET_DCBX_CFG_PARAMS_V1 is 368 bytes");
static_assert(sizeof(DCBX_SET_DCBX_CFG_PARAMS) == 312, "DCBX_SET_DCBX_CFG_PARAMS is 312 bytes");
static_assert(sizeof(DCBX_SET_DCBX_CFG_PARAMS_V1) == 368, "DCBX_SET_DCBX_CFG_PARAMS_V1 is 368 bytes");
static_assert(sizeof(GET_DCBX_MIB_INFO_PARAMS) == 108, "GET_DCBX_MIB_INFO_PARAMS is 108 bytes");
static_assert(sizeof(VARROW_IOCTL_GET_DCBX_MIB_INFO_PARAMS) == 60, "VARROW_IOCTL_GET_DCBX_MIB_INFO_PARAMS is 60 bytes");
static_assert(sizeof(DCBX_GET_DCBX_MODE_PARAMS) == 4, "DCBX_GET_DCBX_MODE_PARAMS is 4 bytes");
static_assert(sizeof(DCBX_SET_DCBX_MODE_PARAMS) == 4, "DCBX_SET_DCBX_MODE_PARAMS is 4 bytes");
static_assert(sizeof(LLDP_GET_LLDP_CFG_PARAMS_OUT) == 1576, "LLDP configuration answer is 1576 bytes");
static_assert(offsetof(LLDP_GET_LLDP_CFG_PARAMS_OUT, chassis_id_type) == 264, "chassis_id_type at 264");
static_assert(offsetof(LLDP_GET_LLDP_CFG_PARAMS_OUT, ttl) == 528, "ttl at 528");
static_assert(offsetof(LLDP_GET_LLDP_CFG_PARAMS_OUT, port_description) == 1300, "port_description at 1300");
static_assert(offsetof(LLDP_GET_LLDP_CFG_PARAMS_OUT, system_capabilities) == 1556, "system_capabilities at 1556");
static_assert(sizeof(GET_OPERATING_PARAMS_REQ) == 32, "operating parameters request is 32 bytes");
static_assert(sizeof(GET_OPERATING_PARAMS_RESP) == 16, "descriptors start at 16");
static_assert(sizeof(OP_PARM_ELEMENT_DESC) == 8, "descriptor head is 8 bytes");
static_assert(sizeof(DCBX_PRIORITY_IN_BWG) == 40, "DCBX_PRIORITY_IN_BWG is 40 bytes");
static_assert(sizeof(DCBX_APP_SETTINGS) == 16, "DCBX_APP_SETTINGS is 16 bytes");
static_assert(sizeof(DCBX_GET_DCBX_CFG_PARAMS_OUT) == 312, "DCBX configuration answer is 312 bytes");
static_assert(sizeof(DCBX_SET_DCBX_CFG_PARAMS_IN) == 312, "DCBX configuration write is 312 bytes");
static_assert(offsetof(DCBX_GET_DCBX_CFG_PARAMS_OUT, priority_in_bwg) == 24, "priority_in_bwg at 24");
static_assert(offsetof(DCBX_GET_DCBX_CFG_PARAMS_OUT, pfc) == 64, "pfc at 64");
static_assert(offsetof(DCBX_GET_DCBX_CFG_PARAMS_OUT, app_settings) == 72, "app_settings at 72");
static_assert(offsetof(DCBX_SET_DCBX_CFG_PARAMS_IN, app_settings) == 72, "app_settings at 72");
static_assert(sizeof(DCBX_GET_DCBX_CFG_PARAMS_V1_OUT) == 368, "DCBX V1 answer is 368 bytes");
static_assert(sizeof(DCBX_SET_DCBX_CFG_PARAMS_V1_IN) == 368, "DCBX V1 write is 368 bytes");
static_assert(offsetof(DCBX_GET_DCBX_CFG_PARAMS_V1_OUT, qcn_ready_priority_bv) == 316, "ready bits at 316");
static_assert(offsetof(DCBX_SET_DCBX_CFG_PARAMS_V1_IN, qcn_cnpv_bv) == 312, "CNPV bits at 312");
static_assert(sizeof(GET_DCBX_MIB_INFO_PARAMS_OUT) == 108, "DCBX MIB answer is 108 bytes");
static_assert(offsetof(GET_DCBX_MIB_INFO_PARAMS_OUT, stats) == 64, "statistics at 64");
static_assert(sizeof(VARROW_IOCTL_GET_DCBX_MIB_INFO_PARAMS_OUT) == 60, "Varrow DCBX MIB answer is 60 bytes");
static_assert(offsetof(VARROW_IOCTL_GET_DCBX_MIB_INFO_PARAMS_OUT, num_tx_packets) == 32, "Varrow tx count at 32");
static_assert(sizeof(GET_10GBASET_STATS_PARAMS) == 84, "GET_10GBASET_STATS_PARAMS is 84 bytes");
static_assert(sizeof(GET_10GBASET_STATS_PARAMS_V1) == 112, "GET_10GBASET_STATS_PARAMS_V1 is 112 bytes");
static_assert(sizeof(RUN_10GBASET_SELFTEST_PARAMS) == 555, "RUN_10GBASET_SELFTEST_PARAMS is 555 bytes");
static_assert(sizeof(SET_10GBASET_NVPVALUE_PARAMS) == 8, "SET_10GBASET_NVPVALUE_PARAMS is 8 bytes");
static_assert(sizeof(RUN_TDR_PARAMS) == 24, "RUN_TDR_PARAMS is 24 bytes");
static_assert(sizeof(GET_10GBASET_NVPVALUE_PARAMS) == 4, "GET_10GBASET_NVPVALUE_PARAMS is 4 bytes");
static_assert(sizeof(BASET_STATS_WORDS) == 76, "BASET_STATS_WORDS is 76 bytes");
static_assert(offsetof(GET_10GBASET_STATS_PARAMS_V1, response.PHYFrameCtrHi) == 84, "frame counter high word at 84");
static_assert(offsetof(RUN_10GBASET_SELFTEST_PARAMS, response.tone_vs1) == 522, "self-test tones at 522");
static_assert(sizeof(MANAGE_FFV_PARAMS) == 36, "MANAGE_FFV_PARAMS is 36 bytes");
static_assert(sizeof(OEM_EXEC_CFG_CMD_PARAMS) == 48, "OEM_EXEC_CFG_CMD_PARAMS is 48 bytes");

static_assert(sizeof(FLASHROM_PARAMS) == 20, "FLASHROM_PARAMS is 20 bytes");
static_assert(sizeof(VARROW_IOCTL_COMMON_WRITE_OBJECT_PARAMS_V1) == 32880, "object write record is 32880 bytes");
static_assert(sizeof(VARROW_IOCTL_COMMON_READ_OBJECT_PARAMS_V1) == 32876, "object read record is 32876 bytes");
static_assert(sizeof(MGMT_HBA_ATTRIBUTES) == 500, "MGMT_HBA_ATTRIBUTES is 500 bytes");
static_assert(sizeof(MGMT_CONTROLLER_ATTRIBUTES) == 540, "MGMT_CONTROLLER_ATTRIBUTES is 540 bytes");
static_assert(sizeof(NTWK_MAC_QUERY_PARAMS) == 72, "NTWK_MAC_QUERY_PARAMS is 72 bytes");
static_assert(sizeof(NTWK_GET_MAC_LIST_PARAMS) == 532, "NTWK_GET_MAC_LIST_PARAMS is 532 bytes");
static_assert(sizeof(IOCTL_COMMON_SET_CONFIG_SIGNATURE_PARAMS) == 132, "set config signature is 132 bytes");
static_assert(sizeof(IOCTL_COMMON_GET_CONFIG_SIGNATURE_PARAMS) == 132, "get config signature is 132 bytes");
static_assert(sizeof(IOCTL_COMMON_MANAGE_FAT_PARAMS) == 20, "IOCTL_COMMON_MANAGE_FAT_PARAMS is 20 bytes");
static_assert(sizeof(IOCTL_COMMON_GET_FLOW_CONTROL) == 20, "IOCTL_COMMON_GET_FLOW_CONTROL is 20 bytes");
static_assert(sizeof(IOCTL_COMMON_MANAGE_FLOW_CONTROL) == 24, "IOCTL_COMMON_MANAGE_FLOW_CONTROL is 24 bytes");
static_assert(sizeof(MANAGE_FLOW_CTRL_IN_PARAMETERS) == 8, "MANAGE_FLOW_CTRL_IN_PARAMETERS is 8 bytes");
static_assert(sizeof(MANAGE_FLOW_CTRL_OUT_PARAMETERS) == 8, "MANAGE_FLOW_CTRL_OUT_PARAMETERS is 8 bytes");
static_assert(sizeof(AW_FW_CFG) == 156, "AW_FW_CFG is 156 bytes");
static_assert(sizeof(COMMON_GET_VPD_DATA_PARAMS) == 1032, "VPD buffer is 1032 bytes");
static_assert(sizeof(VARROW_COMMON_GET_VPD_DATA_PARAMS_V1) == 1032, "Varrow VPD buffer is 1032 bytes");
static_assert(sizeof(READ_FRU_EEPROM_PARAMS) == 1024, "FRU EEPROM buffer is 1024 bytes");
static_assert(offsetof(GET_CNTL_ADDITIONAL_ATTRIBUTES_PARAMS, response.fcoe_universal_bios_version) == 28,
              "FCoE universal version at 28");
static_assert(offsetof(GET_CNTL_ADDITIONAL_ATTRIBUTES_PARAMS, response.ext_phy_version) == 356, "PHY version at 356");
static_assert(offsetof(GET_CNTL_ADDITIONAL_ATTRIBUTES_PARAMS, response.ext_phy_crc_label) == 516, "PHY label at 516");
static_assert(offsetof(GET_CNTL_ADDITIONAL_ATTRIBUTES_PARAMS, response.ipl_file_name) == 524, "IPL name at 524");
static_assert(offsetof(IOCTL_COMMON_GET_OEM_ATTRIBUTES_PARAMS, response.oem_personality_mgmt_word) == 36,
              "personality word at 36");
static_assert(sizeof(IOCTL_COMMON_GET_AVAILABLE_PERSONALITIES) == 528, "personality buffer is 528 bytes");
static_assert(offsetof(MGMT_HBA_ATTRIBUTES, ncsi_version_string) == 80, "ncsi_version_string at 80");
static_assert(offsetof(MGMT_HBA_ATTRIBUTES, default_extended_timeout) == 92, "default_extended_timeout at 92");
static_assert(offsetof(MGMT_HBA_ATTRIBUTES, controller_serial_number) == 192, "serial number at 192");
static_assert(offsetof(MGMT_HBA_ATTRIBUTES, fw_on_flash_version_string) == 384, "flash version at 384");
static_assert(offsetof(MGMT_HBA_ATTRIBUTES, max_cdblength) == 420, "max_cdblength at 420");
static_assert(offsetof(MGMT_HBA_ATTRIBUTES, default_link_down_timeout) == 440, "link-down timeout at 440");
static_assert(offsetof(MGMT_HBA_ATTRIBUTES, hba_status) == 445, "hba_status at 445");
static_assert(offsetof(MGMT_HBA_ATTRIBUTES, phy_port) == 447, "phy_port at 447");
static_assert(offsetof(MGMT_CONTROLLER_ATTRIBUTES, pci_bus_number) == 508, "bus number at 508");
static_assert(offsetof(AW_FW_CFG, function_caps) == 120, "function_caps at 120");

// Core-dump segment (subsystem 11, opcode 24): the request carries a byte-code
// program or a command-line string at +24; the answer is a segment status,
// the count of data bytes and the data. Sent with 64,008 bytes for a dump
// piece and 65,000 for a command-line string.
#define COREDUMP_SEG_BLOCK_SIZE 65000
struct IOCTL_LOWLEVEL_GET_COREDUMP_SEGMENT_PARAMS {
    union {
        struct {
            uint32_t component_id;
            uint32_t segment_id;
            uint32_t instance;
            uint32_t offset;
            uint32_t length;
            uint32_t bytecode_length; // words of byte code, or characters of a string
            uint8_t bytecode[COREDUMP_SEG_BLOCK_SIZE - 24];
        } request;
        struct {
            uint32_t segment_status;
            uint32_t length; // data bytes that follow
            uint8_t data[COREDUMP_SEG_BLOCK_SIZE - 8];
        } response;
    };
};
static_assert(sizeof(IOCTL_LOWLEVEL_GET_COREDUMP_SEGMENT_PARAMS) == COREDUMP_SEG_BLOCK_SIZE,
              "core-dump segment block is 65000 bytes");

// Firmware trace log and extended trace configuration (common opcodes 125 to
// 130). Their commands carry a 64,000-byte payload; these are the fixed
// parts at its start.
#pragma pack(push, 1)
// One trace record as the firmware hands it out and the log file holds it.
struct ARM_TRACE_RECORD {
    uint8_t version;
    uint8_t phy_port;
    uint16_t fid;
    uint32_t trace_level;
    uint64_t module_mask;
    uint32_t trace_table_index;
    uint32_t timestamp;
    char str_data[16];
    uint32_t data[6];
};
struct EXT_FAT_RETRIEVE_SNAPSHOT_PARAMS_IN {
    uint32_t snapshot_mode; // 0 the snapshot in memory, 1 the log in flash
    uint32_t start_index;
    uint32_t num_log_entries;
};
struct EXT_FAT_RETRIEVE_SNAPSHOT_PARAMS_OUT {
    uint32_t num_log_entries; // records that follow
};
struct EXT_FAT_READ_STRING_TABLE_IN {
    uint32_t byte_offset;
    uint32_t num_bytes;
};
struct EXT_FAT_READ_STRING_TABLE_OUT {
    uint32_t num_returned_bytes; // table bytes that follow
    uint32_t num_remaining_bytes;
};
struct ARM_LOG_CONFIGURE_SNAPSHOT_PARAMS_OUT {
    uint32_t total_log_entries;
};
// The configuration block: this header, then num_modules module records,
// each an EXT_FAT_MODULE followed by num_modes EXT_FAT_MODE records.
struct EXT_FAT_CONFIG_PARAMS {
    uint32_t max_log_entries;
    uint32_t log_entry_size;
    uint8_t logging_type; // 0 synchronous, 1 asynchronous
    uint8_t max_logging_functions;
    uint8_t max_logging_ports;
    uint8_t rsvd0;
    uint32_t supported_modes; // bit 0 UART, bit 1 RAM
    uint32_t num_modules;
};
struct EXT_FAT_MODULE {
    char module_str[32];
    uint32_t module_id;
    uint32_t num_modes;
};
struct EXT_FAT_MODE {
    uint8_t mode; // 0 UART, 1 RAM, 2 NVRAM, 3 TFTP
    uint8_t rsvd0;
    uint16_t port_mask;
    uint32_t trace_level;
    uint64_t function_mask;
};
#pragma pack(pop)
static_assert(sizeof(ARM_TRACE_RECORD) == 64, "ARM_TRACE_RECORD is 64 bytes");
static_assert(sizeof(EXT_FAT_RETRIEVE_SNAPSHOT_PARAMS_IN) == 12, "snapshot request is 12 bytes");
static_assert(sizeof(EXT_FAT_READ_STRING_TABLE_OUT) == 8, "string table answer header is 8 bytes");
static_assert(sizeof(EXT_FAT_CONFIG_PARAMS) == 20, "EXT_FAT_CONFIG_PARAMS header is 20 bytes");
static_assert(sizeof(EXT_FAT_MODULE) == 40, "EXT_FAT_MODULE header is 40 bytes");
static_assert(sizeof(EXT_FAT_MODE) == 16, "EXT_FAT_MODE is 16 bytes");

// Payload of the trace-log and trace-configuration commands.
#define EXT_FAT_BLOCK_SIZE 64000u
// Interface records of the iSCSI network commands (subsystem 2).
#pragma pack(push, 1)
struct IP_ADDRESS_FORMAT {
    uint16_t SizeOfStructure;
    uint8_t Reserved;
    uint8_t IPType;
    uint8_t IPAddress[16]; // IPv4 in the first four bytes, network order
    uint32_t rsvd0;
};
struct IP_ADDRESS_SUBNET_FORMAT {
    uint16_t SizeOfStructure;
    uint8_t IPType;
    uint8_t IPv6_Prefix_Length;
    uint8_t IPAddress[16];
    uint8_t SubNetMask[16];
    uint32_t rsvd0;
};
#define IF_HANDLE_ROOM 32
struct GET_ALL_IF_ID_PARAMS {
    union {
        struct {
            uint32_t rsvd0;
        } request;
        struct {
            uint32_t if_count;
            uint32_t if_hndl_list[IF_HANDLE_ROOM];
        } response;
    };
};
#define IF_ADDRESS_ROOM 32
struct GET_IF_INFO_PARAMS {
    union {
        struct {
            uint32_t interface_hndl;
            uint32_t ip_type;
        } request;
        struct {
            uint32_t interface_hndl;
            uint32_t vlan_priority;
            uint32_t ip_address_count;
            uint32_t dhcp_state;
            IP_ADDRESS_SUBNET_FORMAT ip_address[IF_ADDRESS_ROOM];
        } response;
    };
};
struct GET_IF_INFO_PARAMS_V1 {
    union {
        struct {
            uint32_t interface_hndl;
            uint32_t ip_type;
        } request;
        struct {
            uint32_t interface_hndl;
            uint32_t vlan_priority;
            uint32_t ip_address_count;
            uint16_t config_states; // 0x400 automatic, 0x200 DHCP, 0x100 static
            uint16_t ip_status;
            IP_ADDRESS_SUBNET_FORMAT ip_address[IF_ADDRESS_ROOM];
        } response;
    };
};
struct ISCSI_IP_ADDR_RECORD {
    uint32_t action; // 1 add, 2 remove
    uint32_t interface_hndl;
    IP_ADDRESS_SUBNET_FORMAT ip_address;
    uint32_t status; // filled by the firmware
};
struct ISCSI_IP_ADDR_RECORD_PARAMS {
    uint32_t record_entry_count;
    ISCSI_IP_ADDR_RECORD ip_record;
};
#pragma pack(pop)
static_assert(sizeof(IP_ADDRESS_FORMAT) == 24, "IP_ADDRESS_FORMAT is 24 bytes");
static_assert(sizeof(IP_ADDRESS_SUBNET_FORMAT) == 40, "IP_ADDRESS_SUBNET_FORMAT is 40 bytes");
static_assert(sizeof(GET_ALL_IF_ID_PARAMS) == 132, "GET_ALL_IF_ID_PARAMS is 132 bytes");
static_assert(sizeof(GET_IF_INFO_PARAMS) == 1296, "GET_IF_INFO_PARAMS is 1296 bytes");
static_assert(sizeof(GET_IF_INFO_PARAMS_V1) == 1296, "GET_IF_INFO_PARAMS_V1 is 1296 bytes");
static_assert(sizeof(ISCSI_IP_ADDR_RECORD_PARAMS) == 56, "ISCSI_IP_ADDR_RECORD_PARAMS is 56 bytes");

// SCSI pass-through (6/59): a 292-byte fixed part, then `data_transfer_size`
// bytes of data; the firmware answers in place.
#pragma pack(push, 1)
struct SCSI_PASS_THRU_PARAMS {
    union {
        struct {
            uint32_t session_handle; // low 16 bits of the session handle
            uint8_t lun[8];
            uint8_t data_direction_flag; // 0 none, 1 from the target, 2 to the target
            uint8_t pad1;
            uint8_t pad2;
            uint8_t pad3;
            uint8_t cdb[16];
            uint16_t pad4;
            uint16_t data_transfer_size;
            uint8_t sense_buffer[256];
        } request;
        struct {
            uint32_t rsrvd_1;
            uint8_t lun[8];
            uint8_t data_direction_flag;
            uint8_t sense_data_length;
            uint8_t flag;
            uint8_t scsi_status;
            uint8_t cdb[16];
            uint16_t residual_count;
            uint16_t data_transfer_size;
            uint8_t sense_buffer[256];
        } response;
    };
};
#pragma pack(pop)
static_assert(sizeof(SCSI_PASS_THRU_PARAMS) == 292, "SCSI_PASS_THRU_PARAMS is 292 bytes before its data");
const uint32_t SCSI_PASS_THRU_FIXED_SIZE = sizeof(SCSI_PASS_THRU_PARAMS);
// Login options of an iSCSI session and its connection, as the login and
// persistent-login records carry them.
#pragma pack(push, 1)
struct MGMT_SESSION_LOGIN_OPTIONS {
    uint8_t flags; // bit 0 InitialR2T, 1 ImmediateData, 2 DataPDUInOrder, 3 DataSequenceInOrder
    uint8_t error_recovery_level;
    uint16_t rsvd0;
    uint32_t first_burst_length;
    uint32_t max_burst_length;
    uint16_t max_connections;
    uint16_t max_outstanding_r2t;
    uint16_t default_time2wait;
    uint16_t default_time2retain;
};
#define MGMT_CHAP_NAME_SIZE 256
#define MGMT_CHAP_SECRET_SIZE 16
struct MGMT_CHAP_FORMAT {
    uint32_t flags; // 1: mutual CHAP
    char intr_chap_name[MGMT_CHAP_NAME_SIZE];
    uint8_t intr_secret[MGMT_CHAP_SECRET_SIZE];
    char target_chap_name[MGMT_CHAP_NAME_SIZE];
    uint8_t target_secret[MGMT_CHAP_SECRET_SIZE];
    uint16_t intr_chap_name_length;
    uint16_t intr_secret_length;
    uint16_t target_chap_name_length;
    uint16_t target_secret_length;
};
union MGMT_CHAP_SRP_FORMAT {
    MGMT_CHAP_FORMAT chap;
};
struct MGMT_AUTH_METHOD_FORMAT {
    uint8_t auth_method_type; // 0 none, 1 CHAP
    uint8_t padding[3];
    MGMT_CHAP_SRP_FORMAT chap_srp_format;
};
struct MGMT_CONN_LOGIN_OPTIONS {
    uint8_t flags;
    uint8_t header_digest; // 1 CRC32C
    uint8_t data_digest;   // 1 CRC32C
    uint8_t rsvd0;
    uint32_t max_recv_datasegment_len_ini;
    uint32_t max_recv_datasegment_len_tgt;
    uint32_t tcp_mss;
    uint32_t tcp_window_size;
    MGMT_AUTH_METHOD_FORMAT auth_data;
};
struct MGMT_LOGIN_OPTIONS {
    MGMT_SESSION_LOGIN_OPTIONS sess_login_opts;
    MGMT_CONN_LOGIN_OPTIONS conn_login_opts;
};
#pragma pack(pop)
static_assert(sizeof(MGMT_SESSION_LOGIN_OPTIONS) == 20, "MGMT_SESSION_LOGIN_OPTIONS is 20 bytes");
static_assert(sizeof(MGMT_CONN_LOGIN_OPTIONS) == 580, "MGMT_CONN_LOGIN_OPTIONS is 580 bytes");
static_assert(sizeof(MGMT_LOGIN_OPTIONS) == 600, "MGMT_LOGIN_OPTIONS is 600 bytes");
static_assert(offsetof(MGMT_LOGIN_OPTIONS, conn_login_opts.auth_data.chap_srp_format.chap.intr_secret) == 304,
              "intr_secret at 304");
static_assert(offsetof(MGMT_LOGIN_OPTIONS, conn_login_opts.auth_data.chap_srp_format.chap.target_secret_length) == 598,
              "target_secret_length at 598");

#endif
