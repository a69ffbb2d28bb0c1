// IPv6 settings of an iSCSI function's firmware interface (the
// IPv6Configuration group below TCPIPConfiguration): assignment state,
// link-local and routable addresses, the IPv6 default gateway, and the
// actions that change them. AW2 and AW3 adapters have no IPv6.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_IPV6_H
#define HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_IPV6_H

#include <cstdint>

#include "mgmt/vexo/core/hm_types.h"

// The text that stands for no IPv6 address.
#define IPV6_NO_ADDRESS "0000:0000:0000:0000:0000:0000:0000:0000"

extern "C" {
// Full-form text of one IPv6 address of the first interface into `address`
// (40 bytes): the first of `ip_type`, or with `flag` 1 the second of a
// routable type. 0 also when none matched (`address` untouched); 1 with
// status 98 or 99 when the interface cannot be read.
int VEXO_get_IPv6configuration_properties(int aw_port_number, unsigned int domainid, unsigned int phba_port,
                                          uint32_t ip_type, char *address, int flag);
// Removes the address that `property_name` of `group` shows, as a record of
// `ip_type`; 0 or 1.
int VEXO_delete_ipv6_address(node *group, const char *property_name, uint32_t ip_type, int aw_port_number,
                             unsigned int domainid, unsigned int phba_port, int32_t interface_handle);
// Removes the IPv6 default gateway that DefaultIPv6Gateway of `ipv6config`
// shows; 0 or 1.
int VEXO_delete_IPv6Gateway(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *ipv6config);
}

VEXO_status_t handle_IPv6State(node *property, char *value, int type);
VEXO_status_t handle_InitiatorLinkLocalAddress(node *property, char *value, int type);
VEXO_status_t handle_InitiatorRoutableAddress(node *property, char *value, int type);
VEXO_status_t handle_DefaultIPv6Gateway(node *property, char *value, int type);

VEXO_status_t do_DeleteDefaultIPv6Gateway(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_AutoAssignEnable(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_AutoAssignDisable(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_ConfigureIPv6Address(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

#endif
