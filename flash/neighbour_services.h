// Operations of neighbouring parts that the front end, the adapter table and
// the download entry call but that later work brings: the FC HBA firmware
// engine (hba/), the VPD, identification and revision-display steps of
// adapter discovery (adapters/) and the front end's FC image files. Until
// they land their bodies live in flash/neighbour_services_interim.cpp, which
// lists them and says what each answers meanwhile.
#ifndef HLVD_FLASH_NEIGHBOUR_SERVICES_H
#define HLVD_FLASH_NEIGHBOUR_SERVICES_H

#include <cstdint>
#include <cstdio>

#include "flash/rm_status.h"
#include "hba/adapter_family.h"
#include "hba/config_regions.h"
#include "hba/download_entry.h"
#include "hba/load_lists.h"
#include "hba/mbox_commands.h"
#include "hba/mbox_transport.h"
#include "hba/sli4_objects.h"
#include "hba/sli_config.h"
#include "hba/vpd.h"
#include "hba/wakeup_parms.h"

// ---------------------------------------------------------------------------
// FC HBA firmware engine.

// Size of a READ_REV mailbox buffer and of the wakeup parameters.
const int READ_REV_BUFFER_SIZE = 384;
const int WAKEUP_PARMS_SIZE = 60;
const int CNTL_ADDL_ATTRIBUTES_SIZE = 496;

// The FC download paths the download entry dispatches to, and their helpers.
DOWNLOAD_STATUS StartRelativeDownloadWithFeedback(int board, uint16_t eraseMode, uint16_t transferMode, FILE *file,
                                                  uint8_t *wakeupParms, uint16_t dwcMode, uint8_t *signedImage,
                                                  DownLoadStatusStrCallback textCallback,
                                                  DownLoadStatusCallback percentCallback);
DOWNLOAD_STATUS StartAbsDownload2MbWithFeedback(int board, int32_t fileKind, FILE *file, int checksumKind,
                                                uint8_t *signedImage, DownLoadStatusStrCallback textCallback,
                                                DownLoadStatusCallback percentCallback);
int ZeroizeSecurityData(int board);

// Interim only: 0 while the engine is missing, so that device properties
// leave FC functions out instead of listing what could not be read.
int fcEngineAvailable();

// ---------------------------------------------------------------------------
// Identification and revision display of adapter discovery.

// The VPD and model-name passes over the FC-side entries.
int getAdapterVPD();
int getVarrowModelName();

// Upper-cases a text in place.
void ToUpper(char *text);

// Display text of the three low bytes of a program id word (at least 12 bytes).
void show_encoded_rev1(uint8_t index, const uint8_t *word, char *text);

// ---------------------------------------------------------------------------
// FC image files of the front end.

// 2 when the text after the first dot of the path is "aif" or "AIF", else 1.
int GetFileChecksumType(const char *path);

#endif
