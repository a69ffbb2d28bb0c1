#include "flash/cna_download.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "adapters/board_predicates.h"
#include "flash/engine_log.h"
#include "flash/ufi_image.h"
#include "mal/mal_maintenance.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace {

// Longest path an action parameter carries.
const size_t kMaxActionPath = 255;

// ASIC revision classes of a gen-3 adapter.
const uint32_t kAw3RevisionR = 16;

// One engine-log text, written only while image diagnostics are enabled.
void engine_log(const char *format, ...) __attribute__((format(printf, 1, 2)));
void engine_log(const char *format, ...)
{
    if ((Options.LOG_MODE & LOG_MODE_ENGINE) == 0)
        return;
    char text[4096];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    rm_fprintf(LogFp, "%s", text);
}

// The generation of an image file from its build text: 0 with `generation`
// and `build` set, the status of the read, or 194 when it does not decode.
RM_STATUS image_generation(const char *path, uint8_t *generation, char *build)
{
    RM_STATUS st = GetRawUFIBuildString(path, build);
    if (st != RM_STATUS_OK)
        return st;
    char version[UFI_BUILD_TEXT_SIZE];
    if (DecodeRawBuildString(build, generation, version, sizeof version) != RM_STATUS_OK)
        return RM_STATUS_ERROR_INCOMP_IMAGE;
    return RM_STATUS_OK;
}

// The management statuses of the upgrade action and what they become.
struct UpgradeStatusMap {
    int32_t status;
    RM_STATUS result;
};

const UpgradeStatusMap kUpgradeStatusMap[] = {
    {VEXO_STATUS_SUCCESS, RM_STATUS_OK},
    {VEXO_STATUS_FILE_NOT_FOUND, RM_STATUS_ERROR_NOT_FOUND},
    {VEXO_STATUS_INVALID_FILE_FORMAT, RM_STATUS_ERROR_INVALID_FILE_FORMAT},
    {VEXO_STATUS_REBOOT_REQUIRED, RM_STATUS_REBOOT_REQUIRED},
    {VEXO_STATUS_INVALID_FLASH, RM_STATUS_ERROR_INCOMP_IMAGE},
    {VEXO_STATUS_FLASH_IN_OPERATION, RM_STATUS_ERROR_ADAPTER_BUSY},
    {VEXO_STATUS_FLASH_ON_VM, RM_STATUS_ERROR_NOT_SUPPORTED},
    {VEXO_STATUS_INT_REBOOT_REQ, RM_STATUS_INTERMEDIATE_REBOOT_REQUIRED},
    {VEXO_STATUS_INVALID_DIGITAL_SIGNATURE, RM_STATUS_ERROR_INVALID_SIGNATURE},
    {VEXO_STATUS_DIGITAL_SIGNATURE_MISSING, RM_STATUS_ERROR_SIGNATURE_MISSING},
};

} // namespace

RM_STATUS VerifyUFIFileSize(const char *path)
{
    if (!path)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    uint32_t length = GetFileLength(path);
    if (length == 0)
        return RM_STATUS_ERROR_NOT_FOUND;
    AW2_FILE_HEADER_T header;
    RM_STATUS st = ReadUFIHeaderAW2(path, &header);
    if (st != RM_STATUS_OK)
        return st;
    if (header.FH_FileLen > length) {
        engine_log("[VerifyUFIFileSize] fileLength < ufi_header.fileLength. Return RM_STATUS_ERROR_SHORT_FWIMAGE\n");
        engine_log("[VerifyUFIFileSize] fileLength: 0x%x ,ufi_header.fileLength: 0x%x\n", length, header.FH_FileLen);
        return RM_STATUS_ERROR_SHORT_FWIMAGE;
    }
    if (header.FH_FileLen < length) {
        engine_log("[VerifyUFIFileSize] fileLength > ufi_header.fileLength. Return RM_STATUS_ERROR_LONG_FWIMAGE\n");
        engine_log("[VerifyUFIFileSize] fileLength: 0x%x ,ufi_header.fileLength: 0x%x\n", length, header.FH_FileLen);
        return RM_STATUS_ERROR_LONG_FWIMAGE;
    }
    return RM_STATUS_OK;
}

