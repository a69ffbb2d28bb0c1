#include "mgmt/aw/vexo-backend/iscsi_routes.h"

#include <cstdio>
#include <cstring>

#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/iscsi_tcpip.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_iscsi.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_convert.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

namespace
{

// Table answers: a count word and a reserved word, then the entries.
const size_t kTableHead = 8;

// ROUTE_TABLE_ENTRY (64 bytes): destination and mask in the address-and-
// subnet record, the gateway in the address record after it.
const size_t kRouteEntrySize = 64;
const size_t kRouteDestination = 4;
const size_t kRouteMask = 20;
const size_t kRouteGateway = 44;

// ARP_TABLE_ENTRY (40 bytes): the address record, then the MAC record with
// its six bytes after a 16-bit size.
const size_t kArpEntrySize = 40;
const size_t kArpAddress = 4;
const size_t kArpMac = 26;

// EDIT_ROUTE_TABLE_PARAMS and EDIT_ARP_TABLE_PARAMS: the edit type, a
// reserved word, then one entry.
const size_t kEditEntry = 8;
const uint32_t kEditAdd = 1;
const uint32_t kEditDelete = 2;

// PING_PARAMS: an address record; only its type and address are filled.
const size_t kPingType = 3;
const size_t kPingAddress = 4;
const uint8_t kIpTypeV4 = 1;
const uint8_t kIpTypeV6 = 0x10;

const size_t kDottedSize = 16; // "255.255.255.255"

static_assert(kTableHead + ROUTE_TABLE_MAX_ENTRIES * kRouteEntrySize <= ROUTE_TABLE_READ_SIZE,
              "the route entries fit the read");
static_assert(kTableHead + ARP_TABLE_MAX_ENTRIES * kArpEntrySize == ARP_TABLE_READ_SIZE,
              "the ARP read holds 64 entries");
static_assert(ROUTE_TABLE_MAX_ENTRIES <= ROUTETABLEENTRY_MAX_INSTANCES, "every route fits the mirror");

const char *const kRouteProps[3] = {"Destination", "SubnetMask", "Gateway"};

void dotted(const uint8_t *a, char out[kDottedSize])
{
    std::snprintf(out, kDottedSize, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
}

node *parent_of(node *n)
{
    return n ? n->parent : nullptr;
}

// The instances of a repeated group below `parent`, in instance order.
node *next_instance(node *n)
{
    node *next = n->u.grp->multi_instance->next_instance;
    return next && vexo_is_instance(next) ? next : nullptr;
}

// One RouteTableEntry instance with the texts its properties showed.
struct RouteInstance {
    node *n;
    char text[3][VEXO_VALUE_SIZE];
    bool stale;
};

bool same_route(const char a[3][VEXO_VALUE_SIZE], const char b[3][kDottedSize])
{
    for (int k = 0; k < 3; ++k)
        if (std::strncmp(a[k], b[k], VEXO_VALUE_SIZE) != 0)
            return false;
    return true;
}

void free_all(void *a, void *b, void *c)
{
    vexo_dfree(a);
    vexo_dfree(b);
    vexo_dfree(c);
}

// Reads a table into a fresh zeroed buffer of `size` bytes; null when it
// cannot be allocated or read (last status `failed` for a refused read).
uint8_t *read_table(bool route, int aw_port_number, unsigned int domainid, unsigned int phba_port, size_t size,
                    VEXO_status_t failed)
{
    uint8_t *buf = static_cast<uint8_t *>(vexo_dmalloc(size));
    if (!buf) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return nullptr;
    }
    std::memset(buf, 0, size);
    VEXO_status_t st =
        route ? ioctl_Fetch_Route_Table(aw_port_number, reinterpret_cast<GET_ROUTE_TABLE_PARAMS *>(buf),
                                        static_cast<uint16_t>(size), domainid, phba_port)
              : ioctl_Fetch_ARP_Table(aw_port_number, reinterpret_cast<GET_ARP_TABLE_PARAMS *>(buf),
                                      static_cast<uint16_t>(size), domainid, phba_port);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:reading the %s table failed with status = %d\n", __func__,
               route ? "route" : "ARP", st);
        vexo_dfree(buf);
        vexo_set_fixed_status(failed);
        return nullptr;
    }
    return buf;
}

// The driver index, domain and port an action works with.
struct ActionTarget {
    int aw_port_number;
    unsigned int domainid;
    unsigned int phba_port;
};

bool action_target(node *tcpip, node *action_node, ActionTarget *t)
{
    const node_handle *h = tcpip_interface(tcpip);
    if (!h)
        return false;
    t->aw_port_number = h->aw_port_number;
    t->domainid = get_domain_id(action_node);
    t->phba_port = get_phba_port_number(action_node);
    return true;
}

