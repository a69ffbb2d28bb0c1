#include "mgmt/aw/vexo-backend/node_helpers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/dcbx_features.h"
#include "mgmt/aw/vexo-backend/function_enum.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/aw/vexo-backend/vexo_mailbox.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

const uint16_t DellSupportedPciSubSysDevIdTable[DELL_SUBSYS_ID_COUNT] = {
    0xE820, 0xE824, 0x1F7E, 0xE822, 0x1F81, 0xE823, 0xE821, 0xE825, 0xE826, 0xE82B, 0xE827, 0xE82C, 0xE828,
    0xE82D, 0xE829, 0xE82E, 0xE831, 0xE835, 0xE832, 0xE836, 0xE833, 0xE837, 0xE834, 0xE838, 0xE839, 0,
};

namespace
{

// Bounds every walk up the tree, whatever its shape.
const int kMaxDepth = 4096;

bool named(const node *n, const char *name)
{
    return n && n->node_name && same_name_nocase(n->node_name, name);
}

bool is_group(const node *n)
{
    return n && n->node_type == VEXO_NODE_GROUP && n->u.grp;
}

int instance_of(const node *n)
{
    return vexo_is_instance(n) ? n->u.grp->multi_instance->instance : 0;
}

// The first group at or above `n`, below ROOT, for which `match` holds.
template <typename Match> node *find_up(node *n, Match match)
{
    for (int depth = 0; n && depth < kMaxDepth && !named(n, "ROOT"); ++depth, n = n->parent) {
        if (is_group(n) && match(n))
            return n;
    }
    return nullptr;
}

node_handle *handle_of(const node *n)
{
    return is_group(n) ? static_cast<node_handle *>(n->u.grp->handle) : nullptr;
}

// The adapter's first iSCSI function, else its first NIC function.
node *first_function(node *adapter)
{
    node *f = get_first_instance(adapter, "iSCSIPhysicalHBA");
    return f ? f : get_first_instance(adapter, "NICPhysicalHBA");
}

// A PCI property of the adapter's first function as read through its
// handler; false when anything on the way is missing.
bool function_pci_property(node *adapter, const char *name, char value[VEXO_VALUE_SIZE])
{
    node *f = first_function(adapter);
    node *pci = f ? internal_get_node(f, "PCI", VEXO_NODE_GROUP) : nullptr;
    if (!pci)
        return false;
    value[0] = '\0';
    return internal_get_property(pci, name, value) == VEXO_STATUS_SUCCESS;
}

// A hexadecimal text that is read whole and is not negative.
bool parse_hex(const char *text, long *out)
{
    if (!text || !text[0])
        return false;
    char *end = nullptr;
    long v = std::strtol(text, &end, 16);
    if (end == text || *end != '\0' || v < 0)
        return false;
    *out = v;
    return true;
}

struct FamilyRange {
    long low, high;
    int family;
};

const FamilyRange kFamilies[] = {
    {0x0210, 0x0217, AW_TYPE_AW2},      {0x0700, 0x0703, AW_TYPE_AW2},      {0x0220, 0x0227, AW_TYPE_AW3},
    {0x0710, 0x0710, AW_TYPE_AW3},      {0x0712, 0x0712, AW_TYPE_AW3},      {0x0714, 0x0714, AW_TYPE_AW3},
    {0xE220, 0xE220, AW_TYPE_VARROW},   {0xE228, 0xE228, AW_TYPE_VARROW},   {0x0720, 0x0720, AW_TYPE_TRELMONT},
    {0x0722, 0x0723, AW_TYPE_TRELMONT}, {0x0728, 0x0728, AW_TYPE_TRELMONT},
};

// Deletes one instance and, when it is gone, releases its node handle. A
// port group holds its function's handle, which only the function frees.
VEXO_status_t delete_instance(node *n)
{
    if (named(n, "PortDiscoveryAndConfiguration"))
        dcbx_release_port_entry_indexes(n);
    void *handle = is_group(n) && !named(n, "PortDiscoveryAndConfiguration") ? n->u.grp->handle : nullptr;
    VEXO_status_t st = delete_node(n);
    // A node that stays keeps its handle.
    if (st == VEXO_STATUS_SUCCESS && handle)
        vexo_dfree(handle);
    return st;
}

} // namespace

int get_port_number(node *n)
{
    node *g = find_up(n, [](node *x) {
        node_handle *h = handle_of(x);
        return h && h->aw_port_number != 0;
    });
    return g ? handle_of(g)->aw_port_number : -1;
}

