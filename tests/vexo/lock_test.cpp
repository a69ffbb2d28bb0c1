// Lock files: the start lock and the adapter locks, within one process and
// between processes on one simulated host.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include <csignal>

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/linux/vexod_lock.h"
#include "support/lock_holder.h"
#include "vexo_test_tree.h"

using hlvdtest::LockHolder;
using hlvdtest::SimHost;
using hlvdtest::file_exists;
using hlvdtest::read_file;
using hlvdtest::write_file;
using namespace vexotest;

namespace {

std::string lock_path(const SimHost &host, const std::string &key)
{
    return host.path("/tmp/VEXO_ASIC_" + key + ".txt");
}

node *adapter_with_serial(const char *serial)
{
    node *a = build_adapter();
    if (a)
        set_prop_val(a, "SerialNumber", "%s", serial);
    return a;
}

VEXO_status_t read_label(node *a, char value[VEXO_VALUE_SIZE])
{
    node_tag_t label = tag_of(a->node_tag, "Label", VEXO_NODE_PROPERTY);
    return VEXO_get_property_val(a->node_tag, label, value, VEXO_VALUE_SIZE);
}

VEXO_status_t run_hold(node *a)
{
    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
    absent_params(params);
    return VEXO_do_action(a->node_tag, tag_of(a->node_tag, "Hold", VEXO_NODE_ACTION), params, nullptr);
}

// Starts the library; two processes starting at once may find the start
// lock busy (at once, without the wait of a real host), then try again.
void start_library()
{
    for (int i = 0; i < 100000 && VEXO_init() == VEXO_STATUS_ADAPTER_BUSY; ++i)
        VEXO_exit();
}

int wait_child(pid_t pid)
{
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

TEST(VexoLock, FilesAreMadeOnlyByTheTakerAndRemovedOnlyByIt)
{
    SimHost host(kNoAdapterMachine);
    EXPECT_EQ(0, vexo_acquire_lock("ABC"));
    EXPECT_TRUE(file_exists(lock_path(host, "ABC")));
    EXPECT_EQ("", read_file(lock_path(host, "ABC")));
    EXPECT_EQ(0, vexo_release_lock("ABC"));
    EXPECT_FALSE(file_exists(lock_path(host, "ABC")));
    EXPECT_EQ(1, vexo_release_lock("ABC"));

    // Keys that cannot name a file in /tmp.
    EXPECT_EQ(1, vexo_acquire_lock(""));
    EXPECT_EQ(1, vexo_release_lock(""));
    EXPECT_EQ(1, vexo_acquire_lock(nullptr));
    EXPECT_EQ(1, vexo_acquire_lock("../etc/x"));
    std::string longest(VEXO_LOCK_KEY_SIZE - 1 - std::strlen("/tmp/VEXO_ASIC_.txt"), 'k');
    EXPECT_EQ(0, vexo_acquire_lock(longest.c_str()));
    EXPECT_EQ(0, vexo_release_lock(longest.c_str()));
    EXPECT_EQ(1, vexo_acquire_lock((longest + "k").c_str())); // refused, not cut

    // A live holder's file: busy, and never removed by us.
    LockHolder other(lock_path(host, "OTHER"));
    EXPECT_EQ(1, vexo_acquire_lock("OTHER"));
    EXPECT_EQ(1, vexo_release_lock("OTHER"));
    EXPECT_TRUE(file_exists(lock_path(host, "OTHER")));

    // A file nobody holds is taken over, and is then ours to remove.
    write_file(lock_path(host, "LEFT"), "");
    EXPECT_EQ(0, vexo_acquire_lock("LEFT"));
    EXPECT_EQ(0, vexo_release_lock("LEFT"));
    EXPECT_FALSE(file_exists(lock_path(host, "LEFT")));

    EXPECT_EQ(0, vexo_init_acquire_lock());
    EXPECT_TRUE(file_exists(host.path("/tmp/vexo_lock_init.txt")));
    EXPECT_EQ(1, vexo_init_acquire_lock()); // one holder, even in one process
    EXPECT_EQ(0, vexo_init_release_lock());
    EXPECT_FALSE(file_exists(host.path("/tmp/vexo_lock_init.txt")));
    EXPECT_EQ(1, vexo_init_release_lock());
}

TEST(VexoLock, BusyAdapterMakesEveryLockedCallAnswer14)
{
    SimHost host(kNoAdapterMachine);
    VEXO_init();
    vexo_debug_level = VEXO_LOG_ERROR;
    handler_log = HandlerLog();
    node *a = adapter_with_serial("SN1");
    ASSERT_TRUE(a);
    LockHolder holder(lock_path(host, "SN1"));

    char value[VEXO_VALUE_SIZE];
    EXPECT_EQ(VEXO_STATUS_ADAPTER_BUSY, read_label(a, value));
    LastStatus st = last_status();
    EXPECT_EQ(VEXO_STATUS_ADAPTER_BUSY, st.code);
    EXPECT_EQ("Failed to execute command because adapter is in busy state.", st.text);
    std::strcpy(value, "hello");
    EXPECT_EQ(VEXO_STATUS_ADAPTER_BUSY,
              VEXO_set_property_val(a->node_tag, tag_of(a->node_tag, "Label", VEXO_NODE_PROPERTY), value, 256));
    EXPECT_EQ(VEXO_STATUS_ADAPTER_BUSY, VEXO_refresh_group(tag_of(a->node_tag, "Diagnostics", VEXO_NODE_GROUP)));
    EXPECT_EQ(0, handler_log.refresh_calls);
    EXPECT_EQ(VEXO_STATUS_ADAPTER_BUSY, run_hold(a));
    EXPECT_TRUE(file_exists(lock_path(host, "SN1")));
    EXPECT_NE(std::string::npos,
              read_file(host.path("/var/log/TAQ/vexo/vexo2d.log")).find("ERROR:VEXO_get_property_val:Failed to acquire lock.\n"));

    // The root belongs to no adapter and is read without a lock.
    EXPECT_EQ(0, VEXO_get_property_val(0, 1, value, sizeof value));

    // Freed, the call runs and leaves no lock file behind.
    holder.gone();
    EXPECT_EQ(0, read_label(a, value));
    EXPECT_STREQ("abc", value);
    EXPECT_FALSE(file_exists(lock_path(host, "SN1")));
    VEXO_exit();
}

TEST(VexoLock, KeyIsTheSerialNumberOrElseTheBusNumber)
{
    SimHost host(kNoAdapterMachine);
    VEXO_init();
    node *a = adapter_with_serial("N/A");
    ASSERT_TRUE(a);
    node *nic = build_nic(a);
    ASSERT_TRUE(nic);
    char value[VEXO_VALUE_SIZE];
    char key[VEXO_VALUE_SIZE];

    EXPECT_EQ(0, VEXO_get_asic_serial_number(nic, key));
    EXPECT_STREQ("0x7", key);
    LockHolder holder(lock_path(host, "0x7"));
    EXPECT_EQ(VEXO_STATUS_ADAPTER_BUSY, read_label(a, value));
    set_prop_val(a, "SerialNumber", "%s", "");
    EXPECT_EQ(VEXO_STATUS_ADAPTER_BUSY, read_label(a, value));
    set_prop_val(a, "SerialNumber", "%s", "REAL");
    EXPECT_EQ(0, read_label(a, value));

    // Keys of all adapters, in instance order.
    node *b = adapter_with_serial("n/a"); // no function: no key
    ASSERT_TRUE(b);
    char keys[VEXO_MAX_ADAPTERS][VEXO_SERIAL_NUM_SIZE] = {};
    int count = 0;
    EXPECT_EQ(1, VEXO_enumerate_serial_numbers(&count, keys[0]));
    set_prop_val(b, "SerialNumber", "%s", "SECOND");
    count = 0;
    EXPECT_EQ(0, VEXO_enumerate_serial_numbers(&count, keys[0]));
    EXPECT_EQ(2, count);
    EXPECT_STREQ("REAL", keys[0]);
    EXPECT_STREQ("SECOND", keys[1]);
    count = VEXO_MAX_ADAPTERS - 1;
    EXPECT_EQ(1, VEXO_enumerate_serial_numbers(&count, keys[0])); // no room for the second

    // A node of an adapter without any key goes on unlocked.
    set_prop_val(b, "SerialNumber", "%s", "N/A");
    EXPECT_EQ(1, VEXO_get_asic_serial_number(b, key));
    EXPECT_EQ(0, read_label(b, value));
    EXPECT_EQ(1, VEXO_get_asic_serial_number(get_node(0), key));
    EXPECT_EQ(1, VEXO_get_asic_serial_number(nullptr, key));
    VEXO_exit();
}

TEST(VexoLock, BusyStartLockLeavesTheClientCounted)
{
    SimHost host(kNoAdapterMachine);
    int start = vexo_counter;
    LockHolder holder(host.path("/tmp/vexo_lock_init.txt"));
    EXPECT_EQ(VEXO_STATUS_ADAPTER_BUSY, VEXO_init());
    EXPECT_EQ(VEXO_STATUS_ADAPTER_BUSY, last_status().code);
    EXPECT_EQ(1, vexo_client_count);
    EXPECT_EQ(nullptr, get_node(0));
    EXPECT_TRUE(file_exists(host.path("/tmp/vexo_lock_init.txt")));

    // A client that starts again instead of stopping gets a built hierarchy.
    holder.gone();
    EXPECT_EQ(1, VEXO_init());
    EXPECT_EQ(2, vexo_client_count);
    EXPECT_TRUE(get_node(0));
    EXPECT_FALSE(file_exists(host.path("/tmp/vexo_lock_init.txt")));
    VEXO_exit();
    VEXO_exit();
    EXPECT_EQ(0, vexo_client_count);
    EXPECT_EQ(nullptr, get_node(0));
    EXPECT_EQ(start, vexo_counter);
}

TEST(VexoLock, OneWaitOfThreeSecondsThenBusy)
{
    SimHost host(kNoAdapterMachine);
    unsetenv("HLVD_NO_SLEEP");
    LockHolder holder(lock_path(host, "SLOW"));
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(1, vexo_acquire_lock("SLOW"));
    double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(waited, 2.9);
    EXPECT_LT(waited, 6.0);

    // Released during the wait: taken, and the file is ours now. The child
    // shares the holder's open file, and with it the flock.
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        usleep(1000 * 1000);
        _exit(unlink(lock_path(host, "SLOW").c_str()) == 0 ? 0 : 1);
    }
    close(holder.fd);
    holder.fd = -1;
    EXPECT_EQ(0, vexo_acquire_lock("SLOW"));
    EXPECT_EQ(0, wait_child(pid));
    EXPECT_TRUE(file_exists(lock_path(host, "SLOW")));
    EXPECT_EQ(0, vexo_release_lock("SLOW"));
    EXPECT_FALSE(file_exists(lock_path(host, "SLOW")));
}

// A second process holds the adapter inside an action until told to go on.
int hold_fd_ready = -1;
int hold_fd_go = -1;

void hold_until_told(node *)
{
    char c = 'r';
    if (write(hold_fd_ready, &c, 1) != 1)
        _exit(3);
    if (read(hold_fd_go, &c, 1) != 1)
        _exit(4);
}

TEST(VexoLock, AdapterHeldByAnotherProcessIsBusy)
{
    SimHost host(kNoAdapterMachine);
    int ready[2];
    int go[2];
    ASSERT_EQ(0, pipe(ready));
    ASSERT_EQ(0, pipe(go));
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        hold_fd_ready = ready[1];
        hold_fd_go = go[0];
        hold_hook = hold_until_told;
        close(ready[0]);
        close(go[1]);
        start_library();
        node *a = adapter_with_serial("SHARED");
        int rc = (a && run_hold(a) == 0) ? 0 : 2;
        VEXO_exit();
        _exit(rc);
    }
    close(ready[1]);
    close(go[0]);
    start_library();
    node *a = adapter_with_serial("SHARED");
    ASSERT_TRUE(a);
    char c;
    ASSERT_EQ(1, read(ready[0], &c, 1));
    char value[VEXO_VALUE_SIZE];
    EXPECT_EQ(VEXO_STATUS_ADAPTER_BUSY, read_label(a, value));
    // Another adapter is not held.
    node *b = adapter_with_serial("FREE");
    ASSERT_TRUE(b);
    EXPECT_EQ(0, read_label(b, value));

