#include "mgmt/aw/vexo-backend/linux/driver_discovery.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "mgmt/vexo/core/debug.h"
#include "os/host_env.h"

namespace
{

// Interface names read from the host configuration are cut to this length.
const size_t kConfIfnameMax = 9;
// Driver names copied into the tables are cut to this length.
const size_t kDriverNameMax = 15;

int bounded_slots(int max_hba)
{
    return max_hba < 0 ? 0 : (max_hba > VEXO_MAX_HBA ? VEXO_MAX_HBA : max_hba);
}

// Copies at most `max` characters of a field that need not be terminated.
void copy_name(char *dst, size_t dst_size, const char *src, size_t src_size, size_t max)
{
    size_t n = strnlen(src, src_size);
    if (n > max)
        n = max;
    if (n >= dst_size)
        n = dst_size - 1;
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

// Fills NIC slots from an enumeration list of `capacity` entries; the number
// of slots filled, which is bounded by the list and by the table.
template <typename List> int fill_nic_slots(const List *list, uint32_t capacity, const char *caller)
{
    uint32_t n = list->num_elements;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:number of ovnnet devices = %u\n", caller, n);
    if (n > capacity)
        n = capacity;
    if (n > VEXO_MAX_HBA)
        n = VEXO_MAX_HBA;
    for (uint32_t i = 0; i < n; ++i) {
        const ovnnet_mgmtSbdfEntry &e = list->entries[i];
        copy_name(vexo_glob.nic.ifnames[i], VEXO_IFNAME_SIZE, e.uplinkName, sizeof e.uplinkName, kDriverNameMax);
        copy_name(vexo_glob.nic.pci_dev_name[i], VEXO_PCI_NAME_SIZE, e.pciDeviceName, sizeof e.pciDeviceName,
                  kDriverNameMax);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:%u:%s,%s\n", caller, i, vexo_glob.nic.ifnames[i],
               vexo_glob.nic.pci_dev_name[i]);
        vexo_glob.nic.driver_type[i] |= VEXO_DRV_CALLBACK;
        vexo_parse_pci_name(vexo_glob.nic.pci_dev_name[i], &vexo_glob.nic.pci_info[i]);
    }
    return static_cast<int>(n);
}

void close_slots(os_handle_t *handles, int max_hba)
{
    if (!handles)
        return;
    for (int i = 0; i < bounded_slots(max_hba); ++i) {
        if (handles[i] != -1) {
            close(handles[i]);
            handles[i] = -1;
        }
    }
}

// Hexadecimal digit values by character; 0xFF for any other character.
struct HexTable {
    uint8_t v[256];
    constexpr HexTable() : v()
    {
        for (int c = 0; c < 256; ++c)
            v[c] = 0xFF;
        for (int d = 0; d < 10; ++d)
            v['0' + d] = static_cast<uint8_t>(d);
        for (int d = 0; d < 6; ++d) {
            v['a' + d] = static_cast<uint8_t>(10 + d);
            v['A' + d] = static_cast<uint8_t>(10 + d);
        }
    }
};
constexpr HexTable kHex;

// A name of the form every driver lists, "D:B:S.F" with 1 to 8 plain
// hexadecimal digits a part, read in one pass (this runs for every listed
// function before every NIC command); false for any other form, which the
// general reading below takes. The values are those strtoul gives.
bool parse_plain_pci_name(const char *name, size_t len, pci_data *out)
{
    static const char kSeps[3] = {':', ':', '.'};
    uint32_t v[4];
    size_t domain_digits = 0;
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        uint32_t x = 0;
        size_t first = at;
        uint8_t d;
        while (at < len && (d = kHex.v[static_cast<unsigned char>(name[at])]) != 0xFF) {
            x = (x << 4) | d;
            ++at;
        }
        size_t digits = at - first;
        if (digits == 0 || digits > 8)
            return false;
        v[part] = x;
        if (part == 0)
            domain_digits = digits;
        if (part < 3) {
            if (at >= len || name[at] != kSeps[part])
                return false;
            ++at;
        } else if (at != len) {
            return false;
        }
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:point = %.*s\n", "vexo_parse_pci_name",
           static_cast<int>(domain_digits), name);
    out->domain_number = static_cast<uint16_t>(v[0]);
    out->bus_number = static_cast<uint8_t>(v[1]);
    out->device_number = static_cast<uint8_t>(v[2]);
    out->pf_num = static_cast<uint8_t>(v[3]);
    return true;
}

} // namespace

