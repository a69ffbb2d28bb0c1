// The hierarchy store and the group builder, seen through the API and,
// where the API offers no road, through the store's own operations.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "vexo_test_tree.h"

using hlvdtest::SimHost;
using namespace vexotest;

namespace {

class VexoStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        VEXO_init();
    }
    void TearDown() override
    {
        VEXO_exit();
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }

    std::string name_of(node_tag_t tag, int type)
    {
        char name[VEXO_MAX_NAME_SIZE] = "";
        if (VEXO_get_node_name(tag, name, type) != VEXO_STATUS_SUCCESS)
            return "?";
        return name;
    }

    std::vector<std::string> children(node_tag_t tag, int type)
    {
        node_tag_t tags[2048];
        unsigned int count = 0;
        std::vector<std::string> names;
        if (VEXO_get_child_tags(tag, tags, &count, type) != VEXO_STATUS_SUCCESS)
            return {"?"};
        for (unsigned int i = 0; i < count; ++i) {
            node *n = get_node(tags[i]);
            char display[VEXO_MAX_NAME_SIZE];
            vexo_display_name(n, display);
            names.push_back(display);
        }
        return names;
    }

    std::vector<int> instances(node_tag_t parent, const char *name)
    {
        int numbers[1024];
        int count = -1;
        char buf[VEXO_MAX_NAME_SIZE];
        std::snprintf(buf, sizeof buf, "%s", name);
        if (VEXO_get_valid_instances(parent, buf, numbers, &count) != VEXO_STATUS_SUCCESS)
            return {-99};
        return std::vector<int>(numbers, numbers + count);
    }

    SimHost host_{kNoAdapterMachine};
    int start_ = 0;
};

TEST_F(VexoStore, RootAndItsPropertiesHoldTagsZeroToThree)
{
    EXPECT_EQ("ROOT", name_of(0, VEXO_NODE_GROUP));
    EXPECT_EQ("VEXOServiceVersion", name_of(1, VEXO_NODE_PROPERTY));
    EXPECT_EQ("VEXOHierarchyVersion", name_of(2, VEXO_NODE_PROPERTY));
    EXPECT_EQ("VEXODebugLevel", name_of(3, VEXO_NODE_PROPERTY));
    EXPECT_EQ(1, tag_of(0, "VEXOServiceVersion", VEXO_NODE_PROPERTY));
    EXPECT_EQ(1, tag_of(0, "vexoserviceversion", 0));
    EXPECT_EQ(-1, tag_of(0, "VEXOServiceVersion", VEXO_NODE_GROUP));
    EXPECT_EQ(nullptr, get_node(-1));
    EXPECT_EQ(nullptr, get_node(1024));
    node_tag_t parent = -1;
    EXPECT_EQ(0, VEXO_get_parent_tag(0, &parent));
    EXPECT_EQ(0, parent);
}

TEST_F(VexoStore, FreedTagsAreReusedLowestFirst)
{
    node *a0 = build_adapter();
    node *a1 = build_adapter();
    ASSERT_TRUE(a0 && a1);
    EXPECT_EQ(4, a0->node_tag);
    node_tag_t a1_tag = a1->node_tag;
    node_tag_t label = tag_of(a1_tag, "Label", VEXO_NODE_PROPERTY);
    ASSERT_GT(label, a1_tag);

    // Deleting Arcwright0 frees tags 4.. of it and its content.
    ASSERT_EQ(0, delete_node(a0));
    EXPECT_EQ(nullptr, get_node(4));
    EXPECT_EQ("Label", name_of(label, VEXO_NODE_PROPERTY)); // others keep theirs

    node *again = build_adapter();
    ASSERT_TRUE(again);
    EXPECT_EQ(4, again->node_tag);
    EXPECT_EQ("Arcwright0", name_of(4, VEXO_NODE_GROUP));
    EXPECT_EQ(a1_tag - 1, tag_of(4, "Hold", VEXO_NODE_ACTION)); // the whole range is reused
}

