// The extended timeout (ETO) of an iSCSI target: kept by the firmware per
// session in the session configuration; the Target's property shows its
// first session's value and a write sets every session of the target. A
// target without sessions shows the controller's default once a client
// attaches to the back end, or the value it last held.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_TARGET_ETO_H
#define HLVD_MGMT_AW_VEXO_BACKEND_TARGET_ETO_H

#include "mgmt/vexo/core/hm_types.h"

extern "C" {
// Reads the ETO of the target's first session into its ETO property ("N/A"
// on a function reached through the driver's management callback). 0; 1
// without a session or when the store fails; else the failing step's result.
int get_eto_prop(int be_port_number, unsigned int domainid, unsigned int phba_port, node *target, int flag);
// Writes `value` (a number in C notation: 0x hexadecimal, leading 0 octal)
// as the extended timeout of one session, then reads the target's ETO back.
// A value outside 0-3600 sends nothing. 0, or the failing step's result.
int set_eto_prop(int be_port_number, unsigned int domainid, unsigned int phba_port, node *target,
                 const char *value, int session_handle);
// Gives every target of `lhba` without a session the controller's default
// extended timeout. 0, or 1.
int refresh_eto(node *lhba, unsigned int domainid, unsigned int phba_port);
// refresh_eto for every LogicalHBA of the tree, when a client attaches. 0.
int VEXO_refresh_backend_client_iscsi_targets(void);
}

// Property handler of a Target's ETO.
VEXO_status_t handle_Target_ETO(node *property, char *value, int type);

#endif
