// The route and ARP tables of an iSCSI function and its ping, through the
// management API against a simulated AW3 function: the mirrors and their
// instance numbers, the records sent, the bounds of the two table reads and
// the firmware's refusals.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/fault_plan.h"
#include "sim/machine.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

const char kIscsi[] = R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3RTE01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22",
          "tcpip": {
            "routes": [
              { "destination": "10.1.0.0", "mask": "255.255.0.0", "gateway": "10.0.0.1" },
              { "destination": "10.2.0.0", "mask": "255.255.0.0", "gateway": "10.0.0.2" },
              { "destination": "10.3.0.0", "mask": "255.255.255.0", "gateway": "10.0.0.3" } ],
            "arp": [
              { "ip": "10.0.0.1", "mac": "00:11:22:33:44:55" },
              { "ip": "10.0.0.2", "mac": "00:11:22:33:44:AB" },
              { "ip": "10.0.0.3", "mac": "00:11:22:33:44:CD" } ],
            "reachable": [ "10.0.0.1", "fe80::1" ] } } ] }
  ]
})";

const char kRouteTable[] = "RouteTable";
const char kArpTable[] = "ARPTable";

struct Route {
    std::string destination, mask, gateway;
    bool operator==(const Route &o) const
    {
        return destination == o.destination && mask == o.mask && gateway == o.gateway;
    }
};

std::ostream &operator<<(std::ostream &os, const Route &r)
{
    return os << r.destination << "/" << r.mask << " via " << r.gateway;
}

class IscsiRoutes : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        tcpip_ = adapter_path("AW3RTE01") + "/iSCSIPhysicalHBA0/Network/TCPIPConfiguration";
    }
    void TearDown() override
    {
        hlvdsim::fault_clear(host_.root());
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }

    // Reading a TCP/IP property makes the library read the firmware's
    // interface and keep its record in the group's handle, as a host's
    // first look at the group does.
    void bind_interface(const std::string &path)
    {
        std::string ip = value_at(path + "/InitiatorIPAddress");
        EXPECT_NE(0u, ip.rfind("error", 0)) << ip;
        node *g = get_node(tag_at(path, VEXO_NODE_GROUP));
        ASSERT_NE(nullptr, g);
        ASSERT_NE(nullptr, g->u.grp->handle);
    }

    struct Outcome {
        VEXO_status_t result;
        VEXO_status_t status;
    };

    // Runs an action of TCPIPConfiguration or of one of its tables ("" for
    // the group itself).
    Outcome action(const char *table, const char *name, std::vector<const char *> given = {})
    {
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params);
        for (size_t i = 0; i < given.size(); ++i)
            std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", given[i]);
        std::string group = table[0] ? tcpip_ + "/" + table : tcpip_;
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        vexo_set_fixed_status(VEXO_STATUS_SUCCESS);
        Outcome o;
        o.result = VEXO_do_action(tag_at(group, VEXO_NODE_GROUP), tag_at(group + "/" + name, VEXO_NODE_ACTION),
                                  params, tags.data());
        o.status = last_status().first;
        return o;
    }

    // The mirror: instance number and values of each entry.
    std::vector<std::pair<int, Route>> route_mirror()
    {
        std::vector<std::pair<int, Route>> out;
        node *table = get_node(tag_at(tcpip_ + "/" + kRouteTable, VEXO_NODE_GROUP));
        for (node *n = table ? get_first_instance(table, "RouteTableEntry") : nullptr; n && vexo_is_instance(n);
             n = n->u.grp->multi_instance->next_instance) {
            std::string p = tcpip_ + "/RouteTable/RouteTableEntry" + std::to_string(n->u.grp->multi_instance->instance);
            out.push_back({n->u.grp->multi_instance->instance,
                           {value_at(p + "/Destination"), value_at(p + "/SubnetMask"), value_at(p + "/Gateway")}});
        }
        return out;
    }

    std::vector<std::string> arp_mirror()
    {
        std::vector<std::string> out;
        for (int i = 0; i < 64; ++i) {
            std::string p = tcpip_ + "/ARPTable/ARPTableEntry" + std::to_string(i);
            if (tag_at(p, VEXO_NODE_GROUP) < 0)
                break;
            out.push_back(value_at(p + "/IPAddress") + " " + value_at(p + "/MACAddress"));
        }
        return out;
    }

    nlohmann::json fw_tcpip()
    {
        hlvdsim::Machine m;
        std::string err;
        EXPECT_TRUE(hlvdsim::load_machine(host_.root(), m, &err)) << err;
        return m.doc["adapters"][0]["functions"][0].value("tcpip", nlohmann::json::object());
    }

    void set_fw_list(const char *key, const nlohmann::json &list)
    {
        hlvdsim::StateLock lock(host_.root());
        hlvdsim::Machine m;
        std::string err;
        ASSERT_TRUE(hlvdsim::load_machine(host_.root(), m, &err)) << err;
        m.doc["adapters"][0]["functions"][0]["tcpip"][key] = list;
        ASSERT_TRUE(hlvdsim::save_machine(host_.root(), m, &err)) << err;
    }

    // The payload of the only command of the log with this opcode.
    std::vector<uint8_t> sent_payload(int opcode)
    {
        std::vector<uint8_t> out;
        int seen = 0;
        for (const nlohmann::json &e : fw_entries(host_.root()))
            if (e.value("subsystem", 0) == 2 && e.value("opcode", 0) == opcode) {
                out = hex_bytes(e.value("payload", ""));
                ++seen;
            }
        EXPECT_EQ(1, seen) << "opcode " << opcode;
        return out;
    }

    SimHost host_{kIscsi};
    std::string tcpip_;
    int start_ = 0;
};

