// The exported calls from several threads at once: the status text and the
// debug-log calls open, write and close the log while discoveries write to
// it. Run under the sanitizers, a stream used after its close shows here.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include "flash/ovnflashlib.h"
#include "sim/ufi_generator.h"
#include "support/sim_host.h"

using hlvdtest::file_exists;
using hlvdtest::read_file;

namespace {

// The default machine cut to one converged adapter and one FC HBA, so that
// discoveries take both roads (and both logs) but stay short.
std::string small_machine()
{
    nlohmann::json m = nlohmann::json::parse(read_file(hlvdtest::source_path("sim/machines/default.json")));
    nlohmann::json kept = nlohmann::json::array();
    for (const nlohmann::json &a : m["adapters"])
        if (a.value("name", "") == "aw3" || a.value("name", "") == "fc-sli4")
            kept.push_back(a);
    m["adapters"] = kept;
    return m.dump();
}

TEST(ExportedCallsInThreads, LogCallsDuringDiscoveries)
{
    hlvdtest::SimHost host(small_machine());
    const std::string images = host.path("/images"), log = host.path("/debug.log");
    ASSERT_EQ(0, mkdir(images.c_str(), 0755));
    std::string err;
    ASSERT_TRUE(hlvdsim::write_ufi(hlvdsim::default_ufi_spec(3, "10.4.100.1"), images + "/aw3.ufi", &err)) << err;

    const int kDiscoveries = 3;   // per discovery thread
    const int kMaxCalls = 20000;  // per log thread, if the discoveries are slow
    std::atomic<int> running(2);
    std::atomic<int> discovery_failures(0), text_failures(0), debug_failures(0);
    std::atomic<long> log_calls(0);

    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            const std::string xml = host.path("/discovery" + std::to_string(t) + ".xml");
            for (int i = 0; i < kDiscoveries; ++i)
                if (oem_do_discovery_with_files(xml.c_str(), images.c_str()) != 0)
                    ++discovery_failures;
            --running;
        });
    }
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kMaxCalls && running > 0; ++i, ++log_calls) {
                const char *text = oem_text_for_error_code(t == 0 ? 10010 : 99);
                if (std::string(text) != (t == 0 ? "Discovery file is corrupt" : "Not Supported Return Code Value"))
                    ++text_failures;
            }
        });
    }
    threads.emplace_back([&] {
        for (int i = 0; i < kMaxCalls && running > 0; ++i, ++log_calls)
            if (oem_get_debug_info(log.c_str()) != 0)
                ++debug_failures;
    });
    for (std::thread &t : threads)
        t.join();
    oem_text_for_error_code(0);

    EXPECT_EQ(0, discovery_failures.load());
    EXPECT_EQ(0, text_failures.load());
    EXPECT_EQ(0, debug_failures.load());
    EXPECT_GT(log_calls.load(), 0);
    ASSERT_TRUE(file_exists(log));
    // Every text went in whole: no line holds the start of a second one.
    std::string text = read_file(log);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        size_t first = line.find("oem_");
        if (first != std::string::npos) {
            EXPECT_EQ(std::string::npos, line.find("oem_get_debug_info:", first + 1)) << line;
            EXPECT_EQ(std::string::npos, line.find("oem_text_for_error_code:", first + 1)) << line;
        }
        start = end + 1;
    }
    // Both discovery files came out whole.
    for (int t = 0; t < 2; ++t)
        EXPECT_NE(std::string::npos, read_file(host.path("/discovery" + std::to_string(t) + ".xml"))
                                         .find("</hl_rom_discovery>"));
}

} // namespace
