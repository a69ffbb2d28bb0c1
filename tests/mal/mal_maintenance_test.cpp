// The client layer's maintenance operations on simulated adapters: the core
// dump and its kind, the trace log, the transceiver pages and the 10GBASE-T
// readers and actions, checked through what reaches the handlers and the
// firmware commands they send.
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

#include "flash/engine_log.h"
#include "mal/mal_core.h"
#include "mal/mal_maintenance.h"
#include "mgmt/aw/vexo-backend/core_dump.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/command_log.h"
#include "sim/fault_plan.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;

namespace
{

// A Trelmont with a 10GBASE-T PHY on ports 0 and 1 and an empty trace
// snapshot; an AW3 without the PHY but with a trace log; a Varrow, whose
// core dump is its trailer alone; an adapter with iSCSI functions only.
const char kMachine[] = R"({
  "adapters": [
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLMT0001",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "base_t": 1, "temperature": 61,
      "base_t_stats": { "status": "0x8001", "PairASNR": "0x1a2b", "PairDSNR": "0xfffffff0", "LinkTimeHi": 3,
                        "LinkTimeLo": 9, "PairCAvgMSE": -7, "LDPCFrameErrsHi": 4, "LDPCFrameErrsLo": 17,
                        "PHYCRC8ErrsLo": 5, "MDIPLLEventCtr": 2, "EMI10GEventCtr": 6,
                        "PHYFrameCtrLo": 2, "PHYFrameCtrHi": 1 },
      "tdr": { "pair_status": "0x2131", "lengths": [7, 12, 9, 30] },
      "self_test_result": 3,
      "trace_log": { "ram": 0, "flash": 1, "strings": 100 },
      "transceiver": { "A2": ["0xFEDCBA98", "0x0"] },
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:30", "link_down_reason": 4 },
        { "bus": 5, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 1,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:31" } ] },
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3MT0001",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "trace_log": { "ram": 20, "flash": 10, "strings": 100 },
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:20" } ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWMT0001",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE222", "mac": "00:00:C9:D5:00:40" } ] },
    { "name": "iscsionly", "family": "converged", "generation": "AW3", "serial": "AW3MTISCS",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 9, "function": 0, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:90" } ] }
  ]
})";

const char kTrelmont[] = "TRLMT0001";
const char kAw3[] = "AW3MT0001";
const char kVarrow[] = "VRWMT0001";
const char kIscsiOnly[] = "AW3MTISCS";

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

class MalMaintenance : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_EQ(0, mkdir(dir_.c_str(), 0755));
        start_ = vexo_counter;
        char service[MAL_VALUE_SIZE] = "";
        char hierarchy[MAL_VALUE_SIZE] = "";
        ASSERT_EQ(RM_STATUS_OK, MAL_VEXO_Init(service, hierarchy));
        hlvdsim::log_clear(host_.root());
    }
    void TearDown() override
    {
        Options.LOG_MODE = 0;
        EXPECT_EQ(RM_STATUS_OK, MAL_VEXO_Exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }

    // The adapter group with this serial number, found as a client finds it.
    node_tag_t adapter(const char *serial)
    {
        uint32_t tags[MAL_MAX_TAGS];
        int count = MAL_MAX_TAGS;
        EXPECT_EQ(RM_STATUS_OK, MAL_EnumerateArcwrights(&count, tags));
        for (int i = 0; i < count; ++i) {
            node_tag_t a = static_cast<node_tag_t>(tags[i]), p = -1;
            char value[MAL_VALUE_SIZE] = "";
            if (MAL_get_node_tag(a, "SerialNumber", &p, MAL_NODE_PROPERTY) == RM_STATUS_OK &&
                MAL_get_property_val(a, p, value, MAL_VALUE_SIZE) == RM_STATUS_OK && std::strcmp(value, serial) == 0)
                return a;
        }
        ADD_FAILURE() << serial << " not found";
        return -1;
    }
    node_tag_t child(node_tag_t parent, const std::string &name, int type = MAL_NODE_GROUP)
    {
        node_tag_t t = -1;
        EXPECT_EQ(RM_STATUS_OK, MAL_get_node_tag(parent, name.c_str(), &t, type)) << name;
        return t;
    }
    node_tag_t port(const char *serial, int instance = 0)
    {
        return child(adapter(serial), "PortDiscoveryAndConfiguration" + std::to_string(instance));
    }

    std::vector<nlohmann::json> sent(int subsystem = -1, int opcode = -1)
    {
        std::vector<nlohmann::json> out;
        for (const nlohmann::json &e : hlvdsim::log_read(host_.root()))
            if (e.value("kind", "") == "fw" && (subsystem < 0 || e.value("subsystem", -1) == subsystem) &&
                (opcode < 0 || e.value("opcode", -1) == opcode))
                out.push_back(e);
        return out;
    }
    void plan_status(int subsystem, int opcode, int status)
    {
        hlvdsim::FaultSpec f;
        f.subsystem = subsystem;
        f.opcode = opcode;
        f.kind = "status";
        f.status = status;
        f.additional_status = 75;
        f.always = true;
        std::string err;
        ASSERT_GT(hlvdsim::fault_add(host_.root(), f, &err), 0) << err;
    }
    VEXO_status_t last_code()
    {
        VEXO_status_t code = VEXO_STATUS_SUCCESS;
        char text[MAL_STATUS_TEXT_SIZE] = "";
        MAL_get_last_status(&code, text);
        return code;
    }

    SimHost host_{kMachine};
    std::string dir_ = host_.path("/out");
    int start_ = 0;
};

