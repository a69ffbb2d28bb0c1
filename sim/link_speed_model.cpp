#include "sim/link_speed_model.h"

#include <cstdio>
#include <string>

#include "sim/converged_adapter.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const uint8_t kFwStatusSpeedUnsupported = 3; // the speed set's own refusal
const size_t kFcoeWwpnAt = 348;

json port_doc(const FwContext &c, size_t p)
{
    const json &a = c.m.doc.at("adapters").at(c.adapter);
    if (a.contains("ports") && a.at("ports").is_array() && p < a.at("ports").size() && a.at("ports").at(p).is_object())
        return a.at("ports").at(p);
    return json::object();
}

json &speed_state(FwContext &c)
{
    json &fw = *c.fw;
    if (!fw.contains("link_speed") || !fw["link_speed"].is_object())
        fw["link_speed"] = json::object();
    return fw["link_speed"];
}

void refuse(FwContext &c, uint8_t status)
{
    c.status = status;
    if (status == FW_STATUS_FAILED)
        c.additional = FW_ADDL_INVALID_REQUEST;
    c.answer.clear();
}

} // namespace

void cmd_set_link_speed(FwContext &c)
{
    if (c.m.adapters[c.adapter].generation == "AW2" || c.hdr.version != 1) {
        refuse(c, FW_STATUS_NOT_SUPPORTED);
        return;
    }
    if (c.req_len < 8) {
        refuse(c, FW_STATUS_FAILED);
        return;
    }
    const unsigned port = c.req[0];
    const uint32_t code = get16(c.req + 2);
    const uint32_t dac = get16(c.req + 4);
    json doc = port_doc(c, port);
    if (doc.contains("speed_codes") && doc["speed_codes"].is_array()) {
        bool known = false;
        for (const json &s : doc["speed_codes"])
            known = known || (s.is_number_integer() && s.get<long>() == static_cast<long>(code));
        if (!known) {
            refuse(c, kFwStatusSpeedUnsupported);
            return;
        }
    }
    speed_state(c)[std::to_string(port)] = {{"mac_speed", code}, {"dac_cable_length", dac}};
    c.dirty = true;
    c.answer.assign(4, 0);
}

void cmd_get_link_speed(FwContext &c)
{
    if (c.req_len < 4) {
        refuse(c, FW_STATUS_FAILED);
        return;
    }
    const unsigned port = c.req[0] & 0x3F;
    json doc = port_doc(c, port);
    long code = desc_number(doc, "configured_speed", 0);
    long dac = desc_number(doc, "dac_cable_length", 0);
    const json &st = speed_state(c);
    const std::string key = std::to_string(port);
    if (st.contains(key)) {
        code = desc_number(st[key], "mac_speed", code);
        dac = desc_number(st[key], "dac_cable_length", dac);
    }
    c.answer.assign(4, 0);
    put16(c.answer, 0, static_cast<uint32_t>(code));
    put16(c.answer, 2, static_cast<uint32_t>(dac));
}

void put_fcoe_wwpn(FwContext &c)
{
    json doc = port_doc(c, c.hdr.port_number);
    if (c.answer.size() < kFcoeWwpnAt + 8 || !doc.contains("fcoe_wwpn") || !doc["fcoe_wwpn"].is_string())
        return;
    unsigned v[8];
    char tail;
    if (std::sscanf(doc["fcoe_wwpn"].get<std::string>().c_str(), "%2x:%2x:%2x:%2x:%2x:%2x:%2x:%2x%c", &v[0], &v[1],
                    &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &tail) != 8)
        return;
    for (size_t i = 0; i < 8; ++i)
        c.answer[kFcoeWwpnAt + i] = static_cast<uint8_t>(v[i]);
}

} // namespace hlvdsim
