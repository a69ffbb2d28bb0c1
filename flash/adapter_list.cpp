#include "flash/adapter_list.h"

#include "adapters/converged_discovery.h"
#include "adapters/discovery_reset.h"
#include "adapters/fc_discovery.h"
#include "flash/debug_log.h"
#include "flash/image_list.h"
#include "flash/neighbour_services.h"

namespace {

const int kOptionSlots = 200;

} // namespace

int CreateAdapterList()
{
    logDebugOutput("\nCreateAdapterList: entering CreateAdapterList\n");
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
}
