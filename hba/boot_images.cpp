#include "hba/boot_images.h"

#include <cstring>

#include "adapters/adapter_table.h"
#include "flash/engine_log.h"
#include "flash/fc_image_files.h"
#include "hba/adapter_family.h"
#include "hba/download_security.h"
#include "hba/load_lists.h"
#include "hba/mbox_commands.h"
#include "hba/mbox_transport.h"
#include "hba/program_ids.inc"

uint32_t bootId[BOOT_ID_SLOTS][2];

namespace {

const size_t kProgressByte = 5;
const size_t kSubCommandByte = 6;
const size_t kAddressField = 8;
const size_t kIdWord0Field = 16;
const size_t kIdWord1Field = 20;

// One LOAD_EXP_ROM command: 0 with *progress and *address from the answer,
// else the mailbox status (gErrorData set).
uint32_t send_step(int board, const WAKEUP_PARMS &record, uint8_t sub, uint32_t *address, uint8_t *progress)
{
    MBOX_CMD m;
    std::memset(&m, 0, sizeof m);
    m.mbxCommand = MBX_LOAD_EXP_ROM;
    uint8_t *b = reinterpret_cast<uint8_t *>(&m);
    b[kSubCommandByte] = sub;
    mbox_put_u32(b, kAddressField, *address);
    mbox_put_u32(b, kIdWord0Field, record.words[WAKEUP_SLOT_EXP_ROM]);
    mbox_put_u32(b, kIdWord1Field, record.words[WAKEUP_SLOT_EXP_ROM + 1]);
    uint32_t r = IssueMbox1(board, &m, 8, 44);
    if (r != 0) {
        gErrorData.command = m.mbxCommand;
        gErrorData.status = m.mbxStatus;
        return r;
    }
    *progress = b[kProgressByte];
    *address = mbox_u32(b, kAddressField);
    return 0;
}

} // namespace

DOWNLOAD_STATUS processLoadExpRom(int board, WAKEUP_PARMS *record, int noWrite)
{
    if (!record)
        return WAKEUP_PARMS_ERROR;
    uint32_t address = 0;
    uint8_t progress = 0;
    uint32_t r = send_step(board, *record, LOAD_EXP_ROM_START, &address, &progress);
    if (r != 0)
        return static_cast<DOWNLOAD_STATUS>(r);
    // Done at once: the record is written even under noWrite.
    if (progress == LOAD_EXP_ROM_DONE)
        return UpdateAbsWakeupParms(board, record);
    if (progress != LOAD_EXP_ROM_BUSY)
        return LOAD_PROGRESS_ERROR;

    // An adapter that never reaches the awaited answer is given up on.
    const uint8_t phases[2][2] = {{LOAD_EXP_ROM_CONTINUE, LOAD_EXP_ROM_LOADED},
                                  {LOAD_EXP_ROM_FINISH, LOAD_EXP_ROM_DONE}};
    uint32_t steps = 0;
    for (const uint8_t *phase : phases) {
        const uint8_t sub = phase[0], until = phase[1];
        do {
            if (steps++ == LOAD_EXP_ROM_MAX_STEPS)
                return LOAD_PROGRESS_ERROR;
            r = send_step(board, *record, sub, &address, &progress);
            if (r != 0)
                return static_cast<DOWNLOAD_STATUS>(r);
        } while (progress != until);
    }
    if (noWrite == 0)
        return UpdateAbsWakeupParms(board, record);
    return DOWNLOAD_OK;
}

