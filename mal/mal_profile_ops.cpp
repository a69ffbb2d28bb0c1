#include "mal/mal_profile_ops.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "flash/engine_log.h"
#include "mal/mal_core.h"
#include "mal/mal_ops_util.h"
#include "mal/mal_readers.h"
#include "mgmt/vexo/core/vexo_status.h"

using mal_ops::clear;
using mal_ops::find;
using mal_ops::find_path;
using mal_ops::leave_out;
using mal_ops::read_int;
using mal_ops::run_named;
using mal_ops::write_text;

namespace
{

// Protocol names are read with a limit of 10 characters.
const size_t kProtocolNameSize = 11;
const int kFruVpdTexts = 12;

// Through the String reader, bounded by the caller's width.
RM_STATUS read_text(node_tag_t group, const char *name, char *field, uint32_t width)
{
    MAL_PropertyDesc table[] = {{name, field, width}};
    return MAL_GetStringProperties(group, 1, table);
}

// Runs an action of the adapter's ProfileManagement group.
RM_STATUS run_pm(node_tag_t adapter, const char *name, MAL_ActionParams params)
{
    node_tag_t pm = 0;
    RM_STATUS st = find(adapter, "ProfileManagement", MAL_NODE_GROUP, &pm);
    if (st != RM_STATUS_OK)
        return st;
    return static_cast<RM_STATUS>(run_named(pm, name, params, 0));
}

// The library's message of a failed channel setting, for the engine log.
void log_channel_failure()
{
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    MAL_get_last_status(&code, text);
    LogMessage(LogFp, "MAL_SetChannelMgmtCnaInfo: \n");
    rm_fprintf(LogFp, "%s", text);
}

int32_t protocol_code(const char *name)
{
    static const char *const names[] = {"NIC", "iSCSI", "FCoE", "NIC+RoCE"};
    for (int i = 0; i < 4; ++i)
        if (std::strcmp(name, names[i]) == 0)
            return i + 1;
    return MAL_PROTOCOL_OTHER;
}

RM_STATUS read_protocol(node_tag_t group, const char *name, int32_t *code)
{
    char text[kProtocolNameSize] = "";
    RM_STATUS st = read_text(group, name, text, sizeof text);
    if (st == RM_STATUS_OK)
        *code = protocol_code(text);
    return st;
}

int bounded(int count, int limit)
{
    return count < limit ? count : limit;
}

} // namespace

RM_STATUS MAL_GetChannelMgmtCnaInfo(node_tag_t adapter, MAL_ChannelMgmtCnaInfo *info)
{
    if (!info)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t cm = 0;
    RM_STATUS st = find(adapter, "ChannelManagement", MAL_NODE_GROUP, &cm);
    if (st != RM_STATUS_OK)
        return st;
    MAL_PropertyDesc table[] = {
        {"SupportedMCTypes", info->SupportedMCTypes, sizeof info->SupportedMCTypes},
        {"CurrentManagementType", info->CurrentManagementType, sizeof info->CurrentManagementType},
        {"ConfiguredManagementType", info->ConfiguredManagementType, sizeof info->ConfiguredManagementType}};
    return MAL_GetStringProperties(cm, 3, table);
}

RM_STATUS MAL_GetChannelMgmtCnaInfoTrl(node_tag_t adapter, MAL_ChannelMgmtCnaInfo *info)
{
    if (!info)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t group = 0;
    RM_STATUS st = find_path(adapter, {"ProfileManagement", "ActiveProfile", "Port0"}, &group);
    if (st == RM_STATUS_OK)
        st = read_text(group, "MCType", info->CurrentManagementType, sizeof info->CurrentManagementType);
    if (st == RM_STATUS_OK)
        st = find_path(adapter, {"ProfileManagement", "ConfiguredProfile", "Port0"}, &group);
    if (st == RM_STATUS_OK)
        st = read_text(group, "MCType", info->ConfiguredManagementType, sizeof info->ConfiguredManagementType);
    if (st == RM_STATUS_OK)
        st = find(adapter, "ChannelManagement", MAL_NODE_GROUP, &group);
    if (st == RM_STATUS_OK)
        st = read_text(group, "SupportedMCTypes", info->SupportedMCTypes, sizeof info->SupportedMCTypes);
    return st;
}

