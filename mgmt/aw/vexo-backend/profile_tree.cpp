#include "mgmt/aw/vexo-backend/profile_tree.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/nodes_profile.h"
#include "mgmt/aw/vexo-backend/persistence_files.h"
#include "mgmt/aw/vexo-backend/profile_config.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"

namespace {

bool no_profiles(node *adapter)
{
    int family = get_aw_type(adapter);
    return family == AW_TYPE_AW2 || family == AW_TYPE_AW3 || family == AW_TYPE_VARROW;
}

// Where commands to the adapter go: its carrying function's coordinates.
struct carrier {
    int port;
    unsigned int phba_port;
    unsigned int domain;
    int chip; // the adapter's instance number
};

bool get_carrier(node *adapter, carrier *c)
{
    node *f = target_function(adapter);
    if (!f)
        return false;
    c->port = get_port_number(f);
    c->phba_port = get_phba_port_number(f);
    c->domain = get_domain_id(f);
    c->chip = instance_number(adapter);
    return true;
}

node *next_instance(node *n)
{
    node *next = n->u.grp->multi_instance->next_instance;
    return next && vexo_is_instance(next) ? next : nullptr;
}

// Cached value of a child property, or "" when there is none.
const char *cached_value(node *group, const char *name)
{
    node *p = internal_get_node(group, name, VEXO_NODE_PROPERTY);
    return p && p->u.prop ? p->u.prop->val : "";
}

const char *mc_type_text(uint32_t code)
{
    static const char *const texts[] = {"None", "None", "ZMR",  "HLFLEX", "vNIC1", "NPAR",
                                        "UFP",  "vNIC2", "HLFlEXQBG", nullptr, "HLZMR"};
    return code < sizeof texts / sizeof texts[0] ? texts[code] : nullptr;
}

// link_number of a NIC, iSCSI or FCoE descriptor (at least 88 bytes).
uint32_t function_link_number(const uint8_t *d)
{
    size_t at = resc_desc_type(d) == RESC_DESC_NIC     ? offsetof(SLI4_RESC_DESC_NIC, link_word)
                : resc_desc_type(d) == RESC_DESC_ISCSI ? offsetof(SLI4_RESC_DESC_ISCSI, link_word)
                                                       : offsetof(VEXO_SLI4_RESC_DESC_FCOE, link_word);
    return resc_desc_word(d, at) & 0x3F;
}

const uint8_t *function_mac(const uint8_t *d)
{
    switch (resc_desc_type(d)) {
    case RESC_DESC_NIC:
        return d + offsetof(SLI4_RESC_DESC_NIC, mac_address);
    case RESC_DESC_ISCSI:
        return d + offsetof(SLI4_RESC_DESC_ISCSI, iscsi_mac_address);
    default:
        return d + offsetof(VEXO_SLI4_RESC_DESC_FCOE, enode_mac);
    }
}

const char *function_protocol(const uint8_t *d)
{
    switch (resc_desc_type(d)) {
    case RESC_DESC_NIC:
        return "NIC";
    case RESC_DESC_ISCSI:
        return "iSCSI";
    default:
        return "FCoE";
    }
}

bool vf_template(const uint8_t *d)
{
    return (resc_desc_word(d, 0) & RESC_DESC_VF_TEMPLATE) != 0;
}

void set_mac(node *fn, const uint8_t *mac)
{
    set_prop_val(fn, "MACAddress", "%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
}

// The first Function of `port` whose Protocol is NIC and whose number is `pf`.
node *nic_function(node *port, uint32_t pf)
{
    char number[32];
    std::snprintf(number, sizeof number, "0x%x", pf);
    for (node *f = get_first_instance(port, "Function"); f; f = next_instance(f))
        if (strcasecmp(cached_value(f, "Protocol"), "NIC") == 0 &&
            strcasecmp(cached_value(f, "FunctionNumber"), number) == 0)
            return f;
    return nullptr;
}

// State of one port's function walk.
struct fn_walk {
    uint8_t pf_state = 0;
    const char *sriov = "N/A";
    uint8_t mac[6] = {};
    int created = 0;
};


int max_pf_count_of(node *adapter, node *parent, node *port, uint32_t *max_pf_count)
{
    if (!adapter || !parent || !port)
        return 1;
    GET_PROFILE_CONFIG_PARAMS *census = VEXO_get_profile(adapter, PROFILE_CONFIG_CONFIGURED, 0, 1);
    if (!census)
        return 1;
    bool active = strcasecmp(parent->node_name, "ActiveProfile") == 0;
    profile_walk w;
    profile_walk_start(&w, census, VEXO_PROFILE_CONFIG_SIZE);
    for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w)) {
        if (resc_desc_type(d) != RESC_DESC_PORT || resc_desc_length(d) < 24)
            continue;
        if (active) {
            set_prop_val(port, "MaxStoragePFCount", "%u", port_pf_count(d, 1));
            set_prop_val(port, "MaxNICPFCount", "%u", port_pf_count(d, 2));
            set_prop_val(port, "MaxRoCEPFCount", "%u", port_pf_count(d, 3));
            set_prop_val(port, "MaxiSCSIPFCount", "%u", port_pf_count(d, 4));
            set_prop_val(port, "MaxFCoEPFCount", "%u", port_pf_count(d, 5));
        }
        *max_pf_count = port_pf_count(d, 0);
    }
    vexo_dfree(census);
    return 0;
}

