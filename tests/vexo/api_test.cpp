// The management API on groups made with the generic builder.
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

class VexoApi : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        handler_log = HandlerLog();
        ASSERT_EQ(1, VEXO_init()); // no adapter at start
        adapter_ = build_adapter();
        ASSERT_TRUE(adapter_);
        a_ = adapter_->node_tag;
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(0, vexo_client_count);
        EXPECT_EQ(nullptr, get_node(0));
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }

    node_tag_t prop(const char *name) { return tag_of(a_, name, VEXO_NODE_PROPERTY); }
    node_tag_t act(const char *name) { return tag_of(a_, name, VEXO_NODE_ACTION); }

    VEXO_status_t set(const char *name, const char *text)
    {
        char value[VEXO_VALUE_SIZE];
        std::snprintf(value, sizeof value, "%s", text);
        return VEXO_set_property_val(a_, prop(name), value, sizeof value);
    }

    std::string get(const char *name)
    {
        char value[VEXO_VALUE_SIZE] = "";
        VEXO_status_t r = VEXO_get_property_val(a_, prop(name), value, sizeof value);
        return r == VEXO_STATUS_SUCCESS ? value : "error " + std::to_string(r);
    }

    SimHost host_{kNoAdapterMachine};
    int start_ = 0;
    node *adapter_ = nullptr;
    node_tag_t a_ = -1;
};

TEST(VexoApiStart, ClientsAreCountedAndTheLastStopTearsDown)
{
    SimHost host(kNoAdapterMachine);
    int start = vexo_counter;

    // Without adapter the start answers 1, yet the root stands.
    EXPECT_EQ(1, VEXO_init());
    LastStatus st = last_status();
    EXPECT_EQ(VEXO_STATUS_STRATOLINK_ADAPTER_NOT_FOUND, st.code);
    EXPECT_EQ(vexo_status_message(313), st.text);
    EXPECT_EQ(1, vexo_client_count);
    ASSERT_TRUE(get_node(0));
    ASSERT_TRUE(build_adapter());

    EXPECT_EQ(0, VEXO_init()); // a second client only counts
    EXPECT_EQ(2, vexo_client_count);
    EXPECT_EQ(0, VEXO_exit());
    EXPECT_TRUE(get_node(0));
    EXPECT_NE(-1, tag_of(0, "Arcwright0", VEXO_NODE_GROUP));
    EXPECT_TRUE(vexo_log_fp);

    vexo_set_last_status(VEXO_STATUS_FAILURE, "x");
    EXPECT_EQ(0, VEXO_exit());
    EXPECT_EQ(nullptr, get_node(0));
    EXPECT_EQ(nullptr, vexo_log_fp);
    EXPECT_EQ(0, last_status().code);
    EXPECT_EQ(start, vexo_counter);

    vexo_set_last_status(VEXO_STATUS_FAILURE, "x");
    EXPECT_EQ(0, VEXO_exit()); // without client: only the last status changes
    EXPECT_EQ(0, vexo_client_count);
    EXPECT_EQ(0, last_status().code);
    EXPECT_EQ("", last_status().text);

    // A new start begins from a fresh tree.
    EXPECT_EQ(1, VEXO_init());
    EXPECT_EQ(-1, tag_of(0, "Arcwright0", VEXO_NODE_GROUP));
    EXPECT_EQ(3, tag_of(0, "VEXODebugLevel", VEXO_NODE_PROPERTY));
    VEXO_exit();
    EXPECT_EQ(start, vexo_counter);
}

