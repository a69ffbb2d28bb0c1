// The client layer's TCP/IP and function setting operations on a function
// group whose actions and property writes only record what reached them, so
// the order and the parameters of every step show.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mal/mal_core.h"
#include "mal/mal_tcpip_ops.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "mal_recorder.h"
#include "mal_tree.h"
#include "sim/command_log.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace maltest;

namespace
{

const hm_node_row function_rows[] = {
    RW("SRIOVState", "Disabled"), RW("VEPAState", "Disabled"), RW("MACAddress", "00-00-c9-00-00-01"),
    RW("iSCSIBIOSEnable", "Yes"), RW("MPIOEnabled", "False"), RW("PortState", "Enabled"),
    ACT("Beacon", 3),
    ACT("EraseConfiguration", 1),
    HM_GROUP("EventLog", "event log", nullptr),
        ACT("RefreshEventLog", 0),
        ACT("ClearEventLog", 0),
    HM_END(),
    HM_GROUP("Network", "network", nullptr),
        HM_GROUP("TCPIPConfiguration", "TCP/IP", nullptr),
            RW("VLANEnabled", "False"), RW("VLANId", ""), RW("Priority", ""), RW("DHCPEnabled", "False"),
            RW("InitiatorIPAddress", "10.1.1.5"), RW("InitiatorSubnetMask", "255.255.0.0"),
            RW("DefaultGateway", "10.1.1.1"),
            ACT("VLANDisable", 0), ACT("ConfigureVLAN", 2),
            ACT("DHCPEnable", 0), ACT("DHCPDisable", 0),
            ACT("DeleteDefaultGateway", 0), ACT("ConfigureIPAddress", 2),
            ACT("Ping", 1),
            HM_GROUP("IPv6Configuration", "IPv6", nullptr),
                RW("InitiatorLinkLocalAddress", "fe80::1"), RW("InitiatorRoutableAddress1", "2001:db8::1"),
                RW("InitiatorRoutableAddress2", "2001:db8::2"), RW("DefaultIPv6Gateway", "2001:db8::fe"),
                ACT("AutoAssignEnable", 1), ACT("AutoAssignDisable", 1),
                ACT("ConfigureIPv6Address", 2),
                ACT("DeleteDefaultIPv6Gateway", 0),
            HM_END(),
            HM_GROUP("ARPTable", "ARP", nullptr),
                ACT("RefreshARPTableEntry", 0),
                ACT("AddARPTableEntry", 2),
                ACT("DeleteARPTableEntry", 1),
            HM_END(),
            HM_GROUP("RouteTable", "routes", nullptr),
                ACT("AddRouteTableEntry", 3),
                ACT("DeleteRouteTableEntry", 1),
            HM_END(),
        HM_END(),
    HM_END(),
};
const hm_node_row route_rows[] = {RW("Destination", "10.2.0.0")};
const hm_node_row arp_rows[] = {RW("IPAddress", "10.1.1.7")};

uint8_t function_bits[HM_BIT_FIELD_BYTES(4, 1)];
uint8_t route_bits[HM_BIT_FIELD_BYTES(8, 4)];
uint8_t arp_bits[HM_BIT_FIELD_BYTES(8, 4)];
const hm_group_type function_type = {"Function", "a function", 4, 0, nullptr, function_bits, sizeof function_bits,
                                     function_rows, HM_ROW_COUNT(function_rows)};
const hm_group_type route_type = {"RouteTableEntry", "a route", 8, 0, nullptr, route_bits, sizeof route_bits,
                                  route_rows, HM_ROW_COUNT(route_rows)};
const hm_group_type arp_type = {"ARPTableEntry", "an ARP entry", 8, 0, nullptr, arp_bits, sizeof arp_bits, arp_rows,
                                HM_ROW_COUNT(arp_rows)};

const uint8_t kKeep4[4] = {0xFF, 0xFF, 0xFF, 0xFF};

class MalTcpIpOps : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(1, VEXO_init());
        fn_ = hm_build_group(&function_type, get_node(0), nullptr, nullptr, nullptr);
        ASSERT_TRUE(fn_);
        tcpip_ = internal_get_node(internal_get_node(fn_, "Network", VEXO_NODE_GROUP), "TCPIPConfiguration",
                                   VEXO_NODE_GROUP);
        ASSERT_TRUE(tcpip_);
        calls.clear();
        outcomes.clear();
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter);
    }

    // A request that changes nothing.
    static MAL_TcpIpProperties keep_all()
    {
        MAL_TcpIpProperties r;
        std::memset(&r, 0xFF, sizeof r);
        r.IPv6Enabled = 0;
        r.IPv6AutoAssign = 0;
        r.VLANEnabled = 1;
        r.VLANId = -1;
        r.Priority = -1;
        r.DHCPEnabled = -1;
        return r;
    }

    SimHost host_{kNoAdapterMachine};
    int start_ = 0;
    node *fn_ = nullptr;
    node *tcpip_ = nullptr;
};

