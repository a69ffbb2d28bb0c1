// The PHY of the port groups against simulated adapters: the 10GBASE-T
// statistics with their 10-second refresh per port, the version fallback and
// the "N/A" fill, the NVP value, the PHY type and link-down reason, and the
// cable test, self test and counter clearing actions of the BaseT10G group.
#include <cstring>
#include <memory>
#include <string>
#include <sys/time.h>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "backend_fixture.h"
#include "sim/fault_plan.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

// AW2, AW3 (no 10GBASE-T), Trelmont with a 10GBASE-T PHY and NIC functions
// on ports 0 to 3, Varrow; then a second Trelmont with a function on port 0.
const char kMachine[] = R"({
  "adapters": [
    { "name": "aw2", "family": "converged", "generation": "AW2", "serial": "AW2PH0001",
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.1" },
      "functions": [
        { "bus": 3, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE602", "mac": "00:00:C9:A2:00:10" } ] },
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3PH0001",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:20", "link_down_reason": 4 } ] },
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLPH0001",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "base_t": 1, "temperature": 61,
      "base_t_stats": { "status": "0x8001", "PairASNR": "0x1a2b", "PairDSNR": "0x44", "LinkTimeHi": 3,
                        "LinkTimeLo": 9, "PairCAvgMSE": -7, "LDPCFrameErrsHi": "0xFFFFFFFF",
                        "LDPCFrameErrsLo": 17, "PHYCRC8ErrsLo": 5, "MDIPLLEventCtr": 2, "EMI10GEventCtr": 6,
                        "PHYFrameCtrLo": 2, "PHYFrameCtrHi": 1 },
      "tdr": { "pair_status": "0x2131", "lengths": [7, 12, 9, 30] },
      "self_test_result": 3,
      "ports": [ { "phy": { "type": "0x1b" } } ],
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:30" },
        { "bus": 5, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 1,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:31" },
        { "bus": 5, "function": 2, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 2,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:32" },
        { "bus": 5, "function": 3, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 3,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:33" } ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWPH0001",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE222", "mac": "00:00:C9:D5:00:40" } ] },
    { "name": "trelmont2", "family": "converged", "generation": "Trelmont", "serial": "TRLPH0002",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "base_t": 1,
      "functions": [
        { "bus": 7, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:01:30" } ] }
  ]
})";

enum { kAw2 = 0, kAw3 = 1, kTrelmont = 2, kVarrow = 3, kTrelmont2 = 4 };
const char *const kSerials[] = {"AW2PH0001", "AW3PH0001", "TRLPH0001", "VRWPH0001", "TRLPH0002"};

const char *const kStatistics[] = {
    "10GBaseTDiagStatus", "Temperature",     "PairASNR",        "PairBSNR",     "PairCSNR",
    "PairDSNR",           "TimeSinceLinkHigh", "TimeSinceLinkLow", "AverageMSEPairA", "AverageMSEPairB",
    "AverageMSEPairC",    "AverageMSEPairD", "LDPCFrameHigh",   "LDPCFrameLow", "PHYCRC8High",
    "PHYCRC8Low",         "MDIPLLEventCounter", "10GEMIEventCounter", "PHYFrameCounter",
};

// Little-endian 32-bit word `index` of a logged command's payload.
uint32_t payload_word(const nlohmann::json &entry, size_t index)
{
    std::string hex = entry.value("payload", "");
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) {
        size_t at = 8 * index + 2 * i;
        if (hex.size() < at + 2)
            return 0;
        v |= static_cast<uint32_t>(std::stoul(hex.substr(at, 2), nullptr, 16)) << (8 * i);
    }
    return v;
}

class PhyBaseT : public ::testing::Test {
protected:
    void SetUp() override
    {
        host_ = std::make_unique<SimHost>(kMachine);
        counter_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
    }
    void TearDown() override
    {
        while (vexo_client_count > 0)
            EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(counter_, vexo_counter) << "counted memory left behind";
    }
    const std::string &root() const { return host_->root(); }

    std::string adapter(int which)
    {
        std::string name = adapter_path(kSerials[which]);
        EXPECT_FALSE(name.empty()) << kSerials[which];
        return name;
    }
    std::string port(int which, int instance = 0)
    {
        return adapter(which) + "/PortDiscoveryAndConfiguration" + std::to_string(instance);
    }
    std::string baset(int which, int instance = 0) { return port(which, instance) + "/BaseT10G"; }
    int instance_of(int which) { return instance_number(get_node(tag_at(adapter(which), VEXO_NODE_GROUP))); }

    // The cached text of a property, whatever its handler answered.
    std::string cached(const std::string &path)
    {
        node *p = get_node(tag_at(path, VEXO_NODE_PROPERTY));
        return p && p->u.prop ? std::string(p->u.prop->val) : "missing";
    }

    std::vector<nlohmann::json> sent(int subsystem, int opcode)
    {
        std::vector<nlohmann::json> out;
        for (const nlohmann::json &e : fw_entries(root()))
            if (e.value("subsystem", -1) == subsystem && e.value("opcode", -1) == opcode)
                out.push_back(e);
        return out;
    }

    // Puts a port's refresh stamp `offset_s` seconds from now.
    void stamp(int which, int port_number, long offset_s)
    {
        struct timeval now;
        gettimeofday(&now, nullptr);
        now.tv_sec += offset_s;
        vexo_glob_timer[instance_of(which)][port_number] = now;
    }

    // Runs an action of a port's BaseT10G group; a null parameter is left out.
    std::pair<VEXO_status_t, VEXO_status_t> act(const std::string &group_path, const char *name,
                                                std::vector<const char *> given = {})
    {
        node_tag_t group = tag_at(group_path, VEXO_NODE_GROUP);
        node_tag_t a = tag_at(group_path + "/" + name, VEXO_NODE_ACTION);
        EXPECT_GE(group, 0);
        EXPECT_GE(a, 0);
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params);
        for (size_t i = 0; i < given.size(); ++i)
            if (given[i])
                std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", given[i]);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        VEXO_status_t r = VEXO_do_action(group, a, params, tags.data());
        return {r, last_status().first};
    }

    std::unique_ptr<SimHost> host_;
    int counter_ = 0;
};

TEST_F(PhyBaseT, StatisticsFollowThePortStamp)
{
    // A stamp inside the 10-second window answers the cached values; an
    // older one, or one ahead of the clock, asks the firmware again.
    const struct {
        const char *what;
        long offset_s;
        size_t queries;
    } rows[] = {
        {"5 s old", -5, 0},
        {"9 s old", -9, 0},
        {"11 s old", -11, 1},
        {"in the future", 60, 1},
    };
    std::string temp = baset(kTrelmont) + "/Temperature";
    clear_log(root());
    EXPECT_EQ("61", value_at(temp));
    EXPECT_EQ(1u, sent(18, 8).size()) << "the first read after the start asks";
    clear_log(root());
    EXPECT_EQ("0x1a2b", value_at(baset(kTrelmont) + "/PairASNR"));
    EXPECT_TRUE(sent(18, 8).empty()) << "the fill renewed the stamp";
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        stamp(kTrelmont, 0, r.offset_s);
        clear_log(root());
        EXPECT_EQ("61", value_at(temp));
        EXPECT_EQ(r.queries, sent(18, 8).size());
    }
}

TEST_F(PhyBaseT, EveryPortKeepsItsOwnStamp)
{
    // Ports 2 and 3 of one adapter share no stamp with each other or with
    // the ports of the next adapter instance.
    const int trel = instance_of(kTrelmont);
    ASSERT_LT(trel, VEXO_TIMER_ADAPTERS - 1);
    for (int p = 0; p < 4; ++p) {
        SCOPED_TRACE(p);
        for (int q = 0; q < 4; ++q) {
            stamp(kTrelmont, q, q == p ? -60 : 0);
            vexo_glob_timer[trel + 1][q] = vexo_glob_timer[trel][(p + 1) % 4];
        }
        clear_log(root());
        for (int q = 0; q < 4; ++q)
            value_at(baset(kTrelmont, q) + "/Temperature");
        EXPECT_EQ("61", cached(baset(kTrelmont, p) + "/Temperature"));
        auto sentq = sent(18, 8);
        ASSERT_EQ(1u, sentq.size());
        EXPECT_EQ(p, sentq[0]["port"]);
        EXPECT_EQ(static_cast<uint32_t>(p), payload_word(sentq[0], 0));
    }
}

TEST_F(PhyBaseT, StatisticsOfTheVersion1Answer)
{
    const struct {
        const char *name;
        const char *text;
    } rows[] = {
        {"10GBaseTDiagStatus", "0x8001"}, {"Temperature", "61"},        {"PairASNR", "0x1a2b"},
        {"PairBSNR", "0x0"},              {"PairDSNR", "0x44"},        {"TimeSinceLinkHigh", "3"},
        {"TimeSinceLinkLow", "9"},        {"AverageMSEPairC", "-7"},   {"LDPCFrameHigh", "4294967295"},
        {"LDPCFrameLow", "17"},           {"PHYCRC8Low", "5"},         {"MDIPLLEventCounter", "2"},
        {"10GEMIEventCounter", "6"},      {"PHYFrameCounter", "4294967298"},
    };
    EXPECT_EQ("True", value_at(baset(kTrelmont) + "/IsClearCountersSupported"));
    clear_log(root());
    for (const auto &r : rows)
        EXPECT_EQ(r.text, value_at(baset(kTrelmont) + "/" + r.name)) << r.name;
    auto q = sent(18, 8);
    ASSERT_EQ(1u, q.size()) << "one query fills the whole group";
    EXPECT_EQ(1, q[0]["version"]);
    EXPECT_EQ(0u, payload_word(q[0], 1)) << "a read never clears the counters";
}

TEST_F(PhyBaseT, FirmwareWithoutVersion1FallsBackToVersion0)
{
    set_adapter_field(root(), kTrelmont, "base_t_v1", 0);
    clear_log(root());
    EXPECT_EQ("2", value_at(baset(kTrelmont) + "/PHYFrameCounter")) << "version 0 has the low word only";
    EXPECT_EQ("61", value_at(baset(kTrelmont) + "/Temperature"));
    auto q = sent(18, 8);
    ASSERT_EQ(2u, q.size());
    EXPECT_EQ(1, q[0]["version"]);
    EXPECT_EQ(0, q[1]["version"]);
}

TEST_F(PhyBaseT, PortWithoutTheStatisticsReadsNotAvailable)
{
    // AW3 has no clear-counters support: only the version-0 query is sent.
    clear_log(root());
    EXPECT_EQ("error 149", value_at(baset(kAw3) + "/Temperature"));
    auto q = sent(18, 8);
    ASSERT_EQ(1u, q.size());
    EXPECT_EQ(0, q[0]["version"]);
    for (const char *name : kStatistics)
        EXPECT_EQ("N/A", cached(baset(kAw3) + "/" + name)) << name;
    // The stamp was renewed: the next read asks nothing.
    clear_log(root());
    EXPECT_EQ("N/A", value_at(baset(kAw3) + "/PairBSNR"));
    EXPECT_TRUE(sent(18, 8).empty());
}

TEST_F(PhyBaseT, Aw2AndVarrowShowNotAvailableWithoutAsking)
{
    for (int a : {kAw2, kVarrow}) {
        SCOPED_TRACE(kSerials[a]);
        clear_log(root());
        for (const char *name : kStatistics)
            EXPECT_EQ("N/A", value_at(baset(a) + "/" + name)) << name;
        EXPECT_TRUE(sent(18, 8).empty());
    }
}

TEST_F(PhyBaseT, FailedStatisticsQueryIsAFailure)
{
    // The version-1 query fails outright; then the version-0 query after a
    // version-1 "not supported".
    plan_status(root(), 18, 8, 2, 75, false);
    EXPECT_EQ("error 1", value_at(baset(kTrelmont) + "/Temperature"));
    EXPECT_EQ(VEXO_STATUS_GET_BASET_STATS, last_status().first);
    EXPECT_EQ("0", cached(baset(kTrelmont) + "/Temperature")) << "nothing was stored";

    set_adapter_field(root(), kTrelmont, "base_t_v1", 0);
    hlvdsim::FaultSpec f;
    f.subsystem = 18;
    f.opcode = 8;
    f.version = 0;
    f.kind = "status";
    f.status = 2;
    f.additional_status = 75;
    std::string err;
    ASSERT_GT(hlvdsim::fault_add(root(), f, &err), 0) << err;
    clear_log(root());
    EXPECT_EQ("error 1", value_at(baset(kTrelmont) + "/Temperature"));
    EXPECT_EQ(VEXO_STATUS_GET_BASET_STATS, last_status().first);
    EXPECT_EQ(2u, sent(18, 8).size());
}

TEST(PhyBaseTOnVirtualFunction, EveryPropertyIsRefused)
{
    SimHost host(R"({
      "adapters": [
        { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLPHVF01", "base_t": 1,
          "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
          "functions": [
            { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
              "mac": "00:00:C9:C4:00:30", "vf": 1 } ] } ] })");
    int start = vexo_counter;
    ASSERT_EQ(0, VEXO_init());
    ASSERT_NE("", adapter_path("TRLPHVF01"));
    std::string p = adapter_path("TRLPHVF01") + "/PortDiscoveryAndConfiguration0";
    clear_log(host.root());
    for (const char *path : {"/BaseT10G/Temperature", "/BaseT10G/PHYLinkDownReason", "/BaseT10G/NVPValue",
                             "/PHYType"}) {
        EXPECT_EQ("error 1", value_at(p + path)) << path;
        EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM, last_status().first) << path;
    }
    EXPECT_EQ(VEXO_STATUS_FAILURE, set_at(p + "/BaseT10G/NVPValue", "80"));
    EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM, last_status().first);
    for (const auto &c : fw_commands(host.root()))
        EXPECT_FALSE(c.first == 18 || (c.first == 1 && c.second == 102)) << c.first << "/" << c.second;
    EXPECT_EQ(0, VEXO_exit());
    EXPECT_EQ(start, vexo_counter);
}

