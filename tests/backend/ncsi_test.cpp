// NC-SI state, handshake and configurations, the NC-SI version, the FFV
// name, the PCI Express link and the CIM views of simulated adapters of
// every generation; the command log shows what a property read or write
// sent, and that a refused one sent nothing.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "backend_fixture.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

// Adapter order: AW2 (NC-SI with both records), AW3 (iSCSI and NIC), Trelmont
// (NC-SI on, NIC functions 1, 0, 2 in that order), Varrow (FFV name longer
// than its field reported), AW3 with an iSCSI function only.
const char kMachine[] = R"({
  "host": { "release": "VMware ESXi 6.7.0 build-8169922" },
  "adapters": [
    { "name": "aw2", "family": "converged", "generation": "AW2", "serial": "AW2NC0001",
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.1" },
      "ncsi": { "handshake": 0, "version": [1, 0, 3, 7, 2],
                "static": { "magic": "0x4e435349", "port_swap": 1, "port0_mac": "00:00:C9:A2:00:10",
                            "enable_port0_wol": 1, "port1_mac": "00:00:C9:A2:00:11", "enable_port1_wol": 7,
                            "vlan": 100 },
                "dynamic": { "magic": "0x4e435349", "valid": 1, "port0_mac": "02:00:00:00:00:01",
                             "enable_port0_wol": 0, "port1_mac": "02:00:00:00:00:02", "enable_port1_wol": 6,
                             "vlan": 12 } },
      "functions": [
        { "bus": 3, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE602", "mac": "00:00:C9:A2:00:10" },
        { "bus": 3, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 1,
          "subvendor": "0x10DF", "subdevice": "0xE602", "mac": "00:00:C9:A2:00:11" }
      ] },
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3NC0001",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "ncsi": { "version": "1.1.0.4" }, "pcie": { "speed": 2, "width": 8 },
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:20" },
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:22" }
      ] },
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLNC0001",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "ncsi": { "supported": true }, "ffv": { "name": "TRL-FFV" }, "pcie": { "speed": 3, "width": 4 },
      "functions": [
        { "bus": 5, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 1,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:31" },
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:30" },
        { "bus": 5, "function": 2, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE81E", "mac": "00:00:C9:C4:00:32" }
      ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWNC0001",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "ffv": { "name": "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", "length": 200 },
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE222", "mac": "00:00:C9:D5:00:40" }
      ] },
    { "name": "aw3-iscsi", "family": "converged", "generation": "AW3", "serial": "AW3NC0002",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 7, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "mac": "00:00:C9:B3:00:32" }
      ] }
  ]
})";

const int kAw2 = 0;

// The dynamic record the AW2 firmware holds at start, as the write carries it.
const char kAw2Dynamic[] = "4953434e" "01" "020000000001" "00" "020000000002" "06" "00" "0c00" "0000"
                           "0000000000000000";

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

class Ncsi : public ::testing::Test {
protected:
    void SetUp() override
    {
        host_ = std::make_unique<SimHost>(kMachine);
        ASSERT_EQ(0, VEXO_init());
    }
    void TearDown() override
    {
        while (vexo_client_count > 0)
            EXPECT_EQ(0, VEXO_exit());
    }
    const std::string &root() const { return host_->root(); }

    // Firmware commands (subsystem, opcode) sent to adapter `name`.
    std::vector<nlohmann::json> sent(const std::string &name, int subsystem, int opcode)
    {
        std::vector<nlohmann::json> out;
        for (const nlohmann::json &e : fw_entries(root()))
            if (e.value("adapter", "") == name && e.value("subsystem", -1) == subsystem &&
                e.value("opcode", -1) == opcode)
                out.push_back(e);
        return out;
    }
    std::string ncsi(const char *serial) { return adapter_path(serial) + "/NCSI"; }

    std::unique_ptr<SimHost> host_;
};

