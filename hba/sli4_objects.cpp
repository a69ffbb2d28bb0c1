#include "hba/sli4_objects.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "flash/engine_log.h"
#include "hba/mbox_commands.h"
#include "hba/mbox_transport.h"
#include "hba/sli_config.h"
#include "kpl.h"

const char *const FIRMWARE_OBJECT_NAME = "/prg";
const char *const VPD_OBJECT_NAME = "/vpd/fc_pf.vpd";

#define OBJ_TRACE(...)                                                                                                 \
    do {                                                                                                               \
        if (EngineTraceOn())                                                                                           \
            rm_fprintf(LogFp, __VA_ARGS__);                                                                            \
    } while (0)

namespace {

const uint8_t kEmbeddedBit = 0x01;
// Offsets in the request and reply, from the start of the request header.
const uint32_t kWord16 = 16;
const uint32_t kWord20 = 20;
const uint32_t kNameOffset = 24;
const uint32_t kDescriptorCount = 128;
const uint32_t kDescriptor = 132;
const uint32_t kDescriptorSize = 12;
const uint32_t kRequestNoDescriptors = 116;
const uint32_t kRequestDelete = 112;
const uint32_t kLengthMask = 0x00FFFFFFu;
const uint32_t kWriteEof = 1u << 31;
const uint32_t kWriteNoc = 1u << 30;
const uint32_t kReadEof = 1u << 31;
const uint8_t kStatusFailed = 1;
const uint8_t kAddStatusNoObject = 0xA0;
const uint8_t kStatusSignature = 0x17;
const uint8_t kAddStatusBadSignature = 0x56;
const uint8_t kAddStatusNoSignature = 0x57;
// The plain mailbox of the size and count queries and of the delete; the
// data requests carry their data behind the 256-byte mailbox.
const uint32_t kPlainBuffer = MBOX_CMD_SIZE;
const uint32_t kPlainWords = MBOX_SLI4_BYTES / 4;
const uint32_t kDataBuffer = SLI_CONFIG_MBOX_SIZE + OBJECT_TRANSFER_UNIT;
const uint32_t kListBuffer = SLI_CONFIG_MBOX_SIZE + OBJECT_LIST_ENTRY_SIZE;

// One object command in a zeroed buffer of `size` bytes.
struct ObjectCommand {
    uint8_t *buffer;
    uint32_t size;
    uint8_t *cmd;  // request header, then parameters
    uint8_t *data; // behind the mailbox; null in the plain mailbox
};

void begin(ObjectCommand &c, uint8_t opcode, uint32_t requestLength)
{
    std::memset(c.buffer, 0, c.size);
    c.buffer[1] = MBX_SLI_CONFIG;
    c.buffer[4] = kEmbeddedBit;
    mbox_put_u32(c.buffer, 8, SLI_CONFIG_EMBEDDED_SIZE);
    c.cmd = c.buffer + SLI_CONFIG_PAYLOAD_OFFSET;
    c.data = c.size > SLI_CONFIG_MBOX_SIZE ? c.buffer + SLI_CONFIG_MBOX_SIZE : nullptr;
    c.cmd[0] = opcode;
    c.cmd[1] = SUBSYSTEM_COMMON;
    mbox_put_u32(c.cmd, 8, requestLength);
}

void put_name(ObjectCommand &c, const char *name)
{
    SwapString(c.cmd + kNameOffset, name);
}

// One host buffer descriptor of `length` bytes (addresses left 0).
void put_descriptor(ObjectCommand &c, uint32_t length)
{
    mbox_put_u32(c.cmd, kDescriptorCount, 1);
    mbox_put_u32(c.cmd, kDescriptor, length & kLengthMask);
}

int send(int board, ObjectCommand &c)
{
    uint32_t words = c.data ? c.size / 4 : kPlainWords;
    return KPL_IssueMboxWithRetryV2(board, c.buffer, static_cast<int>(words), 1, MBOX_WAIT_OBJECT);
}

uint8_t status(const ObjectCommand &c)
{
    return c.cmd[4];
}

uint8_t additional(const ObjectCommand &c)
{
    return c.cmd[5];
}

bool good(int r, const ObjectCommand &c)
{
    return r == 0 && status(c) == 0;
}

// The code of a bad reply: 3 when the object is not there, else 1.
RM_STATUS bad_reply(int r, const ObjectCommand &c, const char *op, const char *name)
{
    OBJ_TRACE("[%s]Error reading %s: kplStatus %d, rsp status x%04x, rsp additionalStatus x%04x\n", op, name, r,
              status(c), additional(c));
    if (status(c) == kStatusFailed && additional(c) == kAddStatusNoObject)
        return RM_STATUS_ERROR_OBJECT_NOT_FOUND;
    return RM_STATUS_ERROR;
}

// A name the name field takes: not empty, at most `max` characters.
bool name_fits(const char *name, uint32_t max)
{
    if (!name || !name[0])
        return false;
    return strnlen(name, max + 1) <= max;
}

RM_STATUS verify_header(_GRP_HEADER *header, const char *path, uint32_t magic, uint16_t signature)
{
    if (!path)
        return RM_STATUS_ERROR_READING_RESOURCE;
    FILE *f = std::fopen(path, "rb");
    if (!f)
        return RM_STATUS_ERROR_READING_RESOURCE;
    RM_STATUS code = RM_STATUS_OK;
    long start = std::ftell(f);
    long length = -1;
    if (start >= 0 && std::fseek(f, 0, SEEK_END) == 0)
        length = std::ftell(f) - start;
    if (length < 0 || std::fseek(f, start, SEEK_SET) != 0) {
        code = RM_STATUS_ERROR_READING_RESOURCE;
    } else if (length < static_cast<long>(GRP_HEADER_SIZE)) {
        code = RM_STATUS_ERROR_SHORT_FWIMAGE;
    } else {
        _GRP_HEADER local;
        _GRP_HEADER *h = header ? header : &local;
        if (std::fread(h, 1, GRP_HEADER_SIZE, f) != GRP_HEADER_SIZE) {
            code = RM_STATUS_ERROR_READING_RESOURCE;
        } else {
            SwapGRPHeaderForBigEndian(h);
            bool ok = h->magic == magic && (h->signature >> 16) == signature;
            code = ok ? RM_STATUS_OK : RM_STATUS_ERROR;
        }
    }
    std::fclose(f);
    return code;
}

} // namespace