// ---------------------------------------------------------------------------
// Core dump

TEST_F(MalMaintenance, CoreDumpKindReachesTheHandlerAsGivenOrAbsent)
{
    // The Varrow keeps the kind it was given in its trailer; an empty text
    // would be refused by the kind's list, so only an absent one gives "".
    const struct {
        const char *kind;
        const char *commandline;
    } rows[] = {
        {"", ""},
        {nullptr, ""},
        {"Test", "Test"},
        {"Test Dead", "Test Dead"},
    };
    node_tag_t varrow = adapter(kVarrow);
    for (const auto &r : rows) {
        SCOPED_TRACE(r.kind ? r.kind : "(null)");
        std::string file = dir_ + "/core.bin";
        std::remove(file.c_str());
        EXPECT_EQ(VEXO_STATUS_SUCCESS, MAL_RetrieveCoreDump(varrow, file.c_str(), r.kind));
        std::string bytes = hlvdtest::read_file(file);
        ASSERT_EQ(sizeof(RECORD_CORE_DUMP), bytes.size());
        RECORD_CORE_DUMP trailer;
        std::memcpy(&trailer, bytes.data(), sizeof trailer);
        EXPECT_EQ(0, std::memcmp("cOrE", trailer.signature, 4));
        EXPECT_STREQ(r.commandline, trailer.commandline);
    }
}

TEST_F(MalMaintenance, CoreDumpFailuresAreNeverSuccess)
{
    std::string file = dir_ + "/core.bin";
    // A kind outside the list: the library's own refusal, no file.
    int32_t r = MAL_RetrieveCoreDump(adapter(kVarrow), file.c_str(), "Alive");
    EXPECT_NE(VEXO_STATUS_SUCCESS, r);
    EXPECT_EQ(last_code(), r);
    EXPECT_FALSE(hlvdtest::file_exists(file));
    // A handler that fails without leaving a status.
    r = MAL_RetrieveCoreDump(adapter(kIscsiOnly), file.c_str(), nullptr);
    EXPECT_NE(VEXO_STATUS_SUCCESS, r);
    EXPECT_FALSE(hlvdtest::file_exists(file));
    // A directory that does not exist: the handler's own code.
    r = MAL_RetrieveCoreDump(adapter(kAw3), (dir_ + "/missing/core.bin").c_str(), "live");
    EXPECT_EQ(VEXO_STATUS_INVALID_FILE_PATH_NAME, r);
    // A group without the action.
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_RetrieveCoreDump(port(kVarrow), file.c_str(), "Test"));
}

// ---------------------------------------------------------------------------
// Trace log

