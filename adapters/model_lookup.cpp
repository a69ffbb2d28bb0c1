// The lookup rule shared by every family model table.
#include "adapters/model_tables.h"

#include <cstddef>
#include <cstring>

namespace {

// Copies text as a terminated string of at most capacity - 1 bytes,
// terminator included. A capacity larger than the field is not trusted.
void putText(char *field, uint32_t capacity, const char *text) {
    // Callers pass capacities of 256 or more (refused otherwise).
    size_t room = capacity < MODEL_TEXT_FIELD ? capacity : MODEL_TEXT_FIELD;
    size_t len = strnlen(text, room - 2);  // room - 1 bytes, terminator included
    memcpy(field, text, len);
    field[len] = '\0';
}

void putTexts(_AdapterModelAndDesc *r, const ModelTexts &t) {
    putText(r->model, r->modelLen, t.model);
    putText(r->familyDesc, r->familyDescLen, t.familyDesc);
    putText(r->desc, r->descLen, t.desc);
    if (t.baseModel) putText(r->baseModel, r->baseModelLen, t.baseModel);
}

const ModelTexts &choose(const ModelTexts &onePort, const ModelTexts *twoPort, uint32_t dualPort) {
    return (twoPort && dualPort == 1) ? *twoPort : onePort;
}

}  // namespace

int LookupAdapterModel(_AdapterModelAndDesc *r, const ModelTable *table) {
    if (r->modelLen < MODEL_TEXT_FIELD || r->familyDescLen < MODEL_TEXT_FIELD || r->descLen < MODEL_TEXT_FIELD ||
        r->baseModelLen < MODEL_TEXT_FIELD)
        return 1;
    if (r->deviceId == 0 || r->vendorId == 0 || r->subDeviceId == 0 || r->subVendorId == 0) return 1;
    if (!table->guard(static_cast<int32_t>(r->deviceId))) return 1;

    if (table->preStepBaseModel) putText(r->baseModel, r->baseModelLen, table->preStepBaseModel);

    for (uint32_t i = 0; i < table->rowCount; ++i) {
        const ModelTableRow &row = table->rows[i];
        if (row.vendorId == r->vendorId && row.deviceId == r->deviceId && row.subVendorId == r->subVendorId &&
            row.subDeviceId == r->subDeviceId) {
            putTexts(r, choose(row.texts, row.twoPort, r->dualPort));
            return 0;
        }
    }
    for (uint32_t i = 0; i < table->defaultCount; ++i) {
        const ModelTableDefault &d = table->defaults[i];
        if (d.deviceId == 0 || d.deviceId == r->deviceId) {
            putTexts(r, choose(d.texts, d.twoPort, r->dualPort));
            return 0;
        }
    }
    // Every table ends its defaults with one for any device id; without it
    // nothing fits, and texts half written must not pass for an answer.
    return 1;
}
