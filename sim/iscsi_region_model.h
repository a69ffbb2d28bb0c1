// The iSCSI configuration regions of a simulated iSCSI function: adapter
// objects "/iscsidata/Port%x/Instance0/Region%d", kept byte for byte in the
// adapter's object store (flash_model.h), so they survive a reboot.
//
//   1/171  (version 1) a read of an "/iscsidata/" object answers the whole
//          object with eof, whatever length it asks for (an object never
//          written and not preset answers length 0); other objects go to
//          the NIC region reader (mac_model.h).
//   1/172  writes go to the object store unchanged (cmd_write_object).
//
// An adapter of the machine description may preset regions the store does
// not hold yet: "iscsi_regions": {"/iscsidata/Port0/Instance0/Region3":
// "hex bytes"}.
#ifndef HLVD_SIM_ISCSI_REGION_MODEL_H
#define HLVD_SIM_ISCSI_REGION_MODEL_H

#include <cstdint>
#include <string>
#include <vector>

#include "sim/fw_context.h"

namespace hlvdsim
{

// The bytes of an adapter's iSCSI region object as a read would answer
// them: the stored object, else the preset; false when there is neither.
bool iscsi_region_contents(const Machine &m, const std::string &sysroot, size_t adapter, const std::string &name,
                           std::vector<uint8_t> &out);

void cmd_read_object_region(FwContext &c); // 1/171, version 1

} // namespace hlvdsim

#endif
