// The gen-4 converged (Trelmont) and Varrow model tables: their shape as the
// adapters' product data fixes it, and the answers of the lookup.
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "adapters/model_select.h"
#include "adapters/model_tables.h"

namespace {

typedef int (*TableCall)(_AdapterModelAndDesc *);

_AdapterModelAndDesc request(uint32_t deviceId, uint32_t subVendorId, uint32_t subDeviceId,
                             uint32_t vendorId = 0x10DF)
{
    _AdapterModelAndDesc r;
    std::memset(&r, 0, sizeof r);
    r.deviceId = deviceId;
    r.vendorId = vendorId;
    r.subDeviceId = subDeviceId;
    r.subVendorId = subVendorId;
    r.modelLen = r.familyDescLen = r.descLen = r.baseModelLen = 256;
    return r;
}

struct Shape {
    const char *name;
    const ModelTable *table;
    uint32_t rows;
    std::map<uint32_t, uint32_t> perDevice;
    std::map<uint32_t, uint32_t> perSubVendor;
    uint32_t subDevices;
    uint32_t pairsUnderAllThree;
    uint32_t pairsUnderTwo; // under exactly two device ids
};

std::vector<Shape> shapes()
{
    return {
        {"Trelmont", &kTrelmontModelTable, 334, {{0x720, 160}, {0x722, 87}, {0x724, 87}},
         {{0x10DF, 254}, {0x1734, 20}, {0x103C, 19}, {0x1054, 9}, {0x152D, 8}, {0x17AA, 7}, {0x1028, 6},
          {0x19E5, 6}, {0x1590, 3}, {0x1120, 2}},
         164, 84, 2},
        {"Varrow", &kVarrowModelTable, 117, {{0xE220, 35}, {0xE260, 24}, {0xE200, 58}},
         {{0x10DF, 72}, {0x1014, 27}, {0x103C, 6}, {0x19E5, 5}, {0x17AA, 2}, {0x1BD4, 2}, {0x1054, 1},
          {0x1590, 1}, {0x1734, 1}},
         95, 7, 8},
    };
}

TEST(Gen4VarrowTables, ShapeAndCounts)
{
    for (const Shape &s : shapes()) {
        SCOPED_TRACE(s.name);
        const ModelTable &t = *s.table;
        ASSERT_EQ(t.rowCount, s.rows);
        std::map<uint32_t, uint32_t> perDevice, perSubVendor;
        std::map<uint32_t, std::set<uint32_t>> vendorsOfSubDevice, devicesOfSubDevice;
        std::map<uint32_t, std::set<std::string>> familyDescs;
        std::set<uint32_t> devicesSeen;
        uint32_t lastDevice = 0;
        for (uint32_t i = 0; i < t.rowCount; ++i) {
            const ModelTableRow &row = t.rows[i];
            EXPECT_EQ(row.vendorId, 0x10DFu);
            EXPECT_EQ(row.twoPort, nullptr);
            // Rows stand grouped by device id.
            if (row.deviceId != lastDevice) {
                EXPECT_TRUE(devicesSeen.insert(row.deviceId).second) << std::hex << row.deviceId;
                lastDevice = row.deviceId;
            }
            ++perDevice[row.deviceId];
            ++perSubVendor[row.subVendorId];
            vendorsOfSubDevice[row.subDeviceId].insert(row.subVendorId);
            EXPECT_TRUE(devicesOfSubDevice[row.subDeviceId].insert(row.deviceId).second)
                << "subsystem device id twice under one device id: " << std::hex << row.subDeviceId;
            familyDescs[row.deviceId].insert(row.texts.familyDesc);
            // Selection writes the model into an 80-byte name of at most 16 characters.
            EXPECT_GT(std::strlen(row.texts.model), 0u);
            EXPECT_LE(std::strlen(row.texts.model), 16u);
            EXPECT_LE(std::strlen(row.texts.desc), 84u);
            EXPECT_NE(std::string(row.texts.familyDesc).find("Port x"), std::string::npos);
        }
        EXPECT_EQ(perDevice, s.perDevice);
        EXPECT_EQ(perSubVendor, s.perSubVendor);
        EXPECT_EQ(vendorsOfSubDevice.size(), s.subDevices);
        uint32_t underAll = 0, underTwo = 0;
        for (const auto &v : vendorsOfSubDevice)
            EXPECT_EQ(v.second.size(), 1u) << "subsystem device id with two vendors: " << std::hex << v.first;
        for (const auto &d : devicesOfSubDevice) {
            underAll += d.second.size() == 3;
            underTwo += d.second.size() == 2;
        }
        EXPECT_EQ(underAll, s.pairsUnderAllThree);
        EXPECT_EQ(underTwo, s.pairsUnderTwo);
        for (const auto &f : familyDescs)
            EXPECT_EQ(f.second.size(), 1u) << "one family description per device id";
    }
}

TEST(Gen4VarrowTables, RowTextsFollowTheirRules)
{
    // Trelmont: no row carries a base model (the pre-step writes it).
    for (uint32_t i = 0; i < kTrelmontModelTable.rowCount; ++i)
        EXPECT_EQ(kTrelmontModelTable.rows[i].texts.baseModel, nullptr);
    EXPECT_STREQ(kTrelmontModelTable.preStepBaseModel, kTrelmontFamilyBaseName);
    EXPECT_EQ(std::strlen(kTrelmontFamilyBaseName), 8u);

    // Varrow: base models per row.
    EXPECT_EQ(kVarrowModelTable.preStepBaseModel, nullptr);
    EXPECT_EQ(std::strlen(kVarrowFamilyBaseName), 8u);
    std::set<std::string> bases;
    std::map<std::string, uint32_t> convergedBases;
    uint32_t fcWithFamilyBase = 0;
    std::set<std::string> fcOtherBases;
    for (uint32_t i = 0; i < kVarrowModelTable.rowCount; ++i) {
        const ModelTableRow &row = kVarrowModelTable.rows[i];
        ASSERT_NE(row.texts.baseModel, nullptr);
        const std::string base = row.texts.baseModel;
        bases.insert(base);
        if (row.deviceId == 0xE200) {
            if (base == kVarrowFamilyBaseName)
                ++fcWithFamilyBase;
            else
                fcOtherBases.insert(base);
        } else {
            ++convergedBases[base];
            // NIC and FCoE boards come from our own and one partner's line only.
            EXPECT_TRUE(row.subVendorId == 0x10DF || row.subVendorId == 0x1014);
        }
    }
    EXPECT_EQ(bases.size(), 13u);
    EXPECT_EQ(fcWithFamilyBase, 8u);
    EXPECT_EQ(fcOtherBases.size(), 11u);
    ASSERT_EQ(convergedBases.size(), 2u);
    EXPECT_EQ(convergedBases[kVarrowFamilyBaseName], 13u);
    EXPECT_EQ(fcOtherBases.count(kVarrowFamilyBaseName), 0u);
}

TEST(Gen4VarrowTables, EveryRowAnswersWithItsTexts)
{
    const struct {
        TableCall call;
        const ModelTable *table;
    } tables[] = {{GetTrelmontAdapterModelAndDesc, &kTrelmontModelTable},
                  {GetVarrowAdapterModelAndDesc, &kVarrowModelTable}};
    for (const auto &t : tables) {
        for (uint32_t i = 0; i < t.table->rowCount; ++i) {
            const ModelTableRow &row = t.table->rows[i];
            _AdapterModelAndDesc r = request(row.deviceId, row.subVendorId, row.subDeviceId);
            ASSERT_EQ(t.call(&r), 0);
            EXPECT_STREQ(r.model, row.texts.model);
            EXPECT_STREQ(r.familyDesc, row.texts.familyDesc);
            EXPECT_STREQ(r.desc, row.texts.desc);
            EXPECT_STREQ(r.baseModel, row.texts.baseModel ? row.texts.baseModel : kTrelmontFamilyBaseName);
        }
    }
}

// The family description of a device id's rows.
std::string rowFamilyDesc(const ModelTable &t, uint32_t deviceId)
{
    for (uint32_t i = 0; i < t.rowCount; ++i)
        if (t.rows[i].deviceId == deviceId)
            return t.rows[i].texts.familyDesc;
    return std::string();
}

TEST(Gen4VarrowTables, Refusals)
{
    const char sentinel = 'Z';
    const struct {
        const char *what;
        TableCall call;
        uint32_t deviceId, vendorId, subVendorId, subDeviceId;
        int shortField; // -1: none, else 0..3 is given the capacity 255
    } cases[] = {
        {"model capacity 255", GetTrelmontAdapterModelAndDesc, 0x724, 0x10DF, 0x10DF, 0xE700, 0},
        {"family capacity 255", GetTrelmontAdapterModelAndDesc, 0x724, 0x10DF, 0x10DF, 0xE700, 1},
        {"desc capacity 255", GetVarrowAdapterModelAndDesc, 0xE200, 0x10DF, 0x10DF, 0xE201, 2},
        {"base capacity 255", GetVarrowAdapterModelAndDesc, 0xE200, 0x10DF, 0x10DF, 0xE201, 3},
        {"subsystem vendor 0", GetTrelmontAdapterModelAndDesc, 0x724, 0x10DF, 0, 0xE700, -1},
        {"subsystem vendor 0", GetVarrowAdapterModelAndDesc, 0xE200, 0x10DF, 0, 0xE201, -1},
        {"vendor 0", GetVarrowAdapterModelAndDesc, 0xE200, 0, 0x10DF, 0xE201, -1},
        {"gen-3 id", GetTrelmontAdapterModelAndDesc, 0x714, 0x10DF, 0x10DF, 0xE700, -1},
        {"Varrow id", GetTrelmontAdapterModelAndDesc, 0xE220, 0x10DF, 0x10DF, 0xE201, -1},
        {"Varrow iSCSI", GetVarrowAdapterModelAndDesc, 0xE240, 0x10DF, 0x10DF, 0xE201, -1},
        {"gen-4 id", GetVarrowAdapterModelAndDesc, 0x720, 0x10DF, 0x10DF, 0xE700, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        _AdapterModelAndDesc r = request(c.deviceId, c.subVendorId, c.subDeviceId, c.vendorId);
        for (char *field : {r.model, r.familyDesc, r.desc, r.baseModel})
            std::memset(field, sentinel, MODEL_TEXT_FIELD);
        uint32_t *caps[] = {&r.modelLen, &r.familyDescLen, &r.descLen, &r.baseModelLen};
        if (c.shortField >= 0)
            *caps[c.shortField] = 255;
        EXPECT_EQ(c.call(&r), 1);
        for (const char *field : {r.model, r.familyDesc, r.desc, r.baseModel})
            for (size_t i = 0; i < 256; ++i)
                ASSERT_EQ(field[i], sentinel);
    }
}

TEST(Gen4VarrowTables, Defaults)
{
    const std::string generic = "Orvane Braidway T4-Series";
    const std::string fcGeneric = "Orvane Quillnet Fibre Channel Adapter";
    const std::string fcoeGeneric = "Orvane Quillnet FCoE Adapter, Port x";
    const struct {
        const char *what;
        TableCall call;
        uint32_t deviceId, vendorId, subVendorId, subDeviceId;
        std::string familyAndDesc;
        const char *modelAndBase;
    } cases[] = {
        {"FCoE, no row", GetTrelmontAdapterModelAndDesc, 0x724, 0x10DF, 0x10DF, 0x0001,
         rowFamilyDesc(kTrelmontModelTable, 0x724), kTrelmontFamilyBaseName},
        {"iSCSI, no row", GetTrelmontAdapterModelAndDesc, 0x722, 0x10DF, 0x10DF, 0x0001,
         rowFamilyDesc(kTrelmontModelTable, 0x722), kTrelmontFamilyBaseName},
        {"NIC, other vendor", GetTrelmontAdapterModelAndDesc, 0x720, 0x1234, 0x10DF, 0xE700,
         rowFamilyDesc(kTrelmontModelTable, 0x720), kTrelmontFamilyBaseName},
        {"0x72B", GetTrelmontAdapterModelAndDesc, 0x72B, 0x10DF, 0x10DF, 0xE700, generic, kTrelmontFamilyBaseName},
        {"0x728", GetTrelmontAdapterModelAndDesc, 0x728, 0x10DF, 0x10DF, 0xE700, generic, kTrelmontFamilyBaseName},
        {"gen-6 id", GetVarrowAdapterModelAndDesc, 0xE300, 0x10DF, 0x10DF, 0xE300, fcGeneric, kVarrowFamilyBaseName},
        {"FCoE, no row", GetVarrowAdapterModelAndDesc, 0xE260, 0x10DF, 0x10DF, 0x0001, fcGeneric,
         kVarrowFamilyBaseName},
        {"NIC, no row", GetVarrowAdapterModelAndDesc, 0xE220, 0x10DF, 0x10DF, 0x0001, fcoeGeneric,
         kVarrowFamilyBaseName},
        {"FC, other vendor", GetVarrowAdapterModelAndDesc, 0xE200, 0x1234, 0x10DF, 0xE201, fcGeneric,
         kVarrowFamilyBaseName},
        {"0xE228", GetVarrowAdapterModelAndDesc, 0xE228, 0x10DF, 0x10DF, 0xE201, fcGeneric, kVarrowFamilyBaseName},
    };
    ASSERT_FALSE(rowFamilyDesc(kTrelmontModelTable, 0x722).empty());
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        _AdapterModelAndDesc r = request(c.deviceId, c.subVendorId, c.subDeviceId, c.vendorId);
        ASSERT_EQ(c.call(&r), 0);
        EXPECT_EQ(c.familyAndDesc, r.familyDesc);
        EXPECT_EQ(c.familyAndDesc, r.desc);
        EXPECT_STREQ(r.model, c.modelAndBase);
        EXPECT_STREQ(r.baseModel, c.modelAndBase);
    }
    // The generic texts: with a port placeholder only where a port is meant.
    EXPECT_EQ(generic.find("Port x"), std::string::npos);
    EXPECT_EQ(fcGeneric.find("Port x"), std::string::npos);
    EXPECT_EQ(rowFamilyDesc(kVarrowModelTable, 0xE200), fcGeneric + ", Port x");
    EXPECT_EQ(rowFamilyDesc(kTrelmontModelTable, 0x722), generic + ", iSCSI initiator, Port x");
}

} // namespace
