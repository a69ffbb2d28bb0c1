// Pieces shared by the image generators' command-line readers (hlvdsim
// make-ufi, make-obj, make-grp, make-prg).
#ifndef HLVD_SIM_GENERATOR_ARGS_H
#define HLVD_SIM_GENERATOR_ARGS_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace hlvdsim
{

// Sets *err (when given) to why; answers false.
bool generator_fail(std::string *err, const std::string &why);

// A whole unsigned number (decimal, 0x hexadecimal or 0 octal) of at most
// max, with no sign or blank before it.
bool parse_generator_number(const std::string &text, uint64_t max, uint64_t &value);

// One --fault name and the fault bit it stands for.
struct GeneratorFault {
    const char *name;
    unsigned bit;
};

// The bit of `name` among `count` faults; false when none has that name.
bool generator_fault_bit(const GeneratorFault *faults, size_t count, const std::string &name, unsigned &bit);

} // namespace hlvdsim

#endif
