// The repeated groups below an adapter that the back end fills in: link
// configurations, profiles and their ports and functions, the NC-SI and
// trace-module groups, event-log entries, and the port subtree with its
// channels, priority groups and application entries.
#include "expected_tables.h"

namespace nodestest {

namespace {

const char *const kLinkConfig[] = {
    "P LinkConfigID | RO | integer | 0..32 | 0 |  | handle_internal_property",
    "P LinkConfigDescription | RO | string | 1..32 |  |  | handle_internal_property",
};

const char *const kProfile[] = {
    "P ProfileId | RO | integer | 0..256 | 0 |  | handle_internal_property",
    "P ProfileDescription | RO | string | 1..128 |  |  | handle_internal_property",
};

const char *const kProfileProtocol[] = {
    "P ProtocolName | RO | string | 0..8 | NIC |  | handle_internal_property",
    "P FunctionCount | RO | integer | 1..64 |  |  | handle_internal_property",
};

// "HLFlex" before "HLZMR" here, after it below ConfiguredProfile.
const char *const kActiveProfilePort[] = {
    "P MCType | RO | list | 3..7 | None | ZMR,vNIC1,vNIC2,UFP,NPAR,HLFlex,HLZMR,HLFlexQBG,None | handle_internal_property",
    "P MaxStoragePFCount | RO | integer | 0..8 | 0 |  | handle_internal_property",
    "P MaxNICPFCount | RO | integer | 1..64 | 1 |  | handle_internal_property",
    "P MaxRoCEPFCount | RO | integer | 0..64 | 0 |  | handle_internal_property",
    "P MaxiSCSIPFCount | RO | integer | 0..64 | 0 |  | handle_internal_property",
    "P MaxFCoEPFCount | RO | integer | 0..64 | 0 |  | handle_internal_property",
};

const char *const kActiveProfilePortFunction[] = {
    "P Protocol | RO | string | 0..8 | NIC |  | handle_internal_property",
    "P FunctionNumber | RO | integer | 0..64 | 0 |  | handle_internal_property",
    "P MACAddress | RO | string | 17..17 | 00:00:00:00:00:00 |  | handle_internal_property",
    "P SRIOVState | RO | list | 7..8 | Disabled | Enabled,Disabled | handle_AProf_SRIOVState",
};

const char *const kConfiguredProfilePort[] = {
    "P MCType | RW | list | 3..7 | None | ZMR,vNIC1,vNIC2,UFP,NPAR,HLZMR,HLFlex,HLFlexQBG,None | handle_ConfiguredProfile_Port_MCType",
};

const char *const kConfiguredProfilePortFunction[] = {
    "P Protocol | RW | string | 0..8 | NIC |  | handle_ConfiguredProfile_Port_Function_Protocol",
    "P State | RO | list | 0..8 | Disabled | Enabled,Disabled | handle_internal_property",
    "P FunctionNumber | RO | integer | 0..64 | 0 |  | handle_internal_property",
    "P MACAddress | RO | string | 17..17 | 00:00:00:00:00:00 |  | handle_ProfileManagement_ConfiguredProfile_Port_Function_MACAddress",
    "P SRIOVState | RW | list | 7..8 | Disabled | Enabled,Disabled | handle_CProf_SRIOVState",
    "P AvailableProtocols | RO | list | 3..5 | NIC | NIC,RoCE,FCoE,iSCSI,None | handle_AvailableProtocols",
};

const char *const kNCSIStaticConfiguration[] = {
    "P PortSwap | RO | list | 2..3 | No | Yes,No | handle_ncsi_static_configuration",
    "P EnableWOLPort0 | RO | list | 2..3 | No | Yes,No | handle_ncsi_static_configuration",
    "P Port0MAC | RO | string | 17..17 | 00:00:00:00:00:00 |  | handle_ncsi_static_configuration",
    "P EnableWOLPort1 | RO | list | 2..3 | No | Yes,No | handle_ncsi_static_configuration",
    "P Port1MAC | RO | string | 17..17 | 00:00:00:00:00:00 |  | handle_ncsi_static_configuration",
    "P MgmtVLANId | RO | integer | 0..4095 | 0 |  | handle_ncsi_static_configuration",
};

const char *const kNCSIDynamicConfiguration[] = {
    "P EnableWOLPort0 | RW | list | 2..3 | No | Yes,No | handle_ncsi_dynamic_configuration",
    "P Port0MAC | RW | string | 17..17 | 00:00:00:00:00:00 |  | handle_ncsi_dynamic_configuration",
    "P EnableWOLPort1 | RW | list | 2..3 | No | Yes,No | handle_ncsi_dynamic_configuration",
    "P Port1MAC | RW | string | 17..17 | 00:00:00:00:00:00 |  | handle_ncsi_dynamic_configuration",
    "P MgmtVLANId | RW | integer | 0..4095 | 0 |  | handle_ncsi_dynamic_configuration",
};

const char *const kExtFATModule[] = {
    "P ModuleString | RO | string | 1..32 | N/A |  | handle_internal_property",
    "P ModuleId | RO | integer | 1..32 | 1 |  | handle_internal_property",
};

const char *const kExtFATMode[] = {
    "P Mode | RO | list | 7..8 | UART | UART,RAM | handle_internal_property",
    "P PortMask | RW | string | 3..4 | 0xFF |  | handle_current_mode_properties",
    "P PCIFunctionMask | RW | string | 3..18 | 0xFFFFFFFFFFFFFFFF |  | handle_current_mode_properties",
    "P TraceLevel | RW | list | 0..255 | 0 | 0,1,4,5,8,16,32,48,64,128,255 | handle_current_mode_properties",
};

const char *const kEventLogEntry[] = {
    "P SequenceNumber | RO | integer | 1..255 | 1 |  | handle_internal_property",
    "P TimeStamp | RO | integer | 1..255 | 1 |  | handle_internal_property",
    "P Severity | RO | list | 1..255 | Unknown | Fatal,Error,Warning,Informational,Unknown | handle_internal_property",
    "P Description | RO | string | 1..255 | 0 |  | handle_internal_property",
    "P ErrorCode | RO | integer | 1..255 | 1 |  | handle_internal_property",
};

#define LLDP_PEER_ROWS                                                                                              \
    "P ChassisId | RO | string | 0..255 | Unknown |  | handle_LLDP_properties",                                    \
        "P ChassisType | RO | list | 7..17 | Unknown | Chassis Component,Interface Alias,Port Component,MAC "     \
        "Address,Network Address,Interface Name,Locally Assigned,Unknown | handle_LLDP_properties",              \
        "P PortId | RO | string | 0..255 | Unknown |  | handle_LLDP_properties",                                  \
        "P PortType | RO | list | 7..16 | Unknown | Interface Alias,Port Component,MAC Address,Network "          \
        "Address,Interface Name,Agent Circuit Id,Locally Assigned,Unknown | handle_LLDP_properties",             \
        "P PortDescription | RO | string | 0..255 | Unknown |  | handle_LLDP_properties",                         \
        "P SystemName | RO | string | 0..255 | Unknown |  | handle_LLDP_properties",                              \
        "P SystemDescription | RO | string | 0..255 | Unknown |  | handle_LLDP_properties",                       \
        "P SystemCapabilities | RO | list | 4..9 | Unknown | "                                                    \
        "Other,Repeater,Bridge,WLAN,Router,Telephone,Docsis,Station,Unknown | handle_LLDP_properties",           \
        "P TTL | RO | integer | 0..255 | 0 |  | handle_LLDP_properties"

const char *const kPortDiscoveryAndConfiguration[] = {
    "P PortNumber | RO | integer | 0..3 | 0 |  | handle_internal_property",
    "P PortName | RO | string | 1..1 | 0 |  | handle_internal_property",
    "P PortState | RW | list | 7..8 | Enabled | Enabled,Disabled | handle_PortState",
    "P PhysicalLinkStatus | RO | list | 2..7 | Unknown | Up,Down,Unknown | handle_PhysicalLinkStatus",
    "P PHYType | RO | integer | 0..255 | 0x0 |  | handle_PHYType",
    "P InterfaceType | RO | string | 2..26 | Unknown |  | handle_internal_property",
    "P BeaconState | RO | list | 7..13 | Disabled | Enabled,Disabled,Not Supported | handle_BeaconState",
    "P TXThrottle | RW | string | 1..2 | 2 |  | handle_TXThrottle",
    "G ChannelManagement | group_Arcwright_PortDiscoveryAndConfiguration_ChannelManagement",
    "}",
    "G BaseT10G",
        "P 10GBaseTDiagStatus | RO | string | 0..32 | 0 |  | handle_10GbaseT_properties",
        "P Temperature | RO | string | 0..120 | 0 |  | handle_10GbaseT_properties",
        "P PHYLinkDownReason | RO | integer | 0..5 | 0 |  | handle_over_temperature",
        "P PairASNR | RO | string | 0..32 | 0 |  | handle_10GbaseT_properties",
        "P PairBSNR | RO | string | 0..32 | 0 |  | handle_10GbaseT_properties",
        "P PairCSNR | RO | string | 0..32 | 0 |  | handle_10GbaseT_properties",
        "P PairDSNR | RO | string | 0..32 | 0 |  | handle_10GbaseT_properties",
        "P TimeSinceLinkHigh | RO | string | 0..32 | 0 |  | handle_10GbaseT_properties",
        "P TimeSinceLinkLow | RO | string | 0..32 | 0 |  | handle_10GbaseT_properties",
        "P AverageMSEPairA | RO | string | 0..32 | 0 |  | handle_10GbaseT_properties",
        "P AverageMSEPairB | RO | string | 0..32 | 0 |  | handle_10GbaseT_properties",
        "P AverageMSEPairC | RO | string | 0..32 | 0 |  | handle_10GbaseT_properties",
        "P AverageMSEPairD | RO | string | 0..32 | 0 |  | handle_10GbaseT_properties",
        "P LDPCFrameHigh | RO | string | 0..32 | 0 |  | handle_10GbaseT_properties",
        "P LDPCFrameLow | RO | string | 0..32 | 0 |  | handle_10GbaseT_properties",
        "P PHYCRC8High | RO | string | 0..32 | 0 |  | handle_10GbaseT_properties",
        "P PHYCRC8Low | RO | string | 0..32 | 0 |  | handle_10GbaseT_properties",
        "P MDIPLLEventCounter | RO | string | 0..32 | 0 |  | handle_10GbaseT_properties",
        "P 10GEMIEventCounter | RO | string | 0..32 | 0 |  | handle_10GbaseT_properties",
        "P PHYFrameCounter | RO | string | 0..64 | 0 |  | handle_10GbaseT_properties",
        "P SelfTestResult | RO | integer | 0..4 |  |  | handle_internal_property",
        "P PairAResult | RO | integer | 0..3 | 0 |  | handle_internal_property",
        "P PairBResult | RO | integer | 0..3 | 0 |  | handle_internal_property",
        "P PairCResult | RO | integer | 0..3 | 0 |  | handle_internal_property",
        "P PairDResult | RO | integer | 0..3 | 0 |  | handle_internal_property",
        "P PairALengthEstimation | RO | integer | 0..100 | 0 |  | handle_internal_property",
        "P PairBLengthEstimation | RO | integer | 0..100 | 0 |  | handle_internal_property",
        "P PairCLengthEstimation | RO | integer | 0..100 | 0 |  | handle_internal_property",
        "P PairDLengthEstimation | RO | integer | 0..100 | 0 |  | handle_internal_property",
        "P NVPValue | RW | string | 0..100 | 72 |  | handle_10baseT_nvpvalue",
        "P NVPUsed | RO | integer | 0..100 | 72 |  | handle_internal_property",
        "P IsClearCountersSupported | RO | list | 4..5 | False | True,False | handle_internal_property",
        "A SelfTest | do_SelfTest | M TestType list 0..10 Noise,NonLinear,CrossTalk; "
        "M SourceCable list 0..6 PairA,PairB,PairC,PairD; O TargetCable list 0..6 PairA,PairB,PairC,PairD",
        "A RunTDR | do_RunTDR | ",
        "A ClearCounters | do_ClearCounters | ",
    "}",
    "P FCoEWWPN | RO | string | 0..16 | 0 |  | handle_FCoEWWPN",
    "P Mode | RO | list | 5..15 | Default | Force,Auto-Negotiate,Default | handle_get_link_speed_properties",
    "P ConfiguredSpeed | RO | list | 3..20 | 0 | All Supported Speeds,10Mb,100Mb,1Gb,10Gb,10Gb/1Gb,10Gb/1Gb/100Mb,"
    "1Gb/100Mb,1Gb/100Mb/10Mb,100Mb/10Mb,40Gb | handle_get_link_speed_properties",
    "P DACCableLength | RO | string | 0..10 | 0 |  | handle_get_link_speed_properties",
    "P ANSpeedsSupported | RO | list | 3..10 | 0 | 0,10Mb,100Mb,1Gb,10Gb | handle_internal_property",
    "P ForceSpeedsSupported | RO | list | 3..10 | 0 | 0,10Mb,100Mb,1Gb,10Gb | handle_internal_property",
    // Defaults outside their own allowed lists, as the back end expects them.
    "P TxFlowControl | RW | list | 7..8 | N/A | Enabled,Disabled | handle_flow_control_properties",
    "P RxFlowControl | RW | list | 7..8 | N/A | Enabled,Disabled | handle_flow_control_properties",
    "P FCoELinkSpeed | RO | list | 3..13 | 0 (Link Down) | 0 (Link Down),less than 1Mb,less than 1Gb,1Gb,10Gb,"
    "20Gb,25Gb,40Gb,100Gb | handle_FCoELinkSpeed",
    "A Beacon | do_Beacon | O BeaconDuration integer 0..255; O StatusDuration integer 0..255; "
    "M BeaconState list 7..8 Enabled,Disabled",
    "A SetPortSpeed | do_SetPortSpeed | O Speed list 3..15 10Mb,100Mb,1Gb,10Gb,10Gb/1Gb,10Gb/1Gb/100Mb,1Gb/100Mb,"
    "1Gb/100Mb/10Mb,100Mb/10Mb,40Gb,40Gb/10Gb,40Gb/1Gb,40Gb/10Gb/1Gb,20Gb,20Gb/1Gb,20Gb/10Gb,20Gb/10Gb/1Gb; "
    "M Mode list 5..15 Force,Auto-Negotiate,Default; O DACCableLength integer 0..10",
    "A DumpTransceiverData | do_DumpTransceiverData | M WireAddress list 2..2 A0,A2",
    "A ErasePortandDiscoveryConfiguration | do_ErasePortandDiscoveryConfiguration | ",
    "G LLDP",
        "G LocalConfiguration",
            "P TxState | RW | list | 7..8 | Enabled | Enabled,Disabled | handle_LLDP_properties",
            "P RxState | RW | list | 7..8 | Enabled | Enabled,Disabled | handle_LLDP_properties",
            "P PortDescriptionTLV | RW | list | 7..8 | Enabled | Enabled,Disabled | handle_LLDP_properties",
            "P SystemDescriptionTLV | RW | list | 7..8 | Enabled | Enabled,Disabled | handle_LLDP_properties",
            "P SystemNameTLV | RW | list | 7..8 | Enabled | Enabled,Disabled | handle_LLDP_properties",
            "P SystemCapabilitiesTLV | RW | list | 7..8 | Enabled | Enabled,Disabled | handle_LLDP_properties",
            LLDP_PEER_ROWS,
        "}",
        "G PeerConfiguration",
            LLDP_PEER_ROWS,
        "}",
        "G LLDPStatistics",
            "P TxPacketCount | RO | integer | 0..2147483647 | 0 |  | handle_lldp_stats_props",
            "P RxPacketCount | RO | integer | 0..2147483647 | 0 |  | handle_lldp_stats_props",
            "P UnrecognizedTLVs | RO | integer | 0..2147483647 | 0 |  | handle_lldp_stats_props",
            "P NumPacketsDropped | RO | integer | 0..2147483647 | 0 |  | handle_lldp_stats_props",
            "P OrganizationalTLVCount | RO | integer | 0..2147483647 | 0 |  | handle_lldp_stats_props",
        "}",
    "}",
    "G DCBX",
        "G DCBXPortVars",
            "P OperatingVersion | RO | integer | 0..3 | 0 |  | handle_dcbx_port_vars",
            "P MaxVersion | RO | integer | 0..3 | 0 |  | handle_dcbx_port_vars",
            "P DCBXState | RW | list | 7..8 | Enabled | Enabled,Disabled | handle_DCBXState",
            "P DCBXMode | RW | list | 3..9 | Auto-IEEE | CEE,CIN,Auto-CEE,Auto-IEEE | handle_DCBXMode",
            "P SequenceNumber | RO | integer | 0..2147483647 | 0 |  | handle_dcbx_port_vars",
            "P AckNumber | RO | integer | 0..2147483647 | 0 |  | handle_dcbx_port_vars",
            "P PeerSequenceNumber | RO | integer | 0..2147483647 | 0 |  | handle_dcbx_port_vars",
            "P PeerAckNumber | RO | integer | 0..2147483647 | 0 |  | handle_dcbx_port_vars",
            "P PFCFeatureSequenceNumber | RO | integer | 0..2147483647 | 0 |  | handle_dcbx_port_vars",
            "P PGFeatureSequenceNumber | RO | integer | 0..2147483647 | 0 |  | handle_dcbx_port_vars",
            "P AppFeatureSequenceNumber | RO | integer | 0..2147483647 | 0 |  | handle_dcbx_port_vars",
        "}",
        "G DCBXStatistics",
            "P TxPacketCount | RO | integer | 0..2147483647 | 0 |  | handle_dcbx_stats_props",
            "P RxPacketCount | RO | integer | 0..2147483647 | 0 |  | handle_dcbx_stats_props",
            "P UnrecognizedTLVs | RO | integer | 0..2147483647 | 0 |  | handle_internal_property",
            "P NumPacketsDropped | RO | integer | 0..2147483647 | 0 |  | handle_dcbx_stats_props",
            "P OrganizationalTLVCount | RO | integer | 0..2147483647 | 0 |  | handle_internal_property",
        "}",
        "G PFC",
            "G AdministratorPFCSetting",
                "P Advertise | RW | list | 2..3 | Yes | Yes,No | handle_pfc_feature_vars",
                "P Enabled | RW | list | 2..3 | No | Yes,No | handle_pfc_feature_vars",
                "P PriorityBitMap | RW | string | 1..4 | 0 |  | handle_pfc_feature_vars",
                "P Willing | RW | list | 2..3 | Yes | Yes,No | handle_pfc_feature_vars",
            "}",
            "G PeerPFCSetting",
                "P Advertise | RO | list | 2..3 | Yes | Yes,No | handle_pfc_feature_vars",
                "P Enabled | RO | list | 2..3 | Yes | Yes,No | handle_pfc_feature_vars",
                "P Error | RO | list | 2..3 | Yes | Yes,No | handle_pfc_feature_vars",
                "P PriorityBitMap | RO | string | 1..4 | 0 |  | handle_pfc_feature_vars",
                "P Willing | RO | list | 2..3 | Yes | Yes,No | handle_pfc_feature_vars",
            "}",
            "G OperationalPFCSettings",
                "P Error | RO | list | 2..3 | Yes | Yes,No | handle_pfc_feature_vars",
                "P OperationalMode | RO | list | 4..5 | True | True,False | handle_pfc_feature_vars",
                "P PriorityBitMap | RO | string | 1..4 | 0 |  | handle_pfc_feature_vars",
                "P Synced | RO | list | 2..3 | Yes | Yes,No | handle_pfc_feature_vars",
            "}",
        "}",
        "G PriorityGroups",
            "G AdministratorPGSetting",
                "P PG15PriorityMemberShip | RW | string | 0..7 | 0 |  | handle_pg15_membership",
                "P Advertise | RW | list | 2..3 | Yes | Yes,No | handle_pg_feature_vars",
                "P Enabled | RW | list | 2..3 | Yes | Yes,No | handle_pg_feature_vars",
                "P Willing | RW | list | 2..3 | Yes | Yes,No | handle_pg_feature_vars",
                "P NumPGSupported | RO | integer | 2..5 | 2 |  | handle_pg_feature_vars",
            "}",
            "G PeerPGSetting",
                "P PG15PriorityMemberShip | RO | string | 0..7 | 0 |  | handle_pg15_membership",
                "P Advertise | RO | list | 2..3 | Yes | Yes,No | handle_pg_feature_vars",
                "P Enabled | RO | list | 2..3 | Yes | Yes,No | handle_pg_feature_vars",
                "P Error | RO | list | 2..3 | Yes | Yes,No | handle_pg_feature_vars",
                "P Willing | RO | list | 2..3 | Yes | Yes,No | handle_pg_feature_vars",
                "P NumPGSupported | RO | integer | 2..5 | 2 |  | handle_pg_feature_vars",
            "}",
            "G OperationalPGSettings",
                "P PG15PriorityMemberShip | RO | string | 0..7 | 0 |  | handle_pg15_membership",
                "P Error | RO | list | 2..3 | Yes | Yes,No | handle_pg_feature_vars",
                "P OperationalMode | RO | list | 4..5 | True | True,False | handle_pg_feature_vars",
                "P Synced | RO | list | 2..3 | Yes | Yes,No | handle_pg_feature_vars",
                "P NumPGSupported | RO | integer | 2..5 | 2 |  | handle_pg_feature_vars",
            "}",
        "}",
        "G ApplicationTLVGroups",
            "G AdministratorTLVSetting | group_AdministratorTLVSetting",
                "P Advertise | RW | list | 2..3 | Yes | Yes,No | handle_app_feature_vars",
                "P Enabled | RW | list | 2..3 | Yes | Yes,No | handle_app_feature_vars",
                "P Willing | RW | list | 2..3 | Yes | Yes,No | handle_app_feature_vars",
                "A AddApplicationTLV | do_AddApplicationTLV | M ProtocolSelector integer 0..1; "
                "M ProtocolID integer 0..99999; M PriorityBitMap string 1..4; O OUI string 1..8",
                "A DeleteApplicationTLV | do_DeleteApplicationTLV | M InstanceNumber integer 0..14",
            "}",
            "G PeerTLVSetting | group_PeerTLVSetting",
                "P Advertise | RO | list | 2..3 | Yes | Yes,No | handle_app_feature_vars",
                "P Enabled | RO | list | 2..3 | Yes | Yes,No | handle_app_feature_vars",
                "P Error | RO | list | 2..3 | Yes | Yes,No | handle_app_feature_vars",
                "P Willing | RO | list | 2..3 | Yes | Yes,No | handle_app_feature_vars",
            "}",
            "G OperationalTLVSettings | group_OperationalTLVSettings",
                "P Error | RO | list | 2..3 | Yes | Yes,No | handle_app_feature_vars",
                "P OperationalMode | RO | list | 4..5 | True | True,False | handle_app_feature_vars",
                "P Synced | RO | list | 2..3 | Yes | Yes,No | handle_app_feature_vars",
            "}",
        "}",
        "G QCN",
            "G AdministratorQCNSetting",
                "P Advertise | RW | list | 2..3 | Yes | Yes,No | handle_update_qcn_props",
                "P Enabled | RW | list | 2..3 | No | Yes,No | handle_update_qcn_props",
                "P CNPVBitMap | RO | string | 1..4 | 0 |  | handle_update_qcn_props",
                "P Willing | RW | list | 2..3 | Yes | Yes,No | handle_update_qcn_props",
            "}",
            "G PeerQCNSetting",
                "P Advertise | RO | list | 2..3 | Yes | Yes,No | handle_update_qcn_props",
                "P Enabled | RO | list | 2..3 | Yes | Yes,No | handle_update_qcn_props",
                "P Error | RO | list | 2..3 | Yes | Yes,No | handle_update_qcn_props",
                "P CNPVBitMap | RO | string | 1..4 | 0 |  | handle_update_qcn_props",
                "P Willing | RO | list | 2..3 | Yes | Yes,No | handle_update_qcn_props",
                "P ReadyBitMap | RO | string | 1..4 | 0 |  | handle_update_qcn_props",
            "}",
            "G OperationalQCNSettings",
                "P Error | RO | list | 2..3 | Yes | Yes,No | handle_update_qcn_props",
                "P OperationalMode | RO | list | 4..5 | N/A | True,False | handle_update_qcn_props",
                "P CNPVBitMap | RO | string | 1..4 | 0 |  | handle_update_qcn_props",
                "P Synced | RO | list | 2..3 | Yes | Yes,No | handle_update_qcn_props",
                "P ReadyBitMap | RO | string | 1..4 | 0 |  | handle_update_qcn_props",
            "}",
        "}",
    "}",
};

#undef LLDP_PEER_ROWS

// The parameter names of ConfigureQoS are spelt differently from the
// properties they set.
const char *const kChannel[] = {
    "P FunctionNumber | RO | integer | 0..8 | 0 |  | handle_internal_property",
    "P Type | RO | string | 3..5 | NIC |  | handle_internal_property",
    "P vNICName | RO | string | 1..32 | 1 |  | handle_channel_vnic_name",
    "P LogicalLinkState | RW | list | 7..8 | Disabled | Enabled,Disabled | handle_LogicalLinkState",
    "P MACAddress | RO | string | 17..17 | 00:00:00:00:00:00 |  | handle_internal_property",
    "P LPVID | RW | integer | 0..4094 | 2 |  | handle_LPVID",
    "P OuterVLANID | RO | integer | 0..4094 | 0 |  | handle_channel_outer_vlan",
    "P MinBandWidth | RO | integer | 0..100 | 0 |  | handle_MinBandWidth",
    "P MaxBandWidth | RO | integer | 0..100 | 0 |  | handle_MaxBandWidth",
    "A ConfigureQoS | do_ConfigureQoS | M MinBandwidth integer 0..100; M MaxBandwidth integer 0..100",
};

const char *const kAdministratorPG[] = {
    "P Bandwidth | RO | integer | 0..255 | 0 |  | handle_bwg_props",
    "P PriorityMembership | RO | string | 0..7 | 0 |  | handle_bwg_props",
    "A ConfigurePGSettings | do_ConfigurePGSettings | M PriorityMembership string 0..7; M Bandwidth integer 0..255",
};

const char *const kPeerOrOperationalPG[] = {
    "P Bandwidth | RO | integer | 0..100 | 0 |  | handle_bwg_props",
    "P PriorityMembership | RO | string | 0..7 | 0 |  | handle_bwg_props",
};

const char *const kAdministratorApplicationTLV[] = {
    "P OUI | RO | string | 1..8 | 0x001b21 |  | handle_apptlv_feature_vars",
    "P PriorityBitMap | RW | string | 1..4 | 0 |  | handle_apptlv_feature_vars",
    "P ProtocolID | RO | integer | 0..99999 | 0 |  | handle_apptlv_feature_vars",
    "P ProtocolSelector | RO | integer | 0..1 | 0 |  | handle_apptlv_feature_vars",
};

const char *const kPeerOrOperationalApplicationTLV[] = {
    "P OUI | RO | string | 1..8 | 0x001b21 |  | handle_apptlv_feature_vars",
    "P PriorityBitMap | RO | string | 1..4 | 0 |  | handle_apptlv_feature_vars",
    "P ProtocolID | RO | integer | 0..99999 | 0 |  | handle_apptlv_feature_vars",
    "P ProtocolSelector | RO | integer | 0..1 | 0 |  | handle_apptlv_feature_vars",
};

#define TABLE(rows) rows, sizeof(rows) / sizeof((rows)[0])

} // namespace

const ExpectedTable kLinkConfigTable = {"LinkConfig", "", 32, TABLE(kLinkConfig)};
const ExpectedTable kProfileTable = {"Profile", "", 100, TABLE(kProfile)};
const ExpectedTable kProfileProtocolTable = {"Protocol", "", 8, TABLE(kProfileProtocol)};
const ExpectedTable kActiveProfilePortTable = {"Port", "", 4, TABLE(kActiveProfilePort)};
const ExpectedTable kActiveProfilePortFunctionTable = {"Function", "", 64, TABLE(kActiveProfilePortFunction)};
const ExpectedTable kConfiguredProfilePortTable = {"Port", "", 4, TABLE(kConfiguredProfilePort)};
const ExpectedTable kConfiguredProfilePortFunctionTable = {"Function", "", 64,
                                                           TABLE(kConfiguredProfilePortFunction)};
const ExpectedTable kNCSIStaticConfigurationTable = {"NCSIStaticConfiguration", "", 1,
                                                     TABLE(kNCSIStaticConfiguration)};
const ExpectedTable kNCSIDynamicConfigurationTable = {"NCSIDynamicConfiguration", "", 1,
                                                      TABLE(kNCSIDynamicConfiguration)};
const ExpectedTable kExtFATModuleTable = {"ExtFATModule", "", 64, TABLE(kExtFATModule)};
const ExpectedTable kExtFATModeTable = {"ExtFATMode", "", 2, TABLE(kExtFATMode)};
const ExpectedTable kEventLogEntryTable = {"EventLogEntry", "", 1024, TABLE(kEventLogEntry)};
const ExpectedTable kPortDiscoveryAndConfigurationTable = {"PortDiscoveryAndConfiguration", "", 4,
                                                           TABLE(kPortDiscoveryAndConfiguration)};
const ExpectedTable kChannelTable = {"Channel", "", 16, TABLE(kChannel)};
const ExpectedTable kAdministratorPGTable = {"PG", "", 8, TABLE(kAdministratorPG)};
const ExpectedTable kPeerPGTable = {"PG", "", 8, TABLE(kPeerOrOperationalPG)};
const ExpectedTable kOperationalPGTable = {"PG", "", 8, TABLE(kPeerOrOperationalPG)};
const ExpectedTable kAdministratorApplicationTLVTable = {"ApplicationTLV", "", 15,
                                                         TABLE(kAdministratorApplicationTLV)};
const ExpectedTable kPeerApplicationTLVTable = {"ApplicationTLV", "", 15, TABLE(kPeerOrOperationalApplicationTLV)};
const ExpectedTable kOperationalApplicationTLVTable = {"ApplicationTLV", "", 15,
                                                       TABLE(kPeerOrOperationalApplicationTLV)};

} // namespace nodestest
