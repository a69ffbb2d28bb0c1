#include "sim/function_config.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/converged_adapter.h"
#include "sim/profile_model.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

// Profile descriptors.
const uint8_t DESC_PCIE = 0x50;
const uint8_t DESC_NIC = 0x51;
const uint8_t DESC_ISCSI = 0x52;
const uint8_t DESC_FCOE = 0x53;
const uint8_t DESC_RDMA = 0x54;
const uint8_t DESC_PORT = 0x55;
const uint8_t DESC_ISAP = 0x56;
const size_t DESC_SIZE = 88;
const size_t ISAP_SIZE = 68;
const uint32_t LLD_VALID = 1u << 23;
const uint32_t MAC_ADDR_VALID = 1u << 25;
const uint32_t VLAN_VALID = 1u << 26;
const uint32_t VF_TEMPLATE = 1u << 27;
const uint32_t IMMEDIATE = 1u << 30;
const uint32_t LLD = 1u << 9; // in the link word
const uint32_t BW_KEEP = 0xFFFFFFFF;

// Legacy configuration-and-resources record.
const size_t AW_RECORDS = 16;
const size_t AW_RECORD_SIZE = 52;
const size_t AW_RECORD_SIZE_V1 = 68;

void put16(uint8_t *p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t *p, uint32_t v)
{
    put16(p, static_cast<uint16_t>(v));
    put16(p + 2, static_cast<uint16_t>(v >> 16));
}

uint32_t get32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void refuse(FwCall &c)
{
    c.status = FW_STATUS_FAILED;
    c.additional = FW_ADDL_INVALID_REQUEST;
    c.answer.clear();
}

void unknown_command(FwCall &c)
{
    c.status = FW_STATUS_FAILED;
    c.additional = FW_ADDL_UNKNOWN_COMMAND;
    c.answer.clear();
}

// Additional status of a legacy write that would enable SR-IOV on a port
// in ZMR channel mode.
const uint16_t FW_ADDL_ZMR_ENABLED = 104;
const uint8_t MC_TYPE_ZMR = 2;

const Adapter &card(const FwCall &c)
{
    return c.m.adapters[c.adapter];
}

const json &function_doc(const FwCall &c, size_t f)
{
    return c.m.doc.at("adapters").at(c.adapter).at("functions").at(f);
}

// AW2 firmware knows no profile commands; an AW3 whose description says
// "profile_commands": false does not either.
bool lacks_profile_commands(const FwCall &c)
{
    const std::string &gen = card(c).generation;
    return gen == "AW2" ||
           (gen == "AW3" && !c.m.doc.at("adapters").at(c.adapter).value("profile_commands", true));
}

std::string mac_text(const uint8_t mac[6])
{
    char text[24];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return text;
}

// The configured MAC the function booted with.
void booted_mac(const FwCall &c, size_t f, uint8_t out[6])
{
    const json &doc = function_doc(c, f);
    std::string text = doc.contains("permanent_mac") ? doc.at("permanent_mac").get<std::string>()
                                                     : card(c).functions[f].mac;
    if (!parse_mac(text, out))
        std::memset(out, 0, 6);
}

// The configured MAC that takes effect at the next boot.
void configured_mac(const FwCall &c, size_t f, uint8_t out[6])
{
    std::string key = pci_name(card(c).functions[f]);
    if (c.fw.contains("configured_mac") && c.fw.at("configured_mac").contains(key) &&
        parse_mac(c.fw.at("configured_mac").at(key).get<std::string>(), out))
        return;
    booted_mac(c, f, out);
}

void set_configured_mac(FwCall &c, size_t f, const uint8_t mac[6])
{
    c.fw["configured_mac"][pci_name(card(c).functions[f])] = mac_text(mac);
    c.dirty = true;
}

// The function of the card with PCI function number `pf` and kind `kind`.
bool function_by_number(const FwCall &c, uint32_t pf, const char *kind, size_t *out)
{
    const std::vector<Function> &fns = card(c).functions;
    for (size_t f = 0; f < fns.size(); ++f) {
        if (fns[f].function == pf && fns[f].kind == kind) {
            *out = f;
            return true;
        }
    }
    return false;
}

