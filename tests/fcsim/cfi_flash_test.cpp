// The flash chip behind an FC function's control registers, driven the way
// the direct-flash path drives it.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/cfi_flash.h"
#include "sim/command_log.h"
#include "sim/fc_hba.h"
#include "support/sim_host.h"

namespace {

using json = nlohmann::json;

// The default machine with a chip on the SLI-3 HBA's functions (boards 0
// and 1: channels A and B).
std::string machine(const json &chip)
{
    json doc = json::parse(hlvdtest::read_file(hlvdtest::source_path("sim/machines/default.json")));
    for (json &a : doc["adapters"])
        if (a["name"] == "fc-sli3")
            for (json &f : a["functions"])
                f["fc"]["cfi_flash"] = chip;
    return doc.dump();
}

struct Regs {
    std::string root;
    int board;
    uint32_t rd(uint32_t reg)
    {
        uint32_t v = 0;
        EXPECT_EQ(0, hlvdsim::fc_simple_call(root, "ReadCtlReg", board, {static_cast<long>(reg)}, &v));
        return v;
    }
    void wr(uint32_t reg, uint32_t v)
    {
        EXPECT_EQ(0, hlvdsim::fc_simple_call(root, "WriteCtlReg", board, {static_cast<long>(reg), static_cast<long>(v)},
                                             nullptr));
    }
    // Reads of 100 until the acknowledge, 0 when none came in 127.
    int own()
    {
        wr(100, 1);
        for (int i = 1; i <= 127; ++i)
            if (rd(100) & 0x02)
                return i;
        return 0;
    }
    void cmd(uint32_t addr, uint32_t value)
    {
        wr(92, addr);
        wr(96, value);
    }
    // The word at a byte address, -1 when the read never shows valid.
    long read(uint32_t addr)
    {
        wr(84, addr);
        uint32_t v = rd(80);
        return (v & 0x10) ? static_cast<long>(v >> 16) : -1;
    }
    long status()
    {
        cmd(0, 0x70);
        return read(0);
    }
    void amd(uint32_t addr, uint32_t value)
    {
        cmd(0xAAA, 0xAA);
        cmd(0x555, 0x55);
        cmd(addr, value);
    }
    void amd_program(uint32_t addr, uint16_t v)
    {
        amd(0xAAA, 0xA0);
        cmd(addr, v);
    }
    void amd_erase(uint32_t sector)
    {
        amd(0xAAA, 0x80);
        cmd(0xAAA, 0xAA);
        cmd(0x555, 0x55);
        cmd(sector, 0x30);
    }
};

const json kC3 = json::object();
const json kJ3 = {{"command_set", 1}, {"size_code", 0x17}};
const json kAmd2 = {{"manufacturer", 0}, {"command_set", 2}, {"size_code", 0x15}};
const json kAmd4 = {{"manufacturer", 0}, {"command_set", 2}, {"size_code", 0x16}};

json with_faults(json chip, const json &faults)
{
    chip["faults"] = faults;
    return chip;
}

TEST(CfiFlash, OwnershipIsAcknowledgedAfterThePlannedReads)
{
    const struct {
        json faults;
        int granted_at; // 0: never
    } cases[] = {{json::object(), 1}, {{{"grant_reads", 5}}, 5}, {{{"grant_reads", -1}}, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.faults.dump());
        hlvdtest::SimHost host(machine(with_faults(kC3, c.faults)));
        Regs r{host.root(), 0};
        // Before ownership nothing reads valid and commands are ignored.
        EXPECT_EQ(-1, r.read(0));
        r.cmd(0, 0x40);
        r.cmd(0, 0x0000);
        EXPECT_EQ(c.granted_at, r.own());
        if (c.granted_at) {
            r.cmd(0, 0xFF);
            EXPECT_EQ(0xFFFF, r.read(0));
        } else {
            EXPECT_EQ(-1, r.read(0));
        }
    }
}

TEST(CfiFlash, CfiQueryAndIdentifierAnswerTheChipKind)
{
    const struct {
        json chip;
        uint16_t manufacturer, set, size;
    } cases[] = {{kC3, 0x89, 3, 0x15},
                 {kJ3, 0x89, 1, 0x17},
                 {kAmd4, 0x00, 2, 0x16},
                 {{{"manufacturer", 0x20}, {"size_code", 0x16}, {"device_code", 0x1234}}, 0x20, 3, 0x16}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.chip.dump());
        hlvdtest::SimHost host(machine(c.chip));
        Regs r{host.root(), 0};
        ASSERT_NE(0, r.own());
        r.cmd(0xAA, 0x98);
        EXPECT_EQ(c.manufacturer, r.read(0));
        EXPECT_EQ(c.set, r.read(0x26));
        EXPECT_EQ(c.size, r.read(0x4E));
        if (c.set == 2) {
            r.cmd(0, 0xF0);
            r.amd(0xAAA, 0x90);
        } else {
            r.cmd(0, 0x90);
        }
        EXPECT_EQ(c.manufacturer, r.read(0));
        if (c.chip.contains("device_code")) {
            EXPECT_EQ(0x1234, r.read(2));
        }
    }
}

