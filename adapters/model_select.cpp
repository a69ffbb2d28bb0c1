// Model name selection for the entries of the adapter table.
#include "adapters/model_select.h"

#include <cstdio>
#include <cstring>

#include "adapters/board_predicates.h"
#include "adapters/model_tables.h"
#include "hba/adapter_family.h"

namespace {

// Fixed base names that only the selection writes (8 characters each).
const char kVarrowCnaBladeBaseName[] = "QN-V16CB";
const char kConvergedBaseName[] = "BW-C0000";

const char kUnknownModel[] = "Unknown";

// Written bounded by the capacity minus 1, terminator included, as the
// tables write their texts.
void copyModelName(char *destination, const char *text)
{
    if (destination == text)
        return;
    std::snprintf(destination, ADAPTER_MODEL_NAME_BYTES - 1, "%s", text);
}

void buildRequest(const _Adapter &entry, _AdapterModelAndDesc *request)
{
    // An entry carries only one side's ids, so OR takes whichever is set.
    request->deviceId = entry.deviceId | entry.cnaDeviceId;
    request->vendorId = entry.vendorId | entry.cnaVendorId;
    request->subDeviceId = entry.subDeviceId | entry.cnaSubDeviceId;
    request->subVendorId = entry.subVendorId | entry.cnaSubVendorId;
    request->modelLen = MODEL_TEXT_FIELD;
    request->familyDescLen = MODEL_TEXT_FIELD;
    request->descLen = MODEL_TEXT_FIELD;
    request->baseModelLen = MODEL_TEXT_FIELD;
    request->dualPort = (entry.flags & ADAPTER_FLAG_DUAL_CHANNEL) ? 1 : 0;
}

const char *convergedBaseName(const _Adapter &entry)
{
    int32_t deviceId = entry.deviceId ? entry.deviceId : static_cast<int32_t>(entry.cnaDeviceId);
    int32_t vendorId = entry.vendorId ? entry.vendorId : static_cast<int32_t>(entry.cnaVendorId);
    int32_t subDeviceId = entry.subDeviceId ? entry.subDeviceId : static_cast<int32_t>(entry.cnaSubDeviceId);
    int32_t subVendorId = entry.subVendorId ? entry.subVendorId : static_cast<int32_t>(entry.cnaSubVendorId);
    if (isBrindlefinBoard(deviceId))
        return kBrindlefinFamilyBaseName;
    if (isGorselBoard(deviceId))
        return kGorselFamilyBaseName;
    if (isVarrowBoard(deviceId))
        return isVarrowCNABladeBoard(deviceId, vendorId, subDeviceId, subVendorId) ? kVarrowCnaBladeBaseName
                                                                                    : kVarrowFamilyBaseName;
    if (isTrelmontBoard(deviceId))
        return kTrelmontFamilyBaseName;
    return kConvergedBaseName;
}

// Older FC HBAs, named by their JEDEC id. Null: the destination keeps what
// it holds.
const char *legacyModelName(uint8_t index, const _Adapter &entry)
{
    const uint16_t deviceId = entry.deviceId;
    const uint16_t subDeviceId = entry.subDeviceId;
    const bool dual = (entry.flags & ADAPTER_FLAG_DUAL_CHANNEL) != 0;
    switch (entry.jedecId) {
    case 0x0012:
        switch (deviceId) {
        case 0xF0A1:
            return "KD-4010";
        case 0xFC01:
            return "KD-4010B";
        case 0xF0A5:
            return IsItDC(index) == 1 ? "KD-4020D" : "KD-4020";
        case 0xFA00:
            return IsItDC(index) == 1 ? "KD-4000D" : "KD-4000";
        case 0xFC00:
            return IsItDC(index) == 1 ? "KD-4000BD" : "KD-4000B";
        case 0xFC05:
            return IsItDC(index) == 1 ? "KD-4025BD" : "KD-4025B";
        default:
            return nullptr;
        }
    case 0x0020:
        return "EM-1000";
    case 0x0021:
        return deviceId == 0xF085 ? "EM-1085" : "EM-1021";
    case 0x0025:
        return deviceId == 0xF085 ? "EM-1285" : "EM-1225";
    case 0x0026:
        return deviceId == 0xF095 ? "EM-1395" : "EM-1326";
    case 0x0028:
        return deviceId == 0xF095 ? "EM-1495" : "EM-1428";
    case 0x0038:
        if (deviceId == 0xF098)
            return "MW-2098";
        return AdapterFamily(index) == ADAPTER_FAMILY_DUAL_CHANNEL ? "MW-2080D" : "MW-2080";
    case 0x0364:
        switch (deviceId) {
        case 0xF0D5:
            return "SV-5005";
        case 0xF0D1:
            return "SV-5001";
        case 0xFD11:
            return "SV-5011";
        case 0xFD12:
            return "SV-5012";
        case 0xFC10:
            return dual ? "SV-5010BD" : "SV-5010B";
        default:
            break;
        }
        if (isSolvaneBladeBoard(deviceId, entry.vendorId, subDeviceId, entry.subVendorId))
            return "SV-5000BL";
        return dual ? "SV-5000D" : "SV-5000";
    case 0x0510:
        switch (deviceId) {
        case 0xF0F6:
            return "WY-6006";
        case 0xF0F7:
            return "WY-6007";
        case 0xFC30:
            return "WY-6030B";
        case 0xF0F5:
            return dual ? "WY-6005D" : "WY-6005";
        default:
            return nullptr;
        }
    case 0x0577:
        if (deviceId == 0xFE05)
            return dual ? "WY-7005D" : "WY-7005";
        if (deviceId == 0xF0E5)
            return "WY-7E05";
        if (deviceId == 0xF0E1)
            return "WY-7E01";
        if (deviceId == 0xFE11)
            return "WY-7011";
        if (deviceId == 0xFE12)
            return "WY-7012";
        if (subDeviceId == 0xFE2E)
            return "WY-702E";
        if (deviceId == 0xFE14 && subDeviceId == 0xFE14)
            return "WY-7014Q";
        if (deviceId == 0xFC20) {
            if (subDeviceId == 0xFC23 || subDeviceId == 0xFC2E)
                return "WY-7020BX";
            return dual ? "WY-7020BD" : "WY-7020B";
        }
        if (subDeviceId == 0xFE27)
            return "WY-7027Q";
        if (isWyndelBladeBoard(deviceId, entry.vendorId, subDeviceId, entry.subVendorId))
            return "WY-7000BL";
        return dual ? "WY-7000D" : "WY-7000";
    case 0x1ACC:
        return "FH-9100";
    case 0x4838:
        return "FH-9200";
    default:
        return kUnknownModel;
    }
}

// The choice of both selections. Answers 0 when a family table wrote the
// request's texts; 1 with *name set to the text to write instead (null:
// leave the destination as it is). familyOwnNames picks, for a refused
// table, the refused family's own base name instead of the converged
// fall-back, and the two-port Oskara name by the dual flag.
int chooseModel(uint8_t index, const _Adapter &entry, _AdapterModelAndDesc *request, bool familyOwnNames,
                const char **name)
{
    const int32_t deviceId = static_cast<int32_t>(request->deviceId);
    int (*table)(_AdapterModelAndDesc *) = nullptr;
    const char *refused = nullptr;
    if (isTrelmontBoard(deviceId)) {
        table = GetTrelmontAdapterModelAndDesc;
        refused = familyOwnNames ? kTrelmontFamilyBaseName : convergedBaseName(entry);
    } else if (isGorselBoard(deviceId)) {
        table = GetGorselAdapterModelAndDesc;
        refused = familyOwnNames ? kGorselFamilyBaseName : convergedBaseName(entry);
    } else if (isBrindlefinBoard(deviceId)) {
        table = GetBrindlefinAdapterModelAndDesc;
        refused = familyOwnNames ? kBrindlefinFamilyBaseName : convergedBaseName(entry);
    } else if (isVarrowCNA(index)) {
        table = GetVarrowAdapterModelAndDesc;
        refused = familyOwnNames ? kVarrowFamilyBaseName : convergedBaseName(entry);
    } else if (isVarrowG6(index)) {
        table = GetVarrowG6AdapterModelAndDesc;
        refused = kVarrowG6FamilyBaseName;
    } else if (isVarrowFC(index)) {
        table = GetVarrowAdapterModelAndDesc;
        refused = kVarrowFamilyBaseName;
    } else if (entry.jedecId == 0x1004) {
        table = GetOskaraAdapterModelAndDesc;
        refused = familyOwnNames && request->dualPort ? kOskaraTwoPortBaseName : kOskaraFamilyBaseName;
    } else {
        *name = legacyModelName(index, entry);
        return 1;
    }
    if (table(request) == 0)
        return 0;
    *name = refused;
    return 1;
}

} // namespace