TEST_F(PhyBaseT, NvpValueReadAndWrite)
{
    std::string nvp = baset(kTrelmont) + "/NVPValue";
    EXPECT_EQ("72", value_at(nvp));
    clear_log(root());
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set_at(nvp, "80"));
    auto w = sent(18, 10);
    ASSERT_EQ(1u, w.size());
    EXPECT_EQ(0u, payload_word(w[0], 0));
    EXPECT_EQ(80u, payload_word(w[0], 1));
    EXPECT_EQ("80", value_at(nvp));

    // The current value again: only the read is sent.
    clear_log(root());
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set_at(nvp, "80"));
    EXPECT_EQ(1u, sent(18, 12).size());
    EXPECT_TRUE(sent(18, 10).empty());

    // A port's own number goes into the request.
    clear_log(root());
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set_at(baset(kTrelmont, 3) + "/NVPValue", "65"));
    ASSERT_EQ(1u, sent(18, 10).size());
    EXPECT_EQ(3u, payload_word(sent(18, 10)[0], 0));
    EXPECT_EQ("80", value_at(nvp)) << "port 0 keeps its value";
}

TEST_F(PhyBaseT, NvpValueFailures)
{
    std::string nvp = baset(kTrelmont) + "/NVPValue";
    const struct {
        const char *value;
        int fw_status; // planned for the write; 0 for none
    } writes[] = {
        {"abc", 0},
        {"99999999999", 0},
        {"75", 2},
    };
    for (const auto &w : writes) {
        SCOPED_TRACE(w.value);
        if (w.fw_status)
            plan_status(root(), 18, 10, w.fw_status, 75, false);
        clear_log(root());
        EXPECT_EQ(VEXO_STATUS_FAILURE, set_at(nvp, w.value));
        EXPECT_EQ(VEXO_STATUS_SET_BASET_NVPVALUE, last_status().first);
        EXPECT_EQ(w.fw_status ? 1u : 0u, sent(18, 10).size());
    }
    EXPECT_EQ("72", value_at(nvp));

    plan_status(root(), 18, 12, 2, 75, false);
    EXPECT_EQ("error 1", value_at(nvp));
    EXPECT_EQ(VEXO_STATUS_GET_10BASET_NVPVALUE, last_status().first);
    // A failed read of the current value sends no write.
    plan_status(root(), 18, 12, 2, 75, false);
    clear_log(root());
    EXPECT_EQ(VEXO_STATUS_FAILURE, set_at(nvp, "70"));
    EXPECT_TRUE(sent(18, 10).empty());

    // No 10GBASE-T PHY, or an AW2: "N/A".
    clear_log(root());
    EXPECT_EQ("N/A", value_at(baset(kAw3) + "/NVPValue"));
    EXPECT_EQ(1u, sent(18, 12).size()) << "AW3 asks the firmware";
    clear_log(root());
    EXPECT_EQ("N/A", value_at(baset(kAw2) + "/NVPValue"));
    EXPECT_TRUE(sent(18, 12).empty());
}

