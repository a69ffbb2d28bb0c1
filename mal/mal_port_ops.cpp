#include "mal/mal_port_ops.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "mal/mal_core.h"
#include "mal/mal_ops_util.h"
#include "mal/mal_readers.h"
#include "mgmt/vexo/core/vexo_status.h"

using mal_ops::clear;
using mal_ops::find;
using mal_ops::last_code;
using mal_ops::leave_out;
using mal_ops::put_text;
using mal_ops::run;
using mal_ops::write_text;

namespace
{

void copy_text(char *field, size_t width, const char *text)
{
    std::snprintf(field, width, "%s", text);
}

// The members of `base` below `group` as tags, at most `limit` of them;
// *count is the number listed (before the limit).
RM_STATUS list_members(node_tag_t group, const char *base, int limit, node_tag_t *tags, int *count)
{
    int instances[MAL_MAX_TAGS];
    *count = MAL_MAX_TAGS;
    RM_STATUS st = MAL_get_valid_instances(group, base, instances, count);
    if (st != RM_STATUS_OK)
        return st;
    int used = *count < limit ? *count : limit;
    for (int i = 0; i < used; ++i) {
        char name[MAL_INSTANCE_NAME_SIZE];
        std::snprintf(name, sizeof name, "%s%d", base, instances[i]);
        if ((st = find(group, name, MAL_NODE_GROUP, &tags[i])) != RM_STATUS_OK)
            return st;
    }
    return RM_STATUS_OK;
}

RM_STATUS read_mac(node_tag_t group, uint8_t mac[6])
{
    MAL_PropertyDesc table[] = {{"MACAddress", mac, 0}};
    return MAL_GetMacAddrProperties(group, 1, table);
}

} // namespace

RM_STATUS MAL_GetAdapterPersonalityInfo(node_tag_t adapter, MAL_PersonalityInfo *info)
{
    if (!info)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t group = 0;
    RM_STATUS st = find(adapter, "Personality", MAL_NODE_GROUP, &group);
    if (st != RM_STATUS_OK)
        return st;
    char current[MAL_VALUE_SIZE] = "";
    char available[MAL_VALUE_SIZE] = "";
    char configured[MAL_VALUE_SIZE] = "";
    MAL_PropertyDesc table[] = {{"CurrentPersonality", current, MAL_VALUE_SIZE},
                                {"AvailablePersonalities", available, MAL_VALUE_SIZE},
                                {"ConfiguredPersonality", configured, MAL_VALUE_SIZE}};
    if (MAL_GetStringProperties(group, 3, table) != RM_STATUS_OK) {
        switch (last_code()) {
        case VEXO_STATUS_GET_AVAIL_PERSONALITIES_FAILED:
            return RM_STATUS_ERROR_GET_AVAILABLE_PERSONALITIES;
        case VEXO_STATUS_GET_CONF_PERSONALITY_FAILED:
            return RM_STATUS_ERROR_GET_CONFIGURED_PERSONALITY;
        default:
            return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
        }
    }
    copy_text(info->CurrentPersonality, sizeof info->CurrentPersonality, current);
    copy_text(info->ConfiguredPersonality, sizeof info->ConfiguredPersonality, configured);
    int count = 0;
    char *save = nullptr;
    for (char *name = strtok_r(available, "/", &save); name && count < MAL_MAX_PERSONALITIES;
         name = strtok_r(nullptr, "/", &save))
        copy_text(info->AvailablePersonalities[count++], MAL_PERSONALITY_NAME_SIZE, name);
    info->AvailableCount = count;
    return RM_STATUS_OK;
}

