// The client layer's network, link-state, log and diagnostics readers on
// small trees in the shapes the back end builds: an iSCSI function with its
// TCP/IP, IPv6, ARP, route and iSNS groups, an adapter's event log, FAT data
// and diagnostics, a port and a NIC function.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mal/mal_core.h"
#include "mal/mal_network_readers.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "mal_tree.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace maltest;

namespace
{

constexpr hm_node_row P(const char *name, const char *value)
{
    return HM_PROPERTY(name, "a value", VEXO_PROP_READONLY, VEXO_TYPE_STRING, 0, 255, value, nullptr,
                       handle_internal_property);
}

struct Runs {
    int refresh = 0;
    int fat = 0;
    std::string fat_path;
    VEXO_status_t fat_failure = VEXO_STATUS_SUCCESS;
} runs;

VEXO_status_t do_Refresh(node *, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    runs.refresh++;
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_RetrieveFat(node *, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    runs.fat++;
    runs.fat_path = params[0];
    if (runs.fat_failure != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(runs.fat_failure);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

action Refresh_action = {do_Refresh, 0, {0, {}}};
action RetrieveFat_action = {do_RetrieveFat, 0, {1, {{1, "FileName", "file", VEXO_TYPE_STRING, "", 1, 255}}}};

const hm_node_row function_rows[] = {
    HM_GROUP("Network", "network", nullptr),
        HM_GROUP("TCPIPConfiguration", "TCP/IP", nullptr),
            P("DHCPEnabled", "Disabled"), P("VLANEnabled", "Enabled"), P("VLANId", "12"), P("Priority", "3"),
            P("DefaultGateway", "10.0.0.254"), P("InitiatorIPAddress", "10.0.0.5"),
            P("InitiatorSubnetMask", "255.255.255.0"),
            HM_GROUP("IPv6Configuration", "IPv6", nullptr),
                P("IPv6State", "N/A"), P("DefaultIPv6Gateway", "fe80::1"), P("InitiatorLinkLocalAddress", "fe80::5"),
                P("InitiatorRoutableAddress1", "2001:db8::5"), P("InitiatorRoutableAddress2", "::"),
            HM_END(),
            HM_GROUP("ARPTable", "ARP", nullptr),
            HM_END(),
            HM_GROUP("RouteTable", "routes", nullptr),
            HM_END(),
        HM_END(),
        HM_GROUP("NICConfiguration", "NIC side", nullptr),
            P("LogicalLinkStatus", "Down"),
        HM_END(),
    HM_END(),
    HM_GROUP("iSNS", "iSNS", nullptr),
        P("iSNSEnabled", "Enabled"),
    HM_END(),
    P("DiscoverBootTargetThruDHCP", "enabled"),
};
const hm_node_row arp_rows[] = {P("IPAddress", "10.0.1.1"), P("MACAddress", "00-90-fa-00-00-01")};
const hm_node_row route_rows[] = {P("Destination", "10.2.0.0"), P("SubnetMask", "255.255.0.0"),
                                  P("Gateway", "10.0.0.254")};
const hm_node_row isns_rows[] = {P("IPAddress", "10.0.0.9"), P("PortNumber", "3205")};
const hm_node_row adapter_rows[] = {
    P("ControllerStatus", "Alive"),
    HM_GROUP("EventLog", "event log", nullptr),
        HM_ACTION("RefreshEventLog", "re-reads", &Refresh_action),
    HM_END(),
    HM_GROUP("Diagnostics", "diagnostics", nullptr),
        P("IsLoopbackSupported", "True"),
    HM_END(),
    HM_GROUP("FATData", "firmware log", nullptr),
        P("FATDataValid", "True"),
        HM_ACTION("RetrieveFATData", "writes the data", &RetrieveFat_action),
    HM_END(),
};
const hm_node_row event_rows[] = {P("SequenceNumber", "17"), P("TimeStamp", "3600"), P("Severity", "Warning"),
                                  P("Description", "link down"), P("ErrorCode", "42")};

uint8_t function_bits[HM_BIT_FIELD_BYTES(4, 16)];
uint8_t arp_bits[HM_BIT_FIELD_BYTES(80, 4)];
uint8_t route_bits[HM_BIT_FIELD_BYTES(80, 4)];
uint8_t isns_bits[HM_BIT_FIELD_BYTES(8, 4)];
uint8_t adapter_bits[HM_BIT_FIELD_BYTES(4, 1)];
uint8_t event_bits[HM_BIT_FIELD_BYTES(8, 16)];

#define TYPE(var, name, max, bits, rows)                                                                    \
    const hm_group_type var = {name, name, max, 0, nullptr, bits, sizeof bits, rows, HM_ROW_COUNT(rows)}

TYPE(function_type, "NetFunction", 4, function_bits, function_rows);
TYPE(arp_type, "ARPTableEntry", 80, arp_bits, arp_rows);
TYPE(route_type, "RouteTableEntry", 80, route_bits, route_rows);
TYPE(isns_type, "iSNSServer", 8, isns_bits, isns_rows);
TYPE(adapter_type, "NetAdapter", 4, adapter_bits, adapter_rows);
TYPE(event_type, "EventLogEntry", 8, event_bits, event_rows);

node *group(node *base, const char *path)
{
    char buf[128];
    std::snprintf(buf, sizeof buf, "%s", path);
    node *at = base;
    for (char *name = std::strtok(buf, "/"); name && at; name = std::strtok(nullptr, "/"))
        at = internal_get_node(at, name, VEXO_NODE_GROUP);
    return at;
}

class MalNetworkReaders : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        runs = Runs();
        ASSERT_EQ(1, VEXO_init());
        adapter_ = hm_build_group(&adapter_type, get_node(0), nullptr, nullptr, nullptr);
        ASSERT_TRUE(adapter_);
        fn_ = hm_build_group(&function_type, adapter_, nullptr, nullptr, nullptr);
        ASSERT_TRUE(fn_);
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter);
    }
    std::vector<node *> build(const hm_group_type *type, node *parent, int n)
    {
        std::vector<node *> out;
        for (int i = 0; i < n; ++i)
            out.push_back(hm_build_group(type, parent, nullptr, nullptr, nullptr));
        return out;
    }

    SimHost host_{kNoAdapterMachine};
    int start_ = 0;
    node *adapter_ = nullptr;
    node *fn_ = nullptr;
};

TEST_F(MalNetworkReaders, ArpTableKeepsTheFirst64Entries)
{
    node *table = group(fn_, "Network/TCPIPConfiguration/ARPTable");
    ASSERT_TRUE(table);
    std::vector<node *> e = build(&arp_type, table, 70);
    for (int i = 0; i < 70; ++i) {
        ASSERT_TRUE(e[i]) << i;
        set_value(e[i], "IPAddress", ("10.0.1." + std::to_string(i)).c_str());
    }
    // One record past the array shows any write beyond it.
    std::vector<MAL_ArpTableEntry> rec(MAL_ARP_TABLE_ENTRIES + 1);
    rec.back().Tag = 0xDEADu;
    int count = -1;
    EXPECT_EQ(RM_STATUS_OK, MAL_GetArpTable(fn_->node_tag, &count, rec.data()));
    EXPECT_EQ(64, count);
    EXPECT_EQ(0xDEADu, rec.back().Tag);
    EXPECT_EQ(static_cast<uint32_t>(e[63]->node_tag), rec[63].Tag);
    const uint8_t ip63[4] = {10, 0, 1, 63};
    EXPECT_EQ(0, std::memcmp(ip63, rec[63].IPAddress, 4));
    const uint8_t mac[6] = {0x00, 0x90, 0xfa, 0x00, 0x00, 0x01};
    EXPECT_EQ(0, std::memcmp(mac, rec[0].MACAddress, 6));

    // An unreadable MAC address gives zeros and the walk goes on ...
    remove_child(e[1], "MACAddress");
    std::fill(rec.begin(), rec.end(), MAL_ArpTableEntry());
    EXPECT_EQ(RM_STATUS_OK, MAL_GetArpTable(fn_->node_tag, &count, rec.data()));
    const uint8_t zeros[6] = {};
    EXPECT_EQ(0, std::memcmp(zeros, rec[1].MACAddress, 6));
    EXPECT_EQ(0, std::memcmp(mac, rec[2].MACAddress, 6));
    // ... an unreadable IP address ends it.
    remove_child(e[2], "IPAddress");
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetArpTable(fn_->node_tag, &count, rec.data()));
}

