// Vital product data of an adapter function: the raw read by kind of
// function, the entry list made from it, the parsed record and its printing,
// the streaming parse of an FC adapter's region 14 for the download checks,
// the program-type rules of V3, and a writer of one keyword.
#ifndef HLVD_HBA_VPD_H
#define HLVD_HBA_VPD_H

#include <cstdint>

#pragma pack(push, 1)
// Parsed VPD of the function read last; every text is terminated.
struct VPD_RECORD {
    char SN[32];
    uint32_t valid; // 1 once a VPD image was found
    char V1[256];   // model description
    char V2[80];    // model name
    char V3[256];   // program-type rules
    char V4[20];
};
#pragma pack(pop)

static_assert(sizeof(VPD_RECORD) == 648, "VPD_RECORD layout");

extern VPD_RECORD vpd;

// Largest VPD image handled; nothing is read or written past it.
const uint32_t VPD_MAX_BYTES = 1024;
// Bytes of region 14 one plain FC function gives CLU_GetVPD.
const uint32_t VPD_REGION_READ_BYTES = 1000;
// Largest value the writer takes.
const uint32_t VPD_MAX_FIELD_BYTES = 64;

// Tags of the PCI VPD resource format.
const uint8_t VPD_TAG_ID_STRING = 0x82;
const uint8_t VPD_TAG_READ_ONLY = 0x90;
const uint8_t VPD_TAG_END = 0x78;

// Results.
const int VPD_READ_FAILED = 15;          // CLU_PrintVPD, diagnostics-library read
const int VPD_READ_FAILED_MANAGED = 141; // CLU_PrintVPD, management-library read
const int VPD_READ_ERROR = 1;
const int VPD_WRITE_TOO_SMALL_MAILBOX = 2;
const int VPD_MISSING_ARGUMENT = 4;
const int VPD_BUFFER_TOO_SMALL = 7;
const int VPD_TOO_LONG = 21;
const int VPD_LIBRARY_NOT_OPEN = 72;
const int VPD_FIELD_MISSING = 178;
const int VPD_BAD_FORMAT = 250;
// WIN_Error after a write whose region rebuild failed too.
const int32_t VPD_REGION_LOST = 38;

// Reads the function's VPD into the record (zeroed first) and prints it when
// asked: 0; 15, or 141 for a management-library function that is not SLI-4,
// when it cannot be read (the record then all zero).
int CLU_PrintVPD(int board, VPD_RECORD *record, int print);

// The raw VPD of the function as an entry list in buffer; *size is the room
// on entry and the VPD's length on return: 0, 1, 4, 7, 21, 72, 231, 250, or
// the status of the read that failed.
int CLU_GetVPD(int board, uint8_t *buffer, uint32_t *size);
// A converged NIC or iSCSI function's VPD through the client layer, found by
// the entry's MAC address: 0, 1 (no such function), 72, or the client
// layer's status. *count: room in, bytes out.
int CLU_NIC_GetVPD(int board, uint8_t *buffer, uint32_t *count);
int CLU_iSCSI_GetVPD(int board, uint8_t *buffer, uint32_t *count);

// Turns a raw VPD image of length bytes into the entry list in place: 0, 21
// (longer than 1024) or 250 (not VPD, or cut short).
int CLU_ConvertVPD(uint8_t *buffer, uint32_t length);

// The entry at cursor (never read at or past end): key characters and value
// as texts. Null when there is none (key room 3 or less, value room below
// 256, end of list, an empty value, or an entry running past end); else the
// cursor behind the entry.
const uint8_t *CLU_GetNextVpdEntry(const uint8_t *cursor, const uint8_t *end, char *key, uint32_t keySize,
                                   char *value, uint32_t valueSize);

// Parses region 14 of an FC adapter into the record in 104-byte pieces;
// a missing or unreadable VPD leaves it zero.
void readVPD(int board, VPD_RECORD *record);

// 0 when the V3 rule text allows the program type and id, else 1.
int checkVPDProgType(const char *rules, uint8_t type, uint8_t id);
int HexToInt(char c);

// The writer of one keyword of an FC adapter's VPD. Images are 1024 bytes.
// Writes the keyword with the value into region 14: 0, 1, 2, 4, 178, 250, or
// the result of a write that failed.
int AppendVxVPDField(int board, const char *keyword, const uint8_t *value, uint32_t length);
// The tag (name 0x82 or 0x90) or keyword in the image, or null.
uint8_t *FindVpdTag(uint8_t *image, const char *name);
// 0, 4, 178 (no VPD-R, keyword or RV), 250 (RV would not fit its length byte).
int RemoveVxVpdField(uint8_t *image, const char *keyword);
// 0, 4, 178, 250 (not VPD, or the field does not fit the image).
int InsertVxVpdField(uint8_t *image, const char *keyword, const uint8_t *value, uint32_t length);
// UPDATE_CFG of region 14 with the image: 0; 2 on a mailbox of 108 bytes or
// less; 1 when the write failed, also after the region was rebuilt.
int WriteVpd(int board, const uint8_t *image);
uint8_t ComputeAddingChecksum(const uint8_t *bytes, uint32_t count);

#endif
