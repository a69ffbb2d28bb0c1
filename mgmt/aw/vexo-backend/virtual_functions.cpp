#include "mgmt/aw/vexo-backend/virtual_functions.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/function_attribs.h"
#include "mgmt/aw/vexo-backend/iscsi_network_readers.h"
#include "mgmt/aw/vexo-backend/linux/driver_queries.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_convert.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

namespace
{

const char kNotAvailable[] = "N/A";
const int kMaxVlan = 4094;
const int kMinRate = 1;
const int kMaxRate = 10000;
const size_t kMaxIfName = 15; // the kernel's interface names

bool named(const node *n, const char *name)
{
    return n && n->node_type == VEXO_NODE_GROUP && n->node_name && same_name_nocase(n->node_name, name);
}

bool plain_char(char c, const char *extra)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || std::strchr(extra, c);
}

// A decimal of digits only, within [lo, hi].
bool decimal_in(const char *text, int lo, int hi, int *out)
{
    size_t n = text ? strnlen(text, VEXO_VALUE_SIZE) : 0;
    if (n == 0 || n > 9)
        return false;
    int v = 0;
    for (size_t i = 0; i < n; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
    }
    if (v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

// Six hex pairs joined by ':', the form the host command takes.
bool colon_mac(const char *text)
{
    if (strnlen(text, VEXO_VALUE_SIZE) != 17)
        return false;
    for (int i = 0; i < 17; ++i) {
        char c = text[i];
        bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (i % 3 == 2 ? c != ':' : !hex)
            return false;
    }
    return true;
}

VEXO_status_t refuse_value()
{
    vexo_set_fixed_status(VEXO_STATUS_API_INVALID_VALUE);
    return VEXO_STATUS_FAILURE;
}

// Runs "ip link set IFNAME vf N WORDS..." without a shell and waits for it;
// true when it exited with 0.
bool run_ip(const std::string &ifname, int vf, const std::vector<std::string> &words)
{
    std::string vf_text = std::to_string(vf);
    std::vector<const char *> argv = {"ip", "link", "set", ifname.c_str(), "vf", vf_text.c_str()};
    for (const std::string &w : words)
        argv.push_back(w.c_str());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: fork failed, errno = %d\n", __func__, errno);
        return false;
    }
    if (pid == 0) {
        int null_fd = open("/dev/null", O_RDWR);
        if (null_fd >= 0) {
            dup2(null_fd, STDOUT_FILENO);
            dup2(null_fd, STDERR_FILENO);
        }
        execvp(argv[0], const_cast<char *const *>(argv.data()));
        _exit(127);
    }
    int status = 0;
    pid_t done;
    do {
        done = waitpid(pid, &status, 0);
    } while (done < 0 && errno == EINTR);
    if (done != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ip link set %s vf %d failed, status = %d\n", __func__,
               ifname.c_str(), vf, status);
        return false;
    }
    return true;
}

// A VF change: refused (status 17) when a word is not plain, failed (status
// 17, the host refused the value) when the command does not succeed.
VEXO_status_t change_vf(const std::string &ifname, int vf, const std::vector<std::string> &words)
{
    if (!vf_command_valid(ifname, vf, words))
        return refuse_value();
    if (!run_ip(ifname, vf, words))
        return refuse_value();
    return VEXO_STATUS_SUCCESS;
}

// The NICLogicalHBA of a VF property, its NICPhysicalHBA and VF number.
struct VfRoute {
    node *lhba;
    node *phba;
    int vf;
    char ifname[VEXO_VALUE_SIZE];
};

bool vf_parents(node *property, VfRoute *r)
{
    r->lhba = property ? property->parent : nullptr;
    r->phba = r->lhba ? r->lhba->parent : nullptr;
    if (!named(r->lhba, "NICLogicalHBA") || !named(r->phba, "NICPhysicalHBA"))
        return false;
    r->vf = instance_number(r->lhba);
    return true;
}

