#include "hba/wakeup_parms.h"

#include <cstring>

#include "flash/engine_log.h"
#include "hba/adapter_family.h"
#include "hba/boot_images.h"
#include "hba/config_regions.h"
#include "hba/mbox_transport.h"

namespace {

const uint32_t kRecordBytes = sizeof(WAKEUP_PARMS);
// UPDATE_CFG of the record: write type, region 4, offset 0, data at 20.
const size_t kTypeByte = 4;
const size_t kRegionField = 8;
const size_t kEntryLengthField = 10;
const size_t kOffsetField = 12;
const size_t kLengthField = 16;
const size_t kDataOffset = 20;

// AIF header words used by BuildWakeupParms.
const uint32_t kAifHeaderBytes = 128;
const int kAifReadOnlySize = 5;
const int kAifReadWriteSize = 6;
const int kAifImageBase = 10;
const uint32_t kSmallImageBase = 0x20000;
const uint32_t kSmallImageLimit = 0x20000;
// Where the PRGs of an AIF file start.
const long kPrgsBehindHeader = 128;
const long kPrgsBehindArea = 131200;
const uint32_t kPrgHeaderBytes = 48;
const uint32_t kPrgListEnd = 0xFFFFFFFFu;
const int32_t kFileReadError = static_cast<int32_t>(0xFFF90001u);

uint8_t type_of(uint32_t programId0)
{
    return static_cast<uint8_t>(programId0 >> 24);
}

// Sends UPDATE_CFG with the record: 0, else the mailbox status (gErrorData set).
uint32_t write_record(int board, const WAKEUP_PARMS &record)
{
    MBOX_CMD m;
    std::memset(&m, 0, sizeof m);
    m.mbxCommand = MBX_UPDATE_CFG;
    uint8_t *b = reinterpret_cast<uint8_t *>(&m);
    b[kTypeByte] = UPDATE_CFG_WRITE;
    mbox_put_u16(b, kRegionField, static_cast<uint16_t>(CONFIG_REGION_WAKEUP));
    mbox_put_u16(b, kEntryLengthField, static_cast<uint16_t>(kRecordBytes));
    mbox_put_u32(b, kOffsetField, 0);
    mbox_put_u32(b, kLengthField, kRecordBytes);
    std::memcpy(b + kDataOffset, &record, kRecordBytes);
    uint32_t r = IssueMbox1(board, &m, 8, 44);
    if (r != 0) {
        gErrorData.command = m.mbxCommand;
        gErrorData.status = m.mbxStatus;
    }
    return r;
}

int read_record(int board, WAKEUP_PARMS &record)
{
    return ReadWakeupParms(board, reinterpret_cast<uint8_t *>(&record));
}

// Slot writes shared by the adapter and the copy update. A boot id on a 2 MB
// family adapter also names the expansion-ROM image and has it loaded.
DOWNLOAD_STATUS put_in_slot(int board, const uint32_t *programId, WAKEUP_PARMS &record, int slot, int noWrite)
{
    record.words[slot] = programId[0];
    record.words[slot + 1] = programId[1];
    if (type_of(programId[0]) == PRG_TYPE_BOOT && IsIt2MFamily(board)) {
        record.words[WAKEUP_SLOT_EXP_ROM] = programId[0];
        record.words[WAKEUP_SLOT_EXP_ROM + 1] = programId[1];
        return processLoadExpRom(board, &record, noWrite);
    }
    return DOWNLOAD_OK;
}

// One byte-reversed word group of an image file at a time: false when the
// file ends or fails first.
bool read_image_bytes(FILE *file, uint8_t *dst, uint32_t count)
{
    std::memset(dst, 0, count);
    for (uint32_t i = 0; i < count; ++i) {
        int c = std::fgetc(file);
        if (c == EOF)
            return false;
        dst[i ^ 3] = static_cast<uint8_t>(c);
    }
    return true;
}

uint32_t word_at(const uint8_t *bytes, int word)
{
    return mbox_u32(bytes, static_cast<size_t>(word) * 4);
}

} // namespace

int ReadWakeupParms(int board, uint8_t *parms)
{
    WAKEUP_PARMS record;
    std::memset(&record, 0, sizeof record);
    uint32_t read = 0;
    int r = DumpConfigurationData(board, reinterpret_cast<uint8_t *>(&record), CONFIG_REGION_WAKEUP,
                                  WAKEUP_PARMS_WORDS, 0, &read);
    if (r != 0)
        return r;
    // A short record would be written back with words the adapter never held.
    if (read < kRecordBytes)
        return static_cast<int>(WAKEUP_PARMS_ERROR);
    if (parms)
        std::memcpy(parms, &record, kRecordBytes);
    return 0;
}

