#include "mgmt/vexo/core/vexo_api.h"

#include <cstdio>
#include <cstring>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/aw/vexo-backend/log_level.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"
#include "mgmt/vexo/core/validate.h"
#include "mgmt/vexo/linux/vexod_lock.h"

int vexo_client_count = 0;

namespace {

const char kBusyText[] = "Failed to execute command because adapter is in busy state.";

bool is_kind(const node *n, int kind)
{
    return n && n->node_type == kind && n->u.data;
}

// A group, or a link standing for one.
node *as_group(node *n)
{
    node *t = vexo_resolve_link(n);
    return is_kind(t, VEXO_NODE_GROUP) ? t : nullptr;
}

bool group_or_link(const node *n)
{
    return n && (n->node_type == VEXO_NODE_GROUP || n->node_type == VEXO_NODE_LINK);
}

bool kind_or_link(const node *n, int kind)
{
    return n && (n->node_type == kind || n->node_type == VEXO_NODE_LINK);
}

node *top_of(node *n)
{
    for (int depth = 0; n && n->parent && n->parent != n && depth < 4096; ++depth)
        n = n->parent;
    return n;
}

void reset_status()
{
    vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
}

// The adapter lock held by one call.
struct call_lock {
    char key[VEXO_SERIAL_NUM_SIZE];
    bool held;
};

// Takes the lock of the adapter owning `about`; 14 when it stays busy. A node
// of no adapter goes on without a lock.
VEXO_status_t lock_adapter(const char *call, node *about, call_lock *lk)
{
    lk->held = false;
    lk->key[0] = '\0';
    if (!about || VEXO_get_asic_serial_number(about, lk->key) != 0 || lk->key[0] == '\0') {
        pdebug(VEXO_LOG_CORE, VEXO_LOG_DEBUG, "%s:Invalid serial number: Failed to acquire lock.\n", call);
    } else if (vexo_acquire_lock(lk->key) != 0) {
        pdebug(VEXO_LOG_CORE, VEXO_LOG_ERROR, "%s:Failed to acquire lock.\n", call);
        vexo_set_last_status(VEXO_STATUS_ADAPTER_BUSY, kBusyText);
        return VEXO_STATUS_ADAPTER_BUSY;
    } else {
        lk->held = true;
    }
    reset_status();
    return VEXO_STATUS_SUCCESS;
}

void unlock_adapter(call_lock *lk)
{
    if (lk->held)
        vexo_release_lock(lk->key);
    lk->held = false;
}

// Stores the refusal of a validator with its text; `prefix` names the
// parameter ("" for a property value).
void store_refusal(VEXO_status_t r, const char *prefix, int minval, int maxval)
{
    char text[VEXO_LAST_STATUS_SIZE];
    switch (r) {
    case VEXO_STATUS_INVALID_VALUE:
        snprintf(text, sizeof text, "%sInvalid value.", prefix);
        break;
    case VEXO_STATUS_INVALID_SIZE:
        snprintf(text, sizeof text, "%sNumber of characters should be from %d to %d.", prefix, minval, maxval);
        break;
    case VEXO_STATUS_VALUE_OUT_OF_RANGE:
        snprintf(text, sizeof text, "%sValue out of range. Valid range is from %d to %d.", prefix, minval, maxval);
        break;
    default:
        snprintf(text, sizeof text, "%s%s", prefix, vexo_status_message(r));
        break;
    }
    vexo_set_last_status(r, text);
}

// Lists the adapters' lock keys; true when at least one was listed.
bool list_keys(char keys[VEXO_MAX_ADAPTERS][VEXO_SERIAL_NUM_SIZE], int *count)
{
    std::memset(keys, 0, sizeof(char) * VEXO_MAX_ADAPTERS * VEXO_SERIAL_NUM_SIZE);
    *count = 0;
    return VEXO_enumerate_serial_numbers(count, keys[0]) == 0 && *count > 0;
}

VEXO_status_t run_action(node *ctx, node *act, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE],
                         node_tag_t *new_tags)
{
    if (!ctx || !act || !params || !group_or_link(ctx) || !kind_or_link(act, VEXO_NODE_ACTION))
        return VEXO_STATUS_FAILURE;

    vexo_internal_new_tags = new_tags;
    if (new_tags)
        new_tags[0] = 0;
    new_tag_index = 0;

    ctx = as_group(ctx);
    act = vexo_resolve_link(act);
    if (!ctx || !is_kind(act, VEXO_NODE_ACTION))
        return VEXO_STATUS_FAILURE;
    const action *a = act->u.act;

    int count = a->p.param_count;
    if (count > VEXO_MAX_PARAMS)
        count = VEXO_MAX_PARAMS;
    for (int i = 0; i < count; ++i) {
        const VEXO_param &p = a->p.params[i];
        char *value = params[i];
        char name[VEXO_MAX_NAME_SIZE + 2];
        snprintf(name, sizeof name, "%.*s: ", VEXO_MAX_NAME_SIZE - 1, p.param_name);
        if (static_cast<unsigned char>(value[0]) == VEXO_PARAM_ABSENT) {
            if (p.mandatory) {
                char text[VEXO_LAST_STATUS_SIZE];
                snprintf(text, sizeof text, "%sParameter missing.", name);
                vexo_set_last_status(VEXO_STATUS_MISSING_MANDATORY_PARAM, text);
                return VEXO_STATUS_FAILURE;
            }
            std::memset(value, 0, VEXO_VALUE_SIZE);
            continue;
        }
        // A text that fills its whole slot has no terminator: too long.
        VEXO_status_t r = std::memchr(value, '\0', VEXO_VALUE_SIZE)
                              ? vexo_validate(value, p.list, p.datatype, p.minval, p.maxval)
                              : VEXO_STATUS_INVALID_SIZE;
        if (r != VEXO_STATUS_SUCCESS) {
            store_refusal(r, name, p.minval, p.maxval);
            return VEXO_STATUS_FAILURE;
        }
    }

    if (!a->func) {
        pdebug(VEXO_LOG_CORE, VEXO_LOG_ERROR, "Not Implimented\n");
        return VEXO_STATUS_FAILURE;
    }
    VEXO_status_t r = a->func(ctx, act, params);
    pdebug(VEXO_LOG_CORE, VEXO_LOG_DEBUG, "--- leaving %s ---\n", "VEXO_do_action");
    return r;
}

