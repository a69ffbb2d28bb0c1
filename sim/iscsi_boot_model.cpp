#include "sim/iscsi_boot_model.h"

#include <string>

#include "sim/converged_adapter.h"
#include "sim/iscsi_model_util.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const uint32_t kSetBootTarget = 528, kBootLun = 8, kSetBootLun = 12, kBios = 20;

// The session of the request's first word, or null (command refused).
json *session_of(FwContext &c)
{
    uint32_t handle = get32(c.req);
    json &f = c.m.doc["adapters"][c.adapter]["functions"][c.function];
    if (f.contains("initiator") && f["initiator"].is_object() && f["initiator"].contains("sessions") &&
        f["initiator"]["sessions"].is_array())
        for (json &s : f["initiator"]["sessions"])
            if (desc_number(s, "handle", -1) == static_cast<long>(handle))
                return &s;
    refuse(c, FW_STATUS_FAILED, FW_ADDL_INVALID_REQUEST);
    return nullptr;
}

uint8_t byte_of(const json &o, const char *key, size_t index = 0, bool array = false)
{
    if (!o.is_object() || !o.contains(key))
        return 0;
    const json &v = o.at(key);
    if (array)
        return v.is_array() && index < v.size() && v.at(index).is_number() ? v.at(index).get<uint8_t>() : 0;
    return static_cast<uint8_t>(desc_number(o, key, 0));
}

} // namespace

void cmd_set_boot_target(FwContext &c)
{
    if (refused(c, kSetBootTarget))
        return;
    json *s = session_of(c);
    if (!s)
        return;
    (*s)["flags"] = get32(c.req + 4);
    c.dirty = true;
    c.answer.assign(c.req_len, 0);
}

void cmd_get_boot_lun(FwContext &c)
{
    if (refused(c, kBootLun))
        return;
    json *s = session_of(c);
    if (!s)
        return;
    c.answer.assign(c.req_len, 0);
    std::string lun = s->contains("boot_lun") && (*s)["boot_lun"].is_string() ? (*s)["boot_lun"].get<std::string>()
                                                                              : std::string();
    for (size_t i = 0; i < 8 && 2 * i + 1 < lun.size(); ++i)
        c.answer[i] = static_cast<uint8_t>(std::stoul(lun.substr(2 * i, 2), nullptr, 16));
}

void cmd_set_boot_lun(FwContext &c)
{
    if (refused(c, kSetBootLun))
        return;
    json *s = session_of(c);
    if (!s)
        return;
    (*s)["boot_lun"] = hex_of(c.req + 4, 8);
    c.dirty = true;
    c.answer.assign(c.req_len, 0);
}

void cmd_get_bios_cfg(FwContext &c)
{
    if (refused(c, kBios))
        return;
    const json &a = c.m.doc["adapters"][c.adapter];
    const json b = a.contains("iscsi_bios") ? a.at("iscsi_bios") : json::object();
    c.answer.assign(c.req_len, 0);
    c.answer[0] = byte_of(b, "discover_boottarget");
    c.answer[4] = byte_of(b, "auto_discovery_flags");
    c.answer[8] = byte_of(b, "bios_int13_enabled");
    c.answer[9] = byte_of(b, "int13_en_per_func", 0, true);
    c.answer[10] = byte_of(b, "int13_en_per_func", 1, true);
    c.answer[11] = byte_of(b, "ibft_addr_valid");
    c.answer[12] = byte_of(b, "remote_configuration");
    for (size_t i = 0; i < 3; ++i)
        c.answer[13 + i] = byte_of(b, "ibft_pci_address", i, true);
    put32(c.answer, 16, static_cast<uint32_t>(desc_number(b, "bios_ver", 0)));
}

void cmd_set_bios_cfg(FwContext &c)
{
    if (refused(c, kBios))
        return;
    const uint8_t *r = c.req;
    c.m.doc["adapters"][c.adapter]["iscsi_bios"] = json{{"discover_boottarget", r[0]},
                                                       {"auto_discovery_flags", r[4]},
                                                       {"bios_int13_enabled", r[8]},
                                                       {"int13_en_per_func", {r[9], r[10]}},
                                                       {"ibft_addr_valid", r[11]},
                                                       {"remote_configuration", r[12]},
                                                       {"ibft_pci_address", {r[13], r[14], r[15]}},
                                                       {"bios_ver", get32(r + 16)}};
    c.dirty = true;
    c.answer.assign(c.req_len, 0);
}

} // namespace hlvdsim
