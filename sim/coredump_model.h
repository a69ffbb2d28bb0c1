// The dump engine of a simulated converged adapter: core-dump properties
// (11/21), component properties (11/22), segment properties (11/23) and the
// segment command (11/24), which hands out segment data in pieces or runs a
// firmware command-line string.
//
// An adapter's description may carry (defaults of its generation otherwise):
//   "chip_state": 0 alive, 1 dead
//   "coredump": {
//     "sli_intf": "0xC0000140", "asic_id": "0x0", "max_components": 5,
//     "low_version": 1, "high_version": 0,
//     "components": { "2": { "status": 0, "segments": [
//         { "status": 0, "max_instance": 0, "max_length": 100,
//           "low_version": 1, "high_version": 0, "data_status": 0 } ] } },
//     "extra_length": 0,  (reported beyond the bytes asked for: a faulty answer)
//     "fwcli": { "command text": "answer text" } }
// Component 1 segments are the program's templates: their request must carry
// a byte-code program of the row's length (coredump_program_words); the
// words themselves are not interpreted. Segment bytes follow
// coredump_pattern_byte, so a reader can check them. A command-line string
// not listed in "fwcli" is refused with segment status 0x30004. Varrow has
// no dump engine: 11/22 to 11/24 are not supported there.
#ifndef HLVD_SIM_COREDUMP_MODEL_H
#define HLVD_SIM_COREDUMP_MODEL_H

#include <cstdint>
#include <string>

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_coredump_properties(FwContext &c);      // 11/21
void cmd_coredump_comp_properties(FwContext &c); // 11/22
void cmd_coredump_seg_properties(FwContext &c);  // 11/23
void cmd_coredump_segment(FwContext &c);         // 11/24

// Byte `offset` of instance `instance` of a segment.
uint8_t coredump_pattern_byte(uint32_t component, uint32_t segment, uint32_t instance, uint32_t offset);

// Words of the byte-code program the dump engine expects for template row
// `row` of a generation ("AW2", "AW3", "Trelmont") or of the test rows
// (which every generation knows); 0 for a row it does not know.
uint32_t coredump_program_words(const std::string &generation, uint32_t row);

// Segment status of a refused command-line string.
const uint32_t COREDUMP_CLI_REFUSED = 0x30004;

} // namespace hlvdsim

#endif
