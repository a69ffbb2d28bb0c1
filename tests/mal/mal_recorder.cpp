#include "mal_recorder.h"

#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace maltest {

Calls calls;
std::map<std::string, Outcome> outcomes;

namespace {

VEXO_status_t finish(const std::string &name)
{
    auto it = outcomes.find(name);
    if (it == outcomes.end())
        return VEXO_STATUS_SUCCESS;
    vexo_set_last_status(it->second.code, "set by the test");
    return it->second.result;
}

#define TEXT_PARAM {0, "P", "a value", VEXO_TYPE_STRING, "", 0, 255}

} // namespace

action recorded_action[4] = {
    {record_action, 0, {0, {}}},
    {record_action, 0, {1, {TEXT_PARAM}}},
    {record_action, 0, {2, {TEXT_PARAM, TEXT_PARAM}}},
    {record_action, 0, {3, {TEXT_PARAM, TEXT_PARAM, TEXT_PARAM}}},
};

VEXO_status_t record_action(node *, node *act, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    std::string line = std::string(act->node_name) + "(";
    for (int i = 0; i < act->u.act->p.param_count; ++i)
        line += std::string(i ? "," : "") + params[i];
    calls.push_back(line + ")");
    return finish(act->node_name);
}

VEXO_status_t record_write(node *prop, char *value, int type)
{
    if (type == 1) {
        calls.push_back(std::string(prop->node_name) + "=" + value);
        VEXO_status_t r = finish(prop->node_name);
        if (r != VEXO_STATUS_SUCCESS)
            return r;
    }
    return handle_internal_property(prop, value, type);
}

} // namespace maltest
