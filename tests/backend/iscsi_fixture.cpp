#include "iscsi_fixture.h"

#include <cstdio>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/machine.h"

using json = nlohmann::json;

namespace iscsitest {

json two_target_machine(const char *serial, const char *generation, const char *device_id)
{
    json m = json::parse(R"({ "adapters": [
  { "name": "a", "family": "converged",
    "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
    "functions": [
      { "bus": 5, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "port": 0, "mac": "00:00:C9:B5:00:02",
        "tcpip": { "if_handle": 7, "addresses": [ { "type": 1, "ip": "10.1.1.5", "mask": "255.255.255.0" } ] } }
    ] } ] })");
    json &a = m["adapters"][0];
    a["serial"] = serial;
    a["generation"] = generation;
    a["functions"][0]["device_id"] = device_id;
    json init;
    init["name"] = kInitiator;
    init["targets"] = json::array({
        {{"id", 1}, {"name", kPlain}},
        {{"id", 2},
         {"name", kMutual},
         {"chap",
          {{"method", "mutual"},
           {"initiator_name", "ini"},
           {"initiator_secret", "inisecret123"},
           {"target_name", "tgt"},
           {"target_secret", "tgtsecret123"}}}},
    });
    a["functions"][0]["initiator"] = init;
    return m;
}

Outcome act(node *group, const char *name, const std::vector<std::string> &given)
{
    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
    for (size_t i = 0; i < VEXO_MAX_PARAMS; ++i)
        if (i < given.size() && !given[i].empty())
            std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", given[i].c_str());
        else
            params[i][0] = static_cast<char>(VEXO_PARAM_ABSENT);
    node *a = group ? internal_get_node(group, name, VEXO_NODE_ACTION) : nullptr;
    EXPECT_NE(nullptr, a) << name;
    if (!a)
        return {VEXO_STATUS_FAILURE, VEXO_STATUS_FAILURE};
    vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
    std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
    Outcome o;
    o.result = VEXO_do_action(group->node_tag, a->node_tag, params, tags.data());
    o.status = backendtest::last_status().first;
    return o;
}

void IscsiHost::boot(const std::string &serial, bool make_lhba)
{
    count_ = vexo_counter;
    ASSERT_EQ(0, VEXO_init());
    started_ = true;
    const std::string fn = backendtest::adapter_path(serial) + "/iSCSIPhysicalHBA0";
    node *phba = get_node(backendtest::tag_at(fn, VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, phba);
    lhba_ = get_first_instance(phba, "LogicalHBA");
    if (!lhba_ && make_lhba)
        lhba_ = initialize_LogicalHBA(phba, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, lhba_);
}

void IscsiHost::stop()
{
    if (!started_)
        return;
    started_ = false;
    lhba_ = nullptr;
    EXPECT_EQ(0, VEXO_exit());
    EXPECT_EQ(count_, vexo_counter) << "counted memory left behind";
}

json IscsiHost::initiator()
{
    hlvdsim::Machine m;
    EXPECT_TRUE(hlvdsim::load_adapter(host_->root(), 0, m, nullptr));
    return m.doc["adapters"][0]["functions"][0]["initiator"];
}

node *IscsiHost::auth_of(node *t)
{
    return internal_get_node(internal_get_node(t, "TargetLoginOptions", VEXO_NODE_GROUP), "Authentication",
                             VEXO_NODE_GROUP);
}

std::string IscsiHost::prop(node *group, const char *name)
{
    char v[VEXO_VALUE_SIZE] = "";
    return group && internal_get_property(group, name, v) == VEXO_STATUS_SUCCESS ? v : "error";
}

} // namespace iscsitest
