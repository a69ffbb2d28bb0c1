// Adapter core dumps and firmware command-line output, written through the
// management API against simulated adapters: the file's segment records and
// trailer, the commands sent, the failures that still complete a dump and
// those that leave the old file alone. Also the template tables and the
// ASIC generation rule.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/core_dump.h"
#include "mgmt/aw/vexo-backend/core_dump_templates.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/coredump_model.h"
#include "sim/fault_plan.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;
using json = nlohmann::json;

namespace {

// An AW3 with firmware-described components 2 to 4, a Trelmont whose engine
// reports more bytes than asked for, a Varrow, an AW3 without a NIC
// function 0, an AW3 whose engine lists no components, and an adapter with
// iSCSI functions only.
const char kMachine[] = R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3CD001",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "coredump": { "low_version": 2, "high_version": 3, "max_components": 5,
        "components": {
          "2": { "segments": [
            { "max_instance": 3, "max_length": 100, "low_version": 4, "high_version": 5 },
            { "max_length": 70000 },
            { "status": 5, "max_length": 10 },
            { "max_length": 0 } ] },
          "3": { "status": 1, "segments": [ { "max_length": 10 } ] },
          "4": { "segments": [ { "max_length": 12, "data_status": 7 } ] } },
        "fwcli": { "show version": "fw 10.2.370.15\nok\n" } },
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "mac": "00:00:C9:B3:00:20" },
        { "bus": 4, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 1,
          "mac": "00:00:C9:B3:00:21" },
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22" } ] },
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLCD001",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "coredump": { "max_components": 3, "extra_length": 40,
        "components": { "2": { "segments": [ { "max_length": 64010 } ] } } },
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:30" } ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWCD001",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "mac": "00:00:C9:D5:00:40" } ] },
    { "name": "nofn0", "family": "converged", "generation": "AW3", "serial": "AW3NOFN0",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 7, "function": 0, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:70" },
        { "bus": 7, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 1,
          "mac": "00:00:C9:B3:00:71" } ] },
    { "name": "empty", "family": "converged", "generation": "AW3", "serial": "AW3EMPTY",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "coredump": { "max_components": 0 },
      "functions": [
        { "bus": 8, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "mac": "00:00:C9:B3:00:80" } ] },
    { "name": "deadunk", "family": "converged", "generation": "AW3", "serial": "AW3DEAD1", "chip_state": 1,
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "coredump": { "sli_intf": "0xC0000340", "max_components": 5,
        "components": { "2": { "segments": [ { "max_length": 20 } ] }, "3": { "segments": [ { "max_length": 30 } ] },
                        "4": { "segments": [ { "max_length": 40 } ] } } },
      "functions": [
        { "bus": 10, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "mac": "00:00:C9:B3:00:A0" } ] },
    { "name": "iscsionly", "family": "converged", "generation": "AW3", "serial": "AW3ISCSI",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 9, "function": 0, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:90" } ] }
  ]
})";

uint32_t le32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

uint32_t hex_word(const std::string &hex, size_t at)
{
    uint32_t w = 0;
    for (size_t i = 0; i < 4 && 2 * (at + i) + 1 < hex.size(); ++i)
        w |= static_cast<uint32_t>(std::stoul(hex.substr(2 * (at + i), 2), nullptr, 16)) << (8 * i);
    return w;
}

struct Segment {
    CORE_DUMP_HEADER h;
    std::vector<uint8_t> data;
};

struct DumpFile {
    std::vector<Segment> segments;
    RECORD_CORE_DUMP trailer;
    bool complete = false;
};

// Splits a dump file into its segment records and trailer.
DumpFile parse(const std::string &bytes)
{
    DumpFile d;
    std::memset(&d.trailer, 0, sizeof d.trailer);
    size_t at = 0;
    while (bytes.size() - at > sizeof(RECORD_CORE_DUMP)) {
        Segment s;
        if (bytes.size() - at < sizeof s.h)
            return d;
        std::memcpy(&s.h, bytes.data() + at, sizeof s.h);
        at += sizeof s.h;
        if (std::memcmp(s.h.signature, "sEgM", 4) != 0 || bytes.size() - at < s.h.length)
            return d;
        s.data.assign(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + s.h.length));
        at += s.h.length;
        d.segments.push_back(s);
    }
    if (bytes.size() - at != sizeof(RECORD_CORE_DUMP))
        return d;
    std::memcpy(&d.trailer, bytes.data() + at, sizeof d.trailer);
    d.complete = std::memcmp(d.trailer.signature, "cOrE", 4) == 0;
    return d;
}

