// The management log from several threads: the flash calls and the
// management calls reach it under different locks, so lines are written
// while another thread opens and closes the stream.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "mgmt/vexo/core/debug.h"
#include "vexo_test_tree.h"

namespace {

TEST(VexoLogThreads, LinesWhileTheLogOpensAndCloses)
{
    hlvdtest::SimHost host(vexotest::kNoAdapterMachine);
    std::string dir;
    for (const char *part : {"/var", "/log", "/TAQ", "/vexo"}) {
        dir += part;
        mkdir(host.path(dir).c_str(), 0755);
    }
    const int saved_level = vexo_debug_level;
    vexo_debug_level = VEXO_LOG_DEBUG;

    std::atomic<bool> done(false);
    std::atomic<int> open_failures(0);
    std::vector<std::thread> writers;
    for (int t = 0; t < 2; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < 100000 && !done; ++i)
                pdebug(VEXO_LOG_CORE, VEXO_LOG_INFO, "writer %d line %d\n", t, i);
        });
    std::thread toggler([&] {
        for (int i = 0; i < 2000; ++i) {
            if (vexo_log_open() != 0)
                ++open_failures;
            vexo_log_close();
        }
        done = true;
    });
    toggler.join();
    for (std::thread &w : writers)
        w.join();
    vexo_debug_level = saved_level;

    EXPECT_EQ(0, open_failures.load());
    EXPECT_EQ(nullptr, vexo_log_fp.load());
    // Each line went in whole.
    std::string text = hlvdtest::read_file(host.path(dir + "/vexo2d.log"));
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        ASSERT_NE(std::string::npos, end);
        std::string line = text.substr(start, end - start);
        EXPECT_NE(std::string::npos, line.find("   INFO:writer ")) << line;
        EXPECT_EQ(line.find("INFO:"), line.rfind("INFO:")) << line;
        start = end + 1;
    }
}

} // namespace