// The function of the card with PCI function number `pf`, of any kind.
bool function_number(const FwCall &c, uint32_t pf, size_t *out)
{
    const std::vector<Function> &fns = card(c).functions;
    for (size_t f = 0; f < fns.size(); ++f) {
        if (fns[f].function == pf) {
            *out = f;
            return true;
        }
    }
    return false;
}

uint8_t mission_roles(const FwCall &c, const Function &f)
{
    uint8_t roles = f.kind == "iscsi" ? 0x2 : (f.kind == "fcoe" ? 0x4 : 0x1);
    if (card(c).generation == "AW3")
        roles |= 0x7;
    return roles;
}

// One 88-byte descriptor with its type, length and PCI function number.
std::vector<uint8_t> descriptor(uint8_t type, uint32_t flags, uint32_t pf)
{
    std::vector<uint8_t> d(DESC_SIZE, 0);
    put32(&d[0], type | static_cast<uint32_t>(DESC_SIZE) << 8 | flags);
    put32(&d[4], (pf & 0x3FF) << 16);
    return d;
}

// A field of a function's description that may be a flag or a number.
long function_value(const FwCall &c, size_t f, const char *key, long dflt)
{
    const json &doc = function_doc(c, f);
    if (doc.contains(key) && doc.at(key).is_boolean())
        return doc.at(key).get<bool>() ? 1 : 0;
    return function_field(c.m, c.adapter, f, key, dflt);
}

// The protocol descriptor of function `f`: its MAC, physical port (link
// number), logical link state, VLAN and bandwidths. A template gives no
// link settings.
std::vector<uint8_t> protocol_descriptor(const FwCall &c, size_t f, uint32_t flags, const uint8_t mac[6],
                                         bool configured)
{
    const Function &fn = card(c).functions[f];
    bool tmpl = (flags & VF_TEMPLATE) != 0;
    ChannelSettings s = channel_settings(c.m, c.adapter, f, c.fw, configured);
    uint32_t link = static_cast<uint32_t>(fn.port) & 0x3F;
    uint32_t lld = !tmpl && s.lld ? LLD : 0;
    uint32_t bw_min = tmpl ? 0 : s.bw_min;
    uint32_t bw_max = tmpl ? 0 : s.bw_max;
    if (fn.kind == "iscsi") {
        std::vector<uint8_t> d = descriptor(DESC_ISCSI, flags, fn.function);
        std::memcpy(&d[14], mac, 6);
        put32(&d[32], link | lld);
        put32(&d[36], bw_min);
        put32(&d[40], bw_max);
        return d;
    }
    if (fn.kind == "fcoe") {
        std::vector<uint8_t> d = descriptor(DESC_FCOE, flags, fn.function);
        std::memcpy(&d[40], mac, 6);
        put32(&d[52], link | lld);
        put32(&d[56], bw_min);
        put32(&d[60], bw_max);
        return d;
    }
    std::vector<uint8_t> d = descriptor(DESC_NIC, flags, fn.function);
    std::memcpy(&d[10], mac, 6);
    uint32_t channel_id = 0;
    if (!tmpl) {
        put16(&d[36], s.vlan_id);
        channel_id = (static_cast<uint32_t>(function_field(c.m, c.adapter, f, "channel_id", 0)) & 0xFFF) << 16;
    }
    put32(&d[44], link | lld | channel_id);
    put32(&d[48], bw_min);
    put32(&d[52], bw_max);
    return d;
}

const uint32_t NO_CHANNEL_CHANGE = 0xFFFFFFFF;

