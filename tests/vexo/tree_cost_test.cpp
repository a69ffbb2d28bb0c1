// Tag allocation order and lookups by display name: the fast paths of the
// store must hand out the same tags and find the same children as the plain
// rules (lowest clear bit; strcasecmp against the printed display name).
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <strings.h>

#include <gtest/gtest.h>

#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "vexo_test_tree.h"

using hlvdtest::SimHost;
using namespace vexotest;

namespace {

// The rule tags have always followed: the lowest clear bit, bit by bit.
int reference_first_zero(const uint8_t *bits, int max)
{
    for (int n = 0; n < max; ++n)
        if (!(bits[n / 8] & (1u << (n % 8))))
            return n;
    return -1;
}

TEST(VexoTagOrderUnit, FirstZeroFollowsTheBitByBitRule)
{
    const int maxes[] = {1, 7, 8, 9, 63, 64, 65, 71, 72, 127, 128, 129, 200, 1030};
    uint32_t seed = 12345;
    for (int max : maxes) {
        // Exactly the bytes the bits need, so a read past them is caught.
        size_t bytes = (static_cast<size_t>(max) + 7) / 8;
        std::vector<std::vector<uint8_t>> fields;
        fields.push_back(std::vector<uint8_t>(bytes, 0x00));
        fields.push_back(std::vector<uint8_t>(bytes, 0xFF));
        std::vector<uint8_t> tail_clear(bytes, 0xFF); // bits past max clear
        if (max % 8)
            tail_clear[bytes - 1] = static_cast<uint8_t>((1u << (max % 8)) - 1);
        fields.push_back(tail_clear);
        for (int hole = 0; hole < max; hole += (max > 140 ? 7 : 1)) {
            std::vector<uint8_t> f(bytes, 0xFF);
            f[hole / 8] = static_cast<uint8_t>(f[hole / 8] & ~(1u << (hole % 8)));
            fields.push_back(f);
        }
        for (int r = 0; r < 20; ++r) { // mostly full, as a busy dictionary is
            std::vector<uint8_t> f(bytes);
            for (uint8_t &b : f) {
                seed = seed * 1103515245u + 12345u;
                b = (seed >> 16) % 16 == 0 ? static_cast<uint8_t>(seed >> 8) : 0xFF;
            }
            fields.push_back(f);
        }
        for (const std::vector<uint8_t> &f : fields) {
            std::vector<uint8_t> exact(f); // capacity == size
            ASSERT_EQ(reference_first_zero(exact.data(), max), get_first_zero(exact.data(), max)) << "max " << max;
        }
    }
    EXPECT_EQ(-1, get_first_zero(nullptr, 8));
    uint8_t some = 0;
    EXPECT_EQ(-1, get_first_zero(&some, 0));
    EXPECT_EQ(-1, get_first_zero(&some, -5));
}

class VexoTree : public ::testing::Test {
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

