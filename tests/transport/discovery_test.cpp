// Discovery of the functions the drivers serve, into the driver tables:
// through the enumeration callbacks (with the fall-back to the older NIC
// list) and through the legacy devices.
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/device_child.h"
#include "mgmt/aw/vexo-backend/linux/driver_discovery.h"
#include "sim/command_log.h"
#include "support/sim_host.h"
#include "vmkmgmt.h"

namespace
{

// A machine with `count` NIC functions on one converged adapter, served the
// way `driver` says; `drivers` is the description's "drivers" object.
std::string nic_machine(int count, const char *driver, const std::string &drivers = "{}")
{
    std::string fns;
    for (int i = 0; i < count; ++i) {
        char f[200];
        std::snprintf(f, sizeof f,
                      R"(%s{ "bus": %d, "function": %d, "kind": "nic", "device_id": "0x0710", "driver": "%s" })",
                      i ? "," : "", 0x10 + i / 8, i % 8, driver);
        fns += f;
    }
    return R"({"drivers": )" + drivers +
           R"(, "adapters": [{ "name": "a", "family": "converged", "generation": "AW3", "functions": [)" + fns + "]}]}";
}

class Discovery : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        std::memset(&vexo_glob, 0, sizeof vexo_glob);
    }
    void TearDown() override
    {
        EXPECT_EQ(0, vmk_MgmtUserOpenHandleCount());
        os_put_port_instances(vexo_glob.iscsi.os_handles, VEXO_MAX_HBA);
        os_put_nic_port_instances(vexo_glob.nic.os_handles, VEXO_MAX_HBA);
    }
    int open_slots(const os_handle_t *h)
    {
        int n = 0;
        for (int i = 0; i < VEXO_MAX_HBA; ++i)
            n += h[i] != -1;
        return n;
    }
};

TEST_F(Discovery, CallbackDriversFillTheTablesAndOpenNothing)
{
    hlvdtest::SimHost host(R"({"adapters": [{ "name": "a", "family": "converged", "generation": "AW3",
      "functions": [
        { "segment": 1, "bus": 10, "function": 3, "kind": "nic", "driver": "callback", "ifname": "vmnic12" },
        { "segment": 1, "bus": 10, "function": 4, "kind": "iscsi", "driver": "callback", "vmhba": "vmhba40" } ] }]})");
    EXPECT_EQ(1, os_get_nic_port_instances(vexo_glob.nic.os_handles, VEXO_MAX_HBA));
    EXPECT_EQ(1, os_get_port_instances(vexo_glob.iscsi.os_handles, VEXO_MAX_HBA));
    EXPECT_STREQ("0001:0a:00.3", vexo_glob.nic.pci_dev_name[0]);
    EXPECT_STREQ("vmnic12", vexo_glob.nic.ifnames[0]);
    EXPECT_EQ(VEXO_DRV_CALLBACK, vexo_glob.nic.driver_type[0]);
    EXPECT_EQ(1, vexo_glob.nic.pci_info[0].domain_number);
    EXPECT_EQ(10, vexo_glob.nic.pci_info[0].bus_number);
    EXPECT_EQ(0, vexo_glob.nic.pci_info[0].device_number);
    EXPECT_EQ(3, vexo_glob.nic.pci_info[0].pf_num);
    EXPECT_STREQ("0001:0a:00.4", vexo_glob.iscsi.pci_dev_name[0]);
    EXPECT_STREQ("vmhba40", vexo_glob.iscsi.vmhba[0]);
    EXPECT_EQ(VEXO_DRV_CALLBACK, vexo_glob.iscsi.driver_type[0]);
    EXPECT_EQ(4, vexo_glob.iscsi.pci_info[0].pf_num);
    EXPECT_EQ(0, open_slots(vexo_glob.nic.os_handles));
    EXPECT_EQ(0, open_slots(vexo_glob.iscsi.os_handles));
}

TEST_F(Discovery, NicListFallsBackWhenTheLargerListIsMissing)
{
    hlvdtest::SimHost host(nic_machine(3, "callback", R"({"ovnnet": {"missing_callbacks": [32]}})"));
    EXPECT_EQ(3, VEXO_enumerate_ovn_nics(0));
    EXPECT_STREQ("0000:10:00.2", vexo_glob.nic.pci_dev_name[2]);
    bool asked_17 = false;
    for (const nlohmann::json &e : hlvdsim::log_read(host.root()))
        asked_17 = asked_17 || (e["kind"] == "driver" && e["callback"] == 17);
    EXPECT_TRUE(asked_17);
}

