#include "hba/config_regions.h"

#include <cstdlib>
#include <cstring>

#include "adapters/adapter_table.h"
#include "flash/debug_log.h"
#include "flash/engine_log.h"
#include "hba/mbox_commands.h"
#include "kpl.h"

namespace {

// Offsets of the DUMP and UPDATE_CFG commands in the mailbox.
const size_t kTypeByte = 4;
const size_t kRegionField = 8;
const size_t kOffsetField = 10;
const size_t kAddressField = 12;
const size_t kCountField = 16;
const size_t kDataOffset = 20;
const uint8_t kCommandBit = 0x10;
const uint8_t kSeparateBuffer = 0x20;
// Reply bytes behind offset 20 in the 32-word mailbox of SLI-2/3.
const uint32_t kReplyRoom = MBOX_SLI3_BYTES - kDataOffset;

// The flash load list's head word in adapter memory.
const uint32_t kLoadListHead = 0x79C;
const uint32_t kLoadEntryWords = 6;
// Flash layouts told by the first load-list entry's image address.
const uint32_t kLayoutLow = 0x20000;
const uint32_t kLayoutHigh = 0x40004;
const uint32_t kRegionBaseLow = 0x70000;
const uint32_t kRegionBaseHigh = 0x1E0000;
const uint32_t kRegionStride = 4096;
// The LOAD_SM word of the rebuild step: 0x123456 with flag bits 0x2A.
const uint32_t kLoadSmWord = 0x1234562A;

// The mailbox statuses of CLU_GenericDumpV2's refusals.
const uint16_t kDumpStatusRefused = 0xFFF7;
const uint16_t kDumpStatusAborted = 0xFFFD;
const uint16_t kDumpStatusBusy = 0xE0;

void note_failure(const MBOX_CMD &mbox)
{
    gErrorData.command = mbox.mbxCommand;
    gErrorData.status = mbox.mbxStatus;
}

// DUMP of `words` words of adapter memory at address; the words from offset 20.
uint32_t dump_memory_words(int board, MBOX_CMD &mbox, uint32_t address, uint32_t words)
{
    std::memset(&mbox, 0, sizeof mbox);
    mbox.mbxCommand = MBX_DUMP;
    uint8_t *b = reinterpret_cast<uint8_t *>(&mbox);
    b[kTypeByte] = DUMP_TYPE_MEMORY | kCommandBit;
    mbox_put_u32(b, kAddressField, address);
    mbox_put_u32(b, kCountField, words);
    return IssueMbox1(board, &mbox, 8, 44);
}

uint32_t update_cfg(int board, uint8_t type, int region, uint32_t size, bool sizeTwice)
{
    MBOX_CMD mbox;
    std::memset(&mbox, 0, sizeof mbox);
    mbox.mbxCommand = MBX_UPDATE_CFG;
    uint8_t *b = reinterpret_cast<uint8_t *>(&mbox);
    b[kTypeByte] = static_cast<uint8_t>(type | kCommandBit);
    if (type != UPDATE_CFG_CLEANUP) {
        mbox_put_u16(b, kRegionField, static_cast<uint16_t>(region));
        mbox_put_u16(b, kOffsetField, static_cast<uint16_t>(size));
        if (sizeTwice)
            mbox_put_u32(b, kCountField, size);
    }
    uint32_t r = IssueMbox1(board, &mbox, 8, 44);
    if (r != 0)
        note_failure(mbox);
    return r;
}

void swap_words(const uint8_t *source, uint8_t *destination, uint32_t length)
{
    for (uint32_t i = 0; i < length; ++i) {
        uint32_t to = i ^ 3u;
        destination[to < length ? to : i] = source[i];
    }
}

uint32_t rotl1(uint32_t v)
{
    return (v << 1) | (v >> 31);
}

} // namespace

