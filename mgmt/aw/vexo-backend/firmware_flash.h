// Firmware image flashing of a converged adapter: the handler of the
// adapter's UpgradeFlashROM action and the image readers and writers behind
// it, by ASIC generation: AW2 (eight fixed regions of a UFI file), AW3 (a
// fixed table of ten components), Trelmont (the file's flash directory, with
// components whose CRC matches the adapter's skipped) and Varrow (the
// firmware object file, varrow_flash.h).
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_FIRMWARE_FLASH_H
#define HLVD_MGMT_AW_VEXO_BACKEND_FIRMWARE_FLASH_H

#include <cstdint>
#include <cstdio>

#include "flash/ufi_image.h"
#include "mgmt/vexo/core/hm_types.h"

// The flash every generation's components must fit.
#define VEXO_FLASH_SIZE 0x1000000u

// Results of VEXO_get_ufi_type besides the generations 2, 3 and 5.
#define VEXO_UFI_TYPE_UNKNOWN 0xFFFF
#define VEXO_UFI_TYPE_NO_FILE 39

// One component of the AW3 table.
struct flash_comp {
    uint32_t offset; // flash offset, also its place in the file after the headers
    int optype;
    int size;
    int img_type; // the directory entry type that marks it present
};
#define AW3_FLASH_COMPONENTS 10
extern const flash_comp flash_types[AW3_FLASH_COMPONENTS];

// Op type of the AW3 PHY firmware; no flash region number.
#define AW3_PHY_OPTYPE 99

// The action handler: context is the adapter group, params[0] the image
// file. 0 on success (last status 55, or unchanged for a Varrow image that
// needs no reset); otherwise 1 or the failing status, with a failing last
// status recorded.
VEXO_status_t do_UpgradeFlashROM(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

extern "C" {
// The generation a UFI file is built for (2, 3 or 5; VEXO_UFI_TYPE_UNKNOWN;
// VEXO_UFI_TYPE_NO_FILE when it cannot be opened), reading the AW2 header
// when `aw_type` is 2. Sets *flash_ufi_type to the UFI sub-type of AW3 and
// Trelmont files.
int VEXO_get_ufi_type(const char *file_name, uint32_t *flash_ufi_type, int aw_type);

// AW3 (aw_type 3) and Trelmont (5) images: 0, 1, 318, 336 or 337.
int VEXO_fw_download(node *adapter, int aw_port_number, const char *file_name, uint32_t domainId, uint32_t phba_port,
                     int driver_type, int aw_type);
int VEXO_flash_aw3_image(node *adapter, int aw_port_number, FILE *fp, uint32_t num_imgs, uint32_t domainId,
                         uint32_t phba_port, int driver_type);
int VEXO_flash_trelmont_image(node *adapter, int aw_port_number, FILE *fp, uint32_t num_imgs, uint32_t domainId,
                              uint32_t phba_port, int driver_type);
}

// 1 when the AW3 NC-SI firmware is to be written: the active firmware is
// 3.102.148.0 or later.
int is_ncsi_required(node *adapter);
// 1 when the AW3 PHY firmware is to be written: the PHY is a 10GBASE-T one
// (type 13, interface 6), or the adapter has no function to ask.
int phy_flashing_required(node *adapter);
// 1 when the Trelmont region method applies: the active firmware's major
// release is 10.0.
int trelmont_region_method(const char *active_version);

// 1 and the index of the first of the 32 entries of that type, else 0.
int is_comp_in_ufi(const FLASHDIR_TYPE *dir, uint32_t entry_type, int *index);
// The flash directory found at a 32-byte step from `start`: 0 found and
// copied, 1 not found.
int get_flash_dir_aw3(uint64_t header_size, FILE *fp, FLASHDIR_TYPE *dir);
int get_flash_dir(FILE *fp, AW2_FLASHDIR_TYPE *dir);
// The AW2 header from the start of the file: 0 when it has the signature.
int get_ufi_header(FILE *fp, AW2_FILE_HEADER_T *header);

// AW2 files: 0 valid; 1 with the last status 39 or 40.
int ChkForValidUFI(const char *file_name, AW2_FILE_HEADER_T *header, AW2_FLASHDIR_TYPE *dir);
// `length` bytes from file offset 96 + `offset` in a counted buffer the
// caller releases: 0, else 1.
int ProcessWriteFlash(const char *file_name, uint32_t offset, uint32_t length, uint8_t **data);
int ProcessFlashFirmwareCmd(const char *file_name, uint32_t offset, uint32_t length, uint8_t **data);

#endif
