// Generator of UFI firmware image files for the simulated machine.
//
// Layout of a generated file (all integers little-endian):
//   gen-2: 96-byte header; the eight fixed flash regions, each at file offset
//          96 + its flash offset (kUfiAw2Regions); the 2256-byte flash
//          directory at 96 + 0x40000, in the flash gap between the redboot
//          and the FCoE BIOS regions. A compact file holds the header and the
//          directory (at 96) only: readable, not flashable.
//   gen-3: 128-byte header, image headers (48 bytes each), then with H the
//          end of the image headers: the 2240-byte directory at H, and each
//          component of kUfiAw3Components present at H + its flash offset,
//          with the table's size.
//   gen-4: as gen-3, but the directory drives the layout: components in
//          slots of their own size from H + 0x1000 on, 4 KiB aligned; each
//          entry's offset counts from H.
// Every component or region slot starts with a stamp (kUfiComponentMagic,
// entry type, op type, slot size, generation, version text), is filled with
// a pattern that depends on the version, and ends with the CRC-32 of the
// slot's other bytes in its last 4 bytes (the per-component CRC the adapter
// reports back; for the gen-2 redboot region it lands at 0x4005C).
// FH_Checksum is the CRC-32 of everything after the file header and
// FH_Antidote its complement; the directory's flash-wide checksum is 0.
#ifndef HLVD_SIM_UFI_GENERATOR_H
#define HLVD_SIM_UFI_GENERATOR_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace hlvdsim {

struct UfiControllerId {
    uint32_t vendor = 0;
    uint32_t device = 0;
    uint32_t subvendor = 0;
    uint32_t subdevice = 0;
};

struct UfiComponent {
    uint32_t entry_type = 0;
    uint32_t op_type = 0xFFFF; // gen-4: the directory's op type (0xFFFF: told by the entry type)
    uint32_t max_size = 0;     // gen-4: the slot size; gen-3: taken from kUfiAw3Components
};

// Deliberate faults, combinable.
enum UfiFault : unsigned {
    UFI_FAULT_LONG = 1u << 0,             // the file one byte longer than FH_FileLen
    UFI_FAULT_SHORT = 1u << 1,            // one byte shorter
    UFI_FAULT_COOKIE_MISPLACED = 1u << 2, // the directory 8 bytes off the 32-byte grid
    UFI_FAULT_NO_COOKIE = 1u << 3,        // the directory without its cookie
    UFI_FAULT_BAD_SIGNATURE = 1u << 4,    // FH_Signature not "Tranquilforge Corp"
    UFI_FAULT_BAD_ENTRIES = 1u << 5,      // entries beyond the file, wrapping, too small; an entry count above 32
};

struct UfiSpec {
    int generation = 3;                // 2, 3 or 4: the header form and layout
    std::string version;               // four-part version text
    char digit = 0;                    // generation digit of FH_Build; 0: the generation's
    bool raw_build = false;            // FH_Build is `build` as given (24 bytes need no terminator)
    std::string build;
    uint8_t asic_support = 0;          // gen-3/gen-4 ASIC_Support
    std::string ufi_version = "1.0";   // gen-3/gen-4 FH_UFI_Version (at most 4 characters)
    UfiControllerId header_id;         // gen-2 FH_ContrlId
    std::vector<UfiControllerId> dir_ids; // the directory's controller ids, at most 8
    std::vector<UfiComponent> components; // gen-3/gen-4
    std::vector<uint32_t> image_ids = {1}; // gen-3/gen-4 image headers
    bool compact = false;              // gen-2: header and directory only
    int64_t dir_offset = -1;           // file offset of the directory; -1: the layout's
    int64_t dir_count = -1;            // gen-3/gen-4 num_of_images; -1: the number of entries
    unsigned faults = 0;               // UfiFault bits
};

// A recipe that fits the default machine's adapter of the generation.
UfiSpec default_ufi_spec(int generation, const std::string &version);

// Builds the file's bytes; false with a reason for a recipe that cannot be built.
bool build_ufi(const UfiSpec &recipe, std::vector<uint8_t> &out, std::string *err);

// Builds and writes the file (temporary file, then rename).
bool write_ufi(const UfiSpec &recipe, const std::string &path, std::string *err);

// Gen-2 flash regions in the order they are flashed.
struct UfiAw2Region {
    uint32_t op_type;
    uint32_t flash_offset;
    uint32_t length;
    uint32_t entry_type; // the type the generator lists in the directory
};
extern const UfiAw2Region kUfiAw2Regions[8];

// Gen-3 components: a component is present when the directory lists its type.
struct UfiAw3Component {
    uint32_t offset; // flash offset, also its place after the headers
    uint32_t op_type;
    uint32_t size;
    uint32_t entry_type;
};
extern const UfiAw3Component kUfiAw3Components[10];

// Gen-4 flash region of a directory entry type; 0xFFFF when there is none.
uint32_t ufi_trelmont_op_type(uint32_t entry_type);

// CRC-32 (IEEE 802.3, reflected, as zlib computes it).
uint32_t ufi_crc32(const uint8_t *data, size_t len, uint32_t crc = 0);

// The stamp at the start of every generated component.
const char kUfiComponentMagic[9] = "HLVDCOMP";
const size_t kUfiStampSize = 56;
struct UfiStamp {
    uint32_t entry_type = 0;
    uint32_t op_type = 0;
    uint32_t slot_size = 0;
    uint32_t generation = 0;
    std::string version;
};
// Reads a stamp from the first bytes of a component; false when there is none.
bool read_ufi_stamp(const uint8_t *data, size_t len, UfiStamp &stamp);

// Fault names as the command line takes them ("long", "short",
// "cookie-misplaced", "no-cookie", "bad-signature", "bad-entries").
bool ufi_fault_from_name(const std::string &name, unsigned &fault);

// The recipe of the command line "hlvdsim make-ufi ARGS" (the arguments after
// the subcommand): --generation, --version and -o FILE, with the options
// the usage text lists. Without ids the image fits the default machine.
bool ufi_spec_from_args(const std::vector<std::string> &args, UfiSpec &recipe, std::string &output,
                        std::string *err);

} // namespace hlvdsim

#endif
