#include "flash/debug_log.h"

#include <cstdarg>

FILE *logFileHandle = nullptr;

int EnableLogging(const char *path)
{
    if (logFileHandle)
        return 0;
    if (!path)
        return 1;
    FILE *f = std::fopen(path, "a+");
    if (!f)
        return 1;
    logFileHandle = f;
    return 0;
}

void CloseLogFileHandle()
{
    if (logFileHandle) {
        std::fclose(logFileHandle);
        logFileHandle = nullptr;
    }
}

void logDebugOutput(const char *format, ...)
{
    if (!logFileHandle)
        return;
    va_list ap;
    va_start(ap, format);
    std::vfprintf(logFileHandle, format, ap);
    va_end(ap);
    std::fflush(logFileHandle);
}
