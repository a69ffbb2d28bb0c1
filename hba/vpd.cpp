#include "hba/vpd.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "adapters/adapter_table.h"
#include "adapters/converged_discovery.h"
#include "flash/engine_log.h"
#include "hba/adapter_state.h"
#include "hba/config_regions.h"
#include "hba/download_entry.h"
#include "hba/mbox_transport.h"
#include "hba/sli4_objects.h"
#include "kpl.h"
#include "mal/mal_maintenance.h"

VPD_RECORD vpd;

namespace {

const char kVarrowVpdObject[] = "/vpd/fc_pf.vpd";
// An identifier string's entry carries these key bytes.
const uint8_t kIdKey = VPD_TAG_ID_STRING;
// Value room CLU_GetNextVpdEntry needs (a length byte's worth and the end).
const uint32_t kValueRoom = 256;

struct Label {
    char keyword[3];
    const char *label;
};

const Label HbaCmdVpdLabelTable[] = {
    {"CP", "CP (Ext. Capability)  "}, {"EC", "EC (EC Level)         "}, {"FG", "FG (Fabric Geography) "},
    {"LC", "LC (Location)         "}, {"MN", "MN (Manufacture ID)   "}, {"PG", "PG (PCI Geography)    "},
    {"PN", "PN (Part Number)      "}, {"SN", "SN (Serial Number)    "},
};

uint16_t le16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Copies up to n bytes of a value as text: a zero byte ends it, the rest of
// the n bytes of room is zero.
void copy_text(uint8_t *dst, const uint8_t *src, uint32_t n)
{
    uint32_t i = 0;
    for (; i < n && src[i] != 0; ++i)
        dst[i] = src[i];
    for (; i < n; ++i)
        dst[i] = 0;
}

// Stores a value into a record field of `room` bytes, cut to fit.
void store(char *field, size_t room, const char *value)
{
    std::snprintf(field, room, "%s", value);
}

// Prints the line formatted into szTempBuffer; a longer line was cut to it.
// One printed line: the parts joined in the shared buffer, a line longer
// than the buffer cut at its end.
void print_line(const char *head, const char *separator, const char *value)
{
    size_t n = 0;
    const size_t cap = sizeof szTempBuffer - 1;
    for (const char *part : {head, separator, value})
        for (const char *p = part; *p && n < cap; ++p)
            szTempBuffer[n++] = *p;
    szTempBuffer[n] = '\0';
    PrintTwo();
}

// The function record of a converged function's controller whose MAC
// address is the entry's.
int converged_vpd(int board, uint8_t *buffer, uint32_t *count, bool iscsi)
{
    if (gVEXO == 0)
        return VPD_LIBRARY_NOT_OPEN;
    if (!buffer || !count)
        return VPD_MISSING_ARGUMENT;
    if (board < 0 || !AdapterExists4(static_cast<uint32_t>(board)) || !gAdapters || !gCB_Arcwright)
        return VPD_READ_ERROR;
    const _Adapter &a = gAdapters[board];
    if (a.controllerIndex >= gAwCount)
        return VPD_READ_ERROR;
    const _CB_Arcwright &cb = gCB_Arcwright[a.controllerIndex];
    if (iscsi) {
        for (uint32_t i = 0; cb.iSCSIFunctions && i < cb.iSCSICount; ++i)
            if (std::memcmp(cb.iSCSIFunctions[i].macAddress, a.macAddress, sizeof a.macAddress) == 0)
                return MAL_GetVPD(cb.iSCSIFunctions[i].tag, buffer, count);
    } else {
        for (uint32_t i = 0; cb.nicFunctions && i < cb.nicCount; ++i)
            if (std::memcmp(cb.nicFunctions[i].properties.MACAddress, a.macAddress, sizeof a.macAddress) == 0)
                return MAL_GetVPD(cb.nicFunctions[i].tag, buffer, count);
    }
    // No record of the controller is this function: nothing was read.
    return VPD_READ_ERROR;
}

// ---------------------------------------------------------------------------
// Streaming read of region 14 in 104-byte pieces for readVPD.

const uint32_t kPieceWords = 26;
const uint32_t kPieceBytes = kPieceWords * 4;

struct RegionStream {
    int board;
    uint8_t piece[kPieceBytes];
    uint32_t start; // region offset of piece[0]
    uint32_t count; // bytes in the piece
    bool last;      // the region ended within this piece
};

// Bytes of the current piece from region offset `at` on.
uint32_t available(const RegionStream &s, uint32_t at)
{
    if (at < s.start || at >= s.start + s.count)
        return 0;
    return s.start + s.count - at;
}

const uint8_t *at_ptr(const RegionStream &s, uint32_t at)
{
    return s.piece + (at - s.start);
}

// Reads the piece holding region offset `at` (aligned down to a word): false
// when the read failed or the VPD's 1024 bytes are behind it.
bool read_piece(RegionStream &s, uint32_t at)
{
    const uint32_t aligned = at & ~3u;
    s.start = aligned;
    s.count = 0;
    if (aligned >= VPD_MAX_BYTES) {
        s.last = true;
        return false;
    }
    uint32_t got = 0;
    if (DumpConfigurationData(s.board, s.piece, CONFIG_REGION_VPD, kPieceWords, aligned, &got) != 0)
        return false;
    if (got > kPieceBytes)
        got = kPieceBytes;
    if (gHostEndian != 1)
        SwapBytes0(s.piece, got);
    s.last = got < kPieceBytes;
    // Never past the VPD's greatest length.
    if (aligned + got >= VPD_MAX_BYTES) {
        got = VPD_MAX_BYTES - aligned;
        s.last = true;
    }
    s.count = got;
    return true;
}

// Makes at least `need` bytes at `at` available, reading the next piece when
// the current one has fewer; false when that cannot be.
bool ensure(RegionStream &s, uint32_t at, uint32_t need)
{
    if (available(s, at) >= need)
        return true;
    if (s.last)
        return false;
    return read_piece(s, at) && available(s, at) >= need;
}

struct Field {
    char key[3];
    size_t offset;
    uint32_t limit;
};

const Field kRecordFields[] = {
    {"SN", offsetof(VPD_RECORD, SN), 31}, {"V1", offsetof(VPD_RECORD, V1), 255},
    {"V2", offsetof(VPD_RECORD, V2), 79}, {"V3", offsetof(VPD_RECORD, V3), 255},
    {"V4", offsetof(VPD_RECORD, V4), 19},
};
const int kMaxStoredKeywords = 5;

const Field *record_field(const uint8_t *key)
{
    for (const Field &f : kRecordFields)
        if (key[0] == static_cast<uint8_t>(f.key[0]) && key[1] == static_cast<uint8_t>(f.key[1]))
            return &f;
    return nullptr;
}

// Finds the next VPD-R section from *cursor: its length, or 0 when there is
// none (or it cannot be read).
uint32_t find_read_only(RegionStream &s, uint32_t *cursor, bool *readFailed)
{
    for (;;) {
        if (!ensure(s, *cursor, 3)) {
            // A failed read is reported; a piece that ended is not.
            if (!s.last && available(s, *cursor) < 3)
                *readFailed = true;
            return 0;
        }
        const uint8_t *p = at_ptr(s, *cursor);
        const uint32_t length = le16(p + 1);
        if (p[0] == VPD_TAG_ID_STRING) {
            *cursor += 3 + length;
            continue;
        }
        if (p[0] == VPD_TAG_READ_ONLY && length != 0) {
            *cursor += 3;
            return length;
        }
        s.last = true;
        return 0;
    }
}

// ---------------------------------------------------------------------------
// The writer's walk over a 1024-byte image.

const uint32_t kBlock = 128;

uint32_t find_offset(const uint8_t *image, const char *name, bool *found)
{
    *found = false;
    if (!image || !name || image[0] != VPD_TAG_ID_STRING)
        return 0;
    const uint8_t n0 = static_cast<uint8_t>(name[0]);
    if (n0 == VPD_TAG_ID_STRING) {
        *found = true;
        return 0;
    }
    const uint32_t ro = 3u + le16(image + 1);
    if (ro + 3 > VPD_MAX_BYTES || image[ro] != VPD_TAG_READ_ONLY)
        return 0;
    if (n0 == VPD_TAG_READ_ONLY) {
        *found = true;
        return ro;
    }
    const int32_t roLength = le16(image + ro + 1);
    uint32_t p = ro + 3;
    while (static_cast<int32_t>(p - (ro + 3)) < roLength - 3 && p + 3 <= VPD_MAX_BYTES) {
        const uint8_t k0 = image[p], k1 = image[p + 1];
        if (k0 == 'x' || k0 == 0)
            return 0;
        if (k0 == n0 && name[0] != 0 && k1 == static_cast<uint8_t>(name[1])) {
            *found = true;
            return p;
        }
        if (k0 == 'R' && k1 == 'V')
            return 0;
        p += 3u + image[p + 2];
    }
    return 0;
}

} // namespace