std::vector<uint8_t> pattern(uint32_t comp, uint32_t seg, uint32_t inst, uint32_t length)
{
    std::vector<uint8_t> v(length);
    for (uint32_t i = 0; i < length; ++i)
        v[i] = hlvdsim::coredump_pattern_byte(comp, seg, inst, i);
    return v;
}

// Temporary files a dump may have left beside `path`.
std::vector<std::string> leftovers(const std::string &dir)
{
    std::vector<std::string> out;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return out;
    while (struct dirent *e = readdir(d))
        if (std::strstr(e->d_name, ".tmp."))
            out.push_back(e->d_name);
    closedir(d);
    return out;
}

struct Outcome {
    VEXO_status_t result;
    VEXO_status_t status;
    std::string param1; // the second parameter as the handler left it
};

// One expected segment record.
struct Expect {
    uint32_t comp, seg, inst, length, status;
    uint8_t lo, hi;
};

// The (component, segment, instance, offset, length, program words) of one
// segment command.
struct Piece {
    uint32_t comp, seg, inst, offset, length, words;
    bool operator==(const Piece &o) const
    {
        return comp == o.comp && seg == o.seg && inst == o.inst && offset == o.offset && length == o.length &&
               words == o.words;
    }
};

std::ostream &operator<<(std::ostream &os, const Piece &p)
{
    return os << "{" << p.comp << "," << p.seg << "," << p.inst << "," << p.offset << "," << p.length << ","
              << p.words << "}";
}

class CoreDump : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        dir_ = host_.path("/dumps");
        ASSERT_EQ(0, mkdir(dir_.c_str(), 0755));
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }

    Outcome act(const std::string &serial, const char *action, const std::string &file, const char *param)
    {
        std::string g = adapter_path(serial);
        node_tag_t gt = tag_at(g, VEXO_NODE_GROUP);
        node_tag_t at = tag_at(g + "/" + action, VEXO_NODE_ACTION);
        EXPECT_GE(gt, 0) << g;
        EXPECT_GE(at, 0) << g << "/" << action;
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params); // first byte 0xFF: not given
        std::snprintf(params[0], VEXO_VALUE_SIZE, "%s", file.c_str());
        if (param)
            std::snprintf(params[1], VEXO_VALUE_SIZE, "%s", param);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        Outcome o;
        o.result = VEXO_do_action(gt, at, params, tags.data());
        o.status = last_status().first;
        o.param1 = static_cast<unsigned char>(params[1][0]) == 0xFF ? "(not given)" : params[1];
        return o;
    }
    Outcome dump(const std::string &serial, const char *type, const std::string &file)
    {
        clear_log(host_.root());
        return act(serial, "RetrieveStratolinkCoreDump", file, type);
    }

    // The segment commands sent since the log was cleared.
    std::vector<Piece> pieces()
    {
        std::vector<Piece> out;
        for (const json &e : fw_entries(host_.root()))
            if (e.value("subsystem", -1) == 11 && e.value("opcode", -1) == 24) {
                std::string p = e.value("payload", "");
                out.push_back({hex_word(p, 0), hex_word(p, 4), hex_word(p, 8), hex_word(p, 12), hex_word(p, 16),
                               hex_word(p, 20)});
            }
        return out;
    }

    void plan(const json &fault)
    {
        std::string err;
        ASSERT_GT(hlvdsim::fault_add_json(host_.root(), fault, &err), 0) << err;
    }

    // Checks the records against `want`, the data against the simulated
    // bytes (cut to what the record holds).
    void check_segments(const DumpFile &d, const std::vector<Expect> &want)
    {
        ASSERT_EQ(want.size(), d.segments.size());
        for (size_t i = 0; i < want.size(); ++i) {
            const Expect &w = want[i];
            const CORE_DUMP_HEADER &h = d.segments[i].h;
            SCOPED_TRACE("record " + std::to_string(i) + " component " + std::to_string(w.comp) + " segment " +
                         std::to_string(w.seg) + " instance " + std::to_string(w.inst));
            EXPECT_EQ(w.comp, h.component_id);
            EXPECT_EQ(w.seg, h.segment_id);
            EXPECT_EQ(w.inst, h.instance);
            EXPECT_EQ(w.length, h.length);
            EXPECT_EQ(w.status, h.status);
            EXPECT_EQ(w.lo, h.low_version);
            EXPECT_EQ(w.hi, h.high_version);
            EXPECT_EQ(0u, h.flag);
            EXPECT_EQ(0u, h.fun_id);
            EXPECT_EQ(0u, h.offset);
            EXPECT_EQ(64u, h.data_offset);
            EXPECT_EQ(0u, h.rsvd0 | h.rsvd1 | h.rsvd2 | h.rsvd3 | h.rsvd4);
            EXPECT_EQ(pattern(w.comp, w.seg, w.inst, w.length), d.segments[i].data);
        }
    }

    // The trailer with the host name, OS and times taken from `got` after
    // checking they are plausible; everything else as given.
    RECORD_CORE_DUMP trailer(const RECORD_CORE_DUMP &got, uint8_t asic_state, const char *type, uint32_t segments,
                             uint32_t sli_intf, uint32_t asic_id, uint32_t status, uint8_t lo, uint8_t hi)
    {
        EXPECT_TRUE(got.month >= 1 && got.month <= 12 && got.day >= 1 && got.day <= 31 && got.year >= 2000);
        EXPECT_TRUE(got.end_month >= 1 && got.end_month <= 12 && got.end_year >= got.year);
        EXPECT_EQ('\0', got.system_name[31]);
        RECORD_CORE_DUMP r;
        std::memset(&r, 0, sizeof r);
        std::memcpy(r.signature, "cOrE", 4);
        r.high_version = 1;
        r.asic_state = asic_state;
        std::memcpy(r.system_name, got.system_name, sizeof r.system_name);
        r.year = got.year;
        r.month = got.month;
        r.day = got.day;
        r.hour = got.hour;
        r.minute = got.minute;
        r.second = got.second;
        r.utc_bias = got.utc_bias;
        std::snprintf(r.commandline, sizeof r.commandline, "%s", type);
        r.total_segements = segments;
        r.os_version_major = got.os_version_major;
        r.os_version_minor = got.os_version_minor;
        std::memcpy(r.os_name, got.os_name, sizeof r.os_name);
        r.end_year = got.end_year;
        r.end_month = got.end_month;
        r.end_day = got.end_day;
        r.end_hour = got.end_hour;
        r.end_minute = got.end_minute;
        r.end_second = got.end_second;
        r.end_utc_bias = got.end_utc_bias;
        r.sli_intf = sli_intf;
        r.sli_asic_id = asic_id;
        r.coredump_status = status;
        r.ioctl_low_version = lo;
        r.ioctl_high_version = hi;
        return r;
    }

    SimHost host_{kMachine};
    std::string dir_;
    int start_ = 0;
};

