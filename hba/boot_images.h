// Boot image maintenance of FC adapters of the 2 MB family: the LOAD_EXP_ROM
// sequence that has the adapter load the boot image named in words 13-14 of
// the wakeup parameters into its expansion ROM.
//
// Not here yet: the boot-image table read from the flash load list, the
// keep-the-active-image rules, the DWC and BWC wakeup builders and the checks
// of the PRGs inside a DWC image. They come with the absolute download.
#ifndef HLVD_HBA_BOOT_IMAGES_H
#define HLVD_HBA_BOOT_IMAGES_H

#include <cstdint>

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

#endif
