#include "sim/vf_model.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sim/command_log.h"
#include "sim/converged_adapter.h"
#include "sim/fault_plan.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const size_t kMaxVfs = 64;

const json &function_desc(const Machine &m, size_t adapter, size_t function)
{
    static const json empty = json::object();
    const json &a = m.doc.at("adapters").at(adapter);
    if (!a.contains("functions") || !a.at("functions").is_array() || function >= a.at("functions").size())
        return empty;
    return a.at("functions").at(function);
}

// The VFs that have records: the described count, bounded by the table.
size_t vf_count(const Machine &m, size_t adapter, size_t function)
{
    long described = std::max(0L, function_field(m, adapter, function, "vfs", 0));
    return std::min(kMaxVfs, static_cast<size_t>(described));
}

void put_vf(NicVfInfo *vf, const json &e)
{
    if (e.contains("mac") && e.at("mac").is_string())
        parse_mac(e.at("mac").get<std::string>(), vf->mac);
    if (e.contains("vlan") && e.at("vlan").is_number_integer())
        vf->vlan_id = static_cast<uint16_t>(e.at("vlan").get<long>());
    if (e.contains("rate") && e.at("rate").is_number_integer())
        vf->qos_link_speed = static_cast<uint16_t>(e.at("rate").get<long>());
    if (e.contains("link") && e.at("link").is_number_integer())
        vf->link_status = static_cast<uint8_t>(e.at("link").get<long>());
}

bool find_nic_by_ifname(const Machine &m, const std::string &ifname, size_t *adapter, size_t *function)
{
    for (size_t a = 0; a < m.adapters.size(); ++a) {
        if (m.adapters[a].family != "converged")
            continue;
        for (size_t f = 0; f < m.adapters[a].functions.size(); ++f) {
            if (m.adapters[a].functions[f].kind == "nic" && m.adapters[a].functions[f].ifname == ifname) {
                *adapter = a;
                *function = f;
                return true;
            }
        }
    }
    return false;
}

bool number_arg(const std::string &s, long max, long *out)
{
    if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos)
        return false;
    long v = std::stol(s);
    if (v > max)
        return false;
    *out = v;
    return true;
}

int refuse(std::string *err, const std::string &why)
{
    if (err)
        *err = why;
    return 1;
}

} // namespace

void fill_vf_records(const std::string &sysroot, const Machine &layout, size_t adapter, size_t function,
                     NicDrvInfo *info)
{
    const Function &f = layout.adapters[adapter].functions[function];
    // The count is what the description says (as far as its byte holds);
    // the records stop at the 64 the answer has room for.
    long described = std::min(255L, std::max(0L, function_field(layout, adapter, function, "vfs", 0)));
    info->number_vfs = static_cast<uint8_t>(described);
    size_t n = vf_count(layout, adapter, function);
    uint8_t own[6] = {};
    if (!parse_mac(f.mac, own))
        std::memset(own, 0, sizeof own);
    const json &desc = function_desc(layout, adapter, function);
    const json table = desc.contains("vf_table") && desc.at("vf_table").is_array() ? desc.at("vf_table") : json::array();
    for (size_t i = 0; i < n; ++i) {
        NicVfInfo *vf = &info->vf_info[i];
        std::memcpy(vf->mac, own, 6);
        vf->mac[3] = static_cast<uint8_t>(vf->mac[3] ^ 0x80);
        vf->mac[5] = static_cast<uint8_t>(i);
        vf->link_status = 1;
        if (i < table.size() && table.at(i).is_object())
            put_vf(vf, table.at(i));
    }
    // Changes are part of the adapter's current state, newer than the layout.
    Machine current;
    if (sysroot.empty() || !load_adapter(sysroot, adapter, current, nullptr))
        return;
    const json &a = current.doc.at("adapters").at(0);
    if (!a.contains("fw_state") || !a.at("fw_state").contains("vf_changes"))
        return;
    const json &changes = a.at("fw_state").at("vf_changes");
    std::string pci = pci_name(f);
    if (!changes.is_object() || !changes.contains(pci) || !changes.at(pci).is_object())
        return;
    for (auto it = changes.at(pci).begin(); it != changes.at(pci).end(); ++it) {
        long vf = -1;
        if (number_arg(it.key(), 63, &vf) && static_cast<size_t>(vf) < n && it.value().is_object())
            put_vf(&info->vf_info[vf], it.value());
    }
}

