#include "mgmt/aw/vexo-backend/save_profile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/channel_management.h"
#include "mgmt/aw/vexo-backend/mac_addresses.h"
#include "mgmt/aw/vexo-backend/multichannel.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/port_discovery.h"
#include "mgmt/aw/vexo-backend/port_state.h"
#include "mgmt/aw/vexo-backend/profile_tree.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

namespace
{

const struct {
    const char *text;
    uint16_t code;
} kMcCodes[] = {{"None", 1}, {"ZMR", 2}, {"vNIC1", 4}, {"vNIC2", 7}, {"NPAR", 5},
                {"UFP", 6},  {"HLZMR", 10}, {"HLFlex", 3}, {"HLFlexQBG", 8}};

const uint16_t MC_CODE_NONE = 1;
const uint32_t PROFILE_ID_ALL_SRIOV = 24; // every function runs SR-IOV
const uint16_t ALL_VFS = 255;

// Protocol code of a staged Protocol text.
uint8_t protocol_code(const char *text)
{
    if (strcasecmp(text, "NIC") == 0)
        return PROFILE_PF_NIC;
    if (strcasecmp(text, "iSCSI") == 0)
        return PROFILE_PF_ISCSI;
    if (strcasecmp(text, "FCoE") == 0)
        return PROFILE_PF_FCOE;
    if (strcasecmp(text, "NIC+RoCE") == 0 || strcasecmp(text, "RoCE") == 0)
        return PROFILE_PF_ROCE;
    return PROFILE_PF_NONE;
}

// The cached value of property `name` of `group`; null when there is none.
const char *cached_of(node *group, const char *name)
{
    node *p = internal_get_node(group, name, VEXO_NODE_PROPERTY);
    return p && p->u.prop ? p->u.prop->val : nullptr;
}

// The staged functions of the configured profile.
struct staged_functions {
    size_t count;
    uint16_t number[VEXO_PROFILE_MAX_FUNCTIONS];
    uint8_t protocol[VEXO_PROFILE_MAX_FUNCTIONS];
    uint8_t sriov[VEXO_PROFILE_MAX_FUNCTIONS];
};

// A function number text as hexadecimal, 16 bits; false for anything else.
bool function_number(const char *text, uint16_t *number)
{
    if (!text[0] || std::strchr(text, '-'))
        return false;
    char *end = nullptr;
    errno = 0;
    unsigned long v = std::strtoul(text, &end, 16);
    if (errno != 0 || *end != '\0' || v > 0xFFFF)
        return false;
    *number = static_cast<uint16_t>(v);
    return true;
}

// Reads the staged mode of every configured port (into `table` entries and
// `mc_text`) and the staged functions; false when a port has no function or
// a function cannot be read.
bool read_staged(node *first_port, port_protocol *table, char (*mc_text)[VEXO_VALUE_SIZE], staged_functions *f)
{
    size_t p = 0;
    for (node *port = first_port; port; port = next_group_instance(port), ++p) {
        char mc[VEXO_VALUE_SIZE] = "";
        if (internal_get_property(port, "MCType", mc) == VEXO_STATUS_SUCCESS && p < MC_PROPS_PORTS) {
            table[p].mc_type = save_mc_type_code(mc);
            std::snprintf(mc_text[p], VEXO_VALUE_SIZE, "%s", mc);
        }
        node *fn = get_first_instance(port, "Function");
        if (!fn) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Port %d has no function.\n", __func__, static_cast<int>(p));
            return false;
        }
        for (; fn; fn = next_group_instance(fn)) {
            char protocol[VEXO_VALUE_SIZE] = "", number[VEXO_VALUE_SIZE] = "", sriov[VEXO_VALUE_SIZE] = "";
            if (internal_get_property(fn, "Protocol", protocol) != VEXO_STATUS_SUCCESS ||
                internal_get_property(fn, "FunctionNumber", number) != VEXO_STATUS_SUCCESS ||
                internal_get_property(fn, "SRIOVState", sriov) != VEXO_STATUS_SUCCESS)
                return false;
            uint16_t pf = 0;
            if (!function_number(number, &pf)) {
                // A function that cannot be matched must not be guessed at.
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:FunctionNumber %s is invalid\n", __func__, number);
                return false;
            }
            if (f->count == VEXO_PROFILE_MAX_FUNCTIONS)
                continue; // no write holds more
            f->number[f->count] = pf;
            f->protocol[f->count] = protocol_code(protocol);
            f->sriov[f->count] = strcasecmp(sriov, "Enabled") == 0 ? 1 : 0;
            ++f->count;
        }
    }
    return true;
}