int getAdapterModel(uint8_t index, char *destination)
{
    // The index comes from callers walking the table; one past its end would
    // read beyond it.
    if (!destination || !AdapterExists4(index))
        return 1;
    const _Adapter &entry = gAdapters[index];
    _AdapterModelAndDesc request;
    std::memset(&request, 0, sizeof request);
    buildRequest(entry, &request);
    if (gUseVPD_ModelName && (entry.flags & ADAPTER_FLAG_MODEL_FROM_VPD)) {
        copyModelName(destination, entry.modelName);
        return 0;
    }
    const char *name = nullptr;
    if (chooseModel(index, entry, &request, false, &name) == 0)
        copyModelName(destination, gUseVPD_ModelName ? request.model : request.baseModel);
    else if (name)
        copyModelName(destination, name);
    return 0;
}

int GetAdapterModelAndDesc(_AdapterModelAndDesc *record)
{
    static int (*const tables[])(_AdapterModelAndDesc *) = {
        GetTrelmontAdapterModelAndDesc, GetGorselAdapterModelAndDesc, GetBrindlefinAdapterModelAndDesc,
        GetVarrowG6AdapterModelAndDesc, GetVarrowAdapterModelAndDesc, GetOskaraAdapterModelAndDesc,
    };
    if (!record)
        return 1;
    for (auto table : tables)
        if (table(record) == 0)
            return 0;
    return 1;
}

void getCNAModelString4(uint8_t index, char *destination)
{
    if (!destination || !AdapterExists4(index))
        return;
    copyModelName(destination, convergedBaseName(gAdapters[index]));
}

void getAdapterModel4(uint8_t index, char *destination)
{
    getCNAModelString4(index, destination);
}

int getAdapterModelV2(uint8_t index, _AdapterModelAndDesc *record)
{
    if (!record || !AdapterExists4(index))
        return 1;
    const _Adapter &entry = gAdapters[index];
    buildRequest(entry, record);
    const char *name = nullptr;
    if (gUseVPD_ModelName && (entry.flags & ADAPTER_FLAG_MODEL_FROM_VPD))
        name = entry.modelName;
    else if (chooseModel(index, entry, record, true, &name) == 0)
        return 0;
    if (name)
        std::snprintf(record->baseModel, sizeof record->baseModel - 1, "%s", name);
    return 0;
}
