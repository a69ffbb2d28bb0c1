#include "mgmt/aw/vexo-backend/function_attribs.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/linux/driver_queries.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_nic.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/target_eto.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

int OPEN_ISCSI_DRIVER_LOADED = 0;
int VEXO_ISCSI_INBOX_DRIVER_LOADED = 0;

namespace
{

const int kPcieLinkOffset = 208;

bool nic_callback(int aw_port_number)
{
    return vexo_valid_port_number(aw_port_number) &&
           (vexo_glob.nic.driver_type[aw_port_number - 1] & VEXO_DRV_CALLBACK);
}

bool iscsi_callback(int aw_port_number)
{
    return vexo_valid_port_number(aw_port_number) &&
           (vexo_glob.iscsi.driver_type[aw_port_number - 1] & VEXO_DRV_CALLBACK);
}

// A text field of the firmware that fills its array is taken whole.
void field_text(char *dst, size_t dst_size, const char *src, size_t src_size)
{
    size_t n = strnlen(src, src_size);
    if (n >= dst_size)
        n = dst_size - 1;
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

} // namespace

extern "C" int VEXO_update_nic_ifname(node *nic, int aw_port_number)
{
    if (!nic || !vexo_valid_port_number(aw_port_number) ||
        set_prop_val(nic, "IfName", "%.*s", VEXO_IFNAME_SIZE - 1, vexo_glob.nic.ifnames[aw_port_number - 1]) !=
            VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to update NIC Ifname\n", __func__);
        return 1;
    }
    return 0;
}

extern "C" int VEXO_get_nic_mtusize(node *nic, int aw_port_number)
{
    ovnnet_mgmtDrvInfo info;
    std::memset(&info, 0, sizeof info);
    int status = VEXO_ovnnet_vf_callback(aw_port_number, &info);
    if (status != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Issue_vf_callback_for_esxop failed with status = %d\n", __func__,
               status);
        return 1;
    }
    return set_prop_val(nic, "MTUSize", "%d", info.mtu) == VEXO_STATUS_SUCCESS ? 0 : 1;
}

extern "C" int VEXO_get_nic_macaddress(node *nic, char *value)
{
    (void)value;
    if (!nic)
        return 1;
    unsigned int domain = get_domain_id(nic);
    unsigned int phba_port = get_phba_port_number(nic);
    int port = get_port_number(nic);
    NTWK_MAC_QUERY_PARAMS mac;
    std::memset(&mac, 0, sizeof mac);
    mac.request.type = 1;
    mac.request.permanent = 1;
    if (ioctl_get_mac_query(port, &mac, domain, phba_port, VEXO_DRIVER_NIC) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_CURRENT_MAC_QUERY);
        return 1;
    }
    const uint8_t *m = mac.response.mac.MACAddress;
    return set_prop_val(nic, "MACAddress", "%02x-%02x-%02x-%02x-%02x-%02x", m[0], m[1], m[2], m[3], m[4], m[5]) ==
                   VEXO_STATUS_SUCCESS
               ? 0
               : 1;
}

extern "C" int VEXO_set_nic_macaddress(node *nic, char *value)
{
    (void)nic;
    (void)value;
    vexo_set_fixed_status(VEXO_STATUS_SET_NOT_SUPPORTED);
    return 1;
}

extern "C" int VEXO_get_pci_bdf(int aw_port_number, char *domain, char *bus, char *device, char *function,
                                char *serial, int driver_type, MGMT_CONTROLLER_ATTRIBUTES *attrs, int ioctl_status)
{
    if (!attrs || !domain || !bus || !device || !function || !serial || !vexo_valid_port_number(aw_port_number))
        return 1;
    const pci_data &slot = vexo_glob.nic.pci_info[aw_port_number - 1];
    if (ioctl_status == 0) {
        std::snprintf(domain, VEXO_PCI_DOMAIN_TEXT_SIZE, "0x%04x", slot.domain_number);
        std::snprintf(bus, VEXO_VALUE_SIZE, "0x%x", attrs->pci_bus_number);
        std::snprintf(device, VEXO_VALUE_SIZE, "0x%x", attrs->pci_device_number);
        std::snprintf(function, VEXO_VALUE_SIZE, "0x%x", attrs->pci_function_number);
        field_text(serial, VEXO_SERIAL_TEXT_SIZE, attrs->hba_attribs.controller_serial_number,
                   sizeof attrs->hba_attribs.controller_serial_number);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:serial_number = %s\n", __func__, serial);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:domain = %s\n", __func__, domain);
        return 0;
    }
    if (driver_type == VEXO_DRIVER_NIC) {
        std::snprintf(domain, VEXO_PCI_DOMAIN_TEXT_SIZE, "0x%04x", slot.domain_number);
        std::snprintf(bus, VEXO_VALUE_SIZE, "0x%x", slot.bus_number);
        std::snprintf(device, VEXO_VALUE_SIZE, "0x%x", slot.device_number);
        std::snprintf(function, VEXO_VALUE_SIZE, "0x%x", slot.pf_num);
        std::snprintf(serial, VEXO_SERIAL_TEXT_SIZE, "0");
        return 0;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Controller Attributes IOCTL failed.\n", __func__);
    return 1;
}