VEXO_status_t send_route_edit(const ActionTarget &t, uint32_t type, const uint8_t dest[4], const uint8_t mask[4],
                              const uint8_t gw[4])
{
    EDIT_ROUTE_TABLE_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    put_le32(rec.data, type);
    std::memcpy(rec.data + kEditEntry + kRouteDestination, dest, 4);
    std::memcpy(rec.data + kEditEntry + kRouteMask, mask, 4);
    std::memcpy(rec.data + kEditEntry + kRouteGateway, gw, 4);
    return ioctl_Save_Route_Table(t.aw_port_number, &rec, t.domainid, t.phba_port);
}

VEXO_status_t send_arp_edit(const ActionTarget &t, uint32_t type, const uint8_t ip[4], const uint8_t mac[6])
{
    EDIT_ARP_TABLE_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    put_le32(rec.data, type);
    std::memcpy(rec.data + kEditEntry + kArpAddress, ip, 4);
    std::memcpy(rec.data + kEditEntry + kArpMac, mac, 6);
    return ioctl_Save_Arp_Table(t.aw_port_number, &rec, t.domainid, t.phba_port);
}

} // namespace

int get_routeEntry_attribs(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *tcpip, node *,
                           node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!tcpip)
        return 1;
    uint8_t *buf = read_table(true, aw_port_number, domainid, phba_port, ROUTE_TABLE_READ_SIZE,
                              VEXO_STATUS_GET_ROUTE_TABLE);
    if (!buf)
        return 1;
    uint32_t count = le32_at(buf);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:route entry count = %u\n", __func__, count);
    // The firmware's count is bounded by what the answer can hold.
    if (count > ROUTE_TABLE_MAX_ENTRIES)
        count = ROUTE_TABLE_MAX_ENTRIES;
    node *table = internal_get_node(tcpip, "RouteTable", VEXO_NODE_GROUP);
    if (!table) {
        vexo_dfree(buf);
        return 1;
    }

    // The firmware's routes as the texts the mirror shows.
    char(*fw)[3][kDottedSize] = static_cast<char(*)[3][kDottedSize]>(vexo_dcalloc(count ? count * sizeof *fw : 1));
    RouteInstance *inst =
        static_cast<RouteInstance *>(vexo_dcalloc(ROUTETABLEENTRY_MAX_INSTANCES * sizeof(RouteInstance)));
    if (!fw || !inst) {
        free_all(buf, fw, inst);
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t *e = buf + kTableHead + i * kRouteEntrySize;
        dotted(e + kRouteDestination, fw[i][0]);
        dotted(e + kRouteMask, fw[i][1]);
        dotted(e + kRouteGateway, fw[i][2]);
    }
    vexo_dfree(buf);

    // Instances no firmware route matches are stale.
    size_t shown = 0;
    for (node *n = get_first_instance(table, "RouteTableEntry"); n && shown < ROUTETABLEENTRY_MAX_INSTANCES;
         n = next_instance(n)) {
        RouteInstance &r = inst[shown++];
        r.n = n;
        internal_get_property(n, kRouteProps[0], r.text[0]);
        internal_get_property(n, kRouteProps[1], r.text[1]);
        if (internal_get_property(n, kRouteProps[2], r.text[2]) != VEXO_STATUS_SUCCESS) {
            free_all(fw, inst, nullptr);
            return 1;
        }
        r.stale = true;
        for (uint32_t i = 0; i < count && r.stale; ++i)
            if (same_route(r.text, fw[i]))
                r.stale = false;
    }
    int result = 0;
    size_t kept = 0;
    for (size_t k = 0; k < shown; ++k) {
        if (!inst[k].stale) {
            inst[kept++] = inst[k];
        } else if (delete_node(inst[k].n) != VEXO_STATUS_SUCCESS) {
            // A node that cannot go (a link points at it) stays and shows.
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:a stale route entry could not be deleted\n", __func__);
            result = 1;
            inst[kept++] = inst[k];
        }
    }

    // Routes no instance shows get one, under the lowest free number.
    for (uint32_t i = 0; i < count; ++i) {
        bool found = false;
        for (size_t k = 0; k < kept && !found; ++k)
            found = same_route(inst[k].text, fw[i]);
        if (found)
            continue;
        node *n = kept < ROUTETABLEENTRY_MAX_INSTANCES ? initialize_RouteTableEntry(table, nullptr, nullptr, nullptr)
                                                       : nullptr;
        if (!n || set_prop_val(n, kRouteProps[0], "%s", fw[i][0]) != VEXO_STATUS_SUCCESS ||
            set_prop_val(n, kRouteProps[1], "%s", fw[i][1]) != VEXO_STATUS_SUCCESS ||
            set_prop_val(n, kRouteProps[2], "%s", fw[i][2]) != VEXO_STATUS_SUCCESS) {
            free_all(fw, inst, nullptr);
            return 1;
        }
        RouteInstance &r = inst[kept++];
        r.n = n;
        for (int k = 0; k < 3; ++k)
            vexo_copy_text(r.text[k], sizeof r.text[k], fw[i][k]);
    }
    free_all(fw, inst, nullptr);
    if (result != 0)
        return result;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "routeEntry init success\n");
    return 0;
}

