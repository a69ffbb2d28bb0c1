#include "mgmt/aw/vexo-backend/function_enum.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/adapter_startup.h"
#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/cntr_attribs.h"
#include "mgmt/aw/vexo-backend/function_attribs.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/mac_addresses.h"
#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/aw/vexo-backend/nodes_iscsi.h"
#include "mgmt/aw/vexo-backend/nodes_nic.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"

namespace
{

// A NIC function with these ids never starts an adapter group of its own.
const uint16_t kSkippedVendor = 0x10DF;
const uint16_t kSkippedDevice = 0xE220;

// One function's identity as grouping compares it.
struct Identity {
    char domain[VEXO_PCI_DOMAIN_TEXT_SIZE];
    char bus[VEXO_VALUE_SIZE];
    char device[VEXO_VALUE_SIZE];
    char function[VEXO_VALUE_SIZE];
    char serial[VEXO_SERIAL_TEXT_SIZE];
};

int slot_count(int valid_hba)
{
    return valid_hba < 0 ? 0 : (valid_hba > VEXO_MAX_HBA ? VEXO_MAX_HBA : valid_hba);
}

node *adapter_by_instance(const char *instance)
{
    char name[VEXO_VALUE_SIZE];
    std::snprintf(name, sizeof name, "Arcwright%s", instance);
    node *root = get_node(0);
    return root ? internal_get_node(root, name, VEXO_NODE_GROUP) : nullptr;
}

// Attaches a fresh node handle for slot n; false when memory is short.
bool attach_handle(node *phba, int n)
{
    node_handle *h = static_cast<node_handle *>(vexo_dcalloc(sizeof(node_handle)));
    if (!h)
        return false;
    h->aw_port_number = n;
    phba->u.grp->handle = h;
    return true;
}

node *new_adapter(int type, int n, int driver_type, MGMT_CONTROLLER_ATTRIBUTES *attrs, int status)
{
    node *adapter = initialize_Arcwright(get_node(0), nullptr, nullptr, nullptr);
    if (!adapter) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to initialize adapter node.\n", __func__);
        return nullptr;
    }
    int instance = instance_number(adapter);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:initialized controller %d\n", __func__, instance);
    set_protocol(instance, type);
    IOCTL_HEADER hdr;
    std::memset(&hdr, 0, sizeof hdr);
    ioctl_start_management_service(n, &hdr, 0, 0, driver_type);
    VEXO_update_cntr_attribs(adapter, attrs, status);
    return adapter;
}

bool same(const char *a, const char *b)
{
    return strcasecmp(a, b) == 0;
}

} // namespace

