// A Logout whose rewrite of the saved-targets file (dropping the persistent
// login's line) is killed mid-way: the file stays whole, the dead writer's
// temporary is never taken for it, and the next start and rewrite work.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include "backend_fixture.h"
#include "iscsi_fixture.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/aw/vexo-backend/persistence_files.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/machine.h"
#include "support/sim_host.h"

using namespace backendtest;
using namespace iscsitest;
using json = nlohmann::json;

namespace
{

const char kTarget[] = "iqn.2001-04.com.example:open";
const char kSerial[] = "AW3KIL01";
const char kSaved[] = "/etc/config/TAQ/vexo/savetgt.txt";
// Lines of other targets around the persistent login's line, enough that a
// size limit of half the new file falls inside the rewrite and above every
// other file the logout writes.
const int kOtherLines = 300;

std::string machine()
{
    json m = json::parse(R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3KIL01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:32" } ] } ] })");
    json init;
    init["name"] = "iqn.1998-01.com.example:host";
    init["targets"] = json::array({{{"id", 1}, {"name", kTarget}}});
    m["adapters"][0]["functions"][0]["initiator"] = init;
    return m.dump();
}

void die_by_kill(int)
{
    kill(getpid(), SIGKILL);
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

class LogoutKill : public IscsiHost
{
protected:
    void SetUp() override
    {
        host_.reset(new hlvdtest::SimHost(machine()));
        start();
    }
    void start() { boot(kSerial, true); }
    node *target()
    {
        node *t = find_target(lhba_, kTarget);
        if (t)
            return t;
        t = setup_target(lhba_, kTarget, nullptr, nullptr, nullptr, 0);
        if (!t)
            return nullptr;
        setup_portal(t, "10.0.0.1", "3260", "1", nullptr, nullptr, nullptr);
        node *opts = internal_get_node(t, "TargetLoginOptions", VEXO_NODE_GROUP);
        set_prop_val(opts, "HeaderParam", "%s", "Prohibited");
        set_prop_val(opts, "DataParam", "%s", "Prohibited");
        return t;
    }
    // The simulator's command log and the management log grow with every
    // call; sent to /dev/null, the size limit hits only the file aimed at.
    void quiet_logs()
    {
        for (const std::string &grows :
             {hlvdsim::state_dir(host_->root()) + "/commands.log", host_->path("/var/log/TAQ/vexo/vexo2d.log")}) {
            unlink(grows.c_str());
            if (mknod(grows.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
                ASSERT_EQ(0, symlink("/dev/null", grows.c_str()));
            }
        }
    }
};

TEST_F(LogoutKill, KilledRewriteLeavesTheOldFileWhole)
{
    node *t = target();
    ASSERT_NE(nullptr, t);
    ASSERT_EQ(0, act(t, "Login", {"10.0.0.1"}).result);
    ASSERT_EQ(1u, initiator()["persistent"].size());
    const std::string path = host_->path(kSaved);
    const std::string line = hlvdtest::read_file(path);
    ASSERT_EQ(1, std::count(line.begin(), line.end(), '\n')) << line;

    // The login's line among many of other targets of the same LogicalHBA.
    std::string before, after;
    for (int i = 0; i < kOtherLines; ++i) {
        std::string other = line;
        other.replace(other.find(kTarget), sizeof kTarget - 1, std::string(kTarget) + "-" + std::to_string(i));
        (i < kOtherLines / 2 ? before : after) += other;
    }
    const std::string old_text = before + line + after, new_text = before + after;
    hlvdtest::write_file(path, old_text);
    ASSERT_EQ(0, chmod(path.c_str(), 0600));
    quiet_logs();
    const rlim_t midway = new_text.size() / 2;

    pid_t pid = fork();
    ASSERT_NE(-1, pid);
    if (pid == 0) {
        std::signal(SIGXFSZ, die_by_kill);
        struct rlimit lim = {midway, midway};
        setrlimit(RLIMIT_FSIZE, &lim);
        _exit(act(t, "Logout").result == 0 ? 0 : 3);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;

    // The firmware side was done before the rewrite.
    EXPECT_EQ(0u, initiator().value("sessions", json::array()).size());
    EXPECT_EQ(0u, initiator()["persistent"].size());
    // The old file, whole; the dead writer's temporary stays beside it.
    const std::string dir = path.substr(0, path.rfind('/')), name = path.substr(path.rfind('/') + 1);
    EXPECT_TRUE(hlvdtest::read_file(path) == old_text) << "a file of " << hlvdtest::read_file(path).size();
    struct stat st;
    ASSERT_EQ(0, stat(path.c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 07777);
    std::vector<std::string> left = temporaries(dir, name);
    ASSERT_EQ(1u, left.size()) << "the dead writer's temporary";
    ASSERT_EQ(0, stat((dir + "/" + left[0]).c_str(), &st));
    EXPECT_EQ(static_cast<off_t>(midway), st.st_size);

    // The next start reads the file as it is, and the rewrite the logout
    // did not finish then succeeds, counted memory and all.
    EXPECT_EQ(0, VEXO_exit());
    started_ = false;
    EXPECT_EQ(count_, vexo_counter);
    start();
    EXPECT_TRUE(hlvdtest::read_file(path) == old_text);
    int before_rewrite = vexo_counter;
    EXPECT_EQ(0, VEXO_remove_entry_from_file(lhba_, kTarget, "10.0.0.1", "3260", 0, VEXO_FILE_SAVED_TARGET));
    EXPECT_EQ(before_rewrite, vexo_counter);
    EXPECT_TRUE(hlvdtest::read_file(path) == new_text) << "a file of " << hlvdtest::read_file(path).size();
    EXPECT_TRUE(temporaries(dir, name).empty()) << "the next rewrite removes the dead writer's temporary";
    ASSERT_EQ(0, stat(path.c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 07777);
}

} // namespace
