// Command line of the simulated machine.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "sim/command_log.h"
#include "sim/fault_plan.h"
#include "sim/fc_hba.h"
#include "sim/flash_model.h"
#include "sim/aif_generator.h"
#include "sim/grp_generator.h"
#include "sim/prg_generator.h"
#include "sim/raw_generator.h"
#include "sim/machine.h"
#include "sim/ufi_generator.h"
#include "sim/varrow_object.h"
#include "sim/vf_model.h"

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: hlvdsim create DIR [MACHINE.json]\n"
                 "       hlvdsim show DIR\n"
                 "       hlvdsim reboot DIR [ADAPTER]\n"
                 "       hlvdsim make-ufi --generation 2|3|4 --version V [OPTIONS] -o FILE\n"
                 "       hlvdsim make-obj --version V [--size N] [--big-endian] [--fault NAME]... -o FILE\n"
                 "           a Varrow firmware object file; faults: bad-magic, bad-size, bad-type, short\n"
                 "       hlvdsim make-grp --version V [--gen6] [--size N] [--fault NAME]... -o FILE\n"
                 "           a grouped FC image; faults: short, bad-magic, bad-signature, odd-length\n"
                 "       hlvdsim make-prg [--type N] [--id N] [--rev N] [--id1 N] [--version TEXT] [--size N]\n"
                 "                        [--device-id N] [--kek ID] [--fault NAME]... -o FILE\n"
                 "           a PRG image (type 3: a boot image); faults: header-checksum, file-checksum,\n"
                 "           extra-byte, short\n"
                 "       hlvdsim make-raw --size N [--fault bad-vector|bad-ninth|odd]... -o FILE\n"
                 "           a raw flash image for direct programming (odd: an odd --size)\n"
                 "       hlvdsim make-aif [--all] [IMAGE] [--image IMAGE]... -o FILE\n"
                 "           IMAGE: [--kind awc|dwc|bwc|fwc] [--area N] [--base N] [--erase N] [--ro N] [--rw N]\n"
                 "                  [--version N] [--id N] [--prg TYPE:ID[:VERSION]]... [--checksum-kind 1|2]\n"
                 "                  [--kek ID] [--fault NAME]...\n"
                 "           an AIF image; several, or --all, an .ALL set; faults: checksum, file-checksum,\n"
                 "           short, not-aif, bad-kind, no-end-mark\n"
                 "       hlvdsim fault add DIR [MATCH...] KIND [--always] [--from N]\n"
                 "           MATCH: --adapter NAME --pci PCI --driver nic|iscsi --path callback|legacy\n"
                 "                  --callback ID --ioctl N --subsystem N --opcode N --version N\n"
                 "           KIND:  --status S [--additional A] [--actual-length L] [--with-answer]\n"
                 "                  --transport init|invoke|driver|errno [--errno E]\n"
                 "                  --short LENGTH | --power-loss LENGTH\n"
                 "       hlvdsim fault list DIR\n"
                 "       hlvdsim fault clear DIR\n"
                 "       hlvdsim log show DIR\n"
                 "       hlvdsim log clear DIR\n"
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

bool number_arg(const char *text, long *out)
{
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 0);
    if (errno != 0 || end == text || *end != '\0')
        return false;
    *out = v;
    return true;
}

bool has_machine(const char *dir)
{
    hlvdsim::Machine m;
    std::string err;
    if (hlvdsim::load_machine(dir, m, &err))
        return true;
    std::fprintf(stderr, "hlvdsim: %s is not a simulated host: %s\n", dir, err.c_str());
    return false;
}

