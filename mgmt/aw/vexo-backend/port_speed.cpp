#include "mgmt/aw/vexo-backend/port_speed.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/function_enum.h"
#include "mgmt/aw/vexo-backend/iscsi_network_readers.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/multichannel.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/profile_config.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

namespace
{

const char kNotAvailable[] = "N/A";
const char kLinkDown[] = "0 (Link Down)";
const char kNoWwpn[] = "00:00:00:00:00:00:00:00";

// Fields of the link status answers (both versions share these offsets).
const size_t kLinkActivePort = 0;  // version 0: physical_port
const size_t kLinkSpeed = 2;       // physical_port_speed / mac_speed
const size_t kLinkQosSpeed = 6;    // qos_link_speed, u16
const uint8_t kNoActivePort = 15;
// Fields of the link speed answer and the speed set request.
const size_t kFcoeWwpnAt = 348;
const size_t kFcoeLinkWord = 52;
const size_t kFcoeBwMax = 60;

// The refusal of a read inside a virtual function.
VEXO_status_t refuse_on_vf(char *value)
{
    if (value)
        std::snprintf(value, VEXO_VALUE_SIZE, "%s", kNotAvailable);
    vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
    return VEXO_STATUS_FAILURE;
}

// Text of a physical speed code by its nominal speed.
const char *nominal_speed(unsigned code)
{
    static const char *const kNames[] = {kLinkDown, "10Mb", "100Mb", "1Gb", "10Gb", "20Gb", "25Gb", "40Gb", "100Gb"};
    return code < sizeof kNames / sizeof kNames[0] ? kNames[code] : kLinkDown;
}

bool read_prop(node *group, const char *name, char *out)
{
    out[0] = '\0';
    return group && internal_get_property(group, name, out) == VEXO_STATUS_SUCCESS;
}

// The FCoE share of a port of `bw` percent on the link of speed code `code`.
void fcoe_share_text(unsigned code, uint32_t bw, char *out)
{
    if (bw == 0) {
        std::snprintf(out, VEXO_VALUE_SIZE, "%s", nominal_speed(code));
        return;
    }
    static const uint32_t kNominal[] = {0, 10, 100, 1, 10, 20, 25, 40, 100};
    if (code == 0 || code > 8) {
        std::snprintf(out, VEXO_VALUE_SIZE, "%s", kLinkDown);
        return;
    }
    const uint32_t v = bw * kNominal[code];
    if (code <= 2) {
        if (v % 100 == 0)
            std::snprintf(out, VEXO_VALUE_SIZE, "%uMb", v / 100);
        else
            std::snprintf(out, VEXO_VALUE_SIZE, "%.1fMb", v / 100.0);
    } else if (code == 3) {
        if (bw % 100 == 0)
            std::snprintf(out, VEXO_VALUE_SIZE, "%uGb", bw / 100);
        else
            std::snprintf(out, VEXO_VALUE_SIZE, "%uMb", bw * 10);
    } else if (code <= 7) {
        if (v % 100 == 0)
            std::snprintf(out, VEXO_VALUE_SIZE, "%uGb", v / 100);
        else if (v > 100)
            std::snprintf(out, VEXO_VALUE_SIZE, "%.1fGb", v / 100.0);
        else
            std::snprintf(out, VEXO_VALUE_SIZE, "%uMb", v * 10);
    } else {
        std::snprintf(out, VEXO_VALUE_SIZE, "%uGb", v / 100);
    }
}

// bw_max of the first FCoE descriptor on link `port_number` of the
// configuration the running multichannel mode uses; false when it cannot
// be read.
bool fcoe_bandwidth(node *adapter, node *port, uint32_t *bw)
{
    channel_modes modes;
    if (channel_read_modes(adapter, port, CHANNEL_MODE_CURRENT, &modes) != 0)
        return false;
    char number[VEXO_VALUE_SIZE];
    if (!read_prop(port, "PortNumber", number))
        return false;
    const uint32_t link = static_cast<uint32_t>(std::strtoul(number, nullptr, 10));
    const bool active = channel_mode_is(modes.current, "vNIC1") || channel_mode_is(modes.current, "UFP");
    GET_PROFILE_CONFIG_PARAMS *profile =
        VEXO_get_profile(adapter, active ? PROFILE_CONFIG_ACTIVE : PROFILE_CONFIG_CONFIGURED, 0, 0);
    if (!profile)
        return false;
    *bw = 0;
    profile_walk w;
    profile_walk_start(&w, profile, VEXO_PROFILE_CONFIG_SIZE);
    for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w)) {
        // A descriptor too short for its bandwidth words is not looked into.
        if (resc_desc_type(d) != RESC_DESC_FCOE || resc_desc_length(d) < kFcoeBwMax + 4)
            continue;
        if ((resc_desc_word(d, kFcoeLinkWord) & 0x3F) == link) {
            *bw = resc_desc_word(d, kFcoeBwMax);
            break;
        }
    }
    vexo_dfree(profile);
    return true;
}

