#include "mal/mal_maintenance.h"

#include <cstdio>
#include <cstring>

#include "mal/mal_core.h"
#include "mal/mal_ops_util.h"
#include "mal/mal_readers.h"
#include "mgmt/vexo/core/vexo_status.h"

using mal_ops::leave_out;
using mal_ops::put_text;

namespace
{

const int kVpdTexts = 9;

// The action of an adapter with its one parameter; false when the action
// is missing. A path too long for its slot fills the slot unterminated, so
// the library refuses it with its own length check instead of acting on a
// cut path.
bool prepare(node_tag_t adapter, const char *action, const char *param, node_tag_t *tag, MAL_ActionParams params)
{
    if (MAL_get_node_tag(adapter, action, tag, MAL_NODE_ACTION) != RM_STATUS_OK)
        return false;
    std::memset(params, 0, sizeof(MAL_ActionParams));
    if (param) {
        size_t n = strnlen(param, VEXO_VALUE_SIZE);
        std::memcpy(params[0], param, n < VEXO_VALUE_SIZE ? n + 1 : VEXO_VALUE_SIZE);
    }
    return true;
}

} // namespace

int32_t MAL_UpgradeFlash(node_tag_t adapter, const char *file)
{
    node_tag_t action = 0;
    MAL_ActionParams params;
    if (!prepare(adapter, "UpgradeFlashROM", file, &action, params))
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    node_tag_t new_tags[VEXO_MAX_NEW_TAGS];
    std::memset(new_tags, 0, sizeof new_tags);
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    int32_t result = MAL_do_action_with_status(adapter, action, params, new_tags, &code, text);
    if (result == RM_STATUS_OK && code == static_cast<VEXO_status_t>(-1))
        return VEXO_STATUS_REBOOT_REQUIRED;
    // A handler that failed without a status must not read as a flash done.
    if (result != RM_STATUS_OK && code == VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILED_FLASH;
    return code;
}

int32_t MAL_RetrievePCIDump(node_tag_t adapter, const char *file)
{
    node_tag_t action = 0;
    MAL_ActionParams params;
    if (!prepare(adapter, "RetrieveStratolinkPCIDump", file, &action, params))
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    if (MAL_do_action_with_status(adapter, action, params, nullptr, &code, text) == RM_STATUS_OK)
        return RM_STATUS_OK;
    if (MAL_get_last_status(&code, text) != VEXO_STATUS_SUCCESS || code == VEXO_STATUS_SUCCESS)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    return code;
}

RM_STATUS MAL_GetVPD(node_tag_t function, uint8_t *buffer, uint32_t *length)
{
    if (!buffer || !length)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (*length < MAL_VPD_MIN_LENGTH)
        return RM_STATUS_ERROR_BUFFER_TOO_SMALL;
    node_tag_t vpd = 0;
    if (MAL_get_node_tag(function, "VPD", &vpd, MAL_NODE_GROUP) != RM_STATUS_OK)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    // A room over what one text may be converted into is refused.
    return mal_ops::read_byte_texts(vpd, "VPDData", kVpdTexts, UINT32_MAX, buffer, length);
}

RM_STATUS MAL_SetFFVName(node_tag_t adapter, const char *name)
{
    node_tag_t tag = 0;
    if (!name || MAL_get_node_tag(adapter, "FFVName", &tag, MAL_NODE_PROPERTY) != RM_STATUS_OK)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    return MAL_set_property_val(adapter, tag, name, static_cast<int>(strnlen(name, MAL_VALUE_SIZE - 1)));
}

namespace
{

// The port's BaseT10G group.
RM_STATUS baset_group(node_tag_t port, node_tag_t *group)
{
    return MAL_get_node_tag(port, "BaseT10G", group, MAL_NODE_GROUP);
}

// Runs an action of the BaseT10G group with `params`, without pass-through.
RM_STATUS run_baset_action(node_tag_t port, const char *name, MAL_ActionParams params)
{
    node_tag_t group = 0;
    node_tag_t action = 0;
    if (baset_group(port, &group) != RM_STATUS_OK ||
        MAL_get_node_tag(group, name, &action, MAL_NODE_ACTION) != RM_STATUS_OK)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    return static_cast<RM_STATUS>(MAL_do_action(group, action, params, nullptr, 0));
}

// One word of a page dump: up to eight hexadecimal digits at the start of
// a word; a word that begins with no digit reads as 0.
uint32_t page_word(const char *word)
{
    uint32_t v = 0;
    for (int i = 0; i < 8; ++i) {
        int d = hex_value(word[i]);
        if (d < 0)
            break;
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    return v;
}

bool is_space(char c)
{
    return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

} // namespace

int32_t MAL_RetrieveCoreDump(node_tag_t adapter, const char *file, const char *kind)
{
    node_tag_t action = 0;
    MAL_ActionParams params;
    if (!prepare(adapter, "RetrieveStratolinkCoreDump", file, &action, params))
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    if (kind && kind[0])
        put_text(params, 1, kind);
    else
        leave_out(params, 1);
    int32_t result = MAL_do_action(adapter, action, params, nullptr, 1);
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    VEXO_status_t read = MAL_get_last_status(&code, text);
    if (read != VEXO_STATUS_SUCCESS)
        return read;
    // A handler that failed without a status must not read as a dump done.
    if (result != RM_STATUS_OK && code == VEXO_STATUS_SUCCESS)
        return result;
    return code;
}

RM_STATUS MAL_RetrieveArmLog(node_tag_t adapter, const char *file, const char *mode)
{
    node_tag_t group = 0;
    if (MAL_get_node_tag(adapter, "ExtFATData", &group, MAL_NODE_GROUP) != RM_STATUS_OK)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    node_tag_t action = 0;
    MAL_ActionParams params;
    if (!prepare(group, "RetrieveARMLog", file, &action, params))
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    put_text(params, 1, mode);
    if (MAL_do_action(group, action, params, nullptr, 0) == RM_STATUS_OK)
        return RM_STATUS_OK;
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    if (MAL_get_last_status(&code, text) == VEXO_STATUS_SUCCESS && code == VEXO_STATUS_NO_EXTFAT_DATA)
        return RM_STATUS_ERROR_NO_EXTFAT_DATA;
    return RM_STATUS_ERROR_RETRIEVE_FAILED;
}

RM_STATUS MAL_Dump_Transceiver(node_tag_t port, const char *page, uint32_t words[MAL_TRANSCEIVER_WORDS])
{
    if (!page || !words)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t action = 0;
    RM_STATUS st = MAL_get_node_tag(port, "DumpTransceiverData", &action, MAL_NODE_ACTION);
    if (st != RM_STATUS_OK)
        return st;
    MAL_ActionParams params;
    std::memset(params, 0, sizeof(MAL_ActionParams));
    put_text(params, 0, page);
    st = static_cast<RM_STATUS>(MAL_do_action(port, action, params, nullptr, 0));
    if (st != RM_STATUS_OK)
        return st;
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    if (MAL_get_last_status(&code, text) != VEXO_STATUS_SUCCESS)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    text[MAL_STATUS_TEXT_SIZE - 1] = '\0';
    const char *at = text;
    for (int i = 0; i < MAL_TRANSCEIVER_WORDS; ++i) {
        while (is_space(*at))
            ++at;
        if (!*at)
            break;
        words[i] = page_word(at);
        while (*at && !is_space(*at))
            ++at;
    }
    return RM_STATUS_OK;
}

RM_STATUS MAL_10GBaseT_GetAttributes(node_tag_t port, MAL_10GBaseTAttributes *attributes)
{
    if (!attributes)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t group = 0;
    RM_STATUS st = baset_group(port, &group);
    if (st != RM_STATUS_OK)
        return st;
    MAL_10GBaseTAttributes &a = *attributes;
    const MAL_PropertyDesc numbers[] = {
        {"TimeSinceLinkHigh", &a.TimeSinceLinkHigh, 0}, {"TimeSinceLinkLow", &a.TimeSinceLinkLow, 0},
        {"AverageMSEPairA", &a.AverageMSEPairA, 0},     {"AverageMSEPairB", &a.AverageMSEPairB, 0},
        {"AverageMSEPairC", &a.AverageMSEPairC, 0},     {"AverageMSEPairD", &a.AverageMSEPairD, 0},
        {"LDPCFrameHigh", &a.LDPCFrameHigh, 0},         {"LDPCFrameLow", &a.LDPCFrameLow, 0},
        {"PHYCRC8High", &a.PHYCRC8High, 0},             {"PHYCRC8Low", &a.PHYCRC8Low, 0},
        {"Temperature", &a.Temperature, 0},
    };
    st = MAL_GetIntProperties(group, sizeof numbers / sizeof numbers[0], numbers);
    if (st != RM_STATUS_OK)
        return st;
    const MAL_PropertyDesc hex[] = {
        {"10GBaseTDiagStatus", &a.BaseT10GDiagStatus, 0},
        {"PairASNR", &a.PairASNR, 0},
        {"PairBSNR", &a.PairBSNR, 0},
        {"PairCSNR", &a.PairCSNR, 0},
        {"PairDSNR", &a.PairDSNR, 0},
    };
    st = MAL_GetHexProperties(group, sizeof hex / sizeof hex[0], hex);
    if (st != RM_STATUS_OK)
        return st;
    const MAL_PropertyDesc nvp[] = {{"NVPValue", &a.NVPValue, 0}};
    MAL_GetIntProperties(group, 1, nvp); // a port without the value still has its attributes
    const MAL_PropertyDesc reason[] = {{"PhyLinkDownReason", &a.PhyLinkDownReason, 0}};
    return MAL_GetIntProperties(group, 1, reason);
}

RM_STATUS MAL_10GBaseT_GetStatistics(node_tag_t port, MAL_10GBaseTCounters *counters)
{
    if (!counters)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t group = 0;
    RM_STATUS st = baset_group(port, &group);
    if (st != RM_STATUS_OK)
        return st;
    const MAL_PropertyDesc events[] = {
        {"MDIPLLEventCounter", &counters->MDIPLLEventCounter, 0},
        {"10GEMIEventCounter", &counters->EMI10GEventCounter, 0},
    };
    st = MAL_GetIntProperties(group, 2, events);
    const MAL_PropertyDesc frames[] = {{"PHYFrameCounter", &counters->PHYFrameCounter, 0}};
    MAL_GetInt64Properties(group, 1, frames); // reported through the record only
    return st;
}

RM_STATUS MAL_10GBaseT_GetSelfTestResult(node_tag_t port, int32_t *result)
{
    if (!result)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t group = 0;
    RM_STATUS st = baset_group(port, &group);
    if (st != RM_STATUS_OK)
        return st;
    const MAL_PropertyDesc table[] = {{"SelfTestResult", result, 0}};
    return MAL_GetIntProperties(group, 1, table);
}

RM_STATUS MAL_10GBaseT_GetTDRResult(node_tag_t port, MAL_10GBaseTTDRResult *result)
{
    if (!result)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t group = 0;
    RM_STATUS st = baset_group(port, &group);
    if (st != RM_STATUS_OK)
        return st;
    MAL_10GBaseTTDRResult &r = *result;
    const MAL_PropertyDesc table[] = {
        {"PairAResult", &r.PairAResult, 0},
        {"PairBResult", &r.PairBResult, 0},
        {"PairCResult", &r.PairCResult, 0},
        {"PairDResult", &r.PairDResult, 0},
        {"PairALengthEstimation", &r.PairALengthEstimation, 0},
        {"PairBLengthEstimation", &r.PairBLengthEstimation, 0},
        {"PairCLengthEstimation", &r.PairCLengthEstimation, 0},
        {"PairDLengthEstimation", &r.PairDLengthEstimation, 0},
        {"NVPUsed", &r.NVPUsed, 0},
    };
    return MAL_GetIntProperties(group, sizeof table / sizeof table[0], table);
}

RM_STATUS MAL_10GBaseT_SetCableNVP(node_tag_t port, int32_t value)
{
    node_tag_t group = 0;
    node_tag_t prop = 0;
    if (baset_group(port, &group) != RM_STATUS_OK ||
        MAL_get_node_tag(group, "NVPValue", &prop, MAL_NODE_PROPERTY) != RM_STATUS_OK)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    char text[16];
    int n = std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    return MAL_set_property_val(group, prop, text, n);
}

RM_STATUS MAL_10GBaseT_SelfTest(node_tag_t port)
{
    // The action needs a test type and a source pair: the noise test on
    // pair A, which needs no target pair.
    MAL_ActionParams params;
    std::memset(params, 0, sizeof(MAL_ActionParams));
    put_text(params, 0, "Noise");
    put_text(params, 1, "PairA");
    leave_out(params, 2);
    return run_baset_action(port, "SelfTest", params);
}

RM_STATUS MAL_10GBaseT_RunTDR(node_tag_t port)
{
    MAL_ActionParams params;
    std::memset(params, 0, sizeof(MAL_ActionParams));
    return run_baset_action(port, "RunTDR", params);
}

RM_STATUS MAL_10GBaseT_ClearCounters(node_tag_t port)
{
    node_tag_t group = 0;
    RM_STATUS st = baset_group(port, &group);
    if (st != RM_STATUS_OK)
        return st;
    int32_t supported = 2;
    const MAL_PropertyDesc table[] = {{"IsClearCountersSupported", &supported, 0}};
    if (MAL_GetBoolProperties(group, 1, table) == RM_STATUS_ERROR_ADAPTER_BUSY)
        return RM_STATUS_ERROR_ADAPTER_BUSY;
    if (supported == 0)
        return RM_STATUS_ERROR_FEATURE_NOT_SUPPORTED;
    MAL_ActionParams params;
    std::memset(params, 0, sizeof(MAL_ActionParams));
    return run_baset_action(port, "ClearCounters", params);
}