int DumpConfigRegion(int index, int region, uint32_t offset, uint32_t *count, uint8_t *buffer)
{
    if (!count || (!buffer && *count != 0))
        return 1;
    if (isSLI4(index)) {
        if (region == CONFIG_REGION_IEEE)
            region = CONFIG_REGION_IEEE_SLI4;
        const uint32_t wanted = *count;
        int r = KPL_IssueDumpMBox(index, DUMP_TYPE_REGION, 0, region, offset, buffer, count);
        // The library never gets to say it read more than was asked for.
        if (*count > wanted)
            *count = wanted;
        return r;
    }

    uint32_t remaining = *count, done = 0, total = 0;
    while (remaining != 0) {
        const uint32_t piece = remaining < REGION_PIECE_BYTES ? remaining : REGION_PIECE_BYTES;
        const uint32_t position = offset + done;
        const uint32_t m = position & 3u;
        MBOX_CMD mbox;
        std::memset(&mbox, 0, sizeof mbox);
        mbox.mbxCommand = MBX_DUMP;
        uint8_t *b = reinterpret_cast<uint8_t *>(&mbox);
        b[kTypeByte] = DUMP_TYPE_REGION | kCommandBit;
        mbox_put_u16(b, kRegionField, static_cast<uint16_t>(region));
        mbox_put_u16(b, kOffsetField, static_cast<uint16_t>(position - m));
        mbox_put_u32(b, kCountField, (m != 0 ? piece + 4 : piece) / 4);
        uint32_t r = IssueMbox1(index, &mbox, 8, 44);
        if (r != 0)
            return static_cast<int>(r);
        // The adapter's count covers the reply from the aligned position; only
        // what it returned past the misalignment, within the reply area and the
        // piece, is the caller's data.
        uint32_t n = mbox_u32(b, kCountField);
        if (n > kReplyRoom)
            n = kReplyRoom;
        n = n > m ? n - m : 0;
        if (n > piece)
            n = piece;
        std::memcpy(buffer + done, b + kDataOffset + m, n);
        total += n;
        if (n < piece)
            break;
        remaining -= piece;
        done += piece;
    }
    *count = total;
    return 0;
}

int DumpConfigurationData(int board, uint8_t *buffer, int region, uint32_t words, uint32_t offset, uint32_t *read)
{
    // A word count whose byte count does not fit 32 bits is no read at all.
    if (words > UINT32_MAX / 4) {
        if (read)
            *read = 0;
        return 1;
    }
    uint32_t count = words * 4;
    int r = DumpConfigRegion(board, region, offset, &count, buffer);
    if (read)
        *read = r == 0 ? count : 0;
    return r;
}

int CLU_GenericDumpV2(int board, int type, int region, uint32_t wanted, uint32_t *read, uint8_t *buffer)
{
    if (!read || !buffer)
        return 1;
    // The data buffer holds 1000 bytes; more is never asked for.
    if (wanted > GENERIC_DUMP_MAX_BYTES)
        wanted = GENERIC_DUMP_MAX_BYTES;
    MBOX_CMD mbox;
    std::memset(&mbox, 0, sizeof mbox);
    uint8_t data[GENERIC_DUMP_MAX_BYTES];
    std::memset(data, 0, sizeof data);
    mbox.mbxCommand = MBX_DUMP;
    uint8_t *b = reinterpret_cast<uint8_t *>(&mbox);
    b[kTypeByte] = static_cast<uint8_t>((type & 0x0F) | kCommandBit | kSeparateBuffer);
    mbox_put_u16(b, kRegionField, static_cast<uint16_t>(region));
    mbox_put_u32(b, kCountField, wanted / 4);
    mbox_put_u32(b, kDataOffset, 0);
    const int words = static_cast<int>(wanted / 4);
    int r = KPL_IssueMboxWithRetryEx(board, &mbox, data, 5, words, words, 3, MBOX_WAIT);
    if (r != 0) {
        if ((r == 2 || r == -1) && (mbox.mbxStatus == kDumpStatusRefused || mbox.mbxStatus == kDumpStatusAborted))
            return GENERIC_DUMP_REFUSED;
        if (r == 2 && mbox.mbxStatus == kDumpStatusBusy)
            return GENERIC_DUMP_BUSY;
        return 1;
    }
    uint32_t n = mbox_u32(b, kCountField);
    if (n > wanted)
        n = wanted;
    std::memcpy(buffer, data, n);
    *read = n;
    return 0;
}

int CLU_ReadConfigRegion(int board, int region, uint32_t wanted, uint32_t *read, uint8_t *buffer)
{
    return CLU_GenericDumpV2(board, DUMP_TYPE_REGION, region, wanted, read, buffer);
}

