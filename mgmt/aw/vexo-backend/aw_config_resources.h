// The legacy configuration-and-resources record of the AW2 and AW3
// generations (opcode 81 read, opcode 82 write): a count and 16 resource
// records of 52 bytes (version 0) or 68 bytes (version 1). The PCIe record
// of a PCI function (resource_type 0) is followed by the record of its
// personality. Also the Varrow family's common profile configuration
// (opcode 164, version 0): a count and up to 256 records of 72 bytes.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_AW_CONFIG_RESOURCES_H
#define HLVD_MGMT_AW_VEXO_BACKEND_AW_CONFIG_RESOURCES_H

#include <cstddef>
#include <cstdint>

#include "mgmt/aw/vexo-backend/ioctl_header.h" // PCIE_RESOURCE_DESCRIPTORS

#define AW_RESOURCES_MAX 16
#define AW_CONFIG_RESOURCES_SIZE 836
#define AW_CONFIG_RESOURCES_V1_SIZE 1092
#define AW_RESOURCE_TYPE_PCIE 0

// sriov_state of a PCIe part.
#define AW_SRIOV_DISABLED 0
#define AW_SRIOV_ENABLED 1
#define AW_SRIOV_NOT_APPLICABLE 255

// Common profile configuration of the Varrow family.
#define COMMON_PROFILE_CONFIG_SIZE 18436
#define COMMON_PROFILE_MAX_RECORDS 256
// A count above this is not a configuration the reader trusts at all.
#define COMMON_PROFILE_COUNT_LIMIT 512
#define COMMON_DESC_PCIE 0x40
#define COMMON_DESC_NIC 0x41

// pf_type of a PCIe part.
#define AW_PF_TYPE_NIC 0
#define AW_PF_TYPE_ISCSI 1
#define AW_PF_TYPE_FCOE 2

#pragma pack(push, 1)

struct AW_RESOURCES_PCIE {
    uint8_t pf_num;
    uint8_t pf_state;
    uint8_t pf_type;
    uint8_t sriov_state; // 0 disabled, 1 enabled, 255 not applicable
    uint16_t msix_vectors;
    uint16_t number_of_vf;
    uint8_t msix_per_vf;
    uint8_t rsvd0[3];
    uint32_t port_num;
};

struct AW_RESOURCES_NIC {
    uint8_t pf_num;
    uint8_t vf_domain;
    uint16_t mac_unicast_count;
    uint8_t nic_mac_address_start[6];
    uint8_t mcc_queue_count;
    uint8_t rsvd0;
    uint16_t vlan_count;
    uint16_t mac_mcast_count;
    uint16_t tx_queue_count;
    uint16_t rx_queue_count;
    uint16_t rss_queue_count;
    uint16_t lro_queue_count;
    uint16_t cq_count;
    uint16_t toe_connection_count;
    uint32_t rsvd1;
};

struct AW_RESOURCES_ISCSI {
    uint8_t pf_num;
    uint8_t vf_domain;
    uint16_t session_count;
    uint16_t icd_count;
    uint16_t cq_count;
    uint8_t iscsi_mac_address[6];
    uint8_t mcc_queue_count;
    uint8_t rsvd0[5];
};

struct AW_RESOURCES_FCOE {
    uint8_t pf_num;
    uint8_t vf_domain;
    uint16_t login_count;
    uint16_t xri_count;
    uint16_t wq_count;
    uint16_t rq_count;
    uint16_t cq_count;
    uint16_t vpi_count;
    uint16_t max_fcf_count;
    uint16_t max_vfi_count;
    uint16_t rsrvd;
    uint8_t wwn[16];
    uint8_t fcoe_fip_mac_address[6];
    uint8_t mcc_queue_count;
    uint8_t rsvd0[5];
};

union RESOURCE_DESC {
    AW_RESOURCES_PCIE pcie;
    AW_RESOURCES_NIC nic;
    AW_RESOURCES_ISCSI iscsi;
    AW_RESOURCES_FCOE fcoe;
    uint32_t rdma_rsvd0;
};

struct AW_RESOURCES {
    uint8_t resource_type;
    uint8_t rsvd0[3];
    RESOURCE_DESC resource_descriptor;
};

// The answer of a read and the request of a write share this layout.
struct GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS {
    uint32_t resource_descriptor_count;
    AW_RESOURCES resources[AW_RESOURCES_MAX];
};

