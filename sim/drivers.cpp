#include "sim/drivers.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "sim/command_log.h"
#include "sim/converged_adapter.h"
#include "sim/fault_plan.h"
#include "sim/machine.h"
#include "sim/vf_model.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const char *kind_of(SimDriver d)
{
    return d == SimDriver::Nic ? "nic" : "iscsi";
}

const char *driver_key(SimDriver d)
{
    return d == SimDriver::Nic ? "ovnnet" : "ovniscsi";
}

// The functions a driver serves come from the machine's layout; firmware
// commands read their adapter's current state themselves.
std::shared_ptr<const Machine> load(const std::string &sysroot)
{
    return sysroot.empty() ? nullptr : load_layout(sysroot, nullptr);
}

// The driver's entry of the description's "drivers" object.
json driver_doc(const Machine &m, SimDriver d)
{
    if (m.doc.contains("drivers") && m.doc.at("drivers").contains(driver_key(d)))
        return m.doc.at("drivers").at(driver_key(d));
    return json::object();
}

typedef FunctionRef FnRef;

// Converged functions of one kind served by one path, in machine order.
std::vector<FnRef> served(const Machine &m, SimDriver d, const char *path)
{
    if (m.index) {
        auto it = m.index->by_kind.find(std::string(kind_of(d)) + "/" + path);
        return it == m.index->by_kind.end() ? std::vector<FnRef>() : it->second;
    }
    std::vector<FnRef> out;
    for (size_t a = 0; a < m.adapters.size(); ++a) {
        if (m.adapters[a].family != "converged")
            continue;
        for (size_t f = 0; f < m.adapters[a].functions.size(); ++f) {
            const Function &fn = m.adapters[a].functions[f];
            if (fn.kind == kind_of(d) && fn.driver == path)
                out.push_back({a, f});
        }
    }
    return out;
}

bool serves_any(const Machine &m, SimDriver d, const char *path)
{
    if (m.index) {
        auto it = m.index->by_kind.find(std::string(kind_of(d)) + "/" + path);
        return it != m.index->by_kind.end() && !it->second.empty();
    }
    return !served(m, d, path).empty();
}

bool registered(const Machine &m, SimDriver d)
{
    if (!driver_doc(m, d).value("registered", true))
        return false;
    return serves_any(m, d, "callback");
}

bool shape_of(const Machine &m, SimDriver d, uint32_t id, CallbackShape *out)
{
    if (!registered(m, d))
        return false;
    json doc = driver_doc(m, d);
    if (doc.contains("missing_callbacks"))
        for (const json &x : doc.at("missing_callbacks"))
            if (x.get<uint32_t>() == id)
                return false;
    const CallbackShape *set = d == SimDriver::Nic ? kNicCallbacks : kIscsiCallbacks;
    size_t n = d == SimDriver::Nic ? sizeof kNicCallbacks / sizeof kNicCallbacks[0]
                                   : sizeof kIscsiCallbacks / sizeof kIscsiCallbacks[0];
    for (size_t i = 0; i < n; ++i) {
        if (set[i].id == id) {
            if (out)
                *out = set[i];
            return true;
        }
    }
    return false;
}

// A callback-served function of this driver by the PCI name in a request.
bool callback_function(const Machine &m, SimDriver d, const MgmtRequest *req, FnRef *ref)
{
    char name[sizeof req->pci_name + 1];
    std::memcpy(name, req->pci_name, sizeof req->pci_name);
    name[sizeof req->pci_name] = '\0';
    size_t a, f;
    if (!find_converged_function(m, name, kind_of(d), &a, &f))
        return false;
    if (m.adapters[a].functions[f].driver != "callback")
        return false;
    *ref = {a, f};
    return true;
}

void copy_name(char *dst, size_t size, const std::string &src)
{
    std::memset(dst, 0, size);
    std::memcpy(dst, src.data(), std::min(src.size(), size - 1));
}

