#include "mgmt/aw/vexo-backend/firmware_flash.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include <sys/stat.h>
#include <sys/types.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/command_area.h"
#include "mgmt/aw/vexo-backend/flash_crc.h"
#include "mgmt/aw/vexo-backend/flash_crc_image.h"
#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/varrow_flash.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/aw/vexo-backend/vexo_mailbox.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

const flash_comp flash_types[AW3_FLASH_COMPONENTS] = {
    {0x200000, ENUM_MGMT_FLASHROM_OPTYPE_CODE_iSCSI_FW_ACTIVE, 0x200000, 0xA0},
    {0x40000, ENUM_MGMT_FLASHROM_OPTYPE_CODE_REDBOOT, 0x100000, 0xE0},
    {0xC00000, ENUM_MGMT_FLASHROM_OPTYPE_CODE_BIOS, 0x80000, 0x22},
    {0xC80000, ENUM_MGMT_FLASHROM_OPTYPE_CODE_PXE_BIOS, 0x80000, 0x20},
    {0xD00000, ENUM_MGMT_FLASHROM_OPTYPE_CODE_FCOE_BIOS, 0x80000, 0x21},
    {0x400000, ENUM_MGMT_FLASHROM_OPTYPE_CODE_iSCSI_FW_BACKUP, 0x200000, 0xB0},
    {0x600000, ENUM_MGMT_FLASHROM_OPTYPE_CODE_FCOE_FW_ACTIVE, 0x200000, 0xA2},
    {0x800000, ENUM_MGMT_FLASHROM_OPTYPE_CODE_FCOE_FW_BACKUP, 0x200000, 0xB2},
    {0xF40000, ENUM_MGMT_FLASHROM_OPTYPE_CODE_NCSI_FW, 0x40000, 0x10},
    {0x140000, AW3_PHY_OPTYPE, 0x40000, 0xC0},
};

