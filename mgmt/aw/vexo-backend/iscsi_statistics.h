// The iSCSI initiator's statistics: the iSCSIStatistics group of a
// LogicalHBA (node attributes, instance and login statistics) and the
// iSCSISessionStatistics group of a Session. Every read rereads the whole
// firmware record and rewrites all the properties it feeds.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_STATISTICS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_STATISTICS_H

#include "mgmt/vexo/core/hm_types.h"

// Handles per session-attribute command, and the bytes counted per handle.
#define ISCSI_SSN_ATTR_BATCH 50
#define ISCSI_SSN_ATTR_SLOT 1284

// Readers: `owner` is the LogicalHBA (or the Session); 0, or 1 when its
// statistics group is missing or the firmware cannot be read (with the
// status of each reader).
int get_NodeAttr_Params(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *owner);
int get_intr_stats_Params(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *owner);
int get_login_stats_Params(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *owner);
// Finds the Session's handle among the firmware's active sessions, asking
// for their attributes in batches, and writes its entry's statistics.
int get_ssnAttr_Params(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *session);

VEXO_status_t handle_NodeAttr_properties(node *property, char *value, int type);
VEXO_status_t handle_intrInstStat_properties(node *property, char *value, int type);
VEXO_status_t handle_intrLoginStat_properties(node *property, char *value, int type);
VEXO_status_t handle_SsnAttr_properties(node *property, char *value, int type);

#endif
