#include "hba/relative_download.h"

#include <climits>
#include <cstring>

#include "flash/engine_log.h"
#include "flash/fc_image_files.h"
#include "hba/adapter_family.h"
#include "hba/config_regions.h"
#include "hba/download_security.h"
#include "hba/load_lists.h"
#include "hba/mbox_commands.h"
#include "hba/mbox_transport.h"
#include "hba/vpd.h"

uint32_t DWC_PRGsList[DWC_PRGS_MAX][2];
uint32_t NumPRGs_inDWC = 0;

namespace {

const DOWNLOAD_STATUS kReadError = DownloadStatusOf(INVALID_IMAGE_ERROR, ERROR_READING_FILE);
const DOWNLOAD_STATUS kShortImage = DownloadStatusOf(INVALID_IMAGE_ERROR, SHORT_IMAGE);
const DOWNLOAD_STATUS kLongImage = DownloadStatusOf(INVALID_IMAGE_ERROR, LONG_IMAGE);
const DOWNLOAD_STATUS kIncorrectAdapter = DownloadStatusOf(INCOMPAT_IMAGE_ERROR, INCORRECT_ADPT);

const uint32_t kHeaderWords = PRG_HEADER_SIZE / 4;
const uint32_t kEndMarkBit = 0x80000000u;
const uint32_t kFreeSlotHigh = 0xFFFFFFFFu;
// Flash list entries followed before a list that never comes back to its
// head is given up on.
const uint32_t kMaxFlashEntries = 64;

const uint32_t kBootCheckFamilies[] = {0xF100, 0xF10B, 0x338F, 0xF104, 0xF112, 0xF111, 0xF180};
const uint32_t kSignedFamily = 0xF180;

uint8_t type_of(uint32_t programId0)
{
    return static_cast<uint8_t>(programId0 >> 24);
}

bool checks_boot_image(uint32_t family)
{
    for (uint32_t f : kBootCheckFamilies)
        if (f == family)
            return true;
    return false;
}

// The family check of the image type; types without one pass.
DOWNLOAD_STATUS family_check(int board, const PRG_HEADER &header)
{
    switch (type_of(header.programId[0])) {
    case PRG_TYPE_STUB:
        return checkFamilyRelativeStub(board, header);
    case PRG_TYPE_BOOT:
        return checkFamilyRelativePciBootType(board, header);
    case PRG_TYPE_SLI1:
        return checkFamilyRelativeSLI1(board, header);
    case PRG_TYPE_SLI2:
        return checkFamilyRelativeSLI2(board, header);
    case PRG_TYPE_SLI3:
    case PRG_TYPE_SLI4:
        return checkFamilyRelativeSLI3and4(board, header);
    default:
        return DOWNLOAD_OK;
    }
}

// The byte at `last` must be in the file and, unless more may follow, the one
// behind it not; the position comes back to where it was.
DOWNLOAD_STATUS check_length(FILE *file, uint64_t last, bool morePermitted)
{
    long here = std::ftell(file);
    if (here < 0) {
        QBprintf("Invalid Image - Error Reading File\n");
        return kReadError;
    }
    DOWNLOAD_STATUS r = DOWNLOAD_OK;
    if (last > static_cast<uint64_t>(LONG_MAX)) {
        // Beyond any offset the file can have.
        QBprintf("Invalid Image - Short Image\n");
        return kShortImage;
    }
    if (std::fseek(file, static_cast<long>(last), SEEK_SET) != 0) {
        QBprintf("Invalid Image - Error Reading File\n");
        return kReadError;
    }
    if (std::fgetc(file) == EOF) {
        if (std::feof(file)) {
            QBprintf("Invalid Image - Short Image\n");
            r = kShortImage;
        } else {
            QBprintf("Invalid Image - Error Reading File\n");
            r = kReadError;
        }
    } else if (!morePermitted && std::fgetc(file) != EOF) {
        QBprintf("Invalid Image - Long Image\n");
        r = kLongImage;
    }
    std::clearerr(file);
    if (std::fseek(file, here, SEEK_SET) != 0) {
        QBprintf("Invalid Image - Error Reading File\n");
        return kReadError;
    }
    return r;
}

bool seek_to(FILE *file, long position)
{
    std::clearerr(file);
    return std::fseek(file, position, SEEK_SET) == 0;
}

// Sends one DOWN_LOAD command: 0 or the adapter's status, kept in gErrorData
// (except a 241 of the erase, which the caller retries).
uint32_t send_down_load(int board, MBOX_CMD &m, bool erase)
{
    m.mbxCommand = MBX_DOWN_LOAD;
    uint32_t r = IssueMbox1(board, &m, 32, 32);
    if (r != 0 && !(erase && r == DOWN_LOAD_NO_FLASH)) {
        gErrorData.command = m.mbxCommand;
        gErrorData.status = m.mbxStatus;
    }
    return r;
}

uint32_t send_erase(int board, uint32_t length, const uint32_t *programId)
{
    MBOX_CMD m;
    std::memset(&m, 0, sizeof m);
    uint8_t *b = reinterpret_cast<uint8_t *>(&m);
    b[4] = DOWN_LOAD_ERASE;
    mbox_put_u32(b, 12, length);
    mbox_put_u32(b, 16, programId[0]);
    mbox_put_u32(b, 20, programId[1]);
    return send_down_load(board, m, true);
}

// Reads `count` bytes of the image into a data command and sends it: 0, the
// adapter's status, or kReadError for a short read (*readFailed set).
uint32_t send_piece(int board, FILE *file, uint32_t count, bool last, bool dwc, bool *readFailed)
{
    MBOX_CMD m;
    std::memset(&m, 0, sizeof m);
    uint8_t *b = reinterpret_cast<uint8_t *>(&m);
    b[4] = static_cast<uint8_t>(DOWN_LOAD_DATA | (last ? DOWN_LOAD_LAST : 0) | (dwc ? DOWN_LOAD_DWC : 0));
    mbox_put_u32(b, 12, count);
    mbox_put_u32(b, 16, DOWN_LOAD_DATA_OFFSET);
    // The file's words are big-endian: each group of four goes in reversed.
    for (uint32_t i = 0; i < count; ++i) {
        int c = std::fgetc(file);
        if (c == EOF) {
            *readFailed = true;
            return static_cast<uint32_t>(kReadError);
        }
        b[DOWN_LOAD_DATA_OFFSET + (i ^ 3u)] = static_cast<uint8_t>(c);
    }
    return send_down_load(board, m, false);
}

// The first `count` words at the position, each in host order.
bool read_words(FILE *file, uint32_t *words, uint32_t count)
{
    for (uint32_t w = 0; w < count; ++w) {
        uint8_t raw[4];
        if (std::fread(raw, 1, sizeof raw, file) != sizeof raw)
            return false;
        words[w] = static_cast<uint32_t>(raw[0]) << 24 | static_cast<uint32_t>(raw[1]) << 16 |
                   static_cast<uint32_t>(raw[2]) << 8 | raw[3];
    }
    return true;
}

} // namespace

