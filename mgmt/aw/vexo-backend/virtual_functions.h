// SR-IOV virtual functions of a NIC function (its NICLogicalHBA
// instances), the vNIC groups of NIC and iSCSI functions, and the logical
// link state of a NIC function.
//
// A VF's values come from the NIC driver's information record; a change is
// made by running the host's "ip link set" on the function's interface, so
// the firmware takes no part in a write.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_VIRTUAL_FUNCTIONS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_VIRTUAL_FUNCTIONS_H

#include <string>
#include <vector>

#include "mgmt/vexo/core/hm_types.h"

// Refresh of a NICPhysicalHBA: its NICLogicalHBA instances, one per VF the
// driver reports. Always 0.
VEXO_status_t group_NICPhysicalHBA(node *grp);

// Read/write handlers of a NICLogicalHBA: type 0 reads into `value`
// (256 bytes), type 1 writes `value`. 0, or 1 with the last status set
// where there is one.
VEXO_status_t handle_niclogicalhba_macaddress(node *property, char *value, int type);
VEXO_status_t handle_niclogicalhba_vlanid(node *property, char *value, int type);
VEXO_status_t handle_niclogicalhba_txrate(node *property, char *value, int type);
// Read-only handlers.
VEXO_status_t handle_LinkStatus(node *property, char *value, int type);
VEXO_status_t handle_nic_logical_link_status(node *property, char *value, int type);
VEXO_status_t handle_nic_vnic_name_props(node *property, char *value, int type);
VEXO_status_t handle_iscsi_vnic_name_props(node *property, char *value, int type);
VEXO_status_t handle_nic_vnic_stats(node *property, char *value, int type);
VEXO_status_t handle_iscsi_vnic_stats(node *property, char *value, int type);

// The host command of a VF change: "ip" "link" "set" IFNAME "vf" N and the
// key/value words. The interface name must be a short name of letters,
// digits and ". _ -", the VF number 0 to 63 and every word plain (letters,
// digits and ":"); otherwise nothing runs and the answer is false.
bool vf_command_valid(const std::string &ifname, int vf, const std::vector<std::string> &words);

extern "C" {
// The value of VF `instance` for "TxRate", "VLANID", "MACAddress" or
// "LinkStatus" (any case) into `buf` (256 bytes); another name leaves it.
// 0, or 1 when the driver information cannot be read.
int VEXO_get_vf_params(int aw_port_number, int instance, char *buf, const char *prop_name);
// Fill the vNIC group `vnic` through driver type `driver_type`; 0 or 1.
int get_vnic_name(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *vnic,
                  unsigned int driver_type);
int get_vnic_stats(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *vnic,
                   unsigned int driver_type);
// Rewrites IfName of every NIC function of every adapter from the NIC
// driver's interface-name table.
void update_nic_ifname(void);
}

#endif
