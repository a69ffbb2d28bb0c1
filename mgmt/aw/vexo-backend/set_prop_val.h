// Writing cached property values from the back end.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_SET_PROP_VAL_H
#define HLVD_MGMT_AW_VEXO_BACKEND_SET_PROP_VAL_H

#include "mgmt/vexo/core/hm_types.h"

// Formats into the cached value (at most 255 characters) of the property
// `name` below `group_node`, without validation and without calling the
// property's handler. 0, or 1 when there is no such property.
VEXO_status_t set_prop_val(node *group_node, const char *name, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

#endif
