#include "mgmt/aw/vexo-backend/iscsi_tcpip.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_convert.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

namespace
{

const uint32_t kIfIdSize = 132;
const uint32_t kIfInfoSize = 1296;
const uint32_t kActionAdd = 1;
const uint32_t kActionRemove = 2;
const uint32_t kVlanNone = 0xFFFF;

bool is_group(const node *n)
{
    return n && n->node_type == VEXO_NODE_GROUP && n->u.grp;
}

// The iSCSI function two levels above the TCPIPConfiguration group.
node *function_of(node *tcpip)
{
    node *network = tcpip ? tcpip->parent : nullptr;
    node *phba = network ? network->parent : nullptr;
    return is_group(phba) ? phba : nullptr;
}

int driver_index_of(node *phba)
{
    if (!is_group(phba) || !phba->u.grp->handle)
        return -1;
    return static_cast<node_handle *>(phba->u.grp->handle)->aw_port_number;
}

// Stores a fresh record, releasing the one of the previous reading.
bool bind_interface(node *tcpip, int aw_port_number, int32_t interface_handle)
{
    node_handle *h = static_cast<node_handle *>(vexo_dcalloc(sizeof(node_handle)));
    if (!h) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return false;
    }
    h->aw_port_number = aw_port_number;
    h->interface_handle = interface_handle;
    if (tcpip->u.grp->handle)
        vexo_dfree(tcpip->u.grp->handle);
    tcpip->u.grp->handle = h;
    return true;
}

bool read_sibling(node *group, const char *name, char *out)
{
    out[0] = '\0';
    return internal_get_property(group, name, out) == VEXO_STATUS_SUCCESS;
}

bool cached(node *group, const char *name, char *out)
{
    node *p = group ? internal_get_node(group, name, VEXO_NODE_PROPERTY) : nullptr;
    p = p ? vexo_resolve_link(p) : nullptr;
    if (!p || p->node_type != VEXO_NODE_PROPERTY || !p->u.prop)
        return false;
    vexo_copy_text(out, VEXO_VALUE_SIZE, p->u.prop->val);
    return true;
}

bool is_true(const char *text)
{
    return strcasecmp(text, "True") == 0;
}

// "0.0.0.0" in any case is the zero address; anything else must pass `rule`.
bool parse_param(const char *text, uint32_t rule, uint8_t out[4])
{
    std::memset(out, 0, 4);
    if (strcasecmp(text, "0.0.0.0") == 0)
        return true;
    return validateIPAddress(text, out, rule) == 1;
}

void dotted(const uint8_t *b, char *out, size_t size)
{
    std::snprintf(out, size, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
}

// The last status of a failed add, kept across the rollback's own commands.
void restore_status(VEXO_status_t code, const char *text)
{
    vexo_set_last_status(code, text);
}

} // namespace

node_handle *tcpip_interface(node *tcpip)
{
    return is_group(tcpip) ? static_cast<node_handle *>(tcpip->u.grp->handle) : nullptr;
}

VEXO_status_t send_gateway(int aw_port_number, unsigned int domainid, unsigned int phba_port, uint32_t action,
                           uint16_t size_of_structure, uint8_t ip_type, const uint8_t address[16])
{
    MODIFY_DEFAULT_ROUTE_PARAMS_IN req;
    std::memset(&req, 0, sizeof req);
    put_le32(req.data, action);
    IP_ADDRESS_FORMAT gw;
    std::memset(&gw, 0, sizeof gw);
    gw.SizeOfStructure = size_of_structure;
    gw.IPType = ip_type;
    std::memcpy(gw.IPAddress, address, sizeof gw.IPAddress);
    std::memcpy(req.data + 4, &gw, sizeof gw);
    return ioctl_set_default_gateway(aw_port_number, &req, domainid, phba_port);
}

VEXO_status_t read_gateway(int aw_port_number, unsigned int domainid, unsigned int phba_port, uint32_t ip_type,
                           IP_ADDRESS_FORMAT *out)
{
    GET_DEFAULT_ROUTE_PARAMS req;
    std::memset(&req, 0, sizeof req);
    put_le32(req.data, ip_type);
    VEXO_status_t st = ioctl_get_default_gateway(aw_port_number, &req, domainid, phba_port);
    if (st == VEXO_STATUS_SUCCESS)
        std::memcpy(out, req.data, sizeof *out);
    return st;
}