int cmd_fault_add(int argc, char **argv)
{
    if (argc < 4 || !has_machine(argv[3]))
        return usage();
    hlvdsim::FaultSpec f;
    for (int i = 4; i < argc; ++i) {
        std::string opt = argv[i];
        if (opt == "--always") {
            f.always = true;
            continue;
        }
        if (opt == "--with-answer") {
            f.answer = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "hlvdsim: %s needs a value\n", opt.c_str());
            return 2;
        }
        const char *val = argv[++i];
        long n = 0;
        bool numeric = number_arg(val, &n);
        auto need_number = [&]() {
            if (!numeric)
                std::fprintf(stderr, "hlvdsim: %s needs a number, not '%s'\n", opt.c_str(), val);
            return numeric;
        };
        if (opt == "--adapter")
            f.adapter = val;
        else if (opt == "--pci")
            f.pci = val;
        else if (opt == "--driver")
            f.driver = val;
        else if (opt == "--path")
            f.path = val;
        else if (opt == "--callback" && need_number())
            f.callback = n;
        else if (opt == "--ioctl" && need_number())
            f.ioctl = n;
        else if (opt == "--subsystem" && need_number())
            f.subsystem = static_cast<int>(n);
        else if (opt == "--opcode" && need_number())
            f.opcode = static_cast<int>(n);
        else if (opt == "--version" && need_number())
            f.version = static_cast<int>(n);
        else if (opt == "--status" && need_number()) {
            f.kind = "status";
            f.status = static_cast<int>(n);
        } else if (opt == "--additional" && need_number())
            f.additional_status = static_cast<int>(n);
        else if (opt == "--actual-length" && need_number())
            f.actual_length = n;
        else if (opt == "--transport") {
            f.kind = "transport";
            f.how = val;
        } else if (opt == "--errno" && need_number())
            f.err = static_cast<int>(n);
        else if (opt == "--short" && need_number()) {
            f.kind = "short";
            f.length = n;
        } else if (opt == "--power-loss" && need_number()) {
            f.kind = "power-loss";
            f.length = n;
        } else if (opt == "--from" && need_number())
            f.from = static_cast<int>(n);
        else {
            static const char *const numeric_options[] = {
                "--callback",   "--ioctl",         "--subsystem", "--opcode", "--version",    "--status",
                "--additional", "--actual-length", "--errno",     "--short",  "--power-loss", "--from"};
            bool known = false;
            for (const char *o : numeric_options)
                known = known || opt == o;
            if (!known) // a known one has said what is wrong with its value
                std::fprintf(stderr, "hlvdsim: unknown option %s\n", opt.c_str());
            return 2;
        }
    }
    std::string err;
    int id = hlvdsim::fault_add(argv[3], f, &err);
    if (id == 0) {
        std::fprintf(stderr, "hlvdsim: %s\n", err.c_str());
        return 1;
    }
    std::printf("fault %d planned\n", id);
    return 0;
}

int cmd_fault(int argc, char **argv)
{
    if (argc < 4)
        return usage();
    std::string what = argv[2];
    if (what == "add")
        return cmd_fault_add(argc, argv);
    if (argc != 4 || !has_machine(argv[3]))
        return usage();
    if (what == "list") {
        for (const auto &f : hlvdsim::fault_list(argv[3]))
            std::printf("%s\n", f.dump().c_str());
        return 0;
    }
    if (what == "clear") {
        hlvdsim::fault_clear(argv[3]);
        return 0;
    }
    return usage();
}

