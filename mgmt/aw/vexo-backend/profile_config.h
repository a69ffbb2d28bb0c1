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
// Most PCI functions a whole-table write carries.
#define VEXO_PROFILE_MAX_FUNCTIONS 256
// Read buffers of the profile list, capacities and link reconfiguration.
#define VEXO_PROFILE_LIST_SIZE 52120
#define VEXO_PROFILE_LIST_ENTRIES 101
#define VEXO_PROFILE_CAPS_SIZE 10284
#define VEXO_RECONFIG_LINK_SIZE 1196
#define VEXO_LINK_CONFIG_ENTRIES 33

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
#define RESC_DESC_ISAP_SIZE 68
// Capacity descriptor types of a profile.
#define CAPS_DESC_PCIE 0x90
#define CAPS_DESC_NIC 0x91
#define CAPS_DESC_ISCSI 0x92
#define CAPS_DESC_FCOE 0x93
#define CAPS_DESC_ROCE 0x94

// Protocol codes of pf_type; any other configured protocol is written as a
// disabled function.
#define PROFILE_PF_NIC 1
#define PROFILE_PF_ISCSI 2
#define PROFILE_PF_FCOE 4
#define PROFILE_PF_ROCE 8
#define PROFILE_PF_NONE 15

// mission_roles bits of a PCIe descriptor.
#define PROFILE_ROLE_NIC 0x1
#define PROFILE_ROLE_ISCSI 0x2
#define PROFILE_ROLE_FCOE 0x4
#define PROFILE_ROLE_ROCE 0x8
#define PCIE_PRESENTATION_CHG (1u << 27)
#define PCIE_SRIOV_STATE_CHG (1u << 28)

// Request word bits of the set-profile, set-active-profile, link and ARI
// writes.
#define SET_PROFILE_ISAP (1u << 31)
#define PROFILE_FACTORY_DEFAULT (1u << 31)
// Answer word of the ARI settings read: next_max_pf_id 0-7, max_pf_id
// 8-15, active_max_pf_id 16-23, cari 31.
#define ARI_MAX_PF_SHIFT 8
#define ARI_ACTIVE_MAX_PF_SHIFT 16
#define ARI_CARI (1u << 31)

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


// PCI physical function (0x50).
struct SLI4_RESC_DESC_PCIE {
    uint32_t word0; // res_desc_type 0-7, descriptor_length 8-15, immediate 30, no_save 31
    uint32_t word1; // pf_number 16-25
    uint32_t rsvd3;
    uint8_t sriov_state; // 0 disabled, 1 enabled
    uint8_t pf_state;    // 1 enabled, 0 disabled
    uint8_t pf_type;     // protocol code
    uint8_t rsvd4;
    uint16_t number_vfs;
    uint16_t rsvd5;
    uint32_t roles_word; // mission_roles 0-7, presentation_chg 27, sriov_state_chg 28, xrom_chg 29, xrom 30-31
    uint32_t rsvd7[16];
};

// FCoE personality of a PCI function (0x53).
struct VEXO_SLI4_RESC_DESC_FCOE {
    uint32_t word0;
    uint32_t word1; // vf_number 0-7, pf_number 16-25
    uint16_t rpi_count;
    uint16_t xri_count;
    uint16_t wq_count;
    uint16_t rq_count;
    uint16_t cq_count;
    uint16_t vpi_count;
    uint16_t fcfi_count;
    uint16_t vfi_count;
    uint8_t wwnn[8];
    uint8_t wwpn[8];
    uint8_t enode_mac[6];
    uint16_t channel_word; // channel_id 0-11, channel_id_type 12-15
    uint16_t vlan_id;
    uint16_t rsvd4;
    uint32_t link_word; // link_number 0-5, link_type 6-7, lmc 8, lld 9, eq_count 16-31
    uint32_t bw_min;
    uint32_t bw_max;
    uint32_t iops_min;
    uint32_t iops_max;
    uint32_t rsvd6[4];
};

