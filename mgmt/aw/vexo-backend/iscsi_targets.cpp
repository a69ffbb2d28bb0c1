#include "mgmt/aw/vexo-backend/iscsi_targets.h"

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "mgmt/aw/vexo-backend/backend_iscsi_region.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/boot_targets.h"
#include "mgmt/aw/vexo-backend/iscsi_firmware_lists.h"
#include "mgmt/aw/vexo-backend/iscsi_login.h"
#include "mgmt/aw/vexo-backend/iscsi_logout.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/aw/vexo-backend/login_options.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/persistence_files.h"
#include "mgmt/aw/vexo-backend/persistent_targets.h"
#include "mgmt/aw/vexo-backend/vexo_convert.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace
{

#define AW2_AW3_MAX_TARGETS 128
#define IPV4_TEXT_MAX 15

bool same(const char *a, const char *b)
{
    return strcasecmp(a, b) == 0;
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

node *child_group(node *parent, const char *name)
{
    return parent ? internal_get_node(parent, name, VEXO_NODE_GROUP) : nullptr;
}

bool named(node *n, const char *name)
{
    return n && n->node_type == VEXO_NODE_GROUP && n->node_name && same(n->node_name, name);
}

bool initiator_name(node *lhba, char *name)
{
    return read_value(child_group(lhba, "InitiatoriSCSIName"), "InitiatoriSCSIName", name);
}

node *adapter_of(node *n)
{
    char name[VEXO_MAX_NAME_SIZE];
    std::snprintf(name, sizeof name, "Arcwright%d", get_aw_instance(n));
    return internal_get_node(get_node(0), name, VEXO_NODE_GROUP);
}

// The IPv6 validator gives a valid IPv6 address its full form; its verdict
// is not needed, an IPv4 address is left as it is.
void normalise_address(char *ip)
{
    validateIPv6Address(ip);
}

int count_targets(node *lhba)
{
    int n = 0;
    for (node *t = get_first_instance(lhba, "Target"); t; t = next_group_instance(t))
        ++n;
    return n;
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
    for (node *p = get_first_instance(target, "TargetPortal"); p; p = next_group_instance(p)) {
        char ip[VEXO_VALUE_SIZE], port[VEXO_VALUE_SIZE];
        if (!read_value(p, "TargetIPAddress", ip) || !read_value(p, "TargetPortNumber", port))
            return VEXO_STATUS_FAILURE;
        if (!drop_persistent_logins(context, target, name, ip, port))
            return VEXO_STATUS_FAILURE;
        VEXO_remove_entry_from_file(context, name, ip, port, VEXO_ANY_ISID, VEXO_FILE_SAVED_TARGET);
    }
    return delete_target_node(target);
}

VEXO_status_t do_AddTarget(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!context || !params || !params[0][0] || !params[1][0]) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Invalid TargetISCSIName or TargetIPAddress\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    char name[VEXO_VALUE_SIZE], ip[VEXO_VALUE_SIZE], port[VEXO_VALUE_SIZE], dhcp[VEXO_VALUE_SIZE];
    std::snprintf(name, sizeof name, "%s", params[0]);
    std::snprintf(ip, sizeof ip, "%s", params[1]);
    std::snprintf(port, sizeof port, "%s", params[2]);
    const bool boot = same(params[3], "True");
    char priority[VEXO_VALUE_SIZE];
    std::snprintf(priority, sizeof priority, "%s", params[4]);

    if (!read_value(child_group(context, "Discovery"), "DiscoverBootTargetThruDHCP", dhcp))
        return VEXO_STATUS_FAILURE;
    // Nothing is added: the caller must not take it for success.
    if (boot && same(dhcp, "Enabled")) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:boot targets come from DHCP.\n", __func__);
        return fail(VEXO_STATUS_DISCOVER_BOOT_TARGET_FAILED);
    }
    node *adapter = adapter_of(context);
    int family = adapter ? get_aw_type(adapter) : AW_TYPE_UNREADABLE;
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    normalise_address(ip);
    if (family == AW_TYPE_AW2 || family == AW_TYPE_AW3) {
        if (std::strlen(ip) > IPV4_TEXT_MAX)
            return fail(VEXO_STATUS_IPV6_NOT_SUPPORTED);
        if (count_targets(context) >= AW2_AW3_MAX_TARGETS)
            return fail(VEXO_STATUS_TGTTBL_FULL);
    }
    int priority_code = 0;
    if (priority[0]) {
        int r = VEXO_check_boot_target_priority(context, priority);
        if (r == VEXO_STATUS_BOOT_TARGET_TYPE_EXISTS)
            return fail(VEXO_STATUS_BOOT_TARGET_TYPE_EXISTS);
        if (r != 0)
            return VEXO_STATUS_FAILURE;
        priority_code = same(priority, "Primary") ? 1 : same(priority, "Secondary") ? 2 : 0;
    }
    uint8_t boot_num = 1;
    if (boot && VEXO_check_boot_target_num(context, &boot_num) != 0)
        return VEXO_STATUS_FAILURE;
    char ini[VEXO_VALUE_SIZE];
    if (!initiator_name(context, ini))
        return VEXO_STATUS_FAILURE;
    if (VEXO_check_for_duplicate_tgt(adapter, context->parent, context, name, ip, port, 0, VEXO_ANY_ISID)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:the target is saved already.\n", __func__);
        return VEXO_STATUS_SUCCESS;
    }
    if (find_target(context, name))
        return fail(VEXO_STATUS_DUPLICATE_TARGET_ENTRY);
    if (!port[0])
        std::snprintf(port, sizeof port, "3260");

    node *target = setup_target(context, name, context, action, params, 0);
    if (!target)
        return VEXO_STATUS_FAILURE;
    if (!setup_portal(target, ip, port, "0", context, action, params)) {
        delete_target_node(target);
        return VEXO_STATUS_FAILURE;
    }
    // A target the file does not hold would vanish at the next start.
    if (VEXO_add_target_into_file(context, target, name, ip, port, nullptr, "True") != 0) {
        delete_target_node(target);
        return VEXO_STATUS_FAILURE;
    }
    int qualifier = generate_isid_qualifier();
    if (make_session_persistent(target, ip, port, qualifier, nullptr, boot ? "True" : "False", ini, 0) != 0)
        return VEXO_STATUS_FAILURE;
    std::memset(params, 0, sizeof(char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]));
    get_all_sessions(context, get_port_number(context), get_domain_id(context), get_phba_port_number(context), target,
                     nullptr, params);
    if (boot && family == AW_TYPE_TRELMONT) {
        node *session = get_first_instance(target, "Session");
        if (session && VEXO_add_boottarget_tlv(get_port_number(context), get_domain_id(context),
                                               get_phba_port_number(context), session, priority_code, boot_num) != 0)
            return fail(VEXO_STATUS_ADD_BOOT_TLV_FAILED);
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_AddTargetPortal(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!context || !params || !params[0][0]) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Invalid TargetIPAddress\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    node *lhba = context->parent;
    node *phba = lhba ? lhba->parent : nullptr;
    node *adapter = phba ? phba->parent : nullptr;
    if (!named(lhba, "LogicalHBA") || !named(phba, "iSCSIPhysicalHBA") || !named(adapter, "Arcwright"))
        return VEXO_STATUS_FAILURE;
    char ip[VEXO_VALUE_SIZE], port[VEXO_VALUE_SIZE];
    std::snprintf(ip, sizeof ip, "%s", params[0]);
    std::snprintf(port, sizeof port, "%s", params[1][0] ? params[1] : "3260");
    normalise_address(ip);
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if ((family == AW_TYPE_AW2 || family == AW_TYPE_AW3) && std::strlen(ip) > IPV4_TEXT_MAX)
        return fail(VEXO_STATUS_IPV6_NOT_SUPPORTED);
    char name[VEXO_VALUE_SIZE], ini[VEXO_VALUE_SIZE];
    if (!read_value(context, "TargetISCSIName", name) || !initiator_name(lhba, ini))
        return VEXO_STATUS_FAILURE;
    for (node *p = get_first_instance(context, "TargetPortal"); p; p = next_group_instance(p)) {
        char pip[VEXO_VALUE_SIZE], pport[VEXO_VALUE_SIZE];
        if (!read_value(p, "TargetIPAddress", pip) || !read_value(p, "TargetPortNumber", pport))
            return VEXO_STATUS_FAILURE;
        if (same(pip, ip) && same(pport, port))
            return fail(VEXO_STATUS_PORTAL_FOUND);
    }
    node *portal = setup_portal(context, ip, port, "0", context, action, params);
    if (!portal)
        return VEXO_STATUS_FAILURE;
    if (VEXO_add_target_into_file(lhba, context, name, ip, port, nullptr, "True") != 0) {
        delete_node(portal);
        return VEXO_STATUS_FAILURE;
    }
    int qualifier = generate_isid_qualifier();
    if (make_session_persistent(context, ip, port, qualifier, nullptr, "False", ini, 0) != 0)
        return VEXO_STATUS_FAILURE;
    std::memset(params, 0, sizeof(char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]));
    get_all_sessions(lhba, get_port_number(lhba), get_domain_id(lhba), get_phba_port_number(lhba), context, nullptr,
                     params);
    return VEXO_STATUS_SUCCESS;
}
