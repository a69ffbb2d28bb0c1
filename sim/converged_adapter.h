// The simulated converged adapters: one per converged card of the machine
// description, with its functions. Each answers the firmware commands that
// reach it (16-byte header and payload) by subsystem, opcode and version, the
// way the adapter firmware does: the response header gets the status, the
// additional status, the response length and, when the answer does not fit,
// status 4 with the length the whole answer needs. A command the simulation
// does not model answers "not supported" (status 66).
//
// Firmware state that commands change lives in the machine state ("fw_state"
// of the adapter), so separate processes see one adapter.
//
// Optional fields of an adapter's description, each with a default of its
// generation: "manufacturer", "model", "description", "supported_modes",
// "hba_status", "iscsi_version", "default_eto", "max_domains" (controller
// attributes); "temperature", "boot_code" {"ipl_file_name",
// "ipl_file_number", "ipl_file_version", "phy_version", "phy_crc",
// "fcoe_universal", "fcoe_x86", "fcoe_efi", "fcoe_fcode", "uefi_bios",
// "uefi_nic", "uefi_fcode", "uefi_iscsi", "iscsi_x86", "pxe"} (additional
// attributes); "oem" {"orvane_serial" (hex), "oem_serial" or
// "oem_serial_hex", "personality_mgmt_word", "current_personality"};
// "personalities" (available personalities text); "native_mode" (boot
// configuration); "fleet_view" ("enabled", "disabled", "unsupported");
// "chip_state" (0 alive, 1 dead); "reset_needed"; "loopback_mode";
// "base_t" (10GBASE-T ports, see phy_model.h); "pcie" {"speed", "width"}; "vpd" and "fru"
// (hex bytes); "phy" and "ports" (the physical ports, see port_model.h). Of a function: "vf" (it answers as an SR-IOV virtual
// function), "vfs", "mtu", "link_down_reason".
#ifndef HLVD_SIM_CONVERGED_ADAPTER_H
#define HLVD_SIM_CONVERGED_ADAPTER_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "sim/machine.h"

namespace hlvdsim
{

// Status codes the simulated firmware answers with.
const uint8_t FW_STATUS_SUCCESS = 0;
const uint8_t FW_STATUS_FAILED = 2;
const uint8_t FW_STATUS_INSUFFICIENT_BUFFER = 4;
const uint8_t FW_STATUS_NOT_SUPPORTED = 66;
const uint16_t FW_ADDL_INVALID_REQUEST = 75;

// Where a command came from: the function the driver addressed, and which
// driver and path carried it.
struct FwTarget {
    std::string pci;    // PCI name of the function ("0000:04:00.2")
    std::string driver; // "nic" or "iscsi"
    std::string path;   // "callback" or "legacy"
};

// Result of handing one command to the adapter.
struct FwOutcome {
    bool answered = false; // the response header and payload were written
    nlohmann::json fault;  // when not answered: the fault that stopped it
};

// A converged function of the machine by PCI name and kind ("nic", "iscsi");
// false when the machine has none.
bool find_converged_function(const Machine &m, const std::string &pci, const std::string &kind, size_t *adapter,
                             size_t *function);

// Runs one command buffer (header and payload, `capacity` bytes available)
// on the adapter of the target function. `transport_fault`, when given, is a
// fault that already stopped the command on its way: the command is logged as
// sent and not answered.
FwOutcome fw_execute(const std::string &sysroot, const FwTarget &target, uint8_t *buf, size_t capacity,
                     const nlohmann::json *transport_fault = nullptr);

// The 256-byte PCI configuration space of a function.
std::array<uint8_t, 256> pci_config_space(const Function &f);
// The same with the PCI Express link status of the adapter's description
// ("pcie": {"speed": code, "width": lanes}).
std::array<uint8_t, 256> pci_config_space(const Machine &m, size_t adapter, size_t function);

// The optional numeric field `key` of function `function` of adapter
// `adapter` in the machine document, or `dflt`.
long function_field(const Machine &m, size_t adapter, size_t function, const char *key, long dflt);

// MAC address text "00:00:C9:..." to bytes; false when malformed.
bool parse_mac(const std::string &text, uint8_t out[6]);

} // namespace hlvdsim

#endif
