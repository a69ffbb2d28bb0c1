#include "sim/fc_objects.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sim/command_log.h"
#include "sim/machine.h"

namespace hlvdsim
{

namespace
{

const char kStagePrefix[] = "stage-";

std::string safe(const std::string &name)
{
    std::string s;
    for (char ch : name)
        s += (std::isalnum(static_cast<unsigned char>(ch)) || ch == '-' || ch == '.') ? ch : '_';
    return s.empty() ? std::string("_") : s;
}

std::string file_of(const std::string &dir, const std::string &name)
{
    return dir + "/" + to_hex(reinterpret_cast<const uint8_t *>(name.data()), name.size());
}

std::string stage_of(const std::string &dir, const std::string &name)
{
    return dir + "/" + kStagePrefix + to_hex(reinterpret_cast<const uint8_t *>(name.data()), name.size());
}

bool read_all(const std::string &path, std::vector<uint8_t> &out)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    out.clear();
    uint8_t buf[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ok = false;
        if (n <= 0)
            break;
        out.insert(out.end(), buf, buf + n);
    }
    close(fd);
    return ok;
}

bool unhex(const std::string &hex, std::string &out)
{
    if (hex.size() % 2)
        return false;
    out.clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        char pair[3] = {hex[i], hex[i + 1], 0};
        char *end = nullptr;
        long v = std::strtol(pair, &end, 16);
        if (*end != '\0')
            return false;
        out += static_cast<char>(v);
    }
    return true;
}

} // namespace

std::string fc_object_dir(const std::string &sysroot, const std::string &adapter, size_t function)
{
    return state_dir(sysroot) + "/fc_objects/" + safe(adapter) + "/pf" + std::to_string(function);
}

bool fc_object_exists(const std::string &dir, const std::string &name)
{
    struct stat st;
    return stat(file_of(dir, name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool fc_object_get(const std::string &dir, const std::string &name, std::vector<uint8_t> &out)
{
    return read_all(file_of(dir, name), out);
}

bool fc_object_size(const std::string &dir, const std::string &name, uint64_t *size)
{
    struct stat st;
    if (stat(file_of(dir, name).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool fc_object_put(const std::string &dir, const std::string &name, const std::vector<uint8_t> &data)
{
    return make_dirs(dir) && write_file_atomic(file_of(dir, name), std::string(data.begin(), data.end()), nullptr);
}

bool fc_object_remove(const std::string &dir, const std::string &name)
{
    return unlink(file_of(dir, name).c_str()) == 0;
}

std::vector<std::string> fc_object_names(const std::string &dir)
{
    std::vector<std::string> out;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return out;
    while (struct dirent *e = readdir(d)) {
        std::string file = e->d_name, name;
        if (file == "." || file == ".." || file.compare(0, sizeof kStagePrefix - 1, kStagePrefix) == 0)
            continue;
        if (unhex(file, name))
            out.push_back(name);
    }
    closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

bool fc_object_stage(const std::string &dir, const std::string &name, uint64_t offset, const uint8_t *data,
                     size_t len, uint64_t *staged)
{
    if (!make_dirs(dir))
        return false;
    std::string path = stage_of(dir, name);
    struct stat st;
    uint64_t have = stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    if (offset != 0 && offset != have)
        return false;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | (offset == 0 ? O_TRUNC : 0) | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = write_all_at(fd, offset, data, len);
    ok = close(fd) == 0 && ok;
    if (ok && staged)
        *staged = offset + len;
    return ok;
}

bool fc_object_staged(const std::string &dir, const std::string &name, std::vector<uint8_t> &out)
{
    return read_all(stage_of(dir, name), out);
}

bool fc_object_commit(const std::string &dir, const std::string &name)
{
    return rename(stage_of(dir, name).c_str(), file_of(dir, name).c_str()) == 0;
}

void fc_object_drop_stage(const std::string &dir, const std::string &name)
{
    unlink(stage_of(dir, name).c_str());
}

} // namespace hlvdsim
