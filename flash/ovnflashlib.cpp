#include "flash/ovnflashlib.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <map>
#include <set>
#include <stdexcept>
#include <tuple>

#include <dirent.h>
#include <sys/stat.h>

#include "flash/adapter_list.h"
#include "flash/debug_log.h"
#include "flash/device_properties.h"
#include "flash/discovery_xml.h"
#include "flash/flash_adapter.h"
#include "flash/hba_record.h"
#include "flash/image_list.h"
#include "flash/oem_status.h"

pthread_mutex_t libOvnFlashMutex;
static MutexConstructor ovnFlashMutexConstructor(libOvnFlashMutex);

namespace {

const char kNotSupportedText[] = "Not Supported Return Code Value";

typedef AutoDestroy<void (*)()> CallCleanup;

bool is_directory(const char *path)
{
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

const char *shown(const char *text)
{
    return text ? text : "(null)";
}

// One adapter: its PCI segment, bus and device. The segment is part of the
// key, so adapters on two segments are never taken for one.
typedef std::tuple<unsigned long, unsigned long, unsigned long> AdapterKey;

// Base-16 text that has to be consumed whole; a PCI number fits 32 bits.
bool parse_hex(const std::string &text, unsigned long &value)
{
    const char *begin = text.c_str();
    char *end = nullptr;
    errno = 0;
    value = std::strtoul(begin, &end, 16);
    return errno == 0 && end != begin && *end == '\0' && value <= UINT32_MAX;
}

// Step of the discovery walk for one device: decides whether it enters the
// file. 0, or 10001 when its working record cannot be had.
int examine_device(DiscoveredDevice &device, std::set<AdapterKey> &keys, std::vector<DiscoveredDevice> &retained)
{
    logDebugOutput("oem_do_discovery_with_files: executing oem_do_discovery_with_files for device, segment = 0x%s "
                   "busnumber = 0x%s, devicenum = 0x%s, funcnum = 0x%s\n",
                   device.segment.c_str(), device.busnumber.c_str(), device.devicenumber.c_str(),
                   device.funcnumber.c_str());
    Trim(device.busnumber);
    Trim(device.devicenumber);
    Trim(device.funcnumber);
    if (device.segment.empty() || device.busnumber.empty() || device.devicenumber.empty() ||
        device.funcnumber.empty()) {
        logDebugOutput("oem_do_discovery_with_files: skipping the device %s because it has invalid pci ids\n",
                       device.product_id.c_str());
        return 0;
    }
    unsigned long seg, bus, dev, fn;
    if (!parse_hex(device.segment, seg)) {
        logDebugOutput("oem_do_discovery_with_files: skipping the device %s because it has invalid segment\n",
                       device.segment.c_str());
        return 0;
    }
    if (!parse_hex(device.busnumber, bus)) {
        logDebugOutput("oem_do_discovery_with_files: skipping the device %s because it has invalid bus number\n",
                       device.product_id.c_str());
        return 0;
    }
    if (!parse_hex(device.devicenumber, dev)) {
        logDebugOutput("oem_do_discovery_with_files: skipping the device %s because it has invalid device "
                       "number\n",
                       device.product_id.c_str());
        return 0;
    }
    if (!parse_hex(device.funcnumber, fn)) {
        logDebugOutput("oem_do_discovery_with_files: skipping the device %s because it has invalid PCI function\n",
                       device.product_id.c_str());
        return 0;
    }
    // A device that cannot be found or read again is left out; the walk
    // goes on with the others.
    uint32_t index = 0;
    if (GetAdapterIndxByPciIDs(static_cast<uint32_t>(seg), static_cast<uint32_t>(bus), static_cast<uint32_t>(dev),
                               static_cast<uint32_t>(fn), &index) != 0) {
        logDebugOutput("oem_do_discovery_with_files: couldnot locate the device specified by pciSegment = 0x%lx, "
                       "pciBus = 0x%lx, pciDevice = 0x%lx, pciFunction = 0x%lx\n",
                       seg, bus, dev, fn);
        return 0;
    }
    DiscoveredDevice scratch;
    if (GetDiscoveredAdapterProperty(index, scratch) != 0) {
        logDebugOutput("oem_do_discovery_with_files: couldnot get adapter properties for the device specified by "
                       "pciSegment = 0x%lx, pciBus = 0x%lx, pciDevice = 0x%lx, pciFunction = 0x%lx\n",
                       seg, bus, dev, fn);
        return 0;
    }
    _Hba *hba = static_cast<_Hba *>(std::calloc(1, sizeof(_Hba)));
    if (!hba) {
        logDebugOutput("oem_do_discovery_with_files: cannot allocate memory\n");
        return OEM_NO_MEMORY;
    }
    ConvertDiscoveredDeviceToHbaStructure(scratch, hba);
    AdapterKey key(seg, bus, dev);
    bool adapter_level = isCNA(hba) || isVarrowFCHBA(hba);
    std::free(hba);
    if (adapter_level && (keys.count(key) != 0 || fn != 0)) {
        logDebugOutput("oem_do_discovery_with_files: device %s is flashed at adapter level. No need to flash "
                       "again.\n",
                       device.product_id.c_str());
        return 0;
    }
    keys.insert(key);
    retained.push_back(device);
    return 0;
}

} // namespace

int EnumerateDirectory(const char *path, std::vector<std::string> &names)
{
    DIR *dir = opendir(path);
    if (!dir) {
        int err = errno;
        logDebugOutput("EnumurateDirectory: cannot access the directory %s, opendir retunred with error = %d\n",
                       path, err);
        return err;
    }
    std::string base(path);
    Trim(base);
    if (base.empty() || base.back() != '/')
        base += '/';
    while (struct dirent *e = readdir(dir)) {
        std::string full = base + e->d_name;
        struct stat st;
        if (stat(full.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
            names.push_back(e->d_name);
    }
    closedir(dir);
    return 0;
}

int SelectDiscoveredDevices(std::vector<DiscoveredDevice> &all, std::vector<DiscoveredDevice> &retained)
{
    std::set<AdapterKey> keys;
    for (DiscoveredDevice &device : all) {
        int rc = examine_device(device, keys, retained);
        if (rc != 0)
            return rc;
    }
    return 0;
}

int FoldFlashStatus(int overall, int result)
{
    if (result > OEM_SAME_VERSION)
        return result;
    if (result == OEM_REBOOT_REQUIRED)
        return overall <= OEM_SAME_VERSION ? OEM_REBOOT_REQUIRED : overall;
    if (result == OEM_SUCCESS)
        return (overall <= OEM_SUCCESS || overall == OEM_SAME_VERSION) ? OEM_SUCCESS : overall;
    return overall;
}

void NormaliseAction(std::string &action)
{
    for (char &c : action)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    Trim(action);
}

namespace {

// The expected comparison of a flashing action, or false for any other.
bool expected_of(const std::string &action, int &expected)
{
    static const struct {
        const char *action;
        int expected;
    } kActions[] = {{"upgrade", EXPECT_UPGRADE}, {"rewrite", EXPECT_REWRITE}, {"downgrade", EXPECT_DOWNGRADE}};
    for (const auto &a : kActions) {
        if (action == a.action) {
            expected = a.expected;
            return true;
        }
    }
    return false;
}

// One item of a located device: finds its image, normalises its action and
// flashes it when the action asks for that.
void flash_item(FlashWalk &walk, DiscoveredDevice &device, FirmwareDetails &item, const _Hba *hba, uint32_t index,
                int fileKind)
{
    std::string path = walk.firmwarePath;
    bool found = false;
    if (walk.directoryMode) {
        for (const std::string &name : walk.imageNames) {
            if (name == item.firmware_file) {
                if (path.empty() || path.back() != '/')
                    path += '/';
                path += name;
                found = true;
                break;
            }
        }
    } else {
        found = item.firmware_file == GetFileBaseName(path.c_str());
    }
    NormaliseAction(item.action);
    int expected = 0;
    if (!found || !expected_of(item.action, expected))
        return;
    int rc = FlashAdapter(path.c_str(), 0, hba, static_cast<int>(index), fileKind, true, expected);
    if (rc == OEM_SUCCESS)
        logDebugOutput("oem_do_flash_with_file: successfully flashed adapter %s, segment = 0x%s, busnumber = 0x%s, "
                       "devicenum = 0x%s, funcnum = 0x%s\n",
                       device.product_id.c_str(), device.segment.c_str(), device.busnumber.c_str(),
                       device.devicenumber.c_str(), device.funcnumber.c_str());
    item.action_status = std::to_string(rc);
    walk.attempted = true;
    walk.status = FoldFlashStatus(walk.status, rc);
}

// The PCI address of a listed device, or false (with its line) when one of
// its texts is empty or not a whole base-16 number.
bool listed_address(DiscoveredDevice &device, uint32_t address[4])
{
    Trim(device.busnumber);
    Trim(device.devicenumber);
    Trim(device.funcnumber);
    const std::string *texts[4] = {&device.segment, &device.busnumber, &device.devicenumber, &device.funcnumber};
    bool usable = true;
    for (const std::string *t : texts)
        usable = usable && !t->empty();
    for (int i = 0; usable && i < 4; ++i) {
        unsigned long v = 0;
        if (!parse_hex(*texts[i], v)) {
            logDebugOutput("oem_do_flash_with_file: skipping the device %s because it has invalid pci ids\n",
                           i == 0 ? device.segment.c_str() : device.product_id.c_str());
            return false;
        }
        address[i] = static_cast<uint32_t>(v);
    }
    if (!usable)
        logDebugOutput("oem_do_flash_with_file: skipping the device %s because it has invalid pci ids\n",
                       device.product_id.c_str());
    return usable;
}

} // namespace

void FlashListedDevices(std::vector<DiscoveredDevice> &devices, FlashWalk &walk)
{
    // The device that first claimed each adapter, by its index in the list.
    std::map<AdapterKey, size_t> claimed;
    for (size_t i = 0; i < devices.size(); ++i) {
        DiscoveredDevice &device = devices[i];
        logDebugOutput("oem_do_flash_with_file: executing oem_do_flash_with_file for device, segment = ox%s, "
                       "busnumber = 0x%s, devicenum = 0x%s, funcnum = 0x%s\n",
                       device.segment.c_str(), device.busnumber.c_str(), device.devicenumber.c_str(),
                       device.funcnumber.c_str());
        bool hasBoot = device.hasBootItem;
        uint32_t pci[4];
        if (!listed_address(device, pci))
            continue;
        // A device that cannot be found or read counts as a failure, and the
        // walk goes on with the others.
        uint32_t index = 0;
        if (GetAdapterIndxByPciIDs(pci[0], pci[1], pci[2], pci[3], &index) != 0) {
            logDebugOutput("oem_do_flash_with_file: couldnot locate the device specified by pciSegment = 0x%x, "
                           "pciBus = 0x%x, pciDevice = 0x%x, pciFunction = 0x%x\n",
                           pci[0], pci[1], pci[2], pci[3]);
            walk.status = FoldFlashStatus(walk.status, OEM_HARDWARE_NOT_ACCESSIBLE);
            continue;
        }
        DiscoveredDevice scratch;
        int rc = GetDiscoveredAdapterProperty(index, scratch);
        if (rc != 0) {
            logDebugOutput("oem_do_flash_with_file: couldnot get adapter properties for the device specified by "
                           "pciSegment = 0x%x, pciBus = 0x%x, pciDevice = 0x%x, pciFunction = 0x%x\n",
                           pci[0], pci[1], pci[2], pci[3]);
            walk.status = FoldFlashStatus(walk.status, rc);
            continue;
        }
        _Hba *hba = static_cast<_Hba *>(std::calloc(1, sizeof(_Hba)));
        if (!hba) {
            // The results so far are still written back.
            logDebugOutput("oem_do_flash_with_file: cannot allocate memory\n");
            walk.status = FoldFlashStatus(walk.status, OEM_NO_MEMORY);
            return;
        }
        ConvertDiscoveredDeviceToHbaStructure(scratch, hba);
        AdapterKey key(pci[0], pci[1], pci[2]);
        auto seen = claimed.find(key);
        if ((isCNA(hba) || isVarrowFCHBA(hba)) && seen != claimed.end()) {
            logDebugOutput("oem_do_flash_with_file: device %s is flashed at adapter level. No need to flash "
                           "again.\n",
                           device.product_id.c_str());
            const DiscoveredDevice &first = devices[seen->second];
            device.firmware.action_status = first.firmware.action_status;
            if (first.hasBootItem)
                device.bootCode.action_status = first.bootCode.action_status;
            std::free(hba);
            continue;
        }
        claimed.insert(std::make_pair(key, i));
        flash_item(walk, device, device.firmware, hba, index, VALIDATE_FIRMWARE_ITEM);
        if (hasBoot) {
            logDebugOutput("oem_do_flash_with_file: Trying to flash boot code.\n");
            flash_item(walk, device, device.bootCode, hba, index, VALIDATE_BOOT_ITEM);
        }
        std::free(hba);
    }
}

extern "C" int oem_do_discovery_with_files(const char *discovery_file, const char *image_file_path)
{
    AutoMutex lock(libOvnFlashMutex);
    logDebugOutput("\n[oem_do_discovery_with_files]: entering oem_do_discovery_with_files\n");
    logDebugOutput("oem_do_discovery_with_files: image_file_path = %s\n", shown(image_file_path));
    if (!discovery_file) {
        logDebugOutput("oem_do_discovery_with_files: Invalid discovery_file\n");
        return OEM_INVALID_ARGUMENTS;
    }
    if (!image_file_path) {
        logDebugOutput("oem_do_discovery_with_files: Imagefile path not found\n");
        return OEM_INVALID_ARGUMENTS;
    }
    CallCleanup cleanup(FreeAllGlobals);
    if (CreateAdapterList() != 0) {
        // Discovery keeps the debug log open on this path.
        logDebugOutput("oem_do_discovery_with_files: cannot create adapter list. discovery failed\n");
        return OEM_OPERATION_FAILED;
    }
    int empty = 0;
    if (!makeFileNameList2(image_file_path, &empty, VALIDATE_ADAPTER)) {
        logDebugOutput("oem_do_discovery_with_files: makeFileNameList return error\n");
        return OEM_FIRMWARE_NOT_FOUND;
    }
    logDebugOutput("oem_do_discovery_with_files: makeFileNameList returned success\n");

    std::vector<DiscoveredDevice> retained;
    try {
        std::vector<DiscoveredDevice> all;
        logDebugOutput("oem_do_discovery_with_files: calling CreateDiscoveredDevicesList \n");
        CreateDiscoveredDevicesList(all);
        logDebugOutput("oem_do_discovery_with_files: CreateDiscoveredDevicesList returned success\n");
        // A failure here leaves the actions unproposed: no file is written.
        if (UpdateDiscoveredDevicesList(all) != 0)
            return OEM_NO_MEMORY;
        logDebugOutput("oem_do_discovery_with_files: UpdateDiscoveredDevicesList returned success\n");
        int rc = SelectDiscoveredDevices(all, retained);
        if (rc != 0)
            return rc;
    } catch (const std::bad_alloc &) {
        logDebugOutput("oem_do_discovery_with_files: cannot allocate memory\n");
        return OEM_NO_MEMORY;
    }

    try {
        GenerateDiscoveryFile(discovery_file, retained);
    } catch (const std::exception &e) {
        logDebugOutput("oem_do_discovery_with_files: Caught an exception while parsing xml, \"%s\"\n", e.what());
        CloseLogFileHandle();
        return OEM_DISCOVERY_FILE_NOT_CREATED;
    } catch (...) {
        logDebugOutput("oem_do_discovery_with_files: An unknown exception happened\n");
        CloseLogFileHandle();
        return OEM_DISCOVERY_FILE_NOT_CREATED;
    }
    logDebugOutput("oem_do_discovery_with_files: leaving oem_do_discovery_with_files\n");
    CloseLogFileHandle();
    return OEM_SUCCESS;
}

extern "C" int oem_do_flash_with_file(const char *discovery_file, const char *firmware_file)
{
    AutoMutex lock(libOvnFlashMutex);
    logDebugOutput("oem_do_flash_with_file: oem_do_flash_with_file enter\n");
    if (!discovery_file) {
        logDebugOutput("oem_do_flash_with_file: discovery_file argument is null. Valid discovery  file is "
                       "expected\n");
        CloseLogFileHandle();
        return OEM_INVALID_ARGUMENTS;
    }
    if (!firmware_file) {
        logDebugOutput("oem_do_flash_with_file: firmware_file argument is null. Valid firmware file is expected\n");
        CloseLogFileHandle();
        return OEM_INVALID_ARGUMENTS;
    }
    struct stat st;
    if (stat(discovery_file, &st) != 0 || S_ISDIR(st.st_mode)) {
        logDebugOutput("oem_do_flash_with_file: cannot access the discovery file %s\n", discovery_file);
        CloseLogFileHandle();
        return OEM_DISCOVERY_FILE_NOT_ACCESSIBLE;
    }
    // A FIFO or device would block the reader or feed it endlessly: only a
    // regular file (a link to one is fine) can be a discovery file.
    if (!S_ISREG(st.st_mode)) {
        logDebugOutput("oem_do_flash_with_file: xml parsing error. The operation failed with error '%s'\n",
                       "cannot open file");
        CloseLogFileHandle();
        return OEM_DISCOVERY_FILE_CORRUPT;
    }
    if (stat(firmware_file, &st) != 0) {
        logDebugOutput("oem_do_flash_with_file: cannot access the firmware file/directory %s\n", firmware_file);
        CloseLogFileHandle();
        return OEM_FIRMWARE_NOT_ACCESSIBLE;
    }
    FlashWalk walk;
    walk.firmwarePath = firmware_file;
    Trim(walk.firmwarePath);
    if (S_ISDIR(st.st_mode)) {
        logDebugOutput("oem_do_flash_with_file: firmware_file argument is a directory\n");
        walk.directoryMode = true;
        if (EnumerateDirectory(firmware_file, walk.imageNames) != 0) {
            logDebugOutput("oem_do_flash_with_file: cannot access the firmware files directory\n");
            CloseLogFileHandle();
            return OEM_FIRMWARE_NOT_ACCESSIBLE;
        }
    }
    CallCleanup cleanup(FreeAllGlobals);
    if (CreateAdapterList() != 0) {
        logDebugOutput("oem_do_flash_with_file: cannot create adapter list. discovery failed\n");
        CloseLogFileHandle();
        return OEM_OPERATION_FAILED;
    }

    std::vector<DiscoveredDevice> devices;
    try {
        ReadDiscoveryFile(discovery_file, devices);
    } catch (const std::bad_alloc &e) {
        logDebugOutput("oem_do_flash_with_file: cannot alloate memory. The operation failed with error '%s'\n",
                       e.what());
        CloseLogFileHandle();
        return OEM_NO_MEMORY;
    } catch (const std::runtime_error &e) {
        logDebugOutput("oem_do_flash_with_file: xml parsing error. The operation failed with error '%s'\n",
                       e.what());
        CloseLogFileHandle();
        return OEM_DISCOVERY_FILE_CORRUPT;
    } catch (...) {
        logDebugOutput("oem_do_flash_with_file: An unkown error occured. cannot parse the xml file.\n");
        CloseLogFileHandle();
        return OEM_UNKNOWN_ERROR;
    }

    try {
        FlashListedDevices(devices, walk);
    } catch (const std::bad_alloc &) {
        logDebugOutput("oem_do_flash_with_file: cannot allocate memory\n");
        walk.status = FoldFlashStatus(walk.status, OEM_NO_MEMORY);
    }

    if (walk.attempted) {
        try {
            GenerateDiscoveryFile(discovery_file, devices);
        } catch (const std::exception &e) {
            logDebugOutput("oem_do_flash_with_file: Caught an exception while updating discovery xml, \"%s\"\n",
                           e.what());
            CloseLogFileHandle();
            return OEM_DISCOVERY_FILE_NOT_CREATED;
        } catch (...) {
            logDebugOutput("oem_do_discovery_with_files: An unknown exception happened discovery xml\n");
            CloseLogFileHandle();
            return OEM_DISCOVERY_FILE_NOT_CREATED;
        }
    }
    CloseLogFileHandle();
    return walk.status;
}

extern "C" int oem_do_full_flash_PCI(const char *firmware_file, int force, int segment, int bus, int device,
                                     int function)
{
    AutoMutex lock(libOvnFlashMutex);
    if (!firmware_file) {
        logDebugOutput("oem_do_full_flash_PCI: firmware_file argument is null. Valid firmware file is expected\n");
        CloseLogFileHandle();
        return OEM_INVALID_ARGUMENTS;
    }
    struct stat st;
    if (stat(firmware_file, &st) != 0 || S_ISDIR(st.st_mode)) {
        logDebugOutput("oem_do_full_flash_PCI: cannot access the firmware file %s\n", firmware_file);
        CloseLogFileHandle();
        return OEM_FIRMWARE_NOT_ACCESSIBLE;
    }
    CallCleanup cleanup(FreeAllGlobals);
    if (CreateAdapterList() != 0) {
        logDebugOutput("oem_do_full_flash_PCI: cannot create adapter list. discovery failed\n");
        CloseLogFileHandle();
        return OEM_OPERATION_FAILED;
    }
    const uint32_t seg = static_cast<uint32_t>(segment), b = static_cast<uint32_t>(bus),
                   d = static_cast<uint32_t>(device), f = static_cast<uint32_t>(function);
    uint32_t index = 0;
    if (GetAdapterIndxByPciIDs(seg, b, d, f, &index) != 0) {
        logDebugOutput("oem_do_full_flash_PCI: couldnot locate the device specified by segment = 0x%x, pciBus = "
                       "0x%x, pciDevice = 0x%x, pciFunction = 0x%x\n",
                       seg, b, d, f);
        CloseLogFileHandle();
        return OEM_HARDWARE_NOT_ACCESSIBLE;
    }
    int rc;
    try {
        DiscoveredDevice record;
        rc = GetDiscoveredAdapterProperty(index, record);
        if (rc != 0) {
            logDebugOutput("oem_do_full_flash_PCI: couldnot get adapter properties for the device specified by "
                           "segment = 0x%x, pciBus = 0x%x, pciDevice = 0x%x, pciFunction = 0x%x\n",
                           seg, b, d, f);
            CloseLogFileHandle();
            return rc;
        }
        _Hba *hba = static_cast<_Hba *>(std::calloc(1, sizeof(_Hba)));
        if (!hba) {
            logDebugOutput("oem_do_full_flash_PCI: cannot allocate memory\n");
            CloseLogFileHandle();
            return OEM_NO_MEMORY;
        }
        ConvertDiscoveredDeviceToHbaStructure(record, hba);
        rc = FlashAdapter(firmware_file, force, hba, static_cast<int>(index), VALIDATE_ADAPTER, false, EXPECT_NONE);
        std::free(hba);
    } catch (const std::bad_alloc &) {
        logDebugOutput("oem_do_full_flash_PCI: cannot allocate memory\n");
        rc = OEM_NO_MEMORY;
    }
    CloseLogFileHandle();
    return rc;
}

extern "C" int oem_get_full_flash_dump_PCI(const char *dump_file, int ignored, int segment, int bus, int device,
                                           int function)
{
    (void)ignored;
    AutoMutex lock(libOvnFlashMutex);
    if (!dump_file) {
        logDebugOutput("oem_do_full_flash_dump_PCI: firmware_file argument is null. Valid firmware file is "
                       "expected\n");
        CloseLogFileHandle();
        return OEM_UNMET_DEPENDENCY;
    }
    if (is_directory(dump_file)) {
        // The dump call reports this with the flash call's name.
        logDebugOutput("oem_do_full_flash_PCI: cannot access the firmware file %s\n", dump_file);
        CloseLogFileHandle();
        return OEM_UNMET_DEPENDENCY;
    }
    CallCleanup cleanup(FreeAllGlobals);
    if (CreateAdapterList() != 0) {
        logDebugOutput("oem_do_full_flash_dump_PCI: cannot create adapter list. discovery failed\n");
        CloseLogFileHandle();
        return OEM_UNMET_DEPENDENCY;
    }
    const uint32_t seg = static_cast<uint32_t>(segment), b = static_cast<uint32_t>(bus),
                   d = static_cast<uint32_t>(device), f = static_cast<uint32_t>(function);
    uint32_t index = 0;
    if (GetAdapterIndxByPciIDs(seg, b, d, f, &index) != 0) {
        logDebugOutput("oem_do_full_flash_dump_PCI: couldnot locate the device specified by segment = 0x%x, pciBus "
                       "= 0x%x, pciDevice = 0x%x, pciFunction = 0x%x\n",
                       seg, b, d, f);
        CloseLogFileHandle();
        return OEM_UNMET_DEPENDENCY;
    }
    int rc;
    try {
        DiscoveredDevice record;
        if (GetDiscoveredAdapterProperty(index, record) != 0) {
            logDebugOutput("oem_do_full_flash_dump_PCI: couldnot get adapter properties for the device specified by "
                           "segment = 0x%x, pciBus = 0x%x, pciDevice = 0x%x, pciFunction = 0x%x\n",
                           seg, b, d, f);
            CloseLogFileHandle();
            return OEM_UNMET_DEPENDENCY;
        }
        rc = RetrieveAdapterPCIDump(static_cast<int>(index), dump_file);
    } catch (const std::bad_alloc &) {
        rc = OEM_UNMET_DEPENDENCY;
    }
    CloseLogFileHandle();
    return rc;
}

extern "C" int oem_get_adapter_info(ven_adapter_info *info, int *nEntries, const char *firmware_file_path)
{
    AutoMutex lock(libOvnFlashMutex);
    logDebugOutput("\n[oem_get_adapter_info]: entering oem_do_discovery_with_files\n");
    if (!nEntries) {
        logDebugOutput("oem_get_adapter_info: nEntries is null\n");
        CloseLogFileHandle();
        return OEM_INVALID_ARGUMENTS;
    }
    if (!firmware_file_path) {
        logDebugOutput("oem_get_adapter_info: firmware_file_path is null \n");
        CloseLogFileHandle();
        return OEM_INVALID_ARGUMENTS;
    }
    // A path is never cut to fit.
    if (std::strlen(firmware_file_path) > ADAPTER_INFO_PATH_MAX) {
        logDebugOutput("oem_get_adapter_info: firmware_file_path is too long\n");
        CloseLogFileHandle();
        return OEM_INVALID_ARGUMENTS;
    }
    logDebugOutput("oem_get_adapter_info: firmware_file_path = %s\n", firmware_file_path);
    CallCleanup cleanup(FreeAllGlobals);
    if (CreateAdapterList() != 0) {
        logDebugOutput("oem_get_adapter_info: cannot create adapter list. discovery failed\n");
        CloseLogFileHandle();
        return OEM_OPERATION_FAILED;
    }
    int rc = ListAdapterInfo(info, nEntries, firmware_file_path);
    CloseLogFileHandle();
    return rc;
}

extern "C" int oem_flash_lib_version(char *buffer, int size)
{
    const int major = 12, minor = 0, build = 1215, patch = 0;
    // A negative size is treated as no room at all.
    size_t room = (buffer && size > 0) ? static_cast<size_t>(size) : 0;
    char dummy[1];
    return std::snprintf(room ? buffer : dummy, room, "%d.%d.%d.%d", major, minor, build, patch);
}

// Takes no library lock: the log has its own, and a status text must not wait
// for a discovery to end.
extern "C" const char *oem_text_for_error_code(int code)
{
    logDebugOutput("\noem_text_for_error_code: entering oem_text_for_error_code with error code %d\n", code);
    for (int i = 0; i < NoOfErrMsgEntries; ++i) {
        if (error_msg[i].code == code) {
            logDebugOutput("\noem_text_for_error_code:  error msg : %s\n", error_msg[i].text);
            CloseLogFileHandle();
            return error_msg[i].text;
        }
    }
    logDebugOutput("\noem_text_for_error_code:  error msg : %s\n", kNotSupportedText);
    CloseLogFileHandle();
    return kNotSupportedText;
}

extern "C" int oem_get_debug_info(const char *log_file)
{
    if (log_file && is_directory(log_file))
        return OEM_UNMET_DEPENDENCY;
    if (EnableLogging(log_file) == 1)
        return OEM_UNMET_DEPENDENCY;
    logDebugOutput("oem_get_debug_info: log enabled with log file %s\n", shown(log_file));
    return OEM_SUCCESS;
}
