// Back-end start from the simulated machine: adapter groups and functions,
// their property values, the start's command road, and the stop.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/function_enum.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "backend_fixture.h"
#include "sim/machine.h"
#include "support/lock_holder.h"
#include "support/sim_host.h"
#include "vmkmgmt.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

const char kNoConverged[] = R"({
  "host": { "release": "VMware ESXi 6.7.0 build-8169922" },
  "adapters": [
    { "name": "fc", "family": "fc", "generation": "SLI4", "serial": "FC1",
      "firmware": { "active": "1", "flash": "1", "boot": "1" },
      "functions": [ { "bus": 8, "function": 0, "kind": "fc", "vendor": "0x10DF", "device_id": "0xE200",
                       "port": 0, "wwpn": "10:00:00:00:C9:F7:00:60" } ] }
  ]
})";

bool every_handle_closed()
{
    for (int i = 0; i < VEXO_MAX_HBA; ++i)
        if (vexo_glob.nic.os_handles[i] != -1 || vexo_glob.iscsi.os_handles[i] != -1)
            return false;
    return true;
}

class BackendStart : public ::testing::Test {
protected:
    void start(const char *machine)
    {
        host_ = std::make_unique<SimHost>(machine);
        start_ = vexo_counter;
    }
    void TearDown() override
    {
        while (vexo_client_count > 0)
            EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
        EXPECT_EQ(0, vmk_MgmtUserOpenHandleCount());
        EXPECT_TRUE(every_handle_closed());
    }
    const std::string &root() const { return host_->root(); }

    std::unique_ptr<SimHost> host_;
    int start_ = 0;
};

TEST_F(BackendStart, TwoAdaptersWithTheirFunctionsAndFirmwareValues)
{
    start(kTwoAdapters);
    ASSERT_EQ(0, VEXO_init());

    EXPECT_EQ("12.0.1215.0", value_at("VEXOServiceVersion"));
    EXPECT_EQ("10.6", value_at("VEXOHierarchyVersion"));

    // The AW3 adapter comes from its iSCSI function; its NIC functions join it.
    EXPECT_EQ("AW3E2E0001", value_at("Arcwright0/SerialNumber"));
    EXPECT_EQ("Tranquilforge", value_at("Arcwright0/Manufacturer"));
    EXPECT_EQ("TF-AW3-2P", value_at("Arcwright0/ModelNumber"));
    EXPECT_EQ("TCP offload,Raw Ethernet,iSCSI Initiator", value_at("Arcwright0/Capabilities"));
    EXPECT_EQ("10.2.370.15", value_at("Arcwright0/ActiveFirmwareVersion"));
    EXPECT_EQ("10.2.370.19", value_at("Arcwright0/FirmwareVersionOnFlash"));
    EXPECT_EQ("10.2.370.2", value_at("Arcwright0/BootCodeVersion"));
    EXPECT_EQ("Working", value_at("Arcwright0/FirmwareStatus"));
    EXPECT_EQ("61", value_at("Arcwright0/ArcwrightOnDieTemperature"));
    EXPECT_EQ("Alive", value_at("Arcwright0/ControllerStatus"));
    EXPECT_EQ("No", value_at("Arcwright0/ProfileManagement/RebootRequired"));
    EXPECT_NE(-1, tag_at("Arcwright0/iSCSIPhysicalHBA0", VEXO_NODE_GROUP));
    EXPECT_EQ(-1, tag_at("Arcwright0/iSCSIPhysicalHBA1", VEXO_NODE_GROUP));
    EXPECT_EQ("0x0712", value_at("Arcwright0/iSCSIPhysicalHBA0/PCI/DeviceID"));
    EXPECT_EQ("0x2", value_at("Arcwright0/iSCSIPhysicalHBA0/PCI/FunctionNumber"));
    EXPECT_EQ("ovniscsi.o", value_at("Arcwright0/iSCSIPhysicalHBA0/Driver/DriverName"));
    EXPECT_EQ("N/A", value_at("Arcwright0/iSCSIPhysicalHBA0/LDTO")); // callback-driven
    EXPECT_EQ("20", value_at("Arcwright0/iSCSIPhysicalHBA0/DefaultETO"));
    EXPECT_EQ("1", value_at("Arcwright0/iSCSIPhysicalHBA0/iSCSIVersionMax"));
    EXPECT_EQ("0x0", value_at("Arcwright0/NICPhysicalHBA0/PCI/FunctionNumber"));
    EXPECT_EQ("0x1", value_at("Arcwright0/NICPhysicalHBA1/PCI/FunctionNumber"));
    EXPECT_EQ("1", value_at("Arcwright0/NICPhysicalHBA1/PortNumber"));
    EXPECT_EQ("vmnic0", value_at("Arcwright0/NICPhysicalHBA0/IfName"));
    EXPECT_EQ("ovnnet.o", value_at("Arcwright0/NICPhysicalHBA0/Driver/DriverName"));
    EXPECT_EQ("False", value_at("Arcwright0/NICPhysicalHBA0/IsVF"));
    // Two SR-IOV virtual functions on the first NIC function.
    EXPECT_NE(-1, tag_at("Arcwright0/NICPhysicalHBA0/NICLogicalHBA1", VEXO_NODE_GROUP));
    EXPECT_EQ(-1, tag_at("Arcwright0/NICPhysicalHBA1/NICLogicalHBA0", VEXO_NODE_GROUP));
    EXPECT_EQ(2, vexo_glob.nic.lhba[0].valid_lhba);

    // The Trelmont adapter has NIC functions only.
    EXPECT_EQ("TRLE2E0001", value_at("Arcwright1/SerialNumber"));
    EXPECT_EQ("11.1.183.23", value_at("Arcwright1/ActiveFirmwareVersion"));
    EXPECT_NE(-1, tag_at("Arcwright1/NICPhysicalHBA1", VEXO_NODE_GROUP));
    EXPECT_EQ(-1, tag_at("Arcwright1/iSCSIPhysicalHBA0", VEXO_NODE_GROUP));
    EXPECT_EQ(-1, tag_at("Arcwright2", VEXO_NODE_GROUP));

    // Which driver serves each adapter and port.
    EXPECT_EQ(1, vexo_glob.protocols_bitmap[0]);
    EXPECT_EQ(2, vexo_glob.protocols_bitmap[1]);
    EXPECT_EQ(1, get_port_bitmap(0, 0)); // iSCSI and NIC on port 0: the iSCSI driver
    EXPECT_EQ(2, get_port_bitmap(0, 1));
    EXPECT_EQ(2, get_port_bitmap(1, 0));
    EXPECT_EQ(4, get_port_bitmap(1, 2)); // no function on the port

    EXPECT_EQ(0, VEXO_exit());
    EXPECT_EQ(nullptr, get_node(0));
}

