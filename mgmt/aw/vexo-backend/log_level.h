// The level of the management log, kept in the log-level file across
// restarts and shown and changed through the root property VEXODebugLevel.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_LOG_LEVEL_H
#define HLVD_MGMT_AW_VEXO_BACKEND_LOG_LEVEL_H

#include "mgmt/vexo/core/hm_types.h"

#define VEXO_CONFIG_DIR "/etc/config/TAQ/vexo/"
#define VEXO_LOG_LEVEL_FILE "/etc/config/TAQ/vexo/libvexo.conf"

extern "C" {
// At library start: loads the level from the file, or writes the file with
// the current level; always 0.
int VEXO_update_loglevel();
// Loads the level from the file (the last valid key line wins; an
// out-of-range level keeps the current one and rewrites the file); 0, or 1
// when the file cannot be opened.
int VEXO_get_debug_level();
// Rewrites the file with the current level (temporary file and rename);
// 0, or 1 when it cannot be written.
int VEXO_set_debug_level();
}

// Handler of VEXODebugLevel: type 0 reads the level from the file, type 1
// sets and saves the level (already checked against the list).
VEXO_status_t handle_VEXODebugLevel(node *property_node, char *value, int type);

#endif