uint32_t ReadNvramParams(int board, MBOX_CMD *mbox)
{
    if (!mbox)
        return MBOX_FAILED;
    std::memset(mbox, 0, sizeof *mbox);
    mbox->mbxCommand = MBX_READ_NV;
    uint8_t *b = reinterpret_cast<uint8_t *>(mbox);
    mbox_put_u32(b, 4, 0xFFFFFFFFu);
    mbox_put_u32(b, 8, 0xFFFFFFFFu);
    mbox_put_u32(b, 12, 0xFFFFFFFFu);
    mbox_put_u32(b, 16, 0);
    uint32_t r = IssueMbox1(board, mbox, 8, 44);
    if (r != 0)
        note_failure(*mbox);
    return r;
}

uint32_t InitializeRegion(int board, int region, uint32_t size)
{
    return update_cfg(board, UPDATE_CFG_INIT, region, size, false) == 0 ? 0 : MBOX_FAILED;
}

uint32_t CleanupRegionConfig(int board)
{
    return update_cfg(board, UPDATE_CFG_CLEANUP, 0, 0, false);
}

uint32_t ReconstructRegion(int board, int region, uint32_t size)
{
    const unsigned r_no = static_cast<unsigned>(region);
    MBOX_CMD mbox;
    uint32_t r = dump_memory_words(board, mbox, kLoadListHead, 1);
    if (r != 0) {
        logDebugOutput("\n[ReconstructRegion] - Region %u - IssueMbox1 v1 %d\n", r_no, static_cast<int>(r));
        return r;
    }
    const uint32_t first = mbox_u32(&mbox, kDataOffset);
    r = dump_memory_words(board, mbox, first, kLoadEntryWords);
    if (r != 0) {
        logDebugOutput("\n[ReconstructRegion] - Region %u - IssueMbox1 v2 %X\n", r_no, r);
        return r;
    }
    const uint32_t layout = mbox_u32(&mbox, kDataOffset + 8) & 0xFFFFFu;
    uint32_t base;
    if (layout == kLayoutLow)
        base = kRegionBaseLow;
    else if (layout == kLayoutHigh)
        base = kRegionBaseHigh;
    else
        return RECONSTRUCT_UNKNOWN_LAYOUT;

    std::memset(&mbox, 0, sizeof mbox);
    mbox.mbxCommand = MBX_LOAD_SM;
    mbox_put_u32(&mbox, 4, kLoadSmWord);
    mbox_put_u32(&mbox, 8, base + static_cast<uint32_t>(region) * kRegionStride);
    mbox_put_u32(&mbox, 12, 4);
    mbox_put_u32(&mbox, 16, 20);
    r = IssueMbox1(board, &mbox, 8, 44);
    if (r != 0) {
        logDebugOutput("\n[ReconstructRegion] - Region %u - IssueMbox1 v3 %X\n", r_no, r);
        return r;
    }
    r = update_cfg(board, UPDATE_CFG_CLEANUP, 0, 0, false);
    if (r != 0) {
        logDebugOutput("\n[ReconstructRegion] - Region %u - IssueMbox1 v4 %d\n", r_no, static_cast<int>(r));
        return r;
    }
    r = update_cfg(board, UPDATE_CFG_INIT, region, size, true);
    if (r != 0) {
        logDebugOutput("\n[ReconstructRegion] - Region %u - IssueMbox1 v5 %d\n", r_no, static_cast<int>(r));
        return r;
    }
    return 0;
}

void SwapBytes(const uint8_t *source, uint8_t *destination, uint32_t length)
{
    if (!source || !destination)
        return;
    swap_words(source, destination, static_cast<uint16_t>(length));
}

void SwapBytes0(uint8_t *buffer, uint32_t length)
{
    if (!buffer || length == 0)
        return;
    uint8_t *scratch = static_cast<uint8_t *>(std::calloc(length, 1));
    if (!scratch) {
        QBprintf("SwapBytes0: No buffer allocated\n");
        return;
    }
    swap_words(buffer, scratch, length);
    std::memcpy(buffer, scratch, length);
    std::free(scratch);
}

uint32_t ValidateChecksum(const uint32_t *first, const uint32_t *last)
{
    uint32_t c = 0xAAAAAAAAu;
    if (first && last) {
        for (const uint32_t *w = first; w <= last; ++w) {
            uint32_t v;
            std::memcpy(&v, w, sizeof v);
            c = rotl1(c) ^ v;
        }
    }
    return rotl1(c);
}
