// Simulated hosts for the back end's start and its handlers, and access to
// the tree by path through the management API.
#ifndef HLVD_TESTS_BACKEND_FIXTURE_H
#define HLVD_TESTS_BACKEND_FIXTURE_H

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "mgmt/vexo/core/hm_types.h"

namespace backendtest {

// One AW3 adapter (an iSCSI function and two NIC functions) and one
// Trelmont adapter (NIC functions only), all served through callbacks.
extern const char kTwoAdapters[];
// Adapters of every generation, with the NIC functions of one of them on
// the legacy device.
extern const char kEveryGeneration[];

// Tag of a node by path from ROOT ("Arcwright0/PCI"); -1 when missing.
node_tag_t tag_at(const std::string &path, int type);
// Value of a property by path through the management API, or "error N".
std::string value_at(const std::string &path);
// "ArcwrightN" of the adapter group whose SerialNumber is `serial`; empty
// when there is none.
std::string adapter_path(const std::string &serial);
// Sets a property by path; the API's status.
VEXO_status_t set_at(const std::string &path, const std::string &value);
// The last status.
std::pair<VEXO_status_t, std::string> last_status();

// The firmware commands of the command log as (subsystem, opcode) pairs.
std::vector<std::pair<int, int>> fw_commands(const std::string &sysroot);
std::vector<nlohmann::json> fw_entries(const std::string &sysroot);
void clear_log(const std::string &sysroot);
// The bytes of a command log payload given as hexadecimal text.
std::vector<uint8_t> hex_bytes(const std::string &hex);

// Changes the machine state: the driver of function `function` of adapter
// `adapter` ("callback", "legacy", "none"), or a field of an adapter.
void set_function_driver(const std::string &sysroot, int adapter, int function, const std::string &driver);
void set_adapter_field(const std::string &sysroot, int adapter, const std::string &key, const nlohmann::json &value);
void plan_status(const std::string &sysroot, int subsystem, int opcode, int status, int additional = 0,
                 bool always = true);

} // namespace backendtest

#endif
