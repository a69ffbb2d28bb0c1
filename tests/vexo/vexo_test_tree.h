// A small adapter tree for the management library's tests, made with the
// generic builder: adapter groups ("Arcwright", the name the lock keys look
// for) with properties of every datatype, a fixed subgroup with a refresh
// handler, actions, and three repeated child groups.
#ifndef HLVD_TESTS_VEXO_TEST_TREE_H
#define HLVD_TESTS_VEXO_TEST_TREE_H

#include <string>
#include <vector>

#include "mgmt/vexo/core/hm_builder.h"
#include "mgmt/vexo/core/hm_types.h"
#include "support/sim_host.h"

namespace vexotest {

// A machine without converged adapters: the library's start leaves only the
// root, and the tests add the groups they need.
extern const char kNoAdapterMachine[];

// Builders (parent, context, action, params).
node *build_adapter(node *parent = nullptr); // under ROOT by default
node *build_target(node *adapter, node *context = nullptr, node *action = nullptr,
                   char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = nullptr);
node *build_nic(node *adapter);
node *build_entry(node *adapter);

extern const hm_group_type adapter_type;
extern const hm_group_type target_type;

// What the handlers saw.
struct HandlerLog {
    int add_target_calls = 0;
    char last_params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
    int targets_per_call = 1;
    int refresh_calls = 0;
    int probe_reads = 0;
    int probe_writes = 0;
    char probe_written[VEXO_VALUE_SIZE] = {};
    VEXO_status_t probe_answer = VEXO_STATUS_SUCCESS;
};
extern HandlerLog handler_log;

// Called by the adapter's Hold action, with the context group.
extern void (*hold_hook)(node *context);

// Tag of a child found by display name; -1 when there is none.
node_tag_t tag_of(node_tag_t parent, const char *name, int type);
// Six parameters all marked absent.
void absent_params(char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// The last status as a pair.
struct LastStatus {
    VEXO_status_t code;
    std::string text;
};
LastStatus last_status();

} // namespace vexotest

#endif
