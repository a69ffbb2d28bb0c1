// The client layer's iSCSI readers over a started back end: an initiator
// with a logged-in session built by the object model, its targets, portals
// and send-target portals.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mal/mal_core.h"
#include "mal/mal_iscsi_readers.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;

namespace {

const char kMachine[] = R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3MIR01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22",
          "initiator": {
            "name": "iqn.1998-01.com.example:host", "alias": "host-a",
            "instance_stats": { "session_count": 1, "last_failure_type": 1 },
            "login_stats": { "failures": 3, "last_failure_type": 4, "last_tgt_addr": "10.0.0.7",
                             "last_tgt_name": "iqn.2001-04.com.example:t" },
            "sessions": [
              { "handle": 7, "target": "iqn.2001-04.com.example:t", "isid": "00023d000005", "tsih": 12,
                "status": 33, "flags": 1, "initiator": "iqn.1998-01.com.example:host",
                "connection": { "handle": 70, "cid": 1, "status": 1, "src_ip": "fe80::5", "src_port": 50000,
                                "dest_ip": "2001:db8::1", "dest_port": 3260 },
                "stats": { "direction": 2, "target_alias": "disk-a", "cmd_pdus": 40, "rsp_pdus": 41,
                           "tx_octets": 4096, "rx_octets": 8192, "digest_errors": 1, "cxn_timeout_errors": 2 } }
            ] } } ] } ]
})";

class MalIscsiReaders : public ::testing::Test {
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
        lhba_ = get_first_instance(fn, "LogicalHBA");
        if (!lhba_) {
            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
            lhba_ = initialize_LogicalHBA(fn, nullptr, nullptr, params);
        }
        ASSERT_NE(nullptr, lhba_);
        port_ = get_port_number(fn);
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }
    // What a login leaves: the target, its portal, the session and its
    // connection.
    node *logged_in()
    {
        node *t = setup_target(lhba_, "iqn.2001-04.com.example:t", nullptr, nullptr, nullptr, 0);
        if (!t || !setup_portal(t, "2001:db8::1", "3260", "1", nullptr, nullptr, nullptr))
            return nullptr;
        node *s = setup_session(t, port_, 7, 0, nullptr, nullptr, nullptr, nullptr, "1");
        if (!s || !setup_connection(s, 70, nullptr, nullptr, nullptr, nullptr))
            return nullptr;
        return s;
    }
    node *send_target_portal(const char *ip)
    {
        node *discovery = internal_get_node(lhba_, "Discovery", VEXO_NODE_GROUP);
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
        node *p = discovery ? initialize_SendTargetPortal(discovery, nullptr, nullptr, params) : nullptr;
        node *ipn = p ? internal_get_node(p, "IPAddress", VEXO_NODE_PROPERTY) : nullptr;
        if (ipn)
            SET_CACHE_PROP_VAL(ipn, "%s", ip);
        return p;
    }

    SimHost host_{kMachine};
    int start_ = 0;
    int port_ = 0;
    node *lhba_ = nullptr;
};

TEST_F(MalIscsiReaders, SessionRecordIsFilledAfterALogin)
{
    node *s = logged_in();
    ASSERT_NE(nullptr, s);
    std::unique_ptr<MAL_SessionProperties> rec(new MAL_SessionProperties());
    ASSERT_EQ(RM_STATUS_OK, MAL_GetSessionProperties(s->node_tag, rec.get()));
    EXPECT_STREQ("iqn.1998-01.com.example:host", rec->SessionInitiatorName);
    EXPECT_EQ(12, rec->SessionTSIH);
    EXPECT_EQ(0x00023d000005ull, rec->ISID);
    EXPECT_EQ(5u, rec->ISIDQualifier);
    EXPECT_NE(2, rec->Persistent) << "read as a boolean";
    EXPECT_STREQ("False", rec->iSCSIBoot);
    EXPECT_EQ(40, rec->CmdPdus);
    EXPECT_EQ(41, rec->RspPdus);
    EXPECT_EQ(4096, rec->TxDataOctetsHigh);
    EXPECT_EQ(8192, rec->RxDataOctetsHigh);
    EXPECT_EQ(1, rec->DigestErrors);
    EXPECT_EQ(2, rec->CxnTimeoutErrors);
    EXPECT_STREQ("2", rec->SessionDirection);
    EXPECT_STREQ("disk-a", rec->SessionTargetAlias);

    const MAL_ConnectionProperties &c = rec->Connection;
    EXPECT_EQ(1, c.iSCSIConnectionID);
    EXPECT_EQ(3260, c.DestinationPortNumber);
    EXPECT_EQ(50000, c.SourcePortNumber);
    EXPECT_EQ(1, c.AddressFlags & 1);
    EXPECT_STREQ("2001:0db8:0000:0000:0000:0000:0000:0001", c.DestinationIPAddress.ipv6_text);
    EXPECT_EQ(0x20, c.DestinationIPAddress.ipv6[0]);
    EXPECT_EQ(0x01, c.DestinationIPAddress.ipv6[15]);
    EXPECT_STREQ("fe80:0000:0000:0000:0000:0000:0000:0005", c.SourceIPAddress.ipv6_text);
}

