// Command line of the simulated machine.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sim/machine.h"
#include "sim/ufi_generator.h"

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: hlvdsim create DIR [MACHINE.json]\n"
                 "       hlvdsim show DIR\n"
                 "       hlvdsim make-ufi --generation 2|3|4 --version V [OPTIONS] -o FILE\n"
                 "\n"
                 "make-ufi options (numbers in decimal or 0x hexadecimal):\n"
                 "  --asic-support N          ASIC_Support of a gen-3/gen-4 header\n"
                 "  --build TEXT              FH_Build exactly as given (up to 24 characters)\n"
                 "  --digit C                 generation digit of the build string\n"
                 "  --ufi-version TEXT        FH_UFI_Version of a gen-3/gen-4 header\n"
                 "  --vendor-id ID, --device-id ID, --subvendor-id ID, --subdevice-id ID\n"
                 "                            the gen-2 header's controller and the directory's only id\n"
                 "  --dir-id VEN:DEV:SUBVEN:SUBDEV   a directory controller id (repeat, up to 8)\n"
                 "  --component TYPE[:SIZE[:OPTYPE]] a component (repeat; gen-3 types of the fixed\n"
                 "                            table, gen-4 any type with its slot size and op type)\n"
                 "  --no-components           a directory without components\n"
                 "  --image-id N              a gen-3/gen-4 image header (repeat)\n"
                 "  --compact                 gen-2: header and directory only (not flashable)\n"
                 "  --dir-offset N            file offset of the flash directory\n"
                 "  --dir-count N             num_of_images of a gen-3/gen-4 directory\n"
                 "  --fault NAME              long, short, cookie-misplaced, no-cookie,\n"
                 "                            bad-signature, bad-entries (repeat)\n");
    return 2;
}

int cmd_create(int argc, char **argv)
{
    if (argc < 3 || argc > 4)
        return usage();
    std::string machine = argc == 4 ? argv[3] : hlvdsim::default_machine_path();
    std::string err;
    if (!hlvdsim::create_host(argv[2], machine, &err)) {
        std::fprintf(stderr, "hlvdsim: %s\n", err.c_str());
        return 1;
    }
    std::printf("simulated host created in %s from %s\n", argv[2], machine.c_str());
    return 0;
}

int cmd_show(int argc, char **argv)
{
    if (argc != 3)
        return usage();
    hlvdsim::Machine m;
    std::string err;
    if (!hlvdsim::load_machine(argv[2], m, &err)) {
        std::fprintf(stderr, "hlvdsim: %s\n", err.c_str());
        return 1;
    }
    for (const hlvdsim::Adapter &a : m.adapters) {
        std::printf("%-10s %-9s %-8s serial %-12s active %-14s flash %-14s boot %s\n", a.name.c_str(),
                    a.family.c_str(), a.generation.c_str(), a.serial.c_str(), a.active_version.c_str(),
                    a.flash_version.c_str(), a.boot_version.c_str());
        for (const hlvdsim::Function &f : a.functions) {
            std::printf("    %04X:%02X:%02X.%X  %-5s  %04X:%04X %04X:%04X rev %02X  port %d  %s\n", f.segment,
                        f.bus, f.device, f.function, f.kind.c_str(), f.vendor, f.device_id, f.subvendor,
                        f.subdevice, f.revision, f.port, !f.mac.empty() ? f.mac.c_str() : f.wwpn.c_str());
        }
    }
    return 0;
}

bool parse_number(const char *text, uint64_t max, uint64_t &value)
{
    if (!text || !*text)
        return false;
    errno = 0;
    char *end = nullptr;
    unsigned long long v = std::strtoull(text, &end, 0);
    if (errno != 0 || *end != '\0' || v > max || text[0] == '-')
        return false;
    value = v;
    return true;
}

bool parse_u32(const char *text, uint32_t &value)
{
    uint64_t v;
    if (!parse_number(text, 0xFFFFFFFFu, v))
        return false;
    value = static_cast<uint32_t>(v);
    return true;
}

