// The back end's routines one by one: text forms, tables, driver queries on
// both paths, and the legacy devices.
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/adapter_startup.h"
#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/cntr_additional_attribs.h"
#include "mgmt/aw/vexo-backend/cntr_attribs.h"
#include "mgmt/aw/vexo-backend/function_attribs.h"
#include "mgmt/aw/vexo-backend/linux/driver_queries.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "backend_fixture.h"
#include "support/device_child.h"
#include "support/sim_host.h"
#include "vmkmgmt.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

const char kLegacy[] = R"({
  "adapters": [
    { "name": "aw2", "family": "converged", "generation": "AW2", "serial": "AW2L0001",
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.1" },
      "functions": [
        { "bus": 9, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 0,
          "mac": "00:00:C9:A2:00:90", "driver": "legacy", "vfs": 3, "ifname": "vmnic_long_name" },
        { "bus": 9, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 1,
          "mac": "00:00:C9:A2:00:91", "driver": "legacy" },
        { "bus": 9, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0702", "port": 0,
          "mac": "00:00:C9:A2:00:92", "driver": "legacy", "legacy_device": 2 }
      ] }
  ]
})";

TEST(TextForms, CapabilitiesAndFirmwareStatus)
{
    struct Case {
        uint32_t modes;
        const char *text;
    } cases[] = {{0x13, "TCP offload,Raw Ethernet,iSCSI Initiator"},
                 {0x8003, "Invalid"},
                 {0, ""},
                 {0x3C0, "FCoE Initiator,FCoE Target,DAL,LRO"},
                 {0x10000, ""}};
    for (const Case &c : cases) {
        char text[VEXO_VALUE_SIZE];
        capabilities_text(c.modes, text);
        EXPECT_STREQ(c.text, text) << c.modes;
    }
    EXPECT_STREQ("Working", firmware_status_text(0));
    EXPECT_STREQ("Failed", firmware_status_text(3));
    EXPECT_STREQ("Unknown", firmware_status_text(4));
    char text[VEXO_VALUE_SIZE];
    varrow_personalities(0xF, text);
    EXPECT_STREQ("NIC/iSCSI/FCoE/RDMA", text);
    varrow_personalities(0, text);
    EXPECT_STREQ("", text);
}

TEST(IplTable, RowsByFamilyAndNumber)
{
    EXPECT_STREQ(ipl_file_names[1], ipl_stem(AW_TYPE_AW3, 1));
    EXPECT_STREQ(ipl_file_names[113], ipl_stem(AW_TYPE_AW3, 113));
    EXPECT_STREQ(ipl_file_names[114], ipl_stem(AW_TYPE_TRELMONT, 256));
    EXPECT_STREQ(ipl_file_names[151], ipl_stem(AW_TYPE_TRELMONT, 293));
    const struct {
        int family;
        unsigned n;
    } none[] = {{AW_TYPE_AW3, 0},        {AW_TYPE_AW3, 114},       {AW_TYPE_TRELMONT, 255},
                {AW_TYPE_TRELMONT, 294}, {AW_TYPE_TRELMONT, 0xFFFF}, {AW_TYPE_AW2, 5},
                {AW_TYPE_VARROW, 5},     {AW_TYPE_UNKNOWN, 5}};
    for (const auto &c : none)
        EXPECT_EQ(nullptr, ipl_stem(c.family, c.n)) << c.family << " " << c.n;
    for (int row = 1; row < IPL_FILE_NAME_ROWS; ++row) {
        size_t len = std::strlen(ipl_file_names[row]);
        EXPECT_TRUE(len == 6 || len == 7) << row;
    }
}

class CallbackQueries : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0, VEXO_init()); }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(0, vmk_MgmtUserOpenHandleCount());
    }
    SimHost host_{kTwoAdapters};
};

TEST_F(CallbackQueries, PciTextAndPciExpressLink)
{
    char text[VEXO_PCI_TEXT_SIZE];
    ASSERT_EQ(0, VEXO_get_varrow_pci_data(1, 0, 20, text));
    // 16 groups, a line break, 4 groups; vendor 0x19a2 first.
    std::string t = text;
    EXPECT_EQ("a2 19 10 07 ", t.substr(0, 12));
    EXPECT_EQ(std::string::npos, t.find('\n', 49));
    EXPECT_EQ('\n', t[48]);
    EXPECT_EQ(48u + 1 + 4 * 3, t.size());

    node *nic = get_node(tag_at("Arcwright0/NICPhysicalHBA0", VEXO_NODE_GROUP));
    node *iscsi = get_node(tag_at("Arcwright0/iSCSIPhysicalHBA0", VEXO_NODE_GROUP));
    ASSERT_TRUE(nic && iscsi);
    char value[VEXO_VALUE_SIZE];
    ASSERT_EQ(0, VEXO_get_pci_express_data(get_port_number(nic), 0, 0, AW_TYPE_AW3, nic, "pciexpresslinkspeed",
                                           value));
    EXPECT_STREQ("5.0GT/s", value);
    ASSERT_EQ(0, VEXO_get_pci_express_data(get_port_number(iscsi), 0, 0, AW_TYPE_AW3, iscsi, "Width", value));
    EXPECT_STREQ("x8", value);
    // The Varrow road reads the legacy NIC device, which a callback driver has not.
    EXPECT_EQ(1, VEXO_get_pci_express_data(get_port_number(nic), 0, 0, AW_TYPE_VARROW, nic, "PCIExpressLinkSpeed",
                                           value));
    EXPECT_EQ(VEXO_STATUS_CANNOT_READ_PCI_DATA, last_status().first);
}

