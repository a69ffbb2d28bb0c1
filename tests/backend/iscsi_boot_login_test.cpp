// Boot sessions on a simulated iSCSI function: the boot entry a boot login
// writes on Trelmont (and not on AW3), a closed boot session whose entry
// cannot be removed, and the TCP/IP guard of a boot session.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <functional>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "boot_fixture.h"
#include "iscsi_fixture.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/fault_plan.h"
#include "sim/flash_model.h"
#include "sim/machine.h"
#include "support/sim_host.h"

using namespace backendtest;
using namespace iscsitest;
using json = nlohmann::json;

namespace
{

const char kSerial[] = "BLGN0001";
const char kOneWay[] = "iqn.2001-04.com.example:oneway";

struct Generation {
    const char *name, *device_id;
};
const Generation kTrelmont = {"Trelmont", "0x0722"};
const Generation kAw3 = {"AW3", "0x0712"};

// One iSCSI function with a static address, a plain target and one that
// wants mutual CHAP and one that wants one-way CHAP; region 3 holds a
// foreign entry.
std::string machine(const Generation &g, bool foreign_entry = true)
{
    json m = two_target_machine(kSerial, g.name, g.device_id);
    json &a = m["adapters"][0];
    if (foreign_entry)
        a["iscsi_regions"]["/iscsidata/Port0/Instance0/Region3"] = boottest::kRegion3;
    a["functions"][0]["initiator"]["targets"].push_back(
        json{{"id", 3},
             {"name", kOneWay},
             {"chap", {{"method", "one-way"}, {"target_name", "tgt1"}, {"target_secret", "tgtsecret456"}}}});
    return m.dump();
}

struct BootRow;

class BootLogin : public IscsiHost
{
protected:
    void start(const Generation &g, bool foreign_entry = true)
    {
        foreign_ = foreign_entry;
        host_.reset(new hlvdtest::SimHost(machine(g, foreign_entry)));
        boot(kSerial, true);
        if (started_)
            network_ = adapter_path(kSerial) + "/iSCSIPhysicalHBA0/Network/TCPIPConfiguration";
    }
    // A refusal a test planned must not reach the back end's exit.
    void TearDown() override
    {
        if (started_)
            hlvdsim::fault_clear(host_->root());
        stop();
    }
    void boot_login(const BootRow &r);

    // The Target `name` with portals 10.0.0.1:3260 and 10.0.0.2:3261 and no
    // CHAP or digest attempts unless configured.
    node *target(const char *name)
    {
        node *t = find_target(lhba_, name);
        if (!t)
            t = setup_target(lhba_, name, nullptr, nullptr, nullptr, 0);
        if (!t)
            return nullptr;
        if (!get_first_instance(t, "TargetPortal")) {
            setup_portal(t, "10.0.0.1", "3260", "1", nullptr, nullptr, nullptr);
            setup_portal(t, "10.0.0.2", "3261", "2", nullptr, nullptr, nullptr);
        }
        node *opts = internal_get_node(t, "TargetLoginOptions", VEXO_NODE_GROUP);
        set_prop_val(opts, "HeaderParam", "%s", "Prohibited");
        set_prop_val(opts, "DataParam", "%s", "Prohibited");
        return t;
    }
    // Login to portal `portal` (0 or 1) with BootTarget `boot`.
    Outcome login(node *t, int portal, const char *boot = "", const char *priority = "")
    {
        return act(t, "Login", {portal ? "10.0.0.2" : "10.0.0.1", "", "", "", boot, priority});
    }
    void change_initiator(const std::function<void(json &)> &edit)
    {
        hlvdsim::Machine m;
        ASSERT_TRUE(hlvdsim::load_adapter(host_->root(), 0, m, nullptr));
        edit(m.doc["adapters"][0]["functions"][0]["initiator"]);
        ASSERT_TRUE(hlvdsim::save_adapter(host_->root(), 0, m, nullptr));
    }
    // The sim session of ISID qualifier `q`; null json when there is none.
    json sim_session(int q)
    {
        char isid[16];
        std::snprintf(isid, sizeof isid, "00023d00%04x", q);
        for (const json &s : initiator().value("sessions", json::array()))
            if (s.value("isid", "") == isid)
                return s;
        return json();
    }
    void close_session(int q)
    {
        char isid[16];
        std::snprintf(isid, sizeof isid, "00023d00%04x", q);
        change_initiator([&](json &ini) {
            for (json &s : ini["sessions"])
                if (s.value("isid", "") == isid)
                    s["status"] = 0x20;
        });
    }
    std::vector<std::vector<int>> boot_entries()
    {
        hlvdsim::Machine m;
        EXPECT_TRUE(hlvdsim::load_machine(host_->root(), m, nullptr));
        std::vector<uint8_t> r;
        hlvdsim::iscsi_region_contents(m, host_->root(), 0, "/iscsidata/Port0/Instance0/Region3", r);
        boottest::Entries e = boottest::entries(r);
        EXPECT_EQ(foreign_ ? std::vector<int>{0x20} : std::vector<int>{}, e.others) << "the foreign entry stays";
        return e.boot;
    }
    int sent(int subsystem, int opcode)
    {
        int n = 0;
        for (const auto &c : fw_commands(host_->root()))
            n += c.first == subsystem && c.second == opcode;
        return n;
    }
    void refuse(int subsystem, int opcode)
    {
        plan_status(host_->root(), subsystem, opcode, 2, 75, true);
    }
    std::string savetgt() { return hlvdtest::read_file(host_->path("/etc/config/TAQ/vexo/savetgt.txt")); }
    // The saved-targets line of the persistent login with qualifier `q`.
    std::string persistent_line(const char *target, int q)
    {
        std::string file = savetgt(), key = std::string(target) + "," + (q ? "10.0.0.2,3261," : "10.0.0.1,3260,") +
                                                std::to_string(q) + ",";
        size_t at = file.find(key);
        if (at == std::string::npos)
            return "";
        size_t begin = file.rfind('\n', at);
        begin = begin == std::string::npos ? 0 : begin + 1;
        return file.substr(begin, file.find('\n', at) - begin);
    }

