#include "mgmt/vexo/core/hm.h"

#include <cstdarg>
#include <cstdio>
#include <cctype>
#include <cstring>
#include <strings.h>

#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm_builder.h"

hierarchy *hierarchy_table[VEXO_HIERARCHY_SLOTS];
int h_count = 0;
uint32_t persistency_priority = 0;
uint32_t hm_tree_generation = 1;

void hm_tree_changed()
{
    if (++hm_tree_generation == 0)
        hm_tree_generation = 1;
}

uint32_t hm_shape_generation = 1;

void hm_shape_changed()
{
    if (++hm_shape_generation == 0)
        hm_shape_generation = 1;
    hm_tree_changed();
}
char vexo_current_hierarchy[20];

namespace {

// A link chain longer than this is taken as circular.
const int kMaxLinkHops = 64;

size_t bitmap_bytes(int32_t max_nodes)
{
    return (static_cast<size_t>(max_nodes) + 8) / 8;
}

int table_slot(const hierarchy *h)
{
    for (int i = 0; i < VEXO_HIERARCHY_SLOTS; ++i)
        if (hierarchy_table[i] == h)
            return i;
    return -1;
}

bool is_group(const node *n)
{
    return n && n->node_type == VEXO_NODE_GROUP && n->u.grp;
}

// ROOT is its own parent; a node without parent is treated alike.
bool is_top(const node *n)
{
    return !n->parent || n->parent == n;
}

struct multi_instance *instance_of(const node *n)
{
    return is_group(n) ? n->u.grp->multi_instance : nullptr;
}

// Inserts n into the child list of `parent` right after `after` (the parent
// itself: at the front).
void link_child_after(node *parent, node *after, node *n)
{
    hm_shape_changed();
    group *g = parent->u.grp;
    node *next = (after == parent) ? g->next_child : after->next_sibling;
    n->prev_sibling = after;
    n->next_sibling = next;
    if (after == parent)
        g->next_child = n;
    else
        after->next_sibling = n;
    if (next == parent)
        g->prev_child = n;
    else
        next->prev_sibling = n;
}

void unlink_child(node *n)
{
    hm_shape_changed();
    node *parent = n->parent;
    group *g = parent->u.grp;
    node *prev = n->prev_sibling;
    node *next = n->next_sibling;
    if (prev == parent)
        g->next_child = next;
    else
        prev->next_sibling = next;
    if (next == parent)
        g->prev_child = prev;
    else
        next->prev_sibling = prev;
    n->next_sibling = n;
    n->prev_sibling = n;
}

// The list head of the instance ring that n belongs to, or null.
node *ring_head(node *n)
{
    node *cur = n;
    // A ring holds at most 65535 instances and its head.
    for (int steps = 0; cur && steps <= 0x10000; ++steps) {
        struct multi_instance *mi = instance_of(cur);
        if (!mi)
            return nullptr;
        if (mi->instance == -1)
            return cur;
        cur = mi->next_instance;
    }
    return nullptr;
}

// An existing instance of the repeated group `name` (exact case) under
// `parent`, found by the child list rather than by the bit field, so a ring
// is found even while its only instance is still being built.
node *any_instance(node *parent, const char *name, const node *except)
{
    if (!is_group(parent))
        return nullptr;
    for (node *c = parent->u.grp->next_child; c != parent; c = c->next_sibling)
        if (c != except && vexo_is_instance(c) && c->node_name && std::strcmp(c->node_name, name) == 0)
            return c;
    return nullptr;
}

void release_head(node *head)
{
    vexo_dfree(head->u.grp->multi_instance);
    vexo_dfree(head->u.grp);
    vexo_dfree(head);
}

node *make_head(const struct multi_instance *like)
{
    node *head = static_cast<node *>(vexo_dcalloc(sizeof(node)));
    group *g = static_cast<group *>(vexo_dcalloc(sizeof(group)));
    struct multi_instance *mi = static_cast<struct multi_instance *>(vexo_dcalloc(sizeof(struct multi_instance)));
    if (!head || !g || !mi) {
        vexo_dfree(head);
        vexo_dfree(g);
        vexo_dfree(mi);
        return nullptr;
    }
    head->node_tag = VEXO_NO_TAG;
    head->node_type = VEXO_NODE_GROUP;
    head->next_sibling = head;
    head->prev_sibling = head;
    head->u.grp = g;
    g->next_child = head;
    g->prev_child = head;
    g->multi_instance = mi;
    mi->bitfield = like->bitfield;
    mi->max_instance = like->max_instance;
    mi->start_instance = like->start_instance;
    mi->instance = -1;
    mi->next_instance = head;
    mi->prev_instance = head;
    return head;
}

// Grows the dictionary and the bit map by one step of 1024 slots.
int reinit_hm(hierarchy *h)
{
    int32_t new_max = h->max_nodes + VEXO_DICT_STEP;
    node **dict = static_cast<node **>(vexo_dcalloc(sizeof(node *) * static_cast<size_t>(new_max)));
    uint8_t *bits = static_cast<uint8_t *>(vexo_dcalloc(bitmap_bytes(new_max)));
    if (!dict || !bits) {
        vexo_dfree(dict);
        vexo_dfree(bits);
        return 1;
    }
    std::memcpy(dict, h->node_dict, sizeof(node *) * static_cast<size_t>(h->max_nodes));
    std::memcpy(bits, h->bit_field, bitmap_bytes(h->max_nodes));
    vexo_dfree(h->node_dict);
    vexo_dfree(h->bit_field);
    h->node_dict = dict;
    h->bit_field = bits;
    h->max_nodes = new_max;
    return 0;
}

// Whether the bytes differ ignoring case, as tolower sees them.
inline bool folded_differ(unsigned char a, unsigned char b)
{
    return a != b && (vexo_fold_apart(a, b) || std::tolower(a) != std::tolower(b));
}

// strncasecmp(node_name, name, len) != 0 with len the node name's length cut
// to fit a display name, folded with the same tolower in one pass (every
// lookup compares many siblings).
bool name_prefix_differs(const char *node_name, const char *name, size_t *len)
{
    size_t i = 0;
    for (; i < VEXO_MAX_NAME_SIZE - 1 && node_name[i] != '\0'; ++i)
        if (folded_differ(static_cast<unsigned char>(node_name[i]), static_cast<unsigned char>(name[i])))
            return true;
    *len = i;
    return false;
}

// The decimal digits of v, last digit first (a minus sign last); their count.
size_t reversed_digits(long long v, char digits[24])
{
    size_t count = 0;
    unsigned long long mag = v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    do {
        digits[count++] = static_cast<char>('0' + mag % 10);
        mag /= 10;
    } while (mag != 0);
    if (v < 0)
        digits[count++] = '-';
    return count;
}

// snprintf(out, VEXO_MAX_NAME_SIZE, "%s%d", name, number) without the format
// call: the lookups of first instances run for every property read.
void name_and_number(const char *name, int number, char out[VEXO_MAX_NAME_SIZE])
{
    size_t at = strnlen(name, VEXO_MAX_NAME_SIZE - 1);
    std::memcpy(out, name, at);
    char digits[24];
    size_t count = reversed_digits(number, digits);
    while (count > 0 && at < VEXO_MAX_NAME_SIZE - 1)
        out[at++] = digits[--count];
    out[at] = '\0';
}

// Whether the display name of n equals `name` ignoring case, exactly as
// comparing vexo_display_name(n) with strcasecmp. The display name starts
// with the node name (cut to fit), so the name alone rejects most children
// and only an instance whose name matches has its number printed.
bool display_name_matches(const node *n, const char *name)
{
    if (!n->node_name)
        return name[0] == '\0';
    size_t len = 0;
    if (name_prefix_differs(n->node_name, name, &len))
        return false;
    if (!vexo_is_instance(n))
        return name[len] == '\0';
    // The display name is the node name and the instance number, cut to
    // VEXO_MAX_NAME_SIZE - 1 characters; the number is compared unprinted.
    if (n->node_name[len] != '\0') // a name that fills the display alone
        return name[len] == '\0';
    char digits[24];
    size_t count = reversed_digits(n->u.grp->multi_instance->instance, digits);
    size_t room = VEXO_MAX_NAME_SIZE - 1 - len;
    const char *rest = name + len;
    size_t shown = count < room ? count : room;
    for (size_t i = 0; i < shown; ++i) {
        char c = digits[count - 1 - i];
        if (folded_differ(static_cast<unsigned char>(rest[i]), static_cast<unsigned char>(c)))
            return false;
    }
    return rest[shown] == '\0';
}

// Lowest clear bit of `bits` at or above `from` (a multiple of 8), or -1.
// Whole words and bytes of set bits are stepped over at once; nothing is
// read past byte (max - 1) / 8.
int first_zero_from(const uint8_t *bits, int max, int from)
{
    if (!bits || max <= 0)
        return -1;
    int n = from;
    while (n <= max - 64) {
        uint64_t word;
        std::memcpy(&word, bits + n / 8, sizeof word);
        if (word != ~UINT64_C(0))
            break;
        n += 64;
    }
    while (n <= max - 8 && bits[n / 8] == 0xFF)
        n += 8;
    for (; n < max; ++n)
        if (!(bits[n / 8] & (1u << (n % 8))))
            return n;
    return -1;
}

void release_node(node *n);

void delete_subtree(node *n)
{
    hierarchy *h = hm_find_hierarchy_by_node(n);
    if (!h)
        return;
    hm_shape_changed(); // nodes found before may be freed now
    bool dynamic = get_dynamic_ancester(n) != nullptr || n->node_type == VEXO_NODE_LINK;

    if (n->node_type == VEXO_NODE_LINK && n->u.symlink && n->u.symlink->link_node)
        n->u.symlink->link_node->ref_count--;

    if (is_group(n)) {
        node *c = n->u.grp->next_child;
        while (c != n) {
            node *next = c->next_sibling;
            delete_subtree(c);
            // A child the store does not know stays linked; step over it.
            c = next;
        }
        struct multi_instance *mi = n->u.grp->multi_instance;
        if (mi && mi->instance != -1) {
            node *head = ring_head(n);
            struct multi_instance *pm = instance_of(mi->prev_instance);
            struct multi_instance *nm = instance_of(mi->next_instance);
            if (pm && nm) {
                pm->next_instance = mi->next_instance;
                nm->prev_instance = mi->prev_instance;
            }
            clear_bit(mi->bitfield, mi->max_instance, mi->instance - mi->start_instance);
            // The head goes with the last instance of the ring.
            if (head && head->u.grp->multi_instance->next_instance == head)
                release_head(head);
        }
    }

    if (clear_bit(h->bit_field, h->max_nodes, n->node_tag) == 0 && n->node_tag < h->free_hint)
        h->free_hint = n->node_tag;
    if (!is_top(n) && is_group(n->parent))
        unlink_child(n);
    h->node_dict[n->node_tag] = nullptr;
    n->node_tag = VEXO_NO_TAG;

    if (is_group(n))
        vexo_dfree(n->u.grp->multi_instance);
    if (n->node_type != VEXO_NODE_ACTION)
        vexo_dfree(n->u.data);
    n->u.data = nullptr;
    if (dynamic)
        release_node(n);
}

void release_node(node *n)
{
    vexo_dfree(n->node_name);
    vexo_dfree(n->node_desc);
    vexo_dfree(n);
}

} // namespace

