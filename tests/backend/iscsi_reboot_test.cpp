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
#include "iscsi_fixture.h"
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
using namespace iscsitest;
using json = nlohmann::json;

namespace
{

const char kSerial[] = "RBOT0001";

// The shared two-target machine; the firmware knows no portal of either
// target yet.
std::string machine()
{
    return two_target_machine(kSerial, "Trelmont", "0x0722").dump();
}

class Reboot : public IscsiHost
{
protected:
    void SetUp() override { host_.reset(new hlvdtest::SimHost(machine())); }
    void boot() { IscsiHost::boot(kSerial, false); }

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
    // What `hlvdsim reboot` does to the machine.
    void reboot()
    {
        std::string err;
        ASSERT_TRUE(hlvdsim::reboot_adapters(host_->root(), "", nullptr, &err)) << err;
    }
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