TEST_F(VexoApi, RootPropertiesReadAsBuilt)
{
    char value[VEXO_VALUE_SIZE];
    EXPECT_EQ(0, VEXO_get_property_val(0, 1, value, sizeof value));
    EXPECT_STREQ("0", value);
    EXPECT_EQ(0, VEXO_get_property_val(0, 2, value, sizeof value));
    EXPECT_STREQ("0", value);
    EXPECT_EQ(0, VEXO_get_property_val(0, 3, value, sizeof value));
    EXPECT_STREQ("0", value); // the level file of a first start

    std::strcpy(value, "1.2.3.4");
    EXPECT_EQ(1, VEXO_set_property_val(0, 1, value, sizeof value));
    LastStatus st = last_status();
    EXPECT_EQ(VEXO_STATUS_READONLY, st.code);
    EXPECT_EQ("Read only property", st.text);

    VEXO_node_info info;
    std::memset(&info, 0, sizeof info);
    ASSERT_EQ(0, VEXO_get_node_description(3, &info));
    EXPECT_EQ(VEXO_NODE_PROPERTY, info.node_type);
    EXPECT_EQ(VEXO_TYPE_LIST, info.data_type);
    EXPECT_EQ(5, info.minval);
    EXPECT_EQ(11, info.maxval);
    ASSERT_EQ(0, VEXO_get_node_description(0, &info));
    EXPECT_EQ(VEXO_NODE_GROUP, info.node_type);
    EXPECT_STREQ(" ", info.node_desc);

    node_tag_t tags[32];
    unsigned int count = 99;
    ASSERT_EQ(0, VEXO_get_child_tags(0, tags, &count, VEXO_CHILD_PROPERTIES));
    EXPECT_EQ((std::vector<node_tag_t>{1, 2, 3}), std::vector<node_tag_t>(tags, tags + count));
    for (int type : {VEXO_CHILD_NONE, VEXO_CHILD_LINKS}) {
        count = 99;
        EXPECT_EQ(0, VEXO_get_child_tags(0, tags, &count, type));
        EXPECT_EQ(0u, count);
    }
    EXPECT_EQ(1, VEXO_get_child_tags(0, tags, &count, 8));
    ASSERT_EQ(0, VEXO_get_child_tags(0, tags, &count, VEXO_CHILD_GROUPS));
    EXPECT_EQ((std::vector<node_tag_t>{a_}), std::vector<node_tag_t>(tags, tags + count));
}

TEST_F(VexoApi, NamesTagsAndChildSelections)
{
    char name[VEXO_MAX_NAME_SIZE];
    EXPECT_EQ(0, VEXO_get_node_name(a_, name, VEXO_NODE_GROUP));
    EXPECT_STREQ("Arcwright0", name);
    EXPECT_EQ(1, VEXO_get_node_name(a_, name, VEXO_NODE_PROPERTY));
    EXPECT_EQ(1, VEXO_get_node_name(a_, name, 0));
    vexo_set_last_status(VEXO_STATUS_FAILURE, "kept");
    EXPECT_EQ(1, VEXO_get_node_name(a_, nullptr, VEXO_NODE_GROUP));
    EXPECT_EQ(1, VEXO_get_node_name(9999, name, VEXO_NODE_GROUP));
    EXPECT_EQ("kept", last_status().text); // these first checks leave it alone

    node_tag_t tag = -5;
    char arc[] = "ARCWRIGHT0";
    EXPECT_EQ(0, VEXO_get_node_tag(0, arc, &tag, VEXO_NODE_GROUP));
    EXPECT_EQ(a_, tag);
    EXPECT_EQ(1, VEXO_get_node_tag(0, arc, &tag, 8));
    EXPECT_EQ(1, VEXO_get_node_tag(1, arc, &tag, 0)); // the parent is no group
    EXPECT_EQ(1, VEXO_get_node_tag(0, nullptr, &tag, 0));
    node_tag_t parent = -1;
    EXPECT_EQ(0, VEXO_get_parent_tag(prop("Label"), &parent));
    EXPECT_EQ(a_, parent);

    struct Sel {
        int type;
        std::vector<std::string> names;
    } sels[] = {
        {VEXO_CHILD_GROUPS, {"Diagnostics"}},
        {VEXO_CHILD_ACTIONS, {"AddTarget", "Unbound", "Hold"}},
        {VEXO_CHILD_READONLY, {"SerialNumber"}},
        {VEXO_CHILD_WRITABLE, {"Label", "Level", "Address", "Mask", "Mode", "Plain", "Probe", "Hidden"}},
        {VEXO_CHILD_WRITABLE_LISTED, {"Label", "Level", "Address", "Mask", "Mode", "Plain", "Probe"}},
    };
    for (const Sel &s : sels) {
        node_tag_t tags[64];
        unsigned int count = 0;
        ASSERT_EQ(0, VEXO_get_child_tags(a_, tags, &count, s.type));
        std::vector<std::string> names;
        for (unsigned int i = 0; i < count; ++i) {
            char display[VEXO_MAX_NAME_SIZE];
            vexo_display_name(get_node(tags[i]), display);
            names.push_back(display);
        }
        EXPECT_EQ(s.names, names) << s.type;
    }
}

