// A simulated host for the flashing tests: the management library started
// on it, its back end having filled the tree from the host's converged
// adapters, and helpers to run the flash and dump actions,
// make image files, and read the simulated flash and command log.
#ifndef HLVD_TESTS_FLASHING_FLASH_FIXTURE_H
#define HLVD_TESTS_FLASHING_FLASH_FIXTURE_H

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "mgmt/vexo/core/hm_types.h"
#include "sim/fault_plan.h"
#include "sim/ufi_generator.h"
#include "sim/varrow_object.h"
#include "support/sim_host.h"

namespace flashtest
{

using json = nlohmann::json;

// The default machine with a Varrow adapter that gets an adapter group: the
// back end makes none for a card whose functions are all NIC functions of
// device 0xE220, so the Varrow card here has device 0xE228.
std::string flashing_machine();

// The outcome of an action: its result and the last status it left.
struct Outcome {
    int result;
    int status;
};

class FlashTest : public ::testing::Test
{
  protected:
    // The machine description of the test (JSON text).
    virtual std::string machine() const { return flashing_machine(); }
    // Starts the management library, which fills the tree from the host.
    virtual void start();

    void SetUp() override;
    void TearDown() override;

    const hlvdtest::SimHost &host() const { return *host_; }

    // The adapter group of the simulated adapter named `name`.
    node *adapter(const std::string &name) const;

    // Runs the adapter's actions through the management API.
    Outcome upgrade(const std::string &name, const std::string &file) const;
    Outcome dump(const std::string &name, const std::string &file) const;

    // Image files in the test's directory.
    std::string make_ufi(const hlvdsim::UfiSpec &recipe, const std::string &file) const;
    std::string make_obj(const hlvdsim::VarrowObjectSpec &recipe, const std::string &file) const;
    std::string path(const std::string &file) const { return host_->path("/images/" + file); }

    // The whole simulated flash of an adapter.
    std::vector<uint8_t> flash(const std::string &name) const;
    // The adapter's versions from the simulated machine.
    std::string flash_version(const std::string &name) const;
    std::string active_version(const std::string &name) const;
    // Makes `version` the adapter's active firmware, as the adapter and the
    // tree report it.
    void set_active(const std::string &name, const std::string &version) const;

    // Firmware commands of the log; flash writes among them.
    std::vector<json> fw_log() const;
    static std::vector<json> writes(const std::vector<json> &log);
    void clear_log() const;
    void plan(const hlvdsim::FaultSpec &f) const;
    void plan_status(int opcode, int status, int additional, int from = 1, bool always = false) const;

  private:
    hlvdtest::SimHost *host_ = nullptr;
    int start_count_ = 0;
};

// The flash an image leaves on an adapter of its generation when every
// component is written: zeros where nothing was written. `offset_method`
// places Trelmont components at their directory offsets, otherwise at their
// regions. Components of the op types in `skip` are left out.
std::vector<uint8_t> expected_flash(const std::vector<uint8_t> &image, int generation, bool offset_method,
                                    const std::vector<uint32_t> &skip = {});

// A FLASHROM_PARAMS payload's fields as the command log shows them.
struct Chunk {
    uint32_t op_code, op_type, size, offset;
};
Chunk chunk_of(const json &entry);

std::vector<uint8_t> read_bytes(const std::string &file);

} // namespace flashtest

#endif
