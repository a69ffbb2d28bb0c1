#include "vmkmgmt.h"

#include <cstring>
#include <exception>
#include <set>
#include <string>

#include "sim/drivers.h"
#include "sim/machine.h"
#include "sim/sim_cost.h"

namespace
{

struct Handle {
    hlvdsim::SimDriver driver;
    vmk_MgmtApiSignature *signature;
};

// Live handles, so a destroyed or foreign handle is refused.
std::set<Handle *> &live()
{
    static std::set<Handle *> handles;
    return handles;
}

bool same_text(const char *field, size_t size, const char *want)
{
    size_t n = strnlen(field, size);
    return n == std::strlen(want) && std::memcmp(field, want, n) == 0;
}

// The driver that registered a signature of this name, vendor and version.
bool driver_of(const vmk_MgmtApiSignature *sig, hlvdsim::SimDriver *d)
{
    if (sig->version != hlvdsim::kSignatureVersion)
        return false;
    if (same_text(sig->name, sizeof sig->name, hlvdsim::kNicSignatureName) &&
        same_text(sig->vendor, sizeof sig->vendor, hlvdsim::kNicSignatureVendor)) {
        *d = hlvdsim::SimDriver::Nic;
        return true;
    }
    if (same_text(sig->name, sizeof sig->name, hlvdsim::kIscsiSignatureName) &&
        same_text(sig->vendor, sizeof sig->vendor, hlvdsim::kIscsiSignatureVendor)) {
        *d = hlvdsim::SimDriver::Iscsi;
        return true;
    }
    return false;
}

// The user's description of a callback must match what the driver registered.
bool description_matches(const vmk_MgmtCallbackInfo &cb, const hlvdsim::CallbackShape &shape)
{
    return cb.location == VMK_MGMT_CALLBACK_KERNEL && cb.numParameters == 2 &&
           cb.parameterSizes[0] == sizeof(hlvdsim::MgmtRequest) && cb.parameterTypes[0] == VMK_MGMT_PARAM_INOUT &&
           cb.parameterSizes[1] == shape.data_size && cb.parameterTypes[1] == shape.direction;
}

int user_init(vmk_MgmtApiSignature *signature, vmk_MgmtUserHandle *handle)
{
    if (!handle)
        return VMK_MGMT_BAD_PARAM;
    *handle = nullptr;
    hlvdsim::SimDriver d;
    if (!signature || !driver_of(signature, &d))
        return VMK_MGMT_NOT_FOUND;
    std::string sysroot = hlvdsim::current_sysroot();
    if (!hlvdsim::driver_registered(sysroot, d))
        return VMK_MGMT_NOT_FOUND;
    if (hlvdsim::driver_init_fault(sysroot, d, nullptr))
        return VMK_MGMT_FAILURE;
    Handle *h = new Handle{d, signature};
    live().insert(h);
    *handle = h;
    return VMK_MGMT_OK;
}

int invoke(vmk_MgmtUserHandle handle, uint64_t instance_id, uint64_t callback_id, int arg_count, void *request,
           void *data)
{
    Handle *h = static_cast<Handle *>(handle);
    if (!h || live().count(h) == 0)
        return VMK_MGMT_INVALID_HANDLE;
    if (instance_id != 0 || arg_count != 2 || !request || !data)
        return VMK_MGMT_BAD_PARAM;
    const vmk_MgmtApiSignature *sig = h->signature;
    const vmk_MgmtCallbackInfo *cb = nullptr;
    for (uint32_t i = 0; sig->callbacks && i < sig->numCallbacks; ++i)
        if (sig->callbacks[i].callbackId == callback_id)
            cb = &sig->callbacks[i];
    std::string sysroot = hlvdsim::current_sysroot();
    hlvdsim::CallbackShape shape;
    if (!cb || callback_id > UINT32_MAX ||
        !hlvdsim::driver_callback_shape(sysroot, h->driver, static_cast<uint32_t>(callback_id), &shape))
        return VMK_MGMT_NOT_FOUND;
    if (!description_matches(*cb, shape))
        return VMK_MGMT_BAD_PARAM;
    int rc = hlvdsim::driver_invoke(sysroot, h->driver, static_cast<uint32_t>(callback_id),
                                    static_cast<hlvdsim::MgmtRequest *>(request), data);
    if (rc == hlvdsim::DRIVER_NOT_REGISTERED)
        return VMK_MGMT_NOT_FOUND;
    if (rc != hlvdsim::DRIVER_INVOKED)
        return VMK_MGMT_FAILURE;
    return VMK_MGMT_OK;
}

} // namespace

// The simulator behind these calls may throw (an unreadable state, memory);
// a C caller gets a failure, never an exception.
extern "C" int vmk_MgmtUserInit(vmk_MgmtApiSignature *signature, uint64_t cookie, vmk_MgmtUserHandle *handle)
{
    hlvdsim::SimCostScope cost;
    (void)cookie;
    try {
        return user_init(signature, handle);
    } catch (const std::exception &) {
        return VMK_MGMT_FAILURE;
    }
}

extern "C" int vmk_MgmtUserCallbackInvokeInt(vmk_MgmtUserHandle handle, uint64_t instance_id, uint64_t callback_id,
                                             int arg_count, void *request, void *data)
{
    hlvdsim::SimCostScope cost;
    try {
        return invoke(handle, instance_id, callback_id, arg_count, request, data);
    } catch (const std::exception &) {
        return VMK_MGMT_FAILURE;
    }
}

extern "C" int vmk_MgmtUserDestroy(vmk_MgmtUserHandle handle)
{
    hlvdsim::SimCostScope cost;
    Handle *h = static_cast<Handle *>(handle);
    if (!h || live().erase(h) == 0)
        return VMK_MGMT_INVALID_HANDLE;
    delete h;
    return VMK_MGMT_OK;
}

extern "C" int vmk_MgmtUserOpenHandleCount(void)
{
    hlvdsim::SimCostScope cost;
    return static_cast<int>(live().size());
}
