#include "sim/iscsi_discovery_model.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/converged_adapter.h"
#include "sim/initiator_model.h"
#include "sim/iscsi_model_util.h"
#include "sim/wire.h"

namespace hlvdsim {

namespace {

// LOGIN_TARGET_PARAMS
const uint32_t kLoginRecord = 1420;
const size_t kLoginAddress = 224, kLoginPort = 248, kLoginFlags = 508, kNameSize = 224;
const uint32_t kDiscoverySessionFlag = 0x0010;
// SendTargets request and the parsed answer
const size_t kSendTargetsRequest = 264, kTextKey = 8, kTextKeySize = 256;
const size_t kEntryHead = 228, kAddrEntry = 32;
const size_t kInfoRequest = 12;
// DISCOVERY_PARAMS, iSNS part
const size_t kDiscovery = 888, kIsnsFlags = 544, kSrvCount = 772, kServers = 776;
const uint16_t kIsnsByDhcp = 0x40;
const uint16_t kAddlConnectionFailed = 21, kAddlUnreachable = 19;
const uint8_t kStatusInvalidSession = 31;
const uint32_t kFirstDiscoveryHandle = 0x4000;
const uint32_t kSessionOpen = 0x0001;

// The text of an IP_ADDRESS_FORMAT record, as the machine description writes
// addresses.
std::string ip_text(const uint8_t *rec)
{
    char s[INET6_ADDRSTRLEN] = {0};
    if (rec[3] == 16)
        inet_ntop(AF_INET6, rec + 4, s, sizeof s);
    else
        inet_ntop(AF_INET, rec + 4, s, sizeof s);
    return s;
}

// Two spellings of one address compare equal.
bool same_ip(const std::string &a, const std::string &b)
{
    uint8_t x[16] = {0}, y[16] = {0};
    int fa = a.find(':') != std::string::npos ? AF_INET6 : AF_INET;
    int fb = b.find(':') != std::string::npos ? AF_INET6 : AF_INET;
    if (fa != fb || inet_pton(fa, a.c_str(), x) != 1 || inet_pton(fb, b.c_str(), y) != 1)
        return false;
    return std::memcmp(x, y, sizeof x) == 0;
}

// An IP_ADDRESS_FORMAT record, made room for and written even for an empty
// text.
void put_ip_record(std::vector<uint8_t> &b, size_t at, const std::string &ip)
{
    if (b.size() < at + 24)
        b.resize(at + 24);
    put16(b, at, 24);
    bool v6 = ip.find(':') != std::string::npos;
    b[at + 3] = v6 ? 16 : 1;
    inet_pton(v6 ? AF_INET6 : AF_INET, ip.c_str(), &b[at + 4]);
}

const json *find_portal(FwContext &c, const std::string &ip, long port)
{
    json &st = state(c);
    if (!st.contains("sendtargets_portals") || !st["sendtargets_portals"].is_array())
        return nullptr;
    for (const json &p : st["sendtargets_portals"])
        if (p.is_object() && same_ip(text(p, "ip"), ip) && desc_number(p, "port", 3260) == port)
            return &p;
    return nullptr;
}

// The targets a portal reports for a text key, in its order.
json answer_targets(const json &portal, const std::string &key)
{
    json out = json::array();
    if (!portal.contains("targets") || !portal.at("targets").is_array())
        return out;
    const std::string prefix = "SendTargets=";
    if (key.compare(0, prefix.size(), prefix) != 0)
        return out;
    std::string which = key.substr(prefix.size());
    for (const json &t : portal.at("targets"))
        if (which == "All" || text(t, "name") == which)
            out.push_back(t);
    return out;
}

// Packs targets [first, end) into the parsed answer, as many as `room`
// bytes hold; status 4 when some did not fit.
void put_parsed(FwContext &c, const json &targets, size_t first, size_t end, size_t room)
{
    std::vector<uint8_t> &b = c.answer;
    b.assign(4, 0);
    uint32_t count = 0;
    size_t at = 4;
    end = std::min(end, targets.size());
    for (size_t i = first; i < end; ++i) {
        const json &t = targets[i];
        const json empty = json::array();
        const json &portals = t.contains("portals") && t.at("portals").is_array() ? t.at("portals") : empty;
        size_t size = kEntryHead + kAddrEntry * std::max<size_t>(portals.size(), 1);
        if (at + size > room) {
            c.status = FW_STATUS_INSUFFICIENT_BUFFER;
            break;
        }
        b.resize(at + size, 0);
        put32(b, at, static_cast<uint32_t>(portals.size()));
        std::string name = text(t, "name");
        std::memcpy(&b[at + 4], name.data(), std::min(name.size(), kNameSize - 1));
        size_t e = at + kEntryHead;
        for (const json &p : portals) {
            put_ip_record(b, e, text(p, "ip"));
            put16(b, e + 24, static_cast<uint16_t>(desc_number(p, "port", 3260)));
            put32(b, e + 28, static_cast<uint32_t>(desc_number(p, "tag", 1)));
            e += kAddrEntry;
        }
        at += size;
        ++count;
    }
    put32(b, 0, count);
}

json *find_discovery_session(FwContext &c, uint32_t handle)
{
    for (json &s : array_in(state(c), "discovery_sessions"))
        if (static_cast<uint32_t>(desc_number(s, "handle", -1)) == handle)
            return &s;
    return nullptr;
}

} // namespace

bool discovery_login(FwContext &c)
{
    if (c.req_len < kLoginRecord || !(get32(c.req + kLoginFlags) & kDiscoverySessionFlag))
        return false;
    if (refused(c, kLoginRecord))
        return true;
    std::string ip = ip_text(c.req + kLoginAddress);
    long port = get16(c.req + kLoginPort);
    const json *portal = find_portal(c, ip, port);
    if (!portal || desc_number(*portal, "down", 0)) {
        refuse(c, FW_STATUS_FAILED, kAddlConnectionFailed);
        return true;
    }
    json &sessions = array_in(state(c), "discovery_sessions");
    uint32_t handle = kFirstDiscoveryHandle;
    while (find_discovery_session(c, handle))
        ++handle;
    sessions.push_back({{"handle", handle}, {"ip", ip}, {"port", port}});
    c.dirty = true;
    c.answer.assign(c.req, c.req + kLoginRecord);
    put32(c.answer, 0, handle);
    put32(c.answer, 4, kSessionOpen);
    return true;
}

bool discovery_logout(FwContext &c)
{
    if (c.req_len < 4)
        return false;
    uint32_t handle = get32(c.req);
    json &sessions = array_in(state(c), "discovery_sessions");
    for (size_t i = 0; i < sessions.size(); ++i) {
        if (static_cast<uint32_t>(desc_number(sessions[i], "handle", -1)) == handle) {
            sessions.erase(i);
            c.dirty = true;
            c.answer.assign(c.req, c.req + 4);
            return true;
        }
    }
    return false;
}

void cmd_sendtargets(FwContext &c)
{
    if (refused(c, kSendTargetsRequest))
        return;
    const json *s = find_discovery_session(c, get32(c.req));
    if (!s) {
        refuse(c, kStatusInvalidSession, 0);
        return;
    }
    std::string ip = text(*s, "ip");
    long port = desc_number(*s, "port", 0);
    std::string key = field(c.req + kTextKey, kTextKeySize);
    const json *portal = find_portal(c, ip, port);
    if (!portal) {
        refuse(c, FW_STATUS_FAILED, kAddlConnectionFailed);
        return;
    }
    state(c)["last_sendtargets"] = {{"ip", ip}, {"port", port}, {"key", key}};
    c.dirty = true;
    json targets = answer_targets(*portal, key);
    put_parsed(c, targets, 0, targets.size(), c.req_len);
}

void cmd_sendtargets_info(FwContext &c)
{
    if (refused(c, kInfoRequest))
        return;
    json &st = state(c);
    const json *portal = nullptr;
    std::string key;
    if (st.contains("last_sendtargets") && st["last_sendtargets"].is_object()) {
        const json &last = st["last_sendtargets"];
        portal = find_portal(c, text(last, "ip"), desc_number(last, "port", 0));
        key = text(last, "key");
    }
    if (!portal) {
        refuse(c, FW_STATUS_FAILED, FW_ADDL_INVALID_REQUEST);
        return;
    }
    size_t first = get16(c.req);
    size_t count = get16(c.req + 2);
    json targets = answer_targets(*portal, key);
    put_parsed(c, targets, first, first + count, c.req_len);
}

void cmd_set_discovery_params(FwContext &c)
{
    cmd_set_discovery(c);
    if (c.status != FW_STATUS_SUCCESS || c.req_len < kDiscovery)
        return;
    json &st = state(c);
    json &d = st["discovery"];
    uint16_t flags = get16(c.req + kIsnsFlags);
    if ((flags & kIsnsByDhcp) && st.contains("isns_dhcp_server") && st["isns_dhcp_server"].is_object()) {
        const json &srv = st["isns_dhcp_server"];
        std::vector<uint8_t> rec(24, 0);
        put_ip_record(rec, 0, text(srv, "ip"));
        char hex[33] = {0};
        for (size_t i = 0; i < 16; ++i)
            std::snprintf(hex + 2 * i, 3, "%02x", rec[4 + i]);
        d["srv_count"] = 1;
        d["servers"] = json::array({{{"size", 24},
                                     {"reserved", 0},
                                     {"type", rec[3]},
                                     {"address", std::string(hex)},
                                     {"rsvd0", 0},
                                     {"tcp_port", desc_number(srv, "port", 3205)},
                                     {"udp_port", 0}}});
    }
    if (get32(c.req + kSrvCount) > 0 && st.contains("isns_unreachable") && st["isns_unreachable"].is_array()) {
        std::string first = ip_text(c.req + kServers);
        for (const json &u : st["isns_unreachable"])
            if (u.is_string() && same_ip(u.get<std::string>(), first)) {
                c.status = FW_STATUS_FAILED;
                c.additional = kAddlUnreachable;
                c.answer.clear();
                break;
            }
    }
}

} // namespace hlvdsim