namespace {

const DOWNLOAD_STATUS kReadError = DownloadStatusOf(INVALID_IMAGE_ERROR, ERROR_READING_FILE);
const DOWNLOAD_STATUS kIncorrectAdapter = DownloadStatusOf(INCOMPAT_IMAGE_ERROR, INCORRECT_ADPT);

// PRGs of a DWC image start behind its AIF header and one more word.
const long kDwcPrgStart = 132;
const uint32_t kPrgListEnd = 0xFFFFFFFFu;
const uint32_t kAifHeaderBytes = 128;

enum WalkStep { WALK_ON, WALK_STOP };

// Walks the PRGs of the DWC image at `offset`, calling visit(header, start)
// with the file positioned behind each PRG header. The walk ends at the end
// mark or at the end of the image's data; a PRG shorter than its header or
// running past the image's data is 0xFFF90001. visit answers WALK_ON,
// WALK_STOP, or sets *result and stops by returning WALK_STOP.
template <typename Visit> DOWNLOAD_STATUS walk_dwc_prgs(FILE *file, long offset, Visit visit)
{
    if (!file || offset < 0 || std::fseek(file, offset, SEEK_SET) != 0)
        return kReadError;
    const long size = ImageFileSize(file);
    uint8_t aif[kAifHeaderBytes];
    if (size < 0 || std::fread(aif, 1, sizeof aif, file) != sizeof aif)
        return kReadError;
    // The image's data: read-only plus read-write bytes behind the header,
    // and never past the file.
    uint64_t end = static_cast<uint64_t>(offset) + kAifHeaderBytes + ImageFileWord(aif + 4 * 5) + ImageFileWord(aif + 4 * 6);
    if (end > static_cast<uint64_t>(size))
        end = static_cast<uint64_t>(size);
    uint64_t at = static_cast<uint64_t>(offset) + kDwcPrgStart;
    for (;;) {
        if (at + 4 > end)
            return DOWNLOAD_OK;
        if (std::fseek(file, static_cast<long>(at), SEEK_SET) != 0)
            return kReadError;
        uint8_t raw[PRG_HEADER_SIZE];
        const size_t want = end - at < PRG_HEADER_SIZE ? static_cast<size_t>(end - at) : PRG_HEADER_SIZE;
        if (std::fread(raw, 1, want, file) != want)
            return kReadError;
        const uint32_t length = ImageFileWord(raw);
        if (length == kPrgListEnd)
            return DOWNLOAD_OK;
        if (want < PRG_HEADER_SIZE || length < PRG_HEADER_SIZE || at + length > end)
            return kReadError;
        PRG_HEADER h;
        uint32_t *w = reinterpret_cast<uint32_t *>(&h);
        for (uint32_t i = 0; i < PRG_HEADER_SIZE / 4; ++i)
            w[i] = ImageFileWord(raw + 4 * i);
        if (visit(h, static_cast<long>(at)) == WALK_STOP)
            return DOWNLOAD_OK;
        at += length;
    }
}

// Boot code tables of the absolute checks by family.
enum Condition : uint8_t { ALWAYS, IF_DC, IF_DEVICE };

struct Choice {
    Condition when;
    uint16_t device;
    const uint8_t *table;
};

struct BootRow {
    uint16_t families[4]; // 0 ends the list
    bool byPrg;           // the boot PRG's id is looked up, else the container's
    bool bwcOnly;         // a row of the BWC check only
    Choice choices[2];
};

constexpr Choice one(const uint8_t *t)
{
    return Choice{ALWAYS, 0, t};
}

const BootRow kBootRows[] = {
    {{0xF980, 0xF98D}, false, false, {one(T3_7), {}}},
    {{0xF098}, false, false, {one(T3_8), {}}},
    {{0xF0A1}, false, false, {{IF_DEVICE, 0xFC01, T3_9}, one(T3_10)}},
    {{0xFA00}, false, false, {{IF_DEVICE, 0xFC00, T3_11}, one(T3_12)}},
    {{0xF0A5}, false, false, {{IF_DEVICE, 0xFC05, T3_13}, one(T3_14)}},
    {{0xFB00}, false, true, {one(T3_15), {}}},
    {{0xFD00}, false, false, {{IF_DC, 0, T3_16}, one(T3_17)}},
    {{0xFC10}, false, false, {{IF_DC, 0, T3_19}, one(T3_20)}},
    {{0xFE05}, false, false, {{IF_DC, 0, T3_32}, one(T3_33)}},
    {{0xFE00}, false, false, {{IF_DC, 0, T3_30}, one(T3_31)}},
    {{0xFC20}, false, false, {{IF_DC, 0, T3_36}, one(T3_37)}},
    {{0xFE04}, false, true, {one(T3_29), {}}},
    {{0xF0D5}, true, false, {one(T3_18), {}}},
    {{0xF0D1}, true, false, {one(T3_21), {}}},
    {{0xFD11}, true, false, {one(T3_22), {}}},
    {{0xFD12}, true, false, {one(T3_23), {}}},
    {{0xF100, 0xF10B, 0x338F, 0xF104}, true, false, {{IF_DC, 0, T3_24}, one(T3_25)}},
    {{0xF111, 0xF112}, true, false, {one(T3_25), {}}},
    {{0xF015}, true, false, {{IF_DC, 0, T3_26}, one(T3_27)}},
    {{0xF011}, true, false, {one(T3_28), {}}},
    {{0xF0E5}, true, false, {one(T3_43), {}}},
    {{0xF0E1}, true, false, {one(T3_35), {}}},
    {{0xFE11}, true, false, {one(T3_38), {}}},
    {{0xFE12}, true, false, {one(T3_39), {}}},
    {{0xF0F5, 0xF0F6, 0xF0F7}, true, false, {one(T3_40), {}}},
    {{0xFC30}, true, false, {one(T3_41), {}}},
    {{0xF180}, true, false, {one(T3_42), {}}},
};

// The first bootId slot holding the copy's word 13, or -1.
int active_slot(const WAKEUP_PARMS &copy)
{
    for (uint32_t i = 0; i < BOOT_ID_SLOTS; ++i)
        if (bootId[i][0] == copy.words[WAKEUP_SLOT_EXP_ROM])
            return static_cast<int>(i);
    return -1;
}

void take_slot(WAKEUP_PARMS *copy, int first, int slot)
{
    copy->words[first] = bootId[slot][0];
    copy->words[first + 1] = bootId[slot][1];
}

enum KeepRule { KEEP_DWC1, KEEP_DWC2, KEEP_BWC };

DOWNLOAD_STATUS keep_boot_image(int board, WAKEUP_PARMS *copy, int *changed, KeepRule rule, uint32_t newBootId)
{
    GetBootBiosImages1(board);
    if (changed)
        *changed = 0;
    if (!copy)
        return WAKEUP_PARMS_ERROR;
    const int slot = active_slot(*copy);
    if (slot < 0 && rule != KEEP_BWC)
        return DOWNLOAD_OK;
    if (slot >= 0) {
        take_slot(copy, WAKEUP_SLOT_EXP_ROM, slot);
        if (rule == KEEP_DWC2 || (rule == KEEP_BWC && copy->words[WAKEUP_SLOT_BOOT] != 0))
            take_slot(copy, WAKEUP_SLOT_BOOT, slot);
    } else {
        copy->words[WAKEUP_SLOT_EXP_ROM] = newBootId;
        if (copy->words[WAKEUP_SLOT_BOOT] != 0)
            copy->words[WAKEUP_SLOT_BOOT] = newBootId;
    }
    const DOWNLOAD_STATUS r = processLoadExpRom(board, copy, 0);
    if (changed)
        *changed = 1;
    return r;
}

} // namespace