RM_STATUS MAL_GetChannelMgmtChannelInfo(node_tag_t channel, MAL_ChannelInfo *info)
{
    if (!info)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    MAL_PropertyDesc ints[] = {{"LPVID", &info->LPVID, 0},
                               {"OuterVLANID", &info->OuterVLANID, 0},
                               {"MinBandwidth", &info->MinBandwidth, 0},
                               {"MaxBandwidth", &info->MaxBandwidth, 0}};
    MAL_PropertyDesc hex[] = {{"FunctionNumber", &info->FunctionNumber, 0}};
    MAL_PropertyDesc texts[] = {{"Type", info->Type, sizeof info->Type},
                                {"vNICName", info->vNICName, sizeof info->vNICName}};
    MAL_PropertyDesc state[] = {{"LogicalLinkState", &info->LogicalLinkState, 0}};
    MAL_PropertyDesc mac[] = {{"MACAddress", info->MACAddress, 0}};
    RM_STATUS st = MAL_GetIntProperties(channel, 4, ints);
    if (st == RM_STATUS_OK)
        st = MAL_GetHexProperties(channel, 1, hex);
    if (st == RM_STATUS_OK)
        st = MAL_GetStringProperties(channel, 2, texts);
    if (st == RM_STATUS_OK)
        st = MAL_GetBoolProperties(channel, 1, state);
    if (st == RM_STATUS_OK)
        st = MAL_GetMacAddrProperties(channel, 1, mac);
    return st;
}

RM_STATUS MAL_GetChannelMgmtPortInfo(node_tag_t port, MAL_ChannelInfo *channels)
{
    if (!channels)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    uint32_t tags[MAL_MAX_TAGS];
    int count = MAL_MAX_TAGS;
    RM_STATUS st = MAL_EnumerateChannels(port, &count, tags);
    if (st != RM_STATUS_OK)
        return st;
    if (count == 0)
        return RM_STATUS_ERROR;
    int used = bounded(count, MAL_MAX_CHANNELS);
    for (int i = 0; i < used; ++i)
        if ((st = MAL_GetChannelMgmtChannelInfo(static_cast<node_tag_t>(tags[i]), &channels[i])) != RM_STATUS_OK)
            return st;
    return RM_STATUS_OK;
}

RM_STATUS MAL_SetChannelMgmtCnaInfo(node_tag_t adapter, const MAL_ChannelMgmtCnaInfo *info)
{
    if (!info)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    static const char *const modes[] = {"N/A", "ZMR", "vNIC1", "vNIC2", "UFP", "NPAR"};
    char mode[MAL_MC_TYPE_SIZE];
    std::snprintf(mode, sizeof mode, "%.*s", MAL_MC_TYPE_SIZE - 1, info->ConfiguredManagementType);
    bool known = false;
    for (const char *m : modes)
        known = known || std::strcmp(mode, m) == 0;
    if (!known)
        return RM_STATUS_ERROR_INVALID_VALUE;
    MAL_ActionParams params;
    clear(params);
    if (std::strcmp(mode, "N/A") == 0) {
        std::snprintf(params[0], VEXO_VALUE_SIZE, "Disabled");
        leave_out(params, 1);
    } else {
        std::snprintf(params[0], VEXO_VALUE_SIZE, "Enabled");
        std::snprintf(params[1], VEXO_VALUE_SIZE, "%s", mode);
    }
    node_tag_t cm = 0;
    node_tag_t action = 0;
    RM_STATUS st = find(adapter, "ChannelManagement", MAL_NODE_GROUP, &cm);
    if (st == RM_STATUS_OK)
        st = find(cm, "ConfigureChannelManagement", MAL_NODE_ACTION, &action);
    if (st != RM_STATUS_OK)
        return st;
    st = static_cast<RM_STATUS>(run_named(cm, "ConfigureChannelManagement", params, 0));
    if (st != RM_STATUS_OK)
        log_channel_failure();
    return st;
}