TEST_F(PhyBaseT, PhyTypeAndLinkDownReason)
{
    EXPECT_EQ("0x1b", value_at(port(kTrelmont) + "/PHYType"));
    EXPECT_EQ("0x0", value_at(port(kAw3) + "/PHYType"));
    plan_status(root(), 1, 102, 2, 75, false);
    EXPECT_EQ(0u, value_at(port(kTrelmont) + "/PHYType").rfind("error", 0));
    EXPECT_EQ("N/A", cached(port(kTrelmont) + "/PHYType"));

    EXPECT_EQ("4", value_at(baset(kAw3) + "/PHYLinkDownReason"));
    EXPECT_EQ("N/A", value_at(baset(kAw2) + "/PHYLinkDownReason"));
}

TEST_F(PhyBaseT, RunTdrSetsPairResultsAndLengths)
{
    // Pair status 0x2131: A 1, B 3, C 1, D 2. Pairs with result 1 keep
    // their earlier estimate.
    std::string g = baset(kTrelmont, 1);
    clear_log(root());
    auto r = act(g, "RunTDR");
    EXPECT_EQ(VEXO_STATUS_SUCCESS, r.first);
    auto q = sent(18, 11);
    ASSERT_EQ(1u, q.size());
    EXPECT_EQ(1u, payload_word(q[0], 0));
    const struct {
        const char *name;
        const char *text;
    } rows[] = {
        {"PairAResult", "1"},           {"PairBResult", "3"},           {"PairCResult", "1"},
        {"PairDResult", "2"},           {"PairALengthEstimation", "0"}, {"PairBLengthEstimation", "120"},
        {"PairCLengthEstimation", "0"}, {"PairDLengthEstimation", "300"}, {"NVPUsed", "72"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(row.text, value_at(g + "/" + row.name)) << row.name;

    plan_status(root(), 18, 11, 2, 75, false);
    r = act(g, "RunTDR");
    EXPECT_EQ(VEXO_STATUS_FAILURE, r.first);
    EXPECT_EQ(VEXO_STATUS_RUN_TDR_TEST_FAILED, r.second);
    EXPECT_EQ("3", value_at(g + "/PairBResult")) << "a failed test leaves the results";
}

TEST_F(PhyBaseT, SelfTestRequests)
{
    const struct {
        const char *type;
        const char *source;
        const char *target;
        VEXO_status_t result;
        VEXO_status_t status;
        size_t sent;
        uint32_t testtype, srccable, tgtcable;
    } rows[] = {
        {"crosstalk", "PairA", nullptr, VEXO_STATUS_FAILURE, VEXO_STATUS_TGTCABLE_NEED, 0, 0, 0, 0},
        {"Noise", "PairB", "PairD", VEXO_STATUS_SUCCESS, VEXO_STATUS_SUCCESS, 1, 1, 1, 0},
        {"NonLinear", "paird", nullptr, VEXO_STATUS_SUCCESS, VEXO_STATUS_SUCCESS, 1, 2, 3, 0},
        {"CROSSTALK", "PairC", "PairD", VEXO_STATUS_SUCCESS, VEXO_STATUS_SUCCESS, 1, 5, 2, 3},
    };
    std::string g = baset(kTrelmont, 2);
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.type) + " " + r.source);
        ASSERT_EQ(VEXO_STATUS_SUCCESS, set_prop_val(get_node(tag_at(g, VEXO_NODE_GROUP)), "SelfTestResult", "9"));
        clear_log(root());
        auto o = act(g, "SelfTest", {r.type, r.source, r.target});
        EXPECT_EQ(r.result, o.first);
        if (r.result != VEXO_STATUS_SUCCESS) {
            EXPECT_EQ(r.status, o.second);
        }
        auto q = sent(18, 9);
        ASSERT_EQ(r.sent, q.size());
        if (!r.sent) {
            EXPECT_EQ("9", value_at(g + "/SelfTestResult"));
            continue;
        }
        EXPECT_EQ(2u, payload_word(q[0], 0));
        EXPECT_EQ(r.testtype, payload_word(q[0], 1));
        EXPECT_EQ(r.srccable, payload_word(q[0], 2));
        EXPECT_EQ(r.tgtcable, payload_word(q[0], 3));
        EXPECT_EQ("3", value_at(g + "/SelfTestResult"));
    }
}

