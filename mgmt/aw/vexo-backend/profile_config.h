// Profile configuration of a converged adapter: the SLI-4 resource
// descriptors in which the firmware keeps the adapter's PCI-function layout,
// the read of one configuration (VEXO_get_profile), and a walk over the
// descriptors of an answer that never leaves the answer's buffer.
//
// Records are little-endian; bit numbers count from the least significant
// bit of the 32-bit word at the given byte offset.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_PROFILE_CONFIG_H
#define HLVD_MGMT_AW_VEXO_BACKEND_PROFILE_CONFIG_H

#include <cstddef>
#include <cstdint>

#include "mgmt/vexo/core/hm_types.h"

// Buffer of a profile-configuration read: the 4-byte header and room for
// 257 descriptors of 88 bytes.
#define VEXO_PROFILE_CONFIG_SIZE 22620
// Request of a one-descriptor configuration write.
#define VEXO_SET_PROFILE_ONE_DESC_SIZE 184

// config_type of a read.
#define PROFILE_CONFIG_CONFIGURED 0
#define PROFILE_CONFIG_PROFILE 1
#define PROFILE_CONFIG_ACTIVE 2

// Descriptor type codes (byte 0 of every descriptor).
#define RESC_DESC_PCIE 0x50
#define RESC_DESC_NIC 0x51
#define RESC_DESC_ISCSI 0x52
#define RESC_DESC_FCOE 0x53
#define RESC_DESC_RDMA 0x54
#define RESC_DESC_PORT 0x55
#define RESC_DESC_ISAP 0x56
// Length of every descriptor but the ISAP one.
#define RESC_DESC_SIZE 88

// Bits of word 0 of the NIC, iSCSI, FCoE and RDMA descriptors.
#define RESC_DESC_MAC_ADDR_VALID (1u << 25)
#define RESC_DESC_VF_TEMPLATE (1u << 27)
#define RESC_DESC_IMMEDIATE (1u << 30)
#define RESC_DESC_NO_SAVE (1u << 31)

// pf_number: bits 16-25 of the word at offset 4 of a function descriptor.
#define RESC_DESC_PF_SHIFT 16
#define RESC_DESC_PF_MASK 0x3FFu

#pragma pack(push, 1)

// Read of a profile configuration (opcode 164, version 1). Request word:
// profile_id bits 0-7, config_type bits 8-9, census_mode bit 10. Answer
// word: resource_descriptor_count bits 0-15; the descriptors follow.
struct GET_PROFILE_CONFIG_PARAMS {
    uint32_t word0;
    uint8_t resources[VEXO_PROFILE_CONFIG_SIZE - 4];
};

// Write of a profile configuration (opcode 165, version 1), in its
// one-descriptor form. word0: profile_id bits 0-7, ISAP bit 31. A
// whole-table write uses a longer buffer of the same head.
struct SET_PROFILE_CONFIG_PARAMS {
    uint32_t word0;
    uint32_t resource_descriptor_count;
    uint8_t resources[VEXO_SET_PROFILE_ONE_DESC_SIZE - 8];
};

// NIC personality of a PCI function (0x51).
struct SLI4_RESC_DESC_NIC {
    uint32_t word0; // res_desc_type 0-7, descriptor_length 8-15, flag bits above
    uint32_t word1; // vf_number 0-7, pf_number 16-25
    uint16_t mac_unicast_count;
    uint8_t mac_address[6];
    uint16_t mq_count;
    uint16_t vlan_count;
    uint16_t mac_mcast_count;
    uint16_t wq_count;
    uint16_t rq_count;
    uint16_t rss_queue_count;
    uint16_t lro_queue_count;
    uint16_t cq_count;
    uint16_t toe_conn_count;
    uint16_t eq_count;
    uint16_t vlan_id;
    uint16_t iface_count;
    uint32_t iface_caps_flags;
    uint32_t link_word; // link_number 0-5, link_type 6-7, lmc 8, lld 9, channel_id 16-27, channel_id_type 28-31
    uint32_t bw_min;
    uint32_t bw_max;
    uint32_t wol_word;
    uint16_t tunnel_iface_count;
    uint16_t direct_tenant_iface_count;
    uint16_t roc_wq_count;
    uint16_t dpp_wq_count;
    uint32_t rsvd5[5];
};

