// The firmware logs an adapter hands out as files: the FAT log (through the
// FATData group) and the trace log (RetrieveARMLog of ExtFATData), run
// through the management API against simulated adapters, with the commands
// they send and the files they leave.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/fatlog_model.h"
#include "sim/fault_plan.h"
#include "sim/flash_model.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;
using json = nlohmann::json;

namespace {

// An AW3 (iSCSI and NIC functions) holding a FAT log of 130,000 bytes and a
// trace log; a Trelmont (NIC only) with a one-record flash log; a Varrow.
const char kMachine[] = R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3FAT01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "fat_log_size": 130000,
      "trace_log": { "ram": 2000, "flash": 1500, "strings": 70000 },
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "mac": "00:00:C9:B3:00:20" },
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22" } ] },
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLFAT01",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "trace_log": { "ram": 0, "flash": 1, "strings": 100 },
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:30" } ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWFAT01",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE222", "mac": "00:00:C9:D5:00:40" } ] }
  ]
})";

const int kAw3 = 0;
const char kAw3Serial[] = "AW3FAT01";
const char kTrelmontSerial[] = "TRLFAT01";
const char kVarrowSerial[] = "VRWFAT01";

uint32_t word_at(const std::string &hex, size_t at)
{
    uint32_t w = 0;
    for (size_t i = 0; i < 4 && 2 * (at + i) + 1 < hex.size(); ++i)
        w |= static_cast<uint32_t>(std::stoul(hex.substr(2 * (at + i), 2), nullptr, 16)) << (8 * i);
    return w;
}

std::string as_text(const std::vector<uint8_t> &b)
{
    return std::string(b.begin(), b.end());
}

std::string records(uint32_t mode, uint32_t first, uint32_t count)
{
    std::string out;
    for (uint32_t i = first; i < first + count; ++i)
        out += as_text(hlvdsim::trace_record(mode, i));
    return out;
}

struct Outcome {
    VEXO_status_t result;
    VEXO_status_t status;
};

class FatLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        out_dir_ = host_.root() + "/out";
        ASSERT_EQ(0, mkdir(out_dir_.c_str(), 0755));
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }

    Outcome act(const char *serial, const char *group, const char *action, const char *p0 = nullptr,
                const char *p1 = nullptr)
    {
        std::string g = adapter_path(serial) + "/" + group;
        node_tag_t gt = tag_at(g, VEXO_NODE_GROUP);
        node_tag_t at = tag_at(g + "/" + action, VEXO_NODE_ACTION);
        EXPECT_GE(gt, 0) << g;
        EXPECT_GE(at, 0) << g << "/" << action;
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params);
        if (p0)
            std::snprintf(params[0], VEXO_VALUE_SIZE, "%s", p0);
        if (p1)
            std::snprintf(params[1], VEXO_VALUE_SIZE, "%s", p1);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        Outcome o;
        o.result = VEXO_do_action(gt, at, params, tags.data());
        o.status = last_status().first;
        return o;
    }
    Outcome arm_log(const char *serial, const char *mode) { return act(serial, "ExtFATData", "RetrieveARMLog", out().c_str(), mode); }
    std::string out() const { return out_dir_ + "/log.bin"; }
    // Names in the output directory other than the output itself.
    std::vector<std::string> strays() const
    {
        std::vector<std::string> names;
        DIR *d = opendir(out_dir_.c_str());
        while (struct dirent *e = d ? readdir(d) : nullptr) {
            std::string n = e->d_name;
            if (n != "." && n != ".." && n != "log.bin")
                names.push_back(n);
        }
        if (d)
            closedir(d);
        return names;
    }
    // The 1/opcode requests sent since the log was cleared, as their payloads.
    std::vector<std::string> sent(int opcode)
    {
        std::vector<std::string> p;
        for (const json &e : fw_entries(host_.root()))
            if (e.value("subsystem", -1) == 1 && e.value("opcode", -1) == opcode)
                p.push_back(e.value("payload", ""));
        return p;
    }
    void fail_from(int opcode, int from)
    {
        hlvdsim::FaultSpec f;
        f.subsystem = 1;
        f.opcode = opcode;
        f.kind = "status";
        f.status = 2;
        f.additional_status = 75;
        f.from = from;
        std::string err;
        ASSERT_GT(hlvdsim::fault_add(host_.root(), f, &err), 0) << err;
    }

    SimHost host_{kMachine};
    std::string out_dir_;
    int start_ = 0;
};

