// The client layer's readers of the iSCSI side of the tree: an initiator's
// names, login options, CHAP settings, QoS and statistics, its targets with
// their portals, sessions with their connection, LUNs and send-target
// portals. Each fills a caller record (zero-filled by the caller) from the
// properties of one group; results are RM_STATUS codes (0, 64 busy, 114 a
// missing group or failed read, and the codes each reader names).
#ifndef HLVD_MAL_MAL_ISCSI_READERS_H
#define HLVD_MAL_MAL_ISCSI_READERS_H

#include <cstdint>

#include "flash/rm_status.h"
#include "mgmt/vexo/core/hm_types.h"

// Limits of the caller arrays.
#define MAL_TARGET_PORTALS 64
#define MAL_SEND_TARGET_PORTALS 128
#define MAL_IPV6_STRING_SIZE 40

struct MAL_AuthenticationProperties {
    char AuthenticationMethod[256];
    char InitiatorCHAPName[256];
    char InitiatorSecret[20];
    char TargetCHAPName[256];
    char TargetSecret[20];
};

struct MAL_LoginOptions {
    char InitialR2T[16];
    char ImmediateData[16];
    char HeaderDigest[32];
    char DataDigest[32];
};

struct MAL_DefaultLoginOptions {
    MAL_LoginOptions options;
    int32_t MaxConnections;
    int32_t MaxOutstandingR2T;
    int32_t FirstBurstLength;
    int32_t MaxBurstLength;
    int32_t DefaultTime2Wait;
    int32_t DefaultTime2Retain;
    int32_t ErrorRecoveryLevel;
    int32_t DataPDUInOrder;
    int32_t DataSequenceInOrder;
    int32_t MaxRecvDataSegmentLength;
};

// An address of a connection (IPv6 text 40 wide) ...
struct MAL_AddressRecord {
    uint8_t ipv4[4];
    uint8_t ipv6[16];
    char ipv6_text[MAL_IPV6_STRING_SIZE];
};
// ... and of a portal (IPv6 text 64 wide).
struct MAL_PortalAddressRecord {
    uint8_t ipv4[4];
    uint8_t ipv6[16];
    char ipv6_text[64];
};

struct MAL_iSCSIQoS {
    int32_t MinBitsPerSecond;
    int32_t MaxBitsPerSecond;
    int32_t MaxBytesPerSecond;
    int32_t MaxIosPerSecond;
};

struct MAL_iSCSILogicalProperties {
    char InitiatoriSCSIName[224];
    char InitiatorAlias[256];
    MAL_DefaultLoginOptions DefaultLoginOptions;
    MAL_LoginOptions InitiatorLoginOptions;
    MAL_AuthenticationProperties Authentication;
    MAL_iSCSIQoS QoS;
    int32_t Enabled;
};

struct MAL_ConnectionProperties {
    int32_t MaxSendDataSegmentLength;
    int32_t TCPMSS;
    char AuthenticationMethod[32];
    char DataDigest[32];
    char HeaderDigest[32];
    MAL_AddressRecord SourceIPAddress;
    MAL_AddressRecord DestinationIPAddress;
    MAL_AddressRecord RedirectedDestinationIPAddress;
    int32_t iSCSIConnectionID;
    int32_t SourcePortNumber;
    int32_t DestinationPortNumber;
    int32_t RedirectedDestinationPort;
    char Status[32];
    uint8_t AddressFlags; // bit 0: the addresses are IPv6
};

struct MAL_SessionProperties {
    char InitialR2T[16];
    char ImmediateData[16];
    int32_t MaxConnections;
    int32_t MaxOutstandingR2T;
    int32_t FirstBurstLength;
    int32_t MaxBurstLength;
    int32_t DefaultTime2Wait;
    int32_t DefaultTime2Retain;
    int32_t ErrorRecoveryLevel;
    int32_t DataPDUInOrder;
    int32_t DataSequenceInOrder;
    int32_t CmdPdus;
    int32_t RspPdus;
    int32_t TxDataOctetsHigh;
    int32_t RxDataOctetsHigh;
    int32_t DigestErrors;
    int32_t CxnTimeoutErrors;
    char SessionDirection[256];
    char SessionTargetAlias[256];
    MAL_ConnectionProperties Connection;
    uint64_t ISID;
    uint32_t ISIDQualifier;
    int32_t SessionTSIH;
    char SessionInitiatorName[224];
    char SessionStatus[32];
    char iSCSIBoot[16];
    char BootTargetPriority[256];
    int32_t Persistent;
};

struct MAL_TargetPortalProperties {
    MAL_PortalAddressRecord TargetIPAddress;
    int32_t TargetPortNumber;
    int32_t PortalGroupTag;
    uint8_t AddressFlags;
};

struct MAL_TargetProperties {
    MAL_TargetPortalProperties Portals[MAL_TARGET_PORTALS];
    MAL_LoginOptions LoginOptions;
    MAL_AuthenticationProperties Authentication;
    char TargetISCSIName[256];
    char TargetAlias[256];
    int32_t ETO;
};

