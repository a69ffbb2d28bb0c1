// The UFI firmware image file of the converged adapters and its readers.
//
// Every integer of the file is little-endian. A file starts with a 96-byte
// header (gen-2) or a 128-byte header (gen-3 and gen-4); both keep the file
// length at offset 56 and the build string at offset 72, so the 96-byte read
// serves every generation. Gen-3/gen-4 headers are followed by FH_NumOfImgs
// 48-byte image headers. The flash directory starts with a 32-byte cookie at
// a multiple of 32 from the search start; component data fill the rest.
#ifndef HLVD_FLASH_UFI_IMAGE_H
#define HLVD_FLASH_UFI_IMAGE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "flash/rm_status.h"

#pragma pack(push, 1)

struct AW2_CONTROLLER_ID_T {
    uint32_t Vendor;
    uint32_t Device;
    uint32_t SubVendor;
    uint32_t SubDevice;
};

struct AW2_FILE_HEADER_T {
    uint8_t FH_Signature[32];
    uint32_t FH_Checksum;
    uint32_t FH_Antidote;
    AW2_CONTROLLER_ID_T FH_ContrlId;
    uint32_t FH_FileLen;
    uint32_t FH_ChunkNum;
    uint32_t FH_TotalChunks;
    uint32_t FH_NumOfImgs;
    char FH_Build[24]; // terminated within the field in a sound file; not trusted to be
};

struct FILE_HEADER_T {
    uint8_t FH_Signature[52];
    char FH_UFI_Version[4];
    uint32_t FH_FileLen;
    uint32_t FH_Checksum;
    uint32_t FH_Antidote;
    uint32_t FH_NumOfImgs;
    char FH_Build[24];
    uint8_t ASIC_Support; // 0 base; 0x10 R; 0x11 R P2; on gen-4 anything above 15 is R
    uint8_t rsvd0[31];
};

struct IMAGE_HEADER_T {
    uint32_t ImageId; // the image with id 1 is the one flashed
    uint32_t ImageOffset;
    uint32_t ImageLength;
    uint32_t ImageChecksum;
    uint8_t ImageVersion[32];
};

struct AW2_FLASHDIR_HEADER_TYPE {
    uint32_t flashdir_format_rev;
    uint32_t flashwide_checksum;
    uint32_t flashwide_antidote;
    uint32_t build_number;
    AW2_CONTROLLER_ID_T UFIIdentifierString[8];
    uint32_t active_entry_mask;
    uint32_t valid_entry_mask;
    uint32_t original_content_mask;
    uint32_t rsvd0;
    uint32_t rsvd1;
    uint32_t rsvd2;
    uint32_t rsvd3;
    uint32_t rsvd4;
};

struct AW2_FLASHDIR_ENTRY_TYPE {
    uint32_t entry_type;
    uint32_t offset;
    uint32_t pad_size;
    uint32_t image_size;
    uint32_t entry_checksum;
    uint32_t entry_point;
    uint32_t future_use1;
    uint32_t future_use2;
    uint8_t version_data[32];
};

struct AW2_FLASHDIR_TYPE {
    uint8_t flashdir_cookie[32];
    AW2_FLASHDIR_HEADER_TYPE flashdir_header;
    AW2_FLASHDIR_ENTRY_TYPE flashdir_entry[32];
};

struct FLASHDIR_HEADER_TYPE {
    uint32_t flashdir_format_rev;
    uint32_t flashwide_checksum;
    uint32_t flashwide_antidote;
    uint32_t num_of_images;
    AW2_CONTROLLER_ID_T UFIIdentifierString[8];
    int8_t security_revision;
    uint8_t rsvd0;
    uint16_t rsvd1;
    uint32_t rsvd2;
    uint32_t rsvd3;
    uint32_t rsvd4;
};

// 64 bytes an entry (32 entries fill 2048 bytes), so the version text after
// the ten words holds 24 bytes.
struct FLASHDIR_ENTRY_TYPE {
    uint32_t entry_type;
    uint32_t offset; // from the end of the image-header table
    uint32_t max_size;
    uint32_t image_size;
    uint32_t entry_checksum;
    uint32_t entry_point;
    uint32_t op_type; // low 16 bits: the flash region; 0xFFFF: told by entry_type
    uint32_t future_use1;
    uint32_t not_signed;
    uint32_t future_use2;
    uint8_t version_data[24];
};

struct FLASHDIR_TYPE {
    uint8_t flashdir_cookie[32];
    FLASHDIR_HEADER_TYPE flashdir_header;
    FLASHDIR_ENTRY_TYPE flashdir_entry[32];
};

#pragma pack(pop)

