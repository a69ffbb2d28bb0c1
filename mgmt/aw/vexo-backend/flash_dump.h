// The PCI dump of a converged adapter: its 16 MiB flash image, read from the
// firmware in pieces and written to the file the caller names.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_FLASH_DUMP_H
#define HLVD_MGMT_AW_VEXO_BACKEND_FLASH_DUMP_H

#include "mgmt/vexo/core/hm_types.h"

#define VEXO_FLASH_DUMP_SIZE 0x1000000u // 16 MiB
#define VEXO_FLASH_DUMP_PIECE 64000u    // data bytes per firmware command

// Handler of the adapter's RetrieveStratolinkPCIDump action; params[0] is
// the output file. 0 when the whole image was written; otherwise 1 or the
// failing command's status, with a failing last status. The file is
// replaced only by a complete dump.
VEXO_status_t do_RetrieveStratolinkPCIDump(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

#endif