extern "C" int VEXO_get_iscsi_node_info(int aw_port_number, char *instance, MGMT_CONTROLLER_ATTRIBUTES *attrs,
                                        int ioctl_status)
{
    node *root = get_node(0);
    node *a = root ? get_first_instance(root, "Arcwright") : nullptr;
    if (!a) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:Adapter node not found.\n", __func__);
        return VEXO_GROUP_NEW;
    }
    Identity id;
    if (VEXO_get_pci_bdf(aw_port_number, id.domain, id.bus, id.device, id.function, id.serial, VEXO_DRIVER_ISCSI,
                         attrs, ioctl_status) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get PCI information.\n", __func__);
        return VEXO_GROUP_SKIP;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:aw_port_number = %d,bus = %s,device = %s,function = %s and asn = %s\n",
           __func__, aw_port_number, id.bus, id.device, id.function, id.serial);
    for (; a && vexo_is_instance(a); a = a->u.grp->multi_instance->next_instance) {
        node *phba = get_first_instance(a, "iSCSIPhysicalHBA");
        if (!phba) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get iSCSI PHBA first instance.\n", __func__);
            return VEXO_GROUP_NEW;
        }
        node *pci = internal_get_node(phba, "PCI", VEXO_NODE_GROUP);
        if (!pci) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get PCI node.\n", __func__);
            return VEXO_GROUP_NEW;
        }
        char bus[VEXO_VALUE_SIZE] = "", device[VEXO_VALUE_SIZE] = "", function[VEXO_VALUE_SIZE] = "",
             serial[VEXO_VALUE_SIZE] = "";
        if (internal_get_property(pci, "BusNumber", bus) != VEXO_STATUS_SUCCESS ||
            internal_get_property(pci, "DeviceNumber", device) != VEXO_STATUS_SUCCESS ||
            internal_get_property(pci, "FunctionNumber", function) != VEXO_STATUS_SUCCESS ||
            internal_get_property(a, "SerialNumber", serial) != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get PCI information from iSCSI PHBA group.\n",
                   __func__);
            return VEXO_GROUP_NEW;
        }
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:bus = %s,device = %s,function = %s serial_number = %s\n",
               __func__, bus, device, function, serial);
        bool match = same(id.bus, bus) && (std::strcmp(id.serial, "0") != 0 ? same(id.serial, serial)
                                                                             : same(id.device, device));
        if (match) {
            int inst = instance_number(a);
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:%s:%s belongs to adapter Arcwright%d.\n", __func__, id.bus,
                   id.device, inst);
            std::snprintf(instance, VEXO_VALUE_SIZE, "%d", inst);
            return VEXO_GROUP_EXISTING;
        }
    }
    return VEXO_GROUP_NEW;
}

extern "C" int VEXO_get_nic_node_info(int aw_port_number, char *instance, MGMT_CONTROLLER_ATTRIBUTES *attrs,
                                      int ioctl_status)
{
    Identity id;
    if (VEXO_get_pci_bdf(aw_port_number, id.domain, id.bus, id.device, id.function, id.serial, VEXO_DRIVER_NIC,
                         attrs, ioctl_status) != 0)
        return VEXO_GROUP_NEW;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:aw_port_number = %d,bus = %s,device = %s,function = %s,asn = %s\n",
           __func__, aw_port_number, id.bus, id.device, id.function, id.serial);
    node *root = get_node(0);
    node *a = root ? get_first_instance(root, "Arcwright") : nullptr;
    if (!a) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:Adapter node not found.\n", __func__);
        return VEXO_GROUP_NEW;
    }
    for (; a && vexo_is_instance(a); a = a->u.grp->multi_instance->next_instance) {
        node *phba = target_function(a);
        node *pci = phba ? internal_get_node(phba, "PCI", VEXO_NODE_GROUP) : nullptr;
        if (!pci) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get PCI node.\n", __func__);
            return VEXO_GROUP_NEW;
        }
        char bus[VEXO_VALUE_SIZE] = "", device[VEXO_VALUE_SIZE] = "", serial[VEXO_VALUE_SIZE] = "";
        if (internal_get_property(pci, "BusNumber", bus) != VEXO_STATUS_SUCCESS ||
            internal_get_property(pci, "DeviceNumber", device) != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get PCI information from NIC PHBA group.\n",
                   __func__);
            return VEXO_GROUP_NEW;
        }
        internal_get_property(a, "SerialNumber", serial);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:bus_prop = %s,dev_prop = %s,serial_number = %s\n", __func__, bus,
               device, serial);
        bool by_serial = std::strcmp(id.serial, "0") != 0 && strcasecmp(serial, "N/A") != 0;
        bool match = same(id.bus, bus) && (by_serial ? same(id.serial, serial) : same(id.device, device));
        if (match) {
            int inst = instance_number(a);
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:%s:%s belongs to adapter Arcwright%d.\n", __func__, id.bus,
                   id.device, inst);
            std::snprintf(instance, VEXO_VALUE_SIZE, "%d", inst);
            return VEXO_GROUP_EXISTING;
        }
    }
    return VEXO_GROUP_NEW;
}

