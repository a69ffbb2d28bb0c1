// Client operations on an adapter's multichannel settings, its FRU VPD, its
// profiles, the firmware command line and the factory reset.
//
// Groups, properties and actions are found by name below the tag given; a
// missing one ends the operation with 114. Texts copied into the records
// are cut to their field and terminated; counts from the tree are bounded by
// the caller's arrays.
#ifndef HLVD_MAL_MAL_PROFILE_OPS_H
#define HLVD_MAL_MAL_PROFILE_OPS_H

#include <cstdint>

#include "flash/rm_status.h"
#include "mgmt/vexo/core/hm_types.h"

#define MAL_MC_TYPE_SIZE 32
// Holds every mode name the adapters report, comma-separated.
#define MAL_MC_TYPES_SIZE 64
#define MAL_MAX_CHANNELS 16
#define MAL_MAX_PROFILES 32
#define MAL_MAX_PROFILE_PORTS 16
#define MAL_MAX_PORT_FUNCTIONS 16
#define MAL_MAX_PROFILE_PROTOCOLS 32
#define MAL_PROFILE_DESC_SIZE 64
// Room MAL_GetFRUVPD asks of its caller at least.
#define MAL_FRU_VPD_MIN_LENGTH 1536

// Protocol codes of the profile records.
#define MAL_PROTOCOL_OTHER 0
#define MAL_PROTOCOL_NIC 1
#define MAL_PROTOCOL_ISCSI 2
#define MAL_PROTOCOL_FCOE 3
#define MAL_PROTOCOL_NIC_ROCE 4

struct MAL_ChannelMgmtCnaInfo {
    char CurrentManagementType[MAL_MC_TYPE_SIZE];
    char ConfiguredManagementType[MAL_MC_TYPE_SIZE];
    char SupportedMCTypes[MAL_MC_TYPES_SIZE];
};
static_assert(sizeof(MAL_ChannelMgmtCnaInfo) == 128, "channel management record");

struct MAL_ChannelInfo {
    char Type[32];
    uint32_t FunctionNumber;
    int32_t LogicalLinkState; // 1, 0, or 2 when undetermined
    uint8_t MACAddress[6];
    int32_t LPVID;
    int32_t OuterVLANID;
    char vNICName[32];
    int32_t MinBandwidth;
    int32_t MaxBandwidth;
};
static_assert(sizeof(MAL_ChannelInfo) == 96, "channel record");

struct MAL_FunctionProfileSetting {
    int32_t Protocol;
    uint32_t FunctionNumber;
    uint8_t MACAddress[6];
};
static_assert(sizeof(MAL_FunctionProfileSetting) == 16, "profile function record");

struct MAL_ProfilePort {
    int32_t reserved;
    int32_t FunctionCount;
    MAL_FunctionProfileSetting Functions[MAL_MAX_PORT_FUNCTIONS];
    int32_t MaxRoCEPFCount;
};
static_assert(sizeof(MAL_ProfilePort) == 268, "profile port record");

struct MAL_ProfileSetting {
    int32_t ProfileId;
    int32_t PortCount;
    int32_t reserved;
    MAL_ProfilePort Ports[MAL_MAX_PROFILE_PORTS];
};
static_assert(sizeof(MAL_ProfileSetting) == 4300, "profile record");

struct MAL_ProfileProtocol {
    int32_t Protocol;
    int32_t FunctionCount;
};

struct MAL_ProfileDescriptor {
    int32_t ProfileId;
    int32_t ProtocolCount;
    int32_t reserved;
    char ProfileDescription[MAL_PROFILE_DESC_SIZE];
    MAL_ProfileProtocol Protocols[MAL_MAX_PROFILE_PROTOCOLS];
};
static_assert(sizeof(MAL_ProfileDescriptor) == 332, "profile descriptor record");

struct MAL_ProfileInfo {
    int32_t Valid;          // 1 when the record is complete
    int32_t RebootRequired; // 1 when a change waits for a reboot
    int32_t ProfileCount;
    int32_t Fixed1; // set to 4
    int32_t Fixed2; // set to 4
    MAL_ProfileSetting ActiveProfile;
    MAL_ProfileSetting ConfiguredProfile;
    MAL_ProfileDescriptor Profiles[MAL_MAX_PROFILES];
};
static_assert(sizeof(MAL_ProfileInfo) == 19244, "profile information record");

extern "C" {

RM_STATUS MAL_GetChannelMgmtCnaInfo(node_tag_t adapter, MAL_ChannelMgmtCnaInfo *info);
// The modes from the port 0 groups of the active and configured profiles.
RM_STATUS MAL_GetChannelMgmtCnaInfoTrl(node_tag_t adapter, MAL_ChannelMgmtCnaInfo *info);
RM_STATUS MAL_GetChannelMgmtChannelInfo(node_tag_t channel, MAL_ChannelInfo *info);
// `channels` holds 16 records; 1 when the port has no channel.
RM_STATUS MAL_GetChannelMgmtPortInfo(node_tag_t port, MAL_ChannelInfo *channels);
// The configured mode must be one of "N/A", "ZMR", "vNIC1", "vNIC2", "UFP",
// "NPAR" exactly, else 21 with nothing sent.
RM_STATUS MAL_SetChannelMgmtCnaInfo(node_tag_t adapter, const MAL_ChannelMgmtCnaInfo *info);
// Only the low byte of `flag` counts: 1 or 0, else 21.
RM_STATUS MAL_SetChannelMgmtLogicalLinkState(node_tag_t channel, uint32_t flag);
RM_STATUS MAL_SetChannelMgmtLPVID(node_tag_t channel, int32_t lpvid);
RM_STATUS MAL_SetChannelMgmtPortType(node_tag_t channel, const char *type);
RM_STATUS MAL_SetChannelMgmtBandwidth(node_tag_t channel, int32_t min_bandwidth, int32_t max_bandwidth);
// *length: room in `buffer` on entry (at least 1536, else 7), bytes on
// return. 251 when the adapter has no FRU VPD.
RM_STATUS MAL_GetFRUVPD(node_tag_t adapter, uint8_t *buffer, uint32_t *length);
RM_STATUS MAL_SetProfileID(node_tag_t adapter, int32_t profile_id);
// Sets the profile id, then asks for an action the hierarchy does not
// offer: 114 once the id is set.
RM_STATUS MAL_SetPortProtocols(node_tag_t adapter, const MAL_ProfileSetting *setting);
// 191 for more than 32 profiles (the record is then not filled).
RM_STATUS MAL_GetProfileInfo(node_tag_t adapter, MAL_ProfileInfo *info);
RM_STATUS MAL_PM_SetFactoryDefaults(node_tag_t adapter);
RM_STATUS MAL_PM_SaveProfile(node_tag_t adapter);
// -1 leaves the function number out.
RM_STATUS MAL_SetMaxFunctionNumber(node_tag_t adapter, int32_t function_number);
RM_STATUS MAL_GetPMFunctionProfileSetting(node_tag_t function, MAL_FunctionProfileSetting *setting);
// 4 for a missing or empty command or file name; otherwise 0 or the
// library's status (a VEXO_status_t).
int32_t MAL_Run_FwCli(node_tag_t adapter, const char *command, const char *file);
// 0, or the library's status (a VEXO_status_t).
int32_t MAL_ResetFactoryDefaults(node_tag_t adapter);

} // extern "C"

#endif
