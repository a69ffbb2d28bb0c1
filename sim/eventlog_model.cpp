#include "sim/eventlog_model.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/converged_adapter.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const uint32_t kHead = 8;
const uint32_t kEntry = 64;

void fail(FwContext &c, uint8_t status)
{
    c.status = status;
    c.additional = status == FW_STATUS_FAILED ? FW_ADDL_INVALID_REQUEST : 0;
    c.answer.clear();
}

// A 32-bit value of the description, as a number or a text.
uint32_t word(const json &v)
{
    if (v.is_string())
        return static_cast<uint32_t>(std::strtoull(v.get<std::string>().c_str(), nullptr, 0));
    if (v.is_number())
        return static_cast<uint32_t>(v.get<long long>());
    return 0;
}

uint32_t field(const json &j, const char *key)
{
    return j.is_object() && j.contains(key) ? word(j.at(key)) : 0;
}

bool served(FwContext &c)
{
    if (c.m.adapters[c.adapter].generation == "Varrow") {
        fail(c, FW_STATUS_NOT_SUPPORTED);
        return false;
    }
    return true;
}

} // namespace

void cmd_clear_event_log(FwContext &c)
{
    if (!served(c))
        return;
    if (c.req_len < 16) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    (*c.fw)["event_log_cleared"] = true;
    c.dirty = true;
    c.answer.assign(16, 0);
}

void cmd_read_event_log(FwContext &c)
{
    if (!served(c))
        return;
    if (c.req_len < kHead) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    const json &a = c.m.doc.at("adapters").at(c.adapter);
    const json log = a.contains("event_log") ? a.at("event_log") : json::object();
    bool cleared = c.fw->contains("event_log_cleared") && c.fw->at("event_log_cleared").get<bool>();
    const json entries = !cleared && log.contains("entries") ? log.at("entries") : json::array();
    uint32_t room = (c.req_len - kHead) / kEntry;
    uint32_t copied = 0;
    c.answer.assign(c.req_len, 0);
    for (const json &e : entries) {
        if (copied == room)
            break;
        size_t at = kHead + static_cast<size_t>(copied) * kEntry;
        put16(c.answer, at, static_cast<uint16_t>(field(e, "code")));
        put32(c.answer, at + 4, field(e, "time"));
        put32(c.answer, at + 8, field(e, "seq"));
        put16(c.answer, at + 12, static_cast<uint16_t>(field(e, "severity")));
        if (e.contains("text")) {
            std::string text = e.at("text").get<std::string>();
            std::memcpy(&c.answer[at + 16], text.data(), std::min<size_t>(text.size(), 48));
        } else if (e.contains("p")) {
            const json &p = e.at("p");
            for (size_t i = 0; i < p.size() && i < 5; ++i)
                put32(c.answer, at + 16 + 4 * i, word(p.at(i)));
        }
        ++copied;
    }
    put32(c.answer, 0, field(log, "seq"));
    put32(c.answer, 4, log.contains("count") ? field(log, "count") : copied);
    if (copied < entries.size())
        c.status = FW_STATUS_INSUFFICIENT_BUFFER;
}

} // namespace hlvdsim
