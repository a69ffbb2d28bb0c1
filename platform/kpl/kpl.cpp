#include "kpl.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "sim/machine.h"

namespace {

// The FC-side functions (FC and FCoE personalities) in machine order.
std::vector<hlvdsim::Function> fc_functions()
{
    std::vector<hlvdsim::Function> out;
    hlvdsim::Machine m;
    std::string sysroot = hlvdsim::current_sysroot();
    if (sysroot.empty() || !hlvdsim::load_machine(sysroot, m, nullptr))
        return out;
    for (const hlvdsim::Adapter &a : m.adapters)
        for (const hlvdsim::Function &f : a.functions)
            if (f.kind == "fc" || f.kind == "fcoe")
                out.push_back(f);
    return out;
}

} // namespace

extern "C" int KPL_InitDiagEnv(KPL_ADAPTER_INFO *records, int max_records)
{
    if (!records || max_records <= 0)
        return 0;
    std::vector<hlvdsim::Function> fns = fc_functions();
    int n = 0;
    for (const hlvdsim::Function &f : fns) {
        if (n == max_records)
            break;
        KPL_ADAPTER_INFO &r = records[n++];
        std::memset(&r, 0, sizeof r);
        r.pciBus = f.bus;
        r.pciDevFn = (f.device << 3) | (f.function & 7);
        r.pciFunction = static_cast<uint8_t>(f.function);
    }
    return n;
}

extern "C" int KPL_GetLibVer(char *text)
{
    if (!text)
        return 1;
    std::snprintf(text, 25, "%s", "sim-kpl 1.0");
    return 0;
}

extern "C" int KPL_GetDrvInfo(int board, KPL_DRV_INFO *info)
{
    std::vector<hlvdsim::Function> fns = fc_functions();
    if (!info || board < 0 || static_cast<size_t>(board) >= fns.size())
        return 1;
    const hlvdsim::Function &f = fns[static_cast<size_t>(board)];
    std::memset(info, 0, sizeof *info);
    info->version = 4;
    info->infoKind = 3;
    std::snprintf(info->driverVersion, sizeof info->driverVersion, "%s", "11.4.142.0");
    info->sliLevel = (f.device_id >= 0xE000 && f.device_id < 0xF000) ? 4 : 3;
    info->features = 0x400 | (info->sliLevel == 4 ? 0x1000 : 0);
    if (f.kind == "fcoe")
        info->features |= 0x200;
    return 0;
}

extern "C" int KPL_ReadPciCfg(int board, uint8_t *buffer, int offset, int length)
{
    std::vector<hlvdsim::Function> fns = fc_functions();
    if (!buffer || board < 0 || static_cast<size_t>(board) >= fns.size() || offset < 0 || length < 0 ||
        offset + length > 256)
        return 1;
    const hlvdsim::Function &f = fns[static_cast<size_t>(board)];
    uint8_t cfg[256] = {};
    auto put16 = [&cfg](int at, uint16_t v) {
        cfg[at] = static_cast<uint8_t>(v & 0xFF);
        cfg[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    put16(0x00, f.vendor);
    put16(0x02, f.device_id);
    cfg[0x08] = f.revision;
    cfg[0x0E] = 0x80; // multi-function header
    put16(0x2C, f.subvendor);
    put16(0x2E, f.subdevice);
    std::memcpy(buffer, cfg + offset, static_cast<size_t>(length));
    return 0;
}
