// Helpers of the flashing front-end tests: simulated hosts, images made by
// the project's generator, the discovery file written by discovery and
// edited the way a host edits it, and the debug log of the exported calls.
#ifndef HLVD_TESTS_FLASHFRONT_FLASHFRONT_FIXTURE_H
#define HLVD_TESTS_FLASHFRONT_FLASHFRONT_FIXTURE_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "adapters/discovery_reset.h"
#include "flash/adapter_list.h"
#include "flash/debug_log.h"
#include "flash/discovery_xml.h"
#include "sim/command_log.h"
#include "sim/ufi_generator.h"
#include "support/sim_host.h"

namespace fronttest {

using json = nlohmann::json;

// The debug log of the exported calls, captured in a file of the host.
class DebugLog {
public:
    explicit DebugLog(const std::string &path) : path_(path)
    {
        CloseLogFileHandle();
        std::remove(path_.c_str());
        EXPECT_EQ(0, EnableLogging(path_.c_str()));
    }
    ~DebugLog() { CloseLogFileHandle(); }
    // Opens it again for the next exported call (each call closes it).
    void reopen() { EXPECT_EQ(0, EnableLogging(path_.c_str())); }
    std::string text() const
    {
        if (logFileHandle)
            std::fflush(logFileHandle);
        return hlvdtest::file_exists(path_) ? hlvdtest::read_file(path_) : std::string();
    }
    bool has(const std::string &line) const { return text().find(line) != std::string::npos; }

private:
    std::string path_;
};

// The adapter table of the current simulated host, built for a test that
// calls the front end's internal operations, and released at its end.
class AdapterTable {
public:
    AdapterTable() { built_ = CreateAdapterList() == 0; }
    ~AdapterTable() { FreeAllGlobals(); }
    bool built() const { return built_; }
    // The table index of a PCI address; fails the test when there is none.
    uint32_t index(uint32_t seg, uint32_t bus, uint32_t dev, uint32_t fn) const;

private:
    bool built_;
};

// A UFI image of `generation` fitting the default machine's adapter, with
// changes made by `edit`.
std::string make_ufi(const std::string &path, int generation, const std::string &version,
                     const std::function<void(hlvdsim::UfiSpec &)> &edit = nullptr);

// Runs discovery on `images` into `xml` and reads the file back.
std::vector<DiscoveredDevice> discover(const std::string &xml, const std::string &images);
std::vector<DiscoveredDevice> read_devices(const std::string &xml);
void write_devices(const std::string &xml, const std::vector<DiscoveredDevice> &devices);

// The listed device at a bus (function `fn`); fails the test when missing.
DiscoveredDevice *device_at(std::vector<DiscoveredDevice> &devices, unsigned bus, unsigned fn = 0);

// A device for the discovery file, as discovery would list it.
DiscoveredDevice listed_device(unsigned seg, unsigned bus, unsigned dev, unsigned fn, const std::string &image,
                               const std::string &action);

// The entries of the host's command log.
std::vector<json> command_log(const hlvdtest::SimHost &host);

} // namespace fronttest

#endif
