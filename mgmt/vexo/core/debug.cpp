#include "mgmt/vexo/core/debug.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <limits.h>
#include <pthread.h>
#include <unistd.h>

#include "os/host_env.h"

std::atomic<FILE *> vexo_log_fp(nullptr);
int vexo_debug_level = VEXO_LOG_DISABLED;
int vexo_debug_subsystem = VEXO_LOG_CORE | VEXO_LOG_BACKEND;
int vexo_counter = 0;

namespace {

// Held around every use of the stream: the flash calls and the management
// calls reach the log under different locks, and a close between another
// thread's check and its write would hand that write a freed stream.
pthread_mutex_t vexo_log_mutex = PTHREAD_MUTEX_INITIALIZER;

class LogLock {
public:
    LogLock() { pthread_mutex_lock(&vexo_log_mutex); }
    ~LogLock() { pthread_mutex_unlock(&vexo_log_mutex); }
    LogLock(const LogLock &) = delete;
    LogLock &operator=(const LogLock &) = delete;
};

const char *level_prefix(int level)
{
    switch (level) {
    case VEXO_LOG_FATAL:
        return "FATAL:";
    case VEXO_LOG_CRITICAL:
        return "CRITICAL:";
    case VEXO_LOG_ERROR:
        return "ERROR:";
    case VEXO_LOG_WARNING:
        return "Warning:";
    case VEXO_LOG_INFO:
        return "INFO:";
    default:
        return "";
    }
}

} // namespace

void pdebug(int debug_mask, int level, const char *format, ...)
{
    // Most lines are dropped: decide before paying for the calendar form.
    if ((debug_mask & vexo_debug_subsystem) == 0 || level > vexo_debug_level || !format)
        return;
    if (!vexo_log_fp.load())
        return;

    LogLock lock;
    FILE *fp = vexo_log_fp.load();
    if (!fp)
        return;
    char when[32];
    time_t now = time(nullptr);
    if (!ctime_r(&now, when))
        when[0] = '\0';
    when[24] = '\0'; // drop the line end of the calendar form
    fprintf(fp, "%s,%d,   %s", when, static_cast<int>(getpid()), level_prefix(level));
    va_list ap;
    va_start(ap, format);
    vfprintf(fp, format, ap);
    va_end(ap);
    fflush(fp);
}

int vexo_log_open()
{
    LogLock lock;
    if (vexo_log_fp.load())
        return 0;
    char path[PATH_MAX];
    if (host_path(VEXO_LOG_FILE, path, sizeof path) != 0)
        return 1;
    // Append, read and write; not inherited by programs the host starts.
    FILE *fp = fopen(path, "a+e");
    vexo_log_fp.store(fp);
    return fp ? 0 : 1;
}

void vexo_log_close()
{
    LogLock lock;
    FILE *fp = vexo_log_fp.exchange(nullptr);
    if (fp)
        fclose(fp);
}

void *vexo_dmalloc(size_t size)
{
    void *block = malloc(size ? size : 1);
    if (block)
        ++vexo_counter;
    return block;
}

void vexo_dfree(void *block)
{
    if (!block)
        return;
    --vexo_counter;
    free(block);
}

void *vexo_dcalloc(size_t size)
{
    void *block = vexo_dmalloc(size);
    if (block)
        std::memset(block, 0, size ? size : 1);
    return block;
}

char *vexo_dstrdup(const char *text)
{
    if (!text)
        text = "";
    size_t n = std::strlen(text);
    char *copy = static_cast<char *>(vexo_dmalloc(n + 1));
    if (copy)
        std::memcpy(copy, text, n + 1);
    return copy;
}
