// Boot sessions: the firmware's boot mark, the priority check and the
// boot target entries of region 3, through iSCSIBoot, BootTargetPriority
// and ConfigureBootTarget on a simulated iSCSI function.
#include "boot_fixture.h"

using namespace boottest;
using backendtest::last_status;

namespace
{

class BootTargets : public BootHost
{
};

TEST_F(BootTargets, ConfigureOnTrelmontMarksWritesEntriesAndRefusesAUsedPriority)
{
    start();
    node *a = session("a", 1), *b = session("b", 2), *c = session("c", 4);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ("N/A", get(a, "BootTargetPriority"));

    const struct {
        node *s;
        int handle;
        const char *boot, *priority;
        VEXO_status_t result;
        long flags_after;
        std::vector<std::vector<int>> boot_entries; // {qualifier, priority, target_num}
    } rows[] = {
        {a, 1, "True", "Primary", VEXO_STATUS_SUCCESS, 0x100, {{1, 1, 1}}},
        // Already so: nothing changes.
        {a, 1, "true", "primary", VEXO_STATUS_SUCCESS, 0x100, {{1, 1, 1}}},
        // Primary is taken: refused before anything is marked.
        {b, 2, "True", "Primary", VEXO_STATUS_BOOT_TARGET_TYPE_EXISTS, 0, {{1, 1, 1}}},
        // The primary's entry survives the secondary's add.
        {b, 2, "True", "Secondary", VEXO_STATUS_SUCCESS, 0x100, {{1, 1, 1}, {2, 2, 2}}},
        // "None": code 0.
        {c, 4, "True", "None", VEXO_STATUS_SUCCESS, 0x100, {{1, 1, 1}, {2, 2, 2}, {4, 0, 3}}},
        {a, 1, "False", "None", VEXO_STATUS_SUCCESS, 0, {{2, 2, 2}, {4, 0, 3}}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.boot) + "/" + r.priority + " on " + std::to_string(r.handle));
        backendtest::clear_log(host_->root());
        EXPECT_EQ(r.result, act(r.s, "ConfigureBootTarget", {r.boot, r.priority}));
        if (r.result != VEXO_STATUS_SUCCESS) {
            EXPECT_EQ(r.result, last_status().first);
        }
        EXPECT_EQ(r.flags_after, flags(r.handle));
        Entries e = entries(region(3));
        EXPECT_EQ(r.boot_entries, e.boot);
        EXPECT_EQ(std::vector<int>{0x20}, e.others) << "foreign entries are kept";
    }
    EXPECT_EQ("Secondary", get(b, "BootTargetPriority"));
    EXPECT_EQ("None", get(c, "BootTargetPriority"));
    EXPECT_EQ("N/A", get(a, "BootTargetPriority"));
}

TEST_F(BootTargets, SettingIsciBootPicksTheFreePriorityAndSendsNothingWhenUnchanged)
{
    start();
    node *a = session("a", 1), *b = session("b", 2), *c = session("c", 4);
    ASSERT_TRUE(a && b && c);
    const struct {
        node *s;
        int handle;
        const char *priority;
    } rows[] = {{a, 1, "Primary"}, {b, 2, "Secondary"}, {c, 4, "None"}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.handle);
        EXPECT_EQ("False", get(r.s, "iSCSIBoot"));
        EXPECT_EQ(VEXO_STATUS_SUCCESS, set(r.s, "iSCSIBoot", "True"));
        EXPECT_EQ(0x100, flags(r.handle));
        EXPECT_EQ("True", get(r.s, "iSCSIBoot"));
        EXPECT_EQ(r.priority, get(r.s, "BootTargetPriority"));
    }
    backendtest::clear_log(host_->root());
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set(a, "iSCSIBoot", "TRUE"));
    EXPECT_EQ(0, sent(6, 53));
}

TEST_F(BootTargets, FailuresAfterTheCheckLeaveNoMark)
{
    start();
    node *a = session("a", 1);
    ASSERT_NE(nullptr, a);
    // The firmware refuses the mark.
    backendtest::plan_status(host_->root(), 6, 53, 2);
    EXPECT_EQ(VEXO_STATUS_FAILURE, set(a, "iSCSIBoot", "True"));
    EXPECT_EQ(VEXO_STATUS_SET_BOOT_TARGET, last_status().first);
    EXPECT_EQ(0, flags(1));

    // A Target without a Session cannot be checked or counted.
    ASSERT_NE(nullptr, target("empty"));
    EXPECT_EQ(VEXO_STATUS_FAILURE, act(a, "ConfigureBootTarget", {"True", "Primary"}));
    EXPECT_EQ(0, flags(1));
    EXPECT_EQ(0u, entries(region(3)).boot.size());
}

TEST_F(BootTargets, TheRegionWriteFailingTakesTheMarkBack)
{
    start();
    node *a = session("a", 1);
    ASSERT_NE(nullptr, a);
    backendtest::plan_status(host_->root(), 1, 172, 2);
    EXPECT_EQ(VEXO_STATUS_FAILURE, act(a, "ConfigureBootTarget", {"True", "Primary"}));
    EXPECT_EQ(VEXO_STATUS_ADD_BOOT_TLV_FAILED, last_status().first);
    EXPECT_EQ(0, flags(1));
}

TEST_F(BootTargets, OtherGenerationsChangeOnlyTheFirmwareMark)
{
    const struct {
        const char *generation, *device_id;
    } rows[] = {{"AW3", "0x0712"}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.generation);
        start(r.generation, r.device_id);
        node *a = session("a", 1);
        ASSERT_NE(nullptr, a);
        EXPECT_EQ(VEXO_STATUS_SUCCESS, act(a, "ConfigureBootTarget", {"True", "Primary"}));
        EXPECT_EQ(0x100, flags(1));
        EXPECT_EQ(0, sent(1, 172));
        // A set equal to the cached value returns at once, so read first.
        EXPECT_EQ("True", get(a, "iSCSIBoot"));
        EXPECT_EQ(VEXO_STATUS_SUCCESS, set(a, "iSCSIBoot", "False"));
        EXPECT_EQ(0, flags(1));
        EXPECT_EQ(0, sent(1, 172));
    }
}

} // namespace
