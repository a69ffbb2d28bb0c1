#include "mgmt/aw/vexo-backend/login_option_loaders.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/iscsi_firmware_lists.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/linux/driver_queries.h"
#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/aw/vexo-backend/login_options.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

namespace
{

const uint32_t kOurSignatureSource = 3;
const char kProhibited[] = "Prohibited";

node *subgroup(node *parent, const char *name)
{
    return parent ? internal_get_node(parent, name, VEXO_NODE_GROUP) : nullptr;
}

bool has_handle(node *group)
{
    return group && group->node_type == VEXO_NODE_GROUP && group->u.grp && group->u.grp->handle;
}

bool of_key(const char (*fields)[VEXO_FIELD_SIZE], const char (*key)[VEXO_FIELD_SIZE])
{
    for (int i = 0; i < 3; ++i)
        if (strcasecmp(fields[i], key[i]) != 0)
            return false;
    return true;
}

void set_cached(node *group, const char *name, const char *value)
{
    set_prop_val(group, name, "%s", value);
}

// An empty level field reads as Prohibited.
void set_level(node *group, const char *name, const char *value)
{
    set_cached(group, name, value[0] ? value : kProhibited);
}

// ---- initiator options ----

struct FirstLine {
    const char (*key)[VEXO_FIELD_SIZE];
    char (*fields)[VEXO_FIELD_SIZE];
    bool found;
};

bool take_first_line(const char (*fields)[VEXO_FIELD_SIZE], void *ctx)
{
    FirstLine *f = static_cast<FirstLine *>(ctx);
    if (!of_key(fields, f->key))
        return true;
    std::memcpy(f->fields, fields, sizeof(char[VEXO_LOGOPTS_FIELDS][VEXO_FIELD_SIZE]));
    f->found = true;
    return false;
}

void apply_initiator_line(node *ilo, node *auth, const char (*f)[VEXO_FIELD_SIZE])
{
    set_cached(ilo, "InitialR2T", f[3]);
    set_cached(ilo, "ImmediateData", f[4]);
    set_cached(ilo, "HeaderDigest", f[5]);
    set_cached(ilo, "DataDigest", f[6]);
    set_cached(auth, "AuthenticationMethod", f[7]);
    set_cached(auth, "InitiatorCHAPName", f[8]);
    set_cached(auth, "InitiatorSecret", f[9]);
    set_cached(auth, "TargetCHAPName", f[10]);
    set_cached(auth, "TargetSecret", f[11]);
    set_level(auth, "CHAPParam", f[12]);
    set_level(ilo, "HeaderParam", f[13]);
    set_level(ilo, "DataParam", f[14]);
}

// Drops the lines of one adapter from the initiator options file.
int drop_adapter_line(const char *, char (*fields)[VEXO_FIELD_SIZE], int, void *ctx)
{
    return strcasecmp(fields[0], static_cast<const char *>(ctx)) == 0 ? VEXO_LINE_DROP : VEXO_LINE_KEEP;
}

// ---- saved targets ----

const int kTgtName = 3, kTgtIp = 4, kTgtPort = 5, kTgtType = 17;

bool unusable_target_line(const char (*f)[VEXO_FIELD_SIZE])
{
    return !f[kTgtName][0] || !f[kTgtIp][0] || !f[kTgtPort][0] || std::strcmp(f[kTgtPort], "0") == 0;
}

struct TargetLoad {
    const char (*key)[VEXO_FIELD_SIZE];
    node *lhba;
    long line;     // index of the line being read
    long stopped;  // first line left as it was after a failure; -1: none
    int result;
};

void apply_target_options(node *tlo, node *auth, const char (*f)[VEXO_FIELD_SIZE])
{
    set_level(auth, "CHAPParam", f[18]);
    set_level(tlo, "HeaderParam", f[19]);
    set_level(tlo, "DataParam", f[20]);
    set_cached(tlo, "InitialR2T", f[8]);
    set_cached(tlo, "ImmediateData", f[9]);
    set_cached(tlo, "HeaderDigest", f[10]);
    set_cached(tlo, "DataDigest", f[11]);
    set_cached(auth, "AuthenticationMethod", f[12]);
    set_cached(auth, "InitiatorCHAPName", f[13]);
    set_cached(auth, "InitiatorSecret", f[14]);
    set_cached(auth, "TargetCHAPName", f[15]);
    set_cached(auth, "TargetSecret", f[16]);
}

// The portal of a line on a Target that lacks it, and the line's type.
void add_line_portal(node *target, const char (*f)[VEXO_FIELD_SIZE])
{
    setup_portal(target, f[kTgtIp], f[kTgtPort], "0", nullptr, nullptr, nullptr);
    set_cached(target, "TargetType", f[kTgtType][0] ? f[kTgtType] : "Static");
}

// Applies one usable line; false when the loading has to stop.
bool apply_target_line(TargetLoad *t, const char (*f)[VEXO_FIELD_SIZE])
{
    node *target = nullptr;
    char name[VEXO_VALUE_SIZE];
    for (node *n = get_first_instance(t->lhba, "Target"); n; n = next_group_instance(n)) {
        name[0] = '\0';
        if (internal_get_property(n, "TargetISCSIName", name) != VEXO_STATUS_SUCCESS)
            return false;
        if (strcasecmp(name, f[kTgtName]) == 0) {
            target = n;
            break;
        }
    }
    if (target) {
        if (!subgroup(subgroup(target, "TargetLoginOptions"), "Authentication"))
            return false;
        if (!find_session(target, f[kTgtIp], f[kTgtPort]) && !find_target_portal(target, f[kTgtIp], f[kTgtPort]))
            add_line_portal(target, f);
    } else {
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
        std::memcpy(params[0], f[kTgtName], VEXO_VALUE_SIZE);
        std::memcpy(params[1], f[kTgtIp], VEXO_VALUE_SIZE);
        std::memcpy(params[2], f[kTgtPort], VEXO_VALUE_SIZE);
        target = setup_target(t->lhba, f[kTgtName], t->lhba, internal_get_node(t->lhba, "AddTarget", VEXO_NODE_ACTION),
                              params, 0);
        if (!target)
            return false;
        add_line_portal(target, f);
    }
    node *tlo = subgroup(target, "TargetLoginOptions");
    node *auth = subgroup(tlo, "Authentication");
    if (!auth)
        return false;
    apply_target_options(tlo, auth, f);
    return true;
}

bool load_target_line(const char (*f)[VEXO_FIELD_SIZE], void *ctx)
{
    TargetLoad *t = static_cast<TargetLoad *>(ctx);
    long line = t->line++;
    if (!of_key(f, t->key) || unusable_target_line(f))
        return true;
    if (apply_target_line(t, f))
        return true;
    t->result = 1;
    t->stopped = line;
    return false;
}

int rewrite_target_line(const char *, char (*fields)[VEXO_FIELD_SIZE], int, void *ctx)
{
    TargetLoad *t = static_cast<TargetLoad *>(ctx);
    long line = t->line++;
    if (t->stopped >= 0 && line >= t->stopped)
        return VEXO_LINE_KEEP;
    return of_key(fields, t->key) && unusable_target_line(fields) ? VEXO_LINE_DROP : VEXO_LINE_KEEP;
}

// ---- send-target portals ----

struct PortalLoad {
    const char (*key)[VEXO_FIELD_SIZE];
    node *lhba;
    int result;
};

bool load_portal_line(const char (*f)[VEXO_FIELD_SIZE], void *ctx)
{
    PortalLoad *p = static_cast<PortalLoad *>(ctx);
    if (!of_key(f, p->key))
        return true;
    node *discovery = subgroup(p->lhba, "Discovery");
    node *add = discovery ? internal_get_node(discovery, "AddSendTargetPortal", VEXO_NODE_ACTION) : nullptr;
    node *stp = nullptr;
    if (add) {
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
        std::memcpy(params[0], f[3], VEXO_VALUE_SIZE);
        std::memcpy(params[1], f[4], VEXO_VALUE_SIZE);
        stp = initialize_SendTargetPortal(discovery, discovery, add, params);
    }
    node *slo = subgroup(stp, "SendTargetPortalLoginOptions");
    node *auth = subgroup(slo, "Authentication");
    if (!auth) {
        p->result = 1;
        return false;
    }
    set_cached(stp, "IPAddress", f[3]);
    set_prop_val(stp, "PortNumber", "%d", static_cast<int>(std::strtol(f[4], nullptr, 10)));
    set_cached(stp, "PortMacAddress", f[5]);
    set_cached(slo, "InitialR2T", f[6]);
    set_cached(slo, "ImmediateData", f[7]);
    set_cached(slo, "HeaderDigest", f[8]);
    set_cached(slo, "DataDigest", f[9]);
    set_cached(auth, "AuthenticationMethod", f[10]);
    set_cached(auth, "InitiatorCHAPName", f[11]);
    set_cached(auth, "InitiatorSecret", f[12]);
    set_cached(auth, "TargetCHAPName", f[13]);
    set_cached(auth, "TargetSecret", f[14]);
    set_level(auth, "CHAPParam", f[15]);
    set_level(slo, "HeaderParam", f[16]);
    set_level(slo, "DataParam", f[17]);
    return true;
}

// Loads one iSCSI function's initiator.
int load_function(node *fn, char (*key)[VEXO_FIELD_SIZE])
{
    char none[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
    node *lhba = initialize_LogicalHBA(fn, nullptr, nullptr, none);
    if (!lhba || !has_handle(fn))
        return 1;
    const node_handle *h = static_cast<const node_handle *>(fn->u.grp->handle);
    unsigned int phba_port = get_phba_port_number(fn);
    std::snprintf(key[1], VEXO_FIELD_SIZE, "iSCSIPhysicalHBA%d", instance_number(fn));
    std::snprintf(key[2], VEXO_FIELD_SIZE, "LogicalHBA0");
    VEXO_set_ini_loginopts_prop(lhba, key);
    char ifname[VEXO_VALUE_SIZE] = "";
    if (ioctl_get_vmhba_name(get_port_number(fn), ifname) == 0)
        set_prop_val(lhba, "IfName", "%.34s", ifname);
    if (setup_iscsi(lhba, "True", nullptr, nullptr, nullptr) != 0)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:updating lhba properties failed.\n", __func__);
    VEXO_set_target_loginopts_prop(key, lhba);
    VEXO_set_stp_loginopts_prop(key, lhba);
    if (node *isns = subgroup(fn, "iSNS")) {
        char work[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
        get_all_isns(fn, h->aw_port_number, 0, phba_port, isns,
                     internal_get_node(isns, "ConfigureiSNSServer", VEXO_NODE_ACTION), work);
    }
    return 0;
}

} // namespace

int VEXO_set_ini_loginopts_prop(node *lhba, char (*key)[VEXO_FIELD_SIZE])
{
    node *ilo = subgroup(lhba, "InitiatorLoginOptions");
    node *auth = subgroup(ilo, "Authentication");
    if (!auth || !key)
        return 1;
    char fields[VEXO_LOGOPTS_FIELDS][VEXO_FIELD_SIZE];
    FirstLine first = {key, fields, false};
    vexo_walk_saved_lines(VEXO_SAVED_LOGOPTS_FILE, VEXO_LOGOPTS_FIELDS, nullptr, take_first_line, &first);
    if (first.found) {
        apply_initiator_line(ilo, auth, fields);
        return 0;
    }
    const char *defaults[VEXO_LOGOPTS_FIELDS] = {key[0], key[1], key[2], "Yes", "Yes", "None", "None", "None",
                                                 "",     "",     "",     "",    kProhibited, kProhibited, kProhibited};
    // The append holds the file lock and leaves the file owner-only; when
    // it cannot, nothing is set.
    if (vexo_append_persistence_line(VEXO_SAVED_LOGOPTS_FILE, defaults, VEXO_LOGOPTS_FIELDS) != 0)
        return 0;
    for (int i = 0; i < VEXO_LOGOPTS_FIELDS; ++i)
        std::snprintf(fields[i], VEXO_FIELD_SIZE, "%s", defaults[i]);
    apply_initiator_line(ilo, auth, fields);
    return 0;
}

int VEXO_set_target_loginopts_prop(char (*key)[VEXO_FIELD_SIZE], node *lhba)
{
    if (!lhba || !key)
        return 1;
    TargetLoad t = {key, lhba, 0, -1, 0};
    if (vexo_walk_saved_lines(VEXO_SAVED_TARGETS_FILE, VEXO_SAVETGT_FIELDS, nullptr, load_target_line, &t) != 0)
        return 1;
    t.line = 0;
    if (vexo_rewrite_persistence_file(VEXO_SAVED_TARGETS_FILE, VEXO_SAVETGT_FIELDS, rewrite_target_line, &t) != 0)
        return 1;
    return t.result;
}

int VEXO_set_stp_loginopts_prop(char (*key)[VEXO_FIELD_SIZE], node *lhba)
{
    if (!lhba || !key)
        return 1;
    PortalLoad p = {key, lhba, 0};
    if (vexo_walk_saved_lines(VEXO_SAVED_PORTALS_FILE, VEXO_SAVESTP_FIELDS, nullptr, load_portal_line, &p) != 0)
        return 1;
    return p.result;
}

extern "C" int VEXO_set_lhba_prop(void)
{
    node *adapter = get_first_instance(get_node(0), "Arcwright");
    if (!adapter)
        return 1;
    for (; adapter; adapter = next_group_instance(adapter)) {
        char key[VEXO_LHBA_KEY_TEXTS][VEXO_FIELD_SIZE] = {};
        int chip = instance_number(adapter);
        std::snprintf(key[0], VEXO_FIELD_SIZE, "Arcwright%d", chip);
        // An adapter without an iSCSI function has no initiator to load.
        node *fn = get_first_instance(adapter, "iSCSIPhysicalHBA");
        if (!fn)
            continue;
        if (!has_handle(fn))
            return 1;
        int port = get_port_number(fn);
        IOCTL_COMMON_GET_CONFIG_SIGNATURE_PARAMS sig;
        std::memset(&sig, 0, sizeof sig);
        // Another tool changed this adapter's configuration: only its own
        // initiator lines go, and only when the signature was read.
        if (ioctl_get_config_sign(port, &sig, 0, 0, chip) == VEXO_STATUS_SUCCESS &&
            sig.response.config_change_source != kOurSignatureSource)
            vexo_rewrite_persistence_file(VEXO_SAVED_LOGOPTS_FILE, VEXO_LOGOPTS_FIELDS, drop_adapter_line, key[0]);
        VEXO_set_config_signature(port, chip);
        for (; fn; fn = next_group_instance(fn))
            if (load_function(fn, key) != 0)
                return 1;
    }
    return 0;
}