VEXO_status_t send_ip_record(int aw_port_number, unsigned int domainid, unsigned int phba_port, uint32_t action,
                             int32_t interface_handle, uint8_t ip_type, const uint8_t address[16],
                             const uint8_t mask[16], uint32_t *record_status)
{
    ISCSI_IP_ADDR_RECORD_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    rec.record_entry_count = 1;
    rec.ip_record.action = action;
    rec.ip_record.interface_hndl = static_cast<uint32_t>(interface_handle);
    rec.ip_record.ip_address.SizeOfStructure = sizeof(IP_ADDRESS_SUBNET_FORMAT);
    rec.ip_record.ip_address.IPType = ip_type;
    std::memcpy(rec.ip_record.ip_address.IPAddress, address, 16);
    if (mask)
        std::memcpy(rec.ip_record.ip_address.SubNetMask, mask, 16);
    VEXO_status_t st = ioctl_modify_ip_entry(aw_port_number, &rec, sizeof rec, domainid, phba_port);
    if (st == VEXO_STATUS_SUCCESS && record_status)
        *record_status = rec.ip_record.status;
    return st;
}

extern "C" int get_all_interfaces(int aw_port_number, unsigned int phba_port, unsigned int domainid, node *tcpip)
{
    if (!is_group(tcpip))
        return 1;
    GET_ALL_IF_ID_PARAMS *ids = static_cast<GET_ALL_IF_ID_PARAMS *>(vexo_dcalloc(kIfIdSize));
    if (!ids) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    if (ioctl_get_all_if_id(aw_port_number, ids, kIfIdSize, domainid, phba_port) != VEXO_STATUS_SUCCESS) {
        vexo_dfree(ids);
        vexo_set_fixed_status(VEXO_STATUS_GET_INTERFACE_ID);
        return 1;
    }
    // An empty list leaves handle 0.
    int32_t first = ids->response.if_count > 0 ? static_cast<int32_t>(ids->response.if_hndl_list[0]) : 0;
    vexo_dfree(ids);
    if (!bind_interface(tcpip, aw_port_number, first))
        return 1;
    return get_if_info_params(aw_port_number, first, tcpip, domainid, phba_port);
}

extern "C" int get_if_info_params(int aw_port_number, int32_t interface_handle, node *tcpip, unsigned int domainid,
                                  unsigned int phba_port)
{
    if (!tcpip)
        return 1;
    GET_IF_INFO_PARAMS *info = static_cast<GET_IF_INFO_PARAMS *>(vexo_dcalloc(kIfInfoSize));
    if (!info) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    info->request.interface_hndl = static_cast<uint32_t>(interface_handle);
    info->request.ip_type = IP_TYPE_V4;
    if (ioctl_get_if_info_params(aw_port_number, info, kIfInfoSize, domainid, phba_port) != VEXO_STATUS_SUCCESS) {
        vexo_dfree(info);
        vexo_set_fixed_status(VEXO_STATUS_GET_INTERFACE_INFO);
        return 1;
    }
    uint8_t zero[16] = {};
    const uint8_t *ip = zero, *mask = zero;
    if (info->response.ip_address_count > 0) {
        ip = info->response.ip_address[0].IPAddress;
        mask = info->response.ip_address[0].SubNetMask;
    }
    char text[32];
    dotted(ip, text, sizeof text);
    int r = set_prop_val(tcpip, "InitiatorIPAddress", "%s", text) == VEXO_STATUS_SUCCESS ? 0 : 1;
    dotted(mask, text, sizeof text);
    r |= set_prop_val(tcpip, "InitiatorSubnetMask", "%s", text) == VEXO_STATUS_SUCCESS ? 0 : 1;
    uint32_t dhcp = info->response.dhcp_state;
    uint32_t vlan = info->response.vlan_priority;
    vexo_dfree(info);
    if (r)
        return 1;
    if (set_prop_val(tcpip, "DHCPEnabled", "%s", dhcp ? "True" : "False") != VEXO_STATUS_SUCCESS)
        return 1;
    if (vlan == kVlanNone) {
        set_prop_val(tcpip, "VLANEnabled", "%s", "False");
        set_prop_val(tcpip, "VLANId", "%s", "");
        return set_prop_val(tcpip, "Priority", "%s", "") == VEXO_STATUS_SUCCESS ? 0 : 1;
    }
    set_prop_val(tcpip, "VLANEnabled", "%s", "True");
    set_prop_val(tcpip, "VLANId", "%u", vlan & 0xFFFu);
    return set_prop_val(tcpip, "Priority", "%u", (vlan >> 13) & 0x7u) == VEXO_STATUS_SUCCESS ? 0 : 1;
}

