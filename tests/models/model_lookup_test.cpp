// The lookup rule every model table follows: refusals, pre-step, first
// matching row, defaults, dual-port variants and bounded copies, through
// small tables of its own and through the FC and gen-2/gen-3 tables.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "adapters/board_predicates.h"
#include "adapters/model_tables.h"

namespace {

typedef int (*TableCall)(_AdapterModelAndDesc *);

// A request as a caller builds it; the text fields hold a pattern so that a
// write that should not happen shows.
_AdapterModelAndDesc request(uint32_t deviceId, uint32_t vendorId, uint32_t subDeviceId, uint32_t subVendorId,
                             uint32_t dualPort = 0)
{
    _AdapterModelAndDesc r;
    std::memset(&r, 0, sizeof r);
    for (char *field : {r.model, r.familyDesc, r.desc, r.baseModel})
        std::memset(field, 0x5A, MODEL_TEXT_FIELD);
    r.deviceId = deviceId;
    r.vendorId = vendorId;
    r.subDeviceId = subDeviceId;
    r.subVendorId = subVendorId;
    r.modelLen = r.familyDescLen = r.descLen = r.baseModelLen = 256;
    r.dualPort = dualPort;
    return r;
}

int anyDevice(int32_t deviceId) { return deviceId != 0x99; }

const std::string kLong(300, 'L');
const ModelTexts kTwo = {"two-model", "two-family", "two-desc", "two-base"};
const ModelTableRow kRows[] = {
    {0x10, 0x20, 0x30, 0x40, {"first", "fam", "desc", nullptr}, nullptr},
    {0x10, 0x20, 0x30, 0x40, {"second", "fam", "desc", nullptr}, nullptr},
    {0x10, 0x21, 0x30, 0x40, {"ported", "fam", "desc", "own-base"}, &kTwo},
    {0x10, 0x22, 0x30, 0x40, {kLong.c_str(), "fam", "desc", kLong.c_str()}, nullptr},
};
const ModelTableDefault kDefaults[] = {
    {0x25, {"default-25", "dfam", "ddesc", nullptr}, nullptr},
    {0, {"default-any", "dfam", "ddesc", nullptr}, &kTwo},
};
const ModelTable kTable = {anyDevice, "pre-base", kRows, 4, kDefaults, 2};

int lookup(_AdapterModelAndDesc *r) { return LookupAdapterModel(r, &kTable); }

TEST(ModelLookupRule, RefusalsWriteNothing)
{
    const struct {
        const char *what;
        TableCall call;
        _AdapterModelAndDesc r;
    } base[] = {
        {"own table", lookup, request(0x20, 0x10, 0x40, 0x30)},
        {"gen-6 FC", GetVarrowG6AdapterModelAndDesc, request(0xE300, 0x10DF, 0xE300, 0x10DF)},
        {"Oskara", GetOskaraAdapterModelAndDesc, request(0xF100, 0x10DF, 0xF100, 0x10DF, 1)},
        {"gen-3", GetGorselAdapterModelAndDesc, request(0x714, 0x19A2, 0xE730, 0x10DF)},
        {"gen-2", GetBrindlefinAdapterModelAndDesc, request(0x704, 0x19A2, 0xE620, 0x10DF)},
    };
    for (const auto &b : base) {
        SCOPED_TRACE(b.what);
        // Each of the four capacities one short, and each id 0.
        for (int i = 0; i < 8; ++i) {
            _AdapterModelAndDesc r = b.r;
            uint32_t *fields[] = {&r.modelLen, &r.familyDescLen, &r.descLen, &r.baseModelLen,
                                  &r.deviceId, &r.vendorId, &r.subDeviceId, &r.subVendorId};
            *fields[i] = i < 4 ? 255 : 0;
            _AdapterModelAndDesc before = r;
            EXPECT_EQ(1, b.call(&r)) << "field " << i;
            EXPECT_EQ(0, std::memcmp(&before, &r, sizeof r)) << "field " << i;
        }
        _AdapterModelAndDesc r = b.r;
        EXPECT_EQ(0, b.call(&r));
    }

    // Guards: another family's device id, and the Varrow ids the gen-6 table does not own.
    const struct {
        TableCall call;
        uint32_t deviceId;
    } guards[] = {
        {lookup, 0x99},
        {GetGorselAdapterModelAndDesc, 0x724}, // gen-4
        {GetGorselAdapterModelAndDesc, 0x704}, // gen-2
        {GetBrindlefinAdapterModelAndDesc, 0x714},
        {GetBrindlefinAdapterModelAndDesc, 0x724},
        {GetVarrowG6AdapterModelAndDesc, 0xE200},
        {GetVarrowG6AdapterModelAndDesc, 0xF100},
        {GetOskaraAdapterModelAndDesc, 0xE300},
        {GetOskaraAdapterModelAndDesc, 0xF0E5},
    };
    for (const auto &g : guards) {
        _AdapterModelAndDesc r = request(g.deviceId, 0x10DF, 0x1234, 0x10DF);
        _AdapterModelAndDesc before = r;
        EXPECT_EQ(1, g.call(&r)) << std::hex << g.deviceId;
        EXPECT_EQ(0, std::memcmp(&before, &r, sizeof r)) << std::hex << g.deviceId;
    }
}

TEST(ModelLookupRule, RowsDefaultsAndVariants)
{
    const struct {
        uint32_t deviceId, vendorId, subDeviceId, subVendorId, dualPort;
        const char *model, *familyDesc, *baseModel;
    } cases[] = {
        {0x20, 0x10, 0x40, 0x30, 0, "first", "fam", "pre-base"}, // the earlier of two equal keys
        {0x20, 0x10, 0x40, 0x30, 1, "first", "fam", "pre-base"}, // no variant: dualPort is not read
        {0x21, 0x10, 0x40, 0x30, 0, "ported", "fam", "own-base"},
        {0x21, 0x10, 0x40, 0x30, 1, "two-model", "two-family", "two-base"},
        {0x21, 0x10, 0x40, 0x30, 2, "ported", "fam", "own-base"}, // only 1 means two ports
        // Each key field on its own decides: vendor, device, subsystem vendor, subsystem device.
        {0x20, 0x11, 0x40, 0x30, 0, "default-any", "dfam", "pre-base"},
        {0x25, 0x10, 0x40, 0x30, 0, "default-25", "dfam", "pre-base"},
        {0x20, 0x10, 0x40, 0x31, 0, "default-any", "dfam", "pre-base"},
        {0x20, 0x10, 0x41, 0x30, 0, "default-any", "dfam", "pre-base"},
        {0x26, 0x10, 0x40, 0x30, 1, "two-model", "two-family", "two-base"},
    };
    for (const auto &c : cases) {
        _AdapterModelAndDesc r = request(c.deviceId, c.vendorId, c.subDeviceId, c.subVendorId, c.dualPort);
        SCOPED_TRACE(c.model);
        ASSERT_EQ(0, lookup(&r));
        EXPECT_STREQ(c.model, r.model);
        EXPECT_STREQ(c.familyDesc, r.familyDesc);
        EXPECT_STREQ(c.baseModel, r.baseModel);
    }
}

// A text longer than the field keeps capacity - 2 characters; a capacity
// above the field's own size never lets a copy run past the field.
TEST(ModelLookupRule, CopiesAreBounded)
{
    const uint32_t capacities[] = {256, 257, 300, 0xFFFFFFFFu};
    for (uint32_t cap : capacities) {
        _AdapterModelAndDesc r = request(0x22, 0x10, 0x40, 0x30);
        r.modelLen = r.baseModelLen = cap;
        ASSERT_EQ(0, lookup(&r)) << cap;
        EXPECT_EQ(std::string(254, 'L'), std::string(r.model)) << cap;
        EXPECT_EQ(0x5A, static_cast<unsigned char>(r.model[255])) << cap;
        EXPECT_STREQ("fam", r.familyDesc) << cap;
        EXPECT_EQ(std::string(254, 'L'), std::string(r.baseModel)) << cap;
    }
}

// Every row of the four tables answers its own key with its own texts (the
// earlier row for the key that stands twice), all four set, none empty.
TEST(ModelLookupRule, EveryRowAnswersItsKey)
{
    const struct {
        const char *name;
        const ModelTable *table;
        TableCall call;
    } tables[] = {
        {"gen-6 FC", &kVarrowG6ModelTable, GetVarrowG6AdapterModelAndDesc},
        {"Oskara", &kOskaraModelTable, GetOskaraAdapterModelAndDesc},
        {"gen-3", &kGorselModelTable, GetGorselAdapterModelAndDesc},
        {"gen-2", &kBrindlefinModelTable, GetBrindlefinAdapterModelAndDesc},
    };
    for (const auto &t : tables) {
        SCOPED_TRACE(t.name);
        for (uint32_t i = 0; i < t.table->rowCount; ++i) {
            const ModelTableRow &row = t.table->rows[i];
            uint32_t first = i;
            for (uint32_t j = 0; j < i; ++j) {
                const ModelTableRow &e = t.table->rows[j];
                if (e.vendorId == row.vendorId && e.deviceId == row.deviceId && e.subVendorId == row.subVendorId &&
                    e.subDeviceId == row.subDeviceId) {
                    first = j;
                    break;
                }
            }
            for (uint32_t dual = 0; dual < 2; ++dual) {
                const ModelTableRow &answer = t.table->rows[first];
                const ModelTexts &want = (dual && answer.twoPort) ? *answer.twoPort : answer.texts;
                _AdapterModelAndDesc r = request(row.deviceId, row.vendorId, row.subDeviceId, row.subVendorId, dual);
                ASSERT_EQ(0, t.call(&r)) << i;
                EXPECT_STREQ(want.model, r.model) << i;
                EXPECT_STREQ(want.familyDesc, r.familyDesc) << i;
                EXPECT_STREQ(want.desc, r.desc) << i;
                EXPECT_STREQ(want.baseModel ? want.baseModel : t.table->preStepBaseModel, r.baseModel) << i;
                for (const char *text : {r.model, r.familyDesc, r.desc, r.baseModel})
                    EXPECT_GT(std::strlen(text), 0u) << i;
            }
        }
    }
}

} // namespace