DOWNLOAD_STATUS StartRelativeDownloadWithFeedback(int board, uint16_t eraseMode, uint16_t transferMode, FILE *file,
                                                  uint8_t *wakeupParms, uint16_t dwcMode, uint8_t *signedImage,
                                                  DownLoadStatusStrCallback textCallback,
                                                  DownLoadStatusCallback percentCallback)
{
    // Pieces are always 108 bytes: no other transfer mode exists.
    (void)transferMode;
    if (!file)
        return kReadError;
    const bool dwc = dwcMode != 0;
    const long p0 = std::ftell(file);
    if (p0 < 0)
        return kReadError;
    const long imageStart = dwc ? p0 : 0;

    ReportDownloadText(textCallback, "Reading Header");
    uint32_t words[kHeaderWords];
    DOWNLOAD_STATUS r = ReadPRGImageHeader(file, words);
    if (r != DOWNLOAD_OK)
        return r;
    PRG_HEADER header;
    std::memcpy(&header, words, sizeof header);
    const uint32_t programId[2] = {words[1], words[2]};
    QBprintf("ProgramID %x %x\n", programId[0], programId[1]);
    if (ValidateChecksum(&words[1], &words[kHeaderWords - 1]) != 0) {
        QBprintf("Bad CheckSum Error\n");
        return BAD_CHECKSUM_ERROR;
    }
    // An image shorter than its own header (or the end mark of a list) is no
    // image: refused before anything reaches the adapter.
    const int32_t signedLength = static_cast<int32_t>(words[0]);
    if (signedLength < static_cast<int32_t>(PRG_HEADER_SIZE)) {
        QBprintf("Invalid Image - Error Reading File\n");
        return kReadError;
    }
    const uint32_t n = words[0];

    const uint32_t family = AdapterFamily(static_cast<uint8_t>(board));
    const uint8_t type = type_of(programId[0]);
    const uint8_t id = static_cast<uint8_t>(programId[0] >> 16);
    QBprintf("Download PRG image for adapter %lx PrgType %02x ID %02x\n", static_cast<unsigned long>(family), type,
             id);

    readVPD(board, &vpd);
    if (vpd.V3[0] != '\0') {
        if (checkVPDProgType(vpd.V3, type, id) != 0) {
            QBprintf("VPD Style: NO match %s %x %x\n", vpd.V3, type, id);
            return kIncorrectAdapter;
        }
        QBprintf("VPD Style %s %x %x\n", vpd.V3, type, id);
    } else {
        r = family_check(board, header);
        if (r != DOWNLOAD_OK)
            return r;
    }
    if (type == PRG_TYPE_BOOT && checks_boot_image(family)) {
        r = static_cast<DOWNLOAD_STATUS>(ValidateOskaraOrHollinBootProgId(file, family));
        if (r != DOWNLOAD_OK)
            return r;
    }
    if (family == kSignedFamily && type != PRG_TYPE_BOOT) {
        r = static_cast<DOWNLOAD_STATUS>(AuthenticatePRG(board, file, reinterpret_cast<const uint8_t *>(words),
                                                         signedImage));
        if (r != DOWNLOAD_OK) {
            QBprintf("Authentication Error\n");
            return r;
        }
    }

    // The image's last byte counts from where the image starts, so that a
    // PRG inside a larger file is measured against its own end.
    r = check_length(file, static_cast<uint64_t>(p0) + n - 1, dwc);
    if (r != DOWNLOAD_OK)
        return r;
    if (!seek_to(file, imageStart))
        return kReadError;

    ReportDownloadText(textCallback, "Validating Checksum");
    if (ValidateFileChecksum(file, n / 4 - 1) != 0) {
        QBprintf("Bad CheckSum\n");
        return BAD_CHECKSUM_ERROR;
    }

    ReportDownloadText(textCallback, "Erasing Sector(s) In Flash ROM");
    if (eraseMode == RELATIVE_ERASE_FIRST) {
        uint32_t st = send_erase(board, n, programId);
        if (st == DOWN_LOAD_NO_FLASH) {
            if (!seek_to(file, imageStart))
                return kReadError;
            return static_cast<DOWNLOAD_STATUS>(st);
        }
        if (st != 0) {
            QBprintf("DOWN_LOAD Mailbox Command Erase Error. Status %lx\n", static_cast<unsigned long>(st));
            return static_cast<DOWNLOAD_STATUS>(st);
        }
    }

    if (!seek_to(file, imageStart))
        return kReadError;
    ReportDownloadText(textCallback, "Loading Image");
    ReportDownloadPercent(percentCallback, 0);
    int lastPercent = 0;
    uint32_t remaining = n;
    while (remaining > 0) {
        uint32_t piece = remaining < DOWN_LOAD_PIECE_BYTES ? remaining : DOWN_LOAD_PIECE_BYTES;
        remaining -= piece;
        int percent = static_cast<int>(99 - static_cast<uint64_t>(remaining) * 100 / n);
        if (percent != lastPercent) {
            ReportDownloadPercent(percentCallback, percent);
            lastPercent = percent;
        }
        bool readFailed = false;
        uint32_t st = send_piece(board, file, piece, remaining == 0, dwc, &readFailed);
        if (readFailed) {
            QBprintf("Invalid Image - Error Reading File\n");
            return kReadError;
        }
        if (st != 0) {
            QBprintf("DOWN_LOAD Mailbox Command Download Error. Status %lx\n", static_cast<unsigned long>(st));
            return static_cast<DOWNLOAD_STATUS>(st);
        }
    }
    ReportDownloadPercent(percentCallback, 100);

    if (!dwc) {
        ReportDownloadText(textCallback, "Updating Wakeup Parameters");
        r = UpdateWakeupParms(board, programId);
        if (r != DOWNLOAD_OK && r != WAKEUP_SLOT_ERROR) {
            QBprintf("Failed to update Wakeup Parameters\n");
            return r;
        }
    } else {
        if (wakeupParms) {
            WAKEUP_PARMS copy;
            std::memcpy(&copy, wakeupParms, sizeof copy);
            UpdateTempWakeupParms(board, programId, &copy);
            std::memcpy(wakeupParms, &copy, sizeof copy);
        }
        if (NumPRGs_inDWC < DWC_PRGS_MAX) {
            DWC_PRGsList[NumPRGs_inDWC][0] = programId[0];
            DWC_PRGsList[NumPRGs_inDWC][1] = programId[1];
            ++NumPRGs_inDWC;
        }
    }
    ReportDownloadText(textCallback, "Image Successfully Downloaded");
    return DOWNLOAD_OK;
}

