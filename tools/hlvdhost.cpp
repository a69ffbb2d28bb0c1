// A host program that does what the server maker's update framework does:
// loads libhlvdflash.so with dlopen and calls its exported functions.
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <unistd.h>

#include <rapidxml.hpp>
#include <rapidxml_utils.hpp>

// The host-owned records of the adapter information call.
#include "../flash/adapter_info.h"

namespace {

typedef int (*discovery_fn)(const char *, const char *);
typedef int (*flash_fn)(const char *, const char *);
typedef int (*flash_pci_fn)(const char *, int, int, int, int, int);
typedef int (*dump_pci_fn)(const char *, int, int, int, int, int);
typedef int (*adapter_info_fn)(ven_adapter_info *, int *, const char *);
typedef int (*version_fn)(char *, int);
typedef const char *(*text_fn)(int);
typedef int (*debug_fn)(const char *);

// The management client calls, with the library's integer codes as plain
// fixed-width integers (node tags, RM_STATUS and VEXO_status_t values).
typedef int32_t (*mal_init_fn)(char *, char *);
typedef int32_t (*mal_exit_fn)(void);
typedef int32_t (*mal_lock_fn)(void);
typedef int32_t (*get_path_fn)(const char *, char *, uint32_t *, int32_t *);
typedef int32_t (*set_path_fn)(const char *, const char *, int, int32_t *);
typedef int32_t (*do_path_fn)(const char *, int, const char *const *, int32_t *);
typedef int32_t (*last_status_fn)(int32_t *, char *);
typedef int32_t (*node_tag_fn)(int32_t, const char *, int32_t *, int);
typedef int32_t (*property_val_fn)(int32_t, int32_t, char *, int);
typedef int32_t (*child_tags_fn)(int32_t, int32_t *, unsigned int *, int);
typedef int32_t (*node_name_fn)(int32_t, char *, int);
typedef int32_t (*parent_tag_fn)(int32_t, int32_t *);

// Sizes of the management texts (terminator included).
const int kValueSize = 256;
const int kNameSize = 35;
const int kStatusTextSize = 600;
// The child-tag call writes one entry per child without a bound; no group
// of the hierarchy comes near this.
const unsigned kChildRoom = 8192;
// Node kinds, and the child selections of the child-tag call.
const int kGroup = 1, kProperty = 2, kAction = 3;

struct Library {
    void *handle = nullptr;
    template <typename F> F sym(const char *name)
    {
        void *p = dlsym(handle, name);
        if (!p) {
            std::fprintf(stderr, "hlvdhost: %s is not exported: %s\n", name, dlerror());
            std::exit(3);
        }
        return reinterpret_cast<F>(p);
    }
};

std::string default_library_path()
{
    const char *env = std::getenv("HLVD_FLASH_LIBRARY");
    if (env && env[0])
        return env;
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0)
        return "libhlvdflash.so";
    exe[n] = '\0';
    std::string dir(exe);
    dir = dir.substr(0, dir.rfind('/'));
    return dir + "/../lib/libhlvdflash.so";
}

int usage()
{
    std::fprintf(stderr,
                 "usage: hlvdhost [--log FILE] COMMAND ...\n"
                 "  discover XML IMAGEDIR\n"
                 "  flash XML PATH\n"
                 "  flash-pci FILE FORCE SEG BUS DEV FN\n"
                 "  dump-pci FILE SEG BUS DEV FN\n"
                 "  info IMAGEDIR\n"
                 "  version\n"
                 "  text CODE\n"
                 "  debug LOGFILE\n"
                 "  get PATH                  read a property, e.g. /Arcwright0/ActiveFirmwareVersion\n"
                 "  set PATH VALUE            write a property\n"
                 "  do PATH [NAME=VALUE...]   run an action with its parameters\n"
                 "  tree [PATH]               the groups, properties (with values) and actions below PATH\n"
                 "PATH names management nodes from the root, separated by / or \\.\n"
                 "--log FILE switches the library's debug log on for the command.\n"
                 "HLVD_SYSROOT names the simulated host; HLVD_FLASH_LIBRARY the library to load.\n");
    return 2;
}

bool to_int(const char *s, int &out)
{
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(s, &end, 0);
    if (errno || !end || *end || v < INT_MIN || v > INT_MAX)
        return false;
    out = static_cast<int>(v);
    return true;
}

// The value attribute of the first child element `name`, or "".
std::string value_of(rapidxml::xml_node<> *parent, const char *name)
{
    rapidxml::xml_node<> *n = parent ? parent->first_node(name) : nullptr;
    rapidxml::xml_attribute<> *a = n ? n->first_attribute("value") : nullptr;
    return a ? std::string(a->value(), a->value_size()) : std::string();
}

std::string or_dash(const std::string &text)
{
    return text.empty() ? "-" : text;
}

