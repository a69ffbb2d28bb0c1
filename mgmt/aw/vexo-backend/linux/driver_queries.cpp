#include "mgmt/aw/vexo-backend/linux/driver_queries.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/linux/driver_discovery.h"
#include "mgmt/vexo/core/debug.h"

namespace
{

const int kPciWordOffset = 164;
// Output of a host tool read at most.
const size_t kToolOutputMax = 65536;

void copy_bounded(char *dst, size_t size, const char *src, size_t src_size)
{
    size_t n = strnlen(src, src_size);
    if (n >= size)
        n = size - 1;
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

void fill_bdf(int aw_port_number, bus_dev_fn_info *bdf)
{
    const pci_data &pci = vexo_glob.nic.pci_info[aw_port_number - 1];
    bdf->bus_number = pci.bus_number;
    bdf->device_number = pci.device_number;
    bdf->pf_num = pci.pf_num;
}

void close_nic_handles()
{
    os_put_nic_port_instances(vexo_glob.nic.os_handles, VEXO_MAX_HBA);
}

// One ioctl of the legacy NIC device on a driver-information record; the
// ioctl's result, or the re-enumeration's when the tree changed.
int legacy_nic_info(int aw_port_number, unsigned long request, aw_char_info *ci, int *status)
{
    std::memset(ci, 0, sizeof *ci);
    fill_bdf(aw_port_number, &ci->bdf_info);
    int changed = refresh_vexo_hierarchy();
    if (changed != 0)
        return changed;
    *status = ioctl(vexo_glob.nic.os_handles[0], request, ci);
    close_nic_handles();
    return 0;
}

// Runs a host tool with an argument vector (no shell) and collects its
// standard output; its exit code, or -1 when it could not be run.
int run_tool(const std::vector<const char *> &argv, std::string *out)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return -1;
    }
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        int null_fd = open("/dev/null", O_WRONLY);
        if (null_fd >= 0)
            dup2(null_fd, STDERR_FILENO);
        close(fds[0]);
        close(fds[1]);
        std::vector<char *> args;
        for (const char *a : argv)
            args.push_back(const_cast<char *>(a));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) {
        if (out->size() < kToolOutputMax)
            out->append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

bool plain_name(const char *s, const char *extra)
{
    size_t n = strnlen(s, 32);
    if (n == 0 || n >= 32)
        return false;
    for (size_t i = 0; i < n; ++i) {
        char c = s[i];
        bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || std::strchr(extra, c);
        if (!ok)
            return false;
    }
    return true;
}

// Lines of `text` that contain "00:" and `pattern`, as grep would find them.
bool config_line_has(const std::string &text, const char *pattern)
{
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (line.find("00:") != std::string::npos && line.find(pattern) != std::string::npos)
            return true;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return false;
}

} // namespace

extern "C" int VEXO_ovnnet_vf_callback(int aw_port_number, ovnnet_mgmtDrvInfo *info)
{
    if (!info || !vexo_valid_port_number(aw_port_number))
        return 1;
    vmk_MgmtUserHandle handle = nullptr;
    int status = vmk_MgmtUserInit(&mgmtSig, 0, &handle);
    if (status != VMK_MGMT_OK) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to initialize USer Init with status = %d\n", __func__,
               status);
        return 1;
    }
    ovnnet_mgmtReq req;
    std::memset(&req, 0, sizeof req);
    req.length = sizeof(ovnnet_mgmtDrvInfo);
    copy_bounded(req.pciDeviceName, sizeof req.pciDeviceName, vexo_glob.nic.pci_dev_name[aw_port_number - 1],
                 VEXO_PCI_NAME_SIZE);
    int result = 0;
    status = vmk_MgmtUserCallbackInvokeInt(handle, 0, OVNNET_CB_DRV_INFO, 2, &req, info);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:call back status = %d\n", __func__, status);
    if (status != VMK_MGMT_OK) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to Invoke CallBack with status = %d\n", __func__, status);
        result = 1;
    } else if (req.status != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:CallBack Failed in driver with status = %d\n", __func__,
               static_cast<int>(req.status));
        result = 1;
    }
    vmk_MgmtUserDestroy(handle);
    return result;
}

