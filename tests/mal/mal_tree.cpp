#include "mal_tree.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/wait.h>
#include <unistd.h>

#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/linux/vexod_lock.h"

namespace maltest {

const char kNoAdapterMachine[] = R"({
  "comment": "no converged adapter",
  "host": { "release": "VMware ESXi 6.7.0 build-8169922", "banner": "VMware ESXi 6.7.0" },
  "adapters": []
})";

TreeState tree_state;

namespace {

constexpr hm_node_row P(const char *name, const char *value)
{
    return HM_PROPERTY(name, "a value", VEXO_PROP_READONLY, VEXO_TYPE_STRING, 0, 255, value, nullptr,
                       handle_internal_property);
}

// The configuration-space dump as the back end answers it: 64 bytes as
// "%02x " with a line break before every 16th, in the last status.
VEXO_status_t do_DumpPci(node *, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    tree_state.dump_runs++;
    int offset = std::atoi(params[0]);
    int length = std::atoi(params[1]);
    if (offset == tree_state.dump_fail_offset || offset < 0 || length < 0 || offset + length > 256) {
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_READ_PCI_DATA);
        return VEXO_STATUS_FAILURE;
    }
    char text[VEXO_LAST_STATUS_SIZE] = "";
    size_t used = 0;
    for (int i = 0; i < length; ++i) {
        if (i != 0 && i % 16 == 0)
            used += std::snprintf(text + used, sizeof text - used, "\n");
        used += std::snprintf(text + used, sizeof text - used, "%02x ", tree_state.pci[offset + i]);
    }
    vexo_set_last_status(VEXO_STATUS_DUMP_PCI_DATA, text);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_Count(node *, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    vexo_set_last_status(VEXO_STATUS_SUCCESS, "counted");
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t group_ChannelManagement(node *)
{
    tree_state.channel_refreshes++;
    return VEXO_STATUS_SUCCESS;
}

action DumpNIC_action = {do_DumpPci, 0, {2, {
    {1, "Offset", "first byte", VEXO_TYPE_INTEGER, "", 0, 255},
    {1, "Length", "bytes", VEXO_TYPE_INTEGER, "", 1, 64},
}}};
action DumpiSCSI_action = {do_DumpPci, 0, {2, {
    {1, "Offset", "first byte", VEXO_TYPE_INTEGER, "", 0, 255},
    {1, "Length", "bytes", VEXO_TYPE_INTEGER, "", 1, 64},
}}};
action Count_action = {do_Count, 0, {1, {
    {1, "Count", "a number", VEXO_TYPE_INTEGER, "", 1, 10},
}}};

const hm_node_row adapter_rows[] = {
    P("SerialNumber", "SER0"),
    HM_PROPERTY("Label", "a label", VEXO_PROP_READWRITE, VEXO_TYPE_STRING, 3, 20, "abc", nullptr,
                handle_internal_property),
    P("ActiveFirmwareVersion", "11.2.1193.36"), P("BIOSVersion", "11.2.1193.36"),
    P("BootCodeVersion", "11.2.1153.13"), P("Capabilities", "TCP offload,Raw Ethernet"),
    P("ControllerStatus", "Alive"), P("Description", "Converged adapter"), P("FirmwareStatus", "Working"),
    P("FirmwareVersionOnFlash", "11.2.1193.36"), P("Manufacturer", "Tranquilforge"), P("ModelNumber", "TF-2"),
    P("PHYFirmwareVersion", "N/A"), P("PHYConfigurationId", "N/A"), P("FleetView", "Disabled"),
    P("IsSecureJumperEnabled", "N/A"), P("ArcwrightOnDieTemperature", "52"), P("IPLFileName", "N/A"),
    P("FCoEUniversalVersion", "1"), P("FCoEx86BIOSVersion", "2"), P("FCoEEFIVersion", "3"),
    P("FCoEFCODEVersion", "4"), P("UEFIBIOSVersion", "5"), P("UEFINICVersion", "6"), P("UEFIFCODEVersion", "7"),
    P("UEFISCSIVersion", "8"), P("PXEBIOSVersion", "9"), P("PCIExpressLinkSpeed", "5.0GT/s"),
    P("PCIExpressBusWidth", "x8"), P("FFVName", "FFV-A"),
    HM_ACTION("Count", "counts", &Count_action),
    HM_GROUP("OEM", "OEM data", nullptr),
        P("OrvaneSerialNumber", "AB0102030405060708090a"), P("OEMSerialNumber", "OEM-77"),
        P("PersonalityManagementWord", "0x0000001f"),
    HM_END(),
    HM_GROUP("FATData", "firmware log", nullptr),
        P("FATDataValid", "True"),
    HM_END(),
    HM_GROUP("NICCIM", "NIC CIM", nullptr),
        P("MaxSupportedController", "2"), P("ControllerType", "Ethernet"), P("PortControllerName", "port ctl"),
        P("ProtocolSupported", "TCP"),
    HM_END(),
    HM_GROUP("NCSI", "NC-SI", nullptr),
        P("NCSIVersion", "1.0"),
    HM_END(),
    HM_GROUP("ExtFATData", "trace", nullptr),
    HM_END(),
    // Values of every shape for the typed readers.
    HM_GROUP("Values", "reader cases", nullptr),
        P("ETO", "N/A"), P("DefaultETO", "N/A"), P("PortNumber", "N/A"), P("Flag", "Enabled"), P("Count", "42"),
        P("Big", "123456789012"), P("Word", "0x1f"), P("Wide", "0x123456789abcdef0"), P("Address", "192.168.1.7"),
        P("Address6", "fe80::1%vmk1"), P("MACAddress", "00-11-22-33-44-55"),
        P("PermanentMACAddress", "00:11:22:33:44:66"), P("Description", "a description"),
        P("LogicalLinkStatus", "Up"), P("PortSpeed", "10 Gbps"),
    HM_END(),
    HM_GROUP("ProfileManagement", "profiles", nullptr),
        HM_GROUP("ActiveProfile", "the active profile", nullptr),
        HM_END(),
    HM_END(),
};

const hm_node_row port_rows[] = {
    P("PhysicalLinkStatus", "Up"), P("PortName", "Port 0"), P("FCoEWWPN", "10:00:00:00:c9:00:00:01"),
    P("InterfaceType", "SFP"), P("FCoELinkSpeed", "10Gb"), P("PortState", "Enabled"),
    P("BeaconState", "Disabled"), P("PortNumber", "0"), P("PHYType", "0x1b"),
    HM_GROUP("ChannelManagement", "channels", group_ChannelManagement),
    HM_END(),
};

const hm_node_row channel_rows[] = {
    P("ChannelState", "Enabled"),
};

const hm_node_row pci_rows_nic[] = {
    HM_GROUP("PCI", "PCI location", nullptr),
        P("VendorID", "0x19a2"), P("DeviceID", "0x0710"), P("SubsysDeviceID", "0xe702"),
        P("SubsysVendorID", "0x10df"), P("DomainNumber", "0x0000"), P("BusNumber", "0x4"),
        P("DeviceNumber", "0x0"), P("FunctionNumber", "0x1"),
        HM_ACTION("DumpNICPCIConfigRegion", "configuration space", &DumpNIC_action),
    HM_END(),
    HM_GROUP("Driver", "driver", nullptr),
        P("DriverName", "ovnnet.o"), P("DriverVersion", "11.2.1149.0"),
    HM_END(),
    HM_GROUP("CIM", "CIM", nullptr),
        P("Capabilities", "cap"), P("EnabledCapabilities", "en"), P("LinkTechnology", "Ethernet"),
        P("ProtocolIfType", "N/A"),
    HM_END(),
    HM_GROUP("vNIC", "vNIC", nullptr),
        P("vNICEnabled", "Enabled"), P("vNICName", "vnic0"), P("OuterVLANID", "12"), P("MinBandwidth", "10"),
        P("MaxBandwidth", "100"),
    HM_END(),
    HM_GROUP("NetworkBootConfiguration", "network boot", nullptr),
        P("NetworkBootState", "Enabled"), P("AvailableNetworkBootMethods", "PXE"), P("NetworkBootMethod", "PXE"),
        P("VLANId", "5"), P("VLANPriority", "3"), P("VolatileMACAddress", "00-11-22-33-44-55"),
    HM_END(),
    P("IfName", "vmnic2"), P("LogicalLinkStatus", "Up"), P("PortSpeed", "10 Gbps"), P("MinBitsPerSecond", "1000"),
    P("MaxBitsPerSecond", "10000"), P("MTUSize", "1500"), P("PortNumber", "1"), P("MaxMTUSize", "9000"),
    P("MACAddress", "00-90-fa-01-02-03"), P("PermanentMACAddress", "00-90-fa-01-02-04"),
    P("FactoryDefaultMACAddress", "00-90-fa-01-02-05"), P("VEPAState", "Disabled"), P("SRIOVState", "Enabled"),
    P("IsVF", "False"), P("IsRoCEEnabled", "No"),
};

const hm_node_row iscsi_rows[] = {
    HM_GROUP("PCI", "PCI location", nullptr),
        P("VendorID", "0x19a2"), P("DeviceID", "0x0712"), P("SubsysDeviceID", "0xe712"),
        P("SubsysVendorID", "0x10df"), P("DomainNumber", "0x0001"), P("BusNumber", "0x4"),
        P("DeviceNumber", "0x0"), P("FunctionNumber", "0x2"),
        HM_ACTION("DumpiSCSIPCIConfigRegion", "configuration space", &DumpiSCSI_action),
    HM_END(),
    HM_GROUP("Driver", "driver", nullptr),
        P("DriverName", "ovniscsi.o"), P("DriverVersion", "11.2.1153.0"),
    HM_END(),
    HM_GROUP("Network", "network", nullptr),
        HM_GROUP("NICConfiguration", "NIC side", nullptr),
            P("MACAddress", "00:90:fa:0a:0b:0c"), P("PermanentMACAddress", "00:90:fa:0a:0b:0d"),
            P("ActivePort", "1"), P("MaxMTUSize", "9000"), P("LogicalLinkStatus", "Up"), P("PortSpeed", "10 Gbps"),
            P("PortMaxSpeed", "10Gb"),
            HM_GROUP("vNIC", "vNIC", nullptr),
                P("vNICEnabled", "Disabled"), P("vNICName", "unused"), P("OuterVLANID", "7"),
                P("MinBandwidth", "1"), P("MaxBandwidth", "2"),
            HM_END(),
        HM_END(),
    HM_END(),
    P("iSCSIBIOSEnable", "True"), P("MPIOEnabled", "False"), P("DefaultETO", "30"), P("LDTO", "20"),
    P("MaxCDBLength", "16"), P("PortNumber", "1"),
};

const hm_node_row logical_rows[] = {
    P("IfName", "vmhba33"),
    HM_GROUP("Discovery", "discovery", nullptr),
    HM_END(),
};

const hm_node_row target_rows[] = {P("TargetName", "iqn.2001-04.com.example:t")};
const hm_node_row portal_rows[] = {P("IPAddress", "10.0.0.1")};
const hm_node_row pm_port_rows[] = {P("PortId", "0")};

uint8_t adapter_bits[HM_BIT_FIELD_BYTES(16, 1)];
uint8_t port_bits[HM_BIT_FIELD_BYTES(4, 16)];
uint8_t channel_bits[HM_BIT_FIELD_BYTES(8, 64)];
uint8_t nic_bits[HM_BIT_FIELD_BYTES(32, 16)];
uint8_t iscsi_bits[HM_BIT_FIELD_BYTES(16, 16)];
uint8_t logical_bits[HM_BIT_FIELD_BYTES(1, 256)];
uint8_t target_bits[HM_BIT_FIELD_BYTES(16, 256)];
uint8_t portal_bits[HM_BIT_FIELD_BYTES(8, 256)];
uint8_t pm_port_bits[HM_BIT_FIELD_BYTES(4, 16)];

#define TYPE(var, name, max, bits, rows)                                                                    \
    const hm_group_type var = {name, name, max, 0, nullptr, bits, sizeof bits, rows, HM_ROW_COUNT(rows)}

TYPE(adapter_type, "Arcwright", 16, adapter_bits, adapter_rows);
TYPE(port_type, "PortDiscoveryAndConfiguration", 4, port_bits, port_rows);
TYPE(channel_type, "Channel", 8, channel_bits, channel_rows);
TYPE(nic_type, "NICPhysicalHBA", 32, nic_bits, pci_rows_nic);
TYPE(iscsi_type, "iSCSIPhysicalHBA", 16, iscsi_bits, iscsi_rows);
TYPE(logical_type, "LogicalHBA", 1, logical_bits, logical_rows);
TYPE(target_type, "Target", 16, target_bits, target_rows);
TYPE(portal_type, "SendTargetPortal", 8, portal_bits, portal_rows);
TYPE(pm_port_type, "Port", 4, pm_port_bits, pm_port_rows);

node *build(const hm_group_type *type, node *parent)
{
    return parent ? hm_build_group(type, parent, nullptr, nullptr, nullptr) : nullptr;
}

} // namespace

node *build_adapter() { return build(&adapter_type, get_node(0)); }
node *build_port(node *adapter) { return build(&port_type, adapter); }
node *build_channel(node *port)
{
    return build(&channel_type, port ? internal_get_node(port, "ChannelManagement", VEXO_NODE_GROUP) : nullptr);
}
node *build_nic(node *adapter) { return build(&nic_type, adapter); }
node *build_iscsi(node *adapter) { return build(&iscsi_type, adapter); }
node *build_logical(node *iscsi) { return build(&logical_type, iscsi); }
node *build_target(node *logical) { return build(&target_type, logical); }
node *build_portal(node *logical)
{
    return build(&portal_type, logical ? internal_get_node(logical, "Discovery", VEXO_NODE_GROUP) : nullptr);
}
node *build_pm_port(node *adapter)
{
    node *pm = adapter ? internal_get_node(adapter, "ProfileManagement", VEXO_NODE_GROUP) : nullptr;
    return build(&pm_port_type, pm ? internal_get_node(pm, "ActiveProfile", VEXO_NODE_GROUP) : nullptr);
}

void remove_child(node *parent, const char *name)
{
    node *n = internal_get_node(parent, name, 0);
    if (n)
        delete_node(n);
}

void set_value(node *base, const char *path, const char *value)
{
    char buf[256];
    std::snprintf(buf, sizeof buf, "%s", path);
    node *group = base;
    char *name = buf;
    for (char *slash = std::strchr(name, '/'); slash && group; slash = std::strchr(name, '/')) {
        *slash = '\0';
        group = internal_get_node(group, name, VEXO_NODE_GROUP);
        name = slash + 1;
    }
    if (group)
        set_prop_val(group, name, "%s", value);
}

node_tag_t tag_of(node_tag_t parent, const char *name, int type)
{
    node_tag_t tag = -1;
    char buf[VEXO_VALUE_SIZE];
    std::snprintf(buf, sizeof buf, "%s", name);
    if (VEXO_get_node_tag(parent, buf, &tag, type) != VEXO_STATUS_SUCCESS)
        return -1;
    return tag;
}

LockHolder::LockHolder(const std::string &key)
{
    int ready[2];
    int release[2];
    if (pipe(ready) != 0)
        return;
    if (pipe(release) != 0) {
        close(ready[0]);
        close(ready[1]);
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        close(ready[0]);
        close(release[1]);
        char ok = vexo_acquire_lock(key.c_str()) == 0 ? 1 : 0;
        if (write(ready[1], &ok, 1) != 1)
            _exit(1);
        char c;
        while (read(release[0], &c, 1) > 0) {
        }
        if (ok)
            vexo_release_lock(key.c_str());
        _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    release_fd_ = release[1];
    char ok = 0;
    holding_ = pid_ > 0 && read(ready[0], &ok, 1) == 1 && ok == 1;
    close(ready[0]);
}

LockHolder::~LockHolder()
{
    if (release_fd_ >= 0)
        close(release_fd_);
    if (pid_ > 0) {
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

} // namespace maltest