RM_STATUS MAL_ChangeAdapterPersonality(node_tag_t adapter, const char *personality)
{
    if (!personality)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t group = 0;
    node_tag_t action = 0;
    RM_STATUS st = find(adapter, "Personality", MAL_NODE_GROUP, &group);
    if (st == RM_STATUS_OK)
        st = find(group, "SetPersonality", MAL_NODE_ACTION, &action);
    if (st != RM_STATUS_OK)
        return st;
    MAL_ActionParams params;
    clear(params);
    put_text(params, 0, personality);
    if (run(group, action, params, 0) == RM_STATUS_OK)
        return RM_STATUS_OK;
    switch (last_code()) {
    case VEXO_STATUS_SUCCESS:
        return RM_STATUS_OK;
    case VEXO_STATUS_INVALID_VALUE:
    case VEXO_STATUS_PERSONALITY_NOT_SUPPORTED:
        return RM_STATUS_ERROR_PERSONALITY_NOT_SUPPORTED;
    default:
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    }
}

RM_STATUS MAL_GetPortLinkReconfigInfo(node_tag_t adapter, MAL_LinkReconfigInfo *info)
{
    if (!info)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t group = 0;
    RM_STATUS st = find(adapter, "LinkReconfiguration", MAL_NODE_GROUP, &group);
    if (st != RM_STATUS_OK)
        return st;
    node_tag_t tags[MAL_MAX_LINK_CONFIGS];
    int listed = 0;
    // Looked up before the reads: the caller's array bounds what is used.
    if ((st = list_members(group, "LinkConfig", MAL_MAX_LINK_CONFIGS, tags, &listed)) != RM_STATUS_OK)
        return st;
    MAL_PropertyDesc ids[] = {{"ActiveLinkConfigID", &info->ActiveLinkConfigID, 0},
                              {"ConfiguredLinkConfigID", &info->ConfiguredLinkConfigID, 0}};
    if ((st = MAL_GetIntProperties(group, 2, ids)) != RM_STATUS_OK)
        return st;
    int used = listed < MAL_MAX_LINK_CONFIGS ? listed : MAL_MAX_LINK_CONFIGS;
    info->ConfigCount = 0;
    for (int i = 0; i < used; ++i) {
        MAL_LinkConfigEntry &e = info->Configs[i];
        MAL_PropertyDesc id[] = {{"linkConfigID", &e.LinkConfigID, 0}};
        if ((st = MAL_GetIntProperties(tags[i], 1, id)) != RM_STATUS_OK)
            return st;
        if (e.LinkConfigID != 0)
            info->ConfigCount++;
        MAL_PropertyDesc desc[] = {{"LinkConfigDescription", e.LinkConfigDescription, sizeof e.LinkConfigDescription}};
        if ((st = MAL_GetStringProperties(tags[i], 1, desc)) != RM_STATUS_OK)
            return st;
    }
    return RM_STATUS_OK;
}

RM_STATUS MAL_SetPortLinkReConfigInfo(node_tag_t adapter, int32_t config_id, int32_t factory)
{
    node_tag_t group = 0;
    node_tag_t action = 0;
    RM_STATUS st = find(adapter, "LinkReconfiguration", MAL_NODE_GROUP, &group);
    if (st == RM_STATUS_OK)
        st = find(group, factory ? "SetLinkConfigFactoryDefaults" : "SetLinkConfigID", MAL_NODE_ACTION, &action);
    if (st != RM_STATUS_OK)
        return st;
    MAL_ActionParams params;
    clear(params);
    if (!factory)
        std::snprintf(params[0], VEXO_VALUE_SIZE, "%d", config_id);
    return static_cast<RM_STATUS>(run(group, action, params, 0));
}