json driver_entry(SimDriver d, const char *path)
{
    json e;
    e["kind"] = "driver";
    e["driver"] = kind_of(d);
    e["path"] = path;
    return e;
}

// Fills one enumeration list; the count tells every function the driver
// serves, even those the list has no room for.
template <typename List> uint32_t fill_sbdf(const Machine &m, SimDriver d, List *list, uint32_t room)
{
    std::memset(list, 0, sizeof *list);
    std::vector<FnRef> fns = served(m, d, "callback");
    uint32_t i = 0;
    for (const FnRef &r : fns) {
        if (i == room)
            break;
        const Function &f = m.adapters[r.adapter].functions[r.function];
        copy_name(list->entries[i].pci_name, sizeof list->entries[i].pci_name, pci_name(f));
        copy_name(list->entries[i].name, sizeof list->entries[i].name, d == SimDriver::Nic ? f.ifname : f.vmhba);
        ++i;
    }
    list->num_elements = static_cast<uint32_t>(fns.size());
    return list->num_elements;
}

// VF MAC addresses derive from the function's own.
void vf_mac(const Function &f, unsigned vf, uint8_t out[6])
{
    if (!parse_mac(f.mac, out))
        std::memset(out, 0, 6);
    out[3] = static_cast<uint8_t>(out[3] ^ 0x80);
    out[5] = static_cast<uint8_t>(vf);
}

void fill_drv_info(const std::string &sysroot, const Machine &m, const FnRef &r, NicDrvInfo *info)
{
    std::memset(info, 0, sizeof *info);
    fill_vf_records(sysroot, m, r.adapter, r.function, info);
    info->link_down_reason = static_cast<uint8_t>(function_field(m, r.adapter, r.function, "link_down_reason", 0));
    info->logical_link_status = 1;
    info->mtu = static_cast<uint16_t>(function_field(m, r.adapter, r.function, "mtu", 1500));
}

void fill_legacy_drv_info(const Machine &m, const FnRef &r, LegacyDrvInfo *info)
{
    const Function &f = m.adapters[r.adapter].functions[r.function];
    std::memset(info, 0, sizeof *info);
    info->max_bps = static_cast<uint32_t>(function_field(m, r.adapter, r.function, "max_bps", 10000));
    info->link_down_reason = static_cast<uint8_t>(function_field(m, r.adapter, r.function, "link_down_reason", 0));
    info->mtu = static_cast<uint16_t>(function_field(m, r.adapter, r.function, "mtu", 1500));
    long described = std::min(255L, std::max(0L, function_field(m, r.adapter, r.function, "vfs", 0)));
    long vfs = std::min(60L, described);
    info->number_vfs = static_cast<uint8_t>(described);
    for (long i = 0; i < vfs; ++i) {
        vf_mac(f, static_cast<unsigned>(i), info->vf[i].mac);
        info->vf[i].link_status = 1;
        info->vf[i].vf_id = static_cast<uint32_t>(i);
    }
}

// Parses the header of a command buffer for fault matching.
void describe_command(const uint8_t *buf, FaultEvent &ev)
{
    FwRequestHeader h;
    std::memcpy(&h, buf, sizeof h);
    ev.subsystem = h.subsystem;
    ev.opcode = h.opcode;
    ev.version = h.version;
}

