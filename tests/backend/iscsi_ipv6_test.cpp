// IPv6 settings of an iSCSI function through the management API against the
// simulated interface: assignment state, addresses and gateway per
// generation, the address, gateway and automatic-assignment actions with
// their firmware commands, and the rollback of a refused change.
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/fault_plan.h"
#include "sim/machine.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

#define ZERO6 "0000:0000:0000:0000:0000:0000:0000:0000"
#define LL "FE80:0000:0000:0000:0000:0000:0000:0001"
#define R1 "2001:0DB8:0000:0000:0000:0000:0000:0010"
#define R2 "2001:0DB8:0000:0000:0000:0000:0000:0020"
#define GW "2001:0DB8:0000:0000:0000:0000:0000:0001"

// A Trelmont function with a link-local address, two static routable
// addresses and a gateway; a Varrow one whose firmware refuses the
// version-1 interface query and holds one static address; an AW3 one.
const char kMachine[] = R"({
  "adapters": [
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLV6001",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "functions": [
        { "bus": 5, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0722", "port": 0,
          "mac": "00:00:C9:C4:00:32",
          "tcpip": { "if_handle": 9, "gateway6": ")" GW R"(",
                     "addresses": [ { "type": 80, "ip": ")" LL R"(" },
                                    { "type": 1, "ip": "10.2.2.5", "mask": "255.255.255.0" },
                                    { "type": 48, "ip": ")" R1 R"(" },
                                    { "type": 48, "ip": ")" R2 R"(" } ],
                     "record_status": { "2001:0DB8:0000:0000:0000:0000:0000:0047": 47 } } } ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWV6001",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "functions": [
        { "bus": 6, "function": 2, "kind": "iscsi", "vendor": "0x10DF", "device_id": "0xE22A", "port": 0,
          "mac": "00:00:C9:D5:00:42",
          "tcpip": { "info_v1": false, "addresses": [ { "type": 48, "ip": ")" R1 R"(" } ] } } ] },
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3V6001",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22" } ] }
  ]
})";

uint32_t word_at(const std::vector<uint8_t> &b, size_t at)
{
    return at + 4 <= b.size() ? static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24)
                              : 0xDEADBEEF;
}

class IscsiIpv6 : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
    }
    void TearDown() override
    {
        hlvdsim::fault_clear(host_.root());
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }
    std::string tcpip(const char *serial)
    {
        std::string a = adapter_path(serial);
        EXPECT_FALSE(a.empty()) << serial;
        return a + "/iSCSIPhysicalHBA0/Network/TCPIPConfiguration";
    }
    // The IPv6 group, with the interface bound by a reading of the IPv4 side.
    std::string bound(const char *serial)
    {
        std::string t = tcpip(serial);
        EXPECT_NE(std::string::npos, value_at(t + "/DHCPEnabled").find("False"));
        return t + "/IPv6Configuration";
    }
    VEXO_status_t act(const std::string &g, const char *name, const std::vector<std::string> &args = {})
    {
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
        for (auto &p : params)
            p[0] = static_cast<char>(VEXO_PARAM_ABSENT);
        for (size_t i = 0; i < args.size(); ++i)
            snprintf(params[i], VEXO_VALUE_SIZE, "%s", args[i].c_str());
        return VEXO_do_action(tag_at(g, VEXO_NODE_GROUP), tag_at(g + "/" + name, VEXO_NODE_ACTION), params, nullptr);
    }
    nlohmann::json firmware(int adapter)
    {
        hlvdsim::Machine m;
        std::string err;
        EXPECT_TRUE(hlvdsim::load_machine(host_.root(), m, &err)) << err;
        return m.doc["adapters"][adapter]["functions"][0].value("tcpip", nlohmann::json::object());
    }
    std::vector<std::string> firmware_addresses(int adapter, int type)
    {
        std::vector<std::string> out;
        for (const nlohmann::json &e : firmware(adapter).value("addresses", nlohmann::json::array()))
            if (e.value("type", 0) == type)
                out.push_back(e.value("ip", ""));
        return out;
    }
    std::vector<nlohmann::json> sent(int op)
    {
        std::vector<nlohmann::json> out;
        for (const nlohmann::json &e : fw_entries(host_.root()))
            if (e.value("subsystem", 0) == 2 && e.value("opcode", 0) == op)
                out.push_back(e);
        return out;
    }
    void refuse_nth(int opcode, int nth)
    {
        hlvdsim::FaultSpec f;
        f.subsystem = 2;
        f.opcode = opcode;
        f.kind = "status";
        f.status = 2;
        f.from = nth;
        std::string err;
        ASSERT_GT(hlvdsim::fault_add(host_.root(), f, &err), 0) << err;
    }

    SimHost host_{kMachine};
    int start_ = 0;
};

