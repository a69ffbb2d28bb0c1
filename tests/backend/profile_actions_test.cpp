// What an adapter runs after its next reboot: the profile, link and ARI
// actions and the properties that show their staged values, run through the
// management API against simulated adapters, with the commands they send.
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
#include "sim/flash_model.h"
#include "sim/machine.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;
using json = nlohmann::json;

namespace {

// Three Trelmont adapters (one plain, one built for the OEM's systems, one
// whose firmware has no ARI settings) and an AW3.
const char kMachine[] = R"({
  "adapters": [
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLACT01",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "max_pf_count": 4, "active_profile": 5,
      "profiles": [
        { "id": 5, "description": "NIC", "caps": ["nic"], "counts": { "nic": 2 } },
        { "id": 7, "description": "Storage", "caps": ["nic", "iscsi"], "counts": { "nic": 1, "iscsi": 1 } } ],
      "ari": { "max_pf_id": 15, "active_max_pf_id": 7, "settable": true },
      "link_configs": [ { "id": 0, "description": "Factory" }, { "id": 3, "description": "2x25G" },
                        { "id": 4, "description": "4x10G" } ],
      "link_config": 3,
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:30", "subdevice": "0xE81E" },
        { "bus": 5, "function": 1, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0722", "port": 1,
          "mac": "00:00:C9:C4:00:31", "subdevice": "0xE81E" } ] },
    { "name": "oem", "family": "converged", "generation": "Trelmont", "serial": "TRLOEM01",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "active_profile": 5,
      "profiles": [ { "id": 5, "description": "NIC", "caps": ["nic"] }, { "id": 7, "description": "Other" } ],
      "functions": [
        { "bus": 7, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:50", "subdevice": "0xE82B" } ] },
    { "name": "noari", "family": "converged", "generation": "Trelmont", "serial": "TRLNOARI",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "profiles": [ { "id": 5, "description": "NIC", "caps": ["nic"] } ],
      "ari": { "supported": false },
      "functions": [
        { "bus": 8, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:60" } ] },
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3ACT01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "profiles": [ { "id": 5, "description": "NIC", "caps": ["nic"] } ],
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "mac": "00:00:C9:B3:00:20" } ] }
  ]
})";

const size_t kOem = 1;

// The commands that change what runs next: set profile, set ARI, set link,
// flash ROM (the erase).
const int kSetOpcodes[] = {168, 95, 202, 7};

uint32_t word_of(const std::string &hex)
{
    uint32_t w = 0;
    for (size_t i = 0; i < 4 && 2 * i + 1 < hex.size(); ++i)
        w |= static_cast<uint32_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16)) << (8 * i);
    return w;
}

uint32_t word_at(const std::string &hex, size_t at)
{
    return at * 2 < hex.size() ? word_of(hex.substr(at * 2)) : 0;
}

struct Outcome {
    VEXO_status_t result;
    VEXO_status_t status;
    std::string text;
};

class ProfileActions : public ::testing::Test {
protected:
    void SetUp() override { start(); }
    void TearDown() override
    {
        if (!started_)
            return;
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }
    void start()
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        started_ = true;
    }
    void stop()
    {
        EXPECT_EQ(0, VEXO_exit());
        started_ = false;
    }

    // Runs `action` of group `group` (below the adapter) with one parameter
    // (null: not given).
    Outcome act(const std::string &serial, const std::string &group, const char *action, const char *param)
    {
        std::string g = adapter_path(serial) + "/" + group;
        node_tag_t gt = tag_at(g, VEXO_NODE_GROUP);
        node_tag_t at = tag_at(g + "/" + action, VEXO_NODE_ACTION);
        EXPECT_GE(gt, 0) << g;
        EXPECT_GE(at, 0) << g << "/" << action;
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params);
        if (param)
            std::snprintf(params[0], VEXO_VALUE_SIZE, "%s", param);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        Outcome o;
        o.result = VEXO_do_action(gt, at, params, tags.data());
        auto last = last_status();
        o.status = last.first;
        o.text = last.second;
        return o;
    }
    std::string read(const std::string &serial, const std::string &rest)
    {
        return value_at(adapter_path(serial) + "/" + rest);
    }
    // The set commands sent since the log was cleared, as (opcode, payload).
    std::vector<std::pair<int, std::string>> sets()
    {
        std::vector<std::pair<int, std::string>> out;
        for (const json &e : fw_entries(host_.root()))
            for (int op : kSetOpcodes)
                if (e.value("subsystem", -1) == 1 && e.value("opcode", -1) == op)
                    out.emplace_back(op, e.value("payload", ""));
        return out;
    }
    json fw_state(size_t adapter)
    {
        hlvdsim::Machine m;
        std::string err;
        EXPECT_TRUE(hlvdsim::load_machine(host_.root(), m, &err)) << err;
        return m.doc.at("adapters").at(adapter).value("fw_state", json::object());
    }

    SimHost host_{kMachine};
    int start_ = 0;
    bool started_ = false;
};