RM_STATUS SLI_CFG_GetObjectSize(int board, const char *name, uint32_t *size)
{
    if (!size)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    *size = 0;
    if (!name_fits(name, OBJECT_NAME_MAX))
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (!IsIssueMboxV2ExtSupported(board))
        return RM_STATUS_ERROR_NOT_SUPPORTED;
    uint8_t buffer[kPlainBuffer];
    ObjectCommand c{buffer, sizeof buffer, nullptr, nullptr};
    begin(c, OPCODE_COMMON_READ_OBJECT, kRequestNoDescriptors);
    put_name(c, name);
    int r = send(board, c);
    if (!good(r, c))
        return bad_reply(r, c, "SLI_CFG_GetObjectSize", name);
    *size = mbox_u32(c.cmd, kWord16);
    OBJ_TRACE("[SLI_CFG_GetObjectSize] %s size: 0x%x\n", name, *size);
    return RM_STATUS_OK;
}

RM_STATUS SLI_CFG_ReadObject(int board, const char *name, uint8_t *buf, uint32_t buf_len, uint32_t *got)
{
    if (!got)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    *got = 0;
    if (!name_fits(name, OBJECT_NAME_MAX))
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    uint32_t size = 0;
    RM_STATUS code = SLI_CFG_GetObjectSize(board, name, &size);
    if (code != RM_STATUS_OK)
        return code;
    if (size == 0)
        return RM_STATUS_OK;
    if (!buf || buf_len == 0) {
        *got = size;
        return RM_STATUS_ERROR_BUFFER_TOO_SMALL;
    }
    if (buf_len % 4 != 0)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (buf_len < size) {
        *got = size;
        return RM_STATUS_ERROR_BUFFER_TOO_SMALL;
    }
    if (!IsIssueMboxV2ExtSupported(board))
        return RM_STATUS_ERROR_NOT_SUPPORTED;
    uint8_t *buffer = static_cast<uint8_t *>(std::malloc(kDataBuffer));
    if (!buffer)
        return RM_STATUS_ERROR;
    ObjectCommand c{buffer, kDataBuffer, nullptr, nullptr};
    uint32_t offset = 0;
    uint32_t want = size < OBJECT_TRANSFER_UNIT ? size : OBJECT_TRANSFER_UNIT;
    bool eof = false;
    while (want > 0 && !eof) {
        begin(c, OPCODE_COMMON_READ_OBJECT, kRequestNoDescriptors + kDescriptorSize);
        mbox_put_u32(c.cmd, kWord16, want & kLengthMask);
        mbox_put_u32(c.cmd, kWord20, offset);
        put_name(c, name);
        put_descriptor(c, OBJECT_TRANSFER_UNIT);
        int r = send(board, c);
        if (!good(r, c)) {
            code = bad_reply(r, c, "SLI_CFG_ReadObject", name);
            break;
        }
        uint32_t actual = mbox_u32(c.cmd, kWord16);
        eof = (mbox_u32(c.cmd, kWord20) & kReadEof) != 0;
        if (actual > want) {
            code = RM_STATUS_ERROR_BUFFER_TOO_SMALL;
            break;
        }
        // A reply that brings nothing before the end would be asked again
        // for ever.
        if (actual == 0 && !eof) {
            OBJ_TRACE("[SLI_CFG_ReadObject]Error reading %s: no data at offset 0x%x\n", name, offset);
            code = RM_STATUS_ERROR;
            break;
        }
        std::memcpy(buf + offset, c.data, actual);
        *got += actual;
        offset += actual;
        uint32_t left = size - offset;
        want = left < OBJECT_TRANSFER_UNIT ? left : OBJECT_TRANSFER_UNIT;
    }
    std::free(buffer);
    return code;
}

