#include "mgmt/aw/vexo-backend/platform_props.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/linux/driver_discovery.h"
#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "os/host_env.h"

namespace
{

// Characters of the host-file pattern at most.
const size_t kPatternMax = 34;

} // namespace

VEXO_status_t handle_AdvancedMode(node *property, char *value, int type)
{
    node *adapter = property ? property->parent : nullptr;
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:asic_type = %d\n", __func__, family);
    if (family != AW_TYPE_AW3) {
        if (type == 1) {
            vexo_set_fixed_status(VEXO_STATUS_ADVANCE_MODE_NOT_SUPPORTED);
            return VEXO_STATUS_FAILURE;
        }
        set_prop_val(adapter, "AdvancedMode", "N/A");
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    node *nic = get_first_instance(adapter, "NICPhysicalHBA");
    if (!nic)
        return VEXO_STATUS_FAILURE;
    int port = get_port_number(nic);
    unsigned int phba_port = get_phba_port_number(nic);
    unsigned int domain = get_domain_id(nic);
    if (vexo_on_vf(adapter)) {
        if (value)
            std::snprintf(value, VEXO_VALUE_SIZE, "N/A");
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:aw_port_number = %d domainid = %u phba_port = %u\n", __func__, port,
           domain, phba_port);
    IOCTL_COMMON_GET_BOOT_CONFIG_PARAMS boot;
    std::memset(&boot, 0, sizeof boot);
    if (ioctl_get_boot_config(port, &boot, domain, phba_port, VEXO_DRIVER_NIC) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_GET_BOOT_CONFIG);
        return VEXO_STATUS_FAILURE;
    }
    if (type != 1) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:get_boot_config.response.native_mode = %d\n", __func__,
               boot.response.native_mode);
        VEXO_status_t written =
            set_prop_val(adapter, "AdvancedMode", "%s", boot.response.native_mode ? "Enabled" : "Disabled");
        answer_cached(property, value);
        return written;
    }
    IOCTL_COMMON_SET_BOOT_CONFIG_PARAMS set;
    static_assert(sizeof set == sizeof boot, "boot configuration records");
    std::memcpy(&set, &boot, sizeof set);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:value = %s\n", __func__, value ? value : "");
    set.request.native_mode = (value && strcasecmp(value, "Enabled") == 0) ? 1 : 0;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:set_boot_config.request.native_mode = %d\n", __func__,
           set.request.native_mode);
    if (ioctl_set_boot_config(port, &set, domain, phba_port, VEXO_DRIVER_NIC) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_SET_BOOT_CONFIG);
        return VEXO_STATUS_FAILURE;
    }
    vexo_set_fixed_status(VEXO_STATUS_ADVANCE_MODE_REBOOT_REQURIED);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_FleetView(node *property, char *value, int)
{
    node *adapter = property ? property->parent : nullptr;
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_AW2 || family == AW_TYPE_AW3) {
        set_prop_val(adapter, "FleetView", "N/A");
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    node *function = target_function(adapter);
    if (!function)
        return VEXO_STATUS_FAILURE;
    SET_FEATURES_PARAMS features;
    std::memset(&features, 0, sizeof features);
    features.feature = VEXO_FEATURE_FLEETVIEW;
    features.params_length = 0;
    VEXO_status_t status = ioctl_set_features(get_port_number(function), &features, get_domain_id(function),
                                              get_phba_port_number(function), instance_number(adapter));
    if (status == VEXO_STATUS_NOT_SUPPORTED) {
        set_prop_val(adapter, "FleetView", "N/A");
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    if (status != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_SET_FEATURES_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    unsigned ov = features.params[0] & 1;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:HalvardFleetView = %u\n", __func__, ov);
    set_prop_val(adapter, "FleetView", "%s", ov == 1 ? "Enabled" : "Disabled");
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_IsSecureJumperEnabled(node *property, char *value, int)
{
    node *adapter = property ? property->parent : nullptr;
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_AW2 || family == AW_TYPE_AW3) {
        set_prop_val(adapter, "IsSecureJumperEnabled", "N/A");
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    node *first = get_first_instance(adapter, "NICPhysicalHBA");
    if (!first)
        return VEXO_STATUS_FAILURE;
    node *chosen = nullptr;
    for (node *f = first; f && vexo_is_instance(f) && !chosen; f = f->u.grp->multi_instance->next_instance) {
        node *pci = internal_get_node(f, "PCI", VEXO_NODE_GROUP);
        if (!pci) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get PCI Node.\n", __func__);
            return VEXO_STATUS_FAILURE;
        }
        char func[VEXO_VALUE_SIZE] = "";
        internal_get_property(pci, "FunctionNumber", func);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:func = %s\n", __func__, func);
        if (strcasecmp(func, "0x0") == 0 || strcasecmp(func, "0") == 0)
            chosen = f;
    }
    if (!chosen)
        chosen = first;
    int port = get_port_number(chosen);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:aw_port_number = %d\n", __func__, port);
    char state[VEXO_VALUE_SIZE] = "";
    int result = VEXO_get_secure_jumper_state(port, state);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:prop_value = %s\n", __func__, state);
    set_prop_val(adapter, "IsSecureJumperEnabled", "%s", state);
    answer_cached(property, value);
    return static_cast<VEXO_status_t>(result);
}

VEXO_status_t handle_DomainNumber(node *property, char *value, int)
{
    node *pci = property ? property->parent : nullptr;
    node *function = pci ? pci->parent : nullptr;
    node *lhba = function ? internal_get_node(function, "LogicalHBA0", VEXO_NODE_GROUP) : nullptr;
    if (!lhba)
        return VEXO_STATUS_FAILURE;
    int port = get_port_number(function);
    if (vexo_valid_port_number(port) && (vexo_glob.iscsi.driver_type[port - 1] & VEXO_DRV_CALLBACK)) {
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    char vmhba[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(lhba, "IfName", vmhba) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get VMHBA Name\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:vmhba_name = %s\n", __func__, vmhba);
    std::string conf = host_path(std::string(VEXO_ESX_CONF));
    FILE *fp = std::fopen(conf.c_str(), "r");
    if (!fp) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to open /etc/vmware/esx.conf\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    std::string pattern = std::string("vmkname = \"") + vmhba;
    if (pattern.size() > kPatternMax)
        pattern.resize(kPatternMax);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:cmd = %s\n", __func__, pattern.c_str());
    std::string segment;
    bool found = false;
    char line[256];
    while (!found && std::fgets(line, sizeof line, fp)) {
        size_t len = std::strlen(line);
        if (len > 0)
            line[len - 1] = '\0';
        if (!std::strstr(line, pattern.c_str()))
            continue;
        found = true;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:buf = %s\n", __func__, line);
        int index = 0;
        for (char *save = nullptr, *tok = strtok_r(line, "/", &save); tok; tok = strtok_r(nullptr, "/", &save)) {
            if (++index == 2) {
                segment.assign(tok, strcspn(tok, ":"));
                break;
            }
        }
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:prt = %s\n", __func__, segment.c_str());
    }
    std::fclose(fp);
    if (!found || segment.empty()) {
        // The value of the enumeration stands when the host file does not
        // name the interface.
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:no segment of %s in the host file\n", __func__, vmhba);
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    unsigned long seg = std::strtoul(segment.c_str(), nullptr, 16);
    set_prop_val(pci, "DomainNumber", "0x%04lx", seg);
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}
