// Builders of the iSCSI initiator: LogicalHBA, one below every
// iSCSIPhysicalHBA, and the send-target portals of its Discovery group.
//
// Also the login-option property set: the one definition of every login
// option and CHAP property, from which each login-option group of the
// initiator, target, session and connection tables takes its rows.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_NODES_INITIATOR_H
#define HLVD_MGMT_AW_VEXO_BACKEND_NODES_INITIATOR_H

#include <cstdint>

#include "mgmt/vexo/core/hm_builder.h"
#include "mgmt/vexo/core/hm_types.h"

// Instances under one parent at most.
#define LOGICALHBA_MAX_INSTANCES 1
#define SENDTARGETPORTAL_MAX_INSTANCES 128

// Each answers the new group, or null when its parent already holds the
// maximum number of instances or the build failed.
// Parent: an iSCSIPhysicalHBA instance.
node *initialize_LogicalHBA(node *parent_node, node *context, node *action,
                            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Parent: the Discovery group of a LogicalHBA.
node *initialize_SendTargetPortal(node *parent_node, node *context, node *action,
                                  char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// The login-option property set.
enum login_option {
    LO_InitialR2T,
    LO_ImmediateData,
    LO_MaxConnections,
    LO_MaxOutstandingR2T,
    LO_FirstBurstLength,
    LO_MaxBurstLength,
    LO_DefaultTime2Wait,
    LO_DefaultTime2Retain,
    LO_ErrorRecoveryLevel,
    LO_DataPDUInOrder,
    LO_DataSequenceInOrder,
    LO_HeaderDigest,
    LO_DataDigest,
    LO_MaxRecvDataSegmentLength,
    LO_HeaderParam,
    LO_DataParam,
    LO_MaxSendDataSegmentLength,
    LO_TCPMSS,
    // The authentication rows.
    LO_AuthenticationMethod,
    LO_InitiatorCHAPName,
    LO_InitiatorSecret,
    LO_TargetCHAPName,
    LO_TargetSecret,
    LO_CHAPParam,
    LO_COUNT
};

struct login_option_def {
    const char *name;
    const char *desc;
    char datatype;
    uint32_t minval;
    uint32_t maxval;
    const char *default_val; // null: the cached value stays empty
    const char *list;
};

// Indexed by login_option.
inline constexpr login_option_def kLoginOptionSet[LO_COUNT] = {
    {"InitialR2T", "Yes: the initiator waits for the target to solicit data; No: it may send a first burst unsolicited.",
     VEXO_TYPE_LIST, 0, 3, "Yes", "Yes,No"},
    {"ImmediateData", "Whether unsolicited data may be appended to a command.", VEXO_TYPE_LIST, 0, 3, "Yes",
     "Yes,No"},
    {"MaxConnections", "Connections allowed in one session.", VEXO_TYPE_INTEGER, 1, 1, "1", nullptr},
    {"MaxOutstandingR2T", "Outstanding R2Ts per task.", VEXO_TYPE_INTEGER, 1, 255, "1", nullptr},
    {"FirstBurstLength", "Bytes of unsolicited data per command.", VEXO_TYPE_INTEGER, 0, 8192, "8192", nullptr},
    {"MaxBurstLength", "Bytes in one data burst.", VEXO_TYPE_INTEGER, 0, 262144, "262144", nullptr},
    {"DefaultTime2Wait", "Seconds to wait before reconnecting.", VEXO_TYPE_INTEGER, 0, 2, "2", nullptr},
    {"DefaultTime2Retain", "Seconds to reassign a connection after that wait.", VEXO_TYPE_INTEGER, 0, 20, "20",
     nullptr},
    {"ErrorRecoveryLevel",
     "0 recovery by session restart, 1 by reissuing commands, data or status, 2 connection recovery.",
     VEXO_TYPE_INTEGER, 0, 255, "0", nullptr},
    {"DataPDUInOrder", "Whether data PDUs come in order within a sequence.", VEXO_TYPE_INTEGER, 0, 1, "1", nullptr},
    {"DataSequenceInOrder", "Whether data sequences come in order.", VEXO_TYPE_INTEGER, 0, 1, "1", nullptr},
    {"HeaderDigest", "CRC32C digest over PDU headers.", VEXO_TYPE_LIST, 4, 6, "None", "None,CRC32C"},
    {"DataDigest", "CRC32C digest over PDU data segments.", VEXO_TYPE_LIST, 4, 6, "None", "None,CRC32C"},
    {"MaxRecvDataSegmentLength", "Bytes of data segment received in one PDU.", VEXO_TYPE_INTEGER, 0, 65536,
     "65536", nullptr},
    {"HeaderParam", "Header-digest level at login; Preferred only when HeaderDigest is not the default.",
     VEXO_TYPE_LIST, 9, 10, "Prohibited", "Prohibited,Preferred"},
    {"DataParam", "Data-digest level at login.", VEXO_TYPE_LIST, 9, 10, "Prohibited", "Prohibited,Preferred"},
    {"MaxSendDataSegmentLength", "Bytes of data segment the target can receive in one PDU.", VEXO_TYPE_INTEGER,
     512, 16384, "16384", nullptr},
    {"TCPMSS", "TCP maximum segment size: 1436 to 1460 bytes without jumbo frames, 8224 to 8248 with them.",
     VEXO_TYPE_INTEGER, 1436, 8248, "1460", nullptr},
    {"AuthenticationMethod", "CHAP method of the login.", VEXO_TYPE_LIST, 4, 12, "None",
     "None,Mutual CHAP,One-Way CHAP"},
    {"InitiatorCHAPName", "CHAP name of the initiator, needed only for mutual CHAP.", VEXO_TYPE_STRING, 1, 256,
     nullptr, nullptr},
    {"InitiatorSecret",
     "CHAP secret of the initiator, needed only for mutual CHAP: 12 to 16 characters, or 12 to 16 bytes as hex.",
     VEXO_TYPE_STRING, 12, 34, nullptr, nullptr},
    {"TargetCHAPName", "CHAP name of the target, needed for one-way and mutual CHAP.", VEXO_TYPE_STRING, 1, 256,
     nullptr, nullptr},
    {"TargetSecret",
     "CHAP secret of the target, needed for one-way and mutual CHAP: 12 to 16 characters, or 12 to 16 bytes as hex.",
     VEXO_TYPE_STRING, 12, 34, nullptr, nullptr},
    {"CHAPParam",
     "CHAP level at login: Prohibited never; Discouraged without CHAP first; Preferred with CHAP first; "
     "Required only with the configured CHAP.",
     VEXO_TYPE_LIST, 4, 11, "Prohibited", "Prohibited,Discouraged,Preferred,Required"},
};

// The row of option `o` as the set defines it, with a group's access and handler.
constexpr hm_node_row login_option_row(login_option o, int32_t flag, property_function func)
{
    return HM_PROPERTY(kLoginOptionSet[o].name, kLoginOptionSet[o].desc, flag, kLoginOptionSet[o].datatype,
                       kLoginOptionSet[o].minval, kLoginOptionSet[o].maxval, kLoginOptionSet[o].default_val,
                       kLoginOptionSet[o].list, func);
}

// A row of the set where a group departs from it in datatype or limits.
constexpr hm_node_row login_option_row(login_option o, int32_t flag, property_function func, char datatype,
                                       uint32_t minval, uint32_t maxval)
{
    return HM_PROPERTY(kLoginOptionSet[o].name, kLoginOptionSet[o].desc, flag, datatype, minval, maxval,
                       kLoginOptionSet[o].default_val, kLoginOptionSet[o].list, func);
}

// Parameters of ConfigureCHAP, the same in every Authentication group that has it.
inline constexpr VEXO_param_info kConfigureCHAPParams = {6, {
    {1, "AuthenticationMethod", "CHAP method to enable.", VEXO_TYPE_LIST, "Mutual CHAP,One-Way CHAP", 4, 12},
    {0, "InitiatorCHAPName", "CHAP name of the initiator, for mutual CHAP.", VEXO_TYPE_STRING, "", 0, 256},
    {0, "InitiatorSecret", "CHAP secret of the initiator, for mutual CHAP.", VEXO_TYPE_STRING, "", 0, 256},
    {1, "TargetCHAPName", "CHAP name of the target.", VEXO_TYPE_STRING, "", 1, 256},
    {1, "TargetSecret", "CHAP secret of the target.", VEXO_TYPE_STRING, "", 12, 34},
    {0, "CHAPParam", "CHAP level at login.", VEXO_TYPE_LIST, "Discouraged,Preferred,Required", 4, 11},
}};


// The configured login options of InitiatorLoginOptions,
// SendTargetPortalLoginOptions and TargetLoginOptions, bound to `func`.
#define LOGIN_OPTION_CONFIGURED_ROWS(func)                                                                    \
    login_option_row(LO_InitialR2T, VEXO_PROP_READONLY, func),                                                \
        login_option_row(LO_ImmediateData, VEXO_PROP_READWRITE, func),                                       \
        login_option_row(LO_HeaderDigest, VEXO_PROP_READWRITE, func),                                        \
        login_option_row(LO_DataDigest, VEXO_PROP_READWRITE, func),                                          \
        login_option_row(LO_HeaderParam, VEXO_PROP_READWRITE, func),                                         \
        login_option_row(LO_DataParam, VEXO_PROP_READWRITE, func)

// The Authentication subgroup of those groups: the six CHAP rows, read-only,
// bound to `func` except InitiatorSecret and TargetCHAPName, bound to
// `name_secret_func`; then the group's own ConfigureCHAP and DeleteCHAP records.
#define LOGIN_OPTION_AUTHENTICATION_ROWS(func, name_secret_func, configure_act, delete_act)                  \
    HM_GROUP("Authentication", "CHAP authentication of the login.", nullptr),                                  \
        login_option_row(LO_AuthenticationMethod, VEXO_PROP_READONLY, func),                                 \
        login_option_row(LO_InitiatorCHAPName, VEXO_PROP_READONLY, func),                                    \
        login_option_row(LO_InitiatorSecret, VEXO_PROP_READONLY, name_secret_func),                          \
        login_option_row(LO_TargetCHAPName, VEXO_PROP_READONLY, name_secret_func),                           \
        login_option_row(LO_TargetSecret, VEXO_PROP_READONLY, func),                                         \
        login_option_row(LO_CHAPParam, VEXO_PROP_READONLY, func),                                            \
        HM_ACTION("ConfigureCHAP", "Enables CHAP with these values.", configure_act),                        \
        HM_ACTION("DeleteCHAP", "Removes the CHAP configuration.", delete_act),                              \
    HM_END()

#endif
