// The NC-SI sideband of an adapter: its state, handshake and the static and
// dynamic configuration records the firmware keeps, shown in the adapter's
// NCSI group and its two configuration groups, and the write of one
// dynamic setting.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_NCSI_CONFIG_H
#define HLVD_MGMT_AW_VEXO_BACKEND_NCSI_CONFIG_H

#include <cstdint>

#include "mgmt/vexo/core/hm_types.h"

struct TAVI_STATIC_CONFIG {
    uint32_t magic;
    uint8_t port_swap;
    uint8_t port0_mac[6];
    uint8_t enable_port0_wol;
    uint8_t port1_mac[6];
    uint8_t enable_port1_wol;
    uint8_t rsvd0;
    uint16_t default_vlanid;
    uint8_t rsvd1[2];
    uint32_t rsvd2[2];
};

struct TAVI_DYNAMIC_CONFIG {
    uint32_t magic;
    uint8_t valid;
    uint8_t port0_mac[6];
    uint8_t enable_port0_wol;
    uint8_t port1_mac[6];
    uint8_t enable_port1_wol;
    uint8_t rsvd0;
    uint16_t default_vlanid;
    uint8_t rsvd1[2];
    uint32_t rsvd2[2];
};

// The answer of the NC-SI configuration read.
struct IOCTL_COMMON_GET_NCSI_CONFIGURATION_PARAMS_OUT {
    uint8_t ncsi_state; // 1: supported
    uint8_t ncsi_handshake_status; // 0: success, 1: error
    uint16_t rsvd0;
    uint32_t rsvd1;
    TAVI_STATIC_CONFIG tavi_static_cfg;
    TAVI_DYNAMIC_CONFIG tavi_dynamic_cfg;
};

static_assert(sizeof(TAVI_STATIC_CONFIG) == 32, "TAVI_STATIC_CONFIG is 32 bytes");
static_assert(sizeof(TAVI_DYNAMIC_CONFIG) == 32, "TAVI_DYNAMIC_CONFIG is 32 bytes");
static_assert(sizeof(IOCTL_COMMON_GET_NCSI_CONFIGURATION_PARAMS_OUT) == 72,
              "IOCTL_COMMON_GET_NCSI_CONFIGURATION_PARAMS_OUT is 72 bytes");

extern "C" {
// Reads the NC-SI configuration into NCSISupport and NCSIAWHandShake of
// `ncsi` and, on AW2, into the properties of `parent` when it is one of the
// two configuration groups. `flag` 1 builds those groups (back-end start),
// 0 finds them. The port numbers and domain passed in are not used: the
// adapter's first function addresses the command. 0, 1 or the command's
// status.
int VEXO_get_ncsi_attributes(int aw_port_number, unsigned int phba_port, node *ncsi, node *parent, int domain,
                             int flag);
}

// Writes one dynamic property (`name`, its text `value`) of the adapter of
// `ncsi` to the firmware. 0, 1 or the command's status.
int set_ncsi_attributes(int aw_port_number, unsigned int phba_port, const char *name, node *ncsi, int domain,
                        const char *value);

#endif