// One configured-profile line: the adapter's prefix, the function and its
// protocol and SR-IOV state.
std::string cprofile_line(const char *prefix, uint32_t pf, const char *protocol, const char *sriov)
{
    char number[16];
    std::snprintf(number, sizeof number, "0x%x", pf);
    return std::string(prefix) + "," + number + "," + protocol + "," + sriov + "\n";
}

// Function walk of one port. `lines` is null for the active profile; for the
// configured one it collects the port's lines of the configured-profile file.
int walk_port_functions(node *adapter, node *port, uint32_t port_num, int config_type, int profile_id,
                        uint32_t active_pf_id, uint32_t max_pf_count, uint32_t *link_number, const char *prefix,
                        std::string *lines)
{
    GET_PROFILE_CONFIG_PARAMS *profile = VEXO_get_profile(adapter, config_type, profile_id, 0);
    if (!profile)
        return 1;
    bool configured = lines != nullptr;
    fn_walk s;
    int rc = 0;
    profile_walk w;
    profile_walk_start(&w, profile, VEXO_PROFILE_CONFIG_SIZE);
    for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w)) {
        if (static_cast<uint32_t>(s.created) >= max_pf_count) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:function count > max_pf_count.\n", __func__);
            break;
        }
        if (resc_desc_length(d) < RESC_DESC_SIZE)
            continue; // too short to hold the fields read below
        uint8_t type = resc_desc_type(d);
        uint32_t pf = resc_desc_pf_number(d);
        if (type == RESC_DESC_PCIE) {
            s.pf_state = d[offsetof(SLI4_RESC_DESC_PCIE, pf_state)];
            uint32_t roles = resc_desc_word(d, offsetof(SLI4_RESC_DESC_PCIE, roles_word));
            uint8_t sriov = d[offsetof(SLI4_RESC_DESC_PCIE, sriov_state)];
            s.sriov = !(roles & PCIE_SRIOV_STATE_CHG) ? "N/A" : sriov == 0 ? "Disabled" : sriov == 1 ? "Enabled" : "N/A";
        }
        if (!configured && active_pf_id != 0 && pf > active_pf_id)
            break;
        if (type == RESC_DESC_NIC || type == RESC_DESC_ISCSI || type == RESC_DESC_FCOE) {
            *link_number = function_link_number(d);
            if (*link_number != port_num || vf_template(d))
                continue;
            node *fn = configured ? initialize_ConfiguredProfile_Port_Function(port, nullptr, nullptr, nullptr)
                                  : initialize_ActiveProfile_Port_Function(port, nullptr, nullptr, nullptr);
            if (!fn) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to initialize Port Function.\n", __func__);
                rc = 1;
                break;
            }
            ++s.created;
            const char *protocol = function_protocol(d);
            set_prop_val(fn, "Protocol", "%s", configured || s.pf_state == 1 ? protocol : "None");
            set_prop_val(fn, "FunctionNumber", "0x%x", pf);
            std::memcpy(s.mac, function_mac(d), 6);
            set_mac(fn, s.mac);
            if (configured) {
                set_prop_val(fn, "SRIOVState", "%s", s.sriov);
                set_prop_val(fn, "State", "%s", s.pf_state == 1 ? "Enabled" : "Disabled");
                *lines += cprofile_line(prefix, pf, protocol, s.sriov);
            }
        } else if (type == RESC_DESC_RDMA && !vf_template(d) && *link_number == port_num) {
            if (get_first_instance(port, "Function")) {
                node *nic = nic_function(port, pf);
                if (nic) {
                    set_prop_val(nic, "Protocol", "%s", configured || s.pf_state == 1 ? "NIC+RoCE" : "None");
                    if (configured) {
                        *lines += cprofile_line(prefix, pf, "NIC+RoCE", cached_value(nic, "SRIOVState"));
                    }
                }
                continue;
            }
            node *fn = configured ? initialize_ConfiguredProfile_Port_Function(port, nullptr, nullptr, nullptr)
                                  : initialize_ActiveProfile_Port_Function(port, nullptr, nullptr, nullptr);
            if (!fn) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to initialize Port Function.\n", __func__);
                rc = 1;
                break;
            }
            ++s.created;
            set_prop_val(fn, "Protocol", "%s", configured || s.pf_state == 1 ? "RoCE" : "None");
            set_prop_val(fn, "FunctionNumber", "0x%x", pf);
            set_mac(fn, s.mac);
            if (configured) {
                set_prop_val(fn, "SRIOVState", "%s", s.sriov);
                set_prop_val(fn, "State", "%s", s.pf_state == 1 ? "Enabled" : "Disabled");
            }
        }
    }
    vexo_dfree(profile);
    return rc;
}

