#include "sim/sim_cost.h"

#include <atomic>

#include <time.h>

namespace hlvdsim {

namespace {

std::atomic<uint64_t> total_ns{0};
thread_local int depth = 0;
thread_local uint64_t entered_ns = 0;

uint64_t thread_cpu_ns()
{
    struct timespec ts;
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts) != 0)
        return 0;
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

} // namespace

void sim_cost_enter()
{
    if (depth++ == 0)
        entered_ns = thread_cpu_ns();
}

void sim_cost_leave()
{
    if (depth <= 0)
        return;
    if (--depth == 0) {
        uint64_t now = thread_cpu_ns();
        if (now > entered_ns)
            total_ns.fetch_add(now - entered_ns, std::memory_order_relaxed);
    }
}

uint64_t sim_cost_cpu_ns()
{
    return total_ns.load(std::memory_order_relaxed);
}

void sim_cost_reset()
{
    total_ns.store(0, std::memory_order_relaxed);
}

int sim_cost_depth()
{
    return depth;
}

} // namespace hlvdsim
