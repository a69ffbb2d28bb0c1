// Property writes on the adapter, NIC-function and iSCSI-function groups go
// through VEXO_set_property_val and are checked against the access flag,
// datatype, limits and allowed values of the tables before any handler.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/aw/vexo-backend/nodes_iscsi.h"
#include "mgmt/aw/vexo-backend/nodes_nic.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "node_table_check.h"

using namespace nodestest;

namespace {

struct WriteCase {
    const char *group; // path below Arcwright0, "" for the adapter group
    const char *property;
    const char *value;
    int status; // 0: accepted and handed to the handler
};

const WriteCase kWrites[] = {
    {"", "AdvancedMode", "disabled", 0},
    {"", "FleetView", "Enabled", 10},
    {"", "SerialNumber", "ABC", 10},
    {"", "FFVName", "abc", 8},
    {"", "FFVName", "abcd", 0},
    {"ProfileManagement/ConfiguredProfile", "ProfileId", "0", 0},
    {"ProfileManagement/ConfiguredProfile", "ProfileId", "33", 7},
    {"ProfileManagement/ActiveProfile", "ProfileId", "1", 10},
    {"NICPhysicalHBA0/NetworkBootConfiguration", "VolatileMACAddress", "00:11:22:33:44:5", 8},
    {"NICPhysicalHBA0/NetworkBootConfiguration", "VolatileMACAddress", "00:11:22:33:44:555", 8},
    {"NICPhysicalHBA0/NetworkBootConfiguration", "VolatileMACAddress", "00:11:22:33:44:55", 0},
    {"NICPhysicalHBA0/NetworkBootConfiguration", "NetworkBootState", "Enabled", 10},
    {"NICPhysicalHBA0", "MACAddress", "00:11:22:33:44:5", 8},
    {"NICPhysicalHBA0", "PermanentMACAddress", "00:11:22:33:44:55", 0},
    {"NICPhysicalHBA0", "SRIOVState", "ENABLED", 0},
    {"NICPhysicalHBA0", "VEPAState", "On", 6},
    {"NICPhysicalHBA0", "MTUSize", "1500", 10},
    {"NICPhysicalHBA0/vNIC", "vNICEnabled", "True", 10},
    {"NICPhysicalHBA0/NICLogicalHBA0", "TxRate", "0", 7},
    {"NICPhysicalHBA0/NICLogicalHBA0", "TxRate", "10000", 0},
    {"NICPhysicalHBA0/NICLogicalHBA0", "VLANID", "4095", 7},
    {"NICPhysicalHBA0/NICLogicalHBA0", "LinkStatus", "Down", 10},
    {"iSCSIPhysicalHBA0", "iSCSIBIOSEnable", "yes", 0},
    {"iSCSIPhysicalHBA0", "MPIOEnabled", "maybe", 6},
    {"iSCSIPhysicalHBA0/Network/TCPIPConfiguration", "DefaultGateway", "10.0.0", 6},
    {"iSCSIPhysicalHBA0/Network/TCPIPConfiguration", "DefaultGateway", "10.0.0.1", 0},
    {"iSCSIPhysicalHBA0/Network/TCPIPConfiguration", "InitiatorIPAddress", "10.0.0.2", 10},
    {"iSCSIPhysicalHBA0/Network/TCPIPConfiguration/IPv6Configuration", "DefaultIPv6Gateway", "", 8},
    {"iSCSIPhysicalHBA0/Network/NICConfiguration", "MACAddress", "00:11:22:33:44:55", 10},
    {"iSCSIPhysicalHBA0/Network/NICConfiguration", "PermanentMACAddress", "00:11:22:33:44:55", 0},
    {"iSCSIPhysicalHBA0/iSNS", "iSNSEnabled", "NO", 0},
    {"iSCSIPhysicalHBA0/iSNS", "iSNSEnabled", "Off", 6},
};

class PropertyWrites : public NodeTreeTest {
protected:
    void SetUp() override
    {
        NodeTreeTest::SetUp();
        adapter_ = initialize_Arcwright(get_node(0), nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, adapter_);
        node *nic = initialize_NICPhysicalHBA(adapter_, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, nic);
        ASSERT_NE(nullptr, initialize_NICLogicalHBA(nic, nullptr, nullptr, nullptr));
        ASSERT_NE(nullptr, initialize_iSCSIPhysicalHBA(adapter_, nullptr, nullptr, nullptr));
    }

    node *adapter_ = nullptr;
};

TEST_F(PropertyWrites, WritesAreCheckedAgainstTheTables)
{
    for (const WriteCase &c : kWrites) {
        SCOPED_TRACE(std::string(c.group) + " " + c.property + " = \"" + c.value + "\"");
        expect_write_checked(c.group[0] ? fixed_group(adapter_, c.group) : adapter_, c.property, c.value, c.status);
    }
}

} // namespace