// The common start of the read/write VF handlers: parents and IfName.
bool vf_route(node *property, VfRoute *r)
{
    if (!vf_parents(property, r))
        return false;
    std::memset(r->ifname, 0, sizeof r->ifname);
    if (internal_get_property(r->phba, "IfName", r->ifname) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get IfName.\n", __func__);
        return false;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:niclhba_instance = %d ifname = %s\n", __func__, r->vf, r->ifname);
    return true;
}

// Reads one VF value into the NICLogicalHBA's property of the same name.
bool read_vf_value(node *property, const VfRoute &r, const char *name, char *buf)
{
    std::memset(buf, 0, VEXO_VALUE_SIZE);
    return VEXO_get_vf_params(get_port_number(property), r.vf, buf, name) == 0;
}

VEXO_status_t refuse_on_vf(char *value)
{
    if (value)
        std::snprintf(value, VEXO_VALUE_SIZE, "%s", kNotAvailable);
    vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
    return VEXO_STATUS_FAILURE;
}

VEXO_status_t store_texts(node *vnic, const char *a, const char *b, const char *c)
{
    VEXO_status_t st = set_prop_val(vnic, "OuterVLANID", "%s", a);
    if (set_prop_val(vnic, "MinBandwidth", "%s", b) != VEXO_STATUS_SUCCESS)
        st = VEXO_STATUS_FAILURE;
    if (set_prop_val(vnic, "MaxBandwidth", "%s", c) != VEXO_STATUS_SUCCESS)
        st = VEXO_STATUS_FAILURE;
    return st;
}

// Statistics of a vNIC group once its name has been read into `enabled`.
VEXO_status_t vnic_stats(node *property, node *vnic, node *function, const char *enabled, unsigned int driver_type,
                         char *value)
{
    if (strcasecmp(enabled, "True") != 0) {
        store_texts(vnic, "", "", "");
    } else if (get_vnic_stats(get_port_number(function), get_domain_id(function), get_phba_port_number(function),
                              vnic, driver_type) != 0) {
        return VEXO_STATUS_FAILURE;
    }
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

} // namespace

bool vf_command_valid(const std::string &ifname, int vf, const std::vector<std::string> &words)
{
    if (ifname.empty() || ifname.size() > kMaxIfName || !plain_char(ifname[0], "") || vf < 0 ||
        vf >= OVNNET_MAX_VFS)
        return false;
    for (char c : ifname)
        if (!plain_char(c, "._-"))
            return false;
    for (const std::string &w : words) {
        // A word never starts like an option.
        if (w.empty() || w.size() > 32 || !plain_char(w[0], ""))
            return false;
        for (char c : w)
            if (!plain_char(c, ":"))
                return false;
    }
    return true;
}

VEXO_status_t group_NICPhysicalHBA(node *grp)
{
    int port = get_port_number(grp);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:be_port_number = %d\n", __func__, port);
    purge_nodes_within(grp, "NICLogicalHBA");
    int count = 0;
    VEXO_Get_VF_Info(port, &count, 1, grp);
    return VEXO_STATUS_SUCCESS;
}

extern "C" int VEXO_get_vf_params(int aw_port_number, int instance, char *buf, const char *prop_name)
{
    if (!buf || !prop_name || instance < 0 || instance >= OVNNET_MAX_VFS)
        return 1;
    ovnnet_mgmtDrvInfo info;
    std::memset(&info, 0, sizeof info);
    int status = VEXO_ovnnet_vf_callback(aw_port_number, &info);
    if (status != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Issue_vf_callback_for_esxop failed with status = %d\n", __func__,
               status);
        return 1;
    }
    const ovnnet_mgmtVfInfo &vf = info.vfInfo[instance];
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: vf %d speed = %d vlan = %d mac = %02x:%02x:%02x:%02x:%02x:%02x\n",
           __func__, instance, vf.qos_link_speed, vf.vlan_id, vf.mac[0], vf.mac[1], vf.mac[2], vf.mac[3], vf.mac[4],
           vf.mac[5]);
    if (strcasecmp(prop_name, "TxRate") == 0)
        std::snprintf(buf, VEXO_VALUE_SIZE, "%d", vf.qos_link_speed * 10);
    else if (strcasecmp(prop_name, "VLANID") == 0)
        std::snprintf(buf, VEXO_VALUE_SIZE, "%d", vf.vlan_id);
    else if (strcasecmp(prop_name, "LinkStatus") == 0)
        std::snprintf(buf, VEXO_VALUE_SIZE, "%d", vf.link_status);
    else if (strcasecmp(prop_name, "MACAddress") == 0)
        std::snprintf(buf, VEXO_VALUE_SIZE, "%02x:%02x:%02x:%02x:%02x:%02x", vf.mac[0], vf.mac[1], vf.mac[2],
                      vf.mac[3], vf.mac[4], vf.mac[5]);
    return 0;
}

