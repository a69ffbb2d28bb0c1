#include "hba/download_entry.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "adapters/adapter_table.h"
#include "adapters/converged_discovery.h"
#include "flash/cna_download.h"
#include "flash/engine_log.h"
#include "flash/image_record.h"
#include "flash/neighbour_services.h"
#include "hba/download_security.h"
#include "kpl.h"
#include "os/host_env.h"

int32_t WIN_Error = 0;

namespace {

// Room of the resolved path, terminator included.
const size_t kResolvedPathSize = 256;

// First word of an AIF image.
const uint32_t NOP_IMAGE_TYPE = 0xE1A00000u;

// Family whose security data is zeroized after a good download.
const uint32_t kZeroizeFamily = 0xF180;

const int kSecurityRetries = 3;
const int kDriverTypeFixed = 4;
const int kLinkInfoSize = 168;
const int kLinkStateOffset = 21;
const uint8_t LNK_DOWN = 1;
const uint8_t LNK_DOWN_PERSIST = 7;

// Substrings of the file kinds, in the order they are tested; a later one
// found in the path overrides an earlier one.
struct FileKindRule {
    const char *lower;
    const char *upper;
    int32_t kind;
};

const FileKindRule kFileKindRules[] = {
    {".all", ".ALL", ALLext}, {".dwc", ".DWC", DWCext}, {".bwc", ".BWC", BWCext},
    {".fwc", ".FWC", FWCext}, {".ufi", ".UFI", UFIext}, {".grp", ".GRP", GRPext},
};

// Results of the front end's converged download and what they become.
struct StatusMap {
    int32_t from;
    DOWNLOAD_STATUS to;
};

const StatusMap kCNAStatusMap[] = {
    {RM_STATUS_OK, DOWNLOAD_OK},
    {RM_STATUS_ERROR_NOT_SUPPORTED, NOT_A_CNA_FUNCTION},
    {RM_STATUS_ERROR_ADAPTER_BUSY, CNA_ADAPTER_BUSY},
    {RM_STATUS_ERROR_INVALID_FILE_FORMAT, CNA_ADAPTER_BUSY},
    {RM_STATUS_INTERMEDIATE_REBOOT_REQUIRED, DOWNLOAD_TWICE_REQUIRED},
    {RM_STATUS_ERROR_INCOMP_IMAGE, WRONG_IMAGE_FOR_ADAPTER},
    {RM_STATUS_ERROR_NOT_FOUND, CNA_FILE_NOT_FOUND},
    {RM_STATUS_ERROR_INVALID_SIGNATURE, SIGNATURE_INVALID},
    {RM_STATUS_ERROR_SIGNATURE_MISSING, SIGNATURE_MISSING},
    {RM_STATUS_REBOOT_REQUIRED, REBOOT_REQUIRED},
};

// Results of the object write and what they become.
const StatusMap kObjectStatusMap[] = {
    {RM_STATUS_OK, DOWNLOAD_OK},
    {RM_STATUS_ERROR_SIGNATURE_MISSING, SIGNATURE_MISSING},
    {RM_STATUS_ERROR_INVALID_SIGNATURE, SIGNATURE_INVALID},
    {static_cast<int32_t>(0xFFE80000u), REBOOT_REQUIRED},
    {static_cast<int32_t>(0xFFE90000u), RESET_REQUIRED},
};

template <size_t N> DOWNLOAD_STATUS map_status(const StatusMap (&table)[N], int32_t from, DOWNLOAD_STATUS other)
{
    for (const StatusMap &m : table)
        if (m.from == from)
            return m.to;
    return other;
}

DOWNLOAD_STATUS fail(DOWNLOAD_STATUS status)
{
    WIN_Error = status;
    return status;
}

// The absolute form of `path` when it can be had, else the path as given; a
// path that does not fit the engine's 256-character buffer is refused.
bool resolve_path(const char *path, char (&out)[kResolvedPathSize])
{
    const char *use = path;
    char *resolved = realpath(path, nullptr);
    if (resolved)
        use = resolved;
    size_t len = std::strlen(use);
    bool fits = len < sizeof out;
    if (fits)
        std::memcpy(out, use, len + 1);
    std::free(resolved);
    return fits;
}

// A run of bytes of the file, each group of four reversed (the file's words
// are big-endian): false on a short read.
bool read_words(FILE *f, uint32_t *words, size_t count)
{
    uint8_t raw[12];
    size_t bytes = count * 4;
    if (bytes > sizeof raw || std::fread(raw, 1, bytes, f) != bytes)
        return false;
    for (size_t w = 0; w < count; ++w)
        words[w] = static_cast<uint32_t>(raw[4 * w]) << 24 | static_cast<uint32_t>(raw[4 * w + 1]) << 16 |
                   static_cast<uint32_t>(raw[4 * w + 2]) << 8 | raw[4 * w + 3];
    return true;
}

// The object-flash path of a Varrow function.
DOWNLOAD_STATUS object_flash(int board, const char *resolved)
{
    int32_t r = isVarrowG6(board) ? FFS_VerifyFirmwareG6(resolved) : FFS_VerifyFirmwareV2(resolved);
    if (r != 0) {
        WIN_Error = WRONG_IMAGE_FOR_ADAPTER;
        std::snprintf(szTempBuffer, sizeof szTempBuffer, "FFS_VerifyFirmware rmStatus %X cluStatus %d\n",
                      static_cast<unsigned>(r), static_cast<int>(WRONG_IMAGE_FOR_ADAPTER));
        PrintTwo();
        return WRONG_IMAGE_FOR_ADAPTER;
    }
    r = FFS_DownloadFirmware(board, resolved);
    DOWNLOAD_STATUS mapped = MapObjectDownloadStatus(r);
    WIN_Error = mapped;
    if (mapped != DOWNLOAD_OK)
        QBprintf("FFS_DownloadFirmware rmStatus %X cluStatus %d\n", static_cast<unsigned>(r),
                 static_cast<int>(mapped));
    return mapped;
}

// The classic FC path: a relative download of a PRG image, or an absolute
// download of an AIF image set. Opens the path as given.
DOWNLOAD_STATUS classic_download(int board, const char *path, int32_t kind, DownLoadStatusStrCallback textCallback,
                                 DownLoadStatusCallback percentCallback)
{
    ReportDownloadText(textCallback, "Opening File");
    FILE *f = std::fopen(path, "rb");
    if (!f) {
        QBprintf("Open File Error\n");
        return OPEN_FILE_ERROR;
    }
    const DOWNLOAD_STATUS read_error = DownloadStatusOf(INVALID_IMAGE_ERROR, ERROR_READING_FILE);
    int checksumKind = GetFileChecksumType(path);
    uint32_t first = 0;
    if (!read_words(f, &first, 1)) {
        std::fclose(f);
        QBprintf("Invalid Image - Error Reading File\n");
        return read_error;
    }
    std::rewind(f);
    uint8_t wakeup[WAKEUP_PARMS_SIZE];
    std::memset(wakeup, 0, sizeof wakeup);
    if (ReadWakeupParms(board, wakeup) != 0) {
        std::fclose(f);
        return WAKEUP_PARMS_ERROR;
    }
    bool family2M = IsIt2MFamily(board) != 0;
    if (family2M) {
        int type = 0;
        if (GetDriverType(board, &type) != 0 || type != 0) {
            uint8_t set = 0;
            SetLocalLoopBackMode(board, &set);
        }
    }
    uint8_t signedImage = 0;
    int32_t r;
    if (first != NOP_IMAGE_TYPE) {
        r = StartRelativeDownloadWithFeedback(board, 2, 1, f, wakeup, 0, &signedImage, textCallback,
                                              percentCallback);
        for (int retries = 0; r == SEC_DIGITAL_SIGNATURE_CHECK_FAILED && retries < kSecurityRetries; ++retries) {
            std::rewind(f);
            uint32_t header[3];
            if (!read_words(f, header, 3)) {
                std::fclose(f);
                SetBrdEnv_Common(board, 1);
                return read_error;
            }
            std::rewind(f);
            DeleteImageType(board, static_cast<uint8_t>(header[1] >> 24));
            r = StartRelativeDownloadWithFeedback(board, 2, 1, f, wakeup, 0, &signedImage, textCallback,
                                                  percentCallback);
        }
    } else if (family2M) {
        r = StartAbsDownload2MbWithFeedback(board, kind, f, checksumKind, &signedImage, textCallback,
                                            percentCallback);
        if (r == SEC_AUTHENTICATION_ERROR) {
            std::snprintf(szTempBuffer, sizeof szTempBuffer, "%s", "SEC_AUTHENTICATION_ERROR!!!");
            PrintTwo();
        }
        for (int retries = 0; r == SEC_DIGITAL_SIGNATURE_CHECK_FAILED && retries < kSecurityRetries; ++retries) {
            std::snprintf(szTempBuffer, sizeof szTempBuffer, "%s", "SEC_DIGITAL_SIGNATURE_CHECK_FAILED!!!");
            PrintTwo();
            std::rewind(f);
            r = StartAbsDownload2MbWithFeedback(board, kind, f, checksumKind, &signedImage, textCallback,
                                                percentCallback);
        }
    } else {
        r = StartAbsDownload2MbWithFeedback(board, kind, f, checksumKind, &signedImage, textCallback,
                                            percentCallback);
    }
    std::fclose(f);

    if (r == 241) {
        QBprintf("No Flash Available Error\n");
        return NO_FLASH_AVAILABLE_ERROR;
    }
    if (r == SEC_DIGITAL_SIGNATURE_CHECK_FAILED || r == SEC_AUTHENTICATION_ERROR)
        return SECURITY_CHECK_ERROR;
    if (r == 93)
        return KEY_UPDATE_FAILED;
    if (r == 0 && AdapterFamily(static_cast<uint8_t>(board)) == kZeroizeFamily) {
        QBprintf("Zeroize security data. It'll take a few minutes...\n");
        return static_cast<DOWNLOAD_STATUS>(ZeroizeSecurityData(board));
    }
    return static_cast<DOWNLOAD_STATUS>(r);
}

} // namespace

