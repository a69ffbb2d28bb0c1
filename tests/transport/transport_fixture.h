// A simulated host for the firmware command road: one AW3 adapter whose NIC
// and iSCSI functions are served through the drivers' callbacks, and one AW2
// adapter whose functions use the legacy devices. The driver tables of the
// back end are filled the way its start fills them for these functions.
#ifndef HLVD_TESTS_TRANSPORT_TRANSPORT_FIXTURE_H
#define HLVD_TESTS_TRANSPORT_TRANSPORT_FIXTURE_H

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/sim_host.h"

namespace transporttest
{

extern const char kMachine[];

// Function indexes (aw_port_number) of the tables.
const int kNicCallback = 1;   // 0000:04:00.0, NIC callbacks
const int kNicLegacy = 2;     // 0000:09:00.0, NIC without callbacks
const int kIscsiCallback = 1; // 0000:04:00.2, iSCSI callbacks
const int kIscsiLegacy = 2;   // 0000:09:00.2, legacy device aw2iscsi_0
// Adapter instances of protocols_bitmap.
const int kChipBoth = 0;  // iSCSI and NIC functions
const int kChipNic = 1;   // NIC functions only
const int kChipNone = 2;  // no function kind
const int kChipOther = 3; // another kind only

class TransportTest : public ::testing::Test
{
  protected:
    hlvdtest::SimHost host{kMachine};

    void SetUp() override;
    void TearDown() override;

    // Opens the legacy iSCSI device into its slot (needs the interposer).
    void open_legacy_iscsi();

    // The firmware command entries of the command log.
    std::vector<nlohmann::json> fw_log() const;
    // Every entry of the command log.
    std::vector<nlohmann::json> all_log() const;
    void clear_log() const;

    // Plans a fault through the simulator's API.
    void plan_status(int opcode, int status, int additional, bool always = false) const;
    void plan_transport(const char *how, int opcode = -1, int err = 5) const;
};

// The last status as a pair.
struct Last {
    int code;
    std::string text;
};
Last last_status();

} // namespace transporttest

#endif
