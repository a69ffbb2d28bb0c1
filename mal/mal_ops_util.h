// Small helpers the client layer's operation files share: node lookups,
// property reads and writes, action parameter blocks and action runs.
#ifndef HLVD_MAL_MAL_OPS_UTIL_H
#define HLVD_MAL_MAL_OPS_UTIL_H

#include <cstdint>
#include <initializer_list>

#include "flash/rm_status.h"
#include "mal/mal_core.h"
#include "mgmt/vexo/core/hm_types.h"

namespace mal_ops
{

// The child `name` of one kind below `parent`; *tag is VEXO_NO_TAG unless
// the lookup succeeds.
RM_STATUS find(node_tag_t parent, const char *name, int kind, node_tag_t *tag);

// The child group `name` below `parent`.
RM_STATUS child_group(node_tag_t parent, const char *name, node_tag_t *child);

// A chain of groups below `base`, one name after another; the first missing
// one is returned and *tag is set only when all are found.
RM_STATUS find_path(node_tag_t base, const char *const *names, int count, node_tag_t *tag);
RM_STATUS find_path(node_tag_t base, std::initializer_list<const char *> names, node_tag_t *tag);

// Looks the property up and writes its text, at most MAL_VALUE_SIZE - 1
// characters of it.
RM_STATUS write_text(node_tag_t group, const char *name, const char *value);

// Looks the property up and reads its text; the buffer is cleared first and
// always ends terminated.
RM_STATUS read_text(node_tag_t group, const char *name, char value[MAL_VALUE_SIZE]);

// One decimal property through the Int reader.
RM_STATUS read_int(node_tag_t group, const char *name, int32_t *value);

// The hexadecimal texts of `group`'s properties `base`0 to `base`<count - 1>
// (count at most 16), as bytes one after another into `buffer`. *length:
// room on entry, bytes written on return (0 on failure). Each text is
// converted with the room left, cut to `cap` when that is larger.
RM_STATUS read_byte_texts(node_tag_t group, const char *base, int count, uint32_t cap, uint8_t *buffer,
                          uint32_t *length);

// Parameter blocks: all slots empty, a slot's text (cut to the slot, a null
// text sent empty), a slot marked not given.
void clear(MAL_ActionParams params);
void put_text(MAL_ActionParams params, int slot, const char *text);
void leave_out(MAL_ActionParams params, int slot);

// Runs an action with a fresh new-tags list; the action's own answer.
int32_t run(node_tag_t group, node_tag_t action, MAL_ActionParams params, int pass_through);

// Looks the action up by name below `group`, then runs it.
int32_t run_named(node_tag_t group, const char *name, MAL_ActionParams params, int pass_through);

// The library's last status code, or -1 when it cannot be read.
VEXO_status_t last_code();

} // namespace mal_ops

#endif
