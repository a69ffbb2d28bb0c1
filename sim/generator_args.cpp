#include "sim/generator_args.h"

#include <cerrno>
#include <cstdlib>

namespace hlvdsim
{

bool generator_fail(std::string *err, const std::string &why)
{
    if (err)
        *err = why;
    return false;
}

bool parse_generator_number(const std::string &text, uint64_t max, uint64_t &value)
{
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ')
        return false;
    errno = 0;
    char *end = nullptr;
    unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || v > max)
        return false;
    value = v;
    return true;
}

bool generator_fault_bit(const GeneratorFault *faults, size_t count, const std::string &name, unsigned &bit)
{
    for (size_t i = 0; i < count; ++i) {
        if (name == faults[i].name) {
            bit = faults[i].bit;
            return true;
        }
    }
    return false;
}

} // namespace hlvdsim
