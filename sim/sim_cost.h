// CPU spent inside the simulated platform, so a benchmark can tell the
// library's own cost from the simulator's. The stand-in libraries hold a
// SimCostScope at each C entry point; nested entries (a stand-in calling
// another) count once. Thread CPU time of the outermost scope is summed over
// all threads of the process.
#ifndef HLVD_SIM_SIM_COST_H
#define HLVD_SIM_SIM_COST_H

#include <cstdint>

namespace hlvdsim {

void sim_cost_enter();
void sim_cost_leave();
// Simulator CPU time since the last reset, in nanoseconds.
uint64_t sim_cost_cpu_ns();
void sim_cost_reset();
// The calling thread is inside the simulator (depth above 0).
int sim_cost_depth();

class SimCostScope {
public:
    SimCostScope() { sim_cost_enter(); }
    ~SimCostScope() { sim_cost_leave(); }
    SimCostScope(const SimCostScope &) = delete;
    SimCostScope &operator=(const SimCostScope &) = delete;
};

} // namespace hlvdsim

#endif