TEST_F(MalTcpIpOps, TcpIpChangeRequests)
{
    struct Case {
        const char *what;
        void (*change)(MAL_TcpIpProperties &);
        const char *vlan_enabled; // current VLANEnabled
        const char *dhcp_enabled; // current DHCPEnabled
        const char *address;      // current InitiatorIPAddress
        RM_STATUS expected;
        Calls sent;
    } cases[] = {
        {"nothing", [](MAL_TcpIpProperties &) {}, "False", "False", "10.1.1.5", RM_STATUS_ERROR_NOTHING_TO_SET, {}},
        {"gateway deleted", [](MAL_TcpIpProperties &r) { std::memset(r.DefaultGateway, 0, 4); }, "False", "False",
         "10.1.1.5", RM_STATUS_OK, {"DeleteDefaultGateway()"}},
        {"gateway set",
         [](MAL_TcpIpProperties &r) {
             const uint8_t g[4] = {10, 1, 1, 254};
             std::memcpy(r.DefaultGateway, g, 4);
         },
         "False", "False", "10.1.1.5", RM_STATUS_OK, {"DefaultGateway=10.1.1.254"}},
        {"mask only on an unset address",
         [](MAL_TcpIpProperties &r) {
             const uint8_t m[4] = {255, 255, 252, 0};
             std::memcpy(r.InitiatorSubnetMask, m, 4);
         },
         "False", "False", "0.0.0.0", RM_STATUS_OK, {"ConfigureIPAddress(169.254.1.109,255.255.252.0)"}},
        {"address only keeps the mask",
         [](MAL_TcpIpProperties &r) {
             const uint8_t a[4] = {10, 1, 1, 9};
             std::memcpy(r.InitiatorIPAddress, a, 4);
         },
         "False", "False", "10.1.1.5", RM_STATUS_OK, {"ConfigureIPAddress(10.1.1.9,255.255.0.0)"}},
        {"VLAN off with DHCP on re-enables DHCP", [](MAL_TcpIpProperties &r) { r.VLANEnabled = 0; }, "True", "True",
         "10.1.1.5", RM_STATUS_OK, {"VLANDisable()", "DHCPDisable()", "DHCPEnable()"}},
        {"VLAN off when it is off", [](MAL_TcpIpProperties &r) { r.VLANEnabled = 0; }, "False", "True", "10.1.1.5",
         RM_STATUS_ERROR_NOTHING_TO_SET, {}},
        {"VLAN id with the current priority", [](MAL_TcpIpProperties &r) { r.VLANId = 12; }, "True", "False",
         "10.1.1.5", RM_STATUS_OK, {"ConfigureVLAN(12,0)"}},
        {"DHCP off", [](MAL_TcpIpProperties &r) { r.DHCPEnabled = 0; }, "False", "True", "10.1.1.5", RM_STATUS_OK,
         {"DHCPDisable()"}},
        {"DHCP value outside its set sends nothing",
         [](MAL_TcpIpProperties &r) {
             r.VLANId = 3;
             r.DHCPEnabled = 2;
         },
         "False", "False", "10.1.1.5", RM_STATUS_ERROR_INVALID_VALUE, {}},
        {"only the third IPv6 address",
         [](MAL_TcpIpProperties &r) {
             r.IPv6Enabled = 1;
             std::memset(r.InitiatorRoutableAddress2.address, 0, 16);
             r.InitiatorRoutableAddress2.address[0] = 0x20;
             r.InitiatorRoutableAddress2.address[15] = 0x07;
         },
         "False", "False", "10.1.1.5", RM_STATUS_OK,
         {"AutoAssignDisable()", "ConfigureIPv6Address(0,fe80::1)", "ConfigureIPv6Address(1,2001:db8::1)",
          "ConfigureIPv6Address(2,2000:0000:0000:0000:0000:0000:0000:0007)"}},
        {"IPv6 with nothing new", [](MAL_TcpIpProperties &r) { r.IPv6Enabled = 1; }, "False", "False", "10.1.1.5",
         RM_STATUS_ERROR_NOTHING_TO_SET, {"AutoAssignDisable()"}},
        {"IPv6 auto-assign ends the request",
         [](MAL_TcpIpProperties &r) {
             r.IPv6Enabled = 1;
             r.IPv6AutoAssign = 1;
             std::memset(r.DefaultIPv6Gateway.address, 0, 16);
         },
         "False", "False", "10.1.1.5", RM_STATUS_OK, {"AutoAssignEnable(Auto)"}},
        {"IPv6 gateway deleted",
         [](MAL_TcpIpProperties &r) {
             r.IPv6Enabled = 1;
             std::memset(r.DefaultIPv6Gateway.address, 0, 16);
         },
         "False", "False", "10.1.1.5", RM_STATUS_OK, {"AutoAssignDisable()", "DeleteDefaultIPv6Gateway()"}},
    };
    for (const Case &c : cases) {
        set_value(tcpip_, "VLANEnabled", c.vlan_enabled);
        set_value(tcpip_, "DHCPEnabled", c.dhcp_enabled);
        set_value(tcpip_, "InitiatorIPAddress", c.address);
        calls.clear();
        MAL_TcpIpProperties r = keep_all();
        c.change(r);
        EXPECT_EQ(c.expected, MAL_SetTcpIpConfig(fn_->node_tag, &r)) << c.what;
        EXPECT_EQ(c.sent, calls) << c.what;
    }
}