TEST_F(Ncsi, StartShowsStateAndBuildsConfigurationGroupsOnAw2Only)
{
    struct Case {
        const char *serial;
        const char *name;
        const char *support;
        const char *handshake;
        bool groups;
        bool queried;
    } cases[] = {
        {"AW2NC0001", "aw2", "Supported", "Success", true, true},
        {"AW3NC0001", "aw3", "Supported", "N/A", false, true},
        {"TRLNC0001", "trelmont", "Supported", "N/A", false, true},
        {"VRWNC0001", "varrow", "Not Supported", "N/A", false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.serial);
        EXPECT_EQ(c.queried, !sent(c.name, 1, 86).empty());
        EXPECT_EQ(c.support, value_at(ncsi(c.serial) + "/NCSISupport"));
        EXPECT_EQ(c.handshake, value_at(ncsi(c.serial) + "/NCSIAWHandShake"));
        EXPECT_EQ(c.groups, tag_at(ncsi(c.serial) + "/NCSIStaticConfiguration0", VEXO_NODE_GROUP) >= 0);
        EXPECT_EQ(c.groups, tag_at(ncsi(c.serial) + "/NCSIDynamicConfiguration0", VEXO_NODE_GROUP) >= 0);
    }
    // A Varrow adapter is never asked, not even by the reads.
    EXPECT_TRUE(sent("varrow", 1, 86).empty());
}

TEST_F(Ncsi, Aw2ConfigurationGroupsShowTheFirmwareRecords)
{
    const std::string st = ncsi("AW2NC0001") + "/NCSIStaticConfiguration0/";
    const std::string dy = ncsi("AW2NC0001") + "/NCSIDynamicConfiguration0/";
    struct Case {
        std::string path;
        const char *value;
    } cases[] = {
        {st + "PortSwap", "Yes"},
        {st + "EnableWOLPort0", "Yes"},
        {st + "Port0MAC", "00:00:c9:a2:00:10"},
        {st + "EnableWOLPort1", "No"}, // 7 is neither Yes nor No: the value stays
        {st + "Port1MAC", "00:00:c9:a2:00:11"},
        {st + "MgmtVLANId", "100"},
        {dy + "EnableWOLPort0", "No"},
        {dy + "Port0MAC", "02:00:00:00:00:01"},
        {dy + "EnableWOLPort1", "No"},
        {dy + "Port1MAC", "02:00:00:00:00:02"},
        {dy + "MgmtVLANId", "12"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.value, value_at(c.path)) << c.path;
}

TEST_F(Ncsi, DynamicWriteChangesOneFieldOfTheFirmwareRecord)
{
    struct Case {
        const char *property;
        const char *value;
        size_t at;           // byte offset of the change in the record
        const char *written; // hex of the changed bytes
        const char *shown;   // what a later read shows
    } cases[] = {
        // Bit 0 set, the other bits kept; 7 reads as neither Yes nor No, so
        // the text the write stored stays.
        {"EnableWOLPort1", "yes", 18, "07", "yes"},
        {"EnableWOLPort1", "No", 18, "00", "No"},
        {"EnableWOLPort0", "YES", 11, "01", "Yes"},
        {"MgmtVLANId", "4095", 20, "ff0f", "4095"},
        {"Port0MAC", "00:11:22:33:44:5A", 5, "00112233445a", "00:11:22:33:44:5a"},
        {"Port1MAC", "0a:0b:0c:0d:0e:0f", 12, "0a0b0c0d0e0f", "0a:0b:0c:0d:0e:0f"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.property) + "=" + c.value);
        TearDown();
        host_.reset(); // one simulated host at a time
        host_ = std::make_unique<SimHost>(kMachine);
        ASSERT_EQ(0, VEXO_init());
        clear_log(root());
        const std::string path = ncsi("AW2NC0001") + "/NCSIDynamicConfiguration0/" + c.property;
        ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(path, c.value));
        std::vector<std::pair<int, int>> cmds = fw_commands(root());
        auto read = std::find(cmds.begin(), cmds.end(), std::make_pair(1, 86));
        auto write = std::find(cmds.begin(), cmds.end(), std::make_pair(1, 87));
        ASSERT_NE(cmds.end(), write);
        EXPECT_LT(read - cmds.begin(), write - cmds.begin()) << "the record is read before it is written";
        std::string expected = kAw2Dynamic;
        expected.replace(2 * c.at, std::string(c.written).size(), c.written);
        std::vector<nlohmann::json> w = sent("aw2", 1, 87);
        ASSERT_EQ(1u, w.size());
        EXPECT_EQ(expected, lower(w[0].value("payload", "")));
        EXPECT_EQ(c.shown, value_at(path));
    }
}

