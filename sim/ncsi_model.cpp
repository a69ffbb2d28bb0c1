#include "sim/ncsi_model.h"

#include <cstring>
#include <string>

#include "sim/converged_adapter.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const size_t kConfigSize = 72;
const size_t kStaticAt = 8;
const size_t kDynamicAt = 40;
const size_t kRecordSize = 32;
const size_t kFfvSize = 36;
const size_t kFfvName = 32;
const size_t kVersionField = 12;

void fail(FwContext &c, uint8_t status)
{
    c.status = status;
    if (status == FW_STATUS_FAILED)
        c.additional = FW_ADDL_INVALID_REQUEST;
    c.answer.clear();
}

const std::string &generation(const FwContext &c)
{
    return c.m.adapters[c.adapter].generation;
}

json sub(const json &j, const char *key)
{
    return j.is_object() && j.contains(key) && j.at(key).is_object() ? j.at(key) : json::object();
}

json ncsi_doc(const FwContext &c)
{
    return sub(c.m.doc.at("adapters").at(c.adapter), "ncsi");
}

bool has_ncsi_command(const FwContext &c)
{
    return generation(c) != "Varrow";
}

bool ncsi_supported(const FwContext &c)
{
    const std::string &g = generation(c);
    long dflt = g == "AW2" || g == "AW3" ? 1 : 0;
    return desc_number(ncsi_doc(c), "supported", dflt) != 0;
}

void put_mac_text(std::vector<uint8_t> &b, size_t at, const json &cfg, const char *key)
{
    uint8_t mac[6] = {};
    if (cfg.contains(key) && cfg.at(key).is_string() && !parse_mac(cfg.at(key).get<std::string>(), mac))
        std::memset(mac, 0, sizeof mac);
    for (size_t i = 0; i < 6; ++i)
        put8(b, at + i, mac[i]);
}

// One 32-byte record; byte 4 is port_swap (static) or valid (dynamic).
void put_record(std::vector<uint8_t> &b, size_t at, const json &cfg, const char *byte4, long byte4_dflt)
{
    put32(b, at, static_cast<uint32_t>(desc_number(cfg, "magic", 0)));
    put8(b, at + 4, static_cast<uint8_t>(desc_number(cfg, byte4, byte4_dflt)));
    put_mac_text(b, at + 5, cfg, "port0_mac");
    put8(b, at + 11, static_cast<uint8_t>(desc_number(cfg, "enable_port0_wol", 0)));
    put_mac_text(b, at + 12, cfg, "port1_mac");
    put8(b, at + 18, static_cast<uint8_t>(desc_number(cfg, "enable_port1_wol", 0)));
    put16(b, at + 20, static_cast<uint16_t>(desc_number(cfg, "vlan", 0)));
}

} // namespace

void cmd_ncsi_config(FwContext &c)
{
    if (!has_ncsi_command(c)) {
        fail(c, FW_STATUS_NOT_SUPPORTED);
        return;
    }
    json doc = ncsi_doc(c);
    c.answer.assign(kConfigSize, 0);
    if (!ncsi_supported(c))
        return;
    put8(c.answer, 0, 1);
    put8(c.answer, 1, static_cast<uint8_t>(desc_number(doc, "handshake", 0)));
    put_record(c.answer, kStaticAt, sub(doc, "static"), "port_swap", 0);
    const json *kept = c.fw->contains("ncsi_dynamic") ? &c.fw->at("ncsi_dynamic") : nullptr;
    if (kept && kept->is_array() && kept->size() == kRecordSize) {
        for (size_t i = 0; i < kRecordSize; ++i)
            c.answer[kDynamicAt + i] = kept->at(i).get<uint8_t>();
    } else {
        put_record(c.answer, kDynamicAt, sub(doc, "dynamic"), "valid", 1);
    }
}

void cmd_ncsi_set_dynamic(FwContext &c)
{
    if (!has_ncsi_command(c)) {
        fail(c, FW_STATUS_NOT_SUPPORTED);
        return;
    }
    if (c.req_len < kRecordSize || !ncsi_supported(c)) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    json bytes = json::array();
    for (size_t i = 0; i < kRecordSize; ++i)
        bytes.push_back(c.req[i]);
    (*c.fw)["ncsi_dynamic"] = bytes;
    c.dirty = true;
    c.answer.assign(4, 0);
}

void cmd_ffv(FwContext &c)
{
    const std::string &g = generation(c);
    if (g != "Trelmont" && g != "Varrow") {
        fail(c, FW_STATUS_NOT_SUPPORTED);
        return;
    }
    if (c.req_len < kFfvSize) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    uint32_t word0 = get32(c.req);
    if (word0 & 1) {
        size_t len = (word0 >> 8) & 0xFF;
        if (len > kFfvName)
            len = kFfvName;
        std::string name(reinterpret_cast<const char *>(c.req + 4), len);
        name = name.substr(0, name.find('\0'));
        (*c.fw)["ffv"] = name;
        c.dirty = true;
        c.answer.assign(c.req, c.req + kFfvSize);
        return;
    }
    json doc = sub(c.m.doc.at("adapters").at(c.adapter), "ffv");
    std::string name = c.fw->contains("ffv") ? c.fw->at("ffv").get<std::string>()
                       : doc.contains("name")  ? doc.at("name").get<std::string>()
                                               : std::string("FFV-" + g);
    long length = desc_number(doc, "length", static_cast<long>(name.size()));
    c.answer.assign(kFfvSize, 0);
    put32(c.answer, 0, static_cast<uint32_t>(length & 0xFF) << 8);
    for (size_t i = 0; i < name.size() && i < kFfvName; ++i)
        c.answer[4 + i] = static_cast<uint8_t>(name[i]);
}

void put_ncsi_version(const FwContext &c, std::vector<uint8_t> &b, size_t at)
{
    json doc = ncsi_doc(c);
    const std::string &g = generation(c);
    if (g == "AW2") {
        json words = doc.contains("version") && doc.at("version").is_array() ? doc.at("version")
                                                                             : json::array({1, 0, 3, 7, 2});
        for (size_t i = 0; i < 5 && i < words.size(); ++i)
            put16(b, at + 2 * i, static_cast<uint16_t>(words.at(i).get<long>()));
    } else if (g == "AW3") {
        std::string text = doc.contains("version") && doc.at("version").is_string()
                               ? doc.at("version").get<std::string>()
                               : std::string("1.1.0.4");
        for (size_t i = 0; i < text.size() && i + 1 < kVersionField; ++i)
            put8(b, at + i, static_cast<uint8_t>(text[i]));
    }
}

} // namespace hlvdsim
