// Action and property-write handlers for test trees that only record what
// reached them ("Name(p0,p1)" for an action, "Name=value" for a write), and
// answer as the test asks, so a client operation's steps and parameters show.
#ifndef HLVD_TESTS_MAL_RECORDER_H
#define HLVD_TESTS_MAL_RECORDER_H

#include <map>
#include <string>
#include <vector>

#include "mgmt/vexo/core/hm_builder.h"
#include "mgmt/vexo/core/hm_types.h"

namespace maltest {

using Calls = std::vector<std::string>;
extern Calls calls;

// What a named action or write answers: its result and its last status
// code. A success with a code leaves that code as the last status.
struct Outcome {
    VEXO_status_t result;
    VEXO_status_t code;
};
extern std::map<std::string, Outcome> outcomes;

VEXO_status_t record_action(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t record_write(node *property_node, char *value, int type);

// Actions of 0 to 3 optional text parameters, recorded.
extern action recorded_action[4];

// A writable text property whose writes are recorded.
constexpr hm_node_row RW(const char *name, const char *value)
{
    return HM_PROPERTY(name, "a value", VEXO_PROP_READWRITE, VEXO_TYPE_STRING, 0, 255, value, nullptr,
                       record_write);
}
// An action of `n` recorded parameters.
constexpr hm_node_row ACT(const char *name, int n)
{
    return HM_ACTION(name, "a recorded action", &recorded_action[n]);
}

} // namespace maltest

#endif
