#include "mgmt/aw/vexo-backend/varrow_flash.h"

#include <cstdio>
#include <cstring>

#include <sys/stat.h>

#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"

namespace
{

// Files above this size are no firmware object (the size field is 32 bits).
const uint64_t kMaxObjectFile = 0xFFFFFFFFu;

bool magic_matches(const VARROW_OBJ_HEADER &h)
{
    return h.magicnumlo == VARROW_MAGIC_LO || h.magicnumhi == VARROW_MAGIC_HI;
}

// Reads the whole file into a counted buffer: 0, or 1 with the last status
// 39 (cannot be opened or read) or 31 (no memory).
int read_whole_file(const char *caller, const char *file_name, uint8_t **buffer, uint32_t *size)
{
    *buffer = nullptr;
    *size = 0;
    FILE *fp = VEXO_file_open(file_name, "rb");
    if (!fp) {
        vexo_set_fixed_status(VEXO_STATUS_FILE_NOT_FOUND);
        return 1;
    }
    struct stat st;
    if (fstat(fileno(fp), &st) != 0 || !S_ISREG(st.st_mode)) {
        VEXO_file_close(fp);
        vexo_set_fixed_status(VEXO_STATUS_FILE_NOT_FOUND);
        return 1;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: filesize = %d\n", caller, static_cast<int>(st.st_size));
    uint64_t len = static_cast<uint64_t>(st.st_size);
    uint8_t *buf = len <= kMaxObjectFile && len < SIZE_MAX
                       ? static_cast<uint8_t *>(vexo_dmalloc(len ? static_cast<size_t>(len) : 1))
                       : nullptr;
    if (!buf) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Cannot allocate memory\n", caller);
        VEXO_file_close(fp);
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
        return 1;
    }
    size_t got = len ? fread(buf, 1, static_cast<size_t>(len), fp) : 0;
    VEXO_file_close(fp);
    if (got != len) {
        // The file changed under us: what was read is not the file.
        vexo_dfree(buf);
        vexo_set_fixed_status(VEXO_STATUS_FILE_NOT_FOUND);
        return 1;
    }
    *buffer = buf;
    *size = static_cast<uint32_t>(len);
    return 0;
}

} // namespace

int swap32_buffer(uint32_t *buffer, int size)
{
    int words = (size + 3) / 4;
    for (int i = 0; buffer && i < words; ++i) {
        uint32_t w = buffer[i];
        buffer[i] = (w >> 24) | ((w >> 8) & 0xFF00u) | ((w << 8) & 0xFF0000u) | (w << 24);
    }
    return words;
}

int swap16_buffer(uint32_t *buffer, int size)
{
    int words = (size + 3) / 4;
    for (int i = 0; buffer && i < words; ++i) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "In %s: word = %x\n", __func__, buffer[i]);
        buffer[i] = (buffer[i] >> 16) | (buffer[i] << 16);
    }
    return words;
}

int process_obj_file(const uint8_t *buffer, uint64_t size, VARROW_OBJ_HEADER *header)
{
    if (!buffer || !header || size < sizeof(VARROW_OBJ_HEADER)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Invalid size\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_INVALID_IMAGE_FORMAT);
        return 1;
    }
    std::memcpy(header, buffer, sizeof *header);
    if (!magic_matches(*header))
        swap32_buffer(reinterpret_cast<uint32_t *>(header), 12);
    if (!magic_matches(*header)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Invalid Magic Number\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_INVALID_IMAGE_FORMAT);
        return 1;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: magic = 0x%x 0x%x\n", __func__, header->magicnumlo,
           header->magicnumhi);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: filesize = %u\n", __func__, header->filesize);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: revname = %.128s\n", __func__, header->revname);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: date = %.12s\n", __func__, header->date);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: revision = %-32.32s\n", __func__, header->revision);
    if (header->filesize != size) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Invalid FileSize\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_INVALID_IMAGE_FORMAT);
        return 1;
    }
    if ((header->id_type >> 24) != VARROW_FILETYPE_FIRMWARE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Invalid FileType\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_INVALID_IMAGE_FORMAT);
        return 1;
    }
    return 0;
}

int process_varrow_flash(const char *file_name)
{
    uint8_t *buffer = nullptr;
    uint32_t size = 0;
    if (read_whole_file(__func__, file_name, &buffer, &size) != 0)
        return 1;
    VARROW_OBJ_HEADER header;
    int refused = process_obj_file(buffer, size, &header);
    vexo_dfree(buffer);
    if (refused) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to process obj file\n", __func__);
        return 1;
    }
    return 0;
}

