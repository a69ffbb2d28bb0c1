// The command log of a simulated host: one JSON line per command or driver
// request the product sent, in order, in <sysroot>/.hlvdsim/commands.log, so
// tests and people can see what was or was not sent.
//
// Firmware commands are entries of kind "fw" with the header fields, the
// driver and path that carried them, the bytes of the header, a digest and
// the start of the payload, and the answer (status, additional status,
// lengths) or the transport fault that stopped them. Driver requests that are
// not firmware commands are entries of kind "driver".
#ifndef HLVD_SIM_COMMAND_LOG_H
#define HLVD_SIM_COMMAND_LOG_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace hlvdsim
{

// Appends one entry; "seq" is set to its 1-based position.
void log_append(const std::string &sysroot, nlohmann::json entry);

std::vector<nlohmann::json> log_read(const std::string &sysroot);

void log_clear(const std::string &sysroot);

// Lower-case hexadecimal text of bytes.
std::string to_hex(const uint8_t *data, size_t len);

// CRC-32 (IEEE) of bytes, for payload digests.
uint32_t crc32_of(const uint8_t *data, size_t len);

} // namespace hlvdsim

#endif