TEST_F(VexoApi, RootActionsOfScopeOneAreFoundFromEveryGroup)
{
    static action shared = {nullptr, 1, {0, {}}};
    node *n = static_cast<node *>(vexo_dcalloc(sizeof(node)));
    n->node_type = VEXO_NODE_ACTION;
    n->node_name = vexo_dstrdup("Shared");
    n->node_desc = vexo_dstrdup("");
    n->parent = get_node(0);
    n->u.act = &shared;
    ASSERT_GE(add_node(n, hm_find_hierarchy("")), 0);

    EXPECT_EQ(n->node_tag, tag_of(a_, "shared", VEXO_NODE_ACTION));
    EXPECT_EQ(-1, tag_of(a_, "shared", 0));
    node_tag_t tags[16];
    unsigned int count = 0;
    ASSERT_EQ(0, VEXO_get_child_tags(a_, tags, &count, VEXO_CHILD_ACTIONS));
    ASSERT_EQ(4u, count);
    EXPECT_EQ(n->node_tag, tags[3]);
    ASSERT_EQ(0, VEXO_get_child_tags(0, tags, &count, VEXO_CHILD_ACTIONS));
    EXPECT_EQ(1u, count); // not twice on the root itself
    // A node directly under ROOT is no dynamic node: the store releases its
    // kind record (an action's is static and stays), its maker the rest.
    ASSERT_EQ(0, delete_node(n));
    EXPECT_EQ(nullptr, get_node(4 + 15)); // its tag, after the adapter's 15 nodes
    EXPECT_EQ(1, shared.scope);
    vexo_dfree(n->node_name);
    vexo_dfree(n->node_desc);
    vexo_dfree(n);
}

