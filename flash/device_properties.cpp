#include "flash/device_properties.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "adapters/adapter_identity.h"
#include "adapters/adapter_table.h"
#include "adapters/board_predicates.h"
#include "adapters/converged_discovery.h"
#include "adapters/revision_display.h"
#include "flash/debug_log.h"
#include "flash/device_versions.h"
#include "flash/engine_log.h"
#include "flash/image_list.h"
#include "flash/image_record.h"
#include "flash/neighbour_services.h"
#include "flash/oem_status.h"
#include "flash/version_rules.h"

namespace {

const char kFcDuration[] = "120";
const char kConvergedDuration[] = "300";
const size_t kFirmwareNameOffset = 36;
const size_t kFirmwareNameLength = 16;
const size_t kBootWordOffset = 52;
const size_t kBootVersionOffset = 352;
const size_t kBootVersionLength = 32;

std::string hex(uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", v);
    return buf;
}

std::string hex4(uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04X", v);
    return buf;
}

bool is_fc_side(uint32_t index)
{
    return index < gAdapterCount;
}

bool is_fcoe(const _Adapter &a)
{
    return (a.kindFlags & ADAPTER_KIND_FCOE) != 0;
}

// A text of at most `n` characters from a field that need not be terminated.
std::string bounded(const uint8_t *p, size_t n)
{
    size_t len = 0;
    while (len < n && p[len])
        ++len;
    return std::string(reinterpret_cast<const char *>(p), len);
}

// Active firmware version of an FC-side entry through the FC engine.
std::string fc_firmware_version(uint32_t index, const _Adapter &a)
{
    int32_t i = static_cast<int32_t>(index);
    uint8_t mailbox[READ_REV_BUFFER_SIZE];
    std::memset(mailbox, 0, sizeof mailbox);
    bool sli4 = isSLI4(i);
    int rc = sli4 ? ReadRev4(i, mailbox) : ReadRev(i, mailbox);
    if (rc != 0)
        return sli4 ? "0.0.0.0" : "N/A";
    uint8_t name[kFirmwareNameLength];
    std::memcpy(name, mailbox + kFirmwareNameOffset, sizeof name);
    // Older FC HBAs hand the name over word-swapped on a little-endian host.
    if (!sli4 && !is_fcoe(a) && main_HostEndian == 1 && !isVarrowFC(i))
        SwapBytes(mailbox + kFirmwareNameOffset, name, sizeof name);
    return bounded(name, sizeof name);
}

// Boot code version of a Varrow FC function.
std::string varrow_boot_version(uint32_t index)
{
    int32_t i = static_cast<int32_t>(index);
    uint8_t config = 0;
    if (SC_PerformCommonGetBootConfig(i, &config) != 0)
        return "XX0.00A0";
    uint8_t attributes[CNTL_ADDL_ATTRIBUTES_SIZE];
    std::memset(attributes, 0, sizeof attributes);
    if (SC_PerformCommonGetCntlAddlAttributes(i, attributes) != 0)
        return "XX0.00A0";
    char text[kBootVersionLength + 1];
    std::string v = bounded(attributes + kBootVersionOffset, kBootVersionLength);
    std::snprintf(text, sizeof text, "%s", v.c_str());
    ToUpper(text);
    return text;
}

// Boot code version of any other FC function, from its wakeup parameters.
std::string wakeup_boot_version(uint32_t index)
{
    uint8_t parms[WAKEUP_PARMS_SIZE];
    std::memset(parms, 0, sizeof parms);
    if (ReadWakeupParms(static_cast<int>(index), parms) != 0) {
        logDebugOutput("GetDiscoveredAdapterProperty: Read Wakeup Parameters Error\n");
        return "";
    }
    uint32_t word;
    std::memcpy(&word, parms + kBootWordOffset, sizeof word);
    if (word == 0)
        return "NONE";
    char text[16];
    std::memset(text, 0, sizeof text);
    show_encoded_rev1(static_cast<uint8_t>(index), parms + kBootWordOffset, text);
    text[sizeof text - 1] = '\0';
    return text;
}

// The FC path of GetDiscoveredAdapterProperty: 0 with the items filled.
int fc_properties(uint32_t index, DiscoveredDevice &record, FirmwareDetails &fw, FirmwareDetails &boot)
{
    const _Adapter &a = gAdapters[index];
    bool varrow_fc = isVarrowFC(static_cast<int32_t>(index)) != 0;
    fw.active_version = fc_firmware_version(index, a);
    fw.duration = kFcDuration;
    boot.duration = kFcDuration;
    if (is_fcoe(a)) {
        boot.active_version = "0.0.0.0";
        fw.duration = kConvergedDuration;
    } else if (varrow_fc) {
        boot.active_version = varrow_boot_version(index);
        fw.duration = kConvergedDuration;
    } else {
        boot.active_version = wakeup_boot_version(index);
    }
    record.hasBootItem = !(is_fcoe(a) || varrow_fc);
    record.devid = hex4(a.deviceId);
    record.venid = hex4(a.vendorId);
    record.subdevid = hex4(a.subDeviceId);
    record.subvenid = hex4(a.subVendorId);
    if (is_fcoe(a)) {
        record.nictype = "FCOE";
        record.kind = HBA_KIND_FCOE;
    } else {
        record.nictype = "FC";
        record.kind = HBA_KIND_FC;
    }
    return 0;
}

// The converged path of GetDiscoveredAdapterProperty: 0 with the items
// filled, or 4 when the controller table does not hold the entry's controller.
int converged_properties(uint32_t index, DiscoveredDevice &record, FirmwareDetails &fw, FirmwareDetails &boot)
{
    const _Adapter &a = gAdapters[index];
    record.hasBootItem = false;
    fw.duration = kConvergedDuration;
    if (!gCB_Arcwright || a.controllerIndex >= gAwCount) {
        logDebugOutput("GetDiscoveredAdapterProperty: Vexo could not locate the device specifiied by segment = 0x%s, "
                       "busnumber = 0x%s, devicenumer = 0x%s, functionnumber = 0x%s\n",
                       record.segment.c_str(), record.busnumber.c_str(), record.devicenumber.c_str(),
                       record.funcnumber.c_str());
        return OEM_HARDWARE_NOT_ACCESSIBLE;
    }
    _CB_Arcwright &c = gCB_Arcwright[a.controllerIndex];
    bool fc_side = is_fc_side(index);
    bool fcoe = isHBATypeArcwrightFCoE(static_cast<int32_t>(index)) != 0;
    if (MAL_GetAWProperties(c.tag, &c.properties) == 0) {
        record.devid = hex4(fc_side ? a.deviceId : a.cnaDeviceId);
        record.venid = hex4(fc_side ? a.vendorId : a.cnaVendorId);
        record.subdevid = hex4(fcoe ? a.subDeviceId : a.cnaSubDeviceId);
        record.subvenid = hex4(fcoe ? a.subVendorId : a.cnaSubVendorId);
        fw.active_version = bounded(reinterpret_cast<const uint8_t *>(c.properties.ActiveFirmwareVersion),
                                    sizeof c.properties.ActiveFirmwareVersion);
        boot.active_version = bounded(reinterpret_cast<const uint8_t *>(c.properties.BootCodeVersion),
                                      sizeof c.properties.BootCodeVersion);
    } else if (fcoe) {
        record.devid = hex4(a.deviceId);
        record.venid = hex4(a.vendorId);
        record.subdevid = hex4(a.subDeviceId);
        record.subvenid = hex4(a.subVendorId);
        fw.active_version = "N/A";
        boot.active_version = "N/A";
    } else {
        record.devid = record.venid = record.subdevid = record.subvenid = "0";
        fw.active_version = "N/A";
        boot.active_version = "N/A";
    }
    if (a.kindFlags & ADAPTER_KIND_ISCSI) {
        record.nictype = "iSCSI";
        record.kind = HBA_KIND_ISCSI;
    } else if (a.kindFlags & ADAPTER_KIND_NIC) {
        record.nictype = "NIC";
        record.kind = HBA_KIND_NIC;
    } else if (a.kindFlags & ADAPTER_KIND_FCOE) {
        record.nictype = "FCOE";
        record.kind = HBA_KIND_FCOE;
    }
    char mac[24];
    const uint8_t *m = a.permanentMacAddress;
    std::snprintf(mac, sizeof mac, "%02X:%02X:%02X:%02X:%02X:%02X", m[0], m[1], m[2], m[3], m[4], m[5]);
    record.macaddress = mac;
    return 0;
}

// Copies a text into a fixed field, at most size - 1 characters.
void set_text(char *dest, size_t size, const std::string &text)
{
    copyBoundedText(dest, size, text.c_str());
}

void drop_first_two(char *text)
{
    size_t n = std::strlen(text);
    if (n <= 2)
        text[0] = '\0';
    else
        std::memmove(text, text + 2, n - 1);
}

uint32_t hex_value(const std::string &text)
{
    return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
}

// Proposes the image and action of one item.
void propose(const _Hba *hba, FirmwareDetails &item, int matchItem, const char *activeVersion, bool fourPart,
             const std::string &product)
{
    CLUImage *image = GetMatchingImageFile(hba, gFileList, matchItem);
    if (!image) {
        logDebugOutput("UpdateDiscoveredDevicesList: matching %s image not found, skipping the device %s\n",
                       matchItem == MATCH_ITEM_FIRMWARE ? "firmware" : "bootcode", product.c_str());
        item.action = "skip";
        return;
    }
    item.version = image->decodedVersion;
    item.firmware_file = image->filename;
    int cmp = CompareAdapterAndImageFileVersion(hba, image, activeVersion);
    // A version the adapter could not report is no base for a comparison.
    if (fourPart && !holdsVersionText(item.active_version.c_str())) {
        logDebugOutput("UpdateDiscoveredDevicesList: active version \"%s\" of the device %s is not comparable\n",
                       item.active_version.c_str(), product.c_str());
        cmp = 4;
    }
    switch (cmp) {
    case 1: item.action = "upgrade"; break;
    case -1: item.action = "downgrade"; break;
    case 0: item.action = "rewrite"; break;
    default: item.action = "skip"; break;
    }
}

} // namespace

