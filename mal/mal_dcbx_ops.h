// Data-centre-bridging settings of a port (LLDP, DCBX port variables,
// priority flow control, priority groups, congestion notification,
// application TLVs) and the loopback mode of an adapter's ports, all by name
// through the management API.
//
// Record conventions: a flag reads 1 (true), 0 (false) or 2 (undetermined);
// for a write, 1 writes the true text, 0 the false text, -1 leaves the
// property unchanged and any other value stops the setter with 21. Bit maps
// are read as hexadecimal, numbers as decimal. Setters write in a fixed
// order and stop at the first refused value or failing call; what was
// written before stays written.
#ifndef HLVD_MAL_MAL_DCBX_OPS_H
#define HLVD_MAL_MAL_DCBX_OPS_H

#include <cstdint>

#include "flash/rm_status.h"
#include "mgmt/vexo/core/hm_types.h"

#define MAL_PG_COUNT 8
#define MAL_APP_TLV_COUNT 15

struct MAL_LldpProperties {
    int32_t TxState;
    int32_t RxState;
    int32_t PortDescriptionTLV;
    int32_t SystemDescriptionTLV;
    int32_t SystemNameTLV;
    int32_t SystemCapabilitiesTLV;
};

struct MAL_DcbxPortVars {
    int32_t OperatingVersion;
    int32_t MaxVersion;
    int32_t DCBXMode;  // 1 "CEE", 0 "CIN"
    int32_t DCBXState;
};

struct MAL_PfcAdministrator {
    int32_t Willing;
    int32_t Advertise;
    int32_t Enabled;
    int32_t PriorityBitMap;
};

struct MAL_PfcOperational {
    int32_t Synced;
    int32_t Error;
    int32_t OperationalMode;
    int32_t PriorityBitMap;
};

struct MAL_PfcProperties {
    MAL_PfcAdministrator Admin;
    MAL_PfcOperational Oper;
};

struct MAL_PGEntry {
    int32_t PriorityMembership;
    int32_t Bandwidth;
};

struct MAL_PGAdministrator {
    MAL_PGEntry PG[MAL_PG_COUNT];
    int32_t Willing;
    int32_t Advertise;
    int32_t Enabled;
    int32_t NumPGSupported;
    int32_t PG15PriorityMembership;
};

struct MAL_PGOperational {
    MAL_PGEntry PG[MAL_PG_COUNT];
    int32_t Synced;
    int32_t Error;
    int32_t OperationalMode;
    int32_t NumPGSupported;
    int32_t PG15PriorityMembership;
};

struct MAL_PGProperties {
    MAL_PGAdministrator Admin;
    MAL_PGOperational Oper;
};

struct MAL_QCNAdministrator {
    int32_t Advertise;
    int32_t Enabled;
    int32_t CNPVBitMap;
    int32_t Willing;
};

struct MAL_QCNPeer {
    int32_t Advertise;
    int32_t Enabled;
    int32_t Error;
    int32_t CNPVBitMap;
    int32_t ReadyBitMap;
    int32_t Willing;
};

struct MAL_QCNOperational {
    int32_t Error;
    int32_t OperationalMode;
    int32_t CNPVBitMap;
    int32_t ReadyBitMap;
    int32_t Synced;
};

struct MAL_QCNProperties {
    MAL_QCNAdministrator Admin;
    MAL_QCNPeer Peer;
    MAL_QCNOperational Oper;
};

// Every field read as hexadecimal.
struct MAL_AppTlvEntry {
    int32_t ProtocolSelector;
    int32_t ProtocolID;
    int32_t PriorityBitMap;
    int32_t OUI;
};

struct MAL_AppTlvAdministrator {
    int32_t Willing;
    int32_t Advertise;
    int32_t Enabled;
    MAL_AppTlvEntry Entries[MAL_APP_TLV_COUNT];
};

struct MAL_AppTlvOperational {
    int32_t Synced;
    int32_t Error;
    int32_t OperationalMode;
    MAL_AppTlvEntry Entries[MAL_APP_TLV_COUNT];
};

