// Vital product data as hexadecimal text: the adapter's FRU EEPROM in the
// FRUVPD group and a function's VPD in its VPD group.
//
// FRU block 0 (1024 bytes) fills FRUVPDData0 to FRUVPDData8, 127 bytes to a
// property and 8 in the last; block 1 (256 bytes) fills FRUVPDData9 and
// FRUVPDData10 with 127 bytes each and FRUVPDData11 with its last two, so no
// byte of the block is lost to the 255-character limit of a value.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_VPD_H
#define HLVD_MGMT_AW_VEXO_BACKEND_VPD_H

#include "mgmt/vexo/core/hm_types.h"

#define FRU_BLOCK0_OFFSET 0
#define FRU_BLOCK0_SIZE 1024
#define FRU_BLOCK1_OFFSET 1024
#define FRU_BLOCK1_SIZE 256
#define FRU_BUFFER_SIZE 1024

// Handler of FRUVPDData0: re-reads both blocks, answers FRUVPDData0.
VEXO_status_t handle_fru_vpd_data(node *property, char *value, int type);

extern "C" {
// Reads one FRU block (data_type 0: block 0, 1: block 1) and writes its
// texts; 0 or 1.
int VEXO_read_FRU_VPD(int offset, int size, int data_type, node *fruvpd, node *adapter);
}

// A function's VPD into VPDData0 to VPDData8 of its VPD group; 0 or the
// failing status.
int get_vpd_data(int aw_port_number, unsigned int domain, unsigned int phba_port, node *vpd, int driver_type,
                 int pf_num);

#endif
