#include "mgmt/aw/vexo-backend/vexo_mailbox.h"

#include <cstring>

#include "mgmt/aw/vexo-backend/ioctl_header.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/vexo/core/debug.h"

namespace
{

// Additional status that marks a link that is down; failures with it are
// not logged.
const uint32_t kAddlLinkDown = 23;

// The device handle a command uses: the function's legacy device for the
// iSCSI driver, the legacy NIC device for the NIC driver.
bool command_handle(int aw_port_number, int driver_type, os_handle_t *handle)
{
    if (driver_type == VEXO_DRIVER_ISCSI) {
        if (!vexo_valid_port_number(aw_port_number)) {
            vexo_set_fixed_status(VEXO_STATUS_INTERNAL_ERROR);
            return false;
        }
        *handle = vexo_glob.iscsi.os_handles[aw_port_number - 1];
        return true;
    }
    if (driver_type == VEXO_DRIVER_NIC) {
        *handle = vexo_glob.nic.os_handles[0];
        return true;
    }
    return false;
}

// A command buffer for `payload` bytes: nothing is built when the payload
// does not fit the buffer size the caller gives.
uint8_t *new_command(uint32_t payload, uint16_t buffer_size, const char *caller)
{
    if (buffer_size < IOCTL_HEADER_SIZE || payload > static_cast<uint32_t>(buffer_size) - IOCTL_HEADER_SIZE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:payload of %u bytes does not fit a buffer of %u bytes\n", caller,
               payload, static_cast<unsigned>(buffer_size));
        return nullptr;
    }
    uint8_t *buf = static_cast<uint8_t *>(vexo_dmalloc(buffer_size));
    if (buf)
        std::memset(buf, 0, buffer_size);
    return buf;
}

// One row of the additional-status map of statuses 1 and 2.
struct AddlStatusRow {
    uint32_t additional_status;
    VEXO_status_t code; // the code the row stands for
    bool set_last;      // stored as the last status
    bool result_is_one; // the call answers 1 instead of the code
};

// Rows whose result depends only on the additional status. The rows that
// also look at the opcode (19, 44, 75, 105) are decided in the code below.
const AddlStatusRow kAddlStatusRows[] = {
    {0, VEXO_STATUS_INTERNAL_ERROR, false, false},
    {16, VEXO_STATUS_ERASE_CONFIG_FAILED, true, true},
    {17, VEXO_STATUS_SESSION_ALREADY_EXISTS, true, true},
    {18, VEXO_STATUS_SESSION_ALREADY_CLOSED, true, false},
    {21, VEXO_STATUS_CONNECTION_FAILED, true, true},
    {22, VEXO_STATUS_EXCEED_ROUTE_ENTRIES, false, false},
    {23, VEXO_STATUS_LINK_DOWN, true, true},
    {30, VEXO_STATUS_INVALID_OPCODE, false, false},
    {43, VEXO_STATUS_INITIATOR_ERROR, true, true},
    {45, VEXO_STATUS_AUTHORIZATION_FAILURE, true, true},
    {46, VEXO_STATUS_LOGIN_NOT_FOUND, true, false},
    {56, VEXO_STATUS_LOGIN_SERVICE_UNAVAILABLE, true, true},
    {58, VEXO_STATUS_SAME_CHAP_SECRET, true, true},
    {59, VEXO_STATUS_INVALID_SECRET_LENGTH, true, true},
    {77, VEXO_STATUS_CRC_MISMATCH, true, true},
    {79, VEXO_STATUS_PERSONALITY_NOT_SUPPORTED, false, false},
    {81, VEXO_STATUS_PERSONALITY_NOT_SUPPORTED, false, false},
    {83, VEXO_STATUS_LOOPBACK_MODE_NOT_SUPPORTED, true, false},
    {84, VEXO_STATUS_LOOPBACK_MODE_ALREADY_IN_LOOPBACK, true, false},
    {85, VEXO_STATUS_LOOPBACK_MODE_NOT_SET, false, false},
    {99, VEXO_STATUS_LOOPBACK_MODE_NO_MODULE, false, false},
    {100, VEXO_STATUS_LOGIN_DIGEST_ERROR, false, false},
    {104, VEXO_STATUS_ZMR_ENABLED, false, false},
    {162, VEXO_STATUS_INCOMPATIBLE_IMAGE, false, false},
};

VEXO_status_t set_and(VEXO_status_t code, VEXO_status_t result)
{
    vexo_set_fixed_status(code);
    return result;
}

