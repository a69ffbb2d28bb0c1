// Generator of raw flash images for direct programming of an FC adapter's
// flash chip.
//
// A raw image is programmed from flash offset 0 as 16-bit words, the first
// byte of each pair being the high byte. Its first 36 bytes are nine 32-bit
// words stored with their bytes reversed: eight ARM exception vectors
// (0xE59FF3F8), then 0. A byte pattern fills the rest.
#ifndef HLVD_SIM_RAW_GENERATOR_H
#define HLVD_SIM_RAW_GENERATOR_H

#include <cstdint>
#include <string>
#include <vector>

namespace hlvdsim
{

const uint32_t kRawVector = 0xE59FF3F8;
const uint32_t kRawHeaderSize = 36;
const uint32_t kRawMaxSize = 16u << 20;

// Deliberate faults, combinable.
enum RawFault : unsigned {
    RAW_FAULT_BAD_VECTOR = 1u << 0, // the fourth vector is off by one
    RAW_FAULT_BAD_NINTH = 1u << 1,  // the ninth word is 1
    RAW_FAULT_ODD = 1u << 2,        // an odd size is wanted (else it must be even)
};

struct RawRecipe {
    uint32_t size = 0x10000; // bytes of the file, header included
    unsigned faults = 0;     // RawFault bits
};

// The pattern byte at file offset `at` (behind the header).
uint8_t raw_body_byte(uint32_t at);

bool build_raw(const RawRecipe &recipe, std::vector<uint8_t> &out, std::string *err);
bool write_raw(const RawRecipe &recipe, const std::string &path, std::string *err);

// "bad-vector", "bad-ninth", "odd".
bool raw_fault_from_name(const std::string &name, unsigned &fault);

// The recipe of "hlvdsim make-raw ARGS": --size N [--fault NAME]... -o FILE.
bool raw_recipe_from_args(const std::vector<std::string> &args, RawRecipe &recipe, std::string &output,
                          std::string *err);

} // namespace hlvdsim

#endif
