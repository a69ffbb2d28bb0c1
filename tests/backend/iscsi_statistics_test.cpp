// The statistics of an iSCSI initiator and of its sessions, read as
// properties through the management API from simulated firmware records.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/fault_plan.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;
using nlohmann::json;

namespace {

std::string machine(const json &initiator)
{
    json m = json::parse(R"({ "adapters": [
      { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3STA01",
        "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
        "functions": [
          { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
            "mac": "00:00:C9:B3:00:22" } ] } ] })");
    m["adapters"][0]["functions"][0]["initiator"] = initiator;
    return m.dump();
}

// Sessions with handles 1..n.
json sessions(int n)
{
    json list = json::array();
    for (int i = 1; i <= n; ++i)
        list.push_back({{"handle", i}, {"target", "iqn.2001-04.com.example:t"}});
    return list;
}

class IscsiStatistics : public ::testing::Test {
protected:
    void start(const json &initiator)
    {
        host_.reset(new SimHost(machine(initiator)));
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        started_ = true;
        node *fn = get_node(tag_at(adapter_path("AW3STA01") + "/iSCSIPhysicalHBA0", VEXO_NODE_GROUP));
        ASSERT_NE(nullptr, fn);
        port_ = get_port_number(fn);
        lhba_ = internal_get_node(fn, "LogicalHBA0", VEXO_NODE_GROUP);
        if (!lhba_) {
            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
            lhba_ = initialize_LogicalHBA(fn, nullptr, nullptr, params);
        }
        ASSERT_NE(nullptr, lhba_);
        stats_ = internal_get_node(lhba_, "iSCSIStatistics", VEXO_NODE_GROUP);
        ASSERT_NE(nullptr, stats_);
    }
    void TearDown() override
    {
        if (!started_)
            return;
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }
    // The statistics group of a new Session with that firmware handle.
    node *session(int handle)
    {
        node *t = find_target(lhba_, "iqn.2001-04.com.example:t");
        if (!t)
            t = setup_target(lhba_, "iqn.2001-04.com.example:t", nullptr, nullptr, nullptr, 0);
        node *s = t ? setup_session(t, port_, handle, 0, nullptr, nullptr, nullptr, nullptr, "1") : nullptr;
        return s ? internal_get_node(s, "iSCSISessionStatistics", VEXO_NODE_GROUP) : nullptr;
    }
    // Read through the API, so the handler runs; "error N" on failure.
    static std::string read(node *group, const char *name)
    {
        node *p = internal_get_node(group, name, VEXO_NODE_PROPERTY);
        if (!p)
            return "missing";
        char v[VEXO_VALUE_SIZE] = "";
        VEXO_status_t st = VEXO_get_property_val(group->node_tag, p->node_tag, v, VEXO_VALUE_SIZE);
        return st == VEXO_STATUS_SUCCESS ? std::string(v) : "error " + std::to_string(st);
    }
    // Handle counts of the session-attribute batches sent.
    std::vector<uint32_t> batches() const
    {
        std::vector<uint32_t> out;
        for (const json &e : fw_entries(host_->root()))
            if (e.value("subsystem", 0) == 6 && e.value("opcode", 0) == 48) {
                std::vector<uint8_t> p = hex_bytes(e.value("payload", ""));
                EXPECT_GE(p.size(), 8u);
                EXPECT_EQ(0xA1B2C3D4u, p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24);
                out.push_back(p[4] | p[5] << 8);
            }
        return out;
    }

    std::unique_ptr<SimHost> host_;
    bool started_ = false;
    int start_ = 0;
    int port_ = 0;
    node *lhba_ = nullptr;
    node *stats_ = nullptr;
};

