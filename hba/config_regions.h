// Configuration regions of an FC adapter's flash: reads through the DUMP
// mailbox command, the commands that initialise, clean up and rebuild a
// region, the non-volatile parameters read, and the byte-order routines and
// header checksum shared with the image readers.
#ifndef HLVD_HBA_CONFIG_REGIONS_H
#define HLVD_HBA_CONFIG_REGIONS_H

#include <cstdint>

#include "hba/mbox_transport.h"

// Regions in use.
const int CONFIG_REGION_WAKEUP = 4;
const int CONFIG_REGION_VPD = 14;
const int CONFIG_REGION_IEEE = 16;
const int CONFIG_REGION_IEEE_SLI4 = 32;

// Mailbox command codes of this file.
const uint8_t MBX_LOAD_SM = 0x01;
const uint8_t MBX_DUMP = 0x17;
const uint8_t MBX_UPDATE_CFG = 0x1B;

// Dump types (low four bits of byte 4 of a DUMP command).
const uint8_t DUMP_TYPE_MEMORY = 1;
const uint8_t DUMP_TYPE_REGION = 2;
const uint8_t DUMP_TYPE_TEMPERATURE = 4;

// UPDATE_CFG types.
const uint8_t UPDATE_CFG_INIT = 1;
const uint8_t UPDATE_CFG_WRITE = 2;
const uint8_t UPDATE_CFG_CLEANUP = 3;

// Bytes of region data one SLI-2/3 DUMP command carries.
const uint32_t REGION_PIECE_BYTES = 108;
// Room of CLU_GenericDumpV2's data buffer.
const uint32_t GENERIC_DUMP_MAX_BYTES = 1000;
// CLU_GenericDumpV2: the adapter refused the dump, or turned it away.
const int GENERIC_DUMP_REFUSED = 217;
const int GENERIC_DUMP_BUSY = 2;
// ReconstructRegion: the flash layout of the load list is not one it knows.
const uint32_t RECONSTRUCT_UNKNOWN_LAYOUT = 200;

// Reads *count bytes (in: wanted, out: read) of a region from a byte offset
// into buffer: 0, the mailbox status of the failing piece (the count then
// unchanged), or on SLI-4 the library's result. Region 16 is region 32 on
// SLI-4. Never more than the wanted count is written.
int DumpConfigRegion(int index, int region, uint32_t offset, uint32_t *count, uint8_t *buffer);

// words × 4 bytes of a region from offset into buffer; *read = bytes read,
// 0 on failure.
int DumpConfigurationData(int board, uint8_t *buffer, int region, uint32_t words, uint32_t offset, uint32_t *read);

// A dump through the separate-buffer mailbox: 0, 1, 2 (adapter busy) or 217.
// At most min(wanted, 1000) bytes reach the buffer.
int CLU_GenericDumpV2(int board, int type, int region, uint32_t wanted, uint32_t *read, uint8_t *buffer);
int CLU_ReadConfigRegion(int board, int region, uint32_t wanted, uint32_t *read, uint8_t *buffer);

// The READ_NVPARMS request into the caller's mailbox: 0 or the status.
uint32_t ReadNvramParams(int board, MBOX_CMD *mbox);
// UPDATE_CFG initialise: 0 or MBOX_FAILED (detail in gErrorData).
uint32_t InitializeRegion(int board, int region, uint32_t size);
// UPDATE_CFG clean up: 0 or the status.
uint32_t CleanupRegionConfig(int board);
// Erases and re-creates a region: 0, the failing status, or 200 for a flash
// layout it does not know.
uint32_t ReconstructRegion(int board, int region, uint32_t size);

// Copies length bytes (taken as 16 bits) reversing the bytes of every 32-bit
// word. Bytes of a last partial word keep their place, so nothing is written
// beyond length.
void SwapBytes(const uint8_t *source, uint8_t *destination, uint32_t length);
// The same in place.
void SwapBytes0(uint8_t *buffer, uint32_t length);

// The fold of the words first..last (both included); 0 = valid.
uint32_t ValidateChecksum(const uint32_t *first, const uint32_t *last);

#endif
