// Firmware command wrappers: one per firmware command, each fixing the
// command's opcode, subsystem, payload length, direction, driver and header
// version, and handing the caller's payload record to the command-buffer
// layer. The answer comes back in the same record.
//
// Arguments in one order: the function index (aw_port_number), the payload
// record, the payload length where the caller gives it, the domain and the
// physical port (low 8 bits used), and last the driver: `driver_type` (1
// iSCSI, 2 NIC) or `chip`, the adapter instance whose functions decide it.
// Results: 0 when the firmware answered status 0, 1 when nothing was sent or
// answered, else the mapped status of the firmware's answer.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_VEXO_IOCTL_H
#define HLVD_MGMT_AW_VEXO_BACKEND_VEXO_IOCTL_H

#include <cstdint>

#include "mgmt/aw/vexo-backend/ioctl_header.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl_records.h"
#include "mgmt/vexo/core/vexo_status.h"

// Flash writes travel in chunks of this many data bytes.
#define VEXO_FLASH_CHUNK 32768

// Commands with their own shape.

// Reads 4 bytes of a flash region (FLASHROM op code 4) through the first 24
// bytes of `record`; answers the firmware's status byte (0 = read), 1 when
// the command could not be built or delivered.
int ioctl_get_flash_component_details(int aw_port_number, FLASHROM_PARAMS *record, uint32_t domainId,
                                      uint32_t phba_port, int driver_type);
// One chunk of flash contents: `data_buffer_size` bytes from byte 16 of the
// record (20 + data_buffer_size bytes), through the NIC driver.
VEXO_status_t ioctl_get_flash_dump(int aw_port_number, FLASHROM_PARAMS *record, uint32_t domainId, uint32_t phba_port);
// Writes a flash component in chunks of 32768 bytes, with the running
// offset when `offset_supported` is set. 0; the firmware's status byte;
// 336 or 337 for a signature refusal; the transport's failure; 1 when its
// buffer cannot be allocated.
VEXO_status_t ioctl_upgrade_flash(int aw_port_number, FLASHROM_PARAMS *record, uint32_t domainId, uint32_t phba_port,
                                  int driver_type, uint8_t offset_supported);
