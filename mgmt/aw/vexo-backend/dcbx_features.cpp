#include "mgmt/aw/vexo-backend/dcbx_features.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/dcbx_config.h"
#include "mgmt/aw/vexo-backend/function_enum.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_port.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace
{

const char kNotAvailable[] = "N/A";
const uint32_t kFuncCapNoDcbx = 0x40;
const int kPgCount = 8;
const uint8_t kPg15 = 15;
const unsigned long kNoBandwidthLimit = 255;
// Tree depth from a DCBX property up to its Arcwright group, at most.
const int kMaxClimb = 8;

typedef node *(*TlvBuilder)(node *, node *, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

bool named(const node *n, const char *name)
{
    return n && n->node_name && same_name_nocase(n->node_name, name);
}

bool is_group(const node *n)
{
    return n && n->node_type == VEXO_NODE_GROUP && n->u.grp;
}

// Where the commands of a DCBX node go.
struct Route {
    node *adapter;
    int aw_port_number;
    unsigned int domain;
    unsigned int phba_port;
    int chip;
};

bool route_of(node *n, Route *r)
{
    node *a = n;
    for (int i = 0; a && i < kMaxClimb && !named(a, "Arcwright"); ++i)
        a = a->parent == a ? nullptr : a->parent;
    if (!named(a, "Arcwright"))
        return false;
    r->adapter = a;
    r->aw_port_number = get_port_number(n);
    r->domain = get_domain_id(n);
    r->phba_port = get_phba_port_number(n);
    r->chip = instance_number(a);
    return true;
}

int driver_of(const Route &r)
{
    return get_port_bitmap(r.chip, static_cast<int>(r.phba_port));
}

bool usable_property(node *property, char *value)
{
    return property && value && property->node_type == VEXO_NODE_PROPERTY && property->u.prop &&
           is_group(property->parent);
}

VEXO_status_t refuse_on_vf(char *value)
{
    std::snprintf(value, VEXO_VALUE_SIZE, "%s", kNotAvailable);
    vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
    return VEXO_STATUS_FAILURE;
}

// Stores a written value in the property's cache.
void store_value(node *property, const char *value)
{
    std::snprintf(property->u.prop->val, VEXO_VALUE_SIZE, "%.*s", VEXO_VALUE_SIZE - 1, value);
}

// Get: refresh `group` from the firmware; set: one administrator write.
VEXO_status_t feature_get_set(node *property, char *value, int type, node *group, const Route &r)
{
    if (type == 0) {
        int st = VEXO_get_feature_vars(r.aw_port_number, r.phba_port, r.domain, group, r.chip);
        if (st != 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:VEXO_get_feature_vars failed with status %d.\n", __func__,
                   st);
            return static_cast<VEXO_status_t>(st);
        }
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    int st = VEXO_set_feature_vars(r.aw_port_number, r.phba_port, r.domain, property, value, r.chip);
    if (st != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:VEXO_set_feature_vars failed with status %d.\n", __func__, st);
        return static_cast<VEXO_status_t>(st);
    }
    store_value(property, value);
    return VEXO_STATUS_SUCCESS;
}

// The settings-group handlers that refuse a get in a virtual function.
VEXO_status_t settings_handler(node *property, char *value, int type)
{
    Route r;
    if (!usable_property(property, value) || !route_of(property, &r))
        return VEXO_STATUS_FAILURE;
    if (type == 0 && vexo_on_vf(property))
        return refuse_on_vf(value);
    return feature_get_set(property, value, type, property->parent, r);
}

TlvBuilder builder_of(node *group)
{
    if (named(group, "AdministratorTLVSetting"))
        return initialize_AdministratorTLVSetting_ApplicationTLV;
    if (named(group, "PeerTLVSetting"))
        return initialize_PeerTLVSetting_ApplicationTLV;
    if (named(group, "OperationalTLVSettings"))
        return initialize_OperationalTLVSettings_ApplicationTLV;
    return nullptr;
}

// Rebuilds the ApplicationTLV entries of a settings group from one record
// variant. `read_failure` is the result of a failed read.
VEXO_status_t refresh_tlvs(node *group, uint8_t parameter_type, bool status_on_failure)
{
    Route r;
    TlvBuilder build = builder_of(group);
    if (!is_group(group) || !build || !route_of(group, &r))
        return VEXO_STATUS_FAILURE;
    DCBX_GET_DCBX_CFG_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    rec.parameter_type = parameter_type;
    VEXO_status_t st = ioctl_get_dcbx_cfg_params(r.aw_port_number, &rec, r.domain, r.phba_port, driver_of(r));
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get DCBX CFG params.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_GET_DCBX_FAILED);
        return status_on_failure ? st : VEXO_STATUS_FAILURE;
    }
    purge_nodes_within(group, "ApplicationTLV");
    for (int k = 0; k < DCBX_APP_ENTRIES; ++k) {
        if (rec.response.app_settings[k].valid != 1)
            continue;
        node *tlv = build(group, nullptr, nullptr, nullptr);
        if (!tlv || dcbx_keep_entry_index(tlv, k) != 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to build ApplicationTLV.\n", __func__);
            return VEXO_STATUS_FAILURE;
        }
    }
    return VEXO_STATUS_SUCCESS;
}

