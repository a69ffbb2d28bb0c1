#include "sim/mac_model.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "sim/converged_adapter.h"
#include "sim/erase_model.h"
#include "sim/flash_model.h"
#include "sim/iscsi_model_util.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const size_t kObjectHeader = 8;  // actual length, eof word
const size_t kObjectName = 104;  // name field of the object request
const uint32_t kEraseOp = 3;     // FLASHROM_PARAMS op code: erase
const uint32_t kFcoeWwnType = 27; // FLASHROM_PARAMS op type: FCoE WWN region

const Function &func(const FwContext &c)
{
    return c.m.adapters[c.adapter].functions[c.function];
}

long field(const FwContext &c, const char *key, long dflt)
{
    return function_field(c.m, c.adapter, c.function, key, dflt);
}

const std::string &generation(const FwContext &c)
{
    return c.m.adapters[c.adapter].generation;
}

void factory_mac(const FwContext &c, uint8_t out[6])
{
    if (!parse_mac(func(c).mac, out))
        std::memset(out, 0, 6);
}

} // namespace

void cmd_link_status(FwContext &c)
{
    if (short_request(c, 12))
        return;
    long speed_dflt = generation(c) == "Varrow" ? 7 : 4; // 40 Gb, else 10 Gb
    uint8_t port = static_cast<uint8_t>(func(c).port);
    long speed_code = field(c, "port_speed", speed_dflt);
    // Each version may be given a speed of its own.
    speed_code = field(c, c.hdr.version == 1 ? "physical_port_speed" : "mac_speed", speed_code);
    uint8_t speed = static_cast<uint8_t>(speed_code);
    uint16_t qos = static_cast<uint16_t>(field(c, "qos_link_speed", 0));
    uint8_t logical = static_cast<uint8_t>(field(c, "logical_link", 1));
    c.answer.assign(12, 0);
    // Version 1 packs the port into 6 bits; version 0 names the active port
    // (15: none).
    c.answer[0] = c.hdr.version == 1 ? static_cast<uint8_t>(port & 0x3F)
                                     : static_cast<uint8_t>(field(c, "active_port", port));
    c.answer[1] = 1; // full duplex
    c.answer[2] = speed;
    put16(c.answer, 6, qos);
    c.answer[8] = logical;
}

void cmd_flash_rom(FwContext &c)
{
    if (erase_config_region(c))
        return;
    if (c.req_len >= 8 && get32(c.req) == kEraseOp && get32(c.req + 4) == kFcoeWwnType) {
        (*c.fw)["fcoe_wwns_erased"] = true;
        c.dirty = true;
        c.answer.assign(c.req, c.req + c.req_len);
        return;
    }
    cmd_flash_write(c);
}

void cmd_read_object_nic(FwContext &c)
{
    const char prefix[] = "/nicdata/";
    if (c.req_len < kObjectHeader + kObjectName || !c.sysroot ||
        std::strncmp(reinterpret_cast<const char *>(c.req + kObjectHeader), prefix, sizeof prefix - 1) != 0 ||
        (get32(c.req) & 0xFFFFFF) != 0) {
        cmd_read_object(c);
        return;
    }
    const char *name_field = reinterpret_cast<const char *>(c.req + kObjectHeader);
    size_t name_len = strnlen(name_field, kObjectName);
    if (name_len == kObjectName) {
        c.status = FW_STATUS_FAILED;
        c.additional = FW_ADDL_INVALID_REQUEST;
        c.answer.clear();
        return;
    }
    std::vector<uint8_t> object;
    object_contents(*c.sysroot, c.m.adapters[c.adapter].name, std::string(name_field, name_len), object);
    size_t n = std::min<size_t>(object.size(), c.req_len - kObjectHeader);
    c.answer.assign(c.req_len, 0);
    put32(c.answer, 0, static_cast<uint32_t>(n));
    put32(c.answer, 4, n == object.size() ? 0x80000000u : 0);
    if (n)
        std::memcpy(&c.answer[kObjectHeader], object.data(), n);
}

void cmd_nic_params(FwContext &c)
{
    if (short_request(c, 28))
        return;
    // Defaults by generation: AW2 and AW3 10 Gb, Trelmont 20 Gb, Varrow
    // 40 Gb; the older two carry smaller frames.
    const std::string &g = generation(c);
    long max_speed = g == "Varrow" ? 6 : (g == "Trelmont" ? 5 : 4);
    long frame = g == "AW2" ? 8342 : 9000;
    c.answer.assign(c.req_len, 0);
    put32(c.answer, 0, 1);
    put32(c.answer, 4, static_cast<uint32_t>(field(c, "speed", max_speed)));
    put32(c.answer, 8, static_cast<uint32_t>(field(c, "max_speed", max_speed)));
    put32(c.answer, 12, static_cast<uint32_t>(field(c, "link_state", 1)));
    put32(c.answer, 16, static_cast<uint32_t>(field(c, "max_frame_size", frame)));
    uint8_t mac[6];
    factory_mac(c, mac);
    put16(c.answer, 20, 8);
    std::memcpy(&c.answer[22], mac, 6);
}

void cmd_oem_exec_cfg(FwContext &c)
{
    if (short_request(c, 48))
        return;
    std::string key = pci_name(func(c));
    json &all = (*c.fw)["oem_exec_cfg"];
    if (!all.is_object())
        all = json::object();
    json cfg = all.contains(key) ? all.at(key) : json::object();
    uint32_t word = get32(c.req);
    if (word & 0x80000000u) {
        if (word & 1) {
            std::vector<uint8_t> mac(c.req + 4, c.req + 10);
            cfg["mac"] = mac;
        }
        if (word & 2) {
            cfg["vlan_id"] = static_cast<unsigned>(c.req[12] | c.req[13] << 8);
            cfg["vlan_prio"] = static_cast<unsigned>(c.req[14]);
            cfg["vle"] = (c.req[15] & 0x80) != 0;
        }
        all[key] = cfg;
        c.dirty = true;
    }
    c.answer.assign(48, 0);
    uint8_t mac[6];
    factory_mac(c, mac);
    if (cfg.contains("mac")) {
        std::vector<uint8_t> kept = cfg.at("mac").get<std::vector<uint8_t>>();
        std::copy(kept.begin(), kept.begin() + std::min<size_t>(6, kept.size()), mac);
    }
    std::memcpy(&c.answer[4], mac, 6);
    put16(c.answer, 12, static_cast<uint16_t>(cfg.value("vlan_id", 0u)));
    c.answer[14] = static_cast<uint8_t>(cfg.value("vlan_prio", 0u));
    c.answer[15] = cfg.value("vle", false) ? 0x80 : 0;
}

} // namespace hlvdsim
