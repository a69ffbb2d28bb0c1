// The whole road through the exported calls on simulated machines: discovery
// proposes, flash with file flashes down to the simulated adapters of every
// converged generation and writes the results back, a reboot activates the
// new firmware; the firmware's and the management library's answers reach
// the host as exported codes; one function is flashed by its PCI address and
// an adapter's flash is dumped to a file.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "flash/ovnflashlib.h"
#include "flashfront_fixture.h"
#include "sim/fault_plan.h"
#include "sim/flash_model.h"
#include "sim/machine.h"
#include "sim/prg_generator.h"

using fronttest::DebugLog;
using fronttest::device_at;
using fronttest::json;
using fronttest::make_ufi;
using fronttest::read_devices;
using fronttest::write_devices;
using hlvdtest::file_exists;
using hlvdtest::read_file;

namespace {

std::vector<uint8_t> bytes_of(const std::string &path)
{
    std::string s = read_file(path);
    return std::vector<uint8_t>(s.begin(), s.end());
}

uint32_t le32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// The flash an image leaves on a fresh adapter of its generation: every
// component at its place, zeros elsewhere. Trelmont adapters running 11.x
// firmware take components at their directory offsets.
std::vector<uint8_t> expected_flash(const std::vector<uint8_t> &image, int generation)
{
    std::vector<uint8_t> flash(hlvdsim::kFlashSize, 0);
    auto place = [&](uint64_t from, uint32_t to, uint32_t len) {
        ASSERT_LE(from + len, image.size());
        ASSERT_LE(uint64_t(to) + len, flash.size());
        std::memcpy(&flash[to], &image[from], len);
    };
    if (generation == 2) {
        for (const hlvdsim::UfiAw2Region &r : hlvdsim::kUfiAw2Regions)
            place(96 + r.flash_offset, r.flash_offset, r.length);
        return flash;
    }
    const uint32_t H = 128 + 48 * le32(&image[68]);
    uint64_t dir = H;
    while (dir + 2240 <= image.size() && std::memcmp(&image[dir], "*** TQ FLAS", 11) != 0)
        dir += 32;
    if (dir + 2240 > image.size()) {
        ADD_FAILURE() << "no directory in the image";
        return flash;
    }
    const uint32_t count = le32(&image[dir + 44]);
    for (uint32_t i = 0; i < count && i < 32; ++i) {
        const uint8_t *e = &image[dir + 192 + 64 * i];
        uint32_t type = le32(e), offset = le32(e + 4), size = le32(e + 8);
        if (generation == 3) {
            for (const hlvdsim::UfiAw3Component &c : hlvdsim::kUfiAw3Components)
                if (c.entry_type == type)
                    place(H + c.offset, c.offset, c.size);
        } else {
            place(H + offset, offset, size);
        }
    }
    return flash;
}

class EndToEnd : public ::testing::Test {
protected:
    hlvdtest::SimHost host;
    std::string images = host.path("/images");
    std::string xml = host.path("/discovery.xml");

    void SetUp() override { ASSERT_EQ(0, mkdir(images.c_str(), 0755)); }
    void TearDown() override { oem_text_for_error_code(0); }

