#include "hba/load_lists.h"

#include <cstring>

#include "hba/mbox_commands.h"
#include "hba/mbox_transport.h"
#include "hba/wakeup_parms.h"

namespace {

struct ListShape {
    uint32_t head;
    uint32_t words;
    int kind;
};

const ListShape kFlashList = {FLASH_LOAD_LIST_HEAD, FLASH_LOAD_ENTRY_WORDS, PROGRAM_KIND_FLASH};
const ListShape kRamList = {RAM_LOAD_LIST_HEAD, RAM_LOAD_ENTRY_WORDS, PROGRAM_KIND_RAM};

// Words of a RAM entry that hold the program id.
const uint32_t kRamIdWord = 7;
const uint32_t kFlashIdWord = 4;

// Program description: where its pointer words sit and how long the text is.
const uint32_t kFreeSlotLow = 0;
const uint32_t kFreeSlotHigh = 0xFFFFFFFFu;
const uint32_t kTypeMask = 0xFF000000u;
const uint32_t kHighestType = 0x0E000000u;
const uint32_t kImageFlagsWord = 12;
const uint32_t kLongHeaderFlag = 0x08;
const uint32_t kLongHeaderBase = 100;
const uint32_t kShortHeaderBase = 48;
const uint32_t kImageBiasWord = 28;
const uint32_t kTextBytes = 24;
const char kAvailable[] = "<Available>";
const char kUnknown[] = "<Unknown>";

bool free_slot(uint32_t id0)
{
    return id0 == kFreeSlotLow || id0 == kFreeSlotHigh;
}

uint32_t read_word(int board, uint32_t address, uint32_t *value)
{
    uint8_t w[4] = {};
    uint32_t r = DumpMemory(board, w, address, 1);
    if (r == 0)
        *value = mbox_u32(w, 0);
    return r;
}

// The walk of either list; *at receives the address the entry was read from.
uint32_t next_entry(int board, const ListShape &shape, LOAD_LIST_ENTRY *entry, uint32_t *cursor, uint32_t *at)
{
    if (!entry || !cursor)
        return LOAD_LIST_BROKEN;
    if (*cursor == shape.head)
        return LOAD_LIST_END;
    if (*cursor == 0) {
        uint32_t r = read_word(board, shape.head, cursor);
        if (r != 0)
            return r;
        if (*cursor == shape.head)
            return LOAD_LIST_EMPTY;
    }
    uint8_t words[RAM_LOAD_ENTRY_WORDS * 4] = {};
    uint32_t r = DumpMemory(board, words, *cursor, shape.words);
    if (r != 0)
        return r;
    std::memset(entry, 0, sizeof *entry);
    entry->link = mbox_u32(words, 0);
    entry->word1 = mbox_u32(words, 4);
    entry->imageAddress = mbox_u32(words, 8);
    entry->word3 = mbox_u32(words, 12);
    const uint32_t id = shape.kind == PROGRAM_KIND_RAM ? kRamIdWord : kFlashIdWord;
    entry->programId[0] = mbox_u32(words, id * 4);
    entry->programId[1] = mbox_u32(words, id * 4 + 4);
    GetProgramDescription(board, shape.kind, entry);
    *at = *cursor;
    *cursor = entry->link;
    return 0;
}

void set_text(LOAD_LIST_ENTRY *entry, const char *text)
{
    std::memset(entry->description, 0, sizeof entry->description);
    std::memcpy(entry->description, text, std::strlen(text));
}

} // namespace

uint32_t GetNextFlashEntry(int board, LOAD_LIST_ENTRY *entry, uint32_t *cursor)
{
    uint32_t at = 0;
    return next_entry(board, kFlashList, entry, cursor, &at);
}

uint32_t GetNextRamEntry(int board, LOAD_LIST_ENTRY *entry, uint32_t *cursor)
{
    uint32_t at = 0;
    return next_entry(board, kRamList, entry, cursor, &at);
}

uint32_t ReadFlashLoadList(int board, LOAD_LIST *list)
{
    if (!list)
        return LOAD_LIST_BROKEN;
    list->count = 0;
    uint32_t visited[LOAD_LIST_MAX_ENTRIES] = {};
    uint32_t cursor = 0;
    // The adapter's list is not trusted to end: ten entries are all a list
    // holds, and a link back into the entries read (or to 0, the start) loops.
    while (list->count < LOAD_LIST_MAX_ENTRIES) {
        if (list->count > 0) {
            bool seen = cursor == 0;
            for (uint32_t i = 0; i < list->count && !seen; ++i)
                seen = visited[i] == cursor;
            if (seen)
                return LOAD_LIST_BROKEN;
        }
        uint32_t at = 0;
        uint32_t r = next_entry(board, kFlashList, &list->entries[list->count], &cursor, &at);
        if (r != 0) {
            if (list->count == 0)
                return r;
            return r == LOAD_LIST_END ? 0 : r;
        }
        visited[list->count++] = at;
    }
    return 0;
}

