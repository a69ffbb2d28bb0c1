// The extended timeout of iSCSI targets through the management API: read
// from the first session's configuration, written to every session, kept on
// targets without sessions, refreshed to the controller's default when a
// client attaches, and refused on functions reached through the driver's
// management callback.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/aw/vexo-backend/nodes_target.h"
#include "mgmt/aw/vexo-backend/target_eto.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/fault_plan.h"
#include "sim/machine.h"
#include "support/device_child.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

// The iSCSI function on the legacy device, whose driver has the session
// configuration; firmware sessions 11 and 12, and none with handle 99.
const char kLegacy[] = R"({
  "adapters": [
    { "name": "aw2", "family": "converged", "generation": "AW2", "serial": "AW2ETO01", "default_eto": 45,
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.1" },
      "functions": [
        { "bus": 9, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0702", "port": 0,
          "mac": "00:00:C9:A2:00:92", "driver": "legacy",
          "initiator": { "sessions": [
            { "handle": 11, "target": "iqn.2026-01.com.example:disk1", "eto": 20 },
            { "handle": 12, "target": "iqn.2026-01.com.example:disk1", "eto": 25 } ] } } ] }
  ]
})";

// The same function reached through the management callback.
const char kCallback[] = R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3ETO01", "default_eto": 45,
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22",
          "initiator": { "sessions": [ { "handle": 11, "target": "iqn.t", "eto": 20 } ] } } ] }
  ]
})";

// Builds LogicalHBA0 of the first iSCSI function with one Target per entry
// of `targets`, each with a Session per firmware session handle listed.
// Answers the paths of the targets.
std::vector<std::string> build_targets(const std::vector<std::vector<int>> &targets)
{
    std::vector<std::string> paths;
    const std::string function = "Arcwright0/iSCSIPhysicalHBA0";
    node *iscsi = get_node(tag_at(function, VEXO_NODE_GROUP));
    node *lhba = iscsi ? get_first_instance(iscsi, "LogicalHBA") : nullptr;
    if (iscsi && !lhba)
        lhba = initialize_LogicalHBA(iscsi, nullptr, nullptr, nullptr);
    EXPECT_NE(nullptr, lhba);
    if (!lhba)
        return paths;
    for (size_t t = 0; t < targets.size(); ++t) {
        std::string name = "iqn.2026-01.com.example:disk" + std::to_string(t);
        node *target = setup_target(lhba, name.c_str(), nullptr, nullptr, nullptr, 0);
        EXPECT_NE(nullptr, target);
        if (!target)
            return paths;
        paths.push_back(function + "/LogicalHBA0/Target" + std::to_string(instance_number(target)));
        for (int handle : targets[t])
            EXPECT_NE(nullptr, setup_session(target, 1, handle, 0, nullptr, nullptr, nullptr, nullptr, "1"));
    }
    return paths;
}

nlohmann::json sessions(const std::string &root)
{
    hlvdsim::Machine m;
    std::string err;
    EXPECT_TRUE(hlvdsim::load_machine(root, m, &err)) << err;
    return m.doc["adapters"][0]["functions"][0]["initiator"]["sessions"];
}

long session_eto(const std::string &root, int index)
{
    return sessions(root)[index].value("eto", -1L);
}

// The extended timeouts of the session configuration writes, in order.
std::vector<std::pair<int, long>> eto_writes(const std::string &root)
{
    std::vector<std::pair<int, long>> out;
    for (const nlohmann::json &e : fw_entries(root)) {
        if (e.value("subsystem", -1) != 6 || e.value("opcode", -1) != 17)
            continue;
        std::string p = e.value("payload", "");
        auto word = [&p](size_t at) { return std::stol(p.substr(2 * at, 2), nullptr, 16) +
                                             (std::stol(p.substr(2 * at + 2, 2), nullptr, 16) << 8); };
        EXPECT_EQ(1, word(4)) << "param_flags";
        out.emplace_back(static_cast<int>(word(0)), word(8));
    }
    return out;
}

class TargetEto : public ::testing::Test {
protected:
    void start()
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
    }
    void TearDown() override
    {
        if (!started_)
            return;
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }
    int start_ = 0;
    bool started_ = false;
};