namespace
{

const char kSignature[] = "Tranquilforge Corp";
const size_t kSignatureLength = 18;
const uint32_t kOpTypeFromEntry = 0xFFFF;
const int kNcsiMinimum[4] = {3, 102, 148, 0};

// AW2 regions in the order they are written.
struct Aw2Region {
    uint32_t op_type;
    uint32_t offset;
    uint32_t length;
};
const Aw2Region kAw2Regions[8] = {
    {ENUM_MGMT_FLASHROM_OPTYPE_CODE_iSCSI_FW_ACTIVE, 0x100000, 0x140000},
    {ENUM_MGMT_FLASHROM_OPTYPE_CODE_iSCSI_FW_BACKUP, 0x240000, 0x140000},
    {ENUM_MGMT_FLASHROM_OPTYPE_CODE_FCOE_FW_ACTIVE, 0x380000, 0x140000},
    {ENUM_MGMT_FLASHROM_OPTYPE_CODE_FCOE_FW_BACKUP, 0x4C0000, 0x140000},
    {ENUM_MGMT_FLASHROM_OPTYPE_CODE_REDBOOT, 0x0, 0x40000},
    {ENUM_MGMT_FLASHROM_OPTYPE_CODE_BIOS, 0x700000, 0x40000},
    {ENUM_MGMT_FLASHROM_OPTYPE_CODE_FCOE_BIOS, 0x80000, 0x40000},
    {ENUM_MGMT_FLASHROM_OPTYPE_CODE_PXE_BIOS, 0x780000, 0x40000},
};

// Trelmont entry types whose directory op type is 0xFFFF.
const uint32_t kTrelmontOpTypes[][2] = {
    {0x10, ENUM_MGMT_FLASHROM_OPTYPE_CODE_NCSI_FW},     {0x20, ENUM_MGMT_FLASHROM_OPTYPE_CODE_PXE_BIOS},
    {0x21, ENUM_MGMT_FLASHROM_OPTYPE_CODE_FCOE_BIOS},   {0x22, ENUM_MGMT_FLASHROM_OPTYPE_CODE_BIOS},
    {0x30, ENUM_MGMT_FLASHROM_OPTYPE_ISM_AND_VECTORS},  {0xA0, ENUM_MGMT_FLASHROM_OPTYPE_CODE_iSCSI_FW_ACTIVE},
    {0xB0, ENUM_MGMT_FLASHROM_OPTYPE_CODE_iSCSI_FW_BACKUP}, {0xC0, ENUM_MGMT_FLASHROM_OPTYPE_PHY_FW},
    {0xD0, ENUM_MGMT_FLASHROM_OPTYPE_REDBOOT_DIR},      {0xD1, ENUM_MGMT_FLASHROM_OPTYPE_REDBOOT_CONFIG},
    {0xD2, ENUM_MGMT_FLASHROM_OPTYPE_UFI_DIRECTORY},    {0xE0, ENUM_MGMT_FLASHROM_OPTYPE_CODE_REDBOOT},
};

bool trelmont_op_type(uint32_t entry_type, uint32_t *op_type)
{
    for (const auto &row : kTrelmontOpTypes) {
        if (row[0] == entry_type) {
            *op_type = row[1];
            return true;
        }
    }
    return false;
}

bool has_signature(const uint8_t *header)
{
    return std::memcmp(header, kSignature, kSignatureLength) == 0;
}

uint64_t file_size(FILE *fp)
{
    struct stat st;
    if (!fp || fstat(fileno(fp), &st) != 0 || st.st_size < 0)
        return 0;
    return static_cast<uint64_t>(st.st_size);
}

bool read_at(FILE *fp, uint64_t at, void *to, size_t len)
{
    return fseeko(fp, static_cast<off_t>(at), SEEK_SET) == 0 && fread(to, 1, len, fp) == len;
}

// A handler that fails leaves a failing last status, so the client layer
// never reports the failure as success.
void record_failure(VEXO_status_t code)
{
    if (vexo_last_status_code == VEXO_STATUS_SUCCESS)
        vexo_set_fixed_status(code);
}

// The directory at the first 32-byte step from `start` that holds the
// cookie and has the whole directory within the file.
bool find_flash_dir(FILE *fp, uint64_t start, void *dir, size_t dir_size)
{
    uint8_t cookie[UFI_COOKIE_SIZE];
    BuildUFIFlashDirCookie(cookie);
    const uint64_t size = file_size(fp);
    if (start > size)
        return false;
    // The directory sits near the headers: small blocks, so that finding it
    // early reads little more than it.
    const size_t kBlock = static_cast<size_t>(size - start < (1u << 16) ? size - start : (1u << 16));
    std::vector<uint8_t> block(kBlock);
    for (uint64_t pos = start; pos + dir_size <= size;) {
        size_t len = static_cast<size_t>(size - pos < kBlock ? size - pos : kBlock);
        if (!read_at(fp, pos, block.data(), len))
            return false;
        size_t k = 0;
        for (; k + UFI_COOKIE_SIZE <= len; k += UFI_COOKIE_SIZE) {
            if (pos + k + dir_size > size)
                return false;
            if (std::memcmp(&block[k], cookie, UFI_COOKIE_SIZE) == 0)
                return read_at(fp, pos + k, dir, dir_size);
        }
        if (k == 0)
            return false;
        pos += k;
    }
    return false;
}

// A whole image file in memory: each byte is read once, and the readers of
// headers, directory and components work on it.
struct Image {
    uint8_t *bytes;
    uint64_t size;
};

enum LoadOutcome { IMAGE_LOADED, IMAGE_NO_MEMORY, IMAGE_UNREADABLE };

LoadOutcome load_image(FILE *fp, Image *img)
{
    img->bytes = nullptr;
    img->size = 0;
    const uint64_t size = file_size(fp);
    if (size >= SIZE_MAX)
        return IMAGE_NO_MEMORY;
    uint8_t *bytes = static_cast<uint8_t *>(vexo_dmalloc(size ? static_cast<size_t>(size) : 1));
    if (!bytes)
        return IMAGE_NO_MEMORY;
    if (size && !read_at(fp, 0, bytes, static_cast<size_t>(size))) {
        vexo_dfree(bytes);
        return IMAGE_UNREADABLE;
    }
    img->bytes = bytes;
    img->size = size;
    return IMAGE_LOADED;
}

// `len` bytes at `at` of the image, or null when it does not hold them whole.
const uint8_t *image_at(const Image &img, uint64_t at, uint64_t len)
{
    if (at > img.size || len > img.size - at)
        return nullptr;
    return img.bytes + at;
}

bool copy_from_image(const Image &img, uint64_t at, void *to, size_t len)
{
    const uint8_t *from = image_at(img, at, len);
    if (!from)
        return false;
    std::memcpy(to, from, len);
    return true;
}

// find_flash_dir on an image in memory.
bool find_flash_dir_in(const Image &img, uint64_t start, void *dir, size_t dir_size)
{
    uint8_t cookie[UFI_COOKIE_SIZE];
    BuildUFIFlashDirCookie(cookie);
    for (uint64_t pos = start; pos <= img.size && dir_size <= img.size - pos; pos += UFI_COOKIE_SIZE) {
        if (std::memcmp(img.bytes + pos, cookie, UFI_COOKIE_SIZE) == 0) {
            std::memcpy(dir, img.bytes + pos, dir_size);
            return true;
        }
    }
    return false;
}

int ufi_header_in(const Image &img, AW2_FILE_HEADER_T *header)
{
    std::memset(header, 0, sizeof *header);
    if (!copy_from_image(img, 0, header, sizeof *header) || !has_signature(header->FH_Signature)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "No signature found\n");
        return 1;
    }
    return 0;
}

