#include "sim/coredump_model.h"

#include <algorithm>
#include <cstring>

#include "sim/converged_adapter.h"
#include "sim/iscsi_model_util.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const uint32_t kPiece = 64000;       // largest piece the engine hands out
const uint32_t kSegmentHead = 24;    // request fields before the program
const uint32_t kAnswerHead = 8;      // segment status and length
const uint32_t kCliComponent = 3;
const uint32_t kCliSegment = 0xFFFFFFFFu;

// Template rows the dump engine has programs for.
const uint16_t kAw2Rows[] = {0x0D, 0x0E, 0x10, 0x20, 0x24, 0x26, 0x28, 0x40, 0x41, 0x42, 0x48, 0x49,
                             0x4A, 0x50, 0x51, 0x52, 0x58, 0x59, 0x5A, 0x60, 0x61, 0x62, 0x68, 0x69,
                             0x6A, 0x70, 0x71, 0x72, 0x73, 0x88, 0x8A, 0x8C, 0xB0, 0x100, 0x120, 0x130};
const uint16_t kAw3Rows[] = {0x0D, 0x0E, 0x10, 0x20, 0x24, 0x26, 0x28, 0x40, 0x41, 0x42, 0x48, 0x49, 0x4A, 0x50,
                             0x51, 0x52, 0x58, 0x59, 0x5A, 0x60, 0x61, 0x62, 0x68, 0x69, 0x6A, 0x70, 0x71, 0x72,
                             0x73, 0x80, 0x81, 0x82, 0x88, 0x8A, 0x8C, 0x8E, 0xB0, 0xC8, 0x100, 0x120, 0x130};
const uint16_t kTrlRows[] = {0x0D, 0x0E, 0x10, 0x20, 0x24, 0x26, 0x28, 0x38, 0x39, 0x3A, 0x40, 0x41,
                             0x42, 0x48, 0x49, 0x4A, 0x50, 0x51, 0x52, 0x58, 0x59, 0x5A, 0x60, 0x61,
                             0x62, 0x63, 0x68, 0x69, 0x6A, 0x6B, 0x70, 0x71, 0x72, 0x73, 0x80, 0x81,
                             0x82, 0x88, 0x8A, 0x8C, 0x8E, 0x90, 0xB0, 0xB2, 0xB4, 0xC0, 0xC4, 0xC8,
                             0xCC, 0xE0, 0xE2, 0xE4, 0x100, 0x120, 0x130, 0x140, 0x142, 0x150};
const uint16_t kTestRows[] = {0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD};

template <size_t N>
bool has_row(const uint16_t (&rows)[N], uint32_t row)
{
    return std::find(rows, rows + N, row) != rows + N;
}

bool refused_as_vf(FwContext &c)
{
    if (function_field(c.m, c.adapter, c.function, "vf", 0) == 0)
        return false;
    c.status = 5;
    c.additional = 0;
    c.answer.clear();
    return true;
}

const json &adapter_doc(const FwContext &c)
{
    return c.m.doc.at("adapters").at(c.adapter);
}

const std::string &generation(const FwContext &c)
{
    return c.m.adapters[c.adapter].generation;
}

json engine(const FwContext &c)
{
    const json &a = adapter_doc(c);
    return a.contains("coredump") && a.at("coredump").is_object() ? a.at("coredump") : json::object();
}

uint32_t word(const json &j, const char *key, uint32_t dflt)
{
    if (!j.is_object() || !j.contains(key))
        return dflt;
    const json &v = j.at(key);
    if (v.is_string())
        return static_cast<uint32_t>(std::strtoull(v.get<std::string>().c_str(), nullptr, 0));
    if (v.is_number())
        return static_cast<uint32_t>(v.get<int64_t>());
    return dflt;
}

// The SLI interface register of a generation: bits 8 to 11 name the family.
uint32_t default_sli_intf(const std::string &g)
{
    if (g == "AW2")
        return 0xC0000040u;
    if (g == "AW3")
        return 0xC0000140u;
    if (g == "Trelmont")
        return 0xC0000240u;
    return 0xC0010A40u;
}

bool no_engine(FwContext &c)
{
    if (generation(c) != "Varrow")
        return false;
    c.status = FW_STATUS_NOT_SUPPORTED;
    c.answer.clear();
    return true;
}

json component(const FwContext &c, uint32_t id)
{
    json comps = engine(c).value("components", json::object());
    std::string key = std::to_string(id);
    return comps.is_object() && comps.contains(key) && comps.at(key).is_object() ? comps.at(key) : json::object();
}

// A described segment, or null.
json segment(const FwContext &c, uint32_t comp, uint32_t seg)
{
    json segs = component(c, comp).value("segments", json::array());
    if (!segs.is_array() || seg >= segs.size() || !segs.at(seg).is_object())
        return nullptr;
    return segs.at(seg);
}

void answer_data(FwContext &c, uint32_t status, uint32_t reported, uint32_t comp, uint32_t seg, uint32_t inst,
                 uint32_t offset, uint32_t count)
{
    uint32_t room = c.req_len - kAnswerHead;
    count = std::min(count, room);
    c.answer.assign(kAnswerHead + count, 0);
    put32(c.answer, 0, status);
    put32(c.answer, 4, reported);
    for (uint32_t i = 0; i < count; ++i)
        c.answer[kAnswerHead + i] = coredump_pattern_byte(comp, seg, inst, offset + i);
}