int flash_varrow_image(node *adapter, int aw_port_number, const uint8_t *buffer, uint32_t size, uint32_t domainId,
                       uint32_t phba_port, int driver_type)
{
    (void)adapter;
    if (!buffer || size == 0)
        return 1;
    VARROW_IOCTL_COMMON_WRITE_OBJECT_PARAMS_V1 *w =
        static_cast<VARROW_IOCTL_COMMON_WRITE_OBJECT_PARAMS_V1 *>(vexo_dmalloc(sizeof *w));
    if (!w) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to allocate memory for pcommon_write_params\n",
               __func__);
        return 1;
    }
    int result = 1;
    uint32_t offset = 0;
    uint32_t remaining = size;
    while (remaining > 0) {
        std::memset(w, 0, sizeof *w);
        uint32_t n = remaining < VARROW_OBJECT_CHUNK ? remaining : VARROW_OBJECT_CHUNK;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: transfer_size = %u\n", __func__, n);
        bool eof = n == remaining;
        w->params.request.write_length = (n & VARROW_OBJECT_LENGTH_MASK) | (eof ? VARROW_WRITE_EOF : 0);
        w->params.request.write_offset = offset;
        std::snprintf(w->params.request.object_name, sizeof w->params.request.object_name, "%s",
                      VARROW_FIRMWARE_OBJECT);
        std::memcpy(w->data_buffer, buffer + offset, n);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: write_length = %u\n", __func__, n);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: eof = %d, write_offset = %u\n", __func__, eof ? 1 : 0, offset);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: object_name = %s\n", __func__, w->params.request.object_name);
        VEXO_status_t st = ioctl_common_write_object_v1(aw_port_number, w, static_cast<uint16_t>(sizeof *w), domainId,
                                                        phba_port, driver_type);
        if (st != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: status of ioctl_common_write_object = %d\n", __func__, st);
            break;
        }
        uint32_t written = w->params.response.actual_write_length;
        uint8_t change = w->params.response.change_status;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: actual_write_length = %u\n", __func__, written);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: Change Status = %d\n", __func__, change);
        if (written == 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: No data has been written\n", __func__);
            break;
        }
        // An answer beyond the chunk would move past the image; the last
        // chunk must be taken whole for the object to be complete.
        if (written > n || (eof && written != n)) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: %u of %u bytes written\n", __func__, written, n);
            break;
        }
        if (eof) {
            result = change == 0 ? 0 : VEXO_STATUS_REBOOT_REQUIRED;
            break;
        }
        offset += written;
        remaining -= written;
    }
    vexo_dfree(w);
    return result;
}

int VEXO_varrow_fw_download(node *adapter, int aw_port_number, const char *file_name, uint32_t domainId,
                            uint32_t phba_port, int driver_type)
{
    uint8_t *buffer = nullptr;
    uint32_t size = 0;
    if (read_whole_file(__func__, file_name, &buffer, &size) != 0)
        return 1;
    int st = flash_varrow_image(adapter, aw_port_number, buffer, size, domainId, phba_port, driver_type);
    vexo_dfree(buffer);
    if (st == 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: EXIT\n", __func__);
        return 0;
    }
    if (st == VEXO_STATUS_REBOOT_REQUIRED)
        return VEXO_STATUS_REBOOT_REQUIRED;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to flash obj file\n", __func__);
    return 1;
}

int varrow_get_read_object(node *adapter, int aw_port_number, const char *file_name, uint32_t domainId,
                           uint32_t phba_port, int driver_type, int flag)
{
    (void)adapter;
    FILE *fp = VEXO_file_open(file_name, "ab+");
    if (!fp)
        return 1;
    VARROW_IOCTL_COMMON_READ_OBJECT_PARAMS_V1 *r =
        static_cast<VARROW_IOCTL_COMMON_READ_OBJECT_PARAMS_V1 *>(vexo_dmalloc(sizeof *r));
    if (!r) {
        VEXO_file_close(fp);
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    const char *name = flag == VARROW_READ_DUMP ? VARROW_DUMP_OBJECT : flag == VARROW_READ_VPD ? VARROW_VPD_OBJECT : "";
    auto send = [&](uint32_t length, uint32_t offset) {
        std::memset(r, 0, sizeof *r);
        r->params.request.read_length = length & VARROW_OBJECT_LENGTH_MASK;
        r->params.request.read_offset = offset;
        std::snprintf(r->params.request.object_name, sizeof r->params.request.object_name, "%s", name);
        VEXO_status_t st = ioctl_common_read_object_v1(aw_port_number, r, static_cast<uint16_t>(sizeof *r), domainId,
                                                       phba_port, driver_type);
        if (st != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: status of ioctl_common_read_object = %d\n",
                   "varrow_get_read_object", st);
            vexo_set_fixed_status(VEXO_STATUS_FAT_DATA);
            return false;
        }
        return true;
    };
    int result = 1;
    uint32_t remaining = 0;
    if (send(0, 0)) {
        remaining = r->params.response.actual_read_length;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: actual_read_length = %u\n", __func__, remaining);
        if (remaining == 0)
            vexo_set_fixed_status(VEXO_STATUS_NO_DATA_AVAILABLE);
        else
            result = 0;
    }
    uint32_t offset = 0;
    bool eof = false;
    while (result == 0 && remaining > 0 && !eof) {
        uint32_t ask = remaining < VARROW_OBJECT_CHUNK ? remaining : VARROW_OBJECT_CHUNK;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: transfer_read_length = %u and read_offset = %u\n", __func__, ask,
               offset);
        if (!send(ask, offset)) {
            result = 1;
            break;
        }
        uint32_t got = r->params.response.actual_read_length;
        if (got == 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: No data has been read\n", __func__);
            vexo_set_fixed_status(VEXO_STATUS_NO_DATA_AVAILABLE);
            result = 1;
            break;
        }
        // More than was asked for would run past the answer and the object.
        if (got > ask) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: %u bytes read for %u asked\n", __func__, got, ask);
            vexo_set_fixed_status(VEXO_STATUS_FAT_DATA);
            result = 1;
            break;
        }
        if (fwrite(r->params.response.read_data, 1, got, fp) != got) {
            vexo_set_fixed_status(VEXO_STATUS_FAT_DATA);
            result = 1;
            break;
        }
        eof = (r->params.response.eof & VARROW_READ_EOF) != 0;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: eof = %d\n", __func__, eof ? 1 : 0);
        remaining -= got;
        offset += got;
    }
    vexo_dfree(r);
    VEXO_file_close(fp);
    if (result == 0)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: DONE\n", __func__);
    return result;
}
