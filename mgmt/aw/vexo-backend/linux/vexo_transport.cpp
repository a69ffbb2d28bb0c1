#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <sys/ioctl.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/command_area.h"
#include "mgmt/vexo/core/debug.h"

vexo_global vexo_glob;

namespace
{

vmk_MgmtCallbackInfo kernel_callback(uint64_t id, uint32_t data_size, int32_t direction)
{
    vmk_MgmtCallbackInfo cb;
    std::memset(&cb, 0, sizeof cb);
    cb.location = VMK_MGMT_CALLBACK_KERNEL;
    cb.callback = nullptr;
    cb.synchronous = 1;
    cb.numParameters = 2;
    cb.parameterSizes[0] = sizeof(ovnnet_mgmtReq);
    cb.parameterTypes[0] = VMK_MGMT_PARAM_INOUT;
    cb.parameterSizes[1] = data_size;
    cb.parameterTypes[1] = direction;
    cb.callbackId = id;
    return cb;
}

vmk_MgmtApiSignature signature(const char *name, const char *vendor, uint32_t count, vmk_MgmtCallbackInfo *cbs)
{
    vmk_MgmtApiSignature s;
    std::memset(&s, 0, sizeof s);
    s.version = 0x1000000;
    std::strncpy(s.name, name, sizeof s.name - 1);
    std::strncpy(s.vendor, vendor, sizeof s.vendor - 1);
    s.numCallbacks = count;
    s.callbacks = cbs;
    return s;
}

const int32_t OUT = VMK_MGMT_PARAM_OUT;
const int32_t INOUT = VMK_MGMT_PARAM_INOUT;

// Timeouts the driver applies, by driver and command.
const uint32_t kTimeoutIscsi = 120;
const uint32_t kTimeoutNic = 30;
const uint32_t kTimeoutOpcode18 = 11;        // loopback test
const uint32_t kTimeoutOpcode18Network = 20; // DHCP release (iSCSI network subsystem)

uint32_t command_timeout(uint8_t opcode, uint8_t subsystem, uint32_t driver_type)
{
    uint32_t t = driver_type == VEXO_DRIVER_NIC ? kTimeoutNic : kTimeoutIscsi;
    if (opcode == 18)
        t = subsystem == 2 ? kTimeoutOpcode18Network : kTimeoutOpcode18;
    return t;
}

// A transport failure: the command did not reach the firmware, so its
// response view holds no answer.
VEXO_status_t transport_failure(VEXO_status_t code)
{
    vexo_set_fixed_status(code);
    return code;
}

} // namespace

vmk_MgmtCallbackInfo ovnnet_mgmtCallbacks[OVNNET_CALLBACK_COUNT] = {
    kernel_callback(OVNNET_CB_GET_PRIV_STATS, 12288, OUT),
    kernel_callback(OVNNET_CB_ENUMERATE_SBDF, OVNNET_SBDF_SIZE, OUT),
    kernel_callback(OVNNET_CB_PASSTHROUGH, VEXO_PASSTHROUGH_SIZE, INOUT),
    kernel_callback(OVNNET_CB_DRV_INFO, OVNNET_DRVINFO_SIZE, OUT),
    kernel_callback(OVNNET_CB_CIM_GET_LINK_STATE, 4, OUT),
    kernel_callback(OVNNET_CB_CIM_GET_LINK_STATUS, 167, OUT),
    kernel_callback(OVNNET_CB_CIM_GET_DRVR_INFO, 192, OUT),
    kernel_callback(OVNNET_CB_CIM_GET_WOL, 24, OUT),
    kernel_callback(OVNNET_CB_CIM_GET_COALESCE_PARAMS, 16, OUT),
    kernel_callback(OVNNET_CB_CIM_GET_PERM_MAC, 6, OUT),
    kernel_callback(OVNNET_CB_CIM_GET_STAT_COUNT, 4, OUT),
    kernel_callback(OVNNET_CB_CIM_GET_STAT_STRINGS, 50404, OUT),
    kernel_callback(OVNNET_CB_CIM_GET_STATS, 9604, OUT),
    kernel_callback(OVNNET_CB_GET_FAT_DUMP_SIZE, 4, OUT),
    kernel_callback(OVNNET_CB_GET_FAT_DUMP, 64008, INOUT),
    kernel_callback(OVNNET_CB_GET_SET_DBG_MASK, 4, INOUT),
    kernel_callback(OVNNET_CB_ENUMERATE_SBDF_V1, OVNNET_SBDF_V1_SIZE, OUT),
    kernel_callback(OVNNET_CB_VARROW_READ_PCI_CFG, OVNNET_READ_CFG_SIZE, INOUT),
    kernel_callback(OVNNET_CB_GET_PRIV_STATS_V1, 32768, OUT),
};