// Sets descriptor `d` of the write from the staged function it matches, or
// as a disabled function without one.
void stage_descriptor(SLI4_RESC_DESC_PCIE *d, uint16_t census_pf, const staged_functions *f, uint32_t pid)
{
    size_t j = 0;
    while (j < f->count && f->number[j] != census_pf)
        ++j;
    uint16_t pf = census_pf;
    if (j < f->count) {
        pf = f->number[j];
        d->sriov_state = pid == PROFILE_ID_ALL_SRIOV ? 1 : f->sriov[j];
        d->pf_state = 1;
        d->pf_type = f->protocol[j];
        if (f->protocol[j] == PROFILE_PF_NONE) {
            d->pf_state = 0;
            d->pf_type = PROFILE_PF_NIC;
            d->sriov_state = 0;
        }
        d->number_vfs = d->sriov_state == 1 ? ALL_VFS : 0;
    } else {
        d->pf_state = 0;
        d->pf_type = PROFILE_PF_NIC;
        d->sriov_state = 0;
        d->number_vfs = 0;
    }
    d->word1 = (d->word1 & ~(RESC_DESC_PF_MASK << RESC_DESC_PF_SHIFT)) | (pf & RESC_DESC_PF_MASK)
                                                                         << RESC_DESC_PF_SHIFT;
}

// Deletes the Port children of the configured profile and rebuilds them
// from the firmware; 0 or 1.
int rebuild_configured(node *adapter, node *cp)
{
    if (purge_nodes_within(cp, "Port") != VEXO_STATUS_SUCCESS)
        return 1;
    return VEXO_get_configured_profiles(adapter) == 0 ? 0 : 1;
}

// Rebuilds the channels of every port of the adapter, saving their settings
// first and reapplying them after; 0 or 1.
int refresh_channels(node *adapter, const port_protocol *table, const char (*mc_text)[VEXO_VALUE_SIZE],
                     mc_properties (*props)[MC_PROPS_CHANNELS])
{
    node *port = get_first_instance(adapter, "PortDiscoveryAndConfiguration");
    if (!port)
        return 1;
    int result = 0;
    for (; port; port = next_group_instance(port)) {
        int instance = instance_number(port);
        const char *mc = instance >= 0 && instance < MC_PROPS_PORTS ? mc_text[instance] : "";
        int fc = VEXO_reset_flow_control_properties(port, mc);
        if (fc != 0)
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:VEXO_reset_flow_control_properties failed with %d\n",
                   __func__, fc);
        char number[VEXO_VALUE_SIZE] = "";
        if (internal_get_property(port, "PortNumber", number) != VEXO_STATUS_SUCCESS)
            return 1;
        node *cm = internal_get_node(port, "ChannelManagement", VEXO_NODE_GROUP);
        if (!cm)
            return 1;
        int channels = 0;
        int saved = VEXO_save_mc_props(cm, props, instance, &channels);
        if (saved == VEXO_STATUS_CHANNEL_NOT_FOUND) {
            result = 0;
            continue;
        }
        if (saved != 0)
            return 1;
        if (purge_nodes_within(cm, "Channel") != VEXO_STATUS_SUCCESS)
            return 1;
        if (VEXO_get_multi_channels_info(std::atoi(number), port) != 0)
            return 1;
        (void)VEXO_reset_mc_props(cm, props, instance, table, channels);
    }
    return result;
}

// MCType of the first Port of `group_name` below ProfileManagement `pm`.
bool first_port_mc_type(node *pm, const char *group_name, char *mc)
{
    node *group = internal_get_node(pm, group_name, VEXO_NODE_GROUP);
    node *port = group ? get_first_instance(group, "Port") : nullptr;
    return port && internal_get_property(port, "MCType", mc) == VEXO_STATUS_SUCCESS;
}

