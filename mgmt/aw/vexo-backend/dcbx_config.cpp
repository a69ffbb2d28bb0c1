#include "mgmt/aw/vexo-backend/dcbx_config.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

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

const int kNicDriver = 2;
const int kPgCount = 8;
const uint8_t kPg15 = 15;

bool named(const node *n, const char *name)
{
    return n && n->node_name && same_name_nocase(n->node_name, name);
}

bool named_any(const node *n, const char *const *names)
{
    for (; *names; ++names)
        if (named(n, *names))
            return true;
    return false;
}

const char *yes_no(uint32_t word, uint32_t bit)
{
    return (word & bit) ? "Yes" : "No";
}

const char *true_false(uint32_t word)
{
    return (word & DCBX_FEATURE_ENABLED) ? "True" : "False";
}

uint32_t byte_bits(const uint8_t *bytes)
{
    uint32_t bits = 0;
    for (int i = 0; i < 8; ++i)
        if (bytes[i] == 1)
            bits |= 1u << i;
    return bits;
}

uint32_t group_bits(const DCBX_PRIORITY_IN_BWG &bwg, unsigned group)
{
    uint32_t bits = 0;
    for (int i = 0; i < 8; ++i)
        if (bwg.pg_up_settings[i].bwg_id == group)
            bits |= 1u << i;
    return bits;
}

void set_or_clear(uint32_t *word, uint32_t bit, bool on)
{
    if (on)
        *word |= bit;
    else
        *word &= ~bit;
}

// The record variant a group shows.
uint8_t parameter_type_of(node *group)
{
    static const char *const kAdmin[] = {"AdministratorPFCSetting", "AdministratorPGSetting",
                                         "AdministratorTLVSetting", nullptr};
    static const char *const kAdminParents[] = {"AdministratorPGSetting", "AdministratorTLVSetting", nullptr};
    static const char *const kPeer[] = {"PeerPFCSetting", "PeerPGSetting", "PeerTLVSetting", nullptr};
    static const char *const kPeerParents[] = {"PeerPGSetting", "PeerTLVSetting", nullptr};
    if (named_any(group, kAdmin) || named_any(group->parent, kAdminParents))
        return DCBX_PARAM_ADMIN;
    if (named_any(group, kPeer) || named_any(group->parent, kPeerParents))
        return DCBX_PARAM_PEER;
    return DCBX_PARAM_OPERATIONAL;
}

VEXO_status_t read_v0(int aw_port_number, unsigned int phba_port, unsigned int domain, int chip, uint8_t type,
                      DCBX_GET_DCBX_CFG_PARAMS *rec)
{
    std::memset(rec, 0, sizeof *rec);
    rec->parameter_type = type;
    return ioctl_get_dcbx_cfg_params(aw_port_number, rec, domain, phba_port,
                                     get_port_bitmap(chip, static_cast<int>(phba_port)));
}

VEXO_status_t read_v1(int aw_port_number, unsigned int phba_port, unsigned int domain, int chip, uint8_t type,
                      DCBX_GET_DCBX_CFG_PARAMS_V1 *rec)
{
    std::memset(rec, 0, sizeof *rec);
    rec->parameter_type = type;
    return ioctl_get_dcbx_cfg_params_v1(aw_port_number, rec, domain, phba_port,
                                        get_port_bitmap(chip, static_cast<int>(phba_port)));
}

// OperationalMode of OperationalPGSettings; 0, or 1 when a level of the
// tree or the management type cannot be read.
int operational_pg_mode(int aw_port_number, unsigned int phba_port, unsigned int domain, node *group,
                        uint32_t pg_state)
{
    node *pgs = group->parent;
    node *dcbx = named(pgs, "PriorityGroups") ? pgs->parent : nullptr;
    node *port = named(dcbx, "DCBX") ? dcbx->parent : nullptr;
    node *adapter = named(port, "PortDiscoveryAndConfiguration") ? port->parent : nullptr;
    if (!adapter || adapter == port)
        return 1;
    int op_flag = 0;
    VEXO_get_operating_value(aw_port_number, domain, phba_port, group, &op_flag);
    node *cm = internal_get_node(adapter, "ChannelManagement", VEXO_NODE_GROUP);
    char mgmt_type[VEXO_VALUE_SIZE] = "";
    if (cm && internal_get_property(cm, "ConfiguredManagementType", mgmt_type) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get ConfiguredManagementType\n", __func__);
        return 1;
    }
    if (!cm || strcasecmp(mgmt_type, "N/A") != 0)
        return set_prop_val(group, "OperationalMode", "N/A") == VEXO_STATUS_SUCCESS ? 0 : 1;
    if (pg_state & DCBX_FEATURE_OPER_NA)
        return set_prop_val(group, "OperationalMode", "N/A") == VEXO_STATUS_SUCCESS ? 0 : 1;
    if (op_flag == 0)
        return set_prop_val(group, "OperationalMode", "%s", true_false(pg_state)) == VEXO_STATUS_SUCCESS ? 0 : 1;
    return 0;
}