int32_t SLI_CFG_WriteObject(int board, const char *name, const uint8_t *data, uint32_t len, uint32_t *written,
                            int flag)
{
    if (!written)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    *written = 0;
    if (!name_fits(name, OBJECT_NAME_MAX))
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (len == 0)
        return RM_STATUS_OK;
    if (!data)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (len % 4 != 0)
        return RM_STATUS_ERROR_INCOMP_IMAGE;
    if (!IsIssueMboxV2ExtSupported(board))
        return RM_STATUS_ERROR_NOT_SUPPORTED;
    uint8_t *buffer = static_cast<uint8_t *>(std::malloc(kDataBuffer));
    if (!buffer)
        return RM_STATUS_ERROR;
    ObjectCommand c{buffer, kDataBuffer, nullptr, nullptr};
    int32_t code = RM_STATUS_OK;
    uint32_t offset = 0;
    uint32_t remaining = len;
    while (remaining > 0) {
        uint32_t n = remaining < OBJECT_TRANSFER_UNIT ? remaining : OBJECT_TRANSFER_UNIT;
        bool eof = remaining <= OBJECT_TRANSFER_UNIT;
        uint32_t requestLength = kRequestNoDescriptors + kDescriptorSize;
        begin(c, OPCODE_COMMON_WRITE_OBJECT, requestLength);
        mbox_put_u32(c.cmd, kWord16, (n & kLengthMask) | (eof ? kWriteEof : 0) | (flag == 0 ? kWriteNoc : 0));
        mbox_put_u32(c.cmd, kWord20, offset);
        put_name(c, name);
        put_descriptor(c, OBJECT_TRANSFER_UNIT);
        std::memcpy(c.data, data + offset, n);
        if (eof)
            OBJ_TRACE("[SLI_CFG_WriteObject]Call KPL_IssueMboxWithRetryV2 for %s object: writeOffset: 0x%x, "
                      "desiredWriteLength: %d, hostBufferDescriptorCount: %d, hostBufferSize: %d, request_length: "
                      "%d\n",
                      name, offset, static_cast<int>(n), 1, static_cast<int>(OBJECT_TRANSFER_UNIT),
                      static_cast<int>(requestLength));
        int r = send(board, c);
        if (!good(r, c)) {
            if (status(c) == kStatusSignature && additional(c) == kAddStatusBadSignature) {
                OBJ_TRACE("[SLI_CFG_WriteObject] Invalid Digital Signature:pWriteSubRsp->additionalStatus: 0x%x\n",
                          additional(c));
                code = RM_STATUS_ERROR_INVALID_SIGNATURE;
            } else if (status(c) == kStatusSignature && additional(c) == kAddStatusNoSignature) {
                OBJ_TRACE("[SLI_CFG_WriteObject] Missing Digital Signature:pWriteSubRsp->additionalStatus: 0x%x\n",
                          additional(c));
                code = RM_STATUS_ERROR_SIGNATURE_MISSING;
            } else {
                code = bad_reply(r, c, "SLI_CFG_WriteObject", name);
            }
            break;
        }
        uint32_t actual = mbox_u32(c.cmd, kWord16);
        *written += actual;
        if (actual > n) {
            OBJ_TRACE("[SLI_CFG_WriteObject]Error: Actual length %d > Request length %d \n", static_cast<int>(actual),
                      static_cast<int>(n));
            code = RM_STATUS_ERROR;
            break;
        }
        // An adapter that takes nothing before the end would be sent the
        // same bytes for ever.
        if (actual == 0) {
            OBJ_TRACE("[SLI_CFG_WriteObject]Error: nothing written at offset 0x%x\n", offset);
            code = RM_STATUS_ERROR;
            break;
        }
        offset += actual;
        remaining = len - offset;
    }
    if (code == RM_STATUS_OK) {
        uint8_t change = c.cmd[kWord20];
        if (change == 1)
            code = OBJECT_WRITE_REBOOT_REQUIRED;
        else if (change == 2 || change == 3)
            code = OBJECT_WRITE_RESET_REQUIRED;
        else if (change != 0)
            code = RM_STATUS_ERROR;
    }
    std::free(buffer);
    return code;
}

