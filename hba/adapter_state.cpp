#include "hba/adapter_state.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <sys/utsname.h>
#include <unistd.h>

#include "adapters/adapter_table.h"
#include "adapters/converged_discovery.h"
#include "flash/debug_log.h"
#include "flash/engine_log.h"
#include "flash/rm_status.h"
#include "hba/adapter_family.h"
#include "hba/config_regions.h"
#include "hba/download_entry.h"
#include "hba/mbox_commands.h"
#include "hba/mbox_transport.h"
#include "hba/sli_config.h"
#include "kpl.h"
#include "mal/mal_dump_glue.h"
#include "mal/mal_records.h"
#include "mgmt/aw/vexo-backend/ioctl_header.h"
#include "os/host_env.h"

#define STATE_TRACE(...)                                                                                               \
    do {                                                                                                               \
        if (EngineTraceOn())                                                                                           \
            rm_fprintf(LogFp, __VA_ARGS__);                                                                            \
    } while (0)

namespace {

// Families whose adapters report a board temperature.
const uint32_t kTemperatureFamilies[] = {0xE100, 0xE10A, 0xE10C, 0xE131, 0xE200, 0xF011, 0xF015, 0xF100, 0xF104,
                                         0xF10A, 0xF10B, 0xF111, 0xF112, 0xF180, 0xFC40, 0xFC50, 0x338F};
const uint16_t kTemperatureRegion = 0x1040;
const uint32_t kTemperatureWords = 5;
const uint16_t kTemperatureStatusNone = 0xFA;
const int kLibraryNoTemperature = 3;

const uint64_t kFeaturePersistLinkDown = 0x400;

// The factory-defaults request.
const uint8_t kOpcodeSetFactoryDefaults = 169;
const uint8_t kFactoryDefaultsVersion = 1;
const uint8_t kFactoryDefaultsOperation = 1;
const uint8_t kFactoryDefaultsDoneStatus = 0x2C;

// The directory part of a dump path has room for 127 characters.
const size_t kDumpDirectorySize = 128;
const size_t kDumpPathSize = 256;
// Where a dump goes when the working directory cannot be read.
const char kDumpFallbackDirectory[] = "/tmp/";

int map_link_down_status(int r)
{
    switch (r) {
    case 2:
        return 2;
    case 3:
        return 3;
    case 4:
        return PERSIST_LINK_DOWN_UNSUPPORTED;
    default:
        return 1;
    }
}

bool split_version(const char *text, unsigned long out[4])
{
    std::string copy(text);
    char *save = nullptr;
    char *field = strtok_r(&copy[0], ".", &save);
    for (int i = 0; i < 4; ++i) {
        if (!field)
            return false;
        out[i] = std::strtoul(field, nullptr, 10);
        field = strtok_r(nullptr, ".", &save);
    }
    return true;
}

} // namespace

int CLU_GetBoardTemp(int board, uint32_t *temperature)
{
    if (!temperature)
        return 1;
    const uint32_t family = AdapterFamily(static_cast<uint8_t>(board));
    bool asked = false;
    for (uint32_t f : kTemperatureFamilies)
        asked = asked || f == family;
    if (!asked) {
        *temperature = 0;
        return 0;
    }

    MBOX_CMD mbox;
    std::memset(&mbox, 0, sizeof mbox);
    mbox.mbxCommand = MBX_DUMP;
    uint8_t *b = reinterpret_cast<uint8_t *>(&mbox);
    b[4] = DUMP_TYPE_TEMPERATURE;
    mbox_put_u16(b, 8, kTemperatureRegion);
    int r;
    if (IsIssueMboxV2ExtSupported(board)) {
        r = KPL_IssueMboxWithRetryV2(board, &mbox, 64, 3, MBOX_WAIT_TEMPERATURE);
    } else {
        b[4] |= 0x10;
        mbox_put_u32(b, 16, kTemperatureWords);
        r = KPL_IssueMboxWithRetry(board, &mbox, 32, 32, 3, MBOX_WAIT_TEMPERATURE);
    }
    if (r == kLibraryNoTemperature || mbox.mbxStatus == kTemperatureStatusNone) {
        gErrorData.command = mbox.mbxCommand;
        gErrorData.status = mbox.mbxStatus;
        *temperature = BOARD_TEMP_NONE;
        return BOARD_TEMP_NOT_AVAILABLE;
    }
    if (r != 0) {
        // Other failures read as no temperature so that the VPD read goes on.
        gErrorData.command = mbox.mbxCommand;
        gErrorData.status = mbox.mbxStatus;
        *temperature = 0;
        return 0;
    }
    *temperature = static_cast<uint32_t>(b[20]) | static_cast<uint32_t>(b[24]) << 8 |
                   static_cast<uint32_t>(b[28]) << 16;
    return 0;
}

