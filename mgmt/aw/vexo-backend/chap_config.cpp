#include "mgmt/aw/vexo-backend/chap_config.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend_iscsi_region.h"
#include "mgmt/aw/vexo-backend/iscsi_firmware_lists.h"
#include "mgmt/aw/vexo-backend/iscsi_logout.h"
#include "mgmt/aw/vexo-backend/login_options.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/persistence_files.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace
{

// Action parameters of ConfigureCHAP.
enum { P_METHOD, P_INAME, P_ISECRET, P_TNAME, P_TSECRET, P_LEVEL };

typedef int (*writer_fn)(node *, node *, node *, const char *, const char *);

// Who keeps an Authentication group's values: the parent's parent, and the
// writer of the file that holds its line.
struct ChapOwner {
    node *owner;
    node *options;
    node *auth;
    writer_fn write;
    bool is_target;
};

bool find_owner(node *auth, ChapOwner *o)
{
    static const struct {
        const char *group;
        writer_fn write;
        bool is_target;
    } kOwners[] = {
        {"InitiatorLoginOptions", VEXO_set_initiator_loginoptions, false},
        {"TargetLoginOptions", VEXO_set_target_loginoptions, true},
        {"SendTargetPortalLoginOptions", VEXO_set_stploginoptions, false},
    };
    o->auth = auth;
    o->options = auth ? auth->parent : nullptr;
    o->owner = o->options ? o->options->parent : nullptr;
    if (!o->owner || !o->options->node_name)
        return false;
    for (const auto &k : kOwners)
        if (strcasecmp(o->options->node_name, k.group) == 0) {
            o->write = k.write;
            o->is_target = k.is_target;
            return true;
        }
    return false;
}

// A secret is 12 to 16 characters, or "0x" and 24 to 32 hexadecimal digits
// in an even number.
bool secret_ok(const char *which, const char *s)
{
    size_t len = std::strlen(s);
    char text[128];
    if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        if (len < 26 || len > 34) {
            std::snprintf(text, sizeof text, "%s: Number of characters should be from 24 to 32.", which);
            vexo_set_last_status(VEXO_STATUS_INVALID_SIZE, text);
            return false;
        }
        for (size_t i = 2; i < len; ++i)
            if (!std::isxdigit(static_cast<unsigned char>(s[i]))) {
                vexo_set_last_status(VEXO_STATUS_INVALID_VALUE,
                                     "Invalid value. The valid values are 0-9, a-f and A-F.");
                return false;
            }
        if ((len - 2) % 2 != 0) {
            vexo_set_last_status(VEXO_STATUS_INVALID_VALUE, "Invalid value. Odd number of characters are not allowed.");
            return false;
        }
        return true;
    }
    if (len < 12 || len > 16) {
        std::snprintf(text, sizeof text, "%s: Number of characters should be from 12 to 16.", which);
        vexo_set_last_status(VEXO_STATUS_INVALID_SIZE, text);
        return false;
    }
    return true;
}

// A line's fields are not quoted: a comma or line break in a value would
// shift every field after it.
bool storable(const char *which, const char *value)
{
    if (vexo_field_storable(value))
        return true;
    char text[128];
    std::snprintf(text, sizeof text, "%s: Commas and line breaks are not allowed.", which);
    vexo_set_last_status(VEXO_STATUS_INVALID_SIZE, text);
    return false;
}

// The cached value, then the owner's line; 0 or 1.
int store(const ChapOwner &o, const char *name, const char *value)
{
    int rc = set_prop_val(o.auth, name, "%.255s", value) == VEXO_STATUS_SUCCESS ? 0 : 1;
    if (o.write(o.owner, o.options, o.auth, name, value) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:%s not written to the file.\n", __func__, name);
        rc = 1;
    }
    return rc;
}

// A failing handler leaves a failing status, not a notice or success.
void fail_status()
{
    if (vexo_last_status_code == VEXO_STATUS_SUCCESS || vexo_last_status_code == VEXO_STATUS_ONE_WAY_CHAP)
        vexo_set_fixed_status(VEXO_STATUS_FAILURE);
}

bool renew_sessions(const ChapOwner &o)
{
    return !o.is_target || vexo_renew_target_sessions(o.owner);
}