RM_STATUS SLI_CFG_DeleteObject(int board, const char *name)
{
    if (!name_fits(name, OBJECT_NAME_MAX))
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (!IsIssueMboxV2ExtSupported(board))
        return RM_STATUS_ERROR_NOT_SUPPORTED;
    uint8_t buffer[kPlainBuffer];
    ObjectCommand c{buffer, sizeof buffer, nullptr, nullptr};
    begin(c, OPCODE_COMMON_DELETE_OBJECT, kRequestDelete);
    put_name(c, name);
    int r = send(board, c);
    if (!good(r, c))
        return bad_reply(r, c, "SLI_CFG_DeleteObject", name);
    return RM_STATUS_OK;
}

RM_STATUS SLI_CFG_GetObjectListCount(int board, const char *name, uint32_t *count)
{
    if (!count || !name)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    *count = 0;
    if (!name_fits(name, OBJECT_LIST_NAME_MAX))
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (!IsIssueMboxV2ExtSupported(board))
        return RM_STATUS_ERROR_NOT_SUPPORTED;
    uint8_t buffer[kPlainBuffer];
    ObjectCommand c{buffer, sizeof buffer, nullptr, nullptr};
    begin(c, OPCODE_COMMON_READ_OBJECT_LIST, kRequestNoDescriptors);
    put_name(c, name);
    int r = send(board, c);
    if (!good(r, c))
        return bad_reply(r, c, "SLI_CFG_GetObjectListCount", name);
    *count = mbox_u16(c.cmd, kWord16);
    return RM_STATUS_OK;
}

