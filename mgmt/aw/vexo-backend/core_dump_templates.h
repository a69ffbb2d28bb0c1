// The segments of component 1 of an adapter core dump: per ASIC generation a
// table of templates, each row with the byte-code program the firmware's dump
// engine runs to collect that segment. The row index is the segment number.
// A fourth table, for the "Test" dump types, exercises the dump engine itself.
//
// VEXO_get_asic_type tells the generation from the SLI interface register;
// VEXO_get_byte_code_info writes the rows of one dump into the dump file.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_CORE_DUMP_TEMPLATES_H
#define HLVD_MGMT_AW_VEXO_BACKEND_CORE_DUMP_TEMPLATES_H

#include <array>
#include <cstddef>
#include <cstdint>

#include "mgmt/vexo/core/hm_types.h"

struct DUMP_TEMPLATE {
    uint8_t ver_lo;
    uint8_t ver_hi;
    uint8_t dead_mode; // collected when the chip is dead (or a dead dump is asked for)
    uint8_t live_mode; // collected when the chip is alive
    uint8_t compress;
    uint8_t encrypt; // never acted on
    uint32_t max_instance;
    uint32_t offset;
    uint32_t length;    // segment bytes
    uint32_t bc_length; // program words
    const uint32_t *pbyte_code; // null: row not in use
};

#define AW2_TEMPLATE_ROWS 306
#define AW3_TEMPLATE_ROWS 306
#define TRL_TEMPLATE_ROWS 338
#define TEST_TEMPLATE_ROWS 223

extern const std::array<DUMP_TEMPLATE, AW2_TEMPLATE_ROWS> aw2_template;
extern const std::array<DUMP_TEMPLATE, AW3_TEMPLATE_ROWS> aw3_template;
extern const std::array<DUMP_TEMPLATE, TRL_TEMPLATE_ROWS> trl_template;
extern const std::array<DUMP_TEMPLATE, TEST_TEMPLATE_ROWS> test_template;

extern "C" {
// Writes every template segment of one dump (rows of the dead or live column,
// every instance) into `file_name`; 0 when the table was walked, whatever
// happened to single segments, and for Varrow (type 4); 1 for bad input, a
// generation without a table, or when function 0 cannot be read.
int VEXO_get_byte_code_info(int asic_type, const char *dump_type, const char *file_name, node *adapter,
                            int user_req_dump, int chip_state);
// The generation (AW_TYPE_*) from the sixth hexadecimal digit of sli_intf;
// 0xFFFF for 0, unchanged for a digit that names none. Always 0.
int VEXO_get_asic_type(uint32_t sli_intf, int *asic_type, uint32_t asic_id);
}

#endif