TEST_F(Discovery, DriverCountsAreBoundedByTheirLists)
{
    {
        // The older list holds 32 functions, whatever count the driver reports.
        hlvdtest::SimHost host(nic_machine(40, "callback", R"({"ovnnet": {"missing_callbacks": [32]}})"));
        EXPECT_EQ(32, VEXO_enumerate_ovn_nics(0));
        EXPECT_STREQ("0000:13:00.7", vexo_glob.nic.pci_dev_name[31]);
        EXPECT_STREQ("", vexo_glob.nic.pci_dev_name[32]);
    }
    std::memset(&vexo_glob, 0, sizeof vexo_glob);
    {
        // The table holds 128.
        hlvdtest::SimHost host(nic_machine(130, "callback"));
        EXPECT_EQ(128, VEXO_enumerate_ovn_nics(0));
        EXPECT_STREQ("0000:1f:00.7", vexo_glob.nic.pci_dev_name[127]);
    }
}

TEST_F(Discovery, NoDriverFindsNothing)
{
    hlvdtest::SimHost host(R"({"adapters": []})");
    EXPECT_EQ(0, os_get_nic_port_instances(vexo_glob.nic.os_handles, VEXO_MAX_HBA));
    EXPECT_EQ(0, os_get_port_instances(vexo_glob.iscsi.os_handles, VEXO_MAX_HBA));
    EXPECT_EQ(-1, vexo_glob.nic.os_handles[0]);
    EXPECT_EQ(0, open_slots(vexo_glob.iscsi.os_handles));
}

TEST_F(Discovery, LegacyIscsiDevicesFillSlotsFromZero)
{
    RUN_WITH_DEVICES();
    hlvdtest::SimHost host(R"({"adapters": [{ "name": "a", "family": "converged", "generation": "AW2",
      "functions": [
        { "bus": 9, "function": 2, "kind": "iscsi", "driver": "legacy", "legacy_device": 0 },
        { "bus": 9, "function": 3, "kind": "iscsi", "driver": "legacy", "legacy_device": 2 } ] }]})");
    EXPECT_EQ(2, os_get_port_instances(vexo_glob.iscsi.os_handles, VEXO_MAX_HBA));
    EXPECT_GE(vexo_glob.iscsi.os_handles[0], 0);
    EXPECT_GE(vexo_glob.iscsi.os_handles[1], 0);
    EXPECT_EQ(2, open_slots(vexo_glob.iscsi.os_handles));
    EXPECT_EQ(FD_CLOEXEC, fcntl(vexo_glob.iscsi.os_handles[0], F_GETFD) & FD_CLOEXEC);
    os_put_port_instances(vexo_glob.iscsi.os_handles, VEXO_MAX_HBA);
    EXPECT_EQ(0, open_slots(vexo_glob.iscsi.os_handles));
}

TEST_F(Discovery, LegacyNicDeviceAndInterfaceNames)
{
    RUN_WITH_DEVICES();
    hlvdtest::SimHost host(R"({"adapters": [{ "name": "a", "family": "converged", "generation": "AW2",
      "functions": [
        { "bus": 9, "function": 0, "kind": "nic", "driver": "legacy", "ifname": "vmnic_long_name" },
        { "bus": 9, "function": 1, "kind": "nic", "driver": "legacy" } ] }]})");
    EXPECT_EQ(2, os_get_nic_port_instances(vexo_glob.nic.os_handles, VEXO_MAX_HBA));
    EXPECT_GE(vexo_glob.nic.os_handles[0], 0) << "the NIC device stays open in slot 0";
    EXPECT_EQ(9, vexo_glob.nic.pci_info[1].bus_number);
    EXPECT_EQ(1, vexo_glob.nic.pci_info[1].pf_num);
    EXPECT_STREQ("vmnic_lon", vexo_glob.nic.ifnames[0]) << "nine characters of the configured name";
    EXPECT_STREQ("vmnic1", vexo_glob.nic.ifnames[1]);
    EXPECT_EQ(VEXO_DRV_LEGACY_IFNAME, vexo_glob.nic.driver_type[1]);
    os_put_nic_port_instances(vexo_glob.nic.os_handles, VEXO_MAX_HBA);
    EXPECT_EQ(-1, vexo_glob.nic.os_handles[0]);

    // Without the host's configuration file the device is closed again.
    unlink(host.path("/etc/vmware/esx.conf").c_str());
    EXPECT_EQ(2, os_get_nic_port_instances(vexo_glob.nic.os_handles, VEXO_MAX_HBA));
    EXPECT_EQ(-1, vexo_glob.nic.os_handles[0]);
}

} // namespace