    ASSERT_EQ(1, write(go[1], "g", 1));
    EXPECT_EQ(0, wait_child(pid));
    EXPECT_FALSE(file_exists(lock_path(host, "SHARED")));
    EXPECT_EQ(0, read_label(a, value));
    VEXO_exit();
}

void die_holding(node *)
{
    _exit(0);
}

// A holder that dies holding leaves its file; the next caller takes it over.
TEST(VexoLock, LockOfADeadProcessIsTakenOver)
{
    SimHost host(kNoAdapterMachine);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        hold_hook = die_holding;
        start_library();
        node *a = adapter_with_serial("GONE");
        run_hold(a);
        _exit(2);
    }
    EXPECT_EQ(0, wait_child(pid));
    EXPECT_TRUE(file_exists(lock_path(host, "GONE")));

    VEXO_init();
    vexo_debug_level = VEXO_LOG_DEBUG;
    node *a = adapter_with_serial("GONE");
    ASSERT_TRUE(a);
    char value[VEXO_VALUE_SIZE];
    EXPECT_EQ(0, read_label(a, value));
    EXPECT_STREQ("abc", value);
    EXPECT_FALSE(file_exists(lock_path(host, "GONE")));
    EXPECT_NE(std::string::npos, read_file(host.path("/var/log/TAQ/vexo/vexo2d.log"))
                                     .find("VEXO_ASIC_GONE.txt was left by a holder that is gone; taken over\n"));
    VEXO_exit();
}

