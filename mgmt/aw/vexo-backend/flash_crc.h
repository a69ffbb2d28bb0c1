// The CRC comparisons that let the image flashing skip a component the
// adapter already holds: the 4 CRC bytes of the component in the image file
// against the 4 bytes the firmware reads back from its flash.
//
// The flash commands themselves (the chunked write ioctl_upgrade_flash and
// the read-back ioctl_get_flash_component_details) are firmware command
// wrappers of vexo_ioctl.h.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_FLASH_CRC_H
#define HLVD_MGMT_AW_VEXO_BACKEND_FLASH_CRC_H

#include <cstdint>
#include <cstdio>

// File offset of the AW2 redboot region's CRC (96 + 0x40000 - 4), and its
// place within the region on the adapter.
#define AW2_REDBOOT_CRC_FILE_OFFSET 0x4005C
#define AW2_REDBOOT_CRC_FLASH_OFFSET 0x3FFFC

// Results of is_required_flash.
#define FLASH_COMPONENT_UNCHANGED 0
#define FLASH_COMPONENT_WRITE 1
// 318 (VEXO_STATUS_INT_REBOOT_REQ): a second download after a reboot.

// A Trelmont component of `max_size` bytes at `offset` of the flash, whose
// data lie at `header_size` + `offset` in the open image: 0 when the CRC in
// its last 4 bytes equals the adapter's (skip it), 1 to write it, 318 when
// the read-back answers status 2 or 3. With `offset_supported` set the
// read-back addresses the flash by absolute offset (op type 7). The caller
// has checked that the component lies within the file; a CRC that cannot be
// read counts as changed.
int is_required_flash(int aw_port_number, FILE *fp, uint32_t domainId, uint32_t phba_port, int driver_type,
                      uint16_t op_type, uint32_t max_size, uint32_t offset, uint32_t header_size,
                      uint8_t offset_supported);

// The AW2 redboot region: 0 when the image's CRC equals the adapter's (skip
// it), 1 to write it. A file that cannot be opened skips the region.
int if_required_redboot_flash(int aw_port_number, const char *file_name, uint32_t domainId, uint32_t phba_port,
                              int driver_type);

#endif
