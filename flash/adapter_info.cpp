#include "flash/adapter_info.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "flash/debug_log.h"
#include "flash/device_properties.h"
#include "flash/discovery_xml.h"
#include "flash/hba_record.h"
#include "flash/image_list.h"
#include "flash/oem_status.h"
#include "flash/version_rules.h"

namespace {

// The number of records the last successful count call of this process
// reported, or -1 before any. A fill writes no more records than that, so an
// adapter that appears between the host's two calls cannot overrun the array
// the host sized by the count. Read and written under the library mutex.
int lastReportedCount = -1;

// One adapter: PCI segment, bus and device. The segment is part of the key,
// as in discovery, so adapters on two segments are never taken for one.
typedef std::tuple<uint32_t, uint32_t, uint32_t> AdapterKey;

// Base-16 text that has to be consumed whole; a PCI number fits 32 bits.
bool whole_hex(const std::string &text, uint32_t &value)
{
    const char *begin = text.c_str();
    char *end = nullptr;
    errno = 0;
    unsigned long v = std::strtoul(begin, &end, 16);
    if (errno != 0 || end == begin || *end != '\0' || v > UINT32_MAX)
        return false;
    value = static_cast<uint32_t>(v);
    return true;
}

uint32_t hex_value(const std::string &text)
{
    return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
}

// Copies a text into a fixed field, terminated, cut at the field's room.
void put_text(char *field, size_t room, const std::string &text)
{
    size_t n = text.size() < room - 1 ? text.size() : room - 1;
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

void log_executing(const DiscoveredDevice &device)
{
    logDebugOutput("oem_get_adapter_info: executing oem_do_flash_with_file for device, segment = 0x%s, "
                   "busnumber = 0x%s, devicenum = 0x%s, funcnum = 0x%s\n",
                   device.segment.c_str(), device.busnumber.c_str(), device.devicenumber.c_str(),
                   device.funcnumber.c_str());
}

// The PCI address of a device, or false (with its line) when one of its
// texts is empty or not a whole base-16 number.
bool device_address(const DiscoveredDevice &device, uint32_t pci[4])
{
    const std::string *texts[4] = {&device.segment, &device.busnumber, &device.devicenumber, &device.funcnumber};
    for (const std::string *t : texts) {
        if (t->empty()) {
            logDebugOutput("oem_get_adapter_info: skipping the device %s because it has invalid pci ids\n",
                           device.product_id.c_str());
            return false;
        }
    }
    for (int i = 0; i < 4; ++i) {
        if (!whole_hex(*texts[i], pci[i])) {
            logDebugOutput("oem_get_adapter_info: skipping the device %s because it has invalid pci ids\n",
                           i == 0 ? device.segment.c_str() : device.product_id.c_str());
            return false;
        }
    }
    return true;
}

// Reads the device at `pci` afresh into a working record (the caller frees
// it). 0, 4 or another status of the property read (with their lines), or
// 10001 when the record cannot be allocated.
int read_device(const uint32_t pci[4], _Hba **out)
{
    uint32_t index = 0;
    if (GetAdapterIndxByPciIDs(pci[0], pci[1], pci[2], pci[3], &index) != 0) {
        logDebugOutput("oem_get_adapter_info: couldnot locate the device specified by pciSegment = 0x%x, pciBus = "
                       "0x%x, pciDevice = 0x%x, pciFunction = 0x%x\n",
                       pci[0], pci[1], pci[2], pci[3]);
        return OEM_HARDWARE_NOT_ACCESSIBLE;
    }
    DiscoveredDevice scratch;
    int rc = GetDiscoveredAdapterProperty(index, scratch);
    if (rc != 0) {
        logDebugOutput("oem_get_adapter_info: couldnot get adapter properties for the device specified by "
                       "pciSegment = 0x%x, pciBus = 0x%x, pciDevice = 0x%x, pciFunction = 0x%x\n",
                       pci[0], pci[1], pci[2], pci[3]);
        return rc;
    }
    _Hba *hba = static_cast<_Hba *>(std::calloc(1, sizeof(_Hba)));
    if (!hba) {
        logDebugOutput("oem_get_adapter_info: cannot allocate memory\n");
        return OEM_NO_MEMORY;
    }
    ConvertDiscoveredDeviceToHbaStructure(scratch, hba);
    *out = hba;
    return 0;
}

bool adapter_level(const _Hba *hba)
{
    return isCNA(hba) || isVarrowFCHBA(hba);
}

// The selection pass: one device per converged or Varrow FC adapter (its
// function 0), every other FC function. 0, or the status that ended it.
int select_devices(std::vector<DiscoveredDevice> &all, std::vector<DiscoveredDevice> &selected)
{
    std::set<AdapterKey> keys;
    for (DiscoveredDevice &device : all) {
        log_executing(device);
        Trim(device.busnumber);
        Trim(device.devicenumber);
        Trim(device.funcnumber);
        uint32_t pci[4];
        if (!device_address(device, pci))
            continue;
        _Hba *hba = nullptr;
        int rc = read_device(pci, &hba);
        if (rc != 0)
            return rc;
        bool level = adapter_level(hba);
        std::free(hba);
        AdapterKey key(pci[0], pci[1], pci[2]);
        if (level && (keys.count(key) != 0 || pci[3] != 0)) {
            logDebugOutput("oem_get_adapter_info: device %s is flashed at adapter level. No need to flash again.\n",
                           device.product_id.c_str());
            continue;
        }
        keys.insert(key);
        selected.push_back(device);
    }
    return 0;
}

// Fills one record of the host's array from a selected device. 0, 4 or
// 10001; on a failure the fields written so far stay.
int fill_record(DiscoveredDevice &device, ven_adapter_info &record)
{
    put_text(record.productText, sizeof record.productText, device.product_id);
    record.vendorId = hex_value(device.venid);
    record.deviceId = hex_value(device.devid);
    record.subVendorId = hex_value(device.subvenid);
    record.subDeviceId = hex_value(device.subdevid);
    record.pciSegment = hex_value(device.segment);
    record.pciBus = hex_value(device.busnumber);
    record.pciDevice = hex_value(device.devicenumber);
    record.pciFunction = hex_value(device.funcnumber);
    put_text(record.slotText, sizeof record.slotText, device.slotnumber);
    put_text(record.macAddressText, sizeof record.macAddressText, device.macaddress);

    log_executing(device);
    Trim(device.segment);
    Trim(device.busnumber);
    Trim(device.devicenumber);
    Trim(device.funcnumber);
    uint32_t pci[4];
    if (!device_address(device, pci))
        return OEM_HARDWARE_NOT_ACCESSIBLE;
    _Hba *hba = nullptr;
    int rc = read_device(pci, &hba);
    if (rc == OEM_NO_MEMORY)
        return rc;
    if (rc != 0)
        return OEM_HARDWARE_NOT_ACCESSIBLE;

    ven_firmware_item &fw = record.items[0];
    fw.activeMajor = hba->activeVersion[0];
    fw.activeMinor = hba->activeVersion[1];
    fw.activeRelease = hba->activeVersion[2];
    if (const CLUImage *image = GetMatchingImageFile(hba, gFileList, 1)) {
        fw.imageMajor = image->CNAMajorVer;
        fw.imageMinor = image->CNAMinorVer;
        fw.imageRelease = image->CNAReleaseVer;
    }
    record.itemCount += 1;
    if (!adapter_level(hba)) {
        ven_firmware_item &boot = record.items[1];
        boot.activeMajor = hba->activeBoot.CNAMajorVer;
        boot.activeMinor = hba->activeBoot.CNAMinorVer;
        boot.activeRelease = hba->activeBoot.CNAReleaseVer;
        if (const CLUImage *image = GetMatchingImageFile(hba, gFileList, 2)) {
            boot.imageMajor = image->CNAMajorVer;
            boot.imageMinor = image->CNAMinorVer;
            boot.imageRelease = image->CNAReleaseVer;
        }
        record.itemCount += 1;
    }
    std::free(hba);
    return 0;
}

int list_adapters(ven_adapter_info *info, int *nEntries)
{
    std::vector<DiscoveredDevice> selected;
    {
        std::vector<DiscoveredDevice> all;
        logDebugOutput("oem_get_adapter_info: calling CreateDiscoveredDevicesList \n");
        CreateDiscoveredDevicesList(all);
        logDebugOutput("oem_get_adapter_info: CreateDiscoveredDevicesList returned success\n");
        UpdateDiscoveredDevicesList(all);
        logDebugOutput("oem_get_adapter_info: UpdateDiscoveredDevicesList returned success\n");
        int rc = select_devices(all, selected);
        if (rc == OEM_NO_MEMORY)
            return rc;
        if (rc != 0) {
            logDebugOutput("oem_get_adapter_info: failed with error code %d\n", rc);
            return rc;
        }
    }
    if (!info) {
        *nEntries = static_cast<int>(selected.size());
        lastReportedCount = *nEntries;
        logDebugOutput("oem_get_adapter_info: ven_adapter_info is null, returning nEntries %d\n", *nEntries);
        return OEM_SUCCESS;
    }
    size_t room = selected.size();
    if (lastReportedCount >= 0 && room > static_cast<size_t>(lastReportedCount)) {
        logDebugOutput("oem_get_adapter_info: %u devices found, only the %d counted before are listed\n",
                       static_cast<unsigned>(room), lastReportedCount);
        room = static_cast<size_t>(lastReportedCount);
    }
    for (size_t i = 0; i < room; ++i) {
        int rc = fill_record(selected[i], info[i]);
        if (rc != 0)
            return rc;
    }
    return OEM_SUCCESS;
}

} // namespace

int ListAdapterInfo(ven_adapter_info *info, int *nEntries, const char *firmware_file_path)
{
    int empty = 0;
    if (!makeFileNameList2(firmware_file_path, &empty, VALIDATE_ADAPTER)) {
        logDebugOutput("oem_get_adapter_info: makeFileNameList return error\n");
        return OEM_FIRMWARE_NOT_FOUND;
    }
    logDebugOutput("oem_get_adapter_info: makeFileNameList returned success\n");
    try {
        return list_adapters(info, nEntries);
    } catch (const std::bad_alloc &) {
        logDebugOutput("oem_get_adapter_info: cannot allocate memory\n");
        return OEM_NO_MEMORY;
    }
}
