// The SCSI pass-through of a simulated iSCSI function: one CDB sent to a LUN
// of a target through an open session. The logical units live in the
// function's "initiator" object, in each target of "targets":
//
//   "luns"  [{"number": n, "capacity": bytes, "block_size": 512,
//             "vendor", "product", "serial"}]
//           a LUN answers with its address in the single-level form
//           (00 nn for numbers below 256, 4h hh ll up to 16383); WRITE (10)
//           counts into "writes" and "blocks_written" of the LUN and keeps
//           no data.
//
// The session is found by the low 16 bits of its "handle" in "sessions" of
// the same object, its target by the session's "target" name. A session
// answers its first command with CHECK CONDITION and a UNIT ATTENTION
// (power on or reset), as a real target does after a login; the session's
// "unit_attention" is then set false.
//
//   6/59  pass-through (292 bytes, then the data area): REPORT LUNS,
//         READ CAPACITY (10) and (16), INQUIRY (standard, page 0x80),
//         WRITE (10); any other CDB answers CHECK CONDITION (ILLEGAL
//         REQUEST). An unknown session fails the command (additional
//         status 75).
#ifndef HLVD_SIM_SCSI_MODEL_H
#define HLVD_SIM_SCSI_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_scsi_passthru(FwContext &c); // 6/59

} // namespace hlvdsim

#endif
