// Adding and deleting targets and their portals through the management API:
// the tree, the saved targets file and the adapter's persistent logins.
#include <algorithm>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/machine.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;
using json = nlohmann::json;

namespace {

const char kDisk[] = "iqn.2001-04.com.example:disk";
const char kOther[] = "iqn.2001-04.com.example:other";
const char kInitiator[] = "iqn.1998-01.com.example:host";

// One open session to the disk's first portal when `open` is set; the
// firmware holds the disk's persistent login (qualifier 3) and the other
// target's.
std::string machine(bool open)
{
    json m = json::parse(R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3TGT01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22" } ] } ] })");
    json init;
    init["name"] = kInitiator;
    init["targets"] = json::array({{{"id", 1}, {"name", kDisk}}, {{"id", 2}, {"name", kOther}}});
    init["persistent"] = json::array(
        {{{"target", kDisk}, {"ip", "10.0.0.1"}, {"port", 3260}, {"isid", 3}, {"flags", 0x40}, {"initiator", kInitiator}},
         {{"target", kOther}, {"ip", "10.0.0.9"}, {"port", 3260}, {"isid", 4}, {"flags", 0x40},
          {"initiator", kInitiator}}});
    init["sessions"] = json::array();
    if (open)
        init["sessions"].push_back({{"handle", 1}, {"target", kDisk}, {"isid", "00023d000003"}, {"tsih", 5},
                                    {"status", 1}, {"flags", 0}, {"initiator", kInitiator},
                                    {"connection", {{"handle", 101}, {"cid", 1}, {"status", 1},
                                                    {"dest_ip", "10.0.0.1"}, {"dest_port", 3260}}}});
    m["adapters"][0]["functions"][0]["initiator"] = init;
    return m.dump();
}

class TargetDeletes : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        adapter_ = adapter_path("AW3TGT01");
        ASSERT_FALSE(adapter_.empty());
        lhba_path_ = adapter_ + "/iSCSIPhysicalHBA0/LogicalHBA0";
        lhba_ = get_node(tag_at(lhba_path_, VEXO_NODE_GROUP));
        if (!lhba_) // the start may not build the initiator
            lhba_ = initialize_LogicalHBA(get_node(tag_at(adapter_ + "/iSCSIPhysicalHBA0", VEXO_NODE_GROUP)),
                                          nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, lhba_);
        disk_ = setup_target(lhba_, kDisk, nullptr, nullptr, nullptr, 0);
        node *other = setup_target(lhba_, kOther, nullptr, nullptr, nullptr, 0);
        ASSERT_NE(nullptr, disk_);
        ASSERT_NE(nullptr, other);
        ASSERT_NE(nullptr, setup_portal(disk_, "10.0.0.1", "3260", "0", nullptr, nullptr, nullptr));
        ASSERT_NE(nullptr, setup_portal(disk_, "10.0.0.2", "3260", "0", nullptr, nullptr, nullptr));
        ASSERT_NE(nullptr, setup_portal(other, "10.0.0.9", "3260", "0", nullptr, nullptr, nullptr));
        if (GetParam()) {
            node *s = setup_session(disk_, get_port_number(lhba_), 1, 0, nullptr, nullptr, nullptr, nullptr, "0");
            ASSERT_NE(nullptr, s);
            ASSERT_NE(nullptr, setup_connection(s, 101, nullptr, nullptr, nullptr, nullptr));
        }
        hlvdtest::write_file(file(), saved_text());
        clear_log(host_.root());
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }

    std::string key() { return adapter_ + ",iSCSIPhysicalHBA0,LogicalHBA0"; }
    std::string line(const char *name, const char *ip, const char *isid)
    {
        return key() + "," + name + "," + ip + ",3260," + isid + "," + kInitiator +
               ",Yes,Yes,None,None,None,,,,,Static,,,,True\n";
    }
    std::string disk_lines(const char *ip)
    {
        return std::strcmp(ip, "10.0.0.1") == 0 ? line(kDisk, "10.0.0.1", "") + line(kDisk, "10.0.0.1", "3")
                                                 : line(kDisk, "10.0.0.2", "");
    }
    std::string saved_text(bool first = true, bool second = true)
    {
        return (first ? disk_lines("10.0.0.1") : "") + line(kOther, "10.0.0.9", "") + line(kOther, "10.0.0.9", "4") +
               (second ? disk_lines("10.0.0.2") : "");
    }
    std::string file() { return host_.path("/etc/config/TAQ/vexo/savetgt.txt"); }

    struct Outcome {
        VEXO_status_t result, status;
    };
    Outcome action(const std::string &group, const char *name, const char *instance)
    {
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params);
        if (instance)
            std::snprintf(params[0], VEXO_VALUE_SIZE, "%s", instance);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
        Outcome o;
        o.result = VEXO_do_action(tag_at(group, VEXO_NODE_GROUP), tag_at(group + "/" + name, VEXO_NODE_ACTION), params,
                                  tags.data());
        o.status = last_status().first;
        return o;
    }
    // The firmware's persistent logins as "target@ip/qualifier".
    std::vector<std::string> persistent()
    {
        hlvdsim::Machine m;
        EXPECT_TRUE(hlvdsim::load_adapter(host_.root(), 0, m, nullptr));
        std::vector<std::string> out;
        for (const json &p : m.doc["adapters"][0]["functions"][0]["initiator"].value("persistent", json::array()))
            out.push_back(p.value("target", "") + "@" + p.value("ip", "") + "/" + std::to_string(p.value("isid", -1)));
        return out;
    }
    bool exists(const std::string &path) { return tag_at(path, VEXO_NODE_GROUP) >= 0; }

    SimHost host_{machine(GetParam())};
    std::string adapter_, lhba_path_;
    node *lhba_ = nullptr, *disk_ = nullptr;
    int start_ = 0;
};

