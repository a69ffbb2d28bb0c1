// Wakeup parameters of an FC adapter: the 60-byte record in configuration
// region 4 naming, by program id, the images the adapter starts; its read,
// the slot of each image type, the UPDATE_CFG write and the single-slot
// operations.
#ifndef HLVD_HBA_WAKEUP_PARMS_H
#define HLVD_HBA_WAKEUP_PARMS_H

#include <cstdint>
#include <cstdio>

#include "hba/download_entry.h"

#pragma pack(push, 1)
// 15 words in host order; a slot is two words (program id word 0, word 1).
struct WAKEUP_PARMS {
    uint32_t words[15];
};
#pragma pack(pop)

static_assert(sizeof(WAKEUP_PARMS) == 60, "WAKEUP_PARMS is 60 bytes");

const uint32_t WAKEUP_PARMS_WORDS = 15;
// First word of each slot.
const int WAKEUP_SLOT_STUB = 0;    // type 2
const int WAKEUP_SLOT_BOOT = 3;    // type 3; zero = boot code disabled
const int WAKEUP_SLOT_SLI1 = 5;    // type 6
const int WAKEUP_SLOT_SLI2 = 7;    // type 7
const int WAKEUP_SLOT_SLI3 = 9;    // type 11
const int WAKEUP_SLOT_SLI4 = 11;   // type 14
const int WAKEUP_SLOT_EXP_ROM = 13; // boot image in the expansion ROM (type 3)
// No slot for the type.
const int WAKEUP_NO_SLOT = -1;

// Reads the record into a 60-byte buffer: 0, else the region read's failure
// (WAKEUP_PARMS_ERROR when the region holds fewer than 60 bytes); the buffer
// is left alone on failure.
int ReadWakeupParms(int board, uint8_t *parms);

// The first word of the slot of a program id's type (bits 24-31 of word 0),
// or WAKEUP_NO_SLOT.
int WakeupSlotOf(uint32_t programId0);

// Writes a program id into its slot of the adapter's record: 0,
// WAKEUP_PARMS_ERROR (read failed), WAKEUP_SLOT_ERROR (nothing written), the
// failure of the expansion-ROM load of a boot id (nothing written), or the
// UPDATE_CFG mailbox status.
DOWNLOAD_STATUS UpdateWakeupParms(int board, const uint32_t *programId);

// The same slot writes on the caller's copy, without UPDATE_CFG; type 14 has
// no slot here. 0, WAKEUP_SLOT_ERROR or the expansion-ROM load's failure.
DOWNLOAD_STATUS UpdateTempWakeupParms(int board, const uint32_t *programId, WAKEUP_PARMS *copy);

// Writes the whole record: 0 or WAKEUP_PARMS_ERROR (gErrorData holds the
// command and its status).
DOWNLOAD_STATUS UpdateAbsWakeupParms(int board, const WAKEUP_PARMS *record);

// 1 when the slot of the id's type holds its word 0, 0 when not or for a type
// without a slot, else the read's failure code.
int IsWakeupImage(int board, const uint32_t *programId);

// Clears the boot code slot (words 3-4): 0, the read's failure code, or
// WAKEUP_PARMS_ERROR when the write fails.
int32_t DisableBootBios(int board);

// Builds a record from the PRGs of an AIF image (file positioned at its
// header; the 128-byte header goes to aifHeader, words in host order): 1 when
// a slot was filled (*out then holds the record), 0 otherwise, 0xFFF90001
// when the header cannot be read.
int32_t BuildWakeupParms(int board, FILE *file, uint8_t *aifHeader, WAKEUP_PARMS *out);

#endif
