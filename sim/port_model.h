// The physical ports of a simulated converged adapter as its firmware
// reports them: the port names (common opcode 77) and the PHY details of a
// port (common opcode 102); DCBX and LLDP are in dcbx_model.h.
// The port is the one the request header names.
//
// An adapter's description may list its ports, indexed by physical port:
//   "ports": [ { "name": "A",
//                "phy": { "type": 0, "interface_type": 3, "extended": "0xFEEC",
//                         "auto_speeds": "0x0C", "fixed_speeds": "0x08" },
//                "dcbx": { ... } }, ... ]
// Numbers may be written as texts ("0x8906"). A port without a "phy" takes
// the adapter's "phy" (type 0, interface type 3, no valid speed masks by
// default); a port without a name is named by its digit. Version 0 of the
// port-name command is the AW2 generation's and names ports 0 and 1; the
// other generations answer version 1, which names ports 0 to 3.
#ifndef HLVD_SIM_PORT_MODEL_H
#define HLVD_SIM_PORT_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_port_name(FwContext &c);   // 1/77
void cmd_phy_details(FwContext &c); // 1/102

} // namespace hlvdsim

#endif
