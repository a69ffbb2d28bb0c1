// The PHY of a converged adapter's port: its type (PortDiscoveryAndConfiguration
// group) and, for a 10GBASE-T PHY, the BaseT10G group's statistics, link-down
// reason and NVP value, and the group's cable test, self test and counter
// clearing actions.
//
// One statistics query fills all 19 statistics properties; a port's stamp in
// vexo_glob_timer keeps the query to one every 10 seconds while a client
// reads the group property by property.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_PHY_BASET_H
#define HLVD_MGMT_AW_VEXO_BACKEND_PHY_BASET_H

#include "mgmt/aw/vexo-backend/vexo_ioctl_records.h"
#include "mgmt/vexo/core/hm_types.h"

// Read-only property handlers (`type` is not looked at): 0, 1, or for the
// statistics of a PHY without them 149 after the "N/A" fill.
VEXO_status_t handle_10GbaseT_properties(node *property, char *value, int type);
VEXO_status_t handle_over_temperature(node *property, char *value, int type);
VEXO_status_t handle_PHYType(node *property, char *value, int type);
// NVPValue: type 0 reads, type 1 writes the decimal text in `value`.
VEXO_status_t handle_10baseT_nvpvalue(node *property, char *value, int type);

// Actions of a BaseT10G group (the context). SelfTest: params[0] TestType,
// params[1] SourceCable, params[2] TargetCable (empty when not given).
VEXO_status_t do_RunTDR(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_SelfTest(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_ClearCounters(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

extern "C" {
// Stores the statistics properties of a BaseT10G group from a version-0 or a
// version-1 answer (the other null), or "N/A" in all of them when both are
// null. flag 1: only renew the port's stamp after the "N/A" fill. 0, or 1
// when a store failed, the group has no port or adapter, or the port has no
// stamp.
int VEXO_update_10GbaseT_properties(node *baset, const GET_10GBASET_STATS_PARAMS *v0,
                                    const GET_10GBASET_STATS_PARAMS_V1 *v1, int flag);
}

#endif
