#include "support/fuzz_util.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sim/machine.h"

namespace hlvdfuzz
{

namespace
{

// Never destroyed: the exit handler that reads it runs after static
// destructors registered later.
std::vector<std::string> &made_dirs()
{
    static std::vector<std::string> *dirs = new std::vector<std::string>;
    return *dirs;
}

int remove_entry(const char *path, const struct stat *, int, struct FTW *)
{
    return ::remove(path);
}

void remove_made_dirs()
{
    for (const std::string &d : made_dirs())
        nftw(d.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

} // namespace

std::string scratch_dir(const char *tag)
{
    static std::once_flag once;
    std::call_once(once, [] { std::atexit(remove_made_dirs); });
    const char *base = std::getenv("TMPDIR");
    std::string buf = std::string(base && base[0] ? base : "/tmp") + "/hlvdfuzz-" + tag + ".XXXXXX";
    if (!mkdtemp(&buf[0])) {
        std::perror("mkdtemp");
        std::abort();
    }
    made_dirs().push_back(buf);
    return buf;
}

void write_file(const std::string &path, const uint8_t *data, size_t size)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        std::abort();
    }
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) {
            std::perror(path.c_str());
            std::abort();
        }
        done += static_cast<size_t>(n);
    }
    close(fd);
}

void make_dirs(const std::string &path)
{
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at == path.size() || path[at] == '/')
            mkdir(path.substr(0, at).c_str(), 0755);
    }
}

std::string default_machine_text()
{
    std::FILE *in = std::fopen(hlvdsim::default_machine_path().c_str(), "rb");
    if (!in) {
        std::fprintf(stderr, "fuzz: no default machine\n");
        std::abort();
    }
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, in)) > 0)
        text.append(buf, n);
    std::fclose(in);
    return text;
}

} // namespace hlvdfuzz
