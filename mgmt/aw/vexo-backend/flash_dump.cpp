#include "mgmt/aw/vexo-backend/flash_dump.h"

#include <cstring>

#include "mgmt/aw/vexo-backend/command_area.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "os/atomic_file.h"

namespace
{

const uint32_t kFlashRecordFixed = 20;
const char kHandler[] = "do_RetrieveStratolinkPCIDump";

} // namespace

VEXO_status_t do_RetrieveStratolinkPCIDump(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    (void)action;
    node *nic = get_first_instance(context, "NICPhysicalHBA");
    if (!nic) {
        // The dump is read through the NIC driver only.
        vexo_set_fixed_status(VEXO_STATUS_NO_CONTROLLER);
        return VEXO_STATUS_FAILURE;
    }
    const int port = get_port_number(nic);
    const uint32_t domain = get_domain_id(nic);
    const uint32_t phba_port = get_phba_port_number(nic);

    // Every byte of the dump is written by a piece before the file is.
    uint8_t *dump = static_cast<uint8_t *>(vexo_dmalloc(VEXO_FLASH_DUMP_SIZE));
    if (!dump) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to allocate memory\n", kHandler);
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return VEXO_STATUS_FAILURE;
    }
    // One command area for all pieces; the answer is taken from it.
    uint8_t *area = vexo_new_command_area();
    VEXO_status_t result = VEXO_STATUS_SUCCESS;
    if (!area) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to allocate memory\n", kHandler);
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
        result = VEXO_STATUS_FAILURE;
    }
    const uint8_t *answer = area ? area + IOCTL_HEADER_SIZE + kFlashRecordFixed - 4 : nullptr;
    size_t used = 0; // bytes of the area the last piece took
    uint32_t remaining = VEXO_FLASH_DUMP_SIZE;
    uint32_t offset = 0;
    while (area && remaining != 0) {
        uint32_t n = remaining <= VEXO_FLASH_DUMP_PIECE ? remaining : VEXO_FLASH_DUMP_PIECE;
        // Each request goes out zeroed, as far as it and the last one reach.
        const size_t extent = IOCTL_HEADER_SIZE + kFlashRecordFixed + n;
        std::memset(area, 0, extent > used ? extent : used);
        used = extent;
        VEXO_status_t st = ioctl_get_flash_dump_in_area(port, area, offset, n, domain, phba_port);
        if (st != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to GET Flash Dump.\n", kHandler);
            // The mapping does not record a status for every answer.
            if (vexo_last_status_code == VEXO_STATUS_SUCCESS)
                vexo_set_fixed_status(st >= VEXO_CORE_STATUS_COUNT && st != VEXO_STATUS_REBOOT_REQUIRED
                                          ? st
                                          : VEXO_STATUS_INTERNAL_ERROR);
            result = st;
            break;
        }
        std::memcpy(dump + offset, answer, n);
        remaining -= n;
        offset += n;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:buffersize = %d offset = %d\n", kHandler,
               static_cast<int>(remaining), static_cast<int>(offset));
    }
    vexo_dfree(area);
    if (result == VEXO_STATUS_SUCCESS) {
        // Replaced whole: the file is either the whole dump or what it was.
        size_t written = 0;
        bool ok = replace_file_atomically(params[0], dump, VEXO_FLASH_DUMP_SIZE, 0644, 0, &written) == 0;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:No of line written = %d\n", kHandler, static_cast<int>(written));
        if (!ok) {
            vexo_set_fixed_status(VEXO_STATUS_INVALID_FILE_PATH_NAME);
            result = VEXO_STATUS_FAILURE;
        }
    }
    vexo_dfree(dump);
    return result;
}