// The debug line of an open of the image that an earlier form of a step
// made: the log reads as before although the file is read only once.
void log_image_open(const char *file_name)
{
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s: opening %s in %s mode\n", "VEXO_file_open", file_name, "rb");
}

// The flash record of a component: its fixed fields and the first data
// bytes, as a zeroed record filled from the file holds them.
FLASHROM_PARAMS component_record(const uint8_t *data, uint32_t len, uint32_t op_type, uint32_t flash_offset)
{
    FLASHROM_PARAMS p;
    std::memset(&p, 0, sizeof p);
    p.op_code = FLASHROM_OPER_FLASH;
    p.op_type = op_type;
    p.data_buffer_size = len;
    p.offset = flash_offset;
    std::memcpy(p.data_buffer, data, len < sizeof p.data_buffer ? len : sizeof p.data_buffer);
    return p;
}

// Reads a component of `len` bytes at `file_offset` into a flash record
// (op code 1) and writes it: false when the record cannot be allocated
// (*st is then unset) or the file does not hold the component whole.
enum ComponentOutcome { COMPONENT_SENT, COMPONENT_NO_MEMORY, COMPONENT_UNREADABLE };

ComponentOutcome write_component(const Image &img, uint8_t *area, uint64_t file_offset, uint32_t len,
                                 uint32_t op_type, uint32_t flash_offset, int aw_port_number, uint32_t domainId,
                                 uint32_t phba_port, int driver_type, uint8_t offset_supported, VEXO_status_t *st)
{
    const uint8_t *data = image_at(img, file_offset, len);
    if (!data)
        return COMPONENT_UNREADABLE;
    if (!area)
        return COMPONENT_NO_MEMORY;
    FLASHROM_PARAMS p = component_record(data, len, op_type, flash_offset);
    *st = ioctl_upgrade_flash_data(aw_port_number, &p, data, area, domainId, phba_port, driver_type,
                                   offset_supported);
    return COMPONENT_SENT;
}

// The adapter's active firmware version text; false when unreadable.
bool active_version(node *adapter, char value[VEXO_VALUE_SIZE])
{
    value[0] = '\0';
    return internal_get_property(adapter, "ActiveFirmwareVersion", value) == VEXO_STATUS_SUCCESS;
}

// AW2: the eight regions of the file, read once. Each region is checked as
// ProcessFlashFirmwareCmd checks it: a file that fails the header and
// directory check fails at the first region.
VEXO_status_t flash_aw2_regions(node *context, int aw_port_number, const char *file_name, uint32_t domainId,
                                uint32_t phba_port)
{
    int driver_type = get_the_protocol(get_aw_instance(context));
    Image img = {nullptr, 0};
    bool valid = false;
    FILE *fp = VEXO_file_open(file_name, "rb");
    if (!fp) {
        vexo_set_fixed_status(VEXO_STATUS_FILE_NOT_FOUND);
    } else {
        LoadOutcome loaded = load_image(fp, &img);
        VEXO_file_close(fp);
        AW2_FILE_HEADER_T header;
        AW2_FLASHDIR_TYPE dir;
        if (loaded == IMAGE_NO_MEMORY)
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to allocate memory\n", "do_UpgradeFlashROM");
        else if (ufi_header_in(img, &header) != 0 || !find_flash_dir_in(img, UFI_AW2_HEADER_SIZE, &dir, sizeof dir))
            vexo_set_fixed_status(VEXO_STATUS_INVALID_FILE_FORMAT);
        else
            valid = true;
    }
    uint8_t *area = valid ? vexo_new_command_area() : nullptr;
    if (valid && !area)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to allocate memory\n", "do_UpgradeFlashROM");
    VEXO_status_t result = VEXO_STATUS_SUCCESS;
    bool first = true;
    for (const Aw2Region &r : kAw2Regions) {
        if (!area) {
            result = VEXO_STATUS_FAILURE;
            break;
        }
        if (r.op_type == ENUM_MGMT_FLASHROM_OPTYPE_CODE_REDBOOT &&
            (driver_type == VEXO_DRIVER_ISCSI || driver_type == VEXO_DRIVER_NIC)) {
            log_image_open(file_name);
            if (if_required_redboot_flash_image(aw_port_number, img.bytes, img.size, domainId, phba_port,
                                                driver_type) == 0)
                continue;
        }
        // The header and directory check, then the region read.
        if (!first)
            log_image_open(file_name);
        first = false;
        log_image_open(file_name);
        const uint8_t *data = image_at(img, uint64_t(UFI_AW2_HEADER_SIZE) + r.offset, r.length);
        if (!data) {
            result = VEXO_STATUS_FAILURE;
            break;
        }
        FLASHROM_PARAMS p = component_record(data, r.length, r.op_type, 0);
        VEXO_status_t st = ioctl_upgrade_flash_data(aw_port_number, &p, data, area, domainId, phba_port, driver_type, 0);
        if (st != VEXO_STATUS_SUCCESS) {
            result = st;
            break;
        }
    }
    vexo_dfree(area);
    vexo_dfree(img.bytes);
    if (result != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_FAILED_FLASH);
        return result;
    }
    vexo_set_fixed_status(VEXO_STATUS_REBOOT_REQUIRED);
    return VEXO_STATUS_SUCCESS;
}

} // namespace

