#include "mgmt/aw/vexo-backend/channel_management.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace {

// Modes in the order the list names them.
const struct {
    uint32_t bit;
    const char *text;
} kModes[] = {
    {VEXO_CAP_VNIC2, "vNIC2"}, {VEXO_CAP_ZMR, "ZMR"},     {VEXO_CAP_NPAR, "NPAR"},   {VEXO_CAP_VNIC1, "vNIC1"},
    {VEXO_CAP_UFP, "UFP"},     {VEXO_CAP_HLZMR, "HLZMR"}, {VEXO_CAP_HLFLEX, "HLFlex"}, {VEXO_CAP_HLFLEXQBG, "HLFlexQBG"},
};

uint32_t le32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

VEXO_status_t answer(node *property, char *value, const char *text)
{
    SET_CACHE_PROP_VAL(property, "%s", text);
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

} // namespace

void vexo_mc_types_text(uint32_t capabilities, char *out)
{
    std::string list;
    for (const auto &m : kModes) {
        if (!(capabilities & m.bit))
            continue;
        // vNIC2 includes ZMR.
        if (m.bit == VEXO_CAP_ZMR && (capabilities & VEXO_CAP_VNIC2))
            continue;
        if (!list.empty())
            list += ',';
        list += m.text;
    }
    std::snprintf(out, VEXO_VALUE_SIZE, "%s", list.empty() ? "N/A" : list.c_str());
}

VEXO_status_t handle_SupportedMCTypes(node *property, char *value, int)
{
    node *group = property ? property->parent : nullptr;
    node *adapter = group ? group->parent : nullptr;
    if (!adapter || property->node_type != VEXO_NODE_PROPERTY || !property->u.prop || !value)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get aw_type.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    if (family == AW_TYPE_AW2 || family == AW_TYPE_VARROW)
        return answer(property, value, "N/A");
    node *carrier = target_function(adapter);
    if (!carrier) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get NIC/iSCSI nodes.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    int port = get_port_number(carrier);
    unsigned int domain = get_domain_id(carrier);
    unsigned int phba_port = get_phba_port_number(carrier);
    AW_FW_CFG cfg;
    std::memset(&cfg, 0, sizeof cfg);
    if (ioctl_get_fw_config(port, &cfg, domain, phba_port, adapter_driver(adapter)) != VEXO_STATUS_SUCCESS)
        std::memset(&cfg, 0, sizeof cfg); // read as no capability set
    if (cfg.function_caps & VEXO_FUNC_CAP_NO_MULTICHANNEL)
        return answer(property, value, "N/A");
    if (vexo_on_vf(adapter)) {
        std::snprintf(value, VEXO_VALUE_SIZE, "N/A");
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    IOCTL_COMMON_GET_CAPABILITY_PARAMS caps;
    std::memset(&caps, 0, sizeof caps);
    VEXO_status_t st = ioctl_get_capabilities(port, &caps, domain, phba_port, instance_number(adapter));
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_capabilities failed with status = %d\n", __func__, st);
        vexo_set_fixed_status(VEXO_STATUS_GET_CAPABILITIES_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    char list[VEXO_VALUE_SIZE];
    vexo_mc_types_text(le32(caps.data), list);
    return answer(property, value, list);
}
