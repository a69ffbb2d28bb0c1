#include "sim/profile_model.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "sim/converged_adapter.h"
#include "sim/function_config.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const size_t PROFILE_DESC_SIZE = 516;
const size_t CAPS_DESC_SIZE = 40;
const size_t LINK_DESC_SIZE = 36;
const size_t COMMON_RECORDS = 256;
const size_t COMMON_RECORD_SIZE = 72;
const size_t COMMON_CONFIG_SIZE = 4 + COMMON_RECORDS * COMMON_RECORD_SIZE;

void put16(std::vector<uint8_t> &b, size_t at, uint16_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void put32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    put16(b, at, static_cast<uint16_t>(v));
    put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}

uint32_t get32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

const Adapter &card(const FwContext &c)
{
    return c.m.adapters[c.adapter];
}

const json &adoc(const FwContext &c)
{
    return c.m.doc.at("adapters").at(c.adapter);
}

bool gen_is(const FwContext &c, const char *g)
{
    return card(c).generation == g;
}

void fail(FwContext &c, uint8_t status)
{
    c.status = status;
    c.additional = status == FW_STATUS_FAILED ? FW_ADDL_INVALID_REQUEST : 0;
    c.answer.clear();
}

void unknown_command(FwContext &c)
{
    c.status = FW_STATUS_FAILED;
    c.additional = FW_ADDL_UNKNOWN_COMMAND;
    c.answer.clear();
}

bool need(FwContext &c, uint32_t len)
{
    if (c.req_len >= len)
        return true;
    fail(c, FW_STATUS_FAILED);
    return false;
}

// A command only Trelmont knows, with a request of at least `len` bytes;
// false with the refusal written.
bool trelmont_request(FwContext &c, uint32_t len)
{
    if (!gen_is(c, "Trelmont")) {
        unknown_command(c);
        return false;
    }
    return need(c, len);
}

// Trelmont answers the profile commands; AW3 too unless its description
// says its firmware lacks them.
bool has_profiles(FwContext &c)
{
    if (gen_is(c, "Trelmont") || (gen_is(c, "AW3") && adoc(c).value("profile_commands", true)))
        return true;
    unknown_command(c);
    return false;
}

json profiles(const FwContext &c)
{
    return adoc(c).value("profiles", json::array());
}

long first_profile(const FwContext &c)
{
    json p = profiles(c);
    return p.empty() ? 0 : p.at(0).value("id", 0L);
}

// A value the firmware keeps: the stored one, else the description's.
long fw_number(const FwContext &c, const char *key, long dflt)
{
    if (c.fw->contains(key))
        return c.fw->at(key).get<long>();
    return dflt;
}

void put_text(std::vector<uint8_t> &b, size_t at, size_t width, const std::string &text)
{
    std::memcpy(&b[at], text.data(), std::min(text.size(), width - 1));
}

std::string key_of(uint32_t n)
{
    return std::to_string(n);
}

long ari_max(const FwContext &c)
{
    return adoc(c).value("ari", json::object()).value("max_pf_id", 15L);
}

long ari_active(const FwContext &c)
{
    return fw_number(c, "ari_active", adoc(c).value("ari", json::object()).value("active_max_pf_id", ari_max(c)));
}

long link_active(const FwContext &c)
{
    return fw_number(c, "link_active", adoc(c).value("link_config", 0L));
}

} // namespace

PcieState pcie_state(const Machine &m, size_t adapter, size_t f, const json &fw, bool configured)
{
    const Function &fn = m.adapters[adapter].functions[f];
    const json &doc = m.doc.at("adapters").at(adapter).at("functions").at(f);
    PcieState s;
    s.pf_state = static_cast<uint8_t>(function_field(m, adapter, f, "pf_state", 1));
    s.pf_type = fn.kind == "iscsi" ? 2 : (fn.kind == "fcoe" ? 4 : 1);
    s.sriov_state = static_cast<uint8_t>(doc.value("sriov_state", 0));
    s.number_vfs = static_cast<uint16_t>(function_field(m, adapter, f, "vfs", 0));
    std::string key = key_of(fn.function);
    for (const char *layer : {"pcie_active", "pcie_configured"}) {
        if (!configured && std::strcmp(layer, "pcie_configured") == 0)
            break;
        if (!fw.contains(layer) || !fw.at(layer).contains(key))
            continue;
        const json &o = fw.at(layer).at(key);
        s.pf_state = o.value("pf_state", s.pf_state);
        s.pf_type = o.value("pf_type", s.pf_type);
        s.sriov_state = o.value("sriov_state", s.sriov_state);
        s.number_vfs = o.value("number_vfs", s.number_vfs);
    }
    return s;
}

