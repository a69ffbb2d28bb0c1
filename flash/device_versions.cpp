#include "flash/device_versions.h"

#include <cstdio>
#include <cstring>

#include "adapters/board_predicates.h"
#include "flash/debug_log.h"
#include "flash/image_record.h"

namespace {

// How a listed device id picks its code.
enum LegacyRule {
    RULE_EMPTY,       // converged and Varrow functions: the empty code
    RULE_FIXED,       // one code
    RULE_OSKARA,      // Stagmere blade, else blade, else the third
    RULE_DUAL,        // dual channel, else the second
    RULE_SOLVANE,     // blade or dual channel, else the second
    RULE_WYNDEL,      // blade or dual channel, else the second
};

struct LegacyFwType {
    uint32_t deviceId;
    LegacyRule rule;
    const char *codes[3];
};

// Two-letter firmware family codes: FC image versions of each family begin
// with them.
const LegacyFwType kLegacyFwTypes[] = {
    {0x0700, RULE_EMPTY, {}}, {0x0702, RULE_EMPTY, {}}, {0x0704, RULE_EMPTY, {}},
    {0x0710, RULE_EMPTY, {}}, {0x0712, RULE_EMPTY, {}}, {0x0714, RULE_EMPTY, {}},
    {0x0720, RULE_EMPTY, {}}, {0x0722, RULE_EMPTY, {}}, {0x0724, RULE_EMPTY, {}},
    {0xE200, RULE_EMPTY, {}}, {0xE220, RULE_EMPTY, {}}, {0xE260, RULE_EMPTY, {}},
    {0xE300, RULE_EMPTY, {}},
    {0xF015, RULE_FIXED, {"OF"}},
    {0xF098, RULE_FIXED, {"MS"}},
    {0xF0A1, RULE_FIXED, {"KL"}},
    {0xF0A5, RULE_FIXED, {"KB"}},
    {0xF0D5, RULE_FIXED, {"SB"}},
    {0xF0E1, RULE_FIXED, {"WL"}},
    {0xF0E5, RULE_FIXED, {"WB"}},
    {0xF180, RULE_FIXED, {"OL"}},
    {0xFA00, RULE_FIXED, {"KF"}},
    {0xF100, RULE_OSKARA, {"OS", "OX", "OD"}},
    {0xF980, RULE_DUAL, {"MD", "MF"}},
    {0xFD00, RULE_SOLVANE, {"SD", "SF"}},
    {0xFE00, RULE_WYNDEL, {"WD", "WF"}},
    {0xFE05, RULE_DUAL, {"WE", "WS"}},
};

const char *pick_code(const LegacyFwType &t, int32_t dev, int32_t ven, int32_t subDev, int32_t subVen,
                      int32_t dualChannel)
{
    switch (t.rule) {
    case RULE_EMPTY: return "";
    case RULE_FIXED: return t.codes[0];
    case RULE_OSKARA:
        if (isOskaraStagmereBladeBoard(dev, ven, subDev, subVen))
            return t.codes[0];
        return isOskaraBladeBoard(dev, ven, subDev, subVen) ? t.codes[1] : t.codes[2];
    case RULE_DUAL: return dualChannel ? t.codes[0] : t.codes[1];
    case RULE_SOLVANE:
        return (isSolvaneBladeBoard(dev, ven, subDev, subVen) || dualChannel) ? t.codes[0] : t.codes[1];
    case RULE_WYNDEL:
        return (isWyndelBladeBoard(dev, ven, subDev, subVen) || dualChannel) ? t.codes[0] : t.codes[1];
    }
    return "";
}

int digit_value(char c)
{
    return (c >= '0' && c <= '9') ? c - '0' : 0;
}

// The raw texts are 32-byte fields; they are read as texts of at most 31
// characters whatever the field holds.
void terminate_raw_texts(_Hba *hba)
{
    hba->rawFwVersion[sizeof hba->rawFwVersion - 1] = '\0';
    hba->rawBootVersion[sizeof hba->rawBootVersion - 1] = '\0';
    hba->fwPrefix[sizeof hba->fwPrefix - 1] = '\0';
    hba->bootPrefix[sizeof hba->bootPrefix - 1] = '\0';
}

void encode_active_version(_Hba *hba)
{
    encodeCNAVersion(&hba->activeVersion[0], &hba->activeVersion[1], &hba->activeVersion[2],
                     &hba->activeVersion[3], 64, hba->rawFwVersion);
}

void set_na_fields(CLUImage *record)
{
    copyBoundedText(record->legacyType, sizeof record->legacyType, "N/A");
    copyBoundedText(record->sortedVersion, sizeof record->sortedVersion, "N/A");
    copyBoundedText(record->filename, sizeof record->filename, "N/A");
}

} // namespace

