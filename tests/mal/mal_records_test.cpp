// The discovery records on groups in the shapes the back end builds.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "mal/mal_core.h"
#include "mal/mal_records.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mal_tree.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace maltest;

namespace {

const uint8_t kFF[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

bool mac_is(const uint8_t *mac, std::initializer_list<int> bytes)
{
    int i = 0;
    for (int b : bytes)
        if (mac[i++] != b)
            return false;
    return true;
}

class MalRecords : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        tree_state = TreeState();
        for (int i = 0; i < 256; ++i)
            tree_state.pci[i] = static_cast<uint8_t>(255 - i);
        ASSERT_EQ(1, VEXO_init());
        adapter_ = build_adapter();
        ASSERT_TRUE(adapter_);
        a_ = adapter_->node_tag;
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter);
    }

    SimHost host_{kNoAdapterMachine};
    int start_ = 0;
    node *adapter_ = nullptr;
    node_tag_t a_ = -1;
};

TEST_F(MalRecords, AdapterRecordFromEveryGroup)
{
    MAL_AWProperties rec;
    std::memset(&rec, 0, sizeof rec);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetAWProperties(a_, &rec));
    EXPECT_STREQ("11.2.1193.36", rec.ActiveFirmwareVersion);
    EXPECT_STREQ("11.2.1153.13", rec.BootCodeVersion);
    EXPECT_STREQ("Converged adapter", rec.Description);
    EXPECT_STREQ("SER0", rec.SerialNumber);
    EXPECT_STREQ("Alive", rec.ControllerStatus);
    EXPECT_STREQ("N/A", rec.PHYFirmwareVersion);
    EXPECT_EQ(52, rec.ArcwrightOnDieTemperature);
    EXPECT_STREQ("9", rec.PXEBIOSVersion);
    EXPECT_STREQ("x8", rec.PCIExpressBusWidth);
    EXPECT_STREQ("FFV-A", rec.FFVName);
    EXPECT_EQ(0x1fu, rec.PersonalityManagementWord);
    EXPECT_STREQ("OEM-77", rec.OEMSerialNumber);
    EXPECT_STREQ("AB0102030405060708090a", rec.OrvaneSerialNumber);
    EXPECT_EQ(1, rec.FATDataValid);
    EXPECT_EQ(2, rec.MaxSupportedController);
    EXPECT_STREQ("Ethernet", rec.ControllerType);
    EXPECT_STREQ("1.0", rec.NCSIVersion);
}

TEST_F(MalRecords, AdapterRecordFailureValues)
{
    remove_child(adapter_, "OEM");
    remove_child(adapter_, "NCSI");
    remove_child(adapter_, "NICCIM");
    remove_child(adapter_, "FATData");
    remove_child(adapter_, "FFVName");
    remove_child(adapter_, "Description");
    set_value(adapter_, "FleetView", "");
    set_value(adapter_, "ArcwrightOnDieTemperature", "300");

    MAL_AWProperties rec;
    std::memset(&rec, 0, sizeof rec);
    std::snprintf(rec.ControllerType, sizeof rec.ControllerType, "stale");
    rec.MaxSupportedController = 9;
    EXPECT_EQ(RM_STATUS_OK, MAL_GetAWProperties(a_, &rec));
    EXPECT_STREQ("Not Available", rec.FFVName);
    EXPECT_STREQ("Not Available", rec.Description);
    EXPECT_STREQ("Not Available", rec.FleetView); // read, but empty in a failing set
    EXPECT_STREQ("TF-2", rec.ModelNumber);
    EXPECT_EQ(44, rec.ArcwrightOnDieTemperature);
    EXPECT_EQ(0u, rec.PersonalityManagementWord);
    EXPECT_STREQ("", rec.OEMSerialNumber);
    EXPECT_STREQ("", rec.OrvaneSerialNumber);
    EXPECT_STREQ("Not Available", rec.NCSIVersion);
    EXPECT_EQ(0, rec.MaxSupportedController);
    EXPECT_STREQ("", rec.ControllerType);
    EXPECT_EQ(0, rec.FATDataValid);
    // The second set read well: its fields keep what they read.
    EXPECT_STREQ("N/A", rec.IPLFileName);
}

TEST_F(MalRecords, AdapterRecordStopsAtOnceWhenBusy)
{
    LockHolder other("SER0");
    ASSERT_TRUE(other.holding());
    MAL_AWProperties rec;
    std::memset(&rec, 0, sizeof rec);
    EXPECT_EQ(RM_STATUS_ERROR_ADAPTER_BUSY, MAL_GetAWProperties(a_, &rec));
    MAL_AWProperties zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(0, std::memcmp(&zero, &rec, sizeof rec));
}