TEST_P(TargetDeletes, UnknownInstanceGivesTwenty)
{
    const struct {
        const char *group, *action, *instance;
    } cases[] = {
        {"", "DeleteTarget", "7"},
        {"", "DeleteTarget", "256"},
        {"/Target0", "DeleteTargetPortal", nullptr},
        {"/Target0", "DeleteTargetPortal", "9"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.action) + " " + (c.instance ? c.instance : "(none)"));
        Outcome o = action(lhba_path_ + c.group, c.action, c.instance);
        EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
        EXPECT_EQ(VEXO_STATUS_INVALID_INSTANCE_NUM, o.status);
    }
    EXPECT_EQ(saved_text(), hlvdtest::read_file(file()));
}

TEST_P(TargetDeletes, TargetGoesWithItsLinesAndPersistentLogins)
{
    const bool open = GetParam();
    Outcome o = action(lhba_path_, "DeleteTarget", "0");
    if (open) {
        EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
        EXPECT_EQ(VEXO_STATUS_ACTIVE_SESSIONS_PRESENT, o.status);
        EXPECT_TRUE(exists(lhba_path_ + "/Target0"));
        EXPECT_EQ(saved_text(), hlvdtest::read_file(file()));
        EXPECT_EQ((std::vector<std::string>{std::string(kDisk) + "@10.0.0.1/3", std::string(kOther) + "@10.0.0.9/4"}),
                  persistent());
        return;
    }
    EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result);
    EXPECT_FALSE(exists(lhba_path_ + "/Target0"));
    EXPECT_TRUE(exists(lhba_path_ + "/Target1"));
    EXPECT_EQ(saved_text(false, false), hlvdtest::read_file(file()));
    // The adapter would log in to the deleted target again after a reboot.
    EXPECT_EQ(std::vector<std::string>{std::string(kOther) + "@10.0.0.9/4"}, persistent());
}