// The AW3 live rows with their lengths.
const Expect kAw3LiveRows[] = {{1, 0x70, 0, 68, 0, 0, 1},  {1, 0x71, 0, 72, 0, 0, 1}, {1, 0x72, 0, 768, 0, 0, 1},
                               {1, 0x73, 0, 1272, 0, 0, 1}, {1, 0x80, 0, 68, 0, 0, 1}, {1, 0x81, 0, 68, 0, 0, 1},
                               {1, 0x82, 0, 80, 0, 0, 1}};

std::vector<Expect> aw3_live_records()
{
    std::vector<Expect> v(std::begin(kAw3LiveRows), std::end(kAw3LiveRows));
    for (uint32_t k = 0; k <= 3; ++k)
        v.push_back({2, 0, k, 100, 0, 4, 5});
    v.push_back({2, 1, 0, 70000, 0, 1, 0});
    v.push_back({2, 3, 0, 0, 0, 1, 0});
    v.push_back({4, 0, 0, 12, 7, 1, 0});
    return v;
}

TEST_F(CoreDump, LiveDumpWritesTemplateAndFirmwareSegmentsThenTheTrailer)
{
    std::string file = dir_ + "/core.bin";
    Outcome o = dump("AW3CD001", nullptr, file);
    EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result);
    EXPECT_EQ(VEXO_STATUS_SUCCESS, o.status);
    EXPECT_EQ("live", o.param1) << "the resolved type goes back into the parameter";

    DumpFile d = parse(hlvdtest::read_file(file));
    ASSERT_TRUE(d.complete);
    std::vector<Expect> want = aw3_live_records();
    check_segments(d, want);
    RECORD_CORE_DUMP t = trailer(d.trailer, 0, "live", static_cast<uint32_t>(want.size()), 0xC0000140u, 0, 0, 2, 3);
    EXPECT_EQ(0, std::memcmp(&t, &d.trailer, sizeof t)) << "trailer differs outside host and time fields";

    // Template rows carry their program; the 70,000-byte segment takes two
    // pieces, the empty one a single command asking for nothing; component
    // 3 (status 1) and segment 2 of component 2 (status 5) are skipped.
    std::vector<Piece> want_pieces;
    for (const Expect &e : kAw3LiveRows)
        want_pieces.push_back({1, e.seg, 0, 0, e.length, aw3_template[e.seg].bc_length});
    for (uint32_t k = 0; k <= 3; ++k)
        want_pieces.push_back({2, 0, k, 0, 100, 0});
    want_pieces.push_back({2, 1, 0, 0, 64000, 0});
    want_pieces.push_back({2, 1, 0, 64000, 6000, 0});
    want_pieces.push_back({2, 3, 0, 0, 0, 0});
    want_pieces.push_back({4, 0, 0, 0, 12, 0});
    EXPECT_EQ(want_pieces, pieces());
    EXPECT_TRUE(leftovers(dir_).empty());
}

