// The discovery call through oem_do_discovery_with_files, against simulated
// machines: its failure codes, the discovery file it writes and the walk that
// picks the devices for it.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "adapters/adapter_table.h"
#include "adapters/converged_discovery.h"
#include "discovery_fixture.h"
#include "flash/ovnflashlib.h"
#include "mgmt/vexo/core/vexo_api.h"

namespace {

using disctest::DebugLog;
using disctest::fc_adapter;
using disctest::machine;
using disctest::read_discovery;
using disctest::TableGuard;
using disctest::ufi;
using hlvdtest::file_exists;
using hlvdtest::read_file;
using hlvdtest::write_file;

class DiscoveryCall : public ::testing::Test {
protected:
    std::string images;
    std::string xml;
    void prepare(const hlvdtest::SimHost &host)
    {
        images = host.path("/images");
        xml = host.path("/discovery.xml");
        ASSERT_EQ(0, mkdir(images.c_str(), 0755));
    }
    void TearDown() override { oem_text_for_error_code(0); } // closes any log left open
};

TEST_F(DiscoveryCall, DirectoryWithoutAcceptedImageGivesEightAndNoFile)
{
    hlvdtest::SimHost host(machine({fc_adapter("fc", 7, 2)}));
    prepare(host);
    write_file(images + "/notes.txt", "not an image");
    write_file(images + "/broken.ufi", "3 10.9");
    DebugLog log(host);
    EXPECT_EQ(8, oem_do_discovery_with_files(xml.c_str(), images.c_str()));
    EXPECT_FALSE(file_exists(xml));
    EXPECT_TRUE(log.has("oem_do_discovery_with_files: makeFileNameList return error\n"));
    // An unreadable directory is the same to the call.
    EXPECT_EQ(8, oem_do_discovery_with_files(xml.c_str(), (images + "/missing").c_str()));
    EXPECT_FALSE(file_exists(xml));
    // The log stays open on this path: the next call still writes into it.
    std::string before = log.text();
    oem_do_discovery_with_files(nullptr, nullptr);
    EXPECT_NE(before, log.text());
    // Nothing of the table is left behind.
    EXPECT_EQ(nullptr, gAdapters);
    EXPECT_EQ(0u, gTotalHBAs);
}

TEST_F(DiscoveryCall, MachineWithoutAdaptersGivesSeven)
{
    hlvdtest::SimHost host(machine({}));
    prepare(host);
    ufi(images, "aw3.ufi", 3, "10.2.370.15");
    DebugLog log(host);
    EXPECT_EQ(7, oem_do_discovery_with_files(xml.c_str(), images.c_str()));
    EXPECT_TRUE(log.has("No Orvane CNA adapters installed\n"));
    EXPECT_TRUE(log.has("oem_do_discovery_with_files: cannot create adapter list. discovery failed\n"));
    EXPECT_FALSE(file_exists(xml));
}

TEST_F(DiscoveryCall, UnwritableDiscoveryFileGivesTwelveAndKeepsTheOldFile)
{
    hlvdtest::SimHost host(machine({fc_adapter("fc", 7, 2)}));
    prepare(host);
    ufi(images, "aw3.ufi", 3, "10.2.370.15");
    {
        DebugLog log(host);
        std::string nowhere = host.path("/no/such/dir/discovery.xml");
        EXPECT_EQ(12, oem_do_discovery_with_files(nowhere.c_str(), images.c_str()));
        EXPECT_TRUE(log.has("oem_do_discovery_with_files: Caught an exception while parsing xml, \""));
        // Closed once the file was attempted.
        std::string before = log.text();
        oem_do_discovery_with_files(nullptr, nullptr);
        EXPECT_EQ(before, log.text());
    }

    // A write that fails half way leaves the old file as it was.
    write_file(xml, "old contents");
    struct rlimit old_limit;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old_limit));
    struct rlimit small = old_limit;
    small.rlim_cur = 16;
    std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    int rc = oem_do_discovery_with_files(xml.c_str(), images.c_str());
    setrlimit(RLIMIT_FSIZE, &old_limit);
    EXPECT_EQ(12, rc);
    EXPECT_EQ("old contents", read_file(xml));
    // And no temporary file is left beside it.
    std::vector<std::string> names;
    ASSERT_EQ(0, EnumerateDirectory(host.root().c_str(), names));
    for (const std::string &n : names)
        EXPECT_EQ(std::string::npos, n.find("discovery.xml.")) << n;
}

