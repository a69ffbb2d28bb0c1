#include "flash/ufi_image.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "adapters/board_predicates.h"
#include "flash/engine_log.h"
#include "flash/neighbour_services.h"

namespace {

bool image_diagnostics()
{
    return (Options.LOG_MODE & LOG_MODE_ENGINE) != 0;
}

// One engine-log text, written only while image diagnostics are enabled.
void engine_log(const char *format, ...) __attribute__((format(printf, 1, 2)));
void engine_log(const char *format, ...)
{
    if (!image_diagnostics())
        return;
    char text[4096];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    rm_fprintf(LogFp, "%s", text);
}

// A fixed-width text field as a terminated text of at most `width` - 1
// characters (its last byte ends it, as the dumps show it).
void field_text(char *out, const void *field, size_t width)
{
    std::memcpy(out, field, width);
    out[width - 1] = '\0';
}

void swap_words(uint8_t *base, size_t first, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        SwapSizeN(base + first + 4 * i, 4);
}

} // namespace

FILE *OpenUFIFile(const char *path)
{
    if (!path)
        return nullptr;
    // Non-blocking so that a pipe or device named like an image cannot stall
    // the caller; only regular files are read.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    FILE *f = fdopen(fd, "rb");
    if (!f)
        close(fd);
    return f;
}

void BuildUFIFlashDirCookie(uint8_t cookie[32])
{
    std::memset(cookie, 0, 32);
    std::memcpy(cookie, "*** TQ FLAS", 11);
    std::memcpy(cookie + 16, "H DIRECTORY *** ", 16);
}

RM_STATUS ReadUFIHeader(const char *path, void *buffer, uint32_t length)
{
    if (!path || !buffer)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    std::memset(buffer, 0, length);
    FILE *f = OpenUFIFile(path);
    if (!f) {
        engine_log("[ReadUFIHeader] RM_STATUS_ERROR_READING_RESOURCE - Unable to open ifstream! Status = %d\n",
                   RM_STATUS_ERROR_READING_RESOURCE);
        return RM_STATUS_ERROR_READING_RESOURCE;
    }
    size_t got = 0;
    if (std::fseek(f, 0, SEEK_SET) == 0)
        got = std::fread(buffer, 1, length, f);
    std::fclose(f);
    if (got == length)
        return RM_STATUS_OK;
    if (got < length) {
        engine_log("[ReadUFIHeader] bytes read %d < header length %d. Return RM_STATUS_ERROR_SHORT_FWIMAGE\n",
                   static_cast<int>(got), static_cast<int>(length));
        return RM_STATUS_ERROR_SHORT_FWIMAGE;
    }
    engine_log("[ReadUFIHeader] bytes read %d != header length %d. Return RM_STATUS_ERROR\n", static_cast<int>(got),
               static_cast<int>(length));
    return RM_STATUS_ERROR;
}

RM_STATUS ReadUFIHeaderAW2(const char *path, AW2_FILE_HEADER_T *header)
{
    if (!path || !header)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    RM_STATUS st = ReadUFIHeader(path, header, sizeof *header);
    if (st != RM_STATUS_OK)
        return st;
    SwapUFIHeaderForBigEndian(header);
    WriteUFIHeaderDebug(header);
    return RM_STATUS_OK;
}

RM_STATUS ReadUFIHeaderAW3(const char *path, FILE_HEADER_T *header)
{
    if (!path || !header)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    RM_STATUS st = ReadUFIHeader(path, header, sizeof *header);
    if (st != RM_STATUS_OK)
        return st;
    SwapUFIHeaderForBigEndianAW3(header);
    WriteUFIHeaderDebugAW3(header);
    return RM_STATUS_OK;
}

RM_STATUS GetRawUFIBuildString(const char *path, char *out)
{
    if (!out)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    AW2_FILE_HEADER_T header;
    RM_STATUS st = ReadUFIHeaderAW2(path, &header);
    if (st != RM_STATUS_OK)
        return st;
    // The field need not hold a terminator: at most 23 characters are taken.
    size_t n = 0;
    while (n < UFI_BUILD_TEXT_SIZE - 1 && header.FH_Build[n])
        ++n;
    std::memcpy(out, header.FH_Build, n);
    out[n] = '\0';
    return RM_STATUS_OK;
}

