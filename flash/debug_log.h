// The debug log of the exported calls: a file the host names through
// oem_get_debug_info, written only while open, flushed after every text.
#ifndef HLVD_FLASH_DEBUG_LOG_H
#define HLVD_FLASH_DEBUG_LOG_H

#include <cstdio>

extern FILE *logFileHandle;

// 0 when a log is open afterwards (an open log stays in use, whatever the
// path), 1 when the file cannot be opened.
int EnableLogging(const char *path);
void CloseLogFileHandle();
// Writes one formatted text (callers bring their own newline) and flushes.
void logDebugOutput(const char *format, ...) __attribute__((format(printf, 1, 2)));

#endif