VEXO_status_t from_additional_status(uint32_t addl, uint8_t opcode)
{
    switch (addl) {
    case 19:
        if (opcode != 29)
            vexo_set_fixed_status(VEXO_STATUS_DEST_HOST_UNREACHABLE);
        return VEXO_STATUS_DEST_HOST_UNREACHABLE;
    case 24:
        // A DHCP problem is reported, but the command itself succeeded.
        return set_and(VEXO_STATUS_DHCP_ERROR, VEXO_STATUS_SUCCESS);
    case 44:
        if (opcode == 27 || opcode == 23)
            return VEXO_STATUS_AUTHENTICATION_FAILURE;
        return set_and(VEXO_STATUS_AUTHENTICATION_FAILURE, VEXO_STATUS_FAILURE);
    case 75:
        if (opcode == 57)
            return VEXO_STATUS_SET_PORTSPEED_NOT_SUPPORTED;
        if (opcode == 1)
            return VEXO_STATUS_INVALID_OPCODE;
        return VEXO_STATUS_INVALID_REQUEST;
    case 105:
        return opcode == 1 ? VEXO_STATUS_INVALID_OPCODE : VEXO_STATUS_UNKNOWN_ERROR;
    default:
        break;
    }
    for (const AddlStatusRow &row : kAddlStatusRows) {
        if (row.additional_status != addl)
            continue;
        if (row.set_last)
            vexo_set_fixed_status(row.code);
        return row.result_is_one ? VEXO_STATUS_FAILURE : row.code;
    }
    return VEXO_STATUS_UNKNOWN_ERROR;
}

} // namespace

VEXO_status_t VexoStatusFromIOCTLResponse(uint32_t status, uint32_t additional_status, uint8_t PageCode)
{
    switch (status) {
    case 0:
        return VEXO_STATUS_SUCCESS;
    case 1:
    case 2:
        return from_additional_status(additional_status, PageCode);
    case 3:
        return PageCode == 57 ? VEXO_STATUS_SET_PORTSPEED_NOT_SUPPORTED : VEXO_STATUS_FAILURE;
    case 4:
        return VEXO_STATUS_INSUFFICIENT_BUFFER;
    case 5:
        if (additional_status == 0)
            return set_and(VEXO_STATUS_NOT_SUPPORTED_FOR_VF, VEXO_STATUS_NOT_SUPPORTED_FOR_VF);
        if (additional_status == 96)
            return set_and(VEXO_STATUS_INSUFFICIENT_PRIVILEGE, VEXO_STATUS_INSUFFICIENT_PRIVILEGE);
        return VEXO_STATUS_UNKNOWN_ERROR;
    case 20:
        if (PageCode == 23)
            vexo_set_fixed_status(VEXO_STATUS_TGTTBL_FULL);
        return VEXO_STATUS_FAILURE;
    case 30:
        return PageCode == 169 ? VEXO_STATUS_REBOOT_REQUIRED : VEXO_STATUS_UNKNOWN_ERROR;
    case 31:
        return (PageCode == 24 || PageCode == 28) ? VEXO_STATUS_SUCCESS : VEXO_STATUS_INVALID_SESSION_ID;
    case 44:
        return VEXO_STATUS_REBOOT_REQUIRED;
    case 46:
        if (additional_status == 0)
            return set_and(VEXO_STATUS_IPADDRESS_NOT_SET, VEXO_STATUS_FAILURE);
        return VEXO_STATUS_UNKNOWN_ERROR;
    case 49:
        return set_and(VEXO_STATUS_TARGET_BUSY, VEXO_STATUS_FAILURE);
    case 66:
        if (PageCode == 69 && additional_status == 103)
            return VEXO_STATUS_BEACON_OPERATION_ALREADY_ACTIVE;
        if (PageCode != 8 && PageCode != 12 && PageCode != 69 && PageCode != 70 && PageCode != 73)
            vexo_set_fixed_status(VEXO_STATUS_NOT_SUPPORTED);
        return VEXO_STATUS_NOT_SUPPORTED;
    default:
        return VEXO_STATUS_FAILURE;
    }
}

int get_the_protocol(int i)
{
    if (i < 0 || i >= VEXO_MAX_ADAPTER_SLOTS)
        return 4;
    uint8_t bits = vexo_glob.protocols_bitmap[i];
    if (bits & 1)
        return VEXO_DRIVER_ISCSI;
    if (bits & 2)
        return VEXO_DRIVER_NIC;
    if (bits & 4)
        return 3;
    return 4;
}

