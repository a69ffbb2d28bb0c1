#include "sim/grp_generator.h"

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

const size_t kBuildTextSize = 128;

void put32be(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

uint32_t get32be(const uint8_t *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

bool version_text_ok(const std::string &v)
{
    if (v.empty() || v.size() > 100)
        return false;
    for (char c : v)
        if (!(c == '.' || (c >= '0' && c <= '9')))
            return false;
    return true;
}

} // namespace

bool build_grp(const GrpRecipe &recipe, std::vector<uint8_t> &out, std::string *err)
{
    if (!version_text_ok(recipe.version))
        return generator_fail(err, "the version is 1 to 100 digits and dots");
    if (recipe.size < kGrpHeaderSize || recipe.size > 64u * 1024 * 1024)
        return generator_fail(err, "the file size must be from 140 bytes to 64 MiB");
    uint32_t size = recipe.size + ((recipe.faults & GRP_FAULT_ODD_LENGTH) ? 1 : 0);
    out.assign(size, 0);
    uint32_t seed = ufi_crc32(reinterpret_cast<const uint8_t *>(recipe.version.data()), recipe.version.size());
    for (uint32_t i = kGrpHeaderSize; i < size; ++i)
        out[i] = static_cast<uint8_t>((i * 29u + seed + (i >> 10)) & 0xFF);

    put32be(out, 0, size);
    uint32_t magic = recipe.gen6 ? kGrpMagicG6 : kGrpMagic;
    uint16_t signature = recipe.gen6 ? kGrpSignatureG6 : kGrpSignature;
    if (recipe.faults & GRP_FAULT_BAD_MAGIC)
        magic = 0xFEAA0002;
    if (recipe.faults & GRP_FAULT_BAD_SIGNATURE)
        signature = 0xF7A3;
    put32be(out, 4, magic);
    put32be(out, 8, uint32_t(signature) << 16 | 0x0001);
    std::string build = recipe.version + " grouped FC image (simulated)";
    std::memcpy(&out[12], build.data(), std::min(build.size(), kBuildTextSize - 1));
    if (recipe.faults & GRP_FAULT_SHORT)
        out.resize(kGrpHeaderSize - 1);
    return true;
}

bool write_grp(const GrpRecipe &recipe, const std::string &path, std::string *err)
{
    std::vector<uint8_t> bytes;
    if (!build_grp(recipe, bytes, err))
        return false;
    return write_file_atomic(path, std::string(bytes.begin(), bytes.end()), err);
}

bool read_grp_header(const uint8_t *data, size_t len, bool gen6, std::string *version)
{
    if (!data || len < kGrpHeaderSize)
        return false;
    uint32_t magic = get32be(data + 4);
    uint16_t signature = static_cast<uint16_t>(get32be(data + 8) >> 16);
    if (magic != (gen6 ? kGrpMagicG6 : kGrpMagic) || signature != (gen6 ? kGrpSignatureG6 : kGrpSignature))
        return false;
    const char *text = reinterpret_cast<const char *>(data + 12);
    size_t n = strnlen(text, kBuildTextSize);
    if (n == kBuildTextSize)
        return false;
    size_t digits = 0;
    while (digits < n && (text[digits] == '.' || (text[digits] >= '0' && text[digits] <= '9')))
        ++digits;
    if (version)
        version->assign(text, digits);
    return true;
}

bool grp_fault_from_name(const std::string &name, unsigned &fault)
{
    static const GeneratorFault kFaults[] = {
        {"short", GRP_FAULT_SHORT},
        {"bad-magic", GRP_FAULT_BAD_MAGIC},
        {"bad-signature", GRP_FAULT_BAD_SIGNATURE},
        {"odd-length", GRP_FAULT_ODD_LENGTH},
    };
    return generator_fault_bit(kFaults, sizeof kFaults / sizeof kFaults[0], name, fault);
}

bool grp_recipe_from_args(const std::vector<std::string> &args, GrpRecipe &recipe, std::string &output,
                        std::string *err)
{
    recipe = GrpRecipe();
    output.clear();
    bool version_given = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &opt = args[i];
        if (opt == "--gen6") {
            recipe.gen6 = true;
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
            if (!grp_fault_from_name(value, bit))
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
