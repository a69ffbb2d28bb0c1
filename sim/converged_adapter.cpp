#include "sim/converged_adapter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "sim/command_log.h"
#include "sim/coredump_model.h"
#include "sim/dcbx_model.h"
#include "sim/diag_model.h"
#include "sim/driver_records.h"
#include "sim/fatlog_model.h"
#include "sim/initiator_model.h"
#include "sim/erase_model.h"
#include "sim/eventlog_model.h"
#include "sim/fault_plan.h"
#include "sim/function_config.h"
#include "sim/iscsi_boot_model.h"
#include "sim/iscsi_discovery_model.h"
#include "sim/iscsi_if_model.h"
#include "sim/iscsi_login_model.h"
#include "sim/iscsi_region_model.h"
#include "sim/iscsi_route_model.h"
#include "sim/iscsi_session_model.h"
#include "sim/iscsi_stats_model.h"
#include "sim/iscsi_target_model.h"
#include "sim/link_speed_model.h"
#include "sim/mac_model.h"
#include "sim/ncsi_model.h"
#include "sim/nic_boot_model.h"
#include "sim/flash_model.h"
#include "sim/phy_model.h"
#include "sim/port_model.h"
#include "sim/port_state_model.h"
#include "sim/profile_actions_model.h"
#include "sim/profile_model.h"
#include "sim/scsi_model.h"
#include "sim/vf_model.h"
#include "sim/fw_context.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

struct FwCommand {
    uint8_t subsystem;
    uint8_t opcode;
    int version; // -1: any
    FwHandler handler;
};

const Adapter &card(const FwContext &c)
{
    return c.m.adapters[c.adapter];
}

const Function &func(const FwContext &c)
{
    return c.m.adapters[c.adapter].functions[c.function];
}

const json &adapter_doc(const FwContext &c)
{
    return c.m.doc.at("adapters").at(c.adapter);
}

std::string adapter_text(const FwContext &c, const char *key, const std::string &dflt)
{
    const json &a = adapter_doc(c);
    return a.contains(key) ? a.at(key).get<std::string>() : dflt;
}

long adapter_number(const FwContext &c, const char *key, long dflt)
{
    const json &a = adapter_doc(c);
    return a.contains(key) ? a.at(key).get<long>() : dflt;
}

// Fails the command when the request is shorter than the record it needs.
bool need(FwContext &c, uint32_t len)
{
    if (c.req_len >= len)
        return true;
    c.status = FW_STATUS_FAILED;
    c.additional = FW_ADDL_INVALID_REQUEST;
    c.answer.clear();
    return false;
}

void put_text(std::vector<uint8_t> &b, size_t at, size_t field, const std::string &s)
{
    if (b.size() < at + field)
        b.resize(at + field);
    std::memset(&b[at], 0, field);
    std::memcpy(&b[at], s.data(), std::min(s.size(), field - 1));
}

// A text that may fill its whole field: terminated only when shorter.
void put_field(std::vector<uint8_t> &b, size_t at, size_t field, const std::string &s)
{
    if (b.size() < at + field)
        b.resize(at + field);
    std::memset(&b[at], 0, field);
    std::memcpy(&b[at], s.data(), std::min(s.size(), field));
}

void put_mac(std::vector<uint8_t> &b, size_t at, const uint8_t mac[6])
{
    put16(b, at, 8); // SizeOfStructure of MAC_ADDRESS_FORMAT
    for (int i = 0; i < 6; ++i)
        put8(b, at + 2 + static_cast<size_t>(i), mac[i]);
}

// Factory MAC of a function; zeros when the description has none.
void factory_mac(const Function &f, uint8_t out[6])
{
    if (!parse_mac(f.mac, out))
        std::memset(out, 0, 6);
}

// Current MAC: one set through the firmware, else the factory MAC.
void current_mac(const FwContext &c, const Function &f, uint8_t out[6])
{
    const json &macs = c.fw->contains("mac") ? c.fw->at("mac") : json::object();
    std::string key = pci_name(f);
    if (!macs.contains(key) || !parse_mac(macs.at(key).get<std::string>(), out))
        factory_mac(f, out);
}

// ---------------------------------------------------------------------------
// Command handlers, one per modelled command.

// 1/1: MAC query. Type 9 lists the factory MACs of PCI functions 0 to 7;
// otherwise the function's permanent or current MAC.
void cmd_mac_query(FwContext &c)
{
    if (!need(c, 8))
        return;
    uint8_t type = c.req[0];
    uint8_t permanent = c.req[1];
    c.answer.assign(72, 0);
    uint8_t mac[6];
    if (type == 9) {
        for (const Function &f : card(c).functions) {
            if (f.function > 7)
                continue;
            factory_mac(f, mac);
            put_mac(c.answer, 8 + 8 * f.function, mac);
        }
        return;
    }
    if (permanent)
        factory_mac(func(c), mac);
    else
        current_mac(c, func(c), mac);
    put_mac(c.answer, 0, mac);
}

