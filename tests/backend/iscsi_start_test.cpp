// Back-end start of the iSCSI initiators: each function's LogicalHBA with
// its login options, the targets, portals, sessions and iSNS server read
// from the simulated firmware, and the saved targets and send-target
// portals restored from the persistence files.
#include <csignal>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/iscsi_firmware_lists.h"
#include "mgmt/aw/vexo-backend/login_option_loaders.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/fault_plan.h"
#include "sim/machine.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace
{

// The AW3 function knows two targets (and one without a name), has a boot
// session that is not persistent, and one iSNS server beside SLP settings.
// Its target c claims more portals in its last group than the record holds.
const char kMachine[] = R"({
  "adapters": [
    { "name": "aw2", "family": "converged", "generation": "AW2", "serial": "AW2STA01",
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.1" },
      "functions": [
        { "bus": 3, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0702", "port": 0,
          "mac": "00:00:C9:A2:00:12" } ] },
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3STA01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22",
          "initiator": {
            "name": "iqn.1998-01.com.example:aw3",
            "targets": [
              { "id": 7, "name": "iqn.2001-04.com.example:a", "alias": "disk a",
                "portals": [ { "ip": "10.0.0.1", "port": 3260, "tag": 1 },
                             { "ip": "10.0.0.2", "port": 3261, "tag": 2 } ] },
              { "id": 8, "name": "", "portals": [ { "ip": "10.0.0.9", "port": 3260, "tag": 1 } ] },
              { "id": 9, "name": "iqn.2001-04.com.example:c",
                "portals": [ { "ip": "10.0.0.3", "port": 3260, "tag": 1, "claimed": 3 } ] } ],
            "sessions": [
              { "handle": 5, "target": "iqn.2001-04.com.example:a", "isid": "00023d000001", "tsih": 3,
                "status": 1, "flags": 257, "initiator": "iqn.1998-01.com.example:aw3",
                "connection": { "handle": 50, "cid": 1, "status": 1, "src_ip": "10.0.0.100",
                                "src_port": 40000, "dest_ip": "10.0.0.1", "dest_port": 3260 } } ],
            "discovery": { "slp": "0102030405", "isns_flags": 1, "entity": "old",
                           "srv_count": 1,
                           "servers": [ { "size": 24, "type": 1, "address": "0a000005000000000000000000000000",
                                          "tcp_port": 3205, "udp_port": 3205 } ] } } } ] },
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLSTA01",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "functions": [
        { "bus": 5, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0722", "port": 0,
          "mac": "00:00:C9:C4:00:32" } ] }
  ]
})";

const char kLogopts[] = "/etc/config/TAQ/vexo/intr_logopts.txt";
const char kSavetgt[] = "/etc/config/TAQ/vexo/savetgt.txt";
const char kSavestp[] = "/etc/config/TAQ/vexo/savestp.txt";

std::string tgt_line(const std::string &key, const std::string &name, const std::string &ip, const std::string &port,
                     const std::string &r2t, const std::string &type)
{
    return key + "," + name + "," + ip + "," + port + ",,iqn.i," + r2t + ",Yes,None,None,None,,,,," + type +
           ",,,,\n";
}

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> out;
    size_t at = 0;
    while (at < text.size()) {
        size_t nl = text.find('\n', at);
        out.push_back(text.substr(at, nl - at));
        at = nl == std::string::npos ? text.size() : nl + 1;
    }
    return out;
}

int count_prefix(const std::string &text, const std::string &prefix)
{
    int n = 0;
    for (const std::string &l : lines_of(text))
        n += l.compare(0, prefix.size(), prefix) == 0;
    return n;
}

class IscsiStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        start();
        aw3_ = adapter_path("AW3STA01");
        key_ = aw3_ + ",iSCSIPhysicalHBA0,LogicalHBA0";
    }
    void TearDown() override
    {
        if (started_) {
            EXPECT_EQ(0, VEXO_exit());
        }
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }
    void start()
    {
        ASSERT_EQ(0, VEXO_init());
        started_ = true;
    }
    void restart()
    {
        ASSERT_EQ(0, VEXO_exit());
        started_ = false;
        start();
    }
    std::string lhba(const std::string &adapter) const { return adapter + "/iSCSIPhysicalHBA0/LogicalHBA0"; }
    std::string file(const char *f) const { return hlvdtest::read_file(host_.path(f)); }
    // Instances of a repeated group below `parent`, by path.
    int instances(const std::string &parent, const std::string &group)
    {
        int n = 0;
        while (tag_at(parent + "/" + group + std::to_string(n), VEXO_NODE_GROUP) >= 0)
            ++n;
        return n;
    }
    // The path of the Target named `name` below the AW3 initiator, or empty.
    std::string target(const std::string &name)
    {
        for (int i = 0; i < 256; ++i) {
            std::string t = lhba(aw3_) + "/Target" + std::to_string(i);
            if (tag_at(t, VEXO_NODE_GROUP) < 0)
                continue;
            if (value_at(t + "/TargetISCSIName") == name)
                return t;
        }
        return std::string();
    }
    // A property's cached value, read without its handler.
    std::string cached(const std::string &group, const char *name)
    {
        node *p = get_node(tag_at(group + "/" + name, VEXO_NODE_PROPERTY));
        return p && p->u.prop ? p->u.prop->val : "missing";
    }
    nlohmann::json initiator_state()
    {
        hlvdsim::Machine m;
        std::string err;
        EXPECT_TRUE(hlvdsim::load_machine(host_.root(), m, &err)) << err;
        return m.doc["adapters"][1]["functions"][0]["initiator"];
    }

    SimHost host_{kMachine};
    std::string aw3_, key_;
    int start_ = 0;
    bool started_ = false;
};

TEST_F(IscsiStart, FirstStartGivesEveryInitiatorDefaultOptionsAndOneOwnerOnlyLine)
{
    for (int round = 0; round < 2; ++round) {
        std::string text = file(kLogopts);
        for (const char *serial : {"AW2STA01", "AW3STA01", "TRLSTA01"}) {
            std::string a = adapter_path(serial);
            SCOPED_TRACE(serial);
            std::string opts = lhba(a) + "/InitiatorLoginOptions";
            EXPECT_EQ("True", value_at(lhba(a) + "/Enabled"));
            EXPECT_EQ("Yes", value_at(opts + "/InitialR2T"));
            EXPECT_EQ("None", value_at(opts + "/HeaderDigest"));
            EXPECT_EQ("Prohibited", value_at(opts + "/DataParam"));
            EXPECT_EQ("None", value_at(opts + "/Authentication/AuthenticationMethod"));
            EXPECT_EQ("Prohibited", value_at(opts + "/Authentication/CHAPParam"));
            EXPECT_EQ(1, count_prefix(text, a + ",iSCSIPhysicalHBA0,LogicalHBA0,Yes,Yes,None,None,None,,,,,"
                                                "Prohibited,Prohibited,Prohibited"))
                << text;
        }
        EXPECT_EQ(3u, lines_of(text).size()) << text;
        struct stat st;
        ASSERT_EQ(0, stat(host_.path(kLogopts).c_str(), &st));
        EXPECT_EQ(0600u, st.st_mode & 0777);
        restart();
    }
}

