#include "mgmt/aw/vexo-backend/lldp.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/function_enum.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace
{

const char kNotAvailable[] = "N/A";
const int kIscsiDriver = 1;
const int kNicDriver = 2;
const int kTextMax = 255; // firmware texts need not end in a NUL

bool named(const node *n, const char *name)
{
    return n && n->node_name && same_name_nocase(n->node_name, name);
}

// The group above `n` when it has the expected name; null otherwise.
node *up(node *n, const char *name)
{
    node *p = n ? n->parent : nullptr;
    return p != n && named(p, name) ? p : nullptr;
}

bool usable_property(node *property, char *value)
{
    return property && value && property->node_type == VEXO_NODE_PROPERTY && property->u.prop && property->parent;
}

VEXO_status_t refuse_on_vf(char *value)
{
    std::snprintf(value, VEXO_VALUE_SIZE, "%s", kNotAvailable);
    vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
    return VEXO_STATUS_FAILURE;
}

int port_driver(node *n, unsigned int phba_port)
{
    return get_port_bitmap(get_aw_instance(n), static_cast<int>(phba_port));
}

const char *enabled_text(uint8_t byte, uint8_t bit)
{
    return (byte & bit) ? "Enabled" : "Disabled";
}

const char *chassis_type(uint32_t v)
{
    static const char *const kTypes[] = {"Chassis Component", "Interface Alias", "Port Component", "MAC Address",
                                         "Network Address",   "Interface Name",  "Locally Assigned"};
    return v >= 1 && v <= 7 ? kTypes[v - 1] : "Unknown";
}

const char *port_type(uint32_t v)
{
    static const char *const kTypes[] = {"Interface Alias", "Port Component",   "MAC Address",     "Network Address",
                                         "Interface Name",  "Agent Circuit Id", "Locally Assigned"};
    return v >= 1 && v <= 7 ? kTypes[v - 1] : "Unknown";
}

const char *capability(uint32_t bits)
{
    static const char *const kCaps[] = {"Other", "Repeater", "Bridge", "WLAN", "Router", "Telephone", "Docsis",
                                        "Station"};
    for (int i = 0; i < 8; ++i)
        if (bits & (1u << i))
            return kCaps[i];
    return "Unknown";
}

// The status byte and bit a writable local property switches; false for any
// other property.
bool local_switch(const char *name, size_t *byte, uint8_t *bit)
{
    struct Switch {
        const char *name;
        size_t byte;
        uint8_t bit;
    };
    static const Switch kSwitches[] = {
        {"TxState", 0, 0x1},
        {"RxState", 0, 0x2},
        {"PortDescriptionTLV", 1, 0x1},
        {"SystemNameTLV", 2, 0x1},
        {"SystemDescriptionTLV", 3, 0x1},
        {"SystemCapabilitiesTLV", 4, 0x1},
    };
    for (const Switch &s : kSwitches) {
        if (same_name_nocase(name, s.name)) {
            *byte = s.byte;
            *bit = s.bit;
            return true;
        }
    }
    return false;
}

bool carried(int driver)
{
    return driver == kIscsiDriver || driver == kNicDriver;
}

struct Mode {
    const char *text;
    uint8_t code;
};
const Mode kModes[] = {{"CEE", 0}, {"CIN", 1}, {"Auto-CEE", 2}, {"Auto-IEEE", 3}};

// Reads the port variables for a property of DCBXPortVars or DCBXStatistics.
VEXO_status_t port_vars_handler(node *property, char *value)
{
    if (!usable_property(property, value))
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(property))
        return refuse_on_vf(value);
    node *port = property->parent->parent ? property->parent->parent->parent : nullptr;
    int st = get_port_vars(get_port_number(property), get_phba_port_number(property), get_domain_id(property), port);
    if (st != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "In %s, get_port_vars failed.\n", __func__);
        return static_cast<VEXO_status_t>(st);
    }
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

} // namespace