TEST_F(Ncsi, RefusedDynamicWritesSendNothing)
{
    const std::string dy = ncsi("AW2NC0001") + "/NCSIDynamicConfiguration0/";
    clear_log(root());
    EXPECT_NE(VEXO_STATUS_SUCCESS, set_at(dy + "Port0MAC", "000:11:22:33:44:5"));
    EXPECT_EQ(VEXO_STATUS_API_INVALID_VALUE, last_status().first);
    EXPECT_TRUE(sent("aw2", 1, 87).empty());
    EXPECT_EQ("02:00:00:00:00:01", value_at(dy + "Port0MAC"));

    // The firmware turns NC-SI off: the next read shows it, and a write is refused.
    set_adapter_field(root(), kAw2, "ncsi", {{"supported", false}});
    EXPECT_EQ("Not Supported", value_at(ncsi("AW2NC0001") + "/NCSISupport"));
    clear_log(root());
    EXPECT_NE(VEXO_STATUS_SUCCESS, set_at(dy + "MgmtVLANId", "4095"));
    EXPECT_EQ(VEXO_STATUS_NCSI_STATUS_DISABLED, last_status().first);
    EXPECT_TRUE(fw_commands(root()).empty());
}

TEST_F(Ncsi, FailedDynamicWriteIsAFailure)
{
    const std::string path = ncsi("AW2NC0001") + "/NCSIDynamicConfiguration0/MgmtVLANId";
    plan_status(root(), 1, 87, 2, 75);
    EXPECT_NE(VEXO_STATUS_SUCCESS, set_at(path, "7"));
    EXPECT_EQ(VEXO_STATUS_SET_NCSI_DYNAMIC, last_status().first);
    EXPECT_EQ("12", value_at(path));
}

TEST_F(Ncsi, VersionByGeneration)
{
    struct Case {
        const char *serial;
        const char *version;
    } cases[] = {
        {"AW2NC0001", "1.0.3.7-2"},
        {"AW3NC0001", "1.1.0.4"},
        {"TRLNC0001", "N/A"}, // supported, but not an AW2 or AW3
        {"VRWNC0001", "N/A"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.version, value_at(ncsi(c.serial) + "/NCSIVersion")) << c.serial;
}

TEST_F(Ncsi, FfvNameWriteSendsTheNameZeroPaddedInAFullField)
{
    const std::string path = adapter_path("TRLNC0001") + "/FFVName";
    EXPECT_EQ("TRL-FFV", value_at(path));
    clear_log(root());
    // A longer text first leaves its bytes in the caller's buffer.
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(path, "ABCDEFGHIJKL"));
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(path, "FFV-5"));
    std::vector<nlohmann::json> w = sent("trelmont", 19, 2);
    ASSERT_EQ(2u, w.size());
    // wr 1, ffv_length 32, the name, then zeros to the end of the 36 bytes.
    std::string expected = "01200000" "4646562d35" + std::string(2 * (32 - 5), '0');
    EXPECT_EQ(expected, lower(w[1].value("payload", "")));
    EXPECT_EQ("FFV-5", value_at(path));
}

TEST_F(Ncsi, FfvNameReadStaysInItsField)
{
    // The firmware reports 200 bytes of a 32-byte field.
    EXPECT_EQ("ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", value_at(adapter_path("VRWNC0001") + "/FFVName"));
}