TEST(CfiFlash, SectorSizesFollowKindAndChannel)
{
    hlvdsim::CfiKind c3a, c3b, c3a4, j3, amd2a, amd2b, amd4b;
    c3b.channel = 1;
    c3a4.sizeCode = 0x16;
    j3.commandSet = 1;
    amd2a.commandSet = amd2b.commandSet = amd4b.commandSet = 2;
    amd2b.channel = amd4b.channel = 1;
    amd4b.sizeCode = 0x16;
    const struct {
        const char *what;
        hlvdsim::CfiKind kind;
        uint32_t addr, start, size;
    } cases[] = {
        {"C3 2MB A low", c3a, 0x12345, 0x10000, 0x10000},
        {"C3 2MB A top", c3a, 0x1F3000, 0x1F2000, 0x2000},
        {"C3 2MB B top", c3b, 0x1FFFFE, 0x1FE000, 0x2000},
        {"C3 4MB A top", c3a4, 0x1F3000, 0x1F0000, 0x10000},
        {"J3", j3, 0x1F3000, 0x1E0000, 0x20000},
        {"AMD 2 A", amd2a, 0x1E9000, 0x1E0000, 0x10000},
        {"AMD 2 B sector 30", amd2b, 0x1E1000, 0x1E0000, 0x8000},
        {"AMD 2 B sector 31", amd2b, 0x1E8002, 0x1E8000, 0x2000},
        {"AMD 2 B sector 32", amd2b, 0x1EA000, 0x1EA000, 0x2000},
        {"AMD 2 B sector 33", amd2b, 0x1EFFFE, 0x1EC000, 0x4000},
        {"AMD 2 B sector 34", amd2b, 0x1F8000, 0x1F0000, 0x10000},
        {"AMD 4 B top", amd4b, 0x1F5000, 0x1F4000, 0x2000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        uint32_t start = 0, size = 0;
        hlvdsim::cfi_sector(c.kind, c.addr, &start, &size);
        EXPECT_EQ(c.start, start);
        EXPECT_EQ(c.size, size);
    }
}

TEST(CfiFlash, ErasingThroughTheRegistersClearsExactlyItsSector)
{
    // Channel B (board 1) of an AMD type-2 chip: sector 31 is 8 KB.
    hlvdtest::SimHost host(machine(kAmd2));
    Regs r{host.root(), 1};
    ASSERT_NE(0, r.own());
    for (uint32_t a : {0x1E7FFEu, 0x1E8000u, 0x1E9FFEu, 0x1EA000u})
        r.amd_program(a, 0x0000);
    r.amd_erase(0x1E8000);
    EXPECT_EQ(0x0000, r.read(0x1E7FFE));
    EXPECT_EQ(0xFFFF, r.read(0x1E8000));
    EXPECT_EQ(0xFFFF, r.read(0x1E9FFE));
    EXPECT_EQ(0x0000, r.read(0x1EA000));
}

TEST(CfiFlash, ProgramOnlyClearsBits)
{
    for (const json &chip : {kC3, kAmd4}) {
        SCOPED_TRACE(chip.dump());
        hlvdtest::SimHost host(machine(chip));
        Regs r{host.root(), 0};
        ASSERT_NE(0, r.own());
        bool amd = chip.contains("command_set");
        for (uint16_t v : {0x12F4, 0xFF0F}) {
            if (amd) {
                r.amd_program(0x100, v);
            } else {
                r.cmd(0, 0x40);
                r.cmd(0x100, v);
                EXPECT_EQ(0x80, r.read(0) & 0xB0) << "status after program";
            }
        }
        r.cmd(0, amd ? 0xF0 : 0xFF);
        EXPECT_EQ(0x1204, r.read(0x100));
    }
}

TEST(CfiFlash, J3LockedBlocksRefuseErase)
{
    hlvdtest::SimHost host(machine(kJ3));
    Regs r{host.root(), 0};
    ASSERT_NE(0, r.own());
    r.cmd(0x20000, 0x40);
    r.cmd(0x20000, 0x0000);
    r.cmd(0x20000, 0x60);
    r.cmd(0x20000, 0x01);
    r.cmd(0x20000, 0x20);
    r.cmd(0x20000, 0xD0);
    EXPECT_EQ(0x20, r.read(0x20000) & 0x20);
    r.cmd(0, 0xFF);
    EXPECT_EQ(0x0000, r.read(0x20000));
    // Clearing all lock bits lets it go.
    r.cmd(0, 0x50);
    r.cmd(0, 0x60);
    r.cmd(0, 0xD0);
    r.cmd(0x20000, 0x20);
    r.cmd(0x20000, 0xD0);
    EXPECT_EQ(0x80, r.read(0x20000) & 0xA0);
    r.cmd(0, 0xFF);
    EXPECT_EQ(0xFFFF, r.read(0x20000));
    // The lock state is part of the release's summary.
    r.cmd(0x40000, 0x60);
    r.cmd(0x40000, 0x01);
    r.wr(100, 0);
    json last = hlvdsim::log_read(host.root()).back();
    EXPECT_EQ(json::array({0x40000}), last["flash"]["locked"]);
}

TEST(CfiFlash, AmdDataPollingShowsTheDataBit)
{
    const struct {
        uint16_t data;
        bool fault;
    } cases[] = {{0x0080, false}, {0x0012, false}, {0x0012, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.data) + (c.fault ? " fault" : ""));
        json faults = c.fault ? json{{"program_error_at", 0x2000}} : json::object();
        hlvdtest::SimHost host(machine(with_faults(kAmd4, faults)));
        Regs r{host.root(), 0};
        ASSERT_NE(0, r.own());
        r.amd_program(0x2000, c.data);
        long w = r.read(0x2000);
        EXPECT_EQ(!c.fault, (w & 0x80) == (c.data & 0x80));
    }
}