// Speed text of a function's share: `speed` in Mb.
void share_text(uint32_t speed, char *out)
{
    if (speed < 1000)
        std::snprintf(out, VEXO_VALUE_SIZE, "%uMb", speed);
    else if (speed % 1000 == 0)
        std::snprintf(out, VEXO_VALUE_SIZE, "%uGb", speed / 1000);
    else
        std::snprintf(out, VEXO_VALUE_SIZE, "%.1fGb", speed / 1000.0);
}

// A bandwidth cap in units of 100 Mb, with at most one decimal, as Mb.
// Anything that is not such a number counts as 0; the whole part is cut to
// 16 bits.
uint32_t cap_in_mb(const char *text)
{
    uint32_t whole = 0;
    const char *p = text;
    while (*p == ' ')
        ++p;
    for (; *p >= '0' && *p <= '9'; ++p)
        whole = (whole * 10 + static_cast<uint32_t>(*p - '0')) & 0xFFFFF;
    uint32_t tenth = 0;
    if (*p == '.' && p[1] >= '0' && p[1] <= '9')
        tenth = static_cast<uint32_t>(p[1] - '0');
    return (whole & 0xFFFF) * 100 + tenth * 10;
}

struct SpeedRow {
    const char *mode;
    const char *speed_name;
    int16_t speed;
};

const SpeedRow kSpeedTable[] = {
    {"Default", "0", 0},
    {"Force", "1Gb", 2},
    {"Force", "10Gb", 1},
    {"Force", "40Gb", 14},
    {"Force", "100Mb", 12},
    {"Force", "10Mb", 13},
    {"Force", "20Gb", 19},
    {"Auto-Negotiate", "40Gb", 15},
    {"Auto-Negotiate", "10Gb", 3},
    {"Auto-Negotiate", "1Gb", 4},
    {"Auto-Negotiate", "100Mb", 5},
    {"Auto-Negotiate", "10Mb", 9},
    {"Auto-Negotiate", "10Gb/1Gb", 6},
    {"Auto-Negotiate", "1Gb/100Mb", 8},
    {"Auto-Negotiate", "10Gb/1Gb/100Mb", 7},
    {"Auto-Negotiate", "1Gb/100Mb/10Mb", 10},
    {"Auto-Negotiate", "100Mb/10Mb", 11},
    {"Auto-Negotiate", "40Gb/10Gb", 16},
    {"Auto-Negotiate", "40Gb/1Gb", 17},
    {"Auto-Negotiate", "40Gb/10Gb/1Gb", 18},
    {"Auto-Negotiate", "20Gb", 20},
    {"Auto-Negotiate", "20Gb/1Gb", 22},
    {"Auto-Negotiate", "20Gb/10Gb", 21},
    {"Auto-Negotiate", "20Gb/10Gb/1Gb", 23},
};

const SpeedRow *speed_row(const char *mode, const char *speed)
{
    for (const SpeedRow &row : kSpeedTable)
        if (strcasecmp(row.mode, mode) == 0 && strcasecmp(row.speed_name, speed) == 0)
            return &row;
    return nullptr;
}

