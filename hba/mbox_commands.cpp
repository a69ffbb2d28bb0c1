#include "hba/mbox_commands.h"

#include <cstring>

#include "adapters/adapter_table.h"
#include "adapters/board_predicates.h"
#include "adapters/converged_discovery.h"
#include "flash/engine_log.h"
#include "flash/neighbour_services.h"
#include "hba/adapter_family.h"
#include "hba/config_regions.h"
#include "hba/sli_config.h"
#include "kpl.h"
#include "mal/mal_maintenance.h"
#include "mgmt/aw/vexo-backend/ioctl_header.h"

int16_t No_Sli2 = 1;

namespace {

const uint32_t kDumpAddressOffset = 12;
const uint32_t kDumpCountOffset = 16;
const uint32_t kDumpDataOffset = 20;
const uint8_t kDumpTypeMemory = 1;
const uint8_t kDumpFlag = 0x02;
const uint32_t kReadRevFlags = 0x88000000u; // bits 31 and 27
const uint32_t kMaskDirectDownload = 0xE0000000u;
const uint32_t kMaskOther = 0xFE000000u;
const int kUpdateCfgWrite = 2;
const int kUpdateCfgRecreate = 1;
const uint32_t kRegionMustRecreate = 0xFFF5;
const uint32_t kEmbertipRegister = 12;
const uint32_t kEmbertipInitValue = 0x08000000u;
const uint32_t kIeeeRegion = 16;
const uint32_t kIeeeBytes = 8;
const uint32_t kFfvRequestLength = 36;
const char kNotAvailable[] = "Not Available";
const uint32_t kFfvWriteBuffer = 36;

void zero(MBOX_CMD &m, uint8_t command)
{
    std::memset(&m, 0, sizeof m);
    m.mbxCommand = command;
}

uint8_t *bytes(MBOX_CMD &m)
{
    return reinterpret_cast<uint8_t *>(&m);
}

void record_failure(const MBOX_CMD &m)
{
    gErrorData.command = m.mbxCommand;
    gErrorData.status = mbox_u16(&m, 2);
}

// The common pattern: send, and on failure record it and answer MBOX_FAILED.
uint32_t send(int board, MBOX_CMD &m)
{
    uint32_t r = IssueMbox1(board, &m, 8, 44);
    if (r != 0) {
        record_failure(m);
        return MBOX_FAILED;
    }
    return 0;
}

uint32_t fill_dump(MBOX_CMD &m, uint32_t address, uint32_t count)
{
    zero(m, MBX_DUMP_MEMORY);
    m.flags = kDumpFlag;
    m.words[0] = kDumpTypeMemory;
    if (count > DUMP_MEMORY_MAX_WORDS)
        count = DUMP_MEMORY_MAX_WORDS;
    mbox_put_u32(&m, kDumpAddressOffset, address & ~3u);
    mbox_put_u32(&m, kDumpCountOffset, count);
    return count;
}

} // namespace

uint32_t ReadRev(int board, uint8_t *mailbox)
{
    MBOX_CMD m;
    zero(m, MBX_READ_REV);
    mbox_put_u32(&m, 4, kReadRevFlags);
    uint32_t r = IssueMbox1(board, &m, 8, 44);
    if (r != 0)
        record_failure(m);
    if (mailbox)
        std::memcpy(mailbox, &m, sizeof m);
    return r;
}

uint32_t ReadRev4(int board, uint8_t *mailbox)
{
    MBOX_CMD m;
    zero(m, MBX_READ_REV);
    uint32_t r = IssueMbox4(board, &m);
    if (r != 0) {
        record_failure(m);
        QBprintf("Failed IssueMbox4\n");
    }
    if (mailbox)
        std::memcpy(mailbox, &m, sizeof m);
    return r;
}

uint32_t ReadNvparms(int board, uint8_t *out)
{
    MBOX_CMD m;
    zero(m, MBX_READ_NV);
    bool managed = isHBATypeArcwright(board) != 0;
    if (!managed) {
        mbox_put_u32(&m, 4, 0xFFFFFFFFu);
        mbox_put_u32(&m, 8, 0xFFFFFFFFu);
        mbox_put_u32(&m, 12, 0xFFFFFFFFu);
    }
    uint32_t r = send(board, m);
    if (r == 0 && out)
        std::memcpy(out, bytes(m) + 4, managed ? READ_NV_MANAGED_BYTES : READ_NV_BYTES);
    return r;
}

uint32_t InitLink(int board, const uint32_t *params)
{
    MBOX_CMD m;
    zero(m, MBX_INIT_LINK);
    if (params)
        bytes(m)[8] = static_cast<uint8_t>(params[1] & 0xFF);
    return send(board, m);
}

