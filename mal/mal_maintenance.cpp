#include "mal/mal_maintenance.h"

#include <cstring>

#include "mal/mal_core.h"
#include "mal/mal_readers.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace
{

const int kVpdTexts = 9;

// The action of an adapter with its one parameter; false when the action
// is missing. A path too long for its slot fills the slot unterminated, so
// the library refuses it with its own length check instead of acting on a
// cut path.
bool prepare(node_tag_t adapter, const char *action, const char *param, node_tag_t *tag, MAL_ActionParams params)
{
    if (MAL_get_node_tag(adapter, action, tag, MAL_NODE_ACTION) != RM_STATUS_OK)
        return false;
    std::memset(params, 0, sizeof(MAL_ActionParams));
    if (param) {
        size_t n = strnlen(param, VEXO_VALUE_SIZE);
        std::memcpy(params[0], param, n < VEXO_VALUE_SIZE ? n + 1 : VEXO_VALUE_SIZE);
    }
    return true;
}

} // namespace

int32_t MAL_UpgradeFlash(node_tag_t adapter, const char *file)
{
    node_tag_t action = 0;
    MAL_ActionParams params;
    if (!prepare(adapter, "UpgradeFlashROM", file, &action, params))
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    node_tag_t new_tags[VEXO_MAX_NEW_TAGS];
    std::memset(new_tags, 0, sizeof new_tags);
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    int32_t result = MAL_do_action_with_status(adapter, action, params, new_tags, &code, text);
    if (result == RM_STATUS_OK && code == static_cast<VEXO_status_t>(-1))
        return VEXO_STATUS_REBOOT_REQUIRED;
    // A handler that failed without a status must not read as a flash done.
    if (result != RM_STATUS_OK && code == VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILED_FLASH;
    return code;
}

int32_t MAL_RetrievePCIDump(node_tag_t adapter, const char *file)
{
    node_tag_t action = 0;
    MAL_ActionParams params;
    if (!prepare(adapter, "RetrieveStratolinkPCIDump", file, &action, params))
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    if (MAL_do_action_with_status(adapter, action, params, nullptr, &code, text) == RM_STATUS_OK)
        return RM_STATUS_OK;
    if (MAL_get_last_status(&code, text) != VEXO_STATUS_SUCCESS || code == VEXO_STATUS_SUCCESS)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    return code;
}

RM_STATUS MAL_GetVPD(node_tag_t function, uint8_t *buffer, uint32_t *length)
{
    if (!buffer || !length)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (*length < MAL_VPD_MIN_LENGTH)
        return RM_STATUS_ERROR_BUFFER_TOO_SMALL;
    node_tag_t vpd = 0;
    if (MAL_get_node_tag(function, "VPD", &vpd, MAL_NODE_GROUP) != RM_STATUS_OK)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    char texts[kVpdTexts][MAL_VALUE_SIZE];
    std::memset(texts, 0, sizeof texts);
    static const char *const names[kVpdTexts] = {"VPDData0", "VPDData1", "VPDData2", "VPDData3", "VPDData4",
                                                 "VPDData5", "VPDData6", "VPDData7", "VPDData8"};
    MAL_PropertyDesc table[kVpdTexts];
    for (int i = 0; i < kVpdTexts; ++i)
        table[i] = MAL_PropertyDesc{names[i], texts[i], MAL_VALUE_SIZE};
    RM_STATUS st = MAL_GetStringProperties(vpd, kVpdTexts, table);
    if (st != RM_STATUS_OK)
        return st;
    const uint32_t room = *length;
    *length = 0;
    uint32_t written = 0;
    for (int i = 0; i < kVpdTexts; ++i) {
        size_t chars = strnlen(texts[i], MAL_VALUE_SIZE);
        uint32_t count = static_cast<uint32_t>(chars / 2 + chars % 2);
        if (written + count > room)
            return RM_STATUS_ERROR_BUFFER_TOO_SMALL;
        uint32_t left = room - written;
        st = MAL_StrToByteArray(buffer + written, texts[i], &left);
        if (st != RM_STATUS_OK)
            return st;
        written += count;
    }
    *length = written;
    return RM_STATUS_OK;
}

RM_STATUS MAL_SetFFVName(node_tag_t adapter, const char *name)
{
    node_tag_t tag = 0;
    if (!name || MAL_get_node_tag(adapter, "FFVName", &tag, MAL_NODE_PROPERTY) != RM_STATUS_OK)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    return MAL_set_property_val(adapter, tag, name, static_cast<int>(strnlen(name, MAL_VALUE_SIZE - 1)));
}