// ConfiguredSpeed of a speed code (null above 23) and its Mode.
const char *configured_speed_text(unsigned code)
{
    static const char *const kNames[] = {
        "All Supported Speeds", "10Gb",          "1Gb",           "10Gb",           "1Gb",       "100Mb",
        "10Gb/1Gb",             "10Gb/1Gb/100Mb", "1Gb/100Mb",     "10Mb",           "1Gb/100Mb/10Mb", "100Mb/10Mb",
        "100Mb",                "10Mb",          "40Gb",          "40Gb",           "40Gb/10Gb", "40Gb/1Gb",
        "40Gb/10Gb/1Gb",        "20Gb",          "20Gb",          "20Gb/10Gb",      "20Gb/1Gb",  "20Gb/10Gb/1Gb",
    };
    return code < sizeof kNames / sizeof kNames[0] ? kNames[code] : nullptr;
}

const char *mode_text(unsigned code)
{
    if (code == 0)
        return "Default";
    switch (code) {
    case 1:
    case 2:
    case 12:
    case 13:
    case 14:
    case 19:
        return "Force";
    default:
        return "Auto-Negotiate";
    }
}

// Entry `index` (0 or 1) of a comma list into `out`; false when the list has
// no such entry.
bool list_entry(const char *list, int index, char *out)
{
    char copy[VEXO_VALUE_SIZE];
    std::snprintf(copy, sizeof copy, "%s", list);
    char *save = nullptr;
    char *tok = strtok_r(copy, ",", &save);
    for (int i = 0; tok && i < index; ++i)
        tok = strtok_r(nullptr, ",", &save);
    if (!tok)
        return false;
    std::snprintf(out, VEXO_VALUE_SIZE, "%s", tok);
    return true;
}

// The decimal cable length of the action (0 to 10 after validation).
uint16_t cable_length(const char *text)
{
    long v = std::strtol(text, nullptr, 10);
    return v < 0 || v > 0xFFFF ? 0 : static_cast<uint16_t>(v);
}

} // namespace

VEXO_status_t handle_PhysicalLinkStatus(node *property, char *value, int)
{
    PortRoute r;
    if (!value || !route_of_property(property, &r))
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(r.port))
        return refuse_on_vf(value);
    LINK_STATUS_QUERY_PARAMS_V1 link;
    std::memset(&link, 0, sizeof link);
    VEXO_status_t st = ioctl_get_link_status_v1(r.aw_port_number, &link, r.domain, r.phba_port, r.driver);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_link_status_v1 failed with status = %d\n", __func__,
               st);
        vexo_set_fixed_status(VEXO_STATUS_NIC_CONFIG_FAILED);
        return st;
    }
    VEXO_status_t stored =
        set_prop_val(r.port, "PhysicalLinkStatus", "%s", link.data[kLinkSpeed] != 0 ? "Up" : "Down");
    answer_cached(property, value);
    return stored;
}

