#include "adapters/revision_display.h"

#include <cstdio>
#include <cstring>

#include "adapters/adapter_table.h"

namespace {

// Device id of the Hollin boards, whose boot code carries the Hollin letter.
const uint16_t kHollinDeviceId = 0xF180;

// One group of eight image ids: its family letter, the kinds (bit k for kind
// k) that have a code, and the second letter of kind 4.
struct TypeGroup {
    uint8_t group;
    char family;
    uint8_t kinds;
    char kind4;
};

// The family letters are ours; group 0's letter is the Hollin letter.
const TypeGroup kGroups[] = {
    {0, 'H', 0x02, 0},   {2, 'A', 0x7E, 'R'}, {3, 'C', 0xFE, 'L'},  {4, 'D', 0x7E, 'R'},
    {5, 'E', 0x7E, 'L'}, {6, 'F', 0x6E, 0},   {8, 'G', 0x7E, 'R'},  {9, 'J', 0xFE, 'L'},
    {10, 'K', 0x6E, 0},  {11, 'M', 0x86, 0},  {12, 'N', 0xFE, 'R'}, {14, 'P', 0xEE, 0},
    {15, 'Q', 0xFE, 'L'}, {16, 'R', 0xEE, 0}, {18, 'S', 0xEE, 0},   {20, 'T', 0xEE, 0},
    {21, 'V', 0xFE, 'L'}, {22, 'W', 0xEE, 0}, {24, 'Y', 0xEE, 0},   {26, 'Z', 0xEE, 0},
    {28, 'B', 0xEE, 0},  {30, 'I', 0xEE, 0},
};
static_assert(sizeof kGroups / sizeof kGroups[0] == 22, "22 groups have codes");

const char kHollinLetter = 'H';

// Second letters of kinds 1 to 7; kind 4 is the group's own.
const char kKindLetters[8] = {0, 'B', 'O', 'C', 0, 'E', 'P', 'U'};

// The two ids that borrow another id's code.
uint8_t borrowed_id(uint8_t id)
{
    if (id == 0x2F)
        return 0x1F;
    if (id == 0x80)
        return 0x49;
    return id;
}

} // namespace

void encodedRevTypeCode(uint8_t imageId, char code[3])
{
    std::memcpy(code, "XX", 3);
    uint8_t id = borrowed_id(imageId);
    uint8_t group = static_cast<uint8_t>(id >> 3);
    uint8_t kind = static_cast<uint8_t>(id & 7);
    for (const TypeGroup &g : kGroups) {
        if (g.group != group)
            continue;
        if (!(g.kinds & (1u << kind)))
            return;
        code[0] = g.family;
        code[1] = kind == 4 ? g.kind4 : kKindLetters[kind];
        return;
    }
}

void show_encoded_rev1(uint8_t index, const uint8_t *word, char *text)
{
    if (!text)
        return;
    text[0] = '\0';
    if (!word)
        return;
    char code[3];
    encodedRevTypeCode(word[2], code);
    if (AdapterExists4(index) && gAdapters && gAdapters[index].deviceId == kHollinDeviceId)
        code[0] = kHollinLetter;
    unsigned version = word[1] >> 4;
    unsigned revision = word[1] & 0x0F;
    unsigned fix = word[0] >> 6;
    unsigned dist = (word[0] >> 4) & 3;
    unsigned count = word[0] & 0x0F;
    static const char kDist[] = {'N', 'A', 'B', 'X'};
    // At most 2 + 2 + 1 + 2 + 1 + 1 + 2 = 11 characters.
    if (dist == 3 && count == 0)
        std::snprintf(text, ENCODED_REV_TEXT_SIZE, "%s%u.%u%u", code, version, revision, fix);
    else
        std::snprintf(text, ENCODED_REV_TEXT_SIZE, "%s%u.%u%u%c%u", code, version, revision, fix, kDist[dist],
                      count);
}