TEST_F(MalNetworkReaders, RouteTableEntries)
{
    node *table = group(fn_, "Network/TCPIPConfiguration/RouteTable");
    std::vector<node *> e = build(&route_type, table, 2);
    ASSERT_TRUE(e[1]);
    set_value(e[1], "Destination", "192.168.7.0");
    std::vector<MAL_RouteTableEntry> rec(MAL_ROUTE_TABLE_ENTRIES);
    int count = -1;
    ASSERT_EQ(RM_STATUS_OK, MAL_GetRouteTable(fn_->node_tag, &count, rec.data()));
    EXPECT_EQ(2, count);
    const uint8_t dest[4] = {192, 168, 7, 0}, mask[4] = {255, 255, 0, 0}, gw[4] = {10, 0, 0, 254};
    EXPECT_EQ(0, std::memcmp(dest, rec[1].Destination, 4));
    EXPECT_EQ(0, std::memcmp(mask, rec[1].SubnetMask, 4));
    EXPECT_EQ(0, std::memcmp(gw, rec[1].Gateway, 4));
    EXPECT_EQ(static_cast<uint32_t>(e[1]->node_tag), rec[1].Tag);
    remove_child(fn_, "Network");
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetRouteTable(fn_->node_tag, &count, rec.data()));
}

