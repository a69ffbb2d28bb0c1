#include "mgmt/aw/vexo-backend/multichannel.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/port_discovery.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace
{

// Offsets of the channel fields in each descriptor type.
struct ChannelFields {
    int type;
    size_t link; // word with lld (bit 9), and on a NIC channel_id (16-27)
    size_t bw_min, bw_max;
};
const ChannelFields kFields[] = {
    {RESC_DESC_NIC, offsetof(SLI4_RESC_DESC_NIC, link_word), offsetof(SLI4_RESC_DESC_NIC, bw_min),
     offsetof(SLI4_RESC_DESC_NIC, bw_max)},
    {RESC_DESC_ISCSI, offsetof(SLI4_RESC_DESC_ISCSI, link_word), offsetof(SLI4_RESC_DESC_ISCSI, bw_min),
     offsetof(SLI4_RESC_DESC_ISCSI, bw_max)},
    {RESC_DESC_FCOE, offsetof(VEXO_SLI4_RESC_DESC_FCOE, link_word), offsetof(VEXO_SLI4_RESC_DESC_FCOE, bw_min),
     offsetof(VEXO_SLI4_RESC_DESC_FCOE, bw_max)},
};

const ChannelFields *fields_of(int type)
{
    for (const ChannelFields &f : kFields)
        if (f.type == type)
            return &f;
    return nullptr;
}

bool is_property(const node *p)
{
    return p && p->node_type == VEXO_NODE_PROPERTY && p->u.prop;
}

// The channel, port and adapter that own a channel property.
struct Owners {
    node *channel;
    node *port;
    node *adapter;
};

bool owners_of(node *property, Owners *o)
{
    o->channel = is_property(property) ? property->parent : nullptr;
    node *cm = o->channel ? o->channel->parent : nullptr;
    o->port = cm ? cm->parent : nullptr;
    o->adapter = o->port ? o->port->parent : nullptr;
    return o->adapter != nullptr;
}

// The configuration a channel reader asks for.
int config_for(const char *mode, bool ufp_too)
{
    return channel_mode_is(mode, "vNIC1") || (ufp_too && channel_mode_is(mode, "UFP")) ? PROFILE_CONFIG_ACTIVE
                                                                                       : PROFILE_CONFIG_CONFIGURED;
}

bool no_mode(const char *mode)
{
    return channel_mode_is(mode, "N/A") || channel_mode_is(mode, "None");
}

// Reads one configuration and sets the property from it. -1 when the read
// failed (its status is set), else the result of VEXO_get_mchannel_params.
int refresh_from(node *adapter, node *channel, node *property, int config_type)
{
    GET_PROFILE_CONFIG_PARAMS *profile = VEXO_get_profile(adapter, config_type, 0, 0);
    if (!profile)
        return -1;
    int r = VEXO_get_mchannel_params(channel, property, profile);
    vexo_dfree(profile);
    return r;
}

// Shared body of the two bandwidth readers.
VEXO_status_t bandwidth(const char *who, node *property, char *value)
{
    Owners o;
    if (!value || !owners_of(property, &o))
        return VEXO_STATUS_FAILURE;
    channel_modes modes;
    if (channel_read_modes(o.adapter, o.port, CHANNEL_MODE_CURRENT, &modes) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to read the channel modes.\n", who);
        return VEXO_STATUS_FAILURE;
    }
    int r = refresh_from(o.adapter, o.channel, property, config_for(modes.current, true));
    VEXO_status_t result = VEXO_STATUS_SUCCESS;
    if (r > 0)
        vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED);
    if (r != 0)
        result = VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return result;
}

// A physical function's descriptor of `type` with room for its fields; a
// virtual-function template carries the same function number but is no
// channel.
bool is_channel_descriptor(const uint8_t *d, int type)
{
    return resc_desc_type(d) == type && resc_desc_length(d) >= RESC_DESC_SIZE &&
           !(resc_desc_word(d, 0) & RESC_DESC_VF_TEMPLATE);
}

} // namespace

int channel_function_type(const char *type)
{
    if (!type)
        return 0;
    if (strcasecmp(type, "NIC") == 0 || strcasecmp(type, "NIC+RoCE") == 0)
        return RESC_DESC_NIC;
    if (strcasecmp(type, "iSCSI") == 0)
        return RESC_DESC_ISCSI;
    if (strcasecmp(type, "FCoE") == 0)
        return RESC_DESC_FCOE;
    return 0;
}

