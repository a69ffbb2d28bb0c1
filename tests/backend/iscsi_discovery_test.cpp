// SendTargets and iSNS discovery: the parsed answer is firmware bytes and is
// taken only as far as the buffer holds whole entries; the send-target
// portal, discovery and iSNS actions through the management API.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/iscsi_discovery.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/machine.h"
#include "support/sim_host.h"

namespace {

void put32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    if (b.size() < at + 4)
        b.resize(at + 4);
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t get32(const std::vector<uint8_t> &b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// An entry with `addrs` address entries (the room of one when 0), its name
// filling the whole field when `full_name`.
void add_entry(std::vector<uint8_t> &b, uint32_t addrs, bool full_name = false)
{
    size_t at = b.size();
    b.resize(at + 228 + 32 * (addrs ? addrs : 1), 0);
    put32(b, at, addrs);
    std::string name = full_name ? std::string(224, 'a') : "iqn.2001-04.com.example:disk";
    std::memcpy(&b[at + 4], name.data(), name.size());
}

struct BoundCase {
    const char *what;
    uint32_t claimed;
    std::vector<uint32_t> entries; // address counts of the entries present
    size_t cut;                    // bytes taken off the end
    uint32_t kept;
};

TEST(SendTargetsAnswer, KeepsOnlyWholeEntriesWithinTheBuffer)
{
    const BoundCase cases[] = {
        {"all present", 3, {1, 2, 0}, 0, 3},
        {"count past the entries", 500, {1, 1}, 0, 2},
        {"count below the entries", 1, {1, 1}, 0, 1},
        {"last entry cut", 2, {1, 3}, 1, 1},
        {"empty entry cut", 2, {1, 0}, 1, 1},
        {"zero count", 0, {1}, 0, 0},
    };
    for (const BoundCase &c : cases) {
        std::vector<uint8_t> b;
        put32(b, 0, c.claimed);
        for (uint32_t a : c.entries)
            add_entry(b, a);
        b.resize(b.size() - c.cut);
        EXPECT_EQ(c.kept, vexo_bound_sendtargets_answer(b.data(), b.size())) << c.what;
        EXPECT_EQ(c.kept, get32(b, 0)) << c.what;
    }
}

TEST(SendTargetsAnswer, RefusesAnAddressCountLargerThanTheBufferAndEndsNames)
{
    std::vector<uint8_t> b;
    put32(b, 0, 2);
    add_entry(b, 1, true);
    add_entry(b, 1);
    put32(b, 4 + 260, 0xFFFFFFFFu); // second entry claims more addresses than exist
    EXPECT_EQ(1u, vexo_bound_sendtargets_answer(b.data(), b.size()));
    EXPECT_EQ(0, b[4 + 4 + 223]) << "a name filling its field ends inside it";

    uint8_t tiny[3] = {5, 0, 0};
    EXPECT_EQ(0u, vexo_bound_sendtargets_answer(tiny, sizeof tiny));
    EXPECT_EQ(0u, vexo_bound_sendtargets_answer(nullptr, 64));
}

using hlvdtest::SimHost;
using namespace backendtest;
using json = nlohmann::json;

const char kInitiator[] = "iqn.1998-01.com.example:host";
const char kSavestp[] = "/etc/config/TAQ/vexo/savestp.txt";

json target(const std::string &name, const char *ip, int portals = 1)
{
    json t = {{"name", name}, {"portals", json::array()}};
    for (int i = 0; i < portals; ++i)
        t["portals"].push_back({{"ip", ip}, {"port", 3260 + i}, {"tag", i + 1}});
    return t;
}

// Per function: portal 10.0.0.1 reports the disk and the tape, 10.0.0.2 a
// third target, 10.0.0.3 is down, and 10.0.0.4 reports 200 targets of three
// portals each, more than one answer holds. Two iSNS servers are known.
json iscsi_function(int bus, const char *device, const char *mac, bool trelmont)
{
    json many = json::array();
    for (int i = 0; i < 200; ++i)
        many.push_back(target("iqn.2001-04.com.example:many" + std::to_string(i), "10.0.0.4", 3));
    json f = {{"bus", bus}, {"function", 2}, {"kind", "iscsi"}, {"vendor", "0x19A2"}, {"device_id", device},
              {"port", 0}, {"mac", mac}};
    if (trelmont)
        f["sq_count"] = json::array({150, 50});
    f["initiator"] = {
        {"name", kInitiator},
        {"sendtargets_portals",
         json::array({{{"ip", "10.0.0.1"}, {"port", 3260},
                       {"targets", json::array({target("iqn.2001-04.com.example:disk", "10.0.0.1"),
                                                target("iqn.2001-04.com.example:tape", "10.0.0.1")})}},
                      {{"ip", "10.0.0.2"}, {"port", 3260},
                       {"targets", json::array({target("iqn.2001-04.com.example:third", "10.0.0.2")})}},
                      {{"ip", "10.0.0.3"}, {"port", 3260}, {"down", true}},
                      {{"ip", "10.0.0.4"}, {"port", 3260}, {"targets", many}}})},
        {"discovery",
         {{"slp", "0102030405"},
          {"isns_flags", 0x11},
          {"entity", kInitiator},
          {"srv_count", 2},
          {"servers", json::array({{{"size", 24}, {"type", 1}, {"address", "0a000005000000000000000000000000"},
                                    {"tcp_port", 3205}},
                                   {{"size", 24}, {"type", 1}, {"address", "0a000006000000000000000000000000"},
                                    {"tcp_port", 3206}}})}}},
        {"isns_dhcp_server", {{"ip", "10.0.0.50"}, {"port", 3205}}}};
    return f;
}

std::string machine()
{
    json m = {{"adapters", json::array()}};
    const struct {
        const char *name, *generation, *serial, *fw, *device, *mac;
    } kAdapters[] = {
        {"aw2", "AW2", "AW2DSC01", "4.2.433.604", "0x0702", "00:00:C9:A2:00:12"},
        {"aw3", "AW3", "AW3DSC01", "10.2.370.15", "0x0712", "00:00:C9:B3:00:22"},
        {"trelmont", "Trelmont", "TRLDSC01", "11.1.183.23", "0x0722", "00:00:C9:C4:00:32"},
    };
    int bus = 3;
    for (const auto &a : kAdapters)
        m["adapters"].push_back({{"name", a.name},
                                 {"family", "converged"},
                                 {"generation", a.generation},
                                 {"serial", a.serial},
                                 {"firmware", {{"active", a.fw}, {"flash", a.fw}, {"boot", a.fw}}},
                                 {"functions", json::array({iscsi_function(bus++, a.device, a.mac,
                                                                           std::string(a.generation) == "Trelmont")})}});
    return m.dump();
}

struct Outcome {
    VEXO_status_t result, status;
    std::string text;
};

class IscsiDiscovery : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        for (const char *serial : {"AW2DSC01", "AW3DSC01", "TRLDSC01"}) {
            std::string a = adapter_path(serial);
            ASSERT_FALSE(a.empty()) << serial;
            adapters_.push_back(a + "/iSCSIPhysicalHBA0");
        }
        clear_log(host_.root());
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }

    std::string discovery(int a) const { return adapters_[a] + "/LogicalHBA0/Discovery"; }
    std::string isns(int a) const { return adapters_[a] + "/iSNS"; }

    Outcome action(const std::string &group, const char *name, std::vector<std::string> values = {})
    {
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params); // not given
        for (size_t i = 0; i < values.size(); ++i)
            if (!values[i].empty())
                std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", values[i].c_str());
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
        Outcome o;
        o.result = VEXO_do_action(tag_at(group, VEXO_NODE_GROUP), tag_at(group + "/" + name, VEXO_NODE_ACTION), params,
                                  tags.data());
        auto st = last_status();
        o.status = st.first;
        o.text = st.second;
        return o;
    }
    int instances(const std::string &parent, const std::string &group)
    {
        int n = 0;
        for (int i = 0; i < 256; ++i)
            n += tag_at(parent + "/" + group + std::to_string(i), VEXO_NODE_GROUP) >= 0;
        return n;
    }
    // Names of the Targets of adapter `a`'s initiator.
    std::vector<std::string> targets(int a)
    {
        std::vector<std::string> out;
        for (int i = 0; i < 256; ++i) {
            std::string t = adapters_[a] + "/LogicalHBA0/Target" + std::to_string(i);
            if (tag_at(t, VEXO_NODE_GROUP) >= 0)
                out.push_back(value_at(t + "/TargetISCSIName"));
        }
        return out;
    }
    // The instance path of the portal added for `ip`.
    std::string add_portal(int a, const char *ip)
    {
        Outcome o = action(discovery(a), "AddSendTargetPortal", {ip, "3260"});
        EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result) << ip << " " << o.status;
        for (int i = 0; i < 128; ++i) {
            std::string p = discovery(a) + "/SendTargetPortal" + std::to_string(i);
            if (tag_at(p, VEXO_NODE_GROUP) >= 0 && value_at(p + "/IPAddress") == ip)
                return p;
        }
        ADD_FAILURE() << "no portal " << ip;
        return std::string();
    }
    json initiator(int a)
    {
        hlvdsim::Machine m;
        std::string err;
        EXPECT_TRUE(hlvdsim::load_machine(host_.root(), m, &err)) << err;
        return m.doc["adapters"][a]["functions"][0]["initiator"];
    }
    // Requests of one firmware command in the log, as bytes (the first 64).
    std::vector<std::vector<uint8_t>> sent(int subsystem, int opcode)
    {
        std::vector<std::vector<uint8_t>> out;
        for (const json &e : fw_entries(host_.root()))
            if (e.value("subsystem", -1) == subsystem && e.value("opcode", -1) == opcode)
                out.push_back(hex_bytes(e.value("payload", "")));
        return out;
    }

    SimHost host_{machine()};
    std::vector<std::string> adapters_;
    int start_ = 0;
};