const char kPM[] = "ProfileManagement";
const char kCP[] = "ProfileManagement/ConfiguredProfile";
const char kLR[] = "LinkReconfiguration";
const int64_t kNothing = -1;
const uint32_t kFd = 0x80000000u;

// One step: an action (with `param`), or a read of `property` when action
// is null. Steps run in order on one started library: the cached
// SettableMaxFunctionNumber carries from one to the next.
struct Step {
    const char *why;
    const char *serial;
    const char *group;
    const char *action;
    const char *param;   // action parameter, or the property read
    int fault_opcode;    // 1/opcode fails once (status 2) before the step
    int result;
    int status;           // 0: no status left
    const char *text;     // null: the status's own message
    int sent_opcode;      // the one set command sent, 0 none
    int64_t sent_word;    // its request word (kNothing: not checked)
    const char *value;    // value read (reads only)
};

const Step kSteps[] = {
    {"never read Settable: cached No", "TRLACT01", kCP, "SetMaxFunctionNumber", "7", 0, 1, 316, nullptr, 0, kNothing,
     nullptr},
    {"read Settable", "TRLACT01", kCP, nullptr, "SettableMaxFunctionNumber", 0, 0, 0, nullptr, 0, kNothing, "Yes"},
    {"IPL limit", "TRLACT01", kCP, nullptr, "IPLMaxFunctionNumber", 0, 0, 0, nullptr, 0, kNothing, "15"},
    {"configured limit", "TRLACT01", kCP, nullptr, "MaxFunctionNumber", 0, 0, 0, nullptr, 0, kNothing, "7"},
    {"ARI 7", "TRLACT01", kCP, "SetMaxFunctionNumber", "7", 0, 0, 280, nullptr, 95, 7, nullptr},
    {"ARI 15", "TRLACT01", kCP, "SetMaxFunctionNumber", "15", 0, 0, 280, nullptr, 95, 15, nullptr},
    {"configured limit follows", "TRLACT01", kCP, nullptr, "MaxFunctionNumber", 0, 0, 0, nullptr, 0, kNothing,
     "15"},
    {"ARI 3 is no choice", "TRLACT01", kCP, "SetMaxFunctionNumber", "3", 0, 1, 6, "Invalid Value.", 0, kNothing,
     nullptr},
    {"ARI factory default", "TRLACT01", kCP, "SetMaxFunctionNumber", nullptr, 0, 0, 280, nullptr, 95, kFd, nullptr},
    {"ARI write fails", "TRLACT01", kCP, "SetMaxFunctionNumber", "7", 95, 1, 314, nullptr, 95, 7, nullptr},
    {"ARI read fails", "TRLACT01", kCP, nullptr, "MaxFunctionNumber", 94, 1, 314, nullptr, 0, kNothing, "error 1"},
    {"ARI-less firmware: IPL", "TRLNOARI", kCP, nullptr, "IPLMaxFunctionNumber", 0, 0, 0, nullptr, 0, kNothing,
     "N/A"},
    {"ARI-less firmware: Settable", "TRLNOARI", kCP, nullptr, "SettableMaxFunctionNumber", 0, 0, 0, nullptr, 0,
     kNothing, "N/A"},
    {"ARI-less firmware: configured", "TRLNOARI", kCP, nullptr, "MaxFunctionNumber", 0, 0, 0, nullptr, 0, kNothing,
     "N/A"},
    {"AW3 has no ARI", "AW3ACT01", kCP, nullptr, "MaxFunctionNumber", 0, 0, 0, nullptr, 0, kNothing, "N/A"},
    {"AW3 ARI action", "AW3ACT01", kCP, "SetMaxFunctionNumber", "7", 0, 1, 0, nullptr, 0, kNothing, nullptr},
    {"link 0", "TRLACT01", kLR, "SetLinkConfigID", "0", 0, 0, 0, nullptr, 202, 0, nullptr},
    {"link factory", "TRLACT01", kLR, "SetLinkConfigFactoryDefaults", nullptr, 0, 0, 0, nullptr, 202, kFd,
     nullptr},
    {"link 4", "TRLACT01", kLR, "SetLinkConfigID", "4", 0, 0, 0, nullptr, 202, 4, nullptr},
    {"configured link shows 4", "TRLACT01", kLR, nullptr, "ConfiguredLinkConfigID", 0, 0, 0, nullptr, 0, kNothing,
     "4"},
    {"link write fails", "TRLACT01", kLR, "SetLinkConfigID", "3", 202, 1, 334, nullptr, 202, 3, nullptr},
    {"AW3 link", "AW3ACT01", kLR, "SetLinkConfigID", "3", 0, 1, 333, nullptr, 0, kNothing, nullptr},
    {"AW3 link factory", "AW3ACT01", kLR, "SetLinkConfigFactoryDefaults", nullptr, 0, 1, 333, nullptr, 0, kNothing,
     nullptr},
    {"AW3 configured link", "AW3ACT01", kLR, nullptr, "ConfiguredLinkConfigID", 0, 0, 0, nullptr, 0, kNothing,
     "N/A"},
    {"profile 7", "TRLACT01", kPM, "SetProfileId", "7", 0, 0, 280, nullptr, 168, 7, nullptr},
    {"configured profile follows", "TRLACT01", kCP, nullptr, "ProfileId", 0, 0, 0, nullptr, 0, kNothing, "7"},
    {"active profile stays", "TRLACT01", kPM, nullptr, "ActiveProfile/ProfileId", 0, 0, 0, nullptr, 0, kNothing,
     "5"},
    {"profile 256 does not fit 8 bits", "TRLACT01", kPM, "SetProfileId", "256", 0, 1, 6, "Invalid Value.", 0,
     kNothing, nullptr},
    {"profile write fails", "TRLACT01", kPM, "SetProfileId", "5", 168, 1, 281, nullptr, 168, 5, nullptr},
    {"AW3 profile", "AW3ACT01", kPM, "SetProfileId", "5", 0, 1, 0, nullptr, 0, kNothing, nullptr},
    {"AW3 factory profile", "AW3ACT01", kPM, "SetFactoryDefaults", nullptr, 0, 1, 0, nullptr, 0, kNothing, nullptr},
    {"factory profile, no erase off the OEM's adapters", "TRLACT01", kPM, "SetFactoryDefaults", nullptr, 0, 0, 0,
     nullptr, 168, kFd, nullptr},
    {"factory profile chosen", "TRLACT01", kCP, nullptr, "ProfileId", 0, 0, 0, nullptr, 0, kNothing, "5"},
};