TEST_F(CoreDump, EveryPieceIsCutToTheSegmentWhenTheFirmwareReportsMore)
{
    // The Trelmont engine reports 40 bytes more than each piece asked for.
    std::string file = dir_ + "/trl.bin";
    Outcome o = dump("TRLCD001", "live", file);
    EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result);
    DumpFile d = parse(hlvdtest::read_file(file));
    ASSERT_TRUE(d.complete);
    std::vector<Expect> want = {{1, 0x70, 0, 68, 0, 0, 1},  {1, 0x71, 0, 64, 0, 0, 1},   {1, 0x72, 0, 768, 0, 0, 1},
                                {1, 0x72, 1, 768, 0, 0, 1}, {1, 0x73, 0, 1836, 0, 0, 1}, {1, 0x80, 0, 68, 0, 0, 1},
                                {1, 0x81, 0, 68, 0, 0, 1},  {1, 0x82, 0, 80, 0, 0, 1},   {2, 0, 0, 64010, 0, 1, 0}};
    check_segments(d, want);
    EXPECT_EQ(0xC0000240u, d.trailer.sli_intf);
    EXPECT_EQ(0x410u, d.trailer.sli_asic_id);
    EXPECT_EQ(want.size(), d.trailer.total_segements);
}

TEST_F(CoreDump, PieceFailingMidSegmentKeepsWhatArrivedAndMarksTheDump)
{
    // The 8th, 9th, 10th, 11th and 12th segment commands are the four
    // instances of segment 0 and the first piece of segment 1: the 13th, its
    // second piece, fails.
    plan({{"match", {{"subsystem", 11}, {"opcode", 24}}}, {"kind", "status"}, {"status", 2}, {"from", 13}});
    std::string file = dir_ + "/core.bin";
    Outcome o = dump("AW3CD001", nullptr, file);
    EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result) << "the trailer was written";
    EXPECT_EQ(VEXO_STATUS_GET_SEGMENT_FAILED, o.status);
    DumpFile d = parse(hlvdtest::read_file(file));
    ASSERT_TRUE(d.complete);
    std::vector<Expect> want = aw3_live_records();
    want[11].length = 64000;
    check_segments(d, want);
    EXPECT_EQ(0xFFFFFFFFu, d.trailer.coredump_status);
    EXPECT_EQ(want.size(), d.trailer.total_segements);
    EXPECT_STREQ("live", d.trailer.commandline);
}