extern "C" int VEXO_get_driver_name(node *phba, int aw_port_number, int driver_type)
{
    node *driver = phba ? internal_get_node(phba, "Driver", VEXO_NODE_GROUP) : nullptr;
    if (!driver) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%sFailed to get driver details\n", __func__);
        return 1;
    }
    const char *name = nullptr;
    if (driver_type == VEXO_DRIVER_NIC)
        name = nic_callback(aw_port_number) ? "ovnnet.o" : "aw2net.o";
    else if (driver_type == VEXO_DRIVER_ISCSI)
        name = iscsi_callback(aw_port_number) ? "ovniscsi.o" : "aw2iscsi.o";
    else
        return 0;
    if (set_prop_val(driver, "DriverName", "%s", name) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%sFailed to get driver details\n", __func__);
        return 1;
    }
    return 0;
}

extern "C" int VEXO_get_driver_version(node *phba, int aw_port_number, int driver_type,
                                       MGMT_CONTROLLER_ATTRIBUTES *attrs, int ioctl_status)
{
    (void)aw_port_number;
    (void)driver_type;
    node *driver = phba ? internal_get_node(phba, "Driver", VEXO_NODE_GROUP) : nullptr;
    if (ioctl_status != 0 || !attrs || !driver) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%sFailed to get driver details\n", __func__);
        return 1;
    }
    char version[sizeof attrs->hba_attribs.driver_version_string + 1];
    field_text(version, sizeof version, attrs->hba_attribs.driver_version_string,
               sizeof attrs->hba_attribs.driver_version_string);
    if (set_prop_val(driver, "DriverVersion", "%s", version) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%sFailed to get driver details\n", __func__);
        return 1;
    }
    return 0;
}

extern "C" int VEXO_get_pci_express_data(int aw_port_number, int domainid, int phba_port, int asic_type,
                                         node *phba, const char *property_name, char *value)
{
    if (!property_name || !value)
        return 1;
    uint32_t dword = 0;
    bool read = false;
    if (asic_type == AW_TYPE_VARROW) {
        int word = 0;
        read = ioctl_varrow_read_pci_conf(aw_port_number, domainid, phba_port, &word) == 0;
        dword = static_cast<uint32_t>(word);
    } else {
        int driver = 0;
        if (phba && phba->node_name && strcasecmp(phba->node_name, "NICPhysicalHBA") == 0)
            driver = VEXO_DRIVER_NIC;
        else if (phba && phba->node_name && strcasecmp(phba->node_name, "iSCSIPhysicalHBA") == 0)
            driver = VEXO_DRIVER_ISCSI;
        IOCTL_COMMON_READ_PCI_CONFIG_SPACE_PARAMS cfg;
        std::memset(&cfg, 0, sizeof cfg);
        cfg.request.offset = kPcieLinkOffset;
        cfg.request.data_length = 4;
        if (ioctl_read_pci_conf(aw_port_number, &cfg, static_cast<uint32_t>(domainid),
                                static_cast<uint32_t>(phba_port), driver) == VEXO_STATUS_SUCCESS) {
            // The answer's offset picks the word; one outside the space is not read.
            uint32_t index = cfg.response.offset / 4;
            if (index < 64) {
                dword = cfg.response.pci_data[index];
                read = true;
            }
        }
    }
    if (!read) {
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_READ_PCI_DATA);
        return 1;
    }
    if (strcasecmp(property_name, "PCIExpressLinkSpeed") == 0) {
        unsigned speed = (dword >> 16) & 7;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:speed  = %u\n", __func__, speed);
        std::snprintf(value, VEXO_VALUE_SIZE, "%.1fGT/s", speed * 2.5);
    } else {
        unsigned width = (dword >> 20) & 0x3f;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:width  = %u\n", __func__, width);
        std::snprintf(value, VEXO_VALUE_SIZE, "x%u", width);
    }
    return 0;
}