// Going back to no multichannel mode on an OEM system: the virtual MACs are
// put back and the FCoE WWNs erased. The result the action ends with.
VEXO_status_t oem_mode_reset(node *adapter, node *pm, node *carrier, VEXO_status_t result)
{
    if (VEXO_DetermineIfDellSystem(adapter) != 0)
        return result;
    char configured[VEXO_VALUE_SIZE] = "", active[VEXO_VALUE_SIZE] = "";
    if (!first_port_mc_type(pm, "ConfiguredProfile", configured) || !first_port_mc_type(pm, "ActiveProfile", active))
        return VEXO_STATUS_FAILURE;
    if (strcasecmp(configured, "None") != 0 || strcasecmp(active, "None") == 0)
        return result;
    (void)VEXO_reset_virt_mac(adapter, 1);
    FLASHROM_PARAMS erase;
    std::memset(&erase, 0, sizeof erase);
    erase.op_code = FLASHROM_OPER_ERASE;
    erase.op_type = ENUM_MGMT_FLASHROM_OPTYPE_CFG_FCOE_WWNS;
    VEXO_status_t st = ioctl_erase_ROM(get_port_number(carrier), &erase, get_domain_id(carrier),
                                       get_phba_port_number(carrier), adapter_driver(adapter));
    if (st != VEXO_STATUS_SUCCESS)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_erase_ROM failed with status = %d\n", __func__, st);
    // An earlier failure stays the result.
    return result != VEXO_STATUS_SUCCESS ? result : st;
}

} // namespace

uint16_t save_mc_type_code(const char *text)
{
    for (const auto &m : kMcCodes)
        if (strcasecmp(m.text, text) == 0)
            return m.code;
    return 0;
}

VEXO_status_t do_SaveProfile(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    (void)action;
    (void)params;
    node *adapter = context ? context->parent : nullptr;
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_AW2 || family == AW_TYPE_AW3 || family == AW_TYPE_VARROW) {
        vexo_set_fixed_status(VEXO_STATUS_CMD_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    node *carrier = target_function(adapter);
    if (!carrier) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get NIC/iSCSI nodes.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }

    port_protocol table[VEXO_PROFILE_MAX_FUNCTIONS];
    size_t n = 0;
    GET_PROFILE_CONFIG_PARAMS *census = profile_census_read(adapter, table, &n, __func__);
    if (!census)
        return VEXO_STATUS_FAILURE;

    staged_functions staged;
    std::memset(&staged, 0, sizeof staged);
    char mc_text[MC_PROPS_PORTS][VEXO_VALUE_SIZE] = {};
    mc_properties props[MC_PROPS_PORTS][MC_PROPS_CHANNELS];
    std::memset(props, 0, sizeof props);
    VEXO_status_t result = VEXO_STATUS_FAILURE;
    SET_PROFILE_CONFIG_PARAMS *req = nullptr;
    node *cp = nullptr;
    uint8_t mc_type[MC_PROPS_PORTS] = {};
    char id_text[VEXO_VALUE_SIZE] = "";
    unsigned long pid = 0;
    char *end = nullptr;
    size_t size = 0;
    const uint8_t *pcie[VEXO_PROFILE_MAX_FUNCTIONS];
    GET_RESET_NEEDED_PARAMS reset;

    GET_PROFILE_CONFIG_PARAMS *active = VEXO_get_profile(adapter, PROFILE_CONFIG_ACTIVE, 0, 0);
    if (!active)
        goto cleanup;
    {
        // Lockstep: each active PCIe function replaces the census entry at
        // the cursor when it is the same function; either way the cursor
        // moves on.
        profile_walk w;
        profile_walk_start(&w, active, VEXO_PROFILE_CONFIG_SIZE);
        size_t k = 0;
        for (const uint8_t *d = profile_walk_next(&w); d && k < n; d = profile_walk_next(&w)) {
            if (resc_desc_type(d) != RESC_DESC_PCIE || resc_desc_length(d) < RESC_DESC_SIZE)
                continue;
            if (resc_desc_pf_number(d) == table[k].func_number)
                table[k].pcie_res_desc = d;
            ++k;
        }
        if (w.malformed) {
            vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED);
            goto cleanup;
        }
    }

    cp = internal_get_node(context, "ConfiguredProfile", VEXO_NODE_GROUP);
    if (!cp || !get_first_instance(cp, "Port"))
        goto cleanup;
    if (!read_staged(get_first_instance(cp, "Port"), table, mc_text, &staged))
        goto cleanup;

    if (internal_get_property(cp, "ProfileId", id_text) != VEXO_STATUS_SUCCESS)
        goto cleanup;
    errno = 0;
    pid = std::strtoul(id_text, &end, 10);
    if (!id_text[0] || *end != '\0' || errno != 0 || std::strchr(id_text, '-') || pid > 0xFF) {
        // The write's profile field is 8 bits wide.
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ProfileId %s is invalid\n", __func__, id_text);
        vexo_set_fixed_status(VEXO_STATUS_INVALID_VALUE);
        goto cleanup;
    }

    for (size_t p = 0; p < MC_PROPS_PORTS; ++p)
        mc_type[p] = static_cast<uint8_t>(table[p].mc_type);
    for (size_t i = 0; i < n; ++i)
        pcie[i] = table[i].pcie_res_desc;
    req = profile_table_request(static_cast<uint8_t>(pid), pcie, n, mc_type, &size);
    if (!req)
        goto cleanup;
    for (size_t i = 0; i < n; ++i)
        stage_descriptor(reinterpret_cast<SLI4_RESC_DESC_PCIE *>(req->resources + i * RESC_DESC_SIZE),
                         table[i].func_number, &staged, static_cast<uint32_t>(pid));

    if (profile_send_write(adapter, req, size) != 0) {
        vexo_set_fixed_status(VEXO_STATUS_SAVE_PROFILE_FAILED);
        (void)rebuild_configured(adapter, cp);
        goto cleanup;
    }

    std::memset(&reset, 0, sizeof reset);
    {
        VEXO_status_t st = ioctl_get_reset_needed(get_port_number(carrier), &reset, get_domain_id(carrier),
                                                  get_phba_port_number(carrier), instance_number(adapter));
        if (st != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_reset_needed failed with status = %d\n",
                   __func__, st);
            vexo_set_fixed_status(VEXO_STATUS_GET_RESET_FAILED);
            goto cleanup;
        }
    }
    if (reset.response.change_status != 0)
        vexo_set_fixed_status(VEXO_STATUS_CONFIG_STATE_CHANGED);
    if (rebuild_configured(adapter, cp) != 0)
        goto cleanup;

    result = refresh_channels(adapter, table, mc_text, props) == 0 ? VEXO_STATUS_SUCCESS : VEXO_STATUS_FAILURE;

