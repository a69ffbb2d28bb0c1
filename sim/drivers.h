// The simulated NIC driver (ovnnet) and iSCSI driver (ovniscsi) of the
// converged adapters: their management callback sets, as the stand-in
// kernel-management library invokes them, and their legacy character
// devices, as the device interposer reaches them.
//
// Which functions a driver serves comes from the machine description: a
// converged function with "driver": "callback" is served through the
// callbacks, "legacy" through the character devices, "none" not at all. A
// driver registers its callback set when it serves at least one function
// through callbacks; "drivers": {"ovnnet": {"missing_callbacks": [32]}} in
// the description leaves callbacks out of the registered set.
#ifndef HLVD_SIM_DRIVERS_H
#define HLVD_SIM_DRIVERS_H

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "sim/driver_records.h"

namespace hlvdsim
{

enum class SimDriver { Nic, Iscsi };

// Results of a callback invocation, as the library sees them.
const int DRIVER_INVOKED = 0;        // the callback ran; its verdict is the request's status
const int DRIVER_NOT_REGISTERED = 1; // no such callback in the driver's set
const int DRIVER_INVOKE_FAILED = 2;  // the library could not invoke it

// Whether the driver has registered its callback set on this host.
bool driver_registered(const std::string &sysroot, SimDriver d);

// The shape (data size, direction) of callback `id` as the driver
// registered it; false when the driver has no such callback.
bool driver_callback_shape(const std::string &sysroot, SimDriver d, uint32_t id, CallbackShape *out);

// Counts an attempt to open a library handle on the driver's signature
// against the fault plan; true (and the fault) when one makes it fail.
bool driver_init_fault(const std::string &sysroot, SimDriver d, nlohmann::json *fault);

// Runs callback `id` with the request record and the data parameter (of the
// registered size). DRIVER_INVOKED when it ran, with the driver's verdict in
// `req->status` (0 = completed).
int driver_invoke(const std::string &sysroot, SimDriver d, uint32_t id, MgmtRequest *req, void *data);

// Legacy character devices. `name` is the device's file name below
// /vmfs/devices/char/vmkdriver/ ("aw2iscsi_0", "aw_esx_nic").
bool legacy_device_exists(const std::string &sysroot, const std::string &name);

// One ioctl on an open legacy device: 0 on success, -1 with `*err` set.
int legacy_ioctl(const std::string &sysroot, const std::string &name, unsigned long request, void *arg, int *err);

} // namespace hlvdsim

#endif