int get_aw_instance(node *n)
{
    node *g = find_up(n, [](node *x) { return named(x, "Arcwright"); });
    return g ? instance_of(g) : 0;
}

unsigned int get_domain_id(node *n)
{
    node *g = find_up(n, [](node *x) { return named(x, "LogicalHBA"); });
    return g ? static_cast<unsigned int>(instance_of(g)) : 0;
}

unsigned int get_phba_port_number(node *n)
{
    node *g = find_up(n, [](node *x) {
        return named(x, "iSCSIPhysicalHBA") || named(x, "PortDiscoveryAndConfiguration") || named(x, "NICPhysicalHBA");
    });
    if (!g)
        return 0;
    char value[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(g, "PortNumber", value) != VEXO_STATUS_SUCCESS)
        return 0;
    return static_cast<unsigned int>(std::strtoul(value, nullptr, 10));
}

int get_aw_type(node *adapter)
{
    // Handlers ask on every property read; the answer holds until the tree
    // or a cached value changes. A failure is not kept: it sets the status
    // each time.
    group *g = is_group(adapter) ? adapter->u.grp : nullptr;
    if (g && g->derived_generation == hm_tree_generation)
        return g->derived_value;
    const uint32_t generation = hm_tree_generation;
    char value[VEXO_VALUE_SIZE];
    long id = 0;
    if (!adapter || !function_pci_property(adapter, "DeviceID", value) || !parse_hex(value, &id)) {
        vexo_set_fixed_status(VEXO_STATUS_FAILED_GET_AWTYPE);
        return AW_TYPE_UNREADABLE;
    }
    int family = AW_TYPE_UNKNOWN;
    for (const FamilyRange &r : kFamilies)
        if (id >= r.low && id <= r.high) {
            family = r.family;
            break;
        }
    if (g) {
        g->derived_generation = generation;
        g->derived_value = family;
    }
    return family;
}

