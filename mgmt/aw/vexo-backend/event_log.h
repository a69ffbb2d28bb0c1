// The firmware event log of a converged adapter, mirrored as EventLogEntry
// instances below the adapter's EventLog group: read at back-end start, read
// again by RefreshEventLog, cleared and read again by ClearEventLog.
//
// Each read replaces the whole list; a read that fails keeps the list it
// would have replaced. Varrow adapters keep no event log.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_EVENT_LOG_H
#define HLVD_MGMT_AW_VEXO_BACKEND_EVENT_LOG_H

#include <cstddef>
#include <cstdint>

#include "mgmt/vexo/core/hm_types.h"

// Bytes of one read: the 8-byte head and room for 1023 entries of 64 bytes.
#define EVENT_LOG_READ_SIZE 65480
#define EVENT_LOG_ENTRY_SIZE 64
#define EVENT_LOG_MAX_ENTRIES 1023

// Reads the log through function `port_index` and rebuilds the list below
// the adapter's EventLog group: 0, or 1 (last status 112 for a refused read,
// 16 when memory is short).
int get_eventlog_entries(int port_index, unsigned int domain, unsigned int physical_port, node *adapter);

// Builds one EventLogEntry per entry of a read answer of `answer_size`
// bytes; 0, or 1 when an entry group cannot be created (those made before
// it stay).
int Fill_EventLog_Entries(const uint8_t *answer, size_t answer_size, node *event_log_group);

// Severity name of levels 0 to 3, else null.
const char *event_severity_to_str(unsigned int level);

// Description text of one 64-byte entry into `out` (`size` bytes).
void event_description(const uint8_t *entry, char *out, size_t size);

VEXO_status_t do_RefreshEventLog(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_ClearEventLog(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

extern "C" {
// Start-up read of one adapter: 0 (also when the read fails), 1 when the
// adapter is missing, its family unreadable or it has no function.
int VEXO_get_all_eventlog(node *adapter);
}

#endif
