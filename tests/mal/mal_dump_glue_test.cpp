// The dump and event-log interface: its code conversions, the module check,
// the trace-log and core dumps on simulated adapters, and the tree report on
// a small tree.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "mal/mal_core.h"
#include "mal/mal_dump_glue.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "mal_tree.h"
#include "sim/fault_plan.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;

namespace {

TEST(DumpGlue, SnapshotModeTexts)
{
    struct Case {
        int size, mode;
        RM_STATUS result;
        const char *text;
    } cases[] = {
        {5, DMP_SNAPSHOT_RAM, RM_STATUS_ERROR_INVALID_ARGUMENT, nullptr}, // even a short text
        {6, DMP_SNAPSHOT_FLASH, RM_STATUS_OK, "FLASH"},
        {8, DMP_SNAPSHOT_RAM, RM_STATUS_OK, "RAM"},
        {8, DMP_SNAPSHOT_DDR, RM_STATUS_OK, "DDR"},
        {8, 3, RM_STATUS_ERROR_INVALID_ARGUMENT, nullptr},
        {8, -1, RM_STATUS_ERROR_INVALID_ARGUMENT, nullptr},
    };
    for (const Case &c : cases) {
        char out[8] = "x";
        EXPECT_EQ(c.result, Dmp_CopyToMal_SnapshotMode(out, c.size, c.mode)) << c.size << "/" << c.mode;
        EXPECT_STREQ(c.text ? c.text : "x", out);
    }
}

TEST(DumpGlue, TraceLevelCodesBothWays)
{
    const int32_t levels[] = {-1, 255, 0, 1, 4, 5, 8, 16, 32, 48, 64, 128};
    for (int32_t code = 0; code < 12; ++code) {
        int32_t level = 77, back = 77;
        EXPECT_EQ(RM_STATUS_OK, Dmp_MapToMal_TraceLevel(&level, code));
        EXPECT_EQ(levels[code], level) << code;
        EXPECT_EQ(RM_STATUS_OK, Dmp_MapFromMal_TraceLevel(&back, level));
        EXPECT_EQ(code, back);
    }
    int32_t out = 77;
    EXPECT_EQ(RM_STATUS_OK, Dmp_MapToMal_TraceLevel(&out, -1));
    EXPECT_EQ(-1, out);
    out = 77;
    for (int32_t code : {12, -2}) {
        EXPECT_EQ(RM_STATUS_ERROR, Dmp_MapToMal_TraceLevel(&out, code));
        EXPECT_EQ(77, out);
    }
    for (int32_t level : {2, 256, -5}) {
        EXPECT_EQ(RM_STATUS_ERROR, Dmp_MapFromMal_TraceLevel(&out, level));
        EXPECT_EQ(77, out);
    }
}

TEST(DumpGlue, ModuleCheck)
{
    struct Case {
        const char *what;
        const char *module;
        const char *mode0;
        const char *mode1;
        int32_t function_mask, port_mask;
        int kind;
        RM_STATUS result;
    } cases[] = {
        {"lower-case name", "Common", "uart", "", 15, 15, 2, RM_STATUS_OK},
        {"second mode ends the list", "Common", "RAM", "bogus", -1, -1, 2, RM_STATUS_OK},
        {"no module name", "", "UART", "", 0, 0, 2, RM_STATUS_ERROR_INVALID_VALUE},
        {"unknown first mode", "Common", "SERIAL", "", 0, 0, 2, RM_STATUS_ERROR_INVALID_VALUE},
        {"empty first mode", "Common", "", "UART", 0, 0, 2, RM_STATUS_ERROR_INVALID_VALUE},
        {"four functions", "Common", "NVRAM", "", 16, 0, 2, RM_STATUS_ERROR_INVALID_VALUE},
        {"eight functions", "Common", "NVRAM", "", 255, 0, 1, RM_STATUS_OK},
        {"function mask too big", "Common", "TFTP", "", 256, 0, 1, RM_STATUS_ERROR_INVALID_VALUE},
        {"function mask below -1", "Common", "TFTP", "", -2, 0, 1, RM_STATUS_ERROR_INVALID_VALUE},
        {"port mask", "Common", "UART", "", 0, 16, 1, RM_STATUS_ERROR_INVALID_VALUE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ConfigDataModule m;
        std::memset(&m, 0, sizeof m);
        std::strncpy(m.ModuleName, c.module, sizeof m.ModuleName);
        std::strncpy(m.Modes[0].ModeName, c.mode0, sizeof m.Modes[0].ModeName);
        std::strncpy(m.Modes[1].ModeName, c.mode1, sizeof m.Modes[1].ModeName);
        m.Modes[0].FunctionMask = c.function_mask;
        m.Modes[0].PortMask = c.port_mask;
        int32_t valid = 7;
        EXPECT_EQ(c.result, ValidateConfigDataModule(0, &m, &valid, c.kind));
        EXPECT_EQ(c.result == RM_STATUS_OK ? 1 : 0, valid);
    }
    ConfigDataModule m;
    std::memset(&m, 0, sizeof m);
    std::strcpy(m.ModuleName, "Common");
    std::strcpy(m.Modes[0].ModeName, "uart");
    std::strcpy(m.Modes[1].ModeName, "Ram");
    int32_t valid = 0;
    EXPECT_EQ(RM_STATUS_OK, ValidateConfigDataModule(0, &m, &valid, 2));
    EXPECT_STREQ("UART", m.Modes[0].ModeName);
    EXPECT_STREQ("RAM", m.Modes[1].ModeName);
}

// An AW3 with a trace log and a core dump; a Trelmont whose RAM trace is
// empty.
const char kMachine[] = R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3DG0001",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "trace_log": { "ram": 20, "flash": 10, "strings": 100 },
      "coredump": { "max_components": 3,
        "components": { "2": { "segments": [ { "max_length": 100 }, { "max_length": 70000 } ] } } },
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:20" } ] },
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLDG0001",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "trace_log": { "ram": 0, "flash": 1, "strings": 100 },
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:30" } ] }
  ]
})";

