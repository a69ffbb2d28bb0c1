// The adapter-level ChannelManagement group: which multichannel modes the
// adapter supports.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_CHANNEL_MANAGEMENT_H
#define HLVD_MGMT_AW_VEXO_BACKEND_CHANNEL_MANAGEMENT_H

#include <cstdint>

#include "mgmt/vexo/core/hm_types.h"

// Capability bits of the capabilities query that name multichannel modes.
#define VEXO_CAP_ZMR 0x1
#define VEXO_CAP_NPAR 0x8
#define VEXO_CAP_VNIC1 0x10
#define VEXO_CAP_VNIC2 0x20
#define VEXO_CAP_UFP 0x40
#define VEXO_CAP_HLFLEXQBG 0x80
#define VEXO_CAP_HLZMR 0x200
#define VEXO_CAP_HLFLEX 0x400

// function_caps bit of the firmware configuration: the function takes no
// part in multichannel operation.
#define VEXO_FUNC_CAP_NO_MULTICHANNEL 0x40

// The comma list of mode names of `capabilities` into `out` (256 bytes),
// "N/A" when none is set.
void vexo_mc_types_text(uint32_t capabilities, char *out);

// SupportedMCTypes of the adapter's ChannelManagement group (read only).
VEXO_status_t handle_SupportedMCTypes(node *property, char *value, int type);

#endif