// Ports of ActiveProfile or ConfiguredProfile with their functions.
int port_profile(node *adapter, node *parent, int profile_id, int config_type, uint32_t active_pf_id)
{
    if (!adapter || !parent)
        return 1;
    bool configured = strcasecmp(parent->node_name, "ConfiguredProfile") == 0;
    char serial[VEXO_VALUE_SIZE] = "", bus[VEXO_VALUE_SIZE] = "";
    if (configured && vexo_cprofile_key(adapter, serial, bus) != 0)
        return 1;
    GET_PROFILE_CONFIG_PARAMS *profile = VEXO_get_profile(adapter, config_type, profile_id, 0);
    if (!profile) {
        // The rebuilt tree no longer matches the adapter's old lines.
        if (configured)
            VEXO_delete_cfg_prof_from_file(serial, bus);
        return 1;
    }
    int rc = 0;
    std::string lines;
    const char *mc_text = "";
    uint32_t max_pf_count = 0, link_number = 0;
    profile_walk w;
    profile_walk_start(&w, profile, VEXO_PROFILE_CONFIG_SIZE);
    for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w)) {
        if (resc_desc_type(d) != RESC_DESC_PORT || resc_desc_length(d) < 24)
            continue;
        node *port = configured ? initialize_ConfiguredProfile_Port(parent, nullptr, nullptr, nullptr)
                                : initialize_ActiveProfile_Port(parent, nullptr, nullptr, nullptr);
        if (!port) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to initialize port.\n", __func__);
            rc = 1;
            break;
        }
        uint32_t link_word = resc_desc_word(d, offsetof(SLI4_RESC_DESC_PORT, link_word));
        if (const char *text = mc_type_text((link_word >> 8) & 0xFF)) {
            set_prop_val(port, "MCType", "%s", text);
            mc_text = text;
        }
        if (max_pf_count_of(adapter, parent, port, &max_pf_count) != 0)
            break;
        uint32_t port_num = link_word & 0x3F;
        char prefix[1024];
        std::snprintf(prefix, sizeof prefix, "%s,%s,%d,%s", serial, bus, profile_id, mc_text);
        walk_port_functions(adapter, port, port_num, config_type, profile_id, active_pf_id, max_pf_count,
                            &link_number, prefix, configured ? &lines : nullptr);
    }
    vexo_dfree(profile);
    if (configured && rc != 0)
        VEXO_delete_cfg_prof_from_file(serial, bus);
    else if (configured && vexo_replace_cprofile_lines(serial, bus, lines.c_str()) != 0)
        rc = 1;
    return rc;
}

node *profile_management(node *adapter)
{
    node *pm = internal_get_node(adapter, "ProfileManagement", VEXO_NODE_GROUP);
    if (!pm)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get ProfileManagement Node.\n", __func__);
    return pm;
}

bool read_active_profile(node *adapter, const carrier &c, GET_ACTIVE_PROFILE_PARAMS_OUT *out)
{
    GET_ACTIVE_PROFILE_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    if (ioctl_get_active_profile(c.port, &rec, c.domain, c.phba_port, c.chip) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_GET_ACTIVE_PROFILE_FAILED);
        return false;
    }
    (void)adapter;
    std::memcpy(out, rec.data, sizeof *out);
    return true;
}