// iSCSI personality of a PCI function (0x52).
struct SLI4_RESC_DESC_ISCSI {
    uint32_t word0;
    uint32_t word1; // vf_number 0-7, pf_number 16-25
    uint16_t session_count;
    uint16_t icd_count;
    uint16_t cq_count;
    uint8_t iscsi_mac_address[6];
    uint8_t mq_count;
    uint8_t rsvd4;
    uint16_t vlan_id;
    uint16_t connection_count;
    uint16_t eq_count;
    uint16_t rbq_count;
    uint16_t vlan_count;
    uint32_t link_word;
    uint32_t bw_min;
    uint32_t bw_max;
    uint32_t iops_min;
    uint32_t iops_max;
    uint32_t rsvd6[9];
};

#pragma pack(pop)

static_assert(sizeof(GET_PROFILE_CONFIG_PARAMS) == VEXO_PROFILE_CONFIG_SIZE, "profile configuration buffer");
static_assert(sizeof(SET_PROFILE_CONFIG_PARAMS) == VEXO_SET_PROFILE_ONE_DESC_SIZE, "one-descriptor write");
static_assert(sizeof(SLI4_RESC_DESC_NIC) == RESC_DESC_SIZE, "NIC descriptor is 88 bytes");
static_assert(sizeof(SLI4_RESC_DESC_ISCSI) == RESC_DESC_SIZE, "iSCSI descriptor is 88 bytes");
static_assert(offsetof(SLI4_RESC_DESC_NIC, mac_address) == 10, "NIC MAC at 10");
static_assert(offsetof(SLI4_RESC_DESC_NIC, link_word) == 44, "NIC link word at 44");
static_assert(offsetof(SLI4_RESC_DESC_NIC, tunnel_iface_count) == 60, "NIC tunnel count at 60");
static_assert(offsetof(SLI4_RESC_DESC_ISCSI, iscsi_mac_address) == 14, "iSCSI MAC at 14");
static_assert(offsetof(SLI4_RESC_DESC_ISCSI, bw_min) == 36, "iSCSI bw_min at 36");

// Descriptor type, length and PCI function number of the descriptor at
// `desc` (which holds at least 8 bytes).
inline uint8_t resc_desc_type(const uint8_t *desc)
{
    return desc[0];
}
inline uint8_t resc_desc_length(const uint8_t *desc)
{
    return desc[1];
}
uint32_t resc_desc_word(const uint8_t *desc, size_t offset);
inline uint32_t resc_desc_pf_number(const uint8_t *desc)
{
    return (resc_desc_word(desc, 4) >> RESC_DESC_PF_SHIFT) & RESC_DESC_PF_MASK;
}

// A walk over the descriptors of one read answer.
struct profile_walk {
    const uint8_t *next; // the descriptor the next step gives
    const uint8_t *end;  // end of the answer's buffer
    uint32_t left;       // descriptors the answer still announces
    bool malformed;      // a descriptor was too short or ran past the buffer
};

// Starts a walk over `answer` (a whole read buffer of `size` bytes).
void profile_walk_start(profile_walk *w, const GET_PROFILE_CONFIG_PARAMS *answer, size_t size);
// The next descriptor, stepping by its own length; null at the end of the
// list, and null with `malformed` set for a descriptor shorter than 8 bytes
// or one that does not lie wholly inside the buffer.
const uint8_t *profile_walk_next(profile_walk *w);

extern "C" {
// Reads one configuration of `adapter` (an Arcwright group) through its
// first iSCSI, else NIC, function. A counted buffer of 22620 bytes that the
// caller releases with vexo_dfree, or null: with last status 16 when no
// memory was had, 278 when the command failed, none when the adapter has no
// function.
GET_PROFILE_CONFIG_PARAMS *VEXO_get_profile(node *adapter, int config_type, int profile_id, int census_mode);
}

#endif
