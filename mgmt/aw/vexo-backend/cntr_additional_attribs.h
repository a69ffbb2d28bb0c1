// Boot-code versions, PHY firmware and IPL file name of a converged adapter,
// from the additional-controller-attributes command, into the cached values
// of its Arcwright group.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_CNTR_ADDITIONAL_ATTRIBS_H
#define HLVD_MGMT_AW_VEXO_BACKEND_CNTR_ADDITIONAL_ATTRIBS_H

#include "mgmt/vexo/core/hm_types.h"

#define IPL_FILE_NAME_ROWS 152
#define IPL_FILE_NAME_SIZE 35

// Boot-image file-name stems; row 0 is a placeholder no lookup selects.
extern const char ipl_file_names[IPL_FILE_NAME_ROWS][IPL_FILE_NAME_SIZE];

// The stem an IPL number selects for an ASIC family, or null ("N/A").
const char *ipl_stem(int family, unsigned int ipl_file_number);

extern "C" {
// 0 when every property was written; 1 when a write failed, the adapter is
// missing, its family cannot be read or it has no function; otherwise the
// command's failing status (nothing written).
int VEXO_update_cntr_additional_attribs(node *adapter);
}

#endif
