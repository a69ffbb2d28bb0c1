// Login options of the iSCSI initiator: the record a login sends, filled
// from a login-option group; a returned record shown in the session,
// connection and target groups; the three editable login-option groups
// served from their persistence files; and the saved targets' lines.
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/login_options.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/aw/vexo-backend/nodes_target.h"
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
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3LOG01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22", "initiator": { "name": "iqn.1998-01.com.example:host" } } ] }
  ]
})";

class LoginOptions : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        build_initiator();
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }

    // The one place that builds initiator nodes the start does not build yet:
    // LogicalHBA0, and targets below it through the object model.
    void build_initiator()
    {
        adapter_ = adapter_path("AW3LOG01");
        ASSERT_FALSE(adapter_.empty());
        lhba_path_ = adapter_ + "/iSCSIPhysicalHBA0/LogicalHBA0";
        node *iscsi = get_node(tag_at(adapter_ + "/iSCSIPhysicalHBA0", VEXO_NODE_GROUP));
        ASSERT_NE(nullptr, iscsi);
        lhba_ = get_first_instance(iscsi, "LogicalHBA");
        if (!lhba_)
            lhba_ = initialize_LogicalHBA(iscsi, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, lhba_);
    }
    node *add_target(const char *name, int discovered = 0)
    {
        return setup_target(lhba_, name, nullptr, nullptr, nullptr, discovered);
    }
    node *group(const std::string &path) { return get_node(tag_at(path, VEXO_NODE_GROUP)); }

    SimHost host_{kOneIscsi};
    std::string adapter_, lhba_path_;
    node *lhba_ = nullptr;
    int start_ = 0;
};

// ---- the record sent at login ----

TEST_F(LoginOptions, DefaultRecordCarriesTheProtocolDefaultsAndBlankSecrets)
{
    const MGMT_LOGIN_OPTIONS *d = get_default_login_options();
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(0x0F, d->sess_login_opts.flags);
    EXPECT_EQ(0, d->sess_login_opts.error_recovery_level);
    EXPECT_EQ(8192u, d->sess_login_opts.first_burst_length);
    EXPECT_EQ(262144u, d->sess_login_opts.max_burst_length);
    EXPECT_EQ(1, d->sess_login_opts.max_connections);
    EXPECT_EQ(1, d->sess_login_opts.max_outstanding_r2t);
    EXPECT_EQ(2, d->sess_login_opts.default_time2wait);
    EXPECT_EQ(20, d->sess_login_opts.default_time2retain);
    EXPECT_EQ(0, d->conn_login_opts.header_digest);
    EXPECT_EQ(0, d->conn_login_opts.data_digest);
    EXPECT_EQ(65536u, d->conn_login_opts.max_recv_datasegment_len_ini);
    EXPECT_EQ(65536u, d->conn_login_opts.max_recv_datasegment_len_tgt);
    EXPECT_EQ(0u, d->conn_login_opts.tcp_mss);
    EXPECT_EQ(16000u, d->conn_login_opts.tcp_window_size);
    const MGMT_CHAP_FORMAT &chap = d->conn_login_opts.auth_data.chap_srp_format.chap;
    EXPECT_EQ(0, d->conn_login_opts.auth_data.auth_method_type);
    EXPECT_EQ(' ', chap.intr_secret[0]);
    EXPECT_EQ(' ', chap.target_secret[0]);
    EXPECT_EQ(0, chap.intr_secret_length);
    EXPECT_EQ(0, chap.target_secret_length);
    EXPECT_EQ(0, chap.intr_chap_name_length);
    EXPECT_EQ(0, chap.target_chap_name_length);
}

