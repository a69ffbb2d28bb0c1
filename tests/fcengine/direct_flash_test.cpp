// Direct flash programming through the register window, on simulated FC
// functions with a flash chip: chip identification and sector geometry, the
// programmed contents, refused images, the kept configuration regions and
// the faults of a chip that does not answer.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "fc_fixture.h"
#include "hba/config_regions.h"
#include "hba/direct_flash.h"
#include "sim/cfi_flash.h"
#include "support/sim_host.h"

namespace {

using fctest::json;
using Runs = std::vector<std::pair<uint32_t, uint32_t>>; // count, size

const uint32_t K = 1024;
const uint32_t kImageBytes = 16 * K;

struct ChipKind {
    const char *name;
    unsigned maker;
    unsigned commandSet;
    unsigned sizeCode;
    unsigned channel; // also the function number
    Runs sectors;     // the erased sectors, as runs from address 0
};

// An HBA of two functions; `fn` gets a chip of the given description.
std::string machine_with_chip(unsigned fn, const json &chip, const json &regions = json())
{
    json hba = fctest::sli3_hba("a", 0x10, 2);
    hba["functions"][fn]["fc"] = {{"cfi_flash", chip}};
    if (!regions.is_null())
        hba["functions"][fn]["fc"]["regions"] = regions;
    return fctest::machine({hba});
}

json chip_of(const ChipKind &k, const json &faults = json())
{
    json c = {{"manufacturer", k.maker}, {"command_set", k.commandSet}, {"size_code", k.sizeCode}};
    if (!faults.is_null())
        c["faults"] = faults;
    return c;
}

// A raw image: the eight vectors, a zero ninth word, then a pattern.
std::vector<uint8_t> image_bytes(size_t size)
{
    std::vector<uint8_t> b(size);
    for (size_t i = 0; i < size; ++i)
        b[i] = static_cast<uint8_t>((i * 7 + (i >> 9)) & 0xFF);
    const uint8_t vector[4] = {0xE5, 0x9F, 0xF3, 0xF8};
    for (size_t w = 0; w < 9 && 4 * w + 3 < size; ++w)
        for (size_t j = 0; j < 4; ++j)
            b[4 * w + j] = w < 8 ? vector[j] : 0;
    return b;
}

std::string write_image(const fctest::FcHost &host, const std::vector<uint8_t> &bytes)
{
    const std::string path = host.root() + "/image.bin";
    hlvdtest::write_file(path, std::string(bytes.begin(), bytes.end()));
    return path;
}

// The chip as the simulator stored it after the last release.
std::vector<uint8_t> chip_bytes(const fctest::FcHost &host, unsigned fn, const json &desc, uint32_t size)
{
    hlvdsim::CfiChip chip;
    std::vector<uint8_t> out(size);
    if (!hlvdsim::cfi_configure(desc, static_cast<int>(fn), chip, nullptr) ||
        !hlvdsim::cfi_load(hlvdsim::cfi_chip_path(host.root(), 0, fn), chip)) {
        ADD_FAILURE() << "no stored chip";
        return out;
    }
    hlvdsim::cfi_get_bytes(chip, 0, out.data(), size);
    return out;
}

// The ownership writes (register 100) in order, and the chip summaries.
std::vector<long> ownership_writes(const fctest::FcHost &host)
{
    std::vector<long> v;
    for (const json &e : host.calls("WriteCtlReg"))
        if (e["args"].size() > 1 && e["args"][0] == FLASH_REG_OWNERSHIP)
            v.push_back(e["args"][1].get<long>());
    return v;
}

json merged_summary(const fctest::FcHost &host)
{
    json all = {{"erased", json::array()}, {"locked", json::array()}, {"hand_backs", 0}};
    for (const json &e : host.calls("WriteCtlReg")) {
        if (!e.contains("flash"))
            continue;
        for (const json &s : e["flash"]["erased"])
            all["erased"].push_back(s);
        all["locked"] = e["flash"]["locked"];
        all["hand_backs"] = all["hand_backs"].get<int>() + e["flash"]["hand_backs"].get<int>();
    }
    return all;
}

json expected_erased(const Runs &runs)
{
    json out = json::array();
    uint32_t at = 0;
    for (const auto &r : runs)
        for (uint32_t i = 0; i < r.first; ++i) {
            out.push_back({at, r.second});
            at += r.second;
        }
    return out;
}

// Ends with the flash released: the last ownership write is 0.
void expect_released(const fctest::FcHost &host)
{
    const std::vector<long> w = ownership_writes(host);
    ASSERT_FALSE(w.empty());
    EXPECT_EQ(w.front(), static_cast<long>(FLASH_OWNERSHIP_REQUEST));
    EXPECT_EQ(w.back(), static_cast<long>(FLASH_OWNERSHIP_RELEASE));
}

class DirectFlash : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("HLVD_NO_SLEEP", "1", 1);
        g_save_cfg_flag = 0;
    }
    void TearDown() override { g_save_cfg_flag = 0; }
};