RM_STATUS MAL_SetChannelMgmtLogicalLinkState(node_tag_t channel, uint32_t flag)
{
    uint8_t state = static_cast<uint8_t>(flag & 0xFF);
    if (state != 1 && state != 0)
        return RM_STATUS_ERROR_INVALID_VALUE;
    return write_text(channel, "LogicalLinkState", state == 1 ? "Enabled" : "Disabled");
}

RM_STATUS MAL_SetChannelMgmtLPVID(node_tag_t channel, int32_t lpvid)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", lpvid);
    return write_text(channel, "LPVID", text);
}

RM_STATUS MAL_SetChannelMgmtPortType(node_tag_t channel, const char *type)
{
    if (!type)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    return write_text(channel, "Type", type);
}

RM_STATUS MAL_SetChannelMgmtBandwidth(node_tag_t channel, int32_t min_bandwidth, int32_t max_bandwidth)
{
    MAL_ActionParams params;
    clear(params);
    std::snprintf(params[0], VEXO_VALUE_SIZE, "%d", min_bandwidth);
    std::snprintf(params[1], VEXO_VALUE_SIZE, "%d", max_bandwidth);
    node_tag_t action = 0;
    RM_STATUS st = find(channel, "ConfigureQoS", MAL_NODE_ACTION, &action);
    if (st != RM_STATUS_OK)
        return st;
    st = static_cast<RM_STATUS>(run_named(channel, "ConfigureQoS", params, 0));
    if (st != RM_STATUS_OK)
        log_channel_failure();
    return st;
}

RM_STATUS MAL_GetFRUVPD(node_tag_t adapter, uint8_t *buffer, uint32_t *length)
{
    if (!buffer || !length)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (*length < MAL_FRU_VPD_MIN_LENGTH)
        return RM_STATUS_ERROR_BUFFER_TOO_SMALL;
    node_tag_t fru = 0;
    if (find(adapter, "FRUVPD", MAL_NODE_GROUP, &fru) != RM_STATUS_OK)
        return RM_STATUS_ERROR_NOT_AVAILABLE;
    // All twelve segments: the last one carries the end of the second block.
    return mal_ops::read_byte_texts(fru, "FRUVPDData", kFruVpdTexts, MAL_MAX_BYTE_ARRAY, buffer, length);
}

RM_STATUS MAL_SetProfileID(node_tag_t adapter, int32_t profile_id)
{
    MAL_ActionParams params;
    clear(params);
    std::snprintf(params[0], VEXO_VALUE_SIZE, "%d", profile_id);
    return run_pm(adapter, "SetProfileId", params);
}

RM_STATUS MAL_SetPortProtocols(node_tag_t adapter, const MAL_ProfileSetting *setting)
{
    if (!setting)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    // One parameter per port: a record of more ports than the block holds
    // is refused before anything is sent rather than cut.
    if (setting->PortCount > VEXO_MAX_PARAMS)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    MAL_ActionParams params;
    clear(params);
    static const char *const names[] = {"", "NIC", "iSCSI", "FCoE"};
    for (int i = 0; i < setting->PortCount; ++i) {
        const MAL_ProfilePort &port = setting->Ports[i];
        std::string list;
        int functions = bounded(port.FunctionCount, MAL_MAX_PORT_FUNCTIONS);
        for (int f = 0; f < functions; ++f) {
            int32_t code = port.Functions[f].Protocol;
            list += std::string(f ? "," : "") + (code >= 1 && code <= 3 ? names[code] : "");
        }
        std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", list.c_str());
    }
    RM_STATUS st = MAL_SetProfileID(adapter, setting->ProfileId);
    if (st != RM_STATUS_OK)
        return st;
    return run_pm(adapter, "SetPortProtocols", params);
}