// The channel settings a NIC, iSCSI or FCoE descriptor of a write changes:
// lld with its valid bit, a NIC's vlan_id with its valid bit, and the
// bandwidths unless all ones. *pf is NO_CHANNEL_CHANGE when it changes
// none; false for a descriptor too short or of no function of the card.
bool channel_change(const FwCall &c, const uint8_t *d, uint32_t *pf, ChannelSettings *s)
{
    *pf = NO_CHANNEL_CHANGE;
    uint8_t type = d[0];
    uint32_t word0 = get32(d);
    size_t link = type == DESC_NIC ? 44 : (type == DESC_ISCSI ? 32 : 52);
    size_t bw = link + 4;
    bool lld_valid = (word0 & LLD_VALID) != 0;
    bool vlan_valid = type == DESC_NIC && (word0 & VLAN_VALID) != 0;
    bool bw_valid = d[1] >= DESC_SIZE && (get32(d + bw) != BW_KEEP || get32(d + bw + 4) != BW_KEEP);
    if (!lld_valid && !vlan_valid && !bw_valid)
        return true;
    if (d[1] < DESC_SIZE)
        return false;
    uint32_t number = (get32(d + 4) >> 16) & 0x3FF;
    size_t f = 0;
    const char *kind = type == DESC_NIC ? "nic" : (type == DESC_ISCSI ? "iscsi" : "fcoe");
    if (!function_by_number(c, number, kind, &f))
        return false;
    *s = channel_settings(c.m, c.adapter, f, c.fw, true);
    if (lld_valid)
        s->lld = (get32(d + link) & LLD) != 0;
    if (vlan_valid)
        s->vlan_id = static_cast<uint16_t>(d[36] | d[37] << 8);
    if (get32(d + bw) != BW_KEEP)
        s->bw_min = get32(d + bw);
    if (get32(d + bw + 4) != BW_KEEP)
        s->bw_max = get32(d + bw + 4);
    *pf = number;
    return true;
}

} // namespace

// 1/120: the vNIC name of the function the command is aimed at, from its
// description's "vnic_name" (12 bytes at most); none without one.
void fw_vnic_name(FwCall &c)
{
    if (c.req_len < 92) {
        refuse(c);
        return;
    }
    std::string name = function_doc(c, c.function).value("vnic_name", "");
    c.answer.assign(92, 0);
    if (!function_doc(c, c.function).contains("vnic_name"))
        return;
    put32(&c.answer[0], 1);
    std::memcpy(&c.answer[4], name.data(), std::min<size_t>(name.size(), 12));
}

// 1/164 version 1: the profile configuration. A census lists the PCIe
// descriptors with their mission roles; the other configurations list per
// function its PCIe and protocol descriptors, then one descriptor per port.
void fw_get_profile_config(FwCall &c)
{
    if (lacks_profile_commands(c)) {
        unknown_command(c);
        return;
    }
    if (c.req_len < 4) {
        refuse(c);
        return;
    }
    uint32_t word = get32(c.req);
    uint32_t config_type = (word >> 8) & 0x3;
    bool census = (word >> 10) & 0x1;
    uint32_t profile_id = word & 0xFF;
    const json &a = c.m.doc.at("adapters").at(c.adapter);
    json counts = a.value("pf_counts", json::object());
    if (config_type == 1) {
        json list = a.value("profiles", json::array());
        const json *p = nullptr;
        for (const json &e : list)
            if (e.value("id", -1L) == static_cast<long>(profile_id))
                p = &e;
        if (!p) {
            refuse(c);
            return;
        }
        counts = p->value("counts", json::object());
    }
    bool configured = config_type == 0;
    const std::vector<Function> &fns = card(c).functions;
    std::vector<std::vector<uint8_t>> list;
    std::vector<int> ports;
    for (size_t f = 0; f < fns.size(); ++f) {
        const Function &fn = fns[f];
        const json &doc = function_doc(c, f);
        PcieState s = pcie_state(c.m, c.adapter, f, c.fw, configured);
        std::vector<uint8_t> pcie = descriptor(DESC_PCIE, 0, fn.function);
        pcie[12] = s.sriov_state;
        pcie[13] = s.pf_state;
        pcie[14] = s.pf_type;
        put16(&pcie[16], s.number_vfs);
        uint32_t w20 = doc.contains("mission_roles") ? doc.at("mission_roles").get<uint32_t>() & 0xFF
                                                      : mission_roles(c, fn);
        if (doc.value("presentation_chg", false))
            w20 |= 1u << 27;
        if (doc.value("sriov_chg", fn.kind == "nic"))
            w20 |= 1u << 28;
        put32(&pcie[20], w20);
        list.push_back(pcie);
        bool known = false;
        for (int p : ports)
            known = known || p == fn.port;
        if (!known)
            ports.push_back(fn.port);
        if (census)
            continue;
        if (fn.kind == "nic" && s.number_vfs > 0) {
            const uint8_t none[6] = {0, 0, 0, 0, 0, 0};
            list.push_back(protocol_descriptor(c, f, VF_TEMPLATE, none, configured));
        }
        uint8_t mac[6];
        if (config_type == 2)
            booted_mac(c, f, mac);
        else
            configured_mac(c, f, mac);
        list.push_back(protocol_descriptor(c, f, MAC_ADDR_VALID, mac, config_type != 2));
        if (fn.kind == "nic" && function_value(c, f, "roce", 0))
            list.push_back(descriptor(DESC_RDMA, 0, fn.function));
    }
    uint32_t max_pf = static_cast<uint32_t>(a.value("max_pf_count", static_cast<long>(fns.size())));
    for (int p : ports) {
        std::vector<uint8_t> port = descriptor(DESC_PORT, 0, 0);
        uint8_t mc = port_mc_type(c.m, c.adapter, static_cast<size_t>(p), c.fw, configured);
        put32(&port[4], (static_cast<uint32_t>(p) & 0x3F) | static_cast<uint32_t>(mc) << 8);
        uint32_t storage = counts.value("storage", 0u) & 0xFFF;
        put32(&port[12], (max_pf & 0xFFF) | storage << 16);
        put32(&port[16], (counts.value("nic", 0u) & 0xFFF) | (counts.value("roce", 0u) & 0xFFF) << 16);
        put32(&port[20], (counts.value("iscsi", 0u) & 0xFFF) | (counts.value("fcoe", 0u) & 0xFFF) << 16);
        list.push_back(port);
    }
    c.answer.assign(4, 0);
    put32(&c.answer[0], static_cast<uint32_t>(list.size()));
    for (const std::vector<uint8_t> &d : list)
        c.answer.insert(c.answer.end(), d.begin(), d.end());
}

