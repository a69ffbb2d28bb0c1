#include "flash/image_list.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <sys/stat.h>

#include "flash/debug_log.h"
#include "flash/ufi_image.h"

CLUImage *gFileList = nullptr;

namespace {

const size_t kMaxBaseName = 32;     // names this long or longer are refused
const size_t kMaxDecodedKept = 31;  // characters of decodedVersion an image keeps
const size_t kMaxDirPath = 255;     // the variants' directory limit
const size_t kMaxVariantName = 64;  // the variants' entry name limit
const size_t kVariantNameKept = 62; // characters of filename the variant keeps

// Step 5 of validation: the version forms of a new record.
void fill_version_forms(CLUImage *record)
{
    if (record->imageType == FC_IMAGE) {
        padVersionString(record);
        return;
    }
    encodeCNAVersion(&record->CNAMajorVer, &record->CNAMinorVer, &record->CNAReleaseVer, &record->CNABuildVer,
                     CLU_TEXT_LEN, record->decodedVersion);
    copyBoundedText(record->sortedVersion, sizeof record->sortedVersion, "N/A");
}

bool ends_with_slash(const char *text)
{
    size_t n = std::strlen(text);
    return n > 0 && text[n - 1] == '/';
}

} // namespace

const char *GetFileBaseName(const char *path)
{
    if (!path)
        return nullptr;
    const char *slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

int isValidFileExtension(const char *baseName, CLUImageExtType *extType, int kind)
{
    if (!baseName || !extType)
        return 4;
    // A substring test on purpose: "x.ufi.bak" passes, "x.Ufi" does not.
    if ((kind == VALIDATE_FIRMWARE_ITEM || kind == VALIDATE_ADAPTER) &&
        (std::strstr(baseName, ".UFI") || std::strstr(baseName, ".ufi"))) {
        *extType = UFIext;
        return 0;
    }
    *extType = NOext;
    return 1;
}

RM_STATUS getUFIBuildVersion(const char *path, CLUImage *record)
{
    logDebugOutput("\n[getUFIBuildVersion]\n");
    if (!path || !record) {
        logDebugOutput("Invalid arguments!\n");
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    }
    logDebugOutput("Input file = %s\n", path);
    copyBoundedText(record->decodedVersion, sizeof record->decodedVersion, "0.0.0.0");
    copyBoundedText(record->sortedVersion, sizeof record->sortedVersion, "N/A");
    copyBoundedText(record->legacyType, sizeof record->legacyType, "N/A");
    record->imageType = NO_IMAGE_TYPE;

    logDebugOutput("\n[GetRawBuildStringAW]\n");
    char raw[UFI_BUILD_TEXT_SIZE];
    RM_STATUS st = GetRawUFIBuildString(path, raw);
    if (st != RM_STATUS_OK) {
        logDebugOutput("GetRawUFIBuildString failed = %d\n", st);
        return st;
    }
    logDebugOutput("Raw     = %s\n", raw);
    logDebugOutput("\n[GetRawBuildStringAW]\n");

    uint8_t generation = 0;
    char version[CLU_TEXT_LEN];
    st = DecodeRawBuildString(raw, &generation, version, sizeof version);
    if (st != RM_STATUS_OK) {
        logDebugOutput("DecodeRawBuildString failed. status = %d\n", st);
        return st;
    }
    record->imageType = static_cast<CLUImageType>(generation);
    copyBoundedText(record->decodedVersion, sizeof record->decodedVersion, version);
    logDebugOutput("Decoded = %s\n", record->decodedVersion);
    logDebugOutput("Type    = %d\n", record->imageType);
    record->isAWR = 0;
    if (generation == 2)
        return RM_STATUS_OK;

    FILE_HEADER_T header;
    st = ReadUFIHeaderAW3(path, &header);
    if (st != RM_STATUS_OK) {
        logDebugOutput("ReadUFIHeaderAW3 for AWR failed! status = %d\n", st);
        return st;
    }
    uint8_t asic = header.ASIC_Support;
    record->asicRevisionId = asic;
    if (generation == 3 && asic == 17) {
        record->isAWR = 1;
        logDebugOutput("AW3-R P2 identification succeeded! This image is compatible with AW3, AW3-R, and AW3-R "
                       "P2.\n");
    } else if (generation == 3 && asic == 16) {
        record->isAWR = 1;
        logDebugOutput("AW3-R identification succeeded! This image is compatible with AW3, and AW3-R.\n");
    } else if (generation == 4 && asic > 15) {
        record->isAWR = 1;
        logDebugOutput("Identification succeeded! Is AW4-R or later.\n");
    } else if (asic != 0) {
        record->isAWR = 1;
        logDebugOutput("This is an unknown AW-R image!\n");
    } else {
        record->isAWR = 0;
        logDebugOutput("This is a AW%d (non-R) image!\n", record->imageType);
    }
    return RM_STATUS_OK;
}

RM_STATUS verifyFwFile(const char *path, CLUImage *record)
{
    if (!path || !record)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (record->extType != UFIext) {
        record->imageType = NO_IMAGE_TYPE;
        return RM_STATUS_ERROR_UNREAD_IMAGE_KIND;
    }
    return getUFIBuildVersion(path, record);
}

CLUImage *ValidateFirmWareFile(const char *path, int kind)
{
    const char *base = GetFileBaseName(path);
    logDebugOutput("\n[ValidateFirmWareFile]\n");
    if (!base)
        return nullptr;
    CLUImage record;
    std::memset(&record, 0, sizeof record);

    if (isValidFileExtension(base, &record.extType, kind) != 0 || std::strlen(base) >= kMaxBaseName) {
        logDebugOutput("ValidateFirmWareFile: invalid firmware file type. File extension is not matching valid "
                       "firmware type for file = %s\n",
                       path);
        logDebugOutput("\n");
        return nullptr;
    }

    RM_STATUS st = verifyFwFile(path, &record);
    logDebugOutput("ValidateFirmWareFile: verifyFwFile returned = %d\n", st);
    if (st != RM_STATUS_OK)
        return nullptr;

    CLUImage *copy = static_cast<CLUImage *>(std::calloc(1, sizeof *copy));
    if (!copy) {
        logDebugOutput("ValidateFirmWareFile: cannot allocate memory\n");
        return nullptr;
    }
    *copy = record;
    copy->decodedVersion[kMaxDecodedKept] = '\0';
    copyBoundedText(copy->filename, sizeof copy->filename, base);
    fill_version_forms(copy);
    return copy;
}

int GetDownloadTypeByFileExension(const char *name, int *downloadType)
{
    if (!name || !downloadType)
        return 1;
    if (std::strstr(name, ".PRG") || std::strstr(name, ".prg")) {
        *downloadType = DOWNLOAD_TYPE_BOOT;
        return 0;
    }
    static const char *const firmware[] = {".ALL", ".all", ".UFI", ".ufi", ".GRP", ".grp"};
    for (const char *ext : firmware) {
        if (std::strstr(name, ext)) {
            *downloadType = DOWNLOAD_TYPE_FIRMWARE;
            return 0;
        }
    }
    return 1;
}

CLUImage *addFileNameToList(CLUImage *record, CLUImage **head)
{
    if (!head)
        return nullptr;
    if (!record)
        return *head;
    record->next = record->prev = nullptr;
    if (!*head) {
        *head = record;
        return *head;
    }
    CLUImage *last = nullptr;
    for (CLUImage *r = *head; r; r = r->next) {
        bool stop = false;
        if (record->imageType == FC_IMAGE && r->imageType == FC_IMAGE)
            stop = isGreaterFCVersion(record->sortedVersion, r->sortedVersion) == 1;
        else if (record->imageType == FC_IMAGE && isFourTupleImage(r->imageType))
            stop = true;
        else if (isFourTupleImage(record->imageType) && isFourTupleImage(r->imageType))
            stop = isGreaterCNAVersion(record, r) == 1;
        if (stop) {
            record->next = r;
            record->prev = r->prev;
            if (r->prev)
                r->prev->next = record;
            else
                *head = record;
            r->prev = record;
            return *head;
        }
        last = r;
    }
    last->next = record;
    record->prev = last;
    return *head;
}

void freeCLUImageList(CLUImage *head)
{
    while (head) {
        CLUImage *next = head->next;
        std::free(head);
        head = next;
    }
}

void FreeGlobalFileNameList()
{
    freeCLUImageList(gFileList);
    gFileList = nullptr;
}

CLUImage *makeFileNameList2(const char *directory, int *emptyFlag, int kind)
{
    if (emptyFlag)
        *emptyFlag = 0;
    // A list left from before is freed, not dropped.
    FreeGlobalFileNameList();
    logDebugOutput("\n[makeFileNameList2]: entering makeFileNameList\n");

    DIR *dir = directory ? opendir(directory) : nullptr;
    if (dir) {
        const char *sep = ends_with_slash(directory) ? "" : "/";
        while (struct dirent *e = readdir(dir)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
                continue; // directories, skipped silently
            char path[IMAGE_PATH_MAX];
            int n = std::snprintf(path, sizeof path, "%s%s%s", directory, sep, e->d_name);
            if (n < 0 || static_cast<size_t>(n) >= sizeof path) {
                // The joined path does not fit: the file is refused, not cut.
                logDebugOutput("Parsing image file = %s\n", e->d_name);
                logDebugOutput("Skipping invalid file = %s\n", e->d_name);
                logDebugOutput("\n");
                continue;
            }
            struct stat st;
            if (stat(path, &st) != 0 || S_ISDIR(st.st_mode))
                continue;
            logDebugOutput("Parsing image file = %s\n", e->d_name);
            CLUImage *record = ValidateFirmWareFile(path, kind);
            if (record)
                addFileNameToList(record, &gFileList);
            else
                logDebugOutput("Skipping invalid file = %s\n", e->d_name);
            logDebugOutput("\n");
        }
        closedir(dir);
    }
    if (!gFileList && emptyFlag)
        *emptyFlag = 1;
    logDebugOutput("\n");
    return gFileList;
}

int initFileImage(CLUImage *record, const char *directory, const char *name, int kind)
{
    if (!record || !directory || !name || directory[0] == '\0' || std::strlen(directory) >= kMaxDirPath ||
        !ends_with_slash(directory) || std::strlen(name) >= kMaxVariantName)
        return 1;
    if (isValidFileExtension(name, &record->extType, kind) != 0)
        return 1;
    char path[kMaxDirPath + kMaxVariantName];
    std::snprintf(path, sizeof path, "%s%s", directory, name);
    RM_STATUS st = verifyFwFile(path, record);
    if (st != RM_STATUS_OK)
        return st;
    copyBoundedText(record->filename, sizeof record->filename, name);
    fill_version_forms(record);
    return 0;
}

CLUImage *makeFileNameList(const char *directory, int *emptyFlag, int kind)
{
    if (!directory || directory[0] == '\0') {
        logDebugOutput("\n[makeFileNameList] - Directory path is empty!\n");
        return nullptr;
    }
    if (std::strlen(directory) >= kMaxDirPath) {
        logDebugOutput("\n[makeFileNameList] - Directory path is too long!\n");
        return nullptr;
    }
    if (!ends_with_slash(directory))
        return nullptr;
    DIR *dir = opendir(directory);
    if (!dir) {
        if (emptyFlag)
            *emptyFlag = 1;
        return nullptr;
    }
    CLUImage *head = nullptr;
    bool anyPassed = false;
    while (struct dirent *e = readdir(dir)) {
        CLUImage record;
        std::memset(&record, 0, sizeof record);
        if (std::strlen(e->d_name) >= kMaxVariantName ||
            isValidFileExtension(e->d_name, &record.extType, kind) != 0) {
            logDebugOutput("[makeFileNameList] - Skipping invalid file = %s\n\n", e->d_name);
            continue;
        }
        if (initFileImage(&record, directory, e->d_name, kind) != 0)
            continue;
        anyPassed = true;
        record.filename[kVariantNameKept] = '\0';
        CLUImage *copy = static_cast<CLUImage *>(std::calloc(1, sizeof *copy));
        if (!copy)
            continue;
        *copy = record;
        addFileNameToList(copy, &head);
    }
    closedir(dir);
    if (emptyFlag)
        *emptyFlag = anyPassed ? 0 : 1;
    return head;
}
