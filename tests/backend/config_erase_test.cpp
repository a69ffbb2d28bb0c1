// Erasing an adapter's configuration and restoring its factory profile
// through the management API: what is left of the iSCSI configuration in the
// tree, the host files and the simulated firmware, which regions are erased
// how often, and the answers and statuses of each erase.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/config_erase.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/fault_plan.h"
#include "sim/flash_model.h"
#include "sim/machine.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;
using json = nlohmann::json;

namespace
{

const char kInitiator[] = "iqn.1998-01.com.example:host";
const char kDiskA[] = "iqn.2001-04.com.example:a";
const char kDiskC[] = "iqn.2001-04.com.example:c";

// An initiator whose first target has no session and whose second has a
// boot session; the firmware holds a persistent login, an iSNS server,
// routes and a gateway.
json initiator()
{
    return json::parse(R"({
      "name": "iqn.1998-01.com.example:host",
      "targets": [
        { "id": 7, "name": "iqn.2001-04.com.example:a", "portals": [ { "ip": "10.0.0.1", "port": 3260, "tag": 1 } ] },
        { "id": 9, "name": "iqn.2001-04.com.example:c", "portals": [ { "ip": "10.0.0.3", "port": 3260, "tag": 1 } ] } ],
      "sessions": [
        { "handle": 5, "target": "iqn.2001-04.com.example:c", "isid": "00023d000001", "tsih": 3,
          "status": 1, "flags": 257, "initiator": "iqn.1998-01.com.example:host",
          "connection": { "handle": 50, "cid": 1, "status": 1, "src_ip": "10.0.0.100",
                          "src_port": 40000, "dest_ip": "10.0.0.3", "dest_port": 3260 } } ],
      "persistent": [ { "target": "iqn.2001-04.com.example:c", "ip": "10.0.0.3", "port": 3260, "isid": 1,
                        "flags": 64, "initiator": "iqn.1998-01.com.example:host" } ],
      "discovery": { "isns_flags": 1, "entity": "iqn.1998-01.com.example:host", "srv_count": 1,
                     "servers": [ { "size": 24, "type": 1, "address": "0a000005000000000000000000000000",
                                    "tcp_port": 3205, "udp_port": 3205 } ] } })");
}

json tcpip(bool v6)
{
    json t = json::parse(R"({
      "addresses": [ { "type": 1, "ip": "10.0.0.100", "mask": "255.255.255.0" } ],
      "gateway": "10.0.0.254",
      "routes": [ { "destination": "10.1.0.0", "mask": "255.255.0.0", "gateway": "10.0.0.1" },
                  { "destination": "10.2.0.0", "mask": "255.255.0.0", "gateway": "10.0.0.2" } ] })");
    if (v6) {
        t["if_handle"] = 9;
        t["addresses"].push_back({{"type", 0x50}, {"ip", "FE80:0000:0000:0000:0000:0000:0000:0010"}});
        t["addresses"].push_back({{"type", 0x30}, {"ip", "2001:0DB8:0000:0000:0000:0000:0000:0010"}});
        t["addresses"].push_back({{"type", 0x30}, {"ip", "2001:0DB8:0000:0000:0000:0000:0000:0011"}});
        t["gateway6"] = "2001:0DB8:0000:0000:0000:0000:0000:0001";
    }
    return t;
}

// AW3: two iSCSI functions (the first configured) and a NIC function.
// Trelmont: one configured iSCSI function and a NIC function.
std::string machine()
{
    json m = json::parse(R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3ERS01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22" },
        { "bus": 4, "function": 3, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 1,
          "mac": "00:00:C9:B3:00:23" },
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "mac": "00:00:C9:B3:00:20" } ] },
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLERS01",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "functions": [
        { "bus": 5, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0722", "port": 0,
          "mac": "00:00:C9:C4:00:32" },
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:30" } ] } ] })");
    m["adapters"][0]["functions"][0]["initiator"] = initiator();
    m["adapters"][0]["functions"][0]["tcpip"] = tcpip(false);
    m["adapters"][1]["functions"][0]["initiator"] = initiator();
    m["adapters"][1]["functions"][0]["tcpip"] = tcpip(true);
    // A Trelmont boot session would need its entry in region 3: this one's
    // session is a plain one, and the AW3 covers the boot session.
    m["adapters"][1]["functions"][0]["initiator"]["sessions"][0]["flags"] = 1;
    return m.dump();
}