TEST_F(MalMaintenance, ArmLogResults)
{
    const struct {
        const char *serial;
        const char *mode;
        const char *file; // below the output directory
        RM_STATUS result;
        bool written;
    } rows[] = {
        {kAw3, "RAM", "/trace.bin", RM_STATUS_OK, true},
        {kTrelmont, "RAM", "/trace.bin", RM_STATUS_ERROR_NO_EXTFAT_DATA, false},
        {kAw3, "ROM", "/trace.bin", RM_STATUS_ERROR_RETRIEVE_FAILED, false},
        {kAw3, "DDR", "/missing/trace.bin", RM_STATUS_ERROR_RETRIEVE_FAILED, false},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.serial) + " " + r.mode + " " + r.file);
        std::string file = dir_ + r.file;
        std::remove(file.c_str());
        EXPECT_EQ(r.result, MAL_RetrieveArmLog(adapter(r.serial), file.c_str(), r.mode));
        EXPECT_EQ(r.written, hlvdtest::file_exists(file) && !hlvdtest::read_file(file).empty());
    }
    // Not an adapter group: no ExtFATData below it.
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY,
              MAL_RetrieveArmLog(port(kAw3), (dir_ + "/trace.bin").c_str(), "RAM"));
}

TEST_F(MalMaintenance, PathsPastTheParameterAreRefusedNotCut)
{
    // The first 255 characters name a writable file: a cut path would be
    // written to.
    std::string fits = dir_ + "/";
    fits += std::string(255 - fits.size(), 'c');
    const std::string longer = fits + "x";
    EXPECT_EQ(VEXO_STATUS_INVALID_SIZE, MAL_RetrieveCoreDump(adapter(kVarrow), longer.c_str(), "Test"));
    EXPECT_EQ(VEXO_STATUS_INVALID_SIZE, last_code());
    EXPECT_EQ(RM_STATUS_ERROR_RETRIEVE_FAILED, MAL_RetrieveArmLog(adapter(kAw3), longer.c_str(), "RAM"));
    EXPECT_EQ(VEXO_STATUS_INVALID_SIZE, last_code());
    EXPECT_FALSE(hlvdtest::file_exists(fits));
    EXPECT_TRUE(sent().empty());
    // Exactly 255 characters are taken.
    EXPECT_EQ(VEXO_STATUS_SUCCESS, MAL_RetrieveCoreDump(adapter(kVarrow), fits.c_str(), "Test"));
    EXPECT_TRUE(hlvdtest::file_exists(fits));
}

// ---------------------------------------------------------------------------
// Transceiver pages

TEST_F(MalMaintenance, TransceiverPagesFillSixtyFourWords)
{
    // Port 1's pages: each word holds the page, the port and its index,
    // except the A2 words the machine gives.
    const struct {
        const char *page;
        uint32_t first, second;
    } rows[] = {
        {"A0", 0xA0010000u, 0xA0010001u},
        {"A2", 0xFEDCBA98u, 0x0u},
    };
    node_tag_t p = port(kTrelmont, 1);
    for (const auto &r : rows) {
        SCOPED_TRACE(r.page);
        uint32_t words[MAL_TRANSCEIVER_WORDS + 1];
        for (uint32_t &w : words)
            w = 0x5A5A5A5Au;
        hlvdsim::log_clear(host_.root());
        ASSERT_EQ(RM_STATUS_OK, MAL_Dump_Transceiver(p, r.page, words));
        ASSERT_EQ(1u, sent(1, 73).size());
        EXPECT_EQ(r.first, words[0]);
        EXPECT_EQ(r.second, words[1]);
        const uint32_t page = r.page[1] == '0' ? 0xA0u : 0xA2u;
        for (uint32_t i = 2; i < MAL_TRANSCEIVER_WORDS; ++i)
            EXPECT_EQ((page << 24) | (1u << 16) | i, words[i]) << i;
        EXPECT_EQ(0x5A5A5A5Au, words[MAL_TRANSCEIVER_WORDS]) << "nothing past the array";
    }
}

TEST_F(MalMaintenance, TransceiverFailuresLeaveTheWords)
{
    uint32_t words[MAL_TRANSCEIVER_WORDS];
    for (uint32_t &w : words)
        w = 0x5A5A5A5Au;
    node_tag_t a = adapter(kTrelmont);
    node_tag_t missing = -1;
    EXPECT_NE(RM_STATUS_OK, MAL_get_node_tag(a, "PortDiscoveryAndConfiguration7", &missing, MAL_NODE_GROUP));
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_Dump_Transceiver(missing, "A0", words));
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_Dump_Transceiver(a, "A0", words)) << "not a port";
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_Dump_Transceiver(port(kTrelmont), "B0", words));
    EXPECT_TRUE(sent(1, 73).empty());
    plan_status(1, 73, 2);
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_Dump_Transceiver(port(kTrelmont), "A0", words));
    EXPECT_EQ(1u, sent(1, 73).size());
    for (uint32_t w : words)
        EXPECT_EQ(0x5A5A5A5Au, w);
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_Dump_Transceiver(port(kTrelmont), "A0", nullptr));
}

