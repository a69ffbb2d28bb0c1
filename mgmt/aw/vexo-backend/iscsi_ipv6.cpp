#include "mgmt/aw/vexo-backend/iscsi_ipv6.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/iscsi_tcpip.h"
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
const uint16_t kGatewaySize = sizeof(IP_ADDRESS_FORMAT);

node *adapter_above(node *n)
{
    node *root = get_node(0);
    while (n && n->parent && n->parent != root && n->parent != n)
        n = n->parent;
    return n && n->parent == root ? n : nullptr;
}

bool lacks_ipv6(node *n)
{
    node *adapter = adapter_above(n);
    int family = adapter ? get_aw_type(adapter) : 0;
    return family == AW_TYPE_AW2 || family == AW_TYPE_AW3;
}

// The IPv6 group's TCPIPConfiguration record.
node_handle *interface_of(node *ipv6config)
{
    return ipv6config ? tcpip_interface(ipv6config->parent) : nullptr;
}

// Full form of 16 address bytes; the all-zero text for no address.
void full_text(const uint8_t *bytes, char out[VEXO_IPV6_TEXT_SIZE])
{
    U8IPv6ToStr(bytes, out);
    if (out[0] == '\0' || validateIPv6Address(out) != VEXO_STATUS_SUCCESS)
        std::snprintf(out, VEXO_IPV6_TEXT_SIZE, "%s", IPV6_NO_ADDRESS);
}

// The first 39 characters of a text in a buffer the IPv6 check can normalise.
void cut_text(const char *in, char out[VEXO_IPV6_TEXT_SIZE])
{
    std::snprintf(out, VEXO_IPV6_TEXT_SIZE, "%.39s", in ? in : "");
}

bool text_to_bytes(const char *text, uint8_t out[16])
{
    char work[VEXO_IPV6_TEXT_SIZE];
    cut_text(text, work);
    std::memset(out, 0, 16);
    if (validateIPv6Address(work) != VEXO_STATUS_SUCCESS)
        return false;
    StrToU8IPv6(work, out);
    return true;
}

void answer_na(node *property, char *value)
{
    SET_CACHE_PROP_VAL(property, "%s", "N/A");
    answer_cached(property, value);
}

void keep_status(VEXO_status_t *code, char text[VEXO_LAST_STATUS_SIZE])
{
    *code = vexo_last_status_code;
    vexo_copy_text(text, VEXO_LAST_STATUS_SIZE, vexo_last_status_string);
}

// Removes the gateway the group shows; the removed text goes to `removed`
// (empty when nothing was removed). 0 or 1.
int remove_gateway(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *ipv6config,
                   char removed[VEXO_IPV6_TEXT_SIZE])
{
    removed[0] = '\0';
    if (!ipv6config)
        return 1;
    char text[VEXO_VALUE_SIZE] = {};
    if (internal_get_property(ipv6config, "DefaultIPv6Gateway", text) != VEXO_STATUS_SUCCESS)
        return 1;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:Gateway = %s\n", __func__, text);
    uint8_t bytes[16];
    char work[VEXO_IPV6_TEXT_SIZE];
    cut_text(text, work);
    if (std::strcmp(work, IPV6_NO_ADDRESS) == 0 || !text_to_bytes(text, bytes))
        return 0;
    if (send_gateway(aw_port_number, domainid, phba_port, kActionRemove, kGatewaySize, IP_TYPE_V6, bytes) !=
        VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_SET_GATEWAY);
        return 1;
    }
    std::snprintf(removed, VEXO_IPV6_TEXT_SIZE, "%s", work);
    return 0;
}