TEST_F(LoginOptions, FillingTakesTheTypeAndLeavesTheRecordOnAnUnknownOne)
{
    node *t = add_target("iqn.2001-04.com.example:disk1");
    ASSERT_NE(nullptr, t);
    node *opts = internal_get_node(t, "TargetLoginOptions", VEXO_NODE_GROUP);
    node *auth = internal_get_node(opts, "Authentication", VEXO_NODE_GROUP);
    ASSERT_NE(nullptr, auth);
    set_prop_val(opts, "HeaderDigest", "CRC32C");
    set_prop_val(opts, "ImmediateData", "No");
    set_prop_val(auth, "AuthenticationMethod", "Mutual CHAP");
    set_prop_val(auth, "InitiatorCHAPName", "ini");
    set_prop_val(auth, "InitiatorSecret", "0x00112233445566778899AABB");
    set_prop_val(auth, "TargetCHAPName", "tgt");
    set_prop_val(auth, "TargetSecret", "abcdefghijkl");

    const MGMT_LOGIN_OPTIONS zero = {};
    for (int type : {-1, 4, 1}) {
        MGMT_LOGIN_OPTIONS rec = zero;
        EXPECT_EQ(type == 1 ? 0 : 1, get_login_options(opts, &rec, type)) << type;
        EXPECT_EQ(0, std::memcmp(&zero, &rec, sizeof rec)) << type;
    }

    MGMT_LOGIN_OPTIONS rec = *get_default_login_options();
    ASSERT_EQ(0, get_login_options(opts, &rec, 0));
    const MGMT_CHAP_FORMAT &chap = rec.conn_login_opts.auth_data.chap_srp_format.chap;
    EXPECT_EQ(1, rec.conn_login_opts.auth_data.auth_method_type);
    EXPECT_EQ(1u, chap.flags);
    EXPECT_EQ(1, rec.conn_login_opts.header_digest);
    EXPECT_EQ(0, rec.conn_login_opts.data_digest);
    EXPECT_EQ(0x0D, rec.sess_login_opts.flags); // ImmediateData cleared, in-order bits kept
    const uint8_t hex[12] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB};
    EXPECT_EQ(12, chap.intr_secret_length);
    EXPECT_EQ(0, std::memcmp(hex, chap.intr_secret, 12));
    EXPECT_EQ(12, chap.target_secret_length);
    EXPECT_EQ(0, std::memcmp("abcdefghijkl", chap.target_secret, 12));
    EXPECT_EQ(3, chap.intr_chap_name_length);
    EXPECT_STREQ("tgt", chap.target_chap_name);

    // Type 3 is the CHAP part only: digests and flags stay the defaults'.
    rec = *get_default_login_options();
    ASSERT_EQ(0, get_login_options(opts, &rec, 3));
    EXPECT_EQ(0, rec.conn_login_opts.header_digest);
    EXPECT_EQ(0x0F, rec.sess_login_opts.flags);
    EXPECT_EQ(12, rec.conn_login_opts.auth_data.chap_srp_format.chap.target_secret_length);

    // No Authentication child: nothing is filled.
    node *session = initialize_Session(t, nullptr, nullptr, nullptr);
    node *negotiated = internal_get_node(session, "SessionNegotiatedLoginOptions", VEXO_NODE_GROUP);
    ASSERT_NE(nullptr, negotiated);
    rec = zero;
    EXPECT_EQ(1, get_login_options(negotiated, &rec, 0));
    EXPECT_EQ(1, update_chap_details(negotiated, &rec, 1));
    EXPECT_EQ(1, update_header_digest_details(negotiated, &rec, 1));
    EXPECT_EQ(0, std::memcmp(&zero, &rec, sizeof rec));
}