// ---------------------------------------------------------------------------
// 10GBASE-T

TEST_F(MalMaintenance, BaseTReadersFillTheirRecordsFromThePhy)
{
    node_tag_t p = port(kTrelmont);
    MAL_10GBaseTAttributes a;
    std::memset(&a, 0xEE, sizeof a);
    ASSERT_EQ(RM_STATUS_OK, MAL_10GBaseT_GetAttributes(p, &a));
    EXPECT_EQ(0x8001u, a.BaseT10GDiagStatus);
    EXPECT_EQ(3, a.TimeSinceLinkHigh);
    EXPECT_EQ(9, a.TimeSinceLinkLow);
    EXPECT_EQ(0, a.AverageMSEPairA);
    EXPECT_EQ(0, a.AverageMSEPairB);
    EXPECT_EQ(-7, a.AverageMSEPairC);
    EXPECT_EQ(0, a.AverageMSEPairD);
    EXPECT_EQ(4, a.LDPCFrameHigh);
    EXPECT_EQ(17, a.LDPCFrameLow);
    EXPECT_EQ(0, a.PHYCRC8High);
    EXPECT_EQ(5, a.PHYCRC8Low);
    EXPECT_EQ(61, a.Temperature);
    EXPECT_EQ(0x1a2bu, a.PairASNR);
    EXPECT_EQ(0u, a.PairBSNR);
    EXPECT_EQ(0u, a.PairCSNR);
    EXPECT_EQ(0xfffffff0u, a.PairDSNR);
    EXPECT_EQ(72, a.NVPValue);
    EXPECT_EQ(4, a.PhyLinkDownReason);

    MAL_10GBaseTCounters c;
    std::memset(&c, 0xEE, sizeof c);
    ASSERT_EQ(RM_STATUS_OK, MAL_10GBaseT_GetStatistics(p, &c));
    EXPECT_EQ(2, c.MDIPLLEventCounter);
    EXPECT_EQ(6, c.EMI10GEventCounter);
    EXPECT_EQ(INT64_C(0x100000002), c.PHYFrameCounter) << "both halves of the frame counter";

    // A port without the PHY: the first failing read is the result.
    std::memset(&a, 0, sizeof a);
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_10GBaseT_GetAttributes(port(kAw3), &a));
    // Not a port: no BaseT10G group.
    node_tag_t adapter_group = adapter(kTrelmont);
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_10GBaseT_GetAttributes(adapter_group, &a));
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_10GBaseT_GetStatistics(adapter_group, &c));
    int32_t result = 0;
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_10GBaseT_GetSelfTestResult(adapter_group, &result));
}

TEST_F(MalMaintenance, CableTestThenItsResult)
{
    // Pair status 0x2131: A 1, B 3, C 1, D 2; pairs with result 1 keep their
    // earlier estimate.
    node_tag_t p = port(kTrelmont, 1);
    ASSERT_EQ(RM_STATUS_OK, MAL_10GBaseT_RunTDR(p));
    auto q = sent(18, 11);
    ASSERT_EQ(1u, q.size());
    EXPECT_EQ(1u, payload_word(q[0], 0)) << "the port's own PHY";
    MAL_10GBaseTTDRResult r;
    std::memset(&r, 0xEE, sizeof r);
    ASSERT_EQ(RM_STATUS_OK, MAL_10GBaseT_GetTDRResult(p, &r));
    const int32_t want[] = {1, 3, 1, 2, 0, 120, 0, 300, 72};
    const int32_t got[] = {r.PairAResult,           r.PairBResult,           r.PairCResult,
                           r.PairDResult,           r.PairALengthEstimation, r.PairBLengthEstimation,
                           r.PairCLengthEstimation, r.PairDLengthEstimation, r.NVPUsed};
    for (size_t i = 0; i < sizeof want / sizeof want[0]; ++i)
        EXPECT_EQ(want[i], got[i]) << i;

    plan_status(18, 11, 2);
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_10GBaseT_RunTDR(p));
    EXPECT_EQ(VEXO_STATUS_RUN_TDR_TEST_FAILED, last_code());
}