const Route kR0{"10.1.0.0", "255.255.0.0", "10.0.0.1"};
const Route kR1{"10.2.0.0", "255.255.0.0", "10.0.0.2"};
const Route kR2{"10.3.0.0", "255.255.255.0", "10.0.0.3"};

TEST_F(IscsiRoutes, RefreshBuildsTheMirrorsFromTheFirmwareTables)
{
    bind_interface(tcpip_);
    clear_log(host_.root());
    Outcome o = action(kRouteTable, "RefreshRouteTableEntry");
    EXPECT_EQ(0, o.result);
    o = action(kArpTable, "RefreshARPTableEntry");
    EXPECT_EQ(0, o.result);

    std::vector<std::pair<int, Route>> want = {{0, kR0}, {1, kR1}, {2, kR2}};
    EXPECT_EQ(want, route_mirror());
    EXPECT_EQ((std::vector<std::string>{"10.0.0.1 00-11-22-33-44-55", "10.0.0.2 00-11-22-33-44-ab",
                                        "10.0.0.3 00-11-22-33-44-cd"}),
              arp_mirror());

    std::vector<nlohmann::json> sent = fw_entries(host_.root());
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ(10, sent[0].value("opcode", 0));
    EXPECT_EQ(64000, sent[0].value("request_length", 0));
    EXPECT_EQ(8, sent[1].value("opcode", 0));
    EXPECT_EQ(2568, sent[1].value("request_length", 0));
    for (const nlohmann::json &e : sent) {
        EXPECT_EQ(2, e.value("subsystem", 0));
        EXPECT_EQ("iscsi", e.value("driver", ""));
    }

    // A second refresh with nothing changed keeps every node.
    node_tag_t before = tag_at(tcpip_ + "/RouteTable/RouteTableEntry1", VEXO_NODE_GROUP);
    EXPECT_EQ(0, action(kRouteTable, "RefreshRouteTableEntry").result);
    EXPECT_EQ(before, tag_at(tcpip_ + "/RouteTable/RouteTableEntry1", VEXO_NODE_GROUP));
}

