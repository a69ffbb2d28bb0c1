#include "mgmt/aw/vexo-backend/backend.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

#include <sys/stat.h>
#include <unistd.h>

#include "mgmt/aw/vexo-backend/adapter_startup.h"
#include "mgmt/aw/vexo-backend/login_option_loaders.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/cntr_additional_attribs.h"
#include "mgmt/aw/vexo-backend/dcbx_features.h"
#include "mgmt/aw/vexo-backend/ext_trace.h"
#include "mgmt/aw/vexo-backend/event_log.h"
#include "mgmt/aw/vexo-backend/function_attribs.h"
#include "mgmt/aw/vexo-backend/function_enum.h"
#include "mgmt/aw/vexo-backend/linux/driver_discovery.h"
#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/ncsi_config.h"
#include "mgmt/aw/vexo-backend/port_discovery.h"
#include "mgmt/aw/vexo-backend/port_state.h"
#include "mgmt/aw/vexo-backend/profile_tree.h"
#include "mgmt/aw/vexo-backend/persistence_files.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "os/atomic_file.h"
#include "os/host_env.h"

uint8_t vm_flag = 0;

namespace {

const int kServiceVersion[4] = {12, 0, 1215, 0};
const int kHierarchyVersion[2] = {10, 6};

const char kConfigProfileFile[] = "/etc/config/TAQ/vexo/config_prof.txt";

// Persistence files and the commas of each of their lines.
struct PersistenceFile {
    const char *path;
    int commas;
};
const PersistenceFile kPersistenceFiles[] = {
    {"/etc/config/TAQ/vexo/savetgt.txt", 21},
    {"/etc/config/TAQ/vexo/savestp.txt", 17},
    {"/etc/config/TAQ/vexo/intr_logopts.txt", 14},
};
const char *const kPersistenceNames[] = {"savetgt.txt", "savestp.txt", "intr_logopts.txt"};
const mode_t kSecretFileMode = 0600;

// Rebuilds the client variant tries before it gives up.
const int kMaxClientRebuilds = 8;

// Set from the driver tables' filling at start to the stop.
bool backend_started = false;
// A NIC change was seen; the tree is rebuilt at the next API entry.
bool tree_stale = false;

bool named(const node *n, const char *name)
{
    return n && n->node_name && same_name_nocase(n->node_name, name);
}

bool usable_serial(const char *s)
{
    return s[0] != '\0' && strcasecmp(s, "N/A") != 0;
}

template <typename F> void for_each_instance(node *parent, const char *name, F f)
{
    for (node *i = parent ? get_first_instance(parent, name) : nullptr; i && vexo_is_instance(i);
         i = i->u.grp->multi_instance->next_instance)
        f(i);
}

void free_handle(node *g)
{
    if (g && g->node_type == VEXO_NODE_GROUP && g->u.grp && g->u.grp->handle) {
        vexo_dfree(g->u.grp->handle);
        g->u.grp->handle = nullptr;
    }
}

// The whole of a file, or false when it cannot be read.
bool read_all(const std::string &path, std::string *out)
{
    FILE *fp = std::fopen(path.c_str(), "rb");
    if (!fp)
        return false;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0)
        out->append(buf, n);
    bool ok = !std::ferror(fp);
    std::fclose(fp);
    return ok;
}

// Runs an action of a group by name with the given parameter texts.
void run_action(node *group, const char *name, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *act = internal_get_node(group, name, VEXO_NODE_ACTION);
    if (act && act->u.act && act->u.act->func)
        act->u.act->func(group, act, params);
}

// Starts the per-adapter data of one live adapter, in the start's order.
void start_adapter(node *adapter)
{
    VEXO_get_all_eventlog(adapter);
    VEXO_list_available_profiles(adapter);
    VEXO_get_active_profiles(adapter);
    VEXO_get_configured_profiles(adapter);
    VEXO_get_link_reconfig_details(adapter, 0);
    VEXO_get_port_discovery_config(adapter);
    VEXO_extfat_modules(adapter);
    node *ncsi = internal_get_node(adapter, "NCSI", VEXO_NODE_GROUP);
    if (ncsi)
        VEXO_get_ncsi_attributes(get_port_number(adapter), get_phba_port_number(adapter), ncsi, ncsi, 0, 1);
    VEXO_update_oem_props(adapter);
    VEXO_update_available_personalities(adapter);
    VEXO_update_current_personality(adapter);
    VEXO_update_diagnostics_prop(adapter);
    VEXO_update_cntr_additional_attribs(adapter);
}

