// Saved targets and send-target portals kept in step with the tree: the
// duplicate checks, the Discovery group's refresh, and the target refresh's
// two halves (build what the file names, drop what it no longer names).
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/aw/vexo-backend/persistence_files.h"
#include "mgmt/aw/vexo-backend/persistent_targets.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

const char kOneIscsi[] = R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3PT01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22", "initiator": { "name": "iqn.1998-01.com.example:host" } } ] }
  ]
})";

class PersistentTargets : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        adapter_ = adapter_path("AW3PT01");
        ASSERT_FALSE(adapter_.empty());
        lhba_path_ = adapter_ + "/iSCSIPhysicalHBA0/LogicalHBA0";
        lhba_ = get_node(tag_at(lhba_path_, VEXO_NODE_GROUP));
        if (!lhba_) // the start may not build the initiator
            lhba_ = initialize_LogicalHBA(get_node(tag_at(adapter_ + "/iSCSIPhysicalHBA0", VEXO_NODE_GROUP)),
                                          nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, lhba_);
        discovery_ = internal_get_node(lhba_, "Discovery", VEXO_NODE_GROUP);
        ASSERT_NE(nullptr, discovery_);
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }

    std::string file(const char *name) { return host_.path(std::string("/etc/config/TAQ/vexo/") + name); }
    std::string key() { return adapter_ + ",iSCSIPhysicalHBA0,LogicalHBA0"; }
    void put(const char *name, const std::string &text) { hlvdtest::write_file(file(name), text); }
    std::string get(const char *name) { return hlvdtest::read_file(file(name)); }
    // A file that exists but cannot be read as one.
    void make_unreadable(const char *name)
    {
        std::remove(file(name).c_str());
        ASSERT_EQ(0, mkdir(file(name).c_str(), 0755));
    }
    std::string tgt_line(const std::string &name, const char *ip, const char *port, const char *isid = "",
                         const char *type = "Static", const std::string &k = std::string())
    {
        return (k.empty() ? key() : k) + "," + name + "," + ip + "," + port + "," + isid +
               ",iqn.i,No,Yes,CRC32C,None,One-Way CHAP,,,tname,tsecret123456," + type + ",,,,True\n";
    }
    std::string stp_line(const char *ip, const char *port, const std::string &k = std::string())
    {
        return (k.empty() ? key() : k) + "," + ip + "," + port +
               ",00:00:c9:b3:00:22,Yes,No,CRC32C,None,One-Way CHAP,,,tn,ts1234567890,,,\n";
    }

    node *add_portal(const char *ip, const char *port)
    {
        node *p = initialize_SendTargetPortal(discovery_, nullptr, nullptr, nullptr);
        if (p) {
            set_prop_val(p, "IPAddress", "%s", ip);
            set_prop_val(p, "PortNumber", "%s", port);
        }
        return p;
    }
    // "ip:port" of every SendTargetPortal, in instance order.
    std::vector<std::string> portals()
    {
        std::vector<std::string> out;
        for (node *p = get_first_instance(discovery_, "SendTargetPortal"); p && vexo_is_instance(p);
             p = p->u.grp->multi_instance->next_instance)
            out.push_back(cached(p, "IPAddress") + ":" + cached(p, "PortNumber"));
        return out;
    }
    node *target(const char *name)
    {
        return setup_target(lhba_, name, nullptr, nullptr, nullptr, 0);
    }
    // "name@ip:port" of every TargetPortal of every Target, in instance order.
    std::vector<std::string> targets()
    {
        std::vector<std::string> out;
        for (node *t = get_first_instance(lhba_, "Target"); t && vexo_is_instance(t);
             t = t->u.grp->multi_instance->next_instance) {
            std::string name = cached(t, "TargetISCSIName");
            out.push_back(name);
            for (node *p = get_first_instance(t, "TargetPortal"); p && vexo_is_instance(p);
                 p = p->u.grp->multi_instance->next_instance)
                out.push_back(name + "@" + cached(p, "TargetIPAddress") + ":" + cached(p, "TargetPortNumber"));
        }
        return out;
    }
    static std::string cached(node *group, const char *name)
    {
        node *p = internal_get_node(group, name, VEXO_NODE_PROPERTY);
        return p && p->u.prop ? p->u.prop->val : "missing";
    }

    SimHost host_{kOneIscsi};
    std::string adapter_, lhba_path_;
    node *lhba_ = nullptr, *discovery_ = nullptr;
    int start_ = 0;
};