// Another process takes a lock and waits; it is then killed, or left alive.
TEST(VexoLock, KilledHolderNeverBlocksTheNextCallAndALiveOneDoes)
{
    const struct {
        const char *key; // empty: the start lock
        int signal;      // 0: the holder stays alive
        int expected;
    } cases[] = {
        {"KILLED", SIGKILL, 0}, {"", SIGKILL, 0}, {"TERMED", SIGTERM, 0}, {"", SIGTERM, 0},
        {"ALIVE", 0, 1},        {"", 0, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.key) + " signal " + std::to_string(c.signal));
        SimHost host(kNoAdapterMachine);
        std::string file = c.key[0] ? lock_path(host, c.key) : host.path("/tmp/vexo_lock_init.txt");
        int ready[2];
        ASSERT_EQ(0, pipe(ready));
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(ready[0]);
            int rc = c.key[0] ? vexo_acquire_lock(c.key) : vexo_init_acquire_lock();
            if (rc != 0 || write(ready[1], "r", 1) != 1)
                _exit(2);
            for (;;)
                pause();
        }
        close(ready[1]);
        char ch;
        ASSERT_EQ(1, read(ready[0], &ch, 1));
        close(ready[0]);
        if (c.signal) {
            kill(pid, c.signal);
            waitpid(pid, nullptr, 0);
        }
        EXPECT_TRUE(file_exists(file));
        EXPECT_EQ(c.expected, c.key[0] ? vexo_acquire_lock(c.key) : vexo_init_acquire_lock());
        if (!c.signal) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            continue;
        }
        EXPECT_EQ(0, c.key[0] ? vexo_release_lock(c.key) : vexo_init_release_lock());
        EXPECT_FALSE(file_exists(file));
    }
}

