// SR-IOV state of NIC functions and of the active profile's functions
// through the management API on simulated adapters of every generation:
// reads from the profile configuration, the legacy record and the common
// profile configuration, writes through the one-descriptor, whole-table and
// legacy records, their refusals and the firmware's failures.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/profile_config.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/command_log.h"
#include "sim/fault_plan.h"
#include "sim/flash_model.h"
#include "sim/machine.h"
#include "sim/profile_model.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;
using nlohmann::json;

namespace {

// AW3 with the profile commands (NIC 0 disabled, NIC 1 enabled); AW3 whose
// firmware lacks them (port 1 configured for ZMR); a Trelmont with an NPAR
// and a UFP port (NIC 0 enabled, NIC 1 disabled); a Trelmont whose firmware
// rules SR-IOV out; Varrow with states 0, 7 and 1.
const char kSriov[] = R"({
  "adapters": [
    { "name": "aw2", "family": "converged", "generation": "AW2", "serial": "AW2SR01",
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.1" },
      "functions": [
        { "bus": 3, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 0,
          "mac": "00:00:C9:A2:00:10" } ] },
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3SR01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "mac": "00:00:C9:B3:00:20" },
        { "bus": 4, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 1,
          "mac": "00:00:C9:B3:00:21", "sriov_state": 1 } ] },
    { "name": "aw3old", "family": "converged", "generation": "AW3", "serial": "AW3SR02",
      "firmware": { "active": "10.0.803.37", "flash": "10.0.803.37", "boot": "10.0.803.1" },
      "profile_commands": false,
      "ports": [ { "mc_type": 1 }, { "mc_type": 2 } ],
      "functions": [
        { "bus": 7, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "mac": "00:00:C9:B3:00:70" },
        { "bus": 7, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "mac": "00:00:C9:B3:00:71", "sriov_state": 1 },
        { "bus": 7, "function": 2, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 1,
          "mac": "00:00:C9:B3:00:72" } ] },
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLSR01",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "active_profile": 5,
      "profiles": [ { "id": 5, "description": "NIC", "caps": ["nic"], "counts": { "nic": 2 } } ],
      "ports": [ { "mc_type": 5 }, { "mc_type": 6 } ],
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:30", "sriov_state": 1 },
        { "bus": 5, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 1,
          "mac": "00:00:C9:C4:00:31" } ] },
    { "name": "trelnosriov", "family": "converged", "generation": "Trelmont", "serial": "TRLSR02",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "active_profile": 5,
      "profiles": [ { "id": 5, "description": "NIC", "caps": ["nic"], "counts": { "nic": 1 } } ],
      "functions": [
        { "bus": 8, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:80", "function_caps": 64 } ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWSR01",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "mac": "00:00:C9:D5:00:40" },
        { "bus": 6, "function": 1, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 1,
          "mac": "00:00:C9:D5:00:41", "sriov_state": 7 },
        { "bus": 6, "function": 2, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 1,
          "mac": "00:00:C9:D5:00:42", "sriov_state": 1 } ] }
  ]
})";

// Index of each adapter in the description.
enum { kAw2, kAw3, kAw3Old, kTrelmont, kTrelNoSriov, kVarrow };

// Path of the NIC function on PCI bus `bus`, function `fn`; empty when
// there is none.
std::string nic(unsigned bus, unsigned fn)
{
    char want_bus[16], want_fn[16];
    std::snprintf(want_bus, sizeof want_bus, "0x%x", bus);
    std::snprintf(want_fn, sizeof want_fn, "0x%x", fn);
    for (int a = 0; a < 8; ++a) {
        for (int f = 0; f < 8; ++f) {
            std::string path = "Arcwright" + std::to_string(a) + "/NICPhysicalHBA" + std::to_string(f);
            if (tag_at(path, VEXO_NODE_GROUP) < 0)
                continue;
            if (value_at(path + "/PCI/BusNumber") == want_bus && value_at(path + "/PCI/FunctionNumber") == want_fn)
                return path;
        }
    }
    return "";
}

