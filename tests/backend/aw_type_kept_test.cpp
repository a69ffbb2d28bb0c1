// The ASIC family of an adapter is kept on its group between property reads;
// every change it depends on (the first function's PCI DeviceID however it
// is written, which function comes first) must show at once.
#include <string>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "backend_fixture.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

class AwTypeKept : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        adapter_ = get_node(tag_at("Arcwright0", VEXO_NODE_GROUP));
        ASSERT_TRUE(adapter_);
        node *iscsi = get_first_instance(adapter_, "iSCSIPhysicalHBA");
        node *nic = get_first_instance(adapter_, "NICPhysicalHBA");
        ASSERT_TRUE(iscsi && nic);
        iscsi_pci_ = internal_get_node(iscsi, "PCI", VEXO_NODE_GROUP);
        nic_pci_ = internal_get_node(nic, "PCI", VEXO_NODE_GROUP);
        ASSERT_TRUE(iscsi_pci_ && nic_pci_);
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter);
    }
    SimHost host_{kTwoAdapters};
    int start_ = 0;
    node *adapter_ = nullptr;
    node *iscsi_pci_ = nullptr;
    node *nic_pci_ = nullptr;
};

TEST_F(AwTypeKept, EveryWayOfWritingTheDeviceIdShowsAtOnce)
{
    ASSERT_EQ(AW_TYPE_AW3, get_aw_type(adapter_));
    ASSERT_EQ(AW_TYPE_AW3, get_aw_type(adapter_)); // now kept

    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_prop_val(iscsi_pci_, "DeviceID", "0x%04x", 0xE220));
    EXPECT_EQ(AW_TYPE_VARROW, get_aw_type(adapter_));

    node *device_id = internal_get_node(iscsi_pci_, "DeviceID", VEXO_NODE_PROPERTY);
    ASSERT_TRUE(device_id);
    ASSERT_GT(SET_CACHE_PROP_VAL(device_id, "0x%04x", 0x0720), 0);
    EXPECT_EQ(AW_TYPE_TRELMONT, get_aw_type(adapter_));

    char aw2[VEXO_VALUE_SIZE] = "0x0210";
    ASSERT_EQ(VEXO_STATUS_SUCCESS, internal_set_property(iscsi_pci_, "DeviceID", aw2));
    EXPECT_EQ(AW_TYPE_AW2, get_aw_type(adapter_));

    char unknown[VEXO_VALUE_SIZE] = "0x1234";
    ASSERT_EQ(VEXO_STATUS_SUCCESS, handle_internal_property(device_id, unknown, 1));
    EXPECT_EQ(AW_TYPE_UNKNOWN, get_aw_type(adapter_));

    // The same text written again changes nothing and keeps the answer.
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_prop_val(iscsi_pci_, "DeviceID", "0x1234"));
    EXPECT_EQ(AW_TYPE_UNKNOWN, get_aw_type(adapter_));

    // Writing the NIC function's id does not matter while the iSCSI function
    // comes first.
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_prop_val(nic_pci_, "DeviceID", "0x%04x", 0xE228));
    EXPECT_EQ(AW_TYPE_UNKNOWN, get_aw_type(adapter_));
}

TEST_F(AwTypeKept, AnUnreadableIdSetsTheStatusOnEveryCall)
{
    ASSERT_EQ(AW_TYPE_AW3, get_aw_type(adapter_));
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_prop_val(iscsi_pci_, "DeviceID", "not hex"));
    for (int call = 0; call < 2; ++call) {
        vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
        EXPECT_EQ(AW_TYPE_UNREADABLE, get_aw_type(adapter_)) << call;
        EXPECT_EQ(VEXO_STATUS_FAILED_GET_AWTYPE, last_status().first) << call;
    }
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_prop_val(iscsi_pci_, "DeviceID", "0x0228"));
    EXPECT_EQ(AW_TYPE_UNKNOWN, get_aw_type(adapter_));
}

TEST_F(AwTypeKept, RemovingTheFirstFunctionFallsBackToTheNicFunction)
{
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_prop_val(nic_pci_, "DeviceID", "0x%04x", 0x0728));
    ASSERT_EQ(AW_TYPE_AW3, get_aw_type(adapter_));
    ASSERT_EQ(VEXO_STATUS_SUCCESS, purge_nodes_within(adapter_, "iSCSIPhysicalHBA"));
    EXPECT_EQ(nullptr, get_first_instance(adapter_, "iSCSIPhysicalHBA"));
    EXPECT_EQ(AW_TYPE_TRELMONT, get_aw_type(adapter_));
    // And with no function left the family cannot be read.
    ASSERT_EQ(VEXO_STATUS_SUCCESS, purge_nodes_within(adapter_, "NICPhysicalHBA"));
    EXPECT_EQ(AW_TYPE_UNREADABLE, get_aw_type(adapter_));
}

} // namespace
