#include "mgmt/vexo/core/hm_builder.h"

#include <cstdio>
#include <cstring>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/log_level.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

hierarchy hierarchy_name_;
node_tag_t *vexo_internal_new_tags = nullptr;
int new_tag_index = 0;

namespace {

char kRootName[] = "ROOT";
char kRootDesc[] = " ";
char kServiceVersionName[] = "VEXOServiceVersion";
char kServiceVersionDesc[] = "Version of the management service.";
char kHierarchyVersionName[] = "VEXOHierarchyVersion";
char kHierarchyVersionDesc[] = "Version of the layout of the management hierarchy.";
char kDebugLevelName[] = "VEXODebugLevel";
char kDebugLevelDesc[] = "Level of the management log: 0 disabled, 1 fatal, 2 critical, 3 error, "
                         "4 warning, 5 information, 6 debug.";

// The root properties in registration order (tags 1 to 3).
struct root_property {
    node *n;
    int32_t flag;
    char datatype;
    uint32_t minval;
    uint32_t maxval;
    const char *default_val;
    const char *list;
    property_function func;
};

const root_property kRootProperties[] = {
    {&ROOT_VEXOServiceVersion, VEXO_PROP_READONLY, VEXO_TYPE_STRING, 5, 32, "0", "", handle_internal_property},
    {&ROOT_VEXOHierarchyVersion, VEXO_PROP_READONLY, VEXO_TYPE_STRING, 3, 32, "0", "", handle_internal_property},
    {&ROOT_VEXODebugLevel, VEXO_PROP_READWRITE, VEXO_TYPE_LIST, 5, 11, "3", "0,1,2,3,4,5,6", handle_VEXODebugLevel},
};

bool is_group(const node *n)
{
    return n && n->node_type == VEXO_NODE_GROUP && n->u.grp;
}

bool text_fits(const char *text, size_t size)
{
    return !text || strnlen(text, size) < size;
}

// A node record of the given kind under `parent` with counted copies of its
// texts and a zeroed kind record of `kind_size` bytes (none for 0).
node *make_node(int32_t type, const char *name, const char *desc, node *parent, size_t kind_size)
{
    if (!name || !text_fits(name, VEXO_MAX_NAME_SIZE) || !text_fits(desc, VEXO_MAX_DESC_SIZE)) {
        pdebug(VEXO_LOG_CORE, VEXO_LOG_ERROR, "%s:name or description too long for %s\n", __func__,
               name ? name : "(null)");
        return nullptr;
    }
    node *n = static_cast<node *>(vexo_dcalloc(sizeof(node)));
    char *nm = vexo_dstrdup(name);
    char *ds = vexo_dstrdup(desc);
    void *kind = kind_size ? vexo_dcalloc(kind_size) : nullptr;
    if (!n || !nm || !ds || (kind_size && !kind)) {
        vexo_dfree(n);
        vexo_dfree(nm);
        vexo_dfree(ds);
        vexo_dfree(kind);
        return nullptr;
    }
    n->node_tag = VEXO_NO_TAG;
    n->node_type = type;
    n->node_name = nm;
    n->node_desc = ds;
    n->parent = parent;
    n->u.data = kind;
    return n;
}

// Releases a node that never got registered.
void discard_node(node *n)
{
    if (!n)
        return;
    if (n->node_type == VEXO_NODE_GROUP && n->u.grp)
        vexo_dfree(n->u.grp->multi_instance);
    if (n->node_type != VEXO_NODE_ACTION)
        vexo_dfree(n->u.data);
    vexo_dfree(n->node_name);
    vexo_dfree(n->node_desc);
    vexo_dfree(n);
}

// Registers n or releases it; false when it could not be registered.
bool register_node(node *n, hierarchy *h)
{
    if (add_node(n, h) >= 0)
        return true;
    pdebug(VEXO_LOG_CORE, VEXO_LOG_ERROR, "%s:cannot register %s\n", __func__, n->node_name);
    discard_node(n);
    return false;
}

void fill_property(property *p, const hm_node_row &row)
{
    p->flag = row.flag;
    p->func = row.func;
    p->datatype = row.datatype;
    p->minval = row.minval;
    p->maxval = row.maxval;
    vexo_copy_text(p->val, sizeof p->val, row.default_val);
    hm_tree_changed();
    vexo_copy_text(p->list, sizeof p->list, row.list);
}

// Creates the content of one instance in table order; false on any failure.
bool build_rows(const hm_group_type *type, node *instance, hierarchy *h)
{
    node *open[HM_MAX_TABLE_DEPTH];
    int depth = 0;
    node *cur = instance;
    for (size_t i = 0; i < type->row_count; ++i) {
        const hm_node_row &row = type->rows[i];
        node *n = nullptr;
        switch (row.kind) {
        case HM_ROW_GROUP:
            if (depth >= HM_MAX_TABLE_DEPTH)
                return false;
            n = make_node(VEXO_NODE_GROUP, row.name, row.desc, cur, sizeof(group));
            if (!n || !register_node(n, h))
                return false;
            n->u.grp->group_handler = row.group_handler;
            open[depth++] = cur;
            cur = n;
            break;
        case HM_ROW_END:
            if (depth == 0)
                return false;
            cur = open[--depth];
            break;
        case HM_ROW_PROPERTY:
            n = make_node(VEXO_NODE_PROPERTY, row.name, row.desc, cur, sizeof(property));
            if (!n)
                return false;
            fill_property(n->u.prop, row);
            if (!register_node(n, h))
                return false;
            break;
        case HM_ROW_ACTION:
            if (!row.act)
                return false;
            n = make_node(VEXO_NODE_ACTION, row.name, row.desc, cur, 0);
            if (!n)
                return false;
            n->u.act = row.act;
            if (!register_node(n, h))
                return false;
            break;
        default:
            return false;
        }
    }
    return depth == 0;
}

} // namespace