int get_Arp_Entry_attribs(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *tcpip,
                          node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!tcpip)
        return 1;
    uint8_t *buf =
        read_table(false, aw_port_number, domainid, phba_port, ARP_TABLE_READ_SIZE, VEXO_STATUS_GET_ARP_TABLE);
    if (!buf)
        return 1;
    uint32_t count = le32_at(buf);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:arp entry count = %u\n", __func__, count);
    node *table = count <= ARP_TABLE_MAX_ENTRIES ? internal_get_node(tcpip, "ARPTable", VEXO_NODE_GROUP) : nullptr;
    if (!table || purge_nodes_within(table, "ARPTableEntry") != VEXO_STATUS_SUCCESS) {
        vexo_dfree(buf);
        return 1;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t *e = buf + kTableHead + i * kArpEntrySize;
        node *n = i == 0 ? initialize_ARPTableEntry(table, context, action, params)
                         : initialize_ARPTableEntry(table, nullptr, nullptr, nullptr);
        char ip[kDottedSize];
        dotted(e + kArpAddress, ip);
        const uint8_t *m = e + kArpMac;
        if (!n || set_prop_val(n, "IPAddress", "%s", ip) != VEXO_STATUS_SUCCESS ||
            set_prop_val(n, "MACAddress", "%02x-%02x-%02x-%02x-%02x-%02x", m[0], m[1], m[2], m[3], m[4], m[5]) !=
                VEXO_STATUS_SUCCESS) {
            vexo_dfree(buf);
            return 1;
        }
    }
    vexo_dfree(buf);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "Arpentry init success\n");
    return 0;
}

VEXO_status_t do_AddRouteTableEntry(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *tcpip = parent_of(context);
    ActionTarget t;
    if (!action_target(tcpip, action_node, &t))
        return VEXO_STATUS_FAILURE;
    uint8_t dest[4] = {}, mask[4] = {}, gw[4] = {};
    if (!validateIPAddress(params[0], dest, VEXO_IP_HOST) || !validateIPAddress(params[1], mask, VEXO_IP_ANY_NONZERO) ||
        !validateIPAddress(params[2], gw, VEXO_IP_HOST)) {
        vexo_set_fixed_status(VEXO_STATUS_API_INVALID_VALUE);
        return VEXO_STATUS_FAILURE;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:gateway %d.%d.%d.%d\n", __func__, gw[0], gw[1], gw[2], gw[3]);
    VEXO_status_t st = send_route_edit(t, kEditAdd, dest, mask, gw);
    if (st != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(st == VEXO_STATUS_EXCEED_ROUTE_ENTRIES ? VEXO_STATUS_EXCEED_ROUTE_ENTRIES
                                                                     : VEXO_STATUS_CANNOT_SAVE_ROUTE);
        return VEXO_STATUS_FAILURE;
    }
    return get_routeEntry_attribs(t.aw_port_number, t.domainid, t.phba_port, tcpip, context, action_node, params) == 0
               ? VEXO_STATUS_SUCCESS
               : VEXO_STATUS_FAILURE;
}

VEXO_status_t do_DeleteRouteTableEntry(node *context, node *action_node,
                                       char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *tcpip = parent_of(context);
    ActionTarget t;
    if (!action_target(tcpip, action_node, &t))
        return VEXO_STATUS_FAILURE;
    node *entry = get_selected_group_node(context, "RouteTableEntry", params[0]);
    if (!entry) {
        vexo_set_fixed_status(VEXO_STATUS_INVALID_INSTANCE_NUM);
        return VEXO_STATUS_FAILURE;
    }
    char text[3][VEXO_VALUE_SIZE];
    uint8_t bytes[3][4] = {};
    for (int k = 0; k < 3; ++k) {
        std::memset(text[k], 0, sizeof text[k]);
        if (internal_get_property(entry, kRouteProps[k], text[k]) != VEXO_STATUS_SUCCESS)
            return VEXO_STATUS_FAILURE;
        // The mirror's own texts: converted whatever rule they would pass.
        validateIPAddress(text[k], bytes[k], VEXO_IP_NO_RULE);
    }
    if (send_route_edit(t, kEditDelete, bytes[0], bytes[1], bytes[2]) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_SAVE_ROUTE);
        return VEXO_STATUS_FAILURE;
    }
    return get_routeEntry_attribs(t.aw_port_number, t.domainid, t.phba_port, tcpip, context, action_node, params) == 0
               ? VEXO_STATUS_SUCCESS
               : VEXO_STATUS_FAILURE;
}

