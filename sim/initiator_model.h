// The iSCSI initiator of a simulated iSCSI function: its name, alias and
// rate limits, discovery parameters, node attributes and the per-session
// configuration. State lives in the function's "initiator" object:
//   "name", "alias"    the initiator's name and alias (default: a name made
//                      from the function's MAC, no alias)
//   "name_v1"          false: the version-1 name commands are refused as an
//                      unknown opcode (the driver falls back to version 0)
//   "qos"              {"ios": n, "bytes": n} the iSCSI limits (default 0);
//                      the NIC maximum of the read is the function's
//                      "qos_max_bps" (default 0)
//   "discovery"        the 888-byte discovery parameters, kept field by
//                      field and byte-exact: "slp" (its 544 bytes, only when
//                      not zero), "isns_flags", "isns_rsvd0", "entity",
//                      "srv_count", "servers" [{"size", "reserved", "type",
//                      "address" (32 hex digits), "rsvd0", "tcp_port",
//                      "udp_port"}] (trailing empty entries left out)
//   "node_attributes"  {"node_id", "roles", "portal_count", "transport",
//                      "portal_id", "portal_status", "portal_role",
//                      "protocol", "address_type", "port", "tag"}
//   "sessions"         [{"handle": n, "target": text, "eto": n,
//                      "config_length": n}]: "eto" (default 30) is the
//                      session's extended timeout; "config_length" the
//                      length of the configuration answer (default 276)
// A function reached through the driver's management callback has no
// session configuration: 6/16 and 6/17 answer as unsupported there. NIC
// functions know none of these commands but the rate-limit read.
//
//   1/27  read the rate limits    1/28  write one (valid_flags 0x4, 0x40)
//   2/28  read discovery params   2/29  write them     2/30  node attributes
//   6/6   read name and alias     6/7   write them (versions 0 and 1)
//   6/16  read a session's configuration   6/17  set its extended timeout
#ifndef HLVD_SIM_INITIATOR_MODEL_H
#define HLVD_SIM_INITIATOR_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_get_qos(FwContext &c);              // 1/27
void cmd_set_qos(FwContext &c);              // 1/28
void cmd_get_discovery(FwContext &c);        // 2/28
void cmd_set_discovery(FwContext &c);        // 2/29
void cmd_node_attributes(FwContext &c);      // 2/30
void cmd_get_name(FwContext &c);             // 6/6
void cmd_set_name(FwContext &c);             // 6/7
void cmd_get_session_config(FwContext &c);   // 6/16
void cmd_set_session_config(FwContext &c);   // 6/17

} // namespace hlvdsim

#endif
