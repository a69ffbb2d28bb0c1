// Absolute download of FC adapters: AIF images (a DWC, BWC or FWC file holds
// one or more, an .ALL file a set of operational code, boot code and
// firmware), each checked against the adapter family and loaded with the
// LOAD_AREA command into its flash area; the wakeup parameters are written
// once at the end. Also the older single-image path with LOAD_SM.
#ifndef HLVD_HBA_ABSOLUTE_DOWNLOAD_H
#define HLVD_HBA_ABSOLUTE_DOWNLOAD_H

#include <cstdint>
#include <cstdio>

#include "hba/boot_images.h"
#include "hba/config_regions.h"
#include "hba/download_entry.h"
#include "hba/wakeup_parms.h"

const uint8_t MBX_LOAD_AREA = 0x81;
// LOAD_AREA flag byte (4), sub-commands (6) and progress answers (5).
const uint8_t LOAD_AREA_ERASE = 0x18;
const uint8_t LOAD_AREA_LOAD = 0x0A;
const uint8_t LOAD_AREA_LAST = 0x01;
const uint8_t LOAD_AREA_ERASE_FIRST = 1;
const uint8_t LOAD_AREA_ERASE_NEXT = 2;
const uint8_t LOAD_AREA_PIECE = 3;
const uint8_t LOAD_AREA_LAST_PIECE = 4;
const uint8_t LOAD_AREA_ERASED = 2;
const uint8_t LOAD_AREA_MORE = 3;
const uint8_t LOAD_AREA_LOADED = 4;
// Erase commands sent for one image before the adapter is given up on: a
// 64 KiB sector each, far more than any flash area holds.
const uint32_t LOAD_AREA_MAX_ERASES = 256;
// Bytes of image data one load command carries.
const uint32_t LOAD_PIECE_BYTES = 108;

// AIF header words the engine uses.
const uint32_t AIF_WORDS = 32;
const int AIF_KIND_WORD = 2;
const int AIF_AREA_WORD = 4;
const int AIF_RO_SIZE_WORD = 5;
const int AIF_RW_SIZE_WORD = 6;
const int AIF_BASE_WORD = 10;
const int AIF_ERASE_WORD = 11;
const int AIF_ID_WORD = 14;
// File offset of the word whose id byte names an AWC image's family.
const long AIF_FAMILY_ID_OFFSET = 624;
// Adapter memory word holding the running AWC version.
const uint32_t AWC_VERSION_ADDRESS = 496;

// Result of the older path on the families it leaves to SLI-2 firmware.
const int32_t NOT_IN_SLI2 = 771;

// Downloads every AIF image of the file (kind of the download entry,
// checksum kind 1 or 2): 0, a DOWNLOAD_STATUS code or a mailbox status.
// Every image is checked before any is loaded.
DOWNLOAD_STATUS StartAbsDownload2MbWithFeedback(int board, int32_t fileKind, FILE *file, int checksumKind,
                                                uint8_t *signedImage, DownLoadStatusStrCallback textCallback,
                                                DownLoadStatusCallback percentCallback);

// Loads the one AIF image at `offset`, updating the wakeup copy.
DOWNLOAD_STATUS ProcessLoadAreaAbs2MbWithFeedback(int board, int32_t fileKind, int setMode, FILE *file, long offset,
                                                  int checksumKind, WAKEUP_PARMS *copy, uint8_t *signedImage,
                                                  DownLoadStatusStrCallback textCallback,
                                                  DownLoadStatusCallback percentCallback);

// Whether the AIF image whose header (32 host-order words) is given fits
// the adapter; the file is positioned at the image and left there. 0,
// 0xFFF70001, NOT_AUTHENTICATED_ERROR, 0xFFF90001 or a header read's failure.
DOWNLOAD_STATUS CheckAbsImageFile(int board, FILE *file, const uint32_t *aifHeader);

// The family code of the id byte at file offset 624, or the whole word when
// the id is not mapped; 0xFFF90001 when it cannot be read. *markedId (may be
// null) receives the id when it is one of the marked ones. The position is
// left behind the word.
uint32_t GetAbsImageType(FILE *file, uint8_t *markedId);

// 1 for an AIF file, 2 otherwise, 0xFFF90001 on a read or seek failure; the
// position is restored.
uint32_t GetImageType(FILE *file);

// The older single-image absolute download with LOAD_SM, from the current
// position: 0, INVALID_IMAGE_ERROR codes, 0xFFF70001, NOT_IN_SLI2 or
// WAKEUP_PARMS_ERROR.
DOWNLOAD_STATUS StartAbsDownloadWithFeedback(int board, FILE *file, int checksumKind,
                                             DownLoadStatusStrCallback textCallback,
                                             DownLoadStatusCallback percentCallback);

#endif
