#include "sim/dcbx_model.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/converged_adapter.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const size_t kDcbxSize = 312;
const size_t kDcbxV1Size = 368;
const size_t kAppOffset = 72;
const size_t kAppSize = 16;
const size_t kApps = 15;
const size_t kCnpvOffset = 312;
const size_t kReadyOffset = 316;
const size_t kLldpSize = 1576;
const size_t kLldpSetSize = 8;
const size_t kLldpStatsSize = 48;
const size_t kMibSize = 108;
const size_t kVarrowMibSize = 60;
const size_t kModeSize = 4;
const size_t kOpParamsSize = 2080;
const size_t kOpDescSize = 12; // longer than its 8-byte head, as firmware may send
const size_t kMaxPorts = 64;   // the 6-bit port fields

void fail(FwContext &c, uint8_t status)
{
    c.status = status;
    if (status == FW_STATUS_FAILED)
        c.additional = FW_ADDL_INVALID_REQUEST;
    c.answer.clear();
}

const json &adapter_doc(const FwContext &c)
{
    return c.m.doc.at("adapters").at(c.adapter);
}

json port_doc(const FwContext &c, size_t p)
{
    const json &a = adapter_doc(c);
    if (a.contains("ports") && a.at("ports").is_array() && p < a.at("ports").size() && a.at("ports").at(p).is_object())
        return a.at("ports").at(p);
    return json::object();
}

json sub(const json &j, const char *key)
{
    return j.is_object() && j.contains(key) ? j.at(key) : json::object();
}

// A 32-bit word of the description; a long cannot hold 0x80000000 on a
// 32-bit host.
uint32_t desc_word(const json &j, const char *key, uint32_t dflt)
{
    if (!j.is_object() || !j.contains(key))
        return dflt;
    const json &v = j.at(key);
    if (v.is_string())
        return static_cast<uint32_t>(std::strtoull(v.get<std::string>().c_str(), nullptr, 0));
    if (v.is_number())
        return static_cast<uint32_t>(v.get<int64_t>());
    return dflt;
}

bool knows_v1(const FwContext &c)
{
    return desc_number(adapter_doc(c), "dcbx_v1", 0) != 0;
}

// The firmware state kept for one port.
json *port_state(FwContext &c, size_t port)
{
    std::string key = std::to_string(port);
    if (c.fw->contains("dcbx") && c.fw->at("dcbx").is_object() && c.fw->at("dcbx").contains(key))
        return &(*c.fw)["dcbx"][key];
    return nullptr;
}

json &port_state_for_write(FwContext &c, size_t port)
{
    c.dirty = true;
    return (*c.fw)["dcbx"][std::to_string(port)];
}

void put_bits(std::vector<uint8_t> &b, size_t at, const json &set, const char *key)
{
    if (set.is_object() && set.contains(key) && set.at(key).is_array())
        for (const json &p : set.at(key))
            if (p.is_number_integer() && p.get<long>() >= 0 && p.get<long>() < 8)
                b[at + static_cast<size_t>(p.get<long>())] = 1;
}

// The version-1 form of a DCBX set as the description gives it.
std::vector<uint8_t> described_record(const FwContext &c, size_t port, uint8_t type)
{
    static const char *const kSets[] = {"administrator", "operational", "peer"};
    std::vector<uint8_t> r(kDcbxV1Size, 0);
    json set = sub(sub(port_doc(c, port), "dcbx"), kSets[type]);
    json apps = set.is_array() ? set : sub(set, "apps");
    if (!set.is_array()) {
        r[0] = static_cast<uint8_t>(desc_number(set, "dcbx_state", 1));
        r[1] = static_cast<uint8_t>(desc_number(set, "params_valid", 1));
        r[3] = static_cast<uint8_t>(desc_number(set, "num_pgs", 8));
        put32(r, 4, desc_word(set, "pg_state", 0));
        put32(r, 8, desc_word(set, "pfc_state", 0));
        put32(r, 12, desc_word(set, "qcn_state", 0));
        put32(r, 16, desc_word(set, "appl_state", 0));
        for (size_t k = 0; k < 8; ++k) {
            const json bw = sub(set, "bandwidth");
            const json ids = sub(set, "pg_ids");
            if (bw.is_array() && k < bw.size() && bw.at(k).is_number_integer())
                r[24 + k] = static_cast<uint8_t>(bw.at(k).get<long>());
            if (ids.is_array() && k < ids.size() && ids.at(k).is_number_integer())
                r[32 + 4 * k] = static_cast<uint8_t>(ids.at(k).get<long>());
        }
        put_bits(r, 64, set, "pfc");
        r[kCnpvOffset] = static_cast<uint8_t>(desc_number(set, "cnpv", 0));
        r[kReadyOffset] = static_cast<uint8_t>(desc_number(set, "ready", 0));
    } else {
        r[0] = 1;
        r[1] = 1;
        r[3] = 8;
    }
    uint8_t valid = 0;
    if (apps.is_array()) {
        for (size_t k = 0; k < apps.size() && k < kApps; ++k) {
            const json &app = apps.at(k);
            size_t at = kAppOffset + k * kAppSize;
            put16(r, at, static_cast<uint16_t>(desc_number(app, "protocol", 0)));
            r[at + 2] = static_cast<uint8_t>(desc_number(app, "selector", 0));
            r[at + 3] = static_cast<uint8_t>(desc_number(app, "valid", 1));
            put32(r, at + 4, desc_word(app, "oui", 0x001b21));
            put_bits(r, at + 8, app, "priorities");
            if (r[at + 3] == 1)
                ++valid;
        }
    }
    r[2] = valid;
    return r;
}

