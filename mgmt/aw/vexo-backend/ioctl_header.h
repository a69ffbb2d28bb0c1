// Wire records shared by the management back end and the FC firmware engine:
// the 16-byte firmware command header in its request and response views, and
// the PCIe resource descriptor of the profile configuration. Kept apart from
// the management hierarchy so the FC engine can use them on their own.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_IOCTL_HEADER_H
#define HLVD_MGMT_AW_VEXO_BACKEND_IOCTL_HEADER_H

#include <cstdint>

#pragma pack(push, 1)

// Written by the sender. Every field the sender does not set stays 0 because
// command buffers are zero-filled.
typedef struct _IOCTL_REQUEST_HEADER {
    uint8_t opcode;          // command code within its subsystem
    uint8_t subsystem;       // firmware subsystem of the command
    uint8_t port_number;     // physical port of the adapter function
    uint8_t domain;          // logical HBA instance, else 0
    uint32_t timeout;        // limit the driver applies to the command
    uint32_t request_length; // payload bytes after the header
    uint8_t version;         // command version (0 or 1)
    uint8_t rsvd0;
    uint16_t pfnumber : 10; // PCI function + 1 the command is aimed at, 0 = the receiver
    uint16_t vhnumber : 6;
} IOCTL_REQUEST_HEADER;

// Written by driver and firmware over the request.
typedef struct _IOCTL_RESPONSE_HEADER {
    uint8_t opcode;
    uint8_t subsystem;
    uint8_t rsvd0;
    uint8_t domain;
    uint8_t status;             // 0 = success
    uint16_t additional_status; // detail of a failing status (unaligned)
    uint8_t rsvd1;
    uint32_t response_length;        // answer payload length
    uint32_t actual_response_length; // length the complete answer needs
} IOCTL_RESPONSE_HEADER;

typedef union _IOCTL_HEADER {
    IOCTL_REQUEST_HEADER request;
    IOCTL_RESPONSE_HEADER response;
} IOCTL_HEADER;

// One 72-byte PCIe resource descriptor (type 0x40) of a profile configuration.
typedef struct _PCIE_RESOURCE_DESCRIPTORS {
    uint32_t descriptor_type : 8;
    uint32_t rsvd0 : 22;
    uint32_t immediate : 1;
    uint32_t no_save : 1;
    uint32_t rsvd1 : 16;
    uint32_t pf_number : 10;
    uint32_t rsvd2 : 6;
    uint32_t rsvd3;
    uint8_t sriov_state;
    uint8_t pf_state;
    uint8_t pf_type;
    uint8_t rsvd4;
    uint16_t num_of_vfs;
    uint16_t rsvd5;
    uint32_t mission_roles : 8;
    uint32_t rsvd6 : 19;
    uint32_t pchg : 1;
    uint32_t schg : 1;
    uint32_t xchg : 1;
    uint32_t xrom : 2;
    uint32_t rsvd7[12];
} PCIE_RESOURCE_DESCRIPTORS;

#pragma pack(pop)

static_assert(sizeof(IOCTL_REQUEST_HEADER) == 16, "request header is 16 bytes");
static_assert(sizeof(IOCTL_RESPONSE_HEADER) == 16, "response header is 16 bytes");
static_assert(sizeof(IOCTL_HEADER) == 16, "command header is 16 bytes");
static_assert(sizeof(PCIE_RESOURCE_DESCRIPTORS) == 72, "PCIe resource descriptor is 72 bytes");

// Size of the command header in front of every payload.
const uint32_t IOCTL_HEADER_SIZE = 16;

#endif