uint32_t le32(const std::vector<uint8_t> &b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

class SriovState : public ::testing::Test {
protected:
    void SetUp() override { start(); }
    void TearDown() override
    {
        hlvdsim::fault_clear(host_.root());
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }
    void start()
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        clear_log(host_.root());
    }
    // Firmware commands of one adapter since the last clear, as (opcode,
    // version) pairs, and their log entries.
    std::vector<json> commands_of(const std::string &adapter)
    {
        std::vector<json> out;
        for (const json &e : fw_entries(host_.root()))
            if (e.value("adapter", "") == adapter)
                out.push_back(e);
        return out;
    }
    std::vector<std::pair<int, int>> opcodes_of(const std::string &adapter)
    {
        std::vector<std::pair<int, int>> out;
        for (const json &e : commands_of(adapter)) {
            int opcode = e.value("opcode", -1);
            // The firmware-configuration read's version does not matter.
            out.emplace_back(opcode, opcode == 58 ? 0 : e.value("version", -1));
        }
        return out;
    }
    // The state the simulated Trelmont runs after its next reboot.
    hlvdsim::PcieState configured(size_t adapter, size_t f)
    {
        hlvdsim::Machine m;
        std::string err;
        EXPECT_TRUE(hlvdsim::load_machine(host_.root(), m, &err)) << err;
        json fw = m.doc.at("adapters").at(adapter).value("fw_state", json::object());
        return hlvdsim::pcie_state(m, adapter, f, fw, true);
    }
    uint8_t configured_mc(size_t adapter, size_t port)
    {
        hlvdsim::Machine m;
        std::string err;
        EXPECT_TRUE(hlvdsim::load_machine(host_.root(), m, &err)) << err;
        json fw = m.doc.at("adapters").at(adapter).value("fw_state", json::object());
        return hlvdsim::port_mc_type(m, adapter, port, fw, true);
    }
    // Path of the profile function numbered `pf` below ActiveProfile or
    // ConfiguredProfile of `adapter`.
    std::string profile_function(const std::string &adapter, const char *profile, const char *pf)
    {
        for (int p = 0; p < 4; ++p)
            for (int f = 0; f < 8; ++f) {
                std::string path = adapter + "/ProfileManagement/" + profile + "/Port" + std::to_string(p) +
                                   "/Function" + std::to_string(f);
                if (tag_at(path, VEXO_NODE_GROUP) >= 0 && value_at(path + "/FunctionNumber") == pf)
                    return path;
            }
        return "";
    }

    SimHost host_{kSriov};
    int start_ = 0;
};

TEST_F(SriovState, ReadsPerGeneration)
{
    const struct {
        const char *adapter;
        std::string fn;
        const char *state;
        std::vector<std::pair<int, int>> sent;
    } rows[] = {
        {"aw2", nic(3, 0), "N/A", {}},
        {"aw3", nic(4, 0), "Disabled", {{58, 0}, {164, 1}}},
        {"aw3", nic(4, 1), "Enabled", {{58, 0}, {164, 1}}},
        // The profile read is unknown: the legacy record version 1 answers.
        {"aw3old", nic(7, 0), "Disabled", {{58, 0}, {164, 1}, {81, 1}}},
        {"aw3old", nic(7, 1), "Enabled", {{58, 0}, {164, 1}, {81, 1}}},
        {"trelmont", nic(5, 0), "Enabled", {{58, 0}, {164, 1}}},
        {"trelmont", nic(5, 1), "Disabled", {{58, 0}, {164, 1}}},
        // The firmware rules SR-IOV out: no profile command is sent.
        {"trelnosriov", nic(8, 0), "N/A", {{58, 0}}},
        // Varrow reads only its common profile configuration.
        {"varrow", nic(6, 0), "Disabled", {{164, 0}}},
        {"varrow", nic(6, 1), "N/A", {{164, 0}}},
        {"varrow", nic(6, 2), "Enabled", {{164, 0}}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.fn);
        ASSERT_FALSE(r.fn.empty());
        clear_log(host_.root());
        EXPECT_EQ(r.state, value_at(r.fn + "/SRIOVState"));
        EXPECT_EQ(r.sent, opcodes_of(r.adapter));
    }
    // The configured configuration is asked for, through the NIC driver.
    clear_log(host_.root());
    value_at(nic(5, 1) + "/SRIOVState");
    std::vector<json> sent = commands_of("trelmont");
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ(0u, le32(hex_bytes(sent[1].value("payload", "")), 0));
    EXPECT_EQ("nic", sent[1].value("driver", ""));
    // Varrow asks for profile 0's active configuration.
    clear_log(host_.root());
    value_at(nic(6, 0) + "/SRIOVState");
    sent = commands_of("varrow");
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(2u << 8, le32(hex_bytes(sent[0].value("payload", "")), 0));
    EXPECT_EQ(18436, sent[0].value("request_length", 0));
}

