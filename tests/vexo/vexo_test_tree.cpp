#include "vexo_test_tree.h"

#include <cstring>

#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"

namespace vexotest {

const char kNoAdapterMachine[] = R"({
  "comment": "no converged adapter",
  "host": { "release": "VMware ESXi 6.7.0 build-8169922", "banner": "VMware ESXi 6.7.0" },
  "adapters": []
})";

HandlerLog handler_log;
void (*hold_hook)(node *context) = nullptr;

namespace {

VEXO_status_t do_AddTarget(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    handler_log.add_target_calls++;
    std::memcpy(handler_log.last_params, params, sizeof handler_log.last_params);
    for (int i = 0; i < handler_log.targets_per_call; ++i) {
        node *action_node = internal_get_node(context, "AddTarget", VEXO_NODE_ACTION);
        if (!build_target(context, context, action_node, params))
            return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_Hold(node *context, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (hold_hook)
        hold_hook(context);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t group_Diagnostics(node *)
{
    handler_log.refresh_calls++;
    vexo_set_fixed_status(VEXO_STATUS_LOOP_BACK_TEST);
    return VEXO_STATUS_FAILURE;
}

VEXO_status_t handle_Probe(node *property_node, char *value, int type)
{
    if (type == 0) {
        handler_log.probe_reads++;
        std::strcpy(value, "probed");
    } else {
        handler_log.probe_writes++;
        std::strcpy(handler_log.probe_written, value);
        handle_internal_property(property_node, value, 1);
    }
    return handler_log.probe_answer;
}

action AddTarget_action = {do_AddTarget, 0, {3, {
    {1, "TargetName", "name of the target", VEXO_TYPE_STRING, "", 3, 32},
    {0, "Portal", "address of the portal", VEXO_TYPE_IP, "", 0, 0},
    {0, "Port", "TCP port of the portal", VEXO_TYPE_INTEGER, "", 1024, 65535},
}}};
action Unbound_action = {nullptr, 0, {0, {}}};
action Hold_action = {do_Hold, 0, {0, {}}};

const hm_node_row adapter_rows[] = {
    HM_PROPERTY("SerialNumber", "serial number", VEXO_PROP_READONLY, VEXO_TYPE_STRING, 1, 32, "1", nullptr,
                handle_internal_property),
    HM_PROPERTY("Label", "a label", VEXO_PROP_READWRITE, VEXO_TYPE_STRING, 3, 20, "abc", nullptr,
                handle_internal_property),
    HM_PROPERTY("Level", "a number", VEXO_PROP_READWRITE, VEXO_TYPE_INTEGER, 0, 100, "0", nullptr,
                handle_internal_property),
    HM_PROPERTY("Address", "an address", VEXO_PROP_READWRITE, VEXO_TYPE_IP, 0, 0, "0.0.0.0", nullptr,
                handle_internal_property),
    HM_PROPERTY("Mask", "a mask", VEXO_PROP_READWRITE, VEXO_TYPE_SUBNETMASK, 0, 0, "255.255.255.0", nullptr,
                handle_internal_property),
    HM_PROPERTY("Mode", "a choice", VEXO_PROP_READWRITE, VEXO_TYPE_LIST, 7, 8, "Enabled", "Enabled,Disabled",
                handle_internal_property),
    HM_PROPERTY("Plain", "a value without handler", VEXO_PROP_READWRITE, VEXO_TYPE_STRING, 0, 255, "cached",
                nullptr, nullptr),
    HM_PROPERTY("Probe", "a value with a handler of its own", VEXO_PROP_READWRITE, VEXO_TYPE_STRING, 0, 255, "",
                nullptr, handle_Probe),
    HM_PROPERTY("Hidden", "writable but not listed", VEXO_PROP_READWRITE | VEXO_PROP_HIDDEN_WRITE,
                VEXO_TYPE_STRING, 0, 255, "", nullptr, handle_internal_property),
    HM_GROUP("Diagnostics", "diagnostics", group_Diagnostics),
        HM_PROPERTY("Result", "last result", VEXO_PROP_READONLY, VEXO_TYPE_STRING, 0, 255, "none", nullptr,
                    handle_internal_property),
    HM_END(),
    HM_ACTION("AddTarget", "adds a target", &AddTarget_action),
    HM_ACTION("Unbound", "an action without handler", &Unbound_action),
    HM_ACTION("Hold", "runs the test's hook", &Hold_action),
};

const hm_node_row target_rows[] = {
    HM_PROPERTY("TargetName", "name", VEXO_PROP_READONLY, VEXO_TYPE_STRING, 0, 255, "", nullptr,
                handle_internal_property),
};

const hm_node_row nic_rows[] = {
    HM_GROUP("PCI", "PCI location", nullptr),
        HM_PROPERTY("BusNumber", "bus", VEXO_PROP_READONLY, VEXO_TYPE_STRING, 0, 32, "0x7", nullptr,
                    handle_internal_property),
    HM_END(),
};

const hm_node_row entry_rows[] = {
    HM_PROPERTY("A", "first", VEXO_PROP_READONLY, VEXO_TYPE_STRING, 0, 255, "a", nullptr, handle_internal_property),
    HM_PROPERTY("B", "second", VEXO_PROP_READONLY, VEXO_TYPE_STRING, 0, 255, "b", nullptr, handle_internal_property),
};

uint8_t adapter_bits[HM_BIT_FIELD_BYTES(16, 1)];
uint8_t target_bits[HM_BIT_FIELD_BYTES(256, 16)];
uint8_t nic_bits[HM_BIT_FIELD_BYTES(32, 16)];
uint8_t entry_bits[HM_BIT_FIELD_BYTES(1024, 16)];

const hm_group_type nic_type = {"NICPhysicalHBA", "NIC function", 32, 0, nullptr, nic_bits, sizeof nic_bits,
                                nic_rows, HM_ROW_COUNT(nic_rows)};
const hm_group_type entry_type = {"Entry", "log entry", 1024, 0, nullptr, entry_bits, sizeof entry_bits,
                                  entry_rows, HM_ROW_COUNT(entry_rows)};

} // namespace

const hm_group_type adapter_type = {"Arcwright", "adapter", 16, 0, nullptr, adapter_bits, sizeof adapter_bits,
                                    adapter_rows, HM_ROW_COUNT(adapter_rows)};
const hm_group_type target_type = {"Target", "target", 256, 0, nullptr, target_bits, sizeof target_bits,
                                   target_rows, HM_ROW_COUNT(target_rows)};

node *build_adapter(node *parent)
{
    return hm_build_group(&adapter_type, parent ? parent : get_node(0), nullptr, nullptr, nullptr);
}

node *build_target(node *adapter, node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return hm_build_group(&target_type, adapter, context, action, params);
}

node *build_nic(node *adapter)
{
    return hm_build_group(&nic_type, adapter, nullptr, nullptr, nullptr);
}

node *build_entry(node *adapter)
{
    return hm_build_group(&entry_type, adapter, nullptr, nullptr, nullptr);
}

node_tag_t tag_of(node_tag_t parent, const char *name, int type)
{
    node_tag_t tag = -1;
    char buf[VEXO_VALUE_SIZE];
    std::snprintf(buf, sizeof buf, "%s", name);
    if (VEXO_get_node_tag(parent, buf, &tag, type) != VEXO_STATUS_SUCCESS)
        return -1;
    return tag;
}

void absent_params(char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    std::memset(params, 0, VEXO_MAX_PARAMS * VEXO_VALUE_SIZE);
    for (int i = 0; i < VEXO_MAX_PARAMS; ++i)
        params[i][0] = static_cast<char>(VEXO_PARAM_ABSENT);
}

LastStatus last_status()
{
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[VEXO_LAST_STATUS_SIZE];
    VEXO_get_last_status(&code, text);
    return {code, text};
}

} // namespace vexotest
