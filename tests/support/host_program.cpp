#include "support/host_program.h"

#include <sys/wait.h>
#include <unistd.h>

#include "support/sim_host.h"

namespace hlvdtest {

std::string run_hlvdhost(const std::vector<std::string> &args, int &status)
{
    std::vector<std::string> all;
#if defined(__i386__)
    all.push_back("qemu-i386"); // the 32-bit tool runs under the emulator
#endif
    all.push_back(hlvdtest::binary_path("bin/hlvdhost"));
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &a : all)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    int fds[2];
    status = -1;
    if (pipe(fds) != 0)
        return std::string();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buf[4096];
    ssize_t got;
    while ((got = read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(got));
    close(fds[0]);
    int st = 0;
    while (waitpid(pid, &st, 0) < 0) {
    }
    status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
}

} // namespace hlvdtest