TEST_F(SriovState, VarrowCountBeyondTheRecordReadsNotApplicable)
{
    set_adapter_field(host_.root(), kVarrow, "common_profile_count", 600);
    EXPECT_EQ("N/A", value_at(nic(6, 0) + "/SRIOVState"));
    // 300 records announced: only the 256 the buffer holds are searched.
    set_adapter_field(host_.root(), kVarrow, "common_profile_count", 300);
    EXPECT_EQ("Disabled", value_at(nic(6, 0) + "/SRIOVState"));
}

TEST_F(SriovState, ActiveProfileShowsTheRunningStateOnTrelmontOnly)
{
    std::string t = adapter_path("TRLSR01");
    ASSERT_FALSE(t.empty());
    std::string f0 = profile_function(t, "ActiveProfile", "0x0");
    std::string f1 = profile_function(t, "ActiveProfile", "0x1");
    ASSERT_FALSE(f0.empty());
    ASSERT_FALSE(f1.empty());
    clear_log(host_.root());
    EXPECT_EQ("Enabled", value_at(f0 + "/SRIOVState"));
    EXPECT_EQ("Disabled", value_at(f1 + "/SRIOVState"));
    std::vector<json> sent = commands_of("trelmont");
    ASSERT_EQ(4u, sent.size());
    EXPECT_EQ(164, sent[1].value("opcode", 0));
    EXPECT_EQ(2u << 8, le32(hex_bytes(sent[1].value("payload", "")), 0)) << "the active configuration";

    std::string n = adapter_path("TRLSR02");
    std::string nf = profile_function(n, "ActiveProfile", "0x0");
    ASSERT_FALSE(nf.empty());
    clear_log(host_.root());
    EXPECT_EQ("N/A", value_at(nf + "/SRIOVState"));
    std::vector<std::pair<int, int>> only = opcodes_of("trelnosriov");
    ASSERT_EQ(1u, only.size()) << "no profile command";
    EXPECT_EQ(58, only[0].first);
}

TEST_F(SriovState, RefusedWritesSendNoWrite)
{
    const struct {
        const char *adapter;
        std::string fn;
        VEXO_status_t status;
    } rows[] = {
        {"aw2", nic(3, 0), VEXO_STATUS_SRIOV_NOT_SUPPORTED},
        {"varrow", nic(6, 0), VEXO_STATUS_SRIOV_NOT_SUPPORTED},
        // A function whose state reads N/A cannot be changed.
        {"trelnosriov", nic(8, 0), VEXO_STATUS_SRIOV_NOT_SUPPORTED},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.fn);
        ASSERT_FALSE(r.fn.empty());
        clear_log(host_.root());
        EXPECT_EQ(VEXO_STATUS_FAILURE, set_at(r.fn + "/SRIOVState", "Enabled"));
        EXPECT_EQ(r.status, last_status().first);
        for (const auto &s : opcodes_of(r.adapter))
            EXPECT_TRUE(s.first != 165 && s.first != 82) << "write " << s.first;
    }
}

