#include "mgmt/aw/vexo-backend/backend.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

// ===========================================================================
// LATER START-UP AND STOP STEPS
//
// The back end's start finds the adapter functions through the driver
// tables, and those come with the firmware command transport. Until then no
// function is found and the start ends as on a host without converged
// adapters: last status 313, only the root in the tree.
//
// Steps of backend_init still to come, in their order:
//   - zero protocols_bitmap and port_bitmap of vexo_glob, ioctl_version 0
//   - VEXO_config_dir_permssions (configuration directory, clock table,
//     corrupted-database check)
//   - VEXO_save_file_configuration (migration of old persistence files)
//   - valid_hba of the iSCSI and NIC tables from os_get_port_instances and
//     os_get_nic_port_instances (they replace found_functions below)
//   - VEXO_enumerate_iscsi_functions, VEXO_enumerate_nic_functions,
//     set_port_bitmap
//   - delete config_prof.txt
//   - per live Arcwright instance: VEXO_get_all_eventlog,
//     VEXO_list_available_profiles, VEXO_get_active_profiles,
//     VEXO_get_configured_profiles, VEXO_get_link_reconfig_details,
//     VEXO_get_port_discovery_config, VEXO_extfat_modules,
//     VEXO_get_ncsi_attributes, VEXO_update_oem_props,
//     VEXO_update_available_personalities, VEXO_update_current_personality,
//     VEXO_update_diagnostics_prop, VEXO_update_cntr_additional_attribs
//   - root properties VEXOServiceVersion and VEXOHierarchyVersion
//   - VEXO_set_lhba_prop
// Steps of backend_exit still to come:
//   - VEXO_free_all_node_handles
//   - os_put_port_instances, os_put_nic_port_instances
// In VEXO_init, VEXO_config_log_dir_permissions (OS services) replaces
// backend_log_dir_setup.
// ===========================================================================

namespace {

const int kServiceVersion[4] = {12, 0, 1215, 0};
const int kHierarchyVersion[2] = {10, 6};

// iSCSI and NIC functions the drivers report; see the list above.
int found_functions(int *iscsi_valid_hba, int *nic_valid_hba)
{
    *iscsi_valid_hba = 0;
    *nic_valid_hba = 0;
    return 0;
}

bool named(const node *n, const char *name)
{
    return n && n->node_name && strcasecmp(n->node_name, name) == 0;
}

bool usable_serial(const char *s)
{
    return s[0] != '\0' && strcasecmp(s, "N/A") != 0;
}

} // namespace

int backend_init()
{
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:Called.\n", __func__);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "VEXOServiceVersion   = %d.%d.%d.%d\n", kServiceVersion[0],
           kServiceVersion[1], kServiceVersion[2], kServiceVersion[3]);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "VEXOHierarchyVersion = %d.%d\n", kHierarchyVersion[0],
           kHierarchyVersion[1]);

    int iscsi_valid_hba = 0;
    int nic_valid_hba = 0;
    found_functions(&iscsi_valid_hba, &nic_valid_hba);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:iscsi_valid_hba = %d\n", __func__, iscsi_valid_hba);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:nic_valid_hba = %d\n", __func__, nic_valid_hba);
    if (iscsi_valid_hba == 0 && nic_valid_hba == 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_CRITICAL, "%s:Stratolink Adapter Not Found.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_STRATOLINK_ADAPTER_NOT_FOUND);
    }
    return 0;
}

int backend_exit()
{
    return 0;
}

int VEXO_get_pci_bus_number(node *adapter, char *bus)
{
    if (!adapter || !bus)
        return 1;
    node *phba = get_first_instance(adapter, "iSCSIPhysicalHBA");
    if (!phba)
        phba = get_first_instance(adapter, "NICPhysicalHBA");
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
        char value[VEXO_VALUE_SIZE] = "";
        if (internal_get_property(n, "SerialNumber", value) == VEXO_STATUS_SUCCESS && usable_serial(value)) {
            snprintf(serial_num, VEXO_SERIAL_NUM_SIZE, "%s", value);
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