struct MAL_AppTlvProperties {
    MAL_AppTlvAdministrator Admin;
    MAL_AppTlvOperational Oper;
};

struct MAL_AppTlv {
    int32_t ProtocolSelector;
    int32_t ProtocolID;
    int32_t PriorityBitMap;
};

extern "C" {

// The DCBX and LLDP operations take a PortDiscoveryAndConfiguration group.
// Lookups fail with 114; reads and writes answer 0, 64 or 114.
RM_STATUS MAL_GetLldpProperties(node_tag_t port, MAL_LldpProperties *props);
RM_STATUS MAL_SetLldpProperties(node_tag_t port, const MAL_LldpProperties *props);
RM_STATUS MAL_GetDcbxPortVars(node_tag_t port, MAL_DcbxPortVars *vars);
// Writes DCBXMode ("CEE"/"CIN") and DCBXState.
RM_STATUS MAL_SetDcbxPortVars(node_tag_t port, const MAL_DcbxPortVars *vars);

// The out tags are written only when every lookup succeeded.
RM_STATUS MAL_GetTags_PFC(node_tag_t port, node_tag_t *admin, node_tag_t *oper);
RM_STATUS MAL_GetPfcProperties(node_tag_t port, MAL_PfcProperties *props);
// Administrator half: PriorityBitMap (unless -1), then Enabled, Advertise,
// Willing.
RM_STATUS MAL_SetPfcProperties(node_tag_t port, const MAL_PfcProperties *props);

RM_STATUS MAL_GetTags_PGSettings(node_tag_t port, node_tag_t *admin, node_tag_t *oper);
// Operational NumPGSupported: 0 when unreadable, 8 for a value of 0;
// administrator NumPGSupported: 8 when unreadable or 0.
RM_STATUS MAL_GetPGProperties(node_tag_t port, MAL_PGProperties *props);
// Administrator Enabled, Advertise, Willing.
RM_STATUS MAL_SetPGProperties(node_tag_t port, const MAL_PGProperties *props);
// Configures PG0 to PG7 of the administrator setting from the record's
// entries (-1 keeps the group's current value), then writes
// PG15PriorityMembership unless it is -1. Both names do the same.
RM_STATUS MAL_SetPGPriorities(node_tag_t port, const MAL_PGProperties *props);
RM_STATUS MAL_SetPGBandwidths(node_tag_t port, const MAL_PGProperties *props);

RM_STATUS MAL_GetTags_QCN(node_tag_t port, node_tag_t *admin, node_tag_t *oper, node_tag_t *peer);
RM_STATUS MAL_GetQCNProperties(node_tag_t port, MAL_QCNProperties *props);
// Administrator Enabled, Advertise, Willing.
RM_STATUS MAL_SetQCNProperties(node_tag_t port, const MAL_QCNProperties *props);

RM_STATUS MAL_GetAppTlvProperties(node_tag_t port, MAL_AppTlvProperties *props);
// Administrator Advertise, Enabled, Willing.
RM_STATUS MAL_SetAppTlvProperties(node_tag_t port, const MAL_AppTlvProperties *props);
// Adds an administrator application entry (no OUI given).
RM_STATUS MAL_AddAppTlv(node_tag_t port, const MAL_AppTlv *tlv);
// Deletes administrator application entries 14 down to 0, whatever each
// deletion answers: 0 unless a lookup fails.
RM_STATUS MAL_DelAppTlv(node_tag_t port);

// Not provided: always 2.
RM_STATUS MAL_GetTlvProperties(void);
RM_STATUS MAL_SetTlvProperties(void);

// Loopback of an adapter's ports. Kinds: 1 MAC, 2 PHY, 3 one-port; any
// other kind answers 21 and runs nothing.
RM_STATUS MAL_EnterLoopbackMode(node_tag_t adapter, int32_t source, int32_t destination, int32_t kind);
RM_STATUS MAL_ExitLoopbackMode(node_tag_t adapter, int32_t source, int32_t destination);

} // extern "C"

#endif
