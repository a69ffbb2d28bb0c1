#include "kpl.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "sim/command_log.h"
#include "sim/cfi_flash.h"
#include "sim/fc_hba.h"
#include "sim/machine.h"
#include "sim/sim_cost.h"

// A function may carry a "kpl" object in the machine description that shapes
// what this library answers for it (all optional):
//   "drv_status"      result of KPL_GetDrvInfo (0; 2 also fills the record)
//   "info_kind"       byte 1 of the driver record (3: version text present)
//   "driver_version"  the driver version text
//   "sli_level"       SLI interface level (4 for SLI-4 and converged adapters)
//   "features"        driver feature mask (FCoE functions get 0x200)
//   "pci_cfg_status"  result of KPL_ReadPciCfg (0)
//   "header_type"     PCI header type byte (0x80 on multi-function adapters)
//   "reset_status"    result of KPL_ResetAdapter (0)
// Resets, dump-environment changes and loopback requests are appended to the
// host's command log (kind "kpl"); every other call and mailbox command as an
// entry of kind "fc". The FC functions' state and firmware answers are the
// simulator's (sim/fc_hba.h).
namespace {

struct FcFunction {
    hlvdsim::Function fn;
    std::string generation;
    size_t adapter_functions = 0;
    hlvdsim::json kpl;
};

// The machine state file as last read: every save replaces the file, so a
// new inode or time means new contents.
struct StateStamp {
    std::string path;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    struct timespec mtime = {0, 0};
    bool same(const std::string &p, const struct stat &st) const
    {
        return p == path && st.st_dev == dev && st.st_ino == ino && st.st_size == size &&
               st.st_mtim.tv_sec == mtime.tv_sec && st.st_mtim.tv_nsec == mtime.tv_nsec;
    }
};

std::vector<FcFunction> read_fc_functions(const std::string &sysroot);

// The FC-side functions (FC and FCoE personalities) in machine order, read
// again whenever the machine state changed.
std::vector<FcFunction> fc_functions()
{
    static std::mutex lock;
    static StateStamp stamp;
    static std::vector<FcFunction> cached;
    std::string sysroot = hlvdsim::current_sysroot();
    if (sysroot.empty())
        return std::vector<FcFunction>();
    std::string path = hlvdsim::state_dir(sysroot) + "/machine.json";
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return std::vector<FcFunction>();
    std::lock_guard<std::mutex> hold(lock);
    if (!stamp.same(path, st)) {
        cached = read_fc_functions(sysroot);
        stamp.path = path;
        stamp.dev = st.st_dev;
        stamp.ino = st.st_ino;
        stamp.size = st.st_size;
        stamp.mtime = st.st_mtim;
    }
    return cached;
}

std::vector<FcFunction> read_fc_functions(const std::string &sysroot)
{
    std::vector<FcFunction> out;
    hlvdsim::Machine m;
    if (!hlvdsim::load_machine(sysroot, m, nullptr))
        return out;
    for (size_t ai = 0; ai < m.adapters.size(); ++ai) {
        const hlvdsim::Adapter &a = m.adapters[ai];
        for (size_t fi = 0; fi < a.functions.size(); ++fi) {
            const hlvdsim::Function &f = a.functions[fi];
            if (f.kind != "fc" && f.kind != "fcoe")
                continue;
            FcFunction x;
            x.fn = f;
            x.generation = a.generation;
            x.adapter_functions = a.functions.size();
            const hlvdsim::json &jf = m.doc["adapters"][ai]["functions"][fi];
            if (jf.contains("kpl") && jf["kpl"].is_object())
                x.kpl = jf["kpl"];
            out.push_back(x);
        }
    }
    return out;
}

long number(const hlvdsim::json &obj, const char *key, long dflt)
{
    if (!obj.is_object() || !obj.contains(key))
        return dflt;
    const hlvdsim::json &v = obj.at(key);
    if (v.is_number_integer() || v.is_number_unsigned())
        return v.get<long>();
    if (v.is_string())
        return std::strtol(v.get<std::string>().c_str(), nullptr, 0);
    return dflt;
}

std::string text(const hlvdsim::json &obj, const char *key, const std::string &dflt)
{
    if (!obj.is_object() || !obj.contains(key) || !obj.at(key).is_string())
        return dflt;
    return obj.at(key).get<std::string>();
}

// The simulator behind these calls may throw (an unreadable state, memory);
// a C caller gets the call's failure value, never an exception.
template <typename Body> int guarded(int failure, Body body)
{
    try {
        return body();
    } catch (const std::exception &) {
        return failure;
    }
}

bool board(int index, const std::vector<FcFunction> &fns)
{
    return index >= 0 && static_cast<size_t>(index) < fns.size();
}

} // namespace