RM_STATUS SLI_CFG_ListObjects(int board, uint8_t *entries, uint32_t capacity, const char *name, uint32_t *count)
{
    if (!count)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    *count = 0;
    uint32_t n = 0;
    RM_STATUS code = SLI_CFG_GetObjectListCount(board, name, &n);
    if (code != RM_STATUS_OK)
        return code;
    if (n > capacity) {
        *count = n;
        return RM_STATUS_ERROR_BUFFER_TOO_SMALL;
    }
    if (!entries || !name_fits(name, OBJECT_LIST_NAME_MAX))
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (!IsIssueMboxV2ExtSupported(board))
        return RM_STATUS_ERROR_NOT_SUPPORTED;
    uint8_t *buffer = static_cast<uint8_t *>(std::malloc(kListBuffer));
    if (!buffer)
        return RM_STATUS_ERROR;
    ObjectCommand c{buffer, kListBuffer, nullptr, nullptr};
    uint32_t read = 0;
    while (read < n) {
        begin(c, OPCODE_COMMON_READ_OBJECT_LIST, kRequestNoDescriptors + kDescriptorSize);
        mbox_put_u16(c.cmd, kWord16, 1);
        mbox_put_u16(c.cmd, kWord16 + 2, static_cast<uint16_t>(read));
        put_name(c, name);
        put_descriptor(c, OBJECT_LIST_ENTRY_SIZE);
        int r = send(board, c);
        if (!good(r, c)) {
            code = bad_reply(r, c, "SLI_CFG_ListObjects", name);
            break;
        }
        uint16_t got = mbox_u16(c.cmd, kWord16);
        *count += got;
        if (got > 1) {
            OBJ_TRACE("[SLI_CFG_ListObjects]Error reading %s, Actual Count %d > Requested count %d\n", name, got, 1);
            code = RM_STATUS_ERROR;
            break;
        }
        // A reply without an entry before the list is complete would be
        // asked again for ever.
        if (got == 0) {
            OBJ_TRACE("[SLI_CFG_ListObjects]Error reading %s: no entry at index %u\n", name,
                      static_cast<unsigned>(read));
            code = RM_STATUS_ERROR;
            break;
        }
        std::memcpy(entries + static_cast<size_t>(read) * OBJECT_LIST_ENTRY_SIZE, c.data, OBJECT_LIST_ENTRY_SIZE);
        read += got;
    }
    std::free(buffer);
    return code;
}

void SwapGRPHeaderForBigEndian(_GRP_HEADER *header)
{
    if (!header || isBigEndian())
        return;
    SwapSizeN(reinterpret_cast<uint8_t *>(&header->word0), 4);
    SwapSizeN(reinterpret_cast<uint8_t *>(&header->magic), 4);
    SwapSizeN(reinterpret_cast<uint8_t *>(&header->signature), 4);
}

RM_STATUS VerifyGRP_InitHeader(_GRP_HEADER *header, const char *path)
{
    return verify_header(header, path, GRP_MAGIC, GRP_SIGNATURE);
}

RM_STATUS VerifyGRP_G6_InitHeader(_GRP_HEADER *header, const char *path)
{
    return verify_header(header, path, GRP_G6_MAGIC, GRP_G6_SIGNATURE);
}

RM_STATUS FFS_VerifyFirmware(int unused1, int unused2, const char *path)
{
    (void)unused1;
    (void)unused2;
    return FFS_VerifyFirmwareV2(path);
}

RM_STATUS FFS_VerifyFirmwareV2(const char *path)
{
    _GRP_HEADER header;
    std::memset(&header, 0, sizeof header);
    return VerifyGRP_InitHeader(&header, path) == RM_STATUS_OK ? RM_STATUS_OK : RM_STATUS_ERROR_INCOMP_IMAGE;
}

RM_STATUS FFS_VerifyFirmwareG6(const char *path)
{
    _GRP_HEADER header;
    std::memset(&header, 0, sizeof header);
    return VerifyGRP_G6_InitHeader(&header, path) == RM_STATUS_OK ? RM_STATUS_OK : RM_STATUS_ERROR_INCOMP_IMAGE;
}