uint32_t ConfigLink(int board, const uint32_t *params)
{
    MBOX_CMD m;
    zero(m, MBX_CONFIG_LINK);
    if (params) {
        mbox_put_u32(&m, 8, params[1]);
        for (int w = 3; w <= 7; ++w)
            mbox_put_u32(&m, 16 + static_cast<size_t>(w - 3) * 4, params[w]);
    }
    return send(board, m);
}

uint32_t ConfigRing(int board, const uint8_t *params)
{
    MBOX_CMD m;
    zero(m, MBX_CONFIG_RING);
    if (params) {
        uint8_t *b = bytes(m);
        b[4] = params[0] & 0x0F;
        b[5] = params[1];
        b[6] = params[2];
        b[7] = params[3] & 0x03;
        mbox_put_u16(&m, 8, mbox_u16(params, 4));
        mbox_put_u16(&m, 10, mbox_u16(params, 6));
    }
    return send(board, m);
}

uint32_t ReadConfig(int board, uint8_t *out)
{
    MBOX_CMD m;
    zero(m, MBX_READ_CONFIG);
    uint32_t r = send(board, m);
    if (r == 0 && out)
        std::memcpy(out, bytes(m) + 4, READ_CONFIG_BYTES);
    return r;
}

uint32_t ReadStatus(int board, uint8_t *out, uint32_t clear)
{
    MBOX_CMD m;
    zero(m, MBX_READ_STATUS);
    bytes(m)[4] = static_cast<uint8_t>(clear & 1);
    uint32_t r = send(board, m);
    if (r == 0 && out)
        std::memcpy(out, bytes(m) + 4, READ_STATUS_BYTES);
    return r;
}

uint32_t DumpMemory1(int board, uint8_t *dst, uint32_t address, uint32_t count)
{
    if (No_Sli2 == 1)
        return DUMP_MEMORY_DECLINED;
    uint32_t mask = IsItDirectDownloadJedecID(board) ? kMaskDirectDownload : kMaskOther;
    if ((address & mask) != 0) {
        QBprintf("Adr ERROR: %08lX Count %x\n", static_cast<unsigned long>(address), count);
        return DUMP_MEMORY_BAD_ADDRESS;
    }
    MBOX_CMD m;
    fill_dump(m, address, count);
    uint32_t r = IssueMbox1(board, &m, 8, 44);
    if (r != 0)
        return r;
    // The reply's own word count, bounded by the reply area.
    uint32_t words = mbox_u32(&m, kDumpCountOffset);
    if (words > DUMP_MEMORY_MAX_WORDS)
        words = DUMP_MEMORY_MAX_WORDS;
    if (dst)
        std::memcpy(dst, bytes(m) + kDumpDataOffset, words * 4);
    return 0;
}

uint32_t DumpMemory(int board, uint8_t *dst, uint32_t address, uint32_t count)
{
    uint32_t r = DumpMemory1(board, dst, address, count);
    if (r != DUMP_MEMORY_DECLINED)
        return r;
    MBOX_CMD m;
    uint32_t words = fill_dump(m, address, count);
    if (send(board, m) != 0)
        return MBOX_FAILED;
    if (dst)
        std::memcpy(dst, bytes(m) + kDumpDataOffset, words * 4);
    return 0;
}

uint32_t Restart(int board, uint32_t flagA, uint32_t flagB)
{
    SetBrdEnv_Common(board, BOARD_ENV_OFFLINE);
    MBOX_CMD m;
    zero(m, MBX_RESTART);
    mbox_put_u32(&m, 4, (flagA ? 1u : 0u) | (flagB ? 2u : 0u));
    uint32_t r = send(board, m);
    SetBrdEnv_Common(board, BOARD_ENV_ONLINE);
    return r;
}

uint32_t DeleteLoadEntry(int board, const uint32_t programId[2])
{
    MBOX_CMD m;
    zero(m, MBX_DEL_LD_ENTRY);
    bytes(m)[4] = 1;
    if (programId) {
        mbox_put_u32(&m, 8, programId[0]);
        mbox_put_u32(&m, 12, programId[1]);
    }
    return send(board, m);
}

uint32_t ReadUla(int board, uint32_t out[2])
{
    MBOX_CMD m;
    zero(m, MBX_ULA);
    mbox_put_u32(&m, 4, ULA_ACCESS_WORD);
    uint32_t r = send(board, m);
    if (r == 0 && out) {
        out[0] = mbox_u32(&m, 8);
        out[1] = mbox_u32(&m, 12);
    }
    return r;
}