VEXO_status_t handle_FCoEWWPN(node *property, char *value, int)
{
    PortRoute r;
    if (!value || !route_of_property(property, &r))
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(r.port))
        return refuse_on_vf(value);
    GET_CNTL_ADDITIONAL_ATTRIBUTES_PARAMS *attrs =
        static_cast<GET_CNTL_ADDITIONAL_ATTRIBUTES_PARAMS *>(vexo_dmalloc(sizeof(GET_CNTL_ADDITIONAL_ATTRIBUTES_PARAMS)));
    if (!attrs) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return VEXO_STATUS_FAILURE;
    }
    std::memset(attrs, 0, sizeof *attrs);
    VEXO_status_t st = VEXO_STATUS_SUCCESS;
    if (r.driver == VEXO_DRIVER_ISCSI || r.driver == VEXO_DRIVER_NIC)
        st = ioctl_get_cnt_additional_attribs(r.aw_port_number, attrs, r.domain, r.phba_port, r.driver);
    if (st != VEXO_STATUS_SUCCESS) {
        vexo_dfree(attrs);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_cnt_additional_attribs failed with status = %d\n",
               __func__, st);
        vexo_set_fixed_status(VEXO_STATUS_CNTR_ADDITIONAL_ATTRIBS_FAILED);
        return st;
    }
    uint8_t w[8];
    std::memcpy(w, reinterpret_cast<const uint8_t *>(attrs) + kFcoeWwpnAt, sizeof w);
    vexo_dfree(attrs);
    if (set_prop_val(r.port, "FCoEWWPN", "%02x:%02x:%02x:%02x:%02x:%02x:%02x:%02x", w[0], w[1], w[2], w[3], w[4],
                     w[5], w[6], w[7]) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_FCoELinkSpeed(node *property, char *value, int)
{
    PortRoute r;
    if (!value || !route_of_property(property, &r))
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(r.port))
        return refuse_on_vf(value);
    char wwpn[VEXO_VALUE_SIZE] = "";
    VEXO_status_t st = internal_get_property(r.port, "FCoEWWPN", wwpn);
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    char text[VEXO_VALUE_SIZE];
    if (std::strcmp(wwpn, kNoWwpn) == 0) {
        std::snprintf(text, sizeof text, "%s", kNotAvailable);
    } else {
        LINK_STATUS_QUERY_PARAMS_V1 link;
        std::memset(&link, 0, sizeof link);
        st = ioctl_get_link_status_v1(r.aw_port_number, &link, r.domain, r.phba_port, r.driver);
        if (st != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get the physical port speed\n", __func__);
            vexo_set_fixed_status(VEXO_STATUS_NIC_CONFIG_FAILED);
            return st;
        }
        const unsigned code = link.data[kLinkSpeed];
        if (code == 0) {
            std::snprintf(text, sizeof text, "%s", kLinkDown);
        } else {
            int family = get_aw_type(r.adapter);
            if (family == AW_TYPE_UNREADABLE)
                return VEXO_STATUS_FAILURE;
            if (family == AW_TYPE_AW2 || family == AW_TYPE_VARROW) {
                std::snprintf(text, sizeof text, "%s", nominal_speed(code));
            } else {
                uint32_t bw = 0;
                if (!fcoe_bandwidth(r.adapter, r.port, &bw))
                    return VEXO_STATUS_FAILURE;
                fcoe_share_text(code, bw, text);
            }
        }
    }
    VEXO_status_t stored = set_prop_val(r.port, "FCoELinkSpeed", "%s", text);
    answer_cached(property, value);
    return stored;
}

VEXO_status_t handle_get_link_speed_properties(node *property, char *value, int)
{
    PortRoute r;
    if (!value || !property)
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(property))
        return refuse_on_vf(value);
    if (!route_of_property(property, &r))
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(r.adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    VEXO_status_t result = VEXO_STATUS_SUCCESS;
    bool none = family == AW_TYPE_AW2;
    GET_LINK_SPEED_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    if (!none) {
        rec.data[0] = static_cast<uint8_t>(r.phba_port & 0x3F);
        VEXO_status_t st = ioctl_get_link_speed(r.aw_port_number, &rec, r.domain, r.phba_port, r.driver);
        if (st == VEXO_STATUS_INVALID_OPCODE) {
            none = true;
        } else if (st != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_link_speed failed with status = %d\n", __func__,
                   st);
            vexo_set_fixed_status(VEXO_STATUS_GET_LINK_SPEED_FAILED);
            return VEXO_STATUS_FAILURE;
        }
    }
    if (none) {
        result = static_cast<VEXO_status_t>(set_prop_val(r.port, "Mode", "%s", kNotAvailable) |
                                            set_prop_val(r.port, "ConfiguredSpeed", "%s", kNotAvailable) |
                                            set_prop_val(r.port, "DACCableLength", "%s", kNotAvailable));
    } else {
        const unsigned code = le16_at(rec.data);
        result = set_prop_val(r.port, "DACCableLength", "%d", static_cast<int>(le16_at(rec.data + 2)));
        const char *speed = configured_speed_text(code);
        if (speed)
            result = static_cast<VEXO_status_t>(result | set_prop_val(r.port, "ConfiguredSpeed", "%s", speed));
        result = static_cast<VEXO_status_t>(result | set_prop_val(r.port, "Mode", "%s", mode_text(code)));
    }
    answer_cached(property, value);
    return result;
}