int32_t FFS_DownloadFile(int board, const char *object_name, const char *path)
{
    if (!path || !path[0])
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    FILE *f = std::fopen(path, "rb");
    if (!f) {
        OBJ_TRACE("[FFS_DownloadFile] Error opening file %s:\n", path);
        return RM_STATUS_ERROR;
    }
    long length = -1;
    if (std::fseek(f, 0, SEEK_END) == 0)
        length = std::ftell(f);
    // A file whose length cannot be taken (or exceeds what one object can
    // hold) is not opened as an image.
    if (length < 0 || static_cast<uint64_t>(length) > UINT32_MAX || std::fseek(f, 0, SEEK_SET) != 0) {
        OBJ_TRACE("[FFS_DownloadFile] Error opening file %s:\n", path);
        std::fclose(f);
        return RM_STATUS_ERROR;
    }
    size_t room = static_cast<size_t>(length);
    uint8_t *data = static_cast<uint8_t *>(std::malloc(room ? room : 1));
    if (!data) {
        std::fclose(f);
        return RM_STATUS_ERROR_NO_MEMORY;
    }
    uint32_t count = static_cast<uint32_t>(std::fread(data, 1, room, f));
    OBJ_TRACE("[FFS_DownloadFile] Calling SLI_CFG_WriteObject: board: %d, fileName: %s, objectName: %s, objectsize: "
              "%d bytes\n",
              board, path, object_name ? object_name : "", static_cast<int>(count));
    uint32_t written = 0;
    int32_t code = SLI_CFG_WriteObject(board, object_name, data, count, &written, 1);
    if (code == RM_STATUS_OK)
        OBJ_TRACE("[FFS_DownloadFile] %d bytes written\n", static_cast<int>(written));
    else if (code != OBJECT_WRITE_REBOOT_REQUIRED && code != OBJECT_WRITE_RESET_REQUIRED)
        OBJ_TRACE("[FFS_DownloadFile] Error SLI_CFG_WriteObject returned: %d\n", static_cast<int>(code));
    std::free(data);
    std::fclose(f);
    return code;
}

int32_t FFS_DownloadFirmware(int board, const char *path)
{
    if (!path || !path[0])
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    int32_t code = FFS_DownloadFile(board, FIRMWARE_OBJECT_NAME, path);
    if (code != RM_STATUS_OK && code != OBJECT_WRITE_REBOOT_REQUIRED && code != OBJECT_WRITE_RESET_REQUIRED)
        OBJ_TRACE("[FFS_DownloadFirmware] Error FFS_DownloadFile returned: %d\n", static_cast<int>(code));
    return code;
}

RM_STATUS FFS_ReadVPD(int board, const char *name, uint8_t *dst, uint32_t size, uint32_t *len)
{
    if (!dst || size == 0 || !name || !name[0] || !len)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    uint8_t local[VPD_OBJECT_ROOM];
    uint32_t got = 0;
    RM_STATUS code = SLI_CFG_ReadObject(board, name, local, VPD_OBJECT_ROOM, &got);
    if (code != RM_STATUS_OK) {
        OBJ_TRACE("[FFS_ReadVPD] Error: SLI_CFG_ReadObject (%s) returned: %d\n", name, static_cast<int>(code));
    } else if (got < VPD_OBJECT_HEAD + VPD_OBJECT_TAIL) {
        // An object too short for its head and tail holds no VPD at all.
        OBJ_TRACE("[FFS_ReadVPD] Error: the object %s holds %d bytes, too few for a VPD object.\n", name,
                  static_cast<int>(got));
        code = RM_STATUS_ERROR;
    } else {
        uint32_t body = got - VPD_OBJECT_HEAD - VPD_OBJECT_TAIL;
        if (size < body) {
            OBJ_TRACE("[FFS_ReadVPD] Error: The VPD buffer (%d bytes) is too small (%d bytes required).\n",
                      static_cast<int>(size), static_cast<int>(body));
            code = RM_STATUS_ERROR_BUFFER_TOO_SMALL;
        } else {
            *len = body;
            std::memcpy(dst, local + VPD_OBJECT_HEAD, body);
        }
    }
    return code;
}