int remove_address(node *group, const char *property_name, uint32_t ip_type, int aw_port_number,
                   unsigned int domainid, unsigned int phba_port, int32_t interface_handle,
                   char removed[VEXO_IPV6_TEXT_SIZE])
{
    removed[0] = '\0';
    if (!group || !property_name)
        return 0;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:iptype = %u, property = %s\n", __func__, ip_type, property_name);
    char text[VEXO_VALUE_SIZE] = {};
    if (internal_get_property(group, property_name, text) != VEXO_STATUS_SUCCESS)
        return 1;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:address = %s\n", __func__, text);
    char work[VEXO_IPV6_TEXT_SIZE];
    cut_text(text, work);
    if (std::strcmp(work, IPV6_NO_ADDRESS) == 0)
        return 0;
    uint8_t bytes[16];
    if (!text_to_bytes(text, bytes)) {
        vexo_set_last_status(VEXO_STATUS_INVALID_VALUE, "Invalid Value.");
        return 0;
    }
    if (send_ip_record(aw_port_number, domainid, phba_port, kActionRemove, interface_handle,
                       static_cast<uint8_t>(ip_type), bytes, nullptr, nullptr) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:ioctl_modify_ip_entry failed\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_MODIFY_IP_RECORD);
        return 1;
    }
    validateIPv6Address(work);
    std::snprintf(removed, VEXO_IPV6_TEXT_SIZE, "%s", work);
    return 0;
}

// Puts a removed address or gateway back after a later step failed.
void put_back_address(int aw, unsigned int domain, unsigned int port, int32_t ifh, uint32_t type, const char *text)
{
    uint8_t bytes[16];
    if (text[0] && text_to_bytes(text, bytes))
        send_ip_record(aw, domain, port, kActionAdd, ifh, static_cast<uint8_t>(type), bytes, nullptr, nullptr);
}

void put_back_gateway(int aw, unsigned int domain, unsigned int port, const char *text)
{
    uint8_t bytes[16];
    if (text[0] && text_to_bytes(text, bytes))
        send_gateway(aw, domain, port, kActionAdd, kGatewaySize, IP_TYPE_V6, bytes);
}

} // namespace

extern "C" int VEXO_get_IPv6configuration_properties(int aw_port_number, unsigned int domainid, unsigned int phba_port,
                                                     uint32_t ip_type, char *address, int flag)
{
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
    uint32_t first = ids->response.if_count > 0 ? ids->response.if_hndl_list[0] : 0;
    vexo_dfree(ids);
    GET_IF_INFO_PARAMS *info = static_cast<GET_IF_INFO_PARAMS *>(vexo_dcalloc(kIfInfoSize));
    if (!info) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    info->request.interface_hndl = first;
    info->request.ip_type = IP_TYPE_V6;
    if (ioctl_get_if_info_params(aw_port_number, info, kIfInfoSize, domainid, phba_port) != VEXO_STATUS_SUCCESS) {
        vexo_dfree(info);
        vexo_set_fixed_status(VEXO_STATUS_GET_INTERFACE_INFO);
        return 1;
    }
    uint32_t count = info->response.ip_address_count;
    if (count > IF_ADDRESS_ROOM)
        count = IF_ADDRESS_ROOM;
    for (uint32_t i = 0; i < count; ++i) {
        const IP_ADDRESS_SUBNET_FORMAT &e = info->response.ip_address[i];
        if (e.IPType != ip_type)
            continue;
        if ((ip_type == IP_TYPE_V6_STATIC || ip_type == IP_TYPE_V6_AUTO) && flag == 1) {
            flag = 2;
            continue;
        }
        if (address)
            full_text(e.IPAddress, address);
        break;
    }
    vexo_dfree(info);
    return 0;
}

extern "C" int VEXO_delete_ipv6_address(node *group, const char *property_name, uint32_t ip_type, int aw_port_number,
                                        unsigned int domainid, unsigned int phba_port, int32_t interface_handle)
{
    char removed[VEXO_IPV6_TEXT_SIZE];
    return remove_address(group, property_name, ip_type, aw_port_number, domainid, phba_port, interface_handle,
                          removed);
}

extern "C" int VEXO_delete_IPv6Gateway(int aw_port_number, unsigned int domainid, unsigned int phba_port,
                                       node *ipv6config)
{
    char removed[VEXO_IPV6_TEXT_SIZE];
    return remove_gateway(aw_port_number, domainid, phba_port, ipv6config, removed);
}

