// Node paths and action parameter texts as a caller hands them in, on a
// started library whose tree is the root and one probe group with a
// property and an action (one mandatory and two optional parameters).
//
// Input: one flag byte (bit 0: run the probe action whatever the path says;
// the high bits: the read buffer's size), then zero-separated texts: the
// path, then the parameter texts.
//
// Oracles: the splitters accept exactly the texts the rules allow and give
// back their parts; the calls answer only their codes, never write past the
// caller's buffer nor into the caller's texts, give counted memory back; and
// the probe action runs only with its mandatory parameter, given the value
// of the first text that names it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "mal/mal_core.h"
#include "mal/mal_path.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/machine.h"
#include "support/fuzz_util.h"
#include "support/vexo_quiet_log.h"

namespace
{

const char kProbePath[] = "/PathProbe0/Record";
const int kTexts = 8; // parameter texts taken from one input

int gRuns = 0;
char gSeen[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];

VEXO_status_t do_Record(node *, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    ++gRuns;
    std::memcpy(gSeen, params, sizeof gSeen);
    return VEXO_STATUS_SUCCESS;
}

action Record_action = {do_Record, 0, {3, {
    {1, "Target", "required", VEXO_TYPE_STRING, "", 0, 255},
    {0, "Mode", "optional", VEXO_TYPE_STRING, "", 0, 255},
    {0, "Level", "optional", VEXO_TYPE_STRING, "", 0, 255},
}}};
const hm_node_row probe_rows[] = {
    HM_PROPERTY("Value", "a value", VEXO_PROP_READWRITE, VEXO_TYPE_STRING, 0, 255, "0123456789", nullptr,
                handle_internal_property),
    HM_ACTION("Record", "records its parameters", &Record_action),
};
uint8_t probe_bits[HM_BIT_FIELD_BYTES(1, 1)];
const hm_group_type probe_type = {"PathProbe", "probe", 1, 0, nullptr, probe_bits, sizeof probe_bits, probe_rows,
                                  HM_ROW_COUNT(probe_rows)};

[[noreturn]] void fail(const char *what, const std::string &text)
{
    std::fprintf(stderr, "node_path: %s: \"%s\"\n", what, text.c_str());
    std::abort();
}

bool is_separator(char c)
{
    return c == '/' || c == '\\';
}

// The splitter's answer for a path, against the rules.
void check_split_path(const std::string &path)
{
    char copy[MAL_PATH_SIZE];
    char *elements[MAL_PATH_MAX_ELEMENTS];
    int count = -1;
    RM_STATUS r = mal_split_path(path.c_str(), copy, elements, &count);
    std::string joined; // the path without its separators
    for (char c : path)
        if (!is_separator(c))
            joined += c;
    bool acceptable = path.size() >= 3 && path.size() < MAL_PATH_SIZE && is_separator(path[0]) && !joined.empty();
    if ((r == RM_STATUS_OK) != acceptable)
        fail(acceptable ? "a node path refused" : "not a node path accepted", path);
    if (r != RM_STATUS_OK)
        return;
    std::string again;
    for (int i = 0; i < count; ++i) {
        const char *e = elements[i];
        if (e < copy || e >= copy + MAL_PATH_SIZE || !*e)
            fail("an element outside the copy or empty", path);
        for (const char *p = e; *p; ++p)
            if (is_separator(*p))
                fail("a separator inside an element", path);
        if (i > 0 && e <= elements[i - 1])
            fail("elements out of order", path);
        again += e;
    }
    if (again != joined)
        fail("elements do not make up the path", path);
}

// The splitter's answer for a parameter text, against the rules.
bool check_split_param(const std::string &text, std::string &name, std::string &value)
{
    char n[VEXO_MAX_NAME_SIZE];
    char v[VEXO_VALUE_SIZE];
    RM_STATUS r = mal_split_param(text.c_str(), n, v);
    size_t eq = text.find('=');
    bool ok = eq != std::string::npos && eq > 0 && eq < VEXO_MAX_NAME_SIZE;
    if (ok) {
        name = text.substr(0, eq);
        size_t end = text.find('=', eq + 1);
        value = text.substr(eq + 1, end == std::string::npos ? std::string::npos : end - eq - 1);
        ok = !value.empty() && value.size() < VEXO_VALUE_SIZE;
    }
    if ((r == RM_STATUS_OK) != ok)
        fail(ok ? "a parameter text refused" : "a bad parameter text accepted", text);
    if (ok && (name != n || value != v))
        fail("parameter parts differ", text);
    return ok;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    std::string scratch = hlvdfuzz::scratch_dir("node_path");
    std::string root = scratch + "/host";
    const std::string machine = scratch + "/machine.json";
    const char empty[] = R"({ "comment": "no adapter", "adapters": [] })";
    hlvdfuzz::write_file(machine, reinterpret_cast<const uint8_t *>(empty), sizeof empty - 1);
    std::string err;
    if (!hlvdsim::create_host(root, machine, &err))
        fail("cannot create the simulated host", err);
    setenv("HLVD_SYSROOT", root.c_str(), 1);
    setenv("HLVD_NO_SLEEP", "1", 1);
    hlvdfuzz::vexo_log_to_null();
    // No adapter: the library starts with the root alone and answers 1.
    VEXO_status_t r = VEXO_init();
    if (r > 1)
        fail("the library did not start", std::to_string(r));
    if (!hm_build_group(&probe_type, get_node(0), nullptr, nullptr, nullptr))
        fail("no probe group", "");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t flags = data[0];
    std::vector<std::string> texts;
    std::string cur;
    for (size_t i = 1; i < size; ++i) {
        if (data[i] == 0) {
            texts.push_back(cur);
            cur.clear();
        } else {
            cur += static_cast<char>(data[i]);
        }
    }
    texts.push_back(cur);
    const std::string path = texts[0];
    std::vector<std::string> params(texts.begin() + 1, texts.end());
    if (params.size() > kTexts)
        params.resize(kTexts);
    const int before = vexo_counter;

    check_split_path(path);

    // A read into a buffer of the size the flags give, in a larger block
    // whose tail must stay untouched.
    uint32_t room = (flags >> 1) % 16;
    char block[MAL_VALUE_SIZE + 16];
    std::memset(block, 0x5A, sizeof block);
    uint32_t len = room;
    VEXO_status_t status = VEXO_STATUS_SUCCESS;
    RM_STATUS r = MAL_GetPropValFromPath(path.c_str(), block, &len, &status);
    for (size_t i = room; i < sizeof block; ++i)
        if (static_cast<uint8_t>(block[i]) != 0x5A)
            fail("written past the buffer", path);
    if (r == RM_STATUS_OK && (std::memchr(block, 0, room) == nullptr || len != room))
        fail("a value read without its terminator", path);
    if (r == RM_STATUS_ERROR_BUFFER_TOO_SMALL && len < room)
        fail("too small for a shorter value", path);
    if (r != RM_STATUS_OK && r != RM_STATUS_ERROR_INVALID_ARGUMENT && r != RM_STATUS_ERROR_BUFFER_TOO_SMALL &&
        r != RM_STATUS_ERROR_PATH_NOT_FOUND && r != RM_STATUS_ERROR_MANAGEMENT_LIBRARY)
        fail("an unexpected code from a read", path);

    // The action, with the parameter texts as given; the caller's copies
    // must come back unchanged.
    std::vector<std::string> kept = params;
    std::vector<const char *> argv;
    for (const std::string &p : params)
        argv.push_back(p.c_str());
    const std::string action = (flags & 1) ? std::string(kProbePath) : path;
    gRuns = 0;
    int32_t done = MAL_DoActionFromPath(action.c_str(), static_cast<int>(argv.size()), argv.data(), &status);
    if (params != kept)
        fail("parameter texts changed", action);

    bool all_split = true;
    const char *target = nullptr;
    std::vector<std::string> names(params.size()), values(params.size());
    for (size_t i = 0; i < params.size(); ++i) {
        if (!check_split_param(params[i], names[i], values[i]))
            all_split = false;
        else if (!target && strcasecmp(names[i].c_str(), "Target") == 0)
            target = values[i].c_str();
    }
    if (action == kProbePath) {
        // A value whose first byte is the not-given marker reads as not given.
        bool runs = all_split && params.size() <= 3 && target &&
                    static_cast<uint8_t>(target[0]) != VEXO_PARAM_ABSENT;
        if (runs != (gRuns == 1) || (done == 0) != runs)
            fail("the probe ran against the rules", action);
        if (runs && std::strcmp(gSeen[0], target) != 0)
            fail("the mandatory parameter's value differs", target);
    } else if (gRuns > 0 && done != 0) {
        fail("a run reported as failed", action);
    }
    hlvdfuzz::check_vexo_counter(before);
    return 0;
}