// The state flags of a settings group: which ones it shows depends on the set.
int store_flags(node *group, uint32_t word, uint8_t type)
{
    int r = 0;
    if (type == DCBX_PARAM_OPERATIONAL) {
        r |= set_prop_val(group, "Error", "%s", yes_no(word, DCBX_FEATURE_ERROR));
        r |= set_prop_val(group, "Synced", "%s", yes_no(word, DCBX_FEATURE_SYNCED));
        return r;
    }
    r |= set_prop_val(group, "Enabled", "%s", yes_no(word, DCBX_FEATURE_ENABLED));
    r |= set_prop_val(group, "Advertise", "%s", yes_no(word, DCBX_FEATURE_ADVERTISE));
    r |= set_prop_val(group, "Willing", "%s", yes_no(word, DCBX_FEATURE_WILLING));
    if (type == DCBX_PARAM_PEER)
        r |= set_prop_val(group, "Error", "%s", yes_no(word, DCBX_FEATURE_ERROR));
    return r;
}

void copy_common(const DCBX_GET_DCBX_CFG_PARAMS_OUT &in, DCBX_SET_DCBX_CFG_PARAMS_IN *out)
{
    out->dcbx_state = in.dcbx_state;
    out->num_app_entries_valid = in.num_app_entries_valid;
    out->pg_state = in.pg_state;
    out->pfc_state = in.pfc_state;
    out->appl_state = in.appl_state;
    out->pfc = in.pfc;
    out->priority_in_bwg = in.priority_in_bwg;
    std::memcpy(out->app_settings, in.app_settings, sizeof out->app_settings);
}

// The state word an administrator flag addresses, by the property's group.
uint32_t *admin_word(node *group, DCBX_SET_DCBX_CFG_PARAMS_IN *req)
{
    if (named(group, "AdministratorPFCSetting"))
        return &req->pfc_state;
    if (named(group, "AdministratorPGSetting"))
        return &req->pg_state;
    if (named(group, "AdministratorTLVSetting"))
        return &req->appl_state;
    return nullptr;
}

bool invalid_value()
{
    vexo_set_last_status(VEXO_STATUS_INVALID_VALUE, "Invalid Value.");
    return false;
}

// Applies one administrator property to the write request; false (last
// status 6) for a malformed number.
bool apply_property(node *property, const char *value, DCBX_SET_DCBX_CFG_PARAMS_IN *req)
{
    node *group = property->parent;
    const char *name = property->node_name;
    if (same_name_nocase(name, "DCBXState") && named(group, "DCBXPortVars")) {
        if (strcasecmp(value, "Enabled") == 0)
            req->dcbx_state |= 1;
        else
            req->dcbx_state = 0;
        return true;
    }
    uint32_t *word = admin_word(group, req);
    if (word && same_name_nocase(name, "Willing")) {
        set_or_clear(word, DCBX_FEATURE_WILLING, strcasecmp(value, "Yes") == 0);
        return true;
    }
    if (word && same_name_nocase(name, "Advertise")) {
        set_or_clear(word, DCBX_FEATURE_ADVERTISE, strcasecmp(value, "Yes") == 0);
        return true;
    }
    if (word && same_name_nocase(name, "Enabled")) {
        set_or_clear(word, DCBX_FEATURE_ENABLED, strcasecmp(value, "Yes") == 0);
        return true;
    }
    unsigned long n = 0;
    if (same_name_nocase(name, "PriorityBitMap") && named(group, "AdministratorPFCSetting")) {
        if (!dcbx_parse_number(value, &n))
            return invalid_value();
        for (int i = 0; i < 8; ++i)
            req->pfc.pfc_settings[i] = (n >> i) & 1;
        return true;
    }
    if (same_name_nocase(name, "PriorityBitMap") && named(group, "ApplicationTLV")) {
        if (!dcbx_parse_number(value, &n))
            return invalid_value();
        int k = dcbx_app_entry_index(group);
        if (k < 0)
            return invalid_value();
        for (int i = 0; i < 8; ++i)
            req->app_settings[k].user_priority[i] = (n >> i) & 1;
        return true;
    }
    if (same_name_nocase(name, "PG15PriorityMemberShip") && named(group, "AdministratorPGSetting")) {
        if (!dcbx_parse_number(value, &n))
            return invalid_value();
        for (int i = 0; i < 8; ++i)
            if (n & (1ul << i))
                req->priority_in_bwg.pg_up_settings[i].bwg_id = kPg15;
        return true;
    }
    return true;
}

} // namespace

