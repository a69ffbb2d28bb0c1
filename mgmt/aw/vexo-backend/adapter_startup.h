// Cached values of an adapter's groups filled while the back end starts,
// each from one firmware command: the functions' VPD, the OEM serial numbers
// and personality management word, the available and current personality,
// loopback support, and the 10GBASE-T counter-clearing support of a port.
// Their callers ignore their results: a value that cannot be read keeps the
// value it had.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_ADAPTER_STARTUP_H
#define HLVD_MGMT_AW_VEXO_BACKEND_ADAPTER_STARTUP_H

#include <cstddef>
#include <cstdint>

#include "mgmt/vexo/core/hm_types.h"

// VPD bytes of a function and their texts: 1024 bytes in nine properties.
#define VEXO_VPD_SIZE 1024
#define VEXO_VPD_BUFFER_SIZE 1032
// Bytes of one hexadecimal property (254 digits).
#define VEXO_HEX_PIECE_BYTES 127

// Writes `len` bytes as "%02x" text into the properties `prefix`<first>,
// `prefix`<first + 1>, ... of `group`, 127 bytes to a property. 0, or 1 when
// a property cannot be written.
int write_hex_pieces(node *group, const char *prefix, int first, const uint8_t *data, size_t len);

// The personality names of a Varrow personality bit value: NIC, iSCSI,
// FCoE and RDMA for bits 0 to 3, joined by "/", into `out` (256 bytes).
void varrow_personalities(uint32_t bits, char *out);

extern "C" {
// Driver type 1 iSCSI, 2 NIC. 0, 1, or the failing command's status.
int VEXO_update_vpd_data(node *function, int aw_port_number, int driver_type);
int VEXO_update_oem_props(node *adapter);
int VEXO_update_available_personalities(node *adapter);
int VEXO_update_current_personality(node *adapter);
int VEXO_update_diagnostics_prop(node *adapter);
// The result of the property write.
int VEXO_update_is_clear_counter(int aw_port_number, node *port_group);
}

#endif
