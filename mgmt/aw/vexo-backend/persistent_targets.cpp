#include "mgmt/aw/vexo-backend/persistent_targets.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/aw/vexo-backend/login_options.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/aw/vexo-backend/persistence_files.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace
{

#define TGT_NAME_FIELD 3
#define TGT_IP_FIELD 4
#define TGT_PORT_FIELD 5
#define TGT_ISID_FIELD 6
#define TGT_INITIATOR_FIELD 7
#define TGT_VALUES_FIELD 8 // first of the nine login values of a target's line
#define TGT_TYPE_FIELD 17
#define STP_IP_FIELD 3
#define STP_PORT_FIELD 4
#define STP_MAC_FIELD 5
#define STP_VALUES_FIELD 6 // first of the twelve login values of a portal's line
// The type is a list value of at most this many characters.
#define TGT_TYPE_LEN 34

// The values a saved target's line takes, in its order, and the group of
// each (0 the login-option group, 1 its Authentication group).
const struct {
    const char *name;
    int auth;
} kLineValues[] = {
    {"InitialR2T", 0},        {"ImmediateData", 0},     {"HeaderDigest", 0},   {"DataDigest", 0},
    {"AuthenticationMethod", 1}, {"InitiatorCHAPName", 1}, {"InitiatorSecret", 1}, {"TargetCHAPName", 1},
    {"TargetSecret", 1},      {"CHAPParam", 1},         {"HeaderParam", 0},    {"DataParam", 0},
};
#define LINE_VALUE_COUNT 12

node *child_group(node *parent, const char *name)
{
    return parent ? internal_get_node(parent, name, VEXO_NODE_GROUP) : nullptr;
}

// Walks the lines of a saved file with a lambda; see vexo_walk_saved_lines.
template <typename F> int walk_file(const char *path, int field_count, bool *missing, F &each)
{
    return vexo_walk_saved_lines(
        path, field_count, missing,
        [](const char (*f)[VEXO_FIELD_SIZE], void *c) { return (*static_cast<F *>(c))(f); }, &each);
}

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

bool same_key(const char (*fields)[VEXO_FIELD_SIZE], const char (*key)[VEXO_FIELD_SIZE])
{
    for (int i = 0; i < 3; ++i)
        if (strcasecmp(fields[i], key[i]) != 0)
            return false;
    return true;
}

// True when a line of this LogicalHBA names the same target and portal,
// whatever its ISID qualifier.
bool portal_saved(const char (*key)[VEXO_FIELD_SIZE], const char *name, const char *ip, const char *port)
{
    bool found = false, missing = false;
    auto each = [&](const char (*f)[VEXO_FIELD_SIZE]) {
        found = same_key(f, key) && strcasecmp(f[TGT_NAME_FIELD], name) == 0 &&
                strcasecmp(f[TGT_IP_FIELD], ip) == 0 && strcasecmp(f[TGT_PORT_FIELD], port) == 0;
        return !found;
    };
    vexo_walk_saved_lines(VEXO_SAVED_TARGETS_FILE, VEXO_SAVETGT_FIELDS, &missing,
                          [](const char (*f)[VEXO_FIELD_SIZE], void *c) { return (*static_cast<decltype(each) *>(c))(f); },
                          &each);
    return found;
}

// The send-target portal of the Discovery group whose IPAddress is `ip`;
// null when none matches. false when the group or its first portal is missing.
bool discovering_portal(node *lhba, const char *ip, node **portal)
{
    *portal = nullptr;
    node *discovery = child_group(lhba, "Discovery");
    node *p = discovery ? get_first_instance(discovery, "SendTargetPortal") : nullptr;
    if (!p)
        return false;
    for (; p && vexo_is_instance(p) && p->u.grp->multi_instance->instance != -1;
         p = p->u.grp->multi_instance->next_instance) {
        char v[VEXO_VALUE_SIZE];
        if (read_value(p, "IPAddress", v) && strcasecmp(v, ip) == 0) {
            *portal = p;
            break;
        }
    }
    return true;
}

} // namespace