int get_lldp_props(int aw_port_number, unsigned int phba_port, unsigned int domain, node *group)
{
    node *lldp = up(group, "LLDP");
    node *port = up(lldp, "PortDiscoveryAndConfiguration");
    node *adapter = port && port->parent != port ? port->parent : nullptr;
    if (!adapter)
        return 1;
    const bool local = named(group, "LocalConfiguration");
    LLDP_GET_LLDP_CFG_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    rec.parameter_type = local ? 0 : 1;
    int driver = get_port_bitmap(instance_number(adapter), static_cast<int>(phba_port));
    if (carried(driver)) {
        VEXO_status_t st = ioctl_get_lldp_params(aw_port_number, &rec, domain, phba_port, driver);
        if (st != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "In %s, ioctl_get_lldp_params failed.\n", __func__);
            vexo_set_fixed_status(VEXO_STATUS_GET_LLDP_FAILED);
            return st;
        }
    }
    const LLDP_GET_LLDP_CFG_PARAMS_OUT &o = rec.response;
    int r = 0;
    if (local) {
        r |= set_prop_val(group, "TxState", "%s", enabled_text(o.port_config_admin_status, 0x1));
        r |= set_prop_val(group, "RxState", "%s", enabled_text(o.port_config_admin_status, 0x2));
        r |= set_prop_val(group, "PortDescriptionTLV", "%s", enabled_text(o.port_description_tx_status, 0x1));
        r |= set_prop_val(group, "SystemNameTLV", "%s", enabled_text(o.system_name_tx_status, 0x1));
        r |= set_prop_val(group, "SystemDescriptionTLV", "%s", enabled_text(o.system_description_tx_status, 0x1));
        r |= set_prop_val(group, "SystemCapabilitiesTLV", "%s", enabled_text(o.system_capabilities_tx_status, 0x1));
    }
    r |= set_prop_val(group, "ChassisType", "%s", chassis_type(o.chassis_id_type));
    r |= set_prop_val(group, "PortType", "%s", port_type(o.port_id_type));
    r |= set_prop_val(group, "SystemCapabilities", "%s", capability(o.system_capabilities));
    r |= set_prop_val(group, "ChassisId", "%.*s", kTextMax, o.chassis_id);
    r |= set_prop_val(group, "PortId", "%.*s", kTextMax, o.port_id);
    r |= set_prop_val(group, "PortDescription", "%.*s", kTextMax, o.port_description);
    r |= set_prop_val(group, "SystemName", "%.*s", kTextMax, o.system_name);
    r |= set_prop_val(group, "SystemDescription", "%.*s", kTextMax, o.system_description);
    r |= set_prop_val(group, "TTL", "%d", static_cast<int>(o.ttl));
    return r ? 1 : 0;
}

VEXO_status_t handle_LLDP_properties(node *property, char *value, int type)
{
    if (!usable_property(property, value))
        return VEXO_STATUS_FAILURE;
    const int aw_port_number = get_port_number(property);
    const unsigned int phba_port = get_phba_port_number(property);
    const unsigned int domain = get_domain_id(property);
    if (type == 0) {
        if (vexo_on_vf(property))
            return refuse_on_vf(value);
        int st = get_lldp_props(aw_port_number, phba_port, domain, property->parent);
        if (st != 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "In %s, get_lldp_props failed.\n", __func__);
            return static_cast<VEXO_status_t>(st);
        }
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    size_t byte = 0;
    uint8_t bit = 0;
    if (!named(property->parent, "LocalConfiguration") || !local_switch(property->node_name, &byte, &bit))
        return VEXO_STATUS_FAILURE;
    char current[VEXO_VALUE_SIZE] = "";
    if (handle_LLDP_properties(property, current, 0) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    if (strcasecmp(current, value) == 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "In %s, The property is already set with this value.\n", __func__);
        return VEXO_STATUS_SUCCESS;
    }
    const int driver = port_driver(property, phba_port);
    // Without a driver to carry them, neither the read nor the write can
    // reach the port: the change is refused rather than cached unwritten.
    if (!carried(driver)) {
        vexo_set_fixed_status(VEXO_STATUS_SET_LLDP_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    LLDP_GET_LLDP_CFG_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    rec.parameter_type = 0;
    VEXO_status_t st = ioctl_get_lldp_params(aw_port_number, &rec, domain, phba_port, driver);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "In %s, ioctl_get_lldp_params failed.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_GET_LLDP_FAILED);
        return st;
    }
    LLDP_SET_LLDP_CFG_PARAMS req;
    std::memset(&req, 0, sizeof req);
    std::memcpy(req.data, rec.data, 5);
    if (strcasecmp(value, "Enabled") == 0)
        req.data[byte] |= bit;
    else
        req.data[byte] &= static_cast<uint8_t>(~bit);
    st = ioctl_set_lldp_params(aw_port_number, &req, domain, phba_port, driver);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "In %s, ioctl_set_lldp_params failed.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_SET_LLDP_FAILED);
        return st;
    }
    std::snprintf(property->u.prop->val, VEXO_VALUE_SIZE, "%.*s", VEXO_VALUE_SIZE - 1, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_lldp_stats_props(node *property, char *value, int)
{
    if (!usable_property(property, value))
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(property))
        return refuse_on_vf(value);
    const unsigned int phba_port = get_phba_port_number(property);
    LLDP_GET_LLDP_STATS rec;
    std::memset(&rec, 0, sizeof rec);
    VEXO_status_t st = ioctl_get_lldp_stats(get_port_number(property), &rec, get_domain_id(property), phba_port,
                                            port_driver(property, phba_port));
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "ioctl_get_lldp_stats failed.\n");
        vexo_set_fixed_status(VEXO_STATUS_GET_LLDP_STATS_FAILED);
        return st;
    }
    node *g = property->parent;
    const LLDP_GET_LLDP_STATS_OUT &o = rec.response;
    int r = set_prop_val(g, "TxPacketCount", "%d", static_cast<int>(o.num_tx_packets));
    r |= set_prop_val(g, "RxPacketCount", "%d", static_cast<int>(o.num_rx_packets));
    r |= set_prop_val(g, "UnrecognizedTLVs", "%d", static_cast<int>(o.num_tlvs_unrecognised));
    r |= set_prop_val(g, "NumPacketsDropped", "%d", static_cast<int>(o.num_packets_dropped));
    r |= set_prop_val(g, "OrganizationalTLVCount", "%d", static_cast<int>(o.num_org_tlvs));
    if (r != 0)
        return static_cast<VEXO_status_t>(r);
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