// ---------------------------------------------------------------------------
// Readers

int CLU_NIC_GetVPD(int board, uint8_t *buffer, uint32_t *count)
{
    return converged_vpd(board, buffer, count, false);
}

int CLU_iSCSI_GetVPD(int board, uint8_t *buffer, uint32_t *count)
{
    return converged_vpd(board, buffer, count, true);
}

int CLU_GetVPD(int board, uint8_t *buffer, uint32_t *size)
{
    if (!buffer || !size)
        return VPD_MISSING_ARGUMENT;
    std::memset(buffer, 0, *size);
    uint8_t work[VPD_MAX_BYTES];
    std::memset(work, 0, sizeof work);
    uint32_t length = 0;
    int status;

    if (isAWDevId(board) || isVarrowCNA(board)) {
        length = VPD_MAX_BYTES;
        if (isAWFCoEDevId(board) || isVarrowFCoE(board)) {
            uint32_t count = VPD_MAX_BYTES;
            status = 0;
            if (KPL_IssueDumpMBox(board, DUMP_TYPE_REGION, 0, CONFIG_REGION_VPD, 0, work, &count) != 0) {
                status = VPD_READ_ERROR;
                length = 0;
            }
        } else if (isAWNICDevId(board) || isVarrowCNA(board)) {
            uint32_t count = VPD_MAX_BYTES;
            status = CLU_NIC_GetVPD(board, work, &count);
        } else if (isAWiSCSIDevId(board)) {
            uint32_t count = VPD_MAX_BYTES;
            status = CLU_iSCSI_GetVPD(board, work, &count);
        } else {
            status = VPD_READ_ERROR;
        }
    } else if (isVarrowFC(board)) {
        uint32_t got = 0;
        status = FFS_ReadVPD(board, kVarrowVpdObject, work, VPD_MAX_BYTES, &got);
        // The object read never claims more than the room it was given.
        if (status == 0)
            length = got <= VPD_MAX_BYTES ? got : VPD_MAX_BYTES;
    } else {
        uint32_t temperature = 0;
        if (CLU_GetBoardTemp(board, &temperature) == BOARD_TEMP_NOT_AVAILABLE) {
            status = BOARD_TEMP_NOT_AVAILABLE;
        } else {
            length = VPD_MAX_BYTES;
            uint32_t got = 0;
            status = CLU_ReadConfigRegion(board, CONFIG_REGION_VPD, VPD_REGION_READ_BYTES, &got, work);
        }
    }

    if (status == 0) {
        if (*size < length) {
            status = VPD_BUFFER_TOO_SMALL;
        } else {
            std::memcpy(buffer, work, length);
            status = CLU_ConvertVPD(buffer, length);
        }
    }
    *size = length;
    return status;
}