vmk_MgmtCallbackInfo ovniscsi_mgmtCallbacks[OVNISCSI_CALLBACK_COUNT] = {
    kernel_callback(OVNISCSI_CB_PASSTHROUGH, VEXO_PASSTHROUGH_SIZE, INOUT),
    kernel_callback(OVNISCSI_CB_ENUMERATE_SBDF, OVNISCSI_SBDF_SIZE, INOUT),
};

vmk_MgmtApiSignature mgmtSig = signature("ovnnetMgmtToKernel", "orvane", OVNNET_CALLBACK_COUNT, ovnnet_mgmtCallbacks);
vmk_MgmtApiSignature defaultMgmtSig =
    signature("ovnnetMgmtToKernel", "orvane", OVNNET_CALLBACK_COUNT, ovnnet_mgmtCallbacks);
vmk_MgmtApiSignature ovnnetKeyValSig = signature("OVNNET_KEYVAL", "Orvane", 0, nullptr);
vmk_MgmtApiSignature ovniscsiMgmtSig =
    signature("com.vmware.ovniscsi.ima", "orvane", OVNISCSI_CALLBACK_COUNT, ovniscsi_mgmtCallbacks);

bool vexo_valid_port_number(int aw_port_number)
{
    return aw_port_number >= 1 && aw_port_number <= VEXO_MAX_HBA;
}

namespace
{

// The pass-through of one command buffer through either driver (their
// request records share one layout). The driver is handed a whole
// pass-through area: the caller's buffer itself when it is one
// (`capacity` at least VEXO_PASSTHROUGH_SIZE), else a copy of the command
// whose rest is zero.
int passthrough(vmk_MgmtApiSignature *sig, uint64_t callback_id, const char *pci_name, const char *caller,
                const char *nomem_message, uint8_t PageCode, uint32_t PageLength, void *IoctlBuffer,
                uint32_t capacity)
{
    if (PageLength > VEXO_PASSTHROUGH_SIZE) {
        // The driver's pass-through area cannot hold it.
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:command of %u bytes does not fit the pass-through area\n", caller,
               PageLength);
        return 1;
    }
    vmk_MgmtUserHandle handle = nullptr;
    int status = vmk_MgmtUserInit(sig, 0, &handle);
    if (status != VMK_MGMT_OK) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to initialize USer Init with status = %d\n", caller,
               status);
        return 1;
    }
    ovnnet_mgmtReq req;
    std::memset(&req, 0, sizeof req);
    req.length = VEXO_PASSTHROUGH_SIZE;
    req.op = PageCode;
    std::strncpy(req.pciDeviceName, pci_name, sizeof req.pciDeviceName - 1);

    int result = 1;
    const bool in_place = capacity >= VEXO_PASSTHROUGH_SIZE;
    uint8_t *data = in_place ? static_cast<uint8_t *>(IoctlBuffer)
                             : static_cast<uint8_t *>(std::calloc(1, VEXO_PASSTHROUGH_SIZE));
    if (!data) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, nomem_message, caller);
    } else {
        if (!in_place)
            std::memcpy(data, IoctlBuffer, PageLength);
        status = vmk_MgmtUserCallbackInvokeInt(handle, 0, callback_id, 2, &req, data);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:call back status = %d\n", caller, status);
        if (status != VMK_MGMT_OK) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to Invoke CallBack with status = %d\n", caller, status);
        } else if (req.status != 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:CallBack Failed in driver with status = %d\n", caller,
                   static_cast<int>(req.status));
        } else {
            if (!in_place)
                std::memcpy(IoctlBuffer, data, PageLength);
            result = 0;
        }
        if (!in_place)
            std::free(data);
    }
    vmk_MgmtUserDestroy(handle);
    return result;
}