int getLegacyFwType(char *dest, size_t size, uint32_t deviceId, uint32_t vendorId, uint32_t subDeviceId,
                    uint32_t subVendorId, int32_t dualChannel)
{
    logDebugOutput("\n[getLegacyFwType]\n");
    if (!dest || deviceId == 0 || vendorId == 0 || subDeviceId == 0 || subVendorId == 0) {
        logDebugOutput("Invalid arguments! rm_status %d\n", 4);
        return 4;
    }
    if (size < 8) {
        logDebugOutput("Insufficient buffer! rm_status %d\n", 4);
        return 4;
    }
    int result = 1;
    for (const LegacyFwType &t : kLegacyFwTypes) {
        if (t.deviceId != deviceId)
            continue;
        const char *code = pick_code(t, static_cast<int32_t>(deviceId), static_cast<int32_t>(vendorId),
                                     static_cast<int32_t>(subDeviceId), static_cast<int32_t>(subVendorId),
                                     dualChannel);
        copyBoundedText(dest, size, code);
        result = 0;
        break;
    }
    // An id outside the table leaves the destination as it was, which need
    // not be terminated: it is shown within its size.
    logDebugOutput("%-20s : %.*s\n", "getLegacyFwType", static_cast<int>(size - 1), dest);
    return result;
}

int setPrefixFields(_Hba *hba)
{
    if (!hba)
        return 4;
    terminate_raw_texts(hba);
    int result = getLegacyFwType(hba->fwPrefix, sizeof hba->fwPrefix, hba->deviceId, hba->vendorId,
                                 hba->subDeviceId, hba->subVendorId, hba->dualChannel);
    if (result == 0) {
        hba->prefixValid = 1;
        if (std::strcmp(hba->rawBootVersion, "NONE") == 0) {
            hba->bootPrefix[0] = hba->fwPrefix[0];
            hba->bootPrefix[1] = '\0';
        }
        if (isCNA(hba) || isVarrowFCHBA(hba))
            hba->fwPrefix[0] = '\0';
        else
            hba->fwPrefix[2] = '\0';
    } else {
        hba->prefixValid = 0;
        hba->fwPrefix[0] = '\0';
        hba->bootPrefix[0] = '\0';
    }
    return result;
}

int decodeRawFCBuildString(CLUImage *record, const char *rawVersion)
{
    logDebugOutput("\n[decodeRawFCBuildString]\n");
    if (!record || !rawVersion) {
        logDebugOutput("Invalid arguments!\n");
        return 1;
    }
    logDebugOutput("%-20s : %s\n", "Raw FW Version", rawVersion);

    LegacyRevParts parts = {0, 0, 0, 0, 0};
    const char *p = rawVersion;
    while (*p && static_cast<unsigned char>(*p) > 0x40)
        ++p;
    if (*p) {
        parts.version = static_cast<uint8_t>(digit_value(*p++) & 0xF);
        if (*p == '.')
            ++p;
    }
    if (*p)
        parts.revision = static_cast<uint8_t>(digit_value(*p++) & 0xF);
    if (*p)
        parts.fixlevel = static_cast<uint8_t>(digit_value(*p++) & 0x3);
    if (*p) {
        switch (*p++) {
        case 'A': parts.dist_type = 1; break;
        case 'B': parts.dist_type = 2; break;
        case 'X': parts.dist_type = 3; break;
        default: parts.dist_type = 0; break;
        }
    }
    // Only the low 4 bits are kept, so the count is taken modulo 16 as it is read.
    unsigned int count = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        count = (count * 10 + static_cast<unsigned int>(*p - '0')) & 0xF;
    parts.dist_cnt = static_cast<uint8_t>(count);

    setLegacyEncodedRev(record, parts);
    printLegacyEncodedRev(parts.version, parts.revision, parts.fixlevel, parts.dist_type, parts.dist_cnt);
    static const char *const letters[] = {"N", "A", "B", "X"};
    logDebugOutput("%-20s : %d%d%d%s%d\n", "Decoded Version", parts.version, parts.revision, parts.fixlevel,
                   letters[parts.dist_type & 0x3], parts.dist_cnt);
    return 0;
}