extern "C" VEXO_status_t VEXO_prepare_mailbox_cmd(int aw_port_number, uint8_t PageCode, uint8_t SubSytemCode,
                                                  uint32_t Payloadsize, uint16_t IoctlBufferSize, void *PayLoadBuffer,
                                                  uint8_t Direction, uint8_t domainId, uint8_t phba_port,
                                                  int driver_type)
{
    os_handle_t handle = -1;
    if (!command_handle(aw_port_number, driver_type, &handle))
        return VEXO_STATUS_FAILURE;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:oshandle is %d\n", __func__, handle);

    uint8_t *buf = new_command(Payloadsize, IoctlBufferSize, __func__);
    if (!buf)
        return VEXO_STATUS_FAILURE;
    if (PayLoadBuffer)
        std::memcpy(buf + IOCTL_HEADER_SIZE, PayLoadBuffer, Payloadsize);

    if (VEXO_IssueIOCTL(handle, PageCode, SubSytemCode, Payloadsize, buf, domainId, phba_port,
                        static_cast<uint32_t>(driver_type), aw_port_number) != VEXO_STATUS_SUCCESS) {
        vexo_dfree(buf);
        return VEXO_STATUS_FAILURE;
    }
    if (PayLoadBuffer && Direction != VEXO_DIR_NONE)
        std::memcpy(PayLoadBuffer, buf + IOCTL_HEADER_SIZE, Payloadsize);

    IOCTL_RESPONSE_HEADER rsp;
    std::memcpy(&rsp, buf, sizeof rsp);
    vexo_dfree(buf);
    if (rsp.status == 0)
        return VEXO_STATUS_SUCCESS;
    uint32_t addl = rsp.additional_status;
    if (addl != kAddlLinkDown) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR,
               "%s:The IOCTL with opcode:0x%x subsystem:0x%x failed with status 0x%x\n", __func__, PageCode,
               SubSytemCode, rsp.status);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:actual response length is %d\n", __func__,
               static_cast<int>(rsp.actual_response_length));
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:additional status is:0x%x\n", __func__, addl);
    }
    return VexoStatusFromIOCTLResponse(rsp.status, addl, PageCode);
}

extern "C" VEXO_status_t VEXO_get_mailbox_cmd_size(int aw_port_number, uint8_t PageCode, uint8_t SubSystemCode,
                                                   uint16_t Payloadsize, uint16_t IoctlBufferSize, void *PayLoadBuffer,
                                                   uint16_t *PayLoadLength, uint32_t domainId, uint32_t phba_port,
                                                   int driver_type)
{
    os_handle_t handle = -1;
    if (!command_handle(aw_port_number, driver_type, &handle))
        return VEXO_STATUS_FAILURE;
    uint8_t *buf = new_command(Payloadsize, IoctlBufferSize, __func__);
    if (!buf) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to Allocate memory\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    if (PayLoadBuffer)
        std::memcpy(buf + IOCTL_HEADER_SIZE, PayLoadBuffer, Payloadsize);

    if (VEXO_IssueIOCTL(handle, PageCode, SubSystemCode, Payloadsize, buf, static_cast<uint8_t>(domainId),
                        static_cast<uint8_t>(phba_port), static_cast<uint32_t>(driver_type),
                        aw_port_number) != VEXO_STATUS_SUCCESS) {
        vexo_dfree(buf);
        return VEXO_STATUS_FAILURE;
    }
    IOCTL_RESPONSE_HEADER rsp;
    std::memcpy(&rsp, buf, sizeof rsp);
    if (rsp.status == 0 || rsp.status == 4) {
        if (PayLoadBuffer)
            std::memcpy(PayLoadBuffer, buf + IOCTL_HEADER_SIZE, Payloadsize);
        if (PayLoadLength)
            *PayLoadLength = static_cast<uint16_t>(rsp.actual_response_length);
        vexo_dfree(buf);
        return VEXO_STATUS_SUCCESS;
    }
    vexo_dfree(buf);
    uint32_t addl = rsp.additional_status;
    if (addl != kAddlLinkDown) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR,
               "%s: The IOCTL with opcode: 0x%x subsystem: 0x%x failed with status 0x%x\n", __func__, PageCode,
               SubSystemCode, rsp.status);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Additional status 0x%x\n", __func__, addl);
    }
    return VexoStatusFromIOCTLResponse(rsp.status, addl, PageCode);
}
