// Flash with file through oem_do_flash_with_file on simulated machines, in
// the cases that stop before a download: when the discovery file is
// rewritten and when it is left byte for byte as it was, and the file's own
// failures. The walk itself is tested in flash_walk_test.cpp.
#include <string>
#include <vector>

#include <csignal>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "flash/ovnflashlib.h"
#include "flashfront_fixture.h"

using fronttest::DebugLog;
using fronttest::device_at;
using fronttest::make_ufi;
using fronttest::read_devices;
using fronttest::write_devices;
using hlvdtest::read_file;
using hlvdtest::write_file;

namespace {

class FlashWithFile : public ::testing::Test {
protected:
    std::string images, xml;
    void prepare(const hlvdtest::SimHost &host)
    {
        images = host.path("/images");
        xml = host.path("/discovery.xml");
        ASSERT_EQ(0, mkdir(images.c_str(), 0755));
        make_ufi(images + "/aw3.ufi", 3, "10.2.370.15");
    }
    int flash(const std::string &firmware) { return oem_do_flash_with_file(xml.c_str(), firmware.c_str()); }
    void TearDown() override { oem_text_for_error_code(0); } // closes a log left open
};

TEST_F(FlashWithFile, RunThatAttemptsNothingLeavesTheFileByteIdentical)
{
    hlvdtest::SimHost host;
    prepare(host);
    std::vector<DiscoveredDevice> devices = fronttest::discover(xml, images);
    ASSERT_EQ("rewrite", device_at(devices, 4)->firmware.action);
    // The host declines every item, in its own spelling.
    for (DiscoveredDevice &d : devices)
        d.firmware.action = " Skip ";
    write_devices(xml, devices);
    std::string before = read_file(xml);
    struct stat st_before, st_after;
    ASSERT_EQ(0, stat(xml.c_str(), &st_before));
    EXPECT_EQ(0, flash(images));
    ASSERT_EQ(0, stat(xml.c_str(), &st_after));
    EXPECT_EQ(before, read_file(xml));
    EXPECT_EQ(st_before.st_ino, st_after.st_ino) << "the file was not replaced";
}

TEST_F(FlashWithFile, FileFromAnotherMachineGivesFourAndIsLeftAlone)
{
    hlvdtest::SimHost host;
    prepare(host);
    write_devices(xml, {fronttest::listed_device(0, 0x40, 0, 0, "aw3.ufi", "upgrade"),
                        fronttest::listed_device(0, 0x41, 0, 0, "aw3.ufi", "rewrite")});
    std::string before = read_file(xml);
    DebugLog log(host.path("/debug.log"));
    EXPECT_EQ(4, flash(images));
    EXPECT_EQ(before, read_file(xml));
    EXPECT_TRUE(log.has("pciBus = 0x40"));
    EXPECT_TRUE(log.has("pciBus = 0x41")) << "the walk goes on past the first device";
}

TEST_F(FlashWithFile, ResultIsWrittenBackWithTheNormalisedAction)
{
    hlvdtest::SimHost host;
    prepare(host);
    std::vector<DiscoveredDevice> devices = fronttest::discover(xml, images);
    for (DiscoveredDevice &d : devices)
        d.firmware.action = "skip";
    device_at(devices, 4)->firmware.action = " Upgrade ";
    write_devices(xml, devices);
    DebugLog log(host.path("/debug.log"));
    // Same version under "upgrade": 2 for the item, success for the call.
    EXPECT_EQ(0, flash(images + "/aw3.ufi"));
    std::vector<DiscoveredDevice> after = read_devices(xml);
    ASSERT_EQ(devices.size(), after.size());
    DiscoveredDevice *aw3 = device_at(after, 4);
    ASSERT_NE(nullptr, aw3);
    EXPECT_EQ("upgrade", aw3->firmware.action);
    EXPECT_EQ("2", aw3->firmware.action_status);
    // Everything else as it was written.
    device_at(devices, 4)->firmware.action = "upgrade";
    device_at(devices, 4)->firmware.action_status = "2";
    std::string expected = host.path("/expected.xml");
    write_devices(expected, devices);
    EXPECT_EQ(read_file(expected), read_file(xml));
    EXPECT_TRUE(log.has("FlashAdapter: The firmware version on the adapter is matching with firmware image " +
                        images + "/aw3.ufi. Skipping the firmware download.\n"));
    // The log was closed when the call returned.
    std::string text = log.text();
    oem_do_discovery_with_files(nullptr, nullptr);
    EXPECT_EQ(text, log.text());
}

TEST_F(FlashWithFile, FailedRewriteGivesTwelveAndKeepsTheFile)
{
    hlvdtest::SimHost host;
    prepare(host);
    std::vector<DiscoveredDevice> devices = fronttest::discover(xml, images);
    for (DiscoveredDevice &d : devices)
        d.firmware.action = "skip";
    device_at(devices, 4)->firmware.action = "upgrade";
    write_devices(xml, devices);
    std::string before = read_file(xml);
    // The new text cannot be written whole: the old file stays as it was and
    // no temporary file is left beside it.
    struct rlimit old_limit;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old_limit));
    struct rlimit small = old_limit;
    small.rlim_cur = before.size() / 2;
    std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    int rc = flash(images);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    EXPECT_EQ(12, rc);
    EXPECT_EQ(before, read_file(xml));
    std::vector<std::string> names;
    ASSERT_EQ(0, EnumerateDirectory(host.root().c_str(), names));
    for (const std::string &n : names)
        EXPECT_EQ(std::string::npos, n.find("discovery.xml.")) << n;
}

TEST_F(FlashWithFile, DiscoveryFilesThatCannotBeRead)
{
    hlvdtest::SimHost host;
    prepare(host);
    struct Case {
        const char *what;
        std::string text;
        int result;
        const char *line;
    } cases[] = {
        {"no devices", "<hl_rom_discovery/>", 10010,
         "oem_do_flash_with_file: xml parsing error. The operation failed with error 'type element  is not found. "
         "The discovery file is corrupted'\n"},
        {"not well-formed", "<hl_rom_discovery><devices>", 10011,
         "oem_do_flash_with_file: An unkown error occured. cannot parse the xml file.\n"},
    };
    for (const Case &c : cases) {
        write_file(xml, c.text);
        DebugLog log(host.path("/debug.log"));
        EXPECT_EQ(c.result, flash(images)) << c.what;
        EXPECT_TRUE(log.has(c.line)) << c.what << "\n" << log.text();
        EXPECT_EQ(c.text, read_file(xml)) << c.what;
    }
}

} // namespace
