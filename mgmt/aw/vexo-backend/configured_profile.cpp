#include "mgmt/aw/vexo-backend/configured_profile.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/profile_tree.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace
{

typedef char cprofile_props_t[VEXO_CPROF_FIELDS][VEXO_FIELD_SIZE];

// The groups between a configured function and its adapter, lowest first.
const char *const kChain[] = {"Function", "Port", "ConfiguredProfile", "ProfileManagement", "Arcwright"};
const int kAtFunction = 0;
const int kAtPort = 1;
const int kAtConfiguredProfile = 2;

// The adapter above `group`, which stands at kChain[level]; null when any
// group of the chain is missing or misnamed.
node *owning_adapter(node *group, int level)
{
    node *n = group;
    const int last = static_cast<int>(sizeof kChain / sizeof kChain[0]) - 1;
    for (int i = level; i <= last; ++i) {
        if (!n || n->node_type != VEXO_NODE_GROUP || !n->node_name || strcasecmp(n->node_name, kChain[i]) != 0)
            return nullptr;
        if (i == last)
            return n;
        n = n->parent;
    }
    return nullptr;
}

bool is_property(const node *p)
{
    return p && p->node_type == VEXO_NODE_PROPERTY && p->u.prop;
}

// What every handler here does first: checks the request, finds the adapter
// and, on the generations without profiles, answers `generation_text`. An
// unreadable generation fails the request when `need_family` is set.
// False when the handler is done and must answer *result.
bool begin(const char *who, node *property, char *value, int type, int level, const char *generation_text,
           bool need_family, node **adapter, VEXO_status_t *result)
{
    *result = VEXO_STATUS_FAILURE;
    if (!is_property(property) || !value)
        return false;
    if (type != 0 && type != 1) {
        *result = VEXO_STATUS_SUCCESS;
        return false;
    }
    *adapter = owning_adapter(property->parent, level);
    if (!*adapter) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get the adapter node.\n", who);
        return false;
    }
    int family = get_aw_type(*adapter);
    // Only the SR-IOV state needs the generation; the others fall back to
    // the file or their cached value.
    if (family == AW_TYPE_UNREADABLE && need_family) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get aw_type.\n", who);
        return false;
    }
    if (family == AW_TYPE_AW2 || family == AW_TYPE_AW3 || family == AW_TYPE_VARROW) {
        SET_CACHE_PROP_VAL(property, "%s", generation_text);
        answer_cached(property, value);
        *result = VEXO_STATUS_SUCCESS;
        return false;
    }
    return true;
}

// FunctionNumber of a configured Function into `number` (256 bytes).
bool function_number(node *function, char *number)
{
    number[0] = '\0';
    if (!function || internal_get_property(function, "FunctionNumber", number) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get FunctionNumber.\n", __func__);
        return false;
    }
    return true;
}

// Reads one field of the function's line into the property's cache; the
// cache stays as it was when there is no line.
void refresh_from_file(node *property, node *adapter, const char *number, int field)
{
    cprofile_props_t props;
    std::memset(props, 0, sizeof props);
    if (VEXO_get_config_prof_prop(adapter, number, props, 1) == 0)
        SET_CACHE_PROP_VAL(property, "%s", props[field]);
}

// Stages one field in the file. A failed write is a failed set: the caller
// leaves the cached value alone. No matching line is no failure.
bool stage(const char *who, node *adapter, const char *number, const char *value, int comp_flag, int field)
{
    if (!vexo_field_storable(value)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:a value with a comma or line break cannot be staged\n", who);
        vexo_set_fixed_status(VEXO_STATUS_INVALID_VALUE);
        return false;
    }
    if (VEXO_set_config_prof_prop(adapter, number, value, comp_flag, field) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to update the configured profile file.\n", who);
        vexo_set_fixed_status(VEXO_STATUS_FILE_WR_OP_NOT_SUPPORTED);
        return false;
    }
    return true;
}

VEXO_status_t store(node *property, const char *value)
{
    SET_CACHE_PROP_VAL(property, "%s", value);
    return VEXO_STATUS_SUCCESS;
}

} // namespace

extern "C" int VEXO_get_config_prof_prop(node *adapter, const char *fun_num, char (*cprofile_props)[VEXO_FIELD_SIZE],
                                         int comp_flag)
{
    char serial[VEXO_VALUE_SIZE], bus[VEXO_VALUE_SIZE];
    if (!cprofile_props || vexo_cprofile_key(adapter, serial, bus) != 0)
        return 1;
    return vexo_find_cprofile_line(serial, bus, fun_num, cprofile_props, comp_flag);
}

extern "C" int VEXO_set_config_prof_prop(node *adapter, const char *fun_num, const char *value, int comp_flag,
                                         int prop_num)
{
    char serial[VEXO_VALUE_SIZE], bus[VEXO_VALUE_SIZE];
    if (vexo_cprofile_key(adapter, serial, bus) != 0)
        return 1;
    return vexo_set_cprofile_field(serial, bus, fun_num, value, comp_flag, prop_num);
}

