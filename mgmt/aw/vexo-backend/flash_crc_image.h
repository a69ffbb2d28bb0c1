// The CRC checks of flash_crc.h on an image already in memory (`image`,
// `size` bytes), so the file is not opened and read again for them.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_FLASH_CRC_IMAGE_H
#define HLVD_MGMT_AW_VEXO_BACKEND_FLASH_CRC_IMAGE_H

#include <cstdint>

int is_required_flash_image(int aw_port_number, const uint8_t *image, uint64_t size, uint32_t domainId,
                            uint32_t phba_port, int driver_type, uint16_t op_type, uint32_t max_size, uint32_t offset,
                            uint32_t header_size, uint8_t offset_supported);

int if_required_redboot_flash_image(int aw_port_number, const uint8_t *image, uint64_t size, uint32_t domainId,
                                    uint32_t phba_port, int driver_type);

#endif
