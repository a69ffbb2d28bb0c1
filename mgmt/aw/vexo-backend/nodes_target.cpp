// Node tables of the groups below an iSCSI initiator: Target, TargetPortal,
// Session, Connection and LUN. Their login-option groups take their rows
// from the initiator's login-option property set.
#include "mgmt/aw/vexo-backend/nodes_target.h"

#include "mgmt/aw/vexo-backend/boot_settings.h"
#include "mgmt/aw/vexo-backend/boot_targets.h"
#include "mgmt/aw/vexo-backend/chap_config.h"
#include "mgmt/aw/vexo-backend/iscsi_firmware_lists.h"
#include "mgmt/aw/vexo-backend/iscsi_login.h"
#include "mgmt/aw/vexo-backend/iscsi_logout.h"
#include "mgmt/aw/vexo-backend/iscsi_luns.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/iscsi_statistics.h"
#include "mgmt/aw/vexo-backend/iscsi_targets.h"
#include "mgmt/aw/vexo-backend/login_options.h"
#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/aw/vexo-backend/nodes_iscsi.h"
#include "mgmt/aw/vexo-backend/persistent_targets.h"
#include "mgmt/aw/vexo-backend/target_eto.h"
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

action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_TargetLoginOptions_Authentication_ConfigureCHAP_action = {
    do_ConfigureCHAP, 0, kConfigureCHAPParams};
action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_TargetLoginOptions_Authentication_DeleteCHAP_action = {
    do_DeleteCHAP, 0, {0, {}}};