TEST_F(IscsiIpv6, OlderGenerationsShowNotAvailableAndRefuseActions)
{
    std::string g = bound("AW3V6001");
    for (const char *p : {"IPv6State", "InitiatorLinkLocalAddress", "DefaultIPv6Gateway"}) {
        SCOPED_TRACE(p);
        EXPECT_EQ("N/A", value_at(g + "/" + p));
    }
    clear_log(host_.root());
    EXPECT_EQ(0, set_at(g + "/DefaultIPv6Gateway", GW));
    const struct {
        const char *action;
        std::vector<std::string> args;
    } rows[] = {
        {"DeleteDefaultIPv6Gateway", {}},
        {"AutoAssignEnable", {"Auto"}},
        {"AutoAssignDisable", {}},
        {"ConfigureIPv6Address", {"1", R1}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.action);
        EXPECT_EQ(1, act(g, r.action, r.args));
        EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED, last_status().first);
    }
    EXPECT_TRUE(fw_entries(host_.root()).empty());
}

TEST_F(IscsiIpv6, ReadsStateAddressesAndGateway)
{
    std::string g = tcpip("TRLV6001") + "/IPv6Configuration";
    clear_log(host_.root());
    EXPECT_EQ("Static", value_at(g + "/IPv6State"));
    std::vector<nlohmann::json> info = sent(25);
    ASSERT_EQ(1u, info.size());
    EXPECT_EQ(1, info[0].value("version", 0));
    std::vector<uint8_t> req = hex_bytes(info[0].value("payload", ""));
    EXPECT_EQ(9u, word_at(req, 0));
    EXPECT_EQ(0x10u, word_at(req, 4));
    EXPECT_EQ(LL, value_at(g + "/InitiatorLinkLocalAddress"));
    EXPECT_EQ(R1, value_at(g + "/InitiatorRoutableAddress1"));
    EXPECT_EQ(R2, value_at(g + "/InitiatorRoutableAddress2"));
    EXPECT_EQ(GW, value_at(g + "/DefaultIPv6Gateway"));

    // One routable address; a firmware that refuses the version-1 query.
    std::string v = tcpip("VRWV6001") + "/IPv6Configuration";
    EXPECT_EQ("N/A", value_at(v + "/IPv6State"));
    EXPECT_EQ(VEXO_STATUS_SUCCESS, last_status().first);
    EXPECT_EQ(ZERO6, value_at(v + "/InitiatorLinkLocalAddress"));
    EXPECT_EQ(ZERO6, value_at(v + "/InitiatorRoutableAddress2"));
    EXPECT_EQ(ZERO6, value_at(v + "/DefaultIPv6Gateway"));
}

TEST_F(IscsiIpv6, UnreadableInterfaceIsReportedNotHidden)
{
    std::string g = tcpip("TRLV6001") + "/IPv6Configuration";
    const struct {
        int opcode;
        const char *property;
        VEXO_status_t status;
    } rows[] = {
        {24, "IPv6State", VEXO_STATUS_GET_INTERFACE_ID},
        {25, "IPv6State", VEXO_STATUS_GET_INTERFACE_INFO},
        {25, "InitiatorLinkLocalAddress", VEXO_STATUS_GET_INTERFACE_INFO},
        {24, "InitiatorRoutableAddress1", VEXO_STATUS_GET_INTERFACE_ID},
        {22, "DefaultIPv6Gateway", VEXO_STATUS_CANNOT_GET_GATEWAY},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.property);
        hlvdsim::fault_clear(host_.root());
        plan_status(host_.root(), 2, r.opcode, 2);
        EXPECT_EQ("error 1", value_at(g + "/" + r.property));
        EXPECT_EQ(r.status, last_status().first);
    }
}