TEST_F(VexoApi, PropertyWritesAreValidated)
{
    struct Case {
        const char *property;
        const char *value;
        VEXO_status_t answer;
        VEXO_status_t code;
        const char *text;
        const char *stored; // read back afterwards
    } cases[] = {
        {"Label", "ab", VEXO_STATUS_FAILURE, VEXO_STATUS_INVALID_SIZE, "Number of characters should be from 3 to 20.",
         "abc"},
        {"Label", "hello", VEXO_STATUS_SUCCESS, VEXO_STATUS_SUCCESS, "", "hello"},
        {"Level", "101", VEXO_STATUS_FAILURE, VEXO_STATUS_VALUE_OUT_OF_RANGE,
         "Value out of range. Valid range is from 0 to 100.", "0"},
        {"Level", "1x", VEXO_STATUS_FAILURE, VEXO_STATUS_INVALID_VALUE, "Invalid value.", "0"},
        {"Level", "0x20", VEXO_STATUS_SUCCESS, VEXO_STATUS_SUCCESS, "", "0x20"},
        {"Address", "fe80::1", VEXO_STATUS_SUCCESS, VEXO_STATUS_SUCCESS, "",
         "FE80:0000:0000:0000:0000:0000:0000:0001"},
        {"Address", "127.0.0.1", VEXO_STATUS_FAILURE, VEXO_STATUS_INVALID_VALUE, "Invalid value.",
         "FE80:0000:0000:0000:0000:0000:0000:0001"},
        {"Mask", "255.0.255.0", VEXO_STATUS_FAILURE, VEXO_STATUS_INVALID_VALUE, "Invalid value.", "255.255.255.0"},
        {"Mode", "disabled", VEXO_STATUS_SUCCESS, VEXO_STATUS_SUCCESS, "", "disabled"},
        {"Mode", "Off", VEXO_STATUS_FAILURE, VEXO_STATUS_INVALID_VALUE, "Invalid value.", "disabled"},
        {"SerialNumber", "X123", VEXO_STATUS_FAILURE, VEXO_STATUS_READONLY, "Read only property", "1"},
        {"Plain", "new", VEXO_STATUS_NOT_IMPLIMENTED, VEXO_STATUS_SUCCESS, "", "cached"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.answer, set(c.property, c.value)) << c.property << "=" << c.value;
        LastStatus st = last_status();
        EXPECT_EQ(c.code, st.code) << c.property << "=" << c.value;
        EXPECT_EQ(c.text, st.text) << c.property << "=" << c.value;
        EXPECT_EQ(c.stored, get(c.property)) << c.property;
    }

    // A short caller buffer still gets the canonical address to the handler.
    char small[] = "1::";
    EXPECT_EQ(0, VEXO_set_property_val(a_, prop("Address"), small, sizeof small));
    EXPECT_STREQ("1::", small);
    EXPECT_EQ("0001:0000:0000:0000:0000:0000:0000:0000", get("Address"));

    // A value without room for its terminator is refused as too long.
    char big[VEXO_VALUE_SIZE + 8];
    std::memset(big, 'x', sizeof big);
    big[sizeof big - 1] = '\0';
    EXPECT_EQ(1, VEXO_set_property_val(a_, prop("Probe"), big, VEXO_VALUE_SIZE));
    EXPECT_EQ(VEXO_STATUS_INVALID_SIZE, last_status().code);
}

TEST_F(VexoApi, PropertyCallsCheckTheirArguments)
{
    char value[VEXO_VALUE_SIZE] = "hello";
    node_tag_t label = prop("Label");
    node *other = build_adapter();
    ASSERT_TRUE(other);
    EXPECT_EQ(1, VEXO_get_property_val(other->node_tag, label, value, sizeof value)); // not its parent
    EXPECT_EQ(1, VEXO_set_property_val(other->node_tag, label, value, sizeof value));
    EXPECT_EQ(1, VEXO_get_property_val(a_, label, value, 257));
    EXPECT_EQ(1, VEXO_set_property_val(a_, label, value, 257));
    EXPECT_EQ(1, VEXO_get_property_val(a_, label, value, 0));
    EXPECT_EQ(1, VEXO_get_property_val(a_, label, nullptr, 256));
    EXPECT_EQ(1, VEXO_get_property_val(a_, a_, value, 256)); // a group is no property
    EXPECT_EQ(1, VEXO_get_property_val(label, label, value, 256));
    EXPECT_EQ(1, VEXO_get_property_val(a_, 4000, value, 256));
    EXPECT_EQ(0, last_status().code);

    // The declared length bounds what is written.
    char small[4];
    EXPECT_EQ(0, VEXO_get_property_val(a_, label, small, sizeof small));
    EXPECT_STREQ("abc", small);

    // A handler's answer and its detailed status come through.
    handler_log.probe_answer = VEXO_STATUS_GET_BEACON_FAILED;
    EXPECT_EQ(VEXO_STATUS_GET_BEACON_FAILED, VEXO_get_property_val(a_, prop("Probe"), value, sizeof value));
    EXPECT_STREQ("probed", value);
    EXPECT_EQ(VEXO_STATUS_GET_BEACON_FAILED, set("Probe", "x"));
    EXPECT_STREQ("x", handler_log.probe_written);
    // Without a handler the cached value is read.
    EXPECT_EQ("cached", get("Plain"));
}

