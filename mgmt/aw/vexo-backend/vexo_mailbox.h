// Command buffers around a caller's payload, and the mapping of a failing
// firmware response to a management status.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_VEXO_MAILBOX_H
#define HLVD_MGMT_AW_VEXO_BACKEND_VEXO_MAILBOX_H

#include <cstdint>

#include "mgmt/vexo/core/vexo_status.h"

// Direction codes of VEXO_prepare_mailbox_cmd: any non-zero code copies the
// answer's payload back into the caller's record.
#define VEXO_DIR_NONE 0
#define VEXO_DIR_READ 1
#define VEXO_DIR_WRITE 2
#define VEXO_DIR_READ_WRITE 3

extern "C" {
// Builds a command buffer of IoctlBufferSize bytes (header and payload),
// sends it to function aw_port_number through the driver of driver_type
// (1 iSCSI, 2 NIC) and, for a non-zero Direction, copies the answer's
// payload back whatever the status. 0 when the firmware answered status 0;
// 1 when the command was not built or not answered (the payload is then left
// as it was); otherwise the mapped status of the failing response.
VEXO_status_t VEXO_prepare_mailbox_cmd(int aw_port_number, uint8_t PageCode, uint8_t SubSytemCode, uint32_t Payloadsize,
                                       uint16_t IoctlBufferSize, void *PayLoadBuffer, uint8_t Direction,
                                       uint8_t domainId, uint8_t phba_port, int driver_type);

// The same for a command whose answer may not fit: status 0 or 4 counts as
// success, copies the payload back and stores the low 16 bits of the
// answer's actual length in *PayLoadLength. Other statuses copy nothing.
VEXO_status_t VEXO_get_mailbox_cmd_size(int aw_port_number, uint8_t PageCode, uint8_t SubSystemCode,
                                        uint16_t Payloadsize, uint16_t IoctlBufferSize, void *PayLoadBuffer,
                                        uint16_t *PayLoadLength, uint32_t domainId, uint32_t phba_port,
                                        int driver_type);
}

// The management status of a failing firmware response (status 0 gives 0);
// for some responses it also stores the last status.
VEXO_status_t VexoStatusFromIOCTLResponse(uint32_t status, uint32_t additional_status, uint8_t PageCode);

// The driver kind for adapter instance i: 1 when it has an iSCSI function,
// else 2 with a NIC function, else 3 with another kind, else 4.
int get_the_protocol(int i);

#endif
