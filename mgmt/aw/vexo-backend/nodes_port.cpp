// Node tables of a physical port: PortDiscoveryAndConfiguration with its
// fixed ChannelManagement, BaseT10G, LLDP and DCBX subtrees, the Channel of
// each PCI function sharing the port, and the PG and ApplicationTLV entries
// below the DCBX settings groups.
#include "mgmt/aw/vexo-backend/nodes_port.h"

#include "mgmt/aw/vexo-backend/channel_management.h"
#include "mgmt/aw/vexo-backend/config_erase.h"
#include "mgmt/aw/vexo-backend/dcbx_features.h"
#include "mgmt/aw/vexo-backend/lldp.h"
#include "mgmt/aw/vexo-backend/loopback_diag.h"
#include "mgmt/aw/vexo-backend/multichannel.h"
#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/aw/vexo-backend/phy_baset.h"
#include "mgmt/aw/vexo-backend/port_speed.h"
#include "mgmt/aw/vexo-backend/port_state.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"

namespace {

constexpr int32_t RO = VEXO_PROP_READONLY;
constexpr int32_t RW = VEXO_PROP_READWRITE;
constexpr char STR = VEXO_TYPE_STRING;
constexpr char INT = VEXO_TYPE_INTEGER;
constexpr char LIST = VEXO_TYPE_LIST;

#define ENABLED_DISABLED "Enabled,Disabled"
#define YES_NO "Yes,No"
#define TRUE_FALSE "True,False"
#define PORT_SPEEDS "0,10Mb,100Mb,1Gb,10Gb"
#define LINK_SPEEDS "0 (Link Down),less than 1Mb,less than 1Gb,1Gb,10Gb,20Gb,25Gb,40Gb,100Gb"
#define INT32_TOP 2147483647u

// Action records, shared by every port and never freed.

action ROOT_Arcwright_PortDiscoveryAndConfiguration_BaseT10G_SelfTest_action = {do_SelfTest, 0, {3, {
    {1, "TestType", "Which PHY self-test to run.", LIST, "Noise,NonLinear,CrossTalk", 0, 10},
    {1, "SourceCable", "Pair the test runs on.", LIST, "PairA,PairB,PairC,PairD", 0, 6},
    {0, "TargetCable", "Second pair; used by the CrossTalk test only.", LIST, "PairA,PairB,PairC,PairD", 0, 6},
}}};
action ROOT_Arcwright_PortDiscoveryAndConfiguration_BaseT10G_RunTDR_action = {do_RunTDR, 0, {0, {}}};
action ROOT_Arcwright_PortDiscoveryAndConfiguration_BaseT10G_ClearCounters_action = {do_ClearCounters, 0, {0, {}}};

action ROOT_Arcwright_PortDiscoveryAndConfiguration_Beacon_action = {do_Beacon, 0, {3, {
    {0, "BeaconDuration", "Seconds of beacon pattern.", INT, "", 0, 255},
    {0, "StatusDuration", "Seconds of normal LED display.", INT, "", 0, 255},
    {1, "BeaconState", "Beaconing on or off.", LIST, ENABLED_DISABLED, 7, 8},
}}};
action ROOT_Arcwright_PortDiscoveryAndConfiguration_SetPortSpeed_action = {do_SetPortSpeed, 0, {3, {
    {0, "Speed", "Link speed; may be left out with mode Default.", LIST,
     "10Mb,100Mb,1Gb,10Gb,10Gb/1Gb,10Gb/1Gb/100Mb,1Gb/100Mb,1Gb/100Mb/10Mb,100Mb/10Mb,40Gb,40Gb/10Gb,40Gb/1Gb,"
     "40Gb/10Gb/1Gb,20Gb,20Gb/1Gb,20Gb/10Gb,20Gb/10Gb/1Gb", 3, 15},
    {1, "Mode", "How the speed is set.", LIST, "Force,Auto-Negotiate,Default", 5, 15},
    {0, "DACCableLength", "DAC cable length in metres, for mode Force.", INT, "", 0, 10},
}}};
action ROOT_Arcwright_PortDiscoveryAndConfiguration_DumpTransceiverData_action = {do_DumpTransceiverData, 0, {1, {
    {1, "WireAddress", "Two-wire address of the transceiver page.", LIST, "A0,A2", 2, 2},
}}};
action ROOT_Arcwright_PortDiscoveryAndConfiguration_ErasePortandDiscoveryConfiguration_action = {
    do_ErasePortandDiscoveryConfiguration, 0, {0, {}}};

action ROOT_Arcwright_PortDiscoveryAndConfiguration_DCBX_ApplicationTLVGroups_AdministratorTLVSetting_AddApplicationTLV_action = {
    do_AddApplicationTLV, 0, {4, {
    {1, "ProtocolSelector", "0: ethertype, 1: TCP port.", INT, "", 0, 1},
    {1, "ProtocolID", "Ethertype or TCP port number of the protocol.", INT, "", 0, 99999},
    {1, "PriorityBitMap", "Priorities that carry the protocol, bit n for priority n.", STR, "", 1, 4},
    {0, "OUI", "OUI used in the DCBX protocol.", STR, "", 1, 8},
}}};
action ROOT_Arcwright_PortDiscoveryAndConfiguration_DCBX_ApplicationTLVGroups_AdministratorTLVSetting_DeleteApplicationTLV_action = {
    do_DeleteApplicationTLV, 0, {1, {
    {1, "InstanceNumber", "Instance number of the ApplicationTLV to remove.", INT, "", 0, 14},
}}};

action ROOT_Arcwright_PortDiscoveryAndConfiguration_ChannelManagement_Channel_ConfigureQoS_action = {
    do_ConfigureQoS, 0, {2, {
    {1, "MinBandwidth", "Minimum bandwidth of the channel, percent.", INT, "", 0, 100},
    {1, "MaxBandwidth", "Maximum bandwidth of the channel, percent.", INT, "", 0, 100},
}}};

action ROOT_Arcwright_PortDiscoveryAndConfiguration_DCBX_PriorityGroups_AdministratorPGSetting_PG_ConfigurePGSettings_action = {
    do_ConfigurePGSettings, 0, {2, {
    {1, "PriorityMembership", "Priorities of this group, bit n for priority n.", STR, "", 0, 7},
    {1, "Bandwidth", "Bandwidth share of this group, percent; 255 means no limit.", INT, "", 0, 255},
}}};

// Rows shared by several tables.

#define TENG(name, desc, maxlen)                                                                               \
    HM_PROPERTY(name, desc, RO, STR, 0, maxlen, "0", nullptr, handle_10GbaseT_properties)
#define TDR_PAIR(pair)                                                                                         \
    HM_PROPERTY("Pair" #pair "Result", "Cable-test result of pair " #pair ".", RO, INT, 0, 3, "0", nullptr,    \
                handle_internal_property)
#define TDR_LENGTH(pair)                                                                                       \
    HM_PROPERTY("Pair" #pair "LengthEstimation", "Length or distance to fault of pair " #pair ".", RO, INT, 0, \
                100, "0", nullptr, handle_internal_property)

#define LLDP_TLV(name, desc)                                                                                   \
    HM_PROPERTY(name, desc, RW, LIST, 7, 8, "Enabled", ENABLED_DISABLED, handle_LLDP_properties)
// The identity an LLDP agent announces: ours or the link partner's.
#define LLDP_IDENTITY()                                                                                        \
    HM_PROPERTY("ChassisId", "LLDP chassis ID.", RO, STR, 0, 255, "Unknown", nullptr, handle_LLDP_properties), \
    HM_PROPERTY("ChassisType", "Chassis ID subtype.", RO, LIST, 7, 17, "Unknown",                             \
                "Chassis Component,Interface Alias,Port Component,MAC Address,Network Address,Interface Name,"  \
                "Locally Assigned,Unknown",                                                                    \
                handle_LLDP_properties),                                                                       \
    HM_PROPERTY("PortId", "LLDP port ID.", RO, STR, 0, 255, "Unknown", nullptr, handle_LLDP_properties),       \
    HM_PROPERTY("PortType", "Port ID subtype.", RO, LIST, 7, 16, "Unknown",                                   \
                "Interface Alias,Port Component,MAC Address,Network Address,Interface Name,Agent Circuit Id,"   \
                "Locally Assigned,Unknown",                                                                    \
                handle_LLDP_properties),                                                                       \
    HM_PROPERTY("PortDescription", "Port description.", RO, STR, 0, 255, "Unknown", nullptr,                  \
                handle_LLDP_properties),                                                                       \
    HM_PROPERTY("SystemName", "System name.", RO, STR, 0, 255, "Unknown", nullptr, handle_LLDP_properties),   \
    HM_PROPERTY("SystemDescription", "System description.", RO, STR, 0, 255, "Unknown", nullptr,              \
                handle_LLDP_properties),                                                                       \
    HM_PROPERTY("SystemCapabilities", "System capability.", RO, LIST, 4, 9, "Unknown",                        \
                "Other,Repeater,Bridge,WLAN,Router,Telephone,Docsis,Station,Unknown", handle_LLDP_properties),  \
    HM_PROPERTY("TTL", "LLDP time to live.", RO, INT, 0, 255, "0", nullptr, handle_LLDP_properties)

#define COUNTER(name, desc, func) HM_PROPERTY(name, desc, RO, INT, 0, INT32_TOP, "0", nullptr, func)
#define DCBX_VAR(name, desc) COUNTER(name, desc, handle_dcbx_port_vars)

// A Yes/No flag of a DCBX settings group.
#define FLAG(name, desc, access, def, func) HM_PROPERTY(name, desc, access, LIST, 2, 3, def, YES_NO, func)
#define OPERATIONAL_MODE(desc, def, func) HM_PROPERTY("OperationalMode", desc, RO, LIST, 4, 5, def, TRUE_FALSE, func)
#define BITMAP(name, desc, access, func) HM_PROPERTY(name, desc, access, STR, 1, 4, "0", nullptr, func)

#define PG15(access)                                                                                           \
    HM_PROPERTY("PG15PriorityMemberShip", "RoCE priority, 0 to 7.", access, STR, 0, 7, "0", nullptr,          \
                handle_pg15_membership)
#define NUM_PG()                                                                                               \
    HM_PROPERTY("NumPGSupported", "Number of priority groups supported.", RO, INT, 2, 5, "2", nullptr,        \
                handle_pg_feature_vars)

const hm_node_row PortDiscoveryAndConfiguration_rows[] = {
    HM_PROPERTY("PortNumber", "Physical port index on the adapter.", RO, INT, 0, 3, "0", nullptr,
                handle_internal_property),
    HM_PROPERTY("PortName", "One-character name of the port.", RO, STR, 1, 1, "0", nullptr,
                handle_internal_property),
    HM_PROPERTY("PortState", "Port enabled or disabled.", RW, LIST, 7, 8, "Enabled", ENABLED_DISABLED,
                handle_PortState),
    HM_PROPERTY("PhysicalLinkStatus", "Physical link up or down.", RO, LIST, 2, 7, "Unknown", "Up,Down,Unknown",
                handle_PhysicalLinkStatus),
    HM_PROPERTY("PHYType", "PHY type code in hex.", RO, INT, 0, 255, "0x0", nullptr, handle_PHYType),
    HM_PROPERTY("InterfaceType", "Interface type of the PHY.", RO, STR, 2, 26, "Unknown", nullptr,
                handle_internal_property),
    HM_PROPERTY("BeaconState", "Whether the port's LEDs are beaconing.", RO, LIST, 7, 13, "Disabled",
                "Enabled,Disabled,Not Supported", handle_BeaconState),
    HM_PROPERTY("TXThrottle", "Reaction to received PFC pause frames: 1 slow, 2 fast.", RW, STR, 1, 2, "2",
                nullptr, handle_TXThrottle),

    HM_GROUP("ChannelManagement", "PCI functions sharing the port.",
             group_Arcwright_PortDiscoveryAndConfiguration_ChannelManagement),
    HM_END(),

    HM_GROUP("BaseT10G", "Diagnostics of a 10GBASE-T PHY.", nullptr),
        TENG("10GBaseTDiagStatus", "PHY diagnostic status word.", 32),
        TENG("Temperature", "PHY temperature, degrees Celsius.", 120),
        HM_PROPERTY("PHYLinkDownReason", "Why the PHY link is down: 0 none, 1 DCC, 2 FIP, 3 VNIC, 4 pause flood, "
                    "5 PHY thermal.", RO, INT, 0, 5, "0", nullptr, handle_over_temperature),
        TENG("PairASNR", "Signal-to-noise ratio of pair A.", 32),
        TENG("PairBSNR", "Signal-to-noise ratio of pair B.", 32),
        TENG("PairCSNR", "Signal-to-noise ratio of pair C.", 32),
        TENG("PairDSNR", "Signal-to-noise ratio of pair D.", 32),
        TENG("TimeSinceLinkHigh", "Time since link, high word.", 32),
        TENG("TimeSinceLinkLow", "Time since link, low word.", 32),
        TENG("AverageMSEPairA", "Average mean squared error of pair A.", 32),
        TENG("AverageMSEPairB", "Average mean squared error of pair B.", 32),
        TENG("AverageMSEPairC", "Average mean squared error of pair C.", 32),
        TENG("AverageMSEPairD", "Average mean squared error of pair D.", 32),
        TENG("LDPCFrameHigh", "LDPC frame counter, high word.", 32),
        TENG("LDPCFrameLow", "LDPC frame counter, low word.", 32),
        TENG("PHYCRC8High", "PHY CRC-8 error counter, high word.", 32),
        TENG("PHYCRC8Low", "PHY CRC-8 error counter, low word.", 32),
        TENG("MDIPLLEventCounter", "MDI PLL event counter.", 32),
        TENG("10GEMIEventCounter", "10G EMI event counter.", 32),
        TENG("PHYFrameCounter", "PHY frame counter.", 64),
        HM_PROPERTY("SelfTestResult", "Result of the last SelfTest; 0 successful.", RO, INT, 0, 4, nullptr,
                    nullptr, handle_internal_property),
        TDR_PAIR(A), TDR_PAIR(B), TDR_PAIR(C), TDR_PAIR(D),
        TDR_LENGTH(A), TDR_LENGTH(B), TDR_LENGTH(C), TDR_LENGTH(D),
        HM_PROPERTY("NVPValue", "NVP value for the cable test, percent.", RW, STR, 0, 100, "72", nullptr,
                    handle_10baseT_nvpvalue),
        HM_PROPERTY("NVPUsed", "NVP value the last cable test used.", RO, INT, 0, 100, "72", nullptr,
                    handle_internal_property),
        HM_PROPERTY("IsClearCountersSupported", "Whether ClearCounters is available.", RO, LIST, 4, 5, "False",
                    TRUE_FALSE, handle_internal_property),
        HM_ACTION("SelfTest", "Runs a PHY self-test.",
                  &ROOT_Arcwright_PortDiscoveryAndConfiguration_BaseT10G_SelfTest_action),
        HM_ACTION("RunTDR", "Runs the cable test.",
                  &ROOT_Arcwright_PortDiscoveryAndConfiguration_BaseT10G_RunTDR_action),
        HM_ACTION("ClearCounters", "Resets the PHY counters to 0.",
                  &ROOT_Arcwright_PortDiscoveryAndConfiguration_BaseT10G_ClearCounters_action),
    HM_END(),

    HM_PROPERTY("FCoEWWPN", "FCoE world-wide port name of the port.", RO, STR, 0, 16, "0", nullptr,
                handle_FCoEWWPN),
    HM_PROPERTY("Mode", "Speed mode in force.", RO, LIST, 5, 15, "Default", "Force,Auto-Negotiate,Default",
                handle_get_link_speed_properties),
    HM_PROPERTY("ConfiguredSpeed", "Link speed applied by the last SetPortSpeed.", RO, LIST, 3, 20, "0",
                "All Supported Speeds,10Mb,100Mb,1Gb,10Gb,10Gb/1Gb,10Gb/1Gb/100Mb,1Gb/100Mb,1Gb/100Mb/10Mb,"
                "100Mb/10Mb,40Gb",
                handle_get_link_speed_properties),
    HM_PROPERTY("DACCableLength", "DAC cable length, metres.", RO, STR, 0, 10, "0", nullptr,
                handle_get_link_speed_properties),
    HM_PROPERTY("ANSpeedsSupported", "Speeds available to auto-negotiation; 0: not supported.", RO, LIST, 3, 10,
                "0", PORT_SPEEDS, handle_internal_property),
    HM_PROPERTY("ForceSpeedsSupported", "Speeds that can be forced; 0: not supported.", RO, LIST, 3, 10, "0",
                PORT_SPEEDS, handle_internal_property),
    HM_PROPERTY("TxFlowControl", "Transmission of flow-control frames.", RW, LIST, 7, 8, "N/A", ENABLED_DISABLED,
                handle_flow_control_properties),
    HM_PROPERTY("RxFlowControl", "Response to received flow-control frames.", RW, LIST, 7, 8, "N/A",
                ENABLED_DISABLED, handle_flow_control_properties),
    HM_PROPERTY("FCoELinkSpeed", "Link speed of the port's FCoE function.", RO, LIST, 3, 13, "0 (Link Down)",
                LINK_SPEEDS, handle_FCoELinkSpeed),

    HM_ACTION("Beacon", "Switches the port's beaconing on or off.",
              &ROOT_Arcwright_PortDiscoveryAndConfiguration_Beacon_action),
    HM_ACTION("SetPortSpeed", "Sets the link speed.", &ROOT_Arcwright_PortDiscoveryAndConfiguration_SetPortSpeed_action),
    HM_ACTION("DumpTransceiverData", "Reads the transceiver data at a two-wire address.",
              &ROOT_Arcwright_PortDiscoveryAndConfiguration_DumpTransceiverData_action),
    HM_ACTION("ErasePortandDiscoveryConfiguration",
              "Resets the port and discovery configuration to factory defaults; effective after a reboot.",
              &ROOT_Arcwright_PortDiscoveryAndConfiguration_ErasePortandDiscoveryConfiguration_action),

    HM_GROUP("LLDP", "Link-layer discovery of the port.", nullptr),
        HM_GROUP("LocalConfiguration", "LLDP configuration of this port.", nullptr),
            LLDP_TLV("TxState", "LLDP transmission on this port."),
            LLDP_TLV("RxState", "LLDP reception on this port."),
            LLDP_TLV("PortDescriptionTLV", "Send the port-description TLV."),
            LLDP_TLV("SystemDescriptionTLV", "Send the system-description TLV."),
            LLDP_TLV("SystemNameTLV", "Send the system-name TLV."),
            LLDP_TLV("SystemCapabilitiesTLV", "Send the system-capabilities TLV."),
            LLDP_IDENTITY(),
        HM_END(),
        HM_GROUP("PeerConfiguration", "LLDP values received from the link partner.", nullptr),
            LLDP_IDENTITY(),
        HM_END(),
        HM_GROUP("LLDPStatistics", "LLDP frame counters.", nullptr),
            COUNTER("TxPacketCount", "LLDP frames sent.", handle_lldp_stats_props),
            COUNTER("RxPacketCount", "LLDP frames received.", handle_lldp_stats_props),
            COUNTER("UnrecognizedTLVs", "Unrecognised LLDP TLVs.", handle_lldp_stats_props),
            COUNTER("NumPacketsDropped", "LLDP frames dropped.", handle_lldp_stats_props),
            COUNTER("OrganizationalTLVCount", "Organisation-specific TLVs.", handle_lldp_stats_props),
        HM_END(),
    HM_END(),

    HM_GROUP("DCBX", "Data-centre bridging of the port.", nullptr),
        HM_GROUP("DCBXPortVars", "DCBX state of the port.", nullptr),
            HM_PROPERTY("OperatingVersion", "DCBX version in operation.", RO, INT, 0, 3, "0", nullptr,
                        handle_dcbx_port_vars),
            HM_PROPERTY("MaxVersion", "Highest DCBX version supported.", RO, INT, 0, 3, "0", nullptr,
                        handle_dcbx_port_vars),
            HM_PROPERTY("DCBXState", "DCBX on or off for this port.", RW, LIST, 7, 8, "Enabled", ENABLED_DISABLED,
                        handle_DCBXState),
            HM_PROPERTY("DCBXMode", "DCBX variant used with the switch.", RW, LIST, 3, 9, "Auto-IEEE",
                        "CEE,CIN,Auto-CEE,Auto-IEEE", handle_DCBXMode),
            DCBX_VAR("SequenceNumber", "DCBX sequence number."),
            DCBX_VAR("AckNumber", "DCBX acknowledgement number."),
            DCBX_VAR("PeerSequenceNumber", "Peer's sequence number."),
            DCBX_VAR("PeerAckNumber", "Peer's acknowledgement number."),
            DCBX_VAR("PFCFeatureSequenceNumber", "Sequence number of the PFC feature."),
            DCBX_VAR("PGFeatureSequenceNumber", "Sequence number of the priority-group feature."),
            DCBX_VAR("AppFeatureSequenceNumber", "Sequence number of the application feature."),
        HM_END(),
        HM_GROUP("DCBXStatistics", "DCBX frame counters.", nullptr),
            COUNTER("TxPacketCount", "DCBX frames sent.", handle_dcbx_stats_props),
            COUNTER("RxPacketCount", "DCBX frames received.", handle_dcbx_stats_props),
            // Nothing writes these two, so they keep reading 0.
            COUNTER("UnrecognizedTLVs", "Unrecognised DCBX TLVs.", handle_internal_property),
            COUNTER("NumPacketsDropped", "DCBX frames dropped.", handle_dcbx_stats_props),
            COUNTER("OrganizationalTLVCount", "Organisation-specific TLVs.", handle_internal_property),
        HM_END(),

        HM_GROUP("PFC", "Priority flow control.", nullptr),
            HM_GROUP("AdministratorPFCSetting", "PFC settings configured on this port.", nullptr),
                FLAG("Advertise", "Advertise the PFC setting.", RW, "Yes", handle_pfc_feature_vars),
                FLAG("Enabled", "PFC enabled on this port.", RW, "No", handle_pfc_feature_vars),
                BITMAP("PriorityBitMap", "Priorities with PFC, bit n for priority n.", RW, handle_pfc_feature_vars),
                FLAG("Willing", "Accept the peer's PFC settings.", RW, "Yes", handle_pfc_feature_vars),
            HM_END(),
            HM_GROUP("PeerPFCSetting", "PFC settings received from the link partner.", nullptr),
                FLAG("Advertise", "The peer advertises its PFC setting.", RO, "Yes", handle_pfc_feature_vars),
                FLAG("Enabled", "PFC enabled on the peer.", RO, "Yes", handle_pfc_feature_vars),
                FLAG("Error", "Error during DCBX synchronisation.", RO, "Yes", handle_pfc_feature_vars),
                BITMAP("PriorityBitMap", "Priorities with PFC, bit n for priority n.", RO, handle_pfc_feature_vars),
                FLAG("Willing", "The peer accepts our PFC settings.", RO, "Yes", handle_pfc_feature_vars),
            HM_END(),
            HM_GROUP("OperationalPFCSettings", "PFC settings in force.", nullptr),
                FLAG("Error", "Error during DCBX synchronisation.", RO, "Yes", handle_pfc_feature_vars),
                OPERATIONAL_MODE("PFC in operation on this port.", "True", handle_pfc_feature_vars),
                BITMAP("PriorityBitMap", "Priorities with PFC, bit n for priority n.", RO, handle_pfc_feature_vars),
                FLAG("Synced", "The PFC settings of both peers agree.", RO, "Yes", handle_pfc_feature_vars),
            HM_END(),
        HM_END(),

        HM_GROUP("PriorityGroups", "Priority groups.", nullptr),
            HM_GROUP("AdministratorPGSetting", "Priority-group settings configured on this port.", nullptr),
                PG15(RW),
                FLAG("Advertise", "Advertise the PG settings.", RW, "Yes", handle_pg_feature_vars),
                FLAG("Enabled", "Priority groups enabled on this port.", RW, "Yes", handle_pg_feature_vars),
                FLAG("Willing", "Accept the peer's PG settings.", RW, "Yes", handle_pg_feature_vars),
                NUM_PG(),
            HM_END(),
            HM_GROUP("PeerPGSetting", "Priority-group settings received from the link partner.", nullptr),
                PG15(RO),
                FLAG("Advertise", "The peer advertises its PG settings.", RO, "Yes", handle_pg_feature_vars),
                FLAG("Enabled", "Priority groups enabled on the peer.", RO, "Yes", handle_pg_feature_vars),
                FLAG("Error", "Error during DCBX synchronisation.", RO, "Yes", handle_pg_feature_vars),
                FLAG("Willing", "The peer accepts our PG settings.", RO, "Yes", handle_pg_feature_vars),
                NUM_PG(),
            HM_END(),
            HM_GROUP("OperationalPGSettings", "Priority-group settings in force.", nullptr),
                PG15(RO),
                FLAG("Error", "Error during DCBX synchronisation.", RO, "Yes", handle_pg_feature_vars),
                OPERATIONAL_MODE("Priority groups in operation on this port.", "True", handle_pg_feature_vars),
                FLAG("Synced", "The PG settings of both peers agree.", RO, "Yes", handle_pg_feature_vars),
                NUM_PG(),
            HM_END(),
        HM_END(),

        HM_GROUP("ApplicationTLVGroups", "Application TLVs.", nullptr),
            HM_GROUP("AdministratorTLVSetting", "Application settings configured on this port.",
                     group_AdministratorTLVSetting),
                FLAG("Advertise", "Advertise the application TLV.", RW, "Yes", handle_app_feature_vars),
                FLAG("Enabled", "Application TLV enabled.", RW, "Yes", handle_app_feature_vars),
                FLAG("Willing", "Accept the peer's application settings.", RW, "Yes", handle_app_feature_vars),
                HM_ACTION("AddApplicationTLV", "Adds an application entry.",
                          &ROOT_Arcwright_PortDiscoveryAndConfiguration_DCBX_ApplicationTLVGroups_AdministratorTLVSetting_AddApplicationTLV_action),
                HM_ACTION("DeleteApplicationTLV", "Removes an application entry.",
                          &ROOT_Arcwright_PortDiscoveryAndConfiguration_DCBX_ApplicationTLVGroups_AdministratorTLVSetting_DeleteApplicationTLV_action),
            HM_END(),
            HM_GROUP("PeerTLVSetting", "Application settings received from the link partner.", group_PeerTLVSetting),
                FLAG("Advertise", "The peer advertises its application TLV.", RO, "Yes", handle_app_feature_vars),
                FLAG("Enabled", "Application TLV enabled on the peer.", RO, "Yes", handle_app_feature_vars),
                FLAG("Error", "Error during DCBX synchronisation.", RO, "Yes", handle_app_feature_vars),
                FLAG("Willing", "The peer accepts our application settings.", RO, "Yes", handle_app_feature_vars),
            HM_END(),
            HM_GROUP("OperationalTLVSettings", "Application settings in force.", group_OperationalTLVSettings),
                FLAG("Error", "Error during DCBX synchronisation.", RO, "Yes", handle_app_feature_vars),
                OPERATIONAL_MODE("Application TLV in operation on this port.", "True", handle_app_feature_vars),
                FLAG("Synced", "The application settings of both peers agree.", RO, "Yes", handle_app_feature_vars),
            HM_END(),
        HM_END(),

        HM_GROUP("QCN", "Quantized congestion notification.", nullptr),
            HM_GROUP("AdministratorQCNSetting", "QCN settings configured on this port.", nullptr),
                FLAG("Advertise", "Advertise the QCN setting.", RW, "Yes", handle_update_qcn_props),
                FLAG("Enabled", "QCN enabled on this port.", RW, "No", handle_update_qcn_props),
                BITMAP("CNPVBitMap", "Congestion-notification priorities, bit n for priority n.", RO,
                       handle_update_qcn_props),
                FLAG("Willing", "Accept the peer's QCN settings.", RW, "Yes", handle_update_qcn_props),
            HM_END(),
            HM_GROUP("PeerQCNSetting", "QCN settings received from the link partner.", nullptr),
                FLAG("Advertise", "The peer advertises its QCN setting.", RO, "Yes", handle_update_qcn_props),
                FLAG("Enabled", "QCN enabled on the peer.", RO, "Yes", handle_update_qcn_props),
                FLAG("Error", "Error during DCBX synchronisation.", RO, "Yes", handle_update_qcn_props),
                BITMAP("CNPVBitMap", "Congestion-notification priorities, bit n for priority n.", RO,
                       handle_update_qcn_props),
                FLAG("Willing", "The peer accepts our QCN settings.", RO, "Yes", handle_update_qcn_props),
                BITMAP("ReadyBitMap", "Priorities available for QCN, bit n for priority n.", RO,
                       handle_update_qcn_props),
            HM_END(),
            HM_GROUP("OperationalQCNSettings", "QCN settings in force.", nullptr),
                FLAG("Error", "Error during DCBX synchronisation.", RO, "Yes", handle_update_qcn_props),
                OPERATIONAL_MODE("QCN in operation on this port.", "N/A", handle_update_qcn_props),
                BITMAP("CNPVBitMap", "Congestion-notification priorities, bit n for priority n.", RO,
                       handle_update_qcn_props),
                FLAG("Synced", "The QCN settings of both peers agree.", RO, "Yes", handle_update_qcn_props),
                BITMAP("ReadyBitMap", "Priorities available for QCN, bit n for priority n.", RO,
                       handle_update_qcn_props),
            HM_END(),
        HM_END(),
    HM_END(),
};

const hm_node_row Channel_rows[] = {
    HM_PROPERTY("FunctionNumber", "PCI function number of the channel.", RO, INT, 0, 8, "0", nullptr,
                handle_internal_property),
    HM_PROPERTY("Type", "Personality of the channel's function.", RO, STR, 3, 5, "NIC", nullptr,
                handle_internal_property),
    HM_PROPERTY("vNICName", "Name of the vNIC.", RO, STR, 1, 32, "1", nullptr, handle_channel_vnic_name),
    HM_PROPERTY("LogicalLinkState", "Logical link state of the channel.", RW, LIST, 7, 8, "Disabled",
                ENABLED_DISABLED, handle_LogicalLinkState),
    HM_PROPERTY("MACAddress", "MAC address of the channel's function.", RO, STR, 17, 17, "00:00:00:00:00:00",
                nullptr, handle_internal_property),
    HM_PROPERTY("LPVID", "LPVID of the channel.", RW, INT, 0, 4094, "2", nullptr, handle_LPVID),
    HM_PROPERTY("OuterVLANID", "Outer VLAN id of the channel.", RO, INT, 0, 4094, "0", nullptr,
                handle_channel_outer_vlan),
    HM_PROPERTY("MinBandWidth", "Minimum bandwidth, percent.", RO, INT, 0, 100, "0", nullptr, handle_MinBandWidth),
    HM_PROPERTY("MaxBandWidth", "Maximum bandwidth, percent.", RO, INT, 0, 100, "0", nullptr, handle_MaxBandWidth),
    HM_ACTION("ConfigureQoS", "Sets the channel's minimum and maximum bandwidth.",
              &ROOT_Arcwright_PortDiscoveryAndConfiguration_ChannelManagement_Channel_ConfigureQoS_action),
};

// The three PG tables differ in the bandwidth bound, and only the
// administrator's can be configured.
#define PG_MEMBERSHIP()                                                                                        \
    HM_PROPERTY("PriorityMembership", "Priorities of this group, bit n for priority n.", RO, STR, 0, 7, "0",  \
                nullptr, handle_bwg_props)

const hm_node_row AdministratorPGSetting_PG_rows[] = {
    HM_PROPERTY("Bandwidth", "Bandwidth share of this group, percent; 255 means no limit.", RO, INT, 0, 255, "0",
                nullptr, handle_bwg_props),
    PG_MEMBERSHIP(),
    HM_ACTION("ConfigurePGSettings", "Sets the priority membership and bandwidth of this group.",
              &ROOT_Arcwright_PortDiscoveryAndConfiguration_DCBX_PriorityGroups_AdministratorPGSetting_PG_ConfigurePGSettings_action),
};

const hm_node_row PG_rows[] = {
    HM_PROPERTY("Bandwidth", "Bandwidth share of this group, percent.", RO, INT, 0, 100, "0", nullptr,
                handle_bwg_props),
    PG_MEMBERSHIP(),
};

// The three ApplicationTLV tables differ in whether the priorities can be set.
#define APPLICATION_TLV_ROWS(bitmap_access)                                                                    \
    HM_PROPERTY("OUI", "OUI used in the DCBX protocol.", RO, STR, 1, 8, "0x001b21", nullptr,                  \
                handle_apptlv_feature_vars),                                                                   \
    BITMAP("PriorityBitMap", "Priorities that carry this protocol, bit n for priority n.", bitmap_access,      \
           handle_apptlv_feature_vars),                                                                        \
    HM_PROPERTY("ProtocolID", "Ethertype or TCP port number of the protocol.", RO, INT, 0, 99999, "0", nullptr, \
                handle_apptlv_feature_vars),                                                                   \
    HM_PROPERTY("ProtocolSelector", "0: ethertype, 1: TCP port.", RO, INT, 0, 1, "0", nullptr,                \
                handle_apptlv_feature_vars)

const hm_node_row AdministratorTLVSetting_ApplicationTLV_rows[] = {APPLICATION_TLV_ROWS(RW)};
const hm_node_row ApplicationTLV_rows[] = {APPLICATION_TLV_ROWS(RO)};

#undef APPLICATION_TLV_ROWS
#undef PG_MEMBERSHIP
#undef NUM_PG
#undef PG15
#undef BITMAP
#undef OPERATIONAL_MODE
#undef FLAG
#undef DCBX_VAR
#undef COUNTER
#undef LLDP_IDENTITY
#undef LLDP_TLV
#undef TDR_LENGTH
#undef TDR_PAIR
#undef TENG
#undef INT32_TOP
#undef LINK_SPEEDS
#undef PORT_SPEEDS
#undef TRUE_FALSE
#undef YES_NO
#undef ENABLED_DISABLED

// Ports: one slice per adapter. Everything below a port: one slice per port
// of every adapter, the port instance weighing 1 and the adapter 4.
constexpr size_t PORT_BUCKETS = PORTDISCOVERYANDCONFIGURATION_MAX_INSTANCES * ARCWRIGHT_MAX_INSTANCES;

uint8_t PortDiscoveryAndConfiguration_bits[HM_BIT_FIELD_BYTES(PORTDISCOVERYANDCONFIGURATION_MAX_INSTANCES,
                                                              ARCWRIGHT_MAX_INSTANCES)];
uint8_t Channel_bits[HM_BIT_FIELD_BYTES(CHANNEL_MAX_INSTANCES, PORT_BUCKETS)];
uint8_t AdministratorPGSetting_PG_bits[HM_BIT_FIELD_BYTES(PG_MAX_INSTANCES, PORT_BUCKETS)];
uint8_t PeerPGSetting_PG_bits[HM_BIT_FIELD_BYTES(PG_MAX_INSTANCES, PORT_BUCKETS)];
uint8_t OperationalPGSettings_PG_bits[HM_BIT_FIELD_BYTES(PG_MAX_INSTANCES, PORT_BUCKETS)];
uint8_t AdministratorTLVSetting_ApplicationTLV_bits[HM_BIT_FIELD_BYTES(APPLICATIONTLV_MAX_INSTANCES, PORT_BUCKETS)];
uint8_t PeerTLVSetting_ApplicationTLV_bits[HM_BIT_FIELD_BYTES(APPLICATIONTLV_MAX_INSTANCES, PORT_BUCKETS)];
uint8_t OperationalTLVSettings_ApplicationTLV_bits[HM_BIT_FIELD_BYTES(APPLICATIONTLV_MAX_INSTANCES, PORT_BUCKETS)];

static_assert(sizeof PortDiscoveryAndConfiguration_bits == 16, "one byte per adapter");
static_assert(sizeof Channel_bits == 128 && sizeof AdministratorTLVSetting_ApplicationTLV_bits == 128,
              "two bytes per port");
static_assert(sizeof AdministratorPGSetting_PG_bits == 64, "one byte per port");

const hm_group_type PortDiscoveryAndConfiguration_type = {
    "PortDiscoveryAndConfiguration", "One physical port of the adapter.",
    PORTDISCOVERYANDCONFIGURATION_MAX_INSTANCES, 0, nullptr, PortDiscoveryAndConfiguration_bits,
    sizeof PortDiscoveryAndConfiguration_bits, PortDiscoveryAndConfiguration_rows,
    HM_ROW_COUNT(PortDiscoveryAndConfiguration_rows)};

const hm_group_type Channel_type = {
    "Channel", "One PCI function sharing the port.", CHANNEL_MAX_INSTANCES, 0, nullptr, Channel_bits,
    sizeof Channel_bits, Channel_rows, HM_ROW_COUNT(Channel_rows)};

#define PG_DESC "One priority group; its number is the instance number."
const hm_group_type AdministratorPGSetting_PG_type = {
    "PG", PG_DESC, PG_MAX_INSTANCES, 0, nullptr, AdministratorPGSetting_PG_bits,
    sizeof AdministratorPGSetting_PG_bits, AdministratorPGSetting_PG_rows,
    HM_ROW_COUNT(AdministratorPGSetting_PG_rows)};
const hm_group_type PeerPGSetting_PG_type = {
    "PG", PG_DESC, PG_MAX_INSTANCES, 0, nullptr, PeerPGSetting_PG_bits, sizeof PeerPGSetting_PG_bits, PG_rows,
    HM_ROW_COUNT(PG_rows)};
const hm_group_type OperationalPGSettings_PG_type = {
    "PG", PG_DESC, PG_MAX_INSTANCES, 0, nullptr, OperationalPGSettings_PG_bits,
    sizeof OperationalPGSettings_PG_bits, PG_rows, HM_ROW_COUNT(PG_rows)};
#undef PG_DESC

#define TLV_DESC "One application entry; its index is the instance number."
const hm_group_type AdministratorTLVSetting_ApplicationTLV_type = {
    "ApplicationTLV", TLV_DESC, APPLICATIONTLV_MAX_INSTANCES, 0, nullptr,
    AdministratorTLVSetting_ApplicationTLV_bits, sizeof AdministratorTLVSetting_ApplicationTLV_bits,
    AdministratorTLVSetting_ApplicationTLV_rows, HM_ROW_COUNT(AdministratorTLVSetting_ApplicationTLV_rows)};
const hm_group_type PeerTLVSetting_ApplicationTLV_type = {
    "ApplicationTLV", TLV_DESC, APPLICATIONTLV_MAX_INSTANCES, 0, nullptr, PeerTLVSetting_ApplicationTLV_bits,
    sizeof PeerTLVSetting_ApplicationTLV_bits, ApplicationTLV_rows, HM_ROW_COUNT(ApplicationTLV_rows)};
const hm_group_type OperationalTLVSettings_ApplicationTLV_type = {
    "ApplicationTLV", TLV_DESC, APPLICATIONTLV_MAX_INSTANCES, 0, nullptr,
    OperationalTLVSettings_ApplicationTLV_bits, sizeof OperationalTLVSettings_ApplicationTLV_bits,
    ApplicationTLV_rows, HM_ROW_COUNT(ApplicationTLV_rows)};
#undef TLV_DESC

} // namespace

