// Family codes of FC functions and the relative-image checks that use them,
// on boards of an adapter table built as an exported call builds it. A case
// gives an entry the JEDEC id and PCI ids of the adapter it stands for.
#include <gtest/gtest.h>

#include <cstdint>

#include "adapters/adapter_table.h"
#include "fc_fixture.h"
#include "hba/adapter_family.h"
#include "hba/program_ids.inc"

namespace {

const uint32_t UNKNOWN = ADAPTER_FAMILY_UNKNOWN;
const int32_t ADPT = static_cast<int32_t>(0xFFF70001u);
const int32_t VERSION = static_cast<int32_t>(0xFFF70002u);

void give(int board, uint16_t jedec, uint16_t device, uint8_t flags = 0, uint16_t ibm = 0, uint16_t subdevice = 0,
          uint16_t subvendor = 0x10DF)
{
    _Adapter &a = gAdapters[board];
    a.jedecId = jedec;
    a.deviceId = device;
    a.flags = flags;
    a.ibmPSeries = ibm;
    a.subDeviceId = subdevice ? subdevice : device;
    a.subVendorId = subvendor;
}

TEST(FcFamily, CodesFromJedecAndDeviceIds)
{
    fctest::FcHost host(fctest::machine({fctest::sli3_hba("a", 0x10)}));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    struct Case {
        uint16_t jedec, device, subdevice, subvendor;
        uint32_t family;
        int twoMb;
    } cases[] = {
        {0x12, 0xFC01, 0, 0x10DF, 0xF0A1, 1},   {0x12, 0xF0A5, 0, 0x10DF, 0xF0A5, 1},
        {0x12, 0x1234, 0, 0x10DF, 0xFA00, 1},   {0x20, 0xF0A1, 0, 0x10DF, 0xF700, 0},
        {0x21, 0xF085, 0, 0x10DF, 0xF085, 0},   {0x21, 0x1234, 0, 0x10DF, 0xF800, 0},
        {0x25, 0x1234, 0, 0x10DF, 0xF802, 0},   {0x26, 0xF095, 0, 0x10DF, 0xF095, 0},
        {0x28, 0x1234, 0, 0x10DF, 0xF900, 0},   {0x38, 0xF098, 0, 0x10DF, 0xF098, 1},
        {0x364, 0xFD11, 0, 0x10DF, 0xFD11, 1},  {0x364, 0x1234, 0, 0x10DF, 0xFD00, 1},
        {0x510, 0xF0F6, 0, 0x10DF, 0xF0F6, 1},  {0x510, 0xFC30, 0, 0x10DF, 0xFC30, 0},
        {0x510, 0xFE00, 0, 0x10DF, UNKNOWN, 0}, {0x577, 0xFE12, 0, 0x10DF, 0xFE12, 1},
        {0x577, 0x1234, 0, 0x10DF, 0xFE00, 1},  {0x1004, 0xF015, 0, 0x10DF, 0xF015, 1},
        {0x1004, 0xF100, 0xF124, 0x10DF, 0xF10B, 1}, {0x1004, 0xF100, 0x338F, 0x103C, 0x338F, 1},
        {0x1004, 0xF100, 0, 0x10DF, 0xF100, 1}, {0x1004, 0xF180, 0, 0x10DF, 0xF180, 1},
        {0x1004, 0xE131, 0, 0x10DF, 0xE131, 1}, {0x1004, 0xFC40, 0, 0x10DF, 0xFC40, 1},
        {0x1004, 0xE200, 0, 0x10DF, 0xF100, 1}, {0x1ACC, 0x1234, 0, 0x10DF, 0x1AE5, 0},
        {0x4838, 0x1234, 0, 0x10DF, 0xFB00, 1}, {0x0099, 0xF100, 0, 0x10DF, UNKNOWN, 0},
        {0, 0xFE00, 0, 0x10DF, UNKNOWN, 0},
    };
    for (const Case &c : cases) {
        give(b, c.jedec, c.device, 0, 0, c.subdevice, c.subvendor);
        SCOPED_TRACE(testing::Message() << std::hex << "jedec 0x" << c.jedec << " device 0x" << c.device);
        EXPECT_EQ(c.family, AdapterFamily(static_cast<uint8_t>(b)));
        EXPECT_EQ(c.twoMb, IsIt2MFamily(b));
    }
    EXPECT_EQ(UNKNOWN, AdapterFamily(200)) << "a board outside the table";
}

// JEDEC 0x38 tells its two families apart by the first SRAM bus size in
// adapter memory; a failed read counts as single channel.
TEST(FcFamily, SramSizeSplitsJedec38)
{
    struct Case {
        const char *name;
        uint32_t rbus; // 0: the machine's default memory
        bool fail;
        uint32_t family;
    } cases[] = {
        {"default dual-channel size", 0, false, ADAPTER_FAMILY_DUAL_CHANNEL},
        {"single-channel size", 0x3FFFC, false, ADAPTER_FAMILY_SINGLE_CHANNEL},
        {"dump fails", 0, true, ADAPTER_FAMILY_SINGLE_CHANNEL},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fctest::json hba = fctest::sli3_hba("a", 0x10);
        if (c.rbus)
            hba["functions"][0]["fc"] = {{"memory", {{"1928", c.rbus}, {"1932", 0x3FFFC}}}};
        fctest::FcHost host(fctest::machine({hba}));
        ASSERT_TRUE(host.built());
        const int b = host.board(0x10);
        give(b, 0x38, 0xF980);
        host.clear_log();
        if (c.fail)
            host.plan({{"match", {{"board", b}, {"mbox", 0x17}}}, {"kind", "kpl"}, {"mbox_status", 0x5}});
        EXPECT_EQ(c.family, AdapterFamily(static_cast<uint8_t>(b)));
        auto sent = host.calls("IssueMboxWithRetry");
        ASSERT_EQ(1u, sent.size());
        EXPECT_EQ(0x17, sent[0].value("mbox", 0));
        EXPECT_EQ(1, sent[0].value("sub", 0));
    }
}

PRG_HEADER prg(uint8_t type, uint8_t id, uint8_t digitA = 1, uint8_t digitB = 1)
{
    PRG_HEADER h = {};
    h.programId[0] = static_cast<uint32_t>(type) << 24 | static_cast<uint32_t>(id) << 16 |
                     static_cast<uint32_t>(digitA & 0xF) << 12 | static_cast<uint32_t>(digitB & 0xF) << 8;
    return h;
}

typedef DOWNLOAD_STATUS (*Check)(int, PRG_HEADER);

TEST(FcFamily, RelativeChecksPickTheTableOfTheVariant)
{
    fctest::FcHost host(fctest::machine({fctest::sli3_hba("a", 0x10)}));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    const uint8_t DC = ADAPTER_FLAG_DUAL_CHANNEL;
    struct Case {
        const char *name;
        uint16_t jedec, device;
        uint8_t flags;
        uint16_t ibm;
        Check check;
        uint8_t type, id, digitA, digitB;
        int32_t expected;
    } cases[] = {
        // 0xFD00: dual channel and pSeries, dual channel, pSeries, plain.
        {"FD00 DC+IBM own", 0x364, 0x1234, DC, 1, checkFamilyRelativeStub, 2, T2_13[1], 1, 1, 0},
        {"FD00 DC+IBM not DC's", 0x364, 0x1234, DC, 1, checkFamilyRelativeStub, 2, T2_14[1], 1, 1, ADPT},
        {"FD00 DC own", 0x364, 0x1234, DC, 0, checkFamilyRelativeStub, 2, T2_14[1], 1, 1, 0},
        {"FD00 DC not plain's", 0x364, 0x1234, DC, 0, checkFamilyRelativeStub, 2, T2_16[1], 1, 1, ADPT},
        {"FD00 IBM own", 0x364, 0x1234, 0, 1, checkFamilyRelativeStub, 2, T2_15[1], 1, 1, 0},
        {"FD00 plain own", 0x364, 0x1234, 0, 0, checkFamilyRelativeStub, 2, T2_16[1], 1, 1, 0},
        {"FD00 plain not IBM's", 0x364, 0x1234, 0, 0, checkFamilyRelativeStub, 2, T2_15[1], 1, 1, ADPT},
        {"FD00 SLI-2 DC outside both", 0x364, 0x1234, DC, 0, checkFamilyRelativeSLI2, 7, T7_18[1], 1, 1, ADPT},
        {"FD00 SLI-2 DC own", 0x364, 0x1234, DC, 0, checkFamilyRelativeSLI2, 7, T7_16[1], 1, 1, 0},
        {"FD00 SLI-3 IBM own", 0x364, 0x1234, 0, 1, checkFamilyRelativeSLI3and4, 11, TB_10[1], 1, 1, 0},
        // Boot code of 0xF0A1 by device id.
        {"F0A1 boot FC01", 0x12, 0xFC01, 0, 0, checkFamilyRelativePciBootType, 3, T3_9[1], 1, 1, 0},
        {"F0A1 boot F0A1 own", 0x12, 0xF0A1, 0, 0, checkFamilyRelativePciBootType, 3, T3_10[1], 1, 1, 0},
        {"F0A1 boot F0A1 not FC01's", 0x12, 0xF0A1, 0, 0, checkFamilyRelativePciBootType, 3, T3_9[1], 1, 1, ADPT},
        // 0xF100: SLI-3/4 dual channel before pSeries.
        {"F100 SLI-4 DC+IBM", 0x1004, 0xF100, DC, 1, checkFamilyRelativeSLI3and4, 14, TB_18[1], 1, 1, 0},
        {"F100 SLI-4 IBM", 0x1004, 0xF100, 0, 1, checkFamilyRelativeSLI3and4, 14, TB_19[1], 1, 1, 0},
        {"F100 SLI-4 plain not IBM's", 0x1004, 0xF100, 0, 0, checkFamilyRelativeSLI3and4, 14, TB_19[1], 1, 1, ADPT},
        {"F100 SLI-1 any id", 0x1004, 0xF100, 0, 0, checkFamilyRelativeSLI1, 6, 0xFF, 1, 1, 0},
        // 0xF800: SLI-3 refused whatever the id; the version rule first.
        {"F800 SLI-3 own-looking id", 0x21, 0x1234, 0, 0, checkFamilyRelativeSLI3and4, 11, TB_1[1], 1, 1, ADPT},
        {"F800 stub digits 3 and 8", 0x21, 0x1234, 0, 0, checkFamilyRelativeStub, 2, T2_3[1], 3, 8, VERSION},
        {"F800 stub digits 2 and 9", 0x21, 0x1234, 0, 0, checkFamilyRelativeStub, 2, T2_3[1], 2, 9, 0},
        {"F800 stub digits 2 and 9 wrong id", 0x21, 0x1234, 0, 0, checkFamilyRelativeStub, 2, T2_4[1], 2, 9, ADPT},
        {"F802 stub no version rule", 0x25, 0x1234, 0, 0, checkFamilyRelativeStub, 2, T2_3[1], 3, 8, 0},
        // 0xFB00: any stub, no SLI-1.
        {"FB00 stub any", 0x4838, 0x1234, 0, 0, checkFamilyRelativeStub, 2, 0xFF, 1, 1, 0},
        {"FB00 SLI-1 refused", 0x4838, 0x1234, 0, 0, checkFamilyRelativeSLI1, 6, T6_1[1], 1, 1, ADPT},
        // Families outside the matrix take every id.
        {"FC40 any", 0x1004, 0xFC40, 0, 0, checkFamilyRelativeSLI2, 7, 0xFF, 1, 1, 0},
        {"unknown any", 0, 0xFE00, 0, 0, checkFamilyRelativeSLI3and4, 11, 0xFF, 1, 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        give(b, c.jedec, c.device, c.flags, c.ibm);
        EXPECT_EQ(c.expected, static_cast<int32_t>(c.check(b, prg(c.type, c.id, c.digitA, c.digitB))));
    }
}

TEST(FcFamily, CheckIdReadsTheCountByte)
{
    ASSERT_EQ(1, T2_1[0]);
    EXPECT_EQ(0, checkId(T2_1[1], T2_1));
    EXPECT_EQ(0, checkId(0x100 | T2_1[1], T2_1)) << "only the low 8 bits count";
    EXPECT_EQ(1, checkId(static_cast<uint8_t>(T2_1[1] + 1), T2_1));
    // Ids behind the count byte are not looked at.
    const uint8_t two[] = {1, 0x40, 0x41};
    EXPECT_EQ(1, checkId(0x41, two));
}

TEST(FcFamily, JedecSets)
{
    fctest::FcHost host(fctest::machine({fctest::sli3_hba("a", 0x10)}));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    struct Case {
        uint16_t jedec;
        int twoMb, direct;
    } cases[] = {{18, 1, 1}, {56, 1, 0}, {868, 1, 1}, {1296, 1, 1}, {1399, 1, 1}, {4100, 1, 1}, {33, 0, 0}};
    for (const Case &c : cases) {
        give(b, c.jedec, 0x1234);
        EXPECT_EQ(c.twoMb, IsIt2MjedecID(b)) << c.jedec;
        EXPECT_EQ(c.direct, IsItDirectDownloadJedecID(b)) << c.jedec;
    }
    EXPECT_EQ(1, IsItDirectDownloadJedecID1());
}

} // namespace
