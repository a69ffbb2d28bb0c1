#include "mgmt/aw/vexo-backend/channel_management.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/multichannel.h"
#include "mgmt/aw/vexo-backend/port_discovery.h"
#include "mgmt/aw/vexo-backend/profile_config.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace {

// Modes in the order the list names them.
const struct {
    uint32_t bit;
    const char *text;
} kModes[] = {
    {VEXO_CAP_VNIC2, "vNIC2"}, {VEXO_CAP_ZMR, "ZMR"},     {VEXO_CAP_NPAR, "NPAR"},   {VEXO_CAP_VNIC1, "vNIC1"},
    {VEXO_CAP_UFP, "UFP"},     {VEXO_CAP_HLZMR, "HLZMR"}, {VEXO_CAP_HLFLEX, "HLFlex"}, {VEXO_CAP_HLFLEXQBG, "HLFlexQBG"},
};

VEXO_status_t answer(node *property, char *value, const char *text)
{
    SET_CACHE_PROP_VAL(property, "%s", text);
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

// Mode codes of a port descriptor's mc_type that ConfigureChannelManagement
// writes and the mode properties read back.
const uint8_t kMcDisabled = 1;
const struct {
    uint8_t code;
    const char *text;
} kMcCodes[] = {{2, "ZMR"}, {4, "vNIC1"}, {5, "NPAR"}, {6, "UFP"}, {7, "vNIC2"}};
const uint8_t kMcHighest = 7;

// Text of a port descriptor's mc_type; null for a code above the known ones.
const char *mc_code_text(uint32_t code)
{
    if (code > kMcHighest)
        return nullptr;
    for (const auto &m : kMcCodes)
        if (m.code == code)
            return m.text;
    return "N/A"; // 0, 1, 3: no multichannel mode
}

// Sets both mode properties of `group` and answers the asked one.
VEXO_status_t both_modes(node *group, node *property, char *value, const char *text)
{
    set_prop_val(group, "CurrentManagementType", "%s", text);
    set_prop_val(group, "ConfiguredManagementType", "%s", text);
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

// Rebuilds the channels of every port of the adapter.
int rebuild_all_channels(node *adapter)
{
    node *port = get_first_instance(adapter, "PortDiscoveryAndConfiguration");
    if (!port)
        return 1;
    for (; port && vexo_is_instance(port); port = port->u.grp->multi_instance->next_instance) {
        char number[VEXO_VALUE_SIZE] = "";
        if (internal_get_property(port, "PortNumber", number) != VEXO_STATUS_SUCCESS)
            return 1;
        node *cm = internal_get_node(port, "ChannelManagement", VEXO_NODE_GROUP);
        if (!cm || purge_nodes_within(cm, "Channel") != VEXO_STATUS_SUCCESS)
            return 1;
        if (VEXO_get_multi_channels_info(std::atoi(number), port) != 0)
            return 1;
    }
    return 0;
}

} // namespace

void vexo_mc_types_text(uint32_t capabilities, char *out)
{
    std::string list;
    for (const auto &m : kModes) {
        if (!(capabilities & m.bit))
            continue;
        // vNIC2 includes ZMR.
        if (m.bit == VEXO_CAP_ZMR && (capabilities & VEXO_CAP_VNIC2))
            continue;
        if (!list.empty())
            list += ',';
        list += m.text;
    }
    std::snprintf(out, VEXO_VALUE_SIZE, "%s", list.empty() ? "N/A" : list.c_str());
}

VEXO_status_t handle_SupportedMCTypes(node *property, char *value, int)
{
    node *group = property ? property->parent : nullptr;
    node *adapter = group ? group->parent : nullptr;
    if (!adapter || property->node_type != VEXO_NODE_PROPERTY || !property->u.prop || !value)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get aw_type.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    if (family == AW_TYPE_AW2 || family == AW_TYPE_VARROW)
        return answer(property, value, "N/A");
    node *carrier = target_function(adapter);
    if (!carrier) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get NIC/iSCSI nodes.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    int port = get_port_number(carrier);
    unsigned int domain = get_domain_id(carrier);
    unsigned int phba_port = get_phba_port_number(carrier);
    AW_FW_CFG cfg;
    std::memset(&cfg, 0, sizeof cfg);
    if (ioctl_get_fw_config(port, &cfg, domain, phba_port, adapter_driver(adapter)) != VEXO_STATUS_SUCCESS)
        std::memset(&cfg, 0, sizeof cfg); // read as no capability set
    if (cfg.function_caps & VEXO_FUNC_CAP_NO_MULTICHANNEL)
        return answer(property, value, "N/A");
    if (vexo_on_vf(adapter)) {
        std::snprintf(value, VEXO_VALUE_SIZE, "N/A");
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    IOCTL_COMMON_GET_CAPABILITY_PARAMS caps;
    std::memset(&caps, 0, sizeof caps);
    VEXO_status_t st = ioctl_get_capabilities(port, &caps, domain, phba_port, instance_number(adapter));
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_capabilities failed with status = %d\n", __func__, st);
        vexo_set_fixed_status(VEXO_STATUS_GET_CAPABILITIES_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    char list[VEXO_VALUE_SIZE];
    vexo_mc_types_text(le32_at(caps.data), list);
    return answer(property, value, list);
}

VEXO_status_t handle_ChannelManagement_details(node *property, char *value, int)
{
    node *group = property ? property->parent : nullptr;
    node *adapter = group ? group->parent : nullptr;
    if (!adapter || property->node_type != VEXO_NODE_PROPERTY || !property->u.prop || !property->node_name ||
        !value)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_AW2 || family == AW_TYPE_VARROW || family == AW_TYPE_TRELMONT)
        return both_modes(group, property, value, "N/A");
    if (vexo_on_vf(adapter)) {
        std::snprintf(value, VEXO_VALUE_SIZE, "N/A");
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    char supported[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(group, "SupportedMCTypes", supported) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    if (std::strcmp(supported, "N/A") == 0)
        return both_modes(group, property, value, "N/A");
    node *carrier = target_function(adapter);
    if (!carrier) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get NIC/iSCSI nodes.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    AW_FW_CFG cfg;
    std::memset(&cfg, 0, sizeof cfg);
    if (ioctl_get_fw_config(get_port_number(carrier), &cfg, get_domain_id(carrier), get_phba_port_number(carrier),
                            adapter_driver(adapter)) != VEXO_STATUS_SUCCESS)
        std::memset(&cfg, 0, sizeof cfg); // read as no capability set
    if (cfg.function_caps & VEXO_FUNC_CAP_NO_MULTICHANNEL)
        return both_modes(group, property, value, "N/A");
    bool current = strcasecmp(property->node_name, "CurrentManagementType") == 0;
    GET_PROFILE_CONFIG_PARAMS *profile =
        VEXO_get_profile(adapter, current ? PROFILE_CONFIG_ACTIVE : PROFILE_CONFIG_CONFIGURED, 0, 0);
    if (!profile)
        return VEXO_STATUS_FAILURE;
    profile_walk w;
    profile_walk_start(&w, profile, VEXO_PROFILE_CONFIG_SIZE);
    for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w)) {
        if (resc_desc_type(d) != RESC_DESC_PORT)
            continue;
        // The last port that reports wins.
        if (const char *text = mc_code_text((resc_desc_word(d, 4) >> 8) & 0xFF))
            SET_CACHE_PROP_VAL(property, "%s", text);
    }
    vexo_dfree(profile);
    if (w.malformed) {
        // A list cut short may have lost the port that decides.
        vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_ConfigureChannelManagement(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *adapter = context ? context->parent : nullptr;
    if (!adapter || !params)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_AW2 || family == AW_TYPE_VARROW || family == AW_TYPE_TRELMONT) {
        vexo_set_fixed_status(VEXO_STATUS_MULTI_CHANNEL_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    const char *state = params[0];
    const char *type = params[1];
    uint8_t code = kMcDisabled;
    if (strcasecmp(state, "Enabled") == 0) {
        if (type[0] == '\0') {
            vexo_set_fixed_status(VEXO_STATUS_CHANNEL_TYPE_REQURIED);
            return VEXO_STATUS_FAILURE;
        }
        char supported[VEXO_VALUE_SIZE] = "";
        if (internal_get_property(context, "SupportedMCTypes", supported) != VEXO_STATUS_SUCCESS)
            return VEXO_STATUS_FAILURE;
        // A whole entry, case-sensitive: "ZMR" is not found inside "HLZMR".
        code = 0;
        if (vexo_internal_list_search(supported, type, 0))
            for (const auto &m : kMcCodes)
                if (strcasecmp(m.text, type) == 0)
                    code = m.code;
        if (code == 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:%s is not one of %s.\n", __func__, type, supported);
            vexo_set_fixed_status(VEXO_STATUS_MCTYPES_NOT_SUPPORTED);
            return VEXO_STATUS_FAILURE;
        }
    }
    node *carrier = target_function(adapter);
    if (!carrier) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get NIC/iSCSI nodes.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    SET_PROFILE_CONFIG_PARAMS *req = static_cast<SET_PROFILE_CONFIG_PARAMS *>(vexo_dmalloc(sizeof *req));
    if (!req) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return VEXO_STATUS_FAILURE;
    }
    std::memset(req, 0, sizeof *req);
    req->resource_descriptor_count = 1;
    SLI4_RESC_DESC_PORT *port = reinterpret_cast<SLI4_RESC_DESC_PORT *>(req->resources);
    port->word0 = RESC_DESC_PORT | static_cast<uint32_t>(RESC_DESC_SIZE) << 8;
    port->link_word = static_cast<uint32_t>(code) << 8;
    int sent = profile_send_write(adapter, req, VEXO_SET_PROFILE_ONE_DESC_SIZE);
    vexo_dfree(req);
    if (sent != 0)
        return VEXO_STATUS_FAILURE;
    GET_RESET_NEEDED_PARAMS reset;
    std::memset(&reset, 0, sizeof reset);
    VEXO_status_t st = ioctl_get_reset_needed(get_port_number(carrier), &reset, get_domain_id(carrier),
                                              get_phba_port_number(carrier), instance_number(adapter));
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_reset_needed failed with status = %d\n", __func__, st);
        vexo_set_fixed_status(VEXO_STATUS_GET_RESET_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    if (reset.response.change_status != 0)
        vexo_set_fixed_status(VEXO_STATUS_MULTI_CHANNEL_STATE_CHANGE);
    return rebuild_all_channels(adapter) == 0 ? VEXO_STATUS_SUCCESS : VEXO_STATUS_FAILURE;
}

VEXO_status_t do_ConfigureQoS(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *cm = context ? context->parent : nullptr;
    node *port = cm ? cm->parent : nullptr;
    node *adapter = port ? port->parent : nullptr;
    if (!action || !params || !adapter)
        return VEXO_STATUS_FAILURE;
    // The channel's own port, not the carrier's.
    unsigned int phba_port = get_phba_port_number(context);
    node *carrier = target_function(adapter);
    if (!carrier) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get NIC/iSCSI nodes.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    channel_modes modes;
    if (channel_read_modes(adapter, port, CHANNEL_MODE_CURRENT | CHANNEL_MODE_CONFIGURED, &modes) != 0)
        return VEXO_STATUS_FAILURE;
    if (channel_mode_is(modes.configured, "N/A") || channel_mode_is(modes.configured, "None")) {
        vexo_set_fixed_status(VEXO_STATUS_SETTING_CHANNEL_PARAM_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    if (channel_mode_is(modes.configured, "vNIC1") || channel_mode_is(modes.configured, "UFP")) {
        vexo_set_fixed_status(VEXO_STATUS_CONF_CHANNEL_PARAM_NOT_SUPPORTTED);
        return VEXO_STATUS_CONF_CHANNEL_PARAM_NOT_SUPPORTTED;
    }
    long min = std::strtol(params[0], nullptr, 10);
    long max = std::strtol(params[1], nullptr, 10);
    if (max < min) {
        vexo_set_fixed_status(VEXO_STATUS_MIN_BW_GRT_THAN_MAX_BW);
        return VEXO_STATUS_FAILURE;
    }
    char number[VEXO_VALUE_SIZE] = "", lpvid[VEXO_VALUE_SIZE] = "", type[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(context, "FunctionNumber", number) != VEXO_STATUS_SUCCESS ||
        internal_get_property(context, "LPVID", lpvid) != VEXO_STATUS_SUCCESS ||
        internal_get_property(context, "Type", type) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    int ftype = channel_function_type(type);
    GET_PROFILE_CONFIG_PARAMS *profile = VEXO_get_profile(adapter, PROFILE_CONFIG_CONFIGURED, 0, 0);
    if (!profile)
        return VEXO_STATUS_FAILURE;
    uint32_t pf = static_cast<uint32_t>(std::strtoul(number, nullptr, 16));
    const uint8_t *desc = channel_find_descriptor(profile, ftype, pf, nullptr);
    if (!desc) {
        // Never a write built from a descriptor that is not there.
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:No descriptor for function %s.\n", __func__, number);
        vexo_dfree(profile);
        vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    SET_PROFILE_CONFIG_PARAMS *req = static_cast<SET_PROFILE_CONFIG_PARAMS *>(vexo_dmalloc(sizeof *req));
    if (!req) {
        vexo_dfree(profile);
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return VEXO_STATUS_FAILURE;
    }
    profile_one_desc_prepare(req, desc, pf, true);
    vexo_dfree(profile);
    uint32_t *word0 = reinterpret_cast<uint32_t *>(req->resources);
    *word0 &= ~(RESC_DESC_MAC_ADDR_VALID | RESC_DESC_QOS_UNITS | RESC_DESC_IMMEDIATE);
    if (channel_write_immediate(&modes))
        *word0 |= RESC_DESC_IMMEDIATE;
    uint32_t bw_min = static_cast<uint32_t>(min), bw_max = static_cast<uint32_t>(max);
    if (ftype == RESC_DESC_NIC) {
        SLI4_RESC_DESC_NIC *d = reinterpret_cast<SLI4_RESC_DESC_NIC *>(req->resources);
        d->link_word = (d->link_word & ~0x3Fu) | (phba_port & 0x3F);
        *word0 |= RESC_DESC_VLAN_VALID;
        d->vlan_id = static_cast<uint16_t>(std::strtol(lpvid, nullptr, 10));
        d->bw_min = bw_min;
        d->bw_max = bw_max;
    } else if (ftype == RESC_DESC_ISCSI) {
        SLI4_RESC_DESC_ISCSI *d = reinterpret_cast<SLI4_RESC_DESC_ISCSI *>(req->resources);
        d->bw_min = bw_min;
        d->bw_max = bw_max;
    } else {
        VEXO_SLI4_RESC_DESC_FCOE *d = reinterpret_cast<VEXO_SLI4_RESC_DESC_FCOE *>(req->resources);
        d->bw_min = bw_min;
        d->bw_max = bw_max;
    }
    int sent = profile_send_write(adapter, req, VEXO_SET_PROFILE_ONE_DESC_SIZE, static_cast<int>(phba_port));
    vexo_dfree(req);
    if (sent != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:status of ioctl_set_profile_config = %d\n", __func__, sent);
        return VEXO_STATUS_FAILURE;
    }
    set_prop_val(context, "MinBandWidth", "%d", static_cast<int>(min));
    set_prop_val(context, "MaxBandWidth", "%d", static_cast<int>(max));
    return VEXO_STATUS_SUCCESS;
}