TEST_F(FatLog, FatLogIsReadInPiecesAndWrittenWithoutItsFirstWord)
{
    hlvdtest::write_file(out(), "an older, longer file that must not survive in part");
    clear_log(host_.root());
    Outcome o = act(kAw3Serial, "FATData", "RetrieveFATData", out().c_str());
    EXPECT_EQ(0, o.result);
    EXPECT_EQ(0, o.status);

    // FATDataValid's query, the handler's query, then the three reads.
    std::vector<std::string> p = sent(68);
    ASSERT_EQ(5u, p.size());
    EXPECT_EQ(1u, word_at(p[0], 0));
    EXPECT_EQ(1u, word_at(p[1], 0));
    const uint32_t offsets[] = {0, 64000, 128000};
    const uint32_t lengths[] = {64000, 64000, 2000};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(0u, word_at(p[2 + i], 0)) << i;
        EXPECT_EQ(offsets[i], word_at(p[2 + i], 4)) << i;
        EXPECT_EQ(lengths[i], word_at(p[2 + i], 8)) << i;
        EXPECT_EQ(lengths[i], word_at(p[2 + i], 12)) << i;
    }
    std::string file = hlvdtest::read_file(out());
    ASSERT_EQ(129996u, file.size());
    EXPECT_EQ(as_text(hlvdsim::fatlog_bytes(130000)).substr(4), file);
    EXPECT_TRUE(strays().empty());
}

TEST_F(FatLog, LogsWithNothingToGiveCreateNoFile)
{
    struct Row {
        const char *why;
        long size;
        const char *valid;
    };
    const Row rows[] = {
        {"empty log", 0, "No"},
        {"shorter than the skipped word", 3, "Yes"},
        {"just the skipped word", 4, "Yes"},
    };
    for (const Row &r : rows) {
        set_adapter_field(host_.root(), kAw3, "fat_log_size", r.size);
        EXPECT_EQ(r.valid, value_at(adapter_path(kAw3Serial) + "/FATData/FATDataValid")) << r.why;
        clear_log(host_.root());
        Outcome o = act(kAw3Serial, "FATData", "RetrieveFATData", out().c_str());
        EXPECT_EQ(0, o.result) << r.why;
        if (r.size < 4) {
            EXPECT_EQ(VEXO_STATUS_NO_FAT_DATA, o.status) << r.why;
            EXPECT_FALSE(hlvdtest::file_exists(out())) << r.why;
            // Nothing but the queries.
            for (const std::string &q : sent(68))
                EXPECT_EQ(1u, word_at(q, 0)) << r.why;
        } else {
            EXPECT_EQ(0, o.status) << r.why;
            EXPECT_EQ("", hlvdtest::read_file(out())) << r.why;
        }
    }
}

TEST_F(FatLog, ClearEmptiesTheLog)
{
    EXPECT_EQ("Yes", value_at(adapter_path(kAw3Serial) + "/FATData/FATDataValid"));
    clear_log(host_.root());
    Outcome o = act(kAw3Serial, "FATData", "ClearFATData");
    EXPECT_EQ(0, o.result);
    std::vector<std::string> p = sent(68);
    ASSERT_EQ(1u, p.size());
    EXPECT_EQ(2u, word_at(p[0], 0));
    EXPECT_EQ("No", value_at(adapter_path(kAw3Serial) + "/FATData/FATDataValid"));

    fail_from(68, 1);
    o = act(kAw3Serial, "FATData", "ClearFATData");
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_FAT_DATA, o.status);
}

TEST_F(FatLog, FailedFatReadKeepsTheOldFile)
{
    hlvdtest::write_file(out(), "old");
    // Calls: FATDataValid's query, the query, the first read; the second read fails.
    fail_from(68, 4);
    Outcome o = act(kAw3Serial, "FATData", "RetrieveFATData", out().c_str());
    EXPECT_NE(0, o.result);
    EXPECT_EQ(VEXO_STATUS_FAT_DATA, o.status);
    EXPECT_EQ("old", hlvdtest::read_file(out()));
    EXPECT_TRUE(strays().empty());

    // A query that fails answers FATDataValid with 65 and the action with 1.
    fail_from(68, 1);
    o = act(kAw3Serial, "FATData", "RetrieveFATData", out().c_str());
    EXPECT_EQ(1, o.result);
    EXPECT_EQ("old", hlvdtest::read_file(out()));
}

