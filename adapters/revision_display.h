// Display text of an encoded firmware revision: the low three bytes of a
// program id word, as the wakeup parameters name the images an FC HBA starts.
#ifndef HLVD_ADAPTERS_REVISION_DISPLAY_H
#define HLVD_ADAPTERS_REVISION_DISPLAY_H

#include <cstdint>

// Room the display text needs: at most 11 characters and the terminator.
const int ENCODED_REV_TEXT_SIZE = 12;

// The two-letter type code of an image id, "XX" when it has none (3 bytes).
void encodedRevTypeCode(uint8_t imageId, char code[3]);

// Writes the display text of the three bytes (least significant byte first)
// of a program id word into text (at least 12 bytes). Entry `index` of the
// adapter table decides the Hollin family letter.
void show_encoded_rev1(uint8_t index, const uint8_t *word, char *text);

#endif
