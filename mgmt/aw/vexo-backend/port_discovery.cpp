#include "mgmt/aw/vexo-backend/port_discovery.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/adapter_startup.h"
#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/dcbx_features.h"
#include "mgmt/aw/vexo-backend/function_enum.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_port.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace {

const int kMaxPorts = 4;

const char *const kInterfaceTypes[] = {
    "CX4_10GB_TYPE",    "XFP_10GB_TYPE",   "SFP_1GB_TYPE",    "SFP_PLUS_10GB_TYPE", "KR_10GB_TYPE",
    "KX4_10GB_TYPE",    "BASET_10GB_TYPE", "BASET_1000_TYPE", "BASEX_1000_TYPE",    "SGMII_TYPE",
    "QSFP_TYPE",        "KR4_TYPE",        "KR2_TYPE",        "INTERFACE_10GB_DISABLED",
};
const unsigned kInterfaceDisabled = 13;

struct SpeedBit {
    uint16_t bit;
    const char *name;
};
const SpeedBit kSpeeds[] = {{0x1, "10Mb"}, {0x2, "100Mb"}, {0x4, "1Gb"}, {0x8, "10Gb"}, {0x10, "20Gb"}, {0x20, "40Gb"}};

// Fields of the PHY details answer.
const size_t kPhyInterfaceType = 2;
const size_t kPhyExtended = 8;
const size_t kPhyAutoSpeeds = 12;
const size_t kPhyFixedSpeeds = 14;

// The DCBX configuration answer: request byte 0 is the parameter type; the
// application entries are 16 bytes each from byte 72.
const uint8_t kDcbxAdministrator = 0;
const uint8_t kDcbxOperational = 1;
const uint8_t kDcbxPeer = 2;
const size_t kDcbxApps = 72;
const size_t kDcbxAppSize = 16;
static_assert(kDcbxApps + DCBX_APP_ENTRIES * kDcbxAppSize <= sizeof(DCBX_GET_DCBX_CFG_PARAMS),
              "the application entries lie inside the answer");

// Fields of the profile descriptors used for channels, and the bytes a
// descriptor of each type must hold for them.
const size_t kPcieState = 13;
const size_t kVfTemplateByte = 3;
const uint8_t kVfTemplateBit = 0x08;
struct ChannelLayout {
    uint8_t type;
    const char *name;
    size_t mac, link, lld, bw_min, bw_max;
    int vlan; // offset of vlan_id, -1: none
    size_t needed;
};
const ChannelLayout kLayouts[] = {
    {RESC_DESC_NIC, "NIC", 10, 44, 45, 48, 52, 36, 56},
    {RESC_DESC_ISCSI, "iSCSI", 14, 32, 33, 36, 40, -1, 44},
    {RESC_DESC_FCOE, "FCOE", 40, 52, 53, 56, 60, -1, 64},
};
const size_t kRdmaNeeded = 8;
const size_t kPcieNeeded = kPcieState + 1;

const ChannelLayout *layout_of(int type)
{
    for (const ChannelLayout &l : kLayouts)
        if (l.type == type)
            return &l;
    return nullptr;
}

bool named(const node *n, const char *name)
{
    return n && n->node_name && strcasecmp(n->node_name, name) == 0;
}

// Reads the DCBX configuration of one kind for port j; false on failure.
bool read_dcbx(int aw_port_number, node *adapter, int j, uint8_t parameter_type, DCBX_GET_DCBX_CFG_PARAMS *rec)
{
    std::memset(rec, 0, sizeof *rec);
    rec->data[0] = parameter_type;
    int driver = get_port_bitmap(instance_number(adapter), j);
    return ioctl_get_dcbx_cfg_params(aw_port_number, rec, 0, static_cast<uint32_t>(j), driver) ==
           VEXO_STATUS_SUCCESS;
}

