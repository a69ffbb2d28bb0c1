// Operations of neighbouring parts that the download entry calls but that
// later work brings: the FC engine's classic download paths (the front end's
// FC image files are in flash/fc_image_files.h). Until they land their bodies live in
// flash/neighbour_services_interim.cpp, which lists them and says what each
// answers meanwhile.
#ifndef HLVD_FLASH_NEIGHBOUR_SERVICES_H
#define HLVD_FLASH_NEIGHBOUR_SERVICES_H

#include <cstdint>
#include <cstdio>

#include "flash/fc_image_files.h"
#include "flash/rm_status.h"
#include "hba/absolute_download.h"
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

#endif
