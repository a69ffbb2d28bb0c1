#include "sim/initiator_model.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "sim/command_log.h"
#include "sim/converged_adapter.h"
#include "sim/iscsi_model_util.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const uint16_t kAddlUnknownOpcode = 30;
const uint8_t kStatusInvalidSession = 31;

// ISCSI_HBA_NAME_PARAMS
const size_t kNameRecord = 260, kName = 4, kNameSize = 224, kAlias = 228, kAliasSize = 32;
// QoS records
const size_t kGetQos = 32, kSetQos = 36;
const uint32_t kValidIos = 0x4, kValidBytes = 0x40;
// DISCOVERY_PARAMS
const size_t kDiscovery = 888, kSlp = 544, kIsnsFlags = 544, kEntity = 548, kEntitySize = 224, kSrvCount = 772,
             kServers = 776, kServerSize = 28, kServerCount = 4;
// GET_ISCSI_NODE_ATTRIB_PARAMS
const size_t kNodeAttributes = 760;
// Session configuration
const size_t kSessionConfig = 276, kSetSessionConfig = 280, kTargetName = 12, kTargetNameSize = 224;
const long kDefaultEto = 30;

json &object_in(json &parent, const char *key)
{
    if (!parent.contains(key) || !parent[key].is_object())
        parent[key] = json::object();
    return parent[key];
}

// The bytes of a field without its zero padding.
std::string field_bytes(const uint8_t *p, size_t size)
{
    size_t n = size;
    while (n > 0 && p[n - 1] == 0)
        --n;
    return std::string(reinterpret_cast<const char *>(p), n);
}

void put_bytes(std::vector<uint8_t> &b, size_t at, size_t size, const std::string &s)
{
    if (b.size() < at + size)
        b.resize(at + size);
    std::memset(&b[at], 0, size);
    std::memcpy(&b[at], s.data(), std::min(s.size(), size));
}

std::string text_of(const json &j, const char *key, const std::string &dflt)
{
    if (!j.is_object() || !j.contains(key))
        return dflt;
    try {
        return value_bytes(j.at(key));
    } catch (const std::exception &) {
        return dflt;
    }
}

std::string default_name(const FwContext &c)
{
    std::string mac;
    for (char ch : c.m.adapters[c.adapter].functions[c.function].mac)
        if (ch != ':' && ch != '-')
            mac += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return "iqn.2004-02.com.orvane:" + (mac.empty() ? std::string("initiator") : mac);
}

// Initiator commands reach the iSCSI functions only; a NIC function does not
// know them.
bool refused_off_iscsi(FwContext &c)
{
    if (c.m.adapters[c.adapter].functions[c.function].kind == "iscsi")
        return false;
    refuse(c, FW_STATUS_NOT_SUPPORTED, 0);
    return true;
}

bool by_callback(const FwContext &c)
{
    return c.m.adapters[c.adapter].functions[c.function].driver == "callback";
}

void put_hex(std::vector<uint8_t> &b, size_t at, size_t size, const std::string &hex)
{
    for (size_t i = 0; i < size && 2 * i + 1 < hex.size(); ++i)
        b[at + i] = static_cast<uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
}

json *find_session(FwContext &c, uint32_t handle)
{
    json &st = state(c);
    if (!st.contains("sessions") || !st["sessions"].is_array())
        return nullptr;
    for (json &s : st["sessions"])
        if (s.is_object() && static_cast<uint32_t>(desc_number(s, "handle", -1)) == handle)
            return &s;
    return nullptr;
}

} // namespace

void cmd_get_qos(FwContext &c)
{
    const json &q = object_in(state(c), "qos");
    c.answer.assign(kGetQos, 0);
    put32(c.answer, 0, static_cast<uint32_t>(function_field(c.m, c.adapter, c.function, "qos_max_bps", 0)));
    put32(c.answer, 8, static_cast<uint32_t>(desc_number(q, "ios", 0)));
    put32(c.answer, 12, static_cast<uint32_t>(desc_number(q, "bytes", 0)));
}

