// Identification of the FC-side entries of the adapter table: JEDEC id, the
// VPD texts and model name, the VG-keyword platform mark, the Varrow
// dual-channel and model pass, and a small VPD reader of its own that serves
// the platform check.
#ifndef HLVD_ADAPTERS_ADAPTER_IDENTITY_H
#define HLVD_ADAPTERS_ADAPTER_IDENTITY_H

#include <cstdint>

// Bytes of region 14 read, and the room of a converted entry list.
const uint32_t IDENTITY_VPD_READ_BYTES = 1000;
const uint32_t IDENTITY_VPD_AREA_BYTES = 1024;

// CConvertVPD: the data could not be walked (too long, an unknown resource,
// a resource or keyword running past the end), or does not start with the
// identifier string. The buffer then keeps the raw data.
const int CONVERT_VPD_BAD_DATA = 1;
const int CONVERT_VPD_NO_IDENTIFIER = 2;

// The identification pass and the Varrow pass over the FC-side entries;
// both always 0.
int getAdapterVPD();
int getVarrowModelName();

// JEDEC id from READ_REV, 0 when it cannot be read (or, for the SLI-4 read,
// when the entry is not SLI-4).
uint16_t GetJedecId4(uint8_t index);
uint16_t GetJedecId_new(uint8_t index);

// Reads 1000 bytes of region 14 and converts them into buffer. *capacity is
// the room in and the bytes read out. 0, the read's status, 1 when more was
// read than fits, or the conversion's result.
int GetVPD(int index, uint8_t *buffer, uint32_t *capacity);

// Turns length bytes of raw VPD in buffer into the entry list in place
// (keyword, length byte, value): 0, else 1 or 2 with the raw data kept.
int CConvertVPD(uint8_t *buffer, uint32_t length);

// The entry at cursor as texts; never reads at or past end. The cursor of
// the next entry, or null at the end of the list (also for key room below 4,
// value room below 256, an empty value, or an entry running past end).
uint8_t *GetNextVpdEntry(uint8_t *cursor, const uint8_t *end, char *key, uint32_t keySize, char *value,
                         uint32_t valueSize);

// Sets the entry's ibmPSeries when a VG keyword of its VPD ends in "1014".
void IBM_PSeries_Check(int index);

// Upper-cases a text in place.
void ToUpper(char *text);

// One line per table entry to the debug log; WIN_Error, or 45 with an
// empty table.
int32_t displayAdapters();

#endif
