// The event log of a simulated converged adapter: the read (subsystem 2,
// opcode 63) and the clear (2/62). Varrow keeps no log and answers "not
// supported" to both.
//
// The adapter's description holds the log:
//   "event_log": { "seq": S, "count": N,
//                  "entries": [ { "code": C, "time": T, "seq": Q, "severity": V,
//                                 "p": [p1, ..., p5] } or { ..., "text": "..." } ] }
// Numbers may be texts ("0xFFFFFFFF"). "count" (optional) is the entry count
// the head reports, whatever the entries are; without it the head counts
// the entries copied. Entries that do not fit the request are left out and
// the answer has status 4 (insufficient buffer). A clear empties the log in
// the adapter's firmware state ("event_log_cleared"), so later reads from
// any process see it empty.
#ifndef HLVD_SIM_EVENTLOG_MODEL_H
#define HLVD_SIM_EVENTLOG_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_clear_event_log(FwContext &c); // 2/62
void cmd_read_event_log(FwContext &c);  // 2/63

} // namespace hlvdsim

#endif