using Lines = std::vector<std::string>;

TEST_F(PersistentTargets, DuplicateChecksMatchWholeFields)
{
    put("savetgt.txt", tgt_line("iqn.t:disk10", "10.0.0.1", "3260") + tgt_line("iqn.t:disk1", "10.0.0.1", "32601") +
                           tgt_line("iqn.t:disk2", "10.0.0.2", "3260", "5") +
                           tgt_line("iqn.t:other", "10.0.0.3", "3260", "", "Static",
                                    "Arcwright9,iSCSIPhysicalHBA0,LogicalHBA0"));
    put("savestp.txt", stp_line("10.0.0.9", "3260"));
    node *be = lhba_->parent->parent, *phba = lhba_->parent;
    const struct {
        const char *name, *ip, *port;
        int file_type, isid, found;
    } cases[] = {
        {"iqn.t:disk10", "10.0.0.1", "3260", 0, VEXO_ANY_ISID, 1},
        {"IQN.T:DISK10", "10.0.0.1", "3260", 0, VEXO_ANY_ISID, 1},
        // A name or port that only begins another line's is another portal.
        {"iqn.t:disk1", "10.0.0.1", "3260", 0, VEXO_ANY_ISID, 0},
        {"iqn.t:disk1", "10.0.0.1", "", 0, VEXO_ANY_ISID, 1}, // no port: any port
        {"iqn.t:disk2", "10.0.0.2", "3260", 0, VEXO_ANY_ISID, 1},
        {"iqn.t:disk2", "10.0.0.2", "3260", 0, 5, 1},
        {"iqn.t:disk2", "10.0.0.2", "3260", 0, 55, 0},
        {"iqn.t:disk10", "10.0.0.1", "3260", 0, 0, 0},
        {"iqn.t:other", "10.0.0.3", "3260", 0, VEXO_ANY_ISID, 0}, // another adapter's line
        {"", "10.0.0.9", "3260", 1, VEXO_ANY_ISID, 1},
        {"", "10.0.0.9", "326", 1, VEXO_ANY_ISID, 0},
        {"", "10.0.0.1", "3260", 1, VEXO_ANY_ISID, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.name) + "@" + c.ip + ":" + c.port);
        EXPECT_EQ(c.found, VEXO_check_for_duplicate_tgt(be, phba, lhba_, c.name, c.ip, c.port, c.file_type, c.isid));
    }
    node *stp = add_portal("10.0.0.9", "3260");
    ASSERT_NE(nullptr, stp);
    EXPECT_EQ(0, VEXO_sync_stp_with_file(be, phba, lhba_, stp, "10.0.0.9", "3260"));
    EXPECT_EQ(1, VEXO_sync_stp_with_file(be, phba, lhba_, stp, "10.0.0.9", "3261"));
    EXPECT_EQ(1, VEXO_sync_stp_with_file(be, phba, lhba_, nullptr, "10.0.0.9", "3260"));
    EXPECT_EQ(1, check_for_stp_in_VEXO(discovery_, "10.0.0.9", "3260"));
    EXPECT_EQ(0, check_for_stp_in_VEXO(discovery_, "10.0.0.9", "3261"));
}