VEXO_status_t handle_IPv6State(node *property, char *value, int)
{
    if (!property)
        return VEXO_STATUS_FAILURE;
    if (lacks_ipv6(property)) {
        answer_na(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    int aw = get_port_number(property);
    unsigned int domain = get_domain_id(property), port = get_phba_port_number(property);
    VEXO_status_t r = VEXO_STATUS_SUCCESS;
    GET_ALL_IF_ID_PARAMS *ids = static_cast<GET_ALL_IF_ID_PARAMS *>(vexo_dcalloc(kIfIdSize));
    GET_IF_INFO_PARAMS_V1 *info = static_cast<GET_IF_INFO_PARAMS_V1 *>(vexo_dcalloc(kIfInfoSize));
    if (!ids || !info) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        r = VEXO_STATUS_FAILURE;
    } else if (ioctl_get_all_if_id(aw, ids, kIfIdSize, domain, port) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_GET_INTERFACE_ID);
        r = VEXO_STATUS_FAILURE;
    } else {
        info->request.interface_hndl = ids->response.if_count > 0 ? ids->response.if_hndl_list[0] : 0;
        info->request.ip_type = IP_TYPE_V6;
        VEXO_status_t st = ioctl_get_if_info_params_v1(aw, info, kIfInfoSize, domain, port);
        if (st == VEXO_STATUS_INVALID_REQUEST) {
            SET_CACHE_PROP_VAL(property, "%s", "N/A");
        } else if (st != VEXO_STATUS_SUCCESS) {
            vexo_set_fixed_status(VEXO_STATUS_GET_INTERFACE_INFO);
            r = VEXO_STATUS_FAILURE;
        } else {
            uint16_t states = info->response.config_states;
            if (states & 0x400)
                SET_CACHE_PROP_VAL(property, "%s", "AutoAssign");
            else if (states & 0x200)
                SET_CACHE_PROP_VAL(property, "%s", "DHCP");
            else if (states & 0x100)
                SET_CACHE_PROP_VAL(property, "%s", "Static");
        }
    }
    vexo_dfree(ids);
    vexo_dfree(info);
    answer_cached(property, value);
    return r;
}

