// The fault plan of a simulated host: faults planned per command, kept in
// <sysroot>/.hlvdsim/faults.json so that every process of the host sees them.
//
// A fault matches events by any of adapter, PCI name, driver ("nic",
// "iscsi"), path ("callback", "legacy"), callback id, ioctl number and the
// command's subsystem, opcode and version; fields left out match anything. It
// fires once or always, from the n-th matching event on. Kinds:
//   status      the firmware answers the command with a status, additional
//               status and, optionally, an actual response length; the
//               command has no effect unless `answer` asks for the answer
//               bytes to come back with the failing status
//   transport   the command does not reach the firmware: the library handle
//               cannot be opened ("init"), the callback cannot be invoked
//               ("invoke"), the driver reports a failure in its request
//               record ("driver"), or the legacy ioctl fails with an errno
//               ("errno")
//   short       the firmware answers with only `length` payload bytes
//   power-loss  a write stops after `length` bytes and no answer comes back
//
// Faults of the simulated FC functions, seen through the diagnostics library
// stand-in (stage "kpl"), match by "board" (the function's index in the
// library's listing), "call" (the library call without its KPL_ prefix:
// "IssueMboxWithRetry", "IssueMboxWithRetryV2", "IssueMboxWithRetryEx",
// "IssueDumpMBox", "IssueUpdateCfgMBox", "ResetAdapter", "SetDumpEnv",
// "ConfigLoopback", "GetPersistLinkDown", "SetPersistLinkDown", "GetLinkInfo",
// "ReadPciCfg", "GetDrvInfo", "ReadCtlReg", "WriteCtlReg"), "mbox" (the
// mailbox command byte), "sub" (the dump or update-config type in the low
// nibble of byte 4; for the two region calls the dump type or the update
// kind; for LOAD_EXP_ROM, 0x9C, its sub-command 8, 9 or 10) and, for
// SLI_CONFIG (mailbox 0x9B), "subsystem", "opcode" and "version" of the
// request header, and "eof" (1 or 0, true or false: a WRITE_OBJECT piece
// with or without its eof bit). Kinds:
//   kpl         the call fails without running the command; any of
//               "result" (what the library returns: 2, 3, -1, 254 ...),
//               "mbox_status" (the u16 at offset 2 of the mailbox; the
//               update-config call's response word), "status" and
//               "additional_status" (the SLI_CONFIG response header). An
//               omitted result is 2 when a status is given, an omitted
//               mailbox status 0: {"kind": "kpl", "result": -1} is a library
//               failure that leaves the status word 0.
//   kpl-short   the command runs but its reply carries only `length` data
//               bytes: a region or memory dump reports that count, an
//               SLI_CONFIG reply that response length (the actual length
//               stays the full one) with the data behind it zeroed; an
//               object read or list brings at most that many data bytes.
//   progress    LOAD_EXP_ROM completes with the progress byte "progress"
//               and changes nothing ("when": "always": a stuck adapter).
// A signature refusal of a grouped image, for example:
//   {"match": {"opcode": 172, "eof": 1}, "kind": "kpl", "status": 23,
//    "additional_status": 86}
// Example: {"match": {"board": 0, "mbox": 155, "opcode": 121}, "kind": "kpl",
//           "status": 1, "additional_status": 167, "when": "always"}
#ifndef HLVD_SIM_FAULT_PLAN_H
#define HLVD_SIM_FAULT_PLAN_H

#include <string>

#include <nlohmann/json.hpp>

namespace hlvdsim
{

struct FaultSpec {
    // What it matches (empty or -1: anything).
    std::string adapter;
    std::string pci;
    std::string driver;
    std::string path;
    long callback = -1;
    long ioctl = -1;
    int subsystem = -1;
    int opcode = -1;
    int version = -1;
    long board = -1;  // FC: the library's board number
    std::string call; // FC: the library call
    int mbox = -1;    // FC: the mailbox command byte
    int sub = -1;     // FC: the dump or update-config type
    int eof = -1;     // FC: WRITE_OBJECT pieces with (1) or without (0) eof

    // What it does.
    std::string kind; // "status", "transport", "short", "power-loss", "kpl", "kpl-short"
    bool has_result = false; // kpl: result below is given
    long result = 0;         // kpl: the library's result
    long mbox_status = -1;   // kpl: the mailbox status, -1 = not given
    int status = 0;
    int additional_status = 0;
    long actual_length = -1; // status: actual response length to report, -1 = the answer's
    bool answer = false;     // status: the command runs and its answer comes back
    std::string how;         // transport: "init", "invoke", "driver", "errno"
    int err = 5;             // transport "errno": the errno (EIO by default)
    long length = 0;         // short, power-loss, kpl-short: bytes that get through

    // When it fires.
    bool always = false; // false: once
    int from = 1;        // the n-th matching event
};

// One event the simulated drivers see: opening a library handle ("init"), a
// callback ("callback"), a legacy ioctl ("ioctl"), or a firmware command
// reaching the adapter ("command"), a call of the diagnostics library ("kpl").
struct FaultEvent {
    std::string stage;
    std::string adapter;
    std::string pci;
    std::string driver;
    std::string path;
    long callback = -1;
    long ioctl = -1;
    int subsystem = -1;
    int opcode = -1;
    int version = -1;
    long board = -1;
    std::string call;
    int mbox = -1;
    int sub = -1;
    int eof = -1;
};

// Adds a fault; returns its id (> 0), or 0 with `err` set when the fault is
// not well formed.
int fault_add(const std::string &sysroot, const FaultSpec &recipe, std::string *err);

// The same from the JSON form kept in the plan (as `fault_list` shows it).
int fault_add_json(const std::string &sysroot, const nlohmann::json &recipe, std::string *err);

nlohmann::json fault_list(const std::string &sysroot);

void fault_clear(const std::string &sysroot);

// Counts the event against every fault that applies to it and, when one
// fires, copies it to `fired` (JSON form) and answers true.
bool fault_take(const std::string &sysroot, const FaultEvent &ev, nlohmann::json *fired);

} // namespace hlvdsim

#endif