TEST_F(PersistentTargets, DiscoveryRefreshMakesPortalsEqualTheFile)
{
    node *tag_holder = discovery_;
    node_tag_t tag = tag_at(lhba_path_ + "/Discovery", VEXO_NODE_GROUP);
    ASSERT_GE(tag, 0);
    ASSERT_NE(nullptr, add_portal("10.0.0.7", "3260"));
    ASSERT_NE(nullptr, add_portal("10.0.0.1", "3260"));
    put("savestp.txt", stp_line("10.0.0.1", "3260") + stp_line("10.0.0.2", "3261") + stp_line("10.0.0.2", "3261") +
                           stp_line("10.0.0.5", "3260", "Arcwright9,iSCSIPhysicalHBA0,LogicalHBA0"));
    EXPECT_EQ(VEXO_STATUS_SUCCESS, group_Discovery(tag_holder));
    // The new portal takes the instance the dropped one freed.
    const Lines after{"10.0.0.2:3261", "10.0.0.1:3260"};
    EXPECT_EQ(after, portals());
    node *built = get_first_instance(discovery_, "SendTargetPortal");
    EXPECT_EQ("00:00:c9:b3:00:22", cached(built, "PortMacAddress"));
    node *opts = internal_get_node(built, "SendTargetPortalLoginOptions", VEXO_NODE_GROUP);
    node *auth = internal_get_node(opts, "Authentication", VEXO_NODE_GROUP);
    EXPECT_EQ("No", cached(opts, "ImmediateData"));
    EXPECT_EQ("CRC32C", cached(opts, "HeaderDigest"));
    EXPECT_EQ("Prohibited", cached(opts, "DataParam")) << "an empty level reads as Prohibited";
    EXPECT_EQ("One-Way CHAP", cached(auth, "AuthenticationMethod"));
    EXPECT_EQ("ts1234567890", cached(auth, "TargetSecret"));
    EXPECT_EQ("Prohibited", cached(auth, "CHAPParam"));

    // A file that cannot be read costs no portal.
    make_unreadable("savestp.txt");
    EXPECT_EQ(0, VEXO_refresh_group(tag));
    EXPECT_EQ(after, portals());
    // No file: no portals.
    ASSERT_EQ(0, rmdir(file("savestp.txt").c_str()));
    EXPECT_EQ(0, VEXO_refresh_group(tag));
    EXPECT_EQ(Lines{}, portals());
}

