// A persistent login across a back-end restart and an adapter reboot: the
// firmware logs in again by itself and the next start shows the session; a
// second start in the same process after login, logout and CHAP actions, and
// one on a host that replaced the first.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
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

using namespace backendtest;
using json = nlohmann::json;

namespace
{

const char kSerial[] = "RBOT0001";
const char kPlain[] = "iqn.2001-04.com.example:plain";
const char kMutual[] = "iqn.2001-04.com.example:mutual";
const char kInitiator[] = "iqn.1998-01.com.example:host";

// One iSCSI function with a static address, a plain target and one that
// wants mutual CHAP; the firmware knows no portal of either yet.
std::string machine()
{
    json m = json::parse(R"({ "adapters": [
  { "name": "a", "family": "converged", "serial": "RBOT0001", "generation": "Trelmont",
    "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
    "functions": [
      { "bus": 5, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0722", "port": 0,
        "mac": "00:00:C9:B5:00:02",
        "tcpip": { "if_handle": 7, "addresses": [ { "type": 1, "ip": "10.1.1.5", "mask": "255.255.255.0" } ] } }
    ] } ] })");
    json init;
    init["name"] = kInitiator;
    init["targets"] = json::array({
        {{"id", 1}, {"name", kPlain}},
        {{"id", 2},
         {"name", kMutual},
         {"chap",
          {{"method", "mutual"},
           {"initiator_name", "ini"},
           {"initiator_secret", "inisecret123"},
           {"target_name", "tgt"},
           {"target_secret", "tgtsecret123"}}}},
    });
    m["adapters"][0]["functions"][0]["initiator"] = init;
    return m.dump();
}

struct Outcome {
    VEXO_status_t result;
    VEXO_status_t status;
};

class Reboot : public ::testing::Test
{
protected:
    void SetUp() override { host_.reset(new hlvdtest::SimHost(machine())); }
    // The back end's start on the host as it is.
    void boot()
    {
        count_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        started_ = true;
        node *phba = get_node(tag_at(adapter_path(kSerial) + "/iSCSIPhysicalHBA0", VEXO_NODE_GROUP));
        ASSERT_NE(nullptr, phba);
        lhba_ = get_first_instance(phba, "LogicalHBA");
        ASSERT_NE(nullptr, lhba_);
    }
    void stop()
    {
        if (!started_)
            return;
        started_ = false;
        lhba_ = nullptr;
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(count_, vexo_counter) << "counted memory left behind";
    }
    void TearDown() override { stop(); }

    // An action of `group`; a parameter given empty is absent.
    Outcome act(node *group, const char *name, const std::vector<std::string> &given = {})
    {
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
        for (size_t i = 0; i < VEXO_MAX_PARAMS; ++i)
            if (i < given.size() && !given[i].empty())
                std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", given[i].c_str());
            else
                params[i][0] = static_cast<char>(VEXO_PARAM_ABSENT);
        node *a = group ? internal_get_node(group, name, VEXO_NODE_ACTION) : nullptr;
        EXPECT_NE(nullptr, a) << name;
        if (!a)
            return {VEXO_STATUS_FAILURE, VEXO_STATUS_FAILURE};
        vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        Outcome o;
        o.result = VEXO_do_action(group->node_tag, a->node_tag, params, tags.data());
        o.status = last_status().first;
        return o;
    }
    // The Target `name` as the back end found it at start.
    // The Target `name` with its portal 10.0.0.1:3260, as a user adds it.
    node *target(const char *name)
    {
        node *t = find_target(lhba_, name);
        if (!t)
            t = setup_target(lhba_, name, nullptr, nullptr, nullptr, 0);
        if (t && !find_target_portal(t, "10.0.0.1", "3260"))
            setup_portal(t, "10.0.0.1", "3260", "1", nullptr, nullptr, nullptr);
        return t;
    }
    static node *auth_of(node *t)
    {
        return internal_get_node(internal_get_node(t, "TargetLoginOptions", VEXO_NODE_GROUP), "Authentication",
                                 VEXO_NODE_GROUP);
    }
    static std::string prop(node *group, const char *name)
    {
        char v[VEXO_VALUE_SIZE] = "";
        return group && internal_get_property(group, name, v) == VEXO_STATUS_SUCCESS ? v : "error";
    }
    json initiator()
    {
        hlvdsim::Machine m;
        EXPECT_TRUE(hlvdsim::load_adapter(host_->root(), 0, m, nullptr));
        return m.doc["adapters"][0]["functions"][0]["initiator"];
    }
    // What `hlvdsim reboot` does to the machine.
    void reboot()
    {
        std::string err;
        ASSERT_TRUE(hlvdsim::reboot_adapters(host_->root(), "", nullptr, &err)) << err;
    }

