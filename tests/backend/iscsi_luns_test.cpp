// The LUNs of an iSCSI target through the management API: the rescan that
// rebuilds them from REPORT LUNS, their number, size and inquiry properties
// read from the simulated target, and the INQUIRY and WRITE actions.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/iscsi_luns.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/machine.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;
using json = nlohmann::json;

namespace {

const char kTargetName[] = "iqn.2026-01.test.storage:disk1";
const int kSessionHandle = 0x30005; // the firmware keeps the low 16 bits

// The targets of the simulated initiator: a name, its LUNs, and the
// sessions open to it (handle and SessionStatus text).
struct TargetShape {
    std::string name;
    json luns;
    std::vector<std::pair<int, const char *>> sessions;
};

// One AW3 adapter whose iSCSI function is logged in to the targets.
json machine(const std::vector<TargetShape> &targets, bool attention)
{
    json m = json::parse(R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3LUN01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22" } ] } ] })");
    json init;
    init["targets"] = json::array();
    init["sessions"] = json::array();
    int id = 1;
    for (const TargetShape &t : targets) {
        init["targets"].push_back({{"id", id++}, {"name", t.name}, {"luns", t.luns}});
        for (const auto &s : t.sessions)
            init["sessions"].push_back({{"handle", s.first},
                                        {"target", t.name},
                                        {"status", std::string(s.second) == "Open" ? 1 : 0x100},
                                        {"unit_attention", attention},
                                        {"connection", {{"handle", s.first + 1}, {"dest_ip", "10.0.0.9"},
                                                        {"dest_port", 3260}}}});
    }
    m["adapters"][0]["functions"][0]["initiator"] = init;
    return m;
}

json lun(int number, unsigned long long capacity, int block_size = 512)
{
    return {{"number", number},    {"capacity", capacity}, {"block_size", block_size},
            {"vendor", "TESTVEND"}, {"product", "VirtualDisk0123"}, {"serial", "SN-" + std::to_string(number)}};
}

const char kFunction[] = "Arcwright0/iSCSIPhysicalHBA0";
const std::string kTarget = std::string(kFunction) + "/LogicalHBA0/Target0";

struct Outcome {
    VEXO_status_t result;
    VEXO_status_t status;
    std::string text;
};

class IscsiLuns : public ::testing::Test {
protected:
    void start(const json &luns, const std::vector<std::pair<int, const char *>> &sessions = {{kSessionHandle, "Open"}},
               bool attention = false)
    {
        start(std::vector<TargetShape>{{kTargetName, luns, sessions}}, attention);
    }
    void start(const std::vector<TargetShape> &targets, bool attention = false)
    {
        host_.reset(new SimHost(machine(targets, attention).dump()));
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        started_ = true;
        for (const TargetShape &t : targets)
            build_target(t);
        clear_log(host_->root());
    }
    void TearDown() override
    {
        if (!started_)
            return;
        started_ = false;
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }

    // The Target and Session nodes the first load would build from the
    // simulated firmware.
    void build_target(const TargetShape &shape)
    {
        node *lhba = get_node(tag_at(std::string(kFunction) + "/LogicalHBA0", VEXO_NODE_GROUP));
        if (!lhba) {
            node *iscsi = get_node(tag_at(kFunction, VEXO_NODE_GROUP));
            ASSERT_NE(nullptr, iscsi);
            lhba = initialize_LogicalHBA(iscsi, nullptr, nullptr, nullptr);
        }
        ASSERT_NE(nullptr, lhba);
        node *target = setup_target(lhba, shape.name.c_str(), nullptr, nullptr, nullptr, 0);
        ASSERT_NE(nullptr, target);
        for (const auto &p : shape.sessions) {
            node *s = setup_session(target, get_port_number(lhba), p.first, 0, nullptr, nullptr, nullptr, nullptr, "1");
            ASSERT_NE(nullptr, s);
            ASSERT_NE(nullptr, setup_connection(s, p.first + 1, nullptr, nullptr, nullptr, nullptr));
        }
    }