TEST_F(LoginOptions, SavedSecretOfABadFormIsRefusedAndFillsNothing)
{
    node *t = add_target("iqn.2001-04.com.example:disk1");
    node *opts = internal_get_node(t, "TargetLoginOptions", VEXO_NODE_GROUP);
    node *auth = internal_get_node(opts, "Authentication", VEXO_NODE_GROUP);
    ASSERT_NE(nullptr, auth);
    const struct {
        const char *secret;
        VEXO_status_t status;
        const char *text;
    } bad[] = {
        {"0x00112233445566778899AABBCCDDEEFF0011", VEXO_STATUS_INVALID_SIZE,
         "TargetSecret: Number of characters should be from 24 to 32."},
        {"0x00112233445566778899AABG", VEXO_STATUS_INVALID_VALUE,
         "Invalid value. The valid values are 0-9, a-f and A-F."},
        {"0x00112233445566778899AABBC", VEXO_STATUS_INVALID_VALUE,
         "Invalid value. Odd number of characters are not allowed."},
        {"short", VEXO_STATUS_INVALID_SIZE, "TargetSecret: Number of characters should be from 12 to 16."},
        {"seventeen-chars-x", VEXO_STATUS_INVALID_SIZE, "TargetSecret: Number of characters should be from 12 to 16."},
    };
    set_prop_val(auth, "AuthenticationMethod", "One-Way CHAP");
    for (const auto &c : bad) {
        set_prop_val(auth, "TargetSecret", "%s", c.secret);
        MGMT_LOGIN_OPTIONS rec = *get_default_login_options();
        EXPECT_EQ(c.status, get_login_options(opts, &rec, 0)) << c.secret;
        EXPECT_EQ(0, std::memcmp(get_default_login_options(), &rec, sizeof rec)) << c.secret;
        EXPECT_EQ(0, update_chap_details(opts, &rec, 0)) << "no CHAP part asked: " << c.secret;
        EXPECT_NE(0, update_chap_details(opts, &rec, 1)) << c.secret;
        auto st = last_status();
        EXPECT_EQ(c.status, st.first) << c.secret;
        EXPECT_EQ(c.text, st.second) << c.secret;
    }
}

// ---- a returned record into the tree ----

TEST_F(LoginOptions, SessionValuesShowIrrelevantFirstBurstOnlyWithoutUnsolicitedData)
{
    node *t = add_target("iqn.2001-04.com.example:disk1");
    node *session = initialize_Session(t, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, session);
    node *g = internal_get_node(session, "SessionNegotiatedLoginOptions", VEXO_NODE_GROUP);
    ASSERT_NE(nullptr, g);
    const struct {
        uint8_t flags;
        const char *r2t, *immediate, *first_burst;
    } cases[] = {
        {0x01, "Yes", "No", "Irrelevant"},
        {0x03, "Yes", "Yes", "4096"},
        {0x00, "No", "No", "4096"},
        {0x02, "No", "Yes", "4096"},
    };
    for (const auto &c : cases) {
        MGMT_LOGIN_OPTIONS rec = *get_default_login_options();
        rec.sess_login_opts.flags = c.flags;
        rec.sess_login_opts.first_burst_length = 4096;
        rec.sess_login_opts.max_burst_length = 131072;
        rec.sess_login_opts.error_recovery_level = 2;
        // Either the group or its Session may be given.
        ASSERT_EQ(0, set_session_login_options(c.flags & 1 ? session : g, &rec));
        char v[VEXO_VALUE_SIZE];
        auto get = [&](const char *name) {
            internal_get_property(g, name, v);
            return std::string(v);
        };
        EXPECT_EQ(c.r2t, get("InitialR2T"));
        EXPECT_EQ(c.immediate, get("ImmediateData"));
        EXPECT_EQ(c.first_burst, get("FirstBurstLength"));
        EXPECT_EQ("No", get("DataPDUInOrder"));
        EXPECT_EQ("131072", get("MaxBurstLength"));
        EXPECT_EQ("2", get("ErrorRecoveryLevel"));
        EXPECT_EQ("20", get("DefaultTime2Retain"));
    }
    EXPECT_EQ(1, set_session_login_options(t, get_default_login_options()));
}