TEST_F(FatLog, VarrowFatLogIsTheDumpObjectInAFreshFile)
{
    // No object yet: no data.
    EXPECT_EQ("No", value_at(adapter_path(kVarrowSerial) + "/FATData/FATDataValid"));
    Outcome o = act(kVarrowSerial, "FATData", "RetrieveFATData", out().c_str());
    EXPECT_EQ(0, o.result);
    EXPECT_EQ(VEXO_STATUS_NO_FAT_DATA, o.status);
    EXPECT_FALSE(hlvdtest::file_exists(out()));

    std::vector<uint8_t> object = hlvdsim::fatlog_bytes(70000);
    ASSERT_TRUE(hlvdsim::object_put(host_.root(), "varrow", "/dbg/dump.bin", object));
    hlvdtest::write_file(out(), "an older file");
    EXPECT_EQ("Yes", value_at(adapter_path(kVarrowSerial) + "/FATData/FATDataValid"));
    clear_log(host_.root());
    o = act(kVarrowSerial, "FATData", "RetrieveFATData", out().c_str());
    EXPECT_EQ(0, o.result);
    EXPECT_EQ(as_text(object), hlvdtest::read_file(out()));
    for (const json &e : fw_entries(host_.root()))
        EXPECT_EQ(171, e.value("opcode", -1)) << "only object reads on Varrow";
    EXPECT_TRUE(strays().empty());
}

TEST_F(FatLog, TraceLogHoldsTheStringTableThenTheRecords)
{
    struct Row {
        const char *mode;
        uint32_t snapshot_mode;
        std::vector<uint32_t> starts;
        uint32_t records;
    };
    // RAM and DDR read the snapshot's 2,000 records; FLASH reads its 1,500
    // until an answer holds none.
    const Row rows[] = {
        {"RAM", 0, {0, 998, 1996}, 2000},
        {"DDR", 0, {0, 998, 1996}, 2000},
        {"flash", 1, {0, 998, 1500}, 1500},
    };
    const std::string table = as_text(hlvdsim::trace_string_table(70000));
    for (const Row &r : rows) {
        clear_log(host_.root());
        Outcome o = arm_log(kAw3Serial, r.mode);
        EXPECT_EQ(0, o.result) << r.mode;
        EXPECT_EQ(0, o.status) << r.mode;
        std::vector<std::string> p = sent(128);
        ASSERT_EQ(r.starts.size(), p.size()) << r.mode;
        for (size_t i = 0; i < p.size(); ++i) {
            EXPECT_EQ(r.snapshot_mode, word_at(p[i], 0)) << r.mode << i;
            EXPECT_EQ(r.starts[i], word_at(p[i], 4)) << r.mode << i;
            EXPECT_EQ(998u, word_at(p[i], 8)) << r.mode << i;
        }
        EXPECT_EQ(r.snapshot_mode == 0 ? 1u : 0u, sent(127).size()) << r.mode;
        // The table in pieces of 62,992 bytes.
        std::vector<std::string> t = sent(130);
        ASSERT_EQ(2u, t.size()) << r.mode;
        EXPECT_EQ(0u, word_at(t[0], 0));
        EXPECT_EQ(62992u, word_at(t[1], 0));
        EXPECT_EQ(62992u, word_at(t[1], 4));
        std::string file = hlvdtest::read_file(out());
        EXPECT_EQ(table.size() + r.records * 64, file.size()) << r.mode;
        EXPECT_TRUE(file == table + records(r.snapshot_mode, 0, r.records)) << r.mode;
        EXPECT_TRUE(strays().empty()) << r.mode;
    }
}

TEST_F(FatLog, FlashLogOfOneRecordIsEmptyAndLeavesTheTableAlone)
{
    hlvdtest::write_file(out(), "old");
    Outcome o = arm_log(kTrelmontSerial, "FLASH");
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_NO_EXTFAT_DATA, o.status);
    EXPECT_EQ(as_text(hlvdsim::trace_string_table(100)), hlvdtest::read_file(out()));
}

