// The lock files of the management library and the turn of adapter calls,
// seen from the exported calls on the default machine: a file left by a dead
// holder hides no adapter and blocks no call; a live holder makes the call
// fail without touching the discovery file; a hung holder of the turn is
// waited for only up to its bound; a planted name is never followed.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "discovery_fixture.h"
#include "flash/adapter_list.h"
#include "flash/ovnflashlib.h"
#include "mgmt/vexo/linux/vexod_lock.h"

namespace {

using disctest::DebugLog;
using disctest::read_discovery;
using hlvdtest::file_exists;
using hlvdtest::read_file;
using hlvdtest::write_file;

// The default machine's AW2 adapter: its lock key, bus and running firmware.
const char kAw2Key[] = "AW2SIM00001";
const char kAw2Bus[] = "3";
const char kAw2Version[] = "4.2.433.604";

const char kTurnFile[] = "/tmp/hlvdflash_adapter_calls.lock";

class StaleLock : public ::testing::Test {
protected:
    hlvdtest::SimHost host;
    std::string images = host.path("/images");
    std::string xml = host.path("/discovery.xml");
    std::vector<pid_t> children;

    void SetUp() override
    {
        ASSERT_EQ(0, mkdir(images.c_str(), 0755));
        // A whole image, components and all, so that a flash can write it.
        std::string err;
        ASSERT_TRUE(hlvdsim::write_ufi(hlvdsim::default_ufi_spec(2, "4.2.500.1"), images + "/aw2.ufi", &err)) << err;
    }
    void TearDown() override
    {
        for (pid_t p : children)
            end_child(p);
        gAdapterTurnWaitMs = ADAPTER_TURN_WAIT_MS;
        oem_text_for_error_code(0);
    }
    void end_child(pid_t p)
    {
        kill(p, SIGKILL);
        waitpid(p, nullptr, 0);
        children.erase(std::remove(children.begin(), children.end(), p), children.end());
    }
    std::string asic_lock() const { return host.path(std::string("/tmp/VEXO_ASIC_") + kAw2Key + ".txt"); }
    int discover() { return oem_do_discovery_with_files(xml.c_str(), images.c_str()); }