const uint8_t *channel_find_descriptor(const GET_PROFILE_CONFIG_PARAMS *profile, int type, uint32_t pf,
                                       bool *malformed)
{
    profile_walk w;
    profile_walk_start(&w, profile, VEXO_PROFILE_CONFIG_SIZE);
    const uint8_t *found = nullptr;
    for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w)) {
        if (type != 0 && is_channel_descriptor(d, type) && resc_desc_pf_number(d) == pf) {
            found = d;
            break;
        }
    }
    if (malformed)
        *malformed = w.malformed;
    return found;
}

bool channel_mode_is(const char *mode, const char *name)
{
    return mode && strcasecmp(mode, name) == 0;
}

bool channel_write_immediate(const channel_modes *modes)
{
    return !no_mode(modes->current) && !channel_mode_is(modes->reboot, "Yes");
}

int channel_read_modes(node *adapter, node *port, unsigned what, channel_modes *modes)
{
    std::memset(modes, 0, sizeof *modes);
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return 1;
    if (family == AW_TYPE_TRELMONT)
        return VEXO_get_trm_mc_type(adapter, port, modes->current, modes->configured, modes->reboot);
    if (family != AW_TYPE_AW3)
        return 0;
    node *cm = internal_get_node(adapter, "ChannelManagement", VEXO_NODE_GROUP);
    if (!cm)
        return 1;
    if ((what & CHANNEL_MODE_CURRENT) &&
        internal_get_property(cm, "CurrentManagementType", modes->current) != VEXO_STATUS_SUCCESS)
        return 1;
    if ((what & CHANNEL_MODE_CONFIGURED) &&
        internal_get_property(cm, "ConfiguredManagementType", modes->configured) != VEXO_STATUS_SUCCESS)
        return 1;
    if (what & CHANNEL_MODE_REBOOT_NO)
        std::snprintf(modes->reboot, sizeof modes->reboot, "No");
    return 0;
}

extern "C" VEXO_status_t group_Arcwright_PortDiscoveryAndConfiguration_ChannelManagement(node *grp)
{
    node *port = grp ? grp->parent : nullptr;
    node *adapter = port ? port->parent : nullptr;
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    char number[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(port, "PortNumber", number) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get PortNumber.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    purge_nodes_within(grp, "Channel");
    // A port whose channels cannot be read shows none; the refresh itself
    // succeeded.
    VEXO_get_multi_channels_info(std::atoi(number), port);
    return VEXO_STATUS_SUCCESS;
}

extern "C" int VEXO_get_trm_mc_type(node *adapter, node *port, char *current, char *configured, char *reboot)
{
    if (!adapter || !port || !current || !configured || !reboot)
        return 1;
    node *pm = internal_get_node(adapter, "ProfileManagement", VEXO_NODE_GROUP);
    node *active = pm ? internal_get_node(pm, "ActiveProfile", VEXO_NODE_GROUP) : nullptr;
    node *conf = pm ? internal_get_node(pm, "ConfiguredProfile", VEXO_NODE_GROUP) : nullptr;
    if (!active || !conf) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:No profile groups.\n", __func__);
        return 1;
    }
    char number[VEXO_VALUE_SIZE] = "", iftype[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(port, "PortNumber", number) != VEXO_STATUS_SUCCESS ||
        internal_get_property(port, "InterfaceType", iftype) != VEXO_STATUS_SUCCESS)
        return 1;
    char name[VEXO_VALUE_SIZE];
    std::snprintf(name, sizeof name, "Port%d", std::atoi(number));
    if (std::strcmp(iftype, "Unknown") != 0) {
        node *ap = internal_get_node(active, name, VEXO_NODE_GROUP);
        if (!ap || internal_get_property(ap, "MCType", current) != VEXO_STATUS_SUCCESS)
            return 1;
    }
    node *cp = internal_get_node(conf, name, VEXO_NODE_GROUP);
    if (!cp)
        return 1;
    VEXO_status_t r1 = internal_get_property(pm, "RebootRequired", reboot);
    VEXO_status_t r2 = internal_get_property(cp, "MCType", configured);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:current = %s configured = %s reboot = %s\n", __func__, current,
           configured, reboot);
    return r1 != VEXO_STATUS_SUCCESS || r2 != VEXO_STATUS_SUCCESS ? 1 : 0;
}

