#include "sim/erase_model.h"

#include <string>

#include "sim/converged_adapter.h"
#include "sim/flash_model.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const uint32_t kEraseOp = 3;
const uint32_t kIscsiRegion = 6, kNicRegion = 14, kPortRegion = 15;
const uint8_t kStatusRestored = 30; // factory profile restored, reboot needed

json &adapter_doc(FwContext &c)
{
    return c.m.doc["adapters"][c.adapter];
}

void erase_iscsi(FwContext &c)
{
    const std::string &name = c.m.adapters[c.adapter].name;
    if (c.sysroot)
        object_remove_prefix(*c.sysroot, name, "/iscsidata/");
    json &a = adapter_doc(c);
    a.erase("iscsi_regions");
    if (a.contains("functions") && a["functions"].is_array())
        for (json &f : a["functions"])
            if (f.is_object() && f.contains("initiator") && f["initiator"].is_object())
                f["initiator"]["persistent"] = json::array();
}

} // namespace

bool erase_config_region(FwContext &c)
{
    if (c.req_len < 8 || get32(c.req) != kEraseOp)
        return false;
    uint32_t region = get32(c.req + 4);
    if (region != kIscsiRegion && region != kNicRegion && region != kPortRegion)
        return false;
    if (region == kIscsiRegion)
        erase_iscsi(c);
    else if (region == kNicRegion && c.sysroot)
        object_remove_prefix(*c.sysroot, c.m.adapters[c.adapter].name, "/nicdata/");
    const std::string key = std::to_string(region);
    json &count = (*c.fw)["erased_regions"][key];
    count = count.is_number() ? count.get<long>() + 1 : 1;
    c.dirty = true;
    c.answer.assign(c.req, c.req + c.req_len);
    const json &a = adapter_doc(c);
    if (a.contains("erase_answer") && a["erase_answer"].is_object() && a["erase_answer"].contains(key) &&
        a["erase_answer"][key].is_number_integer())
        c.status = static_cast<uint8_t>(a["erase_answer"][key].get<int>());
    return true;
}

void cmd_set_factory_profile(FwContext &c)
{
    if (c.req_len < 4) {
        c.status = FW_STATUS_FAILED;
        c.additional = FW_ADDL_INVALID_REQUEST;
        c.answer.clear();
        return;
    }
    if (c.m.adapters[c.adapter].generation != "Trelmont") {
        c.status = FW_STATUS_FAILED;
        c.additional = FW_ADDL_INVALID_REQUEST;
        c.answer.clear();
        return;
    }
    (*c.fw)["factory_profile"] = {{"profile_id", c.req[0]}, {"operation", c.hdr.version == 1 ? c.req[1] : 0}};
    c.dirty = true;
    c.answer.assign(c.req, c.req + c.req_len);
    c.status = kStatusRestored;
}

} // namespace hlvdsim
