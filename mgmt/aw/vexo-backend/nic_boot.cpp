#include "mgmt/aw/vexo-backend/nic_boot.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/function_attribs.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/profile_config.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_convert.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

namespace
{

const char kNotAvailable[] = "N/A";
const char kBootState[] = "NetworkBootState";
const char kBootMethod[] = "NetworkBootMethod";
const char kVlanId[] = "VLANId";
const char kVlanPriority[] = "VLANPriority";
const char kVepa[] = "VEPAState";

// Boot configuration codes.
const uint8_t BOOT_METHOD_PXE = 1;
const uint8_t BOOT_METHOD_IBFT = 2;

// OEM execution configuration: request word bits and field offsets.
const uint32_t OEM_CFG_SET = 0x80000000u;
const uint32_t OEM_CFG_VLV = 0x2u;
const size_t OEM_CFG_VLAN_ID = 12;
const size_t OEM_CFG_VLAN_PRIO = 14;
const size_t OEM_CFG_VLE = 15;
const uint8_t OEM_CFG_VLE_BIT = 0x80;
const unsigned VLAN_ID_MAX = 4095;
const unsigned VLAN_PRIO_MAX = 7;

// Hardware-switch configuration: request word 0 and the forwarding type.
const uint32_t HSW_PPORT = 0x80000000u;
const uint32_t HSW_PPORT_ID_MASK = 0xFFFFu;
const unsigned HSW_FWD_SHIFT = 6;
const uint32_t HSW_FWD_MASK = 0x7u;
const uint32_t HSW_FWD_VEPA = 3;
const uint32_t HSW_FWD_VEB = 2;
const size_t HSW_SET_CONFIG_WORD = 4;

bool named(const node *property, const char *name)
{
    return property && property->node_name && strcasecmp(property->node_name, name) == 0;
}

// A whole decimal number from 0 to `max`; false for anything else.
bool parse_bounded(const char *text, unsigned max, unsigned *out)
{
    if (!text || text[0] < '0' || text[0] > '9')
        return false;
    errno = 0;
    char *end = nullptr;
    unsigned long v = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || v > max)
        return false;
    *out = static_cast<unsigned>(v);
    return true;
}

// The FunctionNumber text of the function's PCI group into `text` (256
// bytes), logging which step failed.
bool function_number_text(node *function, char *text, const char *caller)
{
    node *pci = internal_get_node(function, "PCI", VEXO_NODE_GROUP);
    if (!pci) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get pci node\n", caller);
        return false;
    }
    text[0] = '\0';
    if (internal_get_property(pci, "FunctionNumber", text) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get function number\n", caller);
        return false;
    }
    return true;
}

// NetworkBootState of a function other than Varrow's: the boot state when
// the function's option ROM is enabled, else "N/A".
bool rom_boot_state(node *function, int family, const IOCTL_COMMON_GET_BOOT_CONFIG_PARAMS &boot, const char **text,
                    const char *caller)
{
    char fn_text[VEXO_VALUE_SIZE];
    if (!function_number_text(function, fn_text, caller))
        return false;
    errno = 0;
    char *end = nullptr;
    long fn = std::strtol(fn_text, &end, 0);
    if (end == fn_text || *end != '\0' || errno != 0 || fn < 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: pf_num is invalid\n", caller);
        return false;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:func_num = %d\n", caller, static_cast<int>(fn));
    IOCTL_COMMON_GET_PCI_FUNCTION_MAPPING_PARAMS map;
    std::memset(&map, 0, sizeof map);
    if (ioctl_get_pci_func_mapping(get_port_number(function), &map, get_domain_id(function),
                                   get_phba_port_number(function), VEXO_DRIVER_NIC) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_GET_BOOT_CONFIG);
        return false;
    }
    const uint32_t rom_bits = le32_at(map.data + 32);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:expansion_ROM_enabled = %d\n", caller, static_cast<int>(rom_bits));
    const uint32_t bit = static_cast<uint32_t>(fn) & ((family == AW_TYPE_AW2 || family == AW_TYPE_AW3) ? 7u : 255u);
    if ((ULShr(rom_bits, bit) & 1u) == 0) {
        *text = kNotAvailable;
        return true;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:boot_status = %d\n", caller, boot.response.boot_status);
    *text = boot.response.boot_status == 1 ? "Enabled" : "Disabled";
    return true;
}

// Function, domain and physical port of a function's commands, logged.
struct nic_target {
    int port;
    unsigned int domain;
    unsigned int phba_port;
};

nic_target target_of(node *function, const char *caller)
{
    nic_target t = {get_port_number(function), get_domain_id(function), get_phba_port_number(function)};
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:be_port_number = %d domainid = %d phba_port = %d\n", caller, t.port,
           t.domain, t.phba_port);
    return t;
}

} // namespace

