#include "sim/machine.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#ifndef HLVD_SOURCE_DIR
#error "HLVD_SOURCE_DIR must name the source tree"
#endif

namespace hlvdsim {

namespace {

// The directories a host of the product expects to find.
const char *const kHostDirs[] = {
    "/tmp",
    "/etc/config/TAQ/vexo",
    "/etc/vmware",
    "/var/log/TAQ/vexo",
    "/dev",
    "/scratch",
};

bool read_text(const std::string &path, std::string &out, std::string *err)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (err)
            *err = "cannot open " + path;
        return false;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    out = ss.str();
    return true;
}

uint32_t number(const json &v, const char *key, uint32_t dflt)
{
    if (!v.contains(key))
        return dflt;
    const json &x = v.at(key);
    if (x.is_number_unsigned() || x.is_number_integer())
        return x.get<uint32_t>();
    if (x.is_string())
        return static_cast<uint32_t>(std::strtoul(x.get<std::string>().c_str(), nullptr, 0));
    throw std::runtime_error(std::string("field ") + key + " is not a number");
}

std::string text(const json &v, const char *key)
{
    return v.contains(key) ? value_bytes(v.at(key)) : std::string();
}

uint64_t random64()
{
    uint64_t r = 0;
    if (getrandom(&r, sizeof r, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof r)) {
        struct timespec ts;
        clock_gettime(CLOCK_MONOTONIC, &ts);
        // Guessable, but the exclusive create still refuses a planted file.
        r = static_cast<uint64_t>(ts.tv_nsec) * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(ts.tv_sec);
    }
    return r;
}

// A name for a temporary file that another process cannot guess.
std::string temp_name(const std::string &path)
{
    uint64_t r = random64();
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, ".tmp.%ld.%016llx", static_cast<long>(getpid()),
                  static_cast<unsigned long long>(r));
    return path + suffix;
}

// Interface names, host adapter names and legacy device numbers that the
// description leaves out, numbered in machine order.
void assign_default_names(Machine &m)
{
    int nic = 0, iscsi = 0, legacy = 0;
    for (Adapter &a : m.adapters) {
        if (a.family != "converged")
            continue;
        for (Function &f : a.functions) {
            if (f.kind == "nic") {
                if (f.ifname.empty())
                    f.ifname = "vmnic" + std::to_string(nic);
                ++nic;
            } else if (f.kind == "iscsi") {
                if (f.vmhba.empty())
                    f.vmhba = "vmhba" + std::to_string(32 + iscsi);
                ++iscsi;
                if (f.driver == "legacy") {
                    if (f.legacy_device < 0)
                        f.legacy_device = legacy;
                    ++legacy;
                }
            }
        }
    }
}

// Host files the product reads: identity and the interface names of NIC
// functions, as an ESXi host keeps them.
bool write_host_files(const std::string &sysroot, const Machine &m, std::string *err)
{
    if (m.doc.contains("host")) {
        const json &h = m.doc.at("host");
        const struct {
            const char *key;
            const char *path;
        } files[] = {
            {"release", "/etc/vmware-release"},
            {"banner", "/etc/banner"},
            {"issue", "/etc/issue.net"},
        };
        for (const auto &f : files) {
            if (h.contains(f.key) && !write_file_atomic(sysroot + f.path, text(h, f.key) + "\n", err))
                return false;
        }
    }
    std::string conf;
    for (const Adapter &a : m.adapters) {
        if (a.family != "converged")
            continue;
        for (const Function &f : a.functions) {
            // NIC functions by their uplink, iSCSI functions by their host adapter.
            if (f.kind != "nic" && f.kind != "iscsi")
                continue;
            char key[64];
            std::snprintf(key, sizeof key, "/device/%04x:%03u:%02u.%u/vmkname", f.segment, f.bus, f.device,
                          f.function);
            conf += std::string(key) + " = \"" + (f.kind == "nic" ? f.ifname : f.vmhba) + "\"\n";
        }
    }
    return write_file_atomic(sysroot + "/etc/vmware/esx.conf", conf, err);
}

} // namespace

std::string pci_name(const Function &f)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04x:%02x:%02x.%x", f.segment, f.bus, f.device, f.function);
    return buf;
}

std::string state_dir(const std::string &sysroot)
{
    return sysroot + "/.hlvdsim";
}

std::string current_sysroot()
{
    const char *root = std::getenv("HLVD_SYSROOT");
    return root ? std::string(root) : std::string();
}

std::string default_machine_path()
{
    return std::string(HLVD_SOURCE_DIR) + "/sim/machines/default.json";
}

