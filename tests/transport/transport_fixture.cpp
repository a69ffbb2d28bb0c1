#include "transport_fixture.h"

#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "sim/command_log.h"
#include "sim/fault_plan.h"
#include "vmkmgmt.h"

namespace transporttest
{

const char kMachine[] = R"({
  "host": { "release": "VMware ESXi 6.7.0 build-8169922" },
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3T0001",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.16", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710",
          "subvendor": "0x10DF", "subdevice": "0xE70E", "revision": "0x01", "port": 0,
          "mac": "00:00:C9:B3:00:20", "driver": "callback" },
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712",
          "subvendor": "0x10DF", "subdevice": "0xE70E", "revision": "0x01", "port": 1,
          "mac": "00:00:C9:B3:00:22", "driver": "callback" }
      ] },
    { "name": "aw2", "family": "converged", "generation": "AW2", "serial": "AW2T0001",
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.604" },
      "functions": [
        { "bus": 9, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700",
          "port": 0, "mac": "00:00:C9:A2:00:90", "driver": "legacy" },
        { "bus": 9, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0702",
          "port": 0, "mac": "00:00:C9:A2:00:92", "driver": "legacy", "legacy_device": 0 }
      ] }
  ]
})";

void TransportTest::SetUp()
{
    std::memset(&vexo_glob, 0, sizeof vexo_glob);
    for (int i = 0; i < VEXO_MAX_HBA; ++i) {
        vexo_glob.nic.os_handles[i] = -1;
        vexo_glob.iscsi.os_handles[i] = -1;
    }
    std::strcpy(vexo_glob.nic.pci_dev_name[kNicCallback - 1], "0000:04:00.0");
    vexo_glob.nic.driver_type[kNicCallback - 1] = VEXO_DRV_CALLBACK;
    std::strcpy(vexo_glob.nic.pci_dev_name[kNicLegacy - 1], "0000:09:00.0");
    vexo_glob.nic.driver_type[kNicLegacy - 1] = VEXO_DRV_LEGACY_IFNAME;
    std::strcpy(vexo_glob.iscsi.pci_dev_name[kIscsiCallback - 1], "0000:04:00.2");
    vexo_glob.iscsi.driver_type[kIscsiCallback - 1] = VEXO_DRV_CALLBACK;
    vexo_glob.protocols_bitmap[kChipBoth] = 1 | 2;
    vexo_glob.protocols_bitmap[kChipNic] = 2;
    vexo_glob.protocols_bitmap[kChipNone] = 0;
    vexo_glob.protocols_bitmap[kChipOther] = 4;
}

void TransportTest::TearDown()
{
    EXPECT_EQ(0, vmk_MgmtUserOpenHandleCount()) << "every library handle is destroyed";
    EXPECT_EQ(0, vexo_glob.ioctl_version);
    EXPECT_EQ(0, vexo_glob.pf_number);
    for (int i = 0; i < VEXO_MAX_HBA; ++i)
        if (vexo_glob.iscsi.os_handles[i] >= 0)
            close(vexo_glob.iscsi.os_handles[i]);
}

void TransportTest::open_legacy_iscsi()
{
    std::string dev = host.path("/vmfs/devices/char/vmkdriver/aw2iscsi_0");
    int fd = open(dev.c_str(), O_RDWR);
    ASSERT_GE(fd, 0) << "the legacy device opens through the interposer";
    vexo_glob.iscsi.os_handles[kIscsiLegacy - 1] = fd;
}

std::vector<nlohmann::json> TransportTest::fw_log() const
{
    std::vector<nlohmann::json> out;
    for (const nlohmann::json &e : hlvdsim::log_read(host.root()))
        if (e["kind"] == "fw")
            out.push_back(e);
    return out;
}

std::vector<nlohmann::json> TransportTest::all_log() const
{
    return hlvdsim::log_read(host.root());
}

void TransportTest::clear_log() const
{
    hlvdsim::log_clear(host.root());
}

void TransportTest::plan_status(int opcode, int status, int additional, bool always) const
{
    hlvdsim::FaultSpec f;
    f.opcode = opcode;
    f.kind = "status";
    f.status = status;
    f.additional_status = additional;
    f.always = always;
    std::string err;
    ASSERT_GT(hlvdsim::fault_add(host.root(), f, &err), 0) << err;
}

void TransportTest::plan_transport(const char *how, int opcode, int err) const
{
    hlvdsim::FaultSpec f;
    f.opcode = opcode;
    f.kind = "transport";
    f.how = how;
    f.err = err;
    std::string why;
    ASSERT_GT(hlvdsim::fault_add(host.root(), f, &why), 0) << why;
}

Last last_status()
{
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[VEXO_LAST_STATUS_SIZE] = "";
    vexo_get_last_status(&code, text);
    return Last{code, text};
}

} // namespace transporttest
