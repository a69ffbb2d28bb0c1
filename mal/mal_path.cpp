#include "mal/mal_path.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "mal/mal_core.h"
#include "mgmt/vexo/core/vexo_api.h"

namespace {

bool is_separator(char c)
{
    return c == '/' || c == '\\';
}

// The library's last status code after a failed call; 0 when it cannot be read.
VEXO_status_t last_status_code()
{
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    if (MAL_get_last_status(&code, text) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_SUCCESS;
    return code;
}

} // namespace

RM_STATUS mal_split_path(const char *path, char copy[MAL_PATH_SIZE], char *elements[MAL_PATH_MAX_ELEMENTS],
                         int *count)
{
    *count = 0;
    if (!path || !is_separator(path[0]))
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    size_t len = strnlen(path, MAL_PATH_SIZE);
    if (len < 3 || len >= MAL_PATH_SIZE)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    std::memcpy(copy, path, len + 1);
    // Every element follows a separator, so a path of MAL_PATH_SIZE - 1
    // characters has fewer than MAL_PATH_MAX_ELEMENTS of them.
    char *p = copy;
    while (*p) {
        while (is_separator(*p))
            *p++ = '\0';
        if (!*p)
            break;
        elements[(*count)++] = p;
        while (*p && !is_separator(*p))
            ++p;
    }
    return *count > 0 ? RM_STATUS_OK : RM_STATUS_ERROR_INVALID_ARGUMENT;
}

RM_STATUS mal_split_param(const char *text, char name[VEXO_MAX_NAME_SIZE], char value[VEXO_VALUE_SIZE])
{
    if (!text)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    size_t n = 0;
    while (n < VEXO_MAX_NAME_SIZE && text[n] && text[n] != '=')
        ++n;
    if (n == 0 || n == VEXO_MAX_NAME_SIZE || text[n] != '=')
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    const char *v = text + n + 1;
    size_t m = 0;
    while (m < VEXO_VALUE_SIZE && v[m] && v[m] != '=')
        ++m;
    if (m == 0 || m == VEXO_VALUE_SIZE)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    std::memcpy(name, text, n);
    name[n] = '\0';
    std::memcpy(value, v, m);
    value[m] = '\0';
    return RM_STATUS_OK;
}

RM_STATUS _GetVexoTagFromPath(const char *path, node_tag_t *tag, node_tag_t *parent)
{
    if (!tag || !parent)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    *tag = 0;
    *parent = 0;
    char copy[MAL_PATH_SIZE];
    char *elements[MAL_PATH_MAX_ELEMENTS];
    int count = 0;
    RM_STATUS r = mal_split_path(path, copy, elements, &count);
    if (r != RM_STATUS_OK)
        return r;
    node_tag_t current = 0; // ROOT
    for (int i = 0; i < count; ++i) {
        *parent = current;
        node_tag_t found = 0;
        // Any node kind: the last element is a property or an action.
        if (MAL_get_node_tag(current, elements[i], &found, 0) != RM_STATUS_OK) {
            *tag = 0;
            return RM_STATUS_ERROR_PATH_NOT_FOUND;
        }
        current = found;
    }
    *tag = current;
    return RM_STATUS_OK;
}

RM_STATUS MAL_GetPropValFromPath(const char *path, char *buffer, uint32_t *size, VEXO_status_t *status)
{
    VEXO_status_t local = VEXO_STATUS_SUCCESS;
    if (!status)
        status = &local;
    *status = VEXO_STATUS_SUCCESS;
    if (!path || !buffer || !size || *size == 0)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t tag = 0, parent = 0;
    RM_STATUS r = _GetVexoTagFromPath(path, &tag, &parent);
    if (tag == 0)
        return r;
    char value[MAL_VALUE_SIZE] = "";
    r = MAL_get_property_val(parent, tag, value, sizeof value);
    if (r != RM_STATUS_OK) {
        *status = last_status_code();
        return r;
    }
    // A value that would have to be cut is refused with its length instead.
    size_t len = strnlen(value, sizeof value - 1);
    if (len >= *size) {
        *size = static_cast<uint32_t>(len);
        return RM_STATUS_ERROR_BUFFER_TOO_SMALL;
    }
    std::memcpy(buffer, value, len);
    buffer[len] = '\0';
    return RM_STATUS_OK;
}

RM_STATUS MAL_SetPropValFromPath(const char *path, const char *value, int length, VEXO_status_t *status)
{
    VEXO_status_t local = VEXO_STATUS_SUCCESS;
    if (!status)
        status = &local;
    *status = VEXO_STATUS_SUCCESS;
    if (!path || !value || length == 0)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t tag = 0, parent = 0;
    RM_STATUS r = _GetVexoTagFromPath(path, &tag, &parent);
    if (tag == 0)
        return r;
    r = MAL_set_property_val(parent, tag, value, length);
    if (r != RM_STATUS_OK)
        *status = last_status_code();
    return r;
}

int32_t MAL_DoActionFromPath(const char *path, int count, const char *const *params, VEXO_status_t *status)
{
    VEXO_status_t local = VEXO_STATUS_SUCCESS;
    if (!status)
        status = &local;
    *status = VEXO_STATUS_SUCCESS;
    if (!path)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t tag = 0, parent = 0;
    RM_STATUS r = _GetVexoTagFromPath(path, &tag, &parent);
    if (tag == 0)
        return r;

    MAL_ActionParams block;
    std::memset(block, 0, sizeof block);
    for (int i = 0; i < VEXO_MAX_PARAMS; ++i)
        block[i][0] = static_cast<char>(VEXO_PARAM_ABSENT);

    if (count < 0 || count > VEXO_MAX_PARAMS || (count > 0 && !params))
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    char names[VEXO_MAX_PARAMS][VEXO_MAX_NAME_SIZE];
    char values[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
    for (int i = 0; i < count; ++i)
        if (mal_split_param(params[i], names[i], values[i]) != RM_STATUS_OK)
            return RM_STATUS_ERROR_INVALID_ARGUMENT;

    VEXO_param_info info;
    std::memset(&info, 0, sizeof info);
    MAL_EnterCriticalSection();
    VEXO_status_t got = VEXO_get_param_info(tag, &info);
    MAL_LeaveCriticalSection();
    if (got != VEXO_STATUS_SUCCESS) {
        *status = got;
        return got;
    }
    int table = info.param_count;
    if (table < 0 || table > VEXO_MAX_PARAMS)
        table = table < 0 ? 0 : VEXO_MAX_PARAMS;
    if (count > table)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;

    for (int p = 0; p < table; ++p) {
        const VEXO_param &def = info.params[p];
        int given = -1;
        for (int i = 0; i < count && given < 0; ++i)
            if (strncasecmp(names[i], def.param_name, VEXO_MAX_NAME_SIZE) == 0)
                given = i;
        if (given >= 0)
            std::snprintf(block[p], VEXO_VALUE_SIZE, "%s", values[given]);
        else if (def.mandatory)
            return RM_STATUS_ERROR_INVALID_ARGUMENT;
    }

    static_assert(sizeof(node_tag_t) == 4, "new-tag entries are 32-bit");
    node_tag_t new_tags[VEXO_MAX_NEW_TAGS];
    int32_t done = MAL_do_action(parent, tag, block, new_tags, 1);
    if (done == RM_STATUS_OK)
        return RM_STATUS_OK;
    // With the status passed through, only a busy adapter comes back mapped.
    *status = done == RM_STATUS_ERROR_ADAPTER_BUSY ? VEXO_STATUS_ADAPTER_BUSY : static_cast<VEXO_status_t>(done);
    return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
}
