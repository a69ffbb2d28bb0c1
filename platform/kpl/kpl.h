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

// Link state of one FC-side function; the rest of the record is the library's.
struct KPL_LINK_INFO {
    uint8_t reserved0[21];
    uint8_t linkState;   // 1 down, 7 down persistently
    uint8_t reserved1[146];
};
#pragma pack(pop)

static_assert(sizeof(KPL_ADAPTER_INFO) == 108, "KPL_ADAPTER_INFO layout");
static_assert(sizeof(KPL_DRV_INFO) == 148, "KPL_DRV_INFO layout");
static_assert(sizeof(KPL_LINK_INFO) == 168, "KPL_LINK_INFO layout");

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

// One mailbox command of an SLI-2/3 function: words_sent words go out, bytes_returned
// bytes of the reply come back over the command. 0 = completed; otherwise the
// mailbox status at offset 2 says why.
int KPL_IssueMboxWithRetry(int board, void *mbox, int words_sent, int bytes_returned, int retries, int wait);
// The SLI-4 bootstrap mailbox (256 bytes) and any payload behind it, total_words
// in all. 0 = completed; 2 = completed with a non-zero status in the mailbox or
// sub-command response; 3 = no temperature available.
int KPL_IssueMboxWithRetryV2(int board, void *buffer, int total_words, int retries, int wait);
// A mailbox of mbox_words words with a separate data buffer of in_words words
// sent and out_words words returned. 0 = done; 2 or -1 = failed.
int KPL_IssueMboxWithRetryEx(int board, void *mbox, void *data, int mbox_words, int in_words, int out_words,
                             int retries, int wait);
// Reads *count bytes (in: wanted, out: read) of a configuration region from offset.
int KPL_IssueDumpMBox(int board, int type, int zero, int region, uint32_t offset, uint8_t *buffer, uint32_t *count);
// kind 2 writes length bytes of a region, kind 1 re-creates it (length 0).
// 2 with *response 0xFFF5: the region must be re-created first.
int KPL_IssueUpdateCfgMBox(int board, int kind, int region, uint32_t length, uint8_t *data, uint32_t *response);
// 0 = value valid (non-zero = link kept down); 2, 3, 4 = distinct failures.
int KPL_GetPersistLinkDown(int board, uint16_t *value);
int KPL_SetPersistLinkDown(int board, uint16_t value);
int KPL_GetLinkInfo(int board, KPL_LINK_INFO *info);
// One adapter register; 0 = done.
int ReadCtlReg(int board, uint32_t *value, uint32_t reg);
int WriteCtlReg(int board, uint32_t *value, uint32_t reg);
// 2 = off-line diagnostic environment, 1 = on-line.
void SetBrdEnv(int board, int env);
}

#endif
