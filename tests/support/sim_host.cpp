#include "support/sim_host.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sim/machine.h"

namespace hlvdtest {

namespace {

int remove_entry(const char *path, const struct stat *, int, struct FTW *)
{
    return ::remove(path);
}

} // namespace

std::string make_temp_dir(const char *tag)
{
    const char *base = std::getenv("TMPDIR");
    std::string templ = std::string(base && base[0] ? base : "/tmp") + "/" + tag + ".XXXXXX";
    std::string buf = templ;
    if (!mkdtemp(&buf[0]))
        throw std::runtime_error("mkdtemp failed for " + templ);
    return buf;
}

void remove_tree(const std::string &path)
{
    nftw(path.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_file(const std::string &path, const std::string &data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path);
    out << data;
}

bool file_exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::string source_path(const std::string &rel)
{
    return std::string(HLVD_SOURCE_DIR) + "/" + rel;
}

std::string binary_path(const std::string &rel)
{
    return std::string(HLVD_BINARY_DIR) + "/" + rel;
}

SimHost::SimHost(const std::string &machine_json)
{
    root_ = make_temp_dir("hlvdhost");
    std::string machine = hlvdsim::default_machine_path();
    if (!machine_json.empty()) {
        machine = root_ + ".machine.json";
        write_file(machine, machine_json);
    }
    std::string err;
    bool ok = hlvdsim::create_host(root_, machine, &err);
    if (!machine_json.empty())
        ::unlink(machine.c_str());
    if (!ok)
        throw std::runtime_error("cannot create simulated host: " + err);
    setenv("HLVD_SYSROOT", root_.c_str(), 1);
    setenv("HLVD_NO_SLEEP", "1", 1);
}

SimHost::~SimHost()
{
    // A host that replaced this one (reset(new SimHost)) is built first and
    // keeps the sysroot pointing at itself.
    const char *current = getenv("HLVD_SYSROOT");
    if (current && root_ == current)
        unsetenv("HLVD_SYSROOT");
    remove_tree(root_);
}

} // namespace hlvdtest