TEST(CfiFlash, PlannedFaultsShowInStatusAndReads)
{
    const struct {
        const char *what;
        json faults;
        int op; // 0 status only, 1 erase at 0x30000, 2 program at 0x30004
        long expect_mask, expect;
    } cases[] = {
        {"ready", json::object(), 0, 0x80, 0x80},
        {"never ready", {{"never_ready", true}}, 0, 0x80, 0},
        {"never valid", {{"never_valid", true}}, 0, -1, -1},
        {"erase error", {{"erase_error_at", 0x30000}}, 1, 0xA0, 0xA0},
        {"erase elsewhere", {{"erase_error_at", 0x50000}}, 1, 0xA0, 0x80},
        {"program error", {{"program_error_at", 0x30004}}, 2, 0x90, 0x90},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        hlvdtest::SimHost host(machine(with_faults(kC3, c.faults)));
        Regs r{host.root(), 0};
        ASSERT_NE(0, r.own());
        if (c.op == 1) {
            r.cmd(0x30000, 0x20);
            r.cmd(0x30000, 0xD0);
        } else if (c.op == 2) {
            r.cmd(0, 0x40);
            r.cmd(0x30004, 0x1234);
        }
        long s = r.status();
        EXPECT_EQ(c.expect, c.expect_mask < 0 ? s : (s & c.expect_mask));
    }
}

