// Properties of an adapter function from what the host and the drivers tell:
// interface name, MTU, MAC address, PCI location, driver name and version,
// PCI Express link, SR-IOV virtual functions, PHY link-down reason, and the
// network values this platform answers with "N/A".
//
// A function is named by its port index: its 1-based slot in the driver
// tables of vexo_glob (NIC table for NIC functions, iSCSI table for iSCSI
// functions).
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_FUNCTION_ATTRIBS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_FUNCTION_ATTRIBS_H

#include "mgmt/aw/vexo-backend/vexo_ioctl_records.h"
#include "mgmt/vexo/core/hm_types.h"

// Texts of VEXO_get_pci_bdf (terminators included).
#define VEXO_PCI_DOMAIN_TEXT_SIZE 35
#define VEXO_SERIAL_TEXT_SIZE 33

// Software-initiator flags; nothing in the library sets them.
extern int OPEN_ISCSI_DRIVER_LOADED;
extern int VEXO_ISCSI_INBOX_DRIVER_LOADED;

extern "C" {
int VEXO_update_nic_ifname(node *nic, int aw_port_number);
int VEXO_get_nic_mtusize(node *nic, int aw_port_number);
int VEXO_get_nic_macaddress(node *nic, char *value);
int VEXO_set_nic_macaddress(node *nic, char *value);
// Domain (35 bytes), bus, device and function texts (256 bytes each) and
// the serial number (33 bytes) of a function from its controller attributes,
// or, for a NIC function whose attributes could not be read, from its slot.
int VEXO_get_pci_bdf(int aw_port_number, char *domain, char *bus, char *device, char *function, char *serial,
                     int driver_type, MGMT_CONTROLLER_ATTRIBUTES *attrs, int ioctl_status);
int VEXO_get_driver_name(node *phba, int aw_port_number, int driver_type);
int VEXO_get_driver_version(node *phba, int aw_port_number, int driver_type, MGMT_CONTROLLER_ATTRIBUTES *attrs,
                            int ioctl_status);
// Link speed ("PCIExpressLinkSpeed") or width (any other name) into
// `value` (256 bytes).
int VEXO_get_pci_express_data(int aw_port_number, int domainid, int phba_port, int asic_type, node *phba,
                              const char *property_name, char *value);
// Number of virtual functions into *count; with flag 1 also that many
// NICLogicalHBA groups below `nic`.
int VEXO_Get_VF_Info(int aw_port_number, int *count, int flag, node *nic);
int VEXO_get_over_temperature(node *baset, int aw_port_number);
int VEXO_get_address_origin(node *cim, char *a, char *b, char *c);
int VEXO_get_nic_iftype(node *phba, node *cim, char *text);
int VEXO_get_nic_subnetmask(node *phba, node *cim);
int VEXO_get_nic_gateway(node *phba, node *cim);
int VEXO_get_nic_ipv6gateway(node *phba, node *cim);
int VEXO_get_nic_ipaddress(node *phba, char *value, char *kind);
int VEXO_update_nic_port_number(node *nic, int aw_port_number);
int VEXO_enumerate_nic_domain(int aw_port_number);
int VEXO_refresh_backend_client_iscsi_tgts(void);
}

#endif