struct SET_AW_CONFIGURATION_AND_RESOURCES_PARAMS {
    uint32_t resource_descriptor_count;
    AW_RESOURCES resources[AW_RESOURCES_MAX];
};

struct AW_RESOURCES_PCIE_V1 {
    uint8_t pf_num;
    uint8_t pf_state;
    uint8_t pf_type;
    uint8_t rsvd0;
    uint32_t valid_fields;
    uint8_t sriov_state;
    uint8_t rsvd1;
    uint16_t msix_vectors;
    uint16_t number_of_vf;
    uint8_t msix_per_vf;
    uint8_t rsvd2;
    uint32_t port_num;
    uint8_t link_status;
    uint8_t rsvd3[43];
};

struct AW_RESOURCES_NIC_V1 {
    uint8_t pf_num;
    uint8_t vf_domain;
    uint16_t rsvd0;
    uint32_t valid_fields;
    uint16_t mac_unicast_count;
    uint8_t nic_mac_address_start[6];
    uint8_t mcc_queue_count;
    uint8_t rsvd1;
    uint16_t vlan_count;
    uint16_t mac_mcast_count;
    uint16_t tx_queue_count;
    uint16_t rx_queue_count;
    uint16_t rss_queue_count;
    uint16_t lro_queue_count;
    uint16_t cq_count;
    uint16_t toe_connection_count;
    uint8_t bw_percent;
    uint8_t rsvd2;
    uint16_t vlan_id;
    uint8_t rsvd3[26];
};

struct AW_RESOURCES_ISCSI_V1 {
    uint8_t pf_num;
    uint8_t vf_domain;
    uint16_t rsvd0;
    uint32_t valid_fields;
    uint16_t session_count;
    uint16_t icd_count;
    uint16_t cq_count;
    uint8_t iscsi_mac_address[6];
    uint8_t mcc_queue_count;
    uint8_t bw_percent;
    uint16_t vlan_id;
    uint8_t rsvd1[40];
};

struct AW_RESOURCES_FCOE_V1 {
    uint8_t pf_num;
    uint8_t vf_domain;
    uint16_t rsvd0;
    uint32_t valid_fields;
    uint16_t login_count;
    uint16_t xri_count;
    uint16_t wq_count;
    uint16_t rq_count;
    uint16_t cq_count;
    uint16_t vpi_count;
    uint16_t max_fcf_count;
    uint16_t max_vfi_count;
    uint8_t wwn[16];
    uint8_t fcoe_fip_mac_address[6];
    uint8_t mcc_queue_count;
    uint8_t bw_percent;
    uint16_t vlan_id;
    uint8_t rsvd1[14];
};

struct AW_RESOURCES_RDMA_V1 {
    uint32_t valid_fields;
    uint8_t rsvd0[60];
};

union RESOURCE_DESC_V1 {
    AW_RESOURCES_PCIE_V1 pcie;
    AW_RESOURCES_NIC_V1 nic;
    AW_RESOURCES_ISCSI_V1 iscsi;
    AW_RESOURCES_FCOE_V1 fcoe;
    AW_RESOURCES_RDMA_V1 rdma;
};

struct AW_RESOURCES_V1 {
    uint8_t resource_type;
    uint8_t rsvd0[3];
    RESOURCE_DESC_V1 resource_descriptor;
};

struct GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1 {
    uint32_t resource_descriptor_count;
    AW_RESOURCES_V1 resources[AW_RESOURCES_MAX];
};

struct SET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1 {
    uint32_t resource_descriptor_count;
    AW_RESOURCES_V1 resources[AW_RESOURCES_MAX];
};

// One record of the common profile configuration, in its three readings.
struct GENERIC_RESOURCE_DESCRIPTORS {
    uint8_t descriptor_type;
    uint8_t rsvd0[3];
    uint32_t word1; // pf_number 16-25
    uint32_t rsvd3[16];
};

struct NIC_RESOURCE_DESCRIPTORS {
    uint32_t word0; // descriptor_type 0-7, vlv 26, vft 27, qun 28, del 29, immediate 30, no_save 31
    uint32_t word1; // vf_number 0-7, pf_number 16-25
    uint16_t mac_unicast_count;
    uint8_t mac_address[6];
    uint16_t mq_count;
    uint16_t vlan_count;
    uint16_t mac_mcast_count;
    uint16_t wq_count;
    uint16_t eq_count;
    uint16_t rss_queue_count;
    uint16_t lro_queue_count;
    uint16_t cq_count;
    uint16_t toe_connection_count;
    uint16_t rsvd3;
    uint16_t vlan_id;
    uint16_t rsvd4;
    uint32_t iface_caps_flags;
    uint32_t link_word; // link_number 0-5, link_type 6-7, lmc 8, lld 9
    uint32_t bw_min;
    uint32_t bw_max;
    uint32_t rsvd5[4];
};