// The PG instances of the three priority-group settings groups.
void build_priority_groups(node *dcbx)
{
    node *pgs = internal_get_node(dcbx, "PriorityGroups", VEXO_NODE_GROUP);
    if (!pgs)
        return;
    struct Settings {
        const char *name;
        node *(*build)(node *, node *, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
    };
    const Settings settings[] = {
        {"AdministratorPGSetting", initialize_AdministratorPGSetting_PG},
        {"OperationalPGSettings", initialize_OperationalPGSettings_PG},
        {"PeerPGSetting", initialize_PeerPGSetting_PG},
    };
    for (const Settings &s : settings) {
        node *g = internal_get_node(pgs, s.name, VEXO_NODE_GROUP);
        if (!g)
            continue;
        for (int i = 0; i < PG_MAX_INSTANCES; ++i)
            s.build(g, nullptr, nullptr, nullptr);
    }
}

// The application-TLV instances of the three settings groups; false when a
// DCBX read fails or the administrator group lacks its add action, which
// ends the port's work.
bool build_app_tlvs(node *tlvs, node *adapter, int j, int aw_port_number)
{
    struct Settings {
        const char *name;
        uint8_t parameter_type;
        const char *failure;
    };
    const Settings settings[] = {
        {"AdministratorTLVSetting", kDcbxAdministrator, "%s:Get DCBX CFG params failed for Administrator TLV.\n"},
        {"OperationalTLVSettings", kDcbxOperational, "%s:Get DCBX CFG params failed for Operational TLV.\n"},
        {"PeerTLVSetting", kDcbxPeer, "%s:Get DCBX CFG params failed for Peer TLV.\n"},
    };
    for (const Settings &s : settings) {
        node *g = internal_get_node(tlvs, s.name, VEXO_NODE_GROUP);
        if (!g)
            continue;
        DCBX_GET_DCBX_CFG_PARAMS rec;
        if (!read_dcbx(aw_port_number, adapter, j, s.parameter_type, &rec)) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, s.failure, "VEXO_get_port_discovery_config");
            return false;
        }
        node *add = nullptr;
        if (s.parameter_type == kDcbxAdministrator) {
            add = internal_get_node(g, "AddApplicationTLV", VEXO_NODE_ACTION);
            if (!add)
                return false;
        }
        port_apply_app_tlvs(g, &rec, add);
    }
    return true;
}

} // namespace

void port_speed_list(uint16_t mask, char *out)
{
    out[0] = '\0';
    size_t used = 0;
    for (const SpeedBit &s : kSpeeds) {
        if (!(mask & s.bit))
            continue;
        int n = std::snprintf(out + used, VEXO_VALUE_SIZE - used, "%s%s", used ? "," : "", s.name);
        if (n > 0)
            used += static_cast<size_t>(n);
    }
    if (used == 0)
        std::snprintf(out, VEXO_VALUE_SIZE, "0");
}

int port_apply_name(node *port, const uint8_t *names, unsigned count, unsigned phba_port)
{
    if (!port || !names)
        return 1;
    if (phba_port >= count)
        return 0;
    return set_prop_val(port, "PortName", "%c", names[phba_port]) == VEXO_STATUS_SUCCESS ? 0 : 1;
}

int port_apply_interface_type(node *port, bool answered, const GET_PHY_DETAILS_PARAMS *answer)
{
    unsigned type = answer ? le16_at(answer->data + kPhyInterfaceType) : ~0u;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:interface type = %d\n", "VEXO_update_interfacetype",
           static_cast<int>(type));
    if (answered && type < sizeof kInterfaceTypes / sizeof kInterfaceTypes[0]) {
        const char *name = type == kInterfaceDisabled ? "Not Supported" : kInterfaceTypes[type];
        return set_prop_val(port, "InterfaceType", "%s", name);
    }
    set_prop_val(port, "InterfaceType", "N/A");
    return 1;
}

int port_apply_speeds(node *port, const GET_PHY_DETAILS_PARAMS *answer)
{
    if (le16_at(answer->data + kPhyExtended) != PHY_DETAILS_SPEEDS_VALID)
        return set_prop_val(port, "ANSpeedsSupported", "N/A") | set_prop_val(port, "ForceSpeedsSupported", "N/A");
    uint16_t auto_mask = le16_at(answer->data + kPhyAutoSpeeds);
    uint16_t fixed_mask = le16_at(answer->data + kPhyFixedSpeeds);
    char list[VEXO_VALUE_SIZE];
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:auto_speeds_supported = %d\n", "VEXO_update_speed_props", auto_mask);
    port_speed_list(auto_mask, list);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:temp_speed_supported for Auto = %s\n", "VEXO_update_speed_props",
           list);
    int result = set_prop_val(port, "ANSpeedsSupported", "%s", list);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:fixed_speeds_supported = %d\n", "VEXO_update_speed_props",
           fixed_mask);
    port_speed_list(fixed_mask, list);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:temp_speed_supported for Force = %s\n", "VEXO_update_speed_props",
           list);
    return result | set_prop_val(port, "ForceSpeedsSupported", "%s", list);
}