TEST_F(MalMaintenance, SelfTestRunsNoiseOnPairA)
{
    node_tag_t p = port(kTrelmont, 1);
    ASSERT_EQ(RM_STATUS_OK, MAL_10GBaseT_SelfTest(p));
    auto q = sent(18, 9);
    ASSERT_EQ(1u, q.size());
    EXPECT_EQ(1u, payload_word(q[0], 0)) << "port";
    EXPECT_EQ(1u, payload_word(q[0], 1)) << "the noise test";
    EXPECT_EQ(0u, payload_word(q[0], 2)) << "pair A";
    EXPECT_EQ(0u, payload_word(q[0], 3)) << "no target pair";
    int32_t result = -1;
    ASSERT_EQ(RM_STATUS_OK, MAL_10GBaseT_GetSelfTestResult(p, &result));
    EXPECT_EQ(3, result);

    plan_status(18, 9, 2);
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_10GBaseT_SelfTest(p));
    EXPECT_EQ(VEXO_STATUS_SELF_TEST_FAILED, last_code());
}

TEST_F(MalMaintenance, ClearCountersOnlyWhereSupported)
{
    node_tag_t p = port(kTrelmont, 1);
    ASSERT_EQ(RM_STATUS_OK, MAL_10GBaseT_ClearCounters(p));
    auto q = sent(18, 8);
    ASSERT_EQ(1u, q.size());
    EXPECT_EQ(1u, payload_word(q[0], 1) & 1) << "the clear bit";

    // "False" refuses before the action runs; an undetermined value ("N/A"
    // of a port without the PHY) leaves the refusal to the action. Neither
    // sends anything.
    ASSERT_EQ(VEXO_STATUS_SUCCESS,
              set_prop_val(get_node(child(p, "BaseT10G")), "IsClearCountersSupported", "False"));
    const struct {
        const char *what;
        node_tag_t port;
        RM_STATUS result;
        VEXO_status_t status;
    } rows[] = {
        {"support cleared", p, RM_STATUS_ERROR_FEATURE_NOT_SUPPORTED, VEXO_STATUS_SUCCESS},
        {"no 10GBASE-T PHY", port(kAw3), RM_STATUS_ERROR_MANAGEMENT_LIBRARY, VEXO_STATUS_CLR_COUNTERS_NOT_SUPPORTED},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        hlvdsim::log_clear(host_.root());
        vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
        EXPECT_EQ(r.result, MAL_10GBaseT_ClearCounters(r.port));
        EXPECT_EQ(r.status, last_code()) << "whether the action ran";
        EXPECT_TRUE(sent().empty());
    }
}

TEST_F(MalMaintenance, CableNvpIsWrittenInDecimal)
{
    std::string log = host_.root() + "/";
    std::snprintf(binDIR, sizeof binDIR, "%s", log.c_str());
    log += "ovndbg.log";
    hlvdtest::write_file(log, "");
    Options.LOG_MODE = LOG_MODE_CLIENT_TRACE;

    node_tag_t p = port(kTrelmont);
    ASSERT_EQ(RM_STATUS_OK, MAL_10GBaseT_SetCableNVP(p, 80));
    auto w = sent(18, 10);
    ASSERT_EQ(1u, w.size());
    EXPECT_EQ(80u, payload_word(w[0], 1));
    MAL_10GBaseTAttributes a;
    std::memset(&a, 0, sizeof a);
    ASSERT_EQ(RM_STATUS_OK, MAL_10GBaseT_GetAttributes(p, &a));
    EXPECT_EQ(80, a.NVPValue);

    // -5 goes out as its text; the PHY takes no negative value, so the
    // handler refuses it and nothing is written.
    hlvdsim::log_clear(host_.root());
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_10GBaseT_SetCableNVP(p, -5));
    EXPECT_EQ(VEXO_STATUS_SET_BASET_NVPVALUE, last_code());
    EXPECT_TRUE(sent(18, 10).empty());
    std::string trace = hlvdtest::read_file(log);
    EXPECT_NE(std::string::npos, trace.find("val=-5, len=2:")) << trace;
    EXPECT_NE(std::string::npos, trace.find("val=80, len=2:")) << trace;

    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_10GBaseT_SetCableNVP(adapter(kTrelmont), 70));
}

} // namespace