// Static nodes of the root; their kind records are made at every start.
node ROOT = {VEXO_NO_TAG, VEXO_NODE_GROUP, kRootName, kRootDesc, &ROOT, nullptr, nullptr, 0, {nullptr}};
node ROOT_VEXOServiceVersion = {VEXO_NO_TAG, VEXO_NODE_PROPERTY, kServiceVersionName, kServiceVersionDesc, &ROOT,
                                nullptr, nullptr, 0, {nullptr}};
node ROOT_VEXOHierarchyVersion = {VEXO_NO_TAG, VEXO_NODE_PROPERTY, kHierarchyVersionName, kHierarchyVersionDesc,
                                  &ROOT, nullptr, nullptr, 0, {nullptr}};
node ROOT_VEXODebugLevel = {VEXO_NO_TAG, VEXO_NODE_PROPERTY, kDebugLevelName, kDebugLevelDesc, &ROOT, nullptr,
                            nullptr, 0, {nullptr}};

node *hm_build_group(const hm_group_type *type, node *parent_node, node *context, node *action,
                     char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!type || !type->name || type->max_instance == 0 || !type->bit_field || !is_group(parent_node))
        return nullptr;
    hierarchy *h = hm_find_hierarchy_by_node(parent_node);
    if (!h)
        return nullptr;

    // Bucket of this parent: the instance numbers of the repeated ancestors
    // as digits of a mixed-radix number, the nearest one lowest.
    size_t slice_bytes = (type->max_instance + 7u) / 8u;
    size_t buckets = type->bit_field_size / slice_bytes;
    size_t bucket = 0;
    size_t weight = 1;
    for (node *a = parent_node; a && a->parent && a->parent != a; a = a->parent) {
        if (!vexo_is_instance(a))
            continue;
        const struct multi_instance *mi = a->u.grp->multi_instance;
        size_t digit = static_cast<size_t>(mi->instance - mi->start_instance);
        if (digit >= mi->max_instance || (digit != 0 && weight >= buckets)) {
            bucket = buckets; // this parent has no slice in the field
            break;
        }
        bucket += digit * weight;
        // The weight stops growing at the field's end, so it cannot overflow.
        weight = weight < buckets ? weight * mi->max_instance : buckets;
    }
    if (bucket >= buckets) {
        pdebug(VEXO_LOG_CORE, VEXO_LOG_ERROR, "%s:%s cannot be built below %s\n", __func__, type->name,
               parent_node->node_name);
        return nullptr;
    }
    uint8_t *slice = type->bit_field + bucket * slice_bytes;
    int bit = get_first_zero(slice, type->max_instance);
    if (bit < 0)
        return nullptr;

    node *g = make_node(VEXO_NODE_GROUP, type->name, type->desc, parent_node, sizeof(group));
    struct multi_instance *mi =
        g ? static_cast<struct multi_instance *>(vexo_dcalloc(sizeof(struct multi_instance))) : nullptr;
    if (!mi) {
        discard_node(g);
        return nullptr;
    }
    g->u.grp->multi_instance = mi;
    mi->bitfield = slice;
    mi->max_instance = type->max_instance;
    mi->start_instance = type->start_instance;
    mi->instance = type->start_instance + bit;
    hm_tree_changed();
    if (!register_node(g, h))
        return nullptr;
    g->u.grp->group_handler = type->group_handler;

    if (!build_rows(type, g, h)) {
        pdebug(VEXO_LOG_CORE, VEXO_LOG_ERROR, "%s:failed to build %s%d\n", __func__, type->name, mi->instance);
        delete_node(g);
        return nullptr;
    }

    persistency &p = g->u.grp->persistency_info;
    p.context = context;
    p.action = action;
    if (params)
        std::memcpy(p.params, params, sizeof p.params);
    if (action)
        p.priority = persistency_priority++;

    set_bit(slice, type->max_instance, bit);

    if (vexo_internal_new_tags) {
        if (new_tag_index >= VEXO_MAX_NEW_TAGS) {
            pdebug(VEXO_LOG_CORE, VEXO_LOG_ERROR, "Too many groups added in this action\n");
            delete_node(g);
            return nullptr;
        }
        vexo_internal_new_tags[new_tag_index++] = g->node_tag;
    }
    return g;
}