struct MAL_SendTargetPortalProperties {
    MAL_PortalAddressRecord IpAddress;
    uint8_t AddressFlags;
    uint8_t PortMacAddress[6];
    int32_t PortNumber;
};

struct MAL_SendTargetPortalLoginProperties {
    MAL_LoginOptions LoginOptions;
    MAL_AuthenticationProperties Authentication;
};

struct MAL_LUNProperties {
    uint32_t LUNType;
    char LUNNumber[256];
    char LUNSize[256];
    char BlockSize[256];
    char DeviceVendorName[256];
    char DeviceModelNumber[256];
    char LUNSerialNumber[256];
    int32_t BootLUN;
};

struct MAL_iSCSIStatistics {
    int32_t LastFailureTime;
    int32_t LoginAcceptRsps;
    int32_t LoginAuthFailRsps;
    int32_t LoginAuthFails;
    int32_t LoginFailures;
    int32_t LoginNegoFails;
    int32_t LoginOtherFailRsps;
    int32_t LoginRedirectRsps;
    int32_t LogoutNormals;
    int32_t LogoutOthers;
    int32_t NodeCount;
    int32_t NodeRoles;
    int32_t PortalCount;
    int32_t PortalProtocol;
    int32_t PortalRole;
    int32_t PortalTag;
    int32_t PortRowStatus;
    int32_t SessionConnectionTimeout;
    int32_t SessionCount;
    int32_t SessionDigestErrors;
    int32_t SessionFailureCount;
    int32_t SessionFormatErrors;
    char LastFailureType[256];
    char LastSessionFailureType[256];
    char LastSessionRmtNodeName[224];
    char LastTgtFailureAddr[256];
    char LastTgtFailureName[224];
};

extern "C" {

RM_STATUS MAL_GetGroup_Authentication(node_tag_t authentication, MAL_AuthenticationProperties *rec);
// The child named `prefix` followed by "LoginOptions" (at most 34
// characters; a longer name is a missing child).
RM_STATUS MAL_GetGroup_LoginOptions(node_tag_t group, const char *prefix, MAL_LoginOptions *rec);
RM_STATUS MAL_GetGroup_InitiatorDefaultLoginOptions(node_tag_t logical_hba, MAL_DefaultLoginOptions *rec);
RM_STATUS MAL_GetGroup_InitiatoriSCSIName(node_tag_t logical_hba, MAL_iSCSILogicalProperties *rec);
RM_STATUS MAL_GetGroup_iSCSIQoS(node_tag_t logical_hba, MAL_iSCSIQoS *rec);
RM_STATUS MAL_GetiSCSILogicalProperties(node_tag_t logical_hba, MAL_iSCSILogicalProperties *rec);
RM_STATUS MAL_GetGroup_iSCSIStatistics(node_tag_t logical_hba, MAL_iSCSIStatistics *rec);
RM_STATUS MAL_GetiSCSIStatistics(node_tag_t logical_hba, MAL_iSCSIStatistics *rec);
// 0 once the child is found; the readers' results are not reported.
RM_STATUS MAL_GetGroup_iSCSISessionStatistics(node_tag_t session, MAL_SessionProperties *rec);
RM_STATUS MAL_GetGroup_Session(node_tag_t session, MAL_SessionProperties *rec);
RM_STATUS MAL_GetGroup_SessionNegotiatedLoginOptions(node_tag_t session, MAL_SessionProperties *rec);
RM_STATUS MAL_GetGroup_Connection(node_tag_t session, MAL_ConnectionProperties *rec);
RM_STATUS MAL_GetGroup_ConnectionNegotiatedLoginOptions(node_tag_t session, MAL_ConnectionProperties *rec);
RM_STATUS MAL_GetSessionProperties(node_tag_t session, MAL_SessionProperties *rec);
RM_STATUS MAL_GetGroup_Target(node_tag_t target, MAL_TargetProperties *rec);
RM_STATUS MAL_GetGroup_TargetPortal(node_tag_t portal, MAL_TargetPortalProperties *rec);
// Fills at most the first 64 portals.
RM_STATUS MAL_GetTargetProperties(node_tag_t target, MAL_TargetProperties *rec);
RM_STATUS MAL_GetGroup_SendTargetPortal(node_tag_t portal, MAL_SendTargetPortalProperties *rec);
// *count: the caller array's capacity on entry (below 64: 29), the records
// written on return; at most 128 and never beyond the capacity.
RM_STATUS MAL_GetSendTargetPortals(node_tag_t logical_hba, int *count, MAL_SendTargetPortalProperties *records);
RM_STATUS MAL_GetSendTargetPortalProperties(node_tag_t portal, MAL_SendTargetPortalLoginProperties *rec);
RM_STATUS MAL_GetGroup_LUN(node_tag_t lun, MAL_LUNProperties *rec);
RM_STATUS MAL_GetLunProperties(node_tag_t lun, MAL_LUNProperties *rec);

} // extern "C"

// The eight groups of four lower-case hexadecimal digits, colon-separated,
// into `text` (40 bytes).
void Ipv6AddressToString(const uint8_t address[16], char text[MAL_IPV6_STRING_SIZE]);

#endif