TEST_F(DiscoveryCall, FcFunctionsAreListedWithWhatTheEngineReads)
{
    hlvdtest::SimHost host(machine({fc_adapter("fc-a", 7, 2), fc_adapter("fc-b", 8, 2, 0xE200, "SLI4")}));
    prepare(host);
    ufi(images, "aw3.ufi", 3, "10.2.370.15");
    ASSERT_EQ(0, oem_do_discovery_with_files(xml.c_str(), images.c_str()));
    // Both functions of the SLI-3 HBA, the Varrow FC adapter once.
    std::vector<DiscoveredDevice> devices = read_discovery(xml);
    ASSERT_EQ(3u, devices.size());
    const struct {
        const char *bus, *fn, *firmware, *duration;
        bool boot;
    } expected[] = {
        {"7", "0", "201A12", "120", true},
        {"7", "1", "201A12", "120", true},
        {"8", "0", "2.01A12", "300", false},
    };
    for (size_t i = 0; i < 3; ++i) {
        const DiscoveredDevice &d = devices[i];
        EXPECT_EQ(expected[i].bus, d.busnumber) << i;
        EXPECT_EQ(expected[i].fn, d.funcnumber) << i;
        EXPECT_EQ("FC", d.nictype) << i;
        EXPECT_EQ(expected[i].firmware, d.firmware.active_version) << i;
        EXPECT_EQ(expected[i].duration, d.firmware.duration) << i;
        EXPECT_EQ("skip", d.firmware.action) << i;
        EXPECT_EQ(expected[i].boot, d.hasBootItem) << i;
    }
}

// On a host whose management library lists no converged adapter the call
// still starts and stops it once: no client stays open, no lock file stays.
TEST_F(DiscoveryCall, LeavesNoManagementClientOrLockFileBehind)
{
    hlvdtest::SimHost host(machine({fc_adapter("fc", 7, 2)}));
    prepare(host);
    ufi(images, "aw3.ufi", 3, "10.2.370.15");
    for (int round = 0; round < 2; ++round) {
        DebugLog log(host);
        ASSERT_EQ(0, oem_do_discovery_with_files(xml.c_str(), images.c_str()));
        EXPECT_TRUE(log.has("LocateBrindlefin: LocateBrindlefin entered\n"));
        EXPECT_EQ(0, vexo_client_count) << round;
        EXPECT_EQ(0, gVEXO);
        std::vector<std::string> names;
        ASSERT_EQ(0, EnumerateDirectory(host.path("/tmp").c_str(), names));
        for (const std::string &n : names)
            EXPECT_EQ(std::string::npos, n.find("VEXO")) << n;
        EXPECT_FALSE(file_exists(host.path("/tmp/vexo_lock_init.txt")));
    }
}

// The walk over the all-devices list goes on past every device it cannot
// place, and logs why each one was left out.
TEST(DiscoveryWalk, GoesOnPastDevicesItCannotPlace)
{
    hlvdtest::SimHost host(R"({"adapters": []})");
    TableGuard guard;
    gAdapterCount = 1;
    gTotalHBAs = 1;
    gAdapters = static_cast<_Adapter *>(std::calloc(1, sizeof(_Adapter)));
    gAdapters[0].pciBus = 7;
    // An FCoE function of a controller table that is not there cannot be read.
    gAdapters[0].kindFlags = ADAPTER_KIND_MANAGED | ADAPTER_KIND_FCOE;
    gVEXO = 1;

    auto device = [](const char *seg, const char *bus, const char *dev, const char *fn, const char *product) {
        DiscoveredDevice d;
        d.segment = seg;
        d.busnumber = bus;
        d.devicenumber = dev;
        d.funcnumber = fn;
        d.product_id = product;
        return d;
    };
    std::vector<DiscoveredDevice> all = {
        device("0", "", "0", "0", "empty-bus"),        device("0", "zz", "0", "0", "bad-bus"),
        device("0x0", "3", "0", "0", "not-in-table"), device("0", " 7 ", "0", "0", "unreadable"),
        device("g", "3", "0", "0", "bad-segment"),     device("0", "3", "0", "9q", "bad-function"),
    };
    std::vector<DiscoveredDevice> retained;
    DebugLog log(host);
    EXPECT_EQ(0, SelectDiscoveredDevices(all, retained));
    EXPECT_TRUE(retained.empty());
    const char *lines[] = {
        "skipping the device empty-bus because it has invalid pci ids\n",
        "skipping the device bad-bus because it has invalid bus number\n",
        "couldnot locate the device specified by pciSegment = 0x0, pciBus = 0x3, pciDevice = 0x0, pciFunction = "
        "0x0\n",
        "couldnot get adapter properties for the device specified by pciSegment = 0x0, pciBus = 0x7, pciDevice = "
        "0x0, pciFunction = 0x0\n",
        "skipping the device g because it has invalid segment\n",
        "skipping the device bad-function because it has invalid PCI function\n",
    };
    for (const char *line : lines)
        EXPECT_TRUE(log.has(std::string("oem_do_discovery_with_files: ") + line)) << line;
}

} // namespace
