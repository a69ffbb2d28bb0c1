#include "adapters/converged_discovery.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "adapters/adapter_table.h"
#include "adapters/board_predicates.h"
#include "flash/debug_log.h"
#include "flash/image_record.h"
#include "flash/neighbour_services.h"
#include "mal/mal_core.h"
#include "mal/mal_readers.h"
#include "mgmt/vexo/core/vexo_api.h"

uint32_t gAwCount = 0;
_CB_Arcwright *gCB_Arcwright = nullptr;
int32_t gVEXO = 0;
int32_t gAWInit = 0;
int32_t gAWBusy = 0;
char VEXO_ServiceVersion[256];

namespace {

const int kMaxTags = MAL_MAX_TAGS;

// Link state of a status text: 1 "Up", 0 "Down", else the value kept.
uint32_t link_state(const char *status, uint32_t kept)
{
    if (std::strstr(status, "Up"))
        return 1;
    if (std::strstr(status, "Down"))
        return 0;
    return kept;
}

// Lists the functions or ports of one kind of a controller. True with the
// count when the list could be had and is not empty.
bool list_of(node_tag_t tag, int kind, uint32_t *tags, int *count)
{
    *count = kMaxTags;
    RM_STATUS rc = MAL_EnumerateHbas(tag, kind, count, tags);
    // A count the buffer cannot hold is never used.
    return rc == RM_STATUS_OK && *count > 0 && *count <= kMaxTags;
}

// Marks this call's enumeration as turned away by a busy adapter.
int busy_controller(uint32_t p, const char *what)
{
    gAWBusy = 1;
    logDebugOutput("LocateBrindlefin: %s of converged adapter %u (tag %d) answered busy\n", what, p,
                   gCB_Arcwright[p].tag);
    return CONVERGED_BUSY;
}

// The iSCSI functions of controller p: 0, 10001 when no memory was had, or
// 64 when a function's reads answered busy.
int read_iscsi_functions(uint32_t p, uint32_t *tags)
{
    _CB_Arcwright &c = gCB_Arcwright[p];
    int count = 0;
    if (!list_of(c.tag, MAL_HBA_ISCSI, tags, &count))
        return 0;
    c.iSCSIFunctions = static_cast<_CB_iSCSIFunction *>(std::calloc(count, sizeof(_CB_iSCSIFunction)));
    if (!c.iSCSIFunctions) {
        logDebugOutput("Unable to locate memory\n");
        return CONVERGED_NO_MEMORY;
    }
    c.flags |= CONTROLLER_HAS_ISCSI;
    c.iSCSICount = static_cast<uint32_t>(count);
    for (int i = 0; i < count; ++i) {
        ++giSCSICount;
        _CB_iSCSIFunction &f = c.iSCSIFunctions[i];
        f.controllerIndex = p;
        f.tag = static_cast<node_tag_t>(tags[i]);
        f.functionIndex = static_cast<uint32_t>(i);
        if (MAL_GetiSCSIPhysicalProperties(f.tag, &f.properties) == RM_STATUS_ERROR_ADAPTER_BUSY)
            return busy_controller(p, "an iSCSI function");
        MAL_iSCSINicConfigProperties config;
        std::memset(&config, 0, sizeof config);
        if (MAL_GetiSCSINicConfigProperties(f.tag, &config) == RM_STATUS_ERROR_ADAPTER_BUSY)
            return busy_controller(p, "an iSCSI function");
        std::memcpy(f.macAddress, config.MACAddress, sizeof f.macAddress);
        std::memcpy(f.permanentMacAddress, config.PermanentMACAddress, sizeof f.permanentMacAddress);
    }
    return 0;
}

bool read_nic_functions(uint32_t p, uint32_t *tags)
{
    _CB_Arcwright &c = gCB_Arcwright[p];
    int count = 0;
    if (!list_of(c.tag, MAL_HBA_NIC, tags, &count))
        return true;
    c.nicFunctions = static_cast<_CB_NICFunction *>(std::calloc(count, sizeof(_CB_NICFunction)));
    if (!c.nicFunctions) {
        logDebugOutput("Unable to locate memory\n");
        return false;
    }
    c.flags |= CONTROLLER_HAS_NIC;
    c.nicCount = static_cast<uint32_t>(count);
    for (int i = 0; i < count; ++i) {
        ++gNICCount;
        _CB_NICFunction &f = c.nicFunctions[i];
        f.controllerIndex = p;
        f.tag = static_cast<node_tag_t>(tags[i]);
        f.functionIndex = static_cast<uint32_t>(i);
        MAL_GetNicPhysicalProperties(f.tag, &f.properties);
    }
    return true;
}

bool read_ports(uint32_t p, uint32_t *tags)
{
    _CB_Arcwright &c = gCB_Arcwright[p];
    int count = 0;
    if (!list_of(c.tag, MAL_HBA_PORT, tags, &count))
        return true;
    c.ports = static_cast<_CB_Port *>(std::calloc(count, sizeof(_CB_Port)));
    if (!c.ports) {
        logDebugOutput("Unable to locate memory\n");
        return false;
    }
    c.portCount = static_cast<uint32_t>(count);
    for (int i = 0; i < count; ++i) {
        MAL_Group_PortDiscoveryAndConfiguration group;
        std::memset(&group, 0, sizeof group);
        if (MAL_GetGroup_PortDiscoveryAndConfiguration(static_cast<node_tag_t>(tags[i]), &group) != 0)
            logDebugOutput("Can't get PortDiscovery Group\n");
        // The record's texts are fixed fields; they are read within them.
        group.PhysicalLinkStatus[sizeof group.PhysicalLinkStatus - 1] = '\0';
        _CB_Port &port = c.ports[i];
        port.controllerIndex = p;
        copyBoundedText(port.fcoeWwpn, sizeof port.fcoeWwpn, group.FCoEWWPN);
        port.portNumber = group.PortNumber;
        copyBoundedText(port.portName, sizeof port.portName, group.PortName);
        port.linkState = link_state(group.PhysicalLinkStatus, port.linkState);
        for (uint32_t k = 0; k < c.iSCSICount; ++k) {
            _CB_iSCSIFunction &f = c.iSCSIFunctions[k];
            if (f.properties.PortNumber == port.portNumber)
                f.linkState = link_state(group.PhysicalLinkStatus, f.linkState);
        }
    }
    return true;
}

// Closes the management library after an abandoned enumeration.
void close_library()
{
    VEXO_exit();
    gVEXO = 0;
}

// Fills one merged entry from its controller and function record.
void fill_entry(uint32_t e, uint32_t c, uint32_t kind, const MAL_PCIIdentity &pci, int32_t portNumber,
                const uint8_t *mac, const uint8_t *permanentMac, uint32_t linkState, const uint8_t *config)
{
    _Adapter &a = gAdapters[e];
    const _CB_Arcwright &cb = gCB_Arcwright[c];
    a.kindFlags |= kind;
    a.controllerIndex = c;
    a.portNumber = static_cast<uint32_t>(portNumber);
    char serial[sizeof cb.properties.SerialNumber + 1];
    std::memcpy(serial, cb.properties.SerialNumber, sizeof cb.properties.SerialNumber);
    serial[sizeof cb.properties.SerialNumber] = '\0';
    copyBoundedText(a.controllerSerial, sizeof a.controllerSerial, serial[0] ? serial : "N/A");
    char boot[sizeof cb.properties.BootCodeVersion + 1];
    std::memcpy(boot, cb.properties.BootCodeVersion, sizeof cb.properties.BootCodeVersion);
    boot[sizeof cb.properties.BootCodeVersion] = '\0';
    copyBoundedText(a.bootCodeVersion, sizeof a.bootCodeVersion, boot);
    a.cnaDeviceId = pci.DeviceID;
    a.cnaVendorId = pci.VendorID;
    a.cnaSubDeviceId = pci.SubsysDeviceID;
    a.cnaSubVendorId = pci.SubsysVendorID;
    a.cnaSegment = pci.DomainNumber;
    a.cnaBus = pci.BusNumber;
    a.cnaDevice = pci.DeviceNumber;
    a.cnaFunction = pci.FunctionNumber;
    a.cnaDevfn = pci.DeviceNumber * 8 + pci.FunctionNumber;
    std::memcpy(a.macAddress, mac, sizeof a.macAddress);
    std::memcpy(a.permanentMacAddress, permanentMac, sizeof a.permanentMacAddress);
    a.personalityWord = static_cast<uint32_t>(cb.personalityManagementWord);
    a.linkState = linkState;
    a.revisionId = config[8];

    int32_t dev = static_cast<int32_t>(a.cnaDeviceId);
    bool gen2 = kind == (ADAPTER_KIND_MANAGED | ADAPTER_KIND_ISCSI) ? isBrindlefiniSCSIBoard(dev)
                                                                    : isBrindlefinNICBoard(dev);
    if (gUseVPD_ModelName == 1 && !gen2) {
        CLU_PrintVPD(static_cast<int>(e), &vpd, 0);
        vpd.V2[sizeof vpd.V2 - 1] = '\0';
        if (vpd.V2[0]) {
            copyBoundedText(a.modelName, sizeof a.modelName, vpd.V2);
            a.flags |= ADAPTER_FLAG_MODEL_FROM_VPD;
        }
    }
    char description[sizeof cb.properties.Description + 1];
    std::memcpy(description, cb.properties.Description, sizeof cb.properties.Description);
    description[sizeof cb.properties.Description] = '\0';
    std::free(gVPDModelDescription[e]);
    gVPDModelDescription[e] = strdup(description);
}

// Copies the fields of an FCoE entry from the port it is linked through.
void take_port(_Adapter &a, const _CB_Port &port)
{
    a.linkState = port.linkState;
    a.portNumber = static_cast<uint32_t>(port.portNumber);
    copyBoundedText(a.portName, sizeof a.portName, port.portName);
}

// A serial number that names an adapter (not empty, not "N/A").
bool usable_serial(const char *s)
{
    return s[0] != '\0' && strcasecmp(s, "N/A") != 0;
}

} // namespace

