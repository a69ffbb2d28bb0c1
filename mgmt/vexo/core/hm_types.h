// Records of the management hierarchy: nodes and their kind records, action
// parameters, the hierarchy record, and the answer records of the API.
//
// Node tables (builders), handlers of the back end and the client layer all
// work on these records.
#ifndef HLVD_MGMT_VEXO_CORE_HM_TYPES_H
#define HLVD_MGMT_VEXO_CORE_HM_TYPES_H

#include <cstdint>

#include "mgmt/vexo/core/vexo_status.h"

// A node's slot in the tag dictionary; -1 stands for no node.
typedef int32_t node_tag_t;
#define VEXO_NO_TAG (-1)

// Node kinds (node::node_type).
#define VEXO_NODE_GROUP 1
#define VEXO_NODE_PROPERTY 2
#define VEXO_NODE_ACTION 3
#define VEXO_NODE_LINK 4

// Datatypes of properties and action parameters.
#define VEXO_TYPE_STRING 0
#define VEXO_TYPE_INTEGER 1
#define VEXO_TYPE_IP 2
#define VEXO_TYPE_SUBNETMASK 3
#define VEXO_TYPE_LIST 4

// Access flags of a property. Read-only is tested as bit 0x1; bit 0x8 keeps a
// property off the writable list of VEXO_get_child_tags type 7.
#define VEXO_PROP_READONLY 1
#define VEXO_PROP_READWRITE 2
#define VEXO_PROP_HIDDEN_WRITE 8

// First byte of an action parameter that is not given.
#define VEXO_PARAM_ABSENT 0xFF

// Sizes of texts (buffers, terminator included).
#define VEXO_MAX_NAME_SIZE 35
#define VEXO_MAX_DESC_SIZE 1780
#define VEXO_MAX_PARAMS 6
#define VEXO_VALUE_SIZE 256
#define VEXO_MAX_CHILDREN 1077
#define VEXO_MAX_INSTANCES 1024
// Entries of a caller's new-tag array for VEXO_do_action.
#define VEXO_MAX_NEW_TAGS 4097

struct node;
struct group;
struct property;
struct action;
struct ln;

// Handler kinds, bound in the nodes.
// Property: type 0 reads the current value as text into `value` (256 bytes),
// type 1 applies the already validated text in `value`.
typedef VEXO_status_t (*property_function)(node *property_node, char *value, int type);
// Group: re-reads the group's children from the device.
typedef VEXO_status_t (*group_function)(node *group_node);
// Action: runs on the context group with six validated parameter texts.
typedef VEXO_status_t (*action_function)(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// One parameter definition of an action.
struct VEXO_param {
    char mandatory; // non-zero: the caller must give it
    char param_name[VEXO_MAX_NAME_SIZE];
    char param_desc[VEXO_MAX_DESC_SIZE];
    char datatype;
    char list[VEXO_VALUE_SIZE]; // allowed values of a list
    int32_t minval;
    int32_t maxval;
};

// The parameter table of an action.
struct VEXO_param_info {
    int32_t param_count; // 0 to 6
    VEXO_param params[VEXO_MAX_PARAMS];
};

// How a group or link was created.
struct persistency {
    node *context;    // the group the creating action ran on
    node *action;     // the creating action node; null when not made by an action
    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
    uint32_t priority; // creation number when `action` is set, else 0
};

// Instance bookkeeping of one instance of a repeated group. The instances of
// one group under one parent and a list head (instance -1) form a ring.
struct multi_instance {
    uint8_t *bitfield; // this parent's slice of the group type's bit field
    node *next_instance;
    node *prev_instance;
    uint16_t max_instance;
    uint16_t start_instance;
    int32_t instance; // start_instance + bit index; -1 for the list head
};

struct group {
    node *next_child; // first child; the group node itself when empty
    node *prev_child; // last child; the group node itself when empty
    group_function group_handler;
    struct multi_instance *multi_instance; // null for a fixed group
    persistency persistency_info;
    void *handle; // the back end's record; the store never touches it
    // One value the back end derives from the group's subtree, valid while
    // hm_tree_generation still equals derived_generation (0: none).
    uint32_t derived_generation;
    int32_t derived_value;
    // One node the back end finds by name below the group, valid while
    // hm_shape_generation still equals found_shape (0: none).
    node *found_node;
    uint32_t found_shape;
};

struct property {
    char val[VEXO_VALUE_SIZE]; // cached value
    property_function func;
    int32_t flag;
    char datatype;
    char list[VEXO_VALUE_SIZE];
    uint32_t minval; // handed to validation as signed
    uint32_t maxval;
};

// One static record per action, shared by every group instance carrying it.
struct action {
    action_function func; // null: the API answers 1
    char scope;           // 1: also found by name from any group (placed under ROOT)
    VEXO_param_info p;
};

struct ln {
    node *link_node; // the target
    persistency persistency_info;
};

struct node {
    node_tag_t node_tag;
    int32_t node_type;
    char *node_name; // at most 34 characters
    char *node_desc; // at most 1779 characters
    node *parent;    // ROOT's parent is ROOT
    node *next_sibling;
    node *prev_sibling;
    int32_t ref_count; // links pointing at this node
    union {
        group *grp;
        property *prop;
        ln *symlink;
        action *act;
        void *data;
    } u;
};

struct hierarchy {
    int (*init_hm)();
    void (*exit_hm)();
    node *root;
    char name[20];
    int32_t max_nodes;
    node **node_dict;
    uint8_t *bit_field;
    int32_t persistency_priority;
    int32_t flags;
    int32_t max_node_limit;
    int32_t vexo_max_desc_size;
    int32_t vexo_max_name_size;
    int32_t vexo_max_params;
    int32_t vexo_max_children;
    int32_t vexo_max_instances;
    // Every tag below this one is in use; the search for a free tag starts here.
    int32_t free_hint;
};

// Answer records of the API.
struct VEXO_node_info {
    char node_desc[VEXO_MAX_DESC_SIZE];
    char node_type;
    char data_type;
    int32_t minval;
    int32_t maxval;
};

struct VEXO_persistency_info {
    node_tag_t action;
    node_tag_t context;
    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
};

#endif