// The cached value of a property node, copied; false when it is missing.
bool cached_value(node *owner, const char *name, char *value)
{
    node *p = owner ? internal_get_node(owner, name, VEXO_NODE_PROPERTY) : nullptr;
    if (!p || !p->u.prop)
        return false;
    std::snprintf(value, VEXO_VALUE_SIZE, "%s", p->u.prop->val);
    return true;
}

bool dead(node *session)
{
    char status[VEXO_VALUE_SIZE];
    return read_property_text(session, "SessionStatus", status) &&
           (strcasecmp(status, "Closed") == 0 || strcasecmp(status, "Login Failed") == 0);
}

void drop_node(node *group)
{
    if (group->u.grp->handle) {
        vexo_dfree(group->u.grp->handle);
        group->u.grp->handle = nullptr;
    }
    delete_node(group);
}

} // namespace

bool vexo_renew_target_sessions(node *target)
{
    if (!get_first_instance(target, "Session"))
        return true;
    if (VEXO_update_session_authentication(target) == 0)
        return true;
    if (vexo_last_status_code == VEXO_STATUS_SUCCESS || vexo_last_status_code == VEXO_STATUS_ONE_WAY_CHAP)
        vexo_set_fixed_status(VEXO_STATUS_ADD_PERSIST_FAILED);
    return false;
}

int VEXO_update_session_authentication(node *target)
{
    node *lhba = target ? target->parent : nullptr;
    node *function = lhba ? lhba->parent : nullptr;
    if (!target || !lhba || !function)
        return 1;
    int aw_port_number = get_port_number(target);
    unsigned int domainid = get_domain_id(target), phba_port = get_phba_port_number(target);
    char adapter_name[VEXO_MAX_NAME_SIZE];
    std::snprintf(adapter_name, sizeof adapter_name, "Arcwright%d", get_aw_instance(target));
    node *adapter = internal_get_node(get_node(0), adapter_name, VEXO_NODE_GROUP);
    if (!adapter)
        return 1;
    const int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get be_type\n", __func__);
        return 1;
    }
    char target_name[VEXO_VALUE_SIZE], eto[VEXO_VALUE_SIZE];
    if (!read_property_text(target, "TargetISCSIName", target_name) || !read_property_text(target, "ETO", eto))
        return 1;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:be_port_number = %d domainid = %d phba_port = %d\n", __func__,
           aw_port_number, domainid, phba_port);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:eto_value = %s\n", __func__, eto);

    node *s = get_first_instance(target, "Session");
    if (!s) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:There are no session to update the authentication details.\n",
               __func__);
        return 1;
    }
    bool renewed = false;
    for (node *next = nullptr; s; s = next) {
        next = next_group_instance(s); // the session may be deleted below
        if (!dead(s))
            continue;
        char boot[VEXO_VALUE_SIZE], isid[VEXO_VALUE_SIZE], initiator[VEXO_VALUE_SIZE];
        char address[VEXO_VALUE_SIZE], port[VEXO_VALUE_SIZE];
        read_property_text(s, "iSCSIBoot", boot);
        node *conn = get_first_instance(s, "Connection");
        if (!conn || !cached_value(s, "ISIDQualifier", isid) || !cached_value(s, "SessionInitiatorName", initiator) ||
            !cached_value(conn, "DestinationPortNumber", port) || !cached_value(conn, "DestinationIPAddress", address))
            return 1;
        char *end = nullptr;
        long qualifier = std::strtol(isid, &end, 16);
        if (end == isid || *end != '\0' || qualifier < 0 || qualifier > 0xFFFF)
            return 1;
        if (strcasecmp(boot, "True") == 0 &&
            clear_dead_boot_session(__func__, s, aw_port_number, domainid, phba_port, family) != 0)
            return 1;
        delete_persistent(aw_port_number, domainid, phba_port, target, target_name, address, port,
                          static_cast<int>(qualifier), initiator, 0);
        drop_node(conn);
        drop_node(s);
        renewed = true;
        if (make_session_persistent(target, address, port, static_cast<int>(qualifier), nullptr, boot, initiator,
                                    std::atoi(eto)) != 0)
            return 1;
    }
    if (!renewed)
        return 0;

    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
    std::memset(params, 0, sizeof params);
    // Only the refreshed nodes matter here: the read's status is not this
    // call's outcome.
    const VEXO_status_t before = vexo_last_status_code;
    get_all_sessions(lhba, aw_port_number, domainid, phba_port, target, nullptr, params);
    vexo_set_fixed_status(before);
    if (family != AW_TYPE_TRELMONT)
        return 0;
    for (s = get_first_instance(target, "Session"); s; s = next_group_instance(s)) {
        char boot[VEXO_VALUE_SIZE];
        if (!dead(s) || !read_property_text(s, "iSCSIBoot", boot) || strcasecmp(boot, "True") != 0)
            continue;
        if (VEXO_add_boottarget_tlv(aw_port_number, domainid, phba_port, s, ISCSI_BOOT_PRIORITY_PRIMARY, 1) != 0) {
            vexo_set_fixed_status(VEXO_STATUS_ADD_BOOT_TLV_FAILED);
            return 1;
        }
    }
    return 0;
}