cleanup:
    vexo_dfree(req);
    vexo_dfree(active);
    vexo_dfree(census);
    std::memset(props, 0, sizeof props);
    return oem_mode_reset(adapter, context, carrier, result);
}

extern "C" int VEXO_save_mc_props(node *channel_mgmt, mc_properties (*props)[MC_PROPS_CHANNELS], int port_instance,
                                  int *channels)
{
    if (!channel_mgmt || !props || !channels || port_instance < 0 || port_instance >= MC_PROPS_PORTS)
        return 1;
    node *port = channel_mgmt->parent;
    node *adapter = port ? port->parent : nullptr;
    node *pm = adapter ? internal_get_node(adapter, "ProfileManagement", VEXO_NODE_GROUP) : nullptr;
    node *ap = pm ? internal_get_node(pm, "ActiveProfile", VEXO_NODE_GROUP) : nullptr;
    if (!ap)
        return 1;
    char iface[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(port, "InterfaceType", iface) != VEXO_STATUS_SUCCESS)
        return 1;
    mc_properties *row = props[port_instance];
    if (strcasecmp(iface, "Unknown") != 0) {
        char instance[16];
        std::snprintf(instance, sizeof instance, "%d", port_instance);
        node *aport = get_selected_group_node(ap, "Port", instance);
        if (!aport)
            return 1;
        char mc[VEXO_VALUE_SIZE] = "";
        if (internal_get_property(aport, "MCType", mc) == VEXO_STATUS_SUCCESS) {
            uint16_t code = save_mc_type_code(mc);
            if (code != 0)
                row[0].mc_type = code;
        }
    }
    node *channel = get_first_instance(channel_mgmt, "Channel");
    if (!channel)
        return VEXO_STATUS_CHANNEL_NOT_FOUND;
    int c = 0;
    for (; channel && c < MC_PROPS_CHANNELS; channel = next_group_instance(channel), ++c) {
        mc_properties &m = row[c];
        if (const char *v = cached_of(channel, "MinBandWidth"))
            m.bw_min = static_cast<uint32_t>(std::strtoul(v, nullptr, 10));
        if (const char *v = cached_of(channel, "MaxBandWidth"))
            m.bw_max = static_cast<uint32_t>(std::strtoul(v, nullptr, 10));
        if (const char *v = cached_of(channel, "LPVID"))
            m.vlan_id = strcasecmp(v, "N/A") == 0 ? 0 : static_cast<uint16_t>(std::strtoul(v, nullptr, 10));
        if (const char *v = cached_of(channel, "LogicalLinkState"))
            m.lld = strcasecmp(v, "Enabled") != 0 ? 1 : 0;
        if (const char *v = cached_of(channel, "Type")) {
            // The record keeps 31 characters of the type; longer types are cut.
            size_t n = strnlen(v, sizeof m.func_type - 1);
            std::memcpy(m.func_type, v, n);
            m.func_type[n] = '\0';
        }
    }
    *channels = c;
    return 0;
}

