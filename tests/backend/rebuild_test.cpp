// A change in the number of NIC functions during a session: the command that
// notices it fails without being sent, and the tree is rebuilt when the next
// management call enters the library.
#include <string>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "backend_fixture.h"
#include "support/sim_host.h"
#include "vmkmgmt.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

size_t count_opcode(const std::string &root, int subsystem, int opcode)
{
    size_t n = 0;
    for (auto &c : fw_commands(root))
        n += c == std::make_pair(subsystem, opcode);
    return n;
}

TEST(BackendRebuild, NicCountChangeFailsTheCommandAndRebuildsAtTheNextCall)
{
    SimHost host(kTwoAdapters);
    int start = vexo_counter;
    ASSERT_EQ(0, VEXO_init());
    ASSERT_EQ(4, vexo_glob.nic.valid_hba);
    node_tag_t adapter = tag_at("Arcwright1", VEXO_NODE_GROUP);
    node_tag_t flash = tag_at("Arcwright1/FirmwareVersionOnFlash", VEXO_NODE_PROPERTY);
    ASSERT_NE(-1, flash);
    EXPECT_NE(-1, tag_at("Arcwright1/NICPhysicalHBA1", VEXO_NODE_GROUP));

    // The Trelmont adapter loses a NIC function.
    set_function_driver(host.root(), 1, 1, "none");
    clear_log(host.root());
    char value[VEXO_VALUE_SIZE] = "";
    // The read goes through the NIC driver, which notices the change: it
    // fails and sends nothing; the tree still stands for this call.
    EXPECT_EQ(VEXO_STATUS_FAILURE, VEXO_get_property_val(adapter, flash, value, sizeof value));
    EXPECT_EQ(0u, count_opcode(host.root(), 1, 32));
    EXPECT_TRUE(backend_tree_stale());
    EXPECT_NE(nullptr, get_node(adapter));

    // The next call rebuilds the tree from the machine as it is now.
    EXPECT_EQ("11.1.183.23", value_at("Arcwright1/FirmwareVersionOnFlash"));
    EXPECT_FALSE(backend_tree_stale());
    EXPECT_EQ(3, vexo_glob.nic.valid_hba);
    EXPECT_NE(-1, tag_at("Arcwright1/NICPhysicalHBA0", VEXO_NODE_GROUP));
    EXPECT_EQ(-1, tag_at("Arcwright1/NICPhysicalHBA1", VEXO_NODE_GROUP));
    EXPECT_EQ("AW3E2E0001", value_at("Arcwright0/SerialNumber"));

    EXPECT_EQ(0, VEXO_exit());
    EXPECT_EQ(nullptr, get_node(0));
    EXPECT_EQ(start, vexo_counter);
    EXPECT_EQ(0, vmk_MgmtUserOpenHandleCount());
}

TEST(BackendRebuild, StaleTreeRefusesFurtherNicCommandsAndAStopClearsIt)
{
    SimHost host(kTwoAdapters);
    int start = vexo_counter;
    ASSERT_EQ(0, VEXO_init());
    set_function_driver(host.root(), 0, 0, "none");
    clear_log(host.root());
    // Two NIC reads in one call: neither reaches the firmware.
    EXPECT_EQ("error 1", value_at("Arcwright1/FirmwareVersionOnFlash"));
    EXPECT_EQ(0u, count_opcode(host.root(), 1, 32));
    EXPECT_EQ(1, refresh_vexo_hierarchy());
    EXPECT_EQ(0u, count_opcode(host.root(), 1, 32));
    // A stop while the tree is stale tears it down without a rebuild.
    EXPECT_EQ(0, VEXO_exit());
    EXPECT_EQ(nullptr, get_node(0));
    EXPECT_FALSE(backend_tree_stale());
    EXPECT_EQ(start, vexo_counter);
}

TEST(BackendRebuild, UnchangedCountKeepsTheTree)
{
    SimHost host(kTwoAdapters);
    ASSERT_EQ(0, VEXO_init());
    node_tag_t nic = tag_at("Arcwright1/NICPhysicalHBA1", VEXO_NODE_GROUP);
    EXPECT_EQ("11.1.183.23", value_at("Arcwright1/FirmwareVersionOnFlash"));
    EXPECT_EQ(0, refresh_vexo_hierarchy());
    EXPECT_FALSE(backend_tree_stale());
    EXPECT_EQ(nic, tag_at("Arcwright1/NICPhysicalHBA1", VEXO_NODE_GROUP));
    EXPECT_EQ(0, VEXO_exit());
}

} // namespace