TEST_F(LoginOptions, ConnectionAndTargetShowDigestsAndMethodTexts)
{
    node *t = add_target("iqn.2001-04.com.example:disk1");
    node *session = initialize_Session(t, nullptr, nullptr, nullptr);
    node *conn = session ? initialize_Connection(session, nullptr, nullptr, nullptr) : nullptr;
    ASSERT_NE(nullptr, conn);
    node *cg = internal_get_node(conn, "ConnectionNegotiatedLoginOptions", VEXO_NODE_GROUP);
    node *tauth = internal_get_node(internal_get_node(t, "TargetLoginOptions", VEXO_NODE_GROUP), "Authentication",
                                    VEXO_NODE_GROUP);
    ASSERT_NE(nullptr, tauth);
    const struct {
        uint8_t type;
        uint32_t chap_flags;
        const char *method;
    } cases[] = {
        {0, 0, "None"}, {1, 0, "One-Way CHAP"}, {1, 1, "Mutual CHAP"}, {2, 0, "Mutual CHAP"}, // last one left
    };
    for (const auto &c : cases) {
        MGMT_LOGIN_OPTIONS rec = *get_default_login_options();
        rec.conn_login_opts.header_digest = c.type == 1 ? 1 : 0;
        rec.conn_login_opts.data_digest = 1;
        rec.conn_login_opts.tcp_mss = 1448;
        rec.conn_login_opts.auth_data.auth_method_type = c.type;
        MGMT_CHAP_FORMAT &chap = rec.conn_login_opts.auth_data.chap_srp_format.chap;
        chap.flags = c.chap_flags;
        std::memcpy(chap.target_secret, "0123456789abcdef", 16); // all 16 bytes, no NUL
        std::strcpy(chap.target_chap_name, "tgt");
        ASSERT_EQ(0, set_connection_login_options(conn, &rec));
        ASSERT_EQ(0, setup_initiator_target_loginopts(t, &rec));
        char v[VEXO_VALUE_SIZE];
        internal_get_property(cg, "AuthenticationMethod", v);
        EXPECT_STREQ(c.method, v) << int(c.type);
        internal_get_property(cg, "HeaderDigest", v);
        EXPECT_STREQ(c.type == 1 ? "CRC32C" : "None", v);
        internal_get_property(cg, "DataDigest", v);
        EXPECT_STREQ("CRC32C", v);
        internal_get_property(cg, "TCPMSS", v);
        EXPECT_STREQ("1448", v);
        node *tauth_method = internal_get_node(tauth, "AuthenticationMethod", VEXO_NODE_PROPERTY);
        EXPECT_STREQ(c.method, tauth_method->u.prop->val);
        node *secret = internal_get_node(tauth, "TargetSecret", VEXO_NODE_PROPERTY);
        EXPECT_STREQ("0123456789abcdef", secret->u.prop->val);
    }
    // A Session's own group is the SessionLoginOptions one.
    MGMT_LOGIN_OPTIONS rec = *get_default_login_options();
    rec.conn_login_opts.data_digest = 1;
    ASSERT_EQ(0, setup_initiator_target_loginopts(session, &rec));
    node *sg = internal_get_node(session, "SessionLoginOptions", VEXO_NODE_GROUP);
    EXPECT_STREQ("CRC32C", internal_get_node(sg, "DataDigest", VEXO_NODE_PROPERTY)->u.prop->val);
}


// ---- the editable groups and their files ----