int CLU_ConvertVPD(uint8_t *buffer, uint32_t length)
{
    if (length > VPD_MAX_BYTES)
        return VPD_TOO_LONG;
    if (!buffer || length == 0)
        return VPD_BAD_FORMAT;
    // Stored with the bytes of each word reversed: turned back first.
    if (buffer[0] != VPD_TAG_ID_STRING && length >= 4 && buffer[3] == VPD_TAG_ID_STRING)
        SwapBytes0(buffer, length / 4 * 4);
    if (buffer[0] != VPD_TAG_ID_STRING)
        return VPD_BAD_FORMAT;

    uint8_t list[VPD_MAX_BYTES];
    std::memset(list, 0, sizeof list);
    uint32_t out = 0, pos = 0;
    bool done = false;
    while (!done && pos < length) {
        if (length - pos < 3)
            return VPD_BAD_FORMAT;
        const uint8_t tag = buffer[pos];
        const uint32_t size = le16(buffer + pos + 1);
        pos += 3;
        if (tag == VPD_TAG_ID_STRING) {
            if (size > length - pos)
                return VPD_BAD_FORMAT;
            // An entry holds one length byte: a longer name keeps its first 255.
            const uint32_t kept = size < 255 ? size : 255;
            list[out] = kIdKey;
            list[out + 1] = kIdKey;
            list[out + 2] = static_cast<uint8_t>(kept);
            copy_text(list + out + 3, buffer + pos, kept);
            out += 3 + kept;
            pos += size;
        } else if (tag == VPD_TAG_READ_ONLY) {
            for (;;) {
                if (pos >= length) {
                    done = true;
                    break;
                }
                if (length - pos < 3) {
                    if (buffer[pos] == 0) {
                        done = true;
                        break;
                    }
                    return VPD_BAD_FORMAT;
                }
                const uint8_t *k = buffer + pos;
                if (k[0] == 0 || (k[0] == 'R' && k[1] == 'V')) {
                    done = true;
                    break;
                }
                const uint32_t n = k[2];
                if (n > length - pos - 3)
                    return VPD_BAD_FORMAT;
                list[out] = k[0];
                list[out + 1] = k[1];
                list[out + 2] = static_cast<uint8_t>(n);
                copy_text(list + out + 3, k + 3, n);
                out += 3 + n;
                pos += 3 + n;
            }
        } else {
            return VPD_BAD_FORMAT;
        }
    }
    // Each entry is no longer than the bytes it came from.
    std::memset(buffer, 0, length);
    std::memcpy(buffer, list, out);
    return 0;
}