// 1/32: controller attributes of the function's adapter.
void cmd_controller_attributes(FwContext &c)
{
    const Adapter &a = card(c);
    const Function &f = func(c);
    std::vector<uint8_t> &b = c.answer;
    b.assign(540, 0);
    uint32_t modes = 0;
    for (const Function &x : a.functions) {
        if (x.kind == "nic")
            modes |= 0x2 | 0x8 | 0x200;
        else if (x.kind == "iscsi")
            modes |= 0x10;
        else if (x.kind == "fcoe")
            modes |= 0x40;
    }
    put_text(b, 32, 32, adapter_text(c, "manufacturer", "Orvane"));
    put32(b, 64, static_cast<uint32_t>(adapter_number(c, "supported_modes", modes)));
    put32(b, 92, static_cast<uint32_t>(adapter_number(c, "default_eto", 20)));
    put_text(b, 96, 32, adapter_text(c, "model", "SL-" + a.generation));
    put_text(b, 128, 64, adapter_text(c, "description", "Stratolink " + a.generation + " converged network adapter"));
    put_field(b, 192, 32, a.serial);
    put_text(b, 256, 32, a.active_version);
    std::string bios = a.active_version;
    const json &ad = adapter_doc(c);
    if (ad.contains("firmware") && ad.at("firmware").contains("bios"))
        bios = value_bytes(ad.at("firmware").at("bios"));
    put_text(b, 288, 32, bios);
    put_text(b, 320, 32, a.boot_version);
    std::string drv = f.kind == "iscsi" ? "ovniscsi" : "ovnnet";
    std::string drv_version = "12.0.1215.0";
    if (c.m.doc.contains("drivers") && c.m.doc.at("drivers").contains(drv) &&
        c.m.doc.at("drivers").at(drv).contains("version"))
        drv_version = c.m.doc.at("drivers").at(drv).at("version").get<std::string>();
    put_text(b, 352, 32, drv_version);
    put_text(b, 384, 32, a.flash_version);
    put_ncsi_version(c, b, 80);
    put16(b, 420, 16);
    put16(b, 440, 30);
    put32(b, 448, static_cast<uint32_t>(adapter_number(c, "functionalities", 0x100)));
    put8(b, 442, static_cast<uint8_t>(adapter_number(c, "iscsi_version", 0x11)));
    put8(b, 443, static_cast<uint8_t>(adapter_number(c, "max_domains", f.kind == "iscsi" ? 4 : 1)));
    put8(b, 445, static_cast<uint8_t>(adapter_number(c, "hba_status", 0)));
    put8(b, 447, static_cast<uint8_t>(f.port));
    put16(b, 500, f.vendor);
    put16(b, 502, f.device_id);
    put16(b, 504, f.subvendor);
    put16(b, 506, f.subdevice);
    put8(b, 508, static_cast<uint8_t>(f.bus));
    put8(b, 509, static_cast<uint8_t>(f.device));
    put8(b, 510, static_cast<uint8_t>(f.function));
}

// 1/58: firmware configuration of the function.
void cmd_fw_config(FwContext &c)
{
    const Function &f = func(c);
    c.answer.assign(156, 0);
    put32(c.answer, 0, 1);          // aw_config_number
    put32(c.answer, 4, f.revision); // asic_revision
    put32(c.answer, 8, static_cast<uint32_t>(f.port));
    put32(c.answer, 12, static_cast<uint32_t>(function_field(c.m, c.adapter, c.function, "function_mode", 0)));
    put32(c.answer, 120, static_cast<uint32_t>(function_field(c.m, c.adapter, c.function, "function_caps", 0)));
    // "sq_count": [n, n], the send-queue counts of the two ULP entries.
    const json &fd = c.m.doc.at("adapters").at(c.adapter).at("functions").at(c.function);
    if (fd.contains("sq_count") && fd.at("sq_count").is_array())
        for (size_t u = 0; u < 2 && u < fd.at("sq_count").size(); ++u)
            if (fd.at("sq_count").at(u).is_number_unsigned())
                put32(c.answer, 16 + 52 * u + 16, fd.at("sq_count").at(u).get<uint32_t>());
}

// 1/78: configuration signature.
void cmd_get_config_signature(FwContext &c)
{
    c.answer.assign(132, 0);
    if (!c.fw->contains("config_signature"))
        return;
    const json &s = c.fw->at("config_signature");
    put32(c.answer, 0, s.value("source", 0u));
    std::string hex = s.value("signature", "");
    for (size_t i = 0; i + 1 < hex.size() && i / 2 < 128; i += 2)
        c.answer[4 + i / 2] = static_cast<uint8_t>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16));
}

// 1/79: writes the configuration signature; a power loss keeps what reached
// the adapter before it.
void cmd_set_config_signature(FwContext &c)
{
    if (!need(c, 132))
        return;
    std::vector<uint8_t> sig(128, 0);
    uint32_t source = 0;
    if (c.fw->contains("config_signature")) {
        const json &old = c.fw->at("config_signature");
        source = old.value("source", 0u);
        std::string hex = old.value("signature", "");
        for (size_t i = 0; i + 1 < hex.size() && i / 2 < 128; i += 2)
            sig[i / 2] = static_cast<uint8_t>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16));
    }
    size_t limit = c.write_limit < 0 ? 132 : static_cast<size_t>(c.write_limit);
    if (limit >= 4)
        source = get32(c.req);
    for (size_t i = 0; i < 128 && 4 + i < limit; ++i)
        sig[i] = c.req[4 + i];
    (*c.fw)["config_signature"] = json{{"source", source}, {"signature", to_hex(sig.data(), sig.size())}};
    c.dirty = true;
    c.answer.assign(4, 0);
}