extern "C" int KPL_InitDiagEnv(KPL_ADAPTER_INFO *records, int max_records)
{
    hlvdsim::SimCostScope cost;
    return guarded(0, [&]() -> int {
        if (!records || max_records <= 0)
            return 0;
        std::vector<FcFunction> fns = fc_functions();
        int n = 0;
        for (const FcFunction &x : fns) {
            if (n == max_records)
                break;
            KPL_ADAPTER_INFO &r = records[n++];
            std::memset(&r, 0, sizeof r);
            r.pciBus = x.fn.bus;
            r.pciDevFn = (x.fn.device << 3) | (x.fn.function & 7);
            r.pciFunction = static_cast<uint8_t>(x.fn.function);
        }
        hlvdsim::fc_log_call(hlvdsim::current_sysroot(), "InitDiagEnv", -1, hlvdsim::json::array({max_records}), n);
        return n;
    });
}

extern "C" int KPL_GetLibVer(char *text)
{
    hlvdsim::SimCostScope cost;
    if (!text)
        return 1;
    std::snprintf(text, 25, "%s", "sim-kpl 1.0");
    return 0;
}

extern "C" int KPL_GetDrvInfo(int index, KPL_DRV_INFO *info)
{
    hlvdsim::SimCostScope cost;
    return guarded(1, [&]() -> int {
        std::vector<FcFunction> fns = fc_functions();
        if (!info || !board(index, fns))
            return 1;
        const FcFunction &x = fns[static_cast<size_t>(index)];
        int status = static_cast<int>(number(x.kpl, "drv_status", 0));
        std::string sysroot = hlvdsim::current_sysroot();
        int planned = 0;
        if (hlvdsim::fc_call_fault(sysroot, "GetDrvInfo", index, &planned))
            status = planned;
        if (status != 0 && status != 2) {
            hlvdsim::fc_log_call(sysroot, "GetDrvInfo", index, hlvdsim::json::array(), status);
            return status;
        }
        std::memset(info, 0, sizeof *info);
        info->version = 4;
        info->infoKind = static_cast<uint8_t>(number(x.kpl, "info_kind", 3));
        std::snprintf(info->driverVersion, sizeof info->driverVersion, "%s",
                      text(x.kpl, "driver_version", "11.4.142.0").c_str());
        hlvdsim::Adapter a;
        a.generation = x.generation;
        hlvdsim::FcCaps caps = hlvdsim::fc_driver_caps(a, x.fn, x.kpl);
        info->sliLevel = caps.sli_level;
        info->features = caps.features;
        hlvdsim::fc_log_call(hlvdsim::current_sysroot(), "GetDrvInfo", index, hlvdsim::json::array(), status);
        return status;
    });
}

