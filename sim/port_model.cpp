#include "sim/port_model.h"

#include <cstdlib>
#include <string>

#include "sim/converged_adapter.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const size_t kPortNameSize = 4;
const size_t kPhyDetailsSize = 24;

const json &adapter_doc(const FwContext &c)
{
    return c.m.doc.at("adapters").at(c.adapter);
}

// The description of physical port `p`, or an empty object.
json port_doc(const FwContext &c, size_t p)
{
    const json &a = adapter_doc(c);
    if (a.contains("ports") && a.at("ports").is_array() && p < a.at("ports").size() && a.at("ports").at(p).is_object())
        return a.at("ports").at(p);
    return json::object();
}

void fail(FwContext &c, uint8_t status)
{
    c.status = status;
    if (status == FW_STATUS_FAILED)
        c.additional = FW_ADDL_INVALID_REQUEST;
    c.answer.clear();
}

} // namespace

void cmd_port_name(FwContext &c)
{
    bool aw2 = c.m.adapters[c.adapter].generation == "AW2";
    // Version 0 is the AW2 generation's command; the later ones answer version 1.
    if (aw2 != (c.hdr.version == 0)) {
        fail(c, FW_STATUS_NOT_SUPPORTED);
        return;
    }
    size_t ports = aw2 ? 2 : 4;
    c.answer.assign(kPortNameSize, 0);
    for (size_t p = 0; p < ports; ++p) {
        json port = port_doc(c, p);
        std::string name = port.contains("name") && port.at("name").is_string() ? port.at("name").get<std::string>()
                                                                                 : std::string();
        c.answer[p] = name.empty() ? static_cast<uint8_t>('0' + p) : static_cast<uint8_t>(name[0]);
    }
}

void cmd_phy_details(FwContext &c)
{
    const json &a = adapter_doc(c);
    json phy = a.contains("phy") ? a.at("phy") : json::object();
    json port = port_doc(c, c.hdr.port_number);
    if (port.contains("phy") && port.at("phy").is_object())
        for (auto it = port.at("phy").begin(); it != port.at("phy").end(); ++it)
            phy[it.key()] = it.value();
    c.answer.assign(kPhyDetailsSize, 0);
    put16(c.answer, 0, static_cast<uint32_t>(desc_number(phy, "type", 0)));
    put16(c.answer, 2, static_cast<uint32_t>(desc_number(phy, "interface_type", 3)));
    put16(c.answer, 8, static_cast<uint32_t>(desc_number(phy, "extended", 0)));
    put16(c.answer, 12, static_cast<uint32_t>(desc_number(phy, "auto_speeds", 0)));
    put16(c.answer, 14, static_cast<uint32_t>(desc_number(phy, "fixed_speeds", 0)));
}

} // namespace hlvdsim