// 1/165 version 1: a configuration write into the configured
// configuration, in either shape: descriptors of single functions (profile
// 0), or the whole table of a profile ending in an ISAP descriptor. A PCIe
// descriptor sets the function's state, type and SR-IOV (pf_state 0xFF
// leaves state and type); a valid MAC of a NIC or iSCSI descriptor becomes
// the configured MAC; an ISAP descriptor gives the ports' multichannel
// types. The whole request is checked before anything changes.
void fw_set_profile_config(FwCall &c)
{
    if (lacks_profile_commands(c)) {
        unknown_command(c);
        return;
    }
    if (c.req_len < 8) {
        refuse(c);
        return;
    }
    bool isap = (get32(c.req) >> 31) & 1;
    uint32_t count = get32(c.req + 4);
    size_t at = 8;
    struct Change {
        size_t function;
        uint8_t mac[6];
    };
    std::vector<Change> changes;
    struct PcieChange {
        uint32_t pf;
        PcieState s;
    };
    std::vector<PcieChange> pcie;
    std::vector<uint8_t> mc;
    struct ChannelChange {
        uint32_t pf;
        ChannelSettings s;
        bool immediate;
    };
    std::vector<ChannelChange> channels;
    for (uint32_t i = 0; i < count; ++i) {
        if (c.req_len - at < 8 || c.req[at + 1] < 8 || c.req[at + 1] > c.req_len - at) {
            refuse(c);
            return;
        }
        const uint8_t *d = c.req + at;
        uint32_t word0 = get32(d);
        uint8_t type = d[0];
        uint32_t pf = (get32(d + 4) >> 16) & 0x3FF;
        at += d[1];
        if (type == DESC_ISAP) {
            if (!isap || i + 1 != count || d[1] < ISAP_SIZE) {
                refuse(c);
                return;
            }
            mc.assign(d + 52, d + 56);
            continue;
        }
        if (type == DESC_PCIE) {
            size_t f = 0;
            if (d[1] < DESC_SIZE || !function_number(c, pf, &f)) {
                refuse(c);
                return;
            }
            PcieState s = pcie_state(c.m, c.adapter, f, c.fw, true);
            if (d[13] != 0xFF) {
                s.pf_state = d[13];
                s.pf_type = d[14];
            }
            s.sriov_state = d[12];
            if (d[13] != 0xFF || isap)
                s.number_vfs = static_cast<uint16_t>(d[16] | d[17] << 8);
            pcie.push_back(PcieChange{pf, s});
            continue;
        }
        if (type == DESC_PORT) {
            // One multichannel mode for every port of the card.
            if (d[1] < DESC_SIZE) {
                refuse(c);
                return;
            }
            if (d[5] != 0)
                for (const Function &fn : card(c).functions)
                    mc.resize(std::max(mc.size(), static_cast<size_t>(fn.port) + 1), d[5]);
            continue;
        }
        if ((type == DESC_NIC || type == DESC_ISCSI || type == DESC_FCOE) && !(word0 & VF_TEMPLATE)) {
            ChannelChange ch;
            if (!channel_change(c, d, &ch.pf, &ch.s)) {
                refuse(c);
                return;
            }
            ch.immediate = (word0 & IMMEDIATE) != 0;
            if (ch.pf != NO_CHANNEL_CHANGE)
                channels.push_back(ch);
        }
        if ((type != DESC_NIC && type != DESC_ISCSI) || !(word0 & MAC_ADDR_VALID) || (word0 & VF_TEMPLATE))
            continue;
        size_t mac_at = type == DESC_NIC ? 10 : 14;
        Change ch;
        if (d[1] < mac_at + 6 || !function_by_number(c, pf, type == DESC_NIC ? "nic" : "iscsi", &ch.function)) {
            refuse(c);
            return;
        }
        std::memcpy(ch.mac, d + mac_at, 6);
        changes.push_back(ch);
    }
    for (const Change &ch : changes)
        set_configured_mac(c, ch.function, ch.mac);
    for (const PcieChange &p : pcie)
        set_configured_pcie(c.fw, p.pf, p.s);
    for (const ChannelChange &ch : channels)
        set_channel_settings(c.fw, ch.pf, ch.s, ch.immediate);
    if (!channels.empty())
        c.dirty = true;
    for (size_t p = 0; p < mc.size(); ++p)
        if (mc[p] != 0)
            set_configured_mc_type(c.fw, p, mc[p]);
    if (!pcie.empty() || !mc.empty()) {
        raise_reset_needed(c.fw);
        c.dirty = true;
    }
    c.answer.assign(4, 0);
}

