// The back end's layer over the host: files and their advisory locks, host
// identity and version, host name and local time, per-adapter elapsed time,
// zlib compression for core dumps, and the log and configuration
// directories made at start-up.
//
// File names given to these routines are used as given: callers resolve the
// host's fixed paths with host_path() first.
//
// Not built on purpose: the routines of the OS layer for a general Linux
// host (VEXO_firmware_download, get_flash_name, find_os_distribution,
// VEXO_get_nic_driver_type, VEXO_get_all_iscsi_devices,
// VEXO_backend_client_nic_bdf) have no caller on this host and work only
// through host tools run by a shell.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_LINUX_OS_SERVICES_H
#define HLVD_MGMT_AW_VEXO_BACKEND_LINUX_OS_SERVICES_H

#include <cstdio>

#include <sys/time.h>

#include "mgmt/vexo/core/hm_types.h"

// Host kinds of VEXO_get_esx_version.
#define VEXO_HOST_ESXI 2
#define VEXO_HOST_OTHER 3

#define VEXO_CONFIG_DIRECTORY "/etc/config/TAQ/vexo/"
#define VEXO_SAVED_TARGETS_FILE "/etc/config/TAQ/vexo/savetgt.txt"
#define VEXO_SAVED_PORTALS_FILE "/etc/config/TAQ/vexo/savestp.txt"

// Longest wait for a persistence file's lock.
#define VEXO_LOCK_WAIT_MS 5000

// Per adapter instance, one start time per port. Slot 0 also holds the
// adapter's segment clock.
#define VEXO_TIMER_ADAPTERS 16
#define VEXO_TIMER_PORTS 4
extern struct timeval vexo_glob_timer[VEXO_TIMER_ADAPTERS][VEXO_TIMER_PORTS];

extern "C" {
// Opens a file (one debug line per open); none when an argument is missing
// or the open fails.
FILE *VEXO_file_open(const char *name, const char *mode);
void VEXO_file_close(FILE *fp);
// Unlinks a readable file; nothing otherwise.
void VEXO_delete_file(const char *name);
// Sets mode 0644 on a file that can be opened for reading.
void VEXO_change_permissions_file(const char *name);

// 2 when the host is ESXi, else 3.
int VEXO_get_esx_version();
// Host product name and version from the host's version files; 0, or 1
// when none can be opened.
int VEXO_get_os_info(int *major, int *minor, char *name);
int VEXO_get_system_name(char *name);
int VEXO_get_secure_jumper_state(int port, char *value);
int VEXO_get_system_time(short *month, short *year, short *hour, short *day, short *second, short *minute,
                         short *milliseconds, short *utc_bias);
// Elapsed time of an Arcwright group's operation; 1 for a missing node.
int VEXO_start_clock(node *adapter);
int VEXO_stop_clock(node *adapter, int *duration_ms);

// Log directory at library start; always 0.
int VEXO_config_log_dir_permissions();
// Configuration directory, clock table and saved-file modes at back-end
// start; always 0.
int VEXO_config_dir_permssions();
}

// Whole-file write lock of an open stream, waiting at most
// VEXO_LOCK_WAIT_MS for another process; 0, or 1 on failure or timeout.
int vexo_lock_file(FILE *fp);
int vexo_unlock_file(FILE *fp);

// Compression of core-dump segments (zlib format, default level).
int GetMaxCompressedLen(int source_len);
// Bytes written to `dest`, or -1 (also when it does not fit).
int CompressData(const unsigned char *source, int source_len, unsigned char *dest, int dest_len);
int UncompressData(const unsigned char *source, int source_len, unsigned char *dest, int dest_len);

#endif
