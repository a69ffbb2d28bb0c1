// Node tables of the repeated link-configuration and profile groups.
#include "mgmt/aw/vexo-backend/nodes_profile.h"

#include "mgmt/aw/vexo-backend/configured_profile.h"
#include "mgmt/aw/vexo-backend/mac_addresses.h"
#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/aw/vexo-backend/profile_tree.h"
#include "mgmt/aw/vexo-backend/sriov_state.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"

namespace {

constexpr int32_t RO = VEXO_PROP_READONLY;
constexpr int32_t RW = VEXO_PROP_READWRITE;
constexpr char STR = VEXO_TYPE_STRING;
constexpr char INT = VEXO_TYPE_INTEGER;
constexpr char LIST = VEXO_TYPE_LIST;

#define NO_MAC "00:00:00:00:00:00"

const hm_node_row LinkConfig_rows[] = {
    HM_PROPERTY("LinkConfigID", "Id of the link configuration; the value SetLinkConfigID takes.", RO, INT, 0, 32,
                "0", nullptr, handle_internal_property),
    HM_PROPERTY("LinkConfigDescription", "The ports of the link configuration, in words.", RO, STR, 1, 32,
                nullptr, nullptr, handle_internal_property),
};

const hm_node_row Profile_rows[] = {
    HM_PROPERTY("ProfileId", "Firmware id of the profile.", RO, INT, 0, 256, "0", nullptr,
                handle_internal_property),
    HM_PROPERTY("ProfileDescription", "Description of the profile.", RO, STR, 1, 128, nullptr, nullptr,
                handle_internal_property),
};

const hm_node_row Profile_Protocol_rows[] = {
    HM_PROPERTY("ProtocolName", "Protocol for which the profile offers functions.", RO, STR, 0, 8, "NIC",
                nullptr, handle_internal_property),
    HM_PROPERTY("FunctionCount", "Functions of this protocol over all ports of the profile.", RO, INT, 1, 64,
                nullptr, nullptr, handle_internal_property),
};

// The two multichannel lists differ in the order of HLFlex and HLZMR; each
// is kept as the firmware tools show it.
const hm_node_row ActiveProfile_Port_rows[] = {
    HM_PROPERTY("MCType", "Multichannel type of the port.", RO, LIST, 3, 7, "None",
                "ZMR,vNIC1,vNIC2,UFP,NPAR,HLFlex,HLZMR,HLFlexQBG,None", handle_internal_property),
    HM_PROPERTY("MaxStoragePFCount", "Most storage physical functions on the port.", RO, INT, 0, 8, "0", nullptr,
                handle_internal_property),
    HM_PROPERTY("MaxNICPFCount", "Most NIC physical functions on the port.", RO, INT, 1, 64, "1", nullptr,
                handle_internal_property),
    HM_PROPERTY("MaxRoCEPFCount", "Most RoCE physical functions on the port.", RO, INT, 0, 64, "0", nullptr,
                handle_internal_property),
    HM_PROPERTY("MaxiSCSIPFCount", "Most iSCSI physical functions on the port.", RO, INT, 0, 64, "0", nullptr,
                handle_internal_property),
    HM_PROPERTY("MaxFCoEPFCount", "Most FCoE physical functions on the port.", RO, INT, 0, 64, "0", nullptr,
                handle_internal_property),
};

const hm_node_row ActiveProfile_Port_Function_rows[] = {
    HM_PROPERTY("Protocol", "Protocol of the function.", RO, STR, 0, 8, "NIC", nullptr, handle_internal_property),
    HM_PROPERTY("FunctionNumber", "PCI function number.", RO, INT, 0, 64, "0", nullptr, handle_internal_property),
    HM_PROPERTY("MACAddress", "MAC address of the function.", RO, STR, 17, 17, NO_MAC, nullptr,
                handle_internal_property),
    HM_PROPERTY("SRIOVState", "Whether SR-IOV is on for the function.", RO, LIST, 7, 8, "Disabled",
                "Enabled,Disabled", handle_AProf_SRIOVState),
};

const hm_node_row ConfiguredProfile_Port_rows[] = {
    HM_PROPERTY("MCType", "Multichannel type configured for the port; staged until SaveProfile.", RW, LIST, 3, 7,
                "None", "ZMR,vNIC1,vNIC2,UFP,NPAR,HLZMR,HLFlex,HLFlexQBG,None",
                handle_ConfiguredProfile_Port_MCType),
};

const hm_node_row ConfiguredProfile_Port_Function_rows[] = {
    HM_PROPERTY("Protocol", "Protocol configured for the function; staged until SaveProfile.", RW, STR, 0, 8,
                "NIC", nullptr, handle_ConfiguredProfile_Port_Function_Protocol),
    HM_PROPERTY("State", "Whether the function is enabled in the configured profile.", RO, LIST, 0, 8,
                "Disabled", "Enabled,Disabled", handle_internal_property),
    HM_PROPERTY("FunctionNumber", "PCI function number.", RO, INT, 0, 64, "0", nullptr, handle_internal_property),
    HM_PROPERTY("MACAddress", "MAC address of the function.", RO, STR, 17, 17, NO_MAC, nullptr,
                handle_ProfileManagement_ConfiguredProfile_Port_Function_MACAddress),
    HM_PROPERTY("SRIOVState", "SR-IOV state configured for the function; staged until SaveProfile.", RW, LIST, 7,
                8, "Disabled", "Enabled,Disabled", handle_CProf_SRIOVState),
    HM_PROPERTY("AvailableProtocols", "Protocols the function can be given; None where it can be switched off.",
                RO, LIST, 3, 5, "NIC", "NIC,RoCE,FCoE,iSCSI,None", handle_AvailableProtocols),
};

#undef NO_MAC

// One slice per adapter for the groups right below its fixed subgroups; one
// per profile, or per port, of every adapter for the groups below those.
uint8_t LinkConfig_bits[HM_BIT_FIELD_BYTES(LINKCONFIG_MAX_INSTANCES, ARCWRIGHT_MAX_INSTANCES)];
uint8_t Profile_bits[HM_BIT_FIELD_BYTES(PROFILE_MAX_INSTANCES, ARCWRIGHT_MAX_INSTANCES)];
uint8_t Profile_Protocol_bits[HM_BIT_FIELD_BYTES(PROFILE_PROTOCOL_MAX_INSTANCES,
                                                 ARCWRIGHT_MAX_INSTANCES * PROFILE_MAX_INSTANCES)];
uint8_t ActiveProfile_Port_bits[HM_BIT_FIELD_BYTES(PROFILE_PORT_MAX_INSTANCES, ARCWRIGHT_MAX_INSTANCES)];
uint8_t ActiveProfile_Port_Function_bits[HM_BIT_FIELD_BYTES(PROFILE_PORT_FUNCTION_MAX_INSTANCES,
                                                            ARCWRIGHT_MAX_INSTANCES * PROFILE_PORT_MAX_INSTANCES)];
uint8_t ConfiguredProfile_Port_bits[HM_BIT_FIELD_BYTES(PROFILE_PORT_MAX_INSTANCES, ARCWRIGHT_MAX_INSTANCES)];
uint8_t ConfiguredProfile_Port_Function_bits[HM_BIT_FIELD_BYTES(
    PROFILE_PORT_FUNCTION_MAX_INSTANCES, ARCWRIGHT_MAX_INSTANCES * PROFILE_PORT_MAX_INSTANCES)];

const hm_group_type LinkConfig_type = {
    "LinkConfig", "One link configuration that the firmware offers.", LINKCONFIG_MAX_INSTANCES, 0, nullptr,
    LinkConfig_bits, sizeof LinkConfig_bits, LinkConfig_rows, HM_ROW_COUNT(LinkConfig_rows)};

const hm_group_type Profile_type = {
    "Profile", "One profile that the firmware offers.", PROFILE_MAX_INSTANCES, 0, nullptr, Profile_bits,
    sizeof Profile_bits, Profile_rows, HM_ROW_COUNT(Profile_rows)};

const hm_group_type Profile_Protocol_type = {
    "Protocol", "One protocol for which the profile offers functions.", PROFILE_PROTOCOL_MAX_INSTANCES, 0,
    nullptr, Profile_Protocol_bits, sizeof Profile_Protocol_bits, Profile_Protocol_rows,
    HM_ROW_COUNT(Profile_Protocol_rows)};

const hm_group_type ActiveProfile_Port_type = {
    "Port", "One port of the profile in force.", PROFILE_PORT_MAX_INSTANCES, 0, nullptr, ActiveProfile_Port_bits,
    sizeof ActiveProfile_Port_bits, ActiveProfile_Port_rows, HM_ROW_COUNT(ActiveProfile_Port_rows)};

const hm_group_type ActiveProfile_Port_Function_type = {
    "Function", "One function of the port in the profile in force.", PROFILE_PORT_FUNCTION_MAX_INSTANCES, 0,
    nullptr, ActiveProfile_Port_Function_bits, sizeof ActiveProfile_Port_Function_bits,
    ActiveProfile_Port_Function_rows, HM_ROW_COUNT(ActiveProfile_Port_Function_rows)};

const hm_group_type ConfiguredProfile_Port_type = {
    "Port", "One port of the configured profile.", PROFILE_PORT_MAX_INSTANCES, 0, nullptr,
    ConfiguredProfile_Port_bits, sizeof ConfiguredProfile_Port_bits, ConfiguredProfile_Port_rows,
    HM_ROW_COUNT(ConfiguredProfile_Port_rows)};

const hm_group_type ConfiguredProfile_Port_Function_type = {
    "Function", "One function of the port in the configured profile.", PROFILE_PORT_FUNCTION_MAX_INSTANCES, 0,
    nullptr, ConfiguredProfile_Port_Function_bits, sizeof ConfiguredProfile_Port_Function_bits,
    ConfiguredProfile_Port_Function_rows, HM_ROW_COUNT(ConfiguredProfile_Port_Function_rows)};

} // namespace

node *initialize_LinkConfig(node *parent_node, node *context, node *action,
                            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&LinkConfig_type, parent_node, context, action, params);
}

node *initialize_Profile(node *parent_node, node *context, node *action,
                         char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&Profile_type, parent_node, context, action, params);
}

node *initialize_Profile_Protocol(node *parent_node, node *context, node *action,
                                  char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&Profile_Protocol_type, parent_node, context, action, params);
}

node *initialize_ActiveProfile_Port(node *parent_node, node *context, node *action,
                                    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&ActiveProfile_Port_type, parent_node, context, action, params);
}

node *initialize_ActiveProfile_Port_Function(node *parent_node, node *context, node *action,
                                             char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&ActiveProfile_Port_Function_type, parent_node, context, action, params);
}

node *initialize_ConfiguredProfile_Port(node *parent_node, node *context, node *action,
                                        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&ConfiguredProfile_Port_type, parent_node, context, action, params);
}

node *initialize_ConfiguredProfile_Port_Function(node *parent_node, node *context, node *action,
                                                 char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&ConfiguredProfile_Port_Function_type, parent_node, context, action, params);
}
