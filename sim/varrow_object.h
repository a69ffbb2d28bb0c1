// Generator and reader of Varrow firmware object files for the simulated
// machine.
//
// A file starts with a 184-byte header (little-endian): the size of the
// whole file (4 bytes), the magic halves 0x0001 and 0xFEAA (2 bytes each),
// a word holding a reserved half, the identifier byte and the file type
// (0xF7 for firmware), the revision name (128 bytes), the date (12 bytes)
// and the revision text (32 bytes). The generator fills the rest of the file
// with a pattern that depends on the revision.
#ifndef HLVD_SIM_VARROW_OBJECT_H
#define HLVD_SIM_VARROW_OBJECT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace hlvdsim
{

const uint32_t kVarrowHeaderSize = 184;
const uint8_t kVarrowFileTypeFirmware = 0xF7;

// Deliberate faults, combinable.
enum VarrowObjectFault : unsigned {
    VOBJ_FAULT_BAD_MAGIC = 1u << 0, // neither magic half right
    VOBJ_FAULT_BAD_SIZE = 1u << 1,  // the size field one more than the file
    VOBJ_FAULT_BAD_TYPE = 1u << 2,  // a file type other than firmware
    VOBJ_FAULT_SHORT = 1u << 3,     // the file cut to 183 bytes
};

struct VarrowObjectSpec {
    std::string version;        // revision text, at most 31 characters
    uint32_t size = 0x12000;    // bytes of the whole file, at least the header
    bool big_endian = false;    // the header's first three words stored big-endian
    unsigned faults = 0;        // VarrowObjectFault bits
};

bool build_varrow_object(const VarrowObjectSpec &recipe, std::vector<uint8_t> &out, std::string *err);
bool write_varrow_object(const VarrowObjectSpec &recipe, const std::string &path, std::string *err);

// The header of an object as firmware reads it, repairing a header stored
// big-endian: true with the revision when the object is a sound firmware
// file (magic, size equal to `len`, firmware type).
bool read_varrow_object(const uint8_t *data, size_t len, std::string *revision);

// "bad-magic", "bad-size", "bad-type", "short".
bool varrow_fault_from_name(const std::string &name, unsigned &fault);

// The recipe of "hlvdsim make-obj ARGS": --version V [--size N] [--big-endian]
// [--fault NAME]... -o FILE.
bool varrow_spec_from_args(const std::vector<std::string> &args, VarrowObjectSpec &recipe, std::string &output,
                           std::string *err);

} // namespace hlvdsim

#endif