void vexo_parse_pci_name(const char *name, pci_data *out)
{
    if (!name || !out)
        return;
    size_t len = strnlen(name, VEXO_PCI_NAME_SIZE);
    // Runs for every listed function before every NIC command.
    if (parse_plain_pci_name(name, len, out))
        return;
    char copy[VEXO_PCI_NAME_SIZE + 1];
    std::memcpy(copy, name, len);
    copy[len] = '\0';
    const char *seps = "::.";
    char *p = copy;
    for (int part = 0; part < 4 && p && *p; ++part) {
        char *end = part < 3 ? std::strchr(p, seps[part]) : nullptr;
        if (end)
            *end = '\0';
        unsigned long v = std::strtoul(p, nullptr, 16);
        switch (part) {
        case 0:
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:point = %s\n", __func__, p);
            out->domain_number = static_cast<uint16_t>(v);
            break;
        case 1:
            out->bus_number = static_cast<uint8_t>(v);
            break;
        case 2:
            out->device_number = static_cast<uint8_t>(v);
            break;
        default:
            out->pf_num = static_cast<uint8_t>(v);
            break;
        }
        p = end ? end + 1 : nullptr;
    }
}

extern "C" int VEXO_enumerate_ovniscsi()
{
    vmk_MgmtUserHandle handle = nullptr;
    int status = vmk_MgmtUserInit(&ovniscsiMgmtSig, 0, &handle);
    if (status != VMK_MGMT_OK) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to initialize User Init with status = %d\n", __func__,
               status);
        return 0;
    }
    ovniscsi_mgmtReq req;
    std::memset(&req, 0, sizeof req);
    ovniscsi_mgmtSbdf *list = static_cast<ovniscsi_mgmtSbdf *>(vexo_dmalloc(sizeof(ovniscsi_mgmtSbdf)));
    if (!list) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to allocate memory\n", __func__);
        vmk_MgmtUserDestroy(handle);
        return 0;
    }
    std::memset(list, 0, sizeof *list);
    status = vmk_MgmtUserCallbackInvokeInt(handle, 0, OVNISCSI_CB_ENUMERATE_SBDF, 2, &req, list);
    if (status != VMK_MGMT_OK) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to Invoke CallBack with status = %d\n", __func__, status);
        vexo_dfree(list);
        vmk_MgmtUserDestroy(handle);
        return 0;
    }
    uint32_t n = list->numElements;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:number of ovniscsi devices = %u\n", __func__, n);
    // The list and the table hold 128 functions; a larger count is not believed.
    if (n > 128)
        n = 128;
    for (uint32_t i = 0; i < n; ++i) {
        const ovniscsi_mgmtSbdfEntry &e = list->entries[i];
        copy_name(vexo_glob.iscsi.pci_dev_name[i], VEXO_PCI_NAME_SIZE, e.pciDevName, sizeof e.pciDevName,
                  kDriverNameMax);
        copy_name(vexo_glob.iscsi.vmhba[i], VEXO_IFNAME_SIZE, e.vmhbaName, sizeof e.vmhbaName, kDriverNameMax);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:%u:%s,%s\n", __func__, i, vexo_glob.iscsi.vmhba[i],
               vexo_glob.iscsi.pci_dev_name[i]);
        vexo_glob.iscsi.driver_type[i] |= VEXO_DRV_CALLBACK;
        vexo_parse_pci_name(vexo_glob.iscsi.pci_dev_name[i], &vexo_glob.iscsi.pci_info[i]);
    }
    vexo_dfree(list);
    vmk_MgmtUserDestroy(handle);
    return static_cast<int>(n);
}

