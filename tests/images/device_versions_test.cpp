// The per-device working record and its version records.
#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "flash/device_versions.h"
#include "flash/hba_record.h"
#include "image_fixture.h"

namespace {

using imgtest::make_hba;

TEST(WorkingRecord, KindPredicates)
{
    const struct {
        int32_t kind;
        uint32_t dev;
        int quellbeam, cna, varrowFC;
    } cases[] = {
        {HBA_KIND_FC, 0xE200, 1, 0, 1},    // Varrow FC
        {HBA_KIND_FC, 0xE300, 1, 0, 1},    // gen-6 Varrow FC
        {HBA_KIND_FCOE, 0x0714, 0, 1, 0},  // FCoE of a converged adapter
        {HBA_KIND_NIC, 0x0700, 0, 1, 0},
        {HBA_KIND_ISCSI, 0x0722, 0, 1, 0},
        {HBA_KIND_NIC, 0xE200, 0, 1, 1},   // the device id decides, whatever the kind
        {HBA_KIND_FC, 0x0000, 1, 0, 0},    // a zero-filled record
        {1, 0xFA00, 0, 0, 0},
    };
    for (const auto &c : cases) {
        _Hba h = make_hba(c.kind, c.dev, 0, 0, 0);
        EXPECT_EQ(isQuellbeamHBA(&h), c.quellbeam) << c.kind << "/" << std::hex << c.dev;
        EXPECT_EQ(isCNA(&h), c.cna) << c.kind << "/" << std::hex << c.dev;
        EXPECT_EQ(isVarrowFCHBA(&h), c.varrowFC) << c.kind << "/" << std::hex << c.dev;
    }
    EXPECT_EQ(isCNA(nullptr), 0);
    // The record starts with the active firmware record.
    _Hba h = make_hba(HBA_KIND_NIC, 0x0710, 0, 0, 0);
    EXPECT_EQ(reinterpret_cast<CLUImage *>(&h), &h.activeFw);
}

TEST(DeviceVersions, LegacyFirmwareType)
{
    char dest[8];
    std::strcpy(dest, "keep");
    EXPECT_EQ(getLegacyFwType(dest, sizeof dest, 0xFA00, 0x10DF, 0, 0x10DF, 0), 4);
    EXPECT_STREQ(dest, "keep");
    EXPECT_EQ(getLegacyFwType(dest, 7, 0xFA00, 0x10DF, 0xFA00, 0x10DF, 0), 4);
    EXPECT_STREQ(dest, "keep");
    EXPECT_EQ(getLegacyFwType(nullptr, 8, 0xFA00, 0x10DF, 0xFA00, 0x10DF, 0), 4);
    EXPECT_EQ(getLegacyFwType(dest, sizeof dest, 0x1234, 0x10DF, 0x1234, 0x10DF, 0), 1);
    EXPECT_STREQ(dest, "keep");
    EXPECT_EQ(getLegacyFwType(dest, sizeof dest, 0x0710, 0x19A2, 0xE70E, 0x10DF, 0), 0);
    EXPECT_STREQ(dest, "");

    // Every code of the table: twenty distinct two-letter codes.
    const struct {
        uint32_t dev, subDev, subVen;
        int dual;
    } rows[] = {
        {0xF015, 1, 1, 0}, {0xF098, 1, 1, 0}, {0xF0A1, 1, 1, 0}, {0xF0A5, 1, 1, 0}, {0xF0D5, 1, 1, 0},
        {0xF0E1, 1, 1, 0}, {0xF0E5, 1, 1, 0}, {0xF180, 1, 1, 0}, {0xFA00, 1, 1, 0},
        {0xF100, 0x338F, 0x103C, 0}, {0xF100, 0xF124, 0x10DF, 0}, {0xF100, 1, 1, 0},
        {0xF980, 1, 1, 1}, {0xF980, 1, 1, 0},
        {0xFD00, 0xFD22, 0x10DF, 0}, {0xFD00, 1, 1, 0},
        {0xFE00, 0xFE22, 0x10DF, 0}, {0xFE00, 1, 1, 0},
        {0xFE05, 1, 1, 1}, {0xFE05, 1, 1, 0},
    };
    std::set<std::string> codes;
    for (const auto &r : rows) {
        char code[8] = "?";
        ASSERT_EQ(getLegacyFwType(code, sizeof code, r.dev, 0x10DF, r.subDev, r.subVen, r.dual), 0) << r.dev;
        EXPECT_EQ(std::strlen(code), 2u) << std::hex << r.dev;
        codes.insert(code);
    }
    EXPECT_EQ(codes.size(), 20u);
    // The dual-channel flag selects the Solvane and Wyndel blade code as well.
    char a[8], b[8];
    getLegacyFwType(a, sizeof a, 0xFD00, 0x10DF, 0xFD22, 0x10DF, 0);
    getLegacyFwType(b, sizeof b, 0xFD00, 0x10DF, 1, 1, 1);
    EXPECT_STREQ(a, b);
}

TEST(DeviceVersions, PrefixFields)
{
    // A converged function listed in the table: valid, with no firmware prefix.
    _Hba cna = make_hba(HBA_KIND_NIC, 0x0710, 0x19A2, 0xE70E, 0x10DF);
    std::strcpy(cna.rawBootVersion, "10.2.370.15");
    EXPECT_EQ(setPrefixFields(&cna), 0);
    EXPECT_EQ(cna.prefixValid, 1);
    EXPECT_STREQ(cna.fwPrefix, "");

    // An FC function without boot code: a one-letter boot prefix.
    _Hba fc = make_hba(HBA_KIND_FC, 0xFA00, 0x10DF, 0xFA00, 0x10DF);
    std::strcpy(fc.rawBootVersion, "NONE");
    EXPECT_EQ(setPrefixFields(&fc), 0);
    EXPECT_EQ(std::strlen(fc.fwPrefix), 2u);
    EXPECT_EQ(fc.bootPrefix[0], fc.fwPrefix[0]);
    EXPECT_EQ(fc.bootPrefix[1], '\0');

    // A boot prefix set by the conversion stays when there is boot code.
    std::strcpy(fc.rawBootVersion, "KU512A0");
    std::strcpy(fc.bootPrefix, "KU");
    EXPECT_EQ(setPrefixFields(&fc), 0);
    EXPECT_STREQ(fc.bootPrefix, "KU");

    // Varrow FC: listed, no firmware prefix.
    _Hba varrow = make_hba(HBA_KIND_FC, 0xE200, 0x10DF, 0xE200, 0x10DF);
    EXPECT_EQ(setPrefixFields(&varrow), 0);
    EXPECT_STREQ(varrow.fwPrefix, "");

    // Not listed, or a zero id: no prefixes at all.
    _Hba unknown = make_hba(HBA_KIND_FC, 0x1234, 0x10DF, 1, 1);
    std::strcpy(unknown.fwPrefix, "ZZ");
    std::strcpy(unknown.bootPrefix, "YY");
    EXPECT_EQ(setPrefixFields(&unknown), 1);
    EXPECT_EQ(unknown.prefixValid, 0);
    EXPECT_STREQ(unknown.fwPrefix, "");
    EXPECT_STREQ(unknown.bootPrefix, "");
    _Hba zero = make_hba(HBA_KIND_FC, 0xFA00, 0x10DF, 0, 0x10DF);
    EXPECT_EQ(setPrefixFields(&zero), 4);
    EXPECT_EQ(zero.prefixValid, 0);
}

TEST(DeviceVersions, RawFcVersionText)
{
    const struct {
        const char *text;
        LegacyRevParts parts;
    } cases[] = {
        {"KF2.01B12", {2, 0, 1, 2, 12}},
        {"KF201A3", {2, 0, 1, 1, 3}},
        {"KF215X1", {2, 1, 1, 3, 1}},   // fix-level digit 5 stored as its low 2 bits
        {"KF201N17", {2, 0, 1, 0, 1}},  // count 17 stored as its low 4 bits
        {"KF201Q7", {2, 0, 1, 0, 7}},   // an unknown letter reads as N
        {"KF", {0, 0, 0, 0, 0}},        // only the family letters
        {"KF2", {2, 0, 0, 0, 0}},       // the text ends early
        {"KF2.", {2, 0, 0, 0, 0}},
        {"KF.1", {0, 1, 0, 0, 0}},      // a non-digit reads as 0
    };
    for (const auto &c : cases) {
        CLUImage r;
        std::memset(&r, 0, sizeof r);
        r.CNAMajorVer = 77;
        EXPECT_EQ(decodeRawFCBuildString(&r, c.text), 0) << c.text;
        LegacyRevParts p = getLegacyEncodedRev(&r);
        EXPECT_EQ(p.version, c.parts.version) << c.text;
        EXPECT_EQ(p.revision, c.parts.revision) << c.text;
        EXPECT_EQ(p.fixlevel, c.parts.fixlevel) << c.text;
        EXPECT_EQ(p.dist_type, c.parts.dist_type) << c.text;
        EXPECT_EQ(p.dist_cnt, c.parts.dist_cnt) << c.text;
        EXPECT_EQ(r.CNAMajorVer, 77u) << c.text; // nothing else changes
    }
    CLUImage r;
    std::memset(&r, 0, sizeof r);
    EXPECT_EQ(decodeRawFCBuildString(&r, nullptr), 1);
    EXPECT_EQ(decodeRawFCBuildString(nullptr, "KF201A1"), 1);

    imgtest::ScratchDir dir;
    imgtest::DebugLogCapture log(dir);
    decodeRawFCBuildString(&r, "KF2.01B12");
    std::string t = log.text();
    EXPECT_NE(t.find("Raw FW Version       : KF2.01B12\n"), std::string::npos);
    EXPECT_NE(t.find("Decoded Version      : 201B12\n"), std::string::npos);
}

TEST(DeviceVersions, ConvergedRecords)
{
    const struct {
        int32_t kind;
        uint32_t dev;
        const char *raw;
        const char *decoded;
        uint32_t v[4];
        int32_t type;
        CLUImageExtType ext;
    } cases[] = {
        {HBA_KIND_NIC, 0x0710, "2.702.205.3", "2.102.205.3", {2, 102, 205, 3}, AW3_IMAGE, UFIext},
        {HBA_KIND_NIC, 0x0720, "2.702.205.3", "2.702.205.3", {2, 702, 205, 3}, AW4_IMAGE, UFIext},
        {HBA_KIND_NIC, 0x0700, "3.5.1.0", "3.1.1.0", {2, 1, 1, 0}, AW2_IMAGE, UFIext},
        {HBA_KIND_ISCSI, 0x0712, "10.2.370.15", "10.2.370.15", {10, 2, 370, 15}, AW3_IMAGE, UFIext},
        {HBA_KIND_FCOE, 0x0714, "2.", "2.", {2, 0, 0, 0}, AW3_IMAGE, UFIext}, // nothing after the dot to replace
        {HBA_KIND_FC, 0xE200, "11.4.204.20", "11.4.204.20", {11, 4, 204, 20}, GRP_IMAGE, GRPext},
        {HBA_KIND_FC, 0xE300, "12.0.0.1", "12.0.0.1", {12, 0, 0, 1}, GRP_G6_IMAGE, GRPext},
        {HBA_KIND_NIC, 0xE220, "11.4.204.20", "11.4.204.20", {11, 4, 204, 20}, GRP_IMAGE, GRPext},
        {HBA_KIND_NIC, 0x0799, "1.2.3.4", "1.2.3.4", {1, 2, 3, 4}, NO_IMAGE_TYPE, NOext},
    };
    for (const auto &c : cases) {
        _Hba h = make_hba(c.kind, c.dev, 0x19A2, 1, 0x10DF);
        std::strcpy(h.rawFwVersion, c.raw);
        std::strcpy(h.rawBootVersion, "4.2.433.0");
        encodeAndUpdateCNAVersion(&h);
        EXPECT_STREQ(h.rawFwVersion, c.decoded) << c.raw;
        EXPECT_STREQ(h.activeFw.decodedVersion, c.decoded) << c.raw;
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(h.activeVersion[i], c.v[i]) << c.raw << " part " << i;
        }
        EXPECT_EQ(h.activeFw.CNAMajorVer, c.v[0]);
        EXPECT_EQ(h.activeFw.CNABuildVer, c.v[3]);
        EXPECT_EQ(h.adapterImageType, c.type) << c.raw;
        EXPECT_EQ(h.activeFw.imageType, c.type) << c.raw;
        EXPECT_EQ(h.activeFw.extType, c.ext) << c.raw;
        EXPECT_STREQ(h.activeFw.filename, "N/A");
        EXPECT_STREQ(h.activeFw.legacyType, "N/A");
        EXPECT_STREQ(h.activeBoot.sortedVersion, "N/A");
        EXPECT_STREQ(h.activeBoot.decodedVersion, "4.2.433.0");
    }
    // An FC function that is not Varrow is left alone.
    _Hba fc = make_hba(HBA_KIND_FC, 0xFA00, 0x10DF, 0xFA00, 0x10DF);
    std::strcpy(fc.rawFwVersion, "201A12");
    encodeAndUpdateCNAVersion(&fc);
    EXPECT_EQ(fc.activeFw.imageType, NO_IMAGE_TYPE);
    EXPECT_STREQ(fc.activeFw.decodedVersion, "");
}

