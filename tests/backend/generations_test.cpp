// The start-up data and the property handlers on adapters of every
// generation, and the commands they send.
#include <string>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/cntr_additional_attribs.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "backend_fixture.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

// Adapter instances of kEveryGeneration (NIC functions only but on AW3,
// whose iSCSI function makes it the first group).
const char *const kAw3 = "Arcwright0";
const char *const kAw2 = "Arcwright1";
const char *const kTrelmont = "Arcwright2";
const char *const kVarrow = "Arcwright3";

std::string at(const char *adapter, const std::string &rest)
{
    return value_at(std::string(adapter) + "/" + rest);
}

class Generations : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter);
    }
    SimHost host_{kEveryGeneration};
    int start_ = 0;
};

TEST_F(Generations, AdaptersInCreationOrder)
{
    EXPECT_EQ("AW3G0001", at(kAw3, "SerialNumber"));
    EXPECT_EQ("AW2G0001", at(kAw2, "SerialNumber"));
    EXPECT_EQ("TRLG0001", at(kTrelmont, "SerialNumber"));
    EXPECT_EQ("VRWG0001", at(kVarrow, "SerialNumber"));
}

TEST_F(Generations, PlatformAndOemValues)
{
    struct Row {
        const char *adapter;
        const char *fleet;
        const char *advanced;
        const char *controller;
        const char *available;
        const char *word;
    } rows[] = {
        {kAw2, "N/A", "N/A", "Alive", "NIC/iSCSI", "0x00000003"},
        {kAw3, "N/A", "Enabled", "Alive", "NIC/iSCSI/FCoE", "0x00000007"},
        {kTrelmont, "Disabled", "N/A", "Alive", "NIC", "0x00000001"},
        {kVarrow, "Enabled", "N/A", "N/A", "NIC/FCoE", "0x00000005"},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(r.fleet, at(r.adapter, "FleetView")) << r.adapter;
        EXPECT_EQ(r.advanced, at(r.adapter, "AdvancedMode")) << r.adapter;
        EXPECT_EQ("N/A", at(r.adapter, "IsSecureJumperEnabled")) << r.adapter;
        EXPECT_EQ(r.controller, at(r.adapter, "ControllerStatus")) << r.adapter;
        EXPECT_EQ(r.available, at(r.adapter, "Personality/AvailablePersonalities")) << r.adapter;
        EXPECT_EQ(r.word, at(r.adapter, "OEM/PersonalityManagementWord")) << r.adapter;
    }
    EXPECT_EQ("OV0102030405060708090a", at(kAw2, "OEM/OrvaneSerialNumber"));
    EXPECT_EQ("OEMAW2G0001", at(kAw2, "OEM/OEMSerialNumber"));
    // Varrow: two letters and four bytes, the OEM text up to its end.
    EXPECT_EQ("VR01020304", at(kVarrow, "OEM/OrvaneSerialNumber"));
    EXPECT_EQ("DELL-77", at(kVarrow, "OEM/OEMSerialNumber"));
}

TEST_F(Generations, BootCodeAndIplFileNames)
{
    EXPECT_EQ(std::string(ipl_file_names[5]) + "B", at(kAw3, "IPLFileName"));
    EXPECT_EQ(std::string(ipl_file_names[114]) + "1", at(kTrelmont, "IPLFileName"));
    EXPECT_EQ("N/A", at(kAw2, "IPLFileName"));
    EXPECT_EQ("VRWIPL01", at(kVarrow, "IPLFileName"));
    EXPECT_EQ("2.7.30", at(kTrelmont, "PHYFirmwareVersion"));
    EXPECT_EQ("0x5A3C0E91", at(kTrelmont, "PHYConfigurationId"));
    EXPECT_EQ("N/A", at(kAw3, "PHYFirmwareVersion"));
    EXPECT_EQ("N/A", at(kVarrow, "PHYConfigurationId"));
    EXPECT_EQ("11.4.204.20", at(kVarrow, "UEFINICVersion"));
    EXPECT_EQ("10.2.370.15", at(kAw3, "PXEBIOSVersion"));
}