// ---------------------------------------------------------------------------
// Image readers.

int get_ufi_header(FILE *fp, AW2_FILE_HEADER_T *header)
{
    std::memset(header, 0, sizeof *header);
    if (!fp || !read_at(fp, 0, header, sizeof *header) || !has_signature(header->FH_Signature)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "No signature found\n");
        return 1;
    }
    return 0;
}

int get_flash_dir(FILE *fp, AW2_FLASHDIR_TYPE *dir)
{
    return fp && find_flash_dir(fp, UFI_AW2_HEADER_SIZE, dir, sizeof *dir) ? 0 : 1;
}

int get_flash_dir_aw3(uint64_t header_size, FILE *fp, FLASHDIR_TYPE *dir)
{
    return fp && find_flash_dir(fp, header_size, dir, sizeof *dir) ? 0 : 1;
}

int is_comp_in_ufi(const FLASHDIR_TYPE *dir, uint32_t entry_type, int *index)
{
    for (int i = 0; i < 32; ++i) {
        if (dir->flashdir_entry[i].entry_type == entry_type) {
            *index = i;
            return 1;
        }
    }
    return 0;
}

int VEXO_get_ufi_type(const char *file_name, uint32_t *flash_ufi_type, int aw_type)
{
    FILE *fp = VEXO_file_open(file_name, "rb");
    if (!fp)
        return VEXO_UFI_TYPE_NO_FILE;
    int result = VEXO_UFI_TYPE_UNKNOWN;
    if (aw_type == AW_TYPE_AW2) {
        AW2_FILE_HEADER_T h;
        if (get_ufi_header(fp, &h) == 0 && h.FH_Build[0] == '2')
            result = AW_TYPE_AW2;
    } else {
        FILE_HEADER_T h;
        std::memset(&h, 0, sizeof h);
        size_t got = fread(&h, 1, sizeof h, fp);
        (void)got; // a short file leaves zeros, which carry no signature
        if (!has_signature(h.FH_Signature)) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "No signature found\n");
        } else if (h.FH_Build[0] == '3') {
            result = AW_TYPE_AW3;
            *flash_ufi_type = h.ASIC_Support == 0x10 ? 4 : h.ASIC_Support == 0x11 ? 11 : 3;
        } else if (h.FH_Build[0] == '4') {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:ASIC_Support = 0x%x\n", __func__, h.ASIC_Support);
            result = AW_TYPE_TRELMONT;
            if (h.ASIC_Support == 0x10 || h.ASIC_Support == 0x11 || h.ASIC_Support == 0x20)
                *flash_ufi_type = h.ASIC_Support;
        }
    }
    VEXO_file_close(fp);
    return result;
}

int ChkForValidUFI(const char *file_name, AW2_FILE_HEADER_T *header, AW2_FLASHDIR_TYPE *dir)
{
    FILE *fp = VEXO_file_open(file_name, "rb");
    if (!fp) {
        vexo_set_fixed_status(VEXO_STATUS_FILE_NOT_FOUND);
        return 1;
    }
    int bad = get_ufi_header(fp, header) != 0 || get_flash_dir(fp, dir) != 0;
    VEXO_file_close(fp);
    if (bad) {
        vexo_set_fixed_status(VEXO_STATUS_INVALID_FILE_FORMAT);
        return 1;
    }
    return 0;
}

int ProcessWriteFlash(const char *file_name, uint32_t offset, uint32_t length, uint8_t **data)
{
    *data = nullptr;
    if (!file_name || file_name[0] == '\0' || file_name[0] == '\n') {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_FATAL, "\n No filename entered !\n\n");
        return 1;
    }
    FILE *fp = VEXO_file_open(file_name, "rb");
    if (!fp)
        return 1;
    // A region the file does not hold whole is refused before its buffer
    // is taken.
    const uint64_t from = uint64_t(UFI_AW2_HEADER_SIZE) + offset;
    if (from > file_size(fp) || length > file_size(fp) - from) {
        VEXO_file_close(fp);
        return 1;
    }
    uint8_t *buf = static_cast<uint8_t *>(vexo_dmalloc(length ? length : 1));
    if (!buf) {
        VEXO_file_close(fp);
        return 1;
    }
    // Every byte is read from the file or the buffer is dropped.
    bool ok = read_at(fp, uint64_t(UFI_AW2_HEADER_SIZE) + offset, buf, length);
    VEXO_file_close(fp);
    if (!ok) {
        vexo_dfree(buf);
        return 1;
    }
    *data = buf;
    return 0;
}

