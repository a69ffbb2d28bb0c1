// SendTargets discovery and the iSNS servers of a simulated iSCSI function.
//
// State: keys of the function's object "initiator" in the machine document.
//   "sendtargets_portals": [{"ip": "a.b.c.d" or IPv6 text, "port": 3260,
//                  "down": true (the portal does not answer a login),
//                  "targets": [{"name": "iqn...",
//                               "portals": [{"ip", "port", "tag"}]}]}]
//                  the discovery services the function can reach, and the
//                  targets each one reports
//   "discovery_sessions": [{"handle": n, "ip", "port"}]  open discovery
//                  sessions (kept by the model)
//   "last_sendtargets": {"ip", "port", "key"}  the last SendTargets request,
//                  whose answer 6/34 continues (kept by the model)
//   "isns_dhcp_server": {"ip", "port"}  the iSNS server DHCP hands out; a
//                  discovery-parameter write with iSNS flag 0x40 learns it
//                  as the only server
//   "isns_unreachable": ["ip", ...]  a write naming one of these as its
//                  first server keeps the parameters but answers
//                  additional status 19 (destination unreachable)
// Function key read by 1/58: "sq_count": [n, n], the send-queue counts of the
// two ULP entries (default 0).
//
//   6/23  login with session flag 0x0010 (through the login model): opens a
//         discovery session to a listed, reachable portal
//   6/24  logout of a discovery session (through the login model)
//   6/33  SendTargets: the parsed answer "SendTargets=All" or
//         "SendTargets=<name>"; an answer larger than the buffer carries the
//         targets that fit with status 4
//   6/34  further targets of the last answer from a target index
//   2/29  the discovery-parameter write of the initiator model, followed by
//         the DHCP and reachability rules above
#ifndef HLVD_SIM_ISCSI_DISCOVERY_MODEL_H
#define HLVD_SIM_ISCSI_DISCOVERY_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim {

// Answer a discovery login or logout; false when the request is not one, so
// the login model's 6/23 and 6/24 take it.
bool discovery_login(FwContext &c);
bool discovery_logout(FwContext &c);

void cmd_sendtargets(FwContext &c);           // 6/33
void cmd_sendtargets_info(FwContext &c);      // 6/34
void cmd_set_discovery_params(FwContext &c);  // 2/29

} // namespace hlvdsim

#endif