    std::unique_ptr<hlvdtest::SimHost> host_;
    node *lhba_ = nullptr;
    int count_ = 0;
    bool started_ = false;
};

TEST_F(Reboot, PersistentLoginIsASessionAgainAfterAdapterReboot)
{
    boot();
    node *t = target(kPlain);
    ASSERT_NE(nullptr, t);
    Outcome o = act(t, "Login", {"10.0.0.1", "3260"});
    ASSERT_EQ(0, static_cast<int>(o.result)) << o.status;
    ASSERT_EQ(1u, initiator()["persistent"].size());
    stop();

    reboot();
    json sessions = initiator()["sessions"];
    ASSERT_EQ(1u, sessions.size()) << "the firmware logged in again";
    EXPECT_EQ(kPlain, sessions[0].value("target", ""));

    // Nodes found before the exit went with the tree: look them up again.
    boot();
    t = find_target(lhba_, kPlain);
    ASSERT_NE(nullptr, t) << "the firmware's target is in the tree at start";
    node *s = get_first_instance(t, "Session");
    ASSERT_NE(nullptr, s) << "the session the firmware opened is below its Target";
    EXPECT_EQ("True", prop(s, "Persistent"));
    EXPECT_EQ("False", prop(s, "iSCSIBoot"));
    EXPECT_EQ(kInitiator, prop(s, "SessionInitiatorName"));
    node *c = get_first_instance(s, "Connection");
    ASSERT_NE(nullptr, c);
    EXPECT_EQ("10.0.0.1", prop(c, "DestinationIPAddress"));
    EXPECT_EQ("3260", prop(c, "DestinationPortNumber"));
    EXPECT_EQ(nullptr, get_first_instance(target(kMutual), "Session"));
    // The rebuilt session holds the firmware's handle: it logs out.
    o = act(t, "Logout");
    EXPECT_EQ(0, static_cast<int>(o.result)) << o.status;
    EXPECT_EQ(nullptr, get_first_instance(t, "Session"));
    EXPECT_TRUE(initiator()["sessions"].empty());
}

TEST_F(Reboot, SecondStartAfterLoginLogoutAndChapIsSound)
{
    boot();
    node *plain = target(kPlain), *mutual = target(kMutual);
    ASSERT_NE(nullptr, plain);
    ASSERT_NE(nullptr, mutual);
    ASSERT_EQ(0, static_cast<int>(act(plain, "Login", {"10.0.0.1", "3260"}).result));
    ASSERT_EQ(0, static_cast<int>(act(plain, "Logout").result));
    Outcome o = act(auth_of(mutual), "ConfigureCHAP", {"Mutual CHAP", "ini", "inisecret123", "tgt", "tgtsecret123"});
    ASSERT_EQ(0, static_cast<int>(o.result)) << o.status;
    o = act(mutual, "Login", {"10.0.0.1", "3260"});
    ASSERT_EQ(0, static_cast<int>(o.result)) << o.status;
    ASSERT_NE(nullptr, get_first_instance(mutual, "Session"));
    stop();

    // The same host, started again in this process; nodes found before the
    // exit went with the tree and are looked up again.
    boot();
    mutual = find_target(lhba_, kMutual);
    ASSERT_NE(nullptr, mutual);
    node *s = get_first_instance(mutual, "Session");
    ASSERT_NE(nullptr, s) << "the session is still open in the firmware";
    EXPECT_EQ("Mutual CHAP", prop(auth_of(mutual), "AuthenticationMethod"));
    EXPECT_EQ(nullptr, get_first_instance(target(kPlain), "Session"));
    // The restarted tree works: the session logs out and is gone.
    o = act(mutual, "Logout");
    EXPECT_EQ(0, static_cast<int>(o.result)) << o.status;
    EXPECT_EQ(nullptr, get_first_instance(mutual, "Session"));
    EXPECT_TRUE(initiator()["sessions"].empty());
}

// A host replaced between exit and start: the new one is built before the
// old one goes, and the next start must run on the new one.
TEST_F(Reboot, StartOnAReplacingHostSeesThatHost)
{
    boot();
    ASSERT_EQ(0, static_cast<int>(act(target(kPlain), "Login", {"10.0.0.1", "3260"}).result));
    stop();

    host_.reset(new hlvdtest::SimHost(machine()));
    ASSERT_NE(nullptr, getenv("HLVD_SYSROOT"));
    EXPECT_EQ(host_->root(), getenv("HLVD_SYSROOT"));
    boot();
    EXPECT_EQ(nullptr, find_target(lhba_, kPlain)) << "nothing of the old host's login";
    EXPECT_TRUE(initiator()["sessions"].empty());
}

} // namespace