TEST_F(BackendStart, NoConvergedFunctionLeavesOnlyTheRoot)
{
    start(kNoConverged);
    EXPECT_EQ(1, VEXO_init()); // no adapter to lock
    EXPECT_EQ(VEXO_STATUS_STRATOLINK_ADAPTER_NOT_FOUND, last_status().first);
    EXPECT_EQ(vexo_status_message(VEXO_STATUS_STRATOLINK_ADAPTER_NOT_FOUND), last_status().second);
    EXPECT_EQ(-1, tag_at("Arcwright0", VEXO_NODE_GROUP));
    // The versions are written only when an adapter was found.
    EXPECT_EQ("0", value_at("VEXOServiceVersion"));
    EXPECT_TRUE(fw_commands(root()).empty());
}

TEST_F(BackendStart, StartUpCommandsInTheirOrder)
{
    start(kTwoAdapters);
    ASSERT_EQ(0, VEXO_init());
    auto cmds = fw_commands(root());
    auto first = [&](std::pair<int, int> c) { return std::find(cmds.begin(), cmds.end(), c) - cmds.begin(); };
    // Attributes and the management service come first, per function.
    ASSERT_GE(cmds.size(), 4u);
    EXPECT_EQ(std::make_pair(1, 32), cmds[0]);
    EXPECT_EQ(std::make_pair(1, 88), cmds[1]);
    EXPECT_EQ(std::make_pair(1, 91), cmds[2]);
    // Then each live adapter: OEM, personalities, additional attributes.
    EXPECT_LT(first({1, 76}), first({1, 113}));
    EXPECT_LT(first({1, 113}), first({1, 121}));
    // Port discovery (names, PHY details, DCBX, profile configuration) comes
    // before the loopback query on the first port group.
    EXPECT_LT(first({1, 77}), first({1, 102}));
    EXPECT_LT(first({1, 102}), first({16, 1}));
    EXPECT_LT(first({16, 1}), first({1, 164}));
    EXPECT_LT(first({1, 164}), first({11, 20}));
    EXPECT_LT(first({11, 20}), first({1, 121}));
}

