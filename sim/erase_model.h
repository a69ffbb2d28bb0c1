// Configuration erases and the factory profile restore of a simulated
// converged adapter:
//
//   1/7    op code 3 (erase) of op type 6 (iSCSI configuration) removes the
//          adapter's "/iscsidata/" region objects and their preset
//          ("iscsi_regions"), and empties the persistent-login table of
//          every iSCSI function; op type 14 (NIC configuration) removes the
//          "/nicdata/" region objects; op type 15 (port and discovery
//          configuration) keeps nothing the simulator models and is only
//          acknowledged. Each erase is counted in the firmware state
//          ("erased_regions": {"6": n}). An adapter may name the status an
//          erase answers after it took effect: "erase_answer": {"14": 44}
//          (44 is the firmware's "erased, reboot required").
//   1/169  (versions 0 and 1) the factory profile restore: a Trelmont answers
//          status 30 (completed, reboot needed) and notes the request in the
//          firmware state ("factory_profile": {"profile_id", "operation"});
//          other generations refuse it as an illegal request.
#ifndef HLVD_SIM_ERASE_MODEL_H
#define HLVD_SIM_ERASE_MODEL_H

#include "sim/fw_context.h"

namespace hlvdsim
{

// Answers a 1/7 erase of one of the configuration regions above; false for
// any other flash command.
bool erase_config_region(FwContext &c);
void cmd_set_factory_profile(FwContext &c); // 1/169

} // namespace hlvdsim

#endif
