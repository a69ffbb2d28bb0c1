#include "sim/iscsi_if_model.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "sim/converged_adapter.h"
#include "sim/iscsi_model_util.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const uint32_t kDefaultHandle = 1;
const uint32_t kVlanNone = 0xFFFF;
const uint32_t kTypeV4 = 1, kTypeDhcp = 5, kTypeV6 = 0x10, kTypeStatic6 = 0x30, kTypeAuto6 = 0x90;
const size_t kAddressRoom = 32;
const size_t kEntrySize = 40;

uint32_t if_handle(FwContext &c)
{
    return static_cast<uint32_t>(desc_number(tcpip(c), "if_handle", kDefaultHandle));
}

bool no_ipv6(const FwContext &c)
{
    const std::string &g = c.m.adapters[c.adapter].generation;
    return g == "AW2" || g == "AW3";
}

bool is_v6(uint32_t type)
{
    return type == kTypeV6 || type == kTypeStatic6 || type == 0x50 || type == kTypeAuto6;
}

std::string text_of(uint32_t type, const uint8_t *b)
{
    char t[48];
    if (!is_v6(type)) {
        std::snprintf(t, sizeof t, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    } else {
        std::snprintf(t, sizeof t, "%02X%02X:%02X%02X:%02X%02X:%02X%02X:%02X%02X:%02X%02X:%02X%02X:%02X%02X", b[0],
                      b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    }
    return t;
}

void bytes_of(uint32_t type, const std::string &text, uint8_t out[16])
{
    std::memset(out, 0, 16);
    if (!is_v6(type)) {
        unsigned v[4] = {};
        if (std::sscanf(text.c_str(), "%u.%u.%u.%u", &v[0], &v[1], &v[2], &v[3]) == 4)
            for (int i = 0; i < 4; ++i)
                out[i] = static_cast<uint8_t>(v[i]);
        return;
    }
    unsigned g[8] = {};
    if (std::sscanf(text.c_str(), "%x:%x:%x:%x:%x:%x:%x:%x", &g[0], &g[1], &g[2], &g[3], &g[4], &g[5], &g[6],
                    &g[7]) == 8)
        for (int i = 0; i < 8; ++i) {
            out[2 * i] = static_cast<uint8_t>(g[i] >> 8);
            out[2 * i + 1] = static_cast<uint8_t>(g[i]);
        }
}

json &addresses(FwContext &c)
{
    return array_in(tcpip(c), "addresses");
}

void remove_type(FwContext &c, uint32_t type)
{
    json &list = addresses(c);
    json kept = json::array();
    for (const json &e : list)
        if (desc_number(e, "type", 0) != static_cast<long>(type))
            kept.push_back(e);
    list = kept;
}

} // namespace

void cmd_if_set_vlan(FwContext &c)
{
    if (short_request(c, 8) || get32(c.req) != if_handle(c))
        return fail(c);
    tcpip(c)["vlan"] = get32(c.req + 4) & 0xFFFF;
    c.dirty = true;
}

void cmd_if_config_dhcp(FwContext &c)
{
    if (short_request(c, 16) || get32(c.req) != if_handle(c))
        return fail(c);
    uint32_t type = get32(c.req + 4);
    json &s = tcpip(c);
    if (type == kTypeDhcp) {
        // Applied at once, so that the next reading shows the lease.
        if (s.value("dhcp_server", true)) {
            s["dhcp"] = true;
            json offer = s.value("dhcp_offer", json{{"ip", "192.168.1.100"}, {"mask", "255.255.255.0"}});
            remove_type(c, kTypeV4);
            addresses(c).push_back(json{{"type", kTypeV4}, {"ip", offer.value("ip", "")}, {"mask", offer.value("mask", "")}});
        }
    } else if (type == kTypeAuto6 && !no_ipv6(c)) {
        s["auto_assign"] = true;
    } else {
        return fail(c);
    }
    c.dirty = true;
}

void cmd_if_release_dhcp(FwContext &c)
{
    if (short_request(c, 8) || get32(c.req) != if_handle(c))
        return fail(c);
    uint32_t type = get32(c.req + 4);
    json &s = tcpip(c);
    if (type == kTypeDhcp) {
        s["dhcp"] = false;
        remove_type(c, kTypeV4);
    } else if (type == kTypeAuto6 && !no_ipv6(c)) {
        s["auto_assign"] = false;
        remove_type(c, kTypeAuto6);
    } else {
        return fail(c);
    }
    c.dirty = true;
}

void cmd_if_modify_ip(FwContext &c)
{
    if (short_request(c, 56) || get32(c.req) != 1 || get32(c.req + 8) != if_handle(c))
        return fail(c);
    uint32_t action = get32(c.req + 4);
    const uint8_t *entry = c.req + 12;
    uint32_t type = entry[2];
    if ((is_v6(type) && no_ipv6(c)) || (type != kTypeV4 && !is_v6(type)))
        return fail(c);
    std::string ip = text_of(type, entry + 4);
    std::string mask = is_v6(type) ? "" : text_of(type, entry + 20);
    json &list = addresses(c);
    uint32_t record_status = 0;
    if (action == 1) {
        const json &st = tcpip(c).value("record_status", json::object());
        if (st.is_object() && st.contains(ip))
            record_status = static_cast<uint32_t>(st.at(ip).get<long>());
        // One IPv4 address per interface: a new one replaces it.
        if (type == kTypeV4)
            remove_type(c, kTypeV4);
        json e{{"type", type}, {"ip", ip}};
        if (!mask.empty())
            e["mask"] = mask;
        list.push_back(e);
    } else if (action == 2) {
        bool found = false;
        for (size_t i = 0; i < list.size(); ++i) {
            if (desc_number(list[i], "type", 0) == static_cast<long>(type) && list[i].value("ip", "") == ip) {
                list.erase(i);
                found = true;
                break;
            }
        }
        if (!found) {
            c.status = FW_STATUS_FAILED;
            c.additional = 0;
            c.answer.clear();
            return;
        }
    } else {
        return fail(c);
    }
    c.dirty = true;
    c.answer.assign(c.req, c.req + 56);
    put32(c.answer, 52, record_status);
}

void cmd_if_get_gateway(FwContext &c)
{
    if (short_request(c, 24))
        return;
    uint32_t type = get32(c.req);
    if (type != kTypeV4 && type != kTypeV6)
        return fail(c);
    if (type == kTypeV6 && no_ipv6(c))
        return fail(c);
    const json &s = tcpip(c);
    std::string text = s.value(type == kTypeV4 ? "gateway" : "gateway6", std::string());
    uint8_t b[16];
    bytes_of(type, text, b);
    c.answer.assign(24, 0);
    put16(c.answer, 0, 24);
    c.answer[3] = static_cast<uint8_t>(type);
    std::memcpy(&c.answer[4], b, 16);
}

void cmd_if_set_gateway(FwContext &c)
{
    if (short_request(c, 28))
        return;
    uint32_t action = get32(c.req);
    uint32_t type = c.req[7];
    if ((type != kTypeV4 && type != kTypeV6) || (type == kTypeV6 && no_ipv6(c)))
        return fail(c);
    const char *key = type == kTypeV4 ? "gateway" : "gateway6";
    std::string text = text_of(type, c.req + 8);
    json &s = tcpip(c);
    if (action == 1) {
        s[key] = text;
    } else if (action == 2) {
        uint8_t current[16];
        bytes_of(type, s.value(key, std::string()), current);
        if (std::memcmp(current, c.req + 8, 16) != 0) {
            c.status = FW_STATUS_FAILED;
            c.additional = 0;
            c.answer.clear();
            return;
        }
        s.erase(key);
    } else {
        return fail(c);
    }
    c.dirty = true;
}

void cmd_if_ids(FwContext &c)
{
    if (short_request(c, 8))
        return;
    c.answer.assign(c.req_len, 0);
    put32(c.answer, 0, 1);
    put32(c.answer, 4, if_handle(c));
}

void cmd_if_info(FwContext &c)
{
    if (short_request(c, 16))
        return;
    uint32_t handle = get32(c.req), type = get32(c.req + 4);
    if (handle != if_handle(c) || (type != kTypeV4 && type != kTypeV6) || (type == kTypeV6 && no_ipv6(c)))
        return fail(c);
    const json &s = tcpip(c);
    if (c.hdr.version == 1 && !s.value("info_v1", true))
        return fail(c);
    c.answer.assign(c.req_len, 0);
    put32(c.answer, 0, handle);
    put32(c.answer, 4, static_cast<uint32_t>(desc_number(s, "vlan", kVlanNone)));
    bool dhcp = s.value("dhcp", false), automatic = s.value("auto_assign", false);
    size_t room = (c.req_len - 16) / kEntrySize;
    if (room > kAddressRoom)
        room = kAddressRoom;
    size_t count = 0;
    bool static6 = false;
    const json empty = json::array();
    const json &list = s.contains("addresses") ? s.at("addresses") : empty;
    for (const json &e : list) {
        uint32_t t = static_cast<uint32_t>(desc_number(e, "type", 0));
        if (t == kTypeStatic6)
            static6 = true;
        if ((type == kTypeV4) == is_v6(t) || count == room)
            continue;
        size_t at = 16 + count * kEntrySize;
        put16(c.answer, at, kEntrySize);
        c.answer[at + 2] = static_cast<uint8_t>(t);
        uint8_t b[16];
        bytes_of(t, e.value("ip", ""), b);
        std::memcpy(&c.answer[at + 4], b, 16);
        bytes_of(t, e.value("mask", ""), b);
        std::memcpy(&c.answer[at + 20], b, 16);
        ++count;
    }
    put32(c.answer, 8, static_cast<uint32_t>(count));
    if (c.hdr.version == 1) {
        uint16_t states = static_cast<uint16_t>((automatic ? 0x400 : 0) | (dhcp ? 0x200 : 0) | (static6 ? 0x100 : 0));
        put16(c.answer, 12, states);
    } else {
        put32(c.answer, 12, dhcp ? 1 : 0);
    }
}

} // namespace hlvdsim
