// The adapter personality: what the storage functions run now (read at
// back-end start from the profile configuration, or from the legacy records
// of older firmware), what they run after the next reboot, and the change.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "backend_fixture.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/fault_plan.h"
#include "sim/flash_model.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using json = nlohmann::json;
using namespace backendtest;

namespace {

json function(int bus, int fn, const char *kind, const char *vendor, const char *device, json extra = json::object())
{
    char mac[24];
    std::snprintf(mac, sizeof mac, "00:00:C9:%02X:00:%02X", bus, fn);
    json f = {{"bus", bus}, {"function", fn}, {"kind", kind}, {"vendor", vendor}, {"device_id", device},
              {"port", fn % 2}, {"mac", mac}};
    f.update(extra);
    return f;
}

json trelmont(int bus, int fn, const char *kind, json extra = json::object())
{
    return function(bus, fn, kind, "0x19A2", std::string(kind) == "iscsi" ? "0x0722" : "0x0720", extra);
}

json aw(const char *gen, int bus, int fn, const char *kind)
{
    bool aw2 = std::string(gen) == "AW2";
    const char *device = std::string(kind) == "iscsi" ? (aw2 ? "0x0702" : "0x0712") : (aw2 ? "0x0700" : "0x0710");
    return function(bus, fn, kind, "0x19A2", device);
}

json varrow(int bus, int fn)
{
    return function(bus, fn, "nic", "0x10DF", "0xE228");
}

json adapter(const char *name, const char *gen, const char *serial, json functions, json extra = json::object())
{
    json a = {{"name", name},
              {"family", "converged"},
              {"generation", gen},
              {"serial", serial},
              {"firmware", {{"active", "11.1.183.23"}, {"flash", "11.1.183.23"}, {"boot", "11.1.183.1"}}},
              {"functions", functions}};
    a.update(extra);
    return a;
}

// Functions 2 and 3 of a Varrow adapter running FCoE.
json varrow_fcoe()
{
    return {{"pcie_active", {{"2", {{"pf_type", 4}}}, {"3", {{"pf_type", 4}}}}}};
}

// Ten storage-capable functions running NIC, the last two FCoE: more than
// the storage-function list holds.
json many_storage_functions()
{
    json fns = json::array();
    for (int f = 0; f < 10; ++f)
        fns.push_back(trelmont(0x14, f, "nic", {{"mission_roles", 6}}));
    return fns;
}

std::string machine()
{
    json no_profiles = {{"profile_commands", false}};
    json adapters = json::array({
        // NIC functions only: no storage function.
        adapter("trlnic", "Trelmont", "TRLNIC01", {trelmont(0x10, 0, "nic"), trelmont(0x10, 1, "nic")}),
        // iSCSI 0x2, FCoE 0x3, then a disabled storage function.
        adapter("trllast", "Trelmont", "TRLLAST1",
                {trelmont(0x11, 0, "nic"), trelmont(0x11, 2, "iscsi"), trelmont(0x11, 3, "nic", {{"mission_roles", 4}}),
                 trelmont(0x11, 4, "nic", {{"mission_roles", 2}, {"pf_state", 0}})},
                {{"fw_state", {{"pcie_active", {{"3", {{"pf_type", 4}}}}}}}}),
        adapter("trlill", "Trelmont", "TRLILL01", {trelmont(0x12, 0, "nic"), trelmont(0x12, 2, "iscsi")},
                {{"fw_state", {{"pcie_active", {{"2", {{"pf_type", 8}}}}}}}}),
        // A storage-capable function running NIC.
        adapter("trlset", "Trelmont", "TRLSET01",
                {trelmont(0x13, 0, "nic"), trelmont(0x13, 2, "nic", {{"mission_roles", 6}})}),
        adapter("trlmany", "Trelmont", "TRLMANY1", many_storage_functions(),
                {{"fw_state", {{"pcie_active", {{"8", {{"pf_type", 4}}}, {"9", {{"pf_type", 4}}}}}}}}),
        adapter("aw2isc", "AW2", "AW2ISC01", {aw("AW2", 0x20, 0, "nic"), aw("AW2", 0x20, 2, "iscsi"),
                                              aw("AW2", 0x20, 3, "iscsi")}),
        adapter("aw2mix", "AW2", "AW2MIX01", {aw("AW2", 0x21, 0, "nic"), aw("AW2", 0x21, 2, "iscsi"),
                                              aw("AW2", 0x21, 3, "nic")}),
        adapter("aw3old", "AW3", "AW3OLD01",
                {aw("AW3", 0x30, 0, "nic"), aw("AW3", 0x30, 2, "iscsi"), aw("AW3", 0x30, 3, "iscsi")}, no_profiles),
        adapter("vrwfcoe", "Varrow", "VRWFCOE1", {varrow(0x40, 0), varrow(0x40, 2), varrow(0x40, 3)},
                {{"profile_commands", false}, {"fw_state", varrow_fcoe()}}),
        // More records than the buffer holds, but not past the limit.
        adapter("vrwmid", "Varrow", "VRWMID01", {varrow(0x41, 0), varrow(0x41, 2), varrow(0x41, 3)},
                {{"profile_commands", false}, {"fw_state", varrow_fcoe()}, {"common_profile_count", 300}}),
        adapter("vrwbig", "Varrow", "VRWBIG01", {varrow(0x42, 0), varrow(0x42, 2), varrow(0x42, 3)},
                {{"profile_commands", false}, {"fw_state", varrow_fcoe()}, {"common_profile_count", 600}}),
    });
    return json{{"adapters", adapters}}.dump();
}

// Adapter indexes of the machine description.
const int kTrlSet = 3;

struct Outcome {
    VEXO_status_t result;
    VEXO_status_t status;
};

class Personality : public ::testing::Test {
protected:
    void start()
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        started_ = true;
    }
    void stop()
    {
        ASSERT_TRUE(started_);
        started_ = false;
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }
    void TearDown() override
    {
        if (started_)
            stop();
    }
    std::string group(const std::string &serial)
    {
        std::string a = adapter_path(serial);
        EXPECT_FALSE(a.empty()) << serial;
        return a + "/Personality";
    }
    std::string value(const std::string &serial, const char *property)
    {
        return value_at(group(serial) + "/" + property);
    }
    Outcome set_personality(const std::string &serial, const char *personality)
    {
        std::string g = group(serial);
        node_tag_t context = tag_at(g, VEXO_NODE_GROUP);
        node_tag_t act = tag_at(g + "/SetPersonality", VEXO_NODE_ACTION);
        EXPECT_GE(context, 0);
        EXPECT_GE(act, 0);
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params);
        std::snprintf(params[0], VEXO_VALUE_SIZE, "%s", personality);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        Outcome o;
        o.result = VEXO_do_action(context, act, params, tags.data());
        o.status = last_status().first;
        return o;
    }
    // Firmware commands the simulated adapter `name` received.
    std::vector<json> commands_of(const std::string &name, int opcode)
    {
        std::vector<json> out;
        for (const json &e : fw_entries(host_.root()))
            if (e.value("adapter", "") == name && e.value("subsystem", -1) == 1 && e.value("opcode", -1) == opcode)
                out.push_back(e);
        return out;
    }

    SimHost host_{machine()};
    int start_ = 0;
    bool started_ = false;
};

