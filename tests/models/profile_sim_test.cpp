// The simulated firmware of profiles, personality and SR-IOV: what the
// commands answer, what a write changes, what a reboot activates, and the
// planned faults.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "sim/converged_adapter.h"
#include "sim/driver_records.h"
#include "sim/fault_plan.h"
#include "sim/flash_model.h"
#include "support/sim_host.h"

using nlohmann::json;

namespace
{

const char *const kTrelmont = "0000:05:00.0";
const char *const kAw3Iscsi = "0000:04:00.2";
const char *const kAw2 = "0000:03:00.0";
const char *const kVarrow = "0000:06:00.0";

struct Reply {
    bool answered = false;
    uint8_t status = 0xFF;
    uint16_t additional = 0;
    uint32_t length = 0;
    std::vector<uint8_t> data;
};

Reply send(const std::string &root, const std::string &pci, uint8_t opcode, uint8_t version,
           std::vector<uint8_t> payload, const char *driver = "nic")
{
    std::vector<uint8_t> buf(sizeof(hlvdsim::FwRequestHeader) + payload.size(), 0);
    hlvdsim::FwRequestHeader h;
    std::memset(&h, 0, sizeof h);
    h.subsystem = 1;
    h.opcode = opcode;
    h.version = version;
    h.request_length = static_cast<uint32_t>(payload.size());
    std::memcpy(buf.data(), &h, sizeof h);
    if (!payload.empty())
        std::memcpy(buf.data() + sizeof h, payload.data(), payload.size());
    hlvdsim::FwOutcome o =
        hlvdsim::fw_execute(root, hlvdsim::FwTarget{pci, driver, "callback"}, buf.data(), buf.size());
    Reply r;
    r.answered = o.answered;
    hlvdsim::FwResponseHeader rsp;
    std::memcpy(&rsp, buf.data(), sizeof rsp);
    r.status = rsp.status;
    r.additional = rsp.additional_status;
    r.length = rsp.response_length;
    r.data.assign(buf.begin() + sizeof h, buf.end());
    return r;
}

uint32_t word(const std::vector<uint8_t> &b, size_t at)
{
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

void set_word(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::vector<uint8_t> config_request(uint32_t config_type, bool census, uint32_t profile = 0)
{
    std::vector<uint8_t> p(22620, 0);
    set_word(p, 0, profile | config_type << 8 | (census ? 1u << 10 : 0));
    return p;
}

// The PCIe descriptor of function `pf` in a configuration answer.
std::vector<uint8_t> pcie_of(const std::vector<uint8_t> &cfg, uint32_t pf)
{
    uint32_t n = word(cfg, 0) & 0xFFFF;
    size_t at = 4;
    for (uint32_t i = 0; i < n && at + 2 <= cfg.size(); ++i) {
        if (cfg[at] == 0x50 && ((word(cfg, at + 4) >> 16) & 0x3FF) == pf)
            return std::vector<uint8_t>(cfg.begin() + at, cfg.begin() + at + 88);
        at += cfg[at + 1];
    }
    ADD_FAILURE() << "no PCIe descriptor of function " << pf;
    return std::vector<uint8_t>(88, 0);
}

std::vector<uint8_t> port_of(const std::vector<uint8_t> &cfg, uint32_t link)
{
    uint32_t n = word(cfg, 0) & 0xFFFF;
    size_t at = 4;
    for (uint32_t i = 0; i < n && at + 2 <= cfg.size(); ++i) {
        if (cfg[at] == 0x55 && (cfg[at + 4] & 0x3F) == link)
            return std::vector<uint8_t>(cfg.begin() + at, cfg.begin() + at + 88);
        at += cfg[at + 1];
    }
    ADD_FAILURE() << "no port descriptor of link " << link;
    return std::vector<uint8_t>(88, 0);
}

// A whole-table write of profile 1: SR-IOV on function 0 with 255 virtual
// functions, and the ports' multichannel types by the ISAP descriptor.
std::vector<uint8_t> table_write(uint8_t mc_type)
{
    std::vector<uint8_t> p(8 + 2 * 88 + 68, 0);
    set_word(p, 0, 1u | 1u << 31);
    set_word(p, 4, 3);
    for (uint32_t pf = 0; pf < 2; ++pf) {
        size_t at = 8 + pf * 88;
        p[at] = 0x50;
        p[at + 1] = 88;
        set_word(p, at + 4, pf << 16);
        p[at + 12] = pf == 0 ? 1 : 0;
        p[at + 13] = 1;
        p[at + 14] = 1;
        p[at + 16] = pf == 0 ? 255 : 0;
    }
    size_t isap = 8 + 2 * 88;
    p[isap] = 0x56;
    p[isap + 1] = 68;
    p[isap + 52] = mc_type;
    p[isap + 53] = mc_type;
    return p;
}

std::string personality(const std::string &root, const std::string &pci, const char *driver = "nic")
{
    Reply r = send(root, pci, 114, 0, std::vector<uint8_t>(8, 0), driver);
    EXPECT_EQ(0, r.status);
    return std::string(r.data.begin(), r.data.begin() + std::min<size_t>(r.length, r.data.size()));
}

uint8_t reset_needed(const std::string &root, const std::string &pci, const char *driver = "nic")
{
    Reply r = send(root, pci, 84, 0, std::vector<uint8_t>(4, 0), driver);
    EXPECT_EQ(0, r.status);
    return r.data[0];
}

void reboot(const std::string &root, const char *name)
{
    std::string err;
    ASSERT_TRUE(hlvdsim::reboot_adapters(root, name, nullptr, &err)) << err;
}

} // namespace

// Which adapter answers which command, and how long the answer is. A
// command the generation does not know answers status 2 with additional
// status 30 (the library's "invalid opcode").
TEST(ProfileSim, CommandsAnswerByGeneration)
{
    hlvdtest::SimHost host;
    struct Case {
        const char *pci;
        const char *driver;
        uint8_t opcode;
        uint8_t version;
        size_t payload;
        uint8_t status;
        uint32_t length;
    } cases[] = {
        {kTrelmont, "nic", 166, 0, 52120, 0, 4 + 2 * 516},
        {kTrelmont, "nic", 167, 0, 4, 0, 4},
        {kTrelmont, "nic", 94, 0, 4, 0, 4},
        {kTrelmont, "nic", 201, 0, 1196, 0, 8 + 2 * 36},
        {kTrelmont, "nic", 123, 0, 12, 0, 12},
        {kTrelmont, "nic", 114, 0, 8, 0, 5}, // "iSCSI": it has an iSCSI function
        {kTrelmont, "nic", 164, 1, 3, 2, 0}, // shorter than its record
        {kTrelmont, "nic", 81, 0, 836, 2, 0},
        {kAw2, "nic", 164, 1, 22620, 2, 0},
        {kAw3Iscsi, "iscsi", 166, 0, 52120, 0, 4},
        {kAw3Iscsi, "iscsi", 81, 1, 1092, 0, 1092},
        {kAw3Iscsi, "iscsi", 81, 0, 836, 0, 836},
        {kAw3Iscsi, "iscsi", 94, 0, 4, 2, 0},
        {kAw2, "nic", 81, 1, 1092, 0, 1092},
        {kAw2, "nic", 166, 0, 52120, 2, 0},
        {kAw2, "nic", 114, 0, 8, 0, 3},
        {kVarrow, "nic", 114, 0, 8, 2, 0},
        {kVarrow, "nic", 164, 0, 18436, 0, 18436},
        {kVarrow, "nic", 166, 0, 52120, 2, 0},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(std::string(k.pci) + " opcode " + std::to_string(k.opcode) + " v" + std::to_string(k.version));
        Reply r = send(host.root(), k.pci, k.opcode, k.version, std::vector<uint8_t>(k.payload, 0), k.driver);
        ASSERT_TRUE(r.answered);
        EXPECT_EQ(k.status, r.status);
        EXPECT_EQ(k.length, r.length);
        if (k.status == 2 && k.length == 0 && k.payload > 4) {
            EXPECT_EQ(30, r.additional);
        }
    }
}

TEST(ProfileSim, TrelmontListsProfilesWithCapacities)
{
    hlvdtest::SimHost host;
    Reply list = send(host.root(), kTrelmont, 166, 0, std::vector<uint8_t>(52120, 0));
    ASSERT_EQ(2u, word(list.data, 0));
    EXPECT_EQ(1, list.data[4]);
    EXPECT_STREQ("NIC with RoCE", reinterpret_cast<const char *>(&list.data[8]));
    std::vector<uint8_t> req(10284, 0);
    req[0] = 1;
    Reply caps = send(host.root(), kTrelmont, 161, 1, req);
    ASSERT_EQ(0, caps.status);
    ASSERT_EQ(3u, word(caps.data, 0));
    EXPECT_EQ(0x90, caps.data[4]);
    EXPECT_EQ(0x91, caps.data[44]);
    EXPECT_EQ(0x94, caps.data[84]);
    // The configuration of a listed profile carries its port counts.
    Reply cfg = send(host.root(), kTrelmont, 164, 1, config_request(1, false, 1));
    ASSERT_EQ(0, cfg.status);
    std::vector<uint8_t> port = port_of(cfg.data, 0);
    EXPECT_EQ(2u, word(port, 16) & 0xFFF);         // NIC
    EXPECT_EQ(2u, (word(port, 16) >> 16) & 0xFFF); // RoCE
    req[0] = 9;
    EXPECT_NE(0, send(host.root(), kTrelmont, 161, 1, req).status);
}

// Profile, ARI and link choices wait for the reboot.
TEST(ProfileSim, NextChoicesBecomeActiveAtReboot)
{
    hlvdtest::SimHost host;
    std::vector<uint8_t> w(4, 0);
    w[0] = 2;
    ASSERT_EQ(0, send(host.root(), kTrelmont, 168, 0, w).status);
    w[0] = 3;
    ASSERT_EQ(0, send(host.root(), kTrelmont, 95, 0, w).status);
    w[0] = 2;
    ASSERT_EQ(0, send(host.root(), kTrelmont, 202, 0, w).status);
    EXPECT_EQ(1, reset_needed(host.root(), kTrelmont));
    Reply act = send(host.root(), kTrelmont, 167, 0, std::vector<uint8_t>(4, 0));
    EXPECT_EQ(1u, word(act.data, 0) & 0xFFFF);
    EXPECT_EQ(2u, word(act.data, 0) >> 16);
    Reply ari = send(host.root(), kTrelmont, 94, 0, std::vector<uint8_t>(4, 0));
    EXPECT_EQ(0x0F0F03u, word(ari.data, 0));

    reboot(host.root(), "trelmont");
    EXPECT_EQ(0, reset_needed(host.root(), kTrelmont));
    act = send(host.root(), kTrelmont, 167, 0, std::vector<uint8_t>(4, 0));
    EXPECT_EQ(0x00020002u, word(act.data, 0));
    ari = send(host.root(), kTrelmont, 94, 0, std::vector<uint8_t>(4, 0));
    EXPECT_EQ(0x030F03u, word(ari.data, 0));
    Reply link = send(host.root(), kTrelmont, 201, 0, std::vector<uint8_t>(1196, 0));
    EXPECT_EQ(2, link.data[0]);
    EXPECT_EQ(2, link.data[2]);

    // Unknown choices and an ARI limit above the maximum are refused.
    w[0] = 7;
    EXPECT_NE(0, send(host.root(), kTrelmont, 168, 0, w).status);
    EXPECT_NE(0, send(host.root(), kTrelmont, 202, 0, w).status);
    w[0] = 16;
    EXPECT_NE(0, send(host.root(), kTrelmont, 95, 0, w).status);
}

// A whole-table write changes the configured configuration only; the
// reboot makes it the active one.
TEST(ProfileSim, WholeTableWriteAndReboot)
{
    hlvdtest::SimHost host;
    ASSERT_EQ(0, send(host.root(), kTrelmont, 165, 1, table_write(5)).status);
    EXPECT_EQ(1, reset_needed(host.root(), kTrelmont));
    Reply conf = send(host.root(), kTrelmont, 164, 1, config_request(0, false));
    Reply act = send(host.root(), kTrelmont, 164, 1, config_request(2, false));
    std::vector<uint8_t> c0 = pcie_of(conf.data, 0);
    EXPECT_EQ(1, c0[12]);
    EXPECT_EQ(255, c0[16]);
    EXPECT_EQ(5, port_of(conf.data, 1)[5]);
    EXPECT_EQ(0, pcie_of(act.data, 0)[12]);
    EXPECT_EQ(1, port_of(act.data, 1)[5]);

    reboot(host.root(), "trelmont");
    act = send(host.root(), kTrelmont, 164, 1, config_request(2, false));
    EXPECT_EQ(1, pcie_of(act.data, 0)[12]);
    EXPECT_EQ(5, port_of(act.data, 0)[5]);
    // The census lists the ports too, and the SR-IOV change bit of a NIC.
    Reply census = send(host.root(), kTrelmont, 164, 1, config_request(0, true));
    EXPECT_TRUE(word(pcie_of(census.data, 1), 20) & (1u << 28));
    EXPECT_EQ(3u, word(port_of(census.data, 0), 12) & 0xFFF);
}

// A write is checked whole before it changes anything.
TEST(ProfileSim, MalformedWritesChangeNothing)
{
    hlvdtest::SimHost host;
    std::vector<uint8_t> bad = table_write(5);
    set_word(bad, 8 + 88 + 4, 9u << 16); // no function 9
    EXPECT_NE(0, send(host.root(), kTrelmont, 165, 1, bad).status);
    std::vector<uint8_t> early = table_write(5);
    set_word(early, 4, 4); // the ISAP descriptor is not the last
    early.resize(early.size() + 88, 0);
    EXPECT_NE(0, send(host.root(), kTrelmont, 165, 1, early).status);
    Reply conf = send(host.root(), kTrelmont, 164, 1, config_request(0, false));
    EXPECT_EQ(0, pcie_of(conf.data, 0)[12]);
    EXPECT_EQ(1, port_of(conf.data, 0)[5]);
    EXPECT_EQ(0, reset_needed(host.root(), kTrelmont));
}

// The personality write (one PCIe descriptor per storage function) shows in
// the configured personality at once and runs after the reboot; AW2 takes
// it through the legacy record.
TEST(ProfileSim, PersonalityWrites)
{
    hlvdtest::SimHost host;
    EXPECT_EQ("iSCSI", personality(host.root(), kAw3Iscsi, "iscsi"));
    std::vector<uint8_t> w(22624, 0);
    set_word(w, 4, 1);
    w[8] = 0x50;
    w[9] = 88;
    w[11] = 0x80; // no_save
    set_word(w, 12, 2u << 16);
    w[8 + 13] = 1;
    w[8 + 14] = 4;
    ASSERT_EQ(0, send(host.root(), kAw3Iscsi, 165, 1, w, "iscsi").status);
    EXPECT_EQ("FCoE", personality(host.root(), kAw3Iscsi, "iscsi"));
    Reply act = send(host.root(), kAw3Iscsi, 164, 1, config_request(2, false), "iscsi");
    EXPECT_EQ(2, pcie_of(act.data, 2)[14]);
    reboot(host.root(), "aw3");
    act = send(host.root(), kAw3Iscsi, 164, 1, config_request(2, false), "iscsi");
    EXPECT_EQ(4, pcie_of(act.data, 2)[14]);

    // Legacy: function 1 of AW2 becomes iSCSI (pf_type 1).
    EXPECT_EQ("NIC", personality(host.root(), kAw2));
    Reply rec = send(host.root(), kAw2, 81, 0, std::vector<uint8_t>(836, 0));
    ASSERT_EQ(0, rec.status);
    std::vector<uint8_t> legacy = rec.data;
    ASSERT_EQ(1, legacy[4 + 2 * 52 + 4]); // function 1's PCIe record
    legacy[4 + 2 * 52 + 6] = 1;
    ASSERT_EQ(0, send(host.root(), kAw2, 82, 0, legacy).status);
    EXPECT_EQ("iSCSI", personality(host.root(), kAw2));
    rec = send(host.root(), kAw2, 81, 1, std::vector<uint8_t>(1092, 0));
    EXPECT_EQ(1, rec.data[4 + 2 * 68 + 4 + 2]);
    EXPECT_EQ(255, rec.data[4 + 2 * 68 + 4 + 8]); // AW2: SR-IOV not applicable
}

// The legacy version-1 record carries SR-IOV on AW3.
TEST(ProfileSim, LegacyV1SriovWrite)
{
    hlvdtest::SimHost host;
    Reply rec = send(host.root(), kAw3Iscsi, 81, 1, std::vector<uint8_t>(1092, 0), "iscsi");
    ASSERT_EQ(0, rec.status);
    std::vector<uint8_t> v1 = rec.data;
    v1[4 + 4 + 8] = 1; // function 0: SR-IOV on
    v1[4 + 4 + 12] = 8;
    ASSERT_EQ(0, send(host.root(), kAw3Iscsi, 82, 1, v1, "iscsi").status);
    EXPECT_EQ(1, reset_needed(host.root(), kAw3Iscsi, "iscsi"));
    Reply conf = send(host.root(), kAw3Iscsi, 164, 1, config_request(0, false), "iscsi");
    EXPECT_EQ(1, pcie_of(conf.data, 0)[12]);
    EXPECT_EQ(8, pcie_of(conf.data, 0)[16]);
    std::vector<uint8_t> shortv1(1092 - 68 * 8, 0);
    set_word(shortv1, 0, 16);
    EXPECT_NE(0, send(host.root(), kAw3Iscsi, 82, 1, shortv1, "iscsi").status);
}

// Varrow reports the count its description sets even above what the record
// holds; the records themselves stop at the record's end.
TEST(ProfileSim, VarrowCommonConfigCount)
{
    json doc = json::parse(hlvdtest::read_file(hlvdtest::source_path("sim/machines/default.json")));
    for (json &a : doc["adapters"])
        if (a.value("generation", "") == "Varrow")
            a["common_profile_count"] = 600;
    hlvdtest::SimHost host(doc.dump());
    Reply r = send(host.root(), kVarrow, 164, 0, std::vector<uint8_t>(18436, 0));
    ASSERT_EQ(0, r.status);
    EXPECT_EQ(600u, word(r.data, 0));
    EXPECT_EQ(0x40, r.data[4]);
    EXPECT_EQ(1, r.data[4 + 72 + 6]); // second record: function 1
}

// Planned faults: an unsupported command, and a whole-table write that fails
// and changes nothing.
TEST(ProfileSim, PlannedFaults)
{
    hlvdtest::SimHost host;
    std::string err;
    ASSERT_GT(hlvdsim::fault_add_json(host.root(),
                                      {{"match", {{"opcode", 166}}}, {"kind", "status"}, {"status", 2}, {"additional_status", 30}}, &err),
              0)
        << err;
    ASSERT_GT(hlvdsim::fault_add_json(host.root(),
                                      {{"match", {{"opcode", 165}}}, {"kind", "status"}, {"status", 2},
                                       {"additional_status", 75}},
                                      &err),
              0)
        << err;
    Reply unknown = send(host.root(), kTrelmont, 166, 0, std::vector<uint8_t>(52120, 0));
    EXPECT_EQ(2, unknown.status);
    EXPECT_EQ(30, unknown.additional);
    EXPECT_EQ(2, send(host.root(), kTrelmont, 165, 1, table_write(5)).status);
    Reply conf = send(host.root(), kTrelmont, 164, 1, config_request(0, false));
    EXPECT_EQ(0, pcie_of(conf.data, 0)[12]);
    EXPECT_EQ(0, reset_needed(host.root(), kTrelmont));
    EXPECT_EQ(0, send(host.root(), kTrelmont, 166, 0, std::vector<uint8_t>(52120, 0)).status);

    // AW3 firmware without the profile commands.
    json doc = json::parse(hlvdtest::read_file(hlvdtest::source_path("sim/machines/default.json")));
    for (json &a : doc["adapters"])
        if (a.value("generation", "") == "AW3")
            a["profile_commands"] = false;
    hlvdtest::SimHost old(doc.dump());
    Reply r = send(old.root(), kAw3Iscsi, 167, 0, std::vector<uint8_t>(4, 0), "iscsi");
    EXPECT_EQ(2, r.status);
    EXPECT_EQ(30, r.additional);
}