TEST_F(IscsiStart, FirmwareTargetsSessionsAndSavedLinesAreBuiltOnceAcrossStarts)
{
    std::string a = target("iqn.2001-04.com.example:a");
    ASSERT_FALSE(a.empty());
    EXPECT_EQ("Static", value_at(a + "/TargetType"));
    EXPECT_EQ(2, instances(a, "TargetPortal"));
    EXPECT_EQ("10.0.0.2", value_at(a + "/TargetPortal1/TargetIPAddress"));
    EXPECT_EQ("2", value_at(a + "/TargetPortal1/PortalGroupTag"));
    // The record claims three portals in the group that holds one.
    std::string c = target("iqn.2001-04.com.example:c");
    ASSERT_FALSE(c.empty());
    EXPECT_EQ(1, instances(c, "TargetPortal"));
    EXPECT_EQ(2, instances(lhba(aw3_), "Target")) << "the nameless target builds nothing";

    ASSERT_EQ(1, instances(a, "Session"));
    EXPECT_EQ("True", value_at(a + "/Session0/iSCSIBoot"));
    EXPECT_EQ("False", value_at(a + "/Session0/Persistent"));
    EXPECT_EQ("Open", value_at(a + "/Session0/SessionStatus"));
    EXPECT_EQ("0001", value_at(a + "/Session0/ISIDQualifier"));
    EXPECT_EQ("10.0.0.1", value_at(a + "/Session0/Connection0/DestinationIPAddress"));

    // Portal lines with the persistence of the target's session; target c
    // has none, so its field stays empty.
    std::string saved = file(kSavetgt);
    EXPECT_EQ(1, count_prefix(saved, key_ + ",iqn.2001-04.com.example:a,10.0.0.1,3260,")) << saved;
    EXPECT_EQ(1, count_prefix(saved, key_ + ",iqn.2001-04.com.example:a,10.0.0.2,3261,")) << saved;
    for (const std::string &l : lines_of(saved)) {
        if (l.find(":a,") != std::string::npos) {
            EXPECT_EQ(",False", l.substr(l.size() - 6)) << l;
        }
        if (l.find(":c,") != std::string::npos) {
            EXPECT_EQ(',', l.back()) << l;
        }
    }

    // Lines of an earlier run: a target the firmware does not know, one of
    // port 0 and one of another initiator.
    std::string other = tgt_line("Arcwright9,iSCSIPhysicalHBA0,LogicalHBA0", "iqn.x:other", "10.9.9.9", "3260",
                                 "Yes", "Static");
    hlvdtest::write_file(host_.path(kSavetgt),
                         saved + tgt_line(key_, "iqn.2001-04.com.example:b", "10.0.0.7", "3262", "No", "") +
                             tgt_line(key_, "iqn.2001-04.com.example:z", "10.0.0.8", "0", "Yes", "Static") + other);
    restart();

    a = target("iqn.2001-04.com.example:a");
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(2, instances(a, "TargetPortal"));
    EXPECT_EQ(1, instances(a, "Session"));
    EXPECT_EQ(1, instances(a + "/Session0", "Connection"));
    std::string b = target("iqn.2001-04.com.example:b");
    ASSERT_FALSE(b.empty());
    EXPECT_EQ("Static", cached(b, "TargetType"));
    EXPECT_EQ("10.0.0.7", value_at(b + "/TargetPortal0/TargetIPAddress"));
    EXPECT_EQ("No", value_at(b + "/TargetLoginOptions/InitialR2T"));
    EXPECT_TRUE(target("iqn.2001-04.com.example:z").empty());
    EXPECT_EQ(3, instances(lhba(aw3_), "Target"));

    std::string now = file(kSavetgt);
    EXPECT_EQ(std::string::npos, now.find(":z,")) << now;
    EXPECT_NE(std::string::npos, now.find(other)) << now;
    EXPECT_EQ(1, count_prefix(now, key_ + ",iqn.2001-04.com.example:a,10.0.0.1,3260,")) << now;
    EXPECT_EQ(lines_of(saved).size() + 2, lines_of(now).size()) << now;
}

