// Helpers of the node-table tests: the expected tables parsed into records,
// the nodes one builder call made, their comparison, and a started library
// on a simulated host without converged adapters.
#ifndef HLVD_TESTS_NODES_NODE_TABLE_CHECK_H
#define HLVD_TESTS_NODES_NODE_TABLE_CHECK_H

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expected_tables.h"
#include "mgmt/vexo/core/hm_types.h"
#include "support/sim_host.h"

namespace nodestest {

struct ExpectedParam {
    bool mandatory = false;
    std::string name;
    int datatype = -1;
    int32_t minval = 0;
    int32_t maxval = 0;
    std::string list;
};

// One row of a table; depth 0 is a child of the instance group itself.
struct ExpectedNode {
    int depth = 0;
    int kind = 0; // VEXO_NODE_GROUP, _PROPERTY or _ACTION
    std::string name;
    std::string handler; // property or action handler; refresh handler of a group ("" none)
    int32_t flag = 0;
    int datatype = -1;
    int32_t minval = 0;
    int32_t maxval = 0;
    std::string default_val;
    std::string list;
    std::vector<ExpectedParam> params;
};

// Parses a table; a malformed row fails the test and is left out.
std::vector<ExpectedNode> parse_table(const ExpectedTable &t);

// Names of a table's top rows (the instance's own children), in order.
std::vector<std::string> names_of_rows(const ExpectedTable &t);
// `head` followed by `tail`.
std::vector<std::string> plus(std::vector<std::string> head, const std::vector<std::string> &tail);

// Node counts of one instance, the instance group included.
struct NodeCounts {
    int groups = 0;
    int properties = 0;
    int actions = 0;
    int total() const { return groups + properties + actions; }
};
NodeCounts count_rows(const std::vector<ExpectedNode> &rows);

// What a builder made for one instance: the instance's content in child
// order, depth-first, without the repeated instances that hang below it.
struct OwnNode {
    node *n;
    int depth;
};
std::vector<OwnNode> own_nodes(node *instance);

// Handler names seen in the tables with the functions bound for them.
struct Bindings {
    std::map<std::string, std::set<uintptr_t>> by_name;
};

// Compares one built instance with its table, node by node (names, kinds,
// access, datatypes, limits, defaults, lists, parameters, the instance's
// own group record), and records its handlers in `b`.
void expect_instance_matches(node *instance, const ExpectedTable &t, Bindings *b);
// Every handler name is bound to one function at most, distinct names to
// distinct functions, handle_internal_property exactly where named, and
// null only for the handlers declared pending.
void expect_bindings_consistent(const Bindings &b);

// The fixed group at `path` ("Network/TCPIPConfiguration/RouteTable")
// below `from`; null when there is none.
node *fixed_group(node *from, const char *path);
// Display names of a group's children, in child order.
std::vector<std::string> child_names(node *g);
// Nodes registered in the hierarchy.
int registered_nodes();

// Writes `value` to `property` of `group` through VEXO_set_property_val
// with a probe standing in for the property's handler. Status 0: accepted
// and handed to the handler unchanged; any other: refused with that last
// status, never reaching the handler.
void expect_write_checked(node *group, const char *property, const char *value, int status);

// Runs `action` of `group` through VEXO_do_action with a probe standing in
// for its handler; a null parameter is absent. Status 0: accepted, each
// given parameter reaching the handler as given; any other: refused with
// that last status and text, never reaching the handler.
void expect_action_checked(node *group, const char *action, const std::vector<const char *> &params, int status,
                           const char *text);

extern const char kNoAdapterMachine[];

// A started library without adapter groups; at the end everything built
// must be released again.
class NodeTreeTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    hlvdtest::SimHost host_{kNoAdapterMachine};
    int start_ = 0;
};

} // namespace nodestest

#endif
