// The client layer's readers of the network side of an iSCSI function (TCP/IP
// and IPv6 settings, iSNS servers, ARP and route tables, the DHCP boot-target
// setting), the link states of ports and functions, the adapter's event log
// and firmware log data, two adapter state queries and a port's record with
// its transceiver pages. Records are zero-filled by the caller; results are
// RM_STATUS codes (0, 64 busy, 114 a missing group or failed read, and the
// codes each reader names).
#ifndef HLVD_MAL_MAL_NETWORK_READERS_H
#define HLVD_MAL_MAL_NETWORK_READERS_H

#include <cstdint>

#include "flash/rm_status.h"
#include "mal/mal_readers.h"
#include "mal/mal_records.h"
#include "mgmt/vexo/core/hm_types.h"

// Entries of the caller arrays.
#define MAL_ARP_TABLE_ENTRIES 64
#define MAL_ROUTE_TABLE_ENTRIES 64
#define MAL_ISNS_SERVERS 4
// Address-family flag: bit 0 set for IPv6.
#define MAL_ADDRESS_IPV6 0x01

struct MAL_TcpIpProperties {
    uint8_t InitiatorIPAddress[4];
    uint8_t InitiatorSubnetMask[4];
    uint8_t DefaultGateway[4];
    MAL_IPv6Address InitiatorLinkLocalAddress;
    MAL_IPv6Address InitiatorRoutableAddress1;
    MAL_IPv6Address InitiatorRoutableAddress2;
    MAL_IPv6Address DefaultIPv6Gateway;
    int32_t IPv6Enabled;    // 1 or 0
    int32_t IPv6AutoAssign; // 1 or 0
    int32_t VLANEnabled;    // Bool
    int32_t VLANId;
    int32_t Priority;
    int32_t DHCPEnabled;    // Bool
};
static_assert(sizeof(MAL_TcpIpProperties) == 356, "TCP/IP record");

struct MAL_iSNSServer {
    uint32_t Tag; // of the iSNSServer<n> group
    uint8_t IPAddress[4];
    MAL_IPv6Address IPv6Address;
    int32_t PortNumber;
    uint8_t AddressFlags;
};

struct MAL_iSNSProperties {
    int32_t iSNSEnabled; // Bool
    MAL_iSNSServer Servers[MAL_ISNS_SERVERS];
};

struct MAL_ArpTableEntry {
    uint8_t IPAddress[4];
    uint8_t MACAddress[6];
    uint32_t Tag; // of the ARPTableEntry<n> group
};
static_assert(sizeof(MAL_ArpTableEntry) == 16, "ARP entry record");

struct MAL_RouteTableEntry {
    uint8_t Destination[4];
    uint8_t SubnetMask[4];
    uint8_t Gateway[4];
    uint32_t Tag; // of the RouteTableEntry<n> group
};
static_assert(sizeof(MAL_RouteTableEntry) == 16, "route entry record");

struct MAL_EventLogEntry {
    int32_t SequenceNumber;
    int32_t TimeStamp;
    char Severity[256];
    char Description[256];
    int32_t ErrorCode;
};

extern "C" {

RM_STATUS MAL_GetGroup_Network(node_tag_t iscsi, MAL_TcpIpProperties *rec);
RM_STATUS MAL_GetTcpIpConfig(node_tag_t iscsi, MAL_TcpIpProperties *rec);
// At most the first four servers; *count the servers read.
RM_STATUS MAL_GetiSNSProperties(node_tag_t iscsi, int *count, MAL_iSNSProperties *rec);
// `entries` holds 64 entries; at most 64 are read, *count the entries read.
RM_STATUS MAL_GetArpTable(node_tag_t iscsi, int *count, MAL_ArpTableEntry *entries);
RM_STATUS MAL_GetRouteTable(node_tag_t iscsi, int *count, MAL_RouteTableEntry *entries);
// *enabled is 1 when the group's DiscoverBootTargetThruDHCP reads "Enabled".
RM_STATUS MAL_Get_DiscoverBootTargetThruDHCP(node_tag_t group, uint8_t *enabled);
// 0 once the adapter's Diagnostics group is found; *supported a Bool.
RM_STATUS MAL_GetDiagnosticsProperties(node_tag_t adapter, int32_t *supported);
// 0 only when ControllerStatus reads "Dead"; 1 otherwise, also unread.
int32_t MAL_isControllerAlive(node_tag_t adapter);
// `text` holds 256 characters; *state 0 disabled, 1 enabled, 2 not given.
RM_STATUS MAL_GetPhysicalLinkStatus(node_tag_t port, char *text, int32_t *state);
// `text` holds 256 characters; "n/a" when the read failed.
RM_STATUS MAL_GetLogicalLinkStatus(node_tag_t nic, char *text);
RM_STATUS MAL_GetiSCSILogicalLinkStatus(node_tag_t iscsi, char *text);
// Entry `index` of the adapter's event log; index 0 first re-reads the log.
RM_STATUS MAL_GetEventLogEntry(node_tag_t adapter, int index, MAL_EventLogEntry *entry);
// Writes the adapter's firmware log data to `path`. 0; 600 when the adapter
// holds none; 64 or 114; or the code the retrieving action failed with.
int32_t MAL_GetFatData(node_tag_t adapter, const char *path);
// The port record, then its transceiver pages A0 and A2.
RM_STATUS MAL_GetPortPhysicalProperties(node_tag_t port, MAL_Group_PortDiscoveryAndConfiguration *rec);

} // extern "C"

#endif