bool dcbx_operating_qos_not_available(const uint8_t *answer, size_t size)
{
    GET_OPERATING_PARAMS_RESP resp;
    if (!answer || size < sizeof resp)
        return false;
    std::memcpy(&resp, answer, sizeof resp);
    bool not_available = false;
    size_t at = sizeof resp;
    for (unsigned i = 0; i < resp.op_desc_cnt; ++i) {
        OP_PARM_ELEMENT_DESC desc;
        if (at > size || size - at < sizeof desc)
            break;
        std::memcpy(&desc, answer + at, sizeof desc);
        if (desc.len < sizeof desc)
            break; // it cannot step to the next one
        unsigned qos_mode = (desc.link >> 8) & 0x7;
        if (qos_mode == 0 || qos_mode == 2)
            not_available = true;
        at += desc.len;
    }
    return not_available;
}

bool dcbx_parse_number(const char *text, unsigned long *out)
{
    if (!text)
        return false;
    const char *p = text;
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p == '\0' || *p == '-')
        return false;
    char *end = nullptr;
    errno = 0;
    unsigned long v = std::strtoul(p, &end, 0);
    if (errno != 0 || end == p || *end != '\0')
        return false;
    *out = v;
    return true;
}

int dcbx_app_entry_index(node *tlv)
{
    if (!tlv || tlv->node_type != VEXO_NODE_GROUP || !tlv->u.grp)
        return -1;
    const node_handle *h = static_cast<const node_handle *>(tlv->u.grp->handle);
    int k = h ? h->index : instance_number(tlv);
    return k >= 0 && k < DCBX_APP_ENTRIES ? k : -1;
}

void dcbx_copy_for_write(const DCBX_GET_DCBX_CFG_PARAMS_OUT &in, DCBX_SET_DCBX_CFG_PARAMS_IN *out)
{
    std::memset(out, 0, sizeof *out);
    copy_common(in, out);
}

void dcbx_copy_for_write_v1(const DCBX_GET_DCBX_CFG_PARAMS_V1_OUT &in, DCBX_SET_DCBX_CFG_PARAMS_V1_IN *out)
{
    std::memset(out, 0, sizeof *out);
    copy_common(in.base, &out->base);
    out->base.bcn_state = in.base.bcn_state; // the QCN state word in this version
    out->qcn_cnpv_bv = in.qcn_cnpv_bv;
}