// 1/88: starts the management service; header only.
void cmd_start_management_service(FwContext &c)
{
    c.answer.clear();
}

// 1/147: MAC list of the function the header names.
void cmd_mac_list(FwContext &c)
{
    if (!need(c, 8))
        return;
    uint8_t mac[6];
    c.answer.assign(532, 0);
    factory_mac(func(c), mac);
    put_mac(c.answer, 0, mac);
    current_mac(c, func(c), mac);
    put_mac(c.answer, 8, mac);
    put8(c.answer, 18, 64);
}


// ---------------------------------------------------------------------------
// Adapter data the back end reads at start-up and in its property handlers.
// Every value comes from the machine description; a value it leaves out has
// a default of the adapter's generation.

bool gen_is(const FwContext &c, const char *g)
{
    return card(c).generation == g;
}

// A function that runs as an SR-IOV virtual function refuses the privileged
// queries (status 5, additional status 0).
bool refused_as_vf(FwContext &c)
{
    if (function_field(c.m, c.adapter, c.function, "vf", 0) == 0)
        return false;
    c.status = 5;
    c.additional = 0;
    c.answer.clear();
    return true;
}

// An object of the adapter's description (empty when absent).
json adapter_object(const FwContext &c, const char *key)
{
    const json &a = adapter_doc(c);
    return a.contains(key) && a.at(key).is_object() ? a.at(key) : json::object();
}

std::string object_text(const json &o, const char *key, const std::string &dflt)
{
    return o.contains(key) ? o.at(key).get<std::string>() : dflt;
}

long object_number(const json &o, const char *key, long dflt)
{
    if (!o.contains(key))
        return dflt;
    const json &v = o.at(key);
    return v.is_string() ? std::strtol(v.get<std::string>().c_str(), nullptr, 0) : v.get<long>();
}

std::vector<uint8_t> hex_bytes(const std::string &hex)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    return out;
}

// The adapter's VPD: "vpd" (hexadecimal) of the description, else a VPD
// record naming the model and serial number.
std::vector<uint8_t> adapter_vpd(const FwContext &c)
{
    const json &a = adapter_doc(c);
    if (a.contains("vpd"))
        return hex_bytes(a.at("vpd").get<std::string>());
    std::string name = adapter_text(c, "description", "Stratolink " + card(c).generation + " converged network adapter");
    std::string pn = adapter_text(c, "model", "SL-" + card(c).generation);
    std::vector<uint8_t> v;
    v.push_back(0x82);
    v.push_back(static_cast<uint8_t>(name.size()));
    v.push_back(0);
    v.insert(v.end(), name.begin(), name.end());
    std::vector<uint8_t> r;
    auto field = [&r](const char *key, const std::string &val) {
        r.push_back(static_cast<uint8_t>(key[0]));
        r.push_back(static_cast<uint8_t>(key[1]));
        r.push_back(static_cast<uint8_t>(val.size()));
        r.insert(r.end(), val.begin(), val.end());
    };
    field("PN", pn);
    field("SN", card(c).serial);
    field("EC", "A");
    v.push_back(0x90);
    v.push_back(static_cast<uint8_t>(r.size()));
    v.push_back(0);
    v.insert(v.end(), r.begin(), r.end());
    v.push_back(0x78);
    return v;
}

// The FRU EEPROM: "fru" (hexadecimal) of the description, else 1280 bytes
// counting 0x00 to 0xFF over and over.
std::vector<uint8_t> adapter_fru(const FwContext &c)
{
    const json &a = adapter_doc(c);
    if (a.contains("fru"))
        return hex_bytes(a.at("fru").get<std::string>());
    std::vector<uint8_t> v(1280);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = static_cast<uint8_t>(i);
    return v;
}

// 1/66: boot configuration; a set one lives in the firmware state, else the
// adapter's "boot_config" gives the starting fields.
void cmd_get_boot_config(FwContext &c)
{
    json boot = c.fw->contains("boot_config") ? c.fw->at("boot_config") : adapter_object(c, "boot_config");
    long native = boot.contains("native_mode") ? boot.at("native_mode").get<long>()
                                               : adapter_number(c, "native_mode", gen_is(c, "AW3") ? 1 : 0);
    c.answer.assign(8, 0);
    put8(c.answer, 0, static_cast<uint8_t>(boot.value("boot_status", 1)));
    put8(c.answer, 1, static_cast<uint8_t>(boot.value("bios_instance", 0)));
    put8(c.answer, 2, static_cast<uint8_t>(native));
    put8(c.answer, 3, static_cast<uint8_t>(boot.value("boot_method", 2)));
    put32(c.answer, 4, static_cast<uint32_t>(boot.value("future", 0)));
}

// 1/67: writes the boot configuration.
void cmd_set_boot_config(FwContext &c)
{
    if (!need(c, 8))
        return;
    (*c.fw)["boot_config"] = json{{"boot_status", c.req[0]},
                                  {"bios_instance", c.req[1]},
                                  {"native_mode", c.req[2]},
                                  {"boot_method", c.req[3]},
                                  {"future", get32(c.req + 4)}};
    c.dirty = true;
    c.answer.assign(8, 0);
}

