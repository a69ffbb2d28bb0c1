// The small exported calls, the debug log and the lifecycle of the
// adapter-touching calls, through the exported functions.
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "flash/ovnflashlib.h"
#include "support/sim_host.h"

using hlvdtest::file_exists;
using hlvdtest::read_file;
using hlvdtest::write_file;

namespace {

// A host without adapters: every adapter-touching call that gets past its
// argument checks stops at the adapter table.
class ExportedCalls : public ::testing::Test {
protected:
    hlvdtest::SimHost host{R"({"adapters": []})"};
    std::string dir = host.root();
    std::string log = dir + "/debug.log";
    std::string log2 = dir + "/second.log";
    std::string images = dir + "/images";
    std::string xml = dir + "/discovery.xml";

    void SetUp() override { ASSERT_EQ(0, mkdir(images.c_str(), 0755)); }
    void TearDown() override { oem_text_for_error_code(0); } // closes any log left open
    std::string logged() { return file_exists(log) ? read_file(log) : std::string(); }
};

const char kLongText3[] =
    "The installation was not attempted because of one of the following: The version to be installed is older "
    "than the version already installed. Supported hardware, whether specifically identified in an input "
    "discovery file or not, was not present, not enabled, or in a state that an installation could not be "
    "attempted. Installation was not attempted because the installer did not support the environment. There was "
    "nothing for the installer to do";

TEST_F(ExportedCalls, StatusTextsForEveryCode)
{
    struct Case {
        int code;
        const char *text;
    } cases[] = {
        {0, "Success"},
        {1, "Reboot required"},
        {2, "The installation was not attempted because the version to be installed matches the version already "
            "installed"},
        {3, kLongText3},
        {4, "The installer library entry point could not identify or access the hardware to be installed"},
        {5, "The installation was canceled by a user before anything could be installed"},
        {6, "The installer library entry point could not execute because of an unmet dependency or installation to "
            "tool failure"},
        {7, "The actual installation operation or discovery operation (not the installer library entry point) "
            "failed."},
        {8, "The installer library entry point could not find the firmware file"},
        {9, "The installer library entry point could not access the firmware file"},
        {10, "The installer library entry point could not find the discovery XML file"},
        {11, "The installer library entry point could not access the discovery XML file"},
        {12, "The installer library entry point could not create the discovery XML file"},
        {10000, "Invalid arguments passed to function"},
        {10001, "Cannot allocate memory"},
        {10002, "FC library initialization failure"},
        {10003, "FC library PCI region read failure"},
        {10004, "No Orvane adapters found"},
        {10005, "FC driver not initialized"},
        {10006, "libkpl library not found"},
        {10007, "Invalid firmware image"},
        {10008, "Adapter specified by pciid is not found"},
        {10009, "Firmware type does not match adapter"},
        {10010, "Discovery file is corrupt"},
        {10011, "An unknown error occured"},
        {10012, "Unable to download firmware file on to adapter"},
        {10013, "Adapter reset after firmware download failed"},
        {10014, "Intermediate reboot required"},
        {10015, "Not Supported Return Code Value"},
        {10016, "Not Supported Return Code Value"},
        {-1, "Not Supported Return Code Value"},
        {13, "Not Supported Return Code Value"},
    };
    for (const Case &c : cases)
        EXPECT_STREQ(c.text, oem_text_for_error_code(c.code)) << "code " << c.code;
    // The text is the library's own storage: stable across calls.
    EXPECT_EQ(oem_text_for_error_code(7), oem_text_for_error_code(7));
}

TEST_F(ExportedCalls, LibraryVersion)
{
    struct Case {
        int size;
        const char *stored;
    } cases[] = {{64, "12.0.1215.0"}, {12, "12.0.1215.0"}, {11, "12.0.1215."}, {4, "12."}, {1, ""}};
    for (const Case &c : cases) {
        char buf[64];
        std::memset(buf, 'X', sizeof buf);
        EXPECT_EQ(11, oem_flash_lib_version(buf, c.size)) << c.size;
        EXPECT_STREQ(c.stored, buf) << c.size;
    }
    char untouched[4] = {'X', 'X', 'X', 'X'};
    EXPECT_EQ(11, oem_flash_lib_version(untouched, 0));
    EXPECT_EQ('X', untouched[0]);
    EXPECT_EQ(11, oem_flash_lib_version(untouched, -5));
    EXPECT_EQ('X', untouched[0]);
}

TEST_F(ExportedCalls, SecondDebugInfoKeepsTheFirstLog)
{
    ASSERT_EQ(0, oem_get_debug_info(log.c_str()));
    EXPECT_EQ(0, oem_get_debug_info(log2.c_str()));
    EXPECT_FALSE(file_exists(log2));
    std::string text = logged();
    EXPECT_NE(std::string::npos, text.find("oem_get_debug_info: log enabled with log file " + log + "\n"));
    EXPECT_NE(std::string::npos, text.find("oem_get_debug_info: log enabled with log file " + log2 + "\n"));
}

TEST_F(ExportedCalls, DebugInfoRefusesDirectoriesAndNull)
{
    EXPECT_EQ(6, oem_get_debug_info(images.c_str()));
    EXPECT_EQ(6, oem_get_debug_info(nullptr));
    EXPECT_EQ(6, oem_get_debug_info((dir + "/missing/dir/log").c_str()));
    // Logging stayed off: a call writes nowhere, and a later open starts clean.
    oem_do_discovery_with_files(nullptr, images.c_str());
    ASSERT_EQ(0, oem_get_debug_info(log.c_str()));
    EXPECT_EQ("oem_get_debug_info: log enabled with log file " + log + "\n", logged());
}

TEST_F(ExportedCalls, StatusTextClosesTheLog)
{
    ASSERT_EQ(0, oem_get_debug_info(log.c_str()));
    oem_text_for_error_code(3);
    std::string after_text = logged();
    EXPECT_NE(std::string::npos, after_text.find("entering oem_text_for_error_code with error code 3\n"));
    EXPECT_NE(std::string::npos, after_text.find("\noem_text_for_error_code:  error msg : " + std::string(kLongText3)));
    oem_text_for_error_code(42);
    write_file(xml, "<x/>");
    oem_do_flash_with_file(xml.c_str(), images.c_str());
    EXPECT_EQ(after_text, logged());
}

TEST_F(ExportedCalls, VersionCallLeavesTheLogAlone)
{
    ASSERT_EQ(0, oem_get_debug_info(log.c_str()));
    std::string before = logged();
    char buf[32];
    oem_flash_lib_version(buf, sizeof buf);
    EXPECT_EQ(before, logged());
    // Still open: the next call writes into it.
    oem_do_discovery_with_files(nullptr, images.c_str());
    EXPECT_NE(before, logged());
}

TEST_F(ExportedCalls, FailedDiscoveryKeepsTheLogOpen)
{
    ASSERT_EQ(0, oem_get_debug_info(log.c_str()));
    EXPECT_EQ(10000, oem_do_discovery_with_files(nullptr, images.c_str()));
    EXPECT_EQ(10000, oem_do_discovery_with_files(xml.c_str(), nullptr));
    EXPECT_EQ(7, oem_do_discovery_with_files(xml.c_str(), images.c_str()));
    // Still open after all three: the flash call writes, then closes it.
    EXPECT_EQ(10000, oem_do_flash_with_file(nullptr, images.c_str()));
    std::string text = logged();
    EXPECT_NE(std::string::npos, text.find("oem_do_discovery_with_files: Invalid discovery_file\n"));
    EXPECT_NE(std::string::npos, text.find("oem_do_discovery_with_files: Imagefile path not found\n"));
    EXPECT_NE(std::string::npos,
              text.find("oem_do_discovery_with_files: cannot create adapter list. discovery failed\n"));
    EXPECT_NE(std::string::npos, text.find("oem_do_flash_with_file: discovery_file argument is null. Valid "
                                           "discovery  file is expected\n"));
    EXPECT_EQ(7, oem_do_discovery_with_files(xml.c_str(), images.c_str()));
    EXPECT_EQ(text, logged());
    EXPECT_FALSE(file_exists(xml));
}

// Every argument check of the adapter-touching calls, with its code and
// its log line; each of these calls closes the log before it returns.
TEST_F(ExportedCalls, ArgumentChecks)
{
    std::string image = dir + "/image.ufi";
    write_file(image, "x");
    write_file(xml, "<x/>");
    std::string missing = dir + "/missing";
    int count = -1;
    struct Case {
        const char *what;
        std::function<int()> call;
        int code;
        std::string line;
    } cases[] = {
        {"flash: null discovery", [&] { return oem_do_flash_with_file(nullptr, image.c_str()); }, 10000,
         "discovery_file argument is null"},
        {"flash: null firmware", [&] { return oem_do_flash_with_file(xml.c_str(), nullptr); }, 10000,
         "oem_do_flash_with_file: firmware_file argument is null. Valid firmware file is expected\n"},
        {"flash: missing discovery", [&] { return oem_do_flash_with_file(missing.c_str(), image.c_str()); }, 11,
         "oem_do_flash_with_file: cannot access the discovery file " + missing + "\n"},
        {"flash: discovery is a directory", [&] { return oem_do_flash_with_file(images.c_str(), image.c_str()); },
         11, "oem_do_flash_with_file: cannot access the discovery file " + images + "\n"},
        {"flash: missing firmware", [&] { return oem_do_flash_with_file(xml.c_str(), missing.c_str()); }, 9,
         "oem_do_flash_with_file: cannot access the firmware file/directory " + missing + "\n"},
        {"flash: firmware directory", [&] { return oem_do_flash_with_file(xml.c_str(), images.c_str()); }, 7,
         "oem_do_flash_with_file: firmware_file argument is a directory\n"},
        {"flash: no adapter table", [&] { return oem_do_flash_with_file(xml.c_str(), image.c_str()); }, 7,
         "oem_do_flash_with_file: cannot create adapter list. discovery failed\n"},
        {"pci: null file", [&] { return oem_do_full_flash_PCI(nullptr, 0, 0, 3, 0, 0); }, 10000,
         "oem_do_full_flash_PCI: firmware_file argument is null. Valid firmware file is expected\n"},
        {"pci: missing file", [&] { return oem_do_full_flash_PCI(missing.c_str(), 0, 0, 3, 0, 0); }, 9,
         "oem_do_full_flash_PCI: cannot access the firmware file " + missing + "\n"},
        {"pci: directory", [&] { return oem_do_full_flash_PCI(images.c_str(), 1, 0, 3, 0, 0); }, 9,
         "oem_do_full_flash_PCI: cannot access the firmware file " + images + "\n"},
        {"pci: no adapter table", [&] { return oem_do_full_flash_PCI(image.c_str(), 0, 0, 3, 0, 0); }, 7,
         "oem_do_full_flash_PCI: cannot create adapter list. discovery failed\n"},
        {"dump: null file", [&] { return oem_get_full_flash_dump_PCI(nullptr, 0, 0, 3, 0, 0); }, 6,
         "oem_do_full_flash_dump_PCI: firmware_file argument is null. Valid firmware file is expected\n"},
        {"dump: directory", [&] { return oem_get_full_flash_dump_PCI(images.c_str(), 0, 0, 3, 0, 0); }, 6,
         "oem_do_full_flash_PCI: cannot access the firmware file " + images + "\n"},
        {"dump: no adapter table", [&] { return oem_get_full_flash_dump_PCI(missing.c_str(), 0, 0, 3, 0, 0); }, 6,
         "oem_do_full_flash_dump_PCI: cannot create adapter list. discovery failed\n"},
        {"info: null count", [&] { return oem_get_adapter_info(nullptr, nullptr, images.c_str()); }, 10000,
         "oem_get_adapter_info: nEntries is null\n"},
        {"info: null path", [&] { return oem_get_adapter_info(nullptr, &count, nullptr); }, 10000,
         "oem_get_adapter_info: firmware_file_path is null \n"},
        {"info: no adapter table", [&] { return oem_get_adapter_info(nullptr, &count, images.c_str()); }, 7,
         "oem_get_adapter_info: cannot create adapter list. discovery failed\n"},
    };
    for (Case &c : cases) {
        ::unlink(log.c_str());
        ASSERT_EQ(0, oem_get_debug_info(log.c_str()));
        EXPECT_EQ(c.code, c.call()) << c.what;
        std::string text = logged();
        EXPECT_NE(std::string::npos, text.find(c.line)) << c.what << "\n" << text;
        // Closed on return: nothing more reaches the file.
        oem_do_discovery_with_files(nullptr, nullptr);
        EXPECT_EQ(text, logged()) << c.what;
    }
    EXPECT_EQ(-1, count);
    EXPECT_FALSE(file_exists(missing));
}

TEST_F(ExportedCalls, CleanupRunsBeforeTheLockIsReleased)
{
    bool held_during_cleanup = false;
    {
        AutoMutex lock(libOvnFlashMutex);
        auto check = [&] {
            int rc = pthread_mutex_trylock(&libOvnFlashMutex);
            held_during_cleanup = rc == EBUSY;
            if (rc == 0)
                pthread_mutex_unlock(&libOvnFlashMutex);
        };
        AutoDestroy<decltype(check)> guard(check);
    }
    EXPECT_TRUE(held_during_cleanup);
    // And the lock is free afterwards.
    ASSERT_EQ(0, pthread_mutex_trylock(&libOvnFlashMutex));
    pthread_mutex_unlock(&libOvnFlashMutex);
}

TEST_F(ExportedCalls, AdapterCallsAreSerialised)
{
    std::promise<void> holding;
    std::promise<void> release;
    std::thread owner([&] {
        AutoMutex lock(libOvnFlashMutex);
        holding.set_value();
        release.get_future().wait();
    });
    holding.get_future().wait();
    auto discovery = std::async(std::launch::async,
                                [&] { return oem_do_discovery_with_files(xml.c_str(), images.c_str()); });
    auto flash = std::async(std::launch::async, [&] { return oem_do_flash_with_file(nullptr, images.c_str()); });
    EXPECT_EQ(std::future_status::timeout, discovery.wait_for(std::chrono::milliseconds(200)));
    EXPECT_EQ(std::future_status::timeout, flash.wait_for(std::chrono::milliseconds(1)));
    // The calls that take no lock go on meanwhile.
    char buf[16];
    EXPECT_EQ(11, oem_flash_lib_version(buf, sizeof buf));
    EXPECT_STREQ("Success", oem_text_for_error_code(0));
    release.set_value();
    owner.join();
    EXPECT_EQ(7, discovery.get());
    EXPECT_EQ(10000, flash.get());
}

} // namespace
