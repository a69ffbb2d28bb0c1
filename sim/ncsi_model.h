// NC-SI sideband and FFV name of a simulated converged adapter: the NC-SI
// configuration read (state, handshake, static and dynamic records), the
// dynamic record's write, the NC-SI version inside the controller
// attributes, and the FFV name read and write.
//
// The adapter's description may carry:
//   "ncsi": { "supported": true, "handshake": 0, "version": [1, 0, 3, 7, 2]
//             (AW2: five 16-bit words) or "1.1.0.4" (AW3: text),
//             "static": CFG, "dynamic": CFG }
//   CFG = { "magic": 0, "valid": 1 (dynamic only), "port_swap": 0 (static
//           only), "port0_mac": "..", "enable_port0_wol": 0, "port1_mac": "..",
//           "enable_port1_wol": 0, "vlan": 0 }
//   "ffv": { "name": "..", "length": N (the length the firmware reports;
//            the name's own length when absent) }
// NC-SI is supported by default on AW2 and AW3, on Trelmont only when
// "supported" says so, never on Varrow (no command). The FFV command exists
// on Trelmont and Varrow only. A dynamic write is kept in the adapter's
// firmware state and answered by later reads.
#ifndef HLVD_SIM_NCSI_MODEL_H
#define HLVD_SIM_NCSI_MODEL_H

#include <cstdint>
#include <vector>

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_ncsi_config(FwContext &c);      // 1/86
void cmd_ncsi_set_dynamic(FwContext &c); // 1/87
void cmd_ffv(FwContext &c);              // 19/2

// Writes the NC-SI version field (12 bytes at `at`) of a controller
// attributes answer: five words on AW2, a text on AW3, zeros elsewhere.
void put_ncsi_version(const FwContext &c, std::vector<uint8_t> &b, size_t at);

} // namespace hlvdsim

#endif
