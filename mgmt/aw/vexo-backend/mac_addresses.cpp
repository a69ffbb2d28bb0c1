#include "mgmt/aw/vexo-backend/mac_addresses.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include <algorithm>

#include "mgmt/aw/vexo-backend/aw_config_resources.h"
#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
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

// A function number read in any base (0x.. hexadecimal, a leading 0 octal,
// else decimal); false for a negative value or trailing characters.
bool function_number_any_base(const char *text, uint32_t *pf)
{
    if (!text[0])
        return false;
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 0);
    if (errno != 0 || *end != '\0' || v < 0 || v > 0xFFFF)
        return false;
    *pf = static_cast<uint32_t>(v);
    return true;
}

// The factory MAC of PCI function `pf` from the adapter's type-9 MAC query,
// sent through `driver_type`. The answer holds functions 0 to 7 only; a
// higher number has no entry and fails like the query. 0, else the status.
VEXO_status_t factory_mac_from_query(node *function, int aw_port_number, uint32_t pf, int driver_type,
                                     uint8_t mac[6])
{
    NTWK_MAC_QUERY_PARAMS q;
    std::memset(&q, 0, sizeof q);
    q.request.type = 9;
    q.request.permanent = 0;
    VEXO_status_t status = ioctl_get_mac_query(aw_port_number, &q, get_domain_id(function),
                                               get_phba_port_number(function), driver_type);
    if (status != VEXO_STATUS_SUCCESS)
        return status;
    const size_t entries = sizeof q.response.seeprom_mac / sizeof q.response.seeprom_mac[0];
    if (pf >= entries)
        return VEXO_STATUS_FAILURE;
    std::memcpy(mac, q.response.seeprom_mac[pf].MACAddress, 6);
    return VEXO_STATUS_SUCCESS;
}

// NIC region objects: a 16-byte header whose 32-bit word at 4 counts the
// TLV bytes after it; each TLV is a type byte and a 16-bit length of the
// bytes after these 3.
const size_t kRegionHeader = 16;
const size_t kTlvHead = 3;
const size_t kReadObjectSize = 32876;
const size_t kObjectNameAt = 8;
const size_t kObjectNameSize = 104;
const size_t kWriteDataAt = 112;
const uint8_t kTlvNicMac = 0x20;
const uint8_t kTlvFcoeMac = 0x22;

// Region lengths from the adapter are bounded by the copy that was read.
bool region_name(char *out, int port, int partition)
{
    int n = std::snprintf(out, kObjectNameSize, "/nicdata/Port%d/Partition%d/Region1", port, partition);
    return n > 0 && static_cast<size_t>(n) < kObjectNameSize;
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

extern "C" int VEXO_update_fd_mac(int aw_port_number, node *phba, int driver_type)
{
    if (!phba)
        return 1;
    node *adapter = phba->parent;
    if (!adapter) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get AW node\n", __func__);
        return 1;
    }
    unsigned int domain = get_domain_id(phba);
    unsigned int phba_port = get_phba_port_number(phba);
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return 1;
    node *target = phba;
    if (driver_type == VEXO_DRIVER_ISCSI) {
        node *network = internal_get_node(phba, "Network", VEXO_NODE_GROUP);
        target = network ? internal_get_node(network, "NICConfiguration", VEXO_NODE_GROUP) : nullptr;
        if (!target)
            return 1;
    }
    node *pci = internal_get_node(phba, "PCI", VEXO_NODE_GROUP);
    if (!pci) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get pci node\n", __func__);
        return 1;
    }
    char pf_text[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(pci, "FunctionNumber", pf_text) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get function number\n", __func__);
        return 1;
    }
    uint32_t pf = 0;
    if (!function_number_any_base(pf_text, &pf)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: pf num is invalid\n", __func__);
        return 1;
    }
    uint8_t mac[6] = {};
    VEXO_status_t status = VEXO_STATUS_SUCCESS;
    if (family == AW_TYPE_AW2 || family == AW_TYPE_AW3) {
        status = factory_mac_from_query(phba, aw_port_number, pf, driver_type, mac);
    } else if (family == AW_TYPE_VARROW || family == AW_TYPE_TRELMONT) {
        NTWK_GET_MAC_LIST_PARAMS list;
        std::memset(&list, 0, sizeof list);
        list.request.mac_type = 9;
        list.request.permanent_override = 1;
        status = ioctl_get_mac_list(aw_port_number, &list, domain, phba_port, driver_type);
        if (status == VEXO_STATUS_SUCCESS)
            std::memcpy(mac, list.response.fd_mac_address.MACAddress, 6);
    } else {
        return 0;
    }
    if (status != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_MAC_QUERY);
        return 1;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:FDMACAddress = " MAC_TEXT "\n", __func__, MAC_BYTES(mac));
    return set_prop_val(target, "FactoryDefaultMACAddress", MAC_TEXT, MAC_BYTES(mac)) == VEXO_STATUS_SUCCESS ? 0 : 1;
}

