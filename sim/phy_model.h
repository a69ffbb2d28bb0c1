// The 10GBASE-T PHY of a simulated converged adapter: statistics (opcode 8,
// request version 0 with an 84-byte answer, version 1 with a 112-byte answer
// and the counter clear in bit 0 of the second word), the self test
// (opcode 9), the NVP value (10 write, 12 read) and the cable test (11), all
// of subsystem 18. The port is the request's first word (`phy_addr`).
//
// Only an adapter whose description has "base_t" non-zero has the PHY; the
// others answer "not supported". Optional fields of the description:
//   "base_t_v1": 0      the firmware knows only version 0 of the statistics
//   "base_t_stats": { "status": 0, "temperature": T, "PairASNR": ..., any
//                     word name of the answer, "PHYFrameCtrLo", "PHYFrameCtrHi" }
//                   (temperature defaults to the adapter's "temperature";
//                   version 0 reports PHYFrameCtrLo as its frame counter)
//   "tdr": { "pair_status": "0x0000", "lengths": [A, B, C, D] }
//   "self_test_result": 0
// The NVP value (72 at first) and the cleared counters live in the
// adapter's firmware state ("baset", by port), so separate processes see
// them. A port beyond the adapter's ports (two on AW2, four on the others)
// or an unknown self-test type or pair fails the command.
#ifndef HLVD_SIM_PHY_MODEL_H
#define HLVD_SIM_PHY_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_baset_stats(FwContext &c);    // 18/8
void cmd_baset_selftest(FwContext &c); // 18/9
void cmd_baset_set_nvp(FwContext &c);  // 18/10
void cmd_baset_tdr(FwContext &c);      // 18/11
void cmd_baset_get_nvp(FwContext &c);  // 18/12

} // namespace hlvdsim

#endif