void set_configured_pcie(json &fw, uint32_t pf, const PcieState &s)
{
    json &o = fw["pcie_configured"][key_of(pf)];
    o["pf_state"] = s.pf_state;
    o["pf_type"] = s.pf_type;
    o["sriov_state"] = s.sriov_state;
    o["number_vfs"] = s.number_vfs;
}

uint8_t port_mc_type(const Machine &m, size_t adapter, size_t port, const json &fw, bool configured)
{
    const json &a = m.doc.at("adapters").at(adapter);
    uint8_t t = 1;
    if (a.contains("ports") && port < a.at("ports").size())
        t = a.at("ports").at(port).value("mc_type", t);
    for (const char *layer : {"mc_active", "mc_configured"}) {
        if (!configured && std::strcmp(layer, "mc_configured") == 0)
            break;
        if (fw.contains(layer) && fw.at(layer).contains(key_of(static_cast<uint32_t>(port))))
            t = fw.at(layer).at(key_of(static_cast<uint32_t>(port))).get<uint8_t>();
    }
    return t;
}

void set_configured_mc_type(json &fw, size_t port, uint8_t mc_type)
{
    fw["mc_configured"][key_of(static_cast<uint32_t>(port))] = mc_type;
}

void raise_reset_needed(json &fw)
{
    fw["reset_needed"] = 1;
}

ChannelSettings channel_settings(const Machine &m, size_t adapter, size_t f, const json &fw, bool configured)
{
    const json &doc = m.doc.at("adapters").at(adapter).at("functions").at(f);
    ChannelSettings s;
    s.lld = doc.contains("lld") && doc.at("lld").is_boolean() ? doc.at("lld").get<bool>()
                                                              : function_field(m, adapter, f, "lld", 0) != 0;
    s.vlan_id = static_cast<uint16_t>(function_field(m, adapter, f, "vlan_id", 0));
    s.bw_min = static_cast<uint32_t>(function_field(m, adapter, f, "bw_min", 0));
    s.bw_max = static_cast<uint32_t>(function_field(m, adapter, f, "bw_max", 0));
    std::string key = key_of(m.adapters[adapter].functions[f].function);
    for (const char *layer : {"channel_active", "channel_configured"}) {
        if (!configured && std::strcmp(layer, "channel_configured") == 0)
            break;
        if (!fw.contains(layer) || !fw.at(layer).contains(key))
            continue;
        const json &o = fw.at(layer).at(key);
        s.lld = o.value("lld", s.lld);
        s.vlan_id = o.value("vlan_id", s.vlan_id);
        s.bw_min = o.value("bw_min", s.bw_min);
        s.bw_max = o.value("bw_max", s.bw_max);
    }
    return s;
}

void set_channel_settings(json &fw, uint32_t pf, const ChannelSettings &s, bool immediate)
{
    for (const char *layer : {"channel_configured", "channel_active"}) {
        if (!immediate && std::strcmp(layer, "channel_active") == 0)
            break;
        json &o = fw[layer][key_of(pf)];
        o["lld"] = s.lld;
        o["vlan_id"] = s.vlan_id;
        o["bw_min"] = s.bw_min;
        o["bw_max"] = s.bw_max;
    }
}

void profile_reboot(json &a)
{
    json &fw = a["fw_state"];
    const char *const kPairs[][2] = {{"pcie_configured", "pcie_active"},
                                     {"mc_configured", "mc_active"},
                                     {"channel_configured", "channel_active"}};
    for (const auto &p : kPairs) {
        if (!fw.contains(p[0]))
            continue;
        for (auto it = fw[p[0]].begin(); it != fw[p[0]].end(); ++it) {
            if (it.value().is_object())
                for (auto f = it.value().begin(); f != it.value().end(); ++f)
                    fw[p[1]][it.key()][f.key()] = f.value();
            else
                fw[p[1]][it.key()] = it.value();
        }
        fw.erase(p[0]);
    }
    const char *const kNext[][2] = {{"profile_next", "profile_active"}, {"ari_next", "ari_active"},
                                    {"link_next", "link_active"}};
    for (const auto &p : kNext) {
        if (fw.contains(p[0])) {
            fw[p[1]] = fw[p[0]];
            fw.erase(p[0]);
        }
    }
}