int passthrough(const std::string &sysroot, const Machine &m, SimDriver d, uint32_t id, MgmtRequest *req, uint8_t *data)
{
    FnRef r;
    json e = driver_entry(d, "callback");
    e["callback"] = id;
    if (!callback_function(m, d, req, &r)) {
        // Not a function of this driver: the driver refuses the request.
        e["pci"] = bytes_value(std::string(req->pci_name, strnlen(req->pci_name, sizeof req->pci_name)));
        e["outcome"] = "unknown-function";
        log_append(sysroot, e);
        req->status = 1;
        return DRIVER_INVOKED;
    }
    const Function &f = m.adapters[r.adapter].functions[r.function];
    FwTarget t{pci_name(f), kind_of(d), "callback"};
    FaultEvent ev;
    ev.stage = "callback";
    ev.adapter = m.adapters[r.adapter].name;
    ev.pci = t.pci;
    ev.driver = t.driver;
    ev.path = t.path;
    ev.callback = id;
    describe_command(data, ev);
    json fault;
    if (fault_take(sysroot, ev, &fault)) {
        fw_execute(sysroot, t, data, kPassthroughSize, &fault);
        if (fault.value("how", "") == "invoke")
            return DRIVER_INVOKE_FAILED;
        req->status = 1;
        return DRIVER_INVOKED;
    }
    FwOutcome o = fw_execute(sysroot, t, data, kPassthroughSize);
    req->status = o.answered ? 0 : 1;
    return DRIVER_INVOKED;
}

} // namespace

bool driver_registered(const std::string &sysroot, SimDriver d)
{
    std::shared_ptr<const Machine> m = load(sysroot);
    return m && registered(*m, d);
}

bool driver_callback_shape(const std::string &sysroot, SimDriver d, uint32_t id, CallbackShape *out)
{
    std::shared_ptr<const Machine> m = load(sysroot);
    return m && shape_of(*m, d, id, out);
}

bool driver_init_fault(const std::string &sysroot, SimDriver d, json *fault)
{
    FaultEvent ev;
    ev.stage = "init";
    ev.driver = kind_of(d);
    ev.path = "callback";
    return fault_take(sysroot, ev, fault);
}

int driver_invoke(const std::string &sysroot, SimDriver d, uint32_t id, MgmtRequest *req, void *data)
{
    std::shared_ptr<const Machine> layout = load(sysroot);
    if (!layout || !shape_of(*layout, d, id, nullptr))
        return DRIVER_NOT_REGISTERED;
    const Machine &m = *layout;
    bool is_passthrough =
        (d == SimDriver::Nic && id == NIC_CB_PASSTHROUGH) || (d == SimDriver::Iscsi && id == ISCSI_CB_PASSTHROUGH);
    if (is_passthrough)
        return passthrough(sysroot, m, d, id, req, static_cast<uint8_t *>(data));

    json e = driver_entry(d, "callback");
    e["callback"] = id;
    FnRef r{0, 0};
    bool has_fn = callback_function(m, d, req, &r);
    if (has_fn)
        e["pci"] = pci_name(m.adapters[r.adapter].functions[r.function]);
    FaultEvent ev;
    ev.stage = "callback";
    ev.driver = kind_of(d);
    ev.path = "callback";
    ev.callback = id;
    if (has_fn) {
        ev.adapter = m.adapters[r.adapter].name;
        ev.pci = e["pci"];
    }
    json fault;
    if (fault_take(sysroot, ev, &fault)) {
        e["outcome"] = "transport";
        e["fault"] = fault.value("id", 0);
        log_append(sysroot, e);
        if (fault.value("how", "") == "invoke")
            return DRIVER_INVOKE_FAILED;
        req->status = 1;
        return DRIVER_INVOKED;
    }

    req->status = 0;
    if (d == SimDriver::Iscsi && id == ISCSI_CB_ENUMERATE_SBDF) {
        e["count"] = fill_sbdf(m, d, static_cast<IscsiSbdf *>(data), kIscsiSbdfEntries);
    } else if (d == SimDriver::Nic && id == NIC_CB_ENUMERATE_SBDF_V1) {
        e["count"] = fill_sbdf(m, d, static_cast<NicSbdfV1 *>(data), kNicSbdfV1Entries);
    } else if (d == SimDriver::Nic && id == NIC_CB_ENUMERATE_SBDF) {
        e["count"] = fill_sbdf(m, d, static_cast<NicSbdf *>(data), kNicSbdfEntries);
    } else if (d == SimDriver::Nic && (id == NIC_CB_DRV_INFO || id == NIC_CB_VARROW_READ_PCI_CFG)) {
        if (!has_fn) {
            req->status = 1;
        } else if (id == NIC_CB_DRV_INFO) {
            fill_drv_info(sysroot, m, r, static_cast<NicDrvInfo *>(data));
        } else {
            NicReadPciCfg *cfg = static_cast<NicReadPciCfg *>(data);
            std::array<uint8_t, 256> space = pci_config_space(m, r.adapter, r.function);
            if (cfg->offset >= space.size()) {
                req->status = 1;
            } else {
                uint32_t n = std::min<uint32_t>(cfg->data_length, static_cast<uint32_t>(space.size() - cfg->offset));
                std::memset(cfg->pci_data, 0, sizeof cfg->pci_data);
                std::memcpy(cfg->pci_data, space.data() + cfg->offset, n);
                cfg->data_length = n;
            }
        }
    } else {
        // Registered callbacks the product does not use answer an empty record.
        CallbackShape s;
        shape_of(m, d, id, &s);
        if (s.direction != DATA_IN)
            std::memset(data, 0, s.data_size);
    }
    e["outcome"] = req->status == 0 ? "ok" : "refused";
    log_append(sysroot, e);
    return DRIVER_INVOKED;
}

