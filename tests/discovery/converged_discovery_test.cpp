// Discovery of converged adapters end to end: oem_do_discovery_with_files on
// simulated machines, through the management library down to the simulated
// drivers, and the discovery file read back.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "adapters/converged_discovery.h"
#include "discovery_fixture.h"
#include "flash/ovnflashlib.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/command_log.h"

namespace {

using disctest::converged_adapter;
using disctest::ConvergedFn;
using disctest::DebugLog;
using disctest::fc_adapter;
using disctest::json;
using disctest::machine;
using disctest::read_discovery;
using disctest::ufi;
using hlvdtest::file_exists;

// An image directory for every generation: a newer AW2 image, the running
// AW3 version, an older AW3 R image, a newer Trelmont base image and an
// older Trelmont R image. (AW3 R revisions, told by the PCI revision of the
// functions' configuration dump, have their own cases in
// converged_macs_revisions_test.cpp.)
void write_images(const std::string &dir)
{
    ASSERT_EQ(0, mkdir(dir.c_str(), 0755));
    ufi(dir, "aw2-new.ufi", 2, "4.2.433.700");
    ufi(dir, "aw3-same.ufi", 3, "10.2.370.15", 0);
    ufi(dir, "aw3r-old.ufi", 3, "10.2.370.10", 0x10);
    ufi(dir, "trm-new-base.ufi", 4, "12.0.0.0", 0);
    ufi(dir, "trm-old-r.ufi", 4, "11.1.183.20", 0x10);
}

std::string hex4(unsigned v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", v);
    return buf;
}

struct Expected {
    const char *action;
    const char *file;
    const char *version;
};

// The one device an adapter leaves in the file: its function 0.
void expect_device(const DiscoveredDevice &d, const json &adapter, const Expected &e, const std::string &what)
{
    const json &f0 = adapter["functions"][0];
    auto id = [&](const char *key) { return hex4(std::stoul(f0[key].get<std::string>(), nullptr, 16)); };
    EXPECT_EQ(id("vendor") + "." + id("device_id") + "." + id("subvendor") + "." + id("subdevice"), d.device_id)
        << what;
    EXPECT_EQ(f0["kind"] == "iscsi" ? "iSCSI" : "NIC", d.nictype) << what;
    EXPECT_EQ(id("vendor"), d.venid) << what;
    EXPECT_EQ(id("device_id"), d.devid) << what;
    char loc[16];
    std::snprintf(loc, sizeof loc, "%X", f0["segment"].get<unsigned>());
    EXPECT_EQ(loc, d.segment) << what;
    std::snprintf(loc, sizeof loc, "%X", f0["bus"].get<unsigned>());
    EXPECT_EQ(loc, d.busnumber) << what;
    EXPECT_EQ("0", d.devicenumber) << what;
    EXPECT_EQ("0", d.funcnumber) << what;
    EXPECT_EQ("", d.slotnumber) << what;
    // Function 0's configured MAC, which is its factory MAC here.
    EXPECT_EQ(f0["mac"].get<std::string>(), d.macaddress) << what;
    EXPECT_FALSE(d.product_id.empty()) << what;
    EXPECT_NE("Model N/A", d.product_id) << what;
    EXPECT_FALSE(d.hasBootItem) << what;
    EXPECT_EQ(adapter["firmware"]["active"].get<std::string>(), d.firmware.active_version) << what;
    EXPECT_EQ("300", d.firmware.duration) << what;
    EXPECT_EQ(e.action, d.firmware.action) << what;
    EXPECT_EQ(e.file, d.firmware.firmware_file) << what;
    EXPECT_EQ(e.version, d.firmware.version) << what;
    EXPECT_EQ("", d.firmware.action_status) << what;
}

TEST(ConvergedDiscovery, EachGenerationAndRevisionGetsItsAction)
{
    const struct {
        const char *what;
        json adapter;
        Expected expected;
    } cases[] = {
        {"AW2, one function", converged_adapter("aw2", "AW2", 0, 3, "4.2.433.604", {{"nic", 0x0700}}, 0x02, 0x19A2, 0xE602),
         {"upgrade", "aw2-new.ufi", "4.2.433.700"}},
        {"AW3 base, NIC and iSCSI functions",
         converged_adapter("aw3", "AW3", 0, 4, "10.2.370.15", {{"nic", 0x0710}, {"nic", 0x0710}, {"iscsi", 0x0712}},
                           0x01),
         {"rewrite", "aw3-same.ufi", "10.2.370.15"}},
        {"AW3 base, iSCSI function 0",
         converged_adapter("aw3i", "AW3", 0, 4, "10.2.370.20", {{"iscsi", 0x0712}, {"nic", 0x0710}}, 0x01),
         {"downgrade", "aw3-same.ufi", "10.2.370.15"}},
        {"Trelmont base",
         converged_adapter("trm", "Trelmont", 0, 5, "11.1.183.23", {{"nic", 0x0720}, {"nic", 0x0720}}, 0x00, 0x19A2,
                           0xE81E),
         {"upgrade", "trm-new-base.ufi", "12.0.0.0"}},
        {"Trelmont base, one function",
         converged_adapter("trm1", "Trelmont", 0, 5, "12.0.0.0", {{"nic", 0x0720}}, 0x00, 0x19A2, 0xE81E),
         {"rewrite", "trm-new-base.ufi", "12.0.0.0"}},
        {"Varrow", converged_adapter("vrw", "Varrow", 0, 6, "11.4.204.20", {{"nic", 0xE228}, {"nic", 0xE228}}, 0x10,
                                     0x10DF, 0xE22A),
         {"skip", "", ""}},
    };
    for (const auto &c : cases) {
        hlvdtest::SimHost host(machine({c.adapter}));
        std::string images = host.path("/images");
        write_images(images);
        std::string xml = host.path("/discovery.xml");
        ASSERT_EQ(0, oem_do_discovery_with_files(xml.c_str(), images.c_str())) << c.what;
        std::vector<DiscoveredDevice> devices = read_discovery(xml);
        ASSERT_EQ(1u, devices.size()) << c.what;
        expect_device(devices[0], c.adapter, c.expected, c.what);
    }
}

// Several adapters at once, two of them on different segments with the same
// bus and device numbers, and FC HBAs beside them.
TEST(ConvergedDiscovery, SeveralAdaptersEachListedOnce)
{
    std::vector<json> adapters = {
        converged_adapter("aw3-a", "AW3", 0, 4, "10.2.370.15", {{"nic", 0x0710}, {"nic", 0x0710}}, 0x01),
        converged_adapter("aw3-b", "AW3", 1, 4, "10.2.370.20", {{"nic", 0x0710}, {"iscsi", 0x0712}}, 0x01),
        converged_adapter("aw2", "AW2", 0, 3, "4.2.433.604", {{"nic", 0x0700}, {"nic", 0x0700}}, 0x02, 0x19A2, 0xE602),
        fc_adapter("fc", 7, 2),
    };
    hlvdtest::SimHost host(machine(adapters));
    std::string images = host.path("/images");
    write_images(images);
    std::string xml = host.path("/discovery.xml");
    DebugLog log(host);
    ASSERT_EQ(0, oem_do_discovery_with_files(xml.c_str(), images.c_str()));
    std::vector<DiscoveredDevice> devices = read_discovery(xml);
    // The three converged adapters once each, and both FC functions.
    ASSERT_EQ(5u, devices.size());
    const Expected expected[] = {
        {"rewrite", "aw3-same.ufi", "10.2.370.15"},
        {"downgrade", "aw3-same.ufi", "10.2.370.15"},
        {"upgrade", "aw2-new.ufi", "4.2.433.700"},
    };
    for (size_t a = 0; a < 3; ++a) {
        const json &f0 = adapters[a]["functions"][0];
        char seg[8], bus[8];
        std::snprintf(seg, sizeof seg, "%X", f0["segment"].get<unsigned>());
        std::snprintf(bus, sizeof bus, "%X", f0["bus"].get<unsigned>());
        int found = 0;
        for (const DiscoveredDevice &d : devices) {
            if (d.segment == seg && d.busnumber == bus) {
                ++found;
                expect_device(d, adapters[a], expected[a], adapters[a]["name"]);
            }
        }
        EXPECT_EQ(1, found) << adapters[a]["name"];
    }
    int fc = 0;
    for (const DiscoveredDevice &d : devices)
        if (d.busnumber == "7" && d.nictype == "FC")
            ++fc;
    EXPECT_EQ(2, fc);
}

// A small machine with both kinds of converged function.
std::string small_machine()
{
    return machine({converged_adapter("aw3", "AW3", 0, 4, "10.2.370.15", {{"nic", 0x0710}, {"iscsi", 0x0712}}, 0x01),
                    converged_adapter("aw2", "AW2", 0, 3, "4.2.433.604", {{"nic", 0x0700}}, 0x02, 0x19A2, 0xE602)});
}

// An FCoE function whose adapter the management library does not list is
// never read (or later flashed) through another adapter's controller.
TEST(ConvergedDiscovery, UnlinkedFcoeFunctionIsNotTakenForAnotherAdapter)
{
    json lone = converged_adapter("fcoe-only", "AW3", 0, 9, "10.2.370.99", {}, 0x01);
    json f = disctest::function("fcoe", 0, 9, 0, 0, 0x19A2, 0x0714, 0x10DF, 0xE70E, 0x01);
    f["wwpn"] = "10:00:00:00:C9:99:00:00";
    lone["functions"].push_back(f);
    hlvdtest::SimHost host(machine(
        {converged_adapter("aw3", "AW3", 0, 4, "10.2.370.15", {{"nic", 0x0710}, {"iscsi", 0x0712}}, 0x01), lone}));
    std::string images = host.path("/images");
    write_images(images);
    std::string xml = host.path("/discovery.xml");
    DebugLog log(host);
    ASSERT_EQ(0, oem_do_discovery_with_files(xml.c_str(), images.c_str()));
    EXPECT_TRUE(log.has("getAdditionalFCoEProps: FCoE function 9:0.0 is linked to no converged controller\n"));
    std::vector<DiscoveredDevice> devices = read_discovery(xml);
    for (const DiscoveredDevice &d : devices) {
        if (d.busnumber != "9")
            continue;
        EXPECT_NE("10.2.370.15", d.firmware.active_version);
        EXPECT_NE("rewrite", d.firmware.action);
    }
    // Both adapters are listed: the FCoE function (an FC-side entry, first)
    // is read on the FC path, as an FCoE function of no controller.
    ASSERT_EQ(2u, devices.size());
    EXPECT_EQ("9", devices[0].busnumber);
    EXPECT_EQ("FCOE", devices[0].nictype);
    EXPECT_FALSE(devices[0].hasBootItem);
    EXPECT_EQ("4", devices[1].busnumber);
}

std::string vexo_log(const hlvdtest::SimHost &host)
{
    std::string path = host.path("/var/log/TAQ/vexo/vexo2d.log");
    return file_exists(path) ? hlvdtest::read_file(path) : std::string();
}

size_t count_of(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Each call starts the management library once and stops it once, and
// leaves no lock file and no client behind.
TEST(ConvergedDiscovery, StartsAndStopsTheManagementLibraryOncePerCall)
{
    hlvdtest::SimHost host(small_machine());
    std::string images = host.path("/images");
    write_images(images);
    std::string xml = host.path("/discovery.xml");
    hlvdtest::write_file(host.path("/etc/config/TAQ/vexo/libvexo.conf"), "VEXOLogLevel 5\n");
    for (int call = 1; call <= 2; ++call) {
        hlvdsim::log_clear(host.root());
        ASSERT_EQ(0, oem_do_discovery_with_files(xml.c_str(), images.c_str()));
        EXPECT_EQ(2u, read_discovery(xml).size()) << call;
        EXPECT_EQ(0, vexo_client_count) << call;
        EXPECT_EQ(0, gVEXO) << call;
        std::vector<std::string> names;
        ASSERT_EQ(0, EnumerateDirectory(host.path("/tmp").c_str(), names));
        EXPECT_TRUE(names.empty()) << call << ": " << (names.empty() ? "" : names[0]);
        // The back end's start enumerates the iSCSI functions once.
        int enumerations = 0;
        for (const json &e : hlvdsim::log_read(host.root()))
            if (e.value("kind", "") == "driver" && e.value("driver", "") == "iscsi" && e.value("callback", -1) == 17)
                ++enumerations;
        EXPECT_EQ(1, enumerations) << call;
        std::string text = vexo_log(host);
        EXPECT_EQ(static_cast<size_t>(call), count_of(text, "New client #1!")) << text;
        EXPECT_EQ(static_cast<size_t>(call), count_of(text, "Client disconnecting #1")) << text;
        EXPECT_EQ(0u, count_of(text, "New client #2")) << text;
    }
}

// Two processes running discovery at once on one host both write the file
// one process alone writes: they take turns instead of finding the
// management library busy.
TEST(ConvergedDiscovery, TwoProcessesAtOnce)
{
    hlvdtest::SimHost host(small_machine());
    std::string images = host.path("/images");
    write_images(images);
    std::string alone = host.path("/alone.xml");
    ASSERT_EQ(0, oem_do_discovery_with_files(alone.c_str(), images.c_str()));
    std::string expected = hlvdtest::read_file(alone);
    ASSERT_EQ(2u, read_discovery(alone).size());

    pid_t children[2];
    for (int i = 0; i < 2; ++i) {
        children[i] = fork();
        ASSERT_GE(children[i], 0);
        if (children[i] == 0) {
            std::string xml = host.path("/child" + std::to_string(i) + ".xml");
            _exit(oem_do_discovery_with_files(xml.c_str(), images.c_str()));
        }
    }
    for (int i = 0; i < 2; ++i) {
        int status = 0;
        ASSERT_EQ(children[i], waitpid(children[i], &status, 0));
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(0, WEXITSTATUS(status)) << i;
        EXPECT_EQ(expected, hlvdtest::read_file(host.path("/child" + std::to_string(i) + ".xml"))) << i;
    }
}

} // namespace
