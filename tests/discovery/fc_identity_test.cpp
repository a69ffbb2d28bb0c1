// Identification of FC functions: revision display of program id words, the
// VPD reader of the platform check, the identification passes on tables built
// as an exported call builds them, and FC functions in the discovery file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "adapters/adapter_identity.h"
#include "adapters/adapter_table.h"
#include "adapters/revision_display.h"
#include "discovery_fixture.h"
#include "flash/adapter_list.h"
#include "flash/engine_log.h"
#include "flash/ovnflashlib.h"
#include "hba/download_entry.h"
#include "hba/vpd.h"
#include "sim/fault_plan.h"

namespace {

using disctest::DebugLog;
using disctest::fc_adapter;
using disctest::json;
using disctest::machine;
using disctest::TableGuard;

// A one-entry table whose entry has the device id.
void one_entry_table(uint16_t deviceId)
{
    gAdapterCount = gTotalHBAs = 1;
    gAdapters = static_cast<_Adapter *>(std::calloc(1, sizeof(_Adapter)));
    gAdapters[0].deviceId = deviceId;
}

std::string shown(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t index = 0)
{
    const uint8_t word[3] = {b0, b1, b2};
    char text[ENCODED_REV_TEXT_SIZE];
    std::memset(text, '#', sizeof text);
    show_encoded_rev1(index, word, text);
    return text;
}

TEST(RevisionDisplay, TextsOfProgramIdWords)
{
    TableGuard guard;
    one_entry_table(0xF180);
    const struct {
        uint8_t b0, b1, b2;
        uint8_t index; // 0: the Hollin board, 1: no entry
        const char *text;
    } cases[] = {
        {0x14, 0x10, 0x08, 1, "XX1.00A4"},     // group 1 has no code
        {0x00, 0xA5, 0xF8, 1, "XX10.50N0"},    // version 10, revision 5
        {0xC0, 0x10, 0xFF, 1, "XX1.03N0"},     // fix level 3, type N, count 0
        {0x30, 0x10, 0x08, 1, "XX1.00"},       // type X with count 0 ends the text
        {0x37, 0x10, 0x08, 1, "XX1.00X7"},
        {0xEF, 0xFF, 0x08, 1, "XX15.153B15"},  // the longest text: 11 characters
        {0x14, 0x10, 0x08, 0, "HX1.00A4"},     // the Hollin letter even on "XX"
        {0x14, 0x10, 0x01, 0, "HB1.00A4"},     // group 0's letter is the Hollin letter
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.text, shown(c.b0, c.b1, c.b2, c.index)) << c.text;
    // Nothing to show from nothing; a null text is left alone.
    char text[ENCODED_REV_TEXT_SIZE] = "old";
    show_encoded_rev1(1, nullptr, text);
    EXPECT_STREQ("", text);
    show_encoded_rev1(1, reinterpret_cast<const uint8_t *>("\x14\x10\x08"), nullptr);
}

TEST(RevisionDisplay, TypeCodesOfEveryImageId)
{
    // Groups with codes: the kinds that have one, and kind 4's letter.
    const struct {
        unsigned group;
        const char *kinds;
        char kind4;
    } groups[] = {
        {0, "1", 0},          {2, "123456", 'R'},   {3, "1234567", 'L'},  {4, "123456", 'R'},
        {5, "123456", 'L'},   {6, "12356", 0},      {8, "123456", 'R'},   {9, "1234567", 'L'},
        {10, "12356", 0},     {11, "127", 0},       {12, "1234567", 'R'}, {14, "123567", 0},
        {15, "1234567", 'L'}, {16, "123567", 0},    {18, "123567", 0},    {20, "123567", 0},
        {21, "1234567", 'L'}, {22, "123567", 0},    {24, "123567", 0},    {26, "123567", 0},
        {28, "123567", 0},    {30, "123567", 0},
    };
    const char kinds[] = "?BOC?EPU";
    std::set<char> families;
    for (unsigned id = 0; id < 256; ++id) {
        char code[3];
        encodedRevTypeCode(static_cast<uint8_t>(id), code);
        if (id == 0x2F || id == 0x80)
            continue; // below
        unsigned group = id >> 3, kind = id & 7;
        std::string want = "XX";
        for (const auto &g : groups) {
            if (g.group == group && kind && std::strchr(g.kinds, static_cast<char>('0' + kind))) {
                want = std::string(1, code[0]) + (kind == 4 ? g.kind4 : kinds[kind]);
                families.insert(code[0]);
                EXPECT_NE('X', code[0]) << id;
            }
        }
        EXPECT_EQ(want, code) << "image id " << id;
    }
    EXPECT_EQ(22u, families.size()) << "one distinct family letter per group";
    const struct {
        uint8_t id, like;
    } borrowed[] = {{0x2F, 0x1F}, {0x80, 0x49}};
    for (const auto &b : borrowed) {
        char a[3], l[3];
        encodedRevTypeCode(b.id, a);
        encodedRevTypeCode(b.like, l);
        EXPECT_STREQ(l, a) << int(b.id);
    }
}

// Raw VPD: an identifier string resource and a read-only resource.
std::vector<uint8_t> raw_vpd(const std::string &id, const std::vector<std::pair<std::string, std::string>> &kws,
                             bool rv = true)
{
    std::vector<uint8_t> v = {0x82, static_cast<uint8_t>(id.size()), static_cast<uint8_t>(id.size() >> 8)};
    v.insert(v.end(), id.begin(), id.end());
    std::vector<uint8_t> ro;
    for (const auto &k : kws) {
        ro.insert(ro.end(), k.first.begin(), k.first.end());
        ro.push_back(static_cast<uint8_t>(k.second.size()));
        ro.insert(ro.end(), k.second.begin(), k.second.end());
    }
    if (rv)
        ro.insert(ro.end(), {'R', 'V', 1, 0});
    v.push_back(0x90);
    v.push_back(static_cast<uint8_t>(ro.size()));
    v.push_back(static_cast<uint8_t>(ro.size() >> 8));
    v.insert(v.end(), ro.begin(), ro.end());
    v.push_back(0x78);
    return v;
}

// The entries of a converted list as "KEY=value;" texts.
std::string walk(std::vector<uint8_t> &list, size_t end)
{
    std::string out;
    char key[4], value[256];
    for (uint8_t *c = list.data(); (c = GetNextVpdEntry(c, list.data() + end, key, sizeof key, value, sizeof value));)
        out += std::string(key[0] == '\x82' ? "ID" : key) + "=" + value + ";";
    return out;
}

TEST(VpdReader, ConversionAndWalk)
{
    std::string long_id(300, 'i');
    std::vector<uint8_t> cut = raw_vpd("x", {{"SN", "123"}});
    cut[9] = 40; // SN claims more than its section holds
    std::vector<uint8_t> past = raw_vpd("abc", {{"SN", "1"}});
    past[1] = 200; // the identifier runs past the data
    std::vector<uint8_t> zero = raw_vpd("id", {{"V1", std::string("ab\0cd", 5)}, {"V2", "m"}});
    std::vector<uint8_t> no_rv = raw_vpd("id", {{"VG", "x"}}, false);
    std::vector<uint8_t> unknown = {0x82, 1, 0, 'a', 0x91, 0, 0};
    const struct {
        const char *what;
        std::vector<uint8_t> raw;
        int result;
        const char *entries; // after a result 0
    } cases[] = {
        {"plain", raw_vpd("Card", {{"PN", "P1"}, {"SN", "S9"}, {"VG", "x1014"}}), 0, "ID=Card;PN=P1;SN=S9;VG=x1014;"},
        {"no RV: the section ends the walk", no_rv, 0, "ID=id;VG=x;"},
        {"identifier cut to its one-byte length", raw_vpd(long_id, {{"SN", "1"}}), 0, nullptr},
        {"a zero byte ends the list there", zero, 0, "ID=id;V1=ab;"},
        {"not VPD", {0x90, 0, 0}, CONVERT_VPD_NO_IDENTIFIER, nullptr},
        {"identifier past the end", past, CONVERT_VPD_BAD_DATA, nullptr},
        {"keyword past its section", cut, CONVERT_VPD_BAD_DATA, nullptr},
        {"unknown resource", unknown, CONVERT_VPD_BAD_DATA, nullptr},
        {"longer than the work area", std::vector<uint8_t>(1025, 0x82), CONVERT_VPD_BAD_DATA, nullptr},
    };
    for (const auto &c : cases) {
        std::vector<uint8_t> buf = c.raw;
        EXPECT_EQ(c.result, CConvertVPD(buf.data(), static_cast<uint32_t>(buf.size()))) << c.what;
        if (c.result != 0) {
            EXPECT_EQ(c.raw, buf) << c.what << ": the raw data stays";
        } else if (c.entries) {
            EXPECT_EQ(c.entries, walk(buf, buf.size())) << c.what;
        } else {
            EXPECT_EQ("ID=" + long_id.substr(0, 255) + ";SN=1;", walk(buf, buf.size())) << c.what;
        }
    }
    // The walk refuses small buffers and entries that run past the end.
    std::vector<uint8_t> list = {'S', 'N', 3, 'a', 'b', 'c', 'V', '1', 9, 'x'};
    char key[4], value[256];
    EXPECT_EQ(nullptr, GetNextVpdEntry(list.data(), list.data() + list.size(), key, 3, value, sizeof value));
    EXPECT_EQ(nullptr, GetNextVpdEntry(list.data(), list.data() + list.size(), key, sizeof key, value, 255));
    EXPECT_EQ("SN=abc;", walk(list, list.size()));
    EXPECT_EQ("", walk(list, 5));
}

// An SLI-3 function with the given ids and "fc" object.
json fc_function(unsigned bus, unsigned fn, unsigned device_id, const json &fc, unsigned subdevice = 0)
{
    json f = disctest::function("fc", 0, bus, 0, fn, 0x10DF, device_id, 0x10DF, subdevice ? subdevice : device_id);
    f["fc"] = fc;
    return f;
}

json fc_hba(const std::string &name, const std::string &generation, const std::vector<json> &functions)
{
    json a = fc_adapter(name, 0, 0);
    a["generation"] = generation;
    a["functions"] = functions;
    return a;
}

json vpd_of(const std::vector<std::pair<std::string, std::string>> &kws)
{
    json k = json::array();
    for (const auto &kw : kws)
        k.push_back({kw.first, kw.second});
    return {{"identifier", "Simulated FC HBA"}, {"keywords", k}};
}

TEST(FcIdentity, EntriesOfATableBuiltAsACallBuildsIt)
{
    json memory_single = {{"1928", 0x3FFFC}};
    std::vector<json> adapters = {
        // 0, 1: a dual-channel HBA whose VPD names its model.
        fc_hba("dual", "SLI3",
               {fc_function(0x10, 0, 0xFE00, {{"jedec", "0x0577"},
                                              {"vpd", vpd_of({{"SN", "ab12"}, {"V1", "Dual FC card"},
                                                              {"V2", "FCD-2"}, {"V4", "12 GB"},
                                                              {"VG", "PLAT-1014"}})}}),
                fc_function(0x10, 1, 0xFE00, {{"jedec", "0x0577"},
                                              {"vpd", vpd_of({{"SN", "ab12"}, {"V2", "FCD-2"}, {"V4", "word"},
                                                              {"VG", "1014-PLAT"}})}})}),
        // 2, 3: JEDEC 0x0012, a dual-channel device id and an unknown one.
        fc_hba("j12", "SLI3", {fc_function(0x11, 0, 0xFA00, {{"jedec", "0x0012"}}),
                               fc_function(0x11, 1, 0xFA00, {{"jedec", "0x0012"}})}),
        fc_hba("j12x", "SLI3", {fc_function(0x12, 0, 0xF0B0, {{"jedec", "0x0012"}})}),
        // 5, 6: JEDEC 0x0038, dual or single channel by the SRAM size.
        fc_hba("j38d", "SLI3", {fc_function(0x13, 0, 0xF980, {{"jedec", "0x0038"}})}),
        fc_hba("j38s", "SLI3", {fc_function(0x14, 0, 0xF980, {{"jedec", "0x0038"}, {"memory", memory_single}})}),
        // 7, 8: JEDEC 0x0510, a known and an unknown device id.
        fc_hba("j510", "SLI3", {fc_function(0x15, 0, 0xF0F6, {{"jedec", "0x0510"}})}),
        fc_hba("j510x", "SLI3", {fc_function(0x16, 0, 0xF0F8, {{"jedec", "0x0510"}})}),
        // 9: JEDEC 0x1004 (Oskara), no model in its VPD.
        fc_hba("osk", "SLI4", {fc_function(0x17, 0, 0xF400, {{"jedec", "0x1004"}})}),
        // 10: a gen-6 Varrow FC function.
        fc_hba("g6", "SLI4", {fc_function(0x18, 0, 0xE300, {{"jedec", "0x1004"}}, 0xE301)}),
    };
    hlvdtest::SimHost host(machine(adapters));
    TableGuard guard;
    DebugLog log(host);
    ASSERT_EQ(0, CreateAdapterList());
    ASSERT_EQ(11u, gAdapterCount);

    // JEDEC ids from READ_REV.
    const uint16_t jedec[] = {0x0577, 0x0577, 0x0012, 0x0012, 0x0012, 0x0038, 0x0038,
                              0x0510, 0x0510, 0x1004, 0x1004};
    for (uint32_t i = 0; i < 11; ++i)
        EXPECT_EQ(jedec[i], gAdapters[i].jedecId) << i;

    // VPD texts of the first HBA.
    const _Adapter &a0 = gAdapters[0];
    EXPECT_STREQ("FCD-2", a0.modelName);
    EXPECT_EQ(ADAPTER_FLAG_VPD_MODEL | ADAPTER_FLAG_MODEL_FROM_VPD,
              a0.flags & (ADAPTER_FLAG_VPD_MODEL | ADAPTER_FLAG_MODEL_FROM_VPD));
    EXPECT_STREQ("AB12", a0.serialNumber);
    EXPECT_EQ(12, a0.vpdV4Number);
    EXPECT_STREQ("12", a0.vpdV4Text);
    EXPECT_STREQ("Dual FC card", gVPDModelDescription[0]);
    EXPECT_EQ(1, a0.ibmPSeries) << "VG ends in 1014";
    EXPECT_EQ(0, gAdapters[1].vpdV4Number) << "a V4 of letters";
    EXPECT_STREQ("word", gAdapters[1].vpdV4Text);
    EXPECT_EQ(0, gAdapters[1].ibmPSeries) << "1014 not at the end";
    EXPECT_STREQ("", gVPDModelDescription[1]) << "no V1, yet a model";

    // Without a VPD model: "N/A" serial, no description, a chosen name.
    for (uint32_t i = 2; i < 11; ++i) {
        EXPECT_STREQ("N/A", gAdapters[i].serialNumber) << i;
        EXPECT_EQ(0, gAdapters[i].flags & (ADAPTER_FLAG_VPD_MODEL | ADAPTER_FLAG_MODEL_FROM_VPD)) << i;
        EXPECT_EQ(nullptr, gVPDModelDescription[i]) << i;
    }
    const struct {
        uint32_t index;
        bool named;
    } names[] = {{2, true}, {4, false}, {5, true}, {6, true}, {7, true}, {8, false}, {9, true}, {10, true}};
    for (const auto &n : names)
        EXPECT_EQ(n.named, gAdapters[n.index].modelName[0] != '\0') << n.index << ": " << gAdapters[n.index].modelName;
    // Dual and single channel get different names.
    EXPECT_STRNE(gAdapters[5].modelName, gAdapters[6].modelName);
    EXPECT_STREQ(gAdapters[2].modelName, gAdapters[3].modelName);

    // The debug-log listing ends each entry's line with its model name.
    std::string before = log.text();
    displayAdapters();
    std::string listing = log.text().substr(before.size());
    for (uint32_t i = 0; i < gTotalHBAs; ++i) {
        char head[32];
        std::snprintf(head, sizeof head, "Adapter %u: FC ", i);
        size_t at = listing.find(head);
        ASSERT_NE(std::string::npos, at) << listing;
        std::string line = listing.substr(at, listing.find('\n', at) - at);
        std::string model = gAdapters[i].modelName;
        EXPECT_EQ(model, line.substr(line.size() - model.size())) << line;
    }
    EXPECT_NE(std::string::npos, listing.find("firmware 2.01A12 device FE00 PCI 0:10:0.0 model FCD-2\n")) << listing;
}

TEST(FcIdentity, ListingOfAnEmptyTable)
{
    hlvdtest::SimHost host(R"({"adapters": []})");
    TableGuard guard;
    DebugLog log(host);
    EXPECT_EQ(45, displayAdapters());
    EXPECT_EQ(45, WIN_Error);
    EXPECT_STREQ("No Orvane adapter detected in the system", szTempBuffer);
    EXPECT_TRUE(log.has("No Orvane adapter detected in the system"));
}

class FcDiscoveryFile : public ::testing::Test {
protected:
    std::vector<DiscoveredDevice> discover(hlvdtest::SimHost &host)
    {
        std::string images = host.path("/images");
        mkdir(images.c_str(), 0755);
        disctest::ufi(images, "aw3.ufi", 3, "10.2.370.15");
        std::string xml = host.path("/discovery.xml");
        EXPECT_EQ(0, oem_do_discovery_with_files(xml.c_str(), images.c_str()));
        return disctest::read_discovery(xml);
    }
    void TearDown() override { oem_text_for_error_code(0); }
};

const DiscoveredDevice *find(const std::vector<DiscoveredDevice> &devices, const char *bus, const char *fn)
{
    for (const DiscoveredDevice &d : devices)
        if (d.busnumber == bus && d.funcnumber == fn)
            return &d;
    return nullptr;
}

TEST_F(FcDiscoveryFile, DefaultHostListsItsFcFunctions)
{
    hlvdtest::SimHost host;
    std::vector<DiscoveredDevice> devices = discover(host);
    // Four converged adapters once each, two SLI-3 functions, the Varrow FC
    // adapter once.
    EXPECT_EQ(7u, devices.size());
    for (const char *fn : {"0", "1"}) {
        const DiscoveredDevice *d = find(devices, "7", fn);
        ASSERT_NE(nullptr, d) << fn;
        EXPECT_EQ("FC", d->nictype);
        EXPECT_EQ("", d->macaddress);
        EXPECT_EQ("Dual-channel 8 Gb FC host adapter", d->product_id);
        EXPECT_TRUE(d->hasBootItem);
        EXPECT_EQ("201A12", d->firmware.active_version);
        EXPECT_EQ("JB512A0", d->bootCode.active_version);
        for (const FirmwareDetails *item : {&d->firmware, &d->bootCode}) {
            EXPECT_EQ("120", item->duration);
            EXPECT_EQ("skip", item->action);
            EXPECT_EQ("", item->firmware_file);
            EXPECT_EQ("", item->version);
        }
    }
    const DiscoveredDevice *v = find(devices, "8", "0");
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(nullptr, find(devices, "8", "1"));
    EXPECT_EQ("FC", v->nictype);
    EXPECT_EQ("Dual-port 16 Gb FC adapter", v->product_id);
    EXPECT_FALSE(v->hasBootItem);
    EXPECT_EQ("300", v->firmware.duration);
    EXPECT_EQ("11.4.204.20", v->firmware.active_version);
}

TEST_F(FcDiscoveryFile, WhatCannotBeReadAndNoBootCode)
{
    // Board 0: READ_REV fails; board 1: no boot code in the ROM; board 2: a
    // wakeup record too short to read; board 3 (SLI-4, Varrow FC, which keeps
    // the dots): READ_REV fails.
    json sli3 = fc_hba("fc", "SLI3",
                       {fc_function(7, 0, 0xFE00, json::object()),
                        fc_function(7, 1, 0xFE00, {{"wakeup", {{"13", 0}}}}),
                        fc_function(7, 2, 0xFE00, {{"regions", {{"4", {{"data", "00"}, {"recreate", false}}}}}})});
    json sli4 = fc_hba("fc4", "SLI4", {fc_function(9, 0, 0xE200, json::object())});
    hlvdtest::SimHost host(machine({sli3, sli4}));
    for (int board : {0, 3}) {
        json fault = {{"match", {{"board", board}, {"mbox", 0x11}}}, {"kind", "kpl"}, {"mbox_status", 1},
                      {"when", "always"}};
        std::string err;
        ASSERT_GT(hlvdsim::fault_add_json(host.root(), fault, &err), 0) << err;
    }
    DebugLog log(host);
    std::vector<DiscoveredDevice> devices = discover(host);
    ASSERT_EQ(4u, devices.size());
    EXPECT_EQ("N/A", devices[0].firmware.active_version);
    EXPECT_EQ("NONE", devices[1].bootCode.active_version);
    EXPECT_EQ("", devices[2].bootCode.active_version);
    EXPECT_TRUE(log.has("GetDiscoveredAdapterProperty: Read Wakeup Parameters Error\n"));
    EXPECT_EQ("0.0.0.0", devices[3].firmware.active_version);
    EXPECT_TRUE(log.has("ReadRev ERROR status "));
    EXPECT_TRUE(log.has("ReadRev4 ERROR status "));
}

} // namespace
