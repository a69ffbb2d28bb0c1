// The client layer over the back end on simulated machines: start, the
// enumerations and the discovery records of every generation, their failure
// values, and a busy adapter.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mal/mal_core.h"
#include "mal/mal_records.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mal_tree.h"
#include "sim/fault_plan.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace maltest;

namespace {

const char kMachine[] = R"({
  "host": { "release": "VMware ESXi 6.7.0 build-8169922" },
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3M0001",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.19", "boot": "10.2.370.2" },
      "description": "Converged network adapter, two ports", "temperature": 300, "fat_log_size": 4096,
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:20", "mtu": 9000 },
        { "bus": 4, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 1,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:21" },
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:22" } ] },
    { "name": "aw2", "family": "converged", "generation": "AW2", "serial": "AW2M0001",
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.1" },
      "functions": [
        { "bus": 3, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE602", "mac": "00:00:C9:A2:00:10" } ] },
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLM0001", "fat_log_size": 64,
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:30" } ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWM0001",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE222", "mac": "00:00:C9:D5:00:40" } ] }
  ]
})";

class MalMachine : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        char service[MAL_VALUE_SIZE] = "";
        char hierarchy[MAL_VALUE_SIZE] = "";
        ASSERT_EQ(RM_STATUS_OK, MAL_VEXO_Init(service, hierarchy));
        EXPECT_STREQ("12.0.1215.0", service);
        EXPECT_STREQ("10.6", hierarchy);
        int count = MAL_MAX_TAGS;
        ASSERT_EQ(RM_STATUS_OK, MAL_EnumerateArcwrights(&count, adapters_));
        ASSERT_EQ(4, count);
    }
    void TearDown() override
    {
        EXPECT_EQ(RM_STATUS_OK, MAL_VEXO_Exit());
        EXPECT_EQ(start_, vexo_counter);
    }

    std::vector<uint32_t> functions(uint32_t adapter, int kind)
    {
        uint32_t tags[MAL_MAX_TAGS];
        int count = MAL_MAX_TAGS;
        EXPECT_EQ(RM_STATUS_OK, MAL_EnumerateHbas(static_cast<node_tag_t>(adapter), kind, &count, tags));
        return std::vector<uint32_t>(tags, tags + count);
    }

    void plan(int subsystem, int opcode)
    {
        hlvdsim::FaultSpec f;
        f.subsystem = subsystem;
        f.opcode = opcode;
        f.kind = "status";
        f.status = 2;
        f.always = true;
        std::string err;
        ASSERT_GT(hlvdsim::fault_add(host_.root(), f, &err), 0) << err;
    }

    SimHost host_{kMachine};
    int start_ = 0;
    uint32_t adapters_[MAL_MAX_TAGS] = {};
};

// Adapters in the order of the tree: AW3 (from its iSCSI function), then
// the NIC-only adapters in machine order.
enum { AW3 = 0, AW2 = 1, TRELMONT = 2, VARROW = 3 };

TEST_F(MalMachine, AdapterRecordsOfEveryGeneration)
{
    struct Row {
        int index;
        const char *serial;
        const char *active;
        const char *fleet;
        const char *ipl;
        uint32_t word;
        int fat; // the firmware holds log data
    } rows[] = {
        {AW3, "AW3M0001", "10.2.370.15", "N/A", "A3ENTFB", 0x7, 1},
        {AW2, "AW2M0001", "4.2.433.604", "N/A", "N/A", 0x3, 0},
        {TRELMONT, "TRLM0001", "11.1.183.23", "Disabled", "T5ANTF01", 0x1, 1},
        {VARROW, "VRWM0001", "11.4.204.20", "Enabled", "VRWIPL01", 0x5, 0},
    };
    for (const Row &r : rows) {
        MAL_AWProperties rec;
        std::memset(&rec, 0, sizeof rec);
        ASSERT_EQ(RM_STATUS_OK, MAL_GetAWProperties(static_cast<node_tag_t>(adapters_[r.index]), &rec));
        EXPECT_STREQ(r.serial, rec.SerialNumber);
        EXPECT_STREQ(r.active, rec.ActiveFirmwareVersion);
        EXPECT_STREQ(r.fleet, rec.FleetView);
        EXPECT_STREQ(r.ipl, rec.IPLFileName);
        EXPECT_EQ(r.word, rec.PersonalityManagementWord);
        EXPECT_STREQ("N/A", rec.IsSecureJumperEnabled);
        EXPECT_EQ(r.fat, rec.FATDataValid);
        EXPECT_STREQ("Working", rec.FirmwareStatus);
    }
    MAL_AWProperties aw3;
    std::memset(&aw3, 0, sizeof aw3);
    ASSERT_EQ(RM_STATUS_OK, MAL_GetAWProperties(static_cast<node_tag_t>(adapters_[AW3]), &aw3));
    EXPECT_STREQ("Converged network adapter, two ports", aw3.Description);
    EXPECT_STREQ("10.2.370.19", aw3.FirmwareVersionOnFlash);
    EXPECT_STREQ("10.2.370.2", aw3.BootCodeVersion);
    EXPECT_EQ(44, aw3.ArcwrightOnDieTemperature); // 300, low 8 bits
    EXPECT_STREQ("OEMAW3M0001", aw3.OEMSerialNumber);
}