int get_port_vars(int aw_port_number, unsigned int phba_port, unsigned int domain, node *port)
{
    node *adapter = port && port->parent != port ? port->parent : nullptr;
    node *dcbx = port ? internal_get_node(port, "DCBX", VEXO_NODE_GROUP) : nullptr;
    node *vars = dcbx ? internal_get_node(dcbx, "DCBXPortVars", VEXO_NODE_GROUP) : nullptr;
    node *stats = dcbx ? internal_get_node(dcbx, "DCBXStatistics", VEXO_NODE_GROUP) : nullptr;
    if (!adapter || !vars || !stats)
        return 1;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return 1;
    int driver = get_port_bitmap(instance_number(adapter), static_cast<int>(phba_port));
    // One layout for both answers; the Varrow record has no reserved words.
    VARROW_IOCTL_GET_DCBX_MIB_INFO_PARAMS_OUT m;
    std::memset(&m, 0, sizeof m);
    VEXO_status_t st;
    if (family == AW_TYPE_VARROW) {
        VARROW_IOCTL_GET_DCBX_MIB_INFO_PARAMS rec;
        std::memset(&rec, 0, sizeof rec);
        st = ioctl_varrow_get_dcbx_mib_params(aw_port_number, &rec, domain, phba_port, driver);
        m = rec.response;
    } else {
        GET_DCBX_MIB_INFO_PARAMS rec;
        std::memset(&rec, 0, sizeof rec);
        st = ioctl_get_dcbx_mib_params(aw_port_number, &rec, domain, phba_port, driver);
        const GET_DCBX_MIB_INFO_PARAMS_OUT &o = rec.response;
        m.port_operating_version = o.port_vars.port_operating_version;
        m.port_max_version = o.port_vars.port_max_version;
        m.sequence_number = o.port_vars.sequence_number;
        m.ack_number = o.port_vars.ack_number;
        m.Peer_sequence_number = o.port_vars.Peer_sequence_number;
        m.peer_ack_number = o.port_vars.peer_ack_number;
        m.app_feature_sequence_number = o.feature_vars.app_feature_sequence_number;
        m.pg_feature_sequence_number = o.feature_vars.pg_feature_sequence_number;
        m.pfc_feature_sequence_number = o.feature_vars.pfc_feature_sequence_number;
        m.num_tx_packets = o.stats.num_tx_packets;
        m.num_rx_packets = o.stats.num_rx_packets;
        m.num_packets_dropped = o.stats.num_packets_dropped;
    }
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "ioctl_get_dcbx_mib_params failed.\n");
        vexo_set_fixed_status(VEXO_STATUS_GET_DCBX_MIB_FAILED);
        return st;
    }
    int r = set_prop_val(vars, "OperatingVersion", "%d", m.port_operating_version);
    r |= set_prop_val(vars, "MaxVersion", "%d", m.port_max_version);
    r |= set_prop_val(vars, "SequenceNumber", "%d", static_cast<int>(m.sequence_number));
    r |= set_prop_val(vars, "AckNumber", "%d", static_cast<int>(m.ack_number));
    r |= set_prop_val(vars, "PeerSequenceNumber", "%d", static_cast<int>(m.Peer_sequence_number));
    r |= set_prop_val(vars, "PeerAckNumber", "%d", static_cast<int>(m.peer_ack_number));
    r |= set_prop_val(vars, "PFCFeatureSequenceNumber", "%d", static_cast<int>(m.pfc_feature_sequence_number));
    r |= set_prop_val(vars, "PGFeatureSequenceNumber", "%d", static_cast<int>(m.pg_feature_sequence_number));
    r |= set_prop_val(vars, "AppFeatureSequenceNumber", "%d", static_cast<int>(m.app_feature_sequence_number));
    r |= set_prop_val(stats, "TxPacketCount", "%d", static_cast<int>(m.num_tx_packets));
    r |= set_prop_val(stats, "RxPacketCount", "%d", static_cast<int>(m.num_rx_packets));
    r |= set_prop_val(stats, "NumPacketsDropped", "%d", static_cast<int>(m.num_packets_dropped));
    return r ? 1 : 0;
}

