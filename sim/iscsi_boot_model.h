// The boot side of a simulated iSCSI function: the boot mark of a session,
// the boot LUN of a session and the adapter's iSCSI BIOS configuration.
//
// State, in the machine document:
//   function "initiator" -> "sessions": [{"handle": n, "flags": bits, ...,
//       "boot_lun": "16 hex digits"}] (see iscsi_session_model.h): 6/53
//       stores the request's session_flags as the session's "flags" (bit
//       value 0x100 marks a boot session); "boot_lun" (default all zero) is
//       read by 6/54 and written by 6/55.
//   adapter "iscsi_bios": {"discover_boottarget", "auto_discovery_flags",
//       "bios_int13_enabled", "int13_en_per_func": [a, b], "ibft_addr_valid",
//       "remote_configuration", "ibft_pci_address": [a, b, c], "bios_ver"}:
//       the 20-byte BIOS configuration shared by the adapter's iSCSI
//       functions (missing fields read 0); 6/58 replaces it whole.
// A session handle the list does not hold is refused like an unknown
// session; NIC functions refuse these commands as unsupported.
//
//   6/53  set a session's boot flags      6/54  read its boot LUN
//   6/55  write its boot LUN              6/57  read the BIOS configuration
//   6/58  write the BIOS configuration
// (The boot configuration of 1/66 and 1/67 lives in converged_adapter.cpp.)
#ifndef HLVD_SIM_ISCSI_BOOT_MODEL_H
#define HLVD_SIM_ISCSI_BOOT_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_set_boot_target(FwContext &c); // 6/53
void cmd_get_boot_lun(FwContext &c);    // 6/54
void cmd_set_boot_lun(FwContext &c);    // 6/55
void cmd_get_bios_cfg(FwContext &c);    // 6/57
void cmd_set_bios_cfg(FwContext &c);    // 6/58

} // namespace hlvdsim

#endif