RM_STATUS VerifyCNAFirmwareAW2(const CNADownloadRequest *request)
{
    engine_log("[VerifyCNAFirmwareAW2] AW2 device detected.  Verifying AW2 firmware.\n");
    if (!request)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    AW2_FILE_HEADER_T header;
    RM_STATUS st = ReadUFIHeaderAW2(request->Filename, &header);
    if (st != RM_STATUS_OK)
        return st;
    char build[UFI_BUILD_TEXT_SIZE];
    std::memcpy(build, header.FH_Build, sizeof build - 1);
    build[sizeof build - 1] = '\0';
    uint8_t generation = 0;
    char version[UFI_BUILD_TEXT_SIZE];
    if (DecodeRawBuildString(build, &generation, version, sizeof version) != RM_STATUS_OK)
        return RM_STATUS_ERROR_INCOMP_IMAGE;
    if (generation != 2) {
        engine_log("[VerifyCNAFirmwareAW2] ufi_header.buildVersionString[0] = %s. Return "
                   "RM_STATUS_ERROR_INCOMP_IMAGE\n",
                   build);
        return RM_STATUS_ERROR_INCOMP_IMAGE;
    }
    st = VerifyUFIFileSize(request->Filename);
    if (st != RM_STATUS_OK)
        return st;
    if (request->vendorId != header.FH_ContrlId.Vendor) {
        engine_log("[VerifyCNAFirmwareAW2] NO MATCH UFI vendorID %x\n", header.FH_ContrlId.Vendor);
        return RM_STATUS_ERROR_INCOMP_IMAGE;
    }
    if (request->deviceId == header.FH_ContrlId.Device) {
        engine_log("[VerifyCNAFirmwareAW2] MATCH UFI deviceID %x\n", header.FH_ContrlId.Device);
        return RM_STATUS_OK;
    }
    AW2_FLASHDIR_TYPE dir;
    st = ReadUFIFlashDir(request->Filename, &dir, 0);
    if (st != RM_STATUS_OK)
        return st;
    if (isUFIFlashDirAW2(&dir)) {
        engine_log("[VerifyCNAFirmwareAW2] Firmware verified. Returning RM_STATUS_OK\n");
        return RM_STATUS_OK;
    }
    engine_log("[VerifyCNAFirmwareAW2] Firmware verification failed. Returning RM_STATUS_ERROR_INCOMP_IMAGE\n");
    return RM_STATUS_ERROR_INCOMP_IMAGE;
}

RM_STATUS VerifyCNAFirmwareAW3(const CNADownloadRequest *request)
{
    if (!request)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    uint32_t revision = request->revisionId;
    if (revision < kAw3RevisionR)
        engine_log("[VerifyCNAFirmwareAW3] This is a AW3 adapter. revisionID=%d\n", revision);
    else if (revision == kAw3RevisionR)
        engine_log("[VerifyCNAFirmwareAW3] This is a AW3-R adapter. revisionID=%d\n", revision);
    else
        engine_log("[VerifyCNAFirmwareAW3] This is a AW3-R P2 adapter. revisionID=%d\n", revision);

    uint8_t generation = 0;
    char build[UFI_BUILD_TEXT_SIZE];
    RM_STATUS st = image_generation(request->Filename, &generation, build);
    if (st != RM_STATUS_OK)
        return st;
    if (generation != 3) {
        engine_log("[VerifyCNAFirmwareAW3] ufi_header_aw3.buidVersionString[0] = %s. Return "
                   "RM_STATUS_ERROR_INCOMP_IMAGE\n",
                   build);
        return RM_STATUS_ERROR_INCOMP_IMAGE;
    }
    st = VerifyUFIFileSize(request->Filename);
    if (st != RM_STATUS_OK)
        return st;
    if (revision < kAw3RevisionR) {
        engine_log("[VerifyCNAFirmwareAW3] Firmware verified. Returning RM_STATUS_OK\n");
        return RM_STATUS_OK;
    }
    FILE_HEADER_T header;
    st = ReadUFIHeaderAW3(request->Filename, &header);
    if (st != RM_STATUS_OK)
        return st;
    uint32_t support = header.ASIC_Support;
    // An AW3-R adapter takes R and R P2 images; an R P2 adapter only R P2.
    bool accepted = revision == kAw3RevisionR ? (support == kAw3RevisionR || support == kAw3RevisionR + 1)
                                              : support == kAw3RevisionR + 1;
    if (accepted) {
        engine_log("[VerifyCNAFirmwareAW3] Firmware verified. AsicTypeRevision %X == revisionID %X. Returning "
                   "RM_STATUS_OK\n",
                   support, revision);
        return RM_STATUS_OK;
    }
    engine_log("[VerifyCNAFirmwareAW3] Firmware verification failed. AsicTypeRevision %X != revisionID %X. "
               "Returning RM_STATUS_ERROR_INCOMP_IMAGE\n",
               support, revision);
    return RM_STATUS_ERROR_INCOMP_IMAGE;
}