int ProcessFlashFirmwareCmd(const char *file_name, uint32_t offset, uint32_t length, uint8_t **data)
{
    AW2_FILE_HEADER_T header;
    AW2_FLASHDIR_TYPE dir;
    *data = nullptr;
    if (ChkForValidUFI(file_name, &header, &dir) != 0)
        return 1;
    return ProcessWriteFlash(file_name, offset, length, data);
}

// ---------------------------------------------------------------------------
// Rules of the optional components.

int is_ncsi_required(node *adapter)
{
    char value[VEXO_VALUE_SIZE];
    int v[4];
    if (!adapter || !active_version(adapter, value) ||
        std::sscanf(value, "%d.%d.%d.%d", &v[0], &v[1], &v[2], &v[3]) != 4)
        return 0;
    for (int i = 0; i < 4; ++i) {
        if (v[i] == kNcsiMinimum[i])
            continue;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:v1[%d]=%d v2[%d]=%d\n", __func__, i, v[i], i, kNcsiMinimum[i]);
        return v[i] > kNcsiMinimum[i] ? 1 : 0;
    }
    return 1;
}

int phy_flashing_required(node *adapter)
{
    node *phba = get_first_instance(adapter, "iSCSIPhysicalHBA");
    int driver_type = VEXO_DRIVER_ISCSI;
    if (!phba) {
        phba = get_first_instance(adapter, "NICPhysicalHBA");
        driver_type = VEXO_DRIVER_NIC;
    }
    if (!phba)
        return 1;
    GET_PHY_DETAILS_PARAMS details;
    std::memset(&details, 0, sizeof details);
    VEXO_status_t st = ioctl_get_phy_details(get_port_number(phba), &details, get_domain_id(adapter),
                                             get_phba_port_number(adapter), driver_type);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:status of ioctl_get_phy_details= %d\n", __func__, st);
    if (st != VEXO_STATUS_SUCCESS)
        return 0;
    unsigned phy_type = details.data[0] | details.data[1] << 8;
    unsigned interface_type = details.data[2] | details.data[3] << 8;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:phy_type = %d and interface_type = %d\n", __func__, phy_type,
           interface_type);
    return phy_type == 13 && interface_type == 6 ? 1 : 0;
}

int trelmont_region_method(const char *active)
{
    // Only the 10.0 releases lack the offset method; the release is the
    // version's leading numbers, wherever "10.0" may appear later in it.
    unsigned major = 0, minor = 0;
    char dot = 0;
    if (!active || std::sscanf(active, "%u%c%u", &major, &dot, &minor) != 3 || dot != '.')
        return 0;
    return major == 10 && minor == 0 ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Writers.

namespace
{

int flash_aw3_image(node *adapter, int aw_port_number, const Image &img, uint8_t *area, uint32_t num_imgs,
                    uint32_t domainId, uint32_t phba_port, int driver_type)
{
    const char *const kFn = "VEXO_flash_aw3_image";
    const uint64_t header_size = UFI_HEADER_SIZE + uint64_t(UFI_IMAGE_HEADER_SIZE) * num_imgs;
    FLASHDIR_TYPE dir;
    if (!find_flash_dir_in(img, header_size, &dir, sizeof dir)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Invalid Cookie. UFI corrupted.\n", kFn);
        return 1;
    }
    for (const flash_comp &c : flash_types) {
        int index = 0;
        if (!is_comp_in_ufi(&dir, static_cast<uint32_t>(c.img_type), &index))
            continue;
        if (c.optype == ENUM_MGMT_FLASHROM_OPTYPE_CODE_NCSI_FW && !is_ncsi_required(adapter)) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:not flashing NCSI.\n", kFn);
            continue;
        }
        if (c.optype == AW3_PHY_OPTYPE && !phy_flashing_required(adapter))
            continue;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:flash_types[i].optype = %d\n", kFn, c.optype);
        VEXO_status_t st = VEXO_STATUS_SUCCESS;
        ComponentOutcome out =
            write_component(img, area, header_size + c.offset, static_cast<uint32_t>(c.size), static_cast<uint32_t>(c.optype),
                            0, aw_port_number, domainId, phba_port, driver_type, 0, &st);
        if (out == COMPONENT_NO_MEMORY) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to allocate Memory.\n", kFn);
            vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
            return 1;
        }
        if (out == COMPONENT_UNREADABLE) {
            // Only bytes of the file go to the flash: a component cut short stops it.
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:component of optype %d not whole in the file.\n", kFn,
                   c.optype);
            return 1;
        }
        if (st == VEXO_STATUS_SUCCESS)
            continue;
        if (c.optype == AW3_PHY_OPTYPE && (st == 2 || st == 3))
            continue;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "Flash Failed. Status = %d\n", st);
        return 1;
    }
    return 0;
}

