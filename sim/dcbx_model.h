// DCBX and LLDP of the physical ports of a simulated converged adapter: the
// DCBX configuration records (administrator, operational, peer; versions 0
// and 1), their administrator write, the DCBX MIB counters, the DCBX mode,
// the LLDP local and peer configuration with its write, the LLDP counters,
// and the link operating parameters with their QoS mode. The port is the one
// the request header names (the link number of the request for 1/108).
//
// A port's description may carry:
//   "dcbx": { "administrator": SET, "operational": SET, "peer": SET }
// SET is a list of APP entries or an object:
//   { "apps": [APP, ...], "dcbx_state": 1, "params_valid": 1, "num_pgs": 8,
//     "pg_state": 0, "pfc_state": 0, "qcn_state": 0, "appl_state": 0,
//     "pfc": [priorities], "bandwidth": [8 percentages], "pg_ids": [8 groups],
//     "cnpv": 0, "ready": 0 }
// APP = { "protocol": "0x8906", "selector": 0, "priorities": [3],
//         "oui": "0x001b21", "valid": 1 }; entry k of the record is APP k, so a
//   list with "valid": 0 entries makes a sparse record (15 entries at most).
//   "dcbx_mib": { "operating_version", "max_version", "sequence", "ack",
//                 "peer_sequence", "peer_ack", "app_sequence", "pg_sequence",
//                 "pfc_sequence", "tx", "rx", "errors", "dropped" },
//   "dcbx_mode": 3,
//   "lldp": { "local": LLDP, "peer": LLDP, "stats": { "tx", "rx", "errors",
//             "dropped", "unrecognized", "aged_out", "org", "unrecognized_org" } }
//   LLDP = { "admin_status": 3, "port_description_tx": 1, "system_name_tx": 1,
//            "system_description_tx": 1, "system_capabilities_tx": 1,
//            "chassis_id": "..", "chassis_id_type": 4, "port_id": "..",
//            "port_id_type": 3, "ttl": 120, "system_name": "..",
//            "system_description": "..", "port_description": "..",
//            "system_capabilities": "0x14" },
//   "qos_modes": [1]  (one operating-parameter descriptor per entry)
// The adapter's "dcbx_v1": true makes the firmware know the version-1 DCBX
// record; without it a version-1 command fails as an invalid request. A write changes
// only the port's administrator record (and the LLDP local switches, the DCBX
// mode); what was written is kept in the adapter's firmware state.
#ifndef HLVD_SIM_DCBX_MODEL_H
#define HLVD_SIM_DCBX_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_operating_params(FwContext &c); // 1/108
void cmd_lldp_config(FwContext &c);      // 15/1
void cmd_lldp_set_config(FwContext &c);  // 15/2
void cmd_lldp_stats(FwContext &c);       // 15/3
void cmd_dcbx_config(FwContext &c);      // 16/1, versions 0 and 1
void cmd_dcbx_set_config(FwContext &c);  // 16/2, versions 0 and 1
void cmd_dcbx_mib(FwContext &c);         // 16/3
void cmd_dcbx_mode(FwContext &c);        // 16/4
void cmd_dcbx_set_mode(FwContext &c);    // 16/5

} // namespace hlvdsim

#endif