// 1/72: PCI configuration space of the function; the answer holds the whole
// space from its first byte.
void cmd_read_pci_config(FwContext &c)
{
    if (!need(c, 8) || refused_as_vf(c))
        return;
    std::array<uint8_t, 256> space = pci_config_space(c.m, c.adapter, c.function);
    c.answer.assign(264, 0);
    put32(c.answer, 0, get32(c.req));
    put32(c.answer, 4, get32(c.req + 4));
    std::memcpy(&c.answer[8], space.data(), space.size());
}

// 1/76: OEM attributes.
void cmd_oem_attributes(FwContext &c)
{
    json oem = adapter_object(c, "oem");
    static const struct {
        const char *gen;
        long word;
    } kWords[] = {{"AW2", 0x3}, {"AW3", 0x7}, {"Trelmont", 0x1}, {"Varrow", 0x5}};
    long word = 0x1;
    for (const auto &w : kWords)
        if (gen_is(c, w.gen))
            word = w.word;
    c.answer.assign(44, 0);
    std::vector<uint8_t> orvane = oem.contains("orvane_serial")
                                      ? hex_bytes(oem.at("orvane_serial").get<std::string>())
                                      : std::vector<uint8_t>{'O', 'V', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    for (size_t i = 0; i < orvane.size() && i < 12; ++i)
        c.answer[i] = orvane[i];
    if (oem.contains("oem_serial_hex")) {
        std::vector<uint8_t> raw = hex_bytes(oem.at("oem_serial_hex").get<std::string>());
        for (size_t i = 0; i < raw.size() && i < 24; ++i)
            c.answer[12 + i] = raw[i];
    } else {
        std::string serial = object_text(oem, "oem_serial", "OEM" + card(c).serial);
        for (size_t i = 0; i < serial.size() && i < 24; ++i)
            c.answer[12 + i] = static_cast<uint8_t>(serial[i]);
    }
    put32(c.answer, 36, static_cast<uint32_t>(object_number(oem, "personality_mgmt_word", word)));
    put8(c.answer, 40, static_cast<uint8_t>(object_number(oem, "current_personality", 0)));
}

// 1/84: whether a change waits for a reset.
void cmd_reset_needed(FwContext &c)
{
    long needed = c.fw->contains("reset_needed") ? c.fw->at("reset_needed").get<long>()
                                                 : adapter_number(c, "reset_needed", 0);
    c.answer.assign(4, 0);
    put8(c.answer, 0, static_cast<uint8_t>(needed));
}

// 1/91: VPD of a function; the version 1 form only on Varrow.
void cmd_vpd(FwContext &c)
{
    if (c.hdr.version == 1 && !gen_is(c, "Varrow")) {
        c.status = FW_STATUS_NOT_SUPPORTED;
        c.answer.clear();
        return;
    }
    if (!need(c, c.hdr.version == 1 ? 4 : 8))
        return;
    std::vector<uint8_t> vpd = adapter_vpd(c);
    c.answer.assign(c.req_len, 0);
    std::memcpy(c.answer.data(), vpd.data(), std::min<size_t>(vpd.size(), std::min<size_t>(c.req_len, 1024)));
}

// 1/113: the personalities the adapter can run, as text.
void cmd_available_personalities(FwContext &c)
{
    std::string dflt = gen_is(c, "AW3") ? "NIC/iSCSI/FCoE" : (gen_is(c, "AW2") ? "NIC/iSCSI" : "NIC");
    std::string text = adapter_text(c, "personalities", dflt);
    c.answer.assign(text.begin(), text.end());
}

// 1/121: additional controller attributes.
void cmd_additional_attributes(FwContext &c)
{
    json bc = adapter_object(c, "boot_code");
    const std::string &ver = card(c).active_version;
    bool aw3 = gen_is(c, "AW3");
    bool trelmont = gen_is(c, "Trelmont");
    std::vector<uint8_t> &b = c.answer;
    b.assign(612, 0);
    put16(b, 0, static_cast<uint16_t>(object_number(bc, "ipl_file_number", aw3 ? 5 : (trelmont ? 256 : 0))));
    put8(b, 2, static_cast<uint8_t>(object_number(bc, "ipl_file_version", aw3 ? 0x0B : (trelmont ? 1 : 0))));
    put8(b, 4, static_cast<uint8_t>(adapter_number(c, "temperature", 52)));
    static const struct {
        const char *key;
        size_t at;
        bool from_version;
    } kTexts[] = {
        {"fcoe_universal", 28, false}, {"fcoe_x86", 60, false},  {"fcoe_efi", 92, false},
        {"fcoe_fcode", 124, false},    {"uefi_bios", 156, true}, {"uefi_nic", 188, true},
        {"uefi_fcode", 220, false},    {"uefi_iscsi", 252, false}, {"iscsi_x86", 284, false},
        {"pxe", 316, true},
    };
    for (const auto &t : kTexts)
        put_text(b, t.at, 32, object_text(bc, t.key, t.from_version ? ver : ""));
    std::string phy = object_text(bc, "phy_version", trelmont ? "2.7.30" : "");
    std::string crc = object_text(bc, "phy_crc", trelmont ? "5A3C0E91" : "");
    put_text(b, 356, 32, phy);
    // The label fills its 8 bytes without a terminator.
    for (size_t i = 0; i < crc.size() && i < 8; ++i)
        b[516 + i] = static_cast<uint8_t>(crc[i]);
    put_text(b, 524, 16, object_text(bc, "ipl_file_name", gen_is(c, "Varrow") ? "VRWIPL01" : ""));
    put_fcoe_wwpn(c);
}

// 1/124: switch type.
void cmd_set_switch_type(FwContext &c)
{
    if (!need(c, 8))
        return;
    (*c.fw)["switch_type"] = get32(c.req);
    c.dirty = true;
    c.answer.assign(8, 0);
}

// 1/191: adapter features; feature 20 tells the FleetView state.
void cmd_set_features(FwContext &c)
{
    if (!need(c, 16))
        return;
    uint32_t feature = get32(c.req);
    std::string dflt = (gen_is(c, "AW2") || gen_is(c, "AW3")) ? "unsupported"
                                                               : (gen_is(c, "Varrow") ? "enabled" : "disabled");
    std::string fleet = adapter_text(c, "fleet_view", dflt);
    if (feature != 20 || fleet == "unsupported") {
        c.status = FW_STATUS_NOT_SUPPORTED;
        c.answer.clear();
        return;
    }
    c.answer.assign(16, 0);
    put32(c.answer, 0, feature);
    put32(c.answer, 4, 4);
    put32(c.answer, 8, fleet == "enabled" ? 1 : 0);
}

// 19/3: FRU EEPROM bytes from an offset.
void cmd_read_fru(FwContext &c)
{
    if (!need(c, 8))
        return;
    uint32_t size = get32(c.req);
    uint32_t offset = get32(c.req + 4);
    if (size > 1024 || size > c.req_len) {
        c.status = FW_STATUS_FAILED;
        c.additional = FW_ADDL_INVALID_REQUEST;
        c.answer.clear();
        return;
    }
    std::vector<uint8_t> fru = adapter_fru(c);
    c.answer.assign(c.req_len, 0);
    for (uint32_t i = 0; i < size && offset + i < fru.size(); ++i)
        c.answer[i] = fru[offset + i];
}

// The modelled commands. Later features add their commands here.
const FwCommand kCommands[] = {
    {1, 1, -1, cmd_mac_query},
    {1, 5, -1, cmd_link_status},
    {1, 6, -1, cmd_flash_read},
    {1, 7, -1, cmd_flash_rom},
    {1, 27, -1, cmd_get_qos},
    {1, 28, -1, cmd_set_qos},
    {1, 32, -1, cmd_controller_attributes},
    {1, 37, -1, cmd_get_flow_control},
    {1, 57, 1, cmd_set_link_speed},
    {1, 58, -1, cmd_fw_config},
    {1, 62, -1, cmd_set_port_state},
    {1, 64, -1, cmd_vnic_stats},
    {1, 66, -1, cmd_get_boot_config},
    {1, 67, -1, cmd_set_boot_config},
    {1, 68, -1, cmd_manage_fat},
    {1, 69, -1, cmd_set_beacon_state},
    {1, 70, -1, cmd_get_beacon_state},
    {1, 71, -1, cmd_get_port_state},
    {1, 72, -1, cmd_read_pci_config},
    {1, 73, -1, cmd_read_transceiver},
    {1, 76, -1, cmd_oem_attributes},
    {1, 77, -1, cmd_port_name},
    {1, 78, -1, cmd_get_config_signature},
    {1, 79, -1, cmd_set_config_signature},
    {1, 81, 0, fw_config_row<fw_get_aw_config, FwContext>},
    {1, 81, 1, fw_config_row<fw_get_aw_config_v1, FwContext>},
    {1, 82, 0, fw_config_row<fw_set_aw_config, FwContext>},
    {1, 82, 1, fw_config_row<fw_set_aw_config_v1, FwContext>},
    {1, 83, -1, cmd_pci_function_mapping},
    {1, 84, -1, cmd_reset_needed},
    {1, 86, -1, cmd_ncsi_config},
    {1, 87, -1, cmd_ncsi_set_dynamic},
    {1, 88, -1, cmd_start_management_service},
    {1, 91, -1, cmd_vpd},
    {1, 94, -1, cmd_get_ari_settings},
    {1, 95, -1, cmd_set_ari_settings},
    {1, 102, -1, cmd_phy_details},
    {1, 108, -1, cmd_operating_params},
    {1, 113, -1, cmd_available_personalities},
    {1, 114, -1, cmd_configured_personality},
    {1, 120, -1, fw_config_row<fw_vnic_name, FwContext>},
    {1, 121, -1, cmd_additional_attributes},
    {1, 123, -1, cmd_capabilities},
    {1, 124, -1, cmd_set_switch_type},
    {1, 125, -1, cmd_get_ext_trace_config},
    {1, 126, -1, cmd_set_ext_trace_config},
    {1, 127, -1, cmd_trace_snapshot},
    {1, 128, -1, cmd_trace_records},
    {1, 130, -1, cmd_trace_string_table},
    {1, 132, -1, cmd_set_tx_throttle},
    {1, 133, -1, cmd_get_tx_throttle},
    {1, 134, -1, cmd_get_link_speed},
    {1, 147, -1, cmd_mac_list},
    {1, 152, -1, cmd_get_hsw_config},
    {1, 153, -1, cmd_set_hsw_config},
    {1, 161, 1, cmd_profile_capacities},
    {1, 164, 0, cmd_common_profile_config},
    {1, 164, 1, cmd_get_profile_config},
    {1, 165, 1, cmd_set_profile_config},
    {1, 166, -1, cmd_profile_list},
    {1, 167, -1, cmd_get_active_profile},
    {1, 168, -1, cmd_set_active_profile},
    {1, 169, -1, cmd_set_factory_profile},
    {1, 171, 1, cmd_read_object_region},
    {1, 172, 1, cmd_write_object},
    {1, 191, -1, cmd_set_features},
    {1, 201, -1, cmd_get_link_reconfig},
    {1, 202, -1, cmd_set_link_reconfig},
    {1, 205, -1, cmd_manage_flow_control},
    {2, 6, -1, cmd_iscsi_ping},
    {2, 7, -1, cmd_nic_params},
    {2, 8, -1, cmd_get_arp_table},
    {2, 9, -1, cmd_edit_arp_table},
    {2, 10, -1, cmd_get_route_table},
    {2, 11, -1, cmd_edit_route_table},
    {2, 14, -1, cmd_if_set_vlan},
    {2, 17, -1, cmd_if_config_dhcp},
    {2, 18, -1, cmd_if_release_dhcp},
    {2, 21, -1, cmd_if_modify_ip},
    {2, 22, -1, cmd_if_get_gateway},
    {2, 23, -1, cmd_if_set_gateway},
    {2, 24, -1, cmd_if_ids},
    {2, 25, -1, cmd_if_info},
    {2, 28, -1, cmd_get_discovery},
    {2, 29, -1, cmd_set_discovery_params},
    {2, 30, -1, cmd_node_attributes},
    {2, 62, -1, cmd_clear_event_log},
    {2, 63, -1, cmd_read_event_log},
    {6, 6, -1, cmd_get_name},
    {6, 7, -1, cmd_set_name},
    {6, 14, -1, cmd_get_a_session},
    {6, 16, -1, cmd_get_session_config},
    {6, 17, -1, cmd_set_session_config},
    {6, 23, -1, cmd_login_target},
    {6, 24, -1, cmd_logout_target},
    {6, 27, -1, cmd_add_persistent_login},
    {6, 28, -1, cmd_del_persistent_login},
    {6, 29, -1, cmd_active_session_ids},
    {6, 30, -1, cmd_all_target_ids},
    {6, 32, -1, cmd_get_a_target},
    {6, 33, -1, cmd_sendtargets},
    {6, 34, -1, cmd_sendtargets_info},
    {6, 46, -1, cmd_instance_stats},
    {6, 47, -1, cmd_login_stats},
    {6, 48, -1, cmd_session_attributes},
    {6, 53, -1, cmd_set_boot_target},
    {6, 54, -1, cmd_get_boot_lun},
    {6, 55, -1, cmd_set_boot_lun},
    {6, 57, -1, cmd_get_bios_cfg},
    {6, 58, -1, cmd_set_bios_cfg},
    {6, 59, -1, cmd_scsi_passthru},
    {11, 17, -1, cmd_ddr_dma_test},
    {11, 18, -1, cmd_loopback_test},
    {11, 19, -1, cmd_set_loopback_mode},
    {11, 20, -1, cmd_get_loopback_mode},
    {11, 21, -1, cmd_coredump_properties},
    {11, 22, -1, cmd_coredump_comp_properties},
    {11, 23, -1, cmd_coredump_seg_properties},
    {11, 24, -1, cmd_coredump_segment},
    {15, 1, -1, cmd_lldp_config},
    {15, 2, -1, cmd_lldp_set_config},
    {15, 3, -1, cmd_lldp_stats},
    {16, 1, -1, cmd_dcbx_config},
    {16, 2, -1, cmd_dcbx_set_config},
    {16, 3, -1, cmd_dcbx_mib},
    {16, 4, -1, cmd_dcbx_mode},
    {16, 5, -1, cmd_dcbx_set_mode},
    {18, 8, -1, cmd_baset_stats},
    {18, 9, -1, cmd_baset_selftest},
    {18, 10, -1, cmd_baset_set_nvp},
    {18, 11, -1, cmd_baset_tdr},
    {18, 12, -1, cmd_baset_get_nvp},
    {19, 2, -1, cmd_ffv},
    {19, 3, -1, cmd_read_fru},
    {21, 4, -1, cmd_oem_exec_cfg},
};

const FwCommand *lookup(uint8_t subsystem, uint8_t opcode, uint8_t version)
{
    for (const FwCommand &c : kCommands)
        if (c.subsystem == subsystem && c.opcode == opcode && (c.version < 0 || c.version == version))
            return &c;
    return nullptr;
}

json base_entry(const FwTarget &t, const Adapter &a, const FwRequestHeader &h, const uint8_t *payload, uint32_t plen)
{
    json e;
    e["kind"] = "fw";
    e["adapter"] = a.name;
    e["pci"] = t.pci;
    e["driver"] = t.driver;
    e["path"] = t.path;
    e["subsystem"] = h.subsystem;
    e["opcode"] = h.opcode;
    e["version"] = h.version;
    e["port"] = h.port_number;
    e["domain"] = h.domain;
    e["pf"] = h.pf_vh & 0x3FF;
    e["vh"] = h.pf_vh >> 10;
    e["timeout"] = h.timeout;
    e["request_length"] = h.request_length;
    e["header"] = to_hex(reinterpret_cast<const uint8_t *>(&h), sizeof h);
    e["payload_crc"] = crc32_of(payload, plen);
    e["payload"] = to_hex(payload, std::min<uint32_t>(plen, 64));
    return e;
}

} // namespace