TEST_F(IscsiStatistics, NodeAttributesShowSignedFieldsAsTheirExtension)
{
    start({{"node_attributes",
            {{"roles", -1}, {"portal_count", 3}, {"portal_status", 1}, {"portal_role", 10}, {"protocol", 6},
             {"tag", 513}}}});
    EXPECT_EQ("ffffffff", read(stats_, "NodeRoles"));
    EXPECT_EQ("3", read(stats_, "PortalCount"));
    EXPECT_EQ("1", read(stats_, "NodeCount"));
    EXPECT_EQ("1", read(stats_, "PortRowStatus"));
    EXPECT_EQ("a", read(stats_, "PortalRole"));
    EXPECT_EQ("6", read(stats_, "PortalProtocol"));
    EXPECT_EQ("513", read(stats_, "PortalTag"));
}

TEST_F(IscsiStatistics, InstanceAndLoginStatisticsFillEveryProperty)
{
    start({{"instance_stats",
            {{"session_count", 4}, {"failure_count", 2}, {"last_failure_type", 2},
             {"last_rmt_node_name", "iqn.2001-04.com.example:gone"}, {"digest_errors", 7},
             {"cxn_timeout_errors", 8}, {"format_errors", 9}}},
           {"login_stats",
            {{"failures", 11}, {"last_failure_time", 1700000000}, {"last_failure_type", 5},
             {"last_tgt_name", "iqn.2001-04.com.example:auth"}, {"last_tgt_addr", "10.1.2.3"},
             {"accept_rsps", 21}, {"other_fail_rsps", 22}, {"redirect_rsps", 23}, {"auth_fail_rsps", 24},
             {"authenticate_fails", 25}, {"negotiate_fails", 26}, {"logout_normals", 27},
             {"logout_others", 28}}}});
    const std::pair<const char *, const char *> expect[] = {
        {"SessionCount", "4"}, {"SessionFailureCount", "2"},
        {"LastSessionFailureType", "ConnectionTimeoutErrors"},
        {"LastSessionRmtNodeName", "iqn.2001-04.com.example:gone"}, {"SessionDigestErrors", "7"},
        {"SessionConnectionTimeout", "8"}, {"SessionFormatErrors", "9"}, {"LoginFailures", "11"},
        {"LastFailureTime", "1700000000"}, {"LastFailureType", "LoginAuthenticationFailure"},
        {"LastTgtFailureName", "iqn.2001-04.com.example:auth"}, {"LastTgtFailureAddr", "10.1.2.3"},
        {"LoginAcceptRsps", "21"}, {"LoginOtherFailRsps", "22"}, {"LoginRedirectRsps", "23"},
        {"LoginAuthFailRsps", "24"}, {"LoginAuthFails", "25"}, {"LoginNegoFails", "26"},
        {"LogoutNormals", "27"}, {"LogoutOthers", "28"}};
    for (const auto &e : expect)
        EXPECT_EQ(e.second, read(stats_, e.first)) << e.first;
}

TEST_F(IscsiStatistics, FailureTypesOutsideTheirTablesLeaveTheValue)
{
    start({{"instance_stats", {{"last_failure_type", 4}}},
           {"login_stats", {{"last_failure_type", 7}, {"last_tgt_addr", "fe80::1"}}}});
    EXPECT_EQ("1", read(stats_, "LastSessionFailureType"));
    EXPECT_EQ("0", read(stats_, "LastFailureType"));
    EXPECT_EQ("FE80:0000:0000:0000:0000:0000:0000:0001", read(stats_, "LastTgtFailureAddr"));
}

TEST_F(IscsiStatistics, WholeOctetCountersAndSessionFields)
{
    json init = {{"sessions", sessions(2)}};
    init["sessions"][1]["stats"] = {{"direction", 2},     {"target_alias", "disk-a"}, {"cmd_pdus", 3000000000u},
                                    {"rsp_pdus", 12},     {"tx_octets", 4294967301ull}, {"rx_octets", "9"},
                                    {"digest_errors", 1}, {"cxn_timeout_errors", 2}};
    start(init);
    node *s = session(2);
    ASSERT_NE(nullptr, s);
    EXPECT_EQ("4294967301", read(s, "TxDataOctetsHigh"));
    EXPECT_EQ("9", read(s, "RxDataOctetsHigh"));
    EXPECT_EQ("3000000000", read(s, "CmdPdus"));
    EXPECT_EQ("12", read(s, "RspPdus"));
    EXPECT_EQ("2", read(s, "SessionDirection"));
    EXPECT_EQ("disk-a", read(s, "SessionTargetAlias"));
    EXPECT_EQ("1", read(s, "DigestErrors"));
    EXPECT_EQ("2", read(s, "CxnTimeoutErrors"));
}