TEST_F(PhyBaseT, SelfTestFailures)
{
    std::string g = baset(kTrelmont);
    plan_status(root(), 18, 9, 2, 75, false);
    auto o = act(g, "SelfTest", {"Noise", "PairA", nullptr});
    EXPECT_EQ(VEXO_STATUS_FAILURE, o.first);
    EXPECT_EQ(VEXO_STATUS_SELF_TEST_FAILED, o.second);

    // No driver serves the port: nothing is sent and nothing passes for a result.
    vexo_glob.port_bitmap[instance_of(kTrelmont)][0] = 0;
    clear_log(root());
    o = act(g, "SelfTest", {"Noise", "PairA", nullptr});
    EXPECT_EQ(VEXO_STATUS_FAILURE, o.first);
    EXPECT_EQ(VEXO_STATUS_SELF_TEST_FAILED, o.second);
    EXPECT_TRUE(sent(18, 9).empty());
    EXPECT_NE("0", cached(g + "/SelfTestResult"));
}

TEST_F(PhyBaseT, ClearCounters)
{
    std::string g = baset(kTrelmont, 1);
    clear_log(root());
    auto o = act(g, "ClearCounters");
    EXPECT_EQ(VEXO_STATUS_SUCCESS, o.first);
    auto q = sent(18, 8);
    ASSERT_EQ(1u, q.size());
    EXPECT_EQ(1, q[0]["version"]);
    EXPECT_EQ(1u, payload_word(q[0], 0));
    EXPECT_EQ(1u, payload_word(q[0], 1) & 1) << "the clear bit";
    // The counters restart from 0.
    stamp(kTrelmont, 1, -60);
    EXPECT_EQ("0", value_at(g + "/PHYFrameCounter"));
    EXPECT_EQ("0", value_at(g + "/LDPCFrameLow"));

    // A firmware failure is the command's failure.
    plan_status(root(), 18, 8, 2, 75, false);
    o = act(g, "ClearCounters");
    EXPECT_NE(VEXO_STATUS_SUCCESS, o.first);

    // Other generations, and a port whose support reads "False".
    for (int a : {kAw2, kAw3, kVarrow}) {
        clear_log(root());
        o = act(baset(a), "ClearCounters");
        EXPECT_EQ(VEXO_STATUS_FAILURE, o.first) << kSerials[a];
        EXPECT_EQ(VEXO_STATUS_CLR_COUNTERS_NOT_SUPPORTED, o.second) << kSerials[a];
        EXPECT_TRUE(sent(18, 8).empty()) << kSerials[a];
    }
    ASSERT_EQ(VEXO_STATUS_SUCCESS,
              set_prop_val(get_node(tag_at(g, VEXO_NODE_GROUP)), "IsClearCountersSupported", "False"));
    clear_log(root());
    o = act(g, "ClearCounters");
    EXPECT_EQ(VEXO_STATUS_FAILURE, o.first);
    EXPECT_EQ(VEXO_STATUS_CLR_COUNTERS_NOT_SUPPORTED, o.second);
    EXPECT_TRUE(sent(18, 8).empty());
}

} // namespace
