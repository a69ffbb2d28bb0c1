// IPv4 settings of an iSCSI function through the management API against the
// simulated interface: reading the address, DHCP and VLAN state, the address,
// DHCP, VLAN and gateway actions, their firmware commands, and the rollback
// of a refused change.
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/iscsi_tcpip.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/fault_plan.h"
#include "sim/machine.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

// An AW3 iSCSI function with a static address, a gateway and VLAN 100 at
// priority 1; a Trelmont one with an interface that has no address yet.
const char kMachine[] = R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3TCP01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22",
          "tcpip": { "if_handle": 7, "vlan": 8292, "gateway": "10.1.1.1",
                     "addresses": [ { "type": 1, "ip": "10.1.1.5", "mask": "255.255.255.0" } ],
                     "record_status": { "10.1.1.47": 47, "10.1.1.11": 11 } } } ] },
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLTCP01",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "functions": [
        { "bus": 5, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0722", "port": 0,
          "mac": "00:00:C9:C4:00:32" } ] }
  ]
})";

uint32_t word_at(const std::vector<uint8_t> &b, size_t at)
{
    return at + 4 <= b.size() ? static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24)
                              : 0xDEADBEEF;
}

class IscsiTcpip : public ::testing::Test {
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
    std::string group(const char *serial)
    {
        std::string a = adapter_path(serial);
        EXPECT_FALSE(a.empty()) << serial;
        return a + "/iSCSIPhysicalHBA0/Network/TCPIPConfiguration";
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
    // The interface state the simulated firmware holds for a function.
    nlohmann::json firmware(int adapter)
    {
        hlvdsim::Machine m;
        std::string err;
        EXPECT_TRUE(hlvdsim::load_machine(host_.root(), m, &err)) << err;
        return m.doc["adapters"][adapter]["functions"][0].value("tcpip", nlohmann::json::object());
    }
    // Commands of opcode `op` (subsystem 2) since the log was cleared.
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

TEST_F(IscsiTcpip, ReadsAddressDhcpAndVlanAndBindsTheInterface)
{
    std::string g = group("AW3TCP01");
    clear_log(host_.root());
    EXPECT_EQ("10.1.1.5", value_at(g + "/InitiatorIPAddress"));
    EXPECT_EQ("255.255.255.0", value_at(g + "/InitiatorSubnetMask"));
    EXPECT_EQ("False", value_at(g + "/DHCPEnabled"));
    EXPECT_EQ("True", value_at(g + "/VLANEnabled"));
    EXPECT_EQ("100", value_at(g + "/VLANId"));
    EXPECT_EQ("1", value_at(g + "/Priority"));
    EXPECT_EQ("10.1.1.1", value_at(g + "/DefaultGateway"));
    std::vector<nlohmann::json> ids = sent(24), info = sent(25);
    ASSERT_FALSE(ids.empty());
    EXPECT_EQ(132, ids[0].value("request_length", 0));
    ASSERT_FALSE(info.empty());
    EXPECT_EQ(1296, info[0].value("request_length", 0));
    std::vector<uint8_t> req = hex_bytes(info[0].value("payload", ""));
    EXPECT_EQ(7u, word_at(req, 0)) << "the listed interface is the one read";
    EXPECT_EQ(1u, word_at(req, 4));
    node *tcpip = get_node(tag_at(g, VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, tcpip);
    node_handle *h = tcpip_interface(tcpip);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(7, h->interface_handle);
    EXPECT_EQ(1, h->aw_port_number);

    // An interface without an address and without a VLAN.
    std::string t = group("TRLTCP01");
    EXPECT_EQ("0.0.0.0", value_at(t + "/InitiatorIPAddress"));
    EXPECT_EQ("0.0.0.0", value_at(t + "/InitiatorSubnetMask"));
    EXPECT_EQ("False", value_at(t + "/VLANEnabled"));
    EXPECT_EQ("", value_at(t + "/VLANId"));
    EXPECT_EQ("", value_at(t + "/Priority"));
}

TEST_F(IscsiTcpip, UnreadableInterfaceFailsWithItsStatus)
{
    std::string g = group("AW3TCP01");
    const struct {
        int opcode;
        VEXO_status_t status;
    } rows[] = {{24, VEXO_STATUS_GET_INTERFACE_ID}, {25, VEXO_STATUS_GET_INTERFACE_INFO}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.opcode);
        hlvdsim::fault_clear(host_.root());
        plan_status(host_.root(), 2, r.opcode, 2);
        EXPECT_EQ("error 1", value_at(g + "/InitiatorIPAddress"));
        EXPECT_EQ(r.status, last_status().first);
    }
}

TEST_F(IscsiTcpip, ActionsWithoutAnInterfaceReadSendNothing)
{
    std::string g = group("AW3TCP01");
    // The start bound the interface record; this case needs a function
    // without one.
    {
        node *t = get_node(tag_at(g, VEXO_NODE_GROUP));
        ASSERT_NE(nullptr, t);
        vexo_dfree(t->u.grp->handle);
        t->u.grp->handle = nullptr;
    }
    clear_log(host_.root());
    for (const char *a : {"VLANDisable", "DHCPDisable", "DeleteDefaultGateway"}) {
        SCOPED_TRACE(a);
        EXPECT_EQ(1, act(g, a));
    }
    EXPECT_TRUE(fw_entries(host_.root()).empty());
}

TEST_F(IscsiTcpip, ConfigureIPAddressJudgesItsParametersBeforeTheFirmware)
{
    std::string g = group("AW3TCP01");
    std::string t = group("TRLTCP01");
    ASSERT_EQ("10.1.1.5", value_at(g + "/InitiatorIPAddress"));
    ASSERT_EQ("0.0.0.0", value_at(t + "/InitiatorIPAddress"));
    const struct {
        const char *name;
        std::string group;
        const char *ip, *mask;
        int result;
        VEXO_status_t status;
    } rows[] = {
        {"same values", g, "10.1.1.5", "255.255.255.0", 0, VEXO_STATUS_ALREADY_CONFIGURED_IP},
        {"zero on an empty interface", t, "0.0.0.0", "0.0.0.0", 0, VEXO_STATUS_ALREADY_CONFIGURED_IP},
        {"bad address", g, "10.1.1", "255.255.255.0", 1, VEXO_STATUS_API_INVALID_VALUE},
        {"bad mask", g, "10.1.1.6", "255.0.255.0", 1, VEXO_STATUS_API_INVALID_VALUE},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        clear_log(host_.root());
        EXPECT_EQ(r.result, act(r.group, "ConfigureIPAddress", {r.ip, r.mask}));
        EXPECT_EQ(r.status, last_status().first);
        EXPECT_TRUE(sent(21).empty());
    }
}

TEST_F(IscsiTcpip, ConfigureIPAddressReplacesTheRecordAndJudgesItsStatus)
{
    std::string g = group("AW3TCP01");
    const struct {
        const char *ip;
        int result;
        VEXO_status_t status;
    } rows[] = {
        // A leading zero is a different text: the record is replaced.
        {"10.1.1.05", 0, VEXO_STATUS_SUCCESS},
        {"10.1.1.11", 0, VEXO_STATUS_SUCCESS},
        {"10.1.1.47", 1, VEXO_STATUS_IPADDR_DUP_DETECTED},
        {"10.1.1.9", 0, VEXO_STATUS_SUCCESS},
    };
    std::string before = "10.1.1.5";
    for (const auto &r : rows) {
        SCOPED_TRACE(r.ip);
        ASSERT_EQ(before, value_at(g + "/InitiatorIPAddress"));
        clear_log(host_.root());
        EXPECT_EQ(r.result, act(g, "ConfigureIPAddress", {r.ip, "255.255.0.0"}));
        EXPECT_EQ(r.status, last_status().first);
        std::vector<nlohmann::json> rec = sent(21);
        ASSERT_EQ(2u, rec.size());
        std::vector<uint8_t> del = hex_bytes(rec[0].value("payload", "")), add = hex_bytes(rec[1].value("payload", ""));
        EXPECT_EQ(56, rec[1].value("request_length", 0));
        EXPECT_EQ(1u, word_at(del, 0));
        EXPECT_EQ(2u, word_at(del, 4));
        EXPECT_EQ(7u, word_at(del, 8));
        EXPECT_EQ(1u, word_at(add, 4));
        EXPECT_EQ(40, add[12]);
        EXPECT_EQ(1, add[14]);
        EXPECT_EQ(255, add[32]);
        EXPECT_EQ(0, add[34]);
        std::string shown = value_at(g + "/InitiatorIPAddress");
        before = shown;
    }
    EXPECT_EQ("10.1.1.9", before);
    EXPECT_EQ("255.255.0.0", value_at(g + "/InitiatorSubnetMask"));
}

TEST_F(IscsiTcpip, RefusedAddPutsTheOldAddressBack)
{
    std::string g = group("AW3TCP01");
    ASSERT_EQ("10.1.1.5", value_at(g + "/InitiatorIPAddress"));
    clear_log(host_.root());
    refuse_nth(21, 2); // the removal passes, the add is refused
    EXPECT_EQ(1, act(g, "ConfigureIPAddress", {"10.1.1.6", "255.255.255.0"}));
    EXPECT_EQ(VEXO_STATUS_CANNOT_MODIFY_IP_RECORD, last_status().first);
    std::vector<nlohmann::json> rec = sent(21);
    ASSERT_EQ(3u, rec.size());
    EXPECT_EQ(1u, word_at(hex_bytes(rec[2].value("payload", "")), 4));
    hlvdsim::fault_clear(host_.root());
    nlohmann::json fw = firmware(0);
    ASSERT_EQ(1u, fw["addresses"].size());
    EXPECT_EQ("10.1.1.5", fw["addresses"][0].value("ip", ""));
    EXPECT_EQ("10.1.1.5", value_at(g + "/InitiatorIPAddress"));
    EXPECT_EQ("255.255.255.0", value_at(g + "/InitiatorSubnetMask"));
}

TEST_F(IscsiTcpip, DhcpEnableClearsTheStaticSettingsAndStartsDhcp)
{
    std::string g = group("AW3TCP01");
    // The start bound the interface record; this case needs a function
    // without one.
    {
        node *t = get_node(tag_at(g, VEXO_NODE_GROUP));
        ASSERT_NE(nullptr, t);
        vexo_dfree(t->u.grp->handle);
        t->u.grp->handle = nullptr;
    }
    ASSERT_EQ("10.1.1.1", value_at(g + "/DefaultGateway"));
    ASSERT_EQ("10.1.1.5", value_at(g + "/InitiatorIPAddress"));
    clear_log(host_.root());
    EXPECT_EQ(0, act(g, "DHCPEnable"));
    ASSERT_EQ(1u, sent(21).size());
    EXPECT_EQ(2u, word_at(hex_bytes(sent(21)[0].value("payload", "")), 4));
    ASSERT_EQ(1u, sent(23).size());
    std::vector<uint8_t> gw = hex_bytes(sent(23)[0].value("payload", ""));
    EXPECT_EQ(2u, word_at(gw, 0));
    EXPECT_EQ(10, gw[8]);
    std::vector<nlohmann::json> start = sent(17);
    ASSERT_EQ(1u, start.size());
    std::vector<uint8_t> req = hex_bytes(start[0].value("payload", ""));
    EXPECT_EQ(7u, word_at(req, 0));
    EXPECT_EQ(5u, word_at(req, 4));
    EXPECT_EQ(1u, word_at(req, 8));
    EXPECT_EQ(1u, word_at(req, 12));
    EXPECT_EQ("True", value_at(g + "/DHCPEnabled"));
    EXPECT_EQ("192.168.1.100", value_at(g + "/InitiatorIPAddress"));

    // Already on: nothing more is sent.
    clear_log(host_.root());
    EXPECT_EQ(0, act(g, "DHCPEnable"));
    EXPECT_EQ(VEXO_STATUS_ALREADY_CONFIGURED_DHCP, last_status().first);
    EXPECT_TRUE(sent(17).empty());
    // DHCP blocks the static address and the gateway changes.
    EXPECT_EQ(1, act(g, "ConfigureIPAddress", {"10.1.1.6", "255.255.255.0"}));
    EXPECT_EQ(VEXO_STATUS_ENABLED_DHCP, last_status().first);
    EXPECT_EQ(1, act(g, "DeleteDefaultGateway"));
    EXPECT_EQ(VEXO_STATUS_ENABLED_DHCP, last_status().first);
    EXPECT_EQ(1, set_at(g + "/DefaultGateway", "10.1.1.2"));
    EXPECT_EQ(VEXO_STATUS_CANNOT_SET_DEFAULT_GATEWAY, last_status().first);

    // Release.
    clear_log(host_.root());
    EXPECT_EQ(0, act(g, "DHCPDisable"));
    ASSERT_EQ(1u, sent(18).size());
    EXPECT_EQ(5u, word_at(hex_bytes(sent(18)[0].value("payload", "")), 4));
    EXPECT_EQ("False", value_at(g + "/DHCPEnabled"));
    EXPECT_EQ("0.0.0.0", value_at(g + "/InitiatorIPAddress"));
}

TEST_F(IscsiTcpip, DhcpEnableFailures)
{
    std::string g = group("AW3TCP01");
    ASSERT_EQ("10.1.1.5", value_at(g + "/InitiatorIPAddress"));
    // A refused start puts the static address and the gateway back.
    refuse_nth(17, 1);
    EXPECT_EQ(1, act(g, "DHCPEnable"));
    EXPECT_NE(VEXO_STATUS_SUCCESS, last_status().first);
    hlvdsim::fault_clear(host_.root());
    nlohmann::json fw = firmware(0);
    EXPECT_EQ("10.1.1.1", fw.value("gateway", ""));
    ASSERT_EQ(1u, fw["addresses"].size());
    EXPECT_EQ("10.1.1.5", fw["addresses"][0].value("ip", ""));

    // DHCP that does not come up.
    hlvdsim::Machine m;
    {
        hlvdsim::StateLock lock(host_.root());
        std::string err;
        ASSERT_TRUE(hlvdsim::load_machine(host_.root(), m, &err)) << err;
        m.doc["adapters"][0]["functions"][0]["tcpip"]["dhcp_server"] = false;
        ASSERT_TRUE(hlvdsim::save_machine(host_.root(), m, &err)) << err;
    }
    EXPECT_EQ(1, act(g, "DHCPEnable"));
    EXPECT_EQ(VEXO_STATUS_CANNOT_ENABLE_DHCP, last_status().first);

    plan_status(host_.root(), 2, 18, 2);
    EXPECT_EQ(1, act(g, "DHCPDisable"));
    EXPECT_EQ(VEXO_STATUS_CANNOT_DISABLE_DHCP, last_status().first);
}

TEST_F(IscsiTcpip, VlanWordsAndTheirReading)
{
    std::string g = group("AW3TCP01");
    ASSERT_EQ("10.1.1.5", value_at(g + "/InitiatorIPAddress"));
    ASSERT_EQ("True", value_at(g + "/VLANEnabled"));
    const struct {
        const char *action;
        std::vector<std::string> args;
        uint32_t word;
        const char *enabled, *id, *priority;
    } rows[] = {
        {"ConfigureVLAN", {"100"}, 100, "True", "100", "0"},
        {"ConfigureVLAN", {"100", "7"}, 0xE064, "True", "100", "7"},
        {"VLANDisable", {}, 0xFFFF, "False", "", ""},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.word);
        clear_log(host_.root());
        EXPECT_EQ(0, act(g, r.action, r.args));
        std::vector<nlohmann::json> set = sent(14);
        ASSERT_EQ(1u, set.size());
        std::vector<uint8_t> req = hex_bytes(set[0].value("payload", ""));
        EXPECT_EQ(7u, word_at(req, 0));
        EXPECT_EQ(r.word, word_at(req, 4));
        // The action rereads the interface into the stored properties.
        node *tcpip = get_node(tag_at(g, VEXO_NODE_GROUP));
        ASSERT_NE(nullptr, tcpip);
        EXPECT_STREQ(r.enabled, internal_get_node(tcpip, "VLANEnabled", VEXO_NODE_PROPERTY)->u.prop->val);
        EXPECT_STREQ(r.id, internal_get_node(tcpip, "VLANId", VEXO_NODE_PROPERTY)->u.prop->val);
        EXPECT_STREQ(r.priority, internal_get_node(tcpip, "Priority", VEXO_NODE_PROPERTY)->u.prop->val);
    }
    plan_status(host_.root(), 2, 14, 2);
    EXPECT_EQ(1, act(g, "VLANDisable"));
    EXPECT_EQ(VEXO_STATUS_CANNOT_SET_VLAN, last_status().first);
}

TEST_F(IscsiTcpip, DefaultGatewayWriteReplacesTheGateway)
{
    std::string g = group("AW3TCP01");
    // The start bound the interface record; this case needs a function
    // without one.
    {
        node *t = get_node(tag_at(g, VEXO_NODE_GROUP));
        ASSERT_NE(nullptr, t);
        vexo_dfree(t->u.grp->handle);
        t->u.grp->handle = nullptr;
    }
    ASSERT_EQ("10.1.1.1", value_at(g + "/DefaultGateway"));
    // The gateway is read without the interface record.
    EXPECT_EQ(nullptr, tcpip_interface(get_node(tag_at(g, VEXO_NODE_GROUP))));
    clear_log(host_.root());
    EXPECT_EQ(0, set_at(g + "/DefaultGateway", "10.1.1.254"));
    std::vector<nlohmann::json> mod = sent(23);
    ASSERT_EQ(2u, mod.size());
    std::vector<uint8_t> del = hex_bytes(mod[0].value("payload", "")), add = hex_bytes(mod[1].value("payload", ""));
    EXPECT_EQ(2u, word_at(del, 0));
    EXPECT_EQ(0, del[4]) << "an IPv4 delete leaves SizeOfStructure 0";
    EXPECT_EQ(1, del[7]);
    EXPECT_EQ(1, del[11]);
    EXPECT_EQ(1u, word_at(add, 0));
    EXPECT_EQ(24, add[4]);
    EXPECT_EQ(1, add[7]);
    EXPECT_EQ(254, add[11]);
    EXPECT_EQ("10.1.1.254", value_at(g + "/DefaultGateway"));

    // An IPv6 text passes the type check but not the handler.
    clear_log(host_.root());
    EXPECT_EQ(1, set_at(g + "/DefaultGateway", "fe80::1"));
    EXPECT_EQ(VEXO_STATUS_API_INVALID_VALUE, last_status().first);
    EXPECT_TRUE(sent(23).empty());
    EXPECT_EQ("10.1.1.254", value_at(g + "/DefaultGateway"));

    // A refused add puts the old gateway back.
    refuse_nth(23, 2);
    EXPECT_EQ(1, set_at(g + "/DefaultGateway", "10.1.1.77"));
    EXPECT_EQ(VEXO_STATUS_CANNOT_SET_GATEWAY, last_status().first);
    hlvdsim::fault_clear(host_.root());
    EXPECT_EQ("10.1.1.254", firmware(0).value("gateway", ""));
    EXPECT_EQ("10.1.1.254", value_at(g + "/DefaultGateway"));

    plan_status(host_.root(), 2, 22, 2);
    EXPECT_EQ("error 1", value_at(g + "/DefaultGateway"));
    EXPECT_EQ(VEXO_STATUS_CANNOT_GET_GATEWAY, last_status().first);
}

TEST_F(IscsiTcpip, DeleteDefaultGateway)
{
    std::string g = group("AW3TCP01");
    ASSERT_EQ("10.1.1.5", value_at(g + "/InitiatorIPAddress"));
    clear_log(host_.root());
    EXPECT_EQ(0, act(g, "DeleteDefaultGateway"));
    ASSERT_EQ(1u, sent(23).size());
    EXPECT_EQ(2u, word_at(hex_bytes(sent(23)[0].value("payload", "")), 0));
    EXPECT_EQ("0.0.0.0", value_at(g + "/DefaultGateway"));
    // Nothing left to delete: no command.
    clear_log(host_.root());
    EXPECT_EQ(0, act(g, "DeleteDefaultGateway"));
    EXPECT_TRUE(sent(23).empty());
}

TEST_F(IscsiTcpip, ManyReadsKeepOneInterfaceRecord)
{
    std::string g = group("AW3TCP01");
    int before = -1;
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ("10.1.1.5", value_at(g + "/InitiatorIPAddress"));
        if (i == 0)
            before = vexo_counter;
    }
    EXPECT_EQ(before, vexo_counter) << "each reading releases the record of the one before";
}

TEST(IscsiTcpipText, DottedQuadHelpers)
{
    uint32_t parts[4] = {};
    EXPECT_EQ(0, vexo_getip("192.168.0.255", parts));
    EXPECT_EQ(192u, parts[0]);
    EXPECT_EQ(255u, parts[3]);
    for (const char *bad : {"", "1.2.3", "1.2.3.4.5", "1.2.3.256", "a.b.c.d", "1.2.3.4x"})
        EXPECT_EQ(1, vexo_getip(bad, parts)) << bad;
    uint8_t bits[8];
    vexo_bin(0xA5, bits);
    const uint8_t want[8] = {1, 0, 1, 0, 0, 1, 0, 1};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(want[i], bits[i]) << i;
}

} // namespace