TEST_F(IscsiDiscovery, DiscoverTargetsSendsTheTextKeyBuildsTheTargetsAndLogsOut)
{
    const struct {
        const char *name;
        const char *key;
        std::vector<std::string> built;
    } kCases[] = {
        {"", "SendTargets=All", {"iqn.2001-04.com.example:disk", "iqn.2001-04.com.example:tape"}},
        {"IQN.2001-04.com.Example:TAPE", "SendTargets=iqn.2001-04.com.example:tape", {"iqn.2001-04.com.example:tape"}},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.key);
        ASSERT_EQ(0, VEXO_exit());
        ASSERT_EQ(0, VEXO_init());
        std::string stp = add_portal(1, "10.0.0.1");
        for (const std::string &t : targets(1))
            ADD_FAILURE() << "target before discovery: " << t;
        clear_log(host_.root());
        Outcome o = action(stp, "DiscoverTargets", {c.name});
        EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result) << o.status;
        std::vector<std::vector<uint8_t>> st = sent(6, 33);
        ASSERT_EQ(1u, st.size());
        EXPECT_EQ(std::string(c.key), std::string(reinterpret_cast<const char *>(st[0].data() + 8)));
        EXPECT_EQ(c.built, targets(1));
        EXPECT_EQ(1u, sent(6, 23).size());
        EXPECT_EQ(1u, sent(6, 24).size());
        EXPECT_TRUE(initiator(1)["discovery_sessions"].empty()) << "the discovery session is logged out";
        ASSERT_EQ(0, action(discovery(1), "DeleteSendTargetPortal", {"0"}).result);
        // Targets of the first case stay; the second one starts afresh.
        hlvdtest::write_file(host_.path("/etc/config/TAQ/vexo/savetgt.txt"), "");
    }
}

TEST_F(IscsiDiscovery, DiscoverTargetsRefusesABadNameAndAPortalWithoutItsLine)
{
    std::string stp = add_portal(1, "10.0.0.1");
    Outcome bad = action(stp, "DiscoverTargets", {"iqn.bad name"});
    EXPECT_EQ(1, bad.result);
    EXPECT_EQ(VEXO_STATUS_INVALID_ISCSI_NAME, bad.status);

    hlvdtest::write_file(host_.path(kSavestp), "");
    clear_log(host_.root());
    EXPECT_EQ(1, action(stp, "DiscoverTargets").result);
    EXPECT_TRUE(sent(6, 23).empty()) << "no login through a portal that is not saved";
}

TEST_F(IscsiDiscovery, CutAnswerIsContinuedOnlyOnTrelmont)
{
    for (int a : {1, 2}) {
        SCOPED_TRACE(adapters_[a]);
        std::string stp = add_portal(a, "10.0.0.4");
        clear_log(host_.root());
        Outcome o = action(stp, "DiscoverTargets");
        EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result) << o.status;
        std::vector<std::vector<uint8_t>> more = sent(6, 34);
        if (a == 2) {
            ASSERT_EQ(1u, more.size());
            uint16_t index = static_cast<uint16_t>(more[0][0] | more[0][1] << 8);
            uint16_t count = static_cast<uint16_t>(more[0][2] | more[0][3] << 8);
            EXPECT_EQ(200, index + count) << "the rest up to the send-queue total";
            EXPECT_EQ(2u, more[0][4]);
            EXPECT_EQ(200u, targets(a).size());
            EXPECT_EQ("iqn.2001-04.com.example:many199", targets(a).back());
        } else {
            EXPECT_TRUE(more.empty());
            EXPECT_LT(targets(a).size(), 200u);
            EXPECT_FALSE(targets(a).empty());
        }
        EXPECT_TRUE(initiator(a)["discovery_sessions"].empty());
    }
}

