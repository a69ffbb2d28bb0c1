// One firmware command on its way through a simulated converged adapter, as
// the command handlers see it. The handlers of the command table in
// converged_adapter.cpp may live in files of their own (one per concern);
// they all take this context.
#ifndef HLVD_SIM_FW_CONTEXT_H
#define HLVD_SIM_FW_CONTEXT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/driver_records.h"
#include "sim/machine.h"

namespace hlvdsim
{

struct FwContext {
    Machine &m;
    size_t adapter;  // the card
    size_t function; // the function the command is aimed at
    const FwRequestHeader &hdr;
    const uint8_t *req;          // request payload
    uint32_t req_len;            // request payload length
    std::vector<uint8_t> answer; // answer payload (may be longer than req_len)
    uint8_t status = 0;
    uint16_t additional = 0;
    nlohmann::json *fw;    // the adapter's persistent firmware state
    bool dirty = false;    // the machine document changed
    long write_limit = -1; // power loss: bytes a write may still change
    const std::string *sysroot = nullptr; // the host, for state kept beside the document
    long reported_length = -1; // answer length the firmware reports when it is not the bytes copied
};

typedef void (*FwHandler)(FwContext &);

} // namespace hlvdsim

#endif
