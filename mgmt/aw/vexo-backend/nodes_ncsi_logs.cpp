// Node tables of the NC-SI configurations, the firmware trace modules and
// modes, and the event-log entries.
#include "mgmt/aw/vexo-backend/nodes_ncsi_logs.h"

#include "mgmt/aw/vexo-backend/adapter_network_props.h"
#include "mgmt/aw/vexo-backend/ext_trace.h"
#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"

namespace {

constexpr int32_t RO = VEXO_PROP_READONLY;
constexpr int32_t RW = VEXO_PROP_READWRITE;
constexpr char STR = VEXO_TYPE_STRING;
constexpr char INT = VEXO_TYPE_INTEGER;
constexpr char LIST = VEXO_TYPE_LIST;

#define NO_MAC "00:00:00:00:00:00"

const hm_node_row NCSIStaticConfiguration_rows[] = {
    HM_PROPERTY("PortSwap", "Whether the controller's ports are swapped; shown for diagnosis.", RO, LIST, 2, 3,
                "No", "Yes,No", handle_ncsi_static_configuration),
    HM_PROPERTY("EnableWOLPort0", "Whether wake on LAN is on for port 0.", RO, LIST, 2, 3, "No", "Yes,No",
                handle_ncsi_static_configuration),
    HM_PROPERTY("Port0MAC", "MAC address of port 0 in the wake-on-LAN magic packet.", RO, STR, 17, 17, NO_MAC,
                nullptr, handle_ncsi_static_configuration),
    HM_PROPERTY("EnableWOLPort1", "Whether wake on LAN is on for port 1.", RO, LIST, 2, 3, "No", "Yes,No",
                handle_ncsi_static_configuration),
    HM_PROPERTY("Port1MAC", "MAC address of port 1 in the wake-on-LAN magic packet.", RO, STR, 17, 17, NO_MAC,
                nullptr, handle_ncsi_static_configuration),
    HM_PROPERTY("MgmtVLANId", "VLAN id of the NC-SI traffic.", RO, INT, 0, 4095, "0", nullptr,
                handle_ncsi_static_configuration),
};

const hm_node_row NCSIDynamicConfiguration_rows[] = {
    HM_PROPERTY("EnableWOLPort0", "Whether wake on LAN is on for port 0.", RW, LIST, 2, 3, "No", "Yes,No",
                handle_ncsi_dynamic_configuration),
    HM_PROPERTY("Port0MAC", "MAC address of port 0 in the wake-on-LAN magic packet.", RW, STR, 17, 17, NO_MAC,
                nullptr, handle_ncsi_dynamic_configuration),
    HM_PROPERTY("EnableWOLPort1", "Whether wake on LAN is on for port 1.", RW, LIST, 2, 3, "No", "Yes,No",
                handle_ncsi_dynamic_configuration),
    HM_PROPERTY("Port1MAC", "MAC address of port 1 in the wake-on-LAN magic packet.", RW, STR, 17, 17, NO_MAC,
                nullptr, handle_ncsi_dynamic_configuration),
    HM_PROPERTY("MgmtVLANId", "VLAN id of the NC-SI traffic.", RW, INT, 0, 4095, "0", nullptr,
                handle_ncsi_dynamic_configuration),
};

#undef NO_MAC

const hm_node_row ExtFATModule_rows[] = {
    HM_PROPERTY("ModuleString", "Name of the firmware trace module.", RO, STR, 1, 32, "N/A", nullptr,
                handle_internal_property),
    HM_PROPERTY("ModuleId", "Id by which a trace record names the module.", RO, INT, 1, 32, "1", nullptr,
                handle_internal_property),
};

const hm_node_row ExtFATMode_rows[] = {
    HM_PROPERTY("Mode", "Logging mode these settings apply to.", RO, LIST, 7, 8, "UART", "UART,RAM",
                handle_internal_property),
    HM_PROPERTY("PortMask", "Ports whose logging is on, as a hexadecimal mask with the prefix 0x.", RW, STR, 3, 4,
                "0xFF", nullptr, handle_current_mode_properties),
    HM_PROPERTY("PCIFunctionMask", "PCI functions whose logging is on, as a hexadecimal mask with the prefix 0x.",
                RW, STR, 3, 18, "0xFFFFFFFFFFFFFFFF", nullptr, handle_current_mode_properties),
    HM_PROPERTY("TraceLevel", "Trace level of the module in this mode; 255 turns tracing off.", RW, LIST, 0, 255,
                "0", "0,1,4,5,8,16,32,48,64,128,255", handle_current_mode_properties),
};

// The back end writes sequence numbers and time stamps beyond these limits
// directly; the properties are read-only, so the limits never refuse them.
const hm_node_row EventLogEntry_rows[] = {
    HM_PROPERTY("SequenceNumber", "Sequence number of the entry.", RO, INT, 1, 255, "1", nullptr,
                handle_internal_property),
    HM_PROPERTY("TimeStamp", "Seconds since the adapter's processor started.", RO, INT, 1, 255, "1", nullptr,
                handle_internal_property),
    HM_PROPERTY("Severity", "How serious the event is.", RO, LIST, 1, 255, "Unknown",
                "Fatal,Error,Warning,Informational,Unknown", handle_internal_property),
    HM_PROPERTY("Description", "Text of the event.", RO, STR, 1, 255, "0", nullptr, handle_internal_property),
    HM_PROPERTY("ErrorCode", "Numeric code of the event.", RO, INT, 1, 255, "1", nullptr,
                handle_internal_property),
};

// One slice per adapter; the modes have one per module of every adapter.
uint8_t NCSIStaticConfiguration_bits[HM_BIT_FIELD_BYTES(NCSICONFIGURATION_MAX_INSTANCES, ARCWRIGHT_MAX_INSTANCES)];
uint8_t NCSIDynamicConfiguration_bits[HM_BIT_FIELD_BYTES(NCSICONFIGURATION_MAX_INSTANCES, ARCWRIGHT_MAX_INSTANCES)];
uint8_t ExtFATModule_bits[HM_BIT_FIELD_BYTES(EXTFATMODULE_MAX_INSTANCES, ARCWRIGHT_MAX_INSTANCES)];
uint8_t ExtFATMode_bits[HM_BIT_FIELD_BYTES(EXTFATMODE_MAX_INSTANCES,
                                           ARCWRIGHT_MAX_INSTANCES * EXTFATMODULE_MAX_INSTANCES)];
uint8_t EventLogEntry_bits[HM_BIT_FIELD_BYTES(EVENTLOGENTRY_MAX_INSTANCES, ARCWRIGHT_MAX_INSTANCES)];

const hm_group_type NCSIStaticConfiguration_type = {
    "NCSIStaticConfiguration", "NC-SI settings written at manufacturing for the out-of-box configuration.",
    NCSICONFIGURATION_MAX_INSTANCES, 0, nullptr, NCSIStaticConfiguration_bits, sizeof NCSIStaticConfiguration_bits,
    NCSIStaticConfiguration_rows, HM_ROW_COUNT(NCSIStaticConfiguration_rows)};

const hm_group_type NCSIDynamicConfiguration_type = {
    "NCSIDynamicConfiguration", "NC-SI settings that override the static ones.", NCSICONFIGURATION_MAX_INSTANCES, 0,
    nullptr, NCSIDynamicConfiguration_bits, sizeof NCSIDynamicConfiguration_bits, NCSIDynamicConfiguration_rows,
    HM_ROW_COUNT(NCSIDynamicConfiguration_rows)};

const hm_group_type ExtFATModule_type = {
    "ExtFATModule", "One trace module of the adapter firmware.", EXTFATMODULE_MAX_INSTANCES, 0, nullptr,
    ExtFATModule_bits, sizeof ExtFATModule_bits, ExtFATModule_rows, HM_ROW_COUNT(ExtFATModule_rows)};

const hm_group_type ExtFATMode_type = {
    "ExtFATMode", "Trace settings of the module for one logging mode.", EXTFATMODE_MAX_INSTANCES, 0, nullptr,
    ExtFATMode_bits, sizeof ExtFATMode_bits, ExtFATMode_rows, HM_ROW_COUNT(ExtFATMode_rows)};

const hm_group_type EventLogEntry_type = {
    "EventLogEntry", "One entry of the firmware's event log.", EVENTLOGENTRY_MAX_INSTANCES, 0, nullptr,
    EventLogEntry_bits, sizeof EventLogEntry_bits, EventLogEntry_rows, HM_ROW_COUNT(EventLogEntry_rows)};

} // namespace

node *initialize_NCSIStaticConfiguration(node *parent_node, node *context, node *action,
                                         char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&NCSIStaticConfiguration_type, parent_node, context, action, params);
}

node *initialize_NCSIDynamicConfiguration(node *parent_node, node *context, node *action,
                                          char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&NCSIDynamicConfiguration_type, parent_node, context, action, params);
}

node *initialize_ExtFATModule(node *parent_node, node *context, node *action,
                              char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&ExtFATModule_type, parent_node, context, action, params);
}

node *initialize_ExtFATMode(node *parent_node, node *context, node *action,
                            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&ExtFATMode_type, parent_node, context, action, params);
}

node *initialize_EventLogEntry(node *parent_node, node *context, node *action,
                               char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&EventLogEntry_type, parent_node, context, action, params);
}
