// The speed setting of a simulated converged port:
//
//   1/134  link speed: the port's configured speed code and DAC cable
//          length, from the firmware state ("link_speed", per port) once
//          set, else the port's description ("configured_speed",
//          "dac_cable_length"; default 0).
//   1/57   (version 1) speed set: the code and cable length become the
//          port's configured speed; a code the port lacks (a port's
//          "speed_codes" list, when given) answers the not-supported status
//          of the command. The AW2 generation does not know the command.
//
// The FCoE port name of the additional attributes (byte 348) comes from the
// port's "fcoe_wwpn" ("10:00:..."; zero when not given).
#ifndef HLVD_SIM_LINK_SPEED_MODEL_H
#define HLVD_SIM_LINK_SPEED_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_set_link_speed(FwContext &c); // 1/57, version 1
void cmd_get_link_speed(FwContext &c); // 1/134
// Writes the port's FCoE port name into an additional-attributes answer.
void put_fcoe_wwpn(FwContext &c);

} // namespace hlvdsim

#endif
