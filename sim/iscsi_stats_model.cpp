#include "sim/iscsi_stats_model.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <string>

#include "sim/converged_adapter.h"
#include "sim/iscsi_model_util.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const size_t kInstanceStats = 264, kLoginStats = 520, kNameSize = 224;
const size_t kAttrHead = 8, kAttrEntry = 1276;
const uint32_t kMagic = 0xA1B2C3D4;
const uint16_t kAddlSessionClosed = 18;

const json &initiator(const FwContext &c)
{
    static const json kEmpty = json::object();
    try {
        const json &f = c.m.doc.at("adapters").at(c.adapter).at("functions").at(c.function);
        if (f.contains("initiator") && f.at("initiator").is_object())
            return f.at("initiator");
    } catch (const std::exception &) {
    }
    return kEmpty;
}

const json &object_of(const json &parent, const char *key)
{
    static const json kEmpty = json::object();
    return parent.is_object() && parent.contains(key) && parent.at(key).is_object() ? parent.at(key) : kEmpty;
}

uint32_t n32(const json &j, const char *key, long dflt = 0)
{
    return static_cast<uint32_t>(desc_number(j, key, dflt));
}

// 64-bit counters do not fit a long of the 32-bit build.
uint64_t n64(const json &j, const char *key)
{
    if (!j.is_object() || !j.contains(key))
        return 0;
    const json &v = j.at(key);
    if (v.is_string())
        return std::strtoull(v.get<std::string>().c_str(), nullptr, 0);
    if (v.is_number_unsigned())
        return v.get<uint64_t>();
    if (v.is_number_integer())
        return static_cast<uint64_t>(v.get<int64_t>());
    return 0;
}

void put64(std::vector<uint8_t> &b, size_t at, uint64_t v)
{
    put32(b, at, static_cast<uint32_t>(v));
    put32(b, at + 4, static_cast<uint32_t>(v >> 32));
}

void put_text(std::vector<uint8_t> &b, size_t at, size_t room, const json &j, const char *key)
{
    if (!j.is_object() || !j.contains(key) || !j.at(key).is_string())
        return;
    const std::string s = j.at(key).get<std::string>();
    for (size_t i = 0; i < s.size() && i + 1 < room; ++i)
        b[at + i] = static_cast<uint8_t>(s[i]);
}

// An IP_ADDRESS_FORMAT; no text leaves type 0.
void put_ip(std::vector<uint8_t> &b, size_t at, const json &j, const char *key)
{
    if (!j.is_object() || !j.contains(key) || !j.at(key).is_string())
        return;
    const std::string ip = j.at(key).get<std::string>();
    put16(b, at, 24);
    bool v6 = ip.find(':') != std::string::npos;
    b[at + 3] = v6 ? 16 : 1;
    inet_pton(v6 ? AF_INET6 : AF_INET, ip.c_str(), &b[at + 4]);
}

const json *session_of(const json &ini, uint32_t handle)
{
    if (!ini.contains("sessions") || !ini.at("sessions").is_array())
        return nullptr;
    for (const json &s : ini.at("sessions"))
        if (s.is_object() && static_cast<uint32_t>(desc_number(s, "handle", -1)) == handle)
            return &s;
    return nullptr;
}

} // namespace

void cmd_instance_stats(FwContext &c)
{
    if (refused(c, kInstanceStats))
        return;
    const json &s = object_of(initiator(c), "instance_stats");
    std::vector<uint8_t> &b = c.answer;
    b.assign(kInstanceStats, 0);
    put32(b, 0, n32(s, "portal_count"));
    put32(b, 4, n32(s, "node_count"));
    put32(b, 8, n32(s, "session_count"));
    put32(b, 12, n32(s, "failure_count"));
    put32(b, 16, n32(s, "last_failure_type"));
    put_text(b, 20, kNameSize, s, "last_rmt_node_name");
    put32(b, 244, n32(s, "digest_errors"));
    put32(b, 248, n32(s, "cxn_timeout_errors"));
    put32(b, 252, n32(s, "format_errors"));
}

void cmd_login_stats(FwContext &c)
{
    if (refused(c, kLoginStats))
        return;
    const json &s = object_of(initiator(c), "login_stats");
    std::vector<uint8_t> &b = c.answer;
    b.assign(kLoginStats, 0);
    put_text(b, 0, kNameSize, s, "node_name");
    put32(b, 224, n32(s, "failures"));
    put32(b, 228, n32(s, "last_failure_time"));
    put32(b, 232, n32(s, "last_failure_type"));
    put_text(b, 236, kNameSize, s, "last_tgt_name");
    put32(b, 460, n32(s, "last_tgt_type"));
    put_ip(b, 464, s, "last_tgt_addr");
    const char *const counters[] = {"accept_rsps",        "other_fail_rsps", "redirect_rsps",  "auth_fail_rsps",
                                    "authenticate_fails", "negotiate_fails", "logout_normals", "logout_others"};
    for (size_t i = 0; i < 8; ++i)
        put32(b, 488 + 4 * i, n32(s, counters[i]));
}

void cmd_session_attributes(FwContext &c)
{
    if (refused(c, kAttrHead))
        return;
    uint32_t count = get32(c.req + 4);
    if (get32(c.req) != kMagic || count > (c.req_len - kAttrHead) / 4 ||
        count > (c.req_len - kAttrHead) / kAttrEntry) {
        c.status = FW_STATUS_FAILED;
        c.additional = FW_ADDL_INVALID_REQUEST;
        c.answer.clear();
        return;
    }
    const json &ini = initiator(c);
    std::vector<uint8_t> b(kAttrHead + kAttrEntry * count, 0);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t handle = get32(c.req + kAttrHead + 4 * i);
        const json *s = session_of(ini, handle);
        if (!s) {
            c.status = FW_STATUS_FAILED;
            c.additional = kAddlSessionClosed;
            c.answer.clear();
            return;
        }
        const json &st = object_of(*s, "stats");
        size_t at = kAttrHead + kAttrEntry * i;
        put32(b, at, handle);
        put32(b, at + 4, n32(st, "direction", 2));
        put_text(b, at + 8, 32, st, "initiator_alias");
        put_text(b, at + 40, 32, st, "target_alias");
        put32(b, at + 72, n32(st, "cmd_pdus"));
        put32(b, at + 76, n32(st, "rsp_pdus"));
        put64(b, at + 80, n64(st, "tx_octets"));
        put64(b, at + 88, n64(st, "rx_octets"));
        put32(b, at + 96, n32(st, "digest_errors"));
        put32(b, at + 100, n32(st, "cxn_timeout_errors"));
        put32(b, at + 104, n32(st, "format_errors"));
        put32(b, at + 112, handle); // the session record starts with its handle
    }
    put32(b, 4, count);
    c.answer = b;
}

} // namespace hlvdsim
