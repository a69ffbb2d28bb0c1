#include "mgmt/aw/vexo-backend/flash_crc.h"
#include "mgmt/aw/vexo-backend/flash_crc_image.h"

#include <cstring>

#include <sys/types.h>

#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"

namespace
{

// The read-back record: the four words and 8 data bytes.
const size_t kReportSize = 24;

bool read_crc(FILE *fp, uint64_t at, uint32_t *crc)
{
    uint8_t b[4];
    if (fseeko(fp, static_cast<off_t>(at), SEEK_SET) != 0 || fread(b, 1, sizeof b, fp) != sizeof b)
        return false;
    *crc = le32_at(b);
    return true;
}

bool crc_in_image(const uint8_t *image, uint64_t size, uint64_t at, uint32_t *crc)
{
    if (!image || at > size || size - at < 4)
        return false;
    *crc = le32_at(image + at);
    return true;
}

// Reads back the 4 flashed CRC bytes; the firmware's status byte, or 1 when
// the command did not go out (also with the last status 31 when its record
// cannot be allocated, which `alloc_failed` reports).
int read_back(const char *caller, int aw_port_number, uint32_t domainId, uint32_t phba_port, int driver_type,
              uint32_t op_type, uint32_t offset, uint32_t *flashed, bool *alloc_failed)
{
    *alloc_failed = false;
    FLASHROM_PARAMS *p = static_cast<FLASHROM_PARAMS *>(vexo_dmalloc(kReportSize));
    if (!p) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to allocate memory\n", caller);
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
        *alloc_failed = true;
        return 1;
    }
    std::memset(p, 0, kReportSize);
    p->op_code = FLASHROM_OPER_REPORT;
    p->op_type = op_type;
    p->offset = offset;
    p->data_buffer_size = 4;
    int status = ioctl_get_flash_component_details(aw_port_number, p, domainId, phba_port, driver_type);
    if (status == 0)
        *flashed = le32_at(p->data_buffer);
    vexo_dfree(p);
    return status;
}

} // namespace

namespace
{

// Whether a component is to be written, from the CRC its image holds
// (`have_crc` false when the image does not hold it).
int required_by_crc(bool have_crc, uint32_t ufi_crc, int aw_port_number, uint32_t domainId, uint32_t phba_port,
                    int driver_type, uint16_t op_type, uint32_t max_size, uint32_t offset, uint8_t offset_supported)
{
    if (!have_crc)
        return FLASH_COMPONENT_WRITE;
    uint32_t at = offset_supported ? offset + max_size - 4 : max_size - 4;
    uint32_t flashed = 0;
    bool alloc_failed = false;
    int status = read_back("is_required_flash", aw_port_number, domainId, phba_port, driver_type, op_type, at,
                           &flashed, &alloc_failed);
    if (alloc_failed)
        return FLASH_COMPONENT_UNCHANGED;
    if (status != 0)
        return (status == 2 || status == 3) ? VEXO_STATUS_INT_REBOOT_REQ : FLASH_COMPONENT_WRITE;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:ufi_crc = 0x%x flashed_crc = 0x%x\n", "is_required_flash", ufi_crc,
           flashed);
    return ufi_crc == flashed ? FLASH_COMPONENT_UNCHANGED : FLASH_COMPONENT_WRITE;
}

// Whether the AW2 boot code is to be written, from the CRC its image holds.
int redboot_required_by_crc(bool have_crc, uint32_t ufi_crc, int aw_port_number, uint32_t domainId,
                            uint32_t phba_port, int driver_type)
{
    if (!have_crc)
        return 1;
    uint32_t flashed = 0;
    bool alloc_failed = false;
    if (read_back("if_required_redboot_flash", aw_port_number, domainId, phba_port, driver_type,
                  ENUM_MGMT_FLASHROM_OPTYPE_CODE_REDBOOT, AW2_REDBOOT_CRC_FLASH_OFFSET, &flashed, &alloc_failed) != 0)
        return 1;
    return ufi_crc == flashed ? 0 : 1;
}

} // namespace

int is_required_flash(int aw_port_number, FILE *fp, uint32_t domainId, uint32_t phba_port, int driver_type,
                      uint16_t op_type, uint32_t max_size, uint32_t offset, uint32_t header_size,
                      uint8_t offset_supported)
{
    if (!fp)
        return FLASH_COMPONENT_UNCHANGED;
    uint32_t ufi_crc = 0;
    bool have_crc = max_size >= 4 && read_crc(fp, uint64_t(offset) + header_size + max_size - 4, &ufi_crc);
    return required_by_crc(have_crc, ufi_crc, aw_port_number, domainId, phba_port, driver_type, op_type, max_size,
                           offset, offset_supported);
}

int is_required_flash_image(int aw_port_number, const uint8_t *image, uint64_t size, uint32_t domainId,
                            uint32_t phba_port, int driver_type, uint16_t op_type, uint32_t max_size, uint32_t offset,
                            uint32_t header_size, uint8_t offset_supported)
{
    if (!image)
        return FLASH_COMPONENT_UNCHANGED;
    uint32_t ufi_crc = 0;
    bool have_crc =
        max_size >= 4 && crc_in_image(image, size, uint64_t(offset) + header_size + max_size - 4, &ufi_crc);
    return required_by_crc(have_crc, ufi_crc, aw_port_number, domainId, phba_port, driver_type, op_type, max_size,
                           offset, offset_supported);
}

int if_required_redboot_flash(int aw_port_number, const char *file_name, uint32_t domainId, uint32_t phba_port,
                              int driver_type)
{
    FILE *fp = VEXO_file_open(file_name, "rb");
    if (!fp)
        return 0;
    uint32_t ufi_crc = 0;
    bool have_crc = read_crc(fp, AW2_REDBOOT_CRC_FILE_OFFSET, &ufi_crc);
    VEXO_file_close(fp);
    return redboot_required_by_crc(have_crc, ufi_crc, aw_port_number, domainId, phba_port, driver_type);
}

int if_required_redboot_flash_image(int aw_port_number, const uint8_t *image, uint64_t size, uint32_t domainId,
                                    uint32_t phba_port, int driver_type)
{
    if (!image)
        return 0;
    uint32_t ufi_crc = 0;
    bool have_crc = crc_in_image(image, size, AW2_REDBOOT_CRC_FILE_OFFSET, &ufi_crc);
    return redboot_required_by_crc(have_crc, ufi_crc, aw_port_number, domainId, phba_port, driver_type);
}
