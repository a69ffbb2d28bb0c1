#include "mgmt/aw/vexo-backend/bandwidth_caps.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/profile_config.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

namespace
{

const char kNotAvailable[] = "N/A";
const char kMin[] = "MinBitsPerSecond";
const char kMax[] = "MaxBitsPerSecond";

// Port speed in Gbit/s of a mac_speed code; 0 for none usable.
int port_gbps(unsigned code)
{
    static const int kGbps[] = {0, 0, 0, 1, 10, 20, 25, 40, 100};
    return code < sizeof kGbps / sizeof kGbps[0] ? kGbps[code] : 0;
}

// Offsets of bw_min and bw_max in a descriptor of `type`.
bool bw_offsets(int type, size_t *min_at, size_t *max_at)
{
    if (type == RESC_DESC_NIC) {
        *min_at = offsetof(SLI4_RESC_DESC_NIC, bw_min);
        *max_at = offsetof(SLI4_RESC_DESC_NIC, bw_max);
        return true;
    }
    if (type == RESC_DESC_ISCSI) {
        *min_at = offsetof(SLI4_RESC_DESC_ISCSI, bw_min);
        *max_at = offsetof(SLI4_RESC_DESC_ISCSI, bw_max);
        return true;
    }
    return false;
}

bool read_prop(node *group, const char *name, char *out)
{
    out[0] = '\0';
    return group && internal_get_property(group, name, out) == VEXO_STATUS_SUCCESS;
}

} // namespace

extern "C" int VEXO_get_bw_softcap(node *target, node *adapter, int aw_port_number, unsigned int domainid,
                                   unsigned int phba_port, int pf_type, const char *func, node *property,
                                   int driver_type)
{
    if (!target || !adapter || !func || !property || !property->node_name)
        return 1;
    LINK_STATUS_QUERY_PARAMS link;
    std::memset(&link, 0, sizeof link);
    VEXO_status_t st = ioctl_get_NIC_link_params(aw_port_number, &link, domainid, phba_port, driver_type);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_NIC_link_params failed with status = %d\n", __func__,
               st);
        vexo_set_fixed_status(VEXO_STATUS_NIC_CONFIG_FAILED);
        return 1;
    }
    const unsigned mac_speed = link.data[2];
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:qos_link_speed = %d, mac_speed = %d\n", __func__,
           link.data[6] | link.data[7] << 8, static_cast<int>(mac_speed));
    const int speed = port_gbps(mac_speed);
    if (speed == 0) {
        int r = set_prop_val(target, kMin, "0") | set_prop_val(target, kMax, "0");
        (void)r; // the caps are only shown
        return 0;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:portspeed = %d\n", __func__, speed);
    size_t min_at = 0, max_at = 0;
    if (!bw_offsets(pf_type, &min_at, &max_at))
        return 1;
    GET_PROFILE_CONFIG_PARAMS *profile = VEXO_get_profile(adapter, PROFILE_CONFIG_ACTIVE, 0, 0);
    if (!profile)
        return 1;
    profile_walk w;
    profile_walk_start(&w, profile, VEXO_PROFILE_CONFIG_SIZE);
    for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w)) {
        if (resc_desc_type(d) != pf_type)
            continue;
        char pf[16];
        std::snprintf(pf, sizeof pf, "0x%x", resc_desc_pf_number(d));
        if (pf_type == RESC_DESC_NIC)
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:pf_num = %s\n", __func__, pf);
        if (strcasecmp(pf, func) != 0)
            continue;
        // A descriptor too short to hold its shares gives no value.
        if (resc_desc_length(d) < max_at + 4)
            break;
        const uint32_t bw_min = le32_at(d + min_at), bw_max = le32_at(d + max_at);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:bw_min = %d\n", __func__, static_cast<int>(bw_min));
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:bw_max = %d\n", __func__, static_cast<int>(bw_max));
        const char *name;
        uint32_t bw;
        if (strcasecmp(property->node_name, kMin) == 0) {
            name = kMin;
            bw = bw_min;
        } else if (strcasecmp(property->node_name, kMax) == 0) {
            name = kMax;
            bw = bw_max;
        } else {
            break;
        }
        // Wide enough that no firmware value overflows.
        const int64_t c = static_cast<int64_t>(static_cast<int32_t>(bw)) * speed;
        if (c % 10 != 0)
            set_prop_val(target, name, "%.1f", static_cast<double>(c) / 10.0);
        else
            set_prop_val(target, name, "%lld", static_cast<long long>(c / 10));
        break;
    }
    vexo_dfree(profile);
    return 0;
}