namespace
{

// Both ResetMACAddress actions once the function and the group that carries
// PermanentMACAddress are known: the factory MAC of the type-9 query becomes
// the configured MAC.
VEXO_status_t reset_mac(node *function, node *target, node *action, int driver_type, const char *caller)
{
    node *pci = internal_get_node(function, "PCI", VEXO_NODE_GROUP);
    if (!pci) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get pci node\n", caller);
        return VEXO_STATUS_FAILURE;
    }
    char pf_text[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(pci, "FunctionNumber", pf_text) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get function number\n", caller);
        return VEXO_STATUS_FAILURE;
    }
    uint32_t pf = 0;
    if (!function_number_any_base(pf_text, &pf)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR,
               driver_type == VEXO_DRIVER_NIC ? "%s:pf num is invalid\n" : "%s: pf_num is invalid\n", caller);
        return VEXO_STATUS_FAILURE;
    }
    uint8_t mac[6] = {};
    if (factory_mac_from_query(action, get_port_number(action), pf, driver_type, mac) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_MAC_QUERY_SEEPROM);
        return VEXO_STATUS_FAILURE;
    }
    char text[VEXO_VALUE_SIZE];
    std::snprintf(text, sizeof text, MAC_TEXT, MAC_BYTES(mac));
    if (VEXO_set_last_configured_mac(function, target, text, driver_type) != 0) {
        if (driver_type == VEXO_DRIVER_NIC)
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:VEXO_set_last_configured_mac failed\n", caller);
        return VEXO_STATUS_FAILURE;
    }
    set_prop_val(target, kPermanentMac, "%s", text);
    vexo_set_fixed_status(VEXO_STATUS_CONFIG_STATE_CHANGED);
    return VEXO_STATUS_SUCCESS;
}

} // namespace

VEXO_status_t do_NICPhysicalHBA_ResetMACAddress(node *context, node *action, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!context || !action)
        return VEXO_STATUS_FAILURE;
    node *function = action->parent;
    if (!function || !function->parent)
        return VEXO_STATUS_FAILURE;
    return reset_mac(function, function, action, VEXO_DRIVER_NIC, __func__);
}

VEXO_status_t do_iSCSIPhysicalHBA_Network_NICConfiguration_ResetMACAddress(node *context, node *action,
                                                                           char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!context || !action)
        return VEXO_STATUS_FAILURE;
    node *config = action->parent;
    node *network = config ? config->parent : nullptr;
    node *function = network ? network->parent : nullptr;
    if (!function || !function->parent)
        return VEXO_STATUS_FAILURE;
    return reset_mac(function, config, action, VEXO_DRIVER_ISCSI, __func__);
}