    Outcome action(const std::string &group, const char *name, std::vector<const char *> given = {})
    {
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params);
        for (size_t i = 0; i < given.size(); ++i)
            std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", given[i]);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        Outcome o;
        o.result = VEXO_do_action(tag_at(group, VEXO_NODE_GROUP), tag_at(group + "/" + name, VEXO_NODE_ACTION),
                                  params, tags.data());
        auto st = last_status();
        o.status = st.first;
        o.text = st.second;
        return o;
    }
    Outcome rescan(const std::string &target = kTarget) { return action(target, "ReScanLUNS"); }

    int lun_count(const std::string &target = kTarget)
    {
        int n = 0;
        for (int i = 0; i < 300; ++i)
            if (tag_at(target + "/LUN" + std::to_string(i), VEXO_NODE_GROUP) >= 0)
                ++n;
        return n;
    }

    // The pass-through commands sent, as their first 64 payload bytes.
    std::vector<std::vector<uint8_t>> passthrus()
    {
        std::vector<std::vector<uint8_t>> out;
        for (const json &e : fw_entries(host_->root())) {
            if (e.value("subsystem", 0) != 6 || e.value("opcode", 0) != 59)
                continue;
            std::string hex = e.value("payload", "");
            std::vector<uint8_t> b;
            for (size_t i = 0; i + 1 < hex.size(); i += 2)
                b.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
            out.push_back(b);
        }
        return out;
    }
    std::vector<json> passthru_entries()
    {
        std::vector<json> out;
        for (const json &e : fw_entries(host_->root()))
            if (e.value("subsystem", 0) == 6 && e.value("opcode", 0) == 59)
                out.push_back(e);
        return out;
    }

    // The function's "initiator" object of the simulated machine, changed by `f`.
    json initiator(const std::function<void(json &)> &f = nullptr)
    {
        hlvdsim::StateLock lock(host_->root());
        hlvdsim::Machine m;
        std::string err;
        EXPECT_TRUE(hlvdsim::load_machine(host_->root(), m, &err)) << err;
        json &init = m.doc["adapters"][0]["functions"][0]["initiator"];
        if (f) {
            f(init);
            EXPECT_TRUE(hlvdsim::save_machine(host_->root(), m, &err)) << err;
        }
        return init;
    }

    std::unique_ptr<SimHost> host_;
    int start_ = 0;
    bool started_ = false;
};

// Offsets in a pass-through request.
const size_t kLun = 4, kDir = 12, kCdb = 16, kTransfer = 34;

uint16_t transfer_of(const std::vector<uint8_t> &p)
{
    return static_cast<uint16_t>(p[kTransfer] | p[kTransfer + 1] << 8);
}

