// The firmware's trace configuration in the adapter tree: the module and
// mode instances built at start, reads and writes of a mode's values, and
// the actions that change many modes at once, through the management API
// against simulated adapters.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;
using json = nlohmann::json;

namespace {

const char kMachine[] = R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3TRC01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "ext_trace": { "max_log_entries": 4096, "log_entry_size": 64, "logging_type": 1,
        "max_logging_functions": 8, "max_logging_ports": 4, "supported_modes": 3,
        "modules": [
          { "name": "Common", "id": 1, "modes": [
            { "mode": 0, "port_mask": 15, "trace_level": 48, "function_mask": 255 },
            { "mode": 1, "port_mask": 3, "trace_level": 32, "function_mask": 15 } ] },
          { "name": "NIC", "id": 2, "modes": [
            { "mode": 0, "port_mask": 1, "trace_level": 64, "function_mask": 1 },
            { "mode": 1, "port_mask": 2, "trace_level": 5, "function_mask": 2 } ] },
          { "name": "iSCSI", "id": 7, "modes": [
            { "mode": 0, "port_mask": 4, "trace_level": 128, "function_mask": 4 },
            { "mode": 1, "port_mask": 8, "trace_level": 8, "function_mask": 8 } ] } ] },
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "mac": "00:00:C9:B3:00:20" },
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22" } ] },
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLTRC01",
      "ext_trace": { "supported_modes": 2, "logging_type": 0,
        "modules": [
          { "name": "First", "id": 1, "modes": [ { "mode": 0, "trace_level": 1 }, { "mode": 1, "trace_level": 4 } ] },
          { "name": "Wide", "id": 2, "modes": [ { "mode": 0 }, { "mode": 1 }, { "mode": 2 }, { "mode": 3 },
                                                  { "mode": 0 } ] },
          { "name": "Never", "id": 3, "modes": [ { "mode": 0 }, { "mode": 1 } ] } ] },
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:30" } ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWTRC01",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE222", "mac": "00:00:C9:D5:00:40" } ] }
  ]
})";

const char kAw3[] = "AW3TRC01";
const char kTrelmont[] = "TRLTRC01";
const char kVarrow[] = "VRWTRC01";

// Default trace levels of the AW3 by module, UART then RAM.
const char *const kDefaultLevels[3][2] = {{"48", "32"}, {"64", "5"}, {"128", "8"}};

struct Outcome {
    VEXO_status_t result;
    VEXO_status_t status;
    std::string text;
};

class ExtTrace : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }
    std::string at(const char *serial, const std::string &rest) { return value_at(adapter_path(serial) + "/" + rest); }
    std::string mode_path(int module, int mode, const char *prop)
    {
        return "ExtFATData/ExtFATModule" + std::to_string(module) + "/ExtFATMode" + std::to_string(mode) + "/" + prop;
    }
    // Runs an ExtFATData action with up to three parameters (null: absent).
    Outcome act(const char *serial, const char *action, const char *p0 = nullptr, const char *p1 = nullptr,
                const char *p2 = nullptr)
    {
        std::string g = adapter_path(serial) + "/ExtFATData";
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params);
        const char *given[] = {p0, p1, p2};
        for (int i = 0; i < 3; ++i)
            if (given[i])
                std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", given[i]);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        Outcome o;
        o.result = VEXO_do_action(tag_at(g, VEXO_NODE_GROUP), tag_at(g + "/" + action, VEXO_NODE_ACTION), params,
                                  tags.data());
        auto last = last_status();
        o.status = last.first;
        o.text = last.second;
        return o;
    }
    int count(int opcode)
    {
        int n = 0;
        for (const auto &c : fw_commands(host_.root()))
            n += c.first == 1 && c.second == opcode;
        return n;
    }
    void expect_levels(const char *const levels[3][2], const std::string &why)
    {
        for (int m = 0; m < 3; ++m)
            for (int j = 0; j < 2; ++j)
                EXPECT_EQ(levels[m][j], at(kAw3, mode_path(m, j, "TraceLevel"))) << why << " module " << m << " mode " << j;
    }

    SimHost host_{kMachine};
    int start_ = 0;
};

