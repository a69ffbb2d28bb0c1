// The simulated machine's state on disk: a firmware command reads and
// rewrites only its own adapter's file, separate processes changing one
// adapter lose no update, and a changed description reaches every reader.
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "sim/converged_adapter.h"
#include "sim/driver_records.h"
#include "sim/drivers.h"
#include "sim/machine.h"
#include "support/sim_host.h"

using nlohmann::json;

namespace
{

struct FileId {
    ino_t ino;
    off_t size;
    bool operator==(const FileId &o) const { return ino == o.ino && size == o.size; }
};

FileId file_id(const std::string &path)
{
    struct stat st;
    EXPECT_EQ(0, stat(path.c_str(), &st)) << path;
    return FileId{st.st_ino, st.st_size};
}

// The PCI name of the first NIC function of an adapter.
std::string nic_of(const std::string &root, const std::string &adapter)
{
    hlvdsim::Machine m;
    EXPECT_TRUE(hlvdsim::load_machine(root, m, nullptr));
    for (const hlvdsim::Adapter &a : m.adapters)
        if (a.name == adapter)
            for (const hlvdsim::Function &f : a.functions)
                if (f.kind == "nic")
                    return hlvdsim::pci_name(f);
    ADD_FAILURE() << "no NIC function on " << adapter;
    return std::string();
}

// One command with an 8-byte payload whose first word is `value`:
// 1/124 keeps the switch type, 1/67 the boot configuration.
bool set_word(const std::string &root, const std::string &pci, uint8_t opcode, uint32_t value)
{
    std::vector<uint8_t> buf(sizeof(hlvdsim::FwRequestHeader) + 8, 0);
    hlvdsim::FwRequestHeader h;
    std::memset(&h, 0, sizeof h);
    h.subsystem = 1;
    h.opcode = opcode;
    h.request_length = 8;
    std::memcpy(buf.data(), &h, sizeof h);
    std::memcpy(buf.data() + sizeof h, &value, sizeof value);
    hlvdsim::FwOutcome o = hlvdsim::fw_execute(root, hlvdsim::FwTarget{pci, "nic", "callback"}, buf.data(), buf.size());
    hlvdsim::FwResponseHeader r;
    std::memcpy(&r, buf.data(), sizeof r);
    return o.answered && r.status == 0;
}

json fw_state(const std::string &root, const std::string &adapter)
{
    hlvdsim::Machine m;
    EXPECT_TRUE(hlvdsim::load_machine(root, m, nullptr));
    for (size_t i = 0; i < m.adapters.size(); ++i)
        if (m.adapters[i].name == adapter)
            return m.doc["adapters"][i].value("fw_state", json::object());
    return json::object();
}

TEST(SimMachineFiles, ACommandRewritesOnlyItsAdapter)
{
    hlvdtest::SimHost host;
    std::string dir = hlvdsim::state_dir(host.root());
    std::string pci = nic_of(host.root(), "aw3");
    hlvdsim::Machine m;
    ASSERT_TRUE(hlvdsim::load_machine(host.root(), m, nullptr));
    size_t aw3 = 0;
    std::map<std::string, FileId> before;
    before["machine.json"] = file_id(dir + "/machine.json");
    for (size_t i = 0; i < m.adapters.size(); ++i) {
        std::string name = "adapters/" + std::to_string(i) + ".json";
        before[name] = file_id(dir + "/" + name);
        if (m.adapters[i].name == "aw3")
            aw3 = i;
    }

    ASSERT_TRUE(set_word(host.root(), pci, 124, 7));
    std::string changed = "adapters/" + std::to_string(aw3) + ".json";
    for (const auto &f : before) {
        SCOPED_TRACE(f.first);
        EXPECT_EQ(f.first == changed, !(file_id(dir + "/" + f.first) == f.second));
    }
    EXPECT_EQ(7, fw_state(host.root(), "aw3").value("switch_type", 0));
    EXPECT_FALSE(fw_state(host.root(), "aw2").contains("switch_type"));
}

TEST(SimMachineFiles, SeparateProcessesLoseNoUpdate)
{
    hlvdtest::SimHost host;
    const int kRounds = 60;
    const char *const adapters[] = {"aw2", "aw3"};
    std::vector<pid_t> children;
    // The children start together, so that their commands interleave.
    int gate[2];
    ASSERT_EQ(0, pipe(gate));
    for (const char *a : adapters) {
        std::string pci = nic_of(host.root(), a);
        // Two processes change different parts of one adapter's state.
        for (uint8_t opcode : {uint8_t(124), uint8_t(67)}) {
            pid_t pid = fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                close(gate[1]);
                char go;
                bool ok = read(gate[0], &go, 1) == 0;
                for (int i = 1; i <= kRounds; ++i)
                    ok = set_word(host.root(), pci, opcode, static_cast<uint32_t>(i)) && ok;
                _exit(ok ? 0 : 1);
            }
            children.push_back(pid);
        }
    }
    close(gate[0]);
    close(gate[1]);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(pid, waitpid(pid, &status, 0));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (const char *a : adapters) {
        SCOPED_TRACE(a);
        json fw = fw_state(host.root(), a);
        EXPECT_EQ(kRounds, fw.value("switch_type", 0));
        ASSERT_TRUE(fw.contains("boot_config"));
        EXPECT_EQ(kRounds, fw["boot_config"].value("boot_status", 0));
    }
}

// A process that read the machine once sees a description another process
// changed later, and the other adapters' state stays as the commands left it.
TEST(SimMachineFiles, AChangedDescriptionReachesAProcessThatReadItBefore)
{
    hlvdtest::SimHost host;
    std::string pci = nic_of(host.root(), "aw2");
    ASSERT_TRUE(set_word(host.root(), nic_of(host.root(), "aw3"), 124, 9));
    EXPECT_FALSE(hlvdsim::legacy_device_exists(host.root(), "aw_esx_nic"));

    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        hlvdsim::StateLock lock(host.root());
        hlvdsim::Machine m;
        bool ok = hlvdsim::load_machine(host.root(), m, nullptr);
        for (size_t i = 0; ok && i < m.adapters.size(); ++i)
            if (m.adapters[i].name == "aw2")
                for (json &f : m.doc["adapters"][i]["functions"])
                    f["driver"] = "legacy";
        _exit(ok && hlvdsim::save_machine(host.root(), m, nullptr) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_TRUE(hlvdsim::legacy_device_exists(host.root(), "aw_esx_nic"));
    EXPECT_EQ(9, fw_state(host.root(), "aw3").value("switch_type", 0));
    // The function is still found for commands, now on its legacy road.
    EXPECT_TRUE(set_word(host.root(), pci, 124, 3));
    EXPECT_EQ(3, fw_state(host.root(), "aw2").value("switch_type", 0));
}

} // namespace