#define START(host)                                                                                                    \
    RUN_WITH_DEVICES();                                                                                                \
    SimHost host(kLegacy);                                                                                             \
    started_ = true;                                                                                                   \
    ASSERT_NO_FATAL_FAILURE(start())

TEST_F(TargetEto, WriteSetsEverySessionAndReadsTheFirst)
{
    START(host);
    std::vector<std::string> t = build_targets({{11, 12}});
    ASSERT_EQ(1u, t.size());
    EXPECT_EQ("20", value_at(t[0] + "/ETO"));
    clear_log(host.root());
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set_at(t[0] + "/ETO", "60"));
    EXPECT_EQ((std::vector<std::pair<int, long>>{{11, 60}, {12, 60}}), eto_writes(host.root()));
    EXPECT_EQ(60, session_eto(host.root(), 0));
    EXPECT_EQ(60, session_eto(host.root(), 1));
    EXPECT_EQ("60", value_at(t[0] + "/ETO"));
    // The write carries back what the configuration read gave.
    for (const nlohmann::json &e : fw_entries(host.root())) {
        if (e.value("opcode", -1) == 17) {
            EXPECT_EQ(280, e.value("request_length", 0));
        }
    }
}

TEST_F(TargetEto, ValueTakesItsBaseFromItsPrefix)
{
    START(host);
    std::vector<std::string> t = build_targets({{11}});
    ASSERT_EQ(1u, t.size());
    node *target = get_node(tag_at(t[0], VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, target);
    struct Row {
        const char *value;
        long sent; // -1: nothing sent
    } rows[] = {{"010", 8}, {"0x20", 32}, {"3600", 3600}, {"0", 0},
                {"3601", -1}, {"0x1000", -1}, {"-1", -1}, {"12abc", -1}, {"", -1}};
    for (const Row &r : rows) {
        SCOPED_TRACE(r.value);
        clear_log(host.root());
        int result = set_eto_prop(1, 0, 0, target, r.value, 11);
        if (r.sent < 0) {
            EXPECT_NE(0, result);
            EXPECT_EQ(VEXO_STATUS_API_INVALID_VALUE, last_status().first);
            EXPECT_TRUE(fw_commands(host.root()).empty());
        } else {
            EXPECT_EQ(0, result);
            EXPECT_EQ((std::vector<std::pair<int, long>>{{11, r.sent}}), eto_writes(host.root()));
            EXPECT_EQ(std::to_string(r.sent), value_at(t[0] + "/ETO"));
        }
    }
}

TEST_F(TargetEto, TargetWithoutSessionsKeepsItsValue)
{
    START(host);
    std::vector<std::string> t = build_targets({{}});
    ASSERT_EQ(1u, t.size());
    clear_log(host.root());
    // The controller's default given when the target was made.
    EXPECT_EQ("45", value_at(t[0] + "/ETO"));
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set_at(t[0] + "/ETO", "90"));
    EXPECT_EQ("90", value_at(t[0] + "/ETO"));
    EXPECT_TRUE(fw_commands(host.root()).empty());
}

TEST_F(TargetEto, ClientAttachGivesTargetsWithoutSessionsTheControllerDefault)
{
    START(host);
    std::vector<std::string> t = build_targets({{}, {11}, {}});
    ASSERT_EQ(3u, t.size());
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set_at(t[2] + "/ETO", "90"));
    set_adapter_field(host.root(), 0, "default_eto", 55);
    EXPECT_EQ(0, backend_client_init(1));
    EXPECT_EQ("55", value_at(t[0] + "/ETO"));
    EXPECT_EQ("20", value_at(t[1] + "/ETO"));
    EXPECT_EQ("55", value_at(t[2] + "/ETO"));
    // A target with a session is left to its session.
    node *with_session = get_node(tag_at(t[1], VEXO_NODE_GROUP));
    char cached[VEXO_VALUE_SIZE] = "";
    std::snprintf(cached, sizeof cached, "%s", internal_get_node(with_session, "ETO", 0)->u.prop->val);
    EXPECT_STREQ("20", cached);
    // A failed controller read is a failure of the refresh.
    plan_status(host.root(), 1, 32, 2, 0);
    node *lhba = get_node(tag_at("Arcwright0/iSCSIPhysicalHBA0/LogicalHBA0", VEXO_NODE_GROUP));
    EXPECT_EQ(1, refresh_eto(lhba, 0, 0));
}