int QbCfgInitVexo(char *serviceVersion, char *hierarchyVersion)
{
    return MAL_VEXO_Init(serviceVersion, hierarchyVersion);
}

int BF_GetOEMProperties(node_tag_t tag, _CB_Arcwright *controller)
{
    node_tag_t oem = VEXO_NO_TAG;
    RM_STATUS rc = MAL_get_node_tag(tag, "OEM", &oem, MAL_NODE_GROUP);
    if (rc != RM_STATUS_OK)
        return rc;
    const MAL_PropertyDesc texts[] = {
        {"OrvaneSerialNumber", controller->makerSerialNumber, sizeof controller->makerSerialNumber},
        {"OEMSerialNumber", controller->oemSerialNumber, sizeof controller->oemSerialNumber},
    };
    rc = MAL_GetStringProperties(oem, 2, texts);
    if (rc != RM_STATUS_OK)
        return rc;
    const MAL_PropertyDesc word[] = {
        {"PersonalityManagementWord", &controller->personalityManagementWord, 0},
    };
    return MAL_GetIntProperties(oem, 1, word);
}

int LocateBrindlefin()
{
    logDebugOutput("LocateBrindlefin: LocateBrindlefin entered\n");
    if (gAWInit == 1)
        return CONVERGED_ALREADY_ENUMERATED;
    gAWBusy = 0;
    char hierarchy[256] = {};
    int clients = vexo_client_count;
    int rc = QbCfgInitVexo(VEXO_ServiceVersion, hierarchy);
    if (rc != 0) {
        // A start that counted this client but failed later (its versions
        // could not be read) is undone, so no client stays open.
        if (vexo_client_count > clients)
            VEXO_exit();
        gVEXO = 0;
        logDebugOutput("LocateBrindlefin: QbCfgInitVexo failed\n");
        // Busy start lock: converged adapters may be there but cannot be
        // listed. Any other failure means no management library to use.
        if (rc == RM_STATUS_ERROR_ADAPTER_BUSY) {
            gAWBusy = 1;
            logDebugOutput("LocateBrindlefin: the management library's start lock stayed busy\n");
        }
        return rc;
    }
    logDebugOutput("Vexo is initialized. service version = %s, hierarchy version = %s\n", VEXO_ServiceVersion,
                   hierarchy);
    gVEXO = 1;

    uint32_t *tags = static_cast<uint32_t *>(std::calloc(kMaxTags, sizeof(uint32_t)));
    if (!tags) {
        close_library();
        logDebugOutput("Unable to locate memory\n");
        return CONVERGED_NO_MEMORY;
    }
    int count = kMaxTags;
    RM_STATUS listed = MAL_EnumerateArcwrights(&count, tags);
    if (listed != RM_STATUS_OK || count <= 0 || count > kMaxTags) {
        std::free(tags);
        close_library();
        logDebugOutput("No Arcwright\n");
        return 0;
    }
    gAwCount = static_cast<uint32_t>(count);
    gCB_Arcwright = static_cast<_CB_Arcwright *>(std::calloc(gAwCount, sizeof(_CB_Arcwright)));
    if (!gCB_Arcwright) {
        std::free(tags);
        close_library();
        logDebugOutput("Unable to locate memory\n");
        return CONVERGED_NO_MEMORY;
    }
    for (uint32_t p = 0; p < gAwCount; ++p)
        gCB_Arcwright[p].tag = static_cast<node_tag_t>(tags[p]);

    for (uint32_t p = 0; p < gAwCount; ++p) {
        _CB_Arcwright &c = gCB_Arcwright[p];
        // A busy adapter stops the enumeration: every further read of it
        // would wait and come back empty.
        rc = MAL_GetAWProperties(c.tag, &c.properties);
        if (rc == 0)
            rc = BF_GetOEMProperties(c.tag, &c);
        if (rc == RM_STATUS_ERROR_ADAPTER_BUSY) {
            std::free(tags);
            return busy_controller(p, "the adapter properties");
        }
        if (rc != 0) {
            copyBoundedText(c.makerSerialNumber, sizeof c.makerSerialNumber, "N/A");
            copyBoundedText(c.oemSerialNumber, sizeof c.oemSerialNumber, "N/A");
        }
        rc = read_iscsi_functions(p, tags);
        if (rc == 0 && (!read_nic_functions(p, tags) || !read_ports(p, tags)))
            rc = CONVERGED_NO_MEMORY;
        if (rc != 0) {
            std::free(tags);
            return rc;
        }
    }
    std::free(tags);
    gAWInit = 1;
    return 0;
}