TEST_F(MalNetworkReaders, IsnsServerAddressKindFollowsItsLength)
{
    node *isns = group(fn_, "iSNS");
    std::vector<node *> s = build(&isns_type, isns, 5);
    ASSERT_TRUE(s[4]);
    set_value(s[0], "IPAddress", "192.168.100.200");
    set_value(s[1], "IPAddress", "2001:0db8:0000:0000:0000:0000:0000:0001");
    set_value(s[1], "PortNumber", "3206");
    MAL_iSNSProperties rec;
    std::memset(&rec, 0, sizeof rec);
    int count = -1;
    ASSERT_EQ(RM_STATUS_OK, MAL_GetiSNSProperties(fn_->node_tag, &count, &rec));
    EXPECT_EQ(MAL_ISNS_SERVERS, count);
    EXPECT_EQ(1, rec.iSNSEnabled);
    const uint8_t v4[4] = {192, 168, 100, 200};
    EXPECT_EQ(0, rec.Servers[0].AddressFlags & MAL_ADDRESS_IPV6);
    EXPECT_EQ(0, std::memcmp(v4, rec.Servers[0].IPAddress, 4));
    EXPECT_EQ(3205, rec.Servers[0].PortNumber);
    EXPECT_EQ(MAL_ADDRESS_IPV6, rec.Servers[1].AddressFlags & MAL_ADDRESS_IPV6);
    EXPECT_EQ(0x20, rec.Servers[1].IPv6Address.address[0]);
    EXPECT_EQ(0x01, rec.Servers[1].IPv6Address.address[15]);
    EXPECT_EQ(3206, rec.Servers[1].PortNumber);
    EXPECT_EQ(static_cast<uint32_t>(s[3]->node_tag), rec.Servers[3].Tag);
}