void close_tables()
{
    os_put_port_instances(vexo_glob.iscsi.os_handles, VEXO_MAX_HBA);
    os_put_nic_port_instances(vexo_glob.nic.os_handles, VEXO_MAX_HBA);
}

} // namespace

int backend_init()
{
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:Called.\n", __func__);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "VEXOServiceVersion   = %d.%d.%d.%d\n", kServiceVersion[0],
           kServiceVersion[1], kServiceVersion[2], kServiceVersion[3]);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "VEXOHierarchyVersion = %d.%d\n", kHierarchyVersion[0],
           kHierarchyVersion[1]);

    std::memset(vexo_glob.protocols_bitmap, 0, sizeof vexo_glob.protocols_bitmap);
    std::memset(vexo_glob.port_bitmap, 0, sizeof vexo_glob.port_bitmap);
    vexo_glob.ioctl_version = 0;
    tree_stale = false;
    vm_flag = 0;

    VEXO_config_dir_permssions();
    VEXO_save_file_configuration();

    vexo_glob.iscsi.valid_hba = os_get_port_instances(vexo_glob.iscsi.os_handles, VEXO_MAX_HBA);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:iscsi_valid_hba = %d\n", __func__, vexo_glob.iscsi.valid_hba);
    vexo_glob.nic.valid_hba = os_get_nic_port_instances(vexo_glob.nic.os_handles, VEXO_MAX_HBA);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:nic_valid_hba = %d\n", __func__, vexo_glob.nic.valid_hba);
    backend_started = true;

    if (vexo_glob.iscsi.valid_hba == 0 && vexo_glob.nic.valid_hba == 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_CRITICAL, "%s:Stratolink Adapter Not Found.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_STRATOLINK_ADAPTER_NOT_FOUND);
        return 0;
    }

    VEXO_enumerate_iscsi_functions();
    VEXO_enumerate_nic_functions();
    set_port_bitmap();

    VEXO_delete_file(host_path(std::string(kConfigProfileFile)).c_str());

    node *root = get_node(0);
    for_each_instance(root, "Arcwright", [](node *adapter) {
        char status[VEXO_VALUE_SIZE] = "";
        internal_get_property(adapter, "ControllerStatus", status);
        if (strcasecmp(status, "Dead") != 0)
            start_adapter(adapter);
    });

    if (root) {
        set_prop_val(root, "VEXOServiceVersion", "%d.%d.%d.%d", kServiceVersion[0], kServiceVersion[1],
                     kServiceVersion[2], kServiceVersion[3]);
        set_prop_val(root, "VEXOHierarchyVersion", "%d.%d", kHierarchyVersion[0], kHierarchyVersion[1]);
    }
    VEXO_set_lhba_prop();
    return 0;
}

int backend_exit()
{
    VEXO_free_all_node_handles();
    close_tables();
    backend_started = false;
    tree_stale = false;
    return 0;
}

int refresh_vexo_hierarchy()
{
    if (!backend_started)
        return 0;
    if (tree_stale)
        return 1;
    os_put_nic_port_instances(vexo_glob.nic.os_handles, VEXO_MAX_HBA);
    int count = os_get_nic_port_instances(vexo_glob.nic.os_handles, VEXO_MAX_HBA);
    if (count == vexo_glob.nic.valid_hba)
        return 0;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_CRITICAL, "%s:NIC functions changed from %d to %d; the tree is rebuilt.\n",
           __func__, vexo_glob.nic.valid_hba, count);
    tree_stale = true;
    os_put_nic_port_instances(vexo_glob.nic.os_handles, VEXO_MAX_HBA);
    return 1;
}

