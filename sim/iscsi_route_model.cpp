#include "sim/iscsi_route_model.h"

#include <arpa/inet.h>

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

const size_t kTableHead = 8;
const size_t kRouteEntry = 64;
const size_t kArpEntry = 40;
const size_t kEditEntry = 8;
const uint32_t kEditAdd = 1;
const uint32_t kEditDelete = 2;
const uint16_t kAddlUnreachable = 19;
const uint16_t kAddlRouteTableFull = 22;
const long kDefaultRouteLimit = 999;

// A list of the "tcpip" object; an empty one when missing or not a list.
json &list_of(FwContext &c, const char *key)
{
    return array_in(tcpip(c), key);
}

void refuse(FwContext &c, uint16_t additional)
{
    c.status = FW_STATUS_FAILED;
    c.additional = additional;
    c.answer.clear();
}

std::string dotted(const uint8_t *a)
{
    char t[16];
    std::snprintf(t, sizeof t, "%u.%u.%u.%u", a[0], a[1], a[2], a[3]);
    return t;
}

// Four address bytes of a dotted text; zeros when it is none.
void ipv4_bytes(const json &v, uint8_t out[4])
{
    std::memset(out, 0, 4);
    if (v.is_string())
        inet_pton(AF_INET, v.get<std::string>().c_str(), out);
}

// An IPv4 address record (24 bytes) at `at`.
void put_ipv4_record(std::vector<uint8_t> &b, size_t at, const uint8_t a[4])
{
    put16(b, at, 24);
    b[at + 3] = 1;
    std::memcpy(&b[at + 4], a, 4);
}

} // namespace

void cmd_iscsi_ping(FwContext &c)
{
    if (short_request(c, 24))
        return;
    uint8_t type = c.req[3];
    size_t len = type == 1 ? 4 : (type == 0x10 ? 16 : 0);
    if (len == 0) {
        refuse(c, FW_ADDL_INVALID_REQUEST);
        return;
    }
    const json &t = tcpip(c);
    bool reachable = false;
    if (t.contains("reachable") && t["reachable"].is_array()) {
        for (const json &r : t["reachable"]) {
            uint8_t a[16] = {};
            if (!r.is_string() || inet_pton(len == 4 ? AF_INET : AF_INET6, r.get<std::string>().c_str(), a) != 1)
                continue;
            if (std::memcmp(a, c.req + 4, len) == 0)
                reachable = true;
        }
    }
    if (!reachable) {
        refuse(c, kAddlUnreachable);
        return;
    }
    c.answer.assign(24, 0);
    put32(c.answer, 0, 64); // time to live
    put32(c.answer, 4, 1);  // response time
}

void cmd_get_arp_table(FwContext &c)
{
    if (short_request(c, kTableHead))
        return;
    const json &arp = list_of(c, "arp");
    c.answer.assign(c.req_len, 0);
    put32(c.answer, 0, static_cast<uint32_t>(arp.size()));
    size_t room = (c.req_len - kTableHead) / kArpEntry;
    for (size_t i = 0; i < arp.size() && i < room; ++i) {
        size_t at = kTableHead + i * kArpEntry;
        uint8_t ip[4];
        ipv4_bytes(arp[i].is_object() && arp[i].contains("ip") ? arp[i]["ip"] : json(), ip);
        put_ipv4_record(c.answer, at, ip);
        uint8_t mac[6] = {};
        parse_mac(text(arp[i], "mac"), mac);
        put16(c.answer, at + 24, 8);
        std::memcpy(&c.answer[at + 26], mac, 6);
        put32(c.answer, at + 32, static_cast<uint32_t>(desc_number(arp[i], "flags", 0)));
    }
}

void cmd_edit_arp_table(FwContext &c)
{
    if (short_request(c, 48))
        return;
    uint32_t type = get32(c.req);
    std::string ip = dotted(c.req + kEditEntry + 4);
    const uint8_t *m = c.req + kEditEntry + 26;
    char mac[18];
    std::snprintf(mac, sizeof mac, "%02X:%02X:%02X:%02X:%02X:%02X", m[0], m[1], m[2], m[3], m[4], m[5]);
    json &arp = list_of(c, "arp");
    size_t found = arp.size();
    for (size_t i = 0; i < arp.size(); ++i)
        if (text(arp[i], "ip") == ip)
            found = i;
    if (type == kEditAdd) {
        if (found < arp.size())
            arp[found]["mac"] = mac;
        else
            arp.push_back(json{{"ip", ip}, {"mac", mac}, {"flags", 0}});
    } else if (type == kEditDelete && found < arp.size()) {
        arp.erase(arp.begin() + static_cast<long>(found));
    } else {
        refuse(c, FW_ADDL_INVALID_REQUEST);
        return;
    }
    c.dirty = true;
    c.answer.assign(c.req, c.req + 48);
}

void cmd_get_route_table(FwContext &c)
{
    if (short_request(c, kTableHead))
        return;
    const json &routes = list_of(c, "routes");
    c.answer.assign(c.req_len, 0);
    put32(c.answer, 0, static_cast<uint32_t>(routes.size()));
    size_t room = (c.req_len - kTableHead) / kRouteEntry;
    for (size_t i = 0; i < routes.size() && i < room; ++i) {
        size_t at = kTableHead + i * kRouteEntry;
        uint8_t dest[4], mask[4], gw[4];
        ipv4_bytes(json(text(routes[i], "destination")), dest);
        ipv4_bytes(json(text(routes[i], "mask")), mask);
        ipv4_bytes(json(text(routes[i], "gateway")), gw);
        put16(c.answer, at, 40);
        c.answer[at + 2] = 1;
        std::memcpy(&c.answer[at + 4], dest, 4);
        std::memcpy(&c.answer[at + 20], mask, 4);
        put_ipv4_record(c.answer, at + 40, gw);
    }
}

void cmd_edit_route_table(FwContext &c)
{
    if (short_request(c, 72))
        return;
    uint32_t type = get32(c.req);
    const uint8_t *e = c.req + kEditEntry;
    json route = {{"destination", dotted(e + 4)}, {"mask", dotted(e + 20)}, {"gateway", dotted(e + 44)}};
    json &routes = list_of(c, "routes");
    size_t found = routes.size();
    for (size_t i = 0; i < routes.size(); ++i)
        if (text(routes[i], "destination") == route["destination"] && text(routes[i], "mask") == route["mask"] &&
            text(routes[i], "gateway") == route["gateway"])
            found = i;
    if (type == kEditAdd && found == routes.size()) {
        if (static_cast<long>(routes.size()) >= desc_number(tcpip(c), "route_limit", kDefaultRouteLimit)) {
            refuse(c, kAddlRouteTableFull);
            return;
        }
        routes.push_back(route);
    } else if (type == kEditDelete && found < routes.size()) {
        routes.erase(routes.begin() + static_cast<long>(found));
    } else {
        refuse(c, FW_ADDL_INVALID_REQUEST);
        return;
    }
    c.dirty = true;
    c.answer.assign(c.req, c.req + 72);
}

} // namespace hlvdsim
