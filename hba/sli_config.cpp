#include "hba/sli_config.h"

#include <cstdlib>
#include <cstring>

#include "flash/engine_log.h"
#include "hba/mbox_commands.h"
#include "hba/mbox_transport.h"
#include "kpl.h"
#include "mgmt/aw/vexo-backend/ioctl_header.h"

namespace {

const uint8_t kEmbeddedBit = 0x01;
const uint8_t kOneSge = 1u << 3;
const uint32_t kParams = IOCTL_HEADER_SIZE; // parameters behind the header
const uint8_t kAddStatusSuccess = 0x67;
const uint16_t kMboxStatusExtended = 0x4001;
const uint8_t kPortBitsUnknown = 0x3F;
const uint8_t kPortTypeBits = 0x40; // bits 6-7 = 01
const uint32_t kDportEntrySize = 12;
const uint32_t kDportEntriesOffset = 32;
const uint32_t kProfileReplyHeader = 4; // descriptor count in front of them
const uint32_t kProfileFixed = 20;      // header and count in front of the descriptors
// The most descriptors a reply of PROFILE_CONFIG_MAX_LENGTH bytes can carry.
const uint32_t kProfileMaxDescriptors = (PROFILE_CONFIG_MAX_LENGTH - kProfileFixed) / PROFILE_DESCRIPTOR_SIZE;
const uint32_t kAttrTextOffsets[4] = {388, 420, 452, 484};
const uint32_t kAttrIplOffset = 524;
const uint32_t kAttrIplLength = 16;
const uint32_t kAttrTextLength = 32;
const uint32_t kFwTextOffsets[2] = {16, 48};

// One command on its way: the buffer, where the command starts in it, and
// the room the command has.
struct SliCommand {
    uint8_t *buffer = nullptr;
    uint8_t *cmd = nullptr;
    uint32_t room = 0;
    bool heap = false;
    uint8_t local[MBOX_CMD_SIZE];
};

void header(uint8_t *cmd, uint8_t opcode, uint8_t subsystem, uint32_t requestLength, uint8_t version)
{
    cmd[0] = opcode;
    cmd[1] = subsystem;
    mbox_put_u32(cmd, 8, requestLength);
    cmd[12] = version;
}

// The embedded form in a zeroed 384-byte buffer.
void begin_embedded(SliCommand &c, uint32_t payloadLength, uint8_t opcode, uint8_t subsystem, uint32_t requestLength,
                    uint8_t version = 0)
{
    std::memset(c.local, 0, sizeof c.local);
    c.buffer = c.local;
    c.buffer[1] = MBX_SLI_CONFIG;
    c.buffer[4] = kEmbeddedBit;
    mbox_put_u32(c.buffer, 8, payloadLength);
    c.cmd = c.buffer + SLI_CONFIG_PAYLOAD_OFFSET;
    c.room = SLI_CONFIG_EMBEDDED_SIZE;
    header(c.cmd, opcode, subsystem, requestLength, version);
}

// The non-embedded form: the command behind the 256-byte mailbox in one
// allocation of 256 + length bytes. False when it cannot be had.
bool begin_external(SliCommand &c, uint32_t length, uint8_t opcode, uint8_t subsystem, uint32_t requestLength,
                    uint8_t version = 0)
{
    c.buffer = static_cast<uint8_t *>(std::calloc(1, SLI_CONFIG_MBOX_SIZE + length));
    if (!c.buffer)
        return false;
    c.heap = true;
    c.buffer[1] = MBX_SLI_CONFIG;
    c.buffer[4] = kOneSge;
    mbox_put_u32(c.buffer, 8, length);
    mbox_put_u32(c.buffer, SLI_CONFIG_PAYLOAD_OFFSET + 8, length & 0x00FFFFFFu);
    c.cmd = c.buffer + SLI_CONFIG_MBOX_SIZE;
    c.room = length;
    header(c.cmd, opcode, subsystem, requestLength, version);
    return true;
}

void end(SliCommand &c)
{
    if (c.heap)
        std::free(c.buffer);
    c.buffer = nullptr;
    c.cmd = nullptr;
    c.heap = false;
}

int send(int board, SliCommand &c)
{
    uint32_t total = c.heap ? SLI_CONFIG_MBOX_SIZE + c.room : MBOX_SLI4_BYTES;
    return KPL_IssueMboxWithRetryV2(board, c.buffer, static_cast<int>(total / 4), 1, MBOX_WAIT);
}

uint16_t mbox_status(const SliCommand &c)
{
    return mbox_u16(c.buffer, 2);
}

RM_STATUS rule(int r, const SliCommand &c)
{
    return SC_ProcessSliConfigResponseStatus(r, mbox_status(c), c.cmd[4], c.cmd[5]);
}

uint32_t response_length(const SliCommand &c)
{
    return mbox_u32(c.cmd, 8);
}

uint32_t actual_length(const SliCommand &c)
{
    return mbox_u32(c.cmd, 12);
}

// Reply bytes the command's room holds behind `offset`.
uint32_t room_behind(const SliCommand &c, uint32_t offset)
{
    return c.room > offset ? c.room - offset : 0;
}

void log_failure(int r, const SliCommand &c, const char *op, const char *command)
{
    if (r != 0 && EngineTraceOn())
        rm_fprintf(LogFp, "[%s]Error issuing %s: kplStatus x%04x, rsp status x%04x, rsp additionalStatus x%04x\n", op,
                   command, static_cast<unsigned>(r), c.cmd[4], c.cmd[5]);
}

void log_entry(const char *op)
{
    if (EngineTraceOn())
        rm_fprintf(LogFp, "[%s]\n", op);
}

void log_statuses(int r, const SliCommand &c)
{
    if (EngineTraceOn())
        rm_fprintf(LogFp, "MBX: kplStat=%x, sliConfigStat=%x, SubCmdStat=%d\n", static_cast<unsigned>(r),
                   mbox_status(c), c.cmd[4]);
}

bool all_clear(int r, const SliCommand &c)
{
    return r == 0 && mbox_status(c) == 0 && c.cmd[4] == 0;
}

// The port bits of the FCoE commands: the physical port number, all ones
// when it cannot be had.
uint8_t port_bits(int board)
{
    int32_t port = SLI_CFG_GetPortNumber(board);
    return static_cast<uint8_t>(kPortTypeBits | (port == -1 ? kPortBitsUnknown : (port & kPortBitsUnknown)));
}

// A text of at most `max` - 1 characters with its terminator.
void copy_text(char *dst, const uint8_t *src, uint32_t max)
{
    size_t n = strnlen(reinterpret_cast<const char *>(src), max - 1);
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

RM_STATUS code(int32_t value)
{
    return static_cast<RM_STATUS>(value);
}

} // namespace

RM_STATUS SC_ProcessSliConfigResponseStatus(int result, uint16_t mboxStatus, uint8_t status, uint8_t addStatus)
{
    if (result == 0) {
        if (status == 0 || addStatus == kAddStatusSuccess)
            return RM_STATUS_OK;
        return code(SC_STATUS_SUBCMD_FAILED);
    }
    if (result != 2)
        return code(SC_STATUS_MBOX_FAILED);
    if (mboxStatus == kMboxStatusExtended && status == 1 && addStatus == kAddStatusSuccess)
        return RM_STATUS_OK;
    if (mboxStatus == 1) {
        if (status == 0x7E)
            return code(60);
        if (status == 1 && addStatus == 0xA7)
            return code(15);
        if (status == 2 && addStatus == 0x1E)
            return code(251);
        if (status == 1 && addStatus == 0x1C)
            return code(204);
        if (status == 3)
            return code(248);
    }
    if (mboxStatus == 0 || mboxStatus == 1 || mboxStatus == kMboxStatusExtended)
        return code(SC_STATUS_MBOX_FAILED);
    if (status == 0 || addStatus == kAddStatusSuccess)
        return RM_STATUS_OK;
    return code(SC_STATUS_MBOX_FAILED);
}

RM_STATUS SC_PerformCommonGetCntlAddlAttributes(int board, uint8_t *attributes)
{
    if (!attributes)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (!IsIssueMboxV2ExtSupported(board))
        return RM_STATUS_ERROR_NOT_SUPPORTED;
    SliCommand c;
    if (!begin_external(c, CNTL_ATTRIBUTES_LENGTH, OPCODE_COMMON_GET_CNTL_ADDL_ATTRIBUTES, SUBSYSTEM_COMMON, 0))
        return code(SC_STATUS_NO_REQUEST_MEMORY);
    int r = send(board, c);
    log_failure(r, c, "SC_PerformCommonGetCntlAddlAttributes", "COMMON_GET_CNTL_ADDL_ATTRIBUTES");
    RM_STATUS s = rule(r, c);
    if (s == RM_STATUS_OK) {
        const uint8_t *params = c.cmd + kParams;
        uint8_t *out = attributes + CNTL_ATTRIBUTES_FILLED_FROM;
        for (uint32_t i = 0; i < 4; ++i) {
            const uint8_t *text = params + kAttrTextOffsets[i];
            // At most 31 characters, up to the first blank; no terminator of its own.
            uint32_t n = 0;
            while (n < kAttrTextLength - 1 && text[n] != 0 && text[n] != ' ')
                ++n;
            std::memcpy(out + i * kAttrTextLength, text, n);
        }
        const uint8_t *ipl = params + kAttrIplOffset;
        std::memcpy(out + 4 * kAttrTextLength, ipl, strnlen(reinterpret_cast<const char *>(ipl), kAttrIplLength));
    }
    end(c);
    return s;
}

RM_STATUS SC_PerformCommonGetBootConfig(int board, uint8_t *value)
{
    if (!value)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    SliCommand c;
    begin_embedded(c, SLI_CONFIG_EMBEDDED_SIZE, OPCODE_COMMON_GET_BOOT_CONFIG, SUBSYSTEM_COMMON, 0);
    int r = send(board, c);
    RM_STATUS s = rule(r, c);
    if (s == RM_STATUS_OK)
        *value = c.cmd[kParams];
    return s;
}

RM_STATUS SC_PerformCommonSetBootConfig(int board, uint8_t value)
{
    SliCommand c;
    begin_embedded(c, SLI_CONFIG_EMBEDDED_SIZE, OPCODE_COMMON_SET_BOOT_CONFIG, SUBSYSTEM_COMMON, 4);
    c.cmd[kParams] = value;
    c.cmd[kParams + 1] = 1;
    int r = send(board, c);
    return rule(r, c);
}

RM_STATUS SC_CommonGetProfileConfig_V0(int board, uint8_t hdr15, uint8_t hdr14, uint8_t domain, uint8_t *descriptors,
                                       uint32_t *count)
{
    if (!descriptors || !count || *count == 0)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    uint64_t want = static_cast<uint64_t>(*count) * PROFILE_DESCRIPTOR_SIZE + kProfileFixed;
    uint32_t length = want > PROFILE_CONFIG_MAX_LENGTH ? PROFILE_CONFIG_MAX_LENGTH : static_cast<uint32_t>(want);
    SliCommand c;
    if (!begin_external(c, length, OPCODE_COMMON_GET_PROFILE_CONFIG, SUBSYSTEM_COMMON, 4))
        return code(SC_STATUS_NO_REQUEST_MEMORY);
    c.cmd[3] = domain;
    c.cmd[14] = hdr14;
    c.cmd[15] = hdr15;
    int r = send(board, c);
    RM_STATUS s = rule(r, c);
    if (s == RM_STATUS_OK) {
        uint32_t reported = mbox_u32(c.cmd, kParams);
        if (reported > *count || actual_length(c) > response_length(c))
            s = RM_STATUS_ERROR_BUFFER_TOO_SMALL;
        // response_length - 4 bytes, bounded by the caller's array and by the
        // reply the buffer holds.
        uint64_t n = response_length(c) > kProfileReplyHeader ? response_length(c) - kProfileReplyHeader : 0;
        uint64_t array = static_cast<uint64_t>(*count) * PROFILE_DESCRIPTOR_SIZE;
        if (n > array)
            n = array;
        if (n > room_behind(c, kProfileFixed))
            n = room_behind(c, kProfileFixed);
        std::memcpy(descriptors, c.cmd + kProfileFixed, static_cast<size_t>(n));
        *count = reported;
    }
    end(c);
    return s;
}

RM_STATUS SC_CommonSetProfileConfig_V0(int board, uint8_t hdr15, uint8_t hdr14, const uint8_t *descriptors,
                                       uint32_t count)
{
    (void)hdr15;
    (void)hdr14;
    if (count > PROFILE_SET_MAX_DESCRIPTORS)
        return RM_STATUS_ERROR_NOT_SUPPORTED;
    if (!descriptors)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    // A third descriptor would run past the embedded area.
    if (count > PROFILE_SET_EMBEDDED_DESCRIPTORS)
        return RM_STATUS_ERROR_NOT_SUPPORTED;
    SliCommand c;
    begin_embedded(c, SLI_CONFIG_EMBEDDED_SIZE, OPCODE_COMMON_SET_PROFILE_CONFIG, SUBSYSTEM_COMMON,
                   count * PROFILE_DESCRIPTOR_SIZE + 8);
    mbox_put_u32(c.cmd, kParams, 0);
    mbox_put_u32(c.cmd, kParams + 4, count);
    std::memcpy(c.cmd + kParams + 8, descriptors, count * PROFILE_DESCRIPTOR_SIZE);
    int r = send(board, c);
    return rule(r, c);
}

namespace {

RM_STATUS get_vpd(int board, SliCommand &c, const char *op, const char *command, uint8_t *dst, uint32_t *got)
{
    int r = send(board, c);
    if (r != 0)
        *got = 0;
    log_failure(r, c, op, command);
    RM_STATUS s = rule(r, c);
    if (s == RM_STATUS_OK) {
        if (response_length(c) < actual_length(c)) {
            s = RM_STATUS_ERROR_ARRAY_TOO_SMALL;
        } else {
            std::memcpy(dst, c.cmd + kParams, VPD_BUFFER_MIN);
            // Never more than was copied.
            uint32_t n = response_length(c);
            *got = n < VPD_BUFFER_MIN ? n : VPD_BUFFER_MIN;
        }
    }
    end(c);
    return s;
}

} // namespace

RM_STATUS SC_GetVPD_V0(int board, uint8_t *dst, uint32_t len, uint32_t *got)
{
    if (!IsIssueMboxV2ExtSupported(board))
        return RM_STATUS_ERROR_NOT_SUPPORTED;
    if (len < VPD_BUFFER_MIN)
        return RM_STATUS_ERROR_ARRAY_TOO_SMALL;
    if (!dst || !got)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    SliCommand c;
    if (!begin_external(c, VPD_LENGTH, OPCODE_COMMON_GET_VPD_DATA, SUBSYSTEM_COMMON, 0))
        return code(SC_STATUS_NO_REQUEST_MEMORY);
    mbox_put_u16(c.cmd, kParams, 0);
    c.cmd[kParams + 2] = 2;
    c.cmd[kParams + 3] = 0;
    return get_vpd(board, c, "SC_GetVPD_V0", "COMMON_GET_VPD_DATA_V0", dst, got);
}

RM_STATUS SC_GetVPD_V1(int board, uint8_t domain, uint8_t *dst, uint32_t len, uint32_t *got)
{
    if (!IsIssueMboxV2ExtSupported(board))
        return RM_STATUS_ERROR_NOT_SUPPORTED;
    if (len < VPD_BUFFER_MIN)
        return RM_STATUS_ERROR_ARRAY_TOO_SMALL;
    if (!dst || !got)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    SliCommand c;
    if (!begin_external(c, VPD_LENGTH, OPCODE_COMMON_GET_VPD_DATA, SUBSYSTEM_COMMON, 0, 1))
        return code(SC_STATUS_NO_REQUEST_MEMORY);
    c.cmd[3] = domain;
    c.cmd[14] = 0;
    c.cmd[15] = 0;
    return get_vpd(board, c, "SC_GetVPD_V1", "COMMON_GET_VPD_DATA_V1", dst, got);
}

RM_STATUS SC_GetPhyConfig(int board, uint32_t phy[7])
{
    if (!phy)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    SliCommand c;
    begin_embedded(c, SLI_CONFIG_EMBEDDED_SIZE, OPCODE_COMMON_GET_PHY_CONFIG, SUBSYSTEM_COMMON, 0);
    int r = send(board, c);
    RM_STATUS s = rule(r, c);
    if (s == RM_STATUS_OK) {
        const uint8_t *p = c.cmd;
        phy[0] = mbox_u16(p, 16);
        phy[1] = mbox_u16(p, 18);
        phy[2] = mbox_u32(p, 20);
        phy[3] = mbox_u16(p, 26);
        phy[4] = mbox_u16(p, 24);
        phy[5] = mbox_u16(p, 30);
        phy[6] = mbox_u16(p, 28);
    }
    return s;
}

RM_STATUS SC_CommonSetFeature(int board, uint32_t feature, uint32_t len, const uint8_t *params)
{
    // The parameters must fit the embedded area behind the 24 bytes in front.
    if (len > SET_FEATURE_MAX_PARAMS)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    SliCommand c;
    begin_embedded(c, SLI_CONFIG_EMBEDDED_SIZE, OPCODE_COMMON_SET_FEATURES, SUBSYSTEM_COMMON, len + 8);
    mbox_put_u32(c.cmd, kParams, feature);
    mbox_put_u32(c.cmd, kParams + 4, len);
    if (len && params)
        std::memcpy(c.cmd + kParams + 8, params, len);
    int r = send(board, c);
    return rule(r, c);
}

RM_STATUS SC_GetFRUVPD(int board, uint8_t *dst, uint32_t *len)
{
    if (!dst || !len)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    uint32_t offset = 0;
    while (offset < FRU_EEPROM_SIZE) {
        SliCommand c;
        begin_embedded(c, SLI_CONFIG_EMBEDDED_SIZE, OPCODE_VENDOR_READ_FRU_EEPROM, SUBSYSTEM_VENDOR, 8);
        mbox_put_u32(c.cmd, kParams, FRU_TRANSFER_SIZE);
        mbox_put_u32(c.cmd, kParams + 4, offset);
        int r = send(board, c);
        log_failure(r, c, "SC_GetFRUVPD", "VENDOR_READ_FRU_EEPROM");
        if (r == 2)
            return RM_STATUS_ERROR_NOT_SUPPORTED;
        RM_STATUS s = rule(r, c);
        if (s != RM_STATUS_OK)
            return s;
        // Never more than was asked for; a reply without data would never end.
        uint32_t n = response_length(c);
        if (n > FRU_TRANSFER_SIZE)
            n = FRU_TRANSFER_SIZE;
        if (n == 0)
            return RM_STATUS_ERROR;
        if (*len < offset + n) {
            if (EngineTraceOn())
                rm_fprintf(LogFp, "[SC_GetFRUVPD]Insufficient VPD Buffer Length");
            return RM_STATUS_ERROR_TOO_MANY_PROFILES;
        }
        std::memcpy(dst + offset, c.cmd + kParams, n);
        offset += n;
    }
    *len = offset;
    return RM_STATUS_OK;
}

int32_t SLI_CFG_GetPortNumber(int board)
{
    log_entry("SLI_CFG_GetPortNumber");
    if (!IsIssueMboxV2ExtSupported(board))
        return -1;
    SliCommand c;
    begin_embedded(c, SLI_CONFIG_EMBEDDED_SIZE, OPCODE_COMMON_GET_PORT_NUMBER, SUBSYSTEM_COMMON, 16);
    int r = send(board, c);
    log_statuses(r, c);
    if (!all_clear(r, c))
        return -1;
    return static_cast<int32_t>(mbox_u32(c.cmd, 24));
}

RM_STATUS SLI_CFG_GetPortName(int board, char name[4])
{
    log_entry("SLI_CFG_GetPortName");
    if (!name)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (!IsIssueMboxV2ExtSupported(board))
        return RM_STATUS_ERROR;
    SliCommand c;
    begin_embedded(c, SLI_CONFIG_EMBEDDED_SIZE, OPCODE_COMMON_GET_PORT_NAME, SUBSYSTEM_COMMON, 4, 1);
    c.cmd[kParams] = 1; // pt
    int r = send(board, c);
    log_statuses(r, c);
    if (all_clear(r, c))
        std::memcpy(name, c.cmd + kParams, 4);
    else
        std::memset(name, 0, 4);
    return rule(r, c);
}

RM_STATUS SC_Perform_FcoeSetLinkDiagState(int board, uint32_t diag)
{
    log_entry("SC_Perform_FcoeSetLinkDiagState");
    uint8_t port = port_bits(board);
    SliCommand c;
    begin_embedded(c, SLI_CONFIG_LINK_DIAG_LENGTH, OPCODE_FCOE_SET_LINK_DIAG_STATE, SUBSYSTEM_FCOE, 4);
    c.cmd[kParams + 2] = port;
    uint8_t b = 0;
    if (diag & 0x4)
        b |= static_cast<uint8_t>((diag & 1) | 0x4);
    if (diag & 0x8)
        b = static_cast<uint8_t>((b & ~0x2) | 0x8);
    c.cmd[kParams] = b;
    int r = send(board, c);
    log_statuses(r, c);
    log_failure(r, c, "SC_Perform_FcoeSetLinkDiagState", "FCOE_SET_LINK_DIAG_STATE");
    return rule(r, c);
}

RM_STATUS SC_Perform_FcoeSetDPortMode(int board, uint32_t unused, uint32_t enable)
{
    (void)unused;
    log_entry("SC_Perform_FcoeSetDPortMode");
    uint8_t port = port_bits(board);
    SliCommand c;
    begin_embedded(c, SLI_CONFIG_DPORT_MODE_LENGTH, OPCODE_FCOE_SET_DPORT_MODE, SUBSYSTEM_FCOE, 20);
    c.cmd[kParams] = static_cast<uint8_t>(0x04 + (enable ? 1 : 0));
    c.cmd[kParams + 4] = port;
    int r = send(board, c);
    log_statuses(r, c);
    log_failure(r, c, "SC_Perform_FcoeSetDPortMode", "FCOE_SET_DPORT_MODE");
    return rule(r, c);
}

RM_STATUS SC_Perform_FcoeGetDPortResults(int board, DPORT_RESULTS *results)
{
    log_entry("SC_Perform_FcoeGetDPortResults");
    if (!results)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    uint8_t port = port_bits(board);
    SliCommand c;
    begin_embedded(c, SLI_CONFIG_EMBEDDED_SIZE, OPCODE_FCOE_GET_DPORT_RESULTS, SUBSYSTEM_FCOE, 4);
    c.cmd[kParams] = port;
    int r = send(board, c);
    log_statuses(r, c);
    log_failure(r, c, "SC_Perform_FcoeGetDPortResults", "FCOE_GET_DPORT_RESULTS");
    RM_STATUS s = rule(r, c);
    if (s == RM_STATUS_OK) {
        const uint8_t *p = c.cmd;
        results->status = p[16];
        results->entryCount = p[17];
        results->word20 = mbox_u32(p, 20);
        results->word24 = mbox_u32(p, 24);
        results->half28 = mbox_u16(p, 28);
        results->half30 = mbox_u16(p, 30);
        uint32_t n = static_cast<uint32_t>(p[17]) * kDportEntrySize;
        if (n > sizeof results->entries)
            n = sizeof results->entries;
        if (n > room_behind(c, kDportEntriesOffset))
            n = room_behind(c, kDportEntriesOffset) / kDportEntrySize * kDportEntrySize;
        std::memcpy(results->entries, p + kDportEntriesOffset, n);
    }
    return s;
}

RM_STATUS SLI_CFG_GetFwVersion(int board, char out[64])
{
    log_entry("SLI_CFG_GetFwVersion");
    if (!out)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (!IsIssueMboxV2ExtSupported(board))
        return RM_STATUS_ERROR_NOT_SUPPORTED;
    SliCommand c;
    begin_embedded(c, SLI_CONFIG_EMBEDDED_SIZE, OPCODE_COMMON_GET_FW_VERSION, SUBSYSTEM_COMMON, 64);
    int r = send(board, c);
    log_statuses(r, c);
    if (!all_clear(r, c))
        return RM_STATUS_ERROR;
    copy_text(out, c.cmd + kFwTextOffsets[0], FW_VERSION_TEXT);
    copy_text(out + FW_VERSION_TEXT, c.cmd + kFwTextOffsets[1], FW_VERSION_TEXT);
    return RM_STATUS_OK;
}

RM_STATUS CLU_SLI_CFG_GetFwVersion(int board, char a[32], char b[32])
{
    if (!a || !b)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    char out[2 * FW_VERSION_TEXT];
    RM_STATUS s = SLI_CFG_GetFwVersion(board, out);
    if (s == RM_STATUS_OK) {
        std::memcpy(a, out, FW_VERSION_TEXT);
        std::memcpy(b, out + FW_VERSION_TEXT, FW_VERSION_TEXT);
    }
    return s;
}

namespace {

// Byte fields of the PCIe resource descriptor.
const uint32_t kDescFlagsByte = 3;   // bit 6 immediate, bit 7 no_save
const uint32_t kDescSriovState = 12; // then pf_state, pf_type
const uint32_t kDescNumVfs = 16;
const uint32_t kDescChangeByte = 23; // bits 3-5 pchg, schg, xchg; bits 6-7 xrom
const uint8_t kXchg = 0x20;

uint8_t xrom_of(const uint8_t *d)
{
    return static_cast<uint8_t>(d[kDescChangeByte] >> 6);
}

// Finds the first descriptor of type 0x40 of the profile: true with it in
// `found`; `status` is the last code of the reads.
bool find_pcie_descriptor(int board, uint8_t found[PROFILE_DESCRIPTOR_SIZE], RM_STATUS *status)
{
    uint32_t count = 2;
    bool have = false;
    RM_STATUS s = RM_STATUS_OK;
    for (int attempt = 0; attempt < 2; ++attempt) {
        // The adapter's count is bounded by what one reply can carry.
        if (count > kProfileMaxDescriptors)
            count = kProfileMaxDescriptors;
        if (count == 0)
            break;
        uint8_t *array = static_cast<uint8_t *>(std::calloc(count, PROFILE_DESCRIPTOR_SIZE));
        if (!array) {
            s = code(SC_STATUS_NO_REQUEST_MEMORY);
            break;
        }
        uint32_t room = count;
        s = SC_CommonGetProfileConfig_V0(board, 0, 0, 0, array, &count);
        if (s == RM_STATUS_OK || s == RM_STATUS_ERROR_BUFFER_TOO_SMALL) {
            uint32_t copied = count < room ? count : room;
            for (uint32_t i = 0; i < copied && !have; ++i) {
                const uint8_t *d = array + i * PROFILE_DESCRIPTOR_SIZE;
                if (d[0] == DESCRIPTOR_TYPE_PCIE) {
                    std::memcpy(found, d, PROFILE_DESCRIPTOR_SIZE);
                    have = true;
                }
            }
        }
        std::free(array);
        if (s != RM_STATUS_ERROR_BUFFER_TOO_SMALL)
            break;
    }
    *status = s;
    return have;
}

} // namespace

RM_STATUS SC_GetXROMPresentation(int board, uint8_t *presented, uint8_t *fixed)
{
    if (!presented || !fixed)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    uint8_t d[PROFILE_DESCRIPTOR_SIZE];
    RM_STATUS s;
    if (!find_pcie_descriptor(board, d, &s))
        return s;
    uint8_t xrom = xrom_of(d);
    *presented = xrom == 2 ? 1 : 0;
    *fixed = (d[kDescChangeByte] & kXchg) ? 0 : 1;
    return (xrom == 1 || xrom == 2) ? RM_STATUS_OK : code(SC_STATUS_XROM_UNKNOWN);
}

RM_STATUS SC_SetXROMPresentation(int board, uint8_t presented)
{
    uint8_t d[PROFILE_DESCRIPTOR_SIZE];
    RM_STATUS s;
    bool have = find_pcie_descriptor(board, d, &s);
    if (s != RM_STATUS_OK)
        return s;
    // Nothing to write without the descriptor: not a success.
    if (!have)
        return RM_STATUS_ERROR_NOT_SUPPORTED;
    if (xrom_of(d) == 0 || (d[kDescChangeByte] & kXchg) == 0)
        return RM_STATUS_ERROR_NOT_SUPPORTED;
    d[kDescFlagsByte] &= 0x3F;
    d[kDescSriovState] = 0xFF;
    d[kDescSriovState + 1] = 0xFF;
    d[kDescSriovState + 2] = 0xFF;
    mbox_put_u16(d, kDescNumVfs, 0xFFFF);
    d[kDescChangeByte] = static_cast<uint8_t>((d[kDescChangeByte] & 0x07) | ((presented ? 2 : 1) << 6));
    return SC_CommonSetProfileConfig_V0(board, 0, 0, d, 1);
}