extern "C" int VEXO_enumerate_iscsi_functions(void)
{
    int count = slot_count(vexo_glob.iscsi.valid_hba);
    for (int n = 1; n <= count; ++n) {
        MGMT_CONTROLLER_ATTRIBUTES attrs;
        if (VEXO_get_cntr_attribs(n, 0, 0, VEXO_DRIVER_ISCSI, &attrs) != 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:VEXO_get_cntr_attribs failed for i = %d.\n", __func__, n);
            continue;
        }
        char instance[VEXO_VALUE_SIZE] = "";
        int r = VEXO_get_iscsi_node_info(n, instance, &attrs, 0);
        if (r == VEXO_GROUP_SKIP)
            continue;
        node *adapter = nullptr;
        if (r == VEXO_GROUP_EXISTING) {
            adapter = adapter_by_instance(instance);
            if (!adapter) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:Adapter node not found.\n", __func__);
                continue;
            }
        } else {
            adapter = new_adapter(1, n, VEXO_DRIVER_ISCSI, &attrs, 0);
            if (!adapter)
                continue;
        }
        node *phba = initialize_iSCSIPhysicalHBA(adapter, nullptr, nullptr, nullptr);
        if (!phba) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_CRITICAL, "%s:Failed to initialize iscsi phba.\n", __func__);
            continue;
        }
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:initialized iSCSI PHBA %d\n", __func__, instance_number(phba));
        if (!attach_handle(phba, n)) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_CRITICAL, "%s:Failed to allocate memory of nhandle.\n", __func__);
            continue;
        }
        VEXO_update_driver_attribs(n, phba, VEXO_DRIVER_ISCSI, &attrs, 0);
        VEXO_update_vpd_data(phba, n, VEXO_DRIVER_ISCSI);
        VEXO_update_fd_mac(n, phba, VEXO_DRIVER_ISCSI);
    }
    return 0;
}

extern "C" int VEXO_enumerate_nic_functions(void)
{
    int count = slot_count(vexo_glob.nic.valid_hba);
    for (int n = 1; n <= count; ++n) {
        VEXO_enumerate_nic_domain(n);
        MGMT_CONTROLLER_ATTRIBUTES attrs;
        int status = VEXO_get_cntr_attribs(n, 0, 0, VEXO_DRIVER_NIC, &attrs);
        char instance[VEXO_VALUE_SIZE] = "";
        int r = VEXO_get_nic_node_info(n, instance, &attrs, status);
        node *adapter = nullptr;
        if (r == VEXO_GROUP_EXISTING) {
            adapter = adapter_by_instance(instance);
            if (!adapter) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:Adapter node not found.\n", __func__);
                continue;
            }
        } else if (r == VEXO_GROUP_NEW) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:vendor_id = 0x%x device_id = 0x%x\n", __func__,
                   attrs.pci_vendor_id, attrs.pci_device_id);
            if (attrs.pci_vendor_id == kSkippedVendor && attrs.pci_device_id == kSkippedDevice)
                continue;
            adapter = new_adapter(2, n, VEXO_DRIVER_NIC, &attrs, status);
            if (!adapter)
                continue;
        } else {
            continue;
        }
        node *phba = initialize_NICPhysicalHBA(adapter, nullptr, nullptr, nullptr);
        if (!phba) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_CRITICAL, "%s:Failed to initialize iscsi phba.\n", __func__);
            continue;
        }
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:initialized NIC PHBA %d\n", __func__, instance_number(phba));
        if (!attach_handle(phba, n)) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_CRITICAL, "%s:Failed to allocate memory of nhandle.\n", __func__);
            continue;
        }
        VEXO_update_driver_attribs(n, phba, VEXO_DRIVER_NIC, &attrs, status);
        VEXO_update_vpd_data(phba, n, VEXO_DRIVER_NIC);
        VEXO_update_fd_mac(n, phba, VEXO_DRIVER_NIC);

        if (instance_number(phba) == 0) {
            int family = get_aw_type(adapter);
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:aw_type = %d.\n", __func__, family);
            IOCTL_COMMON_GET_OEM_ATTRIBUTES_PARAMS oem;
            std::memset(&oem, 0, sizeof oem);
            if (family == AW_TYPE_VARROW &&
                ioctl_get_oem_params(n, &oem, 0, 0, instance_number(adapter)) == VEXO_STATUS_SUCCESS) {
                const uint8_t *o = oem.response.orvane_serial_number;
                const uint8_t *s = oem.response.oem_serial_number;
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s: %d %d %d %d \n", __func__, o[0], o[1], s[0], s[1]);
                if (o[0] == 0 || o[0] == 0xFF || s[0] == 0xFF || s[1] == 0)
                    set_prop_val(adapter, "SerialNumber", "N/A");
            }
        }

        int vfs = 0;
        VEXO_get_nic_logicalhba(phba, n, &vfs, 1);
        vexo_glob.nic.lhba[n - 1].valid_lhba = static_cast<uint8_t>(vfs);

        // Each function reads its own probe: one virtual function does not
        // make the functions after it virtual.
        bool is_vf = false;
        vexo_vf_probe(n, phba, adapter, &is_vf);
        set_prop_val(phba, "IsVF", "%s", is_vf ? "True" : "False");
    }
    return 0;
}

