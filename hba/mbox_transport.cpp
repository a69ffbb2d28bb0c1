#include "hba/mbox_transport.h"

#include <cstring>

#include "adapters/adapter_table.h"
#include "flash/engine_log.h"
#include "flash/neighbour_services.h"
#include "hba/download_entry.h"
#include "kpl.h"

ERROR_DATA gErrorData = {0, 0};
uint32_t gHostEndian = 1;
uint32_t diagnosticMode = 0;
uint32_t WINboard = 0;

namespace {

const int kMboxRetries = 2;
const int kMboxV2Retries = 1;
const uint32_t kSli3Words = MBOX_SLI3_BYTES / 4;
const uint32_t kSli4Words = MBOX_SLI4_BYTES / 4;
const uint64_t kFeatureExtendedMailbox = 0x1000;
const uint32_t kObjectNameField = 104;
const uint32_t kObjectNameCopyCap = 100;

uint32_t status_or_result(int r, const MBOX_CMD *mbox)
{
    if (r == 0)
        return 0;
    uint16_t status = mbox_u16(mbox, 2);
    // A library failure that leaves the status word 0 is still a failure.
    return status != 0 ? status : static_cast<uint32_t>(r);
}

} // namespace

bool EngineTraceOn()
{
    return (Options.LOG_MODE & LOG_MODE_ENGINE) != 0;
}

uint32_t IssueMbox1(int board, MBOX_CMD *mbox, uint32_t sizeA, uint32_t sizeB)
{
    (void)sizeA;
    (void)sizeB;
    if (isSLI4(board))
        return IssueMbox4(board, mbox);
    int r = KPL_IssueMboxWithRetry(board, mbox, static_cast<int>(kSli3Words), static_cast<int>(MBOX_SLI3_BYTES),
                                   kMboxRetries, MBOX_WAIT);
    return status_or_result(r, mbox);
}

uint32_t IssueMbox4(int board, MBOX_CMD *mbox)
{
    int r = KPL_IssueMboxWithRetryV2(board, mbox, static_cast<int>(kSli4Words), kMboxV2Retries, MBOX_WAIT);
    return status_or_result(r, mbox);
}

bool IsIssueMboxV2ExtSupported(int board)
{
    static_assert(sizeof(KPL_DRV_INFO) == KPL_DRV_INFO_SIZE, "driver record size");
    KPL_DRV_INFO info;
    std::memset(&info, 0, sizeof info);
    info.version = 4;
    int r = KPL_GetDrvInfo(static_cast<uint8_t>(board), &info);
    if (r != 0) {
        if (EngineTraceOn())
            rm_fprintf(LogFp, "[IsIssueMboxV2ExtSupported]KPL_GetDrvInfo (v4)returned: %d for board: %d", r, board);
        return false;
    }
    uint32_t level = info.sliLevel;
    uint64_t features = info.features;
    return level == 4 && (features & kFeatureExtendedMailbox) != 0;
}

void SwapString(uint8_t *dst, const char *name)
{
    if (!dst || !name)
        return;
    size_t n = strnlen(name, kObjectNameField - 1);
    size_t words = (n < kObjectNameCopyCap ? n : kObjectNameCopyCap) / 4 + 1;
    // The terminator and the zeros behind it come from the zeroed field.
    uint8_t field[kObjectNameField];
    std::memset(field, 0, sizeof field);
    std::memcpy(field, name, n);
    std::memcpy(dst, field, words * 4);
}

bool isBigEndian()
{
    const uint16_t probe = 0x4321;
    uint8_t first;
    std::memcpy(&first, &probe, 1);
    return first != 0x21;
}

void SwapSizeN(uint8_t *p, int n)
{
    if (!p)
        return;
    for (int i = 0, j = n - 1; i < j; ++i, --j) {
        uint8_t t = p[i];
        p[i] = p[j];
        p[j] = t;
    }
}

uint32_t SetDiagEnv(uint32_t env)
{
    if (env == 1 || env == 2) {
        diagnosticMode = env;
        return 0;
    }
    if (env == 0)
        return diagnosticMode;
    return 0;
}

void SetBoardToONDI(int board)
{
    (void)board;
}

void SetBoardToOFFDI(int board)
{
    (void)board;
}

uint32_t SetBrdEnv_Windows(int board, uint32_t env)
{
    uint32_t r = SetDiagEnv(env);
    if (env == 1)
        SetBoardToONDI(board);
    else if (env == 2)
        SetBoardToOFFDI(board);
    return r;
}

void SetBrdEnv_Common(int board, int environment)
{
    if (AdapterFamily(static_cast<uint8_t>(board)) != FAMILY_NO_BOARD_ENV)
        SetBrdEnv(board, environment);
}

uint32_t ReadCtlReg1(int board, uint32_t *value, uint32_t reg)
{
    return static_cast<uint32_t>(ReadCtlReg(board, value, reg));
}

uint32_t WriteCtlReg1(int board, uint32_t *value, uint32_t reg)
{
    return static_cast<uint32_t>(WriteCtlReg(board, value, reg));
}

uint32_t ReadIoReg(uint32_t ioBase, uint32_t reg)
{
    (void)ioBase;
    uint32_t value = 0;
    ReadCtlReg(static_cast<int>(WINboard), &value, reg);
    return value;
}

uint32_t WriteIoReg(uint32_t ioBase, uint32_t reg, uint32_t value)
{
    (void)ioBase;
    return static_cast<uint32_t>(WriteCtlReg(static_cast<int>(WINboard), &value, reg));
}

uint32_t WriteIoReg1(int board, uint32_t ioBase, uint32_t reg, uint32_t value)
{
    (void)ioBase;
    return static_cast<uint32_t>(WriteCtlReg(board, &value, reg));
}

uint32_t MapVirtualToPhysical(uint32_t farAddress)
{
    return (farAddress >> 16) * 16u + (farAddress & 0xFFFFu);
}

uint32_t Warmstart_DOS(int board)
{
    return static_cast<uint32_t>(WarmstartReset(static_cast<uint8_t>(board)));
}

int GetLinkInfo(int board, uint8_t *info)
{
    if (!info)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    KPL_LINK_INFO record;
    std::memset(&record, 0, sizeof record);
    int r = KPL_GetLinkInfo(board, &record);
    if (r != 0)
        return r;
    std::memcpy(info, &record, sizeof record);
    return 0;
}
