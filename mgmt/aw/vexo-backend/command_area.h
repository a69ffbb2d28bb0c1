// Commands built in a buffer the caller keeps for a whole transfer (a
// flash write, a flash dump): the buffer is a whole pass-through area, so
// the callback drivers are handed it as it is, without a copy of the
// command on the way in and of the answer on the way out.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_COMMAND_AREA_H
#define HLVD_MGMT_AW_VEXO_BACKEND_COMMAND_AREA_H

#include <cstdint>

#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl_records.h"

// Bytes of a command area: the pass-through area of the callback drivers.
#define VEXO_COMMAND_AREA_SIZE VEXO_PASSTHROUGH_SIZE

// VEXO_IssueIOCTL for a buffer of `capacity` bytes: one of at least
// VEXO_COMMAND_AREA_SIZE bytes is handed to a callback driver in place (its
// bytes past the command are the caller's to keep zero); a smaller one
// goes as VEXO_IssueIOCTL sends it.
VEXO_status_t VEXO_IssueIOCTLInArea(os_handle_t oshandle, uint8_t PageCode, uint8_t SubSystemCode, uint32_t PageLength,
                                    void *IoctlBuffer, uint32_t capacity, uint8_t domainId, uint8_t phba_port,
                                    uint32_t driver_type, int aw_port_number);

// A zeroed command area from vexo_dmalloc (release with vexo_dfree), or
// null.
uint8_t *vexo_new_command_area();

// ioctl_upgrade_flash of the flash record `fixed` whose data_buffer_size
// bytes are at `data`, in the caller's command area `area`: the same
// commands, with no copy of the data into a record first.
VEXO_status_t ioctl_upgrade_flash_data(int aw_port_number, const FLASHROM_PARAMS *fixed, const uint8_t *data,
                                       uint8_t *area, uint32_t domainId, uint32_t phba_port, int driver_type,
                                       uint8_t offset_supported);

// ioctl_get_flash_dump of `length` (at most 64000) bytes at flash offset
// `offset` in the caller's command area `area`: on success the answer's
// data are at area + IOCTL_HEADER_SIZE + 16. The same command and the same
// results as the record form.
VEXO_status_t ioctl_get_flash_dump_in_area(int aw_port_number, uint8_t *area, uint32_t offset, uint32_t length,
                                           uint32_t domainId, uint32_t phba_port);

#endif
