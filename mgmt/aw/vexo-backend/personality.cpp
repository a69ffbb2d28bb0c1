#include "mgmt/aw/vexo-backend/personality.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/aw_config_resources.h"
#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/function_enum.h"
#include "mgmt/aw/vexo-backend/profile_config.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"

namespace
{

// Request of the profile write: the head and room for 257 descriptors.
const size_t kSetPersonalitySize = 22624;
// Payload of the configured-personality read.
const uint16_t kConfiguredPersonalityRequest = 8;
// Physical functions whose records tell the legacy personality.
const uint8_t kLegacyPfA = 2;
const uint8_t kLegacyPfB = 3;

uint8_t *zeroed(size_t size)
{
    uint8_t *buf = static_cast<uint8_t *>(vexo_dmalloc(size));
    if (buf)
        std::memset(buf, 0, size);
    return buf;
}

// pf_type of the profile configuration for a personality text; 0 for none.
uint8_t profile_pf_type(const char *personality)
{
    if (strcasecmp(personality, "NIC") == 0)
        return PROFILE_PF_NIC;
    if (strcasecmp(personality, "iSCSI") == 0)
        return PROFILE_PF_ISCSI;
    if (strcasecmp(personality, "FCoE") == 0)
        return PROFILE_PF_FCOE;
    return 0;
}

const char *profile_type_text(int pf_type)
{
    switch (pf_type) {
    case PROFILE_PF_NIC:
        return "NIC";
    case PROFILE_PF_ISCSI:
        return "iSCSI";
    case PROFILE_PF_FCOE:
        return "FCoE";
    default:
        return "Illegal";
    }
}

// The PCIe part (record byte 4 on) of legacy record `i`, version 0 or 1.
const uint8_t *legacy_pcie(const uint8_t *records, size_t record_size, uint32_t i)
{
    return records + 4 + i * record_size + 4;
}

// CurrentPersonality from the V1 legacy record of an AW2 or AW3 adapter.
VEXO_status_t legacy_aw_personality(int aw_port_number, unsigned int domain, unsigned int phba_port, node *adapter,
                                    node *personality)
{
    GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1 *conf =
        reinterpret_cast<GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1 *>(zeroed(AW_CONFIG_RESOURCES_V1_SIZE));
    if (!conf) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return VEXO_STATUS_FAILURE;
    }
    VEXO_status_t status = ioctl_get_aw_conf_V1(aw_port_number, conf, AW_CONFIG_RESOURCES_V1_SIZE, domain, phba_port,
                                                adapter_driver(adapter));
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_aw_conf_V1 failed with status = %d\n", __func__,
               status);
        vexo_dfree(conf);
        vexo_set_fixed_status(VEXO_STATUS_GET_AW_CONF_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    // The buffer holds 16 records whatever the count says.
    uint32_t count = conf->resource_descriptor_count;
    if (count > AW_RESOURCES_MAX)
        count = AW_RESOURCES_MAX;
    const uint8_t *records = reinterpret_cast<const uint8_t *>(conf);
    uint32_t index_a = 0, index_b = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (conf->resources[i].resource_type != AW_RESOURCE_TYPE_PCIE)
            continue;
        uint8_t pf = legacy_pcie(records, sizeof(AW_RESOURCES_V1), i)[0];
        if (pf == kLegacyPfA)
            index_a = i;
        else if (pf == kLegacyPfB)
            index_b = i;
    }
    const uint8_t *a = legacy_pcie(records, sizeof(AW_RESOURCES_V1), index_a);
    const uint8_t *b = legacy_pcie(records, sizeof(AW_RESOURCES_V1), index_b);
    uint8_t pf_state = a[1], pf_type = a[2];
    bool same = pf_state == b[1] && pf_type == b[2];
    vexo_dfree(conf);
    const char *text = "Illegal";
    if (!same)
        text = "Unknown";
    else if (pf_type == AW_PF_TYPE_ISCSI && pf_state == 0)
        text = "iSCSI";
    else if (pf_type == AW_PF_TYPE_FCOE && pf_state == 0)
        text = "FCoE";
    else if (pf_type == AW_PF_TYPE_NIC || pf_state == 1)
        text = "NIC";
    return set_prop_val(personality, "CurrentPersonality", "%s", text) != VEXO_STATUS_SUCCESS ? VEXO_STATUS_FAILURE
                                                                                               : VEXO_STATUS_SUCCESS;
}

