// Boot image maintenance of FC adapters of the 2 MB family: the LOAD_EXP_ROM
// sequence that has the adapter load the boot image named in words 13-14 of
// the wakeup parameters into its expansion ROM, the boot images listed in
// flash, the rules that keep the active boot image, the wakeup builders of
// DWC and BWC images and the checks of the PRGs inside a DWC image.
#ifndef HLVD_HBA_BOOT_IMAGES_H
#define HLVD_HBA_BOOT_IMAGES_H

#include <cstdint>
#include <cstdio>

#include "hba/download_entry.h"
#include "hba/wakeup_parms.h"

const uint8_t MBX_LOAD_EXP_ROM = 0x9C;
// Sub-commands (byte 6) and the adapter's progress answers (byte 5).
const uint8_t LOAD_EXP_ROM_START = 8;
const uint8_t LOAD_EXP_ROM_CONTINUE = 9;
const uint8_t LOAD_EXP_ROM_FINISH = 10;
const uint8_t LOAD_EXP_ROM_BUSY = 8;     // start taken, or still loading
const uint8_t LOAD_EXP_ROM_LOADED = 9;   // loaded, ready to finish
const uint8_t LOAD_EXP_ROM_DONE = 11;    // the expansion ROM holds the image
// Continue and finish commands sent at most before the sequence is given up.
const uint32_t LOAD_EXP_ROM_MAX_STEPS = 256;

// Loads the boot image of record words 13-14 into the expansion ROM, then
// writes the record (UpdateAbsWakeupParms) unless noWrite is set; an adapter
// that is done at once has the record written whatever noWrite says.
// 0, LOAD_PROGRESS_ERROR (unexpected start answer, or no end within
// LOAD_EXP_ROM_MAX_STEPS), a failing command's mailbox status (gErrorData
// set), or the record write's WAKEUP_PARMS_ERROR.
DOWNLOAD_STATUS processLoadExpRom(int board, WAKEUP_PARMS *record, int noWrite);

// Set modes of a walk: other files, .ALL without and with a BWC image.
const int SET_MODE_SINGLE = 0;
const int SET_MODE_ALL = 1;
const int SET_MODE_ALL_BWC = 2;

// Program ids of the boot images (type 3) of the flash load list, in list
// order; slots not refilled keep what they held.
const uint32_t BOOT_ID_SLOTS = 10;
extern uint32_t bootId[BOOT_ID_SLOTS][2];
// Load-list entries read at most by one walk; a link back to an entry read
// ends it too.
const uint32_t BOOT_LIST_MAX_ENTRIES = 64;

// Fills bootId from the flash load list; a failed read ends the walk.
void GetBootBiosImages1(int board);

// Keep rules: each reads the boot images and sets *changed. 0, or the
// failure of the expansion-ROM load (gErrorData set).
// DWC1: word 13 found in flash: words 13-14 take that image.
DOWNLOAD_STATUS maintainBootBios_DWC1(int board, WAKEUP_PARMS *copy, int *changed);
// DWC2: found: words 3-4 and 13-14 take it.
DOWNLOAD_STATUS maintainBootBios_DWC2(int board, WAKEUP_PARMS *copy, int *changed);
// BWC: found: as DWC1 (and words 3-4 when word 3 is set); not found: word
// 13 (and word 3 when set) becomes newBootId.
DOWNLOAD_STATUS maintainBootBios_BWC(int board, WAKEUP_PARMS *copy, int *changed, uint32_t newBootId);

// The wakeup copy after the DWC image at `offset` (header: 32 host-order
// words): built from the adapter's current record and the image's PRGs.
// 1 changed, 0 unchanged, WAKEUP_PARMS_ERROR (record unreadable, or the
// expansion-ROM load failed), 0xFFF90001 (a PRG out of its image).
int32_t BuildWakeupParms2Mb_DWC(int board, int32_t fileKind, int setMode, FILE *file, long offset,
                                const uint32_t *aifHeader, WAKEUP_PARMS *out);
// The wakeup copy after a BWC image: 1, or WAKEUP_PARMS_ERROR when the
// expansion-ROM load failed.
int32_t BuildWakeupParms2Mb_BWC(int board, int32_t fileKind, FILE *file, long offset, const uint32_t *aifHeader,
                                WAKEUP_PARMS *copy);

// The first boot PRG of the DWC image at `offset` must fit the adapter: 0,
// 0xFFF70001, 0xFFF90001.
DOWNLOAD_STATUS ValidateBootBIOS(int board, long offset, const uint32_t *aifHeader, FILE *file);
// Brings the adapter's download key to each PRG's of the DWC image: 0,
// 0xFFF90001, or the first authentication failure.
DOWNLOAD_STATUS ValidateAuthenticatePRG(int board, long offset, FILE *file, uint8_t *signedImage);

// The boot code table a boot image of an absolute file is checked against on
// this adapter (null: any id). `forBwc` selects the BWC check's rows, else
// the DWC boot PRG's; *byPrg tells whether the PRG's own id is looked up
// rather than the container's.
const uint8_t *AbsBootTable(int board, uint32_t family, bool forBwc, bool *byPrg);

#endif
