#include "hba/download_security.h"

#include <cstring>

#include "flash/engine_log.h"
#include "flash/fc_image_files.h"
#include "hba/mbox_commands.h"
#include "hba/mbox_transport.h"
#include "kpl.h"

#define SEC_TRACE(...)                                                                                                 \
    do {                                                                                                               \
        if (EngineTraceOn())                                                                                           \
            rm_fprintf(LogFp, __VA_ARGS__);                                                                            \
    } while (0)

// The build's known download keys: key 0 is the root, key 1 follows it and
// key 2 follows key 1.
const ADL_KEK_DATA gADL_KEK_Data[ADL_KEK_COUNT] = {
    {KEK_FLAG_ROOT,
     0,
     {0x3C, 0x91, 0x5E, 0x07},
     {0xA2, 0x4D, 0x18, 0xF6},
     {0x61, 0x0B, 0xD4, 0x9E, 0x27, 0x73, 0xC8, 0x15, 0x5A, 0xE0, 0x3F, 0x86, 0x12, 0xBD, 0x49, 0x70, 0xCE, 0x2B, 0x94, 0x58,
      0x0D, 0xF1, 0x66, 0xA3, 0x37, 0x8C, 0xE9, 0x04, 0x5B, 0xB2, 0x1F, 0x7A, 0xC5, 0x20, 0x9D, 0x43, 0xEE, 0x38, 0x81, 0x16},
     27,
     "FACTORY ROOT KEK FOR SIGNED"},
    {0,
     0,
     {0x58, 0x2E, 0xC7, 0x93},
     {0x0F, 0xB6, 0x71, 0x4A},
     {0xD9, 0x34, 0x8F, 0x02, 0x6B, 0xE5, 0x1C, 0xA7, 0x40, 0x9B, 0x76, 0x2D, 0xF8, 0x53, 0x0E, 0xC1, 0x3A, 0x85, 0x6F, 0x14,
      0xB0, 0x4B, 0xE2, 0x79, 0x25, 0xDC, 0x07, 0x9A, 0x63, 0x1E, 0xC9, 0x50, 0x8B, 0x36, 0xF4, 0x0A, 0x7D, 0xA1, 0x48, 0xE3},
     21,
     "FIELD KEK SECOND STEP"},
    {0,
     1,
     {0xE4, 0x19, 0x6A, 0xB5},
     {0x72, 0xC3, 0x08, 0x5D},
     {0x2F, 0x96, 0x41, 0xDA, 0x0C, 0x7B, 0xB8, 0x35, 0xE1, 0x64, 0x1A, 0xCF, 0x83, 0x59, 0x06, 0xAE, 0x4D, 0xF2, 0x27, 0x90,
      0x6C, 0x15, 0xBB, 0x3E, 0xD0, 0x88, 0x42, 0xF9, 0x1D, 0x67, 0xA4, 0x0B, 0xC6, 0x31, 0x9F, 0x54, 0xEA, 0x23, 0x7E, 0xB1},
     21,
     "FIELD KEK THIRD STEPS"},
};

namespace {

const uint32_t kReadError = 0xFFF90001u;
const uint32_t kShortImage = 0xFFF90002u;
const uint32_t kIncorrectAdapter = 0xFFF70001u;
const uint32_t kNotAuthenticated = 0xFFEB0000u;
const uint32_t kSecurityMboxBytes = 256;
const int kAdapterStateFailed = 2;
// The adapter answers at most 64 id bytes.
const uint32_t kAdapterIdBytes = 64;

bool family_checks_boot(uint32_t family)
{
    static const uint32_t families[] = {0xF100, 0xF104, 0xF10B, 0xF111, 0xF112, 0xF180, 0x338F};
    for (uint32_t f : families)
        if (f == family)
            return true;
    return false;
}

// One byte of the file: 0, end of file, or a read error.
uint32_t read_byte(FILE *file, uint8_t *out)
{
    if (std::feof(file))
        return kShortImage;
    int c = std::fgetc(file);
    if (c == EOF)
        return std::feof(file) ? kShortImage : kReadError;
    *out = static_cast<uint8_t>(c);
    return 0;
}

// `n` bytes stored word-reversed, put back in order (byte i to i XOR 3).
uint32_t read_reversed(FILE *file, uint8_t *out, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i) {
        uint8_t b = 0;
        uint32_t r = read_byte(file, &b);
        if (r)
            return r;
        if ((i ^ 3u) < n)
            out[i ^ 3u] = b;
    }
    return 0;
}