    // The CHAP writers rewrite savetgt.txt, which a host that saved a
    // target has; a rewrite of a missing file fails.
    void saved_targets_file() { hlvdtest::write_file(host_->path("/etc/config/TAQ/vexo/savetgt.txt"), ""); }
    Outcome configure_chap(node *t, const char *method, const char *iname, const char *isecret, const char *tname,
                           const char *tsecret)
    {
        return act(auth_of(t), "ConfigureCHAP", {method, iname, isecret, tname, tsecret});
    }
    // The firmware's persistent logins of `target` with qualifier `q` (any: -1).
    std::vector<json> persistent(const char *target, int q = -1)
    {
        std::vector<json> out;
        for (const json &p : initiator().value("persistent", json::array()))
            if (p.value("target", "") == target && (q < 0 || p.value("isid", -1) == q))
                out.push_back(p);
        return out;
    }
    static std::string hex(const std::string &text)
    {
        std::string out = "0x";
        char two[3];
        for (unsigned char c : text) {
            std::snprintf(two, sizeof two, "%02x", c);
            out += two;
        }
        return out;
    }
    // The target secret the firmware keeps for the persistent login `q` (any: -1).
    std::string kept_secret(const char *target, int q = -1)
    {
        std::vector<json> p = persistent(target, q);
        if (p.size() != 1)
            return "entries: " + std::to_string(p.size());
        return p[0]["chap"].value("target_secret", "");
    }
    // Two sessions of the mutual-CHAP target, q0 closed and q1 open.
    void closed_and_open(node **t)
    {
        start(kAw3);
        *t = target(kMutual);
        ASSERT_NE(nullptr, *t);
        saved_targets_file();
        ASSERT_EQ(0, configure_chap(*t, "Mutual CHAP", "ini", "inisecret123", "tgt", "tgtsecret123").result);
        ASSERT_EQ(0, login(*t, 0).result);
        ASSERT_EQ(0, login(*t, 1).result);
        close_session(0);
        change_initiator([](json &ini) { ini["targets"][1]["chap"]["target_secret"] = "newsecret1234"; });
    }