// The property a call is about, after the checks the read and the write
// share; null when the call answers 1.
node *checked_property(node *parent, node *pn, const char *val, int len)
{
    if (!parent || !val || !pn || !group_or_link(parent) || !kind_or_link(pn, VEXO_NODE_PROPERTY))
        return nullptr;
    node *pg = as_group(parent);
    if (!pg || pn->parent != pg)
        return nullptr;
    if (len > VEXO_VALUE_SIZE)
        return nullptr;
    node *target = vexo_resolve_link(pn);
    return is_kind(target, VEXO_NODE_PROPERTY) ? target : nullptr;
}

VEXO_status_t write_property(node *parent, node *pn, char *val, int len)
{
    if (!parent || !val || !pn || !group_or_link(parent) || !kind_or_link(pn, VEXO_NODE_PROPERTY))
        return VEXO_STATUS_FAILURE;
    node *pg = as_group(parent);
    node *target = vexo_resolve_link(pn);
    if (!pg || pn->parent != pg || !is_kind(target, VEXO_NODE_PROPERTY))
        return VEXO_STATUS_FAILURE;
    property *p = target->u.prop;
    if (p->flag & VEXO_PROP_READONLY) {
        vexo_set_last_status(VEXO_STATUS_READONLY, "Read only property");
        return VEXO_STATUS_FAILURE;
    }
    if (len > VEXO_VALUE_SIZE)
        return VEXO_STATUS_FAILURE;

    // Validated in a buffer of our own: the IPv6 form is longer than many
    // inputs, and the caller's buffer may be no longer than its text.
    char value[VEXO_VALUE_SIZE];
    size_t n = strnlen(val, VEXO_VALUE_SIZE);
    VEXO_status_t r = VEXO_STATUS_INVALID_SIZE;
    if (n < VEXO_VALUE_SIZE) {
        std::memcpy(value, val, n + 1);
        r = vexo_validate(value, p->list, p->datatype, static_cast<int32_t>(p->minval),
                          static_cast<int32_t>(p->maxval));
    }
    if (r != VEXO_STATUS_SUCCESS) {
        store_refusal(r, "", static_cast<int32_t>(p->minval), static_cast<int32_t>(p->maxval));
        return VEXO_STATUS_FAILURE;
    }
    if (!p->func) {
        pdebug(VEXO_LOG_CORE, VEXO_LOG_DEBUG, "--- leaving %s ---\n", "VEXO_set_property_val");
        return VEXO_STATUS_NOT_IMPLIMENTED;
    }
    return p->func(target, value, 1);
}

