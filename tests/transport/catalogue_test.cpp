// Every firmware command wrapper sent once to the simulated adapter, with
// the command log telling what reached the driver: opcode, subsystem,
// header version, payload length, port, domain, PCI function number,
// timeout and the driver that carried it. Then the wrappers' own rules.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "transport_fixture.h"

using namespace transporttest;
using nlohmann::json;

namespace
{

// Domain and port with bits above the low byte, which the header drops.
const uint32_t kDomain = 0x305;
const uint32_t kPort = 0x101;
const int kWantDomain = 5;
const int kWantPort = 1;

typedef std::function<int(uint8_t *)> Call;

// One helper per wrapper shape. "driver" wrappers are sent to the NIC
// callback function, "chip" wrappers to adapter instance kChipBoth (whose
// commands take the iSCSI driver), the rest to their fixed driver; payload
// lengths the caller gives are 100.
template <typename T> Call with_driver(VEXO_status_t (*fn)(int, T *, uint32_t, uint32_t, int))
{
    return [fn](uint8_t *b) { return fn(kNicCallback, reinterpret_cast<T *>(b), kDomain, kPort, VEXO_DRIVER_NIC); };
}
template <typename T> Call with_chip(VEXO_status_t (*fn)(int, T *, uint32_t, uint32_t, int))
{
    return [fn](uint8_t *b) { return fn(kIscsiCallback, reinterpret_cast<T *>(b), kDomain, kPort, kChipBoth); };
}
template <typename T> Call fixed(VEXO_status_t (*fn)(int, T *, uint32_t, uint32_t))
{
    return [fn](uint8_t *b) { return fn(1, reinterpret_cast<T *>(b), kDomain, kPort); };
}
template <typename T, typename S> Call sized_driver(VEXO_status_t (*fn)(int, T *, S, uint32_t, uint32_t, int), S len)
{
    return [fn, len](uint8_t *b) {
        return fn(kNicCallback, reinterpret_cast<T *>(b), len, kDomain, kPort, VEXO_DRIVER_NIC);
    };
}
template <typename T, typename S> Call sized_chip(VEXO_status_t (*fn)(int, T *, S, uint32_t, uint32_t, int), S len)
{
    return
        [fn, len](uint8_t *b) { return fn(kIscsiCallback, reinterpret_cast<T *>(b), len, kDomain, kPort, kChipBoth); };
}
template <typename T, typename S> Call sized(VEXO_status_t (*fn)(int, T *, S, uint32_t, uint32_t), S len)
{
    return [fn, len](uint8_t *b) { return fn(1, reinterpret_cast<T *>(b), len, kDomain, kPort); };
}
template <typename T> Call size_query(VEXO_status_t (*fn)(int, T *, uint16_t *, uint32_t, uint32_t))
{
    return [fn](uint8_t *b) {
        uint16_t len = 0;
        return fn(1, reinterpret_cast<T *>(b), &len, kDomain, kPort);
    };
}
template <typename T> Call size_chip(VEXO_status_t (*fn)(int, T *, uint16_t *, uint32_t, uint32_t, int))
{
    return [fn](uint8_t *b) {
        uint16_t len = 0;
        return fn(kIscsiCallback, reinterpret_cast<T *>(b), &len, kDomain, kPort, kChipBoth);
    };
}
Call details(int (*fn)(int, FLASHROM_PARAMS *, uint32_t, uint32_t, int))
{
    return [fn](uint8_t *b) {
        return fn(kNicCallback, reinterpret_cast<FLASHROM_PARAMS *>(b), kDomain, kPort, VEXO_DRIVER_NIC);
    };
}
Call flash_dump(VEXO_status_t (*fn)(int, FLASHROM_PARAMS *, uint32_t, uint32_t))
{
    return [fn](uint8_t *b) {
        FLASHROM_PARAMS *p = reinterpret_cast<FLASHROM_PARAMS *>(b);
        p->data_buffer_size = 8;
        return fn(kNicCallback, p, kDomain, kPort);
    };
}
Call upgrade(VEXO_status_t (*fn)(int, FLASHROM_PARAMS *, uint32_t, uint32_t, int, uint8_t))
{
    return [fn](uint8_t *b) {
        FLASHROM_PARAMS *p = reinterpret_cast<FLASHROM_PARAMS *>(b);
        p->data_buffer_size = 100;
        return fn(kNicCallback, p, kDomain, kPort, VEXO_DRIVER_NIC, 0);
    };
}
Call retrieve_fat(VEXO_status_t (*fn)(int, IOCTL_COMMON_MANAGE_FAT_PARAMS *, uint32_t, uint32_t, int))
{
    return [fn](uint8_t *b) {
        IOCTL_COMMON_MANAGE_FAT_PARAMS *p = reinterpret_cast<IOCTL_COMMON_MANAGE_FAT_PARAMS *>(b);
        p->request.read_log_length = 8;
        return fn(kIscsiCallback, p, kDomain, kPort, kChipBoth);
    };
}
Call mac_list_of(VEXO_status_t (*fn)(int, NTWK_GET_MAC_LIST_PARAMS *, uint32_t, uint32_t, int, int), int pf)
{
    return [fn, pf](uint8_t *b) {
        return fn(kNicCallback, reinterpret_cast<NTWK_GET_MAC_LIST_PARAMS *>(b), kDomain, kPort, VEXO_DRIVER_NIC, pf);
    };
}
Call clear_event_log(VEXO_status_t (*fn)(int, uint32_t, uint32_t, int))
{
    return [fn](uint8_t *) { return fn(kIscsiCallback, kDomain, kPort, kChipBoth); };
}
Call plogin_size(VEXO_status_t (*fn)(int, uint16_t *, uint32_t, uint32_t))
{
    return [fn](uint8_t *) {
        uint16_t len = 0;
        return fn(kIscsiCallback, &len, kDomain, kPort);
    };
}

struct Row {
    const char *name;
    int subsystem;
    int opcode;
    int payload;
    int version;
    const char *driver;
    int pf;
    Call call;
};

// The catalogue: subsystem, opcode, payload length, header version, the
// driver the command must take, the PCI function number in the header.
const std::vector<Row> &catalogue()
{
    static const std::vector<Row> rows = {
        {"ioctl_get_mac", 1, 1, 100, 0, "nic", 0, sized_driver(ioctl_get_mac, uint16_t(100))},
        {"ioctl_get_mac_query", 1, 1, 72, 0, "nic", 0, with_driver(ioctl_get_mac_query)},
        {"ioctl_set_mac", 1, 2, 12, 0, "nic", 0, fixed(ioctl_set_mac)},
        {"ioctl_get_NIC_link_params", 1, 5, 12, 0, "nic", 0, with_driver(ioctl_get_NIC_link_params)},
        {"ioctl_get_link_status_v1", 1, 5, 12, 1, "nic", 0, with_driver(ioctl_get_link_status_v1)},
        {"ioctl_get_flash_component_details", 1, 6, 24, 0, "nic", 0, details(ioctl_get_flash_component_details)},
        {"ioctl_get_flash_dump", 1, 6, 28, 0, "nic", 0, flash_dump(ioctl_get_flash_dump)},
        {"ioctl_erase_ROM", 1, 7, 20, 0, "nic", 0, with_driver(ioctl_erase_ROM)},
        {"ioctl_upgrade_flash", 1, 7, 32788, 0, "nic", 0, upgrade(ioctl_upgrade_flash)},
        {"ioctl_qos_get", 1, 27, 32, 0, "nic", 0, with_driver(ioctl_qos_get)},
        {"ioctl_qos_set", 1, 28, 36, 0, "nic", 0, with_driver(ioctl_qos_set)},
        {"ioctl_fetch_controller_attribs", 1, 32, 540, 0, "nic", 0, with_driver(ioctl_fetch_controller_attribs)},
        {"ioctl_common_get_flow_control", 1, 37, 4, 0, "nic", 0, with_driver(ioctl_common_get_flow_control)},
        {"ioctl_enable_disable_domains", 1, 43, 4, 0, "iscsi", 0, fixed(ioctl_enable_disable_domains)},
        {"ioctl_get_domain", 1, 44, 4, 0, "iscsi", 0, fixed(ioctl_get_domain)},
        {"ioctl_set_port_speed", 1, 57, 8, 1, "nic", 0, with_driver(ioctl_set_port_speed)},
        {"ioctl_get_fw_config", 1, 58, 156, 0, "nic", 0, with_driver(ioctl_get_fw_config)},
        {"ioctl_set_port_state", 1, 62, 4, 0, "nic", 0, with_driver(ioctl_set_port_state)},
        {"ioctl_varrow_set_port_state", 1, 62, 4, 1, "nic", 0, with_driver(ioctl_varrow_set_port_state)},
        {"ioctl_get_vnic_function_stats", 1, 64, 24, 0, "nic", 0, with_driver(ioctl_get_vnic_function_stats)},
        {"ioctl_get_boot_config", 1, 66, 8, 0, "nic", 0, with_driver(ioctl_get_boot_config)},
        {"ioctl_set_boot_config", 1, 67, 8, 0, "nic", 0, with_driver(ioctl_set_boot_config)},
        {"ioctl_clear_fat", 1, 68, 20, 0, "iscsi", 0, with_chip(ioctl_clear_fat)},
        {"ioctl_retrieve_fat", 1, 68, 28, 0, "iscsi", 0, retrieve_fat(ioctl_retrieve_fat)},
        {"ioctl_set_beacon_state", 1, 69, 4, 0, "nic", 0, with_driver(ioctl_set_beacon_state)},
        {"ioctl_get_beacon_state", 1, 70, 4, 0, "nic", 0, with_driver(ioctl_get_beacon_state)},
        {"ioctl_get_port_state", 1, 71, 4, 0, "nic", 0, with_driver(ioctl_get_port_state)},
        {"ioctl_varrow_get_port_state", 1, 71, 4, 1, "nic", 0, with_driver(ioctl_varrow_get_port_state)},
        {"ioctl_read_pci_conf", 1, 72, 264, 0, "nic", 0, with_driver(ioctl_read_pci_conf)},
        {"ioctl_read_trans_recv", 1, 73, 264, 0, "nic", 0, with_driver(ioctl_read_trans_recv)},
        {"ioctl_varrow_read_trans_recv", 1, 73, 264, 0, "nic", 0, with_driver(ioctl_varrow_read_trans_recv)},
        {"ioctl_get_oem_params", 1, 76, 44, 0, "iscsi", 0, with_chip(ioctl_get_oem_params)},
        {"ioctl_get_port_name", 1, 77, 4, 0, "nic", 0, with_driver(ioctl_get_port_name)},
        {"ioctl_get_port_name_v1", 1, 77, 4, 1, "nic", 0, with_driver(ioctl_get_port_name_v1)},
        {"ioctl_get_config_sign", 1, 78, 132, 0, "iscsi", 0, with_chip(ioctl_get_config_sign)},
        {"ioctl_set_config_sign", 1, 79, 132, 0, "iscsi", 0, with_chip(ioctl_set_config_sign)},
        {"ioctl_get_aw_conf", 1, 81, 100, 0, "iscsi", 0, sized_chip(ioctl_get_aw_conf, uint16_t(100))},
        {"ioctl_get_aw_conf_V1", 1, 81, 100, 1, "nic", 0, sized_driver(ioctl_get_aw_conf_V1, uint16_t(100))},
        {"ioctl_set_aw_conf", 1, 82, 100, 0, "iscsi", 0, sized_chip(ioctl_set_aw_conf, uint16_t(100))},
        {"ioctl_set_aw_conf_V1", 1, 82, 100, 1, "nic", 0, sized_driver(ioctl_set_aw_conf_V1, uint16_t(100))},
        {"ioctl_get_pci_func_mapping", 1, 83, 68, 0, "nic", 0, with_driver(ioctl_get_pci_func_mapping)},
        {"ioctl_get_reset_needed", 1, 84, 4, 0, "iscsi", 0, with_chip(ioctl_get_reset_needed)},
        {"ioctl_get_ncsi_attributes", 1, 86, 72, 0, "iscsi", 0, with_chip(ioctl_get_ncsi_attributes)},
        {"ioctl_set_ncsi_attributes", 1, 87, 32, 0, "iscsi", 0, with_chip(ioctl_set_ncsi_attributes)},
        {"ioctl_start_management_service", 1, 88, 0, 0, "nic", 0, with_driver(ioctl_start_management_service)},
        {"ioctl_get_varrow_vpd_data", 1, 91, 100, 1, "nic", 0, sized_driver(ioctl_get_varrow_vpd_data, uint16_t(100))},
        {"ioctl_get_vpd_data", 1, 91, 100, 0, "nic", 0, sized_driver(ioctl_get_vpd_data, uint16_t(100))},
        {"ioctl_get_ari_settings", 1, 94, 4, 0, "nic", 0, with_driver(ioctl_get_ari_settings)},
        {"ioctl_set_ari_settings", 1, 95, 4, 0, "nic", 0, with_driver(ioctl_set_ari_settings)},
        {"ioctl_get_phy_details", 1, 102, 24, 0, "nic", 0, with_driver(ioctl_get_phy_details)},
        {"ioctl_get_opg_params", 1, 108, 100, 0, "nic", 0, sized_driver(ioctl_get_opg_params, uint16_t(100))},
        {"ioctl_get_available_personalities", 1, 113, 512, 0, "nic", 0, with_driver(ioctl_get_available_personalities)},
        {"ioctl_get_configured_personality", 1, 114, 40, 0, "nic", 0,
         sized_driver(ioctl_get_configured_personality, uint16_t(40))},
        {"ioctl_get_vnic_function_name", 1, 120, 92, 0, "nic", 0, with_driver(ioctl_get_vnic_function_name)},
        {"ioctl_get_cnt_additional_attribs", 1, 121, 612, 0, "nic", 0, with_driver(ioctl_get_cnt_additional_attribs)},
        {"ioctl_get_capabilities", 1, 123, 12, 0, "iscsi", 0, with_chip(ioctl_get_capabilities)},
        {"ioctl_set_switch_type", 1, 124, 8, 0, "iscsi", 0, with_chip(ioctl_set_switch_type)},
        {"ioctl_get_extfat_capabilites", 1, 125, 100, 0, "iscsi", 0,
         sized_chip(ioctl_get_extfat_capabilites, uint16_t(100))},
        {"ioctl_set_extfat_capabilites", 1, 126, 100, 0, "iscsi", 0,
         sized_chip(ioctl_set_extfat_capabilites, uint16_t(100))},
        {"ioctl_configure_extfat_snapshot", 1, 127, 4, 0, "iscsi", 0, with_chip(ioctl_configure_extfat_snapshot)},
        {"ioctl_retrieve_extfat_snapshot", 1, 128, 100, 0, "iscsi", 0,
         sized_chip(ioctl_retrieve_extfat_snapshot, uint16_t(100))},
        {"ioctl_read_extfat_string_table", 1, 130, 100, 0, "iscsi", 0,
         sized_chip(ioctl_read_extfat_string_table, uint16_t(100))},
        {"ioctl_set_tx_throttel", 1, 132, 4, 0, "nic", 0, with_driver(ioctl_set_tx_throttel)},
        {"ioctl_get_tx_throttel", 1, 133, 4, 0, "nic", 0, with_driver(ioctl_get_tx_throttel)},
        {"ioctl_get_link_speed", 1, 134, 4, 0, "nic", 0, with_driver(ioctl_get_link_speed)},
        {"ioctl_get_mac_list", 1, 147, 532, 0, "nic", 0, with_driver(ioctl_get_mac_list)},
        {"ioctl_get_macaddress_list", 1, 147, 532, 0, "nic", 3, mac_list_of(ioctl_get_macaddress_list, 2)},
        {"ioctl_get_hsw_config", 1, 152, 16, 0, "nic", 0, fixed(ioctl_get_hsw_config)},
        {"ioctl_set_hsw_config", 1, 153, 20, 0, "nic", 0, fixed(ioctl_set_hsw_config)},
        {"ioctl_get_profile_cap", 1, 161, 100, 1, "iscsi", 0, sized_chip(ioctl_get_profile_cap, uint16_t(100))},
        {"ioctl_get_common_profile_config", 1, 164, 100, 0, "iscsi", 0,
         sized_chip(ioctl_get_common_profile_config, uint16_t(100))},
        {"ioctl_get_profile_config", 1, 164, 100, 1, "nic", 0, sized_driver(ioctl_get_profile_config, uint16_t(100))},
        {"ioctl_set_common_profile_config", 1, 165, 100, 0, "iscsi", 0,
         sized_chip(ioctl_set_common_profile_config, uint16_t(100))},
        {"ioctl_set_profile_config", 1, 165, 100, 1, "nic", 0, sized_driver(ioctl_set_profile_config, uint16_t(100))},
        {"ioctl_get_profile_list", 1, 166, 100, 0, "iscsi", 0, sized_chip(ioctl_get_profile_list, uint16_t(100))},
        {"ioctl_get_active_profile", 1, 167, 4, 0, "iscsi", 0, with_chip(ioctl_get_active_profile)},
        {"ioctl_set_active_profile", 1, 168, 4, 0, "iscsi", 0, with_chip(ioctl_set_active_profile)},
        {"ioctl_set_factory_profile_config", 1, 169, 4, 0, "nic", 0, with_driver(ioctl_set_factory_profile_config)},
        {"ioctl_set_factory_profile_config_v1", 1, 169, 4, 1, "nic", 0,
         with_driver(ioctl_set_factory_profile_config_v1)},
        {"ioctl_common_read_object_v1", 1, 171, 100, 1, "nic", 0,
         sized_driver(ioctl_common_read_object_v1, uint16_t(100))},
        {"ioctl_common_read_object_version1", 1, 171, 100, 1, "nic", 0,
         sized_driver(ioctl_common_read_object_version1, uint16_t(100))},
        {"ioctl_common_write_object_v1", 1, 172, 100, 1, "nic", 0,
         sized_driver(ioctl_common_write_object_v1, uint16_t(100))},
        {"ioctl_common_write_object_version1", 1, 172, 100, 1, "nic", 0,
         sized_driver(ioctl_common_write_object_version1, uint16_t(100))},
        {"ioctl_set_features", 1, 191, 16, 0, "iscsi", 0, with_chip(ioctl_set_features)},
        {"ioctl_get_link_reconfig", 1, 201, 100, 0, "iscsi", 0, sized_chip(ioctl_get_link_reconfig, uint16_t(100))},
        {"ioctl_set_link_reconfig", 1, 202, 4, 0, "iscsi", 0, with_chip(ioctl_set_link_reconfig)},
        {"ioctl_mgmt_flow_control", 1, 205, 8, 0, "nic", 0, fixed(ioctl_mgmt_flow_control)},
        {"ioctl_ping", 2, 6, 24, 0, "iscsi", 0, fixed(ioctl_ping)},
        {"ioctl_get_NIC_params", 2, 7, 100, 0, "iscsi", 0, sized(ioctl_get_NIC_params, uint16_t(100))},
        {"ioctl_Fetch_ARP_Table", 2, 8, 100, 0, "iscsi", 0, sized(ioctl_Fetch_ARP_Table, uint16_t(100))},
        {"ioctl_Save_Arp_Table", 2, 9, 48, 0, "iscsi", 0, fixed(ioctl_Save_Arp_Table)},
        {"ioctl_Fetch_Route_Table", 2, 10, 100, 0, "iscsi", 0, sized(ioctl_Fetch_Route_Table, uint16_t(100))},
        {"ioctl_Save_Route_Table", 2, 11, 72, 0, "iscsi", 0, fixed(ioctl_Save_Route_Table)},
        {"ioctl_set_vlan_params", 2, 14, 8, 0, "iscsi", 0, fixed(ioctl_set_vlan_params)},
        {"ioctl_config_dhcp", 2, 17, 16, 0, "iscsi", 0, fixed(ioctl_config_dhcp)},
        {"ioctl_release_dhcp", 2, 18, 8, 0, "iscsi", 0, fixed(ioctl_release_dhcp)},
        {"ioctl_fetch_ip_entry", 2, 21, 100, 0, "iscsi", 0, sized(ioctl_fetch_ip_entry, uint16_t(100))},
        {"ioctl_modify_ip_entry", 2, 21, 100, 0, "iscsi", 0, sized(ioctl_modify_ip_entry, uint32_t(100))},
        {"ioctl_get_default_gateway", 2, 22, 24, 0, "iscsi", 0, fixed(ioctl_get_default_gateway)},
        {"ioctl_set_default_gateway", 2, 23, 28, 0, "iscsi", 0, fixed(ioctl_set_default_gateway)},
        {"ioctl_get_all_if_id", 2, 24, 100, 0, "iscsi", 0, sized(ioctl_get_all_if_id, uint32_t(100))},
        {"ioctl_get_if_info_params", 2, 25, 100, 0, "iscsi", 0, sized(ioctl_get_if_info_params, uint32_t(100))},
        {"ioctl_get_if_info_params_v1", 2, 25, 100, 1, "iscsi", 0, sized(ioctl_get_if_info_params_v1, uint32_t(100))},
        {"ioctl_get_discoveryparams", 2, 28, 888, 0, "iscsi", 0, fixed(ioctl_get_discoveryparams)},
        {"ioctl_set_discoveryparams", 2, 29, 888, 0, "iscsi", 0, fixed(ioctl_set_discoveryparams)},
        {"ioctl_get_node_params", 2, 30, 760, 0, "iscsi", 0, fixed(ioctl_get_node_params)},
        {"ioctl_clear_event_log", 2, 62, 16, 0, "iscsi", 0, clear_event_log(ioctl_clear_event_log)},
        {"ioctl_get_eventlog_entries", 2, 63, 100, 0, "iscsi", 0,
         sized_chip(ioctl_get_eventlog_entries, uint16_t(100))},
        {"ioctl_get_eventlogbuffersize", 2, 63, 72, 0, "iscsi", 0, size_chip(ioctl_get_eventlogbuffersize)},
        {"ioctl_fetch_initiator_name_params", 6, 6, 260, 0, "iscsi", 0, fixed(ioctl_fetch_initiator_name_params)},
        {"ioctl_fetch_initiator_name_params_v1", 6, 6, 260, 1, "iscsi", 0, fixed(ioctl_fetch_initiator_name_params_v1)},
        {"ioctl_save_initiator_name_params", 6, 7, 260, 0, "iscsi", 0, fixed(ioctl_save_initiator_name_params)},
        {"ioctl_save_initiator_name_params_v1", 6, 7, 260, 1, "iscsi", 0, fixed(ioctl_save_initiator_name_params_v1)},
        {"ioctl_get_a_session", 6, 14, 100, 0, "iscsi", 0, sized(ioctl_get_a_session, uint16_t(100))},
        {"ioctl_get_a_session_size", 6, 14, 1164, 0, "iscsi", 0, size_query(ioctl_get_a_session_size)},
        {"ioctl_get_session_conf", 6, 16, 100, 0, "iscsi", 0, sized(ioctl_get_session_conf, uint16_t(100))},
        {"ioctl_get_sessionconfig_size", 6, 16, 276, 0, "iscsi", 0, size_query(ioctl_get_sessionconfig_size)},
        {"ioctl_set_session_conf", 6, 17, 280, 0, "iscsi", 0, fixed(ioctl_set_session_conf)},
        {"ioctl_login_target", 6, 23, 1420, 0, "iscsi", 0, fixed(ioctl_login_target)},
        {"ioctl_logout_target", 6, 24, 4, 0, "iscsi", 0, fixed(ioctl_logout_target)},
        {"ioctl_get_persistentlogins", 6, 25, 900, 0, "iscsi", 0, fixed(ioctl_get_persistentlogins)},
        {"ioctl_add_persistent_target", 6, 27, 1420, 0, "iscsi", 0, fixed(ioctl_add_persistent_target)},
        {"ioctl_del_persistent_target", 6, 28, 480, 0, "iscsi", 0, fixed(ioctl_del_persistent_target)},
        {"ioctl_get_activesessionid", 6, 29, 100, 0, "iscsi", 0, sized(ioctl_get_activesessionid, uint16_t(100))},
        {"ioctl_get_activesessionidbuffersize", 6, 29, 12, 0, "iscsi", 0,
         size_query(ioctl_get_activesessionidbuffersize)},
        {"ioctl_get_all_tgt_id", 6, 30, 100, 0, "iscsi", 0, sized(ioctl_get_all_tgt_id, uint16_t(100))},
        {"ioctl_get_all_tgt_id_buffer_size", 6, 30, 12, 0, "iscsi", 0, size_query(ioctl_get_all_tgt_id_buffer_size)},
        {"ioctl_get_a_target", 6, 32, 100, 0, "iscsi", 0, sized(ioctl_get_a_target, uint16_t(100))},
        {"ioctl_get_a_target_size", 6, 32, 816, 0, "iscsi", 0, size_query(ioctl_get_a_target_size)},
        {"ioctl_get_sendtargetsresponsesize", 6, 33, 264, 0, "iscsi", 0, size_query(ioctl_get_sendtargetsresponsesize)},
        {"ioctl_sendtargets", 6, 33, 100, 0, "iscsi", 0, sized(ioctl_sendtargets, uint16_t(100))},
        {"ioctl_sendtargets_info", 6, 34, 100, 0, "iscsi", 0, sized(ioctl_sendtargets_info, uint16_t(100))},
        {"ioctl_get_intr_inst_params", 6, 46, 264, 0, "iscsi", 0, fixed(ioctl_get_intr_inst_params)},
        {"ioctl_get_login_params", 6, 47, 520, 0, "iscsi", 0, fixed(ioctl_get_login_params)},
        {"ioctl_get_SsnAttr_params", 6, 48, 100, 0, "iscsi", 0, sized(ioctl_get_SsnAttr_params, uint16_t(100))},
        {"ioctl_get_SsnAttr_params_size", 6, 48, 1284, 0, "iscsi", 0, size_query(ioctl_get_SsnAttr_params_size)},
        {"ioctl_get_boot_target_params", 6, 52, 8, 0, "iscsi", 0, fixed(ioctl_get_boot_target_params)},
        {"ioctl_set_boot_target_params", 6, 53, 528, 0, "iscsi", 0, fixed(ioctl_set_boot_target_params)},
        {"ioctl_get_boot_lun", 6, 54, 8, 0, "iscsi", 0, fixed(ioctl_get_boot_lun)},
        {"ioctl_set_boot_lun", 6, 55, 12, 0, "iscsi", 0, fixed(ioctl_set_boot_lun)},
        {"ioctl_get_bios_cfg", 6, 57, 20, 0, "iscsi", 0, fixed(ioctl_get_bios_cfg)},
        {"ioctl_set_bios_cfg", 6, 58, 20, 0, "iscsi", 0, fixed(ioctl_set_bios_cfg)},
        {"ioctl_scsi_passthru", 6, 59, 100, 0, "iscsi", 0, sized(ioctl_scsi_passthru, uint16_t(100))},
        {"ioctl_get_plogintgtid", 6, 60, 100, 0, "iscsi", 0, sized(ioctl_get_plogintgtid, uint16_t(100))},
        {"ioctl_get_plogintgtidbuffersize", 6, 60, 40, 0, "iscsi", 0, plogin_size(ioctl_get_plogintgtidbuffersize)},
        {"ioctl_get_pcie_info", 6, 62, 4, 0, "iscsi", 0, fixed(ioctl_get_pcie_info)},
        {"ioctl_ddr_dma_test", 11, 17, 8208, 0, "iscsi", 0, with_chip(ioctl_ddr_dma_test)},
        {"ioctl_loop_back_test", 11, 18, 28, 0, "nic", 0, with_driver(ioctl_loop_back_test)},
        {"ioctl_set_loopbackmode", 11, 19, 4, 0, "nic", 0, with_driver(ioctl_set_loopbackmode)},
        {"ioctl_get_loopbackmode", 11, 20, 4, 0, "nic", 0, with_driver(ioctl_get_loopbackmode)},
        {"ioctl_get_coredump_props", 11, 21, 20, 0, "nic", 0, with_driver(ioctl_get_coredump_props)},
        {"ioctl_get_coredump_comp_props", 11, 22, 8, 0, "nic", 0, with_driver(ioctl_get_coredump_comp_props)},
        {"ioctl_get_coredump_seg_props", 11, 23, 16, 0, "nic", 0, with_driver(ioctl_get_coredump_seg_props)},
        {"ioctl_get_coredump_seg", 11, 24, 100, 0, "nic", 0, sized_driver(ioctl_get_coredump_seg, uint16_t(100))},
        {"ioctl_get_lldp_params", 15, 1, 1576, 0, "nic", 0, with_driver(ioctl_get_lldp_params)},
        {"ioctl_set_lldp_params", 15, 2, 8, 0, "nic", 0, with_driver(ioctl_set_lldp_params)},
        {"ioctl_get_lldp_stats", 15, 3, 48, 0, "nic", 0, with_driver(ioctl_get_lldp_stats)},
        {"ioctl_get_dcbx_cfg_params", 16, 1, 312, 0, "nic", 0, with_driver(ioctl_get_dcbx_cfg_params)},
        {"ioctl_get_dcbx_cfg_params_v1", 16, 1, 368, 1, "nic", 0, with_driver(ioctl_get_dcbx_cfg_params_v1)},
        {"ioctl_set_dcbx_cfg_params", 16, 2, 312, 0, "nic", 0, with_driver(ioctl_set_dcbx_cfg_params)},
        {"ioctl_set_dcbx_cfg_params_v1", 16, 2, 368, 1, "nic", 0, with_driver(ioctl_set_dcbx_cfg_params_v1)},
        {"ioctl_get_dcbx_mib_params", 16, 3, 108, 0, "nic", 0, with_driver(ioctl_get_dcbx_mib_params)},
        {"ioctl_varrow_get_dcbx_mib_params", 16, 3, 60, 0, "nic", 0, with_driver(ioctl_varrow_get_dcbx_mib_params)},
        {"ioctl_get_dcbx_mode", 16, 4, 4, 0, "nic", 0, with_driver(ioctl_get_dcbx_mode)},
        {"ioctl_set_dcbx_mode", 16, 5, 4, 0, "nic", 0, with_driver(ioctl_set_dcbx_mode)},
        {"ioctl_get_baseT_stats", 18, 8, 84, 0, "nic", 0, with_driver(ioctl_get_baseT_stats)},
        {"ioctl_get_baseT_stats_v1", 18, 8, 112, 1, "nic", 0, with_driver(ioctl_get_baseT_stats_v1)},
        {"ioctl_run_selftest", 18, 9, 555, 0, "nic", 0, with_driver(ioctl_run_selftest)},
        {"ioctl_set_nvp_value", 18, 10, 8, 0, "nic", 0, with_driver(ioctl_set_nvp_value)},
        {"ioctl_run_tdr_test", 18, 11, 24, 0, "nic", 0, with_driver(ioctl_run_tdr_test)},
        {"ioctl_get_nvp_value", 18, 12, 4, 0, "nic", 0, with_driver(ioctl_get_nvp_value)},
        {"ioctl_ffv_params", 19, 2, 36, 0, "iscsi", 0, with_chip(ioctl_ffv_params)},
        {"ioctl_read_fruvpd_data", 19, 3, 100, 0, "nic", 0, sized_driver(ioctl_read_fruvpd_data, uint16_t(100))},
        {"ioctl_get_oem_exec_cfg", 21, 4, 48, 0, "nic", 0, fixed(ioctl_get_oem_exec_cfg)},
        {"ioctl_set_oem_exec_cfg", 21, 4, 48, 0, "nic", 0, fixed(ioctl_set_oem_exec_cfg)},
    };
    return rows;
}

// The timeout the driver gets: 120 for the iSCSI driver, 30 for the NIC
// driver; opcode 18 gets 11, or 20 in the iSCSI network subsystem.
int timeout_for(const Row &r)
{
    if (r.opcode == 18)
        return r.subsystem == 2 ? 20 : 11;
    return std::string(r.driver) == "nic" ? 30 : 120;
}

class Catalogue : public TransportTest
{
};

TEST_F(Catalogue, EveryWrapperSendsItsCommand)
{
    ASSERT_EQ(175u, catalogue().size());
    std::vector<uint8_t> record(65536);
    for (const Row &r : catalogue()) {
        SCOPED_TRACE(r.name);
        clear_log();
        std::fill(record.begin(), record.end(), 0);
        r.call(record.data());
        EXPECT_EQ(0, vexo_glob.ioctl_version) << "the version switch is reset";
        EXPECT_EQ(0, vexo_glob.pf_number) << "the function switch is reset";
        std::vector<json> log = fw_log();
        ASSERT_EQ(1u, log.size()) << "one command per wrapper";
        const json &e = log[0];
        EXPECT_EQ(r.opcode, e["opcode"]);
        EXPECT_EQ(r.subsystem, e["subsystem"]);
        EXPECT_EQ(r.version, e["version"]);
        EXPECT_EQ(r.payload, e["request_length"]);
        EXPECT_EQ(kWantPort, e["port"]);
        EXPECT_EQ(kWantDomain, e["domain"]);
        EXPECT_EQ(r.pf, e["pf"]);
        EXPECT_EQ(0, e["vh"]);
        EXPECT_EQ(timeout_for(r), e["timeout"]);
        EXPECT_EQ(r.driver, e["driver"]);
        EXPECT_EQ("callback", e["path"]);
        EXPECT_EQ("answered", e["outcome"]);
    }
}

TEST_F(Catalogue, ConfigurationSignatureFollowsTheAdapterKind)
{
    IOCTL_COMMON_GET_CONFIG_SIGNATURE_PARAMS get;
    std::memset(&get, 0x5A, sizeof get);
    EXPECT_EQ(VEXO_STATUS_SUCCESS, ioctl_get_config_sign(kNicCallback, &get, 0, 0, kChipNic));
    EXPECT_EQ(0x5A, get.response.platform_unique_signature[0]) << "the record is left as it was";
    IOCTL_COMMON_SET_CONFIG_SIGNATURE_PARAMS set;
    std::memset(&set, 0, sizeof set);
    EXPECT_EQ(VEXO_STATUS_SUCCESS, ioctl_set_config_sign(kNicCallback, &set, 0, 0, kChipNic));
    EXPECT_EQ(VEXO_STATUS_FAILURE, ioctl_set_config_sign(kIscsiCallback, &set, 0, 0, kChipNone));
    EXPECT_EQ(VEXO_STATUS_FAILURE, ioctl_set_config_sign(kIscsiCallback, &set, 0, 0, kChipOther));
    EXPECT_TRUE(fw_log().empty());

    // Through the back end's helper, then read back by another command.
    EXPECT_EQ(VEXO_STATUS_SUCCESS, VEXO_set_config_signature(kIscsiCallback, kChipBoth));
    std::memset(&get, 0, sizeof get);
    EXPECT_EQ(VEXO_STATUS_SUCCESS, ioctl_get_config_sign(kIscsiCallback, &get, 0, 0, kChipBoth));
    EXPECT_EQ(3u, get.response.config_change_source);
    std::vector<json> log = fw_log();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ("iscsi", log[0]["driver"]);
    EXPECT_EQ(79, log[0]["opcode"]);
}

TEST_F(Catalogue, AdapterCommandsNeedAFunctionKind)
{
    uint8_t rec[16] = {};
    EXPECT_EQ(VEXO_STATUS_FAILURE,
              ioctl_get_reset_needed(1, reinterpret_cast<GET_RESET_NEEDED_PARAMS *>(rec), 0, 0, kChipNone));
    EXPECT_EQ(VEXO_STATUS_FAILURE,
              ioctl_get_reset_needed(1, reinterpret_cast<GET_RESET_NEEDED_PARAMS *>(rec), 0, 0, kChipOther));
    EXPECT_EQ(VEXO_STATUS_FAILURE, ioctl_clear_event_log(1, 0, 0, kChipNone));
    EXPECT_TRUE(fw_log().empty());
    ioctl_get_reset_needed(kNicCallback, reinterpret_cast<GET_RESET_NEEDED_PARAMS *>(rec), 0, 0, kChipNic);
    ASSERT_EQ(1u, fw_log().size());
    EXPECT_EQ("nic", fw_log()[0]["driver"]);
}

TEST_F(Catalogue, VersionSwitchIsResetAfterAFailure)
{
    plan_transport("invoke", 164);
    uint8_t rec[512] = {};
    EXPECT_EQ(VEXO_STATUS_FAILURE,
              ioctl_get_profile_config(kNicCallback, reinterpret_cast<GET_PROFILE_CONFIG_PARAMS *>(rec), sizeof rec, 0,
                                       0, VEXO_DRIVER_NIC));
    EXPECT_EQ(0, vexo_glob.ioctl_version);
    ioctl_get_dcbx_cfg_params(kNicCallback, reinterpret_cast<DCBX_GET_DCBX_CFG_PARAMS *>(rec), 0, 0, VEXO_DRIVER_NIC);
    std::vector<json> log = fw_log();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ(1, log[0]["version"]);
    EXPECT_EQ(0, log[1]["version"]);
}

TEST_F(Catalogue, MacListOfAnotherFunction)
{
    NTWK_GET_MAC_LIST_PARAMS list;
    std::memset(&list, 0, sizeof list);
    ASSERT_EQ(VEXO_STATUS_SUCCESS, ioctl_get_macaddress_list(kNicCallback, &list, 0, 0, VEXO_DRIVER_NIC, 2));
    EXPECT_EQ(0x22, list.response.fd_mac_address.MACAddress[5]) << "function 2's factory MAC";
    std::memset(&list, 0, sizeof list);
    ASSERT_EQ(VEXO_STATUS_SUCCESS, ioctl_get_mac_list(kNicCallback, &list, 0, 0, VEXO_DRIVER_NIC));
    EXPECT_EQ(0x20, list.response.fd_mac_address.MACAddress[5]) << "the addressed function's own";
}

TEST_F(Catalogue, ZeroPayloadsOfTheRecordlessCommands)
{
    ioctl_clear_event_log(kIscsiCallback, 0, 0, kChipBoth);
    uint16_t len = 0;
    ioctl_get_plogintgtidbuffersize(kIscsiCallback, &len, 0, 0);
    std::vector<json> log = fw_log();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ(16, log[0]["request_length"]);
    EXPECT_EQ(std::string(32, '0'), log[0]["payload"]);
    EXPECT_EQ(40, log[1]["request_length"]);
    EXPECT_EQ(std::string(80, '0'), log[1]["payload"]);
}

TEST_F(Catalogue, FlashReadBackAnswersTheStatusByte)
{
    uint8_t rec[24];
    std::memset(rec, 0x33, sizeof rec);
    plan_status(6, 2, 9);
    EXPECT_EQ(2, ioctl_get_flash_component_details(kNicCallback, reinterpret_cast<FLASHROM_PARAMS *>(rec), 0, 0,
                                                   VEXO_DRIVER_NIC));
    EXPECT_EQ(0x33, rec[16]) << "the record is left as it was";
    plan_transport("driver", 6);
    EXPECT_NE(0, ioctl_get_flash_component_details(kNicCallback, reinterpret_cast<FLASHROM_PARAMS *>(rec), 0, 0,
                                                   VEXO_DRIVER_NIC));
    EXPECT_EQ(0x33, rec[16]);
}

// Fields of a FLASHROM_PARAMS payload as the command log shows its start.
struct Chunk {
    uint32_t op_code, op_type, size, offset;
};

Chunk chunk_of(const json &e)
{
    std::string hex = e["payload"];
    auto word = [&hex](size_t at) {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | static_cast<uint32_t>(std::stoul(hex.substr((at + i) * 2, 2), nullptr, 16));
        return v;
    };
    return Chunk{word(0), word(4), word(8), word(12)};
}

TEST_F(Catalogue, FlashWritesTravelInChunks)
{
    struct Case {
        uint32_t size;
        uint8_t offset_method;
        std::vector<Chunk> chunks;
    } cases[] = {
        {32768, 0, {{1, 12, 32768, 0x100000}}},
        {32769, 0, {{2, 12, 32768, 0x100000}, {1, 12, 1, 0x100000}}},
        {40000, 1, {{2, 12, 32768, 0x100000}, {1, 12, 40000 - 32768, 0x108000}}},
        {0, 0, {}},
    };
    // The simulated adapter takes every chunk (flash contents are not kept here).
    plan_status(7, 0, 0, true);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.size);
        clear_log();
        std::vector<uint8_t> rec(20 + c.size, 0);
        FLASHROM_PARAMS *p = reinterpret_cast<FLASHROM_PARAMS *>(rec.data());
        p->op_type = 12;
        p->offset = 0x100000;
        p->data_buffer_size = c.size;
        ioctl_upgrade_flash(kNicCallback, p, 0, 0, VEXO_DRIVER_NIC, c.offset_method);
        std::vector<json> log = fw_log();
        ASSERT_EQ(c.chunks.size(), log.size());
        for (size_t i = 0; i < log.size(); ++i) {
            Chunk got = chunk_of(log[i]);
            EXPECT_EQ(32788, log[i]["request_length"]);
            EXPECT_EQ(c.chunks[i].op_code, got.op_code);
            EXPECT_EQ(c.chunks[i].op_type, got.op_type);
            EXPECT_EQ(c.chunks[i].size, got.size);
            EXPECT_EQ(c.chunks[i].offset, got.offset);
        }
    }
}