// Text of a word-reversed 64-byte id field.
void reverse_words(uint8_t *dst, const uint8_t *src, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i)
        dst[i ^ 3u] = src[i];
}

void reverse4(uint8_t *dst, const uint8_t *src)
{
    for (int i = 0; i < 4; ++i)
        dst[i] = src[3 - i];
}

// The first idLength characters of `id` are the entry's id text.
bool names_entry(const char *id, const ADL_KEK_DATA &e)
{
    return std::strncmp(id, e.idText, e.idLength) == 0;
}

int find_entry(const char *id)
{
    for (int i = 0; i < ADL_KEK_COUNT; ++i)
        if (names_entry(id, gADL_KEK_Data[i]))
            return i;
    return -1;
}

// A security command through the library; the library's result.
int send_security(int board, uint8_t *mbox, int sizeA, int sizeB, int retries)
{
    return KPL_IssueMboxWithRetry(board, mbox, sizeA, sizeB, retries, MBOX_WAIT_SECURITY);
}

void store_error(const uint8_t *mbox)
{
    gErrorData.command = mbox[1];
    gErrorData.status = mbox_u16(mbox, 2);
}

long file_size_from(FILE *file, long *position)
{
    *position = std::ftell(file);
    if (*position < 0 || std::fseek(file, 0, SEEK_END) != 0)
        return -1;
    long end = std::ftell(file);
    if (std::fseek(file, *position, SEEK_SET) != 0)
        return -1;
    return end;
}

// The key block `back` bytes before the end a header word names, counted from
// `base` bytes behind the current position. The word and the block must lie
// inside the file: the offset from the position, or -1.
bool block_offset(FILE *file, uint32_t word, uint32_t back, long base, long *offset)
{
    long position = 0;
    long size = file_size_from(file, &position);
    if (size < 0 || word < back)
        return false;
    uint64_t start = static_cast<uint64_t>(position) + static_cast<uint64_t>(base) + (word - back);
    if (start + KEK_BLOCK_SIZE > static_cast<uint64_t>(size))
        return false;
    *offset = base + static_cast<long>(word - back);
    return true;
}

// Reads the block at `offset`, restores the position and brings the adapter's
// key to the block's; a key step the adapter does not know is left to it.
uint32_t update_key(int board, FILE *file, long start, long offset, uint8_t *signedImage)
{
    char id[KEK_ID_SIZE + 1];
    std::memset(id, 0, sizeof id);
    uint32_t size = KEK_ID_SIZE;
    uint32_t r = ReadKekIdFromImage(file, id, &size, offset, signedImage);
    if (std::fseek(file, start, SEEK_SET) != 0)
        return kReadError;
    if (r)
        return r;
    r = ProcessKek(board, id);
    return r == KEK_NOT_SUPPORTED ? 0 : r;
}

// The known-key check of the IsAuthenticated_* operations.
uint32_t validate_block(FILE *file, long offset, uint8_t *signedImage)
{
    *signedImage = 0;
    uint32_t r = ValidateKekIdFromImage(file, offset, signedImage);
    return (r == 0 && *signedImage) ? 0 : kNotAuthenticated;
}

// The PRG header of an FWC container, each word in host order, as the front
// end's reader delivers it.
uint32_t read_prg_header(FILE *file, uint8_t *header)
{
    std::memset(header, 0, PRG_HEADER_SIZE);
    return static_cast<uint32_t>(ReadPRGImageHeader(file, header));
}

bool prg_signed(const uint8_t *header)
{
    return (header[12] & 0x10) != 0;
}