VEXO_status_t handle_AvailableNetworkBootMethods(node *property, char *value, int)
{
    node *group = property ? property->parent : nullptr;
    node *function = group ? group->parent : nullptr;
    node *adapter = function ? function->parent : nullptr;
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    const int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    set_prop_val(group, "AvailableNetworkBootMethods", "%s", family == AW_TYPE_VARROW ? "PXE,iBFT" : "PXE");
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_networkboot_config(node *property, char *value, int)
{
    node *group = property ? property->parent : nullptr;
    node *function = group ? group->parent : nullptr;
    node *adapter = function ? function->parent : nullptr;
    if (function && !adapter)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Invalid AW Node.\n", __func__);
    if (!adapter || !value)
        return VEXO_STATUS_FAILURE;
    const int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(function)) {
        std::snprintf(value, VEXO_VALUE_SIZE, "%s", kNotAvailable);
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    IOCTL_COMMON_GET_BOOT_CONFIG_PARAMS boot;
    std::memset(&boot, 0, sizeof boot);
    if (ioctl_get_boot_config(get_port_number(function), &boot, get_domain_id(function),
                              get_phba_port_number(function), VEXO_DRIVER_NIC) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_GET_BOOT_CONFIG);
        return VEXO_STATUS_FAILURE;
    }
    const char *name;
    const char *text;
    if (named(property, kBootMethod)) {
        name = kBootMethod;
        text = boot.response.boot_method < BOOT_METHOD_IBFT ? "PXE" : "iBFT";
    } else if (named(property, kBootState)) {
        name = kBootState;
        if (family == AW_TYPE_VARROW)
            text = boot.response.boot_status == 1 ? "Enabled" : "Disabled";
        else if (!rom_boot_state(function, family, boot, &text, __func__))
            return VEXO_STATUS_FAILURE;
    } else {
        return VEXO_STATUS_FAILURE;
    }
    set_prop_val(group, name, "%s", text);
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_SetNetworkBoot(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *function = context ? context->parent : nullptr;
    node *adapter = function ? function->parent : nullptr;
    if (!adapter || !params)
        return VEXO_STATUS_FAILURE;
    const int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNKNOWN)
        return VEXO_STATUS_FAILURE;
    const char *state = params[0];
    const char *method = params[1];
    const bool enable = strcasecmp(state, "Enabled") == 0;
    if (enable && method[0] == '\0') {
        vexo_set_fixed_status(VEXO_STATUS_NTWK_BOOT_METHOD_NEEDED);
        return VEXO_STATUS_FAILURE;
    }
    if (enable && strcasecmp(method, "iBFT") == 0 && family != AW_TYPE_VARROW) {
        vexo_set_fixed_status(VEXO_STATUS_NTWK_BOOT_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    // A function whose state cannot be read is not written either.
    char current[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(context, kBootState, current) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    if (strcasecmp(current, kNotAvailable) == 0) {
        vexo_set_fixed_status(VEXO_STATUS_NTWK_BOOT_NOT_SUPPORTED_ON_FUNC);
        return VEXO_STATUS_FAILURE;
    }
    const int port = get_port_number(function);
    const unsigned int domain = get_domain_id(function);
    const unsigned int phba_port = get_phba_port_number(function);
    IOCTL_COMMON_GET_BOOT_CONFIG_PARAMS boot;
    std::memset(&boot, 0, sizeof boot);
    if (ioctl_get_boot_config(port, &boot, domain, phba_port, VEXO_DRIVER_NIC) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_GET_BOOT_CONFIG);
        return VEXO_STATUS_FAILURE;
    }
    IOCTL_COMMON_SET_BOOT_CONFIG_PARAMS set;
    static_assert(sizeof set == sizeof boot, "boot configuration records");
    std::memcpy(&set, &boot, sizeof set);
    if (enable) {
        set.request.boot_status = 1;
        set.request.boot_method = strcasecmp(method, "PXE") == 0 ? BOOT_METHOD_PXE : BOOT_METHOD_IBFT;
    } else {
        set.request.boot_status = 0;
        set.request.boot_method = 0;
    }
    if (ioctl_set_boot_config(port, &set, domain, phba_port, VEXO_DRIVER_NIC) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_SET_BOOT_CONFIG);
        return VEXO_STATUS_FAILURE;
    }
    set_prop_val(context, kBootState, "%s", state);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_vlan_properties(node *property, char *value, int)
{
    node *group = property ? property->parent : nullptr;
    node *function = group ? group->parent : nullptr;
    if (value && function && vexo_on_vf(function))
        std::snprintf(value, VEXO_VALUE_SIZE, "%s", kNotAvailable);
    node *adapter = function ? function->parent : nullptr;
    if (!adapter || !value)
        return VEXO_STATUS_FAILURE;
    const int family = get_aw_type(adapter);
    if (family == AW_TYPE_AW2)
        return VEXO_STATUS_SUCCESS;
    const nic_target t = target_of(function, __func__);
    OEM_EXEC_CFG_CMD_PARAMS cfg;
    std::memset(&cfg, 0, sizeof cfg);
    VEXO_status_t st = ioctl_get_oem_exec_cfg(t.port, &cfg, t.domain, t.phba_port);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_oem_exec_cfg failed with status = %d\n", __func__, st);
        return VEXO_STATUS_FAILURE;
    }
    const unsigned vlan_id = cfg.data[OEM_CFG_VLAN_ID] | cfg.data[OEM_CFG_VLAN_ID + 1] << 8;
    const unsigned prio = cfg.data[OEM_CFG_VLAN_PRIO];
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:VLANId = %d,VLANPriority = %d\n", __func__, static_cast<int>(vlan_id),
           static_cast<int>(prio));
    const int stored = set_prop_val(group, kVlanId, "%u", vlan_id) | set_prop_val(group, kVlanPriority, "%u", prio);
    answer_cached(property, value);
    return static_cast<VEXO_status_t>(stored);
}