// Several processes find one stale file at the same moment: one takes it.
TEST(VexoLock, OneTakerOfAStaleFile)
{
    SimHost host(kNoAdapterMachine);
    const int takers = 6;
    for (int round = 0; round < 20; ++round) {
        write_file(lock_path(host, "RACE"), "");
        int go[2], done[2];
        ASSERT_EQ(0, pipe(go));
        ASSERT_EQ(0, pipe(done));
        pid_t pids[takers];
        for (int i = 0; i < takers; ++i) {
            pids[i] = fork();
            ASSERT_GE(pids[i], 0);
            if (pids[i] == 0) {
                close(go[1]);
                char ch;
                if (read(go[0], &ch, 1) != 0)
                    _exit(3);
                char r = vexo_acquire_lock("RACE") == 0 ? 'T' : 'b';
                if (write(done[1], &r, 1) != 1)
                    _exit(4);
                for (;;) // holds what it took until killed
                    pause();
            }
        }
        close(go[0]);
        close(done[1]);
        close(go[1]); // all start at once
        int taken = 0;
        for (int i = 0; i < takers; ++i) {
            char r;
            ASSERT_EQ(1, read(done[0], &r, 1));
            taken += r == 'T';
        }
        close(done[0]);
        EXPECT_EQ(1, taken) << "round " << round;
        EXPECT_EQ(1, vexo_acquire_lock("RACE"));
        for (pid_t p : pids) {
            kill(p, SIGKILL);
            waitpid(p, nullptr, 0);
        }
        EXPECT_EQ(0, vexo_acquire_lock("RACE"));
        EXPECT_EQ(0, vexo_release_lock("RACE"));
    }
}

