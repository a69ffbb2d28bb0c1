// The firmware logs of a simulated converged adapter (common subsystem):
// the FAT log (opcode 68: query, read, clear), the trace log (127 the
// snapshot's record count, 128 up to 998 64-byte records per answer from the
// snapshot or the flash copy, 130 the trace string table in pieces) and the
// extended trace configuration (125 read, 126 write).
//
// Optional fields of an adapter's description:
//   "fat_log_size": N        the FAT log holds N bytes (fatlog_bytes); a
//                            clear empties it (fw_state "fat_cleared")
//   "trace_log": { "ram": N, "flash": M, "strings": S,
//                  "zero_at": K,      an answer asked from record K on holds
//                                     no records (a log that stops early)
//                  "report_count": R  every answer reports R records }
//   "ext_trace": { "max_log_entries", "log_entry_size", "logging_type",
//                  "max_logging_functions", "max_logging_ports",
//                  "supported_modes", "modules": [ { "name", "id",
//                  "num_modes" (reported count, default the modes given),
//                  "modes": [ { "mode", "port_mask", "trace_level",
//                  "function_mask" } ] } ] }
//     the default configuration; without it three modules ("Common", "NIC",
//     "iSCSI") with a UART and a RAM mode each. A write (126) becomes the
//     current configuration (fw_state "ext_trace_current").
#ifndef HLVD_SIM_FATLOG_MODEL_H
#define HLVD_SIM_FATLOG_MODEL_H

#include <cstdint>
#include <vector>

#include "sim/fw_context.h"

namespace hlvdsim
{

// The bytes of a FAT log, of a trace string table, and one trace record
// (mode 0 the snapshot, 1 the flash copy), as the simulated firmware keeps
// them.
std::vector<uint8_t> fatlog_bytes(uint32_t size);
std::vector<uint8_t> trace_string_table(uint32_t size);
std::vector<uint8_t> trace_record(uint32_t mode, uint32_t index);

void cmd_manage_fat(FwContext &c);            // 1/68
void cmd_get_ext_trace_config(FwContext &c);  // 1/125
void cmd_set_ext_trace_config(FwContext &c);  // 1/126
void cmd_trace_snapshot(FwContext &c);        // 1/127
void cmd_trace_records(FwContext &c);         // 1/128
void cmd_trace_string_table(FwContext &c);    // 1/130

} // namespace hlvdsim

#endif
