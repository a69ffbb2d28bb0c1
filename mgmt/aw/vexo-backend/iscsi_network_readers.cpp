#include "mgmt/aw/vexo-backend/iscsi_network_readers.h"

#include <cstring>
#include <strings.h>

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
