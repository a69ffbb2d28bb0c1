// The iSCSI initiator tree (LogicalHBA, send-target portals, targets with
// their portals, sessions, connection and LUNs) built through its builders
// and compared with the expected tables; the instance limits of its
// repeated groups; the writes and action parameters its tables decide.
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expected_tables_initiator.h"
#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/aw/vexo-backend/nodes_iscsi.h"
#include "mgmt/aw/vexo-backend/nodes_target.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "node_table_check.h"

using namespace nodestest;

namespace {

using builder = node *(*)(node *, node *, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

int nodes_of(const ExpectedTable &t)
{
    return count_rows(parse_table(t)).total();
}

int instance_of(node *g)
{
    return g ? g->u.grp->multi_instance->instance : -1;
}

// The first instance of `name` under `parent`, built when there is none.
node *first_or_build(node *parent, const char *name, builder b)
{
    if (!parent)
        return nullptr;
    node *g = get_first_instance(parent, name);
    return g ? g : b(parent, nullptr, nullptr, nullptr);
}

node *an_adapter()
{
    return first_or_build(get_node(0), "Arcwright", initialize_Arcwright);
}
node *an_iscsi_function()
{
    return first_or_build(an_adapter(), "iSCSIPhysicalHBA", initialize_iSCSIPhysicalHBA);
}
node *an_initiator()
{
    return first_or_build(an_iscsi_function(), "LogicalHBA", initialize_LogicalHBA);
}
node *a_discovery()
{
    node *lhba = an_initiator();
    return lhba ? fixed_group(lhba, "Discovery") : nullptr;
}
node *a_target()
{
    return first_or_build(an_initiator(), "Target", initialize_Target);
}
node *a_session()
{
    return first_or_build(a_target(), "Session", initialize_Session);
}

TEST(InitiatorTableData, CountsPerInstance)
{
    // Groups count the instance group itself.
    struct CountCase {
        const ExpectedTable *table;
        NodeCounts counts;
    };
    const CountCase cases[] = {
        {&kLogicalHBATable, {8, 62, 7}}, {&kSendTargetPortalTable, {3, 15, 3}}, {&kTargetTable, {3, 16, 7}},
        {&kTargetPortalTable, {1, 3, 0}}, {&kSessionTable, {5, 36, 1}},        {&kConnectionTable, {2, 13, 0}},
        {&kLUNTable, {1, 9, 2}},
    };
    for (const CountCase &c : cases) {
        NodeCounts n = count_rows(parse_table(*c.table));
        EXPECT_EQ(c.counts.groups, n.groups) << c.table->group;
        EXPECT_EQ(c.counts.properties, n.properties) << c.table->group;
        EXPECT_EQ(c.counts.actions, n.actions) << c.table->group;
    }
}

class InitiatorTables : public NodeTreeTest {
protected:
    // Builds one instance and checks how many nodes the call registered.
    node *build(builder b, node *parent, const ExpectedTable &t)
    {
        int before = registered_nodes();
        node *g = parent ? b(parent, nullptr, nullptr, nullptr) : nullptr;
        EXPECT_NE(nullptr, g) << t.group;
        EXPECT_EQ(nodes_of(t), registered_nodes() - before) << t.group;
        return g;
    }

    // Tags rise along an instance's own nodes: made depth-first in table
    // order, the instance group first.
    void expect_creation_order(node *instance)
    {
        node_tag_t last = instance->node_tag;
        for (const OwnNode &o : own_nodes(instance)) {
            EXPECT_GT(o.n->node_tag, last) << instance->node_name << ": " << o.n->node_name << " out of order";
            last = o.n->node_tag;
        }
    }
};

TEST_F(InitiatorTables, TwoInitiatorTreesMatchTheTablesNodeByNode)
{
    node *adapter = initialize_Arcwright(get_node(0), nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, adapter);

    struct Built {
        const ExpectedTable *table;
        node *instance;
    };
    std::vector<Built> all;
    std::vector<node *> functions;
    for (int f = 0; f < 2; ++f) {
        node *fn = initialize_iSCSIPhysicalHBA(adapter, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, fn);
        functions.push_back(fn);
        node *lhba = build(initialize_LogicalHBA, fn, kLogicalHBATable);
        ASSERT_NE(nullptr, lhba);
        all.push_back({&kLogicalHBATable, lhba});
        node *discovery = fixed_group(lhba, "Discovery");
        ASSERT_NE(nullptr, discovery);
        for (int i = 0; i < 2; ++i)
            all.push_back({&kSendTargetPortalTable, build(initialize_SendTargetPortal, discovery, kSendTargetPortalTable)});
        for (int t = 0; t < 2; ++t) {
            node *target = build(initialize_Target, lhba, kTargetTable);
            ASSERT_NE(nullptr, target);
            all.push_back({&kTargetTable, target});
            for (int i = 0; i < 2; ++i)
                all.push_back({&kTargetPortalTable, build(initialize_TargetPortal, target, kTargetPortalTable)});
            for (int i = 0; i < 2; ++i) {
                node *session = build(initialize_Session, target, kSessionTable);
                ASSERT_NE(nullptr, session);
                all.push_back({&kSessionTable, session});
                all.push_back({&kConnectionTable, build(initialize_Connection, session, kConnectionTable)});
            }
            for (int i = 0; i < 3; ++i)
                all.push_back({&kLUNTable, build(initialize_LUN, target, kLUNTable)});
        }
    }
    ASSERT_FALSE(HasFatalFailure());

    Bindings bindings;
    for (const Built &b : all) {
        ASSERT_NE(nullptr, b.instance) << b.table->group;
        expect_instance_matches(b.instance, *b.table, &bindings);
        expect_creation_order(b.instance);
    }
    expect_bindings_consistent(bindings);

    // The repeated instances hang after their parent's fixed children,
    // numbered from 0 under every parent, each group's in one run.
    for (node *fn : functions) {
        std::vector<std::string> fn_children = child_names(fn);
        ASSERT_FALSE(fn_children.empty());
        EXPECT_EQ("LogicalHBA0", fn_children.back());
        node *lhba = get_first_instance(fn, "LogicalHBA");
        ASSERT_NE(nullptr, lhba);
        EXPECT_EQ(plus(names_of_rows(kLogicalHBATable), {"Target0", "Target1"}), child_names(lhba));
        EXPECT_EQ(std::vector<std::string>({"DiscoverBootTargetThruDHCP", "AddSendTargetPortal",
                                            "DeleteSendTargetPortal", "RefreshAvailableTargets", "SendTargetPortal0",
                                            "SendTargetPortal1"}),
                  child_names(fixed_group(lhba, "Discovery")));
        for (const char *t : {"Target0", "Target1"}) {
            node *target = fixed_group(lhba, t);
            ASSERT_NE(nullptr, target) << t;
            EXPECT_EQ(plus(names_of_rows(kTargetTable), {"TargetPortal0", "TargetPortal1", "Session0", "Session1",
                                                         "LUN0", "LUN1", "LUN2"}),
                      child_names(target));
            for (const char *s : {"Session0", "Session1"})
                EXPECT_EQ(plus(names_of_rows(kSessionTable), {"Connection0"}), child_names(fixed_group(target, s)));
        }
    }
}

TEST_F(InitiatorTables, EveryGroupsActionsHaveRecordsOfTheirOwn)
{
    // The CHAP actions of the initiator, a send-target portal and a target
    // carry the same parameters but point at distinct records; two
    // instances of one group share theirs.
    node *fn = an_iscsi_function();
    ASSERT_NE(nullptr, fn);
    node *lhba = initialize_LogicalHBA(fn, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, lhba);
    node *fn2 = initialize_iSCSIPhysicalHBA(an_adapter(), nullptr, nullptr, nullptr);
    node *lhba2 = fn2 ? initialize_LogicalHBA(fn2, nullptr, nullptr, nullptr) : nullptr;
    ASSERT_NE(nullptr, lhba2);
    node *discovery = fixed_group(lhba, "Discovery");
    ASSERT_NE(nullptr, discovery);
    node *target = initialize_Target(lhba, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, target);
    node *first[] = {lhba, initialize_SendTargetPortal(discovery, nullptr, nullptr, nullptr), target,
                     initialize_Session(target, nullptr, nullptr, nullptr),
                     initialize_LUN(target, nullptr, nullptr, nullptr)};
    node *second[] = {lhba2, initialize_SendTargetPortal(discovery, nullptr, nullptr, nullptr),
                      initialize_Target(lhba, nullptr, nullptr, nullptr),
                      initialize_Session(target, nullptr, nullptr, nullptr),
                      initialize_LUN(target, nullptr, nullptr, nullptr)};
    std::vector<const action *> records;
    for (size_t k = 0; k < sizeof first / sizeof first[0]; ++k) {
        ASSERT_TRUE(first[k] && second[k]) << k;
        std::vector<OwnNode> x = own_nodes(first[k]);
        std::vector<OwnNode> y = own_nodes(second[k]);
        ASSERT_EQ(x.size(), y.size());
        for (size_t i = 0; i < x.size(); ++i) {
            if (x[i].n->node_type != VEXO_NODE_ACTION)
                continue;
            EXPECT_EQ(x[i].n->u.act, y[i].n->u.act) << x[i].n->node_name;
            records.push_back(x[i].n->u.act);
        }
    }
    EXPECT_EQ(7u + 3u + 7u + 1u + 2u, records.size());
    for (size_t i = 0; i < records.size(); ++i)
        for (size_t j = i + 1; j < records.size(); ++j)
            EXPECT_NE(records[i], records[j]) << "actions " << i << " and " << j << " share a record";
}

// ---- Instance limits ----

struct LimitCase {
    const char *group;
    builder build;
    node *(*parent)();
    int max;
};

const LimitCase kLimitCases[] = {
    {"LogicalHBA", initialize_LogicalHBA, an_iscsi_function, 1},
    {"SendTargetPortal", initialize_SendTargetPortal, a_discovery, 128},
    {"Target", initialize_Target, an_initiator, 256},
    {"TargetPortal", initialize_TargetPortal, a_target, 64},
    {"Session", initialize_Session, a_target, 64},
    {"Connection", initialize_Connection, a_session, 1},
    {"LUN", initialize_LUN, a_target, 256},
};

// Names the case in test output instead of its bytes.
void PrintTo(const LimitCase &c, std::ostream *os)
{
    *os << c.group;
}

class InitiatorLimits : public NodeTreeTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(InitiatorLimits, OnePastTheLimitIsRefusedAndAFreedNumberIsReused)
{
    const LimitCase &c = GetParam();
    node *parent = c.parent();
    ASSERT_NE(nullptr, parent);

    std::vector<node *> built;
    for (int i = 0; i < c.max; ++i) {
        node *g = c.build(parent, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, g) << c.group << " " << i;
        ASSERT_EQ(i, instance_of(g));
        built.push_back(g);
    }

    // One more: refused, nothing registered, nothing allocated.
    int nodes = registered_nodes();
    int memory = vexo_counter;
    EXPECT_EQ(nullptr, c.build(parent, nullptr, nullptr, nullptr));
    EXPECT_EQ(nodes, registered_nodes());
    EXPECT_EQ(memory, vexo_counter);

    // A freed number goes to the next instance, in its old place.
    const int k = c.max > 5 ? 5 : 0;
    const size_t at = static_cast<size_t>(k);
    ASSERT_EQ(VEXO_STATUS_SUCCESS, delete_node(built[at]));
    node *again = c.build(parent, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(k, instance_of(again));
    if (k > 0) {
        EXPECT_EQ(built[at - 1], again->prev_sibling);
    }
    if (k + 1 < c.max) {
        EXPECT_EQ(built[at + 1], again->next_sibling);
    }
    EXPECT_EQ(nullptr, c.build(parent, nullptr, nullptr, nullptr));
}

INSTANTIATE_TEST_SUITE_P(Groups, InitiatorLimits, ::testing::ValuesIn(kLimitCases),
                         [](const ::testing::TestParamInfo<LimitCase> &info) { return std::string(info.param.group); });

TEST_F(InitiatorTables, TheLastParentsHaveRoomToo)
{
    // The highest number of every ancestor selects the last slice of each
    // bit field: Arcwright15 / iSCSIPhysicalHBA7 / LogicalHBA0 / Target255 /
    // Session63 / Connection0, with portals, LUNs and send-target portals
    // filled to their limits below the last parents.
    node *adapter = nullptr;
    for (int i = 0; i < 16; ++i)
        ASSERT_NE(nullptr, adapter = initialize_Arcwright(get_node(0), nullptr, nullptr, nullptr));
    node *fn = nullptr;
    for (int i = 0; i < 8; ++i)
        ASSERT_NE(nullptr, fn = initialize_iSCSIPhysicalHBA(adapter, nullptr, nullptr, nullptr));
    ASSERT_EQ(15, instance_of(adapter));
    ASSERT_EQ(7, instance_of(fn));

    // Fills a parent to its limit, checks the one past it, and answers the
    // last instance.
    auto fill = [](builder b, node *parent, int max) -> node * {
        if (!parent) {
            ADD_FAILURE() << "no parent";
            return nullptr;
        }
        node *last = nullptr;
        for (int i = 0; i < max; ++i) {
            node *g = b(parent, nullptr, nullptr, nullptr);
            if (!g || instance_of(g) != i) {
                ADD_FAILURE() << "below " << parent->node_name << ": instance " << i << " not built";
                return nullptr;
            }
            last = g;
        }
        EXPECT_EQ(nullptr, b(parent, nullptr, nullptr, nullptr)) << last->node_name << " past the limit";
        return last;
    };
    node *lhba = fill(initialize_LogicalHBA, fn, 1);
    ASSERT_NE(nullptr, lhba);
    ASSERT_NE(nullptr, fill(initialize_SendTargetPortal, fixed_group(lhba, "Discovery"), 128));
    node *target = fill(initialize_Target, lhba, 256);
    ASSERT_NE(nullptr, target);
    ASSERT_NE(nullptr, fill(initialize_TargetPortal, target, 64));
    node *session = fill(initialize_Session, target, 64);
    ASSERT_NE(nullptr, session);
    ASSERT_NE(nullptr, fill(initialize_Connection, session, 1));
    ASSERT_NE(nullptr, fill(initialize_LUN, target, 256));
}

// ---- What the tables decide for writes and action parameters ----

// A small initiator tree: one send-target portal, one target with a portal,
// a session with its connection, and a LUN.
class InitiatorTree : public NodeTreeTest {
protected:
    void SetUp() override
    {
        NodeTreeTest::SetUp();
        lhba_ = an_initiator();
        ASSERT_NE(nullptr, lhba_);
        ASSERT_NE(nullptr, initialize_SendTargetPortal(a_discovery(), nullptr, nullptr, nullptr));
        node *target = a_target();
        ASSERT_NE(nullptr, target);
        ASSERT_NE(nullptr, initialize_TargetPortal(target, nullptr, nullptr, nullptr));
        node *session = a_session();
        ASSERT_NE(nullptr, session);
        ASSERT_NE(nullptr, initialize_Connection(session, nullptr, nullptr, nullptr));
        ASSERT_NE(nullptr, initialize_LUN(target, nullptr, nullptr, nullptr));
    }

    // A group by its path below the LogicalHBA ("" the LogicalHBA itself).
    node *group(const char *path)
    {
        node *g = path[0] ? fixed_group(lhba_, path) : lhba_;
        EXPECT_NE(nullptr, g) << "no group " << path;
        return g;
    }

    node *lhba_ = nullptr;
};

TEST_F(InitiatorTree, TheInitiatorsNameGroupAndPropertyAreFoundByKind)
{
    char name[VEXO_VALUE_SIZE] = "InitiatoriSCSIName";
    node_tag_t tag = -1;
    ASSERT_EQ(VEXO_STATUS_SUCCESS, VEXO_get_node_tag(lhba_->node_tag, name, &tag, VEXO_NODE_GROUP));
    node *g = get_node(tag);
    ASSERT_NE(nullptr, g);
    EXPECT_EQ(VEXO_NODE_GROUP, g->node_type);
    EXPECT_EQ(lhba_, g->parent);
    EXPECT_EQ(VEXO_STATUS_FAILURE, VEXO_get_node_tag(lhba_->node_tag, name, &tag, VEXO_NODE_PROPERTY));

    node_tag_t prop = -1;
    ASSERT_EQ(VEXO_STATUS_SUCCESS, VEXO_get_node_tag(g->node_tag, name, &prop, VEXO_NODE_PROPERTY));
    EXPECT_EQ(VEXO_NODE_PROPERTY, get_node(prop)->node_type);
    EXPECT_EQ(g, get_node(prop)->parent);
    EXPECT_EQ(VEXO_STATUS_FAILURE, VEXO_get_node_tag(g->node_tag, name, &tag, VEXO_NODE_GROUP));
}

struct WriteCase {
    const char *group;
    const char *property;
    const char *value;
    int status; // 0: accepted and handed to the handler
};

const WriteCase kWrites[] = {
    // List values compare without regard to case.
    {"InitiatorLoginOptions", "HeaderDigest", "crc32c", 0},
    {"InitiatorLoginOptions", "HeaderDigest", "CRC32", 6},
    {"Discovery/SendTargetPortal0/SendTargetPortalLoginOptions", "DataParam", "preferred", 0},
    {"Target0/Session0", "iSCSIBoot", "TRUE", 0},
    {"Target0/Session0", "iSCSIBoot", "Yes", 6},
    {"Target0/LUN0", "BootLUN", "false", 0},
    {"", "Enabled", "On", 6},
    // Read-only properties refuse every write.
    {"InitiatorLoginOptions", "InitialR2T", "No", 10},
    {"InitiatorLoginOptions/Authentication", "TargetSecret", "0123456789abcdef", 10},
    {"iSCSIQoS", "MinBitsPerSecond", "1", 10},
    {"Target0", "TargetType", "Discovered", 10},
    {"Target0/TargetPortal0", "TargetPortNumber", "3260", 10},
    {"Target0/Session0/Connection0/ConnectionNegotiatedLoginOptions", "TCPMSS", "1460", 10},
    // Lengths and ranges.
    {"InitiatoriSCSIName", "InitiatoriSCSIName", "", 8},
    {"InitiatoriSCSIName", "InitiatorAlias", "0123456789012345678901234567890", 0},
    {"InitiatoriSCSIName", "InitiatorAlias", "01234567890123456789012345678901", 8},
    {"iSCSIQoS", "MaxBytesPerSecond", "1280", 0},
    {"iSCSIQoS", "MaxBytesPerSecond", "1281", 7},
    {"iSCSIQoS", "MaxIosPerSecond", "251", 7},
    {"Target0", "ETO", "3600", 0},
    {"Target0", "ETO", "3601", 7},
};

TEST_F(InitiatorTree, WritesAreCheckedAgainstTheTables)
{
    for (const WriteCase &c : kWrites) {
        SCOPED_TRACE(std::string(c.group) + " " + c.property + " = \"" + c.value + "\"");
        expect_write_checked(group(c.group), c.property, c.value, c.status);
    }
}

struct ParamCase {
    const char *group;
    const char *action;
    std::vector<const char *> params; // nullptr: absent
    int status;                       // 0: accepted and handed to the handler
    const char *text;                 // last-status text of a refusal
};

const ParamCase kParams[] = {
    // Target numbers run to 255, but DeleteTarget takes 256 by its limits.
    {"", "DeleteTarget", {"256"}, 0, nullptr},
    {"", "DeleteTarget", {"257"}, 7, "InstanceNumber: Value out of range. Valid range is from 0 to 256."},
    {"", "AddTarget", {"iqn.1", "10.0.0.5"}, 8, "TargetName: Number of characters should be from 6 to 223."},
    {"", "AddTarget", {"iqn.t1", "10.0.0.5", nullptr, "false", "secondary"}, 0, nullptr},
    {"", "AddTarget", {"iqn.t1", "10.0.0.5", nullptr, nullptr, "Tertiary"}, 6, "BootTargetPriority: Invalid value."},
    {"Discovery", "AddSendTargetPortal", {"10.0.0.5", nullptr}, 9, "PortNumber: Parameter missing."},
    {"Discovery", "AddSendTargetPortal", {"10.0.0.5", "1023"}, 7,
     "PortNumber: Value out of range. Valid range is from 1024 to 65535."},
    {"Discovery", "DeleteSendTargetPortal", {"127"}, 0, nullptr},
    {"Discovery", "DeleteSendTargetPortal", {"128"}, 7,
     "InstanceNumber: Value out of range. Valid range is from 0 to 127."},
    {"Discovery/SendTargetPortal0", "DiscoverTargets", {nullptr}, 0, nullptr},
    // CHAP: "None" is no method to configure; secrets are 12 to 34 characters.
    {"InitiatorLoginOptions/Authentication", "ConfigureCHAP", {"None", nullptr, nullptr, "tgt", "0123456789ab"}, 6,
     "AuthenticationMethod: Invalid value."},
    {"InitiatorLoginOptions/Authentication", "ConfigureCHAP", {"one-way chap", nullptr, nullptr, "tgt", "0123456789a"},
     8, "TargetSecret: Number of characters should be from 12 to 34."},
    {"Target0/TargetLoginOptions/Authentication", "ConfigureCHAP",
     {"Mutual CHAP", "ini", "0123456789ab", "tgt", "0123456789ab", "Prohibited"}, 6, "CHAPParam: Invalid value."},
    {"Discovery/SendTargetPortal0/SendTargetPortalLoginOptions/Authentication", "ConfigureCHAP",
     {"Mutual CHAP", "ini", "0123456789ab", "tgt", "0x0123456789abcdef0123456789abcdef", "required"}, 0, nullptr},
    // Both take a missing instance number; their handlers decide.
    {"Target0", "DeleteTargetPortal", {nullptr}, 0, nullptr},
    {"Target0", "Logout", {nullptr}, 0, nullptr},
    {"Target0", "Logout", {"64"}, 7, "InstanceNumber: Value out of range. Valid range is from 0 to 63."},
    {"Target0", "Login", {nullptr, nullptr, nullptr, "65536"}, 7,
     "ISIDQualifier: Value out of range. Valid range is from 0 to 65535."},
    {"Target0", "AddTargetPortal", {"not-an-address"}, 6, "IPAddress: Invalid value."},
    {"Target0/Session0", "ConfigureBootTarget", {"TRUE", "primary"}, 0, nullptr},
    {"Target0/Session0", "ConfigureBootTarget", {"Yes"}, 6, "iSCSIBoot: Invalid value."},
    {"Target0/LUN0", "SCSIWrite", {"65535", "0"}, 7, "Count: Value out of range. Valid range is from 1 to 65535."},
};

TEST_F(InitiatorTree, ActionParametersAreValidatedAsTheTablesSay)
{
    for (const ParamCase &c : kParams) {
        SCOPED_TRACE(std::string(c.group) + " " + c.action);
        expect_action_checked(group(c.group), c.action, c.params, c.status, c.text);
    }
}

} // namespace