struct Outcome {
    VEXO_status_t result, status;
};

class ConfigErase : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        aw3_ = adapter_path("AW3ERS01");
        trl_ = adapter_path("TRLERS01");
        ASSERT_FALSE(aw3_.empty());
        ASSERT_FALSE(trl_.empty());
    }
    void TearDown() override
    {
        vm_flag = 0;
        hlvdsim::fault_clear(host_.root());
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }

    Outcome action(const std::string &group, const char *name, const char *param = nullptr,
                   const char *param2 = nullptr)
    {
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params);
        if (param)
            std::snprintf(params[0], VEXO_VALUE_SIZE, "%s", param);
        if (param2)
            std::snprintf(params[1], VEXO_VALUE_SIZE, "%s", param2);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        vexo_set_fixed_status(VEXO_STATUS_SUCCESS);
        Outcome o;
        o.result = VEXO_do_action(tag_at(group, VEXO_NODE_GROUP), tag_at(group + "/" + name, VEXO_NODE_ACTION),
                                  params, tags.data());
        o.status = last_status().first;
        return o;
    }

    int instances(const std::string &parent, const char *name)
    {
        node *p = get_node(tag_at(parent, VEXO_NODE_GROUP));
        int n = 0;
        for (node *m = p ? get_first_instance(p, name) : nullptr; m && vexo_is_instance(m);
             m = m->u.grp->multi_instance->next_instance)
            ++n;
        return n;
    }

    json function_state(int adapter, int function)
    {
        hlvdsim::Machine m;
        EXPECT_TRUE(hlvdsim::load_adapter(host_.root(), static_cast<size_t>(adapter), m, nullptr));
        return m.doc["adapters"][0]["functions"][function];
    }
    json fw_state(int adapter)
    {
        hlvdsim::Machine m;
        EXPECT_TRUE(hlvdsim::load_adapter(host_.root(), static_cast<size_t>(adapter), m, nullptr));
        return m.doc["adapters"][0].value("fw_state", json::object());
    }

    // Erase requests (1/7, op code 3) of `adapter` by region, in order.
    std::vector<int> erases(const std::string &adapter)
    {
        std::vector<int> out;
        for (const json &e : fw_entries(host_.root())) {
            if (e.value("adapter", "") != adapter || e.value("subsystem", -1) != 1 || e.value("opcode", -1) != 7)
                continue;
            std::vector<uint8_t> p = hex_bytes(e.value("payload", ""));
            if (p.size() >= 8 && p[0] == 3)
                out.push_back(p[4]);
        }
        return out;
    }

    SimHost host_{machine()};
    std::string aw3_, trl_;
    int start_ = 0;
};

