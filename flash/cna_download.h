// The converged download: checks that a UFI image fits a converged adapter's
// generation and ASIC revision, and hands it to the management client layer's
// firmware-upgrade action. The FC engine fills the request and calls
// DownloadCNAImage; nothing else in the front end does.
#ifndef HLVD_FLASH_CNA_DOWNLOAD_H
#define HLVD_FLASH_CNA_DOWNLOAD_H

#include <cstdint>

#include "flash/rm_status.h"

#pragma pack(push, 1)
// The download request of one converged image; the caller owns and fills it.
struct CNADownloadRequest {
    uint32_t ArcwrightTag; // management tag of the adapter whose action runs
    const char *Filename;  // path of the UFI image
    uint32_t deviceId;     // PCI ids of the function being flashed
    uint32_t vendorId;
    uint32_t subDeviceId;
    uint32_t subVendorId;
    uint32_t revisionId;   // ASIC revision of the adapter
};
#pragma pack(pop)

#if defined(__i386__)
static_assert(sizeof(CNADownloadRequest) == 28, "CNADownloadRequest is 28 bytes");
#endif

// 0 when the file is exactly as long as its header says; 4 null path; 200
// missing, unreadable or empty file; 196 longer; 197 shorter; or the status
// of the header read.
RM_STATUS VerifyUFIFileSize(const char *path);

// Checks of the image against the adapter, one per generation: 0 or a status.
RM_STATUS VerifyCNAFirmwareAW2(const CNADownloadRequest *request);
RM_STATUS VerifyCNAFirmwareAW3(const CNADownloadRequest *request);
RM_STATUS VerifyCNAFirmwareTrelmont(const CNADownloadRequest *request);

// The check of the adapter's generation, told from the request's device id.
RM_STATUS VerifyCNAImage(const CNADownloadRequest *request);

// The client layer's upgrade status turned into an RM_STATUS.
RM_STATUS TranslateUpgradeStatus(int32_t status);

// Checks the image when `verify` is set, then runs the adapter's upgrade
// action: 4 null request; the failing check's status; or the translated
// status of the action (247 for a flash that a reboot activates).
RM_STATUS DownloadCNAImage(const CNADownloadRequest *request, bool verify);

#endif
