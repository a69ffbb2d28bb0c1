// The management log, the log-level file and counted memory.
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/log_level.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "vexo_test_tree.h"

using hlvdtest::SimHost;
using hlvdtest::file_exists;
using hlvdtest::read_file;
using hlvdtest::write_file;
using namespace vexotest;

namespace {

const char kLevelFile[] = "/etc/config/TAQ/vexo/libvexo.conf";
const char kLogFile[] = "/var/log/TAQ/vexo/vexo2d.log";
const char kHeader[] = "#VEXOLogLevel: Control the number of messages logged to the vexo2d.log file.\n"
                       "#Possible values are 0 - Disabled, 1 - FATAL, 2 - CRITICAL, 3 - ERROR, 4 - WARNING, "
                       "5 - INFORMATION, 6 - DEBUG.\n";

std::string level_file_text(int level)
{
    return std::string(kHeader) + "VEXOLogLevel " + std::to_string(level);
}

unsigned file_mode(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

std::vector<std::string> dir_entries(const std::string &dir)
{
    std::vector<std::string> names;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return names;
    while (dirent *e = readdir(d))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            names.push_back(e->d_name);
    closedir(d);
    return names;
}

TEST(VexoLog, LineFormatAndFilters)
{
    SimHost host(kNoAdapterMachine);
    ASSERT_EQ(0, vexo_log_open());
    const std::string pid = std::to_string(getpid());

    struct Case {
        int level;      // vexo_debug_level
        int mask;       // source of the line
        int line_level; // level of the line
        const char *expect; // text after the three blanks; null: dropped
    } cases[] = {
        {3, VEXO_LOG_CORE, 3, "ERROR:m\n"},
        {3, VEXO_LOG_BACKEND, 2, "CRITICAL:m\n"},
        {3, VEXO_LOG_CORE, 1, "FATAL:m\n"},
        {3, VEXO_LOG_CORE, 5, nullptr},
        {6, VEXO_LOG_BACKEND, 4, "Warning:m\n"},
        {6, VEXO_LOG_CORE, 5, "INFO:m\n"},
        {6, VEXO_LOG_CORE, 6, "m\n"},
        {0, VEXO_LOG_CORE, 1, nullptr},
        {6, 4, 1, nullptr}, // a source that is not enabled
    };
    for (const Case &c : cases) {
        std::string before = read_file(host.path(kLogFile));
        vexo_debug_level = c.level;
        pdebug(c.mask, c.line_level, "%s\n", "m");
        std::string added = read_file(host.path(kLogFile)).substr(before.size());
        if (!c.expect) {
            EXPECT_EQ("", added) << c.level << " " << c.mask << " " << c.line_level;
            continue;
        }
        std::regex line("^[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}," + pid +
                        ",   " + std::regex_replace(c.expect, std::regex("\n"), "\\n") + "$");
        EXPECT_TRUE(std::regex_match(added, line)) << added;
    }

    vexo_log_close();
    vexo_debug_level = 6;
    std::string before = read_file(host.path(kLogFile));
    pdebug(VEXO_LOG_CORE, VEXO_LOG_ERROR, "after close\n");
    EXPECT_EQ(before, read_file(host.path(kLogFile)));
}

TEST(VexoLog, CountedMemoryBalances)
{
    int start = vexo_counter;
    void *blocks[10];
    for (void *&b : blocks)
        b = vexo_dmalloc(16);
    for (int i = 0; i < 4; ++i)
        vexo_dfree(blocks[i]);
    EXPECT_EQ(start + 6, vexo_counter);
    vexo_dfree(nullptr);
    EXPECT_EQ(start + 6, vexo_counter);
    for (int i = 4; i < 10; ++i)
        vexo_dfree(blocks[i]);
    EXPECT_EQ(start, vexo_counter);
}

TEST(VexoLog, FirstStartWritesTheLevelFile)
{
    SimHost host(kNoAdapterMachine);
    ASSERT_FALSE(file_exists(host.path(kLevelFile)));
    int start = vexo_counter;

    VEXO_init();
    EXPECT_EQ(level_file_text(0), read_file(host.path(kLevelFile)));
    EXPECT_EQ(0644u, file_mode(host.path(kLevelFile)));
    EXPECT_EQ(0, vexo_debug_level);
    EXPECT_EQ("", read_file(host.path(kLogFile))); // logging stays disabled

    VEXO_exit();
    EXPECT_EQ(start, vexo_counter);
}

TEST(VexoLog, LevelIsReadFromTheFile)
{
    SimHost host(kNoAdapterMachine);
    struct Case {
        const char *text;  // file content
        int before;        // level held before
        int after;         // level after the read
        bool rewritten;    // file replaced by a fresh one with `after`
    } cases[] = {
        {"VEXOLogLevel 5", 3, 5, false},
        {"VEXOLogLevel x", 3, 0, false},
        {"VEXOLogLevel:6", 2, 2, false},
        {"VEXOLogLevel \n", 2, 2, false},
        {"VEXOLogLevel 9", 4, 4, true},
        {"VEXOLogLevel -1", 4, 4, true},
        {"VEXOLogLevel 99999999999999999999", 4, 4, true},
        {"VEXOLogLevel 2\nVEXOLogLevel 4\n", 0, 4, false},
        {kHeader, 1, 1, false},
    };
    for (const Case &c : cases) {
        write_file(host.path(kLevelFile), c.text);
        chmod(host.path(kLevelFile).c_str(), 0600);
        vexo_debug_level = c.before;
        EXPECT_EQ(0, VEXO_update_loglevel());
        EXPECT_EQ(c.after, vexo_debug_level) << c.text;
        EXPECT_EQ(c.rewritten ? level_file_text(c.after) : std::string(c.text), read_file(host.path(kLevelFile)))
            << c.text;
        EXPECT_EQ(0644u, file_mode(host.path(kLevelFile)));
    }
}

TEST(VexoLog, DebugLevelPropertyGoesThroughTheFile)
{
    SimHost host(kNoAdapterMachine);
    write_file(host.path(kLevelFile), level_file_text(3));
    VEXO_init();
    EXPECT_EQ(3, vexo_debug_level);
    node_tag_t level = tag_of(0, "vexodebuglevel", VEXO_NODE_PROPERTY);
    ASSERT_EQ(3, level);

    char value[VEXO_VALUE_SIZE] = "6";
    EXPECT_EQ(0, VEXO_set_property_val(0, level, value, sizeof value));
    EXPECT_EQ(6, vexo_debug_level);
    EXPECT_EQ(level_file_text(6), read_file(host.path(kLevelFile)));
    EXPECT_EQ(0644u, file_mode(host.path(kLevelFile)));
    EXPECT_EQ(std::vector<std::string>{"libvexo.conf"}, dir_entries(host.path("/etc/config/TAQ/vexo")));

    // A later line of the new level reaches the log.
    pdebug(VEXO_LOG_CORE, VEXO_LOG_DEBUG, "now at debug\n");
    EXPECT_NE(std::string::npos, read_file(host.path(kLogFile)).find("   now at debug\n"));

    // The file wins over the level in memory when the property is read.
    write_file(host.path(kLevelFile), level_file_text(2));
    std::memset(value, 0, sizeof value);
    EXPECT_EQ(0, VEXO_get_property_val(0, level, value, sizeof value));
    EXPECT_STREQ("2", value);
    EXPECT_EQ(2, vexo_debug_level);

    std::strcpy(value, "7");
    EXPECT_EQ(1, VEXO_set_property_val(0, level, value, sizeof value));
    LastStatus st = last_status();
    EXPECT_EQ(VEXO_STATUS_INVALID_VALUE, st.code);
    EXPECT_EQ("Invalid value.", st.text);
    EXPECT_EQ(level_file_text(2), read_file(host.path(kLevelFile)));
    VEXO_exit();
}

TEST(VexoLog, StartAndStopOpenAndCloseTheLog)
{
    SimHost host(kNoAdapterMachine);
    write_file(host.path(kLevelFile), level_file_text(6));
    VEXO_init();
    std::string log = read_file(host.path(kLogFile));
    // The entering line comes before the log is open and is dropped.
    EXPECT_EQ(std::string::npos, log.find("--- entering VEXO_init ---"));
    EXPECT_NE(std::string::npos, log.find("   INFO:New client #1!\n"));
    EXPECT_NE(std::string::npos, log.find("   CRITICAL:backend_init:Stratolink Adapter Not Found.\n"));
    EXPECT_NE(std::string::npos, log.find("   --- leaving VEXO_init ---\n"));

    VEXO_exit();
    EXPECT_EQ(nullptr, vexo_log_fp);
    log = read_file(host.path(kLogFile));
    EXPECT_NE(std::string::npos, log.find("   INFO:Client disconnecting #1\n"));
    pdebug(VEXO_LOG_CORE, VEXO_LOG_ERROR, "dropped\n");
    EXPECT_EQ(log, read_file(host.path(kLogFile)));

    VEXO_init();
    EXPECT_NE(std::string::npos, read_file(host.path(kLogFile)).find("New client #1!", log.size()));
    VEXO_exit();
}

} // namespace

namespace {

TEST(VexoLog, MissingLogDirectoryIsMadeEnterable)
{
    SimHost host(kNoAdapterMachine);
    hlvdtest::remove_tree(host.path("/var/log/TAQ"));
    write_file(host.path(kLevelFile), level_file_text(5));
    VEXO_init();
    EXPECT_EQ(0755u, file_mode(host.path("/var/log/TAQ")));
    EXPECT_EQ(0755u, file_mode(host.path("/var/log/TAQ/vexo")));
    EXPECT_NE(std::string::npos, read_file(host.path(kLogFile)).find("INFO:New client #1!\n"));
    VEXO_exit();
}

} // namespace