int updateArcwrightAdapters()
{
    if (gAWBusy) {
        logDebugOutput("updateArcwrightAdapters: converged adapters answered busy; not listed\n");
        return CONVERGED_BUSY;
    }
    if (gVEXO == 0)
        return CONVERGED_LIBRARY_NOT_OPEN;
    if (!gAdapters || !gCB_Arcwright)
        return 0;
    uint32_t e = gAdapterCount;
    for (uint32_t c = 0; c < gAwCount; ++c) {
        const _CB_Arcwright &cb = gCB_Arcwright[c];
        if ((cb.flags & ADAPTER_KIND_ISCSI) && cb.iSCSIFunctions) {
            for (uint32_t i = 0; i < cb.iSCSICount && e < gTotalHBAs; ++i, ++e) {
                const _CB_iSCSIFunction &f = cb.iSCSIFunctions[i];
                fill_entry(e, c, ADAPTER_KIND_MANAGED | ADAPTER_KIND_ISCSI, f.properties.pci,
                           f.properties.PortNumber, f.macAddress, f.permanentMacAddress, f.linkState,
                           f.properties.PciConfigSpace);
            }
        }
        if ((cb.flags & ADAPTER_KIND_NIC) && cb.nicFunctions) {
            for (uint32_t i = 0; i < cb.nicCount && e < gTotalHBAs; ++i, ++e) {
                const _CB_NICFunction &f = cb.nicFunctions[i];
                fill_entry(e, c, ADAPTER_KIND_MANAGED | ADAPTER_KIND_NIC, f.properties.pci, f.properties.PortNumber,
                           f.properties.MACAddress, f.properties.PermanentMACAddress, 0,
                           f.properties.PciConfigSpace);
            }
        }
    }
    return 0;
}

