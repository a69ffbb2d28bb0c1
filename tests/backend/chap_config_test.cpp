// CHAP configuration: ConfigureCHAP and DeleteCHAP of the initiator's, a
// target's and a send-target portal's Authentication groups, the secret
// checks, the values in the group and in the owner's file line, and the
// renewal of a target's closed sessions.
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/aw/vexo-backend/nodes_target.h"
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
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3CHAP1",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22", "initiator": { "name": "iqn.1998-01.com.example:host" } } ] }
  ]
})";

const char kTarget[] = "iqn.2001-04.com.example:disk1";

struct Outcome {
    VEXO_status_t result;
    VEXO_status_t status;
    std::string text;
};

class ChapConfig : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        adapter_ = adapter_path("AW3CHAP1");
        ASSERT_FALSE(adapter_.empty());
        lhba_path_ = adapter_ + "/iSCSIPhysicalHBA0/LogicalHBA0";
        node *iscsi = get_node(tag_at(adapter_ + "/iSCSIPhysicalHBA0", VEXO_NODE_GROUP));
        ASSERT_NE(nullptr, iscsi);
        lhba_ = get_first_instance(iscsi, "LogicalHBA"); // built at start
        ASSERT_NE(nullptr, lhba_);
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
    unsigned mode(const char *name)
    {
        struct stat st;
        return stat(file(name).c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
    }

    // Runs an action of an Authentication group; null parameters are left out.
    Outcome action(const std::string &auth, const char *name, std::vector<const char *> given)
    {
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params);
        for (size_t i = 0; i < given.size(); ++i)
            if (given[i])
                std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", given[i]);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        node_tag_t g = tag_at(auth, VEXO_NODE_GROUP), a = tag_at(auth + "/" + name, VEXO_NODE_ACTION);
        Outcome o;
        o.result = VEXO_do_action(g, a, params, tags.data());
        std::tie(o.status, o.text) = last_status();
        return o;
    }
    Outcome configure(const std::string &auth, std::vector<const char *> p) { return action(auth, "ConfigureCHAP", p); }

    // The six CHAP values of a group through the API, in file order.
    std::string chap_values(const std::string &auth)
    {
        std::string s;
        for (const char *n : {"AuthenticationMethod", "InitiatorCHAPName", "InitiatorSecret", "TargetCHAPName",
                              "TargetSecret", "CHAPParam"})
            s += (s.empty() ? "" : ",") + value_at(auth + "/" + n);
        return s;
    }

    std::string initiator_auth() { return lhba_path_ + "/InitiatorLoginOptions/Authentication"; }
    node *add_target(const char *name) { return setup_target(lhba_, name, nullptr, nullptr, nullptr, 0); }
    std::string target_auth(node *t)
    {
        return lhba_path_ + "/Target" + std::to_string(t->u.grp->multi_instance->instance) +
               "/TargetLoginOptions/Authentication";
    }
    node *add_portal(const char *ip, const char *port)
    {
        node *d = internal_get_node(lhba_, "Discovery", VEXO_NODE_GROUP);
        node *p = d ? initialize_SendTargetPortal(d, nullptr, nullptr, nullptr) : nullptr;
        if (p) {
            set_prop_val(p, "IPAddress", "%s", ip);
            set_prop_val(p, "PortNumber", "%s", port);
        }
        return p;
    }

    SimHost host_{kOneIscsi};
    std::string adapter_, lhba_path_;
    node *lhba_ = nullptr;
    int start_ = 0;
};

const std::string kBlankInitiator = ",Yes,Yes,None,None,None,,,,,,,\n";