void backend_rebuild_if_stale()
{
    if (!tree_stale)
        return;
    tree_stale = false;
    if (!get_node(0))
        return;
    exit_hm();
    vexo_current_hierarchy[0] = '\0';
    init_hm();
}

bool backend_tree_stale()
{
    return tree_stale;
}

int vexo_vf_probe(int aw_port_number, node *nic_phba, node *adapter, bool *is_vf)
{
    *is_vf = false;
    if (!nic_phba || !adapter)
        return 1;
    unsigned int domain = get_domain_id(nic_phba);
    unsigned int phba_port = get_phba_port_number(nic_phba);
    int family = get_aw_type(adapter);
    VEXO_status_t status = VEXO_STATUS_SUCCESS;
    if (family == AW_TYPE_AW3) {
        IOCTL_COMMON_READ_PCI_CONFIG_SPACE_PARAMS cfg;
        std::memset(&cfg, 0, sizeof cfg);
        cfg.request.offset = 0;
        cfg.request.data_length = 64;
        status = ioctl_read_pci_conf(aw_port_number, &cfg, 0, 0, VEXO_DRIVER_NIC);
    } else if (family == AW_TYPE_TRELMONT || family == AW_TYPE_VARROW) {
        // Varrow answers the same privileged query; only its refusal counts.
        IOCTL_LOWLEVEL_GET_COREDUMP_PROPERTIES_PARAMS props;
        std::memset(&props, 0, sizeof props);
        status = ioctl_get_coredump_props(aw_port_number, &props, domain, phba_port, VEXO_DRIVER_NIC);
    } else {
        return 0;
    }
    if (status == VEXO_STATUS_NOT_SUPPORTED_FOR_VF || status == VEXO_STATUS_INSUFFICIENT_PRIVILEGE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:VEXO is running on VM\n", __func__);
        vm_flag = 1;
        *is_vf = true;
    }
    if (family == AW_TYPE_VARROW)
        return 0;
    return status == VEXO_STATUS_SUCCESS ? 0 : 1;
}

namespace {

// The function's own probe, as the enumeration recorded it.
bool function_is_vf(node *phba)
{
    char value[VEXO_VALUE_SIZE] = "";
    return internal_get_property(phba, "IsVF", value) == VEXO_STATUS_SUCCESS && strcasecmp(value, "True") == 0;
}

} // namespace

bool vexo_on_vf(node *n)
{
    for (int depth = 0; n && depth < 4096 && !named(n, "ROOT"); ++depth, n = n->parent) {
        if (n->node_type != VEXO_NODE_GROUP)
            continue;
        if (named(n, "NICPhysicalHBA"))
            return function_is_vf(n);
        if (named(n, "Arcwright")) {
            bool vf = false;
            for_each_instance(n, "NICPhysicalHBA", [&vf](node *f) { vf = vf || function_is_vf(f); });
            return vf;
        }
    }
    return false;
}

extern "C" int VEXO_check_for_vm(int aw_port_number, node *nic_phba, node *adapter)
{
    bool is_vf = false;
    return vexo_vf_probe(aw_port_number, nic_phba, adapter, &is_vf);
}

int VEXO_get_pci_bus_number(node *adapter, char *bus)
{
    if (!adapter || !bus)
        return 1;
    node *phba = target_function(adapter);
    if (!phba) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get NIC/iSCSI nodes.\n", __func__);
        return 1;
    }
    node *pci = internal_get_node(phba, "PCI", VEXO_NODE_GROUP);
    if (!pci)
        return 1;
    char value[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(pci, "BusNumber", value) != VEXO_STATUS_SUCCESS)
        return 1;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s: BusNumber = %s\n", __func__, value);
    snprintf(bus, VEXO_SERIAL_NUM_SIZE, "%s", value);
    return 0;
}

