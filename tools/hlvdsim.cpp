// Command line of the simulated machine.
#include <cstdio>
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

int cmd_make_ufi(int argc, char **argv)
{
    std::vector<std::string> args(argv + 2, argv + argc);
    hlvdsim::UfiSpec spec;
    std::string output;
    std::string err;
    if (!hlvdsim::ufi_spec_from_args(args, spec, output, &err)) {
        std::fprintf(stderr, "hlvdsim make-ufi: %s\n", err.c_str());
        usage();
        return 2;
    }
    if (!hlvdsim::write_ufi(spec, output, &err)) {
        std::fprintf(stderr, "hlvdsim make-ufi: %s\n", err.c_str());
        return 1;
    }
    std::printf("gen-%d UFI image written to %s\n", spec.generation, output.c_str());
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