TEST_F(ProfileActions, ActionTable)
{
    for (const Step &s : kSteps) {
        SCOPED_TRACE(s.why);
        clear_log(host_.root());
        if (s.fault_opcode)
            plan_status(host_.root(), 1, s.fault_opcode, 2, 0, false);
        if (s.action) {
            Outcome o = act(s.serial, s.group, s.action, s.param);
            EXPECT_EQ(s.result, static_cast<int>(o.result));
            EXPECT_EQ(s.status, static_cast<int>(o.status));
            if (s.status != 0) {
                EXPECT_EQ(s.text ? s.text : vexo_status_message(s.status), o.text);
            }
        } else {
            EXPECT_EQ(s.value, read(s.serial, std::string(s.group) + "/" + s.param));
            if (s.status != 0) {
                EXPECT_EQ(s.status, static_cast<int>(last_status().first));
            }
        }
        auto sent = sets();
        if (s.sent_opcode == 0) {
            EXPECT_TRUE(sent.empty()) << sent.front().first;
        } else {
            ASSERT_EQ(1u, sent.size());
            EXPECT_EQ(s.sent_opcode, sent[0].first);
            EXPECT_EQ(8u, sent[0].second.size()) << "one request word";
            if (s.sent_word != kNothing) {
                EXPECT_EQ(static_cast<uint32_t>(s.sent_word), word_of(sent[0].second));
            }
        }
    }
}