class DumpMachine : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, mkdir(dir_.c_str(), 0755));
        start_ = vexo_counter;
        char service[MAL_VALUE_SIZE] = "", hierarchy[MAL_VALUE_SIZE] = "";
        ASSERT_EQ(RM_STATUS_OK, MAL_VEXO_Init(service, hierarchy));
    }
    void TearDown() override
    {
        EXPECT_EQ(RM_STATUS_OK, MAL_VEXO_Exit());
        EXPECT_EQ(start_, vexo_counter);
    }
    node_tag_t adapter(const char *serial)
    {
        uint32_t tags[MAL_MAX_TAGS];
        int count = MAL_MAX_TAGS;
        EXPECT_EQ(RM_STATUS_OK, MAL_EnumerateArcwrights(&count, tags));
        for (int i = 0; i < count; ++i) {
            node_tag_t a = static_cast<node_tag_t>(tags[i]), p = -1;
            char value[MAL_VALUE_SIZE] = "";
            if (MAL_get_node_tag(a, "SerialNumber", &p, MAL_NODE_PROPERTY) == RM_STATUS_OK &&
                MAL_get_property_val(a, p, value, MAL_VALUE_SIZE) == RM_STATUS_OK && std::strcmp(value, serial) == 0)
                return a;
        }
        ADD_FAILURE() << serial << " not found";
        return -1;
    }
    bool exists(const std::string &file)
    {
        struct stat st;
        return stat(file.c_str(), &st) == 0;
    }

    SimHost host_{kMachine};
    std::string dir_ = host_.root() + "/dumps";
    int start_ = 0;
};