RM_STATUS MAL_GetPhyPortSpeedSettings(node_tag_t port, MAL_PhyPortSpeedSettings *s)
{
    if (!s)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    char mode[MAL_VALUE_SIZE] = "";
    MAL_PropertyDesc texts[] = {{"ANSpeedsSupported", s->ANSpeedsSupported, sizeof s->ANSpeedsSupported},
                                {"ForceSpeedsSupported", s->ForceSpeedsSupported, sizeof s->ForceSpeedsSupported},
                                {"ConfiguredSpeed", s->ConfiguredSpeed, sizeof s->ConfiguredSpeed},
                                {"Mode", mode, sizeof mode}};
    RM_STATUS st = MAL_GetStringProperties(port, 4, texts);
    if (st != RM_STATUS_OK)
        return st;
    if (strcasecmp(s->ConfiguredSpeed, "n/a") == 0)
        return RM_STATUS_ERROR_NOT_AVAILABLE;
    if (strcasecmp(mode, "default") == 0)
        s->Mode = MAL_SPEED_MODE_DEFAULT;
    else if (strcasecmp(mode, "auto-negotiate") == 0)
        s->Mode = MAL_SPEED_MODE_AUTO;
    else if (strcasecmp(mode, "force") == 0)
        s->Mode = MAL_SPEED_MODE_FORCE;
    MAL_PropertyDesc cable[] = {{"DACCableLength", &s->DACCableLength, 0}};
    return MAL_GetIntProperties(port, 1, cable);
}

RM_STATUS MAL_SetPhyPortSpeedSettings(node_tag_t port, const char *speed, int32_t mode, int32_t cable_length)
{
    const char *mode_text = mode == MAL_SPEED_MODE_AUTO    ? "Auto-Negotiate"
                            : mode == MAL_SPEED_MODE_FORCE ? "Force"
                            : mode == MAL_SPEED_MODE_DEFAULT ? "Default"
                                                             : nullptr;
    node_tag_t action = 0;
    RM_STATUS st = find(port, "SetPortSpeed", MAL_NODE_ACTION, &action);
    if (st != RM_STATUS_OK)
        return st;
    if (!mode_text)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    MAL_ActionParams params;
    clear(params);
    leave_out(params, 0);
    leave_out(params, 2);
    if (speed && speed[0])
        put_text(params, 0, speed);
    put_text(params, 1, mode_text);
    if (cable_length >= 0)
        std::snprintf(params[2], VEXO_VALUE_SIZE, "%d", cable_length);
    int32_t result = run(port, action, params, 0);
    if (result == RM_STATUS_OK)
        return RM_STATUS_OK;
    VEXO_status_t code = last_code();
    if (code == static_cast<VEXO_status_t>(-1))
        return static_cast<RM_STATUS>(result);
    switch (code) {
    case VEXO_STATUS_INVALID_VALUE:
    case VEXO_STATUS_VALUE_OUT_OF_RANGE:
    case VEXO_STATUS_SPEED_FORCE:
        return RM_STATUS_ERROR_SPEED_INVALID;
    case VEXO_STATUS_SET_LINK_SPEED_FAILED:
        return RM_STATUS_ERROR_SET_LINK_SPEED;
    case VEXO_STATUS_SPEED_DAC_CABLE:
        return RM_STATUS_ERROR_SPEED_DAC_CABLE;
    case VEXO_STATUS_SPEED_REQURIED:
        return RM_STATUS_ERROR_SPEED_REQUIRED;
    case VEXO_STATUS_SETSPEED_NOT_SUPPORTED_ON_AW2:
    case VEXO_STATUS_SET_PORTSPEED_NOT_SUPPORTED:
        return RM_STATUS_ERROR_SPEED_NOT_SUPPORTED;
    case VEXO_STATUS_SPEED_ALREADY_CONFIGURED:
        return RM_STATUS_OK;
    case VEXO_STATUS_1GBSPEED_NOT_SUPPORTED:
        return RM_STATUS_ERROR_1G_SPEED_NOT_SUPPORTED;
    default:
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    }
}