// The version-1 form of a port's record: the administrator set as last
// written, else as described.
std::vector<uint8_t> current_record(FwContext &c, size_t port, uint8_t type)
{
    json *st = type == 0 ? port_state(c, port) : nullptr;
    if (st && st->contains("administrator") && st->at("administrator").is_array() &&
        st->at("administrator").size() == kDcbxV1Size) {
        std::vector<uint8_t> r(kDcbxV1Size, 0);
        for (size_t i = 0; i < kDcbxV1Size; ++i)
            r[i] = static_cast<uint8_t>(st->at("administrator").at(i).get<int>());
        return r;
    }
    return described_record(c, port, type);
}

bool version_known(FwContext &c)
{
    if (c.hdr.version == 0 || (c.hdr.version == 1 && knows_v1(c)))
        return true;
    fail(c, FW_STATUS_FAILED); // invalid request: an unknown opcode to the driver
    return false;
}

bool valid_port(FwContext &c, size_t port)
{
    if (port < kMaxPorts)
        return true;
    fail(c, FW_STATUS_FAILED);
    return false;
}

void put_text(std::vector<uint8_t> &b, size_t at, const json &j, const char *key)
{
    if (!j.is_object() || !j.contains(key) || !j.at(key).is_string())
        return;
    std::string s = j.at(key).get<std::string>();
    for (size_t i = 0; i < s.size() && i < 255; ++i)
        b[at + i] = static_cast<uint8_t>(s[i]);
}

} // namespace

void cmd_operating_params(FwContext &c)
{
    if (c.req_len < 8) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    size_t port = c.req[4] & 0x3F;
    json modes = sub(port_doc(c, port), "qos_modes");
    c.answer.assign(kOpParamsSize, 0);
    size_t count = 0;
    if (modes.is_array()) {
        for (const json &m : modes) {
            size_t at = 16 + count * kOpDescSize;
            if (!m.is_number_integer() || at + kOpDescSize > kOpParamsSize)
                continue;
            put16(c.answer, at + 2, kOpDescSize);
            put32(c.answer, at + 4, static_cast<uint32_t>(port | (static_cast<uint32_t>(m.get<long>()) & 7) << 8));
            ++count;
        }
    }
    put16(c.answer, 0, static_cast<uint16_t>(count));
}

void cmd_dcbx_config(FwContext &c)
{
    if (!version_known(c))
        return;
    if (c.req_len < 1 || c.req[0] > 2 || !valid_port(c, c.hdr.port_number)) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    std::vector<uint8_t> r = current_record(c, c.hdr.port_number, c.req[0]);
    if (c.hdr.version == 0) {
        r.resize(kDcbxSize);
        std::memset(&r[12], 0, 4); // no congestion notification in version 0
    }
    c.answer = r;
}

void cmd_dcbx_set_config(FwContext &c)
{
    if (!version_known(c))
        return;
    size_t need = c.hdr.version == 1 ? kDcbxV1Size : kDcbxSize;
    if (c.req_len < need || !valid_port(c, c.hdr.port_number)) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    std::vector<uint8_t> r = current_record(c, c.hdr.port_number, 0);
    r[0] = c.req[0];
    r[2] = c.req[1];
    for (size_t i = 4; i < kDcbxSize; ++i)
        r[i] = c.req[i];
    if (c.hdr.version == 1)
        r[kCnpvOffset] = c.req[kCnpvOffset];
    json &st = port_state_for_write(c, c.hdr.port_number);
    st["administrator"] = json::array();
    for (uint8_t b : r)
        st["administrator"].push_back(b);
    c.answer.assign(4, 0);
}