extern "C" int get_portspeed(node *group, int port_number, unsigned int domain, unsigned int physical_port,
                             int driver_type, int family)
{
    if (!group)
        return 1;
    node *function = nullptr;
    node *cap_group = nullptr; // where MaxBitsPerSecond lives
    if (driver_type == VEXO_DRIVER_NIC) {
        function = group;
        cap_group = group;
    } else if (driver_type == VEXO_DRIVER_ISCSI) {
        function = group->parent ? group->parent->parent : nullptr;
        node *lhba = function ? internal_get_node(function, "LogicalHBA0", VEXO_NODE_GROUP) : nullptr;
        cap_group = lhba ? internal_get_node(lhba, "iSCSIQoS", VEXO_NODE_GROUP) : nullptr;
        if (!cap_group)
            return 1;
    } else {
        return 1;
    }
    node *adapter = function ? function->parent : nullptr;
    if (!adapter)
        return 1;

    // Read failures here only mean that the link is not known to be down.
    char number[VEXO_VALUE_SIZE], logical[VEXO_VALUE_SIZE], physical[VEXO_VALUE_SIZE] = "";
    read_prop(function, "PortNumber", number);
    read_prop(group, "LogicalLinkStatus", logical);
    for (node *p = get_first_instance(adapter, "PortDiscoveryAndConfiguration"); p; p = next_group_instance(p)) {
        char pn[VEXO_VALUE_SIZE];
        if (read_prop(p, "PortNumber", pn) && std::strcmp(pn, number) == 0) {
            read_prop(p, "PhysicalLinkStatus", physical);
            break;
        }
    }
    if (std::strcmp(physical, "Down") == 0 && std::strcmp(logical, "Down") == 0)
        return set_prop_val(group, "PortSpeed", "%s", kLinkDown) == VEXO_STATUS_SUCCESS ? 0 : 1;

    LINK_STATUS_QUERY_PARAMS_V1 link;
    std::memset(&link, 0, sizeof link);
    VEXO_status_t st = ioctl_get_link_status_v1(port_number, &link, domain, physical_port, driver_type);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_link_status_v1 failed with status = %d\n", __func__,
               st);
        vexo_set_fixed_status(VEXO_STATUS_NIC_CONFIG_FAILED);
        return 1;
    }
    char text[VEXO_VALUE_SIZE];
    if (family == AW_TYPE_TRELMONT && !vexo_on_vf(group)) {
        // The share is the function's bandwidth cap, in units of 100 Mb.
        char cap[VEXO_VALUE_SIZE];
        if (!read_prop(cap_group, "MaxBitsPerSecond", cap))
            return 0;
        const uint32_t speed = cap_in_mb(cap);
        if (speed == 0)
            std::snprintf(text, sizeof text, "%s", kLinkDown);
        else
            share_text(speed, text);
    } else {
        const uint32_t u = le16_at(link.data + kLinkQosSpeed);
        if (u != 0)
            share_text(u * 10, text);
        else
            std::snprintf(text, sizeof text, "%s", nominal_speed(link.data[kLinkSpeed]));
    }
    return set_prop_val(group, "PortSpeed", "%s", text) == VEXO_STATUS_SUCCESS ? 0 : 1;
}

// A virtual function's speed is read like any other: the speed handler
// itself tells the share of a virtual function apart.
VEXO_status_t handle_portspeed(node *property, char *value, int)
{
    node *group = property ? property->parent : nullptr;
    if (!group || !value)
        return VEXO_STATUS_FAILURE;
    int driver;
    node *adapter;
    if (same_name_nocase(group->node_name, "NICPhysicalHBA")) {
        driver = VEXO_DRIVER_NIC;
        adapter = group->parent;
    } else if (same_name_nocase(group->node_name, "NICConfiguration")) {
        driver = VEXO_DRIVER_ISCSI;
        adapter = group->parent && group->parent->parent ? group->parent->parent->parent : nullptr;
    } else {
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (get_portspeed(group, get_port_number(group), get_domain_id(group), get_phba_port_number(group), driver,
                      family) != 0)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_logical_link_status(node *property, char *value, int)
{
    node *group = property ? property->parent : nullptr;
    node *network = group ? group->parent : nullptr;
    node *function = network ? network->parent : nullptr;
    node *adapter = function ? function->parent : nullptr;
    if (!adapter || !value)
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(group))
        return refuse_on_vf(value);
    if (get_logical_link_status(get_port_number(property), get_domain_id(property), get_phba_port_number(property),
                                group, VEXO_DRIVER_ISCSI, instance_number(adapter)) != 0)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_activeport(node *property, char *value, int)
{
    node *group = property ? property->parent : nullptr;
    if (!group || !value)
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(group))
        return refuse_on_vf(value);
    LINK_STATUS_QUERY_PARAMS link;
    std::memset(&link, 0, sizeof link);
    VEXO_status_t st = ioctl_get_NIC_link_params(get_port_number(property), &link, get_domain_id(property),
                                                 get_phba_port_number(property), VEXO_DRIVER_ISCSI);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_NIC_link_params failed with status = %d\n", __func__,
               st);
        vexo_set_fixed_status(VEXO_STATUS_ACTIVE_PORT);
        return VEXO_STATUS_FAILURE;
    }
    const uint8_t active = link.data[kLinkActivePort];
    VEXO_status_t stored = VEXO_STATUS_SUCCESS;
    if (active == 0 || active == 1)
        stored = set_prop_val(group, "ActivePort", "%d", active);
    else if (active == kNoActivePort)
        stored = set_prop_val(group, "ActivePort", "%s", "None");
    answer_cached(property, value);
    return stored == VEXO_STATUS_SUCCESS ? VEXO_STATUS_SUCCESS : VEXO_STATUS_FAILURE;
}