// The key block of an FWC container, named by its PRG header, read at the
// file's position (left where it was): 0 with the position and the block's
// offset, the header read's failure, not signed, or a block outside the file.
uint32_t fwc_key_block(FILE *file, long *start, long *offset)
{
    *start = std::ftell(file);
    if (*start < 0)
        return kReadError;
    uint8_t header[PRG_HEADER_SIZE];
    uint32_t r = read_prg_header(file, header);
    if (std::fseek(file, *start, SEEK_SET) != 0)
        return kReadError;
    if (r)
        return r;
    if (!prg_signed(header))
        return kNotAuthenticated;
    if (!block_offset(file, mbox_u32(header, 32), KEK_BLOCK_BACK_FWC, PRG_HEADER_SIZE, offset))
        return kReadError;
    return 0;
}

} // namespace

uint32_t ReadBootImagePciHeader(FILE *file, uint8_t *pciHeader)
{
    if (!file || !pciHeader)
        return 1;
    long start = std::ftell(file);
    if (start < 0)
        return kReadError;
    uint8_t w[4] = {};
    uint32_t r = read_reversed(file, w, 4);
    if (r)
        return r;
    uint32_t word = mbox_u32(w, 0);
    if ((word & 0xFFFF) != 0xAA55) {
        SEC_TRACE("[ReadBootImagePciHeader] Error: ImageSignature is invalid.  Signature is 0x%x\n", word);
        return 1;
    }
    if (std::fseek(file, start + 24, SEEK_SET) != 0)
        return kReadError;
    r = read_reversed(file, w, 4);
    if (r)
        return r;
    word = mbox_u32(w, 0);
    if (word == 0)
        return 1;
    if (std::fseek(file, start + static_cast<long>(word & 0xFF), SEEK_SET) != 0)
        return kReadError;
    std::memset(pciHeader, 0, BOOT_PCI_HEADER_SIZE);
    r = read_reversed(file, pciHeader, BOOT_PCI_HEADER_SIZE);
    if (r)
        return r;
    if (std::memcmp(pciHeader, "PCIR", 4) != 0) {
        SEC_TRACE("[ReadBootImagePciHeader] Error: pPciHeader->Signature is invalid.  Signature is %c%c%c%c\n",
                  pciHeader[0], pciHeader[1], pciHeader[2], pciHeader[3]);
        return 1;
    }
    return 0;
}

uint32_t ValidateOskaraOrHollinBootProgId(FILE *file, uint32_t family)
{
    if (!family_checks_boot(family))
        return 0;
    SEC_TRACE("[ValidateOskaraOrHollinBootProgId] Enter\n");
    uint8_t pci[BOOT_PCI_HEADER_SIZE];
    long position = file ? std::ftell(file) : -1;
    uint32_t r = ReadBootImagePciHeader(file, pci);
    if (position >= 0 && std::fseek(file, position, SEEK_SET) != 0 && r == 0)
        r = kReadError;
    if (r) {
        SEC_TRACE("[ValidateOskaraOrHollinBootProgId] Error: ReadBootImagePciHeader returned = %d\n",
                  static_cast<int>(r));
        return r;
    }
    uint16_t device = mbox_u16(pci, 6);
    bool fits = family == 0xF180 ? device == 0xF180 : device != 0xF180;
    if (!fits) {
        SEC_TRACE("[ValidateOskaraOrHollinBootProgId] adapterFamily: 0x%x != PciHeader.DevId: 0x%x. Returning "
                  "INCOMPAT_IMAGE_ERROR | INCORRECT_ADPT\n",
                  family, device);
        return kIncorrectAdapter;
    }
    return 0;
}

int ZeroizeSecurityData(int board)
{
    uint8_t mbox[kSecurityMboxBytes];
    std::memset(mbox, 0, sizeof mbox);
    mbox[1] = MBX_SECURITY;
    mbox[7] = SECURITY_ZEROIZE;
    int r = send_security(board, mbox, 32, 32, 0);
    bool failed = r != 0 && r != SECURITY_ZEROIZE_DONE;
    if (failed) {
        SEC_TRACE("[ZeroizeSecurityData] KPL_IssueMboxWithRetry (Board %d): returnStat %d, mbxCommand= 0x%x, "
                  "mbxStatus=0x%x\n",
                  board, r, mbox[1], mbox_u16(mbox, 2));
        store_error(mbox);
    }
    // A refused zeroize leaves the keys in place: never reported as done.
    if (failed || GetAdapterState(board) == kAdapterStateFailed)
        return static_cast<int>(ZEROIZE_FAILED);
    return 0;
}