TEST_F(CallbackQueries, DriverInformationOfTheFunctions)
{
    node *nic = get_node(tag_at("Arcwright0/NICPhysicalHBA0", VEXO_NODE_GROUP));
    ASSERT_TRUE(nic);
    ASSERT_EQ(0, VEXO_get_nic_mtusize(nic, get_port_number(nic)));
    EXPECT_EQ("9000", value_at("Arcwright0/NICPhysicalHBA0/MTUSize"));
    ASSERT_EQ(0, VEXO_get_nic_macaddress(nic, nullptr));
    EXPECT_EQ("00-00-c9-b3-00-20", value_at("Arcwright0/NICPhysicalHBA0/MACAddress"));
    EXPECT_EQ(1, VEXO_set_nic_macaddress(nic, nullptr));
    EXPECT_EQ(VEXO_STATUS_SET_NOT_SUPPORTED, last_status().first);
    int vfs = -1;
    ASSERT_EQ(0, VEXO_Get_VF_Info(get_port_number(nic), &vfs, 0, nic));
    EXPECT_EQ(2, vfs);
    char name[32];
    ASSERT_EQ(0, ioctl_get_vmhba_name(1, name));
    EXPECT_STREQ("vmhba32", name);

    // A planned failure of the MAC query.
    plan_status(host_.root(), 1, 1, 2, 0, false);
    EXPECT_EQ(1, VEXO_get_nic_macaddress(nic, nullptr));
    EXPECT_EQ(VEXO_STATUS_CURRENT_MAC_QUERY, last_status().first);
}

TEST_F(CallbackQueries, DomainNumberOfAnIscsiFunction)
{
    node *iscsi = get_node(tag_at("Arcwright0/iSCSIPhysicalHBA0", VEXO_NODE_GROUP));
    ASSERT_TRUE(iscsi);
    // The start built the initiator; this case needs a function without it.
    ASSERT_EQ(VEXO_STATUS_SUCCESS, purge_nodes_within(iscsi, "LogicalHBA"));
    // Without its logical HBA the function cannot name its interface.
    EXPECT_EQ("error 1", value_at("Arcwright0/iSCSIPhysicalHBA0/PCI/DomainNumber"));
    static const hm_node_row rows[] = {HM_PROPERTY("IfName", "host adapter name", VEXO_PROP_READONLY,
                                                   VEXO_TYPE_STRING, 0, 255, "vmhba32", nullptr,
                                                   handle_internal_property)};
    static uint8_t bits[HM_BIT_FIELD_BYTES(1, 16 * 8)];
    static const hm_group_type lhba = {"LogicalHBA", "initiator", 1, 0, nullptr, bits, sizeof bits, rows, 1};
    node *l = hm_build_group(&lhba, iscsi, nullptr, nullptr, nullptr);
    ASSERT_TRUE(l);
    node *pci = get_node(tag_at("Arcwright0/iSCSIPhysicalHBA0/PCI", VEXO_NODE_GROUP));
    // A callback-driven function answers what the enumeration stored.
    set_prop_val(pci, "DomainNumber", "0x00ab");
    EXPECT_EQ("0x00ab", value_at("Arcwright0/iSCSIPhysicalHBA0/PCI/DomainNumber"));
    // Otherwise the host file names its segment (here 0001).
    vexo_glob.iscsi.driver_type[get_port_number(iscsi) - 1] &= static_cast<uint8_t>(~VEXO_DRV_CALLBACK);
    EXPECT_EQ("0x0001", value_at("Arcwright0/iSCSIPhysicalHBA0/PCI/DomainNumber"));
    // An interface the file does not name keeps the value.
    set_prop_val(l, "IfName", "vmhba99");
    set_prop_val(pci, "DomainNumber", "0x00ab");
    EXPECT_EQ("0x00ab", value_at("Arcwright0/iSCSIPhysicalHBA0/PCI/DomainNumber"));
    delete_node(l);
}

