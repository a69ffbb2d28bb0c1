#include "adapters/discovery_reset.h"

#include <cstdlib>
#include <cstring>

#include "adapters/adapter_table.h"
#include "adapters/converged_discovery.h"
#include "flash/neighbour_services.h"

void FreeGlobalAdapterList()
{
    std::free(gAdapters);
    gAdapters = nullptr;
    if (gVPDModelDescription) {
        for (uint32_t i = 0; i < gTotalHBAs; ++i)
            std::free(gVPDModelDescription[i]);
        std::free(gVPDModelDescription);
        gVPDModelDescription = nullptr;
    }
    ReleaseConvergedControllers();
}

void ResetGlobals()
{
    FreeGlobalAdapterList();
    gUseVPD_ModelName = 0;
    gTotalHBAs = 0;
    giSCSICount = 0;
    gNICCount = 0;
    gAdapterCount = 0;
    gAdapters = nullptr;
    main_HostEndian = 1;
    gAWInit = 0;
    VEXO_ServiceVersion[0] = '\0';
    gVEXO = 0;
    gFCoECount = 0;
    gAwCount = 0;
    std::memset(&vpd, 0, sizeof vpd);
    gCB_Arcwright = nullptr;
    gOtherChannel = 0;
    WIN_Error = 0;
}