uint32_t GetDownloadKekId(int board, char *buffer, uint32_t *size)
{
    if (!buffer || !size || *size < KEK_ID_SIZE)
        return KEK_FAILED;
    uint8_t mbox[kSecurityMboxBytes];
    std::memset(mbox, 0, sizeof mbox);
    mbox[1] = MBX_SECURITY;
    mbox[7] = SECURITY_GET_KEK_ID;
    int r = send_security(board, mbox, 31, 124, 10);
    if (r != 0) {
        SEC_TRACE("[GetKEK_ID] KPL_IssueMboxWithRetry (Board %d): returnStat %d, mbxCommand= 0x%x, mbxStatus=0x%x\n",
                   board, r, mbox[1], mbox_u16(mbox, 2));
        store_error(mbox);
        return mbox_u16(mbox, 2) == SECURITY_NOT_SUPPORTED ? KEK_NOT_SUPPORTED : KEK_FAILED;
    }
    uint32_t length = mbox_u32(mbox, 8);
    // The adapter's length is bounded by the id bytes it answers.
    if (length > kAdapterIdBytes)
        return KEK_FAILED;
    *size = length;
    reverse_words(reinterpret_cast<uint8_t *>(buffer), mbox + 12, kAdapterIdBytes);
    return 0;
}

uint32_t SetDownloadKek(int board, const ADL_KEK_DATA *entry)
{
    if (!entry)
        return KEK_FAILED;
    uint8_t mbox[kSecurityMboxBytes];
    std::memset(mbox, 0, sizeof mbox);
    mbox[1] = MBX_SECURITY;
    mbox[7] = SECURITY_SET_KEK;
    mbox[8] = 0x20;
    mbox[9] = 2;
    mbox[10] = 1;
    mbox[11] = 0;
    mbox[12] = 40;
    mbox[13] = 2;
    mbox_put_u16(mbox, 14, static_cast<uint16_t>(entry->idLength));
    reverse4(mbox + 16, entry->keyWord2);
    reverse4(mbox + 20, entry->keyWord1);
    std::memcpy(mbox + 24, entry->keyBlob, sizeof entry->keyBlob);
    uint8_t id[kAdapterIdBytes];
    std::memset(id, 0, sizeof id);
    size_t n = std::strlen(entry->idText);
    std::memcpy(id, entry->idText, n < sizeof id ? n : sizeof id);
    reverse_words(mbox + 64, id, kAdapterIdBytes);
    int r = send_security(board, mbox, 31, 124, 10);
    if (r != 0) {
        SEC_TRACE("[SetKEK] KPL_IssueMboxWithRetry (Board %d): returnStat %d, mbxCommand= 0x%x, mbxStatus=0x%x\n",
                   board, r, mbox[1], mbox_u16(mbox, 2));
        store_error(mbox);
        return mbox_u16(mbox, 2) == SECURITY_NOT_SUPPORTED ? KEK_NOT_SUPPORTED : KEK_FAILED;
    }
    return 0;
}

uint32_t ReadKekIdFromImage(FILE *file, char *buffer, uint32_t *size, long offset, uint8_t *signedImage)
{
    if (!file || !buffer || !size || *size < KEK_ID_SIZE)
        return KEK_FAILED;
    if (std::fseek(file, offset, SEEK_CUR) != 0) {
        SEC_TRACE("[ReadKekIdFromPRG] Failed seeking file pointer\n");
        return kReadError;
    }
    uint8_t block[KEK_BLOCK_SIZE];
    for (uint32_t i = 0; i < KEK_BLOCK_SIZE; ++i) {
        uint32_t r = read_byte(file, &block[i]);
        if (r)
            return r;
    }
    if ((block[0] | block[1] | block[2] | block[3]) != 0 && signedImage)
        *signedImage = 1;
    std::memcpy(buffer, block + KEK_BLOCK_ID_OFFSET, KEK_ID_SIZE);
    uint32_t n = 0;
    while (n < KEK_ID_SIZE && buffer[n] != 0)
        ++n;
    *size = n;
    return 0;
}