// Splits "a:b:c" into at most `max` fields.
bool split_fields(const char *text, uint32_t *fields, size_t min, size_t max, size_t &count)
{
    std::string s = text;
    count = 0;
    size_t start = 0;
    while (true) {
        size_t colon = s.find(':', start);
        std::string part = s.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (count == max || !parse_u32(part.c_str(), fields[count]))
            return false;
        ++count;
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return count >= min;
}

int make_ufi_error(const char *what, const char *value)
{
    std::fprintf(stderr, "hlvdsim make-ufi: %s%s%s\n", what, value ? ": " : "", value ? value : "");
    return 2;
}

int cmd_make_ufi(int argc, char **argv)
{
    int generation = 0;
    const char *version = nullptr;
    const char *output = nullptr;
    // Options are collected first: the defaults depend on the generation.
    struct Pending {
        const char *name;
        const char *value;
    };
    std::vector<Pending> options;
    for (int i = 2; i < argc; ++i) {
        std::string opt = argv[i];
        bool flag = opt == "--no-components" || opt == "--compact";
        if (!flag && i + 1 >= argc)
            return make_ufi_error("missing value for", argv[i]);
        const char *value = flag ? nullptr : argv[++i];
        if (opt == "--generation") {
            uint64_t g;
            if (!parse_number(value, 4, g) || g < 2)
                return make_ufi_error("the generation must be 2, 3 or 4", value);
            generation = static_cast<int>(g);
        } else if (opt == "--version") {
            version = value;
        } else if (opt == "-o" || opt == "--output") {
            output = value;
        } else {
            options.push_back({argv[flag ? i : i - 1], value});
        }
    }
    if (!generation || !output)
        return usage();
    hlvdsim::UfiSpec spec = hlvdsim::default_ufi_spec(generation, version ? version : "");

    bool idGiven = false, dirIdsGiven = false, componentsGiven = false, imageIdsGiven = false;
    for (const Pending &p : options) {
        std::string opt = p.name;
        uint32_t n = 0;
        if (opt == "--asic-support") {
            if (generation == 2)
                return make_ufi_error("gen-2 headers have no ASIC_Support", nullptr);
            if (!parse_u32(p.value, n) || n > 0xFF)
                return make_ufi_error("bad ASIC_Support", p.value);
            spec.asic_support = static_cast<uint8_t>(n);
        } else if (opt == "--build") {
            spec.raw_build = true;
            spec.build = p.value;
        } else if (opt == "--digit") {
            if (std::strlen(p.value) != 1)
                return make_ufi_error("the digit is one character", p.value);
            spec.digit = p.value[0];
        } else if (opt == "--ufi-version") {
            spec.ufi_version = p.value;
        } else if (opt == "--vendor-id" || opt == "--device-id" || opt == "--subvendor-id" ||
                   opt == "--subdevice-id") {
            if (!parse_u32(p.value, n))
                return make_ufi_error("bad id", p.value);
            uint32_t *field = opt == "--vendor-id"      ? &spec.header_id.vendor
                              : opt == "--device-id"    ? &spec.header_id.device
                              : opt == "--subvendor-id" ? &spec.header_id.subvendor
                                                        : &spec.header_id.subdevice;
            *field = n;
            idGiven = true;
        } else if (opt == "--dir-id") {
            uint32_t f[4];
            size_t count;
            if (!split_fields(p.value, f, 4, 4, count))
                return make_ufi_error("a directory id is VEN:DEV:SUBVEN:SUBDEV", p.value);
            if (!dirIdsGiven)
                spec.dir_ids.clear();
            dirIdsGiven = true;
            spec.dir_ids.push_back({f[0], f[1], f[2], f[3]});
        } else if (opt == "--component") {
            uint32_t f[3];
            size_t count;
            if (!split_fields(p.value, f, 1, 3, count))
                return make_ufi_error("a component is TYPE[:SIZE[:OPTYPE]]", p.value);
            if (!componentsGiven)
                spec.components.clear();
            componentsGiven = true;
            hlvdsim::UfiComponent c;
            c.entry_type = f[0];
            c.max_size = count > 1 ? f[1] : 0x4000;
            c.op_type = count > 2 ? f[2] : hlvdsim::ufi_trelmont_op_type(f[0]);
            if (generation == 3 && count > 1)
                return make_ufi_error("gen-3 component sizes are fixed", p.value);
            spec.components.push_back(c);
        } else if (opt == "--no-components") {
            spec.components.clear();
            componentsGiven = true;
        } else if (opt == "--image-id") {
            if (!parse_u32(p.value, n))
                return make_ufi_error("bad image id", p.value);
            if (!imageIdsGiven)
                spec.image_ids.clear();
            imageIdsGiven = true;
            spec.image_ids.push_back(n);
        } else if (opt == "--compact") {
            spec.compact = true;
        } else if (opt == "--dir-offset") {
            if (!parse_u32(p.value, n))
                return make_ufi_error("bad directory offset", p.value);
            spec.dir_offset = n;
        } else if (opt == "--dir-count") {
            if (!parse_u32(p.value, n))
                return make_ufi_error("bad directory count", p.value);
            spec.dir_count = n;
        } else if (opt == "--fault") {
            unsigned bit;
            if (!hlvdsim::ufi_fault_from_name(p.value, bit))
                return make_ufi_error("unknown fault", p.value);
            spec.faults |= bit;
        } else {
            return make_ufi_error("unknown option", p.name);
        }
    }
    if (!version && !spec.raw_build)
        return make_ufi_error("--version is required (or --build)", nullptr);
    if (idGiven && !dirIdsGiven)
        spec.dir_ids = {spec.header_id};

    std::string err;
    if (!hlvdsim::write_ufi(spec, output, &err)) {
        std::fprintf(stderr, "hlvdsim make-ufi: %s\n", err.c_str());
        return 1;
    }
    std::printf("gen-%d UFI image written to %s\n", generation, output);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    if (std::strcmp(argv[1], "create") == 0)
        return cmd_create(argc, argv);
    if (std::strcmp(argv[1], "show") == 0)
        return cmd_show(argc, argv);
    if (std::strcmp(argv[1], "make-ufi") == 0)
        return cmd_make_ufi(argc, argv);
    return usage();
}