TEST_F(MalIscsiReaders, TargetAndPortalRecords)
{
    node *s = logged_in();
    ASSERT_NE(nullptr, s);
    node *t = s->parent;
    ASSERT_NE(nullptr, setup_portal(t, "10.0.0.2", "3261", "2", nullptr, nullptr, nullptr));
    std::unique_ptr<MAL_TargetProperties> rec(new MAL_TargetProperties());
    ASSERT_EQ(RM_STATUS_OK, MAL_GetTargetProperties(t->node_tag, rec.get()));
    EXPECT_STREQ("iqn.2001-04.com.example:t", rec->TargetISCSIName);
    EXPECT_EQ(1, rec->Portals[0].AddressFlags & 1);
    EXPECT_STREQ("2001:0db8:0000:0000:0000:0000:0000:0001", rec->Portals[0].TargetIPAddress.ipv6_text);
    EXPECT_EQ(3260, rec->Portals[0].TargetPortNumber);
    EXPECT_EQ(0, rec->Portals[1].AddressFlags & 1);
    const uint8_t v4[4] = {10, 0, 0, 2};
    EXPECT_EQ(0, std::memcmp(v4, rec->Portals[1].TargetIPAddress.ipv4, 4));
    EXPECT_EQ(3261, rec->Portals[1].TargetPortNumber);
    EXPECT_EQ(2, rec->Portals[1].PortalGroupTag);
    EXPECT_EQ(0, rec->Portals[2].TargetPortNumber) << "no third portal";
}

TEST_F(MalIscsiReaders, InitiatorAndStatisticsRecords)
{
    // The initiator's saved login options.
    hlvdtest::write_file(host_.path("/etc/config/TAQ/vexo/intr_logopts.txt"),
                         "Arcwright0,iSCSIPhysicalHBA0,LogicalHBA0,No,Yes,CRC32C,None,None,,,,,,,\n");
    std::unique_ptr<MAL_iSCSILogicalProperties> logical(new MAL_iSCSILogicalProperties());
    ASSERT_EQ(RM_STATUS_OK, MAL_GetiSCSILogicalProperties(lhba_->node_tag, logical.get()));
    EXPECT_STREQ("iqn.1998-01.com.example:host", logical->InitiatoriSCSIName);
    EXPECT_STREQ("host-a", logical->InitiatorAlias);
    EXPECT_STREQ("No", logical->InitiatorLoginOptions.InitialR2T);
    EXPECT_STREQ("Yes", logical->InitiatorLoginOptions.ImmediateData);
    EXPECT_STREQ("CRC32C", logical->InitiatorLoginOptions.HeaderDigest);
    EXPECT_STREQ("None", logical->Authentication.AuthenticationMethod);
    EXPECT_NE(0, logical->DefaultLoginOptions.MaxBurstLength);

    MAL_iSCSIStatistics stats;
    std::memset(&stats, 0, sizeof stats);
    ASSERT_EQ(RM_STATUS_OK, MAL_GetiSCSIStatistics(lhba_->node_tag, &stats));
    EXPECT_EQ(1, stats.SessionCount);
    EXPECT_EQ(3, stats.LoginFailures);
    EXPECT_STREQ("DigestErrors", stats.LastSessionFailureType);
    EXPECT_STREQ("LoginAuthorizationFailure", stats.LastFailureType);
    EXPECT_STREQ("10.0.0.7", stats.LastTgtFailureAddr);
    EXPECT_STREQ("iqn.2001-04.com.example:t", stats.LastTgtFailureName);
}

TEST_F(MalIscsiReaders, SendTargetPortalsStayWithinTheCallersArray)
{
    for (int i = 0; i < SENDTARGETPORTAL_MAX_INSTANCES; ++i)
        ASSERT_NE(nullptr, send_target_portal(("10.1.0." + std::to_string(i)).c_str())) << i;
    struct Case {
        int capacity;
        RM_STATUS result;
        int count;
    };
    const Case cases[] = {{63, RM_STATUS_ERROR_ARRAY_TOO_SMALL, 63}, {100, RM_STATUS_OK, 100}, {200, RM_STATUS_OK, 128}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.capacity);
        // One record past the capacity shows any write beyond it.
        std::vector<MAL_SendTargetPortalProperties> recs(static_cast<size_t>(c.capacity) + 1);
        std::memset(recs.data(), 0, recs.size() * sizeof recs[0]);
        recs.back().PortNumber = -7;
        int count = c.capacity;
        EXPECT_EQ(c.result, MAL_GetSendTargetPortals(lhba_->node_tag, &count, recs.data()));
        EXPECT_EQ(c.count, count);
        EXPECT_EQ(-7, recs.back().PortNumber);
        if (c.result != RM_STATUS_OK)
            continue;
        EXPECT_EQ(3260, recs[count - 1].PortNumber);
        const uint8_t last[4] = {10, 1, 0, static_cast<uint8_t>(count - 1)};
        EXPECT_EQ(0, std::memcmp(last, recs[count - 1].IpAddress.ipv4, 4));
    }
}

TEST(MalIpv6Text, FullLowerCaseGroups)
{
    const struct {
        uint8_t bytes[16];
        const char *text;
    } cases[] = {
        {{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, "2001:0db8:0000:0000:0000:0000:0000:0001"},
        {{0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0xAB, 0xCD, 0, 0, 0, 0, 0xff, 0xff}, "fe80:0000:0000:0000:abcd:0000:0000:ffff"},
    };
    for (const auto &c : cases) {
        char text[MAL_IPV6_STRING_SIZE];
        std::memset(text, 'x', sizeof text);
        Ipv6AddressToString(c.bytes, text);
        EXPECT_STREQ(c.text, text);
    }
}

} // namespace
