// Version rules and image matching over synthetic working records and image
// lists.
#include <cstring>
#include <initializer_list>
#include <string>

#include <gtest/gtest.h>

#include "flash/image_list.h"
#include "flash/version_rules.h"
#include "image_fixture.h"

namespace {

using imgtest::make_hba;
using imgtest::new_fc_image;
using imgtest::new_image;

// An image list built through the list's own insertion rule.
class ImageListFixture {
public:
    ImageListFixture(std::initializer_list<CLUImage *> records)
    {
        for (CLUImage *r : records)
            addFileNameToList(r, &head);
    }
    ~ImageListFixture() { freeCLUImageList(head); }
    ImageListFixture(const ImageListFixture &) = delete;
    ImageListFixture &operator=(const ImageListFixture &) = delete;
    CLUImage *head = nullptr;
};

std::string name_of(const CLUImage *r)
{
    return r ? r->filename : "(none)";
}

_Hba gorsel(uint8_t isAWR, uint32_t asic)
{
    _Hba h = make_hba(HBA_KIND_NIC, 0x0710, 0x19A2, 0xE70E, 0x10DF);
    h.adapterImageType = AW3_IMAGE;
    h.activeFw.imageType = AW3_IMAGE;
    h.activeFw.isAWR = isAWR;
    h.activeFw.asicRevisionId = asic;
    return h;
}

TEST(VersionRules, RVariantMatchingByAsicRevision)
{
    ImageListFixture list{
        new_image(AW3_IMAGE, 10, 2, 0, 9, 0x00, 0, "base-9"),
        new_image(AW3_IMAGE, 10, 2, 0, 8, 0x10, 1, "r10-8"),
        new_image(AW3_IMAGE, 10, 2, 0, 7, 0x11, 1, "r11-7"),
        new_image(AW3_IMAGE, 10, 2, 0, 6, 0x10, 1, "r10-6"),
        new_image(AW2_IMAGE, 10, 2, 0, 99, 0x11, 1, "aw2-r11"),
    };
    const struct {
        uint8_t isAWR;
        uint32_t asic;
        const char *expected;
    } cases[] = {
        {1, 0x10, "r10-8"},   // 0x10 takes 0x10 or 0x11, newest first
        {1, 0x11, "r11-7"},   // 0x11 skips the 0x10 images
        {1, 0x12, "(none)"},  // any other revision matches nothing
        {1, 0x00, "(none)"},
        {0, 0x12, "base-9"},  // without the R flag: the newest AW3 image, whatever its revision
        {0, 0x11, "base-9"},
    };
    for (const auto &c : cases) {
        _Hba h = gorsel(c.isAWR, c.asic);
        EXPECT_EQ(name_of(GetMatchingImageFile(&h, list.head, MATCH_ITEM_FIRMWARE)), c.expected)
            << "isAWR " << int(c.isAWR) << " asic " << c.asic;
        // The item does not matter for converged functions.
        EXPECT_EQ(name_of(GetMatchingImageFile(&h, list.head, MATCH_ITEM_BOOT)), c.expected);
    }
    EXPECT_EQ(getFirstAWRMatch(nullptr, list.head), nullptr);
    EXPECT_EQ(GetMatchingImageFile(nullptr, list.head, MATCH_ITEM_FIRMWARE), nullptr);
}

TEST(VersionRules, TrelmontTakesTheNewestImageOfItsRevisionOrAbove)
{
    ImageListFixture list{
        new_image(AW4_IMAGE, 12, 0, 0, 0, 0x00, 0, "base-12"),
        new_image(AW4_IMAGE, 11, 9, 0, 0, 0x20, 1, "r20-11.9"),
        new_image(AW4_IMAGE, 11, 1, 0, 0, 0x10, 1, "r10-11.1"),
        new_image(AW3_IMAGE, 99, 0, 0, 0, 0x10, 1, "aw3"),
    };
    const struct {
        uint32_t asic;
        const char *expected;
    } cases[] = {{0x00, "base-12"}, {0x10, "r20-11.9"}, {0x20, "r20-11.9"}, {0x21, "(none)"}};
    for (const auto &c : cases) {
        _Hba h = make_hba(HBA_KIND_ISCSI, 0x0722, 0x19A2, 0xE81E, 0x10DF);
        h.adapterImageType = AW4_IMAGE;
        h.activeFw.imageType = AW4_IMAGE;
        h.activeFw.asicRevisionId = c.asic;
        h.activeFw.isAWR = 1; // the Trelmont rule applies whatever the flag
        EXPECT_EQ(name_of(GetMatchingImageFile(&h, list.head, MATCH_ITEM_FIRMWARE)), c.expected) << c.asic;
    }
    EXPECT_EQ(getFirstAW4Match(nullptr, list.head), nullptr);
}

TEST(VersionRules, HalvardBmcFloorOfGen2Boards)
{
    const struct {
        uint32_t v[4];
        bool supported;
    } versions[] = {
        {{4, 0, 360, 14}, false}, {{4, 0, 360, 15}, true}, {{4, 1, 0, 0}, true},
        {{3, 9, 999, 99}, false}, {{4, 0, 359, 99}, false}, {{5, 0, 0, 0}, true},
    };
    for (const auto &c : versions) {
        std::string label = std::to_string(c.v[0]) + "." + std::to_string(c.v[1]) + "." + std::to_string(c.v[2]) +
                            "." + std::to_string(c.v[3]);
        ImageListFixture list{new_image(AW2_IMAGE, c.v[0], c.v[1], c.v[2], c.v[3], 0, 0, "aw2")};
        _Hba bmc = make_hba(HBA_KIND_NIC, 0x0700, 0x19A2, 0x174B, 0x103C);
        bmc.adapterImageType = AW2_IMAGE;
        _Hba plain = make_hba(HBA_KIND_NIC, 0x0700, 0x19A2, 0xE602, 0x10DF);
        plain.adapterImageType = AW2_IMAGE;
        EXPECT_EQ(GetMatchingImageFile(&bmc, list.head, MATCH_ITEM_FIRMWARE) != nullptr, c.supported) << label;
        EXPECT_EQ(IsCompatibleFirmwareFile(&bmc, list.head, 0), c.supported ? 1 : 0) << label;
        EXPECT_NE(GetMatchingImageFile(&plain, list.head, MATCH_ITEM_FIRMWARE), nullptr) << label;
        EXPECT_EQ(IsCompatibleFirmwareFile(&plain, list.head, 0), 1) << label;
        EXPECT_EQ(isSupportedAW2FirmwareVersion(c.v[0], c.v[1], c.v[2], c.v[3]), c.supported ? 1 : 0) << label;
    }
}

TEST(VersionRules, HalvardBmcFloorLog)
{
    imgtest::ScratchDir dir;
    imgtest::DebugLogCapture log(dir);
    CLUImage *image = new_image(AW2_IMAGE, 4, 0, 361, 0);
    EXPECT_EQ(isCompatibleAW2FirmwareImage(image), 1);
    std::free(image);
    EXPECT_EQ(log.text(), "\n[isCompatibleAW2FirmwareImage]\n"
                          "\n[hasSupportedAW2FirmwareVersion]\n"
                          "CNAMajorVer   = 4\nCNAMinorVer   = 0\nCNAReleaseVer = 361\nCNABuildVer   = 0\n"
                          "\nComparing Major Versions - base = 4, fpga = 4\n"
                          "curVersion == fpgaVersion - Continue version test\n"
                          "\nComparing Minor Versions - base = 0, fpga = 0\n"
                          "curVersion == fpgaVersion - Continue version test\n"
                          "\nComparing Release Versions - base = 361, fpga = 360\n"
                          "curVersion > fpgaVersion - Supported = TRUE\n");
    EXPECT_EQ(isCompatibleAW2FirmwareImage(nullptr), 0);
}

TEST(VersionRules, CompatibilityByDownloadType)
{
    CLUImage *aw3 = new_image(AW3_IMAGE, 10, 2, 0, 0);
    CLUImage *aw4 = new_image(AW4_IMAGE, 11, 0, 0, 0);
    _Hba g = gorsel(0, 0);
    EXPECT_EQ(IsCompatibleFirmwareFile(&g, aw3, 0), 1);
    EXPECT_EQ(IsCompatibleFirmwareFile(&g, aw4, 0), 0);
    // The boot-code type follows the prefix rule for converged functions as well.
    EXPECT_EQ(IsCompatibleFirmwareFile(&g, aw3, 1), 0);

    _Hba fc = make_hba(HBA_KIND_FC, 0xFA00, 0x10DF, 0xFA00, 0x10DF);
    copyBoundedText(fc.fwPrefix, sizeof fc.fwPrefix, "KF");
    copyBoundedText(fc.bootPrefix, sizeof fc.bootPrefix, "KU");
    CLUImage *fw = new_fc_image("KF2.01A12", "kf201a12.all");
    CLUImage *boot = new_fc_image("KU5.12A0", "ku512a0.prg");
    EXPECT_EQ(IsCompatibleFirmwareFile(&fc, fw, 0), 1);
    EXPECT_EQ(IsCompatibleFirmwareFile(&fc, boot, 0), 0);
    EXPECT_EQ(IsCompatibleFirmwareFile(&fc, fw, 1), 0); // firmware prefix offered as boot code
    EXPECT_EQ(IsCompatibleFirmwareFile(&fc, boot, 1), 1);
    EXPECT_EQ(IsCompatibleFirmwareFile(nullptr, boot, 1), 0);
    EXPECT_EQ(IsCompatibleFirmwareFile(&fc, nullptr, 1), 0);
    for (CLUImage *r : {aw3, aw4, fw, boot})
        std::free(r);
}

// Oskara and Wyndel boot images carry a blade digit after their two-letter
// code; an image for the other kind of board is passed over.
TEST(VersionRules, BootCodeMatchingSkipsTheWrongBladeDigit)
{
    ImageListFixture list{
        new_fc_image("XB5.12A3", "OU6512a3.prg"), // Oskara code, blade digit 6
        new_fc_image("XB5.12A2", "OU5512a2.prg"), // Oskara code, digit 5
        new_fc_image("XB5.12A1", "OU5512a1.prg"),
        new_fc_image("YB9.99A9", "OU5999a9.prg"), // another family code
        new_fc_image("XF2.01A12", "xf201a12.all"),
    };
    _Hba oskara = make_hba(HBA_KIND_FC, 0xF100, 0x10DF, 0xF100, 0x10DF); // not a blade
    copyBoundedText(oskara.fwPrefix, sizeof oskara.fwPrefix, "XF");
    copyBoundedText(oskara.bootPrefix, sizeof oskara.bootPrefix, "XB");
    EXPECT_EQ(name_of(GetMatchingImageFile(&oskara, list.head, MATCH_ITEM_BOOT)), "OU5512a2.prg");
    EXPECT_EQ(name_of(GetMatchingImageFile(&oskara, list.head, MATCH_ITEM_FIRMWARE)), "xf201a12.all");
    EXPECT_EQ(GetMatchingImageFile(&oskara, list.head, 3), nullptr);

    _Hba blade = oskara;
    blade.subDeviceId = 0xF124; // an Oskara blade
    EXPECT_EQ(name_of(GetMatchingImageFile(&blade, list.head, MATCH_ITEM_BOOT)), "OU6512a3.prg");

    // No image of the right digit: none, never an image of another family code.
    ImageListFixture onlyBlade{new_fc_image("XB5.12A3", "OU6512a3.prg"), new_fc_image("YB9.99A9", "OU5999a9.prg")};
    EXPECT_EQ(GetMatchingImageFile(&oskara, onlyBlade.head, MATCH_ITEM_BOOT), nullptr);

    // The Wyndel code is tested on Wyndel boards only.
    CLUImage *wyndelBoot = new_fc_image("WB1.00A1", "WU6100a1.prg");
    _Hba wyndel = make_hba(HBA_KIND_FC, 0xFE00, 0x10DF, 0xFE00, 0x10DF);
    EXPECT_EQ(IsCompatibleBootCode(wyndelBoot, &wyndel), 0);
    wyndel.subDeviceId = 0xFE22;
    EXPECT_EQ(IsCompatibleBootCode(wyndelBoot, &wyndel), 1);
    EXPECT_EQ(IsCompatibleBootCode(wyndelBoot, &oskara), 1);
    _Hba other = make_hba(HBA_KIND_FC, 0xFA00, 0x10DF, 0xFA00, 0x10DF);
    EXPECT_EQ(IsCompatibleBootCode(wyndelBoot, &other), 1);
    std::free(wyndelBoot);
}

TEST(VersionRules, FourPartComparison)
{
    _Hba g = gorsel(0, 0);
    g.activeFw.CNAMajorVer = 10;
    g.activeFw.CNAMinorVer = 2;
    g.activeFw.CNAReleaseVer = 370;
    g.activeFw.CNABuildVer = 15;
    const struct {
        CLUImageType type;
        uint32_t build;
        int expected;
    } cases[] = {
        {AW3_IMAGE, 15, 0}, {AW3_IMAGE, 16, 1}, {AW3_IMAGE, 14, -1},
        {AW4_IMAGE, 0, 1},  // a higher image type is newer whatever its version
        {AW2_IMAGE, 99, -1},
    };
    for (const auto &c : cases) {
        CLUImage *image = new_image(c.type, 10, 2, 370, c.build);
        EXPECT_EQ(CompareAdapterAndImageFileVersion(&g, image, "ignored"), c.expected) << c.type << "/" << c.build;
        std::free(image);
    }
    // Neither side of a four-part type: not comparable.
    _Hba unknown = make_hba(HBA_KIND_NIC, 0x0799, 0x19A2, 1, 1);
    CLUImage *none = new_image(NO_IMAGE_TYPE, 1, 0, 0, 0);
    EXPECT_EQ(CompareAdapterAndImageFileVersion(&unknown, none, nullptr), 4);
    EXPECT_EQ(updateNeededCNA(nullptr, none), 4);
    EXPECT_EQ(CompareAdapterAndImageFileVersion(&unknown, nullptr, nullptr), 4);
    std::free(none);

    // Varrow FC functions follow the four-part rules.
    _Hba varrow = make_hba(HBA_KIND_FC, 0xE200, 0x10DF, 0xE200, 0x10DF);
    varrow.activeFw.imageType = GRP_IMAGE;
    varrow.activeFw.CNAMajorVer = 11;
    CLUImage *grp = new_image(GRP_IMAGE, 12, 0, 0, 0);
    EXPECT_EQ(CompareAdapterAndImageFileVersion(&varrow, grp, "11.0.0.0"), 1);
    std::free(grp);
}

TEST(VersionRules, FcComparison)
{
    const struct {
        const char *image;
        const char *active;
        int expected;
    } cases[] = {
        // FC version texts reach the rule without their dots.
        {"201A12", "201A12", 0},
        {"201A12", "N/A", -2},
        {"201A12", "NONE", -2},
        {"300A1", "299B99", 1},  // greater first digit, whatever follows
        {"199B99", "200A1", -1},
        {"282A1", "29A1", 1},    // digit runs 82 against 9
        {"29A1", "282A1", -1},
        {"201B1", "201N1", 1},   // B ranks above every letter
        {"201N1", "201B1", -1},
        {"201N1", "201A1", 1},   // A ranks below every letter
        {"201A1", "201N1", -1},
        {"201X1", "201N1", -1},  // neither A nor B: each counts as older
        {"201N1", "201X1", -1},
        {"201A10", "201A9", 1},  // longer rest
        {"201A9", "201A10", -1},
        {"201A15", "201A13", 1}, // rests of equal length
        {"201A13", "201A15", -1},
        {"1123456789A1", "199999999A1", 1}, // digit runs beyond 7 digits compare as numbers
        {"201", "201A1", 1},     // a text that ends before its letter: the active A ranks lowest
        {"", "201A1", -1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(updateNeededFC(c.image, c.active), c.expected) << c.image << " vs " << c.active;
    EXPECT_EQ(updateNeededFC(nullptr, "N/A"), 4);

    // Through the working record: the image's family code is left out.
    _Hba fc = make_hba(HBA_KIND_FC, 0xFA00, 0x10DF, 0xFA00, 0x10DF);
    CLUImage *image = new_fc_image("KF201A12", "kf.all");
    EXPECT_EQ(CompareAdapterAndImageFileVersion(&fc, image, "201A11"), 1);
    EXPECT_EQ(CompareAdapterAndImageFileVersion(&fc, image, "201A12"), 0);
    EXPECT_EQ(CompareAdapterAndImageFileVersion(&fc, image, "NONE"), -2);
    copyBoundedText(image->decodedVersion, sizeof image->decodedVersion, "K");
    EXPECT_EQ(CompareAdapterAndImageFileVersion(&fc, image, "201A11"), -1);
    std::free(image);
}

TEST(VersionRules, FirstMatchHelpers)
{
    ImageListFixture list{new_fc_image("KF2.01A12", "a"), new_fc_image("KB5.12A0", "b"),
                          new_image(AW3_IMAGE, 1, 0, 0, 0, 0, 0, "c")};
    EXPECT_EQ(name_of(getFirstMatch("KB", list.head, 0)), "b");
    EXPECT_EQ(name_of(getFirstMatch("KX", list.head, 1)), "a"); // first character only
    EXPECT_EQ(name_of(getFirstMatch("K", list.head, 0)), "(none)"); // a one-letter prefix matches no version
    EXPECT_EQ(getFirstMatch(nullptr, list.head, 0), nullptr);
    EXPECT_EQ(name_of(getFirstCNAMatch(AW3_IMAGE, list.head)), "c");
    EXPECT_EQ(getFirstCNAMatch(AW4_IMAGE, list.head), nullptr);
}

TEST(VersionRules, TestsTheLibraryDoesNotCall)
{
    CLUImage *dev = new_image(AW3_IMAGE, 10, 2, 0, 5);
    CLUImage *same = new_image(AW3_IMAGE, 10, 2, 0, 5);
    CLUImage *older = new_image(AW3_IMAGE, 10, 2, 0, 4);
    CLUImage *newer = new_image(AW3_IMAGE, 10, 2, 0, 6);
    EXPECT_EQ(isUpdateNeededCNA(dev, newer, 0), 1);
    EXPECT_EQ(isUpdateNeededCNA(dev, same, 0), 0);
    EXPECT_EQ(isUpdateNeededCNA(dev, same, 1), 1);
    EXPECT_EQ(isUpdateNeededCNA(dev, same, 2), 0);
    EXPECT_EQ(isUpdateNeededCNA(dev, older, 1), 0);
    EXPECT_EQ(isUpdateNeededCNA(nullptr, older, 1), 4);
    EXPECT_EQ(isUpdateNeededFC(dev, newer, 0), 4); // four-part types are not FC

    CLUImage *fcDev = new_fc_image("KF201A11", "d");
    CLUImage *fcNew = new_fc_image("KF201A12", "n");
    CLUImage *fcNone = new_fc_image("KFN/A", "x");
    EXPECT_EQ(isUpdateNeededFC(fcDev, fcNew, 0), 1);
    EXPECT_EQ(isUpdateNeededFC(fcNew, fcDev, 0), 0);
    EXPECT_EQ(isUpdateNeededFC(fcDev, fcDev, 0), 0);
    EXPECT_EQ(isUpdateNeededFC(fcDev, fcDev, 2), 1);
    EXPECT_EQ(isUpdateNeededFC(fcNone, fcNew, 0), 0);
    EXPECT_EQ(isUpdateNeededFC(fcNone, fcNew, 1), 1);
    EXPECT_EQ(isUpdateNeededFC(nullptr, fcNew, 1), 4);
    for (CLUImage *r : {dev, same, older, newer, fcDev, fcNew, fcNone})
        std::free(r);

    EXPECT_EQ(compareTuple(1, 2), 0);
    EXPECT_EQ(compareTuple(0x80000000u, 2), 1); // unsigned
    EXPECT_EQ(compareTuple(5, 5), 2);

    EXPECT_EQ(isVarrowMissingObjsFWVersion(1, 1, 21, 4), 1);
    EXPECT_EQ(isVarrowMissingObjsFWVersion(1, 1, 21, 300), 0);
    EXPECT_EQ(isVarrowInterimFWVersion(1, 1, 21, 300), 1);
    EXPECT_EQ(isVarrowInterimFWVersion(1, 1, 21, 4), 0);
    const struct {
        uint32_t v[4];
        int expected;
    } interim[] = {{{1, 1, 21, 4}, 0}, {{1, 1, 21, 5}, 1}, {{1, 1, 20, 99}, 0}, {{2, 0, 0, 0}, 1}, {{0, 9, 99, 9}, 0}};
    for (const auto &c : interim)
        EXPECT_EQ(requiresInterimVarrowDownload(c.v[0], c.v[1], c.v[2], c.v[3]), c.expected) << c.v[2] << "." << c.v[3];

    const struct {
        uint32_t v[4];
        int expected;
    } quillet[] = {{{10, 2, 222, 14}, 0}, {{10, 2, 0, 0}, 0}, {{10, 2, 223, 0}, 1}, {{10, 2, 222, 15}, 1},
                   {{10, 3, 0, 0}, 1}};
    for (const auto &c : quillet)
        EXPECT_EQ(isSupportedQuilletFw(c.v[0], c.v[1], c.v[2], c.v[3]), c.expected);
}

TEST(VersionRules, VarrowInterimLog)
{
    imgtest::ScratchDir dir;
    imgtest::DebugLogCapture log(dir);
    EXPECT_EQ(requiresInterimVarrowDownload(1, 2, 0, 0), 1);
    EXPECT_EQ(log.text(), "\nComparing Major Versions - NewMajorVer = 1, BaseMajorVer = 1\n"
                          "curVersion == fpgaVersion - Continue version test\n"
                          "Returning from Comparing Major Versions. Status = 2\n\n"
                          "\nComparing Minor Versions - NewMinorVer = 2, BaseMinorVer = 1\n"
                          "curVersion > fpgaVersion - Supported = TRUE\n"
                          "Returning from Comparing Minor Versions. Status = 1\n\n");
    EXPECT_EQ(isVarrowInterimFWVersion(1, 1, 21, 300), 1);
    EXPECT_NE(log.text().find("\n[isVarrowInterimFWVersion]\n"), std::string::npos);
    EXPECT_NE(log.text().find("Status = 1\n\n"), std::string::npos);
}

} // namespace
