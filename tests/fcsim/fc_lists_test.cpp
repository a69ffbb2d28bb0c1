// Load lists, program descriptions, the wakeup record and the expansion-ROM
// load of the simulated FC HBAs, read the way the engine reads them.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kpl.h"
#include "sim/command_log.h"
#include "sim/fault_plan.h"
#include "sim/fc_hba.h"
#include "support/sim_host.h"

namespace {

using json = nlohmann::json;

const int kSli3 = 0;
const uint32_t kFlashHead = 1948, kRamHead = 1940;

uint32_t get32(const uint8_t *p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void put32(uint8_t *p, uint32_t v)
{
    std::memcpy(p, &v, 4);
}

int mbox(int board, uint8_t *m)
{
    return KPL_IssueMboxWithRetry(board, m, 32, 128, 2, 100);
}

std::vector<uint32_t> words(int board, uint32_t address, uint32_t n)
{
    uint8_t m[384] = {};
    m[1] = 0x17;
    m[4] = 1;
    put32(m + 12, address);
    put32(m + 16, n);
    EXPECT_EQ(0, mbox(board, m));
    std::vector<uint32_t> out;
    for (uint32_t i = 0; i < get32(m + 16); ++i)
        out.push_back(get32(m + 20 + 4 * i));
    return out;
}

struct Entry {
    uint32_t id0, id1;
    std::string description;
};

// The description as the engine reads it back from the image's bytes.
std::string description(int board, bool flash, uint32_t image, uint32_t id0)
{
    uint32_t type = id0 & 0xFF000000;
    uint32_t start = image;
    if (flash)
        start = image + ((words(board, image + 12, 1).at(0) & 8) ? 100 : 48);
    uint32_t p = words(board, start + (type == 0 ? 4 : 8), 1).at(0) & ~3u;
    if (flash)
        p = p - words(board, image + 28, 1).at(0) + start;
    std::vector<uint32_t> text = words(board, p, 6);
    std::string out;
    for (size_t i = 0; i < 24; ++i) {
        size_t at = type == 0x03000000 ? i : (i ^ 3);
        char c = static_cast<char>(text[at / 4] >> (8 * (at % 4)));
        if (c == 0 || c == '\n')
            return out;
        out += c;
    }
    return std::string(); // no terminator within 24 bytes
}

// Walks a list from its head, at most `bound` entries; `closed` tells
// whether it came back to the head.
std::vector<Entry> walk(int board, bool flash, size_t bound, bool *closed)
{
    uint32_t head = flash ? kFlashHead : kRamHead;
    std::vector<Entry> out;
    uint32_t at = words(board, head, 1).at(0);
    *closed = false;
    while (out.size() < bound) {
        if (at == head) {
            *closed = true;
            break;
        }
        std::vector<uint32_t> w = words(board, at, flash ? 6 : 9);
        Entry e{w[flash ? 4 : 7], w[flash ? 5 : 8], ""};
        if (e.id0 != 0 && e.id0 != 0xFFFFFFFF)
            e.description = description(board, flash, w[2], e.id0);
        out.push_back(e);
        at = w[0];
    }
    return out;
}

json machine(const json &fc)
{
    json doc = json::parse(hlvdtest::read_file(hlvdtest::source_path("sim/machines/default.json")));
    for (json &a : doc["adapters"])
        if (a["name"] == "fc-sli3") {
            // The simulator's own VPD unless the test gives one.
            a["functions"][0]["fc"].erase("vpd");
            for (auto it = fc.begin(); it != fc.end(); ++it)
                a["functions"][0]["fc"][it.key()] = it.value();
        }
    return doc;
}

json images12()
{
    json list = json::array();
    for (uint32_t i = 0; i < 12; ++i) {
        uint32_t type = i == 0 ? 0 : i == 3 ? 3 : i == 5 ? 0xFF : 11;
        uint32_t id0 = type == 0xFF ? 0xFFFFFFFF : (type << 24 | (0x40 + i) << 16 | 0x100);
        std::string text = i == 7 ? "exactly twenty-four ch.." : "image " + std::to_string(i);
        list.push_back({{"id0", id0}, {"id1", i}, {"address", 0x20000 + 0x10000 * i}, {"description", text},
                        {"long_header", i % 2 == 1}});
    }
    return list;
}

TEST(FcLists, LoadListsCarryImagesAndDescriptions)
{
    hlvdtest::SimHost host(machine({{"images", images12()}, {"ram_images", json::array({images12()[3]})}}).dump());
    bool closed = false;
    std::vector<Entry> flash = walk(kSli3, true, 64, &closed);
    ASSERT_TRUE(closed);
    ASSERT_EQ(12u, flash.size());
    json want = images12();
    for (size_t i = 0; i < flash.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(want[i]["id0"].get<uint32_t>(), flash[i].id0);
        EXPECT_EQ(i, flash[i].id1);
        std::string text = want[i]["description"];
        if (i == 5 || i == 7)
            text.clear(); // a free slot; 24 characters without an end
        EXPECT_EQ(text, flash[i].description);
    }
    std::vector<Entry> ram = walk(kSli3, false, 64, &closed);
    ASSERT_TRUE(closed);
    ASSERT_EQ(1u, ram.size());
    EXPECT_EQ("image 3", ram[0].description);

    // Delete by program id; a second delete finds nothing.
    struct Case {
        size_t index;
        bool ok;
    } cases[] = {{2, true}, {2, false}, {11, true}};
    for (const Case &c : cases) {
        uint8_t m[384] = {};
        m[1] = 0x1D;
        m[4] = 1;
        put32(m + 8, want[c.index]["id0"].get<uint32_t>());
        put32(m + 12, static_cast<uint32_t>(c.index));
        EXPECT_EQ(c.ok, mbox(kSli3, m) == 0) << c.index;
    }
    flash = walk(kSli3, true, 64, &closed);
    ASSERT_TRUE(closed);
    ASSERT_EQ(10u, flash.size());
    for (const Entry &e : flash)
        EXPECT_TRUE(e.id1 != 2 && e.id1 != 11);
}

TEST(FcLists, ListMayCycleOrBeEmpty)
{
    {
        hlvdtest::SimHost host(machine({{"images", images12()}, {"load_list_cycle", true}}).dump());
        bool closed = true;
        EXPECT_EQ(40u, walk(kSli3, true, 40, &closed).size());
        EXPECT_FALSE(closed);
    }
    {
        hlvdtest::SimHost host(machine({{"images", json::array()}}).dump());
        EXPECT_EQ(kFlashHead, words(kSli3, kFlashHead, 1).at(0));
        EXPECT_EQ(kRamHead, words(kSli3, kRamHead, 1).at(0));
    }
}

// The wakeup record of region 4 names each type's image in its slot.
TEST(FcLists, WakeupRecordFromImagesAndUpdateCfg)
{
    hlvdtest::SimHost host(machine({{"images", images12()}}).dump());
    uint8_t rec[64] = {};
    uint32_t count = 60;
    ASSERT_EQ(0, KPL_IssueDumpMBox(kSli3, 2, 0, 4, 0, rec, &count));
    ASSERT_EQ(60u, count);
    json want = images12();
    struct Slot {
        size_t word;
        size_t image;
    } slots[] = {{3, 3}, {9, 1}, {13, 3}};
    for (const Slot &s : slots) {
        EXPECT_EQ(want[s.image]["id0"].get<uint32_t>(), get32(rec + 4 * s.word)) << s.word;
        EXPECT_EQ(s.image, get32(rec + 4 * s.word + 4)) << s.word;
    }
    EXPECT_EQ(0u, get32(rec + 4 * 11)) << "no SLI-4 image";

    uint8_t m[384] = {};
    m[1] = 0x1B;
    m[4] = 2;
    m[8] = 4;
    m[10] = 60;
    put32(m + 16, 60);
    for (uint32_t i = 0; i < 15; ++i)
        put32(m + 20 + 4 * i, 0x1000 + i);
    ASSERT_EQ(0, mbox(kSli3, m));
    ASSERT_EQ(0, KPL_IssueDumpMBox(kSli3, 2, 0, 4, 0, rec, &count));
    EXPECT_EQ(0x100Eu, get32(rec + 56));
}

// LOAD_EXP_ROM: start, continues, finishes with the word at 8 passed on.
TEST(FcLists, ExpansionRomLoadSteps)
{
    struct Case {
        const char *what;
        json steps;    // "load_exp_rom"
        json fault;    // planned
        std::vector<int> subs;     // sub-commands sent
        std::vector<int> progress; // answers; -1: refused
        bool loaded;
    } cases[] = {
        {"default", nullptr, nullptr, {8, 9, 9, 10}, {8, 8, 9, 11}, true},
        {"at once", {{"start", 11}}, nullptr, {8}, {11}, true},
        {"two finishes", {{"continues", 1}, {"finishes", 2}}, nullptr, {8, 9, 10, 10}, {8, 9, 9, 11}, true},
        {"stuck", {{"continues", -1}}, nullptr, {8, 9, 9, 9, 9}, {8, 8, 8, 8, 8}, false},
        {"finish too early", nullptr, nullptr, {8, 10}, {8, -1}, false},
        {"continue without start", nullptr, nullptr, {9}, {-1}, false},
        {"planned progress", nullptr, {{"match", {{"mbox", 0x9C}, {"sub", 8}}}, {"kind", "progress"}, {"progress", 5}},
         {8}, {5}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        json fc = json::object();
        if (!c.steps.is_null())
            fc["load_exp_rom"] = c.steps;
        hlvdtest::SimHost host(machine(fc).dump());
        if (!c.fault.is_null()) {
            std::string err;
            ASSERT_GT(hlvdsim::fault_add_json(host.root(), c.fault, &err), 0) << err;
        }
        uint32_t word8 = 0;
        for (size_t i = 0; i < c.subs.size(); ++i) {
            uint8_t m[384] = {};
            m[1] = 0x9C;
            m[6] = static_cast<uint8_t>(c.subs[i]);
            put32(m + 8, word8);
            put32(m + 16, 0x03ABCDEF);
            put32(m + 20, 7);
            int r = mbox(kSli3, m);
            if (c.progress[i] < 0) {
                EXPECT_NE(0, r) << i;
                break;
            }
            ASSERT_EQ(0, r) << i;
            EXPECT_EQ(c.progress[i], m[5]) << i;
            word8 = get32(m + 8);
        }
        json st = hlvdsim::fc_state(host.root(), kSli3);
        if (c.loaded)
            EXPECT_EQ(json::array({0x03ABCDEF, 7}), st["exp_rom"]);
        else
            EXPECT_FALSE(st.contains("exp_rom") && st["exp_rom"] == json::array({0x03ABCDEF, 7}));
    }
}

} // namespace

namespace {

// Region 14 is built from the description's keywords: identifier string,
// read-only section ending with RV whose checksum zeroes the sum, end tag;
// optionally with each word's bytes reversed.
TEST(FcVpd, RegionFourteenFromKeywords)
{
    json keywords = json::array({json::array({"PN", "LPE-SIM"}), json::array({"SN", "SN0123456789"}),
                                 json::array({"V1", "one"}), json::array({"V2", "Model X"}),
                                 json::array({"V3", "T3:0X12,0X34"}), json::array({"V4", "four"}),
                                 json::array({"VG", "gee"})});
    struct Case {
        const char *what;
        json vpd;
        bool reversed;
        std::string identifier;
        std::vector<std::string> keys;
    } cases[] = {
        {"defaults", nullptr, false, "Simulated fc-sli3 FC HBA", {"PN", "SN", "EC", "MN", "V4"}},
        {"keywords", {{"identifier", "Sim HBA"}, {"keywords", keywords}}, false, "Sim HBA",
         {"PN", "SN", "V1", "V2", "V3", "V4", "VG"}},
        {"word-reversed", {{"identifier", "Sim HBA"}, {"keywords", keywords}, {"word_reversed", true}}, true,
         "Sim HBA", {"PN", "SN", "V1", "V2", "V3", "V4", "VG"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        json fc = json::object();
        if (!c.vpd.is_null())
            fc["vpd"] = c.vpd;
        hlvdtest::SimHost host(machine(fc).dump());
        uint8_t raw[1024] = {};
        uint32_t count = 1000;
        ASSERT_EQ(0, KPL_IssueDumpMBox(kSli3, 2, 0, 14, 0, raw, &count));
        ASSERT_EQ(0u, count % 4);
        std::vector<uint8_t> v(raw, raw + count);
        if (c.reversed) {
            EXPECT_NE(0x82, v[0]);
            EXPECT_EQ(0x82, v[3]);
            for (size_t i = 0; i < v.size(); i += 4) {
                std::swap(v[i], v[i + 3]);
                std::swap(v[i + 1], v[i + 2]);
            }
        }
        ASSERT_EQ(0x82, v[0]);
        size_t id_len = v[1] | v[2] << 8;
        EXPECT_EQ(c.identifier, std::string(v.begin() + 3, v.begin() + 3 + static_cast<long>(id_len)));
        size_t at = 3 + id_len;
        ASSERT_EQ(0x90, v[at]);
        size_t ro_end = at + 3 + (v[at + 1] | v[at + 2] << 8);
        at += 3;
        std::vector<std::string> keys;
        uint8_t sum = 0;
        while (at + 3 <= ro_end) {
            std::string key(v.begin() + static_cast<long>(at), v.begin() + static_cast<long>(at) + 2);
            if (key == "RV") {
                for (size_t i = 0; i <= at + 3; ++i)
                    sum = static_cast<uint8_t>(sum + v[i]);
                break;
            }
            keys.push_back(key);
            at += 3 + v[at + 2];
        }
        EXPECT_EQ(c.keys, keys);
        EXPECT_EQ(0, sum) << "RV's checksum";
        EXPECT_EQ(0x78, v[ro_end]) << "end tag";
    }
}

} // namespace