VEXO_status_t read_property(node *parent, node *pn, char *val, int len)
{
    node *target = checked_property(parent, pn, val, len);
    if (!target || len <= 0)
        return VEXO_STATUS_FAILURE;
    property *p = target->u.prop;
    char value[VEXO_VALUE_SIZE];
    VEXO_status_t r = VEXO_STATUS_SUCCESS;
    if (p->func) {
        std::memset(value, 0, sizeof value);
        r = p->func(target, value, 0);
    } else {
        std::memcpy(value, p->val, sizeof value);
    }
    value[VEXO_VALUE_SIZE - 1] = '\0';
    vexo_copy_text(val, static_cast<size_t>(len), value);
    return r;
}

bool selects(int type, const node *c)
{
    const node *t = vexo_resolve_link(const_cast<node *>(c));
    if (!t)
        return false;
    int kind = t->node_type;
    int32_t flag = (kind == VEXO_NODE_PROPERTY && t->u.prop) ? t->u.prop->flag : 0;
    switch (type) {
    case VEXO_CHILD_GROUPS:
        return kind == VEXO_NODE_GROUP;
    case VEXO_CHILD_PROPERTIES:
        return kind == VEXO_NODE_PROPERTY;
    case VEXO_CHILD_ACTIONS:
        return kind == VEXO_NODE_ACTION;
    case VEXO_CHILD_READONLY:
        return kind == VEXO_NODE_PROPERTY && (flag & VEXO_PROP_READONLY);
    case VEXO_CHILD_WRITABLE:
        return kind == VEXO_NODE_PROPERTY && !(flag & VEXO_PROP_READONLY);
    case VEXO_CHILD_WRITABLE_LISTED:
        return kind == VEXO_NODE_PROPERTY && !(flag & (VEXO_PROP_READONLY | VEXO_PROP_HIDDEN_WRITE));
    default:
        return false;
    }
}

} // namespace

VEXO_status_t VEXO_init(void)
{
    pdebug(VEXO_LOG_CORE, VEXO_LOG_DEBUG, "--- entering %s ---\n", "VEXO_init");
    reset_status();
    if (!vexo_log_fp) {
        VEXO_config_log_dir_permissions();
        vexo_log_open();
    }
    VEXO_update_loglevel();

    ++vexo_client_count;
    pdebug(VEXO_LOG_CORE, VEXO_LOG_INFO, "New client #%d!\n", vexo_client_count);
    if (vexo_init_acquire_lock() != 0) {
        pdebug(VEXO_LOG_CORE, VEXO_LOG_ERROR, "%s:Failed to acquire lock.\n", "VEXO_init");
        vexo_set_last_status(VEXO_STATUS_ADAPTER_BUSY, kBusyText);
        return VEXO_STATUS_ADAPTER_BUSY;
    }
    // A later client finds the hierarchy built, unless the client before it
    // was turned away at a busy start lock.
    backend_rebuild_if_stale();
    if (vexo_client_count > 1 && get_node(0)) {
        vexo_init_release_lock();
        return VEXO_STATUS_SUCCESS;
    }

    if (!get_node(0)) {
        vexo_current_hierarchy[0] = '\0';
        if (init_hm() != 0)
            --vexo_client_count;
    }

    char keys[VEXO_MAX_ADAPTERS][VEXO_SERIAL_NUM_SIZE];
    int count = 0;
    VEXO_status_t status = VEXO_STATUS_SUCCESS;
    if (!list_keys(keys, &count)) {
        pdebug(VEXO_LOG_CORE, VEXO_LOG_ERROR, "%s: Failed to enumerate adapter serial numbers\n", "VEXO_init");
        status = VEXO_STATUS_FAILURE;
    } else if (vexo_lock_init(count, keys) != 0) {
        pdebug(VEXO_LOG_CORE, VEXO_LOG_ERROR, "%s: semaphores initialization failed\n", "VEXO_init");
    }

    int released = vexo_init_release_lock();
    pdebug(VEXO_LOG_CORE, VEXO_LOG_INFO, "vexo_init_release_lock status=%d\n", released);
    pdebug(VEXO_LOG_CORE, VEXO_LOG_DEBUG, "--- leaving %s ---\n", "VEXO_init");
    return status;
}

