// The network side of a simulated converged function that the MAC address
// and network readers ask about:
//
//   21/4   OEM execution configuration (48 bytes): the semi-volatile MAC
//          and the network-boot VLAN, kept in the firmware state per
//          function ("oem_exec_cfg"); a read answers the function's factory
//          MAC until one was written.
//   2/7    NIC parameters (52 bytes): one port with the function's "speed",
//          "max_speed", "link_state" and "max_frame_size" (defaults by
//          generation) and its MAC.
//   1/5    link status, version 0 (AW_LINK_STATUS) and version 1
//          (AW_LINK_STATUS_V1): the function's port, "port_speed" code
//          (version 0 "mac_speed" and version 1 "physical_port_speed"
//          override it), "qos_link_speed" and "logical_link" (default 1,
//          up); version 0 names the "active_port" (default the function's
//          port).
//   1/171  (version 1) reads of the NIC region objects
//          "/nicdata/Port%d/Partition%d/Region1": a read that asks for no
//          length answers the whole object with eof (an object never written
//          answers length 0); other objects go to the flash model.
//   1/7    op code 3 (erase) of op type 27, the FCoE WWN region: noted in
//          the firmware state ("fcoe_wwns_erased"); erases of the
//          configuration regions go to erase_model.h, other flash commands
//          to the flash model.
#ifndef HLVD_SIM_MAC_MODEL_H
#define HLVD_SIM_MAC_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_link_status(FwContext &c);       // 1/5
void cmd_flash_rom(FwContext &c);         // 1/7
void cmd_read_object_nic(FwContext &c);   // 1/171, version 1
void cmd_nic_params(FwContext &c);        // 2/7
void cmd_oem_exec_cfg(FwContext &c);      // 21/4

} // namespace hlvdsim

#endif
