// The generic group builder, the root of the hierarchy and its start and stop.
//
// Every repeated group type of the tree is described by one hm_group_type:
// its name, instance limit, refresh handler, static instance bit field and a
// node table listing, in creation order, the fixed subgroups, properties and
// action nodes of one instance. The builder of the type (initialize_<Group>)
// is a one-line call of hm_build_group. A node table looks like this:
//
//   static action ROOT_Widget_Reset_action = {do_Reset, 0, {1, {
//       {1, "Mode", "reset mode", VEXO_TYPE_LIST, "Soft,Hard", 4, 4}}}};
//   static const hm_node_row Widget_rows[] = {
//       HM_PROPERTY("SerialNumber", "serial number", VEXO_PROP_READONLY,
//                   VEXO_TYPE_STRING, 1, 32, "1", nullptr, handle_internal_property),
//       HM_GROUP("PCI", "PCI location", nullptr),
//         HM_PROPERTY("BusNumber", ...),
//       HM_END(),
//       HM_ACTION("Reset", "resets the widget", &ROOT_Widget_Reset_action),
//   };
//   static uint8_t Widget_bits[HM_BIT_FIELD_BYTES(16, 1)];
//   static const hm_group_type Widget_type = {"Widget", "a widget", 16, 0,
//       nullptr, Widget_bits, sizeof Widget_bits, Widget_rows, HM_ROW_COUNT(Widget_rows)};
//   node *initialize_Widget(node *parent, node *context, node *action, char params[][256])
//   { return hm_build_group(&Widget_type, parent, context, action, params); }
#ifndef HLVD_MGMT_VEXO_CORE_HM_BUILDER_H
#define HLVD_MGMT_VEXO_CORE_HM_BUILDER_H

#include <cstddef>
#include <cstdint>

#include "mgmt/vexo/core/hm_types.h"

// Kinds of the rows of a node table.
#define HM_ROW_GROUP 1    // a fixed subgroup; the rows up to its HM_ROW_END are its content
#define HM_ROW_PROPERTY 2
#define HM_ROW_ACTION 3
#define HM_ROW_END 4      // closes the innermost open subgroup
// Fixed subgroups may nest this deep inside one instance.
#define HM_MAX_TABLE_DEPTH 16

struct hm_node_row {
    int32_t kind;
    const char *name; // at most 34 characters
    const char *desc; // at most 1779 characters
    // HM_ROW_PROPERTY
    int32_t flag;
    char datatype;
    uint32_t minval;
    uint32_t maxval;
    const char *default_val; // cached value the builder writes; null: empty
    const char *list;        // allowed values of a list; null: empty
    property_function func;
    // HM_ROW_GROUP
    group_function group_handler;
    // HM_ROW_ACTION: the static record shared by every instance
    action *act;
};

constexpr hm_node_row HM_PROPERTY(const char *name, const char *desc, int32_t flag, char datatype,
                                  uint32_t minval, uint32_t maxval, const char *default_val,
                                  const char *list, property_function func)
{
    return hm_node_row{HM_ROW_PROPERTY, name, desc, flag, datatype, minval, maxval, default_val, list,
                       func, nullptr, nullptr};
}

constexpr hm_node_row HM_GROUP(const char *name, const char *desc, group_function handler)
{
    return hm_node_row{HM_ROW_GROUP, name, desc, 0, 0, 0, 0, nullptr, nullptr, nullptr, handler, nullptr};
}

constexpr hm_node_row HM_ACTION(const char *name, const char *desc, action *act)
{
    return hm_node_row{HM_ROW_ACTION, name, desc, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr, act};
}

constexpr hm_node_row HM_END()
{
    return hm_node_row{HM_ROW_END, nullptr, nullptr, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr};
}

#define HM_ROW_COUNT(rows) (sizeof(rows) / sizeof((rows)[0]))
// Bytes of a type's bit field: one slice of ceil(max_instance / 8) bytes per
// bucket; the buckets are the product of the max_instance values of the
// repeated groups above the type (1 when there is none).
#define HM_BIT_FIELD_BYTES(max_instance, buckets) ((((max_instance) + 7) / 8) * (buckets))

struct hm_group_type {
    const char *name;
    const char *desc;
    uint16_t max_instance;
    uint16_t start_instance;
    group_function group_handler; // refresh handler of the instances, or null
    uint8_t *bit_field;           // static, zero at load
    size_t bit_field_size;        // bytes of bit_field
    const hm_node_row *rows;
    size_t row_count;
};

// Builds the lowest free instance of `type` under `parent_node` with its whole
// node table. `context`, `action` and `params` are the action that asked for
// the group (null when built by enumeration or refresh); they go into the
// group's creation record. Answers the group, or null when no instance number
// is free or the build failed (nothing of the group is then left).
node *hm_build_group(const hm_group_type *type, node *parent_node, node *context, node *action,
                     char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// The one hierarchy record and the static root nodes (tags 0 to 3).
extern hierarchy hierarchy_name_;
extern node ROOT;
extern node ROOT_VEXOServiceVersion;
extern node ROOT_VEXOHierarchyVersion;
extern node ROOT_VEXODebugLevel;

// New-tag recording of the running action: the caller's array (null outside
// actions) and the number of tags stored in it.
extern node_tag_t *vexo_internal_new_tags;
extern int new_tag_index;

// Registers the hierarchy, the root and its properties, then starts the back
// end; 0, or 1 with nothing left registered.
int init_hm_data();
// Stops the back end.
void exit_hm_data();

#endif
