// The flash-with-file walk over listed devices on a simulated machine, in the
// cases that stop before a download: which items are attempted and with what
// result, what the walk writes back into the list, and how it passes devices
// it cannot use. The walk runs on one adapter table per test; the exported
// call around it is tested in flash_with_file_test.cpp.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "discovery/discovery_fixture.h"
#include "flash/device_properties.h"
#include "flash/ovnflashlib.h"
#include "flashfront_fixture.h"

using fronttest::AdapterTable;
using fronttest::DebugLog;
using fronttest::make_ufi;

namespace {

class FlashWalkTest : public ::testing::Test {
protected:
    std::string images;

    void prepare(const hlvdtest::SimHost &host)
    {
        images = host.path("/images");
        ASSERT_EQ(0, mkdir(images.c_str(), 0755));
        for (const char *d : {"/same", "/newer", "/older", "/empty", "/dirnamed", "/cased"})
            ASSERT_EQ(0, mkdir((images + d).c_str(), 0755));
        make_ufi(images + "/same/aw3.ufi", 3, "10.2.370.15");
        make_ufi(images + "/newer/aw3.ufi", 3, "10.2.400.1");
        make_ufi(images + "/older/aw3.ufi", 3, "10.0.100.1");
        ASSERT_EQ(0, mkdir((images + "/dirnamed/aw3.ufi").c_str(), 0755));
        make_ufi(images + "/cased/AW3.ufi", 3, "10.2.370.15");
    }

    // A device as discovery lists it, with its firmware item asking for
    // `image` with `action`.
    static DiscoveredDevice listed(const AdapterTable &table, uint32_t seg, uint32_t bus, uint32_t fn,
                                   const std::string &image = "aw3.ufi", const std::string &action = "skip")
    {
        DiscoveredDevice d;
        EXPECT_EQ(0, GetDiscoveredAdapterProperty(table.index(seg, bus, 0, fn), d));
        d.product_id = "listed " + d.busnumber + "." + d.funcnumber;
        d.firmware.firmware_file = image;
        d.firmware.action = action;
        return d;
    }

