// Client operations on the iSCSI side of the tree: the initiator's names,
// login options and CHAP settings, send-target portals, targets with their
// logins and logouts, and iSNS servers. Each addresses its group by name and
// answers RM_STATUS codes: 0, 64 busy, 114 a missing node or a failed call,
// and the codes each operation names. A request refused with 21 or 4 sends
// nothing; a failed step ends the operation and earlier steps stay.
#ifndef HLVD_MAL_MAL_ISCSI_OPS_H
#define HLVD_MAL_MAL_ISCSI_OPS_H

#include <cstdint>

#include "flash/rm_status.h"
#include "mal/mal_iscsi_readers.h"
#include "mal/mal_network_readers.h"
#include "mgmt/vexo/core/hm_types.h"

// A logout refused because the session is an active boot session.
#define MAL_STATUS_BOOT_SESSION_ACTIVE 126

struct MAL_PortalEntry {
    uint8_t IPAddress[4];
    uint8_t IPv6Address[16];
    char IPv6Text[64]; // not read
    int32_t PortNumber; // -1: not given
    uint8_t AddressFlags; // bit 0: the IPv6 address is meant
};

struct MAL_TargetEntry {
    char TargetName[256];
    uint8_t IPAddress[4];
    uint8_t IPv6Address[16];
    char IPv6Text[64]; // not read
    int32_t PortNumber;
    uint8_t BootTarget; // nonzero: a boot target
    char BootTargetPriority[256];
    uint32_t Tag; // of the Target group MAL_AddTarget created
    uint8_t AddressFlags;
};

struct MAL_TargetLoginParams {
    uint8_t IPAddress[4];
    uint8_t IPv6Address[16];
    char IPv6Text[64]; // not read
    int32_t PortNumber; // -1: not given
    char SessionInitiatorName[224];
    int32_t ISIDQualifier; // -1: not given
    uint8_t AddressFlags;
};

extern "C" {

// Initiator (tag of a LogicalHBA group).
RM_STATUS MAL_SetiSCSILogicalProperties(node_tag_t logical_hba, const MAL_iSCSILogicalProperties *rec);
RM_STATUS MAL_SetiSCSILoginOptions(node_tag_t logical_hba, const MAL_LoginOptions *rec);
RM_STATUS MAL_SetiSCSIAuthOptions(node_tag_t logical_hba, const MAL_AuthenticationProperties *rec);
// A failed write answers the library's last status code, unmapped.
int32_t MAL_Set_DiscoverBootTargetThruDHCP(node_tag_t logical_hba, int flag);

// CHAP (tag of an Authentication group).
RM_STATUS MAL_ConfigureCHAP(node_tag_t authentication, const MAL_AuthenticationProperties *rec);
RM_STATUS MAL_DeleteCHAP(node_tag_t authentication);

// Send-target portals.
RM_STATUS MAL_AddSendTargetPortal(node_tag_t logical_hba, const MAL_PortalEntry *rec);
RM_STATUS MAL_DelSendTargetPortal(node_tag_t logical_hba, node_tag_t portal);
RM_STATUS MAL_SetSendTargetPortalLoginOptions(node_tag_t portal, const MAL_LoginOptions *rec);
RM_STATUS MAL_SetSendTargetPortalAuthOptions(node_tag_t portal, const MAL_AuthenticationProperties *rec);
RM_STATUS MAL_DiscoverTargets(node_tag_t portal);
RM_STATUS MAL_RefreshTargets(node_tag_t logical_hba);

// Targets. MAL_AddTarget writes the new group's tag into rec->Tag.
int32_t MAL_AddTarget(node_tag_t logical_hba, MAL_TargetEntry *rec);
// On success the action's last status code; else 64 or the library status.
int32_t MAL_DelTarget(node_tag_t logical_hba, node_tag_t target);
RM_STATUS MAL_SetTargetProperties(node_tag_t target, int eto);
RM_STATUS MAL_SetTargetLoginOptions(node_tag_t target, const MAL_LoginOptions *rec);
RM_STATUS MAL_SetTargetAuthOptions(node_tag_t target, const MAL_AuthenticationProperties *rec);
RM_STATUS MAL_TargetLogin(node_tag_t target, const MAL_TargetLoginParams *params, const MAL_TargetEntry *entry);
RM_STATUS MAL_TargetLogout(node_tag_t target, node_tag_t session);
RM_STATUS MAL_RescanLuns(node_tag_t target);

// iSNS (tag of an iSCSIPhysicalHBA group).
RM_STATUS MAL_SetiSNSState(node_tag_t iscsi, int flag);
RM_STATUS MAL_AddiSNSServer(node_tag_t iscsi, const MAL_iSNSServer *server);
RM_STATUS MAL_DeleteiSNSServer(node_tag_t iscsi, node_tag_t server);
RM_STATUS MAL_DiscoveriSNSServers(node_tag_t iscsi);

} // extern "C"

#endif