// CurrentPersonality from the common profile configuration of a Varrow
// adapter.
VEXO_status_t legacy_varrow_personality(int aw_port_number, unsigned int domain, unsigned int phba_port,
                                        node *adapter, node *personality)
{
    GET_COMMON_PROFILE_CONFIG_PARAMS *conf =
        reinterpret_cast<GET_COMMON_PROFILE_CONFIG_PARAMS *>(zeroed(COMMON_PROFILE_CONFIG_SIZE));
    if (!conf) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return VEXO_STATUS_FAILURE;
    }
    conf->resource_descriptor_count = static_cast<uint32_t>(PROFILE_CONFIG_ACTIVE) << 8;
    VEXO_status_t status = ioctl_get_common_profile_config(aw_port_number, conf, COMMON_PROFILE_CONFIG_SIZE, domain,
                                                           phba_port, instance_number(adapter));
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_common_profile_config failed with status = %d\n",
               __func__, status);
        vexo_dfree(conf);
        vexo_set_fixed_status(VEXO_STATUS_GET_AW_CONF_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    uint32_t count = conf->resource_descriptor_count;
    if (count > COMMON_PROFILE_COUNT_LIMIT) {
        vexo_dfree(conf);
        return set_prop_val(personality, "CurrentPersonality", "N/A") != VEXO_STATUS_SUCCESS ? VEXO_STATUS_FAILURE
                                                                                              : VEXO_STATUS_SUCCESS;
    }
    // A count up to the limit reads only the records the buffer holds.
    if (count > COMMON_PROFILE_MAX_RECORDS)
        count = COMMON_PROFILE_MAX_RECORDS;
    uint32_t index_a = 0, index_b = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t *r = conf->records[i];
        if (r[0] != COMMON_DESC_PCIE)
            continue;
        uint32_t pf = resc_desc_pf_number(r);
        if (pf == kLegacyPfA)
            index_a = i;
        else if (pf == kLegacyPfB)
            index_b = i;
    }
    const uint8_t *a = conf->records[index_a];
    const uint8_t *b = conf->records[index_b];
    uint8_t pf_state = a[13], pf_type = a[14];
    bool same = pf_state == b[13] && pf_type == b[14];
    vexo_dfree(conf);
    if (!same) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO,
               "%s: The function type for physical function number 2 and 3 are not same.\n", __func__);
        return set_prop_val(personality, "CurrentPersonality", "Unknown");
    }
    const char *text = "Illegal";
    if (pf_type == PROFILE_PF_FCOE && pf_state == 1)
        text = "FCoE";
    else if (pf_type == PROFILE_PF_NIC || pf_state == 0)
        text = "NIC";
    return set_prop_val(personality, "CurrentPersonality", "%s", text) != VEXO_STATUS_SUCCESS ? VEXO_STATUS_FAILURE
                                                                                               : VEXO_STATUS_SUCCESS;
}

} // namespace

