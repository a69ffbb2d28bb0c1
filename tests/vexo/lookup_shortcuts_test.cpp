// The lookups' shortcuts (first letters turned away without asking the
// locale, a group's first instance found in one pass) must find exactly what
// the plain rule finds: the first child whose printed display name equals
// the name under strcasecmp and whose kind (links followed) fits.
#include <cstring>
#include <string>
#include <vector>

#include <strings.h>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "vexo_test_tree.h"

using hlvdtest::SimHost;
using namespace vexotest;

namespace {

class VexoLookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        VEXO_init();
    }
    void TearDown() override
    {
        for (node *l : links_)
            EXPECT_EQ(VEXO_STATUS_SUCCESS, delete_node(l));
        VEXO_exit();
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }

    node *link(node *parent, const char *name, node *to)
    {
        node *l = create_link(parent, name, to, nullptr, nullptr, nullptr);
        if (l)
            links_.push_back(l);
        return l;
    }

    SimHost host_{kNoAdapterMachine};
    int start_ = 0;
    std::vector<node *> links_;
};

// The plain rule, child by child.
node *reference_lookup(node *parent, const char *name, int type)
{
    node *p = vexo_resolve_link(parent);
    for (node *c = p->u.grp->next_child; c != p; c = c->next_sibling) {
        char display[VEXO_MAX_NAME_SIZE];
        vexo_display_name(c, display);
        node *t = vexo_resolve_link(c);
        if (strcasecmp(display, name) == 0 && (type == 0 || (t && t->node_type == type)))
            return c;
    }
    return nullptr;
}

// The first instance as it was always found: the lowest instance's display
// name looked up from the front of the parent's children.
node *reference_first_instance(node *parent, const char *name)
{
    node *lowest = nullptr;
    for (node *c = parent->u.grp->next_child; c != parent; c = c->next_sibling)
        if (vexo_is_instance(c) && std::strcmp(c->node_name, name) == 0 &&
            (!lowest || c->u.grp->multi_instance->instance < lowest->u.grp->multi_instance->instance))
            lowest = c;
    if (!lowest)
        return nullptr;
    char display[VEXO_MAX_NAME_SIZE];
    vexo_display_name(lowest, display);
    return reference_lookup(parent, display, VEXO_NODE_GROUP);
}

// Every first byte against every first byte: names "<b>q" for all bytes,
// looked up as "<c>Q", agree with strcasecmp whatever the bytes.
TEST_F(VexoLookup, EveryFirstLetterPairAgreesWithTheCaseBlindRule)
{
    node *a = build_adapter();
    ASSERT_TRUE(a);
    node *to = internal_get_node(a, "Level", VEXO_NODE_PROPERTY);
    ASSERT_TRUE(to);
    for (int b = 1; b < 256; ++b) {
        const char name[] = {static_cast<char>(b), 'q', '\0'};
        // The store refuses a name another child already shows (ignoring case).
        if (!link(a, name, to)) {
            ASSERT_TRUE(reference_lookup(a, name, 0)) << b;
        }
    }
    int found = 0;
    for (int c = 1; c < 256; ++c) {
        const char name[] = {static_cast<char>(c), 'Q', '\0'};
        node *expected = reference_lookup(a, name, 0);
        EXPECT_EQ(expected, internal_get_node(a, name, 0)) << c;
        EXPECT_EQ(expected, internal_get_node(a, name, VEXO_NODE_PROPERTY)) << c;
        found += expected != nullptr;
    }
    EXPECT_GE(found, 26); // at least the letters find their partner
}

// The locators' name test turns most names away by their first byte; it
// answers as strcasecmp does for every pair of first bytes.
TEST(VexoLookupUnit, LocatorNameTestAgreesWithStrcasecmp)
{
    for (int x = 0; x < 256; ++x) {
        for (int y = 0; y < 256; ++y) {
            const char a[] = {static_cast<char>(x), 'r', 'O', '\0'};
            const char b[] = {static_cast<char>(y), 'R', 'o', '\0'};
            ASSERT_EQ(strcasecmp(a, b) == 0, same_name_nocase(a, b)) << x << " " << y;
        }
    }
    EXPECT_TRUE(same_name_nocase("arcwright", "Arcwright"));
    EXPECT_FALSE(same_name_nocase("Arcwrigh", "Arcwright"));
}

// A sibling ahead of the group's instances whose own name prints the same as
// the lowest instance (ignoring case) is still what the first instance
// lookup answers, as the lookup from the front always did; siblings that
// only look alike do not get in the way.
TEST_F(VexoLookup, FirstInstanceIsTheFirstChildShowingTheLowestInstance)
{
    struct Case {
        const char *ahead; // link made ahead of the instances; null: none
        bool link_wins;
    } cases[] = {
        {nullptr, false},     {"Target0", true},  {"target0", true},   {"TARGET0", true},
        {"tARGET0", true},    {"Target1", false}, {"Target", false},   {"Targets0", false},
        {"Xarget0", false},   {"Target00", false}, {"arget0", false},  {"Tar", false},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.ahead ? k.ahead : "(none)");
        node *a = build_adapter();
        ASSERT_TRUE(a);
        node *group = internal_get_node(a, "Diagnostics", VEXO_NODE_GROUP);
        ASSERT_TRUE(group);
        node *ahead = k.ahead ? link(a, k.ahead, group) : nullptr;
        node *t0 = build_target(a);
        node *t1 = build_target(a);
        ASSERT_TRUE(t0 && t1);
        node *want = k.link_wins ? ahead : t0;
        EXPECT_EQ(want, get_first_instance(a, "Target"));
        EXPECT_EQ(reference_first_instance(a, "Target"), get_first_instance(a, "Target"));
        // With the lowest instance gone the next one is the answer (or a
        // link showing its name); one showing "Target0" no longer counts.
        ASSERT_EQ(VEXO_STATUS_SUCCESS, delete_node(t0));
        EXPECT_EQ(reference_first_instance(a, "Target"), get_first_instance(a, "Target"));
        node *want1 = k.ahead && strcasecmp(k.ahead, "Target1") == 0 ? ahead : t1;
        EXPECT_EQ(want1, get_first_instance(a, "Target"));
        if (ahead) {
            links_.pop_back();
            ASSERT_EQ(VEXO_STATUS_SUCCESS, delete_node(ahead));
        }
        ASSERT_EQ(VEXO_STATUS_SUCCESS, delete_node(t1));
        ASSERT_EQ(VEXO_STATUS_SUCCESS, delete_node(a));
    }
}

} // namespace