TEST_F(IscsiRoutes, RoutesKeepTheirNumbersAndNewOnesTakeTheLowestFree)
{
    bind_interface(tcpip_);
    ASSERT_EQ(0, action(kRouteTable, "RefreshRouteTableEntry").result);

    // Deleted in the firmware by other means: gone at the next refresh.
    set_fw_list("routes", nlohmann::json::array({{{"destination", "10.1.0.0"}, {"mask", "255.255.0.0"},
                                                  {"gateway", "10.0.0.1"}},
                                                 {{"destination", "10.3.0.0"}, {"mask", "255.255.255.0"},
                                                  {"gateway", "10.0.0.3"}}}));
    ASSERT_EQ(0, action(kRouteTable, "RefreshRouteTableEntry").result);
    EXPECT_EQ((std::vector<std::pair<int, Route>>{{0, kR0}, {2, kR2}}), route_mirror());

    clear_log(host_.root());
    Outcome o = action(kRouteTable, "AddRouteTableEntry", {"192.168.7.0", "255.255.255.0", "10.0.0.9"});
    EXPECT_EQ(0, o.result);
    const Route added{"192.168.7.0", "255.255.255.0", "10.0.0.9"};
    EXPECT_EQ((std::vector<std::pair<int, Route>>{{0, kR0}, {1, added}, {2, kR2}}), route_mirror());

    // The add, then the re-read; only the three addresses are filled.
    EXPECT_EQ((std::vector<std::pair<int, int>>{{2, 11}, {2, 10}}), fw_commands(host_.root()));
    std::vector<uint8_t> p = sent_payload(11);
    ASSERT_EQ(64u, p.size());
    std::vector<uint8_t> want(64, 0);
    want[0] = 1;
    const uint8_t dest[] = {192, 168, 7, 0}, mask[] = {255, 255, 255, 0}, gw[] = {10, 0, 0, 9};
    std::memcpy(&want[12], dest, 4);
    std::memcpy(&want[28], mask, 4);
    std::memcpy(&want[52], gw, 4);
    EXPECT_EQ(want, p);
    EXPECT_EQ(3u, fw_tcpip()["routes"].size());
}

TEST_F(IscsiRoutes, DeleteByInstanceNumberRemovesThatEntry)
{
    bind_interface(tcpip_);
    ASSERT_EQ(0, action(kRouteTable, "RefreshRouteTableEntry").result);
    ASSERT_EQ(0, action(kArpTable, "RefreshARPTableEntry").result);

    clear_log(host_.root());
    EXPECT_EQ(0, action(kRouteTable, "DeleteRouteTableEntry", {"1"}).result);
    EXPECT_EQ((std::vector<std::pair<int, Route>>{{0, kR0}, {2, kR2}}), route_mirror());
    std::vector<uint8_t> p = sent_payload(11);
    ASSERT_EQ(64u, p.size());
    EXPECT_EQ(2, p[0]);
    EXPECT_EQ((std::vector<uint8_t>{10, 2, 0, 0}), std::vector<uint8_t>(p.begin() + 12, p.begin() + 16));
    EXPECT_EQ((std::vector<uint8_t>{255, 255, 0, 0}), std::vector<uint8_t>(p.begin() + 28, p.begin() + 32));
    EXPECT_EQ((std::vector<uint8_t>{10, 0, 0, 2}), std::vector<uint8_t>(p.begin() + 52, p.begin() + 56));
    EXPECT_EQ(2u, fw_tcpip()["routes"].size());

    clear_log(host_.root());
    EXPECT_EQ(0, action(kArpTable, "DeleteARPTableEntry", {"1"}).result);
    // Rebuilt from scratch: numbers follow the firmware's order.
    EXPECT_EQ((std::vector<std::string>{"10.0.0.1 00-11-22-33-44-55", "10.0.0.3 00-11-22-33-44-cd"}), arp_mirror());
    p = sent_payload(9);
    ASSERT_EQ(48u, p.size());
    std::vector<uint8_t> want(48, 0);
    want[0] = 2;
    const uint8_t ip[] = {10, 0, 0, 2}, mac[] = {0x00, 0x11, 0x22, 0x33, 0x44, 0xAB};
    std::memcpy(&want[12], ip, 4);
    std::memcpy(&want[34], mac, 6);
    EXPECT_EQ(want, p);
}

