// Vital product data on a small simulated host: the record and the printed
// lines (the last one stays in szTempBuffer), the raw read by kind of
// function with the commands it sends, the region-14 stream parse, the
// program-type rules and the keyword writer.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "adapters/adapter_table.h"
#include "adapters/converged_discovery.h"
#include "fc_fixture.h"
#include "support/sim_host.h"
#include "flash/engine_log.h"
#include "hba/vpd.h"

namespace {

using fctest::json;
using Bytes = std::vector<uint8_t>;

struct Kw {
    std::string key, value;
};

// A PCI VPD image: identifier string, VPD-R with the keywords and RV (its
// checksum making the sum zero), end tag.
Bytes vpd_image(const std::string &name, const std::vector<Kw> &keywords)
{
    Bytes v = {0x82, static_cast<uint8_t>(name.size()), static_cast<uint8_t>(name.size() >> 8)};
    v.insert(v.end(), name.begin(), name.end());
    Bytes ro;
    for (const Kw &k : keywords) {
        ro.push_back(static_cast<uint8_t>(k.key[0]));
        ro.push_back(static_cast<uint8_t>(k.key[1]));
        ro.push_back(static_cast<uint8_t>(k.value.size()));
        ro.insert(ro.end(), k.value.begin(), k.value.end());
    }
    const size_t roLength = ro.size() + 4;
    v.push_back(0x90);
    v.push_back(static_cast<uint8_t>(roLength));
    v.push_back(static_cast<uint8_t>(roLength >> 8));
    v.insert(v.end(), ro.begin(), ro.end());
    v.push_back('R');
    v.push_back('V');
    v.push_back(1);
    uint8_t sum = 0;
    for (uint8_t b : v)
        sum = static_cast<uint8_t>(sum + b);
    v.push_back(static_cast<uint8_t>(0x100 - sum));
    v.push_back(0x78);
    return v;
}

Bytes word_reversed(Bytes v)
{
    v.resize((v.size() + 3) / 4 * 4, 0);
    for (size_t i = 0; i < v.size(); i += 4) {
        std::swap(v[i], v[i + 3]);
        std::swap(v[i + 1], v[i + 2]);
    }
    return v;
}

std::string hex(const Bytes &b)
{
    static const char d[] = "0123456789ABCDEF";
    std::string s;
    for (uint8_t c : b) {
        s += d[c >> 4];
        s += d[c & 15];
    }
    return s;
}

// An SLI-3 HBA whose region 14 holds `region`.
json hba_with_vpd(const std::string &name, unsigned bus, const Bytes &region)
{
    json a = fctest::sli3_hba(name, bus);
    a["functions"][0]["fc"] = {{"regions", {{"14", {{"data", hex(region)}, {"recreate", false}}}}}};
    return a;
}

const std::vector<Kw> kFull = {{"PN", "LPE-1"},      {"SN", "SN0042"}, {"V1", "Sim 16Gb FC HBA"},
                               {"V2", "LPE1600"},    {"V3", "T3:0X12,0X34"}, {"V4", "V4TEXT"}};

TEST(Vpd, PrintFillsTheRecordAndPrintsEachEntry)
{
    const std::string sn40(40, 'S');
    struct Case {
        const char *what;
        Bytes region;
        int result;
        const char *sn, *v1, *v2, *v3, *v4;
        std::string lastLine; // with printing on
    } cases[] = {
        {"full", vpd_image("Sim HBA", kFull), 0, "SN0042", "Sim 16Gb FC HBA", "LPE1600", "T3:0X12,0X34", "V4TEXT",
         "V4                    : V4TEXT"},
        {"labelled keyword", vpd_image("Sim HBA", {{"PN", "LPE-1"}}), 0, "", "", "", "", "",
         "PN (Part Number)      : LPE-1"},
        {"identifier only", vpd_image("Sim HBA", {}), 0, "", "", "", "", "", "Product Name          : Sim HBA"},
        {"keyword without label", vpd_image("X", {{"V9", "nine"}}), 0, "", "", "", "", "",
         "V9                    : nine"},
        {"long serial cut", vpd_image("X", {{"SN", sn40}}), 0, "SSSSSSSSSSSSSSSSSSSSSSSSSSSSSSS", "", "", "", "",
         "SN (Serial Number)    : " + sn40},
        {"empty value ends the walk", vpd_image("X", {{"SN", "A1"}, {"V1", ""}, {"V2", "M"}}), 0, "A1", "", "", "",
         "", "SN (Serial Number)    : A1"},
        {"word-reversed image", word_reversed(vpd_image("Rev", {{"SN", "REV7"}, {"V2", "M2"}})), 0, "REV7", "", "M2",
         "", "", "V2                    : M2"},
        {"no identifier", Bytes(64, 0), 15, "", "", "", "", "",
         "Attempt to read VPD information fails. Adapter #1 - RM_STATUS = 250"},
        {"identifier past the read", Bytes{0x82, 0x00, 0x04, 'A'}, 15, "", "", "", "", "",
         "Attempt to read VPD information fails. Adapter #1 - RM_STATUS = 250"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        fctest::FcHost host(fctest::machine({hba_with_vpd("a", 0x10, c.region)}));
        ASSERT_TRUE(host.built());
        const int b = host.board(0x10);
        for (int print : {0, 1}) {
            VPD_RECORD r;
            std::memset(&r, 0x5A, sizeof r);
            std::strcpy(szTempBuffer, "unchanged");
            EXPECT_EQ(c.result, CLU_PrintVPD(b, &r, print));
            EXPECT_EQ(c.result == 0 ? 1u : 0u, r.valid);
            EXPECT_STREQ(c.sn, r.SN);
            EXPECT_STREQ(c.v1, r.V1);
            EXPECT_STREQ(c.v2, r.V2);
            EXPECT_STREQ(c.v3, r.V3);
            EXPECT_STREQ(c.v4, r.V4);
            if (print || c.result != 0)
                EXPECT_EQ(c.lastLine, szTempBuffer);
            else
                EXPECT_STREQ("unchanged", szTempBuffer);
        }
    }
}

TEST(Vpd, PrintedLinesAreCutToTheSharedBuffer)
{
    const std::string v1(255, 'd');
    fctest::FcHost host(fctest::machine({hba_with_vpd("a", 0x10, vpd_image("X", {{"V1", v1}}))}));
    ASSERT_TRUE(host.built());
    VPD_RECORD r;
    ASSERT_EQ(0, CLU_PrintVPD(host.board(0x10), &r, 1));
    EXPECT_EQ(v1, r.V1);
    EXPECT_EQ(255u, std::strlen(szTempBuffer));
    EXPECT_EQ(("V1                    : " + v1).substr(0, 255), szTempBuffer);
}

// A plain FC function: the temperature first, then region 14 in one dump of
// 1000 bytes; no temperature ends the read with 231.
TEST(Vpd, PlainFcReadsRegion14InOneDump)
{
    json hot = hba_with_vpd("a", 0x10, vpd_image("X", kFull));
    json cold = hba_with_vpd("b", 0x20, vpd_image("X", kFull));
    cold["temperature"] = nullptr;
    fctest::FcHost host(fctest::machine({hot, cold}));
    ASSERT_TRUE(host.built());
    struct Case {
        unsigned bus;
        int getResult, printResult;
        uint32_t size;
        size_t dumps;
    } cases[] = {{0x10, 0, 0, 1024, 1}, {0x20, 231, 15, 0, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bus);
        const int b = host.board(c.bus);
        // A family that the temperature is asked of.
        gAdapters[b].jedecId = 0x1004;
        gAdapters[b].deviceId = 0xF100;
        host.clear_log();
        Bytes buf(1024, 0xEE);
        uint32_t size = 1024;
        EXPECT_EQ(c.getResult, CLU_GetVPD(b, buf.data(), &size));
        EXPECT_EQ(c.size, size);
        auto dumps = host.calls("IssueMboxWithRetryEx");
        ASSERT_EQ(c.dumps, dumps.size());
        if (c.dumps) {
            EXPECT_EQ(14, dumps[0].value("region", 0));
            EXPECT_EQ(250, dumps[0]["args"][2].get<int>()) << dumps[0].dump();
            // The entry list: identifier first, then the keywords up to RV.
            EXPECT_EQ(0x82, buf[0]);
            EXPECT_EQ(0x82, buf[1]);
            EXPECT_EQ(1, buf[2]);
            EXPECT_EQ('X', buf[3]);
            EXPECT_EQ(0, std::memcmp(&buf[4], "PN\x05LPE-1", 8));
        }
        VPD_RECORD r;
        EXPECT_EQ(c.printResult, CLU_PrintVPD(b, &r, 0));
        if (c.getResult) {
            EXPECT_EQ("Attempt to read VPD information fails. Adapter #" + std::to_string(b + 1) +
                          " - RM_STATUS = " + std::to_string(c.getResult),
                      szTempBuffer);
        }
    }
    // The caller's room short of the VPD.
    Bytes small(512, 0);
    uint32_t size = 512;
    EXPECT_EQ(7, CLU_GetVPD(host.board(0x10), small.data(), &size));
    EXPECT_EQ(1024u, size);
}

// A Varrow FC function: the object "/vpd/fc_pf.vpd" without its head and
// tail; no temperature query and no region dump.
TEST(Vpd, VarrowFcReadsTheVpdObject)
{
    json varrow = fctest::varrow_fc_hba("v", 0x40);
    varrow["functions"][0]["fc"] = {
        {"vpd", {{"identifier", "Varrow FC"}, {"keywords", json::array({{"SN", "VRW0001"}, {"V2", "LPe35000"}})}}}};
    fctest::FcHost host(fctest::machine({varrow}));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x40);
    host.clear_log();
    VPD_RECORD r;
    ASSERT_EQ(0, CLU_PrintVPD(b, &r, 1));
    EXPECT_STREQ("VRW0001", r.SN);
    EXPECT_STREQ("LPe35000", r.V2);
    EXPECT_STREQ("V2                    : LPe35000", szTempBuffer);
    bool readObject = false;
    for (const json &e : host.log()) {
        EXPECT_NE(0x17, e.value("mbox", 0)) << "no dump: " << e.dump();
        readObject = readObject || e.value("mbox", 0) == 0x9B;
    }
    EXPECT_TRUE(readObject);

    // The object read failing is the read's status.
    host.plan({{"match", {{"board", b}, {"mbox", 0x9B}}}, {"kind", "kpl"}, {"result", 2}, {"when", "always"}});
    Bytes buf(1024);
    uint32_t size = 1024;
    EXPECT_NE(0, CLU_GetVPD(b, buf.data(), &size));
    EXPECT_EQ(0u, size);
    EXPECT_EQ(15, CLU_PrintVPD(b, &r, 0));
}

// Converged functions: FCoE through the library's region dump, NIC and
// iSCSI through the client layer by the function's MAC address.
TEST(Vpd, ConvergedFunctionsByKind)
{
    json fcoe = fctest::fc_hba("fcoe", 0x30, 1, 0x0714, "SLI4");
    fcoe["functions"][0]["kind"] = "fcoe";
    fcoe["functions"][0]["fc"] = {
        {"regions", {{"14", {{"data", hex(vpd_image("FCoE", {{"SN", "FCOE9"}}))}, {"recreate", false}}}}}};
    json m = json::parse(fctest::machine({fcoe}));
    json def = json::parse(hlvdtest::read_file(std::string(HLVD_SOURCE_DIR) + "/sim/machines/default.json"));
    for (const json &a : def["adapters"])
        if (a.value("name", "") == "aw3")
            m["adapters"].push_back(a);
    fctest::FcHost host(m.dump());
    ASSERT_TRUE(host.built());
    ASSERT_EQ(1, gVEXO);

    int fcoeBoard = host.board(0x30), nic = -1, iscsi = -1;
    for (uint32_t i = 0; i < gTotalHBAs; ++i) {
        if (nic < 0 && isAWNICDevId(static_cast<int32_t>(i)))
            nic = static_cast<int>(i);
        if (iscsi < 0 && isAWiSCSIDevId(static_cast<int32_t>(i)))
            iscsi = static_cast<int>(i);
    }
    ASSERT_TRUE(isAWFCoEDevId(fcoeBoard));
    ASSERT_GE(nic, 0);
    ASSERT_GE(iscsi, 0);

    host.clear_log();
    VPD_RECORD r;
    ASSERT_EQ(0, CLU_PrintVPD(fcoeBoard, &r, 0));
    EXPECT_STREQ("FCOE9", r.SN);
    EXPECT_EQ(1u, host.calls("IssueDumpMBox").size());

    for (int b : {nic, iscsi}) {
        SCOPED_TRACE(b);
        ASSERT_EQ(0, CLU_PrintVPD(b, &r, 0));
        EXPECT_STREQ("AW3SIM00001", r.SN);
    }

    // A function whose MAC matches no record of its controller reads nothing.
    uint8_t mac[6];
    std::memcpy(mac, gAdapters[nic].macAddress, sizeof mac);
    std::memset(gAdapters[nic].macAddress, 0xFE, sizeof mac);
    Bytes buf(1024);
    uint32_t size = 1024;
    EXPECT_EQ(1, CLU_GetVPD(nic, buf.data(), &size));
    EXPECT_EQ(141, CLU_PrintVPD(nic, &r, 0));
    EXPECT_EQ(0u, r.valid);
    std::memcpy(gAdapters[nic].macAddress, mac, sizeof mac);

    // Without the management library open.
    gVEXO = 0;
    size = 1024;
    EXPECT_EQ(72, CLU_GetVPD(nic, buf.data(), &size));
    EXPECT_EQ(72, CLU_iSCSI_GetVPD(iscsi, buf.data(), &size));
    gVEXO = 1;

    // The FCoE dump failing.
    host.plan({{"match", {{"call", "IssueDumpMBox"}}}, {"kind", "kpl"}, {"result", 2}});
    size = 1024;
    EXPECT_EQ(1, CLU_GetVPD(fcoeBoard, buf.data(), &size));
    EXPECT_EQ(0u, size);
}

TEST(Vpd, ConvertRefusesWhatIsNotVpd)
{
    struct Case {
        const char *what;
        Bytes raw;
        uint32_t length;
        int result;
    } cases[] = {
        {"too long", vpd_image("X", {}), 1025, 21},
        {"first byte 0", Bytes(16, 0), 16, 250},
        {"unexpected tag", Bytes{0x82, 1, 0, 'X', 0x91, 0, 0}, 7, 250},
        {"keyword past the length", Bytes{0x82, 1, 0, 'X', 0x90, 9, 0, 'S', 'N', 9, 'A'}, 11, 250},
        {"identifier cut", Bytes{0x82, 9, 0, 'X'}, 4, 250},
        {"ends at its length", Bytes{0x82, 1, 0, 'X', 0x90, 6, 0, 'S', 'N', 1, 'A'}, 11, 0},
    };
    for (Case &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes buf = c.raw;
        buf.resize(c.length, 0);
        EXPECT_EQ(c.result, CLU_ConvertVPD(buf.data(), c.length));
    }
}

TEST(Vpd, EntryWalkStaysInsideItsBuffer)
{
    // A list that fills its buffer to the last byte: no terminator behind it.
    const Bytes list = {'S', 'N', 2, 'A', 'B', 'V', '1', 3, 'x', 'y', 'z'};
    char key[4], value[256];
    const uint8_t *end = list.data() + list.size();
    const uint8_t *c = CLU_GetNextVpdEntry(list.data(), end, key, sizeof key, value, sizeof value);
    ASSERT_NE(nullptr, c);
    EXPECT_STREQ("SN", key);
    EXPECT_STREQ("AB", value);
    c = CLU_GetNextVpdEntry(c, end, key, sizeof key, value, sizeof value);
    ASSERT_EQ(end, c);
    EXPECT_STREQ("xyz", value);
    EXPECT_EQ(nullptr, CLU_GetNextVpdEntry(c, end, key, sizeof key, value, sizeof value));
    // An entry whose value runs past the end, and rooms too small.
    EXPECT_EQ(nullptr, CLU_GetNextVpdEntry(list.data(), list.data() + 4, key, sizeof key, value, sizeof value));
    EXPECT_EQ(nullptr, CLU_GetNextVpdEntry(list.data(), end, key, 3, value, sizeof value));
    EXPECT_EQ(nullptr, CLU_GetNextVpdEntry(list.data(), end, key, sizeof key, value, 255));
}

// readVPD reads region 14 in 104-byte pieces, never past 1024 bytes.
TEST(Vpd, StreamParseAcrossPieces)
{
    const std::string v3 = "T3:0X12,0X34,T4:0X56,0X78";
    // The identifier pushes V3 across the first piece's end.
    const std::string name(80, 'N');
    Bytes crossing = vpd_image(name, {{"PN", "P"}, {"V3", v3}, {"SN", "S1"}});
    // An identifier string of 1100 bytes hides the VPD-R behind the 1024th byte.
    Bytes hidden = vpd_image(std::string(1100, 'h'), {{"SN", "NO"}});
    Bytes single = vpd_image("R", {{"V4", "four"}});
    struct Case {
        const char *what;
        Bytes region;
        uint32_t valid;
        const char *sn, *v3, *v4;
    } cases[] = {
        {"value across pieces", crossing, 1, "S1", "T3:0X12,0X34,T4:0X56,0X78", ""},
        {"full", vpd_image("Sim", kFull), 1, "SN0042", "T3:0X12,0X34", "V4TEXT"},
        {"past 1024 bytes", hidden, 0, "", "", ""},
        {"no VPD", Bytes(300, 0), 0, "", "", ""},
        {"empty region", Bytes(), 0, "", "", ""},
        {"one keyword", single, 1, "", "", "four"},
    };
    unsigned bus = 0x10;
    std::vector<json> adapters;
    for (const Case &c : cases) {
        adapters.push_back(hba_with_vpd("h" + std::to_string(bus), bus, c.region));
        ++bus;
    }
    fctest::FcHost host(fctest::machine(adapters));
    ASSERT_TRUE(host.built());
    bus = 0x10;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const int b = host.board(bus++);
        host.clear_log();
        VPD_RECORD r;
        std::memset(&r, 0x5A, sizeof r);
        readVPD(b, &r);
        EXPECT_EQ(c.valid, r.valid);
        EXPECT_STREQ(c.sn, r.SN);
        EXPECT_STREQ(c.v3, r.V3);
        EXPECT_STREQ(c.v4, r.V4);
        for (const json &e : host.calls("IssueMboxWithRetry")) {
            EXPECT_LT(e.value("offset", 0), 1024) << e.dump();
            EXPECT_LE(e.value("bytes", 0), 104) << e.dump();
        }
    }
    // A failed read leaves the record zero.
    const int b = host.board(0x11);
    host.plan({{"match", {{"board", b}, {"mbox", 0x17}}}, {"kind", "kpl"}, {"mbox_status", 0x10}});
    VPD_RECORD r;
    std::memset(&r, 0x5A, sizeof r);
    readVPD(b, &r);
    EXPECT_EQ(0u, r.valid);
    EXPECT_STREQ("", r.SN);
}