DOWNLOAD_STATUS ProcessDWCviaPRGs(int board, FILE *file, int reserved, WAKEUP_PARMS *copy, uint8_t *signedImage,
                                  DownLoadStatusStrCallback textCallback, DownLoadStatusCallback percentCallback)
{
    (void)reserved;
    if (!file)
        return kReadError;
    uint32_t first = 0;
    if (!read_words(file, &first, 1))
        return std::feof(file) ? kShortImage : kReadError;
    QBprintf("Break into PRGs - BitMap %08lx\n", static_cast<unsigned long>(first));
    if ((first & kEndMarkBit) == 0 && std::fseek(file, -4, SEEK_CUR) != 0)
        return kReadError;
    const long base = std::ftell(file);
    const long size = ImageFileSize(file);
    if (base < 0 || size < 0)
        return kReadError;
    NumPRGs_inDWC = 0;
    uint64_t offset = 0;
    uint8_t *wakeup = reinterpret_cast<uint8_t *>(copy);

    // Every PRG moves the walk forward by at least a header and never past
    // the file, so the walk ends.
    for (;;) {
        const long position = std::ftell(file);
        if (position < 0)
            return kReadError;
        if (std::fgetc(file) == EOF) {
            QBprintf("No more PRG to process\n");
            return DOWNLOAD_OK;
        }
        if (!seek_to(file, position))
            return kReadError;
        QBprintf("Download PRG #%d now\n", static_cast<int>(NumPRGs_inDWC));
        DOWNLOAD_STATUS r = StartRelativeDownloadWithFeedback(board, RELATIVE_ERASE_FIRST, RELATIVE_TRANSFER_PIECES,
                                                              file, wakeup, 1, signedImage, textCallback,
                                                              percentCallback);
        if (static_cast<uint32_t>(r) == DOWN_LOAD_NO_FLASH) {
            uint32_t words[3];
            if (!seek_to(file, position) || !read_words(file, words, 3) || !seek_to(file, position))
                return kReadError;
            DeleteImageType(board, type_of(words[1]));
            r = StartRelativeDownloadWithFeedback(board, RELATIVE_ERASE_FIRST, RELATIVE_TRANSFER_PIECES, file, wakeup,
                                                  1, signedImage, textCallback, percentCallback);
            if (static_cast<uint32_t>(r) == DOWN_LOAD_NO_FLASH) {
                QBprintf("No Flash Available Error\n");
                return NO_FLASH_AVAILABLE_ERROR;
            }
        }

        if (!seek_to(file, position))
            return kReadError;
        uint32_t header[kHeaderWords];
        if (ReadPRGImageHeader(file, header) != DOWNLOAD_OK)
            return DOWNLOAD_OK;
        const int32_t length = static_cast<int32_t>(header[0]);
        if (length < 0)
            return DOWNLOAD_OK;
        if (static_cast<uint32_t>(length) < PRG_HEADER_SIZE ||
            static_cast<uint64_t>(position) + static_cast<uint32_t>(length) > static_cast<uint64_t>(size)) {
            QBprintf("Invalid Image - Error Reading File\n");
            return kReadError;
        }
        QBprintf("This PRG size: %x\n", static_cast<unsigned>(length));
        offset += static_cast<uint32_t>(length);
        if (!seek_to(file, base) || std::fseek(file, static_cast<long>(offset), SEEK_CUR) != 0)
            return DOWNLOAD_OK;
    }
}

