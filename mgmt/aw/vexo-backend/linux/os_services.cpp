#include "mgmt/aw/vexo-backend/linux/os_services.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/persistence_files.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "os/host_env.h"

struct timeval vexo_glob_timer[VEXO_TIMER_ADAPTERS][VEXO_TIMER_PORTS];

namespace
{

const char kIssueFile[] = "/etc/issue.net";
const char kBannerFile[] = "/etc/banner";
const char kReleaseFile[] = "/etc/vmware-release";
const char kScratchDir[] = "/scratch";
const char kLogDir[] = "/var/log/TAQ/vexo";
const char kLogFile[] = "/var/log/TAQ/vexo/vexo2d.log";

// Directories get a mode that can be entered; files stay 0644.
const mode_t kDirMode = 0755;
const mode_t kFileMode = 0644;

bool readable(const std::string &path)
{
    return access(path.c_str(), R_OK) == 0;
}

// mkdir -p without a shell.
void make_dirs(const std::string &path)
{
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (!partial.empty())
            mkdir(partial.c_str(), kDirMode);
    }
}

void ensure_dir(const char *fixed)
{
    std::string dir = host_path(std::string(fixed));
    if (!readable(dir))
        make_dirs(dir);
    chmod(dir.c_str(), kDirMode);
}

void scratch_rule()
{
    if (VEXO_get_esx_version() != VEXO_HOST_ESXI)
        ensure_dir(kScratchDir);
}

int lock_command(FILE *fp, short type, int cmd)
{
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0; // to the end, however far the file grows
    return fcntl(fileno(fp), cmd, &fl);
}

long long now_ms()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int adapter_row(node *adapter)
{
    if (!adapter || !vexo_is_instance(adapter))
        return adapter ? 0 : -1;
    return adapter->u.grp->multi_instance->instance;
}

} // namespace

extern "C" FILE *VEXO_file_open(const char *name, const char *mode)
{
    if (!name || !mode)
        return nullptr;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s: opening %s in %s mode\n", __func__, name, mode);
    return std::fopen(name, mode);
}

extern "C" void VEXO_file_close(FILE *fp)
{
    if (fp)
        std::fclose(fp);
}

extern "C" void VEXO_delete_file(const char *name)
{
    if (!name || access(name, R_OK) != 0)
        return;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s: %s deleted\n", __func__, name);
    unlink(name);
}

extern "C" void VEXO_change_permissions_file(const char *name)
{
    FILE *fp = name ? std::fopen(name, "r") : nullptr;
    if (!fp)
        return;
    if (fchmod(fileno(fp), kFileMode) != 0)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "Failed change the permissions for %s file\n", name);
    std::fclose(fp);
}