    std::string network_;
    bool foreign_ = true;
};

struct BootRow {
    Generation g;
    const char *boot, *priority;
    bool refuse_region_write, empty_region;
    int result;
    VEXO_status_t status;
    std::vector<std::vector<int>> entries; // {qualifier, priority, target number}
};

// The back end starts once per process, so each row is a test of its own.
void BootLogin::boot_login(const BootRow &r)
{
    start(r.g, !r.empty_region);
    node *t = target(kPlain);
    ASSERT_NE(nullptr, t);
    if (r.refuse_region_write)
        refuse(1, 172);
    clear_log(host_->root());
    Outcome o = login(t, 0, r.boot, r.priority);
    EXPECT_EQ(r.result, static_cast<int>(o.result));
    EXPECT_EQ(r.status, o.status);
    EXPECT_EQ(r.entries, boot_entries());
    if (std::string(r.g.name) == "AW3") {
        EXPECT_EQ(0, sent(1, 172)) << "no region write";
    }
    // The session stays logged in whatever became of its boot entry.
    EXPECT_NE(nullptr, get_first_instance(t, "Session"));
    ASSERT_FALSE(sim_session(0).is_null());
    EXPECT_EQ(r.boot[0] ? 0x100 : 0, sim_session(0).value("flags", 0) & 0x100);
}

TEST_F(BootLogin, TrelmontBootLoginWritesItsBootEntry)
{
    boot_login({kTrelmont, "True", "Primary", false, false, 0, VEXO_STATUS_SUCCESS, {{0, 1, 1}}});
}

TEST_F(BootLogin, TrelmontLoginOfANonBootTargetWritesNoEntry)
{
    boot_login({kTrelmont, "", "", false, false, 0, VEXO_STATUS_SUCCESS, {}});
}

TEST_F(BootLogin, RefusedRegionWriteFailsTheBootLoginButKeepsTheSession)
{
    boot_login({kTrelmont, "True", "Primary", true, false, 1, VEXO_STATUS_ADD_BOOT_TLV_FAILED, {}});
}

TEST_F(BootLogin, BootLoginOnARegionNeverWrittenFailsWithAStatus)
{
    boot_login({kTrelmont, "True", "Primary", false, true, 1, VEXO_STATUS_ADD_BOOT_TLV_FAILED, {}});
}

TEST_F(BootLogin, Aw3BootLoginWritesNoEntry)
{
    boot_login({kAw3, "True", "Primary", false, false, 0, VEXO_STATUS_SUCCESS, {}});
}

TEST_F(BootLogin, ClosedBootSessionWhoseEntryStaysKeepsItsMark)
{
    start(kTrelmont);
    node *t = target(kPlain);
    ASSERT_NE(nullptr, t);
    ASSERT_EQ(0, login(t, 0, "True", "Primary").result);
    close_session(0);
    refuse(1, 172);
    Outcome o = act(t, "Logout");
    EXPECT_EQ(1, static_cast<int>(o.result));
    EXPECT_EQ(VEXO_STATUS_DELETE_BOOT_TLV_FAILED, o.status);
    EXPECT_NE(nullptr, get_first_instance(t, "Session"));
    EXPECT_EQ(0x100, sim_session(0).value("flags", 0) & 0x100) << "mark and entry agree";
    EXPECT_EQ((std::vector<std::vector<int>>{{0, 1, 1}}), boot_entries());
    EXPECT_EQ(1u, initiator()["persistent"].size());
}

TEST_F(BootLogin, AddressOfAFunctionWithABootSessionCannotChange)
{
    start(kAw3);
    node *t = target(kPlain);
    ASSERT_NE(nullptr, t);
    ASSERT_EQ(0, login(t, 0, "True", "Primary").result);
    node *tcpip = get_node(tag_at(network_, VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, tcpip);
    ASSERT_EQ("10.1.1.5", value_at(network_ + "/InitiatorIPAddress"));
    clear_log(host_->root());
    Outcome o = act(tcpip, "ConfigureIPAddress", {"10.1.1.6", "255.255.255.0"});
    EXPECT_EQ(1, static_cast<int>(o.result));
    EXPECT_EQ(static_cast<VEXO_status_t>(44), o.status);
    EXPECT_EQ(0, sent(2, 21));
}

// CHAP set through the action is what the login offers and what the
// firmware keeps for its persistent login.
TEST_F(BootLogin, ChapConfiguredByTheActionIsWhatTheTargetJudges)
{
    start(kAw3);
    saved_targets_file();
    const struct {
        const char *target, *method, *iname, *isecret, *tname, *tsecret;
        int result;
        VEXO_status_t status;
    } rows[] = {
        {kOneWay, nullptr, "", "", "", "", 1, VEXO_STATUS_AUTHENTICATION_FAILURE},
        {kOneWay, "One-Way CHAP", "", "", "tgt1", "wrongsecret1", 1, VEXO_STATUS_AUTHENTICATION_FAILURE},
        {kOneWay, "One-Way CHAP", "", "", "tgt1", "tgtsecret456", 0, VEXO_STATUS_SUCCESS},
        {kMutual, "One-Way CHAP", "", "", "tgt", "tgtsecret123", 1, VEXO_STATUS_AUTHENTICATION_FAILURE},
        {kMutual, "Mutual CHAP", "ini", "wrongsecret1", "tgt", "tgtsecret123", 1, VEXO_STATUS_AUTHENTICATION_FAILURE},
        {kMutual, "Mutual CHAP", "ini", "inisecret123", "tgt", "tgtsecret123", 0, VEXO_STATUS_SUCCESS},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.target) + " " + (r.method ? r.method : "no CHAP") + " " + r.tsecret);
        node *t = target(r.target);
        ASSERT_NE(nullptr, t);
        if (r.method) {
            ASSERT_EQ(0, configure_chap(t, r.method, r.iname, r.isecret, r.tname, r.tsecret).result);
        }
        Outcome o = login(t, 0);
        EXPECT_EQ(r.result, static_cast<int>(o.result));
        EXPECT_EQ(r.status, o.status);
        EXPECT_EQ(r.result == 0, get_first_instance(t, "Session") != nullptr);
        if (r.result == 0)
            EXPECT_EQ(hex(r.tsecret), kept_secret(r.target));
        else
            EXPECT_TRUE(persistent(r.target).empty()) << "a failed login keeps no persistent login";
    }
}

