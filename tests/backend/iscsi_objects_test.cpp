// Targets, portals, sessions and connections below a LogicalHBA: the
// builders and lookups on the tree of a started back end, the address
// texts, and the session and connection properties refreshed from the
// simulated firmware's session records.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

const char kIscsi[] = R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3ISC01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22",
          "initiator": { "sessions": [
            { "handle": 1, "target": "iqn.2001-04.com.example:s", "isid": "00023d000005", "tsih": 12,
              "status": 33, "flags": 1, "initiator": "iqn.1998-01.com.example:host",
              "connection": { "handle": 101, "cid": 1, "status": 1, "src_ip": "10.0.0.5", "src_port": 50000,
                              "dest_ip": "10.0.0.1", "dest_port": 3260 } },
            { "handle": 2, "target": "iqn.2001-04.com.example:s", "isid": "00023d000006", "tsih": 13,
              "status": 64, "flags": 0, "initiator": "iqn.1998-01.com.example:host",
              "connection": { "handle": 102, "cid": 2, "status": 5, "src_ip": "10.0.0.5", "src_port": 50001,
                              "dest_ip": "10.0.0.2", "dest_port": 3260, "redirected_ip": "0.0.0.0",
                              "redirected_port": 0 } },
            { "handle": 3, "target": "iqn.2001-04.com.example:s", "isid": "00023d000007", "tsih": 14,
              "status": 0, "flags": 0, "initiator": "iqn.1998-01.com.example:host", "conn_count": 3,
              "connection": { "handle": 103, "cid": 3, "status": 4, "src_ip": "fe80::5", "src_port": 50002,
                              "dest_ip": "fe80::1", "dest_port": 3260, "redirected_ip": "10.0.0.9",
                              "redirected_port": 3261 } },
            { "handle": 4, "target": "iqn.2001-04.com.example:s", "isid": "00023d000008", "tsih": 15,
              "status": 256, "flags": 0, "initiator": "iqn.1998-01.com.example:host",
              "connection": { "handle": 104, "cid": 4, "status": 1, "dest_ip": "10.0.0.4", "dest_port": 3260 } }
          ] } } ] }
  ]
})";

class IscsiObjects : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        fn_ = adapter_path("AW3ISC01") + "/iSCSIPhysicalHBA0";
        // The start does not build the initiator yet.
        node *fn = get_node(tag_at(fn_, VEXO_NODE_GROUP));
        ASSERT_NE(nullptr, fn);
        lhba_ = get_node(tag_at(fn_ + "/LogicalHBA0", VEXO_NODE_GROUP));
        if (!lhba_) {
            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
            lhba_ = initialize_LogicalHBA(fn, nullptr, nullptr, params);
        }
        ASSERT_NE(nullptr, lhba_);
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }
    node *target(const char *name, int type = 0)
    {
        return setup_target(lhba_, name, nullptr, nullptr, nullptr, type);
    }

    SimHost host_{kIscsi};
    std::string fn_;
    node *lhba_ = nullptr;
    int start_ = 0;
};

std::string prop(node *group, const char *name)
{
    char v[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(group, name, v) != VEXO_STATUS_SUCCESS)
        return "error";
    return v;
}

// The cached value, read without the handler.
std::string prop_cached(node *group, const char *name)
{
    node *p = internal_get_node(group, name, VEXO_NODE_PROPERTY);
    return p && p->u.prop ? p->u.prop->val : "missing";
}

VEXO_status_t set_prop_val_cached(node *group, const char *name, const char *text)
{
    node *p = internal_get_node(group, name, VEXO_NODE_PROPERTY);
    if (!p)
        return VEXO_STATUS_FAILURE;
    SET_CACHE_PROP_VAL(p, "%s", text);
    return VEXO_STATUS_SUCCESS;
}