int flash_trelmont_image(node *adapter, int aw_port_number, const Image &img, uint8_t *area, uint32_t num_imgs,
                         uint32_t domainId, uint32_t phba_port, int driver_type)
{
    const char *const kFn = "VEXO_flash_trelmont_image";
    const uint64_t header_size = UFI_HEADER_SIZE + uint64_t(UFI_IMAGE_HEADER_SIZE) * num_imgs;
    FLASHDIR_TYPE dir;
    if (!find_flash_dir_in(img, header_size, &dir, sizeof dir)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Invalid Cookie. UFI corrupted.\n", kFn);
        return 1;
    }
    const uint32_t num = dir.flashdir_header.num_of_images;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:num_of_images = %d\n", kFn, num);
    const uint64_t size = img.size;
    uint8_t offset_supported = 0;
    int dual_reboot_req = 0;
    for (uint32_t i = 0; i < num && i < 32; ++i) {
        const FLASHDIR_ENTRY_TYPE &e = dir.flashdir_entry[i];
        const uint32_t len = e.max_size;
        const uint32_t offset = e.offset;
        const uint32_t dir_op_type = e.op_type & 0xFFFF;
        uint32_t op_type = dir_op_type;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "i=%d,optype=0x%x,image_type=0x%x,offset=0x%x,max_size=0x%x\n", i,
               op_type, e.entry_type, offset, len);
        // The entry's place and size come from the file: they must lie in
        // the file and fit the flash, and a compared component holds its CRC.
        const uint64_t from = header_size + offset;
        bool sound = from <= size && len <= size - from && uint64_t(offset) + len <= VEXO_FLASH_SIZE &&
                     (dir_op_type == kOpTypeFromEntry || len >= 4);
        if (!sound) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:entry %d lies outside the file or the flash.\n", kFn, i);
            if (dir_op_type == kOpTypeFromEntry)
                continue;
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "Failed to flash firmware with status = 0x%x\n", 1);
            return 1;
        }
        if (dir_op_type == kOpTypeFromEntry) {
            if (!trelmont_op_type(e.entry_type, &op_type))
                continue;
        } else {
            char active[VEXO_VALUE_SIZE];
            if (!active_version(adapter, active))
                active[0] = '\0';
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:active_fw = %s\n", kFn, active);
            if (!trelmont_region_method(active)) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:Using offset based method.\n", kFn);
                op_type = ENUM_MGMT_FLASHROM_OPTYPE_ROM_OFFSET_SPECIFIED;
                offset_supported = 1;
            }
            if (offset_supported)
                op_type = ENUM_MGMT_FLASHROM_OPTYPE_ROM_OFFSET_SPECIFIED;
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:offset_supported = %d\n", kFn, offset_supported);
            int st = is_required_flash_image(aw_port_number, img.bytes, img.size, domainId, phba_port, driver_type,
                                       static_cast<uint16_t>(op_type), len, offset,
                                       static_cast<uint32_t>(header_size), offset_supported);
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:status = %d\n", kFn, st);
            if (st == FLASH_COMPONENT_UNCHANGED)
                continue;
            if (st == VEXO_STATUS_INT_REBOOT_REQ) {
                dual_reboot_req = 1;
                break;
            }
        }
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:flashing optype = 0x%x\n", kFn, op_type);
        VEXO_status_t st = VEXO_STATUS_SUCCESS;
        ComponentOutcome out = write_component(img, area, from, len, op_type, offset_supported ? offset : 0, aw_port_number,
                                               domainId, phba_port, driver_type, offset_supported, &st);
        if (out == COMPONENT_NO_MEMORY) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to allocate Memory.\n", kFn);
            vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
            return 1;
        }
        if (out == COMPONENT_UNREADABLE)
            st = VEXO_STATUS_FAILURE;
        if (st == VEXO_STATUS_SUCCESS || dir_op_type == kOpTypeFromEntry)
            continue;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "Failed to flash firmware with status = 0x%x\n", st);
        if (st == 3) {
            dual_reboot_req = 1;
            break;
        }
        if (st == VEXO_STATUS_INVALID_DIGITAL_SIGNATURE || st == VEXO_STATUS_DIGITAL_SIGNATURE_MISSING)
            return st;
        return 1;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:dual_reboot_req = %d\n", kFn, dual_reboot_req);
    return dual_reboot_req ? VEXO_STATUS_INT_REBOOT_REQ : 0;
}