TEST_F(BackendStart, DeadAdapterGetsNoStartUpData)
{
    start(kTwoAdapters);
    set_adapter_field(root(), 0, "chip_state", 1);
    ASSERT_EQ(0, VEXO_init());
    EXPECT_EQ("Dead", value_at("Arcwright0/ControllerStatus"));
    EXPECT_EQ("Unknown", value_at("Arcwright0/OEM/OEMSerialNumber"));
    EXPECT_EQ("OEMTRLE2E0001", value_at("Arcwright1/OEM/OEMSerialNumber"));
}

TEST_F(BackendStart, EachNicFunctionReadsItsOwnVirtualFunctionProbe)
{
    start(R"({
      "adapters": [
        { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "VF1",
          "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
          "functions": [
            { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
              "mac": "00:00:C9:B3:00:20", "vf": 1 },
            { "bus": 4, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 1,
              "mac": "00:00:C9:B3:00:21" } ] } ] })");
    ASSERT_EQ(0, VEXO_init());
    EXPECT_EQ(1, vm_flag);
    EXPECT_EQ("True", value_at("Arcwright0/NICPhysicalHBA0/IsVF"));
    EXPECT_EQ("False", value_at("Arcwright0/NICPhysicalHBA1/IsVF"));
    // Inside a virtual function the handlers refuse.
    EXPECT_EQ("error 1", value_at("Arcwright0/ControllerStatus"));
    EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM, last_status().first);
    EXPECT_EQ("N/A", value_at("Arcwright0/OEM/OEMSerialNumber"));
    EXPECT_EQ(0, VEXO_exit());

    // The next start probes afresh.
    set_adapter_field(root(), 0, "functions", nlohmann::json::parse(R"([
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "mac": "00:00:C9:B3:00:20" } ])"));
    ASSERT_EQ(0, VEXO_init());
    EXPECT_EQ(0, vm_flag);
    EXPECT_EQ("Alive", value_at("Arcwright0/ControllerStatus"));
}

TEST_F(BackendStart, AdapterWithoutUsableSerialIsLockedUnderItsBusNumber)
{
    start(R"({
      "adapters": [
        { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRW1",
          "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
          "oem": { "orvane_serial": "00", "oem_serial": "X" },
          "functions": [
            { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
              "mac": "00:00:C9:D5:00:40" } ] } ] })");
    ASSERT_EQ(0, VEXO_init());
    EXPECT_EQ("N/A", value_at("Arcwright0/SerialNumber"));
    int count = 0;
    char keys[VEXO_MAX_ADAPTERS][VEXO_SERIAL_NUM_SIZE] = {};
    ASSERT_EQ(0, VEXO_enumerate_serial_numbers(&count, keys[0]));
    ASSERT_EQ(1, count);
    EXPECT_STREQ("0x6", keys[0]);
    // Another process holding that key makes the adapter busy.
    hlvdtest::LockHolder holder(host_->path("/tmp/VEXO_ASIC_0x6.txt"));
    EXPECT_EQ("error 14", value_at("Arcwright0/ActiveFirmwareVersion"));
}

TEST_F(BackendStart, VarrowNicFunctionsWithTheFcDeviceIdStartNoAdapter)
{
    start(R"({
      "adapters": [
        { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRW2",
          "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
          "functions": [
            { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE220", "port": 0,
              "mac": "00:00:C9:D5:00:40" } ] } ] })");
    EXPECT_EQ(1, VEXO_init());
    EXPECT_EQ(-1, tag_at("Arcwright0", VEXO_NODE_GROUP));
}