unsigned long hex_field(const std::string &text)
{
    return std::strtoul(text.c_str(), nullptr, 16);
}

// One line per device of a discovery file: PCI address, kind, model, then
// for each firmware item its active version, the proposed action and file,
// and the result a flash wrote into it.
int print_discovery_summary(const char *path)
{
    try {
        rapidxml::file<> file(path);
        rapidxml::xml_document<> doc;
        doc.parse<0>(file.data());
        rapidxml::xml_node<> *root = doc.first_node("hl_rom_discovery");
        rapidxml::xml_node<> *devices = root ? root->first_node("devices") : nullptr;
        int count = 0;
        for (rapidxml::xml_node<> *d = devices ? devices->first_node("device") : nullptr; d;
             d = d->next_sibling("device"))
            ++count;
        std::printf("%d device%s in %s\n", count, count == 1 ? "" : "s", path);
        for (rapidxml::xml_node<> *d = devices ? devices->first_node("device") : nullptr; d;
             d = d->next_sibling("device")) {
            std::printf("  %04lX:%02lX:%02lX.%lX  %-5s  %-46s", hex_field(value_of(d, "segment")),
                        hex_field(value_of(d, "busnumber")), hex_field(value_of(d, "devicenumber")),
                        hex_field(value_of(d, "funcnumber")), value_of(d, "nictype").c_str(),
                        value_of(d, "product_id").c_str());
            const char *sep = "";
            for (rapidxml::xml_node<> *item = d->first_node("fw_item"); item; item = item->next_sibling("fw_item")) {
                std::string type = value_of(item, "type");
                std::printf("%s  %s %s: %s", sep, type == "Firmware" ? "firmware" : "boot code",
                            or_dash(value_of(item, "active_version")).c_str(),
                            or_dash(value_of(item, "action")).c_str());
                std::string file_name = value_of(item, "firmware_file");
                if (!file_name.empty())
                    std::printf(" %s (%s)", file_name.c_str(), value_of(item, "version").c_str());
                std::string result = value_of(item, "action_status");
                if (!result.empty())
                    std::printf(" => result %s", result.c_str());
                sep = ";";
            }
            std::printf("\n");
        }
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "hlvdhost: cannot read the discovery file %s: %s\n", path, e.what());
        return 1;
    }
}

// A text field of a record, whatever its termination.
std::string field_text(const char *field, size_t room)
{
    size_t n = 0;
    while (n < room && field[n])
        ++n;
    return std::string(field, n);
}

// One line per listed function (PCI address, ids, product, MAC and slot),
// then one per firmware item: its active version and the version of the
// image found for it, "-" when none matched (the host passes zeros).
void print_adapter_info(const std::vector<ven_adapter_info> &records)
{
    for (const ven_adapter_info &r : records) {
        std::printf("  %04X:%02X:%02X.%X  %04X:%04X %04X:%04X  %-46s  mac %s  slot %s\n", r.pciSegment, r.pciBus,
                    r.pciDevice, r.pciFunction, r.vendorId, r.deviceId, r.subVendorId, r.subDeviceId,
                    field_text(r.productText, sizeof r.productText).c_str(),
                    or_dash(field_text(r.macAddressText, sizeof r.macAddressText)).c_str(),
                    or_dash(field_text(r.slotText, sizeof r.slotText)).c_str());
        const uint32_t slots = sizeof r.items / sizeof r.items[0];
        for (uint32_t i = 0; i < r.itemCount && i < slots; ++i) {
            const ven_firmware_item &it = r.items[i];
            std::string name = i == 0 ? "firmware" : i == 1 ? "boot code" : "item " + std::to_string(i);
            std::printf("      %-10s active %u.%u.%u  image ", name.c_str(), it.activeMajor, it.activeMinor,
                        it.activeRelease);
            if (it.imageMajor || it.imageMinor || it.imageRelease)
                std::printf("%u.%u.%u\n", it.imageMajor, it.imageMinor, it.imageRelease);
            else
                std::printf("-\n");
        }
    }
}

// A result means success to a host only for 0 and 1 (reboot required).
int report(Library &lib, const char *what, int code)
{
    text_fn text = lib.sym<text_fn>("oem_text_for_error_code");
    std::printf("%s: %d (%s)\n", what, code, text(code));
    return (code == 0 || code == 1) ? 0 : 1;
}

// The management commands: each starts the library, runs, and stops it.
struct Mgmt {
    Library &lib;
    mal_lock_fn enter;
    mal_lock_fn leave;

    explicit Mgmt(Library &l)
        : lib(l), enter(l.sym<mal_lock_fn>("MAL_EnterCriticalSection")),
          leave(l.sym<mal_lock_fn>("MAL_LeaveCriticalSection"))
    {
    }