TEST_F(SriovState, Aw3WritesOneDescriptor)
{
    std::string fn = nic(4, 0);
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(fn + "/SRIOVState", "Enabled"));
    EXPECT_EQ(VEXO_STATUS_SRIOV_CHANGED_REBOOT, last_status().first);
    std::vector<json> sent = commands_of("aw3");
    ASSERT_FALSE(sent.empty());
    const json &w = sent.back();
    EXPECT_EQ(165, w.value("opcode", 0));
    EXPECT_EQ(1, w.value("version", 0));
    EXPECT_EQ(22624, w.value("request_length", 0));
    EXPECT_EQ("nic", w.value("driver", ""));
    // Profile 0 without ISAP, one PCIe descriptor of function 0 with
    // pf_state 0xFF (state and type kept), pf_type 1 and sriov_state 1; all
    // else zero.
    std::vector<uint8_t> want(22624, 0);
    want[4] = 1;
    want[8] = 0x50;
    want[9] = 88;
    want[8 + 12] = 1;
    want[8 + 13] = 0xFF;
    want[8 + 14] = 1;
    EXPECT_EQ(hlvdsim::to_hex(want.data(), 64), w.value("payload", ""));
    EXPECT_EQ(hlvdsim::crc32_of(want.data(), want.size()), w.value("payload_crc", 0u));
    EXPECT_EQ(1, configured(kAw3, 0).sriov_state);
    EXPECT_EQ("Enabled", value_at(fn + "/SRIOVState"));

    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(nic(4, 1) + "/SRIOVState", "Disabled"));
    EXPECT_EQ(0, configured(kAw3, 1).sriov_state);
}

TEST_F(SriovState, Aw3WithoutProfileCommandsWritesTheLegacyRecord)
{
    std::string fn = nic(7, 0);
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(fn + "/SRIOVState", "Enabled"));
    EXPECT_EQ(VEXO_STATUS_SRIOV_CHANGED_REBOOT, last_status().first);
    // The read of the current state, the unknown profile write, then the
    // legacy record read and written back.
    EXPECT_EQ((std::vector<std::pair<int, int>>{{58, 0}, {164, 1}, {81, 1}, {165, 1}, {81, 1}, {82, 1}}),
              opcodes_of("aw3old"));
    std::vector<json> sent = commands_of("aw3old");
    EXPECT_EQ(1092, sent.back().value("request_length", 0));
    EXPECT_EQ(1, configured(kAw3Old, 0).sriov_state);
    EXPECT_EQ(0, configured(kAw3Old, 2).sriov_state);
    EXPECT_EQ("Enabled", value_at(fn + "/SRIOVState"));
}

TEST_F(SriovState, LegacyWriteFailures)
{
    // Port 1 is configured for ZMR.
    clear_log(host_.root());
    EXPECT_EQ(VEXO_STATUS_FAILURE, set_at(nic(7, 2) + "/SRIOVState", "Enabled"));
    EXPECT_EQ(VEXO_STATUS_ZMR_ENABLED, last_status().first);
    EXPECT_EQ(0, configured(kAw3Old, 2).sriov_state);

    // The record read for the write no longer lists the function (its
    // records after the first function are cut off): nothing is written and
    // the write fails.
    hlvdsim::FaultSpec cut;
    cut.subsystem = 1;
    cut.opcode = 81;
    cut.kind = "short";
    cut.length = 4 + 2 * 68;
    cut.from = 2;
    std::string err;
    ASSERT_GT(hlvdsim::fault_add(host_.root(), cut, &err), 0) << err;
    clear_log(host_.root());
    EXPECT_EQ(VEXO_STATUS_FAILURE, set_at(nic(7, 1) + "/SRIOVState", "Disabled"));
    EXPECT_EQ(VEXO_STATUS_SET_SRIOV_STATE, last_status().first);
    for (const auto &s : opcodes_of("aw3old"))
        EXPECT_NE(82, s.first);
    EXPECT_EQ(1, configured(kAw3Old, 1).sriov_state);
    hlvdsim::fault_clear(host_.root());

    const struct {
        int opcode;
        VEXO_status_t status;
    } rows[] = {
        {81, VEXO_STATUS_GET_SRIOV_STATE},
        {82, VEXO_STATUS_SET_SRIOV_STATE},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.opcode);
        hlvdsim::fault_clear(host_.root());
        plan_status(host_.root(), 1, r.opcode, 66);
        EXPECT_EQ(VEXO_STATUS_FAILURE, set_at(nic(7, 0) + "/SRIOVState", "Enabled"));
        EXPECT_EQ(r.status, last_status().first);
    }
    hlvdsim::fault_clear(host_.root());
    EXPECT_EQ(0, configured(kAw3Old, 0).sriov_state);
}

