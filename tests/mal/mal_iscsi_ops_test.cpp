// The client layer's iSCSI operations over a started back end: CHAP
// settings, send-target portals, targets, logins and logouts, the
// initiator's names and login options.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mal/mal_core.h"
#include "mal/mal_iscsi_ops.h"
#include "mal/mal_iscsi_readers.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/command_log.h"
#include "sim/machine.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using nlohmann::json;

namespace {

const char kOpen[] = "iqn.2001-04.com.example:open";
const char kChap[] = "iqn.2001-04.com.example:chap";
const char kSavedPortals[] = "/etc/config/TAQ/vexo/savestp.txt";

const char kMachine[] = R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3OPS01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22",
          "initiator": {
            "name": "iqn.1998-01.com.example:host", "alias": "host-a",
            "targets": [
              { "id": 1, "name": "iqn.2001-04.com.example:open" },
              { "id": 2, "name": "iqn.2001-04.com.example:chap",
                "chap": { "method": "one-way", "target_name": "ini", "target_secret": "secret123456" } }
            ] } } ] } ]
})";

class MalIscsiOps : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        char service[MAL_VALUE_SIZE] = "", hierarchy[MAL_VALUE_SIZE] = "";
        ASSERT_EQ(RM_STATUS_OK, MAL_VEXO_Init(service, hierarchy));
        uint32_t tags[MAL_MAX_TAGS];
        int count = MAL_MAX_TAGS;
        ASSERT_EQ(RM_STATUS_OK, MAL_EnumerateArcwrights(&count, tags));
        ASSERT_EQ(1, count);
        node *adapter = get_node(static_cast<node_tag_t>(tags[0]));
        node *fn = adapter ? get_first_instance(adapter, "iSCSIPhysicalHBA") : nullptr;
        ASSERT_NE(nullptr, fn);
        iscsi_ = fn->node_tag;
        node *lhba = get_first_instance(fn, "LogicalHBA");
        if (!lhba) {
            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
            lhba = initialize_LogicalHBA(fn, nullptr, nullptr, params);
        }
        ASSERT_NE(nullptr, lhba);
        lhba_ = lhba->node_tag;
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }

    node_tag_t at(node_tag_t from, std::vector<const char *> groups)
    {
        for (const char *g : groups) {
            node_tag_t next = VEXO_NO_TAG;
            if (MAL_get_node_tag(from, g, &next, MAL_NODE_GROUP) != RM_STATUS_OK)
                return VEXO_NO_TAG;
            from = next;
        }
        return from;
    }
    std::string value(node_tag_t group, const char *name)
    {
        node_tag_t tag = VEXO_NO_TAG;
        char v[MAL_VALUE_SIZE] = "";
        if (MAL_get_node_tag(group, name, &tag, MAL_NODE_PROPERTY) != RM_STATUS_OK ||
            MAL_get_property_val(group, tag, v, MAL_VALUE_SIZE) != RM_STATUS_OK)
            return "error";
        return v;
    }
    std::string chap(node_tag_t auth)
    {
        std::string s;
        for (const char *n : {"AuthenticationMethod", "InitiatorCHAPName", "InitiatorSecret", "TargetCHAPName",
                              "TargetSecret", "CHAPParam"})
            s += (s.empty() ? "" : ",") + value(auth, n);
        return s;
    }
    size_t commands() { return hlvdsim::log_read(host_.root()).size(); }

    static MAL_AuthenticationProperties auth(const char *method, const char *iname, const char *isecret,
                                             const char *tname, const char *tsecret)
    {
        MAL_AuthenticationProperties a;
        std::memset(&a, 0, sizeof a);
        std::snprintf(a.AuthenticationMethod, sizeof a.AuthenticationMethod, "%s", method);
        std::snprintf(a.InitiatorCHAPName, sizeof a.InitiatorCHAPName, "%s", iname);
        std::snprintf(a.InitiatorSecret, sizeof a.InitiatorSecret, "%s", isecret);
        std::snprintf(a.TargetCHAPName, sizeof a.TargetCHAPName, "%s", tname);
        std::snprintf(a.TargetSecret, sizeof a.TargetSecret, "%s", tsecret);
        return a;
    }
    static MAL_TargetEntry target_entry(const char *name, uint8_t last_octet, int32_t port)
    {
        MAL_TargetEntry e;
        std::memset(&e, 0, sizeof e);
        std::snprintf(e.TargetName, sizeof e.TargetName, "%s", name);
        const uint8_t ip[4] = {10, 0, 0, last_octet};
        std::memcpy(e.IPAddress, ip, 4);
        e.PortNumber = port;
        return e;
    }
    static MAL_TargetLoginParams any_portal()
    {
        MAL_TargetLoginParams p;
        std::memset(&p, 0, sizeof p);
        p.PortNumber = -1;
        p.ISIDQualifier = -1;
        return p;
    }
    std::vector<uint32_t> members(node_tag_t owner, int kind)
    {
        uint32_t tags[MAL_MAX_TAGS];
        int count = MAL_MAX_TAGS;
        RM_STATUS r = kind < 0 ? MAL_EnumerateTargets(owner, &count, tags)
                               : MAL_EnumerateTargetSubGroup(owner, kind, &count, tags);
        if (r != RM_STATUS_OK)
            return {};
        return std::vector<uint32_t>(tags, tags + count);
    }
    node_tag_t add_target(const char *name)
    {
        MAL_TargetEntry e = target_entry(name, 1, 3260);
        EXPECT_EQ(0, MAL_AddTarget(lhba_, &e)) << name;
        return static_cast<node_tag_t>(e.Tag);
    }
    void change_initiator(void (*edit)(json &))
    {
        hlvdsim::Machine m;
        ASSERT_TRUE(hlvdsim::load_adapter(host_.root(), 0, m, nullptr));
        edit(m.doc["adapters"][0]["functions"][0]["initiator"]);
        ASSERT_TRUE(hlvdsim::save_adapter(host_.root(), 0, m, nullptr));
    }

    SimHost host_{kMachine};
    int start_ = 0;
    node_tag_t iscsi_ = VEXO_NO_TAG;
    node_tag_t lhba_ = VEXO_NO_TAG;
};