class LoginOptionFiles : public LoginOptions {
protected:
    std::string file(const char *name) { return host_.path(std::string("/etc/config/TAQ/vexo/") + name); }
    std::string key()
    {
        return adapter_ + ",iSCSIPhysicalHBA0,LogicalHBA0";
    }
    void put(const char *name, const std::string &text) { hlvdtest::write_file(file(name), text); }
    std::string get(const char *name) { return hlvdtest::read_file(file(name)); }
    unsigned mode(const char *name)
    {
        struct stat st;
        return stat(file(name).c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
    }
    // A send-target portal of the Discovery group at ip:port.
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
    std::string target_path(node *t)
    {
        return lhba_path_ + "/Target" + std::to_string(t->u.grp->multi_instance->instance);
    }
};

TEST_F(LoginOptionFiles, InitiatorDigestLevelsAreCheckedAndOnlyItsLineIsRewritten)
{
    const std::string other = "Arcwright9,iSCSIPhysicalHBA0,LogicalHBA0,Yes,Yes,None,None,None,,,,,,,\n";
    put("intr_logopts.txt", other + key() + ",Yes,No,None,None,One-Way CHAP,,,tname,tsecret123456,,,\n");
    const std::string g = lhba_path_ + "/InitiatorLoginOptions/";
    EXPECT_EQ("No", value_at(g + "ImmediateData"));
    EXPECT_EQ("Prohibited", value_at(g + "HeaderParam")); // empty level
    EXPECT_EQ("One-Way CHAP", value_at(g + "Authentication/AuthenticationMethod"));
    EXPECT_EQ("tname", value_at(g + "Authentication/TargetCHAPName"));
    EXPECT_EQ("Prohibited", value_at(g + "Authentication/CHAPParam"));

    // Each step: property, value, status; the digest pair is kept consistent.
    const struct {
        const char *prop, *value;
        VEXO_status_t status;
    } steps[] = {
        {"HeaderParam", "Preferred", VEXO_STATUS_CANNOT_SET_PREFFERED},
        {"HeaderDigest", "CRC32C", VEXO_STATUS_SUCCESS},
        {"HeaderParam", "Preferred", VEXO_STATUS_SUCCESS},
        {"HeaderDigest", "None", VEXO_STATUS_CANNOT_SET_NONE},
        {"DataParam", "Preferred", VEXO_STATUS_CANNOT_SET_PREFFERED},
        {"HeaderParam", "Prohibited", VEXO_STATUS_SUCCESS},
        {"HeaderDigest", "None", VEXO_STATUS_SUCCESS},
        {"HeaderDigest", "CRC32C", VEXO_STATUS_SUCCESS},
        {"ImmediateData", "Yes", VEXO_STATUS_SUCCESS},
    };
    for (const auto &s : steps) {
        std::string before = get("intr_logopts.txt");
        VEXO_status_t want = s.status == VEXO_STATUS_SUCCESS ? VEXO_STATUS_SUCCESS : VEXO_STATUS_FAILURE;
        EXPECT_EQ(want, set_at(g + s.prop, s.value)) << s.prop << "=" << s.value;
        if (s.status != VEXO_STATUS_SUCCESS) {
            EXPECT_EQ(s.status, last_status().first);
            EXPECT_EQ(before, get("intr_logopts.txt")) << s.prop << "=" << s.value;
        }
    }
    EXPECT_EQ(other + key() + ",Yes,Yes,CRC32C,None,One-Way CHAP,,,tname,tsecret123456,,Prohibited,\n",
              get("intr_logopts.txt"));
    EXPECT_EQ(0600u, mode("intr_logopts.txt")) << "the file holds CHAP secrets";
    EXPECT_EQ("CRC32C", value_at(g + "HeaderDigest"));
}

TEST_F(LoginOptionFiles, InitiatorWithoutFileFailsAndSetLeavesTheCache)
{
    const std::string g = lhba_path_ + "/InitiatorLoginOptions/";
    // The start wrote the initiator's default line.
    std::remove(file("intr_logopts.txt").c_str());
    EXPECT_NE("Yes", value_at(g + "ImmediateData"));
    EXPECT_NE(VEXO_STATUS_SUCCESS, set_at(g + "ImmediateData", "No"));
    node *p = get_node(tag_at(g + "ImmediateData", VEXO_NODE_PROPERTY));
    ASSERT_NE(nullptr, p);
    EXPECT_STREQ("Yes", p->u.prop->val);
    EXPECT_FALSE(hlvdtest::file_exists(file("intr_logopts.txt")));
}

TEST_F(LoginOptionFiles, TargetSetRewritesItsPortalLinesOnlyAndMarksThemPersistent)
{
    node *t = add_target("iqn.2001-04.com.example:disk1");
    ASSERT_NE(nullptr, t);
    const std::string k = key() + ",iqn.2001-04.com.example:disk1,";
    const std::string opts = ",iqn.ini,Yes,Yes,None,None,None,,,,,Static,,,";
    const std::string portal1 = k + "10.0.0.1,3260," + opts + ",\n";
    const std::string login1 = k + "10.0.0.1,3260,2" + opts + ",True\n";
    const std::string portal2 = k + "10.0.0.2,3261," + opts + ",False\n";
    const std::string other =
        key() + ",iqn.2001-04.com.example:disk10,10.0.0.1,3260,,iqn.ini,Yes,Yes,None,None,None,,,,,Static,,,,\n";
    put("savetgt.txt", portal1 + login1 + other + portal2);

    const std::string g = target_path(t) + "/TargetLoginOptions/";
    EXPECT_EQ("Prohibited", value_at(g + "DataParam")); // empty fields 19 to 21
    EXPECT_EQ("Prohibited", value_at(g + "Authentication/CHAPParam"));
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(g + "ImmediateData", "No"));
    // Only the set field and field 22 change; the levels loaded as Prohibited stay empty.
    EXPECT_EQ(k + "10.0.0.1,3260,,iqn.ini,Yes,No,None,None,None,,,,,Static,,,,True\n" + login1 + other + k +
                  "10.0.0.2,3261,,iqn.ini,Yes,No,None,None,None,,,,,Static,,,,True\n",
              get("savetgt.txt"));
    EXPECT_EQ(0600u, mode("savetgt.txt"));
    EXPECT_EQ("No", value_at(g + "ImmediateData"));
}