namespace
{

// Legacy personality codes (0 NIC, 1 iSCSI, 2 FCoE) against profile codes.
uint8_t legacy_type(uint8_t pf_type)
{
    return pf_type == 2 ? 1 : (pf_type == 4 ? 2 : 0);
}

uint8_t profile_type(uint8_t legacy)
{
    return legacy == 1 ? 2 : (legacy == 2 ? 4 : 1);
}

// The legacy record of the AW2 and AW3 generations, version 0 (52-byte
// records) or 1 (68-byte records). Each function gives its PCIe record and
// then the record of its personality; the record holds eight functions at
// most. A configured function shows its configured personality and SR-IOV.
void fw_get_aw_config_any(FwCall &c, bool v1)
{
    const std::string &gen = card(c).generation;
    if (gen != "AW2" && gen != "AW3") {
        unknown_command(c);
        return;
    }
    size_t rec_size = v1 ? AW_RECORD_SIZE_V1 : AW_RECORD_SIZE;
    const std::vector<Function> &fns = card(c).functions;
    std::vector<uint8_t> &b = c.answer;
    b.assign(4 + AW_RECORDS * rec_size, 0);
    uint32_t count = 0;
    for (size_t f = 0; f < fns.size() && count + 2 <= AW_RECORDS; ++f) {
        const Function &fn = fns[f];
        PcieState s = pcie_state(c.m, c.adapter, f, c.fw, true);
        uint8_t *pcie = &b[4 + count * rec_size];
        uint8_t *part = pcie + 4;
        pcie[0] = 0; // resource_type: PCIe
        part[0] = static_cast<uint8_t>(fn.function);
        part[1] = 0; // pf_state: enabled in the legacy record
        part[2] = legacy_type(s.pf_type);
        uint8_t sriov = gen == "AW2" ? 255 : s.sriov_state;
        if (v1) {
            part[8] = sriov;
            part[12] = static_cast<uint8_t>(s.number_vfs);
            part[13] = static_cast<uint8_t>(s.number_vfs >> 8);
            put32(part + 16, static_cast<uint32_t>(fn.port));
        } else {
            part[3] = sriov;
            part[6] = static_cast<uint8_t>(s.number_vfs);
            part[7] = static_cast<uint8_t>(s.number_vfs >> 8);
            put32(part + 12, static_cast<uint32_t>(fn.port));
        }
        uint8_t *pers = pcie + rec_size;
        pers[0] = fn.kind == "iscsi" ? 2 : (fn.kind == "fcoe" ? 3 : 1);
        pers[4] = static_cast<uint8_t>(fn.function);
        uint8_t mac[6];
        configured_mac(c, f, mac);
        size_t mac_at = fn.kind == "iscsi" ? (v1 ? 14 : 8) : (fn.kind == "fcoe" ? (v1 ? 40 : 36) : (v1 ? 10 : 4));
        std::memcpy(pers + 4 + mac_at, mac, 6);
        count += 2;
    }
    put32(&b[0], count);
}

// A legacy record written back: each PCIe record sets its function's
// personality and SR-IOV for the next boot, the record after it that
// function's configured MAC.
void fw_set_aw_config_any(FwCall &c, bool v1)
{
    const std::string &gen = card(c).generation;
    if (gen != "AW2" && gen != "AW3") {
        unknown_command(c);
        return;
    }
    size_t rec_size = v1 ? AW_RECORD_SIZE_V1 : AW_RECORD_SIZE;
    if (c.req_len < 4) {
        refuse(c);
        return;
    }
    uint32_t count = get32(c.req);
    if (count > AW_RECORDS || 4 + count * rec_size > c.req_len) {
        refuse(c);
        return;
    }
    // Version 1 refuses the whole write when it would enable SR-IOV on a
    // function whose port runs in ZMR mode.
    for (uint32_t i = 0; v1 && i < count; ++i) {
        const uint8_t *rec = c.req + 4 + i * rec_size;
        size_t f = 0;
        if (rec[0] != 0 || rec[4 + 8] != 1 || !function_number(c, rec[4], &f))
            continue;
        if (pcie_state(c.m, c.adapter, f, c.fw, true).sriov_state != 1 &&
            port_mc_type(c.m, c.adapter, static_cast<size_t>(card(c).functions[f].port), c.fw, true) == MC_TYPE_ZMR) {
            c.status = FW_STATUS_FAILED;
            c.additional = FW_ADDL_ZMR_ENABLED;
            c.answer.clear();
            return;
        }
    }
    bool changed = false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t *rec = c.req + 4 + i * rec_size;
        const uint8_t *part = rec + 4;
        size_t f = 0;
        if (rec[0] != 0 || part[2] > 2 || !function_number(c, part[0], &f))
            continue;
        PcieState s = pcie_state(c.m, c.adapter, f, c.fw, true);
        PcieState n = s;
        n.pf_type = profile_type(part[2]);
        uint8_t sriov = v1 ? part[8] : part[3];
        if (sriov != 255 && gen != "AW2") {
            n.sriov_state = sriov;
            n.number_vfs = static_cast<uint16_t>(v1 ? (part[12] | part[13] << 8) : (part[6] | part[7] << 8));
        }
        if (n.pf_type != s.pf_type || n.sriov_state != s.sriov_state || n.number_vfs != s.number_vfs) {
            set_configured_pcie(c.fw, part[0], n);
            changed = true;
        }
        if (i + 1 >= count)
            continue;
        const Function &fn = card(c).functions[f];
        size_t mac_at = fn.kind == "iscsi" ? (v1 ? 14 : 8) : (fn.kind == "fcoe" ? (v1 ? 40 : 36) : (v1 ? 10 : 4));
        uint8_t mac[6];
        std::memcpy(mac, rec + rec_size + 4 + mac_at, 6);
        uint8_t old[6];
        configured_mac(c, f, old);
        if (std::memcmp(old, mac, 6) != 0)
            set_configured_mac(c, f, mac);
    }
    if (changed) {
        raise_reset_needed(c.fw);
        c.dirty = true;
    }
    c.answer.clear();
}

} // namespace

// 1/81: the legacy record, version 0 or 1.
void fw_get_aw_config(FwCall &c)
{
    fw_get_aw_config_any(c, false);
}

void fw_get_aw_config_v1(FwCall &c)
{
    fw_get_aw_config_any(c, true);
}

// 1/82: the legacy record written back, version 0 or 1.
void fw_set_aw_config(FwCall &c)
{
    fw_set_aw_config_any(c, false);
}

void fw_set_aw_config_v1(FwCall &c)
{
    fw_set_aw_config_any(c, true);
}

} // namespace hlvdsim
