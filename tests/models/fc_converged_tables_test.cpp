// The gen-6 Varrow FC, Oskara, gen-3 and gen-2 model tables: their shape and
// counts, the texts that follow a rule, and the defaults.
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "adapters/model_tables.h"

namespace {

typedef std::map<uint32_t, uint32_t> Counts;

Counts countBy(const ModelTable &t, uint32_t ModelTableRow::*field)
{
    Counts c;
    for (uint32_t i = 0; i < t.rowCount; ++i)
        ++c[t.rows[i].*field];
    return c;
}

// Device ids in the order their groups stand in the table.
std::vector<uint32_t> deviceGroups(const ModelTable &t)
{
    std::vector<uint32_t> g;
    for (uint32_t i = 0; i < t.rowCount; ++i)
        if (g.empty() || g.back() != t.rows[i].deviceId)
            g.push_back(t.rows[i].deviceId);
    return g;
}

std::set<std::string> distinct(const ModelTable &t, const char *ModelTexts::*field)
{
    std::set<std::string> s;
    for (uint32_t i = 0; i < t.rowCount; ++i)
        s.insert(t.rows[i].texts.*field);
    return s;
}

size_t longestText(const ModelTable &t)
{
    size_t n = 0;
    auto take = [&n](const ModelTexts &x) {
        for (const char *s : {x.model, x.familyDesc, x.desc, x.baseModel})
            if (s && std::strlen(s) > n)
                n = std::strlen(s);
    };
    for (uint32_t i = 0; i < t.rowCount; ++i) {
        take(t.rows[i].texts);
        if (t.rows[i].twoPort)
            take(*t.rows[i].twoPort);
    }
    for (uint32_t i = 0; i < t.defaultCount; ++i)
        take(t.defaults[i].texts);
    return n;
}

bool endsWith(const std::string &s, const std::string &tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

_AdapterModelAndDesc request(uint32_t deviceId, uint32_t vendorId, uint32_t subDeviceId, uint32_t subVendorId,
                             uint32_t dualPort = 0)
{
    _AdapterModelAndDesc r;
    std::memset(&r, 0, sizeof r);
    r.deviceId = deviceId;
    r.vendorId = vendorId;
    r.subDeviceId = subDeviceId;
    r.subVendorId = subVendorId;
    r.modelLen = r.familyDescLen = r.descLen = r.baseModelLen = 256;
    r.dualPort = dualPort;
    return r;
}

TEST(FcConvergedModelTables, CountsPerDeviceAndSubsystemVendor)
{
    const struct {
        const char *name;
        const ModelTable *table;
        uint32_t vendorId;
        uint32_t rows;
        std::vector<std::pair<uint32_t, uint32_t>> perDevice;    // in table order where grouped
        std::vector<std::pair<uint32_t, uint32_t>> perSubVendor;
        uint32_t subDeviceIds;
        size_t longest; // 0: only bounded by the longest text of all tables
    } cases[] = {
        {"gen-6 FC", &kVarrowG6ModelTable, 0x10DF, 19, {{0xE300, 19}}, {{0x10DF, 19}}, 19, 0},
        {"Oskara", &kOskaraModelTable, 0x10DF, 44,
         {{0xF100, 33}, {0xFC40, 4}, {0xF015, 2}, {0xF011, 1}, {0xF104, 1}, {0xF111, 1}, {0xF112, 1}, {0xF180, 1}},
         {{0x10DF, 31}, {0x103C, 8}, {0x1014, 3}, {0x1054, 1}, {0x1734, 1}}, 44, 0},
        {"gen-3", &kGorselModelTable, 0x19A2, 308, {{0x710, 118}, {0x712, 94}, {0x714, 96}},
         {{0x10DF, 185}, {0x103C, 51}, {0x1734, 35}, {0x1054, 24}, {0x19E5, 6}, {0x1014, 4}, {0x1137, 3}}, 117, 84},
        {"gen-2", &kBrindlefinModelTable, 0x19A2, 183, {{0x700, 61}, {0x702, 61}, {0x704, 61}},
         {{0x10DF, 132}, {0x1734, 27}, {0x103C, 21}, {0x1137, 3}}, 61, 69},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ModelTable &t = *c.table;
        EXPECT_EQ(c.rows, t.rowCount);
        EXPECT_EQ(Counts(c.perDevice.begin(), c.perDevice.end()), countBy(t, &ModelTableRow::deviceId));
        EXPECT_EQ(Counts(c.perSubVendor.begin(), c.perSubVendor.end()), countBy(t, &ModelTableRow::subVendorId));
        EXPECT_EQ(Counts({{c.vendorId, c.rows}}), countBy(t, &ModelTableRow::vendorId));
        EXPECT_EQ(c.subDeviceIds, countBy(t, &ModelTableRow::subDeviceId).size());
        // No subsystem device id stands with two subsystem vendors.
        std::map<uint32_t, uint32_t> vendorOf;
        for (uint32_t i = 0; i < t.rowCount; ++i) {
            auto it = vendorOf.emplace(t.rows[i].subDeviceId, t.rows[i].subVendorId).first;
            EXPECT_EQ(it->second, t.rows[i].subVendorId) << i;
        }
        if (c.longest) {
            EXPECT_EQ(c.longest, longestText(t));
        } else {
            EXPECT_LE(longestText(t), 84u);
        }
        // The last default answers any device id the guard admits.
        ASSERT_GT(t.defaultCount, 0u);
        EXPECT_EQ(0u, t.defaults[t.defaultCount - 1].deviceId);
    }
    // The converged tables stand grouped by device id, NIC, iSCSI, FCoE.
    EXPECT_EQ(std::vector<uint32_t>({0x710, 0x712, 0x714}), deviceGroups(kGorselModelTable));
    EXPECT_EQ(std::vector<uint32_t>({0x700, 0x702, 0x704}), deviceGroups(kBrindlefinModelTable));
}

TEST(FcConvergedModelTables, Gen6FcRows)
{
    const ModelTable &t = kVarrowG6ModelTable;
    const uint32_t order[] = {0xE300, 0xE301, 0xE310, 0xE311, 0xE312, 0xE320, 0xE321, 0xE322, 0xE323, 0xE332,
                              0xE333, 0xE3F0, 0xE3F1, 0xE370, 0xE371, 0xE372, 0xE373, 0xE374, 0xE375};
    ASSERT_EQ(sizeof order / sizeof order[0], t.rowCount);
    for (uint32_t i = 0; i < t.rowCount; ++i) {
        EXPECT_EQ(order[i], t.rows[i].subDeviceId) << i;
        EXPECT_EQ(nullptr, t.rows[i].twoPort) << i;
        if (t.rows[i].subDeviceId >= 0xE370 && t.rows[i].subDeviceId <= 0xE375) {
            EXPECT_STREQ(t.rows[i].texts.baseModel, t.rows[i].texts.model) << i;
        }
    }
    EXPECT_EQ(1u, distinct(t, &ModelTexts::familyDesc).size());
    EXPECT_EQ(6u, distinct(t, &ModelTexts::baseModel).size());
    EXPECT_EQ(nullptr, t.preStepBaseModel);
}

TEST(FcConvergedModelTables, OskaraRows)
{
    const ModelTable &t = kOskaraModelTable;
    // Device / subsystem vendor / subsystem device, in table order.
    const uint32_t keys[][3] = {
        {0xF100, 0x10DF, 0xF100}, {0xF015, 0x10DF, 0xF015}, {0xF011, 0x10DF, 0xF011}, {0xF104, 0x10DF, 0xF104},
        {0xF112, 0x10DF, 0xF112}, {0xF111, 0x10DF, 0xF111}, {0xF100, 0x10DF, 0xF121}, {0xF100, 0x10DF, 0xF122},
        {0xF100, 0x10DF, 0xF123}, {0xFC40, 0x10DF, 0xFC42}, {0xFC40, 0x10DF, 0xFC41}, {0xF100, 0x1014, 0x0401},
        {0xF100, 0x1014, 0x038A}, {0xF100, 0x1014, 0x0389}, {0xF100, 0x103C, 0x3282}, {0xF100, 0x103C, 0x3281},
        {0xF015, 0x103C, 0x3283}, {0xF100, 0x103C, 0x3392}, {0xF100, 0x103C, 0x3391}, {0xF100, 0x103C, 0x2238},
        {0xF100, 0x10DF, 0xF12E}, {0xFC40, 0x10DF, 0xFC4E}, {0xFC40, 0x10DF, 0xFC43}, {0xF100, 0x10DF, 0xF124},
        {0xF100, 0x10DF, 0xF130}, {0xF100, 0x10DF, 0xF125}, {0xF100, 0x10DF, 0xF126}, {0xF100, 0x10DF, 0xF127},
        {0xF100, 0x103C, 0x1719}, {0xF100, 0x103C, 0x338F}, {0xF100, 0x1734, 0x113C}, {0xF100, 0x10DF, 0xF12A},
        {0xF100, 0x1054, 0x3053}, {0xF100, 0x10DF, 0xF12B}, {0xF100, 0x10DF, 0xF12C}, {0xF180, 0x10DF, 0xF180},
        {0xF100, 0x10DF, 0xE611}, {0xF100, 0x10DF, 0xF134}, {0xF100, 0x10DF, 0xF135}, {0xF100, 0x10DF, 0xF136},
        {0xF100, 0x10DF, 0xF137}, {0xF100, 0x10DF, 0xF13A}, {0xF100, 0x10DF, 0xF13B}, {0xF100, 0x10DF, 0xF13C},
    };
    ASSERT_EQ(sizeof keys / sizeof keys[0], t.rowCount);
    std::map<std::string, uint32_t> families;
    for (uint32_t i = 0; i < t.rowCount; ++i) {
        const ModelTableRow &row = t.rows[i];
        EXPECT_EQ(keys[i][0], row.deviceId) << i;
        EXPECT_EQ(keys[i][1], row.subVendorId) << i;
        EXPECT_EQ(keys[i][2], row.subDeviceId) << i;
        ++families[row.texts.familyDesc];
        // Only the first two rows come in two widths; the family text does not change with it.
        if (i < 2) {
            ASSERT_NE(nullptr, row.twoPort) << i;
            EXPECT_STREQ(row.texts.familyDesc, row.twoPort->familyDesc);
            EXPECT_STRNE(row.texts.model, row.twoPort->model);
            EXPECT_STRNE(row.texts.desc, row.twoPort->desc);
            EXPECT_STRNE(row.texts.baseModel, row.twoPort->baseModel);
        } else {
            EXPECT_EQ(nullptr, row.twoPort) << i;
        }
    }
    const ModelTableRow &na = t.rows[36];
    EXPECT_STREQ("N/A", na.texts.familyDesc);
    EXPECT_STREQ("N/A", na.texts.desc);
    const std::string main = t.rows[0].texts.familyDesc, older = t.rows[1].texts.familyDesc,
                      own = t.rows[35].texts.familyDesc;
    EXPECT_EQ((std::map<std::string, uint32_t>{{main, 39}, {older, 3}, {own, 1}, {"N/A", 1}}), families);
    EXPECT_STREQ(older.c_str(), t.rows[2].texts.familyDesc);  // 0xF011
    EXPECT_STREQ(older.c_str(), t.rows[16].texts.familyDesc); // 0xF015 of the second vendor
    EXPECT_EQ(11u, distinct(t, &ModelTexts::baseModel).size());
    EXPECT_EQ(nullptr, t.preStepBaseModel);
}

TEST(FcConvergedModelTables, ConvergedRows)
{
    // gen-3: boards by the personalities they have rows under; one key twice under NIC.
    {
        const ModelTable &t = kGorselModelTable;
        std::map<std::pair<uint32_t, uint32_t>, std::map<uint32_t, std::vector<uint32_t>>> boards;
        for (uint32_t i = 0; i < t.rowCount; ++i)
            boards[{t.rows[i].subVendorId, t.rows[i].subDeviceId}][t.rows[i].deviceId].push_back(i);
        EXPECT_EQ(117u, boards.size());
        std::map<std::string, uint32_t> shapes;
        uint32_t twice = 0;
        for (const auto &b : boards) {
            std::string shape;
            for (const auto &d : b.second) {
                shape += d.first == 0x710 ? "N" : d.first == 0x712 ? "I" : "F";
                if (d.second.size() > 1) {
                    ++twice;
                    ASSERT_EQ(2u, d.second.size());
                    const ModelTexts &a = t.rows[d.second[0]].texts, &l = t.rows[d.second[1]].texts;
                    EXPECT_EQ(0x710u, d.first);
                    EXPECT_STRNE(a.model, l.model);
                    EXPECT_STRNE(a.desc, l.desc);
                    EXPECT_STREQ(a.familyDesc, l.familyDesc);
                }
                // One model text per board, the answering row's.
                EXPECT_STREQ(t.rows[b.second.begin()->second[0]].texts.model, t.rows[d.second[0]].texts.model);
            }
            ++shapes[shape];
        }
        EXPECT_EQ(1u, twice);
        EXPECT_EQ((std::map<std::string, uint32_t>{{"NIF", 93}, {"NF", 3}, {"NI", 1}, {"N", 20}}), shapes);
        for (uint32_t i = 0; i < t.rowCount; ++i) {
            for (const char *s : {t.rows[i].texts.familyDesc, t.rows[i].texts.desc, t.rows[i].texts.model})
                EXPECT_EQ(nullptr, std::strstr(s, "Port x")) << i;
            EXPECT_EQ(nullptr, t.rows[i].texts.baseModel) << i;
        }
        // 0x1014 boards have NIC rows only.
        for (uint32_t i = 0; i < t.rowCount; ++i)
            if (t.rows[i].subVendorId == 0x1014) {
                EXPECT_EQ(0x710u, t.rows[i].deviceId) << i;
            }
    }
    // gen-2: every board under all three device ids, in the same order.
    {
        const ModelTable &t = kBrindlefinModelTable;
        ASSERT_EQ(183u, t.rowCount);
        for (uint32_t i = 0; i < 61; ++i) {
            for (uint32_t k = 1; k < 3; ++k) {
                const ModelTableRow &a = t.rows[i], &b = t.rows[i + 61 * k];
                EXPECT_EQ(a.subVendorId, b.subVendorId) << i;
                EXPECT_EQ(a.subDeviceId, b.subDeviceId) << i;
                EXPECT_STREQ(a.texts.model, b.texts.model) << i;
            }
        }
        for (uint32_t i = 0; i < t.rowCount; ++i) {
            EXPECT_TRUE(endsWith(t.rows[i].texts.familyDesc, ", Port x")) << i;
            EXPECT_TRUE(endsWith(t.rows[i].texts.desc, ", Port x")) << i;
            EXPECT_EQ(nullptr, t.rows[i].texts.baseModel) << i;
        }
    }
    // One family description per device id.
    for (const ModelTable *t : {&kGorselModelTable, &kBrindlefinModelTable}) {
        std::map<uint32_t, std::set<std::string>> fam;
        for (uint32_t i = 0; i < t->rowCount; ++i)
            fam[t->rows[i].deviceId].insert(t->rows[i].texts.familyDesc);
        for (const auto &f : fam)
            EXPECT_EQ(1u, f.second.size()) << std::hex << f.first;
    }
}

// The default texts follow one rule in both converged tables.
TEST(FcConvergedModelTables, ConvergedDefaultTexts)
{
    const struct {
        const ModelTable *table;
        const char *baseName;
        uint32_t fcoe, iscsi, nic;
    } tables[] = {
        {&kGorselModelTable, kGorselFamilyBaseName, 0x714, 0x712, 0x710},
        {&kBrindlefinModelTable, kBrindlefinFamilyBaseName, 0x704, 0x702, 0x700},
    };
    std::set<std::string> leadingWords;
    for (const auto &c : tables) {
        const ModelTable &t = *c.table;
        EXPECT_EQ(8u, std::strlen(c.baseName));
        EXPECT_STREQ(c.baseName, t.preStepBaseModel);
        ASSERT_EQ(4u, t.defaultCount);
        const std::string generic = t.defaults[3].texts.familyDesc;
        EXPECT_TRUE(endsWith(generic, std::string(" ") + c.baseName)) << generic;
        std::string lead = generic.substr(0, generic.size() - std::strlen(c.baseName) - 1);
        EXPECT_EQ(1, std::count(lead.begin(), lead.end(), ' ')) << generic;
        leadingWords.insert(lead);
        const std::pair<uint32_t, const char *> order[] = {
            {c.fcoe, ", FCoE Initiator, Port x"}, {c.iscsi, ", iSCSI Initiator, Port x"}, {c.nic, ", NIC, Port x"}};
        for (uint32_t i = 0; i < 3; ++i) {
            EXPECT_EQ(order[i].first, t.defaults[i].deviceId);
            EXPECT_EQ(generic + order[i].second, t.defaults[i].texts.familyDesc);
        }
        for (uint32_t i = 0; i < 4; ++i) {
            EXPECT_STREQ(c.baseName, t.defaults[i].texts.model);
            EXPECT_STREQ(t.defaults[i].texts.familyDesc, t.defaults[i].texts.desc);
        }
    }
    EXPECT_EQ(1u, leadingWords.size());
    // gen-2 rows of the iSCSI and FCoE functions carry those defaults' texts.
    const ModelTable &aw2 = kBrindlefinModelTable;
    EXPECT_STREQ(aw2.defaults[1].texts.familyDesc, aw2.rows[61].texts.familyDesc);
    EXPECT_STREQ(aw2.defaults[0].texts.familyDesc, aw2.rows[122].texts.familyDesc);
}

TEST(FcConvergedModelTables, Defaults)
{
    const ModelTable &g6 = kVarrowG6ModelTable, &osk = kOskaraModelTable, &aw3 = kGorselModelTable,
                     &aw2 = kBrindlefinModelTable;
    const std::string aw3Generic = aw3.defaults[3].texts.desc, aw2Fcoe = aw2.defaults[0].texts.desc;
    const std::string aw3Iscsi = aw3.defaults[1].texts.desc;
    const std::string oskFamily = osk.rows[0].texts.familyDesc;
    const struct {
        const char *what;
        int (*call)(_AdapterModelAndDesc *);
        _AdapterModelAndDesc r;
        std::string model, familyDesc, desc, baseModel; // empty desc: not the row's, only not empty
    } cases[] = {
        {"gen-6 without a row", GetVarrowG6AdapterModelAndDesc, request(0xE300, 0x10DF, 0xE3FF, 0x10DF),
         g6.rows[0].texts.model, g6.rows[0].texts.familyDesc, g6.rows[0].texts.desc, g6.rows[0].texts.baseModel},
        {"gen-6, another vendor", GetVarrowG6AdapterModelAndDesc, request(0xE300, 0x1234, 0xE301, 0x10DF, 1),
         g6.rows[0].texts.model, g6.rows[0].texts.familyDesc, g6.rows[0].texts.desc, g6.rows[0].texts.baseModel},
        {"Oskara one-port row", GetOskaraAdapterModelAndDesc, request(0xF100, 0x10DF, 0xF100, 0x10DF, 0),
         osk.rows[0].texts.model, oskFamily, osk.rows[0].texts.desc, osk.rows[0].texts.baseModel},
        {"Oskara two-port row", GetOskaraAdapterModelAndDesc, request(0xF100, 0x10DF, 0xF100, 0x10DF, 1),
         osk.rows[0].twoPort->model, oskFamily, osk.rows[0].twoPort->desc, osk.rows[0].twoPort->baseModel},
        {"Oskara 0xF10A", GetOskaraAdapterModelAndDesc, request(0xF10A, 0x10DF, 0xF10A, 0x10DF, 0),
         kOskaraFamilyBaseName, oskFamily, "", kOskaraFamilyBaseName},
        {"Oskara 0xF10A, two ports", GetOskaraAdapterModelAndDesc, request(0xF10A, 0x10DF, 0xF10A, 0x10DF, 1),
         kOskaraTwoPortBaseName, oskFamily, "", kOskaraTwoPortBaseName},
        {"gen-2 FCoE without a row", GetBrindlefinAdapterModelAndDesc, request(0x704, 0x19A2, 0x7777, 0x10DF),
         kBrindlefinFamilyBaseName, aw2Fcoe, aw2Fcoe, kBrindlefinFamilyBaseName},
        {"gen-2 0x214", GetBrindlefinAdapterModelAndDesc, request(0x214, 0x19A2, 0xE620, 0x10DF),
         kBrindlefinFamilyBaseName, aw2.defaults[3].texts.desc, aw2.defaults[3].texts.desc,
         kBrindlefinFamilyBaseName},
        {"gen-3 0x718", GetGorselAdapterModelAndDesc, request(0x718, 0x19A2, 0xE730, 0x10DF),
         kGorselFamilyBaseName, aw3Generic, aw3Generic, kGorselFamilyBaseName},
        {"gen-3 iSCSI row ids under another vendor", GetGorselAdapterModelAndDesc,
         request(0x712, 0x10DF, aw3.rows[118].subDeviceId, aw3.rows[118].subVendorId), kGorselFamilyBaseName,
         aw3Iscsi, aw3Iscsi, kGorselFamilyBaseName},
        {"gen-3 row", GetGorselAdapterModelAndDesc,
         request(0x712, 0x19A2, aw3.rows[118].subDeviceId, aw3.rows[118].subVendorId), aw3.rows[118].texts.model,
         aw3.rows[118].texts.familyDesc, aw3.rows[118].texts.desc, kGorselFamilyBaseName},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        _AdapterModelAndDesc r = c.r;
        ASSERT_EQ(0, c.call(&r));
        EXPECT_EQ(c.model, r.model);
        EXPECT_EQ(c.familyDesc, r.familyDesc);
        if (!c.desc.empty()) {
            EXPECT_EQ(c.desc, r.desc);
        }
        EXPECT_GT(std::strlen(r.desc), 0u);
        EXPECT_EQ(c.baseModel, r.baseModel);
    }
    // The Oskara default's description changes with the width.
    _AdapterModelAndDesc one = request(0xF10A, 0x10DF, 0xF10A, 0x10DF, 0), two = one;
    two.dualPort = 1;
    ASSERT_EQ(0, GetOskaraAdapterModelAndDesc(&one));
    ASSERT_EQ(0, GetOskaraAdapterModelAndDesc(&two));
    EXPECT_STRNE(one.desc, two.desc);
    EXPECT_EQ(0x712u, aw3.rows[118].deviceId);
}

} // namespace
