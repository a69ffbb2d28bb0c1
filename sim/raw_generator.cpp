#include "sim/raw_generator.h"

#include "sim/generator_args.h"
#include "sim/machine.h"

namespace hlvdsim
{

uint8_t raw_body_byte(uint32_t at)
{
    // Varies from byte to byte and word to word, and is rarely 0xFF, so a
    // word left erased or misplaced shows.
    return static_cast<uint8_t>(at * 31 + (at >> 9));
}

bool build_raw(const RawRecipe &recipe, std::vector<uint8_t> &out, std::string *err)
{
    if (recipe.size < kRawHeaderSize || recipe.size > kRawMaxSize)
        return generator_fail(err, "size must be from 36 to " + std::to_string(kRawMaxSize));
    bool odd = (recipe.faults & RAW_FAULT_ODD) != 0;
    if ((recipe.size % 2 == 1) != odd)
        return generator_fail(err, odd ? "the odd fault needs an odd size" : "size must be even");
    std::vector<uint8_t> b(recipe.size);
    for (uint32_t i = kRawHeaderSize; i < recipe.size; ++i)
        b[i] = raw_body_byte(i);
    for (uint32_t w = 0; w < 9; ++w) {
        uint32_t v = w < 8 ? kRawVector : 0;
        if (w == 3 && (recipe.faults & RAW_FAULT_BAD_VECTOR))
            v ^= 1;
        if (w == 8 && (recipe.faults & RAW_FAULT_BAD_NINTH))
            v = 1;
        for (uint32_t k = 0; k < 4; ++k)
            b[4 * w + k] = static_cast<uint8_t>(v >> (8 * k));
    }
    out.swap(b);
    return true;
}

bool write_raw(const RawRecipe &recipe, const std::string &path, std::string *err)
{
    std::vector<uint8_t> bytes;
    if (!build_raw(recipe, bytes, err))
        return false;
    return write_file_atomic(path, std::string(bytes.begin(), bytes.end()), err);
}

bool raw_fault_from_name(const std::string &name, unsigned &fault)
{
    static const GeneratorFault kFaults[] = {
        {"bad-vector", RAW_FAULT_BAD_VECTOR},
        {"bad-ninth", RAW_FAULT_BAD_NINTH},
        {"odd", RAW_FAULT_ODD},
    };
    return generator_fault_bit(kFaults, sizeof kFaults / sizeof kFaults[0], name, fault);
}

bool raw_recipe_from_args(const std::vector<std::string> &args, RawRecipe &recipe, std::string &output,
                          std::string *err)
{
    recipe = RawRecipe();
    output.clear();
    bool sized = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &opt = args[i];
        if (i + 1 >= args.size())
            return generator_fail(err, "missing value for " + opt);
        const std::string &value = args[++i];
        uint64_t v = 0;
        if (opt == "-o" || opt == "--output") {
            output = value;
        } else if (opt == "--fault") {
            unsigned bit = 0;
            if (!raw_fault_from_name(value, bit))
                return generator_fail(err, "unknown fault: " + value);
            recipe.faults |= bit;
        } else if (opt == "--size") {
            if (!parse_generator_number(value, kRawMaxSize, v) || v < kRawHeaderSize)
                return generator_fail(err, "bad --size: " + value);
            recipe.size = static_cast<uint32_t>(v);
            sized = true;
        } else {
            return generator_fail(err, "unknown option: " + opt);
        }
    }
    if (!sized)
        return generator_fail(err, "--size N is required");
    if (output.empty())
        return generator_fail(err, "-o FILE is required");
    if ((recipe.size % 2 == 1) != ((recipe.faults & RAW_FAULT_ODD) != 0))
        return generator_fail(err, (recipe.faults & RAW_FAULT_ODD) ? "the odd fault needs an odd --size"
                                                                    : "--size must be even");
    return true;
}

} // namespace hlvdsim
