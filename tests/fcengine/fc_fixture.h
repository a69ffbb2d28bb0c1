// Fixture of the FC engine tests: a small simulated host made in the test,
// the adapter table built the way an exported call builds it, the host's
// command log and its fault plan.
//
//   fctest::FcHost host(fctest::machine({fctest::sli3_hba("a", 0x10, 1)}));
//   int board = host.board(0x10, 0);          // adapter-table index = board
//   ... call the engine on `board` ...
//   auto sent = host.calls("IssueMboxWithRetry");   // command-log entries
//   host.plan({{"kind", "status"}, ...});     // a fault, sim/fault_plan.h format
#ifndef HLVD_TESTS_FCENGINE_FC_FIXTURE_H
#define HLVD_TESTS_FCENGINE_FC_FIXTURE_H

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/sim_host.h"

namespace fctest {

using json = nlohmann::json;

// One FC-side PCI function of a machine description ("fc" or "fcoe").
json fc_function(unsigned bus, unsigned fn, unsigned device_id, const char *kind = "fc",
                 unsigned subdevice = 0, unsigned subvendor = 0x10DF);

// An FC HBA with `count` functions on one bus; WWPNs end in the bus and the
// function. `generation` is "SLI3" or "SLI4".
json fc_hba(const std::string &name, unsigned bus, unsigned count, unsigned device_id, const std::string &generation);
// The two kinds the default machine has: an SLI-3 HBA (device 0xFE00) and a
// Varrow FC HBA (device 0xE200, SLI-4).
json sli3_hba(const std::string &name, unsigned bus, unsigned count = 1);
json varrow_fc_hba(const std::string &name, unsigned bus, unsigned count = 1);

// The WWPN the helpers above give a function.
std::string wwpn_of(unsigned bus, unsigned fn);

// A machine description text of these adapters.
std::string machine(const std::vector<json> &adapters);

// A simulated host (the default machine when the text is empty) with the
// adapter table built by CreateAdapterList; released again at the end.
class FcHost {
public:
    explicit FcHost(const std::string &machine_json = std::string());
    ~FcHost();
    FcHost(const FcHost &) = delete;
    FcHost &operator=(const FcHost &) = delete;

    bool built() const { return built_; }
    const hlvdtest::SimHost &host() const { return host_; }
    const std::string &root() const { return host_.root(); }

    // The board (adapter-table index) of the FC-side function at bus/fn;
    // fails the test and answers -1 when there is none.
    int board(unsigned bus, unsigned fn = 0) const;

    // Every command-log entry so far, or those of one stand-in call (the
    // entry's "call" field, e.g. "IssueMboxWithRetryV2").
    std::vector<json> log() const;
    std::vector<json> calls(const std::string &call) const;
    // Forgets the entries so far (e.g. those of building the table).
    void clear_log() const;

    // Plans a fault (JSON form of sim/fault_plan.h); answers its id, failing
    // the test when the plan refuses it.
    int plan(const json &fault) const;
    void clear_faults() const;

    // Rebuilds the adapter table (after the machine changed).
    bool rebuild();

private:
    hlvdtest::SimHost host_;
    bool built_ = false;
};

} // namespace fctest

#endif
