// Statistics of the simulated iSCSI initiator: the instance and login
// statistics and the per-session attributes. The node attributes (2/30) are
// answered by initiator_model.
//
// State: keys of the function's "initiator" object (numbers default to 0,
// texts to empty):
//   "instance_stats": {"portal_count", "node_count", "session_count",
//                      "failure_count", "last_failure_type",
//                      "last_rmt_node_name", "digest_errors",
//                      "cxn_timeout_errors", "format_errors"}
//   "login_stats":    {"node_name", "failures", "last_failure_time",
//                      "last_failure_type", "last_tgt_name",
//                      "last_tgt_type", "last_tgt_addr" (IPv4 or IPv6 text),
//                      "accept_rsps", "other_fail_rsps", "redirect_rsps",
//                      "auth_fail_rsps", "authenticate_fails",
//                      "negotiate_fails", "logout_normals", "logout_others"}
//   "sessions"[i]."stats": {"direction" (default 2), "initiator_alias",
//                      "target_alias", "cmd_pdus", "rsp_pdus", "tx_octets",
//                      "rx_octets" (64-bit: numbers or decimal texts),
//                      "digest_errors", "cxn_timeout_errors",
//                      "format_errors"}
// The session-attribute command answers one 1276-byte entry per handle of
// its request, in request order; a handle that "sessions" does not hold is
// refused as a closed session (status 2, additional status 18). A request
// without the magic number, or whose count does not fit its length, is
// refused as invalid.
//
//   6/46  instance statistics   6/47  login statistics
//   6/48  session attributes
#ifndef HLVD_SIM_ISCSI_STATS_MODEL_H
#define HLVD_SIM_ISCSI_STATS_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_instance_stats(FwContext &c);      // 6/46
void cmd_login_stats(FwContext &c);         // 6/47
void cmd_session_attributes(FwContext &c);  // 6/48

} // namespace hlvdsim

#endif
