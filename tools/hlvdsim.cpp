// Command line of the simulated machine.
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/machine.h"

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: hlvdsim create DIR [MACHINE.json]\n"
                 "       hlvdsim show DIR\n");
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

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    if (std::strcmp(argv[1], "create") == 0)
        return cmd_create(argc, argv);
    if (std::strcmp(argv[1], "show") == 0)
        return cmd_show(argc, argv);
    return usage();
}
