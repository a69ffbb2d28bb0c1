// The SLI_CONFIG command layer of SLI-4 FC functions: the bootstrap mailbox
// in its embedded and non-embedded forms, the rule that turns a reply's three
// status values into one code, and the common, vendor and FCoE commands.
// Results are RM_STATUS codes.
#ifndef HLVD_HBA_SLI_CONFIG_H
#define HLVD_HBA_SLI_CONFIG_H

#include <cstdint>

#include "flash/rm_status.h"

#pragma pack(push, 1)
// The 256-byte bootstrap mailbox carrying one SLI_CONFIG command.
struct SLI_CONFIG_MBOX {
    uint8_t rsvd0;
    uint8_t mbxCommand; // 0x9B
    uint16_t mbxStatus;
    uint8_t embedded;   // bit 0 embedded; bits 3-7 scatter-gather entries
    uint8_t rsvd1[3];
    uint32_t payloadLength;
    uint8_t rsvd2[12];
    uint8_t payload[232]; // the command, or the scatter-gather entries
};

// One scatter-gather entry of the non-embedded form.
struct SLI_CONFIG_SGE {
    uint32_t addressLow;
    uint32_t addressHigh;
    uint32_t length; // low 24 bits
};

// Results of the D-port test: the caller's first 48 bytes are kept.
struct DPORT_RESULTS {
    uint8_t callerArea[48];
    uint8_t status;
    uint8_t entryCount;
    uint32_t word20;
    uint32_t word24;
    uint16_t half28;
    uint16_t half30;
    uint8_t entries[384]; // 12-byte result entries
};
#pragma pack(pop)

static_assert(sizeof(SLI_CONFIG_MBOX) == 256, "SLI_CONFIG_MBOX is 256 bytes");
static_assert(sizeof(SLI_CONFIG_SGE) == 12, "scatter-gather entry is 12 bytes");
static_assert(sizeof(DPORT_RESULTS) == 446, "DPORT_RESULTS layout");

const uint32_t SLI_CONFIG_MBOX_SIZE = 256;
const uint32_t SLI_CONFIG_EMBEDDED_SIZE = 232;
const uint32_t SLI_CONFIG_PAYLOAD_OFFSET = 24;
// Payload lengths of the FCoE link-diagnostic and D-port mode commands.
const uint32_t SLI_CONFIG_LINK_DIAG_LENGTH = 20;
const uint32_t SLI_CONFIG_DPORT_MODE_LENGTH = 36;

// Subsystems and opcodes.
const uint8_t SUBSYSTEM_COMMON = 0x01;
const uint8_t SUBSYSTEM_FCOE = 0x0C;
const uint8_t SUBSYSTEM_VENDOR = 0x13;
const uint8_t OPCODE_VENDOR_READ_FRU_EEPROM = 0x03;
const uint8_t OPCODE_VENDOR_MANAGE_FFV = 0x02;
const uint8_t OPCODE_FCOE_SET_LINK_DIAG_STATE = 0x22;
const uint8_t OPCODE_FCOE_SET_DPORT_MODE = 0x27;
const uint8_t OPCODE_FCOE_GET_DPORT_RESULTS = 0x28;
const uint8_t OPCODE_COMMON_GET_FW_VERSION = 0x23;
const uint8_t OPCODE_COMMON_GET_PORT_NUMBER = 0x3A;
const uint8_t OPCODE_COMMON_GET_BOOT_CONFIG = 0x42;
const uint8_t OPCODE_COMMON_SET_BOOT_CONFIG = 0x43;
const uint8_t OPCODE_COMMON_GET_PORT_NAME = 0x4D;
const uint8_t OPCODE_COMMON_GET_VPD_DATA = 0x5B;
const uint8_t OPCODE_COMMON_GET_PHY_CONFIG = 0x66;
const uint8_t OPCODE_COMMON_GET_CNTL_ADDL_ATTRIBUTES = 0x79;
const uint8_t OPCODE_COMMON_GET_PROFILE_CONFIG = 0xA4;
const uint8_t OPCODE_COMMON_SET_PROFILE_CONFIG = 0xA5;
const uint8_t OPCODE_COMMON_SET_FEATURES = 0xBF;

