#include "hba/absolute_download.h"

#include <cstring>
#include <initializer_list>

#include "adapters/adapter_table.h"
#include "flash/engine_log.h"
#include "flash/fc_image_files.h"
#include "hba/adapter_family.h"
#include "hba/boot_images.h"
#include "hba/download_security.h"
#include "hba/mbox_commands.h"
#include "hba/mbox_transport.h"
#include "hba/program_ids.inc"
#include "hba/vpd.h"

namespace {

const DOWNLOAD_STATUS kReadError = DownloadStatusOf(INVALID_IMAGE_ERROR, ERROR_READING_FILE);
const DOWNLOAD_STATUS kShortImage = DownloadStatusOf(INVALID_IMAGE_ERROR, SHORT_IMAGE);
const DOWNLOAD_STATUS kLongImage = DownloadStatusOf(INVALID_IMAGE_ERROR, LONG_IMAGE);
const DOWNLOAD_STATUS kBadBase = DownloadStatusOf(INVALID_IMAGE_ERROR, INVALID_IMAGE_BASE);
const DOWNLOAD_STATUS kIncorrectAdapter = DownloadStatusOf(INCOMPAT_IMAGE_ERROR, INCORRECT_ADPT);

const uint32_t kHollinFamily = 0xF180;
// Bytes of an image's header, and with its checksum word.
const uint32_t kHeaderBytes = 128;
const uint32_t kHeaderAndChecksum = 132;
// Offset of the data in a load command.
const uint32_t kDataOffset = 20;
const uint8_t kVpdAnyType = 255;

// ---------------------------------------------------------------------------
// Image family map of AWC images: id byte at file offset 624 to family.

struct FamilyOfId {
    uint8_t id;
    uint16_t family;
    bool marked;
};

const FamilyOfId kImageFamilies[] = {
    {0x10, 0x1AE5, false}, {0x11, 0x1AE5, false}, {0x12, 0xF700, false}, {0x13, 0xF700, false},
    {0x14, 0xF0E1, false}, {0x15, 0xF0E1, false}, {0x16, 0xF800, false}, {0x17, 0xF800, false},
    {0x18, 0xF085, false}, {0x19, 0xF085, false}, {0x1A, 0xF900, false}, {0x1B, 0xF900, false},
    {0x1C, 0xF095, false}, {0x1D, 0xF095, false}, {0x20, 0xF980, false}, {0x21, 0xF980, false},
    {0x22, 0xF098, false}, {0x23, 0xF098, false}, {0x24, 0xFA00, false}, {0x25, 0xFA00, false},
    {0x26, 0xF0A5, false}, {0x27, 0xF0A5, false}, {0x28, 0xFB00, false}, {0x29, 0xFB00, false},
    {0x2A, 0xF0A1, false}, {0x2B, 0xF0A1, false}, {0x30, 0xFD00, false}, {0x31, 0xFD00, true},
    {0x32, 0xF0D5, false}, {0x33, 0xF0D5, false}, {0x34, 0xF0D1, false}, {0x35, 0xF0D1, false},
    {0x40, 0xF100, true},  {0x41, 0xF100, true},  {0x42, 0xF015, false}, {0x43, 0xF015, false},
    {0x44, 0xF011, false}, {0x45, 0xF011, false}, {0xBE, 0xFE00, false}, {0xBF, 0xFE00, true},
    {0x50, 0xFE05, false}, {0x51, 0xFE05, false}, {0x52, 0xF0E5, false}, {0x56, 0xF180, false},
};
static_assert(sizeof kImageFamilies / sizeof kImageFamilies[0] == 44, "44 ids in the image family map");

// The marked id of a family, 0 when it has none.
uint8_t marked_id_of(uint16_t family)
{
    for (const FamilyOfId &f : kImageFamilies)
        if (f.marked && f.family == family)
            return f.id;
    return 0;
}

bool is_one_of(uint32_t v, std::initializer_list<uint32_t> list)
{
    for (uint32_t x : list)
        if (x == v)
            return true;
    return false;
}

// The image family an adapter family needs of an AWC image:
// 0 when every image passes.
enum AwcNeed { AWC_ANY, AWC_FAMILY, AWC_MARKED };

AwcNeed awc_need(uint32_t family, uint32_t *need)
{
    if (family == 0xF980 || family == 0xF98D) {
        *need = 0xF980;
        return AWC_FAMILY;
    }
    if (is_one_of(family, {0xF098, 0xF0A1, 0xFA00, 0xF0A5, 0xFB00, 0xFD00, 0xF0D5, 0xF0D1, 0xF015, 0xF011, 0xFE05,
                           0xFE00, 0xF0E5, 0xF180})) {
        *need = family;
        return AWC_FAMILY;
    }
    if (is_one_of(family, {0xF100, 0xF104, 0xF10B, 0x338F, 0xF111, 0xF112, 0xFC40})) {
        *need = 0xF100;
        return AWC_FAMILY;
    }
    if (is_one_of(family, {0xF0F5, 0xF0F6, 0xF0F7, 0xFC30})) {
        *need = 0xF0F5;
        return AWC_FAMILY;
    }
    if (is_one_of(family, {0xFC10, 0xFD11, 0xFD12})) {
        *need = marked_id_of(0xFD00);
        return AWC_MARKED;
    }
    if (is_one_of(family, {0xFC20, 0xFE04, 0xFE11, 0xFE12})) {
        *need = marked_id_of(0xFE00);
        return AWC_MARKED;
    }
    return AWC_ANY;
}

// The family an .ALL's AWC image must have for the adapter to skip it when
// its version is the running one; 0: never skipped.
uint32_t skip_family(uint32_t family)
{
    if (family == 0xF980 || family == 0xF98D)
        return 0xF980;
    if (is_one_of(family, {0xF100, 0xF104, 0xF10B, 0xF111, 0xF112, 0x338F}))
        return 0xF100;
    if (family == 0xFE00 || family == 0xFE04)
        return 0xFE00;
    if (is_one_of(family, {0xF098, 0xF0A1, 0xFA00, 0xF0A5, 0xFB00, 0xFD00, 0xF0D5, 0xF0D1, 0xF015, 0xF011, 0xFE05,
                           0xF0E5, 0xF0E1, 0xF0F5, 0xF180}))
        return family;
    return 0;
}

// ---------------------------------------------------------------------------
// SLI-2 tables of a DWC image's contents by family.

enum Condition : uint8_t { ALWAYS, IF_DC, IF_IBM, IF_DC_AND_IBM };

struct Choice {
    Condition when;
    const uint8_t *table;
};

struct DwcRow {
    uint16_t families[4];
    Choice choices[4];
};

constexpr Choice one(const uint8_t *t)
{
    return Choice{ALWAYS, t};
}

// A family may have several rows; the id must be listed by each.
const DwcRow kDwcRows[] = {
    {{0xFB00}, {one(T7_14)}},
    {{0xFD00}, {{IF_DC_AND_IBM, T7_15}, {IF_DC, T7_16}, {IF_IBM, T7_17}, one(T7_18)}},
    {{0xFC10}, {{IF_DC, T7_21}, one(T7_22)}},
    {{0xF0D5}, {one(T7_19)}},
    {{0xF0D1}, {one(T7_20)}},
    {{0xFD11}, {one(T7_23)}},
    {{0xFD12}, {one(T7_24)}},
    {{0xF100, 0xF111, 0xF104}, {{IF_DC, T7_25}, one(T7_26)}},
    {{0xF015}, {{IF_DC, T7_27}, one(T7_28)}},
    {{0xF011}, {one(T7_31)}},
    {{0xF10B}, {one(T7_29)}},
    {{0x338F}, {one(T7_30)}},
    {{0xFE04}, {one(T7_38)}},
    {{0xFE00}, {{IF_DC_AND_IBM, T7_32}, {IF_DC, T7_33}, {IF_IBM, T7_34}, one(T7_35)}},
    {{0xFE00}, {{IF_DC, T7_33}, one(T7_35)}},
    {{0xFE05}, {{IF_DC, T7_36}, one(T7_37)}},
    {{0xFC20}, {{IF_DC, T7_40}, one(T7_41)}},
    {{0xF0E5}, {one(T7_39)}},
    {{0xF0E1}, {one(T7_42)}},
    {{0xFE11}, {one(T7_43)}},
    {{0xFE12}, {one(T7_44)}},
    {{0xF0A1}, {one(T7_11)}},
    {{0xF0F5, 0xFC30, 0xF0F6, 0xF0F7}, {one(T7_45)}},
    {{0xFA00}, {one(T7_12)}},
    {{0xF0A5}, {one(T7_13)}},
    {{0xF980}, {one(T7_8)}},
    {{0xF98D}, {one(T7_9)}},
    {{0xF098}, {one(T7_10)}},
    {{0xF180}, {one(T7_46)}},
};

const _Adapter *entry_of(int board)
{
    const uint32_t index = static_cast<uint8_t>(board);
    return gAdapters && AdapterExists4(index) ? &gAdapters[index] : nullptr;
}

bool holds(Condition c, const _Adapter &a)
{
    const bool dc = (a.flags & ADAPTER_FLAG_DUAL_CHANNEL) != 0;
    const bool ibm = a.ibmPSeries != 0;
    switch (c) {
    case ALWAYS:
        return true;
    case IF_DC:
        return dc;
    case IF_IBM:
        return ibm;
    case IF_DC_AND_IBM:
        return dc && ibm;
    }
    return false;
}

bool dwc_sli2_listed(int board, uint32_t family, uint8_t id)
{
    const _Adapter *a = entry_of(board);
    if (!a)
        return true;
    for (const DwcRow &row : kDwcRows) {
        bool hit = false;
        for (uint16_t f : row.families)
            hit = hit || (f != 0 && f == family);
        if (!hit)
            continue;
        for (const Choice &c : row.choices) {
            if (c.table && holds(c.when, *a)) {
                if (checkId(id, c.table) != 0)
                    return false;
                break;
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// File reads.

enum HeaderRead { HEADER_OK, HEADER_END, HEADER_ERROR };

// The 128-byte AIF header at the current position, words in host order.
// End of file (also part way) is HEADER_END.
HeaderRead read_aif_header(FILE *file, uint32_t *header)
{
    uint8_t raw[kHeaderBytes];
    size_t got = std::fread(raw, 1, sizeof raw, file);
    if (got != sizeof raw)
        return std::ferror(file) ? HEADER_ERROR : HEADER_END;
    for (uint32_t i = 0; i < AIF_WORDS; ++i)
        header[i] = ImageFileWord(raw + 4 * i);
    return HEADER_OK;
}

// Offset of the image after the one at `offset`.
uint64_t next_image(long offset, const uint32_t *header, int checksumKind)
{
    return static_cast<uint64_t>(offset) + (checksumKind == 1 ? kHeaderAndChecksum : kHeaderBytes) +
           header[AIF_RO_SIZE_WORD];
}

uint64_t data_size(const uint32_t *header)
{
    return static_cast<uint64_t>(header[AIF_RO_SIZE_WORD]) + header[AIF_RW_SIZE_WORD];
}

// ---------------------------------------------------------------------------
// LOAD_AREA.

struct AreaAnswer {
    uint8_t progress;
    uint32_t address;
};

// One LOAD_AREA command: 0 with the answer, else the mailbox status
// (gErrorData set, the failure printed).
// A load command of the absolute paths: flag at 4, address at 8, length at
// 12, and a piece's bytes from 20 (that offset at 16), each group of four
// file bytes as a host-order word. Answers the command's bytes.
uint8_t *fill_load(MBOX_CMD *m, uint8_t code, uint8_t flag, uint32_t address, uint32_t length, const uint8_t *data,
                   uint32_t dataBytes)
{
    std::memset(m, 0, sizeof *m);
    m->mbxCommand = code;
    uint8_t *b = reinterpret_cast<uint8_t *>(m);
    b[4] = flag;
    mbox_put_u32(b, 8, address);
    mbox_put_u32(b, 12, length);
    if (data) {
        mbox_put_u32(b, 16, kDataOffset);
        for (uint32_t i = 0; i < dataBytes; ++i)
            b[kDataOffset + (i ^ 3u)] = data[i];
    }
    return b;
}

// 0, or the failed command's mailbox status with gErrorData set and
// `failText` printed.
uint32_t send_load(int board, MBOX_CMD *m, const char *failText)
{
    uint32_t r = IssueMbox1(board, m, 8, 44);
    if (r != 0) {
        gErrorData.command = m->mbxCommand;
        gErrorData.status = m->mbxStatus;
        QBprintf("%s", failText);
    }
    return r;
}

uint32_t load_area(int board, uint8_t flag, uint8_t sub, uint8_t area, uint32_t address, uint32_t length,
                   const uint8_t *data, uint32_t dataBytes, AreaAnswer *answer)
{
    MBOX_CMD m;
    uint8_t *b = fill_load(&m, MBX_LOAD_AREA, flag, address, length, data, dataBytes);
    b[6] = sub;
    b[7] = area;
    uint32_t r = send_load(board, &m, "LOAD_AREA Mailbox Error\n");
    if (r != 0)
        return r;
    answer->progress = b[5];
    answer->address = mbox_u32(b, 8);
    return 0;
}

DOWNLOAD_STATUS erase_area(int board, const uint32_t *header)
{
    const uint8_t area = static_cast<uint8_t>(header[AIF_AREA_WORD]);
    AreaAnswer answer = {0, header[AIF_BASE_WORD]};
    uint8_t sub = LOAD_AREA_ERASE_FIRST;
    // An adapter that never reports the erase done is given up on.
    for (uint32_t n = 0; n < LOAD_AREA_MAX_ERASES; ++n) {
        uint32_t r = load_area(board, LOAD_AREA_ERASE, sub, area, answer.address, header[AIF_ERASE_WORD], nullptr, 0,
                               &answer);
        if (r != 0)
            return static_cast<DOWNLOAD_STATUS>(r);
        if (answer.progress == LOAD_AREA_ERASED)
            return DOWNLOAD_OK;
        sub = LOAD_AREA_ERASE_NEXT;
    }
    QBprintf("LOAD_AREA: Invalid Progress Rsp\n");
    return LOAD_PROGRESS_ERROR;
}

// Loads the image's data from the current position (behind its header).
DOWNLOAD_STATUS load_data(int board, FILE *file, const uint32_t *header, uint64_t stated,
                          DownLoadStatusCallback percentCallback)
{
    const uint8_t area = static_cast<uint8_t>(header[AIF_AREA_WORD]);
    const uint32_t base = header[AIF_BASE_WORD];
    uint64_t remaining = data_size(header);
    // The percentage counts against the stated length less header and
    // checksum word; an image without data bytes has no steps to show.
    const uint64_t scale = stated > kHeaderAndChecksum ? stated - kHeaderAndChecksum : 0;
    uint64_t sent = 0;
    AreaAnswer answer = {0, base};
    int shown = 0;
    bool first = true;
    while (remaining > 0) {
        if (!first && answer.progress != LOAD_AREA_MORE)
            break;
        const uint32_t n = remaining < LOAD_PIECE_BYTES ? static_cast<uint32_t>(remaining) : LOAD_PIECE_BYTES;
        uint8_t piece[LOAD_PIECE_BYTES + 3] = {};
        if (std::fread(piece, 1, n, file) != n)
            return kReadError;
        remaining -= n;
        const bool last = remaining == 0;
        const uint8_t flag = static_cast<uint8_t>(LOAD_AREA_LOAD | (last ? LOAD_AREA_LAST : 0));
        const uint8_t sub = (first || !last) ? LOAD_AREA_PIECE : LOAD_AREA_LAST_PIECE;
        const uint32_t address = first ? base : answer.address;
        uint32_t r = load_area(board, flag, sub, area, address, n, piece, (n + 3u) & ~3u, &answer);
        if (r != 0)
            return static_cast<DOWNLOAD_STATUS>(r);
        first = false;
        sent += n;
        if (answer.address != static_cast<uint32_t>(base + sent)) {
            // Going on would write the rest of the image to the wrong place.
            QBprintf("Next Address Mismatched\n");
            return LOAD_PROGRESS_ERROR;
        }
        int percent = 99;
        if (scale > 0) {
            const int64_t p = 99 - static_cast<int64_t>(remaining * 100 / scale);
            percent = p < 0 ? 0 : (p > 100 ? 100 : static_cast<int>(p));
        }
        if (percent != shown) {
            shown = percent;
            ReportDownloadPercent(percentCallback, percent);
        }
    }
    if (answer.progress != LOAD_AREA_LOADED) {
        QBprintf("LOAD_AREA: Invalid Progress Rsp\n");
        return LOAD_PROGRESS_ERROR;
    }
    return DOWNLOAD_OK;
}

// Prints the VPD style line of a check.
void vpd_line(const char *format, uint8_t type, uint8_t id)
{
    QBprintf(format, vpd.V3, type, id);
}

} // namespace

// ---------------------------------------------------------------------------

uint32_t GetAbsImageType(FILE *file, uint8_t *markedId)
{
    if (!file || std::fseek(file, AIF_FAMILY_ID_OFFSET, SEEK_SET) != 0)
        return static_cast<uint32_t>(kReadError);
    uint8_t raw[4];
    if (std::fread(raw, 1, sizeof raw, file) != sizeof raw)
        return static_cast<uint32_t>(kReadError);
    const uint32_t word = ImageFileWord(raw);
    const uint8_t id = static_cast<uint8_t>(word >> 16);
    for (const FamilyOfId &f : kImageFamilies) {
        if (f.id != id)
            continue;
        if (f.marked && markedId)
            *markedId = id;
        return f.family;
    }
    return word;
}

uint32_t GetImageType(FILE *file)
{
    if (!file)
        return static_cast<uint32_t>(kReadError);
    const long pos = std::ftell(file);
    if (pos < 0)
        return static_cast<uint32_t>(kReadError);
    std::rewind(file);
    uint8_t raw[4];
    const bool read = std::fread(raw, 1, sizeof raw, file) == sizeof raw;
    if (std::fseek(file, pos, SEEK_SET) != 0 || !read)
        return static_cast<uint32_t>(kReadError);
    return ImageFileWord(raw) == NOP_IMAGE_TYPE ? 1 : 2;
}

DOWNLOAD_STATUS CheckAbsImageFile(int board, FILE *file, const uint32_t *aifHeader)
{
    if (!file || !aifHeader)
        return kReadError;
    QBprintf("Validate file type\n");
    const long start = std::ftell(file);
    if (start < 0)
        return kReadError;
    const uint32_t family = AdapterFamily(static_cast<uint8_t>(board));
    const _Adapter *a = entry_of(board);
    const uint32_t w14 = aifHeader[AIF_ID_WORD];
    const uint8_t id = static_cast<uint8_t>(w14 >> 16);
    const uint8_t type = static_cast<uint8_t>(w14 >> 24);
    readVPD(board, &vpd);
    const bool style = vpd.V3[0] != '\0';
    bool byStyle = false;

    switch (aifHeader[AIF_KIND_WORD]) {
    case AIF_AWC_IMAGE: {
        if (std::fseek(file, AIF_FAMILY_ID_OFFSET, SEEK_SET) != 0)
            return kReadError;
        uint8_t raw[4];
        if (std::fread(raw, 1, sizeof raw, file) != sizeof raw)
            return kReadError;
        const uint8_t fileId = static_cast<uint8_t>(ImageFileWord(raw) >> 16);
        if (style && checkVPDProgType(vpd.V3, kVpdAnyType, fileId) == 0) {
            vpd_line("VPD Style OK %s %x %x\n", kVpdAnyType, fileId);
            byStyle = true;
            break;
        }
        uint8_t marked = 0;
        const uint32_t imageFamily = GetAbsImageType(file, &marked);
        if (imageFamily == static_cast<uint32_t>(kReadError))
            return kReadError;
        uint32_t need = 0;
        const AwcNeed rule = awc_need(family, &need);
        if ((rule == AWC_FAMILY && imageFamily != need) || (rule == AWC_MARKED && marked != need)) {
            QBprintf("Incompatible Image - Incorrect Adapter\n");
            return kIncorrectAdapter;
        }
        break;
    }
    case AIF_DWC_IMAGE: {
        QBprintf("DWC imageID %x\n", id);
        if (style) {
            if (checkVPDProgType(vpd.V3, type, id) == 0) {
                vpd_line("VPD Style OK %s %x %x\n", type, id);
                return DOWNLOAD_OK;
            }
            vpd_line("VPD Style: NO match %s %x %x\n", type, id);
            if (!a || a->ibmPSeries == 0)
                return kIncorrectAdapter;
        }
        // An id the tables do not list is refused.
        bool listed = true;
        if (type == PRG_TYPE_SLI2)
            listed = dwc_sli2_listed(board, family, id);
        else if (type == PRG_TYPE_SLI3 && family == kHollinFamily)
            listed = checkId(id, TB_40) == 0;
        if (!listed) {
            QBprintf("Incompatible Image - Incorrect Adapter\n");
            return kIncorrectAdapter;
        }
        return DOWNLOAD_OK;
    }
    case AIF_BWC_IMAGE: {
        QBprintf("BWC imageID %x\n", id);
        if (style) {
            if (checkVPDProgType(vpd.V3, type, id) == 0) {
                vpd_line("VPD Style: OK %s %x %x\n", type, id);
                return DOWNLOAD_OK;
            }
            vpd_line("VPD Style: NO match %s %x %x\n", type, id);
            return kIncorrectAdapter;
        }
        const uint8_t *table = AbsBootTable(board, family, true, nullptr);
        if (table && checkId(id, table) != 0) {
            QBprintf("Incompatible Image - Incorrect Adapter\n");
            return kIncorrectAdapter;
        }
        return DOWNLOAD_OK;
    }
    case AIF_FWC_IMAGE:
        QBprintf("FWC imageID %x\n", id);
        QBprintf("FWC imageType %x\n", type);
        if (style) {
            if (checkVPDProgType(vpd.V3, type, id) == 0) {
                vpd_line("VPD Style: OK %s %x %x\n", type, id);
                byStyle = true;
                break;
            }
            vpd_line("VPD Style: NO match %s %x %x\n", type, id);
            return kIncorrectAdapter;
        }
        if (family != kHollinFamily || checkId(id, T9_1) != 0) {
            QBprintf("Incompatible FPGA Image - Incorrect Adapter\n");
            return kIncorrectAdapter;
        }
        break;
    default:
        return kIncorrectAdapter;
    }

    // Signed adapters take AWC and FWC images only when they carry a key.
    if (!byStyle && family == kHollinFamily) {
        if (std::fseek(file, start, SEEK_SET) != 0)
            return kReadError;
        PRG_HEADER h;
        DOWNLOAD_STATUS r = ReadPRGImageHeader(file, &h);
        if (std::fseek(file, start, SEEK_SET) != 0)
            return kReadError;
        if (r != DOWNLOAD_OK)
            return r;
        if ((h.flags & 0x10) == 0)
            return NOT_AUTHENTICATED_ERROR;
    }
    return std::fseek(file, start, SEEK_SET) == 0 ? DOWNLOAD_OK : kReadError;
}

DOWNLOAD_STATUS ProcessLoadAreaAbs2MbWithFeedback(int board, int32_t fileKind, int setMode, FILE *file, long offset,
                                                  int checksumKind, WAKEUP_PARMS *copy, uint8_t *signedImage,
                                                  DownLoadStatusStrCallback textCallback,
                                                  DownLoadStatusCallback percentCallback)
{
    uint32_t header[AIF_WORDS];
    if (!file || !copy || offset < 0 || std::fseek(file, offset, SEEK_SET) != 0 ||
        read_aif_header(file, header) != HEADER_OK) {
        QBprintf("Invalid Image - Error Reading File\n");
        return kReadError;
    }
    const uint64_t stated = data_size(header) + (checksumKind == 1 ? kHeaderAndChecksum : kHeaderBytes);
    QBprintf("ImageBase %lx Len %lx\n", static_cast<unsigned long>(header[AIF_BASE_WORD]),
             static_cast<unsigned long>(stated));
    // The whole image, counted from its own start, must be in the file.
    const long size = ImageFileSize(file);
    if (size < 0 || static_cast<uint64_t>(offset) + stated > static_cast<uint64_t>(size)) {
        QBprintf("Invalid Image - Short Image\n");
        return kShortImage;
    }
    if (std::fseek(file, offset, SEEK_SET) != 0)
        return kReadError;
    const uint32_t family = AdapterFamily(static_cast<uint8_t>(board));
    const uint8_t *headerBytes = reinterpret_cast<const uint8_t *>(header);

    switch (header[AIF_KIND_WORD]) {
    case AIF_AWC_IMAGE: {
        if (family == kHollinFamily) {
            uint32_t r = AuthenticateAWC(board, file, headerBytes, signedImage);
            if (r != 0) {
                QBprintf("Authentication Error\n");
                return static_cast<DOWNLOAD_STATUS>(r);
            }
        }
        QBprintf("Download AWC image for adapter %lx\n", static_cast<unsigned long>(family));
        if (fileKind == ALLext) {
            uint8_t word[4];
            if (DumpMemory(board, word, AWC_VERSION_ADDRESS, 1) != 0) {
                QBprintf("Error Reading Flash for File Version\n");
                return FLASH_VERSION_READ_ERROR;
            }
            const uint32_t need = skip_family(family);
            if (mbox_u32(word, 0) == header[AIF_ID_WORD] && need != 0 && GetAbsImageType(file, nullptr) == need) {
                QBprintf("AWC in ALL with same Version, same ID: Skip\n");
                return DOWNLOAD_OK;
            }
        }
        break;
    }
    case AIF_DWC_IMAGE:
        if (family == kHollinFamily) {
            DOWNLOAD_STATUS r = ValidateAuthenticatePRG(board, offset, file, signedImage);
            if (r != DOWNLOAD_OK)
                return r;
        }
        {
            DOWNLOAD_STATUS r = ValidateBootBIOS(board, offset, header, file);
            if (r != DOWNLOAD_OK)
                return r;
        }
        break;
    case AIF_BWC_IMAGE:
        break;
    case AIF_FWC_IMAGE: {
        uint32_t r = AuthenticateFWC(board, file, signedImage);
        if (r != 0) {
            QBprintf("Authentication Error\n");
            return static_cast<DOWNLOAD_STATUS>(r);
        }
        break;
    }
    default:
        QBprintf("Invalid file type\n");
        return INVALID_FILE_TYPE;
    }

    if (std::fseek(file, offset, SEEK_SET) != 0)
        return kReadError;
    ReportDownloadText(textCallback, "Validating Checksum");
    if (checksumKind == 1 && ValidateFileChecksum(file, static_cast<uint32_t>(stated / 4 - 1)) != 0) {
        QBprintf("CheckSum Error\n");
        return BAD_CHECKSUM_ERROR;
    }
    ReportDownloadText(textCallback, "Checksum OK");
    if (std::fseek(file, offset + static_cast<long>(kHeaderBytes), SEEK_SET) != 0)
        return kReadError;

    ReportDownloadText(textCallback, "Erasing Flash ROM Sectors");
    ReportDownloadPercent(percentCallback, 0);
    DOWNLOAD_STATUS r = erase_area(board, header);
    if (r != DOWNLOAD_OK)
        return r;
    ReportDownloadPercent(percentCallback, 100);

    ReportDownloadText(textCallback, "Loading Image");
    ReportDownloadPercent(percentCallback, 0);
    r = load_data(board, file, header, stated, percentCallback);
    if (r != DOWNLOAD_OK)
        return r;
    ReportDownloadPercent(percentCallback, 100);

    if (header[AIF_KIND_WORD] == AIF_DWC_IMAGE) {
        int32_t w = BuildWakeupParms2Mb_DWC(board, fileKind, setMode, file, offset, header, copy);
        // A failed rebuild of the record is never a good download.
        if (w < 0)
            return static_cast<DOWNLOAD_STATUS>(w);
    } else if (header[AIF_KIND_WORD] == AIF_BWC_IMAGE) {
        int32_t w = BuildWakeupParms2Mb_BWC(board, fileKind, file, offset, header, copy);
        if (w < 0)
            return static_cast<DOWNLOAD_STATUS>(w);
    }
    ReportDownloadText(textCallback, "Image Successfully Downloaded");
    return DOWNLOAD_OK;
}

DOWNLOAD_STATUS StartAbsDownload2MbWithFeedback(int board, int32_t fileKind, FILE *file, int checksumKind,
                                                uint8_t *signedImage, DownLoadStatusStrCallback textCallback,
                                                DownLoadStatusCallback percentCallback)
{
    if (!file)
        return kReadError;
    const long size = ImageFileSize(file);
    if (size < 0)
        return kReadError;
    const bool all = fileKind == ALLext;
    int setMode = all ? SET_MODE_ALL : SET_MODE_SINGLE;

    // Check pass: every image of the file fits before any is loaded.
    uint64_t total = 0;
    long offset = 0;
    int images = 0;
    for (;;) {
        uint32_t header[AIF_WORDS];
        if (std::fseek(file, offset, SEEK_SET) != 0)
            return kReadError;
        HeaderRead h = read_aif_header(file, header);
        if (h == HEADER_END) {
            QBprintf("End Of File\n");
            break;
        }
        if (h == HEADER_ERROR) {
            QBprintf("Incompatible Image - Error Reading File!\n");
            return kReadError;
        }
        if (header[0] != NOP_IMAGE_TYPE) {
            QBprintf("Incompatible Image - Error Reading File\n");
            return kReadError;
        }
        if (all && header[AIF_KIND_WORD] == AIF_BWC_IMAGE)
            setMode = SET_MODE_ALL_BWC;
        if (std::fseek(file, offset, SEEK_SET) != 0)
            return kReadError;
        DOWNLOAD_STATUS r = CheckAbsImageFile(board, file, header);
        if (r != DOWNLOAD_OK) {
            QBprintf("CheckAbsImageFile Error\n");
            return r;
        }
        ++images;
        const uint64_t next = next_image(offset, header, checksumKind);
        if (next > static_cast<uint64_t>(size))
            return kReadError;
        total += next - static_cast<uint64_t>(offset);
        offset = static_cast<long>(next);
    }
    // A file without one whole image is not a download.
    if (images == 0)
        return kReadError;
    if (all && checksumKind == 1) {
        std::rewind(file);
        uint32_t sum = ValidateFileChecksum(file, static_cast<uint32_t>((total + 4) / 4 - 1));
        if (sum != 0) {
            QBprintf(".ALL file: BAD checksum %08lX\n", static_cast<unsigned long>(sum));
            return BAD_CHECKSUM_ERROR;
        }
    }

    std::rewind(file);
    WAKEUP_PARMS old;
    if (ReadWakeupParms(board, reinterpret_cast<uint8_t *>(&old)) != 0)
        return WAKEUP_PARMS_ERROR;
    WAKEUP_PARMS neu = old;
    if (AdapterFamily(static_cast<uint8_t>(board)) == kHollinFamily && (fileKind == ALLext || fileKind == DWCext)) {
        std::memset(&neu, 0, sizeof neu);
        for (int w : {WAKEUP_SLOT_BOOT, WAKEUP_SLOT_BOOT + 1, WAKEUP_SLOT_EXP_ROM, WAKEUP_SLOT_EXP_ROM + 1})
            neu.words[w] = old.words[w];
    }

    // Load pass.
    offset = 0;
    for (int n = 1;; ++n) {
        if (all) {
            char text[32];
            std::snprintf(text, sizeof text, "Reading AIF Header #%d", n);
            ReportDownloadText(textCallback, text);
        } else {
            ReportDownloadText(textCallback, "Reading AIF Header");
        }
        uint32_t header[AIF_WORDS];
        if (std::fseek(file, offset, SEEK_SET) != 0)
            return kReadError;
        HeaderRead h = read_aif_header(file, header);
        if (h == HEADER_END)
            break;
        if (h == HEADER_ERROR || header[0] != NOP_IMAGE_TYPE)
            return kReadError;
        DOWNLOAD_STATUS r = ProcessLoadAreaAbs2MbWithFeedback(board, fileKind, setMode, file, offset, checksumKind,
                                                              &neu, signedImage, textCallback, percentCallback);
        if (r != DOWNLOAD_OK) {
            QBprintf("Error %08lx\n", static_cast<unsigned long>(static_cast<uint32_t>(r)));
            return r;
        }
        const uint64_t next = next_image(offset, header, checksumKind);
        if (next > static_cast<uint64_t>(size))
            return kReadError;
        offset = static_cast<long>(next);
    }

    if (std::memcmp(&neu, &old, sizeof neu) != 0) {
        ReportDownloadText(textCallback, "Updating Wakeup Parameters");
        DOWNLOAD_STATUS r = UpdateAbsWakeupParms(board, &neu);
        if (r != DOWNLOAD_OK) {
            QBprintf("Update Wakeup Parameters Error %08lx\n", static_cast<unsigned long>(static_cast<uint32_t>(r)));
            return r;
        }
    }
    return DOWNLOAD_OK;
}

// ---------------------------------------------------------------------------
// The older single-image path.

namespace {

const uint32_t kSmStep = 0x10000;
const uint32_t kLowBase = 0x20000;
const uint32_t kHighBase = 0x40000;
const uint32_t kLowEraseBytes = 0x50000;
const uint32_t kHighEraseBytes = 0x140000;

// Families of the older path and what they take: the image families of AWC
// images, the id bytes of a DWC image's wakeup ids.
struct OldFamily {
    uint16_t family;
    uint16_t awcFamilies[2];
    uint8_t dwcIds[4];
};

const OldFamily kOldFamilies[] = {
    {0x1AE5, {0x1AE5}, {0x8C, 0x14, 0x45}},
    {0xF700, {0xF700}, {0x56, 0x5A, 0x85}},
    {0xF800, {0xF800}, {0x2C, 0xBD, 0xA9}},
    {0xF802, {0xF800}, {0x2C, 0xBD, 0xA9}},
    {0xF900, {0xF900}, {0x2E, 0x41, 0x6F}},
    {0xF085, {0xF085}, {0x65, 0x9B, 0x40}},
    {0xF095, {0xF095}, {0x92, 0x57, 0x7A}},
};

const OldFamily *old_family(uint32_t family)
{
    for (const OldFamily &f : kOldFamilies)
        if (f.family == family)
            return &f;
    return nullptr;
}

uint32_t load_sm(int board, uint8_t flag, uint32_t address, uint32_t length, const uint8_t *data, uint32_t dataBytes)
{
    MBOX_CMD m;
    fill_load(&m, MBX_LOAD_SM, flag, address, length, data, dataBytes);
    return send_load(board, &m, "LOAD_SM Mailbox Error\n");
}

} // namespace

DOWNLOAD_STATUS StartAbsDownloadWithFeedback(int board, FILE *file, int checksumKind,
                                             DownLoadStatusStrCallback textCallback,
                                             DownLoadStatusCallback percentCallback)
{
    (void)percentCallback;
    if (!file)
        return kReadError;
    const long start = std::ftell(file);
    const long size = ImageFileSize(file);
    uint32_t header[AIF_WORDS];
    if (start < 0 || size < 0 || read_aif_header(file, header) != HEADER_OK || header[0] != NOP_IMAGE_TYPE) {
        QBprintf("Invalid Image - Error Reading File\n");
        return kReadError;
    }
    const uint32_t family = AdapterFamily(static_cast<uint8_t>(board));
    const uint32_t base = header[AIF_BASE_WORD];
    const bool highBase = family == 0xF980 || family == 0xF098;
    if (base != 0 && base != (highBase ? kHighBase : kLowBase)) {
        QBprintf("Invalid Image - Invalid Image Base\n");
        return kBadBase;
    }
    const uint64_t stated = data_size(header) + (checksumKind == 1 ? kHeaderAndChecksum : kHeaderBytes);
    const uint64_t there = static_cast<uint64_t>(size) - static_cast<uint64_t>(start);
    if (there < stated) {
        QBprintf("Invalid Image - Short Image\n");
        return kShortImage;
    }
    if (there > stated) {
        QBprintf("Invalid Image - Long Image\n");
        return kLongImage;
    }
    if (std::fseek(file, start, SEEK_SET) != 0)
        return kReadError;
    if (checksumKind == 1 && ValidateFileChecksum(file, static_cast<uint32_t>(stated / 4 - 1)) != 0) {
        QBprintf("CheckSum Error\n");
        return BAD_CHECKSUM_ERROR;
    }

    const OldFamily *known = old_family(family);
    if (header[AIF_KIND_WORD] == AIF_AWC_IMAGE && known) {
        const uint32_t imageFamily = GetAbsImageType(file, nullptr);
        if (imageFamily != known->awcFamilies[0] && imageFamily != known->awcFamilies[1]) {
            QBprintf("Incompatible Image - Incorrect Adapter\n");
            return kIncorrectAdapter;
        }
    }
    if (std::fseek(file, start, SEEK_SET) != 0)
        return kReadError;
    uint8_t headerBytes[kHeaderBytes];
    WAKEUP_PARMS record;
    std::memset(&record, 0, sizeof record);
    const int32_t built = BuildWakeupParms(board, file, headerBytes, &record);
    if (built < 0)
        return static_cast<DOWNLOAD_STATUS>(built);
    if (header[AIF_KIND_WORD] == AIF_DWC_IMAGE && known && built == 1) {
        for (int slot : {WAKEUP_SLOT_STUB, WAKEUP_SLOT_BOOT, WAKEUP_SLOT_SLI1, WAKEUP_SLOT_SLI2}) {
            const uint32_t id0 = record.words[slot];
            if (id0 == 0)
                continue;
            bool listed = false;
            for (uint8_t id : known->dwcIds)
                listed = listed || (id != 0 && id == static_cast<uint8_t>(id0 >> 16));
            if (!listed) {
                QBprintf("Incompatible Image - Incorrect Adapter\n");
                return kIncorrectAdapter;
            }
        }
    }
    if (highBase) {
        ReportDownloadText(textCallback, "Not in SLI-2: Do NOT proceed");
        return static_cast<DOWNLOAD_STATUS>(NOT_IN_SLI2);
    }

    const uint64_t dataBytes = data_size(header);
    const uint64_t eraseBytes = base == kLowBase ? kLowEraseBytes : (base == kHighBase ? kHighEraseBytes : stated);
    for (uint64_t at = 0; at < eraseBytes; at += kSmStep)
        if (load_sm(board, 0x1A, static_cast<uint32_t>(base + at), kSmStep, nullptr, 0) != 0)
            return WAKEUP_PARMS_ERROR;
    if (std::fseek(file, start + static_cast<long>(kHeaderBytes), SEEK_SET) != 0)
        return kReadError;
    for (uint64_t at = 0; at < dataBytes;) {
        const uint32_t n = dataBytes - at < LOAD_PIECE_BYTES ? static_cast<uint32_t>(dataBytes - at) : LOAD_PIECE_BYTES;
        uint8_t piece[LOAD_PIECE_BYTES + 3] = {};
        if (std::fread(piece, 1, n, file) != n)
            return kReadError;
        const bool last = at + n == dataBytes;
        if (load_sm(board, static_cast<uint8_t>(0x0A | (last ? 0x01 : 0)), static_cast<uint32_t>(base + at), n, piece,
                    (n + 3u) & ~3u) != 0)
            return WAKEUP_PARMS_ERROR;
        at += n;
    }
    if (built == 1 && UpdateAbsWakeupParms(board, &record) != DOWNLOAD_OK)
        return WAKEUP_PARMS_ERROR;
    return DOWNLOAD_OK;
}