// 1/166: the profile list, 516 bytes per profile.
void cmd_profile_list(FwContext &c)
{
    if (!has_profiles(c) || !need(c, 4))
        return;
    json list = profiles(c);
    c.answer.assign(4 + list.size() * PROFILE_DESC_SIZE, 0);
    put32(c.answer, 0, static_cast<uint32_t>(list.size()));
    for (size_t i = 0; i < list.size(); ++i) {
        size_t at = 4 + i * PROFILE_DESC_SIZE;
        c.answer[at] = static_cast<uint8_t>(list[i].value("id", 0));
        c.answer[at + 2] = static_cast<uint8_t>(i);
        put_text(c.answer, at + 4, 512, list[i].value("description", ""));
    }
}

// 1/161 version 1: a PCIe capacity, then one capacity per protocol.
void cmd_profile_capacities(FwContext &c)
{
    if (!has_profiles(c) || !need(c, 4))
        return;
    if (c.hdr.version != 1) {
        unknown_command(c);
        return;
    }
    json list = profiles(c);
    const json *p = nullptr;
    for (const json &e : list)
        if (e.value("id", -1) == c.req[0])
            p = &e;
    if (!p) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    json caps = p->value("caps", json::array());
    c.answer.assign(4 + (1 + caps.size()) * CAPS_DESC_SIZE, 0);
    put32(c.answer, 0, static_cast<uint32_t>(1 + caps.size()));
    c.answer[4] = 0x90;
    c.answer[5] = CAPS_DESC_SIZE;
    c.answer[8] = static_cast<uint8_t>(card(c).functions.size() - 1); // max_pf_num
    c.answer[10] = 0x0F;                                                // mission_roles
    put16(c.answer, 12, static_cast<uint16_t>(card(c).functions.size()));
    for (size_t i = 0; i < caps.size(); ++i) {
        std::string name = caps[i].get<std::string>();
        uint8_t type = name == "nic" ? 0x91 : name == "iscsi" ? 0x92 : name == "fcoe" ? 0x93 : 0x94;
        c.answer[4 + (i + 1) * CAPS_DESC_SIZE] = type;
        c.answer[5 + (i + 1) * CAPS_DESC_SIZE] = CAPS_DESC_SIZE;
    }
}

// 1/167: running and next profile.
void cmd_get_active_profile(FwContext &c)
{
    if (!has_profiles(c) || !need(c, 4))
        return;
    long active = fw_number(c, "profile_active", adoc(c).value("active_profile", first_profile(c)));
    long next = fw_number(c, "profile_next", active);
    c.answer.assign(4, 0);
    put16(c.answer, 0, static_cast<uint16_t>(active));
    put16(c.answer, 2, static_cast<uint16_t>(next));
}

// 1/168: chooses the profile of the next boot; factory default chooses the
// one the adapter shipped with.
void cmd_set_active_profile(FwContext &c)
{
    if (!has_profiles(c) || !need(c, 4))
        return;
    uint32_t w = get32(c.req);
    long id = (w & 0x80000000u) ? adoc(c).value("active_profile", first_profile(c)) : static_cast<long>(w & 0xFF);
    bool known = false;
    for (const json &e : profiles(c))
        known = known || e.value("id", -1L) == id;
    if (!known) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    (*c.fw)["profile_next"] = id;
    raise_reset_needed(*c.fw);
    c.dirty = true;
    c.answer.assign(4, 0);
}

// 1/94: ARI limits.
void cmd_get_ari(FwContext &c)
{
    if (!trelmont_request(c, 4))
        return;
    long active = ari_active(c);
    long next = fw_number(c, "ari_next", active);
    c.answer.assign(4, 0);
    put32(c.answer, 0,
          static_cast<uint32_t>(next & 0xFF) | static_cast<uint32_t>(ari_max(c) & 0xFF) << 8 |
              static_cast<uint32_t>(active & 0xFF) << 16);
}

// 1/95: the ARI limit of the next boot; not above the adapter's maximum.
void cmd_set_ari(FwContext &c)
{
    if (!trelmont_request(c, 4))
        return;
    uint32_t w = get32(c.req);
    long next = (w & 0x80000000u) ? ari_max(c) : static_cast<long>(w & 0xFF);
    if (next > ari_max(c)) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    (*c.fw)["ari_next"] = next;
    raise_reset_needed(*c.fw);
    c.dirty = true;
    c.answer.assign(4, 0);
}

// 1/201: link configurations, 36 bytes each.
void cmd_get_link_reconfig(FwContext &c)
{
    if (!trelmont_request(c, 8))
        return;
    json list = adoc(c).value("link_configs", json::array());
    long active = link_active(c);
    c.answer.assign(8 + list.size() * LINK_DESC_SIZE, 0);
    c.answer[0] = static_cast<uint8_t>(active);
    c.answer[2] = static_cast<uint8_t>(fw_number(c, "link_next", active));
    put32(c.answer, 4, static_cast<uint32_t>(list.size()));
    for (size_t i = 0; i < list.size(); ++i) {
        size_t at = 8 + i * LINK_DESC_SIZE;
        c.answer[at + 3] = static_cast<uint8_t>(list[i].value("id", 0));
        put_text(c.answer, at + 4, 32, list[i].value("description", ""));
    }
}

