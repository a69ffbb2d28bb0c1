// The network-boot and embedded-switch settings of a simulated converged
// adapter that the NIC functions read and write:
//
//   1/83   PCI function mapping (68 bytes): `expansion_ROM_enabled` at 32,
//          bit n set when the option ROM of PCI function n is enabled. From
//          the adapter's "expansion_rom_enabled" (a number); by default the
//          bits of its NIC functions' PCI function numbers below 32. The
//          function assignment and port map answer zero.
//   1/152  hardware-switch configuration read (16 bytes): `port_fwd_type` in
//          bits 6-8 of word 0, from the function's written value, else its
//          "port_fwd_type" (default 2).
//   1/153  hardware-switch configuration write (20 bytes): keeps
//          `port_fwd_type` (bits 6-8 of word 4) in the firmware state
//          ("hsw_config" by PCI name).
// Both switch commands fail unless the request names the function's own
// physical port with the pport bit (31) set.
#ifndef HLVD_SIM_NIC_BOOT_MODEL_H
#define HLVD_SIM_NIC_BOOT_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_pci_function_mapping(FwContext &c); // 1/83
void cmd_get_hsw_config(FwContext &c);       // 1/152
void cmd_set_hsw_config(FwContext &c);       // 1/153

} // namespace hlvdsim

#endif
