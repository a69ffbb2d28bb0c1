// The dump and event-log interface of the client layer: numeric snapshot
// modes and trace-level codes instead of texts, RM_STATUS results, the core
// and trace dumps, and a text report of the management tree.
#ifndef HLVD_MAL_MAL_DUMP_GLUE_H
#define HLVD_MAL_MAL_DUMP_GLUE_H

#include <cstdint>
#include <cstdio>

#include "flash/rm_status.h"
#include "mal/mal_network_ops.h"
#include "mgmt/vexo/core/hm_types.h"

// Snapshot-mode codes.
#define DMP_SNAPSHOT_FLASH 0
#define DMP_SNAPSHOT_RAM 1
#define DMP_SNAPSHOT_DDR 2

// Trace-level codes (the firmware level in brackets).
#define DMP_TRACE_NOT_SET 0    // (-1) leave unchanged
#define DMP_TRACE_DISABLED 1   // (255)
#define DMP_TRACE_ALL 2        // (0)
#define DMP_TRACE_ALWAYS 11    // (128)

#define DMP_MODE_NAME_SIZE 8
#define DMP_MODULE_NAME_SIZE 32
#define DMP_MODES 4

// A name field is not necessarily terminated: it holds up to its width.
struct ConfigDataMode {
    int32_t PortMask;     // -1 leaves it unchanged
    int32_t FunctionMask; // -1 leaves it unchanged
    int32_t TraceLevel;   // trace-level code
    char ModeName[DMP_MODE_NAME_SIZE]; // "UART", "RAM", "NVRAM", "TFTP"; empty ends the list
};

struct ConfigDataModule {
    ConfigDataMode Modes[DMP_MODES];
    char ModuleName[DMP_MODULE_NAME_SIZE];
};

#define DMP_MAX_MODULES 64

// Supported-mode bits.
#define DMP_MODE_UART 1
#define DMP_MODE_RAM 2

// The logging configuration of one adapter.
struct EventLogConfigData {
    uint32_t MaxLogEntries;
    uint32_t LogEntrySize;
    uint32_t ModeCount;
    uint32_t ModuleCount; // at most 64
    uint32_t SupportedModes;
    char LoggingType[32];
    ConfigDataModule Modules[DMP_MAX_MODULES];
};

// Kind 2: PCI function masks of 4 bits; any other kind: 8 bits.
#define DMP_KIND_FOUR_FUNCTIONS 2

// Writes the text of a snapshot-mode code into `out` (`size` characters).
// 0; 4 for a size of 5 or less, a missing buffer or an unknown code.
RM_STATUS Dmp_CopyToMal_SnapshotMode(char *out, int size, int mode);
// Firmware level to code and back: 0, or 1 for a value outside the table
// (*out is then left alone).
RM_STATUS Dmp_MapFromMal_TraceLevel(int32_t *code, int32_t level);
RM_STATUS Dmp_MapToMal_TraceLevel(int32_t *level, int32_t code);

// Client module record to this interface's: 0, or 1 for a trace level
// outside the table.
RM_STATUS Dmp_CopyFromMal_ConfigDataModule(int kind, ConfigDataModule *out, const MAL_ExtFatModule *in);
// And back: the modes up to the first without a name (the one after them
// leaves everything unchanged). 0; 21 when the first mode has no name; 1 for
// a trace-level code outside the table.
RM_STATUS Dmp_CopyToMal_ConfigDataModule(MAL_ExtFatModule *out, const ConfigDataModule *in);

// The adapter's logging configuration: 0, 4 without `out`, or the first
// failing client call's result.
RM_STATUS GetAwEventLogConfigDataAll(node_tag_t adapter, EventLogConfigData *out, int kind);
// Writes one module (found by its name) after checking it: 0; 21 for a
// module that does not validate or does not exist; 1 for a trace-level code
// outside the table; or the failing client call's result.
RM_STATUS SetAwEventLogConfigDataModule(node_tag_t adapter, ConfigDataModule *module, int kind);
// Sets every module's trace level for the chosen modes (code 1 disables
// them): 21 when no mode is chosen, 1 for an unknown code, else the client
// operation's result.
RM_STATUS SetAwEventLogTraceLevel(node_tag_t adapter, int32_t code, int32_t uart, int32_t ram, int32_t third,
                                  int32_t fourth);
RM_STATUS SetAwDefaultLoggingConfig(node_tag_t adapter);

// Upper-cases the mode names in place and checks the module: 0 with *valid 1,
// or 21 with *valid 0 (no module name, no known first mode, or a mask out
// of range). The first argument is not used.
RM_STATUS ValidateConfigDataModule(int unused, ConfigDataModule *module, int32_t *valid, int kind);

// Writes the adapter's trace log from the snapshot `mode` to `path`: 0; 4
// for a missing path or unknown mode; 108 when the adapter has no such
// data, 33 for another failure of the dump, 114 when the library cannot
// run it. The last argument is not used.
RM_STATUS GenerateEfdDump(node_tag_t adapter, int mode, const char *path, int unused);
// Writes the adapter's core dump (an empty or null kind leaves the kind
// out) to `path`: 0; 37 without a path; 4 for a value the dump refuses;
// 247 when the chip asks for an immediate reboot; 33 when the file cannot
// be written that way; 114 for every other outcome, a segment failure
// included even though the file was written.
RM_STATUS GenerateCoreDump(node_tag_t adapter, const char *kind, const char *path);

// Most children of one kind that one group of the report may have; a
// group with more is reported with an error line instead of its list.
#define DMP_REPORT_MAX_CHILDREN 4308

// Prints the management tree from the root to `stream` (standard output
// when null): per group an empty line and "<path> :", then its properties
// as "  name=value", long values wrapped at 79 columns, then its child
// groups. A non-zero `depth_limit` stops below that depth. Answers the
// number of groups visited plus properties printed.
int Dmp_VexoReport(int depth_limit, FILE *stream);

#endif
