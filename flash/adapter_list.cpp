#include "flash/adapter_list.h"

#include <cerrno>
#include <climits>

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

namespace {

const int kOptionSlots = 200;

// Adapter-touching calls of different processes on one host take turns, from
// building the adapter table to releasing it. The management library's lock
// files wait only once before they answer "busy", and a discovery running
// beside another one would then list its adapters without their versions,
// or not at all, and still report success.
//
// The turn is an flock on a file in /tmp: it goes with the process, so a
// holder that dies leaves nothing stale. The holder removes the file before
// it lets go, and a waiter that then finds another file (or none) under the
// name takes its turn on that one instead.
const char kTurnFile[] = "/tmp/hlvdflash_adapter_calls.lock";
const int kMaxTurnAttempts = 64;
int turnFd = -1;

bool same_file(int fd, const char *path)
{
    struct stat held, named;
    return fstat(fd, &held) == 0 && stat(path, &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

void take_turn()
{
    if (turnFd >= 0)
        return;
    char path[PATH_MAX];
    if (host_path(kTurnFile, path, sizeof path) != 0)
        return;
    for (int attempt = 0; attempt < kMaxTurnAttempts; ++attempt) {
        int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            break;
        int rc;
        do {
            rc = flock(fd, LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        if (rc == 0 && same_file(fd, path)) {
            turnFd = fd;
            return;
        }
        close(fd);
        if (rc != 0)
            break;
    }
    logDebugOutput("CreateAdapterList: cannot take the turn of adapter calls on this host\n");
}

void end_turn()
{
    if (turnFd < 0)
        return;
    char path[PATH_MAX];
    if (host_path(kTurnFile, path, sizeof path) == 0)
        unlink(path);
    flock(turnFd, LOCK_UN);
    close(turnFd);
    turnFd = -1;
}

} // namespace

int CreateAdapterList()
{
    logDebugOutput("\nCreateAdapterList: entering CreateAdapterList\n");
    take_turn();
    char *options[kOptionSlots] = {};
    int rc = adapterDiscovery(0, options);
    if (rc != 0)
        return rc;
    // Their results are not examined: without the management library the
    // table simply holds the FC functions.
    updateArcwrightAdapters();
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