TEST_F(TargetEto, FailuresStopAtTheFailingSession)
{
    START(host);
    // Session 99 is unknown to the firmware.
    std::vector<std::string> t = build_targets({{11, 99, 12}});
    ASSERT_EQ(1u, t.size());
    EXPECT_EQ("20", value_at(t[0] + "/ETO"));
    EXPECT_NE(VEXO_STATUS_SUCCESS, set_at(t[0] + "/ETO", "70"));
    EXPECT_EQ(VEXO_STATUS_INSUFFICIENT_BUFFER, last_status().first);
    EXPECT_EQ(70, session_eto(host.root(), 0));
    EXPECT_EQ(25, session_eto(host.root(), 1));

    struct Row {
        const char *what;
        int opcode, from;
        VEXO_status_t last;
    } rows[] = {
        {"size query", 16, 1, VEXO_STATUS_INSUFFICIENT_BUFFER},
        {"configuration read", 16, 2, VEXO_STATUS_GET_SESSION_CONFIG},
        {"configuration write", 17, 1, VEXO_STATUS_SET_SESSION_CONFIG},
    };
    node *target = get_node(tag_at(t[0], VEXO_NODE_GROUP));
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        hlvdsim::fault_clear(host.root());
        hlvdsim::FaultSpec f;
        f.subsystem = 6;
        f.opcode = r.opcode;
        f.kind = "status";
        f.status = 2;
        f.from = r.from;
        std::string err;
        ASSERT_GT(hlvdsim::fault_add(host.root(), f, &err), 0) << err;
        EXPECT_NE(0, set_eto_prop(1, 0, 0, target, "80", 12));
        EXPECT_EQ(r.last, last_status().first);
        EXPECT_EQ(25, session_eto(host.root(), 1));
    }
}

TEST_F(TargetEto, ShortSessionConfigurationIsRefused)
{
    START(host);
    nlohmann::json s = sessions(host.root());
    s[0]["config_length"] = 200;
    hlvdsim::Machine m;
    std::string err;
    ASSERT_TRUE(hlvdsim::load_machine(host.root(), m, &err));
    nlohmann::json f = m.doc["adapters"][0]["functions"];
    f[0]["initiator"]["sessions"] = s;
    set_adapter_field(host.root(), 0, "functions", f);
    std::vector<std::string> t = build_targets({{11}});
    ASSERT_EQ(1u, t.size());
    EXPECT_EQ(0u, value_at(t[0] + "/ETO").rfind("error ", 0));
    EXPECT_EQ(VEXO_STATUS_INSUFFICIENT_BUFFER, last_status().first);
    // A longer answer is read whole.
    s[0]["config_length"] = 312;
    f[0]["initiator"]["sessions"] = s;
    set_adapter_field(host.root(), 0, "functions", f);
    EXPECT_EQ("20", value_at(t[0] + "/ETO"));
}

TEST(TargetEtoCallback, NotAvailableThroughTheManagementCallback)
{
    SimHost host(kCallback);
    int start = vexo_counter;
    ASSERT_EQ(0, VEXO_init());
    std::vector<std::string> t = build_targets({{11}, {}});
    ASSERT_EQ(2u, t.size());
    clear_log(host.root());
    for (const std::string &p : t) {
        SCOPED_TRACE(p);
        EXPECT_EQ("N/A", value_at(p + "/ETO"));
        EXPECT_EQ(VEXO_STATUS_FAILURE, set_at(p + "/ETO", "60"));
        EXPECT_EQ(VEXO_STATUS_CFG_ETO_NOT_SUPPORTED, last_status().first);
    }
    EXPECT_TRUE(fw_commands(host.root()).empty());
    EXPECT_EQ(20, session_eto(host.root(), 0));
    EXPECT_EQ(0, VEXO_exit());
    EXPECT_EQ(start, vexo_counter);
}

} // namespace