int count_instances(node *parent, const char *name)
{
    int n = 0;
    for (node *i = get_first_instance(parent, name); i && vexo_is_instance(i) && n <= DCBX_APP_ENTRIES;
         i = i->u.grp->multi_instance->next_instance)
        ++n;
    return n;
}

// Deletes an ApplicationTLV node with the entry index it keeps.
VEXO_status_t delete_tlv(node *tlv)
{
    void *handle = tlv->u.grp->handle;
    VEXO_status_t st = delete_node(tlv);
    if (st == VEXO_STATUS_SUCCESS && handle)
        vexo_dfree(handle);
    return st;
}

// The four values of a new entry's node, as the add stores them.
int store_new_tlv(node *tlv, unsigned selector, unsigned long protocol, unsigned long oui, unsigned long bitmap)
{
    int r = set_prop_val(tlv, "ProtocolSelector", "%d", static_cast<int>(selector));
    r |= set_prop_val(tlv, "ProtocolID", "0x%02lx", protocol & 0xFFFF);
    r |= set_prop_val(tlv, "OUI", "0x%02lx", oui & 0xFFFFFFFFul);
    r |= set_prop_val(tlv, "PriorityBitMap", "0x%02lx", bitmap & 0xFF);
    return r;
}

// Fills the first free entry of an application list; -1 when none is free.
int fill_free_entry(DCBX_APP_SETTINGS *apps, const char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE],
                    unsigned long bitmap, unsigned long oui)
{
    for (int k = 0; k < DCBX_APP_ENTRIES; ++k) {
        if (apps[k].valid != 0)
            continue;
        DCBX_APP_SETTINGS &a = apps[k];
        a.app_protocol_id = static_cast<uint16_t>(std::strtoul(params[1], nullptr, 0));
        a.protocol_selector = static_cast<uint8_t>(std::strtoul(params[0], nullptr, 10));
        a.oui = static_cast<uint32_t>(oui);
        a.valid = 1;
        for (int i = 0; i < 8; ++i)
            a.user_priority[i] = (bitmap >> i) & 1;
        return k;
    }
    return -1;
}

uint8_t count_plus(uint8_t n)
{
    return n < DCBX_APP_ENTRIES ? static_cast<uint8_t>(n + 1) : static_cast<uint8_t>(DCBX_APP_ENTRIES);
}

uint8_t count_minus(uint8_t n)
{
    return n > 0 ? static_cast<uint8_t>(n - 1) : 0;
}

// Builds the node of an added entry and stores its values; 0, or 1.
int build_added(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE], int entry,
                unsigned long bitmap, unsigned long oui)
{
    node *tlv = initialize_AdministratorTLVSetting_ApplicationTLV(context, context, action, params);
    if (!tlv || dcbx_keep_entry_index(tlv, entry) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to build ApplicationTLV.\n", __func__);
        return 1;
    }
    int r = store_new_tlv(tlv, static_cast<unsigned>(std::strtoul(params[0], nullptr, 10)),
                          std::strtoul(params[1], nullptr, 0), oui, bitmap);
    if (r != 0)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:set_prop_val status = %d\n", __func__, r);
    return r;
}

