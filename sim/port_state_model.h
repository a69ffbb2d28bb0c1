// Per-port settings of a simulated converged adapter as its firmware keeps
// them: whether the port is enabled (common opcodes 71 read, 62 write; the
// Varrow generation's request version 1 names the port in `linkNumber`),
// the beacon (70 read, 69 write; the port in the request's first byte), the
// FCoE transmit throttle (133 read, 132 write) and Ethernet flow control
// (37 read on the AW3 generation; 205 query and write through the NIC
// driver, the port in bits 24-29, with the NPAR lock and active bits).
// The other commands take the port from the request header.
//
// Starting values come from the adapter's "ports" description, indexed by
// physical port:
//   { "enabled": true, "beacon": "off" | "on" | "unsupported",
//     "tx_throttle": 2, "tx_flow_control": 1, "rx_flow_control": 1 }
// (these are the defaults). Written values live in the adapter's firmware
// state ("port_state", by port number), so separate processes see them.
// Only an AW2 adapter whose description names the "personality" "FCoE"
// answers the throttle commands; others answer "not supported", as do
// beacon commands on an "unsupported" port. Switching on a beacon that is
// on answers "not supported" with additional status 103. A port beyond
// the adapter's ports (two on AW2, four on the others unless "ports" lists
// more) fails the command.
#ifndef HLVD_SIM_PORT_STATE_MODEL_H
#define HLVD_SIM_PORT_STATE_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_get_flow_control(FwContext &c);    // 1/37
void cmd_set_port_state(FwContext &c);      // 1/62
void cmd_set_beacon_state(FwContext &c);    // 1/69
void cmd_get_beacon_state(FwContext &c);    // 1/70
void cmd_get_port_state(FwContext &c);      // 1/71
void cmd_set_tx_throttle(FwContext &c);     // 1/132
void cmd_get_tx_throttle(FwContext &c);     // 1/133
void cmd_manage_flow_control(FwContext &c); // 1/205

} // namespace hlvdsim

#endif
