// Access to a node of the management hierarchy by a path of names, such as
// "/Arcwright0/ActiveFirmwareVersion": read or write a property, or run an
// action with "Name=value" parameter texts.
//
// A path starts with '/' or '\\' and names the nodes from the root down,
// separated by '/' or '\\' in any mix; runs of separators count as one.
// The caller's texts are only read: they are split in bounded copies, and a
// text that does not fit its copy is refused (4), never cut.
//
// Results are RM_STATUS codes: 0; 4 bad argument, path or parameter text;
// 7 buffer too small; 27 a path element not found; 64 adapter busy; 114 any
// other library failure. MAL_DoActionFromPath may also answer the library's
// own status when the action's parameter table cannot be read.
#ifndef HLVD_MAL_MAL_PATH_H
#define HLVD_MAL_MAL_PATH_H

#include <cstdint>

#include "flash/rm_status.h"
#include "mgmt/vexo/core/hm_types.h"

// A node path with its terminator.
#define MAL_PATH_SIZE 1024
// Elements a path of MAL_PATH_SIZE can hold.
#define MAL_PATH_MAX_ELEMENTS (MAL_PATH_SIZE / 2)

extern "C" {

// Reads the property into `buffer`. *size is the buffer's size; when the
// value needs more (its length >= *size) the result is 7 and *size is set to
// the value's length, otherwise the whole value is copied, terminated.
// *status: the library's last status code after a failed read, else 0.
RM_STATUS MAL_GetPropValFromPath(const char *path, char *buffer, uint32_t *size, VEXO_status_t *status);
// Writes `length` characters of `value` (a terminated text) to the property.
RM_STATUS MAL_SetPropValFromPath(const char *path, const char *value, int length, VEXO_status_t *status);
// Runs the action with `count` (at most six) texts "Name=value"; names match
// the action's parameters without regard to case. *status: the action's own
// status, 0 when it succeeded.
int32_t MAL_DoActionFromPath(const char *path, int count, const char *const *params, VEXO_status_t *status);

} // extern "C"

// The tag of the node the path names and of its parent group (0, the root,
// for a one-element path); both 0 unless found. 0, 4 (not a node path) or 27
// (an element not found).
RM_STATUS _GetVexoTagFromPath(const char *path, node_tag_t *tag, node_tag_t *parent);

// Splits a node path into `copy`: elements[] point into it, in order. 0, or
// 4 when the path is missing, does not start with a separator, is shorter
// than 3 characters, does not fit the copy or has no element.
RM_STATUS mal_split_path(const char *path, char copy[MAL_PATH_SIZE], char *elements[MAL_PATH_MAX_ELEMENTS],
                         int *count);
// Splits "name=value" (a second '=' ends the value). 0, or 4 when either
// part is empty or does not fit its buffer.
RM_STATUS mal_split_param(const char *text, char name[VEXO_MAX_NAME_SIZE], char value[VEXO_VALUE_SIZE]);

#endif
