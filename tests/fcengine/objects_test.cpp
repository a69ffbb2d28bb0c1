// Adapter objects of SLI-4 FC functions and the grouped-image header: the
// header check of image files, and the object commands on the simulated
// Varrow FC HBA (refusals that send nothing, loops bounded by the caller's
// room and by replies that bring nothing).
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fc_fixture.h"
#include "hba/sli4_objects.h"
#include "support/sim_host.h"

namespace {

using fctest::FcHost;
using fctest::json;

void put_be32(std::string &s, size_t at, uint32_t v)
{
    s[at] = static_cast<char>(v >> 24);
    s[at + 1] = static_cast<char>(v >> 16);
    s[at + 2] = static_cast<char>(v >> 8);
    s[at + 3] = static_cast<char>(v);
}

// A grouped-image head of `length` bytes: magic, signature word, build text.
std::string grp_bytes(uint32_t magic, uint32_t signatureWord, size_t length)
{
    std::string s(length < 140 ? 140 : length, '\0');
    put_be32(s, 0, 0x01020304);
    put_be32(s, 4, magic);
    put_be32(s, 8, signatureWord);
    std::memcpy(&s[12], "11.4.210.8 build", 16);
    s.resize(length);
    return s;
}

TEST(GroupedHeader, ChecksMagicSignatureAndLength)
{
    std::string dir = hlvdtest::make_temp_dir("grp");
    struct Case {
        const char *what;
        bool exists;
        std::string bytes;
        int plain, gen6; // VerifyGRP_InitHeader, VerifyGRP_G6_InitHeader
    } cases[] = {
        {"exactly a header", true, grp_bytes(0xFEAA0001, 0xF7A21234, 140), 0, 1},
        {"gen-6 image", true, grp_bytes(0xFEAA0003, 0xF70C0000, 4096), 1, 0},
        {"one byte short", true, grp_bytes(0xFEAA0001, 0xF7A20000, 139), 197, 197},
        {"empty file", true, "", 197, 197},
        {"wrong magic", true, grp_bytes(0xFEAA0002, 0xF7A20000, 200), 1, 1},
        {"gen-6 signature, plain magic", true, grp_bytes(0xFEAA0001, 0xF70C0000, 200), 1, 1},
        {"signature in the low half", true, grp_bytes(0xFEAA0001, 0x0000F7A2, 200), 1, 1},
        {"no file", false, "", 199, 199},
    };
    int n = 0;
    for (const Case &c : cases) {
        std::string path = dir + "/img" + std::to_string(n++) + ".grp";
        if (c.exists)
            hlvdtest::write_file(path, c.bytes);
        _GRP_HEADER h;
        std::memset(&h, 0x5A, sizeof h);
        EXPECT_EQ(c.plain, VerifyGRP_InitHeader(&h, path.c_str())) << c.what;
        EXPECT_EQ(c.gen6, VerifyGRP_G6_InitHeader(&h, path.c_str())) << c.what;
        EXPECT_EQ(c.plain == 0 ? 0 : 194, FFS_VerifyFirmwareV2(path.c_str())) << c.what;
        EXPECT_EQ(c.plain == 0 ? 0 : 194, FFS_VerifyFirmware(0, 0, path.c_str())) << c.what;
        EXPECT_EQ(c.gen6 == 0 ? 0 : 194, FFS_VerifyFirmwareG6(path.c_str())) << c.what;
    }
    // The header comes back in host order, the build text as stored.
    std::string path = dir + "/good.grp";
    hlvdtest::write_file(path, grp_bytes(0xFEAA0001, 0xF7A21234, 300));
    _GRP_HEADER h;
    ASSERT_EQ(0, VerifyGRP_InitHeader(&h, path.c_str()));
    EXPECT_EQ(0x01020304u, h.word0);
    EXPECT_EQ(0xFEAA0001u, h.magic);
    EXPECT_EQ(0xF7A21234u, h.signature);
    EXPECT_STREQ("11.4.210.8 build", h.buildText);
    EXPECT_EQ(199, VerifyGRP_InitHeader(&h, nullptr));
    hlvdtest::remove_tree(dir);
}

// A Varrow FC function at bus 0x20 beside an SLI-3 HBA at 0x10.
std::string two_hbas()
{
    return fctest::machine({fctest::sli3_hba("sli3", 0x10), fctest::varrow_fc_hba("varrow", 0x20)});
}

TEST(Objects, RefusalsSendNothing)
{
    FcHost host(two_hbas());
    int varrow = host.board(0x20), sli3 = host.board(0x10);
    host.clear_log();
    std::string longest(OBJECT_NAME_MAX, 'n'), tooLong(OBJECT_NAME_MAX + 1, 'n');
    std::vector<uint8_t> buf(2048, 0);
    uint32_t n = 99;
    struct Case {
        const char *what;
        int code;
        int expected;
    } cases[] = {
        {"size: name too long", SLI_CFG_GetObjectSize(varrow, tooLong.c_str(), &n), 4},
        {"size: empty name", SLI_CFG_GetObjectSize(varrow, "", &n), 4},
        {"size: no name", SLI_CFG_GetObjectSize(varrow, nullptr, &n), 4},
        {"size: no SLI_CONFIG", SLI_CFG_GetObjectSize(sli3, "/prg", &n), 2},
        {"read: name too long", SLI_CFG_ReadObject(varrow, tooLong.c_str(), buf.data(), 2048, &n), 4},
        {"read: no count", SLI_CFG_ReadObject(varrow, "/prg", buf.data(), 2048, nullptr), 4},
        {"write: name too long", SLI_CFG_WriteObject(varrow, tooLong.c_str(), buf.data(), 8, &n, 1), 4},
        {"write: odd length", SLI_CFG_WriteObject(varrow, "/prg", buf.data(), 1026, &n, 1), 194},
        {"write: nothing", SLI_CFG_WriteObject(varrow, "/prg", buf.data(), 0, &n, 1), 0},
        {"write: no data", SLI_CFG_WriteObject(varrow, "/prg", nullptr, 8, &n, 1), 4},
        {"write: no SLI_CONFIG", SLI_CFG_WriteObject(sli3, "/prg", buf.data(), 8, &n, 1), 2},
        {"delete: name too long", SLI_CFG_DeleteObject(varrow, tooLong.c_str()), 4},
        {"list count: 103 characters", SLI_CFG_GetObjectListCount(varrow, longest.c_str(), &n), 4},
        {"list: no count", SLI_CFG_ListObjects(varrow, buf.data(), 4, "/", nullptr), 4},
        {"vpd: no room", FFS_ReadVPD(varrow, VPD_OBJECT_NAME, buf.data(), 0, &n), 4},
        {"vpd: empty name", FFS_ReadVPD(varrow, "", buf.data(), 1024, &n), 4},
        {"download: empty path", FFS_DownloadFirmware(varrow, ""), 4},
        {"download: missing file", FFS_DownloadFirmware(varrow, "/nonexistent/x.grp"), 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, c.code) << c.what;
    EXPECT_TRUE(host.calls("IssueMboxWithRetryV2").empty());
    EXPECT_TRUE(host.calls("IssueMboxWithRetry").empty());
}

} // namespace
