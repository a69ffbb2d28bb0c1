// Diagnostics of a simulated converged adapter: the DMA echo (subsystem 11,
// opcode 17), the loopback test (11/18), the loopback mode of a port (11/19
// set, 11/20 get) and the transceiver pages A0 and A2 (1/73).
//
// Optional fields of the adapter's description:
//   "loopback_mode": M     254: the firmware has no loopback (every set is
//                          refused); another value is the mode of every port
//                          not set through the firmware (255 when missing:
//                          no loopback)
//   "loopback_test": { "status": S, "transferred": N, "received": N,
//                      "miscompare": O, "ticks": T, "no_module": true }
//                          the test's answer; transferred and received
//                          default to the packets asked for, ticks to 50;
//                          "no_module" refuses the test (no module inserted)
//   "dma_test": { "send_error": E, "corrupt": true }
//                          the DMA echo copies the sent bytes back; "corrupt"
//                          flips the first byte received, "send_error" is
//                          answered as it stands
//   "transceiver": "unsupported", or { "A0": [words], "A2": [words] }
//                          the pages' 64 words; a page not given holds
//                          (page << 24) | (port << 16) | word index
// Modes set through the firmware live in the adapter's firmware state
// ("loopback", by port). Setting a mode on a port in loopback, a mode
// above 3 or a test on a port whose mode is not the test's type fails the
// command with the firmware's loopback answers.
#ifndef HLVD_SIM_DIAG_MODEL_H
#define HLVD_SIM_DIAG_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_read_transceiver(FwContext &c);   // 1/73
void cmd_ddr_dma_test(FwContext &c);       // 11/17
void cmd_loopback_test(FwContext &c);      // 11/18
void cmd_set_loopback_mode(FwContext &c);  // 11/19
void cmd_get_loopback_mode(FwContext &c);  // 11/20

} // namespace hlvdsim

#endif
