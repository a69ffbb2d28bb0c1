#include "mgmt/aw/vexo-backend/iscsi_network_readers.h"

#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/linux/driver_queries.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"

extern "C" int VEXO_get_iscsi_ntwk_mac(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *nic,
                                       node *property)
{
    if (!nic || !property || !property->node_name)
        return 1;
    NTWK_MAC_QUERY_PARAMS mac;
    std::memset(&mac, 0, sizeof mac);
    mac.request.type = 0;
    mac.request.permanent = 1;
    VEXO_status_t status = ioctl_get_mac_query(aw_port_number, &mac, domainid, phba_port, VEXO_DRIVER_ISCSI);
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_mac_query failed with status = %d\n", __func__, status);
        // The transport's status stays; a failure that left none is not
        // reported as a success.
        if (vexo_last_status_code == VEXO_STATUS_SUCCESS)
            vexo_set_fixed_status(VEXO_STATUS_CURRENT_MAC_QUERY);
        return 1;
    }
    const char *target = strcasecmp(property->node_name, "MACAddress") == 0 ? "MACAddress" : "PermanentMACAddress";
    const uint8_t *m = mac.response.mac.MACAddress;
    return set_prop_val(nic, target, "%02x-%02x-%02x-%02x-%02x-%02x", m[0], m[1], m[2], m[3], m[4], m[5]) ==
                   VEXO_STATUS_SUCCESS
               ? 0
               : 1;
}

namespace
{

const size_t kNicParamsSize = 52; // the count and room for two ports
const size_t kFirstPort = 4;      // MGMT_NIC_PORT_INFO of the first port

const char *const kMaxSpeedText[] = {"Unknown", "less than 1Mb", "less than 1Gb", "1Gb", "10Gb", "20Gb", "40Gb"};

} // namespace

extern "C" int VEXO_get_iscsi_ntwk_params(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *nic)
{
    if (!nic)
        return 1;
    uint8_t *buf = static_cast<uint8_t *>(vexo_dmalloc(kNicParamsSize));
    if (!buf) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    std::memset(buf, 0, kNicParamsSize);
    VEXO_status_t status = ioctl_get_NIC_params(aw_port_number, reinterpret_cast<NIC_CONFIG_PARAMS *>(buf),
                                                static_cast<uint16_t>(kNicParamsSize), domainid, phba_port);
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_NIC_params failed with status = %d\n", __func__,
               status);
        vexo_dfree(buf);
        vexo_set_fixed_status(VEXO_STATUS_NIC_CONFIG_FAILED);
        return 1;
    }
    uint32_t max_speed = le32_at(buf + kFirstPort + 4);
    uint32_t frame = le32_at(buf + kFirstPort + 12);
    vexo_dfree(buf);
    int r = set_prop_val(nic, "MaxMTUSize", "%d", static_cast<int>(frame)) == VEXO_STATUS_SUCCESS ? 0 : 1;
    if (max_speed < sizeof kMaxSpeedText / sizeof kMaxSpeedText[0])
        r |= set_prop_val(nic, "PortMaxSpeed", "%s", kMaxSpeedText[max_speed]) == VEXO_STATUS_SUCCESS ? 0 : 1;
    return r;
}

extern "C" int get_logical_link_status(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *group,
                                       int driver_type, int)
{
    if (!group)
        return 1;
    uint8_t state = 0;
    if (driver_type == VEXO_DRIVER_ISCSI) {
        LINK_STATUS_QUERY_PARAMS_V1 link;
        std::memset(&link, 0, sizeof link);
        if (ioctl_get_link_status_v1(aw_port_number, &link, domainid, phba_port, VEXO_DRIVER_ISCSI) !=
            VEXO_STATUS_SUCCESS) {
            vexo_set_fixed_status(VEXO_STATUS_LOGICAL_LINK_STATUS);
            return 1;
        }
        state = link.data[8];
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "LogicalLinkStatus = %d\n", state);
    } else if (driver_type == VEXO_DRIVER_NIC) {
        ovnnet_mgmtDrvInfo *info = static_cast<ovnnet_mgmtDrvInfo *>(vexo_dmalloc(sizeof *info));
        if (!info) {
            vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
            return 1;
        }
        std::memset(info, 0, sizeof *info);
        int r = VEXO_ovnnet_vf_callback(aw_port_number, info);
        state = info->logical_link_status;
        vexo_dfree(info);
        if (r != 0)
            return 1;
    } else {
        return 0;
    }
    if (state != 0 && state != 1)
        return 0;
    VEXO_status_t stored = set_prop_val(group, "LogicalLinkStatus", "%s", state == 1 ? "Up" : "Down");
    // Only the iSCSI path reports a failed store.
    return driver_type == VEXO_DRIVER_ISCSI && stored != VEXO_STATUS_SUCCESS ? 1 : 0;
}

VEXO_status_t handle_NICprop(node *property, char *value, int)
{
    node *nic = property ? property->parent : nullptr;
    if (!nic)
        return VEXO_STATUS_FAILURE;
    if (VEXO_get_iscsi_ntwk_params(get_port_number(property), get_domain_id(property), get_phba_port_number(property),
                                   nic) != 0)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}