TEST_F(CallbackQueries, PortGroupStartUpData)
{
    // What the start-up operations read and write on the port groups that
    // port discovery built.
    node *aw3 = get_node(tag_at("Arcwright0", VEXO_NODE_GROUP));
    node *p0 = get_node(tag_at("Arcwright0/PortDiscoveryAndConfiguration0", VEXO_NODE_GROUP));
    node *p1 = get_node(tag_at("Arcwright1/PortDiscoveryAndConfiguration0", VEXO_NODE_GROUP));
    ASSERT_TRUE(aw3 && p0 && p1);

    EXPECT_EQ(0, VEXO_update_diagnostics_prop(aw3));
    EXPECT_EQ("True", value_at("Arcwright0/Diagnostics/IsLoopbackSupported"));
    set_adapter_field(host_.root(), 0, "loopback_mode", 254);
    EXPECT_EQ(0, VEXO_update_diagnostics_prop(aw3));
    EXPECT_EQ("False", value_at("Arcwright0/Diagnostics/IsLoopbackSupported"));

    clear_log(host_.root());
    EXPECT_EQ(0, VEXO_update_is_clear_counter(get_port_number(p0), p0));
    EXPECT_EQ("N/A", value_at("Arcwright0/PortDiscoveryAndConfiguration0/BaseT10G/IsClearCountersSupported"));
    EXPECT_TRUE(fw_commands(host_.root()).empty());
    EXPECT_EQ(0, VEXO_update_is_clear_counter(get_port_number(p1), p1));
    EXPECT_EQ("False", value_at("Arcwright1/PortDiscoveryAndConfiguration0/BaseT10G/IsClearCountersSupported"));
    set_adapter_field(host_.root(), 1, "base_t", 1);
    EXPECT_EQ(0, VEXO_update_is_clear_counter(get_port_number(p1), p1));
    EXPECT_EQ("True", value_at("Arcwright1/PortDiscoveryAndConfiguration0/BaseT10G/IsClearCountersSupported"));
}

TEST_F(CallbackQueries, FunctionIdentityWithoutAttributes)
{
    MGMT_CONTROLLER_ATTRIBUTES attrs;
    std::memset(&attrs, 0, sizeof attrs);
    char domain[VEXO_PCI_DOMAIN_TEXT_SIZE], bus[VEXO_VALUE_SIZE], dev[VEXO_VALUE_SIZE], fn[VEXO_VALUE_SIZE],
        serial[VEXO_SERIAL_TEXT_SIZE];
    // A NIC function still answers from its slot, with serial "0".
    ASSERT_EQ(0, VEXO_get_pci_bdf(2, domain, bus, dev, fn, serial, 2, &attrs, 1));
    EXPECT_STREQ("0x0000", domain);
    EXPECT_STREQ("0x4", bus);
    EXPECT_STREQ("0x1", fn);
    EXPECT_STREQ("0", serial);
    // An iSCSI function does not.
    EXPECT_EQ(1, VEXO_get_pci_bdf(1, domain, bus, dev, fn, serial, 1, &attrs, 1));
    EXPECT_EQ(1, VEXO_get_pci_bdf(1, domain, bus, dev, fn, serial, 2, nullptr, 0));
    // A serial that fills its field is taken whole.
    std::memset(attrs.hba_attribs.controller_serial_number, 'S', sizeof attrs.hba_attribs.controller_serial_number);
    ASSERT_EQ(0, VEXO_get_pci_bdf(1, domain, bus, dev, fn, serial, 1, &attrs, 0));
    EXPECT_EQ(32u, std::strlen(serial));
}

TEST(LegacyDevices, FunctionsReachedThroughTheCharacterDevices)
{
    RUN_WITH_DEVICES();
    SimHost host(kLegacy);
    int start = vexo_counter;
    ASSERT_EQ(0, VEXO_init());
    // The adapter comes from its iSCSI function; the NIC functions, whose
    // attributes the legacy path cannot read, join it by bus and device.
    EXPECT_EQ("AW2L0001", value_at("Arcwright0/SerialNumber"));
    EXPECT_EQ("aw2iscsi.o", value_at("Arcwright0/iSCSIPhysicalHBA0/Driver/DriverName"));
    EXPECT_EQ("30", value_at("Arcwright0/iSCSIPhysicalHBA0/LDTO"));
    EXPECT_EQ("aw2net.o", value_at("Arcwright0/NICPhysicalHBA0/Driver/DriverName"));
    EXPECT_EQ("0x9", value_at("Arcwright0/NICPhysicalHBA1/PCI/BusNumber"));
    EXPECT_EQ("0x1", value_at("Arcwright0/NICPhysicalHBA1/PCI/FunctionNumber"));
    // Interface names from the host file, at most nine characters.
    EXPECT_EQ("vmnic_lon", value_at("Arcwright0/NICPhysicalHBA0/IfName"));
    // Virtual functions through the legacy device.
    EXPECT_NE(-1, tag_at("Arcwright0/NICPhysicalHBA0/NICLogicalHBA2", VEXO_NODE_GROUP));
    EXPECT_EQ(3, vexo_glob.nic.lhba[0].valid_lhba);
    char name[32];
    ASSERT_EQ(0, ioctl_get_vmhba_name(1, name));
    EXPECT_STREQ("vmhba32", name);
    aw_drvinfo info;
    ASSERT_EQ(0, ioctl_get_mtu(1, &info));
    EXPECT_EQ(1500, info.mtu);
    // Every legacy query closes the NIC device again.
    EXPECT_EQ(-1, vexo_glob.nic.os_handles[0]);
    EXPECT_EQ(0, VEXO_exit());
    EXPECT_EQ(start, vexo_counter);
    EXPECT_EQ(-1, vexo_glob.iscsi.os_handles[0]);
}

