// Node tables of the iSCSI initiator: LogicalHBA with its login options,
// QoS, statistics and Discovery group, and the repeated SendTargetPortal.
// The targets below a LogicalHBA have their own builders.
#include "mgmt/aw/vexo-backend/nodes_initiator.h"

#include "mgmt/aw/vexo-backend/bandwidth_caps.h"
#include "mgmt/aw/vexo-backend/boot_settings.h"
#include "mgmt/aw/vexo-backend/chap_config.h"
#include "mgmt/aw/vexo-backend/initiator_name.h"
#include "mgmt/aw/vexo-backend/iscsi_discovery.h"
#include "mgmt/aw/vexo-backend/iscsi_statistics.h"
#include "mgmt/aw/vexo-backend/iscsi_targets.h"
#include "mgmt/aw/vexo-backend/login_options.h"
#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/aw/vexo-backend/nodes_iscsi.h"
#include "mgmt/aw/vexo-backend/persistence_files.h"
#include "mgmt/aw/vexo-backend/persistent_targets.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"

namespace {

constexpr int32_t RO = VEXO_PROP_READONLY;
constexpr int32_t RW = VEXO_PROP_READWRITE;
constexpr char STR = VEXO_TYPE_STRING;
constexpr char INT = VEXO_TYPE_INTEGER;
constexpr char IP = VEXO_TYPE_IP;
constexpr char LIST = VEXO_TYPE_LIST;

// Action records, shared by every instance and never freed.

action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_InitiatorLoginOptions_Authentication_ConfigureCHAP_action = {
    do_ConfigureCHAP, 0, kConfigureCHAPParams};
action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_InitiatorLoginOptions_Authentication_DeleteCHAP_action = {
    do_DeleteCHAP, 0, {0, {}}};

action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Discovery_AddSendTargetPortal_action = {
    do_AddSendTargetPortal, 0, {2, {
    {1, "IPAddress", "IP address of the portal.", IP, "", 0, 0},
    {1, "PortNumber", "TCP port of the portal.", INT, "", 1024, 65535},
}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Discovery_DeleteSendTargetPortal_action = {
    do_DeleteSendTargetPortal, 0, {1, {
    {1, "InstanceNumber", "Instance number of the SendTargetPortal to delete.", INT, "", 0, 127},
}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Discovery_RefreshAvailableTargets_action = {
    do_RefreshAvailableTargets, 0, {0, {}}};

action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Discovery_SendTargetPortal_SendTargetPortalLoginOptions_Authentication_ConfigureCHAP_action =
    {do_ConfigureCHAP, 0, kConfigureCHAPParams};
action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Discovery_SendTargetPortal_SendTargetPortalLoginOptions_Authentication_DeleteCHAP_action =
    {do_DeleteCHAP, 0, {0, {}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Discovery_SendTargetPortal_DiscoverTargets_action = {
    do_DiscoverTargets, 0, {1, {
    {0, "TargetName", "Discover only the target of this name.", STR, "", 0, 255},
}}};

action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_AddTarget_action = {do_AddTarget, 0, {5, {
    {1, "TargetName", "iSCSI name of the target.", STR, "", 6, 223},
    {1, "IPAddress", "IP address of the target's portal.", IP, "", 0, 0},
    {0, "PortNumber", "TCP port of the target's portal.", INT, "", 1024, 65535},
    {0, "BootTarget", "Whether the target is a boot target.", LIST, "True,False", 4, 5},
    {0, "BootTargetPriority", "Boot priority of the target.", LIST, "Primary,Secondary,None", 4, 9},
}}};
// 256 is let through by the limits although targets run from 0 to 255;
// the handler then finds no such target.
action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_DeleteTarget_action = {do_DeleteTarget, 0, {1, {
    {1, "InstanceNumber", "Instance number of the Target to delete.", INT, "", 0, 256},
}}};

#define STATISTIC(name, desc, type, min, max, def, func) HM_PROPERTY(name, desc, RO, type, min, max, def, nullptr, func)

const hm_node_row LogicalHBA_rows[] = {
    HM_PROPERTY("Enabled", "iSCSI enabled (True) or disabled (False) on this function.", RW, LIST, 4, 5, "False",
                "False,True", handle_iSCSIPhysicalHBA_LogicalHBA_Enabled),
    HM_PROPERTY("IfName", "The host's interface name of the iSCSI function.", RO, STR, 1, 32, "vmhba", nullptr,
                handle_internal_property),

    // The group holds a property of its own name.
    HM_GROUP("InitiatoriSCSIName", "iSCSI name and alias of the initiator.", nullptr),
        HM_PROPERTY("InitiatoriSCSIName", "The initiator's iSCSI qualified name.", RW, STR, 1, 223, "iqn.tq",
                    nullptr, handle_name_params),
        HM_PROPERTY("InitiatorAlias", "A readable alias of the initiator's name.", RW, STR, 0, 31, "tq", nullptr,
                    handle_name_params),
    HM_END(),

    HM_GROUP("InitiatorDefaultLoginOptions", "Login options the initiator starts from.", nullptr),
        login_option_row(LO_InitialR2T, RO, handle_internal_property),
        login_option_row(LO_ImmediateData, RO, handle_internal_property),
        login_option_row(LO_MaxConnections, RO, handle_internal_property),
        login_option_row(LO_MaxOutstandingR2T, RO, handle_internal_property),
        login_option_row(LO_FirstBurstLength, RO, handle_internal_property),
        login_option_row(LO_MaxBurstLength, RO, handle_internal_property),
        login_option_row(LO_DefaultTime2Wait, RO, handle_internal_property),
        login_option_row(LO_DefaultTime2Retain, RO, handle_internal_property),
        login_option_row(LO_ErrorRecoveryLevel, RO, handle_internal_property),
        login_option_row(LO_DataPDUInOrder, RO, handle_internal_property),
        login_option_row(LO_DataSequenceInOrder, RO, handle_internal_property),
        login_option_row(LO_HeaderDigest, RO, handle_internal_property),
        login_option_row(LO_DataDigest, RO, handle_internal_property),
        login_option_row(LO_MaxRecvDataSegmentLength, RO, handle_internal_property),
    HM_END(),

    HM_GROUP("InitiatorLoginOptions", "Login options configured for the initiator.", nullptr),
        LOGIN_OPTION_CONFIGURED_ROWS(handle_initiator_loginoptions),
        LOGIN_OPTION_AUTHENTICATION_ROWS(
            handle_authentication_initiator_loginoptions, handle_authentication_initiator_loginoptions,
            &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_InitiatorLoginOptions_Authentication_ConfigureCHAP_action,
            &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_InitiatorLoginOptions_Authentication_DeleteCHAP_action),
    HM_END(),

    HM_GROUP("iSCSIQoS", "Bandwidth limits of iSCSI traffic.", nullptr),
        HM_PROPERTY("MinBitsPerSecond", "Minimum iSCSI throughput in units of 100 Mbit/s; 0 no QoS set.", RO, INT,
                    0, 1000, "0", nullptr, handle_iscsi_bandwidth_softcap),
        HM_PROPERTY("MaxBitsPerSecond", "Maximum iSCSI throughput in units of 100 Mbit/s; 0 no QoS set.", RO, INT,
                    0, 1000, "0", nullptr, handle_iscsi_bandwidth_softcap),
        HM_PROPERTY("MaxBytesPerSecond", "Maximum iSCSI throughput in units of 1 MB/s; 0 no limit.", RW, INT, 0,
                    1280, "0", nullptr, handle_MaxBytesPerSecond),
        HM_PROPERTY("MaxIosPerSecond", "Maximum iSCSI I/O operations per second in units of 1024; 0 no limit.", RW,
                    INT, 0, 250, "0", nullptr, handle_MaxIosPerSecond),
    HM_END(),

    HM_GROUP("iSCSIStatistics", "Initiator statistics.", nullptr),
        STATISTIC("NodeRoles", "Node role of this initiator.", STR, 1, 255, "1", handle_NodeAttr_properties),
        STATISTIC("PortalCount", "Portal rows of this iSCSI instance.", INT, 1, 5, "1", handle_NodeAttr_properties),
        STATISTIC("NodeCount", "Node rows of this instance.", INT, 1, 5, "1", handle_NodeAttr_properties),
        STATISTIC("SessionCount", "Session rows of this instance.", INT, 1, 5, "1", handle_intrInstStat_properties),
        STATISTIC("SessionFailureCount", "Sessions of this instance that failed.", INT, 1, 255, "1",
                  handle_intrInstStat_properties),
        STATISTIC("LastSessionFailureType", "Kind of the last session failure.", STR, 1, 255, "1",
                  handle_intrInstStat_properties),
        STATISTIC("LastSessionRmtNodeName", "iSCSI name of the remote node of the failed session.", STR, 1, 224,
                  "iqn.tq", handle_intrInstStat_properties),
        STATISTIC("SessionDigestErrors", "Sessions failed on a header or data digest error.", STR, 4, 0, "4",
                  handle_intrInstStat_properties),
        STATISTIC("SessionConnectionTimeout", "Sessions failed on a sequence time-out.", STR, 4, 0, "4",
                  handle_intrInstStat_properties),
        STATISTIC("SessionFormatErrors", "Sessions failed on a PDU format error.", STR, 4, 0, "4",
                  handle_intrInstStat_properties),
        STATISTIC("LoginFailures", "Failed logins of this initiator.", STR, 4, 0, "4",
                  handle_intrLoginStat_properties),
        STATISTIC("LastFailureTime", "Time stamp of the last failed login; 0 none yet.", STR, 0, 32, "0",
                  handle_intrLoginStat_properties),
        STATISTIC("LastFailureType", "Kind of the last login failure.", STR, 0, 0, "0",
                  handle_intrLoginStat_properties),
        STATISTIC("LastTgtFailureName", "Name of the target of the last failed login.", STR, 1, 224, "iqn.tq",
                  handle_intrLoginStat_properties),
        STATISTIC("LastTgtFailureAddr", "Network address of the target of the last failed login.", STR, 0, 0, "0",
                  handle_intrLoginStat_properties),
        STATISTIC("LoginAcceptRsps", "Login responses accepted.", STR, 4, 0, "4", handle_intrLoginStat_properties),
        STATISTIC("LoginOtherFailRsps", "Login responses with any other failure status.", STR, 4, 0, "4",
                  handle_intrLoginStat_properties),
        STATISTIC("LoginRedirectRsps", "Login responses of status class redirection.", STR, 4, 0, "4",
                  handle_intrLoginStat_properties),
        STATISTIC("LoginAuthFailRsps", "Login responses with status 0x201, authentication failed.", STR, 4, 0, "4",
                  handle_intrLoginStat_properties),
        STATISTIC("LoginAuthFails", "Logins aborted because the target failed authentication.", STR, 4, 0, "4",
                  handle_intrLoginStat_properties),
        STATISTIC("LoginNegoFails", "Logins aborted because parameter negotiation failed.", STR, 4, 0, "4",
                  handle_intrLoginStat_properties),
        STATISTIC("LogoutNormals", "Logout commands sent with reason normal.", STR, 4, 0, "4",
                  handle_intrLoginStat_properties),
        STATISTIC("LogoutOthers", "Logout commands sent with another reason.", STR, 4, 0, "4",
                  handle_intrLoginStat_properties),
        STATISTIC("PortRowStatus", "Row status of the portal entry.", STR, 0, 3, "2", handle_NodeAttr_properties),
        STATISTIC("PortalRole", "Role of the portal: target portal and/or initiator portal.", STR, 1, 2, "1",
                  handle_NodeAttr_properties),
        STATISTIC("PortalProtocol", "Transport protocol of the portal.", STR, 1, 2, "1", handle_NodeAttr_properties),
        STATISTIC("PortalTag", "Aggregation tag of the portal used as an initiator.", STR, 1, 65535, "1",
                  handle_NodeAttr_properties),
    HM_END(),

    HM_GROUP("Discovery", "Target discovery and the send-target portals.", group_Discovery),
        HM_PROPERTY("DiscoverBootTargetThruDHCP",
                    "Discover the boot targets configured on the DHCP server; Disabled removes a discovered boot "
                    "target.",
                    RW, LIST, 7, 8, "Disabled", "Enabled,Disabled", handle_DiscoverBootTargetThruDHCP),
        HM_ACTION("AddSendTargetPortal", "Adds a send-target portal.",
                  &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Discovery_AddSendTargetPortal_action),
        HM_ACTION("DeleteSendTargetPortal", "Deletes the send-target portal of that instance number.",
                  &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Discovery_DeleteSendTargetPortal_action),
        HM_ACTION("RefreshAvailableTargets", "Looks again for targets through all send-target portals.",
                  &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Discovery_RefreshAvailableTargets_action),
    HM_END(),

    HM_ACTION("AddTarget", "Adds a target by hand, without logging in.",
              &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_AddTarget_action),
    HM_ACTION("DeleteTarget", "Deletes the target of that instance number.",
              &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_DeleteTarget_action),
};

#undef STATISTIC

const hm_node_row SendTargetPortal_rows[] = {
    HM_GROUP("SendTargetPortalLoginOptions", "Login options of discovery sessions through this portal.", nullptr),
        LOGIN_OPTION_CONFIGURED_ROWS(handle_stploginoptions),
        LOGIN_OPTION_AUTHENTICATION_ROWS(
            handle_authentication_stploginoptions, handle_authentication_stploginoptions,
            &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Discovery_SendTargetPortal_SendTargetPortalLoginOptions_Authentication_ConfigureCHAP_action,
            &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Discovery_SendTargetPortal_SendTargetPortalLoginOptions_Authentication_DeleteCHAP_action),
    HM_END(),
    HM_PROPERTY("IPAddress", "IP address of the portal.", RO, IP, 0, 0, "0.0.0.0", nullptr, handle_internal_property),
    HM_PROPERTY("PortNumber", "TCP port of the portal.", RO, INT, 1024, 65535, "3260", nullptr,
                handle_internal_property),
    HM_PROPERTY("PortMacAddress", "MAC address of the port the portal was added on.", RO, STR, 17, 17,
                "00:00:00:00:00:00", nullptr, handle_internal_property),
    HM_ACTION("DiscoverTargets", "Discovers targets through this portal and adds those it reports.",
              &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Discovery_SendTargetPortal_DiscoverTargets_action),
};

// One slice per iSCSI function of every adapter; the Discovery group above a
// portal is fixed, so the single LogicalHBA adds no digit.
constexpr size_t kFunctionBuckets = ARCWRIGHT_MAX_INSTANCES * ISCSIPHYSICALHBA_MAX_INSTANCES;
uint8_t LogicalHBA_bits[HM_BIT_FIELD_BYTES(LOGICALHBA_MAX_INSTANCES, kFunctionBuckets)];
uint8_t SendTargetPortal_bits[HM_BIT_FIELD_BYTES(SENDTARGETPORTAL_MAX_INSTANCES,
                                                 kFunctionBuckets * LOGICALHBA_MAX_INSTANCES)];
static_assert(sizeof LogicalHBA_bits == 128, "one byte per iSCSI function");
static_assert(sizeof SendTargetPortal_bits == 2048, "16 bytes per LogicalHBA");

const hm_group_type LogicalHBA_type = {
    "LogicalHBA", "The iSCSI initiator of the function.", LOGICALHBA_MAX_INSTANCES, 0, nullptr, LogicalHBA_bits,
    sizeof LogicalHBA_bits, LogicalHBA_rows, HM_ROW_COUNT(LogicalHBA_rows)};

const hm_group_type SendTargetPortal_type = {
    "SendTargetPortal", "A portal through which targets are discovered.", SENDTARGETPORTAL_MAX_INSTANCES, 0,
    nullptr, SendTargetPortal_bits, sizeof SendTargetPortal_bits, SendTargetPortal_rows,
    HM_ROW_COUNT(SendTargetPortal_rows)};

} // namespace

node *initialize_LogicalHBA(node *parent_node, node *context, node *action,
                            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&LogicalHBA_type, parent_node, context, action, params);
}

node *initialize_SendTargetPortal(node *parent_node, node *context, node *action,
                                  char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&SendTargetPortal_type, parent_node, context, action, params);
}
