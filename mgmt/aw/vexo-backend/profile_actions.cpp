#include "mgmt/aw/vexo-backend/profile_actions.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/mac_addresses.h"
#include "mgmt/aw/vexo-backend/profile_config.h"
#include "mgmt/aw/vexo-backend/profile_tree.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace {

const char kInvalidValue[] = "Invalid Value.";
// The flash region SetFactoryDefaults erases on the OEM's adapters.
const uint32_t kFcoeWwnRegion = 27;

bool without_profiles(int family)
{
    return family == AW_TYPE_AW2 || family == AW_TYPE_AW3 || family == AW_TYPE_VARROW;
}

// Where an adapter-level command goes: the port of the adapter's carrying
// function, with the domain and physical port of the node that asks.
struct carrier {
    int port;
    unsigned int domain;
    unsigned int phba_port;
    int chip; // the adapter's instance number
};

bool get_carrier(node *adapter, node *asking, carrier *c)
{
    node *f = target_function(adapter);
    if (!f) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Adapter has no physical function.\n", __func__);
        return false;
    }
    c->port = get_port_number(f);
    c->domain = get_domain_id(asking);
    c->phba_port = get_phba_port_number(asking);
    c->chip = instance_number(adapter);
    return true;
}

// A whole decimal number of 0 to 255 (the firmware's 8-bit id fields);
// false for anything else.
bool id_number(const char *text, uint32_t *out)
{
    if (!text || !*text)
        return false;
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < 0 || v > static_cast<long>(0xFF))
        return false;
    *out = static_cast<uint32_t>(v);
    return true;
}

// The configured ports follow the firmware's new configured state.
bool rebuild_configured(node *adapter, node *configured)
{
    if (purge_nodes_within(configured, "Port") != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to delete the configured ports.\n", __func__);
        return false;
    }
    if (VEXO_get_configured_profiles(adapter) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to rebuild the configured profile.\n", __func__);
        return false;
    }
    return true;
}

VEXO_status_t send_active_profile(node *adapter, node *action_node, uint32_t word)
{
    carrier c;
    if (!get_carrier(adapter, action_node, &c))
        return VEXO_STATUS_FAILURE;
    SET_ACTIVE_PROFILE_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    put_le32(rec.data, word);
    VEXO_status_t status = ioctl_set_active_profile(c.port, &rec, c.domain, c.phba_port, c.chip);
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_set_active_profile failed with status = %d\n", __func__,
               status);
        vexo_set_fixed_status(VEXO_STATUS_SET_ACTIVE_PROFILE);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

// Both link actions: `id` is the LinkConfigID text, null for the factory
// configuration.
VEXO_status_t set_link(node *context, node *action_node, const char *id)
{
    node *adapter = context ? context->parent : nullptr;
    if (!adapter || !action_node)
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(context)) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    if (without_profiles(get_aw_type(adapter))) {
        vexo_set_fixed_status(VEXO_STATUS_SET_FACTORY_LINK_CFG_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    carrier c;
    if (!get_carrier(adapter, action_node, &c))
        return VEXO_STATUS_FAILURE;
    uint32_t word = PROFILE_FACTORY_DEFAULT;
    if (id && !id_number(id, &word)) {
        vexo_set_last_status(VEXO_STATUS_INVALID_VALUE, kInvalidValue);
        return VEXO_STATUS_FAILURE;
    }
    SET_RECONFIG_LINK_ID_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    put_le32(rec.data, word);
    VEXO_status_t status = ioctl_set_link_reconfig(c.port, &rec, c.domain, c.phba_port, c.chip);
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_set_link_reconfig failed with status = %d\n", __func__,
               status);
        vexo_set_fixed_status(VEXO_STATUS_SET_LINK_RECONFIG);
        return VEXO_STATUS_FAILURE;
    }
    node *management = internal_get_node(adapter, "ProfileManagement", VEXO_NODE_GROUP);
    node *configured = management ? internal_get_node(management, "ConfiguredProfile", VEXO_NODE_GROUP) : nullptr;
    if (!configured || !rebuild_configured(adapter, configured))
        return VEXO_STATUS_FAILURE;
    return VEXO_STATUS_SUCCESS;
}

