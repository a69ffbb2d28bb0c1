// Small helpers the simulated iSCSI function models share: the function's
// objects in the machine document, refusing a command, and the text fields
// of requests, answers and the description. Byte readers are in sim/wire.h.
#ifndef HLVD_SIM_ISCSI_MODEL_UTIL_H
#define HLVD_SIM_ISCSI_MODEL_UTIL_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/fw_context.h"

namespace hlvdsim
{

// The function's "initiator" object; made when missing or not an object.
nlohmann::json &state(FwContext &c);

// The function's "tcpip" object; made when missing or not an object.
nlohmann::json &tcpip(FwContext &c);

// The list `key` of `parent`; an empty one made when missing or not a list.
nlohmann::json &array_in(nlohmann::json &parent, const char *key);

// Ends the command with `status` and `additional` and no answer.
void refuse(FwContext &c, uint8_t status, uint16_t additional);

// Ends the command as an invalid request.
void fail(FwContext &c);

// True (with the command failed as an invalid request) when the request is
// shorter than `len` bytes.
bool short_request(FwContext &c, size_t len);

// True (with the command refused) unless an iSCSI function got a request of
// at least `need` bytes.
bool refused(FwContext &c, size_t need);

// The text at `key` of an object; `dflt` when there is none.
std::string text(const nlohmann::json &j, const char *key, const char *dflt = "");

// A NUL-terminated text of at most `room` bytes.
std::string field(const uint8_t *p, size_t room);

// Lowercase hexadecimal digits of `n` bytes.
std::string hex_of(const uint8_t *p, size_t n);

// Writes `s` at `at`, keeping the last byte of the `room`-byte field zero.
void put_text(std::vector<uint8_t> &b, size_t at, const std::string &s, size_t room);

// An IP_ADDRESS_FORMAT record at `at`; an empty text leaves type 0 and no
// bytes.
void put_ip(std::vector<uint8_t> &b, size_t at, const std::string &ip);

} // namespace hlvdsim

#endif