extern "C" int KPL_ReadPciCfg(int index, uint8_t *buffer, int offset, int length)
{
    hlvdsim::SimCostScope cost;
    return guarded(1, [&]() -> int {
        std::vector<FcFunction> fns = fc_functions();
        if (!buffer || !board(index, fns) || offset < 0 || length < 0 || offset + length > 256)
            return 1;
        const FcFunction &x = fns[static_cast<size_t>(index)];
        int status = static_cast<int>(number(x.kpl, "pci_cfg_status", 0));
        std::string sysroot = hlvdsim::current_sysroot();
        int planned = 0;
        if (hlvdsim::fc_call_fault(sysroot, "ReadPciCfg", index, &planned))
            status = planned;
        hlvdsim::fc_log_call(sysroot, "ReadPciCfg", index, hlvdsim::json::array({offset, length}), status);
        if (status != 0)
            return status;
        const hlvdsim::Function &f = x.fn;
        uint8_t cfg[256] = {};
        auto put16 = [&cfg](int at, uint16_t v) {
            cfg[at] = static_cast<uint8_t>(v & 0xFF);
            cfg[at + 1] = static_cast<uint8_t>(v >> 8);
        };
        put16(0x00, f.vendor);
        put16(0x02, f.device_id);
        cfg[0x08] = f.revision;
        cfg[0x0E] = static_cast<uint8_t>(number(x.kpl, "header_type", x.adapter_functions > 1 ? 0x80 : 0));
        put16(0x2C, f.subvendor);
        put16(0x2E, f.subdevice);
        std::memcpy(buffer, cfg + offset, static_cast<size_t>(length));
        return 0;
    });
}

extern "C" int KPL_ResetAdapter(int index, int kind)
{
    hlvdsim::SimCostScope cost;
    return guarded(1, [&]() -> int {
        return hlvdsim::fc_simple_call(hlvdsim::current_sysroot(), "ResetAdapter", index, {kind}, nullptr);
    });
}

extern "C" int KPL_SetDumpEnv(int index, int state)
{
    hlvdsim::SimCostScope cost;
    return guarded(-1, [&]() -> int {
        return hlvdsim::fc_simple_call(hlvdsim::current_sysroot(), "SetDumpEnv", index, {state}, nullptr);
    });
}

extern "C" int KPL_ConfigLoopback(int index, int mode, int parameter)
{
    hlvdsim::SimCostScope cost;
    return guarded(1, [&]() -> int {
        return hlvdsim::fc_simple_call(hlvdsim::current_sysroot(), "ConfigLoopback", index, {mode, parameter},
                                       nullptr);
    });
}

extern "C" int KPL_IssueMboxWithRetry(int index, void *mbox, int words_sent, int bytes_returned, int retries, int wait)
{
    hlvdsim::SimCostScope cost;
    (void)retries;
    (void)wait;
    return guarded(1, [&]() -> int {
        if (words_sent < 1 || bytes_returned < 0)
            return 1;
        return hlvdsim::fc_mailbox(hlvdsim::current_sysroot(), "IssueMboxWithRetry", index,
                                   static_cast<uint8_t *>(mbox), static_cast<size_t>(words_sent) * 4,
                                   static_cast<size_t>(bytes_returned), nullptr, 0, 0);
    });
}

extern "C" int KPL_IssueMboxWithRetryV2(int index, void *buffer, int total_words, int retries, int wait)
{
    hlvdsim::SimCostScope cost;
    (void)retries;
    (void)wait;
    return guarded(1, [&]() -> int {
        if (total_words < 1)
            return 1;
        size_t bytes = static_cast<size_t>(total_words) * 4;
        return hlvdsim::fc_mailbox(hlvdsim::current_sysroot(), "IssueMboxWithRetryV2", index,
                                   static_cast<uint8_t *>(buffer), bytes, bytes, nullptr, 0, 0);
    });
}

extern "C" int KPL_IssueMboxWithRetryEx(int index, void *mbox, void *data, int mbox_words, int in_words,
                                        int out_words, int retries, int wait)
{
    hlvdsim::SimCostScope cost;
    (void)retries;
    (void)wait;
    return guarded(-1, [&]() -> int {
        if (mbox_words < 1 || in_words < 0 || out_words < 0 || (!data && (in_words > 0 || out_words > 0)))
            return -1;
        size_t bytes = static_cast<size_t>(mbox_words) * 4;
        return hlvdsim::fc_mailbox(hlvdsim::current_sysroot(), "IssueMboxWithRetryEx", index,
                                   static_cast<uint8_t *>(mbox), bytes, bytes, static_cast<uint8_t *>(data),
                                   static_cast<size_t>(in_words) * 4, static_cast<size_t>(out_words) * 4);
    });
}