TEST_F(SriovState, FirmwareFailuresAreFailures)
{
    const struct {
        std::string fn;
        int opcode;
        const char *write; // null: a read
        VEXO_status_t status;
    } rows[] = {
        {nic(4, 0), 164, nullptr, VEXO_STATUS_GET_PROFILE_CONFIG_FAILED},
        {nic(4, 0), 165, "Enabled", VEXO_STATUS_SET_PROFILE_CONFIG_FAILED},
        {nic(7, 0), 81, nullptr, VEXO_STATUS_GET_SRIOV_STATE},
        {nic(6, 0), 164, nullptr, VEXO_STATUS_GET_AW_CONF_FAILED},
        {nic(5, 1), 165, "Enabled", VEXO_STATUS_SAVE_PROFILE_FAILED},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.fn + " opcode " + std::to_string(r.opcode));
        hlvdsim::fault_clear(host_.root());
        plan_status(host_.root(), 1, r.opcode, 66);
        if (r.write)
            EXPECT_EQ(VEXO_STATUS_FAILURE, set_at(r.fn + "/SRIOVState", r.write));
        else
            EXPECT_EQ("error 1", value_at(r.fn + "/SRIOVState"));
        EXPECT_EQ(r.status, last_status().first) << last_status().second;
    }
    hlvdsim::fault_clear(host_.root());
    EXPECT_EQ(0, configured(kAw3, 0).sriov_state);
    EXPECT_EQ(0, configured(kTrelmont, 1).sriov_state);
    std::string t = adapter_path("TRLSR01");
    EXPECT_EQ("Disabled", value_at(profile_function(t, "ConfiguredProfile", "0x1") + "/SRIOVState"));
}