int port_apply_app_tlvs(node *settings, const DCBX_GET_DCBX_CFG_PARAMS *answer, node *add_action)
{
    if (!settings || !answer)
        return 1;
    node *(*build)(node *, node *, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]) = nullptr;
    if (named(settings, "AdministratorTLVSetting"))
        build = initialize_AdministratorTLVSetting_ApplicationTLV;
    else if (named(settings, "OperationalTLVSettings"))
        build = initialize_OperationalTLVSettings_ApplicationTLV;
    else if (named(settings, "PeerTLVSetting"))
        build = initialize_PeerTLVSetting_ApplicationTLV;
    else
        return 1;
    for (size_t k = 0; k < DCBX_APP_ENTRIES; ++k) {
        const uint8_t *app = answer->data + kDcbxApps + k * kDcbxAppSize;
        if (app[3] != 1)
            continue;
        unsigned protocol = le16_at(app);
        unsigned selector = app[2];
        uint32_t oui = static_cast<uint32_t>(app[4]) | static_cast<uint32_t>(app[5]) << 8 |
                       static_cast<uint32_t>(app[6]) << 16 | static_cast<uint32_t>(app[7]) << 24;
        unsigned bitmap = 0;
        for (unsigned p = 0; p < 8; ++p)
            if (app[8 + p] == 1)
                bitmap |= 1u << p;
        node *tlv;
        if (add_action) {
            // Recorded like a user-added entry, so that it is saved as one.
            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
            std::snprintf(params[0], VEXO_VALUE_SIZE, "%u", selector);
            std::snprintf(params[1], VEXO_VALUE_SIZE, "%u", protocol);
            std::snprintf(params[2], VEXO_VALUE_SIZE, "%u", bitmap);
            std::snprintf(params[3], VEXO_VALUE_SIZE, "%u", oui);
            tlv = build(settings, settings, add_action, params);
        } else {
            tlv = build(settings, nullptr, nullptr, nullptr);
        }
        if (!tlv)
            continue;
        dcbx_keep_entry_index(tlv, static_cast<int>(k));
        set_prop_val(tlv, "ProtocolSelector", "%d", static_cast<int>(selector));
        set_prop_val(tlv, "ProtocolID", "0x%02x", protocol);
        set_prop_val(tlv, "OUI", "0x%02x", oui);
        set_prop_val(tlv, "PriorityBitMap", "0x%02x", bitmap);
    }
    return 0;
}

int port_apply_channels(node *channel_mgmt, int port_number, const GET_PROFILE_CONFIG_PARAMS *answer, size_t size)
{
    if (!channel_mgmt || !answer || size < sizeof answer->word0)
        return 1;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:resource_desc_count = %d\n", "VEXO_get_multi_channels_info",
           static_cast<int>(answer->word0 & 0xFFFF));
    profile_walk w;
    profile_walk_start(&w, answer, size);
    int pcie_state = 0;
    int link_number = -1; // an RDMA descriptor takes the link of the one before it
    int result = 0;
    bool malformed = false;
    for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w)) {
        int type = resc_desc_type(d);
        size_t length = resc_desc_length(d);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:desc_length = %d desc_type = %d\n",
               "VEXO_get_multi_channels_info", static_cast<int>(length), type);
        if (type == RESC_DESC_PCIE) {
            if (length < kPcieNeeded) {
                malformed = true;
                break;
            }
            pcie_state = d[kPcieState];
            continue;
        }
        if (type < RESC_DESC_NIC || type > RESC_DESC_RDMA || pcie_state != 1)
            continue;
        const ChannelLayout *layout = layout_of(type);
        if (length < (layout ? layout->needed : kRdmaNeeded)) {
            malformed = true;
            break;
        }
        unsigned pf = resc_desc_pf_number(d);
        char pf_text[16];
        std::snprintf(pf_text, sizeof pf_text, "0x%x", pf);
        int vf_template = (d[kVfTemplateByte] & kVfTemplateBit) ? 1 : 0;
        if (layout) {
            link_number = layout->type == RESC_DESC_NIC ? (d[layout->link] & 0x3F) : d[layout->link];
            if (layout->type == RESC_DESC_NIC) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:link_num=%d pf_num=0x%x\n",
                       "VEXO_get_multi_channels_info", link_number, pf);
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:vf_template = %d\n", "VEXO_get_multi_channels_info",
                       vf_template);
            } else {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:lnk_num=%d pf=0x%x\n", "VEXO_get_multi_channels_info",
                       link_number, pf);
            }
        }
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:port_number = %d link_number = %d\n",
               "VEXO_get_multi_channels_info", port_number, link_number);
        if (link_number != port_number || vf_template)
            continue;
        int r = VEXO_initialize_channels(type, pf_text, channel_mgmt, d);
        if (r != 0) {
            result = r;
            break;
        }
    }
    if (result == 0 && (malformed || w.malformed)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:malformed descriptor list\n", "VEXO_get_multi_channels_info");
        vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED);
        result = 1;
    }
    return result;
}