    // Another process runs `hold` (which takes a lock) and then hangs.
    template <typename Hold> pid_t holder(Hold hold)
    {
        int ready[2];
        EXPECT_EQ(0, pipe(ready));
        pid_t pid = fork();
        EXPECT_GE(pid, 0);
        if (pid == 0) {
            close(ready[0]);
            if (!hold() || write(ready[1], "r", 1) != 1)
                _exit(2);
            for (;;)
                pause();
        }
        close(ready[1]);
        char c = 0;
        EXPECT_EQ(1, read(ready[0], &c, 1)) << "the holder took its lock";
        close(ready[0]);
        children.push_back(pid);
        return pid;
    }
    pid_t turn_holder()
    {
        std::string path = host.path(kTurnFile);
        return holder([path] {
            int fd = open(path.c_str(), O_RDWR | O_CREAT, 0600);
            return fd >= 0 && flock(fd, LOCK_EX) == 0;
        });
    }
};

// The AW2 adapter's first function in a discovery file; empty when missing.
DiscoveredDevice aw2(const std::string &xml)
{
    for (const DiscoveredDevice &d : read_discovery(xml))
        if (d.busnumber == kAw2Bus && d.funcnumber == "0")
            return d;
    return DiscoveredDevice();
}

// The reproducer: a file left behind (by hand here, as a killed holder
// leaves it) changes nothing in what discovery shows, and a flash works.
TEST_F(StaleLock, LeftFilesNeitherHideAdaptersNorStopAFlash)
{
    ASSERT_EQ(0, discover());
    const std::string clean = read_file(xml);
    DiscoveredDevice d = aw2(xml);
    ASSERT_EQ(kAw2Bus, d.busnumber);
    EXPECT_EQ(kAw2Version, d.firmware.active_version);
    EXPECT_EQ("upgrade", d.firmware.action);

    for (const std::string &left : {asic_lock(), host.path("/tmp/vexo_lock_init.txt")}) {
        SCOPED_TRACE(left);
        write_file(left, "");
        ASSERT_EQ(0, std::remove(xml.c_str()));
        EXPECT_EQ(0, discover());
        EXPECT_EQ(clean, read_file(xml)) << "every adapter shown as without the file";
        EXPECT_FALSE(file_exists(left)) << "taken over and released";
    }

    write_file(asic_lock(), "");
    EXPECT_EQ(1, oem_do_flash_with_file(xml.c_str(), images.c_str()));
    EXPECT_EQ("1", aw2(xml).firmware.action_status);
}

// A live holder of the start lock or of an adapter's lock: discovery fails
// with 7 after the one wait and leaves the old file as it was. Killed, the
// holder blocks nothing.
TEST_F(StaleLock, LiveHolderFailsDiscoveryAndAKilledOneBlocksNothing)
{
    const struct {
        const char *what;
        bool start_lock;
        const char *logged;
    } cases[] = {
        {"start lock", true, "LocateBrindlefin: the management library's start lock stayed busy\n"},
        {"adapter lock", false, "LocateBrindlefin: the adapter properties of converged adapter "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string old = "<old discovery file, kept byte for byte>\n";
        write_file(xml, old);
        pid_t pid = holder([&c] { return (c.start_lock ? vexo_init_acquire_lock() : vexo_acquire_lock(kAw2Key)) == 0; });
        {
            DebugLog log(host);
            EXPECT_EQ(7, discover());
            EXPECT_TRUE(log.has(c.logged)) << log.text();
            EXPECT_TRUE(log.has("oem_do_discovery_with_files: cannot create adapter list. discovery failed\n"));
        }
        EXPECT_EQ(old, read_file(xml));
        // A flash finds the adapter table failing the same way.
        EXPECT_EQ(7, oem_do_flash_with_file(xml.c_str(), images.c_str()));
        EXPECT_EQ(old, read_file(xml));

        end_child(pid);
        EXPECT_EQ(0, discover());
        EXPECT_EQ(kAw2Version, aw2(xml).firmware.active_version);
    }
}

// A call that waits for its turn behind a hung holder gives up at the bound
// with 7; the bound is real time even when the product's waits are skipped.
TEST_F(StaleLock, HungHolderOfTheTurnIsWaitedForOnlyUpToTheBound)
{
    ASSERT_EQ(0, discover());
    const std::string before = read_file(xml);
    pid_t pid = turn_holder();
    gAdapterTurnWaitMs = 400;
    {
        DebugLog log(host);
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(7, discover());
        double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        // The bound is counted in whole milliseconds of the monotonic clock.
        EXPECT_GE(waited, 0.398);
        EXPECT_LT(waited, 10.0);
        EXPECT_TRUE(log.has("CreateAdapterList: another adapter call kept the turn for 400 ms; giving up\n"));
    }
    EXPECT_EQ(before, read_file(xml));

    // A holder that lets go within the bound: the waiter takes its turn.
    gAdapterTurnWaitMs = 60 * 1000;
    auto t0 = std::chrono::steady_clock::now();
    std::thread release([pid] {
        usleep(300 * 1000);
        kill(pid, SIGKILL);
    });
    EXPECT_EQ(0, discover());
    EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 0.29);
    release.join();
}

// A symlink planted at a lock name is not followed: the call fails or the
// lock is busy, and the victim is neither made nor changed.
TEST_F(StaleLock, SymlinkAtALockNameIsNotFollowed)
{
    const std::string names[] = {kTurnFile, "/tmp/vexo_lock_init.txt",
                                 std::string("/tmp/VEXO_ASIC_") + kAw2Key + ".txt"};
    for (const std::string &name : names) {
        for (bool victim_exists : {false, true}) {
            SCOPED_TRACE(name + (victim_exists ? " to an existing file" : " to a missing file"));
            std::string victim = host.path("/victim");
            std::remove(victim.c_str());
            if (victim_exists)
                write_file(victim, "precious");
            ASSERT_EQ(0, symlink(victim.c_str(), host.path(name).c_str()));
            const std::string old = "<old>\n";
            write_file(xml, old);
            EXPECT_EQ(7, discover());
            EXPECT_EQ(old, read_file(xml));
            if (victim_exists)
                EXPECT_EQ("precious", read_file(victim));
            else
                EXPECT_FALSE(file_exists(victim));
            ASSERT_EQ(0, unlink(host.path(name).c_str()));
        }
    }
}

} // namespace