TEST_F(MalRecords, PortRecord)
{
    node *port = build_port(adapter_);
    ASSERT_TRUE(port);
    MAL_Group_PortDiscoveryAndConfiguration rec;
    std::memset(&rec, 0, sizeof rec);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetGroup_PortDiscoveryAndConfiguration(port->node_tag, &rec));
    EXPECT_STREQ("Up", rec.PhysicalLinkStatus);
    EXPECT_STREQ("Port 0", rec.PortName);
    EXPECT_STREQ("10:00:00:00:c9:00:00:01", rec.FCoEWWPN);
    EXPECT_EQ(1, rec.PortState);
    EXPECT_EQ(0, rec.BeaconState);
    EXPECT_EQ(0x1bu, rec.PHYType);

    remove_child(port, "PHYType");
    remove_child(port, "PortName");
    remove_child(port, "BeaconState");
    std::memset(&rec, 0, sizeof rec);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetGroup_PortDiscoveryAndConfiguration(port->node_tag, &rec));
    EXPECT_EQ(0u, rec.PHYType);
    EXPECT_STREQ("", rec.PortName);
    EXPECT_EQ(2, rec.BeaconState);
    EXPECT_STREQ("10Gb", rec.FCoELinkSpeed);
}

TEST_F(MalRecords, IscsiFunctionRecords)
{
    node *iscsi = build_iscsi(adapter_);
    ASSERT_TRUE(iscsi);
    node_tag_t f = iscsi->node_tag;
    MAL_iSCSIPhysicalProperties rec;
    std::memset(&rec, 0, sizeof rec);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetiSCSIPhysicalProperties(f, &rec));
    EXPECT_EQ(0x19a2u, rec.pci.VendorID);
    EXPECT_EQ(0x0712u, rec.pci.DeviceID);
    EXPECT_EQ(1u, rec.pci.DomainNumber);
    EXPECT_EQ(2u, rec.pci.FunctionNumber);
    EXPECT_STREQ("ovniscsi.o", rec.driver.DriverName);
    EXPECT_EQ(30, rec.DefaultETO);
    EXPECT_EQ(20, rec.LDTO);
    EXPECT_EQ(16, rec.MaxCDBLength);
    EXPECT_EQ(1, rec.iSCSIBIOSEnable);
    EXPECT_EQ(0, rec.MPIOEnabled);
    EXPECT_EQ(0, rec.vnic.vNICEnabled);
    EXPECT_STREQ("", rec.vnic.vNICName); // not read while disabled
    EXPECT_EQ(0, std::memcmp(tree_state.pci, rec.PciConfigSpace, 256));
    EXPECT_EQ(4, tree_state.dump_runs);

    MAL_iSCSINicConfigProperties nic;
    std::memset(&nic, 0, sizeof nic);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetiSCSINicConfigProperties(f, &nic));
    EXPECT_TRUE(mac_is(nic.MACAddress, {0x00, 0x90, 0xfa, 0x0a, 0x0b, 0x0c}));
    EXPECT_TRUE(mac_is(nic.PermanentMACAddress, {0x00, 0x90, 0xfa, 0x0a, 0x0b, 0x0d}));
    EXPECT_EQ(9000, nic.MaxMTUSize);
    EXPECT_STREQ("10Gb", nic.PortMaxSpeed);

    // Time-outs the firmware does not give, a permanent address that cannot
    // be read, and a missing speed.
    set_value(iscsi, "LDTO", "N/A");
    set_value(iscsi, "DefaultETO", "n/a");
    node *config = internal_get_node(internal_get_node(iscsi, "Network", 1), "NICConfiguration", 1);
    remove_child(config, "PermanentMACAddress");
    remove_child(config, "PortMaxSpeed");
    std::memset(&rec, 0, sizeof rec);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetiSCSIPhysicalProperties(f, &rec));
    EXPECT_EQ(-1, rec.LDTO);
    EXPECT_EQ(-1, rec.DefaultETO);
    std::memset(&nic, 0, sizeof nic);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetiSCSINicConfigProperties(f, &nic));
    EXPECT_TRUE(mac_is(nic.PermanentMACAddress, {0x00, 0x90, 0xfa, 0x0a, 0x0b, 0x0c}));
    EXPECT_STREQ("Not Available", nic.PortMaxSpeed);

    // A missing Driver group ends the record before the PCI block.
    remove_child(iscsi, "Driver");
    std::memset(&rec, 0, sizeof rec);
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetiSCSIPhysicalProperties(f, &rec));
    EXPECT_EQ(0u, rec.pci.VendorID);
    EXPECT_EQ(1, rec.PortNumber);

    remove_child(iscsi, "Network");
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetiSCSINicConfigProperties(f, &nic));
}