namespace {

// A port without an FCoE port name shows an empty text or eight zero
// bytes; neither names a port, and zero would match every FCoE function
// whose own name reads zero.
bool names_fcoe_port(const char *wwpn)
{
    if (wwpn[0] == '\0')
        return false;
    for (const char *c = wwpn; *c; ++c)
        if (*c != '0' && *c != ':')
            return true;
    return false;
}

} // namespace

int getAdditionalFCoEProps()
{
    if (gVEXO == 0)
        return CONVERGED_LIBRARY_NOT_OPEN;
    if (!gAdapters)
        return 0;
    bool *linked = static_cast<bool *>(std::calloc(gAdapterCount ? gAdapterCount : 1, sizeof(bool)));
    if (!linked) {
        logDebugOutput("Unable to locate memory\n");
        return CONVERGED_NO_MEMORY;
    }
    bool empty_wwpn = false;
    for (uint32_t i = 0; i < gAdapterCount; ++i) {
        if (!isHBATypeArcwrightFCoE(static_cast<int32_t>(i)))
            continue;
        _Adapter &a = gAdapters[i];
        a.controllerIndex = 0;
        for (uint32_t c = 0; c < gAwCount && !linked[i] && gCB_Arcwright; ++c) {
            _CB_Arcwright &cb = gCB_Arcwright[c];
            for (uint32_t p = 0; p < cb.portCount && cb.ports; ++p) {
                const _CB_Port &port = cb.ports[p];
                if (!names_fcoe_port(port.fcoeWwpn)) {
                    empty_wwpn = true;
                    continue;
                }
                if (compareIEEEAddresses(i, port.fcoeWwpn) == 0) {
                    cb.flags |= CONTROLLER_HAS_FCOE;
                    a.controllerIndex = port.controllerIndex;
                    take_port(a, port);
                    linked[i] = true;
                    break;
                }
            }
        }
    }
    if (empty_wwpn) {
        for (uint32_t c = 0; c < gAwCount && gCB_Arcwright; ++c) {
            _CB_Arcwright &cb = gCB_Arcwright[c];
            if (!(cb.flags & ADAPTER_KIND_NIC) || !cb.nicFunctions || cb.nicCount == 0)
                continue;
            const _CB_NICFunction &first = cb.nicFunctions[0];
            for (uint32_t i = 0; i < gAdapterCount; ++i) {
                _Adapter &a = gAdapters[i];
                if (!isHBATypeArcwrightFCoE(static_cast<int32_t>(i)) || linked[i])
                    continue;
                // A missing serial number links nothing.
                if (first.properties.pci.BusNumber != a.pciBus || !usable_serial(cb.oemSerialNumber) ||
                    strcasecmp(cb.oemSerialNumber, a.serialNumber) != 0)
                    continue;
                cb.flags |= CONTROLLER_HAS_FCOE;
                a.controllerIndex = first.controllerIndex;
                linked[i] = true;
                // The port whose name is the function's VPD V4 word, if any.
                for (uint32_t p = 0; p < cb.portCount && cb.ports; ++p) {
                    if (a.vpdV4Text[0] && strcasecmp(cb.ports[p].portName, a.vpdV4Text) == 0) {
                        take_port(a, cb.ports[p]);
                        break;
                    }
                }
            }
        }
    }
    // An FCoE function tied to no controller would be read, and flashed,
    // through controller 0: it is not handled through the management library.
    for (uint32_t i = 0; i < gAdapterCount; ++i) {
        if (!isHBATypeArcwrightFCoE(static_cast<int32_t>(i)) || linked[i])
            continue;
        _Adapter &a = gAdapters[i];
        a.kindFlags &= ~ADAPTER_KIND_MANAGED;
        logDebugOutput("getAdditionalFCoEProps: FCoE function %X:%X.%X is linked to no converged controller\n",
                       a.pciBus, a.pciDevice, static_cast<unsigned>(static_cast<uint8_t>(a.pciFunction)));
    }
    std::free(linked);
    return 0;
}