extern "C" int check_for_boot_session(node *iscsi_phba, unsigned int)
{
    if (!iscsi_phba)
        return 0;
    for (node *l = get_first_instance(iscsi_phba, "LogicalHBA"); l && vexo_is_instance(l);
         l = l->u.grp->multi_instance->next_instance) {
        for (node *t = get_first_instance(l, "Target"); t && vexo_is_instance(t);
             t = t->u.grp->multi_instance->next_instance) {
            for (node *s = get_first_instance(t, "Session"); s && vexo_is_instance(s);
                 s = s->u.grp->multi_instance->next_instance) {
                char boot[VEXO_VALUE_SIZE];
                if (!read_sibling(s, "iSCSIBoot", boot))
                    continue;
                if (is_true(boot)) {
                    vexo_set_fixed_status(VEXO_STATUS_BOOT_SESSION_PRESENT);
                    return 1;
                }
            }
        }
    }
    return 0;
}

extern "C" int VEXO_delete_ip_from_firmware(int aw_port_number, int32_t interface_handle, node *, unsigned int domainid,
                                            unsigned int phba_port, const uint8_t ipaddress[16],
                                            const uint8_t subnetmask[16])
{
    if (send_ip_record(aw_port_number, domainid, phba_port, kActionRemove, interface_handle, IP_TYPE_V4, ipaddress,
                       subnetmask, nullptr) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_MODIFY_IP_RECORD);
        return 1;
    }
    return 0;
}

extern "C" int vexo_getip(const char *text, uint32_t out[4])
{
    if (!text || !out)
        return 1;
    const char *p = text;
    for (int i = 0; i < 4; ++i) {
        if (*p < '0' || *p > '9')
            return 1;
        char *end = nullptr;
        unsigned long v = std::strtoul(p, &end, 10);
        if (v > 255 || end - p > 3)
            return 1;
        out[i] = static_cast<uint32_t>(v);
        p = end;
        if (i < 3) {
            if (*p != '.')
                return 1;
            ++p;
        }
    }
    return *p == '\0' ? 0 : 1;
}

extern "C" void vexo_bin(uint32_t value, uint8_t bits[8])
{
    if (!bits)
        return;
    for (int i = 0; i < 8; ++i)
        bits[i] = static_cast<uint8_t>((value >> (7 - i)) & 1u);
}

