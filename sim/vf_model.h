// SR-IOV virtual functions and vNIC values of simulated NIC functions, and
// the host's "ip" command that changes a virtual function.
//
// Virtual functions: a NIC function's description gives "vfs" (the count
// its driver reports) and, optionally, "vf_table": one object per VF with
// "mac" (text), "vlan", "rate" (units of 10 Mb/s) and "link" (0 down). A VF
// without an entry has a MAC derived from the function's, VLAN 0, rate 0
// and its link up. Changes made through "ip" are kept in the adapter's
// firmware state ("vf_changes", by PCI name and VF number), so every later
// process sees them.
//
// 1/64 vNIC statistics: the function's "vnic" object ("vlan_id",
// "vlan_priority", "qos_min", "qos_max", "link_status"; 0 when left out);
// function_status is 1 when the function has a "vnic_name" (1/120).
//
// The "ip" stand-in takes "link set IF vf N KEY VALUE ...", with the keys
// mac, vlan, rate and max_tx_rate (Mb/s), on the VF of the NIC function
// whose interface name is IF. Every run is logged (kind "host"). A "status"
// fault of the plan whose match names the path "ip" (optionally also the
// adapter or PCI name) makes the command fail with that status as its exit
// code and change nothing.
#ifndef HLVD_SIM_VF_MODEL_H
#define HLVD_SIM_VF_MODEL_H

#include <string>
#include <vector>

#include "sim/driver_records.h"
#include "sim/fw_context.h"
#include "sim/machine.h"

namespace hlvdsim
{

// The VF count and records of the driver information of function
// `function` of adapter `adapter` of `layout`, with the changes kept in the
// adapter's current state.
void fill_vf_records(const std::string &sysroot, const Machine &layout, size_t adapter, size_t function,
                     NicDrvInfo *info);

// Runs the "ip" stand-in with its arguments (without the program name): its
// exit code; a message for the standard error into *err when it fails.
int run_ip_command(const std::string &sysroot, const std::vector<std::string> &args, std::string *err);

void cmd_vnic_stats(FwContext &c); // 1/64

} // namespace hlvdsim

#endif
