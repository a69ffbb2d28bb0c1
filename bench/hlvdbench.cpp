// hlvdbench: what the library's exported calls cost beside the firmware
// commands they send. For hosts of 1, 4, 8 and 16 converged adapters (eight
// functions each, plus the default machine's FC HBAs) it times each call of
// the main road, and the read of one property of every adapter by its path,
// in a child process of its own, on a fresh simulated host,
// and prints one table: CPU, commands, CPU per command, the simulator's
// share, bytes moved per image byte against one read and CRC-32 of the
// image, peak memory, and how the CPU grows with the number of adapters.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <fcntl.h>
#include <ftw.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <zlib.h>

#include "bench/byte_counts.h"
#include "sim/command_log.h"
#include "sim/machine.h"
#include "sim/sim_cost.h"
#include "sim/ufi_generator.h"

using json = nlohmann::json;

extern "C" int hlvdbench_in_simulator(void)
{
    return hlvdsim::sim_cost_depth();
}

namespace {

const char kNewerAw3[] = "10.2.400.1"; // the default AW3 runs 10.2.370.15
const uint32_t kFirstBus = 0x10;

typedef int (*discovery_fn)(const char *, const char *);
typedef int (*flash_fn)(const char *, const char *);
typedef int (*flash_pci_fn)(const char *, int, int, int, int, int);
typedef int (*dump_pci_fn)(const char *, int, int, int, int, int);
typedef int (*adapter_info_fn)(void *, int *, const char *);
typedef int (*vexo_fn)(void);
typedef int32_t (*mal_init_fn)(char *, char *);
typedef int32_t (*mal_exit_fn)(void);
typedef int32_t (*mal_instances_fn)(int32_t, const char *, int *, int *);
typedef int32_t (*path_get_fn)(const char *, char *, uint32_t *, int32_t *);

struct Options {
    std::vector<int> sizes = {1, 4, 8, 16};
    std::vector<std::string> calls = {"discovery", "flash", "flash-pci", "dump", "info", "vexo", "path-get"};
    std::string library;
    std::string workdir;
    int repeat = 3; // runs per measurement; the least CPU is kept
    bool keep = false;
};

// One measured call, as the child reports it through a pipe.
struct Sample {
    int rc = -1;
    uint64_t cpu_ns = 0;  // whole process, over the call
    uint64_t sys_ns = 0;  // of which in the kernel (system calls)
    uint64_t sim_ns = 0;  // inside the stand-ins
    uint64_t fw = 0;      // firmware commands sent
    uint64_t read = 0, copied = 0, cleared = 0;
    uint64_t image_bytes = 0;
    long maxrss_kb = 0;
};

struct Row {
    int adapters = 0;
    std::string call;
    bool ok = false;       // the child ran and the call answered as expected
    Sample s;
    double base_ns = 0;    // one read + CRC-32 of the image bytes; 0: no image
};

uint64_t system_ns()
{
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<uint64_t>(ru.ru_stime.tv_sec) * 1000000000u + static_cast<uint64_t>(ru.ru_stime.tv_usec) * 1000u;
}

uint64_t process_cpu_ns()
{
    struct timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

int remove_entry(const char *path, const struct stat *, int, struct FTW *)
{
    return ::remove(path);
}

void remove_tree(const std::string &path)
{
    nftw(path.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

std::string read_text(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool write_text(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

uint64_t file_size(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

std::string exe_dir()
{
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0)
        return ".";
    exe[n] = '\0';
    std::string dir(exe);
    return dir.substr(0, dir.rfind('/'));
}

// The host: `adapters` AW3 adapters made after the default machine's, with
// eight functions each (NIC and iSCSI), unique serials, buses and MACs, and
// the default machine's FC HBAs.
std::string machine_json(int adapters)
{
    json doc = json::parse(read_text(hlvdsim::default_machine_path()));
    json templ, fc = json::array();
    for (const json &a : doc["adapters"]) {
        if (a.value("name", "") == "aw3")
            templ = a;
        if (a.value("family", "") == "fc")
            fc.push_back(a);
    }
    json list = json::array();
    char text[64];
    for (int i = 0; i < adapters; ++i) {
        json a = templ;
        std::snprintf(text, sizeof text, "aw3-%02d", i);
        a["name"] = text;
        std::snprintf(text, sizeof text, "AW3BENCH%04d", i);
        a["serial"] = text;
        std::snprintf(text, sizeof text, "OEMAW3B%03d", i);
        a["oem"]["oem_serial"] = text;
        json fns = json::array();
        for (int f = 0; f < 8; ++f) {
            bool iscsi = f == 2 || f == 3;
            json fn = {{"segment", 0},
                       {"bus", kFirstBus + static_cast<uint32_t>(i)},
                       {"device", 0},
                       {"function", f},
                       {"kind", iscsi ? "iscsi" : "nic"},
                       {"vendor", "0x19A2"},
                       {"device_id", iscsi ? "0x0712" : "0x0710"},
                       {"subvendor", "0x10DF"},
                       {"subdevice", "0xE70E"},
                       {"revision", "0x01"},
                       {"port", f & 1},
                       {"driver", "callback"}};
            std::snprintf(text, sizeof text, "00:00:C9:B3:%02X:%02X", i, 0x20 + f);
            fn["mac"] = text;
            if (iscsi) {
                std::snprintf(text, sizeof text, "02:00:C9:B3:%02X:%02X", i, 0x20 + f);
                fn["permanent_mac"] = text;
            }
            fns.push_back(fn);
        }
        a["functions"] = fns;
        list.push_back(a);
    }
    for (const json &a : fc)
        list.push_back(a);
    doc["adapters"] = list;
    doc["comment"] = "hlvdbench host";
    return doc.dump(1);
}

bool make_host(const std::string &sysroot, const std::string &machine_path)
{
    std::string err;
    if (!hlvdsim::create_host(sysroot, machine_path, &err)) {
        std::fprintf(stderr, "hlvdbench: cannot create the host %s: %s\n", sysroot.c_str(), err.c_str());
        return false;
    }
    return true;
}

// One read of a file and one CRC-32 of its bytes: the least any call that
// takes the image in must spend on it. The fastest of a few runs. The buffer
// is mapped and unmapped here, so the children forked later do not start
// with it resident.
double baseline_ns(const std::string &path)
{
    uint64_t best = UINT64_MAX;
    const size_t size = static_cast<size_t>(file_size(path));
    if (size == 0)
        return 0;
    for (int run = 0; run < 5; ++run) {
        uint64_t t0 = process_cpu_ns();
        int fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0)
            return 0;
        void *map = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED) {
            ::close(fd);
            return 0;
        }
        unsigned char *buf = static_cast<unsigned char *>(map);
        size_t got = 0;
        while (got < size) {
            ssize_t r = ::read(fd, buf + got, size - got);
            if (r <= 0)
                break;
            got += static_cast<size_t>(r);
        }
        ::close(fd);
        volatile uLong crc = crc32(0L, buf, static_cast<uInt>(got));
        (void)crc;
        munmap(map, size);
        uint64_t t1 = process_cpu_ns();
        best = std::min(best, t1 - t0);
    }
    return static_cast<double>(best);
}

// ---------------------------------------------------------------------------
// The child side: load the library as a host does, run one call, report.

struct Child {
    std::string sysroot;
    void *lib = nullptr;
    template <typename F> F sym(const char *name)
    {
        void *p = dlsym(lib, name);
        if (!p) {
            std::fprintf(stderr, "hlvdbench: %s is not exported\n", name);
            _exit(3);
        }
        return reinterpret_cast<F>(p);
    }
};

uint64_t fw_commands(const std::string &sysroot)
{
    uint64_t n = 0;
    for (const json &e : hlvdsim::log_read(sysroot))
        if (e.is_object() && e.value("kind", "") == "fw")
            ++n;
    return n;
}

// Runs `call` between the clocks and counters; the command log is cleared
// just before.
template <typename F> Sample measure(Child &c, F call)
{
    Sample s;
    hlvdsim::log_clear(c.sysroot);
    hlvdsim::sim_cost_reset();
    hlvdbench_counting(1);
    uint64_t k0 = system_ns();
    uint64_t t0 = process_cpu_ns();
    s.rc = call();
    uint64_t t1 = process_cpu_ns();
    uint64_t k1 = system_ns();
    hlvdbench_counting(0);
    s.sim_ns = hlvdsim::sim_cost_cpu_ns();
    s.cpu_ns = t1 - t0;
    s.sys_ns = k1 - k0;
    hlvdbench_byte_counts b = hlvdbench_counts();
    s.read = b.read;
    s.copied = b.copied;
    s.cleared = b.cleared;
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    s.maxrss_kb = ru.ru_maxrss;
    s.fw = fw_commands(c.sysroot);
    return s;
}

void put(int fd, const Sample &s)
{
    const char *p = reinterpret_cast<const char *>(&s);
    size_t left = sizeof s;
    while (left > 0) {
        ssize_t w = ::write(fd, p, left);
        if (w <= 0) {
            if (w < 0 && errno == EINTR)
                continue;
            _exit(4);
        }
        p += w;
        left -= static_cast<size_t>(w);
    }
}

// What a child does for one call; the arguments are paths of the host.
struct Job {
    std::string call;
    std::string sysroot;
    std::string library;
    std::string xml;
    std::string images; // directory of images
    std::string image;  // the image file
    std::string dump;
    uint32_t bus = kFirstBus;
};

int child_main(const Job &job, int out)
{
    setenv("HLVD_SYSROOT", job.sysroot.c_str(), 1);
    setenv("HLVD_NO_SLEEP", "1", 1);
    Child c;
    c.sysroot = job.sysroot;
    c.lib = dlopen(job.library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!c.lib) {
        std::fprintf(stderr, "hlvdbench: cannot load %s: %s\n", job.library.c_str(), dlerror());
        return 3;
    }
    const int bus = static_cast<int>(job.bus);
    if (job.call == "prepare") {
        // The discovery file the flash with file reads; not measured.
        Sample s;
        s.rc = c.sym<discovery_fn>("oem_do_discovery_with_files")(job.xml.c_str(), job.images.c_str());
        put(out, s);
    } else if (job.call == "discovery") {
        discovery_fn f = c.sym<discovery_fn>("oem_do_discovery_with_files");
        put(out, measure(c, [&] { return f(job.xml.c_str(), job.images.c_str()); }));
    } else if (job.call == "flash") {
        flash_fn f = c.sym<flash_fn>("oem_do_flash_with_file");
        Sample s = measure(c, [&] { return f(job.xml.c_str(), job.image.c_str()); });
        s.image_bytes = file_size(job.image);
        put(out, s);
    } else if (job.call == "flash-pci") {
        flash_pci_fn f = c.sym<flash_pci_fn>("oem_do_full_flash_PCI");
        Sample s = measure(c, [&] { return f(job.image.c_str(), 0, 0, bus, 0, 0); });
        s.image_bytes = file_size(job.image);
        put(out, s);
    } else if (job.call == "dump") {
        dump_pci_fn f = c.sym<dump_pci_fn>("oem_get_full_flash_dump_PCI");
        Sample s = measure(c, [&] { return f(job.dump.c_str(), 0, 0, bus, 0, 0); });
        s.image_bytes = file_size(job.dump);
        put(out, s);
    } else if (job.call == "info") {
        adapter_info_fn f = c.sym<adapter_info_fn>("oem_get_adapter_info");
        int count = 0;
        put(out, measure(c, [&] { return f(nullptr, &count, job.images.c_str()); }));
    } else if (job.call == "vexo") {
        // Two samples: VEXO_init, then VEXO_exit.
        vexo_fn init = c.sym<vexo_fn>("VEXO_init");
        vexo_fn fini = c.sym<vexo_fn>("VEXO_exit");
        put(out, measure(c, [&] { return init(); }));
        put(out, measure(c, [&] { return fini(); }));
    } else if (job.call == "path-get") {
        // One property of each adapter by its path, the library started once
        // beforehand (not measured).
        char service[256], hierarchy[256];
        if (c.sym<mal_init_fn>("MAL_VEXO_Init")(service, hierarchy) != 0)
            return 5;
        std::vector<int> instances(1024);
        int count = static_cast<int>(instances.size());
        if (c.sym<mal_instances_fn>("MAL_get_valid_instances")(0, "Arcwright", instances.data(), &count) != 0)
            return 5;
        std::vector<std::string> paths;
        for (int i = 0; i < count; ++i)
            paths.push_back("/Arcwright" + std::to_string(instances[static_cast<size_t>(i)]) +
                            "/ActiveFirmwareVersion");
        path_get_fn get = c.sym<path_get_fn>("MAL_GetPropValFromPath");
        put(out, measure(c, [&] {
            int rc = paths.empty() ? -1 : 0;
            for (const std::string &p : paths) {
                char value[256];
                uint32_t size = sizeof value;
                int32_t status = 0;
                int r = get(p.c_str(), value, &size, &status);
                if (r != 0 && rc == 0)
                    rc = r;
            }
            return rc;
        }));
        c.sym<mal_exit_fn>("MAL_VEXO_Exit")();
    } else {
        return 2;
    }
    return 0;
}

// Forks a child for the job and collects its samples. False when the child
// failed or reported less than expected.
bool run_child(const Job &job, size_t expect, std::vector<Sample> &samples)
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    std::fflush(nullptr);
    // A child's peak memory starts from what this process holds.
    malloc_trim(0);
    pid_t pid = fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (pid == 0) {
        ::close(fds[0]);
        int rc = child_main(job, fds[1]);
        std::fflush(nullptr);
        _exit(rc); // the library's unload is not measured
    }
    ::close(fds[1]);
    samples.clear();
    Sample s;
    for (;;) {
        size_t got = 0;
        char *p = reinterpret_cast<char *>(&s);
        while (got < sizeof s) {
            ssize_t r = ::read(fds[0], p + got, sizeof s - got);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                break;
            got += static_cast<size_t>(r);
        }
        if (got != sizeof s)
            break;
        samples.push_back(s);
    }
    ::close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "hlvdbench: the child for %s on %s failed (status 0x%x)\n", job.call.c_str(),
                     job.sysroot.c_str(), status);
        return false;
    }
    return samples.size() == expect;
}

// Results a call may answer on these hosts. The adapter info builds the
// adapter table and then answers 7 by design.
bool expected(const std::string &call, int rc)
{
    if (call == "discovery" || call == "dump" || call == "VEXO_init" || call == "VEXO_exit" || call == "path-get")
        return rc == 0;
    if (call == "flash" || call == "flash-pci")
        return rc == 0 || rc == 1;
    if (call == "info")
        return rc == 0 || rc == 7;
    return false;
}

// Leaves the upgrade of the first listed device and skips the others, so a
// flash with file upgrades one adapter.
bool keep_first_upgrade(const std::string &xml)
{
    std::string text = read_text(xml);
    const std::string upgrade = "<action value=\"upgrade\"/>";
    const std::string skip = "<action value=\"skip\"/>";
    size_t at = text.find(upgrade);
    if (at == std::string::npos)
        return false;
    at += upgrade.size();
    while ((at = text.find(upgrade, at)) != std::string::npos) {
        text.replace(at, upgrade.size(), skip);
        at += skip.size();
    }
    return write_text(xml, text);
}

// One run of a call on a fresh host; the samples it reported, or none.
bool run_once(const std::string &machine, const Job &job, size_t expect,
              std::vector<Sample> &samples)
{
    samples.clear();
    if (!make_host(job.sysroot, machine))
        return false;
    bool ok = true;
    if (job.call == "flash") {
        Job prep = job;
        prep.call = "prepare";
        ok = run_child(prep, 1, samples) && samples[0].rc == 0 && keep_first_upgrade(job.xml);
        if (!ok)
            std::fprintf(stderr, "hlvdbench: no discovery file to flash with on %s\n", job.sysroot.c_str());
    }
    if (ok)
        ok = run_child(job, expect, samples);
    return ok;
}

// Measures one call on fresh hosts of `adapters` adapters, `o.repeat` times;
// each row keeps the run of least process CPU.
bool measure_call(const Options &o, const std::string &machine, int adapters, const std::string &call,
                  const std::string &images, const std::string &image, std::vector<Row> &rows)
{
    char name[64];
    std::snprintf(name, sizeof name, "/host-%02d-%s", adapters, call.c_str());
    Job job;
    job.call = call;
    job.sysroot = o.workdir + name;
    job.library = o.library;
    job.xml = job.sysroot + "/discovery.xml";
    job.images = images;
    job.image = image;
    job.dump = job.sysroot + "/dump.bin";
    const bool vexo = call == "vexo";
    const size_t n = vexo ? 2 : 1;
    std::vector<Row> out(n);
    for (size_t i = 0; i < n; ++i) {
        out[i].adapters = adapters;
        out[i].call = vexo ? (i == 0 ? "VEXO_init" : "VEXO_exit") : call;
        out[i].ok = true;
    }
    std::vector<Sample> samples;
    for (int run = 0; run < o.repeat; ++run) {
        bool ok = run_once(machine, job, n, samples);
        for (size_t i = 0; i < n; ++i) {
            Row &r = out[i];
            if (!ok || !expected(r.call, samples[i].rc)) {
                if (ok)
                    std::fprintf(stderr, "hlvdbench: %s on %d adapters answered %d\n", r.call.c_str(), adapters,
                                 samples[i].rc);
                r.ok = false;
                if (ok)
                    r.s.rc = samples[i].rc;
                continue;
            }
            if (run == 0 || samples[i].cpu_ns < r.s.cpu_ns)
                r.s = samples[i];
        }
        if (ok && run == 0 && samples[0].image_bytes > 0)
            out[0].base_ns = baseline_ns(call == "dump" ? job.dump : image);
        if (!o.keep || run + 1 < o.repeat)
            remove_tree(job.sysroot);
    }
    bool all = true;
    for (const Row &r : out) {
        all = all && r.ok;
        rows.push_back(r);
    }
    return all;
}

// ---------------------------------------------------------------------------
// The table.

const char *kCallNames[][2] = {
    {"discovery", "oem_do_discovery_with_files"},
    {"flash", "oem_do_flash_with_file"},
    {"flash-pci", "oem_do_full_flash_PCI"},
    {"dump", "oem_get_full_flash_dump_PCI"},
    {"info", "oem_get_adapter_info"},
    {"VEXO_init", "VEXO_init"},
    {"VEXO_exit", "VEXO_exit"},
    {"path-get", "MAL_GetPropValFromPath"},
};

const char *long_name(const std::string &call)
{
    for (const auto &n : kCallNames)
        if (call == n[0])
            return n[1];
    return call.c_str();
}

double lib_ns(const Sample &s)
{
    return s.cpu_ns > s.sim_ns ? static_cast<double>(s.cpu_ns - s.sim_ns) : 0.0;
}

// Least-squares slope of log(y) over log(x); NAN with fewer than two points.
double slope(const std::vector<std::pair<double, double>> &pts)
{
    std::vector<std::pair<double, double>> l;
    for (const auto &p : pts)
        if (p.first > 0 && p.second > 0)
            l.push_back({std::log(p.first), std::log(p.second)});
    if (l.size() < 2)
        return NAN;
    double mx = 0, my = 0;
    for (const auto &p : l) {
        mx += p.first;
        my += p.second;
    }
    mx /= l.size();
    my /= l.size();
    double sxy = 0, sxx = 0;
    for (const auto &p : l) {
        sxy += (p.first - mx) * (p.second - my);
        sxx += (p.first - mx) * (p.first - mx);
    }
    return sxx > 0 ? sxy / sxx : NAN;
}

std::string fmt(const char *f, double v)
{
    if (std::isnan(v))
        return "-";
    char buf[64];
    std::snprintf(buf, sizeof buf, f, v);
    return buf;
}

const char *verdict(double e)
{
    if (std::isnan(e))
        return "";
    if (e < 1.25)
        return "linear or better";
    if (e < 1.6)
        return "above linear";
    return "SUPERLINEAR";
}

void print_table(const std::vector<Row> &rows, const std::vector<int> &sizes, int repeat)
{
    std::printf("\nhlvdbench: library cost per exported call (CPU of the process; library = process - simulator)\n");
    std::printf("host: N converged AW3 adapters x 8 functions + the default machine's 2 FC HBAs; "
                "HLVD_NO_SLEEP=1;\n"
                "one child process per call on a fresh host, least CPU of %d run%s;\n"
                "sys %%: the share of the CPU spent in the kernel (lock and state files), which varies most between "
                "runs\n",
                repeat, repeat == 1 ? "" : "s");
    std::printf("per image byte (flash: the UFI file; dump: the 16 MiB dump): bytes read, copied (memcpy/memmove), "
                "cleared (memset/calloc) by the library;\n"
                "base = one read + one zlib crc32 of the same bytes, least CPU in this run; exp = least-squares slope "
                "of log(library CPU) over log(adapters),\n"
                "exp hi the same between the two largest hosts (where a fixed cost weighs least)\n");
    // The least baseline of the run for each kind of image bytes, so that
    // every row is set against the same one.
    double base_image = 0, base_dump = 0;
    uint64_t bytes_image = 0, bytes_dump = 0;
    for (const Row &r : rows) {
        if (r.base_ns <= 0)
            continue;
        bool dump = r.call == "dump";
        double &b = dump ? base_dump : base_image;
        if (b == 0 || r.base_ns < b)
            b = r.base_ns;
        (dump ? bytes_dump : bytes_image) = r.s.image_bytes;
    }
    if (bytes_image)
        std::printf("base of the image (%llu bytes): %.2f ms\n", static_cast<unsigned long long>(bytes_image),
                    base_image / 1e6);
    if (bytes_dump)
        std::printf("base of the dump (%llu bytes): %.2f ms\n", static_cast<unsigned long long>(bytes_dump),
                    base_dump / 1e6);
    std::printf("\n");
    std::printf("%-28s %4s %3s %10s %6s %10s %8s %9s %6s %7s %7s %7s %8s %9s %8s %6s %6s %6s  %s\n", "call", "N",
                "rc", "cpu ms", "sys %", "lib ms", "fw cmds", "lib us/c", "sim %", "read/B", "copy/B", "clear/B", "lib/base",
                "proc/base", "peak MiB", "exp", "exp hi", "exp fw", "");
    std::vector<std::string> order;
    for (const Row &r : rows)
        if (std::find(order.begin(), order.end(), r.call) == order.end())
            order.push_back(r.call);
    for (const std::string &call : order) {
        std::vector<std::pair<double, double>> lib_pts, fw_pts;
        std::vector<const Row *> group;
        for (int n : sizes)
            for (const Row &r : rows)
                if (r.call == call && r.adapters == n)
                    group.push_back(&r);
        for (const Row *r : group)
            if (r->ok) {
                lib_pts.push_back({static_cast<double>(r->adapters), lib_ns(r->s)});
                fw_pts.push_back({static_cast<double>(r->adapters), static_cast<double>(r->s.fw)});
            }
        double e = slope(lib_pts), efw = slope(fw_pts);
        double ehi = lib_pts.size() >= 2
                         ? slope(std::vector<std::pair<double, double>>(lib_pts.end() - 2, lib_pts.end()))
                         : NAN;
        for (size_t i = 0; i < group.size(); ++i) {
            const Row &r = *group[i];
            const bool last = i + 1 == group.size();
            if (!r.ok) {
                std::printf("%-28s %4d %3d  FAILED\n", long_name(call), r.adapters, r.s.rc);
                continue;
            }
            const Sample &s = r.s;
            double cpu = static_cast<double>(s.cpu_ns), lib = lib_ns(s);
            double img = static_cast<double>(s.image_bytes);
            bool per_byte = s.image_bytes > 0;
            double base = r.call == "dump" ? base_dump : base_image;
            std::printf("%-28s %4d %3d %10.2f %6.1f %10.2f %8llu %9s %6.1f %7s %7s %7s %8s %9s %8.1f %6s %6s %6s  %s\n",
                        long_name(call), r.adapters, s.rc, cpu / 1e6,
                        cpu > 0 ? 100.0 * static_cast<double>(s.sys_ns) / cpu : 0.0, lib / 1e6, static_cast<unsigned long long>(s.fw),
                        s.fw ? fmt("%.1f", lib / 1e3 / static_cast<double>(s.fw)).c_str() : "-",
                        cpu > 0 ? 100.0 * static_cast<double>(s.sim_ns) / cpu : 0.0,
                        per_byte ? fmt("%.2f", static_cast<double>(s.read) / img).c_str() : "-",
                        per_byte ? fmt("%.2f", static_cast<double>(s.copied) / img).c_str() : "-",
                        per_byte ? fmt("%.2f", static_cast<double>(s.cleared) / img).c_str() : "-",
                        per_byte && base > 0 ? fmt("%.1f", lib / base).c_str() : "-",
                        per_byte && base > 0 ? fmt("%.1f", cpu / base).c_str() : "-",
                        static_cast<double>(s.maxrss_kb) / 1024.0, last ? fmt("%.2f", e).c_str() : "",
                        last ? fmt("%.2f", ehi).c_str() : "", last ? fmt("%.2f", efw).c_str() : "",
                        last ? verdict(std::isnan(ehi) ? e : std::max(e, ehi)) : "");
        }
    }
    std::printf("\nexp near 1: the library's CPU grows linearly with the adapters; near 2: quadratically. "
                "exp fw: the same slope for the commands sent.\n");
}

// ---------------------------------------------------------------------------

int usage()
{
    std::fprintf(stderr,
                 "usage: hlvdbench [--sizes 1,4,8,16] [--calls discovery,flash,flash-pci,dump,info,vexo,path-get]\n"
                 "                 [--repeat 3] [--library PATH] [--workdir DIR] [--keep]\n"
                 "Times the library's exported calls on simulated hosts of N converged adapters, each\n"
                 "call in a child process of its own on a fresh host, --repeat times; the run of least\n"
                 "CPU is shown. --keep leaves the work directory (hosts, images) in place.\n");
    return 2;
}

std::vector<std::string> split(const std::string &text)
{
    std::vector<std::string> out;
    std::stringstream ss(text);
    std::string item;
    while (std::getline(ss, item, ','))
        if (!item.empty())
            out.push_back(item);
    return out;
}

bool parse_args(int argc, char **argv, Options &o)
{
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool has_value = i + 1 < argc;
        if (a == "--sizes" && has_value) {
            o.sizes.clear();
            for (const std::string &s : split(argv[++i])) {
                char *end = nullptr;
                long n = std::strtol(s.c_str(), &end, 10);
                if (!end || *end || n < 1 || n > 200)
                    return false;
                o.sizes.push_back(static_cast<int>(n));
            }
            if (o.sizes.empty())
                return false;
        } else if (a == "--calls" && has_value) {
            o.calls = split(argv[++i]);
            for (const std::string &c : o.calls)
                if (c != "discovery" && c != "flash" && c != "flash-pci" && c != "dump" && c != "info" &&
                    c != "vexo" && c != "path-get")
                    return false;
        } else if (a == "--library" && has_value) {
            o.library = argv[++i];
        } else if (a == "--workdir" && has_value) {
            o.workdir = argv[++i];
        } else if (a == "--repeat" && has_value) {
            char *end = nullptr;
            long n = std::strtol(argv[++i], &end, 10);
            if (!end || *end || n < 1 || n > 100)
                return false;
            o.repeat = static_cast<int>(n);
        } else if (a == "--keep") {
            o.keep = true;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    if (!parse_args(argc, argv, o))
        return usage();
    if (o.library.empty())
        o.library = exe_dir() + "/../lib/libhlvdflash.so";
    bool own_workdir = o.workdir.empty();
    if (own_workdir) {
        const char *base = std::getenv("TMPDIR");
        std::string templ = std::string(base && base[0] ? base : "/tmp") + "/hlvdbench.XXXXXX";
        if (!mkdtemp(&templ[0])) {
            std::fprintf(stderr, "hlvdbench: cannot make a work directory\n");
            return 1;
        }
        o.workdir = templ;
    } else if (mkdir(o.workdir.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "hlvdbench: cannot make %s\n", o.workdir.c_str());
        return 1;
    }
    std::sort(o.sizes.begin(), o.sizes.end());
    o.sizes.erase(std::unique(o.sizes.begin(), o.sizes.end()), o.sizes.end());

    // A newer AW3 image: discovery proposes it for every adapter.
    std::string images = o.workdir + "/images";
    std::string image = images + "/aw3-" + std::string(kNewerAw3) + ".ufi";
    std::string err;
    mkdir(images.c_str(), 0755);
    if (!hlvdsim::write_ufi(hlvdsim::default_ufi_spec(3, kNewerAw3), image, &err)) {
        std::fprintf(stderr, "hlvdbench: cannot write the image: %s\n", err.c_str());
        return 1;
    }

    std::vector<Row> rows;
    bool all_ok = true;
    for (int n : o.sizes) {
        std::string machine = o.workdir + "/machine-" + std::to_string(n) + ".json";
        if (!write_text(machine, machine_json(n))) {
            std::fprintf(stderr, "hlvdbench: cannot write %s\n", machine.c_str());
            return 1;
        }
        for (const std::string &call : o.calls) {
            std::fprintf(stderr, "hlvdbench: %d adapters, %s\n", n, call.c_str());
            if (!measure_call(o, machine, n, call, images, image, rows))
                all_ok = false;
        }
    }
    print_table(rows, o.sizes, o.repeat);
    if (!o.keep && own_workdir)
        remove_tree(o.workdir);
    return all_ok ? 0 : 1;
}