const uint8_t *CLU_GetNextVpdEntry(const uint8_t *cursor, const uint8_t *end, char *key, uint32_t keySize,
                                   char *value, uint32_t valueSize)
{
    if (!cursor || !end || !key || !value || keySize <= 3 || valueSize < kValueRoom)
        return nullptr;
    if (cursor >= end || end - cursor < 3 || cursor[0] == 0 || cursor[2] == 0)
        return nullptr;
    const uint32_t n = cursor[2];
    if (static_cast<uint32_t>(end - cursor - 3) < n)
        return nullptr;
    std::memset(key, 0, keySize);
    std::memset(value, 0, valueSize);
    key[0] = static_cast<char>(cursor[0]);
    key[1] = static_cast<char>(cursor[1]);
    copy_text(reinterpret_cast<uint8_t *>(value), cursor + 3, n);
    return cursor + 3 + n;
}

int CLU_PrintVPD(int board, VPD_RECORD *record, int print)
{
    VPD_RECORD scratch;
    if (!record)
        record = &scratch;
    std::memset(record, 0, sizeof *record);
    uint8_t buffer[VPD_MAX_BYTES];
    std::memset(buffer, 0, sizeof buffer);
    char key[4] = {0};
    char keyword[64];
    char value[kValueRoom];
    std::memset(keyword, 0, sizeof keyword);
    std::memset(value, 0, sizeof value);

    uint32_t size = sizeof buffer;
    const int status = CLU_GetVPD(board, buffer, &size);
    if (status != 0) {
        std::snprintf(szTempBuffer, sizeof szTempBuffer,
                      "Attempt to read VPD information fails. Adapter #%d - RM_STATUS = %d", board + 1, status);
        PrintTwo();
        std::memset(record, 0, sizeof *record);
        return isHBATypeArcwright(board) && !isSLI4(board) ? VPD_READ_FAILED_MANAGED : VPD_READ_FAILED;
    }

    record->valid = 1;
    const uint8_t *end = buffer + (size < sizeof buffer ? size : sizeof buffer);
    for (const uint8_t *cursor = buffer;
         (cursor = CLU_GetNextVpdEntry(cursor, end, key, sizeof key, value, sizeof value)) != nullptr;) {
        std::memset(keyword, 0, sizeof keyword);
        keyword[0] = key[0];
        keyword[1] = key[1];
        if (print) {
            const Label *label = nullptr;
            for (const Label &l : HbaCmdVpdLabelTable) {
                if (l.keyword[0] == key[0] && l.keyword[1] == key[1]) {
                    label = &l;
                    break;
                }
            }
            if (label)
                print_line(label->label, ": ", value);
            else if (static_cast<uint8_t>(key[0]) == kIdKey && static_cast<uint8_t>(key[1]) == kIdKey)
                print_line("Product Name          : ", "", value);
            else
                print_line(keyword, "                    : ", value);
        }
        const Field *f = record_field(reinterpret_cast<const uint8_t *>(key));
        if (f)
            store(reinterpret_cast<char *>(record) + f->offset, f->limit + 1u, value);
    }
    return 0;
}