    std::vector<uint8_t> flash(const std::string &adapter) const
    {
        std::vector<uint8_t> out;
        EXPECT_TRUE(hlvdsim::flash_contents(host.root(), adapter, 0, hlvdsim::kFlashSize, out));
        return out;
    }
    const hlvdsim::Adapter *adapter(hlvdsim::Machine &m, const std::string &name) const
    {
        EXPECT_TRUE(hlvdsim::load_machine(host.root(), m, nullptr));
        for (const hlvdsim::Adapter &a : m.adapters)
            if (a.name == name)
                return &a;
        ADD_FAILURE() << "no adapter " << name;
        return nullptr;
    }
    std::string active(const std::string &name) const
    {
        hlvdsim::Machine m;
        const hlvdsim::Adapter *a = adapter(m, name);
        return a ? a->active_version : "";
    }
    std::string on_flash(const std::string &name) const
    {
        hlvdsim::Machine m;
        const hlvdsim::Adapter *a = adapter(m, name);
        return a ? a->flash_version : "";
    }
    void plan(int opcode, const char *kind, int status, int additional, int from, long length = 0) const
    {
        hlvdsim::FaultSpec f;
        f.subsystem = 1;
        f.opcode = opcode;
        f.kind = kind;
        f.status = status;
        f.additional_status = additional;
        f.from = from;
        f.length = length;
        std::string err;
        ASSERT_GT(hlvdsim::fault_add(host.root(), f, &err), 0) << err;
    }
    // Flash writes in the command log.
    size_t writes() const
    {
        size_t n = 0;
        for (const json &e : hlvdsim::log_read(host.root()))
            if (e.value("kind", "") == "fw" && e["subsystem"] == 1 && e["opcode"] == 7)
                ++n;
        return n;
    }
    int flash_with_file(const std::string &firmware) { return oem_do_flash_with_file(xml.c_str(), firmware.c_str()); }
};

struct Generation {
    const char *adapter;
    int generation;
    unsigned bus;
    const char *version;
};

const Generation kGenerations[] = {
    {"aw2", 2, 3, "4.2.500.1"},
    {"aw3", 3, 4, "10.2.400.1"},
    {"trelmont", 4, 5, "11.2.100.7"},
};

TEST_F(EndToEnd, EveryConvergedGenerationFromDiscoveryToReboot)
{
    std::vector<std::vector<uint8_t>> image_bytes;
    std::vector<std::string> before;
    for (const Generation &g : kGenerations) {
        std::string file = make_ufi(images + "/" + g.adapter + ".ufi", g.generation, g.version);
        image_bytes.push_back(bytes_of(file));
        before.push_back(active(g.adapter));
    }
    std::string varrow_before = active("varrow");

    // Discovery proposes an upgrade for each; the Varrow card takes no UFI.
    std::vector<DiscoveredDevice> proposed = fronttest::discover(xml, images);
    for (const Generation &g : kGenerations) {
        DiscoveredDevice *d = device_at(proposed, g.bus);
        ASSERT_NE(nullptr, d) << g.adapter;
        EXPECT_EQ("upgrade", d->firmware.action) << g.adapter;
        EXPECT_EQ(std::string(g.adapter) + ".ufi", d->firmware.firmware_file);
    }
    EXPECT_EQ("skip", device_at(proposed, 6)->firmware.action);

    DebugLog log(host.path("/debug.log"));
    EXPECT_EQ(1, flash_with_file(images));
    std::vector<DiscoveredDevice> after = read_devices(xml);
    ASSERT_EQ(proposed.size(), after.size());
    for (size_t i = 0; i < std::size(kGenerations); ++i) {
        const Generation &g = kGenerations[i];
        EXPECT_EQ("1", device_at(after, g.bus)->firmware.action_status) << g.adapter;
        EXPECT_TRUE(flash(g.adapter) == expected_flash(image_bytes[i], g.generation))
            << g.adapter << ": the flash holds the image's components and nothing else";
        EXPECT_EQ(g.version, on_flash(g.adapter));
        EXPECT_EQ(before[i], active(g.adapter)) << "active only after a reboot";
    }
    EXPECT_EQ("", device_at(after, 6)->firmware.action_status);
    EXPECT_TRUE(log.has("Download successfully completed. Please reboot the system to activate new firmware\n"));

    std::vector<std::string> rebooted;
    ASSERT_TRUE(hlvdsim::reboot_adapters(host.root(), "", &rebooted, nullptr));
    std::vector<DiscoveredDevice> again = fronttest::discover(xml, images);
    for (const Generation &g : kGenerations) {
        DiscoveredDevice *d = device_at(again, g.bus);
        ASSERT_NE(nullptr, d);
        EXPECT_EQ(g.version, d->firmware.active_version) << g.adapter;
        EXPECT_EQ("rewrite", d->firmware.action) << g.adapter;
    }
    EXPECT_EQ(varrow_before, device_at(again, 6)->firmware.active_version);
}

TEST_F(EndToEnd, TrelmontComponentsTheAdapterHoldsAreNotWrittenAgain)
{
    make_ufi(images + "/t.ufi", 4, "11.2.100.7");
    write_devices(xml, {fronttest::listed_device(0, 5, 0, 0, "t.ufi", "upgrade")});
    ASSERT_EQ(1, flash_with_file(images + "/t.ufi"));
    ASSERT_GT(writes(), 0u);
    // The same file again, before the reboot: every component's CRC matches.
    hlvdsim::log_clear(host.root());
    EXPECT_EQ(1, flash_with_file(images + "/t.ufi"));
    EXPECT_EQ(0u, writes()) << "no write command";
    EXPECT_EQ("1", read_devices(xml)[0].firmware.action_status);
}

TEST_F(EndToEnd, AnswersOfTheFirmwareReachTheHost)
{
    make_ufi(images + "/t.ufi", 4, "11.2.100.7");
    struct Case {
        const char *what;
        int opcode, status, additional, from;
        int result;
    } cases[] = {
        {"the read-back asks for a second download", 6, 3, 0, 1, 10014},
        {"signature missing", 7, 23, 87, 1, 10015},
        {"invalid signature", 7, 23, 86, 1, 10016},
        {"a write fails", 7, 2, 0, 2, 10012},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        hlvdsim::fault_clear(host.root());
        // A fresh flash each time, so every component differs.
        ASSERT_TRUE(hlvdsim::flash_program(host.root(), "trelmont", 0, std::vector<uint8_t>(0x10000, 0)));
        plan(c.opcode, "status", c.status, c.additional, c.from);
        write_devices(xml, {fronttest::listed_device(0, 5, 0, 0, "t.ufi", "upgrade"),
                            fronttest::listed_device(0, 5, 0, 1, "t.ufi", "upgrade")});
        EXPECT_EQ(c.result, flash_with_file(images));
        std::vector<DiscoveredDevice> after = read_devices(xml);
        ASSERT_EQ(2u, after.size());
        EXPECT_EQ(std::to_string(c.result), after[0].firmware.action_status);
        EXPECT_EQ(std::to_string(c.result), after[1].firmware.action_status) << "copied to the other function";
    }
}

TEST_F(EndToEnd, PowerLossHalfWayIsAFailureAndTheAdapterStillAnswers)
{
    std::string file = make_ufi(images + "/t.ufi", 4, "11.2.100.7");
    const std::string was = on_flash("trelmont");
    plan(7, "power-loss", 0, 0, 1, 1000); // the first component stops after 1000 bytes
    write_devices(xml, {fronttest::listed_device(0, 5, 0, 0, "t.ufi", "upgrade")});
    EXPECT_EQ(10012, flash_with_file(file));
    EXPECT_EQ("10012", read_devices(xml)[0].firmware.action_status);
    EXPECT_EQ(was, on_flash("trelmont")) << "an interrupted write changes no version";
    std::vector<uint8_t> cut = flash("trelmont");
    const uint32_t first = 0x1000, size = 0x4000; // the first component's place on the flash
    EXPECT_TRUE(std::all_of(cut.begin() + first + 1000, cut.begin() + first + size, [](uint8_t b) { return b == 0xFF; }))
        << "the write stopped half way";

    // The next discovery still works and still proposes the image.
    std::vector<DiscoveredDevice> again = fronttest::discover(xml, images);
    DiscoveredDevice *t = device_at(again, 5);
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(active("trelmont"), t->firmware.active_version);
    EXPECT_EQ("upgrade", t->firmware.action);
    // And the flash goes through now.
    EXPECT_EQ(1, flash_with_file(images));
    EXPECT_TRUE(flash("trelmont") == expected_flash(bytes_of(file), 4));
}

// The exported calls take only UFI images: an FC image file never reaches
// the FC engine's download paths, by discovery file or by PCI address.
TEST_F(EndToEnd, FcImageFilesNeverPassTheExportedCalls)
{
    std::string err;
    ASSERT_TRUE(hlvdsim::write_prg(hlvdsim::PrgRecipe(), images + "/fw.prg", &err)) << err;
    hlvdsim::log_clear(host.root());
    write_devices(xml, {fronttest::listed_device(0, 7, 0, 0, "fw.prg", "upgrade")});
    EXPECT_EQ(10007, flash_with_file(images));
    EXPECT_EQ("10007", read_devices(xml)[0].firmware.action_status);
    EXPECT_EQ(10007, oem_do_full_flash_PCI((images + "/fw.prg").c_str(), 0, 0, 7, 0, 0));
    for (const json &e : hlvdsim::log_read(host.root()))
        EXPECT_NE(0x1C, e.value("mbox", -1)) << "no download command reached the adapter: " << e.dump();
}

TEST_F(EndToEnd, FlashByPciAddressAppliesTheVersionRule)
{
    // The AW3 adapter runs 10.2.370.15; its iSCSI function is named.
    std::string newer = make_ufi(images + "/newer.ufi", 3, "10.2.400.1");
    std::string same = make_ufi(images + "/same.ufi", 3, "10.2.370.15");
    std::string older = make_ufi(images + "/older.ufi", 3, "10.0.100.1");
    struct Case {
        std::string file;
        int force;
        int result;
        const char *on_flash;
    } cases[] = {
        {same, 0, 2, "10.2.370.15"},
        {older, 0, 3, "10.2.370.15"},
        {newer, 0, 1, "10.2.400.1"},
        {older, 1, 1, "10.0.100.1"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.result, oem_do_full_flash_PCI(c.file.c_str(), c.force, 0, 4, 0, 2)) << c.file;
        EXPECT_EQ(c.on_flash, on_flash("aw3")) << c.file;
    }
    EXPECT_EQ(4, oem_do_full_flash_PCI(newer.c_str(), 1, 0, 4, 0, 7));
}

TEST_F(EndToEnd, PciDumpEqualsTheAdaptersFlashOrLeavesNoFile)
{
    std::vector<uint8_t> seed(5000);
    for (size_t i = 0; i < seed.size(); ++i)
        seed[i] = static_cast<uint8_t>(i * 7 + 1);
    ASSERT_TRUE(hlvdsim::flash_program(host.root(), "aw3", 64000 - 10, seed));
    std::string out = host.path("/dumps");
    ASSERT_EQ(0, mkdir(out.c_str(), 0755));
    std::string dump = out + "/aw3.bin";
    EXPECT_EQ(0, oem_get_full_flash_dump_PCI(dump.c_str(), 0, 0, 4, 0, 1));
    EXPECT_TRUE(bytes_of(dump) == flash("aw3"));

    // Half way through the dump the adapter stops answering: the old file
    // stays as it was and nothing else is left in the directory.
    hlvdtest::write_file(dump, "the dump of yesterday");
    plan(6, "status", 2, 0, 131);
    EXPECT_EQ(6, oem_get_full_flash_dump_PCI(dump.c_str(), 0, 0, 4, 0, 0));
    EXPECT_EQ("the dump of yesterday", read_file(dump));
    std::remove(dump.c_str());
    hlvdsim::fault_clear(host.root());
    plan(6, "status", 2, 0, 131);
    EXPECT_EQ(6, oem_get_full_flash_dump_PCI(dump.c_str(), 0, 0, 4, 0, 0));
    DIR *d = opendir(out.c_str());
    ASSERT_NE(nullptr, d);
    int entries = 0;
    while (dirent *e = readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            ++entries;
    closedir(d);
    EXPECT_EQ(0, entries) << "no partial file";

    // An FC function has no such dump; a directory is no dump file.
    EXPECT_EQ(6, oem_get_full_flash_dump_PCI((out + "/fc.bin").c_str(), 0, 0, 7, 0, 0));
    EXPECT_FALSE(file_exists(out + "/fc.bin"));
    EXPECT_EQ(6, oem_get_full_flash_dump_PCI(out.c_str(), 0, 0, 4, 0, 0));
}

} // namespace