TEST_F(IscsiStart, StartKeepsTheFirmwareIsnsServersAndMirrorsTheFirst)
{
    std::string isns = aw3_ + "/iSCSIPhysicalHBA0/iSNS";
    EXPECT_EQ(1, instances(isns, "iSNSServer"));
    EXPECT_EQ("10.0.0.5", value_at(isns + "/iSNSServer0/IPAddress"));
    EXPECT_EQ("3205", value_at(isns + "/iSNSServer0/PortNumber"));

    nlohmann::json d = initiator_state()["discovery"];
    EXPECT_EQ("iqn.1998-01.com.example:aw3", d.value("entity", "")) << d.dump();
    EXPECT_EQ(1, d.value("srv_count", 0)) << d.dump();
    ASSERT_EQ(1u, d["servers"].size()) << d.dump();
    EXPECT_EQ(3205, d["servers"][0].value("tcp_port", 0));
    EXPECT_EQ(1, d.value("isns_flags", 0));
    EXPECT_TRUE(d.contains("slp")) << d.dump();

    restart();
    EXPECT_EQ(1, instances(isns, "iSNSServer"));
}

TEST_F(IscsiStart, ForeignConfigurationDropsOnlyThatAdaptersInitiatorLines)
{
    const struct {
        const char *what;
        bool read_fails;
        bool dropped;
    } kCases[] = {
        {"changed by another tool", false, true},
        {"signature unreadable", true, false},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(0, VEXO_exit());
        started_ = false;
        std::string mine = key_ + ",No,No,CRC32C,CRC32C,None,,,,,Prohibited,Preferred,Preferred";
        std::string other = "Arcwright9,iSCSIPhysicalHBA0,LogicalHBA0,No,Yes,None,None,None,,,,,,,";
        hlvdtest::write_file(host_.path(kLogopts), mine + "\n" + other + "\n");
        hlvdsim::Machine m;
        std::string err;
        ASSERT_TRUE(hlvdsim::load_machine(host_.root(), m, &err)) << err;
        nlohmann::json fw = m.doc["adapters"][1].value("fw_state", nlohmann::json::object());
        fw["config_signature"] = {{"source", 1}};
        set_adapter_field(host_.root(), 1, "fw_state", fw);
        if (c.read_fails)
            plan_status(host_.root(), 1, 78, 1);
        start();
        std::string text = file(kLogopts);
        EXPECT_NE(std::string::npos, text.find(other)) << text;
        EXPECT_EQ(c.dropped ? 0 : 1, count_prefix(text, mine)) << text;
        EXPECT_EQ(c.dropped ? "Yes" : "No", value_at(lhba(aw3_) + "/InitiatorLoginOptions/InitialR2T"));
        hlvdsim::fault_clear(host_.root());
    }
}

TEST_F(IscsiStart, KilledTargetLoaderLeavesOldOrNewSavedTargets)
{
    node *lhba_node = get_node(tag_at(lhba(aw3_), VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, lhba_node);
    std::string old_text = tgt_line(key_, "iqn.2001-04.com.example:z", "10.0.0.8", "0", "Yes", "Static");
    for (int i = 0; i < 3000; ++i)
        old_text += tgt_line("Arcwright9,iSCSIPhysicalHBA0,LogicalHBA0", "iqn.x:" + std::to_string(i), "10.9.0.1",
                             "3260", "Yes", "Static");
    std::string new_text = old_text.substr(old_text.find('\n') + 1);
    char key[VEXO_LHBA_KEY_TEXTS][VEXO_FIELD_SIZE] = {};
    std::snprintf(key[0], VEXO_FIELD_SIZE, "%s", aw3_.c_str());
    std::snprintf(key[1], VEXO_FIELD_SIZE, "iSCSIPhysicalHBA0");
    std::snprintf(key[2], VEXO_FIELD_SIZE, "LogicalHBA0");
    bool saw_new = false;
    for (int round = 0; round < 20; ++round) {
        hlvdtest::write_file(host_.path(kSavetgt), old_text);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            VEXO_set_target_loginopts_prop(key, lhba_node);
            _exit(0);
        }
        usleep(static_cast<useconds_t>(2000 + round * 10000));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        std::string now = file(kSavetgt);
        ASSERT_TRUE(now == old_text || now == new_text) << "round " << round;
        saw_new = saw_new || now == new_text;
    }
    EXPECT_TRUE(saw_new) << "no rewrite finished in time";
}