// A name at a lock path that is not a plain file of this user is never
// followed or written through: the lock is not taken.
TEST(VexoLock, PlantedNamesAreNotFollowed)
{
    enum Plant { LINK_TO_NOTHING, LINK_TO_FILE, DIRECTORY, FIFO, OTHER_USER, SECOND_NAME };
    const struct {
        const char *what;
        Plant plant;
    } cases[] = {
        {"symlink to a missing file", LINK_TO_NOTHING}, {"symlink to an existing file", LINK_TO_FILE},
        {"directory", DIRECTORY},                       {"fifo", FIFO},
        {"another user's file", OTHER_USER},            {"second name of a file", SECOND_NAME},
    };
    for (const auto &c : cases) {
        for (bool start_lock : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (start_lock ? " at the start lock" : " at an adapter lock"));
            if (c.plant == OTHER_USER && geteuid() != 0)
                continue; // only root can give a file away
            SimHost host(kNoAdapterMachine);
            VEXO_init();
            vexo_debug_level = VEXO_LOG_ERROR;
            std::string name = start_lock ? host.path("/tmp/vexo_lock_init.txt") : lock_path(host, "PLANT");
            std::string victim = host.path("/victim");
            if (c.plant != LINK_TO_NOTHING)
                write_file(victim, "precious");
            switch (c.plant) {
            case LINK_TO_NOTHING:
            case LINK_TO_FILE:
                ASSERT_EQ(0, symlink(victim.c_str(), name.c_str()));
                break;
            case DIRECTORY:
                ASSERT_EQ(0, mkdir(name.c_str(), 0700));
                break;
            case FIFO:
                ASSERT_EQ(0, mkfifo(name.c_str(), 0600));
                break;
            case OTHER_USER:
                write_file(name, "");
                ASSERT_EQ(0, chown(name.c_str(), 4321, 4321));
                break;
            case SECOND_NAME:
                ASSERT_EQ(0, link(victim.c_str(), name.c_str()));
                break;
            }
            EXPECT_EQ(1, start_lock ? vexo_init_acquire_lock() : vexo_acquire_lock("PLANT"));
            EXPECT_EQ(1, start_lock ? vexo_init_release_lock() : vexo_release_lock("PLANT"));
            struct stat st;
            EXPECT_EQ(0, lstat(name.c_str(), &st)) << "the planted name stays";
            if (c.plant == LINK_TO_NOTHING)
                EXPECT_FALSE(file_exists(victim));
            else
                EXPECT_EQ("precious", read_file(victim));
            EXPECT_NE(std::string::npos, read_file(host.path("/var/log/TAQ/vexo/vexo2d.log")).find("vexo lock: "));
            VEXO_exit();
        }
    }
}

// Both processes run many actions on one adapter; inside the action each
// marks the adapter as its own with an exclusive file. Had both held the
// lock at once, a mark would already be there.
std::string inside_mark;
int overlaps = 0;

void mark_inside(node *)
{
    int fd = open(inside_mark.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
        ++overlaps;
        return;
    }
    close(fd);
    for (int i = 0; i < 20; ++i)
        sched_yield();
    unlink(inside_mark.c_str());
}

int run_many(int wanted)
{
    hold_hook = mark_inside;
    start_library();
    node *a = adapter_with_serial("CONTENDED");
    if (!a)
        return -1;
    int done = 0;
    for (int tries = 0; done < wanted && tries < 1000000; ++tries) {
        VEXO_status_t r = run_hold(a);
        if (r == VEXO_STATUS_SUCCESS)
            ++done;
        else if (r != VEXO_STATUS_ADAPTER_BUSY)
            return -1;
    }
    VEXO_exit();
    return done == wanted ? overlaps : -1;
}

TEST(VexoLock, TwoProcessesNeverHoldOneAdapterAtOnce)
{
    SimHost host(kNoAdapterMachine);
    inside_mark = host.path("/tmp/inside.mark");
    const int wanted = 300;
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        int r = run_many(wanted);
        _exit(r < 0 ? 100 : (r > 99 ? 99 : r));
    }
    EXPECT_EQ(0, run_many(wanted));
    EXPECT_EQ(0, wait_child(pid));
    EXPECT_FALSE(file_exists(lock_path(host, "CONTENDED")));
    EXPECT_FALSE(file_exists(host.path("/tmp/vexo_lock_init.txt")));
}

} // namespace