extern "C" int VEXO_enumerate_ovn_nics(int nic_count)
{
    (void)nic_count;
    vmk_MgmtUserHandle handle = nullptr;
    int status = vmk_MgmtUserInit(&mgmtSig, 0, &handle);
    if (status != VMK_MGMT_OK) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to initialize USer Init with status = %d\n", __func__,
               status);
        return 0;
    }
    ovnnet_mgmtReq req;
    std::memset(&req, 0, sizeof req);
    ovnnet_mgmtSbdfV1 *list_v1 = static_cast<ovnnet_mgmtSbdfV1 *>(vexo_dmalloc(sizeof(ovnnet_mgmtSbdfV1)));
    if (!list_v1) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to allocate memory\n", __func__);
        vmk_MgmtUserDestroy(handle);
        return 0;
    }
    // The list is driver output (copied out whole on success); only the
    // count is cleared, so a driver that writes nothing lists nothing. The
    // 38 KB list is not cleared before every NIC command.
    list_v1->num_elements = 0;
    ovnnet_mgmtSbdf *list = nullptr; // the older list, only for a driver without the larger one

    int count = 0;
    status = vmk_MgmtUserCallbackInvokeInt(handle, 0, OVNNET_CB_ENUMERATE_SBDF_V1, 2, &req, list_v1);
    if (status == VMK_MGMT_OK) {
        count = fill_nic_slots(list_v1, 800, __func__);
    } else {
        // A driver without the larger list answers the older one (32 functions).
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to Invoke CallBack version1 with status = %d\n", __func__,
               status);
        std::memset(&req, 0, sizeof req);
        list = static_cast<ovnnet_mgmtSbdf *>(vexo_dmalloc(sizeof(ovnnet_mgmtSbdf)));
        if (!list) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to allocate memory\n", __func__);
            vexo_dfree(list_v1);
            vmk_MgmtUserDestroy(handle);
            return 0;
        }
        std::memset(list, 0, sizeof *list);
        status = vmk_MgmtUserCallbackInvokeInt(handle, 0, OVNNET_CB_ENUMERATE_SBDF, 2, &req, list);
        if (status != VMK_MGMT_OK)
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to Invoke CallBack with status = %d\n", __func__,
                   status);
        else
            count = fill_nic_slots(list, 32, __func__);
    }
    vexo_dfree(list);
    vexo_dfree(list_v1);
    vmk_MgmtUserDestroy(handle);
    return count;
}

int os_get_port_instances(os_handle_t *os_handles_array, int max_hba)
{
    if (!os_handles_array)
        return 0;
    int slots = bounded_slots(max_hba);
    for (int i = 0; i < slots; ++i)
        os_handles_array[i] = -1;
    std::memset(vexo_glob.iscsi.driver_type, 0, sizeof vexo_glob.iscsi.driver_type);

    int n = VEXO_enumerate_ovniscsi();
    if (n) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "valid_ovniscsi_instances = %d\n", n);
        return n;
    }
    int count = 0;
    for (int dev = 0; dev < slots; ++dev) {
        std::string path = host_path(std::string(VEXO_LEGACY_ISCSI_DEVICE) + std::to_string(dev));
        int fd = open(path.c_str(), O_RDWR);
        if (fd < 0)
            continue;
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        os_handles_array[count++] = fd;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:valid_hba = %d\n", __func__, count);
    return count;
}

int os_get_nic_port_instances(os_handle_t *os_handles_array, int max_hba)
{
    if (!os_handles_array)
        return 0;
    int slots = bounded_slots(max_hba);
    for (int i = 0; i < slots; ++i)
        os_handles_array[i] = -1;
    std::memset(vexo_glob.nic.driver_type, 0, sizeof vexo_glob.nic.driver_type);

    int n = VEXO_enumerate_ovn_nics(0);
    if (n) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "valid_ovnnet_instances = %d\n", n);
        return n;
    }
    int count = 0;
    std::string path = host_path(std::string(VEXO_LEGACY_NIC_DEVICE));
    int fd = slots > 0 ? open(path.c_str(), O_RDWR) : -1;
    if (fd < 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "could not open device node %s\n", path.c_str());
    } else {
        os_handles_array[0] = fd;
        count = enumerate_aw_nics(0);
        if (count != 0 && VEXO_get_interface_names(count, 0) == 0) {
            close(fd);
            os_handles_array[0] = -1;
        }
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:valid_hba = %d\n", __func__, count);
    return count;
}

