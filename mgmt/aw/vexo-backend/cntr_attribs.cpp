#include "mgmt/aw/vexo-backend/cntr_attribs.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/cntr_additional_attribs.h"
#include "mgmt/aw/vexo-backend/function_attribs.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"

namespace
{

// Texts of the attributes are taken up to their NUL and at most their size.
struct Text {
    char s[68];
};

Text text_of(const char *field, size_t size)
{
    Text t;
    size_t n = strnlen(field, size);
    if (n >= sizeof t.s)
        n = sizeof t.s - 1;
    std::memcpy(t.s, field, n);
    t.s[n] = '\0';
    return t;
}

#define FIELD(a, f) text_of((a)->hba_attribs.f, sizeof((a)->hba_attribs.f)).s

int put(node *group, const char *name, const char *text)
{
    return set_prop_val(group, name, "%s", text) == VEXO_STATUS_SUCCESS ? 0 : 1;
}

struct CapabilityBit {
    uint32_t bit;
    const char *name;
};

const CapabilityBit kCapabilities[] = {
    {0x1, "TCP offload"},         {0x2, "Raw Ethernet"},   {0x4, "RDMA Protocol"},
    {0x8, "Virtual Machines"},    {0x10, "iSCSI Initiator"}, {0x20, "iSCSI target plus initiator"},
    {0x40, "FCoE Initiator"},     {0x80, "FCoE Target"},   {0x100, "DAL"},
    {0x200, "LRO"},
};

// The five firmware texts that a refresh rewrites.
int write_firmware_texts(node *adapter, MGMT_CONTROLLER_ATTRIBUTES *a)
{
    int r = 0;
    r |= put(adapter, "ActiveFirmwareVersion", FIELD(a, firmware_version_string));
    r |= put(adapter, "BIOSVersion", FIELD(a, bios_version_string));
    r |= put(adapter, "BootCodeVersion", FIELD(a, redboot_version_string));
    r |= put(adapter, "FirmwareVersionOnFlash", FIELD(a, fw_on_flash_version_string));
    r |= put(adapter, "FirmwareStatus", firmware_status_text(a->hba_attribs.hba_status));
    return r;
}

} // namespace

const char *firmware_status_text(uint8_t hba_status)
{
    static const char *const kTexts[] = {"Working", "Degraded", "Critical", "Failed"};
    return hba_status < 4 ? kTexts[hba_status] : "Unknown";
}

void capabilities_text(uint32_t supported_modes, char *out)
{
    out[0] = '\0';
    if (supported_modes & 0x8000) {
        std::snprintf(out, VEXO_VALUE_SIZE, "Invalid");
        return;
    }
    for (const CapabilityBit &c : kCapabilities) {
        if (!(supported_modes & c.bit))
            continue;
        size_t used = std::strlen(out);
        std::snprintf(out + used, VEXO_VALUE_SIZE - used, "%s%s", used ? "," : "", c.name);
    }
}

extern "C" int VEXO_get_cntr_attribs(int aw_port_number, unsigned int phba_port, unsigned int domain,
                                     int driver_type, MGMT_CONTROLLER_ATTRIBUTES *attrs)
{
    if (!attrs)
        return 1;
    std::memset(attrs, 0, sizeof *attrs);
    VEXO_status_t status = ioctl_fetch_controller_attribs(aw_port_number, attrs, domain, phba_port, driver_type);
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_fetch_controller_attribs failed with status = %d\n",
               __func__, status);
        vexo_set_fixed_status(VEXO_STATUS_CNTR_ATTRIBS_FAILED);
        return 1;
    }
    return 0;
}

extern "C" int VEXO_update_cntr_attribs(node *adapter, MGMT_CONTROLLER_ATTRIBUTES *a, int ioctl_status)
{
    if (!adapter || !a || ioctl_status != 0)
        return 1;
    Text serial = text_of(a->hba_attribs.controller_serial_number, sizeof a->hba_attribs.controller_serial_number);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:strlen(serial_number) = %d serial_number = %s\n", __func__,
           static_cast<int>(std::strlen(serial.s)), serial.s);
    int r = 0;
    r |= put(adapter, "Manufacturer", FIELD(a, manufacturer_name));
    r |= put(adapter, "ModelNumber", FIELD(a, controller_model_number));
    r |= put(adapter, "SerialNumber", serial.s);
    r |= put(adapter, "Description", FIELD(a, controller_description));
    r |= put(adapter, "ActiveFirmwareVersion", FIELD(a, firmware_version_string));
    r |= put(adapter, "BIOSVersion", FIELD(a, bios_version_string));
    r |= put(adapter, "BootCodeVersion", FIELD(a, redboot_version_string));
    r |= put(adapter, "FirmwareVersionOnFlash", FIELD(a, fw_on_flash_version_string));
    r |= put(adapter, "FirmwareStatus", firmware_status_text(a->hba_attribs.hba_status));
    char caps[VEXO_VALUE_SIZE];
    capabilities_text(a->hba_attribs.supported_modes, caps);
    r |= put(adapter, "Capabilities", caps);
    return r;
}