void ReportDownloadText(DownLoadStatusStrCallback cb, const char *text)
{
    if (cb)
        cb(text);
}

void ReportDownloadPercent(DownLoadStatusCallback cb, int percent)
{
    if (cb)
        cb(percent);
}

int32_t GetDownloadFileKind(const char *path)
{
    int32_t kind = 0;
    if (!path)
        return kind;
    for (const FileKindRule &rule : kFileKindRules)
        if (std::strstr(path, rule.lower) || std::strstr(path, rule.upper))
            kind = rule.kind;
    return kind;
}

DOWNLOAD_STATUS MapCNADownloadStatus(int32_t rmStatus)
{
    return map_status(kCNAStatusMap, rmStatus, CNA_DOWNLOAD_FAILED);
}

DOWNLOAD_STATUS MapObjectDownloadStatus(int32_t rmStatus)
{
    return map_status(kObjectStatusMap, rmStatus, OBJECT_DOWNLOAD_FAILED);
}

DOWNLOAD_STATUS UpdateEmbertipFirmwareWithFeedback(int board, const char *path, DownLoadStatusStrCallback textCallback,
                                                   DownLoadStatusCallback percentCallback)
{
    if (!path)
        return OPEN_FILE_ERROR;
    int32_t kind = GetDownloadFileKind(path);
    char resolved[kResolvedPathSize];
    bool resolvedFits = resolve_path(path, resolved);

    bool converged = isHBATypeArcwright(board) != 0;
    bool varrowCNA = isVarrowCNA(board) != 0;
    if (kind == UFIext) {
        if (!converged || varrowCNA)
            return fail(WRONG_IMAGE_FOR_ADAPTER);
        if (!resolvedFits)
            return fail(OPEN_FILE_ERROR);
        return DownloadCNAImage1(board, resolved);
    }
    bool varrow = isVarrow(board) != 0;
    if (converged && !varrow)
        return fail(WRONG_IMAGE_FOR_ADAPTER);
    if (kind == GRPext) {
        if (!varrow)
            return fail(WRONG_IMAGE_FOR_ADAPTER);
        if (!resolvedFits)
            return fail(OPEN_FILE_ERROR);
        if (!isVarrowFC(board) && varrowCNA && gVEXO != 0)
            return DownloadCNAImage1(board, resolved);
        return object_flash(board, resolved);
    }
    if (varrow)
        return fail(WRONG_IMAGE_FOR_ADAPTER);
    return classic_download(board, path, kind, textCallback, percentCallback);
}

