// Flash with file given a discovery file edited to hurt the reader: the call
// refuses it as corrupt, flashes nothing and leaves the file as it was, so
// the host can still see what it gave.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "flash/ovnflashlib.h"
#include "flashfront_fixture.h"

using fronttest::device_at;
using fronttest::make_ufi;
using fronttest::read_devices;
using fronttest::write_devices;
using hlvdtest::read_file;
using hlvdtest::write_file;

namespace {

const int kCorrupt = 10010;

class HostileFlash : public ::testing::Test {
protected:
    hlvdtest::SimHost host;
    std::string images = host.path("/images");
    std::string xml = host.path("/discovery.xml");

    void SetUp() override
    {
        ASSERT_EQ(0, mkdir(images.c_str(), 0755));
        make_ufi(images + "/aw3.ufi", 3, "10.4.100.1");
    }
    void TearDown() override { oem_text_for_error_code(0); }

    int flash() { return oem_do_flash_with_file(xml.c_str(), images.c_str()); }

    // Firmware writes sent since the log was last cleared.
    int writes()
    {
        int n = 0;
        for (const fronttest::json &e : fronttest::command_log(host))
            if (e.value("kind", "") == "fw" && e["subsystem"] == 1 && e["opcode"] == 7)
                ++n;
        return n;
    }

    // A real discovery with one item to upgrade, whose message holds `text`.
    std::string discovered_with(const std::string &text)
    {
        std::vector<DiscoveredDevice> devices = fronttest::discover(xml, images);
        for (DiscoveredDevice &d : devices)
            d.firmware.action = "skip";
        DiscoveredDevice *aw3 = device_at(devices, 4);
        EXPECT_NE(nullptr, aw3);
        if (aw3) {
            aw3->firmware.action = "upgrade";
            aw3->firmware.message = "see @MARK@ note";
        }
        write_devices(xml, devices);
        std::string file = read_file(xml);
        size_t at = file.find("<message value=\"see @MARK@ note\"/>");
        EXPECT_NE(std::string::npos, at);
        file.replace(file.find("@MARK@"), 6, text);
        return file;
    }
};

TEST_F(HostileFlash, NulReferenceIsRefusedTwiceThenTheRepairedFileFlashes)
{
    const std::string hostile = discovered_with("&#0;");
    write_file(xml, hostile);
    hlvdsim::log_clear(host.root());
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(kCorrupt, flash()) << "round " << round;
        EXPECT_EQ(hostile, read_file(xml));
    }
    EXPECT_EQ(0, writes());

    // The same file with a character in its place flashes, and the result it
    // writes back reads again.
    std::string repaired = hostile;
    repaired.replace(repaired.find("&#0;"), 4, "&#65;");
    write_file(xml, repaired);
    int rc = flash();
    EXPECT_TRUE(rc == 0 || rc == 1) << rc;
    EXPECT_GT(writes(), 0);
    std::vector<DiscoveredDevice> after = read_devices(xml);
    DiscoveredDevice *aw3 = device_at(after, 4);
    ASSERT_NE(nullptr, aw3);
    EXPECT_EQ("see A note", aw3->firmware.message);
    EXPECT_EQ(std::to_string(rc), aw3->firmware.action_status);
    rc = flash();
    EXPECT_NE(kCorrupt, rc);
    EXPECT_NE(10011, rc);
}

TEST_F(HostileFlash, DeepNestingAndHugeFilesAreRefused)
{
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    write_file(xml, deep);
    EXPECT_EQ(kCorrupt, flash());
    EXPECT_EQ(deep, read_file(xml));

    // Nested one level below the format's leaves, in a real discovery file.
    std::string text = discovered_with("x");
    text.replace(text.find("<message value="), 0, "<message><x/></message>");
    write_file(xml, text);
    hlvdsim::log_clear(host.root());
    EXPECT_EQ(kCorrupt, flash());
    EXPECT_EQ(text, read_file(xml));
    EXPECT_EQ(0, writes());

    // Past the size bound: refused before it is read.
    ASSERT_EQ(0, truncate(xml.c_str(), static_cast<off_t>(64) << 20));
    EXPECT_EQ(kCorrupt, flash());
}

} // namespace
