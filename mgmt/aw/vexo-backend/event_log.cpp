#include "mgmt/aw/vexo-backend/event_log.h"

#include <cstdio>
#include <cstring>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_ncsi_logs.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

namespace
{

// Codes 0 to 94 have a format of their own; the others carry their text.
const unsigned kEventFormats = 95;

const char *const aw_event_desc[kEventFormats] = {
    "Management firmware load successful",
    "Management firmware out of pre allocated resources",
    "Management firmware out of dynamic memory",
    "Invalid IRB:%x",
    "Invalid CIB:%x",
    "Ioctl with page code:%x timed out, IRB:%x",
    "Session with session_id:%x is in recovery",
    "Ioctl failed: page code:%x, subsystem:%x, IRB:%x, status:%x, addnl status:%x",
    "CRC mismatch stored:%x, calc:%x",
    "Configuration area in flash erased",
    "Multiple spare sector",
    "Missing spare sector",
    "Invalid Sector #:%x",
    "Invalid State #:%x",
    "Invalid Entry",
    "Session count mismatch Error stored:%x, calculated:%x",
    "Config Data Initialized",
    "ISNS initialization error",
    "ISNS resume failed",
    "ISNS terminate failed",
    "Server add failed ip address:%x",
    "Initialization Success",
    "Target redirected to new portal ip Address:%x, port:%x",
    "Initiator Error in Login Response Status Class:%x, Status Detail:%x",
    "Target Error in Login Response Status Class:%x, Status Detail:%x",
    "Check Condition received from target for SCSI CMD opcode:%x",
    "CHAP Negotiation Failed for Target Ip Address:%x, port:%x",
    "ISCSI PDU Format Error for session id:%x",
    "Connection closed unexpectedly for session id:%x",
    "iSCSI Protocol Error, Connection Reset",
    "No reference to this command:%x",
    "Invalid URL in SLP request",
    "SLP Registration failed, error code:%x",
    "SLP DeRegistration failed, error code:%x",
    "SLP FindAttr command failed, error code:%x",
    "SLP FindSrvs command failed, error code:%x",
    "Nucleus failed to create Task",
    "Nucleus failed to create Queue",
    "Send message to queue failed",
    "Receive message from queue failed",
    "Ethernet link is down on Port :%d",
    "Ethernet link is up on Port :%d",
    "No more NET Buffer",
    "DHCP Renew request was NAK'd; But, continue to use current IP",
    "DHCP IP Lease expired; But, continue to use current IP",
    "Port failover to %d success",
    "Port failover to %d failed",
    "Port failover info: 0x%x %d %d %d",
    "Kestrune: XML Loaded: %d bytes",
    "Kestrune: Policy rules loaded",
    "Kestrune: Reconfiguration failed",
    "Kestrune: XML: Could not query EK providers",
    "Kestrune: XML: Unknown IKE algorithm",
    "Kestrune: XML: Unsupported transform option",
    "Kestrune: XML: Unknown transform flag",
    "Kestrune: XML: Could not create tunnel object",
    "Kestrune: XML: Could not allocate tunnel object",
    "Kestrune: XML: Unknown algorithm",
    "Kestrune: XML: Could not set algorithm properties",
    "Kestrune: XML: Could not create policy rule",
    "Kestrune: XML: Invalid IKE group specified",
    "Kestrune: Diffie-Hellman group %u (%u bits)",
    "Kestrune: Lifetime: %u seconds",
    "Kestrune: IKE SA Destroyed",
    "Kestrune: IPSec SA destroyed:",
    "Kestrune: AH inbound [%08x] | outbound [%08x]",
    "Kestrune: ESP inbound [%08x] | outbound [%08x]",
    "Kestrune: Rule selection failure, mask[%04x]",
    "Kestrune: SA selection failure, mask[%04x]",
    "Kestrune: CMI selection failure, mask[%04x]",
    "Kestrune: The maximum number of active Phase-1 SAs reached",
    "Kestrune: The maximum number of active Phase-1 negotiations reached",
    "Kestrune: Maximum QMode negotiations reached, rekey not done",
    "Kestrune: Maximum QMode negotiations reached, incoming rejected",
    "Kestrune: IPSec SA negotiations: %u done, %u successful, %u failed",
    "Kestrune: Rule commit fail",
    "Kestrune: Removing unused rules failed",
    "Kestrune: Overlapping policy block",
    "Kestrune: Too large policy block: size=%u, available size=%u",
    "Kestrune: Could not create service object",
    "Kestrune: Could not allocate service object",
    "Kestrune: Unknown CA flag",
    "Kestrune: Could not store certificate name",
    "Kestrune: Get certificate failed",
    "Kestrune: Get certificate o.k.",
    "Kestrune: Error adding certificate",
    "Kestrune: Error adding CRL",
    "Kestrune: Could not set certificate for tunnel",
    "Kestrune: Could not add aggressive mode secret",
    "Kestrune: Too many active aggressive mode negotiations",
    "Kestrune: Could not store certificate request result",
    "Kestrune: No more authentication keys available",
    "Kestrune: Out of memory while allocating local Phase-1 responder ID",
    "Kestrune: Aborting negotiation",
    "Kestrune: Could not start certificate request operation",
};

const char *const kSeverityNames[] = {"Informational", "Warning", "Error", "Fatal"};

// Byte layout of one entry.
const size_t kCodeAt = 0;
const size_t kTimeAt = 4;
const size_t kSeqAt = 8;
const size_t kSeverityAt = 12;
const size_t kEventAt = 16;
const size_t kEventSize = 48;
const size_t kHeadSize = 8;

// The adapter of an EventLog group, with its family checked: the adapter,
// or null (last status 259 for Varrow).
node *served_adapter(node *event_log)
{
    node *adapter = event_log ? event_log->parent : nullptr;
    if (!adapter)
        return nullptr;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return nullptr;
    if (family == AW_TYPE_VARROW) {
        vexo_set_fixed_status(VEXO_STATUS_NOT_SUPPORTED_FOR_VARROW);
        return nullptr;
    }
    return adapter;
}

} // namespace

