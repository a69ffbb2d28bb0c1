// Login and logout of iSCSI sessions through the Target's actions against a
// simulated initiator: the portal and ISID choice, the CHAP and digest
// attempt plan, the persistent logins kept in the firmware and the saved
// targets file, the logout, and the sessions the firmware restores after a
// reboot.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <cstring>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/iscsi_login.h"
#include "mgmt/aw/vexo-backend/iscsi_logout.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
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

const char kOpen[] = "iqn.2001-04.com.example:open";
const char kChap[] = "iqn.2001-04.com.example:chap";
const char kFar[] = "iqn.2001-04.com.example:far";
const char kDigest[] = "iqn.2001-04.com.example:digest";
const char kInitiator[] = "iqn.1998-01.com.example:host";
const char kLhba[] = "Arcwright0/iSCSIPhysicalHBA0/LogicalHBA0";

json machine()
{
    json m = json::parse(R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3LGN01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22" } ] } ] })");
    json init;
    init["name"] = kInitiator;
    init["targets"] = json::array({
        {{"id", 1}, {"name", kOpen}, {"luns", json::array({{{"number", 0}, {"capacity", 2048}, {"block_size", 512}, {"vendor", "TESTVEND"}, {"product", "VirtualDisk0123"}, {"serial", "SN-0"}}})}},
        {{"id", 2},
         {"name", kChap},
         {"chap", {{"method", "one-way"}, {"target_name", "ini"}, {"target_secret", "secret123456"}}}},
        {{"id", 3}, {"name", kFar}, {"unreachable", true}},
        {{"id", 4}, {"name", kDigest}, {"digest", {{"header", "none"}}}},
    });
    m["adapters"][0]["functions"][0]["initiator"] = init;
    return m;
}

struct Outcome {
    VEXO_status_t result;
    VEXO_status_t status;
};

class IscsiLogin : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        node *iscsi = get_node(tag_at("Arcwright0/iSCSIPhysicalHBA0", VEXO_NODE_GROUP));
        ASSERT_NE(nullptr, iscsi);
        lhba_ = get_node(tag_at(kLhba, VEXO_NODE_GROUP));
        if (!lhba_)
            lhba_ = initialize_LogicalHBA(iscsi, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, lhba_);
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }

    // A Target with portals 10.0.0.1:3260 (tag 1) and 10.0.0.2:3261 (tag 2)
    // and the given login levels.
    node *target(const char *name, const char *chap = "Prohibited", const char *header = "Prohibited",
                 const char *data = "Prohibited")
    {
        node *t = setup_target(lhba_, name, nullptr, nullptr, nullptr, 0);
        EXPECT_NE(nullptr, t);
        if (!t)
            return nullptr;
        EXPECT_NE(nullptr, setup_portal(t, "10.0.0.1", "3260", "1", nullptr, nullptr, nullptr));
        EXPECT_NE(nullptr, setup_portal(t, "10.0.0.2", "3261", "2", nullptr, nullptr, nullptr));
        node *opts = internal_get_node(t, "TargetLoginOptions", VEXO_NODE_GROUP);
        node *auth = internal_get_node(opts, "Authentication", VEXO_NODE_GROUP);
        set_prop_val(auth, "CHAPParam", "%s", chap);
        set_prop_val(opts, "HeaderParam", "%s", header);
        set_prop_val(opts, "DataParam", "%s", data);
        set_prop_val(opts, "HeaderDigest", "%s", "CRC32C");
        return t;
    }
    std::string path_of(node *t)
    {
        char name[VEXO_MAX_NAME_SIZE];
        vexo_display_name(t, name);
        return std::string(kLhba) + "/" + name;
    }
    Outcome action(node *t, const char *name, std::vector<std::string> given = {})
    {
        // A parameter left out (or given empty) is absent.
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
        for (size_t i = 0; i < VEXO_MAX_PARAMS; ++i)
            if (i < given.size() && !given[i].empty())
                std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", given[i].c_str());
            else
                params[i][0] = static_cast<char>(VEXO_PARAM_ABSENT);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
        std::string p = path_of(t);
        Outcome o;
        o.result = VEXO_do_action(tag_at(p, VEXO_NODE_GROUP), tag_at(p + "/" + name, VEXO_NODE_ACTION), params,
                                  tags.data());
        o.status = last_status().first;
        return o;
    }
    Outcome login(node *t, std::vector<std::string> given = {}) { return action(t, "Login", given); }

    json initiator()
    {
        hlvdsim::Machine m;
        EXPECT_TRUE(hlvdsim::load_adapter(host_.root(), 0, m, nullptr));
        return m.doc["adapters"][0]["functions"][0]["initiator"];
    }
    void change_initiator(const std::function<void(json &)> &edit)
    {
        hlvdsim::Machine m;
        ASSERT_TRUE(hlvdsim::load_adapter(host_.root(), 0, m, nullptr));
        edit(m.doc["adapters"][0]["functions"][0]["initiator"]);
        ASSERT_TRUE(hlvdsim::save_adapter(host_.root(), 0, m, nullptr));
    }
    std::string savetgt() { return hlvdtest::read_file(host_.path("/etc/config/TAQ/vexo/savetgt.txt")); }
    std::string prop(node *group, const char *name)
    {
        char v[VEXO_VALUE_SIZE] = "";
        return internal_get_property(group, name, v) == VEXO_STATUS_SUCCESS ? v : "error";
    }

    SimHost host_{machine().dump()};
    node *lhba_ = nullptr;
    int start_ = 0;
};

