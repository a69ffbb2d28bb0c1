#include "sim/prg_generator.h"

#include <cerrno>
#include <cstring>

#include "sim/generator_args.h"
#include "sim/machine.h"

namespace hlvdsim
{

namespace
{

void put32be(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    b[at] = static_cast<uint8_t>(v >> 24);
    b[at + 1] = static_cast<uint8_t>(v >> 16);
    b[at + 2] = static_cast<uint8_t>(v >> 8);
    b[at + 3] = static_cast<uint8_t>(v);
}

uint32_t get32be(const std::vector<uint8_t> &b, size_t at)
{
    return static_cast<uint32_t>(b[at]) << 24 | static_cast<uint32_t>(b[at + 1]) << 16 |
           static_cast<uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

uint32_t rotl1(uint32_t v)
{
    return (v << 1) | (v >> 31);
}

// The word that, folded in last after the words [from, to), brings the fold
// to 0.
uint32_t closing_word(const std::vector<uint8_t> &b, size_t from, size_t to)
{
    uint32_t c = 0xAAAAAAAAu;
    for (size_t i = from; i < to; i += 4)
        c = rotl1(c) ^ get32be(b, i);
    return rotl1(c);
}

// Where the pieces of the body lie, from the body's start.
const uint32_t kRomLocator = 0x18;
const uint32_t kPcirOffset = 0x1C;
const uint32_t kDescriptionOffset = 0x40;
const uint32_t kDescriptionSize = 24;
const uint32_t kKekIdOffset = 112;
const uint32_t kKekIdSize = 152;

} // namespace

uint32_t prg_program_id(const PrgRecipe &recipe)
{
    int id = recipe.id;
    if (id < 0)
        id = recipe.type == kPrgTypeBoot ? kPrgDefaultBootId : kPrgDefaultSli3Id;
    return static_cast<uint32_t>(recipe.type) << 24 | static_cast<uint32_t>(id & 0xFF) << 16 | recipe.rev;
}

bool build_prg(const PrgRecipe &recipe, std::vector<uint8_t> &out, std::string *err)
{
    if (recipe.id > 255)
        return generator_fail(err, "the id must be below 256");
    if (recipe.version.size() >= kDescriptionSize)
        return generator_fail(err, "the version must be shorter than 24 characters");
    if (recipe.kekId.size() >= kKekIdSize)
        return generator_fail(err, "the key id must be shorter than 152 characters");
    if (recipe.size % 4 != 0)
        return generator_fail(err, "the size must be a multiple of 4");
    const bool boot = recipe.type == kPrgTypeBoot;
    const bool signedImage = !recipe.kekId.empty();
    uint32_t needBody = kDescriptionOffset + kDescriptionSize + (signedImage ? kPrgKeyBlockSize : 0) + 4;
    if (recipe.size < kPrgHeaderSize + needBody)
        return generator_fail(err, "the size must be at least " + std::to_string(kPrgHeaderSize + needBody));
    const uint32_t bodyLen = recipe.size - kPrgHeaderSize;
    std::vector<uint8_t> b(recipe.size, 0);

    // Body: a pattern, then the pieces. Boot bodies are built in ROM order
    // and group-reversed below.
    for (uint32_t i = 0; i < bodyLen; ++i)
        b[kPrgHeaderSize + i] = static_cast<uint8_t>((i * 7 + recipe.rev) & 0xFF);
    const size_t body = kPrgHeaderSize;
    if (boot) {
        b[body] = 0x55;
        b[body + 1] = 0xAA;
        for (uint32_t i = 2; i < kRomLocator; ++i)
            b[body + i] = 0;
        b[body + kRomLocator] = static_cast<uint8_t>(kPcirOffset);
        b[body + kRomLocator + 1] = 0;
        b[body + kRomLocator + 2] = 0;
        b[body + kRomLocator + 3] = 0;
        std::memcpy(&b[body + kPcirOffset], "PCIR", 4);
        b[body + kPcirOffset + 4] = 0xDF; // vendor id 0x10DF, little-endian
        b[body + kPcirOffset + 5] = 0x10;
        b[body + kPcirOffset + 6] = static_cast<uint8_t>(recipe.deviceId);
        b[body + kPcirOffset + 7] = static_cast<uint8_t>(recipe.deviceId >> 8);
        for (uint32_t i = 8; i < 28; ++i)
            b[body + kPcirOffset + i] = 0;
    }
    for (uint32_t i = 0; i < kDescriptionSize; ++i)
        b[body + kDescriptionOffset + i] = i < recipe.version.size() ? static_cast<uint8_t>(recipe.version[i]) : 0;
    if (boot) {
        for (size_t i = body; i + 4 <= body + kDescriptionOffset + kDescriptionSize; i += 4) {
            std::swap(b[i], b[i + 3]);
            std::swap(b[i + 1], b[i + 2]);
        }
    }
    // The description's offset, read as a file word at body word 2.
    put32be(b, body + 8, kDescriptionOffset);
    if (signedImage) {
        const size_t block = body + bodyLen - 4 - kPrgKeyBlockSize;
        std::memset(&b[block], 0, kPrgKeyBlockSize);
        put32be(b, block, 1);
        std::memcpy(&b[block + kKekIdOffset], recipe.kekId.data(), recipe.kekId.size());
    }

    // Header.
    put32be(b, 0, recipe.size);
    put32be(b, 4, prg_program_id(recipe));
    put32be(b, 8, recipe.progId1);
    put32be(b, 12, signedImage ? 0x10 : 0);
    for (size_t w = 4; w < 11; ++w)
        put32be(b, w * 4, 0);
    put32be(b, 32, signedImage ? bodyLen : 0);
    put32be(b, 44, closing_word(b, 4, 44));
    if (recipe.faults & PRG_FAULT_HEADER_CHECKSUM)
        put32be(b, 44, get32be(b, 44) ^ 1);

    put32be(b, recipe.size - 4, closing_word(b, 0, recipe.size - 4));
    if (recipe.faults & PRG_FAULT_FILE_CHECKSUM)
        put32be(b, recipe.size - 4, get32be(b, recipe.size - 4) ^ 1);
    if (recipe.faults & PRG_FAULT_EXTRA_BYTE)
        b.push_back(0);
    if (recipe.faults & PRG_FAULT_SHORT)
        b.resize(b.size() - 4);
    out.swap(b);
    return true;
}

bool write_prg(const PrgRecipe &recipe, const std::string &path, std::string *err)
{
    std::vector<uint8_t> bytes;
    if (!build_prg(recipe, bytes, err))
        return false;
    return write_file_atomic(path, std::string(bytes.begin(), bytes.end()), err);
}

bool prg_fault_from_name(const std::string &name, unsigned &fault)
{
    static const GeneratorFault kFaults[] = {
        {"header-checksum", PRG_FAULT_HEADER_CHECKSUM},
        {"file-checksum", PRG_FAULT_FILE_CHECKSUM},
        {"extra-byte", PRG_FAULT_EXTRA_BYTE},
        {"short", PRG_FAULT_SHORT},
    };
    return generator_fault_bit(kFaults, sizeof kFaults / sizeof kFaults[0], name, fault);
}

bool prg_recipe_from_args(const std::vector<std::string> &args, PrgRecipe &recipe, std::string &output,
                          std::string *err)
{
    recipe = PrgRecipe();
    output.clear();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &opt = args[i];
        if (i + 1 >= args.size())
            return generator_fail(err, "missing value for " + opt);
        const std::string &value = args[++i];
        uint64_t v = 0;
        if (opt == "-o" || opt == "--output") {
            output = value;
        } else if (opt == "--version") {
            recipe.version = value;
        } else if (opt == "--kek") {
            recipe.kekId = value;
        } else if (opt == "--fault") {
            unsigned bit = 0;
            if (!prg_fault_from_name(value, bit))
                return generator_fail(err, "unknown fault: " + value);
            recipe.faults |= bit;
        } else if (opt == "--type" || opt == "--id") {
            if (!parse_generator_number(value, 0xFF, v))
                return generator_fail(err, "bad " + opt + ": " + value);
            if (opt == "--type")
                recipe.type = static_cast<uint8_t>(v);
            else
                recipe.id = static_cast<int>(v);
        } else if (opt == "--rev" || opt == "--device-id") {
            if (!parse_generator_number(value, 0xFFFF, v))
                return generator_fail(err, "bad " + opt + ": " + value);
            if (opt == "--rev")
                recipe.rev = static_cast<uint16_t>(v);
            else
                recipe.deviceId = static_cast<uint16_t>(v);
        } else if (opt == "--id1" || opt == "--size") {
            if (!parse_generator_number(value, 0xFFFFFFFFull, v))
                return generator_fail(err, "bad " + opt + ": " + value);
            if (opt == "--id1")
                recipe.progId1 = static_cast<uint32_t>(v);
            else
                recipe.size = static_cast<uint32_t>(v);
        } else {
            return generator_fail(err, "unknown option: " + opt);
        }
    }
    if (output.empty())
        return generator_fail(err, "-o FILE is required");
    return true;
}

} // namespace hlvdsim
