// The adapter-level ChannelManagement group: which multichannel modes the
// adapter supports, which runs now and after the next boot, and the action
// that switches them; and the bandwidth action of one channel.
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
// CurrentManagementType and ConfiguredManagementType of the same group,
// from the port descriptors of the active or configured profile (read only).
VEXO_status_t handle_ChannelManagement_details(node *property, char *value, int type);

// Switches multichannel operation of an AW3 on (in the mode ChannelType
// names) or off; `context` is the adapter's ChannelManagement group. 0 (with
// last status 284 when the change waits for a reboot) or 1.
VEXO_status_t do_ConfigureChannelManagement(node *context, node *action,
                                            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
// Sets the minimum and maximum bandwidth of a channel; `context` is the
// Channel group. 0, 1, or 285 itself when the configured mode owns the
// bandwidths (vNIC1, UFP).
VEXO_status_t do_ConfigureQoS(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

#endif
