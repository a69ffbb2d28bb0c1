#include "support/device_child.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/sim_host.h"

extern char **environ;

namespace hlvdtest
{

namespace
{

const char kChildFlag[] = "HLVD_DEVICES_CHILD";

std::string self_exe()
{
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return std::string();
    buf[n] = '\0';
    return buf;
}

} // namespace

bool rerun_with_devices()
{
    const char *flag = std::getenv(kChildFlag);
    if (flag && std::strcmp(flag, "1") == 0)
        return true;

    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string filter = std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
    std::string preload = "LD_PRELOAD=" + binary_path("lib/libhlvddevices.so");
    std::string exe = self_exe();
    if (exe.empty()) {
        ADD_FAILURE() << "cannot find the test program";
        return false;
    }

    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        if (std::strncmp(*e, "LD_PRELOAD=", 11) != 0 && std::strncmp(*e, "ASAN_OPTIONS=", 13) != 0)
            env.push_back(*e);
    }
    env.push_back(std::string(kChildFlag) + "=1");
    // The sanitizer runtime is linked into the test program, so a preloaded
    // library comes before it; that order is intended here.
    const char *asan = std::getenv("ASAN_OPTIONS");
    env.push_back(std::string("ASAN_OPTIONS=") + (asan ? std::string(asan) + ":" : "") + "verify_asan_link_order=0");

    std::vector<std::string> args;
#if defined(__i386__)
    // 32-bit tests run under user-mode emulation: the preload is for the
    // emulated program, not for the emulator.
    args = {"qemu-i386", "-E", preload, exe, filter};
#else
    env.push_back(preload);
    args = {exe, filter};
#endif

    std::vector<char *> argv, envp;
    for (std::string &a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    for (std::string &e : env)
        envp.push_back(&e[0]);
    envp.push_back(nullptr);

    pid_t pid = fork();
    if (pid < 0) {
        ADD_FAILURE() << "fork failed";
        return false;
    }
    if (pid == 0) {
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the test failed with the device interposer (status " << status << ")";
    return false;
}

} // namespace hlvdtest
