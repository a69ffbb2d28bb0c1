#include "flash/fc_image_files.h"

#include <climits>
#include <cstring>

#include "flash/debug_log.h"

int eHostEndian = 1;
int dHostEndian = 1;

namespace
{

const DOWNLOAD_STATUS kReadError = DownloadStatusOf(INVALID_IMAGE_ERROR, ERROR_READING_FILE);
const DOWNLOAD_STATUS kEndOfFile = DownloadStatusOf(INVALID_IMAGE_ERROR, SHORT_IMAGE);
const DOWNLOAD_STATUS kIncorrectAdapter = DownloadStatusOf(INCOMPAT_IMAGE_ERROR, INCORRECT_ADPT);

uint32_t rotl1(uint32_t v)
{
    return (v << 1) | (v >> 31);
}

// A word from four file bytes, as the endian flag asks.
uint32_t file_word(const uint8_t *b, int hostEndian)
{
    if (hostEndian == 1)
        return static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
               static_cast<uint32_t>(b[2]) << 8 | b[3];
    uint32_t w;
    std::memcpy(&w, b, 4);
    return w;
}

// n bytes one at a time; byte i goes to i XOR 3 when `reverse`.
DOWNLOAD_STATUS read_bytes(FILE *file, uint8_t *buf, size_t n, bool reverse)
{
    for (size_t i = 0; i < n; ++i) {
        if (std::feof(file))
            return kEndOfFile;
        int c = std::fgetc(file);
        if (c == EOF)
            return std::feof(file) ? kEndOfFile : kReadError;
        buf[reverse ? (i ^ 3u) : i] = static_cast<uint8_t>(c);
    }
    return DOWNLOAD_OK;
}

bool read_word(FILE *file, uint32_t *word)
{
    uint8_t b[4];
    if (std::fread(b, 1, 4, file) != 4)
        return false;
    *word = file_word(b, eHostEndian);
    return true;
}

struct TypeCode {
    uint8_t id;
    const char *sli2;
    const char *sli3;
};

// Firmware codes of the SLI tables; the two tables differ at 41 and 235.
const TypeCode kSliCodes[] = {
    {18, "", ""},      {41, "DF", "DS"},  {66, "GF", "GF"},  {97, "LF", "LF"},  {99, "LF", "LF"},
    {106, "MF", "MF"}, {107, "MF", "MF"}, {108, "MF", "MF"}, {113, "NF", "NF"}, {114, "NF", "NF"},
    {115, "NF", "NF"}, {116, "NF", "NF"}, {121, "PF", "PF"}, {122, "PF", "PF"}, {123, "PF", "PF"},
    {129, "QF", "QF"}, {131, "QF", "QF"}, {138, "RF", "RF"}, {139, "RF", "RF"}, {140, "RF", "RF"},
    {145, "SF", "SF"}, {162, "TF", "TF"}, {178, "VF", "VF"}, {193, "WF", "WF"}, {195, "WF", "WF"},
    {202, "YF", "YF"}, {203, "YF", "YF"}, {204, "YF", "YF"}, {205, "YF", "YF"}, {209, "ZF", "ZF"},
    {225, "HF", "HF"}, {227, "HF", "HF"}, {234, "JF", "JF"}, {235, "JF", "JS"}, {236, "JF", "JF"},
    {241, "KF", "KF"},
};

// Family letter of each boot code group ((id - 1) div 8); 0: no codes.
char boot_group_letter(int group)
{
    switch (group) {
    case 3: return 'D';
    case 4: return 'F';
    case 5: return 'G';
    case 6: return 'H';
    case 8: return 'J';
    case 9: return 'K';
    case 11: return 'L';
    case 12: return 'M';
    case 14: return 'N';
    case 15: return BOOT_GROUP15_LETTER;
    case 16: return 'R';
    case 18: return 'S';
    case 22: return 'T';
    case 24: return 'V';
    case 26: return 'W';
    case 28: return 'Y';
    case 30: return 'Z';
    default: return 0;
    }
}

char boot_kind_letter(int id)
{
    switch (id % 8) {
    case 1: return 'B';
    case 2: return 'O';
    case 3: return 'C';
    case 5: return 'E';
    case 6: return 'P';
    case 7: return 'U';
    default: return 0;
    }
}

int set_code(const char *found, char *code, size_t size)
{
    if (!found) {
        logDebugOutput("Encoded Type = UNKNOWN\n\n");
        return 1;
    }
    if (std::strlen(found) >= size)
        return 1;
    std::memcpy(code, found, std::strlen(found) + 1);
    return 0;
}

int sli_code(int id, char *code, size_t size, bool sli3)
{
    if (!code || size == 0)
        return 1;
    code[0] = '\0';
    const char *found = nullptr;
    for (const TypeCode &t : kSliCodes)
        if (t.id == id)
            found = sli3 ? t.sli3 : t.sli2;
    return set_code(found, code, size);
}

// decodedVersion: the code, then the encoded revision from its third
// character on (so an empty code leaves the text empty).
void set_decoded_version(CLUImage *record, const char *code, uint32_t progId)
{
    std::memset(record->decodedVersion, 0, sizeof record->decodedVersion);
    std::memcpy(record->decodedVersion, code, std::strlen(code) < 2 ? std::strlen(code) : 2);
    uint8_t bytes[4];
    std::memcpy(bytes, &progId, 4);
    getEncodedRev(bytes, record->decodedVersion + 2, sizeof record->decodedVersion - 2);
}

} // namespace