void GetBootBiosImages1(int board)
{
    uint8_t word[4];
    if (DumpMemory(board, word, FLASH_LOAD_LIST_HEAD, 1) != 0)
        return;
    uint32_t address = mbox_u32(word, 0);
    uint32_t visited[BOOT_LIST_MAX_ENTRIES];
    uint32_t filled = 0;
    // The adapter's links are not trusted to end: a link back to an entry
    // already read ends the walk, and so does the entry bound.
    for (uint32_t n = 0; n < BOOT_LIST_MAX_ENTRIES && address != FLASH_LOAD_LIST_HEAD; ++n) {
        for (uint32_t i = 0; i < n; ++i)
            if (visited[i] == address)
                return;
        visited[n] = address;
        uint8_t entry[FLASH_LOAD_ENTRY_WORDS * 4];
        if (DumpMemory(board, entry, address, FLASH_LOAD_ENTRY_WORDS) != 0)
            return;
        const uint32_t id0 = mbox_u32(entry, 16);
        if (id0 != 0 && id0 != 0xFFFFFFFFu && (id0 >> 24) == LOAD_IMAGE_TYPE_BOOT) {
            bootId[filled][0] = id0;
            bootId[filled][1] = mbox_u32(entry, 20);
            if (++filled == BOOT_ID_SLOTS)
                return;
        }
        address = mbox_u32(entry, 0);
    }
}