// Records with a header of their own: only `params` travels.
VEXO_status_t ioctl_common_get_flow_control(int aw_port_number, IOCTL_COMMON_GET_FLOW_CONTROL *record,
                                            uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_mgmt_flow_control(int aw_port_number, IOCTL_COMMON_MANAGE_FLOW_CONTROL *record, uint32_t domainId,
                                      uint32_t phba_port);
// A chunk of the trace log: read_log_length + 20 bytes of the record.
VEXO_status_t ioctl_retrieve_fat(int aw_port_number, IOCTL_COMMON_MANAGE_FAT_PARAMS *record, uint32_t domainId,
                                 uint32_t phba_port, int chip);
// Configuration signature: an adapter with NIC functions only answers 0
// without a command; the set answers 1 for an adapter with neither kind.
VEXO_status_t ioctl_get_config_sign(int aw_port_number, IOCTL_COMMON_GET_CONFIG_SIGNATURE_PARAMS *record,
                                    uint32_t domainId, uint32_t phba_port, int chip);
VEXO_status_t ioctl_set_config_sign(int aw_port_number, IOCTL_COMMON_SET_CONFIG_SIGNATURE_PARAMS *record,
                                    uint32_t domainId, uint32_t phba_port, int chip);
// The MAC list of PCI function `pf_num` of the adapter.
VEXO_status_t ioctl_get_macaddress_list(int aw_port_number, NTWK_GET_MAC_LIST_PARAMS *record, uint32_t domainId,
                                        uint32_t phba_port, int driver_type, int pf_num);
// Issued in the caller's whole command buffer (528 bytes; 16 + RequestSize).
VEXO_status_t ioctl_get_available_personalities(int aw_port_number, IOCTL_COMMON_GET_AVAILABLE_PERSONALITIES *cmd,
                                                uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_configured_personality(int aw_port_number, IOCTL_COMMON_GET_CONFIGURED_PERSONALITY *cmd,
                                               uint16_t RequestSize, uint32_t domainId, uint32_t phba_port,
                                               int driver_type);
// 16 zero bytes of payload.
VEXO_status_t ioctl_clear_event_log(int aw_port_number, uint32_t domainId, uint32_t phba_port, int chip);
// Size query with 40 zero bytes of payload.
VEXO_status_t ioctl_get_plogintgtidbuffersize(int aw_port_number, uint16_t *pPageLength, uint32_t domainId,
                                              uint32_t phba_port);

// Commands of the common shape, in catalogue order (subsystem, opcode).
VEXO_status_t ioctl_get_mac(int aw_port_number, NTWK_MAC_QUERY_PARAMS *record, uint16_t RequestPacketSize,
                            uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_mac_query(int aw_port_number, NTWK_MAC_QUERY_PARAMS *record, uint32_t domainId,
                                  uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_set_mac(int aw_port_number, NTWK_MAC_SET_PARAMS *record, uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_NIC_link_params(int aw_port_number, LINK_STATUS_QUERY_PARAMS *record, uint32_t domainId,
                                        uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_link_status_v1(int aw_port_number, LINK_STATUS_QUERY_PARAMS_V1 *record, uint32_t domainId,
                                       uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_erase_ROM(int aw_port_number, FLASHROM_PARAMS *record, uint32_t domainId, uint32_t phba_port,
                              int driver_type);
VEXO_status_t ioctl_qos_get(int aw_port_number, GET_QOS_PARAMS *record, uint32_t domainId, uint32_t phba_port,
                            int driver_type);
VEXO_status_t ioctl_qos_set(int aw_port_number, SET_QOS_PARAMS *record, uint32_t domainId, uint32_t phba_port,
                            int driver_type);
VEXO_status_t ioctl_fetch_controller_attribs(int aw_port_number, MGMT_CONTROLLER_ATTRIBUTES *record, uint32_t domainId,
                                             uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_enable_disable_domains(int aw_port_number, ENABLE_DISABLE_DOMAINS_PARAMS *record, uint32_t domainId,
                                           uint32_t phba_port);
VEXO_status_t ioctl_get_domain(int aw_port_number, GET_DOMAIN_CONFIG_PARAMS *record, uint32_t domainId,
                               uint32_t phba_port);
VEXO_status_t ioctl_set_port_speed(int aw_port_number, SET_LINK_SPEED_PARAMS_V1 *record, uint32_t domainId,
                                   uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_fw_config(int aw_port_number, AW_FW_CFG *record, uint32_t domainId, uint32_t phba_port,
                                  int driver_type);
VEXO_status_t ioctl_set_port_state(int aw_port_number, IOCTL_COMMON_ENABLE_DISABLE_PORT_PARAMS *record,
                                   uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_varrow_set_port_state(int aw_port_number, VARROW_IOCTL_COMMON_SET_PORT_STATUS_PARAMS *record,
                                          uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_vnic_function_stats(int aw_port_number,
                                            IOCTL_COMMON_GET_PHYSICAL_FUNCTION_CONFIG_PARAMS *record, uint32_t domainId,
                                            uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_boot_config(int aw_port_number, IOCTL_COMMON_GET_BOOT_CONFIG_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_set_boot_config(int aw_port_number, IOCTL_COMMON_SET_BOOT_CONFIG_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_clear_fat(int aw_port_number, IOCTL_COMMON_MANAGE_FAT_PARAMS *record, uint32_t domainId,
                              uint32_t phba_port, int chip);
VEXO_status_t ioctl_set_beacon_state(int aw_port_number, IOCTL_COMMON_ENABLE_DISABLE_BEACON_PARAMS *record,
                                     uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_beacon_state(int aw_port_number, IOCTL_COMMON_GET_BEACON_STATE_PARAMS *record,
                                     uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_port_state(int aw_port_number, IOCTL_COMMON_GET_PORT_STATUS_PARAMS *record, uint32_t domainId,
                                   uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_varrow_get_port_state(int aw_port_number, VARROW_IOCTL_COMMON_GET_PORT_STATUS_PARAMS *record,
                                          uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_read_pci_conf(int aw_port_number, IOCTL_COMMON_READ_PCI_CONFIG_SPACE_PARAMS *record,
                                  uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_read_trans_recv(int aw_port_number, IOCTL_COMMON_READ_TRANSRECEIVER_DATA_PARAMS *record,
                                    uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_varrow_read_trans_recv(int aw_port_number, VEXO_IOCTL_COMMON_READ_TRANSRECEIVER_DATA_PARAMS *record,
                                           uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_oem_params(int aw_port_number, IOCTL_COMMON_GET_OEM_ATTRIBUTES_PARAMS *record,
                                   uint32_t domainId, uint32_t phba_port, int chip);
VEXO_status_t ioctl_get_port_name(int aw_port_number, IOCTL_COMMON_GET_PORT_NAME_PARAMS *record, uint32_t domainId,
                                  uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_port_name_v1(int aw_port_number, IOCTL_COMMON_GET_PORT_NAME_PARAMS_V1 *record,
                                     uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_aw_conf(int aw_port_number, GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS *record,
                                uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port, int chip);
VEXO_status_t ioctl_get_aw_conf_V1(int aw_port_number, GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1 *record,
                                   uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_set_aw_conf(int aw_port_number, SET_AW_CONFIGURATION_AND_RESOURCES_PARAMS *record,
                                uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port, int chip);
VEXO_status_t ioctl_set_aw_conf_V1(int aw_port_number, SET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1 *record,
                                   uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_pci_func_mapping(int aw_port_number, IOCTL_COMMON_GET_PCI_FUNCTION_MAPPING_PARAMS *record,
                                         uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_reset_needed(int aw_port_number, GET_RESET_NEEDED_PARAMS *record, uint32_t domainId,
                                     uint32_t phba_port, int chip);
VEXO_status_t ioctl_get_ncsi_attributes(int aw_port_number, IOCTL_COMMON_GET_NCSI_CONFIGURATION_PARAMS *record,
                                        uint32_t domainId, uint32_t phba_port, int chip);
VEXO_status_t ioctl_set_ncsi_attributes(int aw_port_number, IOCTL_COMMON_SET_NCSI_DYNAMIC_CONFIGURATION_PARAMS *record,
                                        uint32_t domainId, uint32_t phba_port, int chip);
VEXO_status_t ioctl_start_management_service(int aw_port_number, IOCTL_HEADER *record, uint32_t domainId,
                                             uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_varrow_vpd_data(int aw_port_number, VARROW_COMMON_GET_VPD_DATA_PARAMS_V1 *record,
                                        uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                        int driver_type);
VEXO_status_t ioctl_get_vpd_data(int aw_port_number, COMMON_GET_VPD_DATA_PARAMS *record, uint16_t RequestPacketSize,
                                 uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_ari_settings(int aw_port_number, GET_ARI_SETTINGS_PARAMS *record, uint32_t domainId,
                                     uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_set_ari_settings(int aw_port_number, SET_ARI_SETTINGS *record, uint32_t domainId,
                                     uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_phy_details(int aw_port_number, GET_PHY_DETAILS_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_opg_params(int aw_port_number, GET_OPERATING_PARAMS *record, uint16_t RequestPacketSize,
                                   uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_vnic_function_name(int aw_port_number, IOCTL_COMMON_GET_FUNCTION_NAME_INFO_PARAMS *record,
                                           uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_cnt_additional_attribs(int aw_port_number, GET_CNTL_ADDITIONAL_ATTRIBUTES_PARAMS *record,
                                               uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_capabilities(int aw_port_number, IOCTL_COMMON_GET_CAPABILITY_PARAMS *record, uint32_t domainId,
                                     uint32_t phba_port, int chip);
VEXO_status_t ioctl_set_switch_type(int aw_port_number, IOCTL_COMMON_SET_SWITCH_TYPE_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port, int chip);
VEXO_status_t ioctl_get_extfat_capabilites(int aw_port_number, GET_EXT_FAT_CAPABILITES_PARAMS *record,
                                           uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port, int chip);
VEXO_status_t ioctl_set_extfat_capabilites(int aw_port_number, SET_EXT_FAT_CAPABILITES_PARAMS *record,
                                           uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port, int chip);
VEXO_status_t ioctl_configure_extfat_snapshot(int aw_port_number, ARM_LOG_CREATE_SNAPSHOT_PARAMS *record,
                                              uint32_t domainId, uint32_t phba_port, int chip);
VEXO_status_t ioctl_retrieve_extfat_snapshot(int aw_port_number, EXT_FAT_RETRIEVE_SNAPSHOT_PARAMS *record,
                                             uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                             int chip);
VEXO_status_t ioctl_read_extfat_string_table(int aw_port_number, EXT_FAT_READ_STRING_TABLE *record,
                                             uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                             int chip);
VEXO_status_t ioctl_set_tx_throttel(int aw_port_number, SET_TX_THROTTLE_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_tx_throttel(int aw_port_number, GET_TX_THROTTLE_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_link_speed(int aw_port_number, GET_LINK_SPEED_PARAMS *record, uint32_t domainId,
                                   uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_mac_list(int aw_port_number, NTWK_GET_MAC_LIST_PARAMS *record, uint32_t domainId,
                                 uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_hsw_config(int aw_port_number, GET_HSW_CONFIG_PARAMS *record, uint32_t domainId,
                                   uint32_t phba_port);
VEXO_status_t ioctl_set_hsw_config(int aw_port_number, SET_HSW_CONFIG_PARAMS *record, uint32_t domainId,
                                   uint32_t phba_port);
VEXO_status_t ioctl_get_profile_cap(int aw_port_number, GET_PROFILE_CAPACITIES_PARAMS *record,
                                    uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port, int chip);
VEXO_status_t ioctl_get_common_profile_config(int aw_port_number, GET_COMMON_PROFILE_CONFIG_PARAMS *record,
                                              uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                              int chip);
VEXO_status_t ioctl_get_profile_config(int aw_port_number, GET_PROFILE_CONFIG_PARAMS *record,
                                       uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                       int driver_type);
VEXO_status_t ioctl_set_common_profile_config(int aw_port_number, SET_COMMON_PROFILE_CONFIG_PARAMS *record,
                                              uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                              int chip);
VEXO_status_t ioctl_set_profile_config(int aw_port_number, SET_PROFILE_CONFIG_PARAMS *record,
                                       uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                       int driver_type);
VEXO_status_t ioctl_get_profile_list(int aw_port_number, GET_PROFILE_LIST_PARAMS *record, uint16_t RequestPacketSize,
                                     uint32_t domainId, uint32_t phba_port, int chip);
VEXO_status_t ioctl_get_active_profile(int aw_port_number, GET_ACTIVE_PROFILE_PARAMS *record, uint32_t domainId,
                                       uint32_t phba_port, int chip);
VEXO_status_t ioctl_set_active_profile(int aw_port_number, SET_ACTIVE_PROFILE_PARAMS *record, uint32_t domainId,
                                       uint32_t phba_port, int chip);
VEXO_status_t ioctl_set_factory_profile_config(int aw_port_number, SET_FACTORY_PROFILE_CONFIG_PARAMS *record,
                                               uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_set_factory_profile_config_v1(int aw_port_number, SET_FACTORY_PROFILE_CONFIG_PARAMS_V1 *record,
                                                  uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_common_read_object_v1(int aw_port_number, VARROW_IOCTL_COMMON_READ_OBJECT_PARAMS_V1 *record,
                                          uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                          int driver_type);
VEXO_status_t ioctl_common_read_object_version1(int aw_port_number, READ_OBJECT_PARAMS *record,
                                                uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                                int driver_type);
VEXO_status_t ioctl_common_write_object_v1(int aw_port_number, VARROW_IOCTL_COMMON_WRITE_OBJECT_PARAMS_V1 *record,
                                           uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                           int driver_type);
VEXO_status_t ioctl_common_write_object_version1(int aw_port_number, WRITE_OBJECT_PARAMS *record,
                                                 uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                                 int driver_type);
VEXO_status_t ioctl_set_features(int aw_port_number, SET_FEATURES_PARAMS *record, uint32_t domainId, uint32_t phba_port,
                                 int chip);
VEXO_status_t ioctl_get_link_reconfig(int aw_port_number, GET_RECONFIG_LINK_INFO_PARAMS *record,
                                      uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port, int chip);
VEXO_status_t ioctl_set_link_reconfig(int aw_port_number, SET_RECONFIG_LINK_ID_PARAMS *record, uint32_t domainId,
                                      uint32_t phba_port, int chip);
VEXO_status_t ioctl_ping(int aw_port_number, PING_PARAMS *record, uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_NIC_params(int aw_port_number, NIC_CONFIG_PARAMS *record, uint16_t RequestPacketSize,
                                   uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_Fetch_ARP_Table(int aw_port_number, GET_ARP_TABLE_PARAMS *record, uint16_t RequestPacketSize,
                                    uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_Save_Arp_Table(int aw_port_number, EDIT_ARP_TABLE_PARAMS *record, uint32_t domainId,
                                   uint32_t phba_port);
VEXO_status_t ioctl_Fetch_Route_Table(int aw_port_number, GET_ROUTE_TABLE_PARAMS *record, uint16_t RequestPacketSize,
                                      uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_Save_Route_Table(int aw_port_number, EDIT_ROUTE_TABLE_PARAMS *record, uint32_t domainId,
                                     uint32_t phba_port);
VEXO_status_t ioctl_set_vlan_params(int aw_port_number, VLAN_SET_PARAMS_IN *record, uint32_t domainId,
                                    uint32_t phba_port);
VEXO_status_t ioctl_config_dhcp(int aw_port_number, CONFIGURE_STATELESS_IP_ADDR_PARAMS_IN *record, uint32_t domainId,
                                uint32_t phba_port);
VEXO_status_t ioctl_release_dhcp(int aw_port_number, RELEASE_STATELESS_IP_ADDR_PARAMS_IN *record, uint32_t domainId,
                                 uint32_t phba_port);
VEXO_status_t ioctl_fetch_ip_entry(int aw_port_number, ISCSI_IP_ADDR_RECORD_PARAMS *record, uint16_t RequestPacketSize,
                                   uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_modify_ip_entry(int aw_port_number, ISCSI_IP_ADDR_RECORD_PARAMS *record, uint32_t RequestPacketSize,
                                    uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_default_gateway(int aw_port_number, GET_DEFAULT_ROUTE_PARAMS *record, uint32_t domainId,
                                        uint32_t phba_port);
VEXO_status_t ioctl_set_default_gateway(int aw_port_number, MODIFY_DEFAULT_ROUTE_PARAMS_IN *record, uint32_t domainId,
                                        uint32_t phba_port);
VEXO_status_t ioctl_get_all_if_id(int aw_port_number, GET_ALL_IF_ID_PARAMS *record, uint32_t RequestPacketSize,
                                  uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_if_info_params(int aw_port_number, GET_IF_INFO_PARAMS *record, uint32_t RequestPacketSize,
                                       uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_if_info_params_v1(int aw_port_number, GET_IF_INFO_PARAMS_V1 *record, uint32_t RequestPacketSize,
                                          uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_discoveryparams(int aw_port_number, DISCOVERY_PARAMS *record, uint32_t domainId,
                                        uint32_t phba_port);
VEXO_status_t ioctl_set_discoveryparams(int aw_port_number, DISCOVERY_PARAMS *record, uint32_t domainId,
                                        uint32_t phba_port);
VEXO_status_t ioctl_get_node_params(int aw_port_number, GET_ISCSI_NODE_ATTRIB_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port);
VEXO_status_t ioctl_get_eventlog_entries(int aw_port_number, READ_EVENT_LOG_PARAMS *record, uint16_t RequestPacketSize,
                                         uint32_t domainId, uint32_t phba_port, int chip);
VEXO_status_t ioctl_get_eventlogbuffersize(int aw_port_number, READ_EVENT_LOG_PARAMS *record, uint16_t *pPageLength,
                                           uint32_t domainId, uint32_t phba_port, int chip);
VEXO_status_t ioctl_fetch_initiator_name_params(int aw_port_number, ISCSI_HBA_NAME_PARAMS *record, uint32_t domainId,
                                                uint32_t phba_port);
VEXO_status_t ioctl_fetch_initiator_name_params_v1(int aw_port_number, ISCSI_HBA_NAME_PARAMS *record, uint32_t domainId,
                                                   uint32_t phba_port);
VEXO_status_t ioctl_save_initiator_name_params(int aw_port_number, ISCSI_HBA_NAME_PARAMS *record, uint32_t domainId,
                                               uint32_t phba_port);
VEXO_status_t ioctl_save_initiator_name_params_v1(int aw_port_number, ISCSI_HBA_NAME_PARAMS *record, uint32_t domainId,
                                                  uint32_t phba_port);
VEXO_status_t ioctl_get_a_session(int aw_port_number, GET_A_SESSION_PARAMS *record, uint16_t RequestPacketSize,
                                  uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_a_session_size(int aw_port_number, GET_A_SESSION_PARAMS *record, uint16_t *pPageLength,
                                       uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_session_conf(int aw_port_number, GET_SESSION_CONFIGURATION_PARAMS *record,
                                     uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_sessionconfig_size(int aw_port_number, GET_SESSION_CONFIGURATION_PARAMS *record,
                                           uint16_t *pPageLength, uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_set_session_conf(int aw_port_number, SET_SESSION_CONFIGURATION_PARAMS *record, uint32_t domainId,
                                     uint32_t phba_port);
VEXO_status_t ioctl_login_target(int aw_port_number, LOGIN_TARGET_PARAMS *record, uint32_t domainId,
                                 uint32_t phba_port);
VEXO_status_t ioctl_logout_target(int aw_port_number, LOGOUT_TARGET_PARAMS *record, uint32_t domainId,
                                  uint32_t phba_port);
VEXO_status_t ioctl_get_persistentlogins(int aw_port_number, QUERY_A_PERSISTENT_LOGIN_PARAMS *record, uint32_t domainId,
                                         uint32_t phba_port);
VEXO_status_t ioctl_add_persistent_target(int aw_port_number, ADD_PERSISTENT_LOGIN_PARAMS *record, uint32_t domainId,
                                          uint32_t phba_port);
VEXO_status_t ioctl_del_persistent_target(int aw_port_number, DELETE_PERSISTENT_LOGIN_PARAMS_IN *record,
                                          uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_activesessionid(int aw_port_number, GET_ALL_SESSION_ID_PARAMS *record,
                                        uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_activesessionidbuffersize(int aw_port_number, GET_ALL_SESSION_ID_PARAMS *record,
                                                  uint16_t *pPageLength, uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_all_tgt_id(int aw_port_number, GET_ALL_DISCOVERED_TARGET_ID_PARAMS *record,
                                   uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_all_tgt_id_buffer_size(int aw_port_number, GET_ALL_DISCOVERED_TARGET_ID_PARAMS *record,
                                               uint16_t *pPageLength, uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_a_target(int aw_port_number, REPORT_A_TARGET_PARAMS *record, uint16_t RequestPacketSize,
                                 uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_a_target_size(int aw_port_number, REPORT_A_TARGET_PARAMS *record, uint16_t *pPageLength,
                                      uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_sendtargetsresponsesize(int aw_port_number, ISCSI_SEND_TARGETS_PARAMS *record,
                                                uint16_t *pPageLength, uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_sendtargets(int aw_port_number, ISCSI_SEND_TARGETS_PARAMS *record, uint16_t RequestPacketSize,
                                uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_sendtargets_info(int aw_port_number, ISCSI_RETRIEVE_PARSED_TARGET_INFO_PARAMS *record,
                                     uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_intr_inst_params(int aw_port_number, MIB_INITIATOR_INSTANCE_STATISTICS *record,
                                         uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_login_params(int aw_port_number, MIB_INTR_LOGIN_STATISTICS *record, uint32_t domainId,
                                     uint32_t phba_port);
VEXO_status_t ioctl_get_SsnAttr_params(int aw_port_number, GET_SESSION_ATTRIBUTES_PARAMS *record,
                                       uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_SsnAttr_params_size(int aw_port_number, GET_SESSION_ATTRIBUTES_PARAMS *record,
                                            uint16_t *pPageLength, uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_boot_target_params(int aw_port_number, GET_BOOT_TARGET_OUT *record, uint32_t domainId,
                                           uint32_t phba_port);
VEXO_status_t ioctl_set_boot_target_params(int aw_port_number, SET_BOOT_TARGET_IN *record, uint32_t domainId,
                                           uint32_t phba_port);
VEXO_status_t ioctl_get_boot_lun(int aw_port_number, GET_BOOT_LUN *record, uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_set_boot_lun(int aw_port_number, SET_BOOT_LUN_IN *record, uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_bios_cfg(int aw_port_number, BIOS_PARAMS *record, uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_set_bios_cfg(int aw_port_number, BIOS_PARAMS *record, uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_scsi_passthru(int aw_port_number, SCSI_PASS_THRU_PARAMS *record, uint16_t RequestPacketSize,
                                  uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_plogintgtid(int aw_port_number, GET_ALL_PLOGIN_TGTID_PORTAL_PARAMS_OUT *record,
                                    uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_get_pcie_info(int aw_port_number, MGMT_PCIE_INFO *record, uint32_t domainId, uint32_t phba_port);
VEXO_status_t ioctl_ddr_dma_test(int aw_port_number, IOCTL_LOWLEVEL_HOST_DDR_DMA_PARAMS *record, uint32_t domainId,
                                 uint32_t phba_port, int chip);
VEXO_status_t ioctl_loop_back_test(int aw_port_number, IOCTL_LOWLEVEL_LOOPBACK_TEST_PARAMS *record, uint32_t domainId,
                                   uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_set_loopbackmode(int aw_port_number, IOCTL_LOWLEVEL_SET_LOOPBACK_MODE_PARAMS *record,
                                     uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_loopbackmode(int aw_port_number, IOCTL_LOWLEVEL_GET_LOOPBACK_MODE_PARAMS *record,
                                     uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_coredump_props(int aw_port_number, IOCTL_LOWLEVEL_GET_COREDUMP_PROPERTIES_PARAMS *record,
                                       uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_coredump_comp_props(int aw_port_number,
                                            IOCTL_LOWLEVEL_GET_COREDUMP_COMPONENT_PROPERTIES_PARAMS *record,
                                            uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_coredump_seg_props(int aw_port_number,
                                           IOCTL_LOWLEVEL_GET_COREDUMP_SEGMENT_PROPERTIES_PARAMS *record,
                                           uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_coredump_seg(int aw_port_number, IOCTL_LOWLEVEL_GET_COREDUMP_SEGMENT_PARAMS *record,
                                     uint16_t RequestPacketSize, uint32_t domainId, uint32_t phba_port,
                                     int driver_type);
VEXO_status_t ioctl_get_lldp_params(int aw_port_number, LLDP_GET_LLDP_CFG_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_set_lldp_params(int aw_port_number, LLDP_SET_LLDP_CFG_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_lldp_stats(int aw_port_number, LLDP_GET_LLDP_STATS *record, uint32_t domainId,
                                   uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_dcbx_cfg_params(int aw_port_number, DCBX_GET_DCBX_CFG_PARAMS *record, uint32_t domainId,
                                        uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_dcbx_cfg_params_v1(int aw_port_number, DCBX_GET_DCBX_CFG_PARAMS_V1 *record, uint32_t domainId,
                                           uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_set_dcbx_cfg_params(int aw_port_number, DCBX_SET_DCBX_CFG_PARAMS *record, uint32_t domainId,
                                        uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_set_dcbx_cfg_params_v1(int aw_port_number, DCBX_SET_DCBX_CFG_PARAMS_V1 *record, uint32_t domainId,
                                           uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_dcbx_mib_params(int aw_port_number, GET_DCBX_MIB_INFO_PARAMS *record, uint32_t domainId,
                                        uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_varrow_get_dcbx_mib_params(int aw_port_number, VARROW_IOCTL_GET_DCBX_MIB_INFO_PARAMS *record,
                                               uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_dcbx_mode(int aw_port_number, DCBX_GET_DCBX_MODE_PARAMS *record, uint32_t domainId,
                                  uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_set_dcbx_mode(int aw_port_number, DCBX_SET_DCBX_MODE_PARAMS *record, uint32_t domainId,
                                  uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_baseT_stats(int aw_port_number, GET_10GBASET_STATS_PARAMS *record, uint32_t domainId,
                                    uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_baseT_stats_v1(int aw_port_number, GET_10GBASET_STATS_PARAMS_V1 *record, uint32_t domainId,
                                       uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_run_selftest(int aw_port_number, RUN_10GBASET_SELFTEST_PARAMS *record, uint32_t domainId,
                                 uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_set_nvp_value(int aw_port_number, SET_10GBASET_NVPVALUE_PARAMS *record, uint32_t domainId,
                                  uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_run_tdr_test(int aw_port_number, RUN_TDR_PARAMS *record, uint32_t domainId, uint32_t phba_port,
                                 int driver_type);
VEXO_status_t ioctl_get_nvp_value(int aw_port_number, GET_10GBASET_NVPVALUE_PARAMS *record, uint32_t domainId,
                                  uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_ffv_params(int aw_port_number, MANAGE_FFV_PARAMS *record, uint32_t domainId, uint32_t phba_port,
                               int chip);
VEXO_status_t ioctl_read_fruvpd_data(int aw_port_number, READ_FRU_EEPROM_PARAMS *record, uint16_t RequestPacketSize,
                                     uint32_t domainId, uint32_t phba_port, int driver_type);
VEXO_status_t ioctl_get_oem_exec_cfg(int aw_port_number, OEM_EXEC_CFG_CMD_PARAMS *record, uint32_t domainId,
                                     uint32_t phba_port);
VEXO_status_t ioctl_set_oem_exec_cfg(int aw_port_number, OEM_EXEC_CFG_CMD_PARAMS *record, uint32_t domainId,
                                     uint32_t phba_port);

#endif
