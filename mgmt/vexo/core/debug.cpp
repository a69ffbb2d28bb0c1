#include "mgmt/vexo/core/debug.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <limits.h>
#include <unistd.h>

#include "os/host_env.h"

FILE *vexo_log_fp = nullptr;
int vexo_debug_level = VEXO_LOG_DISABLED;
int vexo_debug_subsystem = VEXO_LOG_CORE | VEXO_LOG_BACKEND;
int vexo_counter = 0;

namespace {

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
    char when[32];
    time_t now = time(nullptr);
    if (!ctime_r(&now, when))
        when[0] = '\0';
    when[24] = '\0'; // drop the line end of the calendar form

    if ((debug_mask & vexo_debug_subsystem) == 0 || level > vexo_debug_level || !vexo_log_fp || !format)
        return;

    fprintf(vexo_log_fp, "%s,%d,   %s", when, static_cast<int>(getpid()), level_prefix(level));
    va_list ap;
    va_start(ap, format);
    vfprintf(vexo_log_fp, format, ap);
    va_end(ap);
    fflush(vexo_log_fp);
}

int vexo_log_open()
{
    if (vexo_log_fp)
        return 0;
    char path[PATH_MAX];
    if (host_path(VEXO_LOG_FILE, path, sizeof path) != 0)
        return 1;
    // Append, read and write; not inherited by programs the host starts.
    vexo_log_fp = fopen(path, "a+e");
    return vexo_log_fp ? 0 : 1;
}

void vexo_log_close()
{
    if (vexo_log_fp)
        fclose(vexo_log_fp);
    vexo_log_fp = nullptr;
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
