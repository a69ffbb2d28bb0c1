#include "mgmt/aw/vexo-backend/ncsi_config.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/nodes_ncsi_logs.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_convert.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"

namespace
{

static_assert(sizeof(IOCTL_COMMON_GET_NCSI_CONFIGURATION_PARAMS) ==
                  sizeof(IOCTL_COMMON_GET_NCSI_CONFIGURATION_PARAMS_OUT),
              "the read's record and its answer have one size");
static_assert(sizeof(IOCTL_COMMON_SET_NCSI_DYNAMIC_CONFIGURATION_PARAMS) == sizeof(TAVI_DYNAMIC_CONFIG),
              "the write carries one dynamic record");

// Where the commands of an adapter's NC-SI go: its first function.
struct ncsi_target {
    node *adapter;
    int port;
    unsigned int phba_port;
    unsigned int domain;
};

bool find_target(node *ncsi, ncsi_target *t)
{
    t->adapter = ncsi ? ncsi->parent : nullptr;
    node *function = target_function(t->adapter);
    if (!function)
        return false;
    t->port = get_port_number(function);
    t->phba_port = get_phba_port_number(function);
    t->domain = get_domain_id(function);
    return true;
}

VEXO_status_t read_config(const ncsi_target &t, IOCTL_COMMON_GET_NCSI_CONFIGURATION_PARAMS_OUT *out)
{
    IOCTL_COMMON_GET_NCSI_CONFIGURATION_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    VEXO_status_t status = ioctl_get_ncsi_attributes(t.port, &rec, t.domain, t.phba_port, instance_number(t.adapter));
    if (status == VEXO_STATUS_SUCCESS)
        std::memcpy(out, &rec, sizeof rec);
    return status;
}

bool same(node *group, const char *name)
{
    return group && group->node_name && strcasecmp(group->node_name, name) == 0;
}

// Counts a failed store.
void store(bool *failed, node *group, const char *name, const char *format, ...) __attribute__((format(printf, 4, 5)));
void store(bool *failed, node *group, const char *name, const char *format, ...)
{
    char text[VEXO_VALUE_SIZE];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    if (set_prop_val(group, name, "%s", text) != VEXO_STATUS_SUCCESS)
        *failed = true;
}

// "Yes" for 1, "No" for 0; any other byte keeps the property.
void store_yes_no(bool *failed, node *group, const char *name, uint8_t byte)
{
    if (byte == 1)
        store(failed, group, name, "Yes");
    else if (byte == 0)
        store(failed, group, name, "No");
}

void store_mac(bool *failed, node *group, const char *name, const uint8_t *mac)
{
    store(failed, group, name, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
}

// The fields from port0_mac on, which both records share.
template <typename Config> void store_ports(bool *failed, node *group, const Config &cfg)
{
    store_yes_no(failed, group, "EnableWOLPort0", cfg.enable_port0_wol);
    store_mac(failed, group, "Port0MAC", cfg.port0_mac);
    store_yes_no(failed, group, "EnableWOLPort1", cfg.enable_port1_wol);
    store_mac(failed, group, "Port1MAC", cfg.port1_mac);
    store(failed, group, "MgmtVLANId", "%d", cfg.default_vlanid);
}

void set_wol(uint8_t *byte, const char *value)
{
    if (strcasecmp(value, "Yes") == 0)
        *byte |= 1;
    else if (strcasecmp(value, "No") == 0)
        *byte = 0;
}

} // namespace

extern "C" int VEXO_get_ncsi_attributes(int, unsigned int, node *ncsi, node *parent, int, int flag)
{
    if (!ncsi || !parent)
        return VEXO_STATUS_FAILURE;
    ncsi_target t;
    if (!find_target(ncsi, &t))
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(t.adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    bool failed = false;
    if (family == AW_TYPE_VARROW) {
        store(&failed, ncsi, "NCSISupport", "Not Supported");
        store(&failed, ncsi, "NCSIAWHandShake", "N/A");
        return failed ? VEXO_STATUS_FAILURE : VEXO_STATUS_SUCCESS;
    }
    IOCTL_COMMON_GET_NCSI_CONFIGURATION_PARAMS_OUT cfg;
    std::memset(&cfg, 0, sizeof cfg);
    VEXO_status_t status = read_config(t, &cfg);
    if (status != VEXO_STATUS_SUCCESS)
        return status;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:ncsi_state = %d\n", __func__, cfg.ncsi_state);
    if (cfg.ncsi_state != 1) {
        store(&failed, ncsi, "NCSISupport", "Not Supported");
        store(&failed, ncsi, "NCSIAWHandShake", "N/A");
        return failed ? VEXO_STATUS_FAILURE : VEXO_STATUS_SUCCESS;
    }
    store(&failed, ncsi, "NCSISupport", "Supported");
    if (family != AW_TYPE_AW2) {
        store(&failed, ncsi, "NCSIAWHandShake", "N/A");
        return failed ? VEXO_STATUS_FAILURE : VEXO_STATUS_SUCCESS;
    }
    node *stat = nullptr, *dyn = nullptr;
    if (flag == 1) {
        stat = initialize_NCSIStaticConfiguration(ncsi, nullptr, nullptr, nullptr);
        dyn = initialize_NCSIDynamicConfiguration(ncsi, nullptr, nullptr, nullptr);
    } else {
        stat = get_selected_group_node(ncsi, "NCSIStaticConfiguration", "0");
        dyn = get_selected_group_node(ncsi, "NCSIDynamicConfiguration", "0");
    }
    if (!stat || !dyn)
        return VEXO_STATUS_FAILURE;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:ncsi_handshake_status = %d\n", __func__,
           cfg.ncsi_handshake_status);
    if (cfg.ncsi_handshake_status == 0)
        store(&failed, ncsi, "NCSIAWHandShake", "Success");
    else if (cfg.ncsi_handshake_status == 1)
        store(&failed, ncsi, "NCSIAWHandShake", "Error");
    if (same(parent, "NCSIStaticConfiguration")) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:In to NCSIStaticConfiguration\n", __func__);
        const TAVI_STATIC_CONFIG &s = cfg.tavi_static_cfg;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:port_swap = %d\n", __func__, s.port_swap);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:enable_port0_wol = %d\n", __func__, s.enable_port0_wol);
        store_yes_no(&failed, stat, "PortSwap", s.port_swap);
        store_ports(&failed, stat, s);
    } else if (same(parent, "NCSIDynamicConfiguration")) {
        store_ports(&failed, dyn, cfg.tavi_dynamic_cfg);
    }
    return failed ? VEXO_STATUS_FAILURE : VEXO_STATUS_SUCCESS;
}

