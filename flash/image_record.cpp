#include "flash/image_record.h"

#include <cstdlib>
#include <cstring>

#include "flash/debug_log.h"

void copyBoundedText(char *dest, size_t size, const char *src)
{
    if (!dest || size == 0)
        return;
    size_t n = 0;
    if (src)
        while (n + 1 < size && src[n])
            ++n;
    if (n)
        std::memcpy(dest, src, n);
    dest[n] = '\0';
}

void setLegacyEncodedRev(CLUImage *record, const LegacyRevParts &p)
{
    record->legacyEncodedRev[0] = static_cast<uint8_t>(((p.fixlevel & 0x3) << 6) | ((p.dist_type & 0x3) << 4) |
                                                       (p.dist_cnt & 0xF));
    record->legacyEncodedRev[1] = static_cast<uint8_t>(((p.version & 0xF) << 4) | (p.revision & 0xF));
}

LegacyRevParts getLegacyEncodedRev(const CLUImage *record)
{
    LegacyRevParts p;
    p.fixlevel = static_cast<uint8_t>((record->legacyEncodedRev[0] >> 6) & 0x3);
    p.dist_type = static_cast<uint8_t>((record->legacyEncodedRev[0] >> 4) & 0x3);
    p.dist_cnt = static_cast<uint8_t>(record->legacyEncodedRev[0] & 0xF);
    p.version = static_cast<uint8_t>((record->legacyEncodedRev[1] >> 4) & 0xF);
    p.revision = static_cast<uint8_t>(record->legacyEncodedRev[1] & 0xF);
    return p;
}

int isQBImage(int32_t imageType) { return imageType == FC_IMAGE; }
int isGRPImage(int32_t imageType) { return imageType == GRP_IMAGE; }
int isGRP_G6_Image(int32_t imageType) { return imageType == GRP_G6_IMAGE; }
int isAWImage(int32_t imageType)
{
    return imageType == AW2_IMAGE || imageType == AW3_IMAGE || imageType == AW4_IMAGE;
}
int isFourTupleImage(int32_t imageType)
{
    return isGRPImage(imageType) || isGRP_G6_Image(imageType) || isAWImage(imageType);
}

int isGreaterCNAVersion(const CLUImage *a, const CLUImage *b)
{
    if (!a || !b) {
        logDebugOutput("[isGreaterCNAVersion] - Invalid arguments!\n");
        return 4;
    }
    const uint32_t av[5] = {static_cast<uint32_t>(a->imageType), a->CNAMajorVer, a->CNAMinorVer, a->CNAReleaseVer,
                            a->CNABuildVer};
    const uint32_t bv[5] = {static_cast<uint32_t>(b->imageType), b->CNAMajorVer, b->CNAMinorVer, b->CNAReleaseVer,
                            b->CNABuildVer};
    for (int i = 0; i < 5; ++i) {
        if (av[i] != bv[i])
            return av[i] > bv[i] ? 1 : -1;
    }
    return 0;
}

int isGreaterFCVersion(const char *a, const char *b)
{
    if (!a || !b) {
        logDebugOutput("[isGreaterFCVersion] - Invalid arguments!\n");
        return 4;
    }
    // Stops at a common terminator so a short text is never read past its end.
    for (int i = 0; i < 13; ++i) {
        signed char ca = static_cast<signed char>(a[i]);
        signed char cb = static_cast<signed char>(b[i]);
        if (ca != cb)
            return ca > cb ? 1 : 0;
        if (ca == 0)
            break;
    }
    return 0;
}

namespace {

// Leading decimal digits of `text` as an unsigned number; saturates rather
// than wrapping, so an absurd part never compares as a small one.
uint32_t leading_number(const char *text)
{
    uint64_t v = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        v = v * 10 + static_cast<uint64_t>(*text - '0');
        if (v > UINT32_MAX)
            v = UINT32_MAX;
    }
    return static_cast<uint32_t>(v);
}

} // namespace

RM_STATUS encodeCNAVersion(uint32_t *major, uint32_t *minor, uint32_t *release, uint32_t *build, size_t size,
                           const char *decodedVersion)
{
    if (!major || !minor || !release || !build || !decodedVersion) {
        logDebugOutput("[encodeCNAVersion] - Invalid arguments!\n");
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    }
    if (decodedVersion[0] == '\0') {
        logDebugOutput("[encodeCNAVersion] - pDecodedVersion is zero-length!\n");
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    }
    *major = *minor = *release = *build = 0;
    // A text that does not fit the working buffer is refused, not cut.
    if (size == 0 || std::strlen(decodedVersion) >= size) {
        logDebugOutput("[encodeCNAVersion] - Invalid arguments!\n");
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    }
    char *work = static_cast<char *>(std::malloc(size));
    if (!work)
        return RM_STATUS_ERROR_NO_MEMORY;
    std::memcpy(work, decodedVersion, std::strlen(decodedVersion) + 1);

    uint32_t *parts[4] = {major, minor, release, build};
    int count = 0;
    char *p = work;
    while (count < 4) {
        while (*p == '.')
            ++p;
        if (*p == '\0')
            break;
        uint32_t value = leading_number(p);
        if (count == 0 && value == 3)
            value = 2;
        *parts[count++] = value;
        while (*p && *p != '.')
            ++p;
    }
    std::free(work);
    return count < 4 ? RM_STATUS_ERROR_INVALID_ARGUMENT : RM_STATUS_OK;
}