extern "C" int VEXO_add_target_into_file(node *lhba_node, node *target_node, const char *target_name,
                                         const char *ipaddress, const char *port_num, node *stp,
                                         const char *tgt_persistent)
{
    if (!lhba_node || !target_node || !target_name || !ipaddress || !port_num)
        return 1;
    char key[3][VEXO_FIELD_SIZE];
    if (vexo_lhba_instance_key(target_node, key) != 0)
        return 1;
    if (portal_saved(key, target_name, ipaddress, port_num))
        return 0;

    char ini_name[VEXO_VALUE_SIZE], type[VEXO_VALUE_SIZE];
    if (!read_value(child_group(lhba_node, "InitiatoriSCSIName"), "InitiatoriSCSIName", ini_name) ||
        !read_value(target_node, "TargetType", type))
        return 1;
    bool discovered = strcasecmp(type, "Discovered") == 0;
    node *portal = stp;
    if (discovered && !portal && !discovering_portal(lhba_node, ipaddress, &portal)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:no send-target portal.\n", __func__);
        return 1;
    }
    node *from = portal && discovered ? child_group(portal, "SendTargetPortalLoginOptions")
                                      : child_group(lhba_node, "InitiatorLoginOptions");
    node *from_auth = child_group(from, "Authentication");
    if (!from || !from_auth)
        return 1;
    char values[LINE_VALUE_COUNT][VEXO_VALUE_SIZE];
    for (int i = 0; i < LINE_VALUE_COUNT; ++i)
        if (!read_value(kLineValues[i].auth ? from_auth : from, kLineValues[i].name, values[i]))
            return 1;

    const char *fields[VEXO_SAVETGT_FIELDS] = {
        key[0],    key[1],    key[2],    target_name, ipaddress, port_num,  "",         ini_name,
        values[0], values[1], values[2], values[3],   values[4], values[5], values[6], values[7],
        values[8], type,      values[9], values[10],  values[11], tgt_persistent ? tgt_persistent : ""};
    // A target whose line is not saved vanishes at the next start: the
    // caller must learn of it.
    for (const char *f : fields)
        if (!vexo_field_storable(f)) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:a value cannot be saved.\n", __func__);
            vexo_set_fixed_status(VEXO_STATUS_INVALID_VALUE);
            return 1;
        }
    if (vexo_append_persistence_line(VEXO_SAVED_TARGETS_FILE, fields, VEXO_SAVETGT_FIELDS) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:the target's line was not saved.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_FAILURE);
        return 1;
    }

    node *to = child_group(target_node, "TargetLoginOptions");
    node *to_auth = child_group(to, "Authentication");
    if (!to || !to_auth)
        return 1;
    for (int i = 0; i < LINE_VALUE_COUNT; ++i)
        set_prop_val(kLineValues[i].auth ? to_auth : to, kLineValues[i].name, "%s", values[i]);
    return 0;
}

int get_target_type(node *target)
{
    char key[3][VEXO_FIELD_SIZE], name[VEXO_VALUE_SIZE];
    if (!target || vexo_lhba_instance_key(target, key) != 0 || !read_value(target, "TargetISCSIName", name))
        return 1;
    char type[TGT_TYPE_LEN + 1] = "";
    bool found = false, missing = false;
    auto each = [&](const char (*f)[VEXO_FIELD_SIZE]) {
        if (!same_key(f, key) || strcasecmp(f[TGT_NAME_FIELD], name) != 0)
            return true;
        std::snprintf(type, sizeof type, "%.*s", TGT_TYPE_LEN, f[TGT_TYPE_FIELD]);
        found = true;
        return false;
    };
    int rc = vexo_walk_saved_lines(
        VEXO_SAVED_TARGETS_FILE, VEXO_SAVETGT_FIELDS, &missing,
        [](const char (*f)[VEXO_FIELD_SIZE], void *c) { return (*static_cast<decltype(each) *>(c))(f); }, &each);
    if (rc != 0)
        return missing ? 0 : 1;
    if (found)
        set_prop_val(target, "TargetType", "%s", type);
    return 0;
}

