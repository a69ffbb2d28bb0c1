// The FC engine's mailbox transport: the command buffer, the SLI-2/3 and
// SLI-4 paths through the diagnostics library, the SLI_CONFIG support test,
// the board environment, register access and the byte-order helpers.
#ifndef HLVD_HBA_MBOX_TRANSPORT_H
#define HLVD_HBA_MBOX_TRANSPORT_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#pragma pack(push, 1)
// One mailbox command. Builders zero all of it; the reply comes back over it.
// SLI-2/3 functions exchange the first 128 bytes, SLI-4 functions the first
// 256 (the bootstrap mailbox); the rest is never exchanged.
struct MBOX_CMD {
    uint8_t flags;      // command-specific bits (0x02 on a memory dump)
    uint8_t mbxCommand;
    uint16_t mbxStatus; // written by the adapter; 0 = success
    uint8_t words[380]; // command-specific words, from offset 4
};

// Command and mailbox status of the last failed adapter command.
struct ERROR_DATA {
    uint16_t command;
    uint16_t status;
};
#pragma pack(pop)

static_assert(sizeof(MBOX_CMD) == 384, "MBOX_CMD is 384 bytes");
static_assert(sizeof(ERROR_DATA) == 4, "ERROR_DATA is two u16");

const uint32_t MBOX_CMD_SIZE = 384;
const uint32_t MBOX_SLI3_BYTES = 128;
const uint32_t MBOX_SLI4_BYTES = 256;
const uint32_t KPL_DRV_INFO_SIZE = 148;
const uint32_t KPL_LINK_INFO_SIZE = 168;
// Wait values of the library calls.
const int MBOX_WAIT = 100;
const int MBOX_WAIT_TEMPERATURE = 300;
const int MBOX_WAIT_SECURITY = 6000;
const int MBOX_WAIT_OBJECT = 300000;
// Environments of SetBrdEnv and SetDiagEnv.
const int BOARD_ENV_ONLINE = 1;  // ONDI
const int BOARD_ENV_OFFLINE = 2; // OFFDI
// Family left alone by SetBrdEnv_Common.
const uint32_t FAMILY_NO_BOARD_ENV = 0xF180;

extern ERROR_DATA gErrorData;
extern uint32_t gHostEndian;    // 1, never changed: words are byte-reversed
extern uint32_t diagnosticMode; // 0 at load; 1 on-line, 2 off-line
extern uint32_t WINboard;       // board of ReadIoReg and WriteIoReg

// Little-endian fields of a command or reply buffer, at any alignment.
inline uint32_t mbox_u32(const void *buffer, size_t offset)
{
    uint32_t v;
    std::memcpy(&v, static_cast<const uint8_t *>(buffer) + offset, sizeof v);
    return v;
}
inline uint16_t mbox_u16(const void *buffer, size_t offset)
{
    uint16_t v;
    std::memcpy(&v, static_cast<const uint8_t *>(buffer) + offset, sizeof v);
    return v;
}
inline void mbox_put_u32(void *buffer, size_t offset, uint32_t v)
{
    std::memcpy(static_cast<uint8_t *>(buffer) + offset, &v, sizeof v);
}
inline void mbox_put_u16(void *buffer, size_t offset, uint16_t v)
{
    std::memcpy(static_cast<uint8_t *>(buffer) + offset, &v, sizeof v);
}

// True while the engine's trace lines go to the engine log.
bool EngineTraceOn();

// Sends one command and waits for the reply: 0, else the mailbox status. When
// the library fails but leaves the status word 0, its own result, so that a
// failure is never taken for success. The size arguments are not used.
uint32_t IssueMbox1(int board, MBOX_CMD *mbox, uint32_t sizeA, uint32_t sizeB);
// The SLI-4 path of IssueMbox1 (the 256-byte bootstrap mailbox).
uint32_t IssueMbox4(int board, MBOX_CMD *mbox);

// True when the board takes SLI_CONFIG commands through the bootstrap
// mailbox (SLI level 4 and driver feature 0x1000).
bool IsIssueMboxV2ExtSupported(int board);

// Copies an object name (at most 103 characters) with its terminator into a
// zeroed 104-byte name field in whole words.
void SwapString(uint8_t *dst, const char *name);

// False: the host stores the least significant byte first.
bool isBigEndian();
// Reverses the order of `n` bytes in place.
void SwapSizeN(uint8_t *p, int n);

// Board environment.
uint32_t SetDiagEnv(uint32_t env);
uint32_t SetBrdEnv_Windows(int board, uint32_t env);
void SetBoardToONDI(int board);
void SetBoardToOFFDI(int board);
// SetBrdEnv of the library, except on adapters of family 0xF180.
void SetBrdEnv_Common(int board, int environment);

// Register access.
uint32_t ReadCtlReg1(int board, uint32_t *value, uint32_t reg);
uint32_t WriteCtlReg1(int board, uint32_t *value, uint32_t reg);
uint32_t ReadIoReg(uint32_t ioBase, uint32_t reg);
uint32_t WriteIoReg(uint32_t ioBase, uint32_t reg, uint32_t value);
uint32_t WriteIoReg1(int board, uint32_t ioBase, uint32_t reg, uint32_t value);

// A 16:16 segment:offset value as a linear address.
uint32_t MapVirtualToPhysical(uint32_t farAddress);

// The warm-start reset of the board.
uint32_t Warmstart_DOS(int board);

// Fills a 168-byte link information record (KPL_LINK_INFO): 0, else the
// library's result.
int GetLinkInfo(int board, uint8_t *info);

#endif