action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_Login_action = {do_Login, 0, {6, {
    {0, "IPAddress", "Portal address; the first TargetPortal's when not given.", IP, "", 0, 0},
    {0, "PortNumber", "Portal TCP port; the first TargetPortal's when not given.", INT, "", 1024, 65535},
    {0, "SessionInitiatorName", "Initiator name for this session instead of the initiator's own.", STR, "", 1, 223},
    {0, "ISIDQualifier", "ISID qualifier for this session instead of the firmware's.", INT, "", 0, 65535},
    {0, "BootTarget", "Whether the target is a boot target.", LIST, "True,False", 4, 5},
    {0, "BootTargetPriority", "Boot priority of the target.", LIST, "Primary,Secondary,None", 4, 9},
}}};
// Optional: the handler decides what a missing number means.
action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_DeleteTargetPortal_action = {
    do_DeleteTargetPortal, 0, {1, {
    {0, "InstanceNumber", "Instance number of the TargetPortal to delete.", INT, "", 0, 63},
}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_AddTargetPortal_action = {do_AddTargetPortal, 0, {2, {
    {1, "IPAddress", "IP address of the portal.", IP, "", 0, 0},
    {0, "PortNumber", "TCP port of the portal.", INT, "", 1024, 65535},
}}};
// Optional: the handler decides what a missing number means.
action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_Logout_action = {do_Logout, 0, {1, {
    {0, "InstanceNumber", "Instance number of the Session to log out.", INT, "", 0, 63},
}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_ReScanLUNS_action = {do_ReScanLUNS, 0, {0, {}}};

action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_Session_ConfigureBootTarget_action = {
    do_ConfigureBootTarget, 0, {2, {
    {1, "iSCSIBoot", "True marks the session as a boot session, False clears the mark.", LIST, "False,True", 4, 5},
    {0, "BootTargetPriority", "Boot priority of the session's target.", LIST, "Primary,Secondary,None", 4, 9},
}}};

action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_LUN_StdInquiry_action = {do_StdInquiry, 0, {0, {}}};
action ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_LUN_SCSIWrite_action = {do_SCSIWrite, 0, {2, {
    {1, "StartBlockAddress", "First block to write.", INT, "", 0, 65535},
    {1, "Count", "Number of blocks to write.", INT, "", 1, 65535},
}}};

const hm_node_row Target_rows[] = {
    HM_GROUP("TargetLoginOptions", "Login options configured for this target.", nullptr),
        LOGIN_OPTION_CONFIGURED_ROWS(handle_target_loginoptions),
        // The name and secret answer the cached values the last reload of
        // the saved target left.
        LOGIN_OPTION_AUTHENTICATION_ROWS(
            handle_authentication_target_loginopts, handle_internal_property,
            &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_TargetLoginOptions_Authentication_ConfigureCHAP_action,
            &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_TargetLoginOptions_Authentication_DeleteCHAP_action),
    HM_END(),
    HM_PROPERTY("TargetISCSIName", "iSCSI name of the target.", RO, STR, 6, 223, "6", nullptr,
                handle_internal_property),
    HM_PROPERTY("TargetAlias", "Alias of the target.", RO, STR, 0, 0, nullptr, nullptr, handle_TargetAlias),
    HM_PROPERTY("ETO", "Extended time-out in seconds: I/O is not failed back until it has passed since the target "
                       "stopped answering.",
                RW, INT, 0, 3600, "30", nullptr, handle_Target_ETO),
    HM_PROPERTY("TargetType", "Added by hand (Static) or discovered.", RO, LIST, 6, 10, "Static",
                "Static,Discovered", handle_target_type),
    HM_ACTION("Login", "Logs in to the target with its current login options.",
              &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_Login_action),
    HM_ACTION("DeleteTargetPortal", "Deletes a portal of the target; refused while a session uses it.",
              &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_DeleteTargetPortal_action),
    HM_ACTION("AddTargetPortal", "Adds a portal to the target.",
              &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_AddTargetPortal_action),
    HM_ACTION("Logout", "Logs out a session; a boot session cannot be logged out.",
              &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_Logout_action),
    HM_ACTION("ReScanLUNS", "Rebuilds the target's LUNs from those its sessions report.",
              &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_ReScanLUNS_action),
};

const hm_node_row TargetPortal_rows[] = {
    HM_PROPERTY("TargetIPAddress", "IP address of the portal.", RO, IP, 0, 0, "0.0.0.0", nullptr,
                handle_internal_property),
    HM_PROPERTY("TargetPortNumber", "TCP port of the portal.", RO, INT, 1, 65535, "1036", nullptr,
                handle_internal_property),
    HM_PROPERTY("PortalGroupTag", "Tag of the portal group.", RO, INT, 0, 255, "0", nullptr,
                handle_internal_property),
};

#define SESSION_STATISTIC(name, desc, type, min, max, def)                                                     \
    HM_PROPERTY(name, desc, RO, type, min, max, def, nullptr, handle_SsnAttr_properties)

const hm_node_row Session_rows[] = {
    HM_GROUP("SessionLoginOptions", "Login options the session was opened with.", nullptr),
        login_option_row(LO_InitialR2T, RO, handle_internal_property),
        login_option_row(LO_ImmediateData, RO, handle_internal_property),
        login_option_row(LO_HeaderDigest, RO, handle_internal_property),
        login_option_row(LO_DataDigest, RO, handle_internal_property),
        HM_GROUP("Authentication", "CHAP authentication of the session.", nullptr),
            login_option_row(LO_AuthenticationMethod, RO, handle_internal_property),
            login_option_row(LO_InitiatorCHAPName, RO, handle_internal_property),
            login_option_row(LO_InitiatorSecret, RO, handle_internal_property),
            login_option_row(LO_TargetCHAPName, RO, handle_internal_property),
            login_option_row(LO_TargetSecret, RO, handle_internal_property),
        HM_END(),
    HM_END(),

    HM_GROUP("SessionNegotiatedLoginOptions", "Login options negotiated with the target.", nullptr),
        login_option_row(LO_InitialR2T, RO, handle_internal_property),
        login_option_row(LO_ImmediateData, RO, handle_internal_property),
        login_option_row(LO_MaxConnections, RO, handle_internal_property),
        login_option_row(LO_MaxOutstandingR2T, RO, handle_internal_property, INT, 1, 0),
        login_option_row(LO_FirstBurstLength, RO, handle_internal_property, STR, 0, 10),
        login_option_row(LO_MaxBurstLength, RO, handle_internal_property),
        login_option_row(LO_DefaultTime2Wait, RO, handle_internal_property),
        login_option_row(LO_DefaultTime2Retain, RO, handle_internal_property),
        login_option_row(LO_ErrorRecoveryLevel, RO, handle_internal_property, INT, 0, 0),
        login_option_row(LO_DataPDUInOrder, RO, handle_internal_property),
        login_option_row(LO_DataSequenceInOrder, RO, handle_internal_property),
    HM_END(),

    HM_GROUP("iSCSISessionStatistics", "Session statistics, refreshed from the firmware on every read.", nullptr),
        SESSION_STATISTIC("SessionDirection", "1 inbound (an outside initiator to a target of this instance), "
                                              "2 outbound (this initiator to an outside target).",
                          INT, 1, 2, "1"),
        SESSION_STATISTIC("CmdPdus", "Command PDUs of the session.", INT, 1, 65536, "0"),
        SESSION_STATISTIC("RspPdus", "Response PDUs of the session.", INT, 1, 65536, "0"),
        SESSION_STATISTIC("TxDataOctetsHigh", "Data octets sent by this node on the session.", INT, 1, 2147483647,
                          "0"),
        SESSION_STATISTIC("RxDataOctetsHigh", "Data octets received by this node on the session.", INT, 1,
                          2147483647, "0"),
        SESSION_STATISTIC("DigestErrors", "PDUs received with a header or data digest error.", INT, 0, 65536, "0"),
        SESSION_STATISTIC("CxnTimeoutErrors", "Connections of the session ended by a time-out.", INT, 0, 65536,
                          "0"),
        SESSION_STATISTIC("SessionTargetAlias", "Alias of the session's target as the firmware reports it.", STR, 0,
                          30, nullptr),
    HM_END(),

    HM_PROPERTY("SessionTSIH", "Target session identifying handle; 0 no session.", RO, STR, 0, 0, "0", nullptr,
                handle_session_properties),
    HM_PROPERTY("ISIDQualifier", "ISID qualifier of the session, unique per session.", RO, INT, 0, 0, "0", nullptr,
                handle_session_properties),
    HM_PROPERTY("ISID", "ISID of the session, unique per session.", RO, INT, 0, 0, "0", nullptr,
                handle_internal_property),
    HM_PROPERTY("SessionInitiatorName", "Initiator name that the session uses.", RO, STR, 1, 223, "iqn.tq", nullptr,
                handle_session_properties),
    HM_PROPERTY("SessionStatus", "State of the session.", RO, STR, 0, 32, "Unknown", nullptr,
                handle_session_properties),
    HM_PROPERTY("iSCSIBoot", "The session is a boot session (True).", RW, LIST, 4, 5, "False", "False,True",
                handle_boot_session),
    HM_PROPERTY("BootTargetPriority", "Boot target priority.", RO, LIST, 4, 9, "None", "Primary,Secondary,None",
                handle_BootTargetPriority),
    HM_PROPERTY("Persistent", "The session is restored after a reboot (True).", RO, LIST, 4, 5, "False",
                "False,True", handle_session_properties),
    HM_ACTION("ConfigureBootTarget", "Marks the session as a boot session with its priority, or clears the mark.",
              &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_Session_ConfigureBootTarget_action),
};

#undef SESSION_STATISTIC

#define CONNECTION_PROPERTY(name, desc, type, min, max, def)                                                   \
    HM_PROPERTY(name, desc, RO, type, min, max, def, nullptr, handle_connection_properties)

const hm_node_row Connection_rows[] = {
    HM_GROUP("ConnectionNegotiatedLoginOptions", "Login options negotiated for the connection.", nullptr),
        login_option_row(LO_AuthenticationMethod, RO, handle_internal_property),
        login_option_row(LO_HeaderDigest, RO, handle_internal_property),
        login_option_row(LO_DataDigest, RO, handle_internal_property),
        login_option_row(LO_MaxSendDataSegmentLength, RO, handle_internal_property),
        login_option_row(LO_TCPMSS, RO, handle_internal_property),
    HM_END(),
    CONNECTION_PROPERTY("iSCSIConnectionID", "iSCSI connection ID.", INT, 1, 32, "1"),
    CONNECTION_PROPERTY("Status", "State of the connection.", STR, 0, 32, "Connection Status Unknown"),
    CONNECTION_PROPERTY("SourcePortNumber", "Local TCP port.", INT, 1024, 65535, "1024"),
    CONNECTION_PROPERTY("DestinationPortNumber", "Target's TCP port.", INT, 1024, 65535, "1024"),
    CONNECTION_PROPERTY("SourceIPAddress", "Local IP address.", IP, 0, 0, "0.0.0.0"),
    CONNECTION_PROPERTY("DestinationIPAddress", "Target's IP address.", IP, 0, 0, "0.0.0.0"),
    CONNECTION_PROPERTY("RedirectedDestinationPort", "Target TCP port after a login redirection.", STR, 0, 0, "0"),
    CONNECTION_PROPERTY("RedirectedDestinationIPAddress", "Target IP address after a login redirection.", STR, 0, 0,
                        "0"),
};

#undef CONNECTION_PROPERTY

const hm_node_row LUN_rows[] = {
    HM_PROPERTY("LUNNumber", "Logical unit number.", RO, STR, 0, 0, "0", nullptr, handle_LUNNumber),
    HM_PROPERTY("LUNSize", "Size of the LUN in bytes.", RO, INT, 0, 0, "0", nullptr, handle_lun_block_size),
    HM_PROPERTY("BlockSize", "Block size of the LUN.", RO, INT, 0, 0, "0", nullptr, handle_lun_block_size),
    HM_PROPERTY("DeviceVendorName", "Vendor identification of the device.", RO, STR, 0, 0, "0", nullptr,
                handle_StdInquiry_properties),
    HM_PROPERTY("DeviceModelNumber", "Product identification of the device.", RO, INT, 0, 0, "0", nullptr,
                handle_StdInquiry_properties),
    HM_PROPERTY("LUNName", "Host device name: the LogicalHBA's IfName, the target id and the LUN number joined by "
                           "colons.",
                RO, STR, 5, 225, "0", nullptr, handle_internal_property),
    HM_PROPERTY("LUNSerialNumber", "Serial number of the LUN.", RO, STR, 0, 255, "0", nullptr,
                handle_StdInquiry_properties),
    HM_PROPERTY("LUNType", "Device type of the LUN.", RO, STR, 0, 0, "0", nullptr, handle_StdInquiry_properties),
    HM_PROPERTY("BootLUN", "This LUN is the boot LUN of its iSCSI boot target (True).", RW, LIST, 4, 5, "False",
                "True,False", handle_BootLUN),
    HM_ACTION("StdInquiry", "Sends a standard INQUIRY to the LUN and reports the result.",
              &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_LUN_StdInquiry_action),
    HM_ACTION("SCSIWrite", "Writes Count blocks from that block address to the LUN and reports the result.",
              &ROOT_Arcwright_iSCSIPhysicalHBA_LogicalHBA_Target_LUN_SCSIWrite_action),
};

// Buckets: one per possible parent, counting every repeated group above it.
constexpr size_t kLogicalHBABuckets =
    ARCWRIGHT_MAX_INSTANCES * ISCSIPHYSICALHBA_MAX_INSTANCES * LOGICALHBA_MAX_INSTANCES;
constexpr size_t kTargetBuckets = kLogicalHBABuckets * TARGET_MAX_INSTANCES;
constexpr size_t kSessionBuckets = kTargetBuckets * SESSION_MAX_INSTANCES;
uint8_t Target_bits[HM_BIT_FIELD_BYTES(TARGET_MAX_INSTANCES, kLogicalHBABuckets)];
uint8_t TargetPortal_bits[HM_BIT_FIELD_BYTES(TARGETPORTAL_MAX_INSTANCES, kTargetBuckets)];
uint8_t Session_bits[HM_BIT_FIELD_BYTES(SESSION_MAX_INSTANCES, kTargetBuckets)];
uint8_t Connection_bits[HM_BIT_FIELD_BYTES(CONNECTION_MAX_INSTANCES, kSessionBuckets)];
uint8_t LUN_bits[HM_BIT_FIELD_BYTES(LUN_MAX_INSTANCES, kTargetBuckets)];
static_assert(sizeof Target_bits == 4096, "32 bytes per LogicalHBA");
static_assert(sizeof TargetPortal_bits == 262144 && sizeof Session_bits == 262144, "8 bytes per Target");
static_assert(sizeof Connection_bits == 2097152, "one byte per Session");
static_assert(sizeof LUN_bits == 1048576, "32 bytes per Target");

const hm_group_type Target_type = {
    "Target", "An iSCSI target known to the initiator.", TARGET_MAX_INSTANCES, 0, group_Target, Target_bits,
    sizeof Target_bits, Target_rows, HM_ROW_COUNT(Target_rows)};

const hm_group_type TargetPortal_type = {
    "TargetPortal", "A portal of the target.", TARGETPORTAL_MAX_INSTANCES, 0, nullptr, TargetPortal_bits,
    sizeof TargetPortal_bits, TargetPortal_rows, HM_ROW_COUNT(TargetPortal_rows)};

const hm_group_type Session_type = {
    "Session", "A session with the target.", SESSION_MAX_INSTANCES, 0, group_Session, Session_bits,
    sizeof Session_bits, Session_rows, HM_ROW_COUNT(Session_rows)};

// The session's one connection; deleting a session purges it by this name.
const hm_group_type Connection_type = {
    "Connection", "The connection of the session.", CONNECTION_MAX_INSTANCES, 0, nullptr, Connection_bits,
    sizeof Connection_bits, Connection_rows, HM_ROW_COUNT(Connection_rows)};

const hm_group_type LUN_type = {
    "LUN", "A logical unit the target's sessions report.", LUN_MAX_INSTANCES, 0, group_LUN, LUN_bits,
    sizeof LUN_bits, LUN_rows, HM_ROW_COUNT(LUN_rows)};

} // namespace

node *initialize_Target(node *parent_node, node *context, node *action,
                        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&Target_type, parent_node, context, action, params);
}

node *initialize_TargetPortal(node *parent_node, node *context, node *action,
                              char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&TargetPortal_type, parent_node, context, action, params);
}

node *initialize_Session(node *parent_node, node *context, node *action,
                         char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&Session_type, parent_node, context, action, params);
}

node *initialize_Connection(node *parent_node, node *context, node *action,
                            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&Connection_type, parent_node, context, action, params);
}

node *initialize_LUN(node *parent_node, node *context, node *action,
                     char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&LUN_type, parent_node, context, action, params);
}