TEST_F(Generations, FirmwareVersionsRefreshedOnlyWhereTheRulesSay)
{
    clear_log(host_.root());
    // AW3: the active version is the cached one; the version on flash asks.
    EXPECT_EQ("10.2.370.15", at(kAw3, "ActiveFirmwareVersion"));
    EXPECT_TRUE(fw_commands(host_.root()).empty());
    EXPECT_EQ("10.2.370.15", at(kAw3, "FirmwareVersionOnFlash"));
    EXPECT_EQ(1u, fw_commands(host_.root()).size());
    // Varrow: every read asks, and the additional attributes are re-read.
    clear_log(host_.root());
    EXPECT_EQ("11.4.204.20", at(kVarrow, "ActiveFirmwareVersion"));
    EXPECT_EQ("11.4.204.21", at(kVarrow, "FirmwareVersionOnFlash"));
    EXPECT_EQ("11.4.204.20", at(kVarrow, "UEFIBIOSVersion"));
    auto cmds = fw_commands(host_.root());
    ASSERT_EQ(3u, cmds.size());
    EXPECT_EQ(std::make_pair(1, 121), cmds[2]);
}

TEST_F(Generations, VpdRequestsByGeneration)
{
    // At start: AW2 NIC functions ask for PCI functions 2 and 3 by port;
    // Varrow asks with the version 1 command first.
    bool aw2_port0 = false, aw2_port1 = false, varrow_v1 = false;
    for (const nlohmann::json &e : fw_entries(host_.root())) {
        if (e["opcode"] != 91)
            continue;
        std::string payload = e["payload"];
        if (e["adapter"] == "aw2" && e["port"] == 0)
            aw2_port0 = payload.substr(0, 6) == "020000";
        if (e["adapter"] == "aw2" && e["port"] == 1)
            aw2_port1 = payload.substr(0, 6) == "030000";
        if (e["adapter"] == "varrow")
            varrow_v1 = varrow_v1 || e["version"] == 1;
    }
    EXPECT_TRUE(aw2_port0);
    EXPECT_TRUE(aw2_port1);
    EXPECT_TRUE(varrow_v1);
    std::string vpd0 = at(kAw3, "iSCSIPhysicalHBA0/VPD/VPDData0");
    EXPECT_EQ(254u, vpd0.size());
    EXPECT_EQ("82", vpd0.substr(0, 2));
    EXPECT_EQ(16u, at(kAw3, "iSCSIPhysicalHBA0/VPD/VPDData8").size());
}

TEST_F(Generations, FruVpdKeepsEveryByte)
{
    std::string texts;
    EXPECT_EQ(254u, at(kAw3, "FRUVPD/FRUVPDData0").size());
    for (int i = 0; i <= 11; ++i)
        texts += at(kAw3, "FRUVPD/FRUVPDData" + std::to_string(i));
    // 1024 bytes of block 0 and 256 of block 1, counting 00 to ff.
    ASSERT_EQ(2u * 1280u, texts.size());
    for (int i = 0; i < 1280; ++i) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", i & 0xFF);
        ASSERT_EQ(hex, texts.substr(2 * i, 2)) << i;
    }
    EXPECT_EQ(16u, at(kAw3, "FRUVPD/FRUVPDData8").size());
    EXPECT_EQ("feff", at(kAw3, "FRUVPD/FRUVPDData11"));
    // Segments other than the first answer the cache, without a command.
    clear_log(host_.root());
    EXPECT_EQ(254u, at(kAw3, "FRUVPD/FRUVPDData5").size());
    EXPECT_TRUE(fw_commands(host_.root()).empty());
}

TEST_F(Generations, AdvancedModeWritesTheBootConfiguration)
{
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set_at(std::string(kAw3) + "/AdvancedMode", "disabled"));
    EXPECT_EQ(VEXO_STATUS_ADVANCE_MODE_REBOOT_REQURIED, last_status().first);
    EXPECT_EQ("Disabled", at(kAw3, "AdvancedMode"));
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set_at(std::string(kAw3) + "/AdvancedMode", "Enabled"));
    EXPECT_EQ("Enabled", at(kAw3, "AdvancedMode"));
    // The other four fields go back as they were read.
    bool kept = false;
    for (const nlohmann::json &e : fw_entries(host_.root()))
        if (e["opcode"] == 67)
            kept = std::string(e["payload"]).substr(0, 16) == "0100010200000000";
    EXPECT_TRUE(kept);
    // Outside AW3 a write is refused.
    EXPECT_EQ(VEXO_STATUS_FAILURE, set_at(std::string(kAw2) + "/AdvancedMode", "Enabled"));
    EXPECT_EQ(VEXO_STATUS_ADVANCE_MODE_NOT_SUPPORTED, last_status().first);
}