TEST_P(TargetDeletes, PortalGoesWithItsLinesAndPersistentLogins)
{
    const bool open = GetParam();
    // The second portal has no session in either case.
    Outcome o = action(lhba_path_ + "/Target0", "DeleteTargetPortal", "1");
    EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result);
    EXPECT_FALSE(exists(lhba_path_ + "/Target0/TargetPortal1"));
    EXPECT_EQ(saved_text(true, false), hlvdtest::read_file(file()));

    o = action(lhba_path_ + "/Target0", "DeleteTargetPortal", "0");
    EXPECT_EQ(open ? VEXO_STATUS_FAILURE : VEXO_STATUS_SUCCESS, o.result);
    EXPECT_EQ(open ? VEXO_STATUS_ACTIVE_SESSIONS_PRESENT : VEXO_STATUS_SUCCESS, o.status);
    EXPECT_EQ(open, exists(lhba_path_ + "/Target0/TargetPortal0"));
    EXPECT_TRUE(exists(lhba_path_ + "/Target0"));
    EXPECT_EQ(saved_text(open, false), hlvdtest::read_file(file()));
    EXPECT_EQ(open ? 2u : 1u, persistent().size());
}

TEST_P(TargetDeletes, KilledDeleteLeavesTheOldOrTheNewFile)
{
    std::string padding;
    for (int i = 0; i < 300; ++i)
        padding += line(("iqn.2001-04.com.example:pad" + std::to_string(i)).c_str(), "10.0.1.1", "");
    const std::string before = saved_text() + padding, after = saved_text(true, false) + padding;
    for (int round = 0; round < 12; ++round) {
        hlvdtest::write_file(file(), before);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            action(lhba_path_ + "/Target0", "DeleteTargetPortal", "1");
            _exit(0);
        }
        usleep(static_cast<useconds_t>(round * 2000));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        std::string now = hlvdtest::read_file(file());
        ASSERT_TRUE(now == before || now == after) << "round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(Session, TargetDeletes, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &i) { return i.param ? "Open" : "None"; });

// ---- adding ----

class TargetAdds : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        adapter_ = adapter_path("AW3TGT01");
        lhba_path_ = adapter_ + "/iSCSIPhysicalHBA0/LogicalHBA0";
        lhba_ = get_node(tag_at(lhba_path_, VEXO_NODE_GROUP));
        ASSERT_NE(nullptr, lhba_);
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }
    struct Outcome {
        VEXO_status_t result, status;
    };
    Outcome action(const std::string &group, const char *name, std::vector<const char *> given)
    {
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params);
        for (size_t i = 0; i < given.size(); ++i)
            if (given[i])
                std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", given[i]);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
        Outcome o;
        o.result = VEXO_do_action(tag_at(group, VEXO_NODE_GROUP), tag_at(group + "/" + name, VEXO_NODE_ACTION), params,
                                  tags.data());
        o.status = last_status().first;
        return o;
    }
    std::string saved() { return hlvdtest::read_file(host_.path("/etc/config/TAQ/vexo/savetgt.txt")); }
    std::vector<std::string> persistent()
    {
        hlvdsim::Machine m;
        EXPECT_TRUE(hlvdsim::load_adapter(host_.root(), 0, m, nullptr));
        std::vector<std::string> out;
        for (const json &p : m.doc["adapters"][0]["functions"][0]["initiator"].value("persistent", json::array()))
            out.push_back(p.value("target", "") + "@" + p.value("ip", "") + ":" +
                          std::to_string(p.value("port", -1)));
        return out;
    }
    int targets()
    {
        int n = 0;
        for (node *t = get_first_instance(lhba_, "Target"); t && vexo_is_instance(t);
             t = t->u.grp->multi_instance->next_instance)
            ++n;
        return n;
    }

    // No saved persistent login to start from.
    SimHost host_{[] {
        json m = json::parse(machine(false));
        m["adapters"][0]["functions"][0]["initiator"]["persistent"] = json::array();
        return m.dump();
    }()};
    std::string adapter_, lhba_path_;
    node *lhba_ = nullptr;
    int start_ = 0;
};

