// Adapter family of an FC function and the checks that decide whether a
// relative image (PRG) fits it.
#ifndef HLVD_HBA_ADAPTER_FAMILY_H
#define HLVD_HBA_ADAPTER_FAMILY_H

#include <cstdint>

#include "hba/download_entry.h"

#pragma pack(push, 1)
// The 48-byte header of a PRG image, every word already in host order.
struct PRG_HEADER {
    uint32_t length;       // header included; negative ends a list of PRGs
    uint32_t programId[2]; // word 0: type 24-31, id byte 16-23, revision digits 12-15 and 8-11
    uint32_t flags;        // 0x10 of the low byte: a key block follows
    uint32_t reserved0[4];
    uint32_t keyPosition;
    uint32_t reserved1[2];
    uint32_t checksum;
};
#pragma pack(pop)

static_assert(sizeof(PRG_HEADER) == 48, "PRG_HEADER is 48 bytes");

// Family code of an FC adapter the engine does not know.
const uint32_t ADAPTER_FAMILY_UNKNOWN = 0xFFF20000u;
// The two families of JEDEC id 0x38 told apart by the SRAM size.
const uint32_t ADAPTER_FAMILY_DUAL_CHANNEL = 0xF98D;
const uint32_t ADAPTER_FAMILY_SINGLE_CHANNEL = 0xF980;

// Image types of program-id word 0 (bits 24-31).
const uint8_t PRG_TYPE_STUB = 2;
const uint8_t PRG_TYPE_BOOT = 3;
const uint8_t PRG_TYPE_SLI1 = 6;
const uint8_t PRG_TYPE_SLI2 = 7;
const uint8_t PRG_TYPE_SLI3 = 11;
const uint8_t PRG_TYPE_SLI4 = 14;

// The 16-bit family code of the entry's JEDEC id and FC-side device id, or
// ADAPTER_FAMILY_UNKNOWN (also for an index outside the table).
uint32_t AdapterFamily(uint8_t index);
uint32_t AdapterFamily_DOS(int board);

// 1 when the family has the 2 MB flash layout, else 0.
int IsIt2MFamily(int board);
// 1 when the entry's JEDEC id is one of the 2 MB ids.
int IsIt2MjedecID(int board);
// 1 when the JEDEC id is one of the direct-download ids.
int IsItDirectDownloadJedecID(int board);
int IsItDirectDownloadJedecID1();

// 0 when the low 8 bits of id are listed in the table, 1 when not.
int checkId(int id, const uint8_t *table);

// The relative-image checks: 0 when the image's id byte fits the adapter,
// else INCOMPAT_IMAGE_ERROR with INCORRECT_ADPT or INCORRECT_VERSION.
DOWNLOAD_STATUS checkFamilyRelativeStub(int board, PRG_HEADER header);
DOWNLOAD_STATUS checkFamilyRelativePciBootType(int board, PRG_HEADER header);
DOWNLOAD_STATUS checkFamilyRelativeSLI1(int board, PRG_HEADER header);
DOWNLOAD_STATUS checkFamilyRelativeSLI2(int board, PRG_HEADER header);
DOWNLOAD_STATUS checkFamilyRelativeSLI3and4(int board, PRG_HEADER header);

#endif
