#include "sim/port_state_model.h"

#include <cstdlib>
#include <string>
#include <strings.h>

#include "sim/converged_adapter.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const uint16_t kAddlBeaconActive = 103;
const size_t kMaxPorts = 64; // the 6-bit port fields

struct PortSettings {
    bool enabled = true;
    std::string beacon = "off"; // "on", "off", "unsupported"
    uint32_t tx_throttle = 2;
    uint32_t tx_flow = 1;
    uint32_t rx_flow = 1;
    uint32_t lock = 0;
    uint32_t active = 0;
};

void fail(FwContext &c, uint8_t status, uint16_t additional = 0)
{
    c.status = status;
    c.additional = status == FW_STATUS_FAILED && additional == 0 ? FW_ADDL_INVALID_REQUEST : additional;
    c.answer.clear();
}

bool need(FwContext &c, uint32_t len)
{
    if (c.req_len >= len)
        return true;
    fail(c, FW_STATUS_FAILED);
    return false;
}

const std::string &generation(const FwContext &c)
{
    return c.m.adapters[c.adapter].generation;
}

const json &adapter_doc(const FwContext &c)
{
    return c.m.doc.at("adapters").at(c.adapter);
}

size_t port_count(const FwContext &c)
{
    const json &a = adapter_doc(c);
    size_t n = generation(c) == "AW2" ? 2 : 4;
    if (a.contains("ports") && a.at("ports").is_array() && a.at("ports").size() > n)
        n = a.at("ports").size();
    return n < kMaxPorts ? n : kMaxPorts;
}

// The port a command names; fails the command when the adapter has no such port.
bool valid_port(FwContext &c, size_t port)
{
    if (port < port_count(c))
        return true;
    fail(c, FW_STATUS_FAILED);
    return false;
}

void merge_settings(PortSettings &s, const json &j)
{
    if (!j.is_object())
        return;
    s.enabled = desc_number(j, "enabled", s.enabled ? 1 : 0) != 0;
    if (j.contains("beacon") && j.at("beacon").is_string())
        s.beacon = j.at("beacon").get<std::string>();
    s.tx_throttle = static_cast<uint32_t>(desc_number(j, "tx_throttle", s.tx_throttle));
    s.tx_flow = static_cast<uint32_t>(desc_number(j, "tx_flow_control", s.tx_flow));
    s.rx_flow = static_cast<uint32_t>(desc_number(j, "rx_flow_control", s.rx_flow));
    s.lock = static_cast<uint32_t>(desc_number(j, "lock", s.lock));
    s.active = static_cast<uint32_t>(desc_number(j, "active", s.active));
}

// The description's starting values, then what the firmware was told since.
PortSettings load(const FwContext &c, size_t port)
{
    PortSettings s;
    const json &a = adapter_doc(c);
    if (a.contains("ports") && a.at("ports").is_array() && port < a.at("ports").size())
        merge_settings(s, a.at("ports").at(port));
    const std::string key = std::to_string(port);
    if (c.fw->contains("port_state") && c.fw->at("port_state").is_object() && c.fw->at("port_state").contains(key))
        merge_settings(s, c.fw->at("port_state").at(key));
    return s;
}

void save(FwContext &c, size_t port, const PortSettings &s)
{
    json &j = (*c.fw)["port_state"][std::to_string(port)];
    j = json::object();
    j["enabled"] = s.enabled;
    j["beacon"] = s.beacon;
    j["tx_throttle"] = s.tx_throttle;
    j["tx_flow_control"] = s.tx_flow;
    j["rx_flow_control"] = s.rx_flow;
    j["lock"] = s.lock;
    j["active"] = s.active;
    c.dirty = true;
}

// The Varrow generation knows only the version-1 form, the others only the old one.
bool port_state_form(FwContext &c, bool *varrow)
{
    *varrow = generation(c) == "Varrow";
    if ((c.hdr.version == 1) == *varrow)
        return true;
    fail(c, FW_STATUS_NOT_SUPPORTED);
    return false;
}

bool throttle_supported(FwContext &c)
{
    const json &a = adapter_doc(c);
    bool fcoe = a.contains("personality") && a.at("personality").is_string() &&
                strcasecmp(a.at("personality").get<std::string>().c_str(), "FCoE") == 0;
    if (generation(c) == "AW2" && fcoe)
        return true;
    fail(c, FW_STATUS_NOT_SUPPORTED);
    return false;
}

} // namespace