TEST_F(ConfigErase, EraseLeavesNoIscsiConfigurationAndErasesTheRegionOnce)
{
    const struct {
        const char *serial, *sim_name;
        int adapter;
        bool v6;
    } kCases[] = {{"AW3ERS01", "aw3", 0, false}, {"TRLERS01", "trelmont", 1, true}};
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.serial);
        std::string adapter = adapter_path(c.serial);
        std::string phba = adapter + "/iSCSIPhysicalHBA0", lhba = phba + "/LogicalHBA0";
        std::string key = adapter + ",iSCSIPhysicalHBA0,LogicalHBA0";
        ASSERT_EQ(2, instances(lhba, "Target"));
        ASSERT_EQ(1, instances(phba + "/iSNS", "iSNSServer"));
        std::string tcpip = phba + "/Network/TCPIPConfiguration";
        ASSERT_NE(0u, value_at(tcpip + "/InitiatorIPAddress").rfind("error", 0));
        ASSERT_EQ(VEXO_STATUS_SUCCESS, action(tcpip + "/RouteTable", "RefreshRouteTableEntry").result);
        ASSERT_EQ(2, instances(tcpip + "/RouteTable", "RouteTableEntry"));
        hlvdtest::write_file(host_.path("/etc/config/TAQ/vexo/savetgt.txt"),
                             key + "," + kDiskA + ",10.0.0.1,3260,,iqn.i,Yes,Yes,None,None,None,,,,,Static,,,,\n");
        clear_log(host_.root());

        // The second target's session (a boot session on the AW3) is logged
        // out although the first target has none.
        Outcome o = action(phba, "EraseConfiguration");
        EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result) << o.status;

        EXPECT_EQ(0, instances(lhba, "Target"));
        EXPECT_EQ(0, instances(lhba + "/Discovery", "SendTargetPortal"));
        EXPECT_EQ(0, instances(phba + "/iSNS", "iSNSServer"));
        EXPECT_EQ("No", value_at(phba + "/iSNS/iSNSEnabled"));
        EXPECT_EQ(0, instances(tcpip + "/RouteTable", "RouteTableEntry"));
        const struct {
            const char *name, *value;
        } kOptions[] = {{"HeaderParam", "Prohibited"}, {"DataParam", "Prohibited"}, {"InitialR2T", "Yes"},
                        {"ImmediateData", "Yes"},      {"HeaderDigest", "None"},    {"DataDigest", "None"},
                        {"Authentication/AuthenticationMethod", "None"}};
        for (const auto &opt : kOptions)
            EXPECT_EQ(opt.value, value_at(lhba + "/InitiatorLoginOptions/" + opt.name)) << opt.name;
        EXPECT_EQ(std::string::npos, hlvdtest::read_file(host_.path("/etc/config/TAQ/vexo/savetgt.txt")).find(key));

        json f = function_state(c.adapter, 0);
        EXPECT_TRUE(f["initiator"].value("sessions", json::array()).empty()) << f["initiator"].dump();
        EXPECT_TRUE(f["initiator"].value("persistent", json::array()).empty());
        EXPECT_TRUE(f["tcpip"].value("routes", json::array()).empty()) << f["tcpip"].dump();
        EXPECT_EQ("", f["tcpip"].value("gateway", "")) << f["tcpip"].dump();
        if (c.v6) {
            for (const json &a : f["tcpip"]["addresses"])
                EXPECT_NE(0x30, a.value("type", 0)) << f["tcpip"].dump();
            EXPECT_EQ("", f["tcpip"].value("gateway6", "")) << f["tcpip"].dump();
        }
        EXPECT_EQ(std::vector<int>{6}, erases(c.sim_name));
    }
}

TEST_F(ConfigErase, EraseAllRunsEveryEraseAndKeepsTheFirstFailure)
{
    // The NIC erase answering "reboot required" counts as done.
    set_adapter_field(host_.root(), 0, "erase_answer", {{"14", 44}});
    clear_log(host_.root());
    Outcome o = action(aw3_, "EraseAllConfiguration");
    EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result);
    // Once per iSCSI function, once per port, once per NIC function.
    EXPECT_EQ((std::vector<int>{6, 6, 15, 15, 14}), erases("aw3"));
    EXPECT_EQ(2, fw_state(0)["erased_regions"].value("6", 0));

    // A port erase that fails is the answer, although the NIC erase after
    // it succeeds.
    set_adapter_field(host_.root(), 0, "erase_answer", {{"15", 3}});
    o = action(aw3_, "EraseAllConfiguration");
    EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
    EXPECT_EQ(VEXO_STATUS_PORTDISC_ERASE_FAILED, o.status);
}

TEST_F(ConfigErase, EraseAllOnTrelmontRestoresTheFactoryProfile)
{
    clear_log(host_.root());
    EXPECT_EQ(VEXO_STATUS_SUCCESS, action(trl_, "EraseAllConfiguration").result);
    json fp = fw_state(1).value("factory_profile", json::object());
    EXPECT_EQ(0, fp.value("profile_id", -1)) << fp.dump();
    EXPECT_EQ((std::vector<int>{6, 15, 14}), erases("trelmont"));
}