TEST_F(IscsiIpv6, ConfigureIPv6AddressReplacesTheSelectedAddress)
{
    std::string g = bound("TRLV6001");
    clear_log(host_.root());
    // A shortened text is accepted and shown in full form.
    EXPECT_EQ(0, act(g, "ConfigureIPv6Address", {"1", "2001:db8::30"}));
    std::vector<nlohmann::json> rec = sent(21);
    ASSERT_EQ(2u, rec.size());
    std::vector<uint8_t> del = hex_bytes(rec[0].value("payload", "")), add = hex_bytes(rec[1].value("payload", ""));
    EXPECT_EQ(2u, word_at(del, 4));
    EXPECT_EQ(9u, word_at(del, 8));
    EXPECT_EQ(0x30, del[14]);
    EXPECT_EQ(0x10, del[31]);
    EXPECT_EQ(1u, word_at(add, 4));
    EXPECT_EQ(40, add[12]);
    EXPECT_EQ(0x30, add[14]);
    EXPECT_EQ(0, add[15]);
    EXPECT_EQ(0x30, add[31]);
    EXPECT_EQ(0, add[32]) << "no mask for IPv6";
    EXPECT_EQ("2001:0DB8:0000:0000:0000:0000:0000:0030", value_at(g + "/InitiatorRoutableAddress2"));
    EXPECT_EQ(R2, value_at(g + "/InitiatorRoutableAddress1"));

    // The all-zero address removes the link-local address and adds nothing.
    clear_log(host_.root());
    EXPECT_EQ(0, act(g, "ConfigureIPv6Address", {"0", ZERO6}));
    ASSERT_EQ(1u, sent(21).size());
    EXPECT_EQ(2u, word_at(hex_bytes(sent(21)[0].value("payload", "")), 4));
    EXPECT_EQ(0x50, hex_bytes(sent(21)[0].value("payload", ""))[14]);
    EXPECT_TRUE(firmware_addresses(0, 0x50).empty());
    EXPECT_EQ(ZERO6, value_at(g + "/InitiatorLinkLocalAddress"));

    // A bad text is refused before anything is sent.
    clear_log(host_.root());
    EXPECT_EQ(1, act(g, "ConfigureIPv6Address", {"2", "2001:db8::g"}));
    EXPECT_EQ(VEXO_STATUS_API_INVALID_VALUE, last_status().first);
    EXPECT_TRUE(sent(21).empty());

    // A duplicate fails the action.
    EXPECT_EQ(1, act(g, "ConfigureIPv6Address", {"2", "2001:db8::47"}));
    EXPECT_EQ(VEXO_STATUS_IPADDR_DUP_DETECTED, last_status().first);
}

TEST_F(IscsiIpv6, RefusedAddressAddPutsTheOldOneBack)
{
    std::string g = bound("TRLV6001");
    ASSERT_EQ(R1, value_at(g + "/InitiatorRoutableAddress1"));
    clear_log(host_.root());
    refuse_nth(21, 2);
    EXPECT_EQ(1, act(g, "ConfigureIPv6Address", {"1", "2001:db8::99"}));
    EXPECT_EQ(VEXO_STATUS_CANNOT_MODIFY_IP_RECORD, last_status().first);
    EXPECT_EQ(3u, sent(21).size());
    hlvdsim::fault_clear(host_.root());
    std::vector<std::string> statics = firmware_addresses(0, 0x30);
    ASSERT_EQ(2u, statics.size());
    EXPECT_EQ(R2, statics[0]);
    EXPECT_EQ(R1, statics[1]);
    EXPECT_EQ(R1, value_at(g + "/InitiatorRoutableAddress2"));
}

TEST_F(IscsiIpv6, GatewayWrite)
{
    std::string g = bound("TRLV6001");
    const struct {
        const char *value;
        int result;
        VEXO_status_t status;
        const char *shown;
    } rows[] = {
        {ZERO6, 1, VEXO_STATUS_API_INVALID_VALUE, GW},
        {"2001:db8::zz", 1, VEXO_STATUS_API_INVALID_VALUE, GW},
        // Only the first 39 characters count.
        {"2001:0db8:0000:0000:0000:0000:0000:0002:ffff", 0, VEXO_STATUS_SUCCESS,
         "2001:0DB8:0000:0000:0000:0000:0000:0002"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.value);
        EXPECT_EQ(r.result, set_at(g + "/DefaultIPv6Gateway", r.value));
        EXPECT_EQ(r.status, last_status().first);
        EXPECT_EQ(r.shown, value_at(g + "/DefaultIPv6Gateway"));
    }

    clear_log(host_.root());
    EXPECT_EQ(0, set_at(g + "/DefaultIPv6Gateway", "2001:db8::3"));
    std::vector<nlohmann::json> mod = sent(23);
    ASSERT_EQ(2u, mod.size());
    std::vector<uint8_t> del = hex_bytes(mod[0].value("payload", "")), add = hex_bytes(mod[1].value("payload", ""));
    EXPECT_EQ(2u, word_at(del, 0));
    EXPECT_EQ(24, del[4]);
    EXPECT_EQ(0x10, del[7]);
    EXPECT_EQ(2, del[23]);
    EXPECT_EQ(1u, word_at(add, 0));
    EXPECT_EQ(24, add[4]);
    EXPECT_EQ(3, add[23]);

    // A refused add puts the old gateway back.
    refuse_nth(23, 2);
    EXPECT_EQ(1, set_at(g + "/DefaultIPv6Gateway", "2001:db8::4"));
    EXPECT_EQ(VEXO_STATUS_CANNOT_SET_GATEWAY, last_status().first);
    hlvdsim::fault_clear(host_.root());
    EXPECT_EQ("2001:0DB8:0000:0000:0000:0000:0000:0003", firmware(0).value("gateway6", ""));

    // The action removes it; then there is nothing to remove.
    clear_log(host_.root());
    EXPECT_EQ(0, act(g, "DeleteDefaultIPv6Gateway"));
    EXPECT_EQ(1u, sent(23).size());
    EXPECT_EQ(ZERO6, value_at(g + "/DefaultIPv6Gateway"));
    clear_log(host_.root());
    EXPECT_EQ(0, act(g, "DeleteDefaultIPv6Gateway"));
    EXPECT_TRUE(sent(23).empty());
}

