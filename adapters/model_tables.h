// Model tables: the request record every family table takes and fills, the
// row layout of the tables and the one lookup rule they all follow.
#ifndef HLVD_ADAPTERS_MODEL_TABLES_H
#define HLVD_ADAPTERS_MODEL_TABLES_H

#include <cstdint>

// Size of each text field of the request.
constexpr uint32_t MODEL_TEXT_FIELD = 256;

#pragma pack(push, 1)
// Request and result of one table lookup. The caller zeroes it, sets the
// four ids, each capacity to 256 and dualPort.
struct _AdapterModelAndDesc {
    uint32_t deviceId;
    uint32_t vendorId;
    uint32_t subDeviceId;
    uint32_t subVendorId;
    uint32_t modelLen;
    uint32_t familyDescLen;
    uint32_t descLen;
    uint32_t baseModelLen;
    uint32_t dualPort;  // 1 when the adapter entry carries the dual-channel flag
    char model[MODEL_TEXT_FIELD];
    char familyDesc[MODEL_TEXT_FIELD];
    char desc[MODEL_TEXT_FIELD];
    char baseModel[MODEL_TEXT_FIELD];
};
#pragma pack(pop)
static_assert(sizeof(_AdapterModelAndDesc) == 9 * 4 + 4 * 256, "model request layout");

// The four texts a row or default writes, in the order they are written.
// A null baseModel leaves the text the table's pre-step wrote.
struct ModelTexts {
    const char *model;
    const char *familyDesc;
    const char *desc;
    const char *baseModel;
};

// One row: its key, compared in the order vendor, device, subsystem vendor,
// subsystem device, and its texts. twoPort, when not null, holds the texts
// answered instead when the request's dualPort is 1.
struct ModelTableRow {
    uint32_t vendorId;
    uint32_t deviceId;
    uint32_t subVendorId;
    uint32_t subDeviceId;
    ModelTexts texts;
    const ModelTexts *twoPort;
};

// A default answers when no row matched. It is keyed on the device id alone;
// 0 answers any device id, so a table's last default has 0.
struct ModelTableDefault {
    uint32_t deviceId;
    ModelTexts texts;
    const ModelTexts *twoPort;
};

// One family table.
struct ModelTable {
    int (*guard)(int32_t deviceId);   // family board predicate on the device id
    const char *preStepBaseModel;     // written to baseModel before any row; null: no pre-step
    const ModelTableRow *rows;        // tried in this order; the first match answers
    uint32_t rowCount;
    const ModelTableDefault *defaults; // tried in this order when no row matched
    uint32_t defaultCount;
};

// The common lookup rule over one table. 1: refused (a capacity below 256,
// an id of 0, or the guard rejects the device id), nothing written. 0: the
// first matching row's texts, or else the first fitting default's, written
// as terminated strings bounded by each field's capacity minus 1 (and never
// past the field itself).
int LookupAdapterModel(_AdapterModelAndDesc *request, const ModelTable *table);

// The six family tables: 0 texts written, 1 refused and nothing written.
int GetTrelmontAdapterModelAndDesc(_AdapterModelAndDesc *request);
int GetGorselAdapterModelAndDesc(_AdapterModelAndDesc *request);
int GetBrindlefinAdapterModelAndDesc(_AdapterModelAndDesc *request);
int GetVarrowG6AdapterModelAndDesc(_AdapterModelAndDesc *request);
int GetVarrowAdapterModelAndDesc(_AdapterModelAndDesc *request);
int GetOskaraAdapterModelAndDesc(_AdapterModelAndDesc *request);

// Their data, one table per family (walked by the tests as well).
extern const ModelTable kTrelmontModelTable;   // model_table_gen4.cpp
extern const ModelTable kGorselModelTable;     // model_table_gen3.cpp
extern const ModelTable kBrindlefinModelTable; // model_table_gen2.cpp
extern const ModelTable kVarrowG6ModelTable;   // model_table_fc.cpp
extern const ModelTable kVarrowModelTable;     // model_table_varrow.cpp
extern const ModelTable kOskaraModelTable;     // model_table_fc.cpp

// Family base names that the tables write and that the model-name selection
// writes as its fixed fall-backs too (8 characters each).
extern const char kBrindlefinFamilyBaseName[]; // gen-2 converged
extern const char kGorselFamilyBaseName[];     // gen-3 converged
extern const char kVarrowG6FamilyBaseName[];   // gen-6 Varrow FC
extern const char kOskaraFamilyBaseName[];     // Oskara, one-port
extern const char kOskaraTwoPortBaseName[];    // Oskara, two-port

#endif