TEST(Vpd, ProgramTypeRules)
{
    struct Case {
        const char *rules;
        uint8_t type, id;
        int result;
    } cases[] = {
        {"T3:0X12,0X34", 3, 0x12, 0}, {"T3:0X12,0X34", 3, 0x34, 0}, {"T3:0X12,0X34", 3, 0x56, 1},
        {"T3:0X12,0X34", 4, 0x12, 1}, {"", 3, 0x12, 1},             {"T3:12,T3:34,", 3, 0x34, 1},
        {"T3:12,T3:34,", 3, 0x12, 0}, {"xxT4:1,T3:0X7,8", 3, 0x08, 0}, {"T3:112", 3, 0x12, 0},
        {"T1A:ff", 0x1A, 0xFF, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.result, checkVPDProgType(c.rules, c.type, c.id)) << c.rules << " " << int(c.type) << " "
                                                                      << int(c.id);
    // Only the first 256 characters are read.
    std::string longText(256, ',');
    EXPECT_EQ(1, checkVPDProgType((longText + "T3:1").c_str(), 3, 1));
    EXPECT_EQ(1, checkVPDProgType(nullptr, 3, 1));
}

// Sum of the bytes from the start through RV's checksum byte.
uint8_t sum_through_rv(const uint8_t *image)
{
    uint8_t *rv = FindVpdTag(const_cast<uint8_t *>(image), "RV");
    if (!rv)
        return 0xFF;
    return ComputeAddingChecksum(image, static_cast<uint32_t>(rv - image) + 4);
}

TEST(Vpd, WriterInsertsAndRemovesFields)
{
    Bytes image = vpd_image("Sim", {{"PN", "P1"}, {"SN", "OLD"}});
    image.resize(1024, 0);
    ASSERT_EQ(0, RemoveVxVpdField(image.data(), "SN"));
    EXPECT_EQ(nullptr, FindVpdTag(image.data(), "SN"));
    EXPECT_EQ(0, sum_through_rv(image.data()));
    ASSERT_EQ(0, InsertVxVpdField(image.data(), "SN", reinterpret_cast<const uint8_t *>("NEW1"), 4));
    EXPECT_EQ(0, sum_through_rv(image.data()));
    // The end tag on the last byte of the checksum byte's 128-byte block.
    EXPECT_EQ(0x78, image[127]);
    Bytes list = image;
    ASSERT_EQ(0, CLU_ConvertVPD(list.data(), 1024));
    EXPECT_EQ(0, std::memcmp(list.data() + 6, "PN\x02P1SN\x04NEW1", 11));

    struct Case {
        const char *what;
        uint32_t rvAt; // where RV sits, moved by a long identifier
        uint32_t length;
        int result;
        uint32_t endTag;
    } cases[] = {
        {"fits the last block", 900, 64, 0, 1023},
        // The checksum byte at 127 keeps its place; the end tag goes a block on.
        {"checksum on a block's last byte", 100, 21, 0, 255},
        {"end tag would land past 1024", 1000, 30, 250, 0},
        {"value above 64", 20, 65, 4, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes img = vpd_image(std::string(c.rvAt - 6, 'n'), {});
        img.resize(1024, 0);
        const Bytes before = img;
        const Bytes value(c.length, 'v');
        EXPECT_EQ(c.result, InsertVxVpdField(img.data(), "V5", value.data(), c.length));
        if (c.result != 0) {
            EXPECT_TRUE(img == before) << "a refused field leaves the image as it was";
            continue;
        }
        EXPECT_EQ(0, sum_through_rv(img.data()));
        EXPECT_EQ(0x78, img[c.endTag]);
        EXPECT_NE(nullptr, FindVpdTag(img.data(), "V5"));
    }
    EXPECT_EQ(178, RemoveVxVpdField(image.data(), "V7"));
    EXPECT_EQ(4, RemoveVxVpdField(image.data(), nullptr));
    Bytes noRo = {0x82, 1, 0, 'X', 0x78};
    noRo.resize(1024, 0);
    EXPECT_EQ(178, InsertVxVpdField(noRo.data(), "V5", reinterpret_cast<const uint8_t *>("v"), 1));
    Bytes notVpd(1024, 0);
    EXPECT_EQ(250, InsertVxVpdField(notVpd.data(), "V5", reinterpret_cast<const uint8_t *>("v"), 1));
}

TEST(Vpd, AppendWritesRegion14AndKeepsItWhenTheWriteFails)
{
    fctest::FcHost host(fctest::machine({hba_with_vpd("a", 0x10, vpd_image("Sim", {{"SN", "OLD1"}, {"V2", "M"}}))}));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    gAdapters[b].maxMailboxBytes = 2048;
    const uint8_t *value = reinterpret_cast<const uint8_t *>("NEW22");
    VPD_RECORD r;

    ASSERT_EQ(0, AppendVxVPDField(b, "SN", value, 5));
    ASSERT_EQ(0, CLU_PrintVPD(b, &r, 0));
    EXPECT_STREQ("NEW22", r.SN);
    EXPECT_STREQ("M", r.V2);

    // The write fails: the region is rebuilt, the VPD as read goes back, and
    // the failure is reported.
    host.plan({{"match", {{"board", b}, {"call", "IssueMboxWithRetryEx"}, {"mbox", 0x1B}}},
               {"kind", "kpl"},
               {"mbox_status", 0xFFF5}});
    host.clear_log();
    EXPECT_NE(0, AppendVxVPDField(b, "SN", reinterpret_cast<const uint8_t *>("LOST"), 4));
    auto loads = host.calls("IssueMboxWithRetry");
    bool rebuilt = false;
    for (const json &e : loads)
        rebuilt = rebuilt || e.value("mbox", 0) == 0x01;
    EXPECT_TRUE(rebuilt) << "the region was rebuilt";
    ASSERT_EQ(0, CLU_PrintVPD(b, &r, 0));
    EXPECT_STREQ("NEW22", r.SN);
    EXPECT_STREQ("M", r.V2);

    // A mailbox of 108 bytes cannot carry the image: nothing is sent.
    gAdapters[b].maxMailboxBytes = 108;
    host.clear_log();
    EXPECT_EQ(2, AppendVxVPDField(b, "SN", value, 5));
    EXPECT_TRUE(host.calls("IssueMboxWithRetryEx").empty());
}

} // namespace