uint32_t WriteUla(int board, const uint32_t words[2])
{
    MBOX_CMD m;
    zero(m, MBX_ULA);
    mbox_put_u32(&m, 4, ULA_ACCESS_WORD);
    if (words) {
        mbox_put_u32(&m, 8, words[0]);
        mbox_put_u32(&m, 12, words[1]);
    }
    uint32_t r = IssueMbox1(board, &m, 8, 44);
    if (r != 0)
        record_failure(m);
    return r;
}

uint32_t ReadJedecID(int board)
{
    uint8_t w[4] = {0, 0, 0, 0};
    uint32_t r = DumpMemory(board, w, JEDEC_ID_ADDRESS, 1);
    if (r != 0)
        return r;
    return mbox_u32(w, 0);
}

uint32_t GetMaxSramSize(int board, uint32_t *first, uint32_t *second)
{
    uint8_t buf[8] = {};
    uint32_t r = DumpMemory(board, buf, SRAM_SIZE_ADDRESS, 2);
    if (r != 0)
        return r;
    if (first)
        *first = mbox_u32(buf, 0);
    if (second)
        *second = mbox_u32(buf, 4);
    return 0;
}

uint32_t ReadFlashIEEEAddress(int board, uint8_t *buf)
{
    uint32_t read = 0;
    return static_cast<uint32_t>(
        DumpConfigurationData(board, buf, static_cast<int>(kIeeeRegion), kIeeeBytes / 4, 0, &read));
}

uint32_t DoUpdateConfig4(int board, int region, uint8_t *data, uint32_t length)
{
    uint32_t response = 0;
    int r = KPL_IssueUpdateCfgMBox(board, kUpdateCfgWrite, region, length, data, &response);
    if (r != 2)
        return static_cast<uint32_t>(r);
    if ((response & 0xFFFF) == kRegionMustRecreate) {
        QBprintf("Re-initialize this config region %d\n", region);
        r = KPL_IssueUpdateCfgMBox(board, kUpdateCfgRecreate, region, 0, data, &response);
        if (r != 0) {
            QBprintf("Re-initialize region fails Status %x Rsp_info %x\n", r, response);
            return static_cast<uint32_t>(r);
        }
        return static_cast<uint32_t>(KPL_IssueUpdateCfgMBox(board, kUpdateCfgWrite, region, length, data, &response));
    }
    QBprintf("Return %x RspInfo %x\n", r, response);
    return 2;
}

namespace {

// The embedded FFV name command; answers the library's result, the reply
// over the buffer.
int issue_ffv(int board, uint8_t *buf, bool write, const char *name)
{
    std::memset(buf, 0, MBOX_CMD_SIZE);
    buf[1] = MBX_SLI_CONFIG;
    buf[4] = 1;
    mbox_put_u32(buf, 8, SLI_CONFIG_EMBEDDED_SIZE);
    uint8_t *cmd = buf + SLI_CONFIG_PAYLOAD_OFFSET;
    cmd[0] = OPCODE_VENDOR_MANAGE_FFV;
    cmd[1] = SUBSYSTEM_VENDOR;
    mbox_put_u32(cmd, 8, kFfvRequestLength);
    _MANAGE_FFV_PARAMS p;
    std::memset(&p, 0, sizeof p);
    p.wr = write ? 1 : 0;
    if (write && name) {
        size_t n = strnlen(name, FFV_NAME_LENGTH);
        p.ffv_length = static_cast<uint8_t>(n);
        std::memcpy(p.ffv_string, name, n);
    }
    std::memcpy(cmd + IOCTL_HEADER_SIZE, &p, sizeof p);
    QBprintf("pSubCmd->opCode           = %X\n", cmd[0]);
    QBprintf("pSubCmd->subsystem        = %X\n", cmd[1]);
    QBprintf("pSubCmd->request_length   = %X\n", mbox_u32(cmd, 8));
    QBprintf("pSubCmd->wr               = %X\n", p.wr);
    QBprintf("pSubCmd->ffv_length       = %X\n", p.ffv_length);
    int r = KPL_IssueMboxWithRetryV2(board, buf, static_cast<int>(MBOX_SLI4_BYTES / 4), 1, MBOX_WAIT);
    QBprintf("KPL_IssueMboxWithRetryV2 = %d\n", r);
    QBprintf("pSubCmd->status           = %X\n", cmd[4]);
    QBprintf("pSubCmd->additional_status= %X\n", cmd[5]);
    QBprintf("pSubCmd->response_length  = %X\n", mbox_u32(cmd, 8));
    QBprintf("pSubCmd->actual_length    = %X\n", mbox_u32(cmd, 12));
    return r;
}

bool reply_lengths_bad(const uint8_t *cmd)
{
    uint32_t response = mbox_u32(cmd, 8);
    uint32_t actual = mbox_u32(cmd, 12);
    if (actual > response) {
        QBprintf("actualLength (%d) > responseLength (%d)\n", actual, response);
        return true;
    }
    return false;
}

} // namespace