extern "C" int VEXO_get_mchannel_params(node *channel, node *property, const GET_PROFILE_CONFIG_PARAMS *profile)
{
    if (!channel || !is_property(property) || !property->node_name || !profile)
        return 1;
    char type[VEXO_VALUE_SIZE] = "", number[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(channel, "Type", type) != VEXO_STATUS_SUCCESS ||
        internal_get_property(channel, "FunctionNumber", number) != VEXO_STATUS_SUCCESS)
        return 1;
    int ftype = channel_function_type(type);
    const ChannelFields *f = fields_of(ftype);
    if (!f)
        return 0;
    profile_walk w;
    profile_walk_start(&w, profile, VEXO_PROFILE_CONFIG_SIZE);
    const uint8_t *d = nullptr;
    for (const uint8_t *x = profile_walk_next(&w); x; x = profile_walk_next(&w)) {
        char pf[16];
        std::snprintf(pf, sizeof pf, "0x%x", resc_desc_pf_number(x));
        if (is_channel_descriptor(x, ftype) && strcasecmp(pf, number) == 0) {
            d = x;
            break;
        }
    }
    if (!d) {
        if (w.malformed) {
            vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED);
            return 1;
        }
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_WARNING, "%s:No descriptor for function %s.\n", __func__, number);
        return 0;
    }
    const char *name = property->node_name;
    bool nic = ftype == RESC_DESC_NIC;
    uint32_t link = resc_desc_word(d, f->link);
    if (strcasecmp(name, "LogicalLinkState") == 0)
        SET_CACHE_PROP_VAL(property, "%s", (link & RESC_DESC_LLD) ? "Disabled" : "Enabled");
    else if (strcasecmp(name, "LPVID") == 0 && nic)
        SET_CACHE_PROP_VAL(property, "%u", static_cast<unsigned>(d[36] | d[37] << 8));
    else if (strcasecmp(name, "OuterVLANID") == 0 && nic)
        SET_CACHE_PROP_VAL(property, "%u", (link >> 16) & 0xFFF);
    else if (strcasecmp(name, "LPVID") == 0 || strcasecmp(name, "OuterVLANID") == 0)
        SET_CACHE_PROP_VAL(property, "N/A");
    else if (strcasecmp(name, "MinBandWidth") == 0)
        SET_CACHE_PROP_VAL(property, "%u", resc_desc_word(d, f->bw_min));
    else if (strcasecmp(name, "MaxBandWidth") == 0)
        SET_CACHE_PROP_VAL(property, "%u", resc_desc_word(d, f->bw_max));
    return 0;
}