void cmd_set_qos(FwContext &c)
{
    if (short_request(c, kSetQos))
        return;
    uint32_t valid = get32(c.req);
    json &q = object_in(state(c), "qos");
    if (valid & kValidIos)
        q["ios"] = get32(c.req + 12);
    if (valid & kValidBytes)
        q["bytes"] = get32(c.req + 16);
    c.dirty = true;
    c.answer.assign(4, 0);
}

void cmd_get_discovery(FwContext &c)
{
    if (refused_off_iscsi(c))
        return;
    if (short_request(c, kDiscovery))
        return;
    const json &d = object_in(state(c), "discovery");
    std::vector<uint8_t> &b = c.answer;
    b.assign(kDiscovery, 0);
    put_bytes(b, 0, kSlp, text_of(d, "slp", ""));
    put16(b, kIsnsFlags, static_cast<uint16_t>(desc_number(d, "isns_flags", 0)));
    put16(b, kIsnsFlags + 2, static_cast<uint16_t>(desc_number(d, "isns_rsvd0", 0)));
    put_bytes(b, kEntity, kEntitySize, text_of(d, "entity", ""));
    put32(b, kSrvCount, static_cast<uint32_t>(desc_number(d, "srv_count", 0)));
    if (d.contains("servers") && d.at("servers").is_array()) {
        size_t i = 0;
        for (const json &s : d.at("servers")) {
            if (i >= kServerCount)
                break;
            size_t at = kServers + kServerSize * i++;
            put16(b, at, static_cast<uint16_t>(desc_number(s, "size", 0)));
            put8(b, at + 2, static_cast<uint8_t>(desc_number(s, "reserved", 0)));
            put8(b, at + 3, static_cast<uint8_t>(desc_number(s, "type", 0)));
            put_hex(b, at + 4, 16, s.value("address", std::string()));
            put32(b, at + 20, static_cast<uint32_t>(desc_number(s, "rsvd0", 0)));
            put16(b, at + 24, static_cast<uint16_t>(desc_number(s, "tcp_port", 0)));
            put16(b, at + 26, static_cast<uint16_t>(desc_number(s, "udp_port", 0)));
        }
    }
}

void cmd_set_discovery(FwContext &c)
{
    if (refused_off_iscsi(c))
        return;
    if (short_request(c, kDiscovery))
        return;
    const uint8_t *r = c.req;
    json d = json::object();
    std::string slp = field_bytes(r, kSlp);
    if (!slp.empty())
        d["slp"] = bytes_value(slp);
    d["isns_flags"] = get16(r + kIsnsFlags);
    if (get16(r + kIsnsFlags + 2))
        d["isns_rsvd0"] = get16(r + kIsnsFlags + 2);
    d["entity"] = bytes_value(field_bytes(r + kEntity, kEntitySize));
    d["srv_count"] = get32(r + kSrvCount);
    json servers = json::array();
    size_t used = 0;
    for (size_t i = 0; i < kServerCount; ++i)
        if (!field_bytes(r + kServers + kServerSize * i, kServerSize).empty())
            used = i + 1;
    for (size_t i = 0; i < used; ++i) {
        const uint8_t *s = r + kServers + kServerSize * i;
        servers.push_back({{"size", get16(s)},
                           {"reserved", s[2]},
                           {"type", s[3]},
                           {"address", hex_of(s + 4, 16)},
                           {"rsvd0", get32(s + 20)},
                           {"tcp_port", get16(s + 24)},
                           {"udp_port", get16(s + 26)}});
    }
    d["servers"] = servers;
    state(c)["discovery"] = d;
    c.dirty = true;
    c.answer.assign(c.req, c.req + kDiscovery);
}