extern "C" int VEXO_get_nic_logicalhba(node *nic_phba, int aw_port_number, int *nic_lhba_count, int flag)
{
    VEXO_Get_VF_Info(aw_port_number, nic_lhba_count, flag, nic_phba);
    return 0;
}

node *get_valid_phba(node *adapter, const char *phy_port)
{
    static const char *const kKinds[] = {"iSCSIPhysicalHBA", "NICPhysicalHBA"};
    for (const char *kind : kKinds) {
        for (node *f = get_first_instance(adapter, kind); f && vexo_is_instance(f);
             f = f->u.grp->multi_instance->next_instance) {
            char port[VEXO_VALUE_SIZE] = "";
            if (internal_get_property(f, "PortNumber", port) != VEXO_STATUS_SUCCESS)
                return nullptr;
            if (std::strcmp(port, phy_port) == 0)
                return f;
        }
    }
    return nullptr;
}

void set_port_bitmap()
{
    node *root = get_node(0);
    for (node *a = root ? get_first_instance(root, "Arcwright") : nullptr; a && vexo_is_instance(a);
         a = a->u.grp->multi_instance->next_instance) {
        int i = instance_number(a);
        if (i < 0 || i >= VEXO_MAX_ADAPTER_SLOTS)
            continue;
        for (int p = 0; p < VEXO_MAX_PORTS; ++p) {
            char port[16];
            std::snprintf(port, sizeof port, "%d", p);
            node *f = get_valid_phba(a, port);
            if (!f)
                continue;
            if (strcasecmp(f->node_name, "iSCSIPhysicalHBA") == 0)
                vexo_glob.port_bitmap[i][p] |= 1;
            else if (strcasecmp(f->node_name, "NICPhysicalHBA") == 0)
                vexo_glob.port_bitmap[i][p] |= 2;
            else
                vexo_glob.port_bitmap[i][p] |= 4;
        }
    }
}

int get_port_bitmap(int i, int j)
{
    if (i < 0 || i >= VEXO_MAX_ADAPTER_SLOTS || j < 0 || j >= VEXO_MAX_PORTS)
        return 4;
    uint8_t bits = vexo_glob.port_bitmap[i][j];
    if (bits & 1)
        return VEXO_DRIVER_ISCSI;
    if (bits & 2)
        return VEXO_DRIVER_NIC;
    return 4;
}

void set_protocol(int i, int type)
{
    if (i < 0 || i >= VEXO_MAX_ADAPTER_SLOTS)
        return;
    if (type == 1)
        vexo_glob.protocols_bitmap[i] |= 1;
    else if (type == 2)
        vexo_glob.protocols_bitmap[i] |= 2;
    else if (type == 3)
        vexo_glob.protocols_bitmap[i] |= 4;
}
