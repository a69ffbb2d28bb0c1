// The adapter mailbox commands of the FC engine, one builder per command, and
// the queries built from them: JEDEC word, memory-bus sizes, IEEE address,
// FFV name, blade-board test and adapter state.
//
// Builders answer 0, MBOX_FAILED (gErrorData then holds the command and its
// status) or, for ReadRev, ReadRev4 and WriteUla, the failing status itself.
#ifndef HLVD_HBA_MBOX_COMMANDS_H
#define HLVD_HBA_MBOX_COMMANDS_H

#include <cstdint>

#include "hba/mbox_transport.h"

#pragma pack(push, 1)
// Parameters of the FFV name command behind its 16-byte header.
struct _MANAGE_FFV_PARAMS {
    uint8_t wr;         // bit 0: 0 read, 1 write
    uint8_t ffv_length; // name length when writing; the name's in the reply
    uint16_t rsvd;
    char ffv_string[32];
};
#pragma pack(pop)

static_assert(sizeof(_MANAGE_FFV_PARAMS) == 36, "_MANAGE_FFV_PARAMS is 36 bytes");

// Command codes.
const uint8_t MBX_READ_NV = 0x02;
const uint8_t MBX_INIT_LINK = 0x05;
const uint8_t MBX_CONFIG_LINK = 0x07;
const uint8_t MBX_CONFIG_RING = 0x09;
const uint8_t MBX_READ_CONFIG = 0x0B;
const uint8_t MBX_READ_STATUS = 0x0E;
const uint8_t MBX_READ_REV = 0x11;
const uint8_t MBX_DUMP_MEMORY = 0x17;
const uint8_t MBX_RESTART = 0x1A;
const uint8_t MBX_DEL_LD_ENTRY = 0x1D;
const uint8_t MBX_ULA = 0x98;
const uint8_t MBX_SLI_CONFIG = 0x9B;

const uint32_t MBOX_FAILED = 0xFFFF0000u;
// DumpMemory1's answer when it leaves the command to DumpMemory.
const uint32_t DUMP_MEMORY_DECLINED = 0xFF000000u;
// The reply area of the 32-word mailbox behind offset 20.
const uint32_t DUMP_MEMORY_MAX_WORDS = 27;
// DumpMemory1's answer for an address outside the adapter's memory window.
const uint32_t DUMP_MEMORY_BAD_ADDRESS = 273;
// InitializeEmbertip's answer when a register write fails.
const uint32_t EMBERTIP_INIT_FAILED = 0xFFFD0000u;
// Memory words read by the queries.
const uint32_t JEDEC_ID_ADDRESS = 0x80001C;
const uint32_t SRAM_SIZE_ADDRESS = 1928;
// The access word the ULA commands carry.
const uint32_t ULA_ACCESS_WORD = 0x00000001u;
// Reply sizes of the read builders.
const uint32_t READ_NV_BYTES = 40;
const uint32_t READ_NV_MANAGED_BYTES = 252;
const uint32_t READ_CONFIG_BYTES = 44;
const uint32_t READ_STATUS_BYTES = 48;
// The firmware name of a revision read: 16 bytes at offset 36.
const uint32_t READ_REV_NAME_OFFSET = 36;
const uint32_t READ_REV_NAME_LENGTH = 16;
// FFV name results and length.
const uint32_t FFV_NAME_LENGTH = 32;
const uint32_t FFV_READ_FAILED = 81;
const uint32_t FFV_WRITE_FAILED = 82;

// 1 at load and never written: DumpMemory always builds its own command.
extern int16_t No_Sli2;

// Revision read into the caller's 384-byte buffer: 0, else the status.
uint32_t ReadRev(int board, uint8_t *mailbox);
uint32_t ReadRev4(int board, uint8_t *mailbox);

// out: 40 bytes (252 on functions handled through the management library).
uint32_t ReadNvparms(int board, uint8_t *out);
// params: record words; InitLink uses word 1, ConfigLink words 1 and 3 to 7.
uint32_t InitLink(int board, const uint32_t *params);
uint32_t ConfigLink(int board, const uint32_t *params);
// params: an 8-byte record (bytes 0-3, u16 at 4 and 6).
uint32_t ConfigRing(int board, const uint8_t *params);
uint32_t ReadConfig(int board, uint8_t *out);
uint32_t ReadStatus(int board, uint8_t *out, uint32_t clear);
// count words of adapter memory from address (rounded down to a word) into
// dst; at most DUMP_MEMORY_MAX_WORDS words are asked for and copied.
uint32_t DumpMemory(int board, uint8_t *dst, uint32_t address, uint32_t count);
uint32_t DumpMemory1(int board, uint8_t *dst, uint32_t address, uint32_t count);
uint32_t Restart(int board, uint32_t flagA, uint32_t flagB);
uint32_t DeleteLoadEntry(int board, const uint32_t programId[2]);
uint32_t ReadUla(int board, uint32_t out[2]);
uint32_t WriteUla(int board, const uint32_t words[2]);

// The JEDEC word at 0x80001C, or the dump's failure code.
uint32_t ReadJedecID(int board);
uint32_t GetMaxSramSize(int board, uint32_t *first, uint32_t *second);
// 8 bytes of configuration region 16 from offset 0.
uint32_t ReadFlashIEEEAddress(int board, uint8_t *buf);
// Writes a configuration region, re-creating it first when the adapter asks.
uint32_t DoUpdateConfig4(int board, int region, uint8_t *data, uint32_t length);

// The FFV name through the SLI_CONFIG command: 0 or 81 (read) / 82 (write).
uint32_t VendorManageFFV_Read(int board, char *dst);
uint32_t VendorManageFFV_Write(int board, const char *name);
// The FFV name of a converged adapter through the management library.
uint32_t VendorManageFFV_ReadViaVEXO(int index, char *dst);
uint32_t VendorManageFFV_WriteViaVEXO(int index, const char *name);

uint32_t InitializeEmbertip(int board);
uint32_t GetAdapterState(int board);

// 1 when the entry is one of the maker's blade boards, else 0.
int isOrvaneBlade(int index);

#endif