long ImageFileSize(FILE *file)
{
    long pos = std::ftell(file);
    if (pos < 0 || std::fseek(file, 0, SEEK_END) != 0)
        return -1;
    long size = std::ftell(file);
    if (std::fseek(file, pos, SEEK_SET) != 0)
        return -1;
    return size;
}

uint32_t ImageFileWord(const uint8_t *b)
{
    return file_word(b, 1);
}

int GetFileChecksumType(const char *path)
{
    const char *dot = path ? std::strchr(path, '.') : nullptr;
    if (dot && (std::strcmp(dot + 1, "aif") == 0 || std::strcmp(dot + 1, "AIF") == 0))
        return 2;
    return 1;
}

uint32_t ValidateFileChecksum(FILE *file, uint32_t count)
{
    return ValidateFileChecksum_DOS(file, count);
}

uint32_t ValidateFileChecksum_DOS(FILE *file, uint32_t count)
{
    if (!file)
        return static_cast<uint32_t>(kReadError);
    long pos = std::ftell(file);
    if (pos < 0)
        return static_cast<uint32_t>(kReadError);
    uint32_t sum = 0xAAAAAAAAu;
    uint64_t left = static_cast<uint64_t>(count) + 1;
    bool whole = true;
    static const size_t kChunkWords = 2048;
    uint8_t chunk[kChunkWords * 4];
    while (left > 0) {
        size_t want = left < kChunkWords ? static_cast<size_t>(left) : kChunkWords;
        size_t got = std::fread(chunk, 1, want * 4, file);
        for (size_t i = 0; i + 4 <= got; i += 4)
            sum = rotl1(sum) ^ file_word(chunk + i, dHostEndian);
        if (got != want * 4) {
            whole = false;
            break;
        }
        left -= want;
    }
    if (std::fseek(file, pos, SEEK_SET) != 0)
        return static_cast<uint32_t>(kReadError);
    // A region past the end of the file is never intact.
    if (!whole)
        return static_cast<uint32_t>(kEndOfFile);
    return rotl1(sum);
}

DOWNLOAD_STATUS ReadPRGImageHeader(FILE *file, void *header)
{
    if (!file || !header)
        return static_cast<DOWNLOAD_STATUS>(1);
    uint8_t *buf = static_cast<uint8_t *>(header);
    std::memset(buf, 0, PRG_HEADER_SIZE);
    return read_bytes(file, buf, PRG_HEADER_SIZE, dHostEndian == 1);
}

