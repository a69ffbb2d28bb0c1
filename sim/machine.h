// The simulated machine: its description, its persisted state and the
// directory layout of a simulated host (a sysroot).
//
// One simulated host lives under one directory. Its machine description is
// copied into the state directory <sysroot>/.hlvdsim when the host is
// created; that copy is the machine's state from then on. Each adapter's
// document lives in adapters/<index>.json and the rest of the machine in
// machine.json, so a firmware command reads and rewrites only its adapter.
// machine.json carries a random stamp that changes whenever an adapter's
// description (anything but its firmware state) changes, so a process knows
// when to read the machine's layout again. Every change is written back
// atomically under an exclusive file lock, so separate processes see one
// machine.
#ifndef HLVD_SIM_MACHINE_H
#define HLVD_SIM_MACHINE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace hlvdsim {

using json = nlohmann::json;

struct Function {
    uint32_t segment = 0;
    uint32_t bus = 0;
    uint32_t device = 0;
    uint32_t function = 0;
    std::string kind;   // "fc", "fcoe", "nic", "iscsi"
    uint16_t vendor = 0;
    uint16_t device_id = 0;
    uint16_t subvendor = 0;
    uint16_t subdevice = 0;
    uint8_t revision = 0;
    int port = 0;
    std::string mac;    // converged functions
    std::string wwpn;   // FC and FCoE functions
    std::string driver; // "callback", "legacy" or "none"
    std::string ifname; // NIC: uplink name (default vmnicN in machine order)
    std::string vmhba;  // iSCSI: host adapter name (default vmhbaN)
    int legacy_device = -1; // iSCSI on the legacy path: device number (default: order)
};

struct Adapter {
    std::string name;
    std::string family;     // "converged" or "fc"
    std::string generation; // AW2, AW3, Trelmont, Varrow; SLI3, SLI4
    // The texts below are bytes: the state may keep them as arrays of byte
    // values (bytes_value).
    std::string serial;
    std::string active_version;
    std::string flash_version;
    std::string boot_version;
    std::vector<Function> functions;
};

// A function's place in a machine: adapter and function in machine order.
struct FunctionRef {
    size_t adapter;
    size_t function;
};

// Converged functions of a layout, so that a command finds its function
// without walking the machine.
struct FunctionIndex {
    std::map<std::string, std::vector<FunctionRef>> by_pci;  // PCI name, machine order
    std::map<std::string, std::vector<FunctionRef>> by_kind; // kind "/" driver path, machine order
};

struct Machine {
    json doc; // the whole persisted document; the typed view below is read from it
    std::vector<Adapter> adapters;
    std::shared_ptr<const FunctionIndex> index; // set in layouts only
};

// <sysroot>/.hlvdsim
std::string state_dir(const std::string &sysroot);

// The sysroot of the simulated host this process talks to (HLVD_SYSROOT).
// Empty when none is set.
std::string current_sysroot();

// The machine description shipped with the project.
std::string default_machine_path();

// Makes `sysroot` a simulated host from a machine description file.
bool create_host(const std::string &sysroot, const std::string &machine_path, std::string *err);

// Parses a machine document into its typed view.
bool parse_machine(const json &doc, Machine &m, std::string *err);

// The whole machine, assembled from its files.
bool load_machine(const std::string &sysroot, Machine &m, std::string *err);

// Writes the document of `m` back: the adapters' files that changed and the
// machine's own (temporary file, flush, rename).
bool save_machine(const std::string &sysroot, const Machine &m, std::string *err);

// The machine as described: every adapter's typed view and description, for
// finding functions. What commands change (an adapter's "fw_state",
// "firmware", "flash_options" and "fc_state") may be older here than in the adapter's
// file; load_adapter has the current state. Read again only when the
// machine's stamp changed. Null with `err` set when the state is unreadable.
std::shared_ptr<const Machine> load_layout(const std::string &sysroot, std::string *err);

// Adapter `index` (machine order) alone: `m.doc` holds the machine's own
// keys and "adapters" with this one adapter, `m.adapters` its typed view.
bool load_adapter(const std::string &sysroot, size_t index, Machine &m, std::string *err);

// Writes back the one adapter of a machine load_adapter filled.
bool save_adapter(const std::string &sysroot, size_t index, const Machine &m, std::string *err);

// Exclusive lock over the machine state of one host, for read-modify-write.
class StateLock {
public:
    explicit StateLock(const std::string &sysroot);
    ~StateLock();
    StateLock(const StateLock &) = delete;
    StateLock &operator=(const StateLock &) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_;
};

// Text that comes from firmware or image bytes, as the state keeps it: a
// JSON string when the bytes are valid UTF-8, else an array of the byte
// values (JSON text cannot carry other bytes).
json bytes_value(const std::string &bytes);
// The bytes of such a value: a string, or an array of byte values. Throws
// std::runtime_error for anything else.
std::string value_bytes(const json &v);
bool valid_utf8(const std::string &s);

// Writes `data` to `path` through an exclusively created temporary file of
// an unpredictable name in the same directory (never one planted there).
bool write_file_atomic(const std::string &path, const std::string &data, std::string *err);
// Writes all len bytes at offset `at` of fd (short writes and interruptions
// retried); false on an error or a write that makes no progress.
bool write_all_at(int fd, uint64_t at, const uint8_t *from, size_t len);

// Makes every directory of `path` (mode 0755).
bool make_dirs(const std::string &path);

// The driver's PCI name of a function: segment:bus:device.function in
// hexadecimal digits ("0000:04:00.2").
std::string pci_name(const Function &f);

} // namespace hlvdsim

#endif