TEST_F(IscsiRoutes, AddedArpEntryIsShownAndRecordsTheAction)
{
    bind_interface(tcpip_);
    clear_log(host_.root());
    Outcome o = action(kArpTable, "AddARPTableEntry", {"10.0.0.40", "0A:0b:0C:0d:0E:0f"});
    EXPECT_EQ(0, o.result);
    EXPECT_EQ((std::vector<std::pair<int, int>>{{2, 9}, {2, 8}}), fw_commands(host_.root()));
    std::vector<uint8_t> p = sent_payload(9);
    ASSERT_EQ(48u, p.size());
    std::vector<uint8_t> want(48, 0);
    want[0] = 1;
    const uint8_t ip[] = {10, 0, 0, 40}, mac[] = {0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};
    std::memcpy(&want[12], ip, 4);
    std::memcpy(&want[34], mac, 6);
    EXPECT_EQ(want, p);
    ASSERT_EQ(4u, arp_mirror().size());
    EXPECT_EQ("10.0.0.40 0a-0b-0c-0d-0e-0f", arp_mirror()[3]);

    node *first = get_node(tag_at(tcpip_ + "/ARPTable/ARPTableEntry0", VEXO_NODE_GROUP));
    node *second = get_node(tag_at(tcpip_ + "/ARPTable/ARPTableEntry1", VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(get_node(tag_at(tcpip_ + "/ARPTable/AddARPTableEntry", VEXO_NODE_ACTION)),
              first->u.grp->persistency_info.action);
    EXPECT_EQ(nullptr, second->u.grp->persistency_info.action);
}

TEST_F(IscsiRoutes, RouteReadIsBoundedByTheAnswer)
{
    nlohmann::json routes = nlohmann::json::array();
    for (int i = 0; i < 1100; ++i)
        routes.push_back({{"destination", "10." + std::to_string(i / 256) + "." + std::to_string(i % 256) + ".0"},
                          {"mask", "255.255.255.0"},
                          {"gateway", "10.0.0.1"}});
    set_fw_list("routes", routes);
    bind_interface(tcpip_);
    EXPECT_EQ(0, action(kRouteTable, "RefreshRouteTableEntry").result);
    std::vector<std::pair<int, Route>> shown = route_mirror();
    ASSERT_EQ(999u, shown.size());
    EXPECT_EQ((Route{"10.3.230.0", "255.255.255.0", "10.0.0.1"}), shown.back().second);
    EXPECT_EQ(998, shown.back().first);
}

TEST_F(IscsiRoutes, ArpTableOverSixtyFourKeepsTheMirror)
{
    nlohmann::json arp = nlohmann::json::array();
    char mac[18];
    for (int i = 0; i < 64; ++i) {
        std::snprintf(mac, sizeof mac, "00:11:22:33:44:%02X", i);
        arp.push_back({{"ip", "10.0.1." + std::to_string(i + 1)}, {"mac", mac}});
    }
    set_fw_list("arp", arp);
    bind_interface(tcpip_);
    ASSERT_EQ(0, action(kArpTable, "RefreshARPTableEntry").result);
    std::vector<std::string> shown = arp_mirror();
    ASSERT_EQ(64u, shown.size());
    EXPECT_EQ("10.0.1.64 00-11-22-33-44-3f", shown.back());

    arp.push_back({{"ip", "10.0.1.65"}, {"mac", "00:11:22:33:44:40"}});
    set_fw_list("arp", arp);
    Outcome o = action(kArpTable, "RefreshARPTableEntry");
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_SUCCESS, o.status);
    EXPECT_EQ(shown, arp_mirror());
}

TEST_F(IscsiRoutes, PingSendsTheAddressWithItsType)
{
    bind_interface(tcpip_);
    const struct {
        const char *address;
        uint8_t type;
        std::vector<uint8_t> bytes;
        int result;
        VEXO_status_t status;
    } rows[] = {
        {"10.0.0.1", 1, {10, 0, 0, 1}, 0, VEXO_STATUS_SUCCESS},
        {"fe80::1", 0x10, {0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 0, VEXO_STATUS_SUCCESS},
        {"10.0.0.77", 1, {10, 0, 0, 77}, 1, VEXO_STATUS_PING_FAILED},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.address);
        clear_log(host_.root());
        Outcome o = action("", "Ping", {r.address});
        EXPECT_EQ(r.result, o.result);
        EXPECT_EQ(r.status, o.status);
        std::vector<uint8_t> p = sent_payload(6);
        ASSERT_EQ(24u, p.size());
        std::vector<uint8_t> want(24, 0);
        want[3] = r.type;
        std::memcpy(&want[4], r.bytes.data(), r.bytes.size());
        EXPECT_EQ(want, p);
    }
}

// Refused before anything is sent: bad values (status 6 for those the
// parameter check already turns away), unknown instance numbers.
TEST_F(IscsiRoutes, BadParametersSendNothing)
{
    bind_interface(tcpip_);
    ASSERT_EQ(0, action(kRouteTable, "RefreshRouteTableEntry").result);
    ASSERT_EQ(0, action(kArpTable, "RefreshARPTableEntry").result);
    const VEXO_status_t kBad = VEXO_STATUS_API_INVALID_VALUE, kChecked = VEXO_STATUS_INVALID_VALUE;
    const struct {
        const char *table;
        const char *name;
        std::vector<const char *> params;
        VEXO_status_t status;
    } rows[] = {
        {kRouteTable, "AddRouteTableEntry", {"fe80::1", "255.255.255.0", "10.0.0.1"}, kBad},
        {kRouteTable, "AddRouteTableEntry", {"10.9.0.0", "255.255.255.0", "+10.0.0.1"}, kBad},
        {kRouteTable, "AddRouteTableEntry", {"10.9.0.0", "255.255.255.0", "255.255.255.255"}, kChecked},
        {kRouteTable, "DeleteRouteTableEntry", {"3"}, VEXO_STATUS_INVALID_INSTANCE_NUM},
        {kArpTable, "AddARPTableEntry", {"fe80::2", "00:11:22:33:44:55"}, kBad},
        {kArpTable, "AddARPTableEntry", {"10.0.0.9", "001122334455AABBC"}, kBad},
        {kArpTable, "AddARPTableEntry", {"10.0.0.9", "00:11:22:33:44::5"}, kBad},
        {kArpTable, "AddARPTableEntry", {"10.0.0.9", "00.11.22.33.44.55"}, kBad},
        {kArpTable, "DeleteARPTableEntry", {"5"}, VEXO_STATUS_INVALID_INSTANCE_NUM},
        {"", "Ping", {"+10.0.0.1"}, kBad},
        {"", "Ping", {"0.0.0.0"}, kChecked},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.name) + " " + r.params.back());
        clear_log(host_.root());
        Outcome o = action(r.table, r.name, r.params);
        EXPECT_EQ(1, o.result);
        EXPECT_EQ(r.status, o.status);
        EXPECT_TRUE(fw_commands(host_.root()).empty());
    }
    EXPECT_EQ(3u, route_mirror().size());
    EXPECT_EQ(3u, arp_mirror().size());
}

