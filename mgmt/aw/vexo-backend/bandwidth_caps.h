// Bandwidth caps of a converged adapter's functions: MinBitsPerSecond and
// MaxBitsPerSecond of a NICPhysicalHBA and of an iSCSI function's
// LogicalHBA/iSCSIQoS, in units of 100 Mbit/s. On the AW3 and Trelmont
// generations they are the function descriptor's bandwidth share of the
// active profile configuration scaled by the port's current speed; on AW2
// the NIC maximum is the legacy QoS setting and the rest is "N/A". Shown
// only: nothing is written to the adapter.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_BANDWIDTH_CAPS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_BANDWIDTH_CAPS_H

#include "mgmt/vexo/core/hm_types.h"

// Read-only property handlers; `type` is not looked at.
VEXO_status_t handle_nic_bandwidth_softcap(node *property, char *value, int type);
VEXO_status_t handle_iscsi_bandwidth_softcap(node *property, char *value, int type);

extern "C" {
// Stores the cap named by `property` (MinBitsPerSecond or MaxBitsPerSecond)
// into the property of that name under `target`, from the first descriptor
// of type `pf_type` (0x51 NIC, 0x52 iSCSI) whose PCI function is `func`
// ("0x%x" text), scaled by the speed of the link status read through
// `driver_type`. A link without a usable speed stores "0" into both caps.
// 0, or 1 (status 93 when the link status cannot be read).
int VEXO_get_bw_softcap(node *target, node *adapter, int aw_port_number, unsigned int domainid,
                        unsigned int phba_port, int pf_type, const char *func, node *property, int driver_type);
// MaxBitsPerSecond of a NIC function from the legacy QoS settings; 0, 1
// (status 259 on Varrow), or the failed query's status (status 114).
int VEXO_get_legacy_QOS(int aw_port_number, node *function);
// NIC functions of the function's adapter on the function's port; 1 when
// something cannot be read.
int get_nic_count(node *function);
}

#endif
