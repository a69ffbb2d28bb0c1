#include "sim/aif_generator.h"

#include <cstring>

#include "sim/generator_args.h"
#include "sim/machine.h"

namespace hlvdsim
{

namespace
{

const uint32_t kKeyBlockBack = 268;
const uint32_t kKeyIdOffset = 112;
const uint32_t kKeyIdSize = 152;
const uint32_t kKeyFlag = 0x10;
const uint32_t kEraseStep = 0x10000;
const uint32_t kNotAifWord = kAifMark | 1;
const uint32_t kUnknownKindWord = 0xE1A05005u;
const uint32_t kAwcMinSigned = 16 + kKeyBlockBack;

void set_word(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// The word that, appended to the words [from, to), brings their fold to 0.
uint32_t fold_closer(const std::vector<uint8_t> &b, size_t from, size_t to)
{
    uint32_t sum = 0xAAAAAAAAu;
    for (size_t i = from; i < to; i += 4) {
        uint32_t w = static_cast<uint32_t>(b[i]) << 24 | static_cast<uint32_t>(b[i + 1]) << 16 |
                     static_cast<uint32_t>(b[i + 2]) << 8 | b[i + 3];
        sum = ((sum << 1) | (sum >> 31)) ^ w;
    }
    return (sum << 1) | (sum >> 31);
}

void put_key_block(std::vector<uint8_t> &b, size_t at, const std::string &kekId)
{
    std::memset(&b[at], 0, kPrgKeyBlockSize);
    set_word(b, at, 1);
    std::memcpy(&b[at + kKeyIdOffset], kekId.data(), kekId.size());
}

uint32_t default_area(AifKind kind)
{
    return static_cast<uint32_t>(kind) + 1;
}

bool free_size(const AifRecipe &r)
{
    return r.kind == AIF_KIND_AWC || r.kind == AIF_KIND_FWC || (r.kind == AIF_KIND_BWC && r.prgs.empty());
}

bool check_recipe(const AifRecipe &r, std::string *err)
{
    if (r.kind < AIF_KIND_AWC || r.kind > AIF_KIND_FWC)
        return generator_fail(err, "unknown image kind");
    if (r.checksumKind != 1 && r.checksumKind != 2)
        return generator_fail(err, "the checksum kind must be 1 or 2");
    if (r.areaType > 0xFF || r.id > 0xFF)
        return generator_fail(err, "the area type and the id must be below 256");
    if (r.word14 > 0xFFFFFFFFll || r.eraseLength > 0xFFFFFFFFll)
        return generator_fail(err, "header words are 32 bits");
    if (r.roSize > kAifMaxDataSize || r.rwSize > kAifMaxDataSize || r.dataSize > kAifMaxDataSize)
        return generator_fail(err, "image data is at most " + std::to_string(kAifMaxDataSize) + " bytes");
    if (r.kekId.size() >= kKeyIdSize)
        return generator_fail(err, "the key id must be shorter than 152 characters");
    if ((r.faults & AIF_FAULT_CHECKSUM) && r.checksumKind != 1)
        return generator_fail(err, "the checksum fault needs checksum kind 1");
    if ((r.faults & AIF_FAULT_NO_END_MARK) && r.kind != AIF_KIND_DWC)
        return generator_fail(err, "only a DWC image has an end mark");
    if (!r.prgs.empty() && (r.kind == AIF_KIND_AWC || r.kind == AIF_KIND_FWC))
        return generator_fail(err, "only DWC and BWC images carry PRGs");
    if (r.kind == AIF_KIND_BWC && r.prgs.size() > 1)
        return generator_fail(err, "a BWC image carries one boot PRG");
    if (r.id >= 0 && r.kind != AIF_KIND_AWC && r.kind != AIF_KIND_FWC)
        return generator_fail(err, "DWC and BWC images take the ids of their PRGs");
    if (r.dataSize >= 0 && !free_size(r))
        return generator_fail(err, "the data size of an image of PRGs follows from them");
    for (const PrgRecipe &p : r.prgs)
        if (p.size > kAifMaxDataSize)
            return generator_fail(err, "a PRG is at most " + std::to_string(kAifMaxDataSize) + " bytes");
    return true;
}

// The PRGs of a DWC or BWC image one after another; unsigned ones take the
// image's key.
bool append_prgs(const AifRecipe &r, std::vector<uint8_t> &data, std::string *err)
{
    for (PrgRecipe p : r.prgs) {
        if (p.kekId.empty())
            p.kekId = r.kekId;
        std::vector<uint8_t> prg;
        if (!build_prg(p, prg, err))
            return false;
        if (data.size() + prg.size() > kAifMaxDataSize)
            return generator_fail(err, "image data is at most " + std::to_string(kAifMaxDataSize) + " bytes");
        data.insert(data.end(), prg.begin(), prg.end());
    }
    return true;
}

void fill_awc(const AifRecipe &r, uint32_t ro, uint32_t word14, std::vector<uint8_t> &data)
{
    set_word(data, 0, word14);
    // Word 3 is read as a PRG header's flags: only a signed image sets the key flag.
    if (data.size() >= 16)
        set_word(data, 12, 0);
    if (data.size() >= kAifAwcIdOffset + 4)
        set_word(data, kAifAwcIdOffset, static_cast<uint32_t>(r.id < 0 ? kAifDefaultAwcId : r.id) << 16);
    if (!r.kekId.empty()) {
        set_word(data, 12, kKeyFlag);
        put_key_block(data, ro - kKeyBlockBack, r.kekId);
    }
}

void fill_fwc(const AifRecipe &r, uint32_t word14, std::vector<uint8_t> &data)
{
    const uint32_t size = static_cast<uint32_t>(data.size());
    std::memset(&data[0], 0, kPrgHeaderSize);
    set_word(data, 0, size);
    set_word(data, 4, word14);
    if (!r.kekId.empty()) {
        set_word(data, 12, kKeyFlag);
        set_word(data, 32, size - kPrgHeaderSize);
        put_key_block(data, size - kPrgKeyBlockSize, r.kekId);
    }
    set_word(data, 44, fold_closer(data, 4, 44));
}

// The bytes of one image and the distance to the next.
bool build_image(const AifRecipe &r, std::vector<uint8_t> &image, uint32_t &stride, std::string *err)
{
    if (!check_recipe(r, err))
        return false;
    std::vector<uint8_t> data;
    if (r.kind == AIF_KIND_DWC) {
        data.assign(4, 0);
        if (!append_prgs(r, data, err))
            return false;
        if (!(r.faults & AIF_FAULT_NO_END_MARK))
            data.insert(data.end(), 4, 0xFF);
    } else if (!free_size(r)) {
        if (!append_prgs(r, data, err))
            return false;
    } else {
        int64_t size = r.dataSize >= 0 ? r.dataSize : r.roSize >= 0 ? r.roSize + r.rwSize : kAifDefaultDataSize;
        if (size > kAifMaxDataSize)
            return generator_fail(err, "image data is at most " + std::to_string(kAifMaxDataSize) + " bytes");
        data.resize(static_cast<size_t>(size));
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<uint8_t>(i * 5 + r.kind * 17 + 3);
    }

    const uint32_t size = static_cast<uint32_t>(data.size());
    if (r.rwSize > size)
        return generator_fail(err, "the read-write size exceeds the data size " + std::to_string(size));
    const uint32_t ro = r.roSize >= 0 ? static_cast<uint32_t>(r.roSize) : size - r.rwSize;
    if (ro + r.rwSize != size)
        return generator_fail(err, "read-only and read-write sizes must add up to the data size " +
                                       std::to_string(size));
    if (ro % 4 || r.rwSize % 4)
        return generator_fail(err, "the read-only and read-write sizes must be multiples of 4");

    uint32_t word14 = 0;
    if (r.word14 >= 0) {
        word14 = static_cast<uint32_t>(r.word14);
    } else if (r.kind == AIF_KIND_AWC) {
        word14 = kAifDefaultAwcVersion;
    } else if (r.kind == AIF_KIND_FWC) {
        word14 = static_cast<uint32_t>(kAifFwcType) << 24 | static_cast<uint32_t>(r.id < 0 ? kAifDefaultFwcId : r.id)
                                                                  << 16;
    } else if (!r.prgs.empty()) {
        word14 = prg_program_id(r.prgs[0]);
    } else if (r.kind == AIF_KIND_BWC) {
        PrgRecipe boot;
        boot.type = kPrgTypeBoot;
        word14 = prg_program_id(boot);
    }

    const bool keyed = !r.kekId.empty() && (r.kind == AIF_KIND_AWC || r.kind == AIF_KIND_FWC);
    if (r.kind == AIF_KIND_AWC) {
        if (size < 4)
            return generator_fail(err, "an AWC image holds at least its version word");
        // The block must not cover the flag word or the id word.
        if (keyed && (ro < kAwcMinSigned ||
                      (size >= kAifAwcIdOffset + 4 && ro - kKeyBlockBack < kAifAwcIdOffset + 4 && ro - 4 > kAifAwcIdOffset)))
            return generator_fail(err, "the key block of a signed AWC image must lie in its read-only data between "
                                       "offset 16 and the id word");
        fill_awc(r, ro, word14, data);
    } else if (r.kind == AIF_KIND_FWC) {
        if (size < kPrgHeaderSize + (keyed ? kPrgKeyBlockSize : 0))
            return generator_fail(err, "an FWC image holds its 48-byte header and its key block");
        fill_fwc(r, word14, data);
    }

    const uint32_t trailer = r.checksumKind == 1 ? 4 : 0;
    image.assign(kAifHeaderSize, 0);
    set_word(image, 0, (r.faults & AIF_FAULT_NOT_AIF) ? kNotAifWord : kAifMark);
    set_word(image, 8, (r.faults & AIF_FAULT_BAD_KIND) ? kUnknownKindWord : aif_kind_word(r.kind));
    set_word(image, 12, keyed ? kKeyFlag : 0);
    set_word(image, 16, r.areaType >= 0 ? static_cast<uint32_t>(r.areaType) : default_area(r.kind));
    set_word(image, 20, ro);
    set_word(image, 24, r.rwSize);
    set_word(image, 40, r.base);
    set_word(image, 44, r.eraseLength >= 0 ? static_cast<uint32_t>(r.eraseLength)
                                           : (size + kEraseStep - 1) / kEraseStep * kEraseStep);
    set_word(image, 56, word14);
    image.insert(image.end(), data.begin(), data.end());
    if (trailer) {
        image.resize(image.size() + 4);
        uint32_t sum = fold_closer(image, 0, image.size() - 4);
        set_word(image, image.size() - 4, (r.faults & AIF_FAULT_CHECKSUM) ? sum ^ 1 : sum);
    }
    stride = kAifHeaderSize + trailer + ro;
    return true;
}

bool build_file(const std::vector<AifRecipe> &recipes, bool allSet, std::vector<uint8_t> &out, std::string *err)
{
    if (recipes.empty())
        return generator_fail(err, "no image to build");
    std::vector<uint8_t> file;
    uint64_t at = 0;
    uint64_t lastEnd = 0;
    unsigned faults = 0;
    for (const AifRecipe &r : recipes) {
        if (allSet && r.checksumKind != recipes[0].checksumKind)
            return generator_fail(err, "the images of a set take one checksum kind");
        std::vector<uint8_t> image;
        uint32_t stride = 0;
        if (!build_image(r, image, stride, err))
            return false;
        lastEnd = at + image.size();
        if (lastEnd + 4 > kAifMaxFileSize)
            return generator_fail(err, "the file is at most " + std::to_string(kAifMaxFileSize) + " bytes");
        if (file.size() < lastEnd)
            file.resize(static_cast<size_t>(lastEnd));
        std::memcpy(&file[static_cast<size_t>(at)], image.data(), image.size());
        at += stride;
        faults |= r.faults;
    }
    const bool finalWord = allSet && recipes[0].checksumKind == 1;
    if ((faults & AIF_FAULT_FILE_CHECKSUM) && !finalWord)
        return generator_fail(err, "the file-checksum fault needs an .ALL set of checksum kind 1");
    if (finalWord) {
        // The product folds (total + 4) / 4 words from the start.
        const size_t total = static_cast<size_t>(at);
        if (file.size() < total + 4)
            file.resize(total + 4);
        uint32_t sum = fold_closer(file, 0, total);
        set_word(file, total, (faults & AIF_FAULT_FILE_CHECKSUM) ? sum ^ 1 : sum);
    }
    if (faults & AIF_FAULT_SHORT)
        file.resize(lastEnd >= 4 ? static_cast<size_t>(lastEnd - 4) : 0);
    out.swap(file);
    return true;
}

const char *const kKindNames[] = {"awc", "dwc", "bwc", "fwc"};

// "TYPE:ID[:VERSION]".
bool parse_prg(const std::string &text, PrgRecipe &p)
{
    size_t first = text.find(':');
    if (first == std::string::npos)
        return false;
    size_t second = text.find(':', first + 1);
    uint64_t type = 0, id = 0;
    if (!parse_generator_number(text.substr(0, first), 0xFF, type) ||
        !parse_generator_number(text.substr(first + 1, second == std::string::npos ? second : second - first - 1),
                                0xFF, id))
        return false;
    p = PrgRecipe();
    p.type = static_cast<uint8_t>(type);
    p.id = static_cast<int>(id);
    if (second != std::string::npos)
        p.version = text.substr(second + 1);
    return true;
}

// A DWC or BWC image given no PRG carries the kind's default one, with the
// id given.
void finish_image(AifRecipe &r)
{
    if ((r.kind == AIF_KIND_DWC || r.kind == AIF_KIND_BWC) && r.prgs.empty()) {
        PrgRecipe p;
        if (r.kind == AIF_KIND_BWC)
            p.type = kPrgTypeBoot;
        p.id = r.id;
        r.prgs.push_back(p);
        r.id = -1;
    }
}

// One image option with its value: false with *err set when it is unknown
// or its value is bad.
bool image_option(const std::string &opt, const std::string &value, AifRecipe &r, std::string *err)
{
    uint64_t v = 0;
    const bool number = parse_generator_number(value, 0xFFFFFFFFull, v);
    const std::string bad = "bad " + opt + ": " + value;
    if (opt == "--kind") {
        for (int k = AIF_KIND_AWC; k <= AIF_KIND_FWC; ++k)
            if (value == kKindNames[k]) {
                r.kind = static_cast<AifKind>(k);
                return true;
            }
        return generator_fail(err, bad);
    }
    if (opt == "--kek") {
        r.kekId = value;
    } else if (opt == "--fault") {
        unsigned bit = 0;
        if (!aif_fault_from_name(value, bit))
            return generator_fail(err, "unknown fault: " + value);
        r.faults |= bit;
    } else if (opt == "--prg") {
        PrgRecipe p;
        if (!parse_prg(value, p))
            return generator_fail(err, bad + " (TYPE:ID[:VERSION])");
        r.prgs.push_back(p);
    } else if (opt == "--area" || opt == "--id") {
        if (!number || v > 0xFF)
            return generator_fail(err, bad);
        (opt == "--area" ? r.areaType : r.id) = static_cast<int>(v);
    } else if (opt == "--ro" || opt == "--rw") {
        if (!number || v > kAifMaxDataSize)
            return generator_fail(err, bad + " (at most " + std::to_string(kAifMaxDataSize) + ")");
        if (opt == "--ro")
            r.roSize = static_cast<int64_t>(v);
        else
            r.rwSize = static_cast<uint32_t>(v);
    } else if (opt == "--checksum-kind") {
        if (value != "1" && value != "2")
            return generator_fail(err, bad);
        r.checksumKind = value[0] - '0';
    } else if (opt == "--base" || opt == "--erase" || opt == "--version") {
        if (!number)
            return generator_fail(err, bad);
        if (opt == "--base")
            r.base = static_cast<uint32_t>(v);
        else
            (opt == "--erase" ? r.eraseLength : r.word14) = static_cast<int64_t>(v);
    } else {
        return generator_fail(err, "unknown option: " + opt);
    }
    return true;
}

} // namespace

uint32_t aif_kind_word(AifKind kind)
{
    static const uint32_t kWords[] = {0xE1A01001u, 0xE1A02002u, 0xE1A03003u, 0xE1A04004u};
    return kind >= AIF_KIND_AWC && kind <= AIF_KIND_FWC ? kWords[kind] : 0;
}

AifRecipe aif_default_recipe(AifKind kind)
{
    AifRecipe r;
    r.kind = kind;
    finish_image(r);
    return r;
}

bool build_aif(const std::vector<AifRecipe> &recipes, std::vector<uint8_t> &out, std::string *err)
{
    return build_file(recipes, recipes.size() > 1, out, err);
}

bool build_aif_set(const std::vector<AifRecipe> &recipes, std::vector<uint8_t> &out, std::string *err)
{
    return build_file(recipes, true, out, err);
}

bool write_aif(const std::vector<AifRecipe> &recipes, bool allSet, const std::string &path, std::string *err)
{
    std::vector<uint8_t> bytes;
    if (!build_file(recipes, allSet || recipes.size() > 1, bytes, err))
        return false;
    return write_file_atomic(path, std::string(bytes.begin(), bytes.end()), err);
}

bool aif_fault_from_name(const std::string &name, unsigned &fault)
{
    static const GeneratorFault kFaults[] = {
        {"checksum", AIF_FAULT_CHECKSUM}, {"file-checksum", AIF_FAULT_FILE_CHECKSUM},
        {"short", AIF_FAULT_SHORT},       {"not-aif", AIF_FAULT_NOT_AIF},
        {"bad-kind", AIF_FAULT_BAD_KIND}, {"no-end-mark", AIF_FAULT_NO_END_MARK},
    };
    return generator_fault_bit(kFaults, sizeof kFaults / sizeof kFaults[0], name, fault);
}

bool aif_recipe_from_args(const std::vector<std::string> &args, std::vector<AifRecipe> &recipes, bool &allSet,
                          std::string &output, std::string *err)
{
    recipes.assign(1, AifRecipe());
    allSet = false;
    output.clear();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &opt = args[i];
        if (opt == "--all") {
            allSet = true;
            continue;
        }
        if (opt == "--image") {
            recipes.push_back(AifRecipe());
            continue;
        }
        if (i + 1 >= args.size())
            return generator_fail(err, "missing value for " + opt);
        const std::string &value = args[++i];
        if (opt == "-o" || opt == "--output")
            output = value;
        else if (!image_option(opt, value, recipes.back(), err))
            return false;
    }
    if (output.empty())
        return generator_fail(err, "-o FILE is required");
    for (AifRecipe &r : recipes)
        finish_image(r);
    return true;
}

} // namespace hlvdsim
