#include "sim/iscsi_target_model.h"

#include <algorithm>
#include <string>

#include "sim/converged_adapter.h"
#include "sim/iscsi_model_util.h"
#include "sim/wire.h"

namespace hlvdsim
{

namespace
{

const size_t kNameSize = 224, kAliasSize = 32;
const size_t kGroups = 264, kGroupSize = 552, kEntrySize = 548;

const json *targets(const FwContext &c)
{
    try {
        const json &f = c.m.doc.at("adapters").at(c.adapter).at("functions").at(c.function);
        if (f.contains("initiator") && f.at("initiator").is_object() && f.at("initiator").contains("targets") &&
            f.at("initiator").at("targets").is_array())
            return &f.at("initiator").at("targets");
    } catch (const std::exception &) {
    }
    return nullptr;
}

const json &portals(const json &t)
{
    static const json kNone = json::array();
    return t.is_object() && t.contains("portals") && t.at("portals").is_array() ? t.at("portals") : kNone;
}

} // namespace

void cmd_all_target_ids(FwContext &c)
{
    if (c.req_len < 8)
        return fail(c);
    c.answer.assign(c.req_len, 0);
    const json *list = targets(c);
    size_t room = (c.req_len - 4) / 8, n = 0;
    if (list)
        for (size_t i = 0; i < list->size() && n < room; ++i, ++n) {
            const json &t = list->at(i);
            put32(c.answer, 4 + 8 * n, static_cast<uint32_t>(desc_number(t, "id", static_cast<long>(i + 1))));
            put32(c.answer, 8 + 8 * n, static_cast<uint32_t>(portals(t).size()));
        }
    put32(c.answer, 0, static_cast<uint32_t>(n));
}

void cmd_get_a_target(FwContext &c)
{
    if (c.req_len < 4)
        return fail(c);
    uint32_t id = get32(c.req);
    const json *list = targets(c);
    const json *found = nullptr;
    for (size_t i = 0; list && i < list->size(); ++i)
        if (desc_number(list->at(i), "id", static_cast<long>(i + 1)) == static_cast<long>(id))
            found = &list->at(i);
    if (!found)
        return fail(c);
    const json &ps = portals(*found);
    size_t full = kGroups + kGroupSize * ps.size();
    c.answer.assign(std::max<size_t>(c.req_len, full), 0);
    put32(c.answer, 0, id);
    put_text(c.answer, 4, text(*found, "name"), kNameSize);
    put_text(c.answer, 4 + kNameSize, text(*found, "alias"), kAliasSize);
    put32(c.answer, 260, static_cast<uint32_t>(ps.size()));
    for (size_t j = 0; j < ps.size(); ++j) {
        size_t g = kGroups + kGroupSize * j;
        put16(c.answer, g, static_cast<uint16_t>(desc_number(ps[j], "tag", 1)));
        put16(c.answer, g + 2, static_cast<uint16_t>(desc_number(ps[j], "claimed", 1)));
        put_ip(c.answer, g + 4, text(ps[j], "ip"));
        put16(c.answer, g + 4 + 24, static_cast<uint16_t>(desc_number(ps[j], "port", 3260)));
    }
    static_assert(kGroupSize == 4 + kEntrySize, "a group holds one portal entry");
    // A shorter request (the size query) gets what fits, with status 4 and
    // the full length as the actual length.
    if (c.req_len > full)
        c.answer.resize(c.req_len);
}

} // namespace hlvdsim