TEST_F(MalTcpIpOps, FailuresReportedByTheLibrary)
{
    struct Case {
        const char *what;
        void (*change)(MAL_TcpIpProperties &);
        const char *failing;
        Outcome outcome;
        RM_STATUS expected;
        Calls sent;
    } cases[] = {
        {"DHCP error after a successful enable", [](MAL_TcpIpProperties &r) { r.DHCPEnabled = 1; }, "DHCPEnable",
         {VEXO_STATUS_SUCCESS, VEXO_STATUS_DHCP_ERROR}, RM_STATUS_ERROR_DHCP, {"DHCPEnable()"}},
        {"gateway outside the subnet",
         [](MAL_TcpIpProperties &r) {
             const uint8_t g[4] = {192, 168, 0, 1};
             std::memcpy(r.DefaultGateway, g, 4);
         },
         "DefaultGateway", {VEXO_STATUS_FAILURE, VEXO_STATUS_NOT_IN_SAME_SUBNET}, RM_STATUS_ERROR_INVALID_VALUE,
         {"DefaultGateway=192.168.0.1"}},
        {"a failing step stops the rest, the VLAN change stays",
         [](MAL_TcpIpProperties &r) {
             r.VLANId = 4;
             r.DHCPEnabled = 0;
             std::memset(r.DefaultGateway, 0, 4);
         },
         "DHCPDisable", {VEXO_STATUS_FAILURE, VEXO_STATUS_FAILURE}, RM_STATUS_ERROR_MANAGEMENT_LIBRARY,
         {"ConfigureVLAN(4,0)", "DHCPDisable()"}},
    };
    for (const Case &c : cases) {
        calls.clear();
        outcomes.clear();
        outcomes[c.failing] = c.outcome;
        MAL_TcpIpProperties r = keep_all();
        c.change(r);
        EXPECT_EQ(c.expected, MAL_SetTcpIpConfig(fn_->node_tag, &r)) << c.what;
        EXPECT_EQ(c.sent, calls) << c.what;
    }
}

