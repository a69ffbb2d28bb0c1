// Building and releasing the adapter table of one adapter-touching call.
#ifndef HLVD_FLASH_ADAPTER_LIST_H
#define HLVD_FLASH_ADAPTER_LIST_H

#include <cstdint>

// Adapter-touching calls of different processes on one host take turns. A
// call waits at most this long for its turn, longer than the longest flash
// another call may hold the turn for.
const uint32_t ADAPTER_TURN_WAIT_MS = 30u * 60u * 1000u;
// The bound CreateAdapterList waits by; ADAPTER_TURN_WAIT_MS at load (tests
// shorten it).
extern uint32_t gAdapterTurnWaitMs;

// The turn could not be had: another call kept it past the bound, or the
// turn file's name is not a plain file of this user.
const int ADAPTER_LIST_NO_TURN = 64;
// A converged adapter could not be listed (the management library's start
// lock or the adapter's lock stayed busy).
const int ADAPTER_LIST_CONVERGED_BUSY = 65;

// 0 when the adapter table stands; otherwise a non-zero code (adapter
// discovery's, or one of the above), which every caller reports to the host
// as a failed operation.
int CreateAdapterList();

// The clean-up every adapter-touching call runs through its scope guard:
// frees the image list, then resets the adapter table and discovery state.
void FreeAllGlobals();

#endif
