// FC image files besides UFI: the PRG header read, the file checksum and its
// kind, the boot image's expansion-ROM device id check, and the version
// readers of grouped (".grp"), AIF (".all") and PRG files with their type
// code tables.
#ifndef HLVD_FLASH_FC_IMAGE_FILES_H
#define HLVD_FLASH_FC_IMAGE_FILES_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "flash/image_record.h"
#include "flash/rm_status.h"
#include "hba/download_entry.h"
#include "hba/sli4_objects.h"

// 1: every 32-bit word of an FC image file is big-endian in the file.
// eHostEndian serves the version readers, dHostEndian the header read and
// the checksum.
extern int eHostEndian;
extern int dHostEndian;

const uint32_t NOP_IMAGE_TYPE = 0xE1A00000u;
const uint32_t AIF_AWC_IMAGE = 0xE1A01001u;
const uint32_t AIF_DWC_IMAGE = 0xE1A02002u;
const uint32_t AIF_BWC_IMAGE = 0xE1A03003u;
const uint32_t AIF_FWC_IMAGE = 0xE1A04004u;

const uint32_t AIF_HEADER_SIZE = 128;
const uint32_t PRG_HEADER_SIZE = 48;
const uint32_t BOOT_PCI_HEADER_SIZE = 28;
const uint32_t HOLLIN_DEVICE_ID = 0xF180;

// The first letter of a boot code of chip group 15, and the letter that
// replaces it when the boot image is built for the Hollin device id.
const char BOOT_GROUP15_LETTER = 'Q';
const char BOOT_HOLLIN_LETTER = 'A';

// The size of an open image file, -1 when it cannot be taken; the position
// is kept.
long ImageFileSize(FILE *file);
// The big-endian file word at `b`, in host order.
uint32_t ImageFileWord(const uint8_t *b);

// 2 when the text after the first dot of the path is exactly "aif" or "AIF";
// 1 otherwise.
int GetFileChecksumType(const char *path);

// The fold of count + 1 words from the current position (0 when intact);
// the position is restored. A region that runs past the end of the file is
// never 0. 0xFFF90001 when the position cannot be restored.
uint32_t ValidateFileChecksum(FILE *file, uint32_t count);
uint32_t ValidateFileChecksum_DOS(FILE *file, uint32_t count);

// The 48-byte PRG header at the current position, each word in host order
// (a PRG_HEADER): 0, 1 (null argument), 0xFFF90002 (end of file),
// 0xFFF90001 (read error).
DOWNLOAD_STATUS ReadPRGImageHeader(FILE *file, void *header);

// The 28-byte PCI data structure of the boot image at the current position,
// in ROM order: 0 with its PCIR signature; 1 for a null argument, no ROM
// signature, no data structure or another signature; 0xFFF90002 or
// 0xFFF90001 as above.
DOWNLOAD_STATUS ReadBootImagePciHeader2(FILE *file, uint8_t *pciHeader);

// 0 when `expected` is 0xF180 and the boot image at the current position is
// built for 0xF180; 0xFFF70001 otherwise, or the read's failure. The
// position is restored.
DOWNLOAD_STATUS ValidateHollinBootProgId(FILE *file, uint32_t expected);

// Grouped images: RM_STATUS codes.
RM_STATUS getGRPBuildVersion(const char *path, CLUImage *record);
RM_STATUS getGRPBuildString(uint16_t *signature, const char *path, char *version, size_t size);
RM_STATUS isVarrowFirmwareFile(const char *path);
// The leading digits and dots of the header's build text into `version`
// (`size` bytes of room): 0, or 1 with an empty text when the build text is
// not terminated within 128 characters or its version does not fit.
RM_STATUS GetVarrowBuildString(char *version, size_t size, const _GRP_HEADER *header);

// AIF (".all") and PRG files.
DOWNLOAD_STATUS getALLBuildVersion(const char *path, CLUImage *record);
// One AIF image header, its 32 words in host order.
DOWNLOAD_STATUS verifyAbsImageFile(FILE *file, const uint32_t *aifHeader, CLUImage *record);
DOWNLOAD_STATUS getPRGBuildVersion(const char *path, CLUImage *record);

// Two-letter type codes by image id into `code` (`size` bytes, at least 3):
// 0, or 1 with an empty code for an id outside the table.
int getSLI_2_ImageType(int id, char *code, size_t size);
int getSLI_3_ImageType(int id, char *code, size_t size);
int getBootCodeType(int id, char *code, size_t size);

// The encoded revision text of a program id word given as its host-order
// bytes, e.g. 210A3: 0, or 1 when it does not fit `size`.
int getEncodedRev(const uint8_t *progId, char *text, size_t size);

// The program id word into legacyEncodedRev, legacyImageId and
// legacyImageType.
void copyProgramId(CLUImage *record, uint32_t progId);

#endif
