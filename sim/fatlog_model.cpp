#include "sim/fatlog_model.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/converged_adapter.h"
#include "sim/iscsi_model_util.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const uint32_t kFatAnswerHead = 16;
const uint32_t kRecordSize = 64;
const uint32_t kRecordsPerAnswer = 998;
const uint32_t kConfigHead = 20;
const uint32_t kModuleHead = 40;
const uint32_t kModeSize = 16;

const json &adapter_doc(const FwContext &c)
{
    return c.m.doc.at("adapters").at(c.adapter);
}

const json &section(const FwContext &c, const char *key)
{
    static const json empty = json::object();
    const json &a = adapter_doc(c);
    return a.contains(key) && a.at(key).is_object() ? a.at(key) : empty;
}

void fail(FwContext &c, uint8_t status)
{
    c.status = status;
    c.additional = status == FW_STATUS_FAILED ? FW_ADDL_INVALID_REQUEST : 0;
    c.answer.clear();
}

void put64(std::vector<uint8_t> &b, size_t at, uint64_t v)
{
    put32(b, at, static_cast<uint32_t>(v));
    put32(b, at + 4, static_cast<uint32_t>(v >> 32));
}

uint64_t desc_u64(const json &j, const char *key, uint64_t dflt)
{
    if (!j.is_object() || !j.contains(key))
        return dflt;
    const json &v = j.at(key);
    if (v.is_string())
        return std::strtoull(v.get<std::string>().c_str(), nullptr, 0);
    if (v.is_number())
        return v.get<uint64_t>();
    return dflt;
}

json default_modules()
{
    json modules = json::array();
    const char *names[] = {"Common", "NIC", "iSCSI"};
    for (int i = 0; i < 3; ++i) {
        json m;
        m["name"] = names[i];
        m["id"] = i + 1;
        m["modes"] = json::array({json{{"mode", 0}, {"port_mask", 15}, {"trace_level", 48}, {"function_mask", 255}},
                                  json{{"mode", 1}, {"port_mask", 15}, {"trace_level", 32}, {"function_mask", 255}}});
        modules.push_back(m);
    }
    return modules;
}

// The default configuration block of the description.
std::vector<uint8_t> default_config(const FwContext &c)
{
    const json &d = section(c, "ext_trace");
    std::vector<uint8_t> b(kConfigHead, 0);
    put32(b, 0, static_cast<uint32_t>(desc_number(d, "max_log_entries", 4096)));
    put32(b, 4, static_cast<uint32_t>(desc_number(d, "log_entry_size", kRecordSize)));
    put8(b, 8, static_cast<uint8_t>(desc_number(d, "logging_type", 0)));
    put8(b, 9, static_cast<uint8_t>(desc_number(d, "max_logging_functions", 8)));
    put8(b, 10, static_cast<uint8_t>(desc_number(d, "max_logging_ports", 4)));
    put32(b, 12, static_cast<uint32_t>(desc_number(d, "supported_modes", 3)));
    const json modules = d.contains("modules") ? d.at("modules") : default_modules();
    put32(b, 16, static_cast<uint32_t>(modules.size()));
    for (const json &m : modules) {
        size_t at = b.size();
        b.resize(at + kModuleHead, 0);
        std::string name = m.value("name", std::string());
        std::memcpy(&b[at], name.data(), std::min<size_t>(name.size(), 32));
        put32(b, at + 32, static_cast<uint32_t>(desc_number(m, "id", 0)));
        const json modes = m.contains("modes") ? m.at("modes") : json::array();
        put32(b, at + 36, static_cast<uint32_t>(desc_number(m, "num_modes", static_cast<long>(modes.size()))));
        for (const json &mode : modes) {
            size_t r = b.size();
            b.resize(r + kModeSize, 0);
            put8(b, r, static_cast<uint8_t>(desc_number(mode, "mode", 0)));
            put16(b, r + 2, static_cast<uint16_t>(desc_number(mode, "port_mask", 0)));
            put32(b, r + 4, static_cast<uint32_t>(desc_number(mode, "trace_level", 0)));
            put64(b, r + 8, desc_u64(mode, "function_mask", 0));
        }
        if (modes.empty())
            b.resize(b.size() + kModeSize, 0);
    }
    return b;
}

std::vector<uint8_t> bytes_of(const std::string &hex)
{
    std::vector<uint8_t> b;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        b.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return b;
}

} // namespace

std::vector<uint8_t> fatlog_bytes(uint32_t size)
{
    std::vector<uint8_t> b(size);
    for (uint32_t i = 0; i < size; ++i)
        b[i] = static_cast<uint8_t>(i * 7 + (i >> 8) * 13 + (i >> 16) * 29);
    return b;
}

std::vector<uint8_t> trace_string_table(uint32_t size)
{
    std::vector<uint8_t> b(size);
    for (uint32_t i = 0; i < size; ++i)
        b[i] = static_cast<uint8_t>(0x20 + (i * 11 + (i >> 9)) % 95);
    return b;
}