// ActiveProfile or ConfiguredProfile of the adapter, or null (logged).
node *profile_group(node *adapter, const char *name)
{
    node *pm = profile_management(adapter);
    if (!pm)
        return nullptr;
    node *g = internal_get_node(pm, name, VEXO_NODE_GROUP);
    if (!g)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get active profile Node.\n", __func__);
    return g;
}

} // namespace

int vexo_cprofile_key(node *adapter, char *serial, char *bus)
{
    if (!adapter || !serial || !bus)
        return 1;
    serial[0] = bus[0] = '\0';
    if (internal_get_property(adapter, "SerialNumber", serial) != VEXO_STATUS_SUCCESS ||
        VEXO_get_pci_bus_number(adapter, bus) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get the serial or bus number.\n", __func__);
        return 1;
    }
    return 0;
}

extern "C" int VEXO_get_profile_capacities(int profile_id, node *profile, node *adapter)
{
    carrier c;
    if (!profile || !adapter || !get_carrier(adapter, &c))
        return 1;
    GET_PROFILE_CONFIG_PARAMS *cfg = VEXO_get_profile(adapter, PROFILE_CONFIG_PROFILE, profile_id, 0);
    if (!cfg)
        return 1;
    uint32_t nic = 0, iscsi = 0, fcoe = 0, roce = 0;
    profile_walk w;
    profile_walk_start(&w, cfg, VEXO_PROFILE_CONFIG_SIZE);
    for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w)) {
        if (resc_desc_type(d) != RESC_DESC_PORT || resc_desc_length(d) < 24)
            continue;
        nic += port_pf_count(d, 2);
        roce += port_pf_count(d, 3);
        iscsi += port_pf_count(d, 4);
        fcoe += port_pf_count(d, 5);
    }
    vexo_dfree(cfg);

    GET_PROFILE_CAPACITIES_PARAMS *caps = static_cast<GET_PROFILE_CAPACITIES_PARAMS *>(vexo_dmalloc(sizeof *caps));
    if (!caps) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
        return 1;
    }
    std::memset(caps, 0, sizeof *caps);
    reinterpret_cast<uint8_t *>(caps)[0] = static_cast<uint8_t>(profile_id);
    if (ioctl_get_profile_cap(c.port, caps, VEXO_PROFILE_CAPS_SIZE, c.domain, c.phba_port, c.chip) !=
        VEXO_STATUS_SUCCESS) {
        vexo_dfree(caps);
        vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_CAP_FAILED);
        return 1;
    }
    int rc = 0;
    size_t at = 0;
    for (uint32_t i = 0; i < caps->capacity_descriptor_count; ++i) {
        // Each descriptor must lie inside the answer and move the walk on.
        if (at + sizeof(SLI4_CAPS_DESC_HEADER) > sizeof caps->descriptors)
            break;
        const uint8_t *d = caps->descriptors + at;
        size_t len = d[1];
        if (len < sizeof(SLI4_CAPS_DESC_HEADER) || at + len > sizeof caps->descriptors)
            break;
        at += len;
        const char *name = nullptr;
        uint32_t count = 0;
        switch (d[0]) {
        case CAPS_DESC_PCIE:
            if (len >= 10)
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:max_pf_num %u mission_roles 0x%x total_func %u\n",
                       __func__, d[4], d[6], static_cast<unsigned>(d[8] | d[9] << 8));
            continue;
        case CAPS_DESC_NIC:
            name = "NIC";
            count = nic;
            break;
        case CAPS_DESC_ISCSI:
            name = "iSCSI";
            count = iscsi;
            break;
        case CAPS_DESC_FCOE:
            name = "FCoE";
            count = fcoe;
            break;
        case CAPS_DESC_ROCE:
            if (node *first = get_first_instance(profile, "Protocol")) {
                for (node *p = first; p; p = next_instance(p))
                    if (strcasecmp(cached_value(p, "ProtocolName"), "NIC") == 0) {
                        set_prop_val(p, "ProtocolName", "NIC+RoCE");
                        break;
                    }
                continue;
            }
            name = "RoCE";
            count = roce;
            break;
        default:
            continue;
        }
        node *p = initialize_Profile_Protocol(profile, nullptr, nullptr, nullptr);
        if (!p) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to initialize Protocol Node.\n", __func__);
            rc = 1;
            break;
        }
        set_prop_val(p, "ProtocolName", "%s", name);
        set_prop_val(p, "FunctionCount", "%u", count);
    }
    vexo_dfree(caps);
    return rc;
}

