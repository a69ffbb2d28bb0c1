// The back end's OS services on a simulated host: host identity, file
// locks between processes, directories, compression, clocks and time.
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "support/sim_host.h"

namespace
{

// A host described only by the identity files a test writes.
const char kBareMachine[] = R"({"adapters": []})";

mode_t mode_of(const std::string &path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

TEST(OsServices, HostKindFromIssueAndBanner)
{
    struct Row {
        const char *issue;  // null: no file
        const char *banner; // null: no file
        int kind;
    } rows[] = {
        {"Welcome\nVMware ESXi 6.7.0\n", nullptr, 2},
        {"Debian GNU/Linux\n", nullptr, 3},
        {nullptr, "anything", 2},
        {"Debian GNU/Linux\n", "", 2},
        {nullptr, nullptr, 3},
    };
    for (const Row &r : rows) {
        hlvdtest::SimHost host(kBareMachine);
        if (r.issue)
            hlvdtest::write_file(host.path("/etc/issue.net"), r.issue);
        if (r.banner)
            hlvdtest::write_file(host.path("/etc/banner"), r.banner);
        EXPECT_EQ(r.kind, VEXO_get_esx_version()) << (r.issue ? r.issue : "-") << " / " << (r.banner ? r.banner : "-");
    }
}

TEST(OsServices, VersionFromTheHostFiles)
{
    struct Row {
        const char *banner;
        const char *release;
        int rc, major, minor;
    } rows[] = {
        {"VMware ESXi 6.5.0 build-1\n", nullptr, 0, 6, 5},
        {nullptr, "VMware ESX 6.0.0 build-2\n", 0, 6, 0},
        {"line one\nVMware ESXi 4.1.0\n", nullptr, 0, 4, 1},
        {"5.5 and 6.5 on one line\n", nullptr, 0, 6, 5},   // the substrings are tried in order
        {"VMware ESXi 7.0.3\n", nullptr, 0, -1, -1},       // none of them: left as they were
        {"no version\n", "VMware ESX 5.1.0\n", 0, -1, -1}, // the banner wins when it exists
        {nullptr, nullptr, 1, -1, -1},
    };
    for (const Row &r : rows) {
        hlvdtest::SimHost host(kBareMachine);
        if (r.banner)
            hlvdtest::write_file(host.path("/etc/banner"), r.banner);
        if (r.release)
            hlvdtest::write_file(host.path("/etc/vmware-release"), r.release);
        int major = -1, minor = -1;
        char name[256] = "untouched";
        SCOPED_TRACE(r.banner ? r.banner : (r.release ? r.release : "no files"));
        EXPECT_EQ(r.rc, VEXO_get_os_info(&major, &minor, name));
        EXPECT_EQ(r.major, major);
        EXPECT_EQ(r.minor, minor);
        EXPECT_STREQ(r.rc == 0 ? "VMWare ESX Server" : "untouched", name);
    }
}

TEST(OsServices, CompressionRoundTripAndBounds)
{
    EXPECT_EQ(6, GetMaxCompressedLen(0));
    EXPECT_EQ(16395, GetMaxCompressedLen(16384));
    EXPECT_EQ(16401, GetMaxCompressedLen(16385));

    std::vector<unsigned char> src(50000);
    for (size_t i = 0; i < src.size(); ++i)
        src[i] = static_cast<unsigned char>((i * 7) % 251);
    std::vector<unsigned char> packed(static_cast<size_t>(GetMaxCompressedLen(static_cast<int>(src.size()))));
    int n = CompressData(src.data(), static_cast<int>(src.size()), packed.data(), static_cast<int>(packed.size()));
    ASSERT_GT(n, 2);
    EXPECT_EQ(0x78, packed[0]) << "zlib stream format";
    std::vector<unsigned char> back(src.size());
    EXPECT_EQ(static_cast<int>(src.size()),
              UncompressData(packed.data(), n, back.data(), static_cast<int>(back.size())));
    EXPECT_EQ(src, back);

    unsigned char tiny[1];
    EXPECT_EQ(-1, CompressData(src.data(), static_cast<int>(src.size()), tiny, 1));
    EXPECT_EQ(-1, UncompressData(packed.data(), n, back.data(), 100)) << "a destination too small";
    packed[5] ^= 0xFF;
    EXPECT_EQ(-1, UncompressData(packed.data(), n, back.data(), static_cast<int>(back.size())));
    // An uncompressible worst case still fits the bound.
    std::vector<unsigned char> noise(40000);
    unsigned int x = 12345;
    for (unsigned char &c : noise) {
        x = x * 1103515245u + 12345u;
        c = static_cast<unsigned char>(x >> 16);
    }
    std::vector<unsigned char> out(static_cast<size_t>(GetMaxCompressedLen(40000)));
    EXPECT_GT(CompressData(noise.data(), 40000, out.data(), static_cast<int>(out.size())), 0);
}

// A child process holds the whole-file lock for `hold_ms`, then exits.
pid_t hold_lock(const std::string &path, int hold_ms, int ready_fd)
{
    pid_t pid = fork();
    if (pid == 0) {
        FILE *fp = VEXO_file_open(path.c_str(), "a");
        int ok = fp && vexo_lock_file(fp) == 0;
        char c = ok ? 'y' : 'n';
        if (write(ready_fd, &c, 1) != 1)
            _exit(2);
        struct timespec ts = {hold_ms / 1000, (hold_ms % 1000) * 1000000L};
        nanosleep(&ts, nullptr);
        _exit(ok ? 0 : 1);
    }
    return pid;
}

TEST(OsServices, LockWaitsForAnotherProcessButNotForever)
{
    hlvdtest::SimHost host(kBareMachine);
    std::string path = host.path("/etc/config/TAQ/vexo/savetgt.txt");
    int pipefd[2];
    ASSERT_EQ(0, pipe(pipefd));

    // Released after 300 ms: the lock is taken once it is free.
    pid_t pid = hold_lock(path, 300, pipefd[1]);
    char c = 0;
    ASSERT_EQ(1, read(pipefd[0], &c, 1));
    ASSERT_EQ('y', c);
    FILE *fp = VEXO_file_open(path.c_str(), "a");
    ASSERT_NE(nullptr, fp);
    EXPECT_EQ(0, vexo_lock_file(fp));
    EXPECT_EQ(0, vexo_lock_file(fp)) << "a second lock of the same process does not wait";
    EXPECT_EQ(0, vexo_unlock_file(fp));
    int status = 0;
    waitpid(pid, &status, 0);

    // Held for longer than the bound: the wait ends with a failure.
    pid = hold_lock(path, VEXO_LOCK_WAIT_MS + 20000, pipefd[1]);
    ASSERT_EQ(1, read(pipefd[0], &c, 1));
    ASSERT_EQ('y', c);
    time_t before = time(nullptr);
    EXPECT_EQ(1, vexo_lock_file(fp));
    EXPECT_LE(time(nullptr) - before, VEXO_LOCK_WAIT_MS / 1000 + 5);
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    VEXO_file_close(fp);
    close(pipefd[0]);
    close(pipefd[1]);
    EXPECT_EQ(1, vexo_lock_file(nullptr));
    EXPECT_EQ(1, vexo_unlock_file(nullptr));
}

TEST(OsServices, DirectoriesAreMadeWithoutAShellAndCanBeEntered)
{
    // Not ESXi: /scratch is looked after as well.
    hlvdtest::SimHost host(kBareMachine);
    hlvdtest::remove_tree(host.path("/var/log/TAQ"));
    chmod(host.path("/scratch").c_str(), 0700);
    EXPECT_EQ(0, VEXO_config_log_dir_permissions());
    EXPECT_EQ(0755u, mode_of(host.path("/var/log/TAQ/vexo")));
    EXPECT_EQ(0755u, mode_of(host.path("/scratch")));

    hlvdtest::write_file(host.path("/var/log/TAQ/vexo/vexo2d.log"), "x\n");
    chmod(host.path("/var/log/TAQ/vexo/vexo2d.log").c_str(), 0600);
    chmod(host.path("/var/log/TAQ/vexo").c_str(), 0700);
    EXPECT_EQ(0, VEXO_config_log_dir_permissions());
    EXPECT_EQ(0755u, mode_of(host.path("/var/log/TAQ/vexo")));
    EXPECT_EQ(0644u, mode_of(host.path("/var/log/TAQ/vexo/vexo2d.log")));

    hlvdtest::remove_tree(host.path("/etc/config"));
    vexo_glob_timer[3][0].tv_sec = 99;
    EXPECT_EQ(0, VEXO_config_dir_permssions());
    EXPECT_EQ(0755u, mode_of(host.path("/etc/config/TAQ/vexo")));
    EXPECT_EQ(0, vexo_glob_timer[3][0].tv_sec) << "the clock table is cleared";
    hlvdtest::write_file(host.path("/etc/config/TAQ/vexo/savetgt.txt"), "");
    chmod(host.path("/etc/config/TAQ/vexo/savetgt.txt").c_str(), 0600);
    EXPECT_EQ(0, VEXO_config_dir_permssions());
    EXPECT_EQ(0600u, mode_of(host.path("/etc/config/TAQ/vexo/savetgt.txt")));
}

TEST(OsServices, ScratchIsLeftAloneOnEsxi)
{
    hlvdtest::SimHost host; // the default machine has a banner
    chmod(host.path("/scratch").c_str(), 0700);
    VEXO_config_log_dir_permissions();
    EXPECT_EQ(0700u, mode_of(host.path("/scratch")));
}

TEST(OsServices, FilesOpenCloseDeleteAndModes)
{
    hlvdtest::SimHost host(kBareMachine);
    std::string path = host.path("/tmp/f.txt");
    EXPECT_EQ(nullptr, VEXO_file_open(nullptr, "r"));
    EXPECT_EQ(nullptr, VEXO_file_open(path.c_str(), nullptr));
    EXPECT_EQ(nullptr, VEXO_file_open(path.c_str(), "r"));
    FILE *fp = VEXO_file_open(path.c_str(), "w");
    ASSERT_NE(nullptr, fp);
    VEXO_file_close(fp);
    VEXO_file_close(nullptr);
    chmod(path.c_str(), 0600);
    VEXO_change_permissions_file(path.c_str());
    EXPECT_EQ(0644u, mode_of(path));
    VEXO_change_permissions_file(host.path("/tmp/none").c_str());
    VEXO_delete_file(path.c_str());
    EXPECT_FALSE(hlvdtest::file_exists(path));
    VEXO_delete_file(path.c_str());
    VEXO_delete_file(nullptr);
}

TEST(OsServices, ClocksTimeAndNames)
{
    node plain;
    std::memset(&plain, 0, sizeof plain);
    plain.node_type = VEXO_NODE_PROPERTY; // not an instance: row 0
    EXPECT_EQ(0, VEXO_start_clock(&plain));
    int ms = -1;
    EXPECT_EQ(0, VEXO_stop_clock(&plain, &ms));
    EXPECT_GE(ms, 0);
    EXPECT_LT(ms, 10000);
    EXPECT_EQ(1, VEXO_start_clock(nullptr));
    EXPECT_EQ(1, VEXO_stop_clock(nullptr, &ms));

    setenv("TZ", "UTC-1", 1); // one hour east of Greenwich
    tzset();
    short month = 0, year = 0, hour = -1, day = 0, second = -1, minute = -1, msec = 1234, bias = 0;
    EXPECT_EQ(0, VEXO_get_system_time(&month, &year, &hour, &day, &second, &minute, &msec, &bias));
    EXPECT_EQ(60, bias);
    EXPECT_GE(month, 1);
    EXPECT_LE(month, 12);
    EXPECT_GE(year, 2024);
    EXPECT_GE(day, 1);
    EXPECT_EQ(1234, msec) << "milliseconds are left as the caller set them";
    setenv("TZ", "UTC+5", 1);
    tzset();
    VEXO_get_system_time(&month, &year, &hour, &day, &second, &minute, &msec, &bias);
    EXPECT_EQ(-300, bias);

    char value[256] = "";
    EXPECT_EQ(0, VEXO_get_secure_jumper_state(0, value));
    EXPECT_STREQ("N/A", value);
    char name[256] = "";
    EXPECT_EQ(0, VEXO_get_system_name(name));
    EXPECT_NE('\0', name[0]);
}

} // namespace
