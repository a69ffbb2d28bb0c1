#include "mgmt/aw/vexo-backend/mac_addresses.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/aw_config_resources.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/function_attribs.h"
#include "mgmt/aw/vexo-backend/iscsi_network_readers.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/profile_config.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_convert.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"

namespace
{

#define MAC_TEXT "%02x-%02x-%02x-%02x-%02x-%02x"
#define MAC_BYTES(m) (m)[0], (m)[1], (m)[2], (m)[3], (m)[4], (m)[5]

const char kPermanentMac[] = "PermanentMACAddress";

VEXO_status_t result_of(int r)
{
    return r == 0 ? VEXO_STATUS_SUCCESS : VEXO_STATUS_FAILURE;
}

// The FunctionNumber text of the function's PCI group ("0x%x") into `text`
// (256 bytes).
bool function_number_text(node *function, char *text, const char *caller)
{
    node *pci = internal_get_node(function, "PCI", VEXO_NODE_GROUP);
    if (!pci) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get pci node\n", caller);
        return false;
    }
    if (internal_get_property(pci, "FunctionNumber", text) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get function number\n", caller);
        return false;
    }
    return true;
}

// The function number read as hexadecimal; false for a negative value,
// trailing characters or one beyond the 10 bits of a descriptor.
bool function_number_value(const char *text, uint32_t *pf)
{
    if (!text[0] || text[0] == '-')
        return false;
    char *end = nullptr;
    errno = 0;
    unsigned long v = std::strtoul(text, &end, 16);
    if (errno != 0 || *end != '\0' || v > RESC_DESC_PF_MASK)
        return false;
    *pf = static_cast<uint32_t>(v);
    return true;
}

// Descriptor type of a driver type: 2 the NIC descriptor, 1 the iSCSI one.
uint8_t descriptor_type(int driver_type)
{
    if (driver_type == VEXO_DRIVER_NIC)
        return RESC_DESC_NIC;
    if (driver_type == VEXO_DRIVER_ISCSI)
        return RESC_DESC_ISCSI;
    return 0;
}

// The first descriptor of `type` for one physical function, or null. The
// function is named by its number text (compared with "0x%x" of pf_number
// without regard to case) or, when `pf_text` is null, by its value.
// Virtual-function templates never stand for the physical function. A list
// that runs out of its buffer before the descriptor sets `malformed`.
const uint8_t *function_descriptor(const GET_PROFILE_CONFIG_PARAMS *profile, uint8_t type, const char *pf_text,
                                   uint32_t pf, bool *malformed)
{
    profile_walk w;
    profile_walk_start(&w, profile, VEXO_PROFILE_CONFIG_SIZE);
    for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w)) {
        if (resc_desc_type(d) != type || (resc_desc_word(d, 0) & RESC_DESC_VF_TEMPLATE))
            continue;
        uint32_t number = resc_desc_pf_number(d);
        if (pf_text) {
            char text[16];
            std::snprintf(text, sizeof text, "0x%x", number);
            if (strcasecmp(text, pf_text) != 0)
                continue;
        } else if (number != pf) {
            continue;
        }
        // A match must hold a whole descriptor: its fields are read and copied.
        if (resc_desc_length(d) < RESC_DESC_SIZE) {
            *malformed = true;
            return nullptr;
        }
        return d;
    }
    *malformed = w.malformed;
    return nullptr;
}

