#include "sim/iscsi_session_model.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "sim/converged_adapter.h"
#include "sim/iscsi_model_util.h"
#include "sim/wire.h"

namespace hlvdsim {

namespace {

const uint32_t kRecordSize = 1164;
const size_t kConnList = 492;
const size_t kNameSize = 224;

const json *initiator(const FwContext &c)
{
    try {
        const json &f = c.m.doc.at("adapters").at(c.adapter).at("functions").at(c.function);
        if (f.contains("initiator") && f.at("initiator").is_object())
            return &f.at("initiator");
    } catch (const std::exception &) {
    }
    return nullptr;
}

long num(const json &j, const char *key, long dflt)
{
    return j.is_object() ? desc_number(j, key, dflt) : dflt;
}

// The connection's negotiated MGMT_CONN_LOGIN_OPTIONS: digests and CHAP.
void put_conn_options(std::vector<uint8_t> &b, size_t at, const json &o)
{
    if (!o.is_object())
        return;
    b[at + 1] = static_cast<uint8_t>(num(o, "header_digest", 0));
    b[at + 2] = static_cast<uint8_t>(num(o, "data_digest", 0));
    b[at + 20] = static_cast<uint8_t>(num(o, "auth", 0));
    put32(b, at + 24, static_cast<uint32_t>(num(o, "chap_flags", 0)));
    const struct {
        const char *key;
        size_t field, room, len_at;
    } chap[] = {{"initiator_chap_name", 28, 256, 572}, {"initiator_secret", 284, 16, 574},
                {"target_chap_name", 300, 256, 576}, {"target_secret", 556, 16, 578}};
    for (const auto &f : chap) {
        std::string v = text(o, f.key);
        size_t n = std::min(v.size(), f.room);
        std::memcpy(&b[at + f.field], v.data(), n);
        put16(b, at + f.len_at, static_cast<uint16_t>(num(o, (std::string(f.key) + "_length").c_str(), long(n))));
    }
}

} // namespace

void cmd_get_a_session(FwContext &c)
{
    if (c.req_len < 4)
        return fail(c);
    uint32_t handle = static_cast<uint32_t>(c.req[0] | c.req[1] << 8 | c.req[2] << 16 | c.req[3] << 24);
    const json *ini = initiator(c);
    const json *found = nullptr;
    if (ini && ini->contains("sessions") && ini->at("sessions").is_array())
        for (const json &s : ini->at("sessions"))
            if (num(s, "handle", -1) == static_cast<long>(handle))
                found = &s;
    if (!found)
        return fail(c);
    const json &s = *found;
    c.answer.assign(std::max(c.req_len, kRecordSize), 0);
    put32(c.answer, 0, handle);
    put32(c.answer, 4, static_cast<uint32_t>(num(s, "status", 0)));
    std::string isid = text(s, "isid");
    for (size_t i = 0; i < 6 && 2 * i + 1 < isid.size(); ++i)
        c.answer[8 + i] = static_cast<uint8_t>(std::stoul(isid.substr(2 * i, 2), nullptr, 16));
    put16(c.answer, 14, static_cast<uint16_t>(num(s, "tsih", 0)));
    put32(c.answer, 16, static_cast<uint32_t>(num(s, "flags", 0)));
    const json conn = s.contains("connection") ? s.at("connection") : json();
    put16(c.answer, 20, static_cast<uint16_t>(num(s, "conn_count", conn.is_object() ? 1 : 0)));
    put_text(c.answer, 24, text(s, "target"), kNameSize);
    put_text(c.answer, 248, text(s, "initiator"), kNameSize);
    if (conn.is_object()) {
        size_t at = kConnList;
        put32(c.answer, at + 0, static_cast<uint32_t>(num(conn, "handle", 0)));
        put32(c.answer, at + 4, static_cast<uint32_t>(num(conn, "status", 0)));
        put16(c.answer, at + 8, static_cast<uint16_t>(num(conn, "src_port", 0)));
        put16(c.answer, at + 10, static_cast<uint16_t>(num(conn, "dest_port", 0)));
        put16(c.answer, at + 12, static_cast<uint16_t>(num(conn, "redirected_port", 0)));
        put16(c.answer, at + 14, static_cast<uint16_t>(num(conn, "cid", 0)));
        put_ip(c.answer, at + 20, text(conn, "src_ip"));
        put_ip(c.answer, at + 44, text(conn, "dest_ip"));
        put_ip(c.answer, at + 68, text(conn, "redirected_ip"));
        put_conn_options(c.answer, at + 92, conn.contains("options") ? conn.at("options") : json());
    }
    c.answer.resize(c.req_len);
}

void cmd_active_session_ids(FwContext &c)
{
    if (c.req_len < 4)
        return fail(c);
    std::vector<uint32_t> handles;
    const json *ini = initiator(c);
    if (ini && ini->contains("sessions") && ini->at("sessions").is_array())
        for (const json &s : ini->at("sessions"))
            handles.push_back(static_cast<uint32_t>(num(s, "handle", 0)));
    size_t full = 8 + 4 * handles.size();
    c.answer.assign(std::max<size_t>(c.req_len, full), 0);
    put32(c.answer, 0, static_cast<uint32_t>(handles.size()));
    for (size_t i = 0; i < handles.size(); ++i)
        put32(c.answer, 8 + 4 * i, handles[i]);
    // A list longer than the request is cut by the transport, which then
    // reports the length the whole list needs (status 4).
    c.reported_length = static_cast<long>(full);
}

} // namespace hlvdsim
