#include "flash/flash_adapter.h"

#include <cstdlib>
#include <cstring>

#include "adapters/adapter_table.h"
#include "adapters/converged_discovery.h"
#include "flash/debug_log.h"
#include "flash/image_list.h"
#include "flash/neighbour_services.h"
#include "flash/oem_status.h"
#include "flash/version_rules.h"
#include "hba/download_entry.h"
#include "mal/mal_maintenance.h"

namespace {

// Longest path an action parameter of the management library carries.
const size_t kMaxActionPath = 255;

const char kMissingSignature[] =
    "Download failed. Missing digital signature, please contact customer support for additional help.\n";
const char kInvalidSignature[] =
    "Download failed. Invalid digital signature, please contact customer support for additional help.\n";

// What a converged (non-Varrow) download's result becomes.
struct ConvergedResult {
    DOWNLOAD_STATUS status;
    const char *line;
    int result;
};

const ConvergedResult kConvergedResults[] = {
    {DOWNLOAD_OK, "Download successfully completed. Please reboot the system to activate new firmware\n",
     OEM_REBOOT_REQUIRED},
    {REBOOT_REQUIRED, "Download successfully completed. Please reboot the system to activate new firmware\n",
     OEM_REBOOT_REQUIRED},
    {DOWNLOAD_TWICE_REQUIRED,
     "This special firmware release requires the firmware download be performed twice.  You must reboot the "
     "system and download the same firmware file again to complete the download process.\n",
     OEM_INTERMEDIATE_REBOOT_REQUIRED},
    {SIGNATURE_MISSING, kMissingSignature, OEM_SIGNATURE_MISSING},
    {SIGNATURE_INVALID, kInvalidSignature, OEM_SIGNATURE_INVALID},
};

void clear_downloading(int index)
{
    if (gAdapters && AdapterExists4(static_cast<uint32_t>(index)))
        gAdapters[index].flags &= static_cast<uint8_t>(~ADAPTER_FLAG_DOWNLOADING);
}

int converged_result(DOWNLOAD_STATUS status)
{
    for (const ConvergedResult &r : kConvergedResults) {
        if (r.status == status) {
            logDebugOutput("%s", r.line);
            return r.result;
        }
    }
    logDebugOutput("Download failed on the adapter with status =  %08lX\n",
                   static_cast<unsigned long>(static_cast<uint32_t>(status)));
    return OEM_DOWNLOAD_FAILED;
}

int varrow_result(int index, DOWNLOAD_STATUS status)
{
    switch (status) {
    case DOWNLOAD_OK: return OEM_SUCCESS;
    case REBOOT_REQUIRED:
        logDebugOutput("Download successfully completed. Please reboot the system to activate new firmware.\n");
        return OEM_REBOOT_REQUIRED;
    case SIGNATURE_MISSING: logDebugOutput("%s", kMissingSignature); return OEM_SIGNATURE_MISSING;
    case SIGNATURE_INVALID: logDebugOutput("%s", kInvalidSignature); return OEM_SIGNATURE_INVALID;
    case RESET_REQUIRED: {
        cluMillisecondSleep(1000);
        int rc = ResetAdapter3(static_cast<uint8_t>(index));
        clear_downloading(index);
        if (rc == 0) {
            logDebugOutput("Download and reset successfully completed\n");
            return OEM_SUCCESS;
        }
        logDebugOutput("Reset failed on adapter with status %d\n", rc);
        return OEM_RESET_FAILED;
    }
    default:
        logDebugOutput("Download failed on the adapter with status %d\n", static_cast<int>(status));
        return OEM_DOWNLOAD_FAILED;
    }
}

int fc_result(int index, DOWNLOAD_STATUS status)
{
    if (status != DOWNLOAD_OK) {
        logDebugOutput("Download failed on adapter with stat %08lX\n",
                       static_cast<unsigned long>(static_cast<uint32_t>(status)));
        return OEM_DOWNLOAD_FAILED;
    }
    cluMillisecondSleep(1000);
    int rc = ResetAdapter1(static_cast<uint8_t>(index));
    clear_downloading(index);
    if (rc == 0) {
        logDebugOutput("Download and reset successfully completed\n");
        return OEM_SUCCESS;
    }
    logDebugOutput("Reset failed on the adapter with status %08lX\n", static_cast<unsigned long>(static_cast<uint32_t>(rc)));
    return OEM_RESET_FAILED;
}

// An active version a four-part comparison can stand on. An adapter that
// could not report its version ("N/A", kept as 0.0.0.0) has none.
bool comparable_active_version(const _Hba *hba, const char *active)
{
    if (!(isCNA(hba) || isVarrowFCHBA(hba)))
        return true;
    return holdsVersionText(active) && std::strcmp(active, "0.0.0.0") != 0;
}

} // namespace

