// Start and stop of the management back end, the check that keeps the tree
// in step with the NIC functions, the virtual-function probe, the adapters'
// lock keys, and the migration and checking of persistence files.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_BACKEND_H
#define HLVD_MGMT_AW_VEXO_BACKEND_BACKEND_H

#include <cstdint>

#include "mgmt/vexo/core/hm_types.h"

// Adapter groups under ROOT at most, and slots of the lock-key table.
#define VEXO_MAX_ADAPTERS 16
#define VEXO_SERIAL_NUM_SIZE 256

#define VEXO_SERVICE_VERSION "12.0.1215.0"
#define VEXO_HIERARCHY_VERSION "10.6"

// 1 when some function probe of the running start answered as an SR-IOV
// virtual function. Every back-end start probes afresh. It does not tell
// which adapter: a refusal asks vexo_on_vf about its own node.
extern uint8_t vm_flag;

// Fills the tree below ROOT from the adapters; always 0. Without adapter
// functions the tree keeps only the root and the last status is 313.
int backend_init();
// Releases the node handles and closes the driver devices.
int backend_exit();

// Re-enumerates the NIC functions before a NIC command or a legacy NIC
// query: 0 when their number is unchanged (or no back end runs); 1 when it
// changed. The tree is then only marked stale: the command fails, and the
// tree is rebuilt when the next management call enters the library, so no
// node a running handler holds is freed under it.
int refresh_vexo_hierarchy();
// Called on entry of the management API: rebuilds a stale tree.
void backend_rebuild_if_stale();
// Whether a NIC change waits for the rebuild.
bool backend_tree_stale();

// The virtual-function probe of one NIC function: *is_vf tells whether this
// function answered as a virtual function (it then also sets vm_flag).
// 0 when the probe's query succeeded, 1 when it failed.
int vexo_vf_probe(int aw_port_number, node *nic_phba, node *adapter, bool *is_vf);

// Whether `n` belongs to a virtual function by its own probe: a node below
// a NIC function asks that function; an adapter group, or a node below it
// outside a function, asks the adapter's NIC functions. Only the functions
// of that adapter count, never those of an adapter probed before it.
bool vexo_on_vf(node *n);

extern "C" {
int VEXO_check_for_vm(int aw_port_number, node *nic_phba, node *adapter);

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

// Deletes persistence files that hold a line not of their format; 0.
int VEXO_check_for_corrupted_database(void);
// Moves persistence files of older locations into the configuration
// directory; 0.
int VEXO_save_file_configuration(void);
// Adds the contents of `old_file` to `new_file` and removes `old_file`
// (host paths); 0 when the old file is absent or was moved.
int VEXO_backup_old_configuration(const char *old_file, const char *new_file);
int VEXO_free_all_node_handles(void);

// Client variant of start and stop; nothing in the library calls them.
int backend_client_init(int client_count);
int backend_client_exit(int client_count);
// 1 when an adapter's functions now report another bus or serial number
// than the tree holds.
int VEXO_backend_client_bdf(unsigned int driver_type);
}

#endif