int count_commands(const std::string &root, int subsystem, int opcode)
{
    int n = 0;
    for (const auto &c : fw_commands(root))
        n += c.first == subsystem && c.second == opcode;
    return n;
}

TEST_F(IscsiLogin, AddAndDeletePersistentLoginsKeepFirmwareAndFileInStep)
{
    node *t = target(kOpen);
    ASSERT_NE(nullptr, t);
    ASSERT_EQ(0, make_session_persistent(t, "10.0.0.1", "3260", 5, nullptr, "True", kInitiator, 0));
    // Again: the firmware keeps duplicates, the file holds one line.
    ASSERT_EQ(0, make_session_persistent(t, "10.0.0.1", "3260", 5, nullptr, "True", kInitiator, 0));
    json p = initiator()["persistent"];
    ASSERT_EQ(2u, p.size());
    EXPECT_EQ(0x140, p[0]["flags"]);
    EXPECT_EQ(5, p[0]["isid"]);
    EXPECT_EQ(0xFFFFFFFFu, p[0]["eto"].get<uint32_t>());
    std::string file = savetgt();
    EXPECT_NE(std::string::npos, file.find(std::string(kOpen) + ",10.0.0.1,3260,5," + kInitiator + ","));
    EXPECT_EQ(1, std::count(file.begin(), file.end(), '\n'));
    EXPECT_EQ(",True\n", file.substr(file.size() - 6));

    ASSERT_EQ(0, make_session_persistent(t, "10.0.0.2", "3261", 6, nullptr, "False", kInitiator, 30));
    EXPECT_EQ(0x40, initiator()["persistent"][2]["flags"]);
    EXPECT_EQ(30, initiator()["persistent"][2]["eto"]);

    EXPECT_EQ(0, delete_persistent(get_port_number(t), 0, 0, t, kOpen, "10.0.0.1", "3260", 5, kInitiator, 0));
    EXPECT_EQ(1u, initiator()["persistent"].size());
    EXPECT_EQ(std::string::npos, savetgt().find(",3260,5,"));
    EXPECT_NE(std::string::npos, savetgt().find(",3261,6,"));

    // The firmware no longer knows it: status 127, the file stays.
    EXPECT_NE(0, delete_persistent(get_port_number(t), 0, 0, t, kOpen, "10.0.0.2", "3261", 9, kInitiator, 0));
    EXPECT_EQ(VEXO_STATUS_DEL_PERSIST_FAILED, last_status().first);
    EXPECT_NE(std::string::npos, savetgt().find(",3261,6,"));
}

node *newest_session(node *t)
{
    node *last = nullptr;
    for (node *s = get_first_instance(t, "Session"); s && vexo_is_instance(s) && s->u.grp->multi_instance->instance != -1;
         s = s->u.grp->multi_instance->next_instance)
        last = s;
    return last;
}

