#include "sim/ufi_generator.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "sim/generator_args.h"
#include "sim/machine.h"

namespace hlvdsim {

const UfiAw2Region kUfiAw2Regions[8] = {
    {0, 0x100000, 0x140000, 0xA0},  // iSCSI firmware
    {9, 0x240000, 0x140000, 0xB0},  // iSCSI firmware backup
    {10, 0x380000, 0x140000, 0xA2}, // FCoE firmware
    {11, 0x4C0000, 0x140000, 0xB2}, // FCoE firmware backup
    {1, 0x0, 0x40000, 0xE0},        // redboot
    {2, 0x700000, 0x40000, 0x22},   // BIOS
    {8, 0x80000, 0x40000, 0x21},    // FCoE BIOS
    {3, 0x780000, 0x40000, 0x20},   // PXE BIOS
};

const UfiAw3Component kUfiAw3Components[10] = {
    {0x200000, 0, 0x200000, 0xA0}, {0x40000, 1, 0x100000, 0xE0},  {0xC00000, 2, 0x80000, 0x22},
    {0xC80000, 3, 0x80000, 0x20},  {0xD00000, 8, 0x80000, 0x21},  {0x400000, 9, 0x200000, 0xB0},
    {0x600000, 10, 0x200000, 0xA2}, {0x800000, 11, 0x200000, 0xB2}, {0xF40000, 13, 0x40000, 0x10},
    {0x140000, 99, 0x40000, 0xC0},
};

uint32_t ufi_trelmont_op_type(uint32_t entry_type)
{
    static const uint32_t table[][2] = {
        {0x10, 13}, {0x20, 3}, {0x21, 8}, {0x22, 2},  {0x30, 22}, {0xA0, 0},
        {0xB0, 9},  {0xC0, 21}, {0xD0, 18}, {0xD1, 19}, {0xD2, 23}, {0xE0, 1},
    };
    for (const auto &row : table)
        if (row[0] == entry_type)
            return row[1];
    return 0xFFFF;
}

namespace {

struct CrcTable {
    uint32_t v[256];
    CrcTable()
    {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            v[i] = c;
        }
    }
};

} // namespace