RM_STATUS padQbFwVersionString(char *dest, const char *decodedVersion)
{
    if (!dest || !decodedVersion) {
        logDebugOutput("[padQbFwVersionString] - Invalid arguments!\n");
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    }
    size_t len = std::strlen(decodedVersion);
    if (len == 0) {
        logDebugOutput("[padQbFwVersionString] - decodedVersion is zero-length!\n");
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    }
    if (len < 6) {
        std::memcpy(dest, decodedVersion, len + 1);
        return RM_STATUS_OK;
    }
    const size_t kMax = 14;
    size_t n = 0;
    std::memcpy(dest, decodedVersion, 6);
    n = 6;
    for (size_t z = len < 13 ? 13 - len : 0; z > 0 && n < kMax; --z)
        dest[n++] = '0';
    for (const char *rest = decodedVersion + 6; *rest && n < kMax; ++rest)
        dest[n++] = *rest;
    dest[n] = '\0';
    return RM_STATUS_OK;
}

int padVersionString(CLUImage *record)
{
    if (!record) {
        logDebugOutput("[padVersionString] - Invalid argument!\n");
        return 4;
    }
    if (record->extType == PRGext || record->extType == ALLext) {
        padQbFwVersionString(record->sortedVersion, record->decodedVersion);
        return 0;
    }
    copyBoundedText(record->sortedVersion, sizeof record->sortedVersion, "N/A");
    return 1;
}

void printCLUImageType(int32_t imageType)
{
    const char *name = "N/A";
    switch (imageType) {
    case FC_IMAGE: name = "FC_IMAGE"; break;
    case AW2_IMAGE: name = "AW2_IMAGE"; break;
    case AW3_IMAGE: name = "AW3_IMAGE"; break;
    case AW4_IMAGE: name = "AW4_IMAGE"; break;
    case GRP_IMAGE: name = "GRP_IMAGE"; break;
    case GRP_G6_IMAGE: name = "GRP_G6_IMAGE"; break;
    default: break;
    }
    logDebugOutput("%-20s : %d (%s)\n", "Image Type", imageType, name);
}

void printCLUImageExtType(int32_t extType)
{
    const char *name = "N/A";
    switch (extType) {
    case ALLext: name = "ALLext"; break;
    case PRGext: name = "PRGext"; break;
    case UFIext: name = "UFIext"; break;
    case GRPext: name = "GRPext"; break;
    default: break;
    }
    logDebugOutput("%-20s : %d (%s)\n", "extType", extType, name);
}

void printLegacyEncodedRev(int version, int revision, int fixlevel, int dist_type, int dist_cnt)
{
    logDebugOutput("%-20s : %d\n", "version", version);
    logDebugOutput("%-20s : %d\n", "revision", revision);
    logDebugOutput("%-20s : %d\n", "fixlevel", fixlevel);
    switch (dist_type) {
    case 0: logDebugOutput("%-20s : N (%d)\n", "dist_type", dist_type); break;
    case 1: logDebugOutput("%-20s : A (%d)\n", "dist_type", dist_type); break;
    case 2: logDebugOutput("%-20s : B (%d)\n", "dist_type", dist_type); break;
    default: logDebugOutput("%-20s : X (%d)\n", "dist_type", dist_type); break;
    }
    logDebugOutput("%-20s : %d\n", "dist_cnt", dist_cnt);
}

void printCNAEncodedRev(int32_t, uint32_t major, uint32_t minor, uint32_t release, uint32_t build)
{
    logDebugOutput("%-20s : %d\n", "CNAMajorVer", static_cast<int>(major));
    logDebugOutput("%-20s : %d\n", "CNAMinorVer", static_cast<int>(minor));
    logDebugOutput("%-20s : %d\n", "CNAReleaseVer", static_cast<int>(release));
    logDebugOutput("%-20s : %d\n", "CNABuildVer", static_cast<int>(build));
}

void printCLUImage(const CLUImage *record)
{
    if (!record) {
        logDebugOutput("\n[printCLUImage] - Invalid argument!\n");
        return;
    }
    LegacyRevParts p = getLegacyEncodedRev(record);
    printLegacyEncodedRev(p.version, p.revision, p.fixlevel, p.dist_type, p.dist_cnt);
    logDebugOutput("%-20s : %s\n", "filename", record->filename);
    logDebugOutput("%-20s : %s\n", "decodedVersion", record->decodedVersion);
    logDebugOutput("%-20s : %s\n", "sortedVersion", record->sortedVersion);
    logDebugOutput("%-20s : %s\n", "legacyType", record->legacyType);
    logDebugOutput("%-20s : %d\n", "isAWR", record->isAWR);
    logDebugOutput("%-20s : %X\n", "asicRevisionId", record->asicRevisionId);
    printCNAEncodedRev(record->imageType, record->CNAMajorVer, record->CNAMinorVer, record->CNAReleaseVer,
                       record->CNABuildVer);
    printCLUImageType(record->imageType);
    printCLUImageExtType(record->extType);
}

void printCLUImageList(const CLUImage *head)
{
    if (!head) {
        logDebugOutput("\n[printCLUImageList] - The image list is null!\n");
        return;
    }
    for (const CLUImage *r = head; r; r = r->next) {
        printCLUImage(r);
        logDebugOutput("\n");
    }
}
