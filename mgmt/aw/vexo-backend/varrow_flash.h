// Varrow firmware: the firmware object file is written whole, header
// included, to the adapter object "/prg" in chunks of the write-object
// command; named adapter objects are read back the same way and appended to
// a host file.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_VARROW_FLASH_H
#define HLVD_MGMT_AW_VEXO_BACKEND_VARROW_FLASH_H

#include <cstdint>

#include "mgmt/vexo/core/hm_types.h"

#pragma pack(push, 1)
// The first 184 bytes of a Varrow firmware object file (little-endian; a
// header stored big-endian is repaired by process_obj_file).
typedef struct _VARROW_OBJ_HEADER {
    uint32_t filesize;   // the whole file
    uint16_t magicnumlo; // 0x0001
    uint16_t magicnumhi; // 0xFEAA
    uint32_t id_type;    // bits 0-15 reserved, 16-23 id, 24-31 filetype
    char revname[128];
    char date[12];
    char revision[32];
} VARROW_OBJ_HEADER;
#pragma pack(pop)
static_assert(sizeof(VARROW_OBJ_HEADER) == 184, "Varrow object header is 184 bytes");

#define VARROW_MAGIC_LO 0x0001
#define VARROW_MAGIC_HI 0xFEAA
#define VARROW_FILETYPE_FIRMWARE 0xF7
#define VARROW_FIRMWARE_OBJECT "/prg"
#define VARROW_DUMP_OBJECT "/dbg/dump.bin"
#define VARROW_VPD_OBJECT "/vpd/ntr_pf.vpd"

// Objects of varrow_get_read_object.
#define VARROW_READ_DUMP 1
#define VARROW_READ_VPD 2

// Checks the header of the object file: 0 valid; 1 refused, with the last
// status 39 (cannot be opened or read), 31 (no memory) or 263 (not a
// firmware object of this size).
int process_varrow_flash(const char *file_name);
// Copies and checks the header of an object of `size` bytes: 0, or 1 with
// the last status 263.
int process_obj_file(const uint8_t *buffer, uint64_t size, VARROW_OBJ_HEADER *header);

extern "C" {
// Writes the file to "/prg": 0 written and no reset asked for; 55 written,
// the firmware asks for a reset; 1 failed (last status 39 or 31 when the
// file cannot be read).
int VEXO_varrow_fw_download(node *adapter, int aw_port_number, const char *file_name, uint32_t domainId,
                            uint32_t phba_port, int driver_type);
}
// The chunked write of `size` bytes: 0, 55 or 1.
int flash_varrow_image(node *adapter, int aw_port_number, const uint8_t *buffer, uint32_t size, uint32_t domainId,
                       uint32_t phba_port, int driver_type);

// Appends the object `flag` names (VARROW_READ_DUMP, VARROW_READ_VPD) to the
// file: 0, or 1 (last status 16, 65 or 271).
int varrow_get_read_object(node *adapter, int aw_port_number, const char *file_name, uint32_t domainId,
                           uint32_t phba_port, int driver_type, int flag);

// Reverse the bytes of each 32-bit word (swap32_buffer) or exchange the
// 16-bit halves of each word (swap16_buffer) over `size` rounded up to a
// multiple of 4; both answer the number of words.
int swap32_buffer(uint32_t *buffer, int size);
int swap16_buffer(uint32_t *buffer, int size);

#endif