TEST_F(BootLogin, ChapChangeRenewsOnlyTheClosedSessionsPersistentLogin)
{
    node *t = nullptr;
    closed_and_open(&t);
    ASSERT_NE(nullptr, t);
    const json open_before = sim_session(1);
    clear_log(host_->root());
    Outcome o = configure_chap(t, "Mutual CHAP", "ini", "inisecret123", "tgt", "newsecret1234");
    EXPECT_EQ(0, static_cast<int>(o.result));
    EXPECT_EQ(1, sent(6, 28));
    EXPECT_EQ(1, sent(6, 27));
    EXPECT_EQ(0, sent(6, 24)) << "the open session is not logged out";
    // Same qualifier, the new secret; the open session keeps what it logged in with.
    EXPECT_EQ(hex("newsecret1234"), kept_secret(kMutual, 0));
    EXPECT_EQ(hex("tgtsecret123"), kept_secret(kMutual, 1));
    EXPECT_NE(std::string::npos, persistent_line(kMutual, 0).find(",newsecret1234,"));
    EXPECT_NE(std::string::npos, persistent_line(kMutual, 1).find(",tgtsecret123,"));
    EXPECT_EQ(open_before, sim_session(1));
    // After a reboot the firmware logs in with what it kept: the renewed
    // login passes the target's new secret, the untouched one does not.
    ASSERT_TRUE(hlvdsim::reboot_adapters(host_->root(), "", nullptr, nullptr));
    EXPECT_FALSE(sim_session(0).is_null());
    EXPECT_TRUE(sim_session(1).is_null());
}

TEST_F(BootLogin, LoginOptionChangeRenewsTheClosedSession)
{
    node *t = nullptr;
    closed_and_open(&t);
    ASSERT_NE(nullptr, t);
    node *opts = internal_get_node(t, "TargetLoginOptions", VEXO_NODE_GROUP);
    node *immediate = internal_get_node(opts, "ImmediateData", VEXO_NODE_PROPERTY);
    ASSERT_NE(nullptr, immediate);
    clear_log(host_->root());
    char value[VEXO_VALUE_SIZE] = "No";
    EXPECT_EQ(VEXO_STATUS_SUCCESS, VEXO_set_property_val(opts->node_tag, immediate->node_tag, value, sizeof value));
    EXPECT_EQ(1, sent(6, 28));
    EXPECT_EQ(1, sent(6, 27));
    EXPECT_EQ(1u, persistent(kMutual, 0).size());
    EXPECT_EQ(1u, persistent(kMutual, 1).size());
}