namespace
{

// The active or configured profile: its id, ports and their functions.
RM_STATUS read_profile(node_tag_t adapter, node_tag_t pm, const char *name, bool roce, MAL_ProfileSetting *out)
{
    node_tag_t group = 0;
    RM_STATUS st = find(pm, name, MAL_NODE_GROUP, &group);
    if (st == RM_STATUS_OK)
        st = read_int(group, "ProfileId", &out->ProfileId);
    if (st != RM_STATUS_OK)
        return st;
    uint32_t ports[MAL_MAX_TAGS];
    int count = MAL_MAX_TAGS;
    if ((st = MAL_EnumeratePMPorts(adapter, name, &count, ports)) != RM_STATUS_OK)
        return st;
    out->PortCount = bounded(count, MAL_MAX_PROFILE_PORTS);
    for (int p = 0; p < out->PortCount; ++p) {
        node_tag_t port = static_cast<node_tag_t>(ports[p]);
        MAL_ProfilePort &rec = out->Ports[p];
        if (roce && (st = read_int(port, "MaxRoCEPFCount", &rec.MaxRoCEPFCount)) != RM_STATUS_OK)
            return st;
        uint32_t functions[MAL_MAX_TAGS];
        int n = MAL_MAX_TAGS;
        if ((st = MAL_EnumeratePMPortFunctions(port, &n, functions)) != RM_STATUS_OK)
            return st;
        rec.FunctionCount = bounded(n, MAL_MAX_PORT_FUNCTIONS);
        for (int f = 0; f < rec.FunctionCount; ++f)
            if ((st = read_protocol(static_cast<node_tag_t>(functions[f]), "Protocol", &rec.Functions[f].Protocol)) !=
                RM_STATUS_OK)
                return st;
    }
    return RM_STATUS_OK;
}

} // namespace

RM_STATUS MAL_GetProfileInfo(node_tag_t adapter, MAL_ProfileInfo *info)
{
    if (!info)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t pm = 0;
    RM_STATUS st = find(adapter, "ProfileManagement", MAL_NODE_GROUP, &pm);
    if (st != RM_STATUS_OK)
        return st;
    info->Fixed1 = 4;
    info->Fixed2 = 4;
    uint32_t profiles[MAL_MAX_TAGS];
    int count = MAL_MAX_TAGS;
    if ((st = MAL_EnumerateProfiles(adapter, &count, profiles)) != RM_STATUS_OK)
        return st;
    if (count > MAL_MAX_PROFILES)
        return RM_STATUS_ERROR_TOO_MANY_PROFILES;
    info->ProfileCount = count;
    for (int j = 0; j < count; ++j) {
        node_tag_t profile = static_cast<node_tag_t>(profiles[j]);
        MAL_ProfileDescriptor &d = info->Profiles[j];
        if ((st = read_text(profile, "ProfileDescription", d.ProfileDescription, sizeof d.ProfileDescription)) !=
                RM_STATUS_OK ||
            (st = read_int(profile, "ProfileId", &d.ProfileId)) != RM_STATUS_OK)
            return st;
        uint32_t protocols[MAL_MAX_TAGS];
        int n = MAL_MAX_TAGS;
        if ((st = MAL_EnumerateProtocols(profile, &n, protocols)) != RM_STATUS_OK)
            return st;
        d.ProtocolCount = bounded(n, MAL_MAX_PROFILE_PROTOCOLS);
        for (int k = 0; k < d.ProtocolCount; ++k) {
            node_tag_t protocol = static_cast<node_tag_t>(protocols[k]);
            if ((st = read_protocol(protocol, "ProtocolName", &d.Protocols[k].Protocol)) != RM_STATUS_OK ||
                (st = read_int(protocol, "FunctionCount", &d.Protocols[k].FunctionCount)) != RM_STATUS_OK)
                return st;
        }
    }
    if ((st = read_profile(adapter, pm, "ActiveProfile", true, &info->ActiveProfile)) != RM_STATUS_OK ||
        (st = read_profile(adapter, pm, "ConfiguredProfile", false, &info->ConfiguredProfile)) != RM_STATUS_OK)
        return st;
    char reboot[6] = "";
    if ((st = read_text(pm, "RebootRequired", reboot, sizeof reboot)) != RM_STATUS_OK)
        return st;
    info->RebootRequired = std::strcmp(reboot, "Yes") == 0 ? 1 : 0;
    info->Valid = 1;
    return RM_STATUS_OK;
}