RM_STATUS MAL_EnumNIC_SRIOV_VFs(node_tag_t nic, MAL_SRIOV_VFList *list)
{
    if (!list)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    RM_STATUS st = MAL_refresh_group(nic);
    if (st != RM_STATUS_OK)
        return st;
    int instances[MAL_MAX_TAGS];
    int count = MAL_MAX_TAGS;
    if ((st = MAL_get_valid_instances(nic, "NICLogicalHBA", instances, &count)) != RM_STATUS_OK) {
        list->count = 0;
        return st;
    }
    if (list->count < static_cast<uint32_t>(count)) {
        list->count = static_cast<uint32_t>(count);
        return RM_STATUS_ERROR_BUFFER_TOO_SMALL;
    }
    // The addresses follow the count packed; the array is as long as the
    // caller's capacity, not as the declared one.
    uint8_t *macs = reinterpret_cast<uint8_t *>(list) + offsetof(MAL_SRIOV_VFList, MACAddresses);
    for (int i = 0; i < count; ++i) {
        char name[MAL_INSTANCE_NAME_SIZE];
        std::snprintf(name, sizeof name, "NICLogicalHBA%d", instances[i]);
        node_tag_t vf = 0;
        uint8_t mac[6] = {};
        st = find(nic, name, MAL_NODE_GROUP, &vf);
        if (st == RM_STATUS_OK)
            st = read_mac(vf, mac);
        if (st != RM_STATUS_OK) {
            list->count = 0;
            return st;
        }
        std::memcpy(macs + 6 * i, mac, 6);
    }
    list->count = static_cast<uint32_t>(count);
    return RM_STATUS_OK;
}

RM_STATUS MAL_GetNICLogicalHbaTag(node_tag_t nic, const uint8_t mac[6], node_tag_t *tag)
{
    if (!mac || !tag)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    *tag = 0;
    int instances[MAL_MAX_TAGS];
    int count = MAL_MAX_TAGS;
    RM_STATUS st = MAL_get_valid_instances(nic, "NICLogicalHBA", instances, &count);
    if (st != RM_STATUS_OK)
        return st;
    for (int i = 0; i < count; ++i) {
        char name[MAL_INSTANCE_NAME_SIZE];
        std::snprintf(name, sizeof name, "NICLogicalHBA%d", instances[i]);
        node_tag_t vf = 0;
        uint8_t found[6] = {};
        if (find(nic, name, MAL_NODE_GROUP, &vf) == RM_STATUS_OK && read_mac(vf, found) == RM_STATUS_OK &&
            std::memcmp(found, mac, 6) == 0) {
            *tag = vf;
            return RM_STATUS_OK;
        }
    }
    return MAL_STATUS_NO_MATCHING_VF;
}

RM_STATUS MAL_GetNIC_SRIOV_VFProps(node_tag_t nic, const uint8_t mac[6], MAL_SRIOV_VFProps *props)
{
    if (!props)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    RM_STATUS st = MAL_refresh_group(nic);
    if (st != RM_STATUS_OK)
        return st;
    node_tag_t vf = 0;
    if ((st = MAL_GetNICLogicalHbaTag(nic, mac, &vf)) != RM_STATUS_OK)
        return st;
    MAL_PropertyDesc link[] = {{"LinkStatus", props->LinkStatus, sizeof props->LinkStatus}};
    if (MAL_GetStringProperties(vf, 1, link) != RM_STATUS_OK)
        copy_text(props->LinkStatus, sizeof props->LinkStatus, "Unknown");
    MAL_PropertyDesc numbers[] = {{"VLANID", &props->VLANID, 0}, {"TxRate", &props->TxRate, 0}};
    st = MAL_GetIntProperties(vf, 2, numbers);
    if (st != RM_STATUS_OK) {
        props->VLANID = -1;
        props->TxRate = 0;
    }
    props->reserved1 = 0;
    props->reserved2 = 0;
    props->reserved3 = 0;
    return st;
}

RM_STATUS MAL_SetNIC_SRIOV_VFProps(node_tag_t, const uint8_t *, const MAL_SRIOV_VFProps *)
{
    return RM_STATUS_ERROR_NOT_SUPPORTED;
}