// The legacy record of the function's adapter; the PCIe record that
// matches the function is at *index, its personality record after it.
// Null on failure: status 160 when the record cannot be read or its count
// overruns it, `failed` when no record stands for the function.
GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS *legacy_record(node *function, node *adapter, int *index,
                                                         VEXO_status_t failed, const char *caller)
{
    char pf_text[VEXO_VALUE_SIZE] = "";
    if (!function_number_text(function, pf_text, caller))
        return nullptr;
    // The record describes the whole adapter: it is read through the
    // function that carries the adapter's commands, whose driver is the one
    // the command goes to.
    node *carrier = target_function(adapter);
    if (!carrier)
        return nullptr;
    GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS *rec =
        static_cast<GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS *>(vexo_dmalloc(sizeof *rec));
    if (!rec) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return nullptr;
    }
    std::memset(rec, 0, sizeof *rec);
    VEXO_status_t status = ioctl_get_aw_conf(get_port_number(carrier), rec, AW_CONFIG_RESOURCES_SIZE,
                                             get_domain_id(carrier), get_phba_port_number(carrier),
                                             instance_number(adapter));
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_aw_conf failed with status = %d\n", caller, status);
        vexo_dfree(rec);
        vexo_set_fixed_status(VEXO_STATUS_GET_LAST_MAC);
        return nullptr;
    }
    // The firmware's count is bounded by the 16 records of the buffer.
    uint32_t count = rec->resource_descriptor_count;
    if (count > AW_RESOURCES_MAX) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: resource count %u exceeds the record\n", caller, count);
        vexo_dfree(rec);
        vexo_set_fixed_status(VEXO_STATUS_GET_LAST_MAC);
        return nullptr;
    }
    uint8_t pf_type = std::strcmp(function->node_name, "iSCSIPhysicalHBA") == 0 ? AW_PF_TYPE_ISCSI : AW_PF_TYPE_NIC;
    for (uint32_t i = 0; i < count; ++i) {
        const AW_RESOURCES &r = rec->resources[i];
        if (r.resource_type != AW_RESOURCE_TYPE_PCIE)
            continue;
        const AW_RESOURCES_PCIE &pcie = r.resource_descriptor.pcie;
        char text[16];
        std::snprintf(text, sizeof text, "0x%x", pcie.pf_num);
        if (strcasecmp(text, pf_text) != 0 || pcie.pf_state != 0 || pcie.pf_type != pf_type)
            continue;
        // The personality record must be one the firmware announced.
        if (i + 1 >= count)
            break;
        *index = static_cast<int>(i);
        return rec;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Cannot get a resource with required pf_num\n", caller);
    vexo_dfree(rec);
    vexo_set_fixed_status(failed);
    return nullptr;
}

// Where the MAC of a personality record lies.
uint8_t *legacy_mac(AW_RESOURCES &personality, bool iscsi)
{
    return iscsi ? personality.resource_descriptor.iscsi.iscsi_mac_address
                 : personality.resource_descriptor.nic.nic_mac_address_start;
}

} // namespace

extern "C" int VEXO_get_legacy_last_configured_mac(node *function, node *target, char *)
{
    node *adapter = function ? function->parent : nullptr;
    if (!function || !target || !adapter)
        return 1;
    int index = 0;
    GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS *rec =
        legacy_record(function, adapter, &index, VEXO_STATUS_GET_LAST_MAC, __func__);
    if (!rec)
        return 1;
    bool iscsi = std::strcmp(function->node_name, "iSCSIPhysicalHBA") == 0;
    const uint8_t *mac = legacy_mac(rec->resources[index + 1], iscsi);
    int r = set_prop_val(target, kPermanentMac, MAC_TEXT, MAC_BYTES(mac)) == VEXO_STATUS_SUCCESS ? 0 : 1;
    vexo_dfree(rec);
    return r;
}

extern "C" int VEXO_set_legacy_last_configured_mac(node *function, node *target, char *value)
{
    node *adapter = function ? function->parent : nullptr;
    if (!function || !target || !value || !adapter)
        return 1;
    uint8_t mac[6];
    if (!validateMACAddress(value, mac)) {
        vexo_set_fixed_status(VEXO_STATUS_API_INVALID_VALUE);
        return 1;
    }
    int index = 0;
    GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS *rec =
        legacy_record(function, adapter, &index, VEXO_STATUS_SET_LAST_MAC, __func__);
    if (!rec)
        return 1;
    SET_AW_CONFIGURATION_AND_RESOURCES_PARAMS *set =
        static_cast<SET_AW_CONFIGURATION_AND_RESOURCES_PARAMS *>(vexo_dmalloc(sizeof *set));
    if (!set) {
        vexo_dfree(rec);
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    static_assert(sizeof *set == sizeof *rec, "read and write records");
    std::memcpy(set, rec, sizeof *set);
    vexo_dfree(rec);
    bool iscsi = std::strcmp(function->node_name, "iSCSIPhysicalHBA") == 0;
    std::memcpy(legacy_mac(set->resources[index + 1], iscsi), mac, 6);
    node *carrier = target_function(adapter);
    VEXO_status_t status = ioctl_set_aw_conf(get_port_number(carrier), set, AW_CONFIG_RESOURCES_SIZE,
                                             get_domain_id(carrier), get_phba_port_number(carrier),
                                             instance_number(adapter));
    vexo_dfree(set);
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_set_aw_conf failed with status = %d\n", __func__, status);
        vexo_set_fixed_status(VEXO_STATUS_SET_LAST_MAC);
        return 1;
    }
    return 0;
}

