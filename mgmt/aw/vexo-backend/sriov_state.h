// SR-IOV state of the NIC functions of a converged adapter. The firmware
// keeps it in the profile configuration (AW3, Trelmont), in the legacy
// configuration-and-resources record (AW3 firmware without the profile
// commands) or in the common profile configuration (Varrow, read only); AW2
// has none. A change takes effect at the next reboot (status 252).
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_SRIOV_STATE_H
#define HLVD_MGMT_AW_VEXO_BACKEND_SRIOV_STATE_H

#include "mgmt/vexo/core/hm_types.h"

// SRIOVState of a NICPhysicalHBA (type 0 read, 1 write, any other 0).
VEXO_status_t handle_NICPhysicalHBA_SRIOVState(node *property, char *value, int type);
// SRIOVState of ActiveProfile/Port<n>/Function<m> (read only).
VEXO_status_t handle_AProf_SRIOVState(node *property, char *value, int type);

extern "C" {
// Stores the state of PCI function `func` (text, any base) from the profile
// configuration of `config_type` into SRIOVState of `target`. 0; 288 on
// Varrow; 213 when the firmware lacks the command; 1 on failure.
int VEXO_get_SRIOVState(int family, node *function, int aw_port_number, unsigned int domainid,
                        unsigned int phba_port, node *adapter, char *func, int config_type, node *target);
// Writes `value` ("Enabled" or "Disabled") as the configured state of the
// NIC function. 0 (status 252); 288 on AW2 and Varrow; 213 when the
// firmware lacks the command; 1 on failure.
int VEXO_set_SRIOVState(int family, node *function, int aw_port_number, unsigned int domainid,
                        unsigned int phba_port, char *value, node *adapter);
// The same through the legacy record (AW3) or the common profile
// configuration (Varrow, read only); 0 or 1.
int VEXO_get_legacy_sriov_state(int family, node *function, int aw_port_number, unsigned int domainid,
                                unsigned int phba_port, node *adapter);
int VEXO_set_legacy_sriov_state(int family, node *function, int aw_port_number, unsigned int domainid,
                                unsigned int phba_port, char *value, node *adapter);
// Whole-table profile write of the census of PCI functions with function
// `pf_number` set to `value`; then the configured profile tree follows. 0
// or 1.
int VEXO_set_sli_sriov_state(node *adapter, int pf_number, char *value, int aw_port_number, unsigned int domainid,
                             unsigned int phba_port, int driver_type);
// SRIOVState of the ConfiguredProfile function numbered `pf_number` becomes
// `value`.
int VEXO_conf_sriov_state(node *adapter, int pf_number, char *value);
}

#endif