extern "C" int VEXO_get_feature_vars(int aw_port_number, unsigned int phba_port, unsigned int domain, node *group,
                                     int chip)
{
    if (!group || group->node_type != VEXO_NODE_GROUP)
        return 1;
    uint8_t type = parameter_type_of(group);
    DCBX_GET_DCBX_CFG_PARAMS rec;
    VEXO_status_t st = read_v0(aw_port_number, phba_port, domain, chip, type, &rec);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Get DCBX CFG params failed with status %d.\n", __func__, st);
        vexo_set_fixed_status(VEXO_STATUS_GET_DCBX_FAILED);
        return st;
    }
    const DCBX_GET_DCBX_CFG_PARAMS_OUT &o = rec.response;
    const DCBX_PRIORITY_IN_BWG &bwg = o.priority_in_bwg;
    int r = 0;
    if (named(group, "DCBXPortVars"))
        return set_prop_val(group, "DCBXState", "%s", o.dcbx_state == 1 ? "Enabled" : "Disabled");
    if (named(group, "AdministratorPFCSetting") || named(group, "PeerPFCSetting") ||
        named(group, "OperationalPFCSettings")) {
        r |= store_flags(group, o.pfc_state, type);
        if (type == DCBX_PARAM_OPERATIONAL) {
            r |= set_prop_val(group, "OperationalMode", "%s", true_false(o.pfc_state));
            if (!(o.pfc_state & DCBX_FEATURE_ENABLED))
                return r | set_prop_val(group, "PriorityBitMap", "N/A");
        }
        return r | set_prop_val(group, "PriorityBitMap", "0x%02x", byte_bits(o.pfc.pfc_settings));
    }
    if (named(group, "AdministratorPGSetting") || named(group, "PeerPGSetting") ||
        named(group, "OperationalPGSettings")) {
        r |= store_flags(group, o.pg_state, type);
        if (type == DCBX_PARAM_OPERATIONAL)
            r |= operational_pg_mode(aw_port_number, phba_port, domain, group, o.pg_state);
        r |= set_prop_val(group, "NumPGSupported", "%d", o.num_pgs_supported);
        if (r != 0)
            return 1;
        return set_prop_val(group, "PG15PriorityMemberShip", "0x%02x", group_bits(bwg, kPg15));
    }
    if (named(group, "PG")) {
        int k = instance_number(group);
        if (k < 0 || k >= kPgCount)
            return 1;
        r |= set_prop_val(group, "PriorityMembership", "0x%02x", group_bits(bwg, static_cast<unsigned>(k)));
        return r | set_prop_val(group, "BandWidth", "%d", bwg.bwg_percentage[k]);
    }
    if (named(group, "AdministratorTLVSetting") || named(group, "PeerTLVSetting") ||
        named(group, "OperationalTLVSettings")) {
        r |= store_flags(group, o.appl_state, type);
        if (type == DCBX_PARAM_OPERATIONAL)
            r |= set_prop_val(group, "OperationalMode", "%s", true_false(o.appl_state));
        return r;
    }
    if (named(group, "ApplicationTLV")) {
        int k = dcbx_app_entry_index(group);
        if (k < 0)
            return 1;
        const DCBX_APP_SETTINGS &app = o.app_settings[k];
        r |= set_prop_val(group, "ProtocolSelector", "%d", app.protocol_selector);
        r |= set_prop_val(group, "ProtocolID", "0x%02x", app.app_protocol_id);
        r |= set_prop_val(group, "OUI", "0x%02x", app.oui);
        return r | set_prop_val(group, "PriorityBitMap", "0x%02x", byte_bits(app.user_priority));
    }
    return 0;
}

extern "C" int VEXO_set_feature_vars(int aw_port_number, unsigned int phba_port, unsigned int domain, node *property,
                                     const char *value, int chip)
{
    if (!property || property->node_type != VEXO_NODE_PROPERTY || !property->parent || !value)
        return 1;
    DCBX_GET_DCBX_CFG_PARAMS rec;
    VEXO_status_t st = read_v0(aw_port_number, phba_port, domain, chip, DCBX_PARAM_ADMIN, &rec);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Get DCBX CFG params failed.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_GET_DCBX_FAILED);
        return st;
    }
    DCBX_SET_DCBX_CFG_PARAMS req;
    dcbx_copy_for_write(rec.response, &req.request);
    if (!apply_property(property, value, &req.request))
        return 1;
    st = ioctl_set_dcbx_cfg_params(aw_port_number, &req, domain, phba_port,
                                   get_port_bitmap(chip, static_cast<int>(phba_port)));
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Set DCBX CFG params failed.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_SET_DCBX_FAILED);
        return st;
    }
    return 0;
}

