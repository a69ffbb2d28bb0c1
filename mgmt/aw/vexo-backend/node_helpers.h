// Helpers every back-end handler uses on the management tree: which adapter
// function, physical port, adapter instance and domain a node belongs to,
// the ASIC generation of an adapter, removing the instances of a group
// before it is rebuilt, and the adapter-level configuration signature and
// OEM-system checks.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_NODE_HELPERS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_NODE_HELPERS_H

#include <cstdint>
#include <strings.h>

#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_types.h"

// The record kept in the handle of a hardware-backed group (physical
// functions; iSCSI session, connection, LUN and TCP/IP groups).
struct node_handle {
    int32_t aw_port_number; // 1-based slot of the function in its driver table; 0 = not set
    union {
        uint8_t lun[8];
        int32_t session_handle;
        int32_t connection_handle;
        int32_t interface_handle;
    };
    union {
        int32_t lun_session_handle;
        int32_t portalgrouptag;
        int32_t index;
    };
};
static_assert(sizeof(node_handle) == 16, "node_handle is 16 bytes");

// strcasecmp(a, b) == 0. Locators compare a name on every level they climb;
// most names differ in their first byte, and two ASCII bytes that are no
// case pair (0x20 apart) never fold together in any locale, so those are
// turned away without the call.
inline bool same_name_nocase(const char *a, const char *b)
{
    const unsigned char x = static_cast<unsigned char>(a[0]), y = static_cast<unsigned char>(b[0]);
    if (x != y && vexo_fold_apart(x, y))
        return false;
    return strcasecmp(a, b) == 0;
}

// ASIC families of get_aw_type.
#define AW_TYPE_UNREADABLE 1
#define AW_TYPE_AW2 2
#define AW_TYPE_AW3 3
#define AW_TYPE_VARROW 4
#define AW_TYPE_TRELMONT 5
#define AW_TYPE_UNKNOWN 0xFFFF

// PCI subsystem device ids of the adapters built for one OEM's systems,
// ending with 0.
#define DELL_SUBSYS_ID_COUNT 26
extern const uint16_t DellSupportedPciSubSysDevIdTable[DELL_SUBSYS_ID_COUNT];

// Locators: each walks from the node itself up to ROOT (names compared
// without regard to case) and answers its neutral value when nothing is
// found.
int get_port_number(node *n);               // -1 when no group carries a function index
int get_aw_instance(node *n);               // instance of the Arcwright group, else 0
unsigned int get_domain_id(node *n);        // instance of the LogicalHBA group, else 0
unsigned int get_phba_port_number(node *n); // PortNumber of the function or port group, else 0

// ASIC family of an Arcwright group from its first iSCSI, else NIC,
// function's PCI DeviceID; 1 with last status 163 when it cannot be read.
int get_aw_type(node *adapter);

// InitiatoriSCSIName of LogicalHBA<domain> of the function that is the
// parent of `n`, into `name` (256 bytes); 0, or 1.
VEXO_status_t get_initiator_name(node *n, char *name, unsigned int domain);

// The child group of `context` named `group_name` followed by `instance`;
// null when there is none or the name does not fit 255 characters.
node *get_selected_group_node(node *context, const char *group_name, const char *instance);

// Bus, device, function and physical port of an iSCSI function as decimal
// texts (256 bytes each) from its controller attributes; answers the
// number of domains the function supports, or 1 when the command fails.
int get_lhba_count(node *phba, char *bus, char *device, char *function, char *port);

// Where a port group's commands go: the port, its adapter, the function
// index, domain and physical port, and the driver serving that port.
struct PortRoute {
    node *port;
    node *adapter;
    int aw_port_number;
    unsigned int domain;
    unsigned int phba_port;
    int driver;
};

// The route of port group `port` (the adapter is its parent); false when
// either is missing.
bool route_of_port(node *port, PortRoute *r);
// The route of a property's port group; false when `property` is no
// property.
bool route_of_property(node *property, PortRoute *r);

// The next instance of a repeated group after `cur`, or null at the end of
// the chain (or when `cur` is no instance).
node *next_group_instance(node *cur);

// The property's text through its handler, ended within VEXO_VALUE_SIZE;
// false (and an empty text) when it cannot be read.
bool read_property_text(node *owner, const char *name, char *value);

// Deletes every instance of the repeated child group `name` of `parent`
// (a Session's first Connection before the Session), releasing their node
// handles; 0, or the status of the first deletion that fails.
VEXO_status_t purge_nodes_within(node *parent, const char *name);

// Records how a group was created, for persistence; 1 when `grp` is no group.
VEXO_status_t backend_make_persistent(node *grp, node *context, node *action,
                                      char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

extern "C" {
// Writes the configuration signature of adapter instance `chip` (source 3,
// zero signature) through function aw_port_number.
VEXO_status_t VEXO_set_config_signature(int aw_port_number, int chip);
// 0 when the adapter's PCI subsystem device id is one of the OEM table's.
VEXO_status_t VEXO_DetermineIfDellSystem(node *adapter);
}

#endif