DOWNLOAD_STATUS ReadBootImagePciHeader2(FILE *file, uint8_t *pciHeader)
{
    if (!file || !pciHeader)
        return static_cast<DOWNLOAD_STATUS>(1);
    long start = std::ftell(file);
    if (start < 0)
        return kReadError;
    uint8_t group[4];
    DOWNLOAD_STATUS st = read_bytes(file, group, 4, true);
    if (st != DOWNLOAD_OK)
        return st;
    if (group[0] != 0x55 || group[1] != 0xAA)
        return static_cast<DOWNLOAD_STATUS>(1);
    if (std::fseek(file, start + 24, SEEK_SET) != 0)
        return kReadError;
    st = read_bytes(file, group, 4, true);
    if (st != DOWNLOAD_OK)
        return st;
    uint32_t locator = group[0] | static_cast<uint32_t>(group[1]) << 8 | static_cast<uint32_t>(group[2]) << 16 |
                       static_cast<uint32_t>(group[3]) << 24;
    if (locator == 0)
        return static_cast<DOWNLOAD_STATUS>(1);
    if (std::fseek(file, start + static_cast<long>(locator & 0xFF), SEEK_SET) != 0)
        return kReadError;
    std::memset(pciHeader, 0, BOOT_PCI_HEADER_SIZE);
    st = read_bytes(file, pciHeader, BOOT_PCI_HEADER_SIZE, true);
    if (st != DOWNLOAD_OK)
        return st;
    return std::memcmp(pciHeader, "PCIR", 4) == 0 ? DOWNLOAD_OK : static_cast<DOWNLOAD_STATUS>(1);
}

DOWNLOAD_STATUS ValidateHollinBootProgId(FILE *file, uint32_t expected)
{
    if (expected != HOLLIN_DEVICE_ID)
        return kIncorrectAdapter;
    if (!file)
        return static_cast<DOWNLOAD_STATUS>(1);
    long pos = std::ftell(file);
    if (pos < 0)
        return kReadError;
    uint8_t pci[BOOT_PCI_HEADER_SIZE];
    DOWNLOAD_STATUS st = ReadBootImagePciHeader2(file, pci);
    std::clearerr(file);
    if (std::fseek(file, pos, SEEK_SET) != 0)
        return kReadError;
    if (st != DOWNLOAD_OK)
        return st;
    uint32_t device = pci[6] | static_cast<uint32_t>(pci[7]) << 8;
    return device == HOLLIN_DEVICE_ID ? DOWNLOAD_OK : kIncorrectAdapter;
}

RM_STATUS isVarrowFirmwareFile(const char *path)
{
    if (path && (std::strstr(path, ".grp") || std::strstr(path, ".GRP")))
        return RM_STATUS_OK;
    logDebugOutput("RM_STATUS_ERROR_INCOMP_IMAGE - Invalid GRP image extension! Status = %d\n",
                   static_cast<int>(RM_STATUS_ERROR_INCOMP_IMAGE));
    return RM_STATUS_ERROR_INCOMP_IMAGE;
}

RM_STATUS GetVarrowBuildString(char *version, size_t size, const _GRP_HEADER *header)
{
    if (!version || size == 0 || !header)
        return RM_STATUS_ERROR;
    version[0] = '\0';
    const char *text = header->buildText;
    size_t len = 0;
    while (len < sizeof header->buildText && text[len])
        ++len;
    if (len >= sizeof header->buildText) {
        logDebugOutput("GRP GetVarrowBuildString = %s\n", version);
        return RM_STATUS_ERROR;
    }
    size_t n = 0;
    while (n < len && ((text[n] >= '0' && text[n] <= '9') || text[n] == '.'))
        ++n;
    // A version longer than its room is refused, not cut.
    if (n >= size) {
        logDebugOutput("GRP GetVarrowBuildString = %s\n", version);
        return RM_STATUS_ERROR;
    }
    std::memcpy(version, text, n);
    version[n] = '\0';
    logDebugOutput("GRP GetVarrowBuildString = %s\n", version);
    return RM_STATUS_OK;
}