void vexo_copy_text(char *dst, size_t size, const char *src)
{
    if (!src)
        src = "";
    size_t n = strnlen(src, size - 1);
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

// ---------------------------------------------------------------------------
// Hierarchies

int hm_setup_hierarchy(hierarchy *h)
{
    if (!h)
        return 1;
    int slot = table_slot(h);
    if (slot < 0) {
        slot = table_slot(nullptr);
        if (slot < 0) {
            pdebug(VEXO_LOG_CORE, VEXO_LOG_ERROR, "%s:hierarchy table full\n", __func__);
            return 1;
        }
    }
    node **dict = static_cast<node **>(vexo_dcalloc(sizeof(node *) * VEXO_DICT_STEP));
    uint8_t *bits = static_cast<uint8_t *>(vexo_dcalloc(bitmap_bytes(VEXO_DICT_STEP)));
    if (!dict || !bits) {
        vexo_dfree(dict);
        vexo_dfree(bits);
        return 1;
    }
    // A record registered again (after a failed start) gets a fresh dictionary.
    vexo_dfree(h->node_dict);
    vexo_dfree(h->bit_field);
    h->node_dict = dict;
    h->bit_field = bits;
    h->max_nodes = VEXO_DICT_STEP;
    h->free_hint = 0;
    h->persistency_priority = 1;
    persistency_priority = 1;
    if (hierarchy_table[slot] != h) {
        hierarchy_table[slot] = h;
        ++h_count;
    }
    return 0;
}

void hm_release_hierarchy(hierarchy *h)
{
    int slot = table_slot(h);
    if (!h || slot < 0)
        return;
    vexo_dfree(h->node_dict);
    vexo_dfree(h->bit_field);
    h->node_dict = nullptr;
    h->bit_field = nullptr;
    h->max_nodes = 0;
    h->free_hint = 0;
    hierarchy_table[slot] = nullptr;
    --h_count;
}

hierarchy *hm_find_hierarchy(const char *name)
{
    if (!name)
        return nullptr;
    for (int i = 0; i < VEXO_HIERARCHY_SLOTS; ++i)
        if (hierarchy_table[i] && std::strcmp(hierarchy_table[i]->name, name) == 0)
            return hierarchy_table[i];
    return nullptr;
}

hierarchy *hm_find_hierarchy_by_node(node *n)
{
    if (!n)
        return nullptr;
    for (int i = 0; i < VEXO_HIERARCHY_SLOTS; ++i) {
        hierarchy *h = hierarchy_table[i];
        if (h && h->node_dict && n->node_tag >= 0 && n->node_tag < h->max_nodes && h->node_dict[n->node_tag] == n)
            return h;
    }
    return nullptr;
}

node *hm_get_root(const char *name)
{
    hierarchy *h = hm_find_hierarchy(name);
    return h ? h->root : nullptr;
}

node *get_node(node_tag_t tag)
{
    hierarchy *h = hm_find_hierarchy(vexo_current_hierarchy);
    if (!h || !h->node_dict || tag < 0 || tag >= h->max_nodes)
        return nullptr;
    return h->node_dict[tag];
}

int init_hm()
{
    return init_hm_data();
}

void exit_hm()
{
    exit_hm_data();
    for (int i = 0; i < VEXO_HIERARCHY_SLOTS; ++i) {
        hierarchy *h = hierarchy_table[i];
        if (!h)
            continue;
        if (h->root)
            delete_subtree(h->root);
        hm_release_hierarchy(h);
    }
    h_count = 0;
}

// ---------------------------------------------------------------------------
// Nodes

int vexo_is_instance(const node *n)
{
    struct multi_instance *mi = instance_of(n);
    return mi && mi->instance != -1;
}

node *vexo_resolve_link(node *n)
{
    for (int hops = 0; n && hops <= kMaxLinkHops; ++hops) {
        if (n->node_type != VEXO_NODE_LINK)
            return n;
        n = n->u.symlink ? n->u.symlink->link_node : nullptr;
    }
    return nullptr;
}

void vexo_display_name(const node *n, char out[VEXO_MAX_NAME_SIZE])
{
    out[0] = '\0';
    if (!n || !n->node_name)
        return;
    if (vexo_is_instance(n))
        snprintf(out, VEXO_MAX_NAME_SIZE, "%s%d", n->node_name, n->u.grp->multi_instance->instance);
    else
        snprintf(out, VEXO_MAX_NAME_SIZE, "%s", n->node_name);
}

int node_exists(node *n)
{
    if (!n || is_top(n) || !is_group(n->parent) || !n->node_name)
        return 0;
    node *parent = n->parent;
    bool instance = vexo_is_instance(n);
    bool link = n->node_type == VEXO_NODE_LINK;
    if (!instance && !link)
        return 0;
    for (node *c = parent->u.grp->next_child; c != parent; c = c->next_sibling) {
        if (c == n || c->node_type != n->node_type || !c->node_name || strcasecmp(c->node_name, n->node_name) != 0)
            continue;
        if (instance && vexo_is_instance(c) &&
            c->u.grp->multi_instance->instance == n->u.grp->multi_instance->instance)
            return 1;
        if (link && c->u.symlink && n->u.symlink && c->u.symlink->link_node == n->u.symlink->link_node)
            return 1;
    }
    return 0;
}

node_tag_t add_node(node *n, hierarchy *h)
{
    if (!n || !h || !h->node_dict || !h->bit_field)
        return VEXO_NO_TAG;
    if (node_exists(n))
        return VEXO_NO_TAG;
    // A parent must be a registered group; a kind record must be there.
    if (!is_top(n) && (!is_group(n->parent) || !hm_find_hierarchy_by_node(n->parent)))
        return VEXO_NO_TAG;
    if (!n->u.data)
        return VEXO_NO_TAG;

    // The search starts at the byte of the hint: the tag is still the lowest free one.
    if (h->free_hint < 0 || h->free_hint > h->max_nodes)
        h->free_hint = 0;
    int tag;
    while ((tag = first_zero_from(h->bit_field, h->max_nodes, h->free_hint & ~7)) < 0) {
        if (h->max_nodes > VEXO_MAX_NODE_LIMIT - 1) {
            pdebug(VEXO_LOG_CORE, VEXO_LOG_FATAL, "Hierarchy FULL!\n");
            return VEXO_NO_TAG;
        }
        if (reinit_hm(h) != 0) {
            pdebug(VEXO_LOG_CORE, VEXO_LOG_FATAL, "%s:cannot grow the tag dictionary past %d nodes\n", __func__,
                   h->max_nodes);
            return VEXO_NO_TAG;
        }
    }
    if (tag > h->max_node_limit)
        pdebug(VEXO_LOG_CORE, VEXO_LOG_ERROR, "BUG %d\n", tag);

    node *parent = is_top(n) ? nullptr : n->parent;
    node *after = parent ? parent->u.grp->prev_child : nullptr; // append by default
    struct multi_instance *mi = instance_of(n);
    if (parent && mi && mi->instance != -1) {
        node *other = any_instance(parent, n->node_name, n);
        node *head = other ? ring_head(other) : nullptr;
        if (other && !head)
            return VEXO_NO_TAG; // a broken ring; refuse rather than make a second one
        if (head) {
            struct multi_instance *hm = head->u.grp->multi_instance;
            node *stop = hm->next_instance;
            while (stop != head && stop->u.grp->multi_instance->instance <= mi->instance)
                stop = stop->u.grp->multi_instance->next_instance;
            after = (stop == head) ? hm->prev_instance : stop->prev_sibling;
            struct multi_instance *sm = stop->u.grp->multi_instance;
            node *prev = sm->prev_instance;
            mi->next_instance = stop;
            mi->prev_instance = prev;
            prev->u.grp->multi_instance->next_instance = n;
            sm->prev_instance = n;
        } else {
            head = make_head(mi);
            if (!head)
                return VEXO_NO_TAG;
            head->u.grp->multi_instance->next_instance = n;
            head->u.grp->multi_instance->prev_instance = n;
            mi->next_instance = head;
            mi->prev_instance = head;
        }
    }

    if (n->node_type == VEXO_NODE_GROUP) {
        n->u.grp->next_child = n;
        n->u.grp->prev_child = n;
    }
    if (parent) {
        link_child_after(parent, after, n);
    } else {
        n->next_sibling = n;
        n->prev_sibling = n;
    }
    n->node_tag = tag;
    set_bit(h->bit_field, h->max_nodes, tag);
    h->free_hint = tag + 1;
    h->node_dict[tag] = n;
    return tag;
}

VEXO_status_t delete_node(node *n)
{
    if (!n)
        return VEXO_STATUS_FAILURE;
    if (n->ref_count != 0)
        return VEXO_STATUS_IN_USE;
    delete_subtree(n);
    hm_tree_changed();
    return VEXO_STATUS_SUCCESS;
}

node *create_link(node *parent, const char *name, node *destination, node *context, node *action,
                  const char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    hierarchy *h = hm_find_hierarchy_by_node(parent);
    if (!h || !name || !destination)
        return nullptr;
    node *n = static_cast<node *>(vexo_dcalloc(sizeof(node)));
    ln *l = static_cast<ln *>(vexo_dcalloc(sizeof(ln)));
    char *nm = vexo_dstrdup(name);
    char *desc = vexo_dstrdup(destination->node_desc);
    if (!n || !l || !nm || !desc || std::strlen(nm) >= VEXO_MAX_NAME_SIZE) {
        vexo_dfree(n);
        vexo_dfree(l);
        vexo_dfree(nm);
        vexo_dfree(desc);
        return nullptr;
    }
    n->node_type = VEXO_NODE_LINK;
    n->node_name = nm;
    n->node_desc = desc;
    n->parent = parent;
    n->u.symlink = l;
    l->link_node = destination;
    l->persistency_info.context = context;
    l->persistency_info.action = action;
    if (params)
        std::memcpy(l->persistency_info.params, params, sizeof l->persistency_info.params);
    if (add_node(n, h) < 0) {
        release_node(n);
        vexo_dfree(l);
        return nullptr;
    }
    if (action)
        l->persistency_info.priority = persistency_priority++;
    destination->ref_count++;
    return n;
}

node *get_dynamic_ancester(node *n)
{
    for (int depth = 0; n && depth < 4096; ++depth) {
        if (is_top(n))
            return nullptr;
        if (vexo_is_instance(n))
            return n;
        n = n->parent;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Lookups

namespace {

// The first child of `p` from `from` on that internal_get_node accepts.
node *match_from(node *p, node *from, const char *name, int type)
{
    for (node *c = from; c != p; c = c->next_sibling) {
        if (!display_name_matches(c, name))
            continue;
        node *target = vexo_resolve_link(c);
        int kind = target ? target->node_type : 0;
        if (type != 0 && kind != type)
            continue;
        return c;
    }
    return nullptr;
}

} // namespace

node *internal_get_node(node *parent, const char *name, int type)
{
    node *p = vexo_resolve_link(parent);
    if (!is_group(p) || !name)
        return nullptr;
    if (p->u.grp->next_child == p)
        return nullptr;
    if (node *c = match_from(p, p->u.grp->next_child, name, type))
        return c;
    if (type != VEXO_NODE_ACTION)
        return nullptr;
    // Actions of scope 1 under ROOT are found from every group.
    node *root = p;
    for (int depth = 0; root && !is_top(root) && depth < 4096; ++depth)
        root = root->parent;
    if (!is_group(root))
        return nullptr;
    for (node *c = root->u.grp->next_child; c != root; c = c->next_sibling)
        if (c->node_type == VEXO_NODE_ACTION && c->u.act && c->u.act->scope == 1 && c->node_name &&
            strcasecmp(c->node_name, name) == 0)
            return c;
    return nullptr;
}

node *get_first_instance(node *parent, const char *name)
{
    if (!is_group(parent) || !name)
        return nullptr;
    // The answer is the first child whose display name matches the lowest
    // instance's. A sibling before the group's first instance can only match
    // when its name starts with the same letter ignoring case; without one,
    // the lookup goes on from that instance instead of from the front.
    const unsigned char name0 = static_cast<unsigned char>(name[0]);
    bool earlier_may_match = name0 == '\0';
    for (node *c = parent->u.grp->next_child; c != parent; c = c->next_sibling) {
        if (!c->node_name)
            continue;
        const unsigned char first = static_cast<unsigned char>(c->node_name[0]);
        if (first != name0) {
            if (first == '\0') // an instance's display name is its number alone
                earlier_may_match = true;
            else if (!earlier_may_match && !folded_differ(first, name0))
                earlier_may_match = true;
            continue;
        }
        if (!vexo_is_instance(c) || std::strcmp(c->node_name, name) != 0) {
            earlier_may_match = true;
            continue;
        }
        struct multi_instance *mi = c->u.grp->multi_instance;
        int bit = get_first_one(mi->bitfield, mi->max_instance);
        if (bit < 0)
            return nullptr;
        char display[VEXO_MAX_NAME_SIZE];
        name_and_number(name, mi->start_instance + bit, display);
        return match_from(parent, earlier_may_match ? parent->u.grp->next_child : c, display, VEXO_NODE_GROUP);
    }
    return nullptr;
}

namespace {

VEXO_status_t call_property_node(node *p, char *value, int type)
{
    if (!value || !p || p->node_type != VEXO_NODE_PROPERTY || !p->u.prop)
        return VEXO_STATUS_FAILURE;
    if (p->u.prop->func)
        return p->u.prop->func(p, value, type);
    return handle_internal_property(p, value, type);
}

VEXO_status_t call_property(node *parent, const char *name, char *value, int type)
{
    if (!value)
        return VEXO_STATUS_FAILURE;
    return call_property_node(vexo_resolve_link(internal_get_node(parent, name, VEXO_NODE_PROPERTY)), value, type);
}

} // namespace

VEXO_status_t internal_get_property(node *parent, const char *name, char *value)
{
    return call_property(parent, name, value, 0);
}

VEXO_status_t internal_read_property_node(node *property_node, char *value)
{
    return call_property_node(property_node, value, 0);
}

VEXO_status_t internal_set_property(node *parent, const char *name, char *value)
{
    return call_property(parent, name, value, 1);
}

int SET_CACHE_PROP_VAL(node *property_node, const char *format, ...)
{
    if (!property_node || property_node->node_type != VEXO_NODE_PROPERTY || !property_node->u.prop || !format)
        return -1;
    char before[VEXO_VALUE_SIZE];
    std::memcpy(before, property_node->u.prop->val, sizeof before);
    va_list ap;
    va_start(ap, format);
    int n = vsnprintf(property_node->u.prop->val, VEXO_VALUE_SIZE, format, ap);
    va_end(ap);
    if (std::memcmp(before, property_node->u.prop->val, sizeof before) != 0)
        hm_tree_changed();
    return n;
}

VEXO_param *vexo_internal_get_param(node *action_node, const char *name)
{
    if (!action_node || !name || action_node->node_type != VEXO_NODE_ACTION || !action_node->u.act)
        return nullptr;
    VEXO_param_info &p = action_node->u.act->p;
    for (int i = 0; i < p.param_count && i < VEXO_MAX_PARAMS; ++i)
        if (strcasecmp(p.params[i].param_name, name) == 0)
            return &p.params[i];
    return nullptr;
}

VEXO_status_t handle_internal_property(node *property_node, char *value, int type)
{
    if (!property_node || property_node->node_type != VEXO_NODE_PROPERTY || !property_node->u.prop || !value)
        return VEXO_STATUS_SUCCESS;
    property *p = property_node->u.prop;
    if (type == 0)
        vexo_copy_text(value, VEXO_VALUE_SIZE, p->val);
    else if (type == 1) {
        vexo_copy_text(p->val, VEXO_VALUE_SIZE, value);
        hm_tree_changed();
    }
    return VEXO_STATUS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Bit fields

int get_first_zero(const uint8_t *bits, int max)
{
    return first_zero_from(bits, max, 0);
}

int get_first_one(const uint8_t *bits, int max)
{
    if (!bits)
        return -1;
    for (int n = 0; n < max; ++n)
        if (bits[n / 8] & (1u << (n % 8)))
            return n;
    return -1;
}

int set_bit(uint8_t *bits, int max, int n)
{
    if (!bits || n < 0 || n >= max)
        return -1;
    bits[n / 8] = static_cast<uint8_t>(bits[n / 8] | (1u << (n % 8)));
    return 0;
}

int clear_bit(uint8_t *bits, int max, int n)
{
    if (!bits || n < 0 || n >= max)
        return -1;
    bits[n / 8] = static_cast<uint8_t>(bits[n / 8] & ~(1u << (n % 8)));
    return 0;
}

int is_set(const uint8_t *bits, int max, int n)
{
    if (!bits || n < 0 || n >= max)
        return -1;
    return bits[n / 8] & (1u << (n % 8));
}

uint8_t *alloc_bitfield(int n)
{
    if (n <= 0)
        return nullptr;
    return static_cast<uint8_t *>(vexo_dcalloc((static_cast<size_t>(n) + 7) / 8));
}

void free_bitfield(uint8_t *bits)
{
    vexo_dfree(bits);
}

// ---------------------------------------------------------------------------
// Comma lists

char *vexo_internal_list_search(char *list, const char *value, int flag)
{
    if (!list || !value || (flag != 0 && flag != 1))
        return nullptr;
    char work[VEXO_VALUE_SIZE];
    vexo_copy_text(work, sizeof work, list);
    size_t len = std::strlen(work);
    size_t start = 0;
    for (size_t i = 0; i <= len; ++i) {
        if (work[i] != ',' && work[i] != '\0')
            continue;
        work[i] = '\0';
        const char *entry = work + start;
        if (flag == 1 ? strcasecmp(entry, value) == 0 : std::strcmp(entry, value) == 0)
            return list + start;
        start = i + 1;
    }
    return nullptr;
}

int vexo_internal_list_del(char *list, const char *value, int flag)
{
    char *entry = vexo_internal_list_search(list, value, flag);
    if (!entry)
        return 1;
    size_t start = static_cast<size_t>(entry - list);
    size_t len = std::strcspn(entry, ",");
    bool more = entry[len] == ',';
    size_t total = std::strlen(list);
    if (start == 0 && !more)
        list[0] = '\0';
    else if (start == 0) // first of several: the entry and its comma
        std::memmove(list, entry + len + 1, total - len); // total - (len + 1) characters and the terminator
    else if (more) // in the middle: the comma before it and the entry
        std::memmove(list + start - 1, entry + len, total - (start + len) + 1);
    else // the last of several
        list[start - 1] = '\0';
    return 0;
}

int vexo_internal_list_add(char *list, const char *value, int flag)
{
    if (!list || !value)
        return 1;
    if (vexo_internal_list_search(list, value, flag))
        return 1;
    size_t cur = strnlen(list, VEXO_VALUE_SIZE);
    size_t add = std::strlen(value) + (cur ? 1 : 0);
    if (cur + add > VEXO_VALUE_SIZE - 1)
        return 1;
    if (cur)
        list[cur++] = ',';
    std::memcpy(list + cur, value, std::strlen(value) + 1);
    return 0;
}