VEXO_status_t handle_ConfiguredProfile_ProfileId(node *property, char *value, int type)
{
    node *adapter = nullptr;
    VEXO_status_t result;
    if (!begin(__func__, property, value, type, kAtConfiguredProfile, "N/A", false, &adapter, &result))
        return result;
    if (type == 1) {
        // Every line of the adapter carries the profile id.
        if (!stage(__func__, adapter, nullptr, value, 0, VEXO_CPROF_PROFILE_ID))
            return VEXO_STATUS_FAILURE;
        return store(property, value);
    }
    if (vexo_on_vf(adapter)) {
        std::snprintf(value, VEXO_VALUE_SIZE, "N/A");
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    cprofile_props_t props;
    std::memset(props, 0, sizeof props);
    if (VEXO_get_config_prof_prop(adapter, nullptr, props, 0) == 0)
        SET_CACHE_PROP_VAL(property, "%s", props[VEXO_CPROF_PROFILE_ID]);
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_ConfiguredProfile_Port_MCType(node *property, char *value, int type)
{
    node *adapter = nullptr;
    VEXO_status_t result;
    if (!begin(__func__, property, value, type, kAtPort, "None", false, &adapter, &result))
        return result;
    node *port = property->parent;
    char number[VEXO_VALUE_SIZE];
    if (type == 0) {
        node *first = get_first_instance(port, "Function");
        if (!first || !function_number(first, number))
            return VEXO_STATUS_FAILURE;
        refresh_from_file(property, adapter, number, VEXO_CPROF_MC_TYPE);
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    if (strcasecmp(value, "HLFlex") == 0 || strcasecmp(value, "HLFlexQBG") == 0) {
        vexo_set_fixed_status(VEXO_STATUS_MCTYPES_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    if (strcasecmp(value, "None") != 0) {
        node *cm = internal_get_node(adapter, "ChannelManagement", VEXO_NODE_GROUP);
        char supported[VEXO_VALUE_SIZE] = "";
        if (!cm || internal_get_property(cm, "SupportedMCTypes", supported) != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get SupportedMCTypes.\n", __func__);
            return VEXO_STATUS_FAILURE;
        }
        // A whole entry of the list, so "ZMR" is not found inside "HLZMR".
        if (!vexo_internal_list_search(supported, value, 0)) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:%s is not one of %s.\n", __func__, value, supported);
            vexo_set_fixed_status(VEXO_STATUS_MCTYPES_NOT_SUPPORTED);
            return VEXO_STATUS_FAILURE;
        }
    }
    for (node *f = get_first_instance(port, "Function"); f; f = f->u.grp->multi_instance->next_instance) {
        if (!vexo_is_instance(f))
            break;
        if (!function_number(f, number) || !stage(__func__, adapter, number, value, 1, VEXO_CPROF_MC_TYPE))
            return VEXO_STATUS_FAILURE;
    }
    return store(property, value);
}

VEXO_status_t handle_ConfiguredProfile_Port_Function_Protocol(node *property, char *value, int type)
{
    node *adapter = nullptr;
    VEXO_status_t result;
    if (!begin(__func__, property, value, type, kAtFunction, "N/A", false, &adapter, &result))
        return result;
    node *function = property->parent;
    char number[VEXO_VALUE_SIZE];
    if (!function_number(function, number))
        return VEXO_STATUS_FAILURE;
    if (type == 0) {
        refresh_from_file(property, adapter, number, VEXO_CPROF_PROTOCOL);
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    // Function 0 cannot be switched off: None stands for its NIC.
    if (strcasecmp(number, "0x0") == 0 && strcasecmp(value, "None") == 0)
        std::snprintf(value, VEXO_VALUE_SIZE, "NIC");
    if (!stage(__func__, adapter, number, value, 1, VEXO_CPROF_PROTOCOL))
        return VEXO_STATUS_FAILURE;
    if (strcasecmp(value, "NIC+RoCE") == 0) {
        // RoCE needs profile 21; only the cached id changes, not the file.
        node *configured = function->parent ? function->parent->parent : nullptr;
        set_prop_val(configured, "ProfileId", "21");
    }
    return store(property, value);
}

VEXO_status_t handle_CProf_SRIOVState(node *property, char *value, int type)
{
    node *adapter = nullptr;
    VEXO_status_t result;
    if (!begin(__func__, property, value, type, kAtFunction, "N/A", true, &adapter, &result))
        return result;
    char number[VEXO_VALUE_SIZE];
    if (!function_number(property->parent, number))
        return VEXO_STATUS_FAILURE;
    if (type == 0) {
        refresh_from_file(property, adapter, number, VEXO_CPROF_SRIOV);
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    if (!stage(__func__, adapter, number, value, 1, VEXO_CPROF_SRIOV))
        return VEXO_STATUS_FAILURE;
    return store(property, value);
}