RM_STATUS DecodeRawBuildString(const char *build, uint8_t *generation, char *version, size_t versionSize)
{
    if (!build || build[0] == '\0' || !generation || !version)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    uint8_t gen;
    switch (build[0]) {
    case '4': gen = 4; break;
    case '3': gen = 3; break;
    case '2':
    case '1': gen = 2; break;
    default: return RM_STATUS_ERROR;
    }
    const char *text = build[1] == ' ' ? build + 2 : build;
    size_t len = std::strlen(text);
    // A version text that does not fit the caller's buffer is refused, not cut.
    if (len >= versionSize)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    *generation = gen;
    std::memcpy(version, text, len + 1);
    return RM_STATUS_OK;
}

RM_STATUS ReadUFIFlashDir(const char *path, AW2_FLASHDIR_TYPE *dir, uint32_t start)
{
    if (!path || !dir)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    std::memset(dir, 0, sizeof *dir);
    FILE *f = OpenUFIFile(path);
    if (!f)
        return RM_STATUS_ERROR_READING_RESOURCE;
    uint8_t cookie[UFI_COOKIE_SIZE];
    BuildUFIFlashDirCookie(cookie);

    bool found = false;
    long at = static_cast<long>(start);
    if (at >= 0 && std::fseek(f, at, SEEK_SET) == 0) {
        uint8_t chunk[UFI_COOKIE_SIZE];
        while (std::fread(chunk, 1, sizeof chunk, f) == sizeof chunk) {
            if (std::memcmp(chunk, cookie, sizeof cookie) == 0) {
                found = true;
                break;
            }
        }
    }
    if (!found) {
        std::fclose(f);
        return RM_STATUS_ERROR_NOT_FOUND;
    }
    RM_STATUS st = RM_STATUS_ERROR;
    if (std::fseek(f, -static_cast<long>(UFI_COOKIE_SIZE), SEEK_CUR) == 0 &&
        std::fread(dir, 1, sizeof *dir, f) == sizeof *dir) {
        SwapUFIFlashDirForBigEndian(dir);
        WriteUFIFlashDirDebug(dir);
        st = RM_STATUS_OK;
    }
    std::fclose(f);
    return st;
}

uint32_t GetFileLength(const char *path)
{
    if (!path)
        return 0;
    FILE *f = OpenUFIFile(path);
    if (!f)
        return 0;
    long len = -1;
    if (std::fseek(f, 0, SEEK_END) == 0)
        len = std::ftell(f);
    std::fclose(f);
    // A length beyond 32 bits cannot be told from a wrapped one: refused.
    if (len < 0 || static_cast<unsigned long>(len) > UINT32_MAX)
        return 0;
    return static_cast<uint32_t>(len);
}

bool isUFIFlashDirAW2(const AW2_FLASHDIR_TYPE *dir)
{
    if (!dir)
        return false;
    for (const AW2_CONTROLLER_ID_T &id : dir->flashdir_header.UFIIdentifierString)
        if (isBrindlefinBoard(static_cast<int32_t>(id.Device)))
            return true;
    return false;
}

bool isUFIFlashDirAW3(const AW2_FLASHDIR_TYPE *dir)
{
    if (!dir)
        return false;
    for (const AW2_CONTROLLER_ID_T &id : dir->flashdir_header.UFIIdentifierString)
        if (isGorselBoard(static_cast<int32_t>(id.Device)))
            return true;
    return false;
}

void SwapUFIHeaderForBigEndian(AW2_FILE_HEADER_T *header)
{
    if (!header || !isBigEndian())
        return;
    engine_log("SwapUFIHeaderForBigEndian: isBigEndian() TRUE. Swaping the header information.\n");
    swap_words(reinterpret_cast<uint8_t *>(header), 32, 10);
}

void SwapUFIHeaderForBigEndianAW3(FILE_HEADER_T *header)
{
    if (!header || !isBigEndian())
        return;
    engine_log("SwapUFIHeaderForBigEndianAW3: isBigEndian() TRUE. Swaping the header information.\n");
    swap_words(reinterpret_cast<uint8_t *>(header), 56, 4);
}

void SwapUFIFlashDirForBigEndian(AW2_FLASHDIR_TYPE *dir)
{
    if (!dir || !isBigEndian())
        return;
    engine_log("SwapUFIFlashDirForBigEndian: isBigEndian() TRUE. Swaping the header information.\n");
    swap_words(reinterpret_cast<uint8_t *>(dir), 32, 36);
}

