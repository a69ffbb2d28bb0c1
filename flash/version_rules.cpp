#include "flash/version_rules.h"

#include <cstring>

#include "adapters/board_predicates.h"
#include "flash/debug_log.h"

const char OSKARA_BOOT_IMAGE_CODE[3] = "OU";
const char WYNDEL_BOOT_IMAGE_CODE[3] = "WU";

namespace {

const uint32_t kAw2Floor[4] = {4, 0, 360, 15};
const uint32_t kVarrowMissingObjs[4] = {1, 1, 21, 4};
const uint32_t kVarrowInterim[4] = {1, 1, 21, 300};

int32_t id(uint32_t v) { return static_cast<int32_t>(v); }

bool on_halvard_bmc_board(const _Hba *hba)
{
    return isBrindlefinHalvardBmcBoard(id(hba->deviceId), id(hba->vendorId), id(hba->subDeviceId),
                                       id(hba->subVendorId));
}

bool four_part_rules(const _Hba *hba)
{
    return isCNA(hba) || isVarrowFCHBA(hba);
}

bool same_two_chars(const char *a, const char *b)
{
    return std::strncmp(a, b, 2) == 0;
}

void log_parts(uint32_t major, uint32_t minor, uint32_t release, uint32_t build)
{
    logDebugOutput("CNAMajorVer   = %d\n", static_cast<int>(major));
    logDebugOutput("CNAMinorVer   = %d\n", static_cast<int>(minor));
    logDebugOutput("CNAReleaseVer = %d\n", static_cast<int>(release));
    logDebugOutput("CNABuildVer   = %d\n", static_cast<int>(build));
}

bool equals(const uint32_t v[4], const uint32_t w[4])
{
    return v[0] == w[0] && v[1] == w[1] && v[2] == w[2] && v[3] == w[3];
}

// Compares two runs of decimal digits as numbers of any length.
int compare_digit_runs(const char *a, size_t la, const char *b, size_t lb)
{
    while (la > 0 && *a == '0') {
        ++a;
        --la;
    }
    while (lb > 0 && *b == '0') {
        ++b;
        --lb;
    }
    if (la != lb)
        return la > lb ? 1 : -1;
    int c = std::memcmp(a, b, la);
    return c > 0 ? 1 : (c < 0 ? -1 : 0);
}

size_t digit_run(const char *p)
{
    size_t n = 0;
    while (p[n] >= '0' && p[n] <= '9')
        ++n;
    return n;
}

// The image text of an FC comparison: the decoded version without its
// two-letter family code (empty when the text is shorter).
const char *without_family_code(const char *decoded)
{
    return std::strlen(decoded) >= 2 ? decoded + 2 : "";
}

} // namespace

CLUImage *getFirstCNAMatch(int32_t imageType, CLUImage *head)
{
    for (CLUImage *r = head; r; r = r->next)
        if (r->imageType == imageType)
            return r;
    return nullptr;
}

CLUImage *getFirstAWRMatch(const CLUImage *device, CLUImage *head)
{
    if (!device)
        return nullptr;
    for (CLUImage *r = head; r; r = r->next) {
        if (r->imageType != device->imageType || r->isAWR != device->isAWR)
            continue;
        if (device->asicRevisionId == 0x11 && r->asicRevisionId == 0x11)
            return r;
        if (device->asicRevisionId == 0x10 && (r->asicRevisionId == 0x10 || r->asicRevisionId == 0x11))
            return r;
    }
    return nullptr;
}

CLUImage *getFirstAW4Match(const CLUImage *device, CLUImage *head)
{
    if (!device)
        return nullptr;
    for (CLUImage *r = head; r; r = r->next)
        if (r->imageType == device->imageType && r->asicRevisionId >= device->asicRevisionId)
            return r;
    return nullptr;
}

CLUImage *getFirstMatch(const char *prefix, CLUImage *head, char firstCharOnly)
{
    if (!prefix)
        return nullptr;
    size_t n = firstCharOnly ? 1 : 2;
    for (CLUImage *r = head; r; r = r->next)
        if (std::strncmp(r->decodedVersion, prefix, n) == 0)
            return r;
    return nullptr;
}

CLUImage *GetMatchingImageFile(const _Hba *hba, CLUImage *head, int item)
{
    if (!hba)
        return nullptr;
    CLUImage *found = nullptr;
    if (four_part_rules(hba)) {
        if (isTrelmontBoard(id(hba->deviceId)))
            found = getFirstAW4Match(&hba->activeFw, head);
        else if (hba->activeFw.isAWR)
            found = getFirstAWRMatch(&hba->activeFw, head);
        else
            found = getFirstCNAMatch(hba->adapterImageType, head);
    } else if (item == MATCH_ITEM_FIRMWARE) {
        found = getFirstMatch(hba->fwPrefix, head, 0);
    } else if (item == MATCH_ITEM_BOOT) {
        found = getFirstMatch(hba->bootPrefix, head, 0);
        while (found && !IsCompatibleBootCode(found, hba))
            found = getFirstMatch(hba->bootPrefix, found->next, 0);
    }
    if (found && on_halvard_bmc_board(hba) && !isCompatibleAW2FirmwareImage(found))
        return nullptr;
    return found;
}