TEST_F(IscsiObjects, TargetsAreUniqueWithoutCaseAndBoundedAt256)
{
    node *t = target("iqn.2001-04.com.example:disk0", 1);
    ASSERT_NE(nullptr, t);
    EXPECT_EQ("iqn.2001-04.com.example:disk0", prop(t, "TargetISCSIName"));
    EXPECT_EQ("Discovered", prop(t, "TargetType"));
    // The function is served through the driver's callbacks.
    EXPECT_EQ("N/A", prop(t, "ETO"));
    EXPECT_EQ(t, find_target(lhba_, "IQN.2001-04.COM.EXAMPLE:DISK0"));
    EXPECT_EQ(nullptr, find_target(lhba_, "iqn.2001-04.com.example:disk9"));

    vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
    EXPECT_EQ(nullptr, target("IQN.2001-04.com.EXAMPLE:Disk0"));
    EXPECT_EQ(VEXO_STATUS_SUCCESS, last_status().first) << "a duplicate sets no status";

    for (int i = 1; i < 256; ++i)
        ASSERT_NE(nullptr, target(("iqn.2001-04.com.example:disk" + std::to_string(i)).c_str())) << i;
    EXPECT_EQ("Static", prop(find_target(lhba_, "iqn.2001-04.com.example:disk255"), "TargetType"));
    EXPECT_EQ(nullptr, target("iqn.2001-04.com.example:disk256"));
    EXPECT_EQ(VEXO_STATUS_MAX_TARGETS_REACHED, last_status().first);
}

TEST_F(IscsiObjects, PortalLookupsTreatEmptyAddressAndPortAsStated)
{
    node *t = target("iqn.2001-04.com.example:portals");
    ASSERT_NE(nullptr, t);
    node *p[3] = {setup_portal(t, "10.0.0.1", "3260", "1", nullptr, nullptr, nullptr),
                  setup_portal(t, "10.0.0.1", "3261", "2", nullptr, nullptr, nullptr),
                  setup_portal(t, "10.0.0.2", "3260", "3", nullptr, nullptr, nullptr)};
    for (node *n : p)
        ASSERT_NE(nullptr, n);
    EXPECT_EQ("3", prop(p[2], "PortalGroupTag"));

    const struct {
        const char *ip, *port;
        int found; // index into p, -1 for none
    } finds[] = {
        {"", "", 0}, {"10.0.0.2", "", 2}, {"", "3261", 1}, {"10.0.0.1", "3261", 1},
        {"10.0.0.9", "3260", -1}, {"10.0.0.1", "3262", -1},
    };
    for (const auto &f : finds) {
        SCOPED_TRACE(std::string(f.ip) + ":" + f.port);
        EXPECT_EQ(f.found < 0 ? nullptr : p[f.found], find_target_portal(t, f.ip, f.port));
    }

    const struct {
        const char *ip, *port;
        int result, instance;
    } validates[] = {
        {"10.0.0.1", "", 0, 0}, {"10.0.0.1", "3261", 0, 1}, {"10.0.0.2", "3260", 0, 2},
        // The address is not optional here.
        {"", "", 1, -1}, {"10.0.0.9", "", 1, -1}, {"10.0.0.2", "3261", 1, -1},
    };
    for (const auto &v : validates) {
        SCOPED_TRACE(std::string(v.ip) + ":" + v.port);
        int instance = -1;
        EXPECT_EQ(v.result, validate_target_portal(t, &instance, v.ip, v.port));
        EXPECT_EQ(v.instance, instance);
    }
    EXPECT_EQ(p[1], get_matchnode_by_propvalue(t, "TargetPortal", "PortalGroupTag", "2"));
    EXPECT_EQ(nullptr, get_matchnode_by_propvalue(t, "TargetPortal", "NoSuchProperty", "2"));
}

std::string display(node *n)
{
    char name[VEXO_MAX_NAME_SIZE];
    vexo_display_name(n, name);
    return name;
}