int set_ncsi_attributes(int, unsigned int, const char *name, node *ncsi, int, const char *value)
{
    if (!name || !value)
        return VEXO_STATUS_FAILURE;
    ncsi_target t;
    if (!find_target(ncsi, &t))
        return VEXO_STATUS_FAILURE;
    IOCTL_COMMON_GET_NCSI_CONFIGURATION_PARAMS_OUT cfg;
    std::memset(&cfg, 0, sizeof cfg);
    VEXO_status_t status = read_config(t, &cfg);
    if (status != VEXO_STATUS_SUCCESS)
        return status;
    TAVI_DYNAMIC_CONFIG dyn = cfg.tavi_dynamic_cfg;
    if (strcasecmp(name, "EnableWOLPort0") == 0) {
        set_wol(&dyn.enable_port0_wol, value);
    } else if (strcasecmp(name, "EnableWOLPort1") == 0) {
        set_wol(&dyn.enable_port1_wol, value);
    } else if (strcasecmp(name, "Port0MAC") == 0 || strcasecmp(name, "Port1MAC") == 0) {
        uint8_t mac[6] = {};
        if (!validateMACAddress(value, mac)) {
            vexo_set_fixed_status(VEXO_STATUS_API_INVALID_VALUE);
            return VEXO_STATUS_FAILURE;
        }
        std::memcpy(strcasecmp(name, "Port0MAC") == 0 ? dyn.port0_mac : dyn.port1_mac, mac, sizeof mac);
    } else if (strcasecmp(name, "MgmtVLANId") == 0) {
        dyn.default_vlanid = static_cast<uint16_t>(std::atoi(value));
    }
    IOCTL_COMMON_SET_NCSI_DYNAMIC_CONFIGURATION_PARAMS req;
    std::memcpy(&req, &dyn, sizeof req);
    status = ioctl_set_ncsi_attributes(t.port, &req, t.domain, t.phba_port, instance_number(t.adapter));
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "set_ncsi_attributes status = %d\n", status);
    if (status != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_SET_NCSI_DYNAMIC);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "ioctl_set_ncsi_attributes has failed.\n");
        return status;
    }
    return VEXO_STATUS_SUCCESS;
}