// The version-0 add or delete. *read_failed tells a failed read, which
// leaves the last status to the caller.
int dcbx_v0_change(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE], node *app_tlv,
                   unsigned long bitmap, unsigned long oui, int driver_type, int flag, bool *read_failed)
{
    *read_failed = false;
    Route r;
    if (!context || !action || !route_of(context, &r))
        return 1;
    DCBX_GET_DCBX_CFG_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    rec.parameter_type = DCBX_PARAM_ADMIN;
    VEXO_status_t st = ioctl_get_dcbx_cfg_params(r.aw_port_number, &rec, r.domain, r.phba_port, driver_type);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Get DCBX CFG params failed.\n", __func__);
        *read_failed = true;
        return st;
    }
    DCBX_SET_DCBX_CFG_PARAMS req;
    dcbx_copy_for_write(rec.response, &req.request);
    int entry = -1;
    if (flag == 1) {
        req.request.num_app_entries_valid = count_plus(rec.response.num_app_entries_valid);
        entry = fill_free_entry(req.request.app_settings, params, bitmap, oui);
        if (entry < 0 || count_instances(context, "ApplicationTLV") >= DCBX_APP_ENTRIES) {
            vexo_set_fixed_status(VEXO_STATUS_CANNOT_ADD_TLV);
            return 1;
        }
    } else {
        entry = dcbx_app_entry_index(app_tlv);
        if (entry < 0) {
            vexo_set_fixed_status(VEXO_STATUS_INVALID_INSTANCE_NUM);
            return 1;
        }
        req.request.num_app_entries_valid = count_minus(rec.response.num_app_entries_valid);
        req.request.app_settings[entry].valid = 0;
    }
    st = ioctl_set_dcbx_cfg_params(r.aw_port_number, &req, r.domain, r.phba_port, driver_type);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Set DCBX CFG params failed.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_SET_DCBX_FAILED);
        return st;
    }
    if (flag == 1)
        return build_added(context, action, params, entry, bitmap, oui);
    return delete_tlv(app_tlv);
}

template <typename F> void for_each_instance(node *parent, const char *name, F f)
{
    for (node *i = parent ? get_first_instance(parent, name) : nullptr; i && vexo_is_instance(i);
         i = i->u.grp->multi_instance->next_instance)
        f(i);
}

} // namespace

int dcbx_keep_entry_index(node *tlv, int index)
{
    if (!is_group(tlv))
        return 1;
    node_handle *h = static_cast<node_handle *>(tlv->u.grp->handle);
    if (!h) {
        h = static_cast<node_handle *>(vexo_dmalloc(sizeof(node_handle)));
        if (!h)
            return 1;
        std::memset(h, 0, sizeof *h); // aw_port_number 0: not a function's slot
        tlv->u.grp->handle = h;
    }
    h->index = index;
    return 0;
}

void dcbx_release_port_entry_indexes(node *port)
{
    static const char *const kSettings[] = {"AdministratorTLVSetting", "PeerTLVSetting", "OperationalTLVSettings"};
    node *dcbx = port ? internal_get_node(port, "DCBX", VEXO_NODE_GROUP) : nullptr;
    node *tlvs = dcbx ? internal_get_node(dcbx, "ApplicationTLVGroups", VEXO_NODE_GROUP) : nullptr;
    for (const char *name : kSettings) {
        node *g = tlvs ? internal_get_node(tlvs, name, VEXO_NODE_GROUP) : nullptr;
        for_each_instance(g, "ApplicationTLV", [](node *tlv) {
            if (tlv->u.grp->handle) {
                vexo_dfree(tlv->u.grp->handle);
                tlv->u.grp->handle = nullptr;
            }
        });
    }
}

void dcbx_release_entry_indexes(node *adapter)
{
    for_each_instance(adapter, "PortDiscoveryAndConfiguration", dcbx_release_port_entry_indexes);
}

VEXO_status_t handle_DCBXState(node *property, char *value, int type)
{
    Route r;
    if (!usable_property(property, value) || !route_of(property, &r))
        return VEXO_STATUS_FAILURE;
    if (type == 0) {
        if (vexo_on_vf(property))
            return refuse_on_vf(value);
        if (get_aw_type(r.adapter) != AW_TYPE_VARROW) {
            AW_FW_CFG cfg;
            std::memset(&cfg, 0, sizeof cfg);
            ioctl_get_fw_config(r.aw_port_number, &cfg, r.domain, r.phba_port, driver_of(r));
            if (cfg.function_caps & kFuncCapNoDcbx) {
                set_prop_val(property->parent, "DCBXState", "%s", kNotAvailable);
                answer_cached(property, value);
                return VEXO_STATUS_SUCCESS;
            }
        }
    }
    return feature_get_set(property, value, type, property->parent, r);
}