enum ari_field { ARI_IPL_MAX, ARI_SETTABLE, ARI_NEXT_MAX };

// The ARI properties: each reads the settings afresh and keeps its own part.
VEXO_status_t handle_ari(node *property, char *value, ari_field field)
{
    if (!property || property->node_type != VEXO_NODE_PROPERTY || !property->u.prop)
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(property)) {
        if (value)
            std::snprintf(value, VEXO_VALUE_SIZE, "N/A");
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    node *configured = property->parent;
    node *management = configured ? configured->parent : nullptr;
    node *adapter = management ? management->parent : nullptr;
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    node *group = property->parent;
    const char *name = property->node_name;
    if (without_profiles(family)) {
        set_prop_val(group, name, "N/A");
    } else {
        carrier c;
        if (!get_carrier(adapter, property, &c))
            return VEXO_STATUS_FAILURE;
        GET_ARI_SETTINGS_PARAMS rec;
        std::memset(&rec, 0, sizeof rec);
        VEXO_status_t status = ioctl_get_ari_settings(c.port, &rec, c.domain, c.phba_port, get_the_protocol(c.chip));
        if (status == VEXO_STATUS_INVALID_OPCODE) {
            // Firmware without ARI settings.
            set_prop_val(group, name, "N/A");
        } else if (status != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_ari_settings failed with status = %d\n", __func__,
                   status);
            vexo_set_fixed_status(VEXO_STATUS_GET_ARI_FAILED);
            return VEXO_STATUS_FAILURE;
        } else {
            uint32_t word = le32_at(rec.data);
            switch (field) {
            case ARI_IPL_MAX:
                set_prop_val(group, name, "%d", static_cast<int>((word >> ARI_MAX_PF_SHIFT) & 0xFF));
                break;
            case ARI_SETTABLE:
                set_prop_val(group, name, "%s", (word & ARI_CARI) ? "Yes" : "No");
                break;
            case ARI_NEXT_MAX:
                set_prop_val(group, name, "%d", static_cast<int>(word & 0xFF));
                break;
            }
        }
    }
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

} // namespace

