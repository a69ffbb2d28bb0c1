// Version rules and image matching: which image of the list fits a function,
// whether an image may be flashed onto it, and how the image's version
// compares with the active one.
//
// Comparison results, from the image's point of view: 1 newer, 0 the same,
// -1 older, -2 an FC function without an active version, 4 not comparable.
#ifndef HLVD_FLASH_VERSION_RULES_H
#define HLVD_FLASH_VERSION_RULES_H

#include <cstdint>

#include "flash/hba_record.h"
#include "flash/image_record.h"

// Items of a matching request.
const int MATCH_ITEM_FIRMWARE = 1;
const int MATCH_ITEM_BOOT = 2;

// First two letters of the boot image file names of the Oskara and Wyndel
// boot code.
extern const char OSKARA_BOOT_IMAGE_CODE[3];
extern const char WYNDEL_BOOT_IMAGE_CODE[3];

CLUImage *GetMatchingImageFile(const _Hba *hba, CLUImage *head, int item);
CLUImage *getFirstCNAMatch(int32_t imageType, CLUImage *head);
CLUImage *getFirstAWRMatch(const CLUImage *device, CLUImage *head);
CLUImage *getFirstAW4Match(const CLUImage *device, CLUImage *head);
// Compares the prefix's first two characters (its first only when
// `firstCharOnly` is set) with the start of each decodedVersion.
CLUImage *getFirstMatch(const char *prefix, CLUImage *head, char firstCharOnly);

// 1 compatible, 0 not. Download type 0 firmware, 1 boot code.
int IsCompatibleFirmwareFile(const _Hba *hba, const CLUImage *image, int downloadType);
int IsCompatibleBootCode(const CLUImage *image, const _Hba *hba);

// Gen-2 Halvard BMC floor: 1 when the version is 4.0.360.15 or later.
int isCompatibleAW2FirmwareImage(const CLUImage *image);
int isSupportedAW2FirmwareVersion(uint32_t major, uint32_t minor, uint32_t release, uint32_t build);

// 0 current smaller, 1 current greater, 2 equal.
int compareTuple(uint32_t current, uint32_t base);

// 1 when the text holds a version: its first part, after any leading dots,
// starts with a decimal digit. The four-part reading pads missing parts with
// 0 and ignores parts past the fourth, so "11.1.183" and "11.1.183.23.7"
// compare; an adapter reporting "Not Available", "N/A" or "" has no version
// to compare with.
int holdsVersionText(const char *text);

int CompareAdapterAndImageFileVersion(const _Hba *hba, const CLUImage *image, const char *activeVersion);
int updateNeededCNA(const CLUImage *device, const CLUImage *image);
int updateNeededFC(const char *imageVersion, const char *activeVersion);

// Version tests that the library itself does not call.
int isUpdateNeededCNA(const CLUImage *device, const CLUImage *image, int force);
int isUpdateNeededFC(const CLUImage *device, const CLUImage *image, int force);
int isVarrowMissingObjsFWVersion(uint32_t major, uint32_t minor, uint32_t release, uint32_t build);
int isVarrowInterimFWVersion(uint32_t major, uint32_t minor, uint32_t release, uint32_t build);
int requiresInterimVarrowDownload(uint32_t major, uint32_t minor, uint32_t release, uint32_t build);
int isSupportedQuilletFw(uint32_t major, uint32_t minor, uint32_t release, uint32_t build);

#endif