void WriteUFIHeaderDebug(const AW2_FILE_HEADER_T *header)
{
    if (!header || !image_diagnostics())
        return;
    AW2_FILE_HEADER_T h;
    std::memcpy(&h, header, sizeof h);
    char signature[sizeof h.FH_Signature];
    char build[sizeof h.FH_Build];
    field_text(signature, h.FH_Signature, sizeof signature);
    field_text(build, h.FH_Build, sizeof build);
    engine_log("\nUFI File Header\n");
    engine_log("signature          : %s\n"
               "checksum           : 0x%x\n"
               "antidote           : 0x%x\n"
               "vendorId           : 0x%x\n"
               "deviceId           : 0x%x\n"
               "subVendorId        : 0x%x\n"
               "subDeviceId        : 0x%x\n"
               "fileLength         : 0x%x\n"
               "chunkNumber        : %u\n"
               "chunkSize          : %u\n"
               "numImages          : %u\n"
               "buidVersionString  : %s\n",
               signature, h.FH_Checksum, h.FH_Antidote, h.FH_ContrlId.Vendor, h.FH_ContrlId.Device,
               h.FH_ContrlId.SubVendor, h.FH_ContrlId.SubDevice, h.FH_FileLen, h.FH_ChunkNum, h.FH_TotalChunks,
               h.FH_NumOfImgs, build);
}

void WriteUFIHeaderDebugAW3(const FILE_HEADER_T *header)
{
    if (!header || !image_diagnostics())
        return;
    FILE_HEADER_T h;
    std::memcpy(&h, header, sizeof h);
    char signature[sizeof h.FH_Signature];
    char build[sizeof h.FH_Build];
    char ufiVersion[sizeof h.FH_UFI_Version + 1];
    field_text(signature, h.FH_Signature, sizeof signature);
    field_text(build, h.FH_Build, sizeof build);
    std::memcpy(ufiVersion, h.FH_UFI_Version, sizeof h.FH_UFI_Version);
    ufiVersion[sizeof h.FH_UFI_Version] = '\0';
    engine_log("\nUFI File Header (AW3/Trelmont)\n");
    engine_log("signature          : %s\n"
               "UFI version        : %s\n"
               "fileLength         : 0x%x\n"
               "checksum           : 0x%x\n"
               "antidote           : 0x%x\n"
               "numImages          : 0x%x\n"
               "buidVersionString  : %s\n",
               signature, ufiVersion, h.FH_FileLen, h.FH_Checksum, h.FH_Antidote, h.FH_NumOfImgs, build);
}

void WriteUFIFlashDirDebug(const AW2_FLASHDIR_TYPE *dir)
{
    if (!dir || !image_diagnostics())
        return;
    char first[17];
    char second[17];
    field_text(first, dir->flashdir_cookie, 16);
    std::memcpy(second, dir->flashdir_cookie + 16, 16);
    second[16] = '\0';
    const AW2_FLASHDIR_HEADER_TYPE &h = dir->flashdir_header;
    engine_log("\nUFI Flash Directory Header\n");
    char text[2048];
    int n = std::snprintf(text, sizeof text,
                          "cookie             : %s\n"
                          "cookie             : %s\n"
                          "formatRevNumber    : 0x%x\n"
                          "checksum           : 0x%x\n"
                          "antidote           : 0x%x\n"
                          "buildNumber        : 0x%x\n",
                          first, second, h.flashdir_format_rev, h.flashwide_checksum, h.flashwide_antidote,
                          h.build_number);
    for (int k = 0; k < 8 && n > 0 && static_cast<size_t>(n) < sizeof text; ++k) {
        const AW2_CONTROLLER_ID_T &id = h.UFIIdentifierString[k];
        n += std::snprintf(text + n, sizeof text - static_cast<size_t>(n),
                           "vendorId%d          : 0x%x\n"
                           "deviceId%d          : 0x%x\n"
                           "subVendorId%d       : 0x%x\n"
                           "subDeviceId%d       : 0x%x\n",
                           k + 1, id.Vendor, k + 1, id.Device, k + 1, id.SubVendor, k + 1, id.SubDevice);
    }
    engine_log("%s\n", text);
}