TEST_F(IscsiLogin, PortalIsPortalZeroOrTheOneOfTheGivenAddress)
{
    node *t = target(kOpen);
    ASSERT_NE(nullptr, t);
    const struct {
        std::vector<std::string> params;
        int result;
        VEXO_status_t status;
        const char *dest_ip, *dest_port;
    } cases[] = {
        {{}, 0, VEXO_STATUS_SUCCESS, "10.0.0.1", "3260"},
        {{"", "3261"}, 1, VEXO_STATUS_PORTAL_NOT_FOUND, nullptr, nullptr},
        {{"10.0.0.2", ""}, 0, VEXO_STATUS_SUCCESS, "10.0.0.2", "3261"},
        {{"10.0.0.2", "3260"}, 1, VEXO_STATUS_PORTAL_NOT_FOUND, nullptr, nullptr},
        {{"10.0.0.9", "3260"}, 1, VEXO_STATUS_PORTAL_NOT_FOUND, nullptr, nullptr},
    };
    for (const auto &c : cases) {
        std::string what = c.params.empty() ? "none" : c.params[0] + ":" + c.params[1];
        Outcome o = login(t, c.params);
        EXPECT_EQ(c.result, static_cast<int>(o.result)) << what;
        EXPECT_EQ(c.status, o.status) << what;
        if (!c.dest_ip)
            continue;
        node *conn = get_first_instance(newest_session(t), "Connection");
        EXPECT_EQ(c.dest_ip, prop(conn, "DestinationIPAddress")) << what;
        EXPECT_EQ(c.dest_port, prop(conn, "DestinationPortNumber")) << what;
    }
    node *bare = setup_target(lhba_, "iqn.2001-04.com.example:bare", nullptr, nullptr, nullptr, 0);
    ASSERT_NE(nullptr, bare);
    EXPECT_EQ(VEXO_STATUS_PORTAL_NOT_FOUND, login(bare).status);
}

TEST_F(IscsiLogin, SuccessfulLoginBuildsSessionLunsAndPersistentLogin)
{
    node *t = target(kOpen);
    ASSERT_NE(nullptr, t);
    Outcome o = login(t);
    ASSERT_EQ(0, o.result);
    node *s = get_first_instance(t, "Session");
    ASSERT_NE(nullptr, s);
    ASSERT_NE(nullptr, get_first_instance(s, "Connection"));
    EXPECT_EQ("Open", prop(s, "SessionStatus"));
    EXPECT_EQ("0000", prop(s, "ISIDQualifier"));
    EXPECT_EQ(kInitiator, prop(s, "SessionInitiatorName"));
    EXPECT_EQ("True", prop(s, "Persistent"));
    EXPECT_NE(nullptr, get_first_instance(t, "LUN"));
    EXPECT_EQ("N/A", prop(t, "ETO")); // served through the driver's callback
    json p = initiator()["persistent"];
    ASSERT_EQ(1u, p.size());
    EXPECT_EQ(0x40, p[0]["flags"]);
    EXPECT_EQ(0, p[0]["isid"]);
    EXPECT_NE(std::string::npos, savetgt().find(std::string(kOpen) + ",10.0.0.1,3260,0,"));
}

TEST_F(IscsiLogin, IsidQualifierRules)
{
    node *t = target(kOpen);
    ASSERT_NE(nullptr, t);
    // No session yet: the given qualifier is not used.
    ASSERT_EQ(0, login(t, {"10.0.0.1", "3260", "", "5"}).result);
    EXPECT_EQ("0000", prop(newest_session(t), "ISIDQualifier"));
    const struct {
        const char *isid;
        int result;
        VEXO_status_t status;
        const char *qualifier;
    } cases[] = {
        {"5", 0, VEXO_STATUS_SUCCESS, "0005"},
        {"5", 1, VEXO_STATUS_ISID_ALREADY_IN_USE, nullptr},
        {"0x1f", 0, VEXO_STATUS_SUCCESS, "001f"},
        {"", 0, VEXO_STATUS_SUCCESS, "0001"},
    };
    for (const auto &c : cases) {
        Outcome o = login(t, {"10.0.0.2", "3261", "", c.isid});
        EXPECT_EQ(c.result, static_cast<int>(o.result)) << c.isid;
        EXPECT_EQ(c.status, o.status) << c.isid;
        if (c.qualifier) {
            EXPECT_EQ(c.qualifier, prop(newest_session(t), "ISIDQualifier")) << c.isid;
        }
    }
}

TEST_F(IscsiLogin, ClosedSessionToThePortalIsReused)
{
    node *t = target(kOpen);
    ASSERT_NE(nullptr, t);
    ASSERT_EQ(0, login(t, {"10.0.0.1", "3260", "", "", "", ""}).result);
    ASSERT_EQ(0, login(t, {"10.0.0.1", "3260", "", "7", "", ""}).result);
    node *closed = newest_session(t);
    change_initiator([](json &ini) { ini["sessions"][1]["status"] = 0x20; });
    ASSERT_EQ("Closed", prop(closed, "SessionStatus"));
    ASSERT_EQ(0, login(t).result);
    EXPECT_EQ(closed, newest_session(t)) << "no new Session node";
    EXPECT_EQ("0007", prop(closed, "ISIDQualifier"));
    EXPECT_EQ("Open", prop(closed, "SessionStatus"));
    EXPECT_EQ(2u, initiator()["sessions"].size());
}