    SimHost host_{kNoAdapterMachine};
    int start_ = 0;
};

// One step of an allocation pattern: allocate `count` single-node links, or
// free the link made by allocation number `index` (counted from 0).
struct TagOp {
    char kind; // '+' or '-'
    int value;
};

struct TagCase {
    const char *what;
    std::vector<TagOp> ops;
};

TEST_F(VexoTree, TagsStayTheLowestFreeAcrossAllocateAndFree)
{
    const TagCase cases[] = {
        {"one hole", {{'+', 10}, {'-', 3}, {'+', 3}}},
        {"holes out of order", {{'+', 20}, {'-', 19}, {'-', 2}, {'-', 10}, {'+', 5}}},
        {"word edges", {{'+', 140}, {'-', 60}, {'-', 124}, {'-', 123}, {'-', 0}, {'-', 59}, {'+', 7}}},
        {"every other", {{'+', 40}, {'-', 0}, {'-', 2}, {'-', 4}, {'-', 6}, {'-', 30}, {'-', 38}, {'+', 9}}},
        {"refree the refilled", {{'+', 12}, {'-', 5}, {'-', 7}, {'+', 1}, {'-', 12}, {'-', 6}, {'+', 4}}},
        {"across the growth", {{'+', 1100}, {'-', 1099}, {'-', 1019}, {'-', 1}, {'-', 1020}, {'-', 1021},
                               {'+', 3}, {'-', 1050}, {'+', 4}, {'+', 20}}},
    };
    node *root = get_node(0);
    ASSERT_TRUE(root);
    hierarchy *h = hm_find_hierarchy("");
    ASSERT_TRUE(h);
    int serial = 0;
    for (const TagCase &c : cases) {
        SCOPED_TRACE(c.what);
        // A model of the field kept apart from the store's own.
        std::vector<bool> used(static_cast<size_t>(h->max_nodes) + 4096, false);
        for (int t = 0; t < h->max_nodes; ++t)
            used[t] = (h->bit_field[t / 8] >> (t % 8)) & 1;
        std::vector<node *> made;
        for (const TagOp &op : c.ops) {
            if (op.kind == '-') {
                ASSERT_LT(static_cast<size_t>(op.value), made.size());
                node *n = made[op.value];
                ASSERT_TRUE(n);
                used[n->node_tag] = false;
                ASSERT_EQ(VEXO_STATUS_SUCCESS, delete_node(n));
                made[op.value] = nullptr;
                continue;
            }
            for (int i = 0; i < op.value; ++i) {
                int expected = 0;
                while (used[expected])
                    ++expected;
                ASSERT_EQ(expected, reference_first_zero(h->bit_field, h->max_nodes) < 0
                                        ? h->max_nodes
                                        : reference_first_zero(h->bit_field, h->max_nodes));
                char name[VEXO_MAX_NAME_SIZE];
                std::snprintf(name, sizeof name, "L%d", serial++);
                node *n = create_link(root, name, &ROOT_VEXODebugLevel, nullptr, nullptr, nullptr);
                ASSERT_TRUE(n) << name;
                ASSERT_EQ(expected, n->node_tag) << name;
                used[n->node_tag] = true;
                made.push_back(n);
            }
        }
        for (node *n : made) {
            if (n) {
                ASSERT_EQ(VEXO_STATUS_SUCCESS, delete_node(n));
            }
        }
    }
    // A whole group's range freed in the middle is refilled from its start.
    node *a0 = build_adapter();
    node *a1 = build_adapter();
    ASSERT_TRUE(a0 && a1);
    node_tag_t first = a0->node_tag;
    ASSERT_EQ(VEXO_STATUS_SUCCESS, delete_node(a0));
    node *l = create_link(root, "After", &ROOT_VEXODebugLevel, nullptr, nullptr, nullptr);
    ASSERT_TRUE(l);
    EXPECT_EQ(first, l->node_tag);
    node *again = build_adapter();
    ASSERT_TRUE(again);
    EXPECT_EQ(first + 1, again->node_tag);
    EXPECT_EQ(VEXO_STATUS_SUCCESS, delete_node(l));
}

// Group types whose names fill the display name, so the instance number is
// cut short or away.
const hm_node_row kNoRows[] = {
    HM_PROPERTY("ThirtyFourCharacterPropertyNameXYZ", "", VEXO_PROP_READONLY, VEXO_TYPE_STRING, 0, 1, "", nullptr,
                handle_internal_property),
};
uint8_t long34_bits[HM_BIT_FIELD_BYTES(4, 16)];
uint8_t long33_bits[HM_BIT_FIELD_BYTES(16, 16)];
const hm_group_type long34_type = {"ThirtyFourCharacterGroupNameXYZABC", "", 4, 0, nullptr, long34_bits,
                                   sizeof long34_bits, kNoRows, HM_ROW_COUNT(kNoRows)};
const hm_group_type long33_type = {"ThirtyThreeCharacterGroupNameXYZA", "", 16, 12, nullptr, long33_bits,
                                   sizeof long33_bits, kNoRows, HM_ROW_COUNT(kNoRows)};

TEST_F(VexoTree, LookupsMatchTheWholeDisplayNameIgnoringCase)
{
    ASSERT_EQ(34u, std::strlen(long34_type.name));
    ASSERT_EQ(33u, std::strlen(long33_type.name));
    node *a0 = build_adapter();
    node *a1 = build_adapter();
    ASSERT_TRUE(a0 && a1);
    node *l34 = hm_build_group(&long34_type, a0, nullptr, nullptr, nullptr); // display: the name alone
    node *l33 = hm_build_group(&long33_type, a0, nullptr, nullptr, nullptr); // display: the name and "1"
    ASSERT_TRUE(l34 && l33);
    node *level = internal_get_node(a0, "Level", VEXO_NODE_PROPERTY);
    ASSERT_TRUE(level);
    node *to_level = create_link(a0, "ToLevel", level, nullptr, nullptr, nullptr);
    ASSERT_TRUE(to_level);

    struct Lookup {
        node_tag_t parent;
        const char *name;
        int type;
        node_tag_t expected; // -1: nothing found
    } lookups[] = {
        // Instances: name and number, nothing less or more.
        {0, "Arcwright0", 0, a0->node_tag},
        {0, "ARCWRIGHT1", VEXO_NODE_GROUP, a1->node_tag},
        {0, "arcwright1", VEXO_NODE_PROPERTY, -1},
        {0, "Arcwright", 0, -1},
        {0, "Arcwright01", 0, -1},
        {0, "Arcwright2", 0, -1},
        {0, "Arcwrigh0", 0, -1},
        {0, "Arcwright0 ", 0, -1},
        {0, "", 0, -1},
        // Plain nodes: the name alone.
        {a0->node_tag, "level", VEXO_NODE_PROPERTY, level->node_tag},
        {a0->node_tag, "Level0", 0, -1},
        {a0->node_tag, "Leve", 0, -1},
        {a0->node_tag, "LevelX", 0, -1},
        {a0->node_tag, "DIAGNOSTICS", VEXO_NODE_GROUP, tag_of(a0->node_tag, "Diagnostics", 0)},
        {a0->node_tag, "Diagnostics", VEXO_NODE_PROPERTY, -1},
        {0, "vexodebuglevel", 0, 3},
        // A link is found by its own name and the kind of what it points at.
        {a0->node_tag, "tolevel", VEXO_NODE_PROPERTY, to_level->node_tag},
        {a0->node_tag, "ToLevel", VEXO_NODE_LINK, -1},
        {a0->node_tag, "ToLevel0", 0, -1},
        // Display names cut at 34 characters.
        {a0->node_tag, "thirtyfourcharactergroupnamexyzabc", VEXO_NODE_GROUP, l34->node_tag},
        {a0->node_tag, "ThirtyFourCharacterGroupNameXYZABC0", 0, -1},
        {a0->node_tag, "ThirtyFourCharacterGroupNameXYZAB", 0, -1},
        {a0->node_tag, "ThirtyThreeCharacterGroupNameXYZA1", 0, l33->node_tag},
        {a0->node_tag, "ThirtyThreeCharacterGroupNameXYZA12", 0, -1},
        {a0->node_tag, "ThirtyThreeCharacterGroupNameXYZA", 0, -1},
        {l34->node_tag, "ThirtyFourCharacterPropertyNameXYZ", VEXO_NODE_PROPERTY,
         internal_get_node(l34, "thirtyfourcharacterpropertynamexyz", 0)->node_tag},
        {l34->node_tag, "ThirtyFourCharacterPropertyNameXYZ0", 0, -1},
    };
    for (const Lookup &l : lookups) {
        EXPECT_EQ(l.expected, tag_of(l.parent, l.name, l.type)) << l.name << " type " << l.type;
        // Every child found agrees with its printed display name.
        node_tag_t found = tag_of(l.parent, l.name, l.type);
        if (found >= 0) {
            char display[VEXO_MAX_NAME_SIZE];
            vexo_display_name(get_node(found), display);
            EXPECT_EQ(0, strcasecmp(display, l.name)) << l.name;
        }
    }
    EXPECT_EQ(l33, get_first_instance(a0, "ThirtyThreeCharacterGroupNameXYZA"));
    EXPECT_EQ(l34, get_first_instance(a0, "ThirtyFourCharacterGroupNameXYZABC"));
    EXPECT_EQ(VEXO_STATUS_SUCCESS, delete_node(to_level));
}

} // namespace
