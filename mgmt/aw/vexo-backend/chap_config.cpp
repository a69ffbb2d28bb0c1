#include "mgmt/aw/vexo-backend/chap_config.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/login_options.h"
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

} // namespace

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
    // Not built yet: for a Target owner, renewing the persistent logins of
    // its closed sessions (needs the persistent-login and boot-entry calls).
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
    // Not built yet: the Target's closed-session renewal, as in ConfigureCHAP.
    if (rc != 0) {
        fail_status();
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}