int ovnnet_callback(int aw_port_number, uint8_t PageCode, uint32_t PageLength, void *IoctlBuffer, uint32_t capacity)
{
    if (!vexo_valid_port_number(aw_port_number) || !IoctlBuffer)
        return 1;
    return passthrough(&mgmtSig, OVNNET_CB_PASSTHROUGH, vexo_glob.nic.pci_dev_name[aw_port_number - 1],
                       "VEXO_ovnnet_callback", "%s:pcntr_attribs malloc failed\n", PageCode, PageLength, IoctlBuffer,
                       capacity);
}

int ovniscsi_callback(int aw_port_number, uint8_t PageCode, uint32_t PageLength, void *IoctlBuffer, uint32_t capacity)
{
    if (!vexo_valid_port_number(aw_port_number) || !IoctlBuffer)
        return 1;
    const char *name = vexo_glob.iscsi.pci_dev_name[aw_port_number - 1];
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:vexo_glob.vexo_iscsi_pcidev[%d - 1] = %.15s\n",
           "VEXO_ovniscsi_callback", aw_port_number, name);
    return passthrough(&ovniscsiMgmtSig, OVNISCSI_CB_PASSTHROUGH, name, "VEXO_ovniscsi_callback",
                       "%s:ovniscsi_mgmtPassthrough malloc failed\n", PageCode, PageLength, IoctlBuffer, capacity);
}

} // namespace

extern "C" int VEXO_ovnnet_callback(int aw_port_number, uint8_t PageCode, uint32_t PageLength, void *IoctlBuffer)
{
    return ovnnet_callback(aw_port_number, PageCode, PageLength, IoctlBuffer, 0);
}

extern "C" int VEXO_ovniscsi_callback(int aw_port_number, uint8_t PageCode, uint32_t PageLength, void *IoctlBuffer)
{
    return ovniscsi_callback(aw_port_number, PageCode, PageLength, IoctlBuffer, 0);
}

extern "C" VEXO_status_t VEXO_IssueIOCTL(os_handle_t oshandle, uint8_t PageCode, uint8_t SubSystemCode,
                                         uint32_t PageLength, void *IoctlBuffer, uint8_t domainId, uint8_t phba_port,
                                         uint32_t driver_type, int aw_port_number)
{
    return VEXO_IssueIOCTLInArea(oshandle, PageCode, SubSystemCode, PageLength, IoctlBuffer, 0, domainId, phba_port,
                                 driver_type, aw_port_number);
}