int VEXO_get_asic_serial_number(node *n, char *serial_num)
{
    if (!serial_num)
        return 1;
    serial_num[0] = '\0';
    for (int depth = 0; n && depth < 4096 && !named(n, "ROOT"); ++depth, n = n->parent) {
        if (n->node_type != VEXO_NODE_GROUP || !named(n, "Arcwright"))
            continue;
        // Every property read locks by this serial: its node is looked up
        // once while the tree keeps its shape, and copied without a format
        // call.
        group *g = n->u.grp;
        node *serial = g && g->found_shape == hm_shape_generation
                           ? g->found_node
                           : vexo_resolve_link(internal_get_node(n, "SerialNumber", VEXO_NODE_PROPERTY));
        if (g) {
            g->found_node = serial;
            g->found_shape = hm_shape_generation;
        }
        char value[VEXO_VALUE_SIZE] = "";
        if (internal_read_property_node(serial, value) == VEXO_STATUS_SUCCESS && usable_serial(value)) {
            vexo_copy_text(serial_num, VEXO_SERIAL_NUM_SIZE, value);
            return 0;
        }
        if (VEXO_get_pci_bus_number(n, serial_num) != 0) {
            serial_num[0] = '\0';
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get serial number of adapters", __func__);
            return 1;
        }
        return 0;
    }
    return 1;
}

int VEXO_enumerate_serial_numbers(int *adapter_count, char *serial_num)
{
    if (!adapter_count || !serial_num)
        return 1;
    node *root = get_node(0);
    node *a = root ? get_first_instance(root, "Arcwright") : nullptr;
    if (!a) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: adapter_count = %d\n", __func__, *adapter_count);
        return 1;
    }
    for (; a && vexo_is_instance(a); a = a->u.grp->multi_instance->next_instance) {
        if (*adapter_count < 0 || *adapter_count >= VEXO_MAX_ADAPTERS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: no room for more than %d adapters\n", __func__,
                   VEXO_MAX_ADAPTERS);
            return 1;
        }
        char *slot = serial_num + static_cast<size_t>(*adapter_count) * VEXO_SERIAL_NUM_SIZE;
        char value[VEXO_VALUE_SIZE] = "";
        if (internal_get_property(a, "SerialNumber", value) == VEXO_STATUS_SUCCESS && usable_serial(value)) {
            snprintf(slot, VEXO_SERIAL_NUM_SIZE, "%s", value);
        } else {
            char bus[VEXO_SERIAL_NUM_SIZE];
            if (VEXO_get_pci_bus_number(a, bus) != 0) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get serial number of adapters", __func__);
                return 1;
            }
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s: bus_number = %s\n", __func__, bus);
            snprintf(slot, VEXO_SERIAL_NUM_SIZE, "%s", bus);
        }
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s: serial_num = %s\n", __func__, slot);
        ++*adapter_count;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s: adapter_count = %d\n", __func__, *adapter_count);
    return 0;
}

extern "C" int VEXO_check_for_corrupted_database(void)
{
    // A damaged line costs only itself: the sound lines around it stay.
    for (const PersistenceFile &pf : kPersistenceFiles) {
        int dropped = vexo_drop_bad_lines(pf.path, pf.commas);
        if (dropped != 0)
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:%s: %d corrupted lines dropped.\n", __func__, pf.path,
                   dropped);
    }
    return 0;
}

extern "C" int VEXO_backup_old_configuration(const char *old_file, const char *new_file)
{
    if (!old_file || !new_file)
        return 1;
    std::string old_text;
    if (!read_all(old_file, &old_text)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "No old configuration file %s found\n", old_file);
        return 0;
    }
    // The target is replaced as a whole, so a stop half way leaves either
    // the old or the joined file, never a cut line.
    std::string joined;
    if (access(new_file, F_OK) == 0 && !read_all(new_file, &joined)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "Failed to open %s to backup configurations\n", new_file);
        return 1;
    }
    joined += old_text;
    // The saved iSCSI files hold CHAP secrets: owner only, also for a file
    // that exists with a wider mode (the new one takes its mode).
    chmod(new_file, kSecretFileMode);
    if (replace_file_atomically(new_file, joined.data(), joined.size(), kSecretFileMode, ATOMIC_FILE_EXACT_MODE) !=
        0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "Failed to open %s to backup configurations\n", new_file);
        return 1;
    }
    int removed = unlink(old_file);
    if (removed != 0)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "Failed to remove old files %s\n", old_file);
    return removed;
}