TEST_F(IscsiLogin, ChapAndDigestAttemptPlan)
{
    const struct {
        const char *name, *chap, *header, *data;
        int result;
        VEXO_status_t status;
        int attempts;
    } cases[] = {
        // Wrong secret: CHAP with and without the header digest, then no CHAP twice.
        {kChap, "Preferred", "Preferred", "Prohibited", 1, VEXO_STATUS_AUTHENTICATION_FAILURE, 4},
        // A refusal other than authentication or digest ends the plan at once.
        {kFar, "Preferred", "Preferred", "Prohibited", 1, VEXO_STATUS_LOGIN_FAILED, 1},
        // The digest is refused, the login without it is accepted.
        {kDigest, "Prohibited", "Preferred", "Prohibited", 0, VEXO_STATUS_SUCCESS, 2},
        {kDigest, "Prohibited", "Prohibited", "Prohibited", 0, VEXO_STATUS_SUCCESS, 1},
        {kOpen, "Sometimes", "Prohibited", "Prohibited", 1, VEXO_STATUS_SUCCESS, 0},
    };
    for (const auto &c : cases) {
        std::string what = std::string(c.name) + " " + c.chap + "/" + c.header;
        node *t = find_target(lhba_, c.name);
        if (!t)
            t = target(c.name);
        node *opts = internal_get_node(t, "TargetLoginOptions", VEXO_NODE_GROUP);
        node *auth = internal_get_node(opts, "Authentication", VEXO_NODE_GROUP);
        set_prop_val(auth, "CHAPParam", "%s", c.chap);
        set_prop_val(opts, "HeaderParam", "%s", c.header);
        set_prop_val(opts, "DataParam", "%s", c.data);
        set_prop_val(auth, "AuthenticationMethod", "%s", "One-Way CHAP");
        set_prop_val(auth, "TargetCHAPName", "%s", "ini");
        set_prop_val(auth, "TargetSecret", "%s", "wrongsecret12");
        size_t persistent = initiator().value("persistent", json::array()).size();
        clear_log(host_.root());
        Outcome o = login(t);
        EXPECT_EQ(c.result, static_cast<int>(o.result)) << what;
        EXPECT_EQ(c.status, o.status) << what;
        EXPECT_EQ(c.attempts, count_commands(host_.root(), 6, 23)) << what;
        // Exactly the successful attempt's persistent login remains.
        EXPECT_EQ(persistent + (c.result == 0 ? 1 : 0), initiator().value("persistent", json::array()).size())
            << what;
        EXPECT_EQ(c.attempts > 0 ? c.attempts : 0, count_commands(host_.root(), 6, 27)) << what;
    }
    // The retry carried a fresh qualifier: the digest target's first session
    // was opened by its second attempt.
    EXPECT_EQ("0001", prop(get_first_instance(find_target(lhba_, kDigest), "Session"), "ISIDQualifier"));
}

TEST_F(IscsiLogin, ChapTargetWantsTheRightSecret)
{
    node *t = target(kChap, "Prohibited");
    ASSERT_NE(nullptr, t);
    node *opts = internal_get_node(t, "TargetLoginOptions", VEXO_NODE_GROUP);
    node *auth = internal_get_node(opts, "Authentication", VEXO_NODE_GROUP);
    set_prop_val(auth, "AuthenticationMethod", "%s", "One-Way CHAP");
    set_prop_val(auth, "TargetCHAPName", "%s", "ini");
    const struct {
        const char *chap, *secret;
        int result;
        VEXO_status_t status;
    } cases[] = {
        {"Prohibited", "secret123456", 1, VEXO_STATUS_AUTHENTICATION_FAILURE},
        {"Required", "secret123457", 1, VEXO_STATUS_AUTHENTICATION_FAILURE},
        {"Required", "secret123456", 0, VEXO_STATUS_SUCCESS},
    };
    for (const auto &c : cases) {
        set_prop_val(auth, "CHAPParam", "%s", c.chap);
        set_prop_val(auth, "TargetSecret", "%s", c.secret);
        Outcome o = login(t);
        EXPECT_EQ(c.result, static_cast<int>(o.result)) << c.chap << " " << c.secret;
        EXPECT_EQ(c.status, o.status) << c.chap << " " << c.secret;
    }
    EXPECT_EQ(1u, initiator()["sessions"].size());
    EXPECT_EQ(1u, initiator()["persistent"].size());
    std::string file = savetgt();
    EXPECT_EQ(1, std::count(file.begin(), file.end(), '\n')) << file;
}

