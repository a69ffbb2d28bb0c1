// The adapter groups of the tree from the functions the drivers report: one
// Arcwright group per physical adapter, one iSCSIPhysicalHBA or
// NICPhysicalHBA per function below it, one NICLogicalHBA per SR-IOV
// virtual function, and the per-adapter and per-port bitmaps of vexo_glob.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_FUNCTION_ENUM_H
#define HLVD_MGMT_AW_VEXO_BACKEND_FUNCTION_ENUM_H

#include "mgmt/aw/vexo-backend/vexo_ioctl_records.h"
#include "mgmt/vexo/core/hm_types.h"

// Results of the grouping queries.
#define VEXO_GROUP_NEW 0
#define VEXO_GROUP_EXISTING 1
#define VEXO_GROUP_SKIP 2

extern "C" {
// Build the nodes of every iSCSI slot, then of every NIC slot; both 0.
int VEXO_enumerate_iscsi_functions(void);
int VEXO_enumerate_nic_functions(void);
// Whether the function of slot aw_port_number belongs to an existing adapter
// group (its instance number then written into `instance`, 256 bytes).
int VEXO_get_iscsi_node_info(int aw_port_number, char *instance, MGMT_CONTROLLER_ATTRIBUTES *attrs,
                             int ioctl_status);
int VEXO_get_nic_node_info(int aw_port_number, char *instance, MGMT_CONTROLLER_ATTRIBUTES *attrs, int ioctl_status);
int VEXO_get_nic_logicalhba(node *nic_phba, int aw_port_number, int *nic_lhba_count, int flag);
}

// Fills port_bitmap for every adapter group.
void set_port_bitmap();
// The first iSCSI, else NIC, function of the adapter whose PortNumber is
// `phy_port`; null when none.
node *get_valid_phba(node *adapter, const char *phy_port);
// Driver kind serving port j of adapter instance i: 1, 2, or 4.
int get_port_bitmap(int i, int j);
// Adds kind `type` (1 iSCSI, 2 NIC, 3 other) to adapter instance i.
void set_protocol(int i, int type);

#endif
