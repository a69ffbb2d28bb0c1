// Operations of the client layer that later work brings. Until then each one
// fails with RM_STATUS_ERROR_FEATURE_NOT_SUPPORTED (never 0), so a caller
// never takes the missing operation for one that was done.
#ifndef HLVD_MAL_MAL_PENDING_H
#define HLVD_MAL_MAL_PENDING_H

#include "flash/rm_status.h"
#include "mgmt/vexo/core/hm_types.h"

// Writes the adapter's firmware event log (snapshot mode 0 "FLASH", 1 "RAM",
// 2 "DDR") into the file at path. 4 for a missing path. Still to come: the
// event-log read through the management API; until it lands every other call
// answers 14.
RM_STATUS GenerateEfdDump(node_tag_t adapter, int mode, const char *path, int reserved);

#endif