int WakeupSlotOf(uint32_t programId0)
{
    switch (type_of(programId0)) {
    case PRG_TYPE_STUB:
        return WAKEUP_SLOT_STUB;
    case PRG_TYPE_BOOT:
        return WAKEUP_SLOT_BOOT;
    case PRG_TYPE_SLI1:
        return WAKEUP_SLOT_SLI1;
    case PRG_TYPE_SLI2:
        return WAKEUP_SLOT_SLI2;
    case PRG_TYPE_SLI3:
        return WAKEUP_SLOT_SLI3;
    case PRG_TYPE_SLI4:
        return WAKEUP_SLOT_SLI4;
    default:
        return WAKEUP_NO_SLOT;
    }
}

DOWNLOAD_STATUS UpdateWakeupParms(int board, const uint32_t *programId)
{
    WAKEUP_PARMS record;
    if (read_record(board, record) != 0) {
        QBprintf("Read fails  ");
        return WAKEUP_PARMS_ERROR;
    }
    const int slot = programId ? WakeupSlotOf(programId[0]) : WAKEUP_NO_SLOT;
    if (slot == WAKEUP_NO_SLOT)
        return WAKEUP_SLOT_ERROR;
    // A boot image the expansion ROM did not take is not named in the record.
    DOWNLOAD_STATUS r = put_in_slot(board, programId, record, slot, 0);
    if (r != DOWNLOAD_OK)
        return r;
    return static_cast<DOWNLOAD_STATUS>(write_record(board, record));
}

DOWNLOAD_STATUS UpdateTempWakeupParms(int board, const uint32_t *programId, WAKEUP_PARMS *copy)
{
    const int slot = programId ? WakeupSlotOf(programId[0]) : WAKEUP_NO_SLOT;
    if (slot == WAKEUP_NO_SLOT || slot == WAKEUP_SLOT_SLI4 || !copy)
        return WAKEUP_SLOT_ERROR;
    return put_in_slot(board, programId, *copy, slot, 1);
}

DOWNLOAD_STATUS UpdateAbsWakeupParms(int board, const WAKEUP_PARMS *record)
{
    if (!record)
        return WAKEUP_PARMS_ERROR;
    return write_record(board, *record) == 0 ? DOWNLOAD_OK : WAKEUP_PARMS_ERROR;
}

int IsWakeupImage(int board, const uint32_t *programId)
{
    WAKEUP_PARMS record;
    int r = read_record(board, record);
    if (r != 0)
        return r;
    const int slot = programId ? WakeupSlotOf(programId[0]) : WAKEUP_NO_SLOT;
    if (slot == WAKEUP_NO_SLOT)
        return 0;
    return record.words[slot] == programId[0] ? 1 : 0;
}

int32_t DisableBootBios(int board)
{
    WAKEUP_PARMS record;
    int r = read_record(board, record);
    if (r != 0)
        return r;
    record.words[WAKEUP_SLOT_BOOT] = 0;
    record.words[WAKEUP_SLOT_BOOT + 1] = 0;
    return write_record(board, record) == 0 ? 0 : static_cast<int32_t>(WAKEUP_PARMS_ERROR);
}

int32_t BuildWakeupParms(int board, FILE *file, uint8_t *aifHeader, WAKEUP_PARMS *out)
{
    (void)board;
    WAKEUP_PARMS record;
    std::memset(&record, 0, sizeof record);
    uint8_t header[kAifHeaderBytes];
    if (!file || !read_image_bytes(file, header, kAifHeaderBytes))
        return kFileReadError;
    if (aifHeader)
        std::memcpy(aifHeader, header, sizeof header);
    const uint32_t base = word_at(header, kAifImageBase);
    const uint64_t size = static_cast<uint64_t>(word_at(header, kAifReadOnlySize)) + word_at(header, kAifReadWriteSize);
    if (base == 0 && size <= kSmallImageLimit)
        return 0;

    bool filled = false;
    uint64_t at = base == kSmallImageBase ? kPrgsBehindHeader : kPrgsBehindArea;
    // Every step moves past a whole header, so the walk ends with the file.
    while (at <= 0x7FFFFFFF && std::fseek(file, static_cast<long>(at), SEEK_SET) == 0) {
        uint8_t prg[kPrgHeaderBytes];
        if (!read_image_bytes(file, prg, kPrgHeaderBytes))
            break;
        const uint32_t length = word_at(prg, 0);
        if (length == kPrgListEnd || length < kPrgHeaderBytes)
            break;
        const uint32_t id0 = word_at(prg, 1);
        const uint8_t type = type_of(id0);
        if (type == PRG_TYPE_STUB || type == PRG_TYPE_BOOT || type == PRG_TYPE_SLI1 || type == PRG_TYPE_SLI2) {
            const int slot = WakeupSlotOf(id0);
            record.words[slot] = id0;
            record.words[slot + 1] = word_at(prg, 2);
            filled = true;
        }
        at += length;
    }
    if (!filled)
        return 0;
    if (out)
        *out = record;
    return 1;
}