TEST_F(Personality, CurrentPersonalityAtStartPerFamily)
{
    start();
    struct Row {
        const char *serial, *expected, *why;
    } rows[] = {
        {"TRLNIC01", "NIC", "no storage function"},
        {"TRLLAST1", "FCoE", "the last enabled storage function decides"},
        {"TRLILL01", "Illegal", "pf_type 8"},
        {"TRLSET01", "NIC", "storage-capable function running NIC"},
        {"TRLMANY1", "NIC", "storage functions past the eighth are not listed"},
        {"AW2ISC01", "iSCSI", "legacy record, functions 2 and 3 iSCSI"},
        {"AW2MIX01", "Unknown", "legacy record, functions 2 and 3 differ"},
        {"AW3OLD01", "iSCSI", "profile commands refused: legacy record"},
        {"VRWFCOE1", "FCoE", "common profile configuration"},
        {"VRWMID01", "FCoE", "count above the buffer reads the records it holds"},
        {"VRWBIG01", "N/A", "count above 512"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(r.expected, value(r.serial, "CurrentPersonality")) << r.serial << ": " << r.why;
    // The legacy reader asks the version-1 record.
    std::vector<json> legacy = commands_of("aw3old", 81);
    ASSERT_FALSE(legacy.empty());
    EXPECT_EQ(1, legacy.front().value("version", -1));
    EXPECT_TRUE(commands_of("trlset", 81).empty());
}

TEST_F(Personality, ConfiguredPersonalityIsReadOnEveryGet)
{
    start();
    EXPECT_EQ("N/A", value("VRWFCOE1", "ConfiguredPersonality"));
    EXPECT_TRUE(commands_of("vrwfcoe", 114).empty());
    EXPECT_EQ("NIC", value("TRLSET01", "ConfiguredPersonality"));
    EXPECT_EQ("iSCSI", value("AW2ISC01", "ConfiguredPersonality"));

    // A longer answer than the command's 8 bytes gives only those 8.
    set_adapter_field(host_.root(), kTrlSet, "configured_personality", "iSCSI+FCoE+NIC+RoCE!");
    clear_log(host_.root());
    EXPECT_EQ("iSCSI+FC", value("TRLSET01", "ConfiguredPersonality"));
    std::vector<json> sent = commands_of("trlset", 114);
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(8, sent[0].value("request_length", -1));
    EXPECT_EQ(20, sent[0].value("response_length", -1));

    plan_status(host_.root(), 1, 114, 3);
    EXPECT_EQ("error 1", value("TRLSET01", "ConfiguredPersonality"));
    EXPECT_EQ(VEXO_STATUS_GET_CONF_PERSONALITY_FAILED, last_status().first);
}

TEST_F(Personality, ChangeWaitsForTheReboot)
{
    // Through the profile configuration, and through the legacy record of
    // firmware that refuses the profile commands.
    struct Row {
        const char *serial, *name;
        int write_opcode;
    } rows[] = {{"TRLSET01", "trlset", 165}, {"AW3OLD01", "aw3old", 82}};
    for (const Row &r : rows) {
        SCOPED_TRACE(r.serial);
        start();
        std::string before = value(r.serial, "CurrentPersonality");
        ASSERT_NE("FCoE", before);
        clear_log(host_.root());
        Outcome o = set_personality(r.serial, "FCoE");
        EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result);
        EXPECT_EQ(VEXO_STATUS_PERSONALITY_CHANGED, o.status);
        EXPECT_EQ(1u, commands_of(r.name, r.write_opcode).size());
        EXPECT_EQ(before, value(r.serial, "CurrentPersonality"));
        EXPECT_EQ("FCoE", value(r.serial, "ConfiguredPersonality"));
        stop();

        std::string err;
        ASSERT_TRUE(hlvdsim::reboot_adapters(host_.root(), r.name, nullptr, &err)) << err;
        start();
        EXPECT_EQ("FCoE", value(r.serial, "CurrentPersonality"));
        // The running personality again (any case): success, no notice.
        o = set_personality(r.serial, "fcoe");
        EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result);
        EXPECT_EQ(VEXO_STATUS_SUCCESS, o.status);
        stop();
    }
}