extern "C" int VEXO_reset_mc_props(node *channel_mgmt, mc_properties (*props)[MC_PROPS_CHANNELS], int port_instance,
                                   const port_protocol *table, int channels)
{
    if (!channel_mgmt || !props || !table || port_instance < 0 || port_instance >= MC_PROPS_PORTS)
        return 1;
    mc_properties *row = props[port_instance];
    if (row[0].mc_type == MC_CODE_NONE || table[port_instance].mc_type == MC_CODE_NONE)
        return 0;
    if (channels > MC_PROPS_CHANNELS)
        channels = MC_PROPS_CHANNELS;
    node *port = channel_mgmt->parent;
    node *adapter = port ? port->parent : nullptr;
    if (!adapter)
        return 1;
    node *channel = get_first_instance(channel_mgmt, "Channel");
    if (!channel)
        return 1;
    for (int c = 0; channel; channel = next_group_instance(channel), ++c) {
        char qos[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(qos, 0, sizeof qos);
        node *qos_action = internal_get_node(channel, "ConfigureQoS", VEXO_NODE_ACTION);
        if (c >= channels) {
            std::snprintf(qos[0], VEXO_VALUE_SIZE, "0");
            std::snprintf(qos[1], VEXO_VALUE_SIZE, "0");
            VEXO_status_t st = do_ConfigureQoS(channel, qos_action, qos);
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:do_ConfigureQoS of channel %d gave %d\n", __func__, c, st);
            continue;
        }
        const mc_properties &m = row[c];
        std::snprintf(qos[0], VEXO_VALUE_SIZE, "%d", static_cast<int>(m.bw_min));
        std::snprintf(qos[1], VEXO_VALUE_SIZE, "%d", static_cast<int>(m.bw_max));
        VEXO_status_t st = do_ConfigureQoS(channel, qos_action, qos);
        if (st == VEXO_STATUS_CONF_CHANNEL_PARAM_NOT_SUPPORTTED)
            return 0; // the configured mode owns the bandwidths
        if (st != VEXO_STATUS_SUCCESS)
            return 1;
        channel_modes modes;
        std::memset(&modes, 0, sizeof modes);
        if (VEXO_get_trm_mc_type(adapter, port, modes.current, modes.configured, modes.reboot) != 0)
            return 1;
        node *type = internal_get_node(channel, "Type", VEXO_NODE_PROPERTY);
        node *lpvid = internal_get_node(channel, "LPVID", VEXO_NODE_PROPERTY);
        if (!type || !type->u.prop || !lpvid)
            return 1;
        const char *now = type->u.prop->val;
        if (strcasecmp(now, m.func_type) == 0 && std::strstr(now, "NIC")) {
            char text[VEXO_VALUE_SIZE];
            std::snprintf(text, sizeof text, "%d", static_cast<int>(m.vlan_id));
            if (std::strcmp(text, "0") != 0)
                (void)VEXO_set_mchannel_params(adapter, channel, lpvid, text, modes.current, modes.reboot);
            SET_CACHE_PROP_VAL(lpvid, "%s", text);
        }
        node *lls = internal_get_node(channel, "LogicalLinkState", VEXO_NODE_PROPERTY);
        if (!lls)
            return 1;
        const char *state = m.lld ? "Disabled" : "Enabled";
        (void)VEXO_set_mchannel_params(adapter, channel, lls, state, modes.current, modes.reboot);
        SET_CACHE_PROP_VAL(lls, "%s", state);
    }
    return 0;
}
