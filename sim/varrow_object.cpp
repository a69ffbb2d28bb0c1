#include "sim/varrow_object.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "sim/generator_args.h"
#include "sim/machine.h"
#include "sim/ufi_generator.h"

namespace hlvdsim
{

namespace
{

const uint16_t kMagicLo = 0x0001;
const uint16_t kMagicHi = 0xFEAA;

void put32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t get32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void swap_words(uint8_t *p, size_t words)
{
    for (size_t w = 0; w < words; ++w, p += 4) {
        std::swap(p[0], p[3]);
        std::swap(p[1], p[2]);
    }
}

bool magic_ok(const uint8_t *h)
{
    uint16_t lo = static_cast<uint16_t>(h[4] | h[5] << 8);
    uint16_t hi = static_cast<uint16_t>(h[6] | h[7] << 8);
    return lo == kMagicLo || hi == kMagicHi;
}

} // namespace

bool build_varrow_object(const VarrowObjectSpec &recipe, std::vector<uint8_t> &out, std::string *err)
{
    if (recipe.version.empty() || recipe.version.size() > 31)
        return generator_fail(err, "the revision text holds 1 to 31 characters");
    if (recipe.size < kVarrowHeaderSize || recipe.size > 64u * 1024 * 1024)
        return generator_fail(err, "the file size must be from 184 bytes to 64 MiB");
    out.assign(recipe.size, 0);
    uint32_t seed = ufi_crc32(reinterpret_cast<const uint8_t *>(recipe.version.data()), recipe.version.size());
    for (uint32_t i = kVarrowHeaderSize; i < recipe.size; ++i)
        out[i] = static_cast<uint8_t>((i * 13u + seed + (i >> 11)) & 0xFF);

    uint32_t size_field = recipe.size + ((recipe.faults & VOBJ_FAULT_BAD_SIZE) ? 1 : 0);
    put32(out, 0, size_field);
    uint32_t magic = (recipe.faults & VOBJ_FAULT_BAD_MAGIC) ? 0x12345678u : (uint32_t(kMagicHi) << 16 | kMagicLo);
    put32(out, 4, magic);
    uint8_t type = (recipe.faults & VOBJ_FAULT_BAD_TYPE) ? 0xF1 : kVarrowFileTypeFirmware;
    put32(out, 8, uint32_t(type) << 24 | uint32_t(0x01) << 16);
    const char revname[] = "Varrow firmware (simulated)";
    std::memcpy(&out[12], revname, sizeof revname - 1);
    const char date[] = "Jan 01 2020";
    std::memcpy(&out[140], date, sizeof date - 1);
    std::memcpy(&out[152], recipe.version.data(), recipe.version.size());
    if (recipe.big_endian)
        swap_words(out.data(), 3);
    if (recipe.faults & VOBJ_FAULT_SHORT)
        out.resize(kVarrowHeaderSize - 1);
    return true;
}

bool write_varrow_object(const VarrowObjectSpec &recipe, const std::string &path, std::string *err)
{
    std::vector<uint8_t> bytes;
    if (!build_varrow_object(recipe, bytes, err))
        return false;
    return write_file_atomic(path, std::string(bytes.begin(), bytes.end()), err);
}

bool read_varrow_object(const uint8_t *data, size_t len, std::string *revision)
{
    if (!data || len < kVarrowHeaderSize)
        return false;
    uint8_t h[kVarrowHeaderSize];
    std::memcpy(h, data, sizeof h);
    if (!magic_ok(h))
        swap_words(h, 3);
    if (!magic_ok(h) || get32(h) != len || h[11] != kVarrowFileTypeFirmware)
        return false;
    if (revision) {
        const char *r = reinterpret_cast<const char *>(h + 152);
        revision->assign(r, strnlen(r, 32));
    }
    return true;
}

bool varrow_fault_from_name(const std::string &name, unsigned &fault)
{
    static const GeneratorFault kFaults[] = {
        {"bad-magic", VOBJ_FAULT_BAD_MAGIC},
        {"bad-size", VOBJ_FAULT_BAD_SIZE},
        {"bad-type", VOBJ_FAULT_BAD_TYPE},
        {"short", VOBJ_FAULT_SHORT},
    };
    return generator_fault_bit(kFaults, sizeof kFaults / sizeof kFaults[0], name, fault);
}

bool varrow_spec_from_args(const std::vector<std::string> &args, VarrowObjectSpec &recipe, std::string &output,
                           std::string *err)
{
    recipe = VarrowObjectSpec();
    output.clear();
    bool version_given = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &opt = args[i];
        if (opt == "--big-endian") {
            recipe.big_endian = true;
            continue;
        }
        if (i + 1 >= args.size())
            return generator_fail(err, "missing value for " + opt);
        const std::string &value = args[++i];
        if (opt == "--version") {
            recipe.version = value;
            version_given = true;
        } else if (opt == "-o" || opt == "--output") {
            output = value;
        } else if (opt == "--size") {
            uint64_t v = 0;
            if (!parse_generator_number(value, 0xFFFFFFFFu, v))
                return generator_fail(err, "bad size: " + value);
            recipe.size = static_cast<uint32_t>(v);
        } else if (opt == "--fault") {
            unsigned bit = 0;
            if (!varrow_fault_from_name(value, bit))
                return generator_fail(err, "unknown fault: " + value);
            recipe.faults |= bit;
        } else {
            return generator_fail(err, "unknown option: " + opt);
        }
    }
    if (!version_given)
        return generator_fail(err, "--version is required");
    if (output.empty())
        return generator_fail(err, "-o FILE is required");
    return true;
}

} // namespace hlvdsim