TEST_F(IscsiStart, SendTargetsAnswerStopsAtTheFirstZeroAddressAndAtItsEnd)
{
    // The send-target portal whose discovery answered.
    hlvdtest::write_file(host_.path(kSavestp), key_ + ",10.1.0.100,3260,,Yes,Yes,None,None,None,,,,,,,\n");
    restart();
    node *lhba_node = get_node(tag_at(lhba(aw3_), VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, lhba_node);
    auto put32 = [](std::vector<uint8_t> &b, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto entry = [&](std::vector<uint8_t> &b, const std::string &name, std::vector<std::vector<uint8_t>> ips) {
        put32(b, static_cast<uint32_t>(ips.size()));
        std::vector<uint8_t> n(224, 0);
        std::memcpy(n.data(), name.data(), name.size());
        b.insert(b.end(), n.begin(), n.end());
        for (const auto &ip : ips) {
            std::vector<uint8_t> e(32, 0);
            e[0] = 24;
            e[3] = ip.empty() ? 0 : 1;
            std::copy(ip.begin(), ip.end(), e.begin() + 4);
            e[24] = 0xBC, e[25] = 0x0C; // 3260
            e[28] = 1;
            b.insert(b.end(), e.begin(), e.end());
        }
    };
    std::vector<uint8_t> data;
    put32(data, 2);
    entry(data, "iqn.2001-04.com.example:st1", {{10, 1, 0, 1}, {}, {10, 1, 0, 3}});
    entry(data, "iqn.2001-04.com.example:st2", {{10, 1, 0, 4}, {10, 1, 0, 5}});
    data.resize(data.size() - 32); // the second entry's last address is cut off
    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
    node *stp = get_node(tag_at(lhba(aw3_) + "/Discovery/SendTargetPortal0", VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, stp);
    EXPECT_EQ(0, BuildTargetInfoList(data.data(), data.size(), lhba_node, stp, nullptr, params));
    std::string st1 = target("iqn.2001-04.com.example:st1"), st2 = target("iqn.2001-04.com.example:st2");
    ASSERT_FALSE(st1.empty());
    ASSERT_FALSE(st2.empty());
    EXPECT_EQ("Discovered", value_at(st1 + "/TargetType"));
    EXPECT_EQ(1, instances(st1, "TargetPortal"));
    EXPECT_EQ(1, instances(st2, "TargetPortal"));
    EXPECT_EQ(1, count_prefix(file(kSavetgt), key_ + ",iqn.2001-04.com.example:st1,10.1.0.1,3260,"));
}

TEST_F(IscsiStart, SavedSendTargetPortalsAreRestored)
{
    hlvdtest::write_file(host_.path(kSavestp),
                         key_ + ",10.2.0.1,3260,00:00:C9:B3:00:22,No,Yes,CRC32C,None,None,,,,,,,\n" +
                             "Arcwright9,iSCSIPhysicalHBA0,LogicalHBA0,10.2.0.9,3260,,Yes,Yes,None,None,None,,,,,,,\n");
    restart();
    std::string disc = lhba(aw3_) + "/Discovery";
    ASSERT_EQ(1, instances(disc, "SendTargetPortal"));
    EXPECT_EQ("10.2.0.1", value_at(disc + "/SendTargetPortal0/IPAddress"));
    EXPECT_EQ("3260", value_at(disc + "/SendTargetPortal0/PortNumber"));
    EXPECT_EQ("Prohibited", value_at(disc + "/SendTargetPortal0/SendTargetPortalLoginOptions/HeaderParam"));
}

} // namespace