TEST_F(MalNetworkReaders, NetworkRecordByIpv6State)
{
    const struct {
        const char *state;
        int32_t enabled, auto_assign;
    } rows[] = {{"N/A", 0, 0}, {"AutoAssign", 1, 1}, {"Manual", 1, 0}};
    node *ipv6 = group(fn_, "Network/TCPIPConfiguration/IPv6Configuration");
    for (const auto &r : rows) {
        SCOPED_TRACE(r.state);
        set_value(ipv6, "IPv6State", r.state);
        MAL_TcpIpProperties rec;
        std::memset(&rec, 0, sizeof rec);
        std::strcpy(rec.DefaultIPv6Gateway.text, "kept");
        ASSERT_EQ(RM_STATUS_OK, MAL_GetTcpIpConfig(fn_->node_tag, &rec));
        EXPECT_EQ(r.enabled, rec.IPv6Enabled);
        EXPECT_EQ(r.auto_assign, rec.IPv6AutoAssign);
        const uint8_t ip[4] = {10, 0, 0, 5}, mask[4] = {255, 255, 255, 0};
        EXPECT_EQ(0, std::memcmp(ip, rec.InitiatorIPAddress, 4));
        EXPECT_EQ(0, std::memcmp(mask, rec.InitiatorSubnetMask, 4));
        EXPECT_EQ(1, rec.VLANEnabled);
        EXPECT_EQ(0, rec.DHCPEnabled);
        EXPECT_EQ(12, rec.VLANId);
        EXPECT_EQ(3, rec.Priority);
        if (!r.enabled) {
            EXPECT_STREQ("kept", rec.DefaultIPv6Gateway.text) << "IPv6 pairs untouched";
            continue;
        }
        EXPECT_STREQ("fe80::1", rec.DefaultIPv6Gateway.text);
        EXPECT_EQ(0xfe, rec.DefaultIPv6Gateway.address[0]);
        EXPECT_EQ(0x05, rec.InitiatorLinkLocalAddress.address[15]);
        EXPECT_STREQ("Not Available", rec.InitiatorRoutableAddress2.text);
    }
    remove_child(ipv6, "IPv6State");
    MAL_TcpIpProperties rec;
    std::memset(&rec, 0, sizeof rec);
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetGroup_Network(fn_->node_tag, &rec));
}

TEST_F(MalNetworkReaders, PhysicalLinkStateTexts)
{
    node *port = build_port(adapter_);
    ASSERT_TRUE(port);
    const struct {
        const char *text;
        RM_STATUS result;
        int32_t state;
    } rows[] = {
        {"Enabled", RM_STATUS_OK, 1},      {"DISABLED", RM_STATUS_OK, 0}, {"Not Supported", RM_STATUS_OK, 2},
        {"na", RM_STATUS_OK, 2},           {"N/A", RM_STATUS_OK, 2},      {"", RM_STATUS_OK, 2},
        {"Sleeping", RM_STATUS_ERROR_MANAGEMENT_LIBRARY, 7},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.text);
        set_value(port, "PortState", r.text);
        char text[MAL_VALUE_SIZE] = "";
        int32_t state = 7;
        EXPECT_EQ(r.result, MAL_GetPhysicalLinkStatus(port->node_tag, text, &state));
        EXPECT_EQ(r.state, state);
        EXPECT_STREQ("Up", text);
    }
    remove_child(port, "PortState");
    char text[MAL_VALUE_SIZE] = "";
    int32_t state = 7;
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetPhysicalLinkStatus(port->node_tag, text, &state));
    EXPECT_EQ(7, state);
}

TEST_F(MalNetworkReaders, LogicalLinkOfNicAndIscsiFunctions)
{
    node *nic = build_nic(adapter_);
    ASSERT_TRUE(nic);
    char text[MAL_VALUE_SIZE] = "";
    EXPECT_EQ(RM_STATUS_OK, MAL_GetLogicalLinkStatus(nic->node_tag, text));
    EXPECT_STREQ("Up", text);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetiSCSILogicalLinkStatus(fn_->node_tag, text));
    EXPECT_STREQ("Down", text);
    remove_child(nic, "LogicalLinkStatus");
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetLogicalLinkStatus(nic->node_tag, text));
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetiSCSILogicalLinkStatus(nic->node_tag, text));
}

TEST_F(MalNetworkReaders, ControllerIsDeadOnlyWhenItSaysSo)
{
    const struct {
        const char *status;
        int32_t alive;
    } rows[] = {{"Dead", 0}, {"dead", 0}, {"Alive", 1}, {"Deadlocked", 1}};
    for (const auto &r : rows) {
        set_value(adapter_, "ControllerStatus", r.status);
        EXPECT_EQ(r.alive, MAL_isControllerAlive(adapter_->node_tag)) << r.status;
    }
    remove_child(adapter_, "ControllerStatus");
    EXPECT_EQ(1, MAL_isControllerAlive(adapter_->node_tag));
}