extern "C" int VEXO_update_portname(int aw_port_number, node *port)
{
    node *adapter = port ? port->parent : nullptr;
    if (!port || !adapter)
        return 1;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE || family == AW_TYPE_UNKNOWN)
        return 1;
    if (vm_flag)
        set_prop_val(port, "PortName", "N/A");
    PortRoute r;
    if (!route_of_port(port, &r))
        return 1;
    VEXO_status_t status;
    const uint8_t *names;
    unsigned count;
    IOCTL_COMMON_GET_PORT_NAME_PARAMS v0;
    IOCTL_COMMON_GET_PORT_NAME_PARAMS_V1 v1;
    std::memset(&v0, 0, sizeof v0);
    std::memset(&v1, 0, sizeof v1);
    if (family == AW_TYPE_AW2) {
        // The version-0 command names ports 0 and 1 only.
        status = ioctl_get_port_name(aw_port_number, &v0, r.domain, r.phba_port, r.driver);
        names = v0.data;
        count = 2;
    } else {
        status = ioctl_get_port_name_v1(aw_port_number, &v1, r.domain, r.phba_port, r.driver);
        names = v1.data;
        count = sizeof v1.data;
    }
    if (status != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_GET_PORT_NAME);
        return 1;
    }
    return port_apply_name(port, names, count, r.phba_port);
}

extern "C" int VEXO_update_interfacetype(int aw_port_number, node *port)
{
    node *adapter = port ? port->parent : nullptr;
    if (!port || !adapter || get_aw_type(adapter) == AW_TYPE_UNREADABLE)
        return 1;
    PortRoute r;
    if (!route_of_port(port, &r))
        return 1;
    GET_PHY_DETAILS_PARAMS phy;
    std::memset(&phy, 0, sizeof phy);
    VEXO_status_t status = ioctl_get_phy_details(aw_port_number, &phy, r.domain, r.phba_port, r.driver);
    return port_apply_interface_type(port, status == VEXO_STATUS_SUCCESS, &phy);
}

extern "C" int VEXO_update_speed_props(int aw_port_number, node *port)
{
    node *adapter = port ? port->parent : nullptr;
    if (!port || !adapter)
        return 1;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return 1;
    if (family == AW_TYPE_AW2)
        return set_prop_val(port, "ANSpeedsSupported", "N/A") | set_prop_val(port, "ForceSpeedsSupported", "N/A");
    PortRoute r;
    if (!route_of_port(port, &r))
        return 1;
    GET_PHY_DETAILS_PARAMS phy;
    std::memset(&phy, 0, sizeof phy);
    VEXO_status_t status = ioctl_get_phy_details(aw_port_number, &phy, r.domain, r.phba_port, r.driver);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:Status of ioctl_get_phy_details = %d\n", __func__, status);
    if (status != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_PHY_DETAILS_FAILED);
        return 1;
    }
    return port_apply_speeds(port, &phy);
}