void run_cli(FwContext &c, uint32_t chars)
{
    if (chars > c.req_len - kSegmentHead) {
        fail(c);
        return;
    }
    std::string text(reinterpret_cast<const char *>(c.req + kSegmentHead), chars);
    json cli = engine(c).value("fwcli", json::object());
    if (!cli.is_object() || !cli.contains(text) || !cli.at(text).is_string()) {
        c.answer.assign(kAnswerHead, 0);
        put32(c.answer, 0, COREDUMP_CLI_REFUSED);
        return;
    }
    std::string out = cli.at(text).get<std::string>();
    uint32_t n = static_cast<uint32_t>(std::min<size_t>(out.size(), std::min(kPiece, c.req_len - kAnswerHead)));
    c.answer.assign(kAnswerHead + n, 0);
    put32(c.answer, 4, n);
    std::memcpy(c.answer.data() + kAnswerHead, out.data(), n);
}

} // namespace

uint8_t coredump_pattern_byte(uint32_t component, uint32_t segment, uint32_t instance, uint32_t offset)
{
    uint32_t v = component * 0x35u + segment * 0x1Fu + instance * 0x0Bu + offset + (offset >> 8) * 7u;
    return static_cast<uint8_t>(v ^ (offset >> 16));
}

uint32_t coredump_program_words(const std::string &generation, uint32_t row)
{
    bool known = has_row(kTestRows, row) || (generation == "AW2" && has_row(kAw2Rows, row)) ||
                 (generation == "AW3" && has_row(kAw3Rows, row)) ||
                 (generation == "Trelmont" && has_row(kTrlRows, row));
    if (!known)
        return 0;
    if (row == 0xDA)
        return 1024;
    if (row == 0xD3)
        return 156;
    return 16 + (row * 7) % 101;
}

void cmd_coredump_properties(FwContext &c)
{
    if (refused_as_vf(c))
        return;
    json e = engine(c);
    const json &a = adapter_doc(c);
    c.answer.assign(20, 0);
    put8(c.answer, 0, static_cast<uint8_t>(word(e, "low_version", 1)));
    put8(c.answer, 1, static_cast<uint8_t>(word(e, "high_version", 0)));
    put8(c.answer, 2, static_cast<uint8_t>(desc_number(a, "chip_state", 0)));
    put32(c.answer, 4, word(e, "sli_intf", default_sli_intf(generation(c))));
    put32(c.answer, 8, word(e, "asic_id", generation(c) == "Trelmont" ? 0x410 : 0));
    put32(c.answer, 16, word(e, "max_components", 5));
}

void cmd_coredump_comp_properties(FwContext &c)
{
    if (c.req_len < 8) {
        fail(c);
        return;
    }
    if (refused_as_vf(c) || no_engine(c))
        return;
    json comp = component(c, get32(c.req));
    json segs = comp.value("segments", json::array());
    c.answer.assign(8, 0);
    put32(c.answer, 0, segs.is_array() ? static_cast<uint32_t>(segs.size()) : 0);
    put32(c.answer, 4, word(comp, "status", 0));
}

void cmd_coredump_seg_properties(FwContext &c)
{
    if (c.req_len < 16) {
        fail(c);
        return;
    }
    if (refused_as_vf(c) || no_engine(c))
        return;
    json seg = segment(c, get32(c.req), get32(c.req + 4));
    if (seg.is_null()) {
        fail(c);
        return;
    }
    c.answer.assign(16, 0);
    put8(c.answer, 0, static_cast<uint8_t>(word(seg, "low_version", 1)));
    put8(c.answer, 1, static_cast<uint8_t>(word(seg, "high_version", 0)));
    put32(c.answer, 4, word(seg, "status", 0));
    put32(c.answer, 8, word(seg, "max_instance", 0));
    put32(c.answer, 12, word(seg, "max_length", 0));
}

void cmd_coredump_segment(FwContext &c)
{
    if (c.req_len < kSegmentHead) {
        fail(c);
        return;
    }
    if (refused_as_vf(c) || no_engine(c))
        return;
    uint32_t comp = get32(c.req);
    uint32_t seg = get32(c.req + 4);
    uint32_t inst = get32(c.req + 8);
    uint32_t offset = get32(c.req + 12);
    uint32_t length = get32(c.req + 16);
    uint32_t code = get32(c.req + 20);
    if (comp == kCliComponent && seg == kCliSegment) {
        run_cli(c, code);
        return;
    }
    uint32_t extra = word(engine(c), "extra_length", 0);
    if (length > kPiece) {
        fail(c);
        return;
    }
    if (comp == 1) {
        // The engine runs the row's program: it must be the row's length
        // and must have arrived whole.
        uint32_t words = coredump_program_words(generation(c), seg);
        if (words == 0 || code != words || uint64_t(code) * 4 > c.req_len - kSegmentHead) {
            fail(c);
            return;
        }
        answer_data(c, 0, length + extra, comp, seg, inst, offset, length + extra);
        return;
    }
    json s = segment(c, comp, seg);
    if (s.is_null() || inst > word(s, "max_instance", 0)) {
        fail(c);
        return;
    }
    uint32_t max_length = word(s, "max_length", 0);
    uint32_t count = offset >= max_length ? 0 : std::min(length, max_length - offset);
    answer_data(c, word(s, "data_status", 0), count + extra, comp, seg, inst, offset, count + extra);
}

} // namespace hlvdsim