TEST_F(DumpMachine, TraceLogDump)
{
    struct Case {
        const char *serial;
        int mode;
        bool path;
        RM_STATUS result;
    } cases[] = {
        {"AW3DG0001", DMP_SNAPSHOT_RAM, true, RM_STATUS_OK},
        {"TRLDG0001", DMP_SNAPSHOT_RAM, true, RM_STATUS_ERROR_NO_EXTFAT_DATA},
        {"AW3DG0001", 3, true, RM_STATUS_ERROR_INVALID_ARGUMENT},
        {"AW3DG0001", DMP_SNAPSHOT_RAM, false, RM_STATUS_ERROR_INVALID_ARGUMENT},
    };
    int n = 0;
    for (const Case &c : cases) {
        std::string file = dir_ + "/trace" + std::to_string(n++) + ".efd";
        EXPECT_EQ(c.result, GenerateEfdDump(adapter(c.serial), c.mode, c.path ? file.c_str() : nullptr, 0))
            << c.serial << " " << c.mode;
        EXPECT_EQ(c.result == RM_STATUS_OK, exists(file));
    }
}

TEST_F(DumpMachine, CoreDumpResults)
{
    node_tag_t a = adapter("AW3DG0001");
    std::string file = dir_ + "/core.bin";
    EXPECT_EQ(RM_STATUS_ERROR_NO_OUTPUT_FILE, GenerateCoreDump(a, "live", nullptr));
    // The dump kind is checked against the action's list: an invalid value.
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, GenerateCoreDump(a, "Bogus", file.c_str()));
    EXPECT_EQ(RM_STATUS_OK, GenerateCoreDump(a, nullptr, file.c_str()));
    EXPECT_TRUE(exists(file));

    // A segment piece that fails leaves a complete file and status 269,
    // still reported as a failure.
    std::string err;
    ASSERT_GT(hlvdsim::fault_add_json(host_.root(),
                                      {{"match", {{"subsystem", 11}, {"opcode", 24}}},
                                       {"kind", "status"},
                                       {"status", 2},
                                       {"when", "always"}},
                                      &err),
              0)
        << err;
    std::string second = dir_ + "/core2.bin";
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, GenerateCoreDump(a, nullptr, second.c_str()));
    EXPECT_TRUE(exists(second));
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    EXPECT_EQ(VEXO_STATUS_SUCCESS, MAL_get_last_status(&code, text));
    EXPECT_EQ(VEXO_STATUS_GET_SEGMENT_FAILED, code);
}

// A Trelmont whose trace configuration has the modules Common and NIC in
// the modes UART and RAM.
const char kTraceMachine[] = R"({
  "adapters": [
    { "name": "trl", "family": "converged", "generation": "Trelmont", "serial": "TRLEV0001",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "ext_trace": { "max_log_entries": 4096, "log_entry_size": 64, "logging_type": 1,
        "max_logging_functions": 8, "max_logging_ports": 4, "supported_modes": 3,
        "modules": [
          { "name": "Common", "id": 1, "modes": [
            { "mode": 0, "port_mask": 255, "trace_level": 48, "function_mask": 511 },
            { "mode": 1, "port_mask": 3, "trace_level": 32, "function_mask": 15 } ] },
          { "name": "NIC", "id": 2, "modes": [
            { "mode": 0, "port_mask": 1, "trace_level": 64, "function_mask": 1 },
            { "mode": 1, "port_mask": 2, "trace_level": 5, "function_mask": 2 } ] } ] },
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:30" } ] }
  ]
})";

class EventLogConfig : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        char service[MAL_VALUE_SIZE] = "", hierarchy[MAL_VALUE_SIZE] = "";
        ASSERT_EQ(RM_STATUS_OK, MAL_VEXO_Init(service, hierarchy));
        uint32_t tags[MAL_MAX_TAGS];
        int count = MAL_MAX_TAGS;
        ASSERT_EQ(RM_STATUS_OK, MAL_EnumerateArcwrights(&count, tags));
        ASSERT_EQ(1, count);
        a_ = static_cast<node_tag_t>(tags[0]);
    }
    void TearDown() override
    {
        EXPECT_EQ(RM_STATUS_OK, MAL_VEXO_Exit());
        EXPECT_EQ(start_, vexo_counter);
    }
    std::unique_ptr<EventLogConfigData> read(int kind = 1)
    {
        std::unique_ptr<EventLogConfigData> d(new EventLogConfigData());
        EXPECT_EQ(RM_STATUS_OK, GetAwEventLogConfigDataAll(a_, d.get(), kind));
        return d;
    }

    SimHost host_{kTraceMachine};
    int start_ = 0;
    node_tag_t a_ = -1;
};

