#include "os/host_env.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

const char *sysroot()
{
    const char *root = std::getenv("HLVD_SYSROOT");
    return (root && root[0]) ? root : "";
}

bool sleeping_disabled()
{
    const char *v = std::getenv("HLVD_NO_SLEEP");
    return v && std::strcmp(v, "1") == 0;
}

} // namespace

int host_path(const char *path, char *out, size_t out_size)
{
    if (!out || out_size == 0)
        return -1;
    out[0] = '\0';
    if (!path)
        return -1;
    const char *root = path[0] == '/' ? sysroot() : "";
    size_t root_len = std::strlen(root);
    // A trailing slash of the root would double the one of the path.
    while (root_len > 1 && root[root_len - 1] == '/')
        --root_len;
    size_t path_len = std::strlen(path);
    if (root_len + path_len + 1 > out_size)
        return -1;
    std::memcpy(out, root, root_len);
    std::memcpy(out + root_len, path, path_len + 1);
    return 0;
}

std::string host_path(const std::string &path)
{
    if (path.empty() || path[0] != '/')
        return path;
    std::string root = sysroot();
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return root + path;
}

void host_sleep_ms(unsigned int ms)
{
    if (sleeping_disabled() || ms == 0)
        return;
    struct timespec ts;
    ts.tv_sec = ms / 1000;
    ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

void host_sleep_s(unsigned int seconds)
{
    host_sleep_ms(seconds * 1000U);
}