void cmd_get_port_state(FwContext &c)
{
    bool varrow = false;
    if (!port_state_form(c, &varrow) || !need(c, 4))
        return;
    size_t port = varrow ? (get32(c.req) >> 16) & 0x3F : c.hdr.port_number;
    if (!valid_port(c, port))
        return;
    c.answer.assign(4, 0);
    put32(c.answer, 0, load(c, port).enabled ? 1 : 0);
}

void cmd_set_port_state(FwContext &c)
{
    bool varrow = false;
    if (!port_state_form(c, &varrow) || !need(c, 4))
        return;
    uint32_t word = get32(c.req);
    size_t port = varrow ? (word >> 16) & 0x3F : c.hdr.port_number;
    if (!valid_port(c, port))
        return;
    uint32_t enable = varrow ? word & 1 : word;
    if (enable > 1) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    PortSettings s = load(c, port);
    s.enabled = enable == 1;
    save(c, port, s);
    c.answer.assign(4, 0);
}

void cmd_set_beacon_state(FwContext &c)
{
    if (!need(c, 4) || !valid_port(c, c.req[0]))
        return;
    size_t port = c.req[0];
    PortSettings s = load(c, port);
    if (s.beacon == "unsupported") {
        fail(c, FW_STATUS_NOT_SUPPORTED);
        return;
    }
    uint8_t state = c.req[1];
    if (state > 1) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    if (state == 1 && s.beacon == "on") {
        fail(c, FW_STATUS_NOT_SUPPORTED, kAddlBeaconActive);
        return;
    }
    s.beacon = state == 1 ? "on" : "off";
    save(c, port, s);
    c.answer.assign(4, 0);
}

void cmd_get_beacon_state(FwContext &c)
{
    if (!need(c, 4) || !valid_port(c, c.req[0]))
        return;
    PortSettings s = load(c, c.req[0]);
    if (s.beacon == "unsupported") {
        fail(c, FW_STATUS_NOT_SUPPORTED);
        return;
    }
    c.answer.assign(4, 0);
    c.answer[0] = s.beacon == "on" ? 1 : 0;
}

void cmd_get_tx_throttle(FwContext &c)
{
    if (!throttle_supported(c) || !need(c, 4) || !valid_port(c, c.hdr.port_number))
        return;
    c.answer.assign(4, 0);
    put32(c.answer, 0, load(c, c.hdr.port_number).tx_throttle);
}

void cmd_set_tx_throttle(FwContext &c)
{
    if (!throttle_supported(c) || !need(c, 4) || !valid_port(c, c.hdr.port_number))
        return;
    uint32_t value = get32(c.req);
    if (value != 1 && value != 2) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    PortSettings s = load(c, c.hdr.port_number);
    s.tx_throttle = value;
    save(c, c.hdr.port_number, s);
    c.answer.assign(4, 0);
}

void cmd_get_flow_control(FwContext &c)
{
    if (generation(c) != "AW3") {
        fail(c, FW_STATUS_NOT_SUPPORTED);
        return;
    }
    if (!need(c, 4) || !valid_port(c, c.hdr.port_number))
        return;
    PortSettings s = load(c, c.hdr.port_number);
    c.answer.assign(4, 0);
    put32(c.answer, 0, (s.tx_flow & 0xFFFF) | (s.rx_flow & 0xFFFF) << 16);
}

void cmd_manage_flow_control(FwContext &c)
{
    if (c.m.adapters[c.adapter].functions[c.function].kind != "nic") {
        fail(c, FW_STATUS_NOT_SUPPORTED);
        return;
    }
    if (!need(c, 8))
        return;
    uint32_t word = get32(c.req);
    size_t port = (word >> 24) & 0x3F;
    uint32_t mode = (word >> 11) & 0x3;
    if (!valid_port(c, port))
        return;
    if (mode > 1) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    PortSettings s = load(c, port);
    if (mode == 1) {
        s.tx_flow = word & 0xF;
        s.rx_flow = (word >> 4) & 0xF;
        s.lock = (word >> 8) & 1;
        s.active = (word >> 9) & 1;
        save(c, port, s);
    }
    c.answer.assign(8, 0);
    put32(c.answer, 0,
          (s.tx_flow & 0xF) | (s.rx_flow & 0xF) << 4 | s.lock << 8 | s.active << 9 |
              static_cast<uint32_t>(port) << 24);
}

} // namespace hlvdsim