extern "C" int VEXO_get_legacy_QOS(int aw_port_number, node *function)
{
    node *adapter = function ? function->parent : nullptr;
    if (!adapter)
        return 1;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return 1;
    if (family == AW_TYPE_VARROW) {
        vexo_set_fixed_status(VEXO_STATUS_NOT_SUPPORTED_FOR_VARROW);
        return 1;
    }
    GET_QOS_PARAMS qos;
    std::memset(&qos, 0, sizeof qos);
    VEXO_status_t st = ioctl_qos_get(aw_port_number, &qos, get_domain_id(function), get_phba_port_number(function),
                                     VEXO_DRIVER_NIC);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_qos_get failed with status = %d\n", __func__, st);
        vexo_set_fixed_status(VEXO_STATUS_GET_QOS_FAILED);
        return st;
    }
    return set_prop_val(function, kMax, "%d", static_cast<int32_t>(le32_at(qos.data))) == VEXO_STATUS_SUCCESS ? 0 : 1;
}

VEXO_status_t handle_nic_bandwidth_softcap(node *property, char *value, int)
{
    node *function = property ? property->parent : nullptr;
    if (!function || !value || !property->node_name)
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(function)) {
        std::snprintf(value, VEXO_VALUE_SIZE, "%s", kNotAvailable);
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    node *adapter = function->parent;
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    const int port = get_port_number(function);
    const int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_AW2 || family == AW_TYPE_VARROW) {
        int result = 0;
        if (strcasecmp(property->node_name, kMin) == 0)
            set_prop_val(function, kMin, "%s", kNotAvailable);
        else if (strcasecmp(property->node_name, kMax) == 0)
            result = VEXO_get_legacy_QOS(port, function);
        answer_cached(property, value);
        return static_cast<VEXO_status_t>(result);
    }
    node *pci = internal_get_node(function, "PCI", VEXO_NODE_GROUP);
    if (!pci) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get pci node\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    char fn[VEXO_VALUE_SIZE];
    if (!read_prop(pci, "FunctionNumber", fn)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get function number\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    if (VEXO_get_bw_softcap(function, adapter, port, get_domain_id(function), get_phba_port_number(function),
                            RESC_DESC_NIC, fn, property, VEXO_DRIVER_NIC) != 0)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_iscsi_bandwidth_softcap(node *property, char *value, int)
{
    node *qos = property ? property->parent : nullptr;
    node *lhba = qos ? qos->parent : nullptr;
    node *function = lhba ? lhba->parent : nullptr;
    node *adapter = function ? function->parent : nullptr;
    if (!adapter || !value)
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(function)) {
        std::snprintf(value, VEXO_VALUE_SIZE, "%s", kNotAvailable);
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    const int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_AW2 || family == AW_TYPE_VARROW) {
        set_prop_val(qos, kMin, "%s", kNotAvailable);
        set_prop_val(qos, kMax, "%s", kNotAvailable);
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    node *pci = internal_get_node(function, "PCI", VEXO_NODE_GROUP);
    char fn[VEXO_VALUE_SIZE];
    if (!pci || !read_prop(pci, "FunctionNumber", fn))
        return VEXO_STATUS_FAILURE;
    if (VEXO_get_bw_softcap(qos, adapter, get_port_number(function), get_domain_id(function),
                            get_phba_port_number(function), RESC_DESC_ISCSI, fn, property, VEXO_DRIVER_ISCSI) != 0) {
        set_prop_val(qos, kMin, "%s", kNotAvailable);
        set_prop_val(qos, kMax, "%s", kNotAvailable);
        answer_cached(property, value);
        return VEXO_STATUS_FAILURE;
    }
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

extern "C" int get_nic_count(node *function)
{
    node *adapter = function ? function->parent : nullptr;
    node *nic = adapter ? get_first_instance(adapter, "NICPhysicalHBA") : nullptr;
    char mine[VEXO_VALUE_SIZE];
    if (!nic || !read_prop(function, "PortNumber", mine))
        return 1;
    int count = 0;
    for (; nic && vexo_is_instance(nic) && nic->u.grp->multi_instance->instance != -1;
         nic = nic->u.grp->multi_instance->next_instance) {
        char pn[VEXO_VALUE_SIZE];
        if (!read_prop(nic, "PortNumber", pn))
            return 1;
        if (std::strcmp(pn, mine) == 0)
            ++count;
    }
    return count;
}