static_assert(sizeof(AW2_CONTROLLER_ID_T) == 16, "controller id layout");
static_assert(sizeof(AW2_FILE_HEADER_T) == 96, "gen-2 file header layout");
static_assert(sizeof(FILE_HEADER_T) == 128, "gen-3/gen-4 file header layout");
static_assert(sizeof(IMAGE_HEADER_T) == 48, "image header layout");
static_assert(sizeof(AW2_FLASHDIR_HEADER_TYPE) == 176, "gen-2 directory header layout");
static_assert(sizeof(AW2_FLASHDIR_ENTRY_TYPE) == 64, "gen-2 directory entry layout");
static_assert(sizeof(AW2_FLASHDIR_TYPE) == 2256, "gen-2 directory layout");
static_assert(sizeof(FLASHDIR_HEADER_TYPE) == 160, "gen-3/gen-4 directory header layout");
static_assert(sizeof(FLASHDIR_ENTRY_TYPE) == 64, "gen-3/gen-4 directory entry layout");
static_assert(sizeof(FLASHDIR_TYPE) == 2240, "gen-3/gen-4 directory layout");
static_assert(offsetof(AW2_FILE_HEADER_T, FH_FileLen) == 56 && offsetof(FILE_HEADER_T, FH_FileLen) == 56,
              "file length at the same place in both header forms");
static_assert(offsetof(AW2_FILE_HEADER_T, FH_Build) == 72 && offsetof(FILE_HEADER_T, FH_Build) == 72,
              "build string at the same place in both header forms");
static_assert(offsetof(FILE_HEADER_T, ASIC_Support) == 96, "ASIC support byte");

const uint32_t UFI_AW2_HEADER_SIZE = 96;
const uint32_t UFI_HEADER_SIZE = 128;
const uint32_t UFI_IMAGE_HEADER_SIZE = 48;
const uint32_t UFI_AW2_FLASHDIR_SIZE = 2256;
const uint32_t UFI_FLASHDIR_SIZE = 2240;
const uint32_t UFI_COOKIE_SIZE = 32;
const size_t UFI_BUILD_TEXT_SIZE = 24; // a build text of at most 23 characters and its terminator

// Opens an image file for binary reading; none when it cannot be opened or
// is not a regular file.
FILE *OpenUFIFile(const char *path);

// The 32-byte flash directory cookie.
void BuildUFIFlashDirCookie(uint8_t cookie[32]);

// Reads the first `length` bytes of the file into `buffer` (zero-filled
// first): 0; 4 null argument; 199 cannot open; 197 file shorter.
RM_STATUS ReadUFIHeader(const char *path, void *buffer, uint32_t length);
RM_STATUS ReadUFIHeaderAW2(const char *path, AW2_FILE_HEADER_T *header);
RM_STATUS ReadUFIHeaderAW3(const char *path, FILE_HEADER_T *header);

// Copies FH_Build up to its first zero byte, at most 23 characters, into
// `out` (24 bytes) with a terminator.
RM_STATUS GetRawUFIBuildString(const char *path, char *out);

// Decodes a build text into its generation (2, 3 or 4) and version text:
// 0 decoded; 1 unknown generation digit; 4 null or empty text, or a version
// text that does not fit `versionSize` bytes.
RM_STATUS DecodeRawBuildString(const char *build, uint8_t *generation, char *version, size_t versionSize);

// Finds the cookie at `start`, `start` + 32, ... and reads the 2256 bytes from
// it: 0; 4 null argument; 199 cannot open; 200 no cookie; 1 cut short.
RM_STATUS ReadUFIFlashDir(const char *path, AW2_FLASHDIR_TYPE *dir, uint32_t start);

// The file's length; 0 when it cannot be opened (or does not fit 32 bits).
uint32_t GetFileLength(const char *path);

bool isUFIFlashDirAW2(const AW2_FLASHDIR_TYPE *dir);
bool isUFIFlashDirAW3(const AW2_FLASHDIR_TYPE *dir);

// Byte order: the file is little-endian; these change nothing on such a host.
void SwapUFIHeaderForBigEndian(AW2_FILE_HEADER_T *header);
void SwapUFIHeaderForBigEndianAW3(FILE_HEADER_T *header);
void SwapUFIFlashDirForBigEndian(AW2_FLASHDIR_TYPE *dir);

// Labelled dumps to the engine log, while image diagnostics are enabled.
void WriteUFIHeaderDebug(const AW2_FILE_HEADER_T *header);
void WriteUFIHeaderDebugAW3(const FILE_HEADER_T *header);
void WriteUFIFlashDirDebug(const AW2_FLASHDIR_TYPE *dir);

#endif
