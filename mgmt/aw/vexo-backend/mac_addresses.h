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
