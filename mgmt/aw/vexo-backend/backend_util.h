// Small helpers the back end's handlers share: the function that stands for
// an adapter, the driver an adapter-level command goes through, and the
// answer of a handler from its property's cached value.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_BACKEND_UTIL_H
#define HLVD_MGMT_AW_VEXO_BACKEND_BACKEND_UTIL_H

#include <cstdio>

#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/vexo_mailbox.h"
#include "mgmt/vexo/core/hm.h"

// The adapter's first iSCSI function, else its first NIC function.
inline node *target_function(node *adapter)
{
    if (!adapter)
        return nullptr;
    node *f = get_first_instance(adapter, "iSCSIPhysicalHBA");
    return f ? f : get_first_instance(adapter, "NICPhysicalHBA");
}

// Instance number of a repeated group (0 for any other node).
inline int instance_number(const node *n)
{
    return vexo_is_instance(n) ? n->u.grp->multi_instance->instance : 0;
}

// Driver kind of a command for the adapter as a whole.
inline int adapter_driver(node *adapter)
{
    return get_the_protocol(instance_number(adapter));
}

// Copies the property's cached value into a handler's answer.
inline void answer_cached(node *property, char *value)
{
    if (property && value && property->node_type == VEXO_NODE_PROPERTY && property->u.prop)
        std::snprintf(value, VEXO_VALUE_SIZE, "%.*s", VEXO_VALUE_SIZE - 1, property->u.prop->val);
}

#endif