TEST_F(MalTcpIpOps, TablesAndPing)
{
    node_tag_t f = fn_->node_tag;
    MAL_RouteTableEntry route = {{10, 2, 0, 0}, {255, 255, 0, 0}, {10, 1, 1, 1}, 0};
    EXPECT_EQ(RM_STATUS_OK, MAL_AddRouteTableEntry(f, &route));
    MAL_RouteTableEntry no_gateway = {{10, 2, 0, 0}, {255, 255, 0, 0}, {0, 0, 0, 0}, 0};
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_AddRouteTableEntry(f, &no_gateway));
    MAL_ArpTableEntry arp = {{10, 1, 1, 7}, {0x00, 0x90, 0xfa, 0x01, 0x02, 0x0a}, 0};
    EXPECT_EQ(RM_STATUS_OK, MAL_AddArpTableEntry(f, &arp));
    MAL_ArpTableEntry arp_no_mac = {{10, 1, 1, 7}, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0};
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_AddArpTableEntry(f, &arp_no_mac));
    const uint8_t host[4] = {10, 1, 1, 1};
    EXPECT_EQ(RM_STATUS_OK, MAL_Ping(f, host));
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_Ping(f, kKeep4));
    uint8_t host6[16] = {0xfe, 0x80};
    host6[15] = 0x2;
    EXPECT_EQ(RM_STATUS_OK, MAL_PingIPv6(f, host6));
    EXPECT_EQ((Calls{"AddRouteTableEntry(10.2.0.0,255.255.0.0,10.1.1.1)", "RefreshARPTableEntry()",
                     "AddARPTableEntry(10.1.1.7,00-90-fa-01-02-0a)", "Ping(10.1.1.1)",
                     "Ping(fe80:0000:0000:0000:0000:0000:0000:0002)"}),
              calls);

    node *routes = internal_get_node(tcpip_, "RouteTable", VEXO_NODE_GROUP);
    hm_build_group(&route_type, routes, nullptr, nullptr, nullptr);
    node *second = hm_build_group(&route_type, routes, nullptr, nullptr, nullptr);
    ASSERT_TRUE(second);
    calls.clear();
    EXPECT_EQ(RM_STATUS_OK, MAL_DeleteRouteTableEntry(f, second->node_tag));
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_DeleteRouteTableEntry(f, fn_->node_tag));
    node *arp_entry = hm_build_group(&arp_type, internal_get_node(tcpip_, "ARPTable", VEXO_NODE_GROUP), nullptr,
                                     nullptr, nullptr);
    ASSERT_TRUE(arp_entry);
    EXPECT_EQ(RM_STATUS_OK, MAL_DeleteArpTableEntry(f, arp_entry->node_tag));
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_DeleteArpTableEntry(f, second->node_tag));
    EXPECT_EQ((Calls{"DeleteRouteTableEntry(1)", "RefreshARPTableEntry()", "DeleteARPTableEntry(0)"}), calls);
    EXPECT_EQ(RM_STATUS_ERROR_NOT_SUPPORTED, MAL_RefreshArpTable());
    EXPECT_EQ(RM_STATUS_ERROR_NOT_SUPPORTED, MAL_RefreshRouteTable());
}