const ChipKind kKinds[] = {
    {"amd-2mb-A", 0x00, 2, 0x15, 0, {{32, 64 * K}}},
    {"amd-2mb-B", 0x00, 2, 0x15, 1, {{30, 64 * K}, {1, 32 * K}, {2, 8 * K}, {1, 16 * K}, {1, 64 * K}}},
    {"amd-4mb-A", 0x00, 2, 0x16, 0, {{32, 64 * K}}},
    {"amd-4mb-B", 0x00, 2, 0x16, 1, {{31, 64 * K}, {8, 8 * K}}},
    {"c3-2mb-A", 0x89, 3, 0x15, 0, {{31, 64 * K}, {8, 8 * K}}},
    {"c3-2mb-B-stmicro", 0x20, 3, 0x15, 1, {{31, 64 * K}, {8, 8 * K}}},
    {"c3-4mb-A", 0x89, 3, 0x16, 0, {{32, 64 * K}}},
    {"c3-4mb-B", 0x89, 3, 0x16, 1, {{31, 64 * K}, {8, 8 * K}}},
    {"j3-A", 0x89, 1, 0x16, 0, {{16, 128 * K}}},
    {"j3-B", 0x89, 1, 0x17, 1, {{16, 128 * K}}},
};

// Each kind: the erased sectors follow the device and the channel, the chip
// holds the image from offset 0, the flash is released, and a J3 chip ends
// with every block but the last two locked.
TEST_F(DirectFlash, DownloadsOnEveryChipKind)
{
    const std::vector<uint8_t> image = image_bytes(kImageBytes);
    for (const ChipKind &k : kKinds) {
        SCOPED_TRACE(k.name);
        const json desc = chip_of(k);
        fctest::FcHost host(machine_with_chip(k.channel, desc));
        const int board = host.board(0x10, k.channel);
        const std::string path = write_image(host, image);
        host.clear_log();

        EXPECT_EQ(PciInterfaceDownload(board, 0x1234, 0, k.channel, path.c_str()), 0);
        const json s = merged_summary(host);
        EXPECT_EQ(s["erased"], expected_erased(k.sectors));
        expect_released(host);
        std::vector<uint8_t> chip = chip_bytes(host, k.channel, desc, 2 * 1024 * K);
        EXPECT_TRUE(std::equal(image.begin(), image.end(), chip.begin()));
        EXPECT_EQ(chip[kImageBytes], 0xFF);
        json locked = json::array();
        if (k.commandSet == 1)
            for (uint32_t b = 0; b < 14; ++b)
                locked.push_back(b * 128 * K);
        EXPECT_EQ(s["locked"], locked);
    }
}

// A chip outside the device table is refused before anything is erased,
// with the flash released.
TEST_F(DirectFlash, UnknownChipsRefused)
{
    const ChipKind unknown[] = {
        {"amd-size-0x17", 0x00, 2, 0x17, 0, {}},
        {"command-set-4", 0x89, 4, 0x15, 0, {}},
        {"maker-0x01", 0x01, 3, 0x15, 0, {}},
    };
    const std::vector<uint8_t> image = image_bytes(kImageBytes);
    for (const ChipKind &k : unknown) {
        SCOPED_TRACE(k.name);
        fctest::FcHost host(machine_with_chip(0, chip_of(k)));
        const std::string path = write_image(host, image);
        host.clear_log();
        EXPECT_EQ(PciInterfaceDownload(host.board(0x10, 0), 0, 0, 0, path.c_str()), 1);
        EXPECT_TRUE(merged_summary(host)["erased"].empty());
        expect_released(host);
    }
}