// The firmware's refusals and their statuses; the mirrors stay as they were.
TEST_F(IscsiRoutes, RefusedCommandsReportTheirStatus)
{
    bind_interface(tcpip_);
    ASSERT_EQ(0, action(kRouteTable, "RefreshRouteTableEntry").result);
    ASSERT_EQ(0, action(kArpTable, "RefreshARPTableEntry").result);
    const struct {
        int opcode, fw_status, additional;
        const char *table;
        const char *name;
        std::vector<const char *> params;
        VEXO_status_t status;
    } rows[] = {
        {11, 2, 0, kRouteTable, "AddRouteTableEntry", {"10.9.0.0", "255.255.0.0", "10.0.0.1"},
         VEXO_STATUS_CANNOT_SAVE_ROUTE},
        {11, 2, 22, kRouteTable, "AddRouteTableEntry", {"10.9.0.0", "255.255.0.0", "10.0.0.1"},
         VEXO_STATUS_EXCEED_ROUTE_ENTRIES},
        {11, 2, 0, kRouteTable, "DeleteRouteTableEntry", {"0"}, VEXO_STATUS_CANNOT_SAVE_ROUTE},
        {10, 2, 0, kRouteTable, "RefreshRouteTableEntry", {}, VEXO_STATUS_GET_ROUTE_TABLE},
        {9, 2, 0, kArpTable, "AddARPTableEntry", {"10.0.0.9", "00:11:22:33:44:55"}, VEXO_STATUS_CANNOT_SAVE_ARP},
        {9, 2, 0, kArpTable, "DeleteARPTableEntry", {"0"}, VEXO_STATUS_CANNOT_SAVE_ARP},
        {8, 2, 0, kArpTable, "RefreshARPTableEntry", {}, VEXO_STATUS_GET_ARP_TABLE},
        {6, 66, 0, "", "Ping", {"10.0.0.1"}, VEXO_STATUS_PING_FAILED},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        hlvdsim::fault_clear(host_.root());
        plan_status(host_.root(), 2, r.opcode, r.fw_status, r.additional);
        clear_log(host_.root());
        Outcome o = action(r.table, r.name, r.params);
        EXPECT_EQ(1, o.result);
        EXPECT_EQ(r.status, o.status);
        // Nothing is re-read after a refused edit.
        EXPECT_EQ((std::vector<std::pair<int, int>>{{2, r.opcode}}), fw_commands(host_.root()));
    }
    EXPECT_EQ(3u, route_mirror().size());
    EXPECT_EQ(3u, arp_mirror().size());
    EXPECT_EQ(3u, fw_tcpip()["routes"].size());
    EXPECT_EQ(3u, fw_tcpip()["arp"].size());
}