TEST_F(VexoStore, DictionaryGrowsPast1024Nodes)
{
    node *a = build_adapter();
    ASSERT_TRUE(a);
    std::vector<node_tag_t> entries;
    node *last = nullptr;
    for (int i = 0; i < 400; ++i) {
        last = build_entry(a);
        ASSERT_TRUE(last) << i;
        entries.push_back(last->node_tag);
    }
    hierarchy *h = hm_find_hierarchy("");
    ASSERT_TRUE(h);
    EXPECT_EQ(2048, h->max_nodes);
    EXPECT_GE(last->node_tag, 1024);
    EXPECT_EQ("Entry399", name_of(last->node_tag, VEXO_NODE_GROUP));
    EXPECT_EQ(last->node_tag + 2, tag_of(last->node_tag, "B", VEXO_NODE_PROPERTY));
    for (size_t i = 0; i < entries.size(); ++i)
        ASSERT_EQ("Entry" + std::to_string(i), name_of(entries[i], VEXO_NODE_GROUP));
    EXPECT_EQ("VEXODebugLevel", name_of(3, VEXO_NODE_PROPERTY));
    std::vector<int> numbers = instances(a->node_tag, "Entry");
    EXPECT_EQ(400u, numbers.size());
}

TEST_F(VexoStore, InstancesStayOrderedAndNumbersAreReused)
{
    node *a = build_adapter();
    ASSERT_TRUE(a);
    node *t[6];
    for (node *&x : t)
        ASSERT_TRUE(x = build_target(a));
    ASSERT_EQ(0, delete_node(t[1]));
    ASSERT_EQ(0, delete_node(t[3]));
    ASSERT_EQ(0, delete_node(t[4]));
    EXPECT_EQ((std::vector<int>{0, 2, 5}), instances(a->node_tag, "Target"));

    // The lowest free number comes back, placed among its siblings in order.
    ASSERT_TRUE(build_target(a));
    EXPECT_EQ((std::vector<int>{0, 1, 2, 5}), instances(a->node_tag, "Target"));
    std::vector<std::string> groups = children(a->node_tag, VEXO_NODE_GROUP);
    EXPECT_EQ((std::vector<std::string>{"Diagnostics", "Target0", "Target1", "Target2", "Target5"}), groups);

    // Lookups: an instance by display name in any case; the bare name finds
    // nothing; the first instance needs the exact name.
    EXPECT_NE(-1, tag_of(a->node_tag, "target5", VEXO_NODE_GROUP));
    EXPECT_EQ(-1, tag_of(a->node_tag, "Target", VEXO_NODE_GROUP));
    EXPECT_EQ(t[0], get_first_instance(a, "Target"));
    EXPECT_EQ(nullptr, get_first_instance(a, "target"));
    EXPECT_EQ((std::vector<int>{}), instances(a->node_tag, "target"));
    EXPECT_EQ((std::vector<int>{}), instances(a->node_tag, "Nothing"));

    ASSERT_EQ(0, delete_node(t[0]));
    node *first = get_first_instance(a, "Target");
    ASSERT_TRUE(first);
    EXPECT_EQ(1, first->u.grp->multi_instance->instance);
}