// Images refused before the flash is asked for, and an odd length that ends
// the program pass with the flash handed back.
TEST_F(DirectFlash, ImageChecks)
{
    const ChipKind c3 = kKinds[4];
    struct Case {
        const char *name;
        size_t size;
        size_t badByte; // 0: none
        bool asksFlash;
    } cases[] = {
        {"ninth word not 0", kImageBytes, 35, false},
        {"bad vector word", kImageBytes, 13, false},
        {"shorter than the vectors", 20, 0, false},
        {"odd length", kImageBytes + 1, 0, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const json desc = chip_of(c3);
        fctest::FcHost host(machine_with_chip(0, desc));
        std::vector<uint8_t> image = image_bytes(c.size);
        if (c.badByte)
            image[c.badByte] ^= 0x01;
        const std::string path = write_image(host, image);
        host.clear_log();
        EXPECT_EQ(PciInterfaceDownload(host.board(0x10, 0), 0, 0, 0, path.c_str()), 1);
        if (!c.asksFlash) {
            EXPECT_TRUE(host.calls("WriteCtlReg").empty());
            continue;
        }
        const std::vector<long> w = ownership_writes(host);
        ASSERT_GE(w.size(), 2u);
        EXPECT_EQ(w[w.size() - 2], static_cast<long>(FLASH_OWNERSHIP_HAND_BACK));
        expect_released(host);
        std::vector<uint8_t> chip = chip_bytes(host, 0, desc, kImageBytes + 2);
        EXPECT_TRUE(std::equal(image.begin(), image.end() - 1, chip.begin()));
    }
    EXPECT_EQ(PciInterfaceDownload(0, 0, 0, 0, "/nonexistent/image.bin"), 1);
}

} // namespace

namespace {

// Standard input holds a 'c' that must still be there after the download.
class ConsoleGuard {
public:
    ConsoleGuard()
    {
        int p[2];
        if (pipe(p) != 0)
            return;
        saved_ = dup(0);
        dup2(p[0], 0);
        close(p[0]);
        writer_ = p[1];
        (void)!write(writer_, "c\n", 2);
    }
    ~ConsoleGuard()
    {
        if (saved_ >= 0) {
            dup2(saved_, 0);
            close(saved_);
        }
        if (writer_ >= 0)
            close(writer_);
    }
    bool untouched() const
    {
        int n = 0;
        struct pollfd p = {0, POLLIN, 0};
        if (poll(&p, 1, 0) != 1)
            return false;
        char b[4];
        n = static_cast<int>(read(0, b, sizeof b));
        return n == 2 && b[0] == 'c';
    }

private:
    int saved_ = -1;
    int writer_ = -1;
};

// A chip that does not answer ends the download with a failure within a
// bounded time, the flash released, and the console never read.
TEST_F(DirectFlash, FaultsEndTheDownload)
{
    struct Case {
        const char *name;
        ChipKind kind;
        json faults;
        bool handBack;
    } cases[] = {
        {"never granted", kKinds[4], {{"grant_reads", -1}}, false},
        {"c3 never ready", kKinds[4], {{"never_ready", true}}, true},
        {"j3 never ready", kKinds[8], {{"never_ready", true}}, true},
        {"valid bit never set", kKinds[4], {{"never_valid", true}}, true},
        {"c3 erase error", kKinds[4], {{"erase_error_at", 0x30000}}, false},
        {"c3 program error", kKinds[4], {{"program_error_at", 0x100}}, false},
        {"j3 program error", kKinds[8], {{"program_error_at", 0x2000}}, false},
    };
    const std::vector<uint8_t> image = image_bytes(kImageBytes);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const json desc = chip_of(c.kind, c.faults);
        fctest::FcHost host(machine_with_chip(c.kind.channel, desc));
        const std::string path = write_image(host, image);
        host.clear_log();
        ConsoleGuard console;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_NE(PciInterfaceDownload(host.board(0x10, c.kind.channel), 0, 0, c.kind.channel, path.c_str()), 0);
        const auto seconds =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 120);
        EXPECT_TRUE(console.untouched());
        const std::vector<long> w = ownership_writes(host);
        ASSERT_FALSE(w.empty());
        EXPECT_EQ(w.back(), static_cast<long>(FLASH_OWNERSHIP_RELEASE));
        // A wait that gave up handed the flash back before the release.
        if (c.handBack) {
            EXPECT_GE(merged_summary(host)["hand_backs"].get<int>(), 1);
        }
    }
}

} // namespace

