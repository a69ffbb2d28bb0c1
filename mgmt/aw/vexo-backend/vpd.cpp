#include "mgmt/aw/vexo-backend/vpd.h"

#include <cstring>

#include "mgmt/aw/vexo-backend/adapter_startup.h"
#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"

namespace
{

// First FRUVPDData property of each block.
const int kBlockFirstProperty[2] = {0, 9};

uint8_t *new_buffer(size_t size)
{
    uint8_t *buf = static_cast<uint8_t *>(vexo_dmalloc(size));
    if (!buf)
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
    else
        std::memset(buf, 0, size);
    return buf;
}

} // namespace

VEXO_status_t handle_fru_vpd_data(node *property, char *value, int)
{
    node *fru = property ? property->parent : nullptr;
    node *adapter = fru ? fru->parent : nullptr;
    if (!fru || !adapter)
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(adapter)) {
        if (value)
            std::snprintf(value, VEXO_VALUE_SIZE, "N/A");
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    if (get_aw_type(adapter) == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (VEXO_read_FRU_VPD(FRU_BLOCK0_OFFSET, FRU_BLOCK0_SIZE, 0, fru, adapter) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Reading Block Zero Data Failed.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    if (VEXO_read_FRU_VPD(FRU_BLOCK1_OFFSET, FRU_BLOCK1_SIZE, 1, fru, adapter) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Reading Block One Data Failed.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

extern "C" int VEXO_read_FRU_VPD(int offset, int size, int data_type, node *fruvpd, node *adapter)
{
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:offset = %d size = %d data_type = %d\n", __func__, offset, size,
           data_type);
    if (!fruvpd || (data_type != 0 && data_type != 1) || size < 0 || size > FRU_BUFFER_SIZE || offset < 0)
        return 1;
    node *function = target_function(adapter);
    if (!function)
        return 1;
    uint8_t *buf = new_buffer(FRU_BUFFER_SIZE);
    if (!buf)
        return 1;
    READ_FRU_EEPROM_PARAMS *req = reinterpret_cast<READ_FRU_EEPROM_PARAMS *>(buf);
    req->request.Transfer_size = static_cast<uint32_t>(size);
    req->request.EEPROM_offset = static_cast<uint32_t>(offset);
    VEXO_status_t status = ioctl_read_fruvpd_data(get_port_number(function), req, FRU_BUFFER_SIZE,
                                                  get_domain_id(function), get_phba_port_number(function),
                                                  adapter_driver(adapter));
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Read FRU VPD failed with status = %d.\n", __func__, status);
        vexo_dfree(buf);
        return 1;
    }
    write_hex_pieces(fruvpd, "FRUVPDData", kBlockFirstProperty[data_type], buf, static_cast<size_t>(size));
    vexo_dfree(buf);
    return 0;
}

int get_vpd_data(int aw_port_number, unsigned int domain, unsigned int phba_port, node *vpd, int driver_type,
                 int pf_num)
{
    node *function = vpd ? vpd->parent : nullptr;
    node *adapter = function ? function->parent : nullptr;
    if (!adapter)
        return 1;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return 1;
    if (family == AW_TYPE_VARROW) {
        uint8_t *buf = new_buffer(VEXO_VPD_BUFFER_SIZE);
        if (!buf)
            return 1;
        VEXO_status_t status =
            ioctl_get_varrow_vpd_data(aw_port_number, reinterpret_cast<VARROW_COMMON_GET_VPD_DATA_PARAMS_V1 *>(buf),
                                      VEXO_VPD_BUFFER_SIZE, domain, phba_port, driver_type);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:status of ioctl_get_varrow_vpd_data = %d\n", __func__, status);
        if (status == VEXO_STATUS_SUCCESS) {
            write_hex_pieces(vpd, "VPDData", 0, buf, VEXO_VPD_SIZE);
            vexo_dfree(buf);
            return 0;
        }
        vexo_dfree(buf);
    }
    uint8_t *buf = new_buffer(VEXO_VPD_BUFFER_SIZE);
    if (!buf)
        return 1;
    COMMON_GET_VPD_DATA_PARAMS *req = reinterpret_cast<COMMON_GET_VPD_DATA_PARAMS *>(buf);
    if (driver_type == VEXO_DRIVER_NIC) {
        req->request.function_type = 0;
        if (family == AW_TYPE_AW2)
            req->request.function_num = phba_port == 0 ? 2 : (phba_port == 1 ? 3 : 0);
        else
            req->request.function_num = static_cast<uint16_t>(pf_num);
    } else if (driver_type == VEXO_DRIVER_ISCSI) {
        req->request.function_type = 1;
        req->request.function_num = static_cast<uint16_t>(pf_num);
    }
    VEXO_status_t status = ioctl_get_vpd_data(aw_port_number, req, VEXO_VPD_BUFFER_SIZE, domain, phba_port, driver_type);
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_vpd_data failed with status = %d.\n", __func__, status);
        vexo_dfree(buf);
        return status;
    }
    write_hex_pieces(vpd, "VPDData", 0, buf, VEXO_VPD_SIZE);
    vexo_dfree(buf);
    return 0;
}