TEST_F(Catalogue, FlashWriteRefusals)
{
    struct Case {
        int status, additional;
        uint32_t op_type;
        VEXO_status_t result;
    } cases[] = {
        {1, 77, 23, VEXO_STATUS_SUCCESS}, // directory already there
        {1, 77, 12, VEXO_STATUS_FAILURE}, // the status byte itself
        {23, 87, 12, VEXO_STATUS_DIGITAL_SIGNATURE_MISSING},
        {23, 86, 12, VEXO_STATUS_INVALID_DIGITAL_SIGNATURE},
        {2, 0, 12, static_cast<VEXO_status_t>(2)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.status << "/" << c.additional << " type " << c.op_type);
        clear_log();
        plan_status(7, c.status, c.additional);
        std::vector<uint8_t> rec(20 + 70000, 0);
        FLASHROM_PARAMS *p = reinterpret_cast<FLASHROM_PARAMS *>(rec.data());
        p->op_type = c.op_type;
        p->data_buffer_size = 70000;
        EXPECT_EQ(c.result, ioctl_upgrade_flash(kNicCallback, p, 0, 0, VEXO_DRIVER_NIC, 0));
        EXPECT_EQ(1u, fw_log().size()) << "the first refused chunk ends the write";
    }
}

} // namespace