int DeleteImageType(int board, uint8_t imageType)
{
    LOAD_LIST list;
    uint32_t r = ReadFlashLoadList(board, &list);
    if (r != 0)
        return static_cast<int>(r);
    for (uint32_t i = 0; i < list.count; ++i) {
        const LOAD_LIST_ENTRY &e = list.entries[i];
        if (free_slot(e.programId[0]) || (e.programId[0] >> 24) != imageType)
            continue;
        const uint32_t id[2] = {e.programId[0], e.programId[1]};
        r = DeleteLoadEntry(board, id);
        if (r != 0)
            return static_cast<int>(r);
    }
    return 0;
}

uint32_t GetProgramDescription(int board, int kind, LOAD_LIST_ENTRY *entry)
{
    if (!entry)
        return LOAD_LIST_BROKEN;
    set_text(entry, "");
    const uint32_t id0 = entry->programId[0];
    if (free_slot(id0)) {
        set_text(entry, kAvailable);
        return 0;
    }
    const uint32_t type = id0 & kTypeMask;
    if (type > kHighestType) {
        set_text(entry, kUnknown);
        return 0;
    }
    const bool flash = kind == PROGRAM_KIND_FLASH;
    const uint32_t image = entry->imageAddress;
    uint32_t start = image;
    uint32_t w = 0;
    uint32_t r;
    if (flash) {
        // The header flags decide where the pointer words sit; unread, no text.
        if ((r = read_word(board, image + kImageFlagsWord, &w)) != 0)
            return r;
        start = image + ((w & kLongHeaderFlag) ? kLongHeaderBase : kShortHeaderBase);
    }
    if ((r = read_word(board, start + (type == 0 ? 4 : 8), &w)) != 0)
        return r;
    uint32_t p = w & ~3u;
    if (flash) {
        uint32_t bias = 0;
        if ((r = read_word(board, image + kImageBiasWord, &bias)) != 0)
            return r;
        p = p - bias + start;
    }
    uint8_t raw[kTextBytes] = {};
    if ((r = DumpMemory(board, raw, p, kTextBytes / 4)) != 0)
        return r;
    const bool swap = gHostEndian == 1 && (type >> 24) != LOAD_IMAGE_TYPE_BOOT;
    char text[kTextBytes] = {};
    for (uint32_t i = 0; i < kTextBytes; ++i) {
        const char c = static_cast<char>(raw[swap ? (i ^ 3) : i]);
        if (c == '\0' || c == '\n') {
            std::memcpy(entry->description, text, sizeof text);
            return 0;
        }
        text[i] = c;
    }
    // No room for a terminator: the description stays empty.
    return 0;
}

uint8_t IsBootBiosEnabled(int board, BOOT_BIOS_REPORT *report)
{
    LOAD_LIST list;
    if (ReadFlashLoadList(board, &list) != 0)
        return BOOT_BIOS_UNKNOWN;
    BOOT_BIOS_REPORT local;
    BOOT_BIOS_REPORT &out = report ? *report : local;
    out.started = 0;
    out.notStarted = 0;
    uint8_t result = BOOT_BIOS_UNKNOWN;
    uint32_t n = 0;
    for (uint32_t i = 0; i < list.count; ++i) {
        const LOAD_LIST_ENTRY &e = list.entries[i];
        if (free_slot(e.programId[0]) || (e.programId[0] >> 24) != LOAD_IMAGE_TYPE_BOOT)
            continue;
        const uint32_t id[2] = {e.programId[0], e.programId[1]};
        const int started = IsWakeupImage(board, id);
        // A failed wakeup read tells nothing about the image.
        if (started != 0 && started != 1)
            return BOOT_BIOS_UNKNOWN;
        BOOT_BIOS_IMAGE &img = out.images[n++];
        img.programId[0] = e.programId[0];
        img.programId[1] = e.programId[1];
        img.started = static_cast<uint8_t>(started);
        if (started)
            ++out.started;
        else
            ++out.notStarted;
        result = static_cast<uint8_t>(started);
    }
    return result;
}
