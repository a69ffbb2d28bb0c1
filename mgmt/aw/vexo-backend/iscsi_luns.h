// The logical units behind an iSCSI target: SCSI commands sent through one
// of the target's open sessions (pass-through), the LUN enumeration, and the
// handlers and actions of the Target's and LUN's nodes.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_LUNS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_LUNS_H

#include <cstddef>
#include <cstdint>

#include "mgmt/vexo/core/hm_types.h"

// Data directions of a pass-through command.
#define SCSI_DIR_NONE 0
#define SCSI_DIR_FROM_TARGET 1
#define SCSI_DIR_TO_TARGET 2

// Blocks of 512 bytes one WRITE (10) may carry: the data area and the
// 292-byte fixed part are counted in 16 bits.
#define SCSI_MAX_WRITE_BLOCKS 127

// One pass-through command. `lun_key` (8 bytes, the LUN key) may be null:
// LUN 0. With `data_out` given and GOOD status, *data_out receives a new
// counted buffer of `transfer_size` bytes the caller releases. 0; 90 when
// the firmware command failed; 1 when data was wanted, or data was sent,
// and the target answered another SCSI status.
VEXO_status_t ConstructSCSIParams(int aw_port_number, unsigned int domainid, unsigned int phba_port,
                                  int32_t session_handle, const uint8_t *lun_key, int direction,
                                  const uint8_t cdb[16], uint16_t transfer_size, uint8_t **data_out);

// REPORT LUNS for LUN 0: the whole answer (header and entries) in a new
// counted buffer and its size. As above, or 5 when no data came back.
VEXO_status_t FetchReportLUNData(int aw_port_number, unsigned int domainid, unsigned int phba_port,
                                 int32_t session_handle, uint8_t **data_out, uint32_t *data_size);
// READ CAPACITY (16) when `long_form` is 1 (12 bytes), else (10) (8 bytes).
VEXO_status_t FetchReadCapacityData(int aw_port_number, unsigned int domainid, unsigned int phba_port,
                                    int32_t session_handle, const uint8_t *lun_key, uint8_t **data_out,
                                    int long_form);
// Standard INQUIRY, 36 bytes into `buffer`.
VEXO_status_t FetchScsiInquiryData(int aw_port_number, unsigned int domainid, unsigned int phba_port,
                                   int32_t session_handle, const uint8_t *lun_key, uint8_t *buffer);
// INQUIRY of the unit serial number page, 255 bytes into `buffer`.
VEXO_status_t FetchLSNInquiryData(int aw_port_number, unsigned int domainid, unsigned int phba_port,
                                  int32_t session_handle, const uint8_t *lun_key, uint8_t *buffer);
// WRITE (10) of `count` zero-filled blocks for direction 2, READ (10)
// otherwise; more than SCSI_MAX_WRITE_BLOCKS blocks are refused (7) unsent.
VEXO_status_t IssueSCSIReadWrite(int aw_port_number, unsigned int domainid, unsigned int phba_port,
                                 int32_t session_handle, const uint8_t *lun_key, int direction, uint32_t first_block,
                                 uint16_t count);

// Entries of a REPORT LUNS answer of `size` bytes to take: the list length
// over 8, 255 from 2048 bytes on, and never more than the answer holds.
uint32_t report_luns_entry_count(const uint8_t *answer, uint32_t size);
// The serial number of a kept unit-serial-number page (255 bytes) into
// `serial` (255 bytes), ended with a zero; its length.
size_t lsn_serial_text(const uint8_t *page, char *serial);

// Rebuilds the LUN instances of `target` from what its open sessions
// report; `check` (256 bytes) receives "1" when the set changed. 0, 1, 42
// (no session) or 90 (some session failed). The old LUNs stay when no
// session answered.
VEXO_status_t get_all_luns(node *target, unsigned int domainid, unsigned int phba_port, node *context, node *action,
                           char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE], char *check);
// LUNSize and BlockSize of `lun`.
VEXO_status_t get_read_capacity(unsigned int domainid, unsigned int phba_port, node *lun);
// DeviceVendorName, DeviceModelNumber, LUNType and LUNSerialNumber of `lun`.
VEXO_status_t get_std_inquiry_props(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *lun);

// The host's rescan of a target's devices; nothing to do on this host.
int scan_from_os(node *target, unsigned int domainid, unsigned int phba_port);

VEXO_status_t handle_LUNNumber(node *property_node, char *value, int type);
VEXO_status_t handle_lun_block_size(node *property_node, char *value, int type);
VEXO_status_t handle_StdInquiry_properties(node *property_node, char *value, int type);

VEXO_status_t do_ReScanLUNS(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_StdInquiry(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_SCSIWrite(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

#endif