extern "C" int VEXO_list_available_profiles(node *adapter)
{
    carrier c;
    if (!adapter || no_profiles(adapter) || !get_carrier(adapter, &c))
        return 1;
    node *pm = profile_management(adapter);
    if (!pm)
        return 1;
    GET_PROFILE_LIST_PARAMS *list = static_cast<GET_PROFILE_LIST_PARAMS *>(vexo_dmalloc(sizeof *list));
    if (!list) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
        return 1;
    }
    std::memset(list, 0, sizeof *list);
    if (ioctl_get_profile_list(c.port, list, VEXO_PROFILE_LIST_SIZE, c.domain, c.phba_port, c.chip) !=
        VEXO_STATUS_SUCCESS) {
        vexo_dfree(list);
        vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_LIST_FAILED);
        return 1;
    }
    uint32_t count = list->profile_descriptor_count;
    if (count > VEXO_PROFILE_LIST_ENTRIES)
        count = VEXO_PROFILE_LIST_ENTRIES;
    int rc = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const SLI4_PROFILE_DESC &e = list->profile_descriptor[i];
        if (e.profile_id == 20)
            continue; // not offered to users
        node *p = initialize_Profile(pm, nullptr, nullptr, nullptr);
        if (!p) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to initialize profile.\n", __func__);
            rc = 1;
            break;
        }
        set_prop_val(p, "ProfileId", "%d", e.profile_id);
        set_prop_val(p, "ProfileDescription", "%.*s", static_cast<int>(sizeof e.profile_description_string),
                     e.profile_description_string);
        VEXO_get_profile_capacities(e.profile_id, p, adapter);
    }
    vexo_dfree(list);
    return rc;
}

extern "C" int VEXO_get_active_profiles(node *adapter)
{
    carrier c;
    if (!adapter || no_profiles(adapter) || !get_carrier(adapter, &c))
        return 1;
    node *active = profile_group(adapter, "ActiveProfile");
    GET_ACTIVE_PROFILE_PARAMS_OUT ids;
    if (!active || !read_active_profile(adapter, c, &ids))
        return 1;
    set_prop_val(active, "ProfileId", "%d", ids.active_profile_id);
    GET_ARI_SETTINGS_PARAMS ari;
    std::memset(&ari, 0, sizeof ari);
    uint32_t limit = 0;
    if (ioctl_get_ari_settings(c.port, &ari, c.domain, c.phba_port, get_the_protocol(c.chip)) ==
        VEXO_STATUS_SUCCESS) {
        uint32_t word;
        std::memcpy(&word, ari.data, sizeof word);
        limit = (word >> ARI_ACTIVE_MAX_PF_SHIFT) & 0xFF;
    }
    return port_profile(adapter, active, ids.active_profile_id, PROFILE_CONFIG_ACTIVE, limit) ? 1 : 0;
}

extern "C" int VEXO_get_configured_profiles(node *adapter)
{
    carrier c;
    if (!adapter || no_profiles(adapter) || !get_carrier(adapter, &c))
        return 1;
    node *configured = profile_group(adapter, "ConfiguredProfile");
    GET_ACTIVE_PROFILE_PARAMS_OUT ids;
    if (!configured || !read_active_profile(adapter, c, &ids))
        return 1;
    set_prop_val(configured, "ProfileId", "%d", ids.next_active_profile_id);
    return port_profile(adapter, configured, ids.next_active_profile_id, PROFILE_CONFIG_CONFIGURED, 0) ? 1 : 0;
}