TEST_F(ExtTrace, StartBuildsOneModuleAndTwoModesPerRecord)
{
    EXPECT_EQ("4096", at(kAw3, "ExtFATData/MaxLogEntries"));
    EXPECT_EQ("64", at(kAw3, "ExtFATData/LogEntrySize"));
    EXPECT_EQ("asynchronous", at(kAw3, "ExtFATData/LoggingType"));
    EXPECT_EQ("8", at(kAw3, "ExtFATData/MaxLoggingFunctions"));
    EXPECT_EQ("4", at(kAw3, "ExtFATData/MaxLoggingPorts"));
    EXPECT_EQ("UART,RAM", at(kAw3, "ExtFATData/SupportedModes"));
    EXPECT_EQ("3", at(kAw3, "ExtFATData/NumberOfModules"));
    const char *names[] = {"Common", "NIC", "iSCSI"};
    const char *ids[] = {"1", "2", "7"};
    const char *ports[3][2] = {{"0xf", "0x3"}, {"0x1", "0x2"}, {"0x4", "0x8"}};
    const char *functions[3][2] = {{"0xff", "0xf"}, {"0x1", "0x2"}, {"0x4", "0x8"}};
    for (int m = 0; m < 3; ++m) {
        std::string mod = "ExtFATData/ExtFATModule" + std::to_string(m);
        EXPECT_EQ(names[m], at(kAw3, mod + "/ModuleString"));
        EXPECT_EQ(ids[m], at(kAw3, mod + "/ModuleId"));
        for (int j = 0; j < 2; ++j) {
            EXPECT_EQ(j == 0 ? "UART" : "RAM", at(kAw3, mode_path(m, j, "Mode")));
            EXPECT_EQ(kDefaultLevels[m][j], at(kAw3, mode_path(m, j, "TraceLevel")));
            EXPECT_EQ(ports[m][j], at(kAw3, mode_path(m, j, "PortMask")));
            EXPECT_EQ(functions[m][j], at(kAw3, mode_path(m, j, "PCIFunctionMask")));
        }
        EXPECT_LT(tag_at(adapter_path(kAw3) + "/" + mod + "/ExtFATMode2", VEXO_NODE_GROUP), 0);
    }
    EXPECT_LT(tag_at(adapter_path(kAw3) + "/ExtFATData/ExtFATModule3", VEXO_NODE_GROUP), 0);
}

TEST_F(ExtTrace, ModuleWithMoreThanFourModesEndsTheWalk)
{
    std::string data = adapter_path(kTrelmont) + "/ExtFATData/";
    EXPECT_EQ("RAM", at(kTrelmont, "ExtFATData/SupportedModes"));
    EXPECT_EQ("synchronous", at(kTrelmont, "ExtFATData/LoggingType"));
    EXPECT_EQ("4", at(kTrelmont, mode_path(0, 1, "TraceLevel")));
    EXPECT_GE(tag_at(data + "ExtFATModule1", VEXO_NODE_GROUP), 0);
    EXPECT_EQ("Wide", at(kTrelmont, "ExtFATData/ExtFATModule1/ModuleString"));
    EXPECT_LT(tag_at(data + "ExtFATModule1/ExtFATMode0", VEXO_NODE_GROUP), 0);
    EXPECT_LT(tag_at(data + "ExtFATModule2", VEXO_NODE_GROUP), 0);
}

TEST_F(ExtTrace, VarrowHasNoTraceNodes)
{
    EXPECT_LT(tag_at(adapter_path(kVarrow) + "/ExtFATData/ExtFATModule0", VEXO_NODE_GROUP), 0);
    EXPECT_EQ("0", at(kVarrow, "ExtFATData/NumberOfModules"));
}