TEST_F(IscsiLuns, EachLunShowsItsNumberSizeAndBlockSize)
{
    const struct {
        int number;
        unsigned long long capacity;
        int block_size;
        const char *lun_number;
        const char *size;
        const char *block;
    } rows[] = {
        {0, 1023, 1, "0000000000000000", "1023 Bytes", "1"},
        {1, 1ULL << 30, 512, "0000000000000100", "1.00 GB", "512"},
        {2, 4096, 512, "0000000000000200", "4.00 KB", "512"},
        {3, 5ULL << 20, 4096, "0000000000000300", "5.00 MB", "4096"},
        {4, 1ULL << 40, 512, "0000000000000400", "1024.00 GB", "512"},
        {5, 1ULL << 41, 512, "0000000000000500", "2.00 TB", "512"}, // last block 0xFFFFFFFF exactly
        {6, 3ULL << 40, 512, "0000000000000600", "3.00 TB", "512"},
        {300, 1ULL << 20, 512, "0000000000002c41", "1.00 MB", "512"}, // flat address 41 2C
    };
    json luns = json::array();
    for (const auto &r : rows)
        luns.push_back(lun(r.number, r.capacity, r.block_size));
    start(luns);
    ASSERT_EQ(0, rescan().result);
    ASSERT_EQ(static_cast<int>(sizeof rows / sizeof rows[0]), lun_count());
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        const std::string l = kTarget + "/LUN" + std::to_string(i);
        SCOPED_TRACE(l);
        EXPECT_EQ(rows[i].lun_number, value_at(l + "/LUNNumber"));
        clear_log(host_->root());
        EXPECT_EQ(rows[i].size, value_at(l + "/LUNSize"));
        EXPECT_EQ(rows[i].block, value_at(l + "/BlockSize"));
        // The reversed key addresses the LUN: E[0..3], then zeros.
        auto sent = passthrus();
        ASSERT_FALSE(sent.empty());
        const uint8_t e0 = rows[i].number < 256 ? 0 : static_cast<uint8_t>(0x40 | rows[i].number >> 8);
        const uint8_t e1 = static_cast<uint8_t>(rows[i].number);
        const std::vector<uint8_t> want = {e0, e1, 0, 0, 0, 0, 0, 0};
        EXPECT_EQ(want, std::vector<uint8_t>(sent[0].begin() + kLun, sent[0].begin() + kLun + 8));
        EXPECT_EQ(0x25, sent[0][kCdb]);
        EXPECT_EQ(8, transfer_of(sent[0]));
        EXPECT_EQ(5u, sent[0][0] | sent[0][1] << 8) << "low 16 bits of the session handle";
        // Only a last block address of 0xFFFFFFFF asks READ CAPACITY (16).
        const bool long_form = rows[i].capacity / rows[i].block_size > 0xFFFFFFFFULL;
        if (long_form) {
            ASSERT_GE(sent.size(), 2u);
            EXPECT_EQ(0x9E, sent[1][kCdb]);
            EXPECT_EQ(0x10, sent[1][kCdb + 1]);
            EXPECT_EQ(12, sent[1][kCdb + 13]);
            EXPECT_EQ(12, transfer_of(sent[1]));
        } else {
            for (const auto &p : sent)
                EXPECT_NE(0x9E, p[kCdb]);
        }
    }
}

TEST_F(IscsiLuns, ReportLunsAsksAgainWithRoomForTheWholeList)
{
    const struct {
        int luns;
        std::vector<uint32_t> allocations;
        int instances;
    } rows[] = {
        {0, {16}, 0},
        {1, {16, 16}, 1},
        {3, {16, 32}, 3},
        {300, {16, 2048}, 255}, // a list of 2048 bytes or more: 255 LUNs
    };
    std::vector<TargetShape> targets;
    for (const auto &r : rows) {
        json luns = json::array();
        for (int i = 0; i < r.luns; ++i)
            luns.push_back(lun(i, 1ULL << 30));
        const int handle = 0x100 + static_cast<int>(targets.size());
        targets.push_back({"iqn.2026-01.test.storage:t" + std::to_string(r.luns), luns, {{handle, "Open"}}});
    }
    start(targets);
    for (size_t t = 0; t < targets.size(); ++t) {
        const auto &r = rows[t];
        SCOPED_TRACE(r.luns);
        const std::string target = std::string(kFunction) + "/LogicalHBA0/Target" + std::to_string(t);
        clear_log(host_->root());
        ASSERT_EQ(0, rescan(target).result);
        EXPECT_EQ(r.instances, lun_count(target));
        auto sent = passthrus();
        ASSERT_EQ(r.allocations.size(), sent.size());
        for (size_t k = 0; k < sent.size(); ++k) {
            EXPECT_EQ(0xA0, sent[k][kCdb]);
            EXPECT_EQ(1, sent[k][kDir]);
            EXPECT_EQ(std::vector<uint8_t>(8, 0), std::vector<uint8_t>(sent[k].begin() + kLun, sent[k].begin() + kLun + 8));
            const uint32_t alloc = static_cast<uint32_t>(sent[k][kCdb + 6]) << 24 | sent[k][kCdb + 7] << 16 |
                                   sent[k][kCdb + 8] << 8 | sent[k][kCdb + 9];
            EXPECT_EQ(r.allocations[k], alloc);
            EXPECT_EQ(r.allocations[k], transfer_of(sent[k]));
        }
    }
}