int vexo_lock_file(FILE *fp)
{
    if (fp) {
        // Another process may hold it for a rewrite; wait, but not forever.
        long long deadline = now_ms() + VEXO_LOCK_WAIT_MS;
        while (true) {
            if (lock_command(fp, F_WRLCK, F_SETLK) == 0)
                return 0;
            if ((errno != EACCES && errno != EAGAIN && errno != EINTR) || now_ms() >= deadline)
                break;
            host_sleep_ms(20);
            sched_yield();
        }
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s Failed to get file lock\n", __func__);
    return 1;
}

int vexo_unlock_file(FILE *fp)
{
    if (!fp || lock_command(fp, F_UNLCK, F_SETLK) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s Failed to unlock file\n", __func__);
        return 1;
    }
    return 0;
}

extern "C" int VEXO_get_esx_version()
{
    int kind = VEXO_HOST_OTHER;
    FILE *fp = std::fopen(host_path(std::string(kIssueFile)).c_str(), "r");
    if (fp) {
        char line[256];
        while (std::fgets(line, sizeof line, fp)) {
            if (std::strstr(line, "ESXi")) {
                kind = VEXO_HOST_ESXI;
                break;
            }
        }
        std::fclose(fp);
    }
    if (kind != VEXO_HOST_ESXI) {
        fp = std::fopen(host_path(std::string(kBannerFile)).c_str(), "r");
        if (fp) {
            kind = VEXO_HOST_ESXI;
            std::fclose(fp);
        }
    }
    return kind;
}

extern "C" int VEXO_get_os_info(int *major, int *minor, char *name)
{
    if (!major || !minor || !name)
        return 1;
    FILE *fp = std::fopen(host_path(std::string(kBannerFile)).c_str(), "r");
    if (!fp)
        fp = std::fopen(host_path(std::string(kReleaseFile)).c_str(), "r");
    if (!fp)
        return 1;
    std::snprintf(name, VEXO_VALUE_SIZE, "%s", "VMWare ESX Server");
    static const struct {
        const char *text;
        int major, minor;
    } kReleases[] = {{"6.5", 6, 5}, {"6.0", 6, 0}, {"5.5", 5, 5}, {"5.1", 5, 1},
                     {"5.0", 5, 0}, {"4.0", 4, 0}, {"4.1", 4, 1}};
    char line[256];
    while (std::fgets(line, sizeof line, fp)) {
        for (const auto &r : kReleases) {
            if (std::strstr(line, r.text)) {
                *major = r.major;
                *minor = r.minor;
                std::fclose(fp);
                return 0;
            }
        }
    }
    std::fclose(fp);
    return 0;
}

extern "C" int VEXO_get_system_name(char *name)
{
    if (!name)
        return 0;
    name[0] = '\0';
    if (gethostname(name, VEXO_VALUE_SIZE) != 0)
        name[0] = '\0';
    name[VEXO_VALUE_SIZE - 1] = '\0';
    return 0;
}

extern "C" int VEXO_get_secure_jumper_state(int port, char *value)
{
    (void)port;
    if (value)
        std::snprintf(value, VEXO_VALUE_SIZE, "%s", "N/A");
    return 0;
}

extern "C" int VEXO_get_system_time(short *month, short *year, short *hour, short *day, short *second, short *minute,
                                    short *milliseconds, short *utc_bias)
{
    (void)milliseconds; // left as the caller set it
    time_t now = time(nullptr);
    struct tm local, utc;
    localtime_r(&now, &local);
    gmtime_r(&now, &utc);
    utc.tm_isdst = -1;
    long bias = static_cast<long>(difftime(mktime(&local), mktime(&utc))) / 60;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:utc_bias = %d\n", __func__, static_cast<int>(bias));
    if (utc_bias)
        *utc_bias = static_cast<short>(bias);
    now = time(nullptr);
    localtime_r(&now, &local);
    if (month)
        *month = static_cast<short>(local.tm_mon + 1);
    if (year)
        *year = static_cast<short>(local.tm_year + 1900);
    if (hour)
        *hour = static_cast<short>(local.tm_hour);
    if (day)
        *day = static_cast<short>(local.tm_mday);
    if (minute)
        *minute = static_cast<short>(local.tm_min);
    if (second)
        *second = static_cast<short>(local.tm_sec);
    return 0;
}

extern "C" int VEXO_start_clock(node *adapter)
{
    int row = adapter_row(adapter);
    if (row < 0 || row >= VEXO_TIMER_ADAPTERS)
        return 1;
    gettimeofday(&vexo_glob_timer[row][0], nullptr);
    return 0;
}

extern "C" int VEXO_stop_clock(node *adapter, int *duration_ms)
{
    int row = adapter_row(adapter);
    if (row < 0 || row >= VEXO_TIMER_ADAPTERS || !duration_ms)
        return 1;
    struct timeval now;
    gettimeofday(&now, nullptr);
    const struct timeval &start = vexo_glob_timer[row][0];
    float ms = static_cast<float>((now.tv_sec - start.tv_sec) * 1000);
    ms += static_cast<float>((now.tv_usec - start.tv_usec) / 1000);
    *duration_ms = static_cast<int>(ms);
    return 0;
}

int GetMaxCompressedLen(int source_len)
{
    int n = source_len + ((source_len + 16383) / 16384) * 5 + 6;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:MaxCompressedLen = %d\n", __func__, n);
    return n;
}

int CompressData(const unsigned char *source, int source_len, unsigned char *dest, int dest_len)
{
    if (!source || !dest || source_len < 0 || dest_len < 0)
        return -1;
    z_stream zs;
    std::memset(&zs, 0, sizeof zs);
    if (deflateInit(&zs, Z_DEFAULT_COMPRESSION) != Z_OK)
        return -1;
    zs.next_in = const_cast<Bytef *>(source);
    zs.avail_in = static_cast<uInt>(source_len);
    zs.next_out = dest;
    zs.avail_out = static_cast<uInt>(dest_len);
    int rc = deflate(&zs, Z_FINISH);
    int result = rc == Z_STREAM_END ? static_cast<int>(zs.total_out) : -1;
    deflateEnd(&zs);
    if (result >= 0)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:Compression succeded.\n", __func__);
    return result;
}

int UncompressData(const unsigned char *source, int source_len, unsigned char *dest, int dest_len)
{
    if (!source || !dest || source_len < 0 || dest_len < 0)
        return -1;
    z_stream zs;
    std::memset(&zs, 0, sizeof zs);
    if (inflateInit(&zs) != Z_OK)
        return -1;
    zs.next_in = const_cast<Bytef *>(source);
    zs.avail_in = static_cast<uInt>(source_len);
    zs.next_out = dest;
    zs.avail_out = static_cast<uInt>(dest_len);
    int rc = inflate(&zs, Z_FINISH);
    int result = rc == Z_STREAM_END ? static_cast<int>(zs.total_out) : -1;
    inflateEnd(&zs);
    if (result >= 0)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:UnCompressed data succeded.\n", __func__);
    return result;
}

extern "C" int VEXO_config_log_dir_permissions()
{
    scratch_rule();
    ensure_dir(kLogDir);
    std::string log = host_path(std::string(kLogFile));
    if (readable(log))
        chmod(log.c_str(), kFileMode);
    return 0;
}

extern "C" int VEXO_config_dir_permssions()
{
    scratch_rule();
    ensure_dir(VEXO_CONFIG_DIRECTORY);
    std::memset(vexo_glob_timer, 0, sizeof vexo_glob_timer);
    VEXO_check_for_corrupted_database();
    // The saved iSCSI files hold CHAP secrets: owner only.
    const char *files[] = {VEXO_SAVED_TARGETS_FILE, VEXO_SAVED_PORTALS_FILE, VEXO_SAVED_LOGOPTS_FILE};
    for (const char *f : files) {
        std::string path = host_path(std::string(f));
        FILE *fp = VEXO_file_open(path.c_str(), "r");
        if (!fp)
            continue;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:File %s found.\n", __func__, path.c_str());
        if (fchmod(fileno(fp), static_cast<mode_t>(vexo_persistence_mode(f))) != 0)
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "Failed change the permissions for %s file\n", path.c_str());
        VEXO_file_close(fp);
    }
    return 0;
}
