// Node tables of the iSCSI functions: iSCSIPhysicalHBA with its fixed
// subgroups, and the repeated RouteTableEntry, ARPTableEntry and iSNSServer.
// The initiator group LogicalHBA below every function has its own builder.
#include "mgmt/aw/vexo-backend/nodes_iscsi.h"

#include "mgmt/aw/vexo-backend/boot_settings.h"
#include "mgmt/aw/vexo-backend/config_erase.h"
#include "mgmt/aw/vexo-backend/iscsi_discovery.h"
#include "mgmt/aw/vexo-backend/iscsi_firmware_lists.h"
#include "mgmt/aw/vexo-backend/iscsi_ipv6.h"
#include "mgmt/aw/vexo-backend/iscsi_network_readers.h"
#include "mgmt/aw/vexo-backend/iscsi_routes.h"
#include "mgmt/aw/vexo-backend/iscsi_tcpip.h"
#include "mgmt/aw/vexo-backend/mac_addresses.h"
#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/aw/vexo-backend/pci_config_dump.h"
#include "mgmt/aw/vexo-backend/platform_props.h"
#include "mgmt/aw/vexo-backend/port_speed.h"
#include "mgmt/aw/vexo-backend/virtual_functions.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"

namespace {

constexpr int32_t RO = VEXO_PROP_READONLY;
constexpr int32_t RW = VEXO_PROP_READWRITE;
constexpr char STR = VEXO_TYPE_STRING;
constexpr char INT = VEXO_TYPE_INTEGER;
constexpr char IP = VEXO_TYPE_IP;
constexpr char MASK = VEXO_TYPE_SUBNETMASK;
constexpr char LIST = VEXO_TYPE_LIST;

#define NO_MAC "00:00:00:00:00:00"
#define NO_IPV6 "fe80::0"

// Action records, shared by every iSCSI function and never freed.

action ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_RouteTable_AddRouteTableEntry_action = {
    do_AddRouteTableEntry, 0, {3, {
    {1, "Destination", "Destination address of the route.", IP, "", 0, 16},
    {1, "SubnetMask", "Subnet mask of the route.", MASK, "", 0, 255},
    {1, "Gateway", "Gateway of the route.", IP, "", 1, 64},
}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_RouteTable_DeleteRouteTableEntry_action = {
    do_DeleteRouteTableEntry, 0, {1, {
    {1, "InstanceNumber", "Instance number of the RouteTableEntry to delete.", INT, "", 0, 1023},
}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_RouteTable_RefreshRouteTableEntry_action = {
    do_RefreshRouteTableEntry, 0, {0, {}}};

action ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ARPTable_AddARPTableEntry_action = {
    do_AddARPTableEntry, 0, {2, {
    {1, "IPAddress", "IP address of the entry.", IP, "", 0, 16},
    {1, "MACAddress", "MAC address of the entry.", STR, "", 17, 17},
}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ARPTable_DeleteARPTableEntry_action = {
    do_DeleteARPTableEntry, 0, {1, {
    {1, "InstanceNumber", "Instance number of the ARPTableEntry to delete.", INT, "", 0, 63},
}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ARPTable_RefreshARPTableEntry_action = {
    do_RefreshARPTableEntry, 0, {0, {}}};

action ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_DeleteDefaultGateway_action = {
    do_DeleteDefaultGateway, 0, {0, {}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_DHCPEnable_action = {do_DHCPEnable, 0, {0, {}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_DHCPDisable_action = {do_DHCPDisable, 0, {0, {}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ConfigureIPAddress_action = {
    do_ConfigureIPAddress, 0, {2, {
    {1, "IPAddress", "Static IPv4 address of the port.", STR, "", 0, 16},
    {1, "SubnetMask", "Subnet mask of the port.", STR, "", 0, 16},
}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ConfigureVLAN_action = {do_ConfigureVLAN, 0, {2, {
    {1, "VLANId", "VLAN id of the port.", INT, "", 0, 4094},
    {0, "Priority", "VLAN priority of the port.", INT, "", 0, 7},
}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_VLANDisable_action = {do_VLANDisable, 0, {0, {}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_Ping_action = {do_Ping, 0, {1, {
    {1, "IPAddress", "IPv4 address to send the echo request to.", IP, "", 0, 0},
}}};

action ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_IPv6Configuration_DeleteDefaultIPv6Gateway_action =
    {do_DeleteDefaultIPv6Gateway, 0, {0, {}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_IPv6Configuration_AutoAssignEnable_action = {
    do_AutoAssignEnable, 0, {1, {
    {1, "Type", "Kind of automatic assignment.", LIST, "Auto,DHCP", 1, 4},
}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_IPv6Configuration_AutoAssignDisable_action = {
    do_AutoAssignDisable, 0, {0, {}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_IPv6Configuration_ConfigureIPv6Address_action = {
    do_ConfigureIPv6Address, 0, {2, {
    {1, "AddressType", "0 link-local, 1 routable address 1, 2 routable address 2.", LIST, "0,1,2", 1, 1},
    {1, "IPAddress", "IPv6 address.", STR, "", 1, 50},
}}};

action ROOT_Arcwright_iSCSIPhysicalHBA_Network_NICConfiguration_ResetMACAddress_action = {
    do_iSCSIPhysicalHBA_Network_NICConfiguration_ResetMACAddress, 0, {0, {}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_Network_NICConfiguration_RefreshNICConfig_action = {
    do_RefreshNICConfig, 0, {0, {}}};

action ROOT_Arcwright_iSCSIPhysicalHBA_PCI_DumpiSCSIPCIConfigRegion_action = {do_DumpiSCSIPCIConfigRegion, 0, {2, {
    {1, "RegisterOffset", "Offset of the first register in configuration space.", INT, "", 0, 252},
    {1, "Count", "Number of registers.", INT, "", 1, 64},
}}};

action ROOT_Arcwright_iSCSIPhysicalHBA_iSNS_DiscoveryiSNSThruDHCP_action = {do_DiscoveryiSNSThruDHCP, 0, {0, {}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_iSNS_ConfigureiSNSServer_action = {do_ConfigureiSNSServer, 0, {2, {
    {1, "IPAddress", "Address of the iSNS server.", IP, "", 0, 0},
    {0, "PortNum", "TCP port of the iSNS server; 3205 when not given.", INT, "", 1024, 65535},
}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_iSNS_DeleteiSNSServer_action = {do_DeleteiSNSServer, 0, {1, {
    {1, "InstanceNumber", "Instance number of the iSNSServer to delete.", INT, "", 0, 3},
}}};

action ROOT_Arcwright_iSCSIPhysicalHBA_EraseConfiguration_action = {do_EraseConfiguration, 0, {1, {
    {0, "LogicalHBAInstanceNumber", "The LogicalHBA instance; 0 is the only one.", INT, "", 0, 0},
}}};

#define VPD_SEGMENT(n)                                                                                         \
    HM_PROPERTY("VPDData" #n, "Segment " #n " of the function's vital product data as hex text.", RO, STR, 0,  \
                256, nullptr, nullptr, handle_internal_property)

const hm_node_row iSCSIPhysicalHBA_rows[] = {
    HM_PROPERTY("iSCSIBIOSEnable", "iSCSI BIOS boot of this function.", RW, LIST, 2, 3, "Yes", "Yes,No",
                handle_iSCSIBIOSEnable),
    HM_PROPERTY("PortNumber", "Physical port of this PCI function.", RO, INT, 0, 3, "0", nullptr,
                handle_internal_property),
    HM_PROPERTY("iSCSIVersionMin", "iSCSIVersionMin; 1 means RFC 3720.", RO, STR, 1, 3, "1", nullptr,
                handle_internal_property),
    HM_PROPERTY("iSCSIVersionMax", "iSCSIVersionMax; 1 means RFC 3720.", RO, STR, 1, 3, "1", nullptr,
                handle_internal_property),
    HM_PROPERTY("MaxCDBLength", "Longest SCSI CDB the function supports.", RO, INT, 6, 16, "16", nullptr,
                handle_internal_property),
    HM_PROPERTY("MPIOEnabled", "MPIO state of the function.", RW, LIST, 4, 5, "False", "True,False",
                handle_MPIOEnabled),
    HM_PROPERTY("LDTO", "Link down time-out in seconds.", RO, INT, 0, 3600, "20", nullptr, handle_internal_property),
    HM_PROPERTY("DefaultETO", "Default extended time-out.", RO, INT, 0, 3600, "30", nullptr,
                handle_internal_property),

    HM_GROUP("Driver", "Host iSCSI driver.", nullptr),
        HM_PROPERTY("DriverName", "Name of the host iSCSI driver.", RO, STR, 2, 10, "AW2ISCSI", nullptr,
                    handle_internal_property),
        HM_PROPERTY("DriverVersion", "Version of the host iSCSI driver.", RO, STR, 2, 6, "2", nullptr,
                    handle_internal_property),
    HM_END(),

    HM_GROUP("Network", "Network settings of the function.", nullptr),
        HM_GROUP("TCPIPConfiguration", "TCP/IP settings of the port.", nullptr),
            HM_GROUP("RouteTable", "The firmware route table.", nullptr),
                HM_ACTION("AddRouteTableEntry", "Adds a static route, then re-reads the table.",
                          &ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_RouteTable_AddRouteTableEntry_action),
                HM_ACTION("DeleteRouteTableEntry", "Deletes a route, then re-reads the table.",
                          &ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_RouteTable_DeleteRouteTableEntry_action),
                HM_ACTION("RefreshRouteTableEntry", "Re-reads the route table from firmware.",
                          &ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_RouteTable_RefreshRouteTableEntry_action),
            HM_END(),
            HM_GROUP("ARPTable", "The firmware ARP table.", nullptr),
                HM_ACTION("AddARPTableEntry", "Adds an ARP entry, then rebuilds the entries.",
                          &ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ARPTable_AddARPTableEntry_action),
                HM_ACTION("DeleteARPTableEntry", "Deletes an ARP entry, then rebuilds the entries.",
                          &ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ARPTable_DeleteARPTableEntry_action),
                HM_ACTION("RefreshARPTableEntry", "Re-reads the ARP table from firmware.",
                          &ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ARPTable_RefreshARPTableEntry_action),
            HM_END(),
            HM_PROPERTY("VLANId", "VLAN id of the port; empty when VLAN is disabled.", RO, INT, 0, 4094, "0",
                        nullptr, handle_internal_property),
            HM_PROPERTY("Priority", "VLAN priority of the port; empty when VLAN is disabled.", RO, INT, 0, 7, "0",
                        nullptr, handle_internal_property),
            HM_PROPERTY("VLANEnabled", "Whether VLAN is enabled.", RO, LIST, 4, 5, "False", "True,False",
                        handle_internal_property),
            HM_PROPERTY("InitiatorIPAddress", "IPv4 address of the port.", RO, IP, 0, 16, "0.0.0.0", nullptr,
                        handle_tcpip_properties),
            // Stored as an address, not as a mask.
            HM_PROPERTY("InitiatorSubnetMask", "Subnet mask of the port.", RO, IP, 0, 255, "0.0.0.0", nullptr,
                        handle_tcpip_properties),
            HM_PROPERTY("DefaultGateway", "Default gateway of the port, in the subnet of its address.", RW, IP, 1,
                        64, "0.0.0.0", nullptr, handle_DefaultGateway),
            HM_PROPERTY("DHCPEnabled", "Whether DHCP is enabled.", RO, LIST, 4, 5, "False", "True,False",
                        handle_tcpip_properties),
            HM_ACTION("DeleteDefaultGateway", "Clears a manually set default gateway.",
                      &ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_DeleteDefaultGateway_action),
            HM_ACTION("DHCPEnable", "Enables DHCP on the port.",
                      &ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_DHCPEnable_action),
            HM_ACTION("DHCPDisable", "Disables DHCP on the port.",
                      &ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_DHCPDisable_action),
            HM_ACTION("ConfigureIPAddress", "Sets a static IPv4 address and mask on the port.",
                      &ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ConfigureIPAddress_action),
            HM_ACTION("ConfigureVLAN", "Enables VLAN on the port.",
                      &ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_ConfigureVLAN_action),
            HM_ACTION("VLANDisable", "Disables VLAN on the port.",
                      &ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_VLANDisable_action),
            HM_ACTION("Ping", "Sends an ICMP echo request.",
                      &ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_Ping_action),
            HM_GROUP("IPv6Configuration", "IPv6 settings of the port.", nullptr),
                HM_PROPERTY("IPv6State", "How IPv6 addresses are assigned.", RO, LIST, 3, 10, "N/A",
                            "N/A,AutoAssign,Static", handle_IPv6State),
                HM_PROPERTY("InitiatorLinkLocalAddress", "IPv6 link-local address of the port.", RO, STR, 1, 50,
                            NO_IPV6, nullptr, handle_InitiatorLinkLocalAddress),
                HM_PROPERTY("InitiatorRoutableAddress1", "First routable IPv6 address of the port.", RO, STR, 1, 50,
                            NO_IPV6, nullptr, handle_InitiatorRoutableAddress),
                HM_PROPERTY("InitiatorRoutableAddress2", "Second routable IPv6 address of the port.", RO, STR, 1,
                            50, NO_IPV6, nullptr, handle_InitiatorRoutableAddress),
                HM_PROPERTY("DefaultIPv6Gateway", "IPv6 default gateway of the port.", RW, STR, 1, 50, NO_IPV6,
                            nullptr, handle_DefaultIPv6Gateway),
                HM_ACTION("DeleteDefaultIPv6Gateway", "Clears a manually set IPv6 default gateway.",
                          &ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_IPv6Configuration_DeleteDefaultIPv6Gateway_action),
                HM_ACTION("AutoAssignEnable", "Turns automatic IPv6 address assignment on.",
                          &ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_IPv6Configuration_AutoAssignEnable_action),
                HM_ACTION("AutoAssignDisable", "Turns automatic IPv6 address assignment off.",
                          &ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_IPv6Configuration_AutoAssignDisable_action),
                HM_ACTION("ConfigureIPv6Address", "Sets one IPv6 address of the port.",
                          &ROOT_Arcwright_iSCSIPhysicalHBA_Network_TCPIPConfiguration_IPv6Configuration_ConfigureIPv6Address_action),
            HM_END(),
        HM_END(),
        HM_GROUP("NICConfiguration", "NIC settings of the iSCSI port.", nullptr),
            HM_GROUP("vNIC", "The function as a vNIC.", nullptr),
                HM_PROPERTY("vNICEnabled", "Whether this vNIC is enabled.", RO, LIST, 4, 5, "False", "True,False",
                            handle_iscsi_vnic_name_props),
                HM_PROPERTY("vNICName", "Name of this vNIC.", RO, STR, 1, 32, "1", nullptr,
                            handle_iscsi_vnic_name_props),
                HM_PROPERTY("OuterVLANID", "Outer VLAN id of this vNIC.", RO, INT, 0, 4094, "0", nullptr,
                            handle_iscsi_vnic_stats),
                HM_PROPERTY("MinBandwidth", "Minimum bandwidth in units of 10 Mb/s.", RO, INT, 0, 1000, "0",
                            nullptr, handle_iscsi_vnic_stats),
                HM_PROPERTY("MaxBandwidth", "Maximum bandwidth in units of 10 Mb/s.", RO, INT, 10, 1000, "0",
                            nullptr, handle_iscsi_vnic_stats),
            HM_END(),
            HM_PROPERTY("PortSpeed", "Current speed of the port.", RO, LIST, 3, 13, "0 (Link Down)",
                        "0 (Link Down),less than 1Mb,less than 1Gb,1Gb,10Gb,20Gb,25Gb,40Gb,100Gb", handle_portspeed),
            HM_PROPERTY("PortMaxSpeed", "Highest speed of the port.", RO, LIST, 3, 13, "Unknown",
                        "Unknown,less than 1Mb,less than 1Gb,1Gb,10Gb", handle_NICprop),
            HM_PROPERTY("MaxMTUSize", "Largest MTU of iSCSI traffic.", RO, INT, 64, 9200, "8342", nullptr,
                        handle_NICprop),
            HM_PROPERTY("LogicalLinkStatus", "Logical link up or down.", RO, LIST, 2, 7, "Unknown",
                        "Up,Down,Unknown", handle_logical_link_status),
            HM_PROPERTY("ActivePort", "The adapter port active for this function.", RO, LIST, 0, 26, "Port 0",
                        "Port 0,Port 1,None", handle_activeport),
            HM_PROPERTY("MACAddress", "Current MAC address of the iSCSI port.", RO, STR, 17, 17, NO_MAC, nullptr,
                        handle_iSCSIPhysicalHBA_Network_NICConfiguration_MACAddress),
            HM_PROPERTY("PermanentMACAddress", "Permanent override MAC address of the iSCSI port.", RW, STR, 17, 17,
                        NO_MAC, nullptr, handle_iSCSIPhysicalHBA_Network_NICConfiguration_PermanentMACAddress),
            HM_PROPERTY("FactoryDefaultMACAddress", "Factory-set MAC address of the iSCSI port.", RO, STR, 17, 17,
                        NO_MAC, nullptr, handle_internal_property),
            HM_ACTION("ResetMACAddress", "Sets the MAC address back to the controller's default for the function.",
                      &ROOT_Arcwright_iSCSIPhysicalHBA_Network_NICConfiguration_ResetMACAddress_action),
            HM_ACTION("RefreshNICConfig", "Refreshes the NICConfiguration properties from the device.",
                      &ROOT_Arcwright_iSCSIPhysicalHBA_Network_NICConfiguration_RefreshNICConfig_action),
        HM_END(),
    HM_END(),

    HM_GROUP("VPD", "Vital product data of the function.", nullptr),
        VPD_SEGMENT(0), VPD_SEGMENT(1), VPD_SEGMENT(2), VPD_SEGMENT(3), VPD_SEGMENT(4),
        VPD_SEGMENT(5), VPD_SEGMENT(6), VPD_SEGMENT(7), VPD_SEGMENT(8),
    HM_END(),

    HM_GROUP("PCI", "PCI identity and location of the function.", nullptr),
        HM_PROPERTY("VendorID", "PCI vendor id of the iSCSI function.", RO, INT, 0, 65535, "0", nullptr,
                    handle_internal_property),
        HM_PROPERTY("DeviceID", "PCI device id.", RO, INT, 0, 65535, "0", nullptr, handle_internal_property),
        HM_PROPERTY("SubsysDeviceID", "PCI subsystem device id.", RO, INT, 0, 65535, "0", nullptr,
                    handle_internal_property),
        HM_PROPERTY("SubsysVendorID", "PCI subsystem vendor id.", RO, INT, 0, 65535, "0", nullptr,
                    handle_internal_property),
        HM_PROPERTY("DomainNumber", "PCI domain number.", RO, INT, 0, 255, "0000", nullptr, handle_DomainNumber),
        HM_PROPERTY("BusNumber", "PCI bus number.", RO, INT, 0, 255, "0", nullptr, handle_internal_property),
        HM_PROPERTY("DeviceNumber", "PCI device number.", RO, INT, 0, 32, "0", nullptr, handle_internal_property),
        HM_PROPERTY("FunctionNumber", "PCI function number.", RO, INT, 0, 8, "0", nullptr,
                    handle_internal_property),
        HM_ACTION("DumpiSCSIPCIConfigRegion", "Registers of the function's PCI configuration space as hex values.",
                  &ROOT_Arcwright_iSCSIPhysicalHBA_PCI_DumpiSCSIPCIConfigRegion_action),
    HM_END(),

    HM_GROUP("iSNS", "iSNS discovery and the iSNS servers known to the function.", group_iSNS),
        HM_PROPERTY("iSNSEnabled", "iSNS discovery of the function.", RW, LIST, 1, 3, "No", "Yes,No",
                    handle_discoveryparams),
        HM_ACTION("DiscoveryiSNSThruDHCP", "Looks for iSNS servers through DHCP.",
                  &ROOT_Arcwright_iSCSIPhysicalHBA_iSNS_DiscoveryiSNSThruDHCP_action),
        HM_ACTION("ConfigureiSNSServer", "Configures the iSNS server of the function.",
                  &ROOT_Arcwright_iSCSIPhysicalHBA_iSNS_ConfigureiSNSServer_action),
        HM_ACTION("DeleteiSNSServer", "Deletes an iSNS server.",
                  &ROOT_Arcwright_iSCSIPhysicalHBA_iSNS_DeleteiSNSServer_action),
    HM_END(),

    HM_ACTION("EraseConfiguration", "Resets the iSCSI configuration of the adapter to factory defaults.",
              &ROOT_Arcwright_iSCSIPhysicalHBA_EraseConfiguration_action),
};

#undef VPD_SEGMENT

const hm_node_row RouteTableEntry_rows[] = {
    HM_PROPERTY("Destination", "Destination address of the route.", RO, IP, 0, 16, "0.0.0.0", nullptr,
                handle_internal_property),
    HM_PROPERTY("SubnetMask", "Subnet mask of the route.", RO, MASK, 0, 255, "255.255.255.0", nullptr,
                handle_internal_property),
    HM_PROPERTY("Gateway", "Gateway of the route.", RO, IP, 1, 64, "0.0.0.0", nullptr, handle_internal_property),
};

const hm_node_row ARPTableEntry_rows[] = {
    HM_PROPERTY("IPAddress", "IP address of the entry.", RO, IP, 0, 16, "0.0.0.0", nullptr,
                handle_internal_property),
    HM_PROPERTY("MACAddress", "MAC address of the entry.", RO, STR, 17, 17, NO_MAC, nullptr,
                handle_internal_property),
};

const hm_node_row iSNSServer_rows[] = {
    HM_PROPERTY("IPAddress", "Address of the iSNS server.", RO, IP, 0, 0, "0.0.0.0", nullptr,
                handle_internal_property),
    HM_PROPERTY("PortNumber", "TCP port of the iSNS server.", RO, INT, 1024, 65535, "3205", nullptr,
                handle_internal_property),
};

#undef NO_MAC
#undef NO_IPV6

// One slice per adapter for the functions, and one per function of every
// adapter for the groups inside a function.
constexpr size_t kFunctionBuckets = ARCWRIGHT_MAX_INSTANCES * ISCSIPHYSICALHBA_MAX_INSTANCES;
uint8_t iSCSIPhysicalHBA_bits[HM_BIT_FIELD_BYTES(ISCSIPHYSICALHBA_MAX_INSTANCES, ARCWRIGHT_MAX_INSTANCES)];
uint8_t RouteTableEntry_bits[HM_BIT_FIELD_BYTES(ROUTETABLEENTRY_MAX_INSTANCES, kFunctionBuckets)];
uint8_t ARPTableEntry_bits[HM_BIT_FIELD_BYTES(ARPTABLEENTRY_MAX_INSTANCES, kFunctionBuckets)];
uint8_t iSNSServer_bits[HM_BIT_FIELD_BYTES(ISNSSERVER_MAX_INSTANCES, kFunctionBuckets)];

const hm_group_type iSCSIPhysicalHBA_type = {
    "iSCSIPhysicalHBA", "One iSCSI PCI function of the adapter.", ISCSIPHYSICALHBA_MAX_INSTANCES, 0, nullptr,
    iSCSIPhysicalHBA_bits, sizeof iSCSIPhysicalHBA_bits, iSCSIPhysicalHBA_rows,
    HM_ROW_COUNT(iSCSIPhysicalHBA_rows)};

const hm_group_type RouteTableEntry_type = {
    "RouteTableEntry", "One route of the function's firmware route table.", ROUTETABLEENTRY_MAX_INSTANCES, 0,
    nullptr, RouteTableEntry_bits, sizeof RouteTableEntry_bits, RouteTableEntry_rows,
    HM_ROW_COUNT(RouteTableEntry_rows)};

const hm_group_type ARPTableEntry_type = {
    "ARPTableEntry", "One entry of the function's firmware ARP table.", ARPTABLEENTRY_MAX_INSTANCES, 0, nullptr,
    ARPTableEntry_bits, sizeof ARPTableEntry_bits, ARPTableEntry_rows, HM_ROW_COUNT(ARPTableEntry_rows)};

const hm_group_type iSNSServer_type = {
    "iSNSServer", "One iSNS server known to the function.", ISNSSERVER_MAX_INSTANCES, 0, nullptr, iSNSServer_bits,
    sizeof iSNSServer_bits, iSNSServer_rows, HM_ROW_COUNT(iSNSServer_rows)};

} // namespace

node *initialize_iSCSIPhysicalHBA(node *parent_node, node *context, node *action,
                                  char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&iSCSIPhysicalHBA_type, parent_node, context, action, params);
}

node *initialize_RouteTableEntry(node *parent_node, node *context, node *action,
                                 char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&RouteTableEntry_type, parent_node, context, action, params);
}

node *initialize_ARPTableEntry(node *parent_node, node *context, node *action,
                               char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&ARPTableEntry_type, parent_node, context, action, params);
}

node *initialize_iSNSServer(node *parent_node, node *context, node *action,
                            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&iSNSServer_type, parent_node, context, action, params);
}