RM_STATUS getGRPBuildString(uint16_t *signature, const char *path, char *version, size_t size)
{
    logDebugOutput("\n[getGRPBuildString]\n");
    if (isVarrowFirmwareFile(path) != RM_STATUS_OK) {
        logDebugOutput("Invalid GRP Image! Not a Varrow Image!\n");
        return RM_STATUS_ERROR_INCOMP_IMAGE;
    }
    _GRP_HEADER header;
    std::memset(&header, 0, sizeof header);
    RM_STATUS st = VerifyGRP_G6_InitHeader(&header, path);
    if (st != RM_STATUS_OK) {
        std::memset(&header, 0, sizeof header);
        st = VerifyGRP_InitHeader(&header, path);
    }
    if (st == RM_STATUS_ERROR_READING_RESOURCE) {
        logDebugOutput("RM_STATUS_ERROR_READING_RESOURCE - Unable to open ifstream! Status = %d\n", static_cast<int>(st));
        return st;
    }
    if (st == RM_STATUS_ERROR_SHORT_FWIMAGE) {
        logDebugOutput("RM_STATUS_ERROR_SHORT_FWIMAGE - GRP fileLength is smaller than the GRP header length! Status = "
                       "%d\n",
                       static_cast<int>(st));
        return st;
    }
    const uint16_t sig = static_cast<uint16_t>(header.signature >> 16);
    if (st != RM_STATUS_OK) {
        if (header.magic != GRP_MAGIC)
            logDebugOutput("RM_STATUS_ERROR - Varrow firmware file GRP Header magic number bad = %X\n", header.magic);
        if (sig != GRP_SIGNATURE && sig != GRP_G6_SIGNATURE)
            logDebugOutput("RM_STATUS_ERROR - Varrow firmware file GRP Header signature bad    = %X\n",
                           static_cast<unsigned>(sig));
        return RM_STATUS_ERROR;
    }
    if (signature)
        *signature = sig;
    logDebugOutput("RM_STATUS_OK - Varrow firmware file GRP Header magic number is OK = %X\n", header.magic);
    logDebugOutput("RM_STATUS_OK - Varrow firmware file GRP Header signature is OK    = %X\n",
                   static_cast<unsigned>(sig));
    logDebugOutput("RM_STATUS_OK - Varrow firmware file GRP Header pSignature is OK   = %X\n",
                   static_cast<unsigned>(sig));
    if (GetVarrowBuildString(version, size, &header) != RM_STATUS_OK) {
        logDebugOutput("RM_STATUS_ERROR - Varrow firmware file GRP Header version decode bad.\n");
        return RM_STATUS_ERROR;
    }
    logDebugOutput("Varrow firmware version  = %s\n", version);
    return RM_STATUS_OK;
}

RM_STATUS getGRPBuildVersion(const char *path, CLUImage *record)
{
    logDebugOutput("\n[getGRPBuildVersion]\n");
    if (!path || !record) {
        logDebugOutput("Invalid arguments!\n");
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    }
    logDebugOutput("Input file = %s\n", path);
    std::snprintf(record->decodedVersion, sizeof record->decodedVersion, "%s", "0.0.0.0");
    std::snprintf(record->sortedVersion, sizeof record->sortedVersion, "%s", "N/A");
    std::snprintf(record->legacyType, sizeof record->legacyType, "%s", "N/A");
    record->imageType = NO_IMAGE_TYPE;
    uint16_t signature = 0;
    RM_STATUS st = getGRPBuildString(&signature, path, record->decodedVersion, sizeof record->decodedVersion);
    if (st == RM_STATUS_OK)
        record->imageType = signature == GRP_SIGNATURE      ? GRP_IMAGE
                            : signature == GRP_G6_SIGNATURE ? GRP_G6_IMAGE
                                                            : NO_IMAGE_TYPE;
    return st;
}