int cmd_log(int argc, char **argv)
{
    if (argc != 4 || !has_machine(argv[3]))
        return usage();
    std::string what = argv[2];
    if (what == "show") {
        for (const auto &e : hlvdsim::log_read(argv[3]))
            std::printf("%s\n", e.dump().c_str());
        return 0;
    }
    if (what == "clear") {
        hlvdsim::log_clear(argv[3]);
        return 0;
    }
    return usage();
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

// The state an FC-side function answers from, on one line below it.
void print_fc_state(const std::string &sysroot, int board)
{
    hlvdsim::json st = hlvdsim::fc_state(sysroot, board);
    if (!st.is_object()) {
        std::printf("      board %d: state unreadable\n", board);
        return;
    }
    std::string regions;
    for (auto it = st["regions"].begin(); it != st["regions"].end(); ++it) {
        regions += " " + it.key() + ":" + std::to_string(it.value().value("data", "").size() / 2);
        if (it.value().value("recreate", false))
            regions += "(must re-create)";
    }
    std::string temp = st["temperature"].is_null() ? "n/a" : st["temperature"].dump();
    std::printf("      board %d  jedec 0x%04X  fw %s  temp %s  link %s  persist-down %s  resets %s  restarts %s"
                "  dump-env %s  loopback %s  env %s  ffv %s  regions%s\n",
                board, st.value("jedec", 0u), st.value("fw_name", "").c_str(), temp.c_str(),
                st["link_state"].dump().c_str(), st["persist_link_down"].dump().c_str(), st["resets"].dump().c_str(),
                st["restarts"].dump().c_str(), st["dump_env"].dump().c_str(), st["loopback"].dump().c_str(),
                st["board_env"].dump().c_str(), st["sli"]["ffv_name"].dump().c_str(), regions.c_str());
    std::string objects;
    for (const char *name : {"/prg", "/vpd/fc_pf.vpd"}) {
        std::vector<uint8_t> bytes;
        if (hlvdsim::fc_object_bytes(sysroot, board, name, bytes))
            objects += std::string(" ") + name + ":" + std::to_string(bytes.size());
    }
    if (st.contains("exp_rom") && st["exp_rom"].is_array() && st["exp_rom"].size() == 2)
        objects += "  expansion ROM " + st["exp_rom"][0].dump() + ":" + st["exp_rom"][1].dump();
    if (!objects.empty())
        std::printf("        objects%s\n", objects.c_str());
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
    int board = 0;
    for (const hlvdsim::Adapter &a : m.adapters) {
        size_t ai = static_cast<size_t>(&a - m.adapters.data());
        const hlvdsim::json &fw = m.doc["adapters"][ai].value("firmware", hlvdsim::json::object());
        bool pending = fw.is_object() && fw.value("pending_reset", false);
        std::printf("%-10s %-9s %-8s serial %-12s active %-14s flash %-14s boot %s%s\n", a.name.c_str(),
                    a.family.c_str(), a.generation.c_str(), a.serial.c_str(), a.active_version.c_str(),
                    a.flash_version.c_str(), a.boot_version.c_str(), pending ? "  (flash runs after a reset)" : "");
        for (const hlvdsim::Function &f : a.functions) {
            std::string driver;
            if (a.family == "converged")
                driver = "  driver " + f.driver + (f.kind == "nic" ? " " + f.ifname : " " + f.vmhba);
            std::printf("    %04X:%02X:%02X.%X  %-5s  %04X:%04X %04X:%04X rev %02X  port %d  %s%s\n", f.segment,
                        f.bus, f.device, f.function, f.kind.c_str(), f.vendor, f.device_id, f.subvendor,
                        f.subdevice, f.revision, f.port, !f.mac.empty() ? f.mac.c_str() : f.wwpn.c_str(),
                        driver.c_str());
            if (f.kind == "fc" || f.kind == "fcoe")
                print_fc_state(argv[2], board++);
        }
    }
    return 0;
}

int cmd_reboot(int argc, char **argv)
{
    if (argc < 3 || argc > 4 || !has_machine(argv[2]))
        return usage();
    std::vector<std::string> done;
    std::string err;
    if (!hlvdsim::reboot_adapters(argv[2], argc == 4 ? argv[3] : "", &done, &err)) {
        std::fprintf(stderr, "hlvdsim: %s\n", err.c_str());
        return 1;
    }
    for (const std::string &name : done)
        std::printf("%s rebooted\n", name.c_str());
    return 0;
}

int cmd_make_obj(int argc, char **argv)
{
    std::vector<std::string> args(argv + 2, argv + argc);
    hlvdsim::VarrowObjectSpec recipe;
    std::string output;
    std::string err;
    if (!hlvdsim::varrow_spec_from_args(args, recipe, output, &err)) {
        std::fprintf(stderr, "hlvdsim make-obj: %s\n", err.c_str());
        usage();
        return 2;
    }
    if (!hlvdsim::write_varrow_object(recipe, output, &err)) {
        std::fprintf(stderr, "hlvdsim make-obj: %s\n", err.c_str());
        return 1;
    }
    std::printf("Varrow firmware object written to %s\n", output.c_str());
    return 0;
}

int cmd_make_grp(int argc, char **argv)
{
    std::vector<std::string> args(argv + 2, argv + argc);
    hlvdsim::GrpRecipe recipe;
    std::string output;
    std::string err;
    if (!hlvdsim::grp_recipe_from_args(args, recipe, output, &err)) {
        std::fprintf(stderr, "hlvdsim make-grp: %s\n", err.c_str());
        usage();
        return 2;
    }
    if (!hlvdsim::write_grp(recipe, output, &err)) {
        std::fprintf(stderr, "hlvdsim make-grp: %s\n", err.c_str());
        return 1;
    }
    std::printf("grouped FC image written to %s\n", output.c_str());
    return 0;
}

int cmd_make_prg(int argc, char **argv)
{
    std::vector<std::string> args(argv + 2, argv + argc);
    hlvdsim::PrgRecipe recipe;
    std::string output;
    std::string err;
    if (!hlvdsim::prg_recipe_from_args(args, recipe, output, &err)) {
        std::fprintf(stderr, "hlvdsim make-prg: %s\n", err.c_str());
        usage();
        return 2;
    }
    if (!hlvdsim::write_prg(recipe, output, &err)) {
        std::fprintf(stderr, "hlvdsim make-prg: %s\n", err.c_str());
        return 1;
    }
    std::printf("PRG image written to %s\n", output.c_str());
    return 0;
}

int cmd_make_raw(int argc, char **argv)
{
    hlvdsim::RawRecipe recipe;
    std::string output, err;
    if (!hlvdsim::raw_recipe_from_args(std::vector<std::string>(argv + 2, argv + argc), recipe, output, &err)) {
        std::fprintf(stderr, "hlvdsim make-raw: %s\n", err.c_str());
        usage();
        return 2;
    }
    if (!hlvdsim::write_raw(recipe, output, &err)) {
        std::fprintf(stderr, "hlvdsim make-raw: %s\n", err.c_str());
        return 1;
    }
    std::printf("raw flash image written to %s\n", output.c_str());
    return 0;
}

int cmd_make_aif(int argc, char **argv)
{
    std::vector<hlvdsim::AifRecipe> recipes;
    bool allSet = false;
    std::string output, err;
    if (!hlvdsim::aif_recipe_from_args(std::vector<std::string>(argv + 2, argv + argc), recipes, allSet, output,
                                       &err)) {
        std::fprintf(stderr, "hlvdsim make-aif: %s\n", err.c_str());
        usage();
        return 2;
    }
    if (!hlvdsim::write_aif(recipes, allSet, output, &err)) {
        std::fprintf(stderr, "hlvdsim make-aif: %s\n", err.c_str());
        return 1;
    }
    std::printf("%zu AIF image(s) written to %s\n", recipes.size(), output.c_str());
    return 0;
}

int cmd_make_ufi(int argc, char **argv)
{
    std::vector<std::string> args(argv + 2, argv + argc);
    hlvdsim::UfiSpec recipe;
    std::string output;
    std::string err;
    if (!hlvdsim::ufi_spec_from_args(args, recipe, output, &err)) {
        std::fprintf(stderr, "hlvdsim make-ufi: %s\n", err.c_str());
        usage();
        return 2;
    }
    if (!hlvdsim::write_ufi(recipe, output, &err)) {
        std::fprintf(stderr, "hlvdsim make-ufi: %s\n", err.c_str());
        return 1;
    }
    std::printf("gen-%d UFI image written to %s\n", recipe.generation, output.c_str());
    return 0;
}

int run(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    if (std::strcmp(argv[1], "create") == 0)
        return cmd_create(argc, argv);
    if (std::strcmp(argv[1], "show") == 0)
        return cmd_show(argc, argv);
    if (std::strcmp(argv[1], "reboot") == 0)
        return cmd_reboot(argc, argv);
    if (std::strcmp(argv[1], "make-ufi") == 0)
        return cmd_make_ufi(argc, argv);
    if (std::strcmp(argv[1], "make-grp") == 0)
        return cmd_make_grp(argc, argv);
    if (std::strcmp(argv[1], "make-prg") == 0)
        return cmd_make_prg(argc, argv);
    if (std::strcmp(argv[1], "make-raw") == 0)
        return cmd_make_raw(argc, argv);
    if (std::strcmp(argv[1], "make-aif") == 0)
        return cmd_make_aif(argc, argv);
    if (std::strcmp(argv[1], "make-obj") == 0)
        return cmd_make_obj(argc, argv);
    if (std::strcmp(argv[1], "fault") == 0)
        return cmd_fault(argc, argv);
    if (std::strcmp(argv[1], "log") == 0)
        return cmd_log(argc, argv);
    return usage();
}

// Run under the name "ip", the tool stands in for the host's ip command
// (tests put a link of that name first in PATH).
bool called_as_ip(const char *argv0)
{
    const char *slash = std::strrchr(argv0, '/');
    return std::strcmp(slash ? slash + 1 : argv0, "ip") == 0;
}

int run_ip(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string err;
    int code = hlvdsim::run_ip_command(hlvdsim::current_sysroot(), args, &err);
    if (code != 0)
        std::fprintf(stderr, "%s\n", err.c_str());
    return code;
}

} // namespace

int main(int argc, char **argv)
{
    try {
        if (argc > 0 && called_as_ip(argv[0]))
            return run_ip(argc, argv);
        return run(argc, argv);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "hlvdsim: %s\n", e.what());
        return 1;
    }
}