VEXO_status_t handle_tcpip_properties(node *property, char *value, int)
{
    node *tcpip = property ? property->parent : nullptr;
    node *phba = function_of(tcpip);
    if (!phba)
        return VEXO_STATUS_FAILURE;
    if (get_all_interfaces(driver_index_of(phba), get_phba_port_number(property), get_domain_id(property), tcpip) != 0)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_DefaultGateway(node *property, char *value, int type)
{
    node *tcpip = property ? property->parent : nullptr;
    if (!tcpip || !value)
        return VEXO_STATUS_FAILURE;
    int aw = get_port_number(property);
    unsigned int domain = get_domain_id(property), port = get_phba_port_number(property);
    IP_ADDRESS_FORMAT current;
    if (read_gateway(aw, domain, port, IP_TYPE_V4, &current) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "Get Def Gateway failed!!\n");
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_GET_GATEWAY);
        return VEXO_STATUS_FAILURE;
    }
    if (type == 0) {
        VEXO_status_t r = set_prop_val(tcpip, "DefaultGateway", "%d.%d.%d.%d", current.IPAddress[0],
                                       current.IPAddress[1], current.IPAddress[2], current.IPAddress[3]);
        answer_cached(property, value);
        return r;
    }
    if (type != 1)
        return VEXO_STATUS_SUCCESS;
    char text[VEXO_VALUE_SIZE];
    if (!read_sibling(tcpip, "DHCPEnabled", text))
        return VEXO_STATUS_FAILURE;
    if (is_true(text)) {
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_SET_DEFAULT_GATEWAY);
        return VEXO_STATUS_FAILURE;
    }
    if (!read_sibling(tcpip, "InitiatorIPAddress", text) || !read_sibling(tcpip, "InitiatorSubnetMask", text))
        return VEXO_STATUS_FAILURE;
    uint8_t fresh[16] = {};
    if (validateIPAddress(value, fresh, VEXO_IP_HOST) != 1) {
        vexo_set_fixed_status(VEXO_STATUS_API_INVALID_VALUE);
        return VEXO_STATUS_FAILURE;
    }
    uint32_t parts[4] = {};
    uint8_t bits[8];
    if (vexo_getip(value, parts) == 0)
        for (uint32_t part : parts)
            vexo_bin(part, bits);
    bool removed = false;
    if (current.IPAddress[0] != 0) {
        if (send_gateway(aw, domain, port, kActionRemove, 0, IP_TYPE_V4, current.IPAddress) != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "Could not DEL the old address!!\n");
            vexo_set_fixed_status(VEXO_STATUS_CANNOT_SET_GATEWAY);
            return VEXO_STATUS_FAILURE;
        }
        removed = true;
    }
    if (send_gateway(aw, domain, port, kActionAdd, sizeof(IP_ADDRESS_FORMAT), IP_TYPE_V4, fresh) !=
        VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "Could not ADD the new address!!\n");
        // The port is not left without its gateway.
        if (removed)
            send_gateway(aw, domain, port, kActionAdd, sizeof(IP_ADDRESS_FORMAT), IP_TYPE_V4, current.IPAddress);
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_SET_GATEWAY);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_ConfigureIPAddress(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node_handle *h = tcpip_interface(context);
    if (!h)
        return VEXO_STATUS_FAILURE;
    int aw = h->aw_port_number;
    int32_t ifh = h->interface_handle;
    unsigned int domain = get_domain_id(context), port = get_phba_port_number(context);
    char text[VEXO_VALUE_SIZE];
    if (!read_sibling(context, "DHCPEnabled", text))
        return VEXO_STATUS_FAILURE;
    if (is_true(text)) {
        vexo_set_fixed_status(VEXO_STATUS_ENABLED_DHCP);
        return VEXO_STATUS_FAILURE;
    }
    if (check_for_boot_session(function_of(context), domain) != 0)
        return VEXO_STATUS_FAILURE;
    uint8_t ip[16] = {}, mask[16] = {};
    if (!parse_param(params[0], VEXO_IP_HOST, ip) || !parse_param(params[1], VEXO_IP_SUBNET_MASK, mask)) {
        vexo_set_fixed_status(VEXO_STATUS_API_INVALID_VALUE);
        return VEXO_STATUS_FAILURE;
    }
    char old_ip_text[VEXO_VALUE_SIZE], old_mask_text[VEXO_VALUE_SIZE];
    if (!cached(context, "InitiatorIPAddress", old_ip_text) || !cached(context, "InitiatorSubnetMask", old_mask_text))
        return VEXO_STATUS_FAILURE;
    if (std::strcmp(old_ip_text, params[0]) == 0 && std::strcmp(old_mask_text, params[1]) == 0) {
        vexo_set_fixed_status(VEXO_STATUS_ALREADY_CONFIGURED_IP);
        return VEXO_STATUS_SUCCESS;
    }
    uint8_t old_ip[16] = {}, old_mask[16] = {};
    bool removed = false;
    if (validateIPAddress(old_ip_text, old_ip, VEXO_IP_HOST) == 1 &&
        validateIPAddress(old_mask_text, old_mask, VEXO_IP_ANY_NONZERO) == 1) {
        int r = VEXO_delete_ip_from_firmware(aw, ifh, context, domain, port, old_ip, old_mask);
        if (r != 0)
            return VEXO_STATUS_FAILURE;
        removed = true;
    }
    uint32_t record_status = 0;
    if (send_ip_record(aw, domain, port, kActionAdd, ifh, IP_TYPE_V4, ip, mask, &record_status) !=
        VEXO_STATUS_SUCCESS) {
        // The interface is not left without its address.
        if (removed)
            send_ip_record(aw, domain, port, kActionAdd, ifh, IP_TYPE_V4, old_ip, old_mask, nullptr);
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_MODIFY_IP_RECORD);
        return VEXO_STATUS_FAILURE;
    }
    if (record_status == 47) {
        // A duplicate address on the network is a failure, not a success.
        vexo_set_fixed_status(VEXO_STATUS_IPADDR_DUP_DETECTED);
        return VEXO_STATUS_FAILURE;
    }
    if (record_status == 11 || record_status == 13)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_modify_ip_entry succeded,but the status of the given IP is %d\n",
               __func__, static_cast<int>(record_status));
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_DHCPEnable(node *context, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node_handle *h = tcpip_interface(context);
    if (!h)
        return VEXO_STATUS_FAILURE;
    char text[VEXO_VALUE_SIZE];
    if (!read_sibling(context, "DHCPEnabled", text))
        return VEXO_STATUS_FAILURE;
    if (is_true(text)) {
        vexo_set_fixed_status(VEXO_STATUS_ALREADY_CONFIGURED_DHCP);
        return VEXO_STATUS_SUCCESS;
    }
    // The read above rebinds the group: take the record it left.
    h = tcpip_interface(context);
    if (!h)
        return VEXO_STATUS_FAILURE;
    int aw = h->aw_port_number;
    int32_t ifh = h->interface_handle;
    unsigned int domain = get_domain_id(context), port = get_phba_port_number(context);
    char ip_text[VEXO_VALUE_SIZE], mask_text[VEXO_VALUE_SIZE], gw_text[VEXO_VALUE_SIZE];
    if (!cached(context, "InitiatorIPAddress", ip_text) || !cached(context, "InitiatorSubnetMask", mask_text) ||
        !cached(context, "DefaultGateway", gw_text))
        return VEXO_STATUS_FAILURE;
    if (check_for_boot_session(function_of(context), domain) != 0)
        return VEXO_STATUS_FAILURE;
    uint8_t ip[16] = {}, mask[16] = {}, gw[16] = {};
    bool ip_removed = false, gw_removed = false;
    if (validateIPAddress(ip_text, ip, VEXO_IP_HOST) == 1 && validateIPAddress(mask_text, mask, VEXO_IP_ANY_NONZERO) == 1) {
        int r = VEXO_delete_ip_from_firmware(aw, ifh, context, domain, port, ip, mask);
        if (r != 0)
            return VEXO_STATUS_FAILURE;
        ip_removed = true;
    }
    if (validateIPAddress(gw_text, gw, VEXO_IP_HOST) == 1) {
        if (send_gateway(aw, domain, port, kActionRemove, 0, IP_TYPE_V4, gw) != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "In %s: Could not delete the old default gateway address\n",
                   __func__);
            if (ip_removed)
                send_ip_record(aw, domain, port, kActionAdd, ifh, IP_TYPE_V4, ip, mask, nullptr);
            vexo_set_fixed_status(VEXO_STATUS_CANNOT_SET_GATEWAY);
            return VEXO_STATUS_FAILURE;
        }
        gw_removed = true;
    }
    CONFIGURE_STATELESS_IP_ADDR_PARAMS_IN req;
    std::memset(&req, 0, sizeof req);
    put_le32(req.data, static_cast<uint32_t>(ifh));
    put_le32(req.data + 4, IP_TYPE_DHCP);
    put_le32(req.data + 8, 1);
    put_le32(req.data + 12, 1);
    if (ioctl_config_dhcp(aw, &req, domain, port) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_config_dhcp failed\n", __func__);
        // The static settings come back; the transport's status stays.
        VEXO_status_t code = vexo_last_status_code;
        char saved[VEXO_LAST_STATUS_SIZE];
        vexo_copy_text(saved, sizeof saved, vexo_last_status_string);
        if (ip_removed)
            send_ip_record(aw, domain, port, kActionAdd, ifh, IP_TYPE_V4, ip, mask, nullptr);
        if (gw_removed)
            send_gateway(aw, domain, port, kActionAdd, sizeof(IP_ADDRESS_FORMAT), IP_TYPE_V4, gw);
        restore_status(code == VEXO_STATUS_SUCCESS ? VEXO_STATUS_CANNOT_ENABLE_DHCP : code,
                       code == VEXO_STATUS_SUCCESS ? vexo_status_message(VEXO_STATUS_CANNOT_ENABLE_DHCP) : saved);
        return VEXO_STATUS_FAILURE;
    }
    if (!read_sibling(context, "DHCPEnabled", text))
        return VEXO_STATUS_FAILURE;
    if (strcasecmp(text, "False") == 0) {
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_ENABLE_DHCP);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_DHCPDisable(node *context, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node_handle *h = tcpip_interface(context);
    if (!h)
        return VEXO_STATUS_FAILURE;
    unsigned int domain = get_domain_id(context), port = get_phba_port_number(context);
    if (check_for_boot_session(function_of(context), domain) != 0)
        return VEXO_STATUS_FAILURE;
    RELEASE_STATELESS_IP_ADDR_PARAMS_IN req;
    std::memset(&req, 0, sizeof req);
    put_le32(req.data, static_cast<uint32_t>(h->interface_handle));
    put_le32(req.data + 4, IP_TYPE_DHCP);
    if (ioctl_release_dhcp(h->aw_port_number, &req, domain, port) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_DISABLE_DHCP);
        return VEXO_STATUS_FAILURE;
    }
    int r = set_prop_val(context, "DHCPEnabled", "%s", "False") != VEXO_STATUS_SUCCESS;
    r |= set_prop_val(context, "InitiatorIPAddress", "%s", "0.0.0.0") != VEXO_STATUS_SUCCESS;
    r |= set_prop_val(context, "InitiatorSubnetMask", "%s", "0.0.0.0") != VEXO_STATUS_SUCCESS;
    return r ? VEXO_STATUS_FAILURE : VEXO_STATUS_SUCCESS;
}

