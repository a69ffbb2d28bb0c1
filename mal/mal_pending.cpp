#include "mal/mal_pending.h"

RM_STATUS GenerateEfdDump(node_tag_t adapter, int mode, const char *path, int reserved)
{
    (void)adapter;
    (void)mode;
    (void)reserved;
    if (!path)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    // The event-log read through the management API is not built yet.
    return RM_STATUS_ERROR_FEATURE_NOT_SUPPORTED;
}