// Request word: profile_id bits 0-7, config_type bits 8-9. Answer: the
// count, then the records.
struct GET_COMMON_PROFILE_CONFIG_PARAMS {
    uint32_t resource_descriptor_count;
    uint8_t records[COMMON_PROFILE_MAX_RECORDS][72];
};

#pragma pack(pop)

static_assert(sizeof(AW_RESOURCES_PCIE) == 16, "PCIe part is 16 bytes");
static_assert(sizeof(AW_RESOURCES_NIC) == 32, "NIC part is 32 bytes");
static_assert(sizeof(AW_RESOURCES_ISCSI) == 20, "iSCSI part is 20 bytes");
static_assert(sizeof(AW_RESOURCES_FCOE) == 48, "FCoE part is 48 bytes");
static_assert(sizeof(AW_RESOURCES) == 52, "resource record is 52 bytes");
static_assert(sizeof(GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS) == AW_CONFIG_RESOURCES_SIZE, "836-byte buffer");
static_assert(sizeof(SET_AW_CONFIGURATION_AND_RESOURCES_PARAMS) == AW_CONFIG_RESOURCES_SIZE, "836-byte buffer");
static_assert(offsetof(AW_RESOURCES_NIC, nic_mac_address_start) == 4, "NIC MAC at 4");
static_assert(offsetof(AW_RESOURCES_ISCSI, iscsi_mac_address) == 8, "iSCSI MAC at 8");
static_assert(sizeof(AW_RESOURCES_PCIE_V1) == 64, "V1 PCIe part is 64 bytes");
static_assert(offsetof(AW_RESOURCES_PCIE_V1, sriov_state) == 8, "V1 sriov_state at 8");
static_assert(offsetof(AW_RESOURCES_PCIE_V1, link_status) == 20, "V1 link_status at 20");
static_assert(sizeof(AW_RESOURCES_NIC_V1) == 64, "V1 NIC part is 64 bytes");
static_assert(offsetof(AW_RESOURCES_NIC_V1, nic_mac_address_start) == 10, "V1 NIC MAC at 10");
static_assert(offsetof(AW_RESOURCES_NIC_V1, vlan_id) == 36, "V1 NIC vlan_id at 36");
static_assert(sizeof(AW_RESOURCES_ISCSI_V1) == 64, "V1 iSCSI part is 64 bytes");
static_assert(offsetof(AW_RESOURCES_ISCSI_V1, iscsi_mac_address) == 14, "V1 iSCSI MAC at 14");
static_assert(sizeof(AW_RESOURCES_FCOE_V1) == 64, "V1 FCoE part is 64 bytes");
static_assert(offsetof(AW_RESOURCES_FCOE_V1, fcoe_fip_mac_address) == 40, "V1 FCoE MAC at 40");
static_assert(sizeof(AW_RESOURCES_RDMA_V1) == 64, "V1 RDMA part is 64 bytes");
static_assert(sizeof(AW_RESOURCES_V1) == 68, "V1 resource record is 68 bytes");
static_assert(sizeof(GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1) == AW_CONFIG_RESOURCES_V1_SIZE, "1092-byte buffer");
static_assert(sizeof(SET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1) == AW_CONFIG_RESOURCES_V1_SIZE, "1092-byte buffer");
static_assert(sizeof(GENERIC_RESOURCE_DESCRIPTORS) == 72, "common record is 72 bytes");
static_assert(sizeof(NIC_RESOURCE_DESCRIPTORS) == 72, "common NIC record is 72 bytes");
static_assert(offsetof(NIC_RESOURCE_DESCRIPTORS, iface_caps_flags) == 40, "common NIC caps at 40");
static_assert(offsetof(NIC_RESOURCE_DESCRIPTORS, bw_min) == 48, "common NIC bw_min at 48");
static_assert(sizeof(GET_COMMON_PROFILE_CONFIG_PARAMS) == COMMON_PROFILE_CONFIG_SIZE, "18436-byte buffer");

#endif