TEST_F(IscsiLogin, SixtyFifthSessionIsRefused)
{
    node *t = target(kOpen);
    ASSERT_NE(nullptr, t);
    for (int i = 0; i < 64; ++i) {
        node *s = setup_session(t, get_port_number(t), 500 + i, 0, nullptr, nullptr, nullptr, nullptr, "1");
        ASSERT_NE(nullptr, s) << i;
    }
    clear_log(host_.root());
    Outcome o = login(t);
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_SESSION_COUNT_EXCEEDED, o.status);
    EXPECT_EQ(0, count_commands(host_.root(), 6, 23));
}

TEST_F(IscsiLogin, LogoutRemovesSessionAndItsPersistentLogin)
{
    node *t = target(kOpen);
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(VEXO_STATUS_NO_ACTIVE_SESSIONS, action(t, "Logout").status);
    ASSERT_EQ(0, login(t).result);
    ASSERT_EQ(0, login(t, {"10.0.0.2", "3261"}).result);
    const struct {
        const char *instance;
        int refusals;
        int result;
        VEXO_status_t status;
        size_t sessions_left;
    } cases[] = {
        {"7", 0, 1, VEXO_STATUS_INVALID_INSTANCE_NUM, 2},
        {"", 3, 1, VEXO_STATUS_CONNECTION_FAILED, 2}, // refused three times: nodes stay
        {"", 2, 0, VEXO_STATUS_SUCCESS, 1},           // accepted at the third try
        {"1", 0, 0, VEXO_STATUS_SUCCESS, 0},
    };
    for (const auto &c : cases) {
        int n = c.refusals;
        change_initiator([n](json &ini) { ini["logout_refusals"] = n; });
        clear_log(host_.root());
        Outcome o = action(t, "Logout", {c.instance});
        EXPECT_EQ(c.result != 0, o.result != 0) << c.instance << "/" << c.refusals;
        EXPECT_EQ(c.status, o.status) << c.instance << "/" << c.refusals;
        EXPECT_EQ(c.sessions_left, initiator()["sessions"].size());
        EXPECT_EQ(c.sessions_left, initiator()["persistent"].size());
        EXPECT_EQ(c.refusals ? std::min(c.refusals + 1, 3) : (c.result ? 0 : 1), count_commands(host_.root(), 6, 24));
    }
    EXPECT_EQ(nullptr, get_first_instance(t, "Session"));
    EXPECT_EQ("", savetgt());
}

TEST_F(IscsiLogin, OpenBootSessionCannotBeLoggedOut)
{
    node *t = target(kOpen);
    ASSERT_NE(nullptr, t);
    ASSERT_EQ(0, login(t).result);
    // The firmware's session flags say it boots; the property reads them.
    change_initiator([](json &ini) { ini["sessions"][0]["flags"] = 0x100; });
    Outcome o = action(t, "Logout");
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_CANNOT_LOGOUT, o.status);
    EXPECT_EQ(1u, initiator()["sessions"].size());
}

TEST_F(IscsiLogin, PersistentLoginComesBackAfterReboot)
{
    node *t = target(kOpen);
    ASSERT_NE(nullptr, t);
    ASSERT_EQ(0, login(t, {"10.0.0.2", "3261"}).result);
    change_initiator([](json &ini) { ini["sessions"] = json::array(); });
    ASSERT_TRUE(hlvdsim::reboot_adapters(host_.root(), "", nullptr, nullptr));
    json s = initiator()["sessions"];
    ASSERT_EQ(1u, s.size());
    EXPECT_EQ(kOpen, s[0]["target"]);
    EXPECT_EQ("00023d000000", s[0]["isid"]);
    EXPECT_EQ("10.0.0.2", s[0]["connection"]["dest_ip"]);
    EXPECT_EQ(3261, s[0]["connection"]["dest_port"]);
    EXPECT_EQ(1, s[0]["status"]);
}

} // namespace
