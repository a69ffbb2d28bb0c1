// The two firmware logs an adapter hands out as files: the FAT log (the
// adapter object "/dbg/dump.bin" on Varrow) behind the FATData group, and
// the trace log (the firmware's trace string table followed by its 64-byte
// trace records) behind the RetrieveARMLog action of ExtFATData.
//
// Output files are replaced whole: a retrieval that fails leaves the file
// as it was.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_FAT_LOG_H
#define HLVD_MGMT_AW_VEXO_BACKEND_FAT_LOG_H

#include <cstdint>
#include <vector>

#include "mgmt/vexo/core/hm_types.h"

// FAT log bytes per read command.
#define VEXO_FAT_PIECE 64000u
// Trace string table bytes asked for per command.
#define VEXO_STRING_TABLE_PIECE 62992u
// Trace records asked for per command.
#define VEXO_TRACE_RECORDS_PER_READ 998u
// Bounds of what a trace log may hold; more is refused as a firmware fault.
#define VEXO_STRING_TABLE_MAX (16u * 1024u * 1024u)
#define VEXO_TRACE_RECORDS_MAX (1024u * 1024u)

// FATDataValid of the FATData group ("Yes" or "No"), read from the
// firmware; 0, or 1 when it cannot be read.
VEXO_status_t handle_FATDataValid(node *property, char *value, int type);
// params[0]: the output file. 0 also when there is no data (last status
// 77); 1 or the failing command's status otherwise.
VEXO_status_t do_RetrieveFATData(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_ClearFATData(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// params[0]: the output file, params[1]: "RAM", "DDR" or "FLASH". 0 or 1.
VEXO_status_t do_RetrieveARMLog(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// Reads the adapter's whole trace string table into `table` (kept in
// memory, so that retrievals never share a scratch file): 0, or 1 (last
// status 207 when a command fails or the table breaks its bounds).
int read_extfat_string_table(node *adapter, std::vector<uint8_t> *table);

#endif
