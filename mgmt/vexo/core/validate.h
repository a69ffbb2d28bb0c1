// Validation of property values and action parameters against their
// definitions. Results: 0 valid, 6 invalid value, 7 out of range, 8 invalid
// number of characters. Nothing is logged and no last status is stored.
#ifndef HLVD_MGMT_VEXO_CORE_VALIDATE_H
#define HLVD_MGMT_VEXO_CORE_VALIDATE_H

#include "mgmt/vexo/core/vexo_status.h"

// Dispatches on the datatype; an unknown datatype is accepted. An IPv6
// address is rewritten in place into its 39-character form, so `value` must
// be a writable buffer of at least 40 bytes.
VEXO_status_t vexo_validate(char *value, const char *list, int datatype, int minval, int maxval);

VEXO_status_t vexo_validate_val_string(const char *value, int min, int max);
VEXO_status_t vexo_validate_val_integer(const char *value, int min, int max);
VEXO_status_t vexo_validate_ip(char *value);
VEXO_status_t vexo_validate_ipv6(char *value);
VEXO_status_t vexo_validate_subnetmask(const char *value);
VEXO_status_t vexo_validate_list(const char *value, const char *list);

#endif