VEXO_status_t VEXO_IssueIOCTLInArea(os_handle_t oshandle, uint8_t PageCode, uint8_t SubSystemCode, uint32_t PageLength,
                                    void *IoctlBuffer, uint32_t capacity, uint8_t domainId, uint8_t phba_port,
                                    uint32_t driver_type, int aw_port_number)
{
    const char *const entry = "VEXO_IssueIOCTL"; // the name the log gives the send routine
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:before getting OsHandle=%d\n", entry, oshandle);
    if (!IoctlBuffer || !vexo_valid_port_number(aw_port_number)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:no function %d to send opcode 0x%x to\n", entry, aw_port_number,
               PageCode);
        return transport_failure(VEXO_STATUS_INTERNAL_ERROR);
    }

    IOCTL_HEADER *hdr = static_cast<IOCTL_HEADER *>(IoctlBuffer);
    hdr->request.version = vexo_glob.ioctl_version == 1 ? 1 : 0;
    hdr->request.opcode = PageCode;
    hdr->request.request_length = PageLength;
    hdr->request.timeout = command_timeout(PageCode, SubSystemCode, driver_type);
    hdr->request.subsystem = SubSystemCode;
    hdr->request.domain = domainId;
    hdr->request.port_number = phba_port;

    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:vexo_glob.pf_number = 0x%x\n", entry, vexo_glob.pf_number);
    if (vexo_glob.pf_number > 0)
        hdr->request.pfnumber = static_cast<uint16_t>(vexo_glob.pf_number);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG,
           "%s:opcode = 0x%x subsystem = 0x%x port_number = %d domain = %d timeout = %u request_length = %u "
           "version = %d pfnumber = %d vhnumber = %d\n",
           entry, hdr->request.opcode, hdr->request.subsystem, hdr->request.port_number, hdr->request.domain,
           static_cast<unsigned>(hdr->request.timeout), static_cast<unsigned>(hdr->request.request_length),
           hdr->request.version, hdr->request.pfnumber, hdr->request.vhnumber);

    int slot = aw_port_number - 1;
    int result = -1;
    int saved_errno = 0;
    bool callback_path = (driver_type == VEXO_DRIVER_NIC && (vexo_glob.nic.driver_type[slot] & VEXO_DRV_CALLBACK)) ||
                         (driver_type == VEXO_DRIVER_ISCSI && (vexo_glob.iscsi.driver_type[slot] & VEXO_DRV_CALLBACK));
    if (callback_path && PageLength > VEXO_PASSTHROUGH_SIZE - IOCTL_HEADER_SIZE) {
        // The drivers' pass-through area holds the header and 65520 bytes.
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:payload of %u bytes does not fit the pass-through area\n",
               entry, PageLength);
        return transport_failure(VEXO_STATUS_INTERNAL_ERROR);
    }
    if (driver_type == VEXO_DRIVER_NIC && (vexo_glob.nic.driver_type[slot] & VEXO_DRV_CALLBACK)) {
        if (refresh_vexo_hierarchy() != 0)
            return VEXO_STATUS_FAILURE;
        result = ovnnet_callback(aw_port_number, PageCode, PageLength + IOCTL_HEADER_SIZE, IoctlBuffer, capacity);
    } else if (driver_type == VEXO_DRIVER_ISCSI && (vexo_glob.iscsi.driver_type[slot] & VEXO_DRV_CALLBACK)) {
        result = ovniscsi_callback(aw_port_number, PageCode, PageLength + IOCTL_HEADER_SIZE, IoctlBuffer, capacity);
        if (result != 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Unable to process command ioctl_result = %d\n", entry,
                   result);
            return transport_failure(VEXO_STATUS_INTERNAL_ERROR);
        }
        return VEXO_STATUS_SUCCESS;
    } else if (driver_type == VEXO_DRIVER_ISCSI) {
        result = ioctl(oshandle, VEXO_ISCSI_IOCTL_PASSTHROUGH, IoctlBuffer);
        saved_errno = errno;
    }
    // Any other combination (a NIC function without callbacks, an unknown
    // driver kind) sends nothing.

    if (result == 0)
        return VEXO_STATUS_SUCCESS;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Unable to process command ioctl_result = %d errno = %d err_str = %s\n",
           entry, result, saved_errno, std::strerror(saved_errno));
    if (saved_errno == EIO)
        return transport_failure(VEXO_STATUS_ARM_TIMEOUT);
    return transport_failure(VEXO_STATUS_INTERNAL_ERROR);
}