TEST_F(MalIscsiOps, ChapMethodAndSecretLengthsAreCheckedBeforeAnythingIsSent)
{
    node_tag_t a = at(lhba_, {"InitiatorLoginOptions", "Authentication"});
    ASSERT_NE(VEXO_NO_TAG, a);
    const std::string blank = chap(a);
    const struct {
        MAL_AuthenticationProperties rec;
        RM_STATUS result;
        const char *after; // null: unchanged
    } cases[] = {
        {auth("One-Way CHAP", "", "", "tname", "abcdefghijk"), RM_STATUS_ERROR_INVALID_VALUE, nullptr},
        {auth("One-Way CHAP", "", "", "tname", "abcdefghijklmnopq"), RM_STATUS_ERROR_INVALID_VALUE, nullptr},
        {auth("Mutual CHAP", "i", "short", "t", "tsecret12345"), RM_STATUS_ERROR_INVALID_VALUE, nullptr},
        {auth("Kerberos", "", "", "t", "tsecret12345"), RM_STATUS_ERROR_INVALID_VALUE, nullptr},
        // No CHAP level is given: the adapter is told to require it.
        {auth("One-Way CHAP", "", "", "tname", "abcdefghijkl"), RM_STATUS_OK,
         "One-Way CHAP,,,tname,abcdefghijkl,Required"},
    };
    for (const auto &c : cases) {
        hlvdsim::log_clear(host_.root());
        std::string before = chap(a);
        EXPECT_EQ(c.result, MAL_ConfigureCHAP(a, &c.rec)) << c.rec.TargetSecret;
        EXPECT_EQ(c.after ? std::string(c.after) : before, chap(a)) << c.rec.TargetSecret;
        if (!c.after) {
            EXPECT_EQ(0u, commands()) << c.rec.TargetSecret;
        }
    }
    EXPECT_NE(blank, chap(a));
}

TEST_F(MalIscsiOps, MutualChapKeepsTheGroupsInitiatorSecretWhenNoneIsGiven)
{
    node_tag_t a = at(lhba_, {"InitiatorLoginOptions", "Authentication"});
    ASSERT_NE(VEXO_NO_TAG, a);
    MAL_AuthenticationProperties first = auth("Mutual CHAP", "iname", "isecret12345", "tname", "tsecret12345");
    ASSERT_EQ(RM_STATUS_OK, MAL_ConfigureCHAP(a, &first));
    MAL_AuthenticationProperties second = auth("Mutual CHAP", "", "", "", "tsecret67890");
    EXPECT_EQ(RM_STATUS_OK, MAL_ConfigureCHAP(a, &second));
    EXPECT_EQ("Mutual CHAP,iname,isecret12345,tname,tsecret67890,Required", chap(a));
}