int IsCompatibleBootCode(const CLUImage *image, const _Hba *hba)
{
    if (!image || !hba)
        return 0;
    int32_t dev = id(hba->deviceId), ven = id(hba->vendorId), subDev = id(hba->subDeviceId),
            subVen = id(hba->subVendorId);
    const char *code = nullptr;
    char bladeDigit = '5';
    if (isOskaraBoard(dev)) {
        code = OSKARA_BOOT_IMAGE_CODE;
        if (isOskaraBladeBoard(dev, ven, subDev, subVen) || isOskaraStagmereBladeBoard(dev, ven, subDev, subVen))
            bladeDigit = '6';
    } else if (isWyndelBoard(dev)) {
        code = WYNDEL_BOOT_IMAGE_CODE;
        if (isWyndelBladeBoard(dev, ven, subDev, subVen))
            bladeDigit = '6';
    }
    if (code && std::strncmp(image->filename, code, 2) == 0 && image->filename[2] != bladeDigit)
        return 0;
    return 1;
}

int IsCompatibleFirmwareFile(const _Hba *hba, const CLUImage *image, int downloadType)
{
    logDebugOutput("IsCompatibleFirmwareFile: IsCompatibleFirmwareFile entered\n");
    int compatible = 0;
    if (hba && image) {
        if (downloadType == 0) {
            if (four_part_rules(hba))
                compatible = image->imageType == hba->adapterImageType;
            else
                compatible = same_two_chars(image->decodedVersion, hba->fwPrefix);
        } else {
            compatible = same_two_chars(image->decodedVersion, hba->bootPrefix) && IsCompatibleBootCode(image, hba);
        }
        if (on_halvard_bmc_board(hba) && !isCompatibleAW2FirmwareImage(image))
            compatible = 0;
    }
    logDebugOutput("IsCompatibleFirmwareFile: IsCompatibleFirmwareFile exit\n");
    return compatible ? 1 : 0;
}

int compareTuple(uint32_t current, uint32_t base)
{
    if (current < base) {
        logDebugOutput("curVersion < fpgaVersion - Supported = FALSE\n");
        return 0;
    }
    if (current > base) {
        logDebugOutput("curVersion > fpgaVersion - Supported = TRUE\n");
        return 1;
    }
    logDebugOutput("curVersion == fpgaVersion - Continue version test\n");
    return 2;
}

int isSupportedAW2FirmwareVersion(uint32_t major, uint32_t minor, uint32_t release, uint32_t build)
{
    logDebugOutput("\n[hasSupportedAW2FirmwareVersion]\n");
    log_parts(major, minor, release, build);
    const uint32_t v[4] = {major, minor, release, build};
    if (equals(v, kAw2Floor)) {
        logDebugOutput("Current versions are equal to the fpga versions! Supported = TRUE\n");
        return 1;
    }
    static const char *const lines[4] = {
        "\nComparing Major Versions - base = %d, fpga = %d\n",
        "\nComparing Minor Versions - base = %d, fpga = %d\n",
        "\nComparing Release Versions - base = %d, fpga = %d\n",
        "\nComparing Build Versions - base = %d, fpga = %d\n",
    };
    for (int i = 0; i < 4; ++i) {
        logDebugOutput(lines[i], static_cast<int>(v[i]), static_cast<int>(kAw2Floor[i]));
        int r = compareTuple(v[i], kAw2Floor[i]);
        if (r != 2)
            return r;
    }
    return 1;
}

int isCompatibleAW2FirmwareImage(const CLUImage *image)
{
    logDebugOutput("\n[isCompatibleAW2FirmwareImage]\n");
    if (!image)
        return 0;
    return isSupportedAW2FirmwareVersion(image->CNAMajorVer, image->CNAMinorVer, image->CNAReleaseVer,
                                         image->CNABuildVer);
}

int updateNeededCNA(const CLUImage *device, const CLUImage *image)
{
    if (!device || !image) {
        logDebugOutput("[isUpdateNeededCNA] - Invalid arguments!\n");
        return 4;
    }
    if (!isFourTupleImage(device->imageType) && !isFourTupleImage(image->imageType)) {
        logDebugOutput("[isUpdateNeededCNA] - ERROR: Invalid image type!\n");
        return 4;
    }
    int r = isGreaterCNAVersion(image, device);
    if (r == 1)
        return 1;
    if (r == 0)
        return 0;
    return -1;
}