TEST(CfiFlash, ContentsPersistAfterReleaseWithASummary)
{
    for (uint32_t handBack : {0u, 5u}) {
        SCOPED_TRACE(handBack);
        hlvdtest::SimHost host(machine(kC3));
        Regs r{host.root(), 0};
        ASSERT_NE(0, r.own());
        r.cmd(0x10000, 0x60);
        r.cmd(0x10000, 0xD0);
        r.cmd(0x10000, 0x20);
        r.cmd(0x10000, 0xD0);
        for (uint32_t a = 0x10000; a < 0x10008; a += 2) {
            r.cmd(0x10000, 0x40);
            r.cmd(a, 0xA500 | a);
        }
        r.wr(100, handBack);
        json s = hlvdsim::log_read(host.root()).back()["flash"];
        EXPECT_EQ(0x02u, r.rd(100) & 0x02);
        EXPECT_EQ(1, s["requests"]);
        EXPECT_EQ(1, s["grants"]);
        EXPECT_EQ(handBack == 0 ? 1 : 0, s["releases"]);
        EXPECT_EQ(handBack == 5 ? 1 : 0, s["hand_backs"]);
        EXPECT_EQ(json::array({json::array({0x10000, 0x10000})}), s["erased"]);
        EXPECT_EQ(json::array({json::array({0x10000, 0x10008})}), s["programmed"]);
        EXPECT_EQ(4, s["commands"]["0x40"]);
        EXPECT_TRUE(hlvdtest::file_exists(hlvdsim::cfi_chip_path(host.root(), 4, 0)));
        // Released, the chip is read back from its file.
        EXPECT_EQ(-1, r.read(0x10000));
        ASSERT_NE(0, r.own());
        r.cmd(0, 0xFF);
        EXPECT_EQ(0xA504, r.read(0x10004));
        r.wr(100, 0);
    }
}

TEST(CfiFlash, DumpOfConfigRegionsReadsTheChip)
{
    hlvdtest::SimHost host(machine(kC3));
    uint8_t before[60] = {}, after[60] = {};
    uint32_t n = sizeof before;
    ASSERT_EQ(0, hlvdsim::fc_dump_region(host.root(), 0, 2, 4, 0, before, &n));
    ASSERT_EQ(60u, n);
    // Seeded from the function's own wakeup region.
    json st = hlvdsim::fc_state(host.root(), 0);
    std::string hex = st["regions"]["4"]["data"];
    EXPECT_EQ(std::strtoul(hex.substr(0, 2).c_str(), nullptr, 16), before[0]);

    Regs r{host.root(), 0};
    ASSERT_NE(0, r.own());
    r.cmd(0x1E4000, 0x60);
    r.cmd(0x1E4000, 0xD0);
    r.cmd(0x1E4000, 0x20);
    r.cmd(0x1E4000, 0xD0);
    r.cmd(0, 0x40);
    r.cmd(0x1E4000, 0x1234);
    r.wr(100, 0);
    n = sizeof after;
    ASSERT_EQ(0, hlvdsim::fc_dump_region(host.root(), 0, 2, 4, 0, after, &n));
    EXPECT_EQ(0x12, after[0]);
    EXPECT_EQ(0x34, after[1]);
    EXPECT_EQ(0xFF, after[2]);
}

} // namespace