VEXO_status_t VEXO_exit(void)
{
    pdebug(VEXO_LOG_CORE, VEXO_LOG_DEBUG, "--- entering %s ---\n", "VEXO_exit");
    reset_status();
    if (vexo_client_count <= 0)
        return VEXO_STATUS_SUCCESS;
    pdebug(VEXO_LOG_CORE, VEXO_LOG_INFO, "Client disconnecting #%d\n", vexo_client_count);
    --vexo_client_count;

    char keys[VEXO_MAX_ADAPTERS][VEXO_SERIAL_NUM_SIZE];
    int count = 0;
    if (!list_keys(keys, &count))
        pdebug(VEXO_LOG_CORE, VEXO_LOG_ERROR, "%s: Failed to enumerate serial numbers\n", "VEXO_exit");
    else if (vexo_lock_free(count) != 0)
        pdebug(VEXO_LOG_CORE, VEXO_LOG_ERROR, "%s: Failed to close semaphore handle\n", "VEXO_exit");
    if (vexo_client_count > 0)
        return VEXO_STATUS_SUCCESS;

    exit_hm();
    vexo_internal_new_tags = nullptr;
    new_tag_index = 0;
    pdebug(VEXO_LOG_CORE, VEXO_LOG_DEBUG, "--- leaving %s ---\n", "VEXO_exit");
    vexo_log_close();
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_do_action(node_tag_t context_group_tag, node_tag_t action_tag,
                             char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE], node_tag_t *vexo_new_tags)
{
    backend_rebuild_if_stale();
    node *ctx = get_node(context_group_tag);
    node *act = get_node(action_tag);
    pdebug(VEXO_LOG_CORE, VEXO_LOG_DEBUG, "--- entering %s ---\n", "VEXO_do_action");
    call_lock lk;
    if (lock_adapter("VEXO_do_action", act, &lk) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_ADAPTER_BUSY;
    VEXO_status_t r = run_action(ctx, act, params, vexo_new_tags);
    vexo_internal_new_tags = nullptr;
    new_tag_index = 0;
    unlock_adapter(&lk);
    return r;
}

VEXO_status_t VEXO_refresh_group(node_tag_t group_tag)
{
    backend_rebuild_if_stale();
    node *g = get_node(group_tag);
    call_lock lk;
    if (lock_adapter("VEXO_refresh_group", g, &lk) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_ADAPTER_BUSY;
    if (is_kind(g, VEXO_NODE_GROUP) && g->u.grp->group_handler)
        g->u.grp->group_handler(g); // its outcome is in the last status
    unlock_adapter(&lk);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_set_property_val(node_tag_t parent, node_tag_t tag, char *val, int len)
{
    backend_rebuild_if_stale();
    node *pg = get_node(parent);
    node *pn = get_node(tag);
    pdebug(VEXO_LOG_CORE, VEXO_LOG_DEBUG, "--- entering %s ---\n", "VEXO_set_property_val");
    call_lock lk;
    if (lock_adapter("VEXO_set_property_val", pn, &lk) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_ADAPTER_BUSY;
    VEXO_status_t r = write_property(pg, pn, val, len);
    unlock_adapter(&lk);
    return r;
}

VEXO_status_t VEXO_get_property_val(node_tag_t parent, node_tag_t tag, char *val, int len)
{
    backend_rebuild_if_stale();
    node *pg = get_node(parent);
    node *pn = get_node(tag);
    pdebug(VEXO_LOG_CORE, VEXO_LOG_DEBUG, "--- entering %s ---\n", "VEXO_get_property_val");
    call_lock lk;
    if (lock_adapter("VEXO_get_property_val", pn, &lk) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_ADAPTER_BUSY;
    VEXO_status_t r = read_property(pg, pn, val, len);
    unlock_adapter(&lk);
    return r;
}

VEXO_status_t VEXO_get_node_tag(node_tag_t parent, char *name, node_tag_t *tag, int type)
{
    backend_rebuild_if_stale();
    reset_status();
    node *p = get_node(parent);
    if (!name || !tag || !p || type < 0 || type > 7 || !is_kind(p, VEXO_NODE_GROUP))
        return VEXO_STATUS_FAILURE;
    node *c = internal_get_node(p, name, type);
    if (!c)
        return VEXO_STATUS_FAILURE;
    *tag = c->node_tag;
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_get_node_name(node_tag_t tag, char *name, int type)
{
    backend_rebuild_if_stale();
    node *n = get_node(tag);
    if (!name || !n || type < 0 || type > 7)
        return VEXO_STATUS_FAILURE;
    reset_status();
    node *t = vexo_resolve_link(n);
    if (!t || t->node_type != type)
        return VEXO_STATUS_FAILURE;
    char display[VEXO_MAX_NAME_SIZE];
    vexo_display_name(n, display);
    std::memcpy(name, display, std::strlen(display) + 1);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_get_parent_tag(node_tag_t child, node_tag_t *parent)
{
    backend_rebuild_if_stale();
    reset_status();
    node *n = get_node(child);
    if (!n || !parent || !n->parent)
        return VEXO_STATUS_FAILURE;
    *parent = n->parent->node_tag;
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_get_child_tags(node_tag_t tag, node_tag_t *ctags, unsigned int *count, int type)
{
    backend_rebuild_if_stale();
    reset_status();
    node *n = get_node(tag);
    if (!ctags || !count || !n || type < 0 || type > 7 || !group_or_link(n))
        return VEXO_STATUS_FAILURE;
    node *g = as_group(n);
    if (!g)
        return VEXO_STATUS_FAILURE;
    // A non-zero count on entry is the room of ctags: tags beyond it are
    // counted but not written, and the call fails.
    unsigned int room = *count, k = 0;
    auto put = [&](const node *c) {
        if (room == 0 || k < room)
            ctags[k] = c->node_tag;
        ++k;
    };
    for (node *c = g->u.grp->next_child; c != g; c = c->next_sibling)
        if (selects(type, c))
            put(c);
    node *root = top_of(g);
    if (type == VEXO_CHILD_ACTIONS && root != g && is_kind(root, VEXO_NODE_GROUP)) {
        for (node *c = root->u.grp->next_child; c != root; c = c->next_sibling)
            if (is_kind(c, VEXO_NODE_ACTION) && c->u.act->scope == 1)
                put(c);
    }
    *count = k;
    return room != 0 && k > room ? VEXO_STATUS_FAILURE : VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_get_node_description(node_tag_t tag, VEXO_node_info *node_info)
{
    backend_rebuild_if_stale();
    reset_status();
    node *t = vexo_resolve_link(get_node(tag));
    if (!t || !node_info)
        return VEXO_STATUS_FAILURE;
    node_info->node_type = static_cast<char>(t->node_type);
    snprintf(node_info->node_desc, sizeof node_info->node_desc, "%s", t->node_desc ? t->node_desc : "");
    if (is_kind(t, VEXO_NODE_PROPERTY)) {
        node_info->data_type = t->u.prop->datatype;
        node_info->minval = static_cast<int32_t>(t->u.prop->minval);
        node_info->maxval = static_cast<int32_t>(t->u.prop->maxval);
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_get_param_info(node_tag_t tag, VEXO_param_info *param_info)
{
    backend_rebuild_if_stale();
    reset_status();
    node *n = get_node(tag);
    if (!n || !param_info || !kind_or_link(n, VEXO_NODE_ACTION))
        return VEXO_STATUS_FAILURE;
    node *t = vexo_resolve_link(n);
    if (!is_kind(t, VEXO_NODE_ACTION))
        return VEXO_STATUS_FAILURE;
    *param_info = t->u.act->p;
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_get_valid_instances(node_tag_t parent, char *name, int *instance_array, int *count)
{
    backend_rebuild_if_stale();
    reset_status();
    node *p = get_node(parent);
    if (!name || !instance_array || !count || !p || !group_or_link(p))
        return VEXO_STATUS_FAILURE;
    node *g = as_group(p);
    if (!g)
        return VEXO_STATUS_FAILURE;
    *count = 0;
    node *i = get_first_instance(g, name);
    int limit = i ? i->u.grp->multi_instance->max_instance : 0;
    for (; i && vexo_is_instance(i) && *count < limit; i = i->u.grp->multi_instance->next_instance)
        instance_array[(*count)++] = i->u.grp->multi_instance->instance;
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_get_persistent_nodes(node_tag_t *gtags, int *count)
{
    backend_rebuild_if_stale();
    reset_status();
    if (!gtags || !count)
        return VEXO_STATUS_FAILURE;
    if (*count < 0)
        return VEXO_STATUS_SMALL_ARRAY;
    *count = 0; // nothing is kept across starts
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_get_persistence_info(node_tag_t tag, VEXO_persistency_info *pinfo)
{
    backend_rebuild_if_stale();
    reset_status();
    node *n = get_node(tag);
    if (!n || !pinfo || !group_or_link(n) || !n->u.data)
        return VEXO_STATUS_FAILURE;
    const persistency &ps =
        n->node_type == VEXO_NODE_GROUP ? n->u.grp->persistency_info : n->u.symlink->persistency_info;
    if (ps.priority == 0 || !ps.action)
        return VEXO_STATUS_FAILURE;
    pinfo->action = ps.action->node_tag;
    pinfo->context = ps.context ? ps.context->node_tag : VEXO_NO_TAG;
    for (int i = 0; i < VEXO_MAX_PARAMS; ++i)
        snprintf(pinfo->params[i], VEXO_VALUE_SIZE, "%.*s", VEXO_VALUE_SIZE - 1, ps.params[i]);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t VEXO_get_last_status(VEXO_status_t *status_code, char *status_string)
{
    vexo_get_last_status(status_code, status_string);
    return VEXO_STATUS_SUCCESS;
}