extern "C" int VEXO_set_mchannel_params(node *adapter, node *channel, node *property, const char *value,
                                        const char *current, const char *reboot)
{
    if (!adapter || !channel || !is_property(property) || !property->node_name || !value || !current || !reboot)
        return 1;
    node *carrier = target_function(adapter);
    if (!carrier) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get NIC/iSCSI nodes.\n", __func__);
        return 1;
    }
    int phba_port = static_cast<int>(get_phba_port_number(channel));
    char number[VEXO_VALUE_SIZE] = "", type[VEXO_VALUE_SIZE] = "", min[VEXO_VALUE_SIZE] = "",
         max[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(channel, "FunctionNumber", number) != VEXO_STATUS_SUCCESS ||
        internal_get_property(channel, "Type", type) != VEXO_STATUS_SUCCESS ||
        internal_get_property(channel, "MinBandWidth", min) != VEXO_STATUS_SUCCESS ||
        internal_get_property(channel, "MaxBandWidth", max) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to read the channel.\n", __func__);
        return 1;
    }
    int ftype = channel_function_type(type);
    bool lpvid = strcasecmp(property->node_name, "LPVID") == 0;
    if (lpvid && ftype != RESC_DESC_NIC) {
        vexo_set_fixed_status(VEXO_STATUS_CONF_LPVID_NOT_SUPPORTTED);
        return 1;
    }
    GET_PROFILE_CONFIG_PARAMS *profile = VEXO_get_profile(adapter, config_for(current, false), 0, 0);
    if (!profile)
        return 1;
    uint32_t pf = static_cast<uint32_t>(std::strtoul(number, nullptr, 16));
    const uint8_t *desc = channel_find_descriptor(profile, ftype, pf, nullptr);
    if (!desc) {
        // Never a write built from a descriptor that is not there.
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:No descriptor for function %s.\n", __func__, number);
        vexo_dfree(profile);
        vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED);
        return 1;
    }
    SET_PROFILE_CONFIG_PARAMS *req = static_cast<SET_PROFILE_CONFIG_PARAMS *>(vexo_dmalloc(sizeof *req));
    if (!req) {
        vexo_dfree(profile);
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    profile_one_desc_prepare(req, desc, pf, false);
    uint8_t *d = req->resources;
    const ChannelFields *f = fields_of(ftype);
    uint32_t word0 = resc_desc_word(d, 0) & ~(RESC_DESC_MAC_ADDR_VALID | RESC_DESC_IMMEDIATE);
    channel_modes modes;
    std::snprintf(modes.current, sizeof modes.current, "%s", current);
    std::snprintf(modes.reboot, sizeof modes.reboot, "%s", reboot);
    if (channel_write_immediate(&modes))
        word0 |= RESC_DESC_IMMEDIATE;
    uint32_t link = resc_desc_word(d, f->link);
    if (ftype == RESC_DESC_NIC)
        link = (link & ~0xF000003Fu) | (static_cast<uint32_t>(phba_port) & 0x3F) | 0xFu << 28;
    int result = 0;
    long vlan = -1;
    if (lpvid) {
        vlan = std::strtol(value, nullptr, 10);
        word0 |= RESC_DESC_LLD_VALID;
        bool down = std::strcmp(min, "0") == 0 && std::strcmp(max, "0") == 0;
        link = down ? link | RESC_DESC_LLD : link & ~RESC_DESC_LLD;
    } else {
        word0 |= RESC_DESC_LLD_VALID;
        link = strcasecmp(value, "Enabled") == 0 ? link & ~RESC_DESC_LLD : link | RESC_DESC_LLD;
        if (ftype == RESC_DESC_NIC) {
            // The link-state write carries the channel's LPVID along.
            char current_lpvid[VEXO_VALUE_SIZE] = "";
            if (internal_get_property(channel, "LPVID", current_lpvid) != VEXO_STATUS_SUCCESS)
                result = 1;
            vlan = std::strtol(current_lpvid, nullptr, 10);
        }
    }
    if (result == 0) {
        if (vlan >= 0) {
            word0 |= RESC_DESC_VLAN_VALID;
            reinterpret_cast<SLI4_RESC_DESC_NIC *>(d)->vlan_id = static_cast<uint16_t>(vlan);
        }
        put_le32(d, word0);
        put_le32(d + f->link, link);
        result = profile_send_write(adapter, req, VEXO_SET_PROFILE_ONE_DESC_SIZE, phba_port);
    }
    vexo_dfree(req);
    vexo_dfree(profile);
    return result;
}

VEXO_status_t handle_MinBandWidth(node *property, char *value, int)
{
    return bandwidth(__func__, property, value);
}

VEXO_status_t handle_MaxBandWidth(node *property, char *value, int)
{
    return bandwidth(__func__, property, value);
}