TEST(DeviceVersions, FcRecords)
{
    _Hba fc = make_hba(HBA_KIND_FC, 0xFA00, 0x10DF, 0xFA00, 0x10DF);
    std::strcpy(fc.rawFwVersion, "201A12");
    std::strcpy(fc.rawBootVersion, "512A0");
    std::strcpy(fc.fwPrefix, "KF");
    std::strcpy(fc.bootPrefix, "KU");
    encodeAndUpdateFCVersion(&fc);
    EXPECT_STREQ(fc.activeFw.decodedVersion, "KF201A12");
    EXPECT_STREQ(fc.activeFw.legacyType, "KF");
    EXPECT_STREQ(fc.activeFw.sortedVersion, "N/A");
    EXPECT_STREQ(fc.activeFw.filename, "N/A");
    EXPECT_EQ(fc.activeFw.imageType, FC_IMAGE);
    EXPECT_EQ(fc.activeFw.extType, ALLext);
    EXPECT_STREQ(fc.activeBoot.decodedVersion, "KU512A0");
    EXPECT_STREQ(fc.activeBoot.legacyType, "KU");
    EXPECT_EQ(fc.activeBoot.imageType, FC_IMAGE);
    EXPECT_EQ(fc.activeBoot.extType, PRGext);

    // Raw texts that fill their whole field are read within it.
    std::memset(fc.rawFwVersion, '9', sizeof fc.rawFwVersion);
    encodeAndUpdateFCVersion(&fc);
    EXPECT_EQ(std::string(fc.activeFw.decodedVersion), "KF" + std::string(31, '9'));
}

} // namespace