TEST_F(EventLogConfig, ReadsTheWholeConfiguration)
{
    auto d = read();
    EXPECT_EQ(4096u, d->MaxLogEntries);
    EXPECT_EQ(64u, d->LogEntrySize);
    EXPECT_EQ(2u, d->ModeCount);
    ASSERT_EQ(2u, d->ModuleCount);
    EXPECT_EQ(unsigned(DMP_MODE_UART | DMP_MODE_RAM), d->SupportedModes);
    EXPECT_STREQ("asynchronous", d->LoggingType);
    EXPECT_STREQ("Common", d->Modules[0].ModuleName);
    const ConfigDataMode &uart = d->Modules[0].Modes[0];
    EXPECT_STREQ("UART", uart.ModeName);
    EXPECT_EQ(0xFF, uart.FunctionMask);
    EXPECT_EQ(15, uart.PortMask);
    EXPECT_EQ(9, uart.TraceLevel); // level 48
    EXPECT_EQ(8, d->Modules[0].Modes[1].TraceLevel); // level 32
    EXPECT_STREQ("NIC", d->Modules[1].ModuleName);
    // Kind 2 keeps four function bits.
    EXPECT_EQ(0xF, read(DMP_KIND_FOUR_FUNCTIONS)->Modules[0].Modes[0].FunctionMask);
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, GetAwEventLogConfigDataAll(a_, nullptr, 1));
}

TEST_F(EventLogConfig, WritesOneModuleByName)
{
    ConfigDataModule m;
    std::memset(&m, 0, sizeof m);
    std::strcpy(m.ModuleName, "NIC");
    std::strcpy(m.Modes[0].ModeName, "uart");
    m.Modes[0].FunctionMask = 3;
    m.Modes[0].PortMask = -1;
    m.Modes[0].TraceLevel = 7; // level 16
    // The second mode has no name: only the first is written.
    EXPECT_EQ(RM_STATUS_OK, SetAwEventLogConfigDataModule(a_, &m, 1));
    auto d = read();
    EXPECT_EQ(3, d->Modules[1].Modes[0].FunctionMask);
    EXPECT_EQ(1, d->Modules[1].Modes[0].PortMask);
    EXPECT_EQ(7, d->Modules[1].Modes[0].TraceLevel);
    EXPECT_EQ(5, d->Modules[1].Modes[1].TraceLevel); // level 5 unchanged
    EXPECT_EQ(9, d->Modules[0].Modes[0].TraceLevel); // the other module too

    std::strcpy(m.ModuleName, "Bogus");
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, SetAwEventLogConfigDataModule(a_, &m, 1));
    std::strcpy(m.ModuleName, "NIC");
    m.Modes[0].TraceLevel = 12;
    EXPECT_EQ(RM_STATUS_ERROR, SetAwEventLogConfigDataModule(a_, &m, 1));
    m.Modes[0].TraceLevel = 7;
    m.Modes[0].FunctionMask = 16;
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, SetAwEventLogConfigDataModule(a_, &m, DMP_KIND_FOUR_FUNCTIONS));
}

TEST_F(EventLogConfig, TraceLevelForAllModules)
{
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, SetAwEventLogTraceLevel(a_, 7, 0, 0, 0, 0));
    EXPECT_EQ(RM_STATUS_ERROR, SetAwEventLogTraceLevel(a_, 12, 1, 0, 0, 0));
    // Code 0 asks for level -1, which the action refuses.
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, SetAwEventLogTraceLevel(a_, 0, 1, 0, 0, 0));
    EXPECT_EQ(RM_STATUS_OK, SetAwEventLogTraceLevel(a_, 7, 1, 0, 0, 0));
    EXPECT_EQ(RM_STATUS_OK, SetAwEventLogTraceLevel(a_, DMP_TRACE_DISABLED, 0, 1, 0, 0));
    auto d = read();
    for (int m = 0; m < 2; ++m) {
        EXPECT_EQ(7, d->Modules[m].Modes[0].TraceLevel);
        EXPECT_EQ(DMP_TRACE_DISABLED, d->Modules[m].Modes[1].TraceLevel);
    }
    EXPECT_EQ(RM_STATUS_OK, SetAwDefaultLoggingConfig(a_));
}