// RoCE resources of a NIC function (0x54); no port or MAC of its own.
struct SLI4_RESC_DESC_RDMA {
    uint32_t word0;
    uint32_t word1; // vf_number 0-7, pf_number 16-25
    uint32_t max_qp;
    uint16_t max_pd;
    uint16_t max_mr;
    uint16_t max_mw;
    uint16_t max_fmr;
    uint16_t max_frmr;
    uint16_t max_mcast_group;
    uint16_t max_dpp_qp;
    uint16_t max_srq;
    uint16_t max_rpir_qp;
    uint16_t max_dpp_pd;
    uint16_t rsvd4;
    uint16_t max_dpp_credits;
    uint32_t rsvd5[13];
};

// One physical port (0x55).
struct SLI4_RESC_DESC_PORT {
    uint32_t word0;
    uint32_t link_word;   // link_number 0-5, link_type 6-7, mc_type 8-15
    uint32_t nv_word;     // nv_type 0-1, socvid 2, sicvid 3, rcvid 4, dcbx_capability 5-6, nv_port_protocol 16-31
    uint8_t pf_counts[12]; // pairs of 12-bit counts: max_pf/max_storage_pf, max_nic_pf/max_roce_pf, max_iscsi_pf/max_fcoe_pf
    uint32_t rsvd9[16];
};

// Multichannel types of the ports (0x56), last in a whole-table write.
struct SLI4_RESC_DESC_ISAP {
    uint32_t word0;
    uint32_t iscsi_word; // iscsi_tgt 0, iscsi_ini 1, iscsi_DIF 2
    uint32_t rsvd2[3];
    uint32_t fcoe_word; // fcoe_tgt 0, fcoe_ini 1, fcoe_DIF 2
    uint32_t rsvd4[7];
    uint8_t MC_Type[4]; // ports 0 to 3
    uint32_t rsvd5[3];
};

// Profile list (opcode 166): one entry.
struct SLI4_PROFILE_DESC {
    uint8_t profile_id;
    uint8_t rsvd0;
    uint8_t profile_index;
    uint8_t rsvd1;
    char profile_description_string[512];
};

// Profile list read: request start_profile_index (0) in byte 0; answer
// profile_descriptor_count, then the entries.
struct GET_PROFILE_LIST_PARAMS {
    uint32_t profile_descriptor_count;
    SLI4_PROFILE_DESC profile_descriptor[VEXO_PROFILE_LIST_ENTRIES];
};

struct SLI4_CAPS_DESC_HEADER {
    uint8_t caps_desc_type;
    uint8_t descriptor_length;
    uint8_t rsvd0[2];
};

// PCIe capacity of a profile (0x90).
struct SLI4_CAPS_DESC_PCIE {
    SLI4_CAPS_DESC_HEADER capHeader;
    uint8_t max_pf_num;
    uint8_t rsvd0;
    uint8_t mission_roles;
    uint8_t rsvd1;
    uint16_t total_func;
    uint16_t rsvd2;
    uint32_t rsvd3[7];
};

// Profile capacities read (opcode 161): request profile_id in byte 0;
// answer capacity_descriptor_count, then descriptors of their own lengths.
struct GET_PROFILE_CAPACITIES_PARAMS {
    uint32_t capacity_descriptor_count;
    uint8_t descriptors[VEXO_PROFILE_CAPS_SIZE - 4];
};

// Active profile read (opcode 167); the request word is 0.
struct GET_ACTIVE_PROFILE_PARAMS_OUT {
    uint16_t active_profile_id;
    uint16_t next_active_profile_id;
};

struct LINK_CONFIG_DESC {
    uint32_t word0; // link_config_id in bits 24-31
    char link_config_desc_string[32];
};

// Link reconfiguration read (opcode 201).
struct GET_RECONFIG_LINK_INFO_PARAMS {
    uint8_t active_link_config_id;
    uint8_t rsvd0;
    uint8_t next_link_config_id;
    uint8_t rsvd1;
    uint32_t link_config_descriptor_count;
    LINK_CONFIG_DESC link_config_desc[VEXO_LINK_CONFIG_ENTRIES];
};

