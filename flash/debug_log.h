// The debug log of the exported calls: a file the host names through
// oem_get_debug_info, written only while open, flushed after every text.
// Opening, closing and every write take one lock, so threads may use the log
// while another thread closes it.
#ifndef HLVD_FLASH_DEBUG_LOG_H
#define HLVD_FLASH_DEBUG_LOG_H

#include <atomic>
#include <cstdio>

// The open stream, or null. Only this file's functions use the stream; the
// pointer may be read anywhere to learn whether the log is open.
extern std::atomic<FILE *> logFileHandle;

// 0 when a log is open afterwards (an open log stays in use, whatever the
// path), 1 when the file cannot be opened.
int EnableLogging(const char *path);
void CloseLogFileHandle();
// Writes one formatted text (callers bring their own newline) and flushes.
void logDebugOutput(const char *format, ...) __attribute__((format(printf, 1, 2)));

#endif