void copyProgramId(CLUImage *record, uint32_t progId)
{
    record->legacyEncodedRev[0] = static_cast<uint8_t>(progId & 0xFF);
    record->legacyEncodedRev[1] = static_cast<uint8_t>((progId >> 8) & 0xFF);
    record->legacyImageId = static_cast<uint8_t>((progId >> 16) & 0xFF);
    record->legacyImageType = static_cast<uint8_t>(progId >> 24);
}

DOWNLOAD_STATUS verifyAbsImageFile(FILE *file, const uint32_t *aifHeader, CLUImage *record)
{
    if (!file || !aifHeader || !record)
        return kReadError;
    const uint32_t progId = aifHeader[14];
    const unsigned imageId = (progId >> 16) & 0xFF;
    const unsigned imageType = progId >> 24;
    switch (aifHeader[2]) {
    case AIF_DWC_IMAGE: {
        copyProgramId(record, progId);
        logDebugOutput("DWC ImageID   = %X\n", imageId);
        logDebugOutput("DWC ImageType = %X\n", imageType);
        int found;
        if (imageType == 7) {
            found = getSLI_2_ImageType(static_cast<int>(imageId), record->legacyType, sizeof record->legacyType);
        } else if (imageType == 11) {
            found = getSLI_3_ImageType(static_cast<int>(imageId), record->legacyType, sizeof record->legacyType);
        } else {
            logDebugOutput("INVALID_IMAGE_ERROR | ERROR_READING_FILE - Unknown ImageType = %X, Status = %X\n", imageType,
                           static_cast<unsigned>(kReadError));
            return kReadError;
        }
        if (found != 0)
            return kReadError;
        set_decoded_version(record, record->legacyType, progId);
        logDebugOutput("Encoded Type  = %s\n", record->legacyType);
        logDebugOutput("Encoded Ver   = %s\n", record->decodedVersion);
        return DOWNLOAD_OK;
    }
    case AIF_BWC_IMAGE:
        logDebugOutput("\n###### BWC IMAGE ######\n");
        logDebugOutput("BWC ImageID   = %X\n", imageId);
        logDebugOutput("BWC ImageType = %X\n\n", imageType);
        return DOWNLOAD_OK;
    case AIF_FWC_IMAGE:
        logDebugOutput("\n###### FWC IMAGE ######\n");
        logDebugOutput("FWC ImageID   = %X\n", imageId);
        logDebugOutput("FWC ImageType = %X\n", imageType);
        return DOWNLOAD_OK;
    case AIF_AWC_IMAGE: {
        long pos = std::ftell(file);
        bool back = pos >= 0;
        if (back && std::fseek(file, 624, SEEK_SET) == 0) {
            uint32_t unused;
            (void)read_word(file, &unused);
        }
        std::clearerr(file);
        if (!back || std::fseek(file, pos, SEEK_SET) != 0) {
            logDebugOutput("INVALID_IMAGE_ERROR | ERROR_READING_FILE - Error reading AWC Image! Status = %X\n",
                           static_cast<unsigned>(kReadError));
            return kReadError;
        }
        return DOWNLOAD_OK;
    }
    default:
        return kReadError;
    }
}

namespace {

// An image file opened for a version reader, with the reader's log lines;
// null (logged) when there is no path or record or the file cannot be opened.
FILE *open_image(const char *path, bool haveRecord, const char *reading)
{
    FILE *file = (path && haveRecord) ? std::fopen(path, "rb") : nullptr;
    if (!file) {
        logDebugOutput("OPEN_FILE_ERROR - Could not open image file = %s, Status = %X\n", path ? path : "",
                       static_cast<unsigned>(OPEN_FILE_ERROR));
        return nullptr;
    }
    logDebugOutput("Input file = %s\n", path);
    logDebugOutput("%s", reading);
    return file;
}

} // namespace