void cmd_dcbx_mib(FwContext &c)
{
    if (!valid_port(c, c.hdr.port_number))
        return;
    json mib = sub(port_doc(c, c.hdr.port_number), "dcbx_mib");
    auto n = [&mib](const char *key) { return static_cast<uint32_t>(desc_number(mib, key, 0)); };
    const uint8_t head[4] = {static_cast<uint8_t>(c.hdr.port_number), 1, static_cast<uint8_t>(n("operating_version")),
                             static_cast<uint8_t>(n("max_version"))};
    const uint32_t vars[] = {n("sequence"), n("ack"), n("peer_sequence"), n("peer_ack")};
    const uint32_t features[] = {n("app_sequence"), n("pg_sequence"), n("pfc_sequence")};
    const uint32_t stats[] = {n("tx"), n("rx"), n("errors"), n("dropped"), 0, 0, 0};
    bool varrow = c.m.adapters[c.adapter].generation == "Varrow";
    c.answer.assign(varrow ? kVarrowMibSize : kMibSize, 0);
    for (size_t i = 0; i < 4; ++i)
        c.answer[i] = head[i];
    size_t at = 4;
    for (uint32_t v : vars) {
        put32(c.answer, at, v);
        at += 4;
    }
    at = varrow ? at : 36;
    for (uint32_t v : features) {
        put32(c.answer, at, v);
        at += 4;
    }
    at = varrow ? at : 64;
    for (uint32_t v : stats) {
        put32(c.answer, at, v);
        at += 4;
    }
}

void cmd_dcbx_mode(FwContext &c)
{
    if (!valid_port(c, c.hdr.port_number))
        return;
    long mode = desc_number(port_doc(c, c.hdr.port_number), "dcbx_mode", 3);
    json *st = port_state(c, c.hdr.port_number);
    if (st && st->contains("mode"))
        mode = st->at("mode").get<long>();
    c.answer.assign(kModeSize, 0);
    c.answer[0] = static_cast<uint8_t>(mode);
}

void cmd_dcbx_set_mode(FwContext &c)
{
    if (c.req_len < 2 || !valid_port(c, c.hdr.port_number)) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    port_state_for_write(c, c.hdr.port_number)["mode"] = c.req[1];
    c.answer.assign(kModeSize, 0);
}

void cmd_lldp_config(FwContext &c)
{
    if (c.req_len < 4 || !valid_port(c, c.hdr.port_number)) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    uint32_t type = get32(c.req);
    if (type > 1) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    json l = sub(sub(port_doc(c, c.hdr.port_number), "lldp"), type == 0 ? "local" : "peer");
    c.answer.assign(kLldpSize, 0);
    c.answer[0] = static_cast<uint8_t>(desc_number(l, "admin_status", 3));
    c.answer[1] = static_cast<uint8_t>(desc_number(l, "port_description_tx", 1));
    c.answer[2] = static_cast<uint8_t>(desc_number(l, "system_name_tx", 1));
    c.answer[3] = static_cast<uint8_t>(desc_number(l, "system_description_tx", 1));
    c.answer[4] = static_cast<uint8_t>(desc_number(l, "system_capabilities_tx", 1));
    c.answer[5] = static_cast<uint8_t>(desc_number(l, "async_notification", 0));
    json *st = type == 0 ? port_state(c, c.hdr.port_number) : nullptr;
    if (st && st->contains("lldp_local") && st->at("lldp_local").is_array())
        for (size_t i = 0; i < kLldpSetSize && i < st->at("lldp_local").size(); ++i)
            c.answer[i] = static_cast<uint8_t>(st->at("lldp_local").at(i).get<int>());
    put_text(c.answer, 8, l, "chassis_id");
    put32(c.answer, 264, static_cast<uint32_t>(desc_number(l, "chassis_id_type", 0)));
    put_text(c.answer, 268, l, "port_id");
    put32(c.answer, 524, static_cast<uint32_t>(desc_number(l, "port_id_type", 0)));
    put32(c.answer, 528, static_cast<uint32_t>(desc_number(l, "ttl", 0)));
    put_text(c.answer, 532, l, "system_name");
    put_text(c.answer, 788, l, "system_description");
    put_text(c.answer, 1044, l, "port_name");
    put_text(c.answer, 1300, l, "port_description");
    put32(c.answer, 1556, static_cast<uint32_t>(desc_number(l, "system_capabilities", 0)));
}

void cmd_lldp_set_config(FwContext &c)
{
    if (c.req_len < kLldpSetSize || !valid_port(c, c.hdr.port_number)) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    json &st = port_state_for_write(c, c.hdr.port_number);
    st["lldp_local"] = json::array();
    for (size_t i = 0; i < kLldpSetSize; ++i)
        st["lldp_local"].push_back(c.req[i]);
    c.answer.assign(4, 0);
}

void cmd_lldp_stats(FwContext &c)
{
    if (!valid_port(c, c.hdr.port_number))
        return;
    json s = sub(sub(port_doc(c, c.hdr.port_number), "lldp"), "stats");
    static const char *const kKeys[] = {"tx", "rx", "errors", "dropped", "unrecognized", "aged_out", "org",
                                        "unrecognized_org"};
    c.answer.assign(kLldpStatsSize, 0);
    for (size_t i = 0; i < 8; ++i)
        put32(c.answer, 4 * i, static_cast<uint32_t>(desc_number(s, kKeys[i], 0)));
}

} // namespace hlvdsim
