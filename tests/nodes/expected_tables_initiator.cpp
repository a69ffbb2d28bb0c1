#include "expected_tables_initiator.h"

namespace nodestest {

namespace {

// The CHAP actions of every Authentication group that has them take the
// same parameters.
#define CONFIGURE_CHAP                                                                                          \
    "A ConfigureCHAP | do_ConfigureCHAP | M AuthenticationMethod list 4..12 Mutual CHAP,One-Way CHAP; "         \
    "O InitiatorCHAPName string 0..256; O InitiatorSecret string 0..256; M TargetCHAPName string 1..256; "      \
    "M TargetSecret string 12..34; O CHAPParam list 4..11 Discouraged,Preferred,Required"
#define DELETE_CHAP "A DeleteCHAP | do_DeleteCHAP | "

const char *const kLogicalHBA[] = {
    "P Enabled | RW | list | 4..5 | False | False,True | handle_iSCSIPhysicalHBA_LogicalHBA_Enabled",
    "P IfName | RO | string | 1..32 | vmhba |  | handle_internal_property",
    "G InitiatoriSCSIName",
        "P InitiatoriSCSIName | RW | string | 1..223 | iqn.tq |  | handle_name_params",
        "P InitiatorAlias | RW | string | 0..31 | tq |  | handle_name_params",
    "}",
    "G InitiatorDefaultLoginOptions",
        "P InitialR2T | RO | list | 0..3 | Yes | Yes,No | handle_internal_property",
        "P ImmediateData | RO | list | 0..3 | Yes | Yes,No | handle_internal_property",
        "P MaxConnections | RO | integer | 1..1 | 1 |  | handle_internal_property",
        "P MaxOutstandingR2T | RO | integer | 1..255 | 1 |  | handle_internal_property",
        "P FirstBurstLength | RO | integer | 0..8192 | 8192 |  | handle_internal_property",
        "P MaxBurstLength | RO | integer | 0..262144 | 262144 |  | handle_internal_property",
        "P DefaultTime2Wait | RO | integer | 0..2 | 2 |  | handle_internal_property",
        "P DefaultTime2Retain | RO | integer | 0..20 | 20 |  | handle_internal_property",
        "P ErrorRecoveryLevel | RO | integer | 0..255 | 0 |  | handle_internal_property",
        "P DataPDUInOrder | RO | integer | 0..1 | 1 |  | handle_internal_property",
        "P DataSequenceInOrder | RO | integer | 0..1 | 1 |  | handle_internal_property",
        "P HeaderDigest | RO | list | 4..6 | None | None,CRC32C | handle_internal_property",
        "P DataDigest | RO | list | 4..6 | None | None,CRC32C | handle_internal_property",
        "P MaxRecvDataSegmentLength | RO | integer | 0..65536 | 65536 |  | handle_internal_property",
    "}",
    "G InitiatorLoginOptions",
        "P InitialR2T | RO | list | 0..3 | Yes | Yes,No | handle_initiator_loginoptions",
        "P ImmediateData | RW | list | 0..3 | Yes | Yes,No | handle_initiator_loginoptions",
        "P HeaderDigest | RW | list | 4..6 | None | None,CRC32C | handle_initiator_loginoptions",
        "P DataDigest | RW | list | 4..6 | None | None,CRC32C | handle_initiator_loginoptions",
        "P HeaderParam | RW | list | 9..10 | Prohibited | Prohibited,Preferred | handle_initiator_loginoptions",
        "P DataParam | RW | list | 9..10 | Prohibited | Prohibited,Preferred | handle_initiator_loginoptions",
        "G Authentication",
            "P AuthenticationMethod | RO | list | 4..12 | None | None,Mutual CHAP,One-Way CHAP | handle_authentication_initiator_loginoptions",
            "P InitiatorCHAPName | RO | string | 1..256 |  |  | handle_authentication_initiator_loginoptions",
            "P InitiatorSecret | RO | string | 12..34 |  |  | handle_authentication_initiator_loginoptions",
            "P TargetCHAPName | RO | string | 1..256 |  |  | handle_authentication_initiator_loginoptions",
            "P TargetSecret | RO | string | 12..34 |  |  | handle_authentication_initiator_loginoptions",
            "P CHAPParam | RO | list | 4..11 | Prohibited | Prohibited,Discouraged,Preferred,Required | handle_authentication_initiator_loginoptions",
            CONFIGURE_CHAP,
            DELETE_CHAP,
        "}",
    "}",
    "G iSCSIQoS",
        "P MinBitsPerSecond | RO | integer | 0..1000 | 0 |  | handle_iscsi_bandwidth_softcap",
        "P MaxBitsPerSecond | RO | integer | 0..1000 | 0 |  | handle_iscsi_bandwidth_softcap",
        "P MaxBytesPerSecond | RW | integer | 0..1280 | 0 |  | handle_MaxBytesPerSecond",
        "P MaxIosPerSecond | RW | integer | 0..250 | 0 |  | handle_MaxIosPerSecond",
    "}",
    "G iSCSIStatistics",
        "P NodeRoles | RO | string | 1..255 | 1 |  | handle_NodeAttr_properties",
        "P PortalCount | RO | integer | 1..5 | 1 |  | handle_NodeAttr_properties",
        "P NodeCount | RO | integer | 1..5 | 1 |  | handle_NodeAttr_properties",
        "P SessionCount | RO | integer | 1..5 | 1 |  | handle_intrInstStat_properties",
        "P SessionFailureCount | RO | integer | 1..255 | 1 |  | handle_intrInstStat_properties",
        "P LastSessionFailureType | RO | string | 1..255 | 1 |  | handle_intrInstStat_properties",
        "P LastSessionRmtNodeName | RO | string | 1..224 | iqn.tq |  | handle_intrInstStat_properties",
        "P SessionDigestErrors | RO | string | 4..0 | 4 |  | handle_intrInstStat_properties",
        "P SessionConnectionTimeout | RO | string | 4..0 | 4 |  | handle_intrInstStat_properties",
        "P SessionFormatErrors | RO | string | 4..0 | 4 |  | handle_intrInstStat_properties",
        "P LoginFailures | RO | string | 4..0 | 4 |  | handle_intrLoginStat_properties",
        "P LastFailureTime | RO | string | 0..32 | 0 |  | handle_intrLoginStat_properties",
        "P LastFailureType | RO | string | 0..0 | 0 |  | handle_intrLoginStat_properties",
        "P LastTgtFailureName | RO | string | 1..224 | iqn.tq |  | handle_intrLoginStat_properties",
        "P LastTgtFailureAddr | RO | string | 0..0 | 0 |  | handle_intrLoginStat_properties",
        "P LoginAcceptRsps | RO | string | 4..0 | 4 |  | handle_intrLoginStat_properties",
        "P LoginOtherFailRsps | RO | string | 4..0 | 4 |  | handle_intrLoginStat_properties",
        "P LoginRedirectRsps | RO | string | 4..0 | 4 |  | handle_intrLoginStat_properties",
        "P LoginAuthFailRsps | RO | string | 4..0 | 4 |  | handle_intrLoginStat_properties",
        "P LoginAuthFails | RO | string | 4..0 | 4 |  | handle_intrLoginStat_properties",
        "P LoginNegoFails | RO | string | 4..0 | 4 |  | handle_intrLoginStat_properties",
        "P LogoutNormals | RO | string | 4..0 | 4 |  | handle_intrLoginStat_properties",
        "P LogoutOthers | RO | string | 4..0 | 4 |  | handle_intrLoginStat_properties",
        "P PortRowStatus | RO | string | 0..3 | 2 |  | handle_NodeAttr_properties",
        "P PortalRole | RO | string | 1..2 | 1 |  | handle_NodeAttr_properties",
        "P PortalProtocol | RO | string | 1..2 | 1 |  | handle_NodeAttr_properties",
        "P PortalTag | RO | string | 1..65535 | 1 |  | handle_NodeAttr_properties",
    "}",
    "G Discovery | group_Discovery",
        "P DiscoverBootTargetThruDHCP | RW | list | 7..8 | Disabled | Enabled,Disabled | handle_DiscoverBootTargetThruDHCP",
        "A AddSendTargetPortal | do_AddSendTargetPortal | M IPAddress ip 0..0; M PortNumber integer 1024..65535",
        "A DeleteSendTargetPortal | do_DeleteSendTargetPortal | M InstanceNumber integer 0..127",
        "A RefreshAvailableTargets | do_RefreshAvailableTargets | ",
    "}",
    "A AddTarget | do_AddTarget | M TargetName string 6..223; M IPAddress ip 0..0; O PortNumber integer 1024..65535; "
        "O BootTarget list 4..5 True,False; O BootTargetPriority list 4..9 Primary,Secondary,None",
    "A DeleteTarget | do_DeleteTarget | M InstanceNumber integer 0..256",
};

const char *const kSendTargetPortal[] = {
    "G SendTargetPortalLoginOptions",
        "P InitialR2T | RO | list | 0..3 | Yes | Yes,No | handle_stploginoptions",
        "P ImmediateData | RW | list | 0..3 | Yes | Yes,No | handle_stploginoptions",
        "P HeaderDigest | RW | list | 4..6 | None | None,CRC32C | handle_stploginoptions",
        "P DataDigest | RW | list | 4..6 | None | None,CRC32C | handle_stploginoptions",
        "P HeaderParam | RW | list | 9..10 | Prohibited | Prohibited,Preferred | handle_stploginoptions",
        "P DataParam | RW | list | 9..10 | Prohibited | Prohibited,Preferred | handle_stploginoptions",
        "G Authentication",
            "P AuthenticationMethod | RO | list | 4..12 | None | None,Mutual CHAP,One-Way CHAP | handle_authentication_stploginoptions",
            "P InitiatorCHAPName | RO | string | 1..256 |  |  | handle_authentication_stploginoptions",
            "P InitiatorSecret | RO | string | 12..34 |  |  | handle_authentication_stploginoptions",
            "P TargetCHAPName | RO | string | 1..256 |  |  | handle_authentication_stploginoptions",
            "P TargetSecret | RO | string | 12..34 |  |  | handle_authentication_stploginoptions",
            "P CHAPParam | RO | list | 4..11 | Prohibited | Prohibited,Discouraged,Preferred,Required | handle_authentication_stploginoptions",
            CONFIGURE_CHAP,
            DELETE_CHAP,
        "}",
    "}",
    "P IPAddress | RO | ip | 0..0 | 0.0.0.0 |  | handle_internal_property",
    "P PortNumber | RO | integer | 1024..65535 | 3260 |  | handle_internal_property",
    "P PortMacAddress | RO | string | 17..17 | 00:00:00:00:00:00 |  | handle_internal_property",
    "A DiscoverTargets | do_DiscoverTargets | O TargetName string 0..255",
};

const char *const kTarget[] = {
    "G TargetLoginOptions",
        "P InitialR2T | RO | list | 0..3 | Yes | Yes,No | handle_target_loginoptions",
        "P ImmediateData | RW | list | 0..3 | Yes | Yes,No | handle_target_loginoptions",
        "P HeaderDigest | RW | list | 4..6 | None | None,CRC32C | handle_target_loginoptions",
        "P DataDigest | RW | list | 4..6 | None | None,CRC32C | handle_target_loginoptions",
        "P HeaderParam | RW | list | 9..10 | Prohibited | Prohibited,Preferred | handle_target_loginoptions",
        "P DataParam | RW | list | 9..10 | Prohibited | Prohibited,Preferred | handle_target_loginoptions",
        "G Authentication",
            "P AuthenticationMethod | RO | list | 4..12 | None | None,Mutual CHAP,One-Way CHAP | handle_authentication_target_loginopts",
            "P InitiatorCHAPName | RO | string | 1..256 |  |  | handle_authentication_target_loginopts",
            "P InitiatorSecret | RO | string | 12..34 |  |  | handle_internal_property",
            "P TargetCHAPName | RO | string | 1..256 |  |  | handle_internal_property",
            "P TargetSecret | RO | string | 12..34 |  |  | handle_authentication_target_loginopts",
            "P CHAPParam | RO | list | 4..11 | Prohibited | Prohibited,Discouraged,Preferred,Required | handle_authentication_target_loginopts",
            CONFIGURE_CHAP,
            DELETE_CHAP,
        "}",
    "}",
    "P TargetISCSIName | RO | string | 6..223 | 6 |  | handle_internal_property",
    "P TargetAlias | RO | string | 0..0 |  |  | handle_TargetAlias",
    "P ETO | RW | integer | 0..3600 | 30 |  | handle_Target_ETO",
    "P TargetType | RO | list | 6..10 | Static | Static,Discovered | handle_target_type",
    "A Login | do_Login | O IPAddress ip 0..0; O PortNumber integer 1024..65535; O SessionInitiatorName string 1..223; "
        "O ISIDQualifier integer 0..65535; O BootTarget list 4..5 True,False; "
        "O BootTargetPriority list 4..9 Primary,Secondary,None",
    "A DeleteTargetPortal | do_DeleteTargetPortal | O InstanceNumber integer 0..63",
    "A AddTargetPortal | do_AddTargetPortal | M IPAddress ip 0..0; O PortNumber integer 1024..65535",
    "A Logout | do_Logout | O InstanceNumber integer 0..63",
    "A ReScanLUNS | do_ReScanLUNS | ",
};

const char *const kTargetPortal[] = {
    "P TargetIPAddress | RO | ip | 0..0 | 0.0.0.0 |  | handle_internal_property",
    "P TargetPortNumber | RO | integer | 1..65535 | 1036 |  | handle_internal_property",
    "P PortalGroupTag | RO | integer | 0..255 | 0 |  | handle_internal_property",
};

const char *const kSession[] = {
    "G SessionLoginOptions",
        "P InitialR2T | RO | list | 0..3 | Yes | Yes,No | handle_internal_property",
        "P ImmediateData | RO | list | 0..3 | Yes | Yes,No | handle_internal_property",
        "P HeaderDigest | RO | list | 4..6 | None | None,CRC32C | handle_internal_property",
        "P DataDigest | RO | list | 4..6 | None | None,CRC32C | handle_internal_property",
        "G Authentication",
            "P AuthenticationMethod | RO | list | 4..12 | None | None,Mutual CHAP,One-Way CHAP | handle_internal_property",
            "P InitiatorCHAPName | RO | string | 1..256 |  |  | handle_internal_property",
            "P InitiatorSecret | RO | string | 12..34 |  |  | handle_internal_property",
            "P TargetCHAPName | RO | string | 1..256 |  |  | handle_internal_property",
            "P TargetSecret | RO | string | 12..34 |  |  | handle_internal_property",
        "}",
    "}",
    "G SessionNegotiatedLoginOptions",
        "P InitialR2T | RO | list | 0..3 | Yes | Yes,No | handle_internal_property",
        "P ImmediateData | RO | list | 0..3 | Yes | Yes,No | handle_internal_property",
        "P MaxConnections | RO | integer | 1..1 | 1 |  | handle_internal_property",
        "P MaxOutstandingR2T | RO | integer | 1..0 | 1 |  | handle_internal_property",
        "P FirstBurstLength | RO | string | 0..10 | 8192 |  | handle_internal_property",
        "P MaxBurstLength | RO | integer | 0..262144 | 262144 |  | handle_internal_property",
        "P DefaultTime2Wait | RO | integer | 0..2 | 2 |  | handle_internal_property",
        "P DefaultTime2Retain | RO | integer | 0..20 | 20 |  | handle_internal_property",
        "P ErrorRecoveryLevel | RO | integer | 0..0 | 0 |  | handle_internal_property",
        "P DataPDUInOrder | RO | integer | 0..1 | 1 |  | handle_internal_property",
        "P DataSequenceInOrder | RO | integer | 0..1 | 1 |  | handle_internal_property",
    "}",
    "G iSCSISessionStatistics",
        "P SessionDirection | RO | integer | 1..2 | 1 |  | handle_SsnAttr_properties",
        "P CmdPdus | RO | integer | 1..65536 | 0 |  | handle_SsnAttr_properties",
        "P RspPdus | RO | integer | 1..65536 | 0 |  | handle_SsnAttr_properties",
        "P TxDataOctetsHigh | RO | integer | 1..2147483647 | 0 |  | handle_SsnAttr_properties",
        "P RxDataOctetsHigh | RO | integer | 1..2147483647 | 0 |  | handle_SsnAttr_properties",
        "P DigestErrors | RO | integer | 0..65536 | 0 |  | handle_SsnAttr_properties",
        "P CxnTimeoutErrors | RO | integer | 0..65536 | 0 |  | handle_SsnAttr_properties",
        "P SessionTargetAlias | RO | string | 0..30 |  |  | handle_SsnAttr_properties",
    "}",
    "P SessionTSIH | RO | string | 0..0 | 0 |  | handle_session_properties",
    "P ISIDQualifier | RO | integer | 0..0 | 0 |  | handle_session_properties",
    "P ISID | RO | integer | 0..0 | 0 |  | handle_internal_property",
    "P SessionInitiatorName | RO | string | 1..223 | iqn.tq |  | handle_session_properties",
    "P SessionStatus | RO | string | 0..32 | Unknown |  | handle_session_properties",
    "P iSCSIBoot | RW | list | 4..5 | False | False,True | handle_boot_session",
    "P BootTargetPriority | RO | list | 4..9 | None | Primary,Secondary,None | handle_BootTargetPriority",
    "P Persistent | RO | list | 4..5 | False | False,True | handle_session_properties",
    "A ConfigureBootTarget | do_ConfigureBootTarget | M iSCSIBoot list 4..5 False,True; "
        "O BootTargetPriority list 4..9 Primary,Secondary,None",
};

const char *const kConnection[] = {
    "G ConnectionNegotiatedLoginOptions",
        "P AuthenticationMethod | RO | list | 4..12 | None | None,Mutual CHAP,One-Way CHAP | handle_internal_property",
        "P HeaderDigest | RO | list | 4..6 | None | None,CRC32C | handle_internal_property",
        "P DataDigest | RO | list | 4..6 | None | None,CRC32C | handle_internal_property",
        "P MaxSendDataSegmentLength | RO | integer | 512..16384 | 16384 |  | handle_internal_property",
        "P TCPMSS | RO | integer | 1436..8248 | 1460 |  | handle_internal_property",
    "}",
    "P iSCSIConnectionID | RO | integer | 1..32 | 1 |  | handle_connection_properties",
    "P Status | RO | string | 0..32 | Connection Status Unknown |  | handle_connection_properties",
    "P SourcePortNumber | RO | integer | 1024..65535 | 1024 |  | handle_connection_properties",
    "P DestinationPortNumber | RO | integer | 1024..65535 | 1024 |  | handle_connection_properties",
    "P SourceIPAddress | RO | ip | 0..0 | 0.0.0.0 |  | handle_connection_properties",
    "P DestinationIPAddress | RO | ip | 0..0 | 0.0.0.0 |  | handle_connection_properties",
    "P RedirectedDestinationPort | RO | string | 0..0 | 0 |  | handle_connection_properties",
    "P RedirectedDestinationIPAddress | RO | string | 0..0 | 0 |  | handle_connection_properties",
};

const char *const kLUN[] = {
    "P LUNNumber | RO | string | 0..0 | 0 |  | handle_LUNNumber",
    "P LUNSize | RO | integer | 0..0 | 0 |  | handle_lun_block_size",
    "P BlockSize | RO | integer | 0..0 | 0 |  | handle_lun_block_size",
    "P DeviceVendorName | RO | string | 0..0 | 0 |  | handle_StdInquiry_properties",
    "P DeviceModelNumber | RO | integer | 0..0 | 0 |  | handle_StdInquiry_properties",
    "P LUNName | RO | string | 5..225 | 0 |  | handle_internal_property",
    "P LUNSerialNumber | RO | string | 0..255 | 0 |  | handle_StdInquiry_properties",
    "P LUNType | RO | string | 0..0 | 0 |  | handle_StdInquiry_properties",
    "P BootLUN | RW | list | 4..5 | False | True,False | handle_BootLUN",
    "A StdInquiry | do_StdInquiry | ",
    "A SCSIWrite | do_SCSIWrite | M StartBlockAddress integer 0..65535; M Count integer 1..65535",
};

#define TABLE(rows) rows, sizeof(rows) / sizeof((rows)[0])

} // namespace

const ExpectedTable kLogicalHBATable = {"LogicalHBA", "", 1, TABLE(kLogicalHBA)};
const ExpectedTable kSendTargetPortalTable = {"SendTargetPortal", "", 128, TABLE(kSendTargetPortal)};
const ExpectedTable kTargetTable = {"Target", "group_Target", 256, TABLE(kTarget)};
const ExpectedTable kTargetPortalTable = {"TargetPortal", "", 64, TABLE(kTargetPortal)};
const ExpectedTable kSessionTable = {"Session", "group_Session", 64, TABLE(kSession)};
const ExpectedTable kConnectionTable = {"Connection", "", 1, TABLE(kConnection)};
const ExpectedTable kLUNTable = {"LUN", "group_LUN", 256, TABLE(kLUN)};

} // namespace nodestest
