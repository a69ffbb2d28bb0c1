// Generator of PRG images (".prg") for the simulated FC HBAs.
//
// A PRG image is a 48-byte header of twelve big-endian words, then its body:
//   word 0   length of the image, header included
//   word 1   program id word 0: type (31-24), id (23-16), encoded revision (15-0)
//   word 2   program id word 1
//   word 3   flags; 0x10 in the low byte: a key block follows
//   word 7   0: the description offset below counts from the body's start
//   word 8   key position: the key block starts at (word 8 - 268) behind the
//            header; set to the body length, so the block ends just before
//            the last word
//   word 11  makes the fold of words 1-11 come out 0
// Body word 2 holds the offset (from the body's start) of the program
// description, a zero-terminated text of at most 23 characters: the version.
// A boot image (type 3) starts its body with a PCI expansion ROM (0x55 0xAA,
// a data-structure locator at ROM offset 0x18, "PCIR" with the device id),
// and, like its description, is stored with every 4-byte group reversed. The
// last word of the image makes the fold of all its words come out 0.
#ifndef HLVD_SIM_PRG_GENERATOR_H
#define HLVD_SIM_PRG_GENERATOR_H

#include <cstdint>
#include <string>
#include <vector>

namespace hlvdsim
{

const uint32_t kPrgHeaderSize = 48;
const uint32_t kPrgKeyBlockSize = 264;
const uint8_t kPrgTypeBoot = 3;
const uint8_t kPrgTypeSli3 = 11;
// Ids the program-id tables of family 0xFE00 accept. The default machine's
// SLI-3 HBA also carries a VPD style (V3 "T0B:4C,T03:49") that decides
// alone there: images for it take ids 0x4C and 0x49.
const uint8_t kPrgDefaultSli3Id = 0xBE;
const uint8_t kPrgDefaultBootId = 0x5E;
const uint16_t kPrgDefaultDeviceId = 0xFE00;

// Deliberate faults, combinable.
enum PrgFault : unsigned {
    PRG_FAULT_HEADER_CHECKSUM = 1u << 0, // the header's fold is not 0
    PRG_FAULT_FILE_CHECKSUM = 1u << 1,   // the image's fold is not 0
    PRG_FAULT_EXTRA_BYTE = 1u << 2,      // one byte after the image
    PRG_FAULT_SHORT = 1u << 3,           // the file ends 4 bytes before the image does
};

struct PrgRecipe {
    uint8_t type = kPrgTypeSli3;
    int id = -1;                 // -1: the default of the type
    uint16_t rev = 0x2113;       // bits 15-0 of program id word 0
    uint32_t progId1 = 0;        // program id word 1
    std::string version = "2.10"; // the program description
    uint32_t size = 1000;        // bytes of the image, header included
    uint16_t deviceId = kPrgDefaultDeviceId; // boot images: the ROM's device id
    std::string kekId;           // non-empty: a signed image for this key
    unsigned faults = 0;         // PrgFault bits
};

// Program id word 0 of a recipe.
uint32_t prg_program_id(const PrgRecipe &recipe);

bool build_prg(const PrgRecipe &recipe, std::vector<uint8_t> &out, std::string *err);
bool write_prg(const PrgRecipe &recipe, const std::string &path, std::string *err);

// "header-checksum", "file-checksum", "extra-byte", "short".
bool prg_fault_from_name(const std::string &name, unsigned &fault);

// The recipe of "hlvdsim make-prg ARGS": [--type N] [--id N] [--rev N]
// [--id1 N] [--version TEXT] [--size N] [--device-id N] [--kek ID]
// [--fault NAME]... -o FILE.
bool prg_recipe_from_args(const std::vector<std::string> &args, PrgRecipe &recipe, std::string &output,
                          std::string *err);

} // namespace hlvdsim

#endif
