// IPv4 settings of an iSCSI function's firmware interface (the
// TCPIPConfiguration group): the interface reader that binds the group to
// the firmware's interface handle, the address, DHCP, VLAN and default
// gateway properties and actions, and the boot-session guard.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_TCPIP_H
#define HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_TCPIP_H

#include <cstdint>

#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl_records.h"
#include "mgmt/vexo/core/hm_types.h"

// IP type codes of the interface records and requests.
#define IP_TYPE_V4 1
#define IP_TYPE_DHCP 5
#define IP_TYPE_V6 0x10
#define IP_TYPE_V6_STATIC 0x30
#define IP_TYPE_V6_LINK_LOCAL 0x50
#define IP_TYPE_V6_AUTO 0x90

// The interface handle record of a TCPIPConfiguration group; null when the
// interfaces were never read.
node_handle *tcpip_interface(node *tcpip);

// Gateway records of MODIFY_DEFAULT_ROUTE_PARAMS_IN (28 bytes): action word,
// then an IP_ADDRESS_FORMAT. 0, or the wrapper's failure.
VEXO_status_t send_gateway(int aw_port_number, unsigned int domainid, unsigned int phba_port, uint32_t action,
                           uint16_t size_of_structure, uint8_t ip_type, const uint8_t address[16]);
// Reads the default gateway of `ip_type` into `out`; 0 or the wrapper's failure.
VEXO_status_t read_gateway(int aw_port_number, unsigned int domainid, unsigned int phba_port, uint32_t ip_type,
                           IP_ADDRESS_FORMAT *out);
// Sends one address record (count 1, SizeOfStructure 40); the answered record
// status goes to `record_status` when given. 0 or the wrapper's failure.
VEXO_status_t send_ip_record(int aw_port_number, unsigned int domainid, unsigned int phba_port, uint32_t action,
                             int32_t interface_handle, uint8_t ip_type, const uint8_t address[16],
                             const uint8_t mask[16], uint32_t *record_status);

extern "C" {
// Lists the interfaces, binds `tcpip` to the first one and reads it; 0 or 1.
int get_all_interfaces(int aw_port_number, unsigned int phba_port, unsigned int domainid, node *tcpip);
// Reads one interface (IPv4) into the address, mask, DHCP and VLAN
// properties of `tcpip`; 0 or 1.
int get_if_info_params(int aw_port_number, int32_t interface_handle, node *tcpip, unsigned int domainid,
                       unsigned int phba_port);
// 1 with status 44 when a session below the function is a boot session,
// else 0.
int check_for_boot_session(node *iscsi_phba, unsigned int domainid);
// Removes the IPv4 address record of the given address and mask; 0 or 1.
int VEXO_delete_ip_from_firmware(int aw_port_number, int32_t interface_handle, node *tcpip, unsigned int domainid,
                                 unsigned int phba_port, const uint8_t ipaddress[16], const uint8_t subnetmask[16]);
// The four decimal parts of a dotted-quad text; 0, or 1 when the text is not
// four parts of 0 to 255.
int vexo_getip(const char *text, uint32_t out[4]);
// The low eight bits of `value`, most significant first, as 0 and 1.
void vexo_bin(uint32_t value, uint8_t bits[8]);
}

VEXO_status_t handle_tcpip_properties(node *property, char *value, int type);
VEXO_status_t handle_DefaultGateway(node *property, char *value, int type);

VEXO_status_t do_ConfigureIPAddress(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_DHCPEnable(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_DHCPDisable(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_ConfigureVLAN(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_VLANDisable(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_DeleteDefaultGateway(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

#endif