// 1/202: the link configuration of the next boot.
void cmd_set_link_reconfig(FwContext &c)
{
    if (!trelmont_request(c, 4))
        return;
    uint32_t w = get32(c.req);
    long id = (w & 0x80000000u) ? adoc(c).value("link_config", 0L) : static_cast<long>(w & 0xFF);
    bool known = (w & 0x80000000u) != 0;
    for (const json &e : adoc(c).value("link_configs", json::array()))
        known = known || e.value("id", -1L) == id;
    if (!known) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    (*c.fw)["link_next"] = id;
    raise_reset_needed(*c.fw);
    c.dirty = true;
    c.answer.assign(4, 0);
}

// 1/123: multichannel capabilities and switch type.
void cmd_capabilities(FwContext &c)
{
    if (!need(c, 12))
        return;
    c.answer.assign(12, 0);
    put32(c.answer, 0, static_cast<uint32_t>(adoc(c).value("capabilities", 0L)));
    put32(c.answer, 4, static_cast<uint32_t>(fw_number(c, "switch_type", 0)));
}

// 1/114: the personality of the next boot as text, as long as the text.
// Varrow has none.
void cmd_configured_personality(FwContext &c)
{
    if (gen_is(c, "Varrow")) {
        unknown_command(c);
        return;
    }
    if (!need(c, 4))
        return;
    bool fcoe = false;
    bool iscsi = false;
    for (size_t f = 0; f < card(c).functions.size(); ++f) {
        PcieState s = pcie_state(c.m, c.adapter, f, *c.fw, true);
        if (s.pf_state != 1)
            continue;
        fcoe = fcoe || s.pf_type == 4;
        iscsi = iscsi || s.pf_type == 2;
    }
    std::string text = fcoe ? "FCoE" : (iscsi ? "iSCSI" : "NIC");
    text = adoc(c).value("configured_personality", text);
    if (text.size() > c.req_len) {
        // The answer fills the request; the length tells the whole text.
        c.reported_length = static_cast<long>(text.size());
        text.resize(c.req_len);
    }
    c.answer.assign(text.begin(), text.end());
}

namespace
{

// Firmware whose description denies it the profile commands does not know
// the version-1 configuration read and write either.
bool has_profile_config(FwContext &c)
{
    if (adoc(c).value("profile_commands", true))
        return true;
    unknown_command(c);
    return false;
}

} // namespace

void cmd_get_profile_config(FwContext &c)
{
    if (has_profile_config(c))
        fw_config_row<fw_get_profile_config, FwContext>(c);
}

void cmd_set_profile_config(FwContext &c)
{
    if (has_profile_config(c))
        fw_config_row<fw_set_profile_config, FwContext>(c);
}

// 1/164 version 0 (Varrow): the common profile configuration, one 72-byte
// PCIe record per function. The description may report a count above what
// the record holds; the records stop at 256.
void cmd_common_profile_config(FwContext &c)
{
    if (!gen_is(c, "Varrow")) {
        unknown_command(c);
        return;
    }
    if (!need(c, 4))
        return;
    const std::vector<Function> &fns = card(c).functions;
    c.answer.assign(COMMON_CONFIG_SIZE, 0);
    size_t n = std::min(fns.size(), COMMON_RECORDS);
    for (size_t f = 0; f < n; ++f) {
        PcieState s = pcie_state(c.m, c.adapter, f, *c.fw, false);
        const json &doc = c.m.doc.at("adapters").at(c.adapter).at("functions").at(f);
        size_t at = 4 + f * COMMON_RECORD_SIZE;
        put32(c.answer, at, 0x40);
        put32(c.answer, at + 4, (fns[f].function & 0x3FF) << 16);
        c.answer[at + 12] = s.sriov_state;
        c.answer[at + 13] = s.pf_state;
        c.answer[at + 14] = s.pf_type;
        put16(c.answer, at + 16, s.number_vfs);
        uint32_t w20 = doc.value("mission_roles", 1u) & 0xFF;
        if (doc.value("sriov_chg", true))
            w20 |= 1u << 28;
        put32(c.answer, at + 20, w20);
    }
    put32(c.answer, 0, static_cast<uint32_t>(adoc(c).value("common_profile_count", static_cast<long>(n))));
}

} // namespace hlvdsim
