#include "adapters/adapter_table.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include <dirent.h>

#include "adapters/board_predicates.h"
#include "flash/debug_log.h"
#include "os/host_env.h"

_Adapter *gAdapters = nullptr;
uint32_t gTotalHBAs = 0;
uint32_t gAdapterCount = 0;
uint32_t giSCSICount = 0;
uint32_t gNICCount = 0;
uint32_t gFCoECount = 0;
char **gVPDModelDescription = nullptr;
int32_t gUseVPD_ModelName = 0;
int32_t gVEXOSupport = 1;
int32_t main_HostEndian = 1;
uint8_t gOtherChannel = 0;

namespace {

// The entry at an index that passed its check; null when there is no table.
const _Adapter *entry(uint32_t index)
{
    return gAdapters ? &gAdapters[index] : nullptr;
}

const _Adapter *checked(int32_t index)
{
    uint32_t i = static_cast<uint32_t>(index);
    return AdapterExists4(i) ? entry(i) : nullptr;
}

const _Adapter *checked_fc(int32_t index)
{
    uint32_t i = static_cast<uint32_t>(index);
    return AdapterExists(i) ? entry(i) : nullptr;
}

int32_t id(uint32_t v)
{
    return static_cast<int32_t>(v);
}

bool has_kind(int32_t index, uint32_t bits)
{
    const _Adapter *a = checked(index);
    return a && (a->kindFlags & bits) == bits;
}

} // namespace

int AdapterExists(uint32_t index)
{
    return index < gAdapterCount ? 1 : 0;
}

int AdapterExists4(uint32_t index)
{
    return index < gTotalHBAs ? 1 : 0;
}

int AdapterExists4V2(uint32_t index)
{
    return AdapterExists4(index);
}

int isTessik(int32_t index)
{
    const _Adapter *a = checked(index);
    return a && a->deviceId == 0xE131;
}

int isVarrowFC(int32_t index)
{
    const _Adapter *a = checked(index);
    return a && (isVarrowFCBoard(a->deviceId) || isVarrowG6Board(a->deviceId));
}

int isVarrowFCoE(int32_t index)
{
    const _Adapter *a = checked(index);
    return a && isVarrowFCoEBoard(a->deviceId);
}

int isVarrowCNA(int32_t index)
{
    const _Adapter *a = checked(index);
    return a && (isVarrowCNABoard(a->deviceId) || isVarrowCNABoard(id(a->cnaDeviceId)));
}

int isVarrow(int32_t index)
{
    const _Adapter *a = checked(index);
    return a && (isVarrowBoard(a->deviceId) || isVarrowBoard(id(a->cnaDeviceId)));
}

int isVarrowG6(int32_t index)
{
    const _Adapter *a = checked(index);
    return a && a->deviceId == 0xE300;
}

int isTrelmontFCoE(int32_t index)
{
    const _Adapter *a = checked(index);
    return a && isTrelmontFCoEBoard(a->deviceId);
}

int isHBATypeArcwright(int32_t index)
{
    return has_kind(index, ADAPTER_KIND_MANAGED);
}

int isHBATypeArcwrightFCoE(int32_t index)
{
    return has_kind(index, ADAPTER_KIND_MANAGED | ADAPTER_KIND_FCOE);
}

int isHBATypeArcwrightiSCSI(int32_t index)
{
    return has_kind(index, ADAPTER_KIND_MANAGED | ADAPTER_KIND_ISCSI);
}

int isHBATypeArcwrightNIC(int32_t index)
{
    return has_kind(index, ADAPTER_KIND_MANAGED | ADAPTER_KIND_NIC);
}

int isAWFCoEDevId(int32_t index)
{
    const _Adapter *a = checked_fc(index);
    return a && isArcwrightFCoEBoard(a->deviceId);
}

int isAWiSCSIDevId(int32_t index)
{
    const _Adapter *a = checked(index);
    return a && isArcwrightiSCSIBoard(id(a->cnaDeviceId));
}

int isAWNICDevId(int32_t index)
{
    const _Adapter *a = checked(index);
    return a && isArcwrightNICBoard(id(a->cnaDeviceId));
}

int isAWDevId(int32_t index)
{
    return isAWFCoEDevId(index) || isAWiSCSIDevId(index) || isAWNICDevId(index);
}

int isSLI4(int32_t index)
{
    const _Adapter *a = checked(index);
    return a && a->sli4 != 0;
}

int IsItDC(uint8_t index)
{
    if (!gAdapters || index >= gAdapterCount)
        return 0;
    const _Adapter &me = gAdapters[index];
    for (uint32_t i = 0; i < gAdapterCount; ++i) {
        const _Adapter &o = gAdapters[i];
        if (i != index && o.pciBus == me.pciBus && o.pciDevice == me.pciDevice && o.pciFunction != me.pciFunction) {
            gOtherChannel = static_cast<uint8_t>(i);
            return 1;
        }
    }
    return 0;
}

int IsItQC(uint8_t index)
{
    if (!gAdapters || index >= gAdapterCount)
        return 0;
    const _Adapter &me = gAdapters[index];
    int n = 0;
    for (uint32_t i = 0; i < gAdapterCount; ++i)
        if (gAdapters[i].pciBus == me.pciBus && gAdapters[i].pciDevice == me.pciDevice)
            ++n;
    return n == 4 ? 1 : 0;
}

int IsItMcFC(uint8_t index)
{
    if (!gAdapters || index >= gAdapterCount)
        return 0;
    const _Adapter &me = gAdapters[index];
    for (uint32_t i = 0; i < gAdapterCount; ++i) {
        const _Adapter &o = gAdapters[i];
        if (i != index && o.pciBus == me.pciBus && o.pciDevice == me.pciDevice &&
            strncasecmp(o.serialNumber, me.serialNumber, sizeof me.serialNumber) == 0)
            return 1;
    }
    return 0;
}

void SwapBytes1(uint8_t *buffer, uint32_t length)
{
    if (!buffer)
        return;
    uint8_t *tmp = static_cast<uint8_t *>(std::calloc(length ? length : 1, 1));
    if (!tmp) {
        logDebugOutput("SwapBytes1: No buffer allocated\n");
        return;
    }
    for (uint32_t i = 0; i < length; ++i) {
        // A trailing part word has no partner inside the buffer: it stays.
        uint32_t to = i ^ 3u;
        tmp[to < length ? to : i] = buffer[i];
    }
    std::memcpy(buffer, tmp, length);
    std::free(tmp);
}

int GetVexoPid()
{
    std::string proc = host_path(std::string("/proc"));
    DIR *dir = opendir(proc.c_str());
    if (!dir)
        return 0;
    int found = 0;
    while (struct dirent *e = readdir(dir)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9')
            continue;
        std::string stat_path = proc + "/" + e->d_name + "/stat";
        FILE *f = std::fopen(stat_path.c_str(), "r");
        if (!f)
            continue;
        int pid = 0, ppid = 0;
        char name[256] = {};
        char state = 0;
        int n = std::fscanf(f, "%d (%255[^)]) %c %d", &pid, name, &state, &ppid);
        std::fclose(f);
        if (n == 4 && std::strcmp(name, "vexo2d") == 0 && ppid == 1) {
            found = pid;
            break;
        }
    }
    closedir(dir);
    return found;
}