VEXO_status_t handle_VolatileMACAddress(node *property, char *value, int type)
{
    node *owner = property ? property->parent : nullptr;
    node *function = owner ? owner->parent : nullptr;
    node *adapter = function ? function->parent : nullptr;
    if (!adapter || !value)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_AW2) {
        if (type == 1) {
            vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED);
            return VEXO_STATUS_FAILURE;
        }
        return VEXO_STATUS_SUCCESS;
    }
    int port = get_port_number(function);
    unsigned int domain = get_domain_id(function);
    unsigned int phba_port = get_phba_port_number(function);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:be_port_number = %d domainid = %d phba_port = %d\n", __func__, port,
           domain, phba_port);
    OEM_EXEC_CFG_CMD_PARAMS cfg;
    std::memset(&cfg, 0, sizeof cfg);
    if (type == 1) {
        if (vm_flag) {
            vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
            return VEXO_STATUS_FAILURE;
        }
        if (property->node_type == VEXO_NODE_PROPERTY && property->u.prop &&
            strcasecmp(value, property->u.prop->val) == 0)
            return VEXO_STATUS_SUCCESS;
        uint8_t mac[6];
        if (!validateMACAddress(value, mac)) {
            vexo_set_fixed_status(VEXO_STATUS_API_INVALID_VALUE);
            return VEXO_STATUS_FAILURE;
        }
        const uint32_t word = 0x80000000u | 0x1u; // set, macv
        std::memcpy(cfg.data, &word, sizeof word);
        std::memcpy(cfg.data + 4, mac, 6);
        if (ioctl_set_oem_exec_cfg(port, &cfg, domain, phba_port) != VEXO_STATUS_SUCCESS) {
            vexo_set_fixed_status(VEXO_STATUS_SET_VOLATILE_MAC_FAILED);
            return VEXO_STATUS_FAILURE;
        }
        return VEXO_STATUS_SUCCESS;
    }
    if (type != 0)
        return VEXO_STATUS_SUCCESS;
    if (vm_flag)
        std::snprintf(value, VEXO_VALUE_SIZE, "N/A");
    VEXO_status_t status = ioctl_get_oem_exec_cfg(port, &cfg, domain, phba_port);
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_oem_exec_cfg failed with status = %d\n", __func__,
               status);
        return VEXO_STATUS_FAILURE;
    }
    const uint8_t *mac = cfg.data + 4;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:VolatileMACAddress = " MAC_TEXT " \n", __func__, MAC_BYTES(mac));
    VEXO_status_t stored = set_prop_val(owner, "VolatileMACAddress", MAC_TEXT, MAC_BYTES(mac));
    answer_cached(property, value);
    return stored;
}