extern "C" int VEXO_get_last_configured_mac(node *function, node *target, char *value, int driver_type)
{
    node *adapter = function ? function->parent : nullptr;
    if (!function || !target || !adapter)
        return 1;
    int family = get_aw_type(adapter);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:be_type = %d\n", __func__, family);
    if (family == AW_TYPE_UNREADABLE)
        return 1;
    if (family == AW_TYPE_AW2)
        return VEXO_get_legacy_last_configured_mac(function, target, value);
    char pf_text[VEXO_VALUE_SIZE] = "";
    if (!function_number_text(function, pf_text, __func__))
        return 1;
    uint8_t type = descriptor_type(driver_type);
    if (!type)
        return 1;
    GET_PROFILE_CONFIG_PARAMS *profile = VEXO_get_profile(adapter, PROFILE_CONFIG_CONFIGURED, 0, 0);
    if (!profile)
        return 1;
    bool malformed = false;
    const uint8_t *desc = function_descriptor(profile, type, pf_text, 0, &malformed);
    int r = 0;
    if (desc) {
        const uint8_t *mac = type == RESC_DESC_NIC ? reinterpret_cast<const SLI4_RESC_DESC_NIC *>(desc)->mac_address
                                                   : reinterpret_cast<const SLI4_RESC_DESC_ISCSI *>(desc)->iscsi_mac_address;
        r = set_prop_val(target, kPermanentMac, MAC_TEXT, MAC_BYTES(mac)) == VEXO_STATUS_SUCCESS ? 0 : 1;
    } else if (malformed) {
        // A list the walk could not finish proves nothing about the function.
        vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED);
        r = 1;
    }
    vexo_dfree(profile);
    return r;
}

extern "C" int VEXO_set_last_configured_mac(node *function, node *target, char *value, int driver_type)
{
    node *adapter = function ? function->parent : nullptr;
    if (!function || !target || !value || !adapter)
        return 1;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return 1;
    if (family == AW_TYPE_AW2)
        return VEXO_set_legacy_last_configured_mac(function, target, value);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:value = %s driver_type = %d\n", __func__, value, driver_type);
    uint8_t type = descriptor_type(driver_type);
    if (!type)
        return 1;
    uint8_t mac[6];
    if (!validateMACAddress(value, mac)) {
        vexo_set_fixed_status(VEXO_STATUS_API_INVALID_VALUE);
        return 1;
    }
    char pf_text[VEXO_VALUE_SIZE] = "";
    if (!function_number_text(function, pf_text, __func__))
        return 1;
    uint32_t pf = 0;
    if (!function_number_value(pf_text, &pf)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:pf num is invalid\n", __func__);
        return 1;
    }
    GET_PROFILE_CONFIG_PARAMS *profile = VEXO_get_profile(adapter, PROFILE_CONFIG_ACTIVE, 0, 0);
    if (!profile)
        return 1;
    bool malformed = false;
    const uint8_t *desc = function_descriptor(profile, type, nullptr, pf, &malformed);
    if (!desc) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:no descriptor of type 0x%x for pf_num %u\n", __func__, type, pf);
        vexo_dfree(profile);
        // Nothing was written: the write failed.
        vexo_set_fixed_status(malformed ? VEXO_STATUS_GET_PROFILE_CONFIG_FAILED : VEXO_STATUS_SET_LAST_MAC);
        return 1;
    }
    SET_PROFILE_CONFIG_PARAMS *req = static_cast<SET_PROFILE_CONFIG_PARAMS *>(vexo_dmalloc(sizeof *req));
    if (!req) {
        vexo_dfree(profile);
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    std::memset(req, 0, sizeof *req);
    req->word0 = 0; // profile 0, no ISAP descriptor
    req->resource_descriptor_count = 1;
    std::memcpy(req->resources, desc, RESC_DESC_SIZE);
    vexo_dfree(profile);

    const uint32_t kept = ~(0xFFFFu | RESC_DESC_IMMEDIATE | RESC_DESC_NO_SAVE);
    const uint32_t head = type | static_cast<uint32_t>(RESC_DESC_SIZE) << 8 | RESC_DESC_MAC_ADDR_VALID;
    const uint32_t pf_bits = (pf & RESC_DESC_PF_MASK) << RESC_DESC_PF_SHIFT;
    const uint32_t pf_clear = ~(RESC_DESC_PF_MASK << RESC_DESC_PF_SHIFT);
    if (type == RESC_DESC_NIC) {
        SLI4_RESC_DESC_NIC *d = reinterpret_cast<SLI4_RESC_DESC_NIC *>(req->resources);
        d->word0 = (d->word0 & kept) | head;
        d->word1 = (d->word1 & pf_clear) | pf_bits;
        d->link_word = (d->link_word & ~0x3Fu) | (get_phba_port_number(function) & 0x3F);
        std::memcpy(d->mac_address, mac, 6);
        d->bw_min = 0xFFFFFFFF;
        d->bw_max = 0xFFFFFFFF;
        // Counts the write leaves as they are.
        d->mac_unicast_count = 0xFFFF;
        d->vlan_count = 0xFFFF;
        d->mac_mcast_count = 0xFFFF;
        d->lro_queue_count = 0xFFFF;
        d->toe_conn_count = 0xFFFF;
        d->iface_count = 0xFFFF;
        d->tunnel_iface_count = 0xFFFF;
        d->direct_tenant_iface_count = 0xFFFF;
    } else {
        SLI4_RESC_DESC_ISCSI *d = reinterpret_cast<SLI4_RESC_DESC_ISCSI *>(req->resources);
        d->word0 = (d->word0 & kept) | head;
        d->word1 = (d->word1 & pf_clear) | pf_bits;
        std::memcpy(d->iscsi_mac_address, mac, 6);
        d->bw_min = 0xFFFFFFFF;
        d->bw_max = 0xFFFFFFFF;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:res_count = %d\n", __func__, 1);
    VEXO_status_t status = ioctl_set_profile_config(get_port_number(function), req, VEXO_SET_PROFILE_ONE_DESC_SIZE,
                                                    get_domain_id(function), get_phba_port_number(function),
                                                    driver_type);
    vexo_dfree(req);
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_set_profile_config failed with status = %d\n", __func__,
               status);
        vexo_set_fixed_status(VEXO_STATUS_SET_LAST_MAC);
        return 1;
    }
    return 0;
}