long function_field(const Machine &m, size_t adapter, size_t function, const char *key, long dflt)
{
    try {
        const json &f = m.doc.at("adapters").at(adapter).at("functions").at(function);
        if (!f.contains(key))
            return dflt;
        const json &v = f.at(key);
        if (v.is_string())
            return std::strtol(v.get<std::string>().c_str(), nullptr, 0);
        return v.get<long>();
    } catch (const std::exception &) {
        return dflt;
    }
}

bool parse_mac(const std::string &text, uint8_t out[6])
{
    unsigned v[6];
    char tail;
    if (std::sscanf(text.c_str(), "%2x%*[:-]%2x%*[:-]%2x%*[:-]%2x%*[:-]%2x%*[:-]%2x%c", &v[0], &v[1], &v[2], &v[3],
                    &v[4], &v[5], &tail) != 6)
        return false;
    for (int i = 0; i < 6; ++i)
        out[i] = static_cast<uint8_t>(v[i]);
    return true;
}

bool find_converged_function(const Machine &m, const std::string &pci, const std::string &kind, size_t *adapter,
                             size_t *function)
{
    if (m.index) {
        auto it = m.index->by_pci.find(pci);
        if (it == m.index->by_pci.end())
            return false;
        for (const FunctionRef &r : it->second) {
            if (kind.empty() || m.adapters[r.adapter].functions[r.function].kind == kind) {
                *adapter = r.adapter;
                *function = r.function;
                return true;
            }
        }
        return false;
    }
    for (size_t a = 0; a < m.adapters.size(); ++a) {
        if (m.adapters[a].family != "converged")
            continue;
        for (size_t f = 0; f < m.adapters[a].functions.size(); ++f) {
            const Function &fn = m.adapters[a].functions[f];
            if (pci_name(fn) == pci && (kind.empty() || fn.kind == kind)) {
                *adapter = a;
                *function = f;
                return true;
            }
        }
    }
    return false;
}

