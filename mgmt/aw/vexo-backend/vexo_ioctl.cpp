#include "mgmt/aw/vexo-backend/vexo_ioctl.h"

#include <cstring>

#include "mgmt/aw/vexo-backend/command_area.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/vexo_mailbox.h"
#include "mgmt/vexo/core/debug.h"

namespace
{

// Opcodes, subsystems and sizes of the commands with their own shape.
const uint8_t SUB_COMMON = 1;
const uint8_t SUB_ISCSI_NETWORK = 2;
const uint8_t SUB_ISCSI_INITIATOR = 6;
const uint32_t FLASHROM_FIXED_SIZE = 20;
const uint32_t FLASH_REPORT_SIZE = 24;
const uint32_t FLASH_WRITE_PAYLOAD = FLASHROM_FIXED_SIZE + VEXO_FLASH_CHUNK;

// One command of the common shape: the record travels as the payload, the
// answer is copied back into it.
VEXO_status_t send_command(int aw_port_number, uint8_t opcode, uint8_t subsystem, void *record, uint64_t payload,
                           uint8_t direction, uint32_t domainId, uint32_t phba_port, int driver_type, bool version1)
{
    // Header and payload travel in one buffer of a 16-bit size.
    if (payload > UINT16_MAX - IOCTL_HEADER_SIZE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:payload of %llu bytes for opcode 0x%x is too long\n", __func__,
               static_cast<unsigned long long>(payload), opcode);
        return VEXO_STATUS_FAILURE;
    }
    if (version1)
        vexo_glob.ioctl_version = 1;
    VEXO_status_t st = VEXO_prepare_mailbox_cmd(aw_port_number, opcode, subsystem, static_cast<uint32_t>(payload),
                                                static_cast<uint16_t>(payload + IOCTL_HEADER_SIZE), record, direction,
                                                static_cast<uint8_t>(domainId & 0xFF),
                                                static_cast<uint8_t>(phba_port & 0xFF), driver_type);
    if (version1)
        vexo_glob.ioctl_version = 0;
    return st;
}

// A size query: status 4 counts as success and gives the full length.
VEXO_status_t size_query(int aw_port_number, uint8_t opcode, uint8_t subsystem, void *record, uint16_t payload,
                         uint16_t *pPageLength, uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return VEXO_get_mailbox_cmd_size(aw_port_number, opcode, subsystem, payload,
                                     static_cast<uint16_t>(payload + IOCTL_HEADER_SIZE), record, pPageLength, domainId,
                                     phba_port, driver_type);
}

// The device handle of a directly issued command.
os_handle_t direct_handle(int aw_port_number, int driver_type)
{
    if (driver_type == VEXO_DRIVER_ISCSI && vexo_valid_port_number(aw_port_number))
        return vexo_glob.iscsi.os_handles[aw_port_number - 1];
    if (driver_type == VEXO_DRIVER_NIC)
        return vexo_glob.nic.os_handles[0];
    return 0;
}

// A personality command issued in the caller's command buffer.
VEXO_status_t personality_command(const char *caller, int aw_port_number, void *cmd, uint8_t opcode, uint32_t length,
                                  uint32_t domainId, uint32_t phba_port, int driver_type)
{
    if (!cmd)
        return VEXO_STATUS_FAILURE;
    if (VEXO_IssueIOCTL(direct_handle(aw_port_number, driver_type), opcode, SUB_COMMON, length, cmd,
                        static_cast<uint8_t>(domainId & 0xFF), static_cast<uint8_t>(phba_port & 0xFF),
                        static_cast<uint32_t>(driver_type), aw_port_number) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    IOCTL_RESPONSE_HEADER rsp;
    std::memcpy(&rsp, cmd, sizeof rsp);
    if (rsp.status == 0)
        return VEXO_STATUS_SUCCESS;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:IOCTL with opcode:0x%x subsystem:0x%x failed with status 0x%x\n",
           caller, opcode, SUB_COMMON, rsp.status);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Actual response length = %d\n", caller,
           static_cast<int>(rsp.actual_response_length));
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Additional status = 0x%x\n", caller,
           static_cast<unsigned>(rsp.additional_status));
    return VexoStatusFromIOCTLResponse(rsp.status, rsp.additional_status, opcode);
}

} // namespace

int ioctl_get_flash_component_details(int aw_port_number, FLASHROM_PARAMS *record, uint32_t domainId,
                                      uint32_t phba_port, int driver_type)
{
    if (!record)
        return 1;
    uint8_t *buf = static_cast<uint8_t *>(vexo_dmalloc(IOCTL_HEADER_SIZE + FLASH_REPORT_SIZE));
    if (!buf)
        return 1;
    std::memset(buf, 0, IOCTL_HEADER_SIZE + FLASH_REPORT_SIZE);
    std::memcpy(buf + IOCTL_HEADER_SIZE, record, FLASH_REPORT_SIZE);
    if (VEXO_IssueIOCTL(direct_handle(aw_port_number, driver_type), 6, SUB_COMMON, FLASH_REPORT_SIZE, buf,
                        static_cast<uint8_t>(domainId & 0xFF), static_cast<uint8_t>(phba_port & 0xFF),
                        static_cast<uint32_t>(driver_type), aw_port_number) != VEXO_STATUS_SUCCESS) {
        // Not answered: the buffer still holds the request.
        vexo_dfree(buf);
        return 1;
    }
    IOCTL_RESPONSE_HEADER rsp;
    std::memcpy(&rsp, buf, sizeof rsp);
    if (rsp.status == 0)
        std::memcpy(record, buf + IOCTL_HEADER_SIZE, FLASH_REPORT_SIZE);
    else
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Error in Writing ROM. status = %d and Addstatus = %d\n", __func__,
               rsp.status, static_cast<int>(rsp.additional_status));
    vexo_dfree(buf);
    return rsp.status;
}

VEXO_status_t ioctl_get_flash_dump(int aw_port_number, FLASHROM_PARAMS *record, uint32_t domainId, uint32_t phba_port)
{
    if (!record)
        return VEXO_STATUS_FAILURE;
    return send_command(aw_port_number, 6, SUB_COMMON, record, uint64_t(record->data_buffer_size) + FLASHROM_FIXED_SIZE,
                        VEXO_DIR_READ, domainId, phba_port, VEXO_DRIVER_NIC, false);
}