extern "C" int VEXO_Get_VF_Info(int aw_port_number, int *count, int flag, node *nic)
{
    if (!count)
        return 1;
    int vfs = 0;
    if (nic_callback(aw_port_number)) {
        ovnnet_mgmtDrvInfo info;
        std::memset(&info, 0, sizeof info);
        int status = VEXO_ovnnet_vf_callback(aw_port_number, &info);
        if (status != 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Issue_vf_callback_for_esxop failed with status = %d\n",
                   __func__, status);
            return 1;
        }
        // The driver's count is bounded by the records its answer has room for.
        vfs = info.number_vfs > OVNNET_MAX_VFS ? OVNNET_MAX_VFS : info.number_vfs;
    } else {
        aw_drvinfo info;
        std::memset(&info, 0, sizeof info);
        int status = ioctl_get_virt_f_info(aw_port_number, &info, &vfs);
        if (status != 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_virt_f_info failed with status = %d\n", __func__,
                   status);
            return 1;
        }
        if (vfs > AW_MAX_VFS)
            vfs = AW_MAX_VFS;
        if (vfs < 0)
            vfs = 0;
    }
    *count = vfs;
    if (flag == 1 && nic) {
        for (int i = 0; i < vfs && i < NICLOGICALHBA_MAX_INSTANCES; ++i) {
            if (!initialize_NICLogicalHBA(nic, nullptr, nullptr, nullptr))
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "Failed to initialize NICLogicalHBA.\n");
        }
    }
    return 0;
}

extern "C" int VEXO_get_over_temperature(node *baset, int aw_port_number)
{
    int reason = 0;
    if (nic_callback(aw_port_number)) {
        ovnnet_mgmtDrvInfo info;
        std::memset(&info, 0, sizeof info);
        int status = VEXO_ovnnet_vf_callback(aw_port_number, &info);
        if (status != 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Issue_vf_callback_for_esxop failed with status = %d\n",
                   __func__, status);
            return 1;
        }
        reason = info.link_down_reason;
    } else {
        aw_drvinfo info;
        std::memset(&info, 0, sizeof info);
        if (ioctl_get_mtu(aw_port_number, &info) != 0)
            return 1;
        reason = info.link_down_reason;
    }
    return set_prop_val(baset, "PHYLinkDownReason", "%d", reason) == VEXO_STATUS_SUCCESS ? 0 : 1;
}

extern "C" int VEXO_get_address_origin(node *cim, char *, char *, char *)
{
    set_prop_val(cim, "AddressOrigin", "N/A");
    return 0;
}

extern "C" int VEXO_get_nic_iftype(node *, node *cim, char *)
{
    set_prop_val(cim, "IPProtocolIfType", "N/A");
    return 0;
}

extern "C" int VEXO_get_nic_subnetmask(node *, node *cim)
{
    set_prop_val(cim, "SubnetMask", "N/A");
    return 0;
}

extern "C" int VEXO_get_nic_gateway(node *, node *cim)
{
    set_prop_val(cim, "Gateway", "N/A");
    return 0;
}

extern "C" int VEXO_get_nic_ipv6gateway(node *, node *cim)
{
    set_prop_val(cim, "IPv6GateWay", "N/A");
    return 0;
}

extern "C" int VEXO_get_nic_ipaddress(node *, char *value, char *)
{
    if (value)
        std::snprintf(value, VEXO_VALUE_SIZE, "N/A");
    return 0;
}

extern "C" int VEXO_update_nic_port_number(node *, int)
{
    return 0;
}

extern "C" int VEXO_enumerate_nic_domain(int)
{
    return 0;
}

extern "C" int VEXO_refresh_backend_client_iscsi_tgts(void)
{
    if (!OPEN_ISCSI_DRIVER_LOADED && !VEXO_ISCSI_INBOX_DRIVER_LOADED)
        VEXO_refresh_backend_client_iscsi_targets();
    return 0;
}