// The report on the root with one group of our own.
VEXO_status_t unreadable(node *, char *, int)
{
    return VEXO_STATUS_FAILURE;
}

constexpr hm_node_row P(const char *name, const char *value)
{
    return HM_PROPERTY(name, "a value", VEXO_PROP_READONLY, VEXO_TYPE_STRING, 0, 255, value, nullptr,
                       handle_internal_property);
}

const char kLong[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ!@#$%^&*";
static_assert(sizeof kLong - 1 == 70, "a 70-character value");

const hm_node_row report_rows[] = {
    P("PCIFunctionMask", kLong),
    HM_PROPERTY("Broken", "unreadable", VEXO_PROP_READONLY, VEXO_TYPE_STRING, 0, 255, "x", nullptr, unreadable),
    HM_GROUP("Inner", "a subgroup", nullptr),
        P("Depth", "2"),
    HM_END(),
};
uint8_t report_bits[HM_BIT_FIELD_BYTES(1, 1)];
const hm_group_type report_type = {"Report", "a report group", 1, 0, nullptr, report_bits, sizeof report_bits,
                                   report_rows, HM_ROW_COUNT(report_rows)};

class DumpReport : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(1, VEXO_init());
        ASSERT_TRUE(hm_build_group(&report_type, get_node(0), nullptr, nullptr, nullptr));
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter);
    }
    // The report's text and count.
    std::string report(int depth, int *count)
    {
        char *buf = nullptr;
        size_t len = 0;
        FILE *f = open_memstream(&buf, &len);
        *count = Dmp_VexoReport(depth, f);
        std::fclose(f);
        std::string text(buf, len);
        std::free(buf);
        return text;
    }
    // Groups and entries as the text shows them.
    static int shown(const std::string &text)
    {
        int n = 0;
        size_t at = 0;
        while (at < text.size()) {
            size_t end = text.find('\n', at);
            std::string line = text.substr(at, end - at);
            if ((line.size() > 2 && line.compare(line.size() - 2, 2, " :") == 0) ||
                (line.size() > 2 && line[0] == ' ' && line[1] == ' ' && line[2] != ' '))
                ++n;
            at = end + 1;
        }
        return n;
    }

    SimHost host_{maltest::kNoAdapterMachine};
    int start_ = 0;
};

TEST_F(DumpReport, WholeTreeWithWrappingAndErrors)
{
    int count = 0;
    std::string text = report(0, &count);
    EXPECT_EQ(0u, text.find("\n/ :\n")) << text;
    EXPECT_NE(std::string::npos, text.find("\n/Report0 :\n")) << text;
    EXPECT_NE(std::string::npos, text.find("\n/Report0/Inner :\n  Depth=2\n")) << text;
    // 15 characters of name: 61 on the first line, 9 on the next behind 18 blanks.
    std::string wrapped = "  PCIFunctionMask=" + std::string(kLong, 61) + "\n" + std::string(18, ' ') +
                          std::string(kLong + 61) + "\n";
    EXPECT_NE(std::string::npos, text.find(wrapped)) << text;
    EXPECT_NE(std::string::npos, text.find("  Broken=ERROR: VEXO_get_property_val - vexo_status=1 (Failed)\n"))
        << text;
    EXPECT_EQ(shown(text), count);
}

TEST_F(DumpReport, DepthOneShowsOnlyTheRootsProperties)
{
    int count = 0;
    std::string text = report(1, &count);
    EXPECT_EQ(0u, text.find("\n/ :\n  ")) << text;
    EXPECT_NE(std::string::npos, text.find("\n/Report0 :\n")) << text;
    EXPECT_EQ(std::string::npos, text.find("PCIFunctionMask")) << text;
    EXPECT_EQ(std::string::npos, text.find("Inner")) << text;
    EXPECT_EQ(shown(text), count);
}

} // namespace
