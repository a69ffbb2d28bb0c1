// Model name selection over an adapter table built in the test: the family
// tables, the fixed base names when a table refuses, the legacy names by
// JEDEC id and the dispatcher.
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "adapters/adapter_table.h"
#include "adapters/discovery_reset.h"
#include "adapters/model_select.h"
#include "adapters/model_tables.h"

namespace {

struct Table {
    explicit Table(uint32_t fc, uint32_t converged = 0)
    {
        gAdapterCount = fc;
        gTotalHBAs = fc + converged;
        gAdapters = static_cast<_Adapter *>(std::calloc(gTotalHBAs, sizeof(_Adapter)));
        gVPDModelDescription = static_cast<char **>(std::calloc(gTotalHBAs, sizeof(char *)));
    }
    ~Table() { ResetGlobals(); }
    _Adapter &operator[](uint32_t i) { return gAdapters[i]; }
};

void setIds(_Adapter &e, uint16_t deviceId, uint16_t subVendorId, uint16_t subDeviceId, uint16_t vendorId = 0x10DF)
{
    e.deviceId = deviceId;
    e.vendorId = vendorId;
    e.subVendorId = subVendorId;
    e.subDeviceId = subDeviceId;
}

_AdapterModelAndDesc request(uint32_t deviceId, uint32_t subVendorId, uint32_t subDeviceId, uint32_t dualPort = 0)
{
    _AdapterModelAndDesc r;
    std::memset(&r, 0, sizeof r);
    r.deviceId = deviceId;
    r.vendorId = 0x10DF;
    r.subVendorId = subVendorId;
    r.subDeviceId = subDeviceId;
    r.modelLen = r.familyDescLen = r.descLen = r.baseModelLen = 256;
    r.dualPort = dualPort;
    return r;
}

// What a family table answers for these ids, as model or base model.
std::string answer(int (*table)(_AdapterModelAndDesc *), uint32_t deviceId, uint32_t subVendorId,
                   uint32_t subDeviceId, bool model, uint32_t dualPort = 0)
{
    _AdapterModelAndDesc r = request(deviceId, subVendorId, subDeviceId, dualPort);
    EXPECT_EQ(table(&r), 0);
    return model ? r.model : r.baseModel;
}

std::string selected(uint8_t index)
{
    getAdapterModel(index, gAdapters[index].modelName);
    return gAdapters[index].modelName;
}

TEST(ModelSelect, FamilyTablesAndFallbacks)
{
    const struct {
        const char *what;
        uint16_t deviceId, vendorId, subVendorId, subDeviceId;
        int useVpd;
        std::string expected;
    } cases[] = {
        {"gen-4 FCoE row, base names", 0x724, 0x10DF, 0x10DF, 0xE700, 0, kTrelmontFamilyBaseName},
        {"gen-4 FCoE row, full names", 0x724, 0x10DF, 0x10DF, 0xE700, 1,
         answer(GetTrelmontAdapterModelAndDesc, 0x724, 0x10DF, 0xE700, true)},
        {"gen-4 refused", 0x724, 0x10DF, 0, 0xE700, 1, kTrelmontFamilyBaseName},
        {"gen-3 refused", 0x714, 0x10DF, 0, 0xE700, 1, kGorselFamilyBaseName},
        {"gen-2 refused", 0x704, 0x10DF, 0, 0xE700, 1, kBrindlefinFamilyBaseName},
        {"Varrow FCoE row", 0xE260, 0x10DF, 0x10DF, 0xE201, 1,
         answer(GetVarrowAdapterModelAndDesc, 0xE260, 0x10DF, 0xE201, true)},
        {"Varrow FCoE blade refused", 0xE260, 0, 0x10DF, 0xE263, 1, "QN-V16CB"},
        {"Varrow FCoE refused", 0xE260, 0, 0x10DF, 0xE201, 1, kVarrowFamilyBaseName},
        {"gen-6 by its own table", 0xE300, 0x10DF, 0x10DF, 0xE301, 0,
         answer(GetVarrowG6AdapterModelAndDesc, 0xE300, 0x10DF, 0xE301, false)},
        {"gen-6 refused", 0xE300, 0x10DF, 0, 0xE301, 0, kVarrowG6FamilyBaseName},
        {"Varrow FC row", 0xE200, 0x10DF, 0x1014, 0x043E, 0,
         answer(GetVarrowAdapterModelAndDesc, 0xE200, 0x1014, 0x043E, false)},
        {"Varrow FC refused", 0xE200, 0x10DF, 0, 0xE201, 1, kVarrowFamilyBaseName},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Table t(1);
        setIds(t[0], c.deviceId, c.subVendorId, c.subDeviceId, c.vendorId);
        gUseVPD_ModelName = c.useVpd;
        EXPECT_EQ(selected(0), c.expected);
    }
    // The gen-6 table, not the Varrow one, answers 0xE300.
    EXPECT_NE(answer(GetVarrowG6AdapterModelAndDesc, 0xE300, 0x10DF, 0xE301, false),
              answer(GetVarrowAdapterModelAndDesc, 0xE300, 0x10DF, 0xE301, false));
}

TEST(ModelSelect, ConvergedEntryTakesItsConvergedIds)
{
    Table t(0, 1);
    t[0].cnaDeviceId = 0x720;
    t[0].cnaVendorId = 0x10DF;
    t[0].cnaSubVendorId = 0x10DF;
    t[0].cnaSubDeviceId = 0xE700;
    t[0].kindFlags = ADAPTER_KIND_MANAGED | ADAPTER_KIND_NIC;
    gUseVPD_ModelName = 1;
    EXPECT_EQ(selected(0), answer(GetTrelmontAdapterModelAndDesc, 0x720, 0x10DF, 0xE700, true));
}

TEST(ModelSelect, VpdModelNameKept)
{
    const struct {
        int useVpd;
        uint8_t flags;
        bool kept;
    } cases[] = {{1, ADAPTER_FLAG_MODEL_FROM_VPD, true}, {0, ADAPTER_FLAG_MODEL_FROM_VPD, false}, {1, 0, false}};
    for (const auto &c : cases) {
        Table t(1);
        setIds(t[0], 0x724, 0x10DF, 0xE700);
        std::strcpy(t[0].modelName, "FROM-VPD");
        t[0].flags = c.flags;
        gUseVPD_ModelName = c.useVpd;
        EXPECT_EQ(selected(0) == "FROM-VPD", c.kept) << c.useVpd << " " << int(c.flags);
    }
    // Into another text it is copied bounded by that text's capacity minus 1.
    Table t(1);
    std::memset(t[0].modelName, 'v', sizeof t[0].modelName - 1);
    t[0].flags = ADAPTER_FLAG_MODEL_FROM_VPD;
    gUseVPD_ModelName = 1;
    char name[ADAPTER_MODEL_NAME_BYTES];
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(getAdapterModel(0, name), 0);
    EXPECT_EQ(std::string(name), std::string(ADAPTER_MODEL_NAME_BYTES - 2, 'v'));
}

TEST(ModelSelect, LegacyNamesByJedecId)
{
    const uint8_t dual = ADAPTER_FLAG_DUAL_CHANNEL;
    const struct {
        uint16_t jedecId, deviceId, subVendorId, subDeviceId;
        uint8_t flags;
        bool secondChannel; // another function on the same bus and device
        const char *expected; // null: the name is left as it was
    } cases[] = {
        {0x0012, 0xF0A1, 0x10DF, 0xF0A1, 0, false, "KD-4010"},
        {0x0012, 0xFC01, 0x10DF, 0xFC01, 0, false, "KD-4010B"},
        {0x0012, 0xFA00, 0x10DF, 0xFA00, 0, true, "KD-4000D"},
        {0x0012, 0xFA00, 0x10DF, 0xFA00, dual, false, "KD-4000"},
        {0x0012, 0xF0A5, 0x10DF, 0xF0A5, 0, true, "KD-4020D"},
        {0x0012, 0xFC05, 0x10DF, 0xFC05, 0, false, "KD-4025B"},
        {0x0012, 0xF0A2, 0x10DF, 0xF0A2, 0, false, nullptr},
        {0x0020, 0xF700, 0x10DF, 0xF700, 0, false, "EM-1000"},
        {0x0021, 0xF085, 0x10DF, 0xF085, 0, false, "EM-1085"},
        {0x0021, 0xF800, 0x10DF, 0xF800, 0, false, "EM-1021"},
        {0x0028, 0xF900, 0x10DF, 0xF900, 0, false, "EM-1428"},
        {0x0038, 0xF098, 0x10DF, 0xF098, 0, false, "MW-2098"},
        // No adapter to ask for its memory size: the single-channel name.
        {0x0038, 0xF980, 0x10DF, 0xF980, 0, false, "MW-2080"},
        {0x0364, 0xF0D5, 0x10DF, 0xF0D5, 0, false, "SV-5005"},
        {0x0364, 0xFC10, 0x10DF, 0xFC10, dual, false, "SV-5010BD"},
        {0x0364, 0xFD00, 0x10DF, 0xFD22, dual, false, "SV-5000BL"},
        {0x0364, 0xFD00, 0x10DF, 0xFD00, dual, false, "SV-5000D"},
        {0x0364, 0xFD00, 0x10DF, 0xFD00, 0, false, "SV-5000"},
        {0x0510, 0xF0F5, 0x10DF, 0xF0F5, dual, false, "WY-6005D"},
        {0x0510, 0xFC30, 0x10DF, 0xFC30, 0, false, "WY-6030B"},
        {0x0510, 0xF0F8, 0x10DF, 0xF0F8, 0, false, nullptr},
        {0x0577, 0xFE05, 0x10DF, 0xFE05, 0, false, "WY-7005"},
        {0x0577, 0xF0E1, 0x10DF, 0xF0E1, 0, false, "WY-7E01"},
        {0x0577, 0xFE00, 0x10DF, 0xFE2E, 0, false, "WY-702E"},
        {0x0577, 0xFE14, 0x10DF, 0xFE14, 0, false, "WY-7014Q"},
        {0x0577, 0xFC20, 0x10DF, 0xFC2E, dual, false, "WY-7020BX"},
        {0x0577, 0xFC20, 0x10DF, 0xFC21, dual, false, "WY-7020BD"},
        {0x0577, 0xFE00, 0x10DF, 0xFE27, 0, false, "WY-7027Q"},
        {0x0577, 0xFE00, 0x103C, 0x1708, 0, false, "WY-7000BL"},
        {0x0577, 0xFE00, 0x10DF, 0xFE00, dual, false, "WY-7000D"},
        {0x1ACC, 0xF180, 0x10DF, 0xF180, 0, false, "FH-9100"},
        {0x4838, 0xF180, 0x10DF, 0xF180, 0, false, "FH-9200"},
        {0x0000, 0xFE00, 0x10DF, 0xFE00, 0, false, "Unknown"},
        {0x0999, 0xFE00, 0x10DF, 0xFE00, 0, false, "Unknown"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.jedecId << " " << c.deviceId << " " << c.subDeviceId);
        for (const char *before : {"", "OLD"}) {
            Table t(2);
            for (uint32_t i = 0; i < 2; ++i) {
                setIds(t[i], c.deviceId, c.subVendorId, c.subDeviceId);
                t[i].jedecId = c.jedecId;
                t[i].flags = c.flags;
                t[i].pciBus = 4;
                t[i].pciDevice = i;
                t[i].pciFunction = static_cast<int8_t>(i);
            }
            if (c.secondChannel)
                t[1].pciDevice = 0;
            std::strcpy(t[0].modelName, before);
            gUseVPD_ModelName = 1;
            EXPECT_EQ(selected(0), c.expected ? c.expected : before);
        }
    }
}

TEST(ModelSelect, OskaraByJedecId)
{
    const struct {
        uint16_t deviceId, subVendorId;
        uint8_t flags;
        std::string expected;
    } cases[] = {
        {0xF100, 0x10DF, ADAPTER_FLAG_DUAL_CHANNEL,
         answer(GetOskaraAdapterModelAndDesc, 0xF100, 0x10DF, 0xF100, true, 1)},
        {0xF100, 0x10DF, 0, answer(GetOskaraAdapterModelAndDesc, 0xF100, 0x10DF, 0xF100, true, 0)},
        {0xF100, 0, ADAPTER_FLAG_DUAL_CHANNEL, kOskaraFamilyBaseName},
    };
    for (const auto &c : cases) {
        Table t(1);
        setIds(t[0], c.deviceId, c.subVendorId, 0xF100);
        t[0].jedecId = 0x1004;
        t[0].flags = c.flags;
        gUseVPD_ModelName = 1;
        EXPECT_EQ(selected(0), c.expected);
    }
}

TEST(ModelSelect, FixedBaseNames)
{
    const struct {
        bool converged;
        uint16_t deviceId, subVendorId, subDeviceId;
        std::string expected;
    } cases[] = {
        {true, 0x211, 0x10DF, 0xE611, kBrindlefinFamilyBaseName},
        {true, 0x710, 0x10DF, 0xE711, kGorselFamilyBaseName},
        {true, 0x720, 0x10DF, 0xE700, kTrelmontFamilyBaseName},
        {true, 0xE220, 0x1014, 0x0451, "QN-V16CB"},
        {true, 0xE220, 0x1014, 0x0452, kVarrowFamilyBaseName},
        {false, 0xE260, 0x1014, 0x0452, "QN-V16CB"},
        {false, 0xE200, 0x10DF, 0xE201, kVarrowFamilyBaseName},
        {false, 0xFE00, 0x10DF, 0xFE00, "BW-C0000"},
    };
    for (const auto &c : cases) {
        Table t(1, 1);
        _Adapter &e = t[c.converged ? 1 : 0];
        if (c.converged) {
            e.cnaDeviceId = c.deviceId;
            e.cnaVendorId = 0x10DF;
            e.cnaSubVendorId = c.subVendorId;
            e.cnaSubDeviceId = c.subDeviceId;
        } else {
            setIds(e, c.deviceId, c.subVendorId, c.subDeviceId);
        }
        char name[ADAPTER_MODEL_NAME_BYTES] = {};
        getAdapterModel4(c.converged ? 1 : 0, name);
        EXPECT_EQ(std::string(name), c.expected) << std::hex << c.deviceId;
        EXPECT_EQ(std::strlen(name), 8u);
    }
}

TEST(ModelSelect, IndexOutsideTheTableWritesNothing)
{
    Table t(1);
    setIds(t[0], 0x724, 0x10DF, 0xE700);
    char name[ADAPTER_MODEL_NAME_BYTES] = "KEEP";
    EXPECT_EQ(getAdapterModel(1, name), 1);
    getCNAModelString4(1, name);
    _AdapterModelAndDesc r = request(0x724, 0x10DF, 0xE700);
    EXPECT_EQ(getAdapterModelV2(1, &r), 1);
    EXPECT_STREQ(name, "KEEP");
    EXPECT_STREQ(r.baseModel, "");
}

TEST(ModelSelect, Dispatcher)
{
    const struct {
        const char *what;
        uint32_t deviceId, subDeviceId;
        int (*table)(_AdapterModelAndDesc *); // null: every table refuses
    } cases[] = {
        {"gen-2 after gen-4 and gen-3 refused", 0x704, 0xE611, GetBrindlefinAdapterModelAndDesc},
        {"gen-4", 0x724, 0xE700, GetTrelmontAdapterModelAndDesc},
        {"gen-6 before Varrow", 0xE300, 0xE301, GetVarrowG6AdapterModelAndDesc},
        {"Varrow", 0xE220, 0xE201, GetVarrowAdapterModelAndDesc},
        {"Oskara", 0xF100, 0xF100, GetOskaraAdapterModelAndDesc},
        {"Varrow iSCSI", 0xE240, 0xE201, nullptr},
        {"FC HBA", 0xFE00, 0xFE00, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        _AdapterModelAndDesc got = request(c.deviceId, 0x10DF, c.subDeviceId);
        EXPECT_EQ(GetAdapterModelAndDesc(&got), c.table ? 0 : 1);
        if (!c.table)
            continue;
        _AdapterModelAndDesc want = request(c.deviceId, 0x10DF, c.subDeviceId);
        ASSERT_EQ(c.table(&want), 0);
        EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0);
    }
    EXPECT_EQ(GetAdapterModelAndDesc(nullptr), 1);
}

TEST(ModelSelect, RecordOfTheCaller)
{
    EXPECT_EQ(getAdapterModelV2(0, nullptr), 1);
    const struct {
        const char *what;
        uint16_t jedecId, deviceId, subVendorId;
        uint8_t flags;
        const char *base;       // expected baseModel; null: the table's answer
        bool familyDescKept;    // the caller's text stays where nothing wrote
    } cases[] = {
        {"gen-4 row", 0, 0x724, 0x10DF, 0, nullptr, false},
        {"Varrow blade refused: no blade name", 0, 0xE260, 0, 0, kVarrowFamilyBaseName, true},
        {"gen-4 refused", 0, 0x724, 0, 0, kTrelmontFamilyBaseName, true},
        {"Oskara refused, two ports", 0x1004, 0xF100, 0, ADAPTER_FLAG_DUAL_CHANNEL, kOskaraTwoPortBaseName, true},
        {"Oskara refused, one port", 0x1004, 0xF100, 0, 0, kOskaraFamilyBaseName, true},
        {"legacy", 0x0012, 0xF0A1, 0x10DF, 0, "KD-4010", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Table t(1);
        setIds(t[0], c.deviceId, c.subVendorId, c.deviceId == 0xE260 ? 0xE263 : 0xE700);
        if (c.deviceId == 0xE260)
            t[0].vendorId = 0; // refused by an id of 0, though a blade board
        t[0].jedecId = c.jedecId;
        t[0].flags = c.flags;
        gUseVPD_ModelName = 1;
        _AdapterModelAndDesc r;
        std::memset(&r, 0, sizeof r);
        std::strcpy(r.familyDesc, "CALLER");
        EXPECT_EQ(getAdapterModelV2(0, &r), 0);
        if (c.base) {
            EXPECT_STREQ(r.baseModel, c.base);
        } else {
            _AdapterModelAndDesc want = request(0x724, 0x10DF, 0xE700);
            ASSERT_EQ(GetTrelmontAdapterModelAndDesc(&want), 0);
            EXPECT_STREQ(r.model, want.model);
            EXPECT_STREQ(r.familyDesc, want.familyDesc);
            EXPECT_STREQ(r.desc, want.desc);
            EXPECT_STREQ(r.baseModel, want.baseModel);
        }
        EXPECT_EQ(std::string(r.familyDesc) == "CALLER", c.familyDescKept);
    }
}

} // namespace
