// Channels of a converged adapter's port: the PCI functions that share one
// physical port, each shown as a Channel group below the port's
// ChannelManagement group. Every channel property is read from, and every
// change written to, the NIC, iSCSI or FCoE descriptor of the channel's
// function in the adapter's profile configuration.
//
// Three mode texts govern every channel operation: the multichannel mode
// running now, the one configured for the next boot, and whether a change
// waits for a reboot. An AW3 keeps them adapter-wide in its
// ChannelManagement group, a Trelmont per port in its profile tree; other
// generations have none (empty texts).
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_MULTICHANNEL_H
#define HLVD_MGMT_AW_VEXO_BACKEND_MULTICHANNEL_H

#include "mgmt/aw/vexo-backend/profile_config.h"
#include "mgmt/vexo/core/hm_types.h"

// Word-0 flag bits of a function descriptor that a channel write sets.
#define RESC_DESC_LLD_VALID (1u << 23)
#define RESC_DESC_VLAN_VALID (1u << 26)
#define RESC_DESC_QOS_UNITS (1u << 28)
// lld: bit 9 of the link word of a NIC, iSCSI or FCoE descriptor.
#define RESC_DESC_LLD (1u << 9)

// The descriptor type (0x51, 0x52, 0x53) of a channel's Type text, 0 for a
// text that names none.
int channel_function_type(const char *type);

// The first descriptor of `type` for PCI function `pf` in `profile`, whole
// (88 bytes) inside the answer; null when there is none. `malformed` (may
// be null) tells whether the list was cut short before the end.
const uint8_t *channel_find_descriptor(const GET_PROFILE_CONFIG_PARAMS *profile, int type, uint32_t pf,
                                       bool *malformed);

// The three mode texts of a channel operation.
struct channel_modes {
    char current[VEXO_VALUE_SIZE];
    char configured[VEXO_VALUE_SIZE];
    char reboot[VEXO_VALUE_SIZE];
};
// What an AW3 operation reads of its adapter's ChannelManagement group (a
// Trelmont always reads all three of its port).
#define CHANNEL_MODE_CURRENT 0x1
#define CHANNEL_MODE_CONFIGURED 0x2
#define CHANNEL_MODE_REBOOT_NO 0x4 // the reboot flag is "No"

// Fills `modes` (emptied first) for an operation on `port` of `adapter`.
// 0, or 1 when the generation or a mode cannot be read.
int channel_read_modes(node *adapter, node *port, unsigned what, channel_modes *modes);
// Case-insensitive comparison of a mode text.
bool channel_mode_is(const char *mode, const char *name);
// The immediate bit of a channel write: clear when no mode runs ("N/A",
// "None") or a change already waits for a reboot.
bool channel_write_immediate(const channel_modes *modes);

extern "C" {
// Group refresher of a port's ChannelManagement group: its Channel
// instances rebuilt from the configured profile; 0, or 1 when the group,
// its port, its adapter or the port's PortNumber is missing.
VEXO_status_t group_Arcwright_PortDiscoveryAndConfiguration_ChannelManagement(node *grp);

// The channel modes of a Trelmont port into three 256-byte buffers: the
// running MCType of the port's ActiveProfile Port, the configured MCType of
// its ConfiguredProfile Port, and RebootRequired. `current` is left as given
// when the port's InterfaceType is "Unknown". 0 or 1.
int VEXO_get_trm_mc_type(node *adapter, node *port, char *current, char *configured, char *reboot);

// Sets the cached value of the channel property `property` (LogicalLinkState,
// LPVID, OuterVLANID, MinBandWidth or MaxBandWidth) from a profile
// configuration answer. 0 also when the answer has no descriptor for the
// channel; 1 for missing arguments, an unreadable Type or FunctionNumber, or
// (last status 278) a list that breaks off before the channel was found.
int VEXO_get_mchannel_params(node *channel, node *property, const GET_PROFILE_CONFIG_PARAMS *profile);

// Writes LogicalLinkState or LPVID (`property`) of `channel` as `value`
// through a one-descriptor profile write, with the mode texts `current` and
// `reboot` deciding when it takes effect. 0, or 1 with the status in the
// last status (278 when the profile holds no descriptor for the channel:
// nothing is sent then).
int VEXO_set_mchannel_params(node *adapter, node *channel, node *property, const char *value, const char *current,
                             const char *reboot);
}

// Property handlers of a Channel group.
VEXO_status_t handle_MinBandWidth(node *property, char *value, int type);
VEXO_status_t handle_MaxBandWidth(node *property, char *value, int type);
VEXO_status_t handle_channel_vnic_name(node *property, char *value, int type);
VEXO_status_t handle_channel_outer_vlan(node *property, char *value, int type);
VEXO_status_t handle_LogicalLinkState(node *property, char *value, int type);
VEXO_status_t handle_LPVID(node *property, char *value, int type);

#endif