const char *event_severity_to_str(unsigned int level)
{
    return level < sizeof kSeverityNames / sizeof kSeverityNames[0] ? kSeverityNames[level] : nullptr;
}

void event_description(const uint8_t *entry, char *out, size_t size)
{
    if (!entry || !out || size == 0)
        return;
    unsigned code = le16_at(entry + kCodeAt);
    const uint8_t *ev = entry + kEventAt;
    if (code < kEventFormats) {
        uint32_t p[5];
        for (size_t i = 0; i < 5; ++i)
            p[i] = le32_at(ev + 4 * i);
        // Every format takes only int-sized conversions, at most five.
        std::snprintf(out, size, aw_event_desc[code], p[0], p[1], p[2], p[3], p[4]);
        return;
    }
    // The entry's own text fills up to all 48 bytes, NUL or not.
    size_t n = 0;
    while (n < kEventSize && ev[n] != 0)
        ++n;
    std::snprintf(out, size, "%.*s", static_cast<int>(n), reinterpret_cast<const char *>(ev));
}

int Fill_EventLog_Entries(const uint8_t *answer, size_t answer_size, node *event_log_group)
{
    if (!answer || answer_size < kHeadSize || !event_log_group)
        return 1;
    uint32_t count = le32_at(answer + 4);
    // The firmware's count is trusted only as far as the answer holds entries.
    size_t room = (answer_size - kHeadSize) / EVENT_LOG_ENTRY_SIZE;
    if (room > EVENT_LOG_MAX_ENTRIES)
        room = EVENT_LOG_MAX_ENTRIES;
    if (count > room) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_WARNING, "%s:entry count %u cut to %u\n", __func__, count,
               static_cast<unsigned>(room));
        count = static_cast<uint32_t>(room);
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t *e = answer + kHeadSize + static_cast<size_t>(i) * EVENT_LOG_ENTRY_SIZE;
        node *entry = initialize_EventLogEntry(event_log_group, nullptr, nullptr, nullptr);
        if (!entry) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:cannot create entry %u\n", __func__, i);
            return 1;
        }
        set_prop_val(entry, "ErrorCode", "%d", static_cast<int>(le16_at(e + kCodeAt)));
        set_prop_val(entry, "SequenceNumber", "%d", static_cast<int32_t>(le32_at(e + kSeqAt)));
        set_prop_val(entry, "TimeStamp", "%d", static_cast<int32_t>(le32_at(e + kTimeAt)));
        const char *severity = event_severity_to_str(le16_at(e + kSeverityAt));
        if (!severity) {
            set_prop_val(entry, "Severity", "%s", "INVALID SEVERITY LEVEL!");
            set_prop_val(entry, "Description", "%s", "INVALID Description!!");
            continue;
        }
        char text[VEXO_VALUE_SIZE];
        event_description(e, text, sizeof text);
        set_prop_val(entry, "Severity", "%s", severity);
        set_prop_val(entry, "Description", "%s", text);
    }
    return 0;
}