TEST_F(ConfigErase, SingleRegionErasesMapTheFirmwareAnswer)
{
    const struct {
        const char *group, *action;
        int region;
        int answer; // firmware status the erase answers
        VEXO_status_t result, status;
    } kCases[] = {
        {"/NICPhysicalHBA0", "EraseNICConfiguration", 14, 0, VEXO_STATUS_SUCCESS, VEXO_STATUS_ERASED_REBOOT},
        {"/NICPhysicalHBA0", "EraseNICConfiguration", 14, 44, VEXO_STATUS_SUCCESS,
         VEXO_STATUS_IMMEDIATE_REBOOT_REQUIRED},
        {"/NICPhysicalHBA0", "EraseNICConfiguration", 14, 3, VEXO_STATUS_FAILURE, VEXO_STATUS_NIC_ERASE_FAILED},
        {"/PortDiscoveryAndConfiguration0", "ErasePortandDiscoveryConfiguration", 15, 0, VEXO_STATUS_SUCCESS,
         VEXO_STATUS_ERASED_REBOOT},
        {"/PortDiscoveryAndConfiguration0", "ErasePortandDiscoveryConfiguration", 15, 44,
         VEXO_STATUS_REBOOT_REQUIRED, VEXO_STATUS_PORTDISC_ERASE_FAILED},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(std::string(c.action) + " answering " + std::to_string(c.answer));
        set_adapter_field(host_.root(), 0, "erase_answer", {{std::to_string(c.region), c.answer}});
        clear_log(host_.root());
        Outcome o = action(aw3_ + c.group, c.action);
        EXPECT_EQ(c.result, o.result);
        EXPECT_EQ(c.status, o.status);
        EXPECT_EQ(std::vector<int>{c.region}, erases("aw3"));
    }
    // The back-end call gives the reboot answer itself.
    set_adapter_field(host_.root(), 0, "erase_answer", {{"14", 44}});
    EXPECT_EQ(VEXO_STATUS_REBOOT_REQUIRED,
              VEXO_EraseNICConfiguration(get_node(tag_at(aw3_ + "/NICPhysicalHBA0", VEXO_NODE_GROUP))));
    EXPECT_EQ(VEXO_STATUS_IMMEDIATE_REBOOT_REQUIRED, last_status().first);
}

TEST_F(ConfigErase, NicEraseRemovesTheNicRegions)
{
    hlvdsim::Machine m;
    ASSERT_TRUE(hlvdsim::object_put(host_.root(), "aw3", "/nicdata/Port0/Partition1/Region1", {1, 2, 3}));
    ASSERT_TRUE(hlvdsim::object_put(host_.root(), "aw3", "/prg", {9}));
    EXPECT_EQ(VEXO_STATUS_SUCCESS, action(aw3_ + "/NICPhysicalHBA0", "EraseNICConfiguration").result);
    std::vector<uint8_t> bytes;
    EXPECT_FALSE(hlvdsim::object_contents(host_.root(), "aw3", "/nicdata/Port0/Partition1/Region1", bytes));
    EXPECT_TRUE(hlvdsim::object_contents(host_.root(), "aw3", "/prg", bytes));
}

TEST_F(ConfigErase, ErasesRefuseOnAVirtualFunction)
{
    vm_flag = 1;
    clear_log(host_.root());
    const struct {
        std::string group;
        const char *action;
    } kCases[] = {{aw3_ + "/iSCSIPhysicalHBA0", "EraseConfiguration"},
                  {aw3_, "EraseAllConfiguration"},
                  {aw3_ + "/NICPhysicalHBA0", "EraseNICConfiguration"},
                  {aw3_ + "/PortDiscoveryAndConfiguration0", "ErasePortandDiscoveryConfiguration"}};
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.action);
        Outcome o = action(c.group, c.action);
        EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
        EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM, o.status);
    }
    EXPECT_TRUE(erases("aw3").empty());
}

TEST_F(ConfigErase, FailedLogoutEndsTheEraseWithItsOwnResult)
{
    // The firmware refuses the logout: nothing is erased and the targets
    // stay.
    plan_status(host_.root(), 6, 24, 1, 0);
    clear_log(host_.root());
    Outcome o = action(aw3_ + "/iSCSIPhysicalHBA0", "EraseConfiguration");
    EXPECT_NE(VEXO_STATUS_SUCCESS, o.result);
    EXPECT_EQ(2, instances(aw3_ + "/iSCSIPhysicalHBA0/LogicalHBA0", "Target"));
    EXPECT_TRUE(erases("aw3").empty());
}

