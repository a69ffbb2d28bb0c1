#include "mgmt/aw/vexo-backend/iscsi_targets.h"

#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/iscsi_logout.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/aw/vexo-backend/login_options.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/persistence_files.h"
#include "mgmt/aw/vexo-backend/persistent_targets.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace
{

bool same(const char *a, const char *b)
{
    return strcasecmp(a, b) == 0;
}

node *next_of(node *cur)
{
    node *n = cur->u.grp->multi_instance->next_instance;
    return n && vexo_is_instance(n) && n->u.grp->multi_instance->instance != -1 ? n : nullptr;
}

bool read_value(node *owner, const char *name, char *value)
{
    value[0] = '\0';
    if (!owner || internal_get_property(owner, name, value) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:%s cannot be read.\n", __func__, name);
        return false;
    }
    value[VEXO_VALUE_SIZE - 1] = '\0';
    return true;
}

// The persistent logins a target's portal has in the saved targets file.
struct SavedLogin {
    std::string initiator;
    int qualifier;
};

bool saved_logins(node *lhba, const char *name, const char *ip, const char *port, std::vector<SavedLogin> *out)
{
    char key[3][VEXO_FIELD_SIZE];
    if (vexo_lhba_instance_key(lhba, key) != 0)
        return false;
    struct Ctx {
        char (*key)[VEXO_FIELD_SIZE];
        const char *name, *ip, *port;
        std::vector<SavedLogin> *out;
    } ctx = {key, name, ip, port, out};
    bool missing = false;
    int rc = vexo_walk_saved_lines(
        VEXO_SAVED_TARGETS_FILE, VEXO_SAVETGT_FIELDS, &missing,
        [](const char (*f)[VEXO_FIELD_SIZE], void *c) {
            Ctx *x = static_cast<Ctx *>(c);
            for (int i = 0; i < 3; ++i)
                if (!same(f[i], x->key[i]))
                    return true;
            if (!same(f[3], x->name) || !same(f[4], x->ip) || !same(f[5], x->port) || f[6][0] == '\0')
                return true;
            char *end = nullptr;
            long q = std::strtol(f[6], &end, 10);
            if (end && *end == '\0' && q >= 0 && q <= 0xFFFF)
                x->out->push_back({f[7], static_cast<int>(q)});
            return true;
        },
        &ctx);
    return rc == 0 || missing;
}

// The adapter re-logs in to every persistent login after a reboot: a portal
// that goes must take its logins with it. Its lines are removed by the caller.
bool drop_persistent_logins(node *lhba, node *target, const char *name, const char *ip, const char *port)
{
    std::vector<SavedLogin> logins;
    if (!saved_logins(lhba, name, ip, port, &logins)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:saved targets file cannot be read.\n", __func__);
        return false;
    }
    for (const SavedLogin &l : logins)
        if (delete_persistent(get_port_number(lhba), get_domain_id(lhba), get_phba_port_number(lhba), target, name,
                              ip, port, l.qualifier, l.initiator.c_str(), 1) != 0)
            return false;
    return true;
}

VEXO_status_t fail(VEXO_status_t code)
{
    vexo_set_fixed_status(code);
    return VEXO_STATUS_FAILURE;
}

} // namespace

VEXO_status_t do_DeleteTargetPortal(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *portal = context && params && params[0][0] ? get_selected_group_node(context, "TargetPortal", params[0])
                                                      : nullptr;
    if (!portal)
        return fail(VEXO_STATUS_INVALID_INSTANCE_NUM);
    node *lhba = context->parent;
    char name[VEXO_VALUE_SIZE];
    if (!read_value(context, "TargetISCSIName", name))
        return VEXO_STATUS_FAILURE;
    int active = 0;
    if (VEXO_check_session_status(context, name, get_port_number(context), &active, action, portal, 1) != 0)
        return VEXO_STATUS_FAILURE;
    if (active)
        return fail(VEXO_STATUS_ACTIVE_SESSIONS_PRESENT);
    char ip[VEXO_VALUE_SIZE] = "", port[VEXO_VALUE_SIZE] = "";
    VEXO_status_t st = internal_get_property(portal, "TargetIPAddress", ip);
    if (st == VEXO_STATUS_SUCCESS)
        st = internal_get_property(portal, "TargetPortNumber", port);
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    if (!drop_persistent_logins(lhba, context, name, ip, port))
        return VEXO_STATUS_FAILURE;
    VEXO_remove_entry_from_file(lhba, name, ip, port, VEXO_ANY_ISID, VEXO_FILE_SAVED_TARGET);
    return delete_node(portal);
}

VEXO_status_t do_DeleteTarget(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *target = context && params && params[0][0] ? get_selected_group_node(context, "Target", params[0]) : nullptr;
    if (!target)
        return fail(VEXO_STATUS_INVALID_INSTANCE_NUM);
    char name[VEXO_VALUE_SIZE] = "";
    VEXO_status_t st = internal_get_property(target, "TargetISCSIName", name);
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    int active = 0;
    if (VEXO_check_session_status(target, name, get_port_number(target), &active, action, nullptr, 0) != 0)
        return VEXO_STATUS_FAILURE;
    if (active)
        return fail(VEXO_STATUS_ACTIVE_SESSIONS_PRESENT);
    for (node *p = get_first_instance(target, "TargetPortal"); p; p = next_of(p)) {
        char ip[VEXO_VALUE_SIZE], port[VEXO_VALUE_SIZE];
        if (!read_value(p, "TargetIPAddress", ip) || !read_value(p, "TargetPortNumber", port))
            return VEXO_STATUS_FAILURE;
        if (!drop_persistent_logins(context, target, name, ip, port))
            return VEXO_STATUS_FAILURE;
        VEXO_remove_entry_from_file(context, name, ip, port, VEXO_ANY_ISID, VEXO_FILE_SAVED_TARGET);
    }
    return delete_target_node(target);
}