RM_STATUS VerifyCNAFirmwareTrelmont(const CNADownloadRequest *request)
{
    if (!request)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    uint8_t generation = 0;
    char build[UFI_BUILD_TEXT_SIZE];
    RM_STATUS st = image_generation(request->Filename, &generation, build);
    if (st != RM_STATUS_OK)
        return st;
    if (generation != 4) {
        engine_log("[VerifyCNAFirmwareTrelmont] ufi_header.buidVersionString = %s. Return "
                   "RM_STATUS_ERROR_INCOMP_IMAGE\n",
                   build);
        return RM_STATUS_ERROR_INCOMP_IMAGE;
    }
    st = VerifyUFIFileSize(request->Filename);
    if (st != RM_STATUS_OK)
        return st;
    FILE_HEADER_T header;
    st = ReadUFIHeaderAW3(request->Filename, &header);
    if (st != RM_STATUS_OK)
        return st;
    uint32_t support = header.ASIC_Support;
    if (support < request->revisionId) {
        engine_log("[VerifyCNAFirmwareTrelmont] Firmware verification failed. ASIC_Support %X < revisionID %X. "
                   "Returning RM_STATUS_ERROR_INCOMP_IMAGE\n",
                   support, request->revisionId);
        return RM_STATUS_ERROR_INCOMP_IMAGE;
    }
    engine_log("[VerifyCNAFirmwareTrelmont] Firmware verified. ASIC_Support %X >= revisionID %X. Returning "
               "RM_STATUS_OK\n",
               support, request->revisionId);
    return RM_STATUS_OK;
}

RM_STATUS VerifyCNAImage(const CNADownloadRequest *request)
{
    if (!request)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    int32_t device = static_cast<int32_t>(request->deviceId);
    if (isTrelmontBoard(device)) {
        engine_log("[VerifyCNAImage] Trelmont device detected.  Calling VerifyCNAFirmwareTrelmont().\n");
        return VerifyCNAFirmwareTrelmont(request);
    }
    if (isGorselBoard(device)) {
        engine_log("[VerifyCNAImage] AW3 device detected.  Calling VerifyCNAFirmwareAW3().\n");
        return VerifyCNAFirmwareAW3(request);
    }
    engine_log("[VerifyCNAImage] AW2 device detected.  Calling VerifyCNAFirmwareAW2().\n");
    return VerifyCNAFirmwareAW2(request);
}

RM_STATUS TranslateUpgradeStatus(int32_t status)
{
    for (const UpgradeStatusMap &m : kUpgradeStatusMap)
        if (m.status == status)
            return m.result;
    return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
}

RM_STATUS DownloadCNAImage(const CNADownloadRequest *request, bool verify)
{
    if (!request)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (verify) {
        RM_STATUS st = VerifyCNAImage(request);
        if (st != RM_STATUS_OK)
            return st;
    }
    // The action's parameter holds 255 characters: a longer path is refused
    // here rather than cut to name another file.
    if (!request->Filename || std::strlen(request->Filename) > kMaxActionPath)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    engine_log("[DownloadCNAImage] Begin firmware download:\n");
    engine_log("     ArcwrightTag %x Filename %s\n", request->ArcwrightTag, request->Filename);
    int32_t status = MAL_UpgradeFlash(request->ArcwrightTag, request->Filename);
    engine_log("[DownloadCNAImage] MAL_UpgradeFlash returned status= 0x%x\n", static_cast<unsigned>(status));
    return TranslateUpgradeStatus(status);
}