VEXO_status_t handle_LogicalLinkState(node *property, char *value, int type)
{
    Owners o;
    if (!value || !owners_of(property, &o))
        return VEXO_STATUS_FAILURE;
    channel_modes modes;
    if (channel_read_modes(o.adapter, o.port, CHANNEL_MODE_CURRENT | CHANNEL_MODE_REBOOT_NO, &modes) != 0)
        return VEXO_STATUS_FAILURE;
    if (type == 0) {
        if (refresh_from(o.adapter, o.channel, property, config_for(modes.current, true)) != 0)
            return VEXO_STATUS_FAILURE;
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    if (no_mode(modes.configured)) {
        vexo_set_fixed_status(VEXO_STATUS_SETTING_CHANNEL_PARAM_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    if (VEXO_set_mchannel_params(o.adapter, o.channel, property, value, modes.current, modes.reboot) != 0)
        return VEXO_STATUS_FAILURE;
    SET_CACHE_PROP_VAL(property, "%s", value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_LPVID(node *property, char *value, int type)
{
    Owners o;
    if (!value || !owners_of(property, &o))
        return VEXO_STATUS_FAILURE;
    channel_modes modes;
    if (channel_read_modes(o.adapter, o.port,
                           CHANNEL_MODE_CURRENT | CHANNEL_MODE_CONFIGURED | CHANNEL_MODE_REBOOT_NO, &modes) != 0)
        return VEXO_STATUS_FAILURE;
    if (channel_mode_is(modes.configured, "UFP")) {
        if (type != 0)
            return VEXO_STATUS_FAILURE;
        SET_CACHE_PROP_VAL(property, "N/A");
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    if (type == 0) {
        // Keyed on the configured mode, unlike the other channel readers.
        if (refresh_from(o.adapter, o.channel, property, config_for(modes.configured, false)) != 0)
            return VEXO_STATUS_FAILURE;
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    if (no_mode(modes.configured)) {
        vexo_set_fixed_status(VEXO_STATUS_SETTING_CHANNEL_PARAM_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    // LPVID 0 and 1 belong to vNIC1 alone.
    if (!channel_mode_is(modes.current, "vNIC1") && std::strtol(value, nullptr, 10) <= 1) {
        vexo_set_fixed_status(VEXO_STATUS_INVALID_LPVID_RANGE);
        return VEXO_STATUS_FAILURE;
    }
    if (VEXO_set_mchannel_params(o.adapter, o.channel, property, value, modes.current, modes.reboot) != 0)
        return VEXO_STATUS_FAILURE;
    SET_CACHE_PROP_VAL(property, "%s", value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_channel_outer_vlan(node *property, char *value, int)
{
    Owners o;
    if (!value || !owners_of(property, &o))
        return VEXO_STATUS_FAILURE;
    channel_modes modes;
    if (channel_read_modes(o.adapter, o.port, CHANNEL_MODE_CONFIGURED, &modes) != 0)
        return VEXO_STATUS_FAILURE;
    VEXO_status_t result = VEXO_STATUS_SUCCESS;
    if (!channel_mode_is(modes.configured, "vNIC1") && !channel_mode_is(modes.configured, "UFP"))
        SET_CACHE_PROP_VAL(property, "N/A");
    else if (refresh_from(o.adapter, o.channel, property, PROFILE_CONFIG_ACTIVE) != 0)
        result = VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return result;
}

VEXO_status_t handle_channel_vnic_name(node *property, char *value, int)
{
    Owners o;
    if (!value || !owners_of(property, &o))
        return VEXO_STATUS_FAILURE;
    channel_modes modes;
    if (channel_read_modes(o.adapter, o.port, CHANNEL_MODE_CURRENT, &modes) != 0)
        return VEXO_STATUS_FAILURE;
    char number[VEXO_VALUE_SIZE] = "", type[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(o.channel, "FunctionNumber", number) != VEXO_STATUS_SUCCESS ||
        internal_get_property(o.channel, "Type", type) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    if (!channel_mode_is(modes.current, "UFP") && !channel_mode_is(modes.current, "vNIC1"))
        SET_CACHE_PROP_VAL(property, "N/A");
    const char *group = nullptr;
    int driver = 0;
    if (std::strcmp(type, "NIC") == 0) {
        group = "NICPhysicalHBA";
        driver = 2;
    } else if (std::strcmp(type, "iSCSI") == 0) {
        group = "iSCSIPhysicalHBA";
        driver = 1;
    }
    if (!group) {
        SET_CACHE_PROP_VAL(property, "%s", "");
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    node *fn = get_first_instance(o.adapter, group);
    for (; fn && vexo_is_instance(fn); fn = fn->u.grp->multi_instance->next_instance) {
        node *pci = internal_get_node(fn, "PCI", VEXO_NODE_GROUP);
        char f_number[VEXO_VALUE_SIZE] = "";
        if (pci && internal_get_property(pci, "FunctionNumber", f_number) == VEXO_STATUS_SUCCESS &&
            strcasecmp(f_number, number) == 0)
            break;
    }
    if (fn && vexo_is_instance(fn)) {
        IOCTL_COMMON_GET_FUNCTION_NAME_INFO_PARAMS rec;
        std::memset(&rec, 0, sizeof rec);
        VEXO_status_t st = ioctl_get_vnic_function_name(get_port_number(fn), &rec, get_domain_id(fn),
                                                        get_phba_port_number(fn), driver);
        if (st != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_vnic_function_name failed with status = %d\n",
                   __func__, st);
            return VEXO_STATUS_FAILURE;
        }
        uint32_t status = resc_desc_word(rec.data, 0);
        const char *name = reinterpret_cast<const char *>(rec.data + 4);
        // The name field is 12 bytes and need not end in a terminator.
        if (status == 1)
            SET_CACHE_PROP_VAL(property, "%.*s", static_cast<int>(strnlen(name, 12)), name);
        else
            SET_CACHE_PROP_VAL(property, "%s", "");
    }
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}
