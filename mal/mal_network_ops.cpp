#include "mal/mal_network_ops.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "mal/mal_core.h"
#include "mal/mal_ops_util.h"
#include "mal/mal_readers.h"
#include "mgmt/vexo/core/vexo_status.h"

using mal_ops::find;
using mal_ops::put_text;
using mal_ops::write_text;

namespace
{

#define COUNT(table) static_cast<int>(sizeof(table) / sizeof((table)[0]))

const char *yes_no(int32_t flag) { return flag ? "Yes" : "No"; }

// Runs the named action of `group`. A failure is read back from the last
// status for the trace and always reported as 114: an action that failed is
// never taken for done, whatever status it left.
RM_STATUS run_action(node_tag_t group, const char *name, MAL_ActionParams params)
{
    node_tag_t action;
    RM_STATUS r = find(group, name, MAL_NODE_ACTION, &action);
    if (r != RM_STATUS_OK)
        return r;
    if (MAL_do_action(group, action, params, nullptr, 0) == RM_STATUS_OK)
        return RM_STATUS_OK;
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    MAL_get_last_status(&code, text);
    return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
}

RM_STATUS group_action(node_tag_t from, const char *group_name, const char *action, MAL_ActionParams params)
{
    node_tag_t group;
    RM_STATUS r = find(from, group_name, MAL_NODE_GROUP, &group);
    if (r != RM_STATUS_OK)
        return r;
    return run_action(group, action, params);
}

RM_STATUS write_mac(node_tag_t group, const char *name, const uint8_t mac[6])
{
    char text[18];
    std::snprintf(text, sizeof text, "%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return write_text(group, name, text);
}

// The number of comma-separated entries of a mode list.
int32_t mode_count(const char *modes, size_t width)
{
    size_t n = strnlen(modes, width);
    if (n == 0)
        return 0;
    int32_t count = 1;
    for (size_t i = 0; i < n; ++i)
        count += modes[i] == ',';
    return count;
}

RM_STATUS read_mode(node_tag_t module, int index, MAL_ExtFatMode *mode)
{
    char name[MAL_INSTANCE_NAME_SIZE];
    std::snprintf(name, sizeof name, "ExtFATMode%d", index);
    node_tag_t group;
    RM_STATUS r = find(module, name, MAL_NODE_GROUP, &group);
    if (r != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc text[] = {{"Mode", mode->Mode, sizeof mode->Mode}};
    const MAL_PropertyDesc level[] = {{"TraceLevel", &mode->TraceLevel, sizeof mode->TraceLevel}};
    const MAL_PropertyDesc masks[] = {{"PortMask", &mode->PortMask, sizeof mode->PortMask},
                                      {"PCIFunctionMask", &mode->PCIFunctionMask, sizeof mode->PCIFunctionMask}};
    if ((r = MAL_GetStringProperties(group, COUNT(text), text)) != RM_STATUS_OK ||
        (r = MAL_GetIntProperties(group, COUNT(level), level)) != RM_STATUS_OK ||
        (r = MAL_GetHexProperties(group, COUNT(masks), masks)) != RM_STATUS_OK)
        return r;
    mode->PortMask &= 0xFu;
    mode->PCIFunctionMask &= 0xFFu;
    return RM_STATUS_OK;
}

// The module's mode group (ExtFATMode0 or ExtFATMode1) whose Mode is `mode`
// exactly: 0 with its tag, 21 when neither is, 64 when the adapter is busy.
RM_STATUS find_mode_group(node_tag_t module, const char *mode, node_tag_t *out)
{
    static const char *const names[] = {"ExtFATMode0", "ExtFATMode1"};
    for (const char *name : names) {
        node_tag_t group;
        if (find(module, name, MAL_NODE_GROUP, &group) != RM_STATUS_OK)
            continue;
        char value[MAL_VALUE_SIZE] = "";
        node_tag_t prop;
        if (find(group, "Mode", MAL_NODE_PROPERTY, &prop) != RM_STATUS_OK)
            continue;
        RM_STATUS r = MAL_get_property_val(group, prop, value, MAL_VALUE_SIZE);
        if (r == RM_STATUS_ERROR_ADAPTER_BUSY)
            return r;
        if (r == RM_STATUS_OK && std::strcmp(value, mode) == 0) {
            *out = group;
            return RM_STATUS_OK;
        }
    }
    return RM_STATUS_ERROR_INVALID_VALUE;
}

} // namespace

RM_STATUS MAL_SetNetbootParams(node_tag_t nic, const char *method, int enable)
{
    MAL_ActionParams params;
    std::memset(params, 0, sizeof params);
    put_text(params, 0, enable ? "Enabled" : "Disabled");
    if (method)
        put_text(params, 1, method);
    else
        params[1][0] = static_cast<char>(0xFF);
    return group_action(nic, "NetworkBootConfiguration", "SetNetworkBoot", params);
}

RM_STATUS MAL_SetVLANProps(node_tag_t nic, uint32_t vlan_id, uint32_t priority)
{
    MAL_ActionParams params;
    std::memset(params, 0, sizeof params);
    std::snprintf(params[0], VEXO_VALUE_SIZE, "%u", vlan_id);
    std::snprintf(params[1], VEXO_VALUE_SIZE, "%u", priority);
    return group_action(nic, "NetworkBootConfiguration", "ConfigureVLAN", params);
}

RM_STATUS MAL_SetVolatileMACAddress(node_tag_t nic, const uint8_t mac[6])
{
    if (!mac)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (!isNewMacAddress(mac))
        return RM_STATUS_ERROR_INVALID_MAC_ADDRESS;
    node_tag_t group;
    RM_STATUS r = find(nic, "NetworkBootConfiguration", MAL_NODE_GROUP, &group);
    if (r != RM_STATUS_OK)
        return r;
    return write_mac(group, "VolatileMACAddress", mac);
}

RM_STATUS MAL_SetNonVolatileMACAddress(node_tag_t nic, const uint8_t mac[6])
{
    if (!mac)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (!isNewMacAddress(mac))
        return RM_STATUS_ERROR_INVALID_MAC_ADDRESS;
    return write_mac(nic, "PermanentMacAddress", mac);
}

RM_STATUS MAL_GetTxThrottle(node_tag_t port, int32_t *value)
{
    if (!value)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    const MAL_PropertyDesc t[] = {{"TxThrottle", value, sizeof *value}};
    return MAL_GetIntProperties(port, COUNT(t), t);
}

RM_STATUS MAL_SetTxThrottle(node_tag_t port, int32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return write_text(port, "TxThrottle", text);
}

RM_STATUS MAL_GetVNTagState(node_tag_t group, int32_t *enabled)
{
    if (!enabled)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    char text[MAL_VALUE_SIZE] = "";
    const MAL_PropertyDesc t[] = {{"VNTagState", text, sizeof text}};
    if (MAL_GetStringProperties(group, COUNT(t), t) != RM_STATUS_OK)
        return RM_STATUS_ERROR_NOT_AVAILABLE;
    *enabled = strcasecmp(text, "enabled") == 0 ? 1 : 0;
    return RM_STATUS_OK;
}

RM_STATUS MAL_SetVNTagState(node_tag_t group, int32_t enable)
{
    int32_t before = 0;
    RM_STATUS r = MAL_GetVNTagState(group, &before);
    if (r != RM_STATUS_OK)
        return r;
    if ((r = write_text(group, "VNTagState", enable ? "Enabled" : "Disabled")) != RM_STATUS_OK)
        return r;
    return before != (enable ? 1 : 0) ? RM_STATUS_REBOOT_REQUIRED : RM_STATUS_OK;
}

RM_STATUS MAL_VNTagConfigProvisionInfo(node_tag_t group, int32_t function, const char *text)
{
    int instances[MAL_MAX_TAGS];
    int count = MAL_MAX_TAGS;
    if (MAL_get_valid_instances(group, "VNTagProfile", instances, &count) != RM_STATUS_OK || count <= 0)
        return RM_STATUS_ERROR_NOT_AVAILABLE;
    if (count > MAL_MAX_TAGS)
        count = MAL_MAX_TAGS;
    for (int i = 0; i < count; ++i) {
        char name[MAL_INSTANCE_NAME_SIZE];
        std::snprintf(name, sizeof name, "VNTagProfile%d", instances[i]);
        node_tag_t profile;
        if (find(group, name, MAL_NODE_GROUP, &profile) != RM_STATUS_OK)
            continue;
        int32_t number = 0;
        const MAL_PropertyDesc t[] = {{"FunctionNumber", &number, sizeof number}};
        if (MAL_GetIntProperties(profile, COUNT(t), t) != RM_STATUS_OK || number != function)
            continue;
        MAL_ActionParams params;
        std::memset(params, 0, sizeof params);
        put_text(params, 0, text);
        return run_action(profile, "ConfigureProvisionInfo", params);
    }
    return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
}

RM_STATUS MAL_GetExtFatData(node_tag_t adapter, MAL_ExtFatData *out)
{
    if (!out)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t fat;
    RM_STATUS r = find(adapter, "ExtFATData", MAL_NODE_GROUP, &fat);
    if (r != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc ints[] = {{"MaxLogEntries", &out->MaxLogEntries, sizeof out->MaxLogEntries},
                                     {"LogEntrySize", &out->LogEntrySize, sizeof out->LogEntrySize},
                                     {"MaxLoggingFunctions", &out->MaxLoggingFunctions, sizeof out->MaxLoggingFunctions},
                                     {"MaxLoggingPorts", &out->MaxLoggingPorts, sizeof out->MaxLoggingPorts}};
    const MAL_PropertyDesc texts[] = {{"LoggingType", out->LoggingType, sizeof out->LoggingType},
                                      {"SupportedModes", out->SupportedModes, sizeof out->SupportedModes}};
    if ((r = MAL_GetIntProperties(fat, COUNT(ints), ints)) != RM_STATUS_OK ||
        (r = MAL_GetStringProperties(fat, COUNT(texts), texts)) != RM_STATUS_OK)
        return r;
    uint32_t tags[MAL_MAX_TAGS];
    int modules = MAL_MAX_TAGS;
    if ((r = MAL_EnumerateExtFatModules(adapter, &modules, tags)) != RM_STATUS_OK)
        return r;
    out->ModuleCount = modules > MAL_EXTFAT_MODULES ? MAL_EXTFAT_MODULES : modules;
    // Each module record has room for four modes.
    int32_t modes = mode_count(out->SupportedModes, sizeof out->SupportedModes);
    out->ModeCount = modes > MAL_EXTFAT_MODES ? MAL_EXTFAT_MODES : modes;
    for (int m = 0; m < out->ModuleCount; ++m) {
        MAL_ExtFatModule *module = &out->Modules[m];
        node_tag_t tag = static_cast<node_tag_t>(tags[m]);
        const MAL_PropertyDesc name[] = {{"ModuleString", module->ModuleString, sizeof module->ModuleString}};
        if ((r = MAL_GetStringProperties(tag, COUNT(name), name)) != RM_STATUS_OK)
            return r;
        for (int i = 0; i < out->ModeCount; ++i)
            if ((r = read_mode(tag, i, &module->Modes[i])) != RM_STATUS_OK)
                return r;
    }
    return RM_STATUS_OK;
}

RM_STATUS MAL_SetExtFatModule(node_tag_t module, const MAL_ExtFatModule *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    // Every mode is found before anything is written, so a record naming a
    // mode the adapter lacks changes nothing.
    node_tag_t groups[2];
    int used = 0;
    for (; used < 2; ++used) {
        const MAL_ExtFatMode &m = rec->Modes[used];
        char mode[sizeof m.Mode + 1];
        std::memcpy(mode, m.Mode, sizeof m.Mode);
        mode[sizeof m.Mode] = '\0';
        if (mode[0] == '\0')
            break;
        RM_STATUS r = find_mode_group(module, mode, &groups[used]);
        if (r != RM_STATUS_OK)
            return r;
    }
    for (int i = 0; i < used; ++i) {
        const MAL_ExtFatMode &m = rec->Modes[i];
        char text[16];
        RM_STATUS r;
        if (m.PCIFunctionMask != MAL_EXTFAT_UNCHANGED) {
            std::snprintf(text, sizeof text, "0x%x", m.PCIFunctionMask);
            if ((r = write_text(groups[i], "PCIFunctionMask", text)) != RM_STATUS_OK)
                return r;
        }
        if (m.PortMask != MAL_EXTFAT_UNCHANGED) {
            std::snprintf(text, sizeof text, "0x%x", m.PortMask);
            if ((r = write_text(groups[i], "PortMask", text)) != RM_STATUS_OK)
                return r;
        }
        if (m.TraceLevel != -1) {
            std::snprintf(text, sizeof text, "%d", m.TraceLevel);
            if ((r = write_text(groups[i], "TraceLevel", text)) != RM_STATUS_OK)
                return r;
        }
    }
    return RM_STATUS_OK;
}

RM_STATUS MAL_EnableLoggingOnAllModules(node_tag_t adapter, int32_t level, int32_t uart, int32_t ram,
                                        int32_t third, int32_t fourth)
{
    MAL_ActionParams params;
    std::memset(params, 0, sizeof params);
    std::snprintf(params[0], VEXO_VALUE_SIZE, "%d", level);
    put_text(params, 1, yes_no(uart));
    put_text(params, 2, yes_no(ram));
    put_text(params, 3, yes_no(third));
    put_text(params, 4, yes_no(fourth));
    return group_action(adapter, "ExtFATData", "EnableLoggingOnAllModules", params);
}

RM_STATUS MAL_DisableLoggingOnAllModules(node_tag_t adapter, int32_t uart, int32_t ram, int32_t third,
                                         int32_t fourth)
{
    MAL_ActionParams params;
    std::memset(params, 0, sizeof params);
    put_text(params, 0, yes_no(uart));
    put_text(params, 1, yes_no(ram));
    put_text(params, 2, yes_no(third));
    put_text(params, 3, yes_no(fourth));
    return group_action(adapter, "ExtFATData", "DisableLoggingOnAllModules", params);
}

RM_STATUS MAL_SetDefaultLoggingConfig(node_tag_t adapter, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e,
                                      int32_t f, int32_t g)
{
    (void)a, (void)b, (void)c, (void)d, (void)e, (void)f, (void)g;
    MAL_ActionParams params;
    std::memset(params, 0, sizeof params);
    return group_action(adapter, "ExtFATData", "SetDefaultLoggingConfiguration", params);
}
