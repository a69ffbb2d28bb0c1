// Generator of AIF images and .ALL sets for the simulated FC HBAs.
//
// Every word of the file is big-endian. An image is a 128-byte header of 32
// words, then its data (read-only bytes, then read-write bytes):
//   word 0   0xE1A00000, the mark of every image
//   word 2   kind: 0xE1A01001 AWC, 0xE1A02002 DWC, 0xE1A03003 BWC,
//            0xE1A04004 FWC
//   word 3   signed AWC and FWC images: 0x10 (the key flag, as in a PRG
//            header's word 3)
//   word 4   low byte: the load-area type (AWC 1, DWC 2, BWC 3, FWC 4)
//   word 5   read-only size; word 6 read-write size
//   word 10  image base; word 11 erase length
//   word 14  AWC: the version word; DWC: program id word 0 of its first
//            PRG; BWC: the boot program id word 0; FWC: the contents id
//            word (type 31-24, id 23-16)
// With checksum kind 1 one word follows the data, making the fold of the
// image's words come out 0 (the fold: start 0x55555555 rotated right by one,
// per word rotate left by one and XOR, at the end rotate left by one);
// kind 2 has none. The next image of a set starts 128 (132 with kind 1)
// bytes plus the read-only size after the current one, so an image's
// read-write bytes lie under the next image, which is written over them.
//
// Data by kind:
//   AWC  word 0 the version word; word 3 the key flag when signed; data
//        offset 496 (file offset 624 of a single image) the id byte in bits
//        23-16; a signed image's 264-byte key block ends 4 bytes before the
//        end of the read-only data (it starts read-only size - 268 bytes
//        behind the header).
//   DWC  4 zero bytes, the PRG images (built as make-prg does; signed ones
//        carry their own key blocks), then the end mark 0xFFFFFFFF.
//   BWC  one boot PRG image, or plain bytes when the recipe has no PRG.
//   FWC  a 48-byte PRG header (word 0 the data size, word 1 the contents id
//        word, word 3 the key flag, word 8 the data size - 48, word 11 the
//        header fold), then a pattern; a signed image's key block fills the
//        last 264 bytes of the data.
// A key block: a non-zero first word, the key's id text at offset 112.
//
// An .ALL set is its images one after another and, with checksum kind 1, one
// final word at the sum of the strides making the fold of the file up to and
// including that word come out 0. Faults are applied before the checksums
// are made, so each breaks one thing only.
#ifndef HLVD_SIM_AIF_GENERATOR_H
#define HLVD_SIM_AIF_GENERATOR_H

#include <cstdint>
#include <string>
#include <vector>

#include "sim/prg_generator.h"

namespace hlvdsim
{

const uint32_t kAifMark = 0xE1A00000u;
const uint32_t kAifHeaderSize = 128;
const uint32_t kAifDefaultBase = 0x20000;
const uint32_t kAifDefaultDataSize = 1024;
// Data offset of an AWC image's id word (file offset 624 of a single image).
const uint32_t kAifAwcIdOffset = 496;
const uint32_t kAifDefaultAwcVersion = 0x02110003u;
// The id the default machine's SLI-3 HBA (family 0xFE00) maps to its family.
const uint8_t kAifDefaultAwcId = kPrgDefaultSli3Id;
const uint8_t kAifFwcType = 0x0F;
const uint8_t kAifDefaultFwcId = 0x9C;
// Offset of a DWC image's first PRG, from the image's start.
const uint32_t kAifDwcPrgOffset = 132;
const uint32_t kAifPrgListEnd = 0xFFFFFFFFu;
// Bounds of one image's data and of a whole file.
const uint32_t kAifMaxDataSize = 4u << 20;
const uint32_t kAifMaxFileSize = 16u << 20;

enum AifKind { AIF_KIND_AWC, AIF_KIND_DWC, AIF_KIND_BWC, AIF_KIND_FWC };

// Deliberate faults, combinable. "file-checksum" and "short" concern the
// whole file, whichever image names them.
enum AifFault : unsigned {
    AIF_FAULT_CHECKSUM = 1u << 0,      // the image's checksum word is wrong
    AIF_FAULT_FILE_CHECKSUM = 1u << 1, // the set's final word is wrong
    AIF_FAULT_SHORT = 1u << 2,         // the file ends 4 bytes before its last image does
    AIF_FAULT_NOT_AIF = 1u << 3,       // word 0 is not the mark
    AIF_FAULT_BAD_KIND = 1u << 4,      // an unknown kind word
    AIF_FAULT_NO_END_MARK = 1u << 5,   // a DWC image without the PRG end mark
};

struct AifRecipe {
    AifKind kind = AIF_KIND_AWC;
    int areaType = -1;        // -1: the kind's
    uint32_t base = kAifDefaultBase;
    int64_t eraseLength = -1; // -1: the data size rounded up to 64 KiB
    int64_t roSize = -1;      // -1: the data size less rwSize
    uint32_t rwSize = 0;
    int64_t word14 = -1;      // -1: the kind's (above); for AWC also data word 0
    int id = -1;              // AWC: the id byte at offset 624; FWC: the contents id
    std::vector<PrgRecipe> prgs; // DWC: its PRGs; BWC: at most one boot PRG
    int64_t dataSize = -1;    // AWC, FWC, plain BWC: -1: roSize + rwSize when
                              // roSize is set, else kAifDefaultDataSize
    int checksumKind = 1;     // 1 or 2
    std::string kekId;        // non-empty: signed (DWC, BWC: PRGs without a key of their own)
    unsigned faults = 0;      // AifFault bits
};

// Header word 2 of a kind.
uint32_t aif_kind_word(AifKind kind);

// A recipe of the kind with its defaults: DWC carries one SLI-3 PRG (id
// 0xBE), BWC one boot PRG (id 0x5E); both are accepted by the default
// machine's SLI-3 HBA.
AifRecipe aif_default_recipe(AifKind kind);

// One recipe: a single image file; several: an .ALL set.
bool build_aif(const std::vector<AifRecipe> &recipes, std::vector<uint8_t> &out, std::string *err);
// An .ALL set, also of a single image.
bool build_aif_set(const std::vector<AifRecipe> &recipes, std::vector<uint8_t> &out, std::string *err);
// allSet: as build_aif_set, else as build_aif.
bool write_aif(const std::vector<AifRecipe> &recipes, bool allSet, const std::string &path, std::string *err);

// "checksum", "file-checksum", "short", "not-aif", "bad-kind", "no-end-mark".
bool aif_fault_from_name(const std::string &name, unsigned &fault);

// The recipes of "hlvdsim make-aif ARGS":
//   [--all] [IMAGE OPTIONS] [--image IMAGE OPTIONS]... -o FILE
// IMAGE OPTIONS: [--kind awc|dwc|bwc|fwc] [--area N] [--base N] [--erase N]
//   [--ro N] [--rw N] [--version N] [--id N] [--prg TYPE:ID[:VERSION]]...
//   [--checksum-kind 1|2] [--kek ID] [--fault NAME]...
// Options before the first --image describe the first image; each --image
// starts the next one. Several images, or --all, make an .ALL set. --version
// is header word 14 (the AWC version word). A DWC or BWC image without
// --prg carries the kind's default PRG, with --id as its id.
bool aif_recipe_from_args(const std::vector<std::string> &args, std::vector<AifRecipe> &recipes, bool &allSet,
                          std::string &output, std::string *err);

} // namespace hlvdsim

#endif
