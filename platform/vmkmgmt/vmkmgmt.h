// Stand-in for the kernel-management user library. Drivers register callback
// sets under a signature; a user opens a handle on a signature and invokes
// callbacks by id. The drivers behind it are the simulated NIC and iSCSI
// drivers of the simulated converged adapters.
#ifndef HLVD_PLATFORM_VMKMGMT_H
#define HLVD_PLATFORM_VMKMGMT_H

#include <cstdint>

extern "C" {
typedef void *vmk_MgmtUserHandle;

int vmk_MgmtUserInit(void *signature, uint64_t cookie, vmk_MgmtUserHandle *handle);
int vmk_MgmtUserCallbackInvokeInt(vmk_MgmtUserHandle handle, uint64_t instance_id, uint64_t callback_id,
                                  int arg_count, void *request, void *data);
int vmk_MgmtUserDestroy(vmk_MgmtUserHandle handle);
}

#endif