VEXO_status_t handle_pfc_feature_vars(node *property, char *value, int type)
{
    return settings_handler(property, value, type);
}

VEXO_status_t handle_pg_feature_vars(node *property, char *value, int type)
{
    return settings_handler(property, value, type);
}

VEXO_status_t handle_app_feature_vars(node *property, char *value, int type)
{
    return settings_handler(property, value, type);
}

VEXO_status_t handle_pg15_membership(node *property, char *value, int type)
{
    Route r;
    if (!usable_property(property, value) || !route_of(property, &r))
        return VEXO_STATUS_FAILURE;
    if (type == 0) {
        if (vexo_on_vf(property))
            return refuse_on_vf(value);
        if (get_aw_type(r.adapter) != AW_TYPE_TRELMONT) {
            set_prop_val(property->parent, property->node_name, "%s", kNotAvailable);
            answer_cached(property, value);
            return VEXO_STATUS_SUCCESS;
        }
    }
    return feature_get_set(property, value, type, property->parent, r);
}

VEXO_status_t handle_bwg_props(node *property, char *value, int)
{
    Route r;
    if (!usable_property(property, value) || !route_of(property, &r))
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(property))
        return refuse_on_vf(value);
    return feature_get_set(property, value, 0, property->parent, r);
}

VEXO_status_t handle_apptlv_feature_vars(node *property, char *value, int type)
{
    Route r;
    if (!usable_property(property, value) || !route_of(property, &r))
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(property)) {
        if (type != 0) {
            vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
            return VEXO_STATUS_FAILURE;
        }
        // A virtual function still reads the entry; "N/A" stands if that fails.
        std::snprintf(value, VEXO_VALUE_SIZE, "%s", kNotAvailable);
    }
    return feature_get_set(property, value, type, property->parent, r);
}