uint32_t ufi_crc32(const uint8_t *data, size_t len, uint32_t crc)
{
    static const CrcTable crcTable;
    const uint32_t *table = crcTable.v;
    crc = ~crc;
    for (size_t i = 0; i < len; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

namespace {

const char kSignature[] = "Tranquilforge Corp";
const uint32_t kAw2HeaderSize = 96;
const uint32_t kHeaderSize = 128;
const uint32_t kImageHeaderSize = 48;
const uint32_t kAw2DirSize = 2256;
const uint32_t kDirSize = 2240;
const uint32_t kAw2DirEntries = 208; // offset of the entries in the gen-2 directory
const uint32_t kDirEntries = 192;    // in the gen-3/gen-4 directory
const uint32_t kEntrySize = 64;
const uint32_t kMaxEntries = 32;
const uint32_t kAw2FullSize = kAw2HeaderSize + 0x7C0000;
const uint32_t kAw2DirFull = kAw2HeaderSize + 0x40000;
const uint32_t kTrelmontFirstSlot = 0x1000;
const uint32_t kTrelmontAlign = 0x1000;
const uint64_t kMaxFileSize = 64u * 1024 * 1024; // far above any real layout

void put_u32(std::vector<uint8_t> &b, uint64_t off, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[off + i] = static_cast<uint8_t>(v >> (8 * i));
}

void put_text(std::vector<uint8_t> &b, uint64_t off, const std::string &text, size_t width)
{
    std::memcpy(&b[off], text.data(), std::min(text.size(), width));
}

// One directory entry, as it lands in the file.
struct Entry {
    uint32_t type;
    uint32_t offset;
    uint32_t max_size;
    uint32_t op_type;
    uint32_t crc;
};

// Fills one slot: stamp, pattern, CRC in the last 4 bytes.
uint32_t fill_slot(std::vector<uint8_t> &b, uint64_t at, uint32_t size, uint32_t entry_type, uint32_t op_type,
                   int generation, const std::string &version)
{
    uint8_t stamp[kUfiStampSize] = {};
    std::memcpy(stamp, kUfiComponentMagic, 8);
    const uint32_t words[4] = {entry_type, op_type, size, static_cast<uint32_t>(generation)};
    for (int w = 0; w < 4; ++w)
        for (int i = 0; i < 4; ++i)
            stamp[8 + 4 * w + i] = static_cast<uint8_t>(words[w] >> (8 * i));
    std::memcpy(stamp + 24, version.data(), std::min<size_t>(version.size(), 32));

    uint32_t body = size >= 4 ? size - 4 : 0;
    uint32_t seed = ufi_crc32(reinterpret_cast<const uint8_t *>(version.data()), version.size(), entry_type);
    size_t stampLen = std::min<size_t>(kUfiStampSize, body);
    std::memcpy(&b[at], stamp, stampLen);
    for (uint32_t i = static_cast<uint32_t>(stampLen); i < body; ++i)
        b[at + i] = static_cast<uint8_t>((i * 7u + seed + (i >> 9)) & 0xFF);
    if (size < 4)
        return 0;
    uint32_t crc = ufi_crc32(&b[at], body);
    put_u32(b, at + body, crc);
    return crc;
}

uint32_t version_part(const std::string &version, int index)
{
    size_t pos = 0;
    for (int i = 0; i < index; ++i) {
        pos = version.find('.', pos);
        if (pos == std::string::npos)
            return 0;
        ++pos;
    }
    return static_cast<uint32_t>(std::strtoul(version.c_str() + pos, nullptr, 10));
}

void put_controller(std::vector<uint8_t> &b, uint64_t off, const UfiControllerId &id)
{
    put_u32(b, off, id.vendor);
    put_u32(b, off + 4, id.device);
    put_u32(b, off + 8, id.subvendor);
    put_u32(b, off + 12, id.subdevice);
}

const UfiAw3Component *aw3_component(uint32_t entry_type)
{
    for (const UfiAw3Component &c : kUfiAw3Components)
        if (c.entry_type == entry_type)
            return &c;
    return nullptr;
}

bool build_string(const UfiSpec &recipe, std::string &build, std::string *err)
{
    if (recipe.raw_build) {
        if (recipe.build.size() > 24)
            return generator_fail(err, "a build string holds at most 24 characters");
        build = recipe.build;
        return true;
    }
    char digit = recipe.digit ? recipe.digit : static_cast<char>('0' + recipe.generation);
    build = std::string(1, digit) + " " + recipe.version;
    if (build.size() > 23)
        return generator_fail(err, "the version does not fit the build string (" + build + ")");
    return true;
}

} // namespace

UfiSpec default_ufi_spec(int generation, const std::string &version)
{
    UfiSpec s;
    s.generation = generation;
    s.version = version;
    switch (generation) {
    case 2:
        s.header_id = {0x19A2, 0x0700, 0x10DF, 0xE602};
        s.dir_ids = {s.header_id};
        break;
    case 3:
        s.header_id = {0x19A2, 0x0710, 0x10DF, 0xE70E};
        s.dir_ids = {s.header_id, {0x19A2, 0x0712, 0x10DF, 0xE70E}};
        s.components = {{0xA0, 0, 0}};
        break;
    case 4:
        // The default Trelmont adapter is an R part (revision 0x10).
        s.asic_support = 0x10;
        s.header_id = {0x19A2, 0x0720, 0x10DF, 0xE81E};
        s.dir_ids = {s.header_id, {0x19A2, 0x0722, 0x10DF, 0xE81E}};
        s.components = {{0xA0, 0, 0x4000}, {0xE0, 1, 0x2000}, {0x22, 2, 0x2000}};
        break;
    default:
        break;
    }
    return s;
}

bool build_ufi(const UfiSpec &recipe, std::vector<uint8_t> &out, std::string *err)
{
    const int gen = recipe.generation;
    if (gen != 2 && gen != 3 && gen != 4)
        return generator_fail(err, "the generation must be 2, 3 or 4");
    if (recipe.dir_ids.size() > 8)
        return generator_fail(err, "a directory holds at most 8 controller ids");
    if (recipe.components.size() > kMaxEntries)
        return generator_fail(err, "a directory holds at most 32 entries");
    if (gen == 2 && !recipe.components.empty())
        return generator_fail(err, "gen-2 images have fixed regions; components are not taken");
    if (gen != 2 && recipe.compact)
        return generator_fail(err, "only gen-2 images have a compact form");
    if (recipe.ufi_version.size() > 4)
        return generator_fail(err, "the UFI version text holds at most 4 characters");
    if (recipe.image_ids.size() > 64)
        return generator_fail(err, "at most 64 image headers");
    std::string build;
    if (!build_string(recipe, build, err))
        return false;

    const uint32_t headerSize = gen == 2 ? kAw2HeaderSize : kHeaderSize;
    const uint32_t H =
        gen == 2 ? kAw2HeaderSize : kHeaderSize + kImageHeaderSize * static_cast<uint32_t>(recipe.image_ids.size());
    const uint32_t dirSize = gen == 2 ? kAw2DirSize : kDirSize;

    // Where everything goes.
    uint64_t dirAt = recipe.dir_offset >= 0 ? static_cast<uint64_t>(recipe.dir_offset)
                                          : (gen == 2 ? (recipe.compact ? kAw2HeaderSize : kAw2DirFull) : H);
    if (recipe.faults & UFI_FAULT_COOKIE_MISPLACED)
        dirAt += 8;
    uint64_t end = dirAt + dirSize;
    std::vector<Entry> entries;
    if (gen == 2 && !recipe.compact) {
        end = std::max<uint64_t>(end, kAw2FullSize);
        for (const UfiAw2Region &r : kUfiAw2Regions)
            entries.push_back({r.entry_type, r.flash_offset, r.length, r.op_type, 0});
    } else if (gen == 3) {
        for (const UfiComponent &c : recipe.components) {
            const UfiAw3Component *t = aw3_component(c.entry_type);
            if (!t)
                return generator_fail(err, "gen-3 component types are those of the fixed component table");
            entries.push_back({t->entry_type, t->offset, t->size, t->op_type, 0});
            end = std::max<uint64_t>(end, uint64_t(H) + t->offset + t->size);
        }
    } else if (gen == 4) {
        uint64_t next = kTrelmontFirstSlot;
        for (const UfiComponent &c : recipe.components) {
            if (c.max_size < 4)
                return generator_fail(err, "a component slot holds at least its 4-byte CRC");
            entries.push_back({c.entry_type, static_cast<uint32_t>(next), c.max_size, c.op_type, 0});
            end = std::max<uint64_t>(end, H + next + c.max_size);
            next = (next + c.max_size + kTrelmontAlign - 1) / kTrelmontAlign * kTrelmontAlign;
        }
    }
    if (end > kMaxFileSize)
        return generator_fail(err, "the layout would exceed 64 MiB");
    if (dirAt < H)
        return generator_fail(err, "the directory would overlap the headers");
    for (const Entry &e : entries) {
        uint64_t from = uint64_t(H) + e.offset;
        if (dirAt < from + e.max_size && from < dirAt + dirSize)
            return generator_fail(err, "the directory would overlap a component");
    }

    out.assign(end, 0);

    // Component data first: the directory records their CRCs.
    for (Entry &e : entries) {
        uint64_t at = uint64_t(H) + e.offset;
        e.crc = fill_slot(out, at, e.max_size, e.type, e.op_type, gen, recipe.version);
    }

    // Bad entries: listed in the directory, never backed by data.
    if (recipe.faults & UFI_FAULT_BAD_ENTRIES) {
        uint32_t past = static_cast<uint32_t>(end - H) + 0x1000;
        const Entry bad[] = {
            {0xA0, past, 0x1000, 0, 0},          // beyond the end of the file
            {0xB0, 0xFFFFFF00u, 0x200, 9, 0},    // offset + size wraps
            {0x22, kTrelmontFirstSlot, 2, 2, 0}, // smaller than its CRC
        };
        for (const Entry &e : bad)
            if (entries.size() < kMaxEntries)
                entries.push_back(e);
    }

    // The directory.
    if (dirAt + dirSize > out.size())
        return generator_fail(err, "the directory does not fit the file");
    if (!(recipe.faults & UFI_FAULT_NO_COOKIE)) {
        std::memcpy(&out[dirAt], "*** TQ FLAS", 11);
        std::memcpy(&out[dirAt + 16], "H DIRECTORY *** ", 16);
    }
    put_u32(out, dirAt + 32, 1); // format revision
    if (gen == 2) {
        put_u32(out, dirAt + 44, version_part(recipe.version, 3)); // build number
    } else {
        uint32_t count = static_cast<uint32_t>(entries.size());
        if (recipe.dir_count >= 0)
            count = static_cast<uint32_t>(recipe.dir_count);
        else if (recipe.faults & UFI_FAULT_BAD_ENTRIES)
            count = kMaxEntries + 1;
        put_u32(out, dirAt + 44, count);
    }
    for (size_t k = 0; k < recipe.dir_ids.size(); ++k)
        put_controller(out, dirAt + 48 + 16 * k, recipe.dir_ids[k]);
    if (gen == 2) {
        uint32_t mask = entries.empty() ? 0 : static_cast<uint32_t>((uint64_t(1) << entries.size()) - 1);
        put_u32(out, dirAt + 176, mask);
        put_u32(out, dirAt + 180, mask);
        put_u32(out, dirAt + 184, mask);
    }
    const uint64_t entriesAt = dirAt + (gen == 2 ? kAw2DirEntries : kDirEntries);
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry &e = entries[i];
        uint64_t at = entriesAt + kEntrySize * i;
        put_u32(out, at, e.type);
        put_u32(out, at + 4, e.offset);
        put_u32(out, at + 8, e.max_size);             // pad_size (gen-2), max_size
        put_u32(out, at + 12, e.max_size >= 4 ? e.max_size - 4 : 0); // image_size
        put_u32(out, at + 16, e.crc);
        if (gen == 2) {
            put_text(out, at + 32, recipe.version, 32);
        } else {
            put_u32(out, at + 24, e.op_type);
            put_text(out, at + 40, recipe.version, 24);
        }
    }

    // Image headers (gen-3/gen-4).
    if (gen != 2) {
        uint32_t imageCrc = ufi_crc32(&out[H], out.size() - H);
        for (size_t i = 0; i < recipe.image_ids.size(); ++i) {
            uint64_t at = kHeaderSize + kImageHeaderSize * i;
            put_u32(out, at, recipe.image_ids[i]);
            put_u32(out, at + 4, H);
            put_u32(out, at + 8, static_cast<uint32_t>(out.size() - H));
            put_u32(out, at + 12, imageCrc);
            put_text(out, at + 16, recipe.version, 32);
        }
    }

    // The file header.
    std::string signature = kSignature;
    if (recipe.faults & UFI_FAULT_BAD_SIGNATURE)
        signature[signature.size() - 1] = 'q';
    put_text(out, 0, signature, signature.size());
    put_text(out, 72, build, 24);
    put_u32(out, 56, static_cast<uint32_t>(out.size()));
    if (gen == 2) {
        put_controller(out, 40, recipe.header_id);
        put_u32(out, 60, 1); // chunk number
        put_u32(out, 64, 1); // total chunks
        put_u32(out, 68, 1); // images
    } else {
        put_text(out, 52, recipe.ufi_version, 4);
        put_u32(out, 68, static_cast<uint32_t>(recipe.image_ids.size()));
        out[96] = recipe.asic_support;
    }
    uint32_t checksum = ufi_crc32(&out[headerSize], out.size() - headerSize);
    put_u32(out, gen == 2 ? 32 : 60, checksum);
    put_u32(out, gen == 2 ? 36 : 64, ~checksum);

    // Length faults come last, against the length the header states.
    if (recipe.faults & UFI_FAULT_LONG)
        out.push_back(0xA5);
    if ((recipe.faults & UFI_FAULT_SHORT) && !out.empty())
        out.pop_back();
    return true;
}

bool write_ufi(const UfiSpec &recipe, const std::string &path, std::string *err)
{
    std::vector<uint8_t> bytes;
    if (!build_ufi(recipe, bytes, err))
        return false;
    return write_file_atomic(path, std::string(bytes.begin(), bytes.end()), err);
}

bool read_ufi_stamp(const uint8_t *data, size_t len, UfiStamp &stamp)
{
    if (!data || len < kUfiStampSize || std::memcmp(data, kUfiComponentMagic, 8) != 0)
        return false;
    auto word = [data](size_t off) {
        return uint32_t(data[off]) | uint32_t(data[off + 1]) << 8 | uint32_t(data[off + 2]) << 16 |
               uint32_t(data[off + 3]) << 24;
    };
    stamp.entry_type = word(8);
    stamp.op_type = word(12);
    stamp.slot_size = word(16);
    stamp.generation = word(20);
    const char *v = reinterpret_cast<const char *>(data + 24);
    stamp.version.assign(v, strnlen(v, 32));
    return true;
}

bool ufi_fault_from_name(const std::string &name, unsigned &fault)
{
    static const GeneratorFault kFaults[] = {
        {"long", UFI_FAULT_LONG},
        {"short", UFI_FAULT_SHORT},
        {"cookie-misplaced", UFI_FAULT_COOKIE_MISPLACED},
        {"no-cookie", UFI_FAULT_NO_COOKIE},
        {"bad-signature", UFI_FAULT_BAD_SIGNATURE},
        {"bad-entries", UFI_FAULT_BAD_ENTRIES},
    };
    return generator_fault_bit(kFaults, sizeof kFaults / sizeof kFaults[0], name, fault);
}

namespace {

bool parse_u32(const std::string &text, uint32_t &value)
{
    uint64_t v;
    if (!parse_generator_number(text, 0xFFFFFFFFu, v))
        return false;
    value = static_cast<uint32_t>(v);
    return true;
}

// "a:b:c" into `min` to `max` numbers.
bool split_numbers(const std::string &text, size_t min, size_t max, std::vector<uint32_t> &fields)
{
    fields.clear();
    size_t start = 0;
    while (true) {
        size_t colon = text.find(':', start);
        uint32_t v;
        if (fields.size() == max || !parse_u32(text.substr(start, colon == std::string::npos ? colon : colon - start), v))
            return false;
        fields.push_back(v);
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return fields.size() >= min;
}

} // namespace

bool ufi_spec_from_args(const std::vector<std::string> &args, UfiSpec &recipe, std::string &output,
                        std::string *err)
{
    struct Option {
        std::string name;
        std::string value;
    };
    // Options are applied once the generation is known: the defaults depend on it.
    std::vector<Option> options;
    int generation = 0;
    bool versionGiven = false;
    std::string version;
    output.clear();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &opt = args[i];
        bool flag = opt == "--no-components" || opt == "--compact";
        if (!flag && i + 1 >= args.size())
            return generator_fail(err, "missing value for " + opt);
        std::string value = flag ? std::string() : args[++i];
        if (opt == "--generation") {
            uint64_t g;
            if (!parse_generator_number(value, 4, g) || g < 2)
                return generator_fail(err, "the generation must be 2, 3 or 4: " + value);
            generation = static_cast<int>(g);
        } else if (opt == "--version") {
            version = value;
            versionGiven = true;
        } else if (opt == "-o" || opt == "--output") {
            output = value;
        } else {
            options.push_back({opt, value});
        }
    }
    if (!generation)
        return generator_fail(err, "--generation is required");
    if (output.empty())
        return generator_fail(err, "-o FILE is required");
    recipe = default_ufi_spec(generation, version);

    bool idGiven = false, dirIdsGiven = false, componentsGiven = false, imageIdsGiven = false;
    for (const Option &o : options) {
        const std::string &opt = o.name;
        const std::string &value = o.value;
        uint32_t n = 0;
        std::vector<uint32_t> f;
        if (opt == "--asic-support") {
            if (generation == 2)
                return generator_fail(err, "gen-2 headers have no ASIC_Support");
            if (!parse_u32(value, n) || n > 0xFF)
                return generator_fail(err, "bad ASIC_Support: " + value);
            recipe.asic_support = static_cast<uint8_t>(n);
        } else if (opt == "--build") {
            recipe.raw_build = true;
            recipe.build = value;
        } else if (opt == "--digit") {
            if (value.size() != 1)
                return generator_fail(err, "the digit is one character: " + value);
            recipe.digit = value[0];
        } else if (opt == "--ufi-version") {
            recipe.ufi_version = value;
        } else if (opt == "--vendor-id" || opt == "--device-id" || opt == "--subvendor-id" ||
                   opt == "--subdevice-id") {
            if (!parse_u32(value, n))
                return generator_fail(err, "bad id: " + value);
            uint32_t *field = opt == "--vendor-id"      ? &recipe.header_id.vendor
                              : opt == "--device-id"    ? &recipe.header_id.device
                              : opt == "--subvendor-id" ? &recipe.header_id.subvendor
                                                        : &recipe.header_id.subdevice;
            *field = n;
            idGiven = true;
        } else if (opt == "--dir-id") {
            if (!split_numbers(value, 4, 4, f))
                return generator_fail(err, "a directory id is VEN:DEV:SUBVEN:SUBDEV: " + value);
            if (!dirIdsGiven)
                recipe.dir_ids.clear();
            dirIdsGiven = true;
            recipe.dir_ids.push_back({f[0], f[1], f[2], f[3]});
        } else if (opt == "--component") {
            if (!split_numbers(value, 1, 3, f))
                return generator_fail(err, "a component is TYPE[:SIZE[:OPTYPE]]: " + value);
            if (generation == 3 && f.size() > 1)
                return generator_fail(err, "gen-3 component sizes and op types are fixed: " + value);
            if (!componentsGiven)
                recipe.components.clear();
            componentsGiven = true;
            UfiComponent c;
            c.entry_type = f[0];
            c.max_size = f.size() > 1 ? f[1] : 0x4000;
            c.op_type = f.size() > 2 ? f[2] : ufi_trelmont_op_type(f[0]);
            recipe.components.push_back(c);
        } else if (opt == "--no-components") {
            recipe.components.clear();
            componentsGiven = true;
        } else if (opt == "--image-id") {
            if (!parse_u32(value, n))
                return generator_fail(err, "bad image id: " + value);
            if (!imageIdsGiven)
                recipe.image_ids.clear();
            imageIdsGiven = true;
            recipe.image_ids.push_back(n);
        } else if (opt == "--compact") {
            recipe.compact = true;
        } else if (opt == "--dir-offset") {
            if (!parse_u32(value, n))
                return generator_fail(err, "bad directory offset: " + value);
            recipe.dir_offset = n;
        } else if (opt == "--dir-count") {
            if (!parse_u32(value, n))
                return generator_fail(err, "bad directory count: " + value);
            recipe.dir_count = n;
        } else if (opt == "--fault") {
            unsigned bit;
            if (!ufi_fault_from_name(value, bit))
                return generator_fail(err, "unknown fault: " + value);
            recipe.faults |= bit;
        } else {
            return generator_fail(err, "unknown option: " + opt);
        }
    }
    if (!versionGiven && !recipe.raw_build)
        return generator_fail(err, "--version is required (or --build)");
    if (idGiven && !dirIdsGiven)
        recipe.dir_ids = {recipe.header_id};
    return true;
}

} // namespace hlvdsim
