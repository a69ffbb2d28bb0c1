// Maintenance operations of the client layer: firmware upgrade from an image
// file, the PCI (flash) dump, the VPD of a function and the adapter's FFV
// name, each run by name through the management API.
#ifndef HLVD_MAL_MAL_MAINTENANCE_H
#define HLVD_MAL_MAL_MAINTENANCE_H

#include <cstdint>

#include "flash/rm_status.h"
#include "mgmt/vexo/core/hm_types.h"

// Room MAL_GetVPD asks of its caller at least.
#define MAL_VPD_MIN_LENGTH 1024

extern "C" {
// Runs the adapter's UpgradeFlashROM action with the image file. Answers a
// VEXO_status_t: the last status the action left (55 for a flash that needs
// a reboot, 0 for one that needs none); 55 when the action succeeded and its
// status could not be read; -1 when neither could be; 114 when the action
// is missing. A failed action never answers 0.
int32_t MAL_UpgradeFlash(node_tag_t adapter, const char *file);
// Runs the adapter's RetrieveStratolinkPCIDump action into `file`: 0 when
// the dump was written; otherwise the last status the action left, or 114
// when the action is missing or its status unreadable. Never 0 for a dump
// that did not happen.
int32_t MAL_RetrievePCIDump(node_tag_t adapter, const char *file);
// The VPD bytes of a function (its VPD group's VPDData0 to VPDData8):
// *length is the room in `buffer` on entry (1024 to 1536) and the bytes on
// return. 0; 7 when the room is short (*length then 0, or untouched below
// 1024); 4 for a missing argument or a room above 1536; 64 or 114 from the
// library.
RM_STATUS MAL_GetVPD(node_tag_t function, uint8_t *buffer, uint32_t *length);
// Sets the adapter's FFVName: the result of the property write (0, 64,
// 114); 114 when the property is missing.
RM_STATUS MAL_SetFFVName(node_tag_t adapter, const char *name);
}

#endif