VEXO_status_t handle_update_qcn_props(node *property, char *value, int type)
{
    Route r;
    if (!usable_property(property, value) || !route_of(property, &r))
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(r.adapter);
    if (family == AW_TYPE_AW2 || family == AW_TYPE_AW3 || family == AW_TYPE_VARROW) {
        vexo_set_fixed_status(VEXO_STATUS_QCN_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    node *group = property->parent;
    if (vexo_on_vf(property)) {
        if (type != 0) {
            vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
            return VEXO_STATUS_FAILURE;
        }
        std::snprintf(value, VEXO_VALUE_SIZE, "%s", kNotAvailable);
    }
    if (type == 0) {
        int st = VEXO_get_QCN_props(r.aw_port_number, r.phba_port, r.domain, group, r.chip);
        if (st == VEXO_STATUS_INVALID_REQUEST && named(group, "OperationalQCNSettings")) {
            // The firmware does not know the request: no operational QCN state.
            VEXO_status_t stored = set_prop_val(group, "OperationalMode", "%s", kNotAvailable);
            answer_cached(property, value);
            return stored;
        }
        if (st != 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:VEXO_get_QCN_props failed with status %d.\n", __func__, st);
            return static_cast<VEXO_status_t>(st);
        }
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    int st = VEXO_set_QCN_props(r.aw_port_number, r.phba_port, r.domain, property, value, r.chip);
    if (st != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:VEXO_set_QCN_props failed with status %d.\n", __func__, st);
        return static_cast<VEXO_status_t>(st);
    }
    store_value(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t group_AdministratorTLVSetting(node *group)
{
    return refresh_tlvs(group, DCBX_PARAM_ADMIN, false);
}

VEXO_status_t group_PeerTLVSetting(node *group)
{
    if (vexo_on_vf(group))
        return VEXO_STATUS_SUCCESS;
    return refresh_tlvs(group, DCBX_PARAM_PEER, false);
}

VEXO_status_t group_OperationalTLVSettings(node *group)
{
    if (vexo_on_vf(group))
        return VEXO_STATUS_SUCCESS;
    return refresh_tlvs(group, DCBX_PARAM_OPERATIONAL, true);
}

VEXO_status_t do_ConfigurePGSettings(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    Route r;
    if (!is_group(context) || !action || !route_of(action, &r))
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(context)) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    unsigned long membership = 0;
    if (!dcbx_parse_number(params[0], &membership)) {
        vexo_set_last_status(VEXO_STATUS_INVALID_VALUE, "Invalid Value.");
        return VEXO_STATUS_FAILURE;
    }
    const unsigned long bandwidth = std::strtoul(params[1], nullptr, 10);
    DCBX_GET_DCBX_CFG_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    rec.parameter_type = DCBX_PARAM_ADMIN;
    VEXO_status_t st = ioctl_get_dcbx_cfg_params(r.aw_port_number, &rec, r.domain, r.phba_port, driver_of(r));
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Get DCBX CFG params failed.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_GET_DCBX_FAILED);
        return st;
    }
    DCBX_SET_DCBX_CFG_PARAMS req;
    dcbx_copy_for_write(rec.response, &req.request);

    // The new memberships are kept aside and reach the caches only once the
    // firmware took them, so a refused request leaves every cache as it was.
    struct PgChange {
        node *pg;
        int instance;
        unsigned long membership; // the text's number
    };
    PgChange changes[kPgCount];
    int count = 0;
    unsigned long total = 0;
    for (node *pg = get_first_instance(context->parent, "PG"); pg && vexo_is_instance(pg) && count < kPgCount;
         pg = pg->u.grp->multi_instance->next_instance) {
        PgChange &c = changes[count++];
        c.pg = pg;
        c.instance = instance_number(pg);
        if (pg == context) {
            c.membership = membership;
            total += bandwidth;
            continue;
        }
        char text[VEXO_VALUE_SIZE] = "";
        if (!internal_get_node(pg, "PriorityMembership", VEXO_NODE_PROPERTY)) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:PriorityMembership not found.\n", __func__);
            return VEXO_STATUS_FAILURE;
        }
        internal_get_property(pg, "PriorityMembership", text);
        c.membership = (std::strtoul(text, nullptr, 16) & 0xFF) & ~(membership & 0xFF);
        text[0] = '\0';
        internal_get_property(pg, "Bandwidth", text);
        unsigned long bw = std::strtoul(text, nullptr, 10);
        if (bw != kNoBandwidthLimit)
            total += bw;
    }
    if (count > 0) {
        for (int i = 0; i < 8; ++i)
            req.request.priority_in_bwg.pg_up_settings[i].bwg_id = kPg15;
        for (int n = 0; n < count; ++n)
            for (int i = 0; i < 8; ++i)
                if ((changes[n].membership & 0xFF) & (1ul << i))
                    req.request.priority_in_bwg.pg_up_settings[i].bwg_id = static_cast<uint8_t>(changes[n].instance);
    }
    if (bandwidth != kNoBandwidthLimit && total > 100) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Total bandwidth %lu exceeds 100.\n", __func__, total);
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_SET_BWG);
        return VEXO_STATUS_FAILURE;
    }
    int self = instance_number(context);
    if (self < 0 || self >= kPgCount)
        return VEXO_STATUS_FAILURE;
    req.request.priority_in_bwg.bwg_percentage[self] = static_cast<uint8_t>(bandwidth);
    st = ioctl_set_dcbx_cfg_params(r.aw_port_number, &req, r.domain, r.phba_port, driver_of(r));
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "In %s, ioctl_set_dcbx_cfg_params failed.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_SET_DCBX_FAILED);
        return st;
    }
    for (int n = 0; n < count; ++n)
        set_prop_val(changes[n].pg, "PriorityMembership", "0x%02lx", changes[n].membership);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_AddApplicationTLV(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    Route r;
    if (!is_group(context) || !action || !route_of(action, &r))
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(context)) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    unsigned long bitmap = 0, oui = 0;
    if (!dcbx_parse_number(params[2], &bitmap)) {
        vexo_set_last_status(VEXO_STATUS_INVALID_VALUE, "PriorityBitMap: Invalid Value.");
        return VEXO_STATUS_FAILURE;
    }
    if (params[3][0] == '\0')
        std::snprintf(params[3], VEXO_VALUE_SIZE, "6945");
    if (!dcbx_parse_number(params[3], &oui)) {
        vexo_set_last_status(VEXO_STATUS_INVALID_VALUE, "OUI: Invalid Value.");
        return VEXO_STATUS_FAILURE;
    }
    const int driver = driver_of(r);
    DCBX_GET_DCBX_CFG_PARAMS_V1 rec;
    std::memset(&rec, 0, sizeof rec);
    rec.parameter_type = DCBX_PARAM_ADMIN;
    VEXO_status_t st = ioctl_get_dcbx_cfg_params_v1(r.aw_port_number, &rec, r.domain, r.phba_port, driver);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Get DCBX CFG params V1 ioctl Failed.\n", __func__);
        if (st == VEXO_STATUS_INVALID_OPCODE) {
            bool read_failed = false;
            if (dcbx_v0_change(context, action, params, nullptr, bitmap, oui, driver, 1, &read_failed) == 0)
                return VEXO_STATUS_SUCCESS;
        }
        vexo_set_fixed_status(VEXO_STATUS_GET_DCBX_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    DCBX_SET_DCBX_CFG_PARAMS_V1 req;
    dcbx_copy_for_write_v1(rec.response, &req.request);
    req.request.base.num_app_entries_valid = count_plus(rec.response.base.num_app_entries_valid);
    // The QCN priorities stay as read: an application entry does not change them.
    int entry = fill_free_entry(req.request.base.app_settings, params, bitmap, oui);
    if (entry < 0 || count_instances(context, "ApplicationTLV") >= DCBX_APP_ENTRIES) {
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_ADD_TLV);
        return VEXO_STATUS_FAILURE;
    }
    st = ioctl_set_dcbx_cfg_params_v1(r.aw_port_number, &req, r.domain, r.phba_port, driver);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Set DCBX CFG params failed.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_SET_DCBX_FAILED);
        return st;
    }
    return static_cast<VEXO_status_t>(build_added(context, action, params, entry, bitmap, oui));
}

