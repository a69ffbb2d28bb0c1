// DCBX configuration of a physical port: the administrator, operational and
// peer records of the firmware turned into the cached property values of the
// DCBX settings groups, and one administrator property written back by
// reading the administrator record, changing one field and writing it whole.
//
// Common arguments: `aw_port_number` is the function slot of the port's
// adapter function, `domain` and `phba_port` go into the command header, and
// `chip` is the instance number of the port's Arcwright group, which with
// `phba_port` chooses the driver that carries the command.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_DCBX_CONFIG_H
#define HLVD_MGMT_AW_VEXO_BACKEND_DCBX_CONFIG_H

#include <cstddef>
#include <cstdint>

#include "mgmt/aw/vexo-backend/vexo_ioctl_records.h"
#include "mgmt/vexo/core/hm_types.h"

// Feature state word bits.
#define DCBX_FEATURE_ENABLED 0x1u
#define DCBX_FEATURE_ADVERTISE 0x2u
#define DCBX_FEATURE_WILLING 0x4u
#define DCBX_FEATURE_SYNCED 0x8u
#define DCBX_FEATURE_OPER_NA 0x40000000u
#define DCBX_FEATURE_ERROR 0x80000000u

// Record variants of a read.
#define DCBX_PARAM_ADMIN 0
#define DCBX_PARAM_OPERATIONAL 1
#define DCBX_PARAM_PEER 2

// Whether an operating-parameters answer (`size` bytes) has a descriptor in
// QoS mode 0 or 2. Descriptors are walked within the answer only; one
// shorter than its head ends the walk.
bool dcbx_operating_qos_not_available(const uint8_t *answer, size_t size);

// A number with automatic base (decimal, 0x hexadecimal, leading-0 octal);
// false for an empty text, a negative number, an overflow or trailing text.
bool dcbx_parse_number(const char *text, unsigned long *out);

// The firmware entry an ApplicationTLV node shows: the index kept with the
// node when it was built, else its instance number. -1 when out of range.
int dcbx_app_entry_index(node *tlv);

// The write request of an administrator change, copied from its read.
void dcbx_copy_for_write(const DCBX_GET_DCBX_CFG_PARAMS_OUT &in, DCBX_SET_DCBX_CFG_PARAMS_IN *out);
// The same for the version-1 records, with the congestion-notification fields.
void dcbx_copy_for_write_v1(const DCBX_GET_DCBX_CFG_PARAMS_V1_OUT &in, DCBX_SET_DCBX_CFG_PARAMS_V1_IN *out);

extern "C" {
// Reads the record variant `group` shows and stores its properties. 0, 1, or
// the command's status (last status 101).
int VEXO_get_feature_vars(int aw_port_number, unsigned int phba_port, unsigned int domain, node *group, int chip);
// Writes one administrator property. 0, 1 (last status 6), or the command's
// status (last status 101 or 102).
int VEXO_set_feature_vars(int aw_port_number, unsigned int phba_port, unsigned int domain, node *property,
                          const char *value, int chip);
// The same for the three QCN groups through the version-1 record.
int VEXO_get_QCN_props(int aw_port_number, unsigned int phba_port, unsigned int domain, node *group, int chip);
int VEXO_set_QCN_props(int aw_port_number, unsigned int phba_port, unsigned int domain, node *property,
                       const char *value, int chip);
// Sets OperationalMode of `group` to "N/A" and *op_flag to 1 when the link
// runs in QoS mode 0 or 2. 0, or 1 (buffer or command failure; *op_flag
// unchanged).
int VEXO_get_operating_value(int aw_port_number, unsigned int domain, unsigned int phba_port, node *group,
                             int *op_flag);
}

#endif