extern "C" int VEXO_get_link_reconfig_details(node *adapter, int flag)
{
    node *lr = adapter ? internal_get_node(adapter, "LinkReconfiguration", VEXO_NODE_GROUP) : nullptr;
    if (!lr)
        return 1;
    if (no_profiles(adapter)) {
        set_prop_val(lr, "ActiveLinkConfigID", "N/A");
        return 1;
    }
    carrier c;
    if (!get_carrier(adapter, &c))
        return 1;
    GET_RECONFIG_LINK_INFO_PARAMS *info =
        static_cast<GET_RECONFIG_LINK_INFO_PARAMS *>(vexo_dmalloc(sizeof *info));
    if (!info) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
        return 1;
    }
    std::memset(info, 0, sizeof *info);
    if (ioctl_get_link_reconfig(c.port, info, VEXO_RECONFIG_LINK_SIZE, c.domain, c.phba_port, c.chip) !=
        VEXO_STATUS_SUCCESS) {
        vexo_dfree(info);
        vexo_set_fixed_status(VEXO_STATUS_GET_LINK_RECONFIG_FAILED);
        return 1;
    }
    if (info->active_link_config_id)
        set_prop_val(lr, "ActiveLinkConfigID", "%d", info->active_link_config_id);
    else
        set_prop_val(lr, "ActiveLinkConfigID", "N/A");
    if (info->next_link_config_id)
        set_prop_val(lr, "ConfiguredLinkConfigID", "%d", info->next_link_config_id);
    else
        set_prop_val(lr, "ConfiguredLinkConfigID", "N/A");
    int rc = 0;
    if ((flag & 0xFF) != 1) {
        uint32_t count = info->link_config_descriptor_count;
        if (count > VEXO_LINK_CONFIG_ENTRIES)
            count = VEXO_LINK_CONFIG_ENTRIES;
        for (uint32_t i = 0; i < count; ++i) {
            const LINK_CONFIG_DESC &e = info->link_config_desc[i];
            node *lc = initialize_LinkConfig(lr, nullptr, nullptr, nullptr);
            if (!lc) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to initialize link_config.\n", __func__);
                rc = 1;
                break;
            }
            set_prop_val(lc, "LinkConfigID", "%u", static_cast<unsigned>(e.word0 >> 24));
            set_prop_val(lc, "LinkConfigDescription", "%.*s", static_cast<int>(sizeof e.link_config_desc_string),
                         e.link_config_desc_string);
        }
    }
    vexo_dfree(info);
    return rc;
}

VEXO_status_t handle_AvailableProtocols(node *property, char *value, int type)
{
    (void)type; // read only
    if (!property || property->node_type != VEXO_NODE_PROPERTY || !property->u.prop)
        return VEXO_STATUS_FAILURE;
    node *fn = property->parent;
    node *port = fn ? fn->parent : nullptr;
    node *configured = port ? port->parent : nullptr;
    node *pm = configured ? configured->parent : nullptr;
    node *adapter = pm ? pm->parent : nullptr;
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    char number[VEXO_VALUE_SIZE];
    if (internal_get_property(fn, "FunctionNumber", number) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    char *end = nullptr;
    long pf = std::strtol(number, &end, 0);
    if (end == number || *end != '\0' || pf < 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:pf_num is invalid\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    char *cached = property->u.prop->val;
    GET_PROFILE_CONFIG_PARAMS *census = VEXO_get_profile(adapter, PROFILE_CONFIG_CONFIGURED, 0, 1);
    if (!census)
        return VEXO_STATUS_FAILURE;
    std::string list;
    profile_walk w;
    profile_walk_start(&w, census, VEXO_PROFILE_CONFIG_SIZE);
    for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w)) {
        if (resc_desc_type(d) != RESC_DESC_PCIE || resc_desc_length(d) < RESC_DESC_SIZE ||
            resc_desc_pf_number(d) != static_cast<uint32_t>(pf))
            continue;
        uint32_t roles = resc_desc_word(d, offsetof(SLI4_RESC_DESC_PCIE, roles_word));
        static const char *const names[] = {"NIC", "iSCSI", "FCoE", "RoCE"};
        for (int b = 0; b < 4; ++b)
            if (roles & (1u << b)) {
                if (!list.empty())
                    list += ",";
                list += names[b];
            }
        break;
    }
    vexo_dfree(census);
    std::snprintf(cached, VEXO_VALUE_SIZE, "%s", list.c_str());
    GET_PROFILE_CONFIG_PARAMS *cfg = VEXO_get_profile(adapter, PROFILE_CONFIG_CONFIGURED, 0, 0);
    if (!cfg)
        return VEXO_STATUS_FAILURE;
    profile_walk_start(&w, cfg, VEXO_PROFILE_CONFIG_SIZE);
    for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w)) {
        if (resc_desc_type(d) != RESC_DESC_PCIE || resc_desc_length(d) < RESC_DESC_SIZE ||
            resc_desc_pf_number(d) != static_cast<uint32_t>(pf))
            continue;
        if (resc_desc_word(d, offsetof(SLI4_RESC_DESC_PCIE, roles_word)) & PCIE_PRESENTATION_CHG)
            std::snprintf(cached, VEXO_VALUE_SIZE, "%s,None", list.c_str());
        break;
    }
    vexo_dfree(cfg);
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}