TEST_F(MalNetworkReaders, FatDataRunsTheActionUnlessMarkedInvalid)
{
    const struct {
        const char *valid;
        VEXO_status_t failure;
        int32_t result;
        int runs;
    } rows[] = {
        {"false", VEXO_STATUS_SUCCESS, RM_STATUS_ERROR_NO_FAT_DATA, 0},
        {"True", VEXO_STATUS_SUCCESS, RM_STATUS_OK, 1},
        {"Unknown", VEXO_STATUS_SUCCESS, RM_STATUS_OK, 1}, // undetermined goes on
        {"Yes", VEXO_STATUS_ENABLELOGGING, VEXO_STATUS_ENABLELOGGING, 1},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.valid);
        runs = Runs();
        runs.fat_failure = r.failure;
        set_value(adapter_, "FATData/FATDataValid", r.valid);
        EXPECT_EQ(r.result, MAL_GetFatData(adapter_->node_tag, "/tmp/fat.bin"));
        EXPECT_EQ(r.runs, runs.fat);
        if (r.runs) {
            EXPECT_EQ("/tmp/fat.bin", runs.fat_path);
        }
    }
    // A path longer than the parameter is refused, never cut.
    runs = Runs();
    std::string longer(300, 'p');
    EXPECT_NE(RM_STATUS_OK, MAL_GetFatData(adapter_->node_tag, longer.c_str()));
    EXPECT_EQ(0, runs.fat);
}

TEST_F(MalNetworkReaders, EventLogEntryZeroRefreshesTheLogFirst)
{
    node *log = group(adapter_, "EventLog");
    std::vector<node *> e = build(&event_type, log, 2);
    ASSERT_TRUE(e[1]);
    set_value(e[1], "SequenceNumber", "18");
    MAL_EventLogEntry rec;
    std::memset(&rec, 0, sizeof rec);
    ASSERT_EQ(RM_STATUS_OK, MAL_GetEventLogEntry(adapter_->node_tag, 0, &rec));
    EXPECT_EQ(1, runs.refresh);
    EXPECT_EQ(17, rec.SequenceNumber);
    EXPECT_EQ(3600, rec.TimeStamp);
    EXPECT_EQ(42, rec.ErrorCode);
    EXPECT_STREQ("Warning", rec.Severity);
    EXPECT_STREQ("link down", rec.Description);
    ASSERT_EQ(RM_STATUS_OK, MAL_GetEventLogEntry(adapter_->node_tag, 1, &rec));
    EXPECT_EQ(1, runs.refresh);
    EXPECT_EQ(18, rec.SequenceNumber);
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetEventLogEntry(adapter_->node_tag, 5, &rec));
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetEventLogEntry(fn_->node_tag, 1, &rec));
}

TEST_F(MalNetworkReaders, BootTargetDiscoveryAndLoopbackSupport)
{
    uint8_t enabled = 7;
    EXPECT_EQ(RM_STATUS_OK, MAL_Get_DiscoverBootTargetThruDHCP(fn_->node_tag, &enabled));
    EXPECT_EQ(1, enabled);
    set_value(fn_, "DiscoverBootTargetThruDHCP", "Disabled");
    EXPECT_EQ(RM_STATUS_OK, MAL_Get_DiscoverBootTargetThruDHCP(fn_->node_tag, &enabled));
    EXPECT_EQ(0, enabled);
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_Get_DiscoverBootTargetThruDHCP(adapter_->node_tag, &enabled));

    int32_t supported = 7;
    EXPECT_EQ(RM_STATUS_OK, MAL_GetDiagnosticsProperties(adapter_->node_tag, &supported));
    EXPECT_EQ(1, supported);
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetDiagnosticsProperties(fn_->node_tag, &supported));
}

} // namespace