int32_t MAL_ConfigureBootTarget(node_tag_t session, const MAL_BootTargetSetting *setting)
{
    if (!setting)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t action = 0;
    RM_STATUS st = find(session, "ConfigureBootTarget", MAL_NODE_ACTION, &action);
    if (st != RM_STATUS_OK)
        return st;
    MAL_ActionParams params;
    clear(params);
    put_text(params, 0, setting->BootSession ? "True" : "False");
    char priority[MAL_BOOT_PRIORITY_SIZE];
    copy_text(priority, sizeof priority, setting->BootTargetPriority);
    bool named = strcasecmp(priority, "Primary") == 0 || strcasecmp(priority, "Secondary") == 0;
    put_text(params, 1, named ? priority : "None");
    int32_t result = run(session, action, params, 1);
    if (result == RM_STATUS_OK)
        return RM_STATUS_OK;
    VEXO_status_t code = last_code();
    // A failure without a status of its own must not read as success.
    if (code == VEXO_STATUS_SUCCESS || code == static_cast<VEXO_status_t>(-1))
        return result;
    return code;
}

RM_STATUS MAL_AddTargetPortalToTarget(node_tag_t target, const MAL_TargetPortalProperties *portal)
{
    if (!portal)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t action = 0;
    RM_STATUS st = find(target, "AddTargetPortal", MAL_NODE_ACTION, &action);
    if (st != RM_STATUS_OK)
        return st;
    if (portal->TargetPortNumber == 0)
        return RM_STATUS_ERROR_INVALID_VALUE;
    MAL_ActionParams params;
    clear(params);
    const uint8_t *a = portal->TargetIPAddress.ipv6;
    const uint8_t *v4 = portal->TargetIPAddress.ipv4;
    if (portal->AddressFlags & 1)
        std::snprintf(params[0], VEXO_VALUE_SIZE,
                      "%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x", a[0], a[1], a[2],
                      a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11], a[12], a[13], a[14], a[15]);
    else
        std::snprintf(params[0], VEXO_VALUE_SIZE, "%d.%d.%d.%d", v4[0], v4[1], v4[2], v4[3]);
    std::snprintf(params[1], VEXO_VALUE_SIZE, "%d", portal->TargetPortNumber);
    int32_t result = run(target, action, params, 0);
    if (result == RM_STATUS_OK)
        return RM_STATUS_OK;
    if (last_code() == VEXO_STATUS_PORTAL_FOUND)
        return RM_STATUS_ERROR_DUPLICATE_ENTRY;
    return static_cast<RM_STATUS>(result);
}

RM_STATUS MAL_EraseConfig(node_tag_t group, const char *action_name, uint8_t value)
{
    if (!action_name)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t action = 0;
    if (find(group, action_name, MAL_NODE_ACTION, &action) != RM_STATUS_OK)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    MAL_ActionParams params;
    clear(params);
    params[0][0] = static_cast<char>(value);
    node_tag_t new_tags[VEXO_MAX_NEW_TAGS];
    std::memset(new_tags, 0, sizeof new_tags);
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    int32_t result = MAL_do_action_with_status(group, action, params, new_tags, &code, text);
    if (code == VEXO_STATUS_REBOOT_REQUIRED)
        return RM_STATUS_REBOOT_REQUIRED;
    return result == RM_STATUS_OK ? RM_STATUS_OK : RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
}

RM_STATUS MAL_Set_BootLUN(node_tag_t lun, int32_t flag)
{
    if (flag != 1 && flag != 0)
        return RM_STATUS_ERROR_INVALID_VALUE;
    return write_text(lun, "BootLUN", flag == 1 ? "True" : "False");
}

RM_STATUS MAL_SetSession_iSCSIBoot(node_tag_t session, int32_t flag)
{
    if (flag != 1 && flag != 0)
        return RM_STATUS_ERROR_INVALID_VALUE;
    return write_text(session, "iSCSIBoot", flag == 1 ? "true" : "false");
}