void encodeAndUpdateCNAVersion(_Hba *hba)
{
    if (!hba || (isQuellbeamHBA(hba) && !isVarrowFCHBA(hba)))
        return;
    terminate_raw_texts(hba);
    int32_t dev = static_cast<int32_t>(hba->deviceId);

    encode_active_version(hba);
    if ((isBrindlefinBoard(dev) || isGorselBoard(dev)) && (hba->activeVersion[0] == 2 || hba->activeVersion[0] == 3)) {
        // Only a character that exists is replaced; a text ending at the
        // dot keeps its terminator.
        char *dot = std::strchr(hba->rawFwVersion, '.');
        if (dot && dot[1] != '\0')
            dot[1] = '1';
        encode_active_version(hba);
    }

    CLUImage &fw = hba->activeFw;
    fw.extType = UFIext;
    CLUImageType type;
    if (isTrelmontBoard(dev)) {
        type = AW4_IMAGE;
    } else if (isGorselBoard(dev)) {
        type = AW3_IMAGE;
    } else if (isBrindlefinBoard(dev)) {
        type = AW2_IMAGE;
    } else if (isVarrowG6Board(dev)) {
        type = GRP_G6_IMAGE;
        fw.extType = GRPext;
    } else if (isVarrowFCBoard(dev) || isVarrowCNABoard(dev)) {
        type = GRP_IMAGE;
        fw.extType = GRPext;
    } else {
        type = NO_IMAGE_TYPE;
        fw.extType = NOext;
    }
    hba->adapterImageType = type;
    fw.imageType = type;

    fw.CNAMajorVer = hba->activeVersion[0];
    fw.CNAMinorVer = hba->activeVersion[1];
    fw.CNAReleaseVer = hba->activeVersion[2];
    fw.CNABuildVer = hba->activeVersion[3];
    set_na_fields(&fw);
    copyBoundedText(fw.decodedVersion, sizeof fw.decodedVersion, hba->rawFwVersion);

    set_na_fields(&hba->activeBoot);
    copyBoundedText(hba->activeBoot.decodedVersion, sizeof hba->activeBoot.decodedVersion, hba->rawBootVersion);
}

void encodeAndUpdateFCVersion(_Hba *hba)
{
    if (!hba)
        return;
    terminate_raw_texts(hba);

    CLUImage &fw = hba->activeFw;
    copyBoundedText(fw.legacyType, sizeof fw.legacyType, hba->fwPrefix);
    copyBoundedText(fw.filename, sizeof fw.filename, "N/A");
    copyBoundedText(fw.sortedVersion, sizeof fw.sortedVersion, "N/A");
    std::snprintf(fw.decodedVersion, sizeof fw.decodedVersion, "%s%s", hba->fwPrefix, hba->rawFwVersion);
    fw.imageType = FC_IMAGE;
    fw.extType = ALLext;

    CLUImage &boot = hba->activeBoot;
    copyBoundedText(boot.legacyType, sizeof boot.legacyType, hba->bootPrefix);
    copyBoundedText(boot.filename, sizeof boot.filename, "N/A");
    copyBoundedText(boot.sortedVersion, sizeof boot.sortedVersion, "N/A");
    std::snprintf(boot.decodedVersion, sizeof boot.decodedVersion, "%s%s", hba->bootPrefix, hba->rawBootVersion);
    boot.imageType = FC_IMAGE;
    boot.extType = PRGext;
}
