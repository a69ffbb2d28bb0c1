// SaveProfile of a converged adapter: the staged configured profile (profile
// id, each port's multichannel mode, each function's protocol and SR-IOV
// state) sent as one whole-table write of the profile configuration, then
// the configured profile and every port's channels rebuilt, with the
// channels' bandwidths, LPVID and logical-link states carried across.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_SAVE_PROFILE_H
#define HLVD_MGMT_AW_VEXO_BACKEND_SAVE_PROFILE_H

#include <cstddef>
#include <cstdint>

#include "mgmt/aw/vexo-backend/profile_config.h"
#include "mgmt/vexo/core/hm_types.h"

// The saved-settings table: 4 ports by 16 channels.
#define MC_PROPS_PORTS 4
#define MC_PROPS_CHANNELS 16

#pragma pack(push, 1)
// Saved settings of one channel.
struct mc_properties {
    uint32_t bw_min;
    uint32_t bw_max;
    uint16_t vlan_id;     // LPVID, 0 for "N/A"
    uint16_t mc_type;     // channel 0 only: the port's active multichannel code
    char func_type[32];   // Type of the channel
    uint32_t lld;         // 1 when the logical link is not "Enabled"
};
#pragma pack(pop)

static_assert(sizeof(mc_properties) == 48, "saved channel settings are 48 bytes");
static_assert(sizeof(mc_properties) * MC_PROPS_PORTS * MC_PROPS_CHANNELS == 3072, "saved table is 3072 bytes");

// The multichannel code of an MCType text (case-insensitive); 0 for a text
// that names none.
uint16_t save_mc_type_code(const char *text);

// Action of an adapter's ProfileManagement group: 0, 1, or the erase
// command's status when only that failed.
VEXO_status_t do_SaveProfile(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

extern "C" {
// Saves the settings of the channels of the port whose ChannelManagement
// group is `channel_mgmt` (instance `port_instance`, 0 to 3) into row
// `port_instance` of `props`; their number (at most 16) into `*channels`.
// 0, 1, or 317 when the port has no Channel.
int VEXO_save_mc_props(node *channel_mgmt, mc_properties (*props)[MC_PROPS_CHANNELS], int port_instance,
                       int *channels);
// Reapplies the saved settings of row `port_instance` to the port's rebuilt
// channels, unless its saved active or its configured (`table` entry of the
// port) mode is None. 0 or 1.
int VEXO_reset_mc_props(node *channel_mgmt, mc_properties (*props)[MC_PROPS_CHANNELS], int port_instance,
                        const port_protocol *table, int channels);
}

#endif