int GetAdapterIndxByPciIDs(uint32_t segment, uint32_t bus, uint32_t device, uint32_t function, uint32_t *index)
{
    if (!gAdapters || !index)
        return OEM_ADAPTER_NOT_FOUND;
    // An exact match first, so that a converged function on another segment
    // is never taken for an FC function at the same bus, device and function.
    for (int pass = 0; pass < 2; ++pass) {
        for (uint32_t i = 0; i < gTotalHBAs; ++i) {
            const _Adapter &a = gAdapters[i];
            bool match;
            if (is_fc_side(i))
                match = (pass == 1 || a.pciSegment == segment) && a.pciBus == bus && a.pciDevice == device &&
                        static_cast<int32_t>(a.pciFunction) == static_cast<int32_t>(function);
            else
                match = pass == 0 && a.cnaSegment == segment && a.cnaBus == bus && a.cnaDevice == device &&
                        a.cnaFunction == function;
            if (match) {
                *index = i;
                return 0;
            }
        }
    }
    return OEM_ADAPTER_NOT_FOUND;
}

int GetDiscoveredAdapterProperty(uint32_t index, DiscoveredDevice &record)
{
    if (!AdapterExists4(index) || !gAdapters) {
        logDebugOutput("GetDiscoveredAdapterProperty:  Invalid adapter index\n");
        return OEM_ADAPTER_NOT_FOUND;
    }
    const _Adapter &a = gAdapters[index];
    if (is_fc_side(index)) {
        record.segment = hex(a.pciSegment);
        record.busnumber = hex(a.pciBus);
        record.devicenumber = hex(a.pciDevice);
        record.funcnumber = hex(static_cast<uint8_t>(a.pciFunction));
    } else {
        record.segment = hex(a.cnaSegment);
        record.busnumber = hex(a.cnaBus);
        record.devicenumber = hex(a.cnaDevice);
        record.funcnumber = hex(a.cnaFunction);
    }
    record.asicRevisionId = hex(a.revisionId);
    const char *description = gVPDModelDescription ? gVPDModelDescription[index] : nullptr;
    // A controller that describes itself with nothing has no model to show.
    record.product_id = description && description[0] != '\0' ? description : "Model N/A";

    FirmwareDetails fw;
    FirmwareDetails boot;
    int rc = (isHBATypeArcwright(static_cast<int32_t>(index)) && gVEXO == 1)
                 ? converged_properties(index, record, fw, boot)
                 : fc_properties(index, record, fw, boot);
    if (rc != 0)
        return rc;

    record.device_id = record.venid + "." + record.devid + "." + record.subvenid + "." + record.subdevid;
    uint32_t family = AdapterFamily(static_cast<uint8_t>(index));
    if (family == ADAPTER_FAMILY_DUAL_CHANNEL)
        record.dualChannel = 1;
    else if (family == ADAPTER_FAMILY_SINGLE_CHANNEL)
        record.dualChannel = 0;
    else
        record.dualChannel = (a.flags & ADAPTER_FLAG_DUAL_CHANNEL) ? 1 : 0;
    record.blade = isOrvaneBlade(static_cast<int>(index));
    record.firmware = fw;
    record.bootCode = boot;
    Trim(record.firmware.active_version);
    Trim(record.bootCode.active_version);
    return 0;
}