int get_eventlog_entries(int port_index, unsigned int domain, unsigned int physical_port, node *adapter)
{
    node *group = adapter ? internal_get_node(adapter, "EventLog", VEXO_NODE_GROUP) : nullptr;
    if (!group)
        return 1;
    uint8_t *buffer = static_cast<uint8_t *>(vexo_dcalloc(EVENT_LOG_READ_SIZE));
    if (!buffer) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    VEXO_status_t status =
        ioctl_get_eventlog_entries(port_index, reinterpret_cast<READ_EVENT_LOG_PARAMS *>(buffer), EVENT_LOG_READ_SIZE,
                                   domain, physical_port, instance_number(adapter));
    int result = 1;
    if (status == VEXO_STATUS_SUCCESS || status == VEXO_STATUS_INSUFFICIENT_BUFFER) {
        // The list is replaced only once there is a new one to put in.
        VEXO_status_t purged = purge_nodes_within(group, "EventLogEntry");
        if (purged != VEXO_STATUS_SUCCESS)
            result = static_cast<int>(purged);
        else
            result = Fill_EventLog_Entries(buffer, EVENT_LOG_READ_SIZE, group);
    } else {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_eventlog_entries failed with status = %d\n", __func__,
               status);
        vexo_set_fixed_status(VEXO_STATUS_GET_EVENTLOG_FAILED);
    }
    vexo_dfree(buffer);
    return result;
}

extern "C" int VEXO_get_all_eventlog(node *adapter)
{
    if (!adapter)
        return 1;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return 1;
    if (family == AW_TYPE_VARROW)
        return 0;
    node *function = target_function(adapter);
    if (!function)
        return 1;
    if (get_eventlog_entries(get_port_number(function), 0, 0, adapter) != 0)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_CRITICAL, "Eventlog failure\n");
    return 0;
}

VEXO_status_t do_RefreshEventLog(node *context, node *action, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (vm_flag) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    node *adapter = served_adapter(context);
    node *function = target_function(adapter);
    if (!function)
        return VEXO_STATUS_FAILURE;
    return static_cast<VEXO_status_t>(get_eventlog_entries(get_port_number(function), get_domain_id(action),
                                                           get_phba_port_number(action), adapter));
}

VEXO_status_t do_ClearEventLog(node *context, node *action, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *adapter = served_adapter(context);
    node *function = target_function(adapter);
    if (!function)
        return VEXO_STATUS_FAILURE;
    int port = get_port_number(function);
    unsigned int domain = get_domain_id(action);
    unsigned int phba_port = get_phba_port_number(action);
    VEXO_status_t status = ioctl_clear_event_log(port, domain, phba_port, instance_number(adapter));
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_clear_event_log failed with status = %d\n", __func__,
               status);
        vexo_set_fixed_status(VEXO_STATUS_CLEAR_EVENTLOG_FAILED);
        return status;
    }
    return static_cast<VEXO_status_t>(get_eventlog_entries(port, domain, phba_port, adapter));
}