VEXO_status_t handle_target_type(node *property, char *value, int type)
{
    if (type != 0)
        return VEXO_STATUS_SUCCESS;
    if (!property || get_target_type(property->parent) != 0)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

extern "C" int VEXO_check_for_duplicate_tgt(node *be, node *iscsi_phba, node *lhba, const char *target_name,
                                            const char *ipaddress, const char *portnum, int file_type, int isid)
{
    if (!be || !iscsi_phba || !lhba || !ipaddress || !portnum || (file_type == 0 && !target_name) ||
        (file_type != 0 && file_type != 1))
        return 0;
    char key[3][VEXO_FIELD_SIZE];
    std::snprintf(key[0], VEXO_FIELD_SIZE, "Arcwright%d", instance_number(be));
    std::snprintf(key[1], VEXO_FIELD_SIZE, "iSCSIPhysicalHBA%d", instance_number(iscsi_phba));
    std::snprintf(key[2], VEXO_FIELD_SIZE, "LogicalHBA%d", instance_number(lhba));
    char qualifier[16];
    std::snprintf(qualifier, sizeof qualifier, "%d", isid);
    bool found = false;
    auto each = [&](const char (*f)[VEXO_FIELD_SIZE]) {
        if (!same_key(f, key))
            return true;
        if (file_type == 1)
            found = same(f[STP_IP_FIELD], ipaddress) && same(f[STP_PORT_FIELD], portnum);
        else
            // An empty port stands for any port of that target and address.
            found = same(f[TGT_NAME_FIELD], target_name) && same(f[TGT_IP_FIELD], ipaddress) &&
                    (portnum[0] == '\0' || same(f[TGT_PORT_FIELD], portnum)) &&
                    (isid == VEXO_ANY_ISID || std::strcmp(f[TGT_ISID_FIELD], qualifier) == 0);
        return !found;
    };
    bool missing = false;
    walk_file(file_type == 1 ? VEXO_SAVED_PORTALS_FILE : VEXO_SAVED_TARGETS_FILE,
              file_type == 1 ? VEXO_SAVESTP_FIELDS : VEXO_SAVETGT_FIELDS, &missing, each);
    return found ? 1 : 0;
}

extern "C" int VEXO_sync_stp_with_file(node *be, node *iscsi_phba, node *lhba, node *stp, const char *ipaddress,
                                       const char *port)
{
    if (!be || !iscsi_phba || !lhba || !stp || !ipaddress || !port)
        return 1;
    char key[3][VEXO_FIELD_SIZE];
    std::snprintf(key[0], VEXO_FIELD_SIZE, "Arcwright%d", instance_number(be));
    std::snprintf(key[1], VEXO_FIELD_SIZE, "iSCSIPhysicalHBA%d", instance_number(iscsi_phba));
    std::snprintf(key[2], VEXO_FIELD_SIZE, "LogicalHBA0");
    bool found = false, missing = false;
    auto each = [&](const char (*f)[VEXO_FIELD_SIZE]) {
        found = same_key(f, key) && same(f[STP_IP_FIELD], ipaddress) && same(f[STP_PORT_FIELD], port);
        return !found;
    };
    walk_file(VEXO_SAVED_PORTALS_FILE, VEXO_SAVESTP_FIELDS, &missing, each);
    return found ? 0 : 1;
}

int check_for_stp_in_VEXO(node *discovery, const char *ipaddress, const char *portnum)
{
    if (!discovery || !ipaddress || !portnum)
        return 0;
    for (node *p = get_first_instance(discovery, "SendTargetPortal"); p; p = next_group_instance(p)) {
        char ip[VEXO_VALUE_SIZE], port[VEXO_VALUE_SIZE];
        if (!read_value(p, "IPAddress", ip) || !read_value(p, "PortNumber", port))
            return 0;
        if (same(ip, ipaddress) && same(port, portnum))
            return 1;
    }
    return 0;
}

VEXO_status_t group_Discovery(node *grp)
{
    char key[3][VEXO_FIELD_SIZE];
    if (!grp || vexo_lhba_instance_key(grp, key) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:no Discovery group of a LogicalHBA.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    struct SavedPortal {
        std::string f[VEXO_SAVESTP_FIELDS];
    };
    std::vector<SavedPortal> saved;
    auto each = [&](const char (*f)[VEXO_FIELD_SIZE]) {
        if (same_key(f, key)) {
            SavedPortal p;
            for (int i = 0; i < VEXO_SAVESTP_FIELDS; ++i)
                p.f[i] = f[i];
            saved.push_back(p);
        }
        return true;
    };
    bool missing = false;
    // Only a file that is not there means no portals: one that cannot be
    // read must not cost the user the portals in the tree.
    if (walk_file(VEXO_SAVED_PORTALS_FILE, VEXO_SAVESTP_FIELDS, &missing, each) != 0 && !missing) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:send-target portals file cannot be read.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }

    std::vector<node *> gone;
    for (node *p = get_first_instance(grp, "SendTargetPortal"); p; p = next_group_instance(p)) {
        char ip[VEXO_VALUE_SIZE], port[VEXO_VALUE_SIZE];
        if (!read_value(p, "IPAddress", ip) || !read_value(p, "PortNumber", port))
            return VEXO_STATUS_FAILURE;
        bool kept = false;
        for (const SavedPortal &s : saved)
            kept = kept || (same(s.f[STP_IP_FIELD].c_str(), ip) && same(s.f[STP_PORT_FIELD].c_str(), port));
        if (!kept)
            gone.push_back(p);
    }
    for (node *p : gone)
        if (delete_node(p) != VEXO_STATUS_SUCCESS)
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:a send-target portal cannot be deleted.\n", __func__);

    node *action = internal_get_node(grp, "AddSendTargetPortal", VEXO_NODE_ACTION);
    for (const SavedPortal &s : saved) {
        const char *ip = s.f[STP_IP_FIELD].c_str(), *port = s.f[STP_PORT_FIELD].c_str();
        if (check_for_stp_in_VEXO(grp, ip, port))
            continue;
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0, sizeof params);
        std::snprintf(params[0], VEXO_VALUE_SIZE, "%s", ip);
        std::snprintf(params[1], VEXO_VALUE_SIZE, "%s", port);
        node *stp = action ? initialize_SendTargetPortal(grp, grp, action, params) : nullptr;
        node *opts = child_group(stp, "SendTargetPortalLoginOptions");
        node *auth = child_group(opts, "Authentication");
        if (!auth) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:send-target portal not built.\n", __func__);
            return VEXO_STATUS_SUCCESS;
        }
        set_prop_val(stp, "IPAddress", "%s", ip);
        set_prop_val(stp, "PortNumber", "%s", port);
        set_prop_val(stp, "PortMacAddress", "%s", s.f[STP_MAC_FIELD].c_str());
        for (int i = 0; i < LINE_VALUE_COUNT; ++i) {
            const std::string &v = s.f[STP_VALUES_FIELD + i];
            // The three levels read as Prohibited when the line leaves them empty.
            const char *text = v.empty() && i >= 9 ? "Prohibited" : v.c_str();
            set_prop_val(kLineValues[i].auth ? auth : opts, kLineValues[i].name, "%s", text);
        }
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t delete_target_node(node *target)
{
    if (!target)
        return VEXO_STATUS_FAILURE;
    // Sessions, connections and LUNs hold handle records the tree does not free.
    VEXO_status_t st = purge_nodes_within(target, "LUN");
    if (st == VEXO_STATUS_SUCCESS)
        st = purge_nodes_within(target, "Session");
    if (st == VEXO_STATUS_SUCCESS)
        st = delete_node(target);
    return st;
}

namespace
{

struct SavedTarget {
    std::string name, ip, port;
};

// The saved lines of a LogicalHBA's targets; 0, 1 when the file cannot be
// read (`missing` tells a file that is not there).
int saved_targets(node *lhba, std::vector<SavedTarget> *out, bool *missing)
{
    char key[3][VEXO_FIELD_SIZE];
    if (vexo_lhba_instance_key(lhba, key) != 0)
        return 1;
    auto each = [&](const char (*f)[VEXO_FIELD_SIZE]) {
        if (same_key(f, key))
            out->push_back({f[TGT_NAME_FIELD], f[TGT_IP_FIELD], f[TGT_PORT_FIELD]});
        return true;
    };
    return walk_file(VEXO_SAVED_TARGETS_FILE, VEXO_SAVETGT_FIELDS, missing, each);
}

} // namespace

int VEXO_sync_targets_with_file(node *logical_hba)
{
    char key[3][VEXO_FIELD_SIZE];
    if (!logical_hba || vexo_lhba_instance_key(logical_hba, key) != 0)
        return 1;
    std::vector<SavedTarget> saved;
    bool missing = false;
    if (saved_targets(logical_hba, &saved, &missing) != 0) {
        if (missing)
            return 0;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:saved targets file cannot be read.\n", __func__);
        return 1;
    }
    // Everything is decided before anything goes, so a failed read deletes nothing.
    std::vector<node *> portals_gone, targets_gone;
    for (node *t = get_first_instance(logical_hba, "Target"); t; t = next_group_instance(t)) {
        char name[VEXO_VALUE_SIZE];
        if (!read_value(t, "TargetISCSIName", name))
            return 1;
        bool listed = false;
        for (const SavedTarget &s : saved)
            listed = listed || same(s.name.c_str(), name);
        if (!listed) {
            targets_gone.push_back(t);
            continue;
        }
        for (node *p = get_first_instance(t, "TargetPortal"); p; p = next_group_instance(p)) {
            char ip[VEXO_VALUE_SIZE], port[VEXO_VALUE_SIZE];
            if (!read_value(p, "TargetIPAddress", ip) || !read_value(p, "TargetPortNumber", port))
                return 1;
            bool kept = false;
            for (const SavedTarget &s : saved)
                kept = kept || (same(s.name.c_str(), name) && same(s.ip.c_str(), ip) && same(s.port.c_str(), port));
            if (!kept)
                portals_gone.push_back(p);
        }
    }
    for (node *p : portals_gone)
        delete_node(p);
    for (node *t : targets_gone)
        delete_target_node(t);
    return 0;
}

int add_target_from_file(node *logical_hba)
{
    char key[3][VEXO_FIELD_SIZE];
    if (!logical_hba || vexo_lhba_instance_key(logical_hba, key) != 0)
        return 1;
    struct Line {
        std::string f[VEXO_SAVETGT_FIELDS];
    };
    std::vector<Line> lines;
    auto each = [&](const char (*f)[VEXO_FIELD_SIZE]) {
        if (same_key(f, key)) {
            Line l;
            for (int i = 0; i < VEXO_SAVETGT_FIELDS; ++i)
                l.f[i] = f[i];
            lines.push_back(l);
        }
        return true;
    };
    bool missing = false;
    if (walk_file(VEXO_SAVED_TARGETS_FILE, VEXO_SAVETGT_FIELDS, &missing, each) != 0 && !missing)
        return 1;

    node *add_action = internal_get_node(logical_hba, "AddTarget", VEXO_NODE_ACTION);
    for (const Line &l : lines) {
        const char *name = l.f[TGT_NAME_FIELD].c_str(), *ip = l.f[TGT_IP_FIELD].c_str(),
                   *port = l.f[TGT_PORT_FIELD].c_str();
        if (!*name || !*ip || !*port)
            continue; // such a line names no portal
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0, sizeof params);
        node *t = find_target(logical_hba, name);
        if (t) {
            if (find_target_portal(t, ip, port))
                continue;
            std::snprintf(params[0], VEXO_VALUE_SIZE, "%s", ip);
            std::snprintf(params[1], VEXO_VALUE_SIZE, "%s", port);
            if (!setup_portal(t, ip, port, "0", t, internal_get_node(t, "AddTargetPortal", VEXO_NODE_ACTION),
                              params)) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:setup_portal Failed\n", __func__);
                return 1;
            }
            continue;
        }
        std::snprintf(params[0], VEXO_VALUE_SIZE, "%s", name);
        std::snprintf(params[1], VEXO_VALUE_SIZE, "%s", ip);
        std::snprintf(params[2], VEXO_VALUE_SIZE, "%s", port);
        const std::string &type = l.f[TGT_TYPE_FIELD];
        t = setup_target(logical_hba, name, logical_hba, add_action, params, same(type.c_str(), "Static") ? 0 : 1);
        if (!t) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:setup_target failed\n", __func__);
            return 1;
        }
        std::memset(params, 0, sizeof params);
        std::snprintf(params[0], VEXO_VALUE_SIZE, "%s", ip);
        std::snprintf(params[1], VEXO_VALUE_SIZE, "%s", port);
        node *opts = child_group(t, "TargetLoginOptions");
        node *auth = child_group(opts, "Authentication");
        if (!setup_portal(t, ip, port, "0", t, internal_get_node(t, "AddTargetPortal", VEXO_NODE_ACTION), params) ||
            !auth) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:setup_portal Failed\n", __func__);
            delete_target_node(t);
            return 1;
        }
        set_prop_val(t, "TargetType", "%.*s", TGT_TYPE_LEN, type.c_str());
        // Fields 9 to 17: the options and CHAP values; the levels are not set here.
        for (int i = 0; i < 9; ++i)
            set_prop_val(kLineValues[i].auth ? auth : opts, kLineValues[i].name, "%s",
                         l.f[TGT_VALUES_FIELD + i].c_str());
        if (l.f[TGT_ISID_FIELD].empty())
            continue;
        // Only the line that creates the target logs in; the result is not used.
        node *login = internal_get_node(t, "Login", VEXO_NODE_ACTION);
        if (login && login->u.act && login->u.act->func) {
            std::memset(params, 0, sizeof params);
            std::snprintf(params[0], VEXO_VALUE_SIZE, "%s", ip);
            std::snprintf(params[1], VEXO_VALUE_SIZE, "%s", port);
            std::snprintf(params[2], VEXO_VALUE_SIZE, "%s", l.f[TGT_INITIATOR_FIELD].c_str());
            std::snprintf(params[3], VEXO_VALUE_SIZE, "%s", l.f[TGT_ISID_FIELD].c_str());
            login->u.act->func(t, login, params);
        }
    }
    return 0;
}
