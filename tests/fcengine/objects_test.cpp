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

std::vector<json> object_commands(const FcHost &host, int opcode)
{
    std::vector<json> out;
    for (const json &e : host.calls("IssueMboxWithRetryV2"))
        if (e.value("mbox", -1) == 0x9B && e.value("opcode", -1) == opcode)
            out.push_back(e);
    return out;
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

TEST(Objects, WrittenInWholeRequestsAndReadBack)
{
    FcHost host(two_hbas());
    int varrow = host.board(0x20);
    std::vector<uint8_t> data(1028);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 13 + 1);
    host.clear_log();
    uint32_t written = 0;
    ASSERT_EQ(0, SLI_CFG_WriteObject(varrow, "/test/obj", data.data(), 1028, &written, 1));
    EXPECT_EQ(1028u, written);
    std::vector<json> writes = object_commands(host, OPCODE_COMMON_WRITE_OBJECT);
    ASSERT_EQ(2u, writes.size());

    uint32_t size = 0;
    ASSERT_EQ(0, SLI_CFG_GetObjectSize(varrow, "/test/obj", &size));
    EXPECT_EQ(1028u, size);
    std::vector<uint8_t> back(1032, 0xEE);
    uint32_t got = 0;
    host.clear_log();
    ASSERT_EQ(0, SLI_CFG_ReadObject(varrow, "/test/obj", back.data(), 1032, &got));
    EXPECT_EQ(1028u, got);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), back.begin()));
    EXPECT_EQ(0xEE, back[1028]);
    // The size query, then 1024 bytes and the 4 behind them.
    EXPECT_EQ(3u, object_commands(host, OPCODE_COMMON_READ_OBJECT).size());

    // Room for less than the object: its size, nothing read.
    got = 0;
    EXPECT_EQ(7, SLI_CFG_ReadObject(varrow, "/test/obj", back.data(), 1024, &got));
    EXPECT_EQ(1028u, got);
    got = 0;
    EXPECT_EQ(7, SLI_CFG_ReadObject(varrow, "/test/obj", nullptr, 0, &got));
    EXPECT_EQ(1028u, got);
    EXPECT_EQ(4, SLI_CFG_ReadObject(varrow, "/test/obj", back.data(), 1030, &got));

    // A reply that brings nothing before the end fails instead of looping.
    host.plan({{"match", {{"board", varrow}, {"mbox", 0x9B}, {"opcode", OPCODE_COMMON_READ_OBJECT}}},
               {"kind", "kpl-short"},
               {"length", 0},
               {"from", 2}});
    EXPECT_EQ(1, SLI_CFG_ReadObject(varrow, "/test/obj", back.data(), 1032, &got));

    // Deleted, it is no longer there.
    host.clear_faults();
    ASSERT_EQ(0, SLI_CFG_DeleteObject(varrow, "/test/obj"));
    EXPECT_EQ(3, SLI_CFG_GetObjectSize(varrow, "/test/obj", &size)) << "no such object";
    EXPECT_EQ(0u, size);
}

TEST(Objects, WriteRefusalsOfTheAdapter)
{
    FcHost host(two_hbas());
    int varrow = host.board(0x20);
    std::vector<uint8_t> data(2048, 0x42);
    struct Case {
        const char *what;
        int status, additional;
        int from; // the request that fails
        int code;
        uint32_t written;
    } cases[] = {
        {"invalid signature", 0x17, 0x56, 2, 203, 1024},
        {"missing signature", 0x17, 0x57, 1, 209, 0},
        {"no such object", 1, 0xA0, 1, 3, 0},
        {"other", 2, 0x10, 2, 1, 1024},
    };
    for (const Case &c : cases) {
        host.clear_faults();
        host.plan({{"match", {{"board", varrow}, {"mbox", 0x9B}, {"opcode", OPCODE_COMMON_WRITE_OBJECT}}},
                   {"kind", "kpl"},
                   {"status", c.status},
                   {"additional_status", c.additional},
                   {"from", c.from}});
        uint32_t written = 77;
        EXPECT_EQ(c.code, SLI_CFG_WriteObject(varrow, "/w", data.data(), 2048, &written, 1)) << c.what;
        EXPECT_EQ(c.written, written) << c.what;
    }
    // An adapter that takes nothing before the end fails the write instead
    // of being sent the same bytes again and again.
    host.clear_faults();
    host.plan({{"match", {{"board", varrow}, {"mbox", 0x9B}, {"opcode", OPCODE_COMMON_WRITE_OBJECT}}},
               {"kind", "kpl-short"},
               {"length", 0},
               {"when", "always"}});
    uint32_t written = 77;
    EXPECT_EQ(1, SLI_CFG_WriteObject(varrow, "/w", data.data(), 2048, &written, 1));
    EXPECT_EQ(0u, written);
}

