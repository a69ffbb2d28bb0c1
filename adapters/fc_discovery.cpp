#include "adapters/fc_discovery.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dlfcn.h>

#include "adapters/adapter_table.h"
#include "adapters/board_predicates.h"
#include "adapters/converged_discovery.h"
#include "flash/debug_log.h"
#include "flash/engine_log.h"
#include "flash/neighbour_services.h"
#include "kpl.h"
#include "os/host_env.h"

char *SaveCmdLine = nullptr;

namespace {

const int32_t kMaxOptionWords = 20;
const size_t kMaxOptionLength = 256;
const uint8_t kDrvInfoVersion = 4;
const uint8_t kDrvInfoHasVersionText = 3;
const uint32_t kSli4Level = 4;
const uint64_t kFeatureFCoE = 0x200;
const int kIeeeRegion = 16;
const char kKplName[] = "libhlvdkpl.so";
const char kKplSystemPath[] = "/usr/lib/libhlvdkpl.so";
const char kExtendedMailboxCall[] = "KPL_IssueMboxWithRetryEx";

void print_message(const char *text)
{
    std::snprintf(szTempBuffer, sizeof szTempBuffer, "%s", text);
    PrintTwo();
}

// Joins words 1 to count-1 with single blanks into a new SaveCmdLine.
bool join_options(int32_t count, char **words)
{
    std::string joined;
    for (int32_t i = 1; i < count; ++i) {
        if (!words || !words[i])
            continue;
        if (!joined.empty())
            joined += ' ';
        joined += words[i];
    }
    char *text = static_cast<char *>(std::malloc(joined.size() + 1));
    if (!text)
        return false;
    std::memcpy(text, joined.c_str(), joined.size() + 1);
    std::free(SaveCmdLine);
    SaveCmdLine = text;
    return true;
}

KPL_ADAPTER_INFO *new_records(int32_t n)
{
    return static_cast<KPL_ADAPTER_INFO *>(std::calloc(static_cast<size_t>(n > 0 ? n : 1), sizeof(KPL_ADAPTER_INFO)));
}

// Asks the diagnostics library for the FC functions (two or three calls).
// 0 with the records and gAdapterCount set, or a discovery result.
int32_t count_fc_functions(KPL_ADAPTER_INFO **out)
{
    KPL_ADAPTER_INFO *records = new_records(MAX_FC_FUNCTIONS);
    if (!records) {
        logDebugOutput("Unable to locate memory\n");
        return DISCOVERY_NO_MEMORY;
    }
    KPL_InitDiagEnv(records, MAX_FC_FUNCTIONS);
    std::free(records);
    records = new_records(MAX_FC_FUNCTIONS);
    if (!records) {
        logDebugOutput("Unable to locate memory\n");
        return DISCOVERY_NO_MEMORY;
    }
    int n = KPL_InitDiagEnv(records, MAX_FC_FUNCTIONS);
    if (n < 0 || n > MAX_FC_FUNCTIONS) {
        // A count the library had no room to fill is never used.
        std::free(records);
        logDebugOutput("KPL_InitDiagEnv call error\n");
        return DISCOVERY_KPL_INIT_FAILED;
    }
    if (n != 0 && n != MAX_FC_FUNCTIONS) {
        std::free(records);
        records = new_records(n);
        if (!records) {
            logDebugOutput("Unable to locate memory\n");
            return DISCOVERY_NO_MEMORY;
        }
        int again = KPL_InitDiagEnv(records, n);
        if (again != n) {
            std::free(records);
            logDebugOutput("KPL_InitDiagEnv call error\n");
            return DISCOVERY_KPL_INIT_FAILED;
        }
    }
    gAdapterCount = static_cast<uint32_t>(n);
    *out = records;
    return 0;
}

// Mailbox size from the driver's version text.
uint32_t mailbox_bytes_for(const char *version)
{
    if (std::strcmp(version, "2.01A0") >= 0)
        return 2048;
    if (std::strlen(version) == 6)
        return std::strcmp(version, "2.00A8") > 0 ? 256 : 108;
    return std::strcmp(version, "2.00A10") >= 0 ? 256 : 108;
}

// Probes the diagnostics library for the extended mailbox call: 1 found,
// 0 not found, -1 when the library cannot be opened.
int probe_extended_mailbox()
{
    char system_path[256];
    void *handle = nullptr;
    if (host_path(kKplSystemPath, system_path, sizeof system_path) == 0)
        handle = dlopen(system_path, RTLD_LAZY);
    if (!handle)
        handle = dlopen(kKplName, RTLD_LAZY);
    if (!handle)
        return -1;
    int found = dlsym(handle, kExtendedMailboxCall) ? 1 : 0;
    dlclose(handle);
    return found;
}

// Driver capabilities of one FC entry; 0, or 10006 when the probe finds no library.
int32_t read_driver_info(uint32_t i)
{
    _Adapter &a = gAdapters[i];
    KPL_DRV_INFO info;
    std::memset(&info, 0, sizeof info);
    info.version = kDrvInfoVersion;
    int rc = KPL_GetDrvInfo(static_cast<int>(i), &info);
    if (rc != 0 && rc != 2) {
        std::snprintf(szTempBuffer, sizeof szTempBuffer, "No driver installed. Error %x", rc);
        PrintTwo();
        return 0;
    }
    logDebugOutput("Skipping DRVINFO check\n");
    a.maxMailboxBytes = 108;
    if (info.infoKind == kDrvInfoHasVersionText) {
        char version[sizeof info.driverVersion + 1];
        std::memcpy(version, info.driverVersion, sizeof info.driverVersion);
        version[sizeof info.driverVersion] = '\0';
        a.maxMailboxBytes = mailbox_bytes_for(version);
    } else {
        int found = probe_extended_mailbox();
        if (found < 0) {
            print_message("No LIBKPL Library installed in /usr/lib or the local execution directory");
            logDebugOutput("%s", szTempBuffer);
            return DISCOVERY_NO_KPL;
        }
        if (found)
            a.maxMailboxBytes = 2048;
    }
    a.sli4 = info.sliLevel == kSli4Level ? 1 : 0;
    if (info.features & kFeatureFCoE) {
        a.kindFlags |= ADAPTER_KIND_MANAGED | ADAPTER_KIND_FCOE;
        a.fcoeCapable = 1;
    } else {
        a.fcoeCapable = 0;
    }
    return 0;
}

uint16_t id_at(const uint8_t *cfg, size_t offset)
{
    uint16_t v;
    std::memcpy(&v, cfg + offset, sizeof v);
    if (main_HostEndian != 1)
        v = static_cast<uint16_t>((v >> 8) | (v << 8));
    return v;
}

// PCI identity and IEEE address of one FC entry; 0 or 10003.
int32_t read_pci_identity(uint32_t i, const KPL_ADAPTER_INFO &record)
{
    _Adapter &a = gAdapters[i];
    uint8_t cfg[256];
    std::memset(cfg, 0, sizeof cfg);
    if (KPL_ReadPciCfg(static_cast<int>(i), cfg, 0, sizeof cfg) != 0)
        return DISCOVERY_PCI_READ_FAILED;
    a.pciBus = record.pciBus;
    a.pciDevice = (record.pciDevFn & 0xF8) >> 3;
    a.pciFunction = static_cast<int8_t>(record.pciFunction);
    a.deviceId = id_at(cfg, 0x02);
    a.subDeviceId = id_at(cfg, 0x2E);
    a.vendorId = id_at(cfg, 0x00);
    a.subVendorId = id_at(cfg, 0x2C);
    a.revisionId = cfg[0x08];
    if (cfg[0x0E] != 0)
        a.flags |= ADAPTER_FLAG_DUAL_CHANNEL;
    if (isArcwrightFCoEBoard(a.deviceId) || isVarrowFCoEBoard(a.deviceId))
        a.kindFlags |= ADAPTER_KIND_MANAGED | ADAPTER_KIND_FCOE;
    int32_t index = static_cast<int32_t>(i);
    if (isHBATypeArcwrightFCoE(index))
        ++gFCoECount;

    uint8_t ieee[8];
    std::memset(ieee, 0, sizeof ieee);
    uint32_t count = sizeof ieee;
    if (DumpConfigRegion(index, kIeeeRegion, 0, &count, ieee) != 0) {
        a.ieeeAddress[0] = 0;
        a.ieeeAddress[1] = 0;
        return 0;
    }
    if (isSLI4(index))
        SwapBytes1(ieee, sizeof ieee);
    std::memcpy(a.ieeeAddress, ieee, sizeof ieee);
    return 0;
}

} // namespace