TEST_F(MalMachine, FunctionRecords)
{
    std::vector<uint32_t> nics = functions(adapters_[AW3], MAL_HBA_NIC);
    std::vector<uint32_t> iscsis = functions(adapters_[AW3], MAL_HBA_ISCSI);
    ASSERT_EQ(2u, nics.size());
    ASSERT_EQ(1u, iscsis.size());
    // Port discovery gives the adapter one port group per physical port.
    std::vector<uint32_t> ports = functions(adapters_[AW3], MAL_HBA_PORT);
    ASSERT_EQ(2u, ports.size());
    MAL_Group_PortDiscoveryAndConfiguration port;
    std::memset(&port, 0, sizeof port);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetGroup_PortDiscoveryAndConfiguration(static_cast<node_tag_t>(ports[1]), &port));
    EXPECT_EQ(1, port.PortNumber);

    MAL_NicPhysicalProperties nic;
    std::memset(&nic, 0, sizeof nic);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetNicPhysicalProperties(static_cast<node_tag_t>(nics[1]), &nic));
    EXPECT_EQ(0x19a2u, nic.pci.VendorID);
    EXPECT_EQ(0x0710u, nic.pci.DeviceID);
    EXPECT_EQ(0xe70eu, nic.pci.SubsysDeviceID);
    EXPECT_EQ(4u, nic.pci.BusNumber);
    EXPECT_EQ(1u, nic.pci.FunctionNumber);
    EXPECT_EQ(1, nic.PortNumber);
    EXPECT_STREQ("vmnic1", nic.IfName);
    EXPECT_STREQ("ovnnet.o", nic.driver.DriverName);
    EXPECT_STREQ("12.0.1215.0", nic.driver.DriverVersion);
    EXPECT_EQ(0, nic.IsVF);

    MAL_NicPhysicalProperties discovery;
    std::memset(&discovery, 0, sizeof discovery);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetNicPhysicalPropertiesForDiscovery(static_cast<node_tag_t>(nics[0]), &discovery));
    EXPECT_EQ(0u, discovery.pci.FunctionNumber);
    EXPECT_EQ(0, discovery.PortNumber);

    MAL_iSCSIPhysicalProperties iscsi;
    std::memset(&iscsi, 0, sizeof iscsi);
    MAL_GetiSCSIPhysicalProperties(static_cast<node_tag_t>(iscsis[0]), &iscsi);
    EXPECT_EQ(0x0712u, iscsi.pci.DeviceID);
    EXPECT_EQ(2u, iscsi.pci.FunctionNumber);
    EXPECT_EQ(20, iscsi.DefaultETO);
    EXPECT_EQ(-1, iscsi.LDTO); // "N/A" on a callback-driven function
    EXPECT_EQ(16, iscsi.MaxCDBLength);
    EXPECT_STREQ("ovniscsi.o", iscsi.driver.DriverName);

    MAL_iSCSINicConfigProperties config;
    std::memset(&config, 0, sizeof config);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetiSCSINicConfigProperties(static_cast<node_tag_t>(iscsis[0]), &config));
    EXPECT_STREQ("10Gb", config.PortMaxSpeed); // the NIC parameters of the iSCSI function
}

TEST_F(MalMachine, FailingReadsLeaveTheirFailureValues)
{
    plan(1, 32);  // controller attributes: the version on flash cannot be read
    plan(1, 121); // additional attributes: nor the temperature
    MAL_AWProperties rec;
    std::memset(&rec, 0, sizeof rec);
    ASSERT_EQ(RM_STATUS_OK, MAL_GetAWProperties(static_cast<node_tag_t>(adapters_[AW3]), &rec));
    EXPECT_STREQ("Not Available", rec.FirmwareVersionOnFlash);
    EXPECT_STREQ("10.2.370.15", rec.ActiveFirmwareVersion);
    EXPECT_EQ(0, rec.ArcwrightOnDieTemperature);
    // Varrow re-reads its additional attributes on every read: set 2 fails.
    std::memset(&rec, 0, sizeof rec);
    ASSERT_EQ(RM_STATUS_OK, MAL_GetAWProperties(static_cast<node_tag_t>(adapters_[VARROW]), &rec));
    EXPECT_STREQ("Not Available", rec.IPLFileName);
    EXPECT_STREQ("Not Available", rec.UEFINICVersion);
}

TEST_F(MalMachine, AnotherProcessHoldingTheAdapterGivesBusy)
{
    LockHolder other("AW3M0001");
    ASSERT_TRUE(other.holding());
    MAL_AWProperties rec;
    std::memset(&rec, 0, sizeof rec);
    EXPECT_EQ(RM_STATUS_ERROR_ADAPTER_BUSY, MAL_GetAWProperties(static_cast<node_tag_t>(adapters_[AW3]), &rec));
    EXPECT_STREQ("", rec.SerialNumber);
    // Other adapters are not held.
    EXPECT_EQ(RM_STATUS_OK, MAL_GetAWProperties(static_cast<node_tag_t>(adapters_[AW2]), &rec));
}

} // namespace