TEST_F(CoreDump, DeadDumpOfALiveChipTakesTheDeadColumnAndAsksForAReboot)
{
    // Every segment command fails, so the dead rows cost one command per
    // instance and no large segment is fetched.
    plan({{"match", {{"subsystem", 11}, {"opcode", 24}}}, {"kind", "status"}, {"status", 2}, {"when", "always"}});
    std::string file = dir_ + "/dead.bin";
    Outcome o = dump("AW3CD001", "Dead", file);
    EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result);
    EXPECT_EQ(VEXO_STATUS_IMMEDIATE_REBOOT_REQUIRED, o.status);

    std::vector<Piece> want;
    for (uint32_t r = 0; r < aw3_template.size(); ++r) {
        const DUMP_TEMPLATE &t = aw3_template[r];
        if (t.pbyte_code && t.dead_mode)
            for (uint32_t k = 0; k <= t.max_instance; ++k)
                want.push_back({1, r, k, 0, t.length < 64000 ? t.length : 64000, t.bc_length});
    }
    want.push_back({4, 0, 0, 0, 12, 0}); // components 2 and 3 are not collected
    EXPECT_EQ(want, pieces());

    DumpFile d = parse(hlvdtest::read_file(file));
    ASSERT_TRUE(d.complete);
    ASSERT_EQ(want.size(), d.segments.size()) << "a segment with no data still gets its record";
    for (size_t i = 0; i < want.size(); ++i) {
        const Segment &s = d.segments[i];
        EXPECT_EQ(want[i].seg, s.h.segment_id);
        bool packed = want[i].comp == 1 && aw3_template[want[i].seg].compress;
        EXPECT_EQ(packed ? 1u : 0u, s.h.flag);
        if (packed) {
            ASSERT_GE(s.data.size(), 4u);
            EXPECT_EQ(0u, le32(s.data.data() + s.data.size() - 4));
        } else {
            EXPECT_EQ(0u, s.h.length);
        }
    }
    EXPECT_EQ(1, d.trailer.asic_state);
    EXPECT_STREQ("Dead", d.trailer.commandline);
    EXPECT_EQ(0xFFFFFFFFu, d.trailer.coredump_status);
    EXPECT_EQ(want.size(), d.trailer.total_segements);
}

// A dead chip of a generation without templates: the dump type decides
// whether components 2 and 3 are collected.
struct DeadCase {
    const char *type;
    const char *resolved;
    std::vector<uint32_t> components;
};

TEST_F(CoreDump, DeadChipResolvesTheTypeAndSkipsComponentsOfADeadDump)
{
    const DeadCase cases[] = {
        {nullptr, "Dead", {4}},
        {"live", "live", {2, 3, 4}},
    };
    for (const DeadCase &c : cases) {
        SCOPED_TRACE(c.resolved);
        std::string file = dir_ + "/deadchip.bin";
        vexo_set_fixed_status(VEXO_STATUS_SUCCESS);
        Outcome o = dump("AW3DEAD1", c.type, file);
        EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result);
        EXPECT_EQ(VEXO_STATUS_SUCCESS, o.status) << "no reboot for a generation the dump does not know";
        DumpFile d = parse(hlvdtest::read_file(file));
        ASSERT_TRUE(d.complete);
        std::vector<Expect> want;
        for (uint32_t comp : c.components)
            want.push_back({comp, 0, 0, 10 * comp, 0, 1, 0});
        check_segments(d, want);
        EXPECT_EQ(1, d.trailer.asic_state);
        EXPECT_STREQ(c.resolved, d.trailer.commandline);
        EXPECT_EQ(0u, d.trailer.coredump_status);
    }
}

// Dumps that hold the trailer alone.
struct TrailerOnly {
    const char *why;
    const char *serial;
    const char *type;
    const char *commandline;
    uint32_t sli_intf;
    uint32_t coredump_status;
    uint8_t lo;
};

const TrailerOnly kTrailerOnly[] = {
    {"Varrow has no dump engine", "VRWCD001", nullptr, "", 0xC0010A40u, 0, 1},
    {"Varrow keeps the type asked for", "VRWCD001", "Test", "Test", 0xC0010A40u, 0, 1},
    {"no NIC function 0", "AW3NOFN0", nullptr, "live", 0xC0000140u, 0xFFFFFFFFu, 1},
    {"no components", "AW3EMPTY", nullptr, "", 0xC0000140u, 0, 1},
};

TEST_F(CoreDump, TrailerOnlyDumps)
{
    for (const TrailerOnly &c : kTrailerOnly) {
        SCOPED_TRACE(c.why);
        std::string file = dir_ + "/" + c.serial + ".bin";
        Outcome o = dump(c.serial, c.type, file);
        EXPECT_EQ(VEXO_STATUS_SUCCESS, o.result);
        std::string bytes = hlvdtest::read_file(file);
        ASSERT_EQ(sizeof(RECORD_CORE_DUMP), bytes.size());
        DumpFile d = parse(bytes);
        ASSERT_TRUE(d.complete);
        RECORD_CORE_DUMP t = trailer(d.trailer, 0, c.commandline, 0, c.sli_intf, 0, c.coredump_status, c.lo, 0);
        EXPECT_EQ(0, std::memcmp(&t, &d.trailer, sizeof t));
        EXPECT_TRUE(pieces().empty());
    }
}