TEST_F(Generations, FailingQueriesKeepCachedValuesAndSetTheirStatus)
{
    struct Case {
        int subsystem;
        int opcode;
        const char *path;
        VEXO_status_t status;
    } cases[] = {
        {11, 21, "Arcwright0/ControllerStatus", VEXO_STATUS_GET_COREDUMP_PROPS_FAILED},
        {1, 84, "Arcwright0/ProfileManagement/RebootRequired", VEXO_STATUS_GET_RESET_FAILED},
        {1, 191, "Arcwright2/FleetView", VEXO_STATUS_SET_FEATURES_FAILED},
        {1, 66, "Arcwright0/AdvancedMode", VEXO_STATUS_GET_BOOT_CONFIG},
        {1, 32, "Arcwright0/FirmwareVersionOnFlash", VEXO_STATUS_CNTR_ATTRIBS_FAILED},
    };
    for (const Case &c : cases) {
        plan_status(host_.root(), c.subsystem, c.opcode, 2, 0, false);
        EXPECT_EQ(0, value_at(c.path).find("error")) << c.path;
        EXPECT_EQ(c.status, last_status().first) << c.path;
    }
    // The temperature query fails with the firmware's own status.
    plan_status(host_.root(), 1, 121, 2, 0, false);
    EXPECT_EQ(0, value_at("Arcwright0/ArcwrightOnDieTemperature").find("error"));
    EXPECT_EQ(VEXO_STATUS_CNTR_ADDITIONAL_ATTRIBS_FAILED, last_status().first);
    EXPECT_EQ("52", value_at("Arcwright0/ArcwrightOnDieTemperature"));
}

TEST(GenerationsTemperature, ZeroReadsNotAvailable)
{
    SimHost host(kTwoAdapters);
    set_adapter_field(host.root(), 1, "temperature", 0);
    ASSERT_EQ(0, VEXO_init());
    EXPECT_EQ("N/A", value_at("Arcwright1/ArcwrightOnDieTemperature"));
    set_adapter_field(host.root(), 1, "fleet_view", "unsupported");
    EXPECT_EQ("N/A", value_at("Arcwright1/FleetView"));
    set_adapter_field(host.root(), 0, "reset_needed", 1);
    EXPECT_EQ("Yes", value_at("Arcwright0/ProfileManagement/RebootRequired"));
    EXPECT_EQ(0, VEXO_exit());
}

} // namespace

namespace {

// Start a one-adapter host after changing the adapter's description.
class OneAdapter : public ::testing::Test {
protected:
    void start_with(const char *key, const nlohmann::json &value)
    {
        set_adapter_field(host_.root(), index_, key, value);
        ASSERT_EQ(0, VEXO_init());
    }
    void TearDown() override
    {
        while (vexo_client_count > 0)
            VEXO_exit();
    }
    SimHost host_{kEveryGeneration};
    int index_ = 0;
};

TEST_F(OneAdapter, PhyLabelFillingItsFieldBesideAnIplName)
{
    index_ = 2; // Trelmont
    start_with("boot_code", {{"phy_version", "3.1"}, {"phy_crc", "ABCDEFGH"}, {"ipl_file_name", "TRLBOOT"}});
    EXPECT_EQ("0xABCDEFGH", value_at("Arcwright2/PHYConfigurationId"));
    EXPECT_EQ("TRLBOOT", value_at("Arcwright2/IPLFileName"));
}

TEST_F(OneAdapter, AvailablePersonalitiesCutTo255Characters)
{
    index_ = 1; // AW3
    start_with("personalities", std::string(300, 'P'));
    EXPECT_EQ(std::string(255, 'P'), value_at("Arcwright0/Personality/AvailablePersonalities"));
}

TEST_F(OneAdapter, VarrowOemSerialForms)
{
    index_ = 3;
    struct Case {
        const char *hex;
        const char *text;
    } cases[] = {{"4100", "N/A"}, {"41420000", "AB"}, {"00420043", ""}, {"ff4142", "N/A"}, {"414243ff44", "ABC"}};
    for (const Case &c : cases) {
        set_adapter_field(host_.root(), index_, "oem", {{"orvane_serial", "5652010203040506"}, {"oem_serial_hex", c.hex}});
        ASSERT_EQ(0, VEXO_init());
        EXPECT_EQ(c.text, value_at("Arcwright3/OEM/OEMSerialNumber")) << c.hex;
        EXPECT_EQ(0, VEXO_exit());
    }
}

} // namespace