extern "C" int KPL_IssueDumpMBox(int index, int type, int zero, int region, uint32_t offset, uint8_t *buffer,
                                 uint32_t *count)
{
    hlvdsim::SimCostScope cost;
    (void)zero;
    return guarded(1, [&]() -> int {
        return hlvdsim::fc_dump_region(hlvdsim::current_sysroot(), index, type, region, offset, buffer, count);
    });
}

extern "C" int KPL_IssueUpdateCfgMBox(int index, int kind, int region, uint32_t length, uint8_t *data,
                                      uint32_t *response)
{
    hlvdsim::SimCostScope cost;
    return guarded(1, [&]() -> int {
        return hlvdsim::fc_update_config(hlvdsim::current_sysroot(), index, kind, region, length, data, response);
    });
}

extern "C" int KPL_GetPersistLinkDown(int index, uint16_t *value)
{
    hlvdsim::SimCostScope cost;
    return guarded(1, [&]() -> int {
        if (!value)
            return 1;
        uint32_t v = 0;
        int r = hlvdsim::fc_simple_call(hlvdsim::current_sysroot(), "GetPersistLinkDown", index, {}, &v);
        if (r == 0)
            *value = static_cast<uint16_t>(v);
        return r;
    });
}

extern "C" int KPL_SetPersistLinkDown(int index, uint16_t value)
{
    hlvdsim::SimCostScope cost;
    return guarded(1, [&]() -> int {
        return hlvdsim::fc_simple_call(hlvdsim::current_sysroot(), "SetPersistLinkDown", index, {value}, nullptr);
    });
}

extern "C" int KPL_GetLinkInfo(int index, KPL_LINK_INFO *info)
{
    hlvdsim::SimCostScope cost;
    return guarded(1, [&]() -> int {
        if (!info)
            return 1;
        uint32_t state = 0;
        int r = hlvdsim::fc_simple_call(hlvdsim::current_sysroot(), "GetLinkInfo", index, {}, &state);
        if (r == 0) {
            std::memset(info, 0, sizeof *info);
            info->linkState = static_cast<uint8_t>(state);
        }
        return r;
    });
}

extern "C" int ReadCtlReg(int index, uint32_t *value, uint32_t reg)
{
    hlvdsim::SimCostScope cost;
    return guarded(1, [&]() -> int {
        if (!value)
            return 1;
        uint32_t v = 0;
        // A held flash chip answers from memory, without the call's records.
        if (hlvdsim::cfi_fast_call(std::getenv("HLVD_SYSROOT"), index, false, reg, 0, value))
            return 0;
        int r = hlvdsim::fc_simple_call(hlvdsim::current_sysroot(), "ReadCtlReg", index, {static_cast<long>(reg)},
                                        &v);
        if (r == 0)
            *value = v;
        return r;
    });
}

extern "C" int WriteCtlReg(int index, uint32_t *value, uint32_t reg)
{
    hlvdsim::SimCostScope cost;
    return guarded(1, [&]() -> int {
        if (!value)
            return 1;
        if (hlvdsim::cfi_fast_call(std::getenv("HLVD_SYSROOT"), index, true, reg, *value, nullptr))
            return 0;
        return hlvdsim::fc_simple_call(hlvdsim::current_sysroot(), "WriteCtlReg", index,
                                       {static_cast<long>(reg), static_cast<long>(*value)}, nullptr);
    });
}

extern "C" void SetBrdEnv(int index, int env)
{
    hlvdsim::SimCostScope cost;
    guarded(1, [&]() -> int {
        return hlvdsim::fc_simple_call(hlvdsim::current_sysroot(), "SetBrdEnv", index, {env}, nullptr);
    });
}
