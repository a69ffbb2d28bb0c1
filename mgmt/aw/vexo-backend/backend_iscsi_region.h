// The iSCSI configuration regions an iSCSI function keeps in adapter flash
// for the boot BIOS: region 2 (initiator CHAP and MPIO settings) and region
// 3 (boot targets). A region is read and written whole as the adapter object
// "/iscsidata/Port%x/Instance0/Region%d": a 16-byte header and an entry area
// of type-length-value entries.
//
// Every image returned here is a new block from vexo_dmalloc; the image
// passed in is never changed. The caller frees both with vexo_dfree.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_BACKEND_ISCSI_REGION_H
#define HLVD_MGMT_AW_VEXO_BACKEND_BACKEND_ISCSI_REGION_H

#include <cstddef>
#include <cstdint>

#include "mgmt/aw/vexo-backend/vexo_ioctl_records.h"
#include "mgmt/vexo/core/hm_types.h"

#define ISCSI_REGION_INITIATOR 2
#define ISCSI_REGION_BOOT 3

#define ISCSI_REGION_READ_SIZE 32876   // request buffer of a region read
#define ISCSI_REGION_MAX_IMAGE 32868   // what one read answer can carry
#define ISCSI_REGION_HEADER_SIZE 16
#define ISCSI_REGION_MAX_ENTRIES (ISCSI_REGION_MAX_IMAGE - ISCSI_REGION_HEADER_SIZE)
#define ISCSI_REGION_NAME_SIZE 104

// Entry types.
#define ISCSI_TLV_CHAP_NAME 2    // region 2
#define ISCSI_TLV_CHAP_SECRET 3  // region 2
#define ISCSI_TLV_MPIO_CONFIG 18 // region 2
#define ISCSI_TLV_BOOT_TARGET 3  // region 3
#define ISCSI_TLV_BOOT_TARGET_ALT 4 // region 3, sessions flagged 0x400
#define ISCSI_TLV_PAD 0xFF

#define ISCSI_TLV_STATUS_VALID 3
#define ISCSI_BOOT_PRIORITY_NONE 0
#define ISCSI_BOOT_PRIORITY_PRIMARY 1
#define ISCSI_BOOT_PRIORITY_SECONDARY 2

// Session flags the boot entries are matched by.
#define ISCSI_SESSION_FLAG_BOOT 0x100
#define ISCSI_SESSION_FLAG_BOOT_ALT 0x400

// Modes of VEXO_remove_boot_tlv.
#define ISCSI_REMOVE_ALL_BOOT 1
#define ISCSI_REMOVE_SESSION_BOOT 2

#pragma pack(push, 1)
struct ISCSI_OBJ_RGN_HEADER {
    uint32_t signature;
    uint32_t length; // bytes of the entry area after the header
    uint32_t version : 8;
    uint32_t type : 8;
    uint32_t rg_no : 8;
    uint32_t port_no : 8;
    uint32_t instance_no : 16;
    uint32_t revert_all : 1;
    uint32_t revert_some : 1;
    uint32_t rsvd0 : 14;
};

// A region image at its largest; a real image holds header.length entry
// bytes and is allocated at 16 + header.length.
struct VEXO_ISCSI_REGION {
    ISCSI_OBJ_RGN_HEADER header;
    uint8_t tlv_data[ISCSI_REGION_MAX_ENTRIES];
};
typedef VEXO_ISCSI_REGION VEXO_ISCSI_BOOT_REGION;

struct GENERIC_ISCSI_TYPE_LEN {
    uint8_t type;
    uint16_t length; // value bytes after this 3-byte header
};

// The generic view of one entry: header, then `length` value bytes.
struct ISCSI_GENERIC_TLV {
    GENERIC_ISCSI_TYPE_LEN type_len;
    uint8_t value[1];
};

struct GENERIC_ISCSI_PAD_TLV {
    GENERIC_ISCSI_TYPE_LEN type_len; // length 0, 2 or 3: the zero bytes that follow
    uint8_t pad[3];
};

struct ISCSI_CHAP_NAME_TLV {
    GENERIC_ISCSI_TYPE_LEN type_len; // length = name length + 1
    uint8_t status;
    uint8_t chap_name[MGMT_CHAP_NAME_SIZE]; // the entry holds only the name's bytes
};

struct ISCSI_CHAP_SECRET_TLV {
    GENERIC_ISCSI_TYPE_LEN type_len; // length = secret length + 1
    uint8_t status;
    uint8_t chap_secret[12]; // the entry holds the secret's actual length
};

struct ISCSI_MPIO_CONFIG_TLV {
    GENERIC_ISCSI_TYPE_LEN type_len;
    uint8_t status;
    uint8_t value; // 1 enabled
};

