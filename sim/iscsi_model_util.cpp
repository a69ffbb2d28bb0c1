#include "sim/iscsi_model_util.h"

#include <arpa/inet.h>

#include <cstdio>

#include "sim/converged_adapter.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

json &object_of_function(FwContext &c, const char *key)
{
    json &f = c.m.doc["adapters"][c.adapter]["functions"][c.function];
    if (!f.contains(key) || !f[key].is_object())
        f[key] = json::object();
    return f[key];
}

} // namespace

json &state(FwContext &c)
{
    return object_of_function(c, "initiator");
}

json &tcpip(FwContext &c)
{
    return object_of_function(c, "tcpip");
}

json &array_in(json &parent, const char *key)
{
    if (!parent.contains(key) || !parent[key].is_array())
        parent[key] = json::array();
    return parent[key];
}

void refuse(FwContext &c, uint8_t status, uint16_t additional)
{
    c.status = status;
    c.additional = additional;
    c.answer.clear();
}

void fail(FwContext &c)
{
    refuse(c, FW_STATUS_FAILED, FW_ADDL_INVALID_REQUEST);
}

bool short_request(FwContext &c, size_t len)
{
    if (c.req_len >= len)
        return false;
    fail(c);
    return true;
}

bool refused(FwContext &c, size_t need)
{
    if (c.m.adapters[c.adapter].functions[c.function].kind != "iscsi") {
        refuse(c, FW_STATUS_NOT_SUPPORTED, 0);
        return true;
    }
    return short_request(c, need);
}

std::string text(const json &j, const char *key, const char *dflt)
{
    if (!j.is_object() || !j.contains(key) || !j.at(key).is_string())
        return dflt;
    return j.at(key).get<std::string>();
}

std::string field(const uint8_t *p, size_t room)
{
    size_t n = 0;
    while (n < room && p[n])
        ++n;
    return std::string(reinterpret_cast<const char *>(p), n);
}

std::string hex_of(const uint8_t *p, size_t n)
{
    std::string s;
    char two[3];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(two, sizeof two, "%02x", p[i]);
        s += two;
    }
    return s;
}

void put_text(std::vector<uint8_t> &b, size_t at, const std::string &s, size_t room)
{
    for (size_t i = 0; i < s.size() && i + 1 < room; ++i)
        b[at + i] = static_cast<uint8_t>(s[i]);
}

void put_ip(std::vector<uint8_t> &b, size_t at, const std::string &ip)
{
    if (ip.empty())
        return;
    put16(b, at, 24);
    bool v6 = ip.find(':') != std::string::npos;
    b[at + 3] = v6 ? 16 : 1;
    inet_pton(v6 ? AF_INET6 : AF_INET, ip.c_str(), &b[at + 4]);
}

} // namespace hlvdsim