DOWNLOAD_STATUS maintainBootBios_DWC1(int board, WAKEUP_PARMS *copy, int *changed)
{
    return keep_boot_image(board, copy, changed, KEEP_DWC1, 0);
}

DOWNLOAD_STATUS maintainBootBios_DWC2(int board, WAKEUP_PARMS *copy, int *changed)
{
    return keep_boot_image(board, copy, changed, KEEP_DWC2, 0);
}

DOWNLOAD_STATUS maintainBootBios_BWC(int board, WAKEUP_PARMS *copy, int *changed, uint32_t newBootId)
{
    return keep_boot_image(board, copy, changed, KEEP_BWC, newBootId);
}

int32_t BuildWakeupParms2Mb_DWC(int board, int32_t fileKind, int setMode, FILE *file, long offset,
                                const uint32_t *aifHeader, WAKEUP_PARMS *out)
{
    (void)aifHeader;
    std::memset(bootId, 0, sizeof bootId);
    WAKEUP_PARMS cur;
    if (!out || ReadWakeupParms(board, reinterpret_cast<uint8_t *>(&cur)) != 0)
        return WAKEUP_PARMS_ERROR;
    WAKEUP_PARMS work = cur;
    int changed = 0;
    DOWNLOAD_STATUS bootLoad = DOWNLOAD_OK;
    const uint32_t w13 = cur.words[WAKEUP_SLOT_EXP_ROM], w3 = cur.words[WAKEUP_SLOT_BOOT];
    DOWNLOAD_STATUS r = walk_dwc_prgs(file, offset, [&](const PRG_HEADER &h, long) {
        const uint8_t type = static_cast<uint8_t>(h.programId[0] >> 24);
        int slot = WAKEUP_NO_SLOT;
        switch (type) {
        case PRG_TYPE_STUB:
        case PRG_TYPE_SLI1:
        case PRG_TYPE_SLI2:
        case PRG_TYPE_SLI3:
        case PRG_TYPE_SLI4:
            slot = WakeupSlotOf(h.programId[0]);
            break;
        case PRG_TYPE_BOOT:
            // The boot image's own id is never written here: only the keep
            // rules move the active one.
            if (w13 != 0 && (setMode == SET_MODE_ALL || fileKind == DWCext)) {
                int ch = 0;
                DOWNLOAD_STATUS s = DOWNLOAD_OK;
                if (w3 == 0)
                    s = maintainBootBios_DWC1(board, &work, &ch);
                else if (w3 == w13)
                    s = maintainBootBios_DWC2(board, &work, &ch);
                if (ch)
                    changed = 1;
                if (s != DOWNLOAD_OK && bootLoad == DOWNLOAD_OK)
                    bootLoad = s;
            }
            break;
        default:
            break;
        }
        if (slot != WAKEUP_NO_SLOT) {
            work.words[slot] = h.programId[0];
            work.words[slot + 1] = h.programId[1];
            changed = 1;
        }
        return WALK_ON;
    });
    *out = work;
    if (r != DOWNLOAD_OK)
        return r;
    // An expansion ROM left without the kept image is a failed record.
    if (bootLoad != DOWNLOAD_OK)
        return WAKEUP_PARMS_ERROR;
    return changed;
}