extern "C" int VEXO_save_file_configuration(void)
{
    const char *const renamed_dirs[] = {"/scratch/Orvane/", "/scratch/halvorad/vexo/"};
    const char *const appended_dirs[] = {"/scratch/config/TAQ/vexo/", "/scratch/halvorad/vexo/"};
    for (const char *dir : renamed_dirs) {
        for (const char *name : kPersistenceNames) {
            std::string from = host_path(std::string(dir) + name);
            std::string to = host_path(std::string("/etc/config/TAQ/vexo/") + name);
            if (std::rename(from.c_str(), to.c_str()) == 0)
                chmod(to.c_str(), kSecretFileMode);
        }
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "rename all the configuration files!\n");
    int status = 0;
    for (const char *dir : appended_dirs) {
        for (const char *name : kPersistenceNames) {
            std::string from = host_path(std::string(dir) + name);
            std::string to = host_path(std::string("/etc/config/TAQ/vexo/") + name);
            status |= VEXO_backup_old_configuration(from.c_str(), to.c_str());
        }
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:status = %d\n", __func__, status);
    return 0;
}

extern "C" int VEXO_free_all_node_handles(void)
{
    for_each_instance(get_node(0), "Arcwright", [](node *adapter) {
        dcbx_release_entry_indexes(adapter);
        for_each_instance(adapter, "NICPhysicalHBA", free_handle);
        for_each_instance(adapter, "iSCSIPhysicalHBA", [](node *iscsi) {
            free_handle(iscsi);
            node *network = internal_get_node(iscsi, "Network", VEXO_NODE_GROUP);
            free_handle(network ? internal_get_node(network, "TCPIPConfiguration", VEXO_NODE_GROUP) : nullptr);
            node *logical = get_first_instance(iscsi, "LogicalHBA");
            for_each_instance(logical, "Target", [](node *target) {
                for_each_instance(target, "Session", [](node *session) {
                    free_handle(session);
                    for_each_instance(session, "Connection", free_handle);
                });
                for_each_instance(target, "LUN", free_handle);
            });
        });
    });
    return 0;
}

extern "C" int VEXO_backend_client_bdf(unsigned int driver_type)
{
    const char *kind = driver_type == VEXO_DRIVER_ISCSI ? "iSCSIPhysicalHBA" : "NICPhysicalHBA";
    node *root = get_node(0);
    for (node *a = root ? get_first_instance(root, "Arcwright") : nullptr; a && vexo_is_instance(a);
         a = a->u.grp->multi_instance->next_instance) {
        node *f = get_first_instance(a, kind);
        if (!f)
            return 0;
        for (; f && vexo_is_instance(f); f = f->u.grp->multi_instance->next_instance) {
            MGMT_CONTROLLER_ATTRIBUTES attrs;
            std::memset(&attrs, 0, sizeof attrs);
            if (ioctl_fetch_controller_attribs(get_port_number(f), &attrs, 0, get_phba_port_number(f),
                                               static_cast<int>(driver_type)) != VEXO_STATUS_SUCCESS)
                return 0;
            char bus[16], fun[16], serial[VEXO_SERIAL_TEXT_SIZE];
            std::snprintf(bus, sizeof bus, "0x%x", attrs.pci_bus_number);
            std::snprintf(fun, sizeof fun, "0x%x", attrs.pci_function_number);
            size_t n = strnlen(attrs.hba_attribs.controller_serial_number,
                               sizeof attrs.hba_attribs.controller_serial_number);
            std::memcpy(serial, attrs.hba_attribs.controller_serial_number, n);
            serial[n] = '\0';
            node *pci = internal_get_node(f, "PCI", VEXO_NODE_GROUP);
            node *bus_node = pci ? internal_get_node(pci, "BusNumber", VEXO_NODE_PROPERTY) : nullptr;
            node *fun_node = pci ? internal_get_node(pci, "FunctionNumber", VEXO_NODE_PROPERTY) : nullptr;
            node *serial_node = internal_get_node(a, "SerialNumber", VEXO_NODE_PROPERTY);
            if (!bus_node || !fun_node || !serial_node)
                return 0;
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:serial_number = %s asn = %s\n", __func__, serial,
                   serial_node->u.prop->val);
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:bus=%s fun=%s bus_node->u.prop->val=%s fun_node->u.prop->val=%s\n",
                   __func__, bus, fun, bus_node->u.prop->val, fun_node->u.prop->val);
            if (std::strcmp(serial, "0") != 0 && strcasecmp(serial_node->u.prop->val, "N/A") != 0 &&
                (strcasecmp(bus, bus_node->u.prop->val) != 0 || std::strcmp(serial, serial_node->u.prop->val) != 0))
                return 1;
        }
    }
    return 0;
}

