// Start and stop of the management back end, and the adapters' lock keys.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_BACKEND_H
#define HLVD_MGMT_AW_VEXO_BACKEND_BACKEND_H

#include "mgmt/vexo/core/hm_types.h"

// Adapter groups under ROOT at most, and slots of the lock-key table.
#define VEXO_MAX_ADAPTERS 16
#define VEXO_SERIAL_NUM_SIZE 256

// Fills the tree below ROOT from the adapters; always 0. Without adapter
// functions the tree keeps only the root and the last status is 313.
int backend_init();
// Releases what the back end keeps in the tree and its driver handles.
int backend_exit();

extern "C" {
// Appends the lock key of every Arcwright instance, in instance order, into
// the 256-byte slots of `serial_num` from slot *adapter_count on (16 slots in
// all), raising *adapter_count per key. 0, or 1 when there is no root, no
// adapter group, no room or a key cannot be found.
int VEXO_enumerate_serial_numbers(int *adapter_count, char *serial_num);
// The lock key of the adapter group above `n` (256 bytes): its SerialNumber,
// or its bus number when that is unreadable, empty or "N/A"; 0 or 1.
int VEXO_get_asic_serial_number(node *n, char *serial_num);
// BusNumber of the PCI group of the adapter's first iSCSI, else NIC,
// function (256 bytes); 0 or 1.
int VEXO_get_pci_bus_number(node *adapter, char *bus);
}

#endif