void readVPD(int board, VPD_RECORD *record)
{
    if (!record)
        return;
    std::memset(record, 0, sizeof *record);
    RegionStream s;
    std::memset(&s, 0, sizeof s);
    s.board = board;
    uint32_t cursor = 0;
    int stored = 0;
    if (!read_piece(s, cursor)) {
        QBprintf("Attempt to read VPD information fails. Adapter #%d has no VPD information\n", board + 1);
        return;
    }
    for (;;) {
        bool readFailed = false;
        const uint32_t section = find_read_only(s, &cursor, &readFailed);
        if (readFailed)
            QBprintf("Attempt to read VPD information fails. Adapter #%d has no VPD information\n", board + 1);
        if (section <= 2)
            return;
        record->valid = 1;
        int32_t left = static_cast<int32_t>(section);
        while (left > 0) {
            if (available(s, cursor) < 3 && (left <= 2 || !ensure(s, cursor, 3)))
                return;
            const uint8_t *k = at_ptr(s, cursor);
            const uint32_t n = k[2];
            const Field *f = record_field(k);
            cursor += 3;
            left -= 3;
            if (f) {
                ++stored;
                char *dst = reinterpret_cast<char *>(record) + f->offset;
                const uint32_t want = n < f->limit ? n : f->limit;
                uint32_t copied = 0;
                while (copied < want) {
                    if (!ensure(s, cursor + copied, 1))
                        break;
                    uint32_t chunk = available(s, cursor + copied);
                    if (chunk > want - copied)
                        chunk = want - copied;
                    std::memcpy(dst + copied, at_ptr(s, cursor + copied), chunk);
                    copied += chunk;
                }
                cursor += n;
                left -= static_cast<int32_t>(n);
                if (left <= 0 || stored >= kMaxStoredKeywords)
                    return;
            } else {
                cursor += n;
                left -= static_cast<int32_t>(n);
            }
        }
        // The section is used up: a further one may follow in the region.
        if (s.last)
            return;
    }
}

int HexToInt(char c)
{
    if (c <= '9')
        return c - '0';
    if (c <= 'Z')
        return c - 'A' + 10;
    return c - 'a' + 10;
}