TEST_F(ExtTrace, SupportedModesAndLoggingTypeTexts)
{
    struct Row {
        long modes;
        long type;
        const char *modes_text;
        const char *type_text;
    };
    const Row rows[] = {
        {1, 0, "UART", "synchronous"},
        {2, 1, "RAM", "asynchronous"},
        {3, 2, "UART,RAM", "Unknown"},
        {4, 9, "Unknown", "Unknown"},
    };
    for (const Row &r : rows) {
        ASSERT_EQ(0, VEXO_exit());
        set_adapter_field(host_.root(), 1, "ext_trace", json{{"supported_modes", r.modes}, {"logging_type", r.type}});
        ASSERT_EQ(0, VEXO_init());
        EXPECT_EQ(r.modes_text, at(kTrelmont, "ExtFATData/SupportedModes")) << r.modes;
        EXPECT_EQ(r.type_text, at(kTrelmont, "ExtFATData/LoggingType")) << r.type;
    }
}

TEST_F(ExtTrace, ModeValueWritesAreCheckedAndReachTheFirmware)
{
    struct Row {
        const char *property;
        const char *value;
        const char *refusal; // null: accepted
        const char *read_back;
    };
    const Row rows[] = {
        {"PortMask", "0FF", "Invalid value. Value should be in hex-decimal format.", "0x3"},
        {"PortMask", "0xG", "Invalid value. The valid values are 0-9, a-f and A-F.", "0x3"},
        {"PortMask", "0x1F", "Invalid value. Please check MaxLoggingPorts property for valid PortMask.", "0x3"},
        {"PortMask", "0x0F", nullptr, "0xf"},
        {"PCIFunctionMask", "0x1FF",
         "Invalid value. Please check MaxLoggingFunctions property for valid PCIFunctionMask.", "0xf"},
        {"PCIFunctionMask", "0xa0", nullptr, "0xa0"},
        {"PCIFunctionMask", "0x1FFFFFFFFFFFFFF", nullptr, "0x1ffffffffffffff"},
        {"PCIFunctionMask", "0x0000000000000001", nullptr, "0xffffffffffffffff"},
        {"TraceLevel", "16", nullptr, "16"},
    };
    const std::string module0 = adapter_path(kAw3) + "/";
    for (const Row &r : rows) {
        clear_log(host_.root());
        VEXO_status_t st = set_at(module0 + mode_path(0, 1, r.property), r.value);
        if (r.refusal) {
            EXPECT_NE(0, st) << r.value;
            EXPECT_EQ(VEXO_STATUS_INVALID_VALUE, last_status().first) << r.value;
            EXPECT_EQ(r.refusal, last_status().second) << r.value;
            EXPECT_EQ(0, count(126)) << r.value;
        } else {
            EXPECT_EQ(0, st) << r.value;
            EXPECT_EQ(1, count(126)) << r.value;
        }
        EXPECT_EQ(r.read_back, at(kAw3, mode_path(0, 1, r.property))) << r.value;
    }
    // The other modes kept their values.
    EXPECT_EQ("0xf", at(kAw3, mode_path(0, 0, "PortMask")));
    EXPECT_EQ("48", at(kAw3, mode_path(0, 0, "TraceLevel")));
    EXPECT_EQ("5", at(kAw3, mode_path(1, 1, "TraceLevel")));
}