int CLU_GetPersistLinkDownCfg(int board, uint8_t *configured)
{
    if (!configured)
        return 1;
    uint16_t value = 0;
    int r = KPL_GetPersistLinkDown(board, &value);
    STATE_TRACE("[CLU_GetPersistLinkDownCfg] - kplStatus = %d, linkDown = %d\n", r, value);
    if (r != 0)
        return map_link_down_status(r);
    *configured = value != 0 ? 1 : 0;
    return 0;
}

int CLU_GetLinkInfo(int board, uint8_t *linkState)
{
    STATE_TRACE("\n[CLU_GetLinkInfo]\n");
    KPL_LINK_INFO info;
    std::memset(&info, 0, sizeof info);
    int r = KPL_GetLinkInfo(board, &info);
    STATE_TRACE("\n[CLU_GetLinkInfo] - kplStatus = %d, linkInfo.a_linkState = %d\n", r, info.linkState);
    if (r != 0 || !linkState)
        return 1;
    *linkState = info.linkState;
    return 0;
}

int CLU_EnableAdapterPort(int board)
{
    STATE_TRACE("\n[CLU_EnableAdapterPort]\n");
    uint8_t configured = 0;
    if (CLU_GetPersistLinkDownCfg(board, &configured) != 0) {
        STATE_TRACE("\n[CLU_EnableAdapterPort] - Unable to Retrieve Persistent LinkDown configuration\n");
        return ADAPTER_STATE_FAILED;
    }
    uint8_t state = 0;
    if (CLU_GetLinkInfo(board, &state) != 0) {
        STATE_TRACE("\n[CLU_EnableAdapterPort] - Unable to Retrieve current Link state\n");
        return ADAPTER_STATE_FAILED;
    }
    if (state == 0 || state > LNK_DOWN_PERSIST) {
        STATE_TRACE("\n[CLU_EnableAdapterPort] - Unknown link state\n");
        return ADAPTER_STATE_FAILED;
    }
    if (!configured) {
        STATE_TRACE("\n[CLU_EnableAdapterPort] - Adapter port is already enabled. persistLinkDown %d\n", configured);
        return 0;
    }
    if (state == LNK_DOWN_PERSIST) {
        STATE_TRACE("\n[CLU_EnableAdapterPort] - Persistent LinkDown feature is enabled\n");
        logDebugOutput("CLU_EnableAdapterPort: Persistent LinkDown feature is enabled\n");
    } else {
        STATE_TRACE("\n[CLU_EnableAdapterPort] - Persistent LinkDown feature is configured, but not yet enabled\n");
        int reset = ResetAdapter(static_cast<uint8_t>(board));
        if (reset != 0) {
            STATE_TRACE("\n[CLU_EnableAdapterPort] - Adapter reset failed %d\n", reset);
            logDebugOutput("CLU_EnableAdapterPort: Adapter reset failed %d\n", reset);
        }
    }

    KPL_DRV_INFO drv;
    std::memset(&drv, 0, sizeof drv);
    drv.version = 4;
    int r = KPL_GetDrvInfo(board, &drv);
    if (r != 0) {
        STATE_TRACE("\n[CLU_EnableAdapterPort] - KPL_GetDrvInfo error kplStatus %d\n", r);
        return ADAPTER_STATE_FAILED;
    }
    if ((drv.features & kFeaturePersistLinkDown) == 0) {
        STATE_TRACE("\n[CLU_EnableAdapterPort] - Feature not supported status %d\n", r);
        logDebugOutput("CLU_EnableAdapterPort: Feature not supported status %d\n", r);
        return ADAPTER_STATE_FAILED;
    }

    r = KPL_SetPersistLinkDown(board, 0);
    switch (r) {
    case 0: {
        int reset = ResetAdapter(static_cast<uint8_t>(board));
        if (reset != 0) {
            STATE_TRACE("\n[CLU_EnableAdapterPort] - Adapter reset failed kplStatus %d\n", reset);
            return 1;
        }
        return 0;
    }
    case 2:
    case 3:
    case 4:
        return map_link_down_status(r);
    default:
        return ENABLE_PORT_SET_FAILED;
    }
}