// The AW3 or Trelmont writer on the file behind `fp`, read whole once.
int flash_image_of(node *adapter, int aw_port_number, FILE *fp, uint32_t num_imgs, uint32_t domainId,
                   uint32_t phba_port, int driver_type, int aw_type)
{
    Image img = {nullptr, 0};
    LoadOutcome loaded = fp ? load_image(fp, &img) : IMAGE_UNREADABLE;
    uint8_t *area = loaded == IMAGE_LOADED ? vexo_new_command_area() : nullptr;
    int result;
    if (loaded == IMAGE_NO_MEMORY) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to allocate Memory.\n",
               aw_type == AW_TYPE_AW3 ? "VEXO_flash_aw3_image" : "VEXO_flash_trelmont_image");
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        result = 1;
    } else if (aw_type == AW_TYPE_AW3) {
        result = flash_aw3_image(adapter, aw_port_number, img, area, num_imgs, domainId, phba_port, driver_type);
    } else {
        result = flash_trelmont_image(adapter, aw_port_number, img, area, num_imgs, domainId, phba_port, driver_type);
    }
    vexo_dfree(area);
    vexo_dfree(img.bytes);
    return result;
}

} // namespace

int VEXO_flash_aw3_image(node *adapter, int aw_port_number, FILE *fp, uint32_t num_imgs, uint32_t domainId,
                         uint32_t phba_port, int driver_type)
{
    return flash_image_of(adapter, aw_port_number, fp, num_imgs, domainId, phba_port, driver_type, AW_TYPE_AW3);
}

int VEXO_flash_trelmont_image(node *adapter, int aw_port_number, FILE *fp, uint32_t num_imgs, uint32_t domainId,
                              uint32_t phba_port, int driver_type)
{
    return flash_image_of(adapter, aw_port_number, fp, num_imgs, domainId, phba_port, driver_type,
                          AW_TYPE_TRELMONT);
}

int VEXO_fw_download(node *adapter, int aw_port_number, const char *file_name, uint32_t domainId, uint32_t phba_port,
                     int driver_type, int aw_type)
{
    FILE *fp = VEXO_file_open(file_name, "rb");
    if (!fp) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to open %s\n", __func__, file_name);
        vexo_set_fixed_status(VEXO_STATUS_FILE_NOT_FOUND);
        return 1;
    }
    // The file is read once; headers, directory and components come from it.
    Image img = {nullptr, 0};
    LoadOutcome loaded = load_image(fp, &img);
    VEXO_file_close(fp);
    if (loaded == IMAGE_NO_MEMORY) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to allocate Memory.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    FILE_HEADER_T h;
    std::memset(&h, 0, sizeof h);
    if (!copy_from_image(img, 0, &h, sizeof h) || !has_signature(h.FH_Signature)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Invalid signature in UFI Header.\n", __func__);
        vexo_dfree(img.bytes);
        vexo_set_fixed_status(VEXO_STATUS_INVALID_FILE_FORMAT);
        return 1;
    }
    uint8_t *area = vexo_new_command_area();
    int result = 0;
    // The scan ends at the first image header the file does not hold whole.
    for (uint32_t i = 0; i < h.FH_NumOfImgs; ++i) {
        IMAGE_HEADER_T ih;
        if (!copy_from_image(img, UFI_HEADER_SIZE + uint64_t(UFI_IMAGE_HEADER_SIZE) * i, &ih, sizeof ih))
            break;
        if (ih.ImageId != 1)
            continue;
        if (aw_type == AW_TYPE_AW3)
            result = flash_aw3_image(adapter, aw_port_number, img, area, h.FH_NumOfImgs, domainId, phba_port,
                                     driver_type);
        else
            result = flash_trelmont_image(adapter, aw_port_number, img, area, h.FH_NumOfImgs, domainId, phba_port,
                                          driver_type);
    }
    vexo_dfree(area);
    vexo_dfree(img.bytes);
    return result;
}

// ---------------------------------------------------------------------------
// The action.

