/* Bytes the library reads, copies and clears while counting is on. The
 * bench program defines memcpy, memmove, memset, calloc, read, pread64 and
 * fread itself; the product is a shared library whose calls to them go
 * through its PLT, so they land here first. Copies and clears the compiler
 * inlines (small fixed sizes, struct assignment) are not seen, nor work the
 * C library does internally (fread's own copies). Calls made while the
 * simulator is running (a stand-in entry point is on the stack) are not
 * counted: they are the simulator's. */
#ifndef HLVD_BENCH_BYTE_COUNTS_H
#define HLVD_BENCH_BYTE_COUNTS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct hlvdbench_byte_counts {
    uint64_t read;
    uint64_t copied;
    uint64_t cleared;
};

/* Switches counting on (from zero) or off (the counts stay). */
void hlvdbench_counting(int on);
struct hlvdbench_byte_counts hlvdbench_counts(void);

/* Defined by the program: nonzero while the simulator runs on this thread. */
int hlvdbench_in_simulator(void);

#ifdef __cplusplus
}
#endif

#endif