RM_STATUS MAL_PM_SetFactoryDefaults(node_tag_t adapter)
{
    MAL_ActionParams params;
    clear(params);
    return run_pm(adapter, "SetFactoryDefaults", params);
}

RM_STATUS MAL_PM_SaveProfile(node_tag_t adapter)
{
    MAL_ActionParams params;
    clear(params);
    return run_pm(adapter, "SaveProfile", params);
}

RM_STATUS MAL_SetMaxFunctionNumber(node_tag_t adapter, int32_t function_number)
{
    node_tag_t configured = 0;
    RM_STATUS st = find_path(adapter, {"ProfileManagement", "ConfiguredProfile"}, &configured);
    if (st != RM_STATUS_OK)
        return st;
    MAL_ActionParams params;
    clear(params);
    if (function_number == -1)
        leave_out(params, 0);
    else
        std::snprintf(params[0], VEXO_VALUE_SIZE, "%d", function_number);
    return static_cast<RM_STATUS>(run_named(configured, "SetMaxFunctionNumber", params, 0));
}

RM_STATUS MAL_GetPMFunctionProfileSetting(node_tag_t function, MAL_FunctionProfileSetting *setting)
{
    if (!setting)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    MAL_PropertyDesc mac[] = {{"MACAddress", setting->MACAddress, 0}};
    MAL_PropertyDesc number[] = {{"FunctionNumber", &setting->FunctionNumber, 0}};
    RM_STATUS st = read_protocol(function, "Protocol", &setting->Protocol);
    if (st == RM_STATUS_OK)
        st = MAL_GetMacAddrProperties(function, 1, mac);
    if (st == RM_STATUS_OK)
        st = MAL_GetHexProperties(function, 1, number);
    return st;
}

int32_t MAL_Run_FwCli(node_tag_t adapter, const char *command, const char *file)
{
    if (!command || !command[0] || !file || !file[0])
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    MAL_ActionParams params;
    clear(params);
    std::snprintf(params[0], VEXO_VALUE_SIZE, "%s", file);
    std::snprintf(params[1], VEXO_VALUE_SIZE, "%s", command);
    return run_named(adapter, "RetrieveFwCliData", params, 1);
}

int32_t MAL_ResetFactoryDefaults(node_tag_t adapter)
{
    node_tag_t action = 0;
    RM_STATUS st = find(adapter, "ResetFactoryDefaults", MAL_NODE_ACTION, &action);
    if (st != RM_STATUS_OK)
        return st;
    MAL_ActionParams params;
    clear(params);
    leave_out(params, 0);
    node_tag_t new_tags[VEXO_MAX_NEW_TAGS];
    std::memset(new_tags, 0, sizeof new_tags);
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    int32_t result = MAL_do_action_with_status(adapter, action, params, new_tags, &code, text);
    if (result == RM_STATUS_OK)
        return RM_STATUS_OK;
    // A failure without a status of its own must not read as success.
    if (code == static_cast<VEXO_status_t>(-1) || code == VEXO_STATUS_SUCCESS)
        return result;
    return code;
}