TEST_F(MalIscsiOps, TargetAuthOptionsConfigureAndDeleteChap)
{
    node_tag_t t = add_target(kChap);
    node_tag_t a = at(t, {"TargetLoginOptions", "Authentication"});
    ASSERT_NE(VEXO_NO_TAG, a);
    MAL_AuthenticationProperties none = auth("", "", "", "", "");
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_SetTargetAuthOptions(t, &none));
    MAL_AuthenticationProperties one_way = auth("One-Way CHAP", "", "", "tname", "tsecret12345");
    ASSERT_EQ(RM_STATUS_OK, MAL_SetTargetAuthOptions(t, &one_way));
    EXPECT_EQ("One-Way CHAP", value(a, "AuthenticationMethod"));
    std::snprintf(none.AuthenticationMethod, sizeof none.AuthenticationMethod, "none");
    EXPECT_EQ(RM_STATUS_OK, MAL_SetTargetAuthOptions(t, &none));
    EXPECT_EQ("None", value(a, "AuthenticationMethod"));
    EXPECT_EQ("", value(a, "TargetSecret"));
}

TEST_F(MalIscsiOps, AddTargetChecksItsRequestAndReportsAnExistingTarget)
{
    // No name, no port, an IPv4 address that is not new, and the IPv6
    // address meant but all zero.
    MAL_TargetEntry zero = target_entry(kOpen, 1, 3260);
    std::memset(zero.IPAddress, 0, 4);
    MAL_TargetEntry v6 = target_entry(kOpen, 1, 3260);
    v6.AddressFlags = 1;
    for (MAL_TargetEntry rec : {target_entry("", 1, 3260), target_entry(kOpen, 1, 0), zero, v6}) {
        hlvdsim::log_clear(host_.root());
        rec.Tag = 77;
        EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_AddTarget(lhba_, &rec)) << rec.TargetName;
        EXPECT_EQ(0u, rec.Tag);
        EXPECT_EQ(0u, commands());
    }
    EXPECT_TRUE(members(lhba_, -1).empty());

    MAL_TargetEntry e = target_entry(kOpen, 1, 3260);
    ASSERT_EQ(0, MAL_AddTarget(lhba_, &e));
    EXPECT_GT(e.Tag, 0u);
    EXPECT_EQ(std::vector<uint32_t>{e.Tag}, members(lhba_, -1));
    EXPECT_EQ(kOpen, value(static_cast<node_tag_t>(e.Tag), "TargetISCSIName"));

    // Saved already with this portal: nothing is created, nothing refused.
    MAL_TargetEntry same = target_entry(kOpen, 1, 3260);
    EXPECT_EQ(0, MAL_AddTarget(lhba_, &same));
    EXPECT_EQ(0u, same.Tag);
    MAL_TargetEntry other_portal = target_entry(kOpen, 2, 3260);
    EXPECT_EQ(RM_STATUS_ERROR_DUPLICATE_ENTRY, MAL_AddTarget(lhba_, &other_portal));
    EXPECT_EQ(0u, other_portal.Tag);
    EXPECT_EQ(1u, members(lhba_, -1).size());

    EXPECT_EQ(0, MAL_DelTarget(lhba_, static_cast<node_tag_t>(e.Tag)));
    EXPECT_TRUE(members(lhba_, -1).empty());
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_DelTarget(lhba_, static_cast<node_tag_t>(e.Tag)));
}

