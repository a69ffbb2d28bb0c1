// The management log and the counted allocation of the management library.
//
// pdebug writes one line per event: time, process id, level prefix, message.
// A line is written when its source shares a bit with vexo_debug_subsystem,
// its level is at most vexo_debug_level and the log is open.
#ifndef HLVD_MGMT_VEXO_CORE_DEBUG_H
#define HLVD_MGMT_VEXO_CORE_DEBUG_H

#include <atomic>
#include <cstddef>
#include <cstdio>

// Sources of a line (bits of vexo_debug_subsystem).
#define VEXO_LOG_CORE 1    // the API and the hierarchy
#define VEXO_LOG_BACKEND 2 // the back end and its handlers

// Levels of a line and of vexo_debug_level.
#define VEXO_LOG_DISABLED 0
#define VEXO_LOG_FATAL 1
#define VEXO_LOG_CRITICAL 2
#define VEXO_LOG_ERROR 3
#define VEXO_LOG_WARNING 4
#define VEXO_LOG_INFO 5
#define VEXO_LOG_DEBUG 6

#define VEXO_LOG_DIR "/var/log/TAQ/vexo"
#define VEXO_LOG_FILE "/var/log/TAQ/vexo/vexo2d.log"

// The open log stream, or null. Only this file's functions use the stream,
// under one lock; the pointer may be read anywhere to learn whether it is open.
extern std::atomic<FILE *> vexo_log_fp;
extern int vexo_debug_level;
extern int vexo_debug_subsystem;
// Blocks handed out by vexo_dmalloc and not yet released.
extern int vexo_counter;

void pdebug(int debug_mask, int level, const char *format, ...) __attribute__((format(printf, 3, 4)));

// Opens the log file for appending when it is not open; 0 when open afterwards.
int vexo_log_open();
// Closes the log file; later lines are dropped until the next open.
void vexo_log_close();

// Counted allocation: the counter rises only for a block actually handed out
// and falls only for a block actually released, so it always balances.
void *vexo_dmalloc(size_t size);
void vexo_dfree(void *block);
// A zeroed counted block.
void *vexo_dcalloc(size_t size);
// A counted copy of `text`; null when memory is short.
char *vexo_dstrdup(const char *text);

#endif