TEST_F(IscsiRoutes, FullManualRouteTableYieldsItsOwnStatus)
{
    set_fw_list("route_limit", 3);
    bind_interface(tcpip_);
    ASSERT_EQ(0, action(kRouteTable, "RefreshRouteTableEntry").result);
    Outcome o = action(kRouteTable, "AddRouteTableEntry", {"10.9.0.0", "255.255.0.0", "10.0.0.1"});
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_EXCEED_ROUTE_ENTRIES, o.status);
    EXPECT_EQ(3u, route_mirror().size());
}

TEST_F(IscsiRoutes, WithoutAnInterfaceRecordNothingIsSent)
{
    const struct {
        const char *table;
        const char *name;
        std::vector<const char *> params;
    } rows[] = {
        {kRouteTable, "AddRouteTableEntry", {"10.9.0.0", "255.255.0.0", "10.0.0.1"}},
        {kRouteTable, "DeleteRouteTableEntry", {"0"}},
        {kRouteTable, "RefreshRouteTableEntry", {}},
        {kArpTable, "AddARPTableEntry", {"10.0.0.9", "00:11:22:33:44:55"}},
        {kArpTable, "DeleteARPTableEntry", {"0"}},
        {kArpTable, "RefreshARPTableEntry", {}},
        {"", "Ping", {"10.0.0.1"}},
    };
    // The start bound the interface record; this case needs a function
    // without one.
    {
        node *t = get_node(tag_at(tcpip_, VEXO_NODE_GROUP));
        ASSERT_NE(nullptr, t);
        vexo_dfree(t->u.grp->handle);
        t->u.grp->handle = nullptr;
    }
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        clear_log(host_.root());
        Outcome o = action(r.table, r.name, r.params);
        EXPECT_EQ(1, o.result);
        EXPECT_EQ(VEXO_STATUS_SUCCESS, o.status);
        EXPECT_TRUE(fw_commands(host_.root()).empty());
    }
}

} // namespace