    // Runs the walk over `devices` with the firmware path `firmware`.
    FlashWalk walk(std::vector<DiscoveredDevice> &devices, const std::string &firmware)
    {
        FlashWalk w;
        w.firmwarePath = firmware;
        Trim(w.firmwarePath);
        struct stat st;
        if (stat(firmware.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            w.directoryMode = true;
            EXPECT_EQ(0, EnumerateDirectory(firmware.c_str(), w.imageNames));
        }
        FlashListedDevices(devices, w);
        return w;
    }
};

TEST_F(FlashWalkTest, ItemsThatAreNotAttempted)
{
    hlvdtest::SimHost host;
    prepare(host);
    AdapterTable table;
    ASSERT_TRUE(table.built());
    make_ufi(images + "/other.ufi", 3, "10.2.370.15");
    struct Case {
        const char *what;
        const char *action;
        std::string firmware;
        const char *written; // the action as the walk leaves it
    } cases[] = {
        {"skip", "skip", images + "/same", "skip"},
        {"an unknown action", " Flash ", images + "/same", "flash"},
        {"no action", "", images + "/same", ""},
        {"a directory without the image", "rewrite", images + "/empty", "rewrite"},
        {"a directory entry that is a directory", "rewrite", images + "/dirnamed", "rewrite"},
        {"a name that differs in case", "Rewrite", images + "/cased", "rewrite"},
        {"a file of another name", "rewrite", images + "/other.ufi", "rewrite"},
        {"a file path with blanks around it", "skip", " " + images + "/same/aw3.ufi ", "skip"},
    };
    for (const Case &c : cases) {
        std::vector<DiscoveredDevice> devices = {listed(table, 0, 4, 0, "aw3.ufi", c.action)};
        FlashWalk w = walk(devices, c.firmware);
        EXPECT_FALSE(w.attempted) << c.what;
        EXPECT_EQ(0, w.status) << c.what;
        EXPECT_EQ("", devices[0].firmware.action_status) << c.what;
        EXPECT_EQ(c.written, devices[0].firmware.action) << c.what;
    }
}

TEST_F(FlashWalkTest, ResultsOfItemsThatNeedNoDownload)
{
    hlvdtest::SimHost host;
    prepare(host);
    AdapterTable table;
    ASSERT_TRUE(table.built());
    struct Case {
        const char *action;
        std::string firmware;
        int status;
        const char *written;
    } cases[] = {
        // Directory mode and file mode find the same image.
        {"upgrade", images + "/same", 0, "2"},
        {" Upgrade ", images + "/same/aw3.ufi", 0, "2"},
        {"REWRITE", images + "/newer", 3, "3"},
        {"downgrade", images + "/newer/", 3, "3"},
        {"downgrade", images + "/same", 0, "2"},
        {"upgrade", images + "/older/aw3.ufi", 3, "3"},
        {"rewrite", images + "/older", 3, "3"},
    };
    for (const Case &c : cases) {
        std::vector<DiscoveredDevice> devices = {listed(table, 0, 4, 0, "aw3.ufi", c.action),
                                                 listed(table, 0, 3, 0, "aw2.ufi", "upgrade")};
        FlashWalk w = walk(devices, c.firmware);
        EXPECT_TRUE(w.attempted) << c.action << " " << c.firmware;
        EXPECT_EQ(c.status, w.status) << c.action << " " << c.firmware;
        EXPECT_EQ(c.written, devices[0].firmware.action_status) << c.action << " " << c.firmware;
        std::string normalised = c.action;
        NormaliseAction(normalised);
        EXPECT_EQ(normalised, devices[0].firmware.action);
        EXPECT_EQ("", devices[1].firmware.action_status) << "the other adapter's image is not there";
    }
}

TEST_F(FlashWalkTest, OtherFunctionsOfAConvergedAdapterCopyTheResult)
{
    hlvdtest::SimHost host;
    prepare(host);
    AdapterTable table;
    ASSERT_TRUE(table.built());
    DebugLog log(host.path("/debug.log"));
    std::vector<DiscoveredDevice> devices = {listed(table, 0, 4, 0, "aw3.ufi", "upgrade"),
                                             listed(table, 0, 4, 1, "aw3.ufi", "downgrade"),
                                             listed(table, 0, 4, 2, "aw3.ufi", "rewrite")};
    devices[2].funcnumber = " 2 ";
    FlashWalk w = walk(devices, images + "/same");
    EXPECT_EQ(0, w.status);
    for (const DiscoveredDevice &d : devices)
        EXPECT_EQ("2", d.firmware.action_status) << "function " << d.funcnumber;
    // The later functions are not processed: their actions stay as read; their
    // PCI texts are trimmed.
    EXPECT_EQ("downgrade", devices[1].firmware.action);
    EXPECT_EQ("2", devices[2].funcnumber);
    EXPECT_TRUE(log.has("oem_do_flash_with_file: device listed 4.1 is flashed at adapter level. No need to flash "
                        "again.\n"));
    std::string text = log.text();
    size_t first = text.find("FlashAdapter: FlashAdapter enter\n");
    EXPECT_NE(std::string::npos, first);
    EXPECT_EQ(std::string::npos, text.find("FlashAdapter: FlashAdapter enter\n", first + 1)) << "flashed once";

    // The copy follows the function actually processed, also when it comes
    // later in the list and gave another result.
    devices = {listed(table, 0, 4, 2, "aw3.ufi", "upgrade"), listed(table, 0, 4, 0, "aw3.ufi", "upgrade")};
    w = walk(devices, images + "/older");
    EXPECT_EQ(3, w.status);
    EXPECT_EQ("3", devices[0].firmware.action_status);
    EXPECT_EQ("3", devices[1].firmware.action_status);
}

TEST_F(FlashWalkTest, AdaptersOnTwoSegmentsAreTwoAdapters)
{
    using disctest::converged_adapter;
    hlvdtest::SimHost host(disctest::machine(
        {converged_adapter("aw3-a", "AW3", 0, 4, "10.2.370.15", {{"nic", 0x0710}, {"nic", 0x0710}}, 0x01),
         converged_adapter("aw3-b", "AW3", 1, 4, "10.2.370.99", {{"nic", 0x0710}, {"nic", 0x0710}}, 0x01)}));
    prepare(host);
    AdapterTable table;
    ASSERT_TRUE(table.built());
    std::vector<DiscoveredDevice> devices = {listed(table, 0, 4, 0, "aw3.ufi", "upgrade"),
                                             listed(table, 1, 4, 0, "aw3.ufi", "upgrade"),
                                             listed(table, 1, 4, 1, "aw3.ufi", "upgrade")};
    FlashWalk w = walk(devices, images + "/same");
    EXPECT_EQ(3, w.status);
    EXPECT_EQ("2", devices[0].firmware.action_status);
    EXPECT_EQ("3", devices[1].firmware.action_status) << "the adapter on segment 1 runs a newer version";
    EXPECT_EQ("3", devices[2].firmware.action_status);
}

TEST_F(FlashWalkTest, WalkGoesOnPastDevicesItCannotUse)
{
    hlvdtest::SimHost host;
    prepare(host);
    AdapterTable table;
    ASSERT_TRUE(table.built());
    DebugLog log(host.path("/debug.log"));
    DiscoveredDevice aw3 = listed(table, 0, 4, 0, "aw3.ufi", "upgrade");
    DiscoveredDevice bad = aw3;
    bad.busnumber = "zz";
    // An FC function is located and read, but a UFI image does not fit it.
    DiscoveredDevice fc = fronttest::listed_device(0, 7, 0, 0, "aw3.ufi", "upgrade");
    std::vector<DiscoveredDevice> devices = {fronttest::listed_device(0, 0x40, 0, 0, "aw3.ufi", "upgrade"), bad, fc,
                                             aw3};
    FlashWalk w = walk(devices, images + "/same");
    EXPECT_EQ(10009, w.status);
    EXPECT_TRUE(w.attempted);
    EXPECT_EQ("", devices[0].firmware.action_status);
    EXPECT_EQ("", devices[1].firmware.action_status);
    EXPECT_EQ("10009", devices[2].firmware.action_status);
    EXPECT_EQ("2", devices[3].firmware.action_status);
    EXPECT_TRUE(log.has("oem_do_flash_with_file: couldnot locate the device specified by pciSegment = 0x0, pciBus = "
                        "0x40, pciDevice = 0x0, pciFunction = 0x0\n"));
    EXPECT_TRUE(log.has("FlashAdapter: firmware file, aw3.ufi is not compatible with the device specified by "
                        "segment = 0x0, pciBus = 0x7, pciDevice = 0x0, pciFunction = 0x0"));
    // A failure folded in early stays the result: later successes do not
    // hide it.
    devices = {fronttest::listed_device(0, 0x40, 0, 0, "aw3.ufi", "upgrade"), aw3};
    EXPECT_EQ(4, walk(devices, images + "/same").status);
}

TEST_F(FlashWalkTest, DevicesWithUnusablePciTextsArePassedOver)
{
    hlvdtest::SimHost host;
    prepare(host);
    AdapterTable table;
    ASSERT_TRUE(table.built());
    DebugLog log(host.path("/debug.log"));
    DiscoveredDevice aw3 = listed(table, 0, 4, 0, "aw3.ufi", "upgrade");
    aw3.product_id = "listed";
    struct Case {
        const char *segment, *bus, *device, *function;
        bool used;
        const char *shown; // the text of the skipping line
    } cases[] = {
        {"0", "4", "0", "0", true, nullptr},
        {"0", " 4\t", " 0", "0 ", true, nullptr}, // bus, device and function are trimmed
        {"0", "0x4", "0", "0", true, nullptr},    // a 0x prefix converts
        {" 0", "4", "0", "0", true, nullptr},     // so do leading blanks
        {"0 ", "4", "0", "0", false, "0 "},       // the segment is not trimmed
        {"g", "4", "0", "0", false, "g"},
        {"0", "4z", "0", "0", false, "listed"},
        {"0", "4", "", "0", false, "listed"},
        {"", "4", "0", "0", false, "listed"},
        {"0", "4", "0", "100000000", false, "listed"}, // beyond 32 bits
    };
    for (const Case &c : cases) {
        DiscoveredDevice d = aw3;
        d.segment = c.segment;
        d.busnumber = c.bus;
        d.devicenumber = c.device;
        d.funcnumber = c.function;
        std::vector<DiscoveredDevice> devices = {d};
        FlashWalk w = walk(devices, images + "/same");
        std::string what = std::string("[") + c.segment + "|" + c.bus + "|" + c.device + "|" + c.function + "]";
        EXPECT_EQ(c.used, w.attempted) << what;
        EXPECT_EQ(0, w.status) << what;
        EXPECT_EQ(c.used ? "2" : "", devices[0].firmware.action_status) << what;
        if (c.used) {
            EXPECT_EQ(c.segment, devices[0].segment) << what;
            EXPECT_EQ("0", devices[0].devicenumber) << what;
        } else {
            EXPECT_TRUE(log.has(std::string("oem_do_flash_with_file: skipping the device ") + c.shown +
                                " because it has invalid pci ids\n"))
                << what;
        }
    }
}

TEST_F(FlashWalkTest, BootItemTakesNoImage)
{
    hlvdtest::SimHost host;
    prepare(host);
    AdapterTable table;
    ASSERT_TRUE(table.built());
    DebugLog log(host.path("/debug.log"));
    DiscoveredDevice aw3 = listed(table, 0, 4, 0, "other.ufi", "upgrade");
    aw3.hasBootItem = true;
    aw3.bootCode.firmware_file = "aw3.ufi";
    aw3.bootCode.action = "upgrade";
    DiscoveredDevice second = listed(table, 0, 4, 1, "aw3.ufi", "upgrade");
    second.hasBootItem = true;
    std::vector<DiscoveredDevice> devices = {aw3, second};
    FlashWalk w = walk(devices, images + "/same/aw3.ufi");
    EXPECT_EQ(10007, w.status);
    EXPECT_TRUE(log.has("oem_do_flash_with_file: Trying to flash boot code.\n"));
    EXPECT_EQ("", devices[0].firmware.action_status);
    EXPECT_EQ("10007", devices[0].bootCode.action_status);
    // The adapter's other function copies both items.
    EXPECT_EQ("", devices[1].firmware.action_status);
    EXPECT_EQ("10007", devices[1].bootCode.action_status);
}

} // namespace