VEXO_status_t handle_InitiatorLinkLocalAddress(node *property, char *value, int)
{
    if (!property)
        return VEXO_STATUS_FAILURE;
    if (lacks_ipv6(property)) {
        answer_na(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    char address[VEXO_IPV6_TEXT_SIZE];
    std::snprintf(address, sizeof address, "%s", IPV6_NO_ADDRESS);
    // An unreadable interface is reported with the reader's status.
    if (VEXO_get_IPv6configuration_properties(get_port_number(property), get_domain_id(property),
                                              get_phba_port_number(property), IP_TYPE_V6_LINK_LOCAL, address,
                                              0) != 0)
        return VEXO_STATUS_FAILURE;
    if (SET_CACHE_PROP_VAL(property, "%s", address) < 0)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_InitiatorRoutableAddress(node *property, char *value, int)
{
    node *ipv6config = property ? property->parent : nullptr;
    node *tcpip = ipv6config ? ipv6config->parent : nullptr;
    node *network = tcpip ? tcpip->parent : nullptr;
    if (!network || !network->parent || !property->node_name)
        return VEXO_STATUS_FAILURE;
    char state[VEXO_VALUE_SIZE] = {};
    internal_get_property(ipv6config, "IPv6State", state);
    uint32_t type = strcasecmp(state, "Static") == 0 ? IP_TYPE_V6_STATIC : IP_TYPE_V6_AUTO;
    int flag = strcasecmp(property->node_name, "InitiatorRoutableAddress1") == 0 ? 0 : 1;
    char address[VEXO_IPV6_TEXT_SIZE];
    std::snprintf(address, sizeof address, "%s", IPV6_NO_ADDRESS);
    if (VEXO_get_IPv6configuration_properties(get_port_number(property), get_domain_id(property),
                                              get_phba_port_number(property), type, address, flag) != 0) {
        // The cached value is shown, but the failure is not hidden.
        answer_cached(property, value);
        return VEXO_STATUS_FAILURE;
    }
    SET_CACHE_PROP_VAL(property, "%s", address);
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_DefaultIPv6Gateway(node *property, char *value, int type)
{
    if (!property || !value)
        return VEXO_STATUS_FAILURE;
    if (lacks_ipv6(property)) {
        answer_na(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    int aw = get_port_number(property);
    unsigned int domain = get_domain_id(property), port = get_phba_port_number(property);
    if (type == 0) {
        IP_ADDRESS_FORMAT gw;
        if (read_gateway(aw, domain, port, IP_TYPE_V6, &gw) != VEXO_STATUS_SUCCESS) {
            vexo_set_fixed_status(VEXO_STATUS_CANNOT_GET_GATEWAY);
            return VEXO_STATUS_FAILURE;
        }
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:IPType = %d\n", __func__, gw.IPType);
        char text[VEXO_IPV6_TEXT_SIZE];
        full_text(gw.IPAddress, text);
        SET_CACHE_PROP_VAL(property, "%s", text);
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    if (type != 1)
        return VEXO_STATUS_SUCCESS;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:value = %s\n", __func__, value);
    char work[VEXO_IPV6_TEXT_SIZE];
    cut_text(value, work);
    uint8_t bytes[16] = {};
    if (validateIPv6Address(work) != VEXO_STATUS_SUCCESS || std::strcmp(work, IPV6_NO_ADDRESS) == 0) {
        vexo_set_fixed_status(VEXO_STATUS_API_INVALID_VALUE);
        return VEXO_STATUS_FAILURE;
    }
    StrToU8IPv6(work, bytes);
    char removed[VEXO_IPV6_TEXT_SIZE];
    if (remove_gateway(aw, domain, port, property->parent, removed) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Deleteing Gateway Address failed.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    if (send_gateway(aw, domain, port, kActionAdd, kGatewaySize, IP_TYPE_V6, bytes) != VEXO_STATUS_SUCCESS) {
        // The port is not left without its gateway.
        put_back_gateway(aw, domain, port, removed);
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_SET_GATEWAY);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_DeleteDefaultIPv6Gateway(node *context, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (lacks_ipv6(context)) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    node_handle *h = interface_of(context);
    if (!h)
        return VEXO_STATUS_FAILURE;
    return VEXO_delete_IPv6Gateway(h->aw_port_number, get_domain_id(context), get_phba_port_number(context),
                                   context) == 0
               ? VEXO_STATUS_SUCCESS
               : VEXO_STATUS_FAILURE;
}

VEXO_status_t do_AutoAssignEnable(node *context, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (lacks_ipv6(context)) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    node_handle *h = interface_of(context);
    if (!h)
        return VEXO_STATUS_FAILURE;
    int aw = h->aw_port_number;
    int32_t ifh = h->interface_handle;
    unsigned int domain = get_domain_id(context), port = get_phba_port_number(context);
    char gw[VEXO_IPV6_TEXT_SIZE], second[VEXO_IPV6_TEXT_SIZE], first[VEXO_IPV6_TEXT_SIZE];
    if (remove_gateway(aw, domain, port, context, gw) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Deleteing Gateway Address failed.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    remove_address(context, "InitiatorRoutableAddress2", IP_TYPE_V6_STATIC, aw, domain, port, ifh, second);
    remove_address(context, "InitiatorRoutableAddress1", IP_TYPE_V6_STATIC, aw, domain, port, ifh, first);
    // "Auto" and "DHCP" ask for the same automatic assignment.
    CONFIGURE_STATELESS_IP_ADDR_PARAMS_IN req;
    std::memset(&req, 0, sizeof req);
    put_le32(req.data, static_cast<uint32_t>(ifh));
    put_le32(req.data + 4, IP_TYPE_V6_AUTO);
    put_le32(req.data + 8, 1);
    put_le32(req.data + 12, 1);
    if (ioctl_config_dhcp(aw, &req, domain, port) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to AutoAssignEnabled\n", __func__);
        // The static settings come back; the transport's status stays.
        VEXO_status_t code;
        char text[VEXO_LAST_STATUS_SIZE];
        keep_status(&code, text);
        put_back_address(aw, domain, port, ifh, IP_TYPE_V6_STATIC, first);
        put_back_address(aw, domain, port, ifh, IP_TYPE_V6_STATIC, second);
        put_back_gateway(aw, domain, port, gw);
        if (code == VEXO_STATUS_SUCCESS)
            vexo_set_fixed_status(VEXO_STATUS_FAILURE);
        else
            vexo_set_last_status(code, text);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_AutoAssignDisable(node *context, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (lacks_ipv6(context)) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    node_handle *h = interface_of(context);
    if (!h)
        return VEXO_STATUS_FAILURE;
    RELEASE_STATELESS_IP_ADDR_PARAMS_IN req;
    std::memset(&req, 0, sizeof req);
    put_le32(req.data, static_cast<uint32_t>(h->interface_handle));
    put_le32(req.data + 4, IP_TYPE_V6_AUTO);
    if (ioctl_release_dhcp(h->aw_port_number, &req, get_domain_id(context), get_phba_port_number(context)) !=
        VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_DISABLE_DHCP);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_ConfigureIPv6Address(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (lacks_ipv6(context)) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    uint32_t type = IP_TYPE_V6_STATIC;
    const char *property = "InitiatorRoutableAddress2";
    if (std::strcmp(params[0], "0") == 0) {
        type = IP_TYPE_V6_LINK_LOCAL;
        property = "InitiatorLinkLocalAddress";
    } else if (std::strcmp(params[0], "1") == 0) {
        property = "InitiatorRoutableAddress1";
    }
    node_handle *h = interface_of(context);
    if (!h)
        return VEXO_STATUS_FAILURE;
    int aw = h->aw_port_number;
    int32_t ifh = h->interface_handle;
    unsigned int domain = get_domain_id(context), port = get_phba_port_number(context);
    char work[VEXO_IPV6_TEXT_SIZE];
    cut_text(params[1], work);
    if (validateIPv6Address(work) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_API_INVALID_VALUE);
        return VEXO_STATUS_FAILURE;
    }
    char removed[VEXO_IPV6_TEXT_SIZE];
    if (remove_address(context, property, type, aw, domain, port, ifh, removed) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to delete ipaddress %s with iptype %d\n", __func__, work,
               static_cast<int>(type));
        return VEXO_STATUS_FAILURE;
    }
    if (std::strcmp(work, IPV6_NO_ADDRESS) == 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:IPv6address = %s.So returning success\n", __func__, work);
        return VEXO_STATUS_SUCCESS;
    }
    uint8_t bytes[16] = {};
    StrToU8IPv6(work, bytes);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:iptype = %d\n", __func__, static_cast<int>(type));
    uint32_t record_status = 0;
    if (send_ip_record(aw, domain, port, kActionAdd, ifh, static_cast<uint8_t>(type), bytes, nullptr,
                       &record_status) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_modify_ip_entry failed\n", __func__);
        // The interface is not left without its address.
        put_back_address(aw, domain, port, ifh, type, removed);
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_MODIFY_IP_RECORD);
        return VEXO_STATUS_FAILURE;
    }
    if (record_status == 0) {
        node *p = internal_get_node(context, property, VEXO_NODE_PROPERTY);
        if (p)
            SET_CACHE_PROP_VAL(p, "%s", work);
        return VEXO_STATUS_SUCCESS;
    }
    // A refused record is a failure with a failing status.
    vexo_set_fixed_status(record_status == 47 ? VEXO_STATUS_IPADDR_DUP_DETECTED : VEXO_STATUS_CANNOT_MODIFY_IP_RECORD);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_modify_ip_entry succeded,but the status of the given IP is %d\n",
           __func__, static_cast<int>(record_status));
    return VEXO_STATUS_FAILURE;
}
