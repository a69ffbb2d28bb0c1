#include "flash/adapter_list.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include <unistd.h>

#include "adapters/adapter_identity.h"
#include "adapters/converged_discovery.h"
#include "adapters/discovery_reset.h"
#include "adapters/fc_discovery.h"
#include "flash/debug_log.h"
#include "flash/image_list.h"
#include "flash/neighbour_services.h"
#include "os/host_env.h"
#include "os/lock_file.h"

uint32_t gAdapterTurnWaitMs = ADAPTER_TURN_WAIT_MS;

namespace {

const int kOptionSlots = 200;

// Adapter-touching calls of different processes on one host take turns, from
// building the adapter table to releasing it. The management library's lock
// files wait only once before they answer "busy", and a discovery running
// beside another one would then find its converged adapters busy and fail.
//
// The turn is an flock on a file in /tmp: it goes with the process, so a
// holder that dies leaves nothing stale. The holder removes the file before
// it lets go, and a waiter that then finds another file (or none) under the
// name takes its turn on that one instead. A holder that hangs keeps the
// turn at most gAdapterTurnWaitMs from a waiter, which then fails.
const char kTurnFile[] = "/tmp/hlvdflash_adapter_calls.lock";
const unsigned kTurnPollMs = 200;
// The real pause between polls when the product's waits return at once
// (HLVD_NO_SLEEP): the bound is kept by the clock, without spinning.
const long kTurnShortPauseMs = 5;
LockFileHold turn = {-1, 0, 0};

uint64_t monotonic_ms()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

void pause_between_polls()
{
    uint64_t before = monotonic_ms();
    host_sleep_ms(kTurnPollMs);
    if (monotonic_ms() - before < static_cast<uint64_t>(kTurnShortPauseMs)) {
        struct timespec ts = {0, kTurnShortPauseMs * 1000000L};
        nanosleep(&ts, nullptr);
    }
}

// 0 once the turn is ours; 1 when it cannot be had within the bound.
int take_turn()
{
    if (turn.fd >= 0)
        return 0;
    char path[PATH_MAX];
    if (host_path(kTurnFile, path, sizeof path) != 0) {
        logDebugOutput("CreateAdapterList: the turn file's path does not fit\n");
        return 1;
    }
    const uint64_t start = monotonic_ms();
    for (;;) {
        bool taken_over = false;
        switch (lock_file_try(path, 0600, &turn, &taken_over)) {
        case LOCK_FILE_TAKEN:
            return 0;
        case LOCK_FILE_HELD:
            break;
        case LOCK_FILE_CANNOT_OPEN:
            // ELOOP: a symlink at the name is not followed.
            logDebugOutput("CreateAdapterList: cannot open the turn file %s: %s\n", path, std::strerror(errno));
            return 1;
        case LOCK_FILE_FOREIGN:
            logDebugOutput("CreateAdapterList: the turn file %s is not a plain file of this user\n", path);
            return 1;
        case LOCK_FILE_CANNOT_LOCK:
            logDebugOutput("CreateAdapterList: cannot lock the turn file %s: %s\n", path, std::strerror(errno));
            return 1;
        }
        if (monotonic_ms() - start >= gAdapterTurnWaitMs) {
            logDebugOutput("CreateAdapterList: another adapter call kept the turn for %u ms; giving up\n",
                           static_cast<unsigned>(gAdapterTurnWaitMs));
            return 1;
        }
        pause_between_polls();
    }
}

void end_turn()
{
    if (turn.fd < 0)
        return;
    char path[PATH_MAX];
    if (host_path(kTurnFile, path, sizeof path) == 0)
        lock_file_release(path, turn);
    else
        close(turn.fd);
    turn.fd = -1;
}

} // namespace

int CreateAdapterList()
{
    logDebugOutput("\nCreateAdapterList: entering CreateAdapterList\n");
    if (take_turn() != 0) {
        logDebugOutput("CreateAdapterList: cannot take the turn of adapter calls on this host\n");
        return ADAPTER_LIST_NO_TURN;
    }
    char *options[kOptionSlots] = {};
    int rc = adapterDiscovery(0, options);
    if (rc != 0)
        return rc;
    // Without the management library (no converged driver) the table simply
    // holds the FC functions; a converged adapter that could not be listed
    // because it stayed busy fails the call instead of showing blank.
    if (updateArcwrightAdapters() == CONVERGED_BUSY) {
        logDebugOutput("CreateAdapterList: converged adapters could not be listed\n");
        return ADAPTER_LIST_CONVERGED_BUSY;
    }
    getAdapterVPD();
    getVarrowModelName();
    getAdditionalFCoEProps();
    logDebugOutput("CreateAdapterList: leaving CreateAdapterList\n");
    return 0;
}

void FreeAllGlobals()
{
    FreeGlobalFileNameList();
    ResetGlobals();
    end_turn();
}