TEST_F(VexoApi, ActionParametersAreCheckedBeforeTheHandler)
{
    node_tag_t add = act("AddTarget");
    node_tag_t new_tags[VEXO_MAX_NEW_TAGS];
    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];

    // Mandatory parameter absent.
    absent_params(params);
    new_tags[0] = 77;
    EXPECT_EQ(1, VEXO_do_action(a_, add, params, new_tags));
    LastStatus st = last_status();
    EXPECT_EQ(VEXO_STATUS_MISSING_MANDATORY_PARAM, st.code);
    EXPECT_EQ("TargetName: Parameter missing.", st.text);
    EXPECT_EQ(0, handler_log.add_target_calls);
    EXPECT_EQ(0, new_tags[0]);
    EXPECT_EQ(nullptr, vexo_internal_new_tags); // recording has ended

    struct Case {
        int index;
        const char *value;
        VEXO_status_t code;
        const char *text;
    } refusals[] = {
        {0, "ab", VEXO_STATUS_INVALID_SIZE, "TargetName: Number of characters should be from 3 to 32."},
        {1, "300.1.1.1", VEXO_STATUS_INVALID_VALUE, "Portal: Invalid value."},
        {2, "80", VEXO_STATUS_VALUE_OUT_OF_RANGE, "Port: Value out of range. Valid range is from 1024 to 65535."},
    };
    for (const Case &c : refusals) {
        absent_params(params);
        std::strcpy(params[0], "iqn.target");
        std::strcpy(params[c.index], c.value);
        EXPECT_EQ(1, VEXO_do_action(a_, add, params, nullptr));
        st = last_status();
        EXPECT_EQ(c.code, st.code);
        EXPECT_EQ(c.text, st.text);
    }
    EXPECT_EQ(0, handler_log.add_target_calls);

    // Optional parameters absent reach the handler as zeros; an IPv6 address
    // in its long form; parameters past the table as given.
    absent_params(params);
    std::strcpy(params[0], "iqn.target");
    std::strcpy(params[1], "fe80::1");
    std::strcpy(params[4], "untouched");
    EXPECT_EQ(0, VEXO_do_action(a_, add, params, nullptr));
    EXPECT_EQ(1, handler_log.add_target_calls);
    EXPECT_STREQ("FE80:0000:0000:0000:0000:0000:0000:0001", handler_log.last_params[1]);
    char zeros[VEXO_VALUE_SIZE] = {};
    EXPECT_EQ(0, std::memcmp(zeros, handler_log.last_params[2], sizeof zeros));
    EXPECT_STREQ("untouched", handler_log.last_params[4]);
    EXPECT_EQ(static_cast<char>(VEXO_PARAM_ABSENT), handler_log.last_params[3][0]);

    // A parameter without terminator is refused.
    absent_params(params);
    std::memset(params[0], 'q', VEXO_VALUE_SIZE);
    EXPECT_EQ(1, VEXO_do_action(a_, add, params, nullptr));
    EXPECT_EQ(VEXO_STATUS_INVALID_SIZE, last_status().code);

    // Wrong nodes and an action without handler.
    absent_params(params);
    EXPECT_EQ(1, VEXO_do_action(a_, prop("Label"), params, nullptr));
    EXPECT_EQ(1, VEXO_do_action(prop("Label"), add, params, nullptr));
    EXPECT_EQ(1, VEXO_do_action(a_, add, nullptr, nullptr));
    EXPECT_EQ(1, VEXO_do_action(a_, act("Unbound"), params, nullptr));
    EXPECT_EQ(0, last_status().code);

    VEXO_param_info info;
    ASSERT_EQ(0, VEXO_get_param_info(add, &info));
    EXPECT_EQ(3, info.param_count);
    EXPECT_STREQ("Port", info.params[2].param_name);
    EXPECT_EQ(1024, info.params[2].minval);
    EXPECT_EQ(1, VEXO_get_param_info(a_, &info));
}