int32_t adapterDiscovery(int32_t count, char **words)
{
    if (count > kMaxOptionWords || count < 0) {
        print_message("Invalid number of arguments");
        return DISCOVERY_BAD_ARGUMENTS;
    }
    if (!join_options(count, words)) {
        print_message("Unable to allocate memory");
        return DISCOVERY_NO_MEMORY_FOR_OPTIONS;
    }
    if (std::strstr(SaveCmdLine, "/novexo"))
        gVEXOSupport = 0;
    if (gVEXOSupport)
        LocateBrindlefin();
    for (int32_t i = 1; i < count; ++i) {
        if (words && words[i] && std::strlen(words[i]) >= kMaxOptionLength) {
            print_message("Invalid argument length");
            return DISCOVERY_BAD_ARGUMENTS;
        }
    }
    gUseVPD_ModelName = 1;
    if (std::strstr(SaveCmdLine, "/c"))
        gUseVPD_ModelName = 0;

    KPL_ADAPTER_INFO *records = nullptr;
    int32_t rc = count_fc_functions(&records);
    if (rc != 0)
        return rc;

    char version[25];
    std::memset(version, 0, sizeof version);
    KPL_GetLibVer(version);
    version[sizeof version - 1] = '\0';
    logDebugOutput("KPL is initialized. KPL version = %s\n", version);

    gTotalHBAs = gAdapterCount + giSCSICount + gNICCount;
    if (gTotalHBAs == 0) {
        std::free(records);
        logDebugOutput("No Orvane CNA adapters installed\n");
        return DISCOVERY_NO_ADAPTERS;
    }
    gAdapters = static_cast<_Adapter *>(std::calloc(gTotalHBAs, sizeof(_Adapter)));
    if (gAdapters)
        gVPDModelDescription = static_cast<char **>(std::calloc(gTotalHBAs, sizeof(char *)));
    if (!gAdapters || !gVPDModelDescription) {
        std::free(gAdapters);
        gAdapters = nullptr;
        std::free(records);
        logDebugOutput("Unable to allocate memory\n");
        return DISCOVERY_NO_MEMORY;
    }

    for (uint32_t i = 0; i < gAdapterCount; ++i) {
        rc = read_driver_info(i);
        if (rc != 0) {
            std::free(records);
            return rc;
        }
    }
    logDebugOutput("Skipping gAdapterUnderTest\n");
    logDebugOutput("Skipping gDirectDownloadDone\n");
    for (uint32_t i = 0; i < gAdapterCount; ++i) {
        rc = read_pci_identity(i, records[i]);
        if (rc != 0) {
            std::free(records);
            return rc;
        }
    }
    std::free(records);
    return 0;
}