DOWNLOAD_STATUS DownloadCNAImage1(int board, const char *path)
{
    if (gVEXO == 0) {
        QBprintf("VEXO not available\n");
        return fail(VEXO_NOT_AVAILABLE);
    }
    bool verify = isHBATypeArcwright(board) && !isVarrowCNA(board);
    bool fcoe = isHBATypeArcwrightFCoE(board) != 0;
    if (!fcoe && !isHBATypeArcwrightiSCSI(board) && !isHBATypeArcwrightNIC(board))
        return fail(NOT_A_CNA_FUNCTION);
    const _Adapter &a = gAdapters[board];
    // The controller the function was linked to; without one there is no
    // adapter to run the upgrade on.
    if (!gCB_Arcwright || a.controllerIndex >= gAwCount)
        return fail(NOT_A_CNA_FUNCTION);

    CNADownloadRequest request;
    std::memset(&request, 0, sizeof request);
    request.ArcwrightTag = static_cast<uint32_t>(gCB_Arcwright[a.controllerIndex].tag);
    request.Filename = path;
    if (fcoe) {
        request.deviceId = a.deviceId;
        request.vendorId = a.vendorId;
        request.subDeviceId = a.subDeviceId;
        request.subVendorId = a.subVendorId;
        uint8_t config[256];
        std::memset(config, 0, sizeof config);
        request.revisionId = KPL_ReadPciCfg(board, config, 0, sizeof config) == 0 ? config[8] : 0;
    } else {
        request.deviceId = a.cnaDeviceId;
        request.vendorId = a.cnaVendorId;
        request.subDeviceId = a.cnaSubDeviceId;
        request.subVendorId = a.cnaSubVendorId;
        request.revisionId = a.revisionId;
    }
    RM_STATUS rm = DownloadCNAImage(&request, verify);
    DOWNLOAD_STATUS mapped = MapCNADownloadStatus(rm);
    WIN_Error = mapped;
    QBprintf("DownloadCNAImage rmStatus %d cluStatus %d\n", static_cast<int>(rm), static_cast<int>(mapped));
    return mapped;
}

