// The host files the library rewrites (the discovery file, a flash dump, the
// log-level file), through the calls a host makes on a simulated machine:
// never written through a planted name, links and modes kept, a discovery
// file that is no regular file refused at once, and a writer killed at any
// moment leaves the old or the new file, whose temporary the next write
// removes.
#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include "flash/ovnflashlib.h"
#include "flash/discovery_xml.h"
#include "mgmt/aw/vexo-backend/log_level.h"
#include "mgmt/vexo/core/debug.h"
#include "sim/command_log.h"
#include "sim/machine.h"
#include "sim/ufi_generator.h"
#include "support/sim_host.h"

using hlvdtest::file_exists;
using hlvdtest::read_file;
using hlvdtest::write_file;

namespace {

// The default machine with its AW3 adapter only, to keep each call short.
// Its iSCSI function is left out: the start of an initiator writes saved
// targets and the simulated firmware's state, files the size limit of the
// kill tests would catch before the one they aim at.
std::string one_adapter_machine()
{
    nlohmann::json doc = nlohmann::json::parse(read_file(hlvdtest::source_path("sim/machines/default.json")));
    nlohmann::json kept = nlohmann::json::array();
    for (nlohmann::json a : doc["adapters"])
        if (a["name"] == "aw3") {
            nlohmann::json nics = nlohmann::json::array();
            for (const nlohmann::json &f : a["functions"])
                if (f["kind"] != "iscsi")
                    nics.push_back(f);
            a["functions"] = nics;
            kept.push_back(a);
        }
    doc["adapters"] = kept;
    return doc.dump();
}

std::vector<std::string> temporaries(const std::string &dir, const std::string &name)
{
    std::vector<std::string> out;
    const std::string prefix = "." + name + ".tmp.";
    DIR *d = opendir(dir.c_str());
    while (d) {
        dirent *e = readdir(d);
        if (!e)
            break;
        if (std::string(e->d_name).compare(0, prefix.size(), prefix) == 0)
            out.push_back(e->d_name);
    }
    if (d)
        closedir(d);
    return out;
}

void die_by_kill(int)
{
    kill(getpid(), SIGKILL);
}

// Runs `call` in a child process. With a `limit`, the child is killed
// (SIGKILL) the moment one of its writes would make a file larger.
pid_t start_child(const std::function<int()> &call, rlim_t limit = 0)
{
    pid_t pid = fork();
    if (pid == 0) {
        if (limit) {
            std::signal(SIGXFSZ, die_by_kill);
            struct rlimit lim = {limit, limit};
            setrlimit(RLIMIT_FSIZE, &lim);
        }
        _exit(call() == 0 ? 0 : 3);
    }
    return pid;
}

int wait_child(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

bool killed(int status)
{
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

class HostFiles : public ::testing::Test {
protected:
    hlvdtest::SimHost host{one_adapter_machine()};
    std::string images = host.path("/images");
    std::string log = host.path("/debug.log");

    void SetUp() override
    {
        ASSERT_EQ(0, mkdir(images.c_str(), 0755));
        std::string err;
        ASSERT_TRUE(hlvdsim::write_ufi(hlvdsim::default_ufi_spec(3, "10.2.370.15"), images + "/aw3.ufi", &err))
            << err;
    }
    void TearDown() override { oem_text_for_error_code(0); } // closes a log left open

    // What discovery writes on this machine.
    std::string discovery_text()
    {
        std::string scratch = host.path("/scratch.xml");
        EXPECT_EQ(0, oem_do_discovery_with_files(scratch.c_str(), images.c_str()));
        std::string text = read_file(scratch);
        unlink(scratch.c_str());
        return text;
    }

    // A 0600 file holding `text` at `real`, and `link` pointing to it.
    void linked_private_file(const std::string &link, const std::string &real, const std::string &text)
    {
        write_file(real, text);
        ASSERT_EQ(0, chmod(real.c_str(), 0600));
        ASSERT_EQ(0, symlink(real.c_str(), link.c_str()));
    }

    // A rewrite of `path` (a link to the 0600 file `real`) from `old_text` to
    // `new_text`, made by `call`; `midway` is a file size the new text
    // crosses and no other write of the call does.
    struct Rewrite {
        std::string path, real, old_text, new_text;
        rlim_t midway;
        std::function<int()> call;
    };

    void expect_whole(const Rewrite &r, const std::string &point)
    {
        SCOPED_TRACE(point);
        struct stat st;
        ASSERT_EQ(0, lstat(r.path.c_str(), &st));
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
        ASSERT_EQ(0, lstat(r.real.c_str(), &st));
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(0600u, st.st_mode & 07777);
        std::string now = read_file(r.real);
        EXPECT_TRUE(now == r.old_text || now == r.new_text) << "a file of " << now.size() << " bytes";
    }

    // The writer is killed with SIGKILL before it starts, in the middle of
    // writing its temporary, once the temporary is there, and after a range
    // of delays across the time a whole call takes. Each time the file is
    // whole: exactly the old or the new contents.
    void kill_at_every_point(const Rewrite &r)
    {
        // The simulated machine's command log would grow past the size limit
        // and take the kill for itself.
        // So would the management log, which the start of each call writes.
        const std::string growing[] = {hlvdsim::state_dir(host.root()) + "/commands.log",
                                       host.path("/var/log/TAQ/vexo/vexo2d.log")};
        for (const std::string &grows : growing) {
            unlink(grows.c_str());
            if (mknod(grows.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
                ASSERT_EQ(0, symlink("/dev/null", grows.c_str()));
            }
        }

        const std::string dir = r.real.substr(0, r.real.rfind('/'));
        const std::string name = r.real.substr(r.real.rfind('/') + 1);
        ASSERT_GT(r.new_text.size(), r.midway);
        auto restore = [&] {
            if (read_file(r.real) != r.old_text)
                write_file(r.real, r.old_text);
        };

        // A whole call, timed.
        auto t0 = std::chrono::steady_clock::now();
        int status = wait_child(start_child(r.call));
        auto whole = std::chrono::steady_clock::now() - t0;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_TRUE(r.new_text == read_file(r.real));
        expect_whole(r, "after a whole call");
        restore();

        pid_t pid = start_child(r.call);
        kill(pid, SIGKILL);
        wait_child(pid);
        expect_whole(r, "killed before it starts");
        restore();

        status = wait_child(start_child(r.call, r.midway));
        EXPECT_TRUE(killed(status)) << status;
        expect_whole(r, "killed in the middle of writing its temporary");
        EXPECT_TRUE(r.old_text == read_file(r.real));
        std::vector<std::string> left = temporaries(dir, name);
        ASSERT_EQ(1u, left.size()) << "the dead writer's temporary";
        struct stat st;
        ASSERT_EQ(0, stat((dir + "/" + left[0]).c_str(), &st));
        EXPECT_EQ(static_cast<off_t>(r.midway), st.st_size);

        auto fresh_temporary = [&] {
            for (const std::string &t : temporaries(dir, name))
                if (t != left[0])
                    return true;
            return false;
        };
        pid = start_child(r.call);
        while (!fresh_temporary() && waitpid(pid, &status, WNOHANG) == 0)
            std::this_thread::yield();
        kill(pid, SIGKILL);
        wait_child(pid);
        expect_whole(r, "killed once its temporary is there");
        restore();

        for (int k = 1; k <= 4; ++k) {
            pid = start_child(r.call);
            std::this_thread::sleep_for(whole * k / 5);
            kill(pid, SIGKILL);
            wait_child(pid);
            expect_whole(r, "killed after " + std::to_string(k) + "/5 of a whole call");
            restore();
        }

        // The next write removes what the dead writers left.
        unlink(log.c_str());
        oem_get_debug_info(log.c_str());
        EXPECT_EQ(0, r.call()) << (file_exists(log) ? read_file(log) : "");
        EXPECT_TRUE(r.new_text == read_file(r.real));
        expect_whole(r, "the next write");
        EXPECT_TRUE(temporaries(dir, name).empty());
        EXPECT_FALSE(file_exists(dir + "/" + left[0]));
        for (const std::string &grows : growing)
            unlink(grows.c_str());
    }
};

// The temporary file of an earlier scheme had a name anyone could guess; a
// link planted there must not lead the write elsewhere.
TEST_F(HostFiles, DiscoveryNeverWritesThroughAPlantedTemporaryName)
{
    const std::string text = discovery_text();
    std::string xml = host.path("/d.xml");
    std::string victim = host.path("/victim");
    write_file(victim, "precious");
    std::string planted = xml + ".tmp." + std::to_string(getpid());
    ASSERT_EQ(0, symlink(victim.c_str(), planted.c_str()));
    for (const char *state : {"no discovery file yet", "a discovery file there"}) {
        SCOPED_TRACE(state);
        EXPECT_EQ(0, oem_do_discovery_with_files(xml.c_str(), images.c_str()));
        EXPECT_EQ(text, read_file(xml));
        EXPECT_EQ("precious", read_file(victim));
        struct stat st;
        ASSERT_EQ(0, lstat(planted.c_str(), &st));
        EXPECT_TRUE(S_ISLNK(st.st_mode));
    }
}

TEST_F(HostFiles, LinkedPrivateDiscoveryFileStaysALinkWithItsModeAndOwner)
{
    const std::string text = discovery_text();
    ASSERT_EQ(0, mkdir(host.path("/private").c_str(), 0700));
    std::string xml = host.path("/d.xml");
    std::string real = host.path("/private/d.xml");
    linked_private_file(xml, real, "old contents");
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(0, chown(real.c_str(), 1234, 1234));
    }
    EXPECT_EQ(0, oem_do_discovery_with_files(xml.c_str(), images.c_str()));
    struct stat st;
    ASSERT_EQ(0, lstat(xml.c_str(), &st));
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(text, read_file(real));
    ASSERT_EQ(0, lstat(real.c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 07777);
    if (root) {
        EXPECT_EQ(1234u, st.st_uid);
        EXPECT_EQ(1234u, st.st_gid);
    }
}

// A discovery file that is a FIFO or a device would block the reader or feed
// it without end: refused at once as a corrupt discovery file, before any
// adapter is touched. A link to a regular file still serves.
TEST_F(HostFiles, FlashWithFileRefusesADiscoveryFileThatIsNoRegularFile)
{
    std::string fifo = host.path("/fifo.xml");
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0644));
    std::string to_fifo = host.path("/to-fifo.xml");
    ASSERT_EQ(0, symlink(fifo.c_str(), to_fifo.c_str()));
    std::string image = host.path("/aw3.ufi");
    write_file(image, "not flashed");
    std::string device = host.path("/null.xml");
    if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        device = fifo; // not allowed to make devices
    for (const std::string &xml : {fifo, to_fifo, device}) {
        SCOPED_TRACE(xml);
        hlvdsim::log_clear(host.root());
        unlink(log.c_str());
        ASSERT_EQ(0, oem_get_debug_info(log.c_str()));
        alarm(60); // a blocked call fails the test instead of hanging it
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(10010, oem_do_flash_with_file(xml.c_str(), image.c_str()));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        alarm(0);
        EXPECT_NE(std::string::npos,
                  read_file(log).find("oem_do_flash_with_file: xml parsing error. The operation failed with error "
                                      "'cannot open file'\n"));
        EXPECT_TRUE(hlvdsim::log_read(host.root()).empty()) << "no adapter was asked anything";
    }
    struct stat st;
    ASSERT_EQ(0, lstat(fifo.c_str(), &st));
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A link to a discovery file in which the host declined everything.
    std::string real = host.path("/real.xml");
    std::string xml = host.path("/d.xml");
    ASSERT_EQ(0, oem_do_discovery_with_files(real.c_str(), images.c_str()));
    std::vector<DiscoveredDevice> devices;
    ReadDiscoveryFile(real, devices);
    for (DiscoveredDevice &d : devices)
        d.firmware.action = "skip";
    GenerateDiscoveryFile(real, devices);
    ASSERT_EQ(0, symlink(real.c_str(), xml.c_str()));
    EXPECT_EQ(0, oem_do_flash_with_file(xml.c_str(), images.c_str()));
}

TEST_F(HostFiles, DiscoveryFileSurvivesAKilledWriter)
{
    Rewrite r;
    r.new_text = discovery_text();
    r.old_text = "<old discovery file/>\n";
    r.path = host.path("/d.xml");
    ASSERT_EQ(0, mkdir(host.path("/private").c_str(), 0755));
    r.real = host.path("/private/d.xml");
    r.midway = r.new_text.size() / 2;
    r.call = [&] { return oem_do_discovery_with_files(r.path.c_str(), images.c_str()); };
    linked_private_file(r.path, r.real, r.old_text);
    kill_at_every_point(r);
}

TEST_F(HostFiles, DumpSurvivesAKilledWriter)
{
    Rewrite r;
    std::string scratch = host.path("/scratch.bin");
    ASSERT_EQ(0, oem_get_full_flash_dump_PCI(scratch.c_str(), 0, 0, 4, 0, 1));
    r.new_text = read_file(scratch);
    ASSERT_EQ(16777216u, r.new_text.size());
    unlink(scratch.c_str());
    r.old_text = "the dump of yesterday";
    ASSERT_EQ(0, mkdir(host.path("/dumps").c_str(), 0755));
    ASSERT_EQ(0, mkdir(host.path("/store").c_str(), 0755));
    r.path = host.path("/dumps/aw3.bin");
    r.real = host.path("/store/aw3.bin");
    r.midway = 8u << 20;
    r.call = [&] { return oem_get_full_flash_dump_PCI(r.path.c_str(), 0, 0, 4, 0, 1); };
    linked_private_file(r.path, r.real, r.old_text);
    kill_at_every_point(r);
}

TEST_F(HostFiles, LogLevelFileSurvivesAKilledWriter)
{
    Rewrite r;
    r.path = host.path(VEXO_LOG_LEVEL_FILE);
    const int held = vexo_debug_level;
    vexo_debug_level = 4;
    ASSERT_EQ(0, VEXO_set_debug_level());
    r.new_text = read_file(r.path);
    vexo_debug_level = 2;
    ASSERT_EQ(0, VEXO_set_debug_level());
    r.old_text = read_file(r.path);
    vexo_debug_level = held;
    ASSERT_EQ(0, unlink(r.path.c_str()));
    ASSERT_EQ(0, mkdir(host.path("/keep").c_str(), 0755));
    r.real = host.path("/keep/libvexo.conf");
    r.midway = r.new_text.size() / 2;
    r.call = [] {
        vexo_debug_level = 4;
        return VEXO_set_debug_level();
    };
    linked_private_file(r.path, r.real, r.old_text);
    kill_at_every_point(r);
    vexo_debug_level = held;
}

// A new log-level file is 0644 whatever the umask, as the library has it.
TEST_F(HostFiles, NewLogLevelFileIsWorldReadable)
{
    std::string path = host.path(VEXO_LOG_LEVEL_FILE);
    unlink(path.c_str());
    mode_t old_mask = umask(077);
    EXPECT_EQ(0, VEXO_set_debug_level());
    umask(old_mask);
    struct stat st;
    ASSERT_EQ(0, stat(path.c_str(), &st));
    EXPECT_EQ(0644u, st.st_mode & 07777);
}

} // namespace
