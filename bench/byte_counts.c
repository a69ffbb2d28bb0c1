/* The interposed calls behind byte_counts.h. Kept cheap: one flag test when
 * counting is off, a relaxed atomic add when on. */
#undef _FILE_OFFSET_BITS
#define _GNU_SOURCE 1

#include "byte_counts.h"

#include <dlfcn.h>
#include <stddef.h>
#include <stdio.h>
#include <sys/types.h>

extern void *__libc_calloc(size_t n, size_t size);

static volatile int counting;
static uint64_t n_read, n_copied, n_cleared;

typedef void *(*copy_fn)(void *, const void *, size_t);
typedef void *(*set_fn)(void *, int, size_t);
typedef ssize_t (*read_fn)(int, void *, size_t);
typedef ssize_t (*pread_fn)(int, void *, size_t, off64_t);
typedef size_t (*fread_fn)(void *, size_t, size_t, FILE *);

static copy_fn real_memcpy, real_memmove;
static set_fn real_memset;
static read_fn real_read;
static pread_fn real_pread64;
static fread_fn real_fread;

static void *next(const char *name)
{
    return dlsym(RTLD_NEXT, name);
}

static int counted(void)
{
    return counting && !hlvdbench_in_simulator();
}

static void add(uint64_t *to, uint64_t n)
{
    __atomic_fetch_add(to, n, __ATOMIC_RELAXED);
}

/* Used only until the C library's functions are found (calls made while the
 * loader runs constructors); the loops must not become calls to themselves. */
__attribute__((optimize("no-tree-loop-distribute-patterns"))) static void *slow_move(void *d, const void *s,
                                                                                       size_t n)
{
    volatile unsigned char *dst = (volatile unsigned char *)d;
    const volatile unsigned char *src = (const volatile unsigned char *)s;
    if (dst < src)
        for (size_t i = 0; i < n; ++i)
            dst[i] = src[i];
    else
        for (size_t i = n; i > 0; --i)
            dst[i - 1] = src[i - 1];
    return d;
}

__attribute__((optimize("no-tree-loop-distribute-patterns"))) static void *slow_set(void *d, int c, size_t n)
{
    volatile unsigned char *dst = (volatile unsigned char *)d;
    for (size_t i = 0; i < n; ++i)
        dst[i] = (unsigned char)c;
    return d;
}

void *memcpy(void *d, const void *s, size_t n)
{
    if (!real_memcpy)
        real_memcpy = (copy_fn)next("memcpy");
    if (counting && counted())
        add(&n_copied, n);
    return real_memcpy ? real_memcpy(d, s, n) : slow_move(d, s, n);
}

void *memmove(void *d, const void *s, size_t n)
{
    if (!real_memmove)
        real_memmove = (copy_fn)next("memmove");
    if (counting && counted())
        add(&n_copied, n);
    return real_memmove ? real_memmove(d, s, n) : slow_move(d, s, n);
}

void *memset(void *d, int c, size_t n)
{
    if (!real_memset)
        real_memset = (set_fn)next("memset");
    if (counting && counted())
        add(&n_cleared, n);
    return real_memset ? real_memset(d, c, n) : slow_set(d, c, n);
}

void *calloc(size_t n, size_t size)
{
    void *p = __libc_calloc(n, size);
    if (p && counting && counted())
        add(&n_cleared, (uint64_t)n * size);
    return p;
}

ssize_t read(int fd, void *buf, size_t n)
{
    if (!real_read)
        real_read = (read_fn)next("read");
    ssize_t r = real_read(fd, buf, n);
    if (r > 0 && counting && counted())
        add(&n_read, (uint64_t)r);
    return r;
}

ssize_t pread64(int fd, void *buf, size_t n, off64_t at)
{
    if (!real_pread64)
        real_pread64 = (pread_fn)next("pread64");
    ssize_t r = real_pread64(fd, buf, n, at);
    if (r > 0 && counting && counted())
        add(&n_read, (uint64_t)r);
    return r;
}

size_t fread(void *buf, size_t size, size_t n, FILE *f)
{
    if (!real_fread)
        real_fread = (fread_fn)next("fread");
    size_t r = real_fread(buf, size, n, f);
    if (r > 0 && counting && counted())
        add(&n_read, (uint64_t)r * size);
    return r;
}

void hlvdbench_counting(int on)
{
    if (on)
        n_read = n_copied = n_cleared = 0;
    counting = on;
}

struct hlvdbench_byte_counts hlvdbench_counts(void)
{
    struct hlvdbench_byte_counts c;
    c.read = __atomic_load_n(&n_read, __ATOMIC_RELAXED);
    c.copied = __atomic_load_n(&n_copied, __ATOMIC_RELAXED);
    c.cleared = __atomic_load_n(&n_cleared, __ATOMIC_RELAXED);
    return c;
}