extern "C" VEXO_status_t VEXO_get_storage_functions(int aw_port_number, unsigned int domain, unsigned int phba_port,
                                                    node *adapter, int *storage_fun_cnt, int *storage_f,
                                                    int *storage_fun_type, uint8_t type)
{
    if (!adapter || !storage_fun_cnt || !storage_f || !storage_fun_type)
        return VEXO_STATUS_FAILURE;
    GET_PROFILE_CONFIG_PARAMS *conf = reinterpret_cast<GET_PROFILE_CONFIG_PARAMS *>(zeroed(VEXO_PROFILE_CONFIG_SIZE));
    if (!conf) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return VEXO_STATUS_FAILURE;
    }
    conf->word0 = static_cast<uint32_t>(PROFILE_CONFIG_ACTIVE) << 8; // profile 0, no census
    VEXO_status_t status = ioctl_get_profile_config(aw_port_number, conf, VEXO_PROFILE_CONFIG_SIZE, domain, phba_port,
                                                    adapter_driver(adapter));
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_profile_config failed with status = %d\n", __func__,
               status);
        vexo_dfree(conf);
        return status == VEXO_STATUS_INVALID_OPCODE ? VEXO_STATUS_INVALID_OPCODE : VEXO_STATUS_TRY_PROFILE_V0;
    }
    if (conf->resources[0] < RESC_DESC_PCIE) {
        vexo_dfree(conf);
        return VEXO_STATUS_TRY_PROFILE_V0;
    }
    int count = 0;
    bool overflow = false;
    profile_walk w;
    profile_walk_start(&w, conf, VEXO_PROFILE_CONFIG_SIZE);
    for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w)) {
        if (resc_desc_type(d) != RESC_DESC_PCIE || resc_desc_length(d) < sizeof(SLI4_RESC_DESC_PCIE))
            continue;
        const SLI4_RESC_DESC_PCIE *pcie = reinterpret_cast<const SLI4_RESC_DESC_PCIE *>(d);
        if (!(pcie->roles_word & (PROFILE_ROLE_ISCSI | PROFILE_ROLE_FCOE)))
            continue;
        bool counted = type == STORAGE_LIST_ALL || pcie->pf_state;
        if (count == VEXO_STORAGE_FUNCTIONS_MAX) {
            overflow = overflow || counted;
            continue;
        }
        storage_f[count] = static_cast<int>(resc_desc_pf_number(d));
        storage_fun_type[count] = pcie->pf_state ? pcie->pf_type : PROFILE_PF_NIC;
        // Read mode keeps only enabled functions: a disabled one's entry is
        // taken by the next.
        if (counted)
            ++count;
    }
    vexo_dfree(conf);
    if (overflow)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_WARNING, "%s: more than %d storage functions; the further ones are not listed\n",
               __func__, VEXO_STORAGE_FUNCTIONS_MAX);
    if (w.malformed)
        // A list cut short may have lost the function that decides.
        return VEXO_STATUS_TRY_PROFILE_V0;
    *storage_fun_cnt = count;
    return VEXO_STATUS_SUCCESS;
}

extern "C" VEXO_status_t VEXO_get_adapter_current_personality(int aw_port_number, unsigned int domain,
                                                              unsigned int phba_port, node *adapter,
                                                              node *personality)
{
    if (!adapter || !personality)
        return VEXO_STATUS_FAILURE;
    int count = 0;
    int functions[VEXO_STORAGE_FUNCTIONS_MAX] = {};
    int types[VEXO_STORAGE_FUNCTIONS_MAX] = {};
    VEXO_status_t status = VEXO_get_storage_functions(aw_port_number, domain, phba_port, adapter, &count, functions,
                                                      types, STORAGE_LIST_ENABLED);
    if (status != VEXO_STATUS_SUCCESS)
        return status;
    const char *text = "NIC";
    // The last listed storage function decides.
    for (int i = 0; i < count; ++i) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s: function 0x%x type %d\n", __func__,
               static_cast<unsigned>(functions[i]), types[i]);
        text = profile_type_text(types[i]);
    }
    return set_prop_val(personality, "CurrentPersonality", "%s", text) != VEXO_STATUS_SUCCESS ? VEXO_STATUS_FAILURE
                                                                                               : VEXO_STATUS_SUCCESS;
}

extern "C" VEXO_status_t VEXO_get_legacy_adapter_current_personality(int aw_port_number, unsigned int domain,
                                                                     unsigned int phba_port, node *adapter,
                                                                     node *personality)
{
    if (!adapter || !personality)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNKNOWN || family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_AW2 || family == AW_TYPE_AW3)
        return legacy_aw_personality(aw_port_number, domain, phba_port, adapter, personality);
    if (family == AW_TYPE_VARROW)
        return legacy_varrow_personality(aw_port_number, domain, phba_port, adapter, personality);
    return VEXO_STATUS_SUCCESS;
}