VEXO_status_t do_SetProfileId(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *adapter = context ? context->parent : nullptr;
    if (!adapter || !action_node || !params)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE || without_profiles(family))
        return VEXO_STATUS_FAILURE;
    // A virtual function changes nothing of the adapter, as every other
    // action here.
    if (vexo_on_vf(context)) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    node *configured = internal_get_node(context, "ConfiguredProfile", VEXO_NODE_GROUP);
    if (!target_function(adapter) || !configured)
        return VEXO_STATUS_FAILURE;
    // The firmware's field holds 8 bits: 256 would reach it as 0.
    uint32_t id = 0;
    if (!id_number(params[0], &id)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ProfileId %.16s does not fit the request.\n", __func__,
               params[0]);
        vexo_set_last_status(VEXO_STATUS_INVALID_VALUE, kInvalidValue);
        return VEXO_STATUS_FAILURE;
    }
    if (send_active_profile(adapter, action_node, id) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    if (!rebuild_configured(adapter, configured))
        return VEXO_STATUS_FAILURE;
    vexo_set_fixed_status(VEXO_STATUS_ACTIVE_PROFILE_REBOOT);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_SetFactoryDefaults(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    (void)params; // none
    node *adapter = context ? context->parent : nullptr;
    if (!adapter || !action_node)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (without_profiles(family))
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(context)) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    if (!target_function(adapter))
        return VEXO_STATUS_FAILURE;
    if (family != AW_TYPE_TRELMONT) {
        vexo_set_fixed_status(VEXO_STATUS_SET_FACT_PRO_CFG_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    if (send_active_profile(adapter, action_node, PROFILE_FACTORY_DEFAULT) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    node *configured = internal_get_node(context, "ConfiguredProfile", VEXO_NODE_GROUP);
    if (!configured || !rebuild_configured(adapter, configured))
        return VEXO_STATUS_FAILURE;
    if (VEXO_DetermineIfDellSystem(adapter) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_SUCCESS;

    int rc = VEXO_reset_virt_mac(adapter, 0);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:VEXO_reset_virt_mac status = %d\n", __func__, rc);
    carrier c;
    if (!get_carrier(adapter, action_node, &c))
        return VEXO_STATUS_FAILURE;
    FLASHROM_PARAMS erase;
    std::memset(&erase, 0, sizeof erase);
    erase.op_code = FLASHROM_OPER_ERASE;
    erase.op_type = kFcoeWwnRegion;
    VEXO_status_t status = ioctl_erase_ROM(c.port, &erase, c.domain, c.phba_port, get_the_protocol(c.chip));
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:status = %d\n", __func__, status);
    if (status != VEXO_STATUS_SUCCESS) {
        // The factory profile is already chosen; the caller still learns
        // that the WWN region was left as it was.
        vexo_set_fixed_status(status);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_SetLinkConfigID(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!params)
        return VEXO_STATUS_FAILURE;
    return set_link(context, action_node, params[0]);
}

VEXO_status_t do_SetLinkConfigFactoryDefaults(node *context, node *action_node,
                                              char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    (void)params; // none
    return set_link(context, action_node, nullptr);
}

VEXO_status_t handle_ConfiguredLinkConfigID(node *property, char *value, int type)
{
    (void)type; // read only
    if (!property || property->node_type != VEXO_NODE_PROPERTY || !property->u.prop)
        return VEXO_STATUS_FAILURE;
    node *group = property->parent;
    node *adapter = group ? group->parent : nullptr;
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    if (without_profiles(get_aw_type(adapter)))
        set_prop_val(group, property->node_name, "N/A");
    else if (VEXO_get_link_reconfig_details(adapter, 1) != 0)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_SetMaxFunctionNumber(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!context || !action_node || !params)
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(context)) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    node *management = context->parent;
    node *adapter = management ? management->parent : nullptr;
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    if (without_profiles(get_aw_type(adapter)))
        return VEXO_STATUS_FAILURE;
    // The value last read, not a fresh one: never read, it is still "No".
    node *settable = internal_get_node(context, "SettableMaxFunctionNumber", VEXO_NODE_PROPERTY);
    if (!settable || !settable->u.prop)
        return VEXO_STATUS_FAILURE;
    if (strcasecmp(settable->u.prop->val, "No") == 0) {
        vexo_set_fixed_status(VEXO_STATUS_SET_ARI_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    uint32_t word = PROFILE_FACTORY_DEFAULT;
    if (params[0][0] != '\0') {
        uint32_t n = 0;
        if (!id_number(params[0], &n) || (n != 7 && n != 15)) {
            vexo_set_last_status(VEXO_STATUS_INVALID_VALUE, kInvalidValue);
            return VEXO_STATUS_FAILURE;
        }
        word = n;
    }
    carrier c;
    if (!get_carrier(adapter, action_node, &c))
        return VEXO_STATUS_FAILURE;
    SET_ARI_SETTINGS rec;
    std::memset(&rec, 0, sizeof rec);
    put_le32(rec.data, word);
    VEXO_status_t status = ioctl_set_ari_settings(c.port, &rec, c.domain, c.phba_port, get_the_protocol(c.chip));
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_set_ari_settings failed with status = %d\n", __func__,
               status);
        vexo_set_fixed_status(VEXO_STATUS_GET_ARI_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    if (!rebuild_configured(adapter, context))
        return VEXO_STATUS_FAILURE;
    vexo_set_fixed_status(VEXO_STATUS_ACTIVE_PROFILE_REBOOT);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_IPLMaxFunctionNumber(node *property, char *value, int type)
{
    (void)type; // read only
    return handle_ari(property, value, ARI_IPL_MAX);
}

VEXO_status_t handle_SettableMaxFunctionNumber(node *property, char *value, int type)
{
    (void)type; // read only
    return handle_ari(property, value, ARI_SETTABLE);
}

VEXO_status_t handle_MaxFunctionNumber(node *property, char *value, int type)
{
    (void)type; // read only
    return handle_ari(property, value, ARI_NEXT_MAX);
}