TEST_F(PersistentTargets, TargetRefreshDropsWhatTheFileNoLongerNames)
{
    const struct {
        const char *what;
        int file; // 0 none, 1 lines, 2 empty, 3 unreadable
        int result;
        Lines left;
    } cases[] = {
        {"no file", 0, 0,
         {"iqn.t:disk1", "iqn.t:disk1@10.0.0.1:3260", "iqn.t:disk1@10.0.0.2:3260", "iqn.t:disk10",
          "iqn.t:disk10@10.0.0.1:3260"}},
        // disk10's line does not keep disk1, whose name it begins with.
        {"lines", 1, 0, {"iqn.t:disk10", "iqn.t:disk10@10.0.0.1:3260"}},
        {"empty file", 2, 0, {}},
        {"unreadable", 3, 1,
         {"iqn.t:disk1", "iqn.t:disk1@10.0.0.1:3260", "iqn.t:disk1@10.0.0.2:3260", "iqn.t:disk10",
          "iqn.t:disk10@10.0.0.1:3260"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        node *t1 = target("iqn.t:disk1"), *t10 = target("iqn.t:disk10");
        ASSERT_NE(nullptr, t1);
        ASSERT_NE(nullptr, t10);
        setup_portal(t1, "10.0.0.1", "3260", "0", nullptr, nullptr, nullptr);
        setup_portal(t1, "10.0.0.2", "3260", "0", nullptr, nullptr, nullptr);
        setup_portal(t10, "10.0.0.1", "3260", "0", nullptr, nullptr, nullptr);
        std::remove(file("savetgt.txt").c_str());
        if (c.file == 1)
            put("savetgt.txt", tgt_line("iqn.t:disk10", "10.0.0.1", "3260") +
                                   tgt_line("iqn.t:disk1", "10.0.0.2", "3260", "", "Static",
                                            "Arcwright9,iSCSIPhysicalHBA0,LogicalHBA0"));
        if (c.file == 2)
            put("savetgt.txt", "");
        if (c.file == 3)
            make_unreadable("savetgt.txt");
        EXPECT_EQ(c.result, VEXO_sync_targets_with_file(lhba_));
        EXPECT_EQ(c.left, targets());
        for (node *t; (t = get_first_instance(lhba_, "Target"));)
            ASSERT_EQ(VEXO_STATUS_SUCCESS, delete_target_node(t));
        if (c.file == 3)
            rmdir(file("savetgt.txt").c_str());
    }
}

TEST_F(PersistentTargets, TargetRefreshBuildsWhatTheFileNames)
{
    node *existing = target("iqn.t:have");
    ASSERT_NE(nullptr, existing);
    ASSERT_NE(nullptr, setup_portal(existing, "10.0.0.1", "3260", "0", nullptr, nullptr, nullptr));
    put("savetgt.txt", tgt_line("iqn.t:have", "10.0.0.1", "3260") + tgt_line("iqn.t:have", "10.0.0.2", "3260") +
                           tgt_line("iqn.t:new", "10.0.0.3", "3260", "", "Discovered") +
                           tgt_line("iqn.t:new", "10.0.0.3", "3260", "4", "Discovered") +
                           tgt_line("iqn.t:elsewhere", "10.0.0.4", "3260", "", "Static",
                                    "Arcwright9,iSCSIPhysicalHBA0,LogicalHBA0") +
                           tgt_line("", "10.0.0.5", "3260"));
    EXPECT_EQ(0, add_target_from_file(lhba_));
    EXPECT_EQ((Lines{"iqn.t:have", "iqn.t:have@10.0.0.1:3260", "iqn.t:have@10.0.0.2:3260", "iqn.t:new",
                     "iqn.t:new@10.0.0.3:3260"}),
              targets());
    node *t = find_target(lhba_, "iqn.t:new");
    ASSERT_NE(nullptr, t);
    EXPECT_EQ("Discovered", cached(t, "TargetType"));
    node *opts = internal_get_node(t, "TargetLoginOptions", VEXO_NODE_GROUP);
    node *auth = internal_get_node(opts, "Authentication", VEXO_NODE_GROUP);
    EXPECT_EQ("No", cached(opts, "InitialR2T"));
    EXPECT_EQ("CRC32C", cached(opts, "HeaderDigest"));
    EXPECT_EQ("One-Way CHAP", cached(auth, "AuthenticationMethod"));
    EXPECT_EQ("tname", cached(auth, "TargetCHAPName"));
    // A second run finds everything built.
    EXPECT_EQ(0, add_target_from_file(lhba_));
    EXPECT_EQ(5u, targets().size());
}

TEST_F(PersistentTargets, AddedLineThatCannotBeSavedIsAFailure)
{
    node *t = target("iqn.t:disk1");
    ASSERT_NE(nullptr, t);
    node *opts = internal_get_node(t, "TargetLoginOptions", VEXO_NODE_GROUP);
    set_prop_val(opts, "HeaderDigest", "%s", "CRC32C");
    put("intr_logopts.txt", key() + ",Yes,Yes,None,None,None,,,,,,,\n");
    // Reads as no file, but no line can be appended to it.
    ASSERT_EQ(0, symlink((host_.root() + "/no/such/dir/savetgt.txt").c_str(), file("savetgt.txt").c_str()));
    vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
    EXPECT_EQ(1, VEXO_add_target_into_file(lhba_, t, "iqn.t:disk1", "10.0.0.1", "3260", nullptr, "True"));
    EXPECT_EQ(VEXO_STATUS_FAILURE, last_status().first);
    EXPECT_EQ("CRC32C", cached(opts, "HeaderDigest")) << "options are copied only with a saved line";
    ASSERT_EQ(0, unlink(file("savetgt.txt").c_str()));

    // A value a line cannot hold.
    EXPECT_EQ(1, VEXO_add_target_into_file(lhba_, t, "iqn.t:disk1", "10.0.0.1,x", "3260", nullptr, "True"));
    EXPECT_EQ(VEXO_STATUS_INVALID_VALUE, last_status().first);
    EXPECT_FALSE(hlvdtest::file_exists(file("savetgt.txt")));
}

} // namespace
