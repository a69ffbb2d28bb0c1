// Adapter core dump: the RetrieveStratolinkCoreDump action writes, segment by
// segment, what the firmware's dump engine hands out, and closes the file
// with a trailer describing host, chip and dump. Component 1 segments come
// from the program's templates (core_dump_templates.h); the firmware
// describes the others. The RetrieveFwCliData action runs one firmware
// command-line string through the same segment command.
//
// The dump is written to a temporary file beside the target and renamed over
// it once its trailer is in, so a failed dump leaves the old file in place.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_CORE_DUMP_H
#define HLVD_MGMT_AW_VEXO_BACKEND_CORE_DUMP_H

#include <cstddef>
#include <cstdint>

#include "mgmt/aw/vexo-backend/vexo_ioctl_records.h"
#include "mgmt/vexo/core/hm_types.h"

// Largest data piece of one segment command.
#define COREDUMP_PIECE_SIZE 64000
// Request size of a dump piece: answer head and one piece.
#define COREDUMP_PIECE_REQUEST (COREDUMP_PIECE_SIZE + 8)
// Request size and answer length of a command-line request.
#define COREDUMP_CLI_REQUEST 65000
#define COREDUMP_CLI_LENGTH 64000
// Segment status of a command-line string the firmware refuses.
#define COREDUMP_INVALID_CLI_STATUS 0x30004u

// One segment record's header in the dump file.
struct CORE_DUMP_HEADER {
    char signature[4]; // "sEgM"
    uint32_t component_id;
    uint32_t segment_id;
    uint32_t flag; // 1: the template asks for compression
    uint8_t low_version;
    uint8_t high_version;
    uint16_t fun_id;
    uint32_t offset;
    uint32_t length; // data bytes after the header
    uint32_t status; // last segment status answered
    uint32_t duration; // milliseconds
    uint32_t data_offset; // 64
    uint32_t instance;
    uint32_t rsvd0;
    uint32_t rsvd1;
    uint32_t rsvd2;
    uint32_t rsvd3;
    uint32_t rsvd4;
};

// The trailer that ends a dump file.
struct RECORD_CORE_DUMP {
    char signature[4]; // "cOrE"
    uint32_t flag;
    uint8_t low_version;
    uint8_t high_version;
    uint8_t asic_state;
    uint8_t rsvd0;
    uint32_t rsvd1;
    char system_name[32];
    uint16_t year;
    uint16_t month;
    uint16_t day;
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    int16_t utc_bias; // minutes, local minus UTC
    uint16_t rsvd2;
    char commandline[256];
    uint32_t total_segements;
    uint32_t os_version_major;
    uint32_t os_version_minor;
    uint32_t rsvd3;
    char os_name[32];
    uint16_t end_year;
    uint16_t end_month;
    uint16_t end_day;
    uint16_t end_hour;
    uint16_t end_minute;
    uint16_t end_second;
    int16_t end_utc_bias;
    uint16_t rsvd4;
    uint32_t sli_intf;
    uint32_t sli_asic_id;
    uint32_t coredump_status; // 0xFFFFFFFF: part of the dump failed
    uint8_t ioctl_low_version;
    uint8_t ioctl_high_version;
    uint16_t rsvd5;
    uint8_t rsvd6[624];
};

static_assert(sizeof(CORE_DUMP_HEADER) == 64, "CORE_DUMP_HEADER is 64 bytes");
static_assert(sizeof(RECORD_CORE_DUMP) == 1024, "RECORD_CORE_DUMP is 1024 bytes");
static_assert(offsetof(RECORD_CORE_DUMP, commandline) == 64, "commandline at 64");
static_assert(offsetof(RECORD_CORE_DUMP, os_name) == 336, "os_name at 336");
static_assert(offsetof(RECORD_CORE_DUMP, end_year) == 368, "end time at 368");
static_assert(offsetof(RECORD_CORE_DUMP, sli_intf) == 384, "sli_intf at 384");
static_assert(offsetof(RECORD_CORE_DUMP, ioctl_low_version) == 396, "ioctl version at 396");

// State of the dump that runs (one at a time, under the adapter's lock).
extern int successful_segments;    // segment records appended
extern uint8_t VEXO_CORE_DUMP_STATUS; // set: part of the dump failed

// Outcomes of coredump_function_zero.
#define COREDUMP_FUNCTION_FOUND 0
#define COREDUMP_NO_NIC_FUNCTION 1
#define COREDUMP_NO_FUNCTION_ZERO 2
#define COREDUMP_NO_PCI_NODE 3

// The NIC function with PCI function number 0 below the adapter, into
// `*function`; one of the outcomes above.
int coredump_function_zero(node *adapter, node **function);

VEXO_status_t do_RetrieveStratolinkCoreDump(node *context, node *action,
                                            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);
VEXO_status_t do_RetrieveFwCliData(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]);

extern "C" {
// Component properties (11/22) through the NIC driver; 0, or 1 with last
// status 266 (also for a null adapter).
int VEXO_get_coredump_comp_props(uint32_t component_id, int port_number, uint32_t domain_id, uint32_t phba_port,
                                 node *adapter, uint32_t *num_segments, uint32_t *component_status);
// Segment properties (11/23) through the NIC driver; 0, or 1 with last
// status 267 (also for a null adapter).
int VEXO_get_coredump_seg_props(uint32_t component_id, uint32_t segment_id, int port_number, uint32_t domain_id,
                                uint32_t phba_port, node *adapter, uint32_t *max_instance, uint32_t *segment_status,
                                uint32_t *max_length, uint8_t *low_version, uint8_t *high_version);
// Fetches one segment instance in pieces and appends its header and data to
// `file_name`; 0 when the data were appended, else 1.
int VEXO_write_each_segment_data(uint32_t component_id, uint32_t segment_id, uint32_t instance, uint32_t offset,
                                 uint32_t max_length, uint32_t bytecode_length, const uint32_t *bytecode,
                                 const char *file_name, node *adapter, int compress_flag, uint8_t low_version,
                                 uint8_t high_version);
// One piece through function 0; the answered command block (release with
// std::free), or null with last status 269, 31 or none.
IOCTL_LOWLEVEL_GET_COREDUMP_SEGMENT_PARAMS *VEXO_get_coredump_segment(uint32_t component_id, uint32_t segment_id,
                                                                     uint32_t instance, uint32_t offset,
                                                                     uint32_t length, uint32_t bytecode_length,
                                                                     const uint32_t *bytecode, const char *file_name,
                                                                     node *adapter);
// Appends one CORE_DUMP_HEADER; 0 or 1.
int VEXO_core_dump_segment_header(const char *file_name, uint32_t component_id, uint32_t segment_id, uint16_t fun_id,
                                  uint32_t offset, uint32_t length, uint32_t status, uint32_t instance,
                                  uint32_t duration, uint32_t flag, uint8_t low_version, uint8_t high_version);
// Appends `length` bytes; 0 or 1.
int VEXO_writing_segment_data(const char *file_name, const uint8_t *buffer, uint32_t length);
// Appends the trailer; 0, or 1 with last status 319 or 257.
int VEXO_record_core_dump(const char *file_name, int chip_state, uint32_t asic_id, uint32_t sli_intf,
                          uint8_t low_version, uint8_t high_version, short month, short day, short year, short hour,
                          short minute, short second, short utc_bias, const char *dump_type);
// The register pair when the properties query failed: nothing is known, so
// nothing is filled in. Always 0.
int vexo_get_sli_intf(uint32_t *sli_intf, uint32_t *asic_id, node *function);
}

#endif