uint32_t ValidateKekIdFromImage(FILE *file, long offset, uint8_t *signedImage)
{
    if (!file || !signedImage)
        return KEK_FAILED;
    long position = std::ftell(file);
    if (position < 0)
        return kReadError;
    char id[KEK_ID_SIZE + 1];
    std::memset(id, 0, sizeof id);
    uint32_t size = KEK_ID_SIZE;
    uint32_t r = ReadKekIdFromImage(file, id, &size, offset, signedImage);
    if (std::fseek(file, position, SEEK_SET) != 0)
        return kReadError;
    if (r)
        return KEK_FAILED;
    if (find_entry(id) < 0) {
        SEC_TRACE("[ValidateKekIdFromImage] Error: Target KEK ID for download was not known.\n");
        return KEK_FAILED;
    }
    return 0;
}

uint32_t ProcessKek(int board, const char *targetId)
{
    if (!targetId)
        return KEK_FAILED;
    int target = find_entry(targetId);
    if (target < 0) {
        SEC_TRACE("[ProcessKEK] Error: Target KEK ID for download was not known.\n");
        return KEK_FAILED;
    }
    SEC_TRACE("[ProcessKEK] TARGET KEK FOUND\n");
    SEC_TRACE("[ProcessKEK] READ INITIAL HBA DOWNLOAD KEK\n");
    char held[KEK_ID_SIZE + 1];
    std::memset(held, 0, sizeof held);
    uint32_t size = KEK_ID_SIZE;
    uint32_t r = GetDownloadKekId(board, held, &size);
    if (r == KEK_NOT_SUPPORTED) {
        rm_fprintf(LogFp, "[ProcessKEK] ERROR: GetDownloadKekId command not supported.\n");
        return KEK_NOT_SUPPORTED;
    }
    if (r) {
        rm_fprintf(LogFp, "[ProcessKEK] ERROR: Failed to get the board KEK ID string.\n");
        return KEK_FAILED;
    }

    SEC_TRACE("[ProcessKEK] INITIAL HBA DOWNLOAD KEK READ\n");
    SEC_TRACE("[ProcessKEK] CALCULATE UPDATE PATH TO REACH TARGET KEK\n");
    int path[ADL_KEK_COUNT];
    int match = -1;
    int current = target;
    for (int step = 0; step < ADL_KEK_COUNT; ++step) {
        path[step] = current;
        const ADL_KEK_DATA &e = gADL_KEK_Data[current];
        if (names_entry(held, e)) {
            match = step;
            break;
        }
        if (e.flags & KEK_FLAG_ROOT)
            break;
        if (e.predecessor >= static_cast<uint32_t>(ADL_KEK_COUNT))
            break;
        current = static_cast<int>(e.predecessor);
    }
    if (match < 0) {
        SEC_TRACE("[ProcessKEK] ERROR: Could not find a valid path to the required download KEK.  HBA may need to be "
                  "zeroized.\n");
        return KEK_FAILED;
    }
    if (match == 0) {
        SEC_TRACE("[ProcessKEK] HBA already has the required download KEK, no SET KEK operation required!\n");
        return 0;
    }

    SEC_TRACE("[ProcessKEK] UPDATE PATH FOUND\n");
    SEC_TRACE("[ProcessKEK] PERFORM UPDATE STEPS\n");
    for (int step = match - 1; step >= 0; --step) {
        r = SetDownloadKek(board, &gADL_KEK_Data[path[step]]);
        if (r == KEK_NOT_SUPPORTED) {
            rm_fprintf(LogFp, "[ProcessKEK] ERROR: SetDownloadKek command not supported.\n");
            return KEK_NOT_SUPPORTED;
        }
        if (r) {
            SEC_TRACE("[ProcessKEK] ERROR: Failed to update download KEK. SET_KEK failure.\n");
            return KEK_FAILED;
        }
    }

    SEC_TRACE("[ProcessKEK] HBA UPDATED TO TARGET KEK\n");
    SEC_TRACE("[ProcessKEK] VERIFY KEK UPDATE BY READING KEK ID\n");
    std::memset(held, 0, sizeof held);
    size = KEK_ID_SIZE;
    r = GetDownloadKekId(board, held, &size);
    if (r == KEK_NOT_SUPPORTED) {
        rm_fprintf(LogFp, "[ProcessKEK] ERROR: GetDownloadKekId command not supported.\n");
        return KEK_NOT_SUPPORTED;
    }
    if (r) {
        rm_fprintf(LogFp, "[ProcessKEK] ERROR: Failed to verify the set KEK ID string.\n");
        return KEK_FAILED;
    }
    if (std::strncmp(held, targetId, KEK_ID_SIZE) != 0)
        return KEK_FAILED;
    return 0;
}