// Sizes of the callers' records and of the replies.
const uint32_t CNTL_ATTRIBUTES_FILLED_FROM = 352;
const uint32_t CNTL_ATTRIBUTES_LENGTH = 620;
const uint32_t PROFILE_DESCRIPTOR_SIZE = 72;
const uint32_t PROFILE_CONFIG_MAX_LENGTH = 3000;
const uint32_t PROFILE_SET_MAX_DESCRIPTORS = 3;
// Descriptors that fit the embedded area behind the header and the 8
// parameter bytes (24 + 3 x 72 would not); more are refused.
const uint32_t PROFILE_SET_EMBEDDED_DESCRIPTORS = 2;
const uint8_t DESCRIPTOR_TYPE_PCIE = 0x40;
const uint32_t SET_FEATURE_MAX_PARAMS = 208;
const uint32_t VPD_BUFFER_MIN = 1024;
const uint32_t VPD_LENGTH = 1040;
const uint32_t FRU_EEPROM_SIZE = 1536;
const uint32_t FRU_TRANSFER_SIZE = 128;
const uint32_t FW_VERSION_TEXT = 32;
const uint32_t DPORT_MAX_ENTRIES = 32;

// Codes of this layer beside the RM_STATUS names.
const int32_t SC_STATUS_SUBCMD_FAILED = 148;
const int32_t SC_STATUS_MBOX_FAILED = 28;
const int32_t SC_STATUS_NO_REQUEST_MEMORY = 35;
const int32_t SC_STATUS_XROM_UNKNOWN = 109;

// The one status rule: library result, mailbox status and the response
// header's status and additional status give one code.
RM_STATUS SC_ProcessSliConfigResponseStatus(int result, uint16_t mboxStatus, uint8_t status, uint8_t addStatus);

// Controller attributes: fills bytes 352..495 of the caller's zeroed 496-byte
// record (four 32-byte version texts, then the 16-byte IPL file name).
RM_STATUS SC_PerformCommonGetCntlAddlAttributes(int board, uint8_t *attributes);
RM_STATUS SC_PerformCommonGetBootConfig(int board, uint8_t *value);
RM_STATUS SC_PerformCommonSetBootConfig(int board, uint8_t value);

// Profile descriptors (72 bytes each). count: in, room of the array; out, the
// adapter's descriptor count.
RM_STATUS SC_CommonGetProfileConfig_V0(int board, uint8_t hdr15, uint8_t hdr14, uint8_t domain, uint8_t *descriptors,
                                       uint32_t *count);
RM_STATUS SC_CommonSetProfileConfig_V0(int board, uint8_t hdr15, uint8_t hdr14, const uint8_t *descriptors,
                                       uint32_t count);
RM_STATUS SC_GetXROMPresentation(int board, uint8_t *presented, uint8_t *fixed);
RM_STATUS SC_SetXROMPresentation(int board, uint8_t presented);

// VPD into a buffer of at least 1024 bytes; got: bytes the adapter reported.
RM_STATUS SC_GetVPD_V0(int board, uint8_t *dst, uint32_t len, uint32_t *got);
RM_STATUS SC_GetVPD_V1(int board, uint8_t domain, uint8_t *dst, uint32_t len, uint32_t *got);

RM_STATUS SC_GetPhyConfig(int board, uint32_t phy[7]);
RM_STATUS SC_CommonSetFeature(int board, uint32_t feature, uint32_t len, const uint8_t *params);

// The 1536-byte FRU EEPROM in 128-byte steps; len: in, room; out, bytes read.
RM_STATUS SC_GetFRUVPD(int board, uint8_t *dst, uint32_t *len);

// The physical port number, or -1.
int32_t SLI_CFG_GetPortNumber(int board);
RM_STATUS SLI_CFG_GetPortName(int board, char name[4]);

RM_STATUS SC_Perform_FcoeSetLinkDiagState(int board, uint32_t diag);
RM_STATUS SC_Perform_FcoeSetDPortMode(int board, uint32_t unused, uint32_t enable);
RM_STATUS SC_Perform_FcoeGetDPortResults(int board, DPORT_RESULTS *results);

// out: two 32-byte texts, each terminated.
RM_STATUS SLI_CFG_GetFwVersion(int board, char out[64]);
RM_STATUS CLU_SLI_CFG_GetFwVersion(int board, char a[32], char b[32]);

#endif
