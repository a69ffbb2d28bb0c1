// Dumps of a function's PCI configuration space as hexadecimal text: the
// DumpNICPCIConfigRegion and DumpiSCSIPCIConfigRegion actions of the PCI
// group of a NIC or iSCSI function.
//
// Parameters: RegisterOffset (0 to 252) and Count (1 to 64). The text holds
// the bytes from RegisterOffset on, at most Count of them and none past
// byte 255, each as "%02x ", with a line break before the 17th, 33rd and
// 49th byte; it is the message of last status 61. A failed read gives
// status 121.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_PCI_CONFIG_DUMP_H
#define HLVD_MGMT_AW_VEXO_BACKEND_PCI_CONFIG_DUMP_H

#include <cstddef>
#include <cstdint>

#include "mgmt/vexo/core/hm_types.h"

VEXO_status_t do_DumpNICPCIConfigRegion(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_DumpiSCSIPCIConfigRegion(node *context, node *action,
                                          char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// The dump text of `count` bytes of `space` from `offset` into `out`
// (`size` bytes, at least 200 hold the longest text).
void pci_dump_text(const uint8_t space[256], int offset, int count, char *out, size_t size);

#endif
