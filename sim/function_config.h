// The function configuration a simulated converged adapter keeps: its
// SLI-4 profile configuration (opcodes 164 and 165, version 1) and, on the
// AW2 and AW3 generations, the legacy configuration-and-resources record
// (opcodes 81 and 82, versions 0 and 1). Both carry the configured MAC
// address of every function ("permanent override") and the configured PCIe
// state (personality, SR-IOV) kept by sim/profile_model.h; a write of the
// PCIe state or the ports' multichannel types raises the reset-needed flag.
//
// Fields of a function's description read here: "mac" (the factory MAC) and
// "permanent_mac" (the configured MAC the adapter booted with; "mac" when
// absent), "vfs" (a NIC function with virtual functions also lists a
// virtual-function template descriptor, before its own), "pf_state" (byte 13
// of its PCIe descriptor, 1 by default), "lld" (its logical link is down),
// "vlan_id", "bw_min", "bw_max" and "channel_id" (its NIC, iSCSI or FCoE
// descriptor; a one-descriptor write changes lld, a NIC's vlan_id and the
// bandwidths), "roce" (an RDMA descriptor follows its NIC descriptor) and
// "vnic_name" (1/120). A port descriptor in a write sets the multichannel
// type of every port of the card. A configured MAC
// written through either command is kept in the adapter's firmware state
// ("configured_mac" by PCI name) and shown by the configured configuration
// and the legacy record; the active configuration keeps what the adapter
// booted with. AW3 firmware whose description says "profile_commands":
// false answers the profile commands as unknown. A version-1 legacy write
// that would enable SR-IOV on a function whose port is configured for ZMR
// (multichannel type 2) is refused with additional status 104.
#ifndef HLVD_SIM_FUNCTION_CONFIG_H
#define HLVD_SIM_FUNCTION_CONFIG_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/machine.h"

namespace hlvdsim
{

// One command as the handlers of this file see it.
struct FwCall {
    const Machine &m;
    size_t adapter;  // the card
    size_t function; // the function the command is aimed at
    const uint8_t *req;
    uint32_t req_len;
    nlohmann::json &fw; // the adapter's persistent firmware state
    std::vector<uint8_t> &answer;
    uint8_t &status;
    uint16_t &additional;
    bool &dirty;
};

void fw_get_profile_config(FwCall &c);
void fw_set_profile_config(FwCall &c);
void fw_get_aw_config(FwCall &c);
void fw_set_aw_config(FwCall &c);
void fw_get_aw_config_v1(FwCall &c);
void fw_set_aw_config_v1(FwCall &c);
// 1/120: the vNIC name of a function.
void fw_vnic_name(FwCall &c);

// A row handler of the command table in converged_adapter.cpp for one of
// the handlers above: `Ctx` is that table's command context.
template <void (*handler)(FwCall &), class Ctx> void fw_config_row(Ctx &c)
{
    FwCall call{c.m, c.adapter, c.function, c.req, c.req_len, *c.fw, c.answer, c.status, c.additional, c.dirty};
    handler(call);
}

} // namespace hlvdsim

#endif
