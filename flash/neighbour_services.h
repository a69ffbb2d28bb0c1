// The FC HBA firmware engine's services that the flash front end and
// adapter discovery use, gathered in one include (the front end's own FC
// image file readers are in flash/fc_image_files.h).
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
#include "hba/relative_download.h"
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

#endif