int32_t BuildWakeupParms2Mb_BWC(int board, int32_t fileKind, FILE *file, long offset, const uint32_t *aifHeader,
                                WAKEUP_PARMS *copy)
{
    (void)file;
    (void)offset;
    if (!copy || !aifHeader)
        return WAKEUP_PARMS_ERROR;
    const uint32_t id = aifHeader[14];
    uint32_t *w = copy->words;
    DOWNLOAD_STATUS r = DOWNLOAD_OK;
    if (fileKind == BWCext) {
        w[WAKEUP_SLOT_BOOT] = id;
        w[WAKEUP_SLOT_BOOT + 1] = 0;
        w[WAKEUP_SLOT_EXP_ROM] = id;
        w[WAKEUP_SLOT_EXP_ROM + 1] = 0;
    } else if (fileKind == ALLext) {
        if (w[WAKEUP_SLOT_EXP_ROM] == 0 || w[WAKEUP_SLOT_EXP_ROM] == id) {
            if (w[WAKEUP_SLOT_EXP_ROM] == id && w[WAKEUP_SLOT_BOOT] != 0) {
                w[WAKEUP_SLOT_BOOT] = id;
                w[WAKEUP_SLOT_BOOT + 1] = 0;
            }
            w[WAKEUP_SLOT_EXP_ROM] = id;
            w[WAKEUP_SLOT_EXP_ROM + 1] = 0;
            r = processLoadExpRom(board, copy, 0);
        } else {
            int changed = 0;
            r = maintainBootBios_BWC(board, copy, &changed, id);
        }
    }
    return r == DOWNLOAD_OK ? 1 : WAKEUP_PARMS_ERROR;
}

const uint8_t *AbsBootTable(int board, uint32_t family, bool forBwc, bool *byPrg)
{
    if (byPrg)
        *byPrg = false;
    const uint32_t index = static_cast<uint8_t>(board);
    if (!gAdapters || !AdapterExists4(index))
        return nullptr;
    const _Adapter &a = gAdapters[index];
    for (const BootRow &row : kBootRows) {
        bool hit = false;
        for (uint16_t f : row.families)
            hit = hit || (f != 0 && f == family);
        if (!hit || (row.bwcOnly && !forBwc))
            continue;
        if (byPrg)
            *byPrg = row.byPrg && !forBwc;
        for (const Choice &c : row.choices) {
            if (!c.table)
                continue;
            if (c.when == ALWAYS || (c.when == IF_DC && (a.flags & ADAPTER_FLAG_DUAL_CHANNEL) != 0) ||
                (c.when == IF_DEVICE && a.deviceId == c.device))
                return c.table;
        }
        return nullptr;
    }
    return nullptr;
}

DOWNLOAD_STATUS ValidateBootBIOS(int board, long offset, const uint32_t *aifHeader, FILE *file)
{
    if (!aifHeader)
        return kReadError;
    const uint8_t containerId = static_cast<uint8_t>(aifHeader[14] >> 16);
    const uint32_t family = AdapterFamily(static_cast<uint8_t>(board));
    DOWNLOAD_STATUS result = DOWNLOAD_OK;
    DOWNLOAD_STATUS r = walk_dwc_prgs(file, offset, [&](const PRG_HEADER &h, long) {
        if ((h.programId[0] >> 24) != PRG_TYPE_BOOT)
            return WALK_ON;
        // Only the first boot PRG is tested.
        QBprintf("Boot BIOS imageID %x\n", containerId);
        bool byPrg = false;
        const uint8_t *table = AbsBootTable(board, family, false, &byPrg);
        const uint8_t id = byPrg ? static_cast<uint8_t>(h.programId[0] >> 16) : containerId;
        if (table && checkId(id, table) != 0) {
            QBprintf("Incompatible Image - Incorrect Adapter\n");
            result = kIncorrectAdapter;
        }
        return WALK_STOP;
    });
    return r != DOWNLOAD_OK ? r : result;
}

DOWNLOAD_STATUS ValidateAuthenticatePRG(int board, long offset, FILE *file, uint8_t *signedImage)
{
    DOWNLOAD_STATUS result = DOWNLOAD_OK;
    DOWNLOAD_STATUS r = walk_dwc_prgs(file, offset, [&](const PRG_HEADER &h, long) {
        uint32_t a = AuthenticatePRG(board, file, reinterpret_cast<const uint8_t *>(&h), signedImage);
        if (a != 0) {
            QBprintf("Authentication Error\n");
            result = static_cast<DOWNLOAD_STATUS>(a);
            return WALK_STOP;
        }
        return WALK_ON;
    });
    return r != DOWNLOAD_OK ? r : result;
}