TEST_F(LoginOptionFiles, TargetWithOnlyPersistentLoginLinesKeepsItsValues)
{
    node *t = add_target("iqn.2001-04.com.example:disk1");
    ASSERT_NE(nullptr, t);
    put("savetgt.txt",
        key() + ",iqn.2001-04.com.example:disk1,10.0.0.1,3260,2,iqn.ini,No,No,CRC32C,CRC32C,None,,,,,Static,,,,True\n");
    const std::string g = target_path(t) + "/TargetLoginOptions/";
    EXPECT_EQ("Yes", value_at(g + "ImmediateData"));
    EXPECT_EQ("None", value_at(g + "HeaderDigest"));
    // With no file at all the values stay as well.
    std::remove(file("savetgt.txt").c_str());
    EXPECT_EQ("Yes", value_at(g + "ImmediateData"));
}

TEST_F(LoginOptionFiles, PortalSetRewritesItsOwnLineAndNeedsTheFile)
{
    node *p = add_portal("10.0.0.5", "3260");
    ASSERT_NE(nullptr, p);
    const std::string g = lhba_path_ + "/Discovery/SendTargetPortal0/SendTargetPortalLoginOptions/";
    EXPECT_NE(VEXO_STATUS_SUCCESS, set_at(g + "DataDigest", "CRC32C")) << "no file";
    const std::string mine = key() + ",10.0.0.5,3260,00:00:c9:b3:00:22,Yes,Yes,None,None,None,,,,,,,\n";
    const std::string other = key() + ",10.0.0.50,3260,00:00:c9:b3:00:22,Yes,Yes,None,None,None,,,,,,,\n";
    put("savestp.txt", other + mine);
    EXPECT_EQ("Prohibited", value_at(g + "DataParam"));
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(g + "DataDigest", "CRC32C"));
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(g + "DataParam", "Preferred"));
    EXPECT_EQ(other + key() + ",10.0.0.5,3260,00:00:c9:b3:00:22,Yes,Yes,None,CRC32C,None,,,,,,,Preferred\n",
              get("savestp.txt"));
    EXPECT_EQ("Preferred", value_at(g + "DataParam"));
}

TEST_F(LoginOptionFiles, WriterClampsAndRefusesWhatALineCannotHold)
{
    put("intr_logopts.txt", key() + ",Yes,Yes,None,None,None,,,,,,,\n");
    node *g = internal_get_node(lhba_, "InitiatorLoginOptions", VEXO_NODE_GROUP);
    node *auth = internal_get_node(g, "Authentication", VEXO_NODE_GROUP);
    std::string before = get("intr_logopts.txt");
    EXPECT_EQ(1, VEXO_set_initiator_loginoptions(lhba_, g, auth, "TargetCHAPName", "a,b"));
    EXPECT_EQ(before, get("intr_logopts.txt"));
    std::string longname(300, 'n');
    EXPECT_EQ(0, VEXO_set_initiator_loginoptions(lhba_, g, auth, "TargetCHAPName", longname.c_str()));
    EXPECT_EQ(key() + ",Yes,Yes,None,None,None,,," + std::string(255, 'n') + ",,,,\n", get("intr_logopts.txt"));
}

// ---- saved targets ----