namespace
{

VEXO_status_t set_vlan(node *context, uint32_t word)
{
    node_handle *h = tcpip_interface(context);
    if (!h)
        return VEXO_STATUS_FAILURE;
    unsigned int domain = get_domain_id(context), port = get_phba_port_number(context);
    VLAN_SET_PARAMS_IN req;
    std::memset(&req, 0, sizeof req);
    put_le32(req.data, static_cast<uint32_t>(h->interface_handle));
    put_le32(req.data + 4, word);
    if (ioctl_set_vlan_params(h->aw_port_number, &req, domain, port) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_SET_VLAN);
        return VEXO_STATUS_FAILURE;
    }
    return get_if_info_params(h->aw_port_number, h->interface_handle, context, domain, port) == 0
               ? VEXO_STATUS_SUCCESS
               : VEXO_STATUS_FAILURE;
}

} // namespace

VEXO_status_t do_ConfigureVLAN(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    uint32_t id = static_cast<uint32_t>(std::strtoul(params[0], nullptr, 10)) & 0xFFFu;
    uint32_t priority = params[1][0] ? static_cast<uint32_t>(std::strtoul(params[1], nullptr, 10)) & 0x7u : 0;
    return set_vlan(context, priority << 13 | id);
}

VEXO_status_t do_VLANDisable(node *context, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    return set_vlan(context, kVlanNone);
}

VEXO_status_t do_DeleteDefaultGateway(node *context, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node_handle *h = tcpip_interface(context);
    if (!h)
        return VEXO_STATUS_FAILURE;
    int aw = h->aw_port_number;
    char text[VEXO_VALUE_SIZE];
    if (!read_sibling(context, "DHCPEnabled", text))
        return VEXO_STATUS_FAILURE;
    if (is_true(text)) {
        vexo_set_fixed_status(VEXO_STATUS_ENABLED_DHCP);
        return VEXO_STATUS_FAILURE;
    }
    if (!read_sibling(context, "DefaultGateway", text))
        return VEXO_STATUS_FAILURE;
    uint8_t gw[16] = {};
    if (validateIPAddress(text, gw, VEXO_IP_HOST) != 1)
        return VEXO_STATUS_SUCCESS;
    if (send_gateway(aw, get_domain_id(context), get_phba_port_number(context), kActionRemove, 0, IP_TYPE_V4, gw) !=
        VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "Could not DEL the old address!!\n");
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_SET_GATEWAY);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}