int init_hm_data()
{
    hierarchy_name_.root = &ROOT;
    hierarchy_name_.name[0] = '\0';
    hierarchy_name_.max_node_limit = VEXO_MAX_NODE_LIMIT;
    if (hm_setup_hierarchy(&hierarchy_name_) != 0)
        return 1;

    ROOT.parent = &ROOT;
    ROOT.ref_count = 0;
    ROOT.u.grp = static_cast<group *>(vexo_dcalloc(sizeof(group)));
    if (!ROOT.u.grp || add_node(&ROOT, &hierarchy_name_) < 0) {
        vexo_dfree(ROOT.u.grp);
        ROOT.u.grp = nullptr;
        hm_release_hierarchy(&hierarchy_name_);
        return 1;
    }

    bool ok = true;
    for (const root_property &rp : kRootProperties) {
        node *n = rp.n;
        n->parent = &ROOT;
        n->ref_count = 0;
        property *p = static_cast<property *>(vexo_dcalloc(sizeof(property)));
        if (!p) {
            ok = false;
            break;
        }
        snprintf(p->val, sizeof p->val, "%s", rp.default_val);
        hm_tree_changed();
        p->func = rp.func;
        p->flag = rp.flag;
        p->datatype = rp.datatype;
        p->minval = rp.minval;
        p->maxval = rp.maxval;
        snprintf(p->list, sizeof p->list, "%s", rp.list);
        n->u.prop = p;
        if (add_node(n, &hierarchy_name_) < 0) {
            // A root property that cannot be registered is left out.
            vexo_dfree(p);
            n->u.prop = nullptr;
        }
    }

    hierarchy_name_.vexo_max_desc_size = VEXO_MAX_DESC_SIZE;
    hierarchy_name_.vexo_max_name_size = VEXO_MAX_NAME_SIZE;
    hierarchy_name_.vexo_max_params = VEXO_MAX_PARAMS;
    hierarchy_name_.vexo_max_children = VEXO_MAX_CHILDREN;
    hierarchy_name_.vexo_max_instances = VEXO_MAX_INSTANCES;

    if (ok && backend_init() == 0)
        return 0;

    // The tree never stays half built: everything below ROOT goes, and so
    // does the dictionary, so a later start begins from a clean record.
    delete_node(&ROOT);
    hm_release_hierarchy(&hierarchy_name_);
    return 1;
}

void exit_hm_data()
{
    backend_exit();
}
