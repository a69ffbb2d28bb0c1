// The network interface of a simulated iSCSI function (subsystem 2): one
// interface per function whose settings live in the function's description
// under "tcpip":
//   "if_handle"     the interface handle (default 1)
//   "vlan"          the 802.1Q tag control word, 0xFFFF for none (default)
//   "dhcp"          DHCP on (IPv4); "auto_assign" IPv6 automatic assignment
//   "addresses"     [{"type": 1|0x30|0x50|0x90, "ip": text, "mask": text}],
//                   IPv4 dotted, IPv6 in full form
//   "gateway"       IPv4 default gateway; "gateway6" the IPv6 one
//   "record_status" {"address text": n}: an add of that address is kept and
//                   answered with record status n (47 duplicate, 11, 13)
//   "dhcp_offer"    {"ip", "mask"} the address DHCP assigns; "dhcp_server":
//                   false leaves DHCP off after a start
//   "info_v1"       false: the version-1 interface query is refused
// AW2 and AW3 know no IPv6: its queries and records are refused.
//
//   2/14  set VLAN         2/17  start DHCP / automatic assignment
//   2/18  release them     2/21  add or remove an address record
//   2/22  read a gateway   2/23  add or delete a gateway
//   2/24  interface ids    2/25  interface information (v0, v1)
#ifndef HLVD_SIM_ISCSI_IF_MODEL_H
#define HLVD_SIM_ISCSI_IF_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_if_set_vlan(FwContext &c);      // 2/14
void cmd_if_config_dhcp(FwContext &c);   // 2/17
void cmd_if_release_dhcp(FwContext &c);  // 2/18
void cmd_if_modify_ip(FwContext &c);     // 2/21
void cmd_if_get_gateway(FwContext &c);   // 2/22
void cmd_if_set_gateway(FwContext &c);   // 2/23
void cmd_if_ids(FwContext &c);           // 2/24
void cmd_if_info(FwContext &c);          // 2/25

} // namespace hlvdsim

#endif