VEXO_status_t do_UpgradeFlashROM(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    const uint32_t domainId = get_domain_id(action);
    const uint32_t phba_port = get_phba_port_number(action);
    if (vexo_on_vf(context)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to Update Firmware on SR-IOV related virtual function.\n",
               __func__);
        vexo_set_fixed_status(VEXO_STATUS_FLASH_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    node *phba = get_first_instance(context, "iSCSIPhysicalHBA");
    if (!phba)
        phba = get_first_instance(context, "NICPhysicalHBA");
    if (!phba) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:VEXO failed to discover NIC/iSCSI nodes.\n", __func__);
        record_failure(VEXO_STATUS_NO_CONTROLLER);
        return VEXO_STATUS_FAILURE;
    }
    const int aw_port_number = get_port_number(phba);
    char file_name[VEXO_VALUE_SIZE];
    std::snprintf(file_name, sizeof file_name, "%s", params ? params[0] : "");

    const int aw_type = get_aw_type(context);
    if (aw_type == AW_TYPE_UNREADABLE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get adapter type.\n", __func__);
        record_failure(VEXO_STATUS_FAILED_GET_AWTYPE);
        return VEXO_STATUS_FAILURE;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:ASIC type = %d\n", __func__, aw_type);
    const int driver_type = get_the_protocol(get_aw_instance(context));

    if (aw_type != AW_TYPE_VARROW) {
        uint32_t flash_ufi_type = 0;
        int ufi_type = VEXO_get_ufi_type(file_name, &flash_ufi_type, aw_type);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:ufi_type = %d,flash_ufi_type = %d\n", __func__, ufi_type,
               flash_ufi_type);
        if (ufi_type == VEXO_UFI_TYPE_NO_FILE) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:File Not Found.\n", __func__);
            vexo_set_fixed_status(VEXO_STATUS_FILE_NOT_FOUND);
            return VEXO_STATUS_FAILURE;
        }
        if (ufi_type == VEXO_UFI_TYPE_UNKNOWN || ufi_type != aw_type) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Given UFI Type and Adapter Type Mismatched.\n", __func__);
            vexo_set_fixed_status(VEXO_STATUS_INVALID_FLASH);
            return VEXO_STATUS_FAILURE;
        }
        AW_FW_CFG cfg;
        std::memset(&cfg, 0, sizeof cfg);
        VEXO_status_t st = ioctl_get_fw_config(aw_port_number, &cfg, domainId, phba_port, driver_type);
        if (st != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:fw_config command failed.\n", __func__);
            // 55 would read as a flash done.
            record_failure(st >= VEXO_CORE_STATUS_COUNT && st != VEXO_STATUS_REBOOT_REQUIRED ? st
                                                                                             : VEXO_STATUS_FAILED_FLASH);
            return VEXO_STATUS_FAILURE;
        }
        const uint32_t revision = cfg.asic_revision & 0xFF;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:fw_config.asic_revision = 0x%x\n", __func__, revision);
        if (aw_type == AW_TYPE_AW3 &&
            ((revision > 0x10 && (flash_ufi_type == 3 || flash_ufi_type == 4)) ||
             (revision == 0x10 && flash_ufi_type == 3))) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Given AW3 UFI is not supported on this Adapter.\n", __func__);
            vexo_set_fixed_status(VEXO_STATUS_INVALID_FLASH);
            return VEXO_STATUS_FAILURE;
        }
        if (aw_type == AW_TYPE_TRELMONT && flash_ufi_type < revision) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Given TRM UFI is not supported on this Adapter.\n", __func__);
            vexo_set_fixed_status(VEXO_STATUS_INVALID_FLASH);
            return VEXO_STATUS_FAILURE;
        }
    }

    if (aw_type == AW_TYPE_VARROW) {
        if (process_varrow_flash(file_name) != 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to update Varrow firmware.\n", __func__);
            return VEXO_STATUS_FAILURE;
        }
        int st = VEXO_varrow_fw_download(context, aw_port_number, file_name, domainId, phba_port, driver_type);
        if (st == 0)
            return VEXO_STATUS_SUCCESS;
        if (st == VEXO_STATUS_REBOOT_REQUIRED) {
            vexo_set_fixed_status(VEXO_STATUS_REBOOT_REQUIRED);
            return VEXO_STATUS_SUCCESS;
        }
        vexo_set_fixed_status(VEXO_STATUS_FAILED_FLASH);
        return static_cast<VEXO_status_t>(st);
    }
    if (aw_type == AW_TYPE_AW3 || aw_type == AW_TYPE_TRELMONT) {
        int st = VEXO_fw_download(context, aw_port_number, file_name, domainId, phba_port, driver_type, aw_type);
        if (st == 0) {
            vexo_set_fixed_status(VEXO_STATUS_REBOOT_REQUIRED);
            return VEXO_STATUS_SUCCESS;
        }
        if (st == VEXO_STATUS_INT_REBOOT_REQ || st == VEXO_STATUS_INVALID_DIGITAL_SIGNATURE ||
            st == VEXO_STATUS_DIGITAL_SIGNATURE_MISSING) {
            vexo_set_fixed_status(static_cast<VEXO_status_t>(st));
            return static_cast<VEXO_status_t>(st);
        }
        vexo_set_fixed_status(VEXO_STATUS_FAILED_FLASH);
        return static_cast<VEXO_status_t>(st);
    }
    return flash_aw2_regions(context, aw_port_number, file_name, domainId, phba_port);
}
