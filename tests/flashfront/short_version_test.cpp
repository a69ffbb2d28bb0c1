// Active versions of fewer or more than four parts: missing parts count as 0
// and parts past the fourth are ignored, so they compare like any other;
// only a text that holds no version leaves nothing to compare with.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "flash/device_properties.h"
#include "flash/flash_adapter.h"
#include "flash/hba_record.h"
#include "flash/ovnflashlib.h"
#include "flash/version_rules.h"
#include "flashfront_fixture.h"
#include "sim/machine.h"

using fronttest::make_ufi;

namespace
{

const int kNoEntry = 9999;
const int kDownload = 10012; // the decision reached the engine's entry

// The working record of a gen-3 NIC function running `active`.
_Hba aw3(const std::string &active)
{
    DiscoveredDevice d = fronttest::listed_device(0, 4, 0, 0, "", "");
    d.kind = HBA_KIND_NIC;
    d.asicRevisionId = "1";
    d.firmware.active_version = active;
    d.bootCode.active_version = active;
    _Hba hba;
    std::memset(&hba, 0, sizeof hba);
    ConvertDiscoveredDeviceToHbaStructure(d, &hba);
    return hba;
}

TEST(ShortVersion, ActiveVersionsAgainstAnImage)
{
    std::string dir = hlvdtest::make_temp_dir("hlvdversion");
    std::string image = make_ufi(dir + "/image.ufi", 3, "10.2.400.1");
    struct Case {
        const char *active;
        int holds;  // holdsVersionText
        int result; // flash by PCI address, not forced
    } cases[] = {
        {"10.2.400.1", 1, 2},
        {"10.2.370", 1, kDownload},    // 10.2.370.0
        {"10.2.400", 1, kDownload},    // 10.2.400.0
        {"10.2.401", 1, 3},            // 10.2.401.0
        {"10.2.400.1.7", 1, 2},        // the fifth part is ignored
        {"10.2.400.0.99", 1, kDownload},
        {"10", 1, kDownload},          // 10.0.0.0
        {"..10.2.400.1", 1, 2},        // leading dots are skipped
        {"N/A", 0, 3},
        {"Not Available", 0, 3},
        {"", 0, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.active);
        EXPECT_EQ(c.holds, holdsVersionText(c.active));
        _Hba hba = aw3(c.active);
        EXPECT_EQ(c.result, FlashAdapter(image.c_str(), 0, &hba, kNoEntry, 2, false, EXPECT_NONE));
    }
    EXPECT_EQ(0, holdsVersionText(nullptr));
    CloseLogFileHandle();
    hlvdtest::remove_tree(dir);
}

// The default machine with its Trelmont adapter running `active`.
std::string trelmont_running(const std::string &active)
{
    fronttest::json doc = fronttest::json::parse(hlvdtest::read_file(hlvdsim::default_machine_path()));
    for (fronttest::json &a : doc["adapters"])
        if (a["name"] == "trelmont")
            a["firmware"]["active"] = active;
    return doc.dump();
}

TEST(ShortVersion, AThreePartActiveVersionIsProposedAndFlashed)
{
    hlvdtest::SimHost host(trelmont_running("11.1.183"));
    std::string images = host.path("/images");
    ASSERT_EQ(0, mkdir(images.c_str(), 0755));
    std::string image = make_ufi(images + "/trelmont.ufi", 4, "11.2.100.7");

    std::vector<DiscoveredDevice> devices = fronttest::discover(host.path("/discovery.xml"), images);
    DiscoveredDevice *t = fronttest::device_at(devices, 5);
    ASSERT_NE(nullptr, t);
    EXPECT_EQ("11.1.183", t->firmware.active_version);
    EXPECT_EQ("upgrade", t->firmware.action);

    EXPECT_EQ(1, oem_do_full_flash_PCI(image.c_str(), 0, 0, 5, 0, 0)); // flashed; a reboot activates it
    hlvdsim::Machine m;
    ASSERT_TRUE(hlvdsim::load_machine(host.root(), m, nullptr));
    for (const hlvdsim::Adapter &a : m.adapters) {
        if (a.name == "trelmont") {
            EXPECT_EQ("11.2.100.7", a.flash_version);
        }
    }
}

} // namespace