VEXO_status_t do_NICPhysicalHBA_NetworkBootConfiguration_ConfigureVLAN(node *context, node *action,
                                                                       char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!context || !action || !params)
        return VEXO_STATUS_FAILURE;
    node *group = action->parent;
    node *function = group ? group->parent : nullptr;
    node *adapter = function ? function->parent : nullptr;
    if (vexo_on_vf(function ? function : context)) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    if (get_aw_type(adapter) == AW_TYPE_AW2) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    const nic_target t = target_of(function, __func__);
    const char *priority = params[1];
    if (priority[0] == '\0') {
        node *cached = internal_get_node(group, kVlanPriority, VEXO_NODE_PROPERTY);
        if (!cached || cached->node_type != VEXO_NODE_PROPERTY || !cached->u.prop)
            return VEXO_STATUS_FAILURE;
        priority = cached->u.prop->val;
    }
    // The cached priority may hold "N/A" or a firmware value beyond the
    // field: such a value is refused rather than written as some number.
    unsigned vlan_id = 0, prio = 0;
    if (!parse_bounded(params[0], VLAN_ID_MAX, &vlan_id) || !parse_bounded(priority, VLAN_PRIO_MAX, &prio)) {
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_SET_VLAN);
        return VEXO_STATUS_FAILURE;
    }
    OEM_EXEC_CFG_CMD_PARAMS cfg;
    std::memset(&cfg, 0, sizeof cfg);
    put_le32(cfg.data, OEM_CFG_SET | OEM_CFG_VLV);
    cfg.data[OEM_CFG_VLAN_ID] = static_cast<uint8_t>(vlan_id);
    cfg.data[OEM_CFG_VLAN_ID + 1] = static_cast<uint8_t>(vlan_id >> 8);
    cfg.data[OEM_CFG_VLAN_PRIO] = static_cast<uint8_t>(prio);
    cfg.data[OEM_CFG_VLE] = OEM_CFG_VLE_BIT;
    if (ioctl_set_oem_exec_cfg(t.port, &cfg, t.domain, t.phba_port) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_SET_VLAN);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_VEPAState(node *property, char *value, int type)
{
    node *function = property ? property->parent : nullptr;
    if (!function || !value)
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(function)) {
        std::snprintf(value, VEXO_VALUE_SIZE, "%s", kNotAvailable);
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    node *adapter = function->parent;
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    const int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_AW2 || family == AW_TYPE_AW3 || family == AW_TYPE_VARROW) {
        if (type == 1) {
            vexo_set_fixed_status(VEXO_STATUS_VEPA_NOT_SUPPORTED);
            return VEXO_STATUS_FAILURE;
        }
        set_prop_val(function, kVepa, "%s", kNotAvailable);
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    const int port = get_port_number(function);
    const unsigned int domain = get_domain_id(function);
    const unsigned int phba_port = get_phba_port_number(function);
    const uint32_t word0 = (phba_port & HSW_PPORT_ID_MASK) | HSW_PPORT;
    if (type != 1) {
        GET_HSW_CONFIG_PARAMS hsw;
        std::memset(&hsw, 0, sizeof hsw);
        put_le32(hsw.data, word0);
        VEXO_status_t st = ioctl_get_hsw_config(port, &hsw, domain, phba_port);
        if (st == VEXO_STATUS_NOT_SUPPORTED) {
            set_prop_val(function, kVepa, "%s", kNotAvailable);
            answer_cached(property, value);
            return VEXO_STATUS_FAILURE;
        }
        if (st != VEXO_STATUS_SUCCESS)
            return VEXO_STATUS_FAILURE;
        const uint32_t fwd = (le32_at(hsw.data) >> HSW_FWD_SHIFT) & HSW_FWD_MASK;
        set_prop_val(function, kVepa, "%s", fwd == HSW_FWD_VEPA ? "Enabled" : "Disabled");
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    char text[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(function, "SRIOVState", text) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    if (strcasecmp(text, "Enabled") != 0) {
        vexo_set_fixed_status(VEXO_STATUS_VEPA_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    text[0] = '\0';
    if (internal_get_property(function, kVepa, text) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    if (strcasecmp(text, value) == 0)
        return VEXO_STATUS_SUCCESS;
    SET_HSW_CONFIG_PARAMS hsw;
    std::memset(&hsw, 0, sizeof hsw);
    put_le32(hsw.data, word0);
    const uint32_t fwd = strcasecmp(value, "Enabled") == 0 ? HSW_FWD_VEPA : HSW_FWD_VEB;
    put_le32(hsw.data + HSW_SET_CONFIG_WORD, fwd << HSW_FWD_SHIFT);
    return ioctl_set_hsw_config(port, &hsw, domain, phba_port);
}

VEXO_status_t handle_IsRoCEEnabled(node *property, char *value, int)
{
    node *function = property ? property->parent : nullptr;
    if (value && function && vexo_on_vf(function))
        std::snprintf(value, VEXO_VALUE_SIZE, "%s", kNotAvailable);
    node *adapter = function ? function->parent : nullptr;
    if (!adapter || !value)
        return VEXO_STATUS_FAILURE;
    const int family = get_aw_type(adapter);
    // An adapter whose family cannot be read gets no profile command.
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_AW2 || family == AW_TYPE_AW3 || family == AW_TYPE_VARROW) {
        set_prop_val(function, "IsRoCEEnabled", "%s", kNotAvailable);
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    set_prop_val(function, "IsRoCEEnabled", "False");
    char fn_text[VEXO_VALUE_SIZE];
    if (!function_number_text(function, fn_text, __func__))
        return VEXO_STATUS_FAILURE;
    GET_PROFILE_CONFIG_PARAMS *profile = static_cast<GET_PROFILE_CONFIG_PARAMS *>(vexo_dmalloc(sizeof *profile));
    if (!profile) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return VEXO_STATUS_FAILURE;
    }
    std::memset(profile, 0, sizeof *profile);
    profile->word0 = static_cast<uint32_t>(PROFILE_CONFIG_ACTIVE) << 8; // profile 0, no census
    if (ioctl_get_profile_config(get_port_number(function), profile, VEXO_PROFILE_CONFIG_SIZE, get_domain_id(function),
                                 get_phba_port_number(function), VEXO_DRIVER_NIC) != VEXO_STATUS_SUCCESS) {
        vexo_dfree(profile);
        vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    char *end = nullptr;
    errno = 0;
    const unsigned long pf = std::strtoul(fn_text, &end, 16);
    const bool pf_valid = end != fn_text && *end == '\0' && errno == 0;
    profile_walk w;
    profile_walk_start(&w, profile, VEXO_PROFILE_CONFIG_SIZE);
    for (const uint8_t *d = profile_walk_next(&w); d && pf_valid; d = profile_walk_next(&w)) {
        if (resc_desc_type(d) == RESC_DESC_RDMA && resc_desc_pf_number(d) == pf) {
            set_prop_val(function, "IsRoCEEnabled", "True");
            break;
        }
    }
    vexo_dfree(profile);
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_nic_MTUSize(node *property, char *value, int)
{
    node *function = property ? property->parent : nullptr;
    if (!function || !value)
        return VEXO_STATUS_FAILURE;
    if (VEXO_get_nic_mtusize(function, get_port_number(function)) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "Failed to get th MTUSize for this nic interface\n");
        return VEXO_STATUS_FAILURE;
    }
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}