TEST_F(ConfigErase, RouteDeletionGivesUpOnRoutesTheFirmwareKeeps)
{
    node *phba = get_node(tag_at(aw3_ + "/iSCSIPhysicalHBA0", VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, phba);
    ASSERT_NE(0u, value_at(aw3_ + "/iSCSIPhysicalHBA0/Network/TCPIPConfiguration/InitiatorIPAddress").rfind("error", 0));
    // Deletes are answered and change nothing.
    plan_status(host_.root(), 2, 11, 0, 0);
    clear_log(host_.root());
    EXPECT_EQ(VEXO_STATUS_FAILURE, VEXO_delete_available_routes(phba));
    int deletes = 0;
    for (const auto &c : fw_commands(host_.root()))
        deletes += c == std::make_pair(2, 11);
    EXPECT_EQ(2 * VEXO_ROUTE_DELETE_PASSES, deletes);

    hlvdsim::fault_clear(host_.root());
    EXPECT_EQ(VEXO_STATUS_SUCCESS, VEXO_delete_available_routes(phba));
}

TEST_F(ConfigErase, ResetFactoryDefaults)
{
    const struct {
        const char *serial;
        const char *profile;
        bool transport_fault;
        VEXO_status_t result, status;
        int profile_id, operation; // sent; -1: nothing sent
    } kCases[] = {
        {"AW3ERS01", nullptr, false, VEXO_STATUS_FAILURE, VEXO_STATUS_RESET_FACTORY_DEFAULTS_NOT_SUPPORTED, -1, -1},
        {"TRLERS01", nullptr, false, VEXO_STATUS_SUCCESS, VEXO_STATUS_IMMEDIATE_REBOOT_REQUIRED, 0, 1},
        {"TRLERS01", "3", false, VEXO_STATUS_SUCCESS, VEXO_STATUS_IMMEDIATE_REBOOT_REQUIRED, 3, 0},
        // Nothing reached the adapter: no reboot is asked for.
        {"TRLERS01", "5", true, VEXO_STATUS_FAILURE, VEXO_STATUS_RESET_FACTORY_DEFAULTS_FAILED, -1, -1},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(std::string(c.serial) + " " + (c.profile ? c.profile : "(none)"));
        hlvdsim::fault_clear(host_.root());
        if (c.transport_fault) {
            hlvdsim::FaultSpec f;
            f.subsystem = 1;
            f.opcode = 169;
            f.kind = "transport";
            f.how = "driver";
            f.always = true;
            std::string err;
            ASSERT_GT(hlvdsim::fault_add(host_.root(), f, &err), 0) << err;
        }
        clear_log(host_.root());
        Outcome o = action(adapter_path(c.serial), "ResetFactoryDefaults", c.profile);
        EXPECT_EQ(c.result, o.result);
        EXPECT_EQ(c.status, o.status);
        std::vector<json> sent;
        for (const json &e : fw_entries(host_.root()))
            if (e.value("opcode", -1) == 169 && e.value("outcome", "") == "answered")
                sent.push_back(e);
        if (c.profile_id < 0) {
            EXPECT_TRUE(sent.empty());
            continue;
        }
        ASSERT_EQ(1u, sent.size());
        EXPECT_EQ(1, sent[0].value("version", -1));
        std::vector<uint8_t> p = hex_bytes(sent[0].value("payload", ""));
        ASSERT_GE(p.size(), 2u);
        EXPECT_EQ(c.profile_id, p[0]);
        EXPECT_EQ(c.operation, p[1]);
    }
}

TEST_F(ConfigErase, RefreshNicConfigReadsThePermanentMac)
{
    std::string nic = aw3_ + "/iSCSIPhysicalHBA0/Network/NICConfiguration";
    EXPECT_EQ(VEXO_STATUS_SUCCESS, action(nic, "RefreshNICConfig").result);
    std::string mac = value_at(nic + "/PermanentMACAddress");
    EXPECT_NE(std::string::npos, mac.find("b3")) << mac;
}

} // namespace