int run_ip_command(const std::string &sysroot, const std::vector<std::string> &args, std::string *err)
{
    json entry{{"kind", "host"}, {"program", "ip"}, {"args", args}};
    auto finish = [&](int code, const std::string &why) {
        entry["exit"] = code;
        if (!sysroot.empty())
            log_append(sysroot, entry);
        if (code != 0 && err)
            *err = why;
        return code;
    };
    if (sysroot.empty())
        return refuse(err, "no simulated host (HLVD_SYSROOT)");
    if (args.size() < 7 || args[0] != "link" || args[1] != "set" || args[3] != "vf" || (args.size() - 5) % 2 != 0)
        return finish(1, "usage: ip link set DEV vf NUM KEY VALUE ...");
    long vf = 0;
    if (!number_arg(args[4], 63, &vf))
        return finish(1, "invalid vf number");
    std::shared_ptr<const Machine> layout = load_layout(sysroot, nullptr);
    size_t a = 0, f = 0;
    if (!layout || !find_nic_by_ifname(*layout, args[2], &a, &f))
        return finish(1, "Cannot find device \"" + args[2] + "\"");
    if (static_cast<size_t>(vf) >= vf_count(*layout, a, f))
        return finish(2, "RTNETLINK answers: Invalid argument");
    json change = json::object();
    for (size_t i = 5; i + 1 < args.size(); i += 2) {
        const std::string &key = args[i], &value = args[i + 1];
        long v = 0;
        uint8_t mac[6];
        if (key == "mac" && parse_mac(value, mac)) {
            change["mac"] = value;
        } else if (key == "vlan" && number_arg(value, 4095, &v)) {
            change["vlan"] = v;
        } else if ((key == "rate" || key == "max_tx_rate") && number_arg(value, 655350, &v)) {
            change["rate"] = v / 10; // the driver keeps units of 10 Mb/s
        } else {
            return finish(1, "Error: argument \"" + value + "\" is wrong for \"" + key + "\"");
        }
    }
    const Function &fn = layout->adapters[a].functions[f];
    FaultEvent ev;
    ev.stage = "command";
    ev.adapter = layout->adapters[a].name;
    ev.pci = pci_name(fn);
    ev.driver = "nic";
    ev.path = "ip";
    json fault;
    if (fault_take(sysroot, ev, &fault)) {
        entry["fault"] = fault.value("id", 0);
        int code = fault.value("status", 1);
        return finish(code == 0 ? 1 : code, "RTNETLINK answers: Operation not permitted");
    }
    StateLock lock(sysroot);
    Machine m;
    if (!lock.held() || !load_adapter(sysroot, a, m, nullptr))
        return finish(1, "cannot read the machine state");
    json &state = m.doc["adapters"][0]["fw_state"];
    if (!state.is_object())
        state = json::object();
    json &kept = state["vf_changes"][ev.pci][std::to_string(vf)];
    if (!kept.is_object())
        kept = json::object();
    kept.update(change);
    if (!save_adapter(sysroot, a, m, nullptr))
        return finish(1, "cannot write the machine state");
    return finish(0, "");
}

void cmd_vnic_stats(FwContext &c)
{
    if (c.req_len < 24) {
        c.status = FW_STATUS_FAILED;
        c.additional = FW_ADDL_INVALID_REQUEST;
        c.answer.clear();
        return;
    }
    const json &desc = function_desc(c.m, c.adapter, c.function);
    const json vnic = desc.contains("vnic") && desc.at("vnic").is_object() ? desc.at("vnic") : json::object();
    c.answer.assign(24, 0);
    put32(c.answer, 0, desc.contains("vnic_name") ? 1 : 0);
    put32(c.answer, 4, static_cast<uint32_t>(desc_number(vnic, "vlan_id", 0)));
    put32(c.answer, 8, static_cast<uint32_t>(desc_number(vnic, "vlan_priority", 0)));
    put32(c.answer, 12, static_cast<uint32_t>(desc_number(vnic, "qos_min", 0)));
    put32(c.answer, 16, static_cast<uint32_t>(desc_number(vnic, "qos_max", 0)));
    put32(c.answer, 20, static_cast<uint32_t>(desc_number(vnic, "link_status", 0)));
}

} // namespace hlvdsim