void DeleteOldPRGs(int board)
{
    uint8_t word[4] = {};
    if (DumpMemory(board, word, FLASH_LOAD_LIST_HEAD, 1) != 0)
        return;
    uint32_t link = mbox_u32(word, 0);
    uint32_t visited[kMaxFlashEntries];
    uint32_t count = 0;
    const uint32_t listed = NumPRGs_inDWC < DWC_PRGS_MAX ? NumPRGs_inDWC : DWC_PRGS_MAX;
    while (link != FLASH_LOAD_LIST_HEAD) {
        // A link back into the entries already read would never end.
        for (uint32_t i = 0; i < count; ++i)
            if (visited[i] == link)
                return;
        if (count == kMaxFlashEntries)
            return;
        visited[count++] = link;
        uint8_t entry[FLASH_LOAD_ENTRY_WORDS * 4] = {};
        if (DumpMemory(board, entry, link, FLASH_LOAD_ENTRY_WORDS) != 0)
            return;
        link = mbox_u32(entry, 0);
        const uint32_t current[2] = {mbox_u32(entry, 16), mbox_u32(entry, 20)};
        if (current[0] == 0 || current[0] == kFreeSlotHigh)
            continue;
        QBprintf("Current in Flash: %08lx %08lx\n", static_cast<unsigned long>(current[0]),
                 static_cast<unsigned long>(current[1]));
        for (uint32_t i = 0; i < listed; ++i) {
            const uint32_t *item = DWC_PRGsList[i];
            QBprintf("#%d New in List: %08lx %08lx\n", static_cast<int>(i), static_cast<unsigned long>(item[0]),
                     static_cast<unsigned long>(item[1]));
            if (type_of(item[0]) != type_of(current[0])) {
                QBprintf("Skip this Entry in Flash\n");
                continue;
            }
            if (item[0] == 0)
                continue;
            if (item[0] == current[0] && item[1] == current[1]) {
                QBprintf("Skip this Entry in DWC_PRGsList\n");
            } else {
                QBprintf("Delete this Entry in Flash\n");
                DeleteLoadEntry(board, current);
            }
            break;
        }
    }
}

DOWNLOAD_STATUS CleanFlash(int board)
{
    uint8_t parms[sizeof(WAKEUP_PARMS)];
    if (ReadWakeupParms(board, parms) != 0)
        return WAKEUP_PARMS_ERROR;
    DeleteOldPRGs(board);
    return DOWNLOAD_OK;
}
