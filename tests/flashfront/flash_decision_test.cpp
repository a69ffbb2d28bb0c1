// The flash decision on a working record: image validation, compatibility
// and the version rule, before anything is sent to an adapter. A decision to
// download reaches the engine's entry, which refuses a UFI image for an
// index that is no converged function (download failure 10012).
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "flash/debug_log.h"
#include "flash/device_properties.h"
#include "flash/flash_adapter.h"
#include "flash/hba_record.h"
#include "flashfront_fixture.h"

using fronttest::DebugLog;
using fronttest::make_ufi;

namespace {

const int kNoEntry = 9999;

class FlashDecision : public ::testing::Test {
protected:
    std::string dir = hlvdtest::make_temp_dir("hlvddecision");
    void TearDown() override
    {
        CloseLogFileHandle();
        hlvdtest::remove_tree(dir);
    }

    // The working record of a gen-3 NIC function running `active`.
    static _Hba aw3(const std::string &active)
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
};

TEST_F(FlashDecision, VersionRule)
{
    std::string newer = make_ufi(dir + "/newer.ufi", 3, "10.2.400.1");
    std::string same = make_ufi(dir + "/same.ufi", 3, "10.2.370.15");
    std::string older = make_ufi(dir + "/older.ufi", 3, "10.0.100.1");
    _Hba hba = aw3("10.2.370.15");
    const int download = 10012; // the decision went to the engine
    struct Case {
        std::string image;
        int force;
        bool useExpected;
        int expected;
        int result;
    } cases[] = {
        // By PCI address: only a newer image, unless forced.
        {newer, 0, false, EXPECT_NONE, download},
        {same, 0, false, EXPECT_NONE, 2},
        {older, 0, false, EXPECT_NONE, 3},
        {older, 1, false, EXPECT_NONE, download},
        {same, 1, false, EXPECT_NONE, download},
        // With file: the comparison the action asks for.
        {newer, 0, true, EXPECT_UPGRADE, download},
        {same, 0, true, EXPECT_UPGRADE, 2},
        {older, 0, true, EXPECT_UPGRADE, 3},
        {same, 0, true, EXPECT_REWRITE, download},
        {newer, 0, true, EXPECT_REWRITE, 3},
        {older, 0, true, EXPECT_DOWNGRADE, download},
        {same, 0, true, EXPECT_DOWNGRADE, 2},
        {newer, 0, true, EXPECT_DOWNGRADE, 3},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.result, FlashAdapter(c.image.c_str(), c.force, &hba, kNoEntry, 2, c.useExpected, c.expected))
            << c.image << " force " << c.force << " expected " << c.expected;
}

TEST_F(FlashDecision, ImagesThatAreNotFlashed)
{
    std::string gen4 = make_ufi(dir + "/gen4.ufi", 4, "11.2.100.7");
    std::string good = make_ufi(dir + "/aw3.ufi", 3, "10.2.400.1");
    hlvdtest::write_file(dir + "/notes.txt", "not an image");
    hlvdtest::write_file(dir + "/broken.ufi", "3 10.9");
    _Hba hba = aw3("10.2.370.15");
    struct Case {
        std::string image;
        int fileKind;
        int result;
    } cases[] = {
        {dir + "/notes.txt", 2, 10007},
        {dir + "/broken.ufi", 2, 10007},
        {dir + "/missing.ufi", 2, 10007},
        {good, 1, 10007}, // the boot item takes no file
        {gen4, 2, 10009}, // another generation
        {gen4, 1, 10007},
    };
    DebugLog log(dir + "/debug.log");
    for (const Case &c : cases)
        EXPECT_EQ(c.result, FlashAdapter(c.image.c_str(), 1, &hba, kNoEntry, c.fileKind, false, EXPECT_NONE))
            << c.image << " kind " << c.fileKind;
    EXPECT_TRUE(log.has("FlashAdapter: firmware file " + dir + "/notes.txt is either invalid or corrupt. \n"));
    EXPECT_TRUE(log.has("FlashAdapter: firmware file, gen4.ufi is not compatible with the device specified by "
                        "segment = 0x0, pciBus = 0x4, pciDevice = 0x0, pciFunction = 0x0\n"));
    EXPECT_FALSE(log.has("[executeDownload]"));
}

TEST_F(FlashDecision, AnAdapterWithoutAnActiveVersionIsNotFlashedUnlessForced)
{
    std::string newer = make_ufi(dir + "/newer.ufi", 3, "10.2.400.1");
    DebugLog log(dir + "/debug.log");
    for (const char *active : {"N/A", "Not Available", ""}) {
        _Hba hba = aw3(active);
        EXPECT_EQ(3, FlashAdapter(newer.c_str(), 0, &hba, kNoEntry, 2, false, EXPECT_NONE)) << active;
        EXPECT_EQ(3, FlashAdapter(newer.c_str(), 0, &hba, kNoEntry, 0, true, EXPECT_UPGRADE)) << active;
        EXPECT_EQ(10012, FlashAdapter(newer.c_str(), 1, &hba, kNoEntry, 2, false, EXPECT_NONE)) << active;
    }
    EXPECT_TRUE(log.has("FlashAdapter: active version on the adapter is newer than the image or the image is "
                        "unsupported. Skipping the firmware download.\n"));
}

} // namespace