// The profile reboot notice asks for a reboot.
TEST_F(ProfileActions, RebootNoticeText)
{
    Outcome o = act("TRLACT01", kPM, "SetProfileId", "7");
    ASSERT_EQ(0, o.result);
    EXPECT_EQ(VEXO_STATUS_ACTIVE_PROFILE_REBOOT, o.status);
    EXPECT_NE(std::string::npos, o.text.find("reboot")) << o.text;
}

// Choices are staged until the adapter reboots; then they run.
TEST_F(ProfileActions, RebootMakesChoicesActive)
{
    ASSERT_EQ("Yes", read("TRLACT01", std::string(kCP) + "/SettableMaxFunctionNumber"));
    ASSERT_EQ(0, act("TRLACT01", kCP, "SetMaxFunctionNumber", "15").result);
    ASSERT_EQ(0, act("TRLACT01", kLR, "SetLinkConfigID", "4").result);
    ASSERT_EQ(0, act("TRLACT01", kPM, "SetProfileId", "7").result);

    // The configured-profile file carries the new configured profile.
    std::string bus = read("TRLACT01", "iSCSIPhysicalHBA0/PCI/BusNumber");
    std::string file = hlvdtest::read_file(host_.path("/etc/config/TAQ/vexo/config_prof.txt"));
    EXPECT_NE(std::string::npos, file.find("TRLACT01," + bus + ",7,")) << file;
    EXPECT_EQ(std::string::npos, file.find("TRLACT01," + bus + ",5,")) << file;

    // What runs is unchanged until the reboot.
    EXPECT_EQ("5", read("TRLACT01", std::string(kPM) + "/ActiveProfile/ProfileId"));
    EXPECT_EQ("3", read("TRLACT01", std::string(kLR) + "/ActiveLinkConfigID"));
    EXPECT_EQ("4", read("TRLACT01", std::string(kLR) + "/ConfiguredLinkConfigID"));

    stop();
    std::string err;
    ASSERT_TRUE(hlvdsim::reboot_adapters(host_.root(), "trelmont", nullptr, &err)) << err;
    start();
    EXPECT_EQ("7", read("TRLACT01", std::string(kPM) + "/ActiveProfile/ProfileId"));
    EXPECT_EQ("7", read("TRLACT01", std::string(kCP) + "/ProfileId"));
    EXPECT_EQ("4", read("TRLACT01", std::string(kLR) + "/ActiveLinkConfigID"));
    EXPECT_EQ("4", read("TRLACT01", std::string(kLR) + "/ConfiguredLinkConfigID"));
    EXPECT_EQ("15", read("TRLACT01", std::string(kCP) + "/MaxFunctionNumber"));
}