// Dumps that fail before their trailer: the old file stays, nothing else
// is left.
struct Refused {
    const char *why;
    const char *serial;
    const char *file; // below the dump directory
    VEXO_status_t status;
};

const Refused kRefused[] = {
    {"adapter without NIC function", "AW3ISCSI", "/core.bin", VEXO_STATUS_SUCCESS},
    {"directory missing", "AW3CD001", "/missing/core.bin", VEXO_STATUS_INVALID_FILE_PATH_NAME},
    {"target is a directory", "AW3CD001", "/sub", VEXO_STATUS_INVALID_FILE_PATH_NAME},
};

TEST_F(CoreDump, FailedDumpKeepsTheOldFile)
{
    ASSERT_EQ(0, mkdir((dir_ + "/sub").c_str(), 0755));
    hlvdtest::write_file(dir_ + "/core.bin", "old dump");
    for (const Refused &c : kRefused) {
        SCOPED_TRACE(c.why);
        vexo_set_fixed_status(VEXO_STATUS_SUCCESS);
        Outcome o = dump(c.serial, nullptr, dir_ + c.file);
        EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
        EXPECT_EQ(c.status, o.status);
        EXPECT_EQ("old dump", hlvdtest::read_file(dir_ + "/core.bin"));
        EXPECT_TRUE(leftovers(dir_).empty());
        EXPECT_TRUE(leftovers(dir_ + "/sub").empty());
    }
}

