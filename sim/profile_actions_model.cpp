#include "sim/profile_actions_model.h"

#include "sim/converged_adapter.h"
#include "sim/profile_model.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const uint8_t kCariBit = 0x80; // bit 31 of the answer word

json ari_doc(const FwContext &c)
{
    const json &a = c.m.doc.at("adapters").at(c.adapter);
    json ari = a.value("ari", json::object());
    return ari.is_object() ? ari : json::object();
}

// Firmware without ARI settings does not know either command.
bool ari_supported(FwContext &c)
{
    if (ari_doc(c).value("supported", true))
        return true;
    c.status = FW_STATUS_FAILED;
    c.additional = FW_ADDL_UNKNOWN_COMMAND;
    c.answer.clear();
    return false;
}

} // namespace

void cmd_get_ari_settings(FwContext &c)
{
    if (!ari_supported(c))
        return;
    cmd_get_ari(c);
    if (c.status == 0 && c.answer.size() >= 4 && ari_doc(c).value("settable", false))
        c.answer[3] |= kCariBit;
}

void cmd_set_ari_settings(FwContext &c)
{
    if (ari_supported(c))
        cmd_set_ari(c);
}

} // namespace hlvdsim