void cluMillisecondSleep(int milliseconds)
{
    if (milliseconds > 0)
        host_sleep_ms(static_cast<unsigned int>(milliseconds));
}

int BringUpAdapter(uint8_t board, uint16_t mode)
{
    (void)board;
    (void)mode;
    return 0;
}

int ResetAdapter(uint8_t board)
{
    return KPL_ResetAdapter(board, 1);
}

int ResetAdapter1(uint8_t board)
{
    return KPL_ResetAdapter(board, 1);
}

int ResetAdapter3(uint8_t board)
{
    return KPL_ResetAdapter(board, 3);
}

int WarmstartReset(uint8_t board)
{
    int s = KPL_SetDumpEnv(board, 2);
    if (s == 2) {
        cluMillisecondSleep(5000);
        s = KPL_SetDumpEnv(board, 3);
    }
    WIN_Error = s == 3 ? 0 : 200;
    return WIN_Error;
}

int GetDriverType(int board, int *type)
{
    (void)board;
    if (type)
        *type = kDriverTypeFixed;
    QBprintf("GetDriverType: DriverType=%08lX\n", static_cast<unsigned long>(kDriverTypeFixed));
    return 0;
}

int SetLocalLoopBackMode(int board, uint8_t *set)
{
    uint8_t info[kLinkInfoSize];
    std::memset(info, 0, sizeof info);
    if (GetLinkInfo(board, info) != 0) {
        QBprintf("Unable to get the Link State\n");
        return 200;
    }
    uint8_t state = info[kLinkStateOffset];
    if (state == LNK_DOWN) {
        QBprintf("The Link State is LNK_DOWN.\n");
    } else if (state == LNK_DOWN_PERSIST) {
        QBprintf("The Link State is LNK_DOWN_PERSIST.\n");
    } else {
        QBprintf("Link State is not in the state LNK_DOWN or LNK_DOWN_PERSIST\n");
        return 0;
    }
    QBprintf("Attempting to set board to local loopback mode\n");
    if (KPL_ConfigLoopback(board, 1, 15) != 0) {
        QBprintf("Setting board to local loopback mode failed\n");
        return 200;
    }
    QBprintf("Setting board to local loopback mode succeeded\n");
    if (set)
        *set = 1;
    cluMillisecondSleep(500);
    return 0;
}