uint32_t VendorManageFFV_Read(int board, char *dst)
{
    if (!IsIssueMboxV2ExtSupported(board)) {
        QBprintf("Extended mode not supported!\n");
        return FFV_READ_FAILED;
    }
    uint8_t buf[MBOX_CMD_SIZE];
    int r = issue_ffv(board, buf, false, nullptr);
    const uint8_t *cmd = buf + SLI_CONFIG_PAYLOAD_OFFSET;
    if (r != 0 || reply_lengths_bad(cmd))
        return FFV_READ_FAILED;
    if (dst)
        std::memcpy(dst, cmd + IOCTL_HEADER_SIZE + offsetof(_MANAGE_FFV_PARAMS, ffv_string), FFV_NAME_LENGTH);
    return 0;
}

uint32_t VendorManageFFV_Write(int board, const char *name)
{
    if (!IsIssueMboxV2ExtSupported(board)) {
        QBprintf("Extended mode not supported!\n");
        return FFV_WRITE_FAILED;
    }
    uint8_t buf[MBOX_CMD_SIZE];
    int r = issue_ffv(board, buf, true, name);
    const uint8_t *cmd = buf + SLI_CONFIG_PAYLOAD_OFFSET;
    if (r != 0 || reply_lengths_bad(cmd) || cmd[4] != 0)
        return FFV_WRITE_FAILED;
    return 0;
}

namespace {

// The controller block of a converged entry, or null.
const _CB_Arcwright *controller_of(int index)
{
    if (!AdapterExists4V2(static_cast<uint32_t>(index)) || !gCB_Arcwright)
        return nullptr;
    uint32_t c = gAdapters[index].controllerIndex;
    return c < gAwCount ? &gCB_Arcwright[c] : nullptr;
}

} // namespace

uint32_t VendorManageFFV_ReadViaVEXO(int index, char *dst)
{
    if (gVEXO == 0)
        return CONVERGED_LIBRARY_NOT_OPEN;
    const _CB_Arcwright *cb = controller_of(index);
    if (!cb || std::strncmp(cb->properties.FFVName, kNotAvailable, sizeof cb->properties.FFVName) == 0)
        return RM_STATUS_ERROR_NOT_SUPPORTED;
    if (dst)
        std::memcpy(dst, cb->properties.FFVName, FFV_NAME_LENGTH);
    return 0;
}

uint32_t VendorManageFFV_WriteViaVEXO(int index, const char *name)
{
    if (gVEXO == 0)
        return CONVERGED_LIBRARY_NOT_OPEN;
    const _CB_Arcwright *cb = controller_of(index);
    if (!cb)
        return RM_STATUS_ERROR_NOT_SUPPORTED;
    char buffer[kFfvWriteBuffer];
    std::memset(buffer, 0, sizeof buffer);
    if (name)
        std::memcpy(buffer, name, strnlen(name, FFV_NAME_LENGTH));
    return static_cast<uint32_t>(MAL_SetFFVName(cb->tag, buffer));
}

uint32_t InitializeEmbertip(int board)
{
    SetBrdEnv_Common(board, BOARD_ENV_OFFLINE);
    uint32_t v = kEmbertipInitValue;
    if (WriteCtlReg1(board, &v, kEmbertipRegister) != 0)
        return EMBERTIP_INIT_FAILED;
    v = 0;
    if (WriteCtlReg1(board, &v, kEmbertipRegister) != 0)
        return EMBERTIP_INIT_FAILED;
    return 0;
}

uint32_t GetAdapterState(int board)
{
    (void)board;
    return 0;
}

int isOrvaneBlade(int index)
{
    if (isHBATypeArcwright(index) || isVarrowFC(index) || !AdapterExists4(static_cast<uint32_t>(index)))
        return 0;
    const _Adapter &a = gAdapters[index];
    const int32_t d = a.deviceId, v = a.vendorId, sd = a.subDeviceId, sv = a.subVendorId;
    return (isOskaraBladeBoard(d, v, sd, sv) || isOskaraStagmereBladeBoard(d, v, sd, sv) ||
            isKeddBladeBoard(d, v, sd, sv) || isSolvaneBladeBoard(d, v, sd, sv) || isWyndelBladeBoard(d, v, sd, sv))
               ? 1
               : 0;
}