TEST_F(IscsiStatistics, SessionsAreAskedForInBatchesUntilTheOneThatHoldsIt)
{
    json init = {{"sessions", sessions(120)}};
    init["sessions"][109]["stats"] = {{"cmd_pdus", 110}};
    init["sessions"][30]["stats"] = {{"cmd_pdus", 31}};
    start(init);
    node *late = session(110), *early = session(31);
    ASSERT_NE(nullptr, late);
    ASSERT_NE(nullptr, early);
    clear_log(host_->root());
    EXPECT_EQ("110", read(late, "CmdPdus"));
    EXPECT_EQ((std::vector<uint32_t>{50, 50, 20}), batches());
    clear_log(host_->root());
    EXPECT_EQ("31", read(early, "CmdPdus"));
    EXPECT_EQ((std::vector<uint32_t>{50}), batches());
}

TEST_F(IscsiStatistics, SessionMissingFromTheActiveListFailsWithoutAStatus)
{
    start({{"sessions", sessions(3)}});
    node *s = session(9);
    ASSERT_NE(nullptr, s);
    vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
    EXPECT_EQ("error 1", read(s, "CmdPdus"));
    EXPECT_EQ(VEXO_STATUS_SUCCESS, last_status().first);
    EXPECT_EQ((std::vector<uint32_t>{3}), batches());
}

// Each firmware failure fails the read with its own status.
TEST_F(IscsiStatistics, FailuresSetTheirStatus)
{
    struct Case {
        const char *what;
        int subsystem, opcode, status, additional, from;
        bool session;
        const char *property;
        VEXO_status_t expect;
    };
    const Case cases[] = {
        {"node attributes", 2, 30, 2, 0, 1, false, "NodeRoles", VEXO_STATUS_NODE_ATTRIB_FAILED},
        {"instance statistics", 6, 46, 2, 0, 1, false, "SessionCount", VEXO_STATUS_INTR_STATS},
        {"login statistics", 6, 47, 2, 0, 1, false, "LoginFailures", VEXO_STATUS_INTR_LOGIN_STATS},
        {"list length", 6, 29, 2, 0, 1, true, "CmdPdus", VEXO_STATUS_INSUFFICIENT_BUFFER},
        {"list", 6, 29, 2, 0, 2, true, "CmdPdus", VEXO_STATUS_SESSION_ID_FAILURE},
        {"closed session", 6, 48, 1, 18, 1, true, "CmdPdus", VEXO_STATUS_SESSION_ALREADY_CLOSED},
        {"batch", 6, 48, 2, 0, 1, true, "CmdPdus", VEXO_STATUS_SESSION_ATTRIB_FAILED},
    };
    start({{"sessions", sessions(1)}});
    node *s = session(1);
    ASSERT_NE(nullptr, s);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        hlvdsim::fault_clear(host_->root());
        hlvdsim::FaultSpec f;
        f.subsystem = c.subsystem;
        f.opcode = c.opcode;
        f.kind = "status";
        f.status = c.status;
        f.additional_status = c.additional;
        f.from = c.from;
        std::string err;
        ASSERT_GT(hlvdsim::fault_add(host_->root(), f, &err), 0) << err;
        EXPECT_EQ("error 1", read(c.session ? s : stats_, c.property));
        EXPECT_EQ(c.expect, last_status().first);
    }
}

TEST_F(IscsiStatistics, NoActiveSessionIsAFailure)
{
    start(json::object());
    node *s = session(1);
    ASSERT_NE(nullptr, s);
    clear_log(host_->root());
    EXPECT_EQ("error 1", read(s, "CmdPdus"));
    EXPECT_TRUE(batches().empty());
}

} // namespace