TEST(LegacyDevices, VirtualFunctionCountBoundedByTheDriverRecord)
{
    RUN_WITH_DEVICES();
    SimHost host(kLegacy);
    set_adapter_field(host.root(), 0, "functions", nlohmann::json::parse(R"([
        { "bus": 9, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 0,
          "mac": "00:00:C9:A2:00:90", "driver": "legacy", "vfs": 100 } ])"));
    ASSERT_EQ(0, VEXO_init());
    // The legacy record describes 60 virtual functions at most.
    EXPECT_EQ(60, vexo_glob.nic.lhba[0].valid_lhba);
    EXPECT_NE(-1, tag_at("Arcwright0/NICPhysicalHBA0/NICLogicalHBA59", VEXO_NODE_GROUP));
    EXPECT_EQ(-1, tag_at("Arcwright0/NICPhysicalHBA0/NICLogicalHBA60", VEXO_NODE_GROUP));
    EXPECT_EQ(0, VEXO_exit());
}

TEST(LegacyDevices, CountChangeSeenByALegacyQuery)
{
    RUN_WITH_DEVICES();
    SimHost host(kLegacy);
    ASSERT_EQ(0, VEXO_init());
    set_function_driver(host.root(), 0, 1, "none");
    aw_drvinfo info;
    EXPECT_EQ(1, ioctl_get_mtu(1, &info));
    EXPECT_TRUE(backend_tree_stale());
    EXPECT_EQ(-1, tag_at("Arcwright0/NICPhysicalHBA1", VEXO_NODE_GROUP));
    EXPECT_NE(-1, tag_at("Arcwright0/NICPhysicalHBA0", VEXO_NODE_GROUP));
    EXPECT_EQ(0, VEXO_exit());
}

} // namespace

namespace {

void write_tool(const std::string &dir, const std::string &name, const std::string &body)
{
    std::string path = dir + "/" + name;
    hlvdtest::write_file(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
}

TEST(InterfaceCheck, ByTheHostToolsAnswers)
{
    std::string dir = hlvdtest::make_temp_dir("hlvdtools");
    write_tool(dir, "ethtool",
               "[ \"$2\" = vmnic0 ] && printf 'driver: ovnnet\\nbus-info: 0000:04:00.0\\n'\nexit 0\n");
    write_tool(dir, "lspci", "cat \"" + dir + "/space\"\n");
    std::string old_path = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (dir + ":/usr/bin:/bin").c_str(), 1);
    struct Case {
        const char *space;
        int expected;
    } cases[] = {
        {"00: a2 19 10 07 06 04 10 00\n", 0},             // the maker's own device
        {"00: df 10 20 e2 06 04 10 00\n", 1},             // the FC function
        {"00: df 10 28 e2 06 04 10 00\n", 0},             // another device of that vendor
        {"00: ff ff ff ff ff ff ff ff\n", 1},             // nothing there
        {"00: 86 80 fb 10 06 04 10 00\n", 0},             // someone else's device
    };
    for (const Case &c : cases) {
        hlvdtest::write_file(dir + "/space", c.space);
        char name[] = "vmnic0";
        EXPECT_EQ(c.expected, VEXO_check_valid_interface(name)) << c.space;
    }
    char unknown[] = "vmnic7";
    EXPECT_EQ(1, VEXO_check_valid_interface(unknown)); // the tool names no address
    char odd[] = "vmnic0;reboot";
    EXPECT_EQ(1, VEXO_check_valid_interface(odd));
    EXPECT_EQ(1, VEXO_check_valid_interface(nullptr));
    setenv("PATH", old_path.c_str(), 1);
    hlvdtest::remove_tree(dir);
}

} // namespace
