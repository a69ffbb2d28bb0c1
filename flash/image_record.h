// The version record of one firmware image file, or of a function's active
// firmware or boot code, with the text and numeric forms of versions and the
// two version orders.
#ifndef HLVD_FLASH_IMAGE_RECORD_H
#define HLVD_FLASH_IMAGE_RECORD_H

#include <cstddef>
#include <cstdint>

#include "flash/rm_status.h"

enum CLUImageType : int32_t {
    NO_IMAGE_TYPE = 0,
    FC_IMAGE = 1,
    AW2_IMAGE = 2,
    AW3_IMAGE = 3,
    AW4_IMAGE = 4,
    GRP_IMAGE = 32,
    GRP_G6_IMAGE = 64,
};

enum CLUImageExtType : int32_t {
    NOext = 0,
    ALLext = 1,
    DWCext = 2, // DWC, BWC and FWC containers: told apart by the FC engine only
    BWCext = 3,
    FWCext = 4,
    PRGext = 5,
    UFIext = 10,
    GRPext = 14,
};

// Sizes of the text fields of a record, terminator included.
const size_t CLU_LEGACY_TYPE_LEN = 8;
const size_t CLU_TEXT_LEN = 64;

struct CLUImage {
    uint8_t legacyEncodedRev[2]; // bit layout: see LegacyRevParts
    uint8_t legacyImageId;
    uint8_t legacyImageType;
    uint32_t CNAMajorVer;
    uint32_t CNAMinorVer;
    uint32_t CNAReleaseVer;
    uint32_t CNABuildVer;
    char legacyType[CLU_LEGACY_TYPE_LEN];
    CLUImageType imageType;
    CLUImageExtType extType;
    char filename[CLU_TEXT_LEN];
    char decodedVersion[CLU_TEXT_LEN];
    char sortedVersion[CLU_TEXT_LEN];
    uint8_t isAWR;
    uint32_t asicRevisionId;
    CLUImage *next;
    CLUImage *prev;
};

// The five parts of a legacy encoded revision. Byte 0: fixlevel (bits 7-6),
// dist_type (5-4: 0 N, 1 A, 2 B, 3 X), dist_cnt (3-0). Byte 1: version
// (7-4), revision (3-0).
struct LegacyRevParts {
    uint8_t version;
    uint8_t revision;
    uint8_t fixlevel;
    uint8_t dist_type;
    uint8_t dist_cnt;
};

// Stores the parts, each cut to its bit width.
void setLegacyEncodedRev(CLUImage *record, const LegacyRevParts &parts);
LegacyRevParts getLegacyEncodedRev(const CLUImage *record);

// Kind predicates over an image type.
int isQBImage(int32_t imageType);
int isGRPImage(int32_t imageType);
int isGRP_G6_Image(int32_t imageType);
int isAWImage(int32_t imageType);
int isFourTupleImage(int32_t imageType);

// Four-part order (image type first): 1 a greater, 0 equal, -1 a smaller,
// 4 when either record is missing.
int isGreaterCNAVersion(const CLUImage *a, const CLUImage *b);

// FC order over the first 13 characters of two sorted versions: 1 when a is
// greater, else 0; 4 when either is missing.
int isGreaterFCVersion(const char *a, const char *b);

// Parses a dotted four-part version. `size` is the working size, which the
// text must be shorter than.
RM_STATUS encodeCNAVersion(uint32_t *major, uint32_t *minor, uint32_t *release, uint32_t *build, size_t size,
                           const char *decodedVersion);

// The 13-character ordering form of an FC version; `dest` holds at least
// 15 bytes (the form never exceeds 14 characters).
RM_STATUS padQbFwVersionString(char *dest, const char *decodedVersion);

// Sets `sortedVersion`: 0 built (PRGext or ALLext), 1 set to "N/A", 4 no record.
int padVersionString(CLUImage *record);

// Debug-log dumps.
void printCLUImageType(int32_t imageType);
void printCLUImageExtType(int32_t extType);
void printLegacyEncodedRev(int version, int revision, int fixlevel, int dist_type, int dist_cnt);
void printCNAEncodedRev(int32_t imageType, uint32_t major, uint32_t minor, uint32_t release, uint32_t build);
void printCLUImage(const CLUImage *record);
void printCLUImageList(const CLUImage *head);

// Copies `src` into a field of `size` bytes, cut to fit, always terminated.
void copyBoundedText(char *dest, size_t size, const char *src);

#endif