DOWNLOAD_STATUS getALLBuildVersion(const char *path, CLUImage *record)
{
    logDebugOutput("\n[getALLBuildVersion]\n");
    FILE *file = open_image(path, record != nullptr, "Reading ALL Header...\n");
    if (!file)
        return OPEN_FILE_ERROR;
    DOWNLOAD_STATUS st = DOWNLOAD_OK;
    uint32_t first = 0;
    const long size = ImageFileSize(file);
    uint64_t total = 0;
    int kind;
    if (!read_word(file, &first) || size < 0) {
        st = INVALID_IMAGE_ERROR;
        logDebugOutput("INVALID_IMAGE_ERROR - Status = %X\n", static_cast<unsigned>(st));
        goto done;
    }
    std::rewind(file);
    if (first != NOP_IMAGE_TYPE) {
        st = INCOMPAT_IMAGE_ERROR;
        logDebugOutput("INCOMPAT_IMAGE_ERROR - image_type != NOP_IMAGE_TYPE, Status = %X\n", static_cast<unsigned>(st));
        goto done;
    }
    kind = GetFileChecksumType(path);
    for (;;) {
        uint32_t header[AIF_HEADER_SIZE / 4];
        bool atEnd = false;
        for (uint32_t i = 0; i < AIF_HEADER_SIZE / 4; ++i) {
            if (!read_word(file, &header[i])) {
                if (!std::feof(file)) {
                    st = kReadError;
                    logDebugOutput("INVALID_IMAGE_ERROR | ERROR_READING_FILE - Status = %X\n", static_cast<unsigned>(st));
                    goto done;
                }
                atEnd = true;
                break;
            }
        }
        if (atEnd)
            break;
        if (header[0] != NOP_IMAGE_TYPE) {
            st = kReadError;
            logDebugOutput("INVALID_IMAGE_ERROR | ERROR_READING_FILE - Aif_header.compress_br != NOP_IMAGE_TYPE, Status "
                           "= %X\n",
                           static_cast<unsigned>(st));
            goto done;
        }
        total += static_cast<uint64_t>(header[5]) + AIF_HEADER_SIZE + (kind == 1 ? 4 : 0);
        if (verifyAbsImageFile(file, header, record) != DOWNLOAD_OK) {
            st = INCOMPAT_IMAGE_ERROR;
            goto done;
        }
        // An image reaching past the end of its file is refused here.
        if (total > static_cast<uint64_t>(size) || std::fseek(file, static_cast<long>(total), SEEK_SET) != 0) {
            st = kReadError;
            logDebugOutput("INVALID_IMAGE_ERROR | ERROR_READING_FILE - fseek accuFileSize failed - Status = %X\n",
                           static_cast<unsigned>(st));
            goto done;
        }
    }
    if (total == 0) {
        // No whole image header in the file.
        st = kReadError;
        logDebugOutput("INVALID_IMAGE_ERROR | ERROR_READING_FILE - Status = %X\n", static_cast<unsigned>(st));
        goto done;
    }
    if (kind == 1) {
        std::rewind(file);
        // The region is the images read, each with its checksum word: a
        // word more would run past the end of the file.
        uint32_t sum = ValidateFileChecksum(file, static_cast<uint32_t>((total + 3) / 4 - 1));
        if (sum != 0) {
            st = BAD_CHECKSUM_ERROR;
            logDebugOutput("BAD_CHECKSUM_ERROR - Checksum = %08lX, Status = %X\n", static_cast<unsigned long>(sum),
                           static_cast<unsigned>(st));
            goto done;
        }
    }
done:
    std::fclose(file);
    return st;
}

