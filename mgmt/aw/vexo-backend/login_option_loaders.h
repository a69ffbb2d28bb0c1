// Back-end start for the iSCSI initiators: builds the LogicalHBA of every
// iSCSI function, loads it from the firmware, and restores the initiator's
// login options, the saved targets and the send-target portals from the
// persistence files into the new nodes' property caches.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_LOGIN_OPTION_LOADERS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_LOGIN_OPTION_LOADERS_H

#include "mgmt/aw/vexo-backend/persistence_files.h"
#include "mgmt/vexo/core/hm_types.h"

// Texts handed to the loaders; the first three are the line key
// ("ArcwrightN", "iSCSIPhysicalHBAN", "LogicalHBA0").
#define VEXO_LHBA_KEY_TEXTS 35

extern "C" {
// 0; 1 when the tree has no adapter or lacks a node it needs.
int VEXO_set_lhba_prop(void);
}

int VEXO_set_ini_loginopts_prop(node *lhba, char (*key)[VEXO_FIELD_SIZE]);
// The saved-targets file is rewritten without this initiator's unusable
// lines (no name, address or port, or port "0"); when a line cannot be
// applied the loading stops and every later line stays as it was.
int VEXO_set_target_loginopts_prop(char (*key)[VEXO_FIELD_SIZE], node *lhba);
int VEXO_set_stp_loginopts_prop(char (*key)[VEXO_FIELD_SIZE], node *lhba);

#endif
