// Relative (PRG) download of an FC adapter: one PRG image written through the
// DOWN_LOAD mailbox command, a file of several PRGs downloaded one by one,
// and the removal of flash images those PRGs supersede.
#ifndef HLVD_HBA_RELATIVE_DOWNLOAD_H
#define HLVD_HBA_RELATIVE_DOWNLOAD_H

#include <cstdint>
#include <cstdio>

#include "hba/download_entry.h"
#include "hba/wakeup_parms.h"

const uint8_t MBX_DOWN_LOAD = 0x1C;
// Byte 4 of a DOWN_LOAD command.
const uint8_t DOWN_LOAD_ERASE = 0x1A;
const uint8_t DOWN_LOAD_DATA = 0x0A;
const uint8_t DOWN_LOAD_LAST = 0x01;
const uint8_t DOWN_LOAD_DWC = 0x80;
// Bytes of image one data command carries, and where they start.
const uint32_t DOWN_LOAD_PIECE_BYTES = 108;
const uint32_t DOWN_LOAD_DATA_OFFSET = 20;
// The adapter's answer when its flash has no room for the image.
const uint32_t DOWN_LOAD_NO_FLASH = 241;

const uint16_t RELATIVE_ERASE_FIRST = 2;
const uint16_t RELATIVE_TRANSFER_PIECES = 1;

// Program ids of the PRGs downloaded by the last ProcessDWCviaPRGs, the
// first DWC_PRGS_MAX of them.
const uint32_t DWC_PRGS_MAX = 10;
extern uint32_t DWC_PRGsList[DWC_PRGS_MAX][2];
extern uint32_t NumPRGs_inDWC;

// Downloads the PRG image at the file's position. eraseMode 2 erases first;
// transferMode 1 sends 108-byte pieces (the only mode). In DWC-via-PRG mode
// (dwcMode non-zero) the program id goes into the 60-byte wakeup copy
// `wakeupParms` and DWC_PRGsList instead of the adapter's wakeup parameters,
// and bytes may follow the image. Answers 0, a DOWNLOAD_STATUS code or the
// adapter's mailbox status; after a 241 of the erase the file is back at the
// image start.
DOWNLOAD_STATUS StartRelativeDownloadWithFeedback(int board, uint16_t eraseMode, uint16_t transferMode, FILE *file,
                                                  uint8_t *wakeupParms, uint16_t dwcMode, uint8_t *signedImage,
                                                  DownLoadStatusStrCallback textCallback,
                                                  DownLoadStatusCallback percentCallback);

// Downloads every PRG of a file (behind an optional bitmap word, bit 31 set)
// in DWC-via-PRG mode. `reserved` is not read. 0, 0xFFF90001 (also for a PRG
// length below the header or a PRG running past the file), 0xFFF90002 or
// NO_FLASH_AVAILABLE_ERROR.
DOWNLOAD_STATUS ProcessDWCviaPRGs(int board, FILE *file, int reserved, WAKEUP_PARMS *copy, uint8_t *signedImage,
                                  DownLoadStatusStrCallback textCallback, DownLoadStatusCallback percentCallback);

// Deletes each flash load-list image that a PRG of DWC_PRGsList of its type
// supersedes.
void DeleteOldPRGs(int board);

// DeleteOldPRGs once the wakeup parameters can be read: 0 or
// WAKEUP_PARMS_ERROR.
DOWNLOAD_STATUS CleanFlash(int board);

#endif