namespace
{

// The chunked write of a flash record: its 20 fixed bytes from `fixed`, its
// data_buffer_size bytes from `data`, sent from `buf` (a command area when
// `capacity` is one).
VEXO_status_t upgrade_flash(int aw_port_number, const FLASHROM_PARAMS *fixed, const uint8_t *data, uint8_t *buf,
                            uint32_t capacity, uint32_t domainId, uint32_t phba_port, int driver_type,
                            uint8_t offset_supported)
{
    const char *const caller = "ioctl_upgrade_flash";
    // Each record starts from a zeroed command: a short last chunk goes out
    // with what the earlier chunks of this record left behind it.
    std::memset(buf, 0, IOCTL_HEADER_SIZE + FLASH_WRITE_PAYLOAD);
    std::memcpy(buf + IOCTL_HEADER_SIZE, fixed, FLASHROM_FIXED_SIZE);
    FLASHROM_PARAMS *chunk = reinterpret_cast<FLASHROM_PARAMS *>(buf + IOCTL_HEADER_SIZE);
    os_handle_t handle =
        driver_type == VEXO_DRIVER_NIC ? vexo_glob.nic.os_handles[0] : direct_handle(aw_port_number, VEXO_DRIVER_ISCSI);
    const uint32_t total = fixed->data_buffer_size;
    const uint32_t op_type = fixed->op_type;
    uint32_t offset = fixed->offset;
    uint32_t sent = 0;
    IOCTL_RESPONSE_HEADER rsp;
    std::memset(&rsp, 0, sizeof rsp);
    while (sent < total) {
        uint32_t n = total - sent < VEXO_FLASH_CHUNK ? total - sent : VEXO_FLASH_CHUNK;
        std::memcpy(chunk->data_buffer, data + sent, n);
        chunk->data_buffer_size = n;
        chunk->op_code = FLASHROM_OPER_SAVE;
        chunk->op_type = op_type;
        if (offset_supported) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:offset = %x\n", caller, offset);
            chunk->offset = offset;
        }
        if (sent + n == total)
            chunk->op_code = FLASHROM_OPER_FLASH;
        VEXO_status_t st = VEXO_IssueIOCTLInArea(handle, 7, SUB_COMMON, FLASH_WRITE_PAYLOAD, buf, capacity,
                                                 static_cast<uint8_t>(domainId & 0xFF),
                                                 static_cast<uint8_t>(phba_port & 0xFF),
                                                 static_cast<uint32_t>(driver_type), aw_port_number);
        if (st != VEXO_STATUS_SUCCESS)
            return st;
        std::memcpy(&rsp, buf, sizeof rsp);
        if (rsp.status != 0)
            break;
        // The next chunk goes out with a fresh request header.
        std::memset(buf, 0, IOCTL_HEADER_SIZE);
        offset += n;
        sent += n;
    }
    if (sent >= total)
        return VEXO_STATUS_SUCCESS;
    uint32_t addl = rsp.additional_status;
    if (rsp.status == 1 && addl == 77 && op_type == ENUM_MGMT_FLASHROM_OPTYPE_UFI_DIRECTORY)
        return VEXO_STATUS_SUCCESS;
    if (rsp.status == 23 && addl == 87)
        return VEXO_STATUS_DIGITAL_SIGNATURE_MISSING;
    if (rsp.status == 23 && addl == 86)
        return VEXO_STATUS_INVALID_DIGITAL_SIGNATURE;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Error in Writing ROM. status = %d and Addstatus = %d\n", caller,
           rsp.status, static_cast<int>(addl));
    return static_cast<VEXO_status_t>(rsp.status);
}

} // namespace

uint8_t *vexo_new_command_area()
{
    uint8_t *area = static_cast<uint8_t *>(vexo_dmalloc(VEXO_COMMAND_AREA_SIZE));
    if (area)
        std::memset(area, 0, VEXO_COMMAND_AREA_SIZE);
    return area;
}

VEXO_status_t ioctl_upgrade_flash(int aw_port_number, FLASHROM_PARAMS *record, uint32_t domainId, uint32_t phba_port,
                                  int driver_type, uint8_t offset_supported)
{
    if (!record)
        return VEXO_STATUS_FAILURE;
    const uint32_t size = IOCTL_HEADER_SIZE + FLASH_WRITE_PAYLOAD;
    uint8_t *buf = static_cast<uint8_t *>(vexo_dmalloc(size));
    if (!buf) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ERROR: Unable to allocate memory for the FlashROM command.\n",
               __func__);
        return VEXO_STATUS_FAILURE;
    }
    VEXO_status_t st = upgrade_flash(aw_port_number, record, record->data_buffer, buf, size, domainId, phba_port,
                                     driver_type, offset_supported);
    vexo_dfree(buf);
    return st;
}

VEXO_status_t ioctl_upgrade_flash_data(int aw_port_number, const FLASHROM_PARAMS *fixed, const uint8_t *data,
                                       uint8_t *area, uint32_t domainId, uint32_t phba_port, int driver_type,
                                       uint8_t offset_supported)
{
    if (!fixed || !area || (!data && fixed->data_buffer_size != 0))
        return VEXO_STATUS_FAILURE;
    return upgrade_flash(aw_port_number, fixed, data, area, VEXO_COMMAND_AREA_SIZE, domainId, phba_port, driver_type,
                         offset_supported);
}

VEXO_status_t ioctl_get_flash_dump_in_area(int aw_port_number, uint8_t *area, uint32_t offset, uint32_t length,
                                           uint32_t domainId, uint32_t phba_port)
{
    // The steps and log lines of the mailbox command the record form goes
    // through, with the area as its command buffer.
    const char *const caller = "VEXO_prepare_mailbox_cmd";
    const uint32_t payload = FLASHROM_FIXED_SIZE + length;
    if (!area || payload > VEXO_COMMAND_AREA_SIZE - IOCTL_HEADER_SIZE)
        return VEXO_STATUS_FAILURE;
    FLASHROM_PARAMS *p = reinterpret_cast<FLASHROM_PARAMS *>(area + IOCTL_HEADER_SIZE);
    p->op_code = FLASHROM_OPER_REPORT;
    p->op_type = ENUM_MGMT_FLASHROM_OPTYPE_ISM_AND_VECTORS;
    p->offset = offset;
    p->data_buffer_size = length;
    const os_handle_t handle = vexo_glob.nic.os_handles[0];
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:oshandle is %d\n", caller, handle);
    if (VEXO_IssueIOCTLInArea(handle, 6, SUB_COMMON, payload, area, VEXO_COMMAND_AREA_SIZE,
                              static_cast<uint8_t>(domainId & 0xFF), static_cast<uint8_t>(phba_port & 0xFF),
                              VEXO_DRIVER_NIC, aw_port_number) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    IOCTL_RESPONSE_HEADER rsp;
    std::memcpy(&rsp, area, sizeof rsp);
    if (rsp.status == 0)
        return VEXO_STATUS_SUCCESS;
    uint32_t addl = rsp.additional_status;
    if (addl != 23) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR,
               "%s:The IOCTL with opcode:0x%x subsystem:0x%x failed with status 0x%x\n", caller, 6, SUB_COMMON,
               rsp.status);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:actual response length is %d\n", caller,
               static_cast<int>(rsp.actual_response_length));
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:additional status is:0x%x\n", caller, addl);
    }
    return VexoStatusFromIOCTLResponse(rsp.status, addl, 6);
}

VEXO_status_t ioctl_common_get_flow_control(int aw_port_number, IOCTL_COMMON_GET_FLOW_CONTROL *record,
                                            uint32_t domainId, uint32_t phba_port, int driver_type)
{
    if (!record)
        return VEXO_STATUS_FAILURE;
    return send_command(aw_port_number, 37, SUB_COMMON, &record->params, sizeof record->params, VEXO_DIR_READ, domainId,
                        phba_port, driver_type, false);
}

