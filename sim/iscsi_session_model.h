// The firmware's iSCSI initiator state of an iSCSI function: its open
// sessions with their single connection.
//
// State: the function's object "initiator" in the machine document. This
// model owns two keys of it (others add "name", "alias", "qos", "luns" inside
// each target and "eto" inside each session):
//   "targets": [{"id": n, "name": "iqn...", "alias": "...",
//                "portals": [{"ip": "a.b.c.d", "port": 3260, "tag": 1,
//                             "claimed": n (default 1)}]}]
//   (the target list and records are sim/iscsi_target_model.h's)
//   "sessions": [{"handle": n, "target": "iqn...", "isid": "00023d000005",
//                 "tsih": n, "status": bits, "flags": bits,
//                 "initiator": "iqn...", "conn_count": n (default 1),
//                 "connection": {"handle": n, "cid": n, "status": bits,
//                                "src_ip": "a.b.c.d" or IPv6 text, "src_port": n,
//                                "dest_ip", "dest_port",
//                                "redirected_ip", "redirected_port",
//                                "options": {"header_digest", "data_digest",
//                                  "auth" (1 CHAP), "chap_flags" (1 mutual),
//                                  "initiator_chap_name", "initiator_secret",
//                                  "target_chap_name", "target_secret", each
//                                  length overridable as "<key>_length"}},
//                 "options": {}}]
// Addresses containing ':' are IPv6 (type 16), others IPv4 (type 1).
// A session handle the list does not hold is refused like an unknown
// session.
#ifndef HLVD_SIM_ISCSI_SESSION_MODEL_H
#define HLVD_SIM_ISCSI_SESSION_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim {

void cmd_get_a_session(FwContext &c);      // 6/14
void cmd_active_session_ids(FwContext &c); // 6/29

} // namespace hlvdsim

#endif