TEST_F(IscsiObjects, SessionAndConnectionPropertiesComeFromTheFirmwareRecord)
{
    node *t = target("iqn.2001-04.com.example:s");
    ASSERT_NE(nullptr, t);
    int port = get_port_number(lhba_);
    ASSERT_GT(port, 0);
    const struct {
        int handle, connection; // the tree's connection handle
        const char *status, *persistent, *conn_status, *dest, *redirected_ip, *redirected_port;
        bool refreshed;
    } rows[] = {
        {1, 101, "Open", "False", "Logged-in", "10.0.0.1", "10.0.0.1", "3260", true},
        // Redirected to an all-zero address: the ordinary destination.
        {2, 102, "In Recovery", "True", "Logged-in", "10.0.0.2", "10.0.0.2", "3260", true},
        // Three connections claimed, one record read.
        {3, 103, "Unknown", "True", "Connection closed", "FE80:0000:0000:0000:0000:0000:0000:0001", "10.0.0.9",
         "3261", true},
        // The firmware names a connection the tree does not hold.
        {4, 999, "Login failed", "True", "Connection Status Unknown", "0.0.0.0", "0", "0", false},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.handle);
        node *s = setup_session(t, port, r.handle, 0, nullptr, nullptr, nullptr, nullptr, "1");
        ASSERT_NE(nullptr, s);
        node *c = setup_connection(s, r.connection, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, c);
        std::string sp = fn_ + "/LogicalHBA0/" + display(t) + "/" + display(s);
        std::string cp = sp + "/" + display(c);
        if (r.refreshed) {
            EXPECT_EQ(r.status, value_at(sp + "/SessionStatus"));
            EXPECT_EQ(r.conn_status, value_at(cp + "/Status"));
        } else {
            EXPECT_EQ("error 1", value_at(sp + "/SessionStatus"));
            // The session's own properties were still written.
            EXPECT_EQ(r.status, prop_cached(s, "SessionStatus"));
            EXPECT_EQ(r.conn_status, prop_cached(c, "Status"));
            continue;
        }
        EXPECT_EQ(r.persistent, value_at(sp + "/Persistent"));
        EXPECT_EQ("iqn.1998-01.com.example:host", value_at(sp + "/SessionInitiatorName"));
        EXPECT_EQ(r.dest, value_at(cp + "/DestinationIPAddress"));
        EXPECT_EQ(r.redirected_ip, value_at(cp + "/RedirectedDestinationIPAddress"));
        EXPECT_EQ(r.redirected_port, value_at(cp + "/RedirectedDestinationPort"));
        EXPECT_EQ(std::to_string(r.handle), value_at(cp + "/iSCSIConnectionID"));
    }
    node *s1 = get_first_instance(t, "Session");
    ASSERT_NE(nullptr, s1);
    EXPECT_EQ("00023d000005", prop_cached(s1, "ISID"));
    EXPECT_EQ("0005", prop_cached(s1, "ISIDQualifier"));
    EXPECT_EQ("12", prop_cached(s1, "SessionTSIH"));
    EXPECT_EQ(s1, find_session(t, "10.0.0.1", "3260"));
    EXPECT_EQ(nullptr, find_session(t, "10.0.0.1", "3261"));
    EXPECT_EQ(VEXO_STATUS_SUCCESS, group_Session(s1));

    // A session the firmware no longer knows: status 85, the old text stays.
    node *gone = setup_session(t, port, 55, 0, nullptr, nullptr, nullptr, nullptr, "1");
    ASSERT_NE(nullptr, gone);
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_prop_val_cached(gone, "SessionStatus", "Open"));
    std::string gp = fn_ + "/LogicalHBA0/" + display(t) + "/" + display(gone);
    EXPECT_EQ("error 1", value_at(gp + "/SessionStatus"));
    EXPECT_EQ(VEXO_STATUS_GET_SESSION_FAILED, last_status().first);
    EXPECT_EQ("Open", prop_cached(gone, "SessionStatus"));
    EXPECT_EQ(VEXO_STATUS_FAILURE, group_Session(gone));

    // Handle records go before their nodes.
    for (node *s = get_first_instance(t, "Session"); s; s = get_first_instance(t, "Session")) {
        node *c = get_first_instance(s, "Connection");
        if (c) {
            vexo_dfree(c->u.grp->handle);
            c->u.grp->handle = nullptr;
        }
        vexo_dfree(s->u.grp->handle);
        s->u.grp->handle = nullptr;
        ASSERT_EQ(VEXO_STATUS_SUCCESS, delete_node(s));
    }
}

TEST(IscsiAddressText, TypesGiveDottedFullOrEmptyText)
{
    const uint8_t v4[16] = {192, 168, 10, 200};
    const uint8_t v6[16] = {0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    const uint8_t zero[16] = {0};
    const struct {
        const uint8_t *bytes;
        int type;
        const char *text;
    } rows[] = {
        {v4, 5, "192.168.10.200"},
        {v4, 1, "192.168.10.200"},
        {v4, 8, "0.0.0.0"},
        {v4, 0, "0.0.0.0"},
        {v6, 16, "FE80:0000:0000:0000:0000:0000:0000:0001"},
        {v6, 0x80, "FE80:0000:0000:0000:0000:0000:0000:0001"},
        {zero, 16, ""},
        {v6, 0x100, "0.0.0.0"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.type);
        char text[64];
        std::memset(text, 'x', sizeof text);
        ipaddr_to_string(r.bytes, text, r.type);
        EXPECT_STREQ(r.text, text);
    }
}

} // namespace