VEXO_status_t handle_dcbx_port_vars(node *property, char *value, int)
{
    return port_vars_handler(property, value);
}

VEXO_status_t handle_dcbx_stats_props(node *property, char *value, int)
{
    return port_vars_handler(property, value);
}

VEXO_status_t handle_DCBXMode(node *property, char *value, int type)
{
    if (!usable_property(property, value))
        return VEXO_STATUS_FAILURE;
    const int aw_port_number = get_port_number(property);
    const unsigned int phba_port = get_phba_port_number(property);
    const unsigned int domain = get_domain_id(property);
    const int driver = port_driver(property, phba_port);
    if (type == 0) {
        if (vexo_on_vf(property))
            return refuse_on_vf(value);
        DCBX_GET_DCBX_MODE_PARAMS rec;
        std::memset(&rec, 0, sizeof rec);
        VEXO_status_t st = ioctl_get_dcbx_mode(aw_port_number, &rec, domain, phba_port, driver);
        if (st != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Get DCBX mode failed with status %d.\n", __func__, st);
            vexo_set_fixed_status(VEXO_STATUS_GET_DCBX_MODE_FAILED);
            return st;
        }
        for (const Mode &m : kModes)
            if (m.code == rec.dcbx_mode)
                set_prop_val(property->parent, property->node_name, "%s", m.text);
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    char current[VEXO_VALUE_SIZE] = "";
    if (handle_DCBXMode(property, current, 0) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    if (strcasecmp(current, value) == 0)
        return VEXO_STATUS_SUCCESS;
    const Mode *mode = nullptr;
    for (const Mode &m : kModes)
        if (strcasecmp(m.text, value) == 0)
            mode = &m;
    if (!mode) {
        vexo_set_last_status(VEXO_STATUS_INVALID_VALUE, "Invalid Value.");
        return VEXO_STATUS_FAILURE;
    }
    DCBX_SET_DCBX_MODE_PARAMS req;
    std::memset(&req, 0, sizeof req);
    req.request.dcbx_mode = mode->code;
    VEXO_status_t st = ioctl_set_dcbx_mode(aw_port_number, &req, domain, phba_port, driver);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Set DCBX mode failed with status %d.\n", __func__, st);
        vexo_set_fixed_status(VEXO_STATUS_SET_DCBX_MODE_FAILED);
        return st;
    }
    std::snprintf(property->u.prop->val, VEXO_VALUE_SIZE, "%.*s", VEXO_VALUE_SIZE - 1, value);
    vexo_set_fixed_status(VEXO_STATUS_DCBX_CHANGED_REBOOT);
    return VEXO_STATUS_SUCCESS;
}