VEXO_status_t do_SetPortSpeed(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    (void)action;
    PortRoute r;
    if (!params || !route_of_port(context, &r))
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(context)) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    if (r.phba_port > 3)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(r.adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_AW2) {
        vexo_set_fixed_status(VEXO_STATUS_SETSPEED_NOT_SUPPORTED_ON_AW2);
        return VEXO_STATUS_FAILURE;
    }
    char speed[VEXO_VALUE_SIZE], mode[VEXO_VALUE_SIZE], dac[VEXO_VALUE_SIZE];
    std::snprintf(speed, sizeof speed, "%s", params[0]);
    std::snprintf(mode, sizeof mode, "%s", params[1]);
    std::snprintf(dac, sizeof dac, "%s", params[2]);
    const bool force = strcasecmp(mode, "Force") == 0;
    if (strcasecmp(mode, "Default") == 0)
        std::snprintf(speed, sizeof speed, "0");

    char cur_speed[VEXO_VALUE_SIZE], cur_mode[VEXO_VALUE_SIZE], cur_dac[VEXO_VALUE_SIZE];
    char iftype[VEXO_VALUE_SIZE], number[VEXO_VALUE_SIZE];
    if (!read_prop(context, "ConfiguredSpeed", cur_speed) || !read_prop(context, "Mode", cur_mode) ||
        !read_prop(context, "DACCableLength", cur_dac) || !read_prop(context, "InterfaceType", iftype) ||
        !read_prop(context, "PortNumber", number))
        return VEXO_STATUS_FAILURE;
    node *force_node = internal_get_node(context, "ForceSpeedsSupported", VEXO_NODE_PROPERTY);
    if (!force_node || !force_node->u.prop) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get ForceSpeedsSupported node\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    node *an_node = internal_get_node(context, "ANSpeedsSupported", VEXO_NODE_PROPERTY);
    if (!an_node || !an_node->u.prop) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get ANSpeedsSupported node\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    char force_list[VEXO_VALUE_SIZE], an_list[VEXO_VALUE_SIZE];
    std::snprintf(force_list, sizeof force_list, "%.*s", VEXO_VALUE_SIZE - 1, force_node->u.prop->val);
    std::snprintf(an_list, sizeof an_list, "%.*s", VEXO_VALUE_SIZE - 1, an_node->u.prop->val);

    if (strcasecmp(speed, cur_speed) == 0 && strcasecmp(mode, cur_mode) == 0 && strcasecmp(dac, cur_dac) == 0) {
        vexo_set_fixed_status(VEXO_STATUS_SPEED_ALREADY_CONFIGURED);
        return VEXO_STATUS_SUCCESS;
    }
    const bool sfp_plus = std::strcmp(iftype, "SFP_PLUS_10GB_TYPE") == 0;
    if (sfp_plus && force && dac[0] == '\0') {
        vexo_set_fixed_status(VEXO_STATUS_SPEED_DAC_CABLE);
        return VEXO_STATUS_FAILURE;
    }

    // The port's NIC function tells whether the port runs vNICs.
    node *nic = get_first_instance(r.adapter, "NICPhysicalHBA");
    if (!nic) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get NICPhysicalHBA node\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_SET_LINK_SPEED_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    for (; nic; nic = next_group_instance(nic)) {
        char pn[VEXO_VALUE_SIZE];
        if (read_prop(nic, "PortNumber", pn) && strcasecmp(pn, number) == 0)
            break;
    }
    if (!nic) {
        // No function of this port: its vNIC state is unknown, nothing is sent.
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: No NICPhysicalHBA on port %s\n", __func__, number);
        vexo_set_fixed_status(VEXO_STATUS_SET_LINK_SPEED_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    char vnic[VEXO_VALUE_SIZE] = "";
    if (family == AW_TYPE_VARROW) {
        std::snprintf(vnic, sizeof vnic, "False");
    } else {
        node *vnic_group = internal_get_node(nic, "vNIC", VEXO_NODE_GROUP);
        if (vnic_group && !read_prop(vnic_group, "vNICEnabled", vnic))
            return VEXO_STATUS_FAILURE;
    }

    if (force && strcasecmp(vnic, "False") == 0) {
        if (force_list[0] == '\0')
            return VEXO_STATUS_FAILURE;
        char first[VEXO_VALUE_SIZE] = "", second[VEXO_VALUE_SIZE] = "";
        list_entry(force_list, 0, first);
        list_entry(force_list, 1, second);
        if (strcasecmp(speed, first) != 0 && strcasecmp(speed, second) != 0) {
            vexo_set_fixed_status(VEXO_STATUS_SET_PORTSPEED_NOT_SUPPORTED);
            return VEXO_STATUS_FAILURE;
        }
        static const char *const kForced[] = {"10Gb", "1Gb", "100Mb", "10Mb", "40Gb", "20Gb"};
        bool known = false;
        for (const char *f : kForced)
            known = known || strcasecmp(speed, f) == 0;
        if (!known) {
            vexo_set_fixed_status(VEXO_STATUS_SPEED_FORCE);
            return VEXO_STATUS_FAILURE;
        }
    } else if (force && strcasecmp(vnic, "True") == 0 && strcasecmp(speed, "1Gb") == 0) {
        vexo_set_fixed_status(VEXO_STATUS_1GBSPEED_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }

    if (strcasecmp(mode, "Auto-Negotiate") == 0) {
        if (speed[0] == '\0') {
            vexo_set_fixed_status(VEXO_STATUS_SPEED_REQURIED);
            return VEXO_STATUS_FAILURE;
        }
        if (an_list[0] == '\0')
            return VEXO_STATUS_FAILURE;
        char first[VEXO_VALUE_SIZE] = "", second[VEXO_VALUE_SIZE] = "";
        list_entry(an_list, 0, first);
        if (strcasecmp(speed, first) != 0) {
            if (!list_entry(an_list, 1, second) ||
                (strcasecmp(speed, second) != 0 && !speed_row(mode, speed))) {
                vexo_set_fixed_status(VEXO_STATUS_SET_PORTSPEED_NOT_SUPPORTED);
                return VEXO_STATUS_FAILURE;
            }
        }
    }

    SET_LINK_SPEED_PARAMS_V1 rec;
    std::memset(&rec, 0, sizeof rec);
    rec.data[0] = static_cast<uint8_t>(r.phba_port);
    rec.data[1] = static_cast<uint8_t>(r.phba_port);
    const SpeedRow *row = speed_row(mode, speed);
    put_le16(rec.data + 2, static_cast<uint16_t>(row ? row->speed : 0));
    if (sfp_plus || std::strcmp(iftype, "QSFP_TYPE") == 0)
        put_le16(rec.data + 4, cable_length(dac));
    VEXO_status_t st = ioctl_set_port_speed(r.aw_port_number, &rec, r.domain, r.phba_port, r.driver);
    if (st == VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_SUCCESS;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_set_port_speed failed with status = %d\n", __func__, st);
    vexo_set_fixed_status(st == VEXO_STATUS_SET_PORTSPEED_NOT_SUPPORTED ? VEXO_STATUS_SET_PORTSPEED_NOT_SUPPORTED
                                                                        : VEXO_STATUS_SET_LINK_SPEED_FAILED);
    return VEXO_STATUS_FAILURE;
}
