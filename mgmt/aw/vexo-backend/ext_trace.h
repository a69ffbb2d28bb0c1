// The firmware's extended trace configuration mirrored in the adapter tree:
// one ExtFATModule per trace module and two ExtFATMode instances below each,
// under the adapter's ExtFATData group. Reading a mode value refreshes it
// from the firmware's current configuration, writing one changes that field
// there; the ExtFATData actions change many modes at once.
//
// The configuration is one block: a 20-byte header, then num_modules module
// records, each a 40-byte head and num_modes 16-byte mode records. Every walk
// of it stays inside the block, whatever the counts say.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_EXT_TRACE_H
#define HLVD_MGMT_AW_VEXO_BACKEND_EXT_TRACE_H

#include <cstdint>

#include "mgmt/vexo/core/hm_types.h"

extern "C" {
// Fills ExtFATData and builds its module and mode instances from the
// default configuration; 0, or 1 (last status 259 on Varrow, 201 when the
// configuration cannot be read).
int VEXO_extfat_modules(node *adapter);
}

// Handler of TraceLevel, PortMask and PCIFunctionMask of an ExtFATMode:
// type 0 reads, type 1 writes, any other type answers 0.
VEXO_status_t handle_current_mode_properties(node *property, char *value, int type);
// Refreshes the three values of one ExtFATMode from the current
// configuration; 0 or 1.
VEXO_status_t get_extfat_data(node *extfatdata, node *mode);
// Checks one value and writes it into the current configuration; 0, 1 or
// the failing command's status.
VEXO_status_t set_extfat_data(node *extfatdata, node *mode, const char *property_name, const char *value);
// One trace level on the chosen modes of all modules: flag 1 enables (level
// params[0], modes params[1] UART and params[2] RAM), flag 0 disables (level
// 255, modes params[0] and params[1]).
VEXO_status_t set_extfat_modes(node *extfatdata, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE], int flag);
// Sets `trace_level` in the configuration `block` of `size` bytes for every
// mode record whose ExtFATMode has the Mode `mode` ("UART", "RAM", or "ALL"
// for every mode); 1 for another name or an unreadable Mode.
VEXO_status_t update_trace_level_for_mode(node *extfatdata, const char *mode, uint8_t *block, uint32_t size,
                                          uint32_t trace_level);

// The record of mode `mode_index` of module `module_index` in a
// configuration block of `size` bytes; null when the counts or the block do
// not hold it.
uint8_t *ext_trace_mode_record(uint8_t *block, uint32_t size, int module_index, int mode_index);

VEXO_status_t do_EnableLoggingOnAllModules(node *context, node *action,
                                           char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_DisableLoggingOnAllModules(node *context, node *action,
                                            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_SetDefaultLoggingConfiguration(node *context, node *action,
                                                char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

#endif