TEST_F(MalTcpIpOps, FunctionAndPortSettings)
{
    node_tag_t f = fn_->node_tag;
    MAL_PortPhysicalSettings beacon_on = {1, 2};
    EXPECT_EQ(RM_STATUS_OK, MAL_SetPortPhysicalProperties(f, &beacon_on));
    MAL_PortPhysicalSettings off = {0, 0};
    EXPECT_EQ(RM_STATUS_OK, MAL_SetPortPhysicalProperties(f, &off));
    MAL_NicPhysicalSettings nic = {0, 0, {0x00, 0x90, 0xfa, 0x00, 0x00, 0x09}, 1, -1};
    EXPECT_EQ(RM_STATUS_OK, MAL_SetNicPhysicalProperties(f, &nic));
    MAL_NicPhysicalSettings bad_vepa = {0, 0, {0, 0, 0, 0, 0, 0}, 0, 5};
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_SetNicPhysicalProperties(f, &bad_vepa));
    int32_t bios = 0;
    EXPECT_EQ(RM_STATUS_OK, MAL_SetiSCSIPhysicalProperties(f, &bios));
    bios = 3;
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_SetiSCSIPhysicalProperties(f, &bios));
    EXPECT_EQ(RM_STATUS_OK, MAL_SetiSCSI_MPIO(f, 1));
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_SetiSCSI_MPIO(f, 2));
    EXPECT_EQ(RM_STATUS_OK, MAL_EraseConfiguration(f));
    EXPECT_EQ(RM_STATUS_OK, MAL_ClearEventLog(f));
    EXPECT_EQ((Calls{"Beacon(60,0,Enabled)", "PortState=Disabled", "Beacon(0,0,Disabled)", "SRIOVState=Enabled",
                     "MACAddress=00-90-fa-00-00-09", "iSCSIBIOSEnable=no", "MPIOEnabled=True",
                     "EraseConfiguration()", "RefreshEventLog()", "ClearEventLog()"}),
              calls);

    outcomes["Beacon"] = {VEXO_STATUS_FAILURE, VEXO_STATUS_BEACON_OPERATION_ALREADY_ACTIVE};
    EXPECT_EQ(RM_STATUS_ERROR_BEACON_ACTIVE, MAL_SetPortPhysicalProperties(f, &beacon_on));
    outcomes["Beacon"] = {VEXO_STATUS_FAILURE, VEXO_STATUS_FAILURE};
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_SetPortPhysicalProperties(f, &beacon_on));
    // The library's own list refuses a level outside 0 to 6.
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_SetVexoDebugLevel(9));
    EXPECT_EQ(RM_STATUS_OK, MAL_SetVexoDebugLevel(3));
    // The adapter has no FATData group here.
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_ClearFatData(f));
}

// The same operations against the back end of a simulated AW3 with one
// iSCSI function: what reaches the firmware.
const char kIscsiMachine[] = R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3TCPIP1",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 9, "function": 0, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:90" } ] }
  ]
})";

class MalTcpIpMachine : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        char service[MAL_VALUE_SIZE] = "";
        char hierarchy[MAL_VALUE_SIZE] = "";
        ASSERT_EQ(RM_STATUS_OK, MAL_VEXO_Init(service, hierarchy));
        uint32_t tags[MAL_MAX_TAGS];
        int count = MAL_MAX_TAGS;
        ASSERT_EQ(RM_STATUS_OK, MAL_EnumerateArcwrights(&count, tags));
        ASSERT_EQ(1, count);
        adapter_ = static_cast<node_tag_t>(tags[0]);
        count = MAL_MAX_TAGS;
        ASSERT_EQ(RM_STATUS_OK, MAL_EnumerateHbas(adapter_, MAL_HBA_ISCSI, &count, tags));
        ASSERT_EQ(1, count);
        iscsi_ = static_cast<node_tag_t>(tags[0]);
        hlvdsim::log_clear(host_.root());
    }
    void TearDown() override { EXPECT_EQ(RM_STATUS_OK, MAL_VEXO_Exit()); }
    size_t firmware_commands()
    {
        size_t n = 0;
        for (const nlohmann::json &e : hlvdsim::log_read(host_.root()))
            n += e.value("kind", "") == "fw" ? 1 : 0;
        return n;
    }

    SimHost host_{kIscsiMachine};
    node_tag_t adapter_ = -1;
    node_tag_t iscsi_ = -1;
};

TEST_F(MalTcpIpMachine, RefusedAndEmptyRequestsSendNothing)
{
    MAL_RouteTableEntry no_gateway = {{10, 2, 0, 0}, {255, 255, 0, 0}, {0, 0, 0, 0}, 0};
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_AddRouteTableEntry(iscsi_, &no_gateway));
    MAL_TcpIpProperties keep;
    std::memset(&keep, 0xFF, sizeof keep);
    keep.IPv6Enabled = 0;
    keep.IPv6AutoAssign = 0;
    keep.VLANEnabled = 1;
    keep.VLANId = -1;
    keep.Priority = -1;
    keep.DHCPEnabled = -1;
    EXPECT_EQ(RM_STATUS_ERROR_NOTHING_TO_SET, MAL_SetTcpIpConfig(iscsi_, &keep));
    keep.DHCPEnabled = 5;
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_SetTcpIpConfig(iscsi_, &keep));
    EXPECT_EQ(0u, firmware_commands());
}

} // namespace