VEXO_status_t get_initiator_name(node *n, char *name, unsigned int domain)
{
    if (!n || !name)
        return VEXO_STATUS_FAILURE;
    node *function = n->parent;
    char lhba[35]; // "LogicalHBA" and any 32-bit number fit
    std::snprintf(lhba, sizeof lhba, "LogicalHBA%u", domain);
    node *l = function ? internal_get_node(function, lhba, VEXO_NODE_GROUP) : nullptr;
    node *g = l ? internal_get_node(l, "InitiatoriSCSIName", VEXO_NODE_GROUP) : nullptr;
    if (!g)
        return VEXO_STATUS_FAILURE;
    if (internal_get_property(g, "InitiatoriSCSIName", name) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    return VEXO_STATUS_SUCCESS;
}

node *get_selected_group_node(node *context, const char *group_name, const char *instance)
{
    if (!context || !group_name || !instance)
        return nullptr;
    char joined[VEXO_VALUE_SIZE];
    int n = std::snprintf(joined, sizeof joined, "%s%s", group_name, instance);
    if (n < 0 || static_cast<size_t>(n) >= sizeof joined)
        return nullptr;
    return internal_get_node(context, joined, VEXO_NODE_GROUP);
}

int get_lhba_count(node *phba, char *bus, char *device, char *function, char *port)
{
    if (!phba || !bus || !device || !function || !port)
        return 1;
    MGMT_CONTROLLER_ATTRIBUTES attrs;
    std::memset(&attrs, 0, sizeof attrs);
    if (ioctl_fetch_controller_attribs(get_port_number(phba), &attrs, 0, 0, 1) != VEXO_STATUS_SUCCESS)
        return 1;
    std::snprintf(bus, VEXO_VALUE_SIZE, "%d", attrs.pci_bus_number);
    std::snprintf(device, VEXO_VALUE_SIZE, "%d", attrs.pci_device_number);
    std::snprintf(function, VEXO_VALUE_SIZE, "%d", attrs.pci_function_number);
    std::snprintf(port, VEXO_VALUE_SIZE, "%d", attrs.hba_attribs.phy_port);
    return attrs.hba_attribs.max_domains_supported;
}

// The groups inside an iSCSI function that own a handle record: its
// interface, and the sessions and LUNs of its initiator's targets.
static void release_initiator_handles(node *iscsi)
{
    node *network = internal_get_node(iscsi, "Network", VEXO_NODE_GROUP);
    node *tcpip = network ? internal_get_node(network, "TCPIPConfiguration", VEXO_NODE_GROUP) : nullptr;
    if (is_group(tcpip) && tcpip->u.grp->handle) {
        vexo_dfree(tcpip->u.grp->handle);
        tcpip->u.grp->handle = nullptr;
    }
    node *lhba = get_first_instance(iscsi, "LogicalHBA");
    for (node *t = get_first_instance(lhba, "Target"); t;) {
        node *next = t->u.grp->multi_instance->next_instance;
        purge_nodes_within(t, "Session");
        purge_nodes_within(t, "LUN");
        t = next && vexo_is_instance(next) ? next : nullptr;
    }
}

VEXO_status_t purge_nodes_within(node *parent, const char *name)
{
    node *cur = get_first_instance(parent, name);
    while (cur) {
        node *next = cur->u.grp->multi_instance->next_instance;
        if (!next || !vexo_is_instance(next))
            next = nullptr; // the definition entry ends the ring
        if (named(cur, "Session")) {
            node *conn = get_first_instance(cur, "Connection");
            if (conn)
                delete_instance(conn);
        }
        if (named(cur, "iSCSIPhysicalHBA"))
            release_initiator_handles(cur);
        VEXO_status_t st = delete_instance(cur);
        if (st != VEXO_STATUS_SUCCESS)
            return st;
        cur = next;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t backend_make_persistent(node *grp, node *context, node *action,
                                      char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!is_group(grp))
        return VEXO_STATUS_FAILURE;
    persistency &p = grp->u.grp->persistency_info;
    if (p.priority == 0)
        p.priority = persistency_priority++;
    p.action = action;
    p.context = context;
    if (params)
        std::memcpy(p.params, params, sizeof p.params);
    return VEXO_STATUS_SUCCESS;
}

extern "C" VEXO_status_t VEXO_set_config_signature(int aw_port_number, int chip)
{
    IOCTL_COMMON_SET_CONFIG_SIGNATURE_PARAMS sig;
    std::memset(&sig, 0, sizeof sig);
    sig.request.config_change_source = 3;
    return ioctl_set_config_sign(aw_port_number, &sig, 0, 0, chip);
}

extern "C" VEXO_status_t VEXO_DetermineIfDellSystem(node *adapter)
{
    if (!adapter || get_aw_type(adapter) == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    char value[VEXO_VALUE_SIZE];
    if (!function_pci_property(adapter, "SubsysDeviceID", value))
        return VEXO_STATUS_FAILURE;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:subsys_dev_id = %s\n", __func__, value);
    long id = 0;
    if (!parse_hex(value, &id))
        return VEXO_STATUS_FAILURE;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:pci_ssd_id = 0x%lx\n", __func__, id);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:NumIds = %d and sizeof(DellSupportedPciSubSysDevIdTable) = %d\n",
           __func__, DELL_SUBSYS_ID_COUNT, static_cast<int>(sizeof DellSupportedPciSubSysDevIdTable));
    for (int i = 0; i < DELL_SUBSYS_ID_COUNT && DellSupportedPciSubSysDevIdTable[i] != 0; ++i) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:DellSupportedPciSubSysDevIdTable[%d] = %d\n", __func__, i,
               DellSupportedPciSubSysDevIdTable[i]);
        if (DellSupportedPciSubSysDevIdTable[i] == id)
            return VEXO_STATUS_SUCCESS;
    }
    return VEXO_STATUS_FAILURE;
}

bool route_of_port(node *port, PortRoute *r)
{
    node *adapter = port ? port->parent : nullptr;
    if (!port || !adapter)
        return false;
    r->port = port;
    r->adapter = adapter;
    r->aw_port_number = get_port_number(port);
    r->domain = get_domain_id(port);
    r->phba_port = get_phba_port_number(port);
    r->driver = get_port_bitmap(get_aw_instance(port), static_cast<int>(r->phba_port));
    return true;
}

bool route_of_property(node *property, PortRoute *r)
{
    if (!property || property->node_type != VEXO_NODE_PROPERTY || !property->u.prop)
        return false;
    return route_of_port(property->parent, r);
}

node *next_group_instance(node *cur)
{
    if (!cur || cur->node_type != VEXO_NODE_GROUP || !cur->u.grp || !cur->u.grp->multi_instance)
        return nullptr;
    node *next = cur->u.grp->multi_instance->next_instance;
    if (!next || !vexo_is_instance(next) || next->u.grp->multi_instance->instance == -1)
        return nullptr;
    return next;
}

bool read_property_text(node *owner, const char *name, char *value)
{
    value[0] = '\0';
    if (!owner || internal_get_property(owner, name, value) != VEXO_STATUS_SUCCESS)
        return false;
    value[VEXO_VALUE_SIZE - 1] = '\0';
    return true;
}
