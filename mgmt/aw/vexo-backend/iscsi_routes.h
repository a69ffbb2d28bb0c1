// The route and ARP tables of an iSCSI function's network interface, which
// the RouteTable and ARPTable groups below TCPIPConfiguration mirror as
// RouteTableEntry and ARPTableEntry instances, and the Ping action.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_ROUTES_H
#define HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_ROUTES_H

#include "mgmt/vexo/core/hm_types.h"

// Payload sizes of the two table reads.
#define ROUTE_TABLE_READ_SIZE 64000
#define ARP_TABLE_READ_SIZE 2568
// Entries of the two tables a mirror can hold.
#define ROUTE_TABLE_MAX_ENTRIES 999 // what fits the read after its 8-byte head
#define ARP_TABLE_MAX_ENTRIES 64

// Reconciles the RouteTableEntry instances of tcpip's RouteTable group with
// the firmware's route table: instances no firmware route matches are
// deleted, routes no instance shows are added under the lowest free numbers,
// the others keep theirs. `context`, `action` and `params` are not used.
// 0, or 1 (status 100 when the table cannot be read).
int get_routeEntry_attribs(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *tcpip,
                           node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Rebuilds the ARPTableEntry instances of tcpip's ARPTable group from the
// firmware's ARP table in its order; the first one created records
// `context`, `action` and `params` for persistence. A table of more than 64
// entries fails without touching the mirror. 0, or 1 (status 97 when the
// table cannot be read).
int get_Arp_Entry_attribs(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *tcpip,
                          node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

// Actions of RouteTable and ARPTable (context: the table group) and of
// TCPIPConfiguration (Ping). The driver index comes from the interface
// record in TCPIPConfiguration's handle; without one they answer 1 and set
// no status.
VEXO_status_t do_AddRouteTableEntry(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_DeleteRouteTableEntry(node *context, node *action_node,
                                       char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_RefreshRouteTableEntry(node *context, node *action_node,
                                        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_AddARPTableEntry(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_DeleteARPTableEntry(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_RefreshARPTableEntry(node *context, node *action_node,
                                      char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_Ping(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

#endif
