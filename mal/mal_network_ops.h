// Client operations on a NIC function's network boot settings and MAC
// addresses, a port's transmit throttle, the VNTag state and provisioning,
// and the firmware's extended trace configuration. Each addresses its group
// by name and answers RM_STATUS codes: 0, 64 busy, 114 a missing node or a
// failed call, and the codes each operation names.
#ifndef HLVD_MAL_MAL_NETWORK_OPS_H
#define HLVD_MAL_MAL_NETWORK_OPS_H

#include <cstdint>

#include "flash/rm_status.h"
#include "mgmt/vexo/core/hm_types.h"

#define MAL_EXTFAT_MODULES 64
#define MAL_EXTFAT_MODES 4
// A mask or level of this value leaves the adapter's setting as it is.
#define MAL_EXTFAT_UNCHANGED 0xFFFFFFFFu

struct MAL_ExtFatMode {
    char Mode[8];             // "UART", "RAM", "NVRAM" or "TFTP"
    uint32_t PortMask;        // low 4 bits
    uint32_t PCIFunctionMask; // low 8 bits
    int32_t TraceLevel;
};
static_assert(sizeof(MAL_ExtFatMode) == 20, "trace mode record");

struct MAL_ExtFatModule {
    char ModuleString[32];
    uint32_t Reserved; // left 0
    MAL_ExtFatMode Modes[MAL_EXTFAT_MODES];
};
static_assert(sizeof(MAL_ExtFatModule) == 116, "trace module record");

struct MAL_ExtFatData {
    int32_t MaxLogEntries;
    int32_t LogEntrySize;
    char LoggingType[32];
    int32_t MaxLoggingFunctions;
    int32_t MaxLoggingPorts;
    char SupportedModes[32]; // such as "UART,RAM"
    int32_t ModeCount;       // entries of SupportedModes read per module, at most 4
    int32_t ModuleCount;     // at most 64
    MAL_ExtFatModule Modules[MAL_EXTFAT_MODULES];
};
static_assert(sizeof(MAL_ExtFatData) == 7512, "trace configuration record");

extern "C" {

// Enables or disables network boot; a null `method` leaves it unchanged.
RM_STATUS MAL_SetNetbootParams(node_tag_t nic, const char *method, int enable);
RM_STATUS MAL_SetVLANProps(node_tag_t nic, uint32_t vlan_id, uint32_t priority);
// 106 for an all-zero or all-0xFF address, before anything is looked up.
RM_STATUS MAL_SetVolatileMACAddress(node_tag_t nic, const uint8_t mac[6]);
RM_STATUS MAL_SetNonVolatileMACAddress(node_tag_t nic, const uint8_t mac[6]);
RM_STATUS MAL_GetTxThrottle(node_tag_t port, int32_t *value);
RM_STATUS MAL_SetTxThrottle(node_tag_t port, int32_t value);
// 251 when the state cannot be read.
RM_STATUS MAL_GetVNTagState(node_tag_t group, int32_t *enabled);
// 247 when the write was accepted and the state changed.
RM_STATUS MAL_SetVNTagState(node_tag_t group, int32_t enable);
// 251 when the group has no profiles; 114 when none is for `function`.
RM_STATUS MAL_VNTagConfigProvisionInfo(node_tag_t group, int32_t function, const char *text);
RM_STATUS MAL_GetExtFatData(node_tag_t adapter, MAL_ExtFatData *out);
// Writes the record's modes (stopping at the first with an empty name) into
// the module's mode groups of the same name. 21 when a mode is not there,
// before anything is written.
RM_STATUS MAL_SetExtFatModule(node_tag_t module, const MAL_ExtFatModule *rec);
RM_STATUS MAL_EnableLoggingOnAllModules(node_tag_t adapter, int32_t level, int32_t uart, int32_t ram,
                                        int32_t third, int32_t fourth);
RM_STATUS MAL_DisableLoggingOnAllModules(node_tag_t adapter, int32_t uart, int32_t ram, int32_t third,
                                         int32_t fourth);
// The seven integers are not used.
RM_STATUS MAL_SetDefaultLoggingConfig(node_tag_t adapter, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e,
                                      int32_t f, int32_t g);

} // extern "C"

#endif