extern "C" int VEXO_update_driver_attribs(int aw_port_number, node *phba, int driver_type,
                                          MGMT_CONTROLLER_ATTRIBUTES *a, int ioctl_status)
{
    if (!phba || !a)
        return 1;
    node *pci = internal_get_node(phba, "PCI", VEXO_NODE_GROUP);
    if (!pci)
        return 1;
    bool valid_port = vexo_valid_port_number(aw_port_number);
    if (ioctl_status == 0) {
        set_prop_val(pci, "VendorID", "0x%04x", a->pci_vendor_id);
        set_prop_val(pci, "DeviceID", "0x%04x", a->pci_device_id);
        set_prop_val(pci, "SubsysDeviceID", "0x%04x", a->pci_sub_system_id);
        set_prop_val(pci, "SubsysVendorID", "0x%04x", a->pci_sub_vendor_id);
        set_prop_val(pci, "BusNumber", "0x%x", a->pci_bus_number);
        set_prop_val(pci, "DeviceNumber", "0x%x", a->pci_device_number);
        set_prop_val(pci, "FunctionNumber", "0x%x", a->pci_function_number);
        set_prop_val(phba, "PortNumber", "%d", a->hba_attribs.phy_port);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s: PortNumber = %d from firmware\n", __func__,
               a->hba_attribs.phy_port);
        if (driver_type == VEXO_DRIVER_ISCSI) {
            if (valid_port)
                set_prop_val(pci, "DomainNumber", "0x%04x", vexo_glob.iscsi.pci_info[aw_port_number - 1].domain_number);
            set_prop_val(phba, "iSCSIVersionMin", "%d", a->hba_attribs.iscsi_ver_min_max & 0x0F);
            set_prop_val(phba, "iSCSIVersionMax", "%d", a->hba_attribs.iscsi_ver_min_max >> 4);
            if (OPEN_ISCSI_DRIVER_LOADED) {
                set_prop_val(phba, "LDTO", "N/A");
                set_prop_val(phba, "DefaultETO", "N/A");
                set_prop_val(phba, "MaxCDBLength", "16");
            } else {
                bool callback = valid_port && (vexo_glob.iscsi.driver_type[aw_port_number - 1] & VEXO_DRV_CALLBACK);
                if (callback)
                    set_prop_val(phba, "LDTO", "N/A");
                else
                    set_prop_val(phba, "LDTO", "%d", a->hba_attribs.default_link_down_timeout);
                set_prop_val(phba, "DefaultETO", "%d", static_cast<int>(a->hba_attribs.default_extended_timeout));
                set_prop_val(phba, "MaxCDBLength", "%d", a->hba_attribs.max_cdblength);
            }
        }
    }
    if (driver_type == VEXO_DRIVER_NIC) {
        if (valid_port)
            set_prop_val(pci, "DomainNumber", "0x%04x", vexo_glob.nic.pci_info[aw_port_number - 1].domain_number);
        if (ioctl_status != 0) {
            char domain[VEXO_PCI_DOMAIN_TEXT_SIZE];
            char bus[VEXO_VALUE_SIZE];
            char device[VEXO_VALUE_SIZE];
            char function[VEXO_VALUE_SIZE];
            char serial[VEXO_SERIAL_TEXT_SIZE];
            if (VEXO_get_pci_bdf(aw_port_number, domain, bus, device, function, serial, driver_type, a,
                                 ioctl_status) != 0)
                return 1;
            set_prop_val(pci, "BusNumber", "%s", bus);
            set_prop_val(pci, "DeviceNumber", "%s", device);
            set_prop_val(pci, "FunctionNumber", "%s", function);
        }
        VEXO_update_nic_port_number(phba, aw_port_number);
        VEXO_update_nic_ifname(phba, aw_port_number);
    }
    VEXO_get_driver_name(phba, aw_port_number, driver_type);
    return VEXO_get_driver_version(phba, aw_port_number, driver_type, a, ioctl_status) != 0 ? 1 : 0;
}

extern "C" int VEXO_update_switch_type(node *adapter, int aw_port_number, unsigned int domain, unsigned int phba_port)
{
    AW_FW_CFG cfg;
    std::memset(&cfg, 0, sizeof cfg);
    VEXO_status_t status = ioctl_get_fw_config(aw_port_number, &cfg, domain, phba_port, adapter_driver(adapter));
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:status = %d function_mode = %d\n", __func__, status,
           static_cast<int>(cfg.function_mode));
    if (status == VEXO_STATUS_SUCCESS && (cfg.function_mode & 0x20000)) {
        IOCTL_COMMON_SET_SWITCH_TYPE_PARAMS st;
        std::memset(&st, 0, sizeof st);
        status = ioctl_set_switch_type(aw_port_number, &st, domain, phba_port, instance_number(adapter));
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:status = %d\n", __func__, status);
    }
    return 0;
}

