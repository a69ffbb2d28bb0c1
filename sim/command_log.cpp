#include "sim/command_log.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "sim/machine.h"

namespace hlvdsim
{

namespace
{

std::string log_path(const std::string &sysroot)
{
    return state_dir(sysroot) + "/commands.log";
}

// Next sequence number, kept in the lock file (held by the caller) so that
// appends stay cheap.
uint64_t next_seq(int lfd)
{
    char buf[32] = {};
    ssize_t n = pread(lfd, buf, sizeof buf - 1, 0);
    uint64_t seq = n > 0 ? std::strtoull(buf, nullptr, 10) : 0;
    ++seq;
    std::string text = std::to_string(seq) + "\n";
    if (pwrite(lfd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()))
        (void)ftruncate(lfd, static_cast<off_t>(text.size()));
    return seq;
}

} // namespace

void log_append(const std::string &sysroot, nlohmann::json entry)
{
    if (sysroot.empty())
        return;
    // Serialises writers of separate processes; the state lock may already be
    // held by the caller, so this uses a lock file of its own.
    std::string lock = state_dir(sysroot) + "/commands.lock";
    int lfd = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lfd < 0)
        return;
    while (flock(lfd, LOCK_EX) != 0 && errno == EINTR) {
    }
    entry["seq"] = next_seq(lfd);
    std::string line;
    try {
        line = entry.dump() + "\n";
    } catch (const nlohmann::json::exception &) {
        // Bytes that are no UTF-8 belong in bytes_value; a log line is not
        // worth stopping the caller for.
        line = entry.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    }
    int fd = open(log_path(sysroot).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
        size_t done = 0;
        while (done < line.size()) {
            ssize_t n = write(fd, line.data() + done, line.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        close(fd);
    }
    flock(lfd, LOCK_UN);
    close(lfd);
}

std::vector<nlohmann::json> log_read(const std::string &sysroot)
{
    std::vector<nlohmann::json> out;
    std::ifstream in(log_path(sysroot));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        if (!j.is_discarded())
            out.push_back(j);
    }
    return out;
}

void log_clear(const std::string &sysroot)
{
    unlink(log_path(sysroot).c_str());
}

std::string to_hex(const uint8_t *data, size_t len)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(len * 2);
    for (size_t i = 0; i < len; ++i) {
        s += digits[data[i] >> 4];
        s += digits[data[i] & 15];
    }
    return s;
}

uint32_t crc32_of(const uint8_t *data, size_t len)
{
    // Table-driven: flash writes and dumps log digests of 32 and 64 KB.
    static const struct Table {
        uint32_t v[256];
        Table()
        {
            for (uint32_t i = 0; i < 256; ++i) {
                uint32_t c = i;
                for (int k = 0; k < 8; ++k)
                    c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
                v[i] = c;
            }
        }
    } table;
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < len; ++i)
        crc = table.v[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

} // namespace hlvdsim