uint32_t AuthenticateAWC(int board, FILE *file, const uint8_t *header, uint8_t *signedImage)
{
    if (!file || !header || !signedImage)
        return KEK_BAD_ARGUMENT;
    uint32_t word = mbox_u32(header, 20);
    long offset = 0;
    if (word == 0 || !block_offset(file, word, KEK_BLOCK_BACK, 0, &offset)) {
        SEC_TRACE("[AuthenticateAWC] Failed reading KEK from AWC image\n");
        return kReadError;
    }
    return update_key(board, file, std::ftell(file), offset, signedImage);
}

uint32_t AuthenticatePRG(int board, FILE *file, const uint8_t *header, uint8_t *signedImage)
{
    if (!file || !header || !signedImage)
        return KEK_BAD_ARGUMENT;
    if (!prg_signed(header))
        return kNotAuthenticated;
    long offset = 0;
    if (!block_offset(file, mbox_u32(header, 32), KEK_BLOCK_BACK, 0, &offset))
        return kReadError;
    return update_key(board, file, std::ftell(file), offset, signedImage);
}

uint32_t AuthenticateFWC(int board, FILE *file, uint8_t *signedImage)
{
    if (!file || !signedImage)
        return KEK_BAD_ARGUMENT;
    long start = 0, offset = 0;
    uint32_t r = fwc_key_block(file, &start, &offset);
    return r ? r : update_key(board, file, start, offset, signedImage);
}

uint32_t IsAuthenticated_AWC(FILE *file, const uint8_t *header, uint8_t *signedImage)
{
    if (!file || !header || !signedImage)
        return KEK_BAD_ARGUMENT;
    uint32_t word = mbox_u32(header, 20);
    long offset = 0;
    if (word == 0 || !block_offset(file, word, KEK_BLOCK_BACK, 0, &offset)) {
        SEC_TRACE("[AuthenticateAWC] Failed reading KEK from AWC image\n");
        return kReadError;
    }
    return validate_block(file, offset, signedImage);
}

uint32_t IsAuthenticated_PRG(FILE *file, const uint8_t *header, uint8_t *signedImage, int blockAtEnd)
{
    if (!file || !header || !signedImage)
        return KEK_BAD_ARGUMENT;
    if (!prg_signed(header))
        return kNotAuthenticated;
    long offset = 0;
    if (!block_offset(file, mbox_u32(header, 32), blockAtEnd ? KEK_BLOCK_BACK_FWC : KEK_BLOCK_BACK, 0, &offset))
        return kNotAuthenticated;
    return validate_block(file, offset, signedImage);
}

uint32_t IsAuthenticated_FWC(FILE *file, uint8_t *signedImage)
{
    if (!file || !signedImage)
        return KEK_BAD_ARGUMENT;
    long start = 0, offset = 0;
    uint32_t r = fwc_key_block(file, &start, &offset);
    return r ? r : validate_block(file, offset, signedImage);
}

bool IsLargeSizeHollinDwcPrg(uint32_t programId)
{
    uint32_t type = programId >> 24;
    if (type != 2 && type != 7 && type != 11)
        return false;
    return ((programId >> 12) & 0xF) == 0 || ((programId >> 8) & 0xF) == 0;
}