TEST_F(LoginOptionFiles, AddedTargetLineIsAppendedOnceWithTheInitiatorOptions)
{
    put("intr_logopts.txt", key() + ",Yes,No,CRC32C,None,None,,,,,,Preferred,\n");
    node *t = add_target("iqn.2001-04.com.example:disk1");
    ASSERT_NE(nullptr, t);
    // The initiator's name in the line is the one the firmware holds.
    const std::string line = key() + ",iqn.2001-04.com.example:disk1,10.0.0.1,3260,,iqn.1998-01.com.example:host,"
                                     "Yes,No,CRC32C,None,None,,,,,Static,Prohibited,Preferred,Prohibited,True\n";
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(0, VEXO_add_target_into_file(lhba_, t, "iqn.2001-04.com.example:disk1", "10.0.0.1", "3260", nullptr,
                                               "True"));
        EXPECT_EQ(line, get("savetgt.txt")) << "call " << i;
    }
    EXPECT_EQ(0600u, mode("savetgt.txt"));
    node *opts = internal_get_node(t, "TargetLoginOptions", VEXO_NODE_GROUP);
    EXPECT_STREQ("CRC32C", internal_get_node(opts, "HeaderDigest", VEXO_NODE_PROPERTY)->u.prop->val);
    EXPECT_STREQ("Preferred", internal_get_node(opts, "HeaderParam", VEXO_NODE_PROPERTY)->u.prop->val);

    // A persistent-login line counts as the portal's line too.
    node *t2 = add_target("iqn.2001-04.com.example:disk2");
    const std::string login =
        key() + ",iqn.2001-04.com.example:disk2,10.0.0.2,3260,3,iqn.x,Yes,Yes,None,None,None,,,,,Static,,,,True\n";
    put("savetgt.txt", line + login);
    EXPECT_EQ(0, VEXO_add_target_into_file(lhba_, t2, "iqn.2001-04.com.example:disk2", "10.0.0.2", "3260", nullptr,
                                           "True"));
    EXPECT_EQ(line + login, get("savetgt.txt"));
}

TEST_F(LoginOptionFiles, DiscoveredTargetTakesItsPortalsOptionsOrElseTheInitiators)
{
    put("intr_logopts.txt", key() + ",Yes,Yes,None,None,None,,,,,,,\n");
    put("savestp.txt", key() + ",10.0.0.9,3260,00:00:00:00:00:00,Yes,No,None,CRC32C,None,,,,,,,Preferred\n");
    ASSERT_NE(nullptr, add_portal("10.0.0.9", "3260"));
    const struct {
        const char *name, *ip, *expect_values;
    } cases[] = {
        {"iqn.t:a", "10.0.0.9", "Yes,No,None,CRC32C,None,,,,,Discovered,Prohibited,Prohibited,Preferred"},
        {"iqn.t:b", "10.0.0.8", "Yes,Yes,None,None,None,,,,,Discovered,Prohibited,Prohibited,Prohibited"},
    };
    std::string expect;
    for (const auto &c : cases) {
        node *t = add_target(c.name, 1);
        ASSERT_NE(nullptr, t);
        EXPECT_EQ(0, VEXO_add_target_into_file(lhba_, t, c.name, c.ip, "3260", nullptr, ""));
        expect += key() + "," + c.name + "," + c.ip + ",3260,,iqn.1998-01.com.example:host," + c.expect_values + ",\n";
    }
    EXPECT_EQ(expect, get("savetgt.txt"));
}

TEST_F(LoginOptionFiles, TargetTypeComesFromTheTargetsFirstLine)
{
    node *t = add_target("iqn.2001-04.com.example:disk1");
    node *t2 = add_target("iqn.2001-04.com.example:disk2");
    ASSERT_NE(nullptr, t2);
    put("savetgt.txt",
        "Arcwright9,iSCSIPhysicalHBA0,LogicalHBA0,iqn.2001-04.com.example:disk1,10.0.0.1,3260,,i,Yes,Yes,None,None,"
        "None,,,,,Static,,,,\n" +
            key() + ",IQN.2001-04.COM.EXAMPLE:DISK1,10.0.0.1,3260,,i,Yes,Yes,None,None,None,,,,,Discovered,,,,\n" +
            key() + ",iqn.2001-04.com.example:disk1,10.0.0.2,3260,,i,Yes,Yes,None,None,None,,,,,Static,,,,\n");
    EXPECT_EQ("Discovered", value_at(target_path(t) + "/TargetType"));
    EXPECT_EQ("Static", value_at(target_path(t2) + "/TargetType")) << "no line leaves the default";
    EXPECT_NE(VEXO_STATUS_SUCCESS, set_at(target_path(t) + "/TargetType", "Static")) << "read-only";
    EXPECT_EQ("Discovered", value_at(target_path(t) + "/TargetType"));
}

} // namespace