TEST_F(BootLogin, RenewalThatFailsFailsTheChange)
{
    node *t = nullptr;
    closed_and_open(&t);
    ASSERT_NE(nullptr, t);
    refuse(6, 27);
    Outcome o = configure_chap(t, "Mutual CHAP", "ini", "inisecret123", "tgt", "newsecret1234");
    EXPECT_EQ(1, static_cast<int>(o.result));
    EXPECT_NE(VEXO_STATUS_SUCCESS, o.status);
    // The values are stored; the closed session lost its old persistent login.
    EXPECT_EQ("newsecret1234", prop(auth_of(t), "TargetSecret"));
    EXPECT_TRUE(persistent(kMutual, 0).empty());
    EXPECT_EQ(1u, persistent(kMutual, 1).size());
}

struct LogoutRow {
    bool closed;
    int result;
    VEXO_status_t status;
    // Commands sent by the logout among the boot mark (6/53), the region
    // write (1/172), the logout (6/24) and the persistent-login removal (6/28).
    std::vector<std::pair<int, int>> commands;
};

// A boot login on Trelmont, then a Logout of that session, open or closed.
class BootLogout : public BootLogin
{
protected:
    void run(const LogoutRow &r);
};

void BootLogout::run(const LogoutRow &r)
{
    start(kTrelmont);
    node *t = target(kPlain);
    ASSERT_NE(nullptr, t);
    ASSERT_EQ(0, login(t, 0, "True", "Primary").result);
    ASSERT_EQ((std::vector<std::vector<int>>{{0, 1, 1}}), boot_entries());
    ASSERT_EQ(1u, initiator()["persistent"].size());
    const std::string line = persistent_line(kPlain, 0);
    ASSERT_NE("", line);
    if (r.closed)
        close_session(0);
    clear_log(host_->root());

    Outcome o = act(t, "Logout");
    EXPECT_EQ(r.result, static_cast<int>(o.result));
    EXPECT_EQ(r.status, o.status);
    std::vector<std::pair<int, int>> seen;
    std::vector<uint32_t> marks;
    for (const json &e : fw_entries(host_->root())) {
        std::pair<int, int> c(e.value("subsystem", -1), e.value("opcode", -1));
        if (c == std::make_pair(6, 53)) {
            std::vector<uint8_t> p = hex_bytes(e.value("payload", ""));
            if (p.size() >= 8)
                marks.push_back(p[4] | p[5] << 8 | p[6] << 16 | static_cast<uint32_t>(p[7]) << 24);
        }
        if (c == std::make_pair(6, 53) || c == std::make_pair(1, 172) || c == std::make_pair(6, 24) ||
            c == std::make_pair(6, 28))
            if (seen.empty() || seen.back() != c)
                seen.push_back(c);
    }
    EXPECT_EQ(r.commands, seen);
    for (uint32_t m : marks)
        EXPECT_EQ(0u, m & 0x100) << "the mark is only ever cleared";

    if (!r.closed) {
        // Nothing changed: the session, its mark, its entry and its login.
        EXPECT_NE(nullptr, get_first_instance(t, "Session"));
        ASSERT_FALSE(sim_session(0).is_null());
        EXPECT_EQ(0x100, sim_session(0).value("flags", 0) & 0x100);
        EXPECT_EQ((std::vector<std::vector<int>>{{0, 1, 1}}), boot_entries());
        EXPECT_EQ(1u, initiator()["persistent"].size());
        EXPECT_EQ(line, persistent_line(kPlain, 0));
        return;
    }
    EXPECT_EQ(1u, marks.size());
    EXPECT_EQ(nullptr, get_first_instance(t, "Session"));
    EXPECT_TRUE(sim_session(0).is_null());
    EXPECT_EQ(std::vector<std::vector<int>>{}, boot_entries());
    EXPECT_EQ(0u, initiator()["persistent"].size());
    EXPECT_EQ("", persistent_line(kPlain, 0));
}

TEST_F(BootLogout, OpenBootSessionChangesNothing)
{
    run({false, 1, VEXO_STATUS_CANNOT_LOGOUT, {}});
}

TEST_F(BootLogout, ClosedBootSessionLosesMarkEntryAndPersistentLogin)
{
    run({true, 0, VEXO_STATUS_SUCCESS, {{6, 53}, {1, 172}, {6, 24}, {6, 28}}});
}

} // namespace