TEST_F(VexoStore, InstancesRegisteredOutOfOrderAreSorted)
{
    node *a = build_adapter();
    ASSERT_TRUE(a);
    hierarchy *h = hm_find_hierarchy("");
    uint8_t bits[1] = {0};
    std::vector<node *> made;
    auto make = [&](int instance) {
        node *n = static_cast<node *>(vexo_dcalloc(sizeof(node)));
        group *g = static_cast<group *>(vexo_dcalloc(sizeof(group)));
        auto *mi = static_cast<struct multi_instance *>(vexo_dcalloc(sizeof(struct multi_instance)));
        n->node_type = VEXO_NODE_GROUP;
        n->node_name = vexo_dstrdup("Session");
        n->node_desc = vexo_dstrdup("");
        n->parent = a;
        n->u.grp = g;
        g->multi_instance = mi;
        mi->bitfield = bits;
        mi->max_instance = 8;
        mi->instance = instance;
        node_tag_t tag = add_node(n, h);
        if (tag >= 0)
            set_bit(bits, 8, instance);
        made.push_back(n);
        return tag;
    };
    EXPECT_GE(make(3), 0);
    EXPECT_GE(make(1), 0);
    EXPECT_GE(make(2), 0);
    EXPECT_EQ(-1, make(3)); // a second instance 3 under the same parent

    std::vector<std::string> groups = children(a->node_tag, VEXO_NODE_GROUP);
    EXPECT_EQ((std::vector<std::string>{"Diagnostics", "Session1", "Session2", "Session3"}), groups);
    EXPECT_EQ((std::vector<int>{1, 2, 3}), instances(a->node_tag, "Session"));
    EXPECT_EQ(made[1], get_first_instance(a, "Session"));

    // The refused duplicate is still the caller's.
    node *dup = made[3];
    vexo_dfree(dup->u.grp->multi_instance);
    vexo_dfree(dup->u.grp);
    vexo_dfree(dup->node_name);
    vexo_dfree(dup->node_desc);
    vexo_dfree(dup);

    // Deleting the last instance releases the list head with it.
    int before = vexo_counter;
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(0, delete_node(made[i]));
    EXPECT_EQ(before - 3 * 5 - 3, vexo_counter); // 5 blocks per instance, 3 for the head
    EXPECT_EQ(0, bits[0]);
}

TEST_F(VexoStore, SameNamedFixedNodesAreAllowedAndTheFirstIsFound)
{
    node *a = build_adapter();
    ASSERT_TRUE(a);
    hierarchy *h = hm_find_hierarchy("");
    node *n = static_cast<node *>(vexo_dcalloc(sizeof(node)));
    n->node_type = VEXO_NODE_PROPERTY;
    n->node_name = vexo_dstrdup("Label");
    n->node_desc = vexo_dstrdup("");
    n->parent = a;
    n->u.prop = static_cast<property *>(vexo_dcalloc(sizeof(property)));
    node_tag_t dup = add_node(n, h);
    ASSERT_GE(dup, 0);
    EXPECT_NE(dup, tag_of(a->node_tag, "Label", VEXO_NODE_PROPERTY));
}

TEST_F(VexoStore, LinksKeepTheirTargetAndResolveInLookups)
{
    node *a = build_adapter();
    node *b = build_adapter();
    ASSERT_TRUE(a && b);
    node *link = create_link(b, "Other", a, nullptr, nullptr, nullptr);
    ASSERT_TRUE(link);
    EXPECT_EQ(1, a->ref_count);
    EXPECT_EQ(VEXO_STATUS_IN_USE, delete_node(a));
    EXPECT_EQ("Arcwright0", name_of(a->node_tag, VEXO_NODE_GROUP)); // untouched

    // A link counts as what it stands for and is listed under its own tag.
    EXPECT_EQ(link->node_tag, tag_of(b->node_tag, "Other", VEXO_NODE_GROUP));
    EXPECT_EQ("Other", name_of(link->node_tag, VEXO_NODE_GROUP));
    node_tag_t tags[64];
    unsigned int count = 0;
    ASSERT_EQ(0, VEXO_get_child_tags(link->node_tag, tags, &count, VEXO_NODE_PROPERTY));
    EXPECT_EQ(9u, count); // the target's properties
    char value[VEXO_VALUE_SIZE];
    node_tag_t label = tag_of(a->node_tag, "Label", VEXO_NODE_PROPERTY);
    EXPECT_EQ(0, VEXO_get_property_val(link->node_tag, label, value, sizeof value));
    EXPECT_STREQ("abc", value);

    ASSERT_EQ(0, delete_node(link));
    EXPECT_EQ(0, a->ref_count);
    EXPECT_EQ(0, delete_node(a));
}