extern "C" int VEXO_initialize_channels(int pf_type, char *pf_num, node *channel_mgmt, const uint8_t *desc)
{
    if (!pf_num || !channel_mgmt || !desc)
        return 1;
    if (pf_type == RESC_DESC_RDMA) {
        for (node *ch = get_first_instance(channel_mgmt, "Channel"); ch && vexo_is_instance(ch);
             ch = ch->u.grp->multi_instance->next_instance) {
            char type[VEXO_VALUE_SIZE] = "", number[VEXO_VALUE_SIZE] = "";
            internal_get_property(ch, "Type", type);
            internal_get_property(ch, "FunctionNumber", number);
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:protocol_name = %s f_number = %s rdma_pf = %s\n", __func__,
                   type, number, pf_num);
            if (std::strcmp(type, "NIC") == 0 && strcasecmp(number, pf_num) == 0) {
                set_prop_val(ch, "Type", "NIC+RoCE");
                break;
            }
        }
        return 0;
    }
    const ChannelLayout *layout = layout_of(pf_type);
    if (!layout)
        return 1;
    node *ch = initialize_Channel(channel_mgmt, nullptr, nullptr, nullptr);
    if (!ch) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "Failed to initialize Channel group.\n");
        return 1;
    }
    const uint8_t *mac = desc + layout->mac;
    uint32_t bw_min = resc_desc_word(desc, layout->bw_min);
    uint32_t bw_max = resc_desc_word(desc, layout->bw_max);
    set_prop_val(ch, "FunctionNumber", "%s", pf_num);
    set_prop_val(ch, "Type", "%s", layout->name);
    set_prop_val(ch, "LogicalLinkState", "%s", (desc[layout->lld] & 0x2) ? "Disabled" : "Enabled");
    set_prop_val(ch, "MACAddress", "%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    if (layout->vlan >= 0)
        set_prop_val(ch, "LPVID", "%d", le16_at(desc + layout->vlan));
    else
        set_prop_val(ch, "LPVID", "N/A");
    set_prop_val(ch, "MinBandWidth", "%d", static_cast<int>(bw_min));
    set_prop_val(ch, "MaxBandWidth", "%d", static_cast<int>(bw_max));
    return 0;
}

extern "C" int VEXO_get_multi_channels_info(int port_number, node *port)
{
    node *adapter = port ? port->parent : nullptr;
    if (!adapter)
        return 1;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return 1;
    if (family == AW_TYPE_VARROW)
        return 0;
    node *channel_mgmt = internal_get_node(port, "ChannelManagement", VEXO_NODE_GROUP);
    node *function = target_function(adapter);
    if (!channel_mgmt || !function)
        return 1;
    unsigned int domain = get_domain_id(function);
    unsigned int phba_port = get_phba_port_number(function);
    int aw_port_number = get_port_number(function);
    GET_PROFILE_CONFIG_PARAMS *buf = static_cast<GET_PROFILE_CONFIG_PARAMS *>(vexo_dmalloc(sizeof *buf));
    if (!buf) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    std::memset(buf, 0, sizeof *buf);
    VEXO_status_t status = ioctl_get_profile_config(aw_port_number, buf, VEXO_PROFILE_CONFIG_SIZE, domain, phba_port,
                                                    get_the_protocol(instance_number(adapter)));
    int result;
    if (status != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED);
        result = status;
    } else {
        result = port_apply_channels(channel_mgmt, port_number, buf, sizeof *buf);
    }
    vexo_dfree(buf);
    return result;
}

extern "C" int VEXO_get_port_discovery_config(node *adapter)
{
    if (!adapter)
        return 0;
    int family = get_aw_type(adapter);
    for (int j = 0; j < kMaxPorts; ++j) {
        char port_text[8];
        std::snprintf(port_text, sizeof port_text, "%d", j);
        node *phba = get_valid_phba(adapter, port_text);
        node_handle *handle = phba ? static_cast<node_handle *>(phba->u.grp->handle) : nullptr;
        if (!handle)
            continue;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:j = %d phba = %s%d bitmap = %d\n", __func__, j, phba->node_name,
               instance_number(phba), get_port_bitmap(instance_number(adapter), j));
        node *port = initialize_PortDiscoveryAndConfiguration(adapter, nullptr, nullptr, nullptr);
        if (!port) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_CRITICAL,
                   "%s:Failed to initialize PortDiscoveryAndConfiguration group.\n", __func__);
            continue;
        }
        set_prop_val(port, "PortNumber", "%d", j);
        int aw_port_number = handle->aw_port_number;
        VEXO_update_portname(aw_port_number, port);
        VEXO_update_interfacetype(aw_port_number, port);
        VEXO_update_speed_props(aw_port_number, port);
        VEXO_update_is_clear_counter(aw_port_number, port);
        // The function's own record: freed through the function group only.
        port->u.grp->handle = handle;

        node *dcbx = internal_get_node(port, "DCBX", VEXO_NODE_GROUP);
        if (!dcbx)
            continue;
        build_priority_groups(dcbx);
        node *tlvs = internal_get_node(dcbx, "ApplicationTLVGroups", VEXO_NODE_GROUP);
        if (tlvs && !build_app_tlvs(tlvs, adapter, j, aw_port_number))
            continue;
        if (family == AW_TYPE_AW3 || family == AW_TYPE_TRELMONT)
            VEXO_get_multi_channels_info(j, port);
    }
    return 0;
}
