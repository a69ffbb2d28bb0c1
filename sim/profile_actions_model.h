// The ARI commands of a simulated converged adapter as the profile actions
// meet them: whether the limit may be changed (cari), and firmware that has
// no ARI settings at all. The limits themselves are kept by the profile
// model.
//
// Adapter description fields read here ("ari" object):
//   "settable"   true: the get answer sets cari (the limit may be changed)
//   "supported"  false: firmware without the ARI commands (1/94, 1/95
//                answer as unknown commands)
#ifndef HLVD_SIM_PROFILE_ACTIONS_MODEL_H
#define HLVD_SIM_PROFILE_ACTIONS_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim
{

void cmd_get_ari_settings(FwContext &c); // 1/94
void cmd_set_ari_settings(FwContext &c); // 1/95

} // namespace hlvdsim

#endif
