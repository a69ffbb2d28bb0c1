// Helpers of the discovery tests: machine descriptions written in the tests,
// a captured debug log, generated images, and the discovery file read back.
#ifndef HLVD_TESTS_DISCOVERY_DISCOVERY_FIXTURE_H
#define HLVD_TESTS_DISCOVERY_DISCOVERY_FIXTURE_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "adapters/discovery_reset.h"
#include "flash/debug_log.h"
#include "flash/discovery_xml.h"
#include "sim/ufi_generator.h"
#include "support/sim_host.h"

namespace disctest {

using json = nlohmann::json;

inline std::string hex(unsigned v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", v);
    return buf;
}

// One PCI function of a machine description.
inline json function(const char *kind, unsigned seg, unsigned bus, unsigned dev, unsigned fn, unsigned vendor,
                     unsigned device_id, unsigned subvendor, unsigned subdevice, unsigned revision = 0x10)
{
    return json{{"segment", seg},          {"bus", bus},
                {"device", dev},           {"function", fn},
                {"kind", kind},            {"vendor", hex(vendor)},
                {"device_id", hex(device_id)}, {"subvendor", hex(subvendor)},
                {"subdevice", hex(subdevice)}, {"revision", revision},
                {"port", fn}};
}

// An FC HBA with `count` functions on one bus (Wyndel-like ids unless given).
inline json fc_adapter(const std::string &name, unsigned bus, unsigned count, unsigned device_id = 0xFE00,
                       const std::string &generation = "SLI3")
{
    json fns = json::array();
    for (unsigned f = 0; f < count; ++f)
        fns.push_back(function("fc", 0, bus, 0, f, 0x10DF, device_id, 0x10DF, device_id));
    return json{{"name", name},
                {"family", "fc"},
                {"generation", generation},
                {"serial", name + "-SN"},
                {"firmware", {{"active", "2.01A12"}, {"flash", "2.01A12"}, {"boot", "5.12A0"}}},
                {"functions", fns}};
}

// One function of a converged adapter: its kind and PCI device id.
struct ConvergedFn {
    const char *kind; // "nic" or "iscsi"
    unsigned device_id;
};

// A converged adapter on segment `seg`, bus `bus`, device 0, with its
// functions numbered from 0. MAC addresses end in the bus and function.
inline json converged_adapter(const std::string &name, const std::string &generation, unsigned seg, unsigned bus,
                              const std::string &active, const std::vector<ConvergedFn> &fns, unsigned revision,
                              unsigned vendor = 0x19A2, unsigned subdevice = 0xE70E)
{
    json functions = json::array();
    for (unsigned i = 0; i < fns.size(); ++i) {
        json f = function(fns[i].kind, seg, bus, 0, i, vendor, fns[i].device_id, 0x10DF, subdevice, revision);
        char mac[32];
        std::snprintf(mac, sizeof mac, "00:00:C9:%02X:%02X:%02X", seg, bus, 0x10 + i);
        f["mac"] = mac;
        f["port"] = std::string(fns[i].kind) == "iscsi" ? 0 : i % 2;
        f["driver"] = "callback";
        functions.push_back(f);
    }
    return json{{"name", name},
                {"family", "converged"},
                {"generation", generation},
                {"serial", name + "-SN"},
                {"firmware", {{"active", active}, {"flash", active}, {"boot", active}}},
                {"functions", functions}};
}

inline std::string machine(const std::vector<json> &adapters)
{
    json m = {{"adapters", json::array()}};
    for (const json &a : adapters)
        m["adapters"].push_back(a);
    return m.dump();
}

// Captures the debug log of the exported calls into a file of the host.
class DebugLog {
public:
    explicit DebugLog(const hlvdtest::SimHost &host) : path_(host.path("/debug.log"))
    {
        CloseLogFileHandle();
        std::remove(path_.c_str());
        EXPECT_EQ(0, EnableLogging(path_.c_str()));
    }
    ~DebugLog() { CloseLogFileHandle(); }
    // Everything written so far; the log stays on for what follows.
    std::string text()
    {
        if (logFileHandle)
            std::fflush(logFileHandle);
        return hlvdtest::file_exists(path_) ? hlvdtest::read_file(path_) : std::string();
    }
    bool has(const std::string &line) { return text().find(line) != std::string::npos; }

private:
    std::string path_;
};

// Resets the discovery state when a test that builds the table ends.
struct TableGuard {
    ~TableGuard() { ResetGlobals(); }
};

// A UFI image in `dir` for a generation, fitting the default machine's
// adapter of that generation unless ids are given.
inline std::string ufi(const std::string &dir, const std::string &name, int generation, const std::string &version,
                       int asic = -1)
{
    hlvdsim::UfiSpec s = hlvdsim::default_ufi_spec(generation, version);
    s.components.clear();
    s.compact = generation == 2;
    if (generation != 2 && asic >= 0)
        s.asic_support = static_cast<uint8_t>(asic);
    std::string path = dir + "/" + name;
    std::string err;
    EXPECT_TRUE(hlvdsim::write_ufi(s, path, &err)) << err;
    return path;
}

inline std::vector<DiscoveredDevice> read_discovery(const std::string &path)
{
    std::vector<DiscoveredDevice> devices;
    ReadDiscoveryFile(path, devices);
    return devices;
}

} // namespace disctest

#endif
