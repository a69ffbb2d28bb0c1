// Image records and version forms: four-part parsing, the FC sorted form,
// the two version orders and the debug dumps.
#include <climits>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "flash/image_record.h"
#include "image_fixture.h"

namespace {

struct EncodeCase {
    const char *text;
    size_t size;
    int status;
    uint32_t parts[4];
};

TEST(ImageRecord, EncodeCnaVersion)
{
    const EncodeCase cases[] = {
        {"3.102.148.0", 64, 0, {2, 102, 148, 0}},
        {"4.2", 64, 4, {4, 2, 0, 0}},
        {"..4..1.2.3", 64, 0, {4, 1, 2, 3}},
        {"1.2.3.4.5.6", 64, 0, {1, 2, 3, 4}},
        {"a.b.c.d", 64, 0, {0, 0, 0, 0}},
        {"10.2x.3y.4", 64, 0, {10, 2, 3, 4}},
        {"4.2.", 64, 4, {4, 2, 0, 0}},
        {"33.1.1.1", 64, 0, {33, 1, 1, 1}},
        {"99999999999.1.1.1", 64, 0, {UINT32_MAX, 1, 1, 1}},
        {"", 64, 4, {7, 7, 7, 7}},
        // A text not shorter than the working size is refused, not cut.
        {"1.2.3.4", 7, 4, {0, 0, 0, 0}},
        {"1.2.3.4", 8, 0, {1, 2, 3, 4}},
    };
    for (const EncodeCase &c : cases) {
        uint32_t v[4] = {7, 7, 7, 7};
        EXPECT_EQ(encodeCNAVersion(&v[0], &v[1], &v[2], &v[3], c.size, c.text), c.status) << c.text;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(v[i], c.parts[i]) << c.text << " part " << i;
    }
    uint32_t v[4];
    EXPECT_EQ(encodeCNAVersion(nullptr, &v[1], &v[2], &v[3], 64, "1.2.3.4"), 4);
    EXPECT_EQ(encodeCNAVersion(&v[0], &v[1], &v[2], &v[3], 64, nullptr), 4);
}

TEST(ImageRecord, FcSortedForm)
{
    const struct {
        const char *decoded;
        const char *sorted;
    } cases[] = {
        {"KF2.01A", "KF2.01000000A"},             // 7 characters: six zeros inserted
        {"KF2.01A12", "KF2.010000A12"},           // 9 characters
        {"KF2.01A1234567", "KF2.01A1234567"},     // 14 characters: no zeros
        {"KF2.01A123456789", "KF2.01A1234567"},   // cut after 14 characters
        {"ABCDEF", "ABCDEF0000000"},              // 6 characters
        {"ABCDE", "ABCDE"},                       // shorter: unchanged
    };
    for (const auto &c : cases) {
        char out[64];
        std::memset(out, 'Z', sizeof out);
        EXPECT_EQ(padQbFwVersionString(out, c.decoded), 0) << c.decoded;
        EXPECT_STREQ(out, c.sorted) << c.decoded;
    }
    char out[64];
    EXPECT_EQ(padQbFwVersionString(out, ""), 4);
    EXPECT_EQ(padQbFwVersionString(nullptr, "KF2"), 4);
}

TEST(ImageRecord, FcOrder)
{
    EXPECT_EQ(isGreaterFCVersion("KF2.010000A12", "KF2.010000A12"), 0);
    EXPECT_EQ(isGreaterFCVersion("KF2.010000A13", "KF2.010000A12"), 1);
    EXPECT_EQ(isGreaterFCVersion("KF2.010000A12", "KF2.010000A13"), 0); // smaller is not told apart
    // Only 13 characters count.
    EXPECT_EQ(isGreaterFCVersion("KF2.010000A129", "KF2.010000A120"), 0);
    // Short texts are compared up to their terminator.
    EXPECT_EQ(isGreaterFCVersion("KF2", "KF"), 1);
    EXPECT_EQ(isGreaterFCVersion("KF", "KF"), 0);
    // Signed character codes: a byte above 0x7F ranks below every ASCII character.
    EXPECT_EQ(isGreaterFCVersion("\xC3", "A"), 0);
    EXPECT_EQ(isGreaterFCVersion("A", "\xC3"), 1);
    EXPECT_EQ(isGreaterFCVersion(nullptr, "A"), 4);
}

TEST(ImageRecord, FourPartOrder)
{
    CLUImage *a = imgtest::new_image(AW3_IMAGE, 1, 0, 0, 0);
    CLUImage *b = imgtest::new_image(AW2_IMAGE, 9, 0, 0, 0);
    EXPECT_EQ(isGreaterCNAVersion(a, b), 1); // image type first
    EXPECT_EQ(isGreaterCNAVersion(b, a), -1);
    b->imageType = AW3_IMAGE;
    EXPECT_EQ(isGreaterCNAVersion(a, b), -1);
    b->CNAMajorVer = 1;
    EXPECT_EQ(isGreaterCNAVersion(a, b), 0);
    b->CNABuildVer = 0x80000000u; // unsigned: a large part is greater
    EXPECT_EQ(isGreaterCNAVersion(b, a), 1);
    EXPECT_EQ(isGreaterCNAVersion(nullptr, a), 4);
    std::free(a);
    std::free(b);
}

TEST(ImageRecord, LegacyEncodedRevBitLayout)
{
    CLUImage r;
    std::memset(&r, 0, sizeof r);
    setLegacyEncodedRev(&r, LegacyRevParts{15, 3, 2, 2, 9});
    EXPECT_EQ(r.legacyEncodedRev[0], 0xA9); // fixlevel 2, dist_type 2 (B), dist_cnt 9
    EXPECT_EQ(r.legacyEncodedRev[1], 0xF3); // version 15, revision 3
    LegacyRevParts p = getLegacyEncodedRev(&r);
    EXPECT_EQ(p.version, 15);
    EXPECT_EQ(p.revision, 3);
    EXPECT_EQ(p.fixlevel, 2);
    EXPECT_EQ(p.dist_type, 2);
    EXPECT_EQ(p.dist_cnt, 9);
}

TEST(ImageRecord, PadVersionStringByExtension)
{
    CLUImage r;
    std::memset(&r, 0, sizeof r);
    copyBoundedText(r.decodedVersion, sizeof r.decodedVersion, "KF2.01A12");
    r.extType = PRGext;
    EXPECT_EQ(padVersionString(&r), 0);
    EXPECT_STREQ(r.sortedVersion, "KF2.010000A12");
    r.extType = UFIext;
    EXPECT_EQ(padVersionString(&r), 1);
    EXPECT_STREQ(r.sortedVersion, "N/A");
    EXPECT_EQ(padVersionString(nullptr), 4);
}

TEST(ImageRecord, DebugDumps)
{
    imgtest::ScratchDir dir;
    imgtest::DebugLogCapture log(dir);
    CLUImage *r = imgtest::new_image(AW4_IMAGE, 11, 2, 1, 0, 0x10, 1, "t.ufi");
    setLegacyEncodedRev(r, LegacyRevParts{2, 0, 1, 3, 4});
    printCLUImage(r);
    printCLUImage(nullptr);
    printCLUImageList(nullptr);
    std::string t = log.text();
    for (const char *line : {"version              : 2\n", "dist_type            : X (3)\n",
                             "filename             : t.ufi\n", "decodedVersion       : 11.2.1.0\n",
                             "isAWR                : 1\n", "asicRevisionId       : 10\n",
                             "CNAMajorVer          : 11\n", "Image Type           : 4 (AW4_IMAGE)\n",
                             "extType              : 10 (UFIext)\n", "\n[printCLUImage] - Invalid argument!\n",
                             "\n[printCLUImageList] - The image list is null!\n"})
        EXPECT_NE(t.find(line), std::string::npos) << line;
    printCLUImageType(7);
    printCLUImageExtType(99);
    t = log.text();
    EXPECT_NE(t.find("Image Type           : 7 (N/A)\n"), std::string::npos);
    EXPECT_NE(t.find("extType              : 99 (N/A)\n"), std::string::npos);
    std::free(r);
}

} // namespace
