// The profile state of a simulated converged adapter: the PCIe state of every
// function (configured and active), the profile list with its capacities,
// the active and next profile, ARI, link reconfiguration, the configured
// personality and the Varrow common profile configuration. Configured values
// wait in the firmware state until the adapter reboots.
//
// Adapter description fields read here:
//   "profiles"        [{"id", "description", "caps": ["nic", "iscsi", "fcoe",
//                     "roce"], "counts": {"nic", "iscsi", "fcoe", "roce",
//                     "storage"}}]: the profile list (Trelmont, AW3)
//   "active_profile"  the profile running at first boot (first listed)
//   "profile_commands" false: AW3 firmware without the profile commands;
//                     on Varrow, firmware without the version-1 profile
//                     configuration read and write (1/164, 1/165)
//   "configured_personality" the text 1/114 answers instead of the one the
//                     configured functions give; one longer than the
//                     request is cut to it, with its full length reported
//   "pf_counts"       per-port function counts of the running configuration
//   "max_pf_count"    most functions per port (number of functions)
//   "ari"             {"max_pf_id", "active_max_pf_id"}: ARI limits
//   "link_configs"    [{"id", "description"}], "link_config": running id
//   "capabilities"    multichannel capability bits (1/123)
//   "common_profile_count" Varrow: the count its common configuration reports
// Per port ("ports"[i]): "mc_type". Per function: "sriov_state",
// "mission_roles", "presentation_chg", "sriov_chg", and the channel settings
// "lld", "vlan_id", "bw_min", "bw_max".
#ifndef HLVD_SIM_PROFILE_MODEL_H
#define HLVD_SIM_PROFILE_MODEL_H

#include <cstdint>

#include <nlohmann/json.hpp>

#include "sim/fw_context.h"
#include "sim/machine.h"

namespace hlvdsim
{

// Additional status of a command the firmware does not know (status 2):
// the management library sees 213 and falls back to the older command.
const uint16_t FW_ADDL_UNKNOWN_COMMAND = 30;

// The PCIe state of one function as a profile configuration shows it.
struct PcieState {
    uint8_t pf_state;
    uint8_t pf_type; // 1 NIC, 2 iSCSI, 4 FCoE, 8 RoCE
    uint8_t sriov_state;
    uint16_t number_vfs;
};

// The state of function `f` that runs now, or that runs after the next
// reboot when `configured`.
PcieState pcie_state(const Machine &m, size_t adapter, size_t f, const nlohmann::json &fw, bool configured);
void set_configured_pcie(nlohmann::json &fw, uint32_t pf, const PcieState &s);
// Multichannel type of port `port`, running or configured.
uint8_t port_mc_type(const Machine &m, size_t adapter, size_t port, const nlohmann::json &fw, bool configured);
void set_configured_mc_type(nlohmann::json &fw, size_t port, uint8_t mc_type);
// A saved change waits for the reboot (answered by 1/84).
void raise_reset_needed(nlohmann::json &fw);

// The channel settings of function `f` (its NIC, iSCSI or FCoE descriptor):
// the description's "lld", "vlan_id", "bw_min" and "bw_max", then what
// writes changed. A write takes effect at once when marked immediate, else
// at the next reboot.
struct ChannelSettings {
    bool lld;
    uint16_t vlan_id;
    uint32_t bw_min;
    uint32_t bw_max;
};
ChannelSettings channel_settings(const Machine &m, size_t adapter, size_t f, const nlohmann::json &fw,
                                 bool configured);
void set_channel_settings(nlohmann::json &fw, uint32_t pf, const ChannelSettings &s, bool immediate);

// The reboot: what was configured starts running. `adapter_doc` is the
// adapter's description with its "fw_state".
void profile_reboot(nlohmann::json &adapter_doc);

void cmd_profile_list(FwContext &c);       // 1/166
void cmd_profile_capacities(FwContext &c); // 1/161 v1
void cmd_get_active_profile(FwContext &c); // 1/167
void cmd_set_active_profile(FwContext &c); // 1/168
void cmd_get_ari(FwContext &c);            // 1/94
void cmd_set_ari(FwContext &c);            // 1/95
void cmd_get_link_reconfig(FwContext &c);  // 1/201
void cmd_set_link_reconfig(FwContext &c);  // 1/202
void cmd_capabilities(FwContext &c);       // 1/123
void cmd_configured_personality(FwContext &c); // 1/114
void cmd_get_profile_config(FwContext &c);     // 1/164 v1
void cmd_set_profile_config(FwContext &c);     // 1/165 v1
void cmd_common_profile_config(FwContext &c);  // 1/164 v0 (Varrow)

} // namespace hlvdsim

#endif
