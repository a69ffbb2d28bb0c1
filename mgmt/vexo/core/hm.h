// The hierarchy store: the tag dictionary, node registration and deletion,
// instance lists of repeated groups, and the name lookups the handlers use.
//
// There is one hierarchy per process; its root ROOT has tag 0. The store
// takes no lock: callers run one at a time.
#ifndef HLVD_MGMT_VEXO_CORE_HM_H
#define HLVD_MGMT_VEXO_CORE_HM_H

#include <cstddef>
#include <cstdint>

#include "mgmt/vexo/core/hm_types.h"

#define VEXO_HIERARCHY_SLOTS 5
#define VEXO_DICT_STEP 1024
#define VEXO_MAX_NODE_LIMIT 239343096

extern hierarchy *hierarchy_table[VEXO_HIERARCHY_SLOTS];
extern int h_count;
// Creation number of the next group or link made by an action.
extern uint32_t persistency_priority;
// Changes whenever a node is linked into or out of the tree, an instance is
// numbered, or a property's cached value changes; never 0. A value derived
// from the tree stays good while this has not moved (group::derived_value).
extern uint32_t hm_tree_generation;
void hm_tree_changed();
// Changes whenever a node is linked into or out of the tree or freed (and
// moves hm_tree_generation too); never 0. A node found by name stays the one
// found while this has not moved (group::found_node).
extern uint32_t hm_shape_generation;
void hm_shape_changed();
// Name of the hierarchy that tag lookups use.
extern char vexo_current_hierarchy[20];

// What snprintf(dst, size, "%s", src) leaves (a null src as ""), without the
// format call: values and names are copied on every property read.
void vexo_copy_text(char *dst, size_t size, const char *src);
// Whether two different bytes fold apart for certain without asking the
// locale: an ASCII byte folds only to itself, its case partner (0x20 apart)
// or, in some locales, out of ASCII; so two ASCII bytes that are no case
// pair never fold together. Every other pair is left to tolower.
inline bool vexo_fold_apart(unsigned char a, unsigned char b)
{
    return ((a | b) & 0x80) == 0 && (a ^ b) != 0x20;
}

// Hierarchies.
// 0 when `h` is registered with a fresh, empty dictionary of 1024 slots;
// 1 when memory is short or the table is full. Registering a record that is
// already registered gives it a fresh dictionary in its own slot.
int hm_setup_hierarchy(hierarchy *h);
// Releases the dictionary of `h` and takes it out of the table (the tree
// below its root must already be gone).
void hm_release_hierarchy(hierarchy *h);
hierarchy *hm_find_hierarchy(const char *name);
hierarchy *hm_find_hierarchy_by_node(node *n);
node *hm_get_root(const char *name);
// The node of `tag` in the current hierarchy, or null.
node *get_node(node_tag_t tag);
// Builds the hierarchy (root, root properties, back-end start); 0 or 1.
int init_hm();
// Stops the back end, deletes every tree and releases every dictionary.
void exit_hm();

// Nodes.
// Registers a filled-in node and links it under its parent; its tag, or -1.
node_tag_t add_node(node *n, hierarchy *h);
// 1 when n's parent already has a child that n would duplicate.
int node_exists(node *n);
// Removes n with its subtree: 0; 4 while links point at n; 1 for null.
VEXO_status_t delete_node(node *n);
node *create_link(node *parent, const char *name, node *destination, node *context, node *action,
                  const char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// n when it is a repeated-group instance, else its nearest such ancestor below ROOT.
node *get_dynamic_ancester(node *n);

// Helpers on single nodes.
// 1 when n is an instance of a repeated group (not a list head).
int vexo_is_instance(const node *n);
// The node a link chain ends at (n itself when it is no link); null for a
// broken or circular chain.
node *vexo_resolve_link(node *n);
// The display name of n (name and instance number for an instance), cut to
// 34 characters.
void vexo_display_name(const node *n, char out[VEXO_MAX_NAME_SIZE]);

// Lookups by name.
// Child of `parent` whose display name equals `name` ignoring case and whose
// kind (links followed) equals `type` (0: any kind).
node *internal_get_node(node *parent, const char *name, int type);
// Lowest-numbered instance of the repeated group `name` (case counts).
node *get_first_instance(node *parent, const char *name);
// Reads (writes) the child property `name` through its handler; 1 when there
// is no such property. No validation, no access check.
VEXO_status_t internal_get_property(node *parent, const char *name, char *value);
// internal_get_property of a property node already found (links resolved).
VEXO_status_t internal_read_property_node(node *property_node, char *value);
VEXO_status_t internal_set_property(node *parent, const char *name, char *value);
// Formats into the property's cached value (cut to 255 characters); the
// formatting's count, or -1 when the node is no property.
int SET_CACHE_PROP_VAL(node *property_node, const char *format, ...) __attribute__((format(printf, 2, 3)));
VEXO_param *vexo_internal_get_param(node *action_node, const char *name);

// The handler of a plain cached value: type 0 copies the cached value into
// `value`, type 1 copies `value` into the cached value; 0.
VEXO_status_t handle_internal_property(node *property_node, char *value, int type);

// Bit fields: bit n is bit n % 8 of byte n / 8.
int get_first_zero(const uint8_t *bits, int max);
int get_first_one(const uint8_t *bits, int max);
int set_bit(uint8_t *bits, int max, int n);
int clear_bit(uint8_t *bits, int max, int n);
int is_set(const uint8_t *bits, int max, int n);
uint8_t *alloc_bitfield(int n);
void free_bitfield(uint8_t *bits);

// Comma-separated lists of at most 255 characters. flag 1 compares ignoring
// case, flag 0 exactly.
char *vexo_internal_list_search(char *list, const char *value, int flag);
int vexo_internal_list_del(char *list, const char *value, int flag);
int vexo_internal_list_add(char *list, const char *value, int flag);

#endif
