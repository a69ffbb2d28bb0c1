#include "sim/machine.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
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

// A name for a temporary file that another process cannot guess.
std::string temp_name(const std::string &path)
{
    uint64_t r = 0;
    if (getrandom(&r, sizeof r, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof r)) {
        struct timespec ts;
        clock_gettime(CLOCK_MONOTONIC, &ts);
        // Guessable, but the exclusive create still refuses a planted file.
        r = static_cast<uint64_t>(ts.tv_nsec) * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(ts.tv_sec);
    }
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
    if (fsync(fd) != 0 || close(fd) != 0 || rename(tmp.c_str(), path.c_str()) != 0) {
        if (err)
            *err = "cannot replace " + path + ": " + std::strerror(errno);
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

bool parse_machine(const json &doc, Machine &m, std::string *err)
{
    try {
        m.doc = doc;
        m.adapters.clear();
        if (!doc.contains("adapters"))
            return true;
        for (const json &a : doc.at("adapters")) {
            Adapter ad;
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
    std::string body;
    if (!read_text(state_dir(sysroot) + "/machine.json", body, err))
        return false;
    // Every firmware command loads the machine several times; the text
    // seldom changes between two loads, and parsing it is the slow part.
    static std::string cached_body;
    static Machine cached;
    if (!cached_body.empty() && body == cached_body) {
        m = cached;
        return true;
    }
    json doc = json::parse(body, nullptr, false);
    if (doc.is_discarded()) {
        if (err)
            *err = "machine state is not valid JSON";
        return false;
    }
    if (!parse_machine(doc, m, err))
        return false;
    cached_body = body;
    cached = m;
    return true;
}

bool save_machine(const std::string &sysroot, const Machine &m, std::string *err)
{
    std::string body;
    try {
        body = m.doc.dump(2) + "\n";
    } catch (const std::exception &e) {
        // Bytes that are no UTF-8 belong in bytes_value; the old state stays.
        if (err)
            *err = std::string("machine state cannot be written: ") + e.what();
        return false;
    }
    return write_file_atomic(state_dir(sysroot) + "/machine.json", body, err);
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
