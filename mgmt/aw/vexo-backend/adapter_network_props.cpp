#include "mgmt/aw/vexo-backend/adapter_network_props.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/function_attribs.h"
#include "mgmt/aw/vexo-backend/ncsi_config.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/vexo/core/debug.h"

namespace
{

const size_t kFfvName = 32;
const size_t kVersionField = 12;

bool is_property(const node *property)
{
    return property && property->node_type == VEXO_NODE_PROPERTY && property->u.prop && property->parent;
}

// Stores `text` as the property's cached value and answers it.
VEXO_status_t store_and_answer(node *property, char *value, const char *text)
{
    if (set_prop_val(property->parent, property->node_name, "%s", text) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

// The function whose link the adapter shows: its first iSCSI function, else
// the NIC function with PCI function number 0, else its first NIC function.
// Null when there is none or a NIC function has no PCI group.
node *pcie_function(node *adapter)
{
    node *iscsi = get_first_instance(adapter, "iSCSIPhysicalHBA");
    if (iscsi)
        return iscsi;
    node *first = get_first_instance(adapter, "NICPhysicalHBA");
    for (node *nic = first; nic; nic = next_group_instance(nic)) {
        node *pci = internal_get_node(nic, "PCI", VEXO_NODE_GROUP);
        if (!pci)
            return nullptr;
        char fn[VEXO_VALUE_SIZE] = {};
        if (internal_get_property(pci, "FunctionNumber", fn) == VEXO_STATUS_SUCCESS && strcasecmp(fn, "0x0") == 0)
            return nic;
    }
    return first;
}

VEXO_status_t pci_express(node *property, char *value)
{
    if (!is_property(property))
        return VEXO_STATUS_FAILURE;
    node *adapter = property->parent;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    node *function = pcie_function(adapter);
    if (!function)
        return VEXO_STATUS_FAILURE;
    char text[VEXO_VALUE_SIZE] = {};
    if (VEXO_get_pci_express_data(get_port_number(function), static_cast<int>(get_domain_id(property)),
                                  static_cast<int>(get_phba_port_number(function)), family, function,
                                  property->node_name, text) != 0)
        return VEXO_STATUS_FAILURE;
    if (strcasecmp(property->node_name, "PCIExpressLinkSpeed") == 0 && strcasecmp(text, "unknown") == 0)
        std::snprintf(text, sizeof text, "N/A");
    return store_and_answer(property, value, text);
}

// A CIM text of the adapter that depends on whether it has a NIC function.
VEXO_status_t niccim_text(node *property, char *value, const char *with_nic)
{
    if (!is_property(property) || !property->parent->parent)
        return VEXO_STATUS_FAILURE;
    node *adapter = property->parent->parent;
    return store_and_answer(property, value, get_first_instance(adapter, "NICPhysicalHBA") ? with_nic : "N/A");
}

VEXO_status_t constant_text(node *property, char *value, const char *text)
{
    if (!is_property(property))
        return VEXO_STATUS_FAILURE;
    return store_and_answer(property, value, text);
}

// The NCSISupport node of an NCSI group.
node *ncsi_support(node *ncsi)
{
    node *n = ncsi ? internal_get_node(ncsi, "NCSISupport", VEXO_NODE_PROPERTY) : nullptr;
    return n && n->u.prop ? n : nullptr;
}

} // namespace

VEXO_status_t handle_get_ncsi_version(node *property, char *value, int)
{
    node *ncsi = is_property(property) ? property->parent : nullptr;
    if (ncsi && vexo_on_vf(ncsi)) {
        std::snprintf(value, VEXO_VALUE_SIZE, "N/A");
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    node *adapter = ncsi ? ncsi->parent : nullptr;
    node *function = target_function(adapter);
    if (!function)
        return VEXO_STATUS_FAILURE;
    node *support = ncsi_support(ncsi);
    if (!support) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "In %s, Failed to get NCSI State\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (strcasecmp(support->u.prop->val, "Supported") != 0 || (family != AW_TYPE_AW2 && family != AW_TYPE_AW3))
        return store_and_answer(property, value, "N/A");
    MGMT_CONTROLLER_ATTRIBUTES attrs;
    std::memset(&attrs, 0, sizeof attrs);
    if (ioctl_fetch_controller_attribs(get_port_number(function), &attrs, get_domain_id(function),
                                       get_phba_port_number(function), adapter_driver(adapter)) !=
        VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "In %s, ioctl_fetch_controller_attribs failed\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    const uint8_t *v = attrs.hba_attribs.ncsi_version_string;
    char text[VEXO_VALUE_SIZE] = {};
    if (family == AW_TYPE_AW2) {
        int w[5];
        for (int i = 0; i < 5; ++i)
            w[i] = v[2 * i] | v[2 * i + 1] << 8;
        std::snprintf(text, sizeof text, "%d.%d.%d.%d-%d", w[0], w[1], w[2], w[3], w[4]);
    } else {
        // The field need not end in a terminator.
        std::snprintf(text, sizeof text, "%.*s", static_cast<int>(kVersionField), reinterpret_cast<const char *>(v));
    }
    return store_and_answer(property, value, text);
}

VEXO_status_t handle_ncsi_static_configuration(node *property, char *value, int)
{
    if (!is_property(property))
        return VEXO_STATUS_FAILURE;
    node *group = property->parent;
    if (vexo_on_vf(group))
        std::snprintf(value, VEXO_VALUE_SIZE, "N/A"); // and the read goes on
    node *ncsi = group->node_name && strcasecmp(group->node_name, "NCSIStaticConfiguration") == 0 ? group->parent
                                                                                                 : group;
    int result = VEXO_get_ncsi_attributes(0, 0, ncsi, group, 0, 0);
    if (result != 0)
        return static_cast<VEXO_status_t>(result);
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_ncsi_dynamic_configuration(node *property, char *value, int type)
{
    if (!is_property(property))
        return VEXO_STATUS_FAILURE;
    node *group = property->parent;
    node *ncsi = group->parent;
    if (type == 0) {
        if (vexo_on_vf(group))
            std::snprintf(value, VEXO_VALUE_SIZE, "N/A"); // and the read goes on
        int result = VEXO_get_ncsi_attributes(0, 0, ncsi, group, 0, 0);
        if (result != 0)
            return static_cast<VEXO_status_t>(result);
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    if (vexo_on_vf(group)) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    node *support = ncsi_support(ncsi);
    if (!support) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get NCSI State.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    if (strcasecmp(support->u.prop->val, "Supported") != 0) {
        vexo_set_fixed_status(VEXO_STATUS_NCSI_STATUS_DISABLED);
        return VEXO_STATUS_FAILURE;
    }
    int result = set_ncsi_attributes(0, 0, property->node_name, ncsi, 0, value);
    if (result != 0)
        return static_cast<VEXO_status_t>(result);
    if (set_prop_val(group, property->node_name, "%s", value) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_PCIExpressLinkSpeed(node *property, char *value, int)
{
    return pci_express(property, value);
}

VEXO_status_t handle_PCIExpressBusWidth(node *property, char *value, int)
{
    return pci_express(property, value);
}

VEXO_status_t handle_FFVName(node *property, char *value, int type)
{
    if (!is_property(property))
        return VEXO_STATUS_FAILURE;
    node *adapter = property->parent;
    if (vexo_on_vf(adapter))
        std::snprintf(value, VEXO_VALUE_SIZE, "N/A"); // and the handler goes on
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_AW2 || family == AW_TYPE_AW3) {
        if (type == 0)
            return store_and_answer(property, value, "N/A");
        vexo_set_fixed_status(VEXO_STATUS_FFV_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    node *function = target_function(adapter);
    if (!function)
        return VEXO_STATUS_FAILURE;
    MANAGE_FFV_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    if (type != 0) {
        // The name travels with zeros after it, in a field of full length.
        const uint32_t word0 = 1u | static_cast<uint32_t>(kFfvName) << 8;
        rec.data[0] = static_cast<uint8_t>(word0);
        rec.data[1] = static_cast<uint8_t>(word0 >> 8);
        size_t len = strnlen(value, kFfvName);
        std::memcpy(rec.data + 4, value, len);
    }
    VEXO_status_t status = ioctl_ffv_params(get_port_number(function), &rec, get_domain_id(property),
                                            get_phba_port_number(function), instance_number(adapter));
    if (status == VEXO_STATUS_NOT_SUPPORTED) {
        set_prop_val(adapter, property->node_name, "N/A");
        answer_cached(property, value);
        return VEXO_STATUS_FAILURE;
    }
    if (status != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    if (type != 0)
        return VEXO_STATUS_SUCCESS;
    // The firmware's length may exceed the field: the name is what the field holds.
    size_t len = rec.data[1];
    if (len > kFfvName)
        len = kFfvName;
    char text[kFfvName + 1] = {};
    std::memcpy(text, rec.data + 4, len);
    return store_and_answer(property, value, text);
}

VEXO_status_t handle_PortControllerName(node *property, char *value, int)
{
    if (!is_property(property) || !property->parent->parent)
        return VEXO_STATUS_FAILURE;
    node *nic = get_first_instance(property->parent->parent, "NICPhysicalHBA");
    if (!nic)
        return store_and_answer(property, value, "N/A");
    node *pci = internal_get_node(nic, "PCI", VEXO_NODE_GROUP);
    if (!pci)
        return VEXO_STATUS_FAILURE;
    char bus[VEXO_VALUE_SIZE] = {}, device[VEXO_VALUE_SIZE] = {};
    if (internal_get_property(pci, "BusNumber", bus) != VEXO_STATUS_SUCCESS ||
        internal_get_property(pci, "DeviceNumber", device) != VEXO_STATUS_SUCCESS) {
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    char text[VEXO_VALUE_SIZE];
    std::snprintf(text, sizeof text, "Orvane Stratolink at %.100s:%.100s", bus, device);
    return store_and_answer(property, value, text);
}

VEXO_status_t handle_ControllerType(node *property, char *value, int)
{
    return niccim_text(property, value, "Ethernet");
}

VEXO_status_t handle_ProtocolSupported(node *property, char *value, int)
{
    return niccim_text(property, value, "IEEE P802.3ae");
}

VEXO_status_t handle_MaxSupportedController(node *property, char *value, int)
{
    if (!is_property(property) || !property->parent->parent)
        return VEXO_STATUS_FAILURE;
    int count = 0;
    for (node *nic = get_first_instance(property->parent->parent, "NICPhysicalHBA"); nic; nic = next_group_instance(nic))
        ++count;
    char text[16];
    std::snprintf(text, sizeof text, "%d", count);
    return store_and_answer(property, value, text);
}

VEXO_status_t handle_ProtocolIfType(node *property, char *value, int)
{
    return constant_text(property, value, "Ethernet CSMA/CD");
}

VEXO_status_t handle_LinkTechnology(node *property, char *value, int)
{
    return constant_text(property, value, "Ethernet");
}

VEXO_status_t handle_Arcwright_NICPhysicalHBA_CIM_Capabilities(node *property, char *value, int)
{
    return constant_text(property, value, "LoadBalancing,FailOver,WakeOnLAN");
}

VEXO_status_t handle_EnabledCapabilities(node *property, char *value, int)
{
    return constant_text(property, value, "LoadBalancing,FailOver,WakeOnLAN");
}