node *initialize_PortDiscoveryAndConfiguration(node *parent_node, node *context, node *action,
                                               char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&PortDiscoveryAndConfiguration_type, parent_node, context, action, params);
}

node *initialize_Channel(node *parent_node, node *context, node *action,
                         char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&Channel_type, parent_node, context, action, params);
}

node *initialize_AdministratorPGSetting_PG(node *parent_node, node *context, node *action,
                                           char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&AdministratorPGSetting_PG_type, parent_node, context, action, params);
}

node *initialize_PeerPGSetting_PG(node *parent_node, node *context, node *action,
                                  char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&PeerPGSetting_PG_type, parent_node, context, action, params);
}

node *initialize_OperationalPGSettings_PG(node *parent_node, node *context, node *action,
                                          char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&OperationalPGSettings_PG_type, parent_node, context, action, params);
}

node *initialize_AdministratorTLVSetting_ApplicationTLV(node *parent_node, node *context, node *action,
                                                        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&AdministratorTLVSetting_ApplicationTLV_type, parent_node, context, action, params);
}

node *initialize_PeerTLVSetting_ApplicationTLV(node *parent_node, node *context, node *action,
                                               char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&PeerTLVSetting_ApplicationTLV_type, parent_node, context, action, params);
}

node *initialize_OperationalTLVSettings_ApplicationTLV(node *parent_node, node *context, node *action,
                                                       char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&OperationalTLVSettings_ApplicationTLV_type, parent_node, context, action, params);
}