void CreateDiscoveredDevicesList(std::vector<DiscoveredDevice> &list)
{
    for (uint32_t i = 0; i < gTotalHBAs; ++i) {
        DiscoveredDevice record;
        if (GetDiscoveredAdapterProperty(i, record) == 0)
            list.push_back(record);
    }
}

int ConvertDiscoveredDeviceToHbaStructure(DiscoveredDevice &record, _Hba *hba)
{
    hba->kind = record.kind;
    hba->deviceId = hex_value(record.devid);
    hba->pciSegment = hex_value(record.segment);
    hba->pciBus = hex_value(record.busnumber);
    hba->pciDevice = hex_value(record.devicenumber);
    hba->pciFunction = hex_value(record.funcnumber);
    hba->vendorId = hex_value(record.venid);
    hba->subDeviceId = hex_value(record.subdevid);
    hba->subVendorId = hex_value(record.subvenid);
    uint32_t asic = hex_value(record.asicRevisionId);

    hba->activeFw.isAWR = 0;
    hba->activeBoot.isAWR = 0;
    hba->activeFw.asicRevisionId = asic;
    logDebugOutput("\n[ConvertDiscoveredDeviceToHbaStructure]%x:%x:%x:%x - %x", hba->pciSegment, hba->pciBus,
                   hba->pciDevice, hba->pciFunction, asic);

    hba->blade = record.blade;
    int32_t dev = static_cast<int32_t>(hba->deviceId);
    if (hba->kind == HBA_KIND_FC) {
        hba->dualChannel = record.dualChannel;
    } else if ((isGorselBoard(dev) || isTrelmontBoard(dev)) && asic > 15) {
        hba->activeFw.isAWR = 1;
        hba->activeBoot.isAWR = 1;
    }
    logDebugOutput("\n[ConvertDiscoveredDeviceToHbaStructure]\n");

    set_text(hba->rawFwVersion, sizeof hba->rawFwVersion, record.firmware.active_version);
    set_text(hba->rawBootVersion, sizeof hba->rawBootVersion, record.bootCode.active_version);

    bool plain_fc = hba->kind == HBA_KIND_FC && !isVarrowFCHBA(hba);
    if (plain_fc) {
        // Discovery writes these texts into the file: FC HBAs show their
        // active versions there without dots.
        std::string *texts[] = {&record.firmware.active_version, &record.bootCode.active_version};
        for (std::string *t : texts) {
            std::string out;
            for (char c : *t)
                if (c != '.')
                    out += c;
            *t = out;
        }
    }
    logDebugOutput("raw fw version = %s\n", hba->rawFwVersion);
    logDebugOutput("raw bc version = %s\n", hba->rawBootVersion);

    if (std::strstr(hba->rawFwVersion, "N/A")) {
        copyBoundedText(hba->activeFw.sortedVersion, sizeof hba->activeFw.sortedVersion, "N/A");
        copyBoundedText(hba->rawFwVersion, sizeof hba->rawFwVersion, plain_fc ? "XX0.00A0" : "0.0.0.0");
    } else if (plain_fc) {
        decodeRawFCBuildString(&hba->activeFw, hba->rawFwVersion);
        removeChars(hba->rawFwVersion, '.');
        ToUpper(hba->rawFwVersion);
        drop_first_two(hba->rawFwVersion);
    } else {
        copyBoundedText(hba->activeFw.sortedVersion, sizeof hba->activeFw.sortedVersion, "N/A");
    }

    ToUpper(hba->rawBootVersion);
    if (std::strstr(hba->rawBootVersion, "N/A")) {
        // nothing more
    } else if (strncasecmp(hba->rawBootVersion, "NONE", 4) == 0) {
        copyBoundedText(hba->rawBootVersion, sizeof hba->rawBootVersion, "NONE");
        copyBoundedText(hba->bootPrefix, sizeof hba->bootPrefix, "N/A");
    } else if (hba->kind == HBA_KIND_FC) {
        char prefix[3] = {hba->rawBootVersion[0], hba->rawBootVersion[0] ? hba->rawBootVersion[1] : '\0', '\0'};
        copyBoundedText(hba->bootPrefix, sizeof hba->bootPrefix, prefix);
        decodeRawFCBuildString(&hba->activeBoot, hba->rawBootVersion);
        removeChars(hba->rawBootVersion, '.');
        ToUpper(hba->rawBootVersion);
        copyBoundedText(hba->activeBoot.decodedVersion, sizeof hba->activeBoot.decodedVersion,
                        hba->rawBootVersion);
        if (!isVarrowFCHBA(hba))
            drop_first_two(hba->rawBootVersion);
    } else {
        encodeCNAVersion(&hba->activeBoot.CNAMajorVer, &hba->activeBoot.CNAMinorVer,
                         &hba->activeBoot.CNAReleaseVer, &hba->activeBoot.CNABuildVer, 64, hba->rawBootVersion);
        copyBoundedText(hba->activeBoot.decodedVersion, sizeof hba->activeBoot.decodedVersion,
                        hba->rawBootVersion);
    }

    setPrefixFields(hba);
    if (isCNA(hba) || isVarrowFCHBA(hba)) {
        logDebugOutput("\n[encodeAndUpdateCNAVersion]\n");
        encodeAndUpdateCNAVersion(hba);
    } else {
        logDebugOutput("\n[encodeAndUpdateFCVersion]\n");
        encodeAndUpdateFCVersion(hba);
    }
    logDebugOutput("\n[Encoded Version] - firmware\n");
    printCLUImage(&hba->activeFw);
    logDebugOutput("\n[Encoded Version] - boot code\n");
    printCLUImage(&hba->activeBoot);
    logDebugOutput("\n");
    return 0;
}

int UpdateDiscoveredDevicesList(std::vector<DiscoveredDevice> &list)
{
    _Hba *hba = static_cast<_Hba *>(std::calloc(1, sizeof(_Hba)));
    logDebugOutput("\n[UpdateDiscoveredDevicesList]\n");
    if (!hba) {
        logDebugOutput("Unable to allocate memory\n");
        return OEM_NO_MEMORY;
    }
    for (DiscoveredDevice &record : list) {
        std::memset(hba, 0, sizeof *hba);
        ConvertDiscoveredDeviceToHbaStructure(record, hba);
        bool four_part = isCNA(hba) || isVarrowFCHBA(hba);
        propose(hba, record.firmware, MATCH_ITEM_FIRMWARE, hba->rawFwVersion, four_part, record.product_id);
        if (four_part) {
            logDebugOutput("UpdateDiscoveredDevicesList: skipping the boot code matching becuase it is a cna. "
                           "device = %s\n",
                           record.product_id.c_str());
        } else {
            propose(hba, record.bootCode, MATCH_ITEM_BOOT, hba->rawBootVersion, false, record.product_id);
        }
    }
    logDebugOutput("\n");
    std::free(hba);
    return 0;
}