TEST_F(ChapConfig, SecretsAndMethodsAreCheckedBeforeAnythingIsStored)
{
    const std::string other = "Arcwright9,iSCSIPhysicalHBA0,LogicalHBA0" + kBlankInitiator;
    const std::string before = other + key() + kBlankInitiator;
    const std::string hex24 = "0x" + std::string(24, 'a');
    const struct {
        const char *method, *iname, *isecret, *tname;
        std::string tsecret;
        VEXO_status_t status;
        const char *text; // null: the status's fixed message is not looked at
    } cases[] = {
        // 11 characters are already below the parameter check's 12.
        {"One-Way CHAP", "", "", "t", "abcdefghijk", VEXO_STATUS_INVALID_SIZE, nullptr},
        {"One-Way CHAP", "", "", "t", "abcdefghijklmnopqrst", VEXO_STATUS_INVALID_SIZE,
         "TargetSecret: Number of characters should be from 12 to 16."},
        {"One-Way CHAP", "", "", "t", "0x" + std::string(23, 'a'), VEXO_STATUS_INVALID_SIZE,
         "TargetSecret: Number of characters should be from 24 to 32."},
        {"One-Way CHAP", "", "", "t", "0X" + std::string(25, '1'), VEXO_STATUS_INVALID_VALUE,
         "Invalid value. Odd number of characters are not allowed."},
        {"One-Way CHAP", "", "", "t", "0x" + std::string(23, 'a') + "g", VEXO_STATUS_INVALID_VALUE,
         "Invalid value. The valid values are 0-9, a-f and A-F."},
        {"Mutual CHAP", "", "isecret12345", "t", "tsecret12345", VEXO_STATUS_MUTUAL_CHAP, nullptr},
        {"Mutual CHAP", "i", "", "t", "tsecret12345", VEXO_STATUS_MUTUAL_CHAP, nullptr},
        {"Mutual CHAP", "i", "short", "t", "tsecret12345", VEXO_STATUS_INVALID_SIZE,
         "InitiatorSecret: Number of characters should be from 12 to 16."},
        {"Mutual CHAP", "i", "0x0123", "t", "tsecret12345", VEXO_STATUS_INVALID_SIZE,
         "InitiatorSecret: Number of characters should be from 24 to 32."},
        {"Mutual CHAP", "i", "tsecret12345", "t", "tsecret12345", VEXO_STATUS_SAME_CHAP_SECRET, nullptr},
        // A comma would shift every later field of the owner's line.
        {"One-Way CHAP", "", "", "t,x", "tsecret12345", VEXO_STATUS_INVALID_SIZE, nullptr},
        {"One-Way CHAP", "", "", "t", "tsecret,12345", VEXO_STATUS_INVALID_SIZE, nullptr},
        {"Mutual CHAP", "i,x", "isecret12345", "t", "tsecret12345", VEXO_STATUS_INVALID_SIZE, nullptr},
        {"Mutual CHAP", "i", "isecret,12345", "t", "tsecret12345", VEXO_STATUS_INVALID_SIZE, nullptr},
    };
    for (const auto &c : cases) {
        put("intr_logopts.txt", before);
        Outcome o = configure(initiator_auth(), {c.method, c.iname, c.isecret, c.tname, c.tsecret.c_str()});
        EXPECT_EQ(VEXO_STATUS_FAILURE, o.result) << c.tsecret << " " << c.isecret;
        EXPECT_EQ(c.status, o.status) << c.tsecret << " " << c.isecret;
        if (c.text) {
            EXPECT_EQ(c.text, o.text);
        }
        EXPECT_EQ(before, get("intr_logopts.txt")) << c.tsecret;
        EXPECT_EQ("None,,,,,Prohibited", chap_values(initiator_auth()));
    }

    // Accepted forms at the edges.
    for (const std::string &s : {std::string("abcdefghijklmnop"), hex24, "0x" + std::string(32, 'F')}) {
        put("intr_logopts.txt", before);
        Outcome o = configure(initiator_auth(), {"One-Way CHAP", "", "", "t", s.c_str()});
        EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result) << s << ": " << o.status << " " << o.text;
        EXPECT_EQ(other + key() + ",Yes,Yes,None,None,One-Way CHAP,,,t," + s + ",Required,,\n",
                  get("intr_logopts.txt"));
    }
}