bool make_dirs(const std::string &path)
{
    std::string partial;
    std::stringstream ss(path);
    std::string item;
    bool absolute = !path.empty() && path[0] == '/';
    while (std::getline(ss, item, '/')) {
        if (item.empty())
            continue;
        partial += (partial.empty() && !absolute) ? item : "/" + item;
        if (mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

bool valid_utf8(const std::string &s)
{
    size_t i = 0, n = s.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t more;
        uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i <= more)
            return false;
        for (size_t k = 1; k <= more; ++k) {
            unsigned char x = static_cast<unsigned char>(s[i + k]);
            if ((x & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (x & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF.
        if ((more == 2 && cp < 0x800) || (more == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += more + 1;
    }
    return true;
}

json bytes_value(const std::string &bytes)
{
    if (valid_utf8(bytes))
        return json(bytes);
    json a = json::array();
    for (char ch : bytes)
        a.push_back(static_cast<unsigned>(static_cast<unsigned char>(ch)));
    return a;
}

std::string value_bytes(const json &v)
{
    if (v.is_string())
        return v.get<std::string>();
    if (!v.is_array())
        throw std::runtime_error("a text is neither a string nor an array of bytes");
    std::string out;
    for (const json &b : v) {
        if (!b.is_number_unsigned() || b.get<uint64_t>() > 0xFF)
            throw std::runtime_error("a text's byte is not a number from 0 to 255");
        out += static_cast<char>(b.get<unsigned>());
    }
    return out;
}

bool write_all_at(int fd, uint64_t at, const uint8_t *from, size_t len)
{
    while (len > 0) {
        ssize_t n = pwrite(fd, from, len, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        from += n;
        at += static_cast<uint64_t>(n);
        len -= static_cast<size_t>(n);
    }
    return true;
}

bool write_file_atomic(const std::string &path, const std::string &data, std::string *err)
{
    // Exclusive and not through a link: a file planted under the name is
    // never written.
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        tmp = temp_name(path);
        fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        if (err)
            *err = "cannot create " + tmp + ": " + std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (err)
                *err = "cannot write " + tmp + ": " + std::strerror(errno);
            close(fd);
            unlink(tmp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    // The rename alone keeps the state whole when a process dies half way,
    // which is the crash the simulated host models; it need not outlive the
    // development machine, so no fsync on every firmware command.
    if (close(fd) != 0 || rename(tmp.c_str(), path.c_str()) != 0) {
        if (err)
            *err = "cannot replace " + path + ": " + std::strerror(errno);
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

namespace {

// Keys of machine.json that are the simulator's own, not the description's.
const char kAdapterCount[] = "state_adapters";
const char kStamp[] = "state_stamp";

// What an adapter's commands change; the rest of its document is its
// description, part of the machine's layout.
bool command_state_key(const std::string &key)
{
    return key == "fw_state" || key == "firmware" || key == "flash_options" || key == "fc_state";
}

bool same_description(const json &a, const json &b)
{
    if (!a.is_object() || !b.is_object())
        return a == b;
    for (auto it = a.begin(); it != a.end(); ++it)
        if (!command_state_key(it.key()) && (!b.contains(it.key()) || b.at(it.key()) != it.value()))
            return false;
    for (auto it = b.begin(); it != b.end(); ++it)
        if (!command_state_key(it.key()) && !a.contains(it.key()))
            return false;
    return true;
}

std::string machine_path(const std::string &sysroot)
{
    return state_dir(sysroot) + "/machine.json";
}

std::string adapters_dir(const std::string &sysroot)
{
    return state_dir(sysroot) + "/adapters";
}

std::string adapter_path(const std::string &sysroot, size_t index)
{
    return adapters_dir(sysroot) + "/" + std::to_string(index) + ".json";
}

bool read_file(const std::string &path, std::string &out, std::string *err)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (err)
            *err = "cannot open " + path;
        return false;
    }
    out.clear();
    char buf[16384];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (err)
                *err = "cannot read " + path;
            close(fd);
            return false;
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

std::string serialise(const json &doc)
{
    return doc.dump(2) + "\n";
}

// The last text read from or written to each state file in this process and
// its parsed document, so that an unchanged file is not parsed again. The
// text is compared in full: another process's write always shows.
struct ParsedFile {
    std::string body;
    json doc;
    bool typed = false; // an adapter's file whose typed view is below
    Adapter adapter;
};

struct LayoutEntry {
    std::string body; // machine.json as read
    json base;        // its document without the simulator's own keys
    size_t count = 0; // adapter files
    std::shared_ptr<const Machine> layout;
};

struct Caches {
    std::mutex lock;
    std::map<std::string, ParsedFile> files;
    std::map<std::string, LayoutEntry> layouts; // by sysroot
};

Caches &caches()
{
    static Caches c;
    return c;
}

void remember(const std::string &path, const std::string &body, const json &doc)
{
    Caches &c = caches();
    std::lock_guard<std::mutex> hold(c.lock);
    ParsedFile &f = c.files[path];
    f.body = body;
    f.doc = doc;
    f.typed = false;
}

bool parse_adapter(const json &a, Adapter &ad);

// An adapter's file: its document and typed view, parsed only when the file
// changed.
bool read_adapter(const std::string &path, json &doc, Adapter &ad, std::string *err)
{
    std::string body;
    if (!read_file(path, body, err))
        return false;
    Caches &c = caches();
    {
        std::lock_guard<std::mutex> hold(c.lock);
        auto it = c.files.find(path);
        if (it != c.files.end() && it->second.body == body && it->second.typed) {
            doc = it->second.doc;
            ad = it->second.adapter;
            return true;
        }
    }
    json parsed = json::parse(body, nullptr, false);
    if (parsed.is_discarded()) {
        if (err)
            *err = path + " is not valid JSON";
        return false;
    }
    try {
        parse_adapter(parsed, ad);
    } catch (const std::exception &e) {
        if (err)
            *err = std::string("bad machine description: ") + e.what();
        return false;
    }
    std::lock_guard<std::mutex> hold(c.lock);
    ParsedFile &f = c.files[path];
    f.body = body;
    f.doc = parsed;
    f.typed = true;
    f.adapter = ad;
    doc = std::move(parsed);
    return true;
}

bool read_doc(const std::string &path, json &doc, std::string *body_out, std::string *err)
{
    std::string body;
    if (!read_file(path, body, err))
        return false;
    {
        Caches &c = caches();
        std::lock_guard<std::mutex> hold(c.lock);
        auto it = c.files.find(path);
        if (it != c.files.end() && it->second.body == body) {
            doc = it->second.doc;
            if (body_out)
                *body_out = std::move(body);
            return true;
        }
    }
    json parsed = json::parse(body, nullptr, false);
    if (parsed.is_discarded()) {
        if (err)
            *err = path + " is not valid JSON";
        return false;
    }
    remember(path, body, parsed);
    doc = std::move(parsed);
    if (body_out)
        *body_out = std::move(body);
    return true;
}

// machine.json: the machine's own keys and the number of adapter files.
bool read_base(const std::string &sysroot, json &base, size_t &count, bool &has_adapters, std::string *body,
               std::string *err)
{
    if (!read_doc(machine_path(sysroot), base, body, err))
        return false;
    if (!base.is_object()) {
        if (err)
            *err = "machine state is not valid JSON";
        return false;
    }
    has_adapters = base.contains(kAdapterCount);
    count = has_adapters && base.at(kAdapterCount).is_number_unsigned() ? base.at(kAdapterCount).get<size_t>() : 0;
    base.erase(kAdapterCount);
    base.erase(kStamp);
    return true;
}

bool assemble(const std::string &sysroot, Machine &m, std::string *body, json *base_out, size_t *count_out,
              std::string *err)
{
    json doc;
    size_t count = 0;
    bool has_adapters = false;
    if (!read_base(sysroot, doc, count, has_adapters, body, err))
        return false;
    if (base_out)
        *base_out = doc;
    if (count_out)
        *count_out = count;
    if (has_adapters) {
        json adapters = json::array();
        for (size_t i = 0; i < count; ++i) {
            json a;
            if (!read_doc(adapter_path(sysroot, i), a, nullptr, err))
                return false;
            adapters.push_back(std::move(a));
        }
        doc["adapters"] = std::move(adapters);
    }
    return parse_machine(doc, m, err);
}

bool write_base(const std::string &sysroot, json base, size_t count, bool has_adapters, std::string *err)
{
    if (has_adapters)
        base[kAdapterCount] = count;
    char stamp[20];
    std::snprintf(stamp, sizeof stamp, "%016llx", static_cast<unsigned long long>(random64()));
    base[kStamp] = stamp;
    std::string body;
    try {
        body = serialise(base);
    } catch (const std::exception &e) {
        if (err)
            *err = std::string("machine state cannot be written: ") + e.what();
        return false;
    }
    return write_file_atomic(machine_path(sysroot), body, err);
}

bool parse_adapter(const json &a, Adapter &ad)
{
    ad = Adapter();
    ad.name = text(a, "name");
    ad.family = text(a, "family");
    ad.generation = text(a, "generation");
    ad.serial = text(a, "serial");
    if (a.contains("firmware")) {
        const json &fw = a.at("firmware");
        ad.active_version = text(fw, "active");
        ad.flash_version = text(fw, "flash");
        ad.boot_version = text(fw, "boot");
    }
    if (a.contains("functions")) {
        for (const json &f : a.at("functions")) {
            Function fn;
            fn.segment = number(f, "segment", 0);
            fn.bus = number(f, "bus", 0);
            fn.device = number(f, "device", 0);
            fn.function = number(f, "function", 0);
            fn.kind = text(f, "kind");
            fn.vendor = static_cast<uint16_t>(number(f, "vendor", 0));
            fn.device_id = static_cast<uint16_t>(number(f, "device_id", 0));
            fn.subvendor = static_cast<uint16_t>(number(f, "subvendor", 0));
            fn.subdevice = static_cast<uint16_t>(number(f, "subdevice", 0));
            fn.revision = static_cast<uint8_t>(number(f, "revision", 0));
            fn.port = static_cast<int>(number(f, "port", 0));
            fn.mac = text(f, "mac");
            fn.wwpn = text(f, "wwpn");
            fn.driver = f.contains("driver") ? text(f, "driver") : std::string("callback");
            fn.ifname = text(f, "ifname");
            fn.vmhba = text(f, "vmhba");
            if (f.contains("legacy_device"))
                fn.legacy_device = static_cast<int>(number(f, "legacy_device", 0));
            ad.functions.push_back(fn);
        }
    }
    return true;
}

} // namespace

bool parse_machine(const json &doc, Machine &m, std::string *err)
{
    try {
        m.doc = doc;
        m.adapters.clear();
        if (!doc.contains("adapters"))
            return true;
        for (const json &a : doc.at("adapters")) {
            Adapter ad;
            parse_adapter(a, ad);
            m.adapters.push_back(ad);
        }
        assign_default_names(m);
    } catch (const std::exception &e) {
        if (err)
            *err = std::string("bad machine description: ") + e.what();
        return false;
    }
    return true;
}

bool create_host(const std::string &sysroot, const std::string &machine_path, std::string *err)
{
    std::string body;
    if (!read_text(machine_path, body, err))
        return false;
    json doc = json::parse(body, nullptr, false);
    if (doc.is_discarded()) {
        if (err)
            *err = machine_path + " is not valid JSON";
        return false;
    }
    Machine m;
    if (!parse_machine(doc, m, err))
        return false;
    if (!make_dirs(state_dir(sysroot))) {
        if (err)
            *err = "cannot create " + state_dir(sysroot);
        return false;
    }
    for (const char *d : kHostDirs) {
        if (!make_dirs(sysroot + d)) {
            if (err)
                *err = "cannot create " + sysroot + d;
            return false;
        }
    }
    if (!write_host_files(sysroot, m, err))
        return false;
    StateLock lock(sysroot);
    return save_machine(sysroot, m, err);
}

bool load_machine(const std::string &sysroot, Machine &m, std::string *err)
{
    return assemble(sysroot, m, nullptr, nullptr, nullptr, err);
}

bool save_machine(const std::string &sysroot, const Machine &m, std::string *err)
{
    // Everything is serialised first: text that cannot be written leaves
    // the old state whole.
    bool has_adapters = m.doc.contains("adapters");
    std::vector<std::string> bodies;
    json base = m.doc;
    try {
        if (has_adapters) {
            for (const json &a : m.doc.at("adapters"))
                bodies.push_back(serialise(a));
            base.erase("adapters");
        }
        serialise(base);
    } catch (const std::exception &e) {
        if (err)
            *err = std::string("machine state cannot be written: ") + e.what();
        return false;
    }
    if (has_adapters && !make_dirs(adapters_dir(sysroot))) {
        if (err)
            *err = "cannot create " + adapters_dir(sysroot);
        return false;
    }
    for (size_t i = 0; i < bodies.size(); ++i) {
        std::string path = adapter_path(sysroot, i), old;
        if (read_file(path, old, nullptr) && old == bodies[i])
            continue;
        if (!write_file_atomic(path, bodies[i], err))
            return false;
        remember(path, bodies[i], m.doc.at("adapters").at(i));
    }
    for (size_t i = bodies.size(); unlink(adapter_path(sysroot, i).c_str()) == 0; ++i) {
    }
    // Last: the new stamp tells every process that the layout changed.
    return write_base(sysroot, base, bodies.size(), has_adapters, err);
}

std::shared_ptr<const Machine> load_layout(const std::string &sysroot, std::string *err)
{
    std::string body;
    if (!read_file(machine_path(sysroot), body, err))
        return nullptr;
    Caches &c = caches();
    {
        std::lock_guard<std::mutex> hold(c.lock);
        auto it = c.layouts.find(sysroot);
        if (it != c.layouts.end() && it->second.body == body)
            return it->second.layout;
    }
    std::shared_ptr<Machine> m = std::make_shared<Machine>();
    LayoutEntry e;
    if (!assemble(sysroot, *m, &e.body, &e.base, &e.count, err))
        return nullptr;
    std::shared_ptr<FunctionIndex> index = std::make_shared<FunctionIndex>();
    for (size_t a = 0; a < m->adapters.size(); ++a) {
        if (m->adapters[a].family != "converged")
            continue;
        for (size_t f = 0; f < m->adapters[a].functions.size(); ++f) {
            const Function &fn = m->adapters[a].functions[f];
            index->by_pci[pci_name(fn)].push_back({a, f});
            index->by_kind[fn.kind + "/" + fn.driver].push_back({a, f});
        }
    }
    m->index = index;
    e.layout = m;
    std::lock_guard<std::mutex> hold(c.lock);
    c.layouts[sysroot] = e;
    return m;
}

bool load_adapter(const std::string &sysroot, size_t index, Machine &m, std::string *err)
{
    std::shared_ptr<const Machine> layout = load_layout(sysroot, err);
    if (!layout)
        return false;
    if (index >= layout->adapters.size()) {
        if (err)
            *err = "no adapter " + std::to_string(index);
        return false;
    }
    json base;
    {
        Caches &c = caches();
        std::lock_guard<std::mutex> hold(c.lock);
        base = c.layouts[sysroot].base;
    }
    json adoc;
    Adapter ad;
    if (!read_adapter(adapter_path(sysroot, index), adoc, ad, err))
        return false;
    // Default names count across the machine; the layout has them.
    const Adapter &known = layout->adapters[index];
    for (size_t f = 0; f < ad.functions.size() && f < known.functions.size(); ++f) {
        ad.functions[f].ifname = known.functions[f].ifname;
        ad.functions[f].vmhba = known.functions[f].vmhba;
        ad.functions[f].legacy_device = known.functions[f].legacy_device;
    }
    m.doc = std::move(base);
    m.doc["adapters"] = json::array();
    m.doc["adapters"].push_back(std::move(adoc));
    m.adapters.assign(1, ad);
    return true;
}

bool save_adapter(const std::string &sysroot, size_t index, const Machine &m, std::string *err)
{
    std::string body;
    const json &adoc = m.doc.at("adapters").at(0);
    try {
        body = serialise(adoc);
    } catch (const std::exception &e) {
        // Bytes that are no UTF-8 belong in bytes_value; the old state stays.
        if (err)
            *err = std::string("machine state cannot be written: ") + e.what();
        return false;
    }
    std::string path = adapter_path(sysroot, index);
    if (!write_file_atomic(path, body, err))
        return false;
    remember(path, body, adoc);
    std::shared_ptr<const Machine> layout = load_layout(sysroot, err);
    if (!layout)
        return false;
    json base;
    size_t count = 0;
    {
        Caches &c = caches();
        std::lock_guard<std::mutex> hold(c.lock);
        base = c.layouts[sysroot].base;
        count = c.layouts[sysroot].count;
    }
    json own = m.doc;
    own.erase("adapters");
    if (index < layout->adapters.size() && own == base &&
        same_description(adoc, layout->doc.at("adapters").at(index)))
        return true;
    // The description changed: other processes must read the layout again.
    return write_base(sysroot, own, count, true, err);
}

StateLock::StateLock(const std::string &sysroot) : fd_(-1)
{
    std::string path = state_dir(sysroot) + "/lock";
    fd_ = open(path.c_str(), O_RDWR | O_CREAT, 0644);
    if (fd_ >= 0 && flock(fd_, LOCK_EX) != 0) {
        close(fd_);
        fd_ = -1;
    }
}

StateLock::~StateLock()
{
    if (fd_ >= 0) {
        flock(fd_, LOCK_UN);
        close(fd_);
    }
}

} // namespace hlvdsim