int FlashAdapter(const char *path, int force, const _Hba *hba, int index, int fileKind, bool useExpected,
                 int expected)
{
    logDebugOutput("FlashAdapter: FlashAdapter enter\n");
    CLUImage *image = ValidateFirmWareFile(path, fileKind);
    if (!image) {
        logDebugOutput("FlashAdapter: firmware file %s is either invalid or corrupt. \n", path ? path : "(null)");
        return OEM_INVALID_FIRMWARE_IMAGE;
    }
    int downloadType = 0;
    if (GetDownloadTypeByFileExension(image->filename, &downloadType) != 0) {
        logDebugOutput("FlashAdapter: firmware file %s is either invalid or corrupt. \n", path);
        std::free(image);
        return OEM_INVALID_FIRMWARE_IMAGE;
    }
    if (!IsCompatibleFirmwareFile(hba, image, downloadType)) {
        logDebugOutput("FlashAdapter: firmware file, %s is not compatible with the device specified by segment = "
                       "0x%x, pciBus = 0x%x, pciDevice = 0x%x, pciFunction = 0x%x\n",
                       image->filename, hba->pciSegment, hba->pciBus, hba->pciDevice, hba->pciFunction);
        std::free(image);
        return OEM_FIRMWARE_TYPE_MISMATCH;
    }
    const char *active = downloadType == DOWNLOAD_TYPE_FIRMWARE ? hba->rawFwVersion : hba->rawBootVersion;
    int comparison = CompareAdapterAndImageFileVersion(hba, image, active);
    std::free(image);
    if (downloadType == DOWNLOAD_TYPE_FIRMWARE && !comparable_active_version(hba, active)) {
        logDebugOutput("FlashAdapter: active version \"%s\" of the adapter is not comparable\n", active);
        comparison = 4;
    }

    bool download = force != 0 || (useExpected ? comparison == expected : comparison == 1);
    if (!download) {
        if (comparison == 0) {
            logDebugOutput("FlashAdapter: The firmware version on the adapter is matching with firmware image %s. "
                           "Skipping the firmware download.\n",
                           path);
            return OEM_SAME_VERSION;
        }
        logDebugOutput("FlashAdapter: active version on the adapter is newer than the image or the image is "
                       "unsupported. Skipping the firmware download.\n");
        return OEM_NOT_ATTEMPTED;
    }
    logDebugOutput("FlashAdapter: Executing firmware download on the device, specified by pciSegment = 0x%x, pciBus "
                   "= 0x%x, pciDevice = 0x%x, pciFunction = 0x%x\n",
                   hba->pciSegment, hba->pciBus, hba->pciDevice, hba->pciFunction);
    int rc = executeDownload(index, path);
    logDebugOutput("FlashAdapter: execute download returned with status = %d\n", rc);
    return rc;
}

int executeDownload(int index, const char *path)
{
    logDebugOutput("\n[executeDownload]\n");
    if (isTessik(index)) {
        logDebugOutput("Firmware download is not supported on this device\n");
        return OEM_HARDWARE_NOT_ACCESSIBLE;
    }
    if (!isHBATypeArcwright(index)) {
        if (No_Sli2 != 0) {
            if (gAdapters && AdapterExists4(static_cast<uint32_t>(index)))
                gAdapters[index].flags |= ADAPTER_FLAG_DOWNLOADING;
        } else {
            BringUpAdapter(static_cast<uint8_t>(index), 1);
        }
    }
    DOWNLOAD_STATUS status =
        UpdateEmbertipFirmwareWithFeedback(index, path, DisplayDownLoadStatusStr, DisplayDownLoadStatus);
    return MapDownloadResult(index, status);
}

int MapDownloadResult(int index, DOWNLOAD_STATUS status)
{
    if (isHBATypeArcwright(index) && !isVarrowCNA(index))
        return converged_result(status);
    if (isVarrow(index))
        return varrow_result(index, status);
    return fc_result(index, status);
}

void DisplayDownLoadStatusStr(const char *text)
{
    if (text)
        logDebugOutput("%s", text);
}

void DisplayDownLoadStatus(int percent)
{
    if (percent == 100)
        logDebugOutput("%d%% complete\n", percent);
    else
        logDebugOutput("%d%% complete ", percent);
}

int RetrieveAdapterPCIDump(int index, const char *file)
{
    if (!isHBATypeArcwright(index)) {
        logDebugOutput("[RetrieveAdapterPCIDump] Unsupported Adapter.\n");
        return OEM_UNMET_DEPENDENCY;
    }
    const _Adapter &a = gAdapters[index];
    if (!gCB_Arcwright || a.controllerIndex >= gAwCount) {
        logDebugOutput("[RetrieveAdapterPCIDump] Unsupported Adapter.\n");
        return OEM_UNMET_DEPENDENCY;
    }
    node_tag_t tag = gCB_Arcwright[a.controllerIndex].tag;
    logDebugOutput("[RetrieveAdapterPCIDump] Begin Adapter PCI Dump:\n");
    logDebugOutput(" ArcwrightTag %x Filename %s\n", static_cast<unsigned>(tag), file ? file : "(null)");
    // The action's parameter holds 255 characters: a longer path is refused,
    // never cut into the name of another file.
    if (!file || std::strlen(file) > kMaxActionPath) {
        logDebugOutput("[RetrieveAdapterPCIDump] the dump file path does not fit the dump request\n");
        return OEM_UNMET_DEPENDENCY;
    }
    int32_t rc = MAL_RetrievePCIDump(tag, file);
    logDebugOutput("[RetrieveAdapterPCIDump] MAL_RetrievePCIDump returned status= 0x%x\n", static_cast<unsigned>(rc));
    return rc == 0 ? OEM_SUCCESS : OEM_UNMET_DEPENDENCY;
}
