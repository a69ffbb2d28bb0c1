// MAC addresses of the NIC and iSCSI physical functions: the current MAC
// (MAC query) and the configured MAC ("permanent override"), which the
// firmware keeps in the adapter's profile configuration or, on the AW2
// generation, in the legacy configuration-and-resources record. A changed
// configured MAC takes effect after a reboot.
//
// Every MAC text stored here is six two-digit lower-case hexadecimal bytes
// joined by dashes; a MAC given for a write may use dashes or colons.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_MAC_ADDRESSES_H
#define HLVD_MGMT_AW_VEXO_BACKEND_MAC_ADDRESSES_H

#include <cstdint>

#include "mgmt/vexo/core/hm_types.h"

// Property handlers (type 0 read, type 1 write; any other type answers 0).
// MACAddress of a NIC function; writes are refused (status 70).
VEXO_status_t handle_NICPhysicalHBA_MACAddress(node *property, char *value, int type);
// PermanentMACAddress of a NIC function; a write leaves status 304 and the
// written MAC as the cached value.
VEXO_status_t handle_NICPhysicalHBA_PermanentMACAddress(node *property, char *value, int type);
// MACAddress of an iSCSI function's NICConfiguration group.
VEXO_status_t handle_iSCSIPhysicalHBA_Network_NICConfiguration_MACAddress(node *property, char *value, int type);
// PermanentMACAddress of the same group; a write leaves status 304 and the
// cached value as it was, until the next read.
VEXO_status_t handle_iSCSIPhysicalHBA_Network_NICConfiguration_PermanentMACAddress(node *property, char *value,
                                                                                    int type);

// MAC of a function of the configured profile: the factory MAC the MAC list
// answers for its FunctionNumber. Read-only.
VEXO_status_t handle_ProfileManagement_ConfiguredProfile_Port_Function_MACAddress(node *property, char *value,
                                                                                 int type);
// Semi-volatile MAC of network boot (NICPhysicalHBA/NetworkBootConfiguration):
// kept by the firmware across resets, not across a power cycle. A write of
// the cached text sends nothing; a write leaves the cached text as it was.
VEXO_status_t handle_VolatileMACAddress(node *property, char *value, int type);

// ResetMACAddress of a NIC function and of an iSCSI function's
// NICConfiguration: the factory MAC becomes the configured MAC (status 304).
VEXO_status_t do_NICPhysicalHBA_ResetMACAddress(node *context, node *action,
                                                char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_iSCSIPhysicalHBA_Network_NICConfiguration_ResetMACAddress(
    node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

extern "C" {
// FactoryDefaultMACAddress of a function as the enumeration adds it:
// `phba` an iSCSIPhysicalHBA (driver_type 1; the value goes to its
// Network/NICConfiguration) or a NICPhysicalHBA (2). AW2 and AW3 read the
// type-9 MAC query (functions 0 to 7), Varrow and Trelmont the MAC list;
// other families keep the value. 0 or 1 (status 76 when the firmware fails).
int VEXO_update_fd_mac(int aw_port_number, node *phba, int driver_type);

// NIC region object "/nicdata/Port<port>/Partition<partition>/Region1" of
// the adapter, read through the NIC driver: a copy the caller frees with
// vexo_dfree, its length in *size; null when it cannot be read or is empty.
uint8_t *VEXO_read_nic_region(int aw_port_number, unsigned int domainid, unsigned int phba_port, int port,
                              int partition, uint32_t *size);
// Writes a region copy of `size` bytes back (its header and the TLV bytes
// the header counts); 0, 1, or the command's status.
int VEXO_write_nic_region(int aw_port_number, unsigned int domainid, unsigned int phba_port, int port,
                          int partition, const uint8_t *region, uint32_t size);
// Puts the MACAddress of every configured-profile function back into the MAC
// TLVs of its NIC region; with virt_mode_flag 1 the function of instance 0
// of each port is passed over. 1 when the adapter has no NIC function or no
// configured ports, or a port has no function; else the result of the last
// region write (0 when none was written).
int VEXO_reset_virt_mac(node *adapter, char virt_mode_flag);
}

extern "C" {
// The configured MAC of `function` into PermanentMACAddress of `target`
// (the function itself, or an iSCSI function's NICConfiguration group).
// driver_type 2 reads the NIC descriptor, 1 the iSCSI descriptor; AW2 reads
// the legacy record. 0, also when the configuration has no descriptor for
// the function (the value is kept); 1 on failure.
int VEXO_get_last_configured_mac(node *function, node *target, char *value, int driver_type);
// Writes `value` as the configured MAC of `function`; 0 or 1.
int VEXO_set_last_configured_mac(node *function, node *target, char *value, int driver_type);
// The same two on the AW2 generation; the function's kind comes from its
// group name.
int VEXO_get_legacy_last_configured_mac(node *function, node *target, char *value);
int VEXO_set_legacy_last_configured_mac(node *function, node *target, char *value);
}

#endif
