// Test fixtures: a temporary simulated host per test, and file helpers.
#ifndef HLVD_TESTS_SIM_HOST_H
#define HLVD_TESTS_SIM_HOST_H

#include <string>

namespace hlvdtest {

// A simulated host in a fresh temporary directory, made from a machine
// description. The constructor points HLVD_SYSROOT at it and sets
// HLVD_NO_SLEEP=1; the destructor removes the directory.
class SimHost {
public:
    // `machine_json` is the text of a machine description; empty means the
    // project's default machine.
    explicit SimHost(const std::string &machine_json = std::string());
    ~SimHost();
    SimHost(const SimHost &) = delete;
    SimHost &operator=(const SimHost &) = delete;

    const std::string &root() const { return root_; }
    // A path below the sysroot, e.g. path("/tmp/x").
    std::string path(const std::string &abs) const { return root_ + abs; }

private:
    std::string root_;
};

// A fresh empty directory below the system's temporary directory.
std::string make_temp_dir(const char *tag = "hlvdtest");
void remove_tree(const std::string &path);

std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &data);
bool file_exists(const std::string &path);

// Path of a file of the source tree, e.g. source_path("sim/machines/default.json").
std::string source_path(const std::string &rel);
// Path of a built file, e.g. binary_path("lib/libhlvdflash.so").
std::string binary_path(const std::string &rel);

} // namespace hlvdtest

#endif