TEST_F(SriovState, TrelmontWritesTheWholeTableAndShowsItAfterReboot)
{
    std::string t = adapter_path("TRLSR01");
    std::string conf1 = profile_function(t, "ConfiguredProfile", "0x1");
    std::string act1 = profile_function(t, "ActiveProfile", "0x1");
    ASSERT_FALSE(conf1.empty());
    ASSERT_FALSE(act1.empty());
    std::string fn = nic(5, 1);
    // The request expected: the configured PCIe descriptors of functions 0
    // and 1 (1 with SR-IOV on and 255 virtual functions), then the ISAP
    // descriptor with each port's configured mode (NPAR 5, UFP 6).
    std::vector<uint8_t> want(8 + 2 * 88 + 68, 0);
    want[0] = 5;
    want[3] = 0x80;
    want[4] = 3;
    {
        node *adapter = get_node(tag_at(t, VEXO_NODE_GROUP));
        ASSERT_NE(nullptr, adapter);
        GET_PROFILE_CONFIG_PARAMS *list = VEXO_get_profile(adapter, PROFILE_CONFIG_CONFIGURED, 0, 0);
        ASSERT_NE(nullptr, list);
        profile_walk w;
        profile_walk_start(&w, list, VEXO_PROFILE_CONFIG_SIZE);
        for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w))
            if (resc_desc_type(d) == RESC_DESC_PCIE && resc_desc_pf_number(d) < 2)
                std::copy(d, d + 88, want.begin() + 8 + 88 * resc_desc_pf_number(d));
        vexo_dfree(list);
    }
    EXPECT_EQ(0x50u | 88u << 8, le32(want, 8));
    want[8 + 88 + 12] = 1;
    want[8 + 88 + 16] = 255;
    want[8 + 88 + 17] = 0;
    want[8 + 2 * 88] = 0x56;
    want[8 + 2 * 88 + 1] = 68;
    want[8 + 2 * 88 + 52] = 5;
    want[8 + 2 * 88 + 53] = 6;
    clear_log(host_.root());
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(fn + "/SRIOVState", "Enabled"));
    EXPECT_EQ(VEXO_STATUS_SRIOV_CHANGED_REBOOT, last_status().first);

    // Census, configured list, then the write of both functions and the ISAP.
    std::vector<json> sent = commands_of("trelmont");
    ASSERT_GE(sent.size(), 3u);
    const json &census = sent[sent.size() - 3];
    EXPECT_EQ(164, census.value("opcode", 0));
    EXPECT_EQ(1u << 10, le32(hex_bytes(census.value("payload", "")), 0));
    EXPECT_EQ(0u, le32(hex_bytes(sent[sent.size() - 2].value("payload", "")), 0));
    const json &w = sent.back();
    EXPECT_EQ(165, w.value("opcode", 0));
    EXPECT_EQ(252, w.value("request_length", 0));
    EXPECT_EQ(hlvdsim::to_hex(want.data(), 64), w.value("payload", ""));
    EXPECT_EQ(hlvdsim::crc32_of(want.data(), want.size()), w.value("payload_crc", 0u));

    hlvdsim::PcieState s = configured(kTrelmont, 1);
    EXPECT_EQ(1, s.sriov_state);
    EXPECT_EQ(255, s.number_vfs);
    EXPECT_EQ(5, configured_mc(kTrelmont, 0));
    EXPECT_EQ(6, configured_mc(kTrelmont, 1));

    // The configured tree follows at once; what runs is unchanged.
    EXPECT_EQ("Enabled", value_at(conf1 + "/SRIOVState"));
    EXPECT_EQ("Disabled", value_at(act1 + "/SRIOVState"));
    EXPECT_EQ("Enabled", value_at(fn + "/SRIOVState")) << "the function shows its configured state";

    // After the reboot it runs.
    EXPECT_EQ(0, VEXO_exit());
    std::vector<std::string> done;
    std::string err;
    ASSERT_TRUE(hlvdsim::reboot_adapters(host_.root(), "trelmont", &done, &err)) << err;
    start();
    t = adapter_path("TRLSR01");
    act1 = profile_function(t, "ActiveProfile", "0x1");
    ASSERT_FALSE(act1.empty());
    EXPECT_EQ("Enabled", value_at(act1 + "/SRIOVState"));
    EXPECT_EQ("Enabled", value_at(nic(5, 1) + "/SRIOVState"));

    // And it is switched off the same way.
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(nic(5, 1) + "/SRIOVState", "Disabled"));
    s = configured(kTrelmont, 1);
    EXPECT_EQ(0, s.sriov_state);
    EXPECT_EQ(0, s.number_vfs);
}

TEST(SriovStateOnVirtualFunction, IsRefused)
{
    SimHost host(R"({
      "adapters": [
        { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLVF01",
          "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
          "functions": [
            { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
              "mac": "00:00:C9:C4:00:30", "vf": 1 } ] } ] })");
    int start = vexo_counter;
    ASSERT_EQ(0, VEXO_init());
    clear_log(host.root());
    std::string fn = adapter_path("TRLVF01") + "/NICPhysicalHBA0";
    EXPECT_EQ("error 1", value_at(fn + "/SRIOVState"));
    EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM, last_status().first);
    EXPECT_EQ(VEXO_STATUS_FAILURE, set_at(fn + "/SRIOVState", "Enabled"));
    EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM, last_status().first);
    for (const auto &c : fw_commands(host.root()))
        EXPECT_TRUE(c.second != 164 && c.second != 165) << c.second;
    EXPECT_EQ(0, VEXO_exit());
    EXPECT_EQ(start, vexo_counter);
}

} // namespace
