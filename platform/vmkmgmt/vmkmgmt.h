// Stand-in for the kernel-management user library. Kernel drivers register
// callback sets under a signature (name, vendor, version); a user program
// opens a handle on the same signature, describing the callbacks it will
// call, invokes callbacks by id and destroys the handle. The drivers behind
// it are the simulated NIC and iSCSI drivers of the simulated converged
// adapters.
#ifndef HLVD_PLATFORM_VMKMGMT_H
#define HLVD_PLATFORM_VMKMGMT_H

#include <cstdint>

extern "C" {

typedef void *vmk_MgmtUserHandle;

// Where a callback runs.
const int32_t VMK_MGMT_CALLBACK_KERNEL = 1;
const int32_t VMK_MGMT_CALLBACK_USER = 2;

// Direction of a callback parameter.
const int32_t VMK_MGMT_PARAM_IN = 1;
const int32_t VMK_MGMT_PARAM_OUT = 2;
const int32_t VMK_MGMT_PARAM_INOUT = 3;

const uint32_t VMK_MGMT_MAX_PARAMS = 4;

// Results of the library calls.
const int VMK_MGMT_OK = 0;
const int VMK_MGMT_NOT_FOUND = 1; // no driver registered this signature or callback
const int VMK_MGMT_BAD_PARAM = 2; // arguments do not match the registered callback
const int VMK_MGMT_INVALID_HANDLE = 3;
const int VMK_MGMT_FAILURE = 4; // the call could not be carried out

// One callback as the user describes it in its signature.
typedef struct vmk_MgmtCallbackInfo {
    int32_t location;    // VMK_MGMT_CALLBACK_KERNEL
    void *callback;      // user-side function; none for kernel callbacks
    int32_t synchronous; // 1
    uint32_t numParameters;
    uint32_t parameterSizes[VMK_MGMT_MAX_PARAMS];
    int32_t parameterTypes[VMK_MGMT_MAX_PARAMS];
    uint64_t callbackId;
} vmk_MgmtCallbackInfo;

typedef struct vmk_MgmtApiSignature {
    uint32_t version;
    char name[32];
    char vendor[32];
    uint32_t numCallbacks;
    vmk_MgmtCallbackInfo *callbacks;
} vmk_MgmtApiSignature;

#if defined(__i386__)
static_assert(sizeof(vmk_MgmtApiSignature) == 76, "signature record is 76 bytes");
#endif

// Opens a handle on a registered signature: VMK_MGMT_OK, or VMK_MGMT_NOT_FOUND
// when no driver registered it.
int vmk_MgmtUserInit(vmk_MgmtApiSignature *signature, uint64_t cookie, vmk_MgmtUserHandle *handle);

// Invokes a callback with `arg_count` parameters: VMK_MGMT_OK when the driver
// ran it (the driver's own verdict is in the parameters).
int vmk_MgmtUserCallbackInvokeInt(vmk_MgmtUserHandle handle, uint64_t instance_id, uint64_t callback_id, int arg_count,
                                  void *request, void *data);

int vmk_MgmtUserDestroy(vmk_MgmtUserHandle handle);

// For tests: handles opened and not yet destroyed in this process.
int vmk_MgmtUserOpenHandleCount(void);
}

#endif