    void print_last_status()
    {
        int32_t code = 0;
        char text[kStatusTextSize] = "";
        int32_t rc = lib.sym<last_status_fn>("MAL_get_last_status")(&code, text);
        if (rc != 0)
            std::printf("last status: unreadable (%d)\n", rc);
        else if (text[0])
            std::printf("last status: %d (%s)\n", code, field_text(text, sizeof text).c_str());
        else
            std::printf("last status: %d\n", code);
    }

    // The name of a node of the given kind, or "?".
    std::string name_of(int32_t tag, int kind)
    {
        char name[kNameSize] = "";
        enter();
        int32_t rc = lib.sym<node_name_fn>("VEXO_get_node_name")(tag, name, kind);
        leave();
        return rc == 0 ? field_text(name, sizeof name) : std::string("?");
    }

    std::vector<int32_t> children(int32_t group, int kind)
    {
        std::vector<int32_t> tags(kChildRoom);
        unsigned int count = kChildRoom;
        enter();
        int32_t rc = lib.sym<child_tags_fn>("VEXO_get_child_tags")(group, tags.data(), &count, kind);
        leave();
        if (rc != 0 || count > kChildRoom)
            count = 0;
        tags.resize(count);
        return tags;
    }

    bool is_child_of(int32_t tag, int32_t group)
    {
        int32_t parent = -1;
        enter();
        int32_t rc = lib.sym<parent_tag_fn>("VEXO_get_parent_tag")(tag, &parent);
        leave();
        return rc == 0 && parent == group;
    }

    // Properties with their values, then actions, then the subgroups.
    void print_tree(int32_t group, int depth)
    {
        property_val_fn read = lib.sym<property_val_fn>("MAL_get_property_val");
        std::string indent(static_cast<size_t>(depth) * 2, ' ');
        for (int32_t t : children(group, kProperty)) {
            char value[kValueSize] = "";
            int32_t rc = read(group, t, value, sizeof value);
            if (rc == 0)
                std::printf("%s%s = %s\n", indent.c_str(), name_of(t, kProperty).c_str(),
                            field_text(value, sizeof value).c_str());
            else
                std::printf("%s%s (unreadable: %d)\n", indent.c_str(), name_of(t, kProperty).c_str(), rc);
        }
        // The root's actions of wide scope are listed for every group; only
        // the group's own are shown.
        for (int32_t t : children(group, kAction))
            if (is_child_of(t, group))
                std::printf("%s%s (action)\n", indent.c_str(), name_of(t, kAction).c_str());
        for (int32_t t : children(group, kGroup)) {
            std::printf("%s%s/\n", indent.c_str(), name_of(t, kGroup).c_str());
            print_tree(t, depth + 1);
        }
    }

    // The group a path names, through the client's lookup of each element.
    int32_t find_group(const char *path, int32_t &group)
    {
        node_tag_fn lookup = lib.sym<node_tag_fn>("MAL_get_node_tag");
        group = 0;
        std::string element;
        for (const char *p = path;; ++p) {
            if (*p && *p != '/' && *p != '\\') {
                element += *p;
                continue;
            }
            if (!element.empty()) {
                int32_t rc = lookup(group, element.c_str(), &group, kGroup);
                if (rc != 0) {
                    std::printf("no group %s below the path before it: %d\n", element.c_str(), rc);
                    return rc;
                }
                element.clear();
            }
            if (!*p)
                return 0;
        }
    }

    int run(const std::string &cmd, int nargs, char **a)
    {
        char service[kValueSize] = "";
        char hierarchy[kValueSize] = "";
        int32_t rc = lib.sym<mal_init_fn>("MAL_VEXO_Init")(service, hierarchy);
        int status = 1;
        if (rc != 0) {
            std::printf("start: %d\n", rc);
            print_last_status();
        } else {
            status = command(cmd, nargs, a);
        }
        // Stopped whatever the start answered: a failed start may leave it running.
        int32_t stop = lib.sym<mal_exit_fn>("MAL_VEXO_Exit")();
        if (stop != 0) {
            std::printf("stop: %d\n", stop);
            status = 1;
        }
        return status;
    }

