#include "sim/nic_boot_model.h"

#include <string>

#include "sim/converged_adapter.h"
#include "sim/iscsi_model_util.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const uint32_t kPportBit = 0x80000000u;
const unsigned kFwdShift = 6;
const uint32_t kFwdMask = 0x7;

const Function &func(const FwContext &c)
{
    return c.m.adapters[c.adapter].functions[c.function];
}

// The switch of another port, or a request without the pport bit, is refused.
bool own_port(FwContext &c)
{
    const uint32_t word = get32(c.req);
    if ((word & kPportBit) && static_cast<int>(word & 0xFFFF) == func(c).port)
        return true;
    c.status = FW_STATUS_FAILED;
    c.additional = FW_ADDL_INVALID_REQUEST;
    c.answer.clear();
    return false;
}

uint32_t default_rom_bits(const FwContext &c)
{
    uint32_t bits = 0;
    for (const Function &f : c.m.adapters[c.adapter].functions)
        if (f.kind == "nic" && f.function < 32)
            bits |= 1u << f.function;
    return bits;
}

} // namespace

void cmd_pci_function_mapping(FwContext &c)
{
    const json &a = c.m.doc.at("adapters").at(c.adapter);
    const uint32_t bits = static_cast<uint32_t>(desc_number(a, "expansion_rom_enabled", default_rom_bits(c)));
    c.answer.assign(68, 0);
    put32(c.answer, 32, bits);
}

void cmd_get_hsw_config(FwContext &c)
{
    if (short_request(c, 16) || !own_port(c))
        return;
    long fwd = function_field(c.m, c.adapter, c.function, "port_fwd_type", 2);
    const std::string key = pci_name(func(c));
    if (c.fw->contains("hsw_config") && c.fw->at("hsw_config").is_object() && c.fw->at("hsw_config").contains(key))
        fwd = c.fw->at("hsw_config").at(key).get<long>();
    c.answer.assign(16, 0);
    put32(c.answer, 0, (static_cast<uint32_t>(fwd) & kFwdMask) << kFwdShift);
}

void cmd_set_hsw_config(FwContext &c)
{
    if (short_request(c, 20) || !own_port(c))
        return;
    json &all = (*c.fw)["hsw_config"];
    if (!all.is_object())
        all = json::object();
    all[pci_name(func(c))] = (get32(c.req + 4) >> kFwdShift) & kFwdMask;
    c.dirty = true;
    c.answer.assign(20, 0);
}

} // namespace hlvdsim
