// The firmware event log of simulated adapters: the entries built at start,
// RefreshEventLog and ClearEventLog, the failures that keep the list, and
// Varrow, which has no log.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "backend_fixture.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

// An AW3 adapter with an iSCSI and a NIC function, a Trelmont with NIC
// functions only, and a Varrow.
const char kMachine[] = R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3EV0001",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "event_log": { "seq": 9, "entries": [
        { "code": 40, "time": 12, "seq": 1, "severity": 0, "p": [1] },
        { "code": 7, "time": "0xFFFFFFFF", "seq": "0x80000000", "severity": 2, "p": [10, 2, "0xabc", 4, 5] },
        { "code": 61, "time": 3, "seq": 3, "severity": 1, "p": [14, 2048] },
        { "code": 47, "time": 4, "seq": 4, "severity": 3, "p": [255, -2, 3, 4] },
        { "code": 96, "time": 5, "seq": 5, "severity": 1, "text": "fan speed low" },
        { "code": 95, "time": 6, "seq": 6, "severity": 2, "text": "own text of code 95" },
        { "code": 300, "time": 7, "seq": 7, "severity": 0,
          "text": "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvWXYZ" },
        { "code": 0, "time": 8, "seq": 8, "severity": 4, "p": [1] },
        { "code": 96, "time": 9, "seq": 9, "severity": 65535, "text": "hidden" }
      ] },
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:20" },
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:22" } ] },
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLEV0001",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "event_log": { "seq": 1, "entries": [ { "code": 16, "time": 1, "seq": 1, "severity": 0 } ] },
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:30" } ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWEV0001",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "event_log": { "seq": 1, "entries": [ { "code": 16, "time": 1, "seq": 1, "severity": 0 } ] },
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE222", "mac": "00:00:C9:D5:00:40" } ] }
  ]
})";

enum { kAw3 = 0, kTrelmont = 1, kVarrow = 2 };
const char *const kSerials[] = {"AW3EV0001", "TRLEV0001", "VRWEV0001"};

class EventLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        host_ = std::make_unique<SimHost>(kMachine);
        counter_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
    }
    void TearDown() override
    {
        vm_flag = 0;
        while (vexo_client_count > 0)
            EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(counter_, vexo_counter) << "counted memory left behind";
    }
    const std::string &root() const { return host_->root(); }

    std::string log(int which) { return adapter_path(kSerials[which]) + "/EventLog"; }
    std::string entry(int which, int i) { return log(which) + "/EventLogEntry" + std::to_string(i); }
    bool has_entry(int which, int i) { return tag_at(entry(which, i), VEXO_NODE_GROUP) >= 0; }
    int entries(int which)
    {
        int n = 0;
        while (has_entry(which, n))
            ++n;
        return n;
    }

    std::pair<int, int> act(int which, const char *name)
    {
        node_tag_t group = tag_at(log(which), VEXO_NODE_GROUP);
        node_tag_t a = tag_at(log(which) + "/" + name, VEXO_NODE_ACTION);
        EXPECT_GE(group, 0);
        EXPECT_GE(a, 0);
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0, sizeof params);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
        VEXO_status_t r = VEXO_do_action(group, a, params, tags.data());
        return {static_cast<int>(r), static_cast<int>(last_status().first)};
    }

    // (subsystem, opcode) of the event-log commands in the command log.
    std::vector<std::pair<int, int>> log_commands()
    {
        std::vector<std::pair<int, int>> out;
        for (const auto &c : fw_commands(root()))
            if (c.first == 2 && (c.second == 62 || c.second == 63))
                out.push_back(c);
        return out;
    }

    std::unique_ptr<SimHost> host_;
    int counter_ = 0;
};

TEST_F(EventLog, EntriesOfTheStartRead)
{
    const struct {
        const char *code, *seq, *time, *severity, *description;
    } rows[] = {
        {"40", "1", "12", "Informational", "Ethernet link is down on Port :1"},
        {"7", "-2147483648", "-1", "Error",
         "Ioctl failed: page code:a, subsystem:2, IRB:abc, status:4, addnl status:5"},
        {"61", "3", "3", "Warning", "Kestrune: Diffie-Hellman group 14 (2048 bits)"},
        {"47", "4", "4", "Fatal", "Port failover info: 0xff -2 3 4"},
        {"96", "5", "5", "Warning", "fan speed low"},
        {"95", "6", "6", "Error", "own text of code 95"},
        {"300", "7", "7", "Informational", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuv"},
        {"0", "8", "8", "INVALID SEVERITY LEVEL!", "INVALID Description!!"},
        {"96", "9", "9", "INVALID SEVERITY LEVEL!", "INVALID Description!!"},
    };
    ASSERT_EQ(9, entries(kAw3));
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        SCOPED_TRACE(i);
        std::string e = entry(kAw3, static_cast<int>(i));
        EXPECT_EQ(rows[i].code, value_at(e + "/ErrorCode"));
        EXPECT_EQ(rows[i].seq, value_at(e + "/SequenceNumber"));
        EXPECT_EQ(rows[i].time, value_at(e + "/TimeStamp"));
        EXPECT_EQ(rows[i].severity, value_at(e + "/Severity"));
        EXPECT_EQ(rows[i].description, value_at(e + "/Description"));
    }
    EXPECT_EQ(1, entries(kTrelmont));
    EXPECT_EQ("Config Data Initialized", value_at(entry(kTrelmont, 0) + "/Description"));
}

