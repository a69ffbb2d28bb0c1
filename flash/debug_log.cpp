#include "flash/debug_log.h"

#include <cstdarg>

#include <pthread.h>

std::atomic<FILE *> logFileHandle(nullptr);

namespace {

// Held around every use of the stream: a close between another thread's
// check and its write would otherwise hand that write a freed stream.
pthread_mutex_t logMutex = PTHREAD_MUTEX_INITIALIZER;

class LogLock {
public:
    LogLock() { pthread_mutex_lock(&logMutex); }
    ~LogLock() { pthread_mutex_unlock(&logMutex); }
    LogLock(const LogLock &) = delete;
    LogLock &operator=(const LogLock &) = delete;
};

} // namespace

int EnableLogging(const char *path)
{
    LogLock lock;
    if (logFileHandle.load())
        return 0;
    if (!path)
        return 1;
    FILE *f = std::fopen(path, "a+");
    if (!f)
        return 1;
    logFileHandle.store(f);
    return 0;
}

void CloseLogFileHandle()
{
    LogLock lock;
    FILE *f = logFileHandle.exchange(nullptr);
    if (f)
        std::fclose(f);
}

void logDebugOutput(const char *format, ...)
{
    LogLock lock;
    FILE *f = logFileHandle.load();
    if (!f)
        return;
    va_list ap;
    va_start(ap, format);
    std::vfprintf(f, format, ap);
    va_end(ap);
    std::fflush(f);
}