TEST_F(VexoApi, ActionsRecordTheGroupsTheyBuild)
{
    node_tag_t add = act("AddTarget");
    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
    absent_params(params);
    std::strcpy(params[0], "iqn.first");
    node_tag_t new_tags[VEXO_MAX_NEW_TAGS];
    std::memset(new_tags, 0xff, sizeof new_tags);

    handler_log.targets_per_call = 2;
    ASSERT_EQ(0, VEXO_do_action(a_, add, params, new_tags));
    node_tag_t t0 = tag_of(a_, "Target0", VEXO_NODE_GROUP);
    node_tag_t t1 = tag_of(a_, "Target1", VEXO_NODE_GROUP);
    EXPECT_EQ(t0, new_tags[0]);
    EXPECT_EQ(t1, new_tags[1]);
    EXPECT_EQ(-1, new_tags[2]); // nothing more was written

    VEXO_persistency_info info;
    ASSERT_EQ(0, VEXO_get_persistence_info(t0, &info));
    EXPECT_EQ(add, info.action);
    EXPECT_EQ(a_, info.context);
    EXPECT_STREQ("iqn.first", info.params[0]);
    node *g0 = get_node(t0);
    node *g1 = get_node(t1);
    EXPECT_EQ(g0->u.grp->persistency_info.priority + 1, g1->u.grp->persistency_info.priority);

    // Outside an action nothing is recorded, and a group built by
    // enumeration has no creation record.
    node *plain = build_target(adapter_);
    ASSERT_TRUE(plain);
    EXPECT_EQ(0u, plain->u.grp->persistency_info.priority);
    EXPECT_EQ(1, VEXO_get_persistence_info(plain->node_tag, &info));
    EXPECT_EQ(1, VEXO_get_persistence_info(prop("Label"), &info));

    // The list holds 4097 tags; the 4098th group of one action is refused.
    handler_log.targets_per_call = 1;
    vexo_internal_new_tags = new_tags;
    new_tag_index = VEXO_MAX_NEW_TAGS;
    EXPECT_EQ(nullptr, build_target(adapter_));
    vexo_internal_new_tags = nullptr;
    new_tag_index = 0;
    EXPECT_EQ((std::vector<int>{}), std::vector<int>());
    int numbers[256];
    int count = 0;
    char target[] = "Target";
    ASSERT_EQ(0, VEXO_get_valid_instances(a_, target, numbers, &count));
    EXPECT_EQ(3, count);
}

TEST_F(VexoApi, RefreshAnswersZeroWhateverTheHandlerDid)
{
    node_tag_t diag = tag_of(a_, "Diagnostics", VEXO_NODE_GROUP);
    EXPECT_EQ(0, VEXO_refresh_group(diag));
    EXPECT_EQ(1, handler_log.refresh_calls);
    EXPECT_EQ(VEXO_STATUS_LOOP_BACK_TEST, last_status().code);
    EXPECT_EQ(0, VEXO_refresh_group(a_)); // no handler
    EXPECT_EQ(0, VEXO_refresh_group(prop("Label")));
    EXPECT_EQ(0, VEXO_refresh_group(5000));
    EXPECT_EQ(1, handler_log.refresh_calls);
}

TEST_F(VexoApi, PersistentNodesAreAlwaysEmpty)
{
    node_tag_t tags[10];
    int count = 10;
    EXPECT_EQ(0, VEXO_get_persistent_nodes(tags, &count));
    EXPECT_EQ(0, count);
    count = -1;
    EXPECT_EQ(VEXO_STATUS_SMALL_ARRAY, VEXO_get_persistent_nodes(tags, &count));
    EXPECT_EQ(-1, count);
    EXPECT_EQ(1, VEXO_get_persistent_nodes(nullptr, &count));
}

} // namespace