TEST_F(EventLog, ReadGoesToTheIscsiFunctionElseTheNic)
{
    clear_log(root());
    EXPECT_EQ(0, act(kAw3, "RefreshEventLog").first);
    EXPECT_EQ(0, act(kTrelmont, "RefreshEventLog").first);
    std::vector<std::string> drivers;
    for (const nlohmann::json &e : fw_entries(root()))
        if (e.value("subsystem", -1) == 2 && e.value("opcode", -1) == 63) {
            drivers.push_back(e.value("driver", ""));
            EXPECT_EQ(65480, e.value("request_length", 0));
        }
    EXPECT_EQ((std::vector<std::string>{"iscsi", "nic"}), drivers);
}

TEST_F(EventLog, RefreshReplacesTheList)
{
    set_adapter_field(root(), kAw3, "event_log",
                      {{"seq", 2}, {"entries", {{{"code", 41}, {"time", 1}, {"seq", 1}, {"severity", 1}, {"p", {2}}}}}});
    EXPECT_EQ(std::make_pair(0, 0), act(kAw3, "RefreshEventLog"));
    ASSERT_EQ(1, entries(kAw3));
    EXPECT_EQ("Ethernet link is up on Port :2", value_at(entry(kAw3, 0) + "/Description"));

    set_adapter_field(root(), kAw3, "event_log", {{"seq", 3}, {"entries", nlohmann::json::array()}});
    EXPECT_EQ(0, act(kAw3, "RefreshEventLog").first);
    EXPECT_EQ(0, entries(kAw3)) << "a count of 0 empties the list";
}

TEST_F(EventLog, CountIsCutToTheAnswer)
{
    // A head that claims more entries than one answer can hold builds only
    // the 1023 that fit.
    set_adapter_field(root(), kTrelmont, "event_log",
                      {{"seq", 1}, {"count", 70000}, {"entries", {{{"code", 16}, {"severity", 0}}}}});
    EXPECT_EQ(0, act(kTrelmont, "RefreshEventLog").first);
    EXPECT_TRUE(has_entry(kTrelmont, 1022));
    EXPECT_FALSE(has_entry(kTrelmont, 1023));
    EXPECT_EQ("Config Data Initialized", value_at(entry(kTrelmont, 0) + "/Description"));
}

TEST_F(EventLog, MoreEntriesThanFitGiveThoseThatFit)
{
    nlohmann::json many = nlohmann::json::array();
    for (int i = 0; i < 1030; ++i)
        many.push_back({{"code", 16}, {"seq", i + 1}, {"severity", 0}});
    set_adapter_field(root(), kTrelmont, "event_log", {{"seq", 1}, {"entries", many}});
    EXPECT_EQ(0, act(kTrelmont, "RefreshEventLog").first);
    EXPECT_EQ("1023", value_at(entry(kTrelmont, 1022) + "/SequenceNumber"));
    EXPECT_FALSE(has_entry(kTrelmont, 1023));
}

TEST_F(EventLog, FailedReadKeepsTheEntries)
{
    plan_status(root(), 2, 63, 2, 0);
    EXPECT_EQ(std::make_pair(1, 112), act(kAw3, "RefreshEventLog"));
    EXPECT_EQ(9, entries(kAw3));
    EXPECT_EQ("Ethernet link is down on Port :1", value_at(entry(kAw3, 0) + "/Description"));
}

TEST_F(EventLog, ClearEmptiesTheLogAndReadsItAgain)
{
    clear_log(root());
    EXPECT_EQ(std::make_pair(0, 0), act(kAw3, "ClearEventLog"));
    EXPECT_EQ((std::vector<std::pair<int, int>>{{2, 62}, {2, 63}}), log_commands());
    EXPECT_EQ(0, entries(kAw3));
    EXPECT_EQ(1, entries(kTrelmont)) << "one adapter's clear leaves the others";
}

TEST_F(EventLog, FailedClearKeepsTheEntries)
{
    plan_status(root(), 2, 62, 2, 0);
    clear_log(root());
    auto r = act(kAw3, "ClearEventLog");
    EXPECT_NE(0, r.first);
    EXPECT_EQ(113, r.second);
    EXPECT_EQ((std::vector<std::pair<int, int>>{{2, 62}}), log_commands()) << "no read after a failed clear";
    EXPECT_EQ(9, entries(kAw3));
}

TEST_F(EventLog, VarrowHasNoLog)
{
    EXPECT_EQ(0, entries(kVarrow));
    clear_log(root());
    for (const char *name : {"RefreshEventLog", "ClearEventLog"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(std::make_pair(1, 259), act(kVarrow, name));
    }
    EXPECT_TRUE(log_commands().empty());
}

TEST_F(EventLog, VirtualFunctionStillClearsButDoesNotRefresh)
{
    vm_flag = 1;
    clear_log(root());
    EXPECT_EQ(std::make_pair(1, 256), act(kAw3, "RefreshEventLog"));
    EXPECT_TRUE(log_commands().empty());
    EXPECT_EQ(9, entries(kAw3));
    EXPECT_EQ(0, act(kAw3, "ClearEventLog").first);
    EXPECT_EQ((std::vector<std::pair<int, int>>{{2, 62}, {2, 63}}), log_commands());
}

} // namespace