std::array<uint8_t, 256> pci_config_space(const Function &f)
{
    std::array<uint8_t, 256> cfg{};
    auto put16 = [&cfg](size_t at, uint16_t v) {
        cfg[at] = static_cast<uint8_t>(v);
        cfg[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    put16(0x00, f.vendor);
    put16(0x02, f.device_id);
    put16(0x04, 0x0406); // memory space, bus master, parity
    put16(0x06, 0x0010); // capability list
    cfg[0x08] = f.revision;
    // Class: network controller (Ethernet) for NIC, other mass storage for iSCSI.
    if (f.kind == "iscsi") {
        cfg[0x0B] = 0x01;
        cfg[0x0A] = 0x80;
    } else {
        cfg[0x0B] = 0x02;
        cfg[0x0A] = 0x00;
    }
    cfg[0x0E] = 0x80; // multi-function device
    put16(0x2C, f.subvendor);
    put16(0x2E, f.subdevice);
    cfg[0x34] = 0x40;
    cfg[0x3D] = 0x01;
    // PCI Express capability at 0x40, end of the list.
    cfg[0x40] = 0x10;
    cfg[0x42] = 0x02;
    return cfg;
}

std::array<uint8_t, 256> pci_config_space(const Machine &m, size_t adapter, size_t function)
{
    const Adapter &a = m.adapters[adapter];
    std::array<uint8_t, 256> cfg = pci_config_space(a.functions[function]);
    // Link control and status words, where the firmware's (0xD0) and the
    // legacy driver's (0xA4) readers look for them.
    long speed = a.generation == "AW2" ? 1 : (a.generation == "AW3" ? 2 : 3);
    long width = 8;
    const json &doc = m.doc.at("adapters").at(adapter);
    if (doc.contains("pcie")) {
        speed = doc.at("pcie").value("speed", speed);
        width = doc.at("pcie").value("width", width);
    }
    uint32_t status = static_cast<uint32_t>((speed & 0xF) | ((width & 0x3F) << 4));
    for (size_t at : {size_t(0xA6), size_t(0xD2)}) {
        cfg[at] = static_cast<uint8_t>(status);
        cfg[at + 1] = static_cast<uint8_t>(status >> 8);
    }
    return cfg;
}

FwOutcome fw_execute(const std::string &sysroot, const FwTarget &target, uint8_t *buf, size_t capacity,
                     const json *transport_fault)
{
    FwOutcome out;
    if (capacity < sizeof(FwRequestHeader)) {
        out.fault = json{{"kind", "transport"}, {"how", "driver"}};
        return out;
    }
    StateLock lock(sysroot);
    // The layout finds the function; only its adapter is read and written.
    std::shared_ptr<const Machine> layout = load_layout(sysroot, nullptr);
    Machine m;
    size_t index = 0, fi = 0;
    if (!layout || !find_converged_function(*layout, target.pci, target.driver, &index, &fi) ||
        !load_adapter(sysroot, index, m, nullptr)) {
        out.fault = json{{"kind", "transport"}, {"how", "driver"}};
        return out;
    }
    const size_t ai = 0; // the adapter's place in `m`
    FwRequestHeader hdr;
    std::memcpy(&hdr, buf, sizeof hdr);
    uint8_t *payload = buf + sizeof hdr;
    // The firmware reads no further than the buffer the driver handed over.
    uint32_t room = static_cast<uint32_t>(capacity - sizeof hdr);
    uint32_t plen = std::min(hdr.request_length, room);
    json entry = base_entry(target, m.adapters[ai], hdr, payload, plen);

    if (transport_fault) {
        entry["outcome"] = "transport";
        entry["fault"] = transport_fault->value("id", 0);
        log_append(sysroot, entry);
        out.fault = *transport_fault;
        return out;
    }

    FaultEvent ev;
    ev.stage = "command";
    ev.adapter = m.adapters[ai].name;
    ev.pci = target.pci;
    ev.driver = target.driver;
    ev.path = target.path;
    ev.subsystem = hdr.subsystem;
    ev.opcode = hdr.opcode;
    ev.version = hdr.version;
    json fault;
    bool faulted = fault_take(sysroot, ev, &fault);
    std::string fkind = faulted ? fault.value("kind", "") : "";

    json &adoc = m.doc["adapters"][ai];
    if (!adoc.contains("fw_state"))
        adoc["fw_state"] = json::object();
    FwContext c{
        m,     ai, fi, hdr, payload, plen, std::vector<uint8_t>(payload, payload + plen), 0, 0, &adoc["fw_state"],
        false, -1};
    c.sysroot = &sysroot;
    if (fkind == "power-loss")
        c.write_limit = fault.value("length", 0L);

    bool modelled = false;
    uint32_t pf = hdr.pf_vh & 0x3FF;
    if (hdr.request_length > room) {
        c.status = FW_STATUS_FAILED;
        c.additional = FW_ADDL_INVALID_REQUEST;
        c.answer.clear();
    } else if (pf > 0) {
        // Aimed at another PCI function of the same adapter.
        bool found = false;
        for (size_t k = 0; k < m.adapters[ai].functions.size(); ++k) {
            if (m.adapters[ai].functions[k].function == pf - 1) {
                c.function = k;
                found = true;
                break;
            }
        }
        if (!found) {
            c.status = FW_STATUS_FAILED;
            c.additional = FW_ADDL_INVALID_REQUEST;
            c.answer.clear();
        }
    }
    const FwCommand *cmd = lookup(hdr.subsystem, hdr.opcode, hdr.version);
    modelled = cmd != nullptr;
    // A planned status replaces the firmware's work (the command has no
    // effect) unless the plan asks for the answer with it.
    bool status_only = fkind == "status" && !fault.value("answer", false);
    if (c.status == FW_STATUS_SUCCESS && !status_only) {
        if (cmd) {
            cmd->handler(c);
        } else {
            c.status = FW_STATUS_NOT_SUPPORTED;
            c.answer.clear();
        }
    }
    // A change the adapter cannot keep is no success.
    if (c.dirty && !save_adapter(sysroot, index, m, nullptr) && c.status == FW_STATUS_SUCCESS) {
        c.status = FW_STATUS_FAILED;
        c.additional = 0;
        c.answer.clear();
    }
    entry["modelled"] = modelled;

    if (fkind == "power-loss") {
        entry["outcome"] = "power-loss";
        entry["fault"] = fault.value("id", 0);
        log_append(sysroot, entry);
        out.fault = fault;
        return out;
    }

    uint32_t actual = static_cast<uint32_t>(c.answer.size());
    if (fkind == "status") {
        c.status = static_cast<uint8_t>(fault.value("status", 0));
        c.additional = static_cast<uint16_t>(fault.value("additional_status", 0));
        if (status_only)
            c.answer.clear();
        if (fault.contains("actual_length"))
            actual = fault.at("actual_length").get<uint32_t>();
    } else if (fkind == "short") {
        size_t keep = static_cast<size_t>(fault.value("length", 0L));
        if (c.answer.size() > keep)
            c.answer.resize(keep);
    }
    uint32_t copy = static_cast<uint32_t>(c.answer.size());
    if (copy > plen) {
        copy = plen;
        if (c.status == FW_STATUS_SUCCESS)
            c.status = FW_STATUS_INSUFFICIENT_BUFFER;
    }
    if (copy)
        std::memcpy(payload, c.answer.data(), copy);
    FwResponseHeader rsp;
    std::memcpy(&rsp, buf, sizeof rsp);
    rsp.status = c.status;
    rsp.additional_status = c.additional;
    rsp.rsvd1 = 0;
    rsp.response_length = c.reported_length >= 0 ? static_cast<uint32_t>(c.reported_length) : copy;
    rsp.actual_response_length = actual;
    std::memcpy(buf, &rsp, sizeof rsp);

    entry["outcome"] = "answered";
    entry["status"] = c.status;
    entry["additional_status"] = c.additional;
    entry["response_length"] = rsp.response_length;
    entry["actual_response_length"] = actual;
    if (faulted)
        entry["fault"] = fault.value("id", 0);
    log_append(sysroot, entry);
    out.answered = true;
    return out;
}

} // namespace hlvdsim
