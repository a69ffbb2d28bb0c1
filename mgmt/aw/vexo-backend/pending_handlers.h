// Handlers named by the node tables that are not written yet.
//
// Each one is bound as null until its code exists, so that the library's
// behaviour for a missing handler applies: a property read answers the
// cached value, a property write answers 3, an action answers 1 after its
// parameters are validated, a group refresh does nothing.
//
// To bind one: declare the real function in a header that the node table
// file includes, and delete its line here (the compiler refuses the two
// declarations side by side). Each line names the groups that use the
// handler and the code it belongs to.
//
// Included only by the node table files (nodes_*.cpp).
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_PENDING_HANDLERS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_PENDING_HANDLERS_H

#include "mgmt/vexo/core/hm_types.h"

// Adapter group Arcwright and its fixed subgroups


// NIC functions


// iSCSI functions


// Port groups PortDiscoveryAndConfiguration with ChannelManagement/Channel,
// BaseT10G, and the LLDP and DCBX subtrees with PG and ApplicationTLV




// iSCSI initiator: LogicalHBA, SendTargetPortal, Target, TargetPortal, Session, Connection, LUN
#endif