extern "C" int VEXO_read_pci_cfg_callback(int aw_port_number, int register_offset, int cnt, uint32_t *pci_data)
{
    if (!pci_data || !vexo_valid_port_number(aw_port_number) || register_offset < 0 || cnt < 0)
        return 1;
    vmk_MgmtUserHandle handle = nullptr;
    int status = vmk_MgmtUserInit(&mgmtSig, 0, &handle);
    if (status != VMK_MGMT_OK) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:vmk_MgmtUserInit failed with status = %d\n", __func__, status);
        return 1;
    }
    ovnnet_mgmtReq req;
    std::memset(&req, 0, sizeof req);
    req.length = sizeof(ovnnet_mgmtVarrowReadCfg);
    copy_bounded(req.pciDeviceName, sizeof req.pciDeviceName, vexo_glob.nic.pci_dev_name[aw_port_number - 1],
                 VEXO_PCI_NAME_SIZE);
    ovnnet_mgmtVarrowReadCfg cfg;
    std::memset(&cfg, 0, sizeof cfg);
    cfg.offset = static_cast<uint32_t>(register_offset);
    cfg.data_length = static_cast<uint32_t>(cnt);
    int result = 1;
    status = vmk_MgmtUserCallbackInvokeInt(handle, 0, OVNNET_CB_VARROW_READ_PCI_CFG, 2, &req, &cfg);
    if (status != VMK_MGMT_OK) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:vmk_MgmtUserCallbackInvoke failed with status = %d\n", __func__,
               status);
    } else {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:status = %d\n", __func__, static_cast<int>(req.status));
        if (req.status != 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ovnnet_mgmtReq failed with status = %d\n", __func__,
                   static_cast<int>(req.status));
        } else {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:data_length = %d\n", __func__,
                   static_cast<int>(cfg.data_length));
            // The driver's count is not trusted beyond the record.
            uint32_t n = cfg.data_length > sizeof cfg.pci_data ? sizeof cfg.pci_data : cfg.data_length;
            std::memcpy(pci_data, cfg.pci_data, n);
            result = 0;
        }
    }
    vmk_MgmtUserDestroy(handle);
    return result;
}

extern "C" int VEXO_get_varrow_pci_data(int aw_port_number, int register_offset, int cnt, char *final_pci_data)
{
    if (!final_pci_data)
        return 1;
    uint32_t words[64];
    std::memset(words, 0, sizeof words);
    if (VEXO_read_pci_cfg_callback(aw_port_number, register_offset, cnt, words) != 0)
        return 1;
    uint8_t bytes[256];
    for (int i = 0; i < 64; ++i)
        for (int b = 0; b < 4; ++b)
            bytes[i * 4 + b] = static_cast<uint8_t>(words[i] >> (8 * b));
    int count = cnt > 256 ? 256 : cnt;
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i != 0 && i % 16 == 0)
            text += '\n';
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x ", bytes[i]);
        text += hex;
    }
    if (text.size() > VEXO_PCI_TEXT_SIZE - 1)
        text.resize(VEXO_PCI_TEXT_SIZE - 1);
    std::memcpy(final_pci_data, text.c_str(), text.size() + 1);
    return 0;
}

int ioctl_get_virt_f_info(int aw_port_number, aw_drvinfo *info, int *nic_lhba_count)
{
    if (!info || !nic_lhba_count || !vexo_valid_port_number(aw_port_number))
        return 1;
    aw_char_info ci;
    int status = 0;
    int changed = legacy_nic_info(aw_port_number, VEXO_NIC_IOCTL_VF_INFO, &ci, &status);
    if (changed != 0)
        return changed;
    if (status != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "status = %d Unable to process command\n", status);
        return 1;
    }
    std::memcpy(info, &ci.dinfo, sizeof *info);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:char_info.dinfo.vf_table.number_vfs = %d\n", __func__,
           ci.dinfo.vf_table.number_vfs);
    *nic_lhba_count = ci.dinfo.vf_table.number_vfs;
    return 0;
}

int ioctl_get_mtu(int aw_port_number, aw_drvinfo *info)
{
    if (!info || !vexo_valid_port_number(aw_port_number))
        return 1;
    aw_char_info ci;
    int status = 0;
    int changed = legacy_nic_info(aw_port_number, VEXO_NIC_IOCTL_DRIVER_INFO, &ci, &status);
    if (changed != 0)
        return changed;
    if (status < 0)
        return 1;
    std::memcpy(info, &ci.dinfo, sizeof *info);
    return 0;
}

