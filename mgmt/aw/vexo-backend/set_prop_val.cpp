#include "mgmt/aw/vexo-backend/set_prop_val.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "mgmt/vexo/core/hm.h"

VEXO_status_t set_prop_val(node *group_node, const char *name, const char *format, ...)
{
    node *p = vexo_resolve_link(internal_get_node(group_node, name, VEXO_NODE_PROPERTY));
    if (!p || p->node_type != VEXO_NODE_PROPERTY || !p->u.prop || !format)
        return VEXO_STATUS_FAILURE;
    char before[VEXO_VALUE_SIZE];
    std::memcpy(before, p->u.prop->val, sizeof before);
    va_list ap;
    va_start(ap, format);
    vsnprintf(p->u.prop->val, VEXO_VALUE_SIZE, format, ap);
    va_end(ap);
    if (std::memcmp(before, p->u.prop->val, sizeof before) != 0)
        hm_tree_changed();
    return VEXO_STATUS_SUCCESS;
}