extern "C" int backend_client_init(int client_count)
{
    if (client_count > 1)
        return 0;
    for (int attempt = 0; attempt < kMaxClientRebuilds; ++attempt) {
        bool changed = false;
        os_put_port_instances(vexo_glob.iscsi.os_handles, VEXO_MAX_HBA);
        int iscsi = os_get_port_instances(vexo_glob.iscsi.os_handles, VEXO_MAX_HBA);
        if (iscsi != vexo_glob.iscsi.valid_hba) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_CRITICAL, "%s:There is a change in VEXO iSCSI hierarchy.\n", __func__);
            changed = true;
        }
        os_put_nic_port_instances(vexo_glob.nic.os_handles, VEXO_MAX_HBA);
        int nic = os_get_nic_port_instances(vexo_glob.nic.os_handles, VEXO_MAX_HBA);
        if (nic != vexo_glob.nic.valid_hba) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_CRITICAL, "%s:There is a change in VEXO NIC hierarchy.\n", __func__);
            changed = true;
        }
        if (!changed && iscsi > 0) {
            changed = VEXO_backend_client_bdf(VEXO_DRIVER_ISCSI) != 0;
            if (!changed)
                VEXO_refresh_backend_client_iscsi_tgts();
        }
        if (!changed && nic == 0) {
            if (iscsi > 0)
                return 0;
            vexo_set_fixed_status(VEXO_STATUS_NO_CONTROLLER);
            return 1;
        }
        if (!changed)
            changed = VEXO_backend_client_bdf(VEXO_DRIVER_NIC) != 0;
        if (!changed) {
            node *root = get_node(0);
            node *first = root ? get_first_instance(root, "Arcwright") : nullptr;
            for_each_instance(root, "Arcwright", [](node *adapter) {
                for_each_instance(adapter, "NICPhysicalHBA", [](node *f) {
                    VEXO_update_nic_ifname(f, get_port_number(f));
                    VEXO_update_nic_port_number(f, get_port_number(f));
                });
            });
            return first ? 0 : 1;
        }
        exit_hm();
        vexo_current_hierarchy[0] = '\0';
        if (init_hm() != 0)
            return 1;
    }
    return 1;
}

extern "C" int backend_client_exit(int client_count)
{
    if (client_count != 0)
        return 0;
    for_each_instance(get_node(0), "Arcwright", [](node *adapter) {
        for_each_instance(adapter, "PortDiscoveryAndConfiguration", [](node *port) {
            char state[VEXO_VALUE_SIZE] = "";
            if (internal_get_property(port, "BeaconState", state) == VEXO_STATUS_SUCCESS &&
                strcasecmp(state, "Enabled") == 0) {
                char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
                std::snprintf(params[2], VEXO_VALUE_SIZE, "Disabled");
                do_Beacon(port, internal_get_node(port, "Beacon", VEXO_NODE_ACTION), params);
            }
        });
        node *diagnostics = internal_get_node(adapter, "Diagnostics", VEXO_NODE_GROUP);
        if (!diagnostics)
            return;
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j) {
                char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
                std::snprintf(params[0], VEXO_VALUE_SIZE, "%d", i);
                std::snprintf(params[1], VEXO_VALUE_SIZE, "%d", j);
                run_action(diagnostics, "ExitLoopBackMode", params);
            }
        }
    });
    close_tables();
    return 0;
}