// The entries taken from a REPORT LUNS answer lie within it whatever its
// list length says.
TEST(IscsiLunAnswers, EntriesTakenNeverPassTheAnswer)
{
    const struct {
        uint32_t list_length;
        uint32_t size;
        uint32_t count;
    } rows[] = {
        {0, 16, 0}, {8, 16, 1}, {24, 32, 3}, {40, 24, 2}, {0xFFFFFFF8u, 16, 1},
        {2040, 2048, 255}, {2048, 2048, 255}, {4096, 4104, 255}, {8, 4, 0},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.list_length);
        std::vector<uint8_t> a(std::max<uint32_t>(r.size, 4), 0);
        a[0] = static_cast<uint8_t>(r.list_length >> 24);
        a[1] = static_cast<uint8_t>(r.list_length >> 16);
        a[2] = static_cast<uint8_t>(r.list_length >> 8);
        a[3] = static_cast<uint8_t>(r.list_length);
        EXPECT_EQ(r.count, report_luns_entry_count(a.data(), r.size));
    }
    // A serial length past the kept page stops at its end.
    uint8_t page[255];
    std::memset(page, 'x', sizeof page);
    page[3] = 255;
    char serial[255];
    EXPECT_EQ(251u, lsn_serial_text(page, serial));
    EXPECT_EQ('\0', serial[251]);
}

TEST_F(IscsiLuns, SessionsThatAreNotOpenReportNothingAndOpenOnesEachTheirOwn)
{
    start(json::array({lun(0, 1ULL << 30), lun(1, 1ULL << 30)}),
          {{0x101, "Open"}, {0x102, "Login Failed"}, {0x103, "Open"}});
    ASSERT_EQ(0, rescan().result);
    // Two LUNs through each open session, none through the failed one.
    EXPECT_EQ(4, lun_count());
    auto sent = passthrus();
    ASSERT_EQ(4u, sent.size());
    EXPECT_EQ(0x01, sent[0][0]);
    EXPECT_EQ(0x03, sent[2][0]);
    EXPECT_EQ("0000000000000100", value_at(kTarget + "/LUN3/LUNNumber"));
}

TEST_F(IscsiLuns, InquiryPropertiesComeFromTheStandardAndSerialPages)
{
    start(json::array({lun(0, 1ULL << 30), lun(7, 1ULL << 30)}));
    ASSERT_EQ(0, rescan().result);
    const std::string l = kTarget + "/LUN1";
    clear_log(host_->root());
    EXPECT_EQ("TESTVEND", value_at(l + "/DeviceVendorName"));
    EXPECT_EQ("VirtualDisk0123 ", value_at(l + "/DeviceModelNumber")); // the field's space padding stays
    EXPECT_EQ("0x0", value_at(l + "/LUNType"));
    EXPECT_EQ("SN-7", value_at(l + "/LUNSerialNumber"));
    auto sent = passthrus();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ((std::vector<uint8_t>{0x12, 0, 0, 0, 36}), std::vector<uint8_t>(sent[0].begin() + kCdb, sent[0].begin() + kCdb + 5));
    EXPECT_EQ(36, transfer_of(sent[0]));
    EXPECT_EQ((std::vector<uint8_t>{0x12, 1, 0x80, 0, 255}), std::vector<uint8_t>(sent[1].begin() + kCdb, sent[1].begin() + kCdb + 5));
    EXPECT_EQ(256, transfer_of(sent[1]));
    EXPECT_EQ(7, sent[1][kLun + 1]);
}

TEST_F(IscsiLuns, FirstCommandAfterLoginMeetsAUnitAttentionAndOneRetryGetsThrough)
{
    // The unit attention fails the first REPORT LUNS: no LUN yet, and a
    // second rescan finds it.
    start(json::array({lun(0, 1ULL << 30)}), {{kSessionHandle, "Open"}}, true);
    EXPECT_EQ(0, rescan().result);
    EXPECT_EQ(0, lun_count());
    ASSERT_EQ(0, rescan().result);
    ASSERT_EQ(1, lun_count());

    // The readers and the actions send their command once more.
    const struct {
        const char *what;
        size_t commands; // with the retry
    } rows[] = {{"LUNSize", 2}, {"LUNSerialNumber", 3}, {"StdInquiry", 2}, {"SCSIWrite", 2}};
    const std::string l = kTarget + "/LUN0";
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        initiator([](json &i) { i["sessions"][0]["unit_attention"] = true; });
        clear_log(host_->root());
        if (std::string(r.what) == "StdInquiry")
            EXPECT_EQ(0, action(l, "StdInquiry").result);
        else if (std::string(r.what) == "SCSIWrite")
            EXPECT_EQ(0, action(l, "SCSIWrite", {"0", "1"}).result);
        else
            EXPECT_NE(0u, value_at(l + "/" + r.what).rfind("error", 0));
        EXPECT_EQ(r.commands, passthrus().size());
    }
    EXPECT_EQ(1, initiator()["targets"][0]["luns"][0].value("writes", 0));
}