namespace {

const uint32_t kRegionBytes = 4096;
const uint32_t kRegions = 32;

std::vector<uint8_t> region_data(uint32_t n)
{
    std::vector<uint8_t> d(kRegionBytes);
    for (uint32_t i = 0; i < kRegionBytes; ++i)
        d[i] = static_cast<uint8_t>(n * 31 + i * 3 + 1);
    return d;
}

json all_regions()
{
    static const char digits[] = "0123456789abcdef";
    json regions = json::object();
    for (uint32_t n = 0; n < kRegions; ++n) {
        std::string hex;
        for (uint8_t b : region_data(n)) {
            hex += digits[b >> 4];
            hex += digits[b & 0xF];
        }
        regions[std::to_string(n)] = {{"data", hex}, {"recreate", false}};
    }
    return regions;
}

// "save_cfg.cfg" is written in the working directory: the test's sysroot.
class KeepRegions : public DirectFlash {
protected:
    void SetUp() override
    {
        DirectFlash::SetUp();
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        cwd_ = cwd;
    }
    void TearDown() override
    {
        if (!cwd_.empty()) {
            EXPECT_EQ(chdir(cwd_.c_str()), 0);
        }
        DirectFlash::TearDown();
    }
    std::string cwd_;
};

// The regions survive the rewrite, all but the wakeup region, which the
// image gives; the dump reads every region back as the chip holds it.
TEST_F(KeepRegions, RegionsKeptAndWakeupFromImage)
{
    const ChipKind amd = kKinds[0];
    const json desc = chip_of(amd);
    fctest::FcHost host(machine_with_chip(0, desc, all_regions()));
    const int board = host.board(0x10, 0);
    const std::vector<uint8_t> image = image_bytes(CFG_WAKEUP_END);
    const std::string path = write_image(host, image);
    ASSERT_EQ(chdir(host.root().c_str()), 0);
    host.clear_log();
    g_save_cfg_flag = 1;

    EXPECT_EQ(PciInterfaceDownload(board, 0, 0, 0, path.c_str()), 0);
    expect_released(host);
    const std::vector<uint8_t> chip = chip_bytes(host, 0, desc, CFG_REGIONS_END);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + CFG_REGIONS_START, chip.begin()));
    for (uint32_t n = 0; n < kRegions; ++n) {
        SCOPED_TRACE(n);
        const uint32_t at = CFG_REGIONS_START + n * kRegionBytes;
        const std::vector<uint8_t> want =
            at == CFG_WAKEUP_START ? std::vector<uint8_t>(image.begin() + at, image.begin() + at + kRegionBytes)
                                   : region_data(n);
        EXPECT_TRUE(std::equal(want.begin(), want.end(), chip.begin() + at));
        // Reading a region back through the adapter is slow under emulation:
        // the first, the wakeup and the last region show that road.
        if (n != 0 && at != CFG_WAKEUP_START && n != kRegions - 1)
            continue;
        std::vector<uint8_t> dumped(kRegionBytes);
        uint32_t read = 0;
        ASSERT_EQ(DumpConfigurationData(board, dumped.data(), static_cast<int>(n), kRegionBytes / 4, 0, &read), 0);
        EXPECT_EQ(read, kRegionBytes);
        EXPECT_EQ(dumped, want);
    }
    EXPECT_EQ(hlvdtest::read_file(host.root() + "/save_cfg.cfg").size(), CFG_REGIONS_END - CFG_REGIONS_START);
}

// A save that cannot be written stops the download before the erase.
TEST_F(KeepRegions, FailedSaveStopsBeforeErase)
{
    const json desc = chip_of(kKinds[4]);
    fctest::FcHost host(machine_with_chip(0, desc, all_regions()));
    const std::string path = write_image(host, image_bytes(kImageBytes));
    ASSERT_EQ(chdir(host.root().c_str()), 0);
    ASSERT_EQ(mkdir("save_cfg.cfg", 0755), 0);
    host.clear_log();
    g_save_cfg_flag = 1;

    EXPECT_NE(PciInterfaceDownload(host.board(0x10, 0), 0, 0, 0, path.c_str()), 0);
    EXPECT_TRUE(merged_summary(host)["erased"].empty());
    expect_released(host);
    EXPECT_EQ(chip_bytes(host, 0, desc, kImageBytes)[100], 0xFF);
}

} // namespace