TEST_F(Ncsi, FfvNameOnAwAdaptersAndUnsupportedFirmware)
{
    for (const char *serial : {"AW2NC0001", "AW3NC0001"}) {
        SCOPED_TRACE(serial);
        const std::string path = adapter_path(serial) + "/FFVName";
        clear_log(root());
        EXPECT_EQ("N/A", value_at(path));
        EXPECT_NE(VEXO_STATUS_SUCCESS, set_at(path, "FFV-5"));
        EXPECT_EQ(VEXO_STATUS_FFV_NOT_SUPPORTED, last_status().first);
        for (const auto &cmd : fw_commands(root()))
            EXPECT_NE(std::make_pair(19, 2), cmd);
    }
    // Firmware without the command: the read fails and the name becomes N/A.
    plan_status(root(), 19, 2, 66);
    const std::string path = adapter_path("TRLNC0001") + "/FFVName";
    EXPECT_NE(VEXO_STATUS_SUCCESS, set_at(path, "FFV-5"));
    EXPECT_EQ(VEXO_STATUS_NOT_SUPPORTED, last_status().first);
    EXPECT_EQ("error 1", value_at(path));
}

TEST_F(Ncsi, PciExpressLinkOfTheChosenFunction)
{
    struct Case {
        const char *serial;
        const char *name;
        const char *speed;
        const char *width;
        const char *pci; // the function whose link is read
    } cases[] = {
        {"AW3NC0001", "aw3", "5.0GT/s", "x8", "0000:04:00.2"},      // the iSCSI function
        {"TRLNC0001", "trelmont", "7.5GT/s", "x4", "0000:05:00.0"}, // the NIC function 0
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.serial);
        clear_log(root());
        EXPECT_EQ(c.speed, value_at(adapter_path(c.serial) + "/PCIExpressLinkSpeed"));
        EXPECT_EQ(c.width, value_at(adapter_path(c.serial) + "/PCIExpressBusWidth"));
        std::vector<nlohmann::json> reads = sent(c.name, 1, 72);
        ASSERT_EQ(2u, reads.size());
        for (const nlohmann::json &e : reads)
            EXPECT_EQ(c.pci, e.value("pci", ""));
    }
}

TEST_F(Ncsi, CimViews)
{
    const std::string aw2 = adapter_path("AW2NC0001");
    const std::string bus = value_at(aw2 + "/NICPhysicalHBA0/PCI/BusNumber");
    const std::string dev = value_at(aw2 + "/NICPhysicalHBA0/PCI/DeviceNumber");
    const std::string none = adapter_path("AW3NC0002");
    struct Case {
        std::string path;
        std::string value;
    } cases[] = {
        {aw2 + "/NICCIM/PortControllerName", "Orvane Stratolink at " + bus + ":" + dev},
        {aw2 + "/NICCIM/ControllerType", "Ethernet"},
        {aw2 + "/NICCIM/ProtocolSupported", "IEEE P802.3ae"},
        {aw2 + "/NICCIM/MaxSupportedController", "2"},
        {adapter_path("TRLNC0001") + "/NICCIM/MaxSupportedController", "3"},
        {none + "/NICCIM/PortControllerName", "N/A"},
        {none + "/NICCIM/ControllerType", "N/A"},
        {none + "/NICCIM/ProtocolSupported", "N/A"},
        {none + "/NICCIM/MaxSupportedController", "0"},
        {aw2 + "/NICPhysicalHBA1/CIM/ProtocolIfType", "Ethernet CSMA/CD"},
        {aw2 + "/NICPhysicalHBA1/CIM/LinkTechnology", "Ethernet"},
        {aw2 + "/NICPhysicalHBA1/CIM/Capabilities", "LoadBalancing,FailOver,WakeOnLAN"},
        {aw2 + "/NICPhysicalHBA1/CIM/EnabledCapabilities", "LoadBalancing,FailOver,WakeOnLAN"},
    };
    ASSERT_FALSE(none.empty());
    for (const Case &c : cases)
        EXPECT_EQ(c.value, value_at(c.path)) << c.path;
}

} // namespace