VEXO_status_t handle_ProfileManagement_ConfiguredProfile_Port_Function_MACAddress(node *property, char *value,
                                                                                 int type)
{
    node *fn = property ? property->parent : nullptr;
    node *port = fn ? fn->parent : nullptr;
    node *configured = port ? port->parent : nullptr;
    node *management = configured ? configured->parent : nullptr;
    node *adapter = management ? management->parent : nullptr;
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    if (type != 0)
        return VEXO_STATUS_SUCCESS;
    node *carrier = target_function(adapter);
    if (!carrier)
        return VEXO_STATUS_FAILURE;
    int be_port = get_port_number(carrier);
    unsigned int domain = get_domain_id(carrier);
    unsigned int phba_port = get_phba_port_number(carrier);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:domainid = %d be_port_number = %d phba_port = %d\n", __func__, domain,
           be_port, phba_port);
    char pf_text[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(fn, "FunctionNumber", pf_text) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get function number\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    uint32_t pf = 0;
    // The command header gets the number plus one from a signed byte.
    if (!function_number_any_base(pf_text, &pf) || pf > 126) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:pf num is invalid\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    NTWK_GET_MAC_LIST_PARAMS list;
    std::memset(&list, 0, sizeof list);
    list.request.mac_type = 9;
    list.request.permanent_override = 1;
    if (ioctl_get_macaddress_list(be_port, &list, domain, phba_port, adapter_driver(adapter),
                                  static_cast<int>(pf)) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_MAC_QUERY);
        return VEXO_STATUS_FAILURE;
    }
    const uint8_t *mac = list.response.fd_mac_address.MACAddress;
    if (set_prop_val(fn, "MACAddress", MAC_TEXT, MAC_BYTES(mac)) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

extern "C" uint8_t *VEXO_read_nic_region(int aw_port_number, unsigned int domainid, unsigned int phba_port, int port,
                                        int partition, uint32_t *size)
{
    char name[kObjectNameSize];
    if (!size || !region_name(name, port, partition))
        return nullptr;
    *size = 0;
    uint8_t *buf = static_cast<uint8_t *>(vexo_dmalloc(kReadObjectSize));
    if (!buf) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
        return nullptr;
    }
    std::memset(buf, 0, kReadObjectSize);
    std::memcpy(buf + kObjectNameAt, name, std::strlen(name) + 1);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:object name = %s\n", __func__, name);
    VEXO_status_t status =
        ioctl_common_read_object_version1(aw_port_number, reinterpret_cast<READ_OBJECT_PARAMS *>(buf),
                                          static_cast<uint16_t>(kReadObjectSize), domainid, phba_port,
                                          VEXO_DRIVER_NIC);
    uint8_t *region = nullptr;
    uint32_t actual = le32_at(buf);
    bool eof = (le32_at(buf + 4) & 0x80000000u) != 0;
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_common_read_object_version1 failed with status = %d\n",
               __func__, status);
    } else if (actual == 0) {
        // nothing stored
    } else if (!eof) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:eof not reached\n", __func__);
    } else if (actual > kReadObjectSize - kObjectNameAt) {
        // The firmware's length is bounded by the data the buffer holds.
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:read length %u exceeds the buffer\n", __func__, actual);
    } else if (!(region = static_cast<uint8_t *>(vexo_dmalloc(actual)))) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to allocate memory for nic region\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
    } else {
        std::memcpy(region, buf + kObjectNameAt, actual);
        *size = actual;
    }
    vexo_dfree(buf);
    return region;
}

extern "C" int VEXO_write_nic_region(int aw_port_number, unsigned int domainid, unsigned int phba_port, int port,
                                    int partition, const uint8_t *region, uint32_t size)
{
    char name[kObjectNameSize];
    if (!region || size < kRegionHeader || !region_name(name, port, partition))
        return 1;
    // What is written is the header and the TLV bytes it counts.
    uint32_t length = le32_at(region + 4);
    if (length > size - kRegionHeader)
        return 1;
    size_t total = length + 132;
    if (total > 0xFFFF)
        return 1;
    uint8_t *buf = static_cast<uint8_t *>(vexo_dmalloc(total));
    if (!buf) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
        return 1;
    }
    std::memset(buf, 0, total);
    uint32_t word = ((length + kRegionHeader) & 0xFFFFFFu) | 0x80000000u; // eof, noc 0
    std::memcpy(buf, &word, sizeof word);
    std::memcpy(buf + kObjectNameAt, name, std::strlen(name) + 1);
    std::memcpy(buf + kWriteDataAt, region, length + kRegionHeader);
    VEXO_status_t status =
        ioctl_common_write_object_version1(aw_port_number, reinterpret_cast<WRITE_OBJECT_PARAMS *>(buf),
                                           static_cast<uint16_t>(total), domainid, phba_port, VEXO_DRIVER_NIC);
    int result = 0;
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_common_write_object_version1 failed with status = %d\n",
               __func__, status);
        result = static_cast<int>(status);
    } else {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:change_status = %d actual_write_length = %u\n", __func__, buf[4],
               le32_at(buf));
    }
    vexo_dfree(buf);
    return result;
}