TEST(Objects, VpdObjectWithoutItsHeadAndTail)
{
    FcHost host(two_hbas());
    int varrow = host.board(0x20);
    struct Case {
        const char *what;
        size_t objectSize;
        uint32_t room;
        int code;
        uint32_t len;
    } cases[] = {
        {"a VPD body", 144 + 40, 1024, 0, 40},
        {"head and tail only", 144, 1024, 0, 0},
        {"too short for head and tail", 140, 1024, 1, 99},
        {"room too small", 144 + 40, 39, 7, 99},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> object(c.objectSize, 0xCC);
        for (size_t i = 140; i + 4 < object.size(); ++i)
            object[i] = static_cast<uint8_t>(i);
        uint32_t written = 0;
        SLI_CFG_DeleteObject(varrow, VPD_OBJECT_NAME);
        ASSERT_EQ(0, SLI_CFG_WriteObject(varrow, VPD_OBJECT_NAME, object.data(),
                                         static_cast<uint32_t>(object.size()), &written, 1))
            << c.what;
        std::vector<uint8_t> dst(1024, 0xEE);
        uint32_t len = 99;
        EXPECT_EQ(c.code, FFS_ReadVPD(varrow, VPD_OBJECT_NAME, dst.data(), c.room, &len)) << c.what;
        EXPECT_EQ(c.len, len) << c.what;
        if (c.code == 0 && c.len > 0) {
            EXPECT_EQ(140, dst[0]) << c.what;
            EXPECT_EQ(static_cast<uint8_t>(140 + c.len - 1), dst[c.len - 1]) << c.what;
            EXPECT_EQ(0xEE, dst[c.len]) << c.what;
        }
    }
}

TEST(Objects, ListedOneEntryAtATime)
{
    FcHost host(two_hbas());
    int varrow = host.board(0x20);
    std::vector<uint8_t> data(8, 1);
    uint32_t written = 0;
    for (const char *name : {"/dir/a", "/dir/b", "/dir/c"})
        ASSERT_EQ(0, SLI_CFG_WriteObject(varrow, name, data.data(), 8, &written, 1)) << name;
    uint32_t count = 0;
    ASSERT_EQ(0, SLI_CFG_GetObjectListCount(varrow, "/dir", &count));
    ASSERT_EQ(3u, count);

    std::vector<uint8_t> entries(4 * OBJECT_LIST_ENTRY_SIZE, 0xEE);
    count = 0;
    EXPECT_EQ(7, SLI_CFG_ListObjects(varrow, entries.data(), 2, "/dir", &count));
    EXPECT_EQ(3u, count);
    EXPECT_EQ(0xEE, entries[0]) << "nothing copied into too little room";

    host.clear_log();
    ASSERT_EQ(0, SLI_CFG_ListObjects(varrow, entries.data(), 4, "/dir", &count));
    EXPECT_EQ(3u, count);
    // The count query, then one request per entry.
    EXPECT_EQ(4u, object_commands(host, OPCODE_COMMON_READ_OBJECT_LIST).size());
    EXPECT_EQ(0xEE, entries[3 * OBJECT_LIST_ENTRY_SIZE]);

    // A reply without an entry before the list is complete fails.
    host.plan({{"match", {{"board", varrow}, {"mbox", 0x9B}, {"opcode", OPCODE_COMMON_READ_OBJECT_LIST}}},
               {"kind", "kpl-short"},
               {"length", 0},
               {"from", 2}});
    EXPECT_EQ(1, SLI_CFG_ListObjects(varrow, entries.data(), 4, "/dir", &count));
}

} // namespace