VEXO_status_t do_DeleteApplicationTLV(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    Route r;
    if (!is_group(context) || !action || !route_of(action, &r))
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(context)) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    node *tlv = get_selected_group_node(context, "ApplicationTLV", params[0]);
    int entry = tlv ? dcbx_app_entry_index(tlv) : -1;
    if (!tlv || entry < 0) {
        vexo_set_fixed_status(VEXO_STATUS_INVALID_INSTANCE_NUM);
        return VEXO_STATUS_FAILURE;
    }
    const int driver = driver_of(r);
    DCBX_GET_DCBX_CFG_PARAMS_V1 rec;
    std::memset(&rec, 0, sizeof rec);
    rec.parameter_type = DCBX_PARAM_ADMIN;
    VEXO_status_t st = ioctl_get_dcbx_cfg_params_v1(r.aw_port_number, &rec, r.domain, r.phba_port, driver);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Get DCBX CFG params V1 ioctl failed.\n", __func__);
        if (st == VEXO_STATUS_INVALID_OPCODE) {
            bool read_failed = false;
            int v0 = dcbx_v0_change(context, action, params, tlv, 0, 0, driver, 0, &read_failed);
            if (v0 == 0)
                return VEXO_STATUS_SUCCESS;
            st = static_cast<VEXO_status_t>(v0);
        }
        vexo_set_fixed_status(VEXO_STATUS_GET_DCBX_FAILED);
        return st;
    }
    DCBX_SET_DCBX_CFG_PARAMS_V1 req;
    dcbx_copy_for_write_v1(rec.response, &req.request);
    req.request.base.num_app_entries_valid = count_minus(rec.response.base.num_app_entries_valid);
    req.request.base.app_settings[entry].valid = 0;
    st = ioctl_set_dcbx_cfg_params_v1(r.aw_port_number, &req, r.domain, r.phba_port, driver);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Set DCBX CFG params failed.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_SET_DCBX_FAILED);
        return st;
    }
    return delete_tlv(tlv);
}

extern "C" int VEXO_get_dcbx_cfg_v0(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE],
                                    node *app_tlv, int prior_bit, int local_oui, int driver_type, int flag)
{
    bool read_failed = false;
    return dcbx_v0_change(context, action, params, app_tlv, static_cast<unsigned long>(prior_bit),
                          static_cast<unsigned long>(static_cast<unsigned int>(local_oui)), driver_type, flag,
                          &read_failed);
}