VEXO_status_t do_ConfigureCHAP(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!params)
        return VEXO_STATUS_FAILURE;
    const char *method = params[P_METHOD];
    const char *iname = params[P_INAME];
    const char *isecret = params[P_ISECRET];
    const char *tname = params[P_TNAME];
    const char *tsecret = params[P_TSECRET];
    const bool mutual = strcasecmp(method, "Mutual Chap") == 0;
    const bool one_way = strcasecmp(method, "One-Way Chap") == 0;

    if (mutual && (iname[0] == '\0' || isecret[0] == '\0')) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:mutual CHAP needs the initiator name and secret.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_MUTUAL_CHAP);
        return VEXO_STATUS_FAILURE;
    }
    if (!secret_ok("TargetSecret", tsecret))
        return VEXO_STATUS_FAILURE;
    if (one_way && (iname[0] != '\0' || isecret[0] != '\0'))
        vexo_set_fixed_status(VEXO_STATUS_ONE_WAY_CHAP);
    if (mutual && !secret_ok("InitiatorSecret", isecret))
        return VEXO_STATUS_FAILURE;
    if (std::strcmp(isecret, tsecret) == 0) {
        vexo_set_fixed_status(VEXO_STATUS_SAME_CHAP_SECRET);
        return VEXO_STATUS_FAILURE;
    }
    if (!storable("TargetCHAPName", tname) || !storable("TargetSecret", tsecret) ||
        (mutual && (!storable("InitiatorCHAPName", iname) || !storable("InitiatorSecret", isecret))))
        return VEXO_STATUS_FAILURE;

    ChapOwner o;
    if (!find_owner(context, &o)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:no owner for this Authentication group.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_FAILURE);
        return VEXO_STATUS_FAILURE;
    }
    // CHAP just configured is always used at login, never skipped.
    const char *level = params[P_LEVEL][0] != '\0' ? params[P_LEVEL] : "Required";

    int rc = store(o, "CHAPParam", level);
    rc |= store(o, "AuthenticationMethod", method);
    rc |= store(o, "TargetCHAPName", tname);
    rc |= store(o, "TargetSecret", tsecret);
    rc |= store(o, "InitiatorCHAPName", mutual ? iname : "");
    rc |= store(o, "InitiatorSecret", mutual ? isecret : "");
    if (rc != 0) {
        fail_status();
        return VEXO_STATUS_FAILURE;
    }
    if (!renew_sessions(o))
        return VEXO_STATUS_FAILURE;
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_DeleteCHAP(node *context, node *, char (*)[VEXO_VALUE_SIZE])
{
    ChapOwner o;
    if (!find_owner(context, &o)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:no owner for this Authentication group.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_FAILURE);
        return VEXO_STATUS_FAILURE;
    }
    static const char *const kCleared[][2] = {
        {"AuthenticationMethod", "None"}, {"InitiatorCHAPName", ""}, {"InitiatorSecret", ""},
        {"TargetCHAPName", ""},           {"TargetSecret", ""},      {"CHAPParam", "Prohibited"},
    };
    int rc = 0;
    for (const auto &c : kCleared)
        rc |= set_prop_val(o.auth, c[0], "%s", c[1]) == VEXO_STATUS_SUCCESS ? 0 : 1;
    for (const auto &c : kCleared)
        rc |= o.write(o.owner, o.options, o.auth, c[0], c[1]) != 0 ? 1 : 0;
    bool renewed = renew_sessions(o);
    if (rc != 0) {
        fail_status();
        return VEXO_STATUS_FAILURE;
    }
    return renewed ? VEXO_STATUS_SUCCESS : VEXO_STATUS_FAILURE;
}
