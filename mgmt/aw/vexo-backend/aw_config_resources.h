// The legacy configuration-and-resources record of the AW2 and AW3
// generations, version 0 (opcode 81 read, opcode 82 write): a count and 16
// resource records of 52 bytes. The PCIe record of a PCI function
// (resource_type 0) is followed by the record of its personality.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_AW_CONFIG_RESOURCES_H
#define HLVD_MGMT_AW_VEXO_BACKEND_AW_CONFIG_RESOURCES_H

#include <cstddef>
#include <cstdint>

#define AW_RESOURCES_MAX 16
#define AW_CONFIG_RESOURCES_SIZE 836
#define AW_RESOURCE_TYPE_PCIE 0

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

#endif