void cmd_node_attributes(FwContext &c)
{
    if (refused_off_iscsi(c))
        return;
    if (short_request(c, kNodeAttributes))
        return;
    json &st = state(c);
    const json &n = object_in(st, "node_attributes");
    std::vector<uint8_t> &b = c.answer;
    b.assign(kNodeAttributes, 0);
    put32(b, 0, 1); // node_count
    put32(b, 8, static_cast<uint32_t>(desc_number(n, "node_id", 1)));
    put16(b, 12, static_cast<uint16_t>(desc_number(n, "roles", 2)));
    put16(b, 14, static_cast<uint16_t>(desc_number(n, "portal_count", 1)));
    put_bytes(b, 16, kNameSize, text_of(st, "name", default_name(c)));
    put_bytes(b, 240, kNameSize, text_of(st, "alias", ""));
    put_bytes(b, 464, 256, text_of(n, "transport", "TCP"));
    const size_t p = 720;
    put32(b, p, static_cast<uint32_t>(desc_number(n, "portal_id", 1)));
    put32(b, p + 4, static_cast<uint32_t>(desc_number(n, "portal_status", 1)));
    put8(b, p + 8, static_cast<uint8_t>(desc_number(n, "portal_role", 2)));
    put8(b, p + 9, static_cast<uint8_t>(desc_number(n, "protocol", 6)));
    put8(b, p + 10, static_cast<uint8_t>(desc_number(n, "address_type", 1)));
    put8(b, p + 11, static_cast<uint8_t>(desc_number(n, "port", 0)));
    put16(b, p + 12, static_cast<uint16_t>(desc_number(n, "tag", 1)));
}

void cmd_get_name(FwContext &c)
{
    if (refused_off_iscsi(c))
        return;
    if (short_request(c, kNameRecord))
        return;
    json &st = state(c);
    if (c.hdr.version == 1 && !desc_number(st, "name_v1", 1)) {
        refuse(c, FW_STATUS_FAILED, kAddlUnknownOpcode);
        return;
    }
    c.answer.assign(kNameRecord, 0);
    put_bytes(c.answer, kName, kNameSize, text_of(st, "name", default_name(c)));
    put_bytes(c.answer, kAlias, kAliasSize, text_of(st, "alias", ""));
}

void cmd_set_name(FwContext &c)
{
    if (refused_off_iscsi(c))
        return;
    if (short_request(c, kNameRecord))
        return;
    json &st = state(c);
    if (c.hdr.version == 1 && !desc_number(st, "name_v1", 1)) {
        refuse(c, FW_STATUS_FAILED, kAddlUnknownOpcode);
        return;
    }
    st["name"] = bytes_value(field_bytes(c.req + kName, kNameSize));
    st["alias"] = bytes_value(field_bytes(c.req + kAlias, kAliasSize));
    c.dirty = true;
    c.answer.assign(c.req, c.req + kNameRecord);
}

void cmd_get_session_config(FwContext &c)
{
    if (refused_off_iscsi(c))
        return;
    if (by_callback(c)) {
        refuse(c, FW_STATUS_NOT_SUPPORTED, 0);
        return;
    }
    if (short_request(c, 4))
        return;
    json *s = find_session(c, get32(c.req));
    if (!s) {
        refuse(c, kStatusInvalidSession, 0);
        return;
    }
    long length = std::max<long>(desc_number(*s, "config_length", kSessionConfig), 0);
    std::vector<uint8_t> &b = c.answer;
    b.assign(static_cast<size_t>(std::max<long>(length, static_cast<long>(kSessionConfig))), 0);
    put32(b, 0, get32(c.req));
    put32(b, 4, static_cast<uint32_t>(desc_number(*s, "eto", kDefaultEto)));
    put8(b, 8, static_cast<uint8_t>(desc_number(*s, "tmf_method", 0)));
    put_bytes(b, kTargetName, kTargetNameSize, text_of(*s, "target", ""));
    // One LUN mapping: the session's own handle marks whose it is.
    put32(b, 240, get32(c.req));
    b.resize(static_cast<size_t>(length));
}

void cmd_set_session_config(FwContext &c)
{
    if (refused_off_iscsi(c))
        return;
    if (by_callback(c)) {
        refuse(c, FW_STATUS_NOT_SUPPORTED, 0);
        return;
    }
    if (short_request(c, kSetSessionConfig))
        return;
    json *s = find_session(c, get32(c.req));
    if (!s) {
        refuse(c, kStatusInvalidSession, 0);
        return;
    }
    if (get32(c.req + 4) & 1) {
        (*s)["eto"] = get32(c.req + 8);
        c.dirty = true;
    }
    c.answer.assign(4, 0);
}

} // namespace hlvdsim
