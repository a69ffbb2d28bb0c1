// Stand-in for the adapter diagnostics library: the calls the product makes,
// answered from the simulated machine's FC and FCoE functions. A board is the
// index of a function in the order the machine lists its FC-side functions.
#ifndef HLVD_PLATFORM_KPL_H
#define HLVD_PLATFORM_KPL_H

#include <cstdint>

#pragma pack(push, 1)
// One FC-side function as KPL_InitDiagEnv reports it.
struct KPL_ADAPTER_INFO {
    uint8_t reserved0[32];
    uint32_t pciBus;
    uint32_t pciDevFn;   // device number in bits 3..7
    uint8_t pciFunction;
    uint8_t reserved1[67];
};

struct KPL_DRV_INFO {
    uint8_t version;     // record version asked for (4)
    uint8_t infoKind;    // 3: driverVersion holds text
    uint8_t reserved0[8];
    char driverVersion[126];
    uint32_t sliLevel;
    uint64_t features;   // 0x200 FCoE, 0x400 persistent link-down, 0x1000 extended mailbox
};
#pragma pack(pop)

static_assert(sizeof(KPL_ADAPTER_INFO) == 108, "KPL_ADAPTER_INFO layout");
static_assert(sizeof(KPL_DRV_INFO) == 148, "KPL_DRV_INFO layout");

extern "C" {
int KPL_InitDiagEnv(KPL_ADAPTER_INFO *records, int max_records);
int KPL_GetLibVer(char *text);
int KPL_GetDrvInfo(int board, KPL_DRV_INFO *info);
int KPL_ReadPciCfg(int board, uint8_t *buffer, int offset, int length);
// 0 when the board was reset (kind 1 or 3).
int KPL_ResetAdapter(int board, int kind);
// The dump environment state the board entered (2, then 3), or -1.
int KPL_SetDumpEnv(int board, int state);
// 0 when the loopback mode was set.
int KPL_ConfigLoopback(int board, int mode, int parameter);
}

#endif