TEST(ExtTraceActions, EnableAndDisableChangeTheChosenModes)
{
    struct Row {
        const char *why;
        const char *action;
        const char *p0, *p1, *p2;
        bool sent; // a configuration was written
        const char *levels[3][2];
    };
    const Row rows[] = {
        {"enable 32 everywhere", "EnableLoggingOnAllModules", "32", nullptr, nullptr, true,
         {{"32", "32"}, {"32", "32"}, {"32", "32"}}},
        {"enable both No", "EnableLoggingOnAllModules", "32", "No", "No", false,
         {{"48", "32"}, {"64", "5"}, {"128", "8"}}},
        {"enable UART only", "EnableLoggingOnAllModules", "16", "yes", "No", true,
         {{"16", "32"}, {"16", "5"}, {"16", "8"}}},
        {"enable both Yes", "EnableLoggingOnAllModules", "1", "Yes", "Yes", true,
         {{"1", "1"}, {"1", "1"}, {"1", "1"}}},
        {"disable RAM only", "DisableLoggingOnAllModules", nullptr, "Yes", nullptr, true,
         {{"48", "255"}, {"64", "255"}, {"128", "255"}}},
        {"disable UART No alone chooses nothing", "DisableLoggingOnAllModules", "No", nullptr, nullptr, true,
         {{"48", "32"}, {"64", "5"}, {"128", "8"}}},
    };
    for (const Row &r : rows) {
        SimHost host(kMachine);
        int start = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        clear_log(host.root());
        std::string g = adapter_path(kAw3) + "/ExtFATData";
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params);
        const char *given[] = {r.p0, r.p1, r.p2};
        for (int i = 0; i < 3; ++i)
            if (given[i])
                std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", given[i]);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        EXPECT_EQ(0, VEXO_do_action(tag_at(g, VEXO_NODE_GROUP), tag_at(g + "/" + r.action, VEXO_NODE_ACTION), params,
                                    tags.data()))
            << r.why;
        std::vector<std::pair<int, int>> cmds = fw_commands(host.root());
        if (r.sent)
            EXPECT_EQ((std::vector<std::pair<int, int>>{{1, 125}, {1, 126}}), cmds) << r.why;
        else
            EXPECT_TRUE(cmds.empty()) << r.why;
        for (int m = 0; m < 3; ++m)
            for (int j = 0; j < 2; ++j)
                EXPECT_EQ(r.levels[m][j],
                          value_at(g + "/ExtFATModule" + std::to_string(m) + "/ExtFATMode" + std::to_string(j) +
                                   "/TraceLevel"))
                    << r.why << " module " << m << " mode " << j;
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start, vexo_counter) << r.why;
    }
}

TEST_F(ExtTrace, FailuresCarryTheirOwnStatus)
{
    plan_status(host_.root(), 1, 126, 2, 75);
    Outcome o = act(kAw3, "EnableLoggingOnAllModules", "32");
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_ENABLELOGGING, o.status);
    o = act(kAw3, "DisableLoggingOnAllModules");
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_DISABLELOGGING, o.status);
    o = act(kAw3, "SetDefaultLoggingConfiguration");
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_SET_EXTFAT_CAPABILTES, o.status);
    EXPECT_NE(0, set_at(adapter_path(kAw3) + "/" + mode_path(0, 0, "TraceLevel"), "4"));
    EXPECT_EQ(VEXO_STATUS_SET_EXTFAT_CAPABILTES, last_status().first);

    plan_status(host_.root(), 1, 125, 2, 75);
    EXPECT_NE(0, set_at(adapter_path(kAw3) + "/" + mode_path(0, 0, "TraceLevel"), "4"));
    EXPECT_EQ(VEXO_STATUS_GET_EXTFAT_CAPABILTES, last_status().first);
    o = act(kAw3, "SetDefaultLoggingConfiguration");
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_GET_EXTFAT_CAPABILTES, o.status);
    // A failed read keeps the cached value.
    EXPECT_EQ("error 1", at(kAw3, mode_path(0, 0, "TraceLevel")));
}

TEST_F(ExtTrace, DefaultConfigurationIsWrittenBackAndShown)
{
    ASSERT_EQ(0, act(kAw3, "EnableLoggingOnAllModules", "4").result);
    ASSERT_EQ(0, set_at(adapter_path(kAw3) + "/" + mode_path(2, 0, "PortMask"), "0x0"));
    clear_log(host_.root());
    Outcome o = act(kAw3, "SetDefaultLoggingConfiguration");
    EXPECT_EQ(0, o.result);
    EXPECT_EQ((std::vector<std::pair<int, int>>{{1, 125}, {1, 126}}), fw_commands(host_.root()));
    std::vector<json> e = fw_entries(host_.root());
    EXPECT_EQ("00000000", e.at(0).value("payload", "").substr(0, 8)) << "the default configuration is read";
    expect_levels(kDefaultLevels, "after the default");
    EXPECT_EQ("0x4", at(kAw3, mode_path(2, 0, "PortMask")));
}

} // namespace