bool legacy_device_exists(const std::string &sysroot, const std::string &name)
{
    std::shared_ptr<const Machine> layout = load(sysroot);
    if (!layout)
        return false;
    const Machine &m = *layout;
    if (name == kLegacyNicName)
        return serves_any(m, SimDriver::Nic, "legacy");
    size_t plen = std::strlen(kLegacyIscsiPrefix);
    if (name.compare(0, plen, kLegacyIscsiPrefix) != 0 || name.size() == plen)
        return false;
    std::string num = name.substr(plen);
    if (num.find_first_not_of("0123456789") != std::string::npos)
        return false;
    int n = std::atoi(num.c_str());
    for (const FnRef &r : served(m, SimDriver::Iscsi, "legacy"))
        if (m.adapters[r.adapter].functions[r.function].legacy_device == n)
            return true;
    return false;
}

int legacy_ioctl(const std::string &sysroot, const std::string &name, unsigned long request, void *arg, int *err)
{
    std::shared_ptr<const Machine> layout = load(sysroot);
    *err = 0;
    if (!layout) {
        *err = ENODEV;
        return -1;
    }
    const Machine &m = *layout;
    bool nic = name == kLegacyNicName;
    SimDriver d = nic ? SimDriver::Nic : SimDriver::Iscsi;
    json e = driver_entry(d, "legacy");
    e["device"] = name;
    e["ioctl"] = request;
    if (!arg) {
        *err = EFAULT;
        return -1;
    }

    FnRef r{0, 0};
    bool has_fn = false;
    if (!nic) {
        int n = std::atoi(name.c_str() + std::strlen(kLegacyIscsiPrefix));
        for (const FnRef &x : served(m, d, "legacy")) {
            if (m.adapters[x.adapter].functions[x.function].legacy_device == n) {
                r = x;
                has_fn = true;
            }
        }
        if (!has_fn) {
            *err = ENODEV;
            return -1;
        }
    } else if (request == kNicIoctlDriverInfo || request == kNicIoctlVfInfo || request == kNicIoctlReadPciCfg) {
        // The request names its function by bus, device and function number.
        const uint8_t *bdf = static_cast<const uint8_t *>(arg);
        for (const FnRef &x : served(m, d, "legacy")) {
            const Function &f = m.adapters[x.adapter].functions[x.function];
            if (f.bus == bdf[0] && f.device == bdf[1] && f.function == bdf[2]) {
                r = x;
                has_fn = true;
            }
        }
    }

    FaultEvent ev;
    ev.stage = "ioctl";
    ev.driver = kind_of(d);
    ev.path = "legacy";
    ev.ioctl = static_cast<long>(request);
    if (has_fn) {
        ev.adapter = m.adapters[r.adapter].name;
        ev.pci = pci_name(m.adapters[r.adapter].functions[r.function]);
    }
    bool is_command = !nic && request == kIscsiIoctlPassthrough;
    if (is_command)
        describe_command(static_cast<const uint8_t *>(arg), ev);
    json fault;
    if (fault_take(sysroot, ev, &fault)) {
        if (is_command) {
            FwRequestHeader h;
            std::memcpy(&h, arg, sizeof h);
            FwTarget t{ev.pci, "iscsi", "legacy"};
            fw_execute(sysroot, t, static_cast<uint8_t *>(arg),
                       sizeof h + std::min<uint32_t>(h.request_length, kPassthroughSize), &fault);
        } else {
            e["outcome"] = "transport";
            e["fault"] = fault.value("id", 0);
            log_append(sysroot, e);
        }
        *err = fault.value("errno", EIO);
        return -1;
    }

    if (is_command) {
        FwRequestHeader h;
        std::memcpy(&h, arg, sizeof h);
        FwTarget t{ev.pci, "iscsi", "legacy"};
        // The driver takes the buffer's size from its header, as far as its
        // own limit.
        FwOutcome o = fw_execute(sysroot, t, static_cast<uint8_t *>(arg),
                                 sizeof h + std::min<uint32_t>(h.request_length, kPassthroughSize));
        if (!o.answered) {
            *err = EIO;
            return -1;
        }
        return 0;
    }

    int rc = 0;
    if (!nic && request == kIscsiIoctlHostName) {
        copy_name(static_cast<char *>(arg), 32, m.adapters[r.adapter].functions[r.function].vmhba);
        e["pci"] = ev.pci;
    } else if (nic && request == kNicIoctlChipList) {
        ChipList *list = static_cast<ChipList *>(arg);
        std::memset(list, 0, sizeof *list);
        for (const FnRef &x : served(m, d, "legacy")) {
            const Function &f = m.adapters[x.adapter].functions[x.function];
            ChipInfo *chip = nullptr;
            for (uint8_t i = 0; i < list->num_chips; ++i)
                if (list->chips[i].bus_number == f.bus && list->chips[i].device_number == f.device)
                    chip = &list->chips[i];
            if (!chip) {
                if (list->num_chips == 8)
                    continue;
                chip = &list->chips[list->num_chips++];
                chip->bus_number = static_cast<uint8_t>(f.bus);
                chip->device_number = static_cast<uint8_t>(f.device);
            }
            if (chip->num_pfs < 8)
                chip->pf[chip->num_pfs++] = static_cast<uint8_t>(f.function);
        }
    } else if (nic && (request == kNicIoctlDriverInfo || request == kNicIoctlVfInfo)) {
        if (!has_fn) {
            *err = ENODEV;
            rc = -1;
        } else {
            e["pci"] = ev.pci;
            fill_legacy_drv_info(m, r, &static_cast<LegacyCharInfo *>(arg)->dinfo);
        }
    } else if (nic && request == kNicIoctlReadPciCfg) {
        LegacyReadCfg *cfg = static_cast<LegacyReadCfg *>(arg);
        if (!has_fn || cfg->offset >= 256) {
            *err = has_fn ? EINVAL : ENODEV;
            rc = -1;
        } else if (sizeof(void *) != sizeof(uint32_t)) {
            // The record carries a 32-bit address; a 64-bit caller cannot
            // name its result area with it.
            *err = EFAULT;
            rc = -1;
        } else {
            e["pci"] = ev.pci;
            std::array<uint8_t, 256> space = pci_config_space(m, r.adapter, r.function);
            uint32_t n = std::min<uint32_t>(cfg->data_length, 256 - cfg->offset);
            std::memcpy(reinterpret_cast<void *>(static_cast<uintptr_t>(cfg->pci_data)), space.data() + cfg->offset, n);
            cfg->data_length = n;
        }
    } else {
        *err = ENOTTY;
        rc = -1;
    }
    e["outcome"] = rc == 0 ? "ok" : "refused";
    log_append(sysroot, e);
    return rc;
}

} // namespace hlvdsim