TEST_F(VexoStore, BuilderLimitsAndBuckets)
{
    std::vector<node *> adapters;
    for (int i = 0; i < 16; ++i)
        adapters.push_back(build_adapter());
    EXPECT_EQ("Arcwright15", name_of(adapters[15]->node_tag, VEXO_NODE_GROUP));
    int before = vexo_counter;
    EXPECT_EQ(nullptr, build_adapter());
    EXPECT_EQ(before, vexo_counter);

    // Each adapter has its own slice: both get Target0.
    node *t0 = build_target(adapters[0]);
    node *t1 = build_target(adapters[1]);
    ASSERT_TRUE(t0 && t1);
    EXPECT_EQ("Target0", name_of(t0->node_tag, VEXO_NODE_GROUP));
    EXPECT_EQ("Target0", name_of(t1->node_tag, VEXO_NODE_GROUP));

    // A type whose field has no slice for this parent builds nothing.
    EXPECT_EQ(nullptr, build_adapter(adapters[3]));
    // The 257th target of one adapter is refused.
    for (int i = 1; i < 256; ++i)
        ASSERT_TRUE(build_target(adapters[2]));
    EXPECT_TRUE(build_target(adapters[2]));
    EXPECT_EQ(nullptr, build_target(adapters[2]));
}

TEST_F(VexoStore, AFailedBuildLeavesNothing)
{
    node *a = build_adapter();
    ASSERT_TRUE(a);
    static const hm_node_row rows[] = {
        HM_PROPERTY("Fine", "", VEXO_PROP_READONLY, VEXO_TYPE_STRING, 0, 1, "", nullptr, handle_internal_property),
        HM_GROUP("Sub", "", nullptr),
        HM_PROPERTY("ThisNameIsMuchTooLongForAnyNodeOfTheTree", "", VEXO_PROP_READONLY, VEXO_TYPE_STRING, 0, 1, "",
                    nullptr, handle_internal_property),
        HM_END(),
    };
    static uint8_t bits[HM_BIT_FIELD_BYTES(4, 16)];
    static const hm_group_type broken = {"Broken", "", 4, 0, nullptr, bits, sizeof bits, rows, HM_ROW_COUNT(rows)};
    int before = vexo_counter;
    hierarchy *h = hm_find_hierarchy("");
    int free_tag = get_first_zero(h->bit_field, h->max_nodes);
    EXPECT_EQ(nullptr, hm_build_group(&broken, a, nullptr, nullptr, nullptr));
    EXPECT_EQ(before, vexo_counter);
    EXPECT_EQ(0, bits[0]);
    EXPECT_EQ(free_tag, get_first_zero(h->bit_field, h->max_nodes));
    EXPECT_EQ(nullptr, get_first_instance(a, "Broken"));
}

TEST_F(VexoStore, SetPropValWritesTheCacheOnly)
{
    node *a = build_adapter();
    ASSERT_TRUE(a);
    handler_log = HandlerLog();
    EXPECT_EQ(0, set_prop_val(a, "probe", "%s-%d", "v", 7));
    EXPECT_EQ(0, handler_log.probe_writes);
    EXPECT_STREQ("v-7", internal_get_node(a, "Probe", VEXO_NODE_PROPERTY)->u.prop->val);
    EXPECT_EQ(0, set_prop_val(a, "Level", "%s", "no validation"));
    EXPECT_EQ(1, set_prop_val(a, "Nothing", "%d", 1));
    EXPECT_EQ(1, set_prop_val(a, "Diagnostics", "%d", 1)); // a group is no property
    std::string big(300, 'z');
    EXPECT_EQ(0, set_prop_val(a, "Label", "%s", big.c_str()));
    EXPECT_EQ(255u, std::strlen(internal_get_node(a, "Label", VEXO_NODE_PROPERTY)->u.prop->val));

    char value[VEXO_VALUE_SIZE];
    EXPECT_EQ(0, internal_get_property(a, "Probe", value));
    EXPECT_STREQ("probed", value);
    EXPECT_EQ(1, internal_get_property(a, "Nothing", value));
    EXPECT_EQ(0, internal_set_property(a, "Level", value)); // no validation here either
}

