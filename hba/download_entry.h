// The FC engine's download entry: picks the download path for one adapter
// function and one image file (converged hand-over, object flash, classic FC
// download), and the resets and environment steps around a download.
#ifndef HLVD_HBA_DOWNLOAD_ENTRY_H
#define HLVD_HBA_DOWNLOAD_ENTRY_H

#include <cstdint>

#include "flash/image_record.h"

// Results of the engine. Negative codes are a class in the upper 16 bits
// ORed with a sub-code; small positive codes come from the object-flash and
// converged paths; any other positive value is an adapter mailbox status.
enum DOWNLOAD_STATUS : int32_t {
    DOWNLOAD_OK = 0,
    OPEN_FILE_ERROR = static_cast<int32_t>(0xFFFA0000u),
    INVALID_IMAGE_ERROR = static_cast<int32_t>(0xFFF90000u),
    BAD_CHECKSUM_ERROR = static_cast<int32_t>(0xFFF80000u),
    INCOMPAT_IMAGE_ERROR = static_cast<int32_t>(0xFFF70000u),
    NO_FLASH_AVAILABLE_ERROR = static_cast<int32_t>(0xFFF60000u),
    WAKEUP_PARMS_ERROR = static_cast<int32_t>(0xFFFF0000u),
    WAKEUP_SLOT_ERROR = static_cast<int32_t>(0xFFF10000u),
    FLASH_VERSION_READ_ERROR = static_cast<int32_t>(0xFFEE0000u),
    LOAD_PROGRESS_ERROR = static_cast<int32_t>(0xFFEC0000u),
    NOT_AUTHENTICATED_ERROR = static_cast<int32_t>(0xFFEB0000u),
    SECURITY_CHECK_ERROR = static_cast<int32_t>(0xFFEA0000u),
    KEY_UPDATE_FAILED = 1,
    CNA_FILE_NOT_FOUND = 4,
    INVALID_FILE_TYPE = 6,
    OBJECT_DOWNLOAD_FAILED = 7,
    RESET_REQUIRED = 14,
    CNA_ADAPTER_BUSY = 31,
    WRONG_IMAGE_FOR_ADAPTER = 70,
    NOT_A_CNA_FUNCTION = 71,
    VEXO_NOT_AVAILABLE = 72,
    REBOOT_REQUIRED = 80,
    DOWNLOAD_TWICE_REQUIRED = 87,
    SIGNATURE_MISSING = 89,
    SIGNATURE_INVALID = 90,
    CNA_DOWNLOAD_FAILED = 141,
    SEC_AUTHENTICATION_ERROR = 3841,
    SEC_DIGITAL_SIGNATURE_CHECK_FAILED = 3851,
};

// Sub-codes of the classes.
const int32_t ERROR_READING_FILE = 1;
const int32_t SHORT_IMAGE = 2;
const int32_t LONG_IMAGE = 3;
const int32_t INVALID_IMAGE_BASE = 4;
const int32_t INCORRECT_ADPT = 1;
const int32_t INCORRECT_VERSION = 2;

inline DOWNLOAD_STATUS DownloadStatusOf(DOWNLOAD_STATUS cls, int32_t sub)
{
    return static_cast<DOWNLOAD_STATUS>(static_cast<int32_t>(cls) | sub);
}

// Progress callbacks of a download; either may be null.
typedef void (*DownLoadStatusStrCallback)(const char *text);
typedef void (*DownLoadStatusCallback)(int percent);
// One step text / one percentage to a download's callback, when it has one.
void ReportDownloadText(DownLoadStatusStrCallback cb, const char *text);
void ReportDownloadPercent(DownLoadStatusCallback cb, int percent);

// The last result of the object-flash and converged paths and of the
// warm-start reset.
extern int32_t WIN_Error;

// The engine's file kind of an image path: the last of these substrings found
// anywhere in the path wins (".all", ".dwc", ".bwc", ".fwc", ".ufi", ".grp",
// lower or upper case): ALLext, DWCext, BWCext, FWCext, UFIext, GRPext; 0
// when none is there.
int32_t GetDownloadFileKind(const char *path);

// The download entry: 0 when the image was written, else a download status.
DOWNLOAD_STATUS UpdateEmbertipFirmwareWithFeedback(int board, const char *path, DownLoadStatusStrCallback textCallback,
                                                   DownLoadStatusCallback percentCallback);

// The converged hand-over of one function and its resolved image path.
DOWNLOAD_STATUS DownloadCNAImage1(int board, const char *path);

// The converged hand-over's mapping of the front end's RM_STATUS result.
DOWNLOAD_STATUS MapCNADownloadStatus(int32_t rmStatus);

// The object-flash path's mapping of the object write's result.
DOWNLOAD_STATUS MapObjectDownloadStatus(int32_t rmStatus);

// Resets and environment steps. An 8-bit board passes the table index's low
// 8 bits to the diagnostics library.
void cluMillisecondSleep(int milliseconds);
int BringUpAdapter(uint8_t board, uint16_t mode);
int ResetAdapter(uint8_t board);
int ResetAdapter1(uint8_t board);
int ResetAdapter3(uint8_t board);
int WarmstartReset(uint8_t board);
int GetDriverType(int board, int *type);
int SetLocalLoopBackMode(int board, uint8_t *set);

#endif