int compareIEEEAddresses(uint32_t index, const char *wwpn)
{
    if (!wwpn || !AdapterExists4(index) || !gAdapters)
        return 1;
    uint8_t ref[8];
    for (int w = 0; w < 2; ++w)
        for (int b = 0; b < 4; ++b)
            ref[w * 4 + b] = static_cast<uint8_t>(gAdapters[index].ieeeAddress[w] >> (24 - 8 * b));

    char text[32];
    std::strncpy(text, wwpn, sizeof text - 1);
    text[sizeof text - 1] = '\0';

    int fields = 0;
    char *save = nullptr;
    for (char *tok = strtok_r(text, ":", &save); tok && fields < 8; tok = strtok_r(nullptr, ":", &save)) {
        for (const char *c = tok; *c; ++c)
            if (!std::isxdigit(static_cast<unsigned char>(*c)))
                return 1;
        // Compared whole: a field of more than two significant digits never matches.
        unsigned long v = std::strtoul(tok, nullptr, 16);
        if (v != ref[fields])
            return 1;
        ++fields;
    }
    return fields == 8 ? 0 : 1;
}

void ReleaseConvergedControllers()
{
    gAWBusy = 0;
    if (gCB_Arcwright) {
        for (uint32_t c = 0; c < gAwCount; ++c) {
            std::free(gCB_Arcwright[c].nicFunctions);
            std::free(gCB_Arcwright[c].iSCSIFunctions);
            std::free(gCB_Arcwright[c].ports);
        }
        std::free(gCB_Arcwright);
        gCB_Arcwright = nullptr;
    }
    if (gVEXO)
        VEXO_exit();
}