TEST_F(Personality, ProfileWriteCarriesOneEnabledDescriptorPerStorageFunction)
{
    start();
    clear_log(host_.root());
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_personality("TRLSET01", "iscsi").result);
    std::vector<json> writes = commands_of("trlset", 165);
    ASSERT_EQ(1u, writes.size());
    EXPECT_EQ(22624, writes[0].value("request_length", -1));
    // Profile 0, one descriptor: PCIe, 88 bytes, no_save; function 2,
    // enabled, iSCSI; nothing else set.
    EXPECT_EQ("00000000"
              "01000000"
              "50580080"
              "00000200"
              "00000000"
              "00010200"
              "00000000"
              "00000000",
              writes[0].value("payload", "").substr(0, 64));
}

TEST_F(Personality, FailedChangesKeepTheirStatus)
{
    start();
    struct Row {
        const char *serial, *name;
        int fault_opcode, fault_status, fault_additional;
        VEXO_status_t expected;
        const char *why;
    } rows[] = {
        {"TRLNIC01", "trlnic", 0, 0, 0, VEXO_STATUS_PERSONALITY_NOT_SUPPORTED, "no storage function"},
        {"TRLSET01", "trlset", 164, 3, 0, VEXO_STATUS_GET_PROFILE_CONFIG_FAILED, "profile read fails"},
        {"TRLSET01", "trlset", 165, 2, 79, VEXO_STATUS_PERSONALITY_NOT_SUPPORTED, "write refused as unsupported"},
        {"TRLSET01", "trlset", 165, 3, 0, VEXO_STATUS_SET_PROFILE_CONFIG_FAILED, "write fails"},
        {"AW3OLD01", "aw3old", 81, 3, 0, VEXO_STATUS_SET_AW_CONF_FAILED, "legacy read fails"},
        {"AW3OLD01", "aw3old", 82, 3, 0, VEXO_STATUS_SET_AW_CONF_FAILED, "legacy write fails"},
        {"AW3OLD01", "aw3old", 82, 2, 81, VEXO_STATUS_PERSONALITY_NOT_SUPPORTED, "legacy write unsupported"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.why);
        hlvdsim::fault_clear(host_.root());
        if (r.fault_opcode)
            plan_status(host_.root(), 1, r.fault_opcode, r.fault_status, r.fault_additional);
        clear_log(host_.root());
        Outcome o = set_personality(r.serial, "FCoE");
        EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
        EXPECT_EQ(r.expected, o.status);
        hlvdsim::fault_clear(host_.root());
        EXPECT_NE("FCoE", value(r.serial, "ConfiguredPersonality"));
    }
    // Without storage functions nothing is written.
    clear_log(host_.root());
    set_personality("TRLNIC01", "iSCSI");
    EXPECT_TRUE(commands_of("trlnic", 165).empty());
}

TEST(PersonalityVf, VirtualFunctionRefusesReadAndChange)
{
    SimHost host(R"({ "adapters": [
        { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3VF001",
          "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
          "functions": [
            { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
              "mac": "00:00:C9:B3:00:20", "vf": 1 } ] } ] })");
    int start = vexo_counter;
    ASSERT_EQ(0, VEXO_init());
    std::string g = adapter_path("AW3VF001") + "/Personality";
    EXPECT_EQ("error 1", value_at(g + "/ConfiguredPersonality"));
    EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM, last_status().first);

    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
    std::memset(params, 0xFF, sizeof params);
    std::snprintf(params[0], VEXO_VALUE_SIZE, "NIC");
    std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
    EXPECT_EQ(VEXO_STATUS_FAILURE,
              VEXO_do_action(tag_at(g, VEXO_NODE_GROUP), tag_at(g + "/SetPersonality", VEXO_NODE_ACTION), params,
                             tags.data()));
    EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM, last_status().first);
    EXPECT_EQ(0, VEXO_exit());
    EXPECT_EQ(start, vexo_counter);
}

} // namespace