TEST_F(BackendStart, PersistenceFilesAreCheckedAndMigrated)
{
    start(kTwoAdapters);
    const std::string dir = host_->path("/etc/config/TAQ/vexo/");
    hlvdsim::make_dirs(dir);
    const std::string good_tgt =
        "Arcwright0,iSCSIPhysicalHBA0,LogicalHBA0,iqn.t,10.0.0.1,3260,,,Yes,Yes,None,None,None,,,,,Static,"
        "Prohibited,Prohibited,Prohibited,\n";
    hlvdtest::write_file(dir + "savetgt.txt", good_tgt);
    // Sixteen commas where seventeen belong.
    hlvdtest::write_file(dir + "savestp.txt",
                         "Arcwright0,iSCSIPhysicalHBA0,LogicalHBA0,10.0.0.1,3260,,,,,,,,,,,,\n");
    // Older locations: one renamed over nothing, one appended.
    hlvdsim::make_dirs(host_->path("/scratch/Orvane/"));
    const std::string opts = "Arcwright0,iSCSIPhysicalHBA0,LogicalHBA0,Yes,Yes,None,None,None,,,,,Prohibited,"
                             "Prohibited,Prohibited\n";
    hlvdtest::write_file(host_->path("/scratch/Orvane/intr_logopts.txt"), opts);
    hlvdsim::make_dirs(host_->path("/scratch/config/TAQ/vexo/"));
    hlvdtest::write_file(host_->path("/scratch/config/TAQ/vexo/savetgt.txt"), good_tgt);

    ASSERT_EQ(0, VEXO_init());
    EXPECT_EQ("", hlvdtest::read_file(dir + "savestp.txt")); // its only line was damaged
    EXPECT_EQ(good_tgt + good_tgt, hlvdtest::read_file(dir + "savetgt.txt"));
    EXPECT_EQ(opts, hlvdtest::read_file(dir + "intr_logopts.txt"));
    EXPECT_FALSE(hlvdtest::file_exists(host_->path("/scratch/Orvane/intr_logopts.txt")));
    EXPECT_FALSE(hlvdtest::file_exists(host_->path("/scratch/config/TAQ/vexo/savetgt.txt")));
}

TEST_F(BackendStart, DefaultMachine)
{
    start("");
    ASSERT_EQ(0, VEXO_init());
    EXPECT_EQ("AW3SIM00001", value_at("Arcwright0/SerialNumber"));
    EXPECT_EQ("55", value_at("Arcwright0/ArcwrightOnDieTemperature"));
    EXPECT_EQ("OEMAW3SIM1", value_at("Arcwright0/OEM/OEMSerialNumber"));
    // Adapters with an iSCSI function are found first.
    EXPECT_EQ("TRLSIM00001", value_at("Arcwright1/SerialNumber"));
    EXPECT_EQ("0x5A3C0E91", value_at("Arcwright1/PHYConfigurationId"));
    EXPECT_EQ("AW2SIM00001", value_at("Arcwright2/SerialNumber"));
    EXPECT_EQ("NIC/iSCSI", value_at("Arcwright2/Personality/AvailablePersonalities"));
    EXPECT_EQ("VRWSIM00001", value_at("Arcwright3/SerialNumber"));
    EXPECT_EQ(-1, tag_at("Arcwright4", VEXO_NODE_GROUP));
}

TEST(PersistenceLines, SoundnessByCommasAndKeys)
{
    SimHost host;
    const std::string dir = host.path("/etc/config/TAQ/vexo/");
    hlvdsim::make_dirs(dir);
    struct Case {
        const char *line;
        bool kept;
    } cases[] = {
        {"Arcwright0,iSCSIPhysicalHBA0,LogicalHBA0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15\n", true},
        {"Arcwright0,iSCSIPhysicalHBA0,LogicalHBA0,1,2,3,4,5,6,7,8,9,10,11,12,13,14\n", false},
        {"Adapter0,iSCSIPhysicalHBA0,LogicalHBA0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15\n", false},
        {"Arcwright0,NICPhysicalHBA0,LogicalHBA0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15\n", false},
        {"", true},
    };
    for (const Case &c : cases) {
        hlvdtest::write_file(dir + "savestp.txt", c.line);
        EXPECT_EQ(0, VEXO_check_for_corrupted_database());
        // A bad line is dropped; the file stays.
        EXPECT_EQ(c.kept ? c.line : "", hlvdtest::read_file(dir + "savestp.txt")) << c.line;
    }
}

} // namespace
