// Node tables of the NIC functions: NICPhysicalHBA with its six fixed
// subgroups, and NICLogicalHBA.
#include "mgmt/aw/vexo-backend/nodes_nic.h"

#include "mgmt/aw/vexo-backend/adapter_network_props.h"
#include "mgmt/aw/vexo-backend/bandwidth_caps.h"
#include "mgmt/aw/vexo-backend/config_erase.h"
#include "mgmt/aw/vexo-backend/mac_addresses.h"
#include "mgmt/aw/vexo-backend/nic_boot.h"
#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/aw/vexo-backend/pci_config_dump.h"
#include "mgmt/aw/vexo-backend/port_speed.h"
#include "mgmt/aw/vexo-backend/sriov_state.h"
#include "mgmt/aw/vexo-backend/virtual_functions.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"

namespace {

constexpr int32_t RO = VEXO_PROP_READONLY;
constexpr int32_t RW = VEXO_PROP_READWRITE;
constexpr char STR = VEXO_TYPE_STRING;
constexpr char INT = VEXO_TYPE_INTEGER;
constexpr char LIST = VEXO_TYPE_LIST;

#define NO_MAC "00:00:00:00:00:00"

// Action records, shared by every NIC function and never freed.

action ROOT_Arcwright_NICPhysicalHBA_NetworkBootConfiguration_SetNetworkBoot_action = {do_SetNetworkBoot, 0, {2, {
    {1, "NetworkBootState", "Network boot on or off.", LIST, "Enabled,Disabled", 7, 8},
    {0, "NetworkBootMethod", "Boot method; needed only when the state is Enabled.", LIST, "PXE,iBFT", 3, 4},
}}};
action ROOT_Arcwright_NICPhysicalHBA_NetworkBootConfiguration_ConfigureVLAN_action = {
    do_NICPhysicalHBA_NetworkBootConfiguration_ConfigureVLAN, 0, {2, {
    {1, "VLANId", "Boot VLAN id; 0 disables the VLAN.", INT, "", 0, 4095},
    {0, "Priority", "Boot VLAN priority.", INT, "", 0, 7},
}}};
action ROOT_Arcwright_NICPhysicalHBA_ResetMACAddress_action = {do_NICPhysicalHBA_ResetMACAddress, 0, {0, {}}};
action ROOT_Arcwright_NICPhysicalHBA_EraseNICConfiguration_action = {do_EraseNICConfiguration, 0, {0, {}}};
action ROOT_Arcwright_NICPhysicalHBA_PCI_DumpNICPCIConfigRegion_action = {do_DumpNICPCIConfigRegion, 0, {2, {
    {1, "RegisterOffset", "Offset of the first register in configuration space.", INT, "", 0, 252},
    {1, "Count", "Number of registers.", INT, "", 1, 64},
}}};

#define VPD_SEGMENT(n)                                                                                         \
    HM_PROPERTY("VPDData" #n, "Segment " #n " of the function's vital product data as hex text.", RO, STR, 0,  \
                256, nullptr, nullptr, handle_internal_property)

const hm_node_row NICPhysicalHBA_rows[] = {
    HM_GROUP("VPD", "Vital product data of the function.", nullptr),
        VPD_SEGMENT(0), VPD_SEGMENT(1), VPD_SEGMENT(2), VPD_SEGMENT(3), VPD_SEGMENT(4),
        VPD_SEGMENT(5), VPD_SEGMENT(6), VPD_SEGMENT(7), VPD_SEGMENT(8),
    HM_END(),

    HM_GROUP("vNIC", "The function as a vNIC.", nullptr),
        HM_PROPERTY("vNICEnabled", "Whether this vNIC is enabled.", RO, LIST, 4, 5, "False", "True,False",
                    handle_nic_vnic_name_props),
        HM_PROPERTY("vNICName", "Name of this vNIC.", RO, STR, 1, 32, "1", nullptr, handle_nic_vnic_name_props),
        HM_PROPERTY("OuterVLANID", "Outer VLAN id of this vNIC.", RO, INT, 0, 4094, "0", nullptr,
                    handle_nic_vnic_stats),
        HM_PROPERTY("MinBandwidth", "Minimum bandwidth in units of 10 Mb/s.", RO, INT, 0, 1000, "0", nullptr,
                    handle_nic_vnic_stats),
        HM_PROPERTY("MaxBandwidth", "Maximum bandwidth in units of 10 Mb/s.", RO, INT, 10, 1000, "0", nullptr,
                    handle_nic_vnic_stats),
    HM_END(),

    HM_GROUP("NetworkBootConfiguration", "Network boot BIOS of the function.", nullptr),
        HM_PROPERTY("AvailableNetworkBootMethods", "Network boot methods the function offers.", RO, LIST, 3, 4,
                    "PXE", "PXE,iBFT", handle_AvailableNetworkBootMethods),
        HM_PROPERTY("NetworkBootMethod", "Configured network boot method.", RO, LIST, 3, 4, "PXE", "PXE,iBFT",
                    handle_networkboot_config),
        HM_PROPERTY("NetworkBootState", "Configured network boot state.", RO, LIST, 2, 3, "Enabled",
                    "Enabled,Disabled", handle_networkboot_config),
        HM_PROPERTY("VolatileMACAddress", "Semi-volatile MAC address, lost at power cycle.", RW, STR, 17, 17,
                    NO_MAC, nullptr, handle_VolatileMACAddress),
        HM_PROPERTY("VLANId", "Boot VLAN id; 0 means VLAN disabled.", RO, INT, 0, 4095, "0", nullptr,
                    handle_vlan_properties),
        HM_PROPERTY("VLANPriority", "Boot VLAN priority.", RO, INT, 0, 7, "0", nullptr, handle_vlan_properties),
        HM_ACTION("SetNetworkBoot", "Configures the network boot BIOS of the function.",
                  &ROOT_Arcwright_NICPhysicalHBA_NetworkBootConfiguration_SetNetworkBoot_action),
        HM_ACTION("ConfigureVLAN", "Sets the boot VLAN id and priority.",
                  &ROOT_Arcwright_NICPhysicalHBA_NetworkBootConfiguration_ConfigureVLAN_action),
    HM_END(),

    HM_PROPERTY("IsRoCEEnabled", "Whether RoCE runs on this NIC function.", RO, LIST, 4, 5, "False", "True,False",
                handle_IsRoCEEnabled),
    HM_PROPERTY("IsVF", "Whether the library runs in a guest on a virtual function.", RO, LIST, 4, 5, "False",
                "True,False", handle_internal_property),
    HM_PROPERTY("PortNumber", "Physical port of this PCI function.", RO, INT, 0, 3, "0", nullptr,
                handle_internal_property),
    HM_PROPERTY("MTUSize", "Current MTU of NIC traffic.", RO, INT, 64, 9000, "1500", nullptr, handle_nic_MTUSize),
    HM_PROPERTY("MaxMTUSize", "Largest MTU of NIC traffic.", RO, INT, 64, 9000, "9000", nullptr,
                handle_internal_property),
    HM_PROPERTY("LogicalLinkStatus", "Logical link up or down.", RO, LIST, 2, 7, "Unknown", "Up,Down,Unknown",
                handle_nic_logical_link_status),
    HM_PROPERTY("IfName", "Host interface name of the function.", RO, STR, 1, 32, "1", nullptr,
                handle_internal_property),
    HM_PROPERTY("MACAddress", "Current MAC address.", RW, STR, 17, 17, NO_MAC, nullptr,
                handle_NICPhysicalHBA_MACAddress),
    HM_PROPERTY("PermanentMACAddress", "Permanent override MAC address.", RW, STR, 17, 17, NO_MAC, nullptr,
                handle_NICPhysicalHBA_PermanentMACAddress),
    HM_PROPERTY("FactoryDefaultMACAddress", "Factory-set MAC address.", RO, STR, 17, 17, NO_MAC, nullptr,
                handle_internal_property),
    HM_PROPERTY("MinBitsPerSecond", "Minimum bandwidth share; 0 means the whole bandwidth.", RO, INT, 0, 1000, "0",
                nullptr, handle_nic_bandwidth_softcap),
    HM_PROPERTY("MaxBitsPerSecond", "Maximum bandwidth share; 0 means the whole bandwidth.", RO, INT, 0, 1000, "0",
                nullptr, handle_nic_bandwidth_softcap),
    HM_PROPERTY("PortSpeed", "Current speed of the function's port.", RO, LIST, 3, 13, "0 (Link Down)",
                "0 (Link Down),less than 1Mb,less than 1Gb,1Gb,10Gb,20Gb,25Gb,40Gb,100Gb", handle_portspeed),
    HM_PROPERTY("SRIOVState", "SR-IOV on this function.", RW, LIST, 7, 8, "Disabled", "Enabled,Disabled",
                handle_NICPhysicalHBA_SRIOVState),
    HM_PROPERTY("VEPAState", "VEPA on this function.", RW, LIST, 7, 8, "Disabled", "Enabled,Disabled",
                handle_VEPAState),
    HM_ACTION("ResetMACAddress", "Sets the MAC address back to the controller's default for the function.",
              &ROOT_Arcwright_NICPhysicalHBA_ResetMACAddress_action),
    HM_ACTION("EraseNICConfiguration", "Resets the NIC boot configuration of the port; effective after a reboot.",
              &ROOT_Arcwright_NICPhysicalHBA_EraseNICConfiguration_action),

    HM_GROUP("CIM", "CIM description of the port.", nullptr),
        HM_PROPERTY("ProtocolIfType", "CIM ProtocolIFType of the port.", RO, STR, 1, 32, "1", nullptr,
                    handle_ProtocolIfType),
        HM_PROPERTY("LinkTechnology", "CIM link technology of the port.", RO, STR, 1, 32, "1", nullptr,
                    handle_LinkTechnology),
        HM_PROPERTY("Capabilities", "Capabilities of the Ethernet port.", RO, STR, 1, 64, "1", nullptr,
                    handle_Arcwright_NICPhysicalHBA_CIM_Capabilities),
        HM_PROPERTY("EnabledCapabilities", "Which of the capabilities are enabled.", RO, STR, 1, 64, "1", nullptr,
                    handle_EnabledCapabilities),
    HM_END(),

    HM_GROUP("PCI", "PCI identity and location of the function.", nullptr),
        HM_PROPERTY("VendorID", "PCI vendor id.", RO, INT, 0, 65535, "0", nullptr, handle_internal_property),
        HM_PROPERTY("DeviceID", "PCI device id.", RO, INT, 0, 65535, "0", nullptr, handle_internal_property),
        HM_PROPERTY("SubsysDeviceID", "PCI subsystem device id.", RO, INT, 0, 65535, "0", nullptr,
                    handle_internal_property),
        HM_PROPERTY("SubsysVendorID", "PCI subsystem vendor id.", RO, INT, 0, 65535, "0", nullptr,
                    handle_internal_property),
        HM_PROPERTY("DomainNumber", "PCI domain number.", RO, INT, 0, 255, "0000", nullptr,
                    handle_internal_property),
        HM_PROPERTY("BusNumber", "PCI bus number.", RO, INT, 0, 255, "0", nullptr, handle_internal_property),
        HM_PROPERTY("DeviceNumber", "PCI device number.", RO, INT, 0, 32, "0", nullptr, handle_internal_property),
        HM_PROPERTY("FunctionNumber", "PCI function number.", RO, INT, 0, 8, "0", nullptr,
                    handle_internal_property),
        HM_ACTION("DumpNICPCIConfigRegion", "Registers of the function's PCI configuration space as hex values.",
                  &ROOT_Arcwright_NICPhysicalHBA_PCI_DumpNICPCIConfigRegion_action),
    HM_END(),

    HM_GROUP("Driver", "Host NIC driver.", nullptr),
        HM_PROPERTY("DriverName", "Name of the host NIC driver.", RO, STR, 2, 10, "AW2NET", nullptr,
                    handle_internal_property),
        HM_PROPERTY("DriverVersion", "Version of the host NIC driver.", RO, STR, 2, 6, "2", nullptr,
                    handle_internal_property),
    HM_END(),
};

#undef VPD_SEGMENT

const hm_node_row NICLogicalHBA_rows[] = {
    HM_PROPERTY("MACAddress", "Current MAC address of the virtual function.", RW, STR, 17, 17, NO_MAC, nullptr,
                handle_niclogicalhba_macaddress),
    HM_PROPERTY("VLANID", "VLAN id of the virtual function.", RW, INT, 0, 4094, "0", nullptr,
                handle_niclogicalhba_vlanid),
    HM_PROPERTY("LinkStatus", "Link of the virtual function up or down.", RO, LIST, 2, 7, "Up", "Up,Down",
                handle_LinkStatus),
    HM_PROPERTY("TxRate", "Transmit rate of the virtual function in Mb/s.", RW, INT, 1, 10000, "100", nullptr,
                handle_niclogicalhba_txrate),
};

#undef NO_MAC

// One slice per adapter, and one per NIC function of every adapter.
uint8_t NICPhysicalHBA_bits[HM_BIT_FIELD_BYTES(NICPHYSICALHBA_MAX_INSTANCES, ARCWRIGHT_MAX_INSTANCES)];
uint8_t NICLogicalHBA_bits[HM_BIT_FIELD_BYTES(NICLOGICALHBA_MAX_INSTANCES,
                                              ARCWRIGHT_MAX_INSTANCES * NICPHYSICALHBA_MAX_INSTANCES)];

const hm_group_type NICPhysicalHBA_type = {
    "NICPhysicalHBA", "One NIC PCI function of the adapter.", NICPHYSICALHBA_MAX_INSTANCES, 0,
    group_NICPhysicalHBA, NICPhysicalHBA_bits, sizeof NICPhysicalHBA_bits, NICPhysicalHBA_rows,
    HM_ROW_COUNT(NICPhysicalHBA_rows)};

const hm_group_type NICLogicalHBA_type = {
    "NICLogicalHBA", "One SR-IOV virtual function of the NIC function.", NICLOGICALHBA_MAX_INSTANCES, 0, nullptr,
    NICLogicalHBA_bits, sizeof NICLogicalHBA_bits, NICLogicalHBA_rows, HM_ROW_COUNT(NICLogicalHBA_rows)};

} // namespace

node *initialize_NICPhysicalHBA(node *parent_node, node *context, node *action,
                                char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&NICPhysicalHBA_type, parent_node, context, action, params);
}

node *initialize_NICLogicalHBA(node *parent_node, node *context, node *action,
                               char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&NICLogicalHBA_type, parent_node, context, action, params);
}