TEST_F(MalIscsiOps, SendTargetPortalNeedsANewAddressAndAPort)
{
    MAL_PortalEntry p;
    std::memset(&p, 0, sizeof p);
    const uint8_t ip[4] = {10, 0, 0, 9};
    std::memcpy(p.IPAddress, ip, 4);
    p.PortNumber = -1;
    hlvdsim::log_clear(host_.root());
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_AddSendTargetPortal(lhba_, &p));
    MAL_PortalEntry zero = p;
    zero.PortNumber = 3260;
    std::memset(zero.IPAddress, 0xFF, 4);
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_AddSendTargetPortal(lhba_, &zero));
    EXPECT_EQ(0u, commands());

    p.PortNumber = 3260;
    ASSERT_EQ(RM_STATUS_OK, MAL_AddSendTargetPortal(lhba_, &p));
    uint32_t tags[MAL_MAX_TAGS];
    int count = MAL_MAX_TAGS;
    ASSERT_EQ(RM_STATUS_OK, MAL_EnumerateSendTargetPortals(lhba_, &count, tags));
    ASSERT_EQ(1, count);
    const std::string saved = hlvdtest::read_file(host_.path(kSavedPortals));
    ASSERT_NE(std::string::npos, saved.find(",10.0.0.9,3260,")) << saved;
    // A portal of the tree is told, not refused: nothing more is added.
    EXPECT_EQ(RM_STATUS_OK, MAL_AddSendTargetPortal(lhba_, &p));
    count = MAL_MAX_TAGS;
    ASSERT_EQ(RM_STATUS_OK, MAL_EnumerateSendTargetPortals(lhba_, &count, tags));
    ASSERT_EQ(1, count);
    // A port the parameter check refuses is the action's failure.
    MAL_PortalEntry low = p;
    low.PortNumber = 80;
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_AddSendTargetPortal(lhba_, &low));

    EXPECT_EQ(RM_STATUS_OK, MAL_DelSendTargetPortal(lhba_, static_cast<node_tag_t>(tags[0])));
    count = MAL_MAX_TAGS;
    ASSERT_EQ(RM_STATUS_OK, MAL_EnumerateSendTargetPortals(lhba_, &count, tags));
    EXPECT_EQ(0, count);

    // Saved but no longer in the tree: the library refuses the duplicate.
    hlvdtest::write_file(host_.path(kSavedPortals), saved);
    EXPECT_EQ(RM_STATUS_ERROR_DUPLICATE_ENTRY, MAL_AddSendTargetPortal(lhba_, &p));
}

TEST_F(MalIscsiOps, LoginLeavesAnUnsetAddressToTheLibraryAndMapsAWrongSecret)
{
    node_tag_t open = add_target(kOpen);
    MAL_TargetLoginParams p = any_portal();
    MAL_TargetEntry entry = target_entry(kOpen, 1, 3260);
    ASSERT_EQ(RM_STATUS_OK, MAL_TargetLogin(open, &p, &entry));
    EXPECT_EQ(1u, members(open, MAL_TARGET_SESSION).size());

    node_tag_t chap = add_target(kChap);
    MAL_AuthenticationProperties wrong = auth("One-Way CHAP", "", "", "ini", "wrongsecret12");
    ASSERT_EQ(RM_STATUS_OK, MAL_SetTargetAuthOptions(chap, &wrong));
    EXPECT_EQ(RM_STATUS_ERROR_LOGIN_AUTHENTICATION, MAL_TargetLogin(chap, &p, &entry));
    EXPECT_TRUE(members(chap, MAL_TARGET_SESSION).empty());
}

TEST_F(MalIscsiOps, LogoutOfAnOpenBootSessionIsRefused)
{
    node_tag_t t = add_target(kOpen);
    MAL_TargetLoginParams p = any_portal();
    MAL_TargetEntry entry = target_entry(kOpen, 1, 3260);
    ASSERT_EQ(RM_STATUS_OK, MAL_TargetLogin(t, &p, &entry));
    std::vector<uint32_t> sessions = members(t, MAL_TARGET_SESSION);
    ASSERT_EQ(1u, sessions.size());
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_TargetLogout(t, static_cast<node_tag_t>(t)));
    change_initiator([](json &ini) { ini["sessions"][0]["flags"] = 0x100; });
    EXPECT_EQ(MAL_STATUS_BOOT_SESSION_ACTIVE, MAL_TargetLogout(t, static_cast<node_tag_t>(sessions[0])));
    EXPECT_EQ(1u, members(t, MAL_TARGET_SESSION).size());
    change_initiator([](json &ini) { ini["sessions"][0]["flags"] = 0; });
    EXPECT_EQ(RM_STATUS_OK, MAL_TargetLogout(t, static_cast<node_tag_t>(sessions[0])));
    EXPECT_TRUE(members(t, MAL_TARGET_SESSION).empty());
}

TEST_F(MalIscsiOps, EmptyNamesClearTheAliasAndKeepTheName)
{
    node_tag_t names = at(lhba_, {"InitiatoriSCSIName"});
    ASSERT_NE(VEXO_NO_TAG, names);
    const std::string name = value(names, "InitiatoriSCSIName");
    MAL_iSCSILogicalProperties *rec = new MAL_iSCSILogicalProperties();
    EXPECT_EQ(RM_STATUS_OK, MAL_SetiSCSILogicalProperties(lhba_, rec));
    EXPECT_EQ("", value(names, "InitiatorAlias"));
    EXPECT_EQ(name, value(names, "InitiatoriSCSIName"));
    delete rec;
}