// Boot target entry; the address (4 or 16 bytes), the target name, the
// target CHAP name and secret, two initiator CHAP length bytes and the
// initiator CHAP name and secret follow from offset 27.
struct ISCSI_TGT_BOOT_TLV {
    GENERIC_ISCSI_TYPE_LEN type_len; // length = the built size, header included
    uint8_t status;
    uint8_t target_num;
    uint8_t priority;
    uint8_t source;
    uint8_t connectivity;
    uint8_t boot_lun[8];
    uint8_t chap_auth; // 0 none, 1 one-way, 2 mutual
    uint16_t isid_qualifier;
    uint8_t header_digest;
    uint8_t data_digest;
    uint16_t tcp_port_tlv;
    uint8_t ip_ver; // 0 IPv4, 1 IPv6
    uint8_t tgt_iscsi_iqn_name_len;
    uint8_t tgt_chap_id_len;
    uint8_t tgt_chap_secret_len;
    uint8_t ip_address[16];
};
#pragma pack(pop)

static_assert(sizeof(ISCSI_OBJ_RGN_HEADER) == 16, "ISCSI_OBJ_RGN_HEADER is 16 bytes");
static_assert(sizeof(VEXO_ISCSI_REGION) == ISCSI_REGION_MAX_IMAGE, "a region image is at most 32868 bytes");
static_assert(sizeof(GENERIC_ISCSI_TYPE_LEN) == 3, "GENERIC_ISCSI_TYPE_LEN is 3 bytes");
static_assert(sizeof(GENERIC_ISCSI_PAD_TLV) == 6, "GENERIC_ISCSI_PAD_TLV is 6 bytes");
static_assert(sizeof(ISCSI_CHAP_SECRET_TLV) == 16, "ISCSI_CHAP_SECRET_TLV is 16 bytes");
static_assert(sizeof(ISCSI_MPIO_CONFIG_TLV) == 5, "ISCSI_MPIO_CONFIG_TLV is 5 bytes");
static_assert(offsetof(ISCSI_TGT_BOOT_TLV, boot_lun) == 8, "boot_lun at 8");
static_assert(offsetof(ISCSI_TGT_BOOT_TLV, isid_qualifier) == 17, "isid_qualifier at 17");
static_assert(offsetof(ISCSI_TGT_BOOT_TLV, tcp_port_tlv) == 21, "tcp_port_tlv at 21");
static_assert(offsetof(ISCSI_TGT_BOOT_TLV, ip_address) == 27, "ip_address at 27");

// Bytes an image occupies: its header and the entry area it counts.
uint32_t iscsi_region_size(const VEXO_ISCSI_REGION *image);
// 0 when `size` bytes hold a sound region image: the header fits, its entry
// area lies within the bytes and within the largest region, and the entries
// tile the area exactly. 1 otherwise.
int iscsi_region_check(const uint8_t *bytes, uint32_t size);

// Whole-region reads and writes through the iSCSI driver. A read answers a
// new image, or null (last status 31 when memory is short); an answer whose
// entries do not fit the bytes read is refused. A write answers 0 or a
// failure status.
VEXO_ISCSI_REGION *VEXO_read_iscsi_region(int aw_port_number, unsigned int domainId, unsigned int phba_port,
                                          int region);
VEXO_ISCSI_BOOT_REGION *VEXO_read_iscsi_boot_region(int aw_port_number, unsigned int domainId,
                                                    unsigned int phba_port, int region);
int VEXO_write_iscsi_region(int aw_port_number, unsigned int domainId, unsigned int phba_port, int region,
                            const VEXO_ISCSI_REGION *image);
int VEXO_write_iscsi_boot_region(int aw_port_number, unsigned int domainId, unsigned int phba_port, int region,
                                 const VEXO_ISCSI_BOOT_REGION *image);

// Edits of an image in memory; each answers a new image or null.
VEXO_ISCSI_REGION *VEXO_remove_pad_tlv(const VEXO_ISCSI_REGION *image);
// Pads the entry area to a multiple of 4 bytes.
VEXO_ISCSI_REGION *VEXO_add_pad_tlv(const VEXO_ISCSI_REGION *image);
// Mode 1 removes every boot target entry, mode 2 those of `session`.
VEXO_ISCSI_REGION *VEXO_remove_boot_tlv(const VEXO_ISCSI_REGION *image, const GET_A_SESSION_PARAMS *session,
                                        int mode);
VEXO_ISCSI_REGION *VEXO_delete_initiator_chap_tlv(const VEXO_ISCSI_REGION *image);
VEXO_ISCSI_REGION *VEXO_add_initiator_chap_tlv(const VEXO_ISCSI_REGION *image, const GET_A_SESSION_PARAMS *session);

// The boot target entry of a session: a new block whose type_len.length
// bytes are the built entry; null when it cannot be built.
ISCSI_TGT_BOOT_TLV *VEXO_create_TLV(const GET_A_SESSION_PARAMS *session, int priority, int target_num);

// Read-edit-write cycles; 0 or 1.
int VEXO_add_boottarget_tlv(int aw_port_number, unsigned int domainId, unsigned int phba_port, node *session,
                            int priority, int target_num);
int VEXO_delete_boottarget_tlv(int aw_port_number, unsigned int domainId, unsigned int phba_port,
                               const GET_A_SESSION_PARAMS *session);
int VEXO_update_initiator_chap_region(int aw_port_number, unsigned int domainId, unsigned int phba_port,
                                      const GET_A_SESSION_PARAMS *session);
int VEXO_delete_initiator_chap_region(int aw_port_number, unsigned int domainId, unsigned int phba_port,
                                      const GET_A_SESSION_PARAMS *session);

#endif