TEST_F(IscsiDiscovery, RefreshCountsTheFailedPortalsAndBuildsTheOthers)
{
    for (const char *ip : {"10.0.0.1", "10.0.0.3", "10.0.0.2"})
        add_portal(1, ip);
    Outcome o = action(discovery(1), "RefreshAvailableTargets");
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_REFRESH_TARGET_FAILURE, o.status);
    EXPECT_EQ("1 out of 3 SendTargetsPortals are failed to discover targets.", o.text);
    std::vector<std::string> names = targets(1);
    for (const char *t : {"iqn.2001-04.com.example:disk", "iqn.2001-04.com.example:tape",
                          "iqn.2001-04.com.example:third"})
        EXPECT_NE(names.end(), std::find(names.begin(), names.end(), t)) << t;
    EXPECT_TRUE(initiator(1)["discovery_sessions"].empty());
}

TEST_F(IscsiDiscovery, DiscoveryLogoutFailureIsReportedWithItsStatus)
{
    std::string stp = add_portal(1, "10.0.0.1");
    plan_status(host_.root(), 6, 24, 1, 21);
    Outcome o = action(stp, "DiscoverTargets");
    EXPECT_EQ(1, o.result);
    EXPECT_NE(VEXO_STATUS_SUCCESS, o.status);
}

TEST_F(IscsiDiscovery, AddSendTargetPortalSavesTheLineAndRefusesDuplicatesAndIpv6OnOlderAsics)
{
    std::string stp = add_portal(1, "10.0.0.1");
    EXPECT_EQ("00-00-c9-b3-00-22", value_at(stp + "/PortMacAddress"));
    std::string saved = hlvdtest::read_file(host_.path(kSavestp));
    EXPECT_NE(std::string::npos, saved.find(",10.0.0.1,3260,00-00-c9-b3-00-22,")) << saved;

    Outcome dup = action(discovery(1), "AddSendTargetPortal", {"10.0.0.1", "3260"});
    EXPECT_EQ(VEXO_STATUS_SUCCESS, dup.result) << "a portal already present is told, not refused";
    EXPECT_EQ(VEXO_STATUS_DUPLICATE_STP, dup.status);
    EXPECT_EQ(1, instances(discovery(1), "SendTargetPortal"));
    EXPECT_EQ(saved, hlvdtest::read_file(host_.path(kSavestp)));

    for (int a : {0, 1}) {
        Outcome v6 = action(discovery(a), "AddSendTargetPortal", {"fe80::1", "3260"});
        EXPECT_EQ(1, v6.result) << a;
        EXPECT_EQ(VEXO_STATUS_IPV6_NOT_SUPPORTED, v6.status) << a;
    }
    Outcome v6 = action(discovery(2), "AddSendTargetPortal", {"fe80::1", "3260"});
    EXPECT_EQ(VEXO_STATUS_SUCCESS, v6.result) << v6.status;
}

TEST_F(IscsiDiscovery, AddSendTargetPortalThatCannotBeSavedFails)
{
    // A directory where the file goes: the line cannot be appended.
    hlvdtest::write_file(host_.path(kSavestp), "");
    std::remove(host_.path(kSavestp).c_str());
    ASSERT_EQ(0, mkdir(host_.path(kSavestp).c_str(), 0755));
    Outcome o = action(discovery(1), "AddSendTargetPortal", {"10.0.0.1", "3260"});
    EXPECT_EQ(1, o.result);
    EXPECT_NE(VEXO_STATUS_SUCCESS, o.status);
    EXPECT_EQ(0, instances(discovery(1), "SendTargetPortal"));
}

TEST_F(IscsiDiscovery, DeleteSendTargetPortalRemovesNodeAndLine)
{
    add_portal(1, "10.0.0.1");
    add_portal(1, "10.0.0.2");
    Outcome none = action(discovery(1), "DeleteSendTargetPortal", {"7"});
    EXPECT_EQ(1, none.result);
    EXPECT_EQ(VEXO_STATUS_INVALID_INSTANCE_NUM, none.status);
    EXPECT_EQ(VEXO_STATUS_SUCCESS, action(discovery(1), "DeleteSendTargetPortal", {"0"}).result);
    std::string saved = hlvdtest::read_file(host_.path(kSavestp));
    EXPECT_EQ(std::string::npos, saved.find(",10.0.0.1,")) << saved;
    EXPECT_NE(std::string::npos, saved.find(",10.0.0.2,")) << saved;
    EXPECT_EQ(1, instances(discovery(1), "SendTargetPortal"));
}

