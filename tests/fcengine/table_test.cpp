// The fixture's host: the adapter table built as an exported call builds it
// holds the FC-side functions of the machine at their boards.
#include <gtest/gtest.h>

#include "adapters/adapter_table.h"
#include "fc_fixture.h"

namespace {

TEST(FcTable, FunctionsOfBothKindsAreBoards)
{
    fctest::FcHost host(fctest::machine({fctest::sli3_hba("a", 0x10, 2), fctest::varrow_fc_hba("b", 0x20, 1)}));
    ASSERT_TRUE(host.built());
    EXPECT_EQ(3u, gAdapterCount);
    EXPECT_EQ(0, host.board(0x10, 0));
    EXPECT_EQ(1, host.board(0x10, 1));
    int varrow = host.board(0x20, 0);
    EXPECT_EQ(2, varrow);
    EXPECT_FALSE(isSLI4(0));
    EXPECT_TRUE(isSLI4(varrow));
    EXPECT_TRUE(isVarrowFC(varrow));
}

} // namespace
