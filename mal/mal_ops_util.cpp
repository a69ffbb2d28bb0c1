#include "mal/mal_ops_util.h"

#include <cstdio>
#include <cstring>

#include "mal/mal_readers.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace mal_ops
{

RM_STATUS find(node_tag_t parent, const char *name, int kind, node_tag_t *tag)
{
    if (tag)
        *tag = VEXO_NO_TAG;
    return MAL_get_node_tag(parent, name, tag, kind);
}

RM_STATUS child_group(node_tag_t parent, const char *name, node_tag_t *child)
{
    return find(parent, name, MAL_NODE_GROUP, child);
}

RM_STATUS find_path(node_tag_t base, const char *const *names, int count, node_tag_t *tag)
{
    node_tag_t at = base;
    for (int i = 0; i < count; ++i) {
        node_tag_t next = VEXO_NO_TAG;
        RM_STATUS st = child_group(at, names[i], &next);
        if (st != RM_STATUS_OK)
            return st;
        at = next;
    }
    *tag = at;
    return RM_STATUS_OK;
}

RM_STATUS find_path(node_tag_t base, std::initializer_list<const char *> names, node_tag_t *tag)
{
    return find_path(base, names.begin(), static_cast<int>(names.size()), tag);
}

RM_STATUS write_text(node_tag_t group, const char *name, const char *value)
{
    node_tag_t prop = VEXO_NO_TAG;
    RM_STATUS st = find(group, name, MAL_NODE_PROPERTY, &prop);
    if (st != RM_STATUS_OK)
        return st;
    return MAL_set_property_val(group, prop, value, static_cast<int>(strnlen(value, MAL_VALUE_SIZE - 1)));
}

RM_STATUS read_text(node_tag_t group, const char *name, char value[MAL_VALUE_SIZE])
{
    std::memset(value, 0, MAL_VALUE_SIZE);
    node_tag_t prop = VEXO_NO_TAG;
    RM_STATUS st = find(group, name, MAL_NODE_PROPERTY, &prop);
    if (st != RM_STATUS_OK)
        return st;
    st = MAL_get_property_val(group, prop, value, MAL_VALUE_SIZE);
    value[MAL_VALUE_SIZE - 1] = '\0';
    return st;
}

RM_STATUS read_int(node_tag_t group, const char *name, int32_t *value)
{
    MAL_PropertyDesc table[] = {{name, value, 0}};
    return MAL_GetIntProperties(group, 1, table);
}

RM_STATUS read_byte_texts(node_tag_t group, const char *base, int count, uint32_t cap, uint8_t *buffer,
                          uint32_t *length)
{
    const int kMaxTexts = 16;
    if (count < 0 || count > kMaxTexts)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    char texts[kMaxTexts][MAL_VALUE_SIZE];
    std::memset(texts, 0, sizeof texts);
    char names[kMaxTexts][MAL_INSTANCE_NAME_SIZE];
    MAL_PropertyDesc table[kMaxTexts] = {};
    for (int i = 0; i < count; ++i) {
        std::snprintf(names[i], sizeof names[i], "%s%d", base, i);
        table[i] = MAL_PropertyDesc{names[i], texts[i], MAL_VALUE_SIZE};
    }
    RM_STATUS st = MAL_GetStringProperties(group, count, table);
    if (st != RM_STATUS_OK)
        return st;
    const uint32_t room = *length;
    *length = 0;
    uint32_t written = 0;
    for (int i = 0; i < count; ++i) {
        size_t chars = strnlen(texts[i], MAL_VALUE_SIZE);
        uint32_t needed = static_cast<uint32_t>(chars / 2 + chars % 2);
        if (written + needed > room)
            return RM_STATUS_ERROR_BUFFER_TOO_SMALL;
        uint32_t left = room - written;
        if (left > cap)
            left = cap;
        if ((st = MAL_StrToByteArray(buffer + written, texts[i], &left)) != RM_STATUS_OK)
            return st;
        written += left;
    }
    *length = written;
    return RM_STATUS_OK;
}

void clear(MAL_ActionParams params)
{
    std::memset(params, 0, sizeof(MAL_ActionParams));
}

void put_text(MAL_ActionParams params, int slot, const char *text)
{
    std::snprintf(params[slot], VEXO_VALUE_SIZE, "%s", text ? text : "");
}

void leave_out(MAL_ActionParams params, int slot)
{
    std::memset(params[slot], 0, VEXO_VALUE_SIZE);
    params[slot][0] = static_cast<char>(VEXO_PARAM_ABSENT);
}

int32_t run(node_tag_t group, node_tag_t action, MAL_ActionParams params, int pass_through)
{
    node_tag_t new_tags[VEXO_MAX_NEW_TAGS];
    std::memset(new_tags, 0, sizeof new_tags);
    return MAL_do_action(group, action, params, new_tags, pass_through);
}

int32_t run_named(node_tag_t group, const char *name, MAL_ActionParams params, int pass_through)
{
    node_tag_t action = VEXO_NO_TAG;
    RM_STATUS st = find(group, name, MAL_NODE_ACTION, &action);
    if (st != RM_STATUS_OK)
        return st;
    return run(group, action, params, pass_through);
}

VEXO_status_t last_code()
{
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    if (MAL_get_last_status(&code, text) != VEXO_STATUS_SUCCESS)
        return static_cast<VEXO_status_t>(-1);
    return code;
}

} // namespace mal_ops
