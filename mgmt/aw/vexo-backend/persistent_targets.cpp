#include "mgmt/aw/vexo-backend/persistent_targets.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/aw/vexo-backend/login_options.h"
#include "mgmt/aw/vexo-backend/persistence_files.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

namespace
{

#define TGT_NAME_FIELD 3
#define TGT_IP_FIELD 4
#define TGT_PORT_FIELD 5
#define TGT_TYPE_FIELD 17
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
    // A line that cannot be appended is not the caller's failure: the target
    // stands in the tree all the same.
    if (vexo_append_persistence_line(VEXO_SAVED_TARGETS_FILE, fields, VEXO_SAVETGT_FIELDS) != 0)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_WARNING, "%s:the target's line was not saved.\n", __func__);

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
