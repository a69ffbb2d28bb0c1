#include "vmkmgmt.h"

// No simulated driver registers a callback set yet: the NIC and iSCSI
// drivers of the simulated converged adapters are added together with the
// firmware command transport. Until then every open fails as it does on a
// host where neither driver is loaded.
namespace {
const int kNoSuchDriver = 1;
}

extern "C" int vmk_MgmtUserInit(void *signature, uint64_t cookie, vmk_MgmtUserHandle *handle)
{
    (void)signature;
    (void)cookie;
    if (handle)
        *handle = nullptr;
    return kNoSuchDriver;
}

extern "C" int vmk_MgmtUserCallbackInvokeInt(vmk_MgmtUserHandle handle, uint64_t instance_id,
                                             uint64_t callback_id, int arg_count, void *request, void *data)
{
    (void)handle;
    (void)instance_id;
    (void)callback_id;
    (void)arg_count;
    (void)request;
    (void)data;
    return kNoSuchDriver;
}

extern "C" int vmk_MgmtUserDestroy(vmk_MgmtUserHandle handle)
{
    (void)handle;
    return 0;
}