VEXO_status_t handle_niclogicalhba_macaddress(node *property, char *value, int type)
{
    VfRoute r;
    if (!value || !vf_route(property, &r))
        return VEXO_STATUS_FAILURE;
    if (type == 0) {
        char buf[VEXO_VALUE_SIZE];
        if (!read_vf_value(property, r, "MACAddress", buf))
            return VEXO_STATUS_FAILURE;
        set_prop_val(r.lhba, "MACAddress", "%s", buf);
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    if (type != 1)
        return VEXO_STATUS_SUCCESS;
    uint8_t mac[6];
    // The whole text goes to the host, so all of it must be the address.
    if (validateMACAddress(value, mac) != 1 || !colon_mac(value))
        return refuse_value();
    return change_vf(r.ifname, r.vf, {"mac", value});
}

VEXO_status_t handle_niclogicalhba_vlanid(node *property, char *value, int type)
{
    VfRoute r;
    if (!value || !vf_route(property, &r))
        return VEXO_STATUS_FAILURE;
    if (type == 0) {
        char buf[VEXO_VALUE_SIZE];
        if (!read_vf_value(property, r, "VLANID", buf))
            return VEXO_STATUS_FAILURE;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:strlen(buf) = %d\n", __func__, static_cast<int>(std::strlen(buf)));
        set_prop_val(r.lhba, "VLANID", "%s", buf[0] ? buf : "0");
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    if (type != 1)
        return VEXO_STATUS_SUCCESS;
    int vlan = 0;
    if (!decimal_in(value, 0, kMaxVlan, &vlan))
        return refuse_value();
    return change_vf(r.ifname, r.vf, {"vlan", std::to_string(vlan)});
}

VEXO_status_t handle_niclogicalhba_txrate(node *property, char *value, int type)
{
    VfRoute r;
    if (!value || !vf_route(property, &r))
        return VEXO_STATUS_FAILURE;
    if (type == 0) {
        char buf[VEXO_VALUE_SIZE];
        if (!read_vf_value(property, r, "TxRate", buf))
            return VEXO_STATUS_FAILURE;
        set_prop_val(r.lhba, "TxRate", "%s", buf);
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    if (type != 1)
        return VEXO_STATUS_SUCCESS;
    int rate = 0;
    if (!decimal_in(value, kMinRate, kMaxRate, &rate))
        return refuse_value();
    // The rate command carries the VF's VLAN, asked of the driver afresh.
    char vlan[VEXO_VALUE_SIZE] = {};
    if (internal_get_property(r.lhba, "VLANID", vlan) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    std::string vlan_word = std::strcmp(vlan, kNotAvailable) == 0 ? "0" : vlan;
    return change_vf(r.ifname, r.vf, {"vlan", vlan_word, "rate", value});
}

VEXO_status_t handle_LinkStatus(node *property, char *value, int)
{
    VfRoute r;
    if (!value || !vf_parents(property, &r))
        return VEXO_STATUS_FAILURE;
    char buf[VEXO_VALUE_SIZE];
    if (!read_vf_value(property, r, "LinkStatus", buf))
        return VEXO_STATUS_FAILURE;
    set_prop_val(r.lhba, "LinkStatus", "%s", std::atoi(buf) != 0 ? "Up" : "Down");
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_nic_logical_link_status(node *property, char *value, int)
{
    node *phba = property ? property->parent : nullptr;
    node *adapter = phba ? phba->parent : nullptr;
    if (!adapter || !value)
        return VEXO_STATUS_FAILURE;
    if (get_logical_link_status(get_port_number(property), get_domain_id(property), get_phba_port_number(property),
                                phba, VEXO_DRIVER_NIC, instance_number(adapter)) != 0)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

extern "C" int get_vnic_name(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *vnic,
                             unsigned int driver_type)
{
    if (!vnic)
        return 1;
    IOCTL_COMMON_GET_FUNCTION_NAME_INFO_PARAMS record;
    std::memset(&record, 0, sizeof record);
    VEXO_status_t st = ioctl_get_vnic_function_name(aw_port_number, &record, domainid, phba_port,
                                                    static_cast<int>(driver_type));
    if (st == VEXO_STATUS_INVALID_OPCODE) {
        set_prop_val(vnic, "vNICEnabled", "%s", "False");
        set_prop_val(vnic, "vNICName", "%s", "");
        return 0;
    }
    if (st != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_GET_VNIC_NAME_FAILED);
        return 1;
    }
    if (le32_at(&record.data[0]) == 1) {
        const char *name = reinterpret_cast<const char *>(&record.data[4]);
        set_prop_val(vnic, "vNICEnabled", "%s", "true");
        set_prop_val(vnic, "vNICName", "%.*s", static_cast<int>(strnlen(name, 12)), name);
    } else {
        set_prop_val(vnic, "vNICEnabled", "%s", "False");
        set_prop_val(vnic, "vNICName", "%s", "");
    }
    return 0;
}

extern "C" int get_vnic_stats(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *vnic,
                              unsigned int driver_type)
{
    if (!vnic)
        return 1;
    IOCTL_COMMON_GET_PHYSICAL_FUNCTION_CONFIG_PARAMS record;
    std::memset(&record, 0, sizeof record);
    if (ioctl_get_vnic_function_stats(aw_port_number, &record, domainid, phba_port, static_cast<int>(driver_type)) !=
        VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_GET_VNIC_STATS_FAILED);
        return 1;
    }
    char vlan[16], min[16], max[16];
    std::snprintf(vlan, sizeof vlan, "%d", static_cast<int32_t>(le32_at(&record.data[4])));
    std::snprintf(min, sizeof min, "%d", static_cast<int32_t>(le32_at(&record.data[12])));
    std::snprintf(max, sizeof max, "%d", static_cast<int32_t>(le32_at(&record.data[16])));
    store_texts(vnic, vlan, min, max);
    return 0;
}

VEXO_status_t handle_nic_vnic_name_props(node *property, char *value, int)
{
    node *vnic = property ? property->parent : nullptr;
    node *function = vnic ? vnic->parent : nullptr;
    node *adapter = function ? function->parent : nullptr;
    if (!adapter || !value)
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(vnic))
        return refuse_on_vf(value);
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_VARROW) {
        vexo_set_fixed_status(VEXO_STATUS_NOT_SUPPORTED_FOR_VARROW);
        return VEXO_STATUS_FAILURE;
    }
    if (get_vnic_name(get_port_number(function), get_domain_id(function), get_phba_port_number(function), vnic,
                      VEXO_DRIVER_NIC) != 0)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_iscsi_vnic_name_props(node *property, char *value, int)
{
    node *vnic = property ? property->parent : nullptr;
    node *nic_config = vnic ? vnic->parent : nullptr;
    node *network = nic_config ? nic_config->parent : nullptr;
    node *function = network ? network->parent : nullptr;
    if (!function || !value)
        return VEXO_STATUS_FAILURE;
    if (get_vnic_name(get_port_number(function), get_domain_id(function), get_phba_port_number(function), vnic,
                      VEXO_DRIVER_ISCSI) != 0)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_nic_vnic_stats(node *property, char *value, int)
{
    node *vnic = property ? property->parent : nullptr;
    node *function = vnic ? vnic->parent : nullptr;
    if (!function || !value)
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(vnic))
        return refuse_on_vf(value);
    char enabled[VEXO_VALUE_SIZE] = {};
    if (internal_get_property(vnic, "vNICEnabled", enabled) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    return vnic_stats(property, vnic, function, enabled, VEXO_DRIVER_NIC, value);
}

VEXO_status_t handle_iscsi_vnic_stats(node *property, char *value, int)
{
    node *vnic = property ? property->parent : nullptr;
    node *nic_config = vnic ? vnic->parent : nullptr;
    node *network = nic_config ? nic_config->parent : nullptr;
    node *function = network ? network->parent : nullptr;
    if (!function || !value)
        return VEXO_STATUS_FAILURE;
    // A failed name read counts as not enabled here.
    char enabled[VEXO_VALUE_SIZE] = {};
    if (internal_get_property(vnic, "vNICEnabled", enabled) != VEXO_STATUS_SUCCESS)
        enabled[0] = '\0';
    return vnic_stats(property, vnic, function, enabled, VEXO_DRIVER_ISCSI, value);
}

extern "C" void update_nic_ifname(void)
{
    node *root = get_node(0);
    for (node *a = root ? get_first_instance(root, "Arcwright") : nullptr; a && vexo_is_instance(a);
         a = a->u.grp->multi_instance->next_instance) {
        for (node *f = get_first_instance(a, "NICPhysicalHBA"); f && vexo_is_instance(f);
             f = f->u.grp->multi_instance->next_instance)
            VEXO_update_nic_ifname(f, get_port_number(f));
    }
}