// On the OEM's adapters the factory profile also erases the FCoE WWN
// region; a failed erase is reported, and the factory profile stays chosen.
TEST_F(ProfileActions, FactoryDefaultsEraseOnOemAdapter)
{
    struct Case {
        const char *why;
        int erase_fault; // firmware status of the erase, 0 none
        int result;
        int status; // the erase's own status on failure
        bool erased;
    } cases[] = {
        {"erase fails", 2, 1, VEXO_STATUS_INTERNAL_ERROR, false},
        {"erase done", 0, 0, 0, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        ASSERT_EQ(0, act("TRLOEM01", kPM, "SetProfileId", "7").result);
        ASSERT_EQ("7", read("TRLOEM01", std::string(kCP) + "/ProfileId"));
        clear_log(host_.root());
        if (c.erase_fault)
            plan_status(host_.root(), 1, 7, c.erase_fault, 0, false);
        Outcome o = act("TRLOEM01", kPM, "SetFactoryDefaults", nullptr);
        EXPECT_EQ(c.result, static_cast<int>(o.result));
        EXPECT_EQ(c.status, static_cast<int>(o.status)) << o.text;

        // Factory profile first, then the erase of region 27.
        auto sent = sets();
        ASSERT_EQ(2u, sent.size());
        EXPECT_EQ(168, sent[0].first);
        EXPECT_EQ(kFd, word_of(sent[0].second));
        EXPECT_EQ(7, sent[1].first);
        EXPECT_EQ(3u, word_at(sent[1].second, 0)) << "erase";
        EXPECT_EQ(27u, word_at(sent[1].second, 4)) << "FCoE WWN region";
        EXPECT_EQ(0u, word_at(sent[1].second, 8));
        EXPECT_EQ(0u, word_at(sent[1].second, 12));
        EXPECT_EQ(c.erased, fw_state(kOem).value("fcoe_wwns_erased", false));

        // The profile change stays either way.
        EXPECT_EQ("5", read("TRLOEM01", std::string(kCP) + "/ProfileId"));
        EXPECT_EQ(5, fw_state(kOem).value("profile_next", 0));
    }
}

// Inside a virtual function nothing of the adapter changes and the ARI
// properties read "N/A".
TEST(ProfileActionsOnVirtualFunction, AreRefused)
{
    SimHost host(R"({
      "adapters": [
        { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLVF01",
          "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
          "profiles": [ { "id": 5, "description": "NIC", "caps": ["nic"] } ],
          "ari": { "settable": true },
          "functions": [
            { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
              "mac": "00:00:C9:C4:00:30", "vf": 1, "subdevice": "0xE82B" } ] } ] })");
    int start = vexo_counter;
    ASSERT_EQ(0, VEXO_init());
    std::string a = adapter_path("TRLVF01");
    ASSERT_FALSE(a.empty());
    clear_log(host.root());
    for (const char *p : {"IPLMaxFunctionNumber", "SettableMaxFunctionNumber", "MaxFunctionNumber"}) {
        SCOPED_TRACE(p);
        EXPECT_EQ("error 1", value_at(a + "/" + kCP + "/" + p));
        EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM, last_status().first);
    }
    struct Row {
        const char *group, *action, *param;
    } rows[] = {
        {kPM, "SetProfileId", "5"},
        {kPM, "SetFactoryDefaults", nullptr},
        {kLR, "SetLinkConfigID", "3"},
        {kLR, "SetLinkConfigFactoryDefaults", nullptr},
        {kCP, "SetMaxFunctionNumber", "7"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.action);
        std::string g = a + "/" + r.group;
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params);
        if (r.param)
            std::snprintf(params[0], VEXO_VALUE_SIZE, "%s", r.param);
        EXPECT_EQ(1, VEXO_do_action(tag_at(g, VEXO_NODE_GROUP), tag_at(g + "/" + r.action, VEXO_NODE_ACTION), params,
                                    nullptr));
        EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM, last_status().first);
    }
    for (const auto &c : fw_commands(host.root()))
        for (int op : kSetOpcodes)
            EXPECT_FALSE(c.first == 1 && c.second == op) << "sent 1/" << op;
    EXPECT_EQ(0, VEXO_exit());
    EXPECT_EQ(start, vexo_counter);
}

} // namespace