TEST_F(MalRecords, NicFunctionRecord)
{
    node *fn = build_nic(adapter_);
    ASSERT_TRUE(fn);
    node_tag_t f = fn->node_tag;
    MAL_NicPhysicalProperties rec;
    std::memset(&rec, 0, sizeof rec);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetNicPhysicalProperties(f, &rec));
    EXPECT_EQ(0x0710u, rec.pci.DeviceID);
    EXPECT_EQ(4u, rec.pci.BusNumber);
    EXPECT_TRUE(mac_is(rec.MACAddress, {0x00, 0x90, 0xfa, 0x01, 0x02, 0x03}));
    EXPECT_TRUE(mac_is(rec.PermanentMACAddress, {0x00, 0x90, 0xfa, 0x01, 0x02, 0x04}));
    EXPECT_TRUE(mac_is(rec.FactoryDefaultMACAddress, {0x00, 0x90, 0xfa, 0x01, 0x02, 0x05}));
    EXPECT_STREQ("ovnnet.o", rec.driver.DriverName);
    EXPECT_STREQ("Ethernet", rec.cim.LinkTechnology);
    EXPECT_EQ(1, rec.vnic.vNICEnabled);
    EXPECT_STREQ("vnic0", rec.vnic.vNICName);
    EXPECT_EQ(100, rec.vnic.MaxBandwidth);
    EXPECT_STREQ("PXE", rec.boot.NetworkBootMethod);
    EXPECT_EQ(1, rec.boot.NetworkBootState);
    EXPECT_EQ(5, rec.boot.VLANId);
    EXPECT_TRUE(mac_is(rec.boot.VolatileMACAddress, {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}));
    EXPECT_EQ(1, rec.PortNumber);
    EXPECT_EQ(9000, rec.MaxMTUSize);
    EXPECT_STREQ("vmnic2", rec.IfName);
    EXPECT_STREQ("10 Gbps", rec.PortSpeed);
    EXPECT_EQ(1, rec.SRIOVState);
    EXPECT_EQ(0, rec.IsVF);
    EXPECT_EQ(0, rec.IsRoCEEnabled);
    EXPECT_EQ(0, std::memcmp(tree_state.pci, rec.PciConfigSpace, 256));
    EXPECT_EQ(tree_state.pci[8], rec.PciConfigSpace[8]); // the revision id

    remove_child(fn, "PermanentMACAddress");
    remove_child(fn, "FactoryDefaultMACAddress");
    remove_child(fn, "NetworkBootConfiguration");
    remove_child(fn, "IfName");
    set_value(fn, "LogicalLinkStatus", "");
    set_value(fn, "vNIC/vNICEnabled", "Disabled");
    std::memset(&rec, 0, sizeof rec);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetNicPhysicalProperties(f, &rec));
    EXPECT_TRUE(mac_is(rec.PermanentMACAddress, {0x00, 0x90, 0xfa, 0x01, 0x02, 0x03}));
    EXPECT_EQ(0, std::memcmp(kFF, rec.FactoryDefaultMACAddress, 6));
    EXPECT_EQ(0, std::memcmp(kFF, rec.boot.VolatileMACAddress, 6));
    EXPECT_EQ(2, rec.boot.NetworkBootState);
    EXPECT_EQ(-1, rec.boot.VLANId);
    EXPECT_EQ(-1, rec.boot.VLANPriority);
    EXPECT_STREQ("n/a", rec.LogicalLinkStatus);
    EXPECT_EQ(0, rec.vnic.vNICEnabled);
    EXPECT_STREQ("", rec.vnic.vNICName);

    // The discovery form reads the function group and the PCI block only.
    std::memset(&rec, 0, sizeof rec);
    int runs = tree_state.dump_runs;
    EXPECT_EQ(RM_STATUS_OK, MAL_GetNicPhysicalPropertiesForDiscovery(f, &rec));
    EXPECT_EQ(0x19a2u, rec.pci.VendorID);
    EXPECT_EQ(1, rec.PortNumber);
    EXPECT_STREQ("", rec.driver.DriverName);
    EXPECT_EQ(runs, tree_state.dump_runs);
    remove_child(fn, "PCI");
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetNicPhysicalPropertiesForDiscovery(f, &rec));
    // Missing groups leave their failure values; the record still answers 0.
    std::memset(&rec, 0, sizeof rec);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetNicPhysicalProperties(f, &rec));
    EXPECT_EQ(0u, rec.pci.VendorID);
}

TEST_F(MalRecords, ConfigurationDumpStopsAtAFailingPass)
{
    node *fn = build_nic(adapter_);
    ASSERT_TRUE(fn);
    tree_state.dump_fail_offset = 128;
    uint8_t buf[256];
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_Dump_PciConfigRegion(fn->node_tag, "DumpNICPCIConfigRegion", buf));
    EXPECT_EQ(0, std::memcmp(tree_state.pci, buf, 128));
    for (int i = 128; i < 256; ++i)
        ASSERT_EQ(0xEE, buf[i]) << i;
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_Dump_PciConfigRegion(fn->node_tag, "NoSuchDump", buf));
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_Dump_PciConfigRegion(a_, "DumpNICPCIConfigRegion", buf));
}

} // namespace