TEST_F(FatLog, EmptySnapshotIsNoData)
{
    hlvdtest::write_file(out(), "old");
    clear_log(host_.root());
    Outcome o = arm_log(kTrelmontSerial, "RAM");
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_NO_EXTFAT_DATA, o.status);
    EXPECT_TRUE(sent(128).empty());
    EXPECT_EQ("old", hlvdtest::read_file(out()));
}

TEST_F(FatLog, AnswerWithoutRecordsEndsTheSnapshot)
{
    set_adapter_field(host_.root(), kAw3, "trace_log", json{{"ram", 2000}, {"strings", 10}, {"zero_at", 998}});
    clear_log(host_.root());
    Outcome o = arm_log(kAw3Serial, "RAM");
    EXPECT_EQ(0, o.result);
    EXPECT_EQ(2u, sent(128).size());
    EXPECT_TRUE(hlvdtest::read_file(out()) == as_text(hlvdsim::trace_string_table(10)) + records(0, 0, 998));
}

// Each case on a host of its own: the faults stay planned.
TEST(FatLogFaults, FailedTraceRetrievalKeepsTheOldFile)
{
    struct Row {
        const char *why;
        const char *mode;
        int fault_opcode; // fails from the `from`-th call on; 0 none
        int from;
        long report_count; // every answer claims this many records; -1 as many as sent
        int status;
    };
    const Row rows[] = {
        {"records fail mid-snapshot", "RAM", 128, 2, -1, VEXO_STATUS_RETRIEVE_EXTFAT_DATA},
        {"records fail mid-flash-log", "FLASH", 128, 2, -1, VEXO_STATUS_RETRIEVE_EXTFAT_DATA},
        {"snapshot fails", "DDR", 127, 1, -1, VEXO_STATUS_EXTFAT_CONFIGURE_SNAPSHOT},
        {"more records claimed than fit", "RAM", 0, 0, 5000, VEXO_STATUS_RETRIEVE_EXTFAT_DATA},
        {"more flash records claimed than asked", "FLASH", 0, 0, 999, VEXO_STATUS_RETRIEVE_EXTFAT_DATA},
        {"string table fails (flash)", "FLASH", 130, 2, -1, VEXO_STATUS_INVALID_FILE_PATH_NAME},
        {"string table fails (RAM keeps its status)", "RAM", 130, 1, -1, VEXO_STATUS_READ_STRING_TABLE},
    };
    for (const Row &r : rows) {
        SimHost host(kMachine);
        json log = {{"ram", 2000}, {"flash", 1500}, {"strings", 70000}};
        if (r.report_count >= 0)
            log["report_count"] = r.report_count;
        set_adapter_field(host.root(), kAw3, "trace_log", log);
        if (r.fault_opcode) {
            hlvdsim::FaultSpec f;
            f.subsystem = 1;
            f.opcode = r.fault_opcode;
            f.kind = "status";
            f.status = 2;
            f.additional_status = 75;
            f.from = r.from;
            std::string err;
            ASSERT_GT(hlvdsim::fault_add(host.root(), f, &err), 0) << err;
        }
        std::string dir = host.root() + "/out";
        ASSERT_EQ(0, mkdir(dir.c_str(), 0755));
        std::string file = dir + "/log.bin";
        hlvdtest::write_file(file, "old");
        int start = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        std::string g = adapter_path(kAw3Serial) + "/ExtFATData";
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params);
        std::snprintf(params[0], VEXO_VALUE_SIZE, "%s", file.c_str());
        std::snprintf(params[1], VEXO_VALUE_SIZE, "%s", r.mode);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        EXPECT_EQ(1, VEXO_do_action(tag_at(g, VEXO_NODE_GROUP), tag_at(g + "/RetrieveARMLog", VEXO_NODE_ACTION),
                                    params, tags.data()))
            << r.why;
        EXPECT_EQ(r.status, last_status().first) << r.why;
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start, vexo_counter) << r.why;
        EXPECT_EQ("old", hlvdtest::read_file(file)) << r.why;
        std::vector<std::string> names;
        DIR *d = opendir(dir.c_str());
        while (struct dirent *e = d ? readdir(d) : nullptr)
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.push_back(e->d_name);
        if (d)
            closedir(d);
        EXPECT_EQ(std::vector<std::string>{"log.bin"}, names) << r.why;
    }
}

} // namespace