DOWNLOAD_STATUS getPRGBuildVersion(const char *path, CLUImage *record)
{
    logDebugOutput("\n[getPRGBuildVersion]\n");
    FILE *file = open_image(path, record != nullptr, "Reading PRG Header...\n");
    if (!file)
        return OPEN_FILE_ERROR;
    DOWNLOAD_STATUS st = DOWNLOAD_OK;
    uint32_t first = 0;
    uint32_t header[PRG_HEADER_SIZE / 4];
    uint32_t progId;
    int id;
    if (!read_word(file, &first)) {
        st = INVALID_IMAGE_ERROR;
        logDebugOutput("INVALID_IMAGE_ERROR - Status = %X\n", static_cast<unsigned>(st));
        goto done;
    }
    std::rewind(file);
    if (first == NOP_IMAGE_TYPE) {
        st = INCOMPAT_IMAGE_ERROR;
        logDebugOutput("INCOMPAT_IMAGE_ERROR - Image Type = %X, Status = %X\n", first, static_cast<unsigned>(st));
        goto done;
    }
    st = ReadPRGImageHeader(file, header);
    if (st != DOWNLOAD_OK)
        goto done;
    progId = header[1];
    id = static_cast<int>((progId >> 16) & 0xFF);
    logDebugOutput("PRG ImageID   = %X\n", static_cast<unsigned>(id));
    if (getBootCodeType(id, record->legacyType, sizeof record->legacyType) != 0) {
        st = INCOMPAT_IMAGE_ERROR;
        logDebugOutput("INCOMPAT_IMAGE_ERROR - Status = %X\n", static_cast<unsigned>(st));
        goto done;
    }
    // The boot image's ROM begins right behind the header.
    if (record->legacyType[0] == BOOT_GROUP15_LETTER && ValidateHollinBootProgId(file, HOLLIN_DEVICE_ID) == DOWNLOAD_OK)
        record->legacyType[0] = BOOT_HOLLIN_LETTER;
    logDebugOutput("Encoded Type  = %s\n", record->legacyType);
    set_decoded_version(record, record->legacyType, progId);
    logDebugOutput("Encoded Ver   = %s\n", record->decodedVersion);
    copyProgramId(record, progId);
done:
    std::fclose(file);
    return st;
}

int getSLI_2_ImageType(int id, char *code, size_t size)
{
    return sli_code(id, code, size, false);
}

int getSLI_3_ImageType(int id, char *code, size_t size)
{
    return sli_code(id, code, size, true);
}

int getBootCodeType(int id, char *code, size_t size)
{
    if (!code || size == 0)
        return 1;
    code[0] = '\0';
    char text[3] = {0, 0, 0};
    if (id >= 1 && id <= 255) {
        const int group = (id - 1) / 8;
        const char family = boot_group_letter(group);
        const char kind = boot_kind_letter(id);
        // Kind 7 has no code in groups 4, 6 and 8.
        const bool noKind7 = id % 8 == 7 && (group == 4 || group == 6 || group == 8);
        if (family && kind && !noKind7) {
            text[0] = family;
            text[1] = kind;
        }
    }
    return set_code(text[0] ? text : nullptr, code, size);
}

int getEncodedRev(const uint8_t *progId, char *text, size_t size)
{
    if (!progId || !text || size == 0)
        return 1;
    uint32_t word;
    std::memcpy(&word, progId, 4);
    const unsigned version = (word >> 12) & 0xF;
    const unsigned revision = (word >> 8) & 0xF;
    const unsigned fixlevel = (word >> 6) & 0x3;
    const unsigned distType = (word >> 4) & 0x3;
    const unsigned distCnt = word & 0xF;
    static const char kDistLetters[] = "NABX";
    logDebugOutput("Version       = %u\n", version);
    logDebugOutput("Revision      = %u\n", revision);
    logDebugOutput("Fixlevel      = %u\n", fixlevel);
    logDebugOutput("Dist_type     = %c (%u)\n", kDistLetters[distType], distType);
    logDebugOutput("Dist_cnt      = %u\n", distCnt);
    int n = std::snprintf(text, size, "%u%u%u%c%u", version, revision, fixlevel, kDistLetters[distType], distCnt);
    if (n < 0 || static_cast<size_t>(n) >= size) {
        text[0] = '\0';
        return 1;
    }
    return 0;
}
