// Setting operations of the client layer: the TCP/IP configuration of an
// iSCSI function with its ARP and route tables and ping, settings of NIC
// functions, ports and iSCSI functions, clearing the adapter's logs, erasing
// an iSCSI function's configuration and the library's log level.
//
// Each operation finds its groups, properties and actions by name below the
// tag it is given; a missing one ends it with 114. Actions run without
// pass-through, so a failed one answers 64 (busy) or 114. A request the
// operation refuses (4 for an address that is not new, 21 for a value
// outside its set) is refused before anything is sent. A failing step ends
// the operation; what earlier steps changed stays.
#ifndef HLVD_MAL_MAL_TCPIP_OPS_H
#define HLVD_MAL_MAL_TCPIP_OPS_H

#include <cstdint>

#include "flash/rm_status.h"
#include "mal/mal_network_readers.h"
#include "mal/mal_readers.h"
#include "mgmt/vexo/core/hm_types.h"

// The TCP/IP record and the ARP and route entries are the network readers'.
// As a change request, an address that is not new (all 0xFF, and for the
// gateways also all zero) is left alone; -1 in VLANId, Priority and
// DHCPEnabled keeps the current value, and IPv6Enabled 0 leaves IPv6 alone.

struct MAL_NicPhysicalSettings {
    uint32_t reserved;         // not read
    uint32_t MaxBitsPerSecond; // not written
    uint8_t MacAddress[6];     // written when new
    int32_t SRIOVState;        // 1 enable, 0 disable, -1 leave
    int32_t VEPAState;         // likewise
};
static_assert(sizeof(MAL_NicPhysicalSettings) == 24, "NIC settings record");

struct MAL_PortPhysicalSettings {
    int32_t Beacon;    // 1 start (60 seconds), 0 stop, -1 none
    int32_t PortState; // 1 enable, 0 disable, other values leave it
};
static_assert(sizeof(MAL_PortPhysicalSettings) == 8, "port settings record");

extern "C" {

// 0 when something was changed, 215 when the request changed nothing; 21
// for a DHCP value outside 1, 0, -1 or a gateway outside the address's
// subnet; 121 when the firmware reports a DHCP error; 64 or 114.
RM_STATUS MAL_SetTcpIpConfig(node_tag_t iscsi, const MAL_TcpIpProperties *request);
// 4 unless both addresses are new.
RM_STATUS MAL_AddArpTableEntry(node_tag_t iscsi, const MAL_ArpTableEntry *entry);
// 21 when no ARP entry has the tag.
RM_STATUS MAL_DeleteArpTableEntry(node_tag_t iscsi, node_tag_t entry);
// 4 unless destination and gateway are new.
RM_STATUS MAL_AddRouteTableEntry(node_tag_t iscsi, const MAL_RouteTableEntry *entry);
RM_STATUS MAL_DeleteRouteTableEntry(node_tag_t iscsi, node_tag_t entry);
// Not offered: always 2.
RM_STATUS MAL_RefreshArpTable(void);
RM_STATUS MAL_RefreshRouteTable(void);
// 4 unless the address is new.
RM_STATUS MAL_Ping(node_tag_t iscsi, const uint8_t address[4]);
RM_STATUS MAL_PingIPv6(node_tag_t iscsi, const uint8_t address[16]);
RM_STATUS MAL_SetNicPhysicalProperties(node_tag_t nic, const MAL_NicPhysicalSettings *settings);
// A failed beacon start answers 147 when beaconing is already active.
RM_STATUS MAL_SetPortPhysicalProperties(node_tag_t port, const MAL_PortPhysicalSettings *settings);
RM_STATUS MAL_SetiSCSIPhysicalProperties(node_tag_t iscsi, const int32_t *bios_enable);
RM_STATUS MAL_SetiSCSI_MPIO(node_tag_t iscsi, uint8_t enable);
RM_STATUS MAL_EraseConfiguration(node_tag_t iscsi);
RM_STATUS MAL_ClearEventLog(node_tag_t adapter);
RM_STATUS MAL_ClearFatData(node_tag_t adapter);
RM_STATUS MAL_SetVexoDebugLevel(int32_t level);

} // extern "C"

#endif
