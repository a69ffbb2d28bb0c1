// Generator and reader of grouped FC image files (".grp") for the simulated
// machine.
//
// A file starts with a 140-byte header: three words stored big-endian (the
// size of the whole file, the magic, the signature in the upper half of the
// third word), then a 128-byte build text whose leading digits and dots are
// the image's version. The generator fills the rest of the file with a
// pattern that depends on the version.
#ifndef HLVD_SIM_GRP_GENERATOR_H
#define HLVD_SIM_GRP_GENERATOR_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace hlvdsim
{

const uint32_t kGrpHeaderSize = 140;
const uint32_t kGrpMagic = 0xFEAA0001;
const uint32_t kGrpMagicG6 = 0xFEAA0003;
const uint16_t kGrpSignature = 0xF7A2;
const uint16_t kGrpSignatureG6 = 0xF70C;

// Deliberate faults, combinable.
enum GrpFault : unsigned {
    GRP_FAULT_SHORT = 1u << 0,         // the file cut to 139 bytes
    GRP_FAULT_BAD_MAGIC = 1u << 1,     // a magic of neither kind
    GRP_FAULT_BAD_SIGNATURE = 1u << 2, // a signature of neither kind
    GRP_FAULT_ODD_LENGTH = 1u << 3,    // one byte more than the size, so not a multiple of 4
};

struct GrpRecipe {
    std::string version;   // digits and dots, at most 100 characters
    bool gen6 = false;     // the gen-6 magic and signature
    uint32_t size = 0x2000; // bytes of the whole file, at least the header
    unsigned faults = 0;   // GrpFault bits
};

bool build_grp(const GrpRecipe &recipe, std::vector<uint8_t> &out, std::string *err);
bool write_grp(const GrpRecipe &recipe, const std::string &path, std::string *err);

// The header check the adapter makes when the file arrives whole: true with
// the build version (leading digits and dots of the build text) when magic
// and signature are those of the kind (`gen6`) and the build text ends
// within its field.
bool read_grp_header(const uint8_t *data, size_t len, bool gen6, std::string *version);

// "short", "bad-magic", "bad-signature", "odd-length".
bool grp_fault_from_name(const std::string &name, unsigned &fault);

// The recipe of "hlvdsim make-grp ARGS": --version V [--gen6] [--size N]
// [--fault NAME]... -o FILE.
bool grp_recipe_from_args(const std::vector<std::string> &args, GrpRecipe &recipe, std::string &output,
                        std::string *err);

} // namespace hlvdsim

#endif
