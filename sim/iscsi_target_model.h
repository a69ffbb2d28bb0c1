// The firmware's target list of a simulated iSCSI function: the ids of the
// targets it knows and one target's record with its portal groups. The
// targets are the "targets" array of the function's "initiator" object (see
// sim/iscsi_session_model.h); a target's "id" defaults to its position + 1.
// Each portal is answered as a portal group of its own, with the portal's
// "tag"; a portal's "claimed" (default 1) is the portal count its group
// reports, so a firmware that claims more portals than its record holds can
// be played.
//
//   6/30  target-id list (64,000 bytes): count at 0, then (id, portal
//         count) pairs from offset 4
//   6/32  one target's record (816-byte size query, then the full length):
//         id, name (224), alias (32), group count at 260, groups of 552
//         bytes from 264; an unknown id is refused
#ifndef HLVD_SIM_ISCSI_TARGET_MODEL_H
#define HLVD_SIM_ISCSI_TARGET_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_all_target_ids(FwContext &c); // 6/30
void cmd_get_a_target(FwContext &c);   // 6/32

} // namespace hlvdsim

#endif