VEXO_status_t do_RefreshRouteTableEntry(node *context, node *action_node, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *tcpip = parent_of(context);
    ActionTarget t;
    if (!action_target(tcpip, action_node, &t))
        return VEXO_STATUS_FAILURE;
    return get_routeEntry_attribs(t.aw_port_number, t.domainid, t.phba_port, tcpip, nullptr, nullptr, nullptr) == 0
               ? VEXO_STATUS_SUCCESS
               : VEXO_STATUS_FAILURE;
}

VEXO_status_t do_AddARPTableEntry(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *tcpip = parent_of(context);
    ActionTarget t;
    if (!action_target(tcpip, action_node, &t))
        return VEXO_STATUS_FAILURE;
    uint8_t ip[4] = {}, mac[6] = {};
    if (!validateIPAddress(params[0], ip, VEXO_IP_HOST) || !validateMACAddress(params[1], mac)) {
        vexo_set_fixed_status(VEXO_STATUS_API_INVALID_VALUE);
        return VEXO_STATUS_FAILURE;
    }
    if (send_arp_edit(t, kEditAdd, ip, mac) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_SAVE_ARP);
        return VEXO_STATUS_FAILURE;
    }
    return get_Arp_Entry_attribs(t.aw_port_number, t.domainid, t.phba_port, tcpip, context, action_node, params) == 0
               ? VEXO_STATUS_SUCCESS
               : VEXO_STATUS_FAILURE;
}

VEXO_status_t do_DeleteARPTableEntry(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *tcpip = parent_of(context);
    ActionTarget t;
    if (!action_target(tcpip, action_node, &t))
        return VEXO_STATUS_FAILURE;
    node *entry = get_selected_group_node(context, "ARPTableEntry", params[0]);
    if (!entry) {
        vexo_set_fixed_status(VEXO_STATUS_INVALID_INSTANCE_NUM);
        return VEXO_STATUS_FAILURE;
    }
    char ip_text[VEXO_VALUE_SIZE] = {}, mac_text[VEXO_VALUE_SIZE] = {};
    if (internal_get_property(entry, "IPAddress", ip_text) != VEXO_STATUS_SUCCESS ||
        internal_get_property(entry, "MACAddress", mac_text) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    uint8_t ip[4] = {}, mac[6] = {};
    validateIPAddress(ip_text, ip, VEXO_IP_NO_RULE);
    validateMACAddress(mac_text, mac);
    if (send_arp_edit(t, kEditDelete, ip, mac) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_SAVE_ARP);
        return VEXO_STATUS_FAILURE;
    }
    return get_Arp_Entry_attribs(t.aw_port_number, t.domainid, t.phba_port, tcpip, context, action_node, params) == 0
               ? VEXO_STATUS_SUCCESS
               : VEXO_STATUS_FAILURE;
}

VEXO_status_t do_RefreshARPTableEntry(node *context, node *action_node, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *tcpip = parent_of(context);
    ActionTarget t;
    if (!action_target(tcpip, action_node, &t))
        return VEXO_STATUS_FAILURE;
    return get_Arp_Entry_attribs(t.aw_port_number, t.domainid, t.phba_port, tcpip, nullptr, nullptr, nullptr) == 0
               ? VEXO_STATUS_SUCCESS
               : VEXO_STATUS_FAILURE;
}

VEXO_status_t do_Ping(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    ActionTarget t;
    if (!action_target(context, action_node, &t))
        return VEXO_STATUS_FAILURE;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:IPAddress = %s\n", __func__, params[0]);
    PING_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    char text[VEXO_VALUE_SIZE];
    vexo_copy_text(text, sizeof text, params[0]);
    bool ok;
    if (std::strchr(text, ':') && std::strlen(text) > 2) {
        ok = validateIPv6Address(text) == VEXO_STATUS_SUCCESS;
        if (ok) {
            StrToU8IPv6(text, rec.data + kPingAddress);
            rec.data[kPingType] = kIpTypeV6;
        }
    } else {
        ok = validateIPAddress(text, rec.data + kPingAddress, VEXO_IP_HOST) != 0;
        rec.data[kPingType] = kIpTypeV4;
    }
    if (!ok) {
        vexo_set_fixed_status(VEXO_STATUS_API_INVALID_VALUE);
        return VEXO_STATUS_FAILURE;
    }
    if (ioctl_ping(t.aw_port_number, &rec, t.domainid, t.phba_port) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_PING_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}
