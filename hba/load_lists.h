// The flash and RAM load lists an FC adapter keeps in its memory, read with
// the memory dump command; program descriptions of the listed images; removal
// of every flash image of a type; the boot-image report.
#ifndef HLVD_HBA_LOAD_LISTS_H
#define HLVD_HBA_LOAD_LISTS_H

#include <cstdint>

#pragma pack(push, 1)
// One list entry as the host keeps it.
struct LOAD_LIST_ENTRY {
    uint32_t link;          // adapter address of the next entry
    uint32_t word1;
    uint32_t imageAddress;
    uint32_t word3;
    uint32_t programId[2];  // word 0: type in bits 24-31; 0 or ~0 = free slot
    char description[24];
};

const uint32_t LOAD_LIST_MAX_ENTRIES = 10;

struct LOAD_LIST {
    uint32_t count;
    LOAD_LIST_ENTRY entries[LOAD_LIST_MAX_ENTRIES];
};

// One boot image of the report of IsBootBiosEnabled.
struct BOOT_BIOS_IMAGE {
    uint32_t programId[2];
    uint8_t started;
};

struct BOOT_BIOS_REPORT {
    uint32_t started;
    uint32_t notStarted;
    BOOT_BIOS_IMAGE images[LOAD_LIST_MAX_ENTRIES];
};
#pragma pack(pop)

static_assert(sizeof(LOAD_LIST_ENTRY) == 48, "LOAD_LIST_ENTRY is 48 bytes");
static_assert(sizeof(LOAD_LIST) == 484, "LOAD_LIST is 484 bytes");
static_assert(sizeof(BOOT_BIOS_IMAGE) == 9, "BOOT_BIOS_IMAGE is 9 bytes");

// List heads in adapter memory; a link back to its head ends a list.
const uint32_t FLASH_LOAD_LIST_HEAD = 1948;
const uint32_t RAM_LOAD_LIST_HEAD = 1940;
const uint32_t FLASH_LOAD_ENTRY_WORDS = 6;
const uint32_t RAM_LOAD_ENTRY_WORDS = 9;

// Answers of the walk.
const uint32_t LOAD_LIST_EMPTY = 1;
const uint32_t LOAD_LIST_END = 2;
// A list that loops (a link back into it, or to 0) cannot be read; the same
// value as a failed memory read.
const uint32_t LOAD_LIST_BROKEN = 0xFFFF0000u;

// Image type 3 and what IsBootBiosEnabled answers when it cannot tell.
const uint8_t LOAD_IMAGE_TYPE_BOOT = 3;
const uint8_t BOOT_BIOS_UNKNOWN = 0xFF;

// Description kinds.
const int PROGRAM_KIND_RAM = 0;
const int PROGRAM_KIND_FLASH = 1;

// The entry at *cursor (0 = the first): 0 with the entry filled and *cursor on
// the next, LOAD_LIST_EMPTY, LOAD_LIST_END, or the memory read's failure.
uint32_t GetNextFlashEntry(int board, LOAD_LIST_ENTRY *entry, uint32_t *cursor);
uint32_t GetNextRamEntry(int board, LOAD_LIST_ENTRY *entry, uint32_t *cursor);

// At most LOAD_LIST_MAX_ENTRIES entries of the flash list: 0 (the list ended,
// or the first ten are read), LOAD_LIST_EMPTY, LOAD_LIST_BROKEN, or the memory
// read's failure (count then holds the entries read).
uint32_t ReadFlashLoadList(int board, LOAD_LIST *list);

// Deletes every flash entry of the image type: 0 or the first failure.
int DeleteImageType(int board, uint8_t imageType);

// The entry's description text (kind PROGRAM_KIND_FLASH or _RAM): 0, or the
// memory read's failure (the description then empty).
uint32_t GetProgramDescription(int board, int kind, LOAD_LIST_ENTRY *entry);

// The started flag of the last boot image of the flash list, with the report
// filled; BOOT_BIOS_UNKNOWN when the list or the wakeup parameters cannot be
// read, or the list holds no boot image.
uint8_t IsBootBiosEnabled(int board, BOOT_BIOS_REPORT *report);

#endif