TEST_F(IscsiLuns, ScsiWriteSendsZeroBlocksAndRefusesWhatDoesNotFit)
{
    start(json::array({lun(0, 1ULL << 30), lun(1, 8 * 512)}));
    ASSERT_EQ(0, rescan().result);
    clear_log(host_->root());
    // 8 blocks: 4096 zero bytes after the fixed part.
    ASSERT_EQ(0, action(kTarget + "/LUN0", "SCSIWrite", {"100", "8"}).result);
    auto e = passthru_entries();
    ASSERT_EQ(1u, e.size());
    EXPECT_EQ(292u + 4096u, e[0].value("request_length", 0u));
    auto sent = passthrus();
    EXPECT_EQ((std::vector<uint8_t>{0x2A, 0, 0, 0, 0, 100, 0, 0, 8, 0}),
              std::vector<uint8_t>(sent[0].begin() + kCdb, sent[0].begin() + kCdb + 10));
    EXPECT_EQ(2, sent[0][kDir]);
    EXPECT_EQ(4096, transfer_of(sent[0]));
    EXPECT_EQ(8, initiator()["targets"][0]["luns"][0].value("blocks_written", 0));

    // 127 blocks is the most one command carries; 128 is refused unsent.
    clear_log(host_->root());
    EXPECT_EQ(0, action(kTarget + "/LUN0", "SCSIWrite", {"0", "127"}).result);
    Outcome big = action(kTarget + "/LUN0", "SCSIWrite", {"0", "128"});
    EXPECT_EQ(1, big.result);
    EXPECT_EQ(VEXO_STATUS_VALUE_OUT_OF_RANGE, big.status);
    EXPECT_EQ(1u, passthrus().size());

    // A write the target answers with CHECK CONDITION (past the LUN's end)
    // fails after one retry.
    clear_log(host_->root());
    EXPECT_EQ(1, action(kTarget + "/LUN1", "SCSIWrite", {"4", "8"}).result);
    EXPECT_EQ(2u, passthrus().size());
    EXPECT_EQ(0, initiator()["targets"][0]["luns"][1].value("writes", 0));
}

TEST_F(IscsiLuns, AFailedRescanKeepsTheLunsAndReportsTheFailure)
{
    start(json::array({lun(0, 1ULL << 30), lun(1, 1ULL << 30)}));
    ASSERT_EQ(0, rescan().result);
    ASSERT_EQ(2, lun_count());

    // The firmware command fails: status 90 with its text, LUNs kept.
    plan_status(host_->root(), 6, 59, 2, 0, true);
    Outcome o = rescan();
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_PASS_THRU_FAILED, o.status);
    EXPECT_EQ("Failed to get LUN info for some sessions. Please check vexo2d.log for the actual sessions failed.",
              o.text);
    EXPECT_EQ(2, lun_count());
    EXPECT_EQ("0000000000000100", value_at(kTarget + "/LUN1/LUNNumber"));
    EXPECT_EQ("error 90", value_at(kTarget + "/LUN1/LUNSize"));
}

TEST_F(IscsiLuns, ARescanWithoutSessionsFailsWithSessionNotFound)
{
    start(json::array({lun(0, 1ULL << 30)}), {});
    Outcome o = rescan();
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_SESSION_NOT_FOUND, o.status);
    EXPECT_TRUE(passthrus().empty());
    EXPECT_EQ(0, lun_count());
}

} // namespace