// Reset-needed read (opcode 84).
struct GET_RESET_NEEDED_PARAMS_OUT {
    uint8_t change_status; // non-zero: the change needs a reboot
    uint8_t rsvd0[3];
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
static_assert(sizeof(SLI4_RESC_DESC_PCIE) == RESC_DESC_SIZE, "PCIe descriptor is 88 bytes");
static_assert(offsetof(SLI4_RESC_DESC_PCIE, sriov_state) == 12, "PCIe sriov_state at 12");
static_assert(offsetof(SLI4_RESC_DESC_PCIE, number_vfs) == 16, "PCIe number_vfs at 16");
static_assert(offsetof(SLI4_RESC_DESC_PCIE, roles_word) == 20, "PCIe mission roles at 20");
static_assert(sizeof(VEXO_SLI4_RESC_DESC_FCOE) == RESC_DESC_SIZE, "FCoE descriptor is 88 bytes");
static_assert(offsetof(VEXO_SLI4_RESC_DESC_FCOE, wwpn) == 32, "FCoE wwpn at 32");
static_assert(offsetof(VEXO_SLI4_RESC_DESC_FCOE, enode_mac) == 40, "FCoE MAC at 40");
static_assert(offsetof(VEXO_SLI4_RESC_DESC_FCOE, vlan_id) == 48, "FCoE vlan_id at 48");
static_assert(offsetof(VEXO_SLI4_RESC_DESC_FCOE, link_word) == 52, "FCoE link word at 52");
static_assert(offsetof(VEXO_SLI4_RESC_DESC_FCOE, bw_min) == 56, "FCoE bw_min at 56");
static_assert(sizeof(SLI4_RESC_DESC_RDMA) == RESC_DESC_SIZE, "RDMA descriptor is 88 bytes");
static_assert(offsetof(SLI4_RESC_DESC_RDMA, max_dpp_pd) == 30, "RDMA max_dpp_pd at 30");
static_assert(offsetof(SLI4_RESC_DESC_RDMA, max_dpp_credits) == 34, "RDMA credits at 34");
static_assert(sizeof(SLI4_RESC_DESC_PORT) == RESC_DESC_SIZE, "port descriptor is 88 bytes");
static_assert(offsetof(SLI4_RESC_DESC_PORT, pf_counts) == 12, "port counts at 12");
static_assert(sizeof(SLI4_RESC_DESC_ISAP) == RESC_DESC_ISAP_SIZE, "ISAP descriptor is 68 bytes");
static_assert(offsetof(SLI4_RESC_DESC_ISAP, fcoe_word) == 20, "ISAP FCoE word at 20");
static_assert(offsetof(SLI4_RESC_DESC_ISAP, MC_Type) == 52, "ISAP MC_Type at 52");
static_assert(sizeof(SLI4_PROFILE_DESC) == 516, "profile list entry is 516 bytes");
static_assert(sizeof(GET_PROFILE_LIST_PARAMS) == VEXO_PROFILE_LIST_SIZE, "profile list buffer");
static_assert(sizeof(SLI4_CAPS_DESC_HEADER) == 4, "capacity header is 4 bytes");
static_assert(sizeof(SLI4_CAPS_DESC_PCIE) == 40, "PCIe capacity is 40 bytes");
static_assert(offsetof(SLI4_CAPS_DESC_PCIE, total_func) == 8, "PCIe capacity total_func at 8");
static_assert(sizeof(GET_PROFILE_CAPACITIES_PARAMS) == VEXO_PROFILE_CAPS_SIZE, "capacities buffer");
static_assert(sizeof(GET_ACTIVE_PROFILE_PARAMS_OUT) == 4, "active profile answer is 4 bytes");
static_assert(sizeof(LINK_CONFIG_DESC) == 36, "link configuration entry is 36 bytes");
static_assert(offsetof(GET_RECONFIG_LINK_INFO_PARAMS, link_config_desc) == 8, "link entries at 8");
static_assert(sizeof(GET_RECONFIG_LINK_INFO_PARAMS) == VEXO_RECONFIG_LINK_SIZE, "link reconfiguration buffer");
static_assert(sizeof(GET_RESET_NEEDED_PARAMS_OUT) == 4, "reset-needed answer is 4 bytes");

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

// 12-bit count `index` (0 max_pf, 1 max_storage_pf, 2 max_nic_pf, 3
// max_roce_pf, 4 max_iscsi_pf, 5 max_fcoe_pf) of a port descriptor.
inline uint32_t port_pf_count(const uint8_t *port_desc, int index)
{
    const uint8_t *c = port_desc + 12 + 2 * index;
    return static_cast<uint32_t>(c[1] & 0x0F) << 8 | c[0];
}

// Working record of one PCI function in a whole-table write.
struct port_protocol {
    uint16_t default_func_type;
    uint16_t conf_func_type;
    uint16_t func_number;     // pf_number of the census PCIe descriptor here
    uint16_t link_number;
    const uint8_t *pcie_res_desc; // the PCIe descriptor chosen for this position
    const uint8_t *func_res_desc;
    uint16_t mc_type; // configured multichannel code of port p, kept in entry p
    uint16_t rsvd;
};

// Fills `table` (VEXO_PROFILE_MAX_FUNCTIONS entries, zeroed here) with one
// entry per PCIe descriptor of `census`, in list order; the count of
// entries. `malformed` (may be null) tells whether the list was cut short.
size_t profile_census_entries(const GET_PROFILE_CONFIG_PARAMS *census, port_protocol *table, bool *malformed);

// Reads the census of `adapter` (configured profile 0, census mode) and
// fills `table` (VEXO_PROFILE_MAX_FUNCTIONS entries, zeroed here) with its
// PCIe functions in list order; functions past the table are left out of a
// write. Their count in `*n`. The answer, which the entries point into, for
// the caller to free with vexo_dfree; null when it cannot be read (last
// status as VEXO_get_profile leaves it) or, with last status 278, when its
// list breaks off. `caller` names the log lines.
GET_PROFILE_CONFIG_PARAMS *profile_census_read(node *adapter, port_protocol *table, size_t *n, const char *caller);

// Prepares a one-descriptor write in `req`: a copy of `desc` (a function's
// or port's current descriptor, 88 bytes) with its type and length set
// again, `pf_number` set in a function descriptor, no_save cleared, and the
// fields the write leaves alone filled with all ones; bw_min and bw_max too
// unless `bandwidth` is being written.
void profile_one_desc_prepare(SET_PROFILE_CONFIG_PARAMS *req, const uint8_t *desc, uint32_t pf_number,
                              bool bandwidth);

// A whole-table write of profile `profile_id`: a copy of each of the `n`
// PCIe descriptors (type, length, immediate 0, no_save 0) and the ISAP
// descriptor with `mc_type[p]` for port p. A counted buffer of `*size`
// bytes that the caller edits, sends and frees with vexo_dfree; null with
// last status 16 when no memory was had, or with no status when `n` is over
// VEXO_PROFILE_MAX_FUNCTIONS.
SET_PROFILE_CONFIG_PARAMS *profile_table_request(uint8_t profile_id, const uint8_t *const *pcie, size_t n,
                                                 const uint8_t mc_type[4], size_t *size);

// Sends a configuration write of `size` bytes through the adapter's first
// iSCSI, else NIC, function, addressed to that function's physical port or,
// when `phba_port` is not negative, to that one (a channel's own port). 0,
// or 1 with last status 283 when the command failed (none when the adapter
// has no function).
int profile_send_write(node *adapter, SET_PROFILE_CONFIG_PARAMS *req, size_t size, int phba_port = -1);

extern "C" {
// Reads one configuration of `adapter` (an Arcwright group) through its
// first iSCSI, else NIC, function. A counted buffer of 22620 bytes that the
// caller releases with vexo_dfree, or null: with last status 16 when no
// memory was had, 278 when the command failed, none when the adapter has no
// function.
GET_PROFILE_CONFIG_PARAMS *VEXO_get_profile(node *adapter, int config_type, int profile_id, int census_mode);
}

// MaxFunctionsPerPort of an adapter's ProfileManagement group (read only).
VEXO_status_t handle_MaxFunctionsPerPort(node *property, char *value, int type);

#endif
