// The route table, ARP table and ping of a simulated iSCSI function's
// network interface. The state lives in the function's "tcpip" object of the
// machine description:
//
//   "routes"       [{"destination", "mask", "gateway"}] dotted IPv4 texts
//   "route_limit"  routes an add may fill the table to (default 999, what
//                  one read can show); an add beyond it is refused with
//                  additional status 22 (no room for manual routes)
//   "arp"          [{"ip", "mac", "flags"}]; may hold more than one read shows
//   "reachable"    addresses (IPv4 or IPv6 texts) that answer a ping
//
//   2/6   ping (24 bytes): an address record of type 1 (IPv4) or 0x10
//         (IPv6); a reachable address answers a time-to-live and a time, any
//         other fails with additional status 19 (destination unreachable)
//   2/8   ARP table read: the count of all entries, then as many 40-byte
//         entries as the payload holds
//   2/9   ARP edit (48 bytes): 1 adds (an address already listed takes the
//         new MAC), 2 deletes the entry with that address
//   2/10  route table read: the count of all routes, then as many 64-byte
//         entries as the payload holds
//   2/11  route edit (72 bytes): 1 adds, 2 deletes the route with the same
//         three addresses; a duplicate add or an unknown delete is refused
#ifndef HLVD_SIM_ISCSI_ROUTE_MODEL_H
#define HLVD_SIM_ISCSI_ROUTE_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_iscsi_ping(FwContext &c);        // 2/6
void cmd_get_arp_table(FwContext &c);     // 2/8
void cmd_edit_arp_table(FwContext &c);    // 2/9
void cmd_get_route_table(FwContext &c);   // 2/10
void cmd_edit_route_table(FwContext &c);  // 2/11

} // namespace hlvdsim

#endif