TEST_F(IscsiDiscovery, ConfigureIsnsServerDefaultsThePortAndReplacesTheFirstServer)
{
    Outcome first = action(isns(2), "ConfigureiSNSServer", {"10.0.0.7"});
    EXPECT_EQ(VEXO_STATUS_SUCCESS, first.result) << first.status;
    json d = initiator(2)["discovery"];
    EXPECT_EQ(2, d.value("srv_count", 0)) << d.dump();
    EXPECT_EQ("0a000007000000000000000000000000", d["servers"][0].value("address", ""));
    EXPECT_EQ(3205, d["servers"][0].value("tcp_port", 0));
    EXPECT_EQ("0a000006000000000000000000000000", d["servers"][1].value("address", "")) << "the second stays";
    EXPECT_EQ(0x11, d.value("isns_flags", 0));

    EXPECT_EQ(VEXO_STATUS_SUCCESS, action(isns(2), "ConfigureiSNSServer", {"10.0.0.8", "4000"}).result);
    d = initiator(2)["discovery"];
    EXPECT_EQ(2, d.value("srv_count", 0));
    EXPECT_EQ("0a000008000000000000000000000000", d["servers"][0].value("address", ""));
    EXPECT_EQ(4000, d["servers"][0].value("tcp_port", 0));
    EXPECT_EQ("10.0.0.8", value_at(isns(2) + "/iSNSServer0/IPAddress"));
    EXPECT_EQ(1, instances(isns(2), "iSNSServer")) << "the replaced server leaves the tree";

    Outcome aw3 = action(isns(1), "ConfigureiSNSServer", {"10.0.0.7"});
    EXPECT_EQ(1, aw3.result);
    EXPECT_EQ(VEXO_STATUS_SET_DISCOVERY_FAILED, aw3.status) << "one server only on AW3";
}

TEST_F(IscsiDiscovery, DeleteIsnsServerRemovesOnlyTheNamedServer)
{
    ASSERT_EQ(1, instances(isns(2), "iSNSServer")) << "the tree shows the first server";
    EXPECT_EQ(VEXO_STATUS_SUCCESS, action(isns(2), "DeleteiSNSServer", {"0"}).result);
    EXPECT_EQ(0, instances(isns(2), "iSNSServer"));
    json d = initiator(2)["discovery"];
    EXPECT_EQ(1, d.value("srv_count", 0)) << d.dump();
    EXPECT_EQ("0a000006000000000000000000000000", d["servers"][0].value("address", ""));
    EXPECT_EQ(3206, d["servers"][0].value("tcp_port", 0));
    EXPECT_EQ(kInitiator, d.value("entity", ""));
    EXPECT_TRUE(d.contains("slp")) << "the SLP settings stay";
    Outcome none = action(isns(2), "DeleteiSNSServer", {"3"});
    EXPECT_EQ(1, none.result);
    EXPECT_EQ(VEXO_STATUS_INVALID_INSTANCE_NUM, none.status);
}

TEST_F(IscsiDiscovery, IsnsEnabledChangesOnlyTheEnableBit)
{
    EXPECT_EQ("Yes", value_at(isns(2) + "/iSNSEnabled"));
    clear_log(host_.root());
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set_at(isns(2) + "/iSNSEnabled", "yes"));
    EXPECT_TRUE(sent(2, 29).empty()) << "already on: nothing written";

    EXPECT_EQ(VEXO_STATUS_SUCCESS, set_at(isns(2) + "/iSNSEnabled", "No"));
    EXPECT_EQ("No", value_at(isns(2) + "/iSNSEnabled"));
    json d = initiator(2)["discovery"];
    EXPECT_EQ(0x10, d.value("isns_flags", 0));
    EXPECT_EQ(2, d.value("srv_count", 0)) << "the servers stay";
    EXPECT_TRUE(d.contains("slp"));
}

TEST_F(IscsiDiscovery, IsnsThroughDhcpLearnsTheServer)
{
    EXPECT_EQ(VEXO_STATUS_SUCCESS, action(isns(2), "DiscoveryiSNSThruDHCP").result);
    json d = initiator(2)["discovery"];
    EXPECT_EQ(0x41, d.value("isns_flags", 0));
    EXPECT_EQ(1, instances(isns(2), "iSNSServer"));
    EXPECT_EQ("10.0.0.50", value_at(isns(2) + "/iSNSServer0/IPAddress"));
}

} // namespace