int updateNeededFC(const char *imageVersion, const char *activeVersion)
{
    if (!imageVersion || !activeVersion)
        return 4;
    const char *I = imageVersion;
    const char *A = activeVersion;
    if (std::strcmp(A, "NONE") == 0 || std::strcmp(A, "N/A") == 0)
        return -2;
    if (std::strcmp(I, A) == 0)
        return 0;
    signed char fi = static_cast<signed char>(I[0]);
    signed char fa = static_cast<signed char>(A[0]);
    if (fi != fa)
        return fi > fa ? 1 : -1;
    // Both texts are non-empty from here (they differ but share a first character).
    const char *di = I + 1;
    const char *da = A + 1;
    size_t li = digit_run(di);
    size_t la = digit_run(da);
    int c = compare_digit_runs(di, li, da, la);
    if (c != 0)
        return c;
    char letterI = di[li];
    char letterA = da[la];
    if (letterI != letterA) {
        if (letterA == 'B')
            return -1;
        if (letterA == 'A')
            return 1;
        if (letterI == 'B')
            return 1;
        return -1;
    }
    // Equal letters; the terminator is never stepped over.
    const char *ri = letterI ? di + li + 1 : di + li;
    const char *ra = letterA ? da + la + 1 : da + la;
    size_t lri = std::strlen(ri);
    size_t lra = std::strlen(ra);
    if (lri != lra)
        return lri > lra ? 1 : -1;
    return compare_digit_runs(ri, digit_run(ri), ra, digit_run(ra)) > 0 ? 1 : -1;
}

int holdsVersionText(const char *text)
{
    if (!text)
        return 0;
    while (*text == '.')
        ++text;
    return *text >= '0' && *text <= '9' ? 1 : 0;
}

int CompareAdapterAndImageFileVersion(const _Hba *hba, const CLUImage *image, const char *activeVersion)
{
    if (!hba || !image)
        return 4;
    if (four_part_rules(hba))
        return updateNeededCNA(&hba->activeFw, image);
    return updateNeededFC(without_family_code(image->decodedVersion), activeVersion);
}

int isUpdateNeededCNA(const CLUImage *device, const CLUImage *image, int force)
{
    int r = updateNeededCNA(device, image);
    if (r == 4)
        return 4;
    if (r == 1)
        return 1;
    if (r == 0)
        return force == 1 ? 1 : 0;
    return 0;
}

int isUpdateNeededFC(const CLUImage *device, const CLUImage *image, int force)
{
    if (!device || !image) {
        logDebugOutput("[isUpdateNeededFC] - Invalid arguments!\n");
        return 4;
    }
    if (isFourTupleImage(device->imageType) || isFourTupleImage(image->imageType)) {
        logDebugOutput("[isUpdateNeededFC] - ERROR: Invalid image type!\n");
        return 4;
    }
    const char *dev = without_family_code(device->decodedVersion);
    const char *img = without_family_code(image->decodedVersion);
    if (std::strcmp(dev, "NONE") == 0 || std::strcmp(dev, "N/A") == 0 || std::strcmp(dev, img) == 0)
        return force ? 1 : 0;
    return updateNeededFC(img, dev) == 1 ? 1 : 0;
}

namespace {

int exact_version_test(const char *title, const uint32_t wanted[4], uint32_t major, uint32_t minor,
                       uint32_t release, uint32_t build)
{
    logDebugOutput("%s", title);
    log_parts(major, minor, release, build);
    const uint32_t v[4] = {major, minor, release, build};
    int status = equals(v, wanted) ? 1 : 0;
    logDebugOutput("Status = %d\n\n", status);
    return status;
}

} // namespace

int isVarrowMissingObjsFWVersion(uint32_t major, uint32_t minor, uint32_t release, uint32_t build)
{
    return exact_version_test("\n[isVarrowMissingObjsFWVersion]\n", kVarrowMissingObjs, major, minor, release,
                              build);
}

int isVarrowInterimFWVersion(uint32_t major, uint32_t minor, uint32_t release, uint32_t build)
{
    return exact_version_test("\n[isVarrowInterimFWVersion]\n", kVarrowInterim, major, minor, release, build);
}

int requiresInterimVarrowDownload(uint32_t major, uint32_t minor, uint32_t release, uint32_t build)
{
    const uint32_t v[4] = {major, minor, release, build};
    if (equals(v, kVarrowMissingObjs)) {
        logDebugOutput("Versions are equal. Status = %d\n\n", 0);
        return 0;
    }
    static const char *const before[4] = {
        "\nComparing Major Versions - NewMajorVer = %d, BaseMajorVer = %d\n",
        "\nComparing Minor Versions - NewMinorVer = %d, BaseMinorVer = %d\n",
        "\nComparing Release Versions - NewReleaseVer = %d, BaseReleaseVer = %d\n",
        "\nComparing Build Versions - NewBuildVer = %d, BaseBuildVer = %d\n",
    };
    static const char *const after[4] = {
        "Returning from Comparing Major Versions. Status = %d\n\n",
        "Returning from Comparing Minor Versions. Status = %d\n\n",
        "Returning from Comparing Release Versions. Status = %d\n\n",
        "Returning from Comparing Build Versions. Status = %d\n\n",
    };
    for (int i = 0; i < 4; ++i) {
        logDebugOutput(before[i], static_cast<int>(v[i]), static_cast<int>(kVarrowMissingObjs[i]));
        int r = compareTuple(v[i], kVarrowMissingObjs[i]);
        logDebugOutput(after[i], r);
        if (r != 2)
            return r;
    }
    return 0;
}

int isSupportedQuilletFw(uint32_t major, uint32_t minor, uint32_t release, uint32_t build)
{
    return (major == 10 && minor == 2 && release <= 222 && build <= 14) ? 0 : 1;
}