VEXO_status_t handle_aw_controller_properties(node *property, char *value, int)
{
    node *adapter = property ? property->parent : nullptr;
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get aw_type\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    bool on_flash = property->node_name && strcasecmp(property->node_name, "FirmwareVersionOnFlash") == 0;
    if (family != AW_TYPE_VARROW && !on_flash) {
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    node *function = target_function(adapter);
    if (!function)
        return VEXO_STATUS_FAILURE;
    int port = get_port_number(function);
    int driver = adapter_driver(adapter);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:get_the_protocol(NODE_INSTANCE(aw)) = %d\n", __func__, driver);
    MGMT_CONTROLLER_ATTRIBUTES attrs;
    if (VEXO_get_cntr_attribs(port, get_phba_port_number(property), get_domain_id(property), driver, &attrs) != 0)
        return VEXO_STATUS_FAILURE;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "ActiveFirmwareVersion  = %s\n", FIELD(&attrs, firmware_version_string));
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "FirmwareVersionOnFlash = %s\n",
           FIELD(&attrs, fw_on_flash_version_string));
    int status = write_firmware_texts(adapter, &attrs);
    if (status != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Property update failed with status = %d\n", __func__, status);
        return VEXO_STATUS_FAILURE;
    }
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_aw_controller_additional_properties(node *property, char *value, int)
{
    node *adapter = property ? property->parent : nullptr;
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get aw_type\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    if (family == AW_TYPE_VARROW) {
        int status = VEXO_update_cntr_additional_attribs(adapter);
        if (status != 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Property update failed with status = %d\n", __func__,
                   status);
            return VEXO_STATUS_FAILURE;
        }
    }
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_aw_temperature(node *property, char *value, int)
{
    if (!property)
        return VEXO_STATUS_FAILURE;
    unsigned int domain = get_domain_id(property);
    unsigned int phba_port = get_phba_port_number(property);
    node *adapter = property->parent;
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    node *function = target_function(adapter);
    if (!function)
        return VEXO_STATUS_FAILURE;
    GET_CNTL_ADDITIONAL_ATTRIBUTES_PARAMS attrs;
    std::memset(&attrs, 0, sizeof attrs);
    VEXO_status_t status =
        ioctl_get_cnt_additional_attribs(get_port_number(function), &attrs, domain, phba_port, adapter_driver(adapter));
    if (status != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_CNTR_ADDITIONAL_ATTRIBS_FAILED);
        return status;
    }
    int temp = attrs.response.on_die_temperature;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:ArcwrightOnDieTemperature = %d temp_val = %d\n", __func__, temp, temp);
    VEXO_status_t written = temp != 0 ? set_prop_val(adapter, "ArcwrightOnDieTemperature", "%d", temp)
                                      : set_prop_val(adapter, "ArcwrightOnDieTemperature", "N/A");
    if (written != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_ControllerStatus(node *property, char *value, int)
{
    if (!property || !property->parent)
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(property->parent)) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    node *adapter = property->parent;
    const char *state = "N/A";
    if (get_aw_type(adapter) != AW_TYPE_VARROW) {
        node *nic = get_first_instance(adapter, "NICPhysicalHBA");
        if (!nic)
            return VEXO_STATUS_FAILURE;
        IOCTL_LOWLEVEL_GET_COREDUMP_PROPERTIES_PARAMS props;
        std::memset(&props, 0, sizeof props);
        if (ioctl_get_coredump_props(get_port_number(nic), &props, get_domain_id(nic), get_phba_port_number(nic),
                                     VEXO_DRIVER_NIC) != VEXO_STATUS_SUCCESS) {
            vexo_set_fixed_status(VEXO_STATUS_GET_COREDUMP_PROPS_FAILED);
            return VEXO_STATUS_FAILURE;
        }
        if (props.response.chip_state == 0)
            state = "Alive";
        else if (props.response.chip_state == 1)
            state = "Dead";
    }
    if (set_prop_val(adapter, "ControllerStatus", "%s", state) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_RebootRequired(node *property, char *value, int)
{
    if (!property)
        return VEXO_STATUS_FAILURE;
    unsigned int domain = get_domain_id(property);
    unsigned int phba_port = get_phba_port_number(property);
    if (vexo_on_vf(property)) {
        if (value)
            std::snprintf(value, VEXO_VALUE_SIZE, "N/A");
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    node *profiles = property->parent;
    node *adapter = profiles ? profiles->parent : nullptr;
    if (!profiles || !adapter)
        return VEXO_STATUS_FAILURE;
    node *function = target_function(adapter);
    if (!function)
        return VEXO_STATUS_FAILURE;
    int port = get_port_number(function);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: aw_port_number = %d\n", __func__, port);
    GET_RESET_NEEDED_PARAMS reset;
    std::memset(&reset, 0, sizeof reset);
    if (ioctl_get_reset_needed(port, &reset, domain, phba_port, instance_number(adapter)) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_GET_RESET_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:get_reset_params.response.change_status = %d\n", __func__,
           reset.response.change_status);
    if (set_prop_val(profiles, "RebootRequired", "%s", reset.response.change_status ? "Yes" : "No") !=
        VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}