TEST_F(TargetAdds, TargetsAndPortalsAreAddedOnceInTreeFileAndFirmware)
{
    const std::string disk = kDisk, t0 = lhba_path_ + "/Target0";
    const struct {
        const char *group, *action;
        std::vector<const char *> params;
        int result, status;
        int targets, lines;
        std::vector<std::string> persistent;
    } steps[] = {
        // Without a port the portal is made on 3260.
        {"", "AddTarget", {kDisk, "10.0.0.1"}, 0, 0, 1, 2, {disk + "@10.0.0.1:3260"}},
        // Saved already: nothing more.
        {"", "AddTarget", {kDisk, "10.0.0.1", "3260"}, 0, 0, 1, 2, {disk + "@10.0.0.1:3260"}},
        {"", "AddTarget", {kDisk, "10.0.0.2", "3260"}, 1, VEXO_STATUS_DUPLICATE_TARGET_ENTRY, 1, 2,
         {disk + "@10.0.0.1:3260"}},
        {"/Target0", "AddTargetPortal", {"10.0.0.1"}, 1, VEXO_STATUS_PORTAL_FOUND, 1, 2, {disk + "@10.0.0.1:3260"}},
        {"/Target0", "AddTargetPortal", {"10.0.0.1", "3261"}, 0, 0, 1, 4,
         {disk + "@10.0.0.1:3260", disk + "@10.0.0.1:3261"}},
        {"", "AddTarget", {kDisk, "fe80::1"}, 1, VEXO_STATUS_IPV6_NOT_SUPPORTED, 1, 4,
         {disk + "@10.0.0.1:3260", disk + "@10.0.0.1:3261"}},
        // The adapter must not log in to a deleted target after a reboot.
        {"", "DeleteTarget", {"0"}, 0, 0, 0, 0, {}},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(std::string(s.action) + " " + s.params[0] + " " + (s.params.size() > 1 ? s.params[1] : ""));
        Outcome o = action(lhba_path_ + s.group, s.action, s.params);
        EXPECT_EQ(s.result, o.result);
        EXPECT_EQ(s.status, o.status);
        EXPECT_EQ(s.targets, targets());
        std::string text = saved();
        EXPECT_EQ(s.lines, static_cast<int>(std::count(text.begin(), text.end(), '\n'))) << text;
        EXPECT_EQ(s.persistent, persistent());
    }
}

TEST_F(TargetAdds, BootTargetWhileDhcpDiscoversThemAddsNothing)
{
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(lhba_path_ + "/Discovery/DiscoverBootTargetThruDHCP", "Enabled"));
    ASSERT_EQ("Enabled", value_at(lhba_path_ + "/Discovery/DiscoverBootTargetThruDHCP"));
    Outcome o = action(lhba_path_, "AddTarget", {kDisk, "10.0.0.1", "3260", "True"});
    EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
    EXPECT_EQ(VEXO_STATUS_DISCOVER_BOOT_TARGET_FAILED, o.status);
    EXPECT_EQ(0, targets());
    EXPECT_FALSE(hlvdtest::file_exists(host_.path("/etc/config/TAQ/vexo/savetgt.txt")));
    EXPECT_TRUE(persistent().empty());
}

TEST_F(TargetAdds, TableHoldsAHundredAndTwentyEightTargets)
{
    for (int i = 0; i < 127; ++i)
        ASSERT_NE(nullptr, setup_target(lhba_, ("iqn.2001-04.com.example:t" + std::to_string(i)).c_str(), nullptr,
                                        nullptr, nullptr, 0));
    Outcome o = action(lhba_path_, "AddTarget", {kDisk, "10.0.0.1"});
    EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result);
    o = action(lhba_path_, "AddTarget", {kOther, "10.0.0.1"});
    EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
    EXPECT_EQ(VEXO_STATUS_TGTTBL_FULL, o.status);
    EXPECT_EQ(128, targets());
}

} // namespace