extern "C" int VEXO_get_QCN_props(int aw_port_number, unsigned int phba_port, unsigned int domain, node *group,
                                  int chip)
{
    if (!group || group->node_type != VEXO_NODE_GROUP)
        return 1;
    uint8_t type = named(group, "AdministratorQCNSetting") ? DCBX_PARAM_ADMIN
                   : named(group, "PeerQCNSetting")        ? DCBX_PARAM_PEER
                                                           : DCBX_PARAM_OPERATIONAL;
    DCBX_GET_DCBX_CFG_PARAMS_V1 rec;
    VEXO_status_t st = read_v1(aw_port_number, phba_port, domain, chip, type, &rec);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Get DCBX CFG command failed with status 0x%x.\n", __func__,
               static_cast<unsigned>(st));
        vexo_set_fixed_status(VEXO_STATUS_GET_DCBX_FAILED);
        return st;
    }
    const uint32_t qcn = rec.response.base.bcn_state;
    store_flags(group, qcn, type);
    set_prop_val(group, "CNPVBitMap", "0x%x", rec.response.qcn_cnpv_bv);
    if (type != DCBX_PARAM_ADMIN)
        set_prop_val(group, "ReadyBitMap", "0x%x", rec.response.qcn_ready_priority_bv);
    if (type == DCBX_PARAM_OPERATIONAL)
        set_prop_val(group, "OperationalMode", "%s", (qcn & DCBX_FEATURE_OPER_NA) ? "N/A" : true_false(qcn));
    return 0;
}

extern "C" int VEXO_set_QCN_props(int aw_port_number, unsigned int phba_port, unsigned int domain, node *property,
                                  const char *value, int chip)
{
    if (!property || property->node_type != VEXO_NODE_PROPERTY || !value)
        return 1;
    DCBX_GET_DCBX_CFG_PARAMS_V1 rec;
    VEXO_status_t st = read_v1(aw_port_number, phba_port, domain, chip, DCBX_PARAM_ADMIN, &rec);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get DCBX CFG params.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_GET_DCBX_FAILED);
        return st;
    }
    DCBX_SET_DCBX_CFG_PARAMS_V1 req;
    dcbx_copy_for_write_v1(rec.response, &req.request);
    uint32_t *qcn = &req.request.base.bcn_state;
    const char *name = property->node_name;
    const bool yes = strcasecmp(value, "Yes") == 0;
    if (same_name_nocase(name, "Willing")) {
        set_or_clear(qcn, DCBX_FEATURE_WILLING, yes);
    } else if (same_name_nocase(name, "Advertise")) {
        set_or_clear(qcn, DCBX_FEATURE_ADVERTISE, yes);
    } else if (same_name_nocase(name, "Enabled")) {
        set_or_clear(qcn, DCBX_FEATURE_ENABLED, yes);
    } else if (same_name_nocase(name, "CNPVBitMap")) {
        req.request.qcn_cnpv_bv = static_cast<uint8_t>(std::strtoul(value, nullptr, 0));
    }
    st = ioctl_set_dcbx_cfg_params_v1(aw_port_number, &req, domain, phba_port,
                                      get_port_bitmap(chip, static_cast<int>(phba_port)));
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to Set DCBX CFG params.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_SET_DCBX_FAILED);
        return st;
    }
    return 0;
}

extern "C" int VEXO_get_operating_value(int aw_port_number, unsigned int domain, unsigned int phba_port, node *group,
                                        int *op_flag)
{
    uint8_t *buf = static_cast<uint8_t *>(vexo_dmalloc(OPERATING_PARAMS_BUFFER_SIZE));
    if (!buf) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Insufficent Memory.\n", __func__);
        return 1;
    }
    std::memset(buf, 0, OPERATING_PARAMS_BUFFER_SIZE);
    GET_OPERATING_PARAMS_REQ req;
    std::memset(&req, 0, sizeof req);
    req.op_query_type = 1;
    req.link = phba_port & 0x3F; // link type 0
    std::memcpy(buf, &req, sizeof req);
    VEXO_status_t st = ioctl_get_opg_params(aw_port_number, reinterpret_cast<GET_OPERATING_PARAMS *>(buf),
                                            OPERATING_PARAMS_BUFFER_SIZE, domain, phba_port, kNicDriver);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Get Operating Params IOCTL failed with status = %d\n", __func__,
               st);
        vexo_dfree(buf);
        return 1;
    }
    if (dcbx_operating_qos_not_available(buf, OPERATING_PARAMS_BUFFER_SIZE)) {
        set_prop_val(group, "OperationalMode", "N/A");
        *op_flag = 1;
    }
    vexo_dfree(buf);
    return 0;
}