std::vector<uint8_t> trace_record(uint32_t mode, uint32_t index)
{
    std::vector<uint8_t> r(kRecordSize, 0);
    put8(r, 0, 1);
    put8(r, 1, static_cast<uint8_t>(index % 4));
    put16(r, 2, static_cast<uint16_t>(index));
    put32(r, 4, 48);
    put64(r, 8, uint64_t(1) << (index % 64));
    put32(r, 16, index);
    put32(r, 20, mode * 1000000u + index);
    char text[17];
    std::snprintf(text, sizeof text, "%s%u", mode ? "flash " : "ram ", index);
    std::memcpy(&r[24], text, std::strlen(text));
    for (uint32_t k = 0; k < 6; ++k)
        put32(r, 40 + 4 * k, index * 6 + k);
    return r;
}

void cmd_manage_fat(FwContext &c)
{
    if (short_request(c, 20))
        return;
    uint32_t op = get32(c.req);
    uint32_t size = c.fw && c.fw->is_object() && c.fw->value("fat_cleared", false)
                        ? 0
                        : static_cast<uint32_t>(desc_number(adapter_doc(c), "fat_log_size", 0));
    c.answer.assign(c.req_len, 0);
    if (op == 1) {
        put32(c.answer, 0, size);
    } else if (op == 0) {
        uint32_t offset = get32(c.req + 4);
        uint32_t length = get32(c.req + 8);
        uint32_t n = offset >= size ? 0 : std::min(length, size - offset);
        n = std::min<uint32_t>(n, c.req_len - kFatAnswerHead);
        std::vector<uint8_t> log = fatlog_bytes(size);
        put32(c.answer, 0, size);
        put32(c.answer, 4, n);
        if (n)
            std::memcpy(&c.answer[kFatAnswerHead], &log[offset], n);
    } else if (op == 2) {
        (*c.fw)["fat_cleared"] = true;
        c.dirty = true;
    } else {
        fail(c, FW_STATUS_FAILED);
    }
}

void cmd_get_ext_trace_config(FwContext &c)
{
    if (short_request(c, 4))
        return;
    uint32_t type = get32(c.req);
    if (type > 1) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    std::vector<uint8_t> block;
    if (type == 1 && c.fw->contains("ext_trace_current"))
        block = bytes_of(c.fw->at("ext_trace_current").get<std::string>());
    else
        block = default_config(c);
    c.answer.assign(c.req_len, 0);
    std::memcpy(c.answer.data(), block.data(), std::min<size_t>(block.size(), c.req_len));
}

void cmd_set_ext_trace_config(FwContext &c)
{
    if (short_request(c, kConfigHead))
        return;
    // Kept without the zeros that pad the block.
    size_t used = c.req_len;
    while (used > kConfigHead && c.req[used - 1] == 0)
        --used;
    (*c.fw)["ext_trace_current"] = hex_of(c.req, used);
    c.dirty = true;
    c.answer.assign(c.req_len, 0);
}

void cmd_trace_snapshot(FwContext &c)
{
    if (short_request(c, 4))
        return;
    c.answer.assign(c.req_len, 0);
    put32(c.answer, 0, static_cast<uint32_t>(desc_number(section(c, "trace_log"), "ram", 0)));
}

void cmd_trace_records(FwContext &c)
{
    if (short_request(c, 12))
        return;
    const json &d = section(c, "trace_log");
    uint32_t mode = get32(c.req);
    uint32_t start = get32(c.req + 4);
    uint32_t asked = get32(c.req + 8);
    if (mode > 1) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    uint32_t count = static_cast<uint32_t>(desc_number(d, mode ? "flash" : "ram", 0));
    uint32_t n = start >= count ? 0 : std::min(asked, count - start);
    n = std::min(n, kRecordsPerAnswer);
    n = std::min<uint32_t>(n, (c.req_len - 4) / kRecordSize);
    if (desc_number(d, "zero_at", -1) == static_cast<long>(start))
        n = 0;
    c.answer.assign(c.req_len, 0);
    put32(c.answer, 0, static_cast<uint32_t>(desc_number(d, "report_count", n)));
    for (uint32_t i = 0; i < n; ++i) {
        std::vector<uint8_t> r = trace_record(mode, start + i);
        std::memcpy(&c.answer[4 + i * kRecordSize], r.data(), kRecordSize);
    }
}

void cmd_trace_string_table(FwContext &c)
{
    if (short_request(c, 8))
        return;
    uint32_t size = static_cast<uint32_t>(desc_number(section(c, "trace_log"), "strings", 0));
    uint32_t offset = get32(c.req);
    uint32_t asked = get32(c.req + 4);
    uint32_t n = offset >= size ? 0 : std::min(asked, size - offset);
    n = std::min<uint32_t>(n, c.req_len - 8);
    std::vector<uint8_t> table = trace_string_table(size);
    c.answer.assign(c.req_len, 0);
    put32(c.answer, 0, n);
    put32(c.answer, 4, offset >= size ? 0 : size - offset - n);
    if (n)
        std::memcpy(&c.answer[8], &table[offset], n);
}

} // namespace hlvdsim
