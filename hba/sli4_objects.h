// Named objects in the storage of SLI-4 FC functions (firmware "/prg", VPD
// "/vpd/fc_pf.vpd"): read, write, list and delete through SLI_CONFIG
// commands, the grouped-image (".grp") header check, the firmware download
// into "/prg" and the VPD object read. Results are RM_STATUS codes, except
// the two "written, activate it" results of the object write.
#ifndef HLVD_HBA_SLI4_OBJECTS_H
#define HLVD_HBA_SLI4_OBJECTS_H

#include <cstdint>

#include "flash/rm_status.h"

#pragma pack(push, 1)
// The first 140 bytes of a grouped image file; the three words are stored
// big-endian and are in host order after SwapGRPHeaderForBigEndian.
struct _GRP_HEADER {
    uint32_t word0;     // not examined
    uint32_t magic;     // GRP_MAGIC or GRP_G6_MAGIC
    uint32_t signature; // bits 16-31: GRP_SIGNATURE or GRP_G6_SIGNATURE
    char buildText[128]; // zero-terminated; leading digits and dots = version
};
#pragma pack(pop)

static_assert(sizeof(_GRP_HEADER) == 140, "_GRP_HEADER is 140 bytes");

const uint32_t GRP_HEADER_SIZE = 140;
const uint32_t GRP_MAGIC = 0xFEAA0001u;
const uint32_t GRP_G6_MAGIC = 0xFEAA0003u;
const uint16_t GRP_SIGNATURE = 0xF7A2;
const uint16_t GRP_G6_SIGNATURE = 0xF70C;

// Object opcodes (subsystem common).
const uint8_t OPCODE_COMMON_READ_OBJECT = 0xAB;
const uint8_t OPCODE_COMMON_WRITE_OBJECT = 0xAC;
const uint8_t OPCODE_COMMON_READ_OBJECT_LIST = 0xAD;
const uint8_t OPCODE_COMMON_DELETE_OBJECT = 0xAE;

// Bytes per READ_OBJECT or WRITE_OBJECT request, and per object-list entry.
const uint32_t OBJECT_TRANSFER_UNIT = 1024;
const uint32_t OBJECT_LIST_ENTRY_SIZE = 160;
// Longest object name, and the longest a list may be asked of.
const uint32_t OBJECT_NAME_MAX = 103;
const uint32_t OBJECT_LIST_NAME_MAX = 102;

// The VPD object: a 140-byte head and a 4-byte tail around the VPD.
const uint32_t VPD_OBJECT_HEAD = 140;
const uint32_t VPD_OBJECT_TAIL = 4;
const uint32_t VPD_OBJECT_ROOM = 2048;

extern const char *const FIRMWARE_OBJECT_NAME; // "/prg"
extern const char *const VPD_OBJECT_NAME;      // "/vpd/fc_pf.vpd"

// Results of the object write besides RM_STATUS codes: the object was
// written and a reboot, or an adapter reset, activates it.
const int32_t OBJECT_WRITE_REBOOT_REQUIRED = static_cast<int32_t>(0xFFE80000u);
const int32_t OBJECT_WRITE_RESET_REQUIRED = static_cast<int32_t>(0xFFE90000u);

// Number of entries of the object directory `name`.
RM_STATUS SLI_CFG_GetObjectListCount(int board, const char *name, uint32_t *count);
// The directory's 160-byte entries into `entries` (room for `capacity`
// entries); count: entries of the directory.
RM_STATUS SLI_CFG_ListObjects(int board, uint8_t *entries, uint32_t capacity, const char *name, uint32_t *count);
RM_STATUS SLI_CFG_GetObjectSize(int board, const char *name, uint32_t *size);
// The whole object into buf (buf_len a multiple of 4, at least its size);
// got: bytes read, or the object's size when the buffer is too small.
RM_STATUS SLI_CFG_ReadObject(int board, const char *name, uint8_t *buf, uint32_t buf_len, uint32_t *got);
// len bytes (a multiple of 4) in 1024-byte requests; flag 0 asks the adapter
// not to activate the object. Also OBJECT_WRITE_REBOOT_REQUIRED or
// OBJECT_WRITE_RESET_REQUIRED.
int32_t SLI_CFG_WriteObject(int board, const char *name, const uint8_t *data, uint32_t len, uint32_t *written,
                            int flag);
RM_STATUS SLI_CFG_DeleteObject(int board, const char *name);

// The header of a grouped image: 0, 1 (wrong magic or signature), 197 (file
// shorter than the header) or 199 (cannot be read). header receives the
// header in host order.
RM_STATUS VerifyGRP_InitHeader(_GRP_HEADER *header, const char *path);
RM_STATUS VerifyGRP_G6_InitHeader(_GRP_HEADER *header, const char *path);
void SwapGRPHeaderForBigEndian(_GRP_HEADER *header);

// 0, or 194 when the grouped image's header does not check.
RM_STATUS FFS_VerifyFirmware(int unused1, int unused2, const char *path);
RM_STATUS FFS_VerifyFirmwareV2(const char *path);
RM_STATUS FFS_VerifyFirmwareG6(const char *path);

// The file `path` written whole as object `object_name`: 0, 1, 4, 8 or a
// SLI_CFG_WriteObject result.
int32_t FFS_DownloadFile(int board, const char *object_name, const char *path);
// FFS_DownloadFile into "/prg".
int32_t FFS_DownloadFirmware(int board, const char *path);

// The VPD of object `name` without its head and tail into dst (size bytes of
// room); len: bytes of VPD.
RM_STATUS FFS_ReadVPD(int board, const char *name, uint8_t *dst, uint32_t size, uint32_t *len);

#endif