TEST_F(MalIscsiOps, LoginOptionWritesPassOverTheFixedInitialR2T)
{
    node_tag_t options = at(lhba_, {"InitiatorLoginOptions"});
    ASSERT_NE(VEXO_NO_TAG, options);
    MAL_LoginOptions o;
    std::memset(&o, 0, sizeof o);
    std::snprintf(o.InitialR2T, sizeof o.InitialR2T, "Yes");
    std::snprintf(o.HeaderDigest, sizeof o.HeaderDigest, "CRC32C");
    EXPECT_EQ(RM_STATUS_OK, MAL_SetiSCSILoginOptions(lhba_, &o));
    EXPECT_EQ("CRC32C", value(options, "HeaderDigest"));
    // A refused write before it is reported.
    std::snprintf(o.DataDigest, sizeof o.DataDigest, "MD5");
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_SetiSCSILoginOptions(lhba_, &o));
}

} // namespace

namespace {

TEST_F(MalIscsiOps, IsnsStateAndServers)
{
    node_tag_t isns = at(iscsi_, {"iSNS"});
    ASSERT_NE(VEXO_NO_TAG, isns);
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_SetiSNSState(iscsi_, 2));
    EXPECT_EQ(RM_STATUS_OK, MAL_SetiSNSState(iscsi_, 1));
    EXPECT_STRCASEEQ("yes", value(isns, "iSNSEnabled").c_str());
    EXPECT_EQ(RM_STATUS_OK, MAL_SetiSNSState(iscsi_, 0));
    EXPECT_STRCASEEQ("no", value(isns, "iSNSEnabled").c_str());

    MAL_iSNSServer s;
    std::memset(&s, 0, sizeof s);
    s.PortNumber = 3205;
    hlvdsim::log_clear(host_.root());
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_AddiSNSServer(iscsi_, &s)) << "no new address";
    const uint8_t ip[4] = {10, 0, 0, 5};
    std::memcpy(s.IPAddress, ip, 4);
    s.PortNumber = -1;
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_AddiSNSServer(iscsi_, &s)) << "no port";
    EXPECT_EQ(0u, commands());

    s.PortNumber = 3205;
    ASSERT_EQ(RM_STATUS_OK, MAL_AddiSNSServer(iscsi_, &s));
    MAL_iSNSProperties props;
    std::memset(&props, 0, sizeof props);
    int count = MAL_ISNS_SERVERS;
    ASSERT_EQ(RM_STATUS_OK, MAL_GetiSNSProperties(iscsi_, &count, &props));
    ASSERT_EQ(1, count);
    EXPECT_EQ(0, std::memcmp(ip, props.Servers[0].IPAddress, 4));
    EXPECT_EQ(3205, props.Servers[0].PortNumber);

    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_DeleteiSNSServer(iscsi_, isns));
    EXPECT_EQ(RM_STATUS_OK, MAL_DeleteiSNSServer(iscsi_, static_cast<node_tag_t>(props.Servers[0].Tag)));
    count = MAL_ISNS_SERVERS;
    ASSERT_EQ(RM_STATUS_OK, MAL_GetiSNSProperties(iscsi_, &count, &props));
    EXPECT_EQ(0, count);
}

TEST_F(MalIscsiOps, TargetSettingsAndRescan)
{
    node_tag_t t = add_target(kOpen);
    // This function's driver is reached through callbacks, which take no ETO.
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_SetTargetProperties(t, 30));
    EXPECT_EQ("N/A", value(t, "ETO"));
    MAL_TargetLoginParams p = any_portal();
    MAL_TargetEntry entry = target_entry(kOpen, 1, 3260);
    ASSERT_EQ(RM_STATUS_OK, MAL_TargetLogin(t, &p, &entry));
    // The tree spells the action ReScanLUNS.
    EXPECT_EQ(RM_STATUS_OK, MAL_RescanLuns(t));
}

TEST_F(MalIscsiOps, BootTargetDiscoveryThroughDhcpIsSwitched)
{
    node_tag_t discovery = at(lhba_, {"Discovery"});
    ASSERT_NE(VEXO_NO_TAG, discovery);
    for (int flag : {1, 0, 5}) {
        EXPECT_EQ(0, MAL_Set_DiscoverBootTargetThruDHCP(lhba_, flag)) << flag;
        EXPECT_EQ(flag == 1 ? "Enabled" : "Disabled", value(discovery, "DiscoverBootTargetThruDHCP")) << flag;
    }
}

} // namespace