// Each owner kind keeps its values in the group and in its own line only.
TEST_F(ChapConfig, ConfigureAndDeleteWriteTheGroupAndTheOwnersLine)
{
    node *t = add_target(kTarget);
    node *p = add_portal("10.0.0.5", "3260");
    ASSERT_NE(nullptr, t);
    ASSERT_NE(nullptr, p);
    const std::string tk = key() + "," + kTarget + ",10.0.0.1,3260,";
    const std::string tgt_other = key() + ",iqn.2001-04.com.example:disk10,10.0.0.1,3260,,iqn.ini,Yes,Yes,None,None,"
                                          "None,,,,,Static,,,,\n";
    const std::string stp_other = key() + ",10.0.0.50,3260,00:00:c9:b3:00:22,Yes,Yes,None,None,None,,,,,,,\n";
    const std::string ini_other = "Arcwright9,iSCSIPhysicalHBA0,LogicalHBA0" + kBlankInitiator;
    const struct {
        const char *file;
        std::string auth, head, tail_chap, tail_none, other;
    } owners[] = {
        {"intr_logopts.txt", initiator_auth(), key() + ",Yes,Yes,None,None,", ",,\n", ",,\n", ini_other},
        {"savetgt.txt", target_auth(t), tk + ",iqn.ini,Yes,Yes,None,None,", ",,,True\n", ",,,True\n", tgt_other},
        {"savestp.txt", lhba_path_ + "/Discovery/SendTargetPortal0/SendTargetPortalLoginOptions/Authentication",
         key() + ",10.0.0.5,3260,00:00:c9:b3:00:22,Yes,Yes,None,None,", ",,\n", ",,\n", stp_other},
    };
    for (const auto &o : owners) {
        const bool target = std::string(o.file) == "savetgt.txt";
        const std::string blank = o.head + "None,,,," + (target ? ",Static," : ",") + ",," + (target ? ",\n" : "\n");
        put(o.file, o.other + blank);
        chmod(file(o.file).c_str(), 0644);

        Outcome r = configure(o.auth, {"Mutual CHAP", "iname", "isecret12345", "tname", "0x00112233445566778899aabb"});
        ASSERT_EQ(VEXO_STATUS_SUCCESS, r.result) << o.file << ": " << r.status << " " << r.text;
        EXPECT_EQ("Mutual CHAP,iname,isecret12345,tname,0x00112233445566778899aabb,Required", chap_values(o.auth))
            << o.file;
        const std::string mid = "Mutual CHAP,iname,isecret12345,tname,0x00112233445566778899aabb";
        EXPECT_EQ(o.other + o.head + mid + (target ? ",Static,Required" : ",Required") + o.tail_chap, get(o.file));
        EXPECT_EQ(0600u, mode(o.file)) << o.file << " holds CHAP secrets";

        r = configure(o.auth, {"One-Way CHAP", "", "", "tname2", "tsecret12345", "Preferred"});
        ASSERT_EQ(VEXO_STATUS_SUCCESS, r.result) << o.file;
        EXPECT_EQ("One-Way CHAP,,,tname2,tsecret12345,Preferred", chap_values(o.auth)) << o.file;

        chmod(file(o.file).c_str(), 0644);
        r = action(o.auth, "DeleteCHAP", {});
        ASSERT_EQ(VEXO_STATUS_SUCCESS, r.result) << o.file;
        EXPECT_EQ("None,,,,,Prohibited", chap_values(o.auth)) << o.file;
        EXPECT_EQ(o.other + o.head + "None,,,," + (target ? ",Static,Prohibited" : ",Prohibited") + o.tail_none,
                  get(o.file));
        EXPECT_EQ(0600u, mode(o.file)) << o.file;
    }
}

TEST_F(ChapConfig, OneWayWithInitiatorValuesSucceedsWithANoticeAndStoresThemEmpty)
{
    put("intr_logopts.txt", key() + kBlankInitiator);
    Outcome o = configure(initiator_auth(), {"One-Way CHAP", "iname", "isecret12345", "tname", "tsecret12345"});
    EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result);
    EXPECT_EQ(VEXO_STATUS_ONE_WAY_CHAP, o.status);
    EXPECT_EQ(key() + ",Yes,Yes,None,None,One-Way CHAP,,,tname,tsecret12345,Required,,\n", get("intr_logopts.txt"));
}

TEST_F(ChapConfig, AFileThatCannotBeWrittenFailsWithAStatus)
{
    // Start wrote the default line; without intr_logopts.txt the writer has
    // no line to rewrite.
    ASSERT_EQ(0, std::remove(file("intr_logopts.txt").c_str()));
    for (const char *act : {"ConfigureCHAP", "DeleteCHAP"}) {
        Outcome o = action(initiator_auth(), act, {"One-Way CHAP", "i", "", "tname", "tsecret12345"});
        EXPECT_EQ(VEXO_STATUS_FAILURE, o.result) << act;
        EXPECT_NE(VEXO_STATUS_SUCCESS, o.status) << act;
        EXPECT_NE(VEXO_STATUS_ONE_WAY_CHAP, o.status) << act << ": a notice is no failure status";
    }
}

} // namespace