int setFactoryDefaultsSLI4(int board)
{
    STATE_TRACE("\n[setFactoryDefaultsSLI4]\n");
    if (!IsIssueMboxV2ExtSupported(board)) {
        STATE_TRACE("\n[setFactoryDefaultsSLI4] - Extended mode not supported!\n");
        return ADAPTER_STATE_FAILED;
    }
    uint8_t buffer[MBOX_CMD_SIZE];
    std::memset(buffer, 0, sizeof buffer);
    buffer[1] = MBX_SLI_CONFIG;
    buffer[4] = 0x01; // embedded
    mbox_put_u32(buffer, 8, SLI_CONFIG_EMBEDDED_SIZE);
    uint8_t *cmd = buffer + SLI_CONFIG_PAYLOAD_OFFSET;
    IOCTL_REQUEST_HEADER request;
    std::memset(&request, 0, sizeof request);
    request.opcode = kOpcodeSetFactoryDefaults;
    request.subsystem = SUBSYSTEM_COMMON;
    request.request_length = 4;
    request.version = kFactoryDefaultsVersion;
    std::memcpy(cmd, &request, sizeof request);
    cmd[16] = 0; // profile id
    cmd[17] = kFactoryDefaultsOperation & 0x0F;

    STATE_TRACE("\n[setFactoryDefaultsSLI4] - Command - KPL_IssueMboxWithRetryV2\n");
    STATE_TRACE("opCode = %u\n", request.opcode);
    STATE_TRACE("subSystem = %u\n", request.subsystem);
    STATE_TRACE("timeout = %u\n", request.timeout);
    STATE_TRACE("requestLength = %u\n", request.request_length);
    STATE_TRACE("version = %u\n", request.version);
    STATE_TRACE("profileID = %u\n", cmd[16]);
    STATE_TRACE("operation = %u\n", cmd[17] & 0x0Fu);
    int r = KPL_IssueMboxWithRetryV2(board, buffer, 64, 1, MBOX_WAIT);
    IOCTL_RESPONSE_HEADER response;
    std::memcpy(&response, cmd, sizeof response);
    const uint8_t status = cmd[4];
    const uint8_t additional = cmd[5];
    STATE_TRACE("\n[setFactoryDefaultsSLI4] - Response - KPL_IssueMboxWithRetryV2\n");
    STATE_TRACE("kplStatus = %d\n", r);
    STATE_TRACE("status = %u\n", status);
    STATE_TRACE("additionalStatus = %u\n", additional);
    STATE_TRACE("responseLength = %u\n", response.response_length);
    STATE_TRACE("actualLength = %u\n", response.actual_response_length);
    // The adapter answers this request with a non-zero status, so the library
    // reports 2 for the one good outcome.
    if (r != 2) {
        STATE_TRACE("\n[setFactoryDefaultsSLI4] - kplStatus (%X)\n", static_cast<unsigned>(r));
        return ADAPTER_STATE_FAILED;
    }
    if (response.actual_response_length > response.response_length) {
        STATE_TRACE("\n[setFactoryDefaultsSLI4] - actualLength (%d) > responseLength (%d)\n",
                    static_cast<int>(response.actual_response_length), static_cast<int>(response.response_length));
        return ADAPTER_STATE_FAILED;
    }
    if (status == kFactoryDefaultsDoneStatus && additional == 0) {
        STATE_TRACE("\n[setFactoryDefaultsSLI4] - Success exit status (%d)\n", FACTORY_DEFAULTS_DONE);
        return FACTORY_DEFAULTS_DONE;
    }
    STATE_TRACE("\n[setFactoryDefaultsSLI4] - Unknown exit status (%d)\n", ADAPTER_STATE_FAILED);
    return ADAPTER_STATE_FAILED;
}