VEXO_status_t ioctl_mgmt_flow_control(int aw_port_number, IOCTL_COMMON_MANAGE_FLOW_CONTROL *record, uint32_t domainId,
                                      uint32_t phba_port)
{
    if (!record)
        return VEXO_STATUS_FAILURE;
    return send_command(aw_port_number, 205, SUB_COMMON, record->params, sizeof record->params, VEXO_DIR_READ, domainId,
                        phba_port, VEXO_DRIVER_NIC, false);
}

VEXO_status_t ioctl_retrieve_fat(int aw_port_number, IOCTL_COMMON_MANAGE_FAT_PARAMS *record, uint32_t domainId,
                                 uint32_t phba_port, int chip)
{
    if (!record)
        return VEXO_STATUS_FAILURE;
    return send_command(aw_port_number, 68, SUB_COMMON, record, uint64_t(record->request.read_log_length) + 20,
                        VEXO_DIR_READ, domainId, phba_port, get_the_protocol(chip), false);
}

VEXO_status_t ioctl_get_config_sign(int aw_port_number, IOCTL_COMMON_GET_CONFIG_SIGNATURE_PARAMS *record,
                                    uint32_t domainId, uint32_t phba_port, int chip)
{
    if (get_the_protocol(chip) == VEXO_DRIVER_NIC)
        return VEXO_STATUS_SUCCESS;
    return send_command(aw_port_number, 78, SUB_COMMON, record, 132, VEXO_DIR_READ, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_set_config_sign(int aw_port_number, IOCTL_COMMON_SET_CONFIG_SIGNATURE_PARAMS *record,
                                    uint32_t domainId, uint32_t phba_port, int chip)
{
    int protocol = get_the_protocol(chip);
    if (protocol == VEXO_DRIVER_NIC)
        return VEXO_STATUS_SUCCESS;
    if (protocol != VEXO_DRIVER_ISCSI)
        return VEXO_STATUS_FAILURE;
    return send_command(aw_port_number, 79, SUB_COMMON, record, 132, VEXO_DIR_WRITE, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_get_macaddress_list(int aw_port_number, NTWK_GET_MAC_LIST_PARAMS *record, uint32_t domainId,
                                        uint32_t phba_port, int driver_type, int pf_num)
{
    vexo_glob.pf_number = static_cast<int8_t>(pf_num + 1);
    VEXO_status_t st = send_command(aw_port_number, 147, SUB_COMMON, record, 532, VEXO_DIR_READ, domainId, phba_port,
                                    driver_type, false);
    vexo_glob.pf_number = 0;
    return st;
}

VEXO_status_t ioctl_get_available_personalities(int aw_port_number, IOCTL_COMMON_GET_AVAILABLE_PERSONALITIES *cmd,
                                                uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return personality_command(__func__, aw_port_number, cmd, 113, 512, domainId, phba_port, driver_type);
}

VEXO_status_t ioctl_get_configured_personality(int aw_port_number, IOCTL_COMMON_GET_CONFIGURED_PERSONALITY *cmd,
                                               uint16_t RequestSize, uint32_t domainId, uint32_t phba_port,
                                               int driver_type)
{
    return personality_command(__func__, aw_port_number, cmd, 114, RequestSize, domainId, phba_port, driver_type);
}

VEXO_status_t ioctl_clear_event_log(int aw_port_number, uint32_t domainId, uint32_t phba_port, int chip)
{
    uint8_t zeros[16] = {};
    return send_command(aw_port_number, 62, SUB_ISCSI_NETWORK, zeros, sizeof zeros, VEXO_DIR_WRITE, domainId, phba_port,
                        get_the_protocol(chip), false);
}

VEXO_status_t ioctl_get_plogintgtidbuffersize(int aw_port_number, uint16_t *pPageLength, uint32_t domainId,
                                              uint32_t phba_port)
{
    return size_query(aw_port_number, 60, SUB_ISCSI_INITIATOR, nullptr, 40, pPageLength, domainId, phba_port,
                      VEXO_DRIVER_ISCSI);
}

// ---------------------------------------------------------------------------
// Commands of the common shape, in catalogue order.

VEXO_status_t ioctl_get_mac(int aw_port_number, NTWK_MAC_QUERY_PARAMS *record, uint16_t RequestPacketSize,
                            uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 1, 1, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        driver_type, false);
}

VEXO_status_t ioctl_get_mac_query(int aw_port_number, NTWK_MAC_QUERY_PARAMS *record, uint32_t domainId,
                                  uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 1, 1, record, 72, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_set_mac(int aw_port_number, NTWK_MAC_SET_PARAMS *record, uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 2, 1, record, 12, VEXO_DIR_WRITE, domainId, phba_port, VEXO_DRIVER_NIC, false);
}

VEXO_status_t ioctl_get_NIC_link_params(int aw_port_number, LINK_STATUS_QUERY_PARAMS *record, uint32_t domainId,
                                        uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 5, 1, record, 12, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_link_status_v1(int aw_port_number, LINK_STATUS_QUERY_PARAMS_V1 *record, uint32_t domainId,
                                       uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 5, 1, record, 12, VEXO_DIR_READ, domainId, phba_port, driver_type, true);
}

VEXO_status_t ioctl_erase_ROM(int aw_port_number, FLASHROM_PARAMS *record, uint32_t domainId, uint32_t phba_port,
                              int driver_type)
{
    return send_command(aw_port_number, 7, 1, record, 20, VEXO_DIR_WRITE, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_qos_get(int aw_port_number, GET_QOS_PARAMS *record, uint32_t domainId, uint32_t phba_port,
                            int driver_type)
{
    return send_command(aw_port_number, 27, 1, record, 32, VEXO_DIR_WRITE, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_qos_set(int aw_port_number, SET_QOS_PARAMS *record, uint32_t domainId, uint32_t phba_port,
                            int driver_type)
{
    return send_command(aw_port_number, 28, 1, record, 36, VEXO_DIR_WRITE, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_fetch_controller_attribs(int aw_port_number, MGMT_CONTROLLER_ATTRIBUTES *record, uint32_t domainId,
                                             uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 32, 1, record, 540, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_enable_disable_domains(int aw_port_number, ENABLE_DISABLE_DOMAINS_PARAMS *record, uint32_t domainId,
                                           uint32_t phba_port)
{
    return send_command(aw_port_number, 43, 1, record, 4, VEXO_DIR_WRITE, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_get_domain(int aw_port_number, GET_DOMAIN_CONFIG_PARAMS *record, uint32_t domainId,
                               uint32_t phba_port)
{
    return send_command(aw_port_number, 44, 1, record, 4, VEXO_DIR_READ, domainId, phba_port, VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_set_port_speed(int aw_port_number, SET_LINK_SPEED_PARAMS_V1 *record, uint32_t domainId,
                                   uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 57, 1, record, 8, VEXO_DIR_WRITE, domainId, phba_port, driver_type, true);
}

VEXO_status_t ioctl_get_fw_config(int aw_port_number, AW_FW_CFG *record, uint32_t domainId, uint32_t phba_port,
                                  int driver_type)
{
    return send_command(aw_port_number, 58, 1, record, 156, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_set_port_state(int aw_port_number, IOCTL_COMMON_ENABLE_DISABLE_PORT_PARAMS *record,
                                   uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 62, 1, record, 4, VEXO_DIR_WRITE, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_varrow_set_port_state(int aw_port_number, VARROW_IOCTL_COMMON_SET_PORT_STATUS_PARAMS *record,
                                          uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 62, 1, record, 4, VEXO_DIR_WRITE, domainId, phba_port, driver_type, true);
}

VEXO_status_t ioctl_get_vnic_function_stats(int aw_port_number,
                                            IOCTL_COMMON_GET_PHYSICAL_FUNCTION_CONFIG_PARAMS *record, uint32_t domainId,
                                            uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 64, 1, record, 24, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_boot_config(int aw_port_number, IOCTL_COMMON_GET_BOOT_CONFIG_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 66, 1, record, 8, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_set_boot_config(int aw_port_number, IOCTL_COMMON_SET_BOOT_CONFIG_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 67, 1, record, 8, VEXO_DIR_WRITE, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_clear_fat(int aw_port_number, IOCTL_COMMON_MANAGE_FAT_PARAMS *record, uint32_t domainId,
                              uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 68, 1, record, 20, VEXO_DIR_WRITE, domainId, phba_port, get_the_protocol(chip),
                        false);
}

VEXO_status_t ioctl_set_beacon_state(int aw_port_number, IOCTL_COMMON_ENABLE_DISABLE_BEACON_PARAMS *record,
                                     uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 69, 1, record, 4, VEXO_DIR_WRITE, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_beacon_state(int aw_port_number, IOCTL_COMMON_GET_BEACON_STATE_PARAMS *record,
                                     uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 70, 1, record, 4, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_port_state(int aw_port_number, IOCTL_COMMON_GET_PORT_STATUS_PARAMS *record, uint32_t domainId,
                                   uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 71, 1, record, 4, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_varrow_get_port_state(int aw_port_number, VARROW_IOCTL_COMMON_GET_PORT_STATUS_PARAMS *record,
                                          uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 71, 1, record, 4, VEXO_DIR_READ, domainId, phba_port, driver_type, true);
}

VEXO_status_t ioctl_read_pci_conf(int aw_port_number, IOCTL_COMMON_READ_PCI_CONFIG_SPACE_PARAMS *record,
                                  uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 72, 1, record, 264, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_read_trans_recv(int aw_port_number, IOCTL_COMMON_READ_TRANSRECEIVER_DATA_PARAMS *record,
                                    uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 73, 1, record, 264, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_varrow_read_trans_recv(int aw_port_number, VEXO_IOCTL_COMMON_READ_TRANSRECEIVER_DATA_PARAMS *record,
                                           uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 73, 1, record, 264, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_oem_params(int aw_port_number, IOCTL_COMMON_GET_OEM_ATTRIBUTES_PARAMS *record,
                                   uint32_t domainId, uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 76, 1, record, 44, VEXO_DIR_READ, domainId, phba_port, get_the_protocol(chip),
                        false);
}

VEXO_status_t ioctl_get_port_name(int aw_port_number, IOCTL_COMMON_GET_PORT_NAME_PARAMS *record, uint32_t domainId,
                                  uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 77, 1, record, 4, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_port_name_v1(int aw_port_number, IOCTL_COMMON_GET_PORT_NAME_PARAMS_V1 *record,
                                     uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 77, 1, record, 4, VEXO_DIR_READ, domainId, phba_port, driver_type, true);
}

VEXO_status_t ioctl_get_aw_conf(int aw_port_number, GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS *record,
                                uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 81, 1, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        get_the_protocol(chip), false);
}

VEXO_status_t ioctl_get_aw_conf_V1(int aw_port_number, GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1 *record,
                                   uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 81, 1, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        driver_type, true);
}

VEXO_status_t ioctl_set_aw_conf(int aw_port_number, SET_AW_CONFIGURATION_AND_RESOURCES_PARAMS *record,
                                uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 82, 1, record, RequestPacketSize, VEXO_DIR_WRITE, domainId, phba_port,
                        get_the_protocol(chip), false);
}

VEXO_status_t ioctl_set_aw_conf_V1(int aw_port_number, SET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1 *record,
                                   uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 82, 1, record, RequestPacketSize, VEXO_DIR_WRITE, domainId, phba_port,
                        driver_type, true);
}

VEXO_status_t ioctl_get_pci_func_mapping(int aw_port_number, IOCTL_COMMON_GET_PCI_FUNCTION_MAPPING_PARAMS *record,
                                         uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 83, 1, record, 68, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_reset_needed(int aw_port_number, GET_RESET_NEEDED_PARAMS *record, uint32_t domainId,
                                     uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 84, 1, record, 4, VEXO_DIR_READ, domainId, phba_port, get_the_protocol(chip),
                        false);
}

VEXO_status_t ioctl_get_ncsi_attributes(int aw_port_number, IOCTL_COMMON_GET_NCSI_CONFIGURATION_PARAMS *record,
                                        uint32_t domainId, uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 86, 1, record, 72, VEXO_DIR_READ, domainId, phba_port, get_the_protocol(chip),
                        false);
}

VEXO_status_t ioctl_set_ncsi_attributes(int aw_port_number, IOCTL_COMMON_SET_NCSI_DYNAMIC_CONFIGURATION_PARAMS *record,
                                        uint32_t domainId, uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 87, 1, record, 32, VEXO_DIR_WRITE, domainId, phba_port, get_the_protocol(chip),
                        false);
}

VEXO_status_t ioctl_start_management_service(int aw_port_number, IOCTL_HEADER *record, uint32_t domainId,
                                             uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 88, 1, record, 0, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_varrow_vpd_data(int aw_port_number, VARROW_COMMON_GET_VPD_DATA_PARAMS_V1 *record,
                                        uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                        int driver_type)
{
    return send_command(aw_port_number, 91, 1, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        driver_type, true);
}

VEXO_status_t ioctl_get_vpd_data(int aw_port_number, COMMON_GET_VPD_DATA_PARAMS *record, uint16_t RequestPacketSize,
                                 uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 91, 1, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        driver_type, false);
}

VEXO_status_t ioctl_get_ari_settings(int aw_port_number, GET_ARI_SETTINGS_PARAMS *record, uint32_t domainId,
                                     uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 94, 1, record, 4, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_set_ari_settings(int aw_port_number, SET_ARI_SETTINGS *record, uint32_t domainId,
                                     uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 95, 1, record, 4, VEXO_DIR_WRITE, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_phy_details(int aw_port_number, GET_PHY_DETAILS_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 102, 1, record, 24, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_opg_params(int aw_port_number, GET_OPERATING_PARAMS *record, uint16_t RequestPacketSize,
                                   uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 108, 1, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        driver_type, false);
}

VEXO_status_t ioctl_get_vnic_function_name(int aw_port_number, IOCTL_COMMON_GET_FUNCTION_NAME_INFO_PARAMS *record,
                                           uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 120, 1, record, 92, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_cnt_additional_attribs(int aw_port_number, GET_CNTL_ADDITIONAL_ATTRIBUTES_PARAMS *record,
                                               uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 121, 1, record, 612, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_capabilities(int aw_port_number, IOCTL_COMMON_GET_CAPABILITY_PARAMS *record, uint32_t domainId,
                                     uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 123, 1, record, 12, VEXO_DIR_READ, domainId, phba_port, get_the_protocol(chip),
                        false);
}

VEXO_status_t ioctl_set_switch_type(int aw_port_number, IOCTL_COMMON_SET_SWITCH_TYPE_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 124, 1, record, 8, VEXO_DIR_WRITE, domainId, phba_port, get_the_protocol(chip),
                        false);
}

VEXO_status_t ioctl_get_extfat_capabilites(int aw_port_number, GET_EXT_FAT_CAPABILITES_PARAMS *record,
                                           uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 125, 1, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        get_the_protocol(chip), false);
}

VEXO_status_t ioctl_set_extfat_capabilites(int aw_port_number, SET_EXT_FAT_CAPABILITES_PARAMS *record,
                                           uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 126, 1, record, RequestPacketSize, VEXO_DIR_WRITE, domainId, phba_port,
                        get_the_protocol(chip), false);
}

VEXO_status_t ioctl_configure_extfat_snapshot(int aw_port_number, ARM_LOG_CREATE_SNAPSHOT_PARAMS *record,
                                              uint32_t domainId, uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 127, 1, record, 4, VEXO_DIR_WRITE, domainId, phba_port, get_the_protocol(chip),
                        false);
}

VEXO_status_t ioctl_retrieve_extfat_snapshot(int aw_port_number, EXT_FAT_RETRIEVE_SNAPSHOT_PARAMS *record,
                                             uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                             int chip)
{
    return send_command(aw_port_number, 128, 1, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        get_the_protocol(chip), false);
}

VEXO_status_t ioctl_read_extfat_string_table(int aw_port_number, EXT_FAT_READ_STRING_TABLE *record,
                                             uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                             int chip)
{
    return send_command(aw_port_number, 130, 1, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        get_the_protocol(chip), false);
}

VEXO_status_t ioctl_set_tx_throttel(int aw_port_number, SET_TX_THROTTLE_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 132, 1, record, 4, VEXO_DIR_WRITE, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_tx_throttel(int aw_port_number, GET_TX_THROTTLE_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 133, 1, record, 4, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_link_speed(int aw_port_number, GET_LINK_SPEED_PARAMS *record, uint32_t domainId,
                                   uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 134, 1, record, 4, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_mac_list(int aw_port_number, NTWK_GET_MAC_LIST_PARAMS *record, uint32_t domainId,
                                 uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 147, 1, record, 532, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_hsw_config(int aw_port_number, GET_HSW_CONFIG_PARAMS *record, uint32_t domainId,
                                   uint32_t phba_port)
{
    return send_command(aw_port_number, 152, 1, record, 16, VEXO_DIR_READ, domainId, phba_port, VEXO_DRIVER_NIC, false);
}

VEXO_status_t ioctl_set_hsw_config(int aw_port_number, SET_HSW_CONFIG_PARAMS *record, uint32_t domainId,
                                   uint32_t phba_port)
{
    return send_command(aw_port_number, 153, 1, record, 20, VEXO_DIR_WRITE, domainId, phba_port, VEXO_DRIVER_NIC,
                        false);
}

VEXO_status_t ioctl_get_profile_cap(int aw_port_number, GET_PROFILE_CAPACITIES_PARAMS *record,
                                    uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 161, 1, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        get_the_protocol(chip), true);
}

VEXO_status_t ioctl_get_common_profile_config(int aw_port_number, GET_COMMON_PROFILE_CONFIG_PARAMS *record,
                                              uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                              int chip)
{
    return send_command(aw_port_number, 164, 1, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        get_the_protocol(chip), false);
}

VEXO_status_t ioctl_get_profile_config(int aw_port_number, GET_PROFILE_CONFIG_PARAMS *record,
                                       uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                       int driver_type)
{
    return send_command(aw_port_number, 164, 1, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        driver_type, true);
}

VEXO_status_t ioctl_set_common_profile_config(int aw_port_number, SET_COMMON_PROFILE_CONFIG_PARAMS *record,
                                              uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                              int chip)
{
    return send_command(aw_port_number, 165, 1, record, RequestPacketSize, VEXO_DIR_WRITE, domainId, phba_port,
                        get_the_protocol(chip), false);
}

VEXO_status_t ioctl_set_profile_config(int aw_port_number, SET_PROFILE_CONFIG_PARAMS *record,
                                       uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                       int driver_type)
{
    return send_command(aw_port_number, 165, 1, record, RequestPacketSize, VEXO_DIR_WRITE, domainId, phba_port,
                        driver_type, true);
}

VEXO_status_t ioctl_get_profile_list(int aw_port_number, GET_PROFILE_LIST_PARAMS *record, uint16_t RequestPacketSize,
                                     uint32_t domainId, uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 166, 1, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        get_the_protocol(chip), false);
}

VEXO_status_t ioctl_get_active_profile(int aw_port_number, GET_ACTIVE_PROFILE_PARAMS *record, uint32_t domainId,
                                       uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 167, 1, record, 4, VEXO_DIR_READ, domainId, phba_port, get_the_protocol(chip),
                        false);
}

VEXO_status_t ioctl_set_active_profile(int aw_port_number, SET_ACTIVE_PROFILE_PARAMS *record, uint32_t domainId,
                                       uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 168, 1, record, 4, VEXO_DIR_WRITE, domainId, phba_port, get_the_protocol(chip),
                        false);
}

VEXO_status_t ioctl_set_factory_profile_config(int aw_port_number, SET_FACTORY_PROFILE_CONFIG_PARAMS *record,
                                               uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 169, 1, record, 4, VEXO_DIR_WRITE, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_set_factory_profile_config_v1(int aw_port_number, SET_FACTORY_PROFILE_CONFIG_PARAMS_V1 *record,
                                                  uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 169, 1, record, 4, VEXO_DIR_WRITE, domainId, phba_port, driver_type, true);
}

VEXO_status_t ioctl_common_read_object_v1(int aw_port_number, VARROW_IOCTL_COMMON_READ_OBJECT_PARAMS_V1 *record,
                                          uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                          int driver_type)
{
    return send_command(aw_port_number, 171, 1, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        driver_type, true);
}

VEXO_status_t ioctl_common_read_object_version1(int aw_port_number, READ_OBJECT_PARAMS *record,
                                                uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                                int driver_type)
{
    return send_command(aw_port_number, 171, 1, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        driver_type, true);
}

VEXO_status_t ioctl_common_write_object_v1(int aw_port_number, VARROW_IOCTL_COMMON_WRITE_OBJECT_PARAMS_V1 *record,
                                           uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                           int driver_type)
{
    return send_command(aw_port_number, 172, 1, record, RequestPacketSize, VEXO_DIR_WRITE, domainId, phba_port,
                        driver_type, true);
}

VEXO_status_t ioctl_common_write_object_version1(int aw_port_number, WRITE_OBJECT_PARAMS *record,
                                                 uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                                 int driver_type)
{
    return send_command(aw_port_number, 172, 1, record, RequestPacketSize, VEXO_DIR_WRITE, domainId, phba_port,
                        driver_type, true);
}

VEXO_status_t ioctl_set_features(int aw_port_number, SET_FEATURES_PARAMS *record, uint32_t domainId, uint32_t phba_port,
                                 int chip)
{
    return send_command(aw_port_number, 191, 1, record, 16, VEXO_DIR_READ, domainId, phba_port, get_the_protocol(chip),
                        false);
}

VEXO_status_t ioctl_get_link_reconfig(int aw_port_number, GET_RECONFIG_LINK_INFO_PARAMS *record,
                                      uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 201, 1, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        get_the_protocol(chip), false);
}

VEXO_status_t ioctl_set_link_reconfig(int aw_port_number, SET_RECONFIG_LINK_ID_PARAMS *record, uint32_t domainId,
                                      uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 202, 1, record, 4, VEXO_DIR_WRITE, domainId, phba_port, get_the_protocol(chip),
                        false);
}

VEXO_status_t ioctl_ping(int aw_port_number, PING_PARAMS *record, uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 6, 2, record, 24, VEXO_DIR_READ, domainId, phba_port, VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_get_NIC_params(int aw_port_number, NIC_CONFIG_PARAMS *record, uint16_t RequestPacketSize,
                                   uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 7, 2, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_Fetch_ARP_Table(int aw_port_number, GET_ARP_TABLE_PARAMS *record, uint16_t RequestPacketSize,
                                    uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 8, 2, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_Save_Arp_Table(int aw_port_number, EDIT_ARP_TABLE_PARAMS *record, uint32_t domainId,
                                   uint32_t phba_port)
{
    return send_command(aw_port_number, 9, 2, record, 48, VEXO_DIR_WRITE, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_Fetch_Route_Table(int aw_port_number, GET_ROUTE_TABLE_PARAMS *record, uint16_t RequestPacketSize,
                                      uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 10, 2, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_Save_Route_Table(int aw_port_number, EDIT_ROUTE_TABLE_PARAMS *record, uint32_t domainId,
                                     uint32_t phba_port)
{
    return send_command(aw_port_number, 11, 2, record, 72, VEXO_DIR_WRITE, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_set_vlan_params(int aw_port_number, VLAN_SET_PARAMS_IN *record, uint32_t domainId,
                                    uint32_t phba_port)
{
    return send_command(aw_port_number, 14, 2, record, 8, VEXO_DIR_WRITE, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_config_dhcp(int aw_port_number, CONFIGURE_STATELESS_IP_ADDR_PARAMS_IN *record, uint32_t domainId,
                                uint32_t phba_port)
{
    return send_command(aw_port_number, 17, 2, record, 16, VEXO_DIR_WRITE, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_release_dhcp(int aw_port_number, RELEASE_STATELESS_IP_ADDR_PARAMS_IN *record, uint32_t domainId,
                                 uint32_t phba_port)
{
    return send_command(aw_port_number, 18, 2, record, 8, VEXO_DIR_WRITE, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_fetch_ip_entry(int aw_port_number, ISCSI_IP_ADDR_RECORD_PARAMS *record, uint16_t RequestPacketSize,
                                   uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 21, 2, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_modify_ip_entry(int aw_port_number, ISCSI_IP_ADDR_RECORD_PARAMS *record, uint32_t RequestPacketSize,
                                    uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 21, 2, record, RequestPacketSize, VEXO_DIR_READ_WRITE, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_get_default_gateway(int aw_port_number, GET_DEFAULT_ROUTE_PARAMS *record, uint32_t domainId,
                                        uint32_t phba_port)
{
    return send_command(aw_port_number, 22, 2, record, 24, VEXO_DIR_READ, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_set_default_gateway(int aw_port_number, MODIFY_DEFAULT_ROUTE_PARAMS_IN *record, uint32_t domainId,
                                        uint32_t phba_port)
{
    return send_command(aw_port_number, 23, 2, record, 28, VEXO_DIR_WRITE, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_get_all_if_id(int aw_port_number, GET_ALL_IF_ID_PARAMS *record, uint32_t RequestPacketSize,
                                  uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 24, 2, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_get_if_info_params(int aw_port_number, GET_IF_INFO_PARAMS *record, uint32_t RequestPacketSize,
                                       uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 25, 2, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_get_if_info_params_v1(int aw_port_number, GET_IF_INFO_PARAMS_V1 *record, uint32_t RequestPacketSize,
                                          uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 25, 2, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, true);
}

VEXO_status_t ioctl_get_discoveryparams(int aw_port_number, DISCOVERY_PARAMS *record, uint32_t domainId,
                                        uint32_t phba_port)
{
    return send_command(aw_port_number, 28, 2, record, 888, VEXO_DIR_READ_WRITE, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_set_discoveryparams(int aw_port_number, DISCOVERY_PARAMS *record, uint32_t domainId,
                                        uint32_t phba_port)
{
    return send_command(aw_port_number, 29, 2, record, 888, VEXO_DIR_READ_WRITE, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_get_node_params(int aw_port_number, GET_ISCSI_NODE_ATTRIB_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port)
{
    return send_command(aw_port_number, 30, 2, record, 760, VEXO_DIR_READ, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_get_eventlog_entries(int aw_port_number, READ_EVENT_LOG_PARAMS *record, uint16_t RequestPacketSize,
                                         uint32_t domainId, uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 63, 2, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        get_the_protocol(chip), false);
}

VEXO_status_t ioctl_get_eventlogbuffersize(int aw_port_number, READ_EVENT_LOG_PARAMS *record, uint16_t *pPageLength,
                                           uint32_t domainId, uint32_t phba_port, int chip)
{
    return size_query(aw_port_number, 63, 2, record, 72, pPageLength, domainId, phba_port, get_the_protocol(chip));
}

VEXO_status_t ioctl_fetch_initiator_name_params(int aw_port_number, ISCSI_HBA_NAME_PARAMS *record, uint32_t domainId,
                                                uint32_t phba_port)
{
    return send_command(aw_port_number, 6, 6, record, 260, VEXO_DIR_READ, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_fetch_initiator_name_params_v1(int aw_port_number, ISCSI_HBA_NAME_PARAMS *record, uint32_t domainId,
                                                   uint32_t phba_port)
{
    return send_command(aw_port_number, 6, 6, record, 260, VEXO_DIR_READ, domainId, phba_port, VEXO_DRIVER_ISCSI, true);
}

VEXO_status_t ioctl_save_initiator_name_params(int aw_port_number, ISCSI_HBA_NAME_PARAMS *record, uint32_t domainId,
                                               uint32_t phba_port)
{
    return send_command(aw_port_number, 7, 6, record, 260, VEXO_DIR_WRITE, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_save_initiator_name_params_v1(int aw_port_number, ISCSI_HBA_NAME_PARAMS *record, uint32_t domainId,
                                                  uint32_t phba_port)
{
    return send_command(aw_port_number, 7, 6, record, 260, VEXO_DIR_WRITE, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        true);
}

VEXO_status_t ioctl_get_a_session(int aw_port_number, GET_A_SESSION_PARAMS *record, uint16_t RequestPacketSize,
                                  uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 14, 6, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_get_a_session_size(int aw_port_number, GET_A_SESSION_PARAMS *record, uint16_t *pPageLength,
                                       uint32_t domainId, uint32_t phba_port)
{
    return size_query(aw_port_number, 14, 6, record, 1164, pPageLength, domainId, phba_port, VEXO_DRIVER_ISCSI);
}

VEXO_status_t ioctl_get_session_conf(int aw_port_number, GET_SESSION_CONFIGURATION_PARAMS *record,
                                     uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 16, 6, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_get_sessionconfig_size(int aw_port_number, GET_SESSION_CONFIGURATION_PARAMS *record,
                                           uint16_t *pPageLength, uint32_t domainId, uint32_t phba_port)
{
    return size_query(aw_port_number, 16, 6, record, 276, pPageLength, domainId, phba_port, VEXO_DRIVER_ISCSI);
}

VEXO_status_t ioctl_set_session_conf(int aw_port_number, SET_SESSION_CONFIGURATION_PARAMS *record, uint32_t domainId,
                                     uint32_t phba_port)
{
    return send_command(aw_port_number, 17, 6, record, 280, VEXO_DIR_WRITE, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_login_target(int aw_port_number, LOGIN_TARGET_PARAMS *record, uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 23, 6, record, 1420, VEXO_DIR_READ_WRITE, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_logout_target(int aw_port_number, LOGOUT_TARGET_PARAMS *record, uint32_t domainId,
                                  uint32_t phba_port)
{
    return send_command(aw_port_number, 24, 6, record, 4, VEXO_DIR_READ_WRITE, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_get_persistentlogins(int aw_port_number, QUERY_A_PERSISTENT_LOGIN_PARAMS *record, uint32_t domainId,
                                         uint32_t phba_port)
{
    return send_command(aw_port_number, 25, 6, record, 900, VEXO_DIR_READ, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_add_persistent_target(int aw_port_number, ADD_PERSISTENT_LOGIN_PARAMS *record, uint32_t domainId,
                                          uint32_t phba_port)
{
    return send_command(aw_port_number, 27, 6, record, 1420, VEXO_DIR_READ_WRITE, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_del_persistent_target(int aw_port_number, DELETE_PERSISTENT_LOGIN_PARAMS_IN *record,
                                          uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 28, 6, record, 480, VEXO_DIR_READ_WRITE, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_get_activesessionid(int aw_port_number, GET_ALL_SESSION_ID_PARAMS *record,
                                        uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 29, 6, record, RequestPacketSize, VEXO_DIR_READ_WRITE, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_get_activesessionidbuffersize(int aw_port_number, GET_ALL_SESSION_ID_PARAMS *record,
                                                  uint16_t *pPageLength, uint32_t domainId, uint32_t phba_port)
{
    return size_query(aw_port_number, 29, 6, record, 12, pPageLength, domainId, phba_port, VEXO_DRIVER_ISCSI);
}

VEXO_status_t ioctl_get_all_tgt_id(int aw_port_number, GET_ALL_DISCOVERED_TARGET_ID_PARAMS *record,
                                   uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 30, 6, record, RequestPacketSize, VEXO_DIR_READ_WRITE, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_get_all_tgt_id_buffer_size(int aw_port_number, GET_ALL_DISCOVERED_TARGET_ID_PARAMS *record,
                                               uint16_t *pPageLength, uint32_t domainId, uint32_t phba_port)
{
    return size_query(aw_port_number, 30, 6, record, 12, pPageLength, domainId, phba_port, VEXO_DRIVER_ISCSI);
}

VEXO_status_t ioctl_get_a_target(int aw_port_number, REPORT_A_TARGET_PARAMS *record, uint16_t RequestPacketSize,
                                 uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 32, 6, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_get_a_target_size(int aw_port_number, REPORT_A_TARGET_PARAMS *record, uint16_t *pPageLength,
                                      uint32_t domainId, uint32_t phba_port)
{
    return size_query(aw_port_number, 32, 6, record, 816, pPageLength, domainId, phba_port, VEXO_DRIVER_ISCSI);
}

VEXO_status_t ioctl_get_sendtargetsresponsesize(int aw_port_number, ISCSI_SEND_TARGETS_PARAMS *record,
                                                uint16_t *pPageLength, uint32_t domainId, uint32_t phba_port)
{
    return size_query(aw_port_number, 33, 6, record, 264, pPageLength, domainId, phba_port, VEXO_DRIVER_ISCSI);
}

VEXO_status_t ioctl_sendtargets(int aw_port_number, ISCSI_SEND_TARGETS_PARAMS *record, uint16_t RequestPacketSize,
                                uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 33, 6, record, RequestPacketSize, VEXO_DIR_READ_WRITE, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_sendtargets_info(int aw_port_number, ISCSI_RETRIEVE_PARSED_TARGET_INFO_PARAMS *record,
                                     uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 34, 6, record, RequestPacketSize, VEXO_DIR_READ_WRITE, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_get_intr_inst_params(int aw_port_number, MIB_INITIATOR_INSTANCE_STATISTICS *record,
                                         uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 46, 6, record, 264, VEXO_DIR_READ, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_get_login_params(int aw_port_number, MIB_INTR_LOGIN_STATISTICS *record, uint32_t domainId,
                                     uint32_t phba_port)
{
    return send_command(aw_port_number, 47, 6, record, 520, VEXO_DIR_READ, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_get_SsnAttr_params(int aw_port_number, GET_SESSION_ATTRIBUTES_PARAMS *record,
                                       uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 48, 6, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_get_SsnAttr_params_size(int aw_port_number, GET_SESSION_ATTRIBUTES_PARAMS *record,
                                            uint16_t *pPageLength, uint32_t domainId, uint32_t phba_port)
{
    return size_query(aw_port_number, 48, 6, record, 1284, pPageLength, domainId, phba_port, VEXO_DRIVER_ISCSI);
}

VEXO_status_t ioctl_get_boot_target_params(int aw_port_number, GET_BOOT_TARGET_OUT *record, uint32_t domainId,
                                           uint32_t phba_port)
{
    return send_command(aw_port_number, 52, 6, record, 8, VEXO_DIR_READ, domainId, phba_port, VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_set_boot_target_params(int aw_port_number, SET_BOOT_TARGET_IN *record, uint32_t domainId,
                                           uint32_t phba_port)
{
    return send_command(aw_port_number, 53, 6, record, 528, VEXO_DIR_WRITE, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_get_boot_lun(int aw_port_number, GET_BOOT_LUN *record, uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 54, 6, record, 8, VEXO_DIR_READ, domainId, phba_port, VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_set_boot_lun(int aw_port_number, SET_BOOT_LUN_IN *record, uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 55, 6, record, 12, VEXO_DIR_WRITE, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_get_bios_cfg(int aw_port_number, BIOS_PARAMS *record, uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 57, 6, record, 20, VEXO_DIR_READ, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_set_bios_cfg(int aw_port_number, BIOS_PARAMS *record, uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 58, 6, record, 20, VEXO_DIR_WRITE, domainId, phba_port, VEXO_DRIVER_ISCSI,
                        false);
}

VEXO_status_t ioctl_scsi_passthru(int aw_port_number, SCSI_PASS_THRU_PARAMS *record, uint16_t RequestPacketSize,
                                  uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 59, 6, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_get_plogintgtid(int aw_port_number, GET_ALL_PLOGIN_TGTID_PORTAL_PARAMS_OUT *record,
                                    uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 60, 6, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_get_pcie_info(int aw_port_number, MGMT_PCIE_INFO *record, uint32_t domainId, uint32_t phba_port)
{
    return send_command(aw_port_number, 62, 6, record, 4, VEXO_DIR_READ, domainId, phba_port, VEXO_DRIVER_ISCSI, false);
}

VEXO_status_t ioctl_ddr_dma_test(int aw_port_number, IOCTL_LOWLEVEL_HOST_DDR_DMA_PARAMS *record, uint32_t domainId,
                                 uint32_t phba_port, int chip)
{
    return send_command(aw_port_number, 17, 11, record, 8208, VEXO_DIR_READ_WRITE, domainId, phba_port,
                        get_the_protocol(chip), false);
}

VEXO_status_t ioctl_loop_back_test(int aw_port_number, IOCTL_LOWLEVEL_LOOPBACK_TEST_PARAMS *record, uint32_t domainId,
                                   uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 18, 11, record, 28, VEXO_DIR_READ_WRITE, domainId, phba_port, driver_type,
                        false);
}

VEXO_status_t ioctl_set_loopbackmode(int aw_port_number, IOCTL_LOWLEVEL_SET_LOOPBACK_MODE_PARAMS *record,
                                     uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 19, 11, record, 4, VEXO_DIR_WRITE, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_loopbackmode(int aw_port_number, IOCTL_LOWLEVEL_GET_LOOPBACK_MODE_PARAMS *record,
                                     uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 20, 11, record, 4, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_coredump_props(int aw_port_number, IOCTL_LOWLEVEL_GET_COREDUMP_PROPERTIES_PARAMS *record,
                                       uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 21, 11, record, 20, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_coredump_comp_props(int aw_port_number,
                                            IOCTL_LOWLEVEL_GET_COREDUMP_COMPONENT_PROPERTIES_PARAMS *record,
                                            uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 22, 11, record, 8, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_coredump_seg_props(int aw_port_number,
                                           IOCTL_LOWLEVEL_GET_COREDUMP_SEGMENT_PROPERTIES_PARAMS *record,
                                           uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 23, 11, record, 16, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_coredump_seg(int aw_port_number, IOCTL_LOWLEVEL_GET_COREDUMP_SEGMENT_PARAMS *record,
                                     uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 24, 11, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        driver_type, false);
}

VEXO_status_t ioctl_get_lldp_params(int aw_port_number, LLDP_GET_LLDP_CFG_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 1, 15, record, 1576, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_set_lldp_params(int aw_port_number, LLDP_SET_LLDP_CFG_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 2, 15, record, 8, VEXO_DIR_WRITE, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_lldp_stats(int aw_port_number, LLDP_GET_LLDP_STATS *record, uint32_t domainId,
                                   uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 3, 15, record, 48, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_dcbx_cfg_params(int aw_port_number, DCBX_GET_DCBX_CFG_PARAMS *record, uint32_t domainId,
                                        uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 1, 16, record, 312, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_dcbx_cfg_params_v1(int aw_port_number, DCBX_GET_DCBX_CFG_PARAMS_V1 *record, uint32_t domainId,
                                           uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 1, 16, record, 368, VEXO_DIR_READ, domainId, phba_port, driver_type, true);
}

VEXO_status_t ioctl_set_dcbx_cfg_params(int aw_port_number, DCBX_SET_DCBX_CFG_PARAMS *record, uint32_t domainId,
                                        uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 2, 16, record, 312, VEXO_DIR_WRITE, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_set_dcbx_cfg_params_v1(int aw_port_number, DCBX_SET_DCBX_CFG_PARAMS_V1 *record, uint32_t domainId,
                                           uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 2, 16, record, 368, VEXO_DIR_WRITE, domainId, phba_port, driver_type, true);
}

VEXO_status_t ioctl_get_dcbx_mib_params(int aw_port_number, GET_DCBX_MIB_INFO_PARAMS *record, uint32_t domainId,
                                        uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 3, 16, record, 108, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_varrow_get_dcbx_mib_params(int aw_port_number, VARROW_IOCTL_GET_DCBX_MIB_INFO_PARAMS *record,
                                               uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 3, 16, record, 60, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_dcbx_mode(int aw_port_number, DCBX_GET_DCBX_MODE_PARAMS *record, uint32_t domainId,
                                  uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 4, 16, record, 4, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_set_dcbx_mode(int aw_port_number, DCBX_SET_DCBX_MODE_PARAMS *record, uint32_t domainId,
                                  uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 5, 16, record, 4, VEXO_DIR_WRITE, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_baseT_stats(int aw_port_number, GET_10GBASET_STATS_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 8, 18, record, 84, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_baseT_stats_v1(int aw_port_number, GET_10GBASET_STATS_PARAMS_V1 *record, uint32_t domainId,
                                       uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 8, 18, record, 112, VEXO_DIR_READ, domainId, phba_port, driver_type, true);
}

VEXO_status_t ioctl_run_selftest(int aw_port_number, RUN_10GBASET_SELFTEST_PARAMS *record, uint32_t domainId,
                                 uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 9, 18, record, 555, VEXO_DIR_WRITE, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_set_nvp_value(int aw_port_number, SET_10GBASET_NVPVALUE_PARAMS *record, uint32_t domainId,
                                  uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 10, 18, record, 8, VEXO_DIR_WRITE, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_run_tdr_test(int aw_port_number, RUN_TDR_PARAMS *record, uint32_t domainId, uint32_t phba_port,
                                 int driver_type)
{
    return send_command(aw_port_number, 11, 18, record, 24, VEXO_DIR_WRITE, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_get_nvp_value(int aw_port_number, GET_10GBASET_NVPVALUE_PARAMS *record, uint32_t domainId,
                                  uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 12, 18, record, 4, VEXO_DIR_READ, domainId, phba_port, driver_type, false);
}

VEXO_status_t ioctl_ffv_params(int aw_port_number, MANAGE_FFV_PARAMS *record, uint32_t domainId, uint32_t phba_port,
                               int chip)
{
    return send_command(aw_port_number, 2, 19, record, 36, VEXO_DIR_READ, domainId, phba_port, get_the_protocol(chip),
                        false);
}

VEXO_status_t ioctl_read_fruvpd_data(int aw_port_number, READ_FRU_EEPROM_PARAMS *record, uint16_t RequestPacketSize,
                                     uint32_t domainId, uint32_t phba_port, int driver_type)
{
    return send_command(aw_port_number, 3, 19, record, RequestPacketSize, VEXO_DIR_READ, domainId, phba_port,
                        driver_type, false);
}

VEXO_status_t ioctl_get_oem_exec_cfg(int aw_port_number, OEM_EXEC_CFG_CMD_PARAMS *record, uint32_t domainId,
                                     uint32_t phba_port)
{
    return send_command(aw_port_number, 4, 21, record, 48, VEXO_DIR_READ, domainId, phba_port, VEXO_DRIVER_NIC, false);
}

VEXO_status_t ioctl_set_oem_exec_cfg(int aw_port_number, OEM_EXEC_CFG_CMD_PARAMS *record, uint32_t domainId,
                                     uint32_t phba_port)
{
    return send_command(aw_port_number, 4, 21, record, 48, VEXO_DIR_WRITE, domainId, phba_port, VEXO_DRIVER_NIC, false);
}