int checkVPDProgType(const char *rules, uint8_t type, uint8_t id)
{
    if (!rules)
        return 1;
    const size_t n = strnlen(rules, 256);
    size_t i = 0;
    for (;;) {
        while (i < n && rules[i] != 'T')
            ++i;
        if (i >= n)
            return 1;
        ++i;
        uint8_t t = 0;
        for (; i < n && rules[i] != ':'; ++i)
            t = static_cast<uint8_t>(t * 16 + HexToInt(rules[i]));
        if (i < n)
            ++i;
        if (t != type)
            continue;
        // Only a type's first rule counts.
        while (i < n && rules[i] != 'T') {
            if (i + 1 < n && rules[i] == '0' && rules[i + 1] == 'X')
                i += 2;
            uint8_t v = 0;
            for (; i < n && rules[i] != ','; ++i)
                v = static_cast<uint8_t>(v * 16 + HexToInt(rules[i]));
            if (i < n)
                ++i;
            if (v == id)
                return 0;
        }
        return 1;
    }
}

// ---------------------------------------------------------------------------
// Writer

uint8_t ComputeAddingChecksum(const uint8_t *bytes, uint32_t count)
{
    uint8_t sum = 0;
    for (uint32_t i = 0; bytes && i < count; ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    return sum;
}

uint8_t *FindVpdTag(uint8_t *image, const char *name)
{
    bool found = false;
    const uint32_t at = find_offset(image, name, &found);
    return found ? image + at : nullptr;
}

int RemoveVxVpdField(uint8_t *image, const char *keyword)
{
    if (!image || !keyword)
        return VPD_MISSING_ARGUMENT;
    bool haveRo = false, haveKey = false, haveRv = false;
    const uint32_t ro = find_offset(image, "\x90", &haveRo);
    const uint32_t kw = find_offset(image, keyword, &haveKey);
    const uint32_t rv = find_offset(image, "RV", &haveRv);
    if (!haveRo || !haveKey || !haveRv || kw >= rv)
        return VPD_FIELD_MISSING;
    // The byte behind the VPD-R section, where the end tag goes.
    const uint32_t end = ro + 3u + le16(image + ro + 1);
    const uint32_t behind = kw + 3u + image[kw + 2];
    if (end >= VPD_MAX_BYTES || behind > rv)
        return VPD_FIELD_MISSING;
    uint8_t work[VPD_MAX_BYTES];
    std::memset(work, 0, sizeof work);
    std::memcpy(work, image, kw);
    uint32_t w = kw;
    std::memcpy(work + w, image + behind, rv - behind);
    w += rv - behind;
    if (w + 4 > end || end - (w + 3) > 255)
        return VPD_BAD_FORMAT;
    work[w] = 'R';
    work[w + 1] = 'V';
    work[w + 2] = static_cast<uint8_t>(end - (w + 3));
    work[w + 3] = static_cast<uint8_t>(0x100 - ComputeAddingChecksum(work, w + 3));
    work[end] = VPD_TAG_END;
    std::memcpy(image, work, end + 1);
    return 0;
}

int InsertVxVpdField(uint8_t *image, const char *keyword, const uint8_t *value, uint32_t length)
{
    if (!image || !keyword || !value || length > VPD_MAX_FIELD_BYTES)
        return VPD_MISSING_ARGUMENT;
    if (image[0] != VPD_TAG_ID_STRING)
        return VPD_BAD_FORMAT;
    bool haveRo = false, haveRv = false;
    const uint32_t ro = find_offset(image, "\x90", &haveRo);
    const uint32_t p = find_offset(image, "RV", &haveRv);
    if (!haveRo || !haveRv)
        return VPD_FIELD_MISSING;
    const uint32_t c = p + 3 + length + 3; // the checksum byte
    // RV stretches to the last byte but one of the checksum byte's 128-byte
    // block; the end tag takes that last byte. A checksum byte that is itself
    // the last of its block would be overwritten: the next block is taken.
    uint32_t last = c | (kBlock - 1);
    if (last == c)
        last += kBlock;
    if (last >= VPD_MAX_BYTES)
        return VPD_BAD_FORMAT;
    image[p] = static_cast<uint8_t>(keyword[0]);
    image[p + 1] = static_cast<uint8_t>(keyword[0] ? keyword[1] : 0);
    image[p + 2] = static_cast<uint8_t>(length);
    std::memcpy(image + p + 3, value, length);
    const uint32_t rv = p + 3 + length;
    image[rv] = 'R';
    image[rv + 1] = 'V';
    image[rv + 2] = static_cast<uint8_t>(last - c);
    // The VPD-R length covers the section up to the end tag, so that the
    // section's own walk finds what was inserted.
    const uint32_t roLength = last - (ro + 3);
    image[ro + 1] = static_cast<uint8_t>(roLength & 0xFF);
    image[ro + 2] = static_cast<uint8_t>(roLength >> 8);
    image[c] = static_cast<uint8_t>(0x100 - ComputeAddingChecksum(image, c));
    std::memset(image + c + 1, 0, last - c - 1);
    image[last] = VPD_TAG_END;
    return 0;
}

int WriteVpd(int board, const uint8_t *image)
{
    if (!image || !AdapterExists(static_cast<uint32_t>(board)))
        return VPD_READ_ERROR;
    if (gAdapters[board].maxMailboxBytes <= REGION_PIECE_BYTES)
        return VPD_WRITE_TOO_SMALL_MAILBOX;
    MBOX_CMD mbox;
    std::memset(&mbox, 0, sizeof mbox);
    mbox.flags = 1;
    mbox.mbxCommand = MBX_UPDATE_CFG;
    uint8_t *b = reinterpret_cast<uint8_t *>(&mbox);
    b[4] = UPDATE_CFG_WRITE | 0x10 | 0x20;
    mbox_put_u16(b, 8, CONFIG_REGION_VPD);
    mbox_put_u16(b, 10, static_cast<uint16_t>(VPD_MAX_BYTES));
    mbox_put_u32(b, 16, VPD_MAX_BYTES);
    // The library answers into the data buffer: a copy keeps the caller's
    // image as it was.
    uint8_t data[VPD_MAX_BYTES];
    std::memcpy(data, image, sizeof data);
    const int r = KPL_IssueMboxWithRetryEx(board, &mbox, data, 5, VPD_MAX_BYTES / 4, 32, 2, MBOX_WAIT);
    if (r == 0 && mbox.mbxStatus == 0)
        return 0;
    QBprintf("Attempt to re-initialize Config Region\n");
    if (ReconstructRegion(board, CONFIG_REGION_VPD, VPD_MAX_BYTES) != 0) {
        QBprintf("Attempt to re-initialize Config Region fails\n");
        WIN_Error = VPD_REGION_LOST;
    }
    // The image did not reach the adapter, rebuilt region or not.
    return VPD_READ_ERROR;
}

int AppendVxVPDField(int board, const char *keyword, const uint8_t *value, uint32_t length)
{
    if (!keyword || !value || length > VPD_MAX_FIELD_BYTES)
        return VPD_MISSING_ARGUMENT;
    uint8_t image[VPD_MAX_BYTES];
    std::memset(image, 0, sizeof image);
    uint32_t got = 0;
    if (DumpConfigurationData(board, image, CONFIG_REGION_VPD, VPD_MAX_BYTES / 4, 0, &got) != 0)
        return VPD_READ_ERROR;
    uint8_t asRead[VPD_MAX_BYTES];
    std::memcpy(asRead, image, sizeof asRead);
    if (FindVpdTag(image, keyword)) {
        const int r = RemoveVxVpdField(image, keyword);
        if (r != 0)
            return r;
    }
    int r = InsertVxVpdField(image, keyword, value, length);
    if (r != 0)
        return r;
    r = WriteVpd(board, image);
    if (r == 0)
        return 0;
    // The new image did not land: the VPD as read goes back.
    const int back = WriteVpd(board, asRead);
    return back != 0 ? back : r;
}