extern "C" int VEXO_reset_virt_mac(node *adapter, char virt_mode_flag)
{
    node *nic = adapter ? get_first_instance(adapter, "NICPhysicalHBA") : nullptr;
    node *management = adapter ? internal_get_node(adapter, "ProfileManagement", VEXO_NODE_GROUP) : nullptr;
    node *configured = management ? internal_get_node(management, "ConfiguredProfile", VEXO_NODE_GROUP) : nullptr;
    node *first_port = configured ? get_first_instance(configured, "Port") : nullptr;
    if (!nic || !first_port)
        return 1;
    int be_port = get_port_number(nic);
    unsigned int domain = get_domain_id(nic);
    unsigned int phba_port = get_phba_port_number(nic);
    int result = 0;
    for (node *port = first_port; port && vexo_is_instance(port); port = port->u.grp->multi_instance->next_instance) {
        int port_no = instance_number(port);
        node *first_fn = get_first_instance(port, "Function");
        if (!first_fn)
            return 1;
        for (node *fn = first_fn; fn && vexo_is_instance(fn); fn = fn->u.grp->multi_instance->next_instance) {
            int inst = instance_number(fn);
            if ((virt_mode_flag == 1 || virt_mode_flag == '1') && inst == 0)
                continue;
            int partition = inst + 1;
            char number[VEXO_VALUE_SIZE] = "";
            char mac_text[VEXO_VALUE_SIZE] = "";
            internal_get_property(fn, "FunctionNumber", number);
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:FunctionNumber = %s\n", __func__, number);
            uint8_t mac[6];
            if (internal_get_property(fn, "MACAddress", mac_text) != VEXO_STATUS_SUCCESS ||
                !validateMACAddress(mac_text, mac)) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:MACAddress validation failed for parition%d\n", __func__,
                       partition);
                continue;
            }
            uint32_t size = 0;
            uint8_t *region = VEXO_read_nic_region(be_port, domain, phba_port, port_no, partition, &size);
            if (!region) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Could not read nic tlv region for parition%d\n",
                       __func__, partition);
                continue;
            }
            uint32_t length = size >= kRegionHeader ? le32_at(region + 4) : 0;
            if (length == 0) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:The Length from NIC TLV's is zero for partition%d\n",
                       __func__, partition);
                vexo_dfree(region);
                continue;
            }
            // The TLVs are walked only as far as the copy holds them: the
            // header's length and each TLV's are the adapter's word.
            size_t end = kRegionHeader + std::min<size_t>(length, size - kRegionHeader);
            size_t at = kRegionHeader;
            long remaining = static_cast<long>(length);
            while (remaining > 0 && at + kTlvHead <= end) {
                uint8_t type = region[at];
                size_t tlv_len = region[at + 1] | static_cast<size_t>(region[at + 2]) << 8;
                if (type >= kTlvNicMac && type <= kTlvFcoeMac) {
                    if (at + 10 > end || tlv_len < 7) {
                        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:MAC TLV runs past the region for partition%d\n",
                               __func__, partition);
                        break;
                    }
                    char found[18];
                    std::snprintf(found, sizeof found, MAC_TEXT, MAC_BYTES(region + at + 4));
                    if (std::strcmp(found, mac_text) != 0) {
                        region[at + 3] = 1;
                        std::memcpy(region + at + 4, mac, 6);
                    } else {
                        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG,
                               "%s: MAC in NIC region same as factory default MAC\n", __func__);
                    }
                } else {
                    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:TLV type is not equal to NIC/iSCSI/FCoE MAC TLV\n",
                           __func__);
                }
                at += tlv_len + kTlvHead;
                remaining -= static_cast<long>(tlv_len + kTlvHead);
            }
            result = VEXO_write_nic_region(be_port, domain, phba_port, port_no, partition, region, size) != 0 ? 1 : 0;
            if (result != 0)
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to write nic region for partition%d\n", __func__,
                       partition);
            vexo_dfree(region);
        }
    }
    return result;
}