TEST_F(IscsiIpv6, AutoAssignClearsTheStaticSettingsWithOneRequestForBothTypes)
{
    std::string g = bound("TRLV6001");
    clear_log(host_.root());
    EXPECT_EQ(0, act(g, "AutoAssignEnable", {"DHCP"}));
    // Gateway, then routable address 2, then 1, then the request.
    std::vector<std::pair<int, int>> order;
    for (const nlohmann::json &e : fw_entries(host_.root()))
        if (e.value("opcode", 0) == 21 || e.value("opcode", 0) == 23 || e.value("opcode", 0) == 17)
            order.push_back({e.value("opcode", 0), e.value("opcode", 0) == 21 ? hex_bytes(e.value("payload", ""))[31] : 0});
    const std::vector<std::pair<int, int>> want = {{23, 0}, {21, 0x20}, {21, 0x10}, {17, 0}};
    EXPECT_EQ(want, order);
    std::vector<nlohmann::json> start = sent(17);
    ASSERT_EQ(1u, start.size());
    std::string dhcp_request = start[0].value("payload", "");
    std::vector<uint8_t> req = hex_bytes(dhcp_request);
    EXPECT_EQ(9u, word_at(req, 0));
    EXPECT_EQ(0x90u, word_at(req, 4));
    EXPECT_EQ(1u, word_at(req, 8));
    EXPECT_EQ(1u, word_at(req, 12));
    EXPECT_EQ("AutoAssign", value_at(g + "/IPv6State"));
    EXPECT_TRUE(firmware_addresses(0, 0x30).empty());

    clear_log(host_.root());
    EXPECT_EQ(0, act(g, "AutoAssignDisable"));
    ASSERT_EQ(1u, sent(18).size());
    req = hex_bytes(sent(18)[0].value("payload", ""));
    EXPECT_EQ(9u, word_at(req, 0));
    EXPECT_EQ(0x90u, word_at(req, 4));

    clear_log(host_.root());
    EXPECT_EQ(0, act(g, "AutoAssignEnable", {"Auto"}));
    ASSERT_EQ(1u, sent(17).size());
    EXPECT_EQ(dhcp_request, sent(17)[0].value("payload", ""));

    plan_status(host_.root(), 2, 18, 2);
    EXPECT_EQ(1, act(g, "AutoAssignDisable"));
    EXPECT_EQ(VEXO_STATUS_CANNOT_DISABLE_DHCP, last_status().first);
}

TEST_F(IscsiIpv6, RefusedAutoAssignPutsTheStaticSettingsBack)
{
    std::string g = bound("TRLV6001");
    refuse_nth(17, 1);
    EXPECT_EQ(1, act(g, "AutoAssignEnable", {"Auto"}));
    EXPECT_NE(VEXO_STATUS_SUCCESS, last_status().first);
    hlvdsim::fault_clear(host_.root());
    nlohmann::json fw = firmware(0);
    EXPECT_EQ(GW, fw.value("gateway6", ""));
    std::vector<std::string> statics = firmware_addresses(0, 0x30);
    ASSERT_EQ(2u, statics.size());
    EXPECT_EQ(R1, statics[0]);
    EXPECT_EQ(R2, statics[1]);
    EXPECT_EQ("Static", value_at(g + "/IPv6State"));
}

} // namespace