int GetHostName(char *buffer, size_t size)
{
    if (size > HOST_NAME_SIZE || !buffer || size == 0)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    struct utsname u;
    const char *name = uname(&u) == 0 ? u.nodename : "DEFAULTHostName";
    const size_t n = strnlen(name, size - 1);
    std::memcpy(buffer, name, n);
    buffer[n] = '\0';
    return 0;
}

int Dump(int board, int ignored, int mode, int passedOn)
{
    (void)ignored;
    if (gVEXO == 0) {
        WIN_Error = DUMP_VEXO_NOT_AVAILABLE;
        QBprintf("VEXO not available\n");
        return DUMP_VEXO_NOT_AVAILABLE;
    }
    if (!gAdapters || !AdapterExists4(static_cast<uint32_t>(board)) || !gCB_Arcwright ||
        gAdapters[board].controllerIndex >= gAwCount)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    const node_tag_t tag = gCB_Arcwright[gAdapters[board].controllerIndex].tag;
    MAL_AWProperties properties;
    std::memset(&properties, 0, sizeof properties);
    int r = MAL_GetAWProperties(tag, &properties);
    if (r != 0)
        return r;

    // A working directory too long for the path's directory part is refused,
    // never cut.
    char directory[kDumpDirectorySize];
    char cwd[PATH_MAX + 1];
    if (getcwd(cwd, sizeof cwd)) {
        const size_t n = std::strlen(cwd);
        if (n + 1 >= sizeof directory)
            return RM_STATUS_ERROR_INVALID_ARGUMENT;
        std::memcpy(directory, cwd, n);
        directory[n] = '/';
        directory[n + 1] = '\0';
    } else if (errno == ERANGE || host_path(kDumpFallbackDirectory, directory, sizeof directory) != 0) {
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    }

    char host[HOST_NAME_SIZE];
    GetHostName(host, sizeof host);
    char stamp[32] = "";
    time_t now = std::time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local))
        std::strftime(stamp, sizeof stamp, "%y%m%d-%H%M%S", &local);

    const int serialLength = static_cast<int>(strnlen(properties.SerialNumber, sizeof properties.SerialNumber));
    char path[kDumpPathSize];
    int n = std::snprintf(path, sizeof path, "%s%s_%.*s_%s.efd", directory, host, serialLength,
                          properties.SerialNumber, stamp);
    if (n < 0 || static_cast<size_t>(n) >= sizeof path)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;

    r = GenerateEfdDump(tag, mode, path, passedOn);
    if (r == 0)
        QBprintf("Successfully created %s.\n", path);
    return r;
}

int isActiveFwEqualToFwOnFlash(const char *first, const char *second)
{
    unsigned long a[4], b[4];
    if (!first || !second || !split_version(first, a) || !split_version(second, b))
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    for (int i = 0; i < 4; ++i)
        if (a[i] != b[i])
            return 0;
    return 1;
}
