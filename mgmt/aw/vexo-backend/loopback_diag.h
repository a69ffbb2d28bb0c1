// Diagnostic actions of a converged adapter: loopback modes of its physical
// ports and the network loopback test, the host-to-DDR DMA test (all on the
// adapter's Diagnostics group, whose seven result properties keep the
// outcome of the last test), and the dump of a port's transceiver page as
// hexadecimal text (on a PortDiscoveryAndConfiguration group, the text being
// the message of last status 60).
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_LOOPBACK_DIAG_H
#define HLVD_MGMT_AW_VEXO_BACKEND_LOOPBACK_DIAG_H

#include <cstddef>
#include <cstdint>

#include "mgmt/vexo/core/hm_types.h"

// Loopback modes; the query answers 255 for no mode, leaving sends it.
#define LOOPBACK_MODE_MAC 0
#define LOOPBACK_MODE_PHY 1
#define LOOPBACK_MODE_ONE_PORT 2
#define LOOPBACK_MODE_TWO_PORT 3
#define LOOPBACK_MODE_NONE 255

// params: SourcePortNumber, DestinationPortNumber, LoopbackType.
VEXO_status_t do_EnterLoopBackMode(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// params: SourcePortNumber, DestinationPortNumber.
VEXO_status_t do_ExitLoopBackMode(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// params: Pattern, ByteCount, LoopCount, SourcePortNumber,
// DestinationPortNumber, LoopbackType.
VEXO_status_t do_NetworkLoopBackTest(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// params: Pattern, ByteCount, LoopCount.
VEXO_status_t do_HostToDDRDMATest(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// params: WireAddress ("A0" or "A2").
VEXO_status_t do_DumpTransceiverData(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// The result and the recorded status of the loopback test's answer status:
// 0 for 0, else 1 with status 248, 249, 250, 251, 52 (1 to 5) or 62.
int VEXO_check_loop_back_status(uint32_t loopback_status);

// The dump text of a transceiver page's 64 words into `out` (`size` bytes,
// 580 hold it all).
void transceiver_dump_text(const uint32_t words[64], char *out, size_t size);

#endif