TEST(VexoStoreUnit, CommaLists)
{
    struct Del {
        const char *list;
        const char *value;
        int flag;
        int result;
        const char *after;
    } dels[] = {
        {"a,b,c", "b", 0, 0, "a,c"}, {"a,b,c", "a", 0, 0, "b,c"}, {"a,b,c", "c", 0, 0, "a,b"},
        {"a", "a", 0, 0, ""},        {"a,b", "B", 0, 1, "a,b"},   {"a,b", "B", 1, 0, "a"},
        {"a,b", "b", 2, 1, "a,b"},   {"ab,b", "b", 0, 0, "ab"},
    };
    for (const Del &d : dels) {
        char list[VEXO_VALUE_SIZE];
        std::strcpy(list, d.list);
        EXPECT_EQ(d.result, vexo_internal_list_del(list, d.value, d.flag)) << d.list << " - " << d.value;
        EXPECT_STREQ(d.after, list) << d.list << " - " << d.value;
    }
    struct Add {
        const char *list;
        const char *value;
        int flag;
        int result;
        const char *after;
    } adds[] = {
        {"", "x", 0, 0, "x"}, {"a", "x", 0, 0, "a,x"}, {"a", "A", 1, 1, "a"}, {"a", "A", 0, 0, "a,A"},
        {"a", "a", 0, 1, "a"},
    };
    for (const Add &d : adds) {
        char list[VEXO_VALUE_SIZE];
        std::strcpy(list, d.list);
        EXPECT_EQ(d.result, vexo_internal_list_add(list, d.value, d.flag)) << d.list << " + " << d.value;
        EXPECT_STREQ(d.after, list);
    }
    char full[VEXO_VALUE_SIZE];
    std::memset(full, 'q', 253);
    full[253] = '\0';
    EXPECT_EQ(0, vexo_internal_list_add(full, "r", 0)); // exactly 255
    EXPECT_EQ(1, vexo_internal_list_add(full, "s", 0)); // would be 257
    EXPECT_EQ(255u, std::strlen(full));

    char list[] = "one,two";
    EXPECT_EQ(list + 4, vexo_internal_list_search(list, "TWO", 1));
    EXPECT_EQ(nullptr, vexo_internal_list_search(list, "TWO", 0));
    EXPECT_EQ(nullptr, vexo_internal_list_search(nullptr, "x", 1));
}

TEST(VexoStoreUnit, BitFields)
{
    uint8_t bits[4] = {0xff, 0xff, 0xff, 0xff};
    EXPECT_EQ(-1, get_first_zero(bits, 32));
    EXPECT_EQ(-1, set_bit(bits, 32, 32));
    EXPECT_EQ(-1, clear_bit(bits, 32, -1));
    EXPECT_EQ(-1, is_set(bits, 32, 40));
    EXPECT_EQ(0, clear_bit(bits, 32, 13));
    EXPECT_EQ(13, get_first_zero(bits, 32));
    EXPECT_EQ(0, is_set(bits, 32, 13));
    EXPECT_EQ(0x40, is_set(bits, 32, 14));
    uint8_t none[2] = {0, 0};
    EXPECT_EQ(-1, get_first_one(none, 16));
    EXPECT_EQ(0, set_bit(none, 16, 9));
    EXPECT_EQ(9, get_first_one(none, 16));
    EXPECT_EQ(nullptr, alloc_bitfield(0));
    int before = vexo_counter;
    uint8_t *f = alloc_bitfield(9);
    ASSERT_TRUE(f);
    EXPECT_EQ(0, f[0] | f[1]);
    free_bitfield(f);
    EXPECT_EQ(before, vexo_counter);
}

TEST(VexoStoreUnit, NothingResolvesBeforeTheStart)
{
    EXPECT_EQ(nullptr, get_node(0));
    char name[VEXO_MAX_NAME_SIZE];
    EXPECT_EQ(1, VEXO_get_node_name(0, name, VEXO_NODE_GROUP));
}

} // namespace