TEST_F(CoreDump, SegmentWriterCompressesWithTheCountBehind)
{
    node *adapter = get_node(tag_at(adapter_path("AW3CD001"), VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, adapter);
    std::string file = dir_ + "/seg.bin";
    successful_segments = 0;
    ASSERT_EQ(0, VEXO_write_each_segment_data(2, 0, 1, 0, 100, 0, nullptr, file.c_str(), adapter, 1, 4, 5));
    ASSERT_EQ(0, VEXO_write_each_segment_data(2, 1, 0, 0, 70000, 0, nullptr, file.c_str(), adapter, 1, 1, 0));
    EXPECT_EQ(2, successful_segments);
    successful_segments = 0;
    std::string bytes = hlvdtest::read_file(file);
    size_t at = 0;
    const uint32_t kSeg[][3] = {{0, 1, 100}, {1, 0, 70000}};
    for (const auto &s : kSeg) {
        SCOPED_TRACE("segment " + std::to_string(s[0]));
        ASSERT_GE(bytes.size() - at, sizeof(CORE_DUMP_HEADER));
        CORE_DUMP_HEADER h;
        std::memcpy(&h, bytes.data() + at, sizeof h);
        at += sizeof h;
        EXPECT_EQ(1u, h.flag);
        ASSERT_GE(bytes.size() - at, h.length);
        ASSERT_GT(h.length, 4u);
        const auto *data = reinterpret_cast<const uint8_t *>(bytes.data() + at);
        at += h.length;
        EXPECT_EQ(s[2], le32(data + h.length - 4)) << "the count follows the stream";
        std::vector<uint8_t> back(s[2]);
        uLongf n = s[2];
        ASSERT_EQ(Z_OK, uncompress(back.data(), &n, data, h.length - 4));
        EXPECT_EQ(s[2], n);
        EXPECT_EQ(pattern(2, s[0], s[1], s[2]), back);
    }
    EXPECT_EQ(bytes.size(), at);
}

// Command-line requests.
struct Cli {
    const char *why;
    const char *text;
    int fault_status; // the segment command fails with this status, 0 none
    VEXO_status_t result;
    VEXO_status_t status;
    const char *file; // null: the old file stays
};

const Cli kCli[] = {
    {"known string", "show version", 0, VEXO_STATUS_SUCCESS, VEXO_STATUS_SUCCESS, "fw 10.2.370.15\nok\n"},
    {"string refused", "show bogus", 0, VEXO_STATUS_INVALID_FWCLISTRING, VEXO_STATUS_INVALID_FWCLISTRING, nullptr},
    {"command fails", "show version", 2, VEXO_STATUS_FAILURE, VEXO_STATUS_GET_SEGMENT_FAILED, nullptr},
};

TEST_F(CoreDump, FwCliRunsTheStringThroughTheAdaptersDriver)
{
    std::string file = dir_ + "/cli.txt";
    for (const Cli &c : kCli) {
        SCOPED_TRACE(c.why);
        hlvdtest::write_file(file, "old");
        if (c.fault_status)
            plan({{"match", {{"subsystem", 11}, {"opcode", 24}}}, {"kind", "status"}, {"status", c.fault_status}});
        clear_log(host_.root());
        vexo_set_fixed_status(VEXO_STATUS_SUCCESS);
        Outcome o = act("AW3CD001", "RetrieveFwCliData", file, c.text);
        EXPECT_EQ(c.result, o.result);
        EXPECT_EQ(c.status, o.status);
        EXPECT_EQ(c.file ? c.file : "old", hlvdtest::read_file(file));
        EXPECT_TRUE(leftovers(dir_).empty());

        std::vector<json> sent;
        for (const json &e : fw_entries(host_.root()))
            if (e.value("subsystem", -1) == 11 && e.value("opcode", -1) == 24)
                sent.push_back(e);
        ASSERT_EQ(1u, sent.size());
        EXPECT_EQ("iscsi", sent[0].value("driver", "")) << "an adapter with iSCSI goes through that driver";
        EXPECT_EQ(65000, sent[0].value("request_length", 0));
        std::string p = sent[0].value("payload", "");
        size_t n = std::strlen(c.text);
        EXPECT_EQ(3u, hex_word(p, 0));
        EXPECT_EQ(0xFFFFFFFFu, hex_word(p, 4));
        EXPECT_EQ(0u, hex_word(p, 8) | hex_word(p, 12));
        EXPECT_EQ(64000u, hex_word(p, 16));
        EXPECT_EQ(n, hex_word(p, 20));
        std::string text;
        for (size_t i = 0; i < n + 1; ++i)
            text += static_cast<char>(std::stoul(p.substr(2 * (24 + i), 2), nullptr, 16));
        EXPECT_EQ(std::string(c.text) + '\0', text);
    }
}

TEST_F(CoreDump, FwCliIsRefusedOnVarrow)
{
    std::string file = dir_ + "/cli.txt";
    clear_log(host_.root());
    Outcome o = act("VRWCD001", "RetrieveFwCliData", file, "show version");
    EXPECT_EQ(VEXO_STATUS_FAILURE, o.result);
    EXPECT_FALSE(hlvdtest::file_exists(file));
    EXPECT_TRUE(pieces().empty());
}

// ---------------------------------------------------------------------------
// Template tables.

struct TableFacts {
    const char *name;
    const DUMP_TEMPLATE *rows;
    size_t count;
    const char *generation;
    size_t used;
    uint8_t ver_hi;
    std::vector<uint32_t> live; // rows of the live column
    std::vector<uint32_t> never; // rows in use in neither column
};

std::vector<TableFacts> tables()
{
    return {
        {"aw2", aw2_template.data(), aw2_template.size(), "AW2", 36, 1, {0x70, 0x71, 0x72, 0x73}, {}},
        {"aw3", aw3_template.data(), aw3_template.size(), "AW3", 41, 1,
         {0x70, 0x71, 0x72, 0x73, 0x80, 0x81, 0x82}, {}},
        {"trl", trl_template.data(), trl_template.size(), "Trelmont", 58, 1,
         {0x70, 0x71, 0x72, 0x73, 0x80, 0x81, 0x82}, {0x63, 0x6B, 0x150}},
        {"test", test_template.data(), test_template.size(), "", 13, 0,
         {0xD0, 0xD1, 0xD3, 0xD4, 0xD6, 0xD7, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD}, {}},
    };
}

TEST(CoreDumpTemplates, RowsProgramsAndColumns)
{
    EXPECT_EQ(306u, aw2_template.size());
    EXPECT_EQ(306u, aw3_template.size());
    EXPECT_EQ(338u, trl_template.size());
    EXPECT_EQ(223u, test_template.size());
    size_t programs = 0, words = 0, longest_row = 0, longest = 0;
    for (const TableFacts &t : tables()) {
        SCOPED_TRACE(t.name);
        size_t used = 0;
        std::vector<uint32_t> live, never;
        for (size_t r = 0; r < t.count; ++r) {
            const DUMP_TEMPLATE &row = t.rows[r];
            if (!row.pbyte_code) {
                EXPECT_EQ(0u, row.bc_length | row.length | row.dead_mode | row.live_mode);
                continue;
            }
            ++used;
            ++programs;
            words += row.bc_length;
            if (row.bc_length > longest) {
                longest = row.bc_length;
                longest_row = r;
            }
            EXPECT_EQ(0, row.ver_lo);
            EXPECT_EQ(t.ver_hi, row.ver_hi);
            EXPECT_EQ(0, row.encrypt);
            EXPECT_EQ(0u, row.offset);
            ASSERT_GE(row.bc_length, 16u);
            for (size_t w = 0; w < 15; ++w)
                EXPECT_EQ(0u, row.pbyte_code[w]) << "row " << r;
            EXPECT_EQ(0u, row.pbyte_code[row.bc_length - 1]) << "row " << r;
            // The simulated engine knows each row's program length on its own.
            EXPECT_EQ(hlvdsim::coredump_program_words(t.generation, static_cast<uint32_t>(r)), row.bc_length)
                << "row " << r;
            if (row.live_mode)
                live.push_back(static_cast<uint32_t>(r));
            if (!row.live_mode && !row.dead_mode)
                never.push_back(static_cast<uint32_t>(r));
        }
        EXPECT_EQ(t.used, used);
        EXPECT_EQ(t.live, live);
        EXPECT_EQ(t.never, never);
    }
    EXPECT_EQ(148u, programs);
    EXPECT_EQ(11516u, words);
    EXPECT_EQ(0xDAu, longest_row);
    EXPECT_EQ(1024u, longest);
}

// Rows with more than one instance or compression.
struct RowFacts {
    const DUMP_TEMPLATE *rows;
    uint32_t row;
    uint32_t length;
    uint32_t max_instance;
    uint8_t compress;
    uint8_t dead_mode;
};

const RowFacts kRowFacts[] = {
    {aw2_template.data(), 0x100, 33554432, 0, 1, 1}, {aw2_template.data(), 0x8C, 272, 44, 0, 1},
    {aw3_template.data(), 0x24, 688128, 0, 1, 1},    {aw3_template.data(), 0x8E, 272, 17, 0, 1},
    {trl_template.data(), 0x100, 134217728, 0, 1, 1}, {trl_template.data(), 0x150, 131072, 0, 1, 0},
    {trl_template.data(), 0x88, 34048, 22, 0, 1},    {trl_template.data(), 0x130, 65536, 0, 1, 1},
    {trl_template.data(), 0xE4, 4352, 2, 0, 1},      {test_template.data(), 0xD6, 4, 4095, 0, 1},
    {test_template.data(), 0xD4, 4099, 0, 0, 1},     {test_template.data(), 0xD8, 24, 0, 0, 1},
    {test_template.data(), 0xDB, 0, 0, 0, 1},
};

TEST(CoreDumpTemplates, RowsCarryTheirLengthsInstancesAndCompression)
{
    for (const RowFacts &f : kRowFacts) {
        SCOPED_TRACE("row " + std::to_string(f.row));
        const DUMP_TEMPLATE &r = f.rows[f.row];
        ASSERT_NE(nullptr, r.pbyte_code);
        EXPECT_EQ(f.length, r.length);
        EXPECT_EQ(f.max_instance, r.max_instance);
        EXPECT_EQ(f.compress, r.compress);
        EXPECT_EQ(f.dead_mode, r.dead_mode);
    }
}

struct AsicCase {
    uint32_t sli_intf;
    uint32_t asic_id;
    int start;
    int type;
};

const AsicCase kAsic[] = {
    {0, 0x410, 7, 0xFFFF},          {0xC0010A40u, 0, 0, 4},     {0xC0000B40u, 0, 0, 4},
    {0xC0000040u, 0, 0, 2},         {0xC0000140u, 0, 0, 3},     {0xC0000240u, 0x410, 0, 5},
    {0xC0000F40u, 0x411, 0, 5},     {0xC0000240u, 0x412, 0, 0}, {0xC0000340u, 0, 9, 9},
    {0x00001140u, 0, 3, 3},
};

TEST(CoreDumpTemplates, AsicTypeFromTheSixthHexDigit)
{
    for (const AsicCase &c : kAsic) {
        int type = c.start;
        EXPECT_EQ(0, VEXO_get_asic_type(c.sli_intf, &type, c.asic_id));
        EXPECT_EQ(c.type, type) << std::hex << c.sli_intf << " asic " << c.asic_id;
    }
}

} // namespace