void os_put_port_instances(os_handle_t *os_handles_array, int max_hba)
{
    close_slots(os_handles_array, max_hba);
}

void os_put_nic_port_instances(os_handle_t *os_handles_array, int max_hba)
{
    close_slots(os_handles_array, max_hba);
}

int ioctl_get_chipinfo(int aw_port_number, enumerate_chip *chips)
{
    if (!chips || !vexo_valid_port_number(aw_port_number))
        return 1;
    int rc = ioctl(vexo_glob.nic.os_handles[aw_port_number - 1], VEXO_NIC_IOCTL_CHIP_LIST, chips);
    if (rc < 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_chipinfo failed\n", __func__);
        return 1;
    }
    return rc;
}

int enumerate_aw_nics(int ovnnet_count)
{
    enumerate_chip chips;
    std::memset(&chips, 0, sizeof chips);
    int status = ioctl_get_chipinfo(1, &chips);
    if (status != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_chipinfo failed with status = %d\n", __func__, status);
        return 0;
    }
    int slot = ovnnet_count < 0 ? 0 : ovnnet_count;
    int listed = 0;
    int num_chips = chips.num_chips > 8 ? 8 : chips.num_chips;
    for (int c = 0; c < num_chips; ++c) {
        const chip_info &chip = chips.chips[c];
        int num_pfs = chip.num_pfs > 8 ? 8 : chip.num_pfs;
        for (int f = 0; f < num_pfs && slot < VEXO_MAX_HBA; ++f, ++slot, ++listed) {
            vexo_glob.nic.pci_info[slot].bus_number = chip.bus_number;
            vexo_glob.nic.pci_info[slot].device_number = chip.device_number;
            vexo_glob.nic.pci_info[slot].pf_num = chip.pinfo[f];
        }
    }
    return ovnnet_count + listed;
}

extern "C" int VEXO_get_interface_names(int nic_count, int ovnnet_count)
{
    std::memset(vexo_glob.nic.ifnames, 0, sizeof vexo_glob.nic.ifnames);
    int last = nic_count > VEXO_MAX_HBA ? VEXO_MAX_HBA : nic_count;
    std::string conf = host_path(std::string(VEXO_ESX_CONF));
    for (int i = ovnnet_count < 0 ? 0 : ovnnet_count; i < last; ++i) {
        const pci_data &pci = vexo_glob.nic.pci_info[i];
        char key[48];
        std::snprintf(key, sizeof key, "%03d:%02d.%d/vmkname", pci.bus_number, pci.device_number, pci.pf_num);
        FILE *fp = std::fopen(conf.c_str(), "r");
        if (!fp) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to open /etc/vmware/esx.conf\n", __func__);
            return 0;
        }
        char line[100];
        while (std::fgets(line, sizeof line, fp)) {
            size_t len = std::strlen(line);
            if (len > 0)
                line[len - 1] = '\0';
            if (!std::strstr(line, key))
                continue;
            const char *value = std::strchr(line, '=');
            const char *open_quote = value ? std::strchr(value + 1, '"') : nullptr;
            const char *close_quote = open_quote ? std::strchr(open_quote + 1, '"') : nullptr;
            if (close_quote) {
                size_t n = static_cast<size_t>(close_quote - open_quote - 1);
                if (n > kConfIfnameMax)
                    n = kConfIfnameMax;
                std::memcpy(vexo_glob.nic.ifnames[i], open_quote + 1, n);
                vexo_glob.nic.ifnames[i][n] = '\0';
            }
            vexo_glob.nic.driver_type[i] |= VEXO_DRV_LEGACY_IFNAME;
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:ifname = %s bus = 0x%x dev = 0x%x fun = 0x%x and i = %d\n",
                   __func__, vexo_glob.nic.ifnames[i], pci.bus_number, pci.device_number, pci.pf_num, i);
            break;
        }
        std::fclose(fp);
    }
    return nic_count;
}