extern "C" VEXO_status_t VEXO_set_adapter_personality(int aw_port_number, unsigned int domain, unsigned int phba_port,
                                                      node *adapter, const char *personality)
{
    if (!adapter || !personality)
        return VEXO_STATUS_FAILURE;
    int count = 0;
    int functions[VEXO_STORAGE_FUNCTIONS_MAX] = {};
    int types[VEXO_STORAGE_FUNCTIONS_MAX] = {};
    VEXO_status_t status = VEXO_get_storage_functions(aw_port_number, domain, phba_port, adapter, &count, functions,
                                                      types, STORAGE_LIST_ALL);
    if (status == VEXO_STATUS_INVALID_OPCODE)
        return status;
    if (status != VEXO_STATUS_SUCCESS) {
        // A failed allocation keeps its own status.
        if (status != VEXO_STATUS_FAILURE)
            vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    uint8_t pf_type = profile_pf_type(personality);
    if (count == 0 || pf_type == 0) {
        vexo_set_fixed_status(VEXO_STATUS_PERSONALITY_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    SET_PROFILE_CONFIG_PARAMS *req = reinterpret_cast<SET_PROFILE_CONFIG_PARAMS *>(zeroed(kSetPersonalitySize));
    if (!req) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return VEXO_STATUS_FAILURE;
    }
    req->word0 = 0; // profile 0, no ISAP descriptor
    req->resource_descriptor_count = static_cast<uint32_t>(count);
    uint8_t *at = reinterpret_cast<uint8_t *>(req) + 8;
    for (int i = 0; i < count; ++i, at += RESC_DESC_SIZE) {
        SLI4_RESC_DESC_PCIE *d = reinterpret_cast<SLI4_RESC_DESC_PCIE *>(at);
        d->word0 = RESC_DESC_PCIE | static_cast<uint32_t>(RESC_DESC_SIZE) << 8 | RESC_DESC_NO_SAVE;
        d->word1 = (static_cast<uint32_t>(functions[i]) & RESC_DESC_PF_MASK) << RESC_DESC_PF_SHIFT;
        d->pf_state = 1;
        d->pf_type = pf_type;
    }
    status = ioctl_set_profile_config(aw_port_number, req, static_cast<uint16_t>(kSetPersonalitySize), domain,
                                      phba_port, adapter_driver(adapter));
    vexo_dfree(req);
    if (status == VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_SUCCESS;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_set_profile_config failed with status = %d\n", __func__,
           status);
    vexo_set_fixed_status(status == VEXO_STATUS_PERSONALITY_NOT_SUPPORTED ? VEXO_STATUS_PERSONALITY_NOT_SUPPORTED
                                                                          : VEXO_STATUS_SET_PROFILE_CONFIG_FAILED);
    return VEXO_STATUS_FAILURE;
}

extern "C" VEXO_status_t VEXO_set_legacy_adapter_personality(int aw_port_number, unsigned int domain,
                                                             unsigned int phba_port, node *adapter,
                                                             const char *personality)
{
    if (!adapter || !personality)
        return VEXO_STATUS_FAILURE;
    GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS *conf =
        reinterpret_cast<GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS *>(zeroed(AW_CONFIG_RESOURCES_SIZE));
    if (!conf) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return VEXO_STATUS_FAILURE;
    }
    VEXO_status_t status = ioctl_get_aw_conf(aw_port_number, conf, AW_CONFIG_RESOURCES_SIZE, domain, phba_port,
                                             instance_number(adapter));
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_aw_conf failed with status = %d\n", __func__, status);
        vexo_dfree(conf);
        vexo_set_fixed_status(VEXO_STATUS_SET_AW_CONF_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    SET_AW_CONFIGURATION_AND_RESOURCES_PARAMS *req =
        reinterpret_cast<SET_AW_CONFIGURATION_AND_RESOURCES_PARAMS *>(zeroed(AW_CONFIG_RESOURCES_SIZE));
    if (!req) {
        vexo_dfree(conf);
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return VEXO_STATUS_FAILURE;
    }
    std::memcpy(req, conf, AW_CONFIG_RESOURCES_SIZE);
    vexo_dfree(conf);
    uint32_t count = req->resource_descriptor_count;
    if (count > AW_RESOURCES_MAX)
        count = AW_RESOURCES_MAX;
    for (uint32_t i = 0; i < count; ++i) {
        AW_RESOURCES &r = req->resources[i];
        AW_RESOURCES_PCIE &pcie = r.resource_descriptor.pcie;
        if (r.resource_type != AW_RESOURCE_TYPE_PCIE || (pcie.pf_num != kLegacyPfA && pcie.pf_num != kLegacyPfB))
            continue;
        if (strcasecmp(personality, "NIC") == 0) {
            pcie.pf_type = AW_PF_TYPE_NIC;
        } else if (strcasecmp(personality, "iSCSI") == 0) {
            pcie.pf_type = AW_PF_TYPE_ISCSI;
            pcie.pf_state = 0;
        } else if (strcasecmp(personality, "FCoE") == 0) {
            pcie.pf_type = AW_PF_TYPE_FCOE;
            pcie.pf_state = 0;
        }
    }
    status = ioctl_set_aw_conf(aw_port_number, req, AW_CONFIG_RESOURCES_SIZE, domain, phba_port,
                               instance_number(adapter));
    vexo_dfree(req);
    if (status == VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_SUCCESS;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_set_aw_conf failed with status = %d\n", __func__, status);
    vexo_set_fixed_status(status == VEXO_STATUS_PERSONALITY_NOT_SUPPORTED ? VEXO_STATUS_PERSONALITY_NOT_SUPPORTED
                                                                          : VEXO_STATUS_SET_AW_CONF_FAILED);
    return VEXO_STATUS_FAILURE;
}

VEXO_status_t handle_ConfiguredPersonality(node *property, char *value, int type)
{
    (void)type; // read only
    node *group = property ? property->parent : nullptr;
    node *adapter = group ? group->parent : nullptr;
    if (!adapter || property->node_type != VEXO_NODE_PROPERTY || !property->u.prop)
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(adapter)) {
        std::snprintf(value, VEXO_VALUE_SIZE, "N/A");
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE) {
        vexo_set_fixed_status(VEXO_STATUS_GET_CONF_PERSONALITY_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    if (family == AW_TYPE_VARROW) {
        set_prop_val(group, "ConfiguredPersonality", "N/A");
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    node *function = target_function(adapter);
    if (!function) {
        vexo_set_fixed_status(VEXO_STATUS_GET_CONF_PERSONALITY_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    int port = get_port_number(function);
    unsigned int phba_port = get_phba_port_number(function);
    unsigned int domain = get_domain_id(property);
    IOCTL_COMMON_GET_CONFIGURED_PERSONALITY *cmd = reinterpret_cast<IOCTL_COMMON_GET_CONFIGURED_PERSONALITY *>(
        zeroed(IOCTL_HEADER_SIZE + kConfiguredPersonalityRequest));
    if (!cmd) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return VEXO_STATUS_FAILURE;
    }
    VEXO_status_t status =
        ioctl_get_configured_personality(port, cmd, kConfiguredPersonalityRequest, domain, phba_port,
                                         get_port_bitmap(instance_number(adapter), static_cast<int>(phba_port)));
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_configured_personality failed with status = %d\n",
               __func__, status);
        vexo_dfree(cmd);
        vexo_set_fixed_status(VEXO_STATUS_GET_CONF_PERSONALITY_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    // The firmware may tell a longer text than the answer holds.
    uint32_t len = cmd->hdr.response.response_length;
    if (len > kConfiguredPersonalityRequest)
        len = kConfiguredPersonalityRequest;
    char text[VEXO_VALUE_SIZE] = {};
    std::memcpy(text, reinterpret_cast<const uint8_t *>(cmd) + IOCTL_HEADER_SIZE, len);
    vexo_dfree(cmd);
    if (set_prop_val(group, "ConfiguredPersonality", "%s", text) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_SetPersonality(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *adapter = context ? context->parent : nullptr;
    if (!adapter || !action_node)
        return VEXO_STATUS_FAILURE;
    unsigned int domain = get_domain_id(action_node);
    unsigned int phba_port = get_phba_port_number(action_node);
    if (vexo_on_vf(adapter)) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    node *function = target_function(adapter);
    if (!function) {
        vexo_set_fixed_status(VEXO_STATUS_SET_AW_CONF_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    int port = get_port_number(function);
    const char *wanted = params[0];
    VEXO_status_t status = VEXO_set_adapter_personality(port, domain, phba_port, adapter, wanted);
    if (status == VEXO_STATUS_INVALID_OPCODE)
        status = VEXO_set_legacy_adapter_personality(port, domain, phba_port, adapter, wanted);
    if (status != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    char current[VEXO_VALUE_SIZE] = {};
    if (internal_get_property(context, "CurrentPersonality", current) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_GET_AW_CONF_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    // What runs changes at the next reboot.
    if (strcasecmp(current, wanted) != 0)
        vexo_set_fixed_status(VEXO_STATUS_PERSONALITY_CHANGED);
    return VEXO_STATUS_SUCCESS;
}
