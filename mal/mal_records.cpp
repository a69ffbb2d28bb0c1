#include "mal/mal_records.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "mal/mal_core.h"
#include "mal/mal_readers.h"

namespace {

#define TEXT(rec, field) MAL_PropertyDesc{#field, (rec)->field, sizeof((rec)->field)}
#define VALUE(rec, field) MAL_PropertyDesc{#field, &(rec)->field, sizeof((rec)->field)}
#define COUNT(table) static_cast<int>(sizeof(table) / sizeof((table)[0]))

const uint8_t kAllOnesMac[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

RM_STATUS child_group(node_tag_t parent, const char *name, node_tag_t *child)
{
    *child = VEXO_NO_TAG;
    return MAL_get_node_tag(parent, name, child, MAL_NODE_GROUP);
}

// One String set of the adapter record: on a reported failure every empty
// field of the set reads "Not Available".
RM_STATUS string_set(node_tag_t group, const MAL_PropertyDesc *table, int count)
{
    RM_STATUS r = MAL_GetStringProperties(group, count, table);
    if (r == RM_STATUS_OK || r == RM_STATUS_ERROR_ADAPTER_BUSY)
        return r;
    for (int i = 0; i < count; ++i) {
        char *field = static_cast<char *>(table[i].value);
        if (field[0] == '\0')
            snprintf(field, table[i].size, "%s", MAL_NOT_AVAILABLE);
    }
    return r;
}

} // namespace

RM_STATUS MAL_GetAWProperties(node_tag_t adapter, MAL_AWProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;

    const MAL_PropertyDesc set1[] = {
        TEXT(rec, ActiveFirmwareVersion), TEXT(rec, BIOSVersion),         TEXT(rec, BootCodeVersion),
        TEXT(rec, Capabilities),          TEXT(rec, ControllerStatus),    TEXT(rec, Description),
        TEXT(rec, FirmwareStatus),        TEXT(rec, FirmwareVersionOnFlash), TEXT(rec, Manufacturer),
        TEXT(rec, ModelNumber),           TEXT(rec, SerialNumber),        TEXT(rec, PHYFirmwareVersion),
        TEXT(rec, PHYConfigurationId),    TEXT(rec, FleetView),           TEXT(rec, IsSecureJumperEnabled),
    };
    if (string_set(adapter, set1, COUNT(set1)) == RM_STATUS_ERROR_ADAPTER_BUSY)
        return RM_STATUS_ERROR_ADAPTER_BUSY;

    const MAL_PropertyDesc temperature[] = {VALUE(rec, ArcwrightOnDieTemperature)};
    RM_STATUS r = MAL_GetIntProperties(adapter, 1, temperature);
    if (r == RM_STATUS_ERROR_ADAPTER_BUSY)
        return r;
    if (r != RM_STATUS_OK)
        rec->ArcwrightOnDieTemperature = 0;
    else if (rec->ArcwrightOnDieTemperature != 0)
        rec->ArcwrightOnDieTemperature &= 0xFF;

    const MAL_PropertyDesc set2[] = {
        TEXT(rec, IPLFileName),      TEXT(rec, FCoEUniversalVersion), TEXT(rec, FCoEx86BIOSVersion),
        TEXT(rec, FCoEEFIVersion),   TEXT(rec, FCoEFCODEVersion),     TEXT(rec, UEFIBIOSVersion),
        TEXT(rec, UEFINICVersion),   TEXT(rec, UEFIFCODEVersion),     TEXT(rec, UEFISCSIVersion),
        TEXT(rec, PXEBIOSVersion),
    };
    if (string_set(adapter, set2, COUNT(set2)) == RM_STATUS_ERROR_ADAPTER_BUSY)
        return RM_STATUS_ERROR_ADAPTER_BUSY;
    const MAL_PropertyDesc set3[] = {TEXT(rec, PCIExpressLinkSpeed), TEXT(rec, PCIExpressBusWidth)};
    if (string_set(adapter, set3, COUNT(set3)) == RM_STATUS_ERROR_ADAPTER_BUSY)
        return RM_STATUS_ERROR_ADAPTER_BUSY;
    const MAL_PropertyDesc set4[] = {TEXT(rec, FFVName)};
    if (string_set(adapter, set4, COUNT(set4)) == RM_STATUS_ERROR_ADAPTER_BUSY)
        return RM_STATUS_ERROR_ADAPTER_BUSY;

    node_tag_t oem = VEXO_NO_TAG;
    if (child_group(adapter, "OEM", &oem) == RM_STATUS_OK) {
        const MAL_PropertyDesc word[] = {VALUE(rec, PersonalityManagementWord)};
        r = MAL_GetHexProperties(oem, 1, word);
        if (r == RM_STATUS_ERROR_ADAPTER_BUSY)
            return r;
        if (r != RM_STATUS_OK)
            rec->PersonalityManagementWord = 0;
        const MAL_PropertyDesc serials[] = {TEXT(rec, OEMSerialNumber), TEXT(rec, OrvaneSerialNumber)};
        if (MAL_GetStringProperties(oem, COUNT(serials), serials) == RM_STATUS_ERROR_ADAPTER_BUSY)
            return RM_STATUS_ERROR_ADAPTER_BUSY;
    }

    rec->FATDataValid = 0;
    node_tag_t fat = VEXO_NO_TAG;
    if (child_group(adapter, "FATData", &fat) == RM_STATUS_OK) {
        const MAL_PropertyDesc valid[] = {VALUE(rec, FATDataValid)};
        if (MAL_GetBoolProperties(fat, 1, valid) == RM_STATUS_ERROR_ADAPTER_BUSY)
            return RM_STATUS_ERROR_ADAPTER_BUSY;
    }

    rec->MaxSupportedController = 0;
    rec->ControllerType[0] = '\0';
    rec->PortControllerName[0] = '\0';
    rec->ProtocolSupported[0] = '\0';
    node_tag_t cim = VEXO_NO_TAG;
    if (child_group(adapter, "NICCIM", &cim) == RM_STATUS_OK) {
        const MAL_PropertyDesc max[] = {VALUE(rec, MaxSupportedController)};
        if (MAL_GetIntProperties(cim, 1, max) == RM_STATUS_ERROR_ADAPTER_BUSY)
            return RM_STATUS_ERROR_ADAPTER_BUSY;
        const MAL_PropertyDesc texts[] = {TEXT(rec, ControllerType), TEXT(rec, PortControllerName),
                                          TEXT(rec, ProtocolSupported)};
        if (MAL_GetStringProperties(cim, COUNT(texts), texts) == RM_STATUS_ERROR_ADAPTER_BUSY)
            return RM_STATUS_ERROR_ADAPTER_BUSY;
    }

    rec->NCSIVersion[0] = '\0';
    node_tag_t ncsi = VEXO_NO_TAG;
    bool failed = true;
    if (child_group(adapter, "NCSI", &ncsi) == RM_STATUS_OK) {
        const MAL_PropertyDesc version[] = {TEXT(rec, NCSIVersion)};
        r = MAL_GetStringProperties(ncsi, 1, version);
        if (r == RM_STATUS_ERROR_ADAPTER_BUSY)
            return r;
        failed = r != RM_STATUS_OK;
    }
    if (failed && rec->NCSIVersion[0] == '\0')
        snprintf(rec->NCSIVersion, sizeof rec->NCSIVersion, "%s", MAL_NOT_AVAILABLE);
    return RM_STATUS_OK;
}

RM_STATUS MAL_GetGroup_PortDiscoveryAndConfiguration(node_tag_t port, MAL_Group_PortDiscoveryAndConfiguration *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    const MAL_PropertyDesc texts[] = {TEXT(rec, PhysicalLinkStatus), TEXT(rec, PortName), TEXT(rec, FCoEWWPN),
                                      TEXT(rec, InterfaceType), TEXT(rec, FCoELinkSpeed)};
    const MAL_PropertyDesc bools[] = {VALUE(rec, PortState), VALUE(rec, BeaconState)};
    const MAL_PropertyDesc ints[] = {VALUE(rec, PortNumber)};
    const MAL_PropertyDesc hex[] = {VALUE(rec, PHYType)};
    // Failures show only as the fields' failure values.
    MAL_GetStringProperties(port, COUNT(texts), texts);
    MAL_GetBoolProperties(port, COUNT(bools), bools);
    MAL_GetIntProperties(port, COUNT(ints), ints);
    MAL_GetHexProperties(port, COUNT(hex), hex);
    return RM_STATUS_OK;
}

RM_STATUS MAL_GetGroup_PCI(node_tag_t function, MAL_PCIIdentity *pci)
{
    if (!pci)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t group = VEXO_NO_TAG;
    if (child_group(function, "PCI", &group) != RM_STATUS_OK)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    const MAL_PropertyDesc table[] = {
        VALUE(pci, VendorID),     VALUE(pci, DeviceID),  VALUE(pci, SubsysDeviceID), VALUE(pci, SubsysVendorID),
        VALUE(pci, DomainNumber), VALUE(pci, BusNumber), VALUE(pci, DeviceNumber),   VALUE(pci, FunctionNumber),
    };
    return MAL_GetHexProperties(group, COUNT(table), table);
}

RM_STATUS MAL_GetGroup_Driver(node_tag_t function, MAL_DriverInfo *driver)
{
    if (!driver)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t group = VEXO_NO_TAG;
    if (child_group(function, "Driver", &group) != RM_STATUS_OK)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    const MAL_PropertyDesc table[] = {TEXT(driver, DriverName), TEXT(driver, DriverVersion)};
    return MAL_GetStringProperties(group, COUNT(table), table);
}

RM_STATUS MAL_GetGroup_Cim(node_tag_t function, MAL_CimInfo *cim)
{
    if (!cim)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t group = VEXO_NO_TAG;
    if (child_group(function, "CIM", &group) != RM_STATUS_OK)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    const MAL_PropertyDesc table[] = {TEXT(cim, Capabilities), TEXT(cim, EnabledCapabilities),
                                      TEXT(cim, LinkTechnology), TEXT(cim, ProtocolIfType)};
    return MAL_GetStringProperties(group, COUNT(table), table);
}

RM_STATUS MAL_GetGroup_vNIC(node_tag_t holder, MAL_vNIC *vnic)
{
    if (!vnic)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    std::memset(vnic, 0, sizeof *vnic);
    node_tag_t group = VEXO_NO_TAG;
    if (child_group(holder, "vNIC", &group) != RM_STATUS_OK)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    const MAL_PropertyDesc enabled[] = {VALUE(vnic, vNICEnabled)};
    RM_STATUS r = MAL_GetBoolProperties(group, 1, enabled);
    if (r != RM_STATUS_OK)
        return r;
    if (vnic->vNICEnabled == 0)
        return RM_STATUS_OK;
    const MAL_PropertyDesc name[] = {TEXT(vnic, vNICName)};
    r = MAL_GetStringProperties(group, 1, name);
    if (r != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc ints[] = {VALUE(vnic, OuterVLANID), VALUE(vnic, MinBandwidth), VALUE(vnic, MaxBandwidth)};
    return MAL_GetIntProperties(group, COUNT(ints), ints);
}

RM_STATUS MAL_GetGroup_NetworkBootConfiguration(node_tag_t function, MAL_NetworkBootConfiguration *boot)
{
    if (!boot)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    // Without the group every read below fails and leaves its failure value.
    node_tag_t group = VEXO_NO_TAG;
    child_group(function, "NetworkBootConfiguration", &group);
    const MAL_PropertyDesc state[] = {VALUE(boot, NetworkBootState)};
    MAL_GetBoolProperties(group, 1, state);
    const MAL_PropertyDesc texts[] = {TEXT(boot, AvailableNetworkBootMethods), TEXT(boot, NetworkBootMethod)};
    MAL_GetStringProperties(group, COUNT(texts), texts);
    const MAL_PropertyDesc vlan[] = {VALUE(boot, VLANId), VALUE(boot, VLANPriority)};
    if (MAL_GetIntProperties(group, COUNT(vlan), vlan) != RM_STATUS_OK) {
        boot->VLANId = -1;
        boot->VLANPriority = -1;
    }
    const MAL_PropertyDesc mac[] = {MAL_PropertyDesc{"VolatileMACAddress", boot->VolatileMACAddress, 6}};
    RM_STATUS r = MAL_GetMacAddrProperties(group, 1, mac);
    if (r != RM_STATUS_OK)
        std::memcpy(boot->VolatileMACAddress, kAllOnesMac, 6);
    return r;
}

RM_STATUS MAL_GetGroup_NicConfiguration(node_tag_t network, MAL_iSCSINicConfigProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t group = VEXO_NO_TAG;
    RM_STATUS r = child_group(network, "NICConfiguration", &group);
    if (r != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc texts[] = {TEXT(rec, LogicalLinkStatus), TEXT(rec, PortMaxSpeed), TEXT(rec, PortSpeed)};
    RM_STATUS texts_r = MAL_GetStringProperties(group, COUNT(texts), texts);
    const MAL_PropertyDesc ints[] = {VALUE(rec, ActivePort), VALUE(rec, MaxMTUSize)};
    RM_STATUS ints_r = MAL_GetIntProperties(group, COUNT(ints), ints);
    const MAL_PropertyDesc mac[] = {MAL_PropertyDesc{"MACAddress", rec->MACAddress, 6}};
    RM_STATUS mac_r = MAL_GetMacAddrProperties(group, 1, mac);
    const MAL_PropertyDesc perm[] = {MAL_PropertyDesc{"PermanentMACAddress", rec->PermanentMACAddress, 6}};
    RM_STATUS perm_r = MAL_GetMacAddrProperties(group, 1, perm);
    if (perm_r != RM_STATUS_OK && mac_r == RM_STATUS_OK) {
        std::memcpy(rec->PermanentMACAddress, rec->MACAddress, 6);
        perm_r = RM_STATUS_OK;
    }
    if (texts_r != RM_STATUS_OK)
        return texts_r;
    if (ints_r != RM_STATUS_OK)
        return ints_r;
    return perm_r;
}

RM_STATUS MAL_GetGroup_iSCSIPhysicalHBA(node_tag_t function, MAL_iSCSIPhysicalProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    const MAL_PropertyDesc bools[] = {VALUE(rec, iSCSIBIOSEnable), VALUE(rec, MPIOEnabled)};
    RM_STATUS r = MAL_GetBoolProperties(function, COUNT(bools), bools);
    if (r != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc ints[] = {VALUE(rec, DefaultETO), VALUE(rec, LDTO), VALUE(rec, MaxCDBLength),
                                     VALUE(rec, PortNumber)};
    r = MAL_GetIntProperties(function, COUNT(ints), ints);
    if (r != RM_STATUS_OK)
        return r;
    // Time-outs the firmware does not give read as -1.
    struct {
        const char *name;
        int32_t *field;
    } timeouts[] = {{"DefaultETO", &rec->DefaultETO}, {"LDTO", &rec->LDTO}};
    for (auto &t : timeouts) {
        node_tag_t tag = VEXO_NO_TAG;
        if (MAL_get_node_tag(function, t.name, &tag, MAL_NODE_PROPERTY) != RM_STATUS_OK)
            return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
        char value[MAL_VALUE_SIZE] = "";
        r = MAL_get_property_val(function, tag, value, MAL_VALUE_SIZE);
        if (r == RM_STATUS_OK && strcasecmp(value, "N/A") == 0)
            *t.field = -1;
    }
    return r;
}

RM_STATUS MAL_GetiSCSIPhysicalProperties(node_tag_t function, MAL_iSCSIPhysicalProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    RM_STATUS r = MAL_GetGroup_iSCSIPhysicalHBA(function, rec);
    if (r != RM_STATUS_OK)
        return r;
    r = MAL_GetGroup_Driver(function, &rec->driver);
    if (r != RM_STATUS_OK)
        return r;
    r = MAL_GetGroup_PCI(function, &rec->pci);
    if (r != RM_STATUS_OK)
        return r;
    rec->vnic.vNICEnabled = 0;
    node_tag_t network = VEXO_NO_TAG;
    node_tag_t config = VEXO_NO_TAG;
    if (child_group(function, "Network", &network) == RM_STATUS_OK &&
        child_group(network, "NICConfiguration", &config) == RM_STATUS_OK)
        MAL_GetGroup_vNIC(config, &rec->vnic);
    return MAL_Dump_PciConfigRegion(function, "DumpiSCSIPCIConfigRegion", rec->PciConfigSpace);
}

RM_STATUS MAL_GetiSCSINicConfigProperties(node_tag_t function, MAL_iSCSINicConfigProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t network = VEXO_NO_TAG;
    RM_STATUS r = child_group(function, "Network", &network);
    if (r != RM_STATUS_OK)
        return r;
    return MAL_GetGroup_NicConfiguration(network, rec);
}

RM_STATUS MAL_GetGroup_NicPhysicalHBA(node_tag_t function, MAL_NicPhysicalProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    const MAL_PropertyDesc texts[] = {TEXT(rec, IfName), TEXT(rec, LogicalLinkStatus), TEXT(rec, PortSpeed)};
    if (MAL_GetStringProperties(function, COUNT(texts), texts) != RM_STATUS_OK && rec->LogicalLinkStatus[0] == '\0')
        snprintf(rec->LogicalLinkStatus, sizeof rec->LogicalLinkStatus, "n/a");
    const MAL_PropertyDesc ints[] = {VALUE(rec, MinBitsPerSecond), VALUE(rec, MaxBitsPerSecond), VALUE(rec, MTUSize),
                                     VALUE(rec, PortNumber), VALUE(rec, MaxMTUSize)};
    MAL_GetIntProperties(function, COUNT(ints), ints);
    const MAL_PropertyDesc mac[] = {MAL_PropertyDesc{"MACAddress", rec->MACAddress, 6}};
    RM_STATUS mac_r = MAL_GetMacAddrProperties(function, 1, mac);
    const MAL_PropertyDesc perm[] = {MAL_PropertyDesc{"PermanentMACAddress", rec->PermanentMACAddress, 6}};
    RM_STATUS perm_r = MAL_GetMacAddrProperties(function, 1, perm);
    const MAL_PropertyDesc factory[] = {
        MAL_PropertyDesc{"FactoryDefaultMACAddress", rec->FactoryDefaultMACAddress, 6}};
    RM_STATUS factory_r = MAL_GetMacAddrProperties(function, 1, factory);
    if (perm_r != RM_STATUS_OK && mac_r == RM_STATUS_OK)
        std::memcpy(rec->PermanentMACAddress, rec->MACAddress, 6);
    if (factory_r != RM_STATUS_OK)
        std::memcpy(rec->FactoryDefaultMACAddress, kAllOnesMac, 6);
    const MAL_PropertyDesc bools[] = {VALUE(rec, VEPAState), VALUE(rec, SRIOVState), VALUE(rec, IsVF),
                                      VALUE(rec, IsRoCEEnabled)};
    MAL_GetBoolProperties(function, COUNT(bools), bools);
    return RM_STATUS_OK;
}

RM_STATUS MAL_GetNicPhysicalProperties(node_tag_t function, MAL_NicPhysicalProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    MAL_GetGroup_NicPhysicalHBA(function, rec);
    MAL_GetGroup_Cim(function, &rec->cim);
    MAL_GetGroup_Driver(function, &rec->driver);
    MAL_GetGroup_PCI(function, &rec->pci);
    if (MAL_GetGroup_vNIC(function, &rec->vnic) != RM_STATUS_OK)
        rec->vnic.vNICEnabled = 0;
    MAL_GetGroup_NetworkBootConfiguration(function, &rec->boot);
    MAL_Dump_PciConfigRegion(function, "DumpNICPCIConfigRegion", rec->PciConfigSpace);
    return RM_STATUS_OK;
}

RM_STATUS MAL_GetNicPhysicalPropertiesForDiscovery(node_tag_t function, MAL_NicPhysicalProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    MAL_GetGroup_NicPhysicalHBA(function, rec);
    return MAL_GetGroup_PCI(function, &rec->pci);
}

RM_STATUS MAL_Dump_PciConfigRegion(node_tag_t function, const char *action_name, uint8_t *buffer)
{
    if (!action_name || !buffer)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t pci = VEXO_NO_TAG;
    RM_STATUS r = child_group(function, "PCI", &pci);
    if (r != RM_STATUS_OK)
        return r;
    node_tag_t action = VEXO_NO_TAG;
    r = MAL_get_node_tag(pci, action_name, &action, MAL_NODE_ACTION);
    if (r != RM_STATUS_OK)
        return r;
    for (int offset = 0; offset < MAL_PCI_CONFIG_SIZE; offset += 64) {
        MAL_ActionParams params;
        std::memset(params, 0, sizeof params);
        snprintf(params[0], sizeof params[0], "%d", offset);
        snprintf(params[1], sizeof params[1], "%d", 64);
        // The action starts the list itself and nothing here reads it back,
        // so the 16 KB list is not cleared for every read.
        node_tag_t new_tags[VEXO_MAX_NEW_TAGS];
        new_tags[0] = 0;
        int32_t done = MAL_do_action(pci, action, params, new_tags, 0);
        if (done != RM_STATUS_OK)
            return static_cast<RM_STATUS>(done);
        VEXO_status_t code = VEXO_STATUS_SUCCESS;
        char text[MAL_STATUS_TEXT_SIZE] = "";
        VEXO_status_t read = MAL_get_last_status(&code, text);
        if (read != VEXO_STATUS_SUCCESS)
            return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
        text[MAL_STATUS_TEXT_SIZE - 1] = '\0';
        // Two-digit numbers separated by blanks, a line break every 16.
        char *save = nullptr;
        int index = 0;
        for (char *p = strtok_r(text, " \n", &save); p && index < 64; p = strtok_r(nullptr, " \n", &save)) {
            unsigned int byte = 0;
            int hi = hex_value(p[0]);
            int lo = hi < 0 ? -1 : hex_value(p[1]);
            if (hi >= 0 && lo >= 0) {
                byte = static_cast<unsigned int>(hi * 16 + lo);
            } else if (hi >= 0 && p[1] == '\0') {
                byte = static_cast<unsigned int>(hi);
            } else if (std::sscanf(p, "%2x", &byte) != 1) {
                // A piece that starts with no hexadecimal digit gives 0.
                byte = 0;
            }
            buffer[offset + index++] = static_cast<uint8_t>(byte);
        }
    }
    return RM_STATUS_OK;
}