int ioctl_varrow_read_pci_conf(int aw_port_number, int domainid, int phba_port, int *value)
{
    (void)domainid;
    (void)phba_port;
    if (!value || !vexo_valid_port_number(aw_port_number))
        return 1;
    uint32_t word = 0;
    // The request names the result area by a 32-bit address; an area the
    // address cannot reach is not handed to the driver.
    uintptr_t area = reinterpret_cast<uintptr_t>(&word);
    if (area > UINT32_MAX) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:result area not addressable by the request\n", __func__);
        return 1;
    }
    varrow_read_cfg req;
    std::memset(&req, 0, sizeof req);
    fill_bdf(aw_port_number, &req.bdf_info);
    req.offset = kPciWordOffset;
    req.data_length = 4;
    req.pci_data = static_cast<uint32_t>(area);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG,
           "\n Before sending ioctl, offset = %d,data_length = %d, pci_conf_params.pci_data = %d,%d,%d\n",
           static_cast<int>(req.offset), static_cast<int>(req.data_length), req.bdf_info.bus_number,
           req.bdf_info.device_number, req.bdf_info.pf_num);
    int changed = refresh_vexo_hierarchy();
    if (changed != 0)
        return changed;
    int status = ioctl(vexo_glob.nic.os_handles[0], VEXO_NIC_IOCTL_READ_PCI_CFG, &req);
    close_nic_handles();
    if (status != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "status = %d Unable to process command\n", status);
        return 1;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "After sending ioctl in response, offset = %d,data_length = %d\n",
           static_cast<int>(req.offset), static_cast<int>(req.data_length));
    *value = static_cast<int>(word);
    return 0;
}

int ioctl_get_vmhba_name(int aw_port_number, char *interface_name)
{
    if (!interface_name || !vexo_valid_port_number(aw_port_number))
        return 1;
    int slot = aw_port_number - 1;
    if (vexo_glob.iscsi.driver_type[slot] & VEXO_DRV_CALLBACK) {
        copy_bounded(interface_name, 32, vexo_glob.iscsi.vmhba[slot], VEXO_IFNAME_SIZE);
        return 0;
    }
    char name[32];
    std::memset(name, 0, sizeof name);
    int status = ioctl(vexo_glob.iscsi.os_handles[slot], VEXO_ISCSI_IOCTL_HOST_NAME, name);
    if (status != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl failed with status = %d\n", __func__, status);
        return 1;
    }
    copy_bounded(interface_name, 32, name, sizeof name);
    return 0;
}

extern "C" int VEXO_check_valid_interface(char *ifname)
{
    if (!ifname)
        return 1;
    // Names and addresses reach the host tools as plain arguments only.
    if (!plain_name(ifname, "_.-")) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Given Interface name is not valid or not PF.\n", __func__);
        return 1;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:cmd = ethtool -i %s\n", __func__, ifname);
    std::string info;
    run_tool({"ethtool", "-i", ifname}, &info);
    std::string address;
    size_t at = info.find("bus-info");
    if (at != std::string::npos) {
        size_t end = info.find('\n', at);
        std::string line = info.substr(at, end == std::string::npos ? std::string::npos : end - at);
        size_t blank = line.find(' ');
        if (blank != std::string::npos)
            address = line.substr(blank + 1, line.find(' ', blank + 1) - blank - 1);
    }
    if (address.empty()) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:strlen(buf) is zero\n", __func__);
        return 1;
    }
    if (!plain_name(address.c_str(), ":.")) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to Open file\n", __func__);
        return 1;
    }
    std::string config;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:cmd = lspci -s %s -x\n", __func__, address.c_str());
    run_tool({"lspci", "-s", address.c_str(), "-x"}, &config);
    if (config_line_has(config, "a2 19"))
        return 0;
    bool second = config_line_has(config, "df 10");
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:ret_status = %d\n", __func__, second ? 0 : 1);
    if (config_line_has(config, second ? "20 e2" : "ff ff ff ff")) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:Given Interface name is not valid or not PF.\n", __func__);
        return 1;
    }
    return 0;
}

int os_prepare_device_for_removal(char *vendor_name, char *modelnumber)
{
    (void)vendor_name;
    (void)modelnumber;
    return 0;
}