    int command(const std::string &cmd, int nargs, char **a)
    {
        int32_t out = 0;
        int32_t rc = 0;
        if (cmd == "get") {
            char value[kValueSize] = "";
            uint32_t size = sizeof value;
            rc = lib.sym<get_path_fn>("MAL_GetPropValFromPath")(a[0], value, &size, &out);
            std::printf("get %s: %d\n", a[0], rc);
            if (rc == 0)
                std::printf("value: %s\n", value);
            else if (rc == 7)
                std::printf("value needs %u characters\n", size);
        } else if (cmd == "set") {
            rc = lib.sym<set_path_fn>("MAL_SetPropValFromPath")(a[0], a[1], static_cast<int>(std::strlen(a[1])),
                                                                 &out);
            std::printf("set %s: %d\n", a[0], rc);
        } else if (cmd == "do") {
            std::vector<const char *> params(a + 1, a + nargs);
            rc = lib.sym<do_path_fn>("MAL_DoActionFromPath")(a[0], nargs - 1, params.data(), &out);
            std::printf("do %s: %d\n", a[0], rc);
        } else { // tree
            int32_t group = 0;
            const char *path = nargs > 0 ? a[0] : "/";
            rc = find_group(path, group);
            if (rc == 0) {
                std::printf("%s\n", path);
                print_tree(group, 1);
            }
            std::printf("tree %s: %d\n", path, rc);
            return rc == 0 ? 0 : 1;
        }
        std::printf("status: %d\n", out);
        print_last_status();
        return rc == 0 ? 0 : 1;
    }
};

} // namespace

int main(int argc, char **argv)
{
    int arg = 1;
    const char *log = nullptr;
    if (arg + 1 < argc && std::strcmp(argv[arg], "--log") == 0) {
        log = argv[arg + 1];
        arg += 2;
    }
    if (arg >= argc)
        return usage();
    std::string cmd = argv[arg++];
    int nargs = argc - arg;
    char **a = argv + arg;

    Library lib;
    std::string path = default_library_path();
    lib.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib.handle) {
        std::fprintf(stderr, "hlvdhost: cannot load %s: %s\n", path.c_str(), dlerror());
        return 3;
    }
    if (log) {
        int rc = lib.sym<debug_fn>("oem_get_debug_info")(log);
        if (rc != 0)
            return report(lib, "debug log", rc);
    }

    if (cmd == "discover" && nargs == 2) {
        int rc = lib.sym<discovery_fn>("oem_do_discovery_with_files")(a[0], a[1]);
        int status = report(lib, "discovery", rc);
        if (rc == 0 && print_discovery_summary(a[0]) != 0)
            status = 1;
        return status;
    }
    if (cmd == "flash" && nargs == 2) {
        int status = report(lib, "flash with file", lib.sym<flash_fn>("oem_do_flash_with_file")(a[0], a[1]));
        // The items' results as the library wrote them back.
        if (print_discovery_summary(a[0]) != 0)
            status = 1;
        return status;
    }
    if (cmd == "flash-pci" && nargs == 6) {
        int v[5];
        for (int i = 0; i < 5; ++i)
            if (!to_int(a[i + 1], v[i]))
                return usage();
        return report(lib, "flash by PCI address",
                      lib.sym<flash_pci_fn>("oem_do_full_flash_PCI")(a[0], v[0], v[1], v[2], v[3], v[4]));
    }
    if (cmd == "dump-pci" && nargs == 5) {
        int v[4];
        for (int i = 0; i < 4; ++i)
            if (!to_int(a[i + 1], v[i]))
                return usage();
        return report(lib, "PCI dump",
                      lib.sym<dump_pci_fn>("oem_get_full_flash_dump_PCI")(a[0], 0, v[0], v[1], v[2], v[3]));
    }
    if (cmd == "info" && nargs == 1) {
        // As a host does it: count, allocate that many zero-filled records, fill.
        adapter_info_fn info = lib.sym<adapter_info_fn>("oem_get_adapter_info");
        int count = 0;
        int rc = info(nullptr, &count, a[0]);
        if (rc != 0 || count < 0)
            return report(lib, "adapter info", rc);
        std::printf("adapter functions listed: %d\n", count);
        if (count == 0)
            return report(lib, "adapter info", rc);
        std::vector<ven_adapter_info> records(static_cast<size_t>(count)); // zero-filled
        rc = info(records.data(), &count, a[0]);
        int status = report(lib, "adapter info", rc);
        if (rc == 0)
            print_adapter_info(records);
        return status;
    }
    if (cmd == "version" && nargs == 0) {
        char buf[64];
        int n = lib.sym<version_fn>("oem_flash_lib_version")(buf, sizeof buf);
        std::printf("%s (%d characters)\n", buf, n);
        return 0;
    }
    if (cmd == "text" && nargs == 1) {
        int code;
        if (!to_int(a[0], code))
            return usage();
        std::printf("%d: %s\n", code, lib.sym<text_fn>("oem_text_for_error_code")(code));
        return 0;
    }
    if (cmd == "debug" && nargs == 1)
        return report(lib, "debug log", lib.sym<debug_fn>("oem_get_debug_info")(a[0]));
    if ((cmd == "get" && nargs == 1) || (cmd == "set" && nargs == 2) || (cmd == "do" && nargs >= 1) ||
        (cmd == "tree" && nargs <= 1)) {
        Mgmt mgmt(lib);
        return mgmt.run(cmd, nargs, a);
    }
    return usage();
}