VEXO_status_t handle_NICPhysicalHBA_MACAddress(node *property, char *value, int type)
{
    node *owner = property ? property->parent : nullptr;
    if (!owner)
        return VEXO_STATUS_FAILURE;
    if (type == 0) {
        if (VEXO_get_nic_macaddress(owner, value) != 0)
            return VEXO_STATUS_FAILURE;
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    if (type == 1)
        return result_of(VEXO_set_nic_macaddress(owner, value));
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_NICPhysicalHBA_PermanentMACAddress(node *property, char *value, int type)
{
    node *owner = property ? property->parent : nullptr;
    if (!owner)
        return VEXO_STATUS_FAILURE;
    if (type == 0) {
        if (VEXO_get_last_configured_mac(owner, owner, value, VEXO_DRIVER_NIC) != 0)
            return VEXO_STATUS_FAILURE;
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    if (type != 1)
        return VEXO_STATUS_SUCCESS;
    if (VEXO_set_last_configured_mac(owner, owner, value, VEXO_DRIVER_NIC) != 0)
        return VEXO_STATUS_FAILURE;
    // Accepted by the write, so it parses; kept in the stored form.
    uint8_t mac[6] = {};
    validateMACAddress(value, mac);
    set_prop_val(owner, kPermanentMac, MAC_TEXT, MAC_BYTES(mac));
    vexo_set_fixed_status(VEXO_STATUS_CONFIG_STATE_CHANGED);
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_iSCSIPhysicalHBA_Network_NICConfiguration_MACAddress(node *property, char *value, int type)
{
    node *owner = property ? property->parent : nullptr;
    if (!owner)
        return VEXO_STATUS_FAILURE;
    if (type == 1) {
        // The current MAC of an iSCSI function is not changed here.
        vexo_set_fixed_status(VEXO_STATUS_SET_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    if (type != 0)
        return VEXO_STATUS_SUCCESS;
    if (VEXO_get_iscsi_ntwk_mac(get_port_number(property), get_domain_id(property), get_phba_port_number(property),
                                owner, property) != 0)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_iSCSIPhysicalHBA_Network_NICConfiguration_PermanentMACAddress(node *property, char *value,
                                                                                    int type)
{
    node *owner = property ? property->parent : nullptr;
    node *network = owner ? owner->parent : nullptr;
    node *function = network ? network->parent : nullptr;
    if (!function)
        return VEXO_STATUS_FAILURE;
    if (type == 0) {
        if (VEXO_get_last_configured_mac(function, owner, value, VEXO_DRIVER_ISCSI) != 0)
            return VEXO_STATUS_FAILURE;
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    if (type != 1)
        return VEXO_STATUS_SUCCESS;
    if (VEXO_set_last_configured_mac(function, owner, value, VEXO_DRIVER_ISCSI) != 0)
        return VEXO_STATUS_FAILURE;
    // The cached value shows what the configuration holds at the next read.
    vexo_set_fixed_status(VEXO_STATUS_CONFIG_STATE_CHANGED);
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}
