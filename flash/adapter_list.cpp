#include "flash/adapter_list.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "adapters/converged_discovery.h"
#include "adapters/discovery_reset.h"
#include "adapters/fc_discovery.h"
#include "flash/debug_log.h"
#include "flash/image_list.h"
#include "flash/neighbour_services.h"
#include "os/host_env.h"

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
int turnFd = -1;

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

bool same_file(int fd, const char *path)
{
    struct stat held, named;
    return fstat(fd, &held) == 0 && lstat(path, &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

enum TurnFile { TURN_FILE_USABLE, TURN_FILE_GONE, TURN_FILE_FOREIGN };

// The turn file may be used when it is a plain file of this user with one
// name; with none left, its holder removed it after our open.
TurnFile check_turn_file(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() || st.st_nlink > 1)
        return TURN_FILE_FOREIGN;
    return st.st_nlink == 0 ? TURN_FILE_GONE : TURN_FILE_USABLE;
}

// 0 once the turn is ours; 1 when it cannot be had within the bound.
int take_turn()
{
    if (turnFd >= 0)
        return 0;
    char path[PATH_MAX];
    if (host_path(kTurnFile, path, sizeof path) != 0) {
        logDebugOutput("CreateAdapterList: the turn file's path does not fit\n");
        return 1;
    }
    const uint64_t start = monotonic_ms();
    for (;;) {
        // A symlink at the name is not followed (ELOOP).
        int fd = open(path, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd < 0) {
            logDebugOutput("CreateAdapterList: cannot open the turn file %s: %s\n", path, std::strerror(errno));
            return 1;
        }
        TurnFile kind = check_turn_file(fd);
        if (kind == TURN_FILE_FOREIGN) {
            close(fd);
            logDebugOutput("CreateAdapterList: the turn file %s is not a plain file of this user\n", path);
            return 1;
        }
        // A removed file counts as one whose lock was let go: the name is
        // tried again at once.
        int rc = kind == TURN_FILE_GONE ? 0 : flock(fd, LOCK_EX | LOCK_NB);
        int err = errno;
        if (rc == 0 && kind == TURN_FILE_USABLE && same_file(fd, path)) {
            turnFd = fd;
            return 0;
        }
        close(fd);
        if (rc != 0 && err != EWOULDBLOCK && err != EINTR) {
            logDebugOutput("CreateAdapterList: cannot lock the turn file %s: %s\n", path, std::strerror(err));
            return 1;
        }
        if (monotonic_ms() - start >= gAdapterTurnWaitMs) {
            logDebugOutput("CreateAdapterList: another adapter call kept the turn for %u ms; giving up\n",
                           static_cast<unsigned>(gAdapterTurnWaitMs));
            return 1;
        }
        // The holder let go of a name it removed: the new name at once.
        if (rc == 0)
            continue;
        pause_between_polls();
    }
}

void end_turn()
{
    if (turnFd < 0)
        return;
    char path[PATH_MAX];
    if (host_path(kTurnFile, path, sizeof path) == 0 && same_file(turnFd, path))
        unlink(path);
    flock(turnFd, LOCK_UN);
    close(turnFd);
    turnFd = -1;
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
